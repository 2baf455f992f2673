// TPixoranView: construction and destruction, the published properties, the image lifecycle,
// the locks, the cursors, the stored-form readers and the unit's start-up.
#include "view/pixoranview.h"

#include <algorithm>
#include <cstring>

#include "core/hypxutils.h"
#include "core/hypxutils_draw.h"
#include "core/hypxutils_startup.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxxBitmaps_params.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/Forms.h"

namespace {

PTypeInfo TypeInfo_TPXBackgroundStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TPXBackgroundStyle", {"pxbsSolid", "pxbsHorizontal", "pxbsVertical", "pxbsFDiagonal", "pxbsBDiagonal",
                             "pxbsCross", "pxbsDiagCross", "pxbsChessboard", "pxbsDiagonals", "pxbsCropped",
                             "pxbsCropShadow", "pxbsGradient", "pxbsSoftShadow", "pxbsPhotoLike", "pxbsBlurredImage"});
  return &info;
}
PTypeInfo TypeInfo_TPXWallpaperStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TPXWallpaperStyle", {"pxwoNormal", "pxwoStretch", "pxwoTile"});
  return &info;
}
PTypeInfo TypeInfo_TPXFastDrawing() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TPXFastDrawing", {"pxfFast", "pxfDelayed", "pxfNormal"});
  return &info;
}
PTypeInfo TypeInfo_TPXCursorShape() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TPXCursorShape", {"pxcsDefault", "pxcsCircle", "pxcsRectangle", "pxcsRoundRect"});
  return &info;
}
PTypeInfo TypeInfo_TPXGridKind() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TPXGridKind", {"pxdgNone", "pxdgPixelGrid", "pxdgGuideLines", "pxdgRulerGuides"});
  return &info;
}
PTypeInfo TypeInfo_TPXSelectionBase() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TPXSelectionBase", {"pxsbClientArea", "pxsbBitmap"});
  return &info;
}
PTypeInfo TypeInfo_TResampleFilterView() {
  static const TTypeInfo info = TTypeInfo::Ordinal(tkInteger, "TResampleFilter", 0, 255);
  return &info;
}
PTypeInfo TypeInfo_TPXSelectionOption() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TPXSelectionOption",
      {"pxsoAnimated", "pxsoSizeable", "pxsoMoveable", "pxsoFilled", "pxsoCutBorders", "pxsoMarkOuter",
       "pxsoCanScroll", "pxsoSelectTranspLayers", "pxsoRightButtonSelectLayers",
       "pxsoRightButtonTerminatePolySelect", "pxsoDisableOneClickDeselect", "pxsoDisableNewSelection",
       "pxsoShowCenter", "pxsoAutoTerminatePolySelect", "pxsoAllowMoveByKeyboard", "pxsoCircleSizeable",
       "pxsoPolygonSizeable"});
  return &info;
}
PTypeInfo TypeInfo_TPXSelectionOptions() {
  static const TTypeInfo info = TTypeInfo::Set("TPXSelectionOptions", TypeInfo_TPXSelectionOption());
  return &info;
}
PTypeInfo TypeInfo_TPXLayerOption() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TPXLayerOption",
      {"loAllowMultiSelect", "loAutoSelectMask", "loAutoUndoChangesByUser", "loAutoUndoChangesByCode",
       "loAutoPromptForImage", "loAutoFixBorders", "loAutoFixRotation", "loDynamicCanvas", "loKeyboardShortcuts",
       "loDisableTextEditOnDblClick", "loPreventOutOfBounds", "loPropsOnDblClick", "loResizeOnRotate",
       "loDragSelection", "loProtectBackground", "loSwapBackgroundProps", "loAutoTextEditing", "loStampMode",
       "loShowRichTextToolbar", "loAllowReturnsInRichText"});
  return &info;
}
PTypeInfo TypeInfo_TPXLayerOptions() {
  static const TTypeInfo info = TTypeInfo::Set("TPXLayerOptions", TypeInfo_TPXLayerOption());
  return &info;
}
PTypeInfo TypeInfo_TPXDisplayOption() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TPXDisplayOption", {"pxdoDisableAutoFitWhenZoom", "pxdoMaintainAROnZoomSelect", "pxdoPaintWhenOffScreen"});
  return &info;
}
PTypeInfo TypeInfo_TPXDisplayOptions() {
  static const TTypeInfo info = TTypeInfo::Set("TPXDisplayOptions", TypeInfo_TPXDisplayOption());
  return &info;
}

