#include "formathandlers/image/png_codec.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "misc/errors.h"

#ifdef TESSARY_HAVE_PNG
#include <spng.h>
#endif

namespace tessary {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr int kRunLengthStrategy = 3;  // zlib's Z_RLE

#ifdef TESSARY_HAVE_PNG

struct ContextDeleter {
  void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

void Check(int status, const std::string& name) {
  if (status != 0) ThrowFormatError(name, std::string("PNG: ") + spng_strerror(status));
}

Context Decoder(std::span<const std::uint8_t> file, const std::string& name) {
  Context ctx(spng_ctx_new(0));
  if (!ctx) ThrowFormatError(name, "PNG: out of memory");
  Check(spng_set_png_buffer(ctx.get(), file.data(), file.size()), name);
  return ctx;
}

spng_ihdr Header(spng_ctx* ctx, const std::string& name) {
  spng_ihdr ihdr{};
  Check(spng_get_ihdr(ctx, &ihdr), name);
  return ihdr;
}

// The image's rows decoded to `format`.
ByteBuffer DecodedRows(spng_ctx* ctx, spng_format format, const std::string& name) {
  std::size_t size = 0;
  Check(spng_decoded_image_size(ctx, format, &size), name);
  ByteBuffer rows(size);
  const int flags = format == SPNG_FMT_RGBA8 ? SPNG_DECODE_TRNS : 0;
  Check(spng_decode_image(ctx, rows.data(), rows.size(), format, flags), name);
  return rows;
}

// Palette PNG rows hold 1, 2, 4 or 8 bits per index, the leftmost pixel in the
// high bits; they become one index per byte.
void UnpackIndices(const ByteBuffer& packed, std::uint32_t depth, Bitmap& bitmap) {
  const std::size_t stride = (static_cast<std::size_t>(bitmap.Width()) * depth + 7) / 8;
  const unsigned mask = (1u << depth) - 1;
  for (std::uint32_t y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* in = packed.data() + y * stride;
    const auto out = bitmap.Row(y);
    for (std::uint32_t x = 0; x < bitmap.Width(); ++x) {
      const std::size_t bit = static_cast<std::size_t>(x) * depth;
      out[x] = static_cast<std::uint8_t>((in[bit / 8] >> (8 - depth - bit % 8)) & mask);
    }
  }
}

Bitmap DecodeIndexed(spng_ctx* ctx, const spng_ihdr& ihdr, const std::string& name) {
  Bitmap bitmap(ihdr.width, ihdr.height, PixelDepth::Indexed8);
  spng_plte plte{};
  Check(spng_get_plte(ctx, &plte), name);
  for (std::uint32_t i = 0; i < plte.n_entries; ++i)
    bitmap.palette.push_back({plte.entries[i].red, plte.entries[i].green, plte.entries[i].blue});
  // Transparent entries, when the file has them.
  spng_trns trns{};
  if (spng_get_trns(ctx, &trns) == 0)
    for (std::uint32_t i = 0; i < trns.n_type3_entries && i < bitmap.palette.size(); ++i)
      bitmap.palette[i].alpha = trns.type3_alpha[i];
  UnpackIndices(DecodedRows(ctx, SPNG_FMT_PNG, name), ihdr.bit_depth, bitmap);
  return bitmap;
}

// Colours as 24 bits; the alpha channel (or a tRNS colour) as the alpha
// plane when some pixel is not opaque.
Bitmap DecodeDirect(spng_ctx* ctx, const spng_ihdr& ihdr, const std::string& name) {
  const ByteBuffer rgba = DecodedRows(ctx, SPNG_FMT_RGBA8, name);
  Bitmap bitmap(ihdr.width, ihdr.height, PixelDepth::Direct24);
  bitmap.alpha.resize(static_cast<std::size_t>(ihdr.width) * ihdr.height);
  bool seeThrough = false;
  for (std::uint32_t y = 0; y < ihdr.height; ++y) {
    const std::uint8_t* in = rgba.data() + static_cast<std::size_t>(y) * ihdr.width * 4;
    const auto out = bitmap.Row(y);
    std::uint8_t* alpha = bitmap.alpha.data() + static_cast<std::size_t>(y) * ihdr.width;
    for (std::uint32_t x = 0; x < ihdr.width; ++x) {
      out[3 * x] = in[4 * x + 2];
      out[3 * x + 1] = in[4 * x + 1];
      out[3 * x + 2] = in[4 * x];
      alpha[x] = in[4 * x + 3];
      seeThrough |= alpha[x] != 255;
    }
  }
  if (!seeThrough) bitmap.alpha.clear();
  return bitmap;
}

int AppendTo(spng_ctx*, void* user, void* data, std::size_t length) {
  auto* out = static_cast<ByteBuffer*>(user);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + length);
  return 0;
}

// The palette as the BMP colour table lays it out: exactly 16 or 256 entries,
// the bitmap's first, then black.
void SetPalette(spng_ctx* ctx, const Bitmap& bitmap, const std::string& name) {
  spng_plte plte{};
  plte.n_entries = bitmap.Depth() == PixelDepth::Indexed4 ? 16 : 256;
  for (std::size_t i = 0; i < plte.n_entries && i < bitmap.palette.size(); ++i) {
    plte.entries[i].red = bitmap.palette[i].red;
    plte.entries[i].green = bitmap.palette[i].green;
    plte.entries[i].blue = bitmap.palette[i].blue;
  }
  Check(spng_set_plte(ctx, &plte), name);
  // A tRNS chunk only when some entry is not opaque.
  spng_trns trns{};
  trns.n_type3_entries = plte.n_entries;
  bool seeThrough = false;
  for (std::size_t i = 0; i < plte.n_entries; ++i) {
    trns.type3_alpha[i] = i < bitmap.palette.size() ? bitmap.palette[i].alpha : 255;
    seeThrough |= trns.type3_alpha[i] != 255;
  }
  if (seeThrough) Check(spng_set_trns(ctx, &trns), name);
}

// The rows of a 24-bit bitmap with an alpha plane as red, green, blue, alpha.
ByteBuffer RgbaRows(const Bitmap& bitmap) {
  const std::size_t width = bitmap.Width();
  ByteBuffer rows(width * 4 * bitmap.Height());
  for (std::uint32_t y = 0; y < bitmap.Height(); ++y) {
    const auto row = bitmap.Row(y);
    std::uint8_t* out = rows.data() + y * width * 4;
    for (std::size_t x = 0; x < width; ++x) {
      out[4 * x] = row[3 * x + 2];
      out[4 * x + 1] = row[3 * x + 1];
      out[4 * x + 2] = row[3 * x];
      out[4 * x + 3] = bitmap.alpha[y * width + x];
    }
  }
  return rows;
}

// The rows as PNG wants them: indices packed as the bitmap already holds them,
// colours as red, green, blue (and alpha, when the bitmap has it).
ByteBuffer PngRows(const Bitmap& bitmap) {
  if (!bitmap.alpha.empty()) return RgbaRows(bitmap);
  ByteBuffer rows(bitmap.RowBytes() * bitmap.Height());
  for (std::uint32_t y = 0; y < bitmap.Height(); ++y) {
    const auto row = bitmap.Row(y);
    std::uint8_t* out = rows.data() + y * bitmap.RowBytes();
    std::copy(row.begin(), row.end(), out);
    if (bitmap.Depth() != PixelDepth::Direct24) continue;
    for (std::size_t i = 0; i + 2 < row.size(); i += 3) std::swap(out[i], out[i + 2]);
  }
  return rows;
}

#endif

}  // namespace

