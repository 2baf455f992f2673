// TIFF writer: one page of a classic little-endian TIFF, new or inserted into an existing file.
// The layout (samples, bits, photometric, compression) follows the bitmap's pixel format and the
// TIFF group of the parameters; a one-sample bitmap keeps its own layout. Layout of a page:
// strips, then (at an even position) the directory, then its out-of-line values and
// sub-directories. Every offset counts from the start of the TIFF data.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <vector>

#include "codecs/jpegfilt.h"
#include "codecs/pxcodecs_impl.h"
#include "codecs/tifccitt.h"
#include "codecs/tiffilt.h"
#include "codecs/tiffilt_exif.h"
#include "codecs/tiffilt_impl.h"
#include "core/hypxutils.h"
#include "core/neurquant.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pxicc.h"
#include "io/pxmakernote.h"
#include "io/pxtiffifd.h"
#include "io/pxxBitmaps_params.h"
#include "proc/pixoranproc_colour.h"

using namespace tiffilt_detail;

namespace {

bool HasTransparency(TPXBitmap* B) {
  if (!B->HasAlphaChannel()) return false;
  TPXBitmap* a = B->AlphaChannel();
  if (a->Width() != B->Width() || a->Height() != B->Height()) return false;
  for (int32_t y = 0; y < a->Height(); ++y) {
    const uint8_t* r = a->Scanline(y);
    for (int32_t x = 0; x < a->Width(); ++x)
      if (r[x] != 255) return true;
  }
  return false;
}

// Packs values (one per byte, already reduced to Bits bits) from the most significant bit on.
void Pack(const uint8_t* In, int32_t Count, int32_t Bits, uint8_t* Out) {
  const int32_t bytes = int32_t((int64_t(Count) * Bits + 7) / 8);
  std::memset(Out, 0, size_t(bytes));
  int64_t bit = 0;
  for (int32_t i = 0; i < Count; ++i, bit += Bits) {
    const uint32_t v = In[i] & ((1u << Bits) - 1);
    const int32_t shift = 16 - Bits - int32_t(bit & 7);
    const uint32_t w = v << shift;
    Out[bit >> 3] |= uint8_t(w >> 8);
    if ((bit >> 3) + 1 < bytes) Out[(bit >> 3) + 1] |= uint8_t(w);
  }
}

void PackBitsRow(const uint8_t* Row, int64_t N, std::vector<uint8_t>& Out) {
  Out.clear();
  int64_t i = 0, litStart = 0;
  auto flushLiteral = [&](int64_t End) {
    while (litStart < End) {
      const int64_t n = std::min<int64_t>(End - litStart, 128);
      Out.push_back(uint8_t(n - 1));
      Out.insert(Out.end(), Row + litStart, Row + litStart + n);
      litStart += n;
    }
  };
  while (i < N) {
    int64_t run = 1;
    while (i + run < N && run < 128 && Row[i + run] == Row[i]) ++run;
    if (run >= 4) {
      flushLiteral(i);
      Out.push_back(uint8_t(1 - run));
      Out.push_back(Row[i]);
      i += run;
      litStart = i;
    } else {
      i += run;
      if (i - litStart >= 128) flushLiteral(litStart + 128);
    }
  }
  flushLiteral(N);
}

struct TWriter {
  TStream* S = nullptr;
  TIOParams* P = nullptr;
  TPXProgressRecord* Progress = nullptr;
  TPXAbortFlag* Aborting = nullptr;
  TPXBitmap* Source = nullptr;  // the caller's bitmap (its alpha channel is written)
  bool Error = false;
  int64_t Start = 0;  // the TIFF data's start: offsets count from here

  // Layout.
  TPXBitmap* W = nullptr;
  std::unique_ptr<TPXBitmap> Owned;
  int32_t Compression = 1;
  bool T4TwoDim = false;
  uint32_t FillOrder = 1;
  uint8_t PhotometricCode = 2;
  int32_t Predictor = 1;
  int32_t Bits = 8;
  int32_t Samples = 3;  // colour samples written
  bool WithAlpha = false;
  TPXTiffLzwCompressProc Lzw = nullptr;
  std::vector<TRGB> Palette;
  std::unique_ptr<TPXQuantizer> Quantizer;

  TPXTIFFIFDWriter Ifd;
  TMemoryStream Data;  // out-of-line values, placed after the directory
  std::vector<uint32_t> StripOffsets, StripCounts;
  int32_t RowsPerStrip = 0;

  int64_t Rel() { return S->Position() - Start; }
  void Put(const void* B, int64_t N) {
    if (N > 0) StreamWriteChecked(S, Error, B, N);
    if (Error) *Aborting = true;
  }

