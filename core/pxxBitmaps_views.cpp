// The special pixel containers: TPXDibbitmap (a DIB section with a memory device context),
// TPXWorkBitmap (a bare scratch buffer), and the virtual views TPXVirtualRotatedBitmap and
// TPXVirtualClippedBitmap.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_bits.h"

// ---------------------------------------------------------------------------------------------
// TPXDibbitmap

TPXDibbitmap::TPXDibbitmap() {
  FBitmapInfo = TPXDibBitmapInfo{};
  FBitmapInfo.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  FBitmapInfo.bmiHeader.biPlanes = 1;
  FBitmapInfo.bmiHeader.biCompression = BI_RGB;
  FBitmapInfo.bmiColors[1].rgbBlue = FBitmapInfo.bmiColors[1].rgbGreen = FBitmapInfo.bmiColors[1].rgbRed = 255;
}

TPXDibbitmap::~TPXDibbitmap() { FreeBits(); }

void* TPXDibbitmap::GetScanline(int32_t Row) {
  return FBits ? FBits + static_cast<int64_t>(FHeight - 1 - Row) * FRowLen : nullptr;
}
int32_t TPXDibbitmap::GetBitCount() { return FBitCount; }
int32_t TPXDibbitmap::GetHeight() { return FHeight; }
int32_t TPXDibbitmap::GetWidth() { return FWidth; }
void TPXDibbitmap::SetWidth(int32_t) { throw EPXException("Cannot resize TPXDibBitmap"); }
void TPXDibbitmap::SetHeight(int32_t) { throw EPXException("Cannot resize TPXDibBitmap"); }
TPXPixelFormat TPXDibbitmap::GetPixelFormat() {
  return FBitCount == 1 ? px1g : (FBitCount == 24 ? px24RGB : pxNoFormat);
}
int64_t TPXDibbitmap::GetRowLen() { return FRowLen; }
TRGB* TPXDibbitmap::GetPalette() { return nullptr; }
void TPXDibbitmap::GetPaletteColor(int32_t, TRGB& Color) { Color = TRGB{}; }
void TPXDibbitmap::SetPaletteColor(int32_t, const TRGB&) {}
int32_t TPXDibbitmap::GetPaletteLength() { return 0; }
int32_t TPXDibbitmap::GetPaletteUsed() { return 0; }
void TPXDibbitmap::SetPaletteUsed(int32_t) {}
void TPXDibbitmap::CopyPaletteTo(TPXBaseBitmap*) {}

bool TPXDibbitmap::Allocate(int32_t Width, int32_t Height, TPXPixelFormat PixelFormat) {
  if (PixelFormat == px1g) return AllocateBits(Width, Height, 1);
  if (PixelFormat == px24RGB) return AllocateBits(Width, Height, 24);
  return false;
}

void TPXDibbitmap::Assign(TObject* Source) {
  auto* src = dynamic_cast<TPXDibbitmap*>(Source);
  if (!src || src == this) return;
  if (!AllocateBits(src->FWidth, src->FHeight, src->FBitCount)) return;
  std::memcpy(FBits, src->FBits, static_cast<size_t>(FRowLen) * static_cast<size_t>(FHeight));
}

void TPXDibbitmap::AssignImage(TObject* Source) { Assign(Source); }

bool TPXDibbitmap::AllocateBits(int32_t Width, int32_t Height, int32_t BitCount) {
  if (Width <= 0 || Height <= 0) return false;
  FreeBits();
  FWidth = Width;
  FHeight = Height;
  FBitCount = BitCount;
  FRowLen = static_cast<int32_t>(RowByteLength(Width, BitCount, 32));
  FDC = CreateCompatibleDC(nullptr);
  if (!FDC) {
    FreeBits();
    return false;
  }
  BITMAPINFOHEADER& h = FBitmapInfo.bmiHeader;
  h.biBitCount = static_cast<WORD>(BitCount);
  h.biWidth = Width;
  h.biHeight = Height;
  h.biSizeImage = static_cast<DWORD>(FRowLen) * static_cast<DWORD>(Height);
  void* bits = nullptr;
  FDIBSection = CreateDIBSection(FDC, reinterpret_cast<const BITMAPINFO*>(&FBitmapInfo), DIB_RGB_COLORS, &bits,
                                 nullptr, 0);
  if (!FDIBSection || !bits) {
    FreeBits();
    return false;
  }
  FBits = static_cast<uint8_t*>(bits);
  SelectObject(FDC, FDIBSection);
  return true;
}

