// TCustomControl, TGraphicControl, the control canvas, size constraints, the timer, the mouse
// and the helpers of the controls unit.
#include <algorithm>
#include <cctype>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"

namespace {

std::vector<TControlCanvas*>& CanvasList() {
  static std::vector<TControlCanvas*> list;
  return list;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TControlCanvas

TControlCanvas::TControlCanvas() = default;

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetControl(TControl* Value) {
  if (control_ == Value) return;
  FreeHandle();
  control_ = Value;
}

void TControlCanvas::CreateHandle() {
  if (!control_) return;
  if (!dc_) {
    HWND wnd;
    TWinControl* win = dynamic_cast<TWinControl*>(control_);
    if (win) {
      wnd = win->Handle();
    } else {
      TWinControl* parent = control_->Parent();
      if (!parent) throw EInvalidOperation(Format("Control '%s' has no parent window", control_->Name().c_str()));
      wnd = parent->Handle();
    }
    HDC dc = GetDC(wnd);
    if (!dc) throw EOSError("Out of system resources");
    if (!win) {
      // A windowless control draws on its parent, moved to and clipped by its bounds.
      SetViewportOrgEx(dc, control_->Left(), control_->Top(), nullptr);
      IntersectClipRect(dc, 0, 0, control_->Width(), control_->Height());
    }
    dc_ = dc;
    dc_window_ = wnd;
    CanvasList().push_back(this);
  }
  SetHandle(dc_);
  UpdateTextFlags();
}

void TControlCanvas::FreeHandle() {
  if (!dc_) return;
  SetHandle(nullptr);
  auto& list = CanvasList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  ReleaseDC(dc_window_, dc_);
  dc_ = nullptr;
  dc_window_ = nullptr;
}

void TControlCanvas::UpdateTextFlags() {}

void FreeDeviceContexts() {
  for (TControlCanvas* c : std::vector<TControlCanvas*>(CanvasList()))
    if (c->LockCount() == 0) c->FreeHandle();
}

// ---------------------------------------------------------------------------------------------
// TCustomControl and TGraphicControl

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {
  canvas_ = std::make_unique<TControlCanvas>();
  canvas_->SetControl(this);
}

TCustomControl::~TCustomControl() { canvas_->FreeHandle(); }

void TCustomControl::WMPaint(TWMPaint& Message) {
  control_state_ += csCustomPaint;
  try {
    TWinControl::WMPaint(Message);
  } catch (...) {
    control_state_ -= csCustomPaint;
    throw;
  }
  control_state_ -= csCustomPaint;
}

void TCustomControl::PaintWindow(HDC DC) {
  CanvasScope scope(canvas_.get(), DC);
  canvas_->UpdateTextFlags();
  Paint();
}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {
  canvas_ = std::make_unique<TControlCanvas>();
  canvas_->SetControl(this);
}

TGraphicControl::~TGraphicControl() { canvas_->FreeHandle(); }

void TGraphicControl::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_PAINT) {
    TWMPaint r(Message);
    WMPaint(r);
    r.WriteTo(Message);
    return;
  }
  TControl::Dispatch(Message);
}

void TGraphicControl::WMPaint(TWMPaint& Message) {
  if (!Message.DC || ComponentState().Contains(csDestroying)) return;
  CanvasScope scope(canvas_.get(), Message.DC);
  Paint();
}

// ---------------------------------------------------------------------------------------------
// TSizeConstraints

TSizeConstraints::TSizeConstraints(TControl* Control) : control_(Control) {}

void TSizeConstraints::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TSizeConstraints*>(Source)) {
    min_height_ = s->min_height_;
    max_height_ = s->max_height_;
    min_width_ = s->min_width_;
    max_width_ = s->max_width_;
    Change();
    return;
  }
  TPersistent::Assign(Source);
}

TPersistent* TSizeConstraints::GetOwner() { return control_; }

void TSizeConstraints::Change() {
  if (on_change_) on_change_(this);
}

void TSizeConstraints::SetMaxHeight(int32_t Value) {
  Value = std::max(Value, 0);
  if (Value == max_height_) return;
  max_height_ = Value;
  if (Value > 0 && Value < min_height_) min_height_ = Value;
  Change();
}

void TSizeConstraints::SetMaxWidth(int32_t Value) {
  Value = std::max(Value, 0);
  if (Value == max_width_) return;
  max_width_ = Value;
  if (Value > 0 && Value < min_width_) min_width_ = Value;
  Change();
}

void TSizeConstraints::SetMinHeight(int32_t Value) {
  Value = std::max(Value, 0);
  if (Value == min_height_) return;
  min_height_ = Value;
  if (max_height_ > 0 && Value > max_height_) max_height_ = Value;
  Change();
}

void TSizeConstraints::SetMinWidth(int32_t Value) {
  Value = std::max(Value, 0);
  if (Value == min_width_) return;
  min_width_ = Value;
  if (max_width_ > 0 && Value > max_width_) max_width_ = Value;
  Change();
}

// ---------------------------------------------------------------------------------------------
// TTimer

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  CheckUIThread();
  window_ = AllocateHWnd([this](TMessage& m) { WndProc(m); });
}

TTimer::~TTimer() {
  enabled_ = false;
  KillTimer(window_, 1);
  DeallocateHWnd(window_);
}

void TTimer::UpdateTimer() {
  KillTimer(window_, 1);
  if (interval_ != 0 && enabled_ && on_timer_) SetTimer(window_, 1, interval_, nullptr);
}

void TTimer::SetEnabled(bool Value) {
  if (enabled_ == Value) return;
  enabled_ = Value;
  UpdateTimer();
}

