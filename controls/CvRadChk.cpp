// The check box and the radio button.
#include "controls/CvRadChk.h"

#include <algorithm>

#include "controls/CvControlsInternal.h"
#include "controls/CvGrafx.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/WinGdi_text.h"
#include "platform/rtl/SysUtils.h"

using THts = TCvButtonHotTrackStyle;

// =============================================================================================
// TCvCustomGlyphButton

PX_CLASS_INFO(TCvCustomGlyphButton, TCvCustomButton, [](TPropertyBuilder<TCvCustomGlyphButton>& b) {
  using C = TCvCustomGlyphButton;
  b.Enum("Alignment", TypeInfo_TLeftRight(), &C::Alignment, &C::SetAlignment).Default(taRightJustify);
  b.Object<TBitmap>("CustomGlyphs", &C::CustomGlyphs, &C::SetCustomGlyphs);
  b.Int("DisabledColor", &C::DisabledColor, &C::SetDisabledColor, TypeInfo_TColor()).Default(clBtnFace);
  b.Int("FillColor", &C::FillColor, &C::SetFillColor, TypeInfo_TColor()).Default(clWindow);
  b.Int("FocusColor", &C::FocusColor, &C::SetFocusColor, TypeInfo_TColor()).Default(clWindow);
  b.Int("FrameColor", &C::FrameColor, &C::SetFrameColor, TypeInfo_TColor()).Default(clBtnShadow);
  b.Object<TCvFrameController>("FrameController", &C::FrameController, &C::SetFrameController);
  b.Set("FrameControllerNotifications", TypeInfo_TCvFrameControllerNotifications(), &C::FrameControllerNotifications,
        &C::SetFrameControllerNotifications)
      .Default(AllFrameControllerNotifications.Bits());
  b.Enum("HotTrackStyle", TypeInfo_TCvButtonHotTrackStyle(), &C::HotTrackStyle, &C::SetHotTrackStyle)
      .Default(THts::htsInterior);
  b.Bool("ReadOnly", &C::ReadOnly, &C::SetReadOnly).Default(false);
  b.Int("ReadOnlyColor", &C::ReadOnlyColor, &C::SetReadOnlyColor, TypeInfo_TColor()).Default(clInfoBk);
  b.Bool("ReadOnlyColorOnFocus", &C::ReadOnlyColorOnFocus, &C::SetReadOnlyColorOnFocus).Default(false);
  b.Bool("TabOnEnter", &C::TabOnEnter, &C::SetTabOnEnter).Default(false);
  b.Int("TransparentColor", &C::TransparentColor, &C::SetTransparentColor, TypeInfo_TColor()).Default(clOlive);
  b.Bool("UseCustomGlyphs", &C::UseCustomGlyphs, &C::SetUseCustomGlyphs).Default(false);
  b.Int("WinMaskColor", &C::WinMaskColor, &C::SetWinMaskColor, TypeInfo_TColor()).Default(clLime);
  b.Redeclare("AlignmentVertical").Default(avTop);
  b.DefineProperty("Flat", &C::ReadHotTrack);
})

TCvCustomGlyphButton::TCvCustomGlyphButton(TComponent* AOwner)
    : TCvCustomButton(AOwner), custom_glyphs_(std::make_unique<TBitmap>()), background_(std::make_unique<TBitmap>()) {
  custom_glyphs_->SetOnChange(TNotifyEvent(this, &TCvCustomGlyphButton::StripChanged));
  SetControlStyle(ControlStyle() + csSetCaption + csReplicatable);
}

TCvCustomGlyphButton::~TCvCustomGlyphButton() {
  if (frame_controller_) frame_controller_->RemoveControl(this);
}

void TCvCustomGlyphButton::Notification(TComponent* AComponent, TOperation Operation) {
  TCvCustomButton::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == frame_controller_) frame_controller_ = nullptr;
}

