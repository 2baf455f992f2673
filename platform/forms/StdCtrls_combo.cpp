// The combo box and its drop-down list window.
#include <algorithm>

#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/gdi/WinGdi_text.h"

PTypeInfo TypeInfo_TComboBoxStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TComboBoxStyle", {"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed", "csOwnerDrawVariable"});
  return &info;
}

namespace {

// DrawText with the canvas's font in Color (transparent background).
void ItemText(TCanvas* canvas, const std::string& text, TRect& r, TColor color) {
  canvas->RequiredState({csHandleValid, csFontValid});
  HDC dc = canvas->Handle();
  const int32_t mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF old = SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(color)) & 0x00FFFFFF);
  DrawText(dc, text, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  SetTextColor(dc, old);
  SetBkMode(dc, mode);
}

}  // namespace

// The drop-down list: a pop-up below the combo box that holds the mouse while open; a click
// outside it closes it, a release on an item picks that item.
class TComboListWindow : public TCustomControl {
 public:
  explicit TComboListWindow(TCustomComboBox* Combo) : TCustomControl(nullptr), combo_(Combo) { SetVisible(false); }
  int32_t Hot() const { return hot_; }
  void SetHot(int32_t Value) {
    hot_ = Value;
    const int32_t rows = Rows();
    if (hot_ >= 0 && hot_ < top_) top_ = hot_;
    if (hot_ >= top_ + rows) top_ = hot_ - rows + 1;
    if (HandleAllocated()) Invalidate();
  }
  int32_t Rows() const {
    return std::max(1, std::min(combo_->DropDownCount(), combo_->Items()->Count()));
  }
  void Open() {
    const TPoint at = combo_->ClientToScreen(TPoint(0, combo_->Height()));
    SetBounds(at.X, at.Y, combo_->Width(), Rows() * combo_->ItemHeight() + 2);
    SetParentWindow(combo_->Handle());
    SetVisible(true);
    HandleNeeded();
    ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    SetCapture(Handle());
    Update();
  }
  // Hides the window; it is kept (a click on it may be what closes it).
  void Close() {
    if (!Visible()) return;
    if (HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
    SetVisible(false);
  }

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP | WS_BORDER | WS_CLIPSIBLINGS;
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  }
  void WndProc(TMessage& Message) override {
    switch (Message.Msg) {
      case WM_MOUSEACTIVATE:
        Message.Result = MA_NOACTIVATE;
        return;
      case WM_MOUSEMOVE: {
        const int32_t i = ItemAt(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
        if (i >= 0 && i != hot_) SetHot(i);
        return;
      }
      case WM_LBUTTONDOWN:
        if (ItemAt(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)) < 0) combo_->SetDroppedDown(false);
        return;
      case WM_LBUTTONUP: {
        const int32_t i = ItemAt(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
        if (i >= 0) {
          combo_->SetDroppedDown(false);
          combo_->UserSelect(i);
        }
        return;
      }
      case WM_KEYDOWN:
        combo_->Perform(Message.Msg, Message.WParam, Message.LParam);
        return;
      default:
        break;
    }
    TCustomControl::WndProc(Message);
  }
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override { Message.Result = 1; }
  void Paint() override {
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(clWindow);
    canvas->FillRect(ClientRect());
    HDC dc = canvas->Handle();
    const int32_t h = combo_->ItemHeight();
    const int32_t last = std::min(combo_->Items()->Count(), top_ + Rows());
    for (int32_t i = top_; i < last; ++i) {
      const TRect r(0, (i - top_) * h, ClientWidth(), (i - top_ + 1) * h);
      TOwnerDrawState state;
      if (i == hot_) state = TOwnerDrawState{odSelected, odFocused};
      combo_->DrawItemOn(dc, i, r, state);
    }
  }

 private:
  // The item under a client point (-1 outside the list).
  int32_t ItemAt(int32_t X, int32_t Y) {
    if (X < 0 || Y < 0 || X >= ClientWidth() || Y >= ClientHeight()) return -1;
    const int32_t i = top_ + Y / std::max(1, combo_->ItemHeight());
    return i < combo_->Items()->Count() ? i : -1;
  }
  TCustomComboBox* combo_;
  int32_t hot_ = -1;
  int32_t top_ = 0;
};

// ---------------------------------------------------------------------------------------------
// TCustomComboBox

PX_CLASS_INFO(TCustomComboBox, TCustomControl)
PX_CLASS_INFO(TComboBox, TCustomComboBox, [](TPropertyBuilder<TComboBox>& b) {
  b.Enum("Style", TypeInfo_TComboBoxStyle(), &TComboBox::Style, &TComboBox::SetStyle).Default(csDropDown);
  b.Int("DropDownCount", &TComboBox::DropDownCount, &TComboBox::SetDropDownCount).Default(8);
  b.Int("ItemHeight", &TComboBox::ItemHeight, &TComboBox::SetItemHeight);
  b.Bool("Sorted", &TComboBox::Sorted, &TComboBox::SetSorted).Default(false);
  b.Object<TStrings>("Items", &TComboBox::Items);
  b.Int("ItemIndex", &TComboBox::ItemIndex, &TComboBox::SetItemIndex).Default(-1);
  b.Str("Text", &TComboBox::Text, &TComboBox::SetText);
  b.Redeclare("TabStop").Default(true);
  b.Event("OnChange", &TComboBox::OnChange, &TComboBox::SetOnChange);
  b.Event("OnSelect", &TComboBox::OnSelect, &TComboBox::SetOnSelect);
  b.Event("OnDrawItem", &TComboBox::OnDrawItem, &TComboBox::SetOnDrawItem);
  b.Event("OnMeasureItem", &TComboBox::OnMeasureItem, &TComboBox::SetOnMeasureItem);
})

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TCustomControl(AOwner), items_(std::make_unique<TStringList>()) {
  items_->SetOnChange(TNotifyEvent(this, &TCustomComboBox::ItemsChanged));
  SetControlStyle(TControlStyle{csSetCaption, csDoubleClicks});
  SetTabStop(true);
  SetColor(clWindow);
  SetBounds(Left(), Top(), 145, item_height_ + 6);
}

TCustomComboBox::~TCustomComboBox() {
  if (list_) list_->Close();
  items_->SetOnChange(nullptr);
}

TStrings* TCustomComboBox::Items() const { return items_.get(); }
void TCustomComboBox::SetItems(TStrings* Value) { items_->Assign(Value); }

void TCustomComboBox::ItemsChanged(TObject*) {
  if (item_index_ >= items_->Count()) SetItemIndex(-1);
  if (list_ && list_->Hot() >= items_->Count()) list_->SetHot(-1);
  Invalidate();
}

void TCustomComboBox::SetItemIndex(int32_t Value) {
  if (Value < -1 || Value >= items_->Count()) Value = -1;
  item_index_ = Value;
  TWinControl::SetText(Value >= 0 ? items_->Strings(Value) : std::string());
  if (list_) list_->SetHot(Value);
  Invalidate();
}

void TCustomComboBox::SetText(const std::string& Value) {
  const int32_t i = items_->IndexOf(Value);
  if (i >= 0) SetItemIndex(i);
  else if (style_ == csDropDown || style_ == csSimple) {
    item_index_ = -1;
    TWinControl::SetText(Value);
    Invalidate();
  }
}

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
  if (style_ == Value) return;
  style_ = Value;
  SetBounds(Left(), Top(), Width(), Height());
  Invalidate();
}

