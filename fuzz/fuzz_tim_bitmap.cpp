// Fuzz target: the viewer's preview, LoadTimBitmap and the BMP writer and
// reader on what it makes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formathandlers/image/bmp_codec.h"
#include "formathandlers/tim/tim_bitmap.h"
#include "formathandlers/tim/tim_preview.h"
#include "misc/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    tessary::PreviewTim({data, size}, "F.TIM", 0);
    const tessary::Bitmap bitmap = tessary::LoadTimBitmap({data, size}, "F.TIM");
    const tessary::Bitmap back = tessary::DecodeBmp(tessary::EncodeBmp(bitmap), "f.bmp");
    if (back.Width() != bitmap.Width() || back.Height() != bitmap.Height()) std::abort();
  } catch (const tessary::FormatError&) {
  }
  return 0;
}
