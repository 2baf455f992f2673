// The layers stream of the image view: a 25-byte header ("DOZUROVAZERAR", version, compression,
// record count), the extent, a description, the background byte, the thumbnail presence and one
// layer record per layer. Loading reads every record into a staging list first and replaces or
// extends the view's layers only when all of them were read, so a damaged stream leaves the view
// as it was.
#include <algorithm>
#include <cstring>

#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "layers/pxxLayers_kinds.h"
#include "platform/rtl/SysUtils.h"
#include "view/pixoranview.h"

namespace {

int32_t ReadInt32(TStream* Stream) {
  int32_t v = 0;
  Stream->ReadBuffer(&v, 4);
  return v;
}

void WriteInt32(TStream* Stream, int32_t Value) { Stream->WriteBuffer(&Value, 4); }

// (Done * 100) / Whole rounded to nearest, halves away from zero.
int32_t PercentOf(int64_t Done, int64_t Whole) {
  return Whole <= 0 ? 0 : static_cast<int32_t>((Done * 100 + Whole / 2) / Whole);
}

// The fewest bytes one layer record takes: its common head, or the fields of the older layout.
constexpr int64_t kMinRecordBytes = PXLayerRecordHeaderSize;
constexpr int64_t kMinLegacyRecordBytes = 16;

// Restores the current layer and SelectableEnforced after a save, also after an exception.
class TSaveScope {
 public:
  explicit TSaveScope(TPixoranView* View)
      : FView(View), FCurrent(View->LayersCurrent()), FEnforced(View->SelectableEnforced()) {
    View->SetSelectableEnforced(false);
  }
  ~TSaveScope() {
    FView->SetSelectableEnforced(FEnforced);
    if (FView->LayersCurrent() != FCurrent) FView->SetLayersCurrent(FCurrent);
  }
  TSaveScope(const TSaveScope&) = delete;
  TSaveScope& operator=(const TSaveScope&) = delete;

