// Storage of TPXBitmap: allocation in one block, segments, a temporary file or a platform bitmap,
// row addressing, attaching outside storage, resizing, row alignment and handing storage over.
#include <algorithm>
#include <climits>
#include <cstring>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pxicc.h"

namespace {

int64_t g_max_single_block = 0;

constexpr int64_t kSegmentMinimum = 10485760;

// The platform bitmap format for a pixel format allowed in pxTBitmap storage.
bool TBitmapFormatFor(TPXPixelFormat Format, TPixelFormat& Result) {
  switch (Format) {
    case px1g: Result = pf1bit; return true;
    case px8p:
    case px8g:
    case px16g: Result = pf8bit; return true;
    case px24RGB: Result = pf24bit; return true;
    case px32RGB: Result = pf32bit; return true;
    default: return false;
  }
}

const char* FormatName(TPXPixelFormat Format) {
  switch (Format) {
    case px32f: return "px32f";
    case pxCMYK: return "pxCMYK";
    case pxRGB48: return "pxRGB48";
    case pxCIELab: return "pxCIELab";
    default: return "this";
  }
}

// Platform bitmaps whose rows the container can address are 1, 8, 24 and 32 bits; others are
// brought to 24 bits first so that row lengths always match the memory behind them.
void NormalizeTBitmapFormat(TBitmap* Bitmap) {
  switch (Bitmap->PixelFormat()) {
    case pf1bit:
    case pf8bit:
    case pf24bit:
    case pf32bit: break;
    default: Bitmap->SetPixelFormat(pf24bit);
  }
}

}  // namespace

void SetMaxSingleBlockSize(int64_t Bytes) { g_max_single_block = Bytes; }

// ---------------------------------------------------------------------------------------------
// Allocation

bool TPXBitmap::Allocate(int32_t Width, int32_t Height, TPXPixelFormat PixelFormat) {
  bool result = true;
  if (FForceReallocate || Width != FWidth || Height != FHeight || PixelFormat != FPixelFormat) {
    try {
      if (FExternalTBitmap) FAlphaChannel.reset();
      else FreeStorage(true);
      FWidth = Width;
      FHeight = Height;
      FPixelFormat = PixelFormat;
      result = AllocatePixels();
    } catch (const std::exception&) {
      result = false;
    }
    if (!result) {
      FWidth = 0;
      FHeight = 0;
    }
    FForceReallocate = 0;
  }
  DoChange();
  return result;
}

void TPXBitmap::AllocateFilled(int32_t Width, int32_t Height, TColor Color, uint8_t Alpha) {
  Allocate(Width, Height, px24RGB);
  Fill(Color);
  if (Alpha < 255) GetAlphaChannel()->Fill(Alpha);
}

bool TPXBitmap::AllocatePixels() {
  if (FWidth <= 0 || FHeight <= 0 || FPixelFormat == pxNoFormat ||
      static_cast<unsigned>(FPixelFormat) >= PXPixelFormatCount)
    return false;
  FPXCanvas.reset();
  if (FPixelFormat == px8p) FPalette.assign(256, TRGB{});
  FBitCount = PixelFormatBits(FPixelFormat);
  FChannelCount = PixelFormatChannels(FPixelFormat);
  FRowLen = RowByteLength(FWidth, FBitCount, FRowAlignment);
  if (IsVirtual()) return true;
  if (FRowLen <= 0 || FRowLen > INT64_MAX / FHeight) return false;
  const int64_t size = FRowLen * FHeight;

  if (FLocation == pxFile && size <= FMemoryLimit) FLocation = pxMemory;
  else if (FLocation == pxMemory && size > FMemoryLimit) FLocation = pxFile;

  bool ok = false;
  if (FLocation == pxFile) {
    ok = AllocateFile(size);
    if (!ok) FLocation = pxMemory;
  }
  if (!ok && FLocation == pxMemory) {
    ok = AllocateBlock(size) || AllocateSegments();
    if (!ok && GlobalSettingsInstance()->FFileFallback) {
      FLocation = pxFile;
      ok = AllocateFile(size);
    }
  }
  if (FLocation == pxTBitmap) ok = AllocateTBitmap(size);
  if (ok) FFull = 0;
  return ok;
}

