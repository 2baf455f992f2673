// The processing component TPixoranProc: every image operation of the library runs through it,
// inside one frame (check, undo entry, pixel format, selected rectangle merged back through the
// selection mask), with bounded undo and redo stores. It works on the current image layer of an
// attached host view (IPXProcessingHost), on a given TPXBitmap, or on the picture of a TImage.
//
// Where the members are defined:
//   pixoranproc.cpp           TIPDialogParams, the convolution presets, the clipboard format
//                             ids, the unit's start-up and tear-down, Crop and CropToRect
//   pixoranproc_frame.cpp     construction, attachment (host, bitmap, TImage), properties, the
//                             operation frame (CheckBitmap .. DoFinishWork)
//   pixoranproc_undo.cpp      TPXUndoStoreInfo, TPXUndoStore, the undo and redo members, the
//                             layer-record walk
//   pixoranproc_colour.cpp    ConvertToGray, ConvertToMonochrome, ConvertTo, ConvertToPalette
//   pixoranproc_transparent.cpp SetTransparentColors
//   pixoranproc_geometry.cpp  ResizeCanvas, ClearToBackground, Flip, CropTransparent
//   pixoranproc_rows.cpp      Fill
//   pixoranproc_wave.cpp      Wave
//   pixoranproc_transform.cpp Resample, ResampleTo, Rotate, RotateAndCrop, CropRotated
//   pixoranproc_fill.cpp      FloodFill, AlphaFill (the magic wand's region)
//   pixoranproc_crops.cpp     CropPerspective
//   pixoranproc_clipboard.cpp ClipboardCut, ClipboardCopy, ClipboardPaste and their steps
// The pixel routines behind the operations are free functions in the headers of their topics
// (pixoranproc_geometry.h and the others of this folder).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/hypxdefs.h"
#include "core/hypxutils_text.h"  // TGUID
#include "io/pixoranio_view.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Types.h"

class TBitmap;
class TFont;
class TImage;
class TPXBitmap;
class TPXMask;
class TMemoryStream;

// ---------------------------------------------------------------------------------------------
// Undo record types

// What an undo or redo entry holds.
enum class TPXUndoSource : uint8_t {
  pxuUnknown = 0,
  pxuImage = 1,             // a copy of the picture (a TPXBitmap, by default file-backed)
  pxuSelection = 2,         // the host's selection stream
  pxuObject = 3,            // the vector objects stream
  pxuLayer = 4,             // the records of all layers, pictures omitted
  pxuFullLayer = 5,         // the same with the current layer's picture
  pxuObjectsAndLayers = 6,  // the whole layers (or objects and layers) stream
};
using enum TPXUndoSource;

// Sender, the source of the entry just saved.
PX_EVENT_TYPE(TPXSaveUndoEvent, void(TObject* Sender, TPXUndoSource Source));
// Called before an entry is restored; setting bHandled skips the restore.
PX_EVENT_TYPE(TPXOnUndoRedoEvent, void(TObject* Sender, bool bIsUndo, TPXUndoSource Source, TObject* UndoObj,
                                       int32_t iIndex, bool& bHandled));

// The record of one entry.
class TPXUndoStoreInfo : public TObject {
 public:
  std::string Caption;
  TPXUndoSource Source = pxuUnknown;
  int32_t OperationCode = 0;
  int32_t ImageIndex = -1;
  int32_t LayerIndex = -1;
};

// A bounded history: the saved objects and their records, index 0 the oldest. The store owns the
// objects; Extract hands one over (undo and redo move objects between the stores).
class TPXUndoStore : public TObject {
 public:
  TPXUndoStore() = default;
  ~TPXUndoStore() override;

  // Appends Object with a record of an empty caption and LayerIndex -1; the new record.
  TPXUndoStoreInfo* Add(std::unique_ptr<TObject> Object, TPXUndoSource Source, int32_t OperationCode,
                        int32_t ImageIndex);
  // Removes entry Index and frees its object; nothing for an index outside the store.
  void Delete(int32_t Index);
  // Hands the object of entry Index over, leaving the entry without one; nil for an index
  // outside the store.
  std::unique_ptr<TObject> TakeObject(int32_t Index);
  int32_t Count() const { return static_cast<int32_t>(FObjects.size()); }
  void Clear();

