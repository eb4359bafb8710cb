// TIM to BMP and back, in memory, for a 1024 x 512 image of each pixel mode
// with noisy pixels (every CLUT index and colour in use).
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/bench_support.h"
#include "formathandlers/image/bmp_codec.h"
#include "formathandlers/tim/bmp_to_tim.h"
#include "formathandlers/tim/tim_bitmap.h"
#include "tests/tim_builder.h"

namespace tessary::bench {
namespace {

constexpr std::uint16_t kPixelWidth = 1024;
constexpr std::uint16_t kHeight = 512;

// A TIM of the mode with random pixel bytes (all indices valid for its CLUT).
std::vector<std::uint8_t> NoisyTim(std::uint32_t mode) {
  const std::uint16_t widthField = mode == 0   ? kPixelWidth / 4
                                   : mode == 1 ? kPixelWidth / 2
                                               : kPixelWidth;
  const int clut = mode == 0 ? 16 : mode == 1 ? 256 : 0;
  auto tim = testing::BuildTim(
      {.mode = mode, .clutEntries = clut, .width = widthField, .height = kHeight});
  const std::size_t pixels = testing::RowBytesOf({.mode = mode, .width = widthField}) * kHeight;
  const auto noise = RandomBytes(pixels, 7 + mode);
  std::memcpy(tim.data() + tim.size() - pixels, noise.data(), pixels);
  return tim;
}

void BM_TimToBmp(benchmark::State& state) {
  const auto tim = NoisyTim(static_cast<std::uint32_t>(state.range(0)));
  for (auto _ : state) {
    Bitmap bitmap = LoadTimBitmap(tim, "B.TIM");
    if (bitmap.Depth() == PixelDepth::Direct15)
      bitmap = ConvertToDirect(bitmap, PixelDepth::Direct24);
    const ByteBuffer bmp = EncodeBmp(bitmap);
    benchmark::DoNotOptimize(bmp.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tim.size()));
}
BENCHMARK(BM_TimToBmp)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BmpToTim(benchmark::State& state) {
  const auto tim = NoisyTim(static_cast<std::uint32_t>(state.range(0)));
  const TimImage image = ReadTimImage(tim, "B.TIM", true);
  Bitmap bitmap = LoadTimBitmap(tim, "B.TIM");
  if (bitmap.Depth() == PixelDepth::Direct15)
    bitmap = ConvertToDirect(bitmap, PixelDepth::Direct24);
  const ByteBuffer bmp = EncodeBmp(bitmap);
  for (auto _ : state) {
    const ByteBuffer pixels = TimPixelsFromBitmap(DecodeBmp(bmp, "b.bmp"), image, "b.bmp");
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * tim.size()));
}
BENCHMARK(BM_BmpToTim)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessary::bench
