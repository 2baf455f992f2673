// TPixoranView: the image view. It shows a stack of layers (layer 0 the background image layer)
// fitted, zoomed and scrolled over a chosen background, composed into a 24-bit back buffer that
// is copied to the window; it attaches its own I/O and processing components and hears back from
// them through the change callbacks of TPXView; it keeps the layer list with its current layer,
// selection of layers, undo entries through the layers stream, and the layers stream itself.
//
// Where the members are defined:
//   pixoranview.cpp             construction and destruction, the published properties, the image
//                               lifecycle (Clear, Blank, AssignFrom, emptiness), the locks, the
//                               cursors, the stored-form reader, the unit's start-up
//   pixoranview_geometry.cpp    zoom, fit, scrolling, Update, the coordinate tables and conversions
//   pixoranview_paint.cpp       Paint, the back buffer, DrawLayers with masks, the zone cursor
//   pixoranview_background.cpp  DrawBackground, the chessboard, the blurred backdrop
//   pixoranview_events.cpp      attached components, events, alpha channel, external bitmap,
//                               playback, the library's messages
//   pixoranview_messages.cpp    scroll bars, wheel and size messages
//   pixoranview_layers.cpp      the layer list: current layer, insert, remove, clear, move, extent
//   pixoranview_layersel.cpp    selection of several layers and hit tests
//   pixoranview_layersfile.cpp  the layers stream (writer, header reader, staged loader)
//   pixoranview_tools.cpp       the tool contract and the view's calls to enabled tools
//   pixoranview_selection.cpp   the selection objects
//   pixoranview_selection_stream.cpp   the selection stream, stack and mask refresh
//   pixoranview_selection_ops.cpp      selection operations, grips and hit tests
//   pixoranview_selection_outline.cpp  the animated outline, grips drawn, fill and outer marking
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxdefs.h"
#include "core/hypxutils_ui.h"
#include "io/pixoranio.h"
#include "layers/pxxLayers.h"
#include "platform/forms/Controls.h"
#include "platform/gdi/Graphics.h"
#include "proc/pixoranproc.h"
#include "view/pixoranview_background.h"
#include "view/pixoranview_selection.h"
#include "view/pixoranview_tools.h"
#include "view/pxview.h"
#include "view/pxxTransitions.h"

class TPXMask;
class TReader;
class TPixoranView;

// ---------------------------------------------------------------------------------------------
// Option sets and enumerations

enum class TPXSelectionOption : uint8_t {
  pxsoAnimated, pxsoSizeable, pxsoMoveable, pxsoFilled, pxsoCutBorders, pxsoMarkOuter, pxsoCanScroll,
  pxsoSelectTranspLayers, pxsoRightButtonSelectLayers, pxsoRightButtonTerminatePolySelect,
  pxsoDisableOneClickDeselect, pxsoDisableNewSelection, pxsoShowCenter, pxsoAutoTerminatePolySelect,
  pxsoAllowMoveByKeyboard, pxsoCircleSizeable, pxsoPolygonSizeable,
};
using enum TPXSelectionOption;
using TPXSelectionOptions = TSet<TPXSelectionOption>;

enum class TPXDisplayOption : uint8_t { pxdoDisableAutoFitWhenZoom, pxdoMaintainAROnZoomSelect, pxdoPaintWhenOffScreen };
using enum TPXDisplayOption;
using TPXDisplayOptions = TSet<TPXDisplayOption>;

enum class TPXMouseInteractItems : uint8_t {
  miZoom, miScroll, miMovingScroll, miSelect, miSelectPolygon, miSelectCircle, miSelectZoom, miSelectMagicWand,
  miSelectLasso, miSelectChromaKey, miCropTool, miBrushTool, miCloneTool, miRotateTool, miColorFill, miAlphaFill,
  miMeasureLength, miMeasureRect, miMeasureEllipse, miMeasureAngle, miColorPicker,
};
using enum TPXMouseInteractItems;
using TPXMouseInteract = TSet<TPXMouseInteractItems>;

enum class TPXMouseInteractLayerItems : uint8_t {
  mlMoveLayers, mlResizeLayers, mlRotateLayers, mlCreateImageLayers, mlCreateShapeLayers, mlCreateLineLayers,
  mlCreatePolylineLayers, mlCreateAngleLayers, mlCreateTextLayers, mlClickCreateLineLayers,
  mlClickCreatePolylineLayers, mlDrawCreatePolylineLayers, mlClickCreateAngleLayers, mlEditLayerPoints,
};
using enum TPXMouseInteractLayerItems;
using TPXMouseInteractLayers = TSet<TPXMouseInteractLayerItems>;

enum class TPXFastDrawing : uint8_t { pxfFast, pxfDelayed, pxfNormal };
using enum TPXFastDrawing;
enum class TPXCursorShape : uint8_t { pxcsDefault, pxcsCircle, pxcsRectangle, pxcsRoundRect };
using enum TPXCursorShape;
enum class TPXGridKind : uint8_t { pxdgNone, pxdgPixelGrid, pxdgGuideLines, pxdgRulerGuides };
using enum TPXGridKind;
enum class TPXSelectionBase : uint8_t { pxsbClientArea, pxsbBitmap };
using enum TPXSelectionBase;
enum class TPXSmoothTask : uint8_t { pxstScroll, pxstZoom };
using enum TPXSmoothTask;
enum class TRulerDir : uint8_t { rdHorizontal, rdVertical };
using enum TRulerDir;
using TRulerDirs = TSet<TRulerDir>;
enum class TPXVButton : uint8_t { pxbtPrevious, pxbtNext, pxbtZoomIn, pxbtZoomOut };
using enum TPXVButton;
using TPXVButtons = TSet<TPXVButton>;

enum class TPXGrip : uint8_t {
  pxNone, pxTopLeft, pxTopRight, pxBottomRight, pxBottomLeft, pxLeftSide, pxRightSide, pxTopSide, pxBottomSide,
  pxRotationCenter,
};
using enum TPXGrip;

enum class TPXLayerEvent : uint8_t {
  pxlSelected, pxlMoved, pxlResized, pxlMoving, pxlResizing, pxlRotating, pxlRotated, pxlBeginResizing,
  pxlBeginRotating, pxlBeginMoving, pxlDeselected, pxlEdited, pxlBeginCreating, pxlCreating, pxlCreated,
  pxlLeftClicked, pxlRightClicked, pxlDblClicked, pxlAction, pxlMouseOver, pxlEditedPoints, pxlAddedPoint,
  pxlMovedPoint, pxlArranged, pxlBeforeRemove, pxlRemoved, pxlEditedProps, pxlTextEditorClick, pxlTextEditorChange,
};
using enum TPXLayerEvent;

// The view's update reasons (UpdateReason).
inline constexpr uint8_t pxurNone = 0, pxurCentring = 1, pxurZoom = 2, pxurSelection = 3, pxurDisplay = 4,
                         pxurProcessed = 5, pxurLoaded = 6;

// Layer index conventions: all layers, the selected ones, keyboard cycling, move targets.
inline constexpr int32_t PXLayersAll = -1, PXLayersSelected = -2, PXLayerPrevious = -9997, PXLayerNext = -9998;
inline constexpr int32_t PXMoveBottom = -9, PXMoveDown = -8, PXMoveUp = -7, PXMoveTop = -6;