// The 37 cursor resources, from 1778 on.
constexpr const char* kCursorResources[PXViewCursorCount] = {
    "ZOOMMENO", "ZOOMPIU", "CROCE", "GOMMA", "MANO", "PENNA", "CROCE1", "CROCE3", "MOVE2", "MOVEY",
    "MOVE1", "MOVEX", "MOVE", "CROCE3+", "CROCE3-", "CROCE2", "CROCE2+", "CROCE2-", "CROCE2-", "1795",
    "1796", "1797", "1798", "1799", "1800", "1801", "1802", "1803", "1803", "1805",
    "1806", "1807", "1808", "ROT1", "ROT2", "ROT3", "ROT4"};

}  // namespace

PX_CLASS_INFO(TPixoranView, TPXView, [](TPropertyBuilder<TPixoranView>& b) {
  b.Int("Background", &TPixoranView::Background, &TPixoranView::SetBackground, TypeInfo_TColor()).Default(clBtnFace);
  b.Bool("LegacyBitmap", &TPixoranView::LegacyBitmap, &TPixoranView::SetLegacyBitmap).Default(false);
  b.Enum("ZoomFilter", TypeInfo_TResampleFilterView(), &TPixoranView::ZoomFilter, &TPixoranView::SetZoomFilter)
      .Default(rfNone);
  b.Enum("ScrollBars", TypeInfo_TScrollStyle(), &TPixoranView::ScrollBars, &TPixoranView::SetScrollBars)
      .Default(ssBoth);
  b.Set("SelectionOptions", TypeInfo_TPXSelectionOptions(), &TPixoranView::SelectionOptions,
        &TPixoranView::SetSelectionOptions)
      .Default(uint64_t{49223});
  b.Set("LayerOptions", TypeInfo_TPXLayerOptions(), &TPixoranView::LayerOptions, &TPixoranView::SetLayerOptions)
      .Default(uint64_t{831797});
  b.Set("DisplayOptions", TypeInfo_TPXDisplayOptions(), &TPixoranView::DisplayOptions,
        &TPixoranView::SetDisplayOptions)
      .Default(TPXDisplayOptions{pxdoMaintainAROnZoomSelect}.Bits());
  b.Bool("Center", &TPixoranView::Center, &TPixoranView::SetCenter).Default(true);
  b.Enum("SelectionBase", TypeInfo_TPXSelectionBase(), &TPixoranView::SelectionBase, &TPixoranView::SetSelectionBase)
      .Default(pxsbClientArea);
  b.Enum("BackgroundStyle", TypeInfo_TPXBackgroundStyle(), &TPixoranView::BackgroundStyle,
         &TPixoranView::SetBackgroundStyle)
      .Default(pxbsSolid);
  b.Int("GradientEndColor", &TPixoranView::GradientEndColor, &TPixoranView::SetGradientEndColor, TypeInfo_TColor())
      .Default(clBtnShadow);
  b.Bool("DelayZoomFilter", &TPixoranView::DelayZoomFilter, &TPixoranView::SetDelayZoomFilter).Default(false);
  b.Bool("EnableAlphaChannel", &TPixoranView::EnableAlphaChannel, &TPixoranView::SetEnableAlphaChannel).Default(true);
  b.Bool("AutoStretch", &TPixoranView::AutoStretch, &TPixoranView::SetAutoStretch).Default(false);
  b.Bool("AutoShrink", &TPixoranView::AutoShrink, &TPixoranView::SetAutoShrink).Default(false);
  b.Bool("DrawVersion", &TPixoranView::DrawVersion, &TPixoranView::SetDrawVersion).Default(false);
  b.Enum("LayersFastDrawing", TypeInfo_TPXFastDrawing(), &TPixoranView::LayersFastDrawing,
         &TPixoranView::SetLayersFastDrawing)
      .Default(pxfDelayed);
  b.Str("PixoranVersion", &TPixoranView::PixoranVersion, &TPixoranView::SetPixoranVersion).Stored(false);
  b.Enum("WallpaperStyle", TypeInfo_TPXWallpaperStyle(), &TPixoranView::WallpaperStyle,
         &TPixoranView::SetWallpaperStyle)
      .Default(pxwoNormal);
  b.Bool("EnableInteractionHints", &TPixoranView::EnableInteractionHints, &TPixoranView::SetEnableInteractionHints)
      .Default(true);
  b.Bool("Playing", &TPixoranView::Playing, &TPixoranView::SetPlaying).Default(false);
  b.Bool("PlayLoop", &TPixoranView::PlayLoop, &TPixoranView::SetPlayLoop).Default(true);
  b.Float("PlaySpeed", &TPixoranView::PlaySpeed, &TPixoranView::SetPlaySpeed);
  b.Int("Cursor", &TPixoranView::Cursor, &TPixoranView::SetCursor, TypeInfo_TCursor()).Default(PXDefaultViewCursor);
  b.Enum("DisplayGridKind", TypeInfo_TPXGridKind(), &TPixoranView::DisplayGridKind, &TPixoranView::SetDisplayGridKind)
      .Default(pxdgNone);
  b.Bool("AutoCursors", &TPixoranView::AutoCursors, &TPixoranView::SetAutoCursors);
  b.Enum("ZoneCursor", TypeInfo_TPXCursorShape(), &TPixoranView::ZoneCursor, &TPixoranView::SetZoneCursor)
      .Default(pxcsDefault);
  b.Int("ZoneCursorSize", &TPixoranView::ZoneCursorSize, &TPixoranView::SetZoneCursorSize).Default(50);
  b.Object<TPXMouseWheelParams>("MouseWheelParams", &TPixoranView::MouseWheelParams, &TPixoranView::SetMouseWheelParams);
  b.Event("OnViewChange", &TPixoranView::OnViewChange, &TPixoranView::SetOnViewChange);
  b.Event("OnViewChanging", &TPixoranView::OnViewChanging, &TPixoranView::SetOnViewChanging);
  b.Event("OnFinishSmoothTask", &TPixoranView::OnFinishSmoothTask, &TPixoranView::SetOnFinishSmoothTask);
  b.Event("OnImageChange", &TPixoranView::OnImageChange, &TPixoranView::SetOnImageChange);
  b.Event("OnImageChangeEx", &TPixoranView::OnImageChangeEx, &TPixoranView::SetOnImageChangeEx);
  b.Event("OnPaint", &TPixoranView::OnPaint, &TPixoranView::SetOnPaint);
  b.Event("OnDrawBackBuffer", &TPixoranView::OnDrawBackBuffer, &TPixoranView::SetOnDrawBackBuffer);
  b.Event("OnDrawBackground", &TPixoranView::OnDrawBackground, &TPixoranView::SetOnDrawBackground);
  b.Event("OnDrawCanvas", &TPixoranView::OnDrawCanvas, &TPixoranView::SetOnDrawCanvas);
  b.Event("OnDrawLayer", &TPixoranView::OnDrawLayer, &TPixoranView::SetOnDrawLayer);
  b.Event("OnBeforeDrawLayer", &TPixoranView::OnBeforeDrawLayer, &TPixoranView::SetOnBeforeDrawLayer);
  b.Event("OnZoomIn", &TPixoranView::OnZoomIn, &TPixoranView::SetOnZoomIn);
  b.Event("OnZoomOut", &TPixoranView::OnZoomOut, &TPixoranView::SetOnZoomOut);
  b.Event("OnProgress", &TPixoranView::GetOnProgress, &TPixoranView::SetOnProgress);
  b.Event("OnFinishWork", &TPixoranView::GetOnFinishWork, &TPixoranView::SetOnFinishWork);
  b.Event("OnAcquireBitmap", &TPixoranView::GetOnAcquireBitmap, &TPixoranView::SetOnAcquireBitmap);
  b.Event("OnPrintPage", &TPixoranView::GetOnPrintPage, &TPixoranView::SetOnPrintPage);
  b.Event("OnSaveUndo", &TPixoranView::GetOnSaveUndo, &TPixoranView::SetOnSaveUndo);
  b.Event("OnUndoRedo", &TPixoranView::GetOnUndoRedo, &TPixoranView::SetOnUndoRedo);
  b.Event("OnLayerNotify", &TPixoranView::OnLayerNotify, &TPixoranView::SetOnLayerNotify);
  b.Event("OnLayerNotifyEx", &TPixoranView::OnLayerNotifyEx, &TPixoranView::SetOnLayerNotifyEx);
  b.Event("OnNewLayer", &TPixoranView::OnNewLayer, &TPixoranView::SetOnNewLayer);
  b.Event("OnLayerSelectionChange", &TPixoranView::OnLayerSelectionChange, &TPixoranView::SetOnLayerSelectionChange);
  b.Event("OnInteractionHint", &TPixoranView::OnInteractionHint, &TPixoranView::SetOnInteractionHint);
  b.Event("OnSetCursor", &TPixoranView::OnSetCursor, &TPixoranView::SetOnSetCursor);
  b.Event("OnUserInteraction", &TPixoranView::OnUserInteraction, &TPixoranView::SetOnUserInteraction);
  b.Event("OnMouseWheel", &TPixoranView::OnMouseWheel, &TPixoranView::SetOnMouseWheel);
  b.Event("OnMouseWheelDown", &TPixoranView::OnMouseWheelDown, &TPixoranView::SetOnMouseWheelDown);
  b.Event("OnMouseWheelUp", &TPixoranView::OnMouseWheelUp, &TPixoranView::SetOnMouseWheelUp);
  b.DefineProperty("AutoFit", &TPixoranView::ReadAutoFit);
})

