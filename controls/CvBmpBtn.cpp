// The bitmap button.
#include "controls/CvBmpBtn.h"

#include <algorithm>

#include "controls/CvControlsInternal.h"
#include "controls/CvGrafx.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/WinGdi_text.h"

namespace {

// The down pattern all bitmap buttons share, and how many buttons live.
std::unique_ptr<TBitmap> g_down_pattern;
int32_t g_button_count = 0;

constexpr uint8_t kUp = 0, kDisabled = 1, kPressed = 2, kLatched = 3;

// 8 x 8 in clBtnFace with white where the column's and the row's parity agree.
void CreateDownPattern() {
  g_down_pattern = std::make_unique<TBitmap>();
  g_down_pattern->SetSize(8, 8);
  TCanvas* c = g_down_pattern->Canvas();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(TRect(0, 0, 8, 8));
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = y % 2; x < 8; x += 2) c->SetPixels(x, y, clWhite);
}

bool Present(TBitmap* B) { return B && !B->Empty(); }

}  // namespace

PTypeInfo TypeInfo_TButtonBorder() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TButtonBorder", {"bbNone", "bbSingle", "bbButton"});
  return &info;
}

PTypeInfo TypeInfo_TBtnSize() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TBtnSize", {"bszNeither", "bszButtonToBitmap", "bszStretchToButton", "bszTileToButton"});
  return &info;
}

PTypeInfo TypeInfo_TButtonStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TButtonStyle", {"bsAutoDetect", "bsWin31", "bsNew"});
  return &info;
}

// =============================================================================================
// TCvButtonBitmaps

PX_CLASS_INFO(TCvButtonBitmaps, TPersistent, [](TPropertyBuilder<TCvButtonBitmaps>& b) {
  using C = TCvButtonBitmaps;
  b.Object<TBitmap>("Up", &C::Up, &C::SetUp);
  b.Object<TBitmap>("UpAndFocused", &C::UpAndFocused, &C::SetUpAndFocused);
  b.Object<TBitmap>("Disabled", &C::Disabled, &C::SetDisabled);
  b.Object<TBitmap>("Down", &C::Down, &C::SetDown);
  b.Object<TBitmap>("StayDown", &C::StayDown, &C::SetStayDown);
  b.Object<TBitmap>("Hot", &C::Hot, &C::SetHot);
  b.Int("TransparentColor", &C::TransparentColor, &C::SetTransparentColor, TypeInfo_TColor()).NoDefault();
})

TCvButtonBitmaps::TCvButtonBitmaps()
    : up_(std::make_unique<TBitmap>()),
      up_and_focused_(std::make_unique<TBitmap>()),
      disabled_(std::make_unique<TBitmap>()),
      down_(std::make_unique<TBitmap>()),
      stay_down_(std::make_unique<TBitmap>()),
      hot_(std::make_unique<TBitmap>()) {
  for (TBitmap* b : {up_.get(), up_and_focused_.get(), disabled_.get(), down_.get(), stay_down_.get(), hot_.get()})
    b->SetOnChange(TNotifyEvent(this, &TCvButtonBitmaps::BitmapChanged));
}

TCvButtonBitmaps::~TCvButtonBitmaps() = default;

void TCvButtonBitmaps::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TCvButtonBitmaps*>(Source);
  if (!s) {
    TPersistent::Assign(Source);
    return;
  }
  SetUp(s->Up());
  SetUpAndFocused(s->UpAndFocused());
  SetDisabled(s->Disabled());
  SetDown(s->Down());
  SetStayDown(s->StayDown());
  SetHot(s->Hot());
  SetTransparentColor(s->TransparentColor());
}

void TCvButtonBitmaps::SetTransparentColor(TColor Value) {
  if (transparent_color_ == Value) return;
  transparent_color_ = Value;
  BitmapChanged(this);
}

void TCvButtonBitmaps::BitmapChanged(TObject*) {
  if (on_change_) on_change_(this);
}

// =============================================================================================
// TCvBmpButton

