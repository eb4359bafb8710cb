#include "batch/output_names.h"

#include <algorithm>

namespace tessary {

namespace {

std::string FoldCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return text;
}

}  // namespace

std::string NumberedPath(const std::string& path, int n) {
  const auto nameStart = path.find_last_of("/\\");
  const auto dot = path.rfind('.');
  const bool hasExtension =
      dot != std::string::npos && (nameStart == std::string::npos || dot > nameStart + 1);
  const std::size_t cut = hasExtension ? dot : path.size();
  return path.substr(0, cut) + " (" + std::to_string(n) + ")" + path.substr(cut);
}

bool OutputNames::Claimed(const std::string& path) const {
  return claimed_.count(FoldCase(path)) > 0;
}

std::string OutputNames::Claim(const std::string& path) {
  if (claimed_.insert(FoldCase(path)).second) return path;
  for (int n = 2;; ++n) {
    std::string candidate = NumberedPath(path, n);
    if (claimed_.insert(FoldCase(candidate)).second) return candidate;
  }
}

}  // namespace tessary