  // Index outside the store: nil, and the defaults of TPXUndoStoreInfo.
  TObject* Object(int32_t Index) const;
  TPXUndoStoreInfo* Info(int32_t Index) const;
  std::string Caption(int32_t Index) const;
  void SetCaption(int32_t Index, const std::string& Value);
  TPXUndoSource Source(int32_t Index) const;
  void SetSource(int32_t Index, TPXUndoSource Value);
  int32_t OperationCode(int32_t Index) const;
  void SetOperationCode(int32_t Index, int32_t Value);
  int32_t ImageIndex(int32_t Index) const;
  void SetImageIndex(int32_t Index, int32_t Value);
  int32_t LayerIndex(int32_t Index) const;
  void SetLayerIndex(int32_t Index, int32_t Value);

 private:
  bool Valid(int32_t Index) const { return Index >= 0 && Index < Count(); }
  std::vector<std::unique_ptr<TObject>> FObjects;
  std::vector<std::unique_ptr<TPXUndoStoreInfo>> FInfos;
};

// ---------------------------------------------------------------------------------------------
// The host: what the processing component asks of the view it serves, beyond what the I/O
// component asks (IPXIOView: picture, change registration, background, update, kind, layer
// count, layers stream). Views implement it; tests use fakes.

// The size of the common head of a layer record (size, version, kind, GUID).
inline constexpr int32_t PXLayerRecordHeaderSize = 28;

class IPXProcessingHost : public IPXIOView {
 public:
  ~IPXProcessingHost() override = default;

  // Layers (a thumbnail view has none: current -1).
  virtual int32_t LayersCurrent() { return -1; }
  virtual TPXBitmap* LayerBitmap(int32_t /*Index*/) { return nullptr; }
  virtual TGUID LayerGUID(int32_t /*Index*/) { return {}; }

  // The selection: whether one is active, its mask (nil when none), its polygon.
  virtual bool SelectionActive() { return false; }
  virtual TPXMask* SelectionMask() { return nullptr; }
  virtual const TPoint* SelectionPoints() { return nullptr; }
  virtual int32_t SelectionPointCount() { return 0; }

  // The resolution of the host's I/O parameters; false when it has none.
  virtual bool GetIODpi(int32_t& /*DpiX*/, int32_t& /*DpiY*/) { return false; }

  // Streams of the host's own state.
  virtual void SaveSelectionToStream(TStream* /*Stream*/) {}
  virtual bool LoadSelectionFromStream(TStream* /*Stream*/, int32_t /*Mode*/) { return false; }
  // The record of layer Index (compression -2), its picture only when WithPicture.
  virtual void SaveLayerToStream(int32_t /*Index*/, TStream* /*Stream*/, int32_t /*Compression*/,
                                 bool /*WithPicture*/) {}
  // Reads size, version, kind and GUID of the record at the stream position; Restore seeks back.
  // False when the stream holds no complete head.
  virtual bool PeekLayerRecordHeader(TStream* Stream, bool Restore, int32_t& Size, uint8_t& Kind, TGUID& GUID);
  // Layer Index reads its record at the stream position and leaves the stream after it.
  virtual void LoadLayerFromStream(int32_t /*Index*/, TStream* /*Stream*/) {}
  // Vector objects (vector views only): Which -3 all objects.
  virtual void SaveObjectsToStream(TStream* /*Stream*/, int32_t /*Which*/) {}
  virtual void LoadObjectsFromStream(TStream* /*Stream*/) {}
  virtual void SaveAllToStream(TStream* /*Stream*/, int32_t /*Which*/) {}
  virtual void LoadAllFromStream(TStream* /*Stream*/) {}

