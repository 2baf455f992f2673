#include "io/pixoranio_registry.h"

#include <algorithm>
#include <map>
#include <vector>

#include "core/hypxutils_streams.h"
#include "core/pxwords.h"
#include "io/pixoranio.h"
#include "io/pixoranio_sniff.h"
#include "platform/rtl/SysUtils.h"

namespace {

// The entries themselves; the settings object's list holds the same pointers in registration
// order (it is the registry others see, this owns what it points at).
std::vector<std::unique_ptr<TPXFileFormatInfo>>& OwnedEntries() {
  static std::vector<std::unique_ptr<TPXFileFormatInfo>> entries;
  return entries;
}

std::map<TPXFileType, std::unique_ptr<TPXFormatRow>>& Rows() {
  static std::map<TPXFileType, std::unique_ptr<TPXFormatRow>> rows;
  return rows;
}

TPXLzwCoders& Coders() {
  static TPXLzwCoders coders;
  return coders;
}

TList* RegistryList() {
  TPXPixoranGlobalSettings* s = GlobalSettingsAssigned();
  return s ? s->FFileFormats.get() : nullptr;
}

// The ";"-separated items of a list.
std::vector<std::string> SplitList(std::string_view text, char sep = ';') {
  std::vector<std::string> items;
  if (text.empty()) return items;
  size_t start = 0;
  while (true) {
    const size_t p = text.find(sep, start);
    items.emplace_back(text.substr(start, p == std::string_view::npos ? std::string_view::npos : p - start));
    if (p == std::string_view::npos) break;
    start = p + 1;
  }
  return items;
}

void DoNothingRead(TStream*, TPXBitmap*) {}
void DoNothingWrite(TStream*, TPXBitmap*) {}
bool AnswerFalse(TStream*, TPXFileType) { return false; }

struct TBuiltIn {
  TPXFileType Type;
  const char* FullName;
  const char* Extensions;
  const char* Suitable;
  TPXPreviewsPages Pages;
  bool Read;
  bool Write;
};

// The built-in entries in registration order; HD Photo, DDS, HEIF, WebP and the catch-all entry
// are the imaging component's, registered while it is available (its catch-all row exists).
constexpr TBuiltIn kBuiltIns[] = {
    {pxftTIFF, "TIFF Image", "TIF;TIFF;FAX;G3N;G3F;XIF", "tiff", 8, true, true},
    {pxftGIF, "GIF Image", "GIF", "gif", 16, true, true},
    {pxftJPEG, "JPEG Image", "JPG;JPEG;JPE;JIF", "jpeg", 4, true, true},
    {pxftPCX, "PaintBrush", "PCX", "pcx", 64, true, true},
    {pxftBMP, "Windows Bitmap", "BMP;DIB;RLE", "bmp", 32, true, true},
    {pxftBMPRAW, "Raw Bitmap", "", "", 0, true, true},
    {pxftICO, "Windows Icon", "ICO", "ico", 0, true, true},
    {pxftCUR, "Windows Cursor", "CUR", "cur", 0, true, false},
    {pxftPNG, "Portable Network Graphics", "PNG", "png", 128, true, true},
    {pxftDICOM, "DICOM Medical Image", "DCM;DIC;DICOM;V2", "dicom", 0, true, true},
    {pxftWMF, "Windows Metafile", "WMF", "wmf", 0, true, false},
    {pxftEMF, "Enhanced Windows Metafile", "EMF", "emf", 0, true, false},
    {pxftTGA, "Targa Image", "TGA;TARGA;VDA;ICB;VST;PIX", "targa", 256, true, true},
    {pxftPXM, "Portable Pixmap, Graymap, Bitmap", "PXM;PPM;PGM;PBM", "pxm", 0, true, true},
    {pxftWBMP, "Wireless Bitmap", "WBMP", "wbmp", 0, true, true},
    {pxftJP2, "JPEG2000", "JP2", "jp2", 512, true, true},
    {pxftJ2K, "JPEG2000 Code Stream", "J2K;JPC;J2C", "j2k", 512, true, true},
    {pxftPS, "PostScript", "PS;EPS", "eps", 0, false, true},
    {pxftPDF, "Adobe PDF", "PDF", "pdf", 0, false, true},
    {pxftDCX, "Multipage PCX", "DCX", "dcx", 0, true, true},
    {pxftRAW, "Camera Raw Image",
     "CRW;CR2;DNG;NEF;RAW;RAF;X3F;ORF;SRF;MRW;DCR;BAY;PEF;SR2;ARW;KDC;MEF;3FR;K25;ERF;CAM;CS1;DC2;DCS;FFF;MDC;MOS;"
     "NRW;PTX;RDC;RW2;RWL;IIQ;SRW",
     "raw", 0, true, false},
    {pxftPSD, "Photoshop PSD", "PSD;PSB", "psd", 0, true, true},
    {pxftPXV, "Vectorial Objects", "PXV", "pxv", 0, true, true},
    {pxftALL, "Layers and Objects", "ALL", "all", 0, true, true},
    {pxftPXN, "Pixoran Layers", "PXN;PIXORAN;LYR", "pxn", 0, true, true},
    {pxftHDP, "Microsoft HD Photo", "WDP;HDP;JXR", "wdp", 0, true, true},
    {pxftSVG, "Scalable Vector Graphics", "SVG", "svg", 0, false, true},
    {pxftDDS, "DirectDraw Surface", "DDS", "dds", 0, true, true},
    {pxftHEIF, "High Efficiency Image File", "HEIC;HEIF;HEICS;AVCS;HEIFS", "heif", 0, true, false},
    {pxftWEBP, "WebP", "WEBP", "webp", 0, true, false},
    {pxftWIC, "Other Windows Images", "", "wic", 0, true, false},
};

// Rebuilds the imaging component's entry's list from the settings' patterns: every character
// but "*" and "." kept, upper-cased.
void RefreshWicExtensions(TPXFileFormatInfo* info) {
  if (!info || info->FileType != pxftWIC) return;
  TPXPixoranGlobalSettings* s = GlobalSettingsAssigned();
  if (!s) return;
  std::string list;
  for (char c : s->FWICExtensions)
    if (c != '*' && c != '.') list += c;
  info->Extensions = UpperCase(list);
}

std::string StripDot(std::string_view ext) {
  if (!ext.empty() && ext.front() == '.') ext.remove_prefix(1);
  return LowerCase(ext);
}

}  // namespace

