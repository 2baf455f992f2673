#include "codecs/pxcodecs_impl.h"

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_colour.h"

namespace pxcodecs_detail {

TPXBitmap* WriterSource(TPXBitmap* Bitmap, bool OneBit, std::unique_ptr<TPXBitmap>& Copy, TRGB (&Colors)[2]) {
  Copy.reset();
  Colors[0] = TRGB{0, 0, 0};
  Colors[1] = TRGB{255, 255, 255};
  const TPXPixelFormat f = Bitmap->PixelFormat();
  if (OneBit && f != px1g) {
    if (f == px24RGB) Copy = ConvertBiColorTo1Bit(Bitmap, Colors[0], Colors[1]);
    if (!Copy) {
      Colors[0] = TRGB{0, 0, 0};
      Colors[1] = TRGB{255, 255, 255};
      Copy = TPXBitmap::CreateCopy(Bitmap);
      Copy->SetPixelFormat(px1g);
    }
  } else if (!OneBit && f != px24RGB) {
    Copy = TPXBitmap::CreateCopy(Bitmap);
    Copy->SetPixelFormat(px24RGB);
  }
  TPXBitmap* src = Copy ? Copy.get() : Bitmap;
  if (src->PixelFormat() != (OneBit ? px1g : px24RGB) || src->Width() != Bitmap->Width() ||
      src->Height() != Bitmap->Height())
    return nullptr;
  return src;
}

}  // namespace pxcodecs_detail
