#pragma once

#include <cstdint>
#include <functional>

namespace rt {

// The random generator behind Randomize and Rnd.
class RandomGenerator {
 public:
  virtual ~RandomGenerator() = default;
  // Reseeds from the clock; there is no seed argument.
  virtual void Randomize() = 0;
  // The next single in [0, 1).
  virtual float Next() = 0;
};

// Uniform singles on the 2^24 grid of [0, 1), so 1.0 can never come out (a float
// conversion of a 64-bit draw, or std::generate_canonical<float>, can round up to
// it). Each reseed also mixes in a reseed counter, so two reseeds within the same
// clock tick still give different sequences.
class ClockRandom : public RandomGenerator {
 public:
  using Clock = std::function<std::uint64_t()>;
  ClockRandom();
  explicit ClockRandom(Clock clock);

  void Randomize() override;
  float Next() override;

 private:
  Clock clock_;
  std::uint64_t reseeds_ = 0;
  std::uint64_t state_ = 0;
};

}  // namespace rt
