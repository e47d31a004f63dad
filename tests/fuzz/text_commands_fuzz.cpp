// Fuzz target: the kernel's 22 text, number and byte-set commands, called through real argument frames.
// Input: text NUL subtext NUL replacement NUL tape. The tape gives the numeric arguments (of every numeric type,
// out-of-range reals and omitted ones included), the flags and the byte sets.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "runtime/call.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace rt;
using fuzz::CharacterStarts;
using fuzz::Quote;

// ---- Arguments and what a command must make of them ----------------------------------------------------------

const Value kOmitted{0, 0, kTagOmitted};

Value NumberArgument(FuzzedDataProvider& tape, int32_t near) {
    static const double kAwkwardReals[] = {std::nan(""),  HUGE_VAL,     -HUGE_VAL, 1e300, -1e300, 2147483648.0,
                                           -2147483649.0, 4294967297.0, 0.9,       -0.9,  -0.0,   1e-310};
    switch (tape.ConsumeIntegralInRange(0, 15)) {
        case 1: return kOmitted;
        case 2: return Value::Int(tape.ConsumeIntegral<int32_t>());
        case 3: return Value::Long(tape.ConsumeIntegral<int64_t>());
        case 4: return Value::Double(tape.ConsumeFloatingPoint<double>());
        case 5:
            return Value::Double(kAwkwardReals[tape.ConsumeIntegralInRange<size_t>(0, std::size(kAwkwardReals) - 1)]);
        case 6: return Value::Double(tape.ConsumeIntegralInRange(-2, near + 2) + tape.ConsumeProbability<double>());
        case 7: {
            float f = tape.ConsumeFloatingPoint<float>();
            uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            return Value{bits, 0, kTagFloat};
        }
        case 8: return Value{tape.ConsumeIntegral<uint8_t>(), 0, kTagByte};
        case 9: return Value{uint16_t(tape.ConsumeIntegral<int16_t>()), 0, kTagShort};
        case 10: return Value::Bool(tape.ConsumeBool());
        default: return Value::Int(tape.ConsumeIntegralInRange(-2, near + 2));
    }
}

Value FlagArgument(FuzzedDataProvider& tape) {
    switch (tape.ConsumeIntegralInRange(0, 4)) {
        case 0: return kOmitted;
        case 1: return Value::Int(tape.ConsumeIntegral<int32_t>());
        case 2: return Value::Double(tape.ConsumeBool() ? 0.0 : std::nan(""));
        default: return Value::Bool(tape.ConsumeBool());
    }
}

double RealOf(const Value& v) {
    switch (v.tag) {
        case kTagFloat: return v.AsFloat();
        case kTagDouble: return v.AsDouble();
        case kTagLong: return double(v.AsLong());
        case kTagByte: return uint8_t(v.low);
        case kTagShort: return int16_t(v.low);
        default: return v.AsInt();
    }
}

// The integer a command sees: integers and booleans as they are, a byte zero-extended, a short sign-extended, a
// long by its low 32 bits, a real truncated toward zero and held within the 32-bit range (NaN reads as 0).
int32_t IntegerOf(const Value& v, int32_t omitted = 0) {
    if (v.Omitted()) return omitted;
    if (v.tag == kTagFloat || v.tag == kTagDouble) {
        double d = RealOf(v);
        return std::isnan(d) ? 0 : int32_t(std::clamp(std::trunc(d), -2147483648.0, 2147483647.0));
    }
    if (v.tag == kTagLong) return int32_t(v.low);
    return int32_t(RealOf(v));
}

bool FlagOf(const Value& v, bool omitted) {
    if (v.Omitted()) return omitted;
    if (v.tag == kTagDouble) return v.AsDouble() != 0;
    return v.low != 0;
}

// A 1-based position argument as a 0-based offset within 0 .. length.
size_t OffsetOf(const Value& v, size_t length) {
    return size_t(std::clamp<int64_t>(int64_t(IntegerOf(v)) - 1, 0, int64_t(length)));
}