// The largest zoomed extent per axis any zoom may give (the coordinate tables stay bounded).
inline constexpr int32_t PXMaxZoomedExtent = 4194304;

// The library version the views report.
inline constexpr const char* PixoranViewVersion = "8.7.6";

// ---------------------------------------------------------------------------------------------
// Events

PX_EVENT_TYPE(TViewChangeEvent, void(TObject* Sender, int32_t Change));
PX_EVENT_TYPE(TViewChangingEvent, void(TObject* Sender, int32_t Change, double NewValue));
PX_EVENT_TYPE(TPXImageChangeEvent, void(TObject* Sender, int32_t ChangeSource));
PX_EVENT_TYPE(TPXOnDrawBackground, void(TObject* Sender, TCanvas* Canvas, TRect Rect, bool& Handled));
PX_EVENT_TYPE(TPXOnDrawCanvas, void(TObject* Sender, TCanvas* Canvas, TRect Rect));
PX_EVENT_TYPE(TPXDrawLayerEvent, void(TObject* Sender, TPXBitmap* Dest, int32_t LayerIndex));
PX_EVENT_TYPE(TPXZoomEvent, void(TObject* Sender, double& NewZoom));
PX_EVENT_TYPE(TPXLayerNotify, void(TObject* Sender, int32_t Layer, TPXLayerEvent Event));
PX_EVENT_TYPE(TPXNewLayerEvent, void(TObject* Sender, int32_t LayerIdx, TPXLayerKind LayerKind));
PX_EVENT_TYPE(TPXInteractionHintEvent,
              void(TObject* Sender, int32_t Operation, std::string& Text, int32_t& X, int32_t& Y));
PX_EVENT_TYPE(TPXSetCursorEvent, void(TObject* Sender, TCursor& Cursor));
PX_EVENT_TYPE(TPXFinishSmoothTaskEvent, void(TObject* Sender, TPXSmoothTask Task));
PX_EVENT_TYPE(TPXOnDrawPolygon,
              void(TObject* Sender, int32_t Polygon, int32_t Point, TCanvas* Canvas, int32_t X, int32_t Y));

// The view's cursors: 37 registered as screen cursors 1778 .. 1814; 1785 the default.
inline constexpr TCursor PXFirstViewCursor = 1778;
inline constexpr TCursor PXDefaultViewCursor = 1785;
inline constexpr int32_t PXViewCursorCount = 37;
// The resource name of cursor PXFirstViewCursor + I.
const char* ViewCursorResourceName(int32_t I);

// ---------------------------------------------------------------------------------------------

class TPixoranView : public TPXView, public IPXLayerOwner {
  PX_CLASS(TPixoranView)
 public:
  explicit TPixoranView(TComponent* AOwner);
  ~TPixoranView() override;

  // ===== Image lifecycle (pixoranview.cpp) ====================================================
  // Fills the picture with Background, drops its alpha channel, updates; image change 2.
  void Clear();
  // A 1 x 1 picture, cleared; playback and a running transition stop.
  void Blank();
  virtual bool IsEmpty();
  virtual bool IsBlankImage();
  // Copies a view (layers, background, I/O parameters), a TPXBitmap, a platform bitmap or
  // graphic into this view; nil clears. EPXException "Unknown source type" for anything else.
  virtual void AssignFrom(TObject* Source);

  // Update and paint locks; the unlock that reaches 0 updates.
  void LockUpdate() { ++FUpdateLockCount; }
  void UnlockUpdate();
  int32_t UpdateLockCount() const { return FUpdateLockCount; }
  void LockPaint() override { ++FPaintLockCount; }
  int32_t UnlockPaint() override;
  int32_t UnlockPaintNoUpdate() override;
  int32_t PaintLockCount() const { return FPaintLockCount; }

  // ===== Geometry (pixoranview_geometry.cpp) ==================================================
  // The view's Update: layer geometry, extent, automatic fit, scroll bars, image rectangle; the
  // back buffer is recomposed at the next paint.
  void Update() override;
  double Zoom() const { return FZoomX; }
  void SetZoom(double Value);
  double ZoomX() override { return FZoomX; }
  double ZoomY() override { return FZoomY; }
  void SetZoomXProperty(double Value);
  void SetZoomYProperty(double Value);
  // Keeps the bitmap pixel under client (X, Y) under it (or centres it).
  void ZoomAt(int32_t X, int32_t Y, double ZoomValue, bool Centre);
  // Fits the extent into the control (never above 100 without AllowEnlarge).
  void Fit(bool AllowEnlarge);
  double GetFitZoom();
  void GetFitZooms(double& ZoomX, double& ZoomY);
  double GetAutoFitZoom(bool Stretch, bool Shrink);
  void GetFrameMargins(int32_t& Left, int32_t& Top, int32_t& Right, int32_t& Bottom, bool BorderMarginsX,
                       bool BorderMarginsY);
  bool AutoShrink() const { return FAutoShrink; }
  void SetAutoShrink(bool Value);
  bool AutoStretch() const { return FAutoStretch; }
  void SetAutoStretch(bool Value);
  bool AutoFit() const { return FAutoShrink && FAutoStretch; }
  void SetAutoFit(bool Value);
  bool UserZoomed() const { return FUserZoomed; }
  bool Center() const { return FHAlign == 1 && FVAlign == 1; }
  void SetCenter(bool Value);
  void SetHAlign(uint8_t Value);
  void SetVAlign(uint8_t Value);

  int32_t ViewX() const { return FViewX; }
  int32_t ViewY() const { return FViewY; }
  void SetViewX(int32_t X);
  void SetViewY(int32_t Y);
  void SetViewXY(int32_t X, int32_t Y);
  void SetViewXYSmooth(int32_t X, int32_t Y);
  void StopSmoothTask();
  void GetMaxViewXY(int32_t& MaxX, int32_t& MaxY);
  void GetMinViewXY(int32_t& MinX, int32_t& MinY) { MinX = 0, MinY = 0; }
  bool CanScroll();

  int32_t ClientToBitmapX(int32_t X, bool RelativeToLayer);
  int32_t ClientToBitmapY(int32_t Y, bool RelativeToLayer);
  int32_t BitmapToClientX(int32_t X, bool RelativeToLayer);
  int32_t BitmapToClientY(int32_t Y, bool RelativeToLayer);
  int32_t SnapViewX(int32_t V);
  int32_t SnapViewY(int32_t V);
  // The conversions of the layer engine (never relative to the current layer).
  int32_t ClientToBitmapX(int32_t X) override { return ClientToBitmapX(X, false); }
  int32_t ClientToBitmapY(int32_t Y) override { return ClientToBitmapY(Y, false); }
  int32_t BitmapToClientX(int32_t X) override { return BitmapToClientX(X, false); }
  int32_t BitmapToClientY(int32_t Y) override { return BitmapToClientY(Y, false); }

