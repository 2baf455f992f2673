// The layer engine: the abstract layer TPXLayer and the picture layer TPXImageLayer. A layer is
// a positioned, sized and possibly rotated box over its view's picture, with appearance,
// identity, a link to its owner (IPXLayerOwner, layers/pxxLayers_owner.h) and a render cache.
//
// Where the members are defined:
//   pxxLayers_base.cpp      construction, defaults, identity (GUIDs), change notification and
//                           the cache drop, accessors, alignment codes, rotation, mask
//                           inversion, groups and selection, kind names, point lists,
//                           CopyToBitmap, FireBeforeDrawLayer; TPXImageLayer's construction, natural size,
//                           RestoreSize and GetBitmap
//   pxxLayers_geometry.cpp  client rectangle, conversions between client, picture and layer
//                           units, drawn points, content corners, aspect-ratio operations,
//                           angle snapping, SupportsFeature, HitTest, GetPDFPlacement, owner
//                           queries
//   pxxLayers_record.cpp    the record stream: common part, header peek, the older per-view
//                           layout, the layers-file header test
//   pxxLayers_imagerecord.cpp  TPXImageLayer's record tail (SaveToStream, LoadFromStream) and
//                           the record field readers and writers (layers/pxxLayers_recordio.h)
//   pxxLayers_compose.cpp   rendering through the cache or the scratch bitmap, placement and
//                           cropping, feathering, shadow, the blend (base GetBitmap and Paint,
//                           ComposeLayer, ComputeDrawRects, the scratch bitmap,
//                           RegisterLayerUnit)
//   pxxLayers_image.cpp     TPXImageLayer's rendering and painting (direct path, rotation,
//                           magnifier, border), CreateFromLayer, ResetBitmap, CropToOpaque
//   pxxLayers_merge.cpp     BlendLayerPair, PrepareLayerForBlend, Assign, SwapLayerContents
//   pxxLayers_kinds.cpp     the kind registry (layers/pxxLayers_kinds.h) and the record of the
//                           kinds that write their tail through WriteRecordTail/ReadRecordTail
//
// Every kind other than the image lives in files of its own (pxxLayers_shape.h/.cpp and so on)
// and plugs into the shared code through the kind hooks of TPXLayer: its property keys, its
// record tail, its content for Assign and SwapLayerContents, and the geometry queries.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxdefs.h"
#include "layers/pxxLayers_owner.h"
#include "platform/rtl/Types.h"

class TFont;
class TPXBitmap;
class TStream;
class TStrings;

// The layer kinds; fixed by the class.
enum class TPXLayerKind : uint8_t {
  pxlkImage = 0,
  pxlkShape = 1,
  pxlkLine = 2,
  pxlkPolyline = 3,
  pxlkText = 4,
  pxlkAngle = 5,
};
using enum TPXLayerKind;

// Bases of ConvertPoint: the layer box spanning 0..1000 both ways, client, picture.
enum class TPXPointBase : uint8_t { pxpbLayer = 0, pxpbClient = 1, pxpbBitmap = 2 };
using enum TPXPointBase;

// SetPosX / SetPosY alignment codes (relative to layer 0); values above these leave the layer.
inline constexpr int32_t PXLayerAlignLeft = 0x7FFFFFF4;    // left (top) edges aligned
inline constexpr int32_t PXLayerAlignCenter = 0x7FFFFFF5;  // centred
inline constexpr int32_t PXLayerAlignRight = 0x7FFFFFF6;   // right (bottom) edges aligned

// The record versions: the current one and the oldest readable.
inline constexpr int32_t PXLayerRecordVersion = 8006;
inline constexpr int32_t PXLayerRecordOldestVersion = 6400;

// A list of double points with the layer's growth rule: growing past the capacity reallocates
// for twice the count without keeping the old points.
struct TPXPointList {
  std::vector<TDPoint> Items;  // Items.size() is the capacity
  int32_t Count = 0;

  void Clear();
  void SetCount(int32_t NewCount);
  void Assign(const TPoint* Points, int32_t N);
  void Assign(const TDPoint* Points, int32_t N);
  int32_t Capacity() const { return static_cast<int32_t>(Items.size()); }
  TDPoint& operator[](int32_t I) { return Items[static_cast<size_t>(I)]; }
  const TDPoint& operator[](int32_t I) const { return Items[static_cast<size_t>(I)]; }
};

