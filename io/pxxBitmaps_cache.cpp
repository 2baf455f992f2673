// TPXVirtualImageList: the image cache.
#include "io/pxxBitmaps_cache.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>

#include "core/hypxutils_containers.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr uint32_t kNameSeed = 0x9747B28C;
constexpr char kSignature[] = "VIRTUALIMAGELIST";
constexpr int32_t kSignatureLength = 16;
constexpr int64_t kPaletteBytes = 256 * 3;
#ifdef MADV_POPULATE_READ
constexpr int kPopulateRead = MADV_POPULATE_READ;
#else
constexpr int kPopulateRead = 22;  // the kernel's number, for headers older than the kernel
#endif

int64_t RowBytes(int32_t Width, int32_t BitsPerPixel) {
  return ((static_cast<int64_t>(Width) * BitsPerPixel + 31) / 32) * 4;
}

// Collects consecutive pieces of a block and writes them to the store in large runs.
class TBlockSink {
 public:
  using TWrite = std::function<void(const void* Data, int64_t Position, int64_t Size)>;
  TBlockSink(uint8_t* Memory, TWrite Store, int64_t Position)
      : memory_(Memory), store_(std::move(Store)), position_(Position) {}
  ~TBlockSink() = default;
  void Put(const void* Data, int64_t Count) {
    if (memory_) {
      std::memcpy(memory_ + offset_, Data, static_cast<size_t>(Count));
      offset_ += Count;
      return;
    }
    if (Count >= kRun) {
      Flush();
      store_(Data, position_ + offset_, Count);
      offset_ += Count;
      return;
    }
    if (buffer_.size() + static_cast<size_t>(Count) > static_cast<size_t>(kRun)) Flush();
    const auto* p = static_cast<const uint8_t*>(Data);
    buffer_.insert(buffer_.end(), p, p + Count);
  }
  void PutZeros(int64_t Count) {
    static const uint8_t zeros[64] = {};
    while (Count > 0) {
      const int64_t n = std::min<int64_t>(Count, sizeof(zeros));
      Put(zeros, n);
      Count -= n;
    }
  }
  void Flush() {
    if (memory_ || buffer_.empty()) return;
    store_(buffer_.data(), position_ + offset_, static_cast<int64_t>(buffer_.size()));
    offset_ += static_cast<int64_t>(buffer_.size());
    buffer_.clear();
  }

 private:
  static constexpr int64_t kRun = 1 << 20;
  uint8_t* memory_;
  TWrite store_;
  int64_t position_;
  int64_t offset_ = 0;
  std::vector<uint8_t> buffer_;
};

// Rows of Bitmap (Height rows of RowLen bytes, copied last row first).
void PutRows(TBlockSink& Sink, TPXBitmap* Bitmap, int32_t Height, int64_t RowLen) {
  if (Height <= 0) return;
  const int64_t have = std::min<int64_t>(RowLen, Bitmap->RowLen());
  // One-block bottom-up storage with the same row length is one run already.
  auto* top = Bitmap->Scanline(0);
  auto* bottom = Bitmap->Scanline(Height - 1);
  if (have == RowLen && top && bottom && top >= bottom &&
      top - bottom == static_cast<ptrdiff_t>((Height - 1) * RowLen)) {
    Sink.Put(bottom, RowLen * Height);
    return;
  }
  for (int32_t y = Height - 1; y >= 0; --y) {
    const auto* row = Bitmap->Scanline(y);
    if (row) Sink.Put(row, have);
    else Sink.PutZeros(have);
    if (have < RowLen) Sink.PutZeros(RowLen - have);
  }
}

void GetRows(const uint8_t* Block, TPXBitmap* Bitmap, int32_t Height, int64_t RowLen) {
  if (Height <= 0) return;
  const int64_t take = std::min<int64_t>(RowLen, Bitmap->RowLen());
  auto* top = Bitmap->Scanline(0);
  auto* bottom = Bitmap->Scanline(Height - 1);
  if (take == RowLen && top && bottom && top >= bottom &&
      top - bottom == static_cast<ptrdiff_t>((Height - 1) * RowLen)) {
    std::memcpy(bottom, Block, static_cast<size_t>(RowLen * Height));
    return;
  }
  for (int32_t y = Height - 1; y >= 0; --y, Block += RowLen) {
    auto* row = Bitmap->Scanline(y);
    if (row) std::memcpy(row, Block, static_cast<size_t>(take));
  }
}