bool TPXBitmap::AllocateBlock(int64_t Size) {
  if (Size > INT64_MAX - 128) return false;
  const int64_t total = Size + 128;
  if (g_max_single_block > 0 && total > g_max_single_block) return false;
  void* block = nullptr;
  switch (FAllocationKind) {
    case 0: block = AllocHeapBlock(total); break;
    case 1: block = AllocBlock(true, total); break;
    default: block = AllocBlock(false, total); break;
  }
  if (!block) return false;
  FMemoryBlock.reset(static_cast<uint8_t*>(block));
  const auto addr = reinterpret_cast<uintptr_t>(block);
  FMemoryRows = static_cast<uint8_t*>(block) + ((64 - addr % 64) % 64);
  return true;
}

bool TPXBitmap::AllocateSegments() {
  if (!GlobalSettingsInstance()->FSegmentedMemory) return false;
  int64_t n = 4;
  for (;;) {
    const int64_t rows = (FHeight + n - 1) / n;
    const int64_t bytes = rows * FRowLen;
    if (bytes < kSegmentMinimum && n > 4) return false;
    std::vector<TPXGlobalPtr> segments;
    segments.reserve(static_cast<size_t>(n));
    bool failed = false;
    for (int64_t i = 0; i < n; ++i) {
      void* p = GlobalAllocZeroed(bytes);
      if (!p) {
        failed = true;
        break;
      }
      segments.emplace_back(static_cast<uint8_t*>(p));
    }
    if (!failed) {
      FSegments = std::move(segments);
      FSegmentCount = static_cast<int32_t>(n);
      FRowsPerSegment = static_cast<int32_t>(rows);
      return true;
    }
    n *= 2;
    if (n >= FHeight) return false;
  }
}

bool TPXBitmap::AllocateFile(int64_t Size) {
  if (!FFileBuffer->Allocate("IMG", true, Size)) return false;
  if (!FFileBuffer->Data()) {
    FFileBuffer->Deallocate();
    return false;
  }
  FLocation = pxFile;
  return true;
}

bool TPXBitmap::AllocateTBitmap(int64_t Size) {
  const int64_t physical = GetPhysicalMemory(false);
  if (physical > 0 && Size > physical) return false;
  if (!FVclBitmap) {
    FOwnedVclBitmap = std::make_unique<TBitmap>();
    FVclBitmap = FOwnedVclBitmap.get();
  }
  try {
    TPixelFormat pf = pf24bit;
    if (!TBitmapFormatFor(FPixelFormat, pf))
      throw EPXException(std::string(FormatName(FPixelFormat)) +
                         " pixel format not allowed when Location=pxTBitmap (Ensure TPixoranView.LegacyBitmap=false "
                         "and TPixoranView.Bitmap is not used).");
    FVclBitmap->SetSize(1, 1);
    FVclBitmap->SetPixelFormat(pfDevice);
    FVclBitmap->SetPixelFormat(pf);
    if (FPixelFormat == px16g) {
      FPixelFormat = px8g;
      FBitCount = PixelFormatBits(FPixelFormat);
      FChannelCount = PixelFormatChannels(FPixelFormat);
      FRowLen = RowByteLength(FWidth, FBitCount, FRowAlignment);
    }
    FVclBitmap->SetSize(FWidth, FHeight);
    if (FPixelFormat == px8g) SetGrayPalette(FVclBitmap);
    BuildRowPointers();
  } catch (const std::exception&) {
    return false;
  }
  FRowLen = GraphicRowByteLength(FWidth, FVclBitmap->PixelFormat());
  return true;
}

void TPXBitmap::FreeSegments() {
  FSegments.clear();
  FSegmentCount = 0;
  FRowsPerSegment = 0;
}

void TPXBitmap::FreeStorage(bool FreeAlpha) {
  if (FreeAlpha) FAlphaChannel.reset();
  FPalette.clear();
  FFileBuffer->Deallocate();
  FMemoryBlock.reset();
  FMemoryRows = nullptr;
  FPXCanvas.reset();
  FOwnedVclBitmap.reset();
  FVclBitmap = nullptr;
  FRowPointers.clear();
  FreeSegments();
  FWidth = 0;
  FHeight = 0;
  FRowLen = 0;
  FBitCount = 0;
  FChannelCount = 0;
  FFull = 0;
  FExternalTBitmap = 0;
  FExternalMemory = 0;
  FVirtualRowBuffer.clear();
  FVirtualRowBuffer.shrink_to_fit();
  FImageProfile->Clear();
}

void TPXBitmap::FreeImage() {
  SetWidth(0);
  SetHeight(0);
}

