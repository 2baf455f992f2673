// The Targa codec.
#include "codecs/pxtgafil.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/pxcodecs.h"
#include "codecs/pxcodecs_impl.h"
#include "core/hypxutils.h"
#include "core/hypxutils_streams.h"
#include "core/neurquant.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "core/pxxBitmaps_pixel.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "proc/pixoranproc_colour.h"
#include "proc/pixoranproc_rows.h"

using namespace pxcodecs_detail;

namespace {

constexpr int32_t kHeaderSize = 18;
constexpr int32_t kFooterSize = 26;
constexpr int32_t kExtensionSize = 495;
constexpr char kFooterTag[18] = {'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O',
                                 'N', '-', 'X', 'F', 'I', 'L', 'E', '.', '\0'};
// A picture up to this many bytes is allocated whatever the stream holds; a larger one only
// when the stream holds at least half its data.
constexpr int64_t kFreeAllocation = int64_t{1} << 20;

struct TTgaHeader {
  uint8_t IdLength = 0;
  uint8_t MapType = 0;
  uint8_t ImageType = 0;
  uint16_t MapFirst = 0;
  uint16_t MapLength = 0;
  uint8_t MapBits = 0;
  uint16_t X = 0;
  uint16_t Y = 0;
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t Depth = 0;
  uint8_t Descriptor = 0;
};

TTgaHeader ParseHeader(const uint8_t* B) {
  TTgaHeader h;
  h.IdLength = B[0];
  h.MapType = B[1];
  h.ImageType = B[2];
  h.MapFirst = GetLE16(B + 3);
  h.MapLength = GetLE16(B + 5);
  h.MapBits = B[7];
  h.X = GetLE16(B + 8);
  h.Y = GetLE16(B + 10);
  h.Width = GetLE16(B + 12);
  h.Height = GetLE16(B + 14);
  h.Depth = B[16];
  h.Descriptor = B[17];
  return h;
}

bool ValidHeader(const TTgaHeader& H) {
  const uint8_t t = H.ImageType, d = H.Depth;
  const bool type = t == 1 || t == 2 || t == 3 || t == 9 || t == 10 || t == 11;
  const bool depth = d == 1 || d == 4 || d == 8 || d == 16 || d == 24 || d == 32;
  return type && depth && H.MapType <= 1 && H.Width > 0 && H.Height > 0;
}

std::string FieldText(const uint8_t* P, size_t Max) {
  size_t n = 0;
  while (n < Max && P[n]) ++n;
  return BytesToUtf8(std::string_view(reinterpret_cast<const char*>(P), n));
}

// Extension defaults, then the footer's extension area when the stream has one.
void ReadExtension(TStream* Stream, int64_t Start, TIOParams* Params) {
  Params->TGA_Author.clear();
  Params->TGA_JobName.clear();
  Params->TGA_Date = Date();
  Params->TGA_KeyColor = TRGB{0, 0, 0};
  Params->TGA_AspectRatio = 1.0;
  Params->TGA_Gamma = 2.2;
  const int64_t size = Stream->Size();
  if (size - Start < kHeaderSize + kFooterSize) return;
  uint8_t footer[kFooterSize];
  Stream->Seek(size - kFooterSize, soBeginning);
  if (ReadFully(Stream, footer, kFooterSize) != kFooterSize || std::memcmp(footer + 8, kFooterTag, 18) != 0) return;
  const int64_t offset = GetLE32(footer);
  if (offset < kHeaderSize || Start + offset + kExtensionSize > size) return;
  uint8_t e[kExtensionSize];
  Stream->Seek(Start + offset, soBeginning);
  if (ReadFully(Stream, e, kExtensionSize) != kExtensionSize) return;
  Params->TGA_Author = FieldText(e + 2, 41);
  const uint16_t month = GetLE16(e + 367), day = GetLE16(e + 369), year = GetLE16(e + 371);
  const uint16_t hour = GetLE16(e + 373), minute = GetLE16(e + 375), second = GetLE16(e + 377);
  if (month >= 1 && month <= 12 && day >= 1 && day <= 31 && year >= 1 && year <= 2499 && hour < 24 && minute < 60 &&
      second < 60) {
    try {
      Params->TGA_Date = EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0);
    } catch (const std::exception&) {
      // A day the month has not: the current date stays.
    }
  }
  Params->TGA_JobName = FieldText(e + 379, 41);
  Params->TGA_KeyColor = TRGB{e[473], e[472], e[471]};
  const uint16_t an = GetLE16(e + 474), ad = GetLE16(e + 476), gn = GetLE16(e + 478), gd = GetLE16(e + 480);
  if (an && ad) Params->TGA_AspectRatio = double(an) / ad;
  if (gn && gd) Params->TGA_Gamma = double(gn) / gd;
}

