// TPixoranIO's public load and save entries: by type, by extension or by content, from files,
// streams and memory blocks, and the header-only reads. Each ends in a per-format member
// (pixoranio_formats.cpp) or in a plug-in entry's callback of the registry.
#include <cstddef>
#include <functional>
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

// The built-in reader members of a type that take only the source, from a file (none where only
// streams are read) and from a stream.
struct TLoadRoute {
  TPXFileType Type;
  bool (TPixoranIO::*FromFile)(const std::string& FileName);
  bool (TPixoranIO::*FromStream)(TStream* Stream);
};

using IO = TPixoranIO;

constexpr TLoadRoute kLoadRoutes[] = {
    {pxftJPEG, &IO::LoadFromFileJpeg, &IO::LoadFromStreamJpeg},
    {pxftPCX, &IO::LoadFromFilePcx, &IO::LoadFromStreamPcx},
    {pxftBMP, &IO::LoadFromFileBmp, &IO::LoadFromStreamBmp},
    {pxftICO, &IO::LoadFromFileIco, &IO::LoadFromStreamIco},
    {pxftCUR, &IO::LoadFromFileCur, &IO::LoadFromStreamCur},
    {pxftPNG, &IO::LoadFromFilePng, &IO::LoadFromStreamPng},
    {pxftTGA, &IO::LoadFromFileTga, &IO::LoadFromStreamTga},
    {pxftPXM, &IO::LoadFromFilePxm, &IO::LoadFromStreamPxm},
    {pxftJP2, &IO::LoadFromFileJp2, &IO::LoadFromStreamJp2},
    {pxftJ2K, &IO::LoadFromFileJ2k, &IO::LoadFromStreamJ2k},
    {pxftWBMP, &IO::LoadFromFileWbmp, &IO::LoadFromStreamWbmp},
    {pxftDCX, &IO::LoadFromFileDcx, &IO::LoadFromStreamDcx},
    {pxftRAW, &IO::LoadFromFileRAW, &IO::LoadFromStreamRAW},
    {pxftBMPRAW, nullptr, &IO::LoadFromStreamBmpRaw},
    {pxftPSD, &IO::LoadFromFilePsd, &IO::LoadFromStreamPsd},
    {pxftDICOM, &IO::LoadFromFileDicom, &IO::LoadFromStreamDicom},
    {pxftHDP, &IO::LoadFromFileHDP, &IO::LoadFromStreamHDP},
};

// The built-in writer members of a type, to a file and to a stream.
struct TSaveRoute {
  TPXFileType Type;
  void (TPixoranIO::*ToFile)(const std::string& FileName);
  void (TPixoranIO::*ToStream)(TStream* Stream);
};

constexpr TSaveRoute kSaveRoutes[] = {
    {pxftTIFF, &IO::SaveToFileTiff, &IO::SaveToStreamTiff},
    {pxftGIF, &IO::SaveToFileGif, &IO::SaveToStreamGif},
    {pxftJPEG, &IO::SaveToFileJpeg, &IO::SaveToStreamJpeg},
    {pxftPCX, &IO::SaveToFilePcx, &IO::SaveToStreamPcx},
    {pxftBMP, &IO::SaveToFileBmp, &IO::SaveToStreamBmp},
    {pxftICO, &IO::SaveToFileIco, &IO::SaveToStreamIco},
    {pxftPNG, &IO::SaveToFilePng, &IO::SaveToStreamPng},
    {pxftTGA, &IO::SaveToFileTga, &IO::SaveToStreamTga},
    {pxftPXM, &IO::SaveToFilePxm, &IO::SaveToStreamPxm},
    {pxftJP2, &IO::SaveToFileJp2, &IO::SaveToStreamJp2},
    {pxftJ2K, &IO::SaveToFileJ2k, &IO::SaveToStreamJ2k},
    {pxftWBMP, &IO::SaveToFileWbmp, &IO::SaveToStreamWbmp},
    {pxftPS, &IO::SaveToFilePS, &IO::SaveToStreamPS},
    {pxftPDF, &IO::SaveToFilePDF, &IO::SaveToStreamPDF},
    {8222, &IO::SaveToFilePDF, &IO::SaveToStreamPDF},
    {pxftDCX, &IO::SaveToFileDcx, &IO::SaveToStreamDcx},
    {pxftPSD, &IO::SaveToFilePsd, &IO::SaveToStreamPsd},
    {pxftPXN, &IO::SaveToFileLayers, &IO::SaveToStreamLayers},
    {pxftDICOM, &IO::SaveToFileDicom, &IO::SaveToStreamDicom},
    {pxftHDP, &IO::SaveToFileHDP, &IO::SaveToStreamHDP},
    {pxftSVG, &IO::SaveToFileSvg, &IO::SaveToStreamSvg},
};

