// The tool button.
#include <algorithm>

#include "controls/CvButton.h"
#include "controls/CvControlsInternal.h"
#include "controls/CvGrafx.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/WinGdi_text.h"
#include "platform/rtl/SysUtils.h"

using enum TFrameStyleEx;
using enum TCvToolStyle;

namespace {
constexpr int32_t kArrowSection = 14;  // the drop-down arrow's section at the side
}  // namespace

PTypeInfo TypeInfo_TCvToolStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCvToolStyle", {"tsButton", "tsDropDown"});
  return &info;
}

PTypeInfo TypeInfo_TButtonLayout() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TButtonLayout", {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"});
  return &info;
}

TColor ReadStoredColor(TReader& Reader) {
  if (Reader.NextValue() == vaIdent) {
    const std::string ident = Reader.ReadIdent();
    int64_t v = 0;
    TIdentToInt toInt = FindIdentToInt(TypeInfo_TColor());
    if (!toInt || !toInt(ident, v)) throw EReadError("Invalid property value");
    return static_cast<TColor>(v);
  }
  return static_cast<TColor>(Reader.ReadInteger());
}

PX_CLASS_INFO(TCvToolButton, TGraphicControl, [](TPropertyBuilder<TCvToolButton>& b) {
  using C = TCvToolButton;
  b.Enum("About", TypeInfo_TCvAboutInfo(), &C::About, &C::SetAbout).Stored(false);
  b.Bool("AllowAllUp", &C::AllowAllUp, &C::SetAllowAllUp).Default(false);
  b.Int("DisabledIndex", &C::DisabledIndex, &C::SetDisabledIndex).Default(-1);
  b.Bool("Down", &C::Down, &C::SetDown).Default(false).Stored([](C* c) {
    auto* link = dynamic_cast<TActionLink*>(c->ActionLink());
    return !(link && link->IsCheckedLinked());
  });
  b.Int("DownIndex", &C::DownIndex, &C::SetDownIndex).Default(-1);
  b.Object<TPopupMenu>("DropDownMenu", &C::DropDownMenu, &C::SetDropDownMenu);
  b.Bool("Flat", &C::Flat, &C::SetFlat).Default(true);
  b.Enum("GradientColorStyle", TypeInfo_TCvGradientColorStyle(), &C::GradientColorStyle, &C::SetGradientColorStyle)
      .Default(gcsSystem)
      .Stored([](C* c) { return !c->UseToolbarVisualStyle(); });
  b.Int("GroupIndex", &C::GroupIndex, &C::SetGroupIndex).Default(0);
  b.Int("HotIndex", &C::HotIndex, &C::SetHotIndex).Default(-1);
  b.Int("ImageIndex", &C::ImageIndex, &C::SetImageIndex).Default(-1).Stored([](C* c) {
    auto* link = dynamic_cast<TActionLink*>(c->ActionLink());
    return !(link && link->IsImageIndexLinked());
  });
  b.Object<TCustomImageList>("Images", &C::Images, &C::SetImages);
  b.Enum("Layout", TypeInfo_TButtonLayout(), &C::Layout, &C::SetLayout).Default(blGlyphLeft);
  b.Int("SelectionColorStart", &C::SelectionColorStart, &C::SetSelectionColorStart, TypeInfo_TColor())
      .Default(clBtnFace);
  b.Int("SelectionColorStop", &C::SelectionColorStop, &C::SetSelectionColorStop, TypeInfo_TColor())
      .Default(clBtnShadow);
  b.Int("SelectionFrameColor", &C::SelectionFrameColor, &C::SetSelectionFrameColor, TypeInfo_TColor())
      .Default(cl3DDkShadow);
  b.Bool("ShowCaption", &C::ShowCaption, &C::SetShowCaption).Default(false).Stored([](C* c) {
    return !c->UseToolbarShowCaption();
  });
  b.Enum("ToolStyle", TypeInfo_TCvToolStyle(), &C::ToolStyle, &C::SetToolStyle).Default(tsButton);
  b.Bool("Transparent", &C::Transparent, &C::SetTransparent).Default(true);
  b.Bool("UseToolbarButtonLayout", &C::UseToolbarButtonLayout, &C::SetUseToolbarButtonLayout).Default(true);
  b.Bool("UseToolbarButtonSize", &C::UseToolbarButtonSize, &C::SetUseToolbarButtonSize).Default(true);
  b.Bool("UseToolbarShowCaption", &C::UseToolbarShowCaption, &C::SetUseToolbarShowCaption).Default(true);
  b.Bool("UseToolbarVisualStyle", &C::UseToolbarVisualStyle, &C::SetUseToolbarVisualStyle).Default(true);
  b.Enum("VisualStyle", TypeInfo_TCvVisualStyle(), &C::VisualStyle, &C::SetVisualStyle)
      .Default(vsWinXP)
      .Stored([](C* c) { return !c->UseToolbarVisualStyle(); });
  // Without a tool-bar container the size is always the button's own.
  b.Int("Width", &C::GetWidth, &C::SetButtonWidth).Default(25);
  b.Int("Height", &C::GetHeight, &C::SetButtonHeight).Default(25);
  b.Event("OnDropDown", &C::OnDropDown, &C::SetOnDropDown);
  b.Event("OnMouseEnter", &C::OnMouseEnter, &C::SetOnMouseEnter);
  b.Event("OnMouseLeave", &C::OnMouseLeave, &C::SetOnMouseLeave);
  b.DefineProperty("GradientColorDefault", &C::SkipBoolean);
  b.DefineProperty("ThemeAware", &C::SkipBoolean);
  b.DefineProperty("GradientColorStart", &C::ReadGradientColorStart);
  b.DefineProperty("GradientColorStop", &C::ReadGradientColorStop);
  b.DefineProperty("FrameColor", &C::ReadFrameColor);
  b.DefineProperty("UseGradients", &C::ReadUseGradients);
})

