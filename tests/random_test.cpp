#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "runtime/Rnd.h"

using rt::ClockRandom;

namespace {

std::vector<float> Take(ClockRandom& random, int n) {
  std::vector<float> values;
  for (int i = 0; i < n; ++i) values.push_back(random.Next());
  return values;
}

}  // namespace

TEST(Random, ValuesStayInTheHalfOpenUnitInterval) {
  ClockRandom random;
  float largest = 0;
  for (int i = 0; i < 2'000'000; ++i) {
    if (i % 1000 == 0) random.Randomize();
    const float value = random.Next();
    ASSERT_GE(value, 0.0f);
    ASSERT_LT(value, 1.0f);  // a 1.0 would draw an "8"
    largest = std::max(largest, value);
  }
  EXPECT_GT(largest, 0.999f);  // the top of the range is still reached
}

TEST(Random, DrawsOfOneToSevenAreUniform) {
  ClockRandom random;
  std::array<int, 7> counts{};
  constexpr int kDraws = 70'000;
  for (int i = 0; i < kDraws; ++i) {
    random.Randomize();  // as every round does
    const int digit = static_cast<int>(std::floor(random.Next() * 7.0f)) + 1;
    ASSERT_GE(digit, 1);
    ASSERT_LE(digit, 7);
    ++counts[static_cast<std::size_t>(digit - 1)];
  }
  double chiSquare = 0;
  const double expected = kDraws / 7.0;
  for (int count : counts) chiSquare += (count - expected) * (count - expected) / expected;
  EXPECT_LT(chiSquare, 24.3) << "6 degrees of freedom, p = 0.0005";
}

TEST(Random, FinerBucketsAreUniformToo) {
  ClockRandom random;
  std::array<int, 64> counts{};
  constexpr int kDraws = 640'000;
  for (int i = 0; i < kDraws; ++i) ++counts[static_cast<std::size_t>(random.Next() * 64.0f)];
  double chiSquare = 0;
  const double expected = kDraws / 64.0;
  for (int count : counts) chiSquare += (count - expected) * (count - expected) / expected;
  EXPECT_LT(chiSquare, 110.0) << "63 degrees of freedom, p = 0.0002";
}

TEST(Random, ReseedsWithinOneClockTickGiveDifferentSequences) {
  ClockRandom random([] { return std::uint64_t{123456789}; });
  random.Randomize();
  const auto first = Take(random, 8);
  random.Randomize();
  const auto second = Take(random, 8);
  EXPECT_NE(first, second);

  // Different ticks give different sequences as well.
  std::uint64_t tick = 1;
  ClockRandom ticking([&] { return tick; });
  ticking.Randomize();
  const auto a = Take(ticking, 8);
  tick = 2;
  ClockRandom other([&] { return tick; });
  other.Randomize();
  EXPECT_NE(a, Take(other, 8));
}

TEST(Random, ReseedingChangesTheSequence) {
  ClockRandom random;
  random.Randomize();
  const auto first = Take(random, 4);
  random.Randomize();
  EXPECT_NE(first, Take(random, 4));
}