  int32_t GetExtentWidth();
  int32_t GetExtentHeight();
  int32_t GetViewportWidth();
  int32_t GetViewportHeight();
  virtual int32_t GetDisplayWidth();
  virtual int32_t GetDisplayHeight();
  bool HasParentWindow() override;
  int32_t OffsetX() const { return FOffsetX; }
  int32_t OffsetY() const { return FOffsetY; }
  int32_t VisibleWidth() const { return FVisibleWidth; }
  int32_t VisibleHeight() const { return FVisibleHeight; }
  int32_t ExtentX() const { return FExtentX; }
  int32_t ExtentY() const { return FExtentY; }
  int32_t DstWidth() const { return FDstWidth; }
  int32_t DstHeight() const { return FDstHeight; }
  int32_t SrcX() const { return FSrcX; }
  int32_t SrcY() const { return FSrcY; }
  int32_t SrcWidth() const { return FSrcWidth; }
  int32_t SrcHeight() const { return FSrcHeight; }
  double HScrollRatio() const { return FHScrollRatio; }
  double VScrollRatio() const { return FVScrollRatio; }
  bool HScrollShown() const { return FHScrollShown; }
  bool VScrollShown() const { return FVScrollShown; }
  void HideHScrollBar();
  void HideVScrollBar();

  // ===== Painting and backgrounds (pixoranview_paint.cpp, _background.cpp) ===================
  virtual void DrawLayers(TPXBitmap* Dest, const TRect* UpdateRect, bool DrawBackground, bool DrawGadgets);
  virtual void LayerDrawn(int32_t LayerIndex, TPXBitmap* Dest, const TRect* UpdateRect);
  void PaintBackBuffer(const TRect& UpdateRect);
  TPXBitmap* BackBuffer() const { return FBackBuffer.get(); }
  TBitmap* GetBackBuffer();
  bool IsFastDrawingNow() override;
  void SetDelayedDrawing(bool Finished);
  void InvalidateClientRect(const TRect& Rect, bool PaintNow);
  void AccumulateUpdateRect(const TRect& Rect);
  void SetInteractionHint(const std::string& Text, int32_t X, int32_t Y, const std::string& MeasureText,
                          bool Centred);
  void ShowInteractionHint(int32_t Operation, const std::string& Text, int32_t X, int32_t Y,
                           const std::string& MeasureText, bool Centred);
  // The zone cursor drawn in pmNot (twice restores); the drawn rectangle, empty for pxcsDefault.
  TRect DrawZoneCursor(TCanvas* Canvas, TPXCursorShape Shape, TPoint Point, int32_t Width, int32_t Height,
                       bool Cross);
  void PaintBackgroundTo(TCanvas* Canvas, int32_t Width, int32_t Height);
  void SetChessboardStyle(int32_t Size, TBrushStyle BrushStyle, TColor Color1, TColor Color2);
  void BuildBlurredBackdrop(TPXBitmap* Source);
  int32_t ChessboardSize() const { return FChessboardSize; }
  TBrushStyle ChessboardBrushStyle() const { return FChessboardBrushStyle; }
  bool ChessboardTwoColors() const { return FChessboardTwoColors; }
  TPXBitmap* BlurredBackdrop() const { return FBlurredBackdrop.get(); }

  // ===== Attached components and events (pixoranview_events.cpp) ==============================
  TPixoranIO* GetIO() override;
  TPixoranIO* IO() { return GetIO(); }
  TPixoranProc* GetProc();
  TPixoranProc* Proc() { return GetProc(); }
  // Whether the components exist yet (without making them).
  bool HasIO() const { return FIO != nullptr; }
  bool HasProc() const { return FProc != nullptr; }
  TPXTransitionEffects* GetTransition();
  bool HasTransition() const { return FTransition != nullptr; }

  TPXBitmap* GetPXBitmap() override { return FMainBitmap; }
  TBitmap* GetBitmap() override;
  TPXBitmap* GetAlphaChannel() override;
  bool HasAlphaChannel() override;
  void RemoveAlphaChannel(bool Merge) override;
  bool EnableAlphaChannel() override { return FEnableAlphaChannel; }
  void SetEnableAlphaChannel(bool Value);
  void SetExternalBitmap(TPXBitmap* Bitmap);
  void ImageChange(int32_t ChangeSource) override;
  virtual void DoLayerNotify(int32_t Layer, TPXLayerEvent Event);
  virtual void DoViewChanging(int32_t Change, double NewValue);
  virtual void DoViewChange(int32_t Change);
  void DoZoomIn(double& NewZoom);
  void DoZoomOut(double& NewZoom);
  void SwapSelectionBase();
  void CallBitmapChangeEvents(int32_t Code) override { TPXView::CallBitmapChangeEvents(Code); }
  void DoLayerSelectionChange(TObject* Sender) override;

  bool Playing() const { return FPlaying; }
  void SetPlaying(bool Value);
  bool PlayLoop() const { return FPlayLoop; }
  void SetPlayLoop(bool Value) { FPlayLoop = Value; }
  double PlaySpeed() const { return FPlaySpeed; }
  void SetPlaySpeed(double Value) { FPlaySpeed = Value; }
  void StartPlayTimer();
  void StopPlayTimer();
  bool PlayTimerActive() const { return FPlayTimerId != 0; }

  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  TCursor DefaultCursor() const { return FDefaultCursor; }
  void SetTempCursor(TCursor Value, bool AlsoScreen);
  void RestoreCursor();
  bool AutoCursors() const { return FAutoCursors; }
  void SetAutoCursors(bool Value) { FAutoCursors = Value; }
  TPXCursorShape ZoneCursor() const { return FZoneCursor; }
  void SetZoneCursor(TPXCursorShape Value);
  int32_t ZoneCursorSize() const;
  void SetZoneCursorSize(int32_t Value);
  void SetZoneCursorShape(TPXCursorShape Shape, int32_t Width, int32_t Height);
  TPXCursorShape ZoneCursorShapeInUse() const { return FZoneCursorShapeInUse; }
  TPoint ZoneCursorSizeInUse() const { return FZoneCursorSizeInUse; }

