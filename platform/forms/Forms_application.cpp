// TApplication, TScreen, TMonitor and the start-up of the window layer.
#include <algorithm>
#include <cstdio>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Mask.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"
#include "platform/rtl/Classes_threads.h"

namespace px_forms {
void SetUIThread(bool set);
void PostSynchronizeMarker();
void ClearQueue();
void ResetWindowState();
}  // namespace px_forms

namespace {

std::unique_ptr<TApplication>& TheApplication() {
  static std::unique_ptr<TApplication> app;
  return app;
}

std::unique_ptr<TScreen>& TheScreen() {
  static std::unique_ptr<TScreen> screen;
  return screen;
}

TExceptionReporter& Reporter() {
  static TExceptionReporter reporter;
  return reporter;
}

bool g_started = false;

HDC WindowGetDC(HWND wnd) { return GetWindowDCInternal(wnd, true); }
int32_t WindowReleaseDC(HWND wnd, HDC dc) { return ReleaseWindowDC(wnd, dc); }

}  // namespace

TApplication* Application() { return TheApplication().get(); }
TScreen* Screen() { return TheScreen().get(); }

void SetExceptionReporter(TExceptionReporter Reporter_) { Reporter() = std::move(Reporter_); }

// ---------------------------------------------------------------------------------------------
// Start-up

void FormsStartup() {
  if (g_started) return;
  px_forms::SetUIThread(true);
  ToolkitStartup();
  SetWindowDCHooks(&WindowGetDC, &WindowReleaseDC);
  SetWakeMainThread([] { px_forms::PostSynchronizeMarker(); });
  RegisterFormsClasses();
  // The standard controls, menus and dialogs, so stored forms find their classes.
  MenusRegisterClasses();
  StdCtrlsRegisterClasses();
  ExtCtrlsRegisterClasses();
  MaskRegisterClasses();
  ComCtrlsRegisterClasses();
  RegisterDialogClasses();
  ActnListRegisterClasses();
  TheScreen() = std::make_unique<TScreen>(nullptr);
  TheApplication() = std::make_unique<TApplication>(nullptr);
  g_started = true;
}

void FormsShutdown() {
  if (!g_started) return;
  TheApplication().reset();
  // Forms nobody owned are the holders' to free; the screen forgets them.
  TheScreen().reset();
  SetWakeMainThread(nullptr);
  SetWindowDCHooks(nullptr, nullptr);
  px_forms::ClearQueue();
  px_forms::ResetWindowState();
  ResetInputState();
  ToolkitShutdown();
  px_forms::SetUIThread(false);
  g_started = false;
}

bool FormsStarted() { return g_started; }

// ---------------------------------------------------------------------------------------------
// TApplication

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {
  title_ = ChangeFileExt(ExtractFileName(ParamStr(0)), "");
}

TApplication::~TApplication() {
  hint_window_.reset();
  if (hint_timer_window_) DeallocateHWnd(hint_timer_window_);
  // The forms' OnDestroy runs while each form is whole, last created first.
  for (int i = ComponentCount() - 1; i >= 0; --i)
    if (auto* form = dynamic_cast<TCustomForm*>(Components(i))) form->BeforeDestruction();
  Destroying();
  DestroyComponents();
}

void TApplication::SetTitle(const std::string& Value) { title_ = Value; }

std::string TApplication::ExeName() const { return ParamStr(0); }

void TApplication::Run() {
  if (main_form_ && !main_form_->Visible()) {
    try {
      main_form_->Show();
    } catch (...) {
      ReportCurrentException();
    }
  }
  while (!terminated_) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this, std::current_exception());
    }
    if (main_form_ && !main_form_->Visible() && !terminated_) terminated_ = true;
  }
}

void TApplication::ProcessMessages() {
  for (int i = 0; i < 100; ++i)
    if (!ProcessToolkitEvents(false)) break;
}

void TApplication::HandleMessage() {
  if (ProcessToolkitEvents(false)) return;
  bool done = true;
  try {
    if (on_idle_) on_idle_(this, done);
    DoActionIdle();
  } catch (...) {
    HandleException(this, std::current_exception());
  }
  if (done && !terminated_) ProcessToolkitEvents(true);
}

void TApplication::Idle() {
  bool done = true;
  if (on_idle_) on_idle_(this, done);
  DoActionIdle();
}

void TApplication::Terminate() {
  terminated_ = true;
  WakeEventLoop();
}

void TApplication::QueueCall(std::function<void()> Call) { PostCall(std::move(Call)); }

void TApplication::HandleException(TObject* Sender) { HandleException(Sender, std::current_exception()); }

