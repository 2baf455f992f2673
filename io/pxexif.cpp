#include "io/pxexif.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

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

namespace {
// Writes the tags of Params (and, when Thumbnail, its EXIF thumbnail as the second page) into S.
bool EncodeTagPages(TIOParams* Params, TMemoryStream& S, bool Thumbnail) {
  TPXTiffEncodeProc encode = TiffEncoder();
  if (!Params || !encode) return false;
  TPXAbortFlag aborting{false};
  TPXProgressRecord progress;
  progress.Aborting = &aborting;
  encode(&S, false, nullptr, Params, progress);
  TPXBitmap* thumb = Params->EXIF_Thumbnail();
  if (Thumbnail && !aborting && thumb && thumb->Width() > 0 && thumb->Height() > 0) {
    S.Seek(0, soBeginning);
    TIOParams page;
    page.SetImageIndex(1);
    page.TIFF_Compression = 6;
    page.SamplesPerPixel = 3;
    page.BitsPerSample = 8;
    encode(&S, true, thumb, &page, progress);
  }
  return !aborting;
}

void AppendStream(std::vector<uint8_t>& Buffer, TMemoryStream& S) {
  const auto* m = static_cast<const uint8_t*>(S.Memory());
  Buffer.insert(Buffer.end(), m, m + S.Size());
}
}  // namespace

bool BuildTiffTagBlock(TIOParams* Params, std::vector<uint8_t>& Buffer) {
  Buffer.clear();
  TMemoryStream s;
  if (!EncodeTagPages(Params, s, false)) return false;
  AppendStream(Buffer, s);
  return true;
}

bool BuildExifBlock(TIOParams* Params, std::vector<uint8_t>& Buffer, bool WithPrefix) {
  Buffer.clear();
  TMemoryStream s;
  if (!EncodeTagPages(Params, s, true)) return false;
  if (WithPrefix) Buffer = {'E', 'x', 'i', 'f', 0, 0};
  AppendStream(Buffer, s);
  return true;
}

namespace {
TPXTiffDecodeProc& TiffDecoder() {
  static TPXTiffDecodeProc decode = nullptr;
  return decode;
}

// A progress record without events and with its own abort flag.
struct TQuietProgress {
  TPXAbortFlag Aborting{false};
  TPXProgressRecord Record;
  TQuietProgress() { Record.Aborting = &Aborting; }
};

// One pass of the registered TIFF reader; false when it aborted or none is registered.
bool DecodePass(TPXBitmap* Bitmap, TStream* Stream, TIOParams* Params, bool ThumbnailOnly, bool FromPosition,
                bool ExifBlock) {
  TPXTiffDecodeProc decode = TiffDecoder();
  if (!decode) return false;
  TQuietProgress progress;
  std::unique_ptr<TPXMask> mask;
  int32_t pages = 0;
  decode(Bitmap, Stream, pages, Params, progress.Record, Bitmap == nullptr, mask, FromPosition, true, ThumbnailOnly,
         ExifBlock, nullptr);
  return !progress.Aborting;
}

// The thumbnail of Params, created when missing, without pixels.
TPXBitmap* EmptyThumbnail(TIOParams* Params) {
  TPXBitmap* thumb = Params->EXIF_Thumbnail();
  if (!thumb) thumb = Params->CreateExifThumbnail();
  thumb->FreeImage();
  return thumb;
}


// Restores a stream's position on every way out.
struct TPositionGuard {
  TStream* S;
  int64_t P;
  explicit TPositionGuard(TStream* Stream) : S(Stream), P(Stream->Position()) {}
  ~TPositionGuard() {
    try {
      S->Seek(P, soBeginning);
    } catch (...) {
    }
  }
};
}  // namespace

void RegisterTiffDecoder(TPXTiffDecodeProc Decode) { TiffDecoder() = Decode; }

bool ReadExifBlock(const void* Buffer, int32_t Length, TIOParams* Params, bool WithPrefix) {
  if (!Params) return false;
  const auto* data = static_cast<const uint8_t*>(Buffer);
  if (!data || Length < 0) Length = 0;
  int32_t start = 0;
  if (WithPrefix) {
    if (Length < 5 || std::memcmp(data, "Exif\0", 5) != 0) return false;
    start = std::min(Length, 6);
  }
  TMemoryStream block;
  if (Length > start) block.WriteBuffer(data + start, Length - start);
  block.Seek(0, soBeginning);
  TPXBitmap* thumb = EmptyThumbnail(Params);

  TIOParams scratch;
  DecodePass(nullptr, &block, &scratch, false, true, true);
  CopyExifParams(&scratch, Params, false);
  Params->EXIF_HasEXIFData = true;

  scratch.SetImageIndex(1);
  block.Seek(0, soBeginning);
  if (!DecodePass(thumb, &block, &scratch, true, true, false)) thumb->FreeImage();
  ApplyOrientation(thumb, Params->TIFF_Orientation);
  return true;
}

