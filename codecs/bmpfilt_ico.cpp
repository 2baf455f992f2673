// Icons and cursors: the ICO and CUR readers, the ICO writer, the conversion of platform icons
// to bitmaps, and the format table's ICO and CUR rows.
#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <vector>

#include "codecs/bmpfilt.h"
#include "codecs/bmpfilt_impl.h"
#include "codecs/pngfilt.h"
#include "core/hypxutils.h"
#include "core/hypxutils_system.h"
#include "core/neurquant.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_iohooks.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/gdi/Graphics.h"
#include "platform/gdi/WinGdi.h"
#include "platform/gdi/WinIcons.h"
#include "platform/forms/ShellApi.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

using namespace bmpfilt_detail;

namespace {

constexpr const char* kUnsupported = "Unsupported pixel format";
constexpr const char* kNotValid256 = "Not valid 256x256 Icon";
// Icon pictures larger than this on a side are not icons.
constexpr int32_t kMaxIconSide = 1 << 16;

struct TDirEntry {
  uint8_t Width = 0;
  uint8_t Height = 0;
  uint8_t ColorCount = 0;
  uint16_t Planes = 0;  // cursors: hot spot x
  uint16_t Bits = 0;    // cursors: hot spot y
  uint32_t Size = 0;
  uint32_t Offset = 0;
};

TDirEntry ParseEntry(const uint8_t* e) {
  TDirEntry d;
  d.Width = e[0];
  d.Height = e[1];
  d.ColorCount = e[2];
  d.Planes = GetLE16(e + 4);
  d.Bits = GetLE16(e + 6);
  d.Size = GetLE32(e + 8);
  d.Offset = GetLE32(e + 12);
  return d;
}

// Bits per pixel for a colour count: a power of two gives its exponent, others one more than
// the highest set bit (2 gives 1, 16 gives 4, 255 gives 8); 0 gives 0.
int32_t BitsFromColorCount(uint32_t Count) {
  if (Count == 0) return 0;
  int32_t hi = 31;
  while (!(Count & (1u << hi))) --hi;
  return (Count & (Count - 1)) == 0 ? hi : hi + 1;
}

void SamplesFromBits(TIOParams* Params, int32_t Bits) {
  if (Bits <= 8) {
    Params->BitsPerSample = Bits;
    Params->SamplesPerPixel = 1;
  } else {
    Params->BitsPerSample = 8;
    Params->SamplesPerPixel = Bits == 32 ? 4 : 3;
  }
}

// Replaces the colour map by the table after the info header: 2^Bits BGRA entries up to 8 bits
// (bytes the stream lacks read as 0), none above. 16-bit pixels take the three masks that follow
// the header with bit fields (Compression 3), else 5-5-5.
void ReadColorTable(TStream* Stream, TIOParams* Params, int32_t Bits, uint32_t Compression,
                    TChannelMask (&Masks16)[3]) {
  Params->FreeColorMap();
  for (int i = 0; i < 3; ++i) Masks16[i] = TChannelMask(kDefault16Masks[i]);
  if (Bits == 16 && Compression == 3) {
    uint8_t m[12] = {};
    ReadFully(Stream, m, 12);
    for (int i = 0; i < 3; ++i) Masks16[i] = TChannelMask(GetLE32(m + 4 * i));
  }
  if (Bits > 8) return;
  const int32_t n = 1 << Bits;
  std::vector<uint8_t> pal(static_cast<size_t>(n) * 4, 0);
  ReadFully(Stream, pal.data(), static_cast<int64_t>(pal.size()));
  std::vector<TRGB> colors(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) colors[static_cast<size_t>(i)] = TRGB{pal[4 * i], pal[4 * i + 1], pal[4 * i + 2]};
  Params->SetColorMap(colors.data(), n);
}

// Whether enough of the colour rows of a W x H image of Bits are there to allocate the picture:
// small pictures always, larger ones when at least about half their colour rows are there (a
// file cut short keeps the rows it holds).
bool ColorRowsPresent(TStream* Stream, int64_t W, int64_t H, int32_t Bits) {
  const int64_t xorBytes = ((W * Bits + 31) / 32) * 4 * H;
  return xorBytes <= 2 * BytesLeft(Stream) + 65536;
}

// Reads the header and the directory up to entry Index; false (flag set) when Index is outside
// it or the data cannot be read.
bool ReadDirectory(TStream* Stream, TIOParams* Params, int32_t Index, uint16_t Type, int32_t& Count,
                   TDirEntry& Entry, bool* AnyWidthByte, TPXProgressRecord& Progress) {
  uint8_t h[6];
  if (ReadFully(Stream, h, 6) != 6) {
    SetAborting(Progress);
    return false;
  }
  Count = GetLE16(h + 4);
  if (Index < 0 || Index >= Count) {
    SetAborting(Progress);
    return false;
  }
  Params->SetImageCount(Count);
  if (AnyWidthByte) *AnyWidthByte = false;
  for (int32_t i = 0; i <= Index; ++i) {
    uint8_t e[16];
    if (ReadFully(Stream, e, 16) != 16) {
      SetAborting(Progress);
      return false;
    }
    const TDirEntry d = ParseEntry(e);
    if (i < 16 && Type == 1) {
      Params->ICO_Sizes[i] = {d.Width ? d.Width : 256, d.Height ? d.Height : 256};
      int32_t bits = d.Bits ? d.Bits : BitsFromColorCount(d.ColorCount);
      Params->ICO_BitCounts[i] = bits ? bits : 24;
      if (AnyWidthByte && d.Width != 0) *AnyWidthByte = true;
    }
    if (i == Index) Entry = d;
  }
  // The rest of the first 16 entries, for the sizes and depths of the directory.
  if (Type == 1) {
    for (int32_t i = Index + 1; i < std::min(Count, 16); ++i) {
      uint8_t e[16];
      if (ReadFully(Stream, e, 16) != 16) break;
      const TDirEntry d = ParseEntry(e);
      Params->ICO_Sizes[i] = {d.Width ? d.Width : 256, d.Height ? d.Height : 256};
      int32_t bits = d.Bits ? d.Bits : BitsFromColorCount(d.ColorCount);
      Params->ICO_BitCounts[i] = bits ? bits : 24;
      if (AnyWidthByte && d.Width != 0) *AnyWidthByte = true;
    }
  }
  return true;
}

// What decoding a DIB found out.
struct TDibResult {
  int32_t LastAlphaRow = -1;  // the lowest picture row holding a non-zero alpha byte (32 bits)
  bool Cut = false;           // the data ended before its colour rows (or the AND rows they need)
};

// The colour and AND rows of an icon or cursor DIB into Bitmap (allocated as W x H) and Mask;
// Masks16 splits 16-bit pixels. Rows the data does not reach stay black and opaque.
TDibResult DecodeDibPixels(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, int32_t Bits,
                           const TChannelMask (&Masks16)[3], const TRGB& Background, TPXMask* Mask,
                           TRowProgress& Progress) {
  TDibResult result;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  const int64_t xorRow = ((int64_t{w} * Bits + 31) / 32) * 4;
  const int64_t andRow = ((int64_t{w} + 31) / 32) * 4;
  const bool indices = Bitmap->PixelFormat() == px8p;
  auto color = [&](uint32_t i) {
    return i < Params->ColorMap.size() && static_cast<int32_t>(i) < Params->ColorMapCount ? Params->ColorMap[i]
                                                                                          : TRGB{0, 0, 0};
  };
  auto andBit = [](const uint8_t* row, int32_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; };
  for (int32_t y = 0; y < h; ++y) std::memset(Bitmap->Scanline(y), 0, static_cast<size_t>(Bitmap->RowLen()));
  if (Bits != 1 && Bits != 4 && Bits != 8 && Bits != 16 && Bits != 24 && Bits != 32) return result;
  std::vector<uint8_t> xorData(static_cast<size_t>(xorRow * h), 0);
  std::vector<uint8_t> andData(static_cast<size_t>(andRow * h), 0);
  const int64_t gotXor = ReadFully(Stream, xorData.data(), static_cast<int64_t>(xorData.size()));
  // Only whole colour rows are taken from data that ends early.
  int64_t rows = h;
  if (gotXor < static_cast<int64_t>(xorData.size())) {
    result.Cut = true;
    rows = gotXor / xorRow;
  }
  // Pictures of up to 8 bits need their AND rows; deeper ones take them only when they are all
  // there.
  bool haveAnd = Bits <= 8;
  if (Bits > 8) haveAnd = !result.Cut && BytesLeft(Stream) >= static_cast<int64_t>(andData.size());
  if (Bits == 32) {
    bool allAlphaZero = true;
    for (int64_t k = 0; k < rows && allAlphaZero; ++k)
      for (int32_t x = 0; x < w; ++x)
        if (xorData[static_cast<size_t>(k * xorRow + 4 * x + 3)] != 0) {
          allAlphaZero = false;
          break;
        }
    haveAnd = haveAnd && allAlphaZero;
  }
  if (haveAnd && !result.Cut) {
    const int64_t gotAnd = ReadFully(Stream, andData.data(), static_cast<int64_t>(andData.size()));
    if (Bits <= 8 && gotAnd < static_cast<int64_t>(andData.size())) {
      result.Cut = true;
      rows = std::min<int64_t>(rows, gotAnd / andRow);
    }
  }
  const bool white = Background.r == 255 && Background.g == 255 && Background.b == 255;
  for (int32_t k = 0; k < rows; ++k) {
    if (!Progress.Report(k)) return result;
    const int32_t y = h - 1 - k;
    const uint8_t* s = xorData.data() + k * xorRow;
    const uint8_t* a = andData.data() + k * andRow;
    uint8_t* row = Bitmap->Scanline(y);
    uint8_t* m = Mask ? Mask->GetScanline(y) : nullptr;
    auto* rgb = reinterpret_cast<TRGB*>(row);
    switch (Bits) {
      case 1:
        std::memcpy(row, s, static_cast<size_t>(std::min<int64_t>((w + 7) / 8, Bitmap->RowLen())));
        for (int32_t x = 0; x < w; ++x) {
          if (!andBit(a, x)) continue;
          if (m) m[x] = 0;
          if (white) row[x >> 3] ^= static_cast<uint8_t>(0x80u >> (x & 7));
        }
        break;
      case 4:
      case 8:
        for (int32_t x = 0; x < w; ++x) {
          const uint32_t i = Bits == 8 ? s[x] : ((x & 1) ? (s[x / 2] & 0x0F) : (s[x / 2] >> 4));
          const bool transparent = andBit(a, x);
          if (indices) row[x] = static_cast<uint8_t>(i);
          else rgb[x] = transparent ? Background : color(i);
          if (m && transparent) m[x] = 0;
        }
        break;
      case 16:
      case 24:
        if (Bits == 24) {
          std::memcpy(row, s, static_cast<size_t>(w) * 3);
        } else {
          for (int32_t x = 0; x < w; ++x) {
            const uint16_t v = GetLE16(s + 2 * int64_t{x});
            rgb[x] = TRGB{Masks16[2].Extract(v), Masks16[1].Extract(v), Masks16[0].Extract(v)};
          }
        }
        if (m && haveAnd)
          for (int32_t x = 0; x < w; ++x) m[x] = andBit(a, x) ? 0 : 255;
        break;
      case 32: {
        for (int32_t x = 0; x < w; ++x) {
          const uint8_t* p = s + 4 * int64_t{x};
          rgb[x] = TRGB{p[0], p[1], p[2]};
          if (p[3] != 0 && y > result.LastAlphaRow) result.LastAlphaRow = y;
          if (m) m[x] = haveAnd ? (andBit(a, x) ? 0 : 255) : p[3];
        }
        break;
      }
      default:
        break;
    }
  }
  if (!result.Cut) Progress.Report(h);
  return result;
}

// Allocates the mask for a picture, every pixel opaque.
TPXMask* PrepareMask(std::unique_ptr<TPXMask>& AlphaMask, int32_t W, int32_t H) {
  if (!AlphaMask) AlphaMask = std::make_unique<TPXMask>();
  AlphaMask->AllocateBits(W, H, 8);
  AlphaMask->Fill(255);
  return AlphaMask.get();
}

bool MaskIsFull(TPXMask* Mask, int32_t W, int32_t H) {
  for (int32_t y = 0; y < H; ++y) {
    const uint8_t* r = Mask->GetScanline(y);
    for (int32_t x = 0; x < W; ++x)
      if (r[x] != 255) return false;
  }
  return true;
}

void DecodeIcoCore(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly, TPXProgressRecord& Progress,
                   std::unique_ptr<TPXMask>& AlphaMask, bool IgnoreAlpha, int32_t Mode) {
  const int64_t start = Stream->Position();
  const int64_t streamEnd = Stream->Size();
  TDirEntry entry;
  int32_t count = 1;
  bool anyWidthByte = false;
  if (!Params->IsResource) {
    uint8_t magic[2] = {};
    if (ReadFully(Stream, magic, 2) != 2) {
      SetAborting(Progress);
      return;
    }
    Stream->Seek(start, soBeginning);
    if (magic[0] == 'B' && magic[1] == 'M') {
      DecodeBmpStream(Stream, Bitmap, streamEnd - start, Params, Progress, PreviewOnly, false, AlphaMask, IgnoreAlpha);
      return;
    }
    if (!ReadDirectory(Stream, Params, Params->ICO_ImageIndex, 1, count, entry, &anyWidthByte, Progress)) return;
    if (start + int64_t{entry.Offset} + 40 > streamEnd) {
      SetAborting(Progress);
      return;
    }
    Stream->Seek(start + entry.Offset, soBeginning);
  }
  uint8_t ih[40];
  if (ReadFully(Stream, ih, 40) != 40) {
    SetAborting(Progress);
    return;
  }
  static constexpr uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (std::memcmp(ih, kPng, 8) == 0) {
    Stream->Seek(-40, soCurrent);
    DecodePngStream(Stream, Bitmap, Params, Progress, PreviewOnly);
    Params->SetImageCount(count);
    Params->ICO_PNG = true;
    return;
  }
  Params->ICO_PNG = false;
  const auto hw = static_cast<int32_t>(GetLE32(ih + 4));
  const auto hh = static_cast<int32_t>(GetLE32(ih + 8));
  if (Params->IsResource) {
    Params->SetImageIndex(0);
    Params->ICO_Sizes[0] = {hw, hh / 2};
    entry.Width = static_cast<uint8_t>(hw);
    entry.Height = static_cast<uint8_t>(hh / 2);
    anyWidthByte = true;
  }
  Params->SetDpiX(DpiFromPpm(static_cast<int32_t>(GetLE32(ih + 24)), DefaultDpiX()));
  Params->SetDpiY(DpiFromPpm(static_cast<int32_t>(GetLE32(ih + 28)), DefaultDpiY()));
  int32_t bits = GetLE16(ih + 14);
  if (bits == 0) bits = entry.Bits;
  if (bits == 0) bits = BitsFromColorCount(entry.ColorCount);
  if (bits == 0 || bits > 32) {
    SetAborting(Progress);
    return;
  }
  SamplesFromBits(Params, bits);

  int64_t w, h;
  const int32_t ew = entry.Width, eh = entry.Height;
  if (Params->IsResource || (ew != hw && hw > 255) || (eh != hh && hh > 255) || ew == 0 || eh == 0 ||
      (ew != hw && ew != 0 && hw != 0 && hw < 2048 && hh < 2048)) {
    w = hw;
    h = hh / 2;
  } else {
    w = ew;
    h = eh;
  }
  if (w < 1 || h < 1 || w > kMaxIconSide || h > kMaxIconSide) {
    SetAborting(Progress);
    return;
  }
  Params->Width = Params->OriginalWidth = static_cast<int32_t>(w);
  Params->Height = Params->OriginalHeight = static_cast<int32_t>(h);

  TChannelMask masks16[3];
  ReadColorTable(Stream, Params, bits, GetLE32(ih + 16), masks16);
  if (PreviewOnly) return;

  if (!ColorRowsPresent(Stream, w, h, bits)) {
    SetAborting(Progress);
    return;
  }
  TPXPixelFormat format = bits == 1 ? px1g : px24RGB;
  if (Params->NativePixelFormat) {
    if (bits == 4 || bits == 8) format = px8p;
    else if (bits != 1 && bits != 16 && bits != 24 && bits != 32) throw EPXException(kUnsupported);
  }
  if (!Bitmap->Allocate(static_cast<int32_t>(w), static_cast<int32_t>(h), format)) {
    SetAborting(Progress);
    return;
  }
  if (format == px8p) {
    Bitmap->SetPaletteUsed(1 << bits);
    for (int32_t i = 0; i < std::min(Bitmap->GetPaletteLength(), 1 << bits); ++i)
      Bitmap->SetPaletteColor(i, Params->ColorMap[static_cast<size_t>(i)]);
  }
  TPXMask* mask = IgnoreAlpha ? nullptr : PrepareMask(AlphaMask, static_cast<int32_t>(w), static_cast<int32_t>(h));
  TRowProgress progress(Progress, h);
  const TDibResult r =
      DecodeDibPixels(Stream, Bitmap, Params, bits, masks16, Params->ICO_Background, mask, progress);
  if (r.Cut) SetAborting(Progress);
  if (mask && MaskIsFull(mask, static_cast<int32_t>(w), static_cast<int32_t>(h))) {
    AlphaMask.reset();
    mask = nullptr;
  }

  // A small picture drawn in the top rows of a 256 x 256 frame.
  if (bits == 32 && !anyWidthByte && h == 256 && r.LastAlphaRow >= 0 && r.LastAlphaRow < 66) {
    if (Mode == 1) throw EPXException(kNotValid256);
    if (Mode == 2 && mask) {
      Bitmap->GetAlphaChannel()->CopyFromMask(mask);
      Bitmap->CropTransparent();
      // The alpha now lives in the cropped bitmap.
      AlphaMask.reset();
    }
  }
}

void DecodeCurCore(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly, TPXProgressRecord& Progress,
                   std::unique_ptr<TPXMask>& AlphaMask, bool IgnoreAlpha) {
  const int64_t start = Stream->Position();
  const int64_t streamEnd = Stream->Size();
  TDirEntry entry;
  int32_t count = 1;
  int64_t w = 0, h = 0;
  if (Params->IsResource) {
    uint8_t hs[4];
    if (ReadFully(Stream, hs, 4) != 4) {
      SetAborting(Progress);
      return;
    }
    Params->CUR_XHotSpot = GetLE16(hs);
    Params->CUR_YHotSpot = GetLE16(hs + 2);
  } else {
    if (!ReadDirectory(Stream, Params, Params->CUR_ImageIndex, 2, count, entry, nullptr, Progress)) return;
    w = entry.Width ? entry.Width : 256;
    h = entry.Height ? entry.Height : 256;
    Params->CUR_XHotSpot = entry.Planes;
    Params->CUR_YHotSpot = entry.Bits;
    if (start + int64_t{entry.Offset} + 40 > streamEnd) {
      SetAborting(Progress);
      return;
    }
    Stream->Seek(start + entry.Offset, soBeginning);
  }
  uint8_t ih[40];
  if (ReadFully(Stream, ih, 40) != 40) {
    SetAborting(Progress);
    return;
  }
  if (Params->IsResource) {
    w = static_cast<int32_t>(GetLE32(ih + 4));
    h = static_cast<int32_t>(GetLE32(ih + 8)) / 2;
  }
  if (w < 1 || h < 1 || w > kMaxIconSide || h > kMaxIconSide) {
    SetAborting(Progress);
    return;
  }
  Params->Width = Params->OriginalWidth = static_cast<int32_t>(w);
  Params->Height = Params->OriginalHeight = static_cast<int32_t>(h);
  Params->SetDpiX(DpiFromPpm(static_cast<int32_t>(GetLE32(ih + 24)), DefaultDpiX()));
  Params->SetDpiY(DpiFromPpm(static_cast<int32_t>(GetLE32(ih + 28)), DefaultDpiY()));
  int32_t bits = GetLE16(ih + 14);
  if (bits == 0) bits = BitsFromColorCount(entry.ColorCount == 255 ? 256 : entry.ColorCount);
  if (bits == 0 || bits > 32) {
    SetAborting(Progress);
    return;
  }
  SamplesFromBits(Params, bits);
  // The palette follows the depth the rows are decoded by.
  TChannelMask masks16[3];
  ReadColorTable(Stream, Params, bits, GetLE32(ih + 16), masks16);
  if (PreviewOnly) return;
  if (!ColorRowsPresent(Stream, w, h, bits)) {
    SetAborting(Progress);
    return;
  }
  if (!Bitmap->Allocate(static_cast<int32_t>(w), static_cast<int32_t>(h), bits == 1 ? px1g : px24RGB)) {
    SetAborting(Progress);
    return;
  }
  TPXMask* mask = IgnoreAlpha ? nullptr : PrepareMask(AlphaMask, static_cast<int32_t>(w), static_cast<int32_t>(h));
  TRowProgress progress(Progress, h);
  if (DecodeDibPixels(Stream, Bitmap, Params, bits, masks16, Params->CUR_Background, mask, progress).Cut)
    SetAborting(Progress);
}

// Runs a reader: bad data and stream failures end as the abort flag; only the documented icon
// texts leave as exceptions.
template <typename F>
void GuardReader(TPXProgressRecord& Progress, F&& Body) {
  try {
    Body();
  } catch (const EPXException& e) {
    if (e.Message() == kUnsupported || e.Message() == kNotValid256) throw;
    SetAborting(Progress);
  } catch (const std::exception&) {
    SetAborting(Progress);
  }
}

bool HasIconSignature(TStream* Stream, uint16_t Type) {
  const int64_t pos = Stream->Position();
  bool ok = false;
  try {
    const int64_t size = Stream->Size() - pos;
    uint8_t h[6];
    if (size > 22 && ReadFully(Stream, h, 6) == 6 && GetLE16(h) == 0 && GetLE16(h + 2) == Type && GetLE16(h + 4) >= 1) {
      ok = true;
      const int32_t n = GetLE16(h + 4);
      for (int32_t i = 0; i < n && ok; ++i) {
        uint8_t e[16];
        if (ReadFully(Stream, e, 16) != 16) {
          ok = false;
          break;
        }
        const TDirEntry d = ParseEntry(e);
        const int64_t after = 6 + 16 * int64_t{i + 1};
        ok = e[3] == 0 && d.Size != 0 && int64_t{d.Offset} >= after;
      }
    }
  } catch (const std::exception&) {
    ok = false;
  }
  Stream->Seek(pos, soBeginning);
  return ok;
}

// ---------------------------------------------------------------------------------------------
// Writing

// One image of the icon file: a DIB of the given depth from the work bitmap.
int32_t WriteIconDib(TStream* Stream, TPXBitmap* Work, TIOParams* Params, int32_t Bps, int32_t Spp, bool& ShortWrite) {
  auto write = [&](const void* p, int64_t n) { StreamWriteChecked(Stream, ShortWrite, p, n); };
  const int32_t w = Work->Width(), h = Work->Height();
  int32_t bits;
  if (Bps == 8 && Spp == 3) bits = 24;
  else if (Bps == 8 && Spp == 4) bits = 32;
  else if (Bps == 1 && Spp == 1) bits = 1;
  else if (Bps == 4 && Spp == 1) bits = 4;
  else bits = 8;
  // The work bitmap in the layout the depth is written from.
  if (bits == 1 && Work->PixelFormat() != px1g) Work->SetPixelFormat(px1g);
  if (bits >= 24 && Work->PixelFormat() != px24RGB) Work->SetPixelFormat(px24RGB);
  if ((bits == 4 || bits == 8) && Work->PixelFormat() != px24RGB &&
      !(Work->PixelFormat() == px8p && (bits == 8 || Work->GetPaletteUsed() <= 16)))
    Work->SetPixelFormat(px24RGB);
  if (bits == 32 && !Work->HasAlphaChannel()) Work->GetAlphaChannel();  // created all opaque
  TPXBitmap* alpha = Work->PeekAlphaChannel();

  const int64_t rowLen = ((int64_t{w} * bits + 31) / 32) * 4;
  const int64_t andRow = ((int64_t{w} + 31) / 32) * 4;
  uint8_t ih[40] = {};
  PutLE32(ih, 40);
  PutLE32(ih + 4, static_cast<uint32_t>(w));
  PutLE32(ih + 8, static_cast<uint32_t>(h * 2));
  PutLE16(ih + 12, 1);
  PutLE16(ih + 14, static_cast<uint32_t>(bits));
  if (bits <= 8) PutLE32(ih + 20, static_cast<uint32_t>(int64_t{h} * rowLen + int64_t{h} * andRow));
  PutLE32(ih + 24, PpmFromDpi(Params->DpiX));
  PutLE32(ih + 28, PpmFromDpi(Params->DpiY));
  write(ih, 40);

  std::vector<TRGB> palette;
  std::unique_ptr<TPXQuantizer> quantizer;
  const bool fromIndices = Work->PixelFormat() == px8p;
  if (bits == 1) {
    palette = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
  } else if (bits == 4 || bits == 8) {
    const int32_t n = 1 << bits;
    palette.assign(static_cast<size_t>(n), TRGB{0, 0, 0});
    if (fromIndices) {
      for (int32_t i = 0; i < std::min(n, Work->GetPaletteLength()); ++i) Work->GetPaletteColor(i, palette[i]);
    } else {
      // Entry 0 (black) is kept for the transparent pixels.
      quantizer = std::make_unique<TPXQuantizer>(Work, palette.data() + 1, 0x7FFFFFF, n - 1);
    }
    Params->FreeColorMap();
    Params->SetColorMap(palette.data(), n);
  }
  if (!palette.empty()) {
    std::vector<uint8_t> pal;
    for (const TRGB& c : palette) pal.insert(pal.end(), {c.b, c.g, c.r, 0});
    write(pal.data(), static_cast<int64_t>(pal.size()));
  }
  std::vector<uint8_t> out(static_cast<size_t>(rowLen));
  for (int32_t y = h - 1; y >= 0 && !ShortWrite; --y) {
    std::fill(out.begin(), out.end(), 0);
    const uint8_t* s = Work->Scanline(y);
    const uint8_t* a = alpha ? alpha->Scanline(y) : nullptr;
    if (bits == 1) {
      std::memcpy(out.data(), s, static_cast<size_t>(std::min<int64_t>((w + 7) / 8, Work->RowLen())));
    } else if (bits == 24) {
      std::memcpy(out.data(), s, static_cast<size_t>(w) * 3);
    } else if (bits == 32) {
      PutBgraRow(out.data(), reinterpret_cast<const TRGB*>(s), a, w);
    } else {
      for (int32_t x = 0; x < w; ++x) {
        uint8_t i;
        if (fromIndices) i = s[x];
        else if (a && a[x] != 255) i = 0;
        else i = static_cast<uint8_t>(quantizer->RGBToIndex(reinterpret_cast<const TRGB*>(s)[x]) + 1);
        if (bits == 8) out[static_cast<size_t>(x)] = i;
        else out[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>((x & 1) ? (i & 0x0F) : (i << 4));
      }
    }
    write(out.data(), rowLen);
  }
  // AND rows: 1 where the pixel is not opaque.
  std::vector<uint8_t> andOut(static_cast<size_t>(andRow));
  for (int32_t y = h - 1; y >= 0 && !ShortWrite; --y) {
    std::fill(andOut.begin(), andOut.end(), 0);
    if (alpha) {
      const uint8_t* a = alpha->Scanline(y);
      for (int32_t x = 0; x < w; ++x)
        if (a[x] != 255) andOut[static_cast<size_t>(x >> 3)] |= static_cast<uint8_t>(0x80u >> (x & 7));
    }
    write(andOut.data(), andRow);
  }
  return bits;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Readers

bool HasIcoSignature(TStream* Stream) { return HasIconSignature(Stream, 1); }
bool HasCurSignature(TStream* Stream) { return HasIconSignature(Stream, 2); }

int32_t GetIcoImageCount(TStream* Stream) {
  const int64_t pos = Stream->Position();
  uint8_t h[6] = {};
  int32_t n = 0;
  try {
    if (ReadFully(Stream, h, 6) == 6) n = GetLE16(h + 4);
  } catch (const std::exception&) {
    n = 0;
  }
  Stream->Seek(pos, soBeginning);
  return n;
}

void DecodeIcoStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly,
                     TPXProgressRecord& Progress, std::unique_ptr<TPXMask>& AlphaMask, bool IgnoreAlpha,
                     int32_t Mode) {
  if (!Stream || !Params || (!Bitmap && !PreviewOnly)) {
    SetAborting(Progress);
    return;
  }
  GuardReader(Progress,
              [&] { DecodeIcoCore(Stream, Bitmap, Params, PreviewOnly, Progress, AlphaMask, IgnoreAlpha, Mode); });
}

void DecodeCurStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly,
                     TPXProgressRecord& Progress, std::unique_ptr<TPXMask>& AlphaMask, bool IgnoreAlpha) {
  if (!Stream || !Params || (!Bitmap && !PreviewOnly)) {
    SetAborting(Progress);
    return;
  }
  GuardReader(Progress, [&] { DecodeCurCore(Stream, Bitmap, Params, PreviewOnly, Progress, AlphaMask, IgnoreAlpha); });
}

// ---------------------------------------------------------------------------------------------
// Writer

void EncodeIcoStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                     std::span<const TPXIcoSize> Sizes, std::span<const int32_t> BitCounts) {
  const auto n = static_cast<int32_t>(std::min<size_t>(Sizes.size(), 65535));
  if (!Stream || !Bitmap || !Params || Bitmap->IsEmpty() || n < 1) {
    SetAborting(Progress);
    return;
  }
  bool shortWrite = false;
  const int64_t start = Stream->Position();
  uint8_t header[6] = {0, 0, 1, 0, 0, 0};
  PutLE16(header + 4, static_cast<uint32_t>(n));
  StreamWriteChecked(Stream, shortWrite, header, 6);
  const int64_t dirPos = Stream->Position();
  std::vector<uint8_t> dir(static_cast<size_t>(n) * 16, 0);
  StreamWriteChecked(Stream, shortWrite, dir.data(), static_cast<int64_t>(dir.size()));

  Params->FreeColorMap();
  if (Bitmap->PixelFormat() != px24RGB) Params->BitsPerSample = Params->SamplesPerPixel = 1;
  const TResampleFilter filter = Bitmap->PixelFormat() == px1g
                                     ? rfNone
                                     : static_cast<TResampleFilter>(GlobalSettingsInstance()
                                                                        ? GlobalSettingsInstance()->FDefaultResampleFilter
                                                                        : 0);
  TRowProgress progress(Progress, n);
  int32_t done = 0;
  for (int32_t i = 0; i < n && !shortWrite; ++i) {
    if (!progress.Report(i, true)) break;
    const int32_t sw = Sizes[static_cast<size_t>(i)].Width, sh = Sizes[static_cast<size_t>(i)].Height;
    if (sw < 1 || sh < 1 || sw > 256 || sh > 256) {
      SetAborting(Progress);
      break;
    }
    // The private work area: a resampled copy.
    TPXBitmap work;
    work.Assign(Bitmap);
    if (work.Width() != sw || work.Height() != sh) work.Resample(sw, sh, filter, false, false);
    const int64_t imageStart = Stream->Position();
    int32_t bps = Params->BitsPerSample, spp = Params->SamplesPerPixel;
    int32_t bc = i < static_cast<int32_t>(BitCounts.size()) ? BitCounts[static_cast<size_t>(i)] : 0;
    if (bc == 15) bc = 24;
    if (bc != 0) BitsAndSamplesFromBitCount(bc, true, bps, spp);
    int32_t depth;
    if (Params->ICO_PNG) {
      // Only a 32-bit entry keeps the alpha channel.
      if (spp != 4) work.RemoveAlphaChannel(false, 0);
      std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&work);
      io->Params()->BitsPerSample = bps;
      io->Params()->SamplesPerPixel = spp;
      io->Params()->SetDpiX(Params->DpiX);
      io->Params()->SetDpiY(Params->DpiY);
      io->SaveToStreamPng(Stream);
      if (io->Aborting()) shortWrite = true;
      depth = io->Params()->BitsPerSample * io->Params()->SamplesPerPixel;
    } else {
      depth = WriteIconDib(Stream, &work, Params, bps, spp, shortWrite);
    }
    const int64_t imageEnd = Stream->Position();
    uint8_t* e = dir.data() + 16 * i;
    e[0] = static_cast<uint8_t>(sw == 256 ? 0 : sw);
    e[1] = static_cast<uint8_t>(sh == 256 ? 0 : sh);
    if (depth >= 24) {
      PutLE16(e + 4, 1);
      PutLE16(e + 6, static_cast<uint32_t>(depth));
    } else {
      e[2] = static_cast<uint8_t>(std::min(1 << depth, 255));
    }
    PutLE32(e + 8, static_cast<uint32_t>(imageEnd - imageStart));
    PutLE32(e + 12, static_cast<uint32_t>(imageStart - start));
    ++done;
  }
  if (shortWrite) SetAborting(Progress);
  if (IsAborting(Progress)) return;
  progress.Report(n, true);
  const int64_t end = Stream->Position();
  Stream->Seek(dirPos, soBeginning);
  StreamWriteChecked(Stream, shortWrite, dir.data(), static_cast<int64_t>(dir.size()));
  Stream->Seek(end, soBeginning);
  if (shortWrite) SetAborting(Progress);
}

