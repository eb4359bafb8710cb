// The block compressor on inputs like the game's data: its optimal parse
// against a greedy parse of the same format and against zlib at level 9, as
// a reference point. Times are the process's CPU time, so bytes_per_second is
// the rate per core; "ratio" is compressed bytes over input bytes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cmath>
#include <string>

#include "bench/bench_support.h"
#include "formathandlers/archive/compress.h"
#include "tests/archive_builder.h"

namespace tessary::bench {
namespace {

constexpr std::size_t kInputSize = 4 * kMiB;

struct Lcg {
  std::uint32_t state;
  std::uint32_t Below(std::uint32_t n) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % n;
  }
};

// Message text: 600 made-up words, the common ones far more frequent, in
// sentences with the game's control codes (a line break, a pause with its
// length).
std::vector<std::uint8_t> MessageText(std::size_t size, std::uint32_t seed) {
  Lcg random{seed};
  std::vector<std::string> words;
  for (int w = 0; w < 600; ++w) {
    std::string word;
    for (std::uint32_t s = 0, syllables = 1 + random.Below(3); s < syllables; ++s) {
      word += "bdfghklmnprstvwyz"[random.Below(17)];
      word += "aeiou"[random.Below(5)];
      if (random.Below(3) == 0) word += "bdfghklmnprstvwyz"[random.Below(17)];
    }
    words.push_back(word);
  }
  std::vector<std::uint8_t> out;
  while (out.size() < size) {
    for (std::uint32_t k = 0, length = 3 + random.Below(10); k < length; ++k) {
      const double u = random.Below(65536) / 65536.0;
      std::string word = words[static_cast<std::size_t>(std::pow(600.0, u)) - 1];
      if (k == 0) word[0] = static_cast<char>(word[0] - 32);
      out.insert(out.end(), word.begin(), word.end());
      if (k + 1 < length) out.push_back(random.Below(8) == 0 ? ',' : ' ');
    }
    out.push_back(random.Below(3) == 0 ? '!' : '.');
    if (random.Below(2) == 0) out.insert(out.end(), {0xFF, 0x01});
    if (random.Below(6) == 0) out.insert(out.end(), {0xFE, 0x00, std::uint8_t(random.Below(40))});
  }
  out.resize(size);
  return out;
}

// Pixel data of each TIM mode: smooth shading, dithered for the indexed
// modes, with a little noise, as drawn artwork is.
std::vector<std::uint8_t> Pixels(int mode, std::size_t size, std::uint32_t seed) {
  Lcg random{seed};
  static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const std::size_t width = 256;  // pixels per row
  const auto shade = [](std::size_t x, std::size_t y) {
    return 0.5 + 0.5 * std::sin(x * 0.03 + std::sin(y * 0.04) * 3) * std::cos(y * 0.035);
  };
  std::vector<std::uint8_t> out;
  for (std::size_t p = 0; out.size() < size; ++p) {
    const std::size_t x = p % width, y = p / width;
    const double v = shade(x, y), dither = kBayer[y & 3][x & 3] / 16.0;
    switch (mode) {
      case 0: {  // two 4-bit pixels per byte
        const auto q = [&](std::size_t px) {
          return std::min(15, static_cast<int>(shade(px, y) * 15 + kBayer[y & 3][px & 3] / 16.0));
        };
        out.push_back(static_cast<std::uint8_t>(q(2 * x) | q(2 * x + 1) << 4));
        break;
      }
      case 1:  // 8-bit indices into a few ramps of a 256-colour CLUT
        out.push_back(static_cast<std::uint8_t>((x / 37 + y / 23 * 7) % 5 * 40 + v * 30 + dither +
                                                (random.Below(8) == 0)));
        break;
      case 2: {  // 15-bit colour, low bits noisy
        const auto c = static_cast<std::uint16_t>(static_cast<int>(v * 31) |
                                                  static_cast<int>(shade(y, x) * 31) << 5 |
                                                  ((x + y) / 40 % 32) << 10);
        const std::uint16_t noisy = c ^ (random.Below(4) == 0);
        out.insert(out.end(),
                   {static_cast<std::uint8_t>(noisy), static_cast<std::uint8_t>(noisy >> 8)});
        break;
      }
      default:  // 24-bit colour
        out.insert(out.end(), {static_cast<std::uint8_t>(v * 255),
                               static_cast<std::uint8_t>(shade(y, x) * 255),
                               static_cast<std::uint8_t>(((x ^ y) & 0xF0) + random.Below(4))});
    }
  }
  out.resize(size);
  return out;
}

// 0 text, 1..4 pixel data of modes 0..3, 5 already-compressed noise, 6 the
// game-like mix: text and the four kinds of pixel data in equal parts.
const std::vector<std::uint8_t>& Input(int kind) {
  static std::vector<std::uint8_t> inputs[7];
  std::vector<std::uint8_t>& input = inputs[kind];
  if (!input.empty()) return input;
  if (kind == 0) input = MessageText(kInputSize, 3);
  if (kind >= 1 && kind <= 4) input = Pixels(kind - 1, kInputSize, 3);
  if (kind == 5) input = RandomBytes(kInputSize, 3);
  if (kind == 6) {
    for (int part = 0; part < 5; ++part) {
      const auto piece =
          part == 0 ? MessageText(kInputSize / 5, 5) : Pixels(part - 1, kInputSize / 5, 5 + part);
      input.insert(input.end(), piece.begin(), piece.end());
    }
  }
  return input;
}

const char* const kInputNames[] = {"text",      "tim-4bit", "tim-8bit", "tim-16bit",
                                   "tim-24bit", "noise",    "game-like"};

void Report(benchmark::State& state, std::size_t in, std::size_t out) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in));
  state.counters["ratio"] = static_cast<double>(out) / static_cast<double>(in);
  state.SetLabel(kInputNames[state.range(0)]);
}

void BM_Compress(benchmark::State& state, Parse parse) {
  const std::vector<std::uint8_t>& input = Input(static_cast<int>(state.range(0)));
  const std::vector<std::uint8_t> dictionary = testing::SyntheticDictionary();
  std::size_t size = 0;
  for (auto _ : state) size = CompressWithDictionary(input, dictionary, parse).bytes.size();
  Report(state, input.size(), size);
}
BENCHMARK_CAPTURE(BM_Compress, optimal, Parse::Optimal)
    ->DenseRange(0, 6)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_Compress, greedy, Parse::Greedy)
    ->DenseRange(0, 6)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

void BM_ZlibLevel9(benchmark::State& state) {
  const std::vector<std::uint8_t>& input = Input(static_cast<int>(state.range(0)));
  std::vector<Bytef> packed(compressBound(input.size()));
  uLongf size = 0;
  for (auto _ : state) {
    size = packed.size();
    compress2(packed.data(), &size, input.data(), input.size(), 9);
  }
  Report(state, input.size(), size);
}
BENCHMARK(BM_ZlibLevel9)->DenseRange(0, 6)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
}  // namespace tessary::bench
