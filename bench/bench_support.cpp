#include "bench/bench_support.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace tessary::bench {

namespace {

struct Scratch {
  Scratch() {
    path =
        std::filesystem::temp_directory_path() /
        ("tessary-bench-" + std::to_string(std::rand()) + "-" +
         std::to_string(std::filesystem::file_time_type::clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(path);
  }
  ~Scratch() {
    std::error_code error;
    std::filesystem::remove_all(path, error);
  }
  std::filesystem::path path;
};

}  // namespace

const std::filesystem::path& ScratchDirectory() {
  static Scratch scratch;
  return scratch.path;
}

std::string WriteScratchFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string path = (ScratchDirectory() / name).string();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<std::uint8_t> RandomBytes(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint64_t state = seed | 1;
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    std::memcpy(bytes.data() + i, &state, 8);
  }
  for (; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(state >> (i % 8));
  return bytes;
}

}  // namespace tessary::bench
