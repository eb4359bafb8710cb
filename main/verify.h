// The round-trip check: extract, replay the unedited result log onto copies
// of the sources, and compare. Everything happens in a temporary folder inside
// the output directory, removed afterwards; nothing else is written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/process_context.h"
#include "misc/byte_buffer.h"

namespace tessary {

// What the check does differently per format: how an input is copied, what the
// extraction and the replay need first, how the result is compared. The
// registry names these for the formats that can be checked.
struct VerifySteps;
extern const VerifySteps kArchiveVerify;  // GRM: rebuilt archives are extracted again
extern const VerifySteps kBitmapVerify;   // TIM: STP bits may be lost
extern const VerifySteps kSearchVerify;   // STIM: a difference names its image
extern const VerifySteps kResVerify;      // RES: the game file, through inverted tables
extern const VerifySteps kRoomVerify;     // RDT

// Where two files first differ; nullopt when they are identical.
std::optional<std::uint64_t> FirstDifference(const std::string& a, const std::string& b);

// The name of the "#Target TIM:" file of `log` whose extent holds `offset`;
// empty when none does.
std::string TimTargetHolding(const std::vector<std::string>& log, std::uint64_t offset);

// True when two TIM files differ only in the STP bits of 16-bit pixels.
bool DiffersOnlyInStpBits(const ByteBuffer& original, const ByteBuffer& copy);

// Verifies FILEs of the file-type choice through the output directory
// ctx.OutputDirectory (tables are looked for there, then beside each input;
// `codeTable` is the table of ARD and RDT files). One result line per input:
// "NAME: identical.", "NAME: identical but for the STP bits of its 16-bit
// pixels.", or where it first differs. Returns true when every input
// round-trips.
bool VerifyRoundTrip(ProcessContext& ctx, FileType choice, const std::vector<std::string>& files,
                     const std::optional<std::string>& codeTable);

}  // namespace tessary
