#include "codecs/jpegfilt.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/jpegfilt_glue.h"
#include "codecs/pxcodecs.h"
#include "codecs/pxcodecs_impl.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "io/pxcolorrows.h"
#include "io/pxexif.h"
#include "io/pxicc.h"
#include "io/pxmarkers.h"
#include "io/pxxBitmaps_meta.h"
#include "io/pxxBitmaps_params.h"

namespace {

// Destroys the library's structure on every way out.
struct TDecompressGuard {
  jpeg_decompress_struct* D;
  ~TDecompressGuard() { jpeg_destroy_decompress(D); }
};
struct TCompressGuard {
  jpeg_compress_struct* C;
  ~TCompressGuard() { jpeg_destroy_compress(C); }
};

J_DCT_METHOD DctMethodOf(uint8_t Value) {
  switch (Value) {
    case 1:
      return JDCT_IFAST;
    case 2:
      return JDCT_FLOAT;
    default:
      return JDCT_ISLOW;
  }
}

TPXConvertColorRowsProc ColorRowHook() {
  TPXConvertColorRowsProc hook = GlobalSettingsInstance()->FConvertColorRows;
  return hook ? hook : ConvertColorRow;
}

// Per cent progress, fired only when the value changes.
class TRowProgress {
 public:
  TRowProgress(TPXProgressRecord& Progress, int32_t Rows) : FProgress(Progress) {
    FProgress.Count = 0;
    FProgress.PerCentPerUnit = Rows > 0 ? 100.0 / Rows : 0;
  }
  void Add(int32_t Rows) {
    FProgress.Count += Rows;
    const auto per = static_cast<int32_t>(Trunc32(FProgress.Count * FProgress.PerCentPerUnit));
    if (per != FLast && FProgress.Event) {
      FLast = per;
      FProgress.Event(FProgress.Sender, per);
    }
  }

