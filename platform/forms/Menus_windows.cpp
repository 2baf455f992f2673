// Menu windows: the form's menu bar, the drop-down windows, the menu loop (mouse and keyboard),
// the window that receives menu commands, the window layer's menu hooks and the window system's
// menu calls.
//
// Geometry follows the platform's classic menus: a drop-down window has a 3-pixel frame in its
// non-client area and its items fill the client area from (0, 0), one column per break; the
// menu bar is a strip above the form's client area whose rows are as high as the tallest item
// (at least SM_CYMENU - 1) plus one pixel. Menu-bar items are drawn with the coordinates of the
// form's window, as the platform draws them in the window's non-client area.
#include <algorithm>
#include <functional>
#include <memory>

#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Menus.h"
#include "platform/forms/Menus_internal.h"

namespace px_menus {
namespace {

constexpr int32_t kBarBreakGap = 4;  // between columns split by mbBarBreak (an etched line)
constexpr UINT_PTR kOpenTimer = 1;
BOOL g_menu_animation = 1;

// ---------------------------------------------------------------------------------------------
// Measuring and layout

struct TSlot {
  TMenuItem* Item = nullptr;
  TRect Rect;  // client coordinates of the menu window
};

struct TLayout {
  std::vector<TSlot> Slots;
  std::vector<TRect> BarBreaks;  // etched column separators
  TSize Size;
};

// A canvas on the screen's DC with the menu font, as the platform measures menu items.
class TMeasureCanvas {
 public:
  TMeasureCanvas() : dc_(GetDC(nullptr)) { canvas_.SetHandle(dc_); }
  ~TMeasureCanvas() {
    canvas_.SetHandle(nullptr);
    ReleaseDC(nullptr, dc_);
  }
  TCanvas* Reset() {
    if (TScreen* screen = Screen()) canvas_.Font()->Assign(screen->MenuFont());
    canvas_.Brush()->SetColor(clMenu);
    canvas_.Brush()->SetStyle(bsSolid);
    return &canvas_;
  }

 private:
  HDC dc_;
  TCanvas canvas_;
};

TSize Measure(TMeasureCanvas& mc, TMenuItem* item, bool bar) {
  int32_t w = 0, h = bar ? GetSystemMetrics(SM_CYMENU) - 1 : StandardItemHeight();
  item->MeasureItem(mc.Reset(), w, h);
  return TSize(std::max(0, w), std::max(0, h));
}

TLayout LayoutPopup(TMenuItem* parent) {
  TLayout layout;
  RethinkHotkeys(parent);
  const std::vector<TMenuItem*> items = VisibleMenuItems(parent);
  if (items.empty()) return layout;
  TMeasureCanvas mc;
  struct TColumn {
    size_t First = 0, Count = 0;
    int32_t Width = 0, Height = 0;
    bool BarBreak = false;
  };
  std::vector<TColumn> columns;
  std::vector<TSize> sizes;
  for (size_t i = 0; i < items.size(); ++i) {
    const TSize s = Measure(mc, items[i], false);
    sizes.push_back(s);
    if (columns.empty() || items[i]->Break() != mbNone) {
      TColumn c;
      c.First = i;
      c.BarBreak = !columns.empty() && items[i]->Break() == mbBarBreak;
      columns.push_back(c);
    }
    TColumn& c = columns.back();
    ++c.Count;
    c.Width = std::max(c.Width, s.cx);
    c.Height += s.cy;
  }
  int32_t x = 0, height = 0;
  for (const TColumn& c : columns) height = std::max(height, c.Height);
  for (const TColumn& c : columns) {
    if (c.BarBreak) {
      layout.BarBreaks.push_back(TRect(x, 0, x + kBarBreakGap, height));
      x += kBarBreakGap;
    }
    int32_t y = 0;
    for (size_t i = c.First; i < c.First + c.Count; ++i) {
      layout.Slots.push_back({items[i], TRect(x, y, x + c.Width, y + sizes[i].cy)});
      y += sizes[i].cy;
    }
    x += c.Width;
  }
  layout.Size = TSize(x, height);
  return layout;
}

TLayout LayoutBar(TMenuItem* root, int32_t width) {
  TLayout layout;
  RethinkHotkeys(root);
  const std::vector<TMenuItem*> items = VisibleMenuItems(root);
  int32_t row = GetSystemMetrics(SM_CYMENU) - 1;
  std::vector<TSize> sizes;
  {
    TMeasureCanvas mc;
    for (TMenuItem* item : items) {
      sizes.push_back(Measure(mc, item, true));
      row = std::max(row, sizes.back().cy);
    }
  }
  int32_t x = 0, y = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    const int32_t w = sizes[i].cx;
    if (x > 0 && (x + w > width || items[i]->Break() != mbNone)) {
      x = 0;
      y += row;
    }
    layout.Slots.push_back({items[i], TRect(x, y, x + w, y + row)});
    x += w;
  }
  layout.Size = TSize(width, y + row + 1);
  return layout;
}

int32_t HitSlot(const TLayout& layout, TPoint client) {
  for (size_t i = 0; i < layout.Slots.size(); ++i)
    if (layout.Slots[i].Item && layout.Slots[i].Rect.Contains(client)) return static_cast<int32_t>(i);
  return -1;
}

TOwnerDrawState ItemState(const TMenuItem* item, bool selected, bool keyboard) {
  TOwnerDrawState state;
  if (selected) state += odSelected;
  if (!item->Enabled()) state += TOwnerDrawState{odDisabled, odGrayed};
  if (item->Checked()) state += odChecked;
  if (item->Default()) state += odDefault;
  if (!keyboard) state += odNoAccel;
  return state;
}

// Asks an item to paint itself on DC: a canvas of the menu font, clipped to the item.
void PaintSlot(HDC dc, TMenuItem* item, const TRect& rect, TOwnerDrawState state, bool topLevel) {
  const int32_t saved = SaveDC(dc);
  IntersectClipRect(dc, rect.Left, rect.Top, rect.Right, rect.Bottom);
  TCanvas canvas;
  canvas.SetHandle(dc);
  if (TScreen* screen = Screen()) canvas.Font()->Assign(screen->MenuFont());
  canvas.Brush()->SetColor(clMenu);
  try {
    item->AdvancedDrawItem(&canvas, rect, state, topLevel);
  } catch (...) {
    canvas.SetHandle(nullptr);
    RestoreDC(dc, saved);
    throw;
  }
  canvas.SetHandle(nullptr);
  RestoreDC(dc, saved);
}

char MnemonicOf(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    const char c = caption[i + 1];
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  }
  return 0;
}

// The character a virtual key types for mnemonics (letters lower-case), 0 for none.
char KeyChar(uint16_t vk) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<char>(vk + 32);
  if (vk >= '0' && vk <= '9') return static_cast<char>(vk);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return static_cast<char>('0' + vk - VK_NUMPAD0);
  return 0;
}

char CharOf(uint32_t ch) {
  if (ch >= 'A' && ch <= 'Z') return static_cast<char>(ch + 32);
  return ch < 128 ? static_cast<char>(ch) : 0;
}

bool Selectable(const TMenuItem* item) { return item && !item->IsLine(); }

