// The process-wide pseudo-random generator.
//
// A 32-bit linear congruential generator: state = state * 22695477 + 1 (mod 2^32);
// each draw returns bits 16..30 of the new state, a value 0..32767. Chunk seeds of
// rebuilt archives are drawn from it, so its sequence must stay exactly this one.
#pragma once

#include <cstdint>

namespace tessary {

class RandomGenerator final {
 public:
  void Seed(std::uint32_t seed) { state_ = seed; }
  // Seeds from the calendar time in whole seconds.
  void SeedFromClock();
  std::uint16_t Next() {
    state_ = state_ * 22695477u + 1u;
    return static_cast<std::uint16_t>((state_ >> 16) & 0x7FFFu);
  }
  std::uint32_t State() const { return state_; }

 private:
  std::uint32_t state_ = 1;
};

}  // namespace tessary
