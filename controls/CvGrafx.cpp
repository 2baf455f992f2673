// Transparent bitmaps, band gradients and the parent's background.
#include "controls/CvGrafx.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>
#include <numeric>
#include <vector>

#include "platform/forms/Forms.h"

namespace {

using enum TGradientDirection;

// ---------------------------------------------------------------------------------------------
// Off-screen bitmaps

// A memory DC holding a new 32-bit top-down DIB section; both are freed with the object.
class TOffscreen {
 public:
  TOffscreen(int32_t W, int32_t H) : width_(W), height_(H) {
    BITMAPINFO bmi{};
    bmi.bmiHeader.biWidth = W;
    bmi.bmiHeader.biHeight = -H;
    bmi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap_) return;
    dc_ = CreateCompatibleDC(nullptr);
    if (!dc_) return;
    old_ = SelectObject(dc_, bitmap_);
    bits_ = static_cast<uint32_t*>(bits);
  }
  ~TOffscreen() {
    if (dc_) {
      SelectObject(dc_, old_);
      DeleteDC(dc_);
    }
    if (bitmap_) DeleteObject(bitmap_);
  }
  TOffscreen(const TOffscreen&) = delete;
  TOffscreen& operator=(const TOffscreen&) = delete;

  bool Valid() const { return bits_ != nullptr; }
  HDC DC() const { return dc_; }
  // Row y (top-down, 32 bits per pixel: B, G, R, 0).
  uint32_t* Row(int32_t y) const { return bits_ + static_cast<size_t>(y) * static_cast<size_t>(width_); }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

 private:
  int32_t width_, height_;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
};

// The off-screen bitmap of the gradients. The UI thread keeps one between calls (making
// megabytes of fresh pixels for every large gradient costs more than painting it), grown when a
// larger one is needed up to 16M pixels; anything larger, or on another thread, gets its own.
std::unique_ptr<TOffscreen>& ScratchHolder() {
  static std::unique_ptr<TOffscreen> scratch;
  return scratch;
}