  // ===== Layer list (pixoranview_layers.cpp) ==================================================
  int32_t GetLayersCount() override { return static_cast<int32_t>(FLayers.size()); }
  int32_t LayersCount() { return GetLayersCount(); }
  // The list's range error (EListError) for an index outside it.
  TPXLayer* GetLayers(int32_t Index) override;
  TPXLayer* Layers(int32_t Index) { return GetLayers(Index); }
  TPXLayer* CurrentLayer() { return GetLayers(FLayersCurrent); }
  int32_t LayersCurrent() override { return FLayersCurrent; }
  virtual void SetLayersCurrent(int32_t Index) override;
  bool SetLayersCurrentEx(int32_t Index, bool UserAction, bool DeselectOthers, bool Update);
  int32_t LayersInsert(int32_t Index, TPXLayerKind Kind, int32_t PosX, int32_t PosY, int32_t Width, int32_t Height,
                       TPXBitmap* Bitmap, bool CopyBitmap, bool SaveUndo, bool ApplyDefaults, bool SelectNew);
  int32_t LayersAppend(TPXLayerKind Kind, int32_t PosX, int32_t PosY, int32_t Width, int32_t Height,
                       TPXBitmap* Bitmap, bool CopyBitmap, bool SaveUndo, bool ApplyDefaults, bool SelectNew);
  void LayersInsertAt(int32_t Index, TPXLayerKind Kind, int32_t PosX, int32_t PosY, int32_t Width, int32_t Height);
  int32_t LayersAdd(TPXLayerKind Kind, int32_t PosX, int32_t PosY, int32_t Width, int32_t Height);
  virtual void LayersRemove(int32_t Index, bool MoveBackgroundProps);
  void LayersRemoveEx(int32_t Index, bool SaveUndo, bool FireEvents, bool MoveBackgroundProps, bool Reselect);
  void LayersClear(bool ResetBackground) override;
  void LayersMove(int32_t Index, int32_t Target, bool SaveUndo, bool FireEvents, bool MoveBackgroundProps);
  bool Modified() const { return FModified; }
  void SetModified(bool Value) override;
  int32_t GetCurrentImageWidth();
  int32_t GetCurrentImageHeight();
  void SyncCurrentLayerBitmap();
  bool IsLayerMouseEditActive();
  bool UpdateLayersExtent();
  void GetLayersRect(bool SelectedOnly, bool ExcludeBackground, int32_t& X, int32_t& Y, int32_t& Width,
                     int32_t& Height);
  TPXLayerOptions LayerOptions() override { return FLayerOptions; }
  // What rotating a text layer turns: 0 the layer, 1 only its border shape, 2 both.
  uint8_t TextLayerRotateMode() const { return FTextLayerRotateMode; }
  void SetTextLayerRotateMode(uint8_t Value) { FTextLayerRotateMode = Value; }
  void SetLayerOptions(TPXLayerOptions Value);
  TPXFastDrawing LayersFastDrawing() const { return FLayersFastDrawing; }
  void SetLayersFastDrawing(TPXFastDrawing Value) { FLayersFastDrawing = Value; }
  bool SelectableEnforced() const { return FSelectableEnforced; }
  void SetSelectableEnforced(bool Value) { FSelectableEnforced = Value; }
  // key=value lines applied to new layers (ApplyDefaults); nil when none.
  TStringList* LayerDefaultProps();
  bool HasImageLayer() const { return FHasImageLayer; }

  // ===== Selection of layers and hit tests (pixoranview_layersel.cpp) =========================
  bool IsMultiSelectOn() { return FLayerOptions.Contains(loAllowMultiSelect); }
  void SelectLayerGroup(int32_t GroupIndex, bool Select, bool FireEvents) override;
  void SelectLayerMask(int32_t Index, bool Select, bool FireEvents);
  void SelectAllLayers(bool IncludeLocked);
  void DeselectAllLayers();
  void SelectLayersInRect(TRect Rect);
  void ClickSelectLayer(int32_t& Index, bool Toggle);
  int32_t CountSelectedLayers(bool IncludeBackground);
  int32_t FindLayerAt(int32_t X, int32_t Y, bool SelectableOnly);
  bool LayerHitAt(int32_t X, int32_t Y, int32_t Index, int32_t Tolerance);

  // ===== Layers stream (pixoranview_layersfile.cpp) ===========================================
  void LayersSaveToStream(TStream* Stream, int32_t Compression, bool SelectedOnly, bool SkipBackground,
                          bool SkipImageLayers, bool IncludeThumbnail, const TPXProgressEvent& Progress) override;
  bool LayersLoadFromStream(TStream* Stream, bool Append, const TPXProgressEvent& Progress) override;

  // ===== Flattening (pixoranview_merge.cpp) ===================================================
  // The composed stack at 100 % into Dest; ResizeAndFill makes Dest the layers' rectangle, new
  // area in Background. What the view shows (zoom, position, extent) is not touched.
  void LayersDrawTo(TPXBitmap* Dest, bool ResizeAndFill);
  void LayersDrawTo(TPXBitmap* Bitmap) override { LayersDrawTo(Bitmap, true); }
  // Fewer than two layers: nothing. UseMerge blends every layer onto layer 0 with its opacity,
  // blend operation and mask into one image layer with alpha; otherwise the stack is drawn flat
  // over Background into layer 0, which takes the layers' rectangle.
  void LayersMergeAll(bool UseMerge);
  void LayersMergeAll() override { LayersMergeAll(true); }

  // ===== Tools (pixoranview_tools.cpp) ========================================================
  // The tools in the order the view asks them; the view owns them.
  const std::vector<std::unique_ptr<TPXUserInteraction>>& Tools() const { return FTools; }
  void AddTool(std::unique_ptr<TPXUserInteraction> Tool);
  TPXUserInteraction* Tool(int32_t Index);
  int32_t ToolCount();
  void ToolsCancelOnModeChange();
  bool ToolsNeedBackBufferUpdate();
  void ToolsPaintToBackBuffer();
  void ToolsPaintToCanvas(const TRect& UpdateRect);
  void ToolsImageChanged();
  // Mouse: the first enabled tool that answers True takes it; every enabled tool gets the after-call.
  bool ToolsMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  bool ToolsMouseMove(TShiftState Shift, int32_t X, int32_t Y);
  bool ToolsMouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  const TPXUserInteractionNotify& OnUserInteraction() const { return FOnUserInteraction; }
  void SetOnUserInteraction(const TPXUserInteractionNotify& Value) { FOnUserInteraction = Value; }
  // Members 0 .. 12 make single steps of the handling act as if Shift, Ctrl or Alt were held.
  uint16_t ForcedModifiers = 0;
  bool ShortcutKeysEnabled = true;

  // ===== Published properties (pixoranview.cpp) ===============================================
  void SetBackground(TColor Value) override;
  TColor Background() override { return TPXView::Background(); }
  bool LegacyBitmap() const { return FLegacyTBitmap != nullptr; }
  void SetLegacyBitmap(bool Value);
  TResampleFilter ZoomFilter() const { return FZoomFilter; }
  void SetZoomFilter(TResampleFilter Value);
  TResampleFilter ZoomFilterInUse() const { return FZoomFilterInUse; }
  TScrollStyle ScrollBars() const { return FScrollBars; }
  virtual void SetScrollBars(TScrollStyle Value);
  TPXSelectionOptions SelectionOptions() const { return FSelectionOptions; }
  void SetSelectionOptions(TPXSelectionOptions Value);
  TPXDisplayOptions DisplayOptions() const { return FDisplayOptions; }
  void SetDisplayOptions(TPXDisplayOptions Value) { FDisplayOptions = Value; }
  TPXMouseInteract MouseInteractGeneral() const { return FMouseInteractGeneral; }
  TPXMouseInteractLayers MouseInteractLayers() const { return FMouseInteractLayers; }
  TPXSelectionBase SelectionBase() const { return FSelectionBase; }
  void SetSelectionBase(TPXSelectionBase Value) { FSelectionBase = Value; }
  TPXBackgroundStyle BackgroundStyle() const { return FBackgroundStyle; }
  void SetBackgroundStyle(TPXBackgroundStyle Value);
  TColor GradientEndColor() const { return FGradientEndColor; }
  void SetGradientEndColor(TColor Value);
  bool DelayZoomFilter() const { return FDelayZoomFilter; }
  void SetDelayZoomFilter(bool Value) { FDelayZoomFilter = Value; }
  bool DrawVersion() const { return FDrawVersion; }
  void SetDrawVersion(bool Value);
  std::string PixoranVersion() const { return PixoranViewVersion; }
  void SetPixoranVersion(const std::string&) {}
  TPicture* Wallpaper() const { return FWallpaper.get(); }
  void SetWallpaper(TPicture* Value);
  TPXWallpaperStyle WallpaperStyle() const { return FWallpaperStyle; }
  void SetWallpaperStyle(TPXWallpaperStyle Value);
  bool EnableInteractionHints() const { return FEnableInteractionHints; }
  void SetEnableInteractionHints(bool Value) { FEnableInteractionHints = Value; }
  TPXGridKind DisplayGridKind() const { return FDisplayGridKind; }
  void SetDisplayGridKind(TPXGridKind Value);
  TPXMouseWheelParams* MouseWheelParams() const { return FMouseWheelParams.get(); }
  void SetMouseWheelParams(TPXMouseWheelParams* Value);
  TPXScrollBarParams* HScrollBarParams() const { return FHScrollBarParams.get(); }
  TPXScrollBarParams* VScrollBarParams() const { return FVScrollBarParams.get(); }
  TRulerDirs ShowRulers() const { return FShowRulers; }
  void SetShowRulers(TRulerDirs Value);
  TPXVButtons ShowButtons() const { return FShowButtons; }
  void SetShowButtons(TPXVButtons Value);