void TPXDibbitmap::FreeBits() {
  // The context goes first: a bitmap selected into a context cannot be deleted.
  if (FDC) DeleteDC(FDC);
  if (FDIBSection) DeleteObject(FDIBSection);
  FDC = nullptr;
  FDIBSection = nullptr;
  FBits = nullptr;
  FBitmapInfo.bmiHeader.biSizeImage = 0;
  FWidth = FHeight = FBitCount = FRowLen = 0;
}

// ---------------------------------------------------------------------------------------------
// TPXWorkBitmap

TPXWorkBitmap::TPXWorkBitmap(int32_t Width, int32_t Height, int32_t BitsPerPixel) {
  if (Width > 0 && Height > 0) Allocate(Width, Height, BitsPerPixel);
}

TPXWorkBitmap::~TPXWorkBitmap() { FreeBuffer(); }

void TPXWorkBitmap::Allocate(int32_t Width, int32_t Height, int32_t BitsPerPixel) {
  if (Width == FWidth && Height == FHeight && BitsPerPixel == FBitsPerPixel) return;
  FreeBuffer();
  if (Width <= 0 || Height <= 0 || BitsPerPixel <= 0) return;
  const int64_t rowLen = RowByteLength(Width, BitsPerPixel, 32);
  if (rowLen > INT32_MAX) throw EOutOfMemory("Out of memory");
  const int64_t size = rowLen * Height;
  FBlock.reset(static_cast<uint8_t*>(AllocBlock(false, size)));
  if (!FBlock && GlobalSettingsInstance()->FSegmentedMemory) {
    // Segments as the bitmap's: 4 to start, doubling while below the height, never below
    // 10 MB each once more than four are needed.
    for (int64_t n = 4; n < Height || n == 4; n *= 2) {
      const int64_t rows = (Height + n - 1) / n;
      const int64_t bytes = rows * rowLen;
      if (bytes < 10485760 && n > 4) break;
      std::vector<TPXGlobalPtr> segs;
      for (int64_t i = 0; i < n; ++i) {
        segs.emplace_back(static_cast<uint8_t*>(GlobalAllocZeroed(bytes)));
        if (!segs.back()) break;
      }
      if (segs.back()) {
        FSegments = std::move(segs);
        FRowsPerSegment = static_cast<int32_t>(rows);
        break;
      }
      if (n >= Height) break;
    }
  }
  if (!FBlock && FSegments.empty()) throw EOutOfMemory("Out of memory");
  FWidth = Width;
  FHeight = Height;
  FBitsPerPixel = BitsPerPixel;
  FRowLen = static_cast<int32_t>(rowLen);
}

uint8_t* TPXWorkBitmap::GetScanline(int32_t Y) {
  if (FBlock) return FBlock.get() + static_cast<int64_t>(FRowLen) * (FHeight - 1 - Y);
  if (FSegments.empty() || FRowsPerSegment <= 0) return nullptr;
  return FSegments[Y / FRowsPerSegment].get() + static_cast<int64_t>(Y % FRowsPerSegment) * FRowLen;
}

void TPXWorkBitmap::FreeBuffer() {
  FBlock.reset();
  FSegments.clear();
  FRowsPerSegment = 0;
  FWidth = FHeight = FBitsPerPixel = FRowLen = 0;
}

// ---------------------------------------------------------------------------------------------
// TPXVirtualRotatedBitmap
//
// The four maps hold coordinates in fixed point with kFrac fraction bits, so that a source
// coordinate is rounded once from the sum of its column and row parts: the view at 0 and 90
// degrees then reproduces the source exactly.

namespace {
constexpr int kFrac = 12;
constexpr int32_t kHalf = 1 << (kFrac - 1);
int32_t Fixed(double v) { return static_cast<int32_t>(Round(v * (1 << kFrac))); }
int32_t FromFixed(int32_t v) { return (v + kHalf) >> kFrac; }

void CopyDisplayAttributes(TPXBitmap* From, TPXBitmap* To) {
  To->FContrast = From->FContrast;
  std::memcpy(To->FChannelOffset, From->FChannelOffset, sizeof To->FChannelOffset);
  To->FChannelOffsetEnabled = From->FChannelOffsetEnabled;
  To->FDisplayRangeLow = From->FDisplayRangeLow;
  To->FDisplayRangeHigh = From->FDisplayRangeHigh;
}
}  // namespace

