#include "formathandlers/archive/archive_tables.h"

#include "misc/errors.h"
#include "misc/paths.h"

namespace tessary {

std::string LocateTable(const std::string& name, const std::string& fallback) {
  const std::string inOutput = AbsolutePath(name);
  if (FileExists(inOutput)) return inOutput;
  if (fallback.empty()) ThrowCannotOpen(inOutput);
  const std::string besideInput = AbsolutePath(JoinPath(fallback, name));
  if (besideInput == inOutput) ThrowCannotOpen(inOutput);
  if (FileExists(besideInput)) return besideInput;
  ThrowCannotOpen(inOutput + " (nor " + besideInput + ")");
}

}  // namespace tessary
