// The dry run's report on text that goes back into a fixed space: the bytes
// used against the budget and, when they do not fit, every line that grew
// beyond the game's string and by how much.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "batch/insertion_plan.h"
#include "misc/byte_buffer.h"

namespace tessary {

struct TextSpace {
  std::string name;                     // "ROOM01.txt", "MESSAGE.txt, section 2"
  std::string fileName;                 // the text file, for line labels
  std::size_t firstLine = 0;            // 0-based line of the first string
  std::vector<std::uint64_t> original;  // the game's string lengths
  std::uint64_t budget = 0;
};

// Adds the report's result lines to the plan; `lengths` are the encoded
// strings' sizes, in the text's order.
void ReportTextSpace(InsertionPlan& plan, const TextSpace& space,
                     const std::vector<std::size_t>& lengths);
// The sizes of encoded strings.
std::vector<std::size_t> LengthsOf(const std::vector<ByteBuffer>& encoded);

}  // namespace tessary
