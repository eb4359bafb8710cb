// Writing the pixels of an edited bitmap back into its TIM file.
#pragma once

#include <cstddef>
#include <string>

#include "batch/process_context.h"
#include "formathandlers/tim/tim_bitmap.h"

namespace tessary {

// Takes the "#Target BMP: " line at `index` and rewrites the pixel data of the
// TIM open as SourceStream from that bitmap; a missing bitmap is skipped
// silently. The bitmap must have the image's size; modes 0 and 1 take its
// indices (or colours that are exactly CLUT colours), modes 2 and 3 its
// colours. Everything is checked before the TIM is written. Returns index + 1.
std::size_t BmpToTim(ProcessContext& ctx, const std::string& path, std::size_t index);

// The TIM's pixel rows made from a bitmap of the image's size (exposed for
// tests and benchmarks). Errors name `bitmapName`. With `previousPixels` (the
// TIM's pixel rows as they are), a 16-bit pixel whose colour is unchanged
// keeps its STP bit. With `transparency`, a pixel of alpha 0 becomes the
// colour word 0x0000 (in modes 0 and 1 the CLUT entry 0x0000) and opaque
// black 0x8000 (a CLUT entry other than 0x0000); 24-bit pixels are opaque.
ByteBuffer TimPixelsFromBitmap(const Bitmap& bitmap, const TimImage& image,
                               const std::string& bitmapName,
                               std::span<const std::uint8_t> previousPixels = {},
                               bool transparency = false);

}  // namespace tessary
