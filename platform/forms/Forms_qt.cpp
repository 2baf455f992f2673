// The toolkit side: the application object, one widget per window showing the window's
// surface, the event pump that serves our queue and timers, input translation from the
// toolkit's events, cursors and screens.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"
#include "platform/forms/FormsTesting.h"
#include "platform/rtl/SysUtils.h"

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 0x5A1);

std::atomic<bool> g_wake_pending{false};
bool g_toolkit_started = false;

// ---------------------------------------------------------------------------------------------
// The pump: serves our queue when woken and the timers when due.

class Pump : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() == kWakeEvent) {
      g_wake_pending = false;
      ProcessQueue();
      return true;
    }
    return QObject::event(e);
  }

  void Schedule() {
    const uint64_t due = NextTimerDue();
    if (timer_id_) {
      killTimer(timer_id_);
      timer_id_ = 0;
    }
    if (due == UINT64_MAX) return;
    const uint64_t now = GetTickCount64();
    const int ms = due <= now ? 0 : static_cast<int>(std::min<uint64_t>(due - now, 1u << 30));
    timer_id_ = startTimer(ms, Qt::PreciseTimer);
  }

 protected:
  void timerEvent(QTimerEvent*) override {
    killTimer(timer_id_);
    timer_id_ = 0;
    ProcessQueue();
    Schedule();
  }

 private:
  int timer_id_ = 0;
};

Pump*& ThePump() {
  static Pump* pump = nullptr;
  return pump;
}

// ---------------------------------------------------------------------------------------------
// Keys

struct KeyMap {
  int Qt;
  uint16_t VK;
};

// Toolkit keys and the virtual keys they are (a US layout for the punctuation).
const KeyMap kKeys[] = {
    {Qt::Key_Escape, VK_ESCAPE}, {Qt::Key_Tab, VK_TAB}, {Qt::Key_Backtab, VK_TAB}, {Qt::Key_Backspace, VK_BACK},
    {Qt::Key_Return, VK_RETURN}, {Qt::Key_Enter, VK_RETURN}, {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE}, {Qt::Key_Pause, VK_PAUSE}, {Qt::Key_Print, VK_SNAPSHOT},
    {Qt::Key_SysReq, VK_SNAPSHOT}, {Qt::Key_Clear, VK_CLEAR}, {Qt::Key_Home, VK_HOME}, {Qt::Key_End, VK_END},
    {Qt::Key_Left, VK_LEFT}, {Qt::Key_Up, VK_UP}, {Qt::Key_Right, VK_RIGHT}, {Qt::Key_Down, VK_DOWN},
    {Qt::Key_PageUp, VK_PRIOR}, {Qt::Key_PageDown, VK_NEXT}, {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Meta, VK_LWIN}, {Qt::Key_Alt, VK_MENU}, {Qt::Key_AltGr, VK_RMENU},
    {Qt::Key_CapsLock, VK_CAPITAL}, {Qt::Key_NumLock, VK_NUMLOCK}, {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Super_L, VK_LWIN}, {Qt::Key_Super_R, VK_RWIN}, {Qt::Key_Menu, VK_APPS}, {Qt::Key_Help, VK_HELP},
    {Qt::Key_Space, VK_SPACE}, {Qt::Key_Select, VK_SELECT}, {Qt::Key_Execute, VK_EXECUTE},
    {Qt::Key_Sleep, VK_SLEEP}, {Qt::Key_Cancel, VK_CANCEL}, {Qt::Key_Play, VK_PLAY}, {Qt::Key_Zoom, VK_ZOOM},
    // Punctuation: the unshifted and shifted symbol of each key.
    {Qt::Key_Semicolon, VK_OEM_1}, {Qt::Key_Colon, VK_OEM_1}, {Qt::Key_Equal, VK_OEM_PLUS},
    {Qt::Key_Plus, VK_OEM_PLUS}, {Qt::Key_Comma, VK_OEM_COMMA}, {Qt::Key_Less, VK_OEM_COMMA},
    {Qt::Key_Minus, VK_OEM_MINUS}, {Qt::Key_Underscore, VK_OEM_MINUS}, {Qt::Key_Period, VK_OEM_PERIOD},
    {Qt::Key_Greater, VK_OEM_PERIOD}, {Qt::Key_Slash, VK_OEM_2}, {Qt::Key_Question, VK_OEM_2},
    {Qt::Key_QuoteLeft, VK_OEM_3}, {Qt::Key_AsciiTilde, VK_OEM_3}, {Qt::Key_BracketLeft, VK_OEM_4},
    {Qt::Key_BraceLeft, VK_OEM_4}, {Qt::Key_Backslash, VK_OEM_5}, {Qt::Key_Bar, VK_OEM_5},
    {Qt::Key_BracketRight, VK_OEM_6}, {Qt::Key_BraceRight, VK_OEM_6}, {Qt::Key_Apostrophe, VK_OEM_7},
    {Qt::Key_QuoteDbl, VK_OEM_7},
    // Shifted digits.
    {Qt::Key_ParenRight, '0'}, {Qt::Key_Exclam, '1'}, {Qt::Key_At, '2'}, {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'}, {Qt::Key_Percent, '5'}, {Qt::Key_AsciiCircum, '6'}, {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'}, {Qt::Key_ParenLeft, '9'},
    // Browser, volume and media keys.
    {Qt::Key_Back, VK_BROWSER_BACK}, {Qt::Key_Forward, VK_BROWSER_FORWARD}, {Qt::Key_Refresh, VK_BROWSER_REFRESH},
    {Qt::Key_Stop, VK_BROWSER_STOP}, {Qt::Key_Search, VK_BROWSER_SEARCH}, {Qt::Key_Favorites, VK_BROWSER_FAVORITES},
    {Qt::Key_HomePage, VK_BROWSER_HOME}, {Qt::Key_VolumeMute, VK_VOLUME_MUTE},
    {Qt::Key_VolumeDown, VK_VOLUME_DOWN}, {Qt::Key_VolumeUp, VK_VOLUME_UP}, {Qt::Key_MediaNext, VK_MEDIA_NEXT_TRACK},
    {Qt::Key_MediaPrevious, VK_MEDIA_PREV_TRACK}, {Qt::Key_MediaStop, VK_MEDIA_STOP},
    {Qt::Key_MediaTogglePlayPause, VK_MEDIA_PLAY_PAUSE}, {Qt::Key_MediaPlay, VK_MEDIA_PLAY_PAUSE},
    {Qt::Key_LaunchMail, VK_LAUNCH_MAIL}, {Qt::Key_LaunchMedia, VK_LAUNCH_MEDIA_SELECT},
    {Qt::Key_Launch0, VK_LAUNCH_APP1}, {Qt::Key_Launch1, VK_LAUNCH_APP2},
};

