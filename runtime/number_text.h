// The text form of numbers, booleans and date-times, wherever a value of any type stands for a text.
#pragma once

#include "runtime/value.h"

namespace rt {

// The types that have a number text: the numeric types, boolean and date-time.
inline bool HasNumberText(uint32_t tag) { return IsNumericTag(tag) || tag == kTagBool || tag == kTagDateTime; }

// A new owned text (free it with MemFree) for a value of a type that HasNumberText.
char* NumberToText(const Value& value);

}  // namespace rt