 private:
  TPXProgressRecord& FProgress;
  int32_t FLast = -1;
};

// The denominator JPEG_Scale asks for; automatic scaling takes the largest reduction that still
// covers the wished size.
int32_t ScaleDenominator(const TIOParams* Params, int32_t FileWidth, int32_t FileHeight) {
  switch (Params->JPEG_Scale) {
    case 0:
      if (Params->Width > 0 && Params->Height > 0)
        for (int32_t n = 3; n >= 0; --n)
          if ((FileWidth >> n) >= Params->Width && (FileHeight >> n) >= Params->Height) return 1 << n;
      return 1;
    case 2:
      return 2;
    case 3:
      return 4;
    case 4:
      return 8;
    default:
      return 1;
  }
}

// IPTC, EXIF, XMP and the own annotation from the markers read; true when an EXIF block was read.
bool InterpretMarkers(TIOParams* Params) {
  const TPXMarkerList& markers = Params->JPEG_Markers;
  bool iptc = false, exif = false, xmp = false, annot = false;
  for (int32_t i = 0; i < markers.GetCount(); ++i) {
    const uint8_t type = markers.GetMarkerType(i);
    const uint8_t* data = markers.GetMarkerData(i);
    const int32_t length = markers.GetMarkerLength(i);
    if (!data || length <= 0) continue;
    if (type == PX_JPEG_APP13 && !iptc) {
      iptc = Params->IPTC_Info.LoadFromBuffer(data, length);
    } else if (type == PX_JPEG_APP1) {
      if (!exif && ReadExifBlock(data, length, Params, true)) {
        exif = true;
        continue;
      }
      if (!xmp && ReadXmpMarker(data, length, Params)) {
        xmp = true;
        continue;
      }
      bool isVector = false;
      if (!annot && TPXPixoranAnnot::CheckMagic(data, length, isVector)) {
        Params->PixoranAnnot.LoadFromBuffer(data, length);
        annot = true;
      }
    }
  }
  return exif;
}

struct TDecodeOptions {
  bool PreviewOnly;
  bool RawComponents;
  bool ReadMarkers;
  bool InvertCmyk;
  bool DropAppliedProfile;
  bool ReadIcc;
  int32_t MaxRows;
  bool NativePixelFormat;
};

// The read proper; Rows counts the rows decoded so far, also when an exception leaves.
void Decode(TStream* Stream, TStream* TablesStream, TPXBitmap* Bitmap, TIOParams* Params,
            TPXProgressRecord& Progress, TPXAbortFlag* Aborting, const TDecodeOptions& O, int32_t& Rows) {
  Params->JPEG_WarningCount = 0;
  Params->JPEG_WarningCode = 0;
  const int64_t start = FindJpegStart(Stream, true);
  if (start < 0) {
    Aborting->store(true);
    return;
  }
  Stream->Seek(start, soBeginning);
  if (O.ReadIcc) ReadJpegIccProfile(Stream, Params);

  TPXJpegErrorMgr err;
  jpeg_decompress_struct d;
  std::memset(static_cast<void*>(&d), 0, sizeof d);
  d.err = CreateJpegErrorMgr(&err, Aborting);
  if (!JpegCreateDecompress(&d)) {
    Aborting->store(true);
    return;
  }
  TDecompressGuard guard{&d};
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  bool managed = false;

  // Warnings are handed over however the read ends.
  struct TWarnings {
    TPXJpegErrorMgr& Err;
    TIOParams* P;
    ~TWarnings() {
      if (Err.Pub.num_warnings > 0) {
        P->JPEG_WarningCount = static_cast<int32_t>(Err.Pub.num_warnings);
        P->JPEG_WarningCode = Err.LastWarning;
      }
    }
  } warnings{err, Params};

  if (TablesStream && TablesStream != Stream && !O.PreviewOnly) {
    SetJpegStreamSource(&d, TablesStream, Aborting);
    if (JpegReadHeader(&d, false, false) < 0 || Aborting->load()) return;
  }
  SetJpegStreamSource(&d, Stream, Aborting);
  if (Aborting->load()) return;
  if (JpegReadHeader(&d, true, true) < 0 || Aborting->load()) {
    Aborting->store(true);
    return;
  }

  // Resolution from the JFIF density; dots per centimetre are truncated.
  if (d.density_unit == 0 || d.density_unit == 1) {
    Params->SetDpiX(d.X_density);
    Params->SetDpiY(d.Y_density);
  } else if (d.density_unit == 2) {
    Params->SetDpiX(static_cast<int32_t>(Trunc32(d.X_density * 2.54L)));
    Params->SetDpiY(static_cast<int32_t>(Trunc32(d.Y_density * 2.54L)));
  }

  // Every APPn and COM in file order, except the first APP0 (the JFIF header).
  Params->JPEG_Markers.Clear();
  bool seenApp0 = false;
  for (jpeg_saved_marker_ptr m = d.marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 && !seenApp0) {
      seenApp0 = true;
      continue;
    }
    Params->JPEG_Markers.AddMarker(m->marker, m->data, static_cast<int32_t>(m->data_length));
  }
  bool turn = false;
  if (O.ReadMarkers && Params->ReadMetadata) {
    const int32_t jfifX = Params->DpiX, jfifY = Params->DpiY;
    if (InterpretMarkers(Params)) {
      // The EXIF resolution (already per inch) stands in only for the JFIF placeholder 1 x 1.
      if (jfifX == 1 && jfifY == 1) {
        Params->DpiX = static_cast<int32_t>(Trunc32(Params->EXIF_XResolution));
        Params->DpiY = static_cast<int32_t>(Trunc32(Params->EXIF_YResolution));
      } else {
        Params->DpiX = jfifX;
        Params->DpiY = jfifY;
      }
      turn = Params->JPEG_AutoRotate && !O.PreviewOnly;
    }
  }
  // "R03" names the wide-gamut RGB space; it stands for a profile the file does not bring.
  if (Params->EXIF_InteropIndex == "R03" && (settings->FAdobeRGBMode == 1 || settings->FAdobeRGBMode == 2) &&
      (!Params->InputICC() || Params->InputICC()->ProfileSize() == 0))
    Params->GetInputICCProfile()->LoadWideGamutRGB();

