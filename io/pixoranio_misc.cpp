// TPixoranIO: loading from a web address, page navigation, the text export of a picture and the
// choice of a file type for saving.
#include <algorithm>
#include <cstdio>
#include <string>

#include "core/hypxutils.h"
#include "core/hypxutils_text.h"
#include "core/pxsettings.h"
#include "io/pixoranio.h"
#include "io/pixoranio_formats_impl.h"
#include "io/pixoranio_sniff.h"
#include "io/pixoranio_web.h"
#include "io/pxxBitmaps_meta.h"

// ---------------------------------------------------------------------------------------------
// Web loads

bool TPixoranIO::LoadFromURL(const std::string& URL) {
  if (IsAsync()) {
    StartIOThreadURL(URL);
    return true;
  }
  TPXIOOperation operation(this);
  FAborting = false;
  TMemoryStream data;
  std::string hint;
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const bool ok = DownloadURL(URL, &data, s->FProxyAddress, hint, &FAborting, this, FProgressCallback,
                              s->FProxyPassword, s->FProxyUser);
  TPXFileType type = pxftUnknown;
  if (ok) {
    data.SetPosition(0);
    type = FindStreamFormat(&data);
    if (type == pxftUnknown) type = FileTypeFromFileName(URL);
    if (type == pxftUnknown && !hint.empty()) type = FileTypeFromExtension(hint);
  }
  // A failed, aborted or cut transfer, or content of no known type, ends here: the flag stays.
  if (!ok || type == pxftUnknown) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  data.SetPosition(0);
  return LoadFromStream(&data, type);
}

// ---------------------------------------------------------------------------------------------
// Page navigation

int32_t TPixoranIO::Seek(int32_t Page, const std::string& FileName) {
  int32_t target = 0;
  std::string name;
  {
    TPXIOOperation operation(this);
    TIOParams* p = GetParams();
    const int32_t index = p->ImageIndex, count = p->ImageCount;
    switch (Page) {
      case 1: target = std::max(0, index - 1); break;
      case 2: target = std::min(count - 1, index + 1); break;
      case 3: target = count - 1; break;
      default: target = 0; break;
    }
    // Without a known page count there is no page before the first.
    target = std::max(0, target);
    name = FileName.empty() ? p->FileName : FileName;
    if (FAttachedPixoran)
      if (IPXIOMultiPageView* nav = FAttachedPixoran->MultiPageNavigation()) {
        p->SetImageIndex(target);
        nav->ReloadCurrentPage();
        return target;
      }
    if (FileName.empty() && target == index) return target;
    p->SetImageIndex(target);
  }
  // The reload is an entry of its own (it may go to a worker).
  if (!LoadFromFileByExtension(name, true)) return -1;
  return target;
}

// ---------------------------------------------------------------------------------------------
// Text export

namespace {

std::string Hex2(uint8_t Value) {
  char buf[3];
  std::snprintf(buf, sizeof buf, "%02X", Value);
  return buf;
}

// Source text of a constant byte array.
void WriteByteArray(TStream* Stream, const uint8_t* Data, int64_t Count, const std::string& Ident) {
  const std::string sizeIdent = Ident + "_Size";
  WriteLine(Stream, "const");
  WriteLine(Stream, "  " + sizeIdent + " = " + std::to_string(Count) + ";");
  WriteLine(Stream, "  " + Ident + " : array [0.." + sizeIdent + " - 1] of byte = (");
  std::string line;
  for (int64_t i = 0; i + 1 < Count; ++i) {
    line += "$" + Hex2(Data[i]) + ",";
    if (line.size() > 70) {
      WriteLine(Stream, "    " + line);
      line.clear();
    }
  }
  WriteLine(Stream, "    " + line + "$" + Hex2(Data[Count - 1]) + ");");
}

// A list of hexadecimal bytes.
void WriteHexList(TStream* Stream, const uint8_t* Data, int64_t Count) {
  WriteLine(Stream, "\\\\ Size=" + std::to_string(Count));
  std::string line;
  for (int64_t i = 0; i + 1 < Count; ++i) {
    line += "0x" + Hex2(Data[i]) + ",";
    if (line.size() > 70) {
      WriteLine(Stream, line);
      line.clear();
    }
  }
  WriteLine(Stream, line + "0x" + Hex2(Data[Count - 1]));
}

// One character per pixel, darkest first.
void WriteCharacterPicture(TStream* Stream, TPXBitmap* Bitmap) {
  static const char kRamp[] = "W@#*+:.,  ";
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const long double wr = s->FGrayWeightRed, wg = s->FGrayWeightGreen, wb = s->FGrayWeightBlue;
  std::unique_ptr<TPXBitmap> copy;
  TPXBitmap* source = Bitmap24RGB(Bitmap, copy);  // the caller's picture keeps its format
  const int32_t width = source->Width(), height = source->Height();
  std::string line;
  for (int32_t y = 0; y < height; ++y) {
    const auto* row = static_cast<const TRGB*>(source->GetScanline(y));
    line.clear();
    for (int32_t x = 0; x < width; ++x) {
      const long double grey = (row[x].r * wr + row[x].g * wg + row[x].b * wb) / 100;
      // Weights summing above 100 would run past the ramp.
      const int64_t index = std::clamp<int64_t>(Trunc(grey / 255 * 9), 0, 9);
      line += kRamp[index];
    }
    WriteLine(Stream, line);
  }
}
}  // namespace