TCvToolButton::TCvToolButton(TComponent* AOwner)
    : TGraphicControl(AOwner), image_change_link_(std::make_unique<TChangeLink>()) {
  SetControlStyle(TControlStyle{csCaptureMouse});
  image_change_link_->SetOnChange(TNotifyEvent(this, &TCvToolButton::ImageListChange));
  TGraphicControl::SetBounds(Left(), Top(), 25, 25);
  SetColor(clBtnFace);
}

TCvToolButton::~TCvToolButton() {
  if (images_) images_->UnRegisterChanges(image_change_link_.get());
}

void TCvToolButton::Loaded() {
  TGraphicControl::Loaded();
  ApplyToolbarStyles();
}

void TCvToolButton::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == images_) {
    images_ = nullptr;
    Invalidate();
  }
  if (AComponent == drop_down_menu_) drop_down_menu_ = nullptr;
}

void TCvToolButton::SetParent(TWinControl* AParent) {
  TGraphicControl::SetParent(AParent);
  ApplyToolbarStyles();
}

void TCvToolButton::ApplyToolbarStyles() {
  // The pick-ups act only on a tool-bar container, which this control set does not have.
}

void TCvToolButton::Click() {
  if (tool_style_ == tsDropDown && !click_armed_) return;
  TGraphicControl::Click();
}

bool TCvToolButton::IsSplit() const {
  return tool_style_ == tsDropDown && (static_cast<bool>(OnClick()) || Action() != nullptr);
}

// ---------------------------------------------------------------------------------------------
// Actions

void TCvToolButtonActionLink::AssignClient(TObject* AClient) {
  TControlActionLink::AssignClient(AClient);
  button_ = dynamic_cast<TCvToolButton*>(AClient);
  if (!button_) throw EInvalidCast("Invalid class typecast");
}

bool TCvToolButtonActionLink::IsCheckedLinked() {
  return TControlActionLink::IsCheckedLinked() && button_ && button_->Down() == CustomAction()->Checked();
}

bool TCvToolButtonActionLink::IsImageIndexLinked() {
  return TControlActionLink::IsImageIndexLinked() && button_ &&
         button_->ImageIndex() == CustomAction()->ImageIndex();
}

void TCvToolButtonActionLink::SetChecked(bool Value) {
  if (IsCheckedLinked()) button_->SetDown(Value);
}

void TCvToolButtonActionLink::SetImageIndex(int32_t Value) {
  if (IsImageIndexLinked()) button_->SetImageIndex(Value);
}

void TCvToolButton::ActionChange(TObject* Sender, bool CheckDefaults) {
  TGraphicControl::ActionChange(Sender, CheckDefaults);
  auto* action = dynamic_cast<TCustomAction*>(Sender);
  if (!action) return;
  if (!CheckDefaults || !down_) SetDown(action->Checked());
  if (!CheckDefaults || image_index_ == -1) SetImageIndex(action->ImageIndex());
}

