// Number to text (every system type, date-times included), value to text, full-width folding and number reading.
#include "runtime/number_text.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "runtime/memory.h"

namespace rt {

namespace {

// Date-times are days since 1899-12-30; outside years 100 to 9999 they are clamped to those bounds.
constexpr double kFirstDay = -657434;     // 100-01-01
constexpr double kLastDay = 2958465;      // 9999-12-31
constexpr int64_t kUnixEpochDay = 25569;  // 1970-01-01
constexpr int64_t kSecondsPerDay = 86400;

struct CivilTime {
    int64_t year;
    int month, day, hour, minute, second;
};

// Proleptic Gregorian calendar date of a day count relative to 1970-01-01 (the era-based conversion).
void CivilFromDays(int64_t z, CivilTime* t) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // 0 = March
    t->day = int(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    t->month = int(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    t->year = yearOfEra + era * 400 + (t->month <= 2 ? 1 : 0);
}

// The calendar date and the time of day, rounded to the second. As in the platform's date type, the whole part picks
// the day and the fraction's magnitude is the time of day, also for dates before 1899-12-30.
CivilTime SplitDateTime(double value) {
    if (std::isnan(value)) value = 0;
    value = std::clamp(value, kFirstDay, kLastDay);
    const double wholeDays = std::trunc(value);
    int64_t day = int64_t(wholeDays);
    int64_t seconds = std::llround(std::fabs(value - wholeDays) * double(kSecondsPerDay));
    if (seconds >= kSecondsPerDay) {  // rounding reached the next midnight
        seconds -= kSecondsPerDay;
        ++day;
    }
    CivilTime t{};
    CivilFromDays(day - kUnixEpochDay, &t);
    t.hour = int(seconds / 3600);
    t.minute = int(seconds / 60 % 60);
    t.second = int(seconds % 60);
    return t;
}

std::string FormatDateTime(double value) {
    const CivilTime t = SplitDateTime(value);
    char buffer[96];
    int n = std::snprintf(buffer, sizeof buffer, "%" PRId64 "年%d月%d日", t.year, t.month, t.day);
    const size_t room = sizeof buffer - size_t(n);
    if (t.second != 0)
        std::snprintf(buffer + n, room, "%d时%d分%d秒", t.hour, t.minute, t.second);
    else if (t.minute != 0)
        std::snprintf(buffer + n, room, "%d时%d分", t.hour, t.minute);
    else if (t.hour != 0)
        std::snprintf(buffer + n, room, "%d时", t.hour);
    return buffer;
}

// The bytes of a block up to (not including) the first NUL, as a new text.
char* TextUpToNul(const uint8_t* bytes, size_t length) {
    if (!bytes) return nullptr;
    const void* nul = std::memchr(bytes, 0, length);
    if (nul) length = size_t(static_cast<const uint8_t*>(nul) - bytes);
    return NewText(reinterpret_cast<const char*>(bytes), length);
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips leading white space and an optional sign; returns true for a minus sign.
bool SkipSpaceAndSign(const char*& p) {
    while (IsSpace(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    return negative;
}

const char* SkipDigits(const char* p) {
    while (IsDigit(*p)) ++p;
    return p;
}

}  // namespace

char* NumberToText(const Value& v) {
    char buffer[64];
    switch (v.tag) {
        case kTagByte: std::snprintf(buffer, sizeof buffer, "%u", unsigned(uint8_t(v.low))); break;
        case kTagShort: std::snprintf(buffer, sizeof buffer, "%d", int(int16_t(v.low))); break;
        case kTagInt: std::snprintf(buffer, sizeof buffer, "%d", int(v.AsInt())); break;
        case kTagLong: std::snprintf(buffer, sizeof buffer, "%" PRId64, v.AsLong()); break;
        case kTagFloat: std::snprintf(buffer, sizeof buffer, "%.6g", double(v.AsFloat())); break;
        case kTagDouble: std::snprintf(buffer, sizeof buffer, "%.13g", v.AsDouble()); break;
        case kTagBool: return NewText(v.low != 0 ? "真" : "假");
        case kTagDateTime: return NewText(FormatDateTime(v.AsDouble()).c_str());
        default: return nullptr;
    }
    return NewText(buffer);
}

char* ValueToText(const Value& v) {
    if (v.tag == kTagText) return NewText(v.AsText());
    if (v.tag == kTagBytes) return TextUpToNul(BytesDataOf(v.AsPointer()), size_t(BytesLengthOf(v.AsPointer())));
    if (IsArrayTag(v.tag)) {
        const void* array = v.AsPointer();
        if (!IsNumericTag(ElementTag(v.tag)) || ArrayDims(array) < 1) return nullptr;
        // Only the first dimension counts: the elements are read as one run of bytes.
        const int32_t firstDimension = static_cast<const int32_t*>(array)[1];
        if (firstDimension <= 0) return nullptr;
        return TextUpToNul(ArrayElements(array), size_t(firstDimension) * StoredSize(ElementTag(v.tag)));
    }
    return NumberToText(v);
}

std::string FoldFullWidth(const char* text) {
    std::string out;
    out.reserve(std::strlen(text));
    for (const char* p = text; *p;) {
        const uint8_t lead = uint8_t(p[0]);
        if (lead < 0x80 || p[1] == 0) {
            out += *p++;
            continue;
        }
        const uint8_t trail = uint8_t(p[1]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE)
            out += char(trail & 0x7F);
        else if (lead == 0xA1 && trail == 0xA1)
            out += ' ';
        else if (lead == 0xA1 && trail == 0xAB)
            out += '~';
        else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF))
            out += '*';
        else
            out.append(p, 2);
        p += 2;
    }
    return out;
}

int32_t TextToInteger(const char* text) {
    const std::string folded = FoldFullWidth(text);
    const char* p = folded.c_str();
    const bool negative = SkipSpaceAndSign(p);
    // Accumulate toward the sign's limit so that the most negative value is reachable and overflow saturates.
    const int64_t limit =
        negative ? -int64_t(std::numeric_limits<int32_t>::min()) : int64_t(std::numeric_limits<int32_t>::max());
    int64_t magnitude = 0;
    for (; IsDigit(*p); ++p) magnitude = std::min(limit, magnitude * 10 + (*p - '0'));
    return int32_t(negative ? -magnitude : magnitude);
}

double TextToNumber(const char* text) {
    const std::string folded = FoldFullWidth(text);
    // Take only the decimal form (no hexadecimal, infinity or NaN spellings), then let strtod round it.
    const char* begin = folded.c_str();
    const char* p = begin;
    SkipSpaceAndSign(p);
    const char* digits = p;
    p = SkipDigits(p);
    bool any = p != digits;
    if (*p == '.') {
        const char* fraction = p + 1;
        p = SkipDigits(fraction);
        any = any || p != fraction;
    }
    if (!any) return 0;
    if (*p == 'e' || *p == 'E') {
        const char* exponent = p + 1;
        if (*exponent == '+' || *exponent == '-') ++exponent;
        if (IsDigit(*exponent)) p = SkipDigits(exponent);
    }
    const std::string number(begin, p);
    return std::strtod(number.c_str(), nullptr);
}

}  // namespace rt