void TTimer::SetInterval(uint32_t Value) {
  if (interval_ == Value) return;
  interval_ = Value;
  UpdateTimer();
}

void TTimer::SetOnTimer(const TNotifyEvent& Value) {
  on_timer_ = Value;
  UpdateTimer();
}

void TTimer::Timer() {
  if (enabled_ && on_timer_) on_timer_(this);
}

void TTimer::WndProc(TMessage& Message) {
  if (Message.Msg == WM_TIMER) {
    try {
      Timer();
    } catch (...) {
      ReportCurrentException();
    }
  }
}

// ---------------------------------------------------------------------------------------------
// TMouse

void TMouse::SetCapture(HWND Value) {
  if (Value) ::SetCapture(Value);
  else ReleaseCapture();
}

TPoint TMouse::CursorPos() const {
  TPoint p;
  GetCursorPos(&p);
  return p;
}

void TMouse::SetCursorPos(TPoint Value) { ::SetCursorPos(Value.X, Value.Y); }

TMouse* Mouse() {
  static TMouse mouse;
  return &mouse;
}

TMenuHooks& MenuHooks() {
  static TMenuHooks hooks;
  return hooks;
}

// ---------------------------------------------------------------------------------------------
// Helpers

TWinControl* FindControl(HWND Handle) {
  TWindowData* w = WindowData(Handle);
  return w ? w->Control : nullptr;
}

TWinControl* FindVCLWindow(TPoint Pos) {
  HWND wnd = WindowFromPoint(Pos);
  while (wnd) {
    if (TWinControl* c = FindControl(wnd)) return c;
    wnd = GetParent(wnd);
  }
  return nullptr;
}

TControl* FindDragTarget(TPoint Pos, bool AllowDisabled) {
  TWinControl* window = FindVCLWindow(Pos);
  if (!window) return nullptr;
  if (TControl* c = window->ControlAtPos(window->ScreenToClient(Pos), AllowDisabled)) return c;
  return window;
}

namespace {
// The code point at s[i] (UTF-8), advancing i.
char32_t NextCodePoint(const std::string& s, size_t& i) {
  const auto b = static_cast<unsigned char>(s[i]);
  int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
  if (i + static_cast<size_t>(n) > s.size()) n = 1;
  char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
  for (int k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0x3F);
  i += static_cast<size_t>(n);
  return c;
}

char32_t FoldCase(char32_t c) {
  if (c < 0x80) return static_cast<char32_t>(std::toupper(static_cast<int>(c)));
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;  // Latin-1 letters
  return c;
}
}  // namespace

bool IsAccel(uint16_t VK, const std::string& Str) {
  char32_t hotkey = 0;
  size_t i = 0;
  while (i < Str.size()) {
    if (Str[i] == '&' && i + 1 < Str.size()) {
      ++i;
      if (Str[i] == '&') {
        ++i;
        continue;
      }
      hotkey = NextCodePoint(Str, i);  // a later one wins, as the class library's does
      continue;
    }
    NextCodePoint(Str, i);
  }
  return hotkey != 0 && FoldCase(hotkey) == FoldCase(VK);
}

std::string StripHotkey(const std::string& Text) {
  std::string out;
  out.reserve(Text.size());
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == '&') {
      if (i + 1 < Text.size() && Text[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += Text[i];
  }
  return out;
}

std::string GetShortHint(const std::string& Hint) {
  const size_t bar = Hint.find('|');
  return bar == std::string::npos ? Hint : Hint.substr(0, bar);
}

std::string GetLongHint(const std::string& Hint) {
  const size_t bar = Hint.find('|');
  return bar == std::string::npos ? Hint : Hint.substr(bar + 1);
}

// ---------------------------------------------------------------------------------------------
// Cursor names

namespace {
struct CursorName {
  int32_t Value;
  const char* Name;
};
const CursorName kCursorNames[] = {
    {crDefault, "crDefault"}, {crNone, "crNone"}, {crArrow, "crArrow"}, {crCross, "crCross"},
    {crIBeam, "crIBeam"}, {crSizeNESW, "crSizeNESW"}, {crSizeNS, "crSizeNS"}, {crSizeNWSE, "crSizeNWSE"},
    {crSizeWE, "crSizeWE"}, {crUpArrow, "crUpArrow"}, {crHourGlass, "crHourGlass"}, {crDrag, "crDrag"},
    {crNoDrop, "crNoDrop"}, {crHSplit, "crHSplit"}, {crVSplit, "crVSplit"}, {crMultiDrag, "crMultiDrag"},
    {crSQLWait, "crSQLWait"}, {crNo, "crNo"}, {crAppStart, "crAppStart"}, {crHelp, "crHelp"},
    {crHandPoint, "crHandPoint"}, {crSizeAll, "crSizeAll"}, {crSize, "crSize"},
};
}  // namespace

bool CursorToIdent(int32_t Cursor, std::string& Ident) {
  for (const CursorName& c : kCursorNames)
    if (c.Value == Cursor) {
      Ident = c.Name;
      return true;
    }
  return false;
}

bool IdentToCursor(std::string_view Ident, int32_t& Cursor) {
  for (const CursorName& c : kCursorNames)
    if (SameText(Ident, c.Name)) {
      Cursor = c.Value;
      return true;
    }
  return false;
}

std::string CursorToString(TCursor Cursor) {
  std::string s;
  return CursorToIdent(Cursor, s) ? s : IntToStr(Cursor);
}

TCursor StringToCursor(std::string_view S) {
  int32_t v;
  if (IdentToCursor(S, v)) return static_cast<TCursor>(v);
  return static_cast<TCursor>(StrToInt(std::string(S)));
}