void TApplication::HandleException(TObject* Sender, std::exception_ptr E) {
  if (!E) return;
  if (HWND cap = GetCapture()) {
    try {
      SendMessage(cap, WM_CANCELMODE);
    } catch (...) {
    }
  }
  try {
    try {
      std::rethrow_exception(E);
    } catch (const EAbort&) {
      return;
    } catch (const Exception& e) {
      if (on_exception_) on_exception_(Sender ? Sender : this, e);
      else ShowException(e);
    } catch (const std::exception& e) {
      Exception wrapped(e.what());
      if (on_exception_) on_exception_(Sender ? Sender : this, wrapped);
      else ShowException(wrapped);
    } catch (...) {
      Exception wrapped("Unknown exception");
      if (on_exception_) on_exception_(Sender ? Sender : this, wrapped);
      else ShowException(wrapped);
    }
  } catch (const std::exception& e) {
    // The report itself failed: nothing may leave here.
    std::fprintf(stderr, "Exception while reporting an exception: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "Exception while reporting an exception\n");
  }
}

void TApplication::ShowException(const Exception& E) {
  std::string msg = E.Message();
  if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
  if (Reporter()) Reporter()(title_, msg);
  else ShowExceptionBox(title_, msg);
}

// ---------------------------------------------------------------------------------------------
// TScreen

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {
  hint_font_ = std::make_unique<TFont>();
  menu_font_ = std::make_unique<TFont>();
  icon_font_ = std::make_unique<TFont>();
  MonitorsChanged();
}

TScreen::~TScreen() {
  for (auto& c : cursors_) DestroyCursor(c.second);
}

namespace {
// The drag cursors, drawn here: the arrow with one page (crDrag) or three (crMultiDrag) below
// it. 'X' black, '.' white, anything else transparent.
HCURSOR MakeDragCursor(bool Multi) {
  static const char* const kArrow[] = {
      "X",           "XX",          "X.X",         "X..X",        "X...X",       "X....X",
      "X.....X",     "X......X",    "X.......X",   "X........X",  "X.....XXXXX", "X..X..X",
      "X.X X..X",    "XX  X..X",    "X    X..X",   "      X..X",  "       XX",
  };
  constexpr int32_t kSize = 32;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP color = CreateCompatibleBitmap(screen, kSize, kSize);
  HBITMAP mask = CreateCompatibleBitmap(screen, kSize, kSize);
  auto put = [&](int32_t x, int32_t y, bool black) {
    SelectObject(dc, color);
    SetPixel(dc, x, y, black ? RGB(0, 0, 0) : RGB(255, 255, 255));
    SelectObject(dc, mask);
    SetPixel(dc, x, y, RGB(0, 0, 0));
  };
  HGDIOBJ old = SelectObject(dc, mask);
  PatBlt(dc, 0, 0, kSize, kSize, WHITENESS);
  SelectObject(dc, color);
  PatBlt(dc, 0, 0, kSize, kSize, BLACKNESS);
  for (int32_t y = 0; y < 17; ++y)
    for (int32_t x = 0; kArrow[y][x]; ++x)
      if (kArrow[y][x] == 'X' || kArrow[y][x] == '.') put(x, y, kArrow[y][x] == 'X');
  // The pages: 8 x 10 white with a black edge, stacked towards the bottom right.
  const int32_t pages = Multi ? 3 : 1;
  for (int32_t i = pages - 1; i >= 0; --i) {
    const int32_t left = 8 + 2 * i, top = 18 + 2 * i;
    for (int32_t y = 0; y < 10; ++y)
      for (int32_t x = 0; x < 8; ++x) put(left + x, top + y, x == 0 || y == 0 || x == 7 || y == 9);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  ICONINFO info;
  info.fIcon = FALSE;
  info.hbmMask = mask;
  info.hbmColor = color;
  HCURSOR cursor = CreateIconIndirect(&info);
  DeleteObject(color);
  DeleteObject(mask);
  return cursor;
}
}  // namespace

HCURSOR TScreen::Cursors(int32_t Index) {
  for (auto& c : cursors_)
    if (c.first == Index) return c.second;
  if (Index == crDrag || Index == crMultiDrag) {
    if (HCURSOR drawn = MakeDragCursor(Index == crMultiDrag)) {
      cursors_.emplace_back(Index, drawn);
      return drawn;
    }
  }
  static const struct {
    int32_t Id;
    int32_t Idc;
  } kStandard[] = {
      {crArrow, IDC_ARROW}, {crCross, IDC_CROSS}, {crIBeam, IDC_IBEAM}, {crSizeNESW, IDC_SIZENESW},
      {crSizeNS, IDC_SIZENS}, {crSizeNWSE, IDC_SIZENWSE}, {crSizeWE, IDC_SIZEWE}, {crUpArrow, IDC_UPARROW},
      {crHourGlass, IDC_WAIT}, {crNo, IDC_NO}, {crAppStart, IDC_APPSTARTING}, {crHelp, IDC_HELP},
      {crHandPoint, IDC_HAND}, {crSizeAll, IDC_SIZEALL}, {crNoDrop, IDC_NO},
      {crHSplit, IDC_SIZEWE}, {crVSplit, IDC_SIZENS}, {crSQLWait, IDC_WAIT},
  };
  if (Index == crNone) return nullptr;
  for (const auto& s : kStandard)
    if (s.Id == Index) return LoadCursor(0, s.Idc);
  return LoadCursor(0, IDC_ARROW);
}

void TScreen::SetCursors(int32_t Index, HCURSOR Handle) {
  for (auto it = cursors_.begin(); it != cursors_.end(); ++it) {
    if (it->first == Index) {
      if (it->second != Handle) DestroyCursor(it->second);
      if (Handle) it->second = Handle;
      else cursors_.erase(it);
      return;
    }
  }
  if (Handle) cursors_.emplace_back(Index, Handle);
}

void TScreen::SetCursor(TCursor Value) {
  if (cursor_ == Value) return;
  cursor_ = Value;
  if (Value != crDefault) {
    ::SetCursor(Cursors(Value));
  } else {
    // Each control's own cursor again: as if the mouse moved.
    TPoint p;
    GetCursorPos(&p);
    HWND wnd = WindowFromPoint(p);
    if (wnd && !GetCapture()) {
      TMessage m{WM_SETCURSOR, reinterpret_cast<WPARAM>(wnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), 0};
      DeliverMessage(wnd, m);
    }
  }
}

TCustomForm* TScreen::Forms(int32_t Index) const {
  if (Index < 0 || Index >= FormCount()) throw EListError(Format("List index out of bounds (%d)", Index));
  return forms_[static_cast<size_t>(Index)];
}

void TScreen::AddForm(TCustomForm* Form) {
  if (std::find(forms_.begin(), forms_.end(), Form) == forms_.end()) forms_.push_back(Form);
}

void TScreen::RemoveForm(TCustomForm* Form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), Form), forms_.end());
  if (active_form_ == Form) {
    active_form_ = nullptr;
    active_control_ = nullptr;
  }
  if (focused_form_ == Form) focused_form_ = nullptr;
  if (active_control_ && GetParentForm(active_control_) == Form) active_control_ = nullptr;
}