// Pixel units of the stored data, run-length coded or plain; packets may cross rows.
class TTgaUnitReader {
 public:
  TTgaUnitReader(TStream* Stream, bool Coded, int32_t UnitBytes) : s_(Stream), coded_(Coded), unit_(UnitBytes) {}
  // Fills Count units; missing data reads as zeros. False once the data has ended.
  bool Read(uint8_t* Dest, int64_t Count) {
    if (!coded_) {
      const int64_t want = Count * unit_, got = ended_ ? 0 : ReadFully(s_, Dest, want);
      if (got < want) {
        std::memset(Dest + got, 0, size_t(want - got));
        ended_ = true;
      }
      return !ended_;
    }
    int64_t i = 0;
    while (i < Count) {
      if (remaining_ == 0) {
        uint8_t h;
        if (ended_ || s_->Read(&h, 1) != 1) break;
        remaining_ = (h & 0x7F) + 1;
        run_ = (h & 0x80) != 0;
        if (run_ && ReadFully(s_, value_, unit_) != unit_) break;
      }
      const int64_t n = std::min<int64_t>(remaining_, Count - i);
      if (run_) {
        for (int64_t k = 0; k < n; ++k) std::memcpy(Dest + (i + k) * unit_, value_, size_t(unit_));
      } else if (ReadFully(s_, Dest + i * unit_, n * unit_) != n * unit_) {
        break;
      }
      remaining_ -= static_cast<int32_t>(n);
      i += n;
    }
    if (i < Count) {
      std::memset(Dest + i * unit_, 0, size_t((Count - i) * unit_));
      ended_ = true;
    }
    return !ended_;
  }

 private:
  TStream* s_;
  bool coded_;
  int32_t unit_;
  bool ended_ = false;
  int32_t remaining_ = 0;
  bool run_ = false;
  uint8_t value_[4] = {};
};

