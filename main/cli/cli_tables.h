// tessary-cli table import | export | invert: code tables as text and back,
// and encoding tables made from decoding tables.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace tessary {

struct TableCommands {
  CLI::App* import = nullptr;
  CLI::App* exportTable = nullptr;
  CLI::App* invert = nullptr;
  std::string input, output, encode;
  bool shifted = false;
  bool Chosen() const;
};

void AddTableCommands(CLI::App& app, TableCommands& commands);
// Runs the chosen command; errors pass out (nothing is written then).
int RunTableCommand(const TableCommands& commands);

}  // namespace tessary
