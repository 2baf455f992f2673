// The BMP codec: reader (12 to 124-byte headers, 1 to 32 bits, RLE4, RLE8, bit fields) and
// writer (1, 4, 8, 24, 32 bits, RLE4 and RLE8), and the format table's BMP row.
#include "codecs/bmpfilt.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <limits>
#include <vector>

#include "codecs/bmpfilt_impl.h"
#include "codecs/pxcodecs.h"
#include "core/hypxutils.h"
#include "core/neurquant.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "core/pxxBitmaps_pixel.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "proc/pixoranproc_colour.h"

using namespace bmpfilt_detail;

namespace {

// Larger sides than this are refused before anything is allocated.
constexpr int64_t kMaxSide = 1 << 20;
// Headers larger than this are not BMP info headers.
constexpr uint32_t kMaxHeaderSize = 1 << 16;

struct TBmpInfo {
  uint32_t HeaderSize = 0;
  int64_t Width = 0;
  int64_t Height = 0;
  bool TopDown = false;
  int32_t Bits = 0;
  uint32_t Compression = 0;
  uint32_t ImageSize = 0;
  int32_t XPpm = 0;
  int32_t YPpm = 0;
  uint32_t ColorsUsed = 0;
  uint32_t Masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool HaveMasks = false;
};

TRGB ColorAt(const TIOParams* Params, uint32_t Index) {
  // Indices past the palette read black.
  if (Index < Params->ColorMap.size() && static_cast<int32_t>(Index) < Params->ColorMapCount)
    return Params->ColorMap[Index];
  return TRGB{0, 0, 0};
}

// Writes one index (as such, or as its palette colour) at column X of a row.
inline void PutIndex(uint8_t* Row, bool Indices, const TIOParams* Params, int64_t X, uint32_t Index) {
  if (Indices) Row[X] = static_cast<uint8_t>(Index);
  else reinterpret_cast<TRGB*>(Row)[X] = ColorAt(Params, Index);
}

// RLE4 / RLE8 data into the bitmap (indices or colours). Pixels a run puts past the end of its
// row are dropped and moves are cut at the picture's edge; Strict refuses runs and moves past
// the row's padded width (writers code the padding pixels too) or the last row, and data that
// goes on past the last row other than with end of bitmap. Ends at the end of bitmap, a move
// past the last row or a set abort flag; answers false when the data ran out before either (a
// file cut short) or, with Strict, on a refused code.
bool DecodeRle(std::span<const uint8_t> Data, bool Rle4, TPXBitmap* Bitmap, const TIOParams* Params, bool Indices,
               bool TopDown, TRowProgress& Progress, bool Strict = false) {
  const int64_t w = Bitmap->Width(), h = Bitmap->Height();
  // The row's width with its padding to 32 bits, in pixels, and the position the codes reached.
  const int64_t padded = (w * (Rle4 ? 4 : 8) + 31) / 32 * (Rle4 ? 8 : 4);
  int64_t reach = 0;
  const size_t n = Data.size();
  size_t p = 0;
  int64_t row = 0, col = 0;
  // The current row's pixels, looked up once per row.
  uint8_t* line = nullptr;
  int64_t lineRow = -1;
  auto rowPtr = [&] {
    if (lineRow != row) {
      line = Bitmap->Scanline(static_cast<int32_t>(TopDown ? row : h - 1 - row));
      lineRow = row;
    }
    return line;
  };
  auto put = [&](uint32_t index) {
    if (col < w) PutIndex(rowPtr(), Indices, Params, col, index);
    col = std::min(col + 1, w);
  };
  while (row < h) {
    if (p + 1 >= n) return row == h - 1 && col >= w;  // the last row complete without its end
    const uint8_t a = Data[p], b = Data[p + 1];
    p += 2;
    if (a > 0) {
      if (Strict && a > padded - reach) return false;
      reach += a;
      // Only the pixels up to the row's end are written.
      const auto take = static_cast<int32_t>(std::min<int64_t>(a, w - col));
      for (int32_t i = 0; i < take; ++i) put(Rle4 ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
      continue;
    }
    if (b == 0) {  // end of line
      ++row;
      col = 0;
      reach = 0;
      if (!Progress.Report(row)) return true;
      continue;
    }
    if (b == 1) return true;  // end of bitmap
    if (b == 2) {             // delta
      if (p + 1 >= n) return false;
      if (Strict && (Data[p] > w - reach || Data[p + 1] >= h - row)) return false;
      reach += Data[p];
      col = std::min<int64_t>(col + Data[p], w);
      row += Data[p + 1];
      p += 2;
      continue;
    }
    // Absolute run of b pixels, padded to a whole 16-bit word.
    if (Strict && b > padded - reach) return false;
    reach += b;
    const size_t bytes = Rle4 ? (size_t{b} + 1) / 2 : b;
    for (int32_t i = 0; i < b; ++i) {
      const size_t q = p + (Rle4 ? i / 2 : i);
      if (q >= n) return false;
      put(Rle4 ? ((i & 1) ? (Data[q] & 0x0F) : (Data[q] >> 4)) : Data[q]);
    }
    p += bytes + (bytes & 1);
  }
  // Every row ended: only an end of bitmap (or nothing) may follow.
  return !Strict || p + 1 >= n || (Data[p] == 0 && Data[p + 1] == 1);
}

void DecodeBmpCore(TStream* Stream, TPXBitmap* Bitmap, int64_t Size, TIOParams* Params, TPXProgressRecord& Progress,
                   bool PreviewOnly, bool NoFileHeader, std::unique_ptr<TPXMask>& AlphaMask, bool IgnoreAlpha) {
  const int64_t start = Stream->Position();
  const int64_t streamEnd = Stream->Size();
  int64_t dataOffset = 0;
  int64_t fileSize = 0;
  if (!NoFileHeader && !Params->IsResource) {
    uint8_t fh[14];
    if (ReadFully(Stream, fh, 14) != 14 || fh[0] != 'B' || fh[1] != 'M') {
      SetAborting(Progress);
      return;
    }
    fileSize = GetLE32(fh + 2);
    dataOffset = GetLE32(fh + 10);
  } else {
    fileSize = streamEnd - start;
  }
  if (Size < 1 && fileSize != 0) Size = fileSize;

  TBmpInfo info;
  uint8_t sizeBytes[4];
  if (ReadFully(Stream, sizeBytes, 4) != 4) {
    SetAborting(Progress);
    return;
  }
  Stream->Seek(-4, soCurrent);
  info.HeaderSize = GetLE32(sizeBytes);
  Params->FreeColorMap();
  if (info.HeaderSize < 12 || info.HeaderSize > kMaxHeaderSize || info.HeaderSize > BytesLeft(Stream)) {
    SetAborting(Progress);
    return;
  }

  int64_t paletteCount = 0;
  int32_t paletteEntrySize = 4;
  if (info.HeaderSize == 12) {
    uint8_t h[12];
    ReadFully(Stream, h, 12);
    Params->BMP_Version = 2;
    info.Width = GetLE16(h + 4);
    info.Height = GetLE16(h + 6);
    info.Bits = GetLE16(h + 10);
    paletteEntrySize = 3;
    if (info.Bits <= 8) paletteCount = int64_t{1} << info.Bits;
  } else {
    uint8_t h[124] = {};
    const uint32_t take = std::min<uint32_t>(info.HeaderSize, 124);
    ReadFully(Stream, h, take);
    if (info.HeaderSize > take) Stream->Seek(info.HeaderSize - take, soCurrent);
    const auto width = static_cast<int32_t>(GetLE32(h + 4));
    const auto height = static_cast<int32_t>(GetLE32(h + 8));
    // Negative widths and the height no positive value matches are not pictures.
    if (width < 0 || height == std::numeric_limits<int32_t>::min()) {
      SetAborting(Progress);
      return;
    }
    info.Width = width;
    info.Height = height < 0 ? -int64_t{height} : height;
    info.TopDown = height < 0;
    info.Bits = GetLE16(h + 14);
    info.Compression = GetLE32(h + 16);
    info.ImageSize = GetLE32(h + 20);
    info.XPpm = static_cast<int32_t>(GetLE32(h + 24));
    info.YPpm = static_cast<int32_t>(GetLE32(h + 28));
    info.ColorsUsed = GetLE32(h + 32);
    Params->BMP_Version = info.HeaderSize == 124   ? 5
                          : info.HeaderSize == 108 ? 4
                          : info.HeaderSize == 64  ? 3
                          : info.HeaderSize == 40  ? 1
                                                   : 0;
    if (info.Compression == 3) {
      info.HaveMasks = true;
      if (info.HeaderSize >= 108 || info.HeaderSize == 56) {
        // Masks with alpha inside the header.
        for (int i = 0; i < 4; ++i) info.Masks[i] = GetLE32(h + 40 + 4 * i);
      } else if (info.HeaderSize >= 52 && info.HeaderSize != 64) {
        for (int i = 0; i < 3; ++i) info.Masks[i] = GetLE32(h + 40 + 4 * i);
      } else {
        // Three masks after the header; alpha is not among them.
        uint8_t m[12] = {};
        ReadFully(Stream, m, 12);
        for (int i = 0; i < 3; ++i) info.Masks[i] = GetLE32(m + 4 * i);
      }
    }
    paletteCount = info.ColorsUsed <= 256 ? info.ColorsUsed : 0;
    if (paletteCount == 0 && info.Bits <= 8) paletteCount = int64_t{1} << info.Bits;
  }
  if (info.Bits <= 8 && paletteCount > 0) {
    std::vector<uint8_t> pal(static_cast<size_t>(paletteCount * paletteEntrySize), 0);
    ReadFully(Stream, pal.data(), static_cast<int64_t>(pal.size()));
    std::vector<TRGB> colors(static_cast<size_t>(paletteCount));
    for (int64_t i = 0; i < paletteCount; ++i) {
      const uint8_t* e = pal.data() + i * paletteEntrySize;
      colors[static_cast<size_t>(i)] = TRGB{e[0], e[1], e[2]};
    }
    Params->SetColorMap(colors.data(), static_cast<int32_t>(paletteCount));
  }

  // Reader fields.
  if (info.Width > kMaxSide || info.Height > kMaxSide) {
    SetAborting(Progress);
    return;
  }
  const auto width = static_cast<int32_t>(info.Width);
  const auto height = static_cast<int32_t>(info.Height);
  Params->Width = Params->OriginalWidth = width;
  Params->Height = Params->OriginalHeight = height;
  Params->SetDpiX(DpiFromPpm(info.XPpm, DefaultDpiX()));
  Params->SetDpiY(DpiFromPpm(info.YPpm, DefaultDpiY()));
  Params->SetImageCount(1);
  if (info.Compression == 0 || info.Compression == 3) Params->BMP_Compression = 0;
  else if (info.Compression == 1 || info.Compression == 2) Params->BMP_Compression = 1;
  switch (info.Bits) {
    case 1: Params->BitsPerSample = 1; Params->SamplesPerPixel = 1; break;
    case 4: Params->BitsPerSample = 4; Params->SamplesPerPixel = 1; break;
    case 8: Params->BitsPerSample = 8; Params->SamplesPerPixel = 1; break;
    case 16: Params->BitsPerSample = 5; Params->SamplesPerPixel = 3; break;
    case 32: Params->BitsPerSample = 8; Params->SamplesPerPixel = 4; break;
    default: Params->BitsPerSample = 8; Params->SamplesPerPixel = 3; break;
  }

  if (dataOffset != 0 && start + dataOffset != Stream->Position()) {
    if (start + dataOffset > streamEnd) {
      SetAborting(Progress);
      return;
    }
    Stream->Seek(start + dataOffset, soBeginning);
  }
  int64_t dataLen = Size > 0 ? Size - (Stream->Position() - start) : info.ImageSize;
  const int64_t left = BytesLeft(Stream);
  if (dataLen <= 0 || dataLen > left) dataLen = left;

  if (PreviewOnly) return;
  // An empty picture is refused; its header has been read.
  if (width == 0 || height == 0) {
    SetAborting(Progress);
    return;
  }

  // No picture larger than its data can describe is allocated.
  const bool rleData = (info.Bits == 8 && info.Compression == 1) || (info.Bits == 4 && info.Compression == 2);
  const int64_t storedRowLen = ((info.Width * std::max(info.Bits, 1) + 31) / 32) * 4;
  if (rleData ? int64_t{width} * height > std::max<int64_t>(left * 4096, int64_t{1} << 20)
              : storedRowLen * height > left + 65536) {
    SetAborting(Progress);
    return;
  }

  const bool native = Params->NativePixelFormat;
  TChannelMask masks[4];
  if (info.Bits == 16) {
    for (int i = 0; i < 3; ++i) masks[i] = TChannelMask(info.HaveMasks ? info.Masks[i] : kDefault16Masks[i]);
  } else if (info.Bits == 32) {
    const uint32_t d[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    for (int i = 0; i < 4; ++i) masks[i] = TChannelMask(info.HaveMasks ? info.Masks[i] : d[i]);
  }
  const bool grey16 = info.Bits == 16 && (masks[0].Width == 32 || masks[1].Width == 32 || masks[2].Width == 32);

  TPXPixelFormat format = px24RGB;
  if (info.Bits == 1) format = px1g;
  else if ((info.Bits == 4 || info.Bits == 8) && native) format = px8p;
  else if (grey16 && native) format = px16g;
  if (!Bitmap->Allocate(width, height, format)) {
    SetAborting(Progress);
    return;
  }
  const bool indices = format == px8p;
  if (indices) {
    Bitmap->SetPaletteUsed(info.Bits == 4 ? 16 : 256);
    const int32_t n = std::min(Bitmap->GetPaletteLength(), 256);
    for (int32_t i = 0; i < n; ++i) Bitmap->SetPaletteColor(i, ColorAt(Params, static_cast<uint32_t>(i)));
  }

  TRowProgress progress(Progress, height);
  auto pictureRow = [&](int64_t k) {
    return static_cast<int32_t>(info.TopDown ? k : height - 1 - k);
  };

  // Run-length data.
  if ((info.Bits == 8 && info.Compression == 1) || (info.Bits == 4 && info.Compression == 2)) {
    // Pixels the data skips (deltas, a file cut short) stay black, or index 0.
    for (int32_t y = 0; y < height; ++y) std::memset(Bitmap->Scanline(y), 0, static_cast<size_t>(Bitmap->RowLen()));
    std::vector<uint8_t> data(static_cast<size_t>(dataLen), 0);
    data.resize(static_cast<size_t>(ReadFully(Stream, data.data(), dataLen)));
    progress.Report(0);
    if (!DecodeRle(data, info.Bits == 4, Bitmap, Params, indices, info.TopDown, progress)) SetAborting(Progress);
    return;
  }
  // 16-bit data of another coding is read with the default masks.
  const bool plain = info.Compression == 0 || info.Bits == 16 || (info.Compression == 3 && info.Bits == 32);
  if (!plain || (info.Bits != 1 && info.Bits != 4 && info.Bits != 8 && info.Bits != 16 && info.Bits != 24 &&
                 info.Bits != 32)) {
    // Other codings and depths leave the picture blank.
    for (int32_t y = 0; y < height; ++y) std::memset(Bitmap->Scanline(y), 0, static_cast<size_t>(Bitmap->RowLen()));
    return;
  }

  const int64_t rowLen = ((info.Width * info.Bits + 31) / 32) * 4;
  const int64_t needed = (info.Width * info.Bits + 7) / 8;
  std::vector<uint8_t> buf(static_cast<size_t>(rowLen));
  bool anyAlpha = false, allAlphaZero = true, allAlphaFull = true;
  const bool wantAlpha = info.Bits == 32 && !IgnoreAlpha && masks[3].Mask != 0;
  if (wantAlpha) {
    if (!AlphaMask) AlphaMask = std::make_unique<TPXMask>();
    AlphaMask->AllocateBits(width, height, 8);
    AlphaMask->Fill(255);
  }
  // Rows not reached (abort, short data) are left black rather than undefined.
  auto clearFrom = [&](int64_t k) {
    for (; k < height; ++k) std::memset(Bitmap->Scanline(pictureRow(k)), 0, static_cast<size_t>(Bitmap->RowLen()));
  };
  for (int64_t k = 0; k < height; ++k) {
    if (!progress.Report(k)) {
      clearFrom(k);
      break;
    }
    const int64_t got = ReadFully(Stream, buf.data(), rowLen);
    if (got < needed) {
      SetAborting(Progress);
      if (got <= 0) {
        clearFrom(k);
        break;
      }
      std::memset(buf.data() + got, 0, static_cast<size_t>(rowLen - got));
    }
    const int32_t y = pictureRow(k);
    uint8_t* row = Bitmap->Scanline(y);
    const uint8_t* s = buf.data();
    switch (info.Bits) {
      case 1:
        std::memcpy(row, s, static_cast<size_t>(std::min<int64_t>(needed, Bitmap->RowLen())));
        break;
      case 4:
        for (int64_t x = 0; x < width; ++x)
          PutIndex(row, indices, Params, x, (x & 1) ? (s[x / 2] & 0x0F) : (s[x / 2] >> 4));
        break;
      case 8:
        if (indices) std::memcpy(row, s, static_cast<size_t>(width));
        else
          for (int64_t x = 0; x < width; ++x) PutIndex(row, false, Params, x, s[x]);
        break;
      case 16: {
        auto* rgb = reinterpret_cast<TRGB*>(row);
        auto* g16 = reinterpret_cast<uint16_t*>(row);
        for (int64_t x = 0; x < width; ++x) {
          const uint16_t v = GetLE16(s + 2 * x);
          if (grey16) {
            if (format == px16g) g16[x] = v;
            else rgb[x] = TRGB{static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 8)};
          } else {
            rgb[x] = TRGB{masks[2].Extract(v), masks[1].Extract(v), masks[0].Extract(v)};
          }
        }
        break;
      }
      case 24:
        std::memcpy(row, s, static_cast<size_t>(width) * 3);
        break;
      case 32: {
        auto* rgb = reinterpret_cast<TRGB*>(row);
        uint8_t* a = wantAlpha ? AlphaMask->GetScanline(y) : nullptr;
        for (int64_t x = 0; x < width; ++x) {
          const uint32_t v = GetLE32(s + 4 * x);
          rgb[x] = TRGB{masks[2].Extract(v), masks[1].Extract(v), masks[0].Extract(v)};
          if (a) {
            const uint8_t av = masks[3].Extract(v);
            a[x] = av;
            anyAlpha = true;
            allAlphaZero = allAlphaZero && av == 0;
            allAlphaFull = allAlphaFull && av == 255;
          }
        }
        break;
      }
      default:
        break;
    }
  }
  if (!IsAborting(Progress)) progress.Report(height);
  if (info.Bits == 1 && Params->ColorMapCount >= 2) {
    // A palette white, black is complemented so that a set bit is white in the bitmap.
    const TRGB c0 = Params->ColorMap[0], c1 = Params->ColorMap[1];
    if (c0.r == 255 && c0.g == 255 && c0.b == 255 && c1.r == 0 && c1.g == 0 && c1.b == 0) {
      const int64_t n = std::min<int64_t>(needed, Bitmap->RowLen());
      for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = Bitmap->Scanline(y);
        for (int64_t i = 0; i < n; ++i) row[i] = static_cast<uint8_t>(~row[i]);
      }
    }
  }
  if (wantAlpha && (!anyAlpha || allAlphaZero || allAlphaFull)) AlphaMask.reset();
  else if (wantAlpha) AlphaMask->UpdateBounds();
}

// ---------------------------------------------------------------------------------------------
// Writing

// Run-length codes one row of indices (RLE8, or RLE4 with Rle4) and its end of line.
void EncodeRleRow(const uint8_t* Idx, int32_t N, bool Rle4, std::vector<uint8_t>& Out) {
  auto flush = [&](int32_t from, int32_t to) {  // the literal stretch [from, to)
    while (from < to) {
      const int32_t len = std::min(255, to - from);
      const uint8_t* p = Idx + from;
      if (len == 1) {
        Out.push_back(1);
        Out.push_back(Rle4 ? static_cast<uint8_t>(p[0] << 4) : p[0]);
      } else if (len == 2) {
        if (Rle4) {
          Out.push_back(2);
          Out.push_back(static_cast<uint8_t>((p[0] << 4) | (p[1] & 0x0F)));
        } else {
          Out.insert(Out.end(), {1, p[0], 1, p[1]});
        }
      } else {
        Out.push_back(0);
        Out.push_back(static_cast<uint8_t>(len));
        int32_t bytes = 0;
        if (Rle4) {
          for (int32_t i = 0; i < len; i += 2) {
            const uint8_t hi = static_cast<uint8_t>(p[i] << 4);
            Out.push_back(i + 1 < len ? static_cast<uint8_t>(hi | (p[i + 1] & 0x0F)) : hi);
            ++bytes;
          }
        } else {
          Out.insert(Out.end(), p, p + len);
          bytes = len;
        }
        if (bytes & 1) Out.push_back(0);
      }
      from += len;
    }
  };
  int32_t pending = 0, x = 0;
  while (x < N) {
    if (x - pending >= 255) flush(pending, pending + 255), pending += 255;
    if (x + 1 < N && Idx[x] == Idx[x + 1]) {
      flush(pending, x);
      int32_t run = 1;
      while (x + run < N && run < 255 && Idx[x + run] == Idx[x]) ++run;
      Out.push_back(static_cast<uint8_t>(run));
      Out.push_back(Rle4 ? static_cast<uint8_t>(Idx[x] * 16 + (Idx[x] & 0x0F)) : Idx[x]);
      x += run;
      pending = x;
    } else {
      ++x;
    }
  }
  flush(pending, N);
  Out.push_back(0);
  Out.push_back(0);
}

void EncodeBmpCore(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                   bool SaveAlpha) {
  bool shortWrite = false;
  auto write = [&](const void* p, int64_t n) {
    StreamWriteChecked(Stream, shortWrite, p, n);
    if (shortWrite) SetAborting(Progress);
  };
  if (!Stream || !Bitmap || !Params || Bitmap->IsEmpty()) {
    SetAborting(Progress);
    return;
  }
  // The picture written: the caller's or a copy flattened onto white, or converted to a layout
  // the writer takes row by row.
  std::unique_ptr<TPXBitmap> copy;
  TPXBitmap* pic = Bitmap;
  auto ensureCopy = [&] {
    if (!copy) {
      copy = TPXBitmap::CreateCopy(pic);
      pic = copy.get();
    }
  };
  if (pic->HasAlphaChannel() && !SaveAlpha) {
    ensureCopy();
    pic->RemoveAlphaChannel(true, 0xFFFFFF);
  }
  const TPXPixelFormat f0 = pic->PixelFormat();
  if (f0 != px1g && f0 != px8p && f0 != px8g && f0 != px24RGB) {
    ensureCopy();
    pic->SetPixelFormat(px24RGB);
  }

  int32_t bits;
  if (Params->BitsPerSample == 1 || Params->BitsPerSample == 4) bits = Params->BitsPerSample;
  else if (Params->SamplesPerPixel == 1) bits = 8;
  else if (pic->HasAlphaChannel()) bits = 32;
  else bits = 24;
  if (bits >= 24 && pic->PixelFormat() != px24RGB) {
    ensureCopy();
    pic->SetPixelFormat(px24RGB);
  }
  if ((bits == 4 || bits == 8) && pic->PixelFormat() == px1g) {
    ensureCopy();
    pic->SetPixelFormat(px24RGB);
  }

  const int32_t w = pic->Width(), h = pic->Height();
  const bool core = Params->BMP_Version == 2 && w <= 65535 && h <= 65535;
  const bool rle = !core && Params->BMP_Compression == 1 && (bits == 4 || bits == 8);
  const int64_t start = Stream->Position();

  // Palette and the rows' source of indices.
  std::vector<TRGB> palette;
  std::unique_ptr<TPXQuantizer> quantizer;
  std::unique_ptr<TPXBitmap> mono;
  if (bits <= 8) {
    palette.assign(size_t{1} << bits, TRGB{0, 0, 0});
    if (bits == 1) {
      if (pic->PixelFormat() == px1g) {
        palette[1] = TRGB{255, 255, 255};
      } else {
        TRGB c0{}, c1{};
        mono = ConvertBiColorTo1Bit(pic, c0, c1);
        if (mono) {
          palette[0] = c0;
          palette[1] = c1;
        } else {
          mono = TPXBitmap::CreateCopy(pic);
          mono->SetPixelFormat(px1g);
          palette[1] = TRGB{255, 255, 255};
        }
      }
    } else {
      quantizer = std::make_unique<TPXQuantizer>(pic, palette.data(), 0x7FFFFFF, static_cast<int32_t>(palette.size()));
    }
    Params->FreeColorMap();
    Params->SetColorMap(palette.data(), static_cast<int32_t>(palette.size()));
  }

  // Headers (sizes are patched at the end).
  uint8_t fh[14] = {'B', 'M'};
  write(fh, 14);
  const uint32_t headerSize = core ? 12 : (Params->BMP_Version == 3 ? 64 : 40);
  std::vector<uint8_t> ih(headerSize, 0);
  PutLE32(ih.data(), headerSize);
  uint32_t compression = 0;
  if (core) {
    PutLE16(ih.data() + 4, static_cast<uint32_t>(w));
    PutLE16(ih.data() + 6, static_cast<uint32_t>(h));
    PutLE16(ih.data() + 8, 1);
  } else {
    PutLE32(ih.data() + 4, static_cast<uint32_t>(w));
    PutLE32(ih.data() + 8, static_cast<uint32_t>(h));
    PutLE16(ih.data() + 12, 1);
    if (rle) compression = bits == 4 ? 2 : 1;
    PutLE32(ih.data() + 16, compression);
    PutLE32(ih.data() + 24, PpmFromDpi(Params->DpiX));
    PutLE32(ih.data() + 28, PpmFromDpi(Params->DpiY));
    PutLE32(ih.data() + 32, bits <= 8 ? (1u << bits) : 0);
    PutLE32(ih.data() + 36, 1u << (bits % 32));
  }
  write(ih.data(), headerSize);
  if (!palette.empty()) {
    std::vector<uint8_t> pal;
    for (const TRGB& c : palette) {
      pal.insert(pal.end(), {c.b, c.g, c.r});
      if (!core) pal.push_back(0);
    }
    write(pal.data(), static_cast<int64_t>(pal.size()));
  }
  const int64_t dataStart = Stream->Position();

  const int64_t rowLen = ((int64_t{w} * bits + 31) / 32) * 4;
  std::vector<uint8_t> out(static_cast<size_t>(rowLen));
  std::vector<uint8_t> idx(bits == 4 || bits == 8 ? static_cast<size_t>(w) : 0);
  std::vector<uint8_t> rleOut;
  TRowProgress progress(Progress, h);
  const TPXPixelFormat pf = pic->PixelFormat();
  TPXBitmap* alpha = bits == 32 ? pic->PeekAlphaChannel() : nullptr;
  for (int32_t k = 0; k < h; ++k) {
    if (!progress.Report(k, bits != 1)) break;
    const int32_t y = h - 1 - k;
    std::fill(out.begin(), out.end(), 0);
    if (bits == 1) {
      TPXBitmap* src = mono ? mono.get() : pic;
      std::memcpy(out.data(), src->Scanline(y), static_cast<size_t>(std::min<int64_t>((w + 7) / 8, src->RowLen())));
    } else if (bits == 4 || bits == 8) {
      const uint8_t* s = pic->Scanline(y);
      if ((pf == px8p || pf == px8g) && bits == 8) {
        std::memcpy(idx.data(), s, static_cast<size_t>(w));
      } else if (pf == px8p || pf == px8g) {
        // Mapped through the palette written, so 4-bit rows use only its 16 indices.
        for (int32_t x = 0; x < w; ++x) {
          TRGB c;
          if (pf == px8p) pic->GetPaletteColor(s[x], c);
          else c = TRGB{s[x], s[x], s[x]};
          idx[static_cast<size_t>(x)] = static_cast<uint8_t>(quantizer->RGBToIndex(c));
        }
      } else {
        const auto* rgb = reinterpret_cast<const TRGB*>(s);
        for (int32_t x = 0; x < w; ++x) idx[static_cast<size_t>(x)] = static_cast<uint8_t>(quantizer->RGBToIndex(rgb[x]));
      }
      if (rle) {
        rleOut.clear();
        EncodeRleRow(idx.data(), w, bits == 4, rleOut);
        write(rleOut.data(), static_cast<int64_t>(rleOut.size()));
        if (shortWrite) break;
        continue;
      }
      if (bits == 8) std::memcpy(out.data(), idx.data(), static_cast<size_t>(w));
      else
        for (int32_t x = 0; x < w; ++x)
          out[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>((x & 1) ? (idx[x] & 0x0F) : (idx[x] << 4));
    } else if (bits == 24) {
      std::memcpy(out.data(), pic->Scanline(y), static_cast<size_t>(w) * 3);
    } else {
      PutBgraRow(out.data(), reinterpret_cast<const TRGB*>(pic->Scanline(y)), alpha ? alpha->Scanline(y) : nullptr, w);
    }
    write(out.data(), rowLen);
    if (shortWrite) break;
  }
  if (IsAborting(Progress)) return;
  if (rle) {
    const uint8_t eob[2] = {0, 1};
    write(eob, 2);
    if (shortWrite) return;
  }
  progress.Report(h);
  const int64_t end = Stream->Position();
  PutLE32(fh + 2, static_cast<uint32_t>(end - start));
  PutLE32(fh + 10, static_cast<uint32_t>(dataStart - start));
  if (core) PutLE16(ih.data() + 10, static_cast<uint32_t>(bits));
  else {
    PutLE16(ih.data() + 14, static_cast<uint32_t>(bits));
    PutLE32(ih.data() + 20, static_cast<uint32_t>(end - dataStart));
  }
  Stream->Seek(start, soBeginning);
  write(fh, 14);
  write(ih.data(), headerSize);
  Stream->Seek(end, soBeginning);
}

}  // namespace

void DecodeBmpStream(TStream* Stream, TPXBitmap* Bitmap, int64_t Size, TIOParams* Params,
                     TPXProgressRecord& Progress, bool PreviewOnly, bool NoFileHeader,
                     std::unique_ptr<TPXMask>& AlphaMask, bool IgnoreAlpha) {
  if (!Stream || !Params || (!Bitmap && !PreviewOnly)) {
    SetAborting(Progress);
    return;
  }
  try {
    DecodeBmpCore(Stream, Bitmap, Size, Params, Progress, PreviewOnly, NoFileHeader, AlphaMask, IgnoreAlpha);
  } catch (const std::exception&) {
    // Stream and allocation failures end the read like bad data.
    SetAborting(Progress);
  }
}

void EncodeBmpStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                     bool SaveAlpha) {
  EncodeBmpCore(Stream, Bitmap, Params, Progress, SaveAlpha);
}

