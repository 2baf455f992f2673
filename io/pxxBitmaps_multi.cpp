// The multi-image container, its per-picture parameters and the entry stream form.
#include "io/pxxBitmaps_multi.h"

#include <algorithm>
#include <cstring>

#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pixoranio_sniff.h"
#include "io/pixoranio_web.h"
#include "io/pxxBitmaps_params.h"
#include "platform/gdi/ImgList.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------------------------
// TPXImageInfo

TPXImageInfo::~TPXImageInfo() = default;

TPXDictionary* TPXImageInfo::GetDictionary() {
  if (!Dictionary) Dictionary = std::make_unique<TPXDictionary>(103);
  return Dictionary.get();
}

// ---------------------------------------------------------------------------------------------
// TIOMultiParams

TIOMultiParams::TIOMultiParams() = default;
TIOMultiParams::~TIOMultiParams() = default;

TIOParams* TIOMultiParams::GetParams(int32_t Index) {
  if (Index < 0 || Index >= Count()) return nullptr;
  auto& slot = FList[static_cast<size_t>(Index)];
  if (!slot) {
    slot = std::make_unique<TIOParams>(nullptr);
    if (Index > 0 && FList[static_cast<size_t>(Index) - 1]) slot->AssignSaveOptions(FList[Index - 1].get());
  }
  return slot.get();
}

TIOParams* TIOMultiParams::PeekParams(int32_t Index) const {
  if (Index < 0 || Index >= Count()) return nullptr;
  return FList[static_cast<size_t>(Index)].get();
}

void TIOMultiParams::Clear() { FList.clear(); }

void TIOMultiParams::Insert(int32_t Index) {
  if (Index < 0) return;
  if (Index >= Count()) FList.emplace_back();
  else FList.emplace(FList.begin() + Index);
}

void TIOMultiParams::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count()) return;
  FList.erase(FList.begin() + Index);
}

void TIOMultiParams::Move(int32_t Index, int32_t NewIndex) {
  if (Index < 0 || Index >= Count() || NewIndex < 0 || Index == NewIndex) return;
  auto slot = std::move(FList[static_cast<size_t>(Index)]);
  FList.erase(FList.begin() + Index);
  if (NewIndex >= Count()) FList.push_back(std::move(slot));
  else FList.insert(FList.begin() + NewIndex, std::move(slot));
}

void TIOMultiParams::Exchange(int32_t A, int32_t B) {
  if (A < 0 || B < 0 || A >= Count() || B >= Count()) return;
  std::swap(FList[static_cast<size_t>(A)], FList[static_cast<size_t>(B)]);
}

void TIOMultiParams::MoveIndexes(const std::vector<int32_t>& Indexes, int32_t Destination) {
  // Filled first, so that an empty slot marks a hole left by a moved one.
  for (int32_t i = 0; i < Count(); ++i) GetParams(i);
  // Slots keep their identity through the moves; holes are removed at the end.
  std::vector<TIOParams*> taken;
  for (int32_t index : Indexes) {
    if (index < 0 || index >= Count()) continue;
    auto& slot = FList[static_cast<size_t>(index)];
    if (!slot) continue;  // listed twice
    taken.push_back(slot.get());
  }
  std::vector<std::unique_ptr<TIOParams>> moved;
  for (TIOParams* p : taken) {
    auto it = std::find_if(FList.begin(), FList.end(), [p](const auto& s) { return s.get() == p; });
    moved.push_back(std::move(*it));  // leaves a hole
  }
  int32_t at = std::max<int32_t>(Destination, 0);
  for (auto& p : moved) {
    if (at >= Count()) FList.push_back(std::move(p));
    else FList.insert(FList.begin() + at, std::move(p));
    ++at;
  }
  FList.erase(std::remove(FList.begin(), FList.end(), nullptr), FList.end());
}

void TIOMultiParams::SetCount(int32_t N) {
  while (Count() < N) FList.emplace_back();
}

void TIOMultiParams::CopyFirstSaveOptions() {
  if (Count() == 0) return;
  TIOParams* first = GetParams(0);
  for (int32_t i = 1; i < Count(); ++i) GetParams(i)->AssignSaveOptions(first);
}