TControlActionLinkClass TCvToolButton::GetActionLinkClass() { return ActionLinkClassOf<TCvToolButtonActionLink>(); }

void TCvToolButton::AssignTo(TPersistent* Dest) {
  if (auto* action = dynamic_cast<TCustomAction*>(Dest)) {
    action->SetChecked(down_);
    action->SetImageIndex(image_index_);
    return;
  }
  TGraphicControl::AssignTo(Dest);
}

// ---------------------------------------------------------------------------------------------
// Writes

PX_INVALIDATING_SETTER(TCvToolButton, ImageIndex, int32_t, image_index_)
PX_INVALIDATING_SETTER(TCvToolButton, DownIndex, int32_t, down_index_)
PX_INVALIDATING_SETTER(TCvToolButton, DisabledIndex, int32_t, disabled_index_)
PX_INVALIDATING_SETTER(TCvToolButton, HotIndex, int32_t, hot_index_)
PX_INVALIDATING_SETTER(TCvToolButton, GradientColorStyle, TCvGradientColorStyle, gradient_color_style_)
PX_INVALIDATING_SETTER(TCvToolButton, SelectionColorStart, TColor, selection_color_start_)
PX_INVALIDATING_SETTER(TCvToolButton, SelectionColorStop, TColor, selection_color_stop_)
PX_INVALIDATING_SETTER(TCvToolButton, SelectionFrameColor, TColor, selection_frame_color_)
PX_INVALIDATING_SETTER(TCvToolButton, Transparent, bool, transparent_)

void TCvToolButton::SetFlat(bool Value) {
  if (flat_ == Value) return;
  flat_ = Value;
  Repaint();
}

void TCvToolButton::SetShowCaption(bool Value) {
  show_caption_ = Value;
  use_toolbar_show_caption_ = false;
  Invalidate();
}

void TCvToolButton::SetVisualStyle(TCvVisualStyle Value) {
  visual_style_ = Value;
  use_toolbar_visual_style_ = false;
  Invalidate();
}

void TCvToolButton::SetLayout(TButtonLayout Value) {
  layout_ = Value;
  use_toolbar_button_layout_ = false;
  ApplyToolbarStyles();
  Invalidate();
}

void TCvToolButton::SetButtonWidth(int32_t Value) {
  if (Value == Width()) return;
  TGraphicControl::SetBounds(Left(), Top(), Value, Height());
  if (!IsLoading(this)) use_toolbar_button_size_ = false;
  Invalidate();
}

void TCvToolButton::SetButtonHeight(int32_t Value) {
  if (Value == Height()) return;
  TGraphicControl::SetBounds(Left(), Top(), Width(), Value);
  if (!IsLoading(this)) use_toolbar_button_size_ = false;
  Invalidate();
}

// The UseToolbar... switches would make the button pick up that setting from its container; there
// is none here, so they only record whether the button's own value was set.
void TCvToolButton::SetUseToolbarButtonLayout(bool Value) {
  use_toolbar_button_layout_ = Value;
  Invalidate();
}

void TCvToolButton::SetUseToolbarButtonSize(bool Value) {
  use_toolbar_button_size_ = Value;
  Invalidate();
}

void TCvToolButton::SetUseToolbarShowCaption(bool Value) {
  use_toolbar_show_caption_ = Value;
  Invalidate();
}

void TCvToolButton::SetUseToolbarVisualStyle(bool Value) {
  use_toolbar_visual_style_ = Value;
  Invalidate();
}

void TCvToolButton::FitToImages() {
  if (!images_) return;
  const int32_t w = std::max(Width(), images_->Width()), h = std::max(Height(), images_->Height());
  if (w != Width() || h != Height()) TGraphicControl::SetBounds(Left(), Top(), w, h);
}

void TCvToolButton::SetImages(TCustomImageList* Value) {
  SetLinkedImageList(images_, Value, image_change_link_.get(), this);
  FitToImages();
  Invalidate();
}

void TCvToolButton::ImageListChange(TObject* Sender) {
  if (Sender != images_) return;
  FitToImages();
  Invalidate();
}