// Whether two aspect ratios differ visibly: Round(50 A) <> Round(50 B).
bool AspectRatiosDiffer(double A, double B);

// A new random (version 4, variant 1) GUID from the system's random source.
TGUID NewLayerGUID();

// ---------------------------------------------------------------------------------------------
// TPXLayer

class TPXLayer : public TObject {
 public:
  ~TPXLayer() override;

  // --- rendering (slots of the kinds) ------------------------------------------------------
  // The layer's pixels at its own size: the render cache or the shared scratch bitmap; image
  // layers answer their own bitmap.
  virtual TPXBitmap* GetBitmap();
  // Draws the content into Dest (created or resized by the kind). Width/Height below 1 mean the
  // natural size; Mode 0 painting, 1 output copy, 3 only DrawnPoints wanted.
  virtual void RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                             bool WithAlpha, bool FitAspect, uint8_t Mode, int32_t Reserved) = 0;
  // RenderContent with the owner's fast-output flag, Mode 1.
  virtual void CopyToBitmap(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                            bool FitAspect);
  // Renders and composes the layer onto Dest. ColumnTable/RowTable: the view's lookup tables of
  // the current zoom; Context: passed on to the renderer; Dest0*/Src0*: layer 0's destination
  // (client) and source (picture) rectangles; RotateQuality: image layers' rotation quality;
  // MouseOperation: the view's mouse-operation flag.
  virtual void Paint(TPXBitmap* Dest, int32_t LayerIndex, TPXIntegerArray* ColumnTable, TPXIntegerArray* RowTable, void* Context,
                     int32_t Dest0X, int32_t Dest0Y, int32_t Dest0Width, int32_t Dest0Height, int32_t Src0X,
                     int32_t Src0Y, int32_t Src0Width, int32_t Src0Height, bool WithAlpha, bool FirstLayer,
                     TResampleFilter Filter, uint8_t RotateQuality, bool MouseOperation);
  // Reads one record: the common part, then the kind's tail (ReadRecordTail), with Updating set;
  // the stream ends at the record's end and Modified is cleared.
  virtual void LoadFromStream(TStream* Stream);
  // Writes one record: the common part, the kind's tail (WriteRecordTail), then the record size
  // patched at its start. ExcludeImage and Format concern image layers (Format -1 deflated raw,
  // -2 raw, else a file type); other kinds ignore them.
  virtual void SaveToStream(TStream* Stream, bool ExcludeImage, int32_t Format);
  virtual void UpdateGeometry() {}
  // The font of the kinds that show text (text, line and angle layers); nil for the others.
  virtual TFont* LayerFont() const { return nullptr; }
  // Font commands 3 (horizontal alignment) and 4 (vertical layout) of the kinds that place text;
  // the others ignore them.
  virtual void ApplyTextPlacement(uint8_t /*Action*/, int32_t /*Value*/) {}

  // --- identity and state -------------------------------------------------------------------
  TPXLayerKind Kind() const { return FKind; }
  IPXLayerOwner* Owner() const { return FOwner; }
  const TGUID& GUID() const { return FGUID; }
  void SetGUID(const TGUID& Value) { FGUID = Value; }
  bool Updating() const { return FUpdating != 0; }
  void SetUpdating(bool Value) { FUpdating = Value; }
  bool Modified() const { return FModified != 0; }
  void SetModified(bool Value) { FModified = Value; }
  int32_t RecordSize() const { return FRecordSize; }
  bool CacheValid() const { return FCacheValid != 0; }
  bool CacheDrawnFast() const { return FCacheDrawnFast != 0; }
  TPXBitmap* Cache() const { return FCache.get(); }

  // Puts every property to its default (kinds add their rows).
  virtual void SetDefaults();
  // CacheValid cleared and ShapePoints emptied; the cache bitmap is kept for reuse.
  void InvalidateCache();
  // Unless Updating: Modified set, the cache dropped when DropCache, the owner's ImageChange(3).
  void Changed(bool DropCache);

  int32_t GetIndex() const;
  bool IsSelected() const;
  std::string GetKindName() const;
  int32_t GetMaskIndex() const;
  TPXLayer* GetMaskLayer() const;

  // --- geometry accessors -------------------------------------------------------------------
  int32_t GetPosX() const;
  int32_t GetPosY() const;
  virtual double GetPosXD() const { return FPosX; }
  virtual double GetPosYD() const { return FPosY; }
  void SetPosX(int32_t Value);
  void SetPosY(int32_t Value);
  void SetPosXD(double Value);
  void SetPosYD(double Value);
  int32_t GetWidth() const;
  int32_t GetHeight() const;
  virtual double GetWidthD() const { return FWidth; }
  virtual double GetHeightD() const { return FHeight; }
  void SetWidth(int32_t Value) { SetWidthD(Value); }
  void SetHeight(int32_t Value) { SetHeightD(Value); }
  void SetWidthD(double Value);
  void SetHeightD(double Value);
  virtual int32_t GetOriginalWidth() const { return GetWidth(); }
  virtual int32_t GetOriginalHeight() const { return GetHeight(); }
  virtual bool IsNaturalSize() const { return true; }

  // --- plain properties -----------------------------------------------------------------------
  bool Visible() const { return FVisible != 0; }
  void SetVisible(bool Value);
  bool VisibleBox() const { return FVisibleBox != 0; }
  void SetVisibleBox(bool Value);
  bool Selectable() const { return FSelectable != 0; }
  void SetSelectable(bool Value);
  bool Cropped() const { return FCropped != 0; }
  void SetCropped(bool Value);
  bool Locked() const { return FLocked != 0; }
  void SetLocked(bool Value);
  uint8_t Operation() const { return FOperation; }
  void SetOperation(uint8_t Value);
  int32_t Transparency() const { return FTransparency; }
  void SetTransparency(int32_t Value);
  double Opacity() const { return FOpacity; }
  void SetOpacity(double Value);
  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value);
  int32_t Tag() const { return FTag; }
  void SetTag(int32_t Value);
  // The opaque user-data block; its length is always the block's size.
  int32_t UserDataLen() const { return static_cast<int32_t>(FUserData.size()); }
  const uint8_t* UserData() const { return FUserData.empty() ? nullptr : FUserData.data(); }
  void SetUserData(const void* Data, int32_t Length);
  bool DrawOuter() const { return FDrawOuter != 0; }
  void SetDrawOuter(bool Value);

  double FillOpacity() const { return FFillOpacity; }
  void SetFillOpacity(double Value);
  bool IsMask() const { return FIsMask != 0; }
  void SetIsMask(bool Value);
  double RotateCenterX() const { return FRotateCenterX; }
  void SetRotateCenterX(double Value);
  double RotateCenterY() const { return FRotateCenterY; }
  void SetRotateCenterY(double Value);
  TColor FillColor2() const { return FFillColor2; }
  void SetFillColor2(TColor Value);
  uint8_t FillGradient() const { return FFillGradient; }
  void SetFillGradient(uint8_t Value);
  virtual TColor BorderColor() const { return FBorderColor; }
  void SetBorderColor(TColor Value);
  virtual int32_t BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int32_t Value);
  virtual TColor FillColor() const { return FFillColor; }
  void SetFillColor(TColor Value);
  bool AntiAlias() const { return FAntiAlias != 0; }
  void SetAntiAlias(bool Value);
  int32_t AlphaEdgeFeathering() const { return FAlphaEdgeFeathering; }
  void SetAlphaEdgeFeathering(int32_t Value);
  int32_t GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int32_t Value);
  bool Selected() const { return FSelected != 0; }
  void SetSelected(bool Value);
  // Only stores the flag (the view's own selection operations notify once for many layers).
  void SetSelectedFlag(bool Value) { FSelected = Value; }
  double Rotate() const { return FRotate; }
  void SetRotate(double Value);
  bool MaskInverted() const { return FMaskInverted != 0; }
  void SetMaskInverted(bool Value);
  bool AspectRatioLocked() const { return FAspectRatioLocked != 0; }
  void SetAspectRatioLocked(bool Value);
  double StoredAspectRatio() const { return FStoredAspectRatio; }
  void SetStoredAspectRatio(double Value) { FStoredAspectRatio = Value; }
  // The shadow settings; changes through it are the caller's to notify (Changed(True)).
  TPXVSoftShadow* SoftShadow() const { return FSoftShadow.get(); }

  // Settings used by image layers only.
  bool MagnifierEnabled() const { return FMagnifierEnabled != 0; }
  void SetMagnifierEnabled(bool Value);
  double MagnifierZoom() const { return FMagnifierZoom; }
  void SetMagnifierZoom(double Value);
  uint8_t MagnifierShape() const { return FMagnifierShape; }
  void SetMagnifierShape(uint8_t Value);
  uint8_t MagnifierSource() const { return FMagnifierSource; }
  void SetMagnifierSource(uint8_t Value);
  TResampleFilter ImageResampleFilter() const { return FImageResampleFilter; }
  void SetImageResampleFilter(TResampleFilter Value);
  bool ImageUseResampleFilter() const { return FImageUseResampleFilter != 0; }
  void SetImageUseResampleFilter(bool Value);

  // Where the last composition put the layer (client) and which part of its rendering it used.
  const TRect& ClientRect() const { return FClientRect; }
  const TPXDrawRect& DrawDestRect() const { return FDrawDestRect; }
  const TPXDrawRect& DrawSourceRect() const { return FDrawSourceRect; }
  const TPXPointList& ShapePoints() const { return FShapePoints; }
  const TPXPointList& DrawnPoints() const { return FDrawnPoints; }
  // The view's combined alpha kept between paints (dropped with the cache) and the size at the
  // start of a mouse rotation.
  TPXBitmap* MaskCache() const { return FMaskCache.get(); }
  void SetMaskCache(std::unique_ptr<TPXBitmap> Value);
  int32_t RotationStartWidth() const { return FRotationStartWidth; }
  int32_t RotationStartHeight() const { return FRotationStartHeight; }
  void SetRotationStartSize(int32_t Width, int32_t Height);

  // --- geometry operations ------------------------------------------------------------------
  void SetBounds(const TRect& Rect);
  void UpdateClientRect();
  int32_t ClientToLayerX(int32_t X) const;
  int32_t ClientToLayerY(int32_t Y) const;
  int32_t LayerToClientX(int32_t X) const;
  int32_t LayerToClientY(int32_t Y) const;
  int32_t GetDrawnPointCount() const;
  TPoint GetDrawnPoint(int32_t I) const;
  // Converts (X, Y) between client, picture and layer (0..1000 of the box) units; raises
  // EPXException "Base Conversin Error" for an unknown base.
  void ConvertPoint(double& X, double& Y, double BoxWidth, double BoxHeight, double BoxX, double BoxY,
                    TPXPointBase FromBase, TPXPointBase ToBase) const;
  void ConvertPointInt(int32_t& X, int32_t& Y, double BoxWidth, double BoxHeight, double BoxX, double BoxY,
                       TPXPointBase FromBase, TPXPointBase ToBase) const;
  virtual void GetContentCorners(std::array<TPoint, 4>& Corners) const;
  virtual TPoint GetContentBoxSize() const;
  // The angle the content corners turn by: Rotate, a text layer's BorderRotate.
  virtual double ContentAngle() const { return FRotate; }
  virtual bool UsesRotatedQuad() const { return false; }
  void SnapPointAngle(double& X, double& Y, const TDPoint& Centre) const;
  // The same on a point and centre in layer units (0..1000 of the layer's box); rounds back.
  void SnapLayerPointAngle(double& X, double& Y, const TDPoint& Centre) const;
  virtual double GetPreferredAspectRatio() const { return 0; }
  virtual void UpdatePreferredAspectRatio();
  virtual void RestoreAspectRatio(bool UsePreferred);
  virtual bool SupportsFeature(uint8_t Feature) const;
  virtual bool HitTest(int32_t X, int32_t Y, bool IgnoreTransparency, int32_t Tolerance);
  void GetPDFPlacement(double& Scale, int32_t& Margin, int32_t& OffsetX, int32_t& OffsetY) const;
  // Renders with Mode 3 so that DrawnPoints are current.
  void RefreshDrawnPoints();
  bool OwnerAlphaEnabled() const;
  bool OwnerFastDrawing() const;
  bool OwnerOutputFlag() const;

  // --- record stream ------------------------------------------------------------------------
  // Writes the common part at the stream position (RecordSize as a placeholder).
  void WriteLayerRecordBase(TStream* Stream);
  // Reads the common part into the fields; answers the record's version.
  int32_t ReadLayerRecordBase(TStream* Stream);

  // --- composition ----------------------------------------------------------------------------
  void ComposeLayer(TPXBitmap* Dest, int32_t LayerIndex, TPXBitmap* Source, bool SourceIsPrivate,
                    TPXIntegerArray* ColumnTable, TPXIntegerArray* RowTable, void* Context, int32_t DestX, int32_t DestY,
                    int32_t DestWidth, int32_t DestHeight, int32_t SourceX, int32_t SourceY, int32_t SourceWidth,
                    int32_t SourceHeight, bool WithAlpha, bool FirstLayer, TResampleFilter Filter);
  void ComputeDrawRects(int32_t Width, int32_t Height, int32_t& DestX, int32_t& DestY, int32_t& DestWidth,
                        int32_t& DestHeight, int32_t& SourceX, int32_t& SourceY, int32_t& SourceWidth,
                        int32_t& SourceHeight);
  // Fires the owner's OnBeforeDrawLayer with a freshly rendered bitmap.
  void FireBeforeDrawLayer(TPXBitmap* Dest);

  // --- copy -------------------------------------------------------------------------------------
  // Copies the common properties (and kind properties between equal kinds) from Source.
  void Assign(TPXLayer* Source);

 protected:
  TPXLayer(IPXLayerOwner* Owner, TPXLayerKind Kind);

  // The largest box of SourceWidth:SourceHeight inside the current box, centred, becomes the box.
  void FitBoxToAspect(int32_t SourceWidth, int32_t SourceHeight);

  // Kind hooks. The position hooks receive the exact difference of every change.
  virtual void KindPositionMovedX(double /*Delta*/) {}
  virtual void KindPositionMovedY(double /*Delta*/) {}
  // Called after Width (Height) was stored and its rounded value changed, before Changed(True).
  virtual void KindWidthChanged() {}
  virtual void KindHeightChanged() {}
  // Called after a changed rotation was stored and notified.
  virtual void KindRotated() {}
  // Called after BorderColor, BorderWidth or FillColor were stored (line layers mirror them).
  virtual void KindBorderChanged() {}

  // The kind's record tail after the common part. Reading: RecordEnd is the record's end (already
  // checked against the stream), Version the record's version; every length read must be checked
  // against RecordEnd (TLayerRecordReader, layers/pxxLayers_recordio.h) and a tail that does not
  // fit raises "PXN File has been corrupted".
  virtual void WriteRecordTail(TStream* /*Stream*/) {}
  virtual void ReadRecordTail(TStream* /*Stream*/, int32_t /*Version*/, int64_t /*RecordEnd*/) {}
  // Appends the kind's "PXLP_" lines, in their written order, after the common ones.
  virtual void KindPropertiesToStrings(TStrings* /*Lines*/) {}
  // Sets one of the kind's keys (Key and Value trimmed, Key compared without regard to case).
  // Asked before the common keys, so a kind may also claim a common key. Handled tells whether
  // Key was the kind's; false answers a value that did not convert (nothing changed).
  virtual bool SetKindProperty(const std::string& /*Key*/, const std::string& /*Value*/, bool& Handled) {
    Handled = false;
    return true;
  }
  // Assign's kind part: called with Updating set after the common properties were copied, for a
  // Source of any kind; the target decides which pairs take content.
  virtual void AssignContent(TPXLayer* /*Source*/) {}
  // SwapLayerContents' kind part: exchanges the kind's properties with Other, of the same kind.
  virtual void SwapContent(TPXLayer* /*Other*/) {}

  // Fields in declaration order.
  uint8_t FUpdating = 0;
  std::unique_ptr<TPXBitmap> FCache;
  uint8_t FCacheValid = 0;
  uint8_t FCacheDrawnFast = 0;
  TPXLayerKind FKind = pxlkImage;
  uint8_t FIsMask = 0;
  uint8_t FMaskInverted = 0;
  double FRotate = 0;
  double FRotateCenterX = 0.5;
  double FRotateCenterY = 0.5;
  uint8_t FAntiAlias = 1;
  double FPosX = 0;
  double FPosY = 0;
  double FWidth = 0;
  double FHeight = 0;
  uint8_t FAspectRatioLocked = 0;
  TColor FBorderColor = clNone;
  int32_t FBorderWidth = 1;
  TColor FFillColor = clNone;
  TColor FFillColor2 = clNone;
  uint8_t FFillGradient = 0;
  double FFillOpacity = 1.0;
  int32_t FRecordSize = 0;
  uint8_t FModified = 0;
  std::string FName;
  uint8_t FDrawOuter = 0;
  TGUID FGUID;
  int32_t FTag = 0;
  uint8_t FVisible = 1;
  uint8_t FVisibleBox = 1;
  int32_t FTransparency = 255;
  double FOpacity = 1.0;
  int32_t FAlphaEdgeFeathering = 0;
  TRect FClientRect{0, 0, 0, 0};
  uint8_t FCropped = 0;
  uint8_t FLocked = 0;
  uint8_t FSelectable = 1;
  uint8_t FOperation = 0;
  std::vector<uint8_t> FUserData;  // UserDataLen is its size
  TPXDrawRect FDrawDestRect;
  TPXDrawRect FDrawSourceRect;
  TPXPointList FShapePoints;
  TPXPointList FDrawnPoints;
  TResampleFilter FImageResampleFilter = rfFastLinear;
  uint8_t FImageUseResampleFilter = 0;
  IPXLayerOwner* FOwner = nullptr;
  uint8_t FSelected = 0;
  int32_t FGroupIndex = 0;
  double FStoredAspectRatio = 0;
  std::unique_ptr<TPXVSoftShadow> FSoftShadow;
  uint8_t FMagnifierEnabled = 0;
  double FMagnifierZoom = 2.0;
  uint8_t FMagnifierShape = 0;
  uint8_t FMagnifierSource = 1;
  std::unique_ptr<TPXBitmap> FMaskCache;
  int32_t FRotationStartWidth = 0;
  int32_t FRotationStartHeight = 0;

  friend void ReadLegacyLayer(TPXLayer* Layer, TStream* Stream, int32_t Version, int32_t Compression);
  friend void SwapLayerContents(TPXLayer* L, TPXLayer* R);
  friend bool SetLayerPropertyValue(TPXLayer* Layer, const std::string& Key, const std::string& Value);
  friend void LayerPropertiesToStrings(TPXLayer* Layer, TStrings* Lines);
  friend class TPXImageLayer;
};

