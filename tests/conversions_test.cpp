#include "runtime/Conversions.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>
#include <version>

#include "FakePlatform.h"
#include "runtime/Color.h"
#include "runtime/Errors.h"

using namespace rt;

using testing_support::ErrorNumberOf;

TEST(Conversions, NumbersToTextAreShortestWithoutLeadingSpace) {
  EXPECT_EQ(vbaStrR4(7.0f), "7");
  EXPECT_EQ(vbaStrR4(1.0f), "1");
  EXPECT_EQ(vbaStrR4(0.5f), "0.5");
  EXPECT_EQ(vbaStrR4(0.1f), "0.1");  // not 0.100000001
  EXPECT_EQ(vbaStrR8(85.0), "85");
  EXPECT_EQ(vbaStrR8(100.0), "100");
  EXPECT_EQ(vbaStrR8(0.0), "0");
  EXPECT_EQ(vbaStrR8(-2.5), "-2.5");
  EXPECT_EQ(vbaStrR8(1e20), "1E+20");
  EXPECT_EQ(vbaStrI2(0), "0");
  EXPECT_EQ(vbaStrI2(42), "42");
  EXPECT_EQ(vbaStrI2(-32768), "-32768");
}

TEST(Conversions, TextToNumbers) {
  EXPECT_EQ(vbaR8Str("7"), 7.0);
  EXPECT_EQ(vbaR8Str(" 3 "), 3.0);
  EXPECT_EQ(vbaR8Str("-2.5"), -2.5);
  EXPECT_EQ(vbaR8Str("+4"), 4.0);
  EXPECT_EQ(vbaI2Str("1"), 1);
  EXPECT_EQ(vbaI2Str("32767"), 32767);
  EXPECT_EQ(vbaI2Str("-32768"), -32768);
  EXPECT_EQ(vbaI2Str("2.5"), 2);  // halves to even
  EXPECT_EQ(vbaI2Str("3.5"), 4);
}

TEST(Conversions, BadTextRaisesTypeMismatchAndRangeRaisesOverflow) {
  for (const char* text : {"", " ", "abc", "1x", "nan", "inf", "-", "1,5", "0x10"})
    EXPECT_EQ(ErrorNumberOf([&] { vbaR8Str(text); }), err::TypeMismatch) << text;
  EXPECT_EQ(ErrorNumberOf([] { vbaI2Str("x"); }), err::TypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { vbaI2Str("32768"); }), err::Overflow);
  EXPECT_EQ(ErrorNumberOf([] { vbaI2Str("-32769"); }), err::Overflow);
  EXPECT_EQ(ErrorNumberOf([] { vbaR8Str("1e400"); }), err::Overflow);
}

TEST(Conversions, ShortestTextChoosesFixedOrScientificByLength) {
  EXPECT_EQ(vbaStrR8(123456.0), "123456");
  EXPECT_EQ(vbaStrR8(100000.0), "1E+05");  // five characters against six
  EXPECT_EQ(vbaStrR8(0.001), "0.001");
  EXPECT_EQ(vbaStrR8(0.0001), "1E-04");
  EXPECT_EQ(vbaStrR8(0.00012), "0.00012");
  EXPECT_EQ(vbaStrR8(1.5e-5), "1.5E-05");
  EXPECT_EQ(vbaStrR8(1234567e10), "1.234567E+16");
  EXPECT_EQ(vbaStrR8(2.5e-300), "2.5E-300");
  EXPECT_EQ(vbaStrR8(-0.0), "-0");
  EXPECT_EQ(vbaStrR4(-7.0f), "-7");
  EXPECT_EQ(vbaStrR4(1e10f), "1E+10");
  EXPECT_EQ(vbaStrR4(3e9f), "3E+09");
}

