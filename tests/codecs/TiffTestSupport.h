// Helpers of the TIFF codec tests: source pictures written through libtiff in many layouts,
// tiffcp variants of them, libtiff's RGBA reading as the oracle, and our reader and writer on
// bytes.
#pragma once

#include <tiffio.h>

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codecs/tiffilt.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxxBitmaps_params.h"
#include "tests/codecs/CodecTestSupport.h"
#include "tests/common/TestSupport.h"

namespace tifftest {

// libtiff's complaints while reading, gathered.
inline std::string& Complaints() {
  static std::string s;
  return s;
}
inline void Collect(const char* Module, const char* Fmt, va_list Ap) {
  char buf[1024];
  vsnprintf(buf, sizeof buf, Fmt, Ap);
  Complaints() += std::string(Module ? Module : "") + ": " + buf + "\n";
}
inline void CollectComplaints() {
  Complaints().clear();
  TIFFSetWarningHandler(Collect);
  TIFFSetErrorHandler(Collect);
}

// A source layout written through libtiff.
struct Source {
  const char* Name;
  int Bits, Samples, Photometric;
  int Extra = 0;         // 0 none, 1 associated alpha, 2 unassociated alpha
  int SampleFormat = 1;  // 1 unsigned, 2 signed, 3 float
};

constexpr int kW = 67, kH = 45;

// The deterministic sample value of (x, y, s) at Bits bits.
inline uint32_t SampleAt(int x, int y, int s, int Bits) {
  const uint32_t v = uint32_t(x * 7 + y * 13 + s * 61 + ((x * y) % 11) * 3);
  if (Bits == 16) return (v * 523u) & 0xFFFF;
  return v & ((1u << Bits) - 1);
}

inline bool WriteSource(const std::string& File, const Source& S) {
  CollectComplaints();
  TIFF* t = TIFFOpen(File.c_str(), "w");
  if (!t) return false;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(kW));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(kH));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(S.Samples));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(S.Bits));
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, uint16_t(S.Photometric));
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
  TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, uint16_t(S.SampleFormat));
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(8));
  if (S.Photometric == PHOTOMETRIC_SEPARATED) TIFFSetField(t, TIFFTAG_INKSET, uint16_t(INKSET_CMYK));
  if (S.Extra) {
    uint16_t e = uint16_t(S.Extra);
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), &e);
  }
  std::vector<uint16_t> map;
  if (S.Photometric == PHOTOMETRIC_PALETTE) {
    const int n = 1 << S.Bits;
    map.resize(size_t(n) * 3);
    for (int i = 0; i < n; ++i) {
      map[size_t(i)] = uint16_t((i * 37 % 256) * 257);
      map[size_t(i + n)] = uint16_t((255 - i * 11 % 256) * 257);
      map[size_t(i + 2 * n)] = uint16_t((i * 5 % 256) * 257);
    }
    TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), map.data() + n, map.data() + 2 * n);
  }
  const tmsize_t rowBytes = TIFFScanlineSize(t);
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
  bool ok = true;
  for (int y = 0; y < kH && ok; ++y) {
    std::fill(row.begin(), row.end(), 0);
    for (int x = 0; x < kW; ++x)
      for (int s = 0; s < S.Samples; ++s) {
        const int64_t k = int64_t(x) * S.Samples + s;
        if (S.SampleFormat == 3) {
          const float f = float(SampleAt(x, y, s, 8)) / 255.0f;
          std::memcpy(&row[size_t(k) * 4], &f, 4);
        } else if (S.Bits == 16) {
          const uint16_t v = uint16_t(SampleAt(x, y, s, 16));
          std::memcpy(&row[size_t(k) * 2], &v, 2);
        } else if (S.Bits == 8) {
          uint32_t v = SampleAt(x, y, s, 8);
          if (S.Extra == 1 && s < S.Samples - 1) v = v * SampleAt(x, y, S.Samples - 1, 8) / 255;  // premultiplied
          row[size_t(k)] = uint8_t(v);
        } else {
          const int64_t bit = k * S.Bits;
          const uint32_t v = SampleAt(x, y, s, S.Bits);
          row[size_t(bit >> 3)] |= uint8_t(v << (8 - S.Bits - (bit & 7)));
        }
      }
    ok = TIFFWriteScanline(t, row.data(), uint32_t(y), 0) == 1;
  }
  TIFFClose(t);
  return ok;
}

// libtiff's RGBA reading of page Page (top row first), or empty.
inline std::vector<uint32_t> LibtiffRgba(const std::string& File, int& W, int& H, int Page = 0) {
  CollectComplaints();
  std::vector<uint32_t> px;
  TIFF* t = TIFFOpen(File.c_str(), "r");
  if (!t) return px;
  if (TIFFSetDirectory(t, tdir_t(Page))) {
    uint32_t w = 0, h = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    px.resize(size_t(w) * h);
    if (TIFFReadRGBAImageOriented(t, w, h, px.data(), ORIENTATION_TOPLEFT, 0)) {
      W = int(w);
      H = int(h);
    } else {
      px.clear();
    }
  }
  TIFFClose(t);
  return px;
}

// Every strip or tile of every page decoded by libtiff; the complaints are in Complaints().
inline bool LibtiffReadsAll(const std::string& File, int& Pages) {
  CollectComplaints();
  TIFF* t = TIFFOpen(File.c_str(), "r");
  if (!t) return false;
  Pages = 0;
  bool ok = true;
  do {
    ++Pages;
    std::vector<uint8_t> buf;
    if (TIFFIsTiled(t)) {
      buf.resize(size_t(TIFFTileSize(t)));
      for (ttile_t i = 0; i < TIFFNumberOfTiles(t); ++i)
        ok = ok && TIFFReadEncodedTile(t, i, buf.data(), tmsize_t(buf.size())) >= 0;
    } else {
      buf.resize(size_t(TIFFStripSize(t)));
      for (tstrip_t i = 0; i < TIFFNumberOfStrips(t); ++i)
        ok = ok && TIFFReadEncodedStrip(t, i, buf.data(), tmsize_t(buf.size())) >= 0;
    }
  } while (TIFFReadDirectory(t));
  TIFFClose(t);
  return ok;
}

struct Decoded {
  TPXBitmap Bitmap;
  std::unique_ptr<TPXMask> Mask;
  TIOParams Params;
  TPXAbortFlag Aborting{false};
  int32_t Pages = 0;
};

// Our reader over Bytes.
inline void Decode(const std::string& Bytes, Decoded& D, bool Native = false, int Page = 0) {
  auto s = codectest::StreamOf(Bytes);
  D.Params.NativePixelFormat = Native;
  D.Params.TIFF_ImageIndex = Page;
  TPXProgressRecord pr;
  pr.Aborting = &D.Aborting;
  DecodeTiffStream(&D.Bitmap, s.get(), D.Pages, &D.Params, pr, false, D.Mask, true, false, false, false, nullptr);
}

inline TRGB PixelOf(TPXBitmap& B, int x, int y) { return reinterpret_cast<TRGB*>(B.Scanline(y))[x]; }

}  // namespace tifftest