TRect WorkAreaAt(TPoint pt) {
  MONITORINFO info;
  if (GetMonitorInfo(MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &info)) return info.rcWork;
  return TRect(0, 0, 1024, 768);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The windows

class TMenuBarWindow;
class TMenuPopupWindow;

// While a menu runs, the keyboard is the menu's: the window that gets the keys (the focused
// one, else the active window) is subclassed so that key notifications reach the menu first.
struct TKeyFilterProc {
  std::function<void(TMessage&)> Previous;
  void operator()(TMessage& Message) const;
};

class TKeyFilter : public TComponent {
 public:
  TKeyFilter() : TComponent(nullptr) {}
  ~TKeyFilter() override { Remove(); }
  void Install() {
    Remove();
    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();
    TWinControl* control = nullptr;
    for (HWND w = target; w && !control; w = GetParent(w)) control = FindControl(w);
    if (!control) return;
    control_ = control;
    control_->FreeNotification(this);
    control_->SetWindowProc(TKeyFilterProc{control_->WindowProc()});
  }
  void Remove() {
    if (!control_) return;
    // Put the previous procedure back unless another subclass went on top of ours (ours then
    // passes everything on once the menu is closed).
    if (const TKeyFilterProc* proc = control_->WindowProc().target<TKeyFilterProc>())
      control_->SetWindowProc(proc->Previous);
    control_->RemoveFreeNotification(this);
    control_ = nullptr;
  }
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == control_) control_ = nullptr;
  }

 private:
  TWinControl* control_ = nullptr;
};

// The one menu loop of the application: the menu bar of a form or a pop-up menu being run.
class TMenuLoop {
 public:
  static TMenuLoop& Get() {
    static TMenuLoop loop;
    return loop;
  }

  bool Active() const { return active_; }
  bool Keyboard() const { return keyboard_; }
  TMenuBarWindow* Bar() const { return bar_; }
  int32_t BarHot() const { return bar_hot_; }
  bool BarOpen() const { return bar_ && !levels_.empty(); }
  size_t LevelCount() const { return levels_.size(); }
  TMenuPopupWindow* Level(size_t i) const { return levels_[i].Window.get(); }
  int32_t LevelHot(size_t i) const { return levels_[i].Hot; }
  TMenuItem* LevelParent(size_t i) const { return levels_[i].Parent; }

  // Enters the menu bar of a form: keyboard (the first item hot, accelerators shown), or a
  // mouse press on item Hot.
  void EnterBar(TMenuBarWindow* Bar, int32_t Hot, bool Keyboard);
  // Runs a pop-up menu modally (TrackPopupMenu).
  UINT Track(TMenuItem* Root, UINT Flags, TPoint At, HWND Owner);
  // Leaves the loop; Chosen is the item to run (nullptr: cancelled).
  void End(TMenuItem* Chosen);

  // Input while the loop runs; true when the loop took it.
  bool KeyDown(uint16_t VK);
  bool Char(uint32_t Ch);
  void Mouse(UINT Msg, TPoint Screen);
  void CaptureLost(HWND Window);
  void OpenTimer(TMenuPopupWindow* Window);

  // The menu windows show items that changed or go away.
  void ItemChanged(TMenu* Menu, TMenuItem* Source, bool Rebuild);
  // The bar's items were measured again.
  void BarRebuilt(TMenuBarWindow* Bar);
  bool Shows(const TMenuItem* Item) const;

  // The window of a level showing a platform menu (nullptr when none).
  TMenuPopupWindow* WindowOf(HMENU Menu) const;

 private:
  struct TLevel {
    TMenuItem* Parent = nullptr;
    std::unique_ptr<TMenuPopupWindow> Window;
    int32_t Hot = -1;
  };

  HWND CaptureWindow() const;
  // Opens the sub-menu of the hot item of level L (L = -1: of the bar's hot item).
  void OpenSubmenu(int32_t L, bool SelectFirst);
  void CloseLevels(size_t From);
  void Discard(std::unique_ptr<TMenuPopupWindow> Window);
  void SetLevelHot(size_t L, int32_t Hot);
  void SetBarHot(int32_t Hot);
  void MoveInLevel(size_t L, int32_t Step);
  void MoveOnBar(int32_t Step, bool Open);
  int32_t FirstSelectable(const TLayout& layout) const;
  void Execute(TMenuItem* Item);
  // The item with a mnemonic in a list: opens or runs it (several: the next one is made hot).
  bool Mnemonic(char Ch);
  void Repaint();
  TPoint PopupPosition(TSize Size, TPoint At, UINT Flags) const;

  bool active_ = false;
  bool modal_ = false;
  bool keyboard_ = false;
  TMenuBarWindow* bar_ = nullptr;
  int32_t bar_hot_ = -1;
  TMenuItem* root_ = nullptr;  // of a pop-up menu
  std::vector<TLevel> levels_;
  HWND owner_ = nullptr;
  UINT flags_ = 0;
  UINT chosen_ = 0;
  bool ignore_release_ = false;  // the press that opened a bar menu: its release runs nothing
  TKeyFilter key_filter_;
  std::vector<std::unique_ptr<TMenuPopupWindow>> discarded_;  // closed, to be freed
};

void TKeyFilterProc::operator()(TMessage& Message) const {
  if ((Message.Msg == CN_KEYDOWN || Message.Msg == CN_SYSKEYDOWN) && TMenuLoop::Get().Active() &&
      TMenuLoop::Get().KeyDown(static_cast<uint16_t>(Message.WParam))) {
    Message.Result = 1;
    return;
  }
  if (Previous) Previous(Message);
}

class TMenuWindowBase : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  const TLayout& Layout() const { return layout_; }
  TRect SlotScreenRect(int32_t i) {
    if (i < 0 || i >= static_cast<int32_t>(layout_.Slots.size())) return {};
    TRect r = layout_.Slots[static_cast<size_t>(i)].Rect;
    const TPoint o = ClientToScreen(TPoint(0, 0));
    r.Offset(o.X, o.Y);
    return r;
  }
  int32_t HitScreen(TPoint screen) {
    if (!HandleAllocated()) return -1;
    return HitSlot(layout_, ScreenToClient(screen));
  }
  bool ContainsScreen(TPoint screen) {
    if (!HandleAllocated()) return false;
    TRect r;
    GetWindowRect(Handle(), &r);
    return r.Contains(screen);
  }
  void Forget(const TMenuItem* item) {
    for (TSlot& s : layout_.Slots)
      if (s.Item == item) s.Item = nullptr;
  }
  bool Holds(const TMenuItem* item) const {
    return std::any_of(layout_.Slots.begin(), layout_.Slots.end(), [&](const TSlot& s) { return s.Item == item; });
  }

 protected:
  void WndProc(TMessage& Message) override {
    TMenuLoop& loop = TMenuLoop::Get();
    switch (Message.Msg) {
      case WM_MOUSEACTIVATE:
        Message.Result = MA_NOACTIVATE;
        return;
      case WM_CAPTURECHANGED:
        if (loop.Active()) loop.CaptureLost(HandleAllocated() ? Handle() : nullptr);
        return;
      case WM_CANCELMODE:
        if (loop.Active()) loop.End(nullptr);
        break;
      case WM_MOUSEMOVE:
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_LBUTTONDBLCLK:
      case WM_RBUTTONDOWN:
      case WM_RBUTTONUP:
      case WM_RBUTTONDBLCLK:
        if (loop.Active()) {
          TPoint p(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
          p = ClientToScreen(p);
          loop.Mouse(Message.Msg, p);
          return;
        }
        break;
      default:
        break;
    }
    TCustomControl::WndProc(Message);
  }

  TLayout layout_;
};

