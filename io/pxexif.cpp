#include "io/pxexif.h"

#include <cstring>
#include <memory>
#include <vector>

#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {

int32_t BytesPerPixel(TPXPixelFormat F) {
  switch (F) {
    case px8p: case px8g: return 1;
    case px16g: return 2;
    case px24RGB: return 3;
    case px32f: case pxCMYK: return 4;
    case pxRGB48: return 6;
    default: return 0;
  }
}

// The source pixel of destination (x, y) for an upright result of size W' x H' from W x H.
struct TMap {
  int32_t O, W, H;
  void Source(int32_t x, int32_t y, int32_t& sx, int32_t& sy) const {
    switch (O) {
      case 2: sx = W - 1 - x; sy = y; break;
      case 3: sx = W - 1 - x; sy = H - 1 - y; break;
      case 4: sx = x; sy = H - 1 - y; break;
      case 5: sx = y; sy = x; break;
      case 6: sx = y; sy = H - 1 - x; break;
      case 7: sx = W - 1 - y; sy = H - 1 - x; break;
      default: sx = W - 1 - y; sy = x; break;  // 8
    }
  }
  bool Swaps() const { return O >= 5; }
};

// Remaps rows of Bpp-byte pixels (0: 1-bit) from Src (W x H) into Dst (W' x H').
template <class TGetRow, class TGetDst>
void Remap(const TMap& M, int32_t Bpp, TGetRow SrcRow, TGetDst DstRow) {
  const int32_t dw = M.Swaps() ? M.H : M.W, dh = M.Swaps() ? M.W : M.H;
  for (int32_t y = 0; y < dh; ++y) {
    uint8_t* d = DstRow(y);
    if (Bpp == 0) std::memset(d, 0, size_t(dw + 7) / 8);
    for (int32_t x = 0; x < dw; ++x) {
      int32_t sx, sy;
      M.Source(x, y, sx, sy);
      const uint8_t* s = SrcRow(sy);
      if (Bpp == 0) {
        if (s[sx >> 3] & (0x80 >> (sx & 7))) d[x >> 3] |= uint8_t(0x80 >> (x & 7));
      } else {
        std::memcpy(d + size_t(x) * size_t(Bpp), s + size_t(sx) * size_t(Bpp), size_t(Bpp));
      }
    }
  }
}

void TurnBitmap(TPXBitmap* B, int32_t O) {
  const TPXPixelFormat f = B->PixelFormat();
  const int32_t bpp = f == px1g ? 0 : BytesPerPixel(f);
  if (f != px1g && bpp == 0) return;
  const TMap m{O, B->Width(), B->Height()};
  TPXBitmap src;
  src.Assign(B);
  std::unique_ptr<TPXBitmap> alpha;
  if (B->HasAlphaChannel()) {
    alpha = std::make_unique<TPXBitmap>();
    alpha->Assign(B->AlphaChannel());
  }
  const int32_t dw = m.Swaps() ? m.H : m.W, dh = m.Swaps() ? m.W : m.H;
  if (!B->Allocate(dw, dh, f)) return;
  if (f == px8p) src.CopyPaletteTo(B);
  Remap(m, bpp, [&](int32_t y) { return src.Scanline(y); }, [&](int32_t y) { return B->Scanline(y); });
  if (alpha) {
    TPXBitmap* a = B->AlphaChannel();
    if (a->Allocate(dw, dh, px8g))
      Remap(m, 1, [&](int32_t y) { return alpha->Scanline(y); }, [&](int32_t y) { return a->Scanline(y); });
  }
}

void TurnMask(TPXMask* Mask, int32_t O) {
  if (!Mask || Mask->BitsPerPixel() != 8 || Mask->Width() <= 0 || Mask->Height() <= 0) return;
  const TMap m{O, Mask->Width(), Mask->Height()};
  std::vector<uint8_t> copy(size_t(m.W) * size_t(m.H));
  for (int32_t y = 0; y < m.H; ++y) std::memcpy(copy.data() + size_t(y) * size_t(m.W), Mask->GetScanline(y), size_t(m.W));
  const int32_t dw = m.Swaps() ? m.H : m.W, dh = m.Swaps() ? m.W : m.H;
  Mask->AllocateBits(dw, dh, 8);
  Remap(m, 1, [&](int32_t y) { return copy.data() + size_t(y) * size_t(m.W); },
        [&](int32_t y) { return Mask->GetScanline(y); });
  Mask->UpdateBounds();
}

}  // namespace

void ApplyOrientation(TPXBitmap* Bitmap, int32_t Orientation, TPXMask* Mask) {
  if (Orientation < 2 || Orientation > 8) return;
  if (Bitmap && Bitmap->Width() > 0 && Bitmap->Height() > 0) TurnBitmap(Bitmap, Orientation);
  TurnMask(Mask, Orientation);
}

namespace {
TPXTiffEncodeProc& TiffEncoder() {
  static TPXTiffEncodeProc encode = nullptr;
  return encode;
}
}  // namespace

void RegisterTiffEncoder(TPXTiffEncodeProc Encode) { TiffEncoder() = Encode; }

bool BuildExifBlock(TIOParams* Params, std::vector<uint8_t>& Buffer, bool WithPrefix) {
  Buffer.clear();
  TPXTiffEncodeProc encode = TiffEncoder();
  if (!Params || !encode) return false;
  TPXAbortFlag aborting{false};
  TPXProgressRecord progress;
  progress.Aborting = &aborting;
  TMemoryStream s;
  encode(&s, false, nullptr, Params, progress);
  TPXBitmap* thumb = Params->EXIF_Thumbnail();
  if (!aborting && thumb && thumb->Width() > 0 && thumb->Height() > 0) {
    s.Seek(0, soBeginning);
    TIOParams page;
    page.SetImageIndex(1);
    page.TIFF_Compression = 6;
    page.SamplesPerPixel = 3;
    page.BitsPerSample = 8;
    encode(&s, true, thumb, &page, progress);
  }
  if (aborting) return false;
  if (WithPrefix) Buffer = {'E', 'x', 'i', 'f', 0, 0};
  const auto* m = static_cast<const uint8_t*>(s.Memory());
  Buffer.insert(Buffer.end(), m, m + s.Size());
  return true;
}