TEST(Conversions, ShortestTextReadsBackAsTheSameValue) {
  EXPECT_EQ(vbaStrR8(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(vbaStrR8(1.0 / 3), "0.3333333333333333");
  EXPECT_EQ(vbaStrR8(600.0 / 7), "85.71428571428571");
  EXPECT_EQ(vbaStrR8(std::nextafter(1.0, 2.0)), "1.0000000000000002");
  EXPECT_EQ(vbaStrR8(std::nextafter(1.0, 0.0)), "0.9999999999999999");
  EXPECT_EQ(vbaStrR8(std::numeric_limits<double>::max()), "1.7976931348623157E+308");
  EXPECT_EQ(vbaStrR8(std::numeric_limits<double>::min()), "2.2250738585072014E-308");
  EXPECT_EQ(vbaStrR8(std::numeric_limits<double>::denorm_min()), "5E-324");
  EXPECT_EQ(vbaStrR8(3 * std::numeric_limits<double>::denorm_min()), "1.5E-323");
  EXPECT_EQ(vbaStrR4(1.0f / 3), "0.33333334");
  EXPECT_EQ(vbaStrR4(0.3f), "0.3");
  EXPECT_EQ(vbaStrR4(std::nextafter(1.0f, 2.0f)), "1.0000001");
  EXPECT_EQ(vbaStrR4(std::numeric_limits<float>::max()), "3.4028235E+38");
  EXPECT_EQ(vbaStrR4(std::numeric_limits<float>::min()), "1.1754944E-38");
  EXPECT_EQ(vbaStrR4(std::numeric_limits<float>::denorm_min()), "1E-45");
  // Powers of two, whose gap below is half the gap above: the nearest eight
  // digits fall below what reads back, the next ones up do not.
  EXPECT_EQ(vbaStrR4(std::ldexp(1.0f, 87)), "1.5474251E+26");
  EXPECT_EQ(vbaStrR4(std::ldexp(1.0f, 90)), "1.2379401E+27");
  EXPECT_EQ(vbaStrR4(std::ldexp(1.0f, -96)), "1.2621775E-29");
}

TEST(Conversions, LargeWholeNumbersInFixedNotationKeepTheirOwnDigits) {
  EXPECT_EQ(vbaStrR8(std::ldexp(1.0, 63)), "9223372036854775808");
  EXPECT_EQ(vbaStrR8(std::ldexp(1.0, 70)), "1180591620717411303424");
  EXPECT_EQ(vbaStrR8(123456789012345680000.0), "123456789012345683968");
  EXPECT_EQ(vbaStrR8(9007199254740993.0), "9007199254740992");
  EXPECT_EQ(vbaStrR8(1e21), "1E+21");
  EXPECT_EQ(vbaStrR8(1e23), "1E+23");
  EXPECT_EQ(vbaStrR4(16777217.0f), "16777216");
  EXPECT_EQ(vbaStrR4(441382624.0f), "441382624");
}

TEST(Conversions, TextToNumbersTakesWhatStrtodTakesButHexadecimalAndWords) {
  EXPECT_EQ(vbaR8Str("5."), 5.0);
  EXPECT_EQ(vbaR8Str(".5"), 0.5);
  EXPECT_EQ(vbaR8Str("-.5"), -0.5);
  EXPECT_EQ(vbaR8Str("5.e3"), 5000.0);
  EXPECT_EQ(vbaR8Str("1E5"), 1e5);
  EXPECT_EQ(vbaR8Str("2.5e-3"), 2.5e-3);
  EXPECT_EQ(vbaR8Str("1e+2"), 100.0);
  EXPECT_EQ(vbaR8Str("00012"), 12.0);
  EXPECT_EQ(vbaR8Str("\t7\t"), 7.0);
  EXPECT_EQ(vbaR8Str("0e999999999999999999999"), 0.0);
  EXPECT_TRUE(std::signbit(vbaR8Str("-0")));
  EXPECT_EQ(vbaR8Str("0.1000000000000000055511151231257827021181583404541015625"), 0.1);
  EXPECT_EQ(vbaR8Str("1.7976931348623158e308"), std::numeric_limits<double>::max());
  EXPECT_EQ(vbaR8Str("2.4703282292062328e-324"), std::numeric_limits<double>::denorm_min());
  // Just below a power of two, where the gap below is half the gap above.
  EXPECT_EQ(vbaR8Str("3.839223843572815e-239"), std::nextafter(std::ldexp(1.0, -792), 0.0));
  EXPECT_EQ(vbaR8Str("3.8392238435728152e-239"), std::ldexp(1.0, -792));
  EXPECT_EQ(vbaStrR8(std::nextafter(std::ldexp(1.0, -792), 0.0)), "3.839223843572815E-239");
  EXPECT_EQ(vbaStrR8(std::ldexp(1.0, -792)), "3.8392238435728152E-239");
  // Correctly rounded, halves to even.
  EXPECT_EQ(vbaR8Str("9007199254740993"), 9007199254740992.0);
  EXPECT_EQ(vbaR8Str("9007199254740993.000000000001"), 9007199254740994.0);
  for (const char* text : {".", ".e3", "1e", "1e+", "1e-x", "e5", "1.2.3", "1 000", "7\n", "--5", "+-5", "- 5", "0x1p3",
                           "infinity", "1e5.5", "5,"})
    EXPECT_EQ(ErrorNumberOf([&] { vbaR8Str(text); }), err::TypeMismatch) << text;
  for (const char* text : {"1e-400", "2.4703282292062327e-324", "1.7976931348623159e308", "1e99999999999999999999",
                           "-1e-99999999999999999999"})
    EXPECT_EQ(ErrorNumberOf([&] { vbaR8Str(text); }), err::Overflow) << text;
}

namespace {

// The C library's numeric locale switched for the life of one test.
class NumericLocale {
 public:
  explicit NumericLocale(const char* name) : previous_(std::setlocale(LC_NUMERIC, nullptr)) {
    active_ = std::setlocale(LC_NUMERIC, name) != nullptr;
  }
  ~NumericLocale() { std::setlocale(LC_NUMERIC, previous_.c_str()); }
  bool Active() const { return active_; }

 private:
  std::string previous_;
  bool active_ = false;
};

}  // namespace

// The game runs in the Czech locale, whose decimal separator is a comma; the
// runtime's numbers keep the point. The build compiles that locale for the test
// where it can (QUINTAREL_COMMA_LOCALE names it).
TEST(Conversions, NumbersKeepThePointUnderACommaLocale) {
  const char* name = std::getenv("QUINTAREL_COMMA_LOCALE");
  if (name == nullptr) GTEST_SKIP() << "no comma locale in this build";
  const NumericLocale czech(name);
  ASSERT_TRUE(czech.Active()) << name;
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  EXPECT_EQ(vbaStrR8(-2.5), "-2.5");
  EXPECT_EQ(vbaStrR8(600.0 / 7), "85.71428571428571");
  EXPECT_EQ(vbaStrR8(1.5e-5), "1.5E-05");
  EXPECT_EQ(vbaStrR4(0.1f), "0.1");
  EXPECT_EQ(vbaStrR4(std::ldexp(1.0f, 87)), "1.5474251E+26");
  EXPECT_EQ(vbaR8Str("2.5"), 2.5);
  EXPECT_EQ(vbaR8Str(".5e1"), 5.0);
  EXPECT_EQ(vbaI2Str("3.5"), 4);
  EXPECT_EQ(ErrorNumberOf([] { vbaR8Str("2,5"); }), err::TypeMismatch);
}

// Where the standard library has floating-point std::to_chars and
// std::from_chars, the runtime's text must be theirs, value for value.
#if defined(__cpp_lib_to_chars)
namespace {

template <typename T>
std::string ToChars(T value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  for (char& c : text)
    if (c == 'e') c = 'E';
  return text;
}

// What vbaR8Str made of the text before it had its own parser: the same
// checks around std::from_chars.
std::string FromChars(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  text = first == std::string_view::npos ? std::string_view{}
                                         : text.substr(first, text.find_last_not_of(" \t") - first + 1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.')) return "error 13";
  double value = 0;
  const auto [stop, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (stop != text.data() + text.size()) return "error 13";
  if (ec == std::errc::result_out_of_range) return "error 6";
  if (ec != std::errc{}) return "error 13";
  return ToChars(negative ? -value : value);
}

std::string ParsedByRuntime(std::string_view text) {
  try {
    return ToChars(vbaR8Str(text));
  } catch (const RuntimeError& e) {
    return "error " + std::to_string(e.Number());
  }
}

template <typename T, typename Bits>
T FromBits(Bits bits) {
  static_assert(sizeof(T) == sizeof(Bits));
  T value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

template <typename T>
std::string StrOf(T value) {
  if constexpr (std::is_same_v<T, float>)
    return vbaStrR4(value);
  else
    return vbaStrR8(value);
}

// Every value of the list, at most a few mismatches reported.
template <typename T>
void ExpectToCharsText(const std::vector<T>& values) {
  int mismatches = 0;
  for (const T value : values) {
    const std::string expected = ToChars(value);
    if (StrOf(value) != expected && ++mismatches <= 10)
      ADD_FAILURE() << std::hexfloat << value << ": " << StrOf(value) << " instead of " << expected;
  }
  EXPECT_EQ(mismatches, 0) << "of " << values.size();
}

template <typename T, typename Bits>
std::vector<T> ManyValues(std::mt19937_64& random) {
  std::vector<T> values;
  // Any bit pattern: every exponent, denormals, infinities and NaNs.
  for (int i = 0; i < 40000; ++i) values.push_back(FromBits<T>(static_cast<Bits>(random())));
  // Powers of two and their neighbours.
  for (int e = std::numeric_limits<T>::min_exponent - std::numeric_limits<T>::digits;
       e <= std::numeric_limits<T>::max_exponent; ++e) {
    const T power = std::ldexp(T{1}, e);
    values.insert(values.end(),
                  {power, std::nextafter(power, T{0}), std::nextafter(power, std::numeric_limits<T>::infinity())});
  }
  // Powers of ten times a digit, and two values either side: where fixed and
  // scientific notation change places and the digit count changes.
  for (int e = std::numeric_limits<T>::min_exponent10 - 20; e <= std::numeric_limits<T>::max_exponent10; ++e)
    for (int digit = 1; digit <= 9; ++digit) {
      T value = static_cast<T>(digit * std::pow(10.0L, e));
      for (int step = 0; step < 2; ++step) value = std::nextafter(value, T{0});
      for (int step = 0; step < 5; ++step, value = std::nextafter(value, std::numeric_limits<T>::infinity()))
        values.push_back(value);
    }
  // Denormals near the smallest.
  for (Bits bits = 1; bits < 2000; ++bits) values.push_back(FromBits<T>(bits));
  // Whole numbers, small and around where the significand runs out.
  for (int i = -5000; i <= 5000; ++i) values.push_back(static_cast<T>(i));
  const T last = std::ldexp(T{1}, std::numeric_limits<T>::digits);
  for (T value = last - 2000; value < last + 4000; value = std::nextafter(value, last * 2)) values.push_back(value);
  // Large whole numbers, written in fixed notation with the digits they have.
  for (int i = 0; i < 10000; ++i)
    values.push_back(std::ldexp(static_cast<T>(random() % 1000000), static_cast<int>(random() % 80)));
  return values;
}

}  // namespace

TEST(Conversions, DoublesAreWrittenAsToCharsWritesThem) {
  std::mt19937_64 random(20261207);
  ExpectToCharsText(ManyValues<double, std::uint64_t>(random));
}

TEST(Conversions, FloatsAreWrittenAsToCharsWritesThem) {
  std::mt19937_64 random(20261207);
  ExpectToCharsText(ManyValues<float, std::uint32_t>(random));
}

TEST(Conversions, TextIsReadAsFromCharsReadsIt) {
  std::mt19937_64 random(20261207);
  std::vector<std::string> texts;
  // What the runtime writes, with and without further exponents.
  for (int i = 0; i < 40000; ++i) {
    std::string text = vbaStrR8(FromBits<double>(random()));
    if (random() % 2) {
      text += random() % 2 ? 'e' : 'E';
      text += std::to_string(static_cast<int>(random() % 800) - 400);
    }
    texts.push_back(text);
  }
  // Every precision of the values either side of each power of two, where the
  // nearest value is the hardest to tell.
  for (int e = -1074; e <= 1023; ++e)
    for (const double value : {std::nextafter(std::ldexp(1.0, e), 0.0), std::ldexp(1.0, e)})
      for (int precision = 1; precision <= 17; ++precision) {
        char text[40];
        std::snprintf(text, sizeof text, "%.*e", precision - 1, value);
        texts.emplace_back(text);
      }
  // Short strings of number characters and others, mostly no numbers at all.
  const std::string_view alphabet = "0123456789.eE+- \t,x";
  for (int i = 0; i < 100000; ++i) {
    std::string text;
    for (auto length = random() % 10; length > 0; --length) text += alphabet[random() % alphabet.size()];
    texts.push_back(text);
  }
  int mismatches = 0;
  for (const std::string& text : texts) {
    const std::string expected = FromChars(text);
    if (ParsedByRuntime(text) != expected && ++mismatches <= 10)
      ADD_FAILURE() << '"' << text << "\": " << ParsedByRuntime(text) << " instead of " << expected;
  }
  EXPECT_EQ(mismatches, 0) << "of " << texts.size();
}
#else
TEST(Conversions, DoublesAreWrittenAsToCharsWritesThem) { GTEST_SKIP() << "no floating-point std::to_chars here"; }
TEST(Conversions, FloatsAreWrittenAsToCharsWritesThem) { GTEST_SKIP() << "no floating-point std::to_chars here"; }
TEST(Conversions, TextIsReadAsFromCharsReadsIt) { GTEST_SKIP() << "no floating-point std::from_chars here"; }
#endif

TEST(Conversions, FloorAndBankersRounding) {
  EXPECT_EQ(vbaFPInt(6.9999995), 6.0);
  EXPECT_EQ(vbaFPInt(66.66666666666667), 66.0);
  EXPECT_EQ(vbaFPInt(-0.5), -1.0);
  EXPECT_EQ(vbaFpI4(100.5), 100);
  EXPECT_EQ(vbaFpI4(101.5), 102);
  EXPECT_EQ(vbaFpI4(500.5), 500);
  EXPECT_EQ(vbaFpI4(501.5), 502);
  EXPECT_EQ(vbaFpI4(-0.5), 0);
  EXPECT_EQ(vbaFpI4(-1.5), -2);
  EXPECT_EQ(vbaFpI4(100.49), 100);
  EXPECT_EQ(vbaFpI4(2147483647.0), 2147483647);
  EXPECT_EQ(vbaFpI4(-2147483648.0), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(ErrorNumberOf([] { vbaFpI4(2147483648.0); }), err::Overflow);
  EXPECT_EQ(ErrorNumberOf([] { vbaFpI4(std::nan("")); }), err::Overflow);
}

TEST(Conversions, BinaryComparisonAndConcatenation) {
  EXPECT_EQ(vbaStrCmp("5", "5"), 0);
  EXPECT_EQ(vbaStrCmp("", ""), 0);
  EXPECT_NE(vbaStrCmp("a", "A"), 0);
  EXPECT_NE(vbaStrCmp("5", " 5"), 0);
  EXPECT_NE(vbaStrCmp("5", "5 "), 0);
  EXPECT_NE(vbaStrCmp("5", "05"), 0);
  EXPECT_LT(vbaStrCmp("1", "2"), 0);
  EXPECT_GT(vbaStrCmp("2", "1"), 0);
  EXPECT_EQ(vbaStrCat("85", "%"), "85%");
}

TEST(Conversions, SixteenBitArithmeticOverflows) {
  EXPECT_EQ(AddI2(32766, 1), 32767);
  EXPECT_EQ(ErrorNumberOf([] { AddI2(32767, 1); }), err::Overflow);
  EXPECT_EQ(ErrorNumberOf([] { AddI2(-32768, -1); }), err::Overflow);
  EXPECT_EQ(MulI2(1, 100), 100);
  EXPECT_EQ(MulI2(327, 100), 32700);
  EXPECT_EQ(ErrorNumberOf([] { MulI2(328, 100); }), err::Overflow);
}

TEST(Conversions, FloatingPointFaultsRaiseErrors) {
  EXPECT_EQ(CheckedDiv(1200, 15), 80.0);
  EXPECT_EQ(ErrorNumberOf([] { CheckedDiv(1200, 0); }), err::DivisionByZero);
  EXPECT_EQ(ErrorNumberOf([] { CheckedDiv(0, 0); }), err::Overflow);  // invalid operation
  EXPECT_EQ(ErrorNumberOf([] { CheckedDiv(1e308, 1e-308); }), err::Overflow);
  EXPECT_EQ(ErrorNumberOf([] { CheckedAdd(1.7e308, 1.7e308); }), err::Overflow);
  EXPECT_EQ(ErrorNumberOf([] { CheckedDiv(std::nan(""), 1); }), err::Overflow);
}

TEST(Colors, DesignColoursAreBgrAndSystemColoursComeFromTheClassicPalette) {
  EXPECT_EQ(ResolveColor(0x00C0C0FF), (Rgb{255, 192, 192}));
  EXPECT_EQ(ResolveColor(0x0080C0FF), (Rgb{255, 192, 128}));
  EXPECT_EQ(ResolveColor(0x0000C000), (Rgb{0, 192, 0}));
  EXPECT_EQ(ResolveColor(0x000000FF), (Rgb{255, 0, 0}));
  EXPECT_EQ(ResolveColor(0x80000000), (Rgb{212, 208, 200}));
  EXPECT_EQ(ResolveColor(0x80000005), (Rgb{255, 255, 255}));
  EXPECT_EQ(ResolveColor(0x80000008), (Rgb{0, 0, 0}));
  EXPECT_EQ(ResolveColor(0x8000000F), (Rgb{212, 208, 200}));
  EXPECT_EQ(ResolveColor(0x80000012), (Rgb{0, 0, 0}));
  // The evaluation window's background must stay light, not a desktop's black.
  EXPECT_EQ(ResolveColor(0x80000013), (Rgb{212, 208, 200}));
}
