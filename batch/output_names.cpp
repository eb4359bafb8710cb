#include "batch/output_names.h"

#include <functional>

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

bool OutputNames::ClaimIfFree(std::string_view path) {
  key_.assign(path);
  for (char& c : key_)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (2 * (count_ + 1) > slots_.size()) Grow();  // at most half full
  const std::uint64_t hash = std::hash<std::string_view>{}(key_);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.offset == kEmpty) {
      slot = {hash, names_.size(), key_.size()};
      names_ += key_;
      ++count_;
      return true;
    }
    if (slot.hash == hash && std::string_view(names_).substr(slot.offset, slot.length) == key_)
      return false;
  }
}

std::string OutputNames::Claim(const std::string& path) {
  if (ClaimIfFree(path)) return path;
  for (int n = 2;; ++n) {
    std::string candidate = NumberedPath(path, n);
    if (ClaimIfFree(candidate)) return candidate;
  }
}

void OutputNames::Clear() {
  slots_.clear();
  names_.clear();
  count_ = 0;
}

void OutputNames::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 64 : 2 * old.size(), Slot{});
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.offset == kEmpty) continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].offset != kEmpty) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

}  // namespace tessary
