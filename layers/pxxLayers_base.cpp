// Layer base: construction, defaults, identity, change notification, accessors, alignment codes,
// rotation, mask inversion, groups, selection and kind names; the image layer's construction
// and natural size.
#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>

#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "proc/pixoranproc_colour.h"

// ---------------------------------------------------------------------------------------------
// Point lists

void TPXPointList::Clear() {
  Items.clear();
  Items.shrink_to_fit();
  Count = 0;
}

void TPXPointList::SetCount(int32_t NewCount) {
  if (NewCount < 0) NewCount = 0;
  // Growing past the capacity reallocates without keeping the old points.
  if (NewCount > Capacity()) Items.assign(static_cast<size_t>(NewCount) * 2, TDPoint{});
  Count = NewCount;
}

void TPXPointList::Assign(const TPoint* Points, int32_t N) {
  SetCount(Points ? N : 0);
  for (int32_t i = 0; i < Count; ++i) Items[static_cast<size_t>(i)] = TDPoint{double(Points[i].X), double(Points[i].Y)};
}

void TPXPointList::Assign(const TDPoint* Points, int32_t N) {
  SetCount(Points ? N : 0);
  for (int32_t i = 0; i < Count; ++i) Items[static_cast<size_t>(i)] = Points[i];
}

// ---------------------------------------------------------------------------------------------
// Identity

TGUID NewLayerGUID() {
  uint8_t bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      break;
    }
  }
  if (got < sizeof bytes) {  // no getrandom: the library's other entropy source
    std::random_device rd;
    for (size_t i = got; i < sizeof bytes; ++i) bytes[i] = static_cast<uint8_t>(rd());
  }
  TGUID g;
  std::memcpy(&g.D1, bytes, 4);
  std::memcpy(&g.D2, bytes + 4, 2);
  std::memcpy(&g.D3, bytes + 6, 2);
  std::memcpy(g.D4, bytes + 8, 8);
  g.D3 = static_cast<uint16_t>((g.D3 & 0x0FFF) | 0x4000);  // version 4
  g.D4[0] = static_cast<uint8_t>((g.D4[0] & 0x3F) | 0x80);  // variant 1
  return g;
}

// ---------------------------------------------------------------------------------------------
// TPXLayer: construction and state

TPXLayer::TPXLayer(IPXLayerOwner* Owner, TPXLayerKind Kind)
    : FKind(Kind), FGUID(NewLayerGUID()), FOwner(Owner), FSoftShadow(std::make_unique<TPXVSoftShadow>()) {}

TPXLayer::~TPXLayer() = default;

void TPXLayer::SetDefaults() {
  FVisible = 1;
  FVisibleBox = 1;
  FSelectable = 1;
  FLocked = 0;
  FCropped = 0;
  FTransparency = 255;
  FOpacity = 1.0;
  FFillOpacity = 1.0;
  FPosX = 0;
  FPosY = 0;
  FWidth = 0;
  FHeight = 0;
  FClientRect = TRect(0, 0, 0, 0);
  FOperation = 0;
  FIsMask = 0;
  FMaskInverted = 0;
  FDrawOuter = 0;
  FRotate = 0;
  FRotateCenterX = 0.5;
  FRotateCenterY = 0.5;
  FSelected = 0;
  FAlphaEdgeFeathering = 0;
  FGroupIndex = 0;
  FAspectRatioLocked = 0;
  FAntiAlias = 1;
  FCacheValid = 0;
  FUserData.clear();
  FDrawDestRect = {};
  FDrawSourceRect = {};
  FSoftShadow->Enabled = 0;
  FSoftShadow->Radius = 3.0;
  FSoftShadow->OffsetX = 0;
  FSoftShadow->OffsetY = 0;
  FSoftShadow->Intensity = 100;
  FSoftShadow->Color = TRGB{0, 0, 0};
}

void TPXLayer::InvalidateCache() {
  FCacheValid = 0;
  FShapePoints.Clear();
  FMaskCache.reset();
}

void TPXLayer::Changed(bool DropCache) {
  if (FUpdating) return;
  FModified = 1;
  if (DropCache) InvalidateCache();
  if (FOwner) FOwner->ImageChange(3);
}

void TPXLayer::CopyToBitmap(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                            bool FitAspect) {
  RenderContent(Dest, Width, Height, OwnerOutputFlag(), WithAlpha, FitAspect, 1, 0);
}

void TPXLayer::FireBeforeDrawLayer(TPXBitmap* Dest) {
  if (FOwner && FOwner->HasBeforeDrawLayer()) FOwner->DoBeforeDrawLayer(Dest, GetIndex());
}

