// tessary-cli table import | export | invert | check: code tables as text and
// back, encoding tables made from decoding tables, and the characters of text
// files that a text table cannot encode.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tessary {

struct TableCommands {
  CLI::App* import = nullptr;
  CLI::App* exportTable = nullptr;
  CLI::App* invert = nullptr;
  CLI::App* check = nullptr;
  std::string input, output, encode;
  std::vector<std::string> texts;
  bool shifted = false;
  bool all = false;
  bool Chosen() const;
};

void AddTableCommands(CLI::App& app, TableCommands& commands);
// Runs the chosen command; errors pass out (nothing is written then).
int RunTableCommand(const TableCommands& commands);

}  // namespace tessary
