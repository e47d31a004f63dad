// Kernel text, number and byte-set commands.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "runtime/args.h"
#include "runtime/errors.h"
#include "runtime/gbk_bytes.h"
#include "runtime/kernel_commands.h"
#include "runtime/number_text.h"

namespace rt {

namespace {

bool IsLeadByte(char c) { return IsTextLeadByte(c); }  // see gbk_bytes.h for the two rules

// Bytes of the character at p: two for a lead byte and its trail, otherwise one. A lead byte directly before the
// terminating NUL stands alone, so a scan stepping with this stops there.
size_t CharWidth(const char* p) { return IsLeadByte(p[0]) && p[1] != 0 ? 2 : 1; }

// Bytes of the space at p: 1 for 0x20, 2 for the full-width space A1 A1, 0 when p holds no space.
size_t SpaceWidth(const char* p) {
    if (p[0] == ' ') return 1;
    return uint8_t(p[0]) == 0xA1 && uint8_t(p[1]) == 0xA1 ? 2 : 0;
}

char FoldAsciiCase(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Whether sub occurs at `at`. Ignoring case folds ASCII letters only; a double-byte character of sub is compared byte
// for byte, so its trail byte is never folded.
bool MatchesAt(const char* at, std::string_view sub, bool ignoreCase) {
    if (!ignoreCase) return std::memcmp(at, sub.data(), sub.size()) == 0;
    for (size_t i = 0; i < sub.size();) {
        if (IsLeadByte(sub[i])) {
            const size_t width = std::min<size_t>(2, sub.size() - i);
            if (std::memcmp(at + i, sub.data() + i, width) != 0) return false;
            i += width;
        } else {
            if (FoldAsciiCase(at[i]) != FoldAsciiCase(sub[i])) return false;
            ++i;
        }
    }
    return true;
}

// Steps through a text character by character over the region [from, end) and stops wherever a non-empty subtext occurs
// wholly inside the region. Matches are tried only at character boundaries counted from `from`, so a subtext never
// matches from the trail byte of a double-byte character.
class SubtextMatcher {
public:
    SubtextMatcher(std::string_view text, size_t from, size_t end, std::string_view sub, bool ignoreCase)
        : text_(text.data()), pos_(from), end_(end), sub_(sub), ignoreCase_(ignoreCase) {}

    // Moves to the next occurrence at or after the current position; false when none is left.
    bool Next() {
        while (pos_ + sub_.size() <= end_) {
            if (MatchesAt(text_ + pos_, sub_, ignoreCase_)) return true;
            StepCharacter();
        }
        return false;
    }
    size_t Position() const { return pos_; }
    // Goes on one character into the current occurrence (occurrences may overlap) or past all of it.
    void StepCharacter() { pos_ += CharWidth(text_ + pos_); }
    void SkipOccurrence() { pos_ += sub_.size(); }

private:
    const char* text_;
    size_t pos_;
    size_t end_;
    std::string_view sub_;
    bool ignoreCase_;
};

std::string_view TextView(int32_t argc, Value* args, int32_t i) { return ArgText(argc, args, i); }

// A 1-based position argument as a 0-based offset clamped to 0 .. limit.
size_t OffsetArg(int32_t argc, Value* args, int32_t i, size_t limit) {
    const int64_t offset = int64_t(ArgInt(argc, args, i)) - 1;
    return size_t(std::clamp<int64_t>(offset, 0, int64_t(limit)));
}

// A byte count argument clamped to 0 .. limit.
size_t CountArg(int32_t argc, Value* args, int32_t i, size_t limit) {
    return size_t(std::clamp<int64_t>(ArgInt(argc, args, i), 0, int64_t(limit)));
}

char* NewTextOf(std::string_view s) { return NewText(s.data(), s.size()); }

// A copy with the 26 ASCII letters from `from` on changed to those from `to` on; double-byte characters stay whole.
char* MapAsciiLetters(const char* text, char from, char to) {
    char* out = NewText(text);
    for (char* p = out; p && *p; p += CharWidth(p))
        if (*p >= from && *p <= from + 25) *p = char(*p - from + to);
    return out;
}

int32_t TruncateToInt(double d) {
    if (std::isnan(d)) return 0;
    constexpr double kMin = std::numeric_limits<int32_t>::min(), kMax = std::numeric_limits<int32_t>::max();
    return int32_t(std::clamp(std::trunc(d), kMin, kMax));
}

// x, then x := step(x, d) for every further argument d that is given; a zero divisor is fatal.
double ApplyDivisors(int32_t argc, Value* args, const char* zeroDivisorError, double (*step)(double, double)) {
    double x = ArgDouble(argc, args, 0);
    for (int32_t i = 1; i < argc; ++i) {
        if (ArgOmitted(argc, args, i)) continue;
        const double d = ArgDouble(argc, args, i);
        if (d == 0) ErrorWithText(zeroDivisorError);
        x = step(x, d);
    }
    return x;
}

}  // namespace

void TextLength(Value* result, int32_t argc, Value* args) { SetInt(result, int32_t(TextView(argc, args, 0).size())); }

void LeftText(Value* result, int32_t argc, Value* args) {
    const std::string_view text = TextView(argc, args, 0);
    SetText(result, NewTextOf(text.substr(0, CountArg(argc, args, 1, text.size()))));
}

void RightText(Value* result, int32_t argc, Value* args) {
    const std::string_view text = TextView(argc, args, 0);
    SetText(result, NewTextOf(text.substr(text.size() - CountArg(argc, args, 1, text.size()))));
}

void MidText(Value* result, int32_t argc, Value* args) {
    const std::string_view text = TextView(argc, args, 0);
    const int64_t offset = int64_t(ArgInt(argc, args, 1)) - 1;
    if (offset < 0 || offset >= int64_t(text.size())) return SetText(result, nullptr);
    SetText(result, NewTextOf(text.substr(size_t(offset), CountArg(argc, args, 2, text.size()))));
}

void FindText(Value* result, int32_t argc, Value* args) {
    const std::string_view text = TextView(argc, args, 0), sub = TextView(argc, args, 1);
    const size_t from = OffsetArg(argc, args, 2, text.size());
    if (from >= text.size()) return SetInt(result, -1);
    if (sub.empty()) return SetInt(result, 1);
    SubtextMatcher matcher(text, from, text.size(), sub, ArgBool(argc, args, 3));
    SetInt(result, matcher.Next() ? int32_t(matcher.Position() + 1) : -1);
}

void FindTextReverse(Value* result, int32_t argc, Value* args) {
    const std::string_view text = TextView(argc, args, 0), sub = TextView(argc, args, 1);
    // With a start position the occurrence must end before it; without one the whole text is searched.
    const size_t end = ArgOmitted(argc, args, 2) ? text.size() : OffsetArg(argc, args, 2, text.size());
    if (end == 0) return SetInt(result, -1);
    if (sub.empty()) return SetInt(result, 1);
    SubtextMatcher matcher(text, 0, end, sub, ArgBool(argc, args, 3));
    int32_t last = -1;
    for (; matcher.Next(); matcher.StepCharacter()) last = int32_t(matcher.Position() + 1);
    SetInt(result, last);
}

void ReplaceSubtext(Value* result, int32_t argc, Value* args) {
    const std::string_view text = TextView(argc, args, 0), old = TextView(argc, args, 1);
    const std::string_view replacement = TextView(argc, args, 2);
    const size_t from = OffsetArg(argc, args, 3, text.size());
    int32_t count = ArgInt(argc, args, 4, -1);  // negative: every occurrence
    const bool ignoreCase = !ArgBool(argc, args, 5);
    if (old.empty() || from >= text.size() || count == 0) return SetText(result, NewTextOf(text));

    std::string out;
    out.reserve(text.size());
    SubtextMatcher matcher(text, from, text.size(), old, ignoreCase);
    size_t copied = 0;
    while (count != 0 && matcher.Next()) {
        out.append(text.substr(copied, matcher.Position() - copied)).append(replacement);
        matcher.SkipOccurrence();
        copied = matcher.Position();
        if (count > 0) --count;
    }
    out.append(text.substr(copied));
    SetText(result, NewTextOf(out));
}

void ReplaceTextAt(Value* result, int32_t argc, Value* args) {
    const std::string_view text = TextView(argc, args, 0), replacement = TextView(argc, args, 3);
    const size_t at = OffsetArg(argc, args, 1, text.size());
    // A length past the end deletes to the end; a negative length deletes nothing.
    const size_t removed = CountArg(argc, args, 2, text.size() - at);
    std::string out;
    out.reserve(text.size() - removed + replacement.size());
    out.append(text.substr(0, at)).append(replacement).append(text.substr(at + removed));
    SetText(result, NewTextOf(out));
}

void TrimSpaces(Value* result, int32_t argc, Value* args) {
    const char* begin = ArgText(argc, args, 0);
    while (size_t width = SpaceWidth(begin)) begin += width;
    const char* end = begin;  // just past the last character that is not a space
    for (const char* p = begin; *p;) {
        if (size_t width = SpaceWidth(p)) {
            p += width;
        } else {
            p += CharWidth(p);
            end = p;
        }
    }
    SetText(result, NewText(begin, size_t(end - begin)));
}

void RemoveAllSpaces(Value* result, int32_t argc, Value* args) {
    std::string out;
    for (const char* p = ArgText(argc, args, 0); *p;) {
        const size_t space = SpaceWidth(p);
        const size_t width = space ? space : CharWidth(p);
        if (!space) out.append(p, width);
        p += width;
    }
    SetText(result, NewTextOf(out));
}

void ToUpper(Value* result, int32_t argc, Value* args) {
    SetText(result, MapAsciiLetters(ArgText(argc, args, 0), 'a', 'A'));
}

void ToLower(Value* result, int32_t argc, Value* args) {
    SetText(result, MapAsciiLetters(ArgText(argc, args, 0), 'A', 'a'));
}

void SpaceText(Value* result, int32_t argc, Value* args) {
    const int32_t n = ArgInt(argc, args, 0);
    SetText(result, n < 1 ? nullptr : NewTextOf(std::string(size_t(n), ' ')));
}

void CharFromCode(Value* result, int32_t argc, Value* args) {
    const char code = char(ArgInt(argc, args, 0));
    SetText(result, NewText(&code, code != 0 ? 1 : 0));
}

void ToText(Value* result, int32_t argc, Value* args) { SetText(result, ValueToText(Arg(argc, args, 0))); }

void ToInteger(Value* result, int32_t argc, Value* args) {
    const Value v = Arg(argc, args, 0);
    switch (v.tag) {
        case kTagBool:
        case kTagInt: return SetInt(result, v.AsInt());
        case kTagByte: return SetInt(result, uint8_t(v.low));
        case kTagShort: return SetInt(result, int16_t(v.low));
        case kTagLong:
        case kTagSubProgram: return SetInt(result, int32_t(v.low));
        case kTagFloat: return SetInt(result, TruncateToInt(v.AsFloat()));
        case kTagDouble: return SetInt(result, TruncateToInt(v.AsDouble()));
        case kTagText: return SetInt(result, TextToInteger(ArgText(argc, args, 0)));
        default: return SetInt(result, 0);
    }
}

void ToNumber(Value* result, int32_t argc, Value* args) {
    const Value v = Arg(argc, args, 0);
    switch (v.tag) {
        case kTagBool:
        case kTagInt: return SetDouble(result, v.AsInt());
        case kTagByte: return SetDouble(result, uint8_t(v.low));
        case kTagShort: return SetDouble(result, int16_t(v.low));
        case kTagLong: return SetDouble(result, double(v.AsLong()));
        case kTagSubProgram: return SetDouble(result, double(uint64_t(v.AsLong())));
        case kTagFloat: return SetDouble(result, v.AsFloat());
        case kTagDouble: return SetDouble(result, v.AsDouble());
        case kTagText: return SetDouble(result, TextToNumber(ArgText(argc, args, 0)));
        default: return SetDouble(result, 0);
    }
}

void IntegerDivide(Value* result, int32_t argc, Value* args) {
    SetDouble(result, ApplyDivisors(argc, args, "不能整除于零", [](double x, double d) { return std::trunc(x / d); }));
}

void Remainder(Value* result, int32_t argc, Value* args) {
    // fmod keeps the sign of x and is exact: x minus d times the integer part of x / d.
    SetDouble(result, ApplyDivisors(argc, args, "不能求余数于零", [](double x, double d) { return std::fmod(x, d); }));
}

void BlankBytes(Value* result, int32_t argc, Value* args) {
    const int32_t n = ArgInt(argc, args, 0);
    SetBytes(result, n > 0 ? NewBytes(nullptr, size_t(n)) : nullptr);
}

void BytesLength(Value* result, int32_t argc, Value* args) { SetInt(result, BytesLengthOf(ArgBytes(argc, args, 0))); }

void LeftBytes(Value* result, int32_t argc, Value* args) {
    const void* bytes = ArgBytes(argc, args, 0);
    const size_t length = size_t(BytesLengthOf(bytes));
    SetBytes(result, NewBytes(BytesDataOf(bytes), CountArg(argc, args, 1, length)));
}

}  // namespace rt