 private:
  TPixoranView* FView;
  int32_t FCurrent;
  bool FEnforced;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Writing

void TPixoranView::LayersSaveToStream(TStream* Stream, int32_t Compression, bool SelectedOnly, bool SkipBackground,
                                      bool SkipImageLayers, bool IncludeThumbnail,
                                      const TPXProgressEvent& Progress) {
  TPixoranIO* io = Progress ? GetIO() : FIO;
  if (Progress) Progress(io, 0);
  TSaveScope scope(this);
  const int32_t n = GetLayersCount();
  const auto skipped = [&](int32_t i) {
    TPXLayer* layer = FLayers[static_cast<size_t>(i)].get();
    return (SelectedOnly && !layer->IsSelected()) || (SkipImageLayers && layer->Kind() == pxlkImage) ||
           (SkipBackground && i == 0);
  };
  int32_t count = 0;
  for (int32_t i = 0; i < n; ++i)
    if (!skipped(i)) ++count;

  uint8_t head[25];
  std::memcpy(head, PXLayersMagic, 13);
  std::memcpy(head + 13, &PXLayersStreamVersion, 4);
  std::memcpy(head + 17, &Compression, 4);
  std::memcpy(head + 21, &count, 4);
  Stream->WriteBuffer(head, sizeof head);
  WriteInt32(Stream, GetExtentWidth());
  WriteInt32(Stream, GetExtentHeight());
  WriteWideStringToStream(Stream, FIO ? Utf8ToUtf16(FIO->Params()->Layers_Description) : std::u16string());
  const uint8_t background = SkipBackground ? 0 : 1;
  Stream->WriteBuffer(&background, 1);
  // The thumbnail is a flattened copy of the stack; until the view can flatten itself the
  // stream carries none.
  (void)IncludeThumbnail;
  const uint8_t thumbnail = 0;
  Stream->WriteBuffer(&thumbnail, 1);
  for (int32_t i = 0; i < n; ++i) {
    if (skipped(i)) continue;
    if (Progress) Progress(io, PercentOf(i + 1, count + 1));
    FLayers[static_cast<size_t>(i)]->SaveToStream(Stream, false, Compression);
  }
}

// ---------------------------------------------------------------------------------------------
// The header

bool ReadLayersStreamHeader(TStream* Stream, uint8_t (&Header)[25], int32_t& Width, int32_t& Height,
                            std::u16string* Description, bool& BackgroundIncluded, TPXBitmap* Thumbnail,
                            bool ReadThumbnail) {
  if (Description) Description->clear();
  Width = Height = 0;
  BackgroundIncluded = true;
  if (!Stream || Stream->Read(Header, 25) != 25) return false;
  if (std::memcmp(Header, PXLayersMagic, 13) != 0) return false;
  int32_t version = 0;
  std::memcpy(&version, Header + 13, 4);
  if (version <= 0) return false;
  const int64_t size = Stream->Size();
  const auto remaining = [&] { return size - Stream->Position(); };
  if (version >= 7000) {
    if (remaining() < 12) return false;
    Width = ReadInt32(Stream);
    Height = ReadInt32(Stream);
    const int32_t chars = ReadInt32(Stream);
    if (chars < 0 || int64_t{chars} * 2 > remaining()) return false;
    std::u16string text(static_cast<size_t>(chars), u'\0');
    if (chars > 0) Stream->ReadBuffer(text.data(), int64_t{chars} * 2);
    if (Description) *Description = std::move(text);
    if (version >= 8002) {
      uint8_t b = 1;
      if (Stream->Read(&b, 1) != 1) return false;
      BackgroundIncluded = b != 0;
    }
    if (ReadThumbnail) {
      uint8_t present = 0;
      if (Stream->Read(&present, 1) != 1) return false;
      if (present != 0) {
        if (version >= 7003) {
          const int64_t p = Stream->Position();
          if (remaining() < 4) return false;
          const int32_t s = ReadInt32(Stream);
          if (s < 4 || int64_t{s} > size - p) return false;
          if (Thumbnail) {
            std::vector<uint8_t> png(static_cast<size_t>(s - 4));
            if (!png.empty()) Stream->ReadBuffer(png.data(), s - 4);
            TCustomMemoryStream bytes(png.data(), static_cast<int64_t>(png.size()));
            if (!Thumbnail->LoadFromStream(&bytes, 8)) Thumbnail->FreeImage();
          }
          Stream->SetPosition(p + s);
        } else {
          // The PNG follows directly and can be passed only by decoding it.
          TPXBitmap scratch;
          if (!(Thumbnail ? Thumbnail : &scratch)->LoadFromStream(Stream, 8)) return false;
        }
      } else if (Thumbnail) {
        Thumbnail->FreeImage();
      }
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Reading

bool TPixoranView::LayersLoadFromStream(TStream* Stream, bool Append, const TPXProgressEvent& Progress) {
  LockUpdate();
  struct TUnlock {
    TPixoranView* View;
    ~TUnlock() { View->UnlockUpdate(); }
  } unlock{this};
  TPixoranIO* io = Progress ? GetIO() : FIO;
  if (Progress) Progress(io, 0);

  uint8_t head[25];
  int32_t width = 0, height = 0;
  std::u16string description;
  bool background = true;
  if (!ReadLayersStreamHeader(Stream, head, width, height, &description, background, nullptr, true)) return false;
  int32_t version = 0, compression = 0, count = 0;
  std::memcpy(&version, head + 13, 4);
  std::memcpy(&compression, head + 17, 4);
  std::memcpy(&count, head + 21, 4);
  const int64_t left = Stream->Size() - Stream->Position();
  if (count < 0 || count > left / (version >= PXLayerRecordOldestVersion ? kMinRecordBytes : kMinLegacyRecordBytes))
    return false;

  // Every record into its own layer first; the view's layers are not touched yet.
  std::vector<std::unique_ptr<TPXLayer>> staged;
  struct TStagingEnd {
    TPixoranView* View;
    ~TStagingEnd() {
      View->FStagingPicture = nullptr;
      View->FStagingIO.reset();
    }
  } stagingEnd{this};
  for (int32_t i = 0; i < count; ++i) {
    if (Progress) Progress(io, PercentOf(i + 1, count + 1));
    TPXLayerKind kind = pxlkImage;
    if (version >= PXLayerRecordOldestVersion) {
      int32_t size = 0;
      TGUID guid;
      ::PeekLayerRecordHeader(Stream, true, size, kind, guid);
    }
    std::unique_ptr<TPXLayer> layer;
    if (version >= PXLayerRecordOldestVersion) {
      layer = kind == pxlkImage ? std::make_unique<TPXImageLayer>(this) : NewLayerOfKind(kind, this);
      layer->SetUpdating(true);
      layer->LoadFromStream(Stream);
    } else {
      // The older layout holds pictures only; it reads its picture into the view's current
      // picture (or through the view's I/O component): here the staged layer's own.
      auto image = std::make_unique<TPXImageLayer>(this);
      image->SetUpdating(true);
      FStagingPicture = image->Bitmap();
      if (compression != -1 && compression != -2) FStagingIO = TPixoranIO::CreateForBitmap(image->Bitmap());
      ReadLegacyLayer(image.get(), Stream, version, compression);
      FStagingPicture = nullptr;
      FStagingIO.reset();
      layer = std::move(image);
    }
    layer->SetUpdating(false);
    layer->SetModified(false);
    staged.push_back(std::move(layer));
  }

  // All read: the stack changes now.
  size_t first = 0;
  if (!Append) {
    // The current picture may go with its layer; it is set afresh below.
    FMainBitmap = nullptr;
    FLegacyTBitmap = nullptr;
    FLayers.resize(1);
    if (background && !staged.empty() && staged[0]->Kind() == pxlkImage) {
      if (TPXBitmap* old = LayerBitmap(0)) old->FOwnerView = nullptr;
      FLayers[0] = std::move(staged[0]);
      first = 1;
    }
  }
  for (size_t i = first; i < staged.size(); ++i) FLayers.push_back(std::move(staged[i]));
  if (TPXBitmap* picture = LayerBitmap(0)) picture->FOwnerView = this;

  // The current layer is set afresh, so the attached components take the new pictures.
  FLayersCurrent = -1;
  SetLayersCurrentEx(Append ? GetLayersCount() - 1 : 0, false, true, true);
  // The I/O component has taken the new picture (and the parameters that go with it).
  if (FIO) {
    TIOParams* p = FIO->Params();
    p->Layers_HeaderValueA = compression;
    p->Layers_HeaderValueB = count;
    p->Layers_Version = version;
    p->Layers_Description.clear();
    if (version >= 7000) {
      p->Layers_Description = Utf16ToUtf8(description);
      p->Width = p->OriginalWidth = width;
      p->Height = p->OriginalHeight = height;
    } else if (TPXBitmap* picture = LayerBitmap(0)) {
      p->Width = p->OriginalWidth = picture->Width();
      p->Height = p->OriginalHeight = picture->Height();
    }
  }
  return true;
}
