// The window layer's own bookkeeping, shared by its .cpp files (not a public header): window
// records, the toolkit window interface, the message queue and the message dispatch entry.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/forms/Messages.h"
#include "platform/forms/WinUser.h"
#include "platform/gdi/Surface.h"

// Dispatch: decodes m as record R, runs the handler on it and writes the record back.
template <class R, class C, class H>
void CallHandler(TMessage& m, C* self, H handler) {
  R r(m);
  (self->*handler)(r);
  r.WriteTo(m);
}

// Locks a canvas and gives it a DC for the scope.
class CanvasScope {
 public:
  CanvasScope(TCanvas* canvas, HDC dc) : canvas_(canvas) {
    canvas_->Lock();
    canvas_->SetHandle(dc);
  }
  ~CanvasScope() {
    canvas_->SetHandle(nullptr);
    canvas_->Unlock();
  }
  CanvasScope(const CanvasScope&) = delete;
  CanvasScope& operator=(const CanvasScope&) = delete;

 private:
  TCanvas* canvas_;
};

// The toolkit side of a window (Forms_qt.cpp). Geometry is given in the toolkit's terms: the
// widget's rectangle in its parent widget (children) or on the screen (top-level windows).
class TNativeWindow {
 public:
  virtual ~TNativeWindow() = default;
  virtual void SetGeometry(const TRect& R) = 0;
  virtual void SetVisible(bool Visible) = 0;
  // The surface area R (surface coordinates) changed: show it.
  virtual void Flush(const TRect& R) = 0;
  virtual void SetTitle(const std::string& Title) = 0;
  virtual void SetCursorShape(HCURSOR Cursor) = 0;
  // Stacks the widget above all siblings (or below them), or just below Sibling.
  virtual void Raise() = 0;
  virtual void Lower() = 0;
  virtual void StackUnder(TNativeWindow* Sibling) = 0;
  virtual void Activate() = 0;
  virtual void SetMinMaxSize(TSize Min, TSize Max) = 0;
  virtual void SetWindowStateFlags(bool Minimized, bool Maximized) = 0;
  virtual void SetEnabled(bool Enabled) = 0;
  // The widget shows only inside the rectangles (widget coordinates); Clear shows it all again.
  virtual void SetMask(const std::vector<TRect>& Rects, bool Clear) = 0;
  virtual void* Widget() = 0;
};

// One pixel buffer of a window and the views DCs draw through. DCs keep it alive, so a DC made
// before a resize stays valid (what is drawn on it then is lost, as on the platform).
struct TWindowSurface {
  std::unique_ptr<TSurface> Full;    // the window's area that we draw (non-client included)
  std::unique_ptr<TSurface> Client;  // the client area
  TPoint ClientOffset;               // the client area's origin in Full
};

struct TWindowData {
  HWND Handle = nullptr;
  TWinControl* Control = nullptr;  // nullptr for message-only windows
  TWndMethod Method;               // message-only windows
  WNDPROC Proc = nullptr;          // a procedure put in by SetWindowLongPtr (nullptr: the own one)
  LONG_PTR UserData = 0;           // GWL_USERDATA
  HRGN Region = nullptr;           // SetWindowRgn's (window coordinates, owned)
  HWND Parent = nullptr;           // WS_CHILD windows
  HWND Owner = nullptr;            // top-level windows owned by another one
  std::vector<HWND> Children;      // z-order, bottom first
  uint32_t Style = 0;
  uint32_t ExStyle = 0;
  uint32_t ClassStyle = 0;
  std::string Text;
  TRect Rect;         // window rectangle: in the parent's client coordinates, or the screen's
  TRect Client;       // the client area in window coordinates
  TRect Frame;        // the desktop-drawn frame widths (top-level windows with caption/frame)
  int32_t MenuHeight = 0;
  std::shared_ptr<TWindowSurface> Surface;
  HRGN Update = nullptr;  // client coordinates; nullptr when valid
  bool EraseNeeded = false;
  bool NCPaintNeeded = false;
  bool Painting = false;
  SCROLLINFO Scroll[2];
  bool ScrollVisible[2] = {false, false};
  UINT ScrollDisabled[2] = {0, 0};  // ESB_* bits
  std::unique_ptr<TNativeWindow> Native;
  bool Destroying = false;
  bool Minimized = false;
  bool Maximized = false;
  TRect RestoreRect;

