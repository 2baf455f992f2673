// Class descriptions and published properties of the window layer's classes, and their
// registration with the form loader (with the names of colours and cursors).
#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"

// ---------------------------------------------------------------------------------------------
// Types

PTypeInfo TypeInfo_TAlign() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient", "alCustom"});
  return &info;
}

PTypeInfo TypeInfo_TAnchorKind() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TAnchorKind", {"akLeft", "akTop", "akRight", "akBottom"});
  return &info;
}

PTypeInfo TypeInfo_TAnchors() {
  static const TTypeInfo info = TTypeInfo::Set("TAnchors", TypeInfo_TAnchorKind());
  return &info;
}

PTypeInfo TypeInfo_TCursor() {
  static const TTypeInfo info = TTypeInfo::Ordinal(tkInteger, "TCursor", -32768, 32767);
  return &info;
}

PTypeInfo TypeInfo_TBorderStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TBorderStyle", {"bsNone", "bsSingle"});
  return &info;
}

PTypeInfo TypeInfo_TFormBorderStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TFormBorderStyle", {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"});
  return &info;
}

PTypeInfo TypeInfo_TScrollStyle() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TScrollStyle", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"});
  return &info;
}

PTypeInfo TypeInfo_TAlignment() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TAlignment", {"taLeftJustify", "taRightJustify", "taCenter"});
  return &info;
}

PTypeInfo TypeInfo_TBevelCut() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TBevelCut", {"bvNone", "bvLowered", "bvRaised", "bvSpace"});
  return &info;
}

PTypeInfo TypeInfo_TModalResult() {
  static const TTypeInfo info = TTypeInfo::Ordinal(tkInteger, "TModalResult", INT32_MIN, INT32_MAX);
  return &info;
}

PTypeInfo TypeInfo_TDragMode() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TDragMode", {"dmManual", "dmAutomatic"});
  return &info;
}

PTypeInfo TypeInfo_TDragKind() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TDragKind", {"dkDrag", "dkDock"});
  return &info;
}

PTypeInfo TypeInfo_TBorderIcon() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TBorderIcon", {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"});
  return &info;
}

PTypeInfo TypeInfo_TBorderIcons() {
  static const TTypeInfo info = TTypeInfo::Set("TBorderIcons", TypeInfo_TBorderIcon());
  return &info;
}

PTypeInfo TypeInfo_TPosition() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TPosition", {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter",
                    "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"});
  return &info;
}

PTypeInfo TypeInfo_TWindowState() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TWindowState", {"wsNormal", "wsMinimized", "wsMaximized"});
  return &info;
}

PTypeInfo TypeInfo_TFormStyle() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TFormStyle", {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"});
  return &info;
}

// ---------------------------------------------------------------------------------------------
// Classes

PX_CLASS_INFO(TSizeConstraints, TPersistent, [](TPropertyBuilder<TSizeConstraints>& b) {
  b.Int("MaxHeight", &TSizeConstraints::MaxHeight, &TSizeConstraints::SetMaxHeight).Default(0);
  b.Int("MaxWidth", &TSizeConstraints::MaxWidth, &TSizeConstraints::SetMaxWidth).Default(0);
  b.Int("MinHeight", &TSizeConstraints::MinHeight, &TSizeConstraints::SetMinHeight).Default(0);
  b.Int("MinWidth", &TSizeConstraints::MinWidth, &TSizeConstraints::SetMinWidth).Default(0);
})

PX_CLASS_INFO(TControlCanvas, TCanvas)

