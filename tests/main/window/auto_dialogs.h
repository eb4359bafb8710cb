// Dialogs that answer without asking, for the screenshot programs: the add
// dialog gives the files it was made with (to search for TIM images), the
// directory chooser the output directory; errors go to stderr.
#pragma once

#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "main/window/window_dialogs.h"

namespace tessary::testing {

class AutoDialogs final : public WindowDialogs {
 public:
  AutoDialogs(std::vector<std::string> files, std::string out)
      : files_(std::move(files)), out_(std::move(out)) {}
  std::optional<FileChoice> SelectFiles(FileType) override {
    return FileChoice{files_, FileType::Stim};
  }
  std::optional<std::string> SaveProjectListAs() override { return std::nullopt; }
  std::optional<std::string> SaveResultsAs() override { return std::nullopt; }
  std::optional<std::string> ChooseDirectory(const std::string&) override { return out_; }
  std::optional<std::string> ChooseCodeTable() override { return std::nullopt; }
  void ShowInformation(const std::string&, const std::string&) override {}
  void ShowError(const std::string& text) override { std::cerr << text << '\n'; }

 private:
  std::vector<std::string> files_;
  std::string out_;
};

}  // namespace tessary::testing