class TMenuPopupWindow : public TMenuWindowBase {
 public:
  TMenuPopupWindow(TMenuItem* Parent, size_t Level) : TMenuWindowBase(nullptr), parent_(Parent), level_(Level) {
    layout_ = LayoutPopup(Parent);
    SetVisible(false);
  }
  TMenuItem* MenuParent() const { return parent_; }
  size_t MenuLevel() const { return level_; }
  TSize WindowSize() const {
    const int32_t f = GetSystemMetrics(SM_CXDLGFRAME);
    return TSize(layout_.Size.cx + 2 * f, layout_.Size.cy + 2 * f);
  }
  void Relayout() {
    layout_ = LayoutPopup(parent_);
    const TSize s = WindowSize();
    SetBounds(Left(), Top(), s.cx, s.cy);
    Invalidate();
  }
  void ShowAt(TPoint At, HWND Owner) {
    const TSize s = WindowSize();
    SetBounds(At.X, At.Y, s.cx, s.cy);
    if (Owner) SetParentWindow(Owner);
    SetVisible(true);
    HandleNeeded();
    ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    Update();
  }
  // Destroys the window (the object stays until it is freed).
  void DestroyWindow() {
    if (HandleAllocated()) KillTimer(Handle(), kOpenTimer);
    DestroyHandle();
    layout_ = TLayout();
  }
  void PaintSlotNow(int32_t i) {
    if (i < 0 || !HandleAllocated()) return;
    InvalidateRect(Handle(), &layout_.Slots[static_cast<size_t>(i)].Rect, 0);
  }

 protected:
  void CreateParams(TCreateParams& Params) override {
    TMenuWindowBase::CreateParams(Params);
    Params.Style = WS_POPUP | WS_DLGFRAME | WS_CLIPSIBLINGS;
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
    Params.WindowClass.style = CS_SAVEBITS | CS_DBLCLKS;
  }
  void WMNCPaint(TWMNCPaint& Message) override {
    HDC dc = GetWindowDC(Handle());
    if (dc) {
      TRect r;
      GetWindowRect(Handle(), &r);
      r.Offset(-r.Left, -r.Top);
      DrawEdge(dc, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
      HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(clMenu)));
      FrameRect(dc, r, brush);
      DeleteObject(brush);
      ReleaseDC(Handle(), dc);
    }
    Message.Result = 0;
  }
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override { Message.Result = 1; }
  void WndProc(TMessage& Message) override {
    // Closing a drop-down destroys its window.
    if (Message.Msg == WM_CLOSE) {
      DestroyWindow();
      return;
    }
    TMenuWindowBase::WndProc(Message);
  }
  void WMTimer(TWMTimer& Message) override {
    if (Message.TimerID == kOpenTimer) {
      KillTimer(Handle(), kOpenTimer);
      TMenuLoop::Get().OpenTimer(this);
    }
  }
  void Paint() override {
    TMenuLoop& loop = TMenuLoop::Get();
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(clMenu);
    canvas->FillRect(ClientRect());
    for (const TRect& r : layout_.BarBreaks) {
      TRect line(r.Left + r.Width() / 2 - 1, r.Top, r.Left + r.Width() / 2 + 1, r.Bottom);
      DrawEdge(canvas->Handle(), line, EDGE_ETCHED, BF_LEFT);
    }
    const int32_t hot = level_ < loop.LevelCount() && loop.Level(level_) == this ? loop.LevelHot(level_) : -1;
    canvas->Refresh();
    HDC dc = canvas->Handle();
    for (size_t i = 0; i < layout_.Slots.size(); ++i) {
      const TSlot& s = layout_.Slots[i];
      if (!s.Item || !RectVisible(dc, s.Rect)) continue;
      PaintSlot(dc, s.Item, s.Rect, ItemState(s.Item, static_cast<int32_t>(i) == hot, loop.Keyboard()), false);
    }
  }

 private:
  TMenuItem* parent_;
  size_t level_;
};

class TMenuBarWindow : public TMenuWindowBase {
 public:
  TMenuBarWindow(TMainMenu* Menu, TCustomForm* Form) : TMenuWindowBase(Menu), menu_(Menu), form_(Form) {
    SetControlStyle(ControlStyle() + csOpaque);
    SetParentColor(false);
    SetColor(clMenu);
  }
  ~TMenuBarWindow() override {
    TMenuLoop& loop = TMenuLoop::Get();
    if (loop.Active() && loop.Bar() == this) loop.End(nullptr);
  }
  TMainMenu* Menu() const { return menu_; }
  TCustomForm* Form() const { return form_; }

  void Rebuild() {
    const int32_t width = Width() > 0 ? Width() : form_->ClientWidth();
    layout_ = LayoutBar(menu_->Items(), width);
    hot_light_ = -1;
    if (Height() != layout_.Size.cy) {
      SetHeight(layout_.Size.cy);
      // The form's client area gives way to the bar.
      if (form_->MenuBar() == this) form_->Realign();
    }
    Invalidate();
  }

  // The offset of this window's client area in the form's window (menu-bar items are drawn in
  // the form window's coordinates).
  TPoint WindowOffset() {
    if (!form_->HandleAllocated() || !HandleAllocated()) return TPoint();
    TRect wr;
    GetWindowRect(form_->Handle(), &wr);
    const TPoint o = ClientToScreen(TPoint(0, 0));
    return TPoint(o.X - wr.Left, o.Y - wr.Top);
  }

  void ClearHotLight() {
    if (hot_light_ < 0) return;
    hot_light_ = -1;
    Invalidate();
  }