PX_CLASS_INFO(TCvBmpButton, TCustomControl, [](TPropertyBuilder<TCvBmpButton>& b) {
  using C = TCvBmpButton;
  b.Enum("About", TypeInfo_TCvAboutInfo(), &C::About, &C::SetAbout).Stored(false);
  b.Bool("AllowAllUp", &C::AllowAllUp, &C::SetAllowAllUp).Default(false);
  b.Int("CaptionDownOffset", &C::CaptionDownOffset, &C::SetCaptionDownOffset).Default(1);
  b.Int("ModalResult", &C::ModalResult, &C::SetModalResult, TypeInfo_TModalResult()).Default(0);
  b.Int("GroupIndex", &C::GroupIndex, &C::SetGroupIndex).Default(0);
  b.Bool("Down", &C::Down, &C::SetDown).Default(false);
  b.Object<TCvButtonBitmaps>("Bitmaps", &C::Bitmaps, &C::SetBitmaps);
  b.Redeclare("Color").NoDefault().Stored(true);
  b.Enum("ButtonBorder", TypeInfo_TButtonBorder(), &C::ButtonBorder, &C::SetButtonBorder).Default(bbNone);
  b.Bool("ShowDownPattern", &C::ShowDownPattern, &C::SetShowDownPattern).Default(true);
  b.Bool("ShowFocus", &C::ShowFocus, &C::SetShowFocus).Default(true);
  b.Enum("ButtonSize", TypeInfo_TBtnSize(), &C::ButtonSize, &C::SetButtonSize).Default(bszButtonToBitmap);
  b.Enum("ButtonStyle", TypeInfo_TButtonStyle(), &C::ButtonStyle, &C::SetButtonStyle)
      .Default(TButtonStyle::bsAutoDetect);
  b.Enum("Layout", TypeInfo_TButtonLayout(), &C::Layout, &C::SetLayout).Default(blGlyphLeft);
  b.Int("Margin", &C::Margin, &C::SetMargin).Default(-1);
  b.Int("Spacing", &C::Spacing, &C::SetSpacing).Default(4);
  b.Event("OnMouseEnter", &C::OnMouseEnter, &C::SetOnMouseEnter);
  b.Event("OnMouseLeave", &C::OnMouseLeave, &C::SetOnMouseLeave);
  b.Redeclare("TabStop").Default(true);
  b.Redeclare("Width").Default(80);
  b.Redeclare("Height").Default(30);
})

TCvBmpButton::TCvBmpButton(TComponent* AOwner)
    : TCustomControl(AOwner), bitmaps_(std::make_unique<TCvButtonBitmaps>()) {
  SetBounds(Left(), Top(), 80, 30);
  SetControlStyle(TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks});
  bitmaps_->SetOnChange(TNotifyEvent(this, &TCvBmpButton::BitmapsChanged));
  SetColor(clBtnFace);
  SetParentFont(true);
  SetTabStop(true);
  ++g_button_count;
}

TCvBmpButton::~TCvBmpButton() {
  if (--g_button_count == 0) g_down_pattern.reset();
}

TBitmap* TCvBmpButton::DownPattern() { return g_down_pattern.get(); }

void TCvBmpButton::Loaded() {
  TCustomControl::Loaded();
  AdjustToBitmap();
}

bool TCvBmpButton::NewStyle() const {
  return button_style_ == TButtonStyle::bsNew || (button_style_ == TButtonStyle::bsAutoDetect && NewStyleControls);
}

HPALETTE TCvBmpButton::GetPalette() { return bitmaps_->Up()->Palette(); }

void TCvBmpButton::RepaintNow() {
  if (HandleAllocated()) Repaint();
}

// ---------------------------------------------------------------------------------------------
// Writes

void TCvBmpButton::SetAllowAllUp(bool Value) {
  if (allow_all_up_ == Value) return;
  allow_all_up_ = Value;
  UpdateGroup();
}

void TCvBmpButton::SetGroupIndex(int32_t Value) {
  if (group_index_ == Value) return;
  group_index_ = Value;
  UpdateGroup();
}

