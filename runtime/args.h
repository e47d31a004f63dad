// Argument and result helpers shared by every command body: omitted arguments, typed reads, owned results.
#pragma once

#include <cstdint>

#include "runtime/memory.h"
#include "runtime/value.h"

namespace rt {

// Argument i, or an omitted record when the caller passed fewer arguments.
inline Value Arg(int32_t argc, const Value* args, int32_t i) { return i < argc ? args[i] : Value{0, 0, kTagOmitted}; }
inline bool ArgOmitted(int32_t argc, const Value* args, int32_t i) { return Arg(argc, args, i).Omitted(); }

// A text argument; omitted or null reads as the empty text "".
inline const char* ArgText(int32_t argc, const Value* args, int32_t i) {
    Value v = Arg(argc, args, i);
    if (v.tag != kTagText) return "";
    const char* t = v.AsText();
    return t ? t : "";
}

// A byte-set argument's block (null for omitted or empty).
inline const void* ArgBytes(int32_t argc, const Value* args, int32_t i) {
    Value v = Arg(argc, args, i);
    return v.tag == kTagBytes ? v.AsPointer() : nullptr;
}

// Numeric arguments of any numeric type; omitted reads as 0 (or the given default).
int32_t ArgInt(int32_t argc, const Value* args, int32_t i, int32_t omitted = 0);
int64_t ArgLong(int32_t argc, const Value* args, int32_t i, int64_t omitted = 0);
double ArgDouble(int32_t argc, const Value* args, int32_t i, double omitted = 0);
bool ArgBool(int32_t argc, const Value* args, int32_t i, bool omitted = false);

// The variable behind a by-reference argument (null when omitted).
inline void* ArgVariable(int32_t argc, const Value* args, int32_t i) {
    Value v = Arg(argc, args, i);
    return v.Omitted() ? nullptr : v.AsPointer();
}

inline void SetInt(Value* r, int32_t v) { *r = Value::Int(v); }
inline void SetBool(Value* r, bool v) { *r = Value::Bool(v); }
inline void SetDouble(Value* r, double v) { *r = Value::Double(v); }
inline void SetLong(Value* r, int64_t v) { *r = Value::Long(v); }
// Takes ownership of an already allocated text (null for empty).
inline void SetText(Value* r, char* owned) { *r = Value::Pointer(kTagText, owned); }
inline void SetBytes(Value* r, void* owned) { *r = Value::Pointer(kTagBytes, owned); }
inline void SetArray(Value* r, uint32_t elementTag, void* owned) {
    *r = Value::Pointer(elementTag | kTagArrayBit, owned);
}

}  // namespace rt