TOffscreen* Scratch(int32_t W, int32_t H, std::unique_ptr<TOffscreen>& Own) {
  constexpr int64_t kKept = int64_t{1} << 24;
  if (IsUIThread() && int64_t{W} * H <= kKept) {
    auto& scratch = ScratchHolder();
    if (!scratch || scratch->Width() < W || scratch->Height() < H) {
      const int32_t w = std::max(W, scratch ? scratch->Width() : 0), h = std::max(H, scratch ? scratch->Height() : 0);
      scratch.reset();
      if (int64_t{w} * h <= kKept) scratch = std::make_unique<TOffscreen>(w, h);
      else scratch = std::make_unique<TOffscreen>(W, H);
    }
    return scratch->Valid() ? scratch.get() : nullptr;
  }
  Own = std::make_unique<TOffscreen>(W, H);
  return Own->Valid() ? Own.get() : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Band colours

struct TBand {
  int32_t First = 0;  // the first line of the band (in the order the lines are made)
  int32_t Count = 0;
  TColorRef Color = 0;
};

// Count lines from First towards Target with 16.16 accumulators advancing by (Target - First) /
// Divisor per line (truncated toward zero), grouped into bands: a band takes the colour of its
// first line and grows while the next line has the same colour or the band is shorter than
// Least lines.
std::vector<TBand> MakeBands(TColor First, TColor Target, int32_t Divisor, int32_t Count, int32_t Least) {
  std::vector<TBand> bands;
  if (Count <= 0 || Divisor <= 0) return bands;
  const auto f = static_cast<TColorRef>(ColorToRGB(First)), t = static_cast<TColorRef>(ColorToRGB(Target));
  int64_t acc[3] = {int64_t{GetRValue(f)} << 16, int64_t{GetGValue(f)} << 16, int64_t{GetBValue(f)} << 16};
  const int64_t inc[3] = {((int64_t{GetRValue(t)} << 16) - acc[0]) / Divisor,
                          ((int64_t{GetGValue(t)} << 16) - acc[1]) / Divisor,
                          ((int64_t{GetBValue(t)} << 16) - acc[2]) / Divisor};
  auto color = [&acc] {
    return RGB(static_cast<uint8_t>(acc[0] >> 16), static_cast<uint8_t>(acc[1] >> 16), static_cast<uint8_t>(acc[2] >> 16));
  };
  TBand band{0, 1, color()};
  for (int32_t line = 1; line < Count; ++line) {
    for (int i = 0; i < 3; ++i) acc[i] += inc[i];
    const TColorRef c = color();
    if (c == band.Color || band.Count < Least) {
      ++band.Count;
    } else {
      bands.push_back(band);
      band = TBand{line, 1, c};
    }
  }
  bands.push_back(band);
  return bands;
}

// The least band size of a step count; Box is true for the box fill.
int32_t LeastBand(uint8_t Steps, bool Box) {
  const int32_t n = Steps <= 8 ? Steps : (Box ? 256 : 255) / Steps + 1;
  return n > 1 ? n - 1 : 0;
}

void FillSolid(HDC DC, const TRect& R, TColorRef Color) {
  if (R.IsEmpty()) return;
  HBRUSH brush = CreateSolidBrush(Color);
  FillRect(DC, R, brush);
  DeleteObject(brush);
}

// The pixel value of a colour in a 32-bit surface (B, G, R, 0).
uint32_t PixelOf(TColorRef c) { return uint32_t{GetBValue(c)} | uint32_t{GetGValue(c)} << 8 | uint32_t{GetRValue(c)} << 16; }

// Pixels j = 0..Count-1 of band index floor((j * Step + Base) / WH), written forward or (Mirrored)
// from the end backwards, one fill per band.
void DiagonalSpans(uint32_t* Out, int64_t Count, int64_t Base, int64_t Step, int64_t WH, const std::vector<TBand>& Bands,
                   bool Mirrored) {
  int64_t x = 0;
  const int64_t k0 = Base / WH;
  auto b = std::upper_bound(Bands.begin(), Bands.end(), k0, [](int64_t k, const TBand& band) { return k < band.First; });
  if (b != Bands.begin()) --b;
  for (; b != Bands.end() && x < Count; ++b) {
    // The band ends before the first pixel whose band index passes its last line.
    const int64_t need = (int64_t{b->First} + b->Count) * WH - Base;
    int64_t end = need <= 0 ? 0 : (need + Step - 1) / Step;
    if (std::next(b) == Bands.end()) end = Count;
    end = std::min(end, Count);
    if (end <= x) continue;
    const uint32_t px = PixelOf(b->Color);
    if (Mirrored) std::fill(Out + (Count - end), Out + (Count - x), px);
    else std::fill(Out + x, Out + end, px);
    x = end;
  }
}

// Diagonal bands straight into 32-bit rows. Band k of pixel (x, y) is floor(n * half / (W * H))
// with n = x * H + (H - 1 - y) * W (x counted from the right when Mirrored) and half = d div 2,
// d = trunc(sqrt(W^2 + H^2)) + 1 colour steps: u = n / (W * H) runs from 0 at the bottom-left
// (bottom-right) corner to 2 at the opposite one.
//
// Writing n = (x + q) * H + r, a row is a window at q of the row of residue r; rows of one residue
// are copies. With few residues (W and H share a large factor) each residue's row is made once.
void RenderDiagonal(const TOffscreen& Target, int32_t W, int32_t H, bool Mirrored, TColor First, TColor Last,
                    uint8_t Steps) {
  const int64_t d = static_cast<int64_t>(std::sqrt(static_cast<double>(W) * W + static_cast<double>(H) * H)) + 1;
  const int64_t half = std::max<int64_t>(d / 2, 1);
  const std::vector<TBand> bands =
      MakeBands(First, Last, static_cast<int32_t>(d), static_cast<int32_t>(d), LeastBand(Steps, false));
  const int64_t wh = int64_t{W} * H, step = int64_t{H} * half;
  const int64_t residues = H / std::gcd(int64_t{W}, int64_t{H});
  if (residues * 4 > H) {
    for (int32_t y = 0; y < H; ++y)
      DiagonalSpans(Target.Row(y), W, int64_t{H - 1 - y} * W * half, step, wh, bands, Mirrored);
    return;
  }
  std::vector<std::pair<int64_t, int32_t>> rows;  // (residue, row)
  rows.reserve(static_cast<size_t>(H));
  for (int32_t y = 0; y < H; ++y) rows.emplace_back(int64_t{H - 1 - y} * W % H, y);
  std::sort(rows.begin(), rows.end());
  std::vector<uint32_t> master(static_cast<size_t>(2) * static_cast<size_t>(W));
  int64_t current = -1;
  for (const auto& [r, y] : rows) {
    if (r != current) {
      // Mirrored: the row of the residue backwards, so that windows are still copied forwards.
      DiagonalSpans(master.data(), static_cast<int64_t>(master.size()), r * half, step, wh, bands, Mirrored);
      current = r;
    }
    const auto q = static_cast<size_t>(int64_t{H - 1 - y} * W / H);
    std::copy_n(master.data() + (Mirrored ? static_cast<size_t>(W) - q : q), W, Target.Row(y));
  }
}

// Runs DiagonalGradientFill's work in an off-screen bitmap of the DC's size first when the DC is
// not one of ours.
void Diagonal(HDC DC, int32_t W, int32_t H, uint8_t Steps, TColor StartColor, TColor StopColor) {
  const bool mirrored = W < 0;
  const int32_t w = mirrored ? -W : W;
  if (w <= 0 || H <= 0) return;
  TOffscreen off(w, H);
  if (!off.Valid()) return;
  if (mirrored) RenderDiagonal(off, w, H, true, StopColor, StartColor, Steps);
  else RenderDiagonal(off, w, H, false, StartColor, StopColor, Steps);
  BitBlt(DC, 0, 0, w, H, off.DC(), 0, 0, SRCCOPY);
}

// ---------------------------------------------------------------------------------------------
// Transparent bitmaps

// A device monochrome bitmap selected into its own memory DC; both freed with the object.
class TMonoBitmap {
 public:
  TMonoBitmap(int32_t W, int32_t H) {
    bitmap_ = CreateBitmap(W, H, 1, 1, nullptr);
    if (!bitmap_) return;
    dc_ = CreateCompatibleDC(nullptr);
    if (dc_) old_ = SelectObject(dc_, bitmap_);
  }
  ~TMonoBitmap() {
    if (dc_) {
      SelectObject(dc_, old_);
      DeleteDC(dc_);
    }
    if (bitmap_) DeleteObject(bitmap_);
  }
  TMonoBitmap(const TMonoBitmap&) = delete;
  TMonoBitmap& operator=(const TMonoBitmap&) = delete;
  HDC DC() const { return dc_; }

 private:
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// The source part of Bitmap stretched into a new W x H image, and its monochrome mask (white
// where the image has the transparent colour).
struct TImageAndMask {
  TBitmap Image;
  std::unique_ptr<TMonoBitmap> Mask;
};

bool MakeImageAndMask(TImageAndMask& M, TBitmap* Bitmap, const TRect& DestRect, const TRect& SourceRect,
                      TColor TransparentColor) {
  const int32_t W = DestRect.Width(), H = DestRect.Height();
  if (!Bitmap || Bitmap->Empty() || W <= 0 || H <= 0 || SourceRect.Width() <= 0 || SourceRect.Height() <= 0)
    return false;
  M.Image.SetSize(W, H);
  HDC image = M.Image.Canvas()->Handle();
  StretchBlt(image, 0, 0, W, H, Bitmap->Canvas()->Handle(), SourceRect.Left, SourceRect.Top, SourceRect.Width(),
             SourceRect.Height(), SRCCOPY);
  M.Mask = std::make_unique<TMonoBitmap>(W, H);
  if (!M.Mask->DC()) return false;
  SetBkColor(image, static_cast<COLORREF>(ColorToRGB(TransparentColor)) & 0x00FFFFFF);
  BitBlt(M.Mask->DC(), 0, 0, W, H, image, 0, 0, SRCCOPY);
  return true;
}

// What DrawTransparentBitmap makes of a source before it draws (the stretched picture, its mask and
// the picture with the masked pixels black), kept for the sources the UI thread drew last. An
// entry serves only a source whose pixels, format, colour table and handle type, and a call whose
// rectangles and transparent colour, equal those it was made from: a source changed in any way
// (through its canvas, its scan lines or its handle) is made again.
struct TTransparentEntry {
  int32_t W = 0, H = 0;
  TRect Source;
  TColorRef Transparent = 0;
  TPixelFormat Format = pfDevice;
  TBitmapHandleType Type = bmDIB;
  int32_t BitmapW = 0, BitmapH = 0;
  std::vector<TRGBQuad> Colors;
  std::vector<uint8_t> Pixels;  // the source's rows that SourceRect spans
  TImageAndMask M;
  TBitmap Masked;
  TBitmap MaskColors;  // the mask drawn black (0 bits) and white (1 bits): AND-ed without conversion
};

std::vector<std::unique_ptr<TTransparentEntry>>& TransparentEntries() {
  static std::vector<std::unique_ptr<TTransparentEntry>> entries;  // most recently used first
  return entries;
}

// The bytes of one row of a bitmap of format F; 0 for a format with no fixed layout.
int32_t RowBytesOf(TPixelFormat F, int32_t W) {
  // Bits per pixel in the order of TPixelFormat (pfDevice is 32 bits here, pfCustom has none).
  static constexpr int32_t kBits[] = {32, 1, 4, 8, 16, 16, 24, 32, 0};
  const auto f = static_cast<size_t>(F);
  const int32_t bits = f < std::size(kBits) ? kBits[f] : 0;
  return static_cast<int32_t>((int64_t{W} * bits + 31) / 32 * 4);
}

// The kept entry for this call, made when none matches; nullptr where the call is not one to keep
// (another thread, an empty or odd source, sizes past a few glyphs), which then draws directly.
TTransparentEntry* KeptTransparentEntry(TBitmap* Bitmap, const TRect& DestRect, const TRect& SourceRect,
                                        TColor TransparentColor) {
  constexpr size_t kEntries = 32;
  constexpr int64_t kMaxPixels = 256 * 256;
  if (!Bitmap || Bitmap->Empty() || !IsUIThread()) return nullptr;
  const int32_t W = DestRect.Width(), H = DestRect.Height();
  const int32_t bw = Bitmap->Width(), bh = Bitmap->Height();
  if (W <= 0 || H <= 0 || SourceRect.Width() <= 0 || SourceRect.Height() <= 0) return nullptr;
  if (int64_t{W} * H > kMaxPixels || int64_t{SourceRect.Width()} * SourceRect.Height() > kMaxPixels) return nullptr;
  const TPixelFormat format = Bitmap->PixelFormat();
  const int32_t rowBytes = RowBytesOf(format, bw);
  if (rowBytes <= 0) return nullptr;
  // The source rectangle must address the pixels directly (the source's canvas unmapped).
  HDC source = Bitmap->Canvas()->Handle();
  TPoint windowOrg, viewportOrg;
  if (GetMapMode(source) != MM_TEXT || GetGraphicsMode(source) != GM_COMPATIBLE || !GetWindowOrgEx(source, &windowOrg) ||
      !GetViewportOrgEx(source, &viewportOrg) || windowOrg != TPoint() || viewportOrg != TPoint())
    return nullptr;
  const int32_t top = std::clamp(SourceRect.Top, 0, bh), bottom = std::clamp(SourceRect.Bottom, 0, bh);
  const auto transparent = static_cast<TColorRef>(ColorToRGB(TransparentColor)) & 0x00FFFFFF;
  const std::vector<TRGBQuad> colors = Bitmap->ColorTable();
  auto samePixels = [&](const TTransparentEntry& e) {
    const uint8_t* kept = e.Pixels.data();
    for (int32_t y = top; y < bottom; ++y, kept += rowBytes)
      if (std::memcmp(kept, Bitmap->ScanLineForRead(y), static_cast<size_t>(rowBytes)) != 0) return false;
    return true;
  };
  auto& entries = TransparentEntries();
  for (size_t i = 0; i < entries.size(); ++i) {
    TTransparentEntry& e = *entries[i];
    if (e.W != W || e.H != H || e.Source != SourceRect || e.Transparent != transparent || e.Format != format ||
        e.Type != Bitmap->HandleType() || e.BitmapW != bw || e.BitmapH != bh || e.Colors != colors || !samePixels(e))
      continue;
    std::rotate(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(i),
                entries.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    return entries.front().get();
  }
  auto e = std::make_unique<TTransparentEntry>();
  if (!MakeImageAndMask(e->M, Bitmap, DestRect, SourceRect, TransparentColor)) return nullptr;
  e->Masked.SetPixelFormat(pf32bit);
  e->Masked.SetSize(SourceRect.Width(), SourceRect.Height());
  TransparentMaskSource(e->Masked.Canvas()->Handle(), e->M.Image.Canvas()->Handle(), 0, 0, SourceRect.Width(),
                        SourceRect.Height(), e->M.Mask->DC(), 0, 0);
  e->MaskColors.SetPixelFormat(pf32bit);
  e->MaskColors.SetSize(W, H);
  HDC maskColors = e->MaskColors.Canvas()->Handle();
  const COLORREF text = SetTextColor(maskColors, 0), back = SetBkColor(maskColors, 0xFFFFFF);
  BitBlt(maskColors, 0, 0, W, H, e->M.Mask->DC(), 0, 0, SRCCOPY);
  SetTextColor(maskColors, text);
  SetBkColor(maskColors, back);
  e->W = W;
  e->H = H;
  e->Source = SourceRect;
  e->Transparent = transparent;
  e->Format = format;
  e->Type = Bitmap->HandleType();
  e->BitmapW = bw;
  e->BitmapH = bh;
  e->Colors = colors;
  e->Pixels.resize(static_cast<size_t>(bottom - top) * static_cast<size_t>(rowBytes));
  for (int32_t y = top; y < bottom; ++y)
    std::memcpy(e->Pixels.data() + static_cast<size_t>(y - top) * rowBytes, Bitmap->ScanLineForRead(y),
                static_cast<size_t>(rowBytes));
  if (entries.size() >= kEntries) entries.pop_back();
  entries.insert(entries.begin(), std::move(e));
  return entries.front().get();
}

// The lines of a linear gradient as bands Thickness pixels across, from (X, Y): rows for
// orHorizontal, columns for orVertical (see LinearGradientFill).
void LinearBands(HDC DC, TOrientation Lines, int32_t X, int32_t Y, int32_t Thickness, int32_t Centre, int32_t Size,
                 TColor StartColor, TColor StopColor, uint8_t Steps) {
  if (Size <= 0) return;
  const int32_t least = LeastBand(Steps, false);
  // One solid brush whose colour changes per band: the DC's own (its selection comes back at
  // the end).
  HGDIOBJ brush = GetStockObject(DC_BRUSH);
  HGDIOBJ oldBrush = SelectObject(DC, brush);
  const COLORREF oldColor = SetDCBrushColor(DC, 0);
  // Lines a..b-1 across the band.
  auto paint = [=](int32_t a, int32_t b, TColorRef c) {
    SetDCBrushColor(DC, c);
    FillRect(DC, Lines == orHorizontal ? TRect(X, Y + a, X + Thickness, Y + b) : TRect(X + a, Y, X + b, Y + Thickness),
             static_cast<HBRUSH>(brush));
  };
  // A pass over Count lines from line From towards line 0.
  auto pass = [&](int32_t From, int32_t Count, TColor First, TColor Target) {
    for (const TBand& band : MakeBands(First, Target, Count, Count, least))
      paint(From - band.First - band.Count + 1, From - band.First + 1, band.Color);
  };
  if (Centre < 0 || Centre >= Size) {
    pass(Size - 1, Size, StopColor, StartColor);
  } else {
    // From the centre (stop colour) towards line 0, then from the far end (start colour) back
    // towards the centre; a pass of no lines is skipped.
    pass(Centre, Centre + 1, StopColor, StartColor);
    if (Size - Centre - 1 > 0) pass(Size - 1, Size - Centre - 1, StartColor, StopColor);
  }
  SetDCBrushColor(DC, oldColor);
  SelectObject(DC, oldBrush);
}

}  // namespace

void DrawTransparentBitmap(TCanvas* Canvas, TBitmap* Bitmap, const TRect& DestRect, const TRect& SourceRect,
                           TColor TransparentColor) {
  if (TTransparentEntry* e = KeptTransparentEntry(Bitmap, DestRect, SourceRect, TransparentColor)) {
    // Unstretched, the mask in colour saves its conversion on every draw.
    const bool same = DestRect.Width() == SourceRect.Width() && DestRect.Height() == SourceRect.Height();
    TransparentStretchBltMasked(Canvas->Handle(), 0, 0, DestRect.Width(), DestRect.Height(),
                                e->Masked.Canvas()->Handle(), SourceRect.Width(), SourceRect.Height(),
                                same ? e->MaskColors.Canvas()->Handle() : e->M.Mask->DC(), 0, 0);
    return;
  }
  TImageAndMask m;
  if (!MakeImageAndMask(m, Bitmap, DestRect, SourceRect, TransparentColor)) return;
  TransparentStretchBlt(Canvas->Handle(), 0, 0, DestRect.Width(), DestRect.Height(), m.Image.Canvas()->Handle(), 0, 0,
                        SourceRect.Width(), SourceRect.Height(), m.Mask->DC(), 0, 0);
}

void ReleaseTransparentBitmaps() { TransparentEntries().clear(); }

void CopyTransparentRect(TCanvas* Canvas, TBitmap* Bitmap, const TRect& DestRect, const TRect& SourceRect,
                         TColor TransparentColor) {
  TImageAndMask m;
  if (!MakeImageAndMask(m, Bitmap, DestRect, SourceRect, TransparentColor)) return;
  const int32_t W = DestRect.Width(), H = DestRect.Height();
  HDC image = m.Image.Canvas()->Handle(), mask = m.Mask->DC();
  // The image's transparent pixels become black, so that OR-ing it keeps the canvas there.
  if ((ColorToRGB(TransparentColor) & 0x00FFFFFF) != 0) {
    SetBkColor(image, 0);
    SetTextColor(image, 0xFFFFFF);
    BitBlt(image, 0, 0, W, H, mask, 0, 0, SRCAND);
  }
  HDC dc = Canvas->Handle();
  Canvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  // The mask drawn in colour: its 0 bits (opaque) black, its 1 bits (transparent) white.
  const COLORREF text = SetTextColor(dc, 0), back = SetBkColor(dc, 0xFFFFFF);
  Canvas->SetCopyMode(cmSrcAnd);
  StretchBlt(dc, DestRect.Left, DestRect.Top, W, H, mask, 0, 0, W, H, static_cast<DWORD>(Canvas->CopyMode()));
  Canvas->SetCopyMode(cmSrcPaint);
  StretchBlt(dc, DestRect.Left, DestRect.Top, W, H, image, 0, 0, W, H, static_cast<DWORD>(Canvas->CopyMode()));
  SetTextColor(dc, text);
  SetBkColor(dc, back);
}

void StretchTransparentBitmap(TCanvas* Canvas, TBitmap* Bitmap, const TRect& DestRect, TColor TransparentColor) {
  if (!Bitmap) return;
  CopyTransparentRect(Canvas, Bitmap, DestRect, TRect(0, 0, Bitmap->Width(), Bitmap->Height()), TransparentColor);
}

void TileTransparentBitmap(TCanvas* Canvas, TBitmap* Bitmap, const TRect& Rect, TColor TransparentColor) {
  // A bitmap without pixels would never advance.
  if (!Bitmap || Bitmap->Width() <= 0 || Bitmap->Height() <= 0) return;
  const int32_t bw = Bitmap->Width(), bh = Bitmap->Height();
  for (int64_t y = Rect.Top; y < Rect.Bottom; y += bh) {
    const int32_t h = SmallerOf(bh, static_cast<int32_t>(Rect.Bottom - y));
    for (int64_t x = Rect.Left; x < Rect.Right; x += bw) {
      const int32_t w = SmallerOf(bw, static_cast<int32_t>(Rect.Right - x));
      const auto x0 = static_cast<int32_t>(x), y0 = static_cast<int32_t>(y);
      CopyTransparentRect(Canvas, Bitmap, TRect(x0, y0, x0 + w, y0 + h), TRect(0, 0, w, h), TransparentColor);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Gradients

void LinearGradientFill(HDC DC, TOrientation Lines, int32_t Centre, int32_t Size, TColor StartColor, TColor StopColor,
                        uint8_t Steps) {
  LinearBands(DC, Lines, 0, 0, 8, Centre, Size, StartColor, StopColor, Steps);
}

void BitFillBlit(HDC DC, int32_t X, int32_t Y, int32_t TotalW, int32_t TotalH, int32_t StripW, int32_t StripH,
                 DWORD Rop) {
  if (StripW <= 0 || StripH <= 0 || TotalW <= 0 || TotalH <= 0) return;
  int32_t w = std::min(StripW, TotalW), h = std::min(StripH, TotalH);
  while (w < TotalW || h < TotalH) {
    if (h < TotalH) {
      const int32_t add = std::min(h, TotalH - h);
      BitBlt(DC, X, Y + h, w, add, DC, X, Y, Rop);
      h += add;
    }
    if (w < TotalW) {
      const int32_t add = std::min(w, TotalW - w);
      BitBlt(DC, X + w, Y, add, h, DC, X, Y, Rop);
      w += add;
    }
  }
}

void BoxGradientFill(HDC DC, int32_t W, int32_t H, int32_t XOffset, int32_t YOffset, TColor StartColor,
                     TColor StopColor, uint8_t Steps) {
  if (W <= 0 || H <= 0) return;
  if (StartColor == StopColor || W <= 4 || H <= 4) {
    FillSolid(DC, TRect(0, 0, W + 1, H + 1), static_cast<TColorRef>(ColorToRGB(StartColor)));
    return;
  }
  const int32_t cx0 = (W - 1) >> 1, cy0 = (H - 1) >> 1;
  const int64_t cx = std::clamp<int64_t>(cx0 - int64_t{XOffset}, 0, cx0);
  const int64_t cy = std::clamp<int64_t>(cy0 - int64_t{YOffset}, 0, cy0);
  const int64_t n = std::max(cx, cy) + 1;
  // The corner point after k of n steps from (cx, cy) to (0, 0); 64-bit so that large areas
  // cannot overflow.
  auto px = [&](int64_t k) { return static_cast<int32_t>(cx * (n - k) / n); };
  auto py = [&](int64_t k) { return static_cast<int32_t>(cy * (n - k) / n); };
  // Each band covers steps First..First+Count-1; step 0 is the centre shape in the stop colour.
  for (const TBand& band : MakeBands(StopColor, StartColor, static_cast<int32_t>(n), static_cast<int32_t>(n + 1),
                                     LeastBand(Steps, true))) {
    const int64_t last = band.First + band.Count - 1;
    const int32_t nx = px(last), ny = py(last);
    if (band.First == 0) {
      FillSolid(DC, TRect(nx, ny, cx0 + 1, cy0 + 1), band.Color);
      continue;
    }
    // The L shape between the rectangle reached before the band and the one it reaches.
    const int32_t ox = px(band.First - 1), oy = py(band.First - 1);
    FillSolid(DC, TRect(nx, ny, cx0 + 1, oy), band.Color);
    FillSolid(DC, TRect(nx, oy, ox, cy0 + 1), band.Color);
  }
}

void BoxBitMirrorBlit(HDC DC, int32_t X, int32_t Y, int32_t W, int32_t H, DWORD Rop) {
  if (W <= 0 || H <= 0) return;
  // The computed quarter holds the centre row and column of odd sizes; the rows and columns
  // before them are mirrored onto the far side.
  const int32_t qw = (W + 1) >> 1, hh = H >> 1, hw = W >> 1;
  if (hh > 0) StretchBlt(DC, X, Y + H - 1, qw, -hh, DC, X, Y, qw, hh, Rop);
  if (hw > 0) StretchBlt(DC, X + W - 1, Y, -hw, H, DC, X, Y, hw, H, Rop);
}

namespace {

// Gradients of rows painted lately at small sizes, kept on the UI thread so that repainting a
// button face is one copy instead of a fill per band. Only for 32-bit targets with plain
// coordinates, where the copy gives the very pixels the bands would.
struct TKeptBands {
  int32_t W = 0, H = 0, Centre = 0;
  TColorRef Start = 0, Stop = 0;
  uint8_t Steps = 0;
  std::unique_ptr<TOffscreen> Pixels;
};

std::vector<TKeptBands>& KeptBandsList() {
  static std::vector<TKeptBands> kept;
  return kept;
}

bool PlainTarget32(HDC DC) {
  if (GetMapMode(DC) != MM_TEXT || GetGraphicsMode(DC) != GM_COMPATIBLE) return false;
  // A window's DC draws on the window's 32-bit surface; a memory DC on its bitmap.
  HGDIOBJ bitmap = GetCurrentObject(DC, OBJ_BITMAP);
  if (!bitmap) return GetObjectType(DC) == OBJ_DC;
  BITMAP bm{};
  return GetObject(bitmap, sizeof(bm), &bm) == sizeof(bm) && bm.bmBitsPixel == 32;
}

TOffscreen* KeptRowBands(HDC Target, int32_t W, int32_t H, int32_t Centre, TColor StartColor, TColor StopColor,
                         uint8_t Steps) {
  constexpr int64_t kMaxPixels = 64 * 1024;
  constexpr size_t kMaxEntries = 16;
  if (int64_t{W} * H > kMaxPixels || !IsUIThread() || !PlainTarget32(Target)) return nullptr;
  const auto start = static_cast<TColorRef>(ColorToRGB(StartColor));
  const auto stop = static_cast<TColorRef>(ColorToRGB(StopColor));
  auto& kept = KeptBandsList();
  for (size_t i = 0; i < kept.size(); ++i) {
    const TKeptBands& k = kept[i];
    if (k.W != W || k.H != H || k.Centre != Centre || k.Start != start || k.Stop != stop || k.Steps != Steps)
      continue;
    std::rotate(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(i),
                kept.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    return kept.front().Pixels.get();
  }
  auto pixels = std::make_unique<TOffscreen>(W, H);
  if (!pixels->Valid()) return nullptr;
  LinearBands(pixels->DC(), orHorizontal, 0, 0, W, Centre, H, StartColor, StopColor, Steps);
  if (kept.size() >= kMaxEntries) kept.pop_back();
  kept.insert(kept.begin(), TKeptBands{W, H, Centre, start, stop, Steps, std::move(pixels)});
  return kept.front().Pixels.get();
}

}  // namespace

void DiagonalGradientFill(HDC DC, int32_t W, int32_t H, uint8_t Steps, TColor StartColor, TColor StopColor) {
  Diagonal(DC, W, H, Steps, StartColor, StopColor);
}

void PaintGradientRect(TCanvas* Canvas, const TRect& Bounds, TGradientDirection Direction, TColor StartColor,
                       TColor StopColor, uint8_t Steps) {
  const int64_t w64 = std::llabs(int64_t{Bounds.Right} - Bounds.Left), h64 = std::llabs(int64_t{Bounds.Bottom} - Bounds.Top);
  if (w64 == 0 || h64 == 0 || w64 > INT32_MAX / 4 || h64 > INT32_MAX / 4) return;
  const auto W = static_cast<int32_t>(w64), H = static_cast<int32_t>(h64);
  HDC target = Canvas->Handle();
  switch (Direction) {
    case gdHorizontalEnd:
    case gdHorizontalCenter:
      // Whole rows and columns of one colour each: painted straight onto the canvas, whose picture
      // reaches the screen only after the paint.
      if (TOffscreen* kept = KeptRowBands(target, W, H, Direction == gdHorizontalCenter ? H / 2 : -1, StartColor,
                                          StopColor, Steps)) {
        BitBlt(target, Bounds.Left, Bounds.Top, W, H, kept->DC(), 0, 0, SRCCOPY);
        return;
      }
      LinearBands(target, orHorizontal, Bounds.Left, Bounds.Top, W, Direction == gdHorizontalCenter ? H / 2 : -1, H,
                  StartColor, StopColor, Steps);
      return;
    case gdVerticalEnd:
    case gdVerticalCenter: {
      // Columns: a strip of rows built once off screen, then copied down the rectangle.
      const int32_t strip = std::min(H, 64);
      std::unique_ptr<TOffscreen> own;
      TOffscreen* off = Scratch(W, strip, own);
      if (!off) return;
      LinearBands(off->DC(), orVertical, 0, 0, 8, Direction == gdVerticalCenter ? W / 2 : -1, W, StartColor, StopColor,
                  Steps);
      BitFillBlit(off->DC(), 0, 0, W, strip, W, 8, SRCCOPY);
      for (int32_t y = 0; y < H; y += strip)
        BitBlt(target, Bounds.Left, Bounds.Top + y, W, std::min(strip, H - y), off->DC(), 0, 0, SRCCOPY);
      return;
    }
    default:
      break;
  }
  std::unique_ptr<TOffscreen> own;
  TOffscreen* off = Scratch(W, H, own);
  if (!off) return;
  HDC dc = off->DC();
  const TColorRef start = static_cast<TColorRef>(ColorToRGB(StartColor)), stop = static_cast<TColorRef>(ColorToRGB(StopColor));
  switch (Direction) {
    case gdDiagonalUp:
    case gdDiagonalDown:
      if (start == stop) FillSolid(dc, TRect(0, 0, W, H), start);
      else if (Direction == gdDiagonalUp) RenderDiagonal(*off, W, H, false, StartColor, StopColor, Steps);
      else RenderDiagonal(*off, W, H, true, StopColor, StartColor, Steps);
      break;
    default: {
      const int32_t xOffset = Direction == gdHorizontalBox || Direction == gdBigSquareBox ? W >> 2 : 0;
      const int32_t yOffset = Direction == gdVerticalBox || Direction == gdBigSquareBox ? H >> 2 : 0;
      BoxGradientFill(dc, W, H, xOffset, yOffset, StartColor, StopColor, Steps);
      BoxBitMirrorBlit(dc, 0, 0, W, H, SRCCOPY);
      break;
    }
  }
  BitBlt(target, Bounds.Left, Bounds.Top, W, H, dc, 0, 0, SRCCOPY);
}

void ReleaseGradientScratch() {
  ScratchHolder().reset();
  KeptBandsList().clear();
}

// ---------------------------------------------------------------------------------------------
// The parent's background

void PaintParentBackground(TControl* Control, HDC DC, bool InvalidateParent) {
  if (!Control || !DC) return;
  TWinControl* parent = Control->Parent();
  if (!parent) return;
  // A parent paints its windowless children too: a control asking again while its parent paints
  // for it is answered with nothing.
  static std::vector<TControl*> painting;
  if (std::find(painting.begin(), painting.end(), Control) != painting.end()) return;
  const bool designing = Control->ComponentState().Contains(csDesigning);
  const int32_t saved = SaveDC(DC);
  painting.push_back(Control);
  try {
    TPoint org;
    GetViewportOrgEx(DC, &org);
    SetViewportOrgEx(DC, org.X - Control->Left(), org.Y - Control->Top(), nullptr);
    IntersectClipRect(DC, 0, 0, parent->ClientWidth(), parent->ClientHeight());
    bool erased = true;
    try {
      parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), 0);
    } catch (...) {
      if (!designing) throw;
      erased = false;
    }
    if (erased) {
      try {
        parent->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
      } catch (...) {
        if (!designing) throw;
      }
    }
  } catch (...) {
    painting.pop_back();
    RestoreDC(DC, saved);
    throw;
  }
  painting.pop_back();
  RestoreDC(DC, saved);
  if (InvalidateParent && !designing && !dynamic_cast<TCustomControl*>(parent) && !dynamic_cast<TCustomForm*>(parent))
    parent->Invalidate();
}

void PaintParentBackground(TControl* Control, TCanvas* Canvas, bool InvalidateParent) {
  if (!Canvas) return;
  PaintParentBackground(Control, Canvas->Handle(), InvalidateParent);
}
