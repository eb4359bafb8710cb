// TIM to BMP and back, in memory, for a 1024 x 512 image of each pixel mode
// with noisy pixels (every CLUT index and colour in use).
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/bench_support.h"
#include "formathandlers/image/bmp_codec.h"
#include "formathandlers/image/png_codec.h"
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

// PNG against BMP on the same bitmaps: a batch of large images must not get
// more than three times slower with PNG.
Bitmap NoisyBitmap(std::uint32_t mode) {
  Bitmap bitmap = LoadTimBitmap(NoisyTim(mode), "B.TIM");
  return bitmap.Depth() == PixelDepth::Direct15 ? ConvertToDirect(bitmap, PixelDepth::Direct24)
                                                : bitmap;
}

void BM_BmpEncode(benchmark::State& state) {
  const Bitmap bitmap = NoisyBitmap(static_cast<std::uint32_t>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const ByteBuffer file = EncodeBmp(bitmap);
    bytes = file.size();
    benchmark::DoNotOptimize(file.data());
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * bitmap.RowBytes() * bitmap.Height()));
  state.counters["file"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BmpEncode)->Arg(0)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PngEncode(benchmark::State& state) {
  const Bitmap bitmap = NoisyBitmap(static_cast<std::uint32_t>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const ByteBuffer file = EncodePng(bitmap, "b.png");
    bytes = file.size();
    benchmark::DoNotOptimize(file.data());
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * bitmap.RowBytes() * bitmap.Height()));
  state.counters["file"] = static_cast<double>(bytes);
}
BENCHMARK(BM_PngEncode)->Arg(0)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BmpDecode(benchmark::State& state) {
  const Bitmap bitmap = NoisyBitmap(static_cast<std::uint32_t>(state.range(0)));
  const ByteBuffer file = EncodeBmp(bitmap);
  for (auto _ : state) benchmark::DoNotOptimize(DecodeImage(file, "b.bmp").Row(0).data());
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * bitmap.RowBytes() * bitmap.Height()));
}
BENCHMARK(BM_BmpDecode)->Arg(0)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PngDecode(benchmark::State& state) {
  const Bitmap bitmap = NoisyBitmap(static_cast<std::uint32_t>(state.range(0)));
  const ByteBuffer file = EncodePng(bitmap, "b.png");
  for (auto _ : state) benchmark::DoNotOptimize(DecodeImage(file, "b.png").Row(0).data());
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * bitmap.RowBytes() * bitmap.Height()));
}
BENCHMARK(BM_PngDecode)->Arg(0)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessary::bench