// The numeric pad's keys.
const KeyMap kKeypad[] = {
    {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Plus, VK_ADD}, {Qt::Key_Minus, VK_SUBTRACT},
    {Qt::Key_Period, VK_DECIMAL}, {Qt::Key_Comma, VK_SEPARATOR}, {Qt::Key_Slash, VK_DIVIDE},
    {Qt::Key_Insert, VK_NUMPAD0}, {Qt::Key_End, VK_NUMPAD1}, {Qt::Key_Down, VK_NUMPAD2},
    {Qt::Key_PageDown, VK_NUMPAD3}, {Qt::Key_Left, VK_NUMPAD4}, {Qt::Key_Clear, VK_NUMPAD5},
    {Qt::Key_Right, VK_NUMPAD6}, {Qt::Key_Home, VK_NUMPAD7}, {Qt::Key_Up, VK_NUMPAD8},
    {Qt::Key_PageUp, VK_NUMPAD9}, {Qt::Key_Delete, VK_DECIMAL},
};

// ---------------------------------------------------------------------------------------------
// Cursors

Qt::CursorShape ShapeOf(int32_t id) {
  switch (id) {
    case IDC_IBEAM: return Qt::IBeamCursor;
    case IDC_WAIT: return Qt::WaitCursor;
    case IDC_CROSS: return Qt::CrossCursor;
    case IDC_UPARROW: return Qt::UpArrowCursor;
    case IDC_SIZE: case IDC_SIZEALL: return Qt::SizeAllCursor;
    case IDC_SIZENWSE: return Qt::SizeFDiagCursor;
    case IDC_SIZENESW: return Qt::SizeBDiagCursor;
    case IDC_SIZEWE: return Qt::SizeHorCursor;
    case IDC_SIZENS: return Qt::SizeVerCursor;
    case IDC_NO: return Qt::ForbiddenCursor;
    case IDC_HAND: return Qt::PointingHandCursor;
    case IDC_APPSTARTING: return Qt::BusyCursor;
    case IDC_HELP: return Qt::WhatsThisCursor;
    default: return Qt::ArrowCursor;
  }
}

