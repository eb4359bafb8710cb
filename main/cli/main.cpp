#include "main/cli/cli_front_end.h"
#include "main/cli/cli_outputs.h"

#ifdef _WIN32
#include "misc/windows_api.h"
// shellapi.h needs what windows.h defines.
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? static_cast<std::size_t>(size - 1) : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}

}  // namespace

// The arguments as UTF-8, taken from the wide command line: the narrow one
// would lose every character outside the local code page.
int main() {
  int argc = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Utf8(wide[i]));
  LocalFree(wide);
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  SetConsoleOutputCP(CP_UTF8);
  const int status = tessary::RunCli(argc, argv.data());
  tessary::MarkRunFinished();  // a console being closed may wait for this
  return status;
}

#else

int main(int argc, char** argv) {
  return tessary::RunCli(argc, argv);
}

#endif
