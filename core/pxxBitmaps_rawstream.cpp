// TPXBitmap: the raw bitmap stream "TPXBITMAPRAW", the library's lossless serialisation of
// one bitmap (header fields, palette, rows as stored, alpha channel), little-endian.
//
// Reading checks every field against sane limits and the bytes that remain before it
// allocates or reads rows; bad or truncated data gives False and an empty bitmap.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/pxxBitmaps.h"

namespace {

constexpr char kRawMagic[12] = {'T', 'P', 'X', 'B', 'I', 'T', 'M', 'A', 'P', 'R', 'A', 'W'};

// Writes either into a caller's block (advancing) or into a stream.
class TRawWriter {
 public:
  TRawWriter(uint8_t* Buffer, TStream* Stream) : buf_(Buffer), stream_(Stream) {}
  void Put(const void* Data, int64_t Count) {
    if (Count <= 0) return;
    if (buf_) {
      std::memcpy(buf_, Data, static_cast<size_t>(Count));
      buf_ += Count;
    } else if (stream_) {
      stream_->WriteBuffer(Data, Count);
    }
  }
  template <class T>
  void Value(const T& v) {
    Put(&v, sizeof v);
  }
  // Makes room for Count more bytes; a failure is of no consequence. A memory stream only
  // grows its capacity (enlarging its size would zero the bytes the writes then overwrite).
  void Reserve(int64_t Count) {
    if (buf_ || !stream_) return;
    try {
      const int64_t pos = stream_->Position();
      if (auto* memory = dynamic_cast<TMemoryStream*>(stream_)) {
        if (memory->Capacity() < pos + Count) memory->SetCapacity(pos + Count);
      } else if (stream_->Size() < pos + Count) {
        stream_->SetSize(pos + Count);
        stream_->SetPosition(pos);
      }
    } catch (const Exception&) {
    }
  }

 private:
  uint8_t* buf_;
  TStream* stream_;
};

// Reads exactly Count bytes; false (and nothing more read) when the stream holds fewer.
bool ReadExact(TStream* Stream, void* Buffer, int64_t Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  while (Count > 0) {
    const int32_t chunk = static_cast<int32_t>(std::min<int64_t>(Count, 1 << 30));
    const int32_t got = Stream->Read(p, chunk);
    if (got <= 0) return false;
    p += got;
    Count -= got;
  }
  return true;
}

template <class T>
bool ReadValue(TStream* Stream, T& v) {
  return ReadExact(Stream, &v, sizeof v);
}

bool SkipBytes(TStream* Stream, int64_t Count) {
  uint8_t scratch[4096];
  while (Count > 0) {
    const int64_t n = std::min<int64_t>(Count, sizeof scratch);
    if (!ReadExact(Stream, scratch, n)) return false;
    Count -= n;
  }
  return true;
}

// Reads Rows stored rows of StoredLen bytes: the first Keep bytes (at most StoredLen) of row Y
// go to Dest(Y), the rest is skipped; a nil Dest(Y) drops the row. False when the stream ends
// first. A memory stream is copied row by row straight into place; any other stream (an
// inflating one above all, which is much faster delivering large pieces than single rows) is
// read in batches of rows through a block of about 1 MiB.
template <class TDest>
bool ReadRows(TStream* Stream, int32_t Rows, int64_t StoredLen, int64_t Keep, TDest Dest) {
  constexpr int64_t kBatchBytes = int64_t{1} << 20;
  if (dynamic_cast<TCustomMemoryStream*>(Stream) || StoredLen > kBatchBytes / 2) {
    for (int32_t y = 0; y < Rows; ++y) {
      uint8_t* row = Dest(y);
      if (row) {
        if (!ReadExact(Stream, row, Keep) || !SkipBytes(Stream, StoredLen - Keep)) return false;
      } else if (!SkipBytes(Stream, StoredLen)) {
        return false;
      }
    }
    return true;
  }
  const int32_t batch = static_cast<int32_t>(std::min<int64_t>(Rows, kBatchBytes / StoredLen));
  auto block = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(batch * StoredLen));
  for (int32_t y = 0; y < Rows; y += batch) {
    const int32_t n = std::min(batch, Rows - y);
    if (!ReadExact(Stream, block.get(), n * StoredLen)) return false;
    for (int32_t i = 0; i < n; ++i)
      if (uint8_t* row = Dest(y + i)) std::memcpy(row, block.get() + i * StoredLen, static_cast<size_t>(Keep));
  }
  return true;
}