namespace {

constexpr int64_t kFindBlock = 131072;
constexpr int64_t kFindOverlap = 5;
constexpr int32_t kHeaderReach = 128;

struct THeaderTest {
  TStream* S;
  int64_t Size;

  bool ReadAt(int64_t At, uint8_t* Out, int32_t Count) const {
    if (At < 0 || At > Size - Count) return false;
    S->Seek(At, soBeginning);
    return S->Read(Out, Count) == Count;
  }
  static uint16_t Word(const uint8_t* P, bool BE) { return BE ? uint16_t(P[0] << 8 | P[1]) : uint16_t(P[1] << 8 | P[0]); }
  static uint32_t DWord(const uint8_t* P, bool BE) {
    return BE ? uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | P[3]
              : uint32_t(P[3]) << 24 | uint32_t(P[2]) << 16 | uint32_t(P[1]) << 8 | P[0];
  }
  // Byte order, magic and first offset of the 8 bytes H.
  bool Plain(const uint8_t* H, bool& BE, uint32_t& First) const {
    if (!((H[0] == 'I' && H[1] == 'I') || (H[0] == 'M' && H[1] == 'M'))) return false;
    BE = H[0] == 'M';
    const uint16_t magic = Word(H + 2, BE);
    if (magic != 42 && magic != 0x4F52 && magic != 0x5352) return false;
    First = DWord(H + 4, BE);
    return Size >= (int64_t(1) << 32) || int64_t(First) < Size;
  }
  bool PlausibleIfd(int64_t At, bool BE) const {
    uint8_t c[2];
    if (!ReadAt(At, c, 2)) return false;
    const uint16_t n = Word(c, BE);
    return n >= 1 && n <= 8191;
  }
  // A whole header at At: the plain test and a plausible directory at its offset counted from
  // the stream's start or from At.
  bool Full(int64_t At) const {
    uint8_t h[8];
    bool be = false;
    uint32_t first = 0;
    if (!ReadAt(At, h, 8) || !Plain(h, be, first)) return false;
    return PlausibleIfd(first, be) || PlausibleIfd(At + first, be);
  }
  // The first header from At to At + 127; -1 when none.
  int64_t Scan(int64_t At) const {
    for (int64_t j = At; j < At + kHeaderReach && j <= Size - 8; ++j)
      if (Full(j)) return j;
    return -1;
  }
};

}  // namespace

namespace {

// Whether one of the 16 bytes at P is 'E', 'I' or 'M' (the first byte of "Exif", "II", "MM").
bool AnySignatureStart(const uint8_t* P) {
  using TBytes16 = uint8_t __attribute__((vector_size(16)));
  TBytes16 v;
  std::memcpy(&v, P, sizeof(v));
  const auto hit = (v == 'E') | (v == 'I') | (v == 'M');
  uint64_t half[2];
  std::memcpy(half, &hit, sizeof(half));
  return (half[0] | half[1]) != 0;
}

}  // namespace