  // What the clipboard asks of a layer view; a view without these services keeps the defaults.
  // The picture becomes 1 x 1 and cleared.
  virtual void BlankPicture() {}
  // The number of selected layers, layer 0 not counted.
  virtual int32_t SelectedLayerCount() { return 0; }
  // Removes the selected layers (SaveUndo: with the view's own undo entry; Reselect: another
  // layer becomes selected; MoveBackgroundProps: the lock flags move to the new background).
  virtual void RemoveSelectedLayers(bool /*SaveUndo*/, bool /*Reselect*/, bool /*MoveBackgroundProps*/) {}
  // Appends an empty image layer and makes it current (the component's target follows through
  // pxbcBitmapReplaced); its index, -1 when none was added.
  virtual int32_t AppendImageLayer() { return -1; }
  // Removes layer Index (a layer appended for a paste that failed).
  virtual void RemoveLayer(int32_t /*Index*/) {}
  // Nested: updates wait until the matching unlock.
  virtual void LockViewUpdate() {}
  virtual void UnlockViewUpdate() {}
  // The view shows alpha channels (its EnableAlphaChannel).
  virtual bool ShowsAlphaChannel() { return false; }
  // The layer options loAutoUndoChangesByUser and loSwapBackgroundProps.
  virtual bool AutoUndoChangesByUser() { return false; }
  virtual bool SwapBackgroundProps() { return false; }
  // Dest receives the current layer rendered on its own; false when there is none.
  virtual bool RenderCurrentLayer(TPXBitmap* /*Dest*/) { return false; }
};

// Walks the layer records of Stream from its start: each record whose GUID names a layer of
// Host is read by that layer, others are skipped by their size; layers not in the stream stay.
// A record size below the common head or past the stream's end raises EPXException
// "PXN File has been corrupted".
void RestoreLayerRecords(IPXProcessingHost* Host, TStream* Stream);

// ---------------------------------------------------------------------------------------------
// Settings of the processing preview dialog (the dialog itself is not part of this library; the
// values are kept and returned only).

enum class TPRPreviewsParam : uint8_t { prppShowResetButton, prppHardReset };
using enum TPRPreviewsParam;
using TPRPreviewsParams = TSet<TPRPreviewsParam>;

PX_EVENT_TYPE(TPXPreviewEvent, void(TObject* Sender, int32_t Kind));

// The names under which the dialog remembers its values.
inline constexpr int32_t IPDialogParamKeyCount = 72;
extern const char* const IPDialogParamKeys[IPDialogParamKeyCount];

class TIPDialogParams : public TObject {
 public:
  TIPDialogParams();
  ~TIPDialogParams() override;
  void Reset();

  // The first four values also clear the stored data when set.
  int32_t ContrastContrast() const { return FContrastContrast; }
  void SetContrastContrast(int32_t Value);
  int32_t ContrastBrightness() const { return FContrastBrightness; }
  void SetContrastBrightness(int32_t Value);
  int32_t HsvH() const { return FHsvH; }
  void SetHsvH(int32_t Value);
  int32_t HsvS() const { return FHsvS; }
  void SetHsvS(int32_t Value);
  TMemoryStream* Stream() const { return FStream.get(); }

  int32_t FContrastContrast = -1;
  int32_t FContrastBrightness = -1;
  int32_t FHsvH = -1;
  int32_t FHsvS = -1;
  int32_t FHsvV = -1;
  int32_t FHslH = -1;
  int32_t FZeroValues[11] = {};  // HSL_S .. EQUALIZATION_EQUALIZEBUTTON
  int32_t FUserFilter[3][3] = {};
  int32_t FUserFilterDivisor = 0;
  TColor FColors[4] = {};  // two pairs, black and white
  TRect FBumpMapRect;
  TColor FBumpMapColor = 0;
  bool FBumpMapAuto = true;
  TRect FLensRect;
  double FLensRef = 1.7;
  bool FLensAuto = true;
  int32_t FWaveAmplitude = 10;
  int32_t FWaveLength = 10;
  double FGamma = 1.0;
  int32_t FMorphFilter = 1;
  int32_t FMorphWinSize = 4;
  int32_t FResizeWidthPercent = 50;
  int32_t FResizeHeightPercent = 50;
  int32_t FShadowRadius = 3;
  int32_t FShadowOffset = 3;
  int32_t FSharpen = 20;
  int32_t FSharpenSize = 25;
  int32_t FShadowPosition = 5;
  std::string FColorCurvePoints;

