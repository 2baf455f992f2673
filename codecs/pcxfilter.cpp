// The PCX and DCX codecs.
#include "codecs/pcxfilter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/pxcodecs.h"
#include "codecs/pxcodecs_impl.h"
#include "core/hypxutils.h"
#include "core/neurquant.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "proc/pixoranproc_rows.h"

using namespace pxcodecs_detail;

namespace {

constexpr int32_t kHeaderSize = 128;
constexpr int32_t kPaletteSize = 768;
constexpr uint32_t kDcxMagic = 987654321;
constexpr int32_t kDcxMaxEntries = 1024;
// A picture up to this many bytes is allocated whatever the data holds; a larger one only when
// the data can give at least half its lines.
constexpr int64_t kFreeAllocation = int64_t{1} << 16;

// Plane lines out of the image data; a run may continue into the next plane line, and data
// that has ended reads as zeros.
class TPcxLineDecoder {
 public:
  TPcxLineDecoder(const std::vector<uint8_t>& Data, bool Coded) : data_(Data), coded_(Coded) {}
  // Whether a plane line reached past the end of the data (a file cut short).
  bool Short() const { return short_; }
  void Decode(uint8_t* Dest, int32_t Count) {
    int32_t i = 0;
    if (!coded_) {
      const auto n = static_cast<int32_t>(std::min<size_t>(size_t(Count), data_.size() - pos_));
      if (n > 0) std::memcpy(Dest, data_.data() + pos_, size_t(n));  // no data: no source at all
      pos_ += size_t(n);
      i = n;
    } else {
      while (i < Count) {
        if (carry_ > 0) {
          const int32_t n = std::min(carry_, Count - i);
          std::memset(Dest + i, value_, size_t(n));
          carry_ -= n;
          i += n;
          continue;
        }
        if (pos_ >= data_.size()) break;
        const uint8_t b = data_[pos_++];
        if (b < 192) {
          Dest[i++] = b;
        } else {
          carry_ = b & 63;
          value_ = pos_ < data_.size() ? data_[pos_++] : 0;
        }
      }
    }
    if (i < Count) {
      std::memset(Dest + i, 0, size_t(Count - i));
      short_ = true;
    }
  }