QCursor CursorOf(HCURSOR cursor) {
  if (!cursor) return QCursor(Qt::BlankCursor);
  if (int32_t id = GetSystemIconId(cursor)) return QCursor(ShapeOf(id));
  ICONINFO info;
  if (!GetIconInfo(cursor, &info)) return QCursor(Qt::ArrowCursor);
  int32_t w = 0, h = 0;
  GetIconSize(cursor, &w, &h);
  QImage img(std::max(w, 1), std::max(h, 1), QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  if (info.hbmColor && w > 0 && h > 0) {
    HGDIOBJ old = SelectObject(dc, info.hbmColor);
    HDC mdc = CreateCompatibleDC(screen);
    HGDIOBJ oldm = SelectObject(mdc, info.hbmMask);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        COLORREF c = GetPixel(dc, x, y);
        bool transparent = GetPixel(mdc, x, y) != 0 && c == 0;
        if (!transparent) img.setPixel(x, y, qRgba(GetRValue(c), GetGValue(c), GetBValue(c), 255));
      }
    SelectObject(mdc, oldm);
    DeleteDC(mdc);
    SelectObject(dc, old);
  } else if (info.hbmMask && w > 0 && h > 0) {
    // A monochrome cursor: AND mask over XOR image (the lower half).
    HGDIOBJ old = SelectObject(dc, info.hbmMask);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const bool andBit = GetPixel(dc, x, y) != 0;
        const bool xorBit = GetPixel(dc, x, y + h) != 0;
        if (!andBit) img.setPixel(x, y, xorBit ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        else if (xorBit) img.setPixel(x, y, qRgb(0, 0, 0));
      }
    SelectObject(dc, old);
  }
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return QCursor(QPixmap::fromImage(img), static_cast<int>(info.xHotspot), static_cast<int>(info.yHotspot));
}

// ---------------------------------------------------------------------------------------------
// The widget of a window

// The toolkit's modifiers are the truth for mouse events (a key released outside our windows).
void SyncModifiers(Qt::KeyboardModifiers m) {
  if (((m & Qt::ShiftModifier) != 0) != (GetKeyState(VK_SHIFT) < 0)) SetKeyDown(VK_SHIFT, (m & Qt::ShiftModifier) != 0);
  if (((m & Qt::ControlModifier) != 0) != (GetKeyState(VK_CONTROL) < 0))
    SetKeyDown(VK_CONTROL, (m & Qt::ControlModifier) != 0);
  if (((m & Qt::AltModifier) != 0) != (GetKeyState(VK_MENU) < 0)) SetKeyDown(VK_MENU, (m & Qt::AltModifier) != 0);
}

TMouseButton ButtonOf(Qt::MouseButton b) {
  return b == Qt::RightButton ? mbRight : b == Qt::MiddleButton ? mbMiddle : mbLeft;
}