TPXFileFormatInfo* TPXFileFormatInfo::Register(std::unique_ptr<TPXFileFormatInfo> Info) {
  TList* list = RegistryList();
  if (!Info || !list) return nullptr;
  if (Info->SuitableExtension.empty()) {
    const size_t p = Info->Extensions.find(';');
    Info->SuitableExtension = LowerCase(Info->Extensions.substr(0, p));
  }
  TPXFileFormatInfo* raw = Info.get();
  OwnedEntries().push_back(std::move(Info));
  list->Add(raw);
  return raw;
}

void RegisterFileFormats() {
  FreeFileFormats();
  GlobalSettingsInstance()->FFileFormats = std::make_unique<TList>();
  // The imaging component is available when its catch-all row has been registered.
  const bool imaging = FormatRow(pxftWIC) != nullptr;
  for (const TBuiltIn& b : kBuiltIns) {
    const bool imagingEntry = b.Type == pxftHDP || b.Type == pxftDDS || b.Type == pxftHEIF ||
                              b.Type == pxftWEBP || b.Type == pxftWIC;
    if (imagingEntry && !imaging) continue;
    auto info = std::make_unique<TPXFileFormatInfo>();
    info->FileType = b.Type;
    info->FullName = b.FullName;
    info->Extensions = b.Extensions;
    info->SuitableExtension = b.Suitable;
    info->InternalFormat = true;
    info->DialogPage = b.Pages;
    if (b.Read) info->ReadFunction = &DoNothingRead;
    if (b.Write) info->WriteFunction = &DoNothingWrite;
    info->TryFunction = &AnswerFalse;
    TPXFileFormatInfo::Register(std::move(info));
  }
}

