// TIFF strips and tiles: finding and reading each one, undoing the compression row by row
// (none, CCITT, LZW, deflate, PackBits, JPEG, old-style JPEG), unpacking narrow samples, the byte
// order of wide ones and the horizontal predictor, then handing each row to the conversion.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "codecs/jpegfilt.h"
#include "codecs/pxcodecs_impl.h"
#include "codecs/tifccitt.h"
#include "codecs/tiffilt_impl.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "proc/pixoranproc_bits.h"

namespace tiffilt_detail {

namespace {

uint8_t Reverse(uint8_t b) {
  b = uint8_t((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = uint8_t((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return uint8_t((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

bool IsCcitt(uint16_t Compression) { return Compression >= 2 && Compression <= 4; }

// The calling thread's whole-buffer inflater, made on first use (nil when it cannot be made).
libdeflate_decompressor* WholeInflater() {
  struct THolder {
    libdeflate_decompressor* D = libdeflate_alloc_decompressor();
    ~THolder() {
      if (D) libdeflate_free_decompressor(D);
    }
  };
  thread_local THolder h;
  return h.D;
}

// Undoes horizontal differencing over Samples values of Stride samples per pixel. The common
// strides keep their running sums in registers.
template <class T>
void Accumulate(T* P, int64_t Samples, int64_t Stride) {
  if (Samples <= Stride) return;
  if (Stride == 1) {
    T a = P[0];
    for (int64_t k = 1; k < Samples; ++k) P[k] = a = T(a + P[k]);
  } else if (Stride == 3) {
    T a = P[0], b = P[1], c = P[2];
    for (int64_t k = 3; k + 3 <= Samples; k += 3) {
      P[k] = a = T(a + P[k]);
      P[k + 1] = b = T(b + P[k + 1]);
      P[k + 2] = c = T(c + P[k + 2]);
    }
  } else if (Stride == 4) {
    T a = P[0], b = P[1], c = P[2], d = P[3];
    for (int64_t k = 4; k + 4 <= Samples; k += 4) {
      P[k] = a = T(a + P[k]);
      P[k + 1] = b = T(b + P[k + 1]);
      P[k + 2] = c = T(c + P[k + 2]);
      P[k + 3] = d = T(d + P[k + 3]);
    }
  } else {
    for (int64_t k = Stride; k < Samples; ++k) P[k] = T(P[k] + P[k - Stride]);
  }
}

// Whole bytes of the stream from Base + Offset, at most Count and at most what the stream holds.
std::vector<uint8_t> ReadBlock(TTIFFReaderContext& C, uint64_t Offset, uint64_t Count) {
  std::vector<uint8_t> data;
  const uint64_t size = uint64_t(C.StreamSize);
  if (C.Base > size || Offset >= size - C.Base) return data;
  Count = std::min(Count, size - C.Base - Offset);
  data.resize(size_t(Count));
  C.Stream->Seek(int64_t(C.Base + Offset), soBeginning);
  data.resize(size_t(pxcodecs_detail::ReadFully(C.Stream, data.data(), int64_t(Count))));
  return data;
}

// The stored bytes of one strip or tile: read in place from a memory stream, else copied.
struct TBlock {
  std::unique_ptr<uint8_t[]> Owned;
  const uint8_t* Bytes = nullptr;
  int64_t Size = 0;
};

// Whole bytes of the stream from Base + Offset, at most Count and at most what the stream holds.
TBlock StripBlock(TTIFFReaderContext& C, uint64_t Offset, uint64_t Count) {
  TBlock b;
  const uint64_t size = uint64_t(C.StreamSize);
  if (C.Base > size || Offset >= size - C.Base) return b;
  Count = std::min(Count, size - C.Base - Offset);
  if (auto* memory = dynamic_cast<TCustomMemoryStream*>(C.Stream); memory && memory->Size() == C.StreamSize) {
    b.Bytes = static_cast<const uint8_t*>(memory->Memory()) + C.Base + Offset;
    b.Size = int64_t(Count);
    memory->Seek(int64_t(C.Base + Offset + Count), soBeginning);  // where a copying read would leave it
    return b;
  }
  b.Owned = std::make_unique_for_overwrite<uint8_t[]>(size_t(Count));
  C.Stream->Seek(int64_t(C.Base + Offset), soBeginning);
  b.Size = pxcodecs_detail::ReadFully(C.Stream, b.Owned.get(), int64_t(Count));
  b.Bytes = b.Owned.get();
  return b;
}

// Decodes the rows of one strip, tile or plane.
class TRowDecoder {
 public:
  TRowDecoder(TTIFFReaderContext& C, TBlock Data, int32_t Width, bool PerPlane, int32_t RowCount)
      : FC(C), FBlock(std::move(Data)), FWidth(Width), FRowCount(RowCount) {
    FRowLength = C.RowLength(Width, PerPlane);
    if (C.Branch == TConvert::YCbCr21) FRowLength = (int64_t(Width) + 1) / 2 * 4;
    FSamples = PerPlane ? 1 : C.SamplesPerPixel;
    // PackBits literals are copied 128 bytes at a time (fixed-size copies inline), so its row has
    // room for one past the end.
    FRow.assign(size_t(FRowLength) + 8 + (C.Compression == 32773 ? 128 : 0), 0);
    if (C.BitsPerSample < 8 && C.Branch != TConvert::Bilevel)
      FUnpacked.assign(size_t(Width) * size_t(FSamples) + 8, 0);
    if (IsCcitt(C.Compression)) FRef.assign(size_t(FRowLength) + 8, 0xFF);
  }
  ~TRowDecoder() {
    if (FLzw && FC.LzwDecoder) FC.LzwDecoder(nullptr, 0, 0, FLzw, FC.FillOrder);
  }
  TRowDecoder(const TRowDecoder&) = delete;
  TRowDecoder& operator=(const TRowDecoder&) = delete;

  int64_t RowLength() const { return FRowLength; }
  // For a caller that feeds an uncompressed strip one row at a time: the bytes of the next row.
  void SetBytes(const uint8_t* Bytes, int64_t Size) {
    FBlock.Bytes = Bytes;
    FBlock.Size = Size;
  }
  void MarkShort() { FShort = true; }

  // Row r of the strip after decompression, unpacking, byte order and predictor; nil when the
  // row cannot be decoded (the page is then aborted).
  const uint8_t* Next(int32_t r) {
    FWritable = nullptr;
    const uint8_t* row = Decompress(r);
    if (!row) return nullptr;
    return Finish(row);
  }

  bool Short() const { return FShort; }

 private:
  const uint8_t* Decompress(int32_t r) {
    const int64_t len = FBlock.Size;
    const uint8_t* data = FBlock.Bytes;
    switch (FC.Compression) {
      case 1: {
        const int64_t at = int64_t(r) * FRowLength;
        if (at + FRowLength <= len && FC.FillOrder == 1) return data + at;
        std::fill(FRow.begin(), FRow.end(), 0);
        if (at < len) std::memcpy(FRow.data(), data + at, size_t(std::min(FRowLength, len - at)));
        if (at + FRowLength > len) FShort = true;
        if (FC.FillOrder == 2 && FC.BitsPerSample <= 8)
          for (int64_t k = 0; k < FRowLength; ++k) FRow[size_t(k)] = Reverse(FRow[size_t(k)]);
        return FRow.data();
      }
      case 2: {
        std::fill(FRow.begin(), FRow.end(), 0);
        if (FPos < len) FPos += CcittDecodeMHRowBytes(FRow.data(), data + FPos, len - FPos, FWidth, FC.FillOrder);
        return FRow.data();
      }
      case 3:
        std::fill(FRow.begin(), FRow.end(), 0);
        if (FC.T4Options & 1)
          FBitPos = CcittDecode(FRow.data(), data, len, FWidth, FRef.data(), FBitPos, FC.FillOrder,
                                (FC.T4Options & 4) != 0);
        else
          FBitPos = CcittDecodeMHRow(FRow.data(), data, len, FWidth, FBitPos, FC.FillOrder);
        return FRow.data();
      case 4:
        std::fill(FRow.begin(), FRow.end(), 0);
        FBitPos = CcittDecode(FRow.data(), data, len, FWidth, FRef.data(), FBitPos, FC.FillOrder,
                              (FC.T4Options & 4) != 0);
        return FRow.data();
      case 5: {
        if (FRowLength > INT32_MAX) return nullptr;
        const uint8_t* out = FC.LzwDecoder(data, len, int32_t(FRowLength), FLzw, FC.FillOrder);
        if (!out) return nullptr;
        std::memcpy(FRow.data(), out, size_t(FRowLength));
        return FRow.data();
      }
      case 8:
      case 32946: {
        if (!FInflated) Inflate();
        const int64_t at = int64_t(r) * FRowLength;
        if (at + FRowLength <= FInflatedLength) {
          FWritable = FInflateBuffer.get() + at;  // our own bytes: finished in place
          return FWritable;
        }
        std::fill(FRow.begin(), FRow.end(), 0);
        if (at < FInflatedLength) std::memcpy(FRow.data(), FInflateBuffer.get() + at, size_t(FInflatedLength - at));
        FShort = true;
        return FRow.data();
      }
      case 32773:
        PackBitsRow();
        return FRow.data();
      default:
        return nullptr;
    }
  }

  // The whole strip inflated once, never beyond its rows. A stream that decodes cleanly within
  // the strip's bytes is inflated in one call; any other (cut short, longer than the strip,
  // damaged) goes through zlib, which keeps what decodes before the fault.
  void Inflate() {
    FInflated = true;
    const int64_t want = FRowLength * FRowCount;
    FInflateBuffer = std::make_unique_for_overwrite<uint8_t[]>(size_t(want));
    if (libdeflate_decompressor* d = WholeInflater()) {
      size_t got = 0;
      if (libdeflate_zlib_decompress(d, FBlock.Bytes, size_t(FBlock.Size), FInflateBuffer.get(), size_t(want), &got) ==
          LIBDEFLATE_SUCCESS) {
        FInflatedLength = int64_t(got);
        return;
      }
    }
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return;
    int64_t inDone = 0;
    FInflatedLength = 0;
    int rc = Z_OK;
    while (rc == Z_OK && FInflatedLength < want) {
      const uInt inChunk = uInt(std::min<int64_t>(FBlock.Size - inDone, 1 << 30));
      const uInt outChunk = uInt(std::min<int64_t>(want - FInflatedLength, 1 << 30));
      z.next_in = const_cast<Bytef*>(FBlock.Bytes) + inDone;
      z.avail_in = inChunk;
      z.next_out = FInflateBuffer.get() + FInflatedLength;
      z.avail_out = outChunk;
      rc = inflate(&z, Z_NO_FLUSH);
      inDone += inChunk - z.avail_in;
      FInflatedLength += outChunk - z.avail_out;
      if (rc == Z_OK && inChunk - z.avail_in == 0 && outChunk - z.avail_out == 0) break;  // no progress
    }
    inflateEnd(&z);
  }

  void PackBitsRow() {
    const int64_t len = FBlock.Size;
    const uint8_t* d = FBlock.Bytes;
    const bool rev = FC.FillOrder == 2;
    int64_t out = 0;
    auto byte = [&](int64_t i) { return rev ? Reverse(d[i]) : d[i]; };
    while (out < FRowLength && FPos < len) {
      const int8_t n = int8_t(byte(FPos++));
      if (n >= 0) {
        // A literal; bytes past the row are consumed but not written.
        const int64_t avail = std::min<int64_t>(int64_t(n) + 1, len - FPos);
        const int64_t put = std::min(avail, FRowLength - out);
        if (rev)
          for (int64_t k = 0; k < put; ++k) FRow[size_t(out + k)] = byte(FPos + k);
        else if (FPos + 128 <= len)
          std::memcpy(&FRow[size_t(out)], d + FPos, 128);  // the bytes past put are overwritten or unused
        else
          std::memcpy(&FRow[size_t(out)], d + FPos, size_t(put));
        out += put;
        FPos += avail;
      } else if (n != -128) {
        if (FPos >= len) break;
        const uint8_t v = byte(FPos++);
        const int64_t put = std::min<int64_t>(1 - int64_t(n), FRowLength - out);
        std::memset(&FRow[size_t(out)], v, size_t(put));
        out += put;
      }
    }
    if (out < FRowLength) {
      std::fill(FRow.begin() + out, FRow.begin() + FRowLength, 0);
      FShort = true;
    }
  }

  const uint8_t* Finish(const uint8_t* Row) {
    const int32_t bits = FC.BitsPerSample;
    const int64_t samples = int64_t(FWidth) * FSamples;
    if (bits < 8) {
      if (FC.Branch == TConvert::Bilevel) return Row;
      // One byte per sample, from the most significant bit on.
      const int32_t mask = (1 << bits) - 1;
      for (int64_t k = 0; k < samples; ++k) {
        const int64_t bit = k * bits;
        const int32_t word = (Row[bit >> 3] << 8) | (((bit >> 3) + 1 < FRowLength) ? Row[(bit >> 3) + 1] : 0);
        FUnpacked[size_t(k)] = uint8_t((word >> (16 - bits - (bit & 7))) & mask);
      }
      if (FC.Photometric == 0 || FC.Photometric == 1) {
        const int32_t factor = bits == 4 ? 17 : bits == 2 ? 85 : bits == 1 ? 255 : bits == 7 ? 2 : 1;
        for (int64_t k = 0; k < samples; ++k) FUnpacked[size_t(k)] = uint8_t(FUnpacked[size_t(k)] * factor);
      }
      return FUnpacked.data();
    }
    const bool swap = !FC.LittleEndian && (bits == 16 || bits == 32);
    const bool predict = FC.Predictor == 2 && (FC.Compression == 5 || FC.Compression == 8 || FC.Compression == 32946);
    if (!swap && !predict) return Row;
    uint8_t* p = Row == FWritable ? FWritable : FRow.data();
    if (Row != p) std::memcpy(p, Row, size_t(FRowLength));
    if (swap && bits == 16)
      for (int64_t k = 0; k + 1 < FRowLength; k += 2) std::swap(p[k], p[k + 1]);
    if (swap && bits == 32)
      for (int64_t k = 0; k + 3 < FRowLength; k += 4) {
        std::swap(p[k], p[k + 3]);
        std::swap(p[k + 1], p[k + 2]);
      }
    if (predict) {
      if (bits == 8)
        Accumulate(p, samples, FSamples);
      else if (bits == 16)
        Accumulate(reinterpret_cast<uint16_t*>(p), samples, FSamples);
      else if (bits == 32)
        Accumulate(reinterpret_cast<uint32_t*>(p), samples, FSamples);
    }
    return p;
  }

  TTIFFReaderContext& FC;
  TBlock FBlock;
  int32_t FWidth;
  int32_t FRowCount;
  int32_t FSamples = 1;
  int64_t FRowLength = 0;
  std::vector<uint8_t> FRow, FUnpacked, FRef;
  std::unique_ptr<uint8_t[]> FInflateBuffer;  // rows are read only as far as inflated
  uint8_t* FWritable = nullptr;               // the row just answered, when it is our own
  int64_t FPos = 0, FBitPos = 0, FInflatedLength = 0;
  void* FLzw = nullptr;
  bool FInflated = false;
  bool FShort = false;
};

bool Aborted(const TTIFFReaderContext& C) { return C.Aborting->load(); }

// Rows of an uncompressed strip read from the stream one at a time, so that no strip-sized
// buffer is made; rows past the stream's end read 0.
void StreamRows(TTIFFReaderContext& C, TPXBitmap* Bitmap, TPXProgressRecord& Progress, uint64_t Offset,
                int32_t RowCount, int32_t Y) {
  TRowDecoder dec(C, {}, C.Width, false, RowCount);
  const int64_t len = dec.RowLength();
  const uint64_t size = uint64_t(C.StreamSize);
  int64_t left = C.Base <= size && Offset < size - C.Base ? int64_t(size - C.Base - Offset) : 0;
  if (left > 0) C.Stream->Seek(int64_t(C.Base + Offset), soBeginning);
  std::vector<uint8_t> row(static_cast<size_t>(len));
  // Past the stream's end every row converts alike: the first is converted, the others copied.
  int32_t blank = -1;
  TPXMask* mask = !C.IgnoreAlpha ? C.AlphaMask : nullptr;
  for (int32_t r = 0; r < RowCount && !Aborted(C); ++r) {
    if (left == 0 && blank >= 0) {
      if (Y + r < Bitmap->Height()) {
        std::memcpy(Bitmap->Scanline(Y + r), Bitmap->Scanline(blank), size_t(Bitmap->RowLen()));
        if (mask && Y + r < mask->Height())
          std::memcpy(mask->GetScanline(Y + r), mask->GetScanline(blank), size_t(mask->RowLen()));
      }
      StepProgress(C, Progress, 1);
      continue;
    }
    const int64_t want = std::min(len, left);
    const int64_t got = want > 0 ? pxcodecs_detail::ReadFully(C.Stream, row.data(), want) : 0;
    left -= got;
    dec.SetBytes(row.data(), got);
    const uint8_t* p = dec.Next(0);
    if (!p) {
      *C.Aborting = true;
      break;
    }
    if (Y + r < Bitmap->Height()) {
      ConvertRow(C, Bitmap, p, Y + r, 0, C.Width);
      if (got == 0 && left == 0 && (!mask || Y + r < mask->Height())) blank = Y + r;
    }
    StepProgress(C, Progress, 1);
  }
  if (dec.Short()) *C.Aborting = true;
}

// Rows of one chunky strip or tile at (X, Y), Count pixels of each written.
void DecodeRows(TTIFFReaderContext& C, TPXBitmap* Bitmap, TPXProgressRecord& Progress, TBlock Data,
                int32_t RowCount, int32_t Width, int32_t X, int32_t Y) {
  TRowDecoder dec(C, std::move(Data), Width, false, RowCount);
  const int32_t count = std::min(Width, Bitmap->Width() - X);
  for (int32_t r = 0; r < RowCount && !Aborted(C); ++r) {
    const uint8_t* row = dec.Next(r);
    if (!row) {
      *C.Aborting = true;
      break;
    }
    if (Y + r < Bitmap->Height() && count > 0) ConvertRow(C, Bitmap, row, Y + r, X, count);
    StepProgress(C, Progress, 1);
  }
  if (dec.Short()) *C.Aborting = true;
}

// JPEG (compression 7) strip or tile: decoded whole, then copied at (X, Y).
void DecodeJpegRows(TTIFFReaderContext& C, TPXBitmap* Bitmap, TPXProgressRecord& Progress, TBlock Data, int32_t X,
                    int32_t Y, bool Single) {
  TMemoryStream s;
  if (Data.Size > 0) s.WriteBuffer(Data.Bytes, Data.Size);
  s.Seek(0, soBeginning);
  TMemoryStream tables;
  const bool withTables = !C.JpegTables.empty();
  if (withTables) {
    tables.WriteBuffer(C.JpegTables.data(), int64_t(C.JpegTables.size()));
    tables.Seek(0, soBeginning);
  }
  TIOParams jp;
  jp.NativePixelFormat = C.Params->NativePixelFormat;
  TPXBitmap work;
  TPXProgressRecord silent;
  silent.Aborting = C.Aborting;
  const bool raw = withTables && C.Photometric == 2;
  DecodeJpegStream(&s, withTables ? &tables : nullptr, &work, &jp, Single ? Progress : silent, false, raw, false, true,
                   false, true, -1, C.Params->NativePixelFormat);
  if (!Single) StepProgress(C, Progress, 1);
  if (Aborted(C) || work.Width() <= 0) {
    *C.Aborting = true;
    return;
  }
  if (raw && work.PixelFormat() == px24RGB)
    for (int32_t y = 0; y < work.Height(); ++y) SwapRB(work.Scanline(y), work.Width());
  TPXBitmap converted;
  TPXBitmap* src = &work;
  if (work.PixelFormat() != Bitmap->PixelFormat()) {
    if (!converted.Allocate(work.Width(), work.Height(), Bitmap->PixelFormat())) {
      *C.Aborting = true;
      return;
    }
    converted.ConvertPixelFormat(&work);
    src = &converted;
  }
  const int32_t w = std::min(src->Width(), Bitmap->Width() - X);
  const int64_t bpp = Bitmap->PixelFormat() == px24RGB ? 3 : Bitmap->PixelFormat() == px8g ? 1
                      : Bitmap->PixelFormat() == pxCMYK ? 4 : Bitmap->PixelFormat() == px16g ? 2 : 3;
  for (int32_t y = 0; y < src->Height() && Y + y < Bitmap->Height(); ++y)
    if (w > 0) std::memcpy(Bitmap->Scanline(Y + y) + X * bpp, src->Scanline(y), size_t(w * bpp));
}

}  // namespace

void StepProgress(TTIFFReaderContext& C, TPXProgressRecord& Progress, int64_t Units) {
  C.Done += Units;
  if (!Progress.Event) return;
  const int32_t per = pxcodecs_detail::PerCentOf(Progress, C.Done);
  if (per != C.LastPerCent) {
    C.LastPerCent = per;
    Progress.Event(Progress.Sender, per);
  }
}

void ReadStrips(TTIFFReaderContext& C, TPXBitmap* Bitmap, TPXProgressRecord& Progress) {
  const int64_t count = int64_t(C.StripOffsets.size());
  const bool jpeg = C.Compression == 7;
  Progress.PerCentPerUnit = jpeg && count > 1 ? 100.0 / double(count) : 100.0 / double(C.Height);
  C.Done = 0;
  if (C.PlanarConfig == 2 && C.SamplesPerPixel > 1) {
    // One strip per plane; the strips of plane k follow those of plane k - 1.
    const int32_t s = C.SamplesPerPixel;
    if (s > 10 || jpeg || C.Branch == TConvert::Bilevel) {
      *C.Aborting = true;
      return;
    }
    const int64_t m = count / s;
    const int32_t bytes = C.BitsPerSample < 8 ? 1 : C.BitsPerSample / 8;
    std::vector<uint8_t> chunky(size_t(C.Width) * size_t(s) * size_t(bytes) + 8);
    int32_t first = 0;
    for (int64_t g = 0; g < m && first < C.Height && !Aborted(C); ++g) {
      const int32_t rows = std::min(C.RowsPerStrip, C.Height - first);
      std::vector<std::unique_ptr<TRowDecoder>> planes;
      for (int32_t k = 0; k < s; ++k) {
        const size_t j = size_t(k * m + g);
        const uint64_t off = C.StripOffsets[j];
        uint64_t n = j < C.StripByteCounts.size() ? C.StripByteCounts[j] : 0;
        if (C.Compression == 1) n = std::max<uint64_t>(n, uint64_t(rows) * uint64_t(C.RowLength(C.Width, true)));
        if (n == 0) n = UINT64_MAX;
        planes.push_back(std::make_unique<TRowDecoder>(C, StripBlock(C, off, n), C.Width, true, rows));
      }
      for (int32_t r = 0; r < rows && !Aborted(C); ++r) {
        for (int32_t k = 0; k < s; ++k) {
          const uint8_t* p = planes[size_t(k)]->Next(r);
          if (!p) {
            *C.Aborting = true;
            return;
          }
          for (int32_t x = 0; x < C.Width; ++x)
            std::memcpy(&chunky[(size_t(x) * size_t(s) + size_t(k)) * size_t(bytes)], p + size_t(x) * size_t(bytes),
                        size_t(bytes));
        }
        ConvertRow(C, Bitmap, chunky.data(), first + r, 0, C.Width);
        StepProgress(C, Progress, 1);
      }
      for (auto& p : planes)
        if (p->Short()) *C.Aborting = true;
      first += C.RowsPerStrip;
    }
    if (first < C.Height) *C.Aborting = true;
    return;
  }
  int32_t first = 0;
  for (int64_t i = 0; i < count && first < C.Height && !Aborted(C); ++i) {
    const int32_t rows = std::min(C.RowsPerStrip, C.Height - first);
    const uint64_t off = C.StripOffsets[size_t(i)];
    uint64_t n = size_t(i) < C.StripByteCounts.size() ? C.StripByteCounts[size_t(i)] : 0;
    if (C.Compression == 1) n = std::max<uint64_t>(n, uint64_t(rows) * uint64_t(C.RowLength(C.Width, false)));
    if (n == 0) n = UINT64_MAX;
    if (jpeg)
      DecodeJpegRows(C, Bitmap, Progress, StripBlock(C, off, n), 0, first, count == 1);
    else if (C.Compression == 1)
      StreamRows(C, Bitmap, Progress, off, rows, first);
    else
      DecodeRows(C, Bitmap, Progress, StripBlock(C, off, n), rows, C.Width, 0, first);
    first += C.RowsPerStrip;
  }
  if (first < C.Height) *C.Aborting = true;
}

void ReadTiles(TTIFFReaderContext& C, TPXBitmap* Bitmap, TPXProgressRecord& Progress) {
  const int32_t tw = C.TileWidth, tl = C.TileLength;
  // Both sizes must be positive and no larger than the page could use.
  if (C.PlanarConfig == 2 || tw <= 0 || tl <= 0 || int64_t(tw) > int64_t(C.Width) + 65536 ||
      int64_t(tl) > int64_t(C.Height) + 65536) {
    *C.Aborting = true;
    return;
  }
  const int64_t count = int64_t(C.TileOffsets.size());
  const bool jpeg = C.Compression == 7;
  Progress.PerCentPerUnit = jpeg ? 100.0 / double(std::max<int64_t>(count, 1)) : 100.0 / double(C.Height);
  C.Done = 0;
  const int32_t single = C.Params->TIFF_GetTile;
  const int64_t across = single >= 0 ? 1 : (int64_t(C.Width) + tw - 1) / tw;
  int64_t t = single >= 0 ? single : 0;
  for (int64_t k = 0; t < count && !Aborted(C); ++t, ++k) {
    const int64_t x = (k % across) * tw, y = (k / across) * tl;
    if (y >= C.Height) break;
    const uint64_t off = C.TileOffsets[size_t(t)];
    uint64_t n = size_t(t) < C.TileByteCounts.size() ? C.TileByteCounts[size_t(t)] : 0;
    if (C.Compression == 1) n = std::max<uint64_t>(n, uint64_t(tl) * uint64_t(C.RowLength(tw, false)));
    if (n == 0) n = UINT64_MAX;
    if (jpeg)
      DecodeJpegRows(C, Bitmap, Progress, StripBlock(C, off, n), int32_t(x), int32_t(y), count == 1 || single >= 0);
    else
      DecodeRows(C, Bitmap, Progress, StripBlock(C, off, n), tl, tw, int32_t(x), int32_t(y));
    if (single >= 0) return;
  }
  if (single >= 0 && t >= count) *C.Aborting = true;
}

namespace {

void PutMarker(TStream& S, uint8_t Code, const std::vector<uint8_t>& Data, bool WithLength = true) {
  const uint8_t m[2] = {0xFF, Code};
  S.WriteBuffer(m, 2);
  if (!WithLength) return;
  const uint16_t len = uint16_t(Data.size() + 2);
  const uint8_t l[2] = {uint8_t(len >> 8), uint8_t(len)};
  S.WriteBuffer(l, 2);
  if (!Data.empty()) S.WriteBuffer(Data.data(), int64_t(Data.size()));
}

// A complete JPEG stream from the old-style table tags and the first tile; false when a table
// lies outside the stream.
bool BuildOldJpegStream(TTIFFReaderContext& C, TMemoryStream& S) {
  PutMarker(S, 0xD8, {}, false);
  PutMarker(S, 0xE0, {'J', 'F', 'I', 'F', 0, 1, 2, 1, 0, 72, 0, 72, 0, 0});
  int32_t n = 0;
  for (int32_t i = 0; i < 4 && C.JpegQTables[size_t(i)] > 0; ++i) {
    std::vector<uint8_t> q = ReadBlock(C, uint64_t(C.JpegQTables[size_t(i)]), 64);
    if (q.size() != 64) return false;
    q.insert(q.begin(), uint8_t(i));
    PutMarker(S, 0xDB, q);
    n = i + 1;
  }
  if (n == 0) return false;
  std::vector<uint8_t> sof{8, uint8_t(C.Height >> 8), uint8_t(C.Height), uint8_t(C.Width >> 8), uint8_t(C.Width),
                           uint8_t(n)};
  for (int32_t i = 0; i < n; ++i) sof.insert(sof.end(), {uint8_t(i + 1), 0x11, uint8_t(i)});
  PutMarker(S, 0xC0, sof);
  for (int32_t pass = 0; pass < 2; ++pass)
    for (int32_t i = 0; i < n; ++i) {
      const int32_t at = pass == 0 ? C.JpegDCTables[size_t(i)] : C.JpegACTables[size_t(i)];
      std::vector<uint8_t> counts = ReadBlock(C, uint64_t(at), 16);
      if (counts.size() != 16) return false;
      int32_t symbols = 0;
      for (uint8_t c : counts) symbols += c;
      std::vector<uint8_t> values = ReadBlock(C, uint64_t(at) + 16, uint64_t(symbols));
      if (int32_t(values.size()) != symbols) return false;
      std::vector<uint8_t> d{uint8_t(pass * 0x10 + i)};
      d.insert(d.end(), counts.begin(), counts.end());
      d.insert(d.end(), values.begin(), values.end());
      PutMarker(S, 0xC4, d);
    }
  std::vector<uint8_t> sos{uint8_t(n)};
  for (int32_t i = 0; i < n; ++i) sos.insert(sos.end(), {uint8_t(i + 1), uint8_t(i * 16 + i)});
  sos.insert(sos.end(), {0, 63, 0});
  PutMarker(S, 0xDA, sos);
  const std::vector<uint8_t> scan =
      ReadBlock(C, C.TileOffsets[0], C.TileByteCounts.empty() ? UINT64_MAX : C.TileByteCounts[0]);
  if (!scan.empty()) S.WriteBuffer(scan.data(), int64_t(scan.size()));
  PutMarker(S, 0xD9, {}, false);
  return true;
}

}  // namespace

void ReadOldJpegPage(TTIFFReaderContext& C, TPXBitmap* Bitmap, TPXProgressRecord& Progress) {
  TMemoryStream s;
  const uint64_t size = uint64_t(C.StreamSize);
  if (C.JpegInterchangeFormat == 0 && !C.TileOffsets.empty() && C.StripByteCounts.empty() && C.JpegQTables[0] > 0 &&
      C.JpegDCTables[0] > 0 && C.JpegACTables[0] > 0) {
    if (!BuildOldJpegStream(C, s)) {
      *C.Aborting = true;
      return;
    }
  } else {
    uint64_t at = C.JpegInterchangeFormat;
    if (at == 0 && !C.StripOffsets.empty()) at = C.StripOffsets[0];
    if (at == 0 || C.Base > size || at >= size - C.Base) {
      *C.Aborting = true;
      return;
    }
    C.Stream->Seek(int64_t(C.Base + at), soBeginning);
    uint64_t len = C.JpegInterchangeFormatLength;
    if (len == 0 || len > size - C.Base - at) {
      const int64_t found = GetJpegStreamLength(C.Stream);
      len = found > 0 ? uint64_t(found) : 0;
    }
    std::vector<uint8_t> data = ReadBlock(C, at, len);
    if (data.empty()) {
      *C.Aborting = true;
      return;
    }
    s.WriteBuffer(data.data(), int64_t(data.size()));
  }
  s.Seek(0, soBeginning);
  TIOParams jp;
  jp.NativePixelFormat = false;
  DecodeJpegStream(&s, nullptr, Bitmap, &jp, Progress, false, false, false, false, true, true, -1, false);
}

}  // namespace tiffilt_detail