bool TPXBitmap::IsEmpty() {
  if (FLocation == pxTBitmap) SyncFromTBitmap();
  return FWidth == 0 || FHeight == 0 || FRowLen == 0 || FBitCount == 0;
}

bool TPXBitmap::IsVirtual() { return static_cast<bool>(FOnVirtualPixel) || FVirtualProvider != nullptr; }

// ---------------------------------------------------------------------------------------------
// Geometry accessors

int32_t TPXBitmap::GetWidth() {
  if (FLocation == pxTBitmap) SyncFromTBitmap();
  return FWidth;
}

int32_t TPXBitmap::GetHeight() {
  if (FLocation == pxTBitmap) SyncFromTBitmap();
  return FHeight;
}

int32_t TPXBitmap::GetBitCount() {
  if (FLocation == pxTBitmap) SyncFromTBitmap();
  return FBitCount;
}

int32_t TPXBitmap::GetChannelCount() {
  if (FLocation == pxTBitmap) SyncFromTBitmap();
  return FChannelCount;
}

TPXPixelFormat TPXBitmap::GetPixelFormat() {
  if (FLocation == pxTBitmap) SyncFromTBitmap();
  return FPixelFormat;
}

int64_t TPXBitmap::GetRowLen() {
  if (FLocation == pxTBitmap) SyncFromTBitmap();
  return FRowLen;
}

void TPXBitmap::SyncFromTBitmap() {
  if (FLocation != pxTBitmap || !FVclBitmap || IsVirtual()) return;
  TBitmap* bmp = FVclBitmap;
  NormalizeTBitmapFormat(bmp);
  TPXPixelFormat fmt = px24RGB;
  switch (bmp->PixelFormat()) {
    case pf1bit: fmt = px1g; break;
    case pf8bit: fmt = (FIsAlphaChannel || IsGrayPalette(bmp)) ? px8g : px8p; break;
    case pf32bit: fmt = px32RGB; break;
    default: fmt = px24RGB; break;
  }
  const int32_t w = bmp->Width(), h = bmp->Height();
  bool rebuild = false;
  if (w != FWidth || h != FHeight || fmt != FPixelFormat) {
    FWidth = w;
    FHeight = h;
    FPixelFormat = fmt;
    FBitCount = PixelFormatBits(fmt);
    FChannelCount = PixelFormatChannels(fmt);
    FRowLen = GraphicRowByteLength(w, bmp->PixelFormat());
    if (FAlphaChannel && (FAlphaChannel->FWidth != w || FAlphaChannel->FHeight != h))
      FAlphaChannel->Allocate(w, h, px8g);
    rebuild = true;
  } else if (w > 0 && h > 0 && (FRowPointers.empty() || FRowPointers[0] != bmp->ScanLine(0))) {
    rebuild = true;
  }
  if (rebuild) BuildRowPointers();
  if (fmt == px8p) {
    // Read back directly: a getter must not fire change events.
    const std::vector<TRGBQuad> table = bmp->ColorTable();
    FPalette.resize(256);
    for (size_t i = 0; i < table.size() && i < 256; ++i)
      FPalette[i] = TRGB{table[i].rgbBlue, table[i].rgbGreen, table[i].rgbRed};
  }
}

void TPXBitmap::BuildRowPointers() {
  FRowPointers.clear();
  if (!FVclBitmap || FVclBitmap->Width() <= 0 || FVclBitmap->Height() <= 0) return;
  const int32_t h = FVclBitmap->Height();
  FRowPointers.resize(static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) FRowPointers[y] = static_cast<uint8_t*>(FVclBitmap->ScanLine(y));
}

// ---------------------------------------------------------------------------------------------
// Row addressing

uint8_t* TPXBitmap::StorageRow(int32_t Row) {
  switch (FLocation) {
    case pxMemory:
      if (FSegmentCount > 0)
        return FSegments[Row / FRowsPerSegment].get() + static_cast<int64_t>(Row % FRowsPerSegment) * FRowLen;
      return FMemoryRows ? FMemoryRows + static_cast<int64_t>(FHeight - 1 - Row) * FRowLen : nullptr;
    case pxFile: {
      uint8_t* data = FFileBuffer->Data();
      return data ? data + static_cast<int64_t>(Row) * FRowLen : nullptr;
    }
    case pxTBitmap:
      return Row >= 0 && static_cast<size_t>(Row) < FRowPointers.size() ? FRowPointers[Row] : nullptr;
  }
  return nullptr;
}