void TIOMultiParams::ApplyChange(int32_t Kind, int32_t Index, const std::vector<int32_t>& Indexes, int32_t Value) {
  switch (Kind) {
    case 1: Insert(Index); break;
    case 2: Delete(Index); break;
    case 3: Move(Index, Value); break;
    case 4: Exchange(Index, Value); break;
    case 5: MoveIndexes(Indexes, Value); break;
    case 6: Clear(); break;
    case 7: SetCount(Value); break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------------
// TPXCustomMultiBitmap: construction

TPXCustomMultiBitmap::TPXCustomMultiBitmap()
    : FParams(std::make_unique<TIOMultiParams>()), FCache(std::make_unique<TPXVirtualImageList>("ILIST", true)) {
  FCache->SetMaxMapped(FMaxImagesInMemory);
}

std::unique_ptr<TPXCustomMultiBitmap> TPXCustomMultiBitmap::CreateWithStorage(bool UseFile) {
  auto result = std::make_unique<TPXCustomMultiBitmap>();
  result->SetUseFile(UseFile);
  return result;
}

TPXCustomMultiBitmap::~TPXCustomMultiBitmap() {
  while (!FEntries.empty()) FEntries.pop_back();
  FCache.reset();
}

void TPXCustomMultiBitmap::PrepareImage(int32_t /*Index*/) {}

void TPXCustomMultiBitmap::GetImageFromSource(int32_t /*Index*/, TIOParams* /*Params*/,
                                              std::unique_ptr<TPXBitmap>& /*Bitmap*/, int32_t /*SourceIndex*/) {}

// ---------------------------------------------------------------------------------------------
// Entries

TPXImageInfo* TPXCustomMultiBitmap::GetImageInfo(int32_t Index) {
  if (!IsValidIndex(Index)) return nullptr;
  PrepareImage(Index);
  return FEntries[static_cast<size_t>(Index)].get();
}

void TPXCustomMultiBitmap::Changed(int32_t Index) {
  FModified = true;
  if (IsValidIndex(Index)) FEntries[static_cast<size_t>(Index)]->CachedInfo.clear();
  if (FOnChanged) FOnChanged(this, Index);
}

void TPXCustomMultiBitmap::DoUpdate(bool /*Flag*/) {
  if (FUpdateCount > 0) {
    FUpdatePending = true;
    return;
  }
  if (FOwnerView) FOwnerView->RefreshMultiBitmap();
}

void TPXCustomMultiBitmap::BeginUpdate() { ++FUpdateCount; }

void TPXCustomMultiBitmap::EndUpdate() {
  if (FUpdateCount > 0) --FUpdateCount;
  if (FUpdateCount > 0) return;
  if (FUpdatePending) {
    FUpdatePending = false;
    DoUpdate(false);
  } else if (FOwnerView) {
    FOwnerView->RefreshMultiBitmap();
  }
}

void TPXCustomMultiBitmap::SetMaxImagesInMemory(int32_t Value) {
  FMaxImagesInMemory = Value;
  FCache->SetMaxMapped(Value);
}

void TPXCustomMultiBitmap::SetUseFile(bool Value) {
  if (Value == FUseFile) return;
  FUseFile = Value;
  Clear();
}

void TPXCustomMultiBitmap::Clear() {
  while (!FEntries.empty()) FEntries.pop_back();
  FParams->Clear();
  FCache = std::make_unique<TPXVirtualImageList>("ILIST", FUseFile);
  FCache->SetMaxMapped(FMaxImagesInMemory);
  Changed(-1);
}

int32_t TPXCustomMultiBitmap::InsertImage(int32_t Index) {
  if (Index < 0) Index = 0;
  if (Index > GetCount()) Index = GetCount();
  auto entry = std::make_unique<TPXImageInfo>(this);
  entry->Background = FDefaultBackground;
  FEntries.insert(FEntries.begin() + Index, std::move(entry));
  FParams->Insert(Index);
  Changed(-1);
  return Index;
}

int32_t TPXCustomMultiBitmap::InsertImage(int32_t Index, TStream* Stream, TPXFileType FileType) {
  Index = InsertImage(Index);
  LoadImage(Index, Stream, FileType, 0);
  return Index;
}

int32_t TPXCustomMultiBitmap::InsertImage(int32_t Index, TPXBitmap* Bitmap) {
  Index = InsertImage(Index);
  SetImage(Index, Bitmap);
  if (FKeepParams && Bitmap && Bitmap->HasParams()) GetParams(Index)->Assign(Bitmap->GetParams());
  return Index;
}

void TPXCustomMultiBitmap::InsertImage(int32_t Index, TPXCustomMultiBitmap* Source) {
  if (!Source) return;
  if (Index < 0) Index = 0;
  if (Index > GetCount()) Index = GetCount();
  const int32_t count = Source->GetCount();  // once: Source may be this container
  for (int32_t i = 0; i < count; ++i) {
    // Inserting into this container shifts its pictures at or after the insertion point.
    const bool self = Source == this;
    const int32_t from = (self && i >= Index) ? i + i : i;
    TPXBitmap* bitmap = Source->GetBitmap(from);
    const int32_t at = bitmap ? InsertImage(Index + i, bitmap) : InsertImage(Index + i);
    const int32_t now = (self && from >= at) ? from + 1 : from;
    if (bitmap) Source->ReleaseBitmap(now, false);
    TPXImageInfo* src = Source->FEntries[static_cast<size_t>(now)].get();
    if (src->HasDictionary()) FEntries[static_cast<size_t>(at)]->GetDictionary()->Assign(src->Dictionary.get());
  }
}

int32_t TPXCustomMultiBitmap::InsertImage(int32_t Index, TBitmap* Bitmap) {
  Index = InsertImage(Index);
  SetImage(Index, Bitmap);
  return Index;
}

int32_t TPXCustomMultiBitmap::InsertImage(int32_t Index, int32_t Width, int32_t Height, TPXPixelFormat PixelFormat) {
  Index = InsertImage(Index);
  SetImage(Index, Width, Height, PixelFormat);
  return Index;
}

int32_t TPXCustomMultiBitmap::InsertImage(int32_t Index, const std::string& FileName) {
  Index = InsertImage(Index);
  if (LoadImage(Index, FileName, 0, 0)) SetImageFileName(Index, FileName);
  return Index;
}

int32_t TPXCustomMultiBitmap::AppendImage() { return InsertImage(GetCount()); }
int32_t TPXCustomMultiBitmap::AppendImage(TStream* Stream, TPXFileType FileType) {
  return InsertImage(GetCount(), Stream, FileType);
}
int32_t TPXCustomMultiBitmap::AppendImage(TPXBitmap* Bitmap) { return InsertImage(GetCount(), Bitmap); }
int32_t TPXCustomMultiBitmap::AppendImage(TPXCustomMultiBitmap* Source) {
  InsertImage(GetCount(), Source);
  return GetCount() - 1;
}
int32_t TPXCustomMultiBitmap::AppendImage(TBitmap* Bitmap) { return InsertImage(GetCount(), Bitmap); }
int32_t TPXCustomMultiBitmap::AppendImage(int32_t Width, int32_t Height, TPXPixelFormat PixelFormat) {
  return InsertImage(GetCount(), Width, Height, PixelFormat);
}
int32_t TPXCustomMultiBitmap::AppendImage(const std::string& FileName) { return InsertImage(GetCount(), FileName); }

void TPXCustomMultiBitmap::ReleaseBitmap(int32_t Index, bool Save) {
  if (!IsValidIndex(Index)) return;
  TPXImageInfo* entry = FEntries[static_cast<size_t>(Index)].get();
  if (!entry->Image) return;
  FCache->ReleaseImageBitmap(entry->Image, Save);
  if (Save) Changed(Index);
}

void TPXCustomMultiBitmap::DeleteImage(int32_t Index) {
  if (!IsValidIndex(Index)) return;
  TPXImageInfo* entry = FEntries[static_cast<size_t>(Index)].get();
  if (entry->Image) FCache->DeleteImage(entry->Image);
  FEntries.erase(FEntries.begin() + Index);
  FParams->Delete(Index);
  Changed(-1);
}

void TPXCustomMultiBitmap::SetImage(int32_t Index, TBitmap* Bitmap) {
  if (!Bitmap) return;
  TPXBitmap temp;
  const TPixelFormat format = Bitmap->PixelFormat();
  if (format == pf1bit || format == pf8bit || format == pf24bit || format == pf32bit) {
    temp.AttachTBitmap(Bitmap, true);
  } else {
    temp.CopyFromTBitmap(Bitmap);
  }
  SetImage(Index, &temp);
}

void TPXCustomMultiBitmap::SetImage(int32_t Index, TPXBitmap* Bitmap) {
  if (!IsValidIndex(Index) || !Bitmap) return;
  PrepareImage(Index);
  TPXImageInfo* entry = FEntries[static_cast<size_t>(Index)].get();
  if (entry->Image) {
    FCache->DeleteImage(entry->Image);
    entry->Image = nullptr;
  }
  entry->Image = FCache->AddBitmapDirect(Bitmap);
  if (entry->Image) {
    FCache->SetOriginalWidth(entry->Image, Bitmap->Width());
    FCache->SetOriginalHeight(entry->Image, Bitmap->Height());
  }
  Changed(Index);
}

void TPXCustomMultiBitmap::SetImage(int32_t Index, int32_t Width, int32_t Height, TPXPixelFormat PixelFormat) {
  auto bitmap = TPXBitmap::CreateAllocated(Width, Height, PixelFormat);
  if (bitmap->Width() > 0 && bitmap->Height() > 0) bitmap->Fill(0);
  SetImage(Index, bitmap.get());
}

// ---------------------------------------------------------------------------------------------
// Queries

TPXVirtualImage TPXCustomMultiBitmap::LoadedImage(int32_t Index) {
  if (!IsValidIndex(Index)) return nullptr;
  EnsureLoaded(Index);
  return FEntries[static_cast<size_t>(Index)]->Image;
}

int32_t TPXCustomMultiBitmap::GetImageWidth(int32_t Index) {
  auto* image = LoadedImage(Index);
  return image ? FCache->GetImageWidth(image) : 0;
}

int32_t TPXCustomMultiBitmap::GetImageHeight(int32_t Index) {
  auto* image = LoadedImage(Index);
  return image ? FCache->GetImageHeight(image) : 0;
}

int32_t TPXCustomMultiBitmap::GetImageOriginalWidth(int32_t Index) {
  auto* image = LoadedImage(Index);
  return image ? FCache->GetOriginalWidth(image) : 0;
}

int32_t TPXCustomMultiBitmap::GetImageOriginalHeight(int32_t Index) {
  auto* image = LoadedImage(Index);
  return image ? FCache->GetOriginalHeight(image) : 0;
}

void TPXCustomMultiBitmap::SetImageOriginalWidth(int32_t Index, int32_t Value) {
  if (IsValidIndex(Index) && FEntries[static_cast<size_t>(Index)]->Image)
    FCache->SetOriginalWidth(FEntries[static_cast<size_t>(Index)]->Image, Value);
}

void TPXCustomMultiBitmap::SetImageOriginalHeight(int32_t Index, int32_t Value) {
  if (IsValidIndex(Index) && FEntries[static_cast<size_t>(Index)]->Image)
    FCache->SetOriginalHeight(FEntries[static_cast<size_t>(Index)]->Image, Value);
}

std::string TPXCustomMultiBitmap::GetImageFileName(int32_t Index) {
  return IsValidIndex(Index) ? FEntries[static_cast<size_t>(Index)]->FileName : std::string();
}

void TPXCustomMultiBitmap::SetImageFileName(int32_t Index, const std::string& Name) {
  if (!IsValidIndex(Index)) return;
  FEntries[static_cast<size_t>(Index)]->FileName = Name;
  FEntries[static_cast<size_t>(Index)]->ImageIndex = -1;
}

TPXDictionary* TPXCustomMultiBitmap::GetImageDictionary(int32_t Index) {
  return IsValidIndex(Index) ? FEntries[static_cast<size_t>(Index)]->GetDictionary() : nullptr;
}

void TPXCustomMultiBitmap::SetImageDelayTime(int32_t Index, double Milliseconds) {
  if (!IsValidIndex(Index)) return;
  FEntries[static_cast<size_t>(Index)]->DelayTime = Milliseconds;
  Changed(Index);
}

TPXBitmap* TPXCustomMultiBitmap::GetBitmap(int32_t Index) {
  auto* image = LoadedImage(Index);
  if (!image) return nullptr;
  TPXBitmap* bitmap = FCache->GetBitmap(image);
  if (bitmap && FKeepParams) {
    bitmap->SetHasParams(true);
    bitmap->GetParams()->Assign(GetParams(Index));
  }
  return bitmap;
}

// ---------------------------------------------------------------------------------------------
// Loading

namespace {

// The EXIF original date of Params when the settings ask for it (0 otherwise).
double ExifFileDate(TIOParams* Params) {
  auto* settings = GlobalSettingsInstance();
  if (!settings || !settings->FUseExifDate || !Params) return 0;
  const double date = Params->GetExifDateTimeOriginalValue();
  return date > 0 ? date : 0;
}

bool IsDownloadAddress(const std::string& Name) {
  auto starts = [&Name](const char* prefix) { return Name.rfind(prefix, 0) == 0; };
  return starts("http://") || starts("https://") || starts("ftp://");
}

}  // namespace

// The lazily loaded picture goes into the cache with its size as original size.
void TPXCustomMultiBitmap::StoreLoaded(int32_t Index, TPXBitmap* Bitmap, TIOParams* IOParams) {
  TPXImageInfo* entry = FEntries[static_cast<size_t>(Index)].get();
  if (FKeepParams && IOParams) GetParams(Index)->Assign(IOParams);
  entry->Image = FCache->AddBitmapDirect(Bitmap);
  if (entry->Image) {
    FCache->SetOriginalWidth(entry->Image, Bitmap->Width());
    FCache->SetOriginalHeight(entry->Image, Bitmap->Height());
  }
  if (const double date = ExifFileDate(IOParams); date > 0) entry->FileDate = date;
}

void TPXCustomMultiBitmap::EnsureLoaded(int32_t Index) {
  if (!IsValidIndex(Index)) return;
  TPXImageInfo* entry = FEntries[static_cast<size_t>(Index)].get();
  if (entry->Image) return;
  try {
    if (FOwnerView) {
      FOwnerView->LoadMultiBitmapImage(Index);
      return;
    }
    if (entry->ImageIndex < 0 || !HasImageSource()) {
      if (entry->FileName.empty()) return;
      TPXBitmap bitmap;
      auto io = TPixoranIO::CreateForBitmap(&bitmap);
      io->SetBackground(entry->Background);
      io->LoadFromFileAuto(entry->FileName);
      if (io->Aborting() || (bitmap.Width() < 2 && bitmap.Height() < 2)) throw EPXException("Load Error");
      entry->Background = io->Background();
      StoreLoaded(Index, &bitmap, io->Params());
    } else {
      TIOParams params(nullptr);
      std::unique_ptr<TPXBitmap> bitmap;
      GetImageFromSource(Index, FKeepParams ? &params : nullptr, bitmap, entry->ImageIndex);
      if (!bitmap) throw EPXException("Load Error");
      StoreLoaded(Index, bitmap.get(), FKeepParams ? &params : nullptr);
    }
  } catch (...) {
    // The entry simply stays without pixels.
  }
}

bool TPXCustomMultiBitmap::LoadImage(int32_t Index, const std::string& FileName, TPXFileType FileType,
                                     int32_t ImageIndex) {
  return LoadImage(Index, nullptr, FileType, ImageIndex, FileName);
}

bool TPXCustomMultiBitmap::LoadImage(int32_t Index, TStream* Stream, TPXFileType FileType, int32_t ImageIndex) {
  return LoadImage(Index, Stream, FileType, ImageIndex, std::string());
}

bool TPXCustomMultiBitmap::LoadImage(int32_t Index, TStream* Stream, TPXFileType FileType, int32_t ImageIndex,
                                     const std::string& FileName) {
  if (!IsValidIndex(Index)) return false;
  if (!Stream && IsDownloadAddress(FileName)) {
    TMemoryStream data;
    std::string hint;
    auto* settings = GlobalSettingsInstance();
    if (!DownloadURL(FileName, &data, settings->FProxyAddress, hint, nullptr, nullptr, {}, settings->FProxyPassword,
                     settings->FProxyUser))
      return false;
    data.SetPosition(0);
    return LoadImage(Index, &data, FileType, ImageIndex, std::string());
  }
  TPXImageInfo* entry = FEntries[static_cast<size_t>(Index)].get();
  auto bitmap = std::make_unique<TPXBitmap>();
  auto io = TPixoranIO::CreateForBitmap(bitmap.get());
  io->SetBackground(entry->Background);
  io->Params()->SetImageIndex(ImageIndex);
  try {
    if (Stream) {
      io->LoadFromStream(Stream, FileType);
    } else {
      if (FileType == 0) FileType = FindFileFormat(FileName, 2);
      io->LoadFromFile(FileName, FileType);
      if (!io->Aborting() && entry->FileName.empty()) SetImageFileName(Index, FileName);
    }
  } catch (const std::exception&) {
    io->SetAborting(true);
  }
  if (io->Aborting()) return false;
  if (FKeepParams) GetParams(Index)->Assign(io->Params());
  entry->Background = io->Background();
  const uint8_t keep = entry->KeepFlag;
  SetImage(Index, bitmap.get());
  entry->KeepFlag = keep;
  if (entry->Image) {
    if (io->Params()->OriginalWidth > 0) FCache->SetOriginalWidth(entry->Image, io->Params()->OriginalWidth);
    if (io->Params()->OriginalHeight > 0) FCache->SetOriginalHeight(entry->Image, io->Params()->OriginalHeight);
  }
  if (const double date = ExifFileDate(io->Params()); date > 0) entry->FileDate = date;
  Changed(Index);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Processing operations

template <typename Op>
void TPXCustomMultiBitmap::WithBitmap(int32_t Index, bool GiveProgress, Op&& Operation) {
  TPXBitmap* bitmap = GetBitmap(Index);
  if (!bitmap) throw EPXException("Cannot access image");
  // The bitmap goes back on every path; only a finished operation is saved.
  try {
    if (GiveProgress) bitmap->SetOnProgress(FOnProgress);
    Operation(bitmap);
    bitmap->SetOnProgress({});
  } catch (...) {
    bitmap->SetOnProgress({});
    ReleaseBitmap(Index, false);
    throw;
  }
  ReleaseBitmap(Index, true);
  Update();
}

void TPXCustomMultiBitmap::FlipImage(int32_t Index, TPXFlipDirection Direction) {
  WithBitmap(Index, false, [&](TPXBitmap* b) { b->Flip(Direction); });
}

void TPXCustomMultiBitmap::RotateImage(int32_t Index, double Angle, int32_t Mode, TColor Background) {
  WithBitmap(Index, true, [&](TPXBitmap* b) { b->Rotate(Angle, Mode, Background); });
}

void TPXCustomMultiBitmap::ScaleImage(int32_t Index, double Factor, TResampleFilter Filter) {
  WithBitmap(Index, true, [&](TPXBitmap* b) { b->ResampleByFactor(Factor, Filter); });
}

void TPXCustomMultiBitmap::ResampleImage(int32_t Index, int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter,
                                         bool Fit, bool OnlyShrink) {
  WithBitmap(Index, true, [&](TPXBitmap* b) { b->Resample(NewWidth, NewHeight, Filter, Fit, OnlyShrink); });
}

// ---------------------------------------------------------------------------------------------
// Assigning

void TPXCustomMultiBitmap::AssignFrom(TObject* Source, bool CopyParams) {
  if (!Source) return;
  const bool keep = FKeepParams;
  FKeepParams = CopyParams;
  try {
    if (auto* view = dynamic_cast<IPXMultiBitmapView*>(Source)) Source = view->GetMultiBitmap();
    if (Source == this) {
      // Already the content.
    } else if (auto* bitmap = dynamic_cast<TPXBitmap*>(Source)) {
      Clear();
      AppendImage(bitmap);
    } else if (auto* platformBitmap = dynamic_cast<TBitmap*>(Source)) {
      Clear();
      AppendImage(platformBitmap);
    } else if (auto* container = dynamic_cast<TPXCustomMultiBitmap*>(Source)) {
      Clear();
      AppendImage(container);
    } else if (auto* list = dynamic_cast<TCustomImageList*>(Source)) {
      Clear();
      for (int32_t i = 0; i < list->Count(); ++i) {
        TBitmap icon;
        if (list->GetBitmap(i, &icon)) AppendImage(&icon);
      }
    } else if (Source) {
      throw EPXException("Unrecognized source");
    }
  } catch (...) {
    FKeepParams = keep;
    throw;
  }
  FKeepParams = keep;
}

// ---------------------------------------------------------------------------------------------
// Entry stream form

namespace {

void WriteInt32(TStream* S, int32_t V) { S->WriteBuffer(&V, 4); }
void WriteByte(TStream* S, uint8_t V) { S->WriteBuffer(&V, 1); }
int32_t ReadInt32(TStream* S) {
  int32_t v = 0;
  S->ReadBuffer(&v, 4);
  return v;
}
uint8_t ReadByte(TStream* S) {
  uint8_t v = 0;
  S->ReadBuffer(&v, 1);
  return v;
}
void WriteWide(TStream* S, const std::string& Text) { WriteWideStringToStream(S, Utf8ToUtf16(Text)); }
std::string ReadWide(TStream* S) { return Utf16ToUtf8(ReadWideStringFromStream(S)); }

// The text of an older text record; the rest of the record is skipped.
std::string ReadOldTextRecord(TStream* S) {
  ReadByte(S);
  std::string text = ReadWide(S);
  ReadByte(S);
  ReadInt32(S);
  ReadInt32(S);
  ReadAnsiStringFromStream(S);
  ReadByte(S);
  ReadByte(S);
  ReadInt32(S);
  for (int i = 0; i < 3; ++i) ReadByte(S);
  return text;
}

}  // namespace

void WriteImageInfo(TPXImageInfo* Entry, TStream* Stream, bool WithCacheImage, TPXVirtualImageList* ViewCache,
                    TPXVirtualImageList* Cache) {
  WriteInt32(Stream, Entry->Image && Cache ? Cache->IndexOfImage(Entry->Image) : -1);
  if (WithCacheImage) WriteInt32(Stream, Entry->CacheImage && ViewCache ? ViewCache->IndexOfImage(Entry->CacheImage) : -1);
  WriteInt32(Stream, static_cast<int32_t>(Entry->Background));
  WriteWide(Stream, Entry->FileName);
  WriteInt32(Stream, Entry->ImageIndex);
  Stream->WriteBuffer(&Entry->DelayTime, 8);
  WriteInt32(Stream, Entry->ViewValue);
  WriteWide(Stream, Entry->TopText);
  WriteWide(Stream, Entry->InfoText);
  WriteWide(Stream, Entry->BottomText);
  WriteByte(Stream, Entry->ViewFlag);
  std::string json;
  if (Entry->Dictionary) Entry->Dictionary->Dump(0, json);
  WriteWide(Stream, json);
}

std::unique_ptr<TPXImageInfo> ReadImageInfo(TObject* Owner, TStream* Stream, TPXVirtualImageList* ViewCache,
                                            TPXVirtualImageList* Cache, bool WithCacheImage, int32_t Version) {
  auto entry = std::make_unique<TPXImageInfo>(Owner);
  const int32_t image = ReadInt32(Stream);
  entry->Image = Cache ? Cache->GetImage(image) : nullptr;
  if (WithCacheImage) {
    const int32_t cacheImage = ReadInt32(Stream);
    entry->CacheImage = ViewCache ? ViewCache->GetImage(cacheImage) : nullptr;
  }
  entry->Background = static_cast<TColor>(ReadInt32(Stream));
  entry->FileName = Version == 1 ? BytesToUtf8(ReadAnsiStringFromStream(Stream)) : ReadWide(Stream);
  entry->ImageIndex = ReadInt32(Stream);
  if (Version < 5) {
    entry->DelayTime = ReadInt32(Stream);
  } else {
    Stream->ReadBuffer(&entry->DelayTime, 8);
  }
  if (Version > 5) entry->ViewValue = ReadInt32(Stream);
  if (Version > 7) {
    entry->TopText = ReadWide(Stream);
    entry->InfoText = ReadWide(Stream);
    entry->BottomText = ReadWide(Stream);
  } else {
    entry->TopText = ReadOldTextRecord(Stream);
    entry->InfoText = ReadOldTextRecord(Stream);
    entry->BottomText = ReadOldTextRecord(Stream);
  }
  if (Version > 6) entry->ViewFlag = ReadByte(Stream);
  if (Version > 8) {
    const std::string json = ReadWide(Stream);
    if (!json.empty()) entry->GetDictionary()->Parse(json);
  }
  return entry;
}