  void Decide(TPXBitmap* Bitmap);
  void WriteStrips();
  bool DeflateWhole();
  int64_t RowBytes() const;
  void RowOf(int32_t Y, uint8_t* Out);
  void WriteJpeg();
  void AddPageTags();
};

void TWriter::Decide(TPXBitmap* Bitmap) {
  int32_t C = P->TIFF_Compression, Sm = P->SamplesPerPixel, B = P->BitsPerSample, Ph = P->TIFF_Photometric;
  W = Bitmap;
  TPXPixelFormat f = W->PixelFormat();
  // Formats the writer does not take go through 24-bit RGB.
  if (f != px1g && f != px8p && f != px8g && f != px16g && f != px24RGB && f != px32f && f != pxCMYK && f != pxRGB48) {
    Owned = std::make_unique<TPXBitmap>();
    Owned->Allocate(W->Width(), W->Height(), px24RGB);
    Owned->ConvertPixelFormat(W);
    W = Owned.get();
    f = px24RGB;
  }
  const bool alpha = HasTransparency(Bitmap);
  if (C == 7) {
    B = 8;
    if (Sm != 1 && Sm != 3) Sm = 3;
  }
  if ((f == px1g || f == px24RGB) && Sm == 1 && B == 1) Ph = 1;
  if (f == px24RGB && Sm <= 2 && B == 8) {
    if (!alpha) {
      Ph = 3;
      Sm = 1;
    } else {
      Ph = 2;
      Sm = 4;
      B = 8;
      C = 0;
    }
  }
  const bool oneSample = f == px8p || f == px8g || f == px16g || f == px32f;
  if (oneSample) {
    // One sample in the bitmap's own layout.
    Sm = 1;
    if (f == px8p) {
      Ph = 3;
      B = std::clamp(B, 1, 8);
      if (B != 1 && B != 2 && B != 4 && B != 8) B = 8;
    } else if (f == px32f) {
      Ph = 1;
      B = 32;
    } else {
      Ph = 1;
      if (B != 1 && B != 2 && B != 4 && B != 8 && B != 16) B = f == px16g ? 16 : 8;
    }
  } else if (B == 1 && Sm == 1 && (Ph == 0 || Ph == 1)) {
    if (f != px1g) {
      TRGB c0, c1;
      Owned = ConvertBiColorTo1Bit(W, c0, c1);
      if (!Owned) {
        Owned = std::make_unique<TPXBitmap>();
        Owned->Allocate(W->Width(), W->Height(), px1g);
        Owned->ConvertPixelFormat(W);
      }
      W = Owned.get();
      f = px1g;
    }
  } else if (f == px1g) {
    Owned = std::make_unique<TPXBitmap>();
    Owned->Allocate(W->Width(), W->Height(), px24RGB);
    Owned->ConvertPixelFormat(W);
    W = Owned.get();
    f = px24RGB;
  }
  if (f == px24RGB && Sm == 1 && (B <= 8 || B == 16) && (B > 1 || Ph == 3)) {
    const int32_t n = std::min(1 << std::min(B, 8), 256);
    Palette.assign(size_t(n), TRGB{});
    Quantizer = std::make_unique<TPXQuantizer>(W, Palette.data(), 0, n);
    if (Quantizer->Grey()) {
      Ph = 1;
    } else {
      Ph = 3;
      if (C != 5 && C != 8 && C != 9) C = 0;
      if (B == 16) B = 8;
    }
  } else if (f == px24RGB && (Sm == 1 || Sm == 4) && !(Sm == 4 && alpha && Ph == 2)) {
    if (Sm == 1 || Ph != 5) {
      Sm = 3;
      Ph = Ph == 5 ? 5 : 2;
      B = 8;
    }
  }
  if (Ph == 3 && Sm > 1) Ph = 2;
  if (B > 8 && Sm != 1) {
    Sm = 3;
    B = 8;
    Ph = 2;
  }
  if ((Ph == 0 || Ph == 1) && B == 8 && Sm == 3) Ph = 2;
  if (Ph == 2 && Sm == 1 && B == 1) Ph = 1;
  if (Ph == 6 && C != 7) Ph = 2;
  if (Ph == 2 && Sm > 3) Sm = 3;
  if (f == pxRGB48) {
    Sm = 3;
    B = 16;
    Ph = 2;
  }
  if (f == pxCMYK) {
    Sm = 4;
    B = 8;
    Ph = 5;
  }
  if (f == px24RGB && B != 8 && Ph != 3 && Ph != 1) B = 8;
  switch (Ph) {
    case 0: case 1: PhotometricCode = 1; break;
    case 3: PhotometricCode = 3; break;
    case 5: PhotometricCode = 5; Sm = 4; break;
    case 7: PhotometricCode = 7; break;
    default: PhotometricCode = 2;
  }
  bool bilevel = f == px1g;
  switch (C) {
    case 1: Compression = 2; break;
    case 2: Compression = 3; break;
    case 3: Compression = 3; T4TwoDim = true; break;
    case 4: Compression = 4; break;
    case 5:
      Compression = 5;
      Predictor = 2;
      Lzw = P->TIFF_LZWCompress ? P->TIFF_LZWCompress : GlobalSettingsInstance()->FTIFFLZWCompress;
      if (!Lzw) {
        Compression = 1;
        Predictor = 1;
      }
      break;
    case 6:
    case 7: {
      Compression = C;
      uint8_t cs = P->TIFF_JPEGColorSpace;
      if (cs == 4) cs = 0;
      PhotometricCode = cs == 0 ? 2 : cs == 1 ? 1 : cs == 3 ? 5 : 6;
      if (f == px1g || f == px32f || f == px16g || f == pxRGB48 || f == px8p) {
        Owned = std::make_unique<TPXBitmap>();
        Owned->Allocate(W->Width(), W->Height(), px24RGB);
        Owned->ConvertPixelFormat(W);
        W = Owned.get();
        f = px24RGB;
      }
      if (f == px8g) PhotometricCode = 1;
      if (f == pxCMYK) PhotometricCode = 5;
      if (PhotometricCode == 5 && f != pxCMYK) PhotometricCode = 2;
      if (PhotometricCode == 1 && f != px8g) PhotometricCode = f == px24RGB ? 6 : 2;
      Bits = 8;
      bilevel = false;
      break;
    }
    case 8: Compression = 32773; break;
    case 9: case 10: Compression = 32946; break;
    default: Compression = 1;
  }
  FillOrder = P->TIFF_FillOrder == 2 ? 2 : 1;
  if (!bilevel && Compression >= 2 && Compression <= 4) Compression = 1;
  if (bilevel && Compression >= 2 && Compression <= 4) PhotometricCode = 0;
  if (!(B == 8 && (Sm == 1 || Sm == 3) && PhotometricCode != 1 && PhotometricCode != 3 && !alpha) || f != px24RGB)
    Predictor = 1;
  if (Compression != 5) Predictor = 1;
  // Samples and bits as written.
  if (f == px1g) {
    Samples = 1;
    Bits = 1;
  } else if (oneSample) {
    Samples = 1;
    Bits = B;
  } else if (f == pxCMYK) {
    Samples = 4;
    Bits = 8;
  } else if (f == pxRGB48) {
    Samples = 3;
    Bits = 16;
  } else if (PhotometricCode == 1 || PhotometricCode == 3) {
    Samples = 1;
    Bits = B;
  } else if (PhotometricCode == 5) {
    Samples = 4;
    Bits = 8;
  } else {
    Samples = 3;
    Bits = 8;
  }
  if (Compression == 6 || Compression == 7) {
    Samples = PhotometricCode == 1 ? 1 : PhotometricCode == 5 ? 4 : 3;
    Bits = 8;
  }
  WithAlpha = alpha && (Samples == 3 || Samples == 4) && f != pxRGB48 &&
              (Compression == 1 || Compression == 5 || Compression == 32773 || Compression == 32946);
  P->BitsPerSample = Bits;
  P->SamplesPerPixel = Samples + (WithAlpha ? 1 : 0);
  P->TIFF_Photometric = PhotometricCode == 7 ? 7 : PhotometricCode;
}

int64_t TWriter::RowBytes() const {
  return (int64_t(W->Width()) * (Samples + (WithAlpha ? 1 : 0)) * Bits + 7) / 8;
}

// Row Y as the file holds it, in RowBytes() bytes at Out.
void TWriter::RowOf(int32_t Y, uint8_t* Out) {
  const int32_t w = W->Width();
  const TPXPixelFormat f = W->PixelFormat();
  const int32_t total = Samples + (WithAlpha ? 1 : 0);
  const int64_t len = RowBytes();
  const uint8_t* in = W->Scanline(Y);
  const TRGB* rgb = reinterpret_cast<const TRGB*>(in);
  const uint8_t* alpha = WithAlpha ? Source->AlphaChannel()->Scanline(Y) : nullptr;
  // The common case, plain 8-bit RGB, in a loop of its own.
  if (f == px24RGB && total == 3 && Bits == 8 && PhotometricCode == 2) {
    // B, G, R and the next pixel's first byte, read as one little-endian word, byte-swapped and
    // shifted give R, G, B and a 0 that the next pixel overwrites; the last pixel goes by bytes.
    int32_t x = 0;
    if constexpr (std::endian::native == std::endian::little)
      for (; x + 1 < w; ++x) {
        uint32_t v;
        std::memcpy(&v, in + size_t(x) * 3, 4);
        v = __builtin_bswap32(v) >> 8;
        std::memcpy(Out + size_t(x) * 3, &v, 4);
      }
    for (; x < w; ++x) {
      Out[size_t(x) * 3] = rgb[x].r;
      Out[size_t(x) * 3 + 1] = rgb[x].g;
      Out[size_t(x) * 3 + 2] = rgb[x].b;
    }
    if (Predictor == 2)
      for (int64_t k = len - 1; k >= total; --k) Out[k] = uint8_t(Out[k] - Out[k - total]);
    return;
  }
  std::memset(Out, 0, size_t(len));
  switch (f) {
    case px1g:
      std::memcpy(Out, in, size_t(len));
      if (Compression >= 2 && Compression <= 4)
        for (int64_t k = 0; k < len; ++k) Out[k] = uint8_t(~Out[k]);
      break;
    case px8p:
    case px8g:
      if (Bits == 8) {
        std::memcpy(Out, in, size_t(w));
      } else if (Bits == 16) {
        for (int32_t x = 0; x < w; ++x) {
          const uint16_t v = uint16_t(in[x] * 257);
          std::memcpy(&Out[size_t(x) * 2], &v, 2);
        }
      } else {
        std::vector<uint8_t> v(static_cast<size_t>(w));
        for (int32_t x = 0; x < w; ++x) v[size_t(x)] = f == px8g ? uint8_t(in[x] >> (8 - Bits)) : in[x];
        Pack(v.data(), w, Bits, Out);
      }
      break;
    case px16g: {
      const auto* g = reinterpret_cast<const uint16_t*>(in);
      if (Bits == 16) {
        std::memcpy(Out, in, size_t(w) * 2);
      } else {
        std::vector<uint8_t> v(static_cast<size_t>(w));
        for (int32_t x = 0; x < w; ++x) v[size_t(x)] = uint8_t(g[x] >> 8);
        if (Bits == 8)
          std::memcpy(Out, v.data(), size_t(w));
        else {
          for (auto& b : v) b = uint8_t(b >> (8 - Bits));
          Pack(v.data(), w, Bits, Out);
        }
      }
      break;
    }
    case px32f:
      std::memcpy(Out, in, size_t(w) * 4);
      break;
    case pxRGB48:
      std::memcpy(Out, in, size_t(w) * 6);
      break;
    case pxCMYK: {
      const uint8_t* a = alpha;
      for (int32_t x = 0; x < w; ++x) {
        uint8_t* o = &Out[size_t(x) * size_t(total)];
        for (int k = 0; k < 4; ++k) o[k] = uint8_t(255 - in[size_t(x) * 4 + size_t(k)]);
        if (a) o[4] = a[x];
      }
      break;
    }
    case px24RGB: {
      const auto* rgb = reinterpret_cast<const TRGB*>(in);
      const uint8_t* a = alpha;
      if (PhotometricCode == 5) {
        std::vector<TCMYK> c(static_cast<size_t>(w));
        TPXConvertColorRowsProc hook = GlobalSettingsInstance()->FConvertColorRows;
        if (hook) hook(rgb, iccfBGR, c.data(), P, w, iccfCMYK);
        for (int32_t x = 0; x < w; ++x) {
          uint8_t* o = &Out[size_t(x) * size_t(total)];
          o[0] = uint8_t(255 - c[size_t(x)].c);
          o[1] = uint8_t(255 - c[size_t(x)].m);
          o[2] = uint8_t(255 - c[size_t(x)].y);
          o[3] = uint8_t(255 - c[size_t(x)].k);
          if (a) o[4] = a[x];
        }
      } else if (PhotometricCode == 7) {
        TPXConvertColorRowsProc hook = GlobalSettingsInstance()->FConvertColorRows;
        if (hook) hook(rgb, iccfBGR, Out, P, w, iccfLab);
      } else if (PhotometricCode == 1 || PhotometricCode == 3) {
        std::vector<uint8_t> v(static_cast<size_t>(w));
        for (int32_t x = 0; x < w; ++x) v[size_t(x)] = uint8_t(Quantizer ? Quantizer->RGBToIndex(rgb[x]) : rgb[x].g);
        if (Bits == 8)
          std::memcpy(Out, v.data(), size_t(w));
        else if (Bits == 16)
          for (int32_t x = 0; x < w; ++x) {
            const uint16_t g = uint16_t(v[size_t(x)] * 257);
            std::memcpy(&Out[size_t(x) * 2], &g, 2);
          }
        else
          Pack(v.data(), w, Bits, Out);
      } else {
        for (int32_t x = 0; x < w; ++x) {
          uint8_t* o = &Out[size_t(x) * size_t(total)];
          o[0] = rgb[x].r;
          o[1] = rgb[x].g;
          o[2] = rgb[x].b;
          if (a) o[3] = a[x];
        }
        if (Predictor == 2)
          for (int64_t k = len - 1; k >= total; --k) Out[size_t(k)] = uint8_t(Out[size_t(k)] - Out[size_t(k - total)]);
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace

namespace {

// The compressor of one strip.
class TStripCoder {
 public:
  TStripCoder(TWriter& Wr) : FW(Wr) {
    if (Wr.Compression == 32946) {
      const int32_t lv = Wr.P->TIFF_ZipLevel;
      deflateInit(&FZ, lv == 0 ? Z_BEST_SPEED : lv == 2 ? Z_BEST_COMPRESSION : Z_DEFAULT_COMPRESSION);
      FZOpen = true;
    }
  }
  ~TStripCoder() {
    if (FZOpen) deflateEnd(&FZ);
  }
  TStripCoder(const TStripCoder&) = delete;
  TStripCoder& operator=(const TStripCoder&) = delete;

  void Row(const std::vector<uint8_t>& R, int32_t Width) {
    switch (FW.Compression) {
      case 2: EncodeCcittMHRow(R.data(), Width, FW.S, *FW.Aborting, int32_t(FW.FillOrder)); break;
      case 3:
        if (FW.T4TwoDim)
          EncodeCcittG3Row(R.data(), Width, FW.S, FPartial, FBits, FRef, *FW.Aborting, int32_t(FW.FillOrder));
        else
          EncodeCcittG3Row1D(R.data(), Width, FW.S, FPartial, FBits, *FW.Aborting, int32_t(FW.FillOrder));
        break;
      case 4: EncodeCcittG4Row(R.data(), Width, FW.S, FPartial, FBits, FRef, *FW.Aborting, int32_t(FW.FillOrder)); break;
      case 5: FW.Lzw(R.data(), int32_t(R.size()), FW.S, FLzw); break;
      case 32773:
        PackBitsRow(R.data(), int64_t(R.size()), FPack);
        FW.Put(FPack.data(), int64_t(FPack.size()));
        break;
      case 32946: Deflate(R.data(), R.size(), Z_NO_FLUSH); break;
      default: FW.Put(R.data(), int64_t(R.size()));
    }
  }
  void Finish(int32_t Width) {
    switch (FW.Compression) {
      case 3:
        if (FW.T4TwoDim)
          EncodeCcittG3Row(nullptr, Width, FW.S, FPartial, FBits, FRef, *FW.Aborting, int32_t(FW.FillOrder));
        else
          EncodeCcittG3Row1D(nullptr, Width, FW.S, FPartial, FBits, *FW.Aborting, int32_t(FW.FillOrder));
        break;
      case 4: EncodeCcittG4Row(nullptr, Width, FW.S, FPartial, FBits, FRef, *FW.Aborting, int32_t(FW.FillOrder)); break;
      case 5: FW.Lzw(nullptr, 0, FW.S, FLzw); break;
      case 32946: Deflate(nullptr, 0, Z_FINISH); break;
      default: break;
    }
  }

 private:
  void Deflate(const uint8_t* In, size_t N, int Flush) {
    FZ.next_in = const_cast<uint8_t*>(In);
    FZ.avail_in = uInt(N);
    uint8_t buf[65536];
    int rc;
    do {
      FZ.next_out = buf;
      FZ.avail_out = sizeof(buf);
      rc = deflate(&FZ, Flush);
      FW.Put(buf, int64_t(sizeof(buf) - FZ.avail_out));
    } while (FZ.avail_out == 0 || (Flush == Z_FINISH && rc == Z_OK));
  }

  TWriter& FW;
  z_stream FZ{};
  bool FZOpen = false;
  uint8_t FPartial = 0;
  int32_t FBits = 0;
  std::vector<uint8_t> FRef, FPack;
  void* FLzw = nullptr;
};

}  // namespace

namespace tiffilt_detail {
int64_t WholeDeflateLimit = int64_t{256} << 20;
}  // namespace tiffilt_detail

bool TWriter::DeflateWhole() {
  const int32_t h = W->Height();
  const int64_t len = RowBytes(), raw = len * h;
  if (raw <= 0 || raw > WholeDeflateLimit) return false;
  const int32_t zl = P->TIFF_ZipLevel;
  std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> coder(
      libdeflate_alloc_compressor(zl == 0 ? 1 : zl == 2 ? 9 : 6), &libdeflate_free_compressor);
  if (!coder) return false;
  const size_t bound = libdeflate_zlib_compress_bound(coder.get(), size_t(raw));
  std::unique_ptr<uint8_t[]> in, out;
  try {
    in = std::make_unique_for_overwrite<uint8_t[]>(size_t(raw));
    out = std::make_unique_for_overwrite<uint8_t[]>(bound);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int32_t y = 0; y < h && !*Aborting; ++y) {
    if (Progress->Event) Progress->Event(Progress->Sender, pxcodecs_detail::PerCentOf(*Progress, y));
    RowOf(y, in.get() + len * y);
  }
  if (*Aborting) return true;
  const size_t n = libdeflate_zlib_compress(coder.get(), in.get(), size_t(raw), out.get(), bound);
  if (n == 0) return false;  // cannot happen within the bound
  StripOffsets.push_back(uint32_t(Rel()));
  Put(out.get(), int64_t(n));
  StripCounts.push_back(uint32_t(Rel() - StripOffsets.back()));
  return true;
}

void TWriter::WriteStrips() {
  const int32_t w = W->Width(), h = W->Height();
  int32_t strips = 1;
  if (Compression == 32946 || Compression == 8) {
    RowsPerStrip = h;
  } else {
    strips = P->TIFF_RowsPerStrip;
    if (strips <= 0) strips = int32_t(std::max<int64_t>(int64_t(h) * W->RowLen() / 524288, 1));
    strips = std::clamp(strips, 1, std::max(h, 1));
    RowsPerStrip = std::max(h / strips, 1);
  }
  Progress->PerCentPerUnit = 100.0 / double(std::max(h, 1));
  if (Compression == 32946 && DeflateWhole()) return;
  std::vector<uint8_t> row(static_cast<size_t>(RowBytes()));
  for (int32_t first = 0; first < h && !*Aborting; first += RowsPerStrip) {
    StripOffsets.push_back(uint32_t(Rel()));
    {
      TStripCoder coder(*this);
      for (int32_t y = first; y < std::min(h, first + RowsPerStrip) && !*Aborting; ++y) {
        if (Progress->Event) Progress->Event(Progress->Sender, pxcodecs_detail::PerCentOf(*Progress, y));
        RowOf(y, row.data());
        coder.Row(row, w);
      }
      if (!*Aborting) coder.Finish(w);
    }
    StripCounts.push_back(uint32_t(Rel() - StripOffsets.back()));
  }
}

void TWriter::WriteJpeg() {
  TIOParams jp;
  jp.JPEG_Quality = P->TIFF_JPEGQuality;
  jp.JPEG_ColorSpace = PhotometricCode == 6 ? 2 : PhotometricCode == 1 ? 1 : PhotometricCode == 5 ? 3 : 0;
  TPXProgressRecord silent;
  silent.Aborting = Aborting;
  RowsPerStrip = W->Height();
  if (Compression == 7) {
    StripOffsets.push_back(uint32_t(Rel()));
    EncodeJpegStream(S, W, &jp, silent);
    StripCounts.push_back(uint32_t(Rel() - StripOffsets.back()));
    return;
  }
  TMemoryStream m;
  EncodeJpegStream(&m, W, &jp, silent);
  const uint32_t at = uint32_t(Rel());
  Put(m.Memory(), m.Size());
  const auto* b = static_cast<const uint8_t*>(m.Memory());
  int64_t k = 0;
  while (k + 1 < m.Size() && !(b[k] == 0xFF && b[k + 1] == 0xDA)) ++k;
  StripOffsets.push_back(at + uint32_t(k));
  StripCounts.push_back(uint32_t(m.Size() - k));
  Ifd.AddShort(512, 1);
  Ifd.AddLong(513, at);
  Ifd.AddLong(514, uint32_t(m.Size()));
  const uint16_t sub[2] = {2, 2};
  Ifd.WriteShortArray(&Data, 530, Error, 1, sub);
}

void TWriter::AddPageTags() {
  const int32_t w = W->Width(), h = W->Height();
  const TPXPixelFormat f = W->PixelFormat();
  const int32_t total = Samples + (WithAlpha ? 1 : 0);
  Ifd.AddLong(254, uint32_t(P->TIFF_NewSubfileType));
  Ifd.AddLong(256, uint32_t(w));
  Ifd.AddLong(257, uint32_t(h));
  const std::vector<uint16_t> bits(static_cast<size_t>(total), static_cast<uint16_t>(Bits));
  Ifd.WriteShortArray(&Data, 258, Error, total - 1, bits.data());
  Ifd.AddShort(259, uint16_t(Compression));
  Ifd.AddShort(262, uint16_t(PhotometricCode == 7 ? 8 : PhotometricCode));
  const bool ccitt = Compression >= 2 && Compression <= 4;
  if (ccitt) {
    Ifd.AddShort(266, uint16_t(FillOrder));
    Ifd.AddShort(284, 1);
    Ifd.AddShort(327, 0);
  }
  // Group 3 and Group 4 pages carry both option tags, as our reader and the files it shares
  // expect (it takes Group 4's tag-bit flag from T4Options); libtiff reads the one that does not
  // belong to the page's compression as an unknown field.
  if (Compression == 3 || Compression == 4) {
    Ifd.AddLong(292, Compression == 3 && T4TwoDim ? 1 : 0);
    Ifd.AddLong(293, 0);
  }
  Ifd.WriteAscii(&Data, 269, Error, P->TIFF_DocumentName);
  Ifd.WriteAscii(&Data, 285, Error, P->TIFF_PageName);
  if (StripOffsets.size() == 1) {
    Ifd.AddLong(273, StripOffsets[0]);
    Ifd.AddLong(279, StripCounts[0]);
  } else {
    Ifd.WriteLongArray(&Data, 273, Error, uint32_t(StripOffsets.size()), StripOffsets.data());
    Ifd.WriteLongArray(&Data, 279, Error, uint32_t(StripCounts.size()), StripCounts.data());
  }
  Ifd.AddShort(277, uint16_t(total));
  Ifd.AddLong(278, uint32_t(RowsPerStrip));
  if (P->TIFF_XPos != 0) Ifd.WriteRational(&Data, 286, nullptr, Error, P->TIFF_XPos);
  if (P->TIFF_YPos != 0) Ifd.WriteRational(&Data, 287, nullptr, Error, P->TIFF_YPos);
  if (P->TIFF_PageNumber >= 0 || P->TIFF_PageCount >= 0) {
    const uint16_t pn[2] = {uint16_t(std::max(P->TIFF_PageNumber, 0)), uint16_t(std::max(P->TIFF_PageCount, 0))};
    Ifd.WriteShortArray(&Data, 297, Error, 1, pn);
  }
  if (Predictor == 2) Ifd.AddShort(317, 2);
  if (PhotometricCode == 3 && Compression != 6 && Compression != 7) {
    const int32_t n = 1 << std::min(Bits, 8);
    std::vector<uint16_t> map(size_t(n) * 3, 0);
    for (int32_t i = 0; i < n; ++i) {
      TRGB c{};
      if (f == px8p)
        W->GetPaletteColor(i, c);
      else if (size_t(i) < Palette.size())
        c = Palette[size_t(i)];
      map[size_t(i)] = uint16_t(c.r * 257);
      map[size_t(i + n)] = uint16_t(c.g * 257);
      map[size_t(i + 2 * n)] = uint16_t(c.b * 257);
    }
    Ifd.WriteShortArray(&Data, 320, Error, 3 * n - 1, map.data());
  }
  if (WithAlpha) Ifd.AddShort(338, 2);
  if (f == px32f) Ifd.AddShort(339, 3);
}

namespace {

// Moves the out-of-line values of the directory at DirAt (inside Mem) and of its
// sub-directories by Amount; the entries are rewritten in place.
void RelocateDirectory(TMemoryStream& Mem, uint32_t Amount, uint32_t DirAt, int32_t Depth = 0) {
  auto* m = static_cast<uint8_t*>(Mem.Memory());
  const int64_t size = Mem.Size();
  if (Depth > 4 || int64_t(DirAt) + 2 > size) return;
  const uint16_t n = uint16_t(m[DirAt] | (m[DirAt + 1] << 8));
  for (uint32_t k = 0; k < n && int64_t(DirAt) + 2 + 12 * (k + 1) <= size; ++k) {
    uint8_t* e = m + DirAt + 2 + 12 * k;
    const uint16_t tag = uint16_t(e[0] | (e[1] << 8)), type = uint16_t(e[2] | (e[3] << 8));
    uint32_t count, value;
    std::memcpy(&count, e + 4, 4);
    std::memcpy(&value, e + 8, 4);
    const bool pointer = tag == 34665 || tag == 34853 || tag == 40965;
    if (pointer) RelocateDirectory(Mem, Amount, value, Depth + 1);
    if (tag == 37500 && !TiffEntryIsInline(type, count)) TPXTagsHandlerRelocator(&Mem, true, Amount, value, count).Relocate();
    if (pointer || !TiffEntryIsInline(type, count)) {
      value += Amount;
      std::memcpy(e + 8, &value, 4);
    }
  }
}

}  // namespace

namespace tiffilt_detail {
void RelocateEntries(TPXTIFFIFDWriter& Ifd, TMemoryStream& Data, uint32_t Amount) {
  for (int32_t i = 0; i < Ifd.GetEntryCount(); ++i) {
    TPXTIFFWriterEntry& e = Ifd.EntryAt(i);
    const bool pointer = e.Tag == 34665 || e.Tag == 34853 || e.Tag == 40965;
    if (pointer) RelocateDirectory(Data, Amount, e.Value);
    if (e.Tag == 37500 && !TiffEntryIsInline(e.Type, e.Count))
      TPXTagsHandlerRelocator(&Data, true, Amount, e.Value, e.Count).Relocate();
    if (pointer || !TiffEntryIsInline(e.Type, e.Count)) e.Value += Amount;
  }
}
}  // namespace tiffilt_detail

namespace {

int32_t WritePage(TStream* Stream, bool Append, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                  TPXAbortFlag& Aborting) {
  TWriter wr;
  wr.S = Stream;
  wr.P = Params;
  wr.Progress = &Progress;
  wr.Aborting = &Aborting;
  wr.Source = Bitmap;
  wr.Start = Stream->Position();
  int32_t pages = 1;
  int64_t linkPos = 4;
  uint32_t linkValue = 0;
  if (Append) {
    const int64_t size = Stream->Size();
    uint8_t h[8] = {};
    if (pxcodecs_detail::ReadFully(Stream, h, 8) != 8 || h[0] != 'I' || h[1] != 'I' || h[2] != 42 || h[3] != 0) {
      Aborting = true;
      return 0;
    }
    const int32_t index = Params->TIFF_ImageIndex;
    uint32_t link = pxcodecs_detail::GetLE32(h + 4);
    int64_t at = 4;
    int32_t i = 0;
    bool remembered = false;
    std::unordered_set<uint32_t> visited;
    for (;;) {
      // A chain that comes back to a directory is damaged: inserting would keep (or make) a loop.
      if (link != 0 && visited.count(link)) {
        Aborting = true;
        return 0;
      }
      if (link != 0 && (link < 8 || wr.Start + int64_t(link) + 2 > size)) link = 0;
      if (link != 0) visited.insert(link);
      if (!remembered && (i == index || link == 0)) {
        linkPos = at;
        linkValue = link;
        remembered = true;
      }
      if (link == 0) break;
      Stream->Seek(wr.Start + link, soBeginning);
      uint8_t nb[2] = {};
      pxcodecs_detail::ReadFully(Stream, nb, 2);
      const int64_t next = int64_t(link) + 2 + 12 * int64_t(nb[0] | (nb[1] << 8));
      ++i;
      if (wr.Start + next + 4 > size) break;
      Stream->Seek(wr.Start + next, soBeginning);
      uint8_t lb[4] = {};
      pxcodecs_detail::ReadFully(Stream, lb, 4);
      at = next;
      link = pxcodecs_detail::GetLE32(lb);
    }
    pages = i + 1;
    Stream->Seek(0, soEnd);
    wr.Error = false;
    if (Stream->Position() & 1) wr.Put("\0", 1);
  } else {
    const uint8_t zero[8] = {};
    wr.Put(zero, 8);
  }
  if (Bitmap && Bitmap->Width() > 0 && Bitmap->Height() > 0) {
    wr.Decide(Bitmap);
    if (wr.Compression == 6 || wr.Compression == 7)
      wr.WriteJpeg();
    else
      wr.WriteStrips();
    if (Aborting) return 0;
    wr.AddPageTags();
  }
  if (Params->EXIF_HasEXIFData) {
    WriteExifDirectory(wr.Ifd, wr.Data, Params, wr.Error);
  } else {
    wr.Ifd.WriteAscii(&wr.Data, 270, wr.Error, Params->TIFF_ImageDescription);
    wr.Ifd.WriteRational(&wr.Data, 282, nullptr, wr.Error, Params->DpiX);
    wr.Ifd.WriteRational(&wr.Data, 283, nullptr, wr.Error, Params->DpiY);
  }
  wr.Ifd.AddShort(296, 2);
  WriteMetadataTags(wr.Ifd, wr.Data, Params, wr.Error);
  if (wr.Error) Aborting = true;
  if (Aborting) return 0;
  // The directory at an even position, its values right after it.
  if (Stream->Position() & 1) wr.Put("\0", 1);
  const uint32_t ifdAt = uint32_t(wr.Rel());
  wr.Ifd.SortEntries();
  const uint32_t dataAt = ifdAt + 2 + 12 * uint32_t(wr.Ifd.GetEntryCount()) + 4;
  RelocateEntries(wr.Ifd, wr.Data, dataAt);
  wr.Ifd.WriteDirectory(Stream, wr.Error, Append ? linkValue : 0);
  wr.Put(wr.Data.Memory(), wr.Data.Size());
  if (wr.Error) {
    Aborting = true;
    return 0;
  }
  const int64_t end = Stream->Position();
  Stream->Seek(wr.Start + (Append ? linkPos : 0), soBeginning);
  if (Append) {
    uint8_t v[4];
    pxcodecs_detail::PutLE32(v, ifdAt);
    wr.Put(v, 4);
  } else {
    uint8_t hdr[8] = {'I', 'I', 42, 0};
    pxcodecs_detail::PutLE32(hdr + 4, ifdAt);
    wr.Put(hdr, 8);
  }
  Stream->Seek(end, soBeginning);
  if (wr.Error) {
    Aborting = true;
    return 0;
  }
  return pages;
}

}  // namespace

int32_t EncodeTiffStream(TStream* Stream, bool Append, TPXBitmap* Bitmap, TIOParams* Params,
                         TPXProgressRecord& Progress) {
  int32_t pages = 0;
  pxcodecs_detail::RunGuarded(Progress, Stream && Params, [&](TPXAbortFlag& aborting) {
    pages = WritePage(Stream, Append, Bitmap, Params, Progress, aborting);
  });
  return pages;
}