 private:
  const std::vector<uint8_t>& data_;
  bool coded_;
  bool short_ = false;
  size_t pos_ = 0;
  int32_t carry_ = 0;
  uint8_t value_ = 0;
};

// Codes one plane line of N bytes; an odd N gets a 0 byte after it.
void CodeLine(const uint8_t* Src, int32_t N, std::vector<uint8_t>& Out) {
  int32_t i = 0;
  while (i < N) {
    int32_t count = 1;
    while (i + count < N && count < 63 && Src[i + count] == Src[i]) ++count;
    if (count >= 2 || Src[i] >= 192) {
      Out.push_back(uint8_t(192 + count));
      Out.push_back(Src[i]);
    } else {
      Out.push_back(Src[i]);
    }
    i += count;
  }
  if (N & 1) Out.push_back(0);
}

TRGB FromRgb(const uint8_t* P) { return TRGB{P[2], P[1], P[0]}; }
// N colours as the file's RGB triplets.
void PutRgb(uint8_t* Dest, const TRGB* Colors, int32_t N) {
  for (int32_t i = 0; i < N; ++i) {
    Dest[3 * i] = Colors[i].r;
    Dest[3 * i + 1] = Colors[i].g;
    Dest[3 * i + 2] = Colors[i].b;
  }
}

void DecodePcxBody(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, int64_t Size, TPXProgressRecord& Progress,
                   bool PreviewOnly, TPXAbortFlag& Aborting) {
  const int64_t start = Stream->Position();
  Size = std::min<int64_t>(Size, std::max<int64_t>(Stream->Size() - start, 0));
  uint8_t hb[kHeaderSize];
  if (Size < kHeaderSize || ReadFully(Stream, hb, kHeaderSize) != kHeaderSize) {
    Aborting = true;
    return;
  }
  const uint8_t bits = hb[3], planes = hb[65], encoding = hb[2];
  const uint16_t xmin = GetLE16(hb + 4), ymin = GetLE16(hb + 6), xmax = GetLE16(hb + 8), ymax = GetLE16(hb + 10);
  const uint16_t bytesPerLine = GetLE16(hb + 66);
  const bool palette8 = bits == 8 && planes == 1;
  if (hb[0] != 10 || (bits != 1 && bits != 2 && bits != 4 && bits != 8) || encoding > 1 || planes == 0 || planes > 4 ||
      xmax < xmin || ymax < ymin) {
    Aborting = true;
    return;
  }
  const int32_t w = xmax - xmin + 1, h = ymax - ymin + 1;
  if (bytesPerLine < (int64_t(w) * bits + 7) / 8 || (palette8 && Size < kHeaderSize + 1 + kPaletteSize)) {
    Aborting = true;
    return;
  }
  Params->SetImageCount(1);
  int32_t dpiX = GetLE16(hb + 12), dpiY = GetLE16(hb + 14);
  if (dpiX == 0 || dpiY == 0) {
    dpiX = DefaultDpiX();
    dpiY = DefaultDpiY();
  }
  Params->SetDpiX(dpiX);
  Params->SetDpiY(dpiY);

  std::array<TRGB, 16> headerPalette;
  for (int i = 0; i < 16; ++i) headerPalette[i] = FromRgb(hb + 16 + 3 * i);
  std::array<TRGB, 256> palette{};
  if (palette8) {
    // The palette and the byte 12 before it end the data; without that byte there is no palette
    // (a file cut short, for one) and the indices are grey levels, as other readers take them.
    uint8_t p[1 + kPaletteSize];
    Stream->Seek(start + Size - kPaletteSize - 1, soBeginning);
    if (ReadFully(Stream, p, sizeof p) != sizeof p) {
      Aborting = true;
      return;
    }
    for (int i = 0; i < 256; ++i)
      palette[i] = p[0] == 12 ? FromRgb(p + 1 + 3 * i) : TRGB{uint8_t(i), uint8_t(i), uint8_t(i)};
    Stream->Seek(start + kHeaderSize, soBeginning);
  }

  Params->BitsPerSample = bits;
  Params->SamplesPerPixel = planes;
  Params->Width = Params->OriginalWidth = w;
  Params->Height = Params->OriginalHeight = h;
  Params->PCX_Version = hb[1];
  const bool planes16 = bits == 1 && planes == 4;
  if (bits == 8) {
    Params->SetColorMap(palette.data(), 256);
  } else if (planes16) {
    Params->SetColorMap(headerPalette.data(), 16);
    Params->BitsPerSample = 4;
    Params->SamplesPerPixel = 1;
  } else {
    Params->SetColorMap(headerPalette.data(), 1 << bits);
  }
  if (PreviewOnly) return;

  const int64_t lineBytes = int64_t(bytesPerLine) * planes;
  const int64_t dataSize = Size - kHeaderSize;
  // Two coded bytes give at most 63.
  const int64_t producible = encoding == 1 ? (dataSize + 1) / 2 * 63 : dataSize;
  const bool mono = bits == 1 && planes == 1;
  const int64_t pictureBytes = mono ? (int64_t(w) + 7) / 8 * h : int64_t(w) * h * 3;
  // Neither the picture nor the lines to decode may be far beyond what the data can give.
  if ((pictureBytes > kFreeAllocation || lineBytes * h > kFreeAllocation) && lineBytes * h > 2 * producible) {
    Aborting = true;
    return;
  }
  std::vector<uint8_t> data(static_cast<size_t>(dataSize));
  data.resize(size_t(ReadFully(Stream, data.data(), dataSize)));
  if (!Bitmap->Allocate(w, h, mono ? px1g : px24RGB)) {
    Aborting = true;
    return;
  }
  Progress.PerCentPerUnit = 100.0 / h;
  Progress.Count = 0;
  TPcxLineDecoder decoder(data, encoding == 1);
  std::vector<uint8_t> line(static_cast<size_t>(lineBytes));
  int32_t fired = -1;
  for (int32_t y = 0; y < h; ++y) {
    const auto per =
        static_cast<int32_t>(std::min<long double>(Trunc(y * static_cast<long double>(Progress.PerCentPerUnit)), 100));
    if (per != fired) {
      fired = per;
      if (Progress.Event) Progress.Event(Progress.Sender, per);
    }
    if (Aborting) break;
    for (int p = 0; p < planes; ++p) decoder.Decode(line.data() + size_t(p) * bytesPerLine, bytesPerLine);
    uint8_t* row = Bitmap->Scanline(y);
    if (decoder.Short()) {
      // The data ends in this line: it and the lines below stay black.
      for (int32_t k = y; k < h; ++k) std::memset(Bitmap->Scanline(k), 0, size_t(Bitmap->RowLen()));
      Aborting = true;
      break;
    }
    auto* rgb = reinterpret_cast<TRGB*>(row);
    const uint8_t* l = line.data();
    if (mono) {
      std::memcpy(row, l, (size_t(w) + 7) / 8);
    } else if (palette8) {
      for (int32_t x = 0; x < w; ++x) rgb[x] = palette[l[x]];
    } else if (bits == 4 && planes == 1) {
      for (int32_t x = 0; x < w; ++x) rgb[x] = headerPalette[(l[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
    } else if (bits == 8 && planes >= 3) {
      for (int32_t x = 0; x < w; ++x) rgb[x] = TRGB{l[2 * bytesPerLine + x], l[bytesPerLine + x], l[x]};
    } else if (planes16) {
      for (int32_t x = 0; x < w; ++x) {
        int v = 0;
        for (int p = 0; p < 4; ++p) v |= ((l[p * bytesPerLine + (x >> 3)] >> (7 - (x & 7))) & 1) << p;
        rgb[x] = headerPalette[v];
      }
    } else {
      std::memset(row, 0, size_t(Bitmap->RowLen()));  // a layout without pictures of its own
    }
    ++Progress.Count;
  }
}

}  // namespace

void DecodePcxStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, int64_t Size, TPXProgressRecord& Progress,
                     bool PreviewOnly) {
  RunGuarded(Progress, Stream && Params && (Bitmap || PreviewOnly), [&](TPXAbortFlag& Aborting) {
    DecodePcxBody(Stream, Bitmap, Params, Size, Progress, PreviewOnly, Aborting);
  });
}

void EncodePcxStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress) {
  TPXAbortFlag own{false};
  TPXAbortFlag& aborting = AbortFlagOf(Progress, own);
  // The header keeps the last column and row in 16 bits each.
  if (!Stream || !Bitmap || !Params || Bitmap->Width() <= 0 || Bitmap->Height() <= 0 || Bitmap->Width() > 65536 ||
      Bitmap->Height() > 65536) {
    aborting = true;
    return;
  }
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (Params->SamplesPerPixel > 3) Params->SamplesPerPixel = 3;
  // Depths the format has no layout for take the nearest one it has.
  const int32_t bps = Params->BitsPerSample, spp = Params->SamplesPerPixel;
  int32_t depth = bps == 1 ? 1 : bps * spp;
  if (depth != 1 && depth != 4 && depth != 8 && depth != 24) depth = spp >= 3 ? 24 : bps <= 4 ? 4 : 8;
  // Bytes per plane line, even, must fit its 16-bit field too.
  int32_t bytesPerLine = depth == 1 ? (w + 7) / 8 : depth == 4 ? (w + 1) / 2 : w;
  bytesPerLine += bytesPerLine & 1;
  if (bytesPerLine > 65535) {
    aborting = true;
    return;
  }

  std::unique_ptr<TPXBitmap> copy;
  TRGB two[2];
  TPXBitmap* src = WriterSource(Bitmap, depth == 1, copy, two);
  if (!src) {
    aborting = true;
    return;
  }

  const bool coded = Params->PCX_Compression;
  uint8_t hb[kHeaderSize] = {};
  hb[0] = 10;
  hb[1] = uint8_t(Params->PCX_Version);
  hb[2] = coded ? 1 : 0;
  PutLE16(hb + 8, uint32_t(w - 1));
  PutLE16(hb + 10, uint32_t(h - 1));
  PutLE16(hb + 12, uint32_t(Params->DpiX));
  PutLE16(hb + 14, uint32_t(Params->DpiY));
  PutLE16(hb + 68, depth == 24 ? 0 : 1);
  hb[65] = depth == 24 ? 3 : 1;
  hb[3] = depth == 1 ? 1 : depth == 4 ? 4 : 8;
  PutLE16(hb + 66, uint32_t(bytesPerLine));
  std::vector<TRGB> palette;
  std::unique_ptr<TPXQuantizer> quantizer;
  if (depth == 1) {
    PutRgb(hb + 16, two, 2);
  } else if (depth == 4 || depth == 8) {
    const int32_t n = depth == 4 ? 16 : 256;
    palette.assign(256, TRGB{});
    quantizer = std::make_unique<TPXQuantizer>(src, palette.data(), n - 1, n);
    if (depth == 4) PutRgb(hb + 16, palette.data(), 16);
  }
  bool failed = false;
  StreamWriteChecked(Stream, failed, hb, kHeaderSize);

  Progress.PerCentPerUnit = 100.0 / h;
  Progress.Count = 0;
  std::vector<uint8_t> plane(size_t(bytesPerLine) * 3, 0), out;
  const int32_t used = depth == 1 ? (w + 7) / 8 : depth == 4 ? (w + 1) / 2 : w;
  for (int32_t y = 0; y < h; ++y) {
    if (Progress.Event)
      Progress.Event(Progress.Sender, static_cast<int32_t>(std::min<long double>(
                                          Trunc(y * static_cast<long double>(Progress.PerCentPerUnit)), 100)));
    if (failed) aborting = true;
    if (aborting) break;
    const uint8_t* row = src->Scanline(y);
    int planes = 1;
    if (depth == 1) {
      std::memcpy(plane.data(), row, size_t(used));
    } else if (depth == 24) {
      planes = 3;
      for (int32_t x = 0; x < w; ++x) {
        plane[x] = row[3 * x + 2];
        plane[bytesPerLine + x] = row[3 * x + 1];
        plane[2 * bytesPerLine + x] = row[3 * x];
      }
    } else {
      ReduceRowToPalette(row, plane.data(), 24, uint16_t(depth), uint16_t(w), {}, quantizer.get());
    }
    out.clear();
    for (int p = 0; p < planes; ++p) {
      const uint8_t* l = plane.data() + size_t(p) * bytesPerLine;
      if (coded)
        CodeLine(l, used, out);
      else
        out.insert(out.end(), l, l + bytesPerLine);
    }
    StreamWriteChecked(Stream, failed, out.data(), int64_t(out.size()));
    ++Progress.Count;
  }
  if (failed) aborting = true;
  if (depth == 8 && !aborting) {
    uint8_t p[1 + kPaletteSize];
    p[0] = 12;
    PutRgb(p + 1, palette.data(), 256);
    StreamWriteChecked(Stream, failed, p, sizeof p);
    if (failed) aborting = true;
  }
}

// ---------------------------------------------------------------------------------------------
// DCX

namespace {

// The page table of the container the stream holds; false without the magic or with an offset
// outside the stream. The position is left after what was read.
bool ReadDcxTable(TStream* Stream, std::vector<int64_t>& Offsets) {
  Offsets.clear();
  const int64_t size = Stream->Size();
  Stream->Seek(0, soBeginning);
  uint8_t b[4];
  if (ReadFully(Stream, b, 4) != 4 || GetLE32(b) != kDcxMagic) return false;
  std::vector<uint8_t> table(size_t(kDcxMaxEntries) * 4);
  const int64_t got = ReadFully(Stream, table.data(), int64_t(table.size())) / 4;
  for (int64_t i = 0; i < got; ++i) {
    const uint32_t o = GetLE32(table.data() + 4 * i);
    if (o == 0) return true;
    if (int64_t(o) >= size) return false;
    Offsets.push_back(o);
  }
  return got == kDcxMaxEntries;  // a table cut short by the stream's end is no table
}

// Each page runs to the nearest larger offset of the table, or to the stream's end.
int64_t DcxPageSize(const std::vector<int64_t>& Offsets, size_t Index, int64_t StreamSize) {
  int64_t end = StreamSize;
  for (int64_t o : Offsets)
    if (o > Offsets[Index] && o < end) end = o;
  return end - Offsets[Index];
}

}  // namespace

bool HasDcxSignature(TStream* Stream) {
  if (!Stream) return false;
  const int64_t pos = Stream->Position();
  std::vector<int64_t> offsets;
  bool ok = false;
  try {
    ok = ReadDcxTable(Stream, offsets);
  } catch (const std::exception&) {
    ok = false;
  }
  Stream->Seek(pos, soBeginning);
  return ok;
}

int32_t GetDcxPageCount(TStream* Stream) {
  if (!Stream) return 0;
  const int64_t pos = Stream->Position();
  int32_t count = 0;
  try {
    Stream->Seek(4, soBeginning);
    uint8_t b[4];
    while (count < kDcxMaxEntries && ReadFully(Stream, b, 4) == 4 && GetLE32(b) != 0) ++count;
  } catch (const std::exception&) {
  }
  Stream->Seek(pos, soBeginning);
  return count;
}

void DecodeDcxStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                     bool PreviewOnly) {
  RunGuarded(Progress, Stream && Params && (Bitmap || PreviewOnly), [&](TPXAbortFlag& Aborting) {
    std::vector<int64_t> offsets;
    if (!ReadDcxTable(Stream, offsets) || offsets.empty()) {
      Aborting = true;
      return;
    }
    const auto count = static_cast<int32_t>(offsets.size());
    const int32_t index = std::clamp(Params->DCX_ImageIndex, 0, count - 1);
    Params->SetImageIndex(index);
    Stream->Seek(offsets[size_t(index)], soBeginning);
    DecodePcxStream(Stream, Bitmap, Params, DcxPageSize(offsets, size_t(index), Stream->Size()), Progress, PreviewOnly);
    Params->SetImageCount(count);
  });
}