void UnregisterFileFormat(TPXFileType FileType) {
  TList* list = RegistryList();
  auto& owned = OwnedEntries();
  for (auto it = owned.begin(); it != owned.end(); ++it) {
    if ((*it)->FileType != FileType) continue;
    if (list) list->Remove(it->get());
    owned.erase(it);
    return;
  }
}

void FreeFileFormats() {
  if (TPXPixoranGlobalSettings* s = GlobalSettingsAssigned()) s->FFileFormats.reset();
  OwnedEntries().clear();
}

int32_t FileFormatCount() {
  TList* list = RegistryList();
  return list ? list->Count() : 0;
}

TPXFileFormatInfo* FileFormatAt(int32_t Index) {
  TList* list = RegistryList();
  if (!list || Index < 0 || Index >= list->Count()) return nullptr;
  return static_cast<TPXFileFormatInfo*>(list->Get(Index));
}

TPXFileFormatInfo* FileFormatByType(TPXFileType FileType) {
  if (FileType == pxftUnknown) return nullptr;
  const int32_t n = FileFormatCount();
  for (int32_t i = 0; i < n; ++i) {
    TPXFileFormatInfo* info = FileFormatAt(i);
    if (info->FileType == FileType) {
      RefreshWicExtensions(info);
      return info;
    }
  }
  return nullptr;
}

TPXFileFormatInfo* FileFormatByExtension(std::string_view Ext) {
  const std::string e = StripDot(Ext);
  if (e.empty()) return nullptr;
  const int32_t n = FileFormatCount();
  for (int32_t i = 0; i < n; ++i) {
    TPXFileFormatInfo* info = FileFormatAt(i);
    RefreshWicExtensions(info);
    for (const std::string& item : SplitList(info->Extensions))
      if (LowerCase(item) == e) return info;
  }
  return nullptr;
}

int32_t GetExtensionCount(TPXFileType FileType) {
  TPXFileFormatInfo* info = FileFormatByType(FileType);
  return info ? static_cast<int32_t>(SplitList(info->Extensions).size()) : 0;
}

std::string GetExtensionOfType(TPXFileType FileType, int32_t Index) {
  TPXFileFormatInfo* info = FileFormatByType(FileType);
  if (!info || Index < 0) return {};
  const auto items = SplitList(info->Extensions);
  return static_cast<size_t>(Index) < items.size() ? items[static_cast<size_t>(Index)] : std::string();
}

TPXFileType FileTypeFromExtension(std::string_view Ext) {
  if (TPXFileFormatInfo* info = FileFormatByExtension(Ext)) return info->FileType;
  const std::string e = StripDot(Ext);
  if (e == "mpe" || e == "mpg" || e == "mpeg") return pxftMPEG;
  if (e == "wmv") return pxftWMV;
  return pxftUnknown;
}

TPXFileType FileTypeFromFileName(std::string_view FileName) { return FileTypeFromExtension(ExtractFileExt(FileName)); }

bool IsLoadableExtension(std::string_view FileName, bool VideoAnswer) {
  const std::string e = StripDot(ExtractFileExt(FileName));
  if (e == "avi" || e == "mpe" || e == "mpg" || e == "mpeg" || e == "wmv") return VideoAnswer;
  TPXFileFormatInfo* info = FileFormatByExtension(e);
  return info && info->ReadFunction;
}

void UpdateGifFormatAbilities() {
  TPXFileFormatInfo* gif = FileFormatByType(pxftGIF);
  if (!gif) return;
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  gif->ReadFunction = s->FGIFLZWDecompress ? TPXReadFormatProc(&DoNothingRead) : TPXReadFormatProc();
  gif->WriteFunction = s->FGIFLZWCompress ? TPXWriteFormatProc(&DoNothingWrite) : TPXWriteFormatProc();
}

