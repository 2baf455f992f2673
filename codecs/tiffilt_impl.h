// The TIFF reader's context, shared by the files of the tiffilt unit.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codecs/tiffilt.h"
#include "core/hypxdefs.h"
#include "core/pxsettings.h"
#include "io/pxtiffifd.h"

class TPXBitmap;
class TPXMask;
class TIOParams;

namespace tiffilt_detail {

// A deflate page of at most this many bytes is compressed in one call by libdeflate, much faster
// than zlib's streaming; a larger one streams through zlib so that memory stays flat.
extern int64_t WholeDeflateLimit;

// How a decoded row becomes pixels; chosen once per page.
enum class TConvert {
  None,       // no branch takes the layout: the page is refused
  Rgb8,       // 8-bit RGB, 3 or more samples
  Rgb16,      // 16-bit RGB, 3 or 4 samples
  Rgb555,     // one 16-bit sample of 5-5-5 colour
  Palette,    // palette, 1..8 bits (a second 8-bit sample is alpha)
  Grey8,      // grey of 2, 4, 7 or 8 bits (stretched to 8), first sample; 8-bit second is alpha
  Grey16,     // 16-bit grey
  Grey12,     // 12-bit grey, one sample
  Float,      // 32-bit float grey
  Bilevel,    // 1-bit grey
  Cmyk8,      // 8-bit separated, 4 or more samples
  Cmyk16,     // 16-bit separated, 4 samples
  Lab8,       // 8-bit CIELab
  YCbCr21,    // uncompressed YCbCr subsampled 2 x 1
};

struct TTIFFReaderContext {
  int32_t Width = 0, Height = 0;
  int32_t SamplesPerPixel = 1;
  int32_t BitsPerSample = 1;
  int32_t RowsPerStrip = 0;
  int32_t TileWidth = -1, TileLength = -1;
  uint16_t Photometric = 2;
  uint16_t PlanarConfig = 1;
  uint16_t Orientation = 1;
  uint16_t Compression = 1;
  int16_t SampleFormat = 1;
  std::vector<uint64_t> StripOffsets, StripByteCounts, TileOffsets, TileByteCounts;
  std::vector<TRGB> ColorMap;
  uint32_t Predictor = 1;
  std::vector<uint8_t> JpegTables;
  uint32_t T4Options = 0, T6Options = 0;
  int32_t FillOrder = 1;
  std::string Software;
  int32_t YCbCrSubsampleH = 2, YCbCrSubsampleV = 2;
  int32_t JpegProc = 0;
  uint64_t JpegInterchangeFormat = 0, JpegInterchangeFormatLength = 0;
  std::array<int32_t, 7> JpegQTables{}, JpegDCTables{}, JpegACTables{};
  TPXTiffLzwDecompressProc LzwDecoder = nullptr;
  bool LittleEndian = true;
  TIOParams* Params = nullptr;
  TPXMask* AlphaMask = nullptr;
  bool IgnoreAlpha = false;
  int32_t ExtraSample0 = 0;
  int32_t ExtraSampleCount = 0;
  std::array<int32_t, 10> ExtraSamples{};
  TPXTIFFIFDReader MainReader, ExifReader, GpsReader, InteropReader;

  // Decoding state.
  TStream* Stream = nullptr;
  uint64_t Base = 0;
  int64_t StreamSize = 0;
  TConvert Branch = TConvert::None;
  TPXAbortFlag* Aborting = nullptr;
  int64_t Done = 0;
  int32_t LastPerCent = -1;

  // Bytes of one decoded row of Width pixels (PerPlane: one sample per pixel).
  int64_t RowLength(int32_t W, bool PerPlane) const;
};

// Strips and tiles (tiffilt_strips.cpp).
void ReadStrips(TTIFFReaderContext& C, TPXBitmap* Bitmap, TPXProgressRecord& Progress);
void ReadTiles(TTIFFReaderContext& C, TPXBitmap* Bitmap, TPXProgressRecord& Progress);
void ReadOldJpegPage(TTIFFReaderContext& C, TPXBitmap* Bitmap, TPXProgressRecord& Progress);

// Conversion (tiffilt_convert.cpp).
TConvert ChooseConversion(const TTIFFReaderContext& C, TPXPixelFormat Format);
// Writes Count pixels of the decoded Row into bitmap row Y from column X (and the mask).
// Row: samples of at least 8 bits in host order; narrower samples one per byte.
void ConvertRow(TTIFFReaderContext& C, TPXBitmap* Bitmap, const uint8_t* Row, int32_t Y, int32_t X, int32_t Count);

// EXIF (tiffilt_exif.cpp): the page-level fields from the page's directory, then the EXIF, GPS
// and Interoperability directories (readers without entries give nothing).
void ReadPageExifTags(const TPXTIFFIFDReader& Page, TIOParams* Params);
void ReadExifDirectories(const TPXTIFFIFDReader& Exif, const TPXTIFFIFDReader& Gps,
                         const TPXTIFFIFDReader& Interop, TIOParams* Params, int64_t StreamSize);

// Progress after one more unit (row or strip).
void StepProgress(TTIFFReaderContext& C, TPXProgressRecord& Progress, int64_t Units);

}  // namespace tiffilt_detail
