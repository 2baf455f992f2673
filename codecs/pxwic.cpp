// The imaging component's registry, pixel sources and layout converter.
#include "codecs/pxwic.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/Classes.h"

namespace {

std::mutex gProvidersLock;
std::vector<std::shared_ptr<TPXWICProvider>>& Providers() {
  static std::vector<std::shared_ptr<TPXWICProvider>> list;
  return list;
}

// Rows and pictures larger than this are refused before anything is allocated.
constexpr uint64_t kMaxPictureBytes = uint64_t{1} << 32;

}  // namespace

void CheckWICResult(TPXWICResult Result) {
  if (Result < 0) throw EPXException("WIC Failure");
}

int32_t WICBitsPerPixel(TPXWICPixelFormat Format) {
  switch (Format) {
    case wpf1bppIndexed:
    case wpfBlackWhite:
      return 1;
    case wpf8bppIndexed:
    case wpf8bppGray:
      return 8;
    case wpf16bppGray:
      return 16;
    case wpf24bppBGR:
    case wpf24bppRGB:
      return 24;
    case wpf32bppBGRA:
    case wpf32bppRGBA:
    case wpf32bppCMYK:
      return 32;
    case wpf48bppRGB:
      return 48;
    case wpf64bppRGBA:
      return 64;
    case wpfUndefined:
      break;
  }
  return 0;
}

int32_t WICChannelCount(TPXWICPixelFormat Format) {
  switch (Format) {
    case wpf24bppBGR:
    case wpf24bppRGB:
    case wpf48bppRGB:
      return 3;
    case wpf32bppBGRA:
    case wpf32bppRGBA:
    case wpf64bppRGBA:
    case wpf32bppCMYK:
      return 4;
    case wpfUndefined:
      return 0;
    default:
      return 1;
  }
}

uint64_t WICRowBytes(TPXWICPixelFormat Format, uint32_t Width) {
  return (uint64_t(Width) * uint64_t(WICBitsPerPixel(Format)) + 7) / 8;
}

TPXPixelFormat WICPixelFormatToPX(TPXWICPixelFormat Format, const std::vector<uint32_t>& Palette, bool& HasAlpha) {
  HasAlpha = false;
  switch (Format) {
    case wpf1bppIndexed:
    case wpfBlackWhite:
      return px1g;
    case wpf8bppIndexed:
      HasAlpha = std::any_of(Palette.begin(), Palette.end(), [](uint32_t c) { return (c >> 24) != 0xFF; });
      return px8p;
    case wpf8bppGray:
      return px8g;
    case wpf16bppGray:
      return px16g;
    case wpf24bppBGR:
      return px24RGB;
    case wpf32bppBGRA:
      HasAlpha = true;
      return px24RGB;
    case wpf32bppRGBA:
      HasAlpha = true;
      return px32RGB;
    case wpf48bppRGB:
      return pxRGB48;
    case wpf32bppCMYK:
      return pxCMYK;
    default:
      return pxNoFormat;
  }
}