void TCvToolButton::SetDropDownMenu(TPopupMenu* Value) {
  drop_down_menu_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TCvToolButton::SetToolStyle(TCvToolStyle Value) {
  if (tool_style_ == Value) return;
  tool_style_ = Value;
  group_index_ = 0;
  if (!IsLoading(this))
    TGraphicControl::SetBounds(Left(), Top(), Width() + (Value == tsDropDown ? kArrowSection : -kArrowSection),
                               Height());
  Invalidate();
}

void TCvToolButton::SetGroupIndex(int32_t Value) {
  if (group_index_ == Value) return;
  group_index_ = tool_style_ == tsDropDown ? 0 : Value;
  NotifyGroup();
}

void TCvToolButton::SetAllowAllUp(bool Value) {
  allow_all_up_ = Value;
  NotifyGroup();
}

void TCvToolButton::SetDown(bool Value) {
  if (group_index_ == 0) Value = false;
  if (Value == down_ || (down_ && !allow_all_up_)) return;
  down_ = Value;
  if (Enabled()) state_ = Value ? 3 : 0;
  Invalidate();
  if (Value) NotifyGroup();
}

void TCvToolButton::NotifyGroup() {
  if (group_index_ == 0 || !Parent()) return;
  TMessage m{CM_BUTTONPRESSED, static_cast<WPARAM>(group_index_), reinterpret_cast<LPARAM>(this), 0};
  Parent()->Broadcast(m);
}

void TCvToolButton::CMButtonPressed(TCMButtonPressed& Message) {
  auto* sender = dynamic_cast<TCvToolButton*>(Message.Control);
  if (static_cast<int32_t>(Message.Index) != group_index_ || !sender || sender == this) return;
  if (sender->Down() && down_) {
    down_ = false;
    state_ = 0;
    Invalidate();
  }
  allow_all_up_ = sender->AllowAllUp();
}

void TCvToolButton::CMDialogChar(TWMKey& Message) {
  if (IsAccel(Message.CharCode, Caption()) && Enabled() && Visible() && Parent() && Parent()->Showing()) {
    if (tool_style_ == tsButton || IsSplit()) Click();
    else DropDown();
    Message.Result = 1;
    return;
  }
  TMessage m = Message.ToMessage();
  TGraphicControl::Dispatch(m);
  Message.Result = m.Result;
}

void TCvToolButton::Dispatch(TMessage& Message) {
  if (Message.Msg == CM_BUTTONPRESSED) {
    TCMButtonPressed m(Message);
    CMButtonPressed(m);
    return;
  }
  if (Message.Msg == CM_DIALOGCHAR) {
    TWMKey m(Message);
    CMDialogChar(m);
    Message.Result = m.Result;
    return;
  }
  TGraphicControl::Dispatch(Message);
}

void TCvToolButton::CMTextChanged(TWMNoParams& Message) {
  TGraphicControl::CMTextChanged(Message);
  ApplyToolbarStyles();
  Invalidate();
}

void TCvToolButton::CMMouseEnter(TCMMouseEnterLeave& Message) {
  if (IsDesigning(this)) return;
  TGraphicControl::CMMouseEnter(Message);
  hot_ = true;
  if (on_mouse_enter_) on_mouse_enter_(this);
  if (FlatLook()) Repaint();
}

void TCvToolButton::CMMouseLeave(TCMMouseEnterLeave& Message) {
  TGraphicControl::CMMouseLeave(Message);
  if (!menu_showing_) hot_ = false;
  if (on_mouse_leave_) on_mouse_leave_(this);
  if (FlatLook()) Repaint();
}

void TCvToolButton::SkipBoolean(TReader& Reader) { TCvOldPropReader::SkipBooleanProp(Reader); }
void TCvToolButton::ReadGradientColorStart(TReader& Reader) { SetSelectionColorStart(ReadStoredColor(Reader)); }
void TCvToolButton::ReadGradientColorStop(TReader& Reader) { SetSelectionColorStop(ReadStoredColor(Reader)); }
void TCvToolButton::ReadFrameColor(TReader& Reader) { SetSelectionFrameColor(ReadStoredColor(Reader)); }
void TCvToolButton::ReadUseGradients(TReader& Reader) {
  if (Reader.ReadBoolean()) SetVisualStyle(vsGradient);
}

// ---------------------------------------------------------------------------------------------
// Painting

void TCvToolButton::GradientColors(TColor& Frame, TColor& Start, TColor& Stop) const {
  if (gradient_color_style_ == gcsCustom) {
    Frame = selection_frame_color_;
    Start = selection_color_start_;
    Stop = selection_color_stop_;
  } else {
    GetSchemeSelectionColors(gradient_color_style_, Frame, Start, Stop);
  }
}

void TCvToolButton::Paint() {
  if (!Enabled()) {
    state_ = 1;
    pressed_ = false;
  } else if (state_ == 1) {
    state_ = down_ && group_index_ != 0 ? 3 : 0;
  }
  TCanvas* c = Canvas();
  c->Pen()->SetWidth(1);
  c->Pen()->SetStyle(psSolid);
  TRect r = ClientRect();
  DrawFace(r);
  if (!transparent_) {
    c->Brush()->SetColor(Color());
    c->FillRect(r);
  }
  // A latched classic button shows the checker pattern (not while flat and hot).
  if (state_ == 3 && visual_style_ != vsGradient && !(FlatLook() && hot_)) {
    TBitmap* pattern = transparent_ ? AllocPatternBitmap(clBtnFace, clBtnHighlight)
                                    : AllocPatternBitmap(Color(), TintColor(Color(), 20));
    FillWithPattern(c, r, pattern);
  }
  if (tool_style_ == tsDropDown) DrawDropDownSection();
  TRect imageRect, captionRect;
  CalcLayout(imageRect, captionRect);
  DrawImage(imageRect);
  DrawCaption(captionRect);
}

void TCvToolButton::DrawFace(TRect& R) {
  TCanvas* c = Canvas();
  const bool designing = IsDesigning(this);
  if (!FlatLook()) {
    R = PaintFrameStyle(c, R, state_ == 2 || state_ == 3 ? fsLowered : fsButtonUp);
    return;
  }
  if (!(state_ == 2 || state_ == 3 || (hot_ && state_ != 1) || designing)) return;
  if (visual_style_ != vsGradient) {
    R = PaintFrameStyle(c, R, state_ == 2 || state_ == 3 ? fsStatus : fsPopup);
    return;
  }
  TColor frame, start, stop;
  GradientColors(frame, start, stop);
  if (designing) {
    R.Inflate(-1, -1);
    R = PaintBoxCorners(c, R, frame, 4);
  } else {
    R = PaintBox(c, R, frame);
  }
  TColor first = start, second = stop;
  switch (state_) {
    case 2:
    case 4:
      first = stop;
      second = start;
      break;
    case 3:
      if (!hot_) {
        first = ShadeColor(stop, 40);
        second = start;
      } else if (down_) {
        first = stop;
        second = start;
      }
      break;
    default:
      if (designing) return;
      break;
  }
  PaintGradientRect(c, R, TGradientDirection::gdHorizontalEnd, first, second, 1);
}

void TCvToolButton::GetImageSize(TPoint& Size) {
  Size = images_ ? TPoint(images_->Width(), images_->Height()) : TPoint(0, 0);
}

void TCvToolButton::CalcLayout(TRect& ImageRect, TRect& CaptionRect) {
  TRect r = ClientRect();
  if (tool_style_ == tsDropDown) r.Right -= kArrowSection;
  r.Inflate(-2, -2);
  TPoint g;
  GetImageSize(g);
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  const std::string caption = Caption();
  if (show_caption_ && !caption.empty()) {
    TRect t = r;
    switch (layout_) {
      case blGlyphLeft: t.Left += g.X; break;
      case blGlyphRight: t.Right -= g.X; break;
      case blGlyphTop: t.Top += g.Y; break;
      case blGlyphBottom: t.Bottom -= g.Y; break;
    }
    t = CanvasTextRect(c, caption, t, DT_EXPANDTABS | DT_WORDBREAK | DT_VCENTER | DT_CENTER);
    const int32_t tw = t.Width(), th = t.Height();
    const int32_t w = r.Width(), h = r.Height();
    int32_t gx = 0, gy = 0, tx = 0, ty = 0;
    switch (layout_) {
      case blGlyphLeft:
        gx = r.Left + (w - (g.X + 4 + tw)) / 2;
        gy = r.Top + (h - g.Y) / 2;
        tx = gx + g.X + 4;
        ty = r.Top + (h - th) / 2;
        break;
      case blGlyphRight:
        gx = r.Right - g.X - (w - (g.X + 4 + tw)) / 2;
        gy = r.Top + (h - g.Y) / 2;
        tx = gx - tw - 4;
        ty = r.Top + (h - th) / 2;
        break;
      case blGlyphTop:
        gx = r.Left + (w - g.X) / 2;
        gy = r.Top + (h - (g.Y + 4 + th)) / 2;
        tx = r.Left + (w - tw) / 2;
        ty = gy + g.Y + 4;
        break;
      case blGlyphBottom:
        gx = r.Left + (w - g.X) / 2;
        gy = r.Bottom - g.Y - (h - (g.Y + 4 + th)) / 2;
        tx = r.Left + (w - tw) / 2;
        ty = gy - th - 4;
        break;
    }
    ImageRect = TRect(gx, gy, gx + g.X, gy + g.Y);
    CaptionRect = TRect(tx, ty, tx + tw, ty + th);
  } else {
    ImageRect = CenteredRect(r, g.X, g.Y);
    CaptionRect = TRect();
  }
  const bool wholeDropDown = tool_style_ == tsDropDown && !IsSplit();
  if ((state_ == 2 || state_ == 3 || (state_ == 4 && wholeDropDown)) && visual_style_ != vsGradient) {
    ImageRect.Offset(1, 1);
    CaptionRect.Offset(1, 1);
  }
}

void TCvToolButton::DrawImage(const TRect& R) {
  if (!images_ || image_index_ == -1) return;
  const bool wholeDropDown = tool_style_ == tsDropDown && !IsSplit();
  const bool hotImage = hot_index_ != -1 && hot_ && Enabled();
  if ((state_ == 2 || state_ == 3 || (state_ == 4 && wholeDropDown)) && down_index_ != -1) {
    images_->Draw(Canvas(), R.Left, R.Top, down_index_, true);
  } else if (disabled_index_ == -1) {
    images_->Draw(Canvas(), R.Left, R.Top, hotImage ? hot_index_ : image_index_, Enabled());
  } else {
    images_->Draw(Canvas(), R.Left, R.Top, Enabled() ? (hotImage ? hot_index_ : image_index_) : disabled_index_,
                  true);
  }
}

void TCvToolButton::DrawCaption(const TRect& R) {
  if (!show_caption_) return;
  TCanvas* c = Canvas();
  c->Brush()->SetStyle(bsClear);
  c->Font()->Assign(Font());
  TColor color = Font()->Color();
  if (visual_style_ != vsGradient && state_ == 2) color = clHighlightText;
  if (!Enabled()) color = clBtnShadow;
  CanvasText(c, Caption(), R, DT_EXPANDTABS | DT_WORDBREAK | DT_VCENTER | DT_CENTER, color);
  c->Brush()->SetStyle(bsSolid);
}

void TCvToolButton::DrawArrow() {
  TCanvas* c = Canvas();
  int32_t cx = Width() - 8, cy = ClientHeight() / 2 + 2;
  if ((state_ == 2 || state_ == 4) && visual_style_ != vsGradient) {
    ++cx;
    ++cy;
  }
  const TColor color = Enabled() ? clWindowText : clBtnShadow;
  c->Pen()->SetColor(color);
  c->Brush()->SetColor(color);
  c->Polygon({TPoint(cx, cy), TPoint(cx - 2, cy - 2), TPoint(cx + 2, cy - 2)});
}

void TCvToolButton::DrawDropDownSection() {
  TCanvas* c = Canvas();
  int32_t x = Width() - kArrowSection;
  const bool gradient = visual_style_ == vsGradient;
  if (state_ == 4) {
    TRect section = ClientRect();
    if (IsSplit()) section.Left = Width() - (gradient ? kArrowSection + 1 : kArrowSection);
    if (gradient) {
      TColor frame, start, stop;
      GetSchemeSelectionColors(gradient_color_style_, frame, start, stop);
      section = PaintBox(c, section, frame);
      PaintGradientRect(c, section, TGradientDirection::gdHorizontalEnd, stop, start, 1);
    } else {
      PaintFrameStyle(c, section, fsStatus);
    }
  } else if ((FlatLook() && hot_ && Enabled()) || (!FlatLook() && Enabled())) {
    if (state_ == 2 && !gradient) ++x;
    if (IsSplit()) {
      if (gradient) {
        TColor frame, start, stop;
        GetSchemeSelectionColors(gradient_color_style_, frame, start, stop);
        c->Pen()->SetColor(frame);
        c->MoveTo(x - 1, 0);
        c->LineTo(x - 1, Height());
      } else {
        if (state_ != 2) {
          c->Pen()->SetColor(clBtnHighlight);
          c->MoveTo(x, 0);
          c->LineTo(x, Height());
        }
        c->Pen()->SetColor(clBtnShadow);
        c->MoveTo(x - 1, 0);
        c->LineTo(x - 1, Height());
      }
    }
  }
  DrawArrow();
}

// ---------------------------------------------------------------------------------------------
// Mouse and menu

void TCvToolButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  auto pressMain = [&] {
    if (Button != mbLeft || !Enabled()) return;
    if (!down_ || state_ == 3) {
      state_ = 2;
      Invalidate();
    }
    pressed_ = true;
  };
  if (tool_style_ == tsButton) {
    pressMain();
    return;
  }
  const bool onlyLeft = Button == mbLeft && (Shift * TShiftState{ssShift, ssCtrl, ssAlt}).Empty();
  const bool toMenu = drop_down_menu_ && onlyLeft && (X >= Width() - kArrowSection || !IsSplit());
  if (!toMenu) {
    if (click_armed_) pressMain();
    else click_armed_ = true;
    return;
  }
  if (drop_down_menu_->Items()->Count() == 0) return;
  const uint32_t now = GetTickCount();
  if (last_drop_time_ != 0 && now - last_drop_time_ < 100) {
    click_armed_ = true;
    last_drop_time_ = 0;
    SetMouseCapture(false);
  } else {
    state_ = 4;
    Repaint();
    DropDown();
    click_armed_ = false;
    last_drop_time_ = GetTickCount();
  }
  MouseUp(Button, Shift, X, Y);
}