PX_CHANGING_SETTER(TCvBmpButton, ButtonBorder, TButtonBorder, button_border_, AdjustToBitmap(); Invalidate())
PX_CHANGING_SETTER(TCvBmpButton, ButtonSize, TBtnSize, button_size_, AdjustToBitmap(); Invalidate())
PX_CHANGING_SETTER(TCvBmpButton, ButtonStyle, TButtonStyle, button_style_, AdjustToBitmap(); Invalidate())

PX_INVALIDATING_SETTER(TCvBmpButton, CaptionDownOffset, int32_t, caption_down_offset_)
PX_INVALIDATING_SETTER(TCvBmpButton, Layout, TButtonLayout, layout_)
PX_INVALIDATING_SETTER(TCvBmpButton, ShowDownPattern, bool, show_down_pattern_)
PX_INVALIDATING_SETTER(TCvBmpButton, ShowFocus, bool, show_focus_)
PX_INVALIDATING_SETTER(TCvBmpButton, Spacing, int32_t, spacing_)

void TCvBmpButton::SetMargin(int32_t Value) {
  if (margin_ == Value || Value < -1) return;
  margin_ = Value;
  Invalidate();
}

void TCvBmpButton::SetDown(bool Value) {
  if (group_index_ == 0) Value = false;
  // A latched member cannot release itself without AllowAllUp.
  if (Value == down_ || (down_ && !allow_all_up_)) return;
  down_ = Value;
  state_ = Value ? kLatched : kUp;
  Invalidate();
  if (Value) UpdateGroup();
}

void TCvBmpButton::UpdateGroup() {
  if (group_index_ != 0 && Parent()) {
    TMessage m{CM_CVBMPBUTTONPRESSED, static_cast<WPARAM>(group_index_), reinterpret_cast<LPARAM>(this), 0};
    Parent()->Broadcast(m);
  } else {
    state_ = kUp;
  }
}

void TCvBmpButton::AdjustToBitmap() {
  TBitmap* up = bitmaps_->Up();
  if (IsLoading(this) || button_size_ == bszNeither || !Present(up)) return;
  if (button_size_ == bszButtonToBitmap) {
    int32_t b = 0;
    if (button_border_ == bbSingle) b = 1;
    else if (button_border_ == bbButton) b = NewStyle() ? 2 : 3;
    SetBounds(Left(), Top(), up->Width() + 2 * b, up->Height() + 2 * b);
  }
  Invalidate();
}

void TCvBmpButton::BitmapsChanged(TObject*) {
  if (button_size_ == bszButtonToBitmap) AdjustToBitmap();
  Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Input

uint8_t TCvBmpButton::PressStateAt(int32_t X, int32_t Y) {
  // The row just below the client area counts as inside.
  const bool inside = X >= 0 && X < ClientWidth() && Y >= 0 && Y <= ClientHeight();
  if (down_) return kLatched;
  return inside ? kPressed : kUp;
}

void TCvBmpButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Enabled() && !focused_ && IsWindowVisible(Handle())) ::SetFocus(Handle());
  if (Button != mbLeft || !Enabled() || !focused_) return;
  if (!down_) {
    state_ = kPressed;
    RepaintNow();
  }
  tracking_ = true;
}

void TCvBmpButton::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!tracking_) return;
  const uint8_t state = PressStateAt(X, Y);
  if (state == state_) return;
  state_ = state;
  RepaintNow();
}

void TCvBmpButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (!tracking_) return;
  tracking_ = false;
  // The release is judged as a move there: outside, an up member shows up again.
  const bool inside = X >= 0 && X < ClientWidth() && Y >= 0 && Y <= ClientHeight();
  state_ = PressStateAt(X, Y);
  UpdateGroup();
  FinishPress(inside);
}

void TCvBmpButton::FinishPress(bool Activate) {
  if (group_index_ == 0) {
    RepaintNow();
  } else if (Activate) {
    SetDown(!down_);
  } else {
    if (down_) state_ = kLatched;
    RepaintNow();
  }
  if (Activate) Click();
}

void TCvBmpButton::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == VK_RETURN) {
    Click();
  } else if (Key == VK_SPACE && Enabled()) {
    if (!down_) {
      state_ = kPressed;
      RepaintNow();
    }
    tracking_ = true;
  }
}

