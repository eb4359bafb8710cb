// Fuzz target: the viewer's preview, LoadTimBitmap and the BMP writer and
// reader on what it makes; and, with transparency, the way back: the pixels
// made from the PNG of a TIM must be the TIM's own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formathandlers/image/bmp_codec.h"
#include "formathandlers/image/png_codec.h"
#include "formathandlers/tim/bmp_to_tim.h"
#include "formathandlers/tim/tim_bitmap.h"
#include "formathandlers/tim/tim_preview.h"
#include "misc/errors.h"

namespace {

// TIM -> bitmap with transparency -> PNG -> bitmap -> TIM pixels, with the
// old pixels at hand for their STP bits: every byte comes back.
void TransparencyRoundTrip(std::span<const std::uint8_t> tim) {
  const tessary::Bitmap bitmap = tessary::LoadTimBitmap(tim, "F.TIM", true);
  if (!tessary::PngSupported() || bitmap.Width() == 0 || bitmap.Height() == 0) return;
  const tessary::Bitmap png =
      tessary::DecodePng(tessary::EncodePng(bitmap, "f.png"), "f.png", std::uint64_t{1} << 32);
  const tessary::TimImage image = tessary::ReadTimImage(tim, "F.TIM", true);
  const auto pixels = tim.subspan(image.pixelOffset, image.rowBytes * image.height);
  const tessary::ByteBuffer back = tessary::TimPixelsFromBitmap(png, image, "f.png", pixels, true);
  if (!std::equal(back.begin(), back.end(), pixels.begin(), pixels.end())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    tessary::PreviewTim({data, size}, "F.TIM", 0);
  } catch (const tessary::FormatError&) {
  }
  try {
    const tessary::Bitmap bitmap = tessary::LoadTimBitmap({data, size}, "F.TIM");
    const tessary::Bitmap back = tessary::DecodeBmp(tessary::EncodeBmp(bitmap), "f.bmp");
    if (back.Width() != bitmap.Width() || back.Height() != bitmap.Height()) std::abort();
    TransparencyRoundTrip({data, size});
  } catch (const tessary::FormatError&) {
  }
  return 0;
}