const char* ViewCursorResourceName(int32_t I) {
  return I >= 0 && I < PXViewCursorCount ? kCursorResources[I] : "";
}

// ---------------------------------------------------------------------------------------------
// Construction and destruction

TPixoranView::TPixoranView(TComponent* AOwner) : TPXView(AOwner) {
  // Nothing the construction does may run an Update.
  LockUpdate();
  FDisplayOptions = TPXDisplayOptions{pxdoMaintainAROnZoomSelect};

  auto bitmap = std::make_unique<TPXBitmap>();
  bitmap->FOwnerView = this;
  bitmap->SetLocation(pxFile);
  bitmap->Allocate(1, 1, px24RGB);
  FMainBitmap = bitmap.get();
  FExtentX = FExtentY = 0;
  FExtentWidth = FExtentHeight = 1;
  auto layer0 = std::make_unique<TPXImageLayer>(this, std::move(bitmap));
  layer0->SetUpdating(true);
  layer0->SetVisibleBox(false);
  layer0->SetLocked(true);
  layer0->SetUpdating(false);
  FLayers.push_back(std::move(layer0));
  FLayersCurrent = 0;

  FSelectionOptions = TPXSelectionOptions::FromBits(49223);
  FLayerOptions = TPXLayerOptions::FromBits(831797);
  FAutoCursors = AOwner != nullptr;
  FZoneCursorSize = TPoint(50, 50);
  FZoneCursorSizeInUse = FZoneCursorSize;
  FDrawDibHandle = VfwDrawDibOpen();
  if (AOwner) LoadViewCursors();

  FCursor = FDefaultCursor = PXDefaultViewCursor;
  TControl::SetCursor(PXDefaultViewCursor);
  SetScrollBars(ssBoth);
  SetHeight(105);
  SetWidth(105);

  const bool designing = ComponentState().Contains(csDesigning);
  if (designing) {
    FSelPolygons = std::make_unique<TPXVectorizedSelection>(nullptr, nullptr, nullptr);
    FSelPolygons->Animated = false;
    FSelPolygons->Sizeable = false;
  } else {
    if (AOwner || HasParentWindow()) {
      CreateScratchBitmap();
      CreateOutlineTimer();
      FAntsTimer->SetEnabled(true);
    }
    FSelPolygons = std::make_unique<TPXVectorizedSelection>(Canvas(), FScratchBitmap.get(), FScratchPixel);
    FBackBuffer = TPXBitmap::CreateAllocated(10, 10, px24RGB);
    FBackBuffer->SetLocation(pxTBitmap);
    FSelPolygons->Visible = false;
  }

  FChromaKeyOptions = std::make_unique<TPXChromaKeyOptions>();
  FVScrollBarParams = std::make_unique<TPXScrollBarParams>();
  FHScrollBarParams = std::make_unique<TPXScrollBarParams>();
  FMouseWheelParams = std::make_unique<TPXMouseWheelParams>(pxmwZoom);
  FSelMask = std::make_unique<TPXMask>();
  FSelMask->AllocateBits(FMainBitmap->Width(), FMainBitmap->Height(), 1);
  SetSelOutlineColor1(0);
  SetSelOutlineColor2(0xFFFFFF);

  FTableZoomX = FTableZoomY = -1;
  FTableDstWidth = FTableDstHeight = FTableExtentWidth = FTableExtentHeight = -1;
  FGradientEndColor = clBtnShadow;
  UnlockUpdate();

  FWallpaper = std::make_unique<TPicture>();
  FLayerBoxPen = std::make_unique<TPen>();
  FLayerBoxPen->SetStyle(psDot);
  FLayerBoxPen->SetMode(pmNot);
  FLayerBoxPen->SetWidth(1);
  FMainBitmap->SetModified(false);
}