  TPXICC* icc = Params->InputICC();
  managed = icc && icc->IsValid() && settings->FColorProfileOnLoad;

  Params->SetImageCount(1);
  Params->BitsPerSample = 8;
  enum class TOut { Grey, Rgb, YCbCr, Cmyk } out;
  const bool fileRgb = d.jpeg_color_space == JCS_RGB;
  switch (d.jpeg_color_space) {
    case JCS_GRAYSCALE:
      Params->JPEG_ColorSpace = 1;
      Params->SamplesPerPixel = 1;
      out = TOut::Grey;
      break;
    case JCS_RGB:
      Params->JPEG_ColorSpace = 0;
      Params->SamplesPerPixel = 3;
      out = TOut::Rgb;
      break;
    case JCS_YCbCr:
      Params->JPEG_ColorSpace = 2;
      Params->SamplesPerPixel = 3;
      out = O.RawComponents ? TOut::YCbCr : TOut::Rgb;
      break;
    case JCS_CMYK:
      Params->JPEG_ColorSpace = 3;
      Params->SamplesPerPixel = 4;
      out = TOut::Cmyk;
      break;
    case JCS_YCCK:
      Params->JPEG_ColorSpace = 4;
      Params->SamplesPerPixel = 4;
      out = TOut::Cmyk;
      break;
    default:  // component layouts without a colour space
      Aborting->store(true);
      return;
  }

  d.dct_method = DctMethodOf(Params->JPEG_DCTMethod);
  Params->FreeColorMap();
  Params->JPEG_Progressive = d.progressive_mode != 0;
  Params->OriginalWidth = static_cast<int32_t>(d.image_width);
  Params->OriginalHeight = static_cast<int32_t>(d.image_height);
  const int32_t denominator =
      ScaleDenominator(Params, static_cast<int32_t>(d.image_width), static_cast<int32_t>(d.image_height));
  d.scale_num = 1;
  d.scale_denom = static_cast<unsigned>(denominator);
  Params->JPEG_ScaleUsed = denominator;

  if (O.PreviewOnly) {
    Params->Width = static_cast<int32_t>(d.image_width);
    Params->Height = static_cast<int32_t>(d.image_height);
    return;
  }

  // Output layout: bitmap rows are blue-green-red; the library converts where it can.
  TPXPixelFormat format = px24RGB;
  bool direct = true;        // the library writes straight into the bitmap row
  int32_t sourceKind = -1;   // through the colour-row hook from this kind
  switch (out) {
    case TOut::Grey:
      if (O.NativePixelFormat) {
        format = px8g;
        d.out_color_space = JCS_GRAYSCALE;
      } else {
        d.out_color_space = JCS_EXT_BGR;
      }
      break;
    case TOut::Rgb:
      if (fileRgb && O.RawComponents) {
        d.out_color_space = JCS_RGB;
      } else {
        d.out_color_space = JCS_EXT_BGR;
        if (managed) {
          direct = false;
          sourceKind = iccfBGR;
        }
      }
      break;
    case TOut::YCbCr:
      d.out_color_space = JCS_YCbCr;
      break;
    case TOut::Cmyk:
      d.out_color_space = JCS_CMYK;
      if (O.NativePixelFormat) {
        format = pxCMYK;
      } else {
        direct = false;
        sourceKind = iccfCMYK;
      }
      break;
  }

  if (!JpegStartDecompress(&d)) {
    Aborting->store(true);
    return;
  }
  const auto width = static_cast<int32_t>(d.output_width);
  const auto height = static_cast<int32_t>(d.output_height);
  Params->Width = width;
  Params->Height = height;
  if (!Bitmap->Allocate(width, height, format) || Bitmap->Width() != width || Bitmap->Height() != height) {
    Aborting->store(true);
    return;
  }
  std::vector<uint8_t> work(direct ? 0 : static_cast<size_t>(width) * 4);
  const int32_t maxRows = O.MaxRows < 0 ? height : std::min(O.MaxRows, height);
  const TPXConvertColorRowsProc convert = ColorRowHook();

