// A host view for the processing component's tests: layers with bitmaps and GUIDs, a selection
// mask, change registrations and a record of what the component told it. Layer records carry the
// common head (size, version, kind, GUID) followed by the layer's Value and, with the picture, the
// first byte of its bitmap. LastUndo reads a component's newest undo entry.
#pragma once

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"

class TFakeHost : public IPXProcessingHost {
 public:
  struct TLayer {
    std::unique_ptr<TPXBitmap> Bitmap;
    bool IsImage = true;
    TGUID Guid;
    int32_t Value = 0;  // a layer property the records carry
    bool Selected = false;
  };

  explicit TFakeHost(TPXHostKind Kind = pxhkLayerView) : Kind_(Kind) {}
  ~TFakeHost() override {
    // Tells the registered components that the host goes away.
    auto handlers = Handlers;
    for (auto& [id, h] : handlers) h(&Component, pxbcViewDestroyed);
  }

  // Adds an image (or other) layer with a W x H picture of Format filled with Value.
  TLayer& AddLayer(int32_t W, int32_t H, TPXPixelFormat Format, bool IsImage = true) {
    TLayer l;
    l.Bitmap = std::make_unique<TPXBitmap>();
    l.Bitmap->Allocate(W, H, Format);
    l.Bitmap->Fill(0);
    l.IsImage = IsImage;
    l.Guid.D1 = NextGuid++;
    l.Guid.D4[7] = static_cast<uint8_t>(l.Guid.D1);
    Layers.push_back(std::move(l));
    return Layers.back();
  }
  void Fire(int32_t Code) {
    auto handlers = Handlers;
    for (auto& [id, h] : handlers) h(&Component, Code);
  }

  TComponent* ViewComponent() override { return &Component; }
  TPXHostKind HostKind() override { return Kind_; }
  TPXBitmap* GetPXBitmap() override {
    return Current >= 0 && Current < static_cast<int32_t>(Layers.size()) ? Layers[Current].Bitmap.get() : nullptr;
  }
  TBitmap* GetBitmap() override { return nullptr; }
  int32_t AddBitmapChangeEvent(const TPXBitmapChangeEvent& Event) override {
    Handlers[NextHandle] = Event;
    return NextHandle++;
  }
  void RemoveBitmapChangeEvent(int32_t Handle) override { Handlers.erase(Handle); }
  TColor Background() override { return Bg; }
  void SetBackground(TColor Value) override { Bg = Value; }
  void SetUpdateReason(int32_t Reason) override { UpdateReason = Reason; }
  void Update() override { ++Updates; }
  void ImageChange(int32_t Code) override { ImageChanges.push_back(Code); }
  bool HasParentWindow() override { return false; }
  void PostIOMessage(uint32_t, uintptr_t, intptr_t) override {}
  void QueueToUIThread(std::function<void()> Call) override { Call(); }
  void SetModified(bool) override {}

  int32_t GetLayersCount() override { return static_cast<int32_t>(Layers.size()); }
  int32_t LayersCurrent() override { return Current; }
  bool CurrentLayerIsImage() override { return Layers.empty() || Layers[Current].IsImage; }
  TPXBitmap* LayerBitmap(int32_t Index) override { return Layers[Index].Bitmap.get(); }
  TGUID LayerGUID(int32_t Index) override { return Layers[Index].Guid; }

  bool SelectionActive() override { return SelActive; }
  TPXMask* SelectionMask() override { return SelActive ? &Mask : nullptr; }

  void SaveSelectionToStream(TStream* Stream) override {
    const int32_t v = SelectionValue;
    Stream->WriteBuffer(&v, 4);
  }
  bool LoadSelectionFromStream(TStream* Stream, int32_t Mode) override {
    Stream->ReadBuffer(&SelectionValue, 4);
    LastSelectionMode = Mode;
    return true;
  }

