// The one state of a batch run, shared by the driver and every handler.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "main/random_generator.h"
#include "main/status_outputs.h"
#include "main/status_panel.h"
#include "misc/byte_buffer.h"
#include "misc/file_stream.h"
#include "misc/text_lines.h"

namespace tessary {

class ProcessContext;
using ProcessFileFn = std::function<void(ProcessContext&, std::uint8_t, const std::string&)>;

class ProcessContext final {
 public:
  // Creates the lists and the code-table buffer empty, seeds the random
  // generator from the clock and sets the per-file callback to ProcessFile.
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
  // During insertion, the source file of the current "#Source:" line.
  std::optional<FileStream> SourceStream;
  std::string SourcePath;
  // The path of the log InsertFromLog is applying.
  std::string LogPath;
  // The format index of the queued files (0 before any were added).
  std::uint8_t FormatIndex = 0;
  // The format in force while a log is read; 9 means none.
  std::uint8_t LogFormat = 9;
  // The 1-based file-type choice that filled the queue; selects the format key.
  int FileTypeChoice = 0;
  // The queue of input paths (the window's list of files).
  std::vector<std::string> Queue;

  StatusPanel Status;
  Dialogs& UserDialogs;
  RandomGenerator Random;
  ProcessFileFn ProcessFileCallback;

  // OutputDirectory + separator + name.
  std::string OutputPath(std::string_view name) const;

  // The Stop button's request, cleared when a batch starts.
  bool StopRequested() const { return stopRequested_; }
  void RequestStop();
  void ClearStopRequest() { stopRequested_ = false; }

 private:
  bool stopRequested_ = false;
};

}  // namespace tessary
