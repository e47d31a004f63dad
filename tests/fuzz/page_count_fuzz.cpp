// Fuzz target: the page count read from a first index page's last-page link. Input: the page (NUL bytes are
// dropped). The page is also given a last-page link of its own, whose number must then be the one read.
#include <algorithm>
#include <string>

#include "app/web/page_count.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::Quote;

constexpr const char kMarker[] = "\">[尾页]";

int32_t CountOf(const std::string& page) {
    const int32_t count = app::IndexPageCount(app::Text::Copy(page));
    FUZZ_CHECK(count >= 1 && count <= app::kMaxIndexPages) << "page count " << count << " for " << Quote(page);
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string page = fuzz::WithoutNul(std::string_view(reinterpret_cast<const char*>(data), size));
    const int32_t count = CountOf(page);
    if (page.find(kMarker) == std::string::npos) FUZZ_CHECK(count == 1) << Quote(page);

    // page + "/" + digits + marker: the link appended is the last one. The page must end on a character boundary,
    // else its last lead byte would take the "/" as its trail byte.
    const auto starts = fuzz::CharacterStarts(page, 0);
    if (!starts.empty() && starts.back() + 1 == page.size() && fuzz::IsLeadByte(uint8_t(page.back()))) page += 'x';
    std::string digits;
    for (char c : page)
        if (c >= '0' && c <= '9' && digits.size() < 24) digits += c;
    if (digits.empty()) digits = "0";
    int64_t lastIndex = 0;
    for (char c : digits) lastIndex = std::min<int64_t>(lastIndex * 10 + (c - '0'), INT32_MAX);  // reading saturates
    const int64_t expected = std::clamp<int64_t>(lastIndex + 1, 1, app::kMaxIndexPages);
    const std::string linked = page + "/" + digits + kMarker;
    FUZZ_CHECK(CountOf(linked) == expected)
        << Quote(linked) << " gives " << CountOf(linked) << ", expected " << expected;
    return 0;
}