class WindowWidget : public QWidget {
 public:
  WindowWidget(HWND wnd, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags), wnd_(wnd) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(parent ? Qt::NoFocus : Qt::StrongFocus);
    setAutoFillBackground(false);
  }

  void Detach() { wnd_ = nullptr; }
  HWND Wnd() const { return wnd_; }
  bool syncing = false;
  TRect flushed;

 protected:
  bool focusNextPrevChild(bool) override { return false; }  // Tab is a key like any other

  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    TWindowData* w = WindowData(wnd_);
    if (!w || !w->Surface || !w->Surface->Full || w->Surface->Full->Width() == 0) {
      p.fillRect(e->rect(), QColor(212, 208, 200));
      return;
    }
    TSurface* s = w->Surface->Full.get();
    QImage img(s->Row(0), s->Width(), s->Height(), s->Stride(), QImage::Format_RGB32);
    const QRect r = e->rect().intersected(QRect(0, 0, s->Width(), s->Height()));
    p.drawImage(r, img, r);
    TRect caret;
    if (CaretShownIn(wnd_, caret)) {
      p.setCompositionMode(QPainter::RasterOp_NotDestination);
      p.fillRect(QRect(caret.Left, caret.Top, caret.Width(), caret.Height()), Qt::black);
    }
  }

  TPoint ScreenPos(const QPointF& local) const {
    TWindowData* w = WindowData(wnd_);
    TPoint o = w ? SurfaceScreenOrigin(w) : TPoint();
    return {o.X + static_cast<int32_t>(std::floor(local.x())), o.Y + static_cast<int32_t>(std::floor(local.y()))};
  }

  void mousePressEvent(QMouseEvent* e) override { Mouse(e, TMouseAction::Press); }
  void mouseReleaseEvent(QMouseEvent* e) override { Mouse(e, TMouseAction::Release); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { Mouse(e, TMouseAction::DoubleClick); }
  void mouseMoveEvent(QMouseEvent* e) override { Mouse(e, TMouseAction::Move); }

  void Mouse(QMouseEvent* e, TMouseAction action) {
    e->accept();
    if (!wnd_) return;
    SyncModifiers(e->modifiers());
    HandleMouseInput(wnd_, action, ButtonOf(e->button()), ScreenPos(e->position()));
  }

  void leaveEvent(QEvent*) override {
    if (wnd_ && !parentWidget()) HandleMouseInput(wnd_, TMouseAction::Leave, mbLeft, TPoint(-32768, -32768));
  }

  void wheelEvent(QWheelEvent* e) override {
    e->accept();
    if (!wnd_) return;
    SyncModifiers(e->modifiers());
    const QPoint d = e->angleDelta();
    const TPoint pos = ScreenPos(e->position());
    if (d.y()) HandleWheelInput(wnd_, d.y(), false, pos);
    if (d.x() && WindowData(wnd_)) HandleWheelInput(wnd_, d.x(), true, pos);
  }

  void keyPressEvent(QKeyEvent* e) override { Key(e, true); }
  void keyReleaseEvent(QKeyEvent* e) override { Key(e, false); }

  void Key(QKeyEvent* e, bool down) {
    e->accept();
    if (!wnd_) return;
    const bool keypad = (e->modifiers() & Qt::KeypadModifier) != 0;
    uint16_t vk = ToolkitKeyToVirtualKey(e->key(), keypad);
    const std::u16string text = down ? e->text().toStdU16String() : std::u16string();
    if (!vk && !text.empty()) vk = VK_PACKET;
    if (!vk) return;
    HandleKeyInput(wnd_, down, vk, keypad && vk == VK_RETURN, text, e->isAutoRepeat());
  }

  void resizeEvent(QResizeEvent*) override { GeometryChanged(); }
  void moveEvent(QMoveEvent*) override { GeometryChanged(); }

  void GeometryChanged() {
    if (syncing || parentWidget() || !wnd_) return;
    TWindowData* w = WindowData(wnd_);
    if (!w || !isVisible()) return;
    const QRect g = geometry();
    NativeGeometryChanged(w, Bounds(g.x(), g.y(), g.width(), g.height()));
  }

  void closeEvent(QCloseEvent* e) override {
    // The window decides (a form asks OnCloseQuery); the toolkit closes nothing itself.
    e->ignore();
    if (!wnd_) return;
    HWND wnd = wnd_;
    RunWrapped([wnd] { SendMessage(wnd, WM_SYSCOMMAND, SC_CLOSE, 0); });
  }

  void changeEvent(QEvent* e) override {
    QWidget::changeEvent(e);
    if (e->type() != QEvent::ActivationChange || !wnd_ || parentWidget() || !isActiveWindow()) return;
    HWND& pending = PendingActivation();
    if (pending == wnd_) pending = nullptr;
    // The toolkit is still catching up with an activation we asked for: not the user's doing.
    if (pending && IsWindowVisible(pending)) return;
    pending = nullptr;
    if (GetActiveWindow() == wnd_ || !IsWindowEnabled(wnd_)) return;
    HWND wnd = wnd_;
    RunWrapped([wnd] { SetActiveWindow(wnd); });
  }

 public:
  // The window we last asked the toolkit to activate.
  static HWND& PendingActivation() {
    static HWND pending = nullptr;
    return pending;
  }

 private:
  HWND wnd_;
};

class QtNativeWindow : public TNativeWindow {
 public:
  explicit QtNativeWindow(WindowWidget* w) : widget_(w) {}
  ~QtNativeWindow() override {
    if (!widget_) return;
    widget_->Detach();
    widget_->hide();
    widget_->deleteLater();
  }

