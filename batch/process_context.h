// The one state of a batch run, shared by the driver and every handler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/format_index.h"
#include "batch/insertion_plan.h"
#include "batch/output_names.h"
#include "batch/random_generator.h"
#include "batch/status_outputs.h"
#include "batch/status_panel.h"
#include "misc/byte_buffer.h"
#include "misc/file_stream.h"
#include "misc/text_lines.h"

namespace tessary {

class ProcessContext;
using ProcessFileFn = std::function<void(ProcessContext&, Format, const std::string&)>;

class ProcessContext final {
 public:
  // Creates the lists and the code-table buffer empty and seeds the random
  // generator from the clock. The per-file callback starts empty: the batch
  // driver installs its own dispatcher unless a caller set another one.
  ProcessContext(StatusOutputs& outputs, Dialogs& dialogs);
  ProcessContext(const ProcessContext&) = delete;
  ProcessContext& operator=(const ProcessContext&) = delete;

  // Where every output file of a batch goes; the directory the user chose.
  std::string OutputDirectory;
  // The result log being built by the current batch.
  TextLines ResultLog;
  // The result log being applied by InsertFromLog.
  TextLines LogLines;
  // The loaded code table, kept across batches.
  ByteBuffer CodeTable;
  // During insertion, the source file of the current "#Source:" line, held
  // open by Plan; null between sections.
  FileStream* SourceStream = nullptr;
  SourceAccess SourceAccessWanted = SourceAccess::Write;
  // The section's source, held by Plan from its first use (with
  // SourceAccessWanted); a handler that needs one outside a section is a fault.
  FileStream& Source();
  std::string SourcePath;
  // The path of the log InsertFromLog is applying.
  std::string LogPath;
  // The format index of the queued files (NoFiles before any were added).
  Format FormatIndex = Format::NoFiles;
  // The format in force while a log is read.
  Format LogFormat = Format::None;
  // A dry run of insertion: every check is made, nothing is written (sources
  // are opened for reading only) and result lines end in " (dry run)".
  bool DryRun = false;
  // TIM conversion writes PNG files instead of BMP files (an addition, off
  // unless asked for).
  bool BitmapsAsPng = false;
  // ARD extraction writes the budget line and a "#Target: " line, so that its
  // text can be inserted (an addition, off unless asked for).
  bool ArdInsertable = false;
  // Bitmap insertion keeps the STP bit of every 16-bit pixel whose colour is
  // unchanged (an addition, off unless asked for).
  bool KeepStp = false;
  // TIM conversion writes colour 0x0000 as transparent (RGBA PNGs, a tRNS
  // entry for palettes) and insertion reads transparency back: alpha 0 as
  // 0x0000, opaque black as 0x8000 (an addition, off unless asked for).
  bool Alpha = false;
  // The TIM search also accepts images whose block length disagrees with
  // their rows, flags words with stray upper bits and the standard 24-bit
  // layout, and marks each such find (an addition, off unless asked for).
  bool LenientSearch = false;
  // The result log of an extraction batch names its files relative to its
  // own folder, with "/" between their parts, where they are on the same
  // drive: a project that moves still replays (an addition, off unless asked
  // for).
  bool RelativePaths = false;
  // Repacking carries an entry whose file is what its source block unpacks
  // to over as it was stored, and stores an edited one compressed when that
  // makes it smaller (an addition, off unless asked for).
  bool CompressEntries = false;
  // With CompressEntries, unedited entries are compressed too: the round-trip
  // check's way to put the compressor to work on every entry of an archive.
  bool CompressUnchangedToo = false;
  // The file-type choice that filled the queue; selects the format key.
  FileType FileTypeChoice = FileType::None;
  // The queue of input paths (the window's list of files).
  std::vector<std::string> Queue;

  // What the logs of this batch will write, planned before the first write.
  InsertionPlan Plan;

  StatusPanel Status;
  Dialogs& UserDialogs;
  RandomGenerator Random;
  ProcessFileFn ProcessFileCallback;

  // Line `index` of LogLines, taken by an insertion handler; the line is
  // remembered so that an error raised while it is applied can name it.
  const std::string& TakeLogLine(std::size_t index) {
    logLineInUse_ = index;
    return LogLines.Get(index);
  }
  std::size_t LogLineInUse() const { return logLineInUse_; }
  // "LOG, line N" of the line last taken.
  std::string LogLineLabel() const;

  // OutputDirectory + separator + name.
  std::string OutputPath(std::string_view name) const;
  // A path written in a log or a text file, as the batch resolves it: a
  // relative one is taken from the output directory, whether or not that
  // directory exists yet (so a dry run finds what the real run will find).
  std::string FromOutputDirectory(const std::string& path) const;
  // A path written in the log being applied (LogPath): a relative one, with
  // "\" or "/" between its parts, is taken from the log's own folder, so that
  // a project that moved (or came from another machine) still replays; what
  // is found only from the output directory, as before, is taken there.
  std::string FromLogFolder(const std::string& path) const;
  // Claims an output path for this batch (see OutputNames): the path to write
  // and to log, distinct from every other output of the batch.
  std::string ClaimOutput(const std::string& path) { return ClaimedOutputs.Claim(path); }
  OutputNames ClaimedOutputs;

  // The Stop button's request, cleared when a batch starts.
  bool StopRequested() const { return stopRequested_; }
  void RequestStop();
  void ClearStopRequest() {
    stopRequested_ = false;
    workCutShort_ = false;
  }
  // A handler that honoured the request inside a file (and left part of it
  // undone) says so here; the driver then reports the batch as stopped.
  void NoteWorkCutShort() { workCutShort_ = true; }
  bool WorkCutShort() const { return workCutShort_; }

 private:
  bool stopRequested_ = false;
  bool workCutShort_ = false;
  std::size_t logLineInUse_ = 0;
};

}  // namespace tessary
