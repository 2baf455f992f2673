// TIFF reader: header, directory chain, page and sub-image selection, the page's tags into the
// reader context and the parameters, metadata holders, pixel format and the decoding frame.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "codecs/pxcodecs_impl.h"
#include "codecs/tiffilt.h"
#include "codecs/tiffilt_exif.h"
#include "codecs/tiffilt_impl.h"
#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_range.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxicc.h"
#include "io/pxexif.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"

using namespace tiffilt_detail;

namespace {

// Round half to even into int32, saturating (NaN gives 0).
int32_t RoundToInt32(double Value) {
  if (std::isnan(Value)) return 0;
  if (Value >= 2147483647.0) return INT32_MAX;
  if (Value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(Round(Value));
}

// Reads the header; false when it is refused.
bool ReadHeader(TStream* S, uint64_t Base, int64_t Size, const TPXTiffHeader* Header, bool& LE, bool& Big,
                uint64_t& First) {
  Big = false;
  if (Header) {
    if (Header->ByteOrder != 0x4949 && Header->ByteOrder != 0x4D4D) return false;
    LE = Header->ByteOrder == 0x4949;
    First = SwapDWord(Header->FirstOffset, !LE);
  } else {
    uint8_t b[2] = {};
    if (pxcodecs_detail::ReadFully(S, b, 2) != 2) return false;
    const uint16_t order = uint16_t(b[0] | (b[1] << 8));
    if (order != 0x4949 && order != 0x4D4D) return false;
    LE = order == 0x4949;
    const uint16_t version = ReadWordOrdered(S, !LE);
    if (version == 43) {
      if (ReadWordOrdered(S, !LE) != 8 || ReadWordOrdered(S, !LE) != 0) return false;
      Big = true;
      First = ReadQWordOrdered(S, !LE);
    } else {
      First = ReadDWordOrdered(S, !LE);
    }
    if (First == 0) return false;
  }
  return First < uint64_t(Size) - std::min<uint64_t>(Base, uint64_t(Size)) || (Header && First == 0);
}

void SetupReader(TPXTIFFIFDReader& R, const TPXTIFFIFDReader& Main) {
  R.Stream = Main.Stream;
  R.Base = Main.Base;
  R.LittleEndian = Main.LittleEndian;
  R.IsBigTiff = Main.IsBigTiff;
  R.InlineSize = Main.InlineSize;
}

int32_t ClampToInt(int64_t v, int32_t lo, int32_t hi) { return int32_t(std::clamp<int64_t>(v, lo, hi)); }

// The page's tags into the context; false (abort) on inconsistent values.
bool ReadPageTags(TTIFFReaderContext& C) {
  const TPXTIFFIFDReader& R = C.MainReader;
  C.SamplesPerPixel = ClampToInt(R.ReadInteger(277, 1), -1, 65535);
  // BitsPerSample: every item must agree.
  const int32_t bi = R.FindTag(258);
  if (bi < 0) {
    C.BitsPerSample = 1;
  } else {
    const uint64_t n = std::min<uint64_t>(R.GetTagCount(bi), 65536);
    C.BitsPerSample = ClampToInt(int64_t(R.ReadTagItem(bi, 0)), 0, 65535);
    for (uint64_t k = 1; k < n; ++k)
      if (int64_t(R.ReadTagItem(bi, k)) != C.BitsPerSample) return false;
  }
  if (C.BitsPerSample < 1 || C.BitsPerSample > 32 || C.SamplesPerPixel < 1) return false;
  C.TileWidth = ClampToInt(R.ReadInteger(322, -1), -1, INT32_MAX);
  C.TileLength = ClampToInt(R.ReadInteger(323, -1), -1, INT32_MAX);
  const bool oneTile = C.Params->TIFF_GetTile >= 0 && R.FindTag(322) >= 0 && R.FindTag(323) >= 0;
  if (oneTile) {
    C.Width = C.TileWidth;
    C.Height = C.TileLength;
  } else {
    C.Width = ClampToInt(R.ReadInteger(256, 0), 0, INT32_MAX);
    C.Height = ClampToInt(R.ReadInteger(257, 0), 0, INT32_MAX);
  }
  int64_t rps = R.ReadInteger(278, C.Height);
  if (rps > C.Height) rps = C.Height;
  if (rps <= 0) rps = C.Height;
  C.RowsPerStrip = int32_t(rps);
  C.Photometric = uint16_t(R.ReadInteger(262, 2));
  C.PlanarConfig = uint16_t(R.ReadInteger(284, 1));
  C.Orientation = uint16_t(R.ReadInteger(274, 1));
  C.Compression = uint16_t(R.ReadInteger(259, 1));
  C.SampleFormat = int16_t(R.ReadInteger(339, 1));
  if (C.SamplesPerPixel == 1 && C.BitsPerSample == 1 && C.Compression >= 1 && C.Compression <= 4 &&
      C.Photometric == 2)
    C.Photometric = 0;
  R.ReadIntegerArray(273, C.StripOffsets);
  R.ReadIntegerArray(279, C.StripByteCounts);
  R.ReadIntegerArray(324, C.TileOffsets);
  R.ReadIntegerArray(325, C.TileByteCounts);
  // ColorMap: up to 2^BitsPerSample entries, at most what the tag holds.
  const int32_t ci = R.FindTag(320);
  if (ci >= 0 && C.BitsPerSample <= 16) {
    std::vector<uint64_t> v;
    const uint64_t n = R.ReadIntegerArray(320, v) / 3;
    const uint64_t entries = std::min<uint64_t>(n, uint64_t(1) << C.BitsPerSample);
    uint64_t maxValue = 0;
    for (uint64_t k = 0; k < 3 * n; ++k) maxValue = std::max(maxValue, v[size_t(k)]);
    const int shift = maxValue < 256 ? 0 : 8;
    C.ColorMap.resize(size_t(entries));
    for (uint64_t k = 0; k < entries; ++k)
      C.ColorMap[size_t(k)] = TRGB{uint8_t(v[size_t(k + 2 * n)] >> shift), uint8_t(v[size_t(k + n)] >> shift),
                                   uint8_t(v[size_t(k)] >> shift)};
  }
  C.Predictor = uint32_t(R.ReadInteger(317, 1));
  const int32_t ji = R.FindTag(347);
  if (ji >= 0 && R.GetTagDataSize(ji) < uint64_t(C.StreamSize)) R.ReadBytes(347, C.JpegTables);
  C.T4Options = uint32_t(R.ReadInteger(292, 0));
  C.T6Options = uint32_t(R.ReadInteger(293, 0));
  C.FillOrder = int32_t(R.ReadInteger(266, 1));
  if (C.FillOrder != 1 && C.FillOrder != 2) C.FillOrder = 1;
  C.Software = R.ReadString(305, true);
  C.YCbCrSubsampleH = ClampToInt(R.ReadInteger(530, 2, 0), 0, 4);
  C.YCbCrSubsampleV = ClampToInt(R.ReadInteger(530, 2, 1), 0, 4);
  if (C.YCbCrSubsampleH == 0) C.YCbCrSubsampleH = 2;
  if (C.YCbCrSubsampleV == 0) C.YCbCrSubsampleV = 2;
  C.JpegProc = ClampToInt(R.ReadInteger(512, 0), INT32_MIN, INT32_MAX);
  C.JpegInterchangeFormat = uint64_t(R.ReadInteger(513, 0));
  C.JpegInterchangeFormatLength = uint64_t(R.ReadInteger(514, 0));
  for (int32_t i = 0; i < std::min(C.SamplesPerPixel, 7); ++i) {
    C.JpegQTables[size_t(i)] = ClampToInt(R.ReadInteger(519, 0, uint64_t(i)), 0, INT32_MAX);
    C.JpegDCTables[size_t(i)] = ClampToInt(R.ReadInteger(520, 0, uint64_t(i)), 0, INT32_MAX);
    C.JpegACTables[size_t(i)] = ClampToInt(R.ReadInteger(521, 0, uint64_t(i)), 0, INT32_MAX);
  }
  C.ExtraSample0 = ClampToInt(R.ReadInteger(338, 0), 0, 65535);
  const int32_t ei = R.FindTag(338);
  C.ExtraSampleCount = ei >= 0 ? int32_t(std::min<uint64_t>(R.GetTagCount(ei), 10)) : 0;
  for (int32_t k = 0; k < C.ExtraSampleCount; ++k) C.ExtraSamples[size_t(k)] = ClampToInt(R.ReadInteger(338, 0, k), 0, 65535);
  return true;
}

uint8_t CompressionCode(const TTIFFReaderContext& C) {
  switch (C.Compression) {
    case 1: return 0;
    case 2: return 1;
    case 3: return (C.T4Options & 1) ? 3 : 2;
    case 4: return 4;
    case 5: return 5;
    case 6: return 6;
    case 7: return 7;
    case 32773: return 8;
    case 32946: return 9;
    case 8: return 10;
    default: return 11;
  }
}

void FillParams(TTIFFReaderContext& C, int32_t PageCount) {
  TIOParams* P = C.Params;
  const TPXTIFFIFDReader& R = C.MainReader;
  P->BitsPerSample = C.BitsPerSample;
  P->SamplesPerPixel = C.SamplesPerPixel;
  P->Width = C.Width;
  P->Height = C.Height;
  P->OriginalWidth = C.Width;
  P->OriginalHeight = C.Height;
  P->TIFF_BigTIFF = R.IsBigTiff;
  P->TIFF_LittleEndian = C.LittleEndian;
  P->SetImageCount(PageCount);
  P->SetTiffOrientation(C.Orientation);
  P->TIFF_Compression = CompressionCode(C);
  if (C.Photometric <= 6)
    P->TIFF_Photometric = uint8_t(C.Photometric);
  else if (C.Photometric == 8)
    P->TIFF_Photometric = 7;
  P->TIFF_PlanarConfig = C.PlanarConfig;
  P->TIFF_FillOrder = C.FillOrder;
  P->TIFF_DocumentName = BytesToUtf8(R.ReadString(269, true));
  P->TIFF_ImageDescription = BytesToUtf8(R.ReadString(270, true));
  P->TIFF_PageName = BytesToUtf8(R.ReadString(285, true));
  P->TIFF_PageNumber = ClampToInt(R.ReadInteger(297, 0, 0), INT32_MIN, INT32_MAX);
  P->TIFF_PageCount = ClampToInt(R.ReadInteger(297, 0, 1), INT32_MIN, INT32_MAX);
  P->TIFF_NewSubfileType = ClampToInt(R.ReadInteger(254, 0), INT32_MIN, INT32_MAX);
}

void FillResolution(TTIFFReaderContext& C) {
  TIOParams* P = C.Params;
  const TPXTIFFIFDReader& R = C.MainReader;
  const double x = R.ReadRational(282, 0, pxcodecs_detail::DefaultDpiX());
  const double y = R.ReadRational(283, 0, pxcodecs_detail::DefaultDpiY());
  const double f = R.ReadInteger(296, 2) == 3 ? 2.54 : 1.0;
  int32_t dx = RoundToInt32(x * f), dy = RoundToInt32(y * f);
  if (dx == 0) dx = pxcodecs_detail::DefaultDpiX();
  if (dy == 0) dy = pxcodecs_detail::DefaultDpiY();
  P->SetDpiX(dx);
  P->SetDpiY(dy);
  P->EXIF_XResolution = x * f;
  P->EXIF_YResolution = y * f;
  P->TIFF_XPos = int32_t(Trunc(R.ReadRational(286, 0, 0) * f));
  P->TIFF_YPos = int32_t(Trunc(R.ReadRational(287, 0, 0) * f));
  if (!C.ColorMap.empty())
    P->SetColorMap(C.ColorMap.data(), int32_t(C.ColorMap.size()));
  else
    P->FreeColorMap();
}

void ReadHolders(TTIFFReaderContext& C) {
  TIOParams* P = C.Params;
  const TPXTIFFIFDReader& R = C.MainReader;
  std::vector<uint8_t> b;
  if (P->ReadMetadata) {
    P->IPTC_Info.Clear();
    if (R.ReadRawData(33723, b) && !b.empty()) P->IPTC_Info.LoadFromBuffer(b.data(), int32_t(b.size()));
    P->SetXmpInfo("");
    const int32_t xi = R.FindTag(700);
    if (xi >= 0 && (R.GetTagType(xi) == ttByte || R.GetTagType(xi) == ttUndefined) && R.ReadRawData(700, b))
      P->SetXmpInfo(std::string(b.begin(), b.end()));
  }
  R.ReadRawData(34377, P->TIFF_PhotoshopResources);
  R.ReadRawData(37724, P->TIFF_PhotoshopLayers);
  if (R.FindTag(32932) >= 0 && R.ReadRawData(32932, b) && !b.empty()) {
    P->GetImagingAnnot()->Clear();
    P->GetImagingAnnot()->LoadFromBuffer(b.data(), int64_t(b.size()));
  }
  const int32_t own = uint16_t(GlobalSettingsInstance()->FAnnotationsTiffTag);
  if (R.FindTag(own) >= 0 && R.ReadRawData(own, b) && !b.empty())
    P->PixoranAnnot.LoadFromBuffer(b.data(), int32_t(b.size()));
  if (R.FindTag(34675) >= 0 && R.ReadRawData(34675, b) && !b.empty())
    P->GetInputICCProfile()->LoadFromBuffer(b.data(), int32_t(b.size()));
}

bool NeedsMask(const TTIFFReaderContext& C) {
  const int32_t s = C.SamplesPerPixel;
  return (s == 4 && C.ExtraSample0 == 2) || (s >= 4 && C.ExtraSampleCount >= 1) ||
         (s == 2 && C.BitsPerSample == 8) || (s >= 2 && C.ExtraSampleCount >= 1 && C.ExtraSamples[0] == 1) ||
         (s == 4 && C.Photometric == 2);
}

TPXPixelFormat ChoosePixelFormat(const TTIFFReaderContext& C, bool Native, bool& FloatWork) {
  FloatWork = false;
  const int32_t b = C.BitsPerSample, s = C.SamplesPerPixel, p = C.Photometric;
  const bool grey = p == 0 || p == 1;
  if (b == 1 && s == 1 && p != 3) return px1g;
  if (Native) {
    if (b == 8 && s == 1 && p == 3) return px8p;
    if (b == 8 && s == 1 && grey) return px8g;
    if (b == 16 && grey) return px16g;
    if (b == 32 && grey && C.SampleFormat == 3) return px32f;
    if (b == 12 && s == 1 && grey) return px16g;
    if (b == 8 && s > 3 && p == 5) return pxCMYK;
    if (b == 16 && s == 4 && p == 5) return pxCMYK;
    if (b == 16 && s == 3 && p == 2) return pxRGB48;
    return px24RGB;
  }
  if (b == 32 && grey && C.SampleFormat == 3) FloatWork = true;
  return FloatWork ? px32f : px24RGB;
}

// Decoded bytes a page needs at most for each byte of its stream (deflate and the CCITT and LZW
// coders reach such ratios only on blank data); beyond it the page is refused before allocating.
constexpr int64_t kMaxExpansion = 4096;
constexpr int64_t kExpansionAllowance = int64_t(64) << 20;

void ReadPage(TPXBitmap* Bitmap, TStream* Stream, int32_t& PageCount, TIOParams* Params,
              TPXProgressRecord& Progress, bool PreviewOnly, std::unique_ptr<TPXMask>& AlphaMask,
              bool OffsetsFromPosition, bool IgnoreAlpha, bool ExifThumbnail, bool ExifBlock,
              const TPXTiffHeader* Header, TPXAbortFlag& Aborting) {
  TTIFFReaderContext C;
  C.Params = Params;
  C.Stream = Stream;
  C.Aborting = &Aborting;
  C.IgnoreAlpha = IgnoreAlpha;
  C.StreamSize = Stream->Size();
  C.Base = OffsetsFromPosition ? uint64_t(std::max<int64_t>(Stream->Position(), 0)) : 0;
  bool big = false;
  uint64_t first = 0;
  if (!ReadHeader(Stream, C.Base, C.StreamSize, Header, C.LittleEndian, big, first)) {
    Aborting = true;
    return;
  }
  Params->TIFF_LittleEndian = C.LittleEndian;
  Params->TIFF_BigTIFF = big;
  TPXTIFFIFDReader& R = C.MainReader;
  R.Stream = Stream;
  R.Base = C.Base;
  R.LittleEndian = C.LittleEndian;
  R.IsBigTiff = big;
  R.InlineSize = big ? 8 : 4;
  const int32_t index = Params->TIFF_ImageIndex;
  const bool loaded = index >= 0 && R.ReadIFD(index, PageCount, first);
  if (index < 0) R.ReadIFD(-1, PageCount, first);
  if (!loaded) {
    Aborting = true;
    return;
  }
  // A sub-image replaces the page.
  if (Params->TIFF_SubIndex >= 0) {
    const uint64_t sub = uint64_t(R.ReadInteger(330, 0, uint64_t(Params->TIFF_SubIndex)));
    if (sub != 0) {
      TPXTIFFIFDReader s;
      SetupReader(s, R);
      int32_t dummy = 0;
      if (!s.ReadIFD(0, dummy, sub)) {
        Aborting = true;
        return;
      }
      R.Entries = std::move(s.Entries);
      R.EntryCount = s.EntryCount;
    }
  }
  // Sub-directories share the main chain's base and layout.
  const uint64_t exifAt = uint64_t(R.ReadInteger(34665, 0));
  if (exifAt != 0) {
    SetupReader(C.ExifReader, R);
    int32_t dummy = 0;
    C.ExifReader.ReadIFD(0, dummy, exifAt);
    Params->EXIF_HasEXIFData = true;
  } else if (ExifBlock) {
    C.ExifReader.Assign(R);
  }
  const uint64_t gpsAt = uint64_t(R.ReadInteger(34853, 0));
  if (gpsAt != 0) {
    SetupReader(C.GpsReader, R);
    int32_t dummy = 0;
    C.GpsReader.ReadIFD(0, dummy, gpsAt);
  }
  const uint64_t interopAt = uint64_t(C.ExifReader.ReadInteger(40965, 0));
  if (interopAt != 0 && C.ExifReader.Stream) {
    SetupReader(C.InteropReader, R);
    int32_t dummy = 0;
    C.InteropReader.ReadIFD(0, dummy, interopAt);
  }
  if (!ReadPageTags(C)) {
    Aborting = true;
    return;
  }
  FillParams(C, PageCount);
  ReadPageExifTags(R, Params);
  FillResolution(C);
  ReadExifDirectories(C.ExifReader, C.GpsReader, C.InteropReader, Params, C.StreamSize);
  ReadHolders(C);

  if ((C.Width == 0 || C.Height == 0) && !ExifThumbnail) {
    Aborting = true;
    return;
  }
  C.LzwDecoder = Params->TIFF_LZWDecompress ? Params->TIFF_LZWDecompress
                                            : GlobalSettingsInstance()->FTIFFLZWDecompress;
  if (C.Compression == 5 && !C.LzwDecoder) {
    Aborting = true;
    return;
  }
  if (PreviewOnly || !Bitmap) return;

  if (!C.IgnoreAlpha && NeedsMask(C)) {
    if (!AlphaMask) AlphaMask = std::make_unique<TPXMask>();
    AlphaMask->AllocateBits(std::max(C.Width, 1), std::max(C.Height, 1), 8);
    AlphaMask->Fill(255);
    C.AlphaMask = AlphaMask.get();
  } else {
    C.IgnoreAlpha = true;
  }
  if (ExifThumbnail && (C.Width > 400 || C.Height > 400)) {
    Aborting = true;
    return;
  }
  const bool oldJpeg = (C.Compression == 6 || (C.JpegInterchangeFormat != 0 && C.Compression != 5 &&
                                               C.Compression != 7)) &&
                       C.JpegProc < 2;
  if (oldJpeg) {
    ReadOldJpegPage(C, Bitmap, Progress);
  } else {
    if (C.Width == 0 || C.Height == 0) {
      Aborting = true;
      return;
    }
    // Refuse a page whose pixels its data could never fill.
    const int64_t need = C.RowLength(C.Width, false) * int64_t(C.Height);
    if (need / kMaxExpansion > C.StreamSize + kExpansionAllowance / kMaxExpansion) {
      Aborting = true;
      return;
    }
    if (C.BitsPerSample == 1 && C.SamplesPerPixel == 1 && C.Photometric == 2) {
      C.Photometric = 1;
      Params->TIFF_Photometric = 1;
    }
    bool floatWork = false;
    const TPXPixelFormat fmt = ChoosePixelFormat(C, Params->NativePixelFormat, floatWork);
    std::unique_ptr<TPXBitmap> work;
    TPXBitmap* target = Bitmap;
    if (floatWork) {
      work = std::make_unique<TPXBitmap>();
      target = work.get();
    }
    C.Branch = ChooseConversion(C, fmt);
    if (C.Branch == TConvert::None && C.Compression != 7) {
      Aborting = true;
      return;
    }
    if (!target->Allocate(C.Width, C.Height, fmt)) {
      Aborting = true;
      return;
    }
    if (fmt == px8p) {
      for (size_t k = 0; k < C.ColorMap.size() && k < 256; ++k) target->SetPaletteColor(int32_t(k), C.ColorMap[k]);
    }
    if (ExifThumbnail || C.Compression == 7) target->Fill(0.0);
    if (C.TileWidth > 0 || C.TileLength > 0) {
      if (C.TileOffsets.empty() && !C.StripOffsets.empty()) {
        C.TileOffsets = C.StripOffsets;
        C.TileByteCounts = C.StripByteCounts;
      }
      if (!C.TileOffsets.empty()) ReadTiles(C, target, Progress);
    } else if (C.StripOffsets.empty()) {
      Aborting = true;
    } else {
      ReadStrips(C, target, Progress);
    }
    if (target->PixelFormat() == px32f) NormalizeFloatRange(target);
    if (work) {
      if (Bitmap->Allocate(C.Width, C.Height, px24RGB)) Bitmap->ConvertPixelFormat(work.get());
      else Aborting = true;
    }
  }
  if (Params->TIFF_AutoRotate && C.Orientation > 1 && C.Orientation <= 8) {
    ApplyOrientation(Bitmap, C.Orientation, C.IgnoreAlpha ? nullptr : C.AlphaMask);
    Params->SetExifOrientation(1);
  }
}

}  // namespace

int64_t TTIFFReaderContext::RowLength(int32_t W, bool PerPlane) const {
  const int64_t bits = int64_t(W) * (PerPlane ? 1 : SamplesPerPixel) * BitsPerSample;
  return (bits + 7) / 8;
}

void DecodeTiffStream(TPXBitmap* Bitmap, TStream* Stream, int32_t& PageCount, TIOParams* Params,
                      TPXProgressRecord& Progress, bool PreviewOnly, std::unique_ptr<TPXMask>& AlphaMask,
                      bool OffsetsFromPosition, bool IgnoreAlpha, bool ExifThumbnail, bool ExifBlock,
                      const TPXTiffHeader* Header) {
  PageCount = 0;
  pxcodecs_detail::RunGuarded(Progress, Stream && Params, [&](TPXAbortFlag& aborting) {
    ReadPage(Bitmap, Stream, PageCount, Params, Progress, PreviewOnly, AlphaMask, OffsetsFromPosition, IgnoreAlpha,
             ExifThumbnail, ExifBlock, Header, aborting);
  });
  // The colour profile: a transform made while converting means it was applied to the pixels.
  if (Params && Params->InputICC()) {
    TPXICC* in = Params->InputICC();
    if (in->HasTransform())
      in->FreeTransform();
    else if (Bitmap && !PreviewOnly && in->ProfileSize() > 0)
      Bitmap->FImageProfile->Assign(in);
  }
}
