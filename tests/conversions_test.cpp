#include "runtime/Conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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
