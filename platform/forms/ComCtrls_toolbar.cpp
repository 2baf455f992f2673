// The tool bar and its buttons: layout in the order of addition, the classic flat look, check,
// grouped and drop-down behaviour.
#include <algorithm>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/Menus.h"

PTypeInfo TypeInfo_TToolButtonStyle() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TToolButtonStyle", {"tbsButton", "tbsCheck", "tbsDropDown", "tbsSeparator", "tbsDivider"});
  return &info;
}

PX_CLASS_INFO(TToolButton, TGraphicControl, [](TPropertyBuilder<TToolButton>& b) {
  using C = TToolButton;
  b.Bool("AllowAllUp", &C::AllowAllUp, &C::SetAllowAllUp).Default(false);
  b.Bool("Down", &C::Down, &C::SetDown).Default(false);
  b.Object<TPopupMenu>("DropdownMenu", &C::DropdownMenu, &C::SetDropdownMenu);
  b.Bool("Grouped", &C::Grouped, &C::SetGrouped).Default(false);
  b.Int("ImageIndex", &C::ImageIndex, &C::SetImageIndex).Default(-1);
  b.Enum("Style", TypeInfo_TToolButtonStyle(), &C::Style, &C::SetStyle).Default(tbsButton);
})
PX_CLASS_INFO(TToolBar, TCustomControl, [](TPropertyBuilder<TToolBar>& b) {
  using C = TToolBar;
  b.Int("ButtonHeight", &C::ButtonHeight, &C::SetButtonHeight).Default(22);
  b.Int("ButtonWidth", &C::ButtonWidth, &C::SetButtonWidth).Default(23);
  b.Bool("Flat", &C::Flat, &C::SetFlat).Default(true);
  b.Object<TCustomImageList>("Images", &C::Images, &C::SetImages);
  b.Int("Indent", &C::Indent, &C::SetIndent).Default(0);
  b.Redeclare("Align").Default(alTop);
  b.Redeclare("Color").Default(clBtnFace);
})

namespace {

constexpr int32_t kArrowWidth = 14;  // the drop-down part of a drop-down button
constexpr int32_t kSeparatorWidth = 8;

}  // namespace

// ---- button

TToolButton::TToolButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  // The button decides itself when a release is a click (not on the drop-down arrow).
  SetControlStyle(ControlStyle() - TControlStyle{csClickEvents});
  SetBounds(0, 0, 23, 22);
}

TToolBar* TToolButton::ToolBar() const { return dynamic_cast<TToolBar*>(Parent()); }

void TToolButton::SetStyle(TToolButtonStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  if (TToolBar* bar = ToolBar()) bar->ArrangeItems();
  Invalidate();
}

void TToolButton::SetImageIndex(int32_t Value) {
  if (FImageIndex == Value) return;
  FImageIndex = Value;
  Invalidate();
}

void TToolButton::SetDown(bool Value) {
  if (FDown == Value) return;
  FDown = Value;
  if (Value && FGrouped && FStyle == tbsCheck) {
    // The adjacent grouped check buttons of the bar form the group.
    if (TToolBar* bar = ToolBar()) {
      const auto& items = bar->Items();
      const ptrdiff_t self = std::find(items.begin(), items.end(), this) - items.begin();
      auto member = [&](ptrdiff_t k) -> TToolButton* {
        if (k < 0 || k >= static_cast<ptrdiff_t>(items.size())) return nullptr;
        auto* b = dynamic_cast<TToolButton*>(items[static_cast<size_t>(k)]);
        return b && b->FGrouped && b->FStyle == tbsCheck ? b : nullptr;
      };
      auto release = [](TToolButton* b) {
        if (!b->FDown) return;
        b->FDown = false;
        b->Invalidate();
      };
      for (ptrdiff_t k = self + 1; TToolButton* b = member(k); ++k) release(b);
      for (ptrdiff_t k = self - 1; TToolButton* b = member(k); --k) release(b);
    }
  }
  Invalidate();
}