void TPixoranIO::SaveToTextStream(TStream* Stream, TPXFileType FileType, uint8_t TextFormat) {
  CheckBitmap();
  TPXIOOperation operation(this);
  if (TextFormat == 3) {
    FAborting = false;
    WriteCharacterPicture(Stream, FBitmap);
    return;
  }
  if (TextFormat > 3) {
    // No such text form: nothing is written, and a file save leaves no file.
    FAborting = true;
    return;
  }
  std::string ident = GetParams()->FileName;
  if (const size_t dot = ident.find('.'); dot != std::string::npos) ident[dot] = '_';
  TMemoryStream encoded;
  SaveToStream(&encoded, FileType);
  // Nothing is written for an empty or failed encoding; the flag tells the caller.
  if (FAborting.load() || encoded.Size() == 0) {
    FAborting = true;
    return;
  }
  const auto* data = static_cast<const uint8_t*>(encoded.Memory());
  const int64_t count = encoded.Size();
  switch (TextFormat) {
    case 0: WriteByteArray(Stream, data, count, ident); break;
    case 1: WriteHexList(Stream, data, count); break;
    default:
      encoded.SetPosition(0);
      Base64EncodeStream(&encoded, Stream, 76);
      break;
  }
}

void TPixoranIO::SaveToText(const std::string& FileName, TPXFileType FileType, uint8_t TextFormat) {
  CheckBitmap();
  TPXIOOperation operation(this);
  WriteFileSafely(FileName, [&](TStream* Stream) {
    GetParams()->FileName = FileName;
    SaveToTextStream(Stream, FileType, TextFormat);
  });
}

// ---------------------------------------------------------------------------------------------
// File type for saving

TPXFileType FileTypeForSaving(std::string_view FileName, bool AllowVideo) {
  const std::string ext = ExtractFileExtLower(FileName, true);
  if (ext.empty() || ext == ".") return pxftUnknown;
  if (TPXPixoranGlobalSettings* s = GlobalSettingsInstance(); s && !s->FWICExtensions.empty())
    if (ExtensionInFilter(ext, s->FWICExtensions)) return pxftWIC;
  struct TFilterType {
    const char* Filter;
    TPXFileType Type;
  };
  // XIF (TIFF) and PIX (Targa) as the registry lists them.
  static const TFilterType kBefore[] = {
      {"*.JPG;*.JPEG;*.JPE;*.JIF", pxftJPEG},
      {"*.JP2", pxftJP2},
      {"*.J2K;*.JPC;*.J2C", pxftJ2K},
      {"*.PCX", pxftPCX},
      {"*.DCX", pxftDCX},
      {"*.GIF", pxftGIF},
      {"*.TIF;*.TIFF;*.FAX;*.G3F;*.G3N;*.XIF", pxftTIFF},
      {"*.PNG", pxftPNG},
      {"*.BMP;*.DIB;*.RLE", pxftBMP},
      {"*.TGA;*.TARGA;*.VDA;*.ICB;*.VST;*.WIN;*.PIX", pxftTGA},
      {"*.PXM;*.PBM;*.PGM;*.PPM", pxftPXM},
      {"*.ICO", pxftICO},
      {"*.WBMP", pxftWBMP},
      {"*.PS;*.EPS", pxftPS},
  };
  static const TFilterType kAfter[] = {
      {"*.PSD;*.PSB", pxftPSD},
      {"*.WDP;*.JXR;*.HDP", pxftHDP},
      {"*.DDS", pxftDDS},
      {"*.HEIC;*.HEIF;*.HEICS;*.AVCS;*.HEIFS", pxftHEIF},
      {"*.WEBP", pxftWEBP},
      {"*.DCM;*.DIC;*.DICOM;*.V2", pxftDICOM},
      {"*.ALL", pxftALL},
      {"*.PXN;*.PIXORAN;*.LYR", pxftPXN},
      {"*.CUR", pxftCUR},
      {"*.EMF", pxftEMF},
      {"*.WMF", pxftWMF},
      {"*.PXV", pxftPXV},
      {"*.SVG", pxftSVG},
      {"*.CRW;*.CR2;*.DNG;*.NEF;*.RAW;*.RAF;*.X3F;*.ORF;*.SRF;*.MRW;*.DCR;*.BAY;*.PEF;*.SR2;*.ARW;*.KDC;*.MEF;"
       "*.3FR;*.K25;*.ERF;*.CAM;*.CS1;*.DC2;*.DCS;*.FFF;*.MDC;*.MOS;*.NRW;*.PTX;*.RDC;*.RW2;*.RWL;*.IIQ;*.SRW",
       pxftRAW},
  };
  for (const TFilterType& f : kBefore)
    if (ExtensionInFilter(ext, f.Filter)) return f.Type;
  if (ExtensionInFilter(ext, "*.PDF;*.PDFA;*.EPDF")) {
    if (FileFormatByType(pxftPDF)) return pxftPDF;
    if (FileFormatByType(8222)) return 8222;
  }
  for (const TFilterType& f : kAfter)
    if (ExtensionInFilter(ext, f.Filter)) return f.Type;
  if (AllowVideo && ExtensionInFilter(ext, "*.AVI")) return pxftAVI;
  return pxftUnknown;
}