  void SaveLayerToStream(int32_t Index, TStream* Stream, int32_t Compression, bool WithPicture) override {
    const TLayer& l = Layers[Index];
    LastCompression = Compression;
    WriteRecord(Stream, l.Guid, l.Value, WithPicture ? l.Bitmap->Scanline(0)[0] : -1);
  }
  void LoadLayerFromStream(int32_t Index, TStream* Stream) override {
    int32_t head[3];
    TGUID guid;
    int32_t value = 0, pixel = 0;
    Stream->ReadBuffer(head, 12);
    Stream->ReadBuffer(&guid, 16);
    Stream->ReadBuffer(&value, 4);
    Stream->ReadBuffer(&pixel, 4);
    Layers[Index].Value = value;
    if (pixel >= 0) Layers[Index].Bitmap->Scanline(0)[0] = static_cast<uint8_t>(pixel);
    ++LayerLoads;
  }

  // --- what the clipboard asks ---------------------------------------------------------------
  // The layers stream: "DOZUROVAZERAR", the layer count, then per layer its flags (image,
  // Value) and its picture's raw stream with a size in front.
  static constexpr char LayersMagic[14] = "DOZUROVAZERAR";
  void LayersSaveToStream(TStream* Stream, int32_t Compression, bool SelectedOnly, bool, bool, bool,
                          const TPXProgressEvent&) override {
    if (ThrowOnLayersSave) throw EPXException("layers stream failed");
    LastCompression = Compression;
    std::vector<const TLayer*> list;
    for (size_t i = 0; i < Layers.size(); ++i)
      if (!SelectedOnly || (i > 0 && Layers[i].Selected)) list.push_back(&Layers[i]);
    Stream->WriteBuffer(LayersMagic, 13);
    const int32_t n = static_cast<int32_t>(list.size());
    Stream->WriteBuffer(&n, 4);
    for (const TLayer* l : list) {
      const int32_t head[2] = {l->IsImage ? 1 : 0, l->Value};
      Stream->WriteBuffer(head, 8);
      const int64_t size = l->Bitmap->RawStreamSize();
      Stream->WriteBuffer(&size, 8);
      std::vector<uint8_t> raw(static_cast<size_t>(size));
      l->Bitmap->SaveRawToStream(raw.data(), nullptr, false);
      Stream->WriteBuffer(raw.data(), size);
    }
  }
  bool LayersLoadFromStream(TStream* Stream, bool Append, const TPXProgressEvent&) override {
    char magic[13];
    int32_t n = 0;
    if (Stream->Read(magic, 13) != 13 || std::memcmp(magic, LayersMagic, 13) != 0 || Stream->Read(&n, 4) != 4 ||
        n < 0 || n > 1000)
      return false;
    std::vector<TLayer> loaded;
    for (int32_t i = 0; i < n; ++i) {
      int32_t head[2];
      int64_t size = 0;
      if (Stream->Read(head, 8) != 8 || Stream->Read(&size, 8) != 8 || size < 0 || size > Stream->Size()) return false;
      std::vector<uint8_t> raw(static_cast<size_t>(size));
      if (Stream->Read(raw.data(), static_cast<int32_t>(size)) != size) return false;
      TLayer l;
      l.Bitmap = std::make_unique<TPXBitmap>();
      if (!l.Bitmap->LoadRawFromStream(raw.data(), size, nullptr)) return false;
      l.IsImage = head[0] != 0;
      l.Value = head[1];
      l.Guid.D1 = NextGuid++;
      loaded.push_back(std::move(l));
    }
    if (!Append) Layers.clear();
    for (auto& l : loaded) Layers.push_back(std::move(l));
    Current = static_cast<int32_t>(Layers.size()) - 1;
    Fire(pxbcBitmapReplaced);
    return true;
  }
  void BlankPicture() override {
    TPXBitmap* b = GetPXBitmap();
    b->Allocate(1, 1, b->PixelFormat());
    b->Fill(0);
    ++Blanks;
  }
  int32_t SelectedLayerCount() override {
    int32_t n = 0;
    for (size_t i = 1; i < Layers.size(); ++i) n += Layers[i].Selected ? 1 : 0;
    return n;
  }
  void RemoveSelectedLayers(bool SaveUndo, bool Reselect, bool MoveBackgroundProps) override {
    RemoveArgs = {SaveUndo, Reselect, MoveBackgroundProps};
    for (size_t i = Layers.size(); i-- > 1;)
      if (Layers[i].Selected) Layers.erase(Layers.begin() + static_cast<std::ptrdiff_t>(i));
    Current = 0;
    Fire(pxbcBitmapReplaced);
  }
  int32_t AppendImageLayer() override {
    AddLayer(1, 1, px24RGB);
    Current = static_cast<int32_t>(Layers.size()) - 1;
    Fire(pxbcBitmapReplaced);
    return Current;
  }
  void RemoveLayer(int32_t Index) override {
    Layers.erase(Layers.begin() + Index);
    Current = 0;
    Fire(pxbcBitmapReplaced);
  }
  void SetLayersCurrent(int32_t Index) override {
    Current = Index;
    Fire(pxbcBitmapReplaced);
  }
  void LockViewUpdate() override { ++Locks; }
  void UnlockViewUpdate() override { --Locks; }
  bool ShowsAlphaChannel() override { return ShowAlpha; }
  bool AutoUndoChangesByUser() override { return UndoByUser; }
  bool SwapBackgroundProps() override { return SwapBackground; }
  bool RenderCurrentLayer(TPXBitmap* Dest) override {
    TPXBitmap* b = GetPXBitmap();
    if (!b) return false;
    Dest->AssignFrom(b, false);
    return true;
  }
  bool GetIODpi(int32_t& X, int32_t& Y) override {
    if (Dpi <= 0) return false;
    X = Y = Dpi;
    return true;
  }

