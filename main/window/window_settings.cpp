#include "main/window/window_settings.h"

#include <QSettings>

#include "main/format_registry.h"

namespace tessary {

namespace {

QString Text(const char* key) {
  return QSettings().value(key).toString();
}
void Store(const char* key, const QVariant& value) {
  QSettings().setValue(key, value);
}

// The key of each dialog's folder, in the order of DialogFolder.
constexpr const char* kFolderKeys[] = {"dialogs/addFolder", "dialogs/codeTableFolder",
                                       "dialogs/projectListFolder"};

}  // namespace

QString WindowSettings::Folder(DialogFolder dialog) {
  return Text(kFolderKeys[static_cast<int>(dialog)]);
}
void WindowSettings::SetFolder(DialogFolder dialog, const QString& folder) {
  Store(kFolderKeys[static_cast<int>(dialog)], folder);
}

FileType WindowSettings::AddFileType() {
  // Stored as the 1-based filter position.
  const FileType type = FileTypeAt(QSettings().value("dialogs/fileType", 1).toInt() - 1);
  return type != FileType::None ? type : FileType::Grm;
}
void WindowSettings::SetAddFileType(FileType fileType) {
  Store("dialogs/fileType", PositionOf(fileType) + 1);
}

QString WindowSettings::OutputDirectory() {
  return Text("batch/outputDirectory");
}
void WindowSettings::SetOutputDirectory(const QString& directory) {
  Store("batch/outputDirectory", directory);
}

bool WindowSettings::Option(const char* key) {
  return QSettings().value(key).toBool();
}
void WindowSettings::SetOption(const char* key, bool on) {
  Store(key, on);
}

}  // namespace tessary