const TPXWICOption* FindWICOption(const TPXWICPropertyBag& Bag, std::string_view Name) {
  for (const TPXWICOption& o : Bag)
    if (o.Name == Name) return &o;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Memory source

TPXWICMemorySource::TPXWICMemorySource(uint32_t Width, uint32_t Height, TPXWICPixelFormat Format)
    : FWidth(Width), FHeight(Height), FFormat(Format), FStride(WICRowBytes(Format, Width)) {
  if (Width == 0 || Height == 0 || FStride == 0 || FStride * Height > kMaxPictureBytes)
    throw EPXException("WIC Failure");
  FPixels = std::make_unique_for_overwrite<uint8_t[]>(size_t(FStride * Height));
}

TPXWICResult TPXWICMemorySource::GetSize(uint32_t& Width, uint32_t& Height) {
  Width = FWidth;
  Height = FHeight;
  return wicOK;
}

TPXWICResult TPXWICMemorySource::GetPixelFormat(TPXWICPixelFormat& Format) {
  Format = FFormat;
  return wicOK;
}

TPXWICResult TPXWICMemorySource::GetResolution(double& DpiX, double& DpiY) {
  if (FDpiX <= 0 || FDpiY <= 0) return wicNotImpl;
  DpiX = FDpiX;
  DpiY = FDpiY;
  return wicOK;
}

TPXWICResult TPXWICMemorySource::CopyPalette(std::vector<uint32_t>& Colors) {
  if (FFormat != wpf8bppIndexed && FFormat != wpf1bppIndexed) return wicPaletteUnavailable;
  Colors = FPalette;
  return wicOK;
}

// Copies the bits Left .. Left + Width - 1 of a 1-bit row to the start of Dest.
static void CopyRowBits(const uint8_t* Src, uint32_t Left, uint32_t Width, uint8_t* Dest) {
  if (Left % 8 == 0) {
    std::memcpy(Dest, Src + Left / 8, (Width + 7) / 8);
    return;
  }
  std::memset(Dest, 0, (Width + 7) / 8);
  for (uint32_t x = 0; x < Width; ++x) {
    const uint32_t s = Left + x;
    if (Src[s >> 3] & (0x80 >> (s & 7))) Dest[x >> 3] |= uint8_t(0x80 >> (x & 7));
  }
}

TPXWICResult TPXWICMemorySource::CopyPixels(uint32_t Left, uint32_t Top, uint32_t Width, uint32_t Count,
                                            uint32_t Stride, uint64_t BufferSize, uint8_t* Buffer) {
  if (!Buffer || uint64_t(Left) + Width > FWidth || uint64_t(Top) + Count > FHeight) return wicInvalidArg;
  const uint64_t bytes = WICRowBytes(FFormat, Width);
  if (Count == 0) return wicOK;
  if (Stride < bytes || uint64_t(Stride) * (Count - 1) + bytes > BufferSize) return wicInvalidArg;
  const int32_t bpp = WICBitsPerPixel(FFormat);
  for (uint32_t y = 0; y < Count; ++y) {
    const uint8_t* src = Row(Top + y);
    uint8_t* dst = Buffer + uint64_t(Stride) * y;
    if (bpp == 1) CopyRowBits(src, Left, Width, dst);
    else std::memcpy(dst, src + uint64_t(Left) * uint64_t(bpp / 8), size_t(bytes));
  }
  return wicOK;
}

// ---------------------------------------------------------------------------------------------
// Format converter

namespace {

struct TRGBA16 {
  uint16_t r, g, b, a;
};

inline uint16_t Widen(uint8_t v) { return uint16_t(v * 257); }
inline uint8_t Narrow(uint16_t v) { return uint8_t(v >> 8); }

uint16_t Get16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
void Put16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// One row of any layout as 16-bit RGBA (CMYK through the usual uncalibrated formula).
void ReadRGBA(TPXWICPixelFormat F, const uint8_t* s, uint32_t Width, const std::vector<uint32_t>& Pal, TRGBA16* o) {
  const auto fromPal = [&](uint32_t i) {
    const uint32_t c = i < Pal.size() ? Pal[i] : 0xFF000000u;
    return TRGBA16{Widen(uint8_t(c >> 16)), Widen(uint8_t(c >> 8)), Widen(uint8_t(c)), Widen(uint8_t(c >> 24))};
  };
  for (uint32_t x = 0; x < Width; ++x) {
    switch (F) {
      case wpf1bppIndexed:
        o[x] = fromPal((s[x >> 3] >> (7 - (x & 7))) & 1);
        break;
      case wpfBlackWhite: {
        const uint16_t v = ((s[x >> 3] >> (7 - (x & 7))) & 1) ? 0xFFFF : 0;
        o[x] = {v, v, v, 0xFFFF};
        break;
      }
      case wpf8bppIndexed:
        o[x] = fromPal(s[x]);
        break;
      case wpf8bppGray: {
        const uint16_t v = Widen(s[x]);
        o[x] = {v, v, v, 0xFFFF};
        break;
      }
      case wpf16bppGray: {
        const uint16_t v = Get16(s + 2 * x);
        o[x] = {v, v, v, 0xFFFF};
        break;
      }
      case wpf24bppBGR:
        o[x] = {Widen(s[3 * x + 2]), Widen(s[3 * x + 1]), Widen(s[3 * x]), 0xFFFF};
        break;
      case wpf24bppRGB:
        o[x] = {Widen(s[3 * x]), Widen(s[3 * x + 1]), Widen(s[3 * x + 2]), 0xFFFF};
        break;
      case wpf32bppBGRA:
        o[x] = {Widen(s[4 * x + 2]), Widen(s[4 * x + 1]), Widen(s[4 * x]), Widen(s[4 * x + 3])};
        break;
      case wpf32bppRGBA:
        o[x] = {Widen(s[4 * x]), Widen(s[4 * x + 1]), Widen(s[4 * x + 2]), Widen(s[4 * x + 3])};
        break;
      case wpf48bppRGB:
        o[x] = {Get16(s + 6 * x), Get16(s + 6 * x + 2), Get16(s + 6 * x + 4), 0xFFFF};
        break;
      case wpf64bppRGBA:
        o[x] = {Get16(s + 8 * x), Get16(s + 8 * x + 2), Get16(s + 8 * x + 4), Get16(s + 8 * x + 6)};
        break;
      case wpf32bppCMYK: {
        const uint32_t k = 255u - s[4 * x + 3];
        const auto ch = [&](uint8_t ink) { return Widen(uint8_t((255u - ink) * k / 255u)); };
        o[x] = {ch(s[4 * x]), ch(s[4 * x + 1]), ch(s[4 * x + 2]), 0xFFFF};
        break;
      }
      case wpfUndefined:
        o[x] = {0, 0, 0, 0xFFFF};
        break;
    }
  }
}

uint16_t GreyOf(const TRGBA16& p) { return uint16_t((uint32_t(p.r) * 299 + uint32_t(p.g) * 587 + uint32_t(p.b) * 114 + 500) / 1000); }

void WriteRGBA(TPXWICPixelFormat F, const TRGBA16* p, uint32_t Width, uint8_t* d) {
  for (uint32_t x = 0; x < Width; ++x) {
    switch (F) {
      case wpf8bppGray:
        d[x] = Narrow(GreyOf(p[x]));
        break;
      case wpf16bppGray:
        Put16(d + 2 * x, GreyOf(p[x]));
        break;
      case wpf24bppBGR:
        d[3 * x] = Narrow(p[x].b), d[3 * x + 1] = Narrow(p[x].g), d[3 * x + 2] = Narrow(p[x].r);
        break;
      case wpf24bppRGB:
        d[3 * x] = Narrow(p[x].r), d[3 * x + 1] = Narrow(p[x].g), d[3 * x + 2] = Narrow(p[x].b);
        break;
      case wpf32bppBGRA:
        d[4 * x] = Narrow(p[x].b), d[4 * x + 1] = Narrow(p[x].g), d[4 * x + 2] = Narrow(p[x].r);
        d[4 * x + 3] = Narrow(p[x].a);
        break;
      case wpf32bppRGBA:
        d[4 * x] = Narrow(p[x].r), d[4 * x + 1] = Narrow(p[x].g), d[4 * x + 2] = Narrow(p[x].b);
        d[4 * x + 3] = Narrow(p[x].a);
        break;
      case wpf48bppRGB:
        Put16(d + 6 * x, p[x].r), Put16(d + 6 * x + 2, p[x].g), Put16(d + 6 * x + 4, p[x].b);
        break;
      case wpf64bppRGBA:
        Put16(d + 8 * x, p[x].r), Put16(d + 8 * x + 2, p[x].g), Put16(d + 8 * x + 4, p[x].b);
        Put16(d + 8 * x + 6, p[x].a);
        break;
      case wpf32bppCMYK: {
        const uint8_t r = Narrow(p[x].r), g = Narrow(p[x].g), b = Narrow(p[x].b);
        const uint8_t k = uint8_t(255 - std::max({r, g, b}));
        const auto ink = [&](uint8_t v) { return k == 255 ? uint8_t(0) : uint8_t((255u - v - k) * 255u / (255u - k)); };
        d[4 * x] = ink(r), d[4 * x + 1] = ink(g), d[4 * x + 2] = ink(b), d[4 * x + 3] = k;
        break;
      }
      default:
        break;
    }
  }
}

class TFormatConverter : public IPXWICBitmapSource {
 public:
  TFormatConverter(IPXWICBitmapSource* Source, TPXWICPixelFormat From, TPXWICPixelFormat To)
      : FSource(Source), FFrom(From), FTo(To) {}

  TPXWICResult GetSize(uint32_t& W, uint32_t& H) override { return FSource->GetSize(W, H); }
  TPXWICResult GetPixelFormat(TPXWICPixelFormat& F) override {
    F = FTo;
    return wicOK;
  }
  TPXWICResult GetResolution(double& X, double& Y) override { return FSource->GetResolution(X, Y); }
  TPXWICResult CopyPalette(std::vector<uint32_t>& Colors) override {
    if (FTo != wpf8bppIndexed && FTo != wpf1bppIndexed) return wicPaletteUnavailable;
    return FSource->CopyPalette(Colors);
  }
  TPXWICResult CopyPixels(uint32_t Left, uint32_t Top, uint32_t Width, uint32_t Count, uint32_t Stride,
                          uint64_t BufferSize, uint8_t* Buffer) override {
    if (FFrom == FTo) return FSource->CopyPixels(Left, Top, Width, Count, Stride, BufferSize, Buffer);
    const uint64_t outBytes = WICRowBytes(FTo, Width);
    if (!Buffer || Count == 0 || Stride < outBytes || uint64_t(Stride) * (Count - 1) + outBytes > BufferSize)
      return Count == 0 ? wicOK : wicInvalidArg;
    const uint64_t inBytes = WICRowBytes(FFrom, Width);
    FRow.resize(size_t(inBytes));
    if (FPalette.empty() && (FFrom == wpf8bppIndexed || FFrom == wpf1bppIndexed)) FSource->CopyPalette(FPalette);
    for (uint32_t y = 0; y < Count; ++y) {
      const TPXWICResult r = FSource->CopyPixels(Left, Top + y, Width, 1, uint32_t(inBytes), inBytes, FRow.data());
      if (r < 0) return r;
      uint8_t* d = Buffer + uint64_t(Stride) * y;
      if (FTo == wpf8bppIndexed) {  // from 1bppIndexed
        for (uint32_t x = 0; x < Width; ++x) d[x] = (FRow[x >> 3] >> (7 - (x & 7))) & 1;
      } else if (FTo == wpfBlackWhite) {  // from 1bppIndexed: white where the colour is light
        std::vector<uint32_t>& p = FPalette;
        std::memset(d, 0, size_t(outBytes));
        for (uint32_t x = 0; x < Width; ++x) {
          const uint32_t i = (FRow[x >> 3] >> (7 - (x & 7))) & 1;
          const uint32_t c = i < p.size() ? p[i] : (i ? 0xFFFFFFFFu : 0xFF000000u);
          if (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF) >= 384) d[x >> 3] |= uint8_t(0x80 >> (x & 7));
        }
      } else if (FFrom == wpf32bppBGRA && FTo == wpf24bppBGR) {
        for (uint32_t x = 0; x < Width; ++x)
          d[3 * x] = FRow[4 * x], d[3 * x + 1] = FRow[4 * x + 1], d[3 * x + 2] = FRow[4 * x + 2];
      } else if (FFrom == wpf24bppBGR && FTo == wpf32bppBGRA) {
        for (uint32_t x = 0; x < Width; ++x)
          d[4 * x] = FRow[3 * x], d[4 * x + 1] = FRow[3 * x + 1], d[4 * x + 2] = FRow[3 * x + 2], d[4 * x + 3] = 255;
      } else {
        FWide.resize(Width);
        ReadRGBA(FFrom, FRow.data(), Width, FPalette, FWide.data());
        WriteRGBA(FTo, FWide.data(), Width, d);
      }
    }
    return wicOK;
  }

 private:
  IPXWICBitmapSource* FSource;
  TPXWICPixelFormat FFrom, FTo;
  std::vector<uint8_t> FRow;
  std::vector<TRGBA16> FWide;
  std::vector<uint32_t> FPalette;
};

}  // namespace