int32_t TPXLayer::GetIndex() const {
  if (!FOwner) return -1;
  const int32_t n = FOwner->GetLayersCount();
  for (int32_t i = 0; i < n; ++i)
    if (FOwner->GetLayers(i) == this) return i;
  return -1;
}

bool TPXLayer::IsSelected() const {
  if (!FOwner) return false;
  if (FOwner->LayerOptions().Contains(loAllowMultiSelect)) return FSelected != 0;
  return GetIndex() == FOwner->LayersCurrent();
}

std::string TPXLayer::GetKindName() const {
  uint16_t word = 0;
  switch (FKind) {
    case pxlkImage: word = 315; break;
    case pxlkShape: word = 714; break;
    case pxlkLine: word = 706; break;
    case pxlkPolyline: word = 711; break;
    case pxlkText: word = 728; break;
    case pxlkAngle: word = 754; break;
  }
  std::string text = word ? GetLanguageWord(word) : std::string();
  if (FIsMask) {
    if (FKind == pxlkImage) return GetLanguageWord(311);
    return Format("%s (%s)", GetLanguageWord(311), text);
  }
  return text;
}

int32_t TPXLayer::GetMaskIndex() const {
  if (FKind != pxlkImage || !FOwner) return -1;
  const int32_t index = GetIndex();
  if (index < 0) return -1;
  TPXLayer* next = FOwner->GetLayers(index + 1);
  return next && next->FIsMask ? index + 1 : -1;
}

TPXLayer* TPXLayer::GetMaskLayer() const {
  const int32_t index = GetMaskIndex();
  return index >= 0 ? FOwner->GetLayers(index) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Position and size

int32_t TPXLayer::GetPosX() const { return Trunc32(GetPosXD()); }
int32_t TPXLayer::GetPosY() const { return Trunc32(GetPosYD()); }

int32_t TPXLayer::GetWidth() const { return std::max<int32_t>(1, Round32(GetWidthD())); }
int32_t TPXLayer::GetHeight() const { return std::max<int32_t>(1, Round32(GetHeightD())); }

namespace {

// The position an alignment code asks for along one axis; false: leave the layer where it is.
bool AlignedPosition(int32_t Value, TPXLayer* Base, int32_t BasePos, int32_t BaseSize, int32_t Size, double& Pos) {
  if (Value <= 0x7FFFFFF3) {
    Pos = Value;
    return true;
  }
  if (!Base) {
    Pos = 0;
    return true;
  }
  switch (Value) {
    case PXLayerAlignLeft: Pos = BasePos; return true;
    case PXLayerAlignCenter: Pos = BasePos + (BaseSize - Size) / 2; return true;
    case PXLayerAlignRight: Pos = double(BasePos) + BaseSize - Size; return true;
    default: return false;
  }
}

}  // namespace

void TPXLayer::SetPosX(int32_t Value) {
  TPXLayer* base = FOwner ? FOwner->GetLayers(0) : nullptr;
  double x = 0;
  const bool apply = AlignedPosition(Value, base, base ? base->GetPosX() : 0, base ? base->GetWidth() : 0,
                                     Value > 0x7FFFFFF3 && base ? GetWidth() : 0, x);
  if (apply) SetPosXD(x);
}

void TPXLayer::SetPosY(int32_t Value) {
  TPXLayer* base = FOwner ? FOwner->GetLayers(0) : nullptr;
  double y = 0;
  const bool apply = AlignedPosition(Value, base, base ? base->GetPosY() : 0, base ? base->GetHeight() : 0,
                                     Value > 0x7FFFFFF3 && base ? GetHeight() : 0, y);
  if (apply) SetPosYD(y);
}

// The kind hooks get the exact difference of every change, so outlines never drift from the
// box at sub-pixel moves; only the notification waits for a move of half a pixel or more.
void TPXLayer::SetPosXD(double Value) {
  const double old = FPosX;
  FPosX = Value;
  if (Value == old) return;
  KindPositionMovedX(Value - old);
  if (Round(old - Value) != 0) Changed(false);
}

void TPXLayer::SetPosYD(double Value) {
  const double old = FPosY;
  FPosY = Value;
  if (Value == old) return;
  KindPositionMovedY(Value - old);
  if (Round(old - Value) != 0) Changed(false);
}

void TPXLayer::SetWidthD(double Value) {
  const double old = FWidth;
  FWidth = Value;
  if (Round(old) == Round(Value)) return;
  KindWidthChanged();
  Changed(true);
}

void TPXLayer::SetHeightD(double Value) {
  const double old = FHeight;
  FHeight = Value;
  if (Round(old) == Round(Value)) return;
  KindHeightChanged();
  Changed(true);
}

// ---------------------------------------------------------------------------------------------
// Plain properties

#define PX_LAYER_SETTER(Name, Type, Field, Drop) \
  void TPXLayer::Set##Name(Type Value) {         \
    Field = Value;                               \
    Changed(Drop);                               \
  }