// ---------------------------------------------------------------------------------------------
// TPXImageLayer

class TPXImageLayer : public TPXLayer {
 public:
  // The layer takes Bitmap (a new empty bitmap when nil).
  TPXImageLayer(IPXLayerOwner* Owner, std::unique_ptr<TPXBitmap> Bitmap);
  explicit TPXImageLayer(IPXLayerOwner* Owner);
  // An image layer over a new bitmap of Pattern's size and pixel format (pixels not copied).
  static std::unique_ptr<TPXImageLayer> CreateLike(IPXLayerOwner* Owner, TPXBitmap* Pattern);
  // An image layer over a new px24RGB bitmap of Width x Height.
  static std::unique_ptr<TPXImageLayer> CreateSized(IPXLayerOwner* Owner, int32_t Width, int32_t Height);
  // Source rendered at Scale x its box size into a new image layer with Source's properties.
  static std::unique_ptr<TPXImageLayer> CreateFromLayer(IPXLayerOwner* Owner, TPXLayer* Source, double Scale,
                                                        bool CropTransparent);
  ~TPXImageLayer() override;

  TPXBitmap* Bitmap() const { return FBitmap.get(); }
  bool OwnsBitmap() const { return FOwnsBitmap != 0; }
  // The layer shows Bitmap, owning it when Owns (nil: a new empty bitmap of its own); the bitmap
  // shown before is freed when the layer owned it. Nothing is notified.
  void SetBitmap(TPXBitmap* Bitmap, bool Owns);
  void SetBitmap(std::unique_ptr<TPXBitmap> Bitmap);
  const std::array<TPoint, 4>& RotatedCorners() const { return FRotatedCorners; }