void TCvCustomGlyphButton::ApplyControllerFrame() {
  TCvFrameController* fc = frame_controller_;
  if (!fc || !fc->FrameVisible()) return;
  TCvCustomButton::SetHotTrack(true);
  const TCvFrameControllerNotifications n = notifications_;
  if (n.Contains(fcpColor)) fill_color_ = fc->Color();
  if (n.Contains(fcpFrameColor)) frame_color_ = fc->FrameColor();
  if (n.Contains(fcpFocusColor)) focus_color_ = fc->FocusColor();
  if (n.Contains(fcpDisabledColor)) disabled_color_ = fc->DisabledColor();
  if (n.Contains(fcpReadOnlyColor)) read_only_color_ = fc->ReadOnlyColor();
  if (n.Contains(fcpReadOnlyColorOnFocus)) read_only_color_on_focus_ = fc->ReadOnlyColorOnFocus();
  if (n.Contains(fcpFrameHotTrack)) hot_track_style_ = fc->FrameHotTrack() ? THts::htsFrame : THts::htsInterior;
  if (n.Contains(fcpFrameHotColor) && hot_track_style_ == THts::htsFrame) SetHotTrackColor(fc->FrameHotColor());
  Invalidate();
}

PX_INVALIDATING_SETTER(TCvCustomGlyphButton, Alignment, TLeftRight, alignment_)
PX_INVALIDATING_SETTER(TCvCustomGlyphButton, FillColor, TColor, fill_color_)
PX_INVALIDATING_SETTER(TCvCustomGlyphButton, FocusColor, TColor, focus_color_)
PX_INVALIDATING_SETTER(TCvCustomGlyphButton, FrameColor, TColor, frame_color_)
PX_INVALIDATING_SETTER(TCvCustomGlyphButton, DisabledColor, TColor, disabled_color_)
PX_INVALIDATING_SETTER(TCvCustomGlyphButton, ReadOnly, bool, read_only_)
PX_INVALIDATING_SETTER(TCvCustomGlyphButton, ReadOnlyColor, TColor, read_only_color_)
PX_INVALIDATING_SETTER(TCvCustomGlyphButton, TransparentColor, TColor, transparent_color_)
PX_INVALIDATING_SETTER(TCvCustomGlyphButton, WinMaskColor, TColor, win_mask_color_)

void TCvCustomGlyphButton::ActionChange(TObject* Sender, bool CheckDefaults) {
  TCvCustomButton::ActionChange(Sender, CheckDefaults);
  if (auto* action = dynamic_cast<TCustomAction*>(Sender); action && (!CheckDefaults || !Checked()))
    SetChecked(action->Checked());
}

TControlActionLinkClass TCvCustomGlyphButton::GetActionLinkClass() {
  return ActionLinkClassOf<TCvCheckedActionLink>();
}

void TCvCheckedActionLink::AssignClient(TObject* AClient) {
  TWinControlActionLink::AssignClient(AClient);
  glyph_client_ = dynamic_cast<TCvCustomGlyphButton*>(AClient);
  if (!glyph_client_) throw EInvalidCast("Invalid class typecast");
}

bool TCvCheckedActionLink::IsCheckedLinked() {
  return TWinControlActionLink::IsCheckedLinked() && glyph_client_ &&
         glyph_client_->Checked() == CustomAction()->Checked();
}

void TCvCheckedActionLink::SetChecked(bool Value) {
  if (!IsCheckedLinked()) return;
  glyph_client_->SetClicksDisabled(true);
  struct Reset {
    TCvCustomGlyphButton* client;
    ~Reset() { client->SetClicksDisabled(false); }
  } reset{glyph_client_};
  glyph_client_->SetChecked(Value);
}

bool CheckedFromAction(TControl* Control) {
  auto* link = dynamic_cast<TActionLink*>(Control->ActionLink());
  return link && link->IsCheckedLinked();
}

void TCvCustomGlyphButton::SetCustomGlyphs(TBitmap* Value) { custom_glyphs_->Assign(Value); }

