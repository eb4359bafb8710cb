#include "batch/random_generator.h"

#include <ctime>

namespace tessary {

void RandomGenerator::SeedFromClock() {
  Seed(static_cast<std::uint32_t>(std::time(nullptr)));
}

}  // namespace tessary