#pragma pack(push, 1)
// The fields between the palette and the rows.
struct TRawHeaderTail {
  int32_t Width;
  int32_t Height;
  uint8_t PixelFormat;
  uint8_t Full;
  int32_t PaletteUsed;
  double RangeLow;
  double RangeHigh;
  int32_t ChannelOffset[4];
  uint8_t OffsetsEnabled;
  int32_t Contrast;
  int32_t RowAlignment;
};
#pragma pack(pop)
static_assert(sizeof(TRawHeaderTail) == 55);

}  // namespace

int64_t TPXBitmap::RawStreamSize() {
  int64_t size = 76 + 3 * static_cast<int64_t>(FPalette.size()) + FRowLen * FHeight;
  if (HasAlphaChannel()) size += FAlphaChannel->FRowLen * FAlphaChannel->FHeight + 1;
  return size;
}

void TPXBitmap::SaveRawToStream(void* Buffer, TStream* Stream, bool PreSize) {
  if (!Buffer && !Stream) return;
  TRawWriter out(static_cast<uint8_t*>(Buffer), Stream);
  out.Put(kRawMagic, sizeof kRawMagic);
  out.Value<int32_t>(0);
  out.Value<int32_t>(static_cast<int32_t>(FPalette.size()));
  out.Put(FPalette.data(), 3 * static_cast<int64_t>(FPalette.size()));
  TRawHeaderTail t{};
  t.Width = FWidth;
  t.Height = FHeight;
  t.PixelFormat = static_cast<uint8_t>(FPixelFormat);
  t.Full = FFull;
  t.PaletteUsed = FPaletteUsed;
  t.RangeLow = FDisplayRangeLow;
  t.RangeHigh = FDisplayRangeHigh;
  std::memcpy(t.ChannelOffset, FChannelOffset, sizeof t.ChannelOffset);
  t.OffsetsEnabled = FChannelOffsetEnabled;
  t.Contrast = FContrast;
  t.RowAlignment = FRowAlignment;
  out.Value(t);

  // Room for the rows, the alpha channel and the bytes around them at once.
  if (PreSize) out.Reserve(RawStreamSize() - (sizeof kRawMagic + 8 + 3 * static_cast<int64_t>(FPalette.size()) + sizeof t));
  for (int32_t y = 0; y < FHeight; ++y) out.Put(GetScanline(y), FRowLen);

  TPXBitmap* alpha = FAlphaChannel.get();
  out.Value<uint8_t>(alpha ? 1 : 0);
  if (alpha) {
    for (int32_t y = 0; y < alpha->FHeight; ++y) out.Put(alpha->GetScanline(y), alpha->FRowLen);
    out.Value<uint8_t>(alpha->FFull);
  }
}

bool TPXBitmap::LoadRawFromStream(const void* Buffer, int64_t BufferSize, TStream* Stream) {
  std::unique_ptr<TCustomMemoryStream> memory;
  if (Buffer) {
    if (BufferSize < 0) return false;
    memory = std::make_unique<TCustomMemoryStream>(Buffer, BufferSize);
    Stream = memory.get();
  }
  if (!Stream) return false;
  return LoadRawFromStreamBounded(Stream, Stream->Size() - Stream->Position());
}

