#include "formathandlers/text/text_budget.h"

#include "misc/errors.h"

namespace tessary {

std::vector<std::size_t> LengthsOf(const std::vector<ByteBuffer>& encoded) {
  std::vector<std::size_t> lengths;
  for (const ByteBuffer& bytes : encoded) lengths.push_back(bytes.size());
  return lengths;
}

void ReportTextSpace(InsertionPlan& plan, const TextSpace& space,
                     const std::vector<std::size_t>& lengths) {
  std::uint64_t used = 0;
  for (const std::size_t length : lengths) used += length;
  plan.AddResult(space.name + ": " + std::to_string(used) + " of " + std::to_string(space.budget) +
                 " bytes used.");
  if (used <= space.budget) return;
  for (std::size_t j = 0; j < lengths.size() && j < space.original.size(); ++j) {
    if (lengths[j] <= space.original[j]) continue;
    plan.AddResult(LineLabel(space.fileName, space.firstLine + j) + ": " +
                   std::to_string(lengths[j] - space.original[j]) +
                   " bytes more than the game's string.");
  }
}

}  // namespace tessary
