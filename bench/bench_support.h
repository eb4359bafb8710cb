// Shared pieces of the benchmarks: silent front-end interfaces, a scratch
// directory and large buffers that are allocated and touched once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "batch/status_outputs.h"

namespace tessary::bench {

inline constexpr std::size_t kMiB = 1 << 20;

class SilentFrontEnd final : public SilentStatusOutputs, public Dialogs {
 public:
  std::optional<std::string> ChooseDirectory(const std::string& start) override { return start; }
  std::optional<std::string> ChooseCodeTable() override { return std::nullopt; }
  void ShowInformation(const std::string&, const std::string&) override {}
  void ShowError(const std::string&) override {}
};

// A directory below the system's temporary directory, removed at exit.
const std::filesystem::path& ScratchDirectory();

// Writes `bytes` as `name` in the scratch directory and returns the path.
std::string WriteScratchFile(const std::string& name, const std::vector<std::uint8_t>& bytes);

// Deterministic pseudo-random bytes.
std::vector<std::uint8_t> RandomBytes(std::size_t size, std::uint32_t seed);

}  // namespace tessary::bench