  TPXBitmap* GetBitmap() override;
  void RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                     bool WithAlpha, bool FitAspect, uint8_t Mode, int32_t Reserved) override;
  void Paint(TPXBitmap* Dest, int32_t LayerIndex, TPXIntegerArray* ColumnTable, TPXIntegerArray* RowTable, void* Context,
             int32_t Dest0X, int32_t Dest0Y, int32_t Dest0Width, int32_t Dest0Height, int32_t Src0X, int32_t Src0Y,
             int32_t Src0Width, int32_t Src0Height, bool WithAlpha, bool FirstLayer, TResampleFilter Filter,
             uint8_t RotateQuality, bool MouseOperation) override;
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream, bool ExcludeImage, int32_t Format) override;
  void SetDefaults() override;

  double GetWidthD() const override;
  double GetHeightD() const override;
  int32_t GetOriginalWidth() const override;
  int32_t GetOriginalHeight() const override;
  bool IsNaturalSize() const override;
  bool UsesRotatedQuad() const override;
  double GetPreferredAspectRatio() const override;
  bool SupportsFeature(uint8_t Feature) const override;

  // Width and Height 0: the bitmap shows at its natural size; no notification.
  void RestoreSize();
  void ResetBitmap(TColor Color, int32_t NewWidth, int32_t NewHeight);
  bool CropToOpaque();

 protected:
  bool SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) override;
  void KindPropertiesToStrings(TStrings* Lines) override;
  void AssignContent(TPXLayer* Source) override;
  void SwapContent(TPXLayer* Other) override;

  std::unique_ptr<TPXBitmap> FBitmap;  // released, not freed, at destruction unless OwnsBitmap
  uint8_t FOwnsBitmap = 1;
  std::array<TPoint, 4> FRotatedCorners{TPoint{-1, -1}, TPoint{-1, -1}, TPoint{-1, -1}, TPoint{-1, -1}};
};

