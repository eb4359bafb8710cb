// What the window remembers between runs, per user (QSettings): the folders of
// its dialogs, the add dialog's file type and the last output directory.
// Nothing here changes what a batch does.
#pragma once

#include <QString>

#include "batch/format_index.h"

namespace tessary {

// The dialogs that open where the user last left them.
enum class DialogFolder { Add, CodeTable, ProjectList };

class WindowSettings final {
 public:
  static QString Folder(DialogFolder dialog);
  static void SetFolder(DialogFolder dialog, const QString& folder);
  // The add dialog's file type (the first when none is stored).
  static FileType AddFileType();
  static void SetAddFileType(FileType fileType);
  static QString OutputDirectory();
  static void SetOutputDirectory(const QString& directory);
  // The additions of the queue's menu (PNG instead of BMP, STP bits kept,
  // ...), each under its own key; off when never stored.
  static bool Option(const char* key);
  static void SetOption(const char* key, bool on);
};

}  // namespace tessary
