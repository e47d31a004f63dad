// Numeric reads of command arguments: any numeric, boolean or date-time type converts as a number would.
#include "runtime/args.h"

#include <cmath>
#include <limits>

namespace rt {

namespace {

// A real truncated toward zero and held within I's range; NaN reads as 0. A plain conversion of a value out of
// range is undefined, and a lying argument must not be able to reach that.
template <typename I>
I TruncateReal(double d) {
    constexpr double kLowest = double(std::numeric_limits<I>::min());  // -2^k, exact
    if (std::isnan(d)) return 0;
    if (d <= kLowest) return std::numeric_limits<I>::min();
    if (d >= -kLowest) return std::numeric_limits<I>::max();
    return I(d);
}

double NumberOf(const Value& v) {
    switch (v.tag) {
        case kTagByte: return uint8_t(v.low);
        case kTagShort: return int16_t(v.low);
        case kTagInt:
        case kTagBool: return int32_t(v.low);
        case kTagLong: return double(v.AsLong());
        case kTagFloat: return v.AsFloat();
        case kTagDouble:
        case kTagDateTime: return v.AsDouble();
        default: return 0;
    }
}
}  // namespace

int64_t ArgLong(int32_t argc, const Value* args, int32_t i, int64_t omitted) {
    Value v = Arg(argc, args, i);
    if (v.Omitted()) return omitted;
    switch (v.tag) {
        case kTagByte: return uint8_t(v.low);
        case kTagShort: return int16_t(v.low);
        case kTagInt:
        case kTagBool: return int32_t(v.low);
        case kTagLong: return v.AsLong();
        case kTagFloat:
        case kTagDouble:
        case kTagDateTime: return TruncateReal<int64_t>(NumberOf(v));
        default: return 0;
    }
}

int32_t ArgInt(int32_t argc, const Value* args, int32_t i, int32_t omitted) {
    // A real is held within the 32-bit range; the other types keep their low 32 bits.
    const uint32_t tag = Arg(argc, args, i).tag;
    if (tag == kTagFloat || tag == kTagDouble || tag == kTagDateTime)
        return TruncateReal<int32_t>(ArgDouble(argc, args, i));
    return int32_t(ArgLong(argc, args, i, omitted));
}

double ArgDouble(int32_t argc, const Value* args, int32_t i, double omitted) {
    Value v = Arg(argc, args, i);
    return v.Omitted() ? omitted : NumberOf(v);
}

bool ArgBool(int32_t argc, const Value* args, int32_t i, bool omitted) {
    Value v = Arg(argc, args, i);
    if (v.Omitted()) return omitted;
    if (v.tag == kTagDouble || v.tag == kTagFloat) return NumberOf(v) != 0;
    return v.low != 0 || (v.tag == kTagLong && v.high != 0);
}

}  // namespace rt
