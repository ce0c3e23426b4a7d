#include "runtime/Conversions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <type_traits>
#include <vector>

#include "runtime/Errors.h"

namespace rt {

namespace {

// Written with printf's correctly rounded %e and read with strtod rather than
// with std::to_chars and std::from_chars: the libc++ of the web build has
// neither for floating point, and every build must write and read the same
// text. No text handed to the C library carries a decimal point, whose
// character the locale decides (a comma in the Czech one the game is played in).

// digits × 10^exponent
struct Decimal {
  std::string digits;
  long long exponent = 0;
  // That of the first digit, as scientific notation writes it.
  long long Leading() const { return exponent + static_cast<long long>(digits.size()) - 1; }
};

// The nearest decimal of `precision` significant digits to a positive value.
Decimal Rounded(double value, int precision) {
  std::vector<char> text(static_cast<std::size_t>(precision) + 16);
  std::snprintf(text.data(), text.size(), "%.*e", precision - 1, value);
  Decimal decimal;
  const char* c = text.data();
  // The digits up to the exponent, whatever the locale put between them.
  for (; *c != 'e'; ++c)
    if (*c >= '0' && *c <= '9') decimal.digits += *c;
  decimal.exponent = std::atoll(c + 1) - (precision - 1);
  return decimal;
}

// A double has at most 767 significant digits; the zeros after them go.
Decimal Exact(double value) {
  Decimal decimal = Rounded(value, 800);
  const auto last = decimal.digits.find_last_not_of('0');
  if (last == std::string::npos) return {"0", 0};
  decimal.exponent += static_cast<long long>(decimal.digits.size() - 1 - last);
  decimal.digits.resize(last + 1);
  return decimal;
}

int Compare(Decimal a, Decimal b) {
  a.digits.erase(0, a.digits.find_first_not_of('0'));
  b.digits.erase(0, b.digits.find_first_not_of('0'));
  if (a.digits.empty() || b.digits.empty()) return b.digits.empty() - a.digits.empty();
  if (a.Leading() != b.Leading()) return a.Leading() < b.Leading() ? -1 : 1;
  for (std::size_t i = 0; i < std::max(a.digits.size(), b.digits.size()); ++i) {
    const char x = i < a.digits.size() ? a.digits[i] : '0';
    const char y = i < b.digits.size() ? b.digits[i] : '0';
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// (a + b) / 2 as (a + b) × 5 / 10.
Decimal Midpoint(Decimal a, Decimal b) {
  const long long exponent = std::min(a.exponent, b.exponent);
  a.digits.append(static_cast<std::size_t>(a.exponent - exponent), '0');
  b.digits.append(static_cast<std::size_t>(b.exponent - exponent), '0');
  const std::size_t length = std::max(a.digits.size(), b.digits.size()) + 2;
  a.digits.insert(0, length - a.digits.size(), '0');
  b.digits.insert(0, length - b.digits.size(), '0');
  Decimal half{std::string(length, '0'), exponent - 1};
  int carry = 0;
  for (std::size_t i = length; i-- > 0;) {
    const int sum = (a.digits[i] - '0') + (b.digits[i] - '0') + carry;
    a.digits[i] = static_cast<char>('0' + sum % 10);
    carry = sum / 10;
  }
  for (std::size_t i = length; i-- > 0;) {
    const int product = (a.digits[i] - '0') * 5 + carry;
    half.digits[i] = static_cast<char>('0' + product % 10);
    carry = product / 10;
  }
  return half;
}

// The value nearest to the decimal. The mingw-w64 runtime of the Windows build
// reads some decimals just below a power of two as that power, so such a result
// is checked against the midpoint below it, in exact decimals.
template <typename T>
T Read(const Decimal& decimal) {
  const std::string text = decimal.digits + 'e' + std::to_string(decimal.exponent);
  T value;
  if constexpr (std::is_same_v<T, float>)
    value = std::strtof(text.c_str(), nullptr);
  else
    value = std::strtod(text.c_str(), nullptr);
  int binaryExponent = 0;
  if (std::isfinite(value) && value > 0 && std::frexp(value, &binaryExponent) == T{0.5}) {
    const T below = std::nextafter(value, T{0});
    if (Compare(decimal, Midpoint(Exact(below), Exact(value))) < 0) value = below;
  }
  return value;
}

// The same number of digits, one unit more in the last.
Decimal NextUp(Decimal decimal) {
  auto digit = decimal.digits.rbegin();
  for (; digit != decimal.digits.rend() && *digit == '9'; ++digit) *digit = '0';
  if (digit != decimal.digits.rend()) {
    ++*digit;
  } else {
    decimal.digits.front() = '1';
    ++decimal.exponent;
  }
  return decimal;
}

// The fewest significant digits that read back as the value, the nearest such
// digits to it.
template <typename T>
Decimal ShortestDigits(T value) {
  for (int precision = 1;; ++precision) {
    const Decimal nearest = Rounded(static_cast<double>(value), precision);
    const T back = Read<T>(nearest);
    if (back == value) return nearest;
    // At a power of two the gap to the next value below is half the gap above,
    // so the nearest digits can fall short below while the next ones up are
    // still closer to the value than to its successor (2^87 in float).
    if (back < value) {
      const Decimal up = NextUp(nearest);
      if (Read<T>(up) == value) return up;
    }
  }
}

// Fixed or scientific notation, whichever is shorter, fixed when equal, as
// std::to_chars writes it; the exponent in capitals, as the runtime writes it
// ("1E+20").
template <typename T>
std::string Shortest(T value) {
  std::string text = std::signbit(value) ? "-" : "";
  if (std::isnan(value)) return text + "nan";
  if (std::isinf(value)) return text + "inf";
  if (value == 0) return text + "0";
  const Decimal decimal = ShortestDigits(std::fabs(value));
  const std::string& digits = decimal.digits;
  const int count = static_cast<int>(digits.size());
  const int exponent = static_cast<int>(decimal.Leading());
  const int magnitude = std::abs(exponent);

  const int scientificLength = count + (count > 1 ? 1 : 0) + 2 + (magnitude < 100 ? 2 : 3);
  const int fixedLength = exponent < 0 ? 1 - exponent + count : (count <= exponent + 1 ? exponent + 1 : count + 1);
  if (fixedLength > scientificLength) {
    text += digits.front();
    if (count > 1) text.append(".").append(digits, 1);
    text += exponent < 0 ? "E-" : "E+";
    if (magnitude < 10) text += '0';
    return text + std::to_string(magnitude);
  }
  const auto units = static_cast<std::size_t>(exponent + 1);
  if (exponent < 0) return text + "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  if (count > exponent + 1) return text + digits.substr(0, units) + '.' + digits.substr(units);
  // A whole number longer than its shortest digits: the digits it has, not
  // zeros after the shortest ones (fixed notation is chosen only while it is
  // short).
  char whole[32];
  std::snprintf(whole, sizeof whole, "%.0f", std::fabs(static_cast<double>(value)));
  return text + whole;
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

double CheckStatus(double result, bool divisionByZero) {
  if (divisionByZero) throw RuntimeError(err::DivisionByZero);
  if (std::isnan(result) || std::isinf(result)) throw RuntimeError(err::Overflow);
  return result;
}

}  // namespace

std::string vbaStrR4(float value) { return Shortest(value); }
std::string vbaStrR8(double value) { return Shortest(value); }
std::string vbaStrI2(std::int16_t value) { return std::to_string(value); }

double vbaR8Str(std::string_view text) {
  std::string_view number = Trim(text);
  bool negative = false;
  if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
    negative = number.front() == '-';
    number.remove_prefix(1);
  }
  // Digits with at most one point among them, then an exponent if a whole one
  // follows: no hexadecimal, "inf" or "nan", nor the comma of the Czech locale.
  const auto isDigit = [&](std::size_t i) { return i < number.size() && number[i] >= '0' && number[i] <= '9'; };
  std::string digits;
  long long exponent = 0;  // of the last digit
  std::size_t i = 0;
  for (; isDigit(i); ++i) digits += number[i];
  if (i < number.size() && number[i] == '.')
    for (++i; isDigit(i); ++i, --exponent) digits += number[i];
  if (digits.empty()) throw RuntimeError(err::TypeMismatch);
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    std::size_t j = i + 1;
    const bool negativeExponent = j < number.size() && number[j] == '-';
    if (j < number.size() && (number[j] == '+' || number[j] == '-')) ++j;
    if (isDigit(j)) {
      // Held short of overflowing; no text is long enough for its digits to
      // bring such an exponent back into range.
      long long written = 0;
      for (; isDigit(j); ++j)
        if (written < 1'000'000'000'000'000) written = written * 10 + (number[j] - '0');
      exponent += negativeExponent ? -written : written;
      i = j;
    }
  }
  if (i != number.size()) throw RuntimeError(err::TypeMismatch);

  const double value = Read<double>({digits, exponent});
  // Out of range either way: too large, or so small it is lost to zero.
  if (std::isinf(value) || (value == 0 && digits.find_first_not_of('0') != std::string::npos))
    throw RuntimeError(err::Overflow);
  return negative ? -value : value;
}

std::int16_t vbaI2Str(std::string_view text) {
  const double value = std::nearbyint(vbaR8Str(text));  // default rounding: halves to even
  if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max())
    throw RuntimeError(err::Overflow);
  return static_cast<std::int16_t>(value);
}

double vbaFPInt(double value) { return std::floor(value); }

std::int32_t vbaFpI4(double value) {
  if (std::isnan(value)) throw RuntimeError(err::Overflow);
  const double rounded = std::nearbyint(value);
  if (rounded < std::numeric_limits<std::int32_t>::min() || rounded > std::numeric_limits<std::int32_t>::max())
    throw RuntimeError(err::Overflow);
  return static_cast<std::int32_t>(rounded);
}

int vbaStrCmp(std::string_view a, std::string_view b) {
  const int order = a.compare(b);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::string vbaStrCat(std::string_view a, std::string_view b) {
  std::string result;
  result.reserve(a.size() + b.size());
  result.append(a).append(b);
  return result;
}

std::int16_t AddI2(std::int16_t a, std::int16_t b) {
  const int sum = int{a} + int{b};
  if (sum < std::numeric_limits<std::int16_t>::min() || sum > std::numeric_limits<std::int16_t>::max())
    throw RuntimeError(err::Overflow);
  return static_cast<std::int16_t>(sum);
}

std::int16_t MulI2(std::int16_t a, std::int16_t b) {
  const int product = int{a} * int{b};
  if (product < std::numeric_limits<std::int16_t>::min() || product > std::numeric_limits<std::int16_t>::max())
    throw RuntimeError(err::Overflow);
  return static_cast<std::int16_t>(product);
}

double CheckedDiv(double a, double b) {
  // 0/0 is an invalid operation (overflow error), x/0 a division by zero.
  if (b == 0.0 && !std::isnan(a)) return CheckStatus(a == 0.0 ? NAN : 0.0, a != 0.0);
  return CheckStatus(a / b, false);
}

double CheckedAdd(double a, double b) { return CheckStatus(a + b, false); }

}  // namespace rt