// ---------------------------------------------------------------------------------------------
// Platform icons

namespace {

// The bits of a bitmap at the given depth (bottom-up DIB rows) with their 40-byte header.
bool FetchDib(HDC Dc, HBITMAP Bm, int32_t BitCount, BITMAPINFOHEADER& Header, std::vector<uint8_t>& Bits,
              std::vector<RGBQUAD>& Colors) {
  BITMAP info;
  if (!Bm || GetObject(Bm, sizeof(info), &info) == 0 || info.bmWidth < 1 || info.bmHeight < 1) return false;
  Header = BITMAPINFOHEADER{};
  Header.biWidth = info.bmWidth;
  Header.biHeight = info.bmHeight;
  Header.biPlanes = 1;
  Header.biBitCount = static_cast<WORD>(BitCount);
  const int64_t rowLen = ((int64_t{info.bmWidth} * BitCount + 31) / 32) * 4;
  Header.biSizeImage = static_cast<DWORD>(rowLen * info.bmHeight);
  const int32_t colors = BitCount <= 8 ? 1 << BitCount : 0;
  std::vector<uint8_t> bmi(sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * static_cast<size_t>(std::max(colors, 1)));
  std::memcpy(bmi.data(), &Header, sizeof(Header));
  Bits.assign(Header.biSizeImage, 0);
  const int32_t lines = GetDIBits(Dc, Bm, 0, static_cast<UINT>(info.bmHeight), Bits.data(),
                                  reinterpret_cast<BITMAPINFO*>(bmi.data()), DIB_RGB_COLORS);
  if (lines <= 0) return false;
  Colors.assign(static_cast<size_t>(colors), RGBQUAD{});
  if (colors > 0) std::memcpy(Colors.data(), bmi.data() + sizeof(BITMAPINFOHEADER), sizeof(RGBQUAD) * colors);
  return true;
}

// 1-bit AND rows (bottom-up, 32-bit aligned) from 32-bit mask rows: set where the mask is white.
std::vector<uint8_t> AndRowsFrom32(const std::vector<uint8_t>& Bits, int32_t W, int32_t H) {
  const int64_t andRow = ((int64_t{W} + 31) / 32) * 4;
  std::vector<uint8_t> out(static_cast<size_t>(andRow * H), 0);
  for (int64_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      const uint8_t* p = Bits.data() + (y * W + x) * 4;
      if (p[0] | p[1] | p[2]) out[static_cast<size_t>(y * andRow + x / 8)] |= static_cast<uint8_t>(0x80u >> (x & 7));
    }
  return out;
}

}  // namespace