std::unique_ptr<IPXWICBitmapSource> CreateWICFormatConverter(IPXWICBitmapSource* Source, TPXWICPixelFormat Target) {
  if (!Source) return nullptr;
  TPXWICPixelFormat from = wpfUndefined;
  if (Source->GetPixelFormat(from) < 0 || from == wpfUndefined || Target == wpfUndefined) return nullptr;
  const bool indexedTarget = Target == wpf8bppIndexed || Target == wpf1bppIndexed || Target == wpfBlackWhite;
  if (from != Target && indexedTarget) {
    const bool ok = (Target == wpf8bppIndexed && from == wpf1bppIndexed) ||
                    (Target == wpfBlackWhite && from == wpf1bppIndexed);
    if (!ok) return nullptr;
  }
  return std::make_unique<TFormatConverter>(Source, from, Target);
}

// ---------------------------------------------------------------------------------------------
// Bitmap wrapper

TPXWICBitmapWrapper::TPXWICBitmapWrapper(TPXBitmap* Bitmap, TPXBitmap* AlphaBitmap)
    : FBitmap(Bitmap), FAlpha(AlphaBitmap) {}

TPXWICResult TPXWICBitmapWrapper::GetSize(uint32_t& Width, uint32_t& Height) {
  Width = uint32_t(std::max(0, FBitmap->Width()));
  Height = uint32_t(std::max(0, FBitmap->Height()));
  return wicOK;
}