bool LooksLikePng(std::span<const std::uint8_t> file) {
  return file.size() >= sizeof kSignature && std::equal(kSignature, kSignature + 8, file.begin());
}

#ifdef TESSARY_HAVE_PNG

bool PngSupported() {
  return true;
}

ByteBuffer EncodePng(const Bitmap& source, const std::string& name) {
  if (source.Depth() == PixelDepth::Direct15)
    return EncodePng(ConvertToDirect(source, PixelDepth::Direct24), name);
  if (source.Width() == 0 || source.Height() == 0)
    ThrowFormatError(name, "a PNG cannot hold an empty image");
  if (!source.alpha.empty() && source.alpha.size() != std::size_t{source.Width()} * source.Height())
    ThrowFormatError(name, "the alpha plane does not match the image");
  Context ctx(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!ctx) ThrowFormatError(name, "PNG: out of memory");
  // The file grows in a buffer sized for it once, not by reallocation.
  ByteBuffer out;
  out.reserve(source.RowBytes() * source.Height() + source.Height() + 4096);
  Check(spng_set_png_stream(ctx.get(), AppendTo, &out), name);
  // Fast settings that still pack game textures well: the "up" filter catches
  // rows that repeat, run-length matching the flat areas. Measured on batches
  // of 1024 x 512 images: under twice the time of BMP, files a quarter of it.
  Check(spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, 1), name);
  Check(spng_set_option(ctx.get(), SPNG_FILTER_CHOICE,
                        SPNG_FILTER_CHOICE_NONE | SPNG_FILTER_CHOICE_UP),
        name);
  Check(spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_STRATEGY, kRunLengthStrategy), name);
  spng_ihdr ihdr{};
  ihdr.width = source.Width();
  ihdr.height = source.Height();
  ihdr.bit_depth = source.Depth() == PixelDepth::Indexed4 ? 4 : 8;
  ihdr.color_type = source.Indexed()       ? SPNG_COLOR_TYPE_INDEXED
                    : source.alpha.empty() ? SPNG_COLOR_TYPE_TRUECOLOR
                                           : SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  Check(spng_set_ihdr(ctx.get(), &ihdr), name);
  if (source.Indexed()) SetPalette(ctx.get(), source, name);
  const ByteBuffer rows = PngRows(source);
  Check(spng_encode_image(ctx.get(), rows.data(), rows.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE),
        name);
  return out;
}