void TCustomComboBox::SetItemHeight(int32_t Value) {
  if (Value < 1 || Value > 255) return;  // the platform keeps item heights in a byte
  item_height_ = Value;
  SetBounds(Left(), Top(), Width(), Height());
  Invalidate();
}

void TCustomComboBox::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  if (style_ != csSimple) AHeight = item_height_ + 6;
  TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

bool TCustomComboBox::Sorted() const { return items_->Sorted(); }
void TCustomComboBox::SetSorted(bool Value) {
  const std::string text = item_index_ >= 0 ? items_->Strings(item_index_) : std::string();
  items_->SetSorted(Value);
  if (item_index_ >= 0) SetItemIndex(items_->IndexOf(text));
}

bool TCustomComboBox::DroppedDown() const { return list_ && list_->Visible(); }

void TCustomComboBox::SetDroppedDown(bool Value) {
  if (Value == DroppedDown()) return;
  if (Value) {
    if (!list_) list_ = std::make_unique<TComboListWindow>(this);
    list_->SetHot(item_index_);
    list_->Open();
  } else {
    list_->Close();
  }
  Invalidate();
}

TCustomControl* TCustomComboBox::ListWindow() const { return DroppedDown() ? list_.get() : nullptr; }

void TCustomComboBox::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.WindowClass.style |= CS_DBLCLKS;
}

int32_t TCustomComboBox::ItemHeightOf(int32_t Index) {
  int32_t h = item_height_;
  if (style_ == csOwnerDrawVariable && on_measure_item_) on_measure_item_(this, Index, h);
  return h;
}

void TCustomComboBox::Change() {
  if (on_change_) on_change_(this);
}

void TCustomComboBox::Select() {
  if (on_select_) on_select_(this);
  else Change();
}

void TCustomComboBox::UserSelect(int32_t Index) {
  if (Index < 0 || Index >= items_->Count() || Index == item_index_) return;
  SetItemIndex(Index);
  Click();
  Select();
}

void TCustomComboBox::DrawItem(int32_t Index, const TRect& Rect, TOwnerDrawState State) {
  if (OwnerDrawn() && on_draw_item_) {
    on_draw_item_(this, Index, Rect, State);
    return;
  }
  TCanvas* canvas = Canvas();
  const bool selected = State.Contains(odSelected);
  canvas->Brush()->SetColor(selected ? clHighlight : clWindow);
  canvas->FillRect(Rect);
  if (Index < 0 || Index >= items_->Count()) return;
  canvas->Font()->Assign(Font());
  TRect r = Rect;
  r.Left += 2;
  ItemText(canvas, items_->Strings(Index), r, selected ? clHighlightText : Font()->Color());
}

