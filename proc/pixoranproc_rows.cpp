// Row conversion, the plain fill and the component's Fill.
#include "proc/pixoranproc_rows.h"

#include <algorithm>
#include <cstring>

#include "core/neurquant.h"
#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_pixel.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_progress.h"

namespace {

inline int32_t Bit(const uint8_t* s, int32_t x) { return (s[x >> 3] >> (7 - (x & 7))) & 1; }
inline int32_t Nibble(const uint8_t* s, int32_t x) { return (x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4); }
inline void PutNibble(uint8_t* d, int32_t x, int32_t v) {
  d[x >> 1] |= static_cast<uint8_t>((x & 1) ? (v & 0x0F) : ((v & 0x0F) << 4));
}

}  // namespace

int32_t ReduceRowToPalette(const void* Source, void* Dest, uint16_t SourceBits, uint16_t DestBits, uint16_t Width,
                           std::span<const TRGB> Palette, const TPXQuantizer* Quantizer) {
  const auto* s = static_cast<const uint8_t*>(Source);
  auto* d = static_cast<uint8_t*>(Dest);
  const int32_t w = Width;
  int32_t len = 0;
  switch (DestBits) {
    case 1: len = (w + 7) / 8; break;
    case 4: len = (w + 1) / 2; break;
    case 8: len = w; break;
    case 24: len = 3 * w; break;
    default: return 0;
  }
  auto colour = [&](int32_t i) {
    return i >= 0 && static_cast<size_t>(i) < Palette.size() ? Palette[static_cast<size_t>(i)] : TRGB{};
  };
  auto put24 = [&](int32_t x, const TRGB& c) { std::memcpy(d + 3 * x, &c, 3); };
  if ((DestBits == 1 || DestBits == 4) && SourceBits != DestBits) std::memset(d, 0, static_cast<size_t>(len));
  switch (SourceBits * 100 + DestBits) {
    case 101:
    case 404:
    case 808:
    case 2424:
      std::memcpy(d, s, static_cast<size_t>(len));
      break;
    case 104:
      for (int32_t x = 0; x < w; ++x) PutNibble(d, x, Bit(s, x));
      break;
    case 108:
      for (int32_t x = 0; x < w; ++x) d[x] = static_cast<uint8_t>(Bit(s, x));
      break;
    case 124:
      for (int32_t x = 0; x < w; ++x) put24(x, colour(Bit(s, x)));
      break;
    case 408:
      for (int32_t x = 0; x < w; ++x) d[x] = static_cast<uint8_t>(Nibble(s, x));
      break;
    case 424:
      for (int32_t x = 0; x < w; ++x) put24(x, colour(Nibble(s, x)));
      break;
    case 801:
      for (int32_t x = 0; x < w; ++x)
        if (s[x] != 0) d[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
      break;
    case 824:
      for (int32_t x = 0; x < w; ++x) put24(x, colour(s[x]));
      break;
    case 2404:
    case 2408:
      if (!Quantizer) break;
      for (int32_t x = 0; x < w; ++x) {
        TRGB c;
        std::memcpy(&c, s + 3 * x, 3);
        const int32_t i = Quantizer->RGBToIndex(c);
        if (DestBits == 8) d[x] = static_cast<uint8_t>(i);
        else PutNibble(d, x, i);
      }
      break;
    case 3224:
      for (int32_t x = 0; x < w; ++x) std::memcpy(d + 3 * x, s + 4 * x, 3);
      break;
    default:
      break;
  }
  return len;
}

void FillWorker(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, uint32_t Color,
                const TPXProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap) return;
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Bitmap->Width());
  Y2 = std::min(Y2, Bitmap->Height());
  if (X1 >= X2 || Y1 >= Y2) return;
  const uint8_t r = static_cast<uint8_t>(Color >> 16), g = static_cast<uint8_t>(Color >> 8),
                b = static_cast<uint8_t>(Color);
  const TPXPixelFormat f = Bitmap->PixelFormat();
  if (f != px1g && f != px8g && f != px24RGB) {
    Bitmap->FillRect(X1, Y1, X2 - 1, Y2 - 1, static_cast<double>(r | (g << 8) | (b << 16)));
    return;
  }
  const uint8_t grey = TPXGreyWeights::FromSettings().Grey(r, g, b);
  for (int32_t y = Y1; y < Y2; ++y) {
    uint8_t* row = Bitmap->Scanline(y);
    if (f == px1g) {
      for (int32_t x = X1; x < X2; ++x) SetPixelBit(row, x, r != 0);
    } else if (f == px8g) {
      std::memset(row + X1, grey, static_cast<size_t>(X2 - X1));
    } else {
      auto* p = reinterpret_cast<TRGB*>(row);
      std::fill(p + X1, p + X2, TRGB{b, g, r});
    }
    ProcReportRow(OnProgress, Sender, y - Y1 + 1, Y2 - Y1);
  }
}

void TPixoranProc::Fill(uint32_t Color) {
  int32_t x1, y1, x2, y2;
  TPXBitmap* work;
  TPXMask* mask;
  if (!BeginOperation(TPXPixelFormatSet{}, x1, y1, x2, y2, GetLanguageWord(181), work, mask, 47, true)) return;
  FillWorker(work, x1, y1, x2, y2, Color, FOnProgress, this);
  EndOperation(work, mask);
  DoFinishWork();
}