// A stream that raises part way (an inflating one on corrupt data) leaves an empty bitmap too.
bool TPXBitmap::LoadRawFromStreamBounded(TStream* Stream, int64_t MaxBytes) try {
  if (!Stream) return false;
  char magic[12];
  if (!ReadExact(Stream, magic, sizeof magic) || std::memcmp(magic, kRawMagic, sizeof magic) != 0) return false;

  // From here on a failure leaves an empty bitmap.
  auto fail = [this] {
    FreeStorage(true);
    FModified = 0;
    return false;
  };
  int32_t version = 0;
  if (!ReadValue(Stream, version)) return fail();
  if (version < 0) {
    FModified = 0;
    return false;
  }
  int32_t n = 0;
  if (!ReadValue(Stream, n) || n < 0 || n > 256) return fail();
  std::vector<TRGB> palette(static_cast<size_t>(n));
  if (!ReadExact(Stream, palette.data(), 3 * static_cast<int64_t>(n))) return fail();
  TRawHeaderTail t{};
  if (!ReadValue(Stream, t)) return fail();
  if (t.PixelFormat < 1 || t.PixelFormat > 10 || t.Width <= 0 || t.Height <= 0) return fail();
  if (t.RowAlignment != 8 && t.RowAlignment != 16 && t.RowAlignment != 32 && t.RowAlignment != 64) return fail();
  const auto format = static_cast<TPXPixelFormat>(t.PixelFormat);
  const int64_t storedRowLen = RowByteLength(t.Width, PixelFormatBits(format), t.RowAlignment);
  // The bytes the stream can still hold after the header read so far.
  const int64_t remaining = MaxBytes - (sizeof kRawMagic + 8 + 3 * static_cast<int64_t>(n) + sizeof t);
  // The rows and the has-alpha byte must be there before anything is allocated.
  if (storedRowLen <= 0 || storedRowLen > (remaining - 1) / t.Height) return fail();

  SetRowAlignment(t.RowAlignment);
  if (!Allocate(t.Width, t.Height, format)) return fail();
  FFull = t.Full;
  FPaletteUsed = t.PaletteUsed;
  FDisplayRangeLow = t.RangeLow;
  FDisplayRangeHigh = t.RangeHigh;
  std::memcpy(FChannelOffset, t.ChannelOffset, sizeof FChannelOffset);
  FChannelOffsetEnabled = t.OffsetsEnabled;
  FContrast = t.Contrast;
  if (n > 0) {
    FPalette = palette;
    if (format == px8p && FPalette.size() < 256) FPalette.resize(256);
    UpdateVclPalette();  // a platform bitmap holding the pixels takes the palette too
  }

  // Each stored row fills the allocated row; the allocated length may differ when the
  // storage kept another row alignment.
  const int64_t common = std::min(FRowLen, storedRowLen);
  if (!ReadRows(Stream, FHeight, storedRowLen, common, [this](int32_t y) { return Scanline(y); })) return fail();

  uint8_t hasAlpha = 0;
  if (!ReadValue(Stream, hasAlpha)) return fail();
  if (hasAlpha) {
    TPXBitmap* alpha = GetAlphaChannel();
    const int64_t alphaRowLen = RowByteLength(t.Width, 8, 32);
    if (alphaRowLen > (remaining - storedRowLen * t.Height - 2) / t.Height) return fail();
    const int64_t c = alpha ? std::min(alphaRowLen, alpha->FRowLen) : 0;
    if (!ReadRows(Stream, t.Height, alphaRowLen, c, [alpha](int32_t y) { return alpha ? alpha->Scanline(y) : nullptr; }))
      return fail();
    uint8_t alphaFull = 0;
    if (!ReadValue(Stream, alphaFull)) return fail();
    if (alpha) alpha->FFull = alphaFull;
  } else {
    FAlphaChannel.reset();
  }
  FModified = 0;
  return true;
} catch (...) {
  FreeStorage(true);
  FModified = 0;
  throw;
}