TPXWICResult TPXWICBitmapWrapper::GetPixelFormat(TPXWICPixelFormat& Format) {
  switch (FBitmap->PixelFormat()) {
    case px1g:
      Format = wpfBlackWhite;
      break;
    case px8p:
      Format = wpf8bppIndexed;
      break;
    case px8g:
      Format = wpf8bppGray;
      break;
    case px16g:
      Format = wpf16bppGray;
      break;
    case px24RGB:
      Format = FAlpha ? wpf32bppBGRA : wpf24bppBGR;
      break;
    case px32RGB:  // its fourth byte is the alpha
      Format = wpf32bppBGRA;
      break;
    case pxCMYK:
      Format = wpf32bppCMYK;
      break;
    case pxRGB48:
      Format = wpf48bppRGB;
      break;
    default:
      return wicNotImpl;
  }
  return wicOK;
}

TPXWICResult TPXWICBitmapWrapper::GetResolution(double& DpiX, double& DpiY) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  DpiX = s->FDefaultDPIX;
  DpiY = s->FDefaultDPIY;
  return wicOK;
}

TPXWICResult TPXWICBitmapWrapper::CopyPalette(std::vector<uint32_t>& Colors) {
  if (FBitmap->PixelFormat() != px8p) return wicPaletteUnavailable;
  const int32_t n = std::clamp(FBitmap->GetPaletteUsed(), 0, 256);
  const TRGB* pal = FBitmap->GetPalette();
  Colors.resize(size_t(n));
  for (int32_t i = 0; i < n; ++i)
    Colors[size_t(i)] = 0xFF000000u | uint32_t(pal[i].r) << 16 | uint32_t(pal[i].g) << 8 | pal[i].b;
  return wicOK;
}

