// TPixoranIO's members for the files of the view above the I/O layer: the layers file (type 26)
// and the vector-object files (types 25 and 27). The view and vector subsystems do the reading
// and writing through the interfaces of io/pixoranio_view.h.
#include <memory>
#include <string>

#include "core/hypxutils_streams.h"
#include "io/pixoranio.h"
#include "io/pixoranio_formats_impl.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr const char* kNeedsLayerView = "Must be attached to a TPixoranView to save in PXN format";

}  // namespace

// ---------------------------------------------------------------------------------------------
// Layers file

bool TPixoranIO::ReadLayersHeaderToParams(TStream* Stream) {
  FAborting = true;
  TPXLayersStreamHeader header;
  if (!ReadLayersStreamHeader(Stream, nullptr, header)) return false;
  TIOParams* p = GetParams();
  p->Layers_HeaderValueA = header.HeaderValueA;
  p->Layers_HeaderValueB = header.HeaderValueB;
  p->Layers_Version = header.Version;
  p->Layers_Description.clear();
  if (header.Version > 6999) {
    p->Layers_Description = header.Description;
    p->Width = header.Width;
    p->Height = header.Height;
    p->OriginalWidth = header.Width;
    p->OriginalHeight = header.Height;
  }
  p->FileType = pxftPXN;
  FAborting = false;
  return true;
}

bool TPixoranIO::LoadFromStreamLayers(TStream* Stream, bool Merge) {
  TPXIOOperation operation(this);
  FAborting = false;
  TIOParams* p = GetParams();
  IPXIOView* view = FAttachedPixoran && FAttachedPixoran->IsLayerView() ? FAttachedPixoran : nullptr;
  try {
    const int64_t position = Stream->Position();
    p->ClearMetadata(0);
    if (p->Layers_GetThumbnail) {
      // The stored thumbnail is enough.
      TPXLayersStreamHeader header;
      if (FBitmap && ReadLayersStreamHeader(Stream, FBitmap, header) && FBitmap->Width() > 1) {
        p->FileName.clear();
        p->FileType = pxftPXN;
        UpdateAttached();
        DoFinishWork();
        ClearModified(true);
        return true;
      }
      Stream->Seek(position, soBeginning);
    }
    if (view) {
      FAborting = !view->LayersLoadFromStream(Stream, Merge, FProgressCallback);
    } else {
      ReadLayersHeaderToParams(Stream);
      Stream->Seek(position, soBeginning);
      std::unique_ptr<IPXIOView> temp = CreateTemporaryView();
      if (!temp || !FBitmap) {
        FAborting = true;  // no view subsystem to read it with
      } else {
        FAborting = !temp->LayersLoadFromStream(Stream, false, FProgressCallback);
        if (!FAborting) {
          temp->LayersMergeAll();
          if (TPXBitmap* merged = temp->GetPXBitmap()) FBitmap->AssignFrom(merged, false);
        }
        UpdateAttached();
      }
    }
  } catch (...) {
    FAborting = true;
    DoFinishWork();
    throw;
  }
  p->FileName.clear();
  p->FileType = pxftPXN;
  DoFinishWork();
  if (!FAborting) ClearModified(true);
  return !FAborting;
}

bool TPixoranIO::LoadFromFileLayers(const std::string& FileName, bool Merge) {
  TPXIOOperation operation(this);
  FAborting = true;
  const std::unique_ptr<TPXWideFileStream> opened = OpenFileForLoad(this, FileName);
  TPXWideFileStream& file = *opened;
  const bool ok = LoadFromStreamLayers(&file, Merge);
  TIOParams* p = GetParams();
  if (p->FileName.empty() || !Merge) p->FileName = FileName;
  return ok;
}

void TPixoranIO::SaveToStreamLayers(TStream* Stream) {
  IPXIOView* view = FAttachedPixoran && FAttachedPixoran->IsLayerView() ? FAttachedPixoran : nullptr;
  if (!view) throw EPXException(kNeedsLayerView);
  TPXIOOperation operation(this);
  TIOParams* p = GetParams();
  try {
    view->LayersSaveToStream(Stream, p->Layers_HeaderValueA, false, !p->Layers_Flag, false, true, FProgressCallback);
    FAborting = false;
  } catch (...) {
    FAborting = true;
  }
  DoFinishWork();
}

