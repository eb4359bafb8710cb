// Fuzz target: the bitmap loader of insertion, which takes BMP and PNG files by
// their content.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "formathandlers/image/png_codec.h"
#include "misc/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const tessary::BmpSize size2 = tessary::ReadImageSize({data, size}, "f.img");
    // A small limit keeps the fuzzer fast; the loaders refuse before allocating.
    const tessary::Bitmap bitmap = tessary::DecodeImage({data, size}, "f.img", 1 << 16);
    if (bitmap.Width() != size2.width || bitmap.Height() != size2.height) std::abort();
  } catch (const tessary::FormatError&) {
  }
  return 0;
}