 private:
  std::unique_ptr<TMemoryStream> FStream;
};

// ---------------------------------------------------------------------------------------------
// Convolution presets and the unit's start-up

// A 3 x 3 kernel: weights row by row from the top left, then the divisor (0 is taken as 1).
struct TPXConvolutionKernel {
  int32_t Values[9] = {};
  int32_t Divisor = 0;
};
// The nine presets "None" .. "Low Pass 2" and their names; empty outside start-up.
const std::vector<TPXConvolutionKernel>& PXFilterPresets();
const std::vector<std::string>& PXFilterPresetNames();

// The ids the clipboard gave the names "PIXORAN RAW FORMAT" and "PIXORAN LAYER FORMAT" (0 before
// start-up).
uint32_t PixoranRawClipboardFormat();
uint32_t PixoranLayerClipboardFormat();

// Start-up step 8 and tear-down step 4 of the library; RegisterProcessingUnit fills both slots.
void InitProcessingUnit();
void FinalizeProcessingUnit();
void RegisterProcessingUnit();

// ---------------------------------------------------------------------------------------------
// The colour tolerance of the fills: explicit, so that it cannot change places with an alpha
// or colour argument unnoticed.
struct TPXTolerance {
  constexpr explicit TPXTolerance(int32_t AValue) : Value(AValue) {}
  int32_t Value;
};

// The two flags of ClipboardCut, typed apart so that they cannot change places unnoticed.
struct TPXClearAlpha {
  constexpr explicit TPXClearAlpha(bool AValue) : Value(AValue) {}
  bool Value;
};
struct TPXClearOnly {
  constexpr explicit TPXClearOnly(bool AValue) : Value(AValue) {}
  bool Value;
};

// ---------------------------------------------------------------------------------------------
// Arguments of the rotating crops. They have types of their own because callers pass the angle,
// the aspect ratio and the modes in differing orders.

// An angle in degrees; positive turns counter-clockwise on screen.
struct TPXRotationAngle {
  double Degrees = 0;
  constexpr explicit TPXRotationAngle(double D) : Degrees(D) {}
};
// Width over height of the inner rectangle kept at 45 and 135 degrees.
struct TPXAspectRatio {
  double Value = 1;
  constexpr explicit TPXAspectRatio(double V) : Value(V) {}
};
// 0 nearest, 1 three shears with antialiasing, 2 bilinear, 3 bicubic.
enum class TPXAntialiasMode : uint8_t { pxaaNone = 0, pxaaShear = 1, pxaaBilinear = 2, pxaaBicubic = 3 };
using enum TPXAntialiasMode;
// The rectangle RotateAndCrop keeps: the largest inner one, or the picture's own aspect ratio.
enum class TPXRotateCropMethod : uint8_t { pxrcLargest = 0, pxrcKeepAspect = 1 };
using enum TPXRotateCropMethod;

// ---------------------------------------------------------------------------------------------
// TPixoranProc

class TPixoranProc : public TComponent {
  PX_CLASS(TPixoranProc)
 public:
  explicit TPixoranProc(TComponent* AOwner);
  // A component without owner working on Bitmap, AutoUndo off.
  static std::unique_ptr<TPixoranProc> CreateForBitmap(TPXBitmap* Bitmap);
  ~TPixoranProc() override;

  // --- attachment and properties (pixoranproc_frame.cpp) -------------------------------------
  IPXProcessingHost* AttachedPixoran() const { return FAttachedPixoran; }
  void SetAttachedPixoran(IPXProcessingHost* Value);
  void SetAttachedBitmap(TPXBitmap* Bitmap);
  TPXBitmap* AttachedBitmap() const { return FTargetBitmap; }
  TImage* AttachedTImage() const { return FAttachedTImage; }
  void SetAttachedTImage(TImage* Value);
  TBitmap* AttachedTBitmap() const { return FAttachedTBitmap; }
  // The bitmap every operation works on.
  TPXBitmap* TargetBitmap() const { return FTargetBitmap; }
  bool OwnsTargetBitmap() const { return FOwnedTarget != nullptr; }