void* TPXBitmap::VirtualRow(int32_t Row, int32_t Col, int32_t Count) {
  if (FVirtualProvider) return FVirtualProvider->GetPixels(this, Row, Col, Count);
  if (!FOnVirtualPixel) return nullptr;
  const int32_t step = FBitCount / 8;
  const int64_t need = std::max<int64_t>(FRowLen, static_cast<int64_t>(Count) * std::max(step, 1)) + 8;
  if (static_cast<int64_t>(FVirtualRowBuffer.size()) < need) FVirtualRowBuffer.resize(static_cast<size_t>(need));
  uint8_t* p = FVirtualRowBuffer.data();
  for (int32_t x = Col; x < Col + Count; ++x, p += step) FOnVirtualPixel(this, x, Row, p);
  return FVirtualRowBuffer.data();
}

void* TPXBitmap::GetScanline(int32_t Row) {
  if (FRowOrderReversed) Row = FHeight - 1 - Row;
  if (IsVirtual()) return VirtualRow(Row, 0, FWidth);
  return StorageRow(Row);
}

void* TPXBitmap::GetPixelAddress(int32_t Row, int32_t Col, int32_t Count) {
  if (IsVirtual()) return VirtualRow(Row, Col, Count);
  auto* row = static_cast<uint8_t*>(GetScanline(Row));
  return row ? row + static_cast<int64_t>(Col) * (FBitCount / 8) : nullptr;
}

// File storage is mapped whole, so an acquired row is just a row.
void* TPXBitmap::AcquireScanline(int32_t Row) { return GetScanline(Row); }

void TPXBitmap::ReleaseScanline(int32_t) {}

uint8_t* TPXBitmap::GetPixelBuffer() {
  if (FLocation == pxTBitmap) {
    if (FRowPointers.empty()) return nullptr;
    return std::min(FRowPointers.front(), FRowPointers.back());
  }
  return FMemoryRows;
}

// ---------------------------------------------------------------------------------------------
// Attaching outside storage

void TPXBitmap::AttachTBitmap(TBitmap* Bitmap, bool FreeFirst) {
  if (FreeFirst) FreeStorage(true);
  if (!Bitmap) return;
  NormalizeTBitmapFormat(Bitmap);
  TPXPixelFormat fmt = px24RGB;
  switch (Bitmap->PixelFormat()) {
    case pf1bit: fmt = px1g; break;
    case pf8bit: fmt = px8p; break;
    case pf32bit: fmt = px32RGB; break;
    default: fmt = px24RGB; break;
  }
  if (Bitmap == FVclBitmap && Bitmap->Width() == FWidth && Bitmap->Height() == FHeight && fmt == FPixelFormat)
    return;
  // One storage at a time: drop any other pixels (the alpha channel stays).
  FFileBuffer->Deallocate();
  FMemoryBlock.reset();
  FMemoryRows = nullptr;
  FExternalMemory = 0;
  FreeSegments();
  if (FOwnedVclBitmap.get() != Bitmap) FOwnedVclBitmap.reset();
  FWidth = Bitmap->Width();
  FHeight = Bitmap->Height();
  FPixelFormat = fmt;
  FPalette.clear();
  if (fmt == px8p) {
    const std::vector<TRGBQuad> table = Bitmap->ColorTable();
    FPalette.assign(256, TRGB{});
    for (size_t i = 0; i < table.size() && i < 256; ++i)
      FPalette[i] = TRGB{table[i].rgbBlue, table[i].rgbGreen, table[i].rgbRed};
  }
  FBitCount = PixelFormatBits(fmt);
  FChannelCount = PixelFormatChannels(fmt);
  FRowLen = GraphicRowByteLength(FWidth, Bitmap->PixelFormat());
  FLocation = pxTBitmap;
  FExternalTBitmap = FOwnedVclBitmap.get() == Bitmap ? 0 : 1;
  FVclBitmap = Bitmap;
  FPXCanvas.reset();
  BuildRowPointers();
  if (FAlphaChannel && (FAlphaChannel->FWidth != FWidth || FAlphaChannel->FHeight != FHeight)) {
    FAlphaChannel->Allocate(FWidth, FHeight, px8g);
    FAlphaChannel->Fill(255);
  }
}