 protected:
  void WndProc(TMessage& Message) override {
    if (!TMenuLoop::Get().Active()) {
      switch (Message.Msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
          const int32_t hit = HitSlot(layout_, TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)));
          if (hit >= 0) TMenuLoop::Get().EnterBar(this, hit, false);
          return;
        }
        case WM_MOUSEMOVE: {
          const int32_t hit = HitSlot(layout_, TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)));
          if (hit != hot_light_) {
            hot_light_ = hit;
            Invalidate();
          }
          break;
        }
        default:
          break;
      }
    }
    TMenuWindowBase::WndProc(Message);
  }
  void CMMouseLeave(TCMMouseEnterLeave& Message) override {
    TMenuWindowBase::CMMouseLeave(Message);
    ClearHotLight();
  }
  void WMSize(TWMSize& Message) override {
    TMenuWindowBase::WMSize(Message);
    if (layout_.Size.cx != Width() && Width() > 0) Rebuild();
  }
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override { Message.Result = 1; }
  void Paint() override {
    TMenuLoop& loop = TMenuLoop::Get();
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(clMenu);
    canvas->FillRect(ClientRect());
    canvas->Refresh();
    HDC dc = canvas->Handle();
    const TPoint off = WindowOffset();
    const bool inLoop = loop.Active() && loop.Bar() == this;
    const bool inactive = form_ && !form_->Active();
    const int32_t saved = SaveDC(dc);
    // Logical = client + offset: the DC's window origin moves by the offset.
    OffsetWindowOrgEx(dc, off.X, off.Y, nullptr);
    for (size_t i = 0; i < layout_.Slots.size(); ++i) {
      const TSlot& s = layout_.Slots[i];
      if (!s.Item) continue;
      TRect r = s.Rect;
      r.Offset(off.X, off.Y);
      if (!RectVisible(dc, r)) continue;
      const bool selected = inLoop && loop.BarHot() == static_cast<int32_t>(i);
      TOwnerDrawState state = ItemState(s.Item, selected, inLoop && loop.Keyboard());
      if (!inLoop && hot_light_ == static_cast<int32_t>(i)) state += odHotLight;
      if (inactive) state += odInactive;
      PaintSlot(dc, s.Item, r, state, true);
    }
    RestoreDC(dc, saved);
  }

 private:
  TMainMenu* menu_;
  TCustomForm* form_;
  int32_t hot_light_ = -1;
};