bool FileTypeIsMultiPage(TPXFileType FileType) {
  switch (FileType) {
    case pxftTIFF: case pxftGIF: case pxftICO: case pxftAVI: case pxftPS: case pxftPDF: case pxftDCX:
    case pxftDICOM: case 8222:
      return true;
    default:
      return false;
  }
}

std::string BuildDialogFilter(bool ForSaving, TPXShowFormats ShowFormats, TPXFileType DefaultType,
                              std::string_view ExtraFilter, bool MultiImageTarget) {
  UpdateGifFormatAbilities();
  std::string filter, allExts, defaultEntry;

  auto addEntry = [&](TPXFileFormatInfo* info) {
    if (!info) return;
    RefreshWicExtensions(info);
    if (info->Extensions.empty()) return;
    const bool takes = ForSaving ? (info->WriteFunction && (!MultiImageTarget || FileTypeIsMultiPage(info->FileType)))
                                 : static_cast<bool>(info->ReadFunction);
    if (!takes) return;
    std::string patterns;
    for (const std::string& ext : SplitList(info->Extensions)) {
      const std::string pattern = "*." + LowerCase(ext);
      if (!patterns.empty()) patterns += ';';
      patterns += pattern;
      allExts += pattern + ';';
    }
    const std::string shown = info->FileType == pxftRAW ? "*.cr2;*.crw;*.dng;*.nef;*.raw;*.orf;*.nrw..." : patterns;
    const std::string text = "|" + info->FullName + " (" + shown + ")|" + patterns;
    if (info->FileType == pxftJPEG && ShowFormats != pxsfLayerFormatsPriority)
      filter = text + filter;
    else
      filter += text;
    if (info->FileType == DefaultType) defaultEntry = text.substr(1);
  };

  const bool layersFirst = ShowFormats == pxsfLayerFormatsOnly || ShowFormats == pxsfLayerFormatsPriority;
  if (layersFirst)
    for (TPXFileType t : {pxftPXN, pxftPSD, pxftSVG, pxftPDF}) addEntry(FileFormatByType(t));

  if (ShowFormats == pxsfImagesAndVideos || ShowFormats == pxsfImagesOnly || ShowFormats == pxsfAllOnly ||
      ShowFormats == pxsfLayerFormatsPriority) {
    const int32_t n = FileFormatCount();
    for (int32_t i = 0; i < n; ++i) {
      TPXFileFormatInfo* info = FileFormatAt(i);
      const TPXFileType t = info->FileType;
      if (ShowFormats == pxsfLayerFormatsPriority && (t == pxftPDF || t == pxftPSD || t == pxftPXN || t == pxftSVG))
        continue;
      addEntry(info);
    }
  }

  if (ShowFormats == pxsfImagesAndVideos || ShowFormats == pxsfVideosOnly || ShowFormats == pxsfAllOnly) {
    auto addVideo = [&](const std::string& exts, const std::string& text, TPXFileType type) {
      allExts += exts;
      filter += text;
      if (DefaultType == type) defaultEntry = text.substr(1);
    };
    addVideo("*.avi;", "|" + GetLanguageWord(123) + " (*.avi)|*.avi", pxftAVI);
    if (!ForSaving) {
      addVideo("*.mpeg;*.mpg;", "|MPEG Video (*.mpeg;*.mpg)|*.mpeg;*.mpg", pxftMPEG);
      addVideo("*.wmv;", "|Windows Media Video (*.wmv)|*.wmv", pxftWMV);
    }
  }

  const std::string extra = Trim(ExtraFilter);
  if (!extra.empty()) {
    filter += "|" + extra;
    if (!defaultEntry.empty()) defaultEntry += "|" + extra;
    const auto parts = SplitList(extra, '|');
    std::string patterns;
    for (size_t i = 1; i < parts.size(); i += 2) {
      if (!patterns.empty()) patterns += ';';
      patterns += parts[i];
    }
    if (!patterns.empty()) allExts += patterns + ';';
  }

  if (ForSaving) {
    if (!defaultEntry.empty()) return defaultEntry;
    return filter.empty() ? filter : filter.substr(1);
  }
  std::string allPictures;
  if (ShowFormats != pxsfAllOnly) {
    if (!allExts.empty()) allExts.pop_back();
    allPictures = GetLanguageWord(129) + " (*.jpeg;*.jpg;*.gif;*.bmp;*.tiff...)|" + allExts + "|";
  }
  const std::string allFiles = GetLanguageWord(130) + " (*.*)|*.*";
  if (!defaultEntry.empty()) return defaultEntry + "|" + allPictures + allFiles;
  return allPictures + allFiles + filter;
}

