// The undo and redo stores of TPixoranProc: saving states of the picture, the selection, the
// vector objects and the layers, and restoring them, moving the states passed over into the
// other store.
#include <algorithm>
#include <cstring>
#include <limits>

#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"

// ---------------------------------------------------------------------------------------------
// TPXUndoStore

TPXUndoStore::~TPXUndoStore() { Clear(); }

TPXUndoStoreInfo* TPXUndoStore::Add(std::unique_ptr<TObject> Object, TPXUndoSource Source, int32_t OperationCode,
                                    int32_t ImageIndex) {
  auto info = std::make_unique<TPXUndoStoreInfo>();
  info->Source = Source;
  info->OperationCode = OperationCode;
  info->ImageIndex = ImageIndex;
  TPXUndoStoreInfo* result = info.get();
  FObjects.push_back(std::move(Object));
  FInfos.push_back(std::move(info));
  return result;
}

void TPXUndoStore::Delete(int32_t Index) {
  if (!Valid(Index)) return;
  FObjects.erase(FObjects.begin() + Index);
  FInfos.erase(FInfos.begin() + Index);
}

std::unique_ptr<TObject> TPXUndoStore::TakeObject(int32_t Index) {
  if (!Valid(Index)) return nullptr;
  return std::move(FObjects[Index]);
}

void TPXUndoStore::Clear() {
  // Newest first, so temporary files go in the order they came.
  while (!FObjects.empty()) {
    FObjects.pop_back();
    FInfos.pop_back();
  }
}

TObject* TPXUndoStore::Object(int32_t Index) const { return Valid(Index) ? FObjects[Index].get() : nullptr; }
TPXUndoStoreInfo* TPXUndoStore::Info(int32_t Index) const { return Valid(Index) ? FInfos[Index].get() : nullptr; }
std::string TPXUndoStore::Caption(int32_t Index) const { return Valid(Index) ? FInfos[Index]->Caption : ""; }
void TPXUndoStore::SetCaption(int32_t Index, const std::string& Value) {
  if (Valid(Index)) FInfos[Index]->Caption = Value;
}
TPXUndoSource TPXUndoStore::Source(int32_t Index) const { return Valid(Index) ? FInfos[Index]->Source : pxuUnknown; }
void TPXUndoStore::SetSource(int32_t Index, TPXUndoSource Value) {
  if (Valid(Index)) FInfos[Index]->Source = Value;
}
int32_t TPXUndoStore::OperationCode(int32_t Index) const { return Valid(Index) ? FInfos[Index]->OperationCode : 0; }
void TPXUndoStore::SetOperationCode(int32_t Index, int32_t Value) {
  if (Valid(Index)) FInfos[Index]->OperationCode = Value;
}
int32_t TPXUndoStore::ImageIndex(int32_t Index) const { return Valid(Index) ? FInfos[Index]->ImageIndex : -1; }
void TPXUndoStore::SetImageIndex(int32_t Index, int32_t Value) {
  if (Valid(Index)) FInfos[Index]->ImageIndex = Value;
}
int32_t TPXUndoStore::LayerIndex(int32_t Index) const { return Valid(Index) ? FInfos[Index]->LayerIndex : -1; }
void TPXUndoStore::SetLayerIndex(int32_t Index, int32_t Value) {
  if (Valid(Index)) FInfos[Index]->LayerIndex = Value;
}

// ---------------------------------------------------------------------------------------------
// Layer records

bool IPXProcessingHost::PeekLayerRecordHeader(TStream* Stream, bool Restore, int32_t& Size, uint8_t& Kind,
                                              TGUID& GUID) {
  const int64_t start = Stream->Position();
  uint8_t head[PXLayerRecordHeaderSize];
  const bool complete = Stream->Read(head, PXLayerRecordHeaderSize) == PXLayerRecordHeaderSize;
  if (complete) {
    int32_t kind = 0;
    std::memcpy(&Size, head, 4);
    std::memcpy(&kind, head + 8, 4);
    Kind = static_cast<uint8_t>(kind & 0xFF);
    std::memcpy(&GUID.D1, head + 12, 4);
    std::memcpy(&GUID.D2, head + 16, 2);
    std::memcpy(&GUID.D3, head + 18, 2);
    std::memcpy(GUID.D4, head + 20, 8);
  }
  if (Restore || !complete) Stream->SetPosition(start);
  return complete;
}

