#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text/number conversions and checked arithmetic with the classic runtime's
// semantics. Failures raise RuntimeError with the runtime's error numbers.
namespace rt {

// Shortest decimal text that reads back as the same value, no leading space.
std::string vbaStrR4(float value);
std::string vbaStrR8(double value);
std::string vbaStrI2(std::int16_t value);

// Decimal text to a number; surrounding spaces are allowed. Anything else that is
// not a number raises error 13; a value outside the 16-bit range raises error 6.
double vbaR8Str(std::string_view text);
std::int16_t vbaI2Str(std::string_view text);

// Largest whole number not above the value.
double vbaFPInt(double value);
// Nearest 32-bit integer, halves to even; beyond 32 bits error 6.
std::int32_t vbaFpI4(double value);

// Binary, case-sensitive: 0 when equal, otherwise -1 or 1.
int vbaStrCmp(std::string_view a, std::string_view b);
std::string vbaStrCat(std::string_view a, std::string_view b);

// Signed 16-bit arithmetic whose overflow raises error 6.
std::int16_t AddI2(std::int16_t a, std::int16_t b);
std::int16_t MulI2(std::int16_t a, std::int16_t b);

// Double arithmetic followed by the floating-point status test: an invalid
// operation or an overflow raises error 6, a division by zero error 11.
double CheckedDiv(double a, double b);
double CheckedAdd(double a, double b);

}  // namespace rt
