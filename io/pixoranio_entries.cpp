// TPixoranIO's public load and save entries: by type, by extension or by content, from files,
// streams and memory blocks, and the header-only reads. Each ends in a per-format member
// (pixoranio_formats.cpp) or in a plug-in entry's callback of the registry.
#include <memory>
#include <string>

#include "core/hypxutils.h"
#include "core/hypxutils_streams.h"
#include "core/hypxutils_text.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio.h"
#include "io/pixoranio_formats.h"
#include "io/pixoranio_formats_impl.h"
#include "io/pixoranio_sniff.h"
#include "platform/rtl/SysUtils.h"

namespace {

bool IsWicType(TPXFileType Type) {
  return Type == pxftDDS || Type == pxftHEIF || Type == pxftWEBP || Type == pxftWIC;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Loads

bool TPixoranIO::LoadFromFile(const std::string& FileName, TPXFileType FileType) {
  if (!FBitmap) return false;
  if (FileName.empty()) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  if (URLKindW(FileName) != 0) return LoadFromURL(FileName);
  TPXFileType type = FileType;
  if (type == pxftUnknown) {
    type = FindFileFormat(FileName, 0);
    if (type == pxftUnknown) {
      FAborting = true;
      DoFinishWork();
      return false;
    }
  }
  if (type != pxftPXN) CheckBitmap();
  // Whether the member hands its work to a worker (it then answers at once).
  const bool async = IsAsync();
  const auto unavailable = [&] {
    FAborting = true;
    DoFinishWork();
    return false;
  };
  // No video or media source on this platform.
  if (type == pxftAVI) return unavailable();
  if (type == pxftSVG) {
    if (FileFormatByType(8214)) type = 8214;
    else if (FileFormatByType(4118)) type = 4118;
  }
  TPXFileFormatInfo* entry = FileFormatByType(type);
  if (!entry) return unavailable();  // media names included: no media reader here

  if (entry->InternalFormat) {
    switch (type) {
      case pxftTIFF:
        LoadFromFileTiff(FileName);
        return async || !FAborting;
      case pxftGIF:
        LoadFromFileGif(FileName);
        return async || !FAborting;
      case pxftJPEG: return LoadFromFileJpeg(FileName);
      case pxftPCX: return LoadFromFilePcx(FileName);
      case pxftBMP: return LoadFromFileBmp(FileName);
      case pxftICO: return LoadFromFileIco(FileName);
      case pxftCUR: return LoadFromFileCur(FileName);
      case pxftPNG: return LoadFromFilePng(FileName);
      case pxftWMF:
      case pxftEMF:
        return unavailable();  // no metafile reader on this platform
      case pxftTGA: return LoadFromFileTga(FileName);
      case pxftPXM: return LoadFromFilePxm(FileName);
      case pxftJP2: return LoadFromFileJp2(FileName);
      case pxftJ2K: return LoadFromFileJ2k(FileName);
      case pxftWBMP: return LoadFromFileWbmp(FileName);
      case pxftDCX: return LoadFromFileDcx(FileName);
      case pxftRAW: return LoadFromFileRAW(FileName);
      case pxftPSD: return LoadFromFilePsd(FileName);
      case pxftPXV:
      case pxftALL:
        return LoadFromFileVect(FileName, type);
      case pxftPXN: return LoadFromFileLayers(FileName, false);
      case pxftDICOM: return LoadFromFileDicom(FileName);
      case pxftHDP: return LoadFromFileHDP(FileName);
      case 8196:
      case 8222:
        return LoadFromFilePDF(FileName, -1, -1, std::string());
      default:
        if (IsWicType(type)) return LoadFromFileWIC(FileName, type);
        // A built-in entry without a file reader of its own cannot read.
        return unavailable();
    }
  }

  // A plug-in format.
  if (!entry->ReadFunction) {
    FAborting = true;
    TIOParams* p = GetParams();
    p->ClearMetadata(0);
    p->FileName.clear();
    p->FileType = pxftUnknown;
    DoFinishWork();
    return false;
  }
  if (async) {
    StartIOThread(static_cast<TPXIOFileTypeBoolFunc>(&TPixoranIO::LoadFromFile), FileName, FileType);
    return false;
  }
  TPXIOOperation operation(this);
  FAborting = true;
  TIOParams* p = GetParams();
  p->ClearMetadata(0);
  p->FileName.clear();
  p->FileType = pxftUnknown;
  TPXProgressRecord progress;
  InitProgress(progress);
  try {
    if (!PrepareBitmap({})) {
      FAborting = true;
      DoFinishWork();
      return false;
    }
    TPXWideFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    FAborting = false;
    p->FileName = FileName;
    p->FileType = entry->FileType;
    try {
      entry->ReadFunction(&file, FBitmap);
      if (FAutoAdjustDPI) AdjustDPI();
    } catch (...) {
      FAborting = true;
      UpdateAttached();
      ClearModified(false);
      throw;
    }
    UpdateAttached();
    ClearModified(false);
  } catch (...) {
    DoFinishWork();
    throw;
  }
  DoFinishWork();
  return !FAborting;
}

bool TPixoranIO::LoadFromFileByExtension(const std::string& FileName, bool RetryWithContent) {
  FAborting = true;
  bool result = false;
  if (URLKindW(FileName) != 0) return LoadFromURL(FileName);
  const TPXFileType byName = ExtractFileExtLower(FileName, true) == ".avi" ? pxftAVI : FileTypeFromFileName(FileName);
  if (byName != pxftUnknown) result = LoadFromFile(FileName, byName);
  TPXFileType byContent = pxftUnknown;
  if (!result && RetryWithContent) {
    byContent = FindFileFormat(FileName, 0);
    // Content of no known type gives nothing to retry with (the failed load has reported).
    if (byContent != pxftUnknown && byContent != byName) result = LoadFromFile(FileName, byContent);
  }
  if (byName == pxftUnknown && (!RetryWithContent || byContent == pxftUnknown)) DoFinishWork();
  return result;
}

bool TPixoranIO::LoadFromFileAuto(const std::string& FileName) {
  return LoadFromFile(FileName, FindFileFormat(FileName, 2));
}

bool TPixoranIO::LoadFromFileFormat(const std::string& FileName, TPXFileType FileType) {
  FAborting = true;
  if (FileType == pxftUnknown) {
    DoFinishWork();
    return false;
  }
  return LoadFromFile(FileName, FileType);
}

bool TPixoranIO::LoadFromStream(TStream* Stream, TPXFileType FileType) {
  TPXFileType type = FileType;
  if (Stream && type == pxftUnknown) type = FindStreamFormat(Stream);  // restores the position
  if (type != pxftPXN) CheckBitmap();
  const auto unavailable = [&] {
    FAborting = true;
    DoFinishWork();
    return false;
  };
  if (!Stream) return unavailable();
  const bool async = IsAsync();
  TPXFileFormatInfo* entry = FileFormatByType(type);
  if (!entry) return unavailable();

  if (entry->InternalFormat) {
    switch (type) {
      case pxftTIFF:
        LoadFromStreamTiff(Stream);
        return async || !FAborting;
      case pxftGIF:
        LoadFromStreamGif(Stream);
        return async || !FAborting;
      case pxftJPEG: return LoadFromStreamJpeg(Stream);
      case pxftPCX: return LoadFromStreamPcx(Stream);
      case pxftBMP: return LoadFromStreamBmp(Stream);
      case pxftICO: return LoadFromStreamIco(Stream);
      case pxftCUR: return LoadFromStreamCur(Stream);
      case pxftPNG: return LoadFromStreamPng(Stream);
      case pxftWMF:
      case pxftEMF:
        return unavailable();
      case pxftTGA: return LoadFromStreamTga(Stream);
      case pxftPXM: return LoadFromStreamPxm(Stream);
      case pxftJP2: return LoadFromStreamJp2(Stream);
      case pxftJ2K: return LoadFromStreamJ2k(Stream);
      case pxftWBMP: return LoadFromStreamWbmp(Stream);
      case pxftDCX: return LoadFromStreamDcx(Stream);
      case pxftRAW: return LoadFromStreamRAW(Stream);
      case pxftBMPRAW: return LoadFromStreamBmpRaw(Stream);
      case pxftPSD: return LoadFromStreamPsd(Stream);
      case pxftPXV:
      case pxftALL:
        return LoadFromStreamVect(Stream, type);
      case pxftPXN: return LoadFromStreamLayers(Stream, false);
      case pxftDICOM: return LoadFromStreamDicom(Stream);
      case pxftHDP: return LoadFromStreamHDP(Stream);
      case 8196:
      case 8222:
        return LoadFromStreamPDF(Stream, -1, -1, std::string());
      default:
        if (IsWicType(type)) return LoadFromStreamWIC(Stream, type);
        return unavailable();
    }
  }

  // A plug-in format.
  if (async) {
    StartIOThread(static_cast<TPXIOStreamTypeBoolFunc>(&TPixoranIO::LoadFromStream), Stream, FileType);
    return true;
  }
  TPXIOOperation operation(this);
  TIOParams* p = GetParams();
  p->ClearMetadata(0);
  p->FileName.clear();
  p->FileType = pxftUnknown;
  if (!entry->ReadFunction) return unavailable();
  FAborting = false;
  TPXProgressRecord progress;
  InitProgress(progress);
  try {
    if (!PrepareBitmap({})) {
      FAborting = true;
      DoFinishWork();
      return false;
    }
    p->FileType = entry->FileType;
    try {
      entry->ReadFunction(Stream, FBitmap);
      if (FAutoAdjustDPI) AdjustDPI();
    } catch (...) {
      FAborting = true;
      UpdateAttached();
      ClearModified(false);
      throw;
    }
    UpdateAttached();
    ClearModified(false);
  } catch (...) {
    DoFinishWork();
    throw;
  }
  DoFinishWork();
  return !FAborting;
}

bool TPixoranIO::LoadFromStreamFormat(TStream* Stream, TPXFileType FileType) { return LoadFromStream(Stream, FileType); }

bool TPixoranIO::LoadFromBuffer(const void* Buffer, int32_t BufferSize, TPXFileType FileType) {
  if (!Buffer || BufferSize <= 0) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  // The memory stream lives only for this call: the load runs here, never on a worker.
  TPXIOOperation operation(this);
  TPXMemStream stream(Buffer, BufferSize);
  return LoadFromStream(&stream, FileType);
}

// ---------------------------------------------------------------------------------------------
// Header-only reads

bool TPixoranIO::ReadParams(const std::string& FileName, TStream* Stream, TPXFileType FileType) {
  TPXIOOperation operation(this);
  TIOParams* p = GetParams();
  bool result = true;
  TPXFileType type = FileType;
  if (type == pxftUnknown) {
    try {
      type = Stream ? FindStreamFormat(Stream) : FindFileFormat(FileName, 2);
    } catch (...) {
      type = pxftUnknown;
    }
    if (type == pxftUnknown) {
      p->FileType = pxftUnknown;
      FAborting = true;
      DoFinishWork();
      return false;
    }
  }
  p->FileType = type;
  p->ClearMetadata(0);
  FAborting = true;
  TPXProgressRecord progress;
  ResetProgressRecordSafe(&FAborting, false, progress);
  try {
    std::unique_ptr<TPXWideFileStream> file;
    if (!Stream) file = std::make_unique<TPXWideFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
    const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
    TPXBufferedReadStream buffered(Stream ? Stream : file.get(), 8192, s && s->FStreamRelativeOrigin != 0);
    FAborting = false;
    // Readers run in preview mode on a scratch picture: the working bitmap keeps its pixels.
    TPXBitmap scratch;
    std::unique_ptr<TPXMask> mask;
    const TPXFormatRow* row = FormatRow(type);
    const TPXFileFormatInfo* entry = FileFormatByType(type);
    if (type == pxftPXN) {
      result = ReadLayersHeaderToParams(&buffered);
    } else if (type == pxftPSD && PsdLayeredCoders().Decode) {
      PsdLayeredCoders().Decode(&buffered, &scratch, p, progress, nullptr);
    } else if (row && row->Decode) {
      const int32_t count = row->Decode(&buffered, &scratch, p, progress, true, mask);
      if ((type == pxftTIFF || type == pxftGIF) && count > 0 && !FAborting) p->SetImageCount(count);
    } else if (entry && !entry->InternalFormat && entry->ReadFunction) {
      entry->ReadFunction(&buffered, &scratch);
    } else {
      result = false;  // no reader for the type
    }
  } catch (...) {
    p->FileType = pxftUnknown;
    result = false;
  }
  if (!result) FAborting = true;
  if (FAborting) {
    p->FileType = pxftUnknown;
    result = false;
  }
  if (!Stream) p->FileName = FileName;
  DoFinishWork();
  return result;
}

bool TPixoranIO::ParamsFromFile(const std::string& FileName, TPXFileType FileType) {
  return ReadParams(FileName, nullptr, FileType);
}

bool TPixoranIO::ParamsFromFileFormat(const std::string& FileName, TPXFileType FileType) {
  return ReadParams(FileName, nullptr, FileType);
}

bool TPixoranIO::ParamsFromFileByExtension(const std::string& FileName, bool UseExtension) {
  return ReadParams(FileName, nullptr, UseExtension ? FileTypeFromFileName(FileName) : pxftUnknown);
}

bool TPixoranIO::ParamsFromStream(TStream* Stream, TPXFileType FileType) {
  if (!Stream) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  return ReadParams(std::string(), Stream, FileType);
}

bool TPixoranIO::ParamsFromStreamFormat(TStream* Stream, TPXFileType FileType) { return ParamsFromStream(Stream, FileType); }

bool TPixoranIO::ParamsFromBuffer(const void* Buffer, int32_t BufferSize, TPXFileType FileType) {
  if (!Buffer || BufferSize <= 0) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  TPXMemStream stream(Buffer, BufferSize);
  return ParamsFromStream(&stream, FileType);
}

// ---------------------------------------------------------------------------------------------
// Saves

void TPixoranIO::SaveToFile(const std::string& FileName, TPXFileType FileType) {
  if (FileName.empty()) return;
  const TPXFileType type = FileType > 0 ? FileType : FileTypeForSaving(FileName, false);
  if (type != pxftPDF && type != pxftPXN && type != pxftSVG) CheckBitmap();
  switch (type) {
    case pxftTIFF: SaveToFileTiff(FileName); return;
    case pxftGIF: SaveToFileGif(FileName); return;
    case pxftJPEG: SaveToFileJpeg(FileName); return;
    case pxftPCX: SaveToFilePcx(FileName); return;
    case pxftBMP: SaveToFileBmp(FileName); return;
    case pxftICO: SaveToFileIco(FileName); return;
    case pxftPNG: SaveToFilePng(FileName); return;
    case pxftTGA: SaveToFileTga(FileName); return;
    case pxftPXM: SaveToFilePxm(FileName); return;
    case pxftJP2: SaveToFileJp2(FileName); return;
    case pxftJ2K: SaveToFileJ2k(FileName); return;
    case pxftWBMP: SaveToFileWbmp(FileName); return;
    case pxftPS: SaveToFilePS(FileName); return;
    case pxftPDF:
    case 8222:
      SaveToFilePDF(FileName);
      return;
    case pxftDCX: SaveToFileDcx(FileName); return;
    case pxftPSD: SaveToFilePsd(FileName); return;
    case pxftPXN: SaveToFileLayers(FileName); return;
    case pxftDICOM: SaveToFileDicom(FileName); return;
    case pxftHDP: SaveToFileHDP(FileName); return;
    case pxftSVG: SaveToFileSvg(FileName); return;
    case pxftDDS: SaveToFileWIC(FileName, pxftDDS); return;
    default: break;
  }
  if (type == pxftALL || type == pxftPXV) {
    IPXIOVectorView* vector = FAttachedPixoran ? FAttachedPixoran->AsVectorView() : nullptr;
    if (vector) {
      if (type == pxftALL) vector->SaveAllToFile(FileName, 0);
      else vector->SaveObjectsToFile(FileName, 0);
      return;
    }
  }

  // A plug-in format.
  TPXFileFormatInfo* entry = FileType > 0 ? FileFormatByType(FileType)
                                          : FileFormatByExtension(ExtractFileExtLower(FileName, true));
  // A built-in entry reaching here has no writer of its own: nothing is written.
  if (!entry || !entry->WriteFunction || entry->InternalFormat) {
    FAborting = true;
    DoFinishWork();
    return;
  }
  if (IsAsync()) {
    StartIOThread(static_cast<TPXIOFileTypeProc>(&TPixoranIO::SaveToFile), FileName, FileType);
    return;
  }
  TPXIOOperation operation(this);
  FAborting = true;
  TPXProgressRecord progress;
  InitProgress(progress);
  TIOParams* p = GetParams();
  try {
    if (!PrepareBitmap({})) {
      FAborting = true;
      DoFinishWork();
      return;
    }
    std::unique_ptr<TPXBitmap> converted;
    TPXBitmap* bitmap = PluginWriteBitmap(FBitmap, converted);
    WriteFileSafely(FileName, [&](TStream* Stream) {
      FAborting = false;
      entry->WriteFunction(Stream, bitmap);
    });
    if (!FAborting) {
      p->FileName = FileName;
      p->FileType = entry->FileType;
    }
  } catch (...) {
    FAborting = true;
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

void TPixoranIO::SaveToStream(TStream* Stream, TPXFileType FileType) {
  TPXFileType type = FileType;
  if (type == pxftUnknown) type = GetParams()->FileType;
  if (type == pxftUnknown) type = pxftJPEG;
  if (type != pxftPDF && type != pxftPXN && type != pxftSVG) CheckBitmap();
  switch (type) {
    case pxftTIFF: SaveToStreamTiff(Stream); return;
    case pxftGIF: SaveToStreamGif(Stream); return;
    case pxftJPEG: SaveToStreamJpeg(Stream); return;
    case pxftPCX: SaveToStreamPcx(Stream); return;
    case pxftBMP: SaveToStreamBmp(Stream); return;
    case pxftICO: SaveToStreamIco(Stream); return;
    case pxftPNG: SaveToStreamPng(Stream); return;
    case pxftTGA: SaveToStreamTga(Stream); return;
    case pxftPXM: SaveToStreamPxm(Stream); return;
    case pxftJP2: SaveToStreamJp2(Stream); return;
    case pxftJ2K: SaveToStreamJ2k(Stream); return;
    case pxftWBMP: SaveToStreamWbmp(Stream); return;
    case pxftPS: SaveToStreamPS(Stream); return;
    case pxftPDF:
    case 8222:
      SaveToStreamPDF(Stream);
      return;
    case pxftDCX: SaveToStreamDcx(Stream); return;
    case pxftPSD: SaveToStreamPsd(Stream); return;
    case pxftPXN: SaveToStreamLayers(Stream); return;
    case pxftDICOM: SaveToStreamDicom(Stream); return;
    case pxftHDP: SaveToStreamHDP(Stream); return;
    case pxftSVG: SaveToStreamSvg(Stream); return;
    case pxftDDS: SaveToStreamWIC(Stream, pxftDDS); return;
    default: break;
  }
  if (IsAsync()) {
    StartIOThread(static_cast<TPXIOStreamTypeProc>(&TPixoranIO::SaveToStream), Stream, FileType);
    return;
  }
  TPXIOOperation operation(this);
  TPXFileFormatInfo* entry = FileFormatByType(type);
  if (!Stream || !entry || !entry->WriteFunction || entry->InternalFormat) {
    FAborting = true;
    DoFinishWork();
    return;
  }
  FAborting = false;
  TPXProgressRecord progress;
  InitProgress(progress);
  try {
    if (!PrepareBitmap({})) {
      FAborting = true;
      DoFinishWork();
      return;
    }
    std::unique_ptr<TPXBitmap> converted;
    TPXBitmap* bitmap = PluginWriteBitmap(FBitmap, converted);
    GetParams()->FileType = entry->FileType;
    entry->WriteFunction(Stream, bitmap);
  } catch (...) {
    FAborting = true;
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}
