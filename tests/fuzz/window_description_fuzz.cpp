// Fuzz target: the window-description decoder over arbitrary bytes. Input: the stored form data.
// fuzz-sources: ui/form_description.cpp
// Whatever it is given, the decoder either refuses or gives descriptions that come from the input (no more
// elements than bytes) and survive a round trip: encoding them and decoding that gives them back. Unknown
// unit types pass the decoder; the loader refuses to build them.
#include <cstdint>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "ui/form_description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<ui::FormDescription> windows;
    if (!ui::DecodeForms(data, size, &windows)) return 0;
    size_t elements = 0;
    for (const ui::FormDescription& w : windows) elements += w.elements.size();
    // Every element came out of the input, so there cannot be more of them than bytes.
    FUZZ_CHECK(elements <= size) << elements << " elements from " << size << " bytes";
    std::vector<uint8_t> again = ui::EncodeForms(windows);
    std::vector<ui::FormDescription> redecoded;
    FUZZ_CHECK(ui::DecodeForms(again.data(), again.size(), &redecoded)) << "re-encoded form refused";
    FUZZ_CHECK(redecoded == windows) << "re-encoded form differs";
    return 0;
}