namespace {

TMenuBarWindow* BarOfForm(TCustomForm* form) {
  return form ? dynamic_cast<TMenuBarWindow*>(form->MenuBar()) : nullptr;
}

TMenuBarWindow* BarOfMenu(const TMenu* menu) {
  if (!menu) return nullptr;
  for (int i = 0; i < menu->ComponentCount(); ++i)
    if (auto* bar = dynamic_cast<TMenuBarWindow*>(menu->Components(i))) return bar;
  return nullptr;
}

TCustomForm* FormOfWindow(HWND wnd) { return dynamic_cast<TCustomForm*>(FindControl(wnd)); }

// The window that menu commands are posted to: it runs the item of the command.
HWND CommandWindow() {
  static HWND wnd = nullptr;
  if (wnd && IsWindow(wnd)) return wnd;
  wnd = AllocateHWnd([](TMessage& m) {
    if (m.Msg == WM_COMMAND) {
      if (TMenuItem* item = FindCommandItem(LOWORD(m.WParam))) item->Click();
    } else if (m.Msg == WM_INITMENUPOPUP) {
      HMENU menu = reinterpret_cast<HMENU>(m.WParam);
      if (TMenuItem* item = ItemFromHandle(menu))
        if (TMenu* owner = item->GetParentMenu()) owner->DispatchPopup(menu);
    }
  });
  return wnd;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The menu loop

HWND TMenuLoop::CaptureWindow() const {
  if (bar_) return bar_->HandleAllocated() ? bar_->Handle() : nullptr;
  if (!levels_.empty() && levels_[0].Window->HandleAllocated()) return levels_[0].Window->Handle();
  return nullptr;
}

void TMenuLoop::Repaint() {
  if (bar_) bar_->Invalidate();
  for (TLevel& l : levels_) l.Window->Invalidate();
}

int32_t TMenuLoop::FirstSelectable(const TLayout& layout) const {
  for (size_t i = 0; i < layout.Slots.size(); ++i)
    if (Selectable(layout.Slots[i].Item)) return static_cast<int32_t>(i);
  return -1;
}

void TMenuLoop::EnterBar(TMenuBarWindow* Bar, int32_t Hot, bool Keyboard) {
  if (active_) End(nullptr);
  if (!Bar || Bar->Layout().Slots.empty() || !Bar->HandleAllocated()) return;
  active_ = true;
  modal_ = false;
  keyboard_ = Keyboard;
  bar_ = Bar;
  root_ = nullptr;
  owner_ = CommandWindow();
  flags_ = 0;
  Bar->ClearHotLight();
  bar_hot_ = std::clamp(Hot, 0, static_cast<int32_t>(Bar->Layout().Slots.size()) - 1);
  SetCapture(Bar->Handle());
  key_filter_.Install();
  if (!Keyboard) {
    TMenuItem* item = Bar->Layout().Slots[static_cast<size_t>(bar_hot_)].Item;
    ignore_release_ = true;
    if (item && item->Count() > 0) OpenSubmenu(-1, false);
  }
  Repaint();
}

UINT TMenuLoop::Track(TMenuItem* Root, UINT Flags, TPoint At, HWND Owner) {
  if (active_ || !Root) return 0;
  active_ = true;
  modal_ = true;
  keyboard_ = false;
  bar_ = nullptr;
  bar_hot_ = -1;
  root_ = Root;
  owner_ = Owner ? Owner : CommandWindow();
  flags_ = Flags;
  chosen_ = 0;
  ignore_release_ = false;
  if (!(flags_ & TPM_NONOTIFY) && IsWindow(owner_))
    SendMessage(owner_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(Root->Handle()), 0);
  TLevel level;
  level.Parent = Root;
  level.Window = std::make_unique<TMenuPopupWindow>(Root, 0);
  if (level.Window->Layout().Slots.empty()) {
    active_ = false;
    return 0;
  }
  const TPoint at = PopupPosition(level.Window->WindowSize(), At, Flags);
  TMenuPopupWindow* window = level.Window.get();
  levels_.push_back(std::move(level));
  window->ShowAt(at, GetActiveWindow());
  SetCapture(window->Handle());
  key_filter_.Install();
  // The platform runs the menu in a loop of its own until it closes.
  TApplication* app = Application();
  while (active_ && app && !app->Terminated()) app->HandleMessage();
  if (active_) End(nullptr);
  const UINT chosen = chosen_;
  chosen_ = 0;
  modal_ = false;
  if (Flags & TPM_RETURNCMD) return chosen;
  if (chosen && !(Flags & TPM_NONOTIFY)) PostMessage(owner_, WM_COMMAND, chosen, 0);
  return 1;
}

TPoint TMenuLoop::PopupPosition(TSize Size, TPoint At, UINT Flags) const {
  const TRect work = WorkAreaAt(At);
  int32_t x = At.X, y = At.Y;
  if (Flags & TPM_RIGHTALIGN) x -= Size.cx;
  else if (Flags & TPM_CENTERALIGN) x -= Size.cx / 2;
  if (Flags & TPM_BOTTOMALIGN) y -= Size.cy;
  else if (Flags & TPM_VCENTERALIGN) y -= Size.cy / 2;
  if (x + Size.cx > work.Right) x = At.X - Size.cx;
  if (x < work.Left) x = work.Left;
  if (y + Size.cy > work.Bottom) y = At.Y - Size.cy;
  if (y < work.Top) y = work.Top;
  return TPoint(x, y);
}

void TMenuLoop::End(TMenuItem* Chosen) {
  if (!active_) return;
  const uint16_t command = Chosen ? Chosen->Command() : 0;
  active_ = false;
  HWND capture = CaptureWindow();
  std::vector<TLevel> levels = std::move(levels_);
  levels_.clear();
  for (TLevel& l : levels) Discard(std::move(l.Window));
  TMenuBarWindow* bar = bar_;
  bar_ = nullptr;
  bar_hot_ = -1;
  root_ = nullptr;
  keyboard_ = false;
  if (capture && GetCapture() == capture) ReleaseCapture();
  key_filter_.Remove();
  levels.clear();
  if (bar) bar->Invalidate();
  if (!command) return;
  // A pop-up menu's command follows once its loop has returned; the bar's at once.
  if (modal_) chosen_ = command;
  else PostMessage(owner_, WM_COMMAND, command, 0);
}

void TMenuLoop::CaptureLost(HWND Window) {
  // Another window took the mouse: the menus close (our own hand-over is not a loss).
  if (!active_ || Window != CaptureWindow()) return;
  HWND now = GetCapture();
  if (now == Window) return;
  End(nullptr);
}

void TMenuLoop::CloseLevels(size_t From) {
  while (levels_.size() > From) {
    Discard(std::move(levels_.back().Window));
    levels_.pop_back();
  }
}

void TMenuLoop::Discard(std::unique_ptr<TMenuPopupWindow> Window) {
  if (!Window) return;
  // The window goes at once (hidden, closed, destroyed: a procedure that subclassed it hears all
  // three); the object a little later, as its own message may be running.
  if (Window->HandleAllocated()) {
    HWND wnd = Window->Handle();
    ShowWindow(wnd, SW_HIDE);
    SendMessage(wnd, WM_CLOSE);
  }
  Window->DestroyWindow();
  discarded_.push_back(std::move(Window));
  if (discarded_.size() == 1) {
    if (TApplication* app = Application()) app->QueueCall([] { TMenuLoop::Get().discarded_.clear(); });
  }
}

void TMenuLoop::SetLevelHot(size_t L, int32_t Hot) {
  if (L >= levels_.size()) return;
  TLevel& level = levels_[L];
  if (level.Hot == Hot) return;
  TMenuPopupWindow* w = level.Window.get();
  if (w->HandleAllocated()) KillTimer(w->Handle(), kOpenTimer);
  w->PaintSlotNow(level.Hot);
  level.Hot = Hot;
  w->PaintSlotNow(Hot);
}

void TMenuLoop::SetBarHot(int32_t Hot) {
  if (bar_hot_ == Hot) return;
  bar_hot_ = Hot;
  if (bar_) bar_->Invalidate();
}

void TMenuLoop::OpenSubmenu(int32_t L, bool SelectFirst) {
  TMenuItem* item = nullptr;
  TRect anchor;
  bool fromBar = L < 0;
  if (fromBar) {
    if (!bar_ || bar_hot_ < 0) return;
    item = bar_->Layout().Slots[static_cast<size_t>(bar_hot_)].Item;
    anchor = bar_->SlotScreenRect(bar_hot_);
    CloseLevels(0);
  } else {
    TLevel& level = levels_[static_cast<size_t>(L)];
    if (level.Hot < 0) return;
    item = level.Window->Layout().Slots[static_cast<size_t>(level.Hot)].Item;
    anchor = level.Window->SlotScreenRect(level.Hot);
    CloseLevels(static_cast<size_t>(L) + 1);
  }
  if (!item || item->Count() == 0 || !item->Enabled()) return;
  const uint16_t command = item->Command();
  // The owner hears that the menu opens: the parent item's OnClick prepares the sub-items.
  if (!(flags_ & TPM_NONOTIFY) && IsWindow(owner_))
    SendMessage(owner_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(item->Handle()), 0);
  if (!active_ || FindCommandItem(command) != item) return;  // the click closed or removed it
  TLevel level;
  level.Parent = item;
  level.Window = std::make_unique<TMenuPopupWindow>(item, levels_.size());
  if (level.Window->Layout().Slots.empty()) return;
  const TSize size = level.Window->WindowSize();
  TPoint at;
  const TRect work = WorkAreaAt(anchor.TopLeft());
  const int32_t f = GetSystemMetrics(SM_CXDLGFRAME);
  if (fromBar) {
    at = TPoint(anchor.Left, anchor.Bottom);
    if (at.Y + size.cy > work.Bottom) at.Y = anchor.Top - size.cy;
    if (at.X + size.cx > work.Right) at.X = work.Right - size.cx;
  } else {
    TRect parent;
    GetWindowRect(levels_[static_cast<size_t>(L)].Window->Handle(), &parent);
    at = TPoint(parent.Right - f, anchor.Top - f);
    if (at.X + size.cx > work.Right) at.X = parent.Left - size.cx + f;
    if (at.Y + size.cy > work.Bottom) at.Y = work.Bottom - size.cy;
  }
  at.X = std::max(at.X, work.Left);
  at.Y = std::max(at.Y, work.Top);
  TMenuPopupWindow* window = level.Window.get();
  if (SelectFirst) level.Hot = FirstSelectable(window->Layout());
  levels_.push_back(std::move(level));
  HWND ownerForm = bar_ && bar_->Form() ? bar_->Form()->Handle() : GetActiveWindow();
  window->ShowAt(at, ownerForm);
  if (bar_) bar_->Invalidate();
}

void TMenuLoop::OpenTimer(TMenuPopupWindow* Window) {
  if (!active_) return;
  for (size_t L = 0; L < levels_.size(); ++L) {
    if (levels_[L].Window.get() != Window) continue;
    const bool open = L + 1 < levels_.size();
    if (!open) OpenSubmenu(static_cast<int32_t>(L), false);
    return;
  }
}

void TMenuLoop::MoveInLevel(size_t L, int32_t Step) {
  TLevel& level = levels_[L];
  const auto& slots = level.Window->Layout().Slots;
  const int32_t n = static_cast<int32_t>(slots.size());
  if (n == 0) return;
  int32_t i = level.Hot;
  for (int32_t tries = 0; tries < n; ++tries) {
    i = i < 0 ? (Step > 0 ? 0 : n - 1) : ((i + Step) % n + n) % n;
    if (Selectable(slots[static_cast<size_t>(i)].Item)) {
      CloseLevels(L + 1);
      SetLevelHot(L, i);
      return;
    }
  }
}

void TMenuLoop::MoveOnBar(int32_t Step, bool Open) {
  if (!bar_) return;
  const auto& slots = bar_->Layout().Slots;
  const int32_t n = static_cast<int32_t>(slots.size());
  if (n == 0) return;
  int32_t i = bar_hot_;
  for (int32_t tries = 0; tries < n; ++tries) {
    i = ((i + Step) % n + n) % n;
    if (slots[static_cast<size_t>(i)].Item) break;
  }
  CloseLevels(0);
  SetBarHot(i);
  if (Open) OpenSubmenu(-1, true);
}

void TMenuLoop::Execute(TMenuItem* Item) {
  if (!Item || Item->IsLine() || !Item->Enabled()) return;
  if (Item->Count() > 0) return;
  End(Item);
}

bool TMenuLoop::Mnemonic(char Ch) {
  if (!Ch) return false;
  // The deepest level answers, else the bar.
  if (!levels_.empty()) {
    const size_t L = levels_.size() - 1;
    TLevel& level = levels_[L];
    const auto& slots = level.Window->Layout().Slots;
    std::vector<int32_t> hits;
    for (size_t i = 0; i < slots.size(); ++i)
      if (slots[i].Item && MnemonicOf(slots[i].Item->Caption()) == Ch) hits.push_back(static_cast<int32_t>(i));
    if (hits.empty()) return false;
    if (hits.size() > 1) {
      auto next = std::upper_bound(hits.begin(), hits.end(), level.Hot);
      SetLevelHot(L, next == hits.end() ? hits.front() : *next);
      return true;
    }
    SetLevelHot(L, hits.front());
    TMenuItem* item = slots[static_cast<size_t>(hits.front())].Item;
    if (item->Count() > 0) OpenSubmenu(static_cast<int32_t>(L), true);
    else Execute(item);
    return true;
  }
  if (bar_) {
    const auto& slots = bar_->Layout().Slots;
    for (size_t i = 0; i < slots.size(); ++i) {
      TMenuItem* item = slots[i].Item;
      if (!item || MnemonicOf(item->Caption()) != Ch) continue;
      SetBarHot(static_cast<int32_t>(i));
      if (item->Count() > 0) OpenSubmenu(-1, true);
      else Execute(item);
      return true;
    }
  }
  return false;
}

bool TMenuLoop::KeyDown(uint16_t VK) {
  if (!active_) return false;
  switch (VK) {
    case VK_MENU: case VK_LMENU: case VK_RMENU: case VK_SHIFT: case VK_LSHIFT: case VK_RSHIFT:
    case VK_CONTROL: case VK_LCONTROL: case VK_RCONTROL:
      return false;  // the form's menu key handling decides (Alt released alone leaves the menu)
    case VK_F10:
      End(nullptr);
      return true;
    default:
      break;
  }
  keyboard_ = true;
  const bool inPopup = !levels_.empty();
  const size_t L = inPopup ? levels_.size() - 1 : 0;
  switch (VK) {
    case VK_ESCAPE:
      if (inPopup && (levels_.size() > 1 || bar_)) {
        CloseLevels(L);
        Repaint();
      } else {
        End(nullptr);
      }
      return true;
    case VK_UP:
    case VK_DOWN:
      if (inPopup) MoveInLevel(L, VK == VK_DOWN ? 1 : -1);
      else OpenSubmenu(-1, true);
      return true;
    case VK_HOME:
    case VK_END:
      if (inPopup) {
        levels_[L].Hot = -1;
        MoveInLevel(L, VK == VK_HOME ? 1 : -1);
      }
      return true;
    case VK_RIGHT: {
      if (inPopup) {
        TLevel& level = levels_[L];
        TMenuItem* hot = level.Hot >= 0 ? level.Window->Layout().Slots[static_cast<size_t>(level.Hot)].Item : nullptr;
        if (hot && hot->Count() > 0 && hot->Enabled()) {
          OpenSubmenu(static_cast<int32_t>(L), true);
          return true;
        }
        if (bar_) MoveOnBar(1, true);
        return true;
      }
      MoveOnBar(1, false);
      return true;
    }
    case VK_LEFT:
      if (inPopup && levels_.size() > 1) {
        CloseLevels(L);
        Repaint();
        return true;
      }
      if (bar_) MoveOnBar(-1, inPopup);
      return true;
    case VK_RETURN:
      if (inPopup) {
        TLevel& level = levels_[L];
        if (level.Hot < 0) return true;
        TMenuItem* item = level.Window->Layout().Slots[static_cast<size_t>(level.Hot)].Item;
        if (item && item->Count() > 0) OpenSubmenu(static_cast<int32_t>(L), true);
        else Execute(item);
      } else if (bar_ && bar_hot_ >= 0) {
        TMenuItem* item = bar_->Layout().Slots[static_cast<size_t>(bar_hot_)].Item;
        if (item && item->Count() > 0) OpenSubmenu(-1, true);
        else Execute(item);
      }
      return true;
    default:
      break;
  }
  if (const char ch = KeyChar(VK)) {
    if (!Mnemonic(ch)) MessageBeep(0);
  }
  return true;
}

bool TMenuLoop::Char(uint32_t Ch) {
  if (!active_) return false;
  keyboard_ = true;
  if (!Mnemonic(CharOf(Ch))) MessageBeep(0);
  return true;
}

void TMenuLoop::Mouse(UINT Msg, TPoint Screen) {
  if (!active_) return;
  const bool press =
      Msg == WM_LBUTTONDOWN || Msg == WM_LBUTTONDBLCLK || Msg == WM_RBUTTONDOWN || Msg == WM_RBUTTONDBLCLK;
  const bool release = Msg == WM_LBUTTONUP || Msg == WM_RBUTTONUP;
  const bool rightButton = Msg == WM_RBUTTONDOWN || Msg == WM_RBUTTONUP || Msg == WM_RBUTTONDBLCLK;
  // Where the mouse is: the deepest drop-down first, then the bar.
  for (size_t L = levels_.size(); L-- > 0;) {
    TMenuPopupWindow* w = levels_[L].Window.get();
    if (!w->ContainsScreen(Screen)) continue;
    const int32_t hit = w->HitScreen(Screen);
    if (Msg == WM_MOUSEMOVE) {
      if (hit < 0) return;
      const bool openHere = L + 1 < levels_.size() && levels_[L].Hot == hit;
      if (!openHere) {
        CloseLevels(L + 1);
        SetLevelHot(L, Selectable(w->Layout().Slots[static_cast<size_t>(hit)].Item) ? hit : -1);
        TMenuItem* item = w->Layout().Slots[static_cast<size_t>(hit)].Item;
        if (item && item->Count() > 0 && item->Enabled() && w->HandleAllocated()) {
          DWORD delay = 400;
          SystemParametersInfo(SPI_GETMENUSHOWDELAY, 0, &delay, 0);
          SetTimer(w->Handle(), kOpenTimer, delay);
        }
      }
      return;
    }
    if (rightButton && !modal_) return;
    if (rightButton && !(flags_ & TPM_RIGHTBUTTON)) return;
    if (hit < 0) return;
    TMenuItem* item = w->Layout().Slots[static_cast<size_t>(hit)].Item;
    if (press) {
      CloseLevels(L + 1);
      SetLevelHot(L, Selectable(item) ? hit : -1);
      if (item && item->Count() > 0) OpenSubmenu(static_cast<int32_t>(L), false);
      ignore_release_ = false;
    } else if (release) {
      if (ignore_release_) {
        ignore_release_ = false;
        if (item && item->Count() > 0) return;
      }
      Execute(item);
    }
    return;
  }
  if (bar_ && bar_->ContainsScreen(Screen)) {
    const int32_t hit = bar_->HitScreen(Screen);
    if (hit < 0) return;
    TMenuItem* item = bar_->Layout().Slots[static_cast<size_t>(hit)].Item;
    if (Msg == WM_MOUSEMOVE) {
      if (hit != bar_hot_ && (BarOpen() || keyboard_)) {
        CloseLevels(0);
        SetBarHot(hit);
        if (item && item->Count() > 0 && !keyboard_) OpenSubmenu(-1, false);
      }
      return;
    }
    if (press && !rightButton) {
      if (hit == bar_hot_ && BarOpen()) {
        End(nullptr);  // a second press on the open item closes the menu
        return;
      }
      CloseLevels(0);
      keyboard_ = false;
      SetBarHot(hit);
      ignore_release_ = true;
      if (item && item->Count() > 0) OpenSubmenu(-1, false);
      return;
    }
    if (release && !rightButton && item && item->Count() == 0 && hit == bar_hot_) Execute(item);
    return;
  }
  // Outside every menu window.
  if (press) {
    End(nullptr);
    return;
  }
  if (Msg == WM_MOUSEMOVE && !levels_.empty()) {
    // The plain hot item of the deepest drop-down loses its highlight.
    const size_t L = levels_.size() - 1;
    SetLevelHot(L, -1);
  }
}

bool TMenuLoop::Shows(const TMenuItem* Item) const {
  if (!active_ || !Item) return false;
  if (root_ == Item) return true;
  if (bar_ && bar_->Holds(Item)) return true;
  for (const TLevel& l : levels_)
    if (l.Parent == Item || l.Window->Holds(Item)) return true;
  return false;
}

void TMenuLoop::BarRebuilt(TMenuBarWindow* Bar) {
  if (!active_ || Bar != bar_) return;
  const int32_t n = static_cast<int32_t>(Bar->Layout().Slots.size());
  if (n == 0) {
    End(nullptr);
    return;
  }
  bar_hot_ = std::min(bar_hot_, n - 1);
}

void TMenuLoop::ItemChanged(TMenu* Menu, TMenuItem* Source, bool Rebuild) {
  if (!active_) return;
  for (TLevel& l : levels_) {
    if (l.Parent->GetParentMenu() != Menu) continue;
    if (Source && Source->Parent() != l.Parent && Source != l.Parent) continue;
    if (Rebuild) {
      l.Window->Relayout();
      const int32_t n = static_cast<int32_t>(l.Window->Layout().Slots.size());
      if (l.Hot >= n) l.Hot = -1;
    } else {
      l.Window->Invalidate();
    }
  }
}

TMenuPopupWindow* TMenuLoop::WindowOf(HMENU Menu) const {
  if (!active_) return nullptr;
  for (const TLevel& l : levels_)
    if (l.Parent && l.Parent->Handle() == Menu) return l.Window.get();
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// What the menu classes tell the windows

void MenuChanged(TMenu* Menu, TMenuItem* Source, bool Rebuild) {
  TMenuLoop& loop = TMenuLoop::Get();
  if (TMenuBarWindow* bar = BarOfMenu(Menu)) {
    if (Rebuild) {
      bar->Rebuild();
      loop.BarRebuilt(bar);
    } else {
      bar->Invalidate();
    }
  }
  loop.ItemChanged(Menu, Source, Rebuild);
}

void ItemDestroying(TMenuItem* Item) {
  TMenuLoop& loop = TMenuLoop::Get();
  if (loop.Shows(Item)) loop.End(nullptr);
  if (TMenu* menu = Item->GetParentMenu())
    if (TMenuBarWindow* bar = BarOfMenu(menu)) bar->Forget(Item);
}

void MenuDestroying(TMenu* Menu) {
  TMenuLoop& loop = TMenuLoop::Get();
  if (loop.Active() && (loop.Shows(Menu->Items()) || (loop.Bar() && loop.Bar()->Menu() == Menu))) loop.End(nullptr);
  if (TMenuBarWindow* bar = BarOfMenu(Menu)) {
    if (TCustomForm* form = bar->Form(); form && form->MenuBar() == bar) form->SetMenuBar(nullptr);
    delete bar;  // owned by the menu: the component ownership rule
  }
}

TCustomForm* FormOfMenu(const TMainMenu* Menu) {
  TMenuBarWindow* bar = BarOfMenu(Menu);
  return bar ? bar->Form() : nullptr;
}

UINT TrackMenu(TMenuItem* Root, UINT Flags, TPoint At, HWND Owner) {
  if (!Root) return 0;
  return TMenuLoop::Get().Track(Root, Flags, At, Owner);
}

// ---------------------------------------------------------------------------------------------
// The window layer's hooks

namespace {

void FormMenuChanged(TCustomForm* Form) {
  TMainMenu* menu = Form->Menu();
  TMenuBarWindow* bar = BarOfForm(Form);
  if (bar && bar->Menu() == menu) {
    bar->Rebuild();
    return;
  }
  TMenuLoop& loop = TMenuLoop::Get();
  if (bar) {
    if (loop.Active() && loop.Bar() == bar) loop.End(nullptr);
    Form->SetMenuBar(nullptr);
    delete bar;  // owned by its menu: the component ownership rule
  }
  if (!menu) return;
  if (TMenuBarWindow* old = BarOfMenu(menu)) {
    // The menu moves to another form.
    if (loop.Active() && loop.Bar() == old) loop.End(nullptr);
    if (old->Form() && old->Form()->MenuBar() == old) old->Form()->SetMenuBar(nullptr);
    delete old;
  }
  auto* created = new TMenuBarWindow(menu, Form);  // owned by the menu
  created->SetBounds(0, 0, Form->ClientWidth(), 0);
  created->Rebuild();
  created->SetParent(Form);
  Form->SetMenuBar(created);
}

bool LoopKey(TWMKey& Message) {
  TMenuLoop& loop = TMenuLoop::Get();
  if (!loop.Active()) return false;
  return loop.KeyDown(Message.CharCode);
}

bool EnterFormBar(TCustomForm* Form);

bool FormIsShortCut(TCustomForm* Form, TWMKey& Message) {
  if (LoopKey(Message)) return true;
  if (TMenuLoop::Get().Active()) return false;
  TMainMenu* menu = Form->Menu();
  if (menu && menu->IsShortCut(Message)) return true;
  // F10 (without Shift or Ctrl) enters the menu bar.
  if (Message.CharCode == VK_F10 && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0)
    return EnterFormBar(Form);
  return false;
}

// Enters the form's menu bar by keyboard.
bool EnterFormBar(TCustomForm* Form) {
  TMenuBarWindow* bar = BarOfForm(Form);
  if (!bar || bar->Layout().Slots.empty()) return false;
  TMenuLoop::Get().EnterBar(bar, 0, true);
  return true;
}

// Enters the menu bar with the item of a mnemonic open; false when no item has it.
bool OpenByMnemonic(TCustomForm* Form, uint32_t Ch) {
  TMenuBarWindow* bar = BarOfForm(Form);
  const char ch = CharOf(Ch);
  if (!bar || !ch) return false;
  const auto& slots = bar->Layout().Slots;
  for (size_t i = 0; i < slots.size(); ++i) {
    if (!slots[i].Item || MnemonicOf(slots[i].Item->Caption()) != ch) continue;
    TMenuLoop& loop = TMenuLoop::Get();
    loop.EnterBar(bar, static_cast<int32_t>(i), true);
    return loop.Char(Ch);
  }
  return false;
}

bool FormMenuKey(TCustomForm* Form, TMessage& Message) {
  TMenuLoop& loop = TMenuLoop::Get();
  const uint16_t vk = static_cast<uint16_t>(Message.WParam);
  const bool isAlt = vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU;
  switch (Message.Msg) {
    case WM_SYSKEYDOWN:
    case WM_KEYDOWN:
      if (isAlt) return false;  // the default window procedure makes the menu key of it
      if (vk == VK_F10) {
        if (loop.Active()) loop.End(nullptr);
        else EnterFormBar(Form);
        return true;
      }
      if (loop.Active()) return loop.KeyDown(vk);
      return false;
    case WM_SYSKEYUP:
    case WM_KEYUP:
      return !isAlt && vk == VK_F10;
    case WM_SYSCHAR:
      // Outside the menu the default window procedure makes SC_KEYMENU of it.
      return loop.Active();
    case WM_SYSCOMMAND:
      // SC_KEYMENU: the menu key (Alt released alone, F10) toggles the menu bar; with a
      // character (Alt+letter) the bar item of that mnemonic opens.
      if ((Message.WParam & 0xFFF0) != SC_KEYMENU) return false;
      if (Message.LParam == 0) {
        if (loop.Active()) loop.End(nullptr);
        else EnterFormBar(Form);
        return true;
      }
      if (loop.Active()) return loop.Char(static_cast<uint32_t>(Message.LParam));
      return OpenByMnemonic(Form, static_cast<uint32_t>(Message.LParam));
    default:
      return false;
  }
}

bool PopupHook(TControl* Control, TPopupMenu* Menu, TPoint ScreenPos) {
  if (!Menu || !Menu->AutoPopup()) return false;
  Menu->SetPopupComponent(Control);
  Menu->Popup(ScreenPos.X, ScreenPos.Y);
  return true;
}

bool PopupIsShortCut(TPopupMenu* Menu, TWMKey& Message) {
  if (LoopKey(Message)) return true;
  if (TMenuLoop::Get().Active()) return false;
  return Menu && Menu->IsShortCut(Message);
}

}  // namespace

void InstallHooks() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  TMenuHooks& h = MenuHooks();
  h.FormMenuChanged = FormMenuChanged;
  h.FormIsShortCut = FormIsShortCut;
  h.FormMenuKey = FormMenuKey;
  h.Popup = PopupHook;
  h.PopupIsShortCut = PopupIsShortCut;
  h.PopupMenuComponent = [](TPopupMenu* m) -> TComponent* { return m; };
  h.AsPopupMenu = [](TComponent* c) -> TPopupMenu* { return dynamic_cast<TPopupMenu*>(c); };
  h.MainMenuComponent = [](TMainMenu* m) -> TComponent* { return m; };
  h.AsMainMenu = [](TComponent* c) -> TMainMenu* { return dynamic_cast<TMainMenu*>(c); };
}

}  // namespace px_menus

// ---------------------------------------------------------------------------------------------
// The window system's menu calls

using px_menus::TMenuLoop;

HMENU GetMenu(HWND Wnd) {
  TCustomForm* form = px_menus::FormOfWindow(Wnd);
  return form && form->Menu() ? form->Menu()->Handle() : nullptr;
}

BOOL DrawMenuBar(HWND Wnd) {
  px_menus::TMenuBarWindow* bar = px_menus::BarOfForm(px_menus::FormOfWindow(Wnd));
  if (!bar) return 0;
  bar->Rebuild();
  return 1;
}

BOOL GetMenuItemRect(HWND Wnd, HMENU Menu, UINT Item, TRect* Rect) {
  if (!Rect) return 0;
  const int32_t index = static_cast<int32_t>(Item);
  if (TCustomForm* form = px_menus::FormOfWindow(Wnd)) {
    px_menus::TMenuBarWindow* bar = px_menus::BarOfForm(form);
    if (bar && bar->Menu()->Handle() == Menu) {
      if (index < 0 || index >= static_cast<int32_t>(bar->Layout().Slots.size()) || !bar->HandleAllocated()) return 0;
      *Rect = bar->SlotScreenRect(index);
      return 1;
    }
  }
  px_menus::TMenuPopupWindow* window = TMenuLoop::Get().WindowOf(Menu);
  if (!window || index < 0 || index >= static_cast<int32_t>(window->Layout().Slots.size())) return 0;
  *Rect = window->SlotScreenRect(index);
  return 1;
}

HWND MenuWindowFromMenu(HMENU Menu) {
  px_menus::TMenuPopupWindow* window = TMenuLoop::Get().WindowOf(Menu);
  return window && window->HandleAllocated() ? window->Handle() : nullptr;
}

BOOL TrackPopupMenu(HMENU Menu, UINT Flags, int32_t X, int32_t Y, int32_t, HWND Wnd, const TRect*) {
  TMenuItem* root = px_menus::ItemFromHandle(Menu);
  if (!root || TMenuLoop::Get().Active()) return 0;
  return static_cast<BOOL>(px_menus::TrackMenu(root, Flags, TPoint(X, Y), Wnd));
}

BOOL EndMenu() {
  TMenuLoop& loop = TMenuLoop::Get();
  if (!loop.Active()) return 0;
  loop.End(nullptr);
  return 1;
}

BOOL SystemParametersInfo(UINT Action, UINT Param, void* PVParam, UINT /*WinIni*/) {
  switch (Action) {
    case SPI_GETNONCLIENTMETRICS: {
      auto* m = static_cast<NONCLIENTMETRICS*>(PVParam);
      if (!m || Param != sizeof(NONCLIENTMETRICS) || m->cbSize != sizeof(NONCLIENTMETRICS)) return 0;
      *m = NONCLIENTMETRICS();
      m->iBorderWidth = GetSystemMetrics(SM_CXBORDER);
      m->iScrollWidth = GetSystemMetrics(SM_CXVSCROLL);
      m->iScrollHeight = GetSystemMetrics(SM_CYHSCROLL);
      m->iCaptionWidth = GetSystemMetrics(SM_CXSIZE);
      m->iCaptionHeight = GetSystemMetrics(SM_CYSIZE);
      m->iSmCaptionWidth = GetSystemMetrics(SM_CXSMSIZE);
      m->iSmCaptionHeight = GetSystemMetrics(SM_CYSMSIZE);
      m->iMenuWidth = GetSystemMetrics(SM_CXMENUSIZE);
      m->iMenuHeight = GetSystemMetrics(SM_CYMENUSIZE);
      TFont font;  // Tahoma 8 points, as the classic desktop's fonts
      if (TScreen* screen = Screen()) font.Assign(screen->MenuFont());
      m->lfMenuFont = font.LogFont();
      m->lfStatusFont = font.LogFont();
      m->lfMessageFont = font.LogFont();
      m->lfSmCaptionFont = font.LogFont();
      font.SetStyle({fsBold});
      m->lfCaptionFont = font.LogFont();
      return 1;
    }
    case SPI_GETMENUANIMATION:
      if (!PVParam) return 0;
      *static_cast<BOOL*>(PVParam) = px_menus::g_menu_animation;
      return 1;
    case SPI_SETMENUANIMATION:
      px_menus::g_menu_animation = PVParam != nullptr ? 1 : 0;
      return 1;
    case SPI_GETMENUSHOWDELAY:
      if (!PVParam) return 0;
      *static_cast<DWORD*>(PVParam) = 400;
      return 1;
    default:
      return 0;
  }
}
