// The file types of the open dialog, one row each, and the formats they select.
//
// This one table is read by the batch driver (which handler runs a queued
// file), by log replay (which handler takes a log section), by the window (the
// open dialog's filters) and by tessary-cli (its -f keys and --help). The
// 1-based file-type choice is the row's position.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "batch/format_index.h"
#include "batch/process_context.h"

namespace tessary {

using ExtractionHandler = void (*)(ProcessContext& ctx, const std::string& path);
// Takes its target lines from ctx.LogLines starting at `index` and returns the
// index of the first line it did not take.
using InsertionHandler = std::size_t (*)(ProcessContext& ctx, const std::string& path,
                                         std::size_t index);

struct VerifySteps;  // how the round-trip check handles a format (main/verify.h)

// What a queue of one file type will get, as the window names it: verb, the
// queued thing in singular and plural, and the rest ("Search", "file", "files",
// " for TIM images").
struct Operation {
  std::string_view verb, one, many, rest;
};

struct FormatRow {
  std::string_view key;         // written after "#Format: "; empty for logs and lists
  Format index;                 // the format index
  std::string_view filterText;  // the open dialog's entry
  std::string_view pattern;     // its file pattern
  std::string_view cliKey;      // tessary-cli -f KEY
  std::string_view cliHelp;     // one line of tessary-cli --help
  ExtractionHandler process;    // what ProcessFile runs for a queued file
  InsertionHandler insert;      // what a log section of this key runs; null: nothing
  bool needsCodeTable;          // the batch asks for a code table first
  // The insertion handler gets the source path itself and opens what it needs
  // (the source is closed before the call); otherwise it gets OutputDirectory
  // + the source's file name, with the source open as SourceStream.
  bool insertsThroughSourcePath;
  // The insertion handler only reads the source: a read-only source is opened
  // for reading, still held alone against writers.
  bool onlyReadsSource;
  // How the round-trip check prepares, replays and compares; null where there
  // is nothing to check (logs, lists, ARD files).
  const VerifySteps* verify;
  Operation operation;
};

inline constexpr int kFileTypeCount = 8;

const std::array<FormatRow, kFileTypeCount>& FormatRegistry();

// The row of a file-type choice; null for FileType::None and unknown values.
const FormatRow* RowOfChoice(FileType choice);
// The row of a format index; null for NoFiles, None and unknown values.
const FormatRow* RowOfIndex(Format index);
// The file type of the open dialog's 0-based filter position; None outside.
FileType FileTypeAt(int position);
// The open dialog's 0-based filter position of a file type; -1 for None.
int PositionOf(FileType type);
// The file type of `row`, which must be a row of FormatRegistry().
FileType TypeOfRow(const FormatRow& row);
// True for queues of result logs and project lists: their handler applies logs.
bool IsLogQueue(Format index);
// The file type of a tessary-cli key (letter case ignored); None when unknown.
FileType ChoiceOfCliKey(std::string_view key);
// The file type for a file by its extension (letter case ignored), as a drop
// onto the window takes it; files of no listed extension are searched for TIM
// images.
FileType ChoiceOfFileName(std::string_view path);
// True when the file type's dialog filter takes `path`: its extension (letter
// case ignored), or any name for "*.*".
bool MatchesFileType(FileType choice, std::string_view path);
// "Search 3 files for TIM images", "Unpack 1 archive": what a queue of `count`
// files of the format index gets; empty for unknown indices.
std::string OperationText(Format index, std::size_t count);

// The format key of a file-type choice; empty for None.
std::string_view FormatKeyOfChoice(FileType choice);
// The format index of a file-type choice; NoFiles for None.
Format FormatIndexOfChoice(FileType choice);
// The format index of a key read from a log: exact, case-sensitive, the two
// empty keys never match; Format::None when nothing matches.
Format FormatIndexOfKey(std::string_view key);

}  // namespace tessary