  bool AutoUndo() const { return FAutoUndo; }
  void SetAutoUndo(bool Value) { FAutoUndo = Value; }
  bool AutoConvertFormat() const { return FAutoConvertFormat; }
  void SetAutoConvertFormat(bool Value) { FAutoConvertFormat = Value; }
  TColor Background();
  void SetBackground(TColor Value);
  TPRPreviewsParams PreviewsParams() const { return FPreviewsParams; }
  void SetPreviewsParams(TPRPreviewsParams Value) { FPreviewsParams = Value; }
  TFont* PreviewFont() const { return FPreviewFont.get(); }
  void SetPreviewFont(TFont* Value);
  bool PreviewFontEnabled() const { return FPreviewFontEnabled; }
  void SetPreviewFontEnabled(bool Value) { FPreviewFontEnabled = Value; }
  TIPDialogParams* IPDialogParams() const { return FIPDialogParams.get(); }
  std::string PixoranVersion() const;
  void SetPixoranVersion(const std::string&) {}

  const TPXProgressEvent& OnProgress() const { return FOnProgress; }
  void SetOnProgress(const TPXProgressEvent& Value) { FOnProgress = Value; }
  const TNotifyEvent& OnFinishWork() const { return FOnFinishWork; }
  void SetOnFinishWork(const TNotifyEvent& Value) { FOnFinishWork = Value; }
  const TPXPreviewEvent& OnPreview() const { return FOnPreview; }
  void SetOnPreview(const TPXPreviewEvent& Value) { FOnPreview = Value; }

  // Resolution for pictures that leave through the clipboard.
  int32_t GetImageDpiX();
  int32_t GetImageDpiY();

  void Notification(TComponent* AComponent, TOperation Operation) override;

  // --- the operation frame (pixoranproc_frame.cpp) -------------------------------------------
  // EPXException "Active layer does not contain bitmap" without a target or with a host whose
  // current layer is not an image layer.
  void CheckBitmap();
  // CheckBitmap when Check; re-reads a wrapped platform bitmap; brings the format into
  // AllowedFormats (converting when AutoConvertFormat). False: the operation must not run.
  bool PrepareBitmap(TPXPixelFormatSet AllowedFormats, bool Check);
  // The selection box (X2, Y2 exclusive; the whole picture without selection) and mask; True
  // when the host has an active selection.
  virtual bool GetSelectionBox(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2, const TPoint*& Points,
                               int32_t& PointCount, TPXMask*& Mask);
  // Prologue: check, undo entry (before any format change), format, selection. WorkBitmap is
  // TargetBitmap or a copy of the selected box (held by the component until EndOperation).
  // False: nothing more may be done (EndOperation is not needed).
  bool BeginOperation(TPXPixelFormatSet AllowedFormats, int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2,
                      const std::string& Caption, TPXBitmap*& WorkBitmap, TPXMask*& Mask, int32_t OperationCode,
                      bool UseSelection);
  // Epilogue: merges a work copy back through the mask (alpha too when not opaque), then
  // ImageChanged.
  void EndOperation(TPXBitmap* WorkBitmap, TPXMask* Mask);
  // The same prologue for reading only: no check, no undo, the copy without alpha.
  bool BeginSelectionWork(TPXPixelFormatSet AllowedFormats, int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2,
                          TPXBitmap*& WorkBitmap, TPXMask*& Mask);
  void EndSelectionWork(TPXBitmap* WorkBitmap);
  // After pixels changed: the target's change notification, the host's update.
  void ImageChanged();
  // OnProgress(100), then OnFinishWork.
  virtual void DoFinishWork();
  // OnProgress with the component as sender, the value clamped to 0..100.
  void DoProgress(int32_t Percent);
  // A progress record reporting through OnProgress with the component as sender.
  TPXProgressRecord MakeProgressRecord();