TPixoranView::~TPixoranView() {
  FreeLayerScratchBitmap();
  FTools.clear();
  FSmoothTimer.reset();
  FTransition.reset();
  // The attached components go before the layers: they hold the view's picture.
  // An owned component may have forgotten the view already (its owner's removal notice reaches
  // it): its registration goes here.
  RemoveBitmapChangeEventsOf(FIO);
  RemoveBitmapChangeEventsOf(FProc);
  if (FIO) {
    TPixoranIO* io = FIO;
    FIO = nullptr;
    RemoveComponent(io);
    std::unique_ptr<TPixoranIO>(io).reset();
  }
  if (FProc) {
    TPixoranProc* proc = FProc;
    FProc = nullptr;
    RemoveComponent(proc);
    std::unique_ptr<TPixoranProc>(proc).reset();
  }
  FBackBuffer.reset();
  if (FAntsTimer) {
    TTimer* timer = FAntsTimer;
    FAntsTimer = nullptr;
    RemoveComponent(timer);
    std::unique_ptr<TTimer>(timer).reset();
  }
  FSelPolygons.reset();
  VfwDrawDibClose(FDrawDibHandle);
  FVScrollBarParams.reset();
  FHScrollBarParams.reset();
  FMouseWheelParams.reset();
  FSelMask.reset();
  FLayers.clear();
  FMainBitmap = nullptr;
  FLegacyTBitmap = nullptr;
  FHasImageLayer = false;
  FSelStack.clear();
  FXC2B.clear(), FYC2B.clear(), FXB2C.clear(), FYB2C.clear();
  FLayerBoxPen.reset();
  FWallpaper.reset();
  FScratchBitmap.reset();
  FChromaKeyOptions.reset();
  FBlurredBackdrop.reset();
  FLayerDefaultProps.reset();
  // TPXView's destructor tells every attached component (code 1).
}