void TCvToolButton::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (pressed_) {
    const bool inside = ClientRect().Contains(TPoint(X, Y));
    const uint8_t state = down_ ? 3 : (inside ? 2 : 0);
    if (state != state_) {
      state_ = state;
      Invalidate();
    }
  } else if (!hot_) {
    UpdateHotState();
  }
}

void TCvToolButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (pressed_) {
    pressed_ = false;
    const bool inside = ClientRect().Contains(TPoint(X, Y));
    if (group_index_ == 0) {
      state_ = 0;
      hot_ = false;
      if (inside) {
        Repaint();
        Click();
      }
    } else if (inside) {
      const bool was = down_;
      SetDown(!down_);
      if (down_) state_ = 3;
      Repaint();
      if (down_ != was) Click();
    } else {
      if (down_) state_ = 3;
      Repaint();
    }
    UpdateHotState();
  }
  if (tool_style_ == tsDropDown) {
    TPoint p;
    GetCursorPos(&p);
    if (!ClientRect().Contains(ScreenToClient(p))) click_armed_ = true;
    state_ = 0;
    Repaint();
    UpdateHotState();
  }
}

void TCvToolButton::UpdateHotState() {
  if (!FlatLook() || !Enabled()) return;
  TPoint p;
  GetCursorPos(&p);
  if (FindDragTarget(p, true) == this) Perform(CM_MOUSEENTER);
  else Perform(CM_MOUSELEAVE);
  if (menu_showing_) hot_ = true;
}