std::string Describe(const Value& v) {
    return "(tag " + std::to_string(v.tag) + ", " + std::to_string(v.high) + ":" + std::to_string(v.low) + ")";
}

// ---- Results -----------------------------------------------------------------------------------------------------

std::string TextOf(const Value& r, const char* command) {
    FUZZ_CHECK(r.tag == kTagText) << command << " gave tag " << r.tag;
    Text t = TextResult(r);
    FUZZ_CHECK(t.get() == nullptr || *t.get() != 0) << command << ": an empty result must be null";
    return t.str();
}

std::string BytesOf(const Value& r, const char* command) {
    FUZZ_CHECK(r.tag == kTagBytes) << command << " gave tag " << r.tag;
    Bytes b = BytesResult(r);
    FUZZ_CHECK(b.get() == nullptr || !b.empty()) << command << ": an empty result must be null";
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

int32_t IntOf(const Value& r, const char* command) {
    FUZZ_CHECK(r.tag == kTagInt) << command << " gave tag " << r.tag;
    return r.AsInt();
}

double DoubleOf(const Value& r, const char* command) {
    FUZZ_CHECK(r.tag == kTagDouble) << command << " gave tag " << r.tag;
    return r.AsDouble();
}

// ---- Character-wise models -----------------------------------------------------------------------------------

// Whether sub occurs at `at`: ASCII letters fold when ignoring case, a double-byte character of sub compares
// byte for byte.
bool OccursAt(std::string_view text, size_t at, std::string_view sub, bool ignoreCase) {
    if (at + sub.size() > text.size()) return false;
    for (size_t i = 0; i < sub.size(); ++i) {
        if (fuzz::IsLeadByte(uint8_t(sub[i])) && i + 1 < sub.size()) {
            if (text.compare(at + i, 2, sub.substr(i, 2)) != 0) return false;
            ++i;
        } else if ((ignoreCase ? fuzz::FoldAscii(text[at + i]) != fuzz::FoldAscii(sub[i]) : text[at + i] != sub[i])) {
            return false;
        }
    }
    return true;
}

bool IsSpaceAt(std::string_view text, size_t at) {
    return text[at] == ' ' || (uint8_t(text[at]) == 0xA1 && at + 1 < text.size() && uint8_t(text[at + 1]) == 0xA1);
}

size_t CharacterEnd(std::string_view text, size_t start) {
    return start + (fuzz::IsLeadByte(uint8_t(text[start])) && start + 1 < text.size() ? 2 : 1);
}

// ---- Properties ----------------------------------------------------------------------------------------------

void CheckCutting(const std::string& text, FuzzedDataProvider& tape) {
    const int32_t length = int32_t(text.size());
    FUZZ_CHECK(IntOf(CallKernel(kTextLength, text.c_str()), "TextLength") == length);

    const Value n = NumberArgument(tape, length);
    const size_t count = size_t(std::clamp(IntegerOf(n), 0, length));
    FUZZ_CHECK(TextOf(CallKernel(kLeftText, text.c_str(), n), "LeftText") == text.substr(0, count)) << Describe(n);
    FUZZ_CHECK(TextOf(CallKernel(kRightText, text.c_str(), n), "RightText") == text.substr(text.size() - count))
        << Describe(n);

    const Value start = NumberArgument(tape, length), take = NumberArgument(tape, length);
    const int64_t from = int64_t(IntegerOf(start)) - 1;
    const std::string mid =
        from >= 0 && from < length ? text.substr(size_t(from), size_t(std::clamp(IntegerOf(take), 0, length))) : "";
    FUZZ_CHECK(TextOf(CallKernel(kMidText, text.c_str(), start, take), "MidText") == mid)
        << Describe(start) << " " << Describe(take);
}

// FindText gives the first occurrence at a character start counted from its start offset, FindTextReverse the
// last one that lies wholly before its limit; both 1-based, -1 for none.
void CheckFinding(const std::string& text, const std::string& sub, FuzzedDataProvider& tape) {
    const Value start = NumberArgument(tape, int32_t(text.size())), flag = FlagArgument(tape);
    const bool ignoreCase = FlagOf(flag, false);
    const size_t from = OffsetOf(start, text.size());
    int32_t expected = -1;
    if (from < text.size() && sub.empty()) expected = 1;
    if (from < text.size() && !sub.empty()) {
        for (size_t at : CharacterStarts(text, from)) {
            if (OccursAt(text, at, sub, ignoreCase)) {
                expected = int32_t(at + 1);
                break;
            }
        }
    }
    const int32_t found = IntOf(CallKernel(kFindText, text.c_str(), sub.c_str(), start, flag), "FindText");
    FUZZ_CHECK(found == expected) << "FindText(" << Quote(text) << ", " << Quote(sub) << ", " << Describe(start) << ", "
                                  << ignoreCase << ") = " << found << ", expected " << expected;

    const Value limitArg = NumberArgument(tape, int32_t(text.size()));
    const size_t limit = limitArg.Omitted() ? text.size() : OffsetOf(limitArg, text.size());
    int32_t last = -1;
    if (limit > 0 && sub.empty()) last = 1;
    if (limit > 0 && !sub.empty()) {
        for (size_t at : CharacterStarts(text, 0))
            if (at + sub.size() <= limit && OccursAt(text, at, sub, ignoreCase)) last = int32_t(at + 1);
    }
    const int32_t foundLast =
        IntOf(CallKernel(kFindTextReverse, text.c_str(), sub.c_str(), limitArg, flag), "FindTextReverse");
    FUZZ_CHECK(foundLast == last) << "FindTextReverse(" << Quote(text) << ", " << Quote(sub) << ", "
                                  << Describe(limitArg) << ", " << ignoreCase << ") = " << foundLast << ", expected "
                                  << last;
}

// ReplaceSubtext agrees with replacing, one after another, the occurrences FindText reports.
void CheckReplacing(const std::string& text, const std::string& old, const Value& replacement,
                    FuzzedDataProvider& tape) {
    const Value start = NumberArgument(tape, int32_t(text.size())), countArg = NumberArgument(tape, 3);
    const Value caseSensitiveArg = FlagArgument(tape);
    const size_t from = OffsetOf(start, text.size());
    int32_t count = IntegerOf(countArg, -1);
    const bool caseSensitive = FlagOf(caseSensitiveArg, false);
    const std::string newText = replacement.Omitted() ? "" : replacement.AsText();

    std::string expected = text;
    if (!old.empty() && from < text.size() && count != 0) {
        expected.clear();
        size_t copied = 0, next = from;
        while (count != 0) {
            const int32_t at =
                CallKernel(kFindText, text.c_str(), old.c_str(), int32_t(next + 1), !caseSensitive).AsInt();
            if (at == -1) break;
            expected.append(text, copied, size_t(at - 1) - copied).append(newText);
            copied = next = size_t(at - 1) + old.size();
            if (count > 0) --count;
        }
        expected.append(text, copied);
    }
    const std::string replaced =
        TextOf(CallKernel(kReplaceSubtext, text.c_str(), old.c_str(), replacement, start, countArg, caseSensitiveArg),
               "ReplaceSubtext");
    FUZZ_CHECK(replaced == expected) << "ReplaceSubtext(" << Quote(text) << ", " << Quote(old) << ", " << Quote(newText)
                                     << ", " << Describe(start) << ", " << Describe(countArg) << ", " << caseSensitive
                                     << ") = " << Quote(replaced) << ", expected " << Quote(expected);
    if (IntegerOf(countArg, -1) == 0) FUZZ_CHECK(replaced == text) << "count 0 must leave the text unchanged";

    const Value at = NumberArgument(tape, int32_t(text.size())), removed = NumberArgument(tape, int32_t(text.size()));
    const size_t cut = OffsetOf(at, text.size());
    const size_t gone = size_t(std::clamp<int64_t>(IntegerOf(removed), 0, int64_t(text.size() - cut)));
    const std::string spliced = text.substr(0, cut) + newText + text.substr(cut + gone);
    FUZZ_CHECK(TextOf(CallKernel(kReplaceTextAt, text.c_str(), at, removed, replacement), "ReplaceTextAt") == spliced)
        << Describe(at) << " " << Describe(removed);
}

// Spaces (0x20 and the full-width A1 A1) and letter case, stepping character by character.
void CheckSpacesAndCase(const std::string& text) {
    std::string withoutSpaces, upper, lower;
    size_t first = text.size(), end = 0;
    for (size_t at : CharacterStarts(text, 0)) {
        const size_t next = CharacterEnd(text, at);
        const std::string character = text.substr(at, next - at);
        if (!IsSpaceAt(text, at)) {
            withoutSpaces += character;
            first = std::min(first, at);
            end = next;
        }
        char c = character[0];
        upper += character.size() == 1 && c >= 'a' && c <= 'z' ? std::string(1, char(c - 'a' + 'A')) : character;
        lower += character.size() == 1 && c >= 'A' && c <= 'Z' ? std::string(1, char(c - 'A' + 'a')) : character;
    }
    const std::string trimmed = first < end ? text.substr(first, end - first) : "";
    FUZZ_CHECK(TextOf(CallKernel(kTrimSpaces, text.c_str()), "TrimSpaces") == trimmed) << Quote(text);
    FUZZ_CHECK(TextOf(CallKernel(kRemoveAllSpaces, text.c_str()), "RemoveAllSpaces") == withoutSpaces) << Quote(text);
    FUZZ_CHECK(TextOf(CallKernel(kToUpper, text.c_str()), "ToUpper") == upper) << Quote(text);
    FUZZ_CHECK(TextOf(CallKernel(kToLower, text.c_str()), "ToLower") == lower) << Quote(text);
}

// Conversions: values to text and back, and text read as an integer agreeing with text read as a number.
void CheckConversions(const std::string& text, FuzzedDataProvider& tape) {
    FUZZ_CHECK(TextOf(CallKernel(kToText, text.c_str()), "ToText") == text);

    const Value v = NumberArgument(tape, 100);
    if (!v.Omitted()) {
        FUZZ_CHECK(IntOf(CallKernel(kToInteger, v), "ToInteger") == IntegerOf(v)) << Describe(v);
        const double real = DoubleOf(CallKernel(kToNumber, v), "ToNumber");
        FUZZ_CHECK(real == RealOf(v) || (std::isnan(real) && std::isnan(RealOf(v)))) << Describe(v);
    }
    // Numbers read back from their text: integers exactly (a long saturates), reals to the digits shown.
    if (!v.Omitted() && v.tag != kTagBool) {
        Text shown = TextResult(CallKernel(kToText, v));
        if (v.tag == kTagDouble || v.tag == kTagFloat) {
            const double back = CallKernel(kToNumber, shown).AsDouble(), d = RealOf(v);
            const double tolerance = v.tag == kTagFloat ? 1e-5 : 1e-12;
            if (std::isfinite(d) && std::fpclassify(d) != FP_SUBNORMAL)
                FUZZ_CHECK(std::fabs(back - d) <= tolerance * std::fabs(d)) << shown.str() << " read back as " << back;
        } else {
            const int32_t back = CallKernel(kToInteger, shown).AsInt();
            const int64_t whole = v.tag == kTagLong ? v.AsLong() : int64_t(RealOf(v));
            FUZZ_CHECK(back == std::clamp<int64_t>(whole, INT32_MIN, INT32_MAX))
                << shown.str() << " read back as " << back;
        }
    }

    // Without an exponent the integer reading is the number reading truncated (0xA3 leads the full-width
    // letters, which fold to ASCII ones).
    if (text.find_first_of("eE\xA3") == std::string::npos) {
        const double number = CallKernel(kToNumber, text.c_str()).AsDouble();
        const int32_t integer = CallKernel(kToInteger, text.c_str()).AsInt();
        const double whole = std::clamp(std::trunc(number), -2147483648.0, 2147483647.0);
        // A long fraction of nines can round the double reading up to the next whole number away from zero
        // ("-42.99...975" reads as -43.0); the integer reading stops at the point and stays one short.
        const bool fractionRoundedUp = number == whole && std::fabs(whole) >= 1 &&
                                       text.find_first_of(".\xA3") != std::string::npos &&
                                       int64_t(integer) == int64_t(whole) + (whole > 0 ? -1 : 1);
        FUZZ_CHECK(integer == int32_t(whole) || fractionRoundedUp)
            << Quote(text) << ": ToInteger " << integer << ", ToNumber " << number;
    }

    const Value code = NumberArgument(tape, 255);
    const char byte = char(IntegerOf(code));
    FUZZ_CHECK(TextOf(CallKernel(kCharFromCode, code), "CharFromCode") == (byte ? std::string(1, byte) : ""))
        << Describe(code);

    const int32_t spaces = tape.ConsumeIntegralInRange(-3, 3000);
    FUZZ_CHECK(TextOf(CallKernel(kSpaceText, spaces), "SpaceText") == std::string(size_t(std::max(spaces, 0)), ' '));
}

void CheckDivision(FuzzedDataProvider& tape) {
    auto divisor = [&tape] {
        Value d = NumberArgument(tape, 10);
        return RealOf(d) == 0 && !d.Omitted() ? Value::Double(-3.5) : d;  // a zero divisor ends the process
    };
    const Value x = NumberArgument(tape, 1000), d1 = divisor(), d2 = divisor();
    double quotient = x.Omitted() ? 0 : RealOf(x), remainder = quotient;
    for (const Value& d : {d1, d2}) {
        if (d.Omitted()) continue;
        quotient = std::trunc(quotient / RealOf(d));
        remainder = std::fmod(remainder, RealOf(d));
    }
    auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    const double q = DoubleOf(CallKernel(kIntegerDivide, x, d1, d2), "IntegerDivide");
    FUZZ_CHECK(same(q, quotient)) << Describe(x) << Describe(d1) << Describe(d2) << ": " << q << " vs " << quotient;
    const double r = DoubleOf(CallKernel(kRemainder, x, d1, d2), "Remainder");
    FUZZ_CHECK(same(r, remainder)) << Describe(x) << Describe(d1) << Describe(d2) << ": " << r << " vs " << remainder;
}

void CheckBytes(FuzzedDataProvider& tape) {
    const std::string raw = tape.ConsumeRandomLengthString(64);
    const Bytes bytes = Bytes::Copy(raw.data(), raw.size());
    FUZZ_CHECK(IntOf(CallKernel(kBytesLength, bytes), "BytesLength") == int32_t(raw.size()));
    FUZZ_CHECK(TextOf(CallKernel(kToText, bytes), "ToText") == raw.substr(0, raw.find('\0'))) << Quote(raw);
    const Value n = NumberArgument(tape, int32_t(raw.size()));
    const size_t kept = size_t(std::clamp(IntegerOf(n), 0, int32_t(raw.size())));
    FUZZ_CHECK(BytesOf(CallKernel(kLeftBytes, bytes, n), "LeftBytes") == raw.substr(0, kept)) << Describe(n);
    const int32_t blank = tape.ConsumeIntegralInRange(-3, 3000);
    FUZZ_CHECK(BytesOf(CallKernel(kBlankBytes, blank), "BlankBytes") == std::string(size_t(std::max(blank, 0)), '\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Fields in = fuzz::SplitAtNul(data, size, 3);
    const std::string& text = in.texts[0];
    const std::string& sub = in.texts[1];
    FuzzedDataProvider tape(reinterpret_cast<const uint8_t*>(in.tape.data()), in.tape.size());
    const Value replacement = tape.ConsumeIntegralInRange(0, 5) == 0 ? kOmitted : Value::Text(in.texts[2].c_str());

    CheckCutting(text, tape);
    CheckFinding(text, sub, tape);
    CheckReplacing(text, sub, replacement, tape);
    CheckSpacesAndCase(text);
    CheckConversions(text, tape);
    CheckDivision(tape);
    CheckBytes(tape);
    return 0;
}