void InsertDcxPage(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress) {
  TPXAbortFlag own{false};
  TPXAbortFlag& aborting = AbortFlagOf(Progress, own);
  if (!Stream || !Bitmap || !Params) {
    aborting = true;
    return;
  }
  const int64_t size = Stream->Size();
  std::vector<int64_t> offsets;
  if (size > 0 && !ReadDcxTable(Stream, offsets)) {
    aborting = true;
    return;
  }
  const auto n = static_cast<int32_t>(offsets.size());
  // The table holds 1024 entries and ends with a 0.
  if (n + 1 >= kDcxMaxEntries) {
    aborting = true;
    return;
  }
  const int32_t at = std::clamp(Params->DCX_ImageIndex, 0, n);
  TMemoryStream m;
  std::vector<uint8_t> table(size_t(n + 2) * 4, 0);
  uint8_t magic[4];
  PutLE32(magic, kDcxMagic);
  m.WriteBuffer(magic, 4);
  m.WriteBuffer(table.data(), int64_t(table.size()));
  std::vector<uint8_t> page;
  int32_t slot = 0;
  // The next table entry: where the next page starts in the container.
  const auto addSlot = [&] { PutLE32(table.data() + 4 * slot++, uint32_t(m.Position())); };
  for (int32_t k = 0; k <= n; ++k) {
    if (k == at) {
      addSlot();
      // The page encoder reports into our flag also when the caller's record has none.
      TPXAbortFlag* const callerFlag = Progress.Aborting;
      Progress.Aborting = &aborting;
      try {
        EncodePcxStream(&m, Bitmap, Params, Progress);
      } catch (...) {
        Progress.Aborting = callerFlag;
        throw;
      }
      Progress.Aborting = callerFlag;
      if (aborting) return;  // the container stays as it was
    }
    if (k == n) break;
    addSlot();
    page.resize(size_t(DcxPageSize(offsets, size_t(k), size)));
    Stream->Seek(offsets[size_t(k)], soBeginning);
    if (ReadFully(Stream, page.data(), int64_t(page.size())) != int64_t(page.size())) {
      aborting = true;
      return;
    }
    m.WriteBuffer(page.data(), int64_t(page.size()));
  }
  m.Seek(4, soBeginning);
  m.WriteBuffer(table.data(), int64_t(table.size()));
  Stream->Seek(0, soBeginning);
  Stream->SetSize(0);
  bool failed = false;
  StreamWriteChecked(Stream, failed, m.Memory(), m.Size());
  if (failed) aborting = true;
}

void RegisterPcxCodec() {
  {
    TPXFormatRow row;
    row.Decode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                    bool PreviewOnly, std::unique_ptr<TPXMask>&) -> int32_t {
      DecodePcxStream(Stream, Bitmap, Params, Stream->Size() - Stream->Position(), Progress, PreviewOnly);
      return 0;
    };
    row.Encode = EncodeWithoutMask<EncodePcxStream>;
    row.Rules.ConvertTo24OnSave = true;
    RegisterFormatRow(pxftPCX, std::move(row));
  }
  {
    TPXFormatRow row;
    row.Decode = DecodeWithoutMask<DecodeDcxStream>;
    row.Encode = EncodeWithoutMask<InsertDcxPage>;
    row.Signature = HasDcxSignature;
    row.PageCount = GetDcxPageCount;
    row.Rules.MultiPage = true;
    RegisterFormatRow(pxftDCX, std::move(row));
  }
}
