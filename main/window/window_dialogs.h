// The dialogs of the main window, behind an interface so that tests can script
// them. QtDialogs shows Qt's own dialogs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch/format_index.h"
#include "batch/status_outputs.h"

#include <QStringList>

class QWidget;

namespace tessary {

struct FileChoice {
  std::vector<std::string> files;
  FileType fileType = FileType::Grm;  // the filter chosen
};

class WindowDialogs : public Dialogs {
 public:
  // SelectLog: several existing files, opening with the filter `fileType`.
  virtual std::optional<FileChoice> SelectFiles(FileType fileType) = 0;
  // SaveLST: a project list to write.
  virtual std::optional<std::string> SaveProjectListAs() = 0;
  // SaveRes: where to save the result lines.
  virtual std::optional<std::string> SaveResultsAs() = 0;
};

// The open dialog's filters, one per row of the file-type registry, in order.
QStringList FileTypeFilters();

class QtDialogs final : public WindowDialogs {
 public:
  void SetOwner(QWidget* owner) { owner_ = owner; }

  std::optional<FileChoice> SelectFiles(FileType fileType) override;
  std::optional<std::string> SaveProjectListAs() override;
  std::optional<std::string> SaveResultsAs() override;
  std::optional<std::string> ChooseDirectory(const std::string& start) override;
  std::optional<std::string> ChooseCodeTable() override;
  void ShowInformation(const std::string& text, const std::string& caption) override;
  void ShowError(const std::string& text) override;

 private:
  QWidget* owner_ = nullptr;
};

}  // namespace tessary