void TCvCustomGlyphButton::StripChanged(TObject*) {
  ++strip_version_;
  SetUseCustomGlyphs(!custom_glyphs_->Empty());
  background_stale_ = true;
  Invalidate();
}

void TCvCustomGlyphButton::SetUseCustomGlyphs(bool Value) {
  if (use_custom_glyphs_ == Value) return;
  use_custom_glyphs_ = Value;
  if (Value) {
    glyph_width_ = custom_glyphs_->Width() / frame_count_;
    glyph_height_ = custom_glyphs_->Height();
  } else {
    glyph_width_ = glyph_height_ = 13;
  }
  Invalidate();
}

void TCvCustomGlyphButton::SetFrameController(TCvFrameController* Value) {
  // No test for an unchanged value: writing the same controller applies its frame anew.
  ChangeFrameController(this, frame_controller_, Value);
}

void TCvCustomGlyphButton::SetTransparent(bool Value) {
  background_stale_ = true;
  TCvCustomButton::SetTransparent(Value);
}

TRect TCvCustomGlyphButton::GlyphRect() {
  const int32_t x = alignment_ == taLeftJustify ? Width() - glyph_width_ : 0;
  int32_t y = 2;
  if (AlignmentVertical() == avCenter) y = (Height() - glyph_height_) / 2;
  else if (AlignmentVertical() == avBottom) y = Height() - glyph_height_ - 2;
  return TRect(x, y, x + glyph_width_, y + glyph_height_);
}

int64_t TCvRadioButton::GlyphValue() const { return checked_; }
int64_t TCvCustomCheckBox::GlyphValue() const { return static_cast<int64_t>(state_); }

int32_t TCvCustomGlyphButton::GlyphState() const {
  if (!Enabled()) return 3;
  if (ShowPressed()) return 1;
  if (MouseOver()) return 2;
  return 0;
}

void TCvCustomGlyphButton::HotColors(TColor& Fill, TColor& Frame) const {
  if (HotTrackColorType() == htctActual) {
    Fill = MixColors(clWhite, HotTrackColor(), 190);
    Frame = HotTrackColor();
  } else {
    Fill = OppositeHueColor(HotTrackColor(), 180);
    Frame = ShadeColor(Fill, 30);
  }
}

void TCvCustomGlyphButton::ExtractGlyphFrame(int32_t Index, TBitmap* Dest, int32_t Width, int32_t Height,
                                             TBitmap* Strip) {
  Dest->SetSize(Width, Height);
  TCanvas* c = Dest->Canvas();
  // A frame past the strip's edge copies only what lies inside; the rest shows the background.
  c->Brush()->SetColor(transparent_color_);
  c->FillRect(TRect(0, 0, Width, Height));
  const int64_t left = int64_t{Width} * Index;
  const int32_t w = static_cast<int32_t>(std::clamp<int64_t>(Strip->Width() - left, 0, Width));
  const int32_t h = std::min(Height, Strip->Height());
  if (w <= 0 || h <= 0) return;
  c->CopyRect(TRect(0, 0, w, h), Strip->Canvas(), TRect(static_cast<int32_t>(left), 0, static_cast<int32_t>(left) + w, h));
}

void TCvCustomGlyphButton::BuildStripGlyph(TBitmap* Bitmap, int32_t Normal, int32_t Step) {
  // The strip has no hot frames; pressed counts only while enabled.
  const int32_t state = GlyphState();
  const int32_t frame = Normal + (state == 3 ? 2 * Step : state == 1 ? Step : 0);
  TBitmap cell;
  ExtractGlyphFrame(frame, &cell, glyph_width_, glyph_height_, custom_glyphs_.get());
  Bitmap->Assign(&cell);
}