TPXWICResult TPXWICBitmapWrapper::CopyPixels(uint32_t Left, uint32_t Top, uint32_t Width, uint32_t Count,
                                             uint32_t Stride, uint64_t BufferSize, uint8_t* Buffer) {
  TPXWICPixelFormat f;
  if (GetPixelFormat(f) < 0) return wicNotImpl;
  uint32_t w, h;
  GetSize(w, h);
  const uint64_t bytes = WICRowBytes(f, Width);
  if (!Buffer || uint64_t(Left) + Width > w || uint64_t(Top) + Count > h) return wicInvalidArg;
  if (Count == 0) return wicOK;
  if (Stride < bytes || uint64_t(Stride) * (Count - 1) + bytes > BufferSize) return wicInvalidArg;
  const TPXPixelFormat pf = FBitmap->PixelFormat();
  for (uint32_t y = 0; y < Count; ++y) {
    const uint8_t* src = FBitmap->Scanline(int32_t(Top + y));
    uint8_t* dst = Buffer + uint64_t(Stride) * y;
    if (pf == px1g) {
      CopyRowBits(src, Left, Width, dst);
    } else if (pf == px24RGB && FAlpha) {
      const uint8_t* a = FAlpha->Scanline(int32_t(Top + y));
      for (uint32_t x = 0; x < Width; ++x) {
        const uint8_t* p = src + 3 * uint64_t(Left + x);
        dst[4 * x] = p[0], dst[4 * x + 1] = p[1], dst[4 * x + 2] = p[2], dst[4 * x + 3] = a[Left + x];
      }
    } else {
      const uint64_t bpp = uint64_t(WICBitsPerPixel(f)) / 8;
      std::memcpy(dst, src + Left * bpp, size_t(bytes));
      if (pf == pxCMYK)
        for (uint64_t i = 0; i < bytes; ++i) dst[i] = uint8_t(255 - dst[i]);
    }
  }
  return wicOK;
}