// ---------------------------------------------------------------------------------------------
// Page counts

namespace {

// The counter of Type's row on the named file; the open raises as the stream does.
int32_t CountPagesOfFile(std::string_view FileName, TPXFileType Type) {
  TPXWideFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
  const TPXFormatRow* row = FormatRow(Type);
  if (!row || !row->PageCount) return 0;
  return std::max(0, row->PageCount(&file));
}

}  // namespace

int32_t GetTiffPageCountOfFile(std::string_view FileName) { return CountPagesOfFile(FileName, pxftTIFF); }
int32_t GetDcxPageCountOfFile(std::string_view FileName) { return CountPagesOfFile(FileName, pxftDCX); }
int32_t GetIcoImageCountOfFile(std::string_view FileName) { return CountPagesOfFile(FileName, pxftICO); }

int32_t GetGifFrameCountOfFile(std::string_view FileName) {
  try {
    return CountPagesOfFile(FileName, pxftGIF);
  } catch (...) {
    return 0;
  }
}

int32_t GetImageCountOfFile(std::string_view FileName) {
  switch (const TPXFileType type = FindFileFormat(FileName, 2)) {
    case pxftUnknown:
    case pxftAVI: {
      // Videos: the frame count a media-file reader finds (0 when it cannot open the file).
      auto io = std::make_unique<TPixoranIO>(nullptr);
      const int32_t count = io->OpenMediaFile(std::string(FileName));
      io->CloseMediaFile();
      return count;
    }
    case pxftTIFF:
      return GetTiffPageCountOfFile(FileName);
    case pxftGIF:
      return GetGifFrameCountOfFile(FileName);
    case pxftICO:
      return GetIcoImageCountOfFile(FileName);
    case pxftPDF:
    case 8196:
    case 8222:
      return CountPagesOfFile(FileName, pxftPDF);
    case pxftDCX:
      return GetDcxPageCountOfFile(FileName);
    case pxftDICOM:
      return CountPagesOfFile(FileName, pxftDICOM);
    case pxftHDP:
    case pxftDDS:
    case pxftHEIF:
    case pxftWEBP:
    case pxftWIC:
      // The frames the imaging component reports; 0 when no provider reads the file.
      try {
        return CountPagesOfFile(FileName, type);
      } catch (...) {
        return 0;
      }
    default:
      (void)type;
      return 1;
  }
}

// ---------------------------------------------------------------------------------------------
// Format table

void RegisterFormatRow(TPXFileType FileType, TPXFormatRow Row) {
  if (!Row.Decode && !Row.Encode && !Row.Signature && !Row.AltSignature && !Row.PageCount) {
    Rows().erase(FileType);
    return;
  }
  Rows()[FileType] = std::make_unique<TPXFormatRow>(std::move(Row));
}

void UnregisterFormatRow(TPXFileType FileType) { Rows().erase(FileType); }

const TPXFormatRow* FormatRow(TPXFileType FileType) {
  auto& rows = Rows();
  const auto it = rows.find(FileType);
  return it == rows.end() ? nullptr : it->second.get();
}

bool FormatCanRead(TPXFileType FileType) {
  const TPXFormatRow* row = FormatRow(FileType);
  return row && row->Decode;
}

bool FormatCanWrite(TPXFileType FileType) {
  const TPXFormatRow* row = FormatRow(FileType);
  return row && row->Encode;
}

void RegisterLzwCoders(const TPXLzwCoders& Coders_) { Coders() = Coders_; }
const TPXLzwCoders& RegisteredLzwCoders() { return Coders(); }