void TPXBitmap::AttachMemory(void* Block, int32_t Width, int32_t Height, TPXPixelFormat PixelFormat,
                             bool FreeFirst, bool RowOrderReversed) {
  if (FreeFirst) FreeStorage(true);
  if (!Block) return;
  FFileBuffer->Deallocate();
  FMemoryBlock.reset();
  FreeSegments();
  FOwnedVclBitmap.reset();
  FVclBitmap = nullptr;
  FExternalTBitmap = 0;
  FRowPointers.clear();
  FLocation = pxMemory;
  FExternalMemory = 1;
  FMemoryRows = static_cast<uint8_t*>(Block);
  const bool valid = Width > 0 && Height > 0 && PixelFormat != pxNoFormat &&
                     static_cast<unsigned>(PixelFormat) < PXPixelFormatCount;
  FWidth = valid ? Width : 0;
  FHeight = valid ? Height : 0;
  FPixelFormat = PixelFormat;
  FBitCount = PixelFormatBits(PixelFormat);
  FChannelCount = PixelFormatChannels(PixelFormat);
  FRowLen = valid ? RowByteLength(Width, FBitCount, FRowAlignment) : 0;
  FRowOrderReversed = RowOrderReversed ? 1 : 0;
  FPalette.clear();
  if (PixelFormat == px8p) FPalette.assign(256, TRGB{});
  FPXCanvas.reset();
}

// ---------------------------------------------------------------------------------------------
// Handing storage over

void TPXBitmap::MoveStorageTo(TPXBitmap* Dest) {
  if (!Dest || Dest == this) return;
  Dest->FreeStorage(true);
  Dest->FWidth = FWidth;
  Dest->FHeight = FHeight;
  Dest->FBitCount = FBitCount;
  Dest->FChannelCount = FChannelCount;
  Dest->FRowLen = FRowLen;
  Dest->FPixelFormat = FPixelFormat;
  Dest->FPalette = std::move(FPalette);
  Dest->FPaletteUsed = FPaletteUsed;
  Dest->FAlphaChannel = std::move(FAlphaChannel);
  Dest->FIsAlphaChannel = FIsAlphaChannel;
  Dest->FMemoryRows = FMemoryRows;
  Dest->FMemoryBlock = std::move(FMemoryBlock);
  Dest->FVclBitmap = FVclBitmap;
  Dest->FOwnedVclBitmap = std::move(FOwnedVclBitmap);
  Dest->FLocation = FLocation;
  Dest->FFull = FFull;
  Dest->FExternalTBitmap = FExternalTBitmap;
  Dest->FExternalMemory = FExternalMemory;
  Dest->FRowPointers = std::move(FRowPointers);
  Dest->FSegmentCount = FSegmentCount;
  Dest->FRowsPerSegment = FRowsPerSegment;
  Dest->FSegments = std::move(FSegments);
  Dest->FRowOrderReversed = FRowOrderReversed;
  Dest->FFileBuffer = std::move(FFileBuffer);
  Dest->FBWConversion = FBWConversion;
  Dest->FRowAlignment = FRowAlignment;
  Dest->FAllocationKind = FAllocationKind;
  Dest->FOnVirtualPixel = FOnVirtualPixel;
  Dest->FVirtualProvider = std::move(FVirtualProvider);
  Dest->FPXCanvas = std::move(FPXCanvas);
  Dest->FOnChange = FOnChange;
  Dest->FOnProgress = FOnProgress;
  Dest->FModified = FModified;
  Dest->FImageProfile->Assign(FImageProfile.get());

  FWidth = 0;
  FHeight = 0;
  FBitCount = 0;
  FChannelCount = 0;
  FRowLen = 0;
  FPixelFormat = pxNoFormat;
  FPalette.clear();
  FMemoryRows = nullptr;
  FVclBitmap = nullptr;
  FRowPointers.clear();
  FFull = 0;
  FExternalTBitmap = 0;
  FExternalMemory = 0;
  FForceReallocate = 1;
  FFileBuffer = std::make_unique<TPXFileBuffer>();
  FSegmentCount = 0;
  FRowsPerSegment = 0;
  FSegments.clear();
  FRowOrderReversed = 0;
  FImageProfile->Clear();
}

// Takes the pixels, palette and alpha channel back from a bitmap that holds the old storage,
// after a re-allocation failed, so the picture is never lost.
static void RestoreStorage(TPXBitmap* Self, TPXBitmap* Saved) {
  const TNotifyEvent onChange = Self->FOnChange;
  Saved->MoveStorageTo(Self);
  Self->FOnChange = onChange;
}

