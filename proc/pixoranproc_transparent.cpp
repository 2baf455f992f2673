// Transparent colours of the processing component and the routine behind them.
#include "proc/pixoranproc_transparent.h"

#include <algorithm>

#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"

void SetTransparentColorsWorker(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TRGB MinColor,
                                TRGB MaxColor, uint8_t Alpha, const TPXProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap) return;
  const TPXPixelFormat format = Bitmap->PixelFormat();
  if (format != px24RGB && format != px1g) return;
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Bitmap->Width());
  Y2 = std::min(Y2, Bitmap->Height());
  TPXBitmap* alpha = Bitmap->GetAlphaChannel();
  if (!alpha) return;
  const int32_t rows = Y2 - Y1;
  if (X1 < X2 && rows > 0) {
    // On 1-bit pictures the pixels of one bit value match.
    const uint8_t bitWanted = MinColor.r == 0 ? 0 : 1;
    for (int32_t y = Y1; y < Y2; ++y) {
      const uint8_t* row = Bitmap->Scanline(y);
      uint8_t* a = alpha->Scanline(y);
      if (format == px24RGB) {
        const uint8_t* p = row + 3 * static_cast<int64_t>(X1);
        for (int32_t x = X1; x < X2; ++x, p += 3)
          if (p[2] >= MinColor.r && p[2] <= MaxColor.r && p[1] >= MinColor.g && p[1] <= MaxColor.g &&
              p[0] >= MinColor.b && p[0] <= MaxColor.b)
            a[x] = Alpha;
      } else {
        for (int32_t x = X1; x < X2; ++x)
          if (((row[x >> 3] >> (7 - (x & 7))) & 1) == bitWanted) a[x] = Alpha;
      }
      // Rows done against all rows: 100 on the last row, however few there are.
      if (OnProgress) OnProgress(Sender, static_cast<int32_t>(static_cast<int64_t>(y - Y1 + 1) * 100 / rows));
    }
  }
  alpha->UpdateFull();
}

void TPixoranProc::SetTransparentColors(TRGB MinColor, TRGB MaxColor, int32_t Alpha) {
  int32_t x1, y1, x2, y2;
  TPXBitmap* work;
  TPXMask* mask;
  if (!BeginOperation(TPXPixelFormatSet{px1g, px24RGB}, x1, y1, x2, y2, GetLanguageWord(59), work, mask, 90, true))
    return;
  SetTransparentColorsWorker(work, x1, y1, x2, y2, MinColor, MaxColor, static_cast<uint8_t>(std::clamp(Alpha, 0, 255)), FOnProgress,
                             this);
  EndOperation(work, mask);
  DoFinishWork();
}
