// Numeric reads of command arguments: any numeric, boolean or date-time type converts as a number would.
#include "runtime/args.h"

namespace rt {

namespace {
double NumberOf(const Value& v) {
    switch (v.tag) {
        case kTagByte: return uint8_t(v.low);
        case kTagShort: return int16_t(v.low);
        case kTagInt: case kTagBool: return int32_t(v.low);
        case kTagLong: return double(v.AsLong());
        case kTagFloat: return v.AsFloat();
        case kTagDouble: case kTagDateTime: return v.AsDouble();
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
        case kTagInt: case kTagBool: return int32_t(v.low);
        case kTagLong: return v.AsLong();
        case kTagFloat: case kTagDouble: case kTagDateTime: return int64_t(NumberOf(v));
        default: return 0;
    }
}

int32_t ArgInt(int32_t argc, const Value* args, int32_t i, int32_t omitted) {
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