int64_t FindExifTiffHeader(TStream* Stream) {
  if (!Stream) return -1;
  TPositionGuard guard(Stream);
  const int64_t start = guard.P;
  const THeaderTest test{Stream, Stream->Size()};
  if (const int64_t at = test.Scan(start); at >= 0) return at;

  std::vector<uint8_t> buffer(static_cast<size_t>(kFindBlock));
  int64_t fallback = -1;
  int64_t blockAt = start;
  while (blockAt < test.Size) {
    Stream->Seek(blockAt, soBeginning);
    const int64_t want = std::min<int64_t>(kFindBlock, test.Size - blockAt);
    const int64_t got = Stream->Read(buffer.data(), static_cast<int32_t>(want));
    if (got <= 0) break;
    const bool last = blockAt + got >= test.Size || got < want;
    // Positions whose signature could cross the block's end are scanned by the next block,
    // which begins kFindOverlap bytes before this one's end; the last block scans to its end.
    const int64_t limit = last ? got : got - kFindOverlap;
    const uint8_t* b = buffer.data();
    for (int64_t i = 0; i < limit; ++i) {
      // Sixteen bytes none of which can start a signature are passed over at once.
      while (i + 16 <= limit && !AnySignatureStart(b + i)) i += 16;
      if (i >= limit) break;
      const uint8_t c = b[i];
      if (c == 'E') {
        if (i + 5 <= got && std::memcmp(b + i, "Exif\0", 5) == 0) {
          const int64_t at = test.Scan(blockAt + i);
          if (at >= 0) return at;
        }
      } else if ((c == 'I' || c == 'M') && i + 1 < got && b[i + 1] == c) {
        uint8_t h[8];
        bool ok;
        if (i + 8 <= got) {
          std::memcpy(h, b + i, 8);
          ok = true;
        } else {
          ok = test.ReadAt(blockAt + i, h, 8);
        }
        bool be = false;
        uint32_t first = 0;
        if (ok && test.Plain(h, be, first)) {
          const int64_t at = test.Scan(blockAt + i);
          if (at >= 0) fallback = at;
        }
      }
    }
    if (last) break;
    blockAt += got - kFindOverlap;
  }
  return fallback;
}

bool ReadExifFromTiffStream(TStream* Stream, TIOParams* Params, bool WithXmp) {
  if (!Stream || !Params) return true;
  TPositionGuard guard(Stream);
  TPXBitmap* thumb = EmptyThumbnail(Params);
  TIOParams scratch;
  DecodePass(nullptr, Stream, &scratch, false, true, true);
  if (WithXmp) Params->SetXmpInfo(scratch.XMP_Info);
  CopyExifParams(&scratch, Params, false);
  Params->EXIF_HasEXIFData = true;

  // Pages 0 and 1 as thumbnails: the narrower one that holds a picture wins.
  TPXBitmap pages[2];
  for (int32_t k = 0; k < 2; ++k) {
    Stream->Seek(guard.P, soBeginning);
    scratch.SetImageIndex(k);
    if (!DecodePass(&pages[k], Stream, &scratch, true, true, false)) pages[k].FreeImage();
  }
  const auto wins = [](TPXBitmap& A, TPXBitmap& B) {
    return A.Width() > 0 && (A.Width() < B.Width() || B.Width() == 0) && !A.IsAllZero();
  };
  if (wins(pages[0], pages[1]))
    thumb->AssignFrom(&pages[0], false);
  else if (wins(pages[1], pages[0]))
    thumb->AssignFrom(&pages[1], false);
  return true;
}

bool ReadTiffTagsIntoParams(TStream* Stream, TIOParams* Params) {
  if (!Stream || !Params) return true;
  TPositionGuard guard(Stream);
  EmptyThumbnail(Params);
  DecodePass(nullptr, Stream, Params, false, true, false);
  return true;
}

TDateTime ExifDateToDateTime(std::string_view Text) {
  const std::string t = Trim(std::string(Text));
  if (t.empty() || t == "0000:00:00 00:00:00" || t.size() < 19) return 0;
  const auto number = [&](size_t At, size_t Count, int32_t& Out) {
    Out = 0;
    for (size_t k = At; k < At + Count; ++k) {
      if (t[k] < '0' || t[k] > '9') return false;
      Out = Out * 10 + (t[k] - '0');
    }
    return true;
  };
  int32_t y, mo, d, h, mi, s;
  if (!number(0, 4, y) || !number(5, 2, mo) || !number(8, 2, d) || !number(11, 2, h) || !number(14, 2, mi) ||
      !number(17, 2, s))
    return 0;
  try {
    return EncodeDate(uint16_t(y), uint16_t(mo), uint16_t(d)) + EncodeTime(uint16_t(h), uint16_t(mi), uint16_t(s), 0);
  } catch (const Exception&) {
    return 0;
  }
}

std::string DateTimeToExifDate(TDateTime Value) {
  if (Value == 0) return {};
  uint16_t y, mo, d, h, mi, sec, ms;
  DecodeDate(Value, y, mo, d);
  DecodeTime(Value, h, mi, sec, ms);
  char text[64];
  std::snprintf(text, sizeof text, "%04u:%02u:%02u %02u:%02u:%02u", unsigned(y), unsigned(mo), unsigned(d),
                unsigned(h), unsigned(mi), unsigned(sec));
  return text;
}
