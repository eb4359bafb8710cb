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

// Game-like: a quarter of the bytes zero, in runs of every length (padding,
// sparse pixels, tables), single zero bytes among the others, and TIMs at
// arbitrary offsets, not only after zero words.
std::vector<std::uint8_t> GameLikeData(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> data = RandomBytes(size, seed);
  std::uint32_t state = seed * 2654435761u + 1;
  const auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  };
  std::size_t at = 0;
  while (at < size) {
    const std::size_t kind = next() % 16;
    // Runs of 1..3 bytes, of a word or two, of a row, of a page.
    const std::size_t run = kind < 8    ? 1 + next() % 3
                            : kind < 13 ? 4 + next() % 8
                            : kind < 15 ? 64 + next() % 512
                                        : 2048 + next() % 8192;
    std::fill_n(data.begin() + static_cast<std::ptrdiff_t>(at), std::min(run, size - at), 0);
    at += run + run * 3 + next() % 8;  // about three non-zero bytes per zero byte
  }
  return data;
}

// Inputs of BM_SearchTims: 0, game-like; 1, uniformly random bytes with every
// TIM right after a zero word (the easy case).
const std::string& ScanInput(int kind) {
  static const std::string paths[2] = {
      [] {
        std::vector<std::uint8_t> data = GameLikeData(kBufferSize, 2);
        const auto tim =
            testing::BuildTim({.mode = 0, .clutEntries = 16, .width = 16, .height = 32});
        for (int k = 0; k < kEmbeddedTims; ++k) {
          const std::size_t at =
              (kBufferSize / kEmbeddedTims) * static_cast<std::size_t>(k) + 4096 + 7 * k;
          std::memcpy(data.data() + at, tim.data(), tim.size());
        }
        return WriteScratchFile("scan-game.bin", data);
      }(),
      [] {
        std::vector<std::uint8_t> data = RandomBytes(kBufferSize, 2);
        const auto tim =
            testing::BuildTim({.mode = 1, .clutEntries = 256, .width = 32, .height = 64});
        for (int k = 0; k < kEmbeddedTims; ++k) {
          const std::size_t at = (kBufferSize / kEmbeddedTims) * static_cast<std::size_t>(k) + 4096;
          std::memset(data.data() + at - 4, 0, 4);
          std::memcpy(data.data() + at, tim.data(), tim.size());
        }
        return WriteScratchFile("scan-random.bin", data);
      }()};
  return paths[kind];
}

void BM_SearchTims(benchmark::State& state) {
  const std::string& input = ScanInput(static_cast<int>(state.range(0)));
  SilentFrontEnd frontEnd;
  ProcessContext ctx(frontEnd, frontEnd);
  ctx.OutputDirectory = (ScratchDirectory() / "found").string();
  std::filesystem::create_directories(ctx.OutputDirectory);
  SearchTims(ctx, input);  // warm the page cache
  for (auto _ : state) {
    ctx.ResultLog.Clear();
    ctx.ClaimedOutputs.Clear();
    SearchTims(ctx, input);
  }
  if (state.range(0) == 1 && ctx.ResultLog.Count() < kEmbeddedTims)
    state.SkipWithError("images were missed");
  state.counters["found"] = static_cast<double>(ctx.ResultLog.Count());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}
BENCHMARK(BM_SearchTims)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessary::bench
