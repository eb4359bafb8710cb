// What the round-trip check does differently per format: how an input is
// copied, what the extraction and the replay need first, how the result is
// compared. The registry names one VerifySteps per format that can be checked.
#pragma once

#include <functional>
#include <string>

#include "batch/format_index.h"

namespace tessary {

// What one input is compared through: the file the insertion writes into, its
// untouched original, and the copy the check worked on.
struct Subject {
  std::string original;  // the file insertion would patch
  std::string copy;      // its copy in the workspace
  std::string queued;    // what the check extracts: the copy of the input
};

// One input under check, with the folders of its check in the workspace.
struct VerifyCase {
  std::string input;            // as queued
  std::string outputDirectory;  // where tables are looked for first
  std::string extracted;        // the extraction's folder
  std::string inserted;         // the replay's folder
  std::string log;              // the extraction's result log
  Subject subject;
  // Runs an inner batch of `file` into `directory`.
  std::function<void(FileType, const std::string& file, const std::string& directory)> runBatch;
  // A new folder of the workspace.
  std::function<std::string(const std::string& name)> newFolder;
};

struct VerifySteps {
  // Copies the input into `folder`.
  Subject (*copyInput)(const std::string& input, const std::string& folder);
  // Before the extraction, and before the replay; null: nothing to do.
  void (*beforeExtract)(const VerifyCase& check);
  void (*beforeReplay)(const VerifyCase& check);
  // "identical.", "identical but for ...", or where the result first differs.
  std::string (*compare)(const VerifyCase& check);
};

extern const VerifySteps kArchiveVerify;  // GRM: rebuilt archives are extracted again
extern const VerifySteps kBitmapVerify;   // TIM: STP bits may be lost
extern const VerifySteps kSearchVerify;   // STIM: a difference names its image
extern const VerifySteps kResVerify;      // RES: the game file, through inverted tables
extern const VerifySteps kRoomVerify;     // RDT

}  // namespace tessary