  bool IsChild() const { return (Style & WS_CHILD) != 0; }
  // Whether the screen point lies inside the window's region (always without one).
  bool InRegion(TPoint Screen) const;
  bool Visible() const { return (Style & WS_VISIBLE) != 0; }
  bool Enabled() const { return (Style & WS_DISABLED) == 0; }
  // Whether the desktop decorates the window (and so draws its frame and caption).
  bool Decorated() const;
  // Tells the control its window is gone.
  static void DetachControl(TWinControl* Control);
};

// Internal WINDOWPOS flags: the client area kept its size / its position.
inline constexpr UINT kSwpNoClientSize = 0x0800;
inline constexpr UINT kSwpNoClientMove = 0x1000;

// ---- Window table (UI thread)
TWindowData* WindowData(HWND wnd);  // nullptr for a bad handle
// Makes the window record (no message is sent yet); CompleteWindowCreation then sends the
// creation messages (WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE) and shows the window when
// WS_VISIBLE. DestroyWindowRecord sends WM_DESTROY, destroys the child windows, then the window.
HWND CreateWindowRecord(TWinControl* Control, const TCreateParams& Params);
void CompleteWindowCreation(HWND wnd);
void DestroyWindowRecord(HWND wnd);
// The window system's default handling of a message (DefWindowProc).
void DefWindowProcInternal(HWND wnd, TMessage& Message);
// Every live window, top-level ones first in creation order.
std::vector<HWND> AllWindows();
std::vector<HWND> TopLevelWindows();

// ---- Geometry
// Recomputes the client area (WM_NCCALCSIZE) and the surface after a change of the rectangle or
// styles; sends nothing else.
void UpdateClientArea(TWindowData* W);
// The screen position of the window's rectangle origin and of the surface origin.
TPoint WindowScreenOrigin(const TWindowData* W);
TPoint SurfaceScreenOrigin(const TWindowData* W);
// The non-client sizes the styles give (borders, client edge, scroll bars, frame), as insets.
TRect NonClientInsets(uint32_t Style, uint32_t ExStyle, bool TopLevel, int32_t MenuHeight, bool HScroll,
                      bool VScroll);
TRect FrameInsets(uint32_t Style, uint32_t ExStyle, bool TopLevel);
// Moves the toolkit widget to the window's rectangle.
void SyncNativeGeometry(TWindowData* W);
// The window's rectangle was changed by the toolkit (the user resized or moved a top-level window).
void NativeGeometryChanged(TWindowData* W, const TRect& WidgetRect);

// ---- Messages
// The window system's delivery of a message: wrapped (an exception goes to the application's
// exception handling), then the canvases' DCs are released.
LRESULT DeliverMessage(HWND wnd, TMessage& Message);
// A key message (WM_KEYDOWN .. WM_SYSCHAR) for Wnd, typed or posted, is first shown to its control
// as the CN_ notification (dialog keys, shortcuts): true when the control handled it, and the
// message is then not dispatched.
bool NotifyKeyMessage(HWND Wnd, const TMessage& Message);
// Runs Call wrapped as DeliverMessage does.
void RunWrapped(const std::function<void()>& Call);
// Reports the exception being handled (inside a catch block).
void ReportCurrentException();
// Queues a call for the UI thread (any thread), in order with posted messages.
void PostCall(std::function<void()> Call);
// Handles everything queued now: posted messages, queued calls, due timers, then paints.
// Answers whether anything ran.
bool ProcessQueue();
// Fires the timers due at the tick clock's current time, earliest first.
bool FireDueTimers();
// The earliest due time of any timer (UINT64_MAX when none).
uint64_t NextTimerDue();
// Paints every window with a pending update region (parents first).
bool PaintPendingWindows();
// Drops everything about a window being destroyed (timers, capture, focus, caret).
void ForgetWindow(HWND wnd);

