// Fuzz target: picture file names taken from addresses. Input: address NUL tape (the tape gives the numbers
// tried for a taken name).
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "app/browser/download_names.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using app::Text;
using fuzz::Quote;

bool IsReservedDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    stem.erase(stem.find_last_not_of(' ') + 1);
    for (char& c : stem) c = char(std::toupper(uint8_t(c)));
    static const char* const kDevices[] = {"CON",  "PRN",  "AUX",  "NUL",    "COM0",    "COM1",  "COM2",
                                           "COM3", "COM4", "COM5", "COM6",   "COM7",    "COM8",  "COM9",
                                           "LPT0", "LPT1", "LPT2", "LPT3",   "LPT4",    "LPT5",  "LPT6",
                                           "LPT7", "LPT8", "LPT9", "CONIN$", "CONOUT$", "CLOCK$"};
    return std::any_of(std::begin(kDevices), std::end(kDevices), [&](const char* d) { return stem == d; });
}

// Why a name is not safe to create in any folder, or null when it is: it must not be empty, must hold only
// printable ASCII other than \ / : * ? " < > | and whole GBK double-byte characters, must not end in a dot or a
// space and must not name a device.
const char* UnsafeBecause(const std::string& name) {
    if (name.empty()) return "empty";
    for (size_t i = 0; i < name.size(); ++i) {
        const uint8_t c = uint8_t(name[i]);
        if (i + 1 < name.size() && fuzz::IsGbkPair(c, uint8_t(name[i + 1]))) {
            ++i;
        } else if (c >= 0x80) {
            return "a byte of 0x80 or more that is not part of a GBK character";
        } else if (c < 0x20 || c == 0x7F) {
            return "a control byte";
        } else if (std::strchr("\\/:*?\"<>|", c)) {
            return "a character Windows forbids";
        }
    }
    if (name.back() == '.' || name.back() == ' ') return "a trailing dot or space";
    if (IsReservedDeviceName(name)) return "a device name";
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Fields in = fuzz::SplitAtNul(data, size, 1);
    const std::string& url = in.texts[0];
    FuzzedDataProvider tape(reinterpret_cast<const uint8_t*>(in.tape.data()), in.tape.size());

    const Text base = app::PictureBaseName(Text::Copy(url));
    const char* unsafe = UnsafeBecause(base.str());
    FUZZ_CHECK(!unsafe) << "base name " << Quote(base.str()) << " of " << Quote(url) << " has " << unsafe;

    // A safe name without "#" (which would cut it as a fragment) is its own base name.
    if (base.str().find('#') == std::string::npos)
        FUZZ_CHECK(app::PictureBaseName(base).str() == base.str()) << Quote(base.str()) << " changed";

    const int32_t first = tape.ConsumeIntegral<int32_t>(), second = tape.ConsumeIntegral<int32_t>();
    const std::string a = app::NumberedName(base, first).str(), b = app::NumberedName(base, second).str();
    for (const std::string* numbered : {&a, &b}) {
        unsafe = UnsafeBecause(*numbered);
        FUZZ_CHECK(!unsafe) << "numbered name " << Quote(*numbered) << " has " << unsafe;
    }
    FUZZ_CHECK((a == base.str()) == (first == 0)) << Quote(base.str()) << " numbered " << first << ": " << Quote(a);
    FUZZ_CHECK((a == b) == (first == second)) << Quote(a) << " and " << Quote(b);
    if (first != 0) {
        const std::string mark = "(" + std::to_string(first) + ")";
        FUZZ_CHECK(a.size() == base.size() + mark.size() && a.find(mark) != std::string::npos) << Quote(a);
    }
    FUZZ_CHECK(!app::IsActiveName(base.str())) << Quote(base.str());

    // In a folder with room bytes left: a safe name that fits, still of no active type, or none at all.
    const size_t room = tape.ConsumeIntegralInRange<size_t>(0, 300);
    const int32_t dup = first < 0 ? 0 : first % 1000;
    const std::string fitting = app::FittingName(base, dup, room).str();
    if (!fitting.empty()) {
        unsafe = UnsafeBecause(fitting);
        FUZZ_CHECK(!unsafe) << "fitting name " << Quote(fitting) << " has " << unsafe;
        FUZZ_CHECK(fitting.size() <= room) << Quote(fitting) << " in " << room;
        FUZZ_CHECK(!app::IsActiveName(fitting)) << Quote(fitting);
        FUZZ_CHECK(dup == 0 || fitting.find("(" + std::to_string(dup) + ")") != std::string::npos) << Quote(fitting);
    } else {
        FUZZ_CHECK(room < 16) << "no name for " << Quote(base.str()) << " in " << room;
    }
    return 0;
}