namespace {
bool SameGUID(const TGUID& A, const TGUID& B) {
  return A.D1 == B.D1 && A.D2 == B.D2 && A.D3 == B.D3 && std::memcmp(A.D4, B.D4, sizeof A.D4) == 0;
}
}  // namespace

void RestoreLayerRecords(IPXProcessingHost* Host, TStream* Stream) {
  if (!Host || !Stream) return;
  const int64_t size = Stream->Size();
  int64_t pos = 0;
  Stream->SetPosition(0);
  while (pos < size) {
    int32_t recordSize = 0;
    uint8_t kind = 0;
    TGUID guid;
    // A record must hold at least its head and end inside the stream; anything else would loop
    // or seek backwards.
    if (!Host->PeekLayerRecordHeader(Stream, true, recordSize, kind, guid) || recordSize < PXLayerRecordHeaderSize ||
        recordSize > size - pos)
      throw EPXException("PXN File has been corrupted");
    int32_t found = -1;
    for (int32_t i = 0; i < Host->GetLayersCount() && found < 0; ++i)
      if (SameGUID(Host->LayerGUID(i), guid)) found = i;
    if (found >= 0) {
      Stream->SetPosition(pos);
      Host->LoadLayerFromStream(found, Stream);
    }
    pos += recordSize;
    Stream->SetPosition(pos);
  }
}

// ---------------------------------------------------------------------------------------------
// Counts and captions

bool TPixoranProc::CanUndo() { return FUndoStore->Count() > 0; }
bool TPixoranProc::CanRedo() { return FRedoStore->Count() > 0; }
int32_t TPixoranProc::UndoCount() { return FUndoStore->Count(); }
int32_t TPixoranProc::RedoCount() { return FRedoStore->Count(); }
std::string TPixoranProc::UndoCaptions(int32_t Index) { return FUndoStore->Caption(FUndoStore->Count() - 1 - Index); }
std::string TPixoranProc::RedoCaptions(int32_t Index) { return FRedoStore->Caption(FRedoStore->Count() - 1 - Index); }

void TPixoranProc::SetUndoLimit(int32_t Value) { FUndoLimit = std::max(0, Value); }

namespace {
void ReadInfo(TPXUndoStore* Store, int32_t Index, TPXUndoSource& Source, int32_t& OperationCode,
              std::string* Caption, int32_t* ItemIndex) {
  const int32_t i = Store->Count() - 1 - Index;
  const TPXUndoStoreInfo* info = Index >= 0 ? Store->Info(i) : nullptr;
  if (!info) {
    Source = pxuUnknown;
    OperationCode = 0;
    if (ItemIndex) *ItemIndex = -1;
    return;
  }
  Source = info->Source;
  OperationCode = info->OperationCode;
  if (Caption) *Caption = info->Caption;
  if (ItemIndex) *ItemIndex = info->ImageIndex >= 0 ? info->ImageIndex : info->LayerIndex;
}
}  // namespace

