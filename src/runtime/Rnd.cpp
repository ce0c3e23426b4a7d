#include "runtime/Rnd.h"

#include <chrono>

namespace rt {

namespace {

std::uint64_t SplitMix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::uint64_t SystemClock() {
  return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
         static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

}  // namespace

ClockRandom::ClockRandom() : ClockRandom(SystemClock) {}

ClockRandom::ClockRandom(Clock clock) : clock_(std::move(clock)) { Randomize(); }

void ClockRandom::Randomize() {
  std::uint64_t counter = ++reseeds_;
  state_ = clock_() ^ SplitMix(counter);
}

float ClockRandom::Next() {
  constexpr float kGrid = 1.0f / 16777216.0f;  // 2^-24: every grid point is an exact single
  return static_cast<float>(SplitMix(state_) >> 40) * kGrid;
}

}  // namespace rt