void PutInt32(std::vector<uint8_t>& Out, size_t At, int32_t V) { std::memcpy(Out.data() + At, &V, 4); }
void PutInt64(std::vector<uint8_t>& Out, size_t At, int64_t V) { std::memcpy(Out.data() + At, &V, 8); }
int32_t GetInt32(const uint8_t* P) {
  int32_t v;
  std::memcpy(&v, P, 4);
  return v;
}
int64_t GetInt64(const uint8_t* P) {
  int64_t v;
  std::memcpy(&v, P, 8);
  return v;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Geometry

int32_t TPXVirtualImageList::FormatBitsPerPixel(TPXPixelFormat PixelFormat) {
  switch (PixelFormat) {
    case px1g: return 1;
    case px8p:
    case px8g: return 8;
    case px16g: return 16;
    case px24RGB:
    case pxCIELab: return 24;
    case px32f:
    case pxCMYK:
    case px32RGB: return 32;
    case pxRGB48: return 48;
    default: return 0;
  }
}

int64_t TPXVirtualImageList::BlockSize(int32_t Width, int32_t Height, int32_t BitsPerPixel,
                                       TPXPixelFormat PixelFormat, bool HasAlpha) {
  if (Width < 1 || Height < 1 || BitsPerPixel < 1 || BitsPerPixel > 64) return -1;
  constexpr int64_t kMax = int64_t{1} << 46;  // far above any real picture, far below overflow
  const int64_t row = RowBytes(Width, BitsPerPixel);
  if (row > kMax / Height) return -1;
  int64_t size = row * Height;
  if (PixelFormat == px8p) size += kPaletteBytes;
  if (HasAlpha) size += RowBytes(Width, 8) * Height + 1;
  return size;
}

// ---------------------------------------------------------------------------------------------
// Construction

TPXVirtualImageList::TPXVirtualImageList(std::string_view Prefix, bool UseFile)
    : FUseFile(UseFile), FPrefix(Prefix) {
  FFileBuffer = std::make_unique<TPXFileBuffer>();
  FStoreSize = FGrowStep;
  FNextPos = 0;
  AllocateStore();
}

TPXVirtualImageList::~TPXVirtualImageList() {
  // Bitmaps and pinned blocks die with the cache; their users must be done by now.
  FHandedOut.clear();
  FImages.clear();
  FDeleted.clear();
  FFileBuffer.reset();
}

bool TPXVirtualImageList::Known(const TPXVirtualImageRecord* Record) const {
  return Record && FKnown.count(Record) != 0;
}

bool TPXVirtualImageList::Live(const TPXVirtualImageRecord* Record) const {
  return Known(Record) && !Record->Deleted;
}

void TPXVirtualImageList::AllocateStore() { FFileBuffer->Allocate(FPrefix, FUseFile, FStoreSize); }

// The store grows by one step; free blocks are forgotten. Mapped blocks are separate memory
// and stay as they are.
void TPXVirtualImageList::GrowStore() {
  FStoreSize += FGrowStep;
  FFreeBlocks.clear();
  if (!FFileBuffer->IsAllocated()) {
    AllocateStore();
    return;
  }
  try {
    FFileBuffer->SetSize(FStoreSize);
  } catch (const std::exception&) {
    // A full disk: later reads of the blocks beyond the end give nothing.
  }
}

bool TPXVirtualImageList::ReserveBlock(int64_t Size, int64_t& Position) {
  // Merge neighbours, then first fit.
  for (size_t i = 0; i + 1 < FFreeBlocks.size();) {
    if (FFreeBlocks[i].Position + FFreeBlocks[i].Size == FFreeBlocks[i + 1].Position) {
      FFreeBlocks[i].Size += FFreeBlocks[i + 1].Size;
      FFreeBlocks.erase(FFreeBlocks.begin() + static_cast<ptrdiff_t>(i) + 1);
    } else {
      ++i;
    }
  }
  for (size_t i = 0; i < FFreeBlocks.size(); ++i) {
    if (FFreeBlocks[i].Size < Size) continue;
    Position = FFreeBlocks[i].Position;
    if (FFreeBlocks[i].Size == Size) {
      FFreeBlocks.erase(FFreeBlocks.begin() + static_cast<ptrdiff_t>(i));
    } else {
      FFreeBlocks[i].Position += Size;
      FFreeBlocks[i].Size -= Size;
    }
    return true;
  }
  if (Size > FGrowStep) FGrowStep = Size + FLastRequest;
  FLastRequest = Size;
  if (FNextPos + Size > FStoreSize) GrowStore();
  Position = FNextPos;
  FNextPos += Size;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Mapping

bool TPXVirtualImageList::MapImage(TPXVirtualImageRecord* Record, uint8_t Mode) {
  if (Record->Memory && Record->AccessMode != Mode) {
    if (Record->BlockPins > 0) {
      // Pinned memory cannot move: it holds the newest content either way.
      Record->AccessMode |= Mode;
    } else {
      UnmapImage(Record, true);
    }
  }
  if (Record->Memory) {
    auto it = std::find(FMappedImages.begin(), FMappedImages.end(), Record);
    if (it != FMappedImages.end()) {
      FMappedImages.erase(it);
      FMappedImages.push_back(Record);
    }
    return true;
  }
  if (!FFileBuffer->IsAllocated()) return false;
  while (FMappedCount > FMaxMapped) {
    auto victim = std::find_if(FMappedImages.begin(), FMappedImages.end(),
                               [](const TPXVirtualImageRecord* r) { return r->BlockPins == 0; });
    if (victim == FMappedImages.end()) break;
    UnmapImage(*victim, true);
  }
  TPXBlockPtr block(static_cast<uint8_t*>(AllocBlock(false, Record->Size)));
  if (!block) return false;
  if (Mode & pxamRead) ReadStore(block.get(), Record->Position, Record->Size);
  Record->Memory = std::move(block);
  Record->AccessMode = Mode;
  ++FMappedCount;
  FMappedImages.push_back(Record);
  return true;
}

void TPXVirtualImageList::ReadStore(uint8_t* Into, int64_t Position, int64_t Size) {
  auto* stream = FFileBuffer->Stream.get();
  const int64_t avail = std::clamp<int64_t>(stream->Size() - Position, 0, Size);
  stream->SetPosition(Position);
  int64_t done = 0;
  while (done < avail) {
    const auto piece = static_cast<int32_t>(std::min<int64_t>(avail - done, 1 << 30));
    const int32_t got = stream->Read(Into + done, piece);
    if (got <= 0) break;
    done += got;
  }
  if (done < Size) std::memset(Into + done, 0, static_cast<size_t>(Size - done));
}

// The smallest kept block that holds Size bytes, else a new one (nil when no memory).
TPXVirtualImageList::TSpareBlock TPXVirtualImageList::TakeSpare(int64_t Size) {
  auto best = FSpares.end();
  for (auto it = FSpares.begin(); it != FSpares.end(); ++it)
    if (it->Capacity >= Size && (best == FSpares.end() || it->Capacity < best->Capacity)) best = it;
  if (best != FSpares.end()) {
    TSpareBlock spare = std::move(*best);
    FSpares.erase(best);
    return spare;
  }
  return {TPXBlockPtr(static_cast<uint8_t*>(AllocBlock(false, Size))), Size};
}

// Fresh memory costs a page fault per page on first use; two blocks are kept for the next
// hand-outs, the larger ones.
void TPXVirtualImageList::KeepSpare(TSpareBlock Spare) {
  if (!Spare.Block) return;
  FSpares.push_back(std::move(Spare));
  if (FSpares.size() > 2)
    FSpares.erase(std::min_element(FSpares.begin(), FSpares.end(),
                                   [](const auto& a, const auto& b) { return a.Capacity < b.Capacity; }));
}

void TPXVirtualImageList::UnmapImage(TPXVirtualImageRecord* Record, bool WriteBack) {
  if (!Record->Memory) return;
  if (WriteBack && (Record->AccessMode & pxamWrite) && !Record->Deleted)
    WriteStore(Record->Memory.get(), Record->Position, Record->Size);
  DropMapping(Record);
}

// Forgets the mapping without writing; pinned memory is kept until its users let go.
void TPXVirtualImageList::DropMapping(TPXVirtualImageRecord* Record) {
  if (!Record->Memory) return;
  auto it = std::find(FMappedImages.begin(), FMappedImages.end(), Record);
  if (it != FMappedImages.end()) {
    FMappedImages.erase(it);
    --FMappedCount;
  }
  if (Record->BlockPins > 0) Record->Retired.push_back(std::move(Record->Memory));
  Record->Memory.reset();
}

void TPXVirtualImageList::Retire(TPXVirtualImageRecord* Record) {
  // Kept mapped but out of the LRU list, so that it neither counts nor gets evicted.
  auto it = std::find(FMappedImages.begin(), FMappedImages.end(), Record);
  if (it != FMappedImages.end()) {
    FMappedImages.erase(it);
    --FMappedCount;
  }
}

// ---------------------------------------------------------------------------------------------
// Block layout

void TPXVirtualImageList::WriteBlock(TPXVirtualImageRecord* Record, TPXBitmap* Bitmap, uint8_t* Block) {
  TBlockSink sink(Block, [this](const void* D, int64_t P, int64_t N) { WriteStore(D, P, N); }, Record->Position);
  const int64_t rowLen = RowBytes(Record->Width, Record->BitsPerPixel);
  PutRows(sink, Bitmap, Record->Height, rowLen);
  if (Record->PixelFormat == px8p) {
    TRGB* palette = Bitmap->GetPalette();
    if (palette && Bitmap->GetPaletteLength() >= 256) sink.Put(palette, kPaletteBytes);
    else sink.PutZeros(kPaletteBytes);
  }
  if (Record->HasAlpha) {
    TPXBitmap* alpha = Bitmap->PeekAlphaChannel();
    const uint8_t full = alpha ? alpha->FFull : 1;
    sink.Put(&full, 1);
    const int64_t alphaLen = RowBytes(Record->Width, 8);
    if (alpha && alpha->Width() == Record->Width && alpha->Height() == Record->Height) {
      PutRows(sink, alpha, Record->Height, alphaLen);
    } else {
      std::vector<uint8_t> opaque(static_cast<size_t>(alphaLen), 255);
      for (int32_t y = 0; y < Record->Height; ++y) sink.Put(opaque.data(), alphaLen);
    }
  }
  sink.Flush();
}

void TPXVirtualImageList::WriteStore(const void* Data, int64_t Position, int64_t Size) {
  FFileBuffer->Write(Data, Position, Size);
}

TPXVirtualImageList::TFileView* TPXVirtualImageList::ViewOf(int64_t Position, int64_t Size) {
  for (auto& h : FHandedOut) {
    TFileView* v = h.View.get();
    if (v && v->Generation == FStoreGeneration && v->Position == Position && v->Size == Size) return v;
  }
  return nullptr;
}

void TPXVirtualImageList::FreeBlock(int64_t Position, int64_t Size) {
  if (TFileView* v = ViewOf(Position, Size)) v->FreeOnRelease = true;
  else FFreeBlocks.push_back({Position, Size});
}

TPXVirtualImageList::TFileView::~TFileView() {
  if (Base) ::munmap(Base, Length);
}

std::unique_ptr<TPXVirtualImageList::TFileView> TPXVirtualImageList::MapFileView(TPXVirtualImageRecord* Record) {
  auto* file = dynamic_cast<TPXTemporaryFileStream*>(FFileBuffer->Stream.get());
  if (!file || file->Size() < Record->Position + Record->Size) return nullptr;
  static const int64_t page = ::sysconf(_SC_PAGESIZE);
  const int64_t start = Record->Position / page * page;
  auto view = std::make_unique<TFileView>();
  view->Length = static_cast<size_t>(Record->Position + Record->Size - start);
  void* p = ::mmap(nullptr, view->Length, PROT_READ | PROT_WRITE, MAP_PRIVATE, file->Handle(), start);
  if (p == MAP_FAILED) return nullptr;
  // Map every page now, in one call: a fault per 64 KB when the rows are read costs more.
  // Without MADV_POPULATE_READ (older kernels) the pages come on first use.
  ::madvise(p, view->Length, kPopulateRead);
  view->Base = p;
  view->Data = static_cast<uint8_t*>(p) + (Record->Position - start);
  view->Position = Record->Position;
  view->Size = Record->Size;
  view->Generation = FStoreGeneration;
  return view;
}

void TPXVirtualImageList::ReadBlock(TPXVirtualImageRecord* Record, const uint8_t* Block, TPXBitmap* Bitmap) {
  if (Bitmap->PixelFormat() != Record->PixelFormat || Bitmap->Width() != Record->Width ||
      Bitmap->Height() != Record->Height) {
    if (!Bitmap->Allocate(Record->Width, Record->Height, Record->PixelFormat)) return;
  }
  GetRows(Block, Bitmap, Record->Height, RowBytes(Record->Width, Record->BitsPerPixel));
  ReadTail(Record, Block, Bitmap);
}

// The palette and alpha after the rows of Block.
void TPXVirtualImageList::ReadTail(TPXVirtualImageRecord* Record, const uint8_t* Block, TPXBitmap* Bitmap) {
  Block += RowBytes(Record->Width, Record->BitsPerPixel) * Record->Height;
  if (Record->PixelFormat == px8p) {
    TRGB* palette = Bitmap->GetPalette();
    if (palette && Bitmap->GetPaletteLength() >= 256) std::memcpy(palette, Block, kPaletteBytes);
    Block += kPaletteBytes;
  }
  if (Record->HasAlpha) {
    const uint8_t full = *Block++;
    TPXBitmap* alpha = Bitmap->GetAlphaChannel();
    if (alpha) {
      GetRows(Block, alpha, Record->Height, RowBytes(Record->Width, 8));
      alpha->FFull = full;
    }
  } else if (Bitmap->HasAlphaChannel()) {
    Bitmap->RemoveAlphaChannel(false, 0);
  }
}

// ---------------------------------------------------------------------------------------------
// Adding and updating

TPXVirtualImage TPXVirtualImageList::AddImage(int32_t Width, int32_t Height, bool MapNow, bool HasAlpha,
                                              TPXPixelFormat PixelFormat, int32_t BitsPerPixel) {
  std::lock_guard lock(FLock);
  if (FormatBitsPerPixel(PixelFormat) == 0) return nullptr;
  const int64_t size = BlockSize(Width, Height, BitsPerPixel, PixelFormat, HasAlpha);
  if (size < 0) return nullptr;
  auto record = std::make_unique<TPXVirtualImageRecord>();
  ReserveBlock(size, record->Position);
  record->Size = size;
  record->Width = record->OriginalWidth = Width;
  record->Height = record->OriginalHeight = Height;
  record->BitsPerPixel = BitsPerPixel;
  record->PixelFormat = PixelFormat;
  record->HasAlpha = HasAlpha ? 1 : 0;
  record->AccessMode = pxamWrite;
  auto* result = record.get();
  FKnown.insert(result);
  FImages.push_back(std::move(record));
  if (MapNow) MapImage(result, pxamWrite);
  return result;
}

TPXVirtualImage TPXVirtualImageList::AddBitmap(TPXBitmap* Bitmap) {
  if (!Bitmap) return nullptr;
  std::lock_guard lock(FLock);
  auto* record = AddImage(Bitmap->Width(), Bitmap->Height(), true, Bitmap->HasAlphaChannel(), Bitmap->PixelFormat(),
                          Bitmap->BitCount());
  if (record && record->Memory) WriteBlock(record, Bitmap, record->Memory.get());
  return record;
}

TPXVirtualImage TPXVirtualImageList::AddBitmapDirect(TPXBitmap* Bitmap) {
  if (!Bitmap) return nullptr;
  std::lock_guard lock(FLock);
  auto* record = AddImage(Bitmap->Width(), Bitmap->Height(), false, Bitmap->HasAlphaChannel(),
                          Bitmap->PixelFormat(), Bitmap->BitCount());
  if (record && FFileBuffer->IsAllocated()) WriteBlock(record, Bitmap, nullptr);
  return record;
}

void TPXVirtualImageList::DoCopyToBitmap(TPXVirtualImageRecord* Record, TPXBitmap* Bitmap) {
  if (!MapImage(Record, pxamRead)) return;
  ReadBlock(Record, Record->Memory.get(), Bitmap);
}

void TPXVirtualImageList::CopyToBitmap(TPXVirtualImage Record, TPXBitmap* Bitmap) {
  std::lock_guard lock(FLock);
  if (!Live(Record) || !Bitmap) return;
  DoCopyToBitmap(Record, Bitmap);
}

void TPXVirtualImageList::DoUpdateImage(TPXVirtualImageRecord* Record, TPXBitmap* Bitmap) {
  const bool alpha = Bitmap->HasAlphaChannel();
  if (Bitmap->Width() != Record->Width || Bitmap->Height() != Record->Height ||
      Bitmap->BitCount() != Record->BitsPerPixel || Bitmap->PixelFormat() != Record->PixelFormat ||
      alpha != (Record->HasAlpha != 0)) {
    const int64_t size =
        BlockSize(Bitmap->Width(), Bitmap->Height(), Bitmap->BitCount(), Bitmap->PixelFormat(), alpha);
    if (size < 0 || FormatBitsPerPixel(Bitmap->PixelFormat()) == 0) return;
    DropMapping(Record);  // the old block is left behind, not written
    ReserveBlock(size, Record->Position);
    Record->Size = size;
    Record->Width = Bitmap->Width();
    Record->Height = Bitmap->Height();
    Record->BitsPerPixel = Bitmap->BitCount();
    Record->PixelFormat = Bitmap->PixelFormat();
    Record->HasAlpha = alpha ? 1 : 0;
    if (!MapImage(Record, pxamWrite)) return;
  } else if (TFileView* view = ViewOf(Record->Position, Record->Size)) {
    // A handed-out bitmap reads this block: the new content goes to a block of its own.
    DropMapping(Record);
    view->FreeOnRelease = true;
    ReserveBlock(Record->Size, Record->Position);
    if (!MapImage(Record, pxamWrite)) return;
  } else if (Record->BlockPins > 0) {
    // Someone reads the mapped block outside the lock: it stays as it is until let go, and the
    // whole block is written into fresh memory.
    DropMapping(Record);
    if (!MapImage(Record, pxamWrite)) return;
  } else if (!MapImage(Record, pxamRead | pxamWrite)) {
    return;
  }
  WriteBlock(Record, Bitmap, Record->Memory.get());
}

void TPXVirtualImageList::UpdateImage(TPXVirtualImage Record, TPXBitmap* Bitmap) {
  std::lock_guard lock(FLock);
  if (!Live(Record) || !Bitmap) return;
  DoUpdateImage(Record, Bitmap);
}

// ---------------------------------------------------------------------------------------------
// Handing out

TPXVirtualImageList::THandedOut* TPXVirtualImageList::FindHandedOut(const TPXVirtualImageRecord* Record) {
  for (auto& h : FHandedOut)
    if (h.Record == Record) return &h;
  return nullptr;
}

TPXBitmap* TPXVirtualImageList::GetBitmap(TPXVirtualImage Record) {
  std::lock_guard lock(FLock);
  if (!Live(Record)) return nullptr;
  if (auto* h = FindHandedOut(Record)) {
    ++h->Count;
    Record->InUse = 1;
    return h->Bitmap.get();
  }
  // A picture that is not in memory is handed out over its block as it is stored (a copy read
  // in one piece, or for a large block a private mapping of the file store): its rows already
  // are the bitmap's bottom-up rows.
  std::unique_ptr<TFileView> view;
  TSpareBlock own;
  if (!Record->Memory) {
    if (Record->Size > FViewThreshold) view = MapFileView(Record);
    if (!view) {
      own = TakeSpare(Record->Size);
      if (own.Block) ReadStore(own.Block.get(), Record->Position, Record->Size);
    }
  }
  auto bitmap = std::make_unique<TPXBitmap>();  // freed before its memory on every path
  if (uint8_t* block = view ? view->Data : own.Block.get()) {
    bitmap->AttachMemory(block, Record->Width, Record->Height, Record->PixelFormat, true, false);
    if (bitmap->RowLen() != RowBytes(Record->Width, Record->BitsPerPixel)) {
      bitmap = std::make_unique<TPXBitmap>();
      view.reset();
      KeepSpare(std::move(own));
      own = {};
    } else {
      ReadTail(Record, block, bitmap.get());
    }
  }
  if (!view && !own.Block) {
    if (!MapImage(Record, pxamRead)) return nullptr;
    ReadBlock(Record, Record->Memory.get(), bitmap.get());
  }
  if (bitmap->Width() != Record->Width || bitmap->Height() != Record->Height) {
    bitmap.reset();
    KeepSpare(std::move(own));
    return nullptr;
  }
  auto* result = bitmap.get();
  FHandedOut.push_back({Record, std::move(view), std::move(own), std::move(bitmap), 1});
  Record->InUse = 1;
  return result;
}

void TPXVirtualImageList::DoReleaseHandedOut(size_t Index, bool Save) {
  auto& h = FHandedOut[Index];
  TPXVirtualImageRecord* record = h.Record;
  if (h.Bitmap->Location() == pxTBitmap) h.Bitmap->SyncFromTBitmap();
  --h.Count;
  if (Save && !record->Deleted) DoUpdateImage(record, h.Bitmap.get());
  if (h.Count > 0) return;
  if (TFileView* v = h.View.get(); v && v->FreeOnRelease && v->Generation == FStoreGeneration)
    FFreeBlocks.push_back({v->Position, v->Size});
  h.Bitmap.reset();
  KeepSpare(std::move(h.Own));
  FHandedOut.erase(FHandedOut.begin() + static_cast<ptrdiff_t>(Index));
  record->InUse = 0;
  ForgetIfUnused(record);
}

void TPXVirtualImageList::ReleaseBitmap(TPXBitmap* Bitmap, bool Save) {
  std::lock_guard lock(FLock);
  if (!Bitmap) return;
  for (size_t i = 0; i < FHandedOut.size(); ++i)
    if (FHandedOut[i].Bitmap.get() == Bitmap) {
      DoReleaseHandedOut(i, Save);
      return;
    }
}

void TPXVirtualImageList::ReleaseImageBitmap(TPXVirtualImage Record, bool Save) {
  std::lock_guard lock(FLock);
  if (!Known(Record)) return;
  for (size_t i = 0; i < FHandedOut.size(); ++i)
    if (FHandedOut[i].Record == Record) {
      DoReleaseHandedOut(i, Save);
      return;
    }
}

// ---------------------------------------------------------------------------------------------
// Questions

int32_t TPXVirtualImageList::GetImageWidth(TPXVirtualImage Record) {
  std::lock_guard lock(FLock);
  if (!Live(Record)) return 0;
  if (auto* h = FindHandedOut(Record)) return h->Bitmap->Width();
  return Record->Width;
}

int32_t TPXVirtualImageList::GetImageHeight(TPXVirtualImage Record) {
  std::lock_guard lock(FLock);
  if (!Live(Record)) return 0;
  if (auto* h = FindHandedOut(Record)) return h->Bitmap->Height();
  return Record->Height;
}

TPXPixelFormat TPXVirtualImageList::GetImagePixelFormat(TPXVirtualImage Record) {
  std::lock_guard lock(FLock);
  if (!Live(Record)) return pxNoFormat;
  if (auto* h = FindHandedOut(Record)) return h->Bitmap->PixelFormat();
  return Record->PixelFormat;
}

int32_t TPXVirtualImageList::GetOriginalWidth(TPXVirtualImage Record) {
  std::lock_guard lock(FLock);
  return Live(Record) ? Record->OriginalWidth : 0;
}

void TPXVirtualImageList::SetOriginalWidth(TPXVirtualImage Record, int32_t Value) {
  std::lock_guard lock(FLock);
  if (Live(Record)) Record->OriginalWidth = Value;
}

int32_t TPXVirtualImageList::GetOriginalHeight(TPXVirtualImage Record) {
  std::lock_guard lock(FLock);
  return Live(Record) ? Record->OriginalHeight : 0;
}

void TPXVirtualImageList::SetOriginalHeight(TPXVirtualImage Record, int32_t Value) {
  std::lock_guard lock(FLock);
  if (Live(Record)) Record->OriginalHeight = Value;
}

void TPXVirtualImageList::SetImageName(TPXVirtualImage Record, std::string_view Name) {
  std::lock_guard lock(FLock);
  if (!Live(Record)) return;
  Record->NameHash = Name.empty() ? 0 : MurmurHash2Wide(Name, kNameSeed);
}

TPXVirtualImage TPXVirtualImageList::GetImage(int32_t Index) {
  std::lock_guard lock(FLock);
  if (Index < 0 || Index >= static_cast<int32_t>(FImages.size())) return nullptr;
  return FImages[static_cast<size_t>(Index)].get();
}

int32_t TPXVirtualImageList::IndexOfImage(TPXVirtualImage Record) {
  std::lock_guard lock(FLock);
  for (size_t i = 0; i < FImages.size(); ++i)
    if (FImages[i].get() == Record) return static_cast<int32_t>(i);
  return -1;
}

int32_t TPXVirtualImageList::Count() {
  std::lock_guard lock(FLock);
  return static_cast<int32_t>(FImages.size());
}

int32_t TPXVirtualImageList::MaxMapped() {
  std::lock_guard lock(FLock);
  return FMaxMapped;
}

void TPXVirtualImageList::SetMaxMapped(int32_t Value) {
  std::lock_guard lock(FLock);
  FMaxMapped = std::max<int32_t>(Value, 0);
}

int32_t TPXVirtualImageList::MappedCount() {
  std::lock_guard lock(FLock);
  return FMappedCount;
}

// ---------------------------------------------------------------------------------------------
// Direct memory access

void* TPXVirtualImageList::GetImageRows(TPXVirtualImage Record, bool& RowsReversed) {
  std::lock_guard lock(FLock);
  RowsReversed = false;
  if (!Live(Record)) return nullptr;
  if (auto* h = FindHandedOut(Record)) {
    void* p = h->Bitmap->GetPixelBuffer();
    if (!p) return nullptr;
    RowsReversed = h->Bitmap->FRowOrderReversed != 0;
    ++h->Count;
    ++Record->BitmapPins;
    return p;
  }
  if (!MapImage(Record, pxamRead)) return nullptr;
  ++Record->BlockPins;
  return Record->Memory.get();
}

TRGB* TPXVirtualImageList::GetImagePalette(TPXVirtualImage Record) {
  std::lock_guard lock(FLock);
  if (!Live(Record)) return nullptr;
  if (auto* h = FindHandedOut(Record)) {
    TRGB* p = h->Bitmap->GetPalette();
    if (!p) return nullptr;
    ++h->Count;
    ++Record->BitmapPins;
    return p;
  }
  if (Record->PixelFormat != px8p || !MapImage(Record, pxamRead)) return nullptr;
  ++Record->BlockPins;
  return reinterpret_cast<TRGB*>(Record->Memory.get() + RowBytes(Record->Width, Record->BitsPerPixel) * Record->Height);
}

void* TPXVirtualImageList::GetImageAlphaRows(TPXVirtualImage Record, bool& RowsReversed) {
  std::lock_guard lock(FLock);
  RowsReversed = false;
  if (!Live(Record) || !Record->HasAlpha) return nullptr;
  if (auto* h = FindHandedOut(Record)) {
    TPXBitmap* alpha = h->Bitmap->PeekAlphaChannel();
    void* p = alpha ? alpha->GetPixelBuffer() : nullptr;
    if (!p) return nullptr;
    RowsReversed = alpha->FRowOrderReversed != 0;
    ++h->Count;
    ++Record->BitmapPins;
    return p;
  }
  if (!MapImage(Record, pxamRead)) return nullptr;
  uint8_t* at = Record->Memory.get() + RowBytes(Record->Width, Record->BitsPerPixel) * Record->Height;
  if (Record->PixelFormat == px8p) at += kPaletteBytes;
  if (*at != 0) return nullptr;
  ++Record->BlockPins;
  return at + 1;
}

void TPXVirtualImageList::ReleaseImageMemory(TPXVirtualImage Record) {
  std::lock_guard lock(FLock);
  if (!Known(Record)) return;
  if (Record->BitmapPins > 0) {
    --Record->BitmapPins;
    for (size_t i = 0; i < FHandedOut.size(); ++i)
      if (FHandedOut[i].Record == Record) {
        DoReleaseHandedOut(i, false);
        return;
      }
    return;
  }
  if (Record->BlockPins == 0) return;
  if (--Record->BlockPins == 0) {
    Record->Retired.clear();
    if (Record->Deleted) Record->Memory.reset();
    ForgetIfUnused(Record);
  }
}

// ---------------------------------------------------------------------------------------------
// Deleting

// A deleted record goes once nothing of it is handed out or pinned.
void TPXVirtualImageList::ForgetIfUnused(TPXVirtualImageRecord* Record) {
  if (!Record->Deleted || Record->BlockPins > 0 || Record->BitmapPins > 0 || FindHandedOut(Record)) return;
  auto it = std::find_if(FDeleted.begin(), FDeleted.end(), [Record](const auto& r) { return r.get() == Record; });
  if (it == FDeleted.end()) return;
  FKnown.erase(Record);
  FDeleted.erase(it);
}

void TPXVirtualImageList::DoDeleteImage(TPXVirtualImageRecord* Record) {
  auto it = std::find_if(FImages.begin(), FImages.end(), [Record](const auto& r) { return r.get() == Record; });
  if (it == FImages.end()) return;
  FreeBlock(Record->Position, Record->Size);
  std::unique_ptr<TPXVirtualImageRecord> owned = std::move(*it);
  FImages.erase(it);
  Record->Deleted = true;
  const bool handedOut = FindHandedOut(Record) != nullptr;
  if (Record->BlockPins > 0 || Record->BitmapPins > 0 || handedOut) {
    Retire(Record);
    if (Record->BlockPins == 0) Record->Memory.reset();
    FDeleted.push_back(std::move(owned));
    return;
  }
  DropMapping(Record);
  FKnown.erase(Record);
}

void TPXVirtualImageList::ResetStore() {
  FSpares.clear();
  ++FStoreGeneration;  // views of the old store keep their mapping of its (removed) file
  FStoreSize = FGrowStep;
  FNextPos = 0;
  FFreeBlocks.clear();
  FFileBuffer->Deallocate();
  AllocateStore();
}

void TPXVirtualImageList::DeleteImage(TPXVirtualImage Record) {
  std::lock_guard lock(FLock);
  if (!Live(Record)) return;
  DoDeleteImage(Record);
  if (FImages.empty()) ResetStore();
}

void TPXVirtualImageList::Clear() {
  std::lock_guard lock(FLock);
  while (!FImages.empty()) DoDeleteImage(FImages.back().get());
  ResetStore();
}

// ---------------------------------------------------------------------------------------------
// Stream form

void TPXVirtualImageList::SaveToStream(TStream* Stream) {
  std::lock_guard lock(FLock);
  // Write every mapped block back; pinned ones stay mapped.
  for (auto* r : std::vector<TPXVirtualImageRecord*>(FMappedImages)) {
    if (r->BlockPins > 0) {
      if (r->AccessMode & pxamWrite) WriteStore(r->Memory.get(), r->Position, r->Size);
    } else {
      UnmapImage(r, true);
    }
  }
  const int32_t length = kSignatureLength;
  Stream->WriteBuffer(&length, 4);
  Stream->WriteBuffer(kSignature, kSignatureLength);
  const uint8_t version = 1;
  Stream->WriteBuffer(&version, 1);
  const auto count = static_cast<int32_t>(FImages.size());
  Stream->WriteBuffer(&count, 4);
  std::vector<uint8_t> rec(RecordSize);
  for (const auto& r : FImages) {
    std::fill(rec.begin(), rec.end(), 0);
    PutInt64(rec, 0, r->Position);
    PutInt64(rec, 8, r->Size);
    // 16: the memory address, 0 in the stream form
    rec[20] = r->InUse;
    PutInt32(rec, 24, r->OriginalWidth);
    PutInt32(rec, 28, r->OriginalHeight);
    rec[32] = r->HasAlpha;
    rec[33] = r->AccessMode;
    PutInt32(rec, 36, r->Width);
    PutInt32(rec, 40, r->Height);
    PutInt32(rec, 44, r->BitsPerPixel);
    rec[48] = static_cast<uint8_t>(r->PixelFormat);
    PutInt32(rec, 52, static_cast<int32_t>(r->NameHash));
    Stream->WriteBuffer(rec.data(), RecordSize);
  }
  for (const auto& r : FImages) {
    const int64_t avail = std::clamp<int64_t>(
        FFileBuffer->IsAllocated() ? FFileBuffer->Stream->Size() - r->Position : 0, 0, r->Size);
    if (avail > 0) FFileBuffer->CopyToStream(Stream, r->Position, avail);
    if (avail < r->Size) {
      std::vector<uint8_t> zeros(static_cast<size_t>(std::min<int64_t>(r->Size - avail, 1 << 20)));
      for (int64_t left = r->Size - avail; left > 0;) {
        const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(zeros.size()));
        Stream->WriteBuffer(zeros.data(), n);
        left -= n;
      }
    }
  }
}

bool TPXVirtualImageList::LoadFromStream(TStream* Stream) {
  if (!Stream) return false;
  // Everything is read and checked aside; the cache changes only once the stream was whole.
  int32_t length = 0;
  if (Stream->Read(&length, 4) != 4 || length != kSignatureLength) return false;
  char text[kSignatureLength];
  if (Stream->Read(text, kSignatureLength) != kSignatureLength ||
      std::memcmp(text, kSignature, kSignatureLength) != 0)
    return false;
  uint8_t version = 0;
  int32_t count = 0;
  if (Stream->Read(&version, 1) != 1 || Stream->Read(&count, 4) != 4) return false;
  if (count <= 0) return true;
  int64_t left = Stream->Size() - Stream->Position();
  if (static_cast<int64_t>(count) * RecordSize > left) return false;

  std::vector<std::unique_ptr<TPXVirtualImageRecord>> records;
  records.reserve(static_cast<size_t>(count));
  std::vector<uint8_t> raw(RecordSize);
  int64_t total = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (Stream->Read(raw.data(), RecordSize) != RecordSize) return false;
    auto r = std::make_unique<TPXVirtualImageRecord>();
    r->Size = GetInt64(&raw[8]);
    r->OriginalWidth = GetInt32(&raw[24]);
    r->OriginalHeight = GetInt32(&raw[28]);
    r->HasAlpha = raw[32];
    r->AccessMode = raw[33] & (pxamRead | pxamWrite);
    r->Width = GetInt32(&raw[36]);
    r->Height = GetInt32(&raw[40]);
    r->BitsPerPixel = GetInt32(&raw[44]);
    r->PixelFormat = static_cast<TPXPixelFormat>(raw[48]);
    r->NameHash = static_cast<uint32_t>(GetInt32(&raw[52]));
    if (raw[48] >= PXPixelFormatCount || r->HasAlpha > 1) return false;
    const int32_t bpp = FormatBitsPerPixel(r->PixelFormat);
    if (bpp == 0 || r->BitsPerPixel != bpp) return false;
    if (BlockSize(r->Width, r->Height, r->BitsPerPixel, r->PixelFormat, r->HasAlpha != 0) != r->Size) return false;
    r->Position = total;
    total += r->Size;
    left -= RecordSize;
    if (total > left) return false;
    records.push_back(std::move(r));
  }
  auto store = std::make_unique<TPXFileBuffer>();
  const int64_t storeSize = total + 1;
  if (!store->Allocate(FPrefix, FUseFile, storeSize)) return false;
  try {
    store->Stream->SetPosition(0);
    if (CopyStreamBytes(store->Stream.get(), Stream, total) != total) return false;
  } catch (const std::exception&) {
    return false;
  }

  std::lock_guard lock(FLock);
  while (!FImages.empty()) DoDeleteImage(FImages.back().get());
  FFileBuffer = std::move(store);
  ++FStoreGeneration;
  FFreeBlocks.clear();
  FStoreSize = storeSize;
  FNextPos = total;
  for (auto& r : records) {
    FKnown.insert(r.get());
    FImages.push_back(std::move(r));
  }
  return true;
}
