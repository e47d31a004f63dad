// Shared by the fuzz targets: property checks that end the run with a readable report, splitting an input into
// texts and an argument tape, byte quoting, and the GBK character stepping the properties are stated in.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// Collects the report of a failed property and aborts when it goes out of scope; libFuzzer then keeps the
// input as a crash file.
class Failure {
public:
    Failure(const char* file, int line, const char* condition) {
        out_ << file << ":" << line << ": property failed: " << condition << "\n    ";
    }
    Failure(const Failure&) = delete;
    Failure& operator=(const Failure&) = delete;
    ~Failure() {
        out_ << "\n";
        std::fputs(out_.str().c_str(), stderr);
        std::abort();
    }
    std::ostream& stream() { return out_; }

private:
    std::ostringstream out_;
};

// FUZZ_CHECK(condition) << "details"; the details are only evaluated when the condition fails.
#define FUZZ_CHECK(condition)                                                            \
    for (bool fuzzHolds_ = static_cast<bool>(condition); !fuzzHolds_; fuzzHolds_ = true) \
    ::fuzz::Failure(__FILE__, __LINE__, #condition).stream()

// Bytes as a C string literal would show them.
inline std::string Quote(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out + "\"";
}

// An input cut at its first NUL bytes: up to `count` fields, and the tape (whatever follows the last field's NUL)
// from which a target draws numbers and choices. Texts hold no NUL, so NUL is the natural separator.
struct Fields {
    std::vector<std::string> texts;
    std::string tape;
};

inline Fields SplitAtNul(const uint8_t* data, size_t size, size_t count) {
    Fields f;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (f.texts.size() < count) {
        size_t nul = rest.find('\0');
        f.texts.emplace_back(rest.substr(0, nul));
        rest = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    }
    f.tape.assign(rest);
    return f;
}

inline std::string WithoutNul(std::string_view bytes) {
    std::string out;
    for (char c : bytes)
        if (c != '\0') out += c;
    return out;
}

// The kernel's character stepping: a byte of 0x80 or more leads a double-byte character and takes the next
// byte with it, unless the text ends there.
inline bool IsLeadByte(uint8_t c) { return c >= 0x80; }

// Start offsets of the characters of `text` from `from` on, stepping as the kernel does.
inline std::vector<size_t> CharacterStarts(std::string_view text, size_t from) {
    std::vector<size_t> starts;
    for (size_t i = from; i < text.size(); i += IsLeadByte(uint8_t(text[i])) && i + 1 < text.size() ? 2 : 1)
        starts.push_back(i);
    return starts;
}

// A well-formed GBK double-byte character: lead 0x81..0xFE, trail 0x40..0xFE except 0x7F.
inline bool IsGbkPair(uint8_t lead, uint8_t trail) {
    return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

inline char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

inline bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

}  // namespace fuzz
