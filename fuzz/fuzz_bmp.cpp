// Arbitrary bytes as a BMP file: TBitmap either raises EInvalidGraphic (and stays as it was) or
// loads a picture of a sane size, which saves and loads again to the same size, format and rows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/FuzzSupport.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"

namespace {

int32_t RowBytes(const TBitmap& b) {
  int32_t bits = 32;
  switch (b.PixelFormat()) {
    case pf1bit: bits = 1; break;
    case pf4bit: bits = 4; break;
    case pf8bit: bits = 8; break;
    case pf15bit:
    case pf16bit: bits = 16; break;
    case pf24bit: bits = 24; break;
    default: break;
  }
  return static_cast<int32_t>((int64_t(b.Width()) * bits + 7) / 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TCustomMemoryStream stream(data, static_cast<int64_t>(size));
  TBitmap bmp;
  try {
    bmp.LoadFromStream(&stream);
  } catch (const EInvalidGraphic&) {
    Check(bmp.Empty() && stream.Position() == 0);
    return 0;
  }
  Check(bmp.Width() > 0 && bmp.Height() > 0);
  Check(stream.Position() > 0 && stream.Position() <= static_cast<int64_t>(size));
  // Run-length data may describe a huge blank picture in a few bytes: loading it is the test.
  if (int64_t(bmp.Width()) * bmp.Height() > (int64_t{1} << 20)) return 0;

  TMemoryStream saved;
  bmp.SaveToStream(&saved);
  saved.SetPosition(0);
  TBitmap again;
  again.LoadFromStream(&saved);
  Check(again.Width() == bmp.Width() && again.Height() == bmp.Height());
  Check(again.PixelFormat() == bmp.PixelFormat());
  const int32_t rb = RowBytes(bmp);
  for (int32_t y = 0; y < bmp.Height(); ++y)
    Check(std::memcmp(bmp.ScanLine(y), again.ScanLine(y), static_cast<size_t>(rb)) == 0);

  // The canvas draws on whatever was loaded.
  bmp.Canvas()->Pixels(0, 0);
  bmp.Canvas()->FillRect(TRect(0, 0, 3, 3));
  return 0;
}