PX_LAYER_SETTER(Visible, bool, FVisible, false)
PX_LAYER_SETTER(VisibleBox, bool, FVisibleBox, false)
PX_LAYER_SETTER(Selectable, bool, FSelectable, false)
PX_LAYER_SETTER(Cropped, bool, FCropped, false)
PX_LAYER_SETTER(Locked, bool, FLocked, false)
PX_LAYER_SETTER(Operation, uint8_t, FOperation, false)
PX_LAYER_SETTER(Transparency, int32_t, FTransparency, false)
PX_LAYER_SETTER(Opacity, double, FOpacity, false)
PX_LAYER_SETTER(Name, const std::string&, FName, false)
PX_LAYER_SETTER(Tag, int32_t, FTag, false)
PX_LAYER_SETTER(DrawOuter, bool, FDrawOuter, false)
PX_LAYER_SETTER(FillOpacity, double, FFillOpacity, true)
PX_LAYER_SETTER(IsMask, bool, FIsMask, true)
PX_LAYER_SETTER(RotateCenterX, double, FRotateCenterX, true)
PX_LAYER_SETTER(RotateCenterY, double, FRotateCenterY, true)
PX_LAYER_SETTER(FillColor2, TColor, FFillColor2, true)
PX_LAYER_SETTER(FillGradient, uint8_t, FFillGradient, true)
PX_LAYER_SETTER(AntiAlias, bool, FAntiAlias, true)
PX_LAYER_SETTER(MagnifierEnabled, bool, FMagnifierEnabled, true)
PX_LAYER_SETTER(MagnifierZoom, double, FMagnifierZoom, true)
PX_LAYER_SETTER(MagnifierShape, uint8_t, FMagnifierShape, true)
PX_LAYER_SETTER(MagnifierSource, uint8_t, FMagnifierSource, true)
PX_LAYER_SETTER(ImageResampleFilter, TResampleFilter, FImageResampleFilter, true)
PX_LAYER_SETTER(ImageUseResampleFilter, bool, FImageUseResampleFilter, true)

#undef PX_LAYER_SETTER

void TPXLayer::SetBorderColor(TColor Value) {
  FBorderColor = Value;
  KindBorderChanged();
  Changed(true);
}

void TPXLayer::SetBorderWidth(int32_t Value) {
  FBorderWidth = Value;
  KindBorderChanged();
  Changed(true);
}

void TPXLayer::SetFillColor(TColor Value) {
  FFillColor = Value;
  KindBorderChanged();
  Changed(true);
}

// Block and length are set together, so a record never holds a length without its bytes.
void TPXLayer::SetUserData(const void* Data, int32_t Length) {
  if (!Data || Length <= 0) {
    FUserData.clear();
  } else {
    const auto* p = static_cast<const uint8_t*>(Data);
    FUserData.assign(p, p + Length);
  }
  Changed(false);
}

void TPXLayer::SetAlphaEdgeFeathering(int32_t Value) {
  FAlphaEdgeFeathering = Value;
  if (FKind == pxlkImage) {
    TPXBitmap* bitmap = static_cast<TPXImageLayer*>(this)->Bitmap();
    if (bitmap) bitmap->AlphaChannel();  // feathering works on the alpha channel
  }
  Changed(false);
}

void TPXLayer::SetMaskCache(std::unique_ptr<TPXBitmap> Value) { FMaskCache = std::move(Value); }

void TPXLayer::SetRotationStartSize(int32_t Width, int32_t Height) {
  FRotationStartWidth = Width;
  FRotationStartHeight = Height;
}

// ---------------------------------------------------------------------------------------------
// Rotation, mask inversion, groups and selection

void TPXLayer::SetRotate(double Value) {
  if (!std::isfinite(Value)) Value = 0;  // an endless angle has no meaning and never normalises
  if (Value == std::trunc(Value) && std::fmod(Value, 360.0) == 0) Value = 0;
  // Into -360..360: the remainder is what repeated subtraction (or addition) of 360 leaves.
  if (Value > 360 || Value < -360) Value = std::fmod(Value, 360.0);
  if (Value == FRotate) return;
  FRotate = Value;
  Changed(true);
  KindRotated();
}

void TPXLayer::SetMaskInverted(bool Value) {
  if (FKind == pxlkImage && !FIsMask) Value = false;
  if (Value == (FMaskInverted != 0)) return;
  FMaskInverted = Value;
  if (FKind == pxlkImage && FIsMask) {
    TPXBitmap* bitmap = static_cast<TPXImageLayer*>(this)->Bitmap();
    if (bitmap && !bitmap->IsEmpty()) NegativeRect(bitmap, 0, 0, bitmap->Width(), bitmap->Height(), {}, nullptr);
  }
  Changed(true);
}