PX_CLASS_INFO(TControl, TComponent, [](TPropertyBuilder<TControl>& b) {
  b.Int("Left", &TControl::Left, &TControl::SetLeft);
  b.Int("Top", &TControl::Top, &TControl::SetTop);
  b.Int("Width", &TControl::Width, &TControl::SetWidth);
  b.Int("Height", &TControl::Height, &TControl::SetHeight);
  b.Enum("Align", TypeInfo_TAlign(), &TControl::Align, &TControl::SetAlign).Default(alNone);
  b.Set("Anchors", TypeInfo_TAnchors(), &TControl::Anchors, &TControl::SetAnchors)
      .Default(TAnchors{akLeft, akTop}.Bits());
  b.Bool("AutoSize", &TControl::AutoSize, &TControl::SetAutoSize).Default(false);
  b.Str("Caption", &TControl::Caption, &TControl::SetCaption);
  b.Int("Color", &TControl::Color, &TControl::SetColor, TypeInfo_TColor()).Stored([](TControl* c) {
    return !c->ParentColor();
  });
  b.Object<TSizeConstraints>("Constraints", &TControl::Constraints);
  b.Int("Cursor", &TControl::Cursor, &TControl::SetCursor, TypeInfo_TCursor()).Default(crDefault);
  b.Bool("Enabled", &TControl::Enabled, &TControl::SetEnabled).Default(true);
  b.Object<TFont>("Font", &TControl::Font).Stored([](TControl* c) { return !c->ParentFont(); });
  b.Str("Hint", &TControl::Hint, &TControl::SetHint);
  b.Bool("ParentColor", &TControl::ParentColor, &TControl::SetParentColor).Default(true);
  b.Bool("ParentFont", &TControl::ParentFont, &TControl::SetParentFont).Default(true);
  b.Bool("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint).Default(true);
  b.Object<TComponent>("PopupMenu", &TControl::PopupMenuComponent, &TControl::SetPopupMenuComponent);
  b.Object<TBasicAction>("Action", &TControl::Action, &TControl::SetAction);
  b.Int("DragCursor", &TControl::DragCursor, &TControl::SetDragCursor, TypeInfo_TCursor()).Default(crDrag);
  b.Enum("DragKind", TypeInfo_TDragKind(), &TControl::DragKind, &TControl::SetDragKind).Default(dkDrag);
  b.Enum("DragMode", TypeInfo_TDragMode(), &TControl::DragMode, &TControl::SetDragMode).Default(dmManual);
  b.Bool("ShowHint", &TControl::ShowHint, &TControl::SetShowHint).Stored([](TControl* c) {
    return !c->ParentShowHint();
  });
  b.Bool("Visible", &TControl::Visible, &TControl::SetVisible).Default(true);
  b.Event("OnClick", &TControl::OnClick, &TControl::SetOnClick);
  b.Event("OnDblClick", &TControl::OnDblClick, &TControl::SetOnDblClick);
  b.Event("OnMouseDown", &TControl::OnMouseDown, &TControl::SetOnMouseDown);
  b.Event("OnMouseMove", &TControl::OnMouseMove, &TControl::SetOnMouseMove);
  b.Event("OnMouseUp", &TControl::OnMouseUp, &TControl::SetOnMouseUp);
  b.Event("OnMouseWheel", &TControl::OnMouseWheel, &TControl::SetOnMouseWheel);
  b.Event("OnMouseWheelDown", &TControl::OnMouseWheelDown, &TControl::SetOnMouseWheelDown);
  b.Event("OnMouseWheelUp", &TControl::OnMouseWheelUp, &TControl::SetOnMouseWheelUp);
  b.Event("OnResize", &TControl::OnResize, &TControl::SetOnResize);
  b.Event("OnCanResize", &TControl::OnCanResize, &TControl::SetOnCanResize);
  b.Event("OnConstrainedResize", &TControl::OnConstrainedResize, &TControl::SetOnConstrainedResize);
  b.Event("OnContextPopup", &TControl::OnContextPopup, &TControl::SetOnContextPopup);
  b.Event("OnDragDrop", &TControl::OnDragDrop, &TControl::SetOnDragDrop);
  b.Event("OnDragOver", &TControl::OnDragOver, &TControl::SetOnDragOver);
  b.Event("OnEndDrag", &TControl::OnEndDrag, &TControl::SetOnEndDrag);
  b.Event("OnStartDrag", &TControl::OnStartDrag, &TControl::SetOnStartDrag);
})

PX_CLASS_INFO(TWinControl, TControl, [](TPropertyBuilder<TWinControl>& b) {
  b.Int("BorderWidth", &TWinControl::BorderWidth, &TWinControl::SetBorderWidth).Default(0);
  b.Bool("Ctl3D", &TWinControl::Ctl3D, &TWinControl::SetCtl3D).Stored([](TWinControl* c) {
    return !c->ParentCtl3D();
  });
  b.Bool("ParentCtl3D", &TWinControl::ParentCtl3D, &TWinControl::SetParentCtl3D).Default(true);
  b.Bool("DoubleBuffered", &TWinControl::DoubleBuffered, &TWinControl::SetDoubleBuffered).Default(false);
  b.Int("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder).Default(-1);
  b.Bool("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop).Default(false);
  b.Event("OnEnter", &TWinControl::OnEnter, &TWinControl::SetOnEnter);
  b.Event("OnExit", &TWinControl::OnExit, &TWinControl::SetOnExit);
  b.Event("OnKeyDown", &TWinControl::OnKeyDown, &TWinControl::SetOnKeyDown);
  b.Event("OnKeyPress", &TWinControl::OnKeyPress, &TWinControl::SetOnKeyPress);
  b.Event("OnKeyUp", &TWinControl::OnKeyUp, &TWinControl::SetOnKeyUp);
})

PX_CLASS_INFO(TCustomControl, TWinControl)
PX_CLASS_INFO(TGraphicControl, TControl)

PX_CLASS_INFO(TCustomForm, TWinControl, [](TPropertyBuilder<TCustomForm>& b) {
  b.Redeclare("Visible").Default(false);
  b.Object<TWinControl>("ActiveControl", &TCustomForm::ActiveControl, &TCustomForm::SetActiveControl);
  b.Set("BorderIcons", TypeInfo_TBorderIcons(), &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons)
      .Default(TBorderIcons{biSystemMenu, biMinimize, biMaximize}.Bits());
  b.Enum("BorderStyle", TypeInfo_TFormBorderStyle(), &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle)
      .Default(bsSizeable);
  b.Int("ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth).Stored(false);
  b.Int("ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight).Stored(false);
  b.Enum("FormStyle", TypeInfo_TFormStyle(), &TCustomForm::FormStyle, &TCustomForm::SetFormStyle).Default(fsNormal);
  b.Object<TIcon>("Icon", &TCustomForm::Icon);
  b.Bool("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview).Default(false);
  b.Object<TComponent>("Menu", &TCustomForm::MenuComponent, &TCustomForm::SetMenuComponent);
  b.Int("PixelsPerInch", &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch);
  b.Enum("Position", TypeInfo_TPosition(), &TCustomForm::Position, &TCustomForm::SetPosition).Default(poDesigned);
  b.Bool("Scaled", &TCustomForm::Scaled, &TCustomForm::SetScaled).Default(true);
  b.Enum("WindowState", TypeInfo_TWindowState(), &TCustomForm::WindowState, &TCustomForm::SetWindowState)
      .Default(wsNormal);
  b.Event("OnActivate", &TCustomForm::OnActivate, &TCustomForm::SetOnActivate);
  b.Event("OnClose", &TCustomForm::OnClose, &TCustomForm::SetOnClose);
  b.Event("OnCloseQuery", &TCustomForm::OnCloseQuery, &TCustomForm::SetOnCloseQuery);
  b.Event("OnCreate", &TCustomForm::OnCreate, &TCustomForm::SetOnCreate);
  b.Event("OnDeactivate", &TCustomForm::OnDeactivate, &TCustomForm::SetOnDeactivate);
  b.Event("OnDestroy", &TCustomForm::OnDestroy, &TCustomForm::SetOnDestroy);
  b.Event("OnHide", &TCustomForm::OnHide, &TCustomForm::SetOnHide);
  b.Event("OnPaint", &TCustomForm::OnPaint, &TCustomForm::SetOnPaint);
  b.Event("OnShow", &TCustomForm::OnShow, &TCustomForm::SetOnShow);
})

PX_CLASS_INFO(TForm, TCustomForm)

PX_CLASS_INFO(TTimer, TComponent, [](TPropertyBuilder<TTimer>& b) {
  b.Bool("Enabled", &TTimer::Enabled, &TTimer::SetEnabled).Default(true);
  b.Int("Interval", &TTimer::Interval, &TTimer::SetInterval).Default(1000);
  b.Event("OnTimer", &TTimer::OnTimer, &TTimer::SetOnTimer);
})

PX_CLASS_INFO(TMonitor, TObject)
PX_CLASS_INFO(TScreen, TComponent)
PX_CLASS_INFO(TApplication, TComponent)

// ---------------------------------------------------------------------------------------------
// Colour and cursor names

namespace {

struct ColorName {
  int32_t Value;
  const char* Name;
};

const ColorName kColorNames[] = {
    {clBlack, "clBlack"}, {clMaroon, "clMaroon"}, {clGreen, "clGreen"}, {clOlive, "clOlive"}, {clNavy, "clNavy"},
    {clPurple, "clPurple"}, {clTeal, "clTeal"}, {clGray, "clGray"}, {clSilver, "clSilver"}, {clRed, "clRed"},
    {clLime, "clLime"}, {clYellow, "clYellow"}, {clBlue, "clBlue"}, {clFuchsia, "clFuchsia"}, {clAqua, "clAqua"},
    {clWhite, "clWhite"}, {clMoneyGreen, "clMoneyGreen"}, {clSkyBlue, "clSkyBlue"}, {clCream, "clCream"},
    {clMedGray, "clMedGray"}, {clActiveBorder, "clActiveBorder"}, {clActiveCaption, "clActiveCaption"},
    {clAppWorkSpace, "clAppWorkSpace"}, {clBackground, "clBackground"}, {clBtnFace, "clBtnFace"},
    {clBtnHighlight, "clBtnHighlight"}, {clBtnShadow, "clBtnShadow"}, {clBtnText, "clBtnText"},
    {clCaptionText, "clCaptionText"}, {clDefault, "clDefault"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"}, {clGrayText, "clGrayText"},
    {clHighlight, "clHighlight"}, {clHighlightText, "clHighlightText"}, {clHotLight, "clHotLight"},
    {clInactiveBorder, "clInactiveBorder"}, {clInactiveCaption, "clInactiveCaption"},
    {clInactiveCaptionText, "clInactiveCaptionText"}, {clInfoBk, "clInfoBk"}, {clInfoText, "clInfoText"},
    {clMenu, "clMenu"}, {clMenuBar, "clMenuBar"}, {clMenuHighlight, "clMenuHighlight"}, {clMenuText, "clMenuText"},
    {clNone, "clNone"}, {clScrollBar, "clScrollBar"}, {cl3DDkShadow, "cl3DDkShadow"}, {cl3DLight, "cl3DLight"},
    {clWindow, "clWindow"}, {clWindowFrame, "clWindowFrame"}, {clWindowText, "clWindowText"},
};

bool ColorIdentToInt(std::string_view Ident, int64_t& Int) {
  for (const ColorName& c : kColorNames)
    if (SameText(Ident, c.Name)) {
      Int = c.Value;
      return true;
    }
  // The class library's older aliases.
  if (SameText(Ident, "clLtGray")) Int = clLtGray;
  else if (SameText(Ident, "clDkGray")) Int = clDkGray;
  else return false;
  return true;
}

bool ColorIntToIdent(int64_t Int, std::string& Ident) {
  for (const ColorName& c : kColorNames)
    if (c.Value == Int) {
      Ident = c.Name;
      return true;
    }
  return false;
}

bool CursorIdentToInt(std::string_view Ident, int64_t& Int) {
  int32_t v;
  if (!IdentToCursor(Ident, v)) return false;
  Int = v;
  return true;
}

bool CursorIntToIdent(int64_t Int, std::string& Ident) {
  return Int >= INT32_MIN && Int <= INT32_MAX && CursorToIdent(static_cast<int32_t>(Int), Ident);
}

}  // namespace

void RegisterFormsClasses() {
  if (!FindIdentToInt(TypeInfo_TColor())) RegisterIntegerConsts(TypeInfo_TColor(), &ColorIdentToInt, &ColorIntToIdent);
  RegisterIntegerConsts(TypeInfo_TCursor(), &CursorIdentToInt, &CursorIntToIdent);
  RegisterClass(TForm::StaticClass());
  RegisterClass(TTimer::StaticClass());
}