void TCvBmpButton::KeyUp(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyUp(Key, Shift);
  if (!tracking_) return;
  tracking_ = false;
  if (!down_) state_ = kUp;
  FinishPress(true);
}

void TCvBmpButton::Click() {
  SetParentModalResult(this, modal_result_);
  TCustomControl::Click();
}

void TCvBmpButton::Dispatch(TMessage& Message) {
  if (Message.Msg == CM_CVBMPBUTTONPRESSED) {
    auto* sender = reinterpret_cast<TCvBmpButton*>(Message.LParam);
    if (static_cast<int32_t>(Message.WParam) != group_index_ || !sender || sender == this) return;
    if (sender->Down() && down_) {
      down_ = false;
      state_ = kUp;
      Invalidate();
    }
    allow_all_up_ = sender->AllowAllUp();
    return;
  }
  TCustomControl::Dispatch(Message);
}

void TCvBmpButton::WMSetFocus(TWMSetFocus& Message) {
  TCustomControl::WMSetFocus(Message);
  focused_ = true;
  Invalidate();
}

void TCvBmpButton::WMKillFocus(TWMSetFocus& Message) {
  TCustomControl::WMKillFocus(Message);
  focused_ = false;
  Invalidate();
}

void TCvBmpButton::WMSize(TWMSize& Message) {
  TCustomControl::WMSize(Message);
  AdjustToBitmap();
}

void TCvBmpButton::WMLButtonDblClk(TWMMouse& Message) {
  TCustomControl::WMLButtonDblClk(Message);
  if (down_) DblClick();
}

void TCvBmpButton::CMEnabledChanged(TWMNoParams& Message) {
  TCustomControl::CMEnabledChanged(Message);
  Invalidate();
}

void TCvBmpButton::CMFontChanged(TWMNoParams&) { Invalidate(); }
void TCvBmpButton::CMTextChanged(TWMNoParams&) { Invalidate(); }
void TCvBmpButton::CMSysColorChange(TWMNoParams&) { Invalidate(); }

void TCvBmpButton::CMDialogChar(TWMKey& Message) {
  if (IsAccel(Message.CharCode, Caption()) && Enabled()) {
    Click();
    Message.Result = 1;
    return;
  }
  TCustomControl::CMDialogChar(Message);
}

void TCvBmpButton::CMMouseEnter(TCMMouseEnterLeave& Message) {
  if (IsDesigning(this)) return;
  mouse_over_ = true;
  TCustomControl::CMMouseEnter(Message);
  if (on_mouse_enter_) on_mouse_enter_(this);
  if (Present(bitmaps_->Hot())) Invalidate();
}

