// Fuzz target: the BMP reader, and the conversion of what it reads into the
// pixel rows of a TIM of each mode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formathandlers/image/bmp_codec.h"
#include "formathandlers/tim/bmp_to_tim.h"
#include "misc/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    // A small limit keeps the fuzzer fast; the reader refuses before allocating.
    const tessary::Bitmap bitmap = tessary::DecodeBmp({data, size}, "f.bmp", 1 << 16);
    for (std::uint8_t mode = 0; mode < 4; ++mode) {
      tessary::TimImage image;
      image.mode = static_cast<tessary::TimPixelMode>(mode);
      image.clut = {0x0000, 0x7FFF, 0x001F};
      image.pixelWidth = bitmap.Width();
      image.height = bitmap.Height();
      image.rowBytes = mode == 0   ? bitmap.Width() / 2
                       : mode == 1 ? bitmap.Width()
                       : mode == 2 ? bitmap.Width() * 2u
                                   : bitmap.Width() * 3u;
      try {
        const auto pixels = tessary::TimPixelsFromBitmap(bitmap, image, "f.bmp");
        if (pixels.size() != image.rowBytes * image.height) std::abort();
      } catch (const tessary::FormatError&) {
      }
    }
  } catch (const tessary::FormatError&) {
  }
  return 0;
}