TPXVirtualRotatedBitmap::TPXVirtualRotatedBitmap(std::unique_ptr<TPXBitmap> Source, double Angle, TColor Background)
    : TPXVirtualRotatedBitmap(Source.get(), Angle, Background) {
  FOwnedSource = std::move(Source);
}

TPXVirtualRotatedBitmap::TPXVirtualRotatedBitmap(TPXBitmap* Source, double Angle, TColor Background) {
  SetOnVirtualPixel(TPXVirtualPixelEvent(this, &TPXVirtualRotatedBitmap::VirtualPixel));
  FSource = Source;
  FSourceWidth = Source->Width();
  FSourceHeight = Source->Height();
  FSourceFormat = Source->PixelFormat();
  FAngle = Angle;
  FAngleRad = Angle * std::numbers::pi / 180;
  const double c = std::cos(FAngleRad), s = std::sin(FAngleRad);
  const double w = FSourceWidth, h = FSourceHeight;
  FWidth = static_cast<int32_t>(Round(std::fabs(c * w) + std::fabs(s * h)));
  FHeight = static_cast<int32_t>(Round(std::fabs(s * w) + std::fabs(c * h)));
  FIsAlphaChannel = Source->FIsAlphaChannel;
  FPixelFormat = FIsAlphaChannel ? px8g : px24RGB;
  FBitCount = PixelFormatBits(FPixelFormat);
  FChannelCount = PixelFormatChannels(FPixelFormat);
  FRowLen = RowByteLength(FWidth, FBitCount, 8);
  FBackgroundRGB = TColorToRGB(Background);
  FBackgroundGray = static_cast<uint8_t>(Background & 0xFF);
  CopyDisplayAttributes(Source, this);

  const double cx = (FWidth - 1) / 2.0, cy = (FHeight - 1) / 2.0;
  FColumnX.resize(static_cast<size_t>(std::max(FWidth, 0)));
  FColumnY.resize(FColumnX.size());
  for (int32_t x = 0; x < FWidth; ++x) {
    FColumnX[x] = Fixed((w - 1) / 2 + c * (x - cx));
    FColumnY[x] = Fixed((h - 1) / 2 + s * (x - cx));
  }
  FRowX.resize(static_cast<size_t>(std::max(FHeight, 0)));
  FRowY.resize(FRowX.size());
  for (int32_t y = 0; y < FHeight; ++y) {
    FRowX[y] = Fixed(s * (y - cy));
    FRowY[y] = Fixed(c * (y - cy));
  }
}

TPXVirtualRotatedBitmap::~TPXVirtualRotatedBitmap() = default;

void TPXVirtualRotatedBitmap::VirtualPixel(TObject*, int32_t X, int32_t Y, void* Pixel) {
  const int32_t sy = FromFixed(FColumnY[X] + FRowY[Y]);
  const int32_t sx = FromFixed(FColumnX[X] - FRowX[Y]);
  const bool grey = FPixelFormat == px8g;
  if (sx < 0 || sy < 0 || sx >= FSourceWidth || sy >= FSourceHeight) {
    if (grey) *static_cast<uint8_t*>(Pixel) = FBackgroundGray;
    else std::memcpy(Pixel, &FBackgroundRGB, 3);
    return;
  }
  if (FSourceFormat == px24RGB) {
    std::memcpy(Pixel, FSource->Scanline(sy) + 3 * static_cast<int64_t>(sx), 3);
  } else if (grey && FSourceFormat == px8g) {
    *static_cast<uint8_t*>(Pixel) = FSource->GetPixel8(sx, sy);
  } else {
    const TRGB c = FSource->GetPixelRGB(sx, sy);
    if (grey) *static_cast<uint8_t*>(Pixel) = c.g;
    else std::memcpy(Pixel, &c, 3);
  }
}

// ---------------------------------------------------------------------------------------------
// TPXVirtualClippedBitmap