void TCvToolButton::DropDown() {
  if (!drop_down_menu_) return;
  menu_showing_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{menu_showing_};
  TPopupMenu* menu = drop_down_menu_;
  if (on_drop_down_) on_drop_down_(menu);
  TPoint p = ClientToScreen(TPoint(0, Height()));
  // The menu's width, estimated from its widest top-level caption in the menu font.
  int32_t widest = 0;
  if (HDC dc = GetDC(nullptr)) {
    HGDIOBJ old = SelectObject(dc, Screen()->MenuFont()->Handle());
    for (int32_t i = 0; i < menu->Items()->Count(); ++i) {
      TRect r;
      DrawText(dc, menu->Items()->Items(i)->Caption(), &r, DT_CALCRECT | DT_SINGLELINE);
      widest = std::max(widest, r.Width());
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
  }
  const int32_t width = widest + 56;
  TMonitor* monitor = MonitorAtPoint(p);
  const TRect work = monitor ? MonitorWorkArea(monitor) : Parent() ? ActiveWorkAreaOf(Parent()) : Screen()->WorkAreaRect();
  if (p.X + width > work.Right) p.X -= width - Width();
  menu->SetPopupComponent(this);
  menu->Popup(p.X, p.Y);
  if (group_index_ != 0 && !down_) Click();
}
