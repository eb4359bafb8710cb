#include "formathandlers/text/text_budget.h"

#include "misc/errors.h"

namespace tessary {

void ReportTextSpace(InsertionPlan& plan, const TextSpace& space,
                     const std::vector<ByteBuffer>& encoded) {
  std::uint64_t used = 0;
  for (const ByteBuffer& bytes : encoded) used += bytes.size();
  plan.AddResult(space.name + ": " + std::to_string(used) + " of " + std::to_string(space.budget) +
                 " bytes used.");
  if (used <= space.budget) return;
  for (std::size_t j = 0; j < encoded.size() && j < space.original.size(); ++j) {
    if (encoded[j].size() <= space.original[j]) continue;
    plan.AddResult(LineLabel(space.fileName, space.firstLine + j) + ": " +
                   std::to_string(encoded[j].size() - space.original[j]) +
                   " bytes more than the game's string.");
  }
}

}  // namespace tessary