// ---- Input state
void SetKeyDown(uint16_t vk, bool down);
// True once when Alt went down and up with no other key or mouse button between (the menu key);
// clears the mark.
bool TakeAltPressedAlone();
void SetLastCursorPos(TPoint pt);
void ResetInputState();
// The mouse went to the screen point in WidgetOf window (button transitions or moves): the
// translation into messages (Forms_input.cpp).
enum class TMouseAction : uint8_t { Move, Press, Release, DoubleClick, Leave };
void HandleMouseInput(HWND Source, TMouseAction Action, TMouseButton Button, TPoint ScreenPos);
void HandleWheelInput(HWND Source, int32_t Delta, bool Horizontal, TPoint ScreenPos);
// A key went down or up (vk, the typed text for downs, auto repeat).
void HandleKeyInput(HWND Source, bool Down, uint16_t VK, bool Extended, const std::u16string& Text, bool AutoRepeat);
// The control under the mouse changed: CM_MOUSELEAVE / CM_MOUSEENTER.
void UpdateMouseControl(TPoint ScreenPos, bool Inside);
// Forgets a control that is going away (mouse control, capture control, hint control).
void ForgetControl(TControl* Control);
// A press or a key cancels the hint; the next hint waits for the mouse to move.
void CancelHintForInput();
// A key while a drag runs: true when the drag took it (Escape cancels the drag).
bool DragKeyInput(bool Down, uint16_t VK);
// A control goes away: the drag forgets it (a dragged control's drag ends silently).
void DragControlGone(TControl* Control);
// Starts dragging Control to dock it (whatever its DragKind): grabbers and docked tabs do.
void StartDockDrag(TControl* Control, bool Immediate, int32_t Threshold);
// The dock site that takes Client at the screen point (the innermost of those whose
// GetSiteInfo accepts it there), nullptr when none.
TWinControl* FindDockSite(TControl* Client, TPoint Pos);
// Where a dock drag of Control starts: its rectangle on the screen.
TRect StartDockRect(TControl* Control);
// A dock site or a docked control goes away: the others forget it.
void ForgetDockSite(TWinControl* Site);
void ForgetDockClient(TControl* Client);

// ---- Painting and DCs
HDC GetWindowDCInternal(HWND wnd, bool Client);
int32_t ReleaseWindowDC(HWND wnd, HDC dc);
// Deletes the window DCs kept for reuse.
void ReleaseSpareWindowDCs();
void FlushWindowArea(TWindowData* W, const TRect& SurfaceRect);
void PaintNonClient(TWindowData* W);
// Mouse input on the non-client area: the window's scroll bars and the sizing loop.
bool NonClientMouse(TWindowData* W, UINT Msg, int32_t HitTest, TPoint ScreenPos);
// The scroll bar tracking in progress, if any, takes the mouse input.
bool ScrollTrackingMouse(TMouseAction Action, TPoint ScreenPos);
// A system sizing loop (SC_SIZE) in progress takes the mouse input.
bool SizingMouse(TMouseAction Action, TPoint ScreenPos);
void StartSizing(TWindowData* W, uint32_t Edge, TPoint ScreenPos);
// The caret: its window went away; where the toolkit draws it (false when hidden now).
void CaretWindowGone(HWND wnd);
bool CaretShownIn(HWND wnd, TRect& SurfaceRect);

// ---- Toolkit
std::unique_ptr<TNativeWindow> CreateNativeWindow(TWindowData* W);
// Wakes the UI thread's event loop to serve the queue (any thread).
void WakeEventLoop();
// Handles toolkit events (and our queue): WaitForMore blocks until something arrives. Answers
// whether anything was handled.
bool ProcessToolkitEvents(bool WaitForMore);
// Schedules the timer wake-up for the earliest due timer.
void ScheduleTimerWake();
// The screens: bounds and work areas (at least one).
struct TScreenInfo {
  TRect Bounds;
  TRect Work;
};
std::vector<TScreenInfo> ScreenInfos();
bool ToolkitStarted();
void ToolkitStartup();
void ToolkitShutdown();
// Shows a message box for a reported exception (until the dialogs exist, a plain toolkit box).
void ShowExceptionBox(const std::string& Title, const std::string& Message);
// Sets the toolkit cursor of the top-level window under the mouse.
void ApplyCursor(HCURSOR Cursor);

// ---- Registration with the form loader
void RegisterFormsClasses();