  TRowProgress progress(Progress, height);
  while (static_cast<int32_t>(d.output_scanline) < height && Rows < maxRows) {
    auto* row = static_cast<uint8_t*>(Bitmap->GetScanline(Rows));
    if (!row) break;
    uint8_t* target = direct ? row : work.data();
    const int got = JpegReadRow(&d, target);
    if (got <= 0) {
      Aborting->store(true);
      break;
    }
    if (!direct) {
      if (sourceKind == iccfCMYK && O.InvertCmyk)
        for (size_t i = 0, n = static_cast<size_t>(width) * 4; i < n; ++i) work[i] = static_cast<uint8_t>(255 - work[i]);
      convert(work.data(), sourceKind, row, Params, width, iccfBGR);
    }
    Rows += got;
    progress.Add(got);
    if (Aborting->load()) break;
  }
  if (Rows < maxRows) Aborting->store(true);

  if (icc && icc->ProfileSize() > 0) {
    if (O.DropAppliedProfile && managed && icc->HasTransform()) {
      icc->FreeTransform();
      Params->JPEG_Markers.DeleteMarkersOfType(PX_JPEG_APP2);
      if (settings->FAdobeRGBMode == 2) {
        Params->EXIF_InteropIndex.clear();
        Params->EXIF_InteropVersion.clear();
      }
    } else if (Bitmap->FImageProfile) {
      Bitmap->FImageProfile->Assign(icc);
    }
  }

  if (!Aborting->load()) {
    if (static_cast<int32_t>(d.output_scanline) < height) {
      JpegAbortDecompress(&d);  // fewer rows were wanted: the library must not finish
    } else {
      err.Aborting = nullptr;
      if (!JpegFinishDecompress(&d)) Aborting->store(true);
    }
  }
  if (turn) {
    ApplyOrientation(Bitmap, Params->EXIF_Orientation);
    Params->SetExifOrientation(1);
  }
}

}  // namespace

int32_t DecodeJpegStream(TStream* Stream, TStream* TablesStream, TPXBitmap* Bitmap, TIOParams* Params,
                         TPXProgressRecord& Progress, bool PreviewOnly, bool RawComponents, bool ReadMarkers,
                         bool InvertCmyk, bool DropAppliedProfile, bool ReadIcc, int32_t MaxRows,
                         bool NativePixelFormat) {
  TPXAbortFlag local{false};
  TPXAbortFlag* aborting = Progress.Aborting ? Progress.Aborting : &local;
  if (!Stream || !Params || (!Bitmap && !PreviewOnly)) {
    aborting->store(true);
    return 0;
  }
  int32_t rows = 0;
  try {
    if (Params->JPEG_GetThumbnail) {
      // The EXIF thumbnail, read with the markers; a reduced picture when the file has none.
      if (TPXBitmap* thumb = Params->EXIF_Thumbnail()) thumb->FreeImage();
      Params->SetJpegGetThumbnail(false);
      const int32_t wishW = Params->Width, wishH = Params->Height;
      const int64_t entry = Stream->Position();
      DecodeJpegStream(Stream, nullptr, Bitmap, Params, Progress, true, RawComponents, true, InvertCmyk,
                       DropAppliedProfile, false, -1, NativePixelFormat);
      Stream->Seek(entry, soBeginning);
      Params->SetJpegGetThumbnail(true);
      TPXBitmap* thumb = Params->EXIF_Thumbnail();
      if (thumb && !thumb->IsEmpty()) {
        Bitmap->Assign(thumb);
        return Bitmap->Height();
      }
      if (Params->JPEG_Scale == 1) {
        Params->Width = 300;
        Params->Height = 300;
        Params->JPEG_Scale = 0;
        Params->SetJpegGetThumbnail(false);
        rows = DecodeJpegStream(Stream, TablesStream, Bitmap, Params, Progress, false, RawComponents, true,
                                InvertCmyk, DropAppliedProfile, false, MaxRows, NativePixelFormat);
        Params->JPEG_Scale = 1;
        Params->Width = wishW;
        Params->Height = wishH;
        Params->SetJpegGetThumbnail(true);
        return rows;
      }
      Params->Width = wishW;
      Params->Height = wishH;
      Params->OriginalWidth = wishW;
      Params->OriginalHeight = wishH;
      Stream->Seek(entry, soBeginning);
    }
    const TDecodeOptions options{PreviewOnly, RawComponents,  ReadMarkers, InvertCmyk,
                                 DropAppliedProfile, ReadIcc, MaxRows,     NativePixelFormat};
    Decode(Stream, TablesStream, Bitmap, Params, Progress, aborting, options, rows);
  } catch (...) {
    // Bad data, a failing stream or a progress handler that raised: the flag tells.
    aborting->store(true);
  }
  return rows;
}

void EncodeJpegStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress) {
  TPXAbortFlag local{false};
  TPXAbortFlag* aborting = Progress.Aborting ? Progress.Aborting : &local;
  if (!Stream || !Bitmap || !Params || Bitmap->Width() <= 0 || Bitmap->Height() <= 0) {
    aborting->store(true);
    return;
  }
  const int32_t width = Bitmap->Width(), height = Bitmap->Height();
  const uint8_t space = Params->JPEG_ColorSpace;
  const bool cmykFile = space == 3 || space == 4;

  // The rows come from the bitmap itself when it is px24RGB (or CMYK for a CMYK file), else
  // from a px24RGB copy; alpha is flattened onto white row by row, so the caller's bitmap is
  // never touched.
  TPXBitmap* source = Bitmap;
  std::unique_ptr<TPXBitmap> copy;
  const bool cmykRows = cmykFile && Bitmap->PixelFormat() == pxCMYK;
  if (!cmykRows && Bitmap->PixelFormat() != px24RGB) {
    copy = TPXBitmap::CreateAllocated(width, height, px24RGB);
    copy->ConvertPixelFormat(Bitmap);
    source = copy.get();
  }
  TPXBitmap* alpha = cmykRows ? nullptr : source->PeekAlphaChannel();

  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  TPXJpegCompressSetup setup{};
  setup.Width = width;
  setup.Height = height;
  switch (space) {
    case 1:
      setup.InColorSpace = JCS_EXT_BGR, setup.InComponents = 3, setup.FileColorSpace = JCS_GRAYSCALE;
      break;
    case 2:
      setup.InColorSpace = JCS_EXT_BGR, setup.InComponents = 3, setup.FileColorSpace = JCS_YCbCr;
      break;
    case 3:
      setup.InColorSpace = JCS_CMYK, setup.InComponents = 4, setup.FileColorSpace = JCS_CMYK;
      break;
    case 4:
      setup.InColorSpace = JCS_CMYK, setup.InComponents = 4, setup.FileColorSpace = JCS_YCCK;
      break;
    default:
      setup.InColorSpace = JCS_EXT_BGR, setup.InComponents = 3, setup.FileColorSpace = JCS_RGB;
      break;
  }
  const auto density = [](int32_t Dpi, int32_t Default) { return std::clamp(Dpi > 0 ? Dpi : Default, 1, 65535); };
  setup.DpiX = density(Params->DpiX, settings->FDefaultDPIX);
  setup.DpiY = density(Params->DpiY, settings->FDefaultDPIY);
  setup.DctMethod = DctMethodOf(Params->JPEG_DCTMethod);
  setup.Optimize = Params->JPEG_OptimalHuffman;
  setup.Smoothing = std::clamp(Params->JPEG_Smoothing, 0, 100);
  setup.Quality = std::clamp(Params->JPEG_Quality, 1, 100);
  setup.LumaH = Params->JPEG_Subsampling == 2 ? 1 : 2;
  setup.LumaV = Params->JPEG_Subsampling == 1 ? 2 : 1;
  if (Params->JPEG_Subsampling > 2) setup.LumaV = 2;  // unknown values: the default 2 x 2
  setup.Progressive = Params->JPEG_Progressive;

  TPXJpegErrorMgr err;
  jpeg_compress_struct c;
  std::memset(static_cast<void*>(&c), 0, sizeof c);
  c.err = CreateJpegErrorMgr(&err, aborting);
  const auto fail = [&err]() { throw EPXJpegException(JpegErrorText(&err.Pub)); };
  if (!JpegCreateCompress(&c)) fail();
  TCompressGuard guard{&c};
  SetJpegStreamDest(&c, Stream, aborting);
  if (aborting->load()) return;
  if (!JpegSetupCompress(&c, &setup) || !JpegStartCompress(&c)) fail();

  // Markers: the caller's list with the profile's chunks, in writing order; the library
  // writes its own APP14.
  TPXMarkerList markers;
  markers.Assign(&Params->JPEG_Markers);
  if (TPXICC* icc = Params->InputICC(); icc && icc->IsValid() && !icc->Applied()) AddJpegIccChunks(&markers, icc);
  markers.SortMarkers();
  for (int32_t i = 0; i < markers.GetCount(); ++i) {
    const uint8_t type = markers.GetMarkerType(i);
    if (type == 0xEE) continue;
    if (!JpegWriteMarker(&c, type, markers.GetMarkerData(i), static_cast<unsigned>(markers.GetMarkerLength(i))))
      fail();
  }

  std::vector<uint8_t> flat(alpha ? static_cast<size_t>(width) * 3 : 0);
  std::vector<uint8_t> cmyk(cmykFile && !cmykRows ? static_cast<size_t>(width) * 4 : 0);
  const TPXConvertColorRowsProc convert = ColorRowHook();
  TRowProgress progress(Progress, height);
  for (int32_t y = 0; y < height; ++y) {
    const auto* row = static_cast<const uint8_t*>(source->GetScanline(y));
    if (!row) {
      aborting->store(true);
      break;
    }
    if (alpha) {
      // Onto white: v := 255 + floor((v - 255) * a / 256), as the bitmap's own flattening.
      const auto* a = y < alpha->Height() ? static_cast<const uint8_t*>(alpha->GetScanline(y)) : nullptr;
      if (a) {
        const int32_t aw = std::min(width, alpha->Width());
        std::memcpy(flat.data(), row, flat.size());
        for (int32_t x = 0; x < aw; ++x) {
          const int32_t k = a[x] * 1024;
          uint8_t* p = flat.data() + 3 * x;
          for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(255 + (((p[i] - 255) * k) >> 18));
        }
        row = flat.data();
      }
    }
    if (!cmyk.empty()) {
      convert(row, iccfBGR, cmyk.data(), Params, width, iccfCMYK);
      row = cmyk.data();
    }
    if (!JpegWriteRow(&c, row)) fail();
    progress.Add(1);
    if (aborting->load()) break;
  }
  if (!aborting->load() && !JpegFinishCompress(&c)) fail();
}

// ---------------------------------------------------------------------------------------------
// Registration

void RegisterJpegCodec() {
  TPXFormatRow row;
  row.Decode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                  bool PreviewOnly, std::unique_ptr<TPXMask>&) -> int32_t {
    DecodeJpegStream(Stream, nullptr, Bitmap, Params, Progress, PreviewOnly, false, true, false, true, true, -1,
                     Params && Params->NativePixelFormat);
    return 0;
  };
  row.Encode = pxcodecs_detail::EncodeWithoutMask<EncodeJpegStream>;
  row.Signature = [](TStream* Stream) { return FindJpegStart(Stream, false) >= 0; };
  row.AltSignature = [](TStream* Stream) { return FindJpegStart(Stream, true) >= 0; };
  row.Rules.ConvertTo24OnSave = true;
  row.Rules.StreamHeader = "JFIF";
  row.Rules.ReadBufferSize = 65536;
  RegisterFormatRow(pxftJPEG, std::move(row));
}