bool HasBmpSignature(TStream* Stream) {
  uint8_t b[18] = {};
  const int64_t pos = Stream->Position();
  const int64_t got = ReadFully(Stream, b, 18);
  Stream->Seek(pos, soBeginning);
  if (got < 18 || b[0] != 'B' || b[1] != 'M') return false;
  const uint32_t hs = GetLE32(b + 14);
  return hs == 12 || (hs >= 16 && hs <= 124);
}

void RegisterBmpCodec() {
  {
    TPXFormatRow row;
    row.Decode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                    bool PreviewOnly, std::unique_ptr<TPXMask>& Mask) -> int32_t {
      DecodeBmpStream(Stream, Bitmap, 0, Params, Progress, PreviewOnly, false, Mask, Params->BMP_IgnoreAlpha);
      return 0;
    };
    row.Encode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXMask*, TPXProgressRecord& Progress) {
      EncodeBmpStream(Stream, Bitmap, Params, Progress, !Params->BMP_IgnoreAlpha);
    };
    row.Signature = HasBmpSignature;
    row.Rules.MaskToAlpha = true;
    RegisterFormatRow(pxftBMP, std::move(row));
  }
  RegisterIcoCodec();
}

bool DecodeBmpRunLength(std::span<const uint8_t> Data, bool Rle4, TPXBitmap* Bitmap, std::span<const TRGB> Palette,
                        bool TopDown) {
  if (!Bitmap || Bitmap->PixelFormat() != px24RGB || Bitmap->Width() < 1 || Bitmap->Height() < 1) return false;
  TIOParams params;
  if (!Palette.empty())
    params.SetColorMap(Palette.data(), static_cast<int32_t>(std::min<size_t>(Palette.size(), 256)));
  for (int32_t y = 0; y < Bitmap->Height(); ++y)
    std::memset(Bitmap->Scanline(y), 0, static_cast<size_t>(Bitmap->Width()) * 3);
  TPXProgressRecord record;
  TRowProgress progress(record, Bitmap->Height());
  return DecodeRle(Data, Rle4, Bitmap, &params, false, TopDown, progress, true);
}