void TCvCustomGlyphButton::DrawGlyphImage(TCanvas* ACanvas) {
  if (!ACanvas) ACanvas = Canvas();
  const int32_t w = glyph_width_, h = glyph_height_;
  if (w <= 0 || h <= 0) return;
  const TRect at = GlyphRect();
  const TRect cell(0, 0, w, h);
  // The glyph is built again only when what it shows changed.
  const std::vector<int64_t> key = GlyphKey();
  if (!glyph_cache_ || key != glyph_key_) {
    glyph_cache_ = std::make_unique<TBitmap>();
    glyph_cache_->SetSize(w, h);
    BuildGlyph(glyph_cache_.get());
    glyph_key_ = key;
    glyph_drawn_.reset();
  }
  TBitmap& glyph = *glyph_cache_;
  if (!Transparent() && glyph_drawn_ && glyph_drawn_mask_ == win_mask_color_) {
    ACanvas->Draw(at.Left, at.Top, glyph_drawn_.get());
    return;
  }
  TBitmap composed;
  composed.SetSize(w, h);
  if (Transparent()) {
    composed.Canvas()->CopyRect(cell, ACanvas, at);
    DrawTransparentBitmap(composed.Canvas(), &glyph, cell, cell, transparent_color_);
  } else {
    composed.Canvas()->Brush()->SetColor(Color());
    composed.Canvas()->BrushCopy(cell, &glyph, cell, transparent_color_);
  }
  TBitmap final;
  final.SetSize(w, h);
  if (use_custom_glyphs_) {
    final.Canvas()->Brush()->SetColor(clWindow);
    final.Canvas()->BrushCopy(cell, &composed, cell, win_mask_color_);
  } else {
    final.Canvas()->CopyRect(cell, composed.Canvas(), cell);
  }
  if (Transparent()) FinishTransparentGlyph(&final);
  ACanvas->Draw(at.Left, at.Top, &final);
  if (!Transparent()) {
    glyph_drawn_ = std::make_unique<TBitmap>();
    glyph_drawn_->Assign(&final);
    glyph_drawn_mask_ = win_mask_color_;
  }
}

std::vector<int64_t> TCvCustomGlyphButton::GlyphKey() {
  TColor hotFill, hotFrame;
  HotColors(hotFill, hotFrame);
  return {GlyphValue(),       GlyphState(),       Focused(),         HotTrack(),
          static_cast<int64_t>(hot_track_style_), use_custom_glyphs_, static_cast<int64_t>(strip_version_),
          glyph_width_,       glyph_height_,      frame_color_,      HighlightColor(),
          fill_color_,        focus_color_,       disabled_color_,   hotFill,
          hotFrame,           Color(),            Transparent(),     transparent_color_,
          read_only_,         read_only_color_on_focus_, read_only_color_, DisplayIsFullColor};
}

void TCvCustomGlyphButton::CaptureBackground() {
  const TRect client(0, 0, Width(), Height());
  background_->SetSize(Width(), Height());
  if (Transparent()) {
    // What the window shows now: the parent's image its erase painted.
    background_->Canvas()->CopyRect(client, Canvas(), client);
  } else {
    background_->Canvas()->Brush()->SetColor(Color());
    background_->Canvas()->FillRect(client);
  }
  background_stale_ = false;
}

void TCvCustomGlyphButton::PaintNow() {
  if (HandleAllocated() && Showing()) Paint();
}

void TCvCustomGlyphButton::Paint() {
  const int32_t W = Width(), H = Height();
  if (W <= 0 || H <= 0) return;
  // The off-screen picture is kept between paints.
  if (!off_) off_ = std::make_unique<TBitmap>();
  if (off_->Width() != W || off_->Height() != H) off_->SetSize(W, H);
  TCanvas* c = off_->Canvas();
  c->Font()->Assign(Font());
  c->Brush()->SetColor(Color());
  if (background_stale_) CaptureBackground();
  const TRect client(0, 0, W, H);
  c->CopyRect(client, background_->Canvas(), client);
  DrawGlyphImage(c);
  TRect t = client;
  t.Inflate(-1, -1);
  const bool glyphRight = alignment_ == taLeftJustify;
  if (glyphRight) t.Right -= glyph_width_ + 4;
  else t.Left += glyph_width_ + 4;
  DrawCaptionText(c, t, DT_WORDBREAK | DT_EXPANDTABS);
  t.Inflate(1, 1);
  const std::string caption = Caption();
  if (Focused() && !caption.empty()) {
    c->Font()->Assign(Font());
    const int32_t extent = std::min(t.Width(), c->TextWidth(Trim(caption)) + 3);
    t.Right = t.Left + extent;
    PaintFocusFrame(c, t);
  }
  Canvas()->CopyRect(client, c, client);
}

void TCvCustomGlyphButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  mouse_press_ = true;
  TCvCustomButton::MouseDown(Button, Shift, X, Y);
}

void TCvCustomGlyphButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCvCustomButton::MouseUp(Button, Shift, X, Y);
  mouse_press_ = false;
}

void TCvCustomGlyphButton::KeyPress(char16_t& Key) {
  if (tab_on_enter_ && Key == 13) {
    Key = 0;
    PostMessage(Handle(), WM_KEYDOWN, VK_TAB, 0);
    return;
  }
  TCvCustomButton::KeyPress(Key);
}

void TCvCustomGlyphButton::WMEraseBkgnd(TWMEraseBkgnd& Message) {
  TCvCustomButton::WMEraseBkgnd(Message);
  background_stale_ = true;
}

void TCvCustomGlyphButton::WMSize(TWMSize& Message) {
  TCvCustomButton::WMSize(Message);
  background_stale_ = true;
}

void TCvCustomGlyphButton::CMEnabledChanged(TWMNoParams& Message) {
  TCvCustomButton::CMEnabledChanged(Message);
  background_stale_ = true;
  Invalidate();
}

void TCvCustomGlyphButton::CMParentColorChanged(TWMNoParams& Message) {
  TCvCustomButton::CMParentColorChanged(Message);
  background_stale_ = true;
  Invalidate();
}

// =============================================================================================
// TCvRadioButton

PX_CLASS_INFO(TCvRadioButton, TCvCustomGlyphButton, [](TPropertyBuilder<TCvRadioButton>& b) {
  using C = TCvRadioButton;
  b.Bool("Checked", &C::Checked, &C::SetChecked).Default(false).Stored([](C* c) { return !CheckedFromAction(c); });
  b.Redeclare("TabStop").Default(false);
})

TCvRadioButton::TCvRadioButton(TComponent* AOwner) : TCvCustomGlyphButton(AOwner) {
  SetAlignmentVertical(avTop);
  SetFrameCount(6);
  SetTabStop(false);
}

void TCvRadioButton::SetChecked(bool Value) {
  if (checked_ == Value) return;
  checked_ = Value;
  SetTabStop(Value);
  RefreshFace();
  if (!Value) return;
  if (TWinControl* parent = Parent()) {
    for (int32_t i = 0; i < parent->ControlCount(); ++i) {
      auto* other = dynamic_cast<TCvRadioButton*>(parent->Controls(i));
      if (other && other != this) other->SetChecked(false);
    }
  }
  if (!ClicksDisabled()) Click();
}

void TCvRadioButton::SetReadOnly(bool Value) {
  if (ReadOnly() == Value) return;
  TCvCustomGlyphButton::SetReadOnly(Value);
  RefreshFace();
  if (TWinControl* parent = Parent()) {
    for (int32_t i = 0; i < parent->ControlCount(); ++i) {
      auto* other = dynamic_cast<TCvRadioButton*>(parent->Controls(i));
      if (other && other != this) other->SetReadOnly(Value);
    }
  }
}

void TCvRadioButton::ActivateButton() {
  if (!checked_ && !ReadOnly()) SetChecked(true);
}

void TCvRadioButton::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_LBUTTONDBLCLK) {
    TControl::Dispatch(Message);
    DblClick();
    return;
  }
  TCvCustomGlyphButton::Dispatch(Message);
}