bool WriteIconToStream(TStream* Stream, TIcon* Icon) {
  if (!Stream || !Icon || Icon->Empty()) return false;
  ICONINFO info;
  if (!GetIconInfo(Icon->Handle(), &info)) return false;
  bool ok = false;
  HDC dc = CreateCompatibleDC(nullptr);
  try {
    BITMAPINFOHEADER colorHeader, maskHeader;
    std::vector<uint8_t> colorBits, maskBits;
    std::vector<RGBQUAD> colorPal, maskPal;
    if (FetchDib(dc, info.hbmColor, 32, colorHeader, colorBits, colorPal) &&
        FetchDib(dc, info.hbmMask, 32, maskHeader, maskBits, maskPal) && maskHeader.biWidth == colorHeader.biWidth &&
        maskHeader.biHeight == colorHeader.biHeight) {
      maskBits = AndRowsFrom32(maskBits, maskHeader.biWidth, maskHeader.biHeight);
      bool shortWrite = false;
      uint8_t head[22] = {0, 0, 1, 0, 1, 0};
      head[6] = static_cast<uint8_t>(colorHeader.biWidth);
      head[7] = static_cast<uint8_t>(colorHeader.biHeight);
      PutLE16(head + 8, static_cast<uint32_t>(colorHeader.biPlanes * colorHeader.biBitCount));
      PutLE32(head + 14, static_cast<uint32_t>(40 + colorBits.size() + maskBits.size()));
      PutLE32(head + 18, 22);
      StreamWriteChecked(Stream, shortWrite, head, 22);
      BITMAPINFOHEADER h = colorHeader;
      h.biHeight *= 2;
      StreamWriteChecked(Stream, shortWrite, &h, 40);
      StreamWriteChecked(Stream, shortWrite, colorBits.data(), static_cast<int64_t>(colorBits.size()));
      StreamWriteChecked(Stream, shortWrite, maskBits.data(), static_cast<int64_t>(maskBits.size()));
      ok = !shortWrite;
    }
  } catch (const std::exception&) {
    ok = false;
  }
  DeleteDC(dc);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return ok;
}