  // One record: size, version 8006, kind 0, GUID, Value, first picture byte or -1.
  static constexpr int32_t RecordSize = 36;
  static void WriteRecord(TStream* Stream, const TGUID& Guid, int32_t Value, int32_t Pixel,
                          int32_t Size = RecordSize) {
    const int32_t head[3] = {Size, 8006, 0};
    Stream->WriteBuffer(head, 12);
    Stream->WriteBuffer(&Guid, 16);
    Stream->WriteBuffer(&Value, 4);
    Stream->WriteBuffer(&Pixel, 4);
  }

  std::vector<TLayer> Layers;
  int32_t Current = 0;
  TColor Bg = 0;
  int32_t UpdateReason = 0;
  int32_t Updates = 0;
  std::vector<int32_t> ImageChanges;
  std::map<int32_t, TPXBitmapChangeEvent> Handlers;
  TComponent Component{nullptr};
  TPXMask Mask;
  bool SelActive = false;
  int32_t SelectionValue = 0;
  int32_t LastSelectionMode = -1;
  int32_t LastCompression = 0;
  int32_t LayerLoads = 0;
  int32_t Blanks = 0;
  int32_t Locks = 0;
  bool ShowAlpha = false;
  bool ThrowOnLayersSave = false;
  bool UndoByUser = true;
  bool SwapBackground = false;
  int32_t Dpi = 0;  // 0: no resolution of its own
  struct {
    bool SaveUndo = false, Reselect = false, MoveBackgroundProps = false;
  } RemoveArgs;

 private:
  TPXHostKind Kind_;
  int32_t NextHandle = 1;
  uint32_t NextGuid = 0x1000;
};

// The caption and code of a component's newest undo entry (Code -1 when there is none).
struct TUndoEntry {
  std::string Caption;
  int32_t Code = -1;
};
inline TUndoEntry LastUndo(TPixoranProc& P) {
  TUndoEntry e;
  TPXUndoSource s;
  int32_t item;
  P.GetUndoInfo(0, s, e.Code, e.Caption, item);
  return e;
}
