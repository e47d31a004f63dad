// Conversions between values and texts: number to text, any value to text, full-width folding, text to number.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/value.h"

namespace rt {

// A numeric, boolean or date-time value as a new owned text ("%u", "%d", "%.6g", "%.13g", "真"/"假",
// "Y年M月D日[h时[m分[s秒]]]"); null for any other type.
char* NumberToText(const Value& v);

// Any value as a new owned text, the way the ToText command converts it: numbers as above, a text copied, a byte set
// (or an array of a numeric type) as its bytes up to the first NUL; null for everything else.
char* ValueToText(const Value& v);

// Folds full-width GBK characters to their half-width forms: A3 A1..A3 FE to ASCII, the full-width space A1 A1 to a
// space, A1 AB to '~', A1 EE and A1 EF to '*'. Everything else is copied unchanged.
std::string FoldFullWidth(const char* text);

// Reads a text (after full-width folding) as a decimal number: leading white space, an optional sign, digits and, for
// the real form, an optional fraction and exponent. No digits reads as 0; the integer form saturates at the 32-bit
// limits.
int32_t TextToInteger(const char* text);
double TextToNumber(const char* text);

}  // namespace rt