// ---------------------------------------------------------------------------------------------
// Registry

void RegisterWICProvider(std::shared_ptr<TPXWICProvider> Provider, bool First) {
  if (!Provider) return;
  std::lock_guard<std::mutex> lock(gProvidersLock);
  auto& list = Providers();
  if (First) list.insert(list.begin(), std::move(Provider));
  else list.push_back(std::move(Provider));
}

void UnregisterWICProvider(const TPXWICProvider* Provider) {
  std::lock_guard<std::mutex> lock(gProvidersLock);
  auto& list = Providers();
  list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == Provider; }), list.end());
}

std::vector<std::shared_ptr<TPXWICProvider>> WICProviders() {
  std::lock_guard<std::mutex> lock(gProvidersLock);
  return Providers();
}

TPXWICContainer WICContainerOfType(TPXFileType FileType) {
  using enum TPXWICContainer;
  switch (FileType) {
    case pxftTIFF:
      return wcTiff;
    case pxftGIF:
      return wcGif;
    case pxftJPEG:
      return wcJpeg;
    case pxftBMP:
      return wcBmp;
    case pxftICO:
      return wcIco;
    case pxftPNG:
      return wcPng;
    case pxftHDP:
      return wcWmp;
    case pxftDDS:
      return wcDds;
    case pxftHEIF:
      return wcHeif;
    case pxftWEBP:
      return wcWebp;
    default:
      return wcNone;
  }
}

std::string WICExtensionOfType(TPXFileType FileType) {
  switch (FileType) {
    case pxftTIFF:
      return ".TIFF";
    case pxftGIF:
      return ".GIF";
    case pxftJPEG:
      return ".JPEG";
    case pxftBMP:
      return ".BMP";
    case pxftICO:
      return ".ICO";
    case pxftPNG:
      return ".PNG";
    case pxftHDP:
      return ".WMP";
    case pxftDDS:
      return ".DDS";
    case pxftHEIF:
      return ".HEIC";
    case pxftWEBP:
      return ".WEBP";
    default:
      return {};
  }
}

bool WICAvailable() { return true; }
