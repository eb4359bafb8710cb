// tessary-cli info FILE...: what each TIM file holds, one line each (or
// JSON), read from its headers.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tessary {

struct InfoCommand {
  CLI::App* app = nullptr;
  std::vector<std::string> files;
  bool json = false;
};

void AddInfoCommand(CLI::App& app, InfoCommand& command);
// Lists every file; one that is no TIM is named on stderr and the status is
// then 3 (the others are listed all the same).
int RunInfo(const InfoCommand& command);

}  // namespace tessary