void TCvRadioButton::WMSetFocus(TWMSetFocus& Message) {
  TCvCustomGlyphButton::WMSetFocus(Message);
  // Focus that a mouse press brings leaves the checking to the release.
  if (!MousePress() && !ReadOnly()) SetChecked(true);
}

void TCvRadioButton::CMDialogChar(TWMKey& Message) {
  if (IsAccel(Message.CharCode, Caption()) && CanFocus()) {
    SetFocus();
    Message.Result = 1;
    return;
  }
  TCvCustomGlyphButton::CMDialogChar(Message);
}

void TCvRadioButton::CMDialogKey(TWMKey& Message) {
  if (Message.CharCode == VK_DOWN && KeyDataToShiftState(Message.KeyData).Empty() && CanFocus()) {
    if (!ClicksDisabled()) Click();
    Message.Result = 1;
    return;
  }
  TCvCustomGlyphButton::CMDialogKey(Message);
}

void TCvRadioButton::BuildGlyph(TBitmap* Bitmap) {
  TCanvas* c = Bitmap->Canvas();
  const TRect r(0, 0, GlyphWidth(), GlyphHeight());
  const int32_t state = GlyphState();
  if (UseCustomGlyphs()) {
    // Frames: unchecked 0 (pressed 2, disabled 4), checked 1 (3, 5).
    BuildStripGlyph(Bitmap, checked_ ? 1 : 0, 2);
    return;
  }
  if (HotTrack()) {
    TColor hotFill, hotFrame;
    HotColors(hotFill, hotFrame);
    PaintRadioGlyph(c, r, checked_, state, Focused(), HotTrackStyle(), FrameColor(), HighlightColor(), FillColor(),
                    FocusColor(), DisabledColor(), hotFill, hotFrame, Color(), Transparent(), TransparentColor(),
                    ReadOnly(), ReadOnlyColorOnFocus(), ReadOnlyColor());
    return;
  }
  c->Brush()->SetColor(TransparentColor());
  c->FillRect(r);
  UINT flags = DFCS_BUTTONRADIO | DFCS_TRANSPARENT;
  if (checked_) flags |= DFCS_CHECKED;
  if (state == 1) flags |= DFCS_PUSHED;
  if (state == 3) flags |= DFCS_INACTIVE;
  TRect fr = r;
  DrawFrameControl(c->Handle(), fr, DFC_BUTTON, flags);
}

void TCvRadioButton::FinishTransparentGlyph(TBitmap* Bitmap) {
  // The outline's edge pixels that the transparent glyph left to the background, shaded toward
  // the frame colour over it.
  struct TPix {
    int32_t X, Y;
  };
  static constexpr TPix kHalf[] = {{4, 0},  {8, 0},  {2, 1},  {10, 1}, {1, 2},  {11, 2},  {0, 4},  {12, 4},
                                   {0, 8},  {12, 8}, {1, 10}, {11, 10}, {2, 11}, {10, 11}, {4, 12}, {8, 12}};
  static constexpr TPix kLight[] = {{3, 0}, {9, 0}, {0, 3}, {12, 3}, {0, 9}, {12, 9}, {3, 12}, {9, 12}};
  TCanvas* c = Bitmap->Canvas();
  auto mix = [&](const TPix& p, uint8_t weight) {
    if (p.X >= Bitmap->Width() || p.Y >= Bitmap->Height()) return;
    c->SetPixels(p.X, p.Y, MixColors(FrameColor(), c->Pixels(p.X, p.Y), weight));
  };
  for (const TPix& p : kHalf) mix(p, 128);
  for (const TPix& p : kLight) mix(p, 40);
}

// =============================================================================================
// TCvCustomCheckBox