void TPixoranView::CreateOutlineTimer() {
  if (FAntsTimer) return;
  auto timer = std::make_unique<TTimer>(this);  // owned by the view as a component
  timer->SetEnabled(false);
  timer->SetInterval(210);
  timer->SetOnTimer(TNotifyEvent(this, &TPixoranView::OutlineTimerTick));
  FAntsTimer = timer.release();
}

void TPixoranView::CreateScratchBitmap() {
  if (FScratchBitmap) return;
  FScratchBitmap = std::make_unique<TBitmap>();
  FScratchBitmap->SetPixelFormat(pf24bit);
  FScratchBitmap->SetSize(1, 1);
  FScratchPixel = FScratchBitmap->ScanLine(0);
}

void TPixoranView::LoadViewCursors() {
  TScreen* screen = Screen();
  if (!screen) return;
  for (int32_t i = 0; i < PXViewCursorCount; ++i)
    if (HCURSOR cursor = LoadCursor(0, kCursorResources[i])) screen->SetCursors(PXFirstViewCursor + i, cursor);
}

// ---------------------------------------------------------------------------------------------
// Image lifecycle

void TPixoranView::Clear() {
  if (FHasImageLayer && FMainBitmap) FMainBitmap->Fill(static_cast<double>(ColorToRGB(Background())));
  RemoveAlphaChannel(false);
  Update();
  ImageChange(2);
  // A cleared picture is blank again: nothing of the user's is left on it.
  if (FHasImageLayer) FImageUserChanged = false;
}

void TPixoranView::Blank() {
  StopPlayTimer();
  if (FTransition) FTransition->Stop();
  if (FHasImageLayer && FMainBitmap) {
    FMainBitmap->SetWidth(1);
    FMainBitmap->SetHeight(1);
  }
  Clear();
  FImageUserChanged = false;
}

bool TPixoranView::IsEmpty() {
  return !FHasImageLayer || !FMainBitmap || (FMainBitmap->Width() < 2 && FMainBitmap->Height() < 2);
}

