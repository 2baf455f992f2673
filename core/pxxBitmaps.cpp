// The base class, construction and destruction, change notification and the colour tables of
// platform bitmaps.
#include "core/pxxBitmaps.h"

#include "core/pxsettings.h"
#include "io/pxicc.h"

// ---------------------------------------------------------------------------------------------
// TPXBaseBitmap

void TPXBaseBitmap::AllocateFilled(int32_t, int32_t, TColor, uint8_t) { throw EAbstractError("Abstract Error"); }

// ---------------------------------------------------------------------------------------------
// Construction and destruction

int64_t BitmapMemoryLimitFor(int64_t SettingsLimit, int64_t PhysicalMemory) {
  if (SettingsLimit >= 0) return SettingsLimit;
  if (PhysicalMemory <= 0) return 33554432;
  return static_cast<int64_t>(static_cast<long double>(PhysicalMemory) / 1.1L);
}

TPXBitmap::TPXBitmap()
    : FFileBuffer(std::make_unique<TPXFileBuffer>()),
      FImageProfile(std::make_unique<TPXICC>()) {
  const int64_t limit = GlobalSettingsInstance()->FBitmapMemoryLimit;
  FMemoryLimit = BitmapMemoryLimitFor(limit, limit < 0 ? GetPhysicalMemory(false) : 0);
}

const TPXICC* TPXBitmap::DisplayProfile() const {
  return FDisplayProfile ? FDisplayProfile.get() : SharedSRGBProfile();
}

TPXBitmap::~TPXBitmap() {
  EndRectBitmaps();
  FPXCanvas.reset();
  FreeStorage(true);
}

std::unique_ptr<TPXBitmap> TPXBitmap::CreateAllocated(int32_t Width, int32_t Height, TPXPixelFormat PixelFormat) {
  auto bmp = std::make_unique<TPXBitmap>();
  bmp->Allocate(Width, Height, PixelFormat);
  bmp->FModified = 0;
  return bmp;
}

std::unique_ptr<TPXBitmap> TPXBitmap::CreateCopy(TObject* Source) {
  auto bmp = std::make_unique<TPXBitmap>();
  bmp->Assign(Source);
  bmp->FModified = 0;
  return bmp;
}

// ---------------------------------------------------------------------------------------------
// Change notification

void TPXBitmap::DoChange() {
  FModified = 1;
  if (FOnChange) FOnChange(this);
}

void TPXBitmap::SetModified(bool Value) {
  if (Value) DoChange();
  else FModified = 0;
}

// ---------------------------------------------------------------------------------------------
// Colour tables of platform bitmaps

void SetGrayPalette(TBitmap* Bitmap) {
  if (!Bitmap) return;
  std::vector<TRGBQuad> table(256);
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    table[i] = TRGBQuad{v, v, v, 0};
  }
  Bitmap->SetColorTable(table);
  SetStretchBltMode(Bitmap->Canvas()->Handle(), 3);  // COLORONCOLOR
}

bool IsGrayPalette(TBitmap* Bitmap) {
  if (!Bitmap) return true;
  const std::vector<TRGBQuad> table = Bitmap->ColorTable();
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i].rgbRed != i || table[i].rgbGreen != i || table[i].rgbBlue != i) return false;
  return true;
}

void ReadPaletteFromTBitmap(TBitmap* Bitmap, TPXBitmap* Dest) {
  if (!Bitmap || !Dest || Bitmap->PixelFormat() != pf8bit || Dest->GetPixelFormat() != px8p) return;
  const std::vector<TRGBQuad> table = Bitmap->ColorTable();
  const size_t n = std::min<size_t>(table.size(), 256);
  for (size_t i = 0; i < n; ++i)
    Dest->SetPaletteColor(static_cast<int32_t>(i), TRGB{table[i].rgbBlue, table[i].rgbGreen, table[i].rgbRed});
}
