// Stand-in for NumberToText while runtime/number_text.cpp is not in this tree; remove it when that file arrives.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "runtime/memory.h"
#include "runtime/number_text.h"

namespace rt {

namespace {

// Year, month and day of a count of days since 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = int64_t(yoe) + era * 400 + (*m <= 2);
}

void FormatDateTime(double value, char* out, size_t size) {
    value = std::clamp(value, -657434.0, 2958465.0);
    int64_t day = int64_t(std::trunc(value));
    int64_t seconds = std::llround(std::fabs(value - double(day)) * 86400.0);
    if (seconds >= 86400) {
        seconds = 0;
        ++day;
    }
    int64_t year;
    unsigned month, dayOfMonth;
    CivilFromDays(day - 25569, &year, &month, &dayOfMonth);
    int n = std::snprintf(out, size, "%d年%u月%u日", int(year), month, dayOfMonth);
    int h = int(seconds / 3600), mi = int(seconds / 60 % 60), s = int(seconds % 60);
    if (seconds == 0) return;
    if (s)
        std::snprintf(out + n, size - size_t(n), "%d时%d分%d秒", h, mi, s);
    else if (mi)
        std::snprintf(out + n, size - size_t(n), "%d时%d分", h, mi);
    else
        std::snprintf(out + n, size - size_t(n), "%d时", h);
}

}  // namespace

// Null for any type other than the numeric ones, boolean and date-time.
char* NumberToText(const Value& v) {
    char text[128] = {};
    switch (v.tag) {
        case kTagByte: std::snprintf(text, sizeof text, "%u", unsigned(uint8_t(v.low))); break;
        case kTagShort: std::snprintf(text, sizeof text, "%d", int(int16_t(v.low))); break;
        case kTagInt: std::snprintf(text, sizeof text, "%d", v.AsInt()); break;
        case kTagLong: std::snprintf(text, sizeof text, "%" PRId64, v.AsLong()); break;
        case kTagFloat: std::snprintf(text, sizeof text, "%.6g", double(v.AsFloat())); break;
        case kTagDouble: std::snprintf(text, sizeof text, "%.13g", v.AsDouble()); break;
        case kTagBool: std::snprintf(text, sizeof text, "%s", v.low ? "真" : "假"); break;
        case kTagDateTime: FormatDateTime(v.AsDouble(), text, sizeof text); break;
        default: break;
    }
    return NewText(text);
}

}  // namespace rt
