// Applying result logs: every source they name gets its edited outputs back.
#pragma once

#include <string>

#include "batch/process_context.h"

namespace tessary {

// Plans the log at `path` into ctx.Plan: every line is checked and every
// write it asks for is prepared, nothing is written. Problems are collected
// in the plan (each naming the log and its line), not thrown.
void InsertFromLog(ProcessContext& ctx, const std::string& path);

// Carries out the plan of the batch's logs: with a problem anywhere, nothing
// is written and the problems are thrown; otherwise every write is made in
// the order of the lines (none in a dry run) and its result line given.
void WritePlannedInsertions(ProcessContext& ctx);

}  // namespace tessary