BmpSize ReadPngSize(std::span<const std::uint8_t> file, const std::string& name) {
  const Context ctx = Decoder(file, name);
  const spng_ihdr ihdr = Header(ctx.get(), name);
  return {ihdr.width, ihdr.height};
}

Bitmap DecodePng(std::span<const std::uint8_t> file, const std::string& name,
                 std::uint64_t maxPixels) {
  const Context ctx = Decoder(file, name);
  const spng_ihdr ihdr = Header(ctx.get(), name);
  if (std::uint64_t{ihdr.width} * ihdr.height > maxPixels)
    ThrowFormatError(name, "a bitmap of " + std::to_string(ihdr.width) + " x " +
                               std::to_string(ihdr.height) + " pixels is too large");
  if (ihdr.color_type == SPNG_COLOR_TYPE_INDEXED) return DecodeIndexed(ctx.get(), ihdr, name);
  return DecodeDirect(ctx.get(), ihdr, name);
}

#else

bool PngSupported() {
  return false;
}

ByteBuffer EncodePng(const Bitmap&, const std::string& name) {
  ThrowFormatError(name, "this build of Tessary has no PNG support");
}

BmpSize ReadPngSize(std::span<const std::uint8_t>, const std::string& name) {
  ThrowFormatError(name, "this build of Tessary has no PNG support");
}

Bitmap DecodePng(std::span<const std::uint8_t>, const std::string& name, std::uint64_t) {
  ThrowFormatError(name, "this build of Tessary has no PNG support");
}

#endif

BmpSize ReadImageSize(std::span<const std::uint8_t> file, const std::string& name) {
  return LooksLikePng(file) ? ReadPngSize(file, name) : ReadBmpSize(file, name);
}

Bitmap DecodeImage(std::span<const std::uint8_t> file, const std::string& name,
                   std::uint64_t maxPixels) {
  return LooksLikePng(file) ? DecodePng(file, name, maxPixels) : DecodeBmp(file, name, maxPixels);
}

}  // namespace tessary