  // --- undo and redo (pixoranproc_undo.cpp) --------------------------------------------------
  virtual bool CanUndo();
  virtual bool CanRedo();
  virtual int32_t UndoCount();
  virtual int32_t RedoCount();
  virtual std::string RedoCaptions(int32_t Index);
  virtual std::string UndoCaptions(int32_t Index);
  virtual void SaveUndo(TPXUndoSource Source, bool ClearRedo);
  virtual void StoreUndoState(const std::string& Caption, TPXUndoSource Source, bool ClearRedo,
                              int32_t OperationCode);
  virtual void UndoRemove();
  virtual void ClearAllUndo();
  virtual void Undo(bool RemoveEntry);
  virtual void UndoAt(int32_t Index, bool RemoveEntry);
  virtual void GetUndoInfo(int32_t Index, TPXUndoSource& Source, int32_t& OperationCode, std::string& Caption,
                           int32_t& ItemIndex);
  virtual void GetUndoInfo(int32_t Index, TPXUndoSource& Source, int32_t& OperationCode);
  virtual void SaveRedo(TPXUndoSource Source);
  virtual void StoreRedoState(const std::string& Caption, TPXUndoSource Source);
  virtual void ClearAllRedo();
  virtual void RedoRemove();
  virtual void ClearRedoAt(int32_t Index);
  virtual void Redo(bool RemoveEntry);
  virtual void RedoAt(int32_t Index, bool RemoveEntry);
  virtual void GetRedoInfo(int32_t Index, TPXUndoSource& Source, int32_t& OperationCode, std::string& Caption,
                           int32_t& ItemIndex);
  virtual void GetRedoInfo(int32_t Index, TPXUndoSource& Source, int32_t& OperationCode);
  void ClearUndoAt(int32_t Index);

  int32_t UndoLimit() const { return FUndoLimit; }
  // Negative values are taken as 0; existing entries are trimmed at the next save.
  void SetUndoLimit(int32_t Value);
  TPXBitmapLocation UndoLocation() const { return FUndoLocation; }
  void SetUndoLocation(TPXBitmapLocation Value) { FUndoLocation = Value; }
  int32_t UndoImageIndex() const { return FUndoImageIndex; }
  void SetUndoImageIndex(int32_t Value) { FUndoImageIndex = Value; }
  const TPXSaveUndoEvent& OnSaveUndo() const { return FOnSaveUndo; }
  void SetOnSaveUndo(const TPXSaveUndoEvent& Value) { FOnSaveUndo = Value; }
  const TPXOnUndoRedoEvent& UndoRedoCallback() const { return FUndoRedoCallback; }
  void SetUndoRedoCallback(const TPXOnUndoRedoEvent& Value) { FUndoRedoCallback = Value; }
  TPXUndoStore* UndoStore() const { return FUndoStore.get(); }
  TPXUndoStore* RedoStore() const { return FRedoStore.get(); }

  // --- colour operations (pixoranproc_colour.cpp) --------------------------------------------
  void ConvertToGray();
  void ConvertToMonochrome();
  void ConvertTo(int32_t ColorCount, int32_t DitherMode);
  // Palette receives the computed colours (room for ColorCount entries).
  void ConvertToPalette(int32_t ColorCount, std::span<TRGB> Palette, int32_t DitherMode);

  // --- transparent colours (pixoranproc_transparent.cpp) -------------------------------------
  // Every pixel whose colour lies inside MinColor..MaxColor (per channel, inclusive) gets the
  // alpha value Alpha (clamped to 0..255); px1g and px24RGB (other formats are converted first).
  // See SetTransparentColorsWorker.
  void SetTransparentColors(TRGB MinColor, TRGB MaxColor, int32_t Alpha);

  // --- canvas and geometry (pixoranproc_geometry.cpp) ----------------------------------------
  // Positions: 0 left or top, 1 centred, 2 right or bottom.
  void ResizeCanvas(int32_t NewWidth, int32_t NewHeight, uint8_t HorizontalPosition, uint8_t VerticalPosition,
                    int32_t FillAlpha);
  void ClearToBackground();
  // 0 left-right, 1 top-bottom (pxfdHorizontal, pxfdVertical).
  void Flip(uint8_t Direction);
  void CropTransparent();