  void SetGeometry(const TRect& R) override {
    if (!widget_) return;
    widget_->syncing = true;
    widget_->setGeometry(R.Left, R.Top, std::max(R.Width(), 0), std::max(R.Height(), 0));
    if (fixed_) widget_->setFixedSize(std::max(R.Width(), 1), std::max(R.Height(), 1));
    widget_->syncing = false;
  }
  void SetVisible(bool Visible) override {
    if (!widget_) return;
    widget_->syncing = true;
    widget_->setVisible(Visible);
    widget_->syncing = false;
  }
  void Flush(const TRect& R) override {
    if (!widget_) return;
    widget_->flushed = widget_->flushed.IsEmpty()
                           ? R
                           : TRect(std::min(widget_->flushed.Left, R.Left), std::min(widget_->flushed.Top, R.Top),
                                   std::max(widget_->flushed.Right, R.Right), std::max(widget_->flushed.Bottom, R.Bottom));
    widget_->update(R.Left, R.Top, R.Width(), R.Height());
  }
  void SetTitle(const std::string& Title) override {
    if (widget_) widget_->setWindowTitle(QString::fromStdString(Title));
  }
  void SetCursorShape(HCURSOR Cursor) override {
    if (widget_) widget_->setCursor(CursorOf(Cursor));
  }
  void Raise() override {
    // Stacking top-level windows is the desktop's business (and the offscreen platform has none).
    if (widget_ && widget_->parentWidget()) widget_->raise();
  }
  void Lower() override {
    if (widget_ && widget_->parentWidget()) widget_->lower();
  }
  void StackUnder(TNativeWindow* Sibling) override {
    auto* other = static_cast<QtNativeWindow*>(Sibling);
    if (widget_ && other && other->widget_) widget_->stackUnder(other->widget_);
  }
  void Activate() override {
    if (!widget_ || !widget_->isVisible() || widget_->parentWidget() || widget_->isActiveWindow()) return;
    WindowWidget::PendingActivation() = widget_->Wnd();
    widget_->activateWindow();
  }
  void SetMinMaxSize(TSize Min, TSize Max) override {
    if (!widget_) return;
    widget_->setMinimumSize(std::max(Min.cx, 0), std::max(Min.cy, 0));
    widget_->setMaximumSize(Max.cx > 0 ? Max.cx : QWIDGETSIZE_MAX, Max.cy > 0 ? Max.cy : QWIDGETSIZE_MAX);
  }
  void SetWindowStateFlags(bool Minimized, bool Maximized) override {
    if (!widget_ || widget_->parentWidget()) return;
    widget_->syncing = true;
    Qt::WindowStates s = widget_->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (Minimized) s |= Qt::WindowMinimized;
    if (Maximized) s |= Qt::WindowMaximized;
    widget_->setWindowState(s);
    widget_->syncing = false;
  }
  void SetEnabled(bool) override {}
  void SetMask(const std::vector<TRect>& Rects, bool Clear) override {
    if (!widget_) return;
    if (Clear) {
      widget_->clearMask();
      return;
    }
    QRegion region;
    for (const TRect& r : Rects) region += QRect(r.Left, r.Top, r.Width(), r.Height());
    // An empty region hides everything; the toolkit reads an empty mask as none.
    if (region.isEmpty()) region = QRegion(-1, -1, 1, 1);
    widget_->setMask(region);
  }
  void* Widget() override { return widget_.data(); }
  void SetFixed(bool fixed) { fixed_ = fixed; }
  WindowWidget* W() const { return widget_.data(); }

 private:
  QPointer<WindowWidget> widget_;
  bool fixed_ = false;
};

