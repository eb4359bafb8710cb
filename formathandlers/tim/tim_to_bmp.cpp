#include "formathandlers/tim/tim_to_bmp.h"

#include "batch/result_log.h"
#include "formathandlers/image/bmp_codec.h"
#include "formathandlers/image/png_codec.h"
#include "formathandlers/tim/tim_bitmap.h"
#include "misc/mapped_file.h"
#include "misc/output_file.h"
#include "misc/paths.h"

namespace tessary {

void TimToBmp(ProcessContext& ctx, const std::string& path) {
  const std::string name = FileNameOf(path);
  ctx.Status.SetCurrentMessage("Converting " + name + " ...");
  ctx.Status.PumpEvents();
  Bitmap bitmap;
  {
    const MappedFile tim(path);
    bitmap = LoadTimBitmap(tim.Bytes(), name, ctx.Alpha);
  }
  // 15-bit images are saved as 24-bit bitmaps: the writers convert them row
  // by row.
  // PNG when asked for, and for transparency, which a BMP does not hold; an
  // image without pixels, which a PNG cannot hold, stays a BMP (insertion
  // takes either by its content).
  const bool png = (ctx.BitmapsAsPng || ctx.Alpha) && bitmap.Width() > 0 && bitmap.Height() > 0;
  const std::string bmpPath = ctx.ClaimOutput(
      ctx.OutputPath(AsciiLowerCase(NameWithExtension(path, png ? ".png" : ".bmp"))));
  SaveBytes(bmpPath, png ? EncodePng(bitmap, FileNameOf(bmpPath)) : EncodeBmp(bitmap));
  ctx.ResultLog.Add(BitmapTargetLine(bmpPath));
  ctx.Status.AppendResult(name + " converted.");
  ctx.Status.PumpEvents();
}

}  // namespace tessary