bool TPixoranView::IsBlankImage() {
  if (!FHasImageLayer || !FMainBitmap) return true;
  if (FImageUserChanged && FLayersCurrent == 0) return false;
  if (FMainBitmap->Width() <= 1 || FMainBitmap->Height() <= 1) return true;
  if (FMainBitmap->Width() != Width() || FMainBitmap->Height() != Height()) return false;
  const TRGB p = FMainBitmap->GetPixelRGB(0, 0), bg = TColorToRGB(Background());
  return p.r == bg.r && p.g == bg.g && p.b == bg.b;
}

void TPixoranView::AssignFrom(TObject* Source) {
  if (!Source) {
    Clear();
    return;
  }
  if (auto* view = dynamic_cast<TPixoranView*>(Source)) {
    if (view == this) return;
    LockUpdate();
    try {
      TPXView::SetBackground(view->Background());
      GetIO()->Params()->Assign(view->GetIO()->Params());
      LayersClear(true);
      for (int32_t i = 0; i < view->GetLayersCount(); ++i) {
        TPXLayer* source = view->GetLayers(i);
        TPXLayer* dest = i == 0 ? GetLayers(0)
                                : GetLayers(LayersAppend(source->Kind(), 0, 0, 0, 0, nullptr, false, false, false, true));
        dest->Assign(source);
      }
    } catch (...) {
      DecUpdateLock();
      throw;
    }
    SetLayersCurrentEx(0, false, false, false);
    UnlockUpdate();
    ImageChange(2);
    return;
  }
  TBitmap* platformBitmap = dynamic_cast<TBitmap*>(Source);
  if (auto* image = dynamic_cast<TImage*>(Source)) platformBitmap = image->Picture()->Bitmap();
  const bool known = platformBitmap || dynamic_cast<TPXBitmap*>(Source) || dynamic_cast<TGraphic*>(Source);
  if (!known) throw EPXException("Unknown source type");
  if (!FHasImageLayer) SetLayersCurrent(0);
  if (platformBitmap) {
    FMainBitmap->CopyFromTBitmap(platformBitmap);
    if (FMainBitmap->PixelFormat() != px1g && FMainBitmap->PixelFormat() != px24RGB)
      FMainBitmap->SetPixelFormat(px24RGB);
  } else {
    FMainBitmap->Assign(Source);
  }
  Update();
  ImageChange(2);
}

// ---------------------------------------------------------------------------------------------
// Locks

void TPixoranView::DecUpdateLock() {
  if (FUpdateLockCount > 0) --FUpdateLockCount;
}

void TPixoranView::UnlockUpdate() {
  DecUpdateLock();
  if (FUpdateLockCount == 0) Update();
}

int32_t TPixoranView::UnlockPaint() {
  if (FPaintLockCount > 0) --FPaintLockCount;
  if (FPaintLockCount == 0) Update();
  return FPaintLockCount;
}

int32_t TPixoranView::UnlockPaintNoUpdate() {
  if (FPaintLockCount > 0) --FPaintLockCount;
  return FPaintLockCount;
}

// ---------------------------------------------------------------------------------------------
// Published properties

void TPixoranView::SetBackground(TColor Value) {
  if (Value == Background()) return;
  TPXView::SetBackground(Value);
  const bool designing = ComponentState().Contains(csDesigning);
  if (designing) Clear();
  FUpdateReason = pxurDisplay;
  Update();
  FUpdateReason = pxurDisplay;
  if (designing) Paint();
}

void TPixoranView::SetLegacyBitmap(bool Value) {
  if (Value == LegacyBitmap()) return;
  SetLayersCurrent(0);
  if (!FMainBitmap) return;
  if (!Value) {
    FMainBitmap->SetLocation(pxFile);
    FLegacyTBitmap = nullptr;
  } else {
    FMainBitmap->SetLocation(pxTBitmap);
    FLegacyTBitmap = FMainBitmap->GetVclBitmap();
  }
  CallBitmapChangeEvents(pxbcBitmapReplaced);
  Update();
}

void TPixoranView::SetZoomFilter(TResampleFilter Value) {
  if (Value == FZoomFilter) return;
  FZoomFilter = Value;
  FZoomFilterInUse = Value;
  Update();
}

void TPixoranView::SetSelectionOptions(TPXSelectionOptions Value) {
  FSelectionOptions = Value;
  if (FSelPolygons) {
    FSelPolygons->Animated = Value.Contains(pxsoAnimated);
    FSelPolygons->Sizeable = Value.Contains(pxsoSizeable);
    FSelPolygons->ShowCenter = Value.Contains(pxsoShowCenter);
  }
  FUpdateReason = pxurSelection;
  Update();
}