void TScreen::SetActiveForm(TCustomForm* Form) {
  // The active form comes first in Forms.
  auto it = std::find(forms_.begin(), forms_.end(), Form);
  if (it != forms_.end()) {
    forms_.erase(it);
    forms_.insert(forms_.begin(), Form);
  }
  if (active_form_ == Form) return;
  active_form_ = Form;
  if (on_active_form_change_) on_active_form_change_(this);
}

void TScreen::SetActiveControl(TWinControl* Control) {
  if (active_control_ == Control) return;
  active_control_ = Control;
  if (on_active_control_change_) on_active_control_change_(this);
}

void TScreen::MonitorsChanged() {
  monitors_.clear();
  const size_t n = ScreenInfos().size();
  for (size_t i = 0; i < n; ++i)
    monitors_.push_back(std::make_unique<TMonitor>(reinterpret_cast<HMONITOR>(i + 1), static_cast<int32_t>(i)));
}

int32_t TScreen::MonitorCount() {
  if (monitors_.size() != ScreenInfos().size()) MonitorsChanged();
  return static_cast<int32_t>(monitors_.size());
}

TMonitor* TScreen::Monitors(int32_t Index) {
  if (Index < 0 || Index >= MonitorCount()) throw EListError(Format("List index out of bounds (%d)", Index));
  return monitors_[static_cast<size_t>(Index)].get();
}

TMonitor* TScreen::PrimaryMonitor() { return Monitors(0); }

namespace {
TMonitor* MonitorOf(TScreen* s, HMONITOR h) {
  for (int32_t i = 0; i < s->MonitorCount(); ++i)
    if (s->Monitors(i)->Handle() == h) return s->Monitors(i);
  return nullptr;
}
}  // namespace

TMonitor* TScreen::MonitorFromPoint(TPoint Point, DWORD Default) { return MonitorOf(this, ::MonitorFromPoint(Point, Default)); }
TMonitor* TScreen::MonitorFromWindow(HWND Handle, DWORD Default) {
  return MonitorOf(this, ::MonitorFromWindow(Handle, Default));
}
TMonitor* TScreen::MonitorFromRect(const TRect& Rect, DWORD Default) {
  return MonitorOf(this, ::MonitorFromRect(&Rect, Default));
}

TRect TScreen::DesktopRect() {
  return Bounds(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

TRect TScreen::WorkAreaRect() { return PrimaryMonitor()->WorkareaRect(); }
int32_t TScreen::Width() { return GetSystemMetrics(SM_CXSCREEN); }
int32_t TScreen::Height() { return GetSystemMetrics(SM_CYSCREEN); }

TRect TMonitor::BoundsRect() const {
  MONITORINFO mi;
  return GetMonitorInfo(handle_, &mi) ? mi.rcMonitor : TRect();
}

TRect TMonitor::WorkareaRect() const {
  MONITORINFO mi;
  return GetMonitorInfo(handle_, &mi) ? mi.rcWork : TRect();
}

bool TMonitor::Primary() const {
  MONITORINFO mi;
  return GetMonitorInfo(handle_, &mi) && (mi.dwFlags & MONITORINFOF_PRIMARY);
}