void TPixoranProc::GetUndoInfo(int32_t Index, TPXUndoSource& Source, int32_t& OperationCode, std::string& Caption,
                               int32_t& ItemIndex) {
  ReadInfo(FUndoStore.get(), Index, Source, OperationCode, &Caption, &ItemIndex);
}
void TPixoranProc::GetUndoInfo(int32_t Index, TPXUndoSource& Source, int32_t& OperationCode) {
  ReadInfo(FUndoStore.get(), Index, Source, OperationCode, nullptr, nullptr);
}
void TPixoranProc::GetRedoInfo(int32_t Index, TPXUndoSource& Source, int32_t& OperationCode, std::string& Caption,
                               int32_t& ItemIndex) {
  ReadInfo(FRedoStore.get(), Index, Source, OperationCode, &Caption, &ItemIndex);
}
void TPixoranProc::GetRedoInfo(int32_t Index, TPXUndoSource& Source, int32_t& OperationCode) {
  ReadInfo(FRedoStore.get(), Index, Source, OperationCode, nullptr, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Deleting

void TPixoranProc::UndoRemove() { ClearUndoAt(0); }
void TPixoranProc::ClearAllUndo() { FUndoStore->Clear(); }
void TPixoranProc::ClearAllRedo() { FRedoStore->Clear(); }
void TPixoranProc::RedoRemove() { ClearRedoAt(0); }

void TPixoranProc::ClearUndoAt(int32_t Index) {
  if (Index >= 0 && Index < FUndoStore->Count()) FUndoStore->Delete(FUndoStore->Count() - 1 - Index);
}

void TPixoranProc::ClearRedoAt(int32_t Index) {
  if (Index >= 0 && Index < FRedoStore->Count()) FRedoStore->Delete(FRedoStore->Count() - 1 - Index);
}

// ---------------------------------------------------------------------------------------------
// Saving

void TPixoranProc::MakeRoom(TPXUndoStore* Store) {
  while (Store->Count() > 0 && Store->Count() >= FUndoLimit) Store->Delete(0);
}

namespace {
// Copies Source's pixels, alpha and attributes into Dest when both have the same shape (size,
// format, rows, alpha channel or none); False leaves Dest as it was.
bool CopyIntoSameShape(TPXBitmap* Dest, TPXBitmap* Source) {
  auto same = [](TPXBitmap* a, TPXBitmap* b) {
    return a->Width() == b->Width() && a->Height() == b->Height() && a->PixelFormat() == b->PixelFormat() &&
           a->RowLen() == b->RowLen() && !a->IsVirtual() && !b->IsVirtual() && a->Location() != pxTBitmap;
  };
  TPXBitmap* da = Dest->PeekAlphaChannel();
  TPXBitmap* sa = Source->PeekAlphaChannel();
  if (!same(Dest, Source) || (da == nullptr) != (sa == nullptr) || (da && !same(da, sa))) return false;
  auto copyRows = [](TPXBitmap* d, TPXBitmap* s) {
    const size_t len = static_cast<size_t>(d->RowLen());
    for (int32_t y = 0; y < d->Height(); ++y) std::memcpy(d->Scanline(y), s->Scanline(y), len);
    d->FFull = s->FFull;
  };
  copyRows(Dest, Source);
  if (da) copyRows(da, sa);
  Dest->CopyAttributesFrom(Source, false);
  return true;
}
}  // namespace

std::unique_ptr<TObject> TPixoranProc::CaptureState(TPXUndoSource Source, int32_t& LayerIndex,
                                                    std::unique_ptr<TPXBitmap> Recycled) {
  LayerIndex = -1;
  switch (Source) {
    case pxuImage: {
      if (!FTargetBitmap || FTargetBitmap->IsEmpty()) return nullptr;
      if (HostIsLayerView()) LayerIndex = FAttachedPixoran->LayersCurrent();
      if (Recycled && CopyIntoSameShape(Recycled.get(), FTargetBitmap)) return Recycled;
      auto copy = std::make_unique<TPXBitmap>();
      // A file copy always goes to a temporary file, its alpha channel too; a memory copy always
      // stays in memory.
      const int64_t limit = FUndoLocation == pxMemory ? std::numeric_limits<int64_t>::max() : 0;
      copy->FLocation = FUndoLocation;
      copy->FMemoryLimit = limit;
      if (FTargetBitmap->HasAlphaChannel()) {
        auto alpha = std::make_unique<TPXBitmap>();
        alpha->FIsAlphaChannel = 1;
        alpha->FLocation = FUndoLocation == pxTBitmap ? pxMemory : FUndoLocation;
        alpha->FMemoryLimit = limit;
        copy->FAlphaChannel = std::move(alpha);
      }
      copy->AssignFrom(FTargetBitmap, false);
      if (copy->IsEmpty()) return nullptr;
      return copy;
    }
    case pxuSelection: {
      if (!HostIsLayerView()) return nullptr;
      auto stream = std::make_unique<TMemoryStream>();
      FAttachedPixoran->SaveSelectionToStream(stream.get());
      return stream;
    }
    case pxuObject: {
      if (!HostIsVectorView()) return nullptr;
      auto stream = std::make_unique<TMemoryStream>();
      FAttachedPixoran->SaveObjectsToStream(stream.get(), -3);
      return stream;
    }
    case pxuLayer:
    case pxuFullLayer:
    case pxuObjectsAndLayers: {
      if (!HostIsLayerView()) return nullptr;
      if (Source == pxuObjectsAndLayers && HostIsVectorView()) {
        auto stream = std::make_unique<TMemoryStream>();
        FAttachedPixoran->SaveAllToStream(stream.get(), -1);
        return stream;
      }
      std::unique_ptr<TStream> stream;
      if (FUndoLocation == pxFile && Source != pxuLayer)
        stream = std::make_unique<TPXTemporaryFileStream>(MakeTempFileName("UND", "", ""));
      else
        stream = std::make_unique<TMemoryStream>();
      if (Source == pxuObjectsAndLayers) {
        FAttachedPixoran->LayersSaveToStream(stream.get(), -2, false, false, false, false, TPXProgressEvent());
      } else {
        const int32_t current = FAttachedPixoran->LayersCurrent();
        for (int32_t i = 0; i < FAttachedPixoran->GetLayersCount(); ++i)
          FAttachedPixoran->SaveLayerToStream(i, stream.get(), -2, Source == pxuFullLayer && i == current);
      }
      return stream;
    }
    default:
      return nullptr;
  }
}

TPXUndoStoreInfo* TPixoranProc::SaveState(TPXUndoStore* Store, const std::string& Caption, TPXUndoSource Source,
                                          int32_t OperationCode) {
  if (FUndoLimit <= 0) return nullptr;
  int32_t layerIndex = -1;
  // A full store gives up its oldest entry anyway: an image copy of the same shape is reused, so
  // a long run of saves writes into storage that is already there.
  std::unique_ptr<TPXBitmap> recycled;
  if (Source == pxuImage && FTargetBitmap && Store->Count() > 0 && Store->Count() >= FUndoLimit &&
      Store->Source(0) == pxuImage) {
    if (auto* oldest = dynamic_cast<TPXBitmap*>(Store->Object(0));
        oldest && oldest->Location() == FUndoLocation && oldest->Width() == FTargetBitmap->Width() &&
        oldest->Height() == FTargetBitmap->Height()) {
      recycled.reset(static_cast<TPXBitmap*>(Store->TakeObject(0).release()));
      Store->Delete(0);
    }
  }
  std::unique_ptr<TObject> saved = CaptureState(Source, layerIndex, std::move(recycled));
  if (!saved) return nullptr;
  MakeRoom(Store);
  TPXUndoStoreInfo* info = Store->Add(std::move(saved), Source, OperationCode, FUndoImageIndex);
  info->LayerIndex = layerIndex;
  if (!Caption.empty()) info->Caption = Caption;
  return info;
}

void TPixoranProc::StoreUndoState(const std::string& Caption, TPXUndoSource Source, bool ClearRedo,
                                  int32_t OperationCode) {
  if (FUndoLimit <= 0) return;
  if (Source == pxuImage && !PrepareBitmap(TPXPixelFormatSet{}, false)) return;
  // Only a save that stored something clears the redo store.
  if (SaveState(FUndoStore.get(), Caption, Source, OperationCode) && ClearRedo) ClearAllRedo();
  if (FOnSaveUndo) FOnSaveUndo(this, Source);
}

void TPixoranProc::CommitUndoState(std::unique_ptr<TObject> Saved, int32_t LayerIndex, const std::string& Caption,
                                   TPXUndoSource Source, int32_t OperationCode) {
  if (!Saved || FUndoLimit <= 0) return;
  MakeRoom(FUndoStore.get());
  TPXUndoStoreInfo* info = FUndoStore->Add(std::move(Saved), Source, OperationCode, FUndoImageIndex);
  info->LayerIndex = LayerIndex;
  if (!Caption.empty()) info->Caption = Caption;
  ClearAllRedo();
  if (FOnSaveUndo) FOnSaveUndo(this, Source);
}

void TPixoranProc::SaveUndo(TPXUndoSource Source, bool ClearRedo) { StoreUndoState("", Source, ClearRedo, 0); }

void TPixoranProc::StoreRedoState(const std::string& Caption, TPXUndoSource Source) {
  if (FUndoLimit <= 0) return;
  if (Source == pxuImage && !PrepareBitmap(TPXPixelFormatSet{}, false)) return;
  SaveState(FRedoStore.get(), Caption, Source, 0);
}

void TPixoranProc::SaveRedo(TPXUndoSource Source) { StoreRedoState("", Source); }

// ---------------------------------------------------------------------------------------------
// Restoring

void TPixoranProc::RestoreState(TPXUndoSource Source, TObject* Saved, int32_t LayerIndex) {
  if (!Saved) return;
  switch (Source) {
    case pxuImage: {
      TPXBitmap* dest = FTargetBitmap;
      if (HostIsLayerView() && LayerIndex >= 0 && FAttachedPixoran->GetLayersCount() > 0) {
        const int32_t layer = std::clamp(LayerIndex, 0, FAttachedPixoran->GetLayersCount() - 1);
        if (TPXBitmap* layerBitmap = FAttachedPixoran->LayerBitmap(layer)) dest = layerBitmap;
      }
      if (!dest) return;
      dest->AssignFrom(Saved, false);
      if (dest != FTargetBitmap) dest->DoChange();
      ImageChanged();
      break;
    }
    case pxuSelection:
      if (auto* stream = dynamic_cast<TStream*>(Saved); stream && HostIsLayerView()) {
        stream->SetPosition(0);
        FAttachedPixoran->LoadSelectionFromStream(stream, 1);
      }
      break;
    case pxuObject:
      if (auto* stream = dynamic_cast<TStream*>(Saved); stream && HostIsVectorView()) {
        stream->SetPosition(0);
        FAttachedPixoran->LoadObjectsFromStream(stream);
      }
      break;
    case pxuLayer:
    case pxuFullLayer:
      if (auto* stream = dynamic_cast<TStream*>(Saved); stream && HostIsLayerView()) {
        RestoreLayerRecords(FAttachedPixoran, stream);
        FAttachedPixoran->Update();
      }
      break;
    case pxuObjectsAndLayers:
      if (auto* stream = dynamic_cast<TStream*>(Saved); stream && HostIsLayerView()) {
        stream->SetPosition(0);
        if (HostIsVectorView()) FAttachedPixoran->LoadAllFromStream(stream);
        else FAttachedPixoran->LayersLoadFromStream(stream, false, TPXProgressEvent());
      }
      break;
    default:
      break;
  }
}

void TPixoranProc::StepAt(bool IsUndo, int32_t Index, bool RemoveEntry) {
  if (!PrepareBitmap(TPXPixelFormatSet{}, false)) return;
  TPXUndoStore* from = IsUndo ? FUndoStore.get() : FRedoStore.get();
  TPXUndoStore* to = IsUndo ? FRedoStore.get() : FUndoStore.get();
  const int32_t n = from->Count();
  if (n <= 0 || Index < 0 || Index >= n) return;
  const int32_t t = n - 1 - Index;
  auto copyInfo = [](const TPXUndoStoreInfo* src, TPXUndoStoreInfo* dst) {
    dst->Caption = src->Caption;
    dst->LayerIndex = src->LayerIndex;
    dst->OperationCode = src->OperationCode;
    dst->ImageIndex = src->ImageIndex;
  };
  if (RemoveEntry) {
    for (int32_t k = n - 1; k >= t; --k) {
      const TPXUndoStoreInfo* entry = from->Info(k);
      TPXUndoStoreInfo* added = nullptr;
      if (k == n - 1) {
        // The current state; redoing saves it as SaveUndo (Source, False) does, with its event.
        added = SaveState(to, "", entry->Source, 0);
        if (!IsUndo && FUndoLimit > 0 && FOnSaveUndo) FOnSaveUndo(this, entry->Source);
      } else if (std::unique_ptr<TObject> moved = from->TakeObject(k + 1)) {
        if (FUndoLimit > 0) {
          MakeRoom(to);
          added = to->Add(std::move(moved), entry->Source, 0, FUndoImageIndex);
        }
      }
      // A save that stored nothing leaves every record as it was.
      if (added) copyInfo(entry, added);
    }
  }
  TObject* saved = from->Object(t);
  const TPXUndoStoreInfo* target = from->Info(t);
  bool handled = false;
  if (FUndoRedoCallback) FUndoRedoCallback(this, IsUndo, target->Source, saved, target->ImageIndex, handled);
  if (!handled) RestoreState(target->Source, saved, target->LayerIndex);
  if (RemoveEntry) {
    for (int32_t k = n - 1; k >= t; --k) from->Delete(k);
    if (FAttachedPixoran) FAttachedPixoran->ImageChange(2);
  }
}

void TPixoranProc::UndoAt(int32_t Index, bool RemoveEntry) { StepAt(true, Index, RemoveEntry); }
void TPixoranProc::Undo(bool RemoveEntry) { UndoAt(0, RemoveEntry); }
void TPixoranProc::RedoAt(int32_t Index, bool RemoveEntry) { StepAt(false, Index, RemoveEntry); }
void TPixoranProc::Redo(bool RemoveEntry) { RedoAt(0, RemoveEntry); }
