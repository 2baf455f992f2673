// TPXVirtualImageList: many pictures kept in one growing backing store (a temporary file or
// memory) and handed out as TPXBitmap objects on demand. Each picture is one contiguous block;
// a few blocks are held in memory (mapped), least recently used first to go. The whole cache
// can be written to and read from a stream.
//
// Block layout: the rows, last row first, each padded to 4 bytes; for px8p the 256-entry
// palette (768 bytes); with alpha one byte holding the alpha channel's FFull flag, then the
// alpha rows (8 bits, last row first, same padding).
//
// Every public operation holds the one lock. Memory given out (a bitmap, or the address of a
// mapped block through GetImageRows, GetImagePalette, GetImageAlphaRows) stays valid until its
// user gives it back (ReleaseBitmap, ReleaseImageMemory), even when another thread deletes the
// picture or eviction would unmap it meanwhile.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/hypxdefs.h"
#include "core/hypxutils.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SyncObjs.h"

class TPXBitmap;

// One picture of the cache; its address is the picture's handle. The stream form of the first
// fields is 56 bytes (TPXVirtualImageList::RecordSize).
struct TPXVirtualImageRecord {
  int64_t Position = 0;
  int64_t Size = 0;
  uint8_t InUse = 0;  // a bitmap of this picture is handed out
  int32_t OriginalWidth = 0;
  int32_t OriginalHeight = 0;
  uint8_t HasAlpha = 0;
  uint8_t AccessMode = 0;  // of the current mapping: bit 0 read, bit 1 write
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitsPerPixel = 0;
  TPXPixelFormat PixelFormat = pxNoFormat;
  uint32_t NameHash = 0;

  // Not streamed.
  TPXBlockPtr Memory;     // the mapped block, nil when not mapped
  int32_t BlockPins = 0;  // users of Memory outside the lock
  int32_t BitmapPins = 0; // users of the handed-out bitmap's memory outside the lock
  bool Deleted = false;   // removed from the list, kept until its users let go
  std::vector<TPXBlockPtr> Retired;  // earlier blocks still pinned by users

  uint8_t* Mapped() const { return Memory.get(); }
};

using TPXVirtualImage = TPXVirtualImageRecord*;

class TPXVirtualImageList : public TObject {
 public:
  static constexpr int32_t RecordSize = 56;
  static constexpr int64_t DefaultGrowStep = 0x40000;

  TPXVirtualImageList(std::string_view Prefix, bool UseFile);
  ~TPXVirtualImageList() override;

  // A block for a picture of that geometry; nil for a size below 1 x 1, no format, or a block
  // too large to address. With MapNow the block is mapped for writing (it stays reserved when
  // that fails).
  TPXVirtualImage AddImage(int32_t Width, int32_t Height, bool MapNow, bool HasAlpha, TPXPixelFormat PixelFormat,
                           int32_t BitsPerPixel);
  // The bitmap's pixels, palette and alpha in a new block (through a mapped block / straight
  // into the store).
  TPXVirtualImage AddBitmap(TPXBitmap* Bitmap);
  TPXVirtualImage AddBitmapDirect(TPXBitmap* Bitmap);
  void CopyToBitmap(TPXVirtualImage Record, TPXBitmap* Bitmap);
  // Rewrites the picture from Bitmap; another geometry takes a new block (the old one is not
  // returned to the free blocks).
  void UpdateImage(TPXVirtualImage Record, TPXBitmap* Bitmap);

  // The picture as a bitmap (nil when it cannot be read); the same bitmap while handed out.
  // Every GetBitmap is matched by a ReleaseBitmap.
  TPXBitmap* GetBitmap(TPXVirtualImage Record);
  void ReleaseBitmap(TPXBitmap* Bitmap, bool Save);
  void ReleaseImageBitmap(TPXVirtualImage Record, bool Save);

  int32_t GetImageWidth(TPXVirtualImage Record);
  int32_t GetImageHeight(TPXVirtualImage Record);
  TPXPixelFormat GetImagePixelFormat(TPXVirtualImage Record);
  int32_t GetOriginalWidth(TPXVirtualImage Record);
  void SetOriginalWidth(TPXVirtualImage Record, int32_t Value);
  int32_t GetOriginalHeight(TPXVirtualImage Record);
  void SetOriginalHeight(TPXVirtualImage Record, int32_t Value);
  // Stores MurmurHash2Wide of the name (seed 0x9747B28C), 0 for an empty name.
  void SetImageName(TPXVirtualImage Record, std::string_view Name);

  TPXVirtualImage GetImage(int32_t Index);
  int32_t IndexOfImage(TPXVirtualImage Record);
  int32_t Count();

  // The pixels of the picture: the handed-out bitmap's one-block memory (RowsReversed its row
  // flag) or the mapped block (last row first, RowsReversed false). Each non-nil answer pins
  // that memory until ReleaseImageMemory(Record).
  void* GetImageRows(TPXVirtualImage Record, bool& RowsReversed);
  TRGB* GetImagePalette(TPXVirtualImage Record);
  // Nil for a picture without alpha or, in the block, whose alpha is all opaque (FFull).
  void* GetImageAlphaRows(TPXVirtualImage Record, bool& RowsReversed);
  // Gives back one pin of the three queries above.
  void ReleaseImageMemory(TPXVirtualImage Record);

  void DeleteImage(TPXVirtualImage Record);
  void Clear();

  void SaveToStream(TStream* Stream);
  // False, the cache unchanged, for a stream without the signature or whose records, sizes or
  // data do not hold together; a count of 0 or less answers true and changes nothing.
  bool LoadFromStream(TStream* Stream);