  // ===== Selection (pixoranview_selection_*.cpp) ==============================================
  // Coordinates are client coordinates converted relative to the current layer unless
  // SelectionBase is pxsbBitmap; Op 0 replaces, 1 adds, 2 removes.
  virtual void Select(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, uint8_t Op);
  void SelectRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, uint8_t Op, bool Square, bool KeepInside);
  // An ellipse of Count points (Count < 1: one per unit of the smaller semi-axis' perimeter,
  // at least 50) in bitmap coordinates.
  void AddEllipse(int32_t CX, int32_t CY, int32_t Width, int32_t Height, int32_t Count);
  virtual void AddSelectionPoint(int32_t X, int32_t Y);
  void AddSelectionPointClient(int32_t X, int32_t Y);
  void EndPolygonSelection(bool Adding, bool DropLast);
  void Deselect();
  void ShowSelection(bool Redraw);
  void HideSelection(bool Redraw);
  void SelectMagicWand(int32_t X, int32_t Y, uint8_t Op);
  void SelectChromaKey(int32_t X, int32_t Y, uint8_t Op);
  void ApplyChromaKey(uint8_t Op);
  void MoveSelection(int32_t DX, int32_t DY, bool Resize);
  void MoveSelectionBy(int32_t DX, int32_t DY, bool Cut);
  // Drags grip 1..8 to client (X, Y); the grip in use afterwards (it flips when edges cross).
  int32_t ResizeSelectionByGrip(int32_t Grip, int32_t X, int32_t Y, bool KeepRatio);
  int32_t HitSelectionGrip(int32_t X, int32_t Y);
  int32_t SelGripAt(int32_t X, int32_t Y, TShiftState Shift);
  int32_t HitSelectionInside(int32_t X, int32_t Y, TShiftState Shift);
  virtual void RefreshSelectionMask();
  void SaveSelectionToStream(TStream* Stream) override;
  // Modes: 0 as stored, 1 kept inside the bitmap, 2 re-placed for the current layer. False, with
  // the selection unchanged, for a stream that does not hold a whole, sane selection.
  bool LoadSelectionFromStream(TStream* Stream, int32_t Mode) override;
  void PushSelection();
  bool PopSelection(bool Remove, uint8_t Mode);
  int32_t SelStackCount() const { return static_cast<int32_t>(FSelStack.size()); }
  const TPoint* GetSelectionPoints() const { return FSelPolygons->PointData(); }
  int32_t GetSelectionPointCount() const { return FSelPolygons->PointCount; }
  TPoint GetSelectionPoint(int32_t Index) const;
  const TPoint* SelectionPoints() override { return GetSelectionPoints(); }
  int32_t SelectionPointCount() override { return GetSelectionPointCount(); }
  // The outline: marching dashes, grips, centre cross and cell grid on the view's canvas.
  void DrawSelectionOutline(TObject* Sender, bool CheckLock);
  virtual void DrawSelectionGrid(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  // pxsoFilled and pxsoMarkOuter on the composed picture.
  void DrawSelectionFill(TBitmap* Composed);
  void DoSelectionChanging();
  void DoSelectionChange();
  void DoBeforeSelectionChange();
  // The milliseconds the outline drawing measures with (tests replace it).
  std::function<uint32_t()> TickCounter;

#define PX_SEL_PROP(Type, Name) \
  Type Name() const { return F##Name; } \
  void Set##Name(Type Value) { F##Name = Value; }
  PX_SEL_PROP(double, SelectionRatio)
  PX_SEL_PROP(int32_t, SelSizeX)
  PX_SEL_PROP(int32_t, SelSizeY)
  PX_SEL_PROP(bool, ShiftAddsSelection)
  PX_SEL_PROP(bool, SelectionShown)
  PX_SEL_PROP(int32_t, SelAddValue)
  PX_SEL_PROP(uint8_t, WandMode)
  PX_SEL_PROP(int32_t, WandTolerance)
  PX_SEL_PROP(int32_t, WandFilterSize)
  PX_SEL_PROP(bool, WandGrow)
  PX_SEL_PROP(TColor, SelGripPenColor)
  PX_SEL_PROP(TColor, SelGripBrushColor)
  PX_SEL_PROP(TBrushStyle, SelGripBrushStyle)
  PX_SEL_PROP(int32_t, SelGripSize)
  PX_SEL_PROP(uint8_t, SelGripShape)
  PX_SEL_PROP(bool, SelRectSideGrips)
  PX_SEL_PROP(int32_t, SelGridColumns)
  PX_SEL_PROP(int32_t, SelGridRows)
  PX_SEL_PROP(int32_t, AntsTiming)
  PX_SEL_PROP(bool, DelayMaskOutline)
  PX_SEL_PROP(TNotifyEvent, OnSelectionChanging)
  PX_SEL_PROP(TNotifyEvent, OnSelectionChange)
  PX_SEL_PROP(TNotifyEvent, OnBeforeSelectionChange)
#undef PX_SEL_PROP
  int32_t SelMaskDepth() const { return FSelMaskDepth; }
  // The drag and drawing state the mouse code keeps.
  bool PolygonOpen = false;
  bool LassoOpen = false;
  bool DrawingRect = false;
  bool DrawingEllipse = false;
  int32_t SelGrip = 0;
  int32_t SelMoving = -1;
  int32_t MaskAntsPhase = 0;
  TRect SelClientRect{0, 0, 0, 0};
  bool MovedRectSelection = false;
  bool OutlineSuppressed = false;
  TRect SelDragStartBounds{0, 0, 0, 0};
  TPXOnDrawPolygon OnDrawPolygon;

  TPXVectorizedSelection* SelPolygons() const { return FSelPolygons.get(); }
  TPXMask* SelMask() const { return FSelMask.get(); }
  TPXChromaKeyOptions* ChromaKeyOptions() const { return FChromaKeyOptions.get(); }
  bool SelectionPresent() const { return FSelectionPresent; }
  TColor SelOutlineColor1() const { return FSelOutlineColor1; }
  void SetSelOutlineColor1(TColor Value);
  TColor SelOutlineColor2() const { return FSelOutlineColor2; }
  void SetSelOutlineColor2(TColor Value);
  TTimer* AntsTimer() const { return FAntsTimer; }
  int32_t FilterDelayCount() const { return FFilterDelayCount; }
  int32_t FastDrawDelayCount() const { return FFastDrawDelayCount; }
  int32_t FilterDelayTicks = 4;
  int32_t FastDrawDelayTicks = 2;
  int32_t MinLayerDrawSize = 2;
  int32_t EditingTextLayer = -1;
  int32_t SmoothScrollDivisor = 8;
  int32_t LayerCacheToDrop = -1;

  // ===== IPXProcessingHost / IPXIOView ========================================================
  TPXHostKind HostKind() override { return pxhkLayerView; }
  bool CurrentLayerIsImage() override { return FHasImageLayer; }
  TPXBitmap* LayerBitmap(int32_t Index) override;
  TGUID LayerGUID(int32_t Index) override;
  bool SelectionActive() override { return FSelectionPresent; }
  TPXMask* SelectionMask() override { return FSelectionPresent ? FSelMask.get() : nullptr; }
  bool GetIODpi(int32_t& DpiX, int32_t& DpiY) override;
  void SaveLayerToStream(int32_t Index, TStream* Stream, int32_t Compression, bool WithPicture) override;
  void LoadLayerFromStream(int32_t Index, TStream* Stream) override;
  void SetCurrentLayerPos(int32_t X, int32_t Y) override;

  // ===== IPXLayerOwner ========================================================================
  bool HasBeforeDrawLayer() override { return static_cast<bool>(FOnBeforeDrawLayer); }
  void DoBeforeDrawLayer(TPXBitmap* Dest, int32_t LayerIndex) override;
  int32_t LayersCaching() override { return 0; }
  bool QuickLayerRendering() override { return false; }
  bool LayersCropped() override { return false; }
  int32_t RotateSnapStep() override { return 45; }
  TPXBitmap* CurrentPicture() override { return FStagingPicture ? FStagingPicture : FMainBitmap; }
  void SetCurrentPicture(TPXBitmap* Bitmap) override { FMainBitmap = Bitmap; }
  int32_t PictureOriginX() override { return FOffsetX; }
  int32_t PictureOriginY() override { return FOffsetY; }
  int32_t ScrollOffsetX() override { return SnapViewX(FViewX); }
  int32_t ScrollOffsetY() override { return SnapViewY(FViewY); }
  bool IsMouseOperation() override { return IsLayerMouseEditActive(); }
  TPXDrawRect GetLayersRect() override;
  TIOParams* OutputParams() override;
  TResampleFilter LayerResampleFilter() override { return rfLanczos3; }

  // ===== Events ===============================================================================
#define PX_VIEW_EVENT(Type, Name)                                   \
  const Type& Name() const { return F##Name; }                      \
  void Set##Name(const Type& Value) { F##Name = Value; }
  PX_VIEW_EVENT(TViewChangeEvent, OnViewChange)
  PX_VIEW_EVENT(TViewChangingEvent, OnViewChanging)
  PX_VIEW_EVENT(TPXFinishSmoothTaskEvent, OnFinishSmoothTask)
  PX_VIEW_EVENT(TNotifyEvent, OnImageChange)
  PX_VIEW_EVENT(TPXImageChangeEvent, OnImageChangeEx)
  PX_VIEW_EVENT(TNotifyEvent, OnPaint)
  PX_VIEW_EVENT(TNotifyEvent, OnDrawBackBuffer)
  PX_VIEW_EVENT(TPXOnDrawBackground, OnDrawBackground)
  PX_VIEW_EVENT(TPXOnDrawCanvas, OnDrawCanvas)
  PX_VIEW_EVENT(TPXDrawLayerEvent, OnDrawLayer)
  PX_VIEW_EVENT(TPXDrawLayerEvent, OnBeforeDrawLayer)
  PX_VIEW_EVENT(TPXZoomEvent, OnZoomIn)
  PX_VIEW_EVENT(TPXZoomEvent, OnZoomOut)
  PX_VIEW_EVENT(TPXLayerNotify, OnLayerNotify)
  PX_VIEW_EVENT(TPXLayerNotify, OnLayerNotifyEx)
  PX_VIEW_EVENT(TPXNewLayerEvent, OnNewLayer)
  PX_VIEW_EVENT(TNotifyEvent, OnLayerSelectionChange)
  PX_VIEW_EVENT(TPXInteractionHintEvent, OnInteractionHint)
  PX_VIEW_EVENT(TPXSetCursorEvent, OnSetCursor)
#undef PX_VIEW_EVENT
  // Handlers handed to the attached components (copied into them when they exist).
  const TPXProgressEvent& GetOnProgress() const { return FOnProgress; }
  virtual void SetOnProgress(const TPXProgressEvent& Value);
  const TNotifyEvent& GetOnFinishWork() const { return FOnFinishWork; }
  virtual void SetOnFinishWork(const TNotifyEvent& Value);
  const TPXAcquireBitmapEvent& GetOnAcquireBitmap() const { return FOnAcquireBitmap; }
  virtual void SetOnAcquireBitmap(const TPXAcquireBitmapEvent& Value);
  const TPXPrintPageEvent& GetOnPrintPage() const { return FOnPrintPage; }
  virtual void SetOnPrintPage(const TPXPrintPageEvent& Value);
  const TPXSaveUndoEvent& GetOnSaveUndo() const { return FOnSaveUndo; }
  void SetOnSaveUndo(const TPXSaveUndoEvent& Value);
  const TPXOnUndoRedoEvent& GetOnUndoRedo() const { return FOnUndoRedo; }
  void SetOnUndoRedo(const TPXOnUndoRedoEvent& Value);
  // The transition events live in the transition object (made on write; nil before).
  TNotifyEvent GetOnTransitionStop() const;
  void SetOnTransitionStop(const TNotifyEvent& Value);
  TPXTransitionStepEvent GetOnTransitionStep() const;
  void SetOnTransitionStep(const TPXTransitionStepEvent& Value);
  TPXOnTransitionPaint GetOnTransitionPaint() const;
  void SetOnTransitionPaint(const TPXOnTransitionPaint& Value);

  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  void Paint() override;
  void IOMessage(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override;
  void WMSetFocus(TWMSetFocus& Message) override;
  void WMKillFocus(TWMKillFocus& Message) override;
  void WMHScroll(TWMScroll& Message) override;
  void WMVScroll(TWMScroll& Message) override;
  void WMMouseWheel(TWMMouseWheel& Message) override;
  void WMSize(TWMSize& Message) override;
  void WMTimer(TWMTimer& Message) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

 public:
  // ===== Scroll bar, wheel and size handling (pixoranview_messages.cpp) =======================
  bool HScrollCommand(uint8_t Command, int32_t Position);
  bool VScrollCommand(uint8_t Command, int32_t Position);
  void DoMouseWheel(int32_t Delta, int32_t X, int32_t Y, bool Horizontal);
  void SizeChanged();

  // ===== Internals the other parts use ========================================================
  virtual void ApplyZoom(double Value);
  virtual void SetZoomX(double Value);
  virtual void SetZoomY(double Value);
  virtual void UpdateZoomTables();
  virtual void UpdateSourceRect();
  virtual void UpdateImageRect();
  bool BackBufferDirty() const { return FBackBufferDirty; }
  bool InsideUpdate() const { return FInsideUpdate; }
  // The tables' active windows (the client-to-bitmap ones as the layer engine takes them).
  const TPXIntegerArray& ActiveColumnTable() const { return FActiveXC2B; }
  const TPXIntegerArray& ActiveRowTable() const { return FActiveYC2B; }
  // Stored-form readers.
  void ReadAutoFit(TReader& Reader);
  void ReadAndDropBoolean(TReader& Reader);

 private:
  friend class TPixoranViewTestAccess;

  // --- helpers ----------------------------------------------------------------------------
  void DecUpdateLock();
  void CreateOutlineTimer();
  void CreateScratchBitmap();
  void OutlineTimerTick(TObject* Sender);
  void SmoothScrollStep(TObject* Sender);
  void ComputeSourceRect(int32_t& SrcPos, int32_t& SrcSize, int32_t& DstSize, int32_t View, int32_t ZoomedExtent,
                         int32_t Extent, int32_t Visible, double Zoom, double Z);
  void BuildTables(int32_t ZoomedExtent, int32_t Dst, int32_t Extent, double Zoom, double Z, double IZ,
                   TPXIntegerArray& C2B, TPXIntegerArray& B2C);
  void UpdateActiveWindows();
  double LimitZoom(double Value, bool Width, bool Height);
  void SetZoomAxis(double Value, bool XAxis);
  void WriteZoom(double Value, int32_t Axis);
  void SetViewAxis(int32_t Value, bool XAxis);
  bool ScrollCommand(uint8_t Command, int32_t Position, bool XAxis);
  void SetScrollBar(int32_t Bar, int32_t Max, bool& Shown, double& Ratio, int32_t Viewport, int32_t Position);
  void DrawLayersBackground(TPXBitmap* Dest, const TRect* UpdateRect, bool AfterLayers, bool LayerHasAlpha,
                            TPXLayer* FirstLayer);
  bool ApplyMaskLayer(TPXLayer* Layer, TPXLayer* Mask);
  void RestoreLayerAlpha(TPXLayer* Layer);
  void DrawOuter(TPXBitmap* Dest, const TRect& LayerRect);
  void StoreLayerUndo(int32_t WordIndex, int32_t OperationCode);
  void ResetLayer0();
  void MoveLayerEntry(int32_t From, int32_t To, bool MoveBackgroundProps);
  std::unique_ptr<TPXLayer> CreateLayerOfKind(TPXLayerKind Kind, int32_t Width, int32_t Height);
  void CopyHandlersToIO();
  void CopyHandlersToProc();
  void PlayTimerFired();
  void LoadViewCursors();

  // --- update and paint control -----------------------------------------------------------
  int32_t FUpdateLockCount = 0;
  int32_t FPaintLockCount = 0;
  bool FInsideUpdate = false;
  bool FUpdateAgainGuard = false;
  bool FBackBufferDirty = true;
  bool FFullRepaint = true;

  // --- zoom and scrolling -----------------------------------------------------------------
  double FZoomX = 100, FZoomY = 100;
  double FZX = 1, FIZX = 1, FZY = 1, FIZY = 1;  // ZoomX/100, 100/ZoomX and likewise for y
  int32_t FViewX = 0, FViewY = 0;
  int32_t FOffsetX = 0, FOffsetY = 0;
  int32_t FVisibleWidth = 0, FVisibleHeight = 0;
  int32_t FZoomedExtentWidth = 0, FZoomedExtentHeight = 0;
  int32_t FSrcX = 0, FSrcY = 0, FSrcWidth = 0, FSrcHeight = 0;
  int32_t FDstWidth = 0, FDstHeight = 0;
  int32_t FExtentX = 0, FExtentY = 0, FExtentWidth = 1, FExtentHeight = 1;
  uint8_t FHAlign = 1, FVAlign = 1;
  bool FUserZoomed = false;
  double FHScrollRatio = 1, FVScrollRatio = 1;
  bool FHScrollShown = false, FVScrollShown = false;
  // Coordinate tables: zoomed position to bitmap column (row) and back, and their active windows.
  TPXIntegerArray FXC2B, FYC2B, FXB2C, FYB2C;
  int32_t FXC2BStart = 0, FYC2BStart = 0, FXB2CStart = 0, FYB2CStart = 0;
  int32_t FXB2CLength = 0, FYB2CLength = 0;
  TPXIntegerArray FActiveXC2B, FActiveYC2B;
  double FTableZoomX = -1, FTableZoomY = -1;
  int32_t FTableDstWidth = -1, FTableDstHeight = -1, FTableExtentWidth = -1, FTableExtentHeight = -1;
  int32_t FSmoothTargetX = 0, FSmoothTargetY = 0;
  std::unique_ptr<TTimer> FSmoothTimer;
  bool FAutoShrink = false, FAutoStretch = false;
  int32_t FLastDisplayWidth = -1, FLastDisplayHeight = -1;

  // --- drawing ----------------------------------------------------------------------------
  std::unique_ptr<TPXBitmap> FBackBuffer;
  void* FDrawDibHandle = nullptr;
  TResampleFilter FZoomFilter = rfNone;
  TResampleFilter FZoomFilterInUse = rfNone;
  int32_t FFilterDelayCount = 0;
  int32_t FFastDrawDelayCount = 0;
  int32_t FChessboardSize = 16;
  TBrushStyle FChessboardBrushStyle = bsSolid;
  bool FChessboardTwoColors = false;
  std::unique_ptr<TPXBitmap> FBlurredBackdrop;
  bool FBackdropStale = true;
  HWND FLastPaintHandle = nullptr;
  TRect FPendingUpdateRect{0, 0, 0, 0};
  std::string FHintText, FHintMeasureText;
  int32_t FHintX = 0, FHintY = 0;
  bool FHintCentred = false;
  TPXCursorShape FZoneCursorShapeInUse = pxcsDefault;
  TPoint FZoneCursorSizeInUse{50, 50};
  TRect FZoneCursorRect{0, 0, 0, 0};
  TPoint FLastMousePos{-1, -1};
  std::unique_ptr<TPen> FLayerBoxPen;

  // --- image and layers -------------------------------------------------------------------
  bool FHasImageLayer = true;
  TPXBitmap* FMainBitmap = nullptr;  // owned by its layer
  TBitmap* FLegacyTBitmap = nullptr;
  int32_t FLastBitmapWidth = 0, FLastBitmapHeight = 0;
  std::vector<std::unique_ptr<TPXLayer>> FLayers;
  int32_t FLayersCurrent = 0;
  bool FImageUserChanged = false;
  int32_t FNewLayerOffset = 0;
  std::unique_ptr<TStringList> FLayerDefaultProps;
  bool FSelectableEnforced = true;
  bool FModified = false;
  TPXLayerOptions FLayerOptions;
  uint8_t FTextLayerRotateMode = 0;
  TPXFastDrawing FLayersFastDrawing = pxfDelayed;

  // --- selection state --------------------------------------------------------------------
  std::unique_ptr<TPXVectorizedSelection> FSelPolygons;
  std::unique_ptr<TPXMask> FSelMask;
  std::vector<std::unique_ptr<TMemoryStream>> FSelStack;
  std::unique_ptr<TPXChromaKeyOptions> FChromaKeyOptions;
  bool FSelectionPresent = false;
  TColor FSelOutlineColor1 = 0;
  TColor FSelOutlineColor2 = 0xFFFFFF;
  double FSelectionRatio = -1;
  int32_t FSelSizeX = 100, FSelSizeY = 100;
  bool FShiftAddsSelection = true;
  bool FSelectionShown = true;
  int32_t FSelAddValue = 1;
  int32_t FSelMaskDepth = 1;
  uint8_t FWandMode = 0;
  int32_t FWandTolerance = 15;
  int32_t FWandFilterSize = 1;
  bool FWandGrow = false;
  TColor FSelGripPenColor = 0;
  TColor FSelGripBrushColor = 0xBAFFFF;
  TBrushStyle FSelGripBrushStyle = bsSolid;
  int32_t FSelGripSize = 5;
  uint8_t FSelGripShape = 1;
  bool FSelRectSideGrips = true;
  int32_t FSelGridColumns = 1, FSelGridRows = 1;
  int32_t FAntsTiming = -20;
  bool FDelayMaskOutline = true;
  TNotifyEvent FOnSelectionChanging, FOnSelectionChange, FOnBeforeSelectionChange;
  // Helpers of the selection operations.
  bool BoxGripsWanted();
  void DrawOutlineSegment(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void ClearSelectionShapes();
  void MergeAllLayers();
  bool FNoUpdateInvalidate = false;
  TTimer* FAntsTimer = nullptr;  // owned by the view as a component
  std::unique_ptr<TBitmap> FScratchBitmap;
  void* FScratchPixel = nullptr;

  // --- attached objects -------------------------------------------------------------------
  TPixoranIO* FIO = nullptr;      // owned by the view as a component
  // While a layers stream is read: the picture and I/O component the older record layout reads
  // its picture through (the staged layer's).
  TPXBitmap* FStagingPicture = nullptr;
  std::unique_ptr<TPixoranIO> FStagingIO;
  TPixoranProc* FProc = nullptr;  // owned by the view as a component
  std::unique_ptr<TPXTransitionEffects> FTransition;
  UINT_PTR FPlayTimerId = 0;

  // --- interaction ------------------------------------------------------------------------
  std::vector<std::unique_ptr<TPXUserInteraction>> FTools;
  std::unique_ptr<TPXScrollBarParams> FHScrollBarParams, FVScrollBarParams;
  std::unique_ptr<TPXMouseWheelParams> FMouseWheelParams;
  TPXSelectionBase FEventSelectionBase = pxsbClientArea;

  // --- cursors ----------------------------------------------------------------------------
  TCursor FCursor = PXDefaultViewCursor;
  TCursor FDefaultCursor = PXDefaultViewCursor;
  TCursor FSavedScreenCursor = -1;
  bool FFirstPaintCursor = true;
  bool FAutoCursors = false;
  TPXCursorShape FZoneCursor = pxcsDefault;
  TPoint FZoneCursorSize{50, 50};

  // --- published values -------------------------------------------------------------------
  TScrollStyle FScrollBars = ssBoth;
  TPXSelectionOptions FSelectionOptions;
  TPXDisplayOptions FDisplayOptions;
  TPXMouseInteract FMouseInteractGeneral;
  TPXMouseInteractLayers FMouseInteractLayers;
  TPXSelectionBase FSelectionBase = pxsbClientArea;
  TPXBackgroundStyle FBackgroundStyle = pxbsSolid;
  TColor FGradientEndColor = clBtnShadow;
  bool FDelayZoomFilter = false;
  bool FEnableAlphaChannel = true;
  bool FDrawVersion = false;
  std::unique_ptr<TPicture> FWallpaper;
  TPXWallpaperStyle FWallpaperStyle = pxwoNormal;
  bool FEnableInteractionHints = true;
  bool FPlaying = false;
  bool FPlayLoop = true;
  double FPlaySpeed = 1.0;
  TPXGridKind FDisplayGridKind = pxdgNone;
  TRulerDirs FShowRulers;
  TPXVButtons FShowButtons;

  // --- events -----------------------------------------------------------------------------
  TViewChangeEvent FOnViewChange;
  TViewChangingEvent FOnViewChanging;
  TPXFinishSmoothTaskEvent FOnFinishSmoothTask;
  TNotifyEvent FOnImageChange;
  TPXImageChangeEvent FOnImageChangeEx;
  TNotifyEvent FOnPaint;
  TNotifyEvent FOnDrawBackBuffer;
  TPXOnDrawBackground FOnDrawBackground;
  TPXOnDrawCanvas FOnDrawCanvas;
  TPXDrawLayerEvent FOnDrawLayer;
  TPXDrawLayerEvent FOnBeforeDrawLayer;
  TPXZoomEvent FOnZoomIn;
  TPXZoomEvent FOnZoomOut;
  TPXLayerNotify FOnLayerNotify;
  TPXLayerNotify FOnLayerNotifyEx;
  TPXNewLayerEvent FOnNewLayer;
  TNotifyEvent FOnLayerSelectionChange;
  TPXInteractionHintEvent FOnInteractionHint;
  TPXSetCursorEvent FOnSetCursor;
  TPXUserInteractionNotify FOnUserInteraction;
  TPXProgressEvent FOnProgress;
  TNotifyEvent FOnFinishWork;
  TPXAcquireBitmapEvent FOnAcquireBitmap;
  TPXPrintPageEvent FOnPrintPage;
  TPXSaveUndoEvent FOnSaveUndo;
  TPXOnUndoRedoEvent FOnUndoRedo;
};

// The library's start-up slots of the view unit: the grid pen (pmNot, solid, width 1) is set
// up at start-up and freed at tear-down. RegisterViewUnit fills both slots and the layers-stream
// header reader and temporary-view factory of the I/O component.
void InitViewStatics();
void FreeViewStatics();
void RegisterViewUnit();

// The layers stream's header: 25 bytes (magic, version, compression, record count), then with
// version 7000 and above the extent and description, the background byte (8002 and above) and,
// when ReadThumbnail, the thumbnail presence byte and the thumbnail (loaded into Thumbnail when
// given, else skipped). False when the magic does not match or the version is not above 0, or
// when a size in it does not fit the stream.
bool ReadLayersStreamHeader(TStream* Stream, uint8_t (&Header)[25], int32_t& Width, int32_t& Height,
                            std::u16string* Description, bool& BackgroundIncluded, TPXBitmap* Thumbnail,
                            bool ReadThumbnail);
inline constexpr char PXLayersMagic[] = "DOZUROVAZERAR";
inline constexpr int32_t PXLayersStreamVersion = 8006;