bool TToolButton::OnArrow(int32_t X) const { return FStyle == tbsDropDown && X >= Width() - kArrowWidth; }

void TToolButton::OpenDropdown() {
  if (!FDropdownMenu) return;
  FPressed = true;
  Invalidate();
  const TPoint p = ClientToScreen(TPoint(0, Height()));
  FDropdownMenu->Popup(p.X, p.Y);
  FPressed = false;
  Invalidate();
}

void TToolButton::Click() {
  if (FStyle == tbsCheck) {
    // A down grouped button stays down unless AllowAllUp.
    if (!(FDown && FGrouped && !FAllowAllUp)) SetDown(!FDown);
  }
  TGraphicControl::Click();
}

void TToolButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled() || FStyle == tbsSeparator || FStyle == tbsDivider) return;
  if (OnArrow(X) || (FStyle == tbsDropDown && !OnClick())) {
    OpenDropdown();
    return;
  }
  FPressed = FTracking = true;
  Invalidate();
}

void TToolButton::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!FTracking) return;
  const bool inside = X >= 0 && Y >= 0 && X < Width() && Y < Height();
  if (inside != FPressed) {
    FPressed = inside;
    Invalidate();
  }
}

void TToolButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  const bool click = FTracking && FPressed && Button == mbLeft;
  FTracking = FPressed = false;
  Invalidate();
  if (click) Click();
  TGraphicControl::MouseUp(Button, Shift, X, Y);
}

void TToolButton::CMMouseEnter(TCMMouseEnterLeave& Message) {
  TGraphicControl::CMMouseEnter(Message);
  if (!FHot && Enabled()) {
    FHot = true;
    Invalidate();
  }
}

void TToolButton::CMMouseLeave(TCMMouseEnterLeave& Message) {
  TGraphicControl::CMMouseLeave(Message);
  if (FHot) {
    FHot = false;
    Invalidate();
  }
}

void TToolButton::Paint() {
  TCanvas* c = Canvas();
  const TRect r(0, 0, Width(), Height());
  TToolBar* bar = ToolBar();
  const bool flat = !bar || bar->Flat();
  if (FStyle == tbsSeparator || FStyle == tbsDivider) {
    if (FStyle == tbsDivider || flat) {
      // An etched line in the middle.
      const int32_t x = Width() / 2 - 1;
      c->Pen()->SetColor(clBtnShadow);
      c->MoveTo(x, 1);
      c->LineTo(x, Height() - 1);
      c->Pen()->SetColor(clBtnHighlight);
      c->MoveTo(x + 1, 1);
      c->LineTo(x + 1, Height() - 1);
    }
    return;
  }
  const bool down = FDown || FPressed;
  if (FDown && !FPressed) {
    // A check button held down shows the light dither of the classic look.
    c->Brush()->SetBitmap(AllocPatternBitmap(clBtnFace, clBtnHighlight));
    c->FillRect(TRect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1));
    c->Brush()->SetBitmap(nullptr);
  }
  TRect body = r;
  if (FStyle == tbsDropDown) body.Right -= kArrowWidth;
  if (down) {
    TRect e = body;
    DrawEdge(c->Handle(), e, BDR_SUNKENOUTER, BF_RECT);
  } else if (FHot || !flat) {
    TRect e = body;
    DrawEdge(c->Handle(), e, flat ? BDR_RAISEDINNER : EDGE_RAISED, BF_RECT);
  }
  if (FStyle == tbsDropDown) {
    TRect a(body.Right, r.Top, r.Right, r.Bottom);
    if (FHot || FPressed || !flat) DrawEdge(c->Handle(), a, FPressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    // The arrow: a small downward triangle in the middle of its part.
    const int32_t cx = body.Right + kArrowWidth / 2 - (FPressed ? 0 : 1), cy = Height() / 2 - 1 + (FPressed ? 1 : 0);
    c->Pen()->SetColor(Enabled() ? clBtnText : clBtnShadow);
    for (int32_t i = 0; i < 3; ++i) {
      c->MoveTo(cx - 2 + i, cy + i);
      c->LineTo(cx + 3 - i, cy + i);
    }
  }
  TCustomImageList* images = bar ? bar->Images() : nullptr;
  if (images && FImageIndex >= 0 && FImageIndex < images->Count()) {
    const int32_t x = (body.Width() - images->Width()) / 2 + (down ? 1 : 0);
    const int32_t y = (Height() - images->Height()) / 2 + (down ? 1 : 0);
    images->Draw(c, x, y, FImageIndex, Enabled());
  }
}