  int32_t MaxMapped();
  void SetMaxMapped(int32_t Value);
  int32_t MappedCount();

  // Block size of a picture of that geometry; -1 when it cannot be addressed.
  static int64_t BlockSize(int32_t Width, int32_t Height, int32_t BitsPerPixel, TPXPixelFormat PixelFormat,
                           bool HasAlpha);
  // Bits per pixel of a format as the cache stores it; 0 for no or an unknown format.
  static int32_t FormatBitsPerPixel(TPXPixelFormat PixelFormat);

  // --- state (public for inspection; take the lock around any use from outside) -------------
  std::unique_ptr<TPXFileBuffer> FFileBuffer;
  bool FUseFile = true;
  int64_t FStoreSize = 0;
  std::vector<std::unique_ptr<TPXVirtualImageRecord>> FImages;
  std::vector<TPXVirtualImageRecord*> FMappedImages;  // least recently used first
  struct TFreeBlock {
    int64_t Position;
    int64_t Size;
  };
  std::vector<TFreeBlock> FFreeBlocks;
  int64_t FNextPos = 0;
  int64_t FGrowStep = DefaultGrowStep;
  int32_t FMaxMapped = 10;
  int32_t FMappedCount = 0;
  // A private (copy-on-write) mapping of a block of the file store that a handed-out bitmap
  // uses as its pixel rows; unmapped when the hand-out ends.
  struct TFileView {
    TFileView() = default;
    TFileView(const TFileView&) = delete;
    TFileView& operator=(const TFileView&) = delete;
    ~TFileView();
    void* Base = nullptr;
    size_t Length = 0;
    uint8_t* Data = nullptr;  // the block inside the mapping
    int64_t Position = 0;  // the store range the rows come from
    int64_t Size = 0;
    int64_t Generation = 0;     // of the store it maps
    bool FreeOnRelease = false; // the range belongs to no picture any more: free it afterwards
  };
  // A block of memory kept for reuse, Capacity bytes.
  struct TSpareBlock {
    TPXBlockPtr Block;
    int64_t Capacity = 0;
  };
  struct THandedOut {
    TPXVirtualImageRecord* Record;
    std::unique_ptr<TFileView> View;  // declared before the bitmap: outlive it
    TSpareBlock Own;                  // the rows read from the store, when not a view
    std::unique_ptr<TPXBitmap> Bitmap;
    int32_t Count;
  };
  std::vector<THandedOut> FHandedOut;
  // Pictures up to this block size are handed out over their own copy of the block, read in one
  // piece into memory kept from earlier hand-outs; larger ones over a private mapping of the
  // file store, which spares the copy (beyond about 16 MB the cheaper way).
  int64_t FViewThreshold = int64_t{16} << 20;
  int64_t FLastRequest = 0;
  std::string FPrefix;
  TCriticalSection FLock;

 private:
  std::vector<std::unique_ptr<TPXVirtualImageRecord>> FDeleted;  // still in use by someone
  std::unordered_set<const TPXVirtualImageRecord*> FKnown;       // live and deleted records

  bool Known(const TPXVirtualImageRecord* Record) const;
  bool Live(const TPXVirtualImageRecord* Record) const;
  void AllocateStore();
  void GrowStore();
  bool ReserveBlock(int64_t Size, int64_t& Position);
  bool MapImage(TPXVirtualImageRecord* Record, uint8_t Mode);
  void UnmapImage(TPXVirtualImageRecord* Record, bool WriteBack);
  void DropMapping(TPXVirtualImageRecord* Record);
  THandedOut* FindHandedOut(const TPXVirtualImageRecord* Record);
  void WriteBlock(TPXVirtualImageRecord* Record, TPXBitmap* Bitmap, uint8_t* Block);
  // A handed-out bitmap reads its rows straight from the store, so a store range under such a
  // view is never written while the view lives: a picture rewritten meanwhile moves to a new
  // block, and the range goes to the free blocks only when the view is gone.
  void WriteStore(const void* Data, int64_t Position, int64_t Size);
  TFileView* ViewOf(int64_t Position, int64_t Size);
  void FreeBlock(int64_t Position, int64_t Size);
  int64_t FStoreGeneration = 0;
  // A bitmap over a private mapping of the record's block; nil when that cannot be had.
  std::unique_ptr<TFileView> MapFileView(TPXVirtualImageRecord* Record);
  // Size bytes of the store from Position into Into; what lies past the store's end reads as 0.
  void ReadStore(uint8_t* Into, int64_t Position, int64_t Size);
  TSpareBlock TakeSpare(int64_t Size);
  void KeepSpare(TSpareBlock Spare);
  std::vector<TSpareBlock> FSpares;  // at most two
  void ReadBlock(TPXVirtualImageRecord* Record, const uint8_t* Block, TPXBitmap* Bitmap);
  void ReadTail(TPXVirtualImageRecord* Record, const uint8_t* Block, TPXBitmap* Bitmap);
  void DoUpdateImage(TPXVirtualImageRecord* Record, TPXBitmap* Bitmap);
  void DoCopyToBitmap(TPXVirtualImageRecord* Record, TPXBitmap* Bitmap);
  void DoReleaseHandedOut(size_t Index, bool Save);
  void Retire(TPXVirtualImageRecord* Record);
  void ForgetIfUnused(TPXVirtualImageRecord* Record);
  void DoDeleteImage(TPXVirtualImageRecord* Record);
  void ResetStore();
};