WindowWidget* WidgetOf(HWND wnd) {
  TWindowData* w = WindowData(wnd);
  if (!w || !w->Native) return nullptr;
  return static_cast<QtNativeWindow*>(w->Native.get())->W();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Windows

std::unique_ptr<TNativeWindow> CreateNativeWindow(TWindowData* W) {
  if (!g_toolkit_started) return nullptr;
  WindowWidget* widget = nullptr;
  bool fixed = false;
  if (W->IsChild()) {
    WindowWidget* parent = WidgetOf(W->Parent);
    if (!parent) return nullptr;
    widget = new WindowWidget(W->Handle, parent, Qt::Widget);  // owned by its parent widget
  } else {
    Qt::WindowFlags flags = Qt::Window;
    if (!W->Decorated()) {
      // Pop-ups (menus, hints) take no focus and have no frame.
      flags = (W->ExStyle & (WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE)) ? Qt::ToolTip | Qt::FramelessWindowHint
                                                                   : Qt::Window | Qt::FramelessWindowHint;
    } else {
      if (W->ExStyle & WS_EX_TOOLWINDOW) flags = Qt::Tool;
      flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
      if (W->Style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
      if (W->Style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
      if (W->Style & WS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
      fixed = !(W->Style & WS_THICKFRAME);
    }
    if (W->ExStyle & WS_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
    if (W->ExStyle & WS_EX_TRANSPARENT) flags |= Qt::WindowTransparentForInput;
    widget = new WindowWidget(W->Handle, nullptr, flags);  // owned by the QtNativeWindow below
    widget->setWindowTitle(QString::fromStdString(W->Text));
    if (WindowWidget* owner = WidgetOf(W->Owner)) {
      widget->winId();
      if (widget->windowHandle() && owner->window()->windowHandle())
        widget->windowHandle()->setTransientParent(owner->window()->windowHandle());
    }
  }
  widget->hide();
  auto native = std::make_unique<QtNativeWindow>(widget);
  native->SetFixed(fixed);
  return native;
}

void WakeEventLoop() {
  if (!g_toolkit_started || !ThePump()) return;
  if (!g_wake_pending.exchange(true)) QCoreApplication::postEvent(ThePump(), new QEvent(kWakeEvent));
}

void ScheduleTimerWake() {
  if (ThePump() && IsUIThread()) ThePump()->Schedule();
}

bool ProcessToolkitEvents(bool WaitForMore) {
  if (!g_toolkit_started) return ProcessQueue();
  bool any = false;
  if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance())
    any = d->processEvents(WaitForMore ? QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents : QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  if (ProcessQueue()) any = true;
  return any;
}

std::vector<TScreenInfo> ScreenInfos() {
  std::vector<TScreenInfo> out;
  if (g_toolkit_started) {
    QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) screens.removeAll(primary), screens.prepend(primary);
    for (QScreen* s : screens) {
      const QRect g = s->geometry(), a = s->availableGeometry();
      out.push_back({Bounds(g.x(), g.y(), g.width(), g.height()), Bounds(a.x(), a.y(), a.width(), a.height())});
    }
  }
  if (out.empty()) out.push_back({TRect(0, 0, 1024, 768), TRect(0, 0, 1024, 768)});
  return out;
}

bool ToolkitStarted() { return g_toolkit_started; }

void ToolkitStartup() {
  if (g_toolkit_started) return;
  if (QCoreApplication::instance() && !qobject_cast<QApplication*>(QCoreApplication::instance()))
    throw EInvalidOperation("The window layer must start before anything makes a lesser application object");
  if (!QCoreApplication::instance()) {
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char arg0[] = "quillane";
    static char* argv[] = {arg0, nullptr};
    QApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    // Kept for the life of the process, as the graphics layer keeps its application object.
    static QApplication* const app = std::make_unique<QApplication>(argc, argv).release();
    app->setQuitOnLastWindowClosed(false);
  }
  ThePump() = std::make_unique<Pump>().release();  // deleted by ToolkitShutdown
  g_toolkit_started = true;
}

void ToolkitShutdown() {
  if (!g_toolkit_started) return;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  g_toolkit_started = false;
  std::unique_ptr<Pump> pump(ThePump());
  ThePump() = nullptr;
  g_wake_pending = false;
}

void ShowExceptionBox(const std::string& Title, const std::string& Message) {
  if (!g_toolkit_started) {
    std::fprintf(stderr, "%s: %s\n", Title.c_str(), Message.c_str());
    return;
  }
  MessageBox(GetActiveWindow(), Message, Title, MB_OK | MB_ICONSTOP);
}

void ApplyCursor(HCURSOR Cursor) {
  for (HWND top : TopLevelWindows())
    if (TWindowData* w = WindowData(top); w && w->Native) w->Native->SetCursorShape(Cursor);
}

// ---------------------------------------------------------------------------------------------
// Keys

uint16_t ToolkitKeyToVirtualKey(int32_t ToolkitKey, bool Keypad) {
  if (Keypad) {
    if (ToolkitKey >= Qt::Key_0 && ToolkitKey <= Qt::Key_9) return static_cast<uint16_t>(VK_NUMPAD0 + (ToolkitKey - Qt::Key_0));
    for (const KeyMap& k : kKeypad)
      if (k.Qt == ToolkitKey) return k.VK;
  }
  if (ToolkitKey >= Qt::Key_A && ToolkitKey <= Qt::Key_Z) return static_cast<uint16_t>('A' + (ToolkitKey - Qt::Key_A));
  if (ToolkitKey >= Qt::Key_0 && ToolkitKey <= Qt::Key_9) return static_cast<uint16_t>('0' + (ToolkitKey - Qt::Key_0));
  if (ToolkitKey >= Qt::Key_F1 && ToolkitKey <= Qt::Key_F24) return static_cast<uint16_t>(VK_F1 + (ToolkitKey - Qt::Key_F1));
  for (const KeyMap& k : kKeys)
    if (k.Qt == ToolkitKey) return k.VK;
  return 0;
}

int32_t VirtualKeyToToolkitKey(uint16_t VK, bool* Keypad) {
  if (Keypad) *Keypad = false;
  if (VK >= 'A' && VK <= 'Z') return Qt::Key_A + (VK - 'A');
  if (VK >= '0' && VK <= '9') return Qt::Key_0 + (VK - '0');
  if (VK >= VK_F1 && VK <= VK_F24) return Qt::Key_F1 + (VK - VK_F1);
  if (VK >= VK_NUMPAD0 && VK <= VK_NUMPAD9) {
    if (Keypad) *Keypad = true;
    return Qt::Key_0 + (VK - VK_NUMPAD0);
  }
  for (const KeyMap& k : kKeypad) {
    if (k.VK == VK && (VK == VK_MULTIPLY || VK == VK_ADD || VK == VK_SUBTRACT || VK == VK_DECIMAL ||
                       VK == VK_SEPARATOR || VK == VK_DIVIDE)) {
      if (Keypad) *Keypad = true;
      return k.Qt;
    }
  }
  for (const KeyMap& k : kKeys)
    if (k.VK == VK) return k.Qt;
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Test support

namespace {
QPointer<QWidget>& GrabbingWidget() {
  static QPointer<QWidget> w;
  return w;
}

Qt::KeyboardModifiers ModifiersOf(TShiftState s) {
  Qt::KeyboardModifiers m;
  if (s.Contains(ssShift)) m |= Qt::ShiftModifier;
  if (s.Contains(ssCtrl)) m |= Qt::ControlModifier;
  if (s.Contains(ssAlt)) m |= Qt::AltModifier;
  return m;
}

Qt::MouseButtons g_sim_buttons;
}  // namespace

void SimulateMouse(TSimMouseAction Action, TMouseButton Button, TPoint ScreenPos, TShiftState Shift) {
  QWidget* target = GrabbingWidget();
  if (!target) {
    HWND wnd = WindowFromPoint(ScreenPos);
    target = WidgetOf(wnd);
    if (!target && Action == TSimMouseAction::Leave) {
      for (HWND top : TopLevelWindows())
        if ((target = WidgetOf(top))) break;
    }
  }
  if (!target) return;
  const Qt::MouseButton b = Button == mbRight ? Qt::RightButton : Button == mbMiddle ? Qt::MiddleButton : Qt::LeftButton;
  HWND wnd = static_cast<WindowWidget*>(target)->Wnd();
  TWindowData* w = WindowData(wnd);
  TPoint o = w ? SurfaceScreenOrigin(w) : TPoint();
  const QPointF local(ScreenPos.X - o.X + 0.5, ScreenPos.Y - o.Y + 0.5);
  const QPointF global(ScreenPos.X + 0.5, ScreenPos.Y + 0.5);
  if (Action == TSimMouseAction::Leave) {
    QEvent e(QEvent::Leave);
    QCoreApplication::sendEvent(target->window(), &e);
    return;
  }
  QEvent::Type type = QEvent::MouseMove;
  Qt::MouseButton button = Qt::NoButton;
  switch (Action) {
    case TSimMouseAction::Press:
    case TSimMouseAction::DoubleClick:
      type = Action == TSimMouseAction::Press ? QEvent::MouseButtonPress : QEvent::MouseButtonDblClick;
      button = b;
      g_sim_buttons |= b;
      GrabbingWidget() = target;
      break;
    case TSimMouseAction::Release:
      type = QEvent::MouseButtonRelease;
      button = b;
      g_sim_buttons &= ~Qt::MouseButtons(b);
      if (!g_sim_buttons) GrabbingWidget() = nullptr;
      break;
    default:
      break;
  }
  QMouseEvent e(type, local, global, button, g_sim_buttons, ModifiersOf(Shift));
  QCoreApplication::sendEvent(target, &e);
}

void SimulateWheel(TPoint ScreenPos, int32_t Delta, TShiftState Shift, bool Horizontal) {
  QWidget* target = WidgetOf(WindowFromPoint(ScreenPos));
  if (!target) {
    std::vector<HWND> tops = TopLevelWindows();
    if (!tops.empty()) target = WidgetOf(tops.front());
  }
  if (!target) return;
  HWND wnd = static_cast<WindowWidget*>(target)->Wnd();
  TWindowData* w = WindowData(wnd);
  TPoint o = w ? SurfaceScreenOrigin(w) : TPoint();
  const QPointF local(ScreenPos.X - o.X + 0.5, ScreenPos.Y - o.Y + 0.5);
  const QPointF global(ScreenPos.X + 0.5, ScreenPos.Y + 0.5);
  const QPoint delta = Horizontal ? QPoint(Delta, 0) : QPoint(0, Delta);
  QWheelEvent e(local, global, QPoint(), delta, g_sim_buttons, ModifiersOf(Shift), Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(target, &e);
}

void SimulateKey(bool Down, uint16_t VK, const std::string& Text, TShiftState Shift, bool AutoRepeat) {
  QWidget* target = WidgetOf(GetActiveWindow());
  if (!target) {
    std::vector<HWND> tops = TopLevelWindows();
    for (auto it = tops.rbegin(); it != tops.rend() && !target; ++it)
      if (IsWindowVisible(*it)) target = WidgetOf(*it);
  }
  if (!target) return;
  bool keypad = false;
  int key = VirtualKeyToToolkitKey(VK, &keypad);
  Qt::KeyboardModifiers mods = ModifiersOf(Shift);
  if (keypad) mods |= Qt::KeypadModifier;
  QKeyEvent e(Down ? QEvent::KeyPress : QEvent::KeyRelease, key, mods, QString::fromStdString(Text), AutoRepeat);
  QCoreApplication::sendEvent(target, &e);
}

void SimulateUserResize(HWND Wnd, int32_t ClientWidth, int32_t ClientHeight) {
  TWindowData* w = WindowData(Wnd);
  if (!w || w->IsChild()) return;
  // The widget covers the menu bar and the client area.
  const int32_t ww = ClientWidth + (w->Client.Left - w->Frame.Left) + (w->Rect.Width() - w->Frame.Right - w->Client.Right);
  const int32_t wh = ClientHeight + (w->Client.Top - w->Frame.Top) + (w->Rect.Height() - w->Frame.Bottom - w->Client.Bottom);
  if (WindowWidget* widget = WidgetOf(Wnd)) {
    widget->resize(ww, wh);
    if (!widget->isVisible()) {
      const QRect g = widget->geometry();
      NativeGeometryChanged(w, Bounds(g.x(), g.y(), ww, wh));
    }
  }
}

void SimulateUserClose(HWND Wnd) {
  if (WindowWidget* widget = WidgetOf(Wnd)) {
    QCloseEvent e;
    QCoreApplication::sendEvent(widget, &e);
  }
}

uint64_t NextTimerDueTick() { return NextTimerDue(); }

void ProcessPending(int32_t Rounds) {
  for (int32_t i = 0; i < Rounds; ++i) {
    if (g_toolkit_started) {
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    if (!ProcessQueue()) break;
  }
}

const TSurface* WindowSurface(HWND Wnd) {
  TWindowData* w = WindowData(Wnd);
  return w && w->Surface ? w->Surface->Full.get() : nullptr;
}

TColorRef ClientPixel(HWND Wnd, int32_t X, int32_t Y) {
  TWindowData* w = WindowData(Wnd);
  if (!w || !w->Surface || !w->Surface->Client) return CLR_INVALID;
  const TSurface* s = w->Surface->Client.get();
  if (X < 0 || Y < 0 || X >= s->Width() || Y >= s->Height()) return CLR_INVALID;
  return s->GetPixel(X, Y);
}

TRect TakeFlushedArea(HWND Wnd) {
  WindowWidget* widget = WidgetOf(Wnd);
  if (!widget) return {};
  TRect r = widget->flushed;
  widget->flushed = TRect();
  return r;
}

bool NativeVisible(HWND Wnd) {
  WindowWidget* widget = WidgetOf(Wnd);
  return widget && widget->isVisible();
}

bool NativeShowsPoint(HWND Wnd, TPoint WindowPoint) {
  WindowWidget* widget = WidgetOf(Wnd);
  TWindowData* w = WindowData(Wnd);
  if (!widget || !w || !widget->isVisible()) return false;
  const QPoint p(WindowPoint.X - w->Frame.Left, WindowPoint.Y - w->Frame.Top);
  if (!widget->rect().contains(p)) return false;
  const QRegion mask = widget->mask();
  return mask.isEmpty() || mask.contains(p);
}

bool GrabWindowToFile(HWND Wnd, const std::string& FileName) {
  WindowWidget* widget = WidgetOf(Wnd);
  if (!widget) return false;
  return widget->grab().toImage().save(QString::fromStdString(FileName), "PNG");
}

TColorRef ToolkitPixel(HWND Wnd, int32_t X, int32_t Y) {
  WindowWidget* widget = WidgetOf(Wnd);
  TWindowData* w = WindowData(Wnd);
  if (!widget || !w) return CLR_INVALID;
  const QImage img = widget->grab().toImage();
  const int32_t x = X + w->Client.Left - w->Frame.Left, y = Y + w->Client.Top - w->Frame.Top;
  if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return CLR_INVALID;
  const QRgb c = img.pixel(x, y);
  return RGB(static_cast<uint8_t>(qRed(c)), static_cast<uint8_t>(qGreen(c)), static_cast<uint8_t>(qBlue(c)));
}

namespace {
QImage GrabFromScreen(HWND Wnd) {
  WindowWidget* widget = WidgetOf(Wnd);
  if (!widget || !widget->isVisible() || QGuiApplication::platformName() == "offscreen") return {};
  QWidget* top = widget->window();
  QScreen* screen = top->screen();
  if (!screen) return {};
  const QPoint origin = widget->mapTo(top, QPoint(0, 0));
  return screen->grabWindow(top->winId(), origin.x(), origin.y(), widget->width(), widget->height()).toImage();
}
}  // namespace

TColorRef ScreenPixel(HWND Wnd, int32_t X, int32_t Y) {
  TWindowData* w = WindowData(Wnd);
  if (!w) return CLR_INVALID;
  const QImage img = GrabFromScreen(Wnd);
  const int32_t x = X + w->Client.Left - w->Frame.Left, y = Y + w->Client.Top - w->Frame.Top;
  if (img.isNull() || x < 0 || y < 0 || x >= img.width() || y >= img.height()) return CLR_INVALID;
  const QRgb c = img.pixel(x, y);
  return RGB(static_cast<uint8_t>(qRed(c)), static_cast<uint8_t>(qGreen(c)), static_cast<uint8_t>(qBlue(c)));
}

bool GrabScreenToFile(HWND Wnd, const std::string& FileName) {
  const QImage img = GrabFromScreen(Wnd);
  return !img.isNull() && img.save(QString::fromStdString(FileName), "PNG");
}
