// Which TIM file a line of the window's results names, and the images the
// last TIM search found: what the viewer and the thumbnail grid open.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/process_context.h"

namespace tessary {

// The TIM behind a result line, from what the batch that wrote it left in
// `ctx`: a found image ("NAME_N.tim extracted."), an archive entry that is a
// TIM, the queued TIM of a conversion to a bitmap ("NAME.TIM converted.") or
// the TIM a bitmap went back into ("name.bmp converted.", from the queued
// logs). nullopt for lines that name none.
std::optional<std::string> TimOfResultLine(const ProcessContext& ctx, std::string_view line);

// The images the last TIM search wrote, in the order found (its log's
// found-image lines).
std::vector<std::string> FoundImages(const ProcessContext& ctx);

// True for a queued file the viewer opens on a double-click: a .tim file, or
// any file of a queue of TIMs to convert.
bool IsQueuedTim(const ProcessContext& ctx, std::string_view path);

// True for the search's closing line, "N TIM's found.".
bool IsFoundCountLine(std::string_view line);

}  // namespace tessary