TPXVirtualClippedBitmap::TPXVirtualClippedBitmap(TPXBitmap* Source, const TRect& Rect) : FSource(Source) {
  // Virtual, so that nothing allocates storage for it; single pixels come from the source.
  SetOnVirtualPixel(TPXVirtualPixelEvent([this](TObject*, int32_t X, int32_t Y, void* Pixel) {
    if (FBitCount < 8) return;
    const void* p = FSource->GetPixelAddress(Y + FClipRect.Top, X + FClipRect.Left, 1);
    if (p) std::memcpy(Pixel, p, static_cast<size_t>(FBitCount / 8));
  }));
  // The rectangle (inclusive) is kept inside the source, so every row address is valid.
  FClipRect.Left = std::max(Rect.Left, 0);
  FClipRect.Top = std::max(Rect.Top, 0);
  FClipRect.Right = std::min(Rect.Right, Source->Width() - 1);
  FClipRect.Bottom = std::min(Rect.Bottom, Source->Height() - 1);
  FWidth = std::max(FClipRect.Right - FClipRect.Left + 1, 0);
  FHeight = std::max(FClipRect.Bottom - FClipRect.Top + 1, 0);
  FPixelFormat = Source->PixelFormat();
  FIsAlphaChannel = Source->FIsAlphaChannel;
  FBitCount = Source->BitCount();
  FRowAlignment = Source->RowAlignment();
  FRowLen = RowByteLength(FWidth, FBitCount, FRowAlignment);
  FChannelCount = Source->ChannelCount();
  CopyDisplayAttributes(Source, this);
}

// The alpha view goes before an owned source (members are destroyed in reverse order).
TPXVirtualClippedBitmap::~TPXVirtualClippedBitmap() = default;

void* TPXVirtualClippedBitmap::GetScanline(int32_t Row) {
  uint8_t* src = FSource->Scanline(Row + FClipRect.Top);
  if (!src) return nullptr;
  if (FBitCount != 1) return src + static_cast<int64_t>(FClipRect.Left) * (FBitCount / 8);
  if (FClipRect.Left % 8 == 0) return src + FClipRect.Left / 8;
  // A 1-bit row that does not start on a byte is shifted into the row buffer (a copy: writes
  // through it do not reach the source).
  FVirtualRowBuffer.resize(static_cast<size_t>(FRowLen) + 1);
  CopyBits(FVirtualRowBuffer.data(), src, 0, FClipRect.Left, FWidth, static_cast<int32_t>(FSource->RowLen()));
  return FVirtualRowBuffer.data();
}

TRGB* TPXVirtualClippedBitmap::GetPalette() { return FSource->GetPalette(); }
void TPXVirtualClippedBitmap::GetPaletteColor(int32_t Index, TRGB& Color) { FSource->GetPaletteColor(Index, Color); }
int32_t TPXVirtualClippedBitmap::GetPaletteLength() { return FSource->GetPaletteLength(); }
int32_t TPXVirtualClippedBitmap::GetPaletteUsed() { return FSource->GetPaletteUsed(); }

TPXBitmap* TPXVirtualClippedBitmap::GetAlphaChannel() {
  if (!FClippedAlpha) {
    TPXBitmap* alpha = FSource->GetAlphaChannel();
    if (!alpha) return nullptr;
    FClippedAlpha = std::make_unique<TPXVirtualClippedBitmap>(alpha, FClipRect);
  }
  return FClippedAlpha.get();
}

TPXBitmap* TPXVirtualClippedBitmap::PeekAlphaChannel() {
  // A view of an alpha channel the source already has is made on first sight.
  if (!FClippedAlpha && FSource->PeekAlphaChannel()) return GetAlphaChannel();
  return FClippedAlpha.get();
}

void* TPXVirtualClippedBitmap::GetPixelAddress(int32_t Row, int32_t Col, int32_t Count) {
  if (FBitCount == 1) return GetScanline(Row);
  return FSource->GetPixelAddress(Row + FClipRect.Top, Col + FClipRect.Left, Count);
}

void* TPXVirtualClippedBitmap::AcquireScanline(int32_t Row) {
  auto* src = static_cast<uint8_t*>(FSource->AcquireScanline(Row + FClipRect.Top));
  if (!src) return nullptr;
  if (FBitCount == 1) return FClipRect.Left % 8 == 0 ? src + FClipRect.Left / 8 : GetScanline(Row);
  return src + static_cast<int64_t>(FClipRect.Left) * (FBitCount / 8);
}

void TPXVirtualClippedBitmap::ReleaseScanline(int32_t Row) { FSource->ReleaseScanline(Row + FClipRect.Top); }
