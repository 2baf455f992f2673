// libtiff as the oracle of the LZW and CCITT coder tests (linked by the tests only): TIFF files
// written through libtiff's own codecs or holding a strip of ours, and a file's raw strips with
// what libtiff decodes from them.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tifforacle {

struct TiffSpec {
  int Width = 0, Height = 0;
  int Samples = 1, Bits = 8;
  int Photometric = PHOTOMETRIC_MINISBLACK;
  int Compression = COMPRESSION_NONE;
  int Predictor = 1;    // LZW only
  int FillOrder = 1;
  int T4Options = -1;   // Group 3 only; -1: not set
  int RowsPerStrip = 0;  // 0: all rows
};

inline void Quiet() {
  TIFFSetWarningHandler(nullptr);
  TIFFSetErrorHandler(nullptr);
}

inline void SetTags(TIFF* T, const TiffSpec& S) {
  TIFFSetField(T, TIFFTAG_IMAGEWIDTH, uint32_t(S.Width));
  TIFFSetField(T, TIFFTAG_IMAGELENGTH, uint32_t(S.Height));
  TIFFSetField(T, TIFFTAG_SAMPLESPERPIXEL, uint16_t(S.Samples));
  TIFFSetField(T, TIFFTAG_BITSPERSAMPLE, uint16_t(S.Bits));
  TIFFSetField(T, TIFFTAG_PHOTOMETRIC, uint16_t(S.Photometric));
  TIFFSetField(T, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
  TIFFSetField(T, TIFFTAG_COMPRESSION, uint16_t(S.Compression));
  TIFFSetField(T, TIFFTAG_FILLORDER, uint16_t(S.FillOrder));
  TIFFSetField(T, TIFFTAG_ROWSPERSTRIP, uint32_t(S.RowsPerStrip > 0 ? S.RowsPerStrip : S.Height));
  if (S.Compression == COMPRESSION_LZW && S.Predictor != 1) TIFFSetField(T, TIFFTAG_PREDICTOR, uint16_t(S.Predictor));
  if (S.Compression == COMPRESSION_CCITTFAX3 && S.T4Options >= 0)
    TIFFSetField(T, TIFFTAG_GROUP3OPTIONS, uint32_t(S.T4Options));
}

// Rows (each of the row's bytes) written through libtiff's codec named in S.
inline bool WriteTiff(const std::string& File, const TiffSpec& S, const std::vector<std::string>& Rows) {
  Quiet();
  TIFF* t = TIFFOpen(File.c_str(), "w");
  if (!t) return false;
  SetTags(t, S);
  bool ok = true;
  for (int y = 0; y < S.Height && ok; ++y) {
    std::string row = Rows[size_t(y)];
    ok = TIFFWriteScanline(t, row.data(), uint32_t(y), 0) == 1;
  }
  TIFFClose(t);
  return ok;
}

// One strip of compressed bytes, as they stand, under the tags S gives.
inline bool WriteRawTiff(const std::string& File, TiffSpec S, const std::string& Strip) {
  Quiet();
  TIFF* t = TIFFOpen(File.c_str(), "w");
  if (!t) return false;
  S.RowsPerStrip = S.Height;
  SetTags(t, S);
  std::string data = Strip;
  const bool ok = TIFFWriteRawStrip(t, 0, data.data(), tmsize_t(data.size())) == tmsize_t(data.size());
  TIFFClose(t);
  return ok;
}

struct TiffContent {
  TiffSpec Spec;
  std::vector<std::string> RawStrips;      // as the file holds them
  std::vector<std::string> DecodedStrips;  // as libtiff decodes them
  std::vector<std::string> Rows;
};

inline bool ReadTiff(const std::string& File, TiffContent& C) {
  Quiet();
  TIFF* t = TIFFOpen(File.c_str(), "r");
  if (!t) return false;
  uint32_t w = 0, h = 0, rps = 0;
  uint16_t spp = 1, bps = 1, comp = 1, pred = 1, fill = 1;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &comp);
  TIFFGetFieldDefaulted(t, TIFFTAG_FILLORDER, &fill);
  TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rps);
  if (comp == COMPRESSION_LZW) TIFFGetFieldDefaulted(t, TIFFTAG_PREDICTOR, &pred);
  C.Spec.Width = int(w);
  C.Spec.Height = int(h);
  C.Spec.Samples = spp;
  C.Spec.Bits = bps;
  C.Spec.Compression = comp;
  C.Spec.FillOrder = fill;
  C.Spec.Predictor = pred;
  C.Spec.RowsPerStrip = int(std::min(rps, h));
  if (comp == COMPRESSION_CCITTFAX3) {
    uint32_t options = 0;
    TIFFGetFieldDefaulted(t, TIFFTAG_GROUP3OPTIONS, &options);
    C.Spec.T4Options = int(options);
  }
  bool ok = true;
  for (tstrip_t s = 0; s < TIFFNumberOfStrips(t) && ok; ++s) {
    uint64_t* sizes = nullptr;
    TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &sizes);
    std::string raw(size_t(sizes[s]), '\0');
    ok = TIFFReadRawStrip(t, s, raw.data(), tmsize_t(raw.size())) == tmsize_t(raw.size());
    C.RawStrips.push_back(raw);
    std::string decoded(size_t(TIFFStripSize(t)), '\0');
    const tmsize_t got = TIFFReadEncodedStrip(t, s, decoded.data(), tmsize_t(decoded.size()));
    ok = ok && got > 0;
    decoded.resize(size_t(std::max<tmsize_t>(got, 0)));
    C.DecodedStrips.push_back(decoded);
  }
  // The rows, out of the decoded strips.
  const size_t rowBytes = size_t(TIFFScanlineSize(t));
  std::string all;
  for (const std::string& d : C.DecodedStrips) all += d;
  for (uint32_t y = 0; y < h && ok && rowBytes > 0; ++y) {
    ok = (y + 1) * rowBytes <= all.size();
    if (ok) C.Rows.push_back(all.substr(y * rowBytes, rowBytes));
  }
  TIFFClose(t);
  return ok;
}

}  // namespace tifforacle