void TCvBmpButton::CMMouseLeave(TCMMouseEnterLeave& Message) {
  mouse_over_ = false;
  TCustomControl::CMMouseLeave(Message);
  if (on_mouse_leave_) on_mouse_leave_(this);
  if (Present(bitmaps_->Hot())) Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Painting

void TCvBmpButton::ComputeLayout(TRect& T, TRect& A, TBitmap* P) {
  const TPoint cs(A.Width(), A.Height());
  TPoint gs(0, 0);
  if (Present(P) && button_size_ == bszNeither) gs = TPoint(P->Width(), P->Height());
  const std::string caption = Caption();
  T = TRect();
  if (!caption.empty()) {
    TCanvas* c = Canvas();
    c->Font()->Assign(Font());
    T = CanvasTextRect(c, caption, TRect(0, 0, cs.X, 0), DT_SINGLELINE);
  }
  const TPoint ts(T.Width(), T.Height());
  const bool horizontal = layout_ == blGlyphLeft || layout_ == blGlyphRight;
  TPoint gp, tp;
  if (horizontal) {
    gp.Y = cs.Y / 2 - gs.Y / 2;
    tp.Y = cs.Y / 2 - ts.Y / 2;
  } else {
    gp.X = cs.X / 2 - gs.X / 2;
    tp.X = cs.X / 2 - ts.X / 2;
  }
  // Along the layout axis.
  const int32_t L = horizontal ? cs.X : cs.Y;
  const int32_t G = horizontal ? gs.X : gs.Y;
  const int32_t Tl = horizontal ? ts.X : ts.Y;
  int32_t s = spacing_, m = margin_;
  if (ts.X == 0 || gs.X == 0) s = 0;
  if (m == -1 && s == -1) {
    m = (L - (G + Tl)) / 3;
    s = m;
  } else if (m == -1) {
    m = L / 2 - (G + s + Tl) / 2;
  } else if (s == -1) {
    s = (L - m - G) / 2 - Tl / 2;
  }
  switch (layout_) {
    case blGlyphLeft:
      gp.X = m;
      tp.X = m + gs.X + s;
      break;
    case blGlyphRight:
      gp.X = cs.X - m - gs.X;
      tp.X = gp.X - s - ts.X;
      break;
    case blGlyphTop:
      gp.Y = m;
      tp.Y = m + gs.Y + s;
      break;
    case blGlyphBottom:
      gp.Y = cs.Y - m - gs.Y;
      tp.Y = gp.Y - s - ts.Y;
      break;
  }
  T.Offset(A.Left + tp.X, A.Top + tp.Y);
  if (gs.X != 0 && gs.Y != 0) A = Bounds(A.Left + gp.X, A.Top + gp.Y, gs.X, gs.Y);
}

void TCvBmpButton::MakeDisabledPicture(TBitmap* Result) {
  TBitmap* up = bitmaps_->Up();
  const int32_t W = up->Width(), H = up->Height();
  Result->SetSize(W, H);
  Result->SetPixelFormat(pf32bit);
  TBitmap source;
  source.Assign(up);
  source.SetPixelFormat(pf32bit);
  // The mask marks the pixels of its brush colour: black, or white in a monochrome picture.
  const uint32_t marked = up->Monochrome() ? 0xFFFFFF : 0;
  std::vector<uint8_t> mask(static_cast<size_t>(W) * H);
  for (int32_t y = 0; y < H; ++y) {
    const auto* row = static_cast<const uint32_t*>(source.ScanLine(y));
    for (int32_t x = 0; x < W; ++x) mask[static_cast<size_t>(y) * W + x] = (row[x] & 0xFFFFFF) == marked;
  }
  auto at = [&](int32_t x, int32_t y) { return x >= 0 && y >= 0 && x < W && y < H && mask[static_cast<size_t>(y) * W + x]; };
  // On clBtnFace: a white copy of the shape one pixel down and right, then the shape in
  // clBtnShadow over it.
  const uint32_t face = static_cast<uint32_t>(ColorToRGB(clBtnFace)), shadow = static_cast<uint32_t>(ColorToRGB(clBtnShadow));
  auto bgr = [](uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); };
  for (int32_t y = 0; y < H; ++y) {
    auto* row = static_cast<uint32_t*>(Result->ScanLine(y));
    for (int32_t x = 0; x < W; ++x) {
      uint32_t c = face;
      if (at(x - 1, y - 1)) c = 0xFFFFFF;
      if (at(x, y)) c = shadow;
      row[x] = bgr(c);
    }
  }
}