// The row of Routes for Type; null where the type has none.
template <typename TRoute, size_t N>
const TRoute* FindRoute(const TRoute (&Routes)[N], TPXFileType Type) {
  for (const TRoute& route : Routes)
    if (route.Type == Type) return &route;
  return nullptr;
}

// Before a plug-in load: nothing of the previous file stays in the parameters.
void ForgetLoadedFile(TIOParams* Params) {
  Params->ClearMetadata(0);
  Params->FileName.clear();
  Params->FileType = pxftUnknown;
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
  if (type == pxftAVI) return LoadVideoFrame(FileName, FileType, type);
  if (type == pxftSVG) {
    if (FileFormatByType(8214)) type = 8214;
    else if (FileFormatByType(4118)) type = 4118;
  }
  TPXFileFormatInfo* entry = FileFormatByType(type);
  if (!entry && ExtensionInFilter(ExtractFileExtLower(FileName, true), "*.MPE;*.MPG;*.MPEG;*.WMV"))
    return LoadVideoFrame(FileName, FileType, type);
  if (!entry) return unavailable();

  if (entry->InternalFormat) {
    const TLoadRoute* route = FindRoute(kLoadRoutes, type);
    if (route && route->FromFile) return (this->*route->FromFile)(FileName);
    switch (type) {
      case pxftTIFF:
        LoadFromFileTiff(FileName);
        return async || !FAborting;
      case pxftGIF:
        LoadFromFileGif(FileName);
        return async || !FAborting;
      case pxftWMF:
      case pxftEMF:
        return ImportMetafile(FileName, -1, -1, true);
      case pxftPXV:
      case pxftALL:
        return LoadFromFileVect(FileName, type);
      case pxftPXN: return LoadFromFileLayers(FileName, false);
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
    ForgetLoadedFile(GetParams());
    DoFinishWork();
    return false;
  }
  if (async) {
    StartIOThread(static_cast<TPXIOFileTypeBoolFunc>(&TPixoranIO::LoadFromFile), FileName, FileType);
    return false;
  }
  TPXIOOperation operation(this);
  FAborting = true;
  ForgetLoadedFile(GetParams());
  return ReadWithPlugin(entry, nullptr, FileName);
}

bool TPixoranIO::LoadVideoFrame(const std::string& FileName, TPXFileType FileType, TPXFileType Type) {
  // The whole read (open, frame, close) runs on the worker: the file must stay open for it.
  if (IsAsync()) {
    StartIOThread(static_cast<TPXIOFileTypeBoolFunc>(&TPixoranIO::LoadFromFile), FileName, FileType);
    return false;
  }
  TPXIOOperation operation(this);
  TIOParams* p = GetParams();
  const int32_t index = p->ImageIndex;
  if (Type == pxftAVI) {
    OpenAVIFile(FileName);
    if (FAborting) {
      DoFinishWork();
      return false;
    }
    const bool result = LoadFromAVI(index);  // reports the end of the work
    CloseAVIFile();
    if (result) {
      p->FileName = FileName;
      p->FileType = pxftAVI;
    }
    return result;
  }
  OpenMediaFile(FileName);
  if (FAborting) {
    DoFinishWork();
    return false;
  }
  bool result = false;
  try {
    result = LoadFromMediaFile(index);
  } catch (...) {
    CloseMediaFile();
    FAborting = true;
    DoFinishWork();
    throw;
  }
  CloseMediaFile();
  if (result) {
    p->FileName = FileName;
    p->FileType = ExtractFileExtLower(FileName, true) == ".wmv" ? pxftWMV : pxftMPEG;
  }
  FAborting = !result;
  DoFinishWork();
  return result;
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
    if (const TLoadRoute* route = FindRoute(kLoadRoutes, type)) return (this->*route->FromStream)(Stream);
    switch (type) {
      case pxftTIFF:
        LoadFromStreamTiff(Stream);
        return async || !FAborting;
      case pxftGIF:
        LoadFromStreamGif(Stream);
        return async || !FAborting;
      case pxftWMF:
      case pxftEMF:
        return ImportMetafileFromStream(Stream, -1, -1, true);
      case pxftPXV:
      case pxftALL:
        return LoadFromStreamVect(Stream, type);
      case pxftPXN: return LoadFromStreamLayers(Stream, false);
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
  ForgetLoadedFile(GetParams());
  if (!entry->ReadFunction) return unavailable();
  FAborting = false;
  return ReadWithPlugin(entry, Stream, std::string());
}

bool TPixoranIO::ReadWithPlugin(const TPXFileFormatInfo* Entry, TStream* Stream, const std::string& FileName) {
  TIOParams* p = GetParams();
  TPXProgressRecord progress;
  InitProgress(progress);
  try {
    if (!PrepareBitmap({})) {
      FAborting = true;
      DoFinishWork();
      return false;
    }
    std::unique_ptr<TPXWideFileStream> file;
    if (!Stream) {
      file = std::make_unique<TPXWideFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
      FAborting = false;
      p->FileName = FileName;
    }
    p->FileType = Entry->FileType;
    try {
      Entry->ReadFunction(Stream ? Stream : file.get(), FBitmap);
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
    if (type == pxftWMF || type == pxftEMF) {
      result = ReadMetafileHeader(&buffered);
    } else if (type == pxftPXN) {
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
  } catch (const Exception& e) {
    // The companion library's message reaches the caller (after the one OnFinishWork), so that
    // it can tell the user what is missing; any other failure is a failed read.
    if (e.Message() == CompanionLibraryMessage()) {
      p->FileType = pxftUnknown;
      DoFinishWork();
      throw;
    }
    p->FileType = pxftUnknown;
    result = false;
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
  if (const TSaveRoute* route = FindRoute(kSaveRoutes, type)) {
    (this->*route->ToFile)(FileName);
    return;
  }
  if (type == pxftDDS) {
    SaveToFileWIC(FileName, pxftDDS);
    return;
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
  TIOParams* p = GetParams();
  WriteWithPlugin([&](TPXBitmap* Bitmap) {
    WriteFileSafely(FileName, [&](TStream* Stream) {
      FAborting = false;
      entry->WriteFunction(Stream, Bitmap);
    });
    if (!FAborting) {
      p->FileName = FileName;
      p->FileType = entry->FileType;
    }
  });
}

void TPixoranIO::SaveToStream(TStream* Stream, TPXFileType FileType) {
  TPXFileType type = FileType;
  if (type == pxftUnknown) type = GetParams()->FileType;
  if (type == pxftUnknown) type = pxftJPEG;
  if (type != pxftPDF && type != pxftPXN && type != pxftSVG) CheckBitmap();
  if (const TSaveRoute* route = FindRoute(kSaveRoutes, type)) {
    (this->*route->ToStream)(Stream);
    return;
  }
  if (type == pxftDDS) {
    SaveToStreamWIC(Stream, pxftDDS);
    return;
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
  WriteWithPlugin([&](TPXBitmap* Bitmap) {
    GetParams()->FileType = entry->FileType;
    entry->WriteFunction(Stream, Bitmap);
  });
}

void TPixoranIO::WriteWithPlugin(const std::function<void(TPXBitmap* Bitmap)>& Write) {
  TPXProgressRecord progress;
  InitProgress(progress);
  try {
    if (!PrepareBitmap({})) {
      FAborting = true;
      DoFinishWork();
      return;
    }
    std::unique_ptr<TPXBitmap> converted;
    Write(PluginWriteBitmap(FBitmap, converted));
  } catch (...) {
    FAborting = true;
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}