// ---- bar

TToolBar::TToolBar(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls});
  SetBounds(0, 0, 150, 29);
  SetAlign(alTop);
  SetColor(clBtnFace);
  SetParentColor(false);
}

void TToolBar::SetButtonWidth(int32_t Value) {
  FButtonWidth = std::max(Value, 1);
  ArrangeItems();
}

void TToolBar::SetButtonHeight(int32_t Value) {
  FButtonHeight = std::max(Value, 1);
  ArrangeItems();
}

void TToolBar::SetIndent(int32_t Value) {
  FIndent = std::max(Value, 0);
  ArrangeItems();
}

void TToolBar::SetImages(TCustomImageList* Value) {
  if (FImages) FImages->RemoveFreeNotification(this);
  FImages = Value;
  if (FImages) FImages->FreeNotification(this);
  Invalidate();
}

void TToolBar::SetFlat(bool Value) {
  FFlat = Value;
  Invalidate();
}

void TToolBar::SetAutoSize(bool Value) {
  TCustomControl::SetAutoSize(Value);
  ArrangeItems();
}

void TToolBar::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
}

int32_t TToolBar::ButtonCount() const {
  int32_t n = 0;
  for (TControl* c : FItems) n += dynamic_cast<TToolButton*>(c) != nullptr;
  return n;
}

TToolButton* TToolBar::Buttons(int32_t Index) const {
  for (TControl* c : FItems)
    if (auto* b = dynamic_cast<TToolButton*>(c); b && Index-- == 0) return b;
  return nullptr;
}

void TToolBar::CMControlChange(TCMControlChange& Message) {
  TCustomControl::CMControlChange(Message);
  auto it = std::find(FItems.begin(), FItems.end(), Message.Control);
  if (Message.Inserting && it == FItems.end()) FItems.push_back(Message.Control);
  else if (!Message.Inserting && it != FItems.end()) FItems.erase(it);
  ArrangeItems();
}

int32_t TToolBar::ItemWidth(TControl* Item) const {
  auto* b = dynamic_cast<TToolButton*>(Item);
  if (!b) return Item->Width();
  switch (b->Style()) {
    case tbsSeparator:
    case tbsDivider: return b->Width() != FButtonWidth && b->Width() > 0 ? b->Width() : kSeparatorWidth;
    case tbsDropDown: return FButtonWidth + kArrowWidth;
    default: return FButtonWidth;
  }
}

void TToolBar::ArrangeItems() {
  if (FArranging) return;
  FArranging = true;
  const TRect client = ClientRect();
  int32_t x = client.Left + FIndent, height = FButtonHeight;
  for (TControl* c : FItems) {
    if (!c->Visible()) continue;
    const bool button = dynamic_cast<TToolButton*>(c) != nullptr;
    const int32_t w = ItemWidth(c);
    c->SetBounds(x, client.Top, w, button ? FButtonHeight : c->Height());
    height = std::max(height, c->Height());
    x += w;
  }
  if (AutoSize()) {
    const int32_t frameW = Width() - client.Width(), frameH = Height() - client.Height();
    SetBounds(Left(), Top(), x + frameW, height + frameH);
  }
  FArranging = false;
  Invalidate();
}

void TToolBar::AlignControls(TControl* AControl, TRect& Rect) {
  (void)AControl;
  (void)Rect;
  ArrangeItems();
}

void TToolBar::Paint() {
  Canvas()->Brush()->SetColor(Color());
  Canvas()->FillRect(ClientRect());
}