void TCustomComboBox::DrawItemOn(HDC DC, int32_t Index, const TRect& Rect, TOwnerDrawState State) {
  TCanvas* canvas = Canvas();
  HDC own = canvas->HandleAllocated() ? canvas->Handle() : nullptr;
  canvas->Lock();
  canvas->SetHandle(DC);
  try {
    DrawItem(Index, Rect, State);
  } catch (...) {
    canvas->SetHandle(own);
    canvas->Unlock();
    throw;
  }
  canvas->SetHandle(own);
  canvas->Unlock();
}

void TCustomComboBox::Paint() {
  TCanvas* canvas = Canvas();
  TRect r = ClientRect();
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(r);
  DrawEdge(canvas->Handle(), r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  if (style_ != csSimple) {
    TRect button(r.Right - GetSystemMetrics(SM_CXVSCROLL), r.Top, r.Right, r.Bottom);
    UINT state = DFCS_SCROLLCOMBOBOX;
    if (DroppedDown()) state |= DFCS_PUSHED;
    if (!Enabled()) state |= DFCS_INACTIVE;
    DrawFrameControl(canvas->Handle(), button, DFC_SCROLL, state);
    r.Right = button.Left;
  }
  r.Inflate(-1, -1);
  const bool focused = HandleAllocated() && GetFocus() == Handle() && !DroppedDown();
  TOwnerDrawState state{odComboBoxEdit};
  if (focused) state = TOwnerDrawState{odComboBoxEdit, odSelected, odFocused};
  if (item_index_ >= 0 || OwnerDrawn()) DrawItem(item_index_, r, state);
  else {
    canvas->Font()->Assign(Font());
    TRect t = r;
    t.Left += 2;
    ItemText(canvas, Text(), t, Font()->Color());
  }
}

void TCustomComboBox::WMGetDlgCode(TWMGetDlgCode& Message) {
  Message.Result = DLGC_WANTARROWS | (DroppedDown() ? LRESULT{DLGC_WANTALLKEYS} : 0);
}

void TCustomComboBox::DefaultHandler(TMessage& Message) {
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!Enabled()) break;
      if (GetFocus() != Handle() && CanFocus()) ::SetFocus(Handle());
      SetDroppedDown(!DroppedDown());
      Message.Result = 0;
      return;
    case WM_SYSKEYDOWN:
      if ((Message.WParam == VK_DOWN || Message.WParam == VK_UP) && (Message.LParam & (LPARAM{1} << 29)) != 0) {
        SetDroppedDown(!DroppedDown());
        return;
      }
      break;
    case WM_KEYDOWN: {
      const uint16_t key = static_cast<uint16_t>(Message.WParam);
      const bool alt = (Message.LParam & (LPARAM{1} << 29)) != 0 || (GetKeyState(VK_MENU) & 0x8000) != 0;
      if (key == VK_F4 || ((key == VK_DOWN || key == VK_UP) && alt)) {
        SetDroppedDown(!DroppedDown());
        return;
      }
      if ((key == VK_RETURN || key == VK_ESCAPE) && DroppedDown()) {
        SetDroppedDown(false);
        return;
      }
      if (key == VK_UP || key == VK_DOWN) {
        const int32_t n = items_->Count();
        if (n == 0) return;
        int32_t i = item_index_ < 0 ? 0 : item_index_ + (key == VK_DOWN ? 1 : -1);
        UserSelect(std::clamp(i, 0, n - 1));
        return;
      }
      break;
    }
    case WM_KILLFOCUS:
      if (DroppedDown()) SetDroppedDown(false);
      Invalidate();
      break;
    case WM_SETFOCUS:
      Invalidate();
      break;
    case CB_GETCOUNT:
      Message.Result = items_->Count();
      return;
    case CB_GETCURSEL:
      Message.Result = item_index_;
      return;
    case CB_SETCURSEL:
      SetItemIndex(static_cast<int32_t>(Message.WParam));
      Message.Result = item_index_;
      return;
    case CB_SHOWDROPDOWN:
      SetDroppedDown(Message.WParam != 0);
      Message.Result = 1;
      return;
    case CB_GETDROPPEDSTATE:
      Message.Result = DroppedDown() ? 1 : 0;
      return;
    case CB_GETITEMHEIGHT:
      Message.Result = ItemHeightOf(static_cast<int32_t>(Message.WParam));
      return;
    case CB_SETITEMHEIGHT: {
      const int32_t h = static_cast<int32_t>(Message.LParam);
      if (h < 1 || h > 255) {
        Message.Result = -1;  // CB_ERR
        return;
      }
      SetItemHeight(h);
      Message.Result = 0;
      return;
    }
    default:
      break;
  }
  TCustomControl::DefaultHandler(Message);
}