void TPixoranIO::SaveToFileLayers(const std::string& FileName) {
  IPXIOView* view = FAttachedPixoran && FAttachedPixoran->IsLayerView() ? FAttachedPixoran : nullptr;
  if (!view) throw EPXException(kNeedsLayerView);
  TPXIOOperation operation(this);
  TIOParams* p = GetParams();
  FAborting = true;
  try {
    WriteFileSafely(FileName, [&](TStream* Stream) {
      try {
        view->LayersSaveToStream(Stream, p->Layers_HeaderValueA, false, !p->Layers_Flag, false, true, FProgressCallback);
        FAborting = false;
      } catch (...) {
        FAborting = true;  // the temporary file is dropped; the old file stays
      }
    });
  } catch (...) {
    FAborting = true;
    DoFinishWork();
    throw;
  }
  if (!FAborting) {
    p->FileName = FileName;
    p->FileType = pxftPXN;
  }
  DoFinishWork();
}

// ---------------------------------------------------------------------------------------------
// Vector objects (25) and layers with objects (27)

namespace {

// The picture of a vector view sized to its objects, white, with a transparent alpha channel.
void FitToObjects(IPXIOVectorView* Vector) {
  TPXBitmap* bitmap = Vector->AsView() ? Vector->AsView()->GetPXBitmap() : nullptr;
  if (!bitmap) return;
  const TRect extent = Vector->GetObjectsExtent();
  if (extent.Right < 1 || extent.Bottom < 1) return;
  if (!bitmap->Allocate(extent.Right, extent.Bottom, px24RGB)) return;
  bitmap->Fill(static_cast<double>(clWhite));
  if (TPXBitmap* alpha = bitmap->GetAlphaChannel()) {
    alpha->Fill(0);
    alpha->FFull = 0;
  }
}

}  // namespace

bool TPixoranIO::LoadFromStreamVect(TStream* Stream, TPXFileType FileType) {
  if (FileType != pxftPXV && FileType != pxftALL) return false;
  TPXIOOperation operation(this);
  FAborting = false;
  IPXIOVectorView* attached = FAttachedPixoran ? FAttachedPixoran->AsVectorView() : nullptr;
  bool ok = false;
  try {
    if (attached) {
      if (FileType == pxftPXV) {
        ok = attached->LoadObjectsFromStream(Stream, false);
        if (ok) FitToObjects(attached);
      } else {
        ok = attached->LoadAllFromStream(Stream);
      }
    } else if (std::unique_ptr<IPXIOVectorView> temp = CreateTemporaryVectorView()) {
      ok = FileType == pxftPXV ? temp->LoadObjectsFromStream(Stream, false) : temp->LoadAllFromStream(Stream);
      if (ok) {
        if (FileType == pxftALL && temp->AsView()) temp->AsView()->LayersMergeAll();
        else FitToObjects(temp.get());
        temp->DrawObjectsOntoImage();
        CheckBitmap();
        TPXBitmap* picture = temp->AsView() ? temp->AsView()->GetPXBitmap() : nullptr;
        if (picture && FBitmap) FBitmap->AssignFrom(picture, false);
        UpdateAttached();
        ClearModified(false);
      }
    }
  } catch (...) {
    FAborting = true;
    DoFinishWork();
    throw;
  }
  FAborting = !ok;
  GetParams()->FileType = FileType;
  DoFinishWork();
  return ok;
}

bool TPixoranIO::LoadFromFileVect(const std::string& FileName, TPXFileType FileType) {
  if (FileType != pxftPXV && FileType != pxftALL) return false;
  TPXIOOperation operation(this);
  FAborting = true;
  const std::unique_ptr<TPXWideFileStream> opened = OpenFileForLoad(this, FileName);
  TPXWideFileStream& file = *opened;
  const bool ok = LoadFromStreamVect(&file, FileType);
  TIOParams* p = GetParams();
  p->FileName = FileName;
  p->FileType = FileType;
  return ok;
}