// Copies the rows both bitmaps share (the shorter row, the smaller height), the palette and the
// alpha channel from Old, which holds the previous storage.
static void CopyBack(TPXBitmap* Self, TPXBitmap* Old) {
  const int32_t h = std::min(Self->FHeight, Old->FHeight);
  const int64_t n = std::min(Self->FRowLen, Old->FRowLen);
  if (n > 0)
    for (int32_t y = 0; y < h; ++y) std::memcpy(Self->GetScanline(y), Old->GetScanline(y), static_cast<size_t>(n));
  if (!Old->FPalette.empty()) {
    Self->FPalette = Old->FPalette;
    Self->FPaletteUsed = Old->FPaletteUsed;
  }
  if (Old->FAlphaChannel) Self->FAlphaChannel = std::move(Old->FAlphaChannel);
  Self->FImageProfile->Assign(Old->FImageProfile.get());
}

void TPXBitmap::SetRowAlignment(int32_t Bits) {
  if (Bits == FRowAlignment) return;
  if (IsVirtual()) {
    FRowAlignment = Bits;
    return;
  }
  FForceReallocate = 1;
  if (FLocation == pxMemory) {
    const bool hadPixels = FWidth > 0 && FHeight > 0 && FPixelFormat != pxNoFormat;
    if (!hadPixels) {
      FRowAlignment = Bits;
    } else {
      const TNotifyEvent onChange = FOnChange;
      const uint8_t modified = FModified;
      TPXBitmap old;
      MoveStorageTo(&old);
      old.FOnChange = nullptr;
      const int32_t oldAlignment = FRowAlignment;
      FRowAlignment = Bits;
      FOnChange = nullptr;
      if (!Allocate(old.FWidth, old.FHeight, old.FPixelFormat)) {
        FRowAlignment = oldAlignment;
        RestoreStorage(this, &old);
        FOnChange = onChange;
        FModified = modified;
        throw EOutOfMemory("Out of memory");
      }
      FOnChange = onChange;
      CopyBack(this, &old);
      FFull = old.FFull;
    }
  }
  DoChange();
}

void TPXBitmap::ApplySize(bool Horizontal, int32_t Value) {
  if (Value < 0) Value = 0;
  int32_t& side = Horizontal ? FWidth : FHeight;
  if (FLocation == pxTBitmap) SyncFromTBitmap();
  if (Value == side) return;
  if (FAlphaChannel) {
    if (Horizontal) FAlphaChannel->SetWidth(Value);
    else FAlphaChannel->SetHeight(Value);
  }
  if (IsVirtual()) {
    side = Value;
    DoChange();
    return;
  }
  if (FLocation == pxMemory || FLocation == pxFile) {
    const int32_t other = Horizontal ? FHeight : FWidth;
    if (FPixelFormat != pxNoFormat && other != 0) {
      const TNotifyEvent onChange = FOnChange;
      TPXBitmap old;
      MoveStorageTo(&old);
      old.FOnChange = nullptr;
      FOnChange = nullptr;
      const int32_t w = Horizontal ? Value : old.FWidth;
      const int32_t h = Horizontal ? old.FHeight : Value;
      bool ok = true;
      if (w > 0 && h > 0) {
        ok = Allocate(w, h, old.FPixelFormat);
      } else {
        // Shrinking to nothing leaves an empty picture of the same format.
        FPixelFormat = old.FPixelFormat;
        FWidth = w;
        FHeight = h;
      }
      FOnChange = onChange;
      if (!ok) {
        std::unique_ptr<TPXBitmap> alpha = std::move(old.FAlphaChannel);
        RestoreStorage(this, &old);
        FAlphaChannel = std::move(alpha);
        throw EOutOfMemory("Out of memory");
      }
      CopyBack(this, &old);
      FFull = 0;
    } else {
      side = Value;
    }
  } else {
    if (!FVclBitmap) {
      FOwnedVclBitmap = std::make_unique<TBitmap>();
      FVclBitmap = FOwnedVclBitmap.get();
    }
    if (Horizontal) FVclBitmap->SetWidth(Value);
    else FVclBitmap->SetHeight(Value);
    FWidth = FVclBitmap->Width();
    FHeight = FVclBitmap->Height();
    FRowLen = GraphicRowByteLength(FWidth, FVclBitmap->PixelFormat());
    BuildRowPointers();
  }
  DoChange();
}

void TPXBitmap::SetWidth(int32_t Value) { ApplySize(true, Value); }

void TPXBitmap::SetHeight(int32_t Value) { ApplySize(false, Value); }