void DecodeBody(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress, bool PreviewOnly,
                std::unique_ptr<TPXMask>& AlphaMask, bool IgnoreAlpha, TPXAbortFlag& Aborting) {
  std::array<TRGB, 256> palette;
  std::array<uint8_t, 256> alphaTable;
  for (int i = 0; i < 256; ++i) {
    palette[i] = TRGB{uint8_t((i & 3) * 64 + 60), uint8_t(((i >> 2) & 7) * 32 + 28), uint8_t((i >> 5) * 32 + 28)};
    alphaTable[i] = 255;
  }
  bool paletteAlpha = false;
  const int64_t start = Stream->Position();
  ReadExtension(Stream, start, Params);
  Stream->Seek(start, soBeginning);

  TPXBufferedReadStream s(Stream, 8192, true);
  uint8_t hb[kHeaderSize];
  if (ReadFully(&s, hb, kHeaderSize) != kHeaderSize) {
    Aborting = true;
    return;
  }
  const TTgaHeader h = ParseHeader(hb);
  if (!ValidHeader(h)) {
    Aborting = true;
    return;
  }
  Params->TGA_XPos = h.X;
  Params->TGA_YPos = h.Y;
  std::string id(h.IdLength, '\0');
  if (ReadFully(&s, id.data(), h.IdLength) != h.IdLength) {
    Aborting = true;
    return;
  }
  Params->TGA_ImageID = id;

  if (h.MapType == 1) {
    const int32_t entryBytes = h.MapBits == 15 || h.MapBits == 16 ? 2 : h.MapBits == 24 ? 3 : h.MapBits == 32 ? 4 : 0;
    if (entryBytes == 0) {
      Aborting = true;
      return;
    }
    std::vector<uint8_t> map(size_t(h.MapLength) * entryBytes);
    if (ReadFully(&s, map.data(), int64_t(map.size())) != int64_t(map.size())) {
      Aborting = true;
      return;
    }
    for (int32_t i = 0; i < h.MapLength; ++i) {
      const int32_t index = h.MapFirst + i;
      if (index > 255) break;
      const uint8_t* e = map.data() + size_t(i) * entryBytes;
      if (entryBytes == 2) {
        palette[index] = PXFrom555(GetLE16(e));
      } else {
        palette[index] = TRGB{e[0], e[1], e[2]};
        if (entryBytes == 4) {
          alphaTable[index] = e[3];
          paletteAlpha = true;
        }
      }
    }
    Params->SetColorMap(palette.data(), std::min<int32_t>(h.MapLength, 256));
    Params->TGA_GrayLevel = false;
  } else {
    Params->FreeColorMap();
    if (h.Depth == 8) {
      for (int i = 0; i < 256; ++i) palette[i] = TRGB{uint8_t(i), uint8_t(i), uint8_t(i)};
      Params->TGA_GrayLevel = true;
    } else if (h.Depth == 1) {
      palette[0] = TRGB{0, 0, 0};
      palette[1] = TRGB{255, 255, 255};
    }
  }

  Params->TGA_Compressed = h.ImageType >= 9;
  const int32_t w = h.Width, ht = h.Height;
  Params->Width = Params->OriginalWidth = w;
  Params->Height = Params->OriginalHeight = ht;
  Params->SetDpiX(DefaultDpiX());
  Params->SetDpiY(DefaultDpiY());
  Params->SetImageCount(1);
  switch (h.Depth) {
    case 1: Params->BitsPerSample = 1, Params->SamplesPerPixel = 1; break;
    case 4: Params->BitsPerSample = 4, Params->SamplesPerPixel = 1; break;
    case 8: Params->BitsPerSample = 8, Params->SamplesPerPixel = 1; break;
    case 16: Params->BitsPerSample = 5, Params->SamplesPerPixel = 3; break;
    case 24: Params->BitsPerSample = 8, Params->SamplesPerPixel = 3; break;
    case 32: Params->BitsPerSample = 8, Params->SamplesPerPixel = 4; break;
    default: break;
  }
  if (PreviewOnly) return;

  // Depths 1 and 4 are handled as packed bytes (packets count bytes); the others per pixel.
  const bool packed = h.Depth < 8;
  const int32_t unit = packed ? 1 : h.Depth / 8;
  const int64_t rowUnits = h.Depth == 1 ? (int64_t(w) + 7) / 8 : h.Depth == 4 ? (int64_t(w) + 1) / 2 : w;
  const bool coded = h.ImageType >= 9;
  const int64_t pictureBytes = h.Depth == 1 ? (int64_t(w) + 7) / 8 * ht : int64_t(w) * ht * 3;
  const int64_t dataBytes = rowUnits * unit * ht;
  const int64_t left = std::max<int64_t>(s.Size() - s.Position(), 0);
  // A run packet of (1 + unit) bytes gives at most 128 units.
  if (pictureBytes > kFreeAllocation && (coded ? dataBytes / (128 * unit) : dataBytes) > 2 * left) {
    Aborting = true;
    return;
  }
  if (!Bitmap->Allocate(w, ht, h.Depth == 1 ? px1g : px24RGB)) {
    Aborting = true;
    return;
  }
  TPXMask* mask = nullptr;
  if (!IgnoreAlpha && (h.Depth == 32 || (h.Depth == 8 && paletteAlpha))) {
    if (!AlphaMask) AlphaMask = std::make_unique<TPXMask>();
    mask = AlphaMask.get();
    mask->AllocateBits(w, ht, 8);
    mask->Fill(255);
    mask->FFull = 0;
  }
  Progress.PerCentPerUnit = 100.0 / ht;
  Progress.Count = 0;
  std::vector<uint8_t> data(size_t(rowUnits * unit));
  std::vector<TRGB> rgb(h.Depth == 1 ? 0 : size_t(w));
  std::vector<uint8_t> alpha(size_t(w), 255);
  const bool topDown = (h.Descriptor & 0x20) != 0;
  const bool rightToLeft = (h.Descriptor & 0x10) != 0;
  TTgaUnitReader reader(&s, coded, unit);
  bool shortData = false;
  for (int32_t i = 0; i < ht; ++i) {
    if (!reader.Read(data.data(), rowUnits)) shortData = true;
    const uint8_t* d = data.data();
    switch (h.Depth) {
      case 4:
        for (int32_t x = 0; x < w; ++x) rgb[x] = palette[(d[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
        break;
      case 8:
        for (int32_t x = 0; x < w; ++x) {
          rgb[x] = palette[d[x]];
          if (mask) alpha[x] = alphaTable[d[x]];
        }
        break;
      case 16:
        for (int32_t x = 0; x < w; ++x) rgb[x] = PXFrom555(GetLE16(d + 2 * x));
        break;
      case 24: std::memcpy(rgb.data(), d, size_t(w) * 3); break;
      case 32:
        for (int32_t x = 0; x < w; ++x) {
          rgb[x] = TRGB{d[4 * x], d[4 * x + 1], d[4 * x + 2]};
          alpha[x] = d[4 * x + 3];
        }
        break;
      default: break;
    }
    const int32_t y = topDown ? i : ht - 1 - i;
    uint8_t* row = Bitmap->Scanline(y);
    if (h.Depth == 1) {
      const size_t n = (size_t(w) + 7) / 8;
      if (rightToLeft) {
        std::memset(row, 0, n);
        for (int32_t x = 0; x < w; ++x)
          if (d[x >> 3] & (0x80 >> (x & 7))) row[(w - 1 - x) >> 3] |= uint8_t(0x80 >> ((w - 1 - x) & 7));
      } else {
        std::memcpy(row, d, n);
      }
    } else {
      if (rightToLeft) {
        std::reverse(rgb.begin(), rgb.end());
        std::reverse(alpha.begin(), alpha.end());
      }
      std::memcpy(row, rgb.data(), size_t(w) * 3);
    }
    if (mask) std::memcpy(mask->GetScanline(y), alpha.data(), size_t(w));
    ++Progress.Count;
    if (Progress.Event) Progress.Event(Progress.Sender, PerCentOf(Progress, Progress.Count));
    if (Aborting || shortData) break;
  }
  if (shortData) Aborting = true;
  if (mask) {
    mask->UpdateBounds();
    if (mask->IsEmpty()) AlphaMask.reset();  // wholly transparent reads as opaque
  }
}

// ---------------------------------------------------------------------------------------------
// Writer

// Run-length packets of one row of N units of UnitBytes; packets never cross rows.
void CodeRow(const uint8_t* Row, int32_t N, int32_t UnitBytes, std::vector<uint8_t>& Out) {
  const auto same = [&](int32_t A, int32_t B) {
    return std::memcmp(Row + size_t(A) * UnitBytes, Row + size_t(B) * UnitBytes, size_t(UnitBytes)) == 0;
  };
  int32_t i = 0;
  while (i < N) {
    int32_t run = 1;
    while (i + run < N && run < 128 && same(i, i + run)) ++run;
    if (run >= 2) {
      Out.push_back(uint8_t((run - 1) | 0x80));
      Out.insert(Out.end(), Row + size_t(i) * UnitBytes, Row + size_t(i + 1) * UnitBytes);
      i += run;
      continue;
    }
    int32_t count = 1;
    while (i + count < N && count < 127 && !(i + count + 1 < N && same(i + count, i + count + 1))) ++count;
    if (count == 127 && i + count == N - 1) ++count;  // the row's last pixel joins
    Out.push_back(uint8_t(count - 1));
    Out.insert(Out.end(), Row + size_t(i) * UnitBytes, Row + size_t(i + count) * UnitBytes);
    i += count;
  }
}

// Integer ratio of V: the integer part of V x 10000 over 10000 where it fits 16 bits, else the
// largest denominator that lets it fit; 0 / 0 for values that are not positive.
void Ratio(double V, uint8_t* Dest) {
  uint32_t num = 0, den = 0;
  if (V > 0 && V < 65536) {
    for (uint32_t d = 10000; d >= 1; d /= 10) {
      const long double n = Trunc(static_cast<long double>(V) * d + 1e-7L);
      if (n <= 65535) {
        num = static_cast<uint32_t>(n);
        den = d;
        break;
      }
    }
  }
  PutLE16(Dest, num);
  PutLE16(Dest + 2, den);
}

void PutText(uint8_t* Dest, const std::string& S) { std::memcpy(Dest, S.data(), std::min<size_t>(S.size(), 40)); }

}  // namespace

bool HasTargaSignature(TStream* Stream) {
  if (!Stream) return false;
  const int64_t pos = Stream->Position();
  uint8_t b[kHeaderSize];
  const bool ok = ReadFully(Stream, b, kHeaderSize) == kHeaderSize && ValidHeader(ParseHeader(b));
  Stream->Seek(pos, soBeginning);
  return ok;
}

void DecodeTargaStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                       bool PreviewOnly, std::unique_ptr<TPXMask>& AlphaMask, bool IgnoreAlpha) {
  RunGuarded(Progress, Stream && Params && (Bitmap || PreviewOnly), [&](TPXAbortFlag& Aborting) {
    DecodeBody(Stream, Bitmap, Params, Progress, PreviewOnly, AlphaMask, IgnoreAlpha, Aborting);
  });
}

void EncodeTargaStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                       TPXMask* Mask) {
  TPXAbortFlag own{false};
  TPXAbortFlag& aborting = AbortFlagOf(Progress, own);
  if (!Stream || !Bitmap || !Params || Bitmap->Width() <= 0 || Bitmap->Height() <= 0 || Bitmap->Width() > 65535 ||
      Bitmap->Height() > 65535) {
    aborting = true;
    return;
  }
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  int32_t depth;
  int32_t colors = 0;
  if (Params->SamplesPerPixel == 1) {
    depth = Params->BitsPerSample == 1 ? 1 : 8;
    colors = Params->BitsPerSample == 4 ? 16 : 256;  // 4 bits: a 16-colour palette at depth 8
  } else {
    depth = Mask ? 32 : 24;
  }
  if (Mask && (Mask->Width() < w || Mask->Height() < h || Mask->BitsPerPixel() != 8)) Mask = nullptr;
  if (depth == 32 && !Mask) depth = 24;

  // The source in the layout of the depth: px1g for depth 1, px24RGB for the others.
  std::unique_ptr<TPXBitmap> copy;
  TRGB two[2];  // depth 1 is stored black and white, whatever two colours the picture had
  TPXBitmap* src = WriterSource(Bitmap, depth == 1, copy, two);
  if (!src) {
    aborting = true;
    return;
  }

  const bool grey = depth == 8 && Params->TGA_GrayLevel;
  if (depth == 1 || depth == 32) Params->TGA_Compressed = false;
  const bool coded = Params->TGA_Compressed && (depth == 8 || depth == 24);
  std::vector<TRGB> palette;
  std::unique_ptr<TPXQuantizer> quantizer;
  if (depth == 8) {
    palette.assign(256, TRGB{});
    quantizer = std::make_unique<TPXQuantizer>(src, palette.data(), 0x7FFFFFF, colors);
    palette.resize(size_t(colors));
    Params->SetColorMap(palette.data(), colors);
  }

  // An ID that already ends in a zero gets none added; at most 255 bytes.
  std::string id = Params->TGA_ImageID;
  if (id.empty() || id.back() != '\0') id += '\0';
  if (id.size() > 255) id.resize(255);

  uint8_t hb[kHeaderSize] = {};
  hb[0] = uint8_t(id.size());
  const bool mapped = depth == 8 && !grey;
  hb[1] = mapped ? 1 : 0;
  hb[2] = uint8_t((depth == 1 || grey ? 3 : mapped ? 1 : 2) + (coded ? 8 : 0));
  if (depth == 8) {
    PutLE16(hb + 5, grey ? 256 : uint32_t(colors));
    hb[7] = 24;
  }
  PutLE16(hb + 8, uint32_t(Params->TGA_XPos));
  PutLE16(hb + 10, uint32_t(Params->TGA_YPos));
  PutLE16(hb + 12, uint32_t(w));
  PutLE16(hb + 14, uint32_t(h));
  hb[16] = uint8_t(depth);
  hb[17] = depth == 32 ? 0x28 : 0x20;
  const int64_t start = Stream->Position();
  bool failed = false;
  StreamWriteChecked(Stream, failed, hb, kHeaderSize);
  StreamWriteChecked(Stream, failed, id.data(), int64_t(id.size()));
  if (mapped) StreamWriteChecked(Stream, failed, palette.data(), int64_t(palette.size()) * 3);

  Progress.PerCentPerUnit = 100.0 / h;
  Progress.Count = 0;
  const int32_t unit = depth == 1 ? 1 : depth / 8;
  const size_t rowBytes = depth == 1 ? (size_t(w) + 7) / 8 : size_t(w) * unit;
  std::vector<uint8_t> row(rowBytes), out;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* p = src->Scanline(y);
    const uint8_t* data = p;
    if (depth == 8) {
      ReduceRowToPalette(p, row.data(), 24, 8, uint16_t(w), {}, quantizer.get());
      if (grey) {
        for (int32_t x = 0; x < w; ++x) {
          const TRGB& c = palette[std::min<size_t>(row[x], palette.size() - 1)];
          row[x] = uint8_t(std::clamp(ColorToGrayLevel(c.r << 16 | c.g << 8 | c.b), 0, 255));
        }
      }
      data = row.data();
    } else if (depth == 32) {
      const uint8_t* a = Mask->GetScanline(y);
      for (int32_t x = 0; x < w; ++x) {
        std::memcpy(row.data() + 4 * x, p + 3 * x, 3);
        row[4 * x + 3] = a ? a[x] : 255;
      }
      data = row.data();
    }
    if (coded) {
      out.clear();
      CodeRow(data, w, unit, out);
      StreamWriteChecked(Stream, failed, out.data(), int64_t(out.size()));
    } else {
      StreamWriteChecked(Stream, failed, data, int64_t(rowBytes));
    }
    ++Progress.Count;
    if (Progress.Event) Progress.Event(Progress.Sender, PerCentOf(Progress, Progress.Count));
  }

  // Extension area, then the footer pointing at it.
  const int64_t extension = Stream->Position() - start;
  uint8_t e[kExtensionSize] = {};
  PutText(e + 2, Params->TGA_Author);
  uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
  try {
    DecodeDate(Params->TGA_Date, year, month, day);
    DecodeTime(Params->TGA_Date, hour, minute, second, ms);
  } catch (const std::exception&) {
    year = month = day = hour = minute = second = 0;
  }
  const uint16_t stamp[6] = {month, day, year, hour, minute, second};
  for (int i = 0; i < 6; ++i) PutLE16(e + 367 + 2 * i, stamp[i]);
  PutText(e + 379, Params->TGA_JobName);
  e[471] = Params->TGA_KeyColor.r;
  e[472] = Params->TGA_KeyColor.g;
  e[473] = Params->TGA_KeyColor.b;
  Ratio(Params->TGA_AspectRatio, e + 474);
  Ratio(Params->TGA_Gamma, e + 478);
  StreamWriteChecked(Stream, failed, e, kExtensionSize);
  uint8_t footer[kFooterSize] = {};
  PutLE32(footer, uint32_t(extension));
  std::memcpy(footer + 8, kFooterTag, 18);
  StreamWriteChecked(Stream, failed, footer, kFooterSize);
  if (failed) aborting = true;
}

void RegisterTgaCodec() {
  TPXFormatRow row;
  row.Decode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress, bool PreviewOnly,
                  std::unique_ptr<TPXMask>& Mask) -> int32_t {
    DecodeTargaStream(Stream, Bitmap, Params, Progress, PreviewOnly, Mask, PreviewOnly);
    return 0;
  };
  row.Encode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXMask* AlphaMask,
                  TPXProgressRecord& Progress) { EncodeTargaStream(Stream, Bitmap, Params, Progress, AlphaMask); };
  row.Signature = HasTargaSignature;
  row.Rules.MaskToAlpha = true;
  row.Rules.AlphaMaskOnSave = true;
  row.Rules.ConvertTo24OnSave = true;
  RegisterFormatRow(pxftTGA, std::move(row));
}
