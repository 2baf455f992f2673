// The layer record stream: the common part every kind writes and reads, the header peek, the
// older per-view layout and the layers-file header test. All integers are little-endian.
#include <cstring>
#include <memory>
#include <string>

#include "core/pxxBitmaps.h"
#include "core/pxzlib.h"
#include "io/pixoranio.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"

namespace {

constexpr int32_t kVersionTag = 7001;          // Tag is stored from here on
constexpr int32_t kVersionFillOpacity = 8003;  // FillOpacity and MaskInverted from here on
constexpr int32_t kVersionUnsupportedMax = 50000;

// The common part read into locals first, so a corrupted record changes nothing but RecordSize.
struct TRecordBase {
  int32_t Width = 0, Height = 0;
  uint8_t Visible = 0, VisibleBox = 0, Selectable = 0;
  int32_t Transparency = 0;
  double Opacity = 0, FillOpacity = 0;
  bool HasFillOpacity = false;
  int32_t PosX = 0, PosY = 0;
  TRect ClientRect{0, 0, 0, 0};
  uint8_t Cropped = 0, Locked = 0, Operation = 0;
  std::vector<uint8_t> UserData;
  std::string Name;
  uint8_t IsMask = 0, MaskInverted = 0, DrawOuter = 0;
  double Rotate = 0, RotateCenterX = 0, RotateCenterY = 0;
  int32_t AlphaEdgeFeathering = 0;
  uint8_t Selected = 0;
  int32_t GroupIndex = 0;
  uint8_t AspectRatioLocked = 0, AntiAlias = 0;
  double StoredAspectRatio = 0;
  int32_t Tag = 0;
  bool HasTag = false;
  TColor BorderColor = 0;
  int32_t BorderWidth = 0;
  TColor FillColor = 0, FillColor2 = 0;
  uint8_t FillGradient = 0;
  uint8_t ShadowEnabled = 0;
  double ShadowRadius = 0;
  int32_t ShadowOffsetX = 0, ShadowOffsetY = 0, ShadowIntensity = 0;
  TRGB ShadowColor{0, 0, 0};
};

uint8_t Bool(uint8_t Value) { return Value != 0 ? 1 : 0; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Common part

int32_t LayerRecordCommonSize(int32_t Version) {
  int32_t size = 172;
  if (Version >= kVersionTag) size += 4;
  if (Version >= kVersionFillOpacity) size += 9;
  return size;
}

void TPXLayer::WriteLayerRecordBase(TStream* Stream) {
  TLayerRecordWriter w(Stream);
  w.Int(static_cast<int32_t>(Stream->Position()));  // placeholder, patched by the kind's wrapper
  w.Int(PXLayerRecordVersion);
  w.Int(static_cast<int32_t>(FKind));
  w.Guid(FGUID);
  w.Int(static_cast<int32_t>(Round(FWidth)));
  w.Int(static_cast<int32_t>(Round(FHeight)));
  w.Byte(Bool(FVisible));
  w.Byte(Bool(FVisibleBox));
  w.Byte(Bool(FSelectable));
  w.Int(FTransparency);
  w.Double(FOpacity);
  w.Double(FFillOpacity);
  w.Int(Trunc32(FPosX));
  w.Int(Trunc32(FPosY));
  w.Int(FClientRect.Left);
  w.Int(FClientRect.Top);
  w.Int(FClientRect.Right);
  w.Int(FClientRect.Bottom);
  w.Byte(Bool(FCropped));
  w.Byte(Bool(FLocked));
  w.Byte(FOperation);
  // Block and length are one vector, so the length always matches the bytes written.
  w.Int(static_cast<int32_t>(FUserData.size()));
  w.Bytes(FUserData.data(), static_cast<int64_t>(FUserData.size()));
  w.WideString(FName);
  w.Byte(Bool(FIsMask));
  w.Byte(Bool(FMaskInverted));
  w.Byte(Bool(FDrawOuter));
  w.Double(FRotate);
  w.Double(FRotateCenterX);
  w.Double(FRotateCenterY);
  w.Int(FAlphaEdgeFeathering);
  w.Byte(Bool(FSelected));
  w.Int(FGroupIndex);
  w.Byte(Bool(FAspectRatioLocked));
  w.Byte(Bool(FAntiAlias));
  w.Double(FStoredAspectRatio);
  w.Int(FTag);
  w.Int(FBorderColor);
  w.Int(FBorderWidth);
  w.Int(FFillColor);
  w.Int(FFillColor2);
  w.Byte(FFillGradient);
  TPXVSoftShadow none;
  const TPXVSoftShadow* shadow = FSoftShadow ? FSoftShadow.get() : &none;
  w.Byte(Bool(shadow->Enabled));
  w.Double(shadow->Radius);
  w.Int(shadow->OffsetX);
  w.Int(shadow->OffsetY);
  w.Int(shadow->Intensity);
  w.Bytes(&shadow->Color, 3);
}

int32_t TPXLayer::ReadLayerRecordBase(TStream* Stream) {
  const int64_t start = Stream->Position();
  TLayerRecordReader r(Stream, Stream->Size());
  FRecordSize = r.Int();
  const int32_t version = r.Int();
  if (version > PXLayerRecordVersion && version <= kVersionUnsupportedMax)
    throw EPXException("Unsupported PXN file version. Update software to newer version");
  if (version < PXLayerRecordOldestVersion || version > PXLayerRecordVersion) ThrowLayerRecordCorrupted();
  // The record must hold its version's common part and end inside the stream.
  if (FRecordSize < LayerRecordCommonSize(version) || FRecordSize > r.Limit() - start) ThrowLayerRecordCorrupted();
  r.SetLimit(start + FRecordSize);

  TRecordBase b;
  r.Int();  // the kind: the caller has chosen the layer by it
  const TGUID guid = r.Guid();
  b.Width = r.Int();
  b.Height = r.Int();
  b.Visible = r.Byte();
  b.VisibleBox = r.Byte();
  b.Selectable = r.Byte();
  b.Transparency = r.Int();
  b.Opacity = r.Double();
  if (version >= kVersionFillOpacity) {
    b.FillOpacity = r.Double();
    b.HasFillOpacity = true;
  }
  b.PosX = r.Int();
  b.PosY = r.Int();
  b.ClientRect.Left = r.Int();
  b.ClientRect.Top = r.Int();
  b.ClientRect.Right = r.Int();
  b.ClientRect.Bottom = r.Int();
  b.Cropped = r.Byte();
  b.Locked = r.Byte();
  b.Operation = r.Byte();
  const int32_t userLen = r.Length(1);
  b.UserData.resize(static_cast<size_t>(userLen));
  r.Bytes(b.UserData.data(), userLen);
  b.Name = r.WideString();
  b.IsMask = r.Byte();
  if (version >= kVersionFillOpacity) b.MaskInverted = r.Byte();
  b.DrawOuter = r.Byte();
  b.Rotate = r.Double();
  b.RotateCenterX = r.Double();
  b.RotateCenterY = r.Double();
  b.AlphaEdgeFeathering = r.Int();
  b.Selected = r.Byte();
  b.GroupIndex = r.Int();
  b.AspectRatioLocked = r.Byte();
  b.AntiAlias = r.Byte();
  b.StoredAspectRatio = r.Double();
  if (version >= kVersionTag) {
    b.Tag = r.Int();
    b.HasTag = true;
  }
  b.BorderColor = r.Int();
  b.BorderWidth = r.Int();
  b.FillColor = r.Int();
  b.FillColor2 = r.Int();
  b.FillGradient = r.Byte();
  b.ShadowEnabled = r.Byte();
  b.ShadowRadius = r.Double();
  b.ShadowOffsetX = r.Int();
  b.ShadowOffsetY = r.Int();
  b.ShadowIntensity = r.Int();
  r.Bytes(&b.ShadowColor, 3);

  // Everything is read: apply it to the fields directly.
  FGUID = guid;
  FWidth = b.Width;
  FHeight = b.Height;
  FVisible = Bool(b.Visible);
  FVisibleBox = Bool(b.VisibleBox);
  FSelectable = Bool(b.Selectable);
  FTransparency = b.Transparency;
  FOpacity = b.Opacity;
  if (b.HasFillOpacity) FFillOpacity = b.FillOpacity;
  FPosX = b.PosX;
  FPosY = b.PosY;
  FClientRect = b.ClientRect;
  FCropped = Bool(b.Cropped);
  FLocked = Bool(b.Locked);
  FOperation = b.Operation;
  FUserData = std::move(b.UserData);
  FName = std::move(b.Name);
  FIsMask = Bool(b.IsMask);
  if (b.HasFillOpacity) FMaskInverted = Bool(b.MaskInverted);
  FDrawOuter = Bool(b.DrawOuter);
  FRotate = b.Rotate;
  FRotateCenterX = b.RotateCenterX;
  FRotateCenterY = b.RotateCenterY;
  FAlphaEdgeFeathering = b.AlphaEdgeFeathering;
  FSelected = Bool(b.Selected);
  FGroupIndex = b.GroupIndex;
  FAspectRatioLocked = Bool(b.AspectRatioLocked);
  FAntiAlias = Bool(b.AntiAlias);
  FStoredAspectRatio = b.StoredAspectRatio;
  if (b.HasTag) FTag = b.Tag;
  FBorderColor = b.BorderColor;
  FBorderWidth = b.BorderWidth;
  FFillColor = b.FillColor;
  FFillColor2 = b.FillColor2;
  FFillGradient = b.FillGradient;
  if (!FSoftShadow) FSoftShadow = std::make_unique<TPXVSoftShadow>();
  FSoftShadow->Enabled = Bool(b.ShadowEnabled);
  FSoftShadow->Radius = b.ShadowRadius;
  FSoftShadow->OffsetX = b.ShadowOffsetX;
  FSoftShadow->OffsetY = b.ShadowOffsetY;
  FSoftShadow->Intensity = b.ShadowIntensity;
  FSoftShadow->Color = b.ShadowColor;
  Changed(true);
  return version;
}

// ---------------------------------------------------------------------------------------------
// Header peek and layers-file header

void PeekLayerRecordHeader(TStream* Stream, bool Restore, int32_t& Size, TPXLayerKind& Kind, TGUID& GUID) {
  const int64_t start = Stream->Position();
  TLayerRecordReader r(Stream, Stream->Size());
  Size = r.Int();
  r.Int();  // version
  Kind = static_cast<TPXLayerKind>(r.Int() & 0xFF);
  GUID = r.Guid();
  if (Restore) Stream->SetPosition(start);
}

bool IsLayerStreamHeader(TStream* Stream) {
  static constexpr char kMagic[] = "DOZUROVAZERAR";
  const int64_t start = Stream->Position();
  uint8_t head[25] = {};
  const int32_t got = Stream->Read(head, sizeof head);
  Stream->SetPosition(start);
  if (got != static_cast<int32_t>(sizeof head) || std::memcmp(head, kMagic, 13) != 0) return false;
  int32_t count = 0;
  std::memcpy(&count, head + 21, 4);
  return count > 0;
}

// ---------------------------------------------------------------------------------------------
// The older per-view layout

void ReadLegacyLayer(TPXLayer* Layer, TStream* Stream, int32_t Version, int32_t Compression) {
  if (!Layer->FOwner) throw EPXException("Owner not assigned");
  IPXLayerOwner* owner = Layer->FOwner;
  const int64_t streamSize = Stream->Size();
  TLayerRecordReader r(Stream, streamSize);

  Layer->FVisible = Bool(r.Byte());
  Layer->FVisibleBox = Bool(r.Byte());
  Layer->FTransparency = r.Int();
  if (Version >= 7) Layer->FOpacity = r.Double();
  Layer->FPosX = r.Int();
  Layer->FPosY = r.Int();
  Layer->FCropped = Bool(r.Byte());
  Layer->FLocked = Bool(r.Byte());
  Layer->FMagnifierEnabled = Bool(r.Byte());
  Layer->FMagnifierZoom = r.Double();
  Layer->FMagnifierShape = r.Byte();
  if (Version >= 3) Layer->FMagnifierSource = r.Byte();
  Layer->FOperation = r.Byte();
  const int32_t width = r.Int();
  const int32_t height = r.Int();
  Layer->SetWidthD(width);
  Layer->SetHeightD(height);
  if (Version >= 3) {
    Layer->FImageResampleFilter = static_cast<TResampleFilter>(r.Byte());
    Layer->FImageUseResampleFilter = Bool(r.Byte());
    const int32_t nameLen = r.Length(1);
    std::string name(static_cast<size_t>(nameLen), '\0');
    r.Bytes(name.data(), nameLen);
    Layer->FName = BytesToUtf8(name);
    const int32_t userLen = r.Length(1);
    std::vector<uint8_t> user(static_cast<size_t>(userLen));
    r.Bytes(user.data(), userLen);
    Layer->FUserData = std::move(user);
    Layer->FIsMask = Bool(r.Byte());
  }
  if (Version >= 4) Layer->FSelectable = Bool(r.Byte());
  if (Version >= 6) Layer->FDrawOuter = Bool(r.Byte());
  if (Version >= 8) Layer->FAlphaEdgeFeathering = r.Int();
  if (Version >= 9) {
    Layer->FRotateCenterX = r.Double();
    Layer->FRotateCenterY = r.Double();
    Layer->FRotate = r.Double();
    Layer->FGroupIndex = r.Int();
    Layer->FSelected = Bool(r.Byte());
  }
  Layer->FClientRect = TRect{0, 0, 0, 0};

  const uint32_t low = static_cast<uint32_t>(r.Int());
  const uint32_t high = static_cast<uint32_t>(r.Int());
  const int64_t picturePos = static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
  const int64_t after = r.Position();
  if (picturePos < 0 || picturePos >= streamSize) ThrowLayerRecordCorrupted();

  TPXBitmap* picture = owner->CurrentPicture();
  Stream->SetPosition(picturePos);
  if (Compression == -1 || Compression == -2) {
    TLayerRecordReader pr(Stream, streamSize);
    const int32_t count = pr.Length(1);
    if (picture) LoadLayerRawPicture(picture, Stream, count, Compression == -1);
  } else if (TPixoranIO* io = owner->GetIO()) {
    const bool native = io->NativePixelFormat();
    io->SetNativePixelFormat(native || Layer->FIsMask);
    try {
      io->LoadFromStream(Stream, static_cast<TPXFileType>(Compression));
    } catch (...) {
      io->SetNativePixelFormat(native);
      throw;
    }
    io->SetNativePixelFormat(native);
  }
  Layer->FModified = 0;
  Stream->SetPosition(after);
}