// ---------------------------------------------------------------------------------------------
// Record stream helpers.

// Reads size, version (dropped), kind and GUID at the stream position; Restore seeks back.
void PeekLayerRecordHeader(TStream* Stream, bool Restore, int32_t& Size, TPXLayerKind& Kind, TGUID& GUID);
// Reads one layer of the older per-view layout into Layer (the owner's current layer).
void ReadLegacyLayer(TPXLayer* Layer, TStream* Stream, int32_t Version, int32_t Compression);
// True when the stream position holds a layers-file header with at least one layer; the
// position is kept.
bool IsLayerStreamHeader(TStream* Stream);

// ---------------------------------------------------------------------------------------------
// Merge, copy and swap.

// Exchanges the properties of two layers of one kind; L takes over R's picture.
void SwapLayerContents(TPXLayer* L, TPXLayer* R);

// How BlendLayerPair composes: Mask (optional) limits B; Filter brings a layer's picture to its
// box size; Background fills what neither layer covers; IgnoreCropped disregards B.Cropped;
// CropToA cuts the result to A's box. The defaults are those of flattening for a save.
struct TPXBlendLayerOptions {
  TPXLayer* Mask = nullptr;
  TResampleFilter Filter = rfNone;
  TColor Background = clBlack;
  bool IgnoreCropped = false;
  bool CropToA = false;
};
// Composes B over A (and Mask over B) into Dest, a px24RGB picture with alpha covering both
// layers (or A's box). A and B keep their pictures, unless Dest is A's own picture: then A takes
// the result (composed in place when it has A's box and A's picture is px24RGB).
void BlendLayerPair(TPXLayer* A, TPXLayer* B, TPXBitmap* Dest, const TPXBlendLayerOptions& Options);

// ---------------------------------------------------------------------------------------------
// Unit state.

// The scratch bitmap shared by layers that render without a cache (created by the renderer on
// first use; no layer keeps it across paints).
std::unique_ptr<TPXBitmap>& LayerScratchBitmap();
// Frees the scratch bitmap when it exists.
void FreeLayerScratchBitmap();
// Hands FreeLayerScratchBitmap to the library's tear-down; called once before start-up.
void RegisterLayerUnit();
