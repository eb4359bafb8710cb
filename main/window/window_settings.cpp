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

}  // namespace

QString WindowSettings::AddFolder() {
  return Text("dialogs/addFolder");
}
void WindowSettings::SetAddFolder(const QString& folder) {
  Store("dialogs/addFolder", folder);
}

FileType WindowSettings::AddFileType() {
  // Stored as the 1-based filter position.
  const FileType type = FileTypeAt(QSettings().value("dialogs/fileType", 1).toInt() - 1);
  return type != FileType::None ? type : FileType::Grm;
}
void WindowSettings::SetAddFileType(FileType fileType) {
  Store("dialogs/fileType", static_cast<int>(fileType));
}

QString WindowSettings::OutputDirectory() {
  return Text("batch/outputDirectory");
}
void WindowSettings::SetOutputDirectory(const QString& directory) {
  Store("batch/outputDirectory", directory);
}

QString WindowSettings::CodeTableFolder() {
  return Text("dialogs/codeTableFolder");
}
void WindowSettings::SetCodeTableFolder(const QString& folder) {
  Store("dialogs/codeTableFolder", folder);
}

bool WindowSettings::BitmapsAsPng() {
  return QSettings().value("options/bitmapsAsPng").toBool();
}
void WindowSettings::SetBitmapsAsPng(bool on) {
  Store("options/bitmapsAsPng", on);
}

bool WindowSettings::KeepStp() {
  return QSettings().value("options/keepStp").toBool();
}
void WindowSettings::SetKeepStp(bool on) {
  Store("options/keepStp", on);
}

QString WindowSettings::ProjectListFolder() {
  return Text("dialogs/projectListFolder");
}
void WindowSettings::SetProjectListFolder(const QString& folder) {
  Store("dialogs/projectListFolder", folder);
}

}  // namespace tessary
