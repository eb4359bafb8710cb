// The scanner against a plain copy of the same amount of memory.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>

#include "batch/process_context.h"
#include "bench/bench_support.h"
#include "formathandlers/tim/tim_scanner.h"
#include "tests/tim_builder.h"

namespace tessary::bench {
namespace {

constexpr std::size_t kBufferSize = 256 * kMiB;
constexpr int kEmbeddedTims = 40;

void BM_Memcpy(benchmark::State& state) {
  static std::vector<std::uint8_t> source = RandomBytes(kBufferSize, 1);
  static std::vector<std::uint8_t> target(kBufferSize, 1);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), kBufferSize);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 256 MiB file of random bytes with a few dozen TIMs, each after a zero word.
const std::string& ScanInput() {
  static const std::string path = [] {
    std::vector<std::uint8_t> data = RandomBytes(kBufferSize, 2);
    const auto tim = testing::BuildTim({.mode = 1, .clutEntries = 256, .width = 32, .height = 64});
    for (int k = 0; k < kEmbeddedTims; ++k) {
      const std::size_t at = (kBufferSize / kEmbeddedTims) * static_cast<std::size_t>(k) + 4096;
      std::memset(data.data() + at - 4, 0, 4);
      std::memcpy(data.data() + at, tim.data(), tim.size());
    }
    return WriteScratchFile("scan.bin", data);
  }();
  return path;
}

void BM_SearchTims(benchmark::State& state) {
  const std::string& input = ScanInput();
  SilentFrontEnd frontEnd;
  ProcessContext ctx(frontEnd, frontEnd);
  ctx.OutputDirectory = (ScratchDirectory() / "found").string();
  std::filesystem::create_directories(ctx.OutputDirectory);
  SearchTims(ctx, input);  // warm the page cache
  for (auto _ : state) {
    ctx.ResultLog.Clear();
    SearchTims(ctx, input);
  }
  if (ctx.ResultLog.Count() < kEmbeddedTims) state.SkipWithError("images were missed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}
BENCHMARK(BM_SearchTims)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessary::bench