void TCvBmpButton::Paint() {
  const int32_t W = Width(), H = Height();
  if (W <= 0 || H <= 0) return;
  // The window keeps its own pixels and shows them when painting ends: the button draws on it
  // directly.
  TCanvas* c = Canvas();
  if (!Enabled() && !IsDesigning(this)) {
    state_ = kDisabled;
    tracking_ = false;
  } else if (state_ == kDisabled) {
    state_ = kUp;
  }
  const bool newStyle = NewStyle();
  const int32_t bw = newStyle ? 1 : 2;
  const TRect client(0, 0, W, H);
  TRect r = client;
  c->Brush()->SetColor(Color());
  switch (button_border_) {
    case bbNone:
      PaintParentBackground(this, c, false);
      if (IsDesigning(this)) {
        c->Pen()->SetStyle(psDot);
        c->Brush()->SetStyle(bsClear);
        c->Rectangle(client);
        c->Pen()->SetStyle(psSolid);
        c->Brush()->SetStyle(bsSolid);
      }
      break;
    case bbSingle:
      c->FillRect(r);
      c->Brush()->SetColor(clBlack);
      c->FrameRect(r);
      c->Brush()->SetColor(Color());
      r.Inflate(-1, -1);
      break;
    case bbButton:
      r = DrawButtonFace(c->Handle(), client, bw, button_style_, !newStyle, state_ == kPressed || state_ == kLatched,
                         focused_ && show_focus_);
      r.Inflate(-1, -1);
      break;
  }
  if (state_ == kLatched && show_down_pattern_) {
    if (!g_down_pattern) CreateDownPattern();
    if (button_border_ != bbNone) {
      const int32_t k = newStyle ? 2 : 1;
      FillWithPattern(c, TRect(r.Left - bw, r.Top - bw, r.Right - k + bw, r.Bottom - k + bw), g_down_pattern.get());
    }
  }
  // The picture of the state.
  TCvButtonBitmaps* b = bitmaps_.get();
  TBitmap* picture = nullptr;
  TBitmap generated;
  if (Present(b->Up()) || (Present(b->Disabled()) && state_ == kDisabled)) {
    switch (state_) {
      case kDisabled:
        if (Present(b->Disabled())) {
          picture = b->Disabled();
        } else {
          MakeDisabledPicture(&generated);
          picture = &generated;
        }
        break;
      case kPressed: picture = Present(b->Down()) ? b->Down() : b->Up(); break;
      case kLatched:
        picture = Present(b->StayDown()) ? b->StayDown() : Present(b->Down()) ? b->Down() : b->Up();
        break;
      default:
        if (mouse_over_ && Present(b->Hot())) picture = b->Hot();
        else if (focused_ && show_focus_ && Present(b->UpAndFocused())) picture = b->UpAndFocused();
        else picture = b->Up();
        break;
    }
  }
  TRect t;
  ComputeLayout(t, r, picture);
  if (picture) {
    const TColor transparent = b->TransparentColor();
    const TRect source(0, 0, picture->Width(), picture->Height());
    switch (button_size_) {
      case bszNeither: CopyTransparentRect(c, picture, r, source, transparent); break;
      case bszButtonToBitmap: {
        if (r.Left == 0 && r.Top == 0) {
          DrawTransparentBitmap(c, picture, r, source, transparent);
          break;
        }
        // Drawn at the area's place (the routine draws at its canvas's origin).
        TBitmap area;
        area.SetSize(r.Width(), r.Height());
        area.Canvas()->CopyRect(TRect(0, 0, r.Width(), r.Height()), c, r);
        DrawTransparentBitmap(area.Canvas(), picture, TRect(0, 0, r.Width(), r.Height()), source, transparent);
        c->Draw(r.Left, r.Top, &area);
        break;
      }
      case bszStretchToButton: StretchTransparentBitmap(c, picture, r, transparent); break;
      case bszTileToButton: TileTransparentBitmap(c, picture, r, transparent); break;
    }
    c->SetCopyMode(cmSrcCopy);
  }
  const std::string caption = Caption();
  if (!caption.empty()) {
    c->Font()->Assign(Font());
    c->Brush()->SetStyle(bsClear);
    const UINT flags = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
    if (state_ == kDisabled) {
      TRect shadow = t;
      shadow.Offset(1, 1);
      CanvasText(c, caption, shadow, flags, clWhite);
      CanvasText(c, caption, t, flags, clGray);
    } else {
      if (state_ == kPressed || state_ == kLatched) t.Offset(caption_down_offset_, caption_down_offset_);
      CanvasText(c, caption, t, flags, Font()->Color());
    }
    if (focused_ && show_focus_) {
      c->Brush()->SetStyle(bsSolid);
      c->Brush()->SetColor(clBtnFace);
      t.Inflate(2, 2);
      c->DrawFocusRect(t);
    }
  }
}

void CvBmpBtnRegisterClasses() { RegisterClass(TCvBmpButton::StaticClass()); }
