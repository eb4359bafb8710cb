#include "batch/output_names.h"

#include "misc/paths.h"

namespace tessary {

namespace {

// "dir/NAME.EXT" with " (n)" inserted before the extension of the file name
// ("dir/NAME (n).EXT"), or appended when the name has no extension.
std::string NumberedPath(const std::string& path, int n) {
  const auto nameStart = path.find_last_of("/\\");
  const auto dot = path.rfind('.');
  const bool hasExtension =
      dot != std::string::npos && (nameStart == std::string::npos || dot > nameStart + 1);
  const std::size_t cut = hasExtension ? dot : path.size();
  return path.substr(0, cut) + " (" + std::to_string(n) + ")" + path.substr(cut);
}

}  // namespace

bool OutputNames::ClaimIfFree(const std::string& path) {
  return claimed_.insert(AsciiLowerCase(path)).second;
}

std::string OutputNames::Claim(const std::string& path) {
  if (ClaimIfFree(path)) return path;
  for (int n = 2;; ++n) {
    std::string candidate = NumberedPath(path, n);
    if (ClaimIfFree(candidate)) return candidate;
  }
}

}  // namespace tessary
