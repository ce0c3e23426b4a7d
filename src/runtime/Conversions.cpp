#include "runtime/Conversions.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "runtime/Errors.h"

namespace rt {

namespace {

template <typename T>
std::string Shortest(T value) {
  std::array<char, 64> buffer{};
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  if (ec != std::errc{}) throw RuntimeError(err::Overflow);
  std::string text(buffer.data(), end);
  // The runtime writes exponents in capitals ("1E+20").
  for (char& c : text)
    if (c == 'e') c = 'E';
  return text;
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
  // from_chars would also take "inf" and "nan", which are no numbers here.
  if (number.empty() || !(std::isdigit(static_cast<unsigned char>(number.front())) || number.front() == '.'))
    throw RuntimeError(err::TypeMismatch);
  double value = 0;
  const char* end = number.data() + number.size();
  auto [stop, ec] = std::from_chars(number.data(), end, value);
  if (stop != end) throw RuntimeError(err::TypeMismatch);
  if (ec == std::errc::result_out_of_range) throw RuntimeError(err::Overflow);
  if (ec != std::errc{}) throw RuntimeError(err::TypeMismatch);
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