void TPXLayer::SetGroupIndex(int32_t Value) {
  FGroupIndex = Value;
  if (FOwner && Value != 0) {
    if (FSelected) {
      FOwner->SelectLayerGroup(Value, true, false);
    } else {
      const int32_t n = FOwner->GetLayersCount();
      for (int32_t i = 0; i < n; ++i) {
        TPXLayer* layer = FOwner->GetLayers(i);
        if (layer && layer->FGroupIndex == Value) {
          if (layer->IsSelected()) FSelected = 1;
          break;
        }
      }
    }
    FOwner->Update();
  }
  Changed(false);
}

void TPXLayer::SetSelected(bool Value) {
  if (!FOwner || !FOwner->LayerOptions().Contains(loAllowMultiSelect)) return;
  if (Value == (FSelected != 0)) return;
  FSelected = Value;
  FOwner->CallBitmapChangeEvents(0);
  FOwner->Update();
  FOwner->DoLayerSelectionChange(this);
}

// ---------------------------------------------------------------------------------------------
// TPXImageLayer: construction and natural size

TPXImageLayer::TPXImageLayer(IPXLayerOwner* Owner, std::unique_ptr<TPXBitmap> Bitmap) : TPXLayer(Owner, pxlkImage) {
  FUpdating = 1;
  FBitmap = Bitmap ? std::move(Bitmap) : std::make_unique<TPXBitmap>();
  FOwnsBitmap = 1;
  SetDefaults();
  FUpdating = 0;
}

TPXImageLayer::TPXImageLayer(IPXLayerOwner* Owner) : TPXImageLayer(Owner, nullptr) {}

std::unique_ptr<TPXImageLayer> TPXImageLayer::CreateLike(IPXLayerOwner* Owner, TPXBitmap* Pattern) {
  auto bitmap = std::make_unique<TPXBitmap>();
  if (Pattern) {
    bitmap->SetLocation(Pattern->Location());
    bitmap->Allocate(Pattern->Width(), Pattern->Height(), Pattern->PixelFormat());
  }
  return std::make_unique<TPXImageLayer>(Owner, std::move(bitmap));
}

std::unique_ptr<TPXImageLayer> TPXImageLayer::CreateSized(IPXLayerOwner* Owner, int32_t Width, int32_t Height) {
  auto layer = std::make_unique<TPXImageLayer>(Owner);
  layer->FBitmap->Allocate(Width, Height, px24RGB);
  return layer;
}

TPXImageLayer::~TPXImageLayer() {
  if (!FOwnsBitmap) (void)FBitmap.release();  // someone else frees it
}

void TPXImageLayer::SetBitmap(TPXBitmap* Bitmap, bool Owns) {
  if (Bitmap == FBitmap.get()) {
    FOwnsBitmap = Owns;
    return;
  }
  if (!FOwnsBitmap) (void)FBitmap.release();
  if (!Bitmap) {
    FBitmap = std::make_unique<TPXBitmap>();
    FOwnsBitmap = 1;
    return;
  }
  FBitmap.reset(Bitmap);  // released again at destruction when not owned
  FOwnsBitmap = Owns;
}

void TPXImageLayer::SetBitmap(std::unique_ptr<TPXBitmap> Bitmap) { SetBitmap(Bitmap.release(), true); }

void TPXImageLayer::SetDefaults() {
  TPXLayer::SetDefaults();
  FBorderColor = clNone;
  FBorderWidth = 1;
  FMagnifierEnabled = 0;
  FMagnifierZoom = 2.0;
  FMagnifierShape = 0;
  FMagnifierSource = 1;
  FImageResampleFilter = rfFastLinear;
  FImageUseResampleFilter = 0;
}

TPXBitmap* TPXImageLayer::GetBitmap() { return FBitmap.get(); }

double TPXImageLayer::GetWidthD() const { return FWidth == 0 && FBitmap ? FBitmap->Width() : FWidth; }
double TPXImageLayer::GetHeightD() const { return FHeight == 0 && FBitmap ? FBitmap->Height() : FHeight; }
int32_t TPXImageLayer::GetOriginalWidth() const { return FBitmap ? FBitmap->Width() : 0; }
int32_t TPXImageLayer::GetOriginalHeight() const { return FBitmap ? FBitmap->Height() : 0; }
bool TPXImageLayer::IsNaturalSize() const { return FWidth == 0 && FHeight == 0; }

void TPXImageLayer::RestoreSize() {
  FWidth = 0;
  FHeight = 0;
}