  // --- crops (pixoranproc.cpp) ---------------------------------------------------------------
  // Inclusive rectangle; parts outside the picture become white.
  void Crop(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
  void CropToRect(const TRect& Rect);

  // --- fill (pixoranproc_rows.cpp) -----------------------------------------------------------
  // Color packed red << 16 | green << 8 | blue.
  void Fill(uint32_t Color);

  // --- wave (pixoranproc_wave.cpp) -----------------------------------------------------------
  void Wave(int32_t Amplitude, int32_t WaveLength, int32_t Phase, bool Reflective);

  // --- resampling and rotation (pixoranproc_transform.cpp) -----------------------------------
  // Sizes as CalcResampleSize takes them (-1 keeps the aspect ratio, 0 the side); both negative
  // is refused. Resample stores "Resize Image" (code 82).
  void Resample(int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter, bool Fit);
  // Dest receives the resampled picture; the picture itself is not changed.
  void ResampleTo(TPXBitmap* Dest, int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter, bool Fit);
  // The whole picture turns (no selection); Background -1 takes the Background property.
  void Rotate(double Angle, int32_t AntialiasMode, TColor Background = -1);
  // Rotates, then keeps the centred largest rectangle inside the turned picture (or one of the
  // picture's aspect ratio); one undo entry.
  void RotateAndCrop(TPXAntialiasMode AntialiasMode, TPXRotateCropMethod Method, TPXRotationAngle Angle,
                     TPXAspectRatio AspectRatio);
  // Keeps the content of the inclusive Rect turned by Angle about its centre, straightened.
  void CropRotated(const TRect& Rect, TPXAntialiasMode AntialiasMode, TPXRotationAngle Angle);

  // --- fills over the magic wand's region (pixoranproc_fill.cpp) ------------------------------
  // The pixels 4-connected to (X, Y) whose channels each lie within Tolerance of the seed colour
  // (grown by one pixel with FillGrow, the seed averaged over FillSampleSize) become FillColor,
  // or get the alpha Alpha; with a selection only selected pixels change.
  void FloodFill(int32_t X, int32_t Y, TRGB FillColor, TPXTolerance Tolerance);
  void AlphaFill(int32_t X, int32_t Y, uint8_t Alpha, TPXTolerance Tolerance);
  bool FillGrow() const { return FFillGrow; }
  void SetFillGrow(bool Value) { FFillGrow = Value; }
  int32_t FillSampleSize() const { return FFillSampleSize; }
  void SetFillSampleSize(int32_t Value) { FFillSampleSize = Value; }

  // --- perspective crop (pixoranproc_crops.cpp) ----------------------------------------------
  // Straightens the quadrilateral of the first four points (top-left, top-right, bottom-right,
  // bottom-left of the wanted picture) into a rectangle of its estimated true aspect ratio.
  // Nothing, and no undo entry, for fewer than four points or a degenerate quadrilateral.
  void CropPerspective(std::span<const TDPoint> Points);

  // --- clipboard (pixoranproc_clipboard.cpp) -------------------------------------------------
  // Formats: CF_DIB, "PIXORAN RAW FORMAT" (the raw bitmap stream) and "PIXORAN LAYER FORMAT"
  // (the view's layers stream); pasting also reads "PNG". Sources: 0 automatic, 1 the picture,
  // 2 the selection, 3 the selected layers; paste targets: 0 automatic, 1 replace the picture,
  // 2 into the selection, 3 as new layers. Every call answers False (-1) without changing
  // anything when the clipboard cannot be opened, the format is missing or its data is bad.
  //
  // Source 0 cuts the selection, else the selected layers, never the whole picture. ClearOnly
  // removes without copying; ClearAlpha also makes cleared selected pixels transparent.
  bool ClipboardCut(uint8_t Source, TPXClearAlpha ClearAlpha, TPXClearOnly ClearOnly);
  // Source 0 copies the selection, else the selected layers, else the whole picture.
  bool ClipboardCopy(uint8_t Source);
  bool ClipboardPaste(uint8_t Target, bool MaskWithAlpha, bool FitKeepAspect, bool Enlarge);

  // The steps of the three. 1: the picture is at least 2 x 2; 2: the view has an active
  // selection; 3: it has a selected layer (layer 0 not counted); 0: any of them.
  bool HasCopySource(uint8_t Source);
  bool CanCut(uint8_t Source);
  // Target 3 with AllowImageAsLayer off while layer 0 is current: the layer format is there;
  // else a picture is (raw, "PNG" or CF_DIB). Target 2 needs an active selection, 3 a view.
  bool CanPaste(uint8_t Target, bool AllowImageAsLayer);
  bool CutImage(bool AlsoRaw, bool Remove, bool ClearOnly);
  bool CutSelection(bool AlsoRaw, bool Remove, bool ClearAlpha, bool ClearOnly);
  bool CutLayers(bool Remove, bool ClearOnly);
  bool PasteImage();
  bool PasteToSelection(bool MaskWithAlpha, bool FitKeepAspect, bool Enlarge);
  // The view's current layer index after pasting; -1 when nothing was pasted.
  int32_t PasteLayers();

  // Read by the flood and alpha fills.
  bool FFillGrow = false;
  int32_t FFillSampleSize = 1;

 private:
  void ViewBitmapChanged(TObject* Sender, int32_t Code);
  void RemoveHostRegistration();
  // A new empty owned target (the old owned one is freed).
  void NewOwnedTarget();
  // Target := Bitmap (not owned); an owned target is freed.
  void SetForeignTarget(TPXBitmap* Bitmap);
  // The host is a layer view (a view with layers and selection).
  bool HostIsLayerView() const;
  bool HostIsVectorView() const;
  // Saving and restoring states (pixoranproc_undo.cpp).
  // Recycled, when given, may receive an image copy instead of a new bitmap.
  std::unique_ptr<TObject> CaptureState(TPXUndoSource Source, int32_t& LayerIndex,
                                        std::unique_ptr<TPXBitmap> Recycled);
  // Saves the current state of Source into Store; the new record, nil when nothing was stored.
  TPXUndoStoreInfo* SaveState(TPXUndoStore* Store, const std::string& Caption, TPXUndoSource Source,
                              int32_t OperationCode);
  // Stores a state captured before a change that may fail, as StoreUndoState would have (redo
  // cleared, OnSaveUndo told); nothing for a nil state.
  void CommitUndoState(std::unique_ptr<TObject> Saved, int32_t LayerIndex, const std::string& Caption,
                       TPXUndoSource Source, int32_t OperationCode);
  // Deletes the oldest entries until Store has room for one more.
  void MakeRoom(TPXUndoStore* Store);
  void RestoreState(TPXUndoSource Source, TObject* Saved, int32_t LayerIndex);
  // UndoAt (IsUndo) and RedoAt.
  void StepAt(bool IsUndo, int32_t Index, bool RemoveEntry);

  bool FAutoUndo = false;
  IPXProcessingHost* FAttachedPixoran = nullptr;  // not owned
  int32_t FChangeRegistration = 0;  // 0: none
  TColor FBackground = 0;
  TPRPreviewsParams FPreviewsParams;
  std::unique_ptr<TFont> FPreviewFont;
  bool FPreviewFontEnabled = false;
  TPXPreviewEvent FOnPreview;
  TImage* FAttachedTImage = nullptr;         // not owned
  TPXBitmap* FTargetBitmap = nullptr;        // FOwnedTarget or a caller's bitmap
  std::unique_ptr<TPXBitmap> FOwnedTarget;
  std::unique_ptr<TIPDialogParams> FIPDialogParams;
  bool FAutoConvertFormat = true;
  std::unique_ptr<TPXUndoStore> FUndoStore;
  std::unique_ptr<TPXUndoStore> FRedoStore;
  TPXBitmapLocation FUndoLocation = pxFile;
  int32_t FUndoLimit = 1;
  TPXSaveUndoEvent FOnSaveUndo;
  TBitmap* FAttachedTBitmap = nullptr;  // not owned
  TPXProgressEvent FOnProgress;
  TNotifyEvent FOnFinishWork;
  int32_t FUndoImageIndex = -1;
  TPXOnUndoRedoEvent FUndoRedoCallback;
  std::unique_ptr<TPXBitmap> FWorkCopy;       // the selected box of the running operation
  std::unique_ptr<TPXBitmap> FSelectionCopy;  // the selected box of BeginSelectionWork
};