void CopyIconToBitmap(TIcon* Icon, TPXBitmap* Bitmap, int32_t Mode) {
  if (!Bitmap) return;
  TMemoryStream stream;
  if (!WriteIconToStream(&stream, Icon)) return;
  stream.Seek(0, soBeginning);
  Bitmap->RemoveAlphaChannel(false, 0);
  TIOParams params;
  TPXAbortFlag aborting{false};
  TPXProgressRecord progress;
  progress.Aborting = &aborting;
  std::unique_ptr<TPXMask> mask;
  DecodeIcoStream(&stream, Bitmap, &params, false, progress, mask, false, Mode);
  if (mask) Bitmap->GetAlphaChannel()->CopyFromMask(mask.get());
}

// ---------------------------------------------------------------------------------------------
// Format table rows

void RegisterIcoCodec() {
  {
    TPXFormatRow row;
    row.Decode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                    bool PreviewOnly, std::unique_ptr<TPXMask>& Mask) -> int32_t {
      DecodeIcoStream(Stream, Bitmap, Params, PreviewOnly, Progress, Mask, PreviewOnly, 0);
      return 0;
    };
    row.Encode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXMask*, TPXProgressRecord& Progress) {
      int32_t n = 0;
      while (n < 16 && Params->ICO_Sizes[static_cast<size_t>(n)].Width > 0) ++n;
      EncodeIcoStream(Stream, Bitmap, Params, Progress, std::span<const TPXIcoSize>(Params->ICO_Sizes.data(), n),
                      std::span<const int32_t>(Params->ICO_BitCounts.data(), n));
    };
    row.Signature = HasIcoSignature;
    row.PageCount = GetIcoImageCount;
    row.Rules.MaskToAlpha = true;
    row.Rules.ConvertTo24OnSave = true;
    row.Rules.MultiPage = true;
    RegisterFormatRow(pxftICO, std::move(row));
  }
  {
    TPXFormatRow row;
    row.Decode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                    bool PreviewOnly, std::unique_ptr<TPXMask>& Mask) -> int32_t {
      DecodeCurStream(Stream, Bitmap, Params, PreviewOnly, Progress, Mask, PreviewOnly);
      return 0;
    };
    row.Signature = HasCurSignature;
    row.Rules.MaskToAlpha = true;
    RegisterFormatRow(pxftCUR, std::move(row));
  }
  SetBitmapIconHook([](TIcon* Icon, TPXBitmap* Bitmap) { CopyIconToBitmap(Icon, Bitmap, 0); });
}

HICON GetShellFileIcon(const std::string& FileName) {
  try {
    SHFILEINFO info;
    if (SHGetFileInfo(FileName.c_str(), 0, &info, sizeof(info), SHGFI_ICON) == 0) return nullptr;
    return info.hIcon;
  } catch (const std::exception&) {
    return nullptr;
  }
}

void GetFileIconBitmap(const std::string& FileName, TPXBitmap* Bitmap) {
  if (!Bitmap) return;
  HICON handle = GetShellFileIcon(FileName);
  if (!handle) return;
  TIcon icon;
  icon.SetHandle(handle);  // the icon owns and destroys the handle
  CopyIconToBitmap(&icon, Bitmap, 0);
}