void TPixoranView::SetBackgroundStyle(TPXBackgroundStyle Value) {
  FBackgroundStyle = Value;
  Invalidate();
  FUpdateReason = pxurDisplay;
  Update();
}

void TPixoranView::SetGradientEndColor(TColor Value) {
  FGradientEndColor = Value;
  FUpdateReason = pxurDisplay;
  Update();
}

void TPixoranView::SetDrawVersion(bool Value) {
  FDrawVersion = Value;
  Repaint();
}

void TPixoranView::SetWallpaper(TPicture* Value) {
  FWallpaper->Assign(Value);
  FUpdateReason = pxurDisplay;
  Update();
}

void TPixoranView::SetWallpaperStyle(TPXWallpaperStyle Value) {
  if (Value == FWallpaperStyle) return;
  FWallpaperStyle = Value;
  FUpdateReason = pxurDisplay;
  Update();
}

void TPixoranView::SetDisplayGridKind(TPXGridKind Value) {
  FDisplayGridKind = Value;
  FUpdateReason = pxurDisplay;
  Update();
}

void TPixoranView::SetMouseWheelParams(TPXMouseWheelParams* Value) { FMouseWheelParams->Assign(Value); }

void TPixoranView::SetShowRulers(TRulerDirs Value) {
  // The rulers come with the view's strips; until then the setting is kept.
  if (Value == FShowRulers) return;
  FShowRulers = Value;
  FUpdateReason = pxurDisplay;
  Update();
}

void TPixoranView::SetShowButtons(TPXVButtons Value) {
  // The on-view buttons come with their tool; until then the setting is kept.
  if (Value == FShowButtons) return;
  FShowButtons = Value;
  SetInteractionHint("", 0, 0, "", false);
  Update();
}

void TPixoranView::SetSelOutlineColor1(TColor Value) {
  FSelOutlineColor1 = Value;
  if (FSelPolygons) FSelPolygons->OutlineColor1 = Value;
}

void TPixoranView::SetSelOutlineColor2(TColor Value) {
  FSelOutlineColor2 = Value;
  if (FSelPolygons) FSelPolygons->OutlineColor2 = Value;
}

void TPixoranView::Notification(TComponent* AComponent, TOperation Operation) {
  TPXView::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FIO) FIO = nullptr;
  if (AComponent == FProc) FProc = nullptr;
  if (AComponent == FAntsTimer) FAntsTimer = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Stored forms of older versions

void TPixoranView::ReadAutoFit(TReader& Reader) {
  try {
    if (Reader.ReadBoolean()) SetAutoFit(true);
  } catch (const Exception&) {
    // An unreadable value is dropped.
  }
}

void TPixoranView::ReadAndDropBoolean(TReader& Reader) {
  try {
    Reader.ReadBoolean();
  } catch (const Exception&) {
  }
}

// ---------------------------------------------------------------------------------------------
// The unit's start-up

void InitViewStatics() {
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  if (!settings->FGridPen) settings->FGridPen = std::make_unique<TPen>();
  settings->FGridPen->SetMode(pmNot);
  settings->FGridPen->SetStyle(psSolid);
  settings->FGridPen->SetWidth(1);
}

void FreeViewStatics() {
  if (TPXPixoranGlobalSettings* settings = GlobalSettingsInstance()) settings->FGridPen.reset();
}

void RegisterViewUnit() {
  RegisterLibrarySlot(lsInitViewStatics, &InitViewStatics);
  RegisterLibrarySlot(lsFreeViewStatics, &FreeViewStatics);
  SetReadLayersStreamHeader([](TStream* Stream, TPXBitmap* Thumbnail, TPXLayersStreamHeader& Header) {
    uint8_t head[25] = {};
    int32_t width = 0, height = 0;
    std::u16string description;
    bool background = true;
    if (!ReadLayersStreamHeader(Stream, head, width, height, &description, background, Thumbnail, Thumbnail != nullptr))
      return false;
    std::memcpy(&Header.Version, head + 13, 4);
    std::memcpy(&Header.HeaderValueA, head + 17, 4);
    std::memcpy(&Header.HeaderValueB, head + 21, 4);
    Header.LayerCount = Header.HeaderValueB;
    Header.Description = Utf16ToUtf8(description);
    Header.Width = width;
    Header.Height = height;
    return true;
  });
}