PX_CLASS_INFO(TCvCustomCheckBox, TCvCustomGlyphButton, [](TPropertyBuilder<TCvCustomCheckBox>& b) {
  using C = TCvCustomCheckBox;
  b.Bool("AllowGrayed", &C::AllowGrayed, &C::SetAllowGrayed).Default(false);
  b.Bool("Checked", &C::Checked, &C::SetChecked).Stored(false);
  b.Enum("State", TypeInfo_TCheckBoxState(), &C::State, &C::SetState).NoDefault();
})

PX_CLASS_INFO(TCvCheckBox, TCvCustomCheckBox)

TCvCustomCheckBox::TCvCustomCheckBox(TComponent* AOwner) : TCvCustomGlyphButton(AOwner) {
  SetAlignmentVertical(avTop);
  SetFrameCount(9);
}

void TCvCustomCheckBox::SetState(TCheckBoxState Value) {
  if (state_ == Value) return;
  state_ = Value;
  RefreshFace();
  if (!ClicksDisabled()) Click();
}

void TCvCustomCheckBox::ActivateButton() {
  if (MousePress() && ReadOnly()) return;
  switch (state_) {
    case cbUnchecked: SetState(allow_grayed_ ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TCvCustomCheckBox::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCvCustomGlyphButton::KeyDown(Key, Shift);
  if (ReadOnly()) return;
  if (Key == VK_ESCAPE) {
    key_toggle_ = false;
    SetShowPressed(false);
    RefreshFace();
  } else if (Key == VK_SPACE) {
    key_toggle_ = true;
    SetShowPressed(true);
    RefreshFace();
  }
}

void TCvCustomCheckBox::KeyUp(uint16_t& Key, TShiftState Shift) {
  TCvCustomGlyphButton::KeyUp(Key, Shift);
  if (ReadOnly() || Key != VK_SPACE) return;
  SetShowPressed(false);
  if (key_toggle_) ActivateButton();
  RefreshFace();
}

void TCvCustomCheckBox::DoExit() {
  TCvCustomGlyphButton::DoExit();
  SetShowPressed(false);
  RefreshFace();
}

void TCvCustomCheckBox::CMDialogChar(TWMKey& Message) {
  if (IsAccel(Message.CharCode, Caption()) && CanFocus()) {
    ::SetFocus(Handle());
    if (Focused()) {
      ActivateButton();
      RefreshFace();
    }
    Message.Result = 1;
    return;
  }
  TCvCustomGlyphButton::CMDialogChar(Message);
}

void TCvCustomCheckBox::BuildGlyph(TBitmap* Bitmap) {
  TCanvas* c = Bitmap->Canvas();
  const TRect r(0, 0, GlyphWidth(), GlyphHeight());
  const int32_t state = GlyphState();
  if (UseCustomGlyphs()) {
    // Frames: unchecked 0, checked 1, grayed 2; pressed +3, disabled +6.
    BuildStripGlyph(Bitmap, state_ == cbChecked ? 1 : state_ == cbGrayed ? 2 : 0, 3);
    return;
  }
  if (HotTrack()) {
    TColor hotFill, hotFrame;
    HotColors(hotFill, hotFrame);
    PaintCheckGlyph(c, r, state_, state, Focused(), HotTrackStyle(), FrameColor(), HighlightColor(), FillColor(),
                    FocusColor(), DisabledColor(), hotFill, hotFrame, ReadOnly(), ReadOnlyColorOnFocus(),
                    ReadOnlyColor());
    return;
  }
  UINT flags = DFCS_BUTTONCHECK;
  if (state_ == cbChecked) flags |= DFCS_CHECKED;
  if (state_ == cbGrayed) flags |= DFCS_CHECKED | DFCS_BUTTON3STATE;
  if (state == 1) flags |= DFCS_PUSHED;
  if (state == 3) flags |= DFCS_INACTIVE;
  TRect fr = r;
  DrawFrameControl(c->Handle(), fr, DFC_BUTTON, flags);
}

void CvRadChkRegisterClasses() {
  RegisterClass(TCvCheckBox::StaticClass());
  RegisterClass(TCvRadioButton::StaticClass());
}
