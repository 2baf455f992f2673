// Windows: the handle table, message delivery and the posted-message queue, timers, geometry,
// window state, focus, capture and activation.
#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"
#include "platform/rtl/Classes_threads.h"
#include "platform/rtl/HandleTable.h"
#include "platform/rtl/SysUtils.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Handle table

// The records live in a generation-checked table, so a handle of a destroyed window finds
// nothing; Order keeps creation order under its own lock.
struct WindowTable {
  THandleTable<TWindowData> Records;
  std::mutex Lock;
  std::vector<HWND> Order;  // creation order
};

WindowTable& Table() {
  static WindowTable t;
  return t;
}

std::thread::id& UIThread() {
  static std::thread::id id;
  return id;
}

// ---------------------------------------------------------------------------------------------
// Queue

struct QueueItem {
  HWND Wnd = nullptr;
  TMessage Message;
  std::function<void()> Call;  // a queued call instead of a message
  bool Synchronize = false;    // serve TThread::Queue / Synchronize here
};

struct MessageQueue {
  std::mutex Lock;
  std::deque<QueueItem> Items;
};

MessageQueue& Queue() {
  static MessageQueue q;
  return q;
}

// ---------------------------------------------------------------------------------------------
// Timers

struct Timer {
  HWND Wnd = nullptr;
  UINT_PTR Id = 0;
  uint32_t Interval = 0;
  uint64_t Due = 0;
  uint64_t Seq = 0;
  TIMERPROC Proc = nullptr;
};

struct TimerList {
  std::vector<Timer> Items;
  uint64_t NextSeq = 1;
  UINT_PTR NextId = 0x7F00;  // ids of timers without a window
};

TimerList& Timers() {
  static TimerList t;
  return t;
}

// ---------------------------------------------------------------------------------------------
// Focus, capture, activation

HWND g_focus = nullptr;
HWND g_capture = nullptr;
HWND g_active = nullptr;
int g_delivery_depth = 0;

constexpr UINT kNoClientSize = kSwpNoClientSize;
constexpr UINT kNoClientMove = kSwpNoClientMove;

HWND RootOf(HWND wnd) {
  TWindowData* w = WindowData(wnd);
  while (w && w->IsChild() && w->Parent) {
    TWindowData* p = WindowData(w->Parent);
    if (!p) break;
    w = p;
  }
  return w ? w->Handle : nullptr;
}

void CollectTree(HWND wnd, std::vector<HWND>& out) {
  TWindowData* w = WindowData(wnd);
  if (!w) return;
  out.push_back(wnd);
  for (HWND c : std::vector<HWND>(w->Children)) CollectTree(c, out);
}

LRESULT Send(HWND wnd, UINT msg, WPARAM w = 0, LPARAM l = 0) {
  TMessage m{msg, w, l, 0};
  return DeliverMessage(wnd, m);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Window records

bool TWindowData::Decorated() const {
  if (IsChild()) return false;
  return (Style & WS_CAPTION) == WS_CAPTION || (Style & WS_THICKFRAME) != 0;
}

namespace {
// The record of a live handle; one being destroyed only when EvenDestroying. The table keeps the
// record alive until RemoveRecord.
TWindowData* FindRecord(HWND wnd, bool EvenDestroying) {
  const auto h = reinterpret_cast<uintptr_t>(wnd);
  if (IsUIThread()) {
    // Records are removed on the UI thread only, so its own lookups need no share of ownership
    // (nor the table's lock, which every message and paint would otherwise take).
    TWindowData* d = Table().Records.FindUnowned(h);
    return d && (!d->Destroying || EvenDestroying) ? d : nullptr;
  }
  const std::shared_ptr<TWindowData> d = Table().Records.Find(h);
  if (!d || (d->Destroying && !EvenDestroying)) return nullptr;
  return d.get();
}
}  // namespace

TWindowData* WindowData(HWND wnd) { return FindRecord(wnd, false); }

namespace {
TWindowData* WindowDataEvenDestroying(HWND wnd) { return FindRecord(wnd, true); }

// Stores a new record; nullptr (the record gone) only when the table is full.
HWND AddRecord(std::unique_ptr<TWindowData> data) {
  WindowTable& t = Table();
  TWindowData* raw = data.get();
  const auto h = reinterpret_cast<HWND>(t.Records.Add(std::move(data)));
  if (!h) return nullptr;
  raw->Handle = h;
  std::lock_guard<std::mutex> guard(t.Lock);
  t.Order.push_back(h);
  return h;
}

void RemoveRecord(HWND wnd) {
  WindowTable& t = Table();
  const std::shared_ptr<TWindowData> dead = t.Records.Remove(reinterpret_cast<uintptr_t>(wnd));
  if (!dead) return;
  {
    std::lock_guard<std::mutex> guard(t.Lock);
    t.Order.erase(std::remove(t.Order.begin(), t.Order.end(), wnd), t.Order.end());
  }
  if (dead->Update) DeleteObject(dead->Update);
  if (dead->Region) DeleteObject(dead->Region);
  // The widget goes with the record (children's widgets went first).
}
}  // namespace

std::vector<HWND> AllWindows() {
  std::vector<HWND> out;
  for (HWND top : TopLevelWindows()) CollectTree(top, out);
  return out;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> order;
  {
    WindowTable& t = Table();
    std::lock_guard<std::mutex> guard(t.Lock);
    order = t.Order;
  }
  std::vector<HWND> out;
  for (HWND h : order) {
    TWindowData* w = WindowData(h);
    if (w && !w->IsChild() && w->Control) out.push_back(h);
  }
  return out;
}

HWND CreateWindowRecord(TWinControl* Control, const TCreateParams& Params) {
  CheckUIThread();
  auto data = std::make_unique<TWindowData>();
  data->Control = Control;
  data->Style = Params.Style & ~WS_VISIBLE;
  data->ExStyle = Params.ExStyle;
  data->ClassStyle = Params.WindowClass.style;
  data->Text = Params.Caption;
  data->Rect = Bounds(Params.X, Params.Y, std::max(Params.Width, 0), std::max(Params.Height, 0));
  for (int bar = 0; bar < 2; ++bar) data->Scroll[bar].nMax = 100;
  if (Params.Style & WS_CHILD) {
    TWindowData* parent = WindowData(Params.WndParent);
    if (!parent) return nullptr;
    data->Parent = Params.WndParent;
  } else {
    data->Owner = Params.WndParent;
  }
  TWindowData* raw = data.get();
  HWND h = AddRecord(std::move(data));
  if (!h) return nullptr;
  if (raw->Parent) WindowData(raw->Parent)->Children.push_back(h);
  raw->Frame = FrameInsets(raw->Style, raw->ExStyle, !raw->IsChild());
  // WS_VISIBLE is applied by CompleteWindowCreation.
  if (Params.Style & WS_VISIBLE) raw->NCPaintNeeded = true;
  return h;
}

void CompleteWindowCreation(HWND wnd) {
  TWindowData* w = WindowData(wnd);
  if (!w) return;
  const bool visible = w->NCPaintNeeded;
  w->NCPaintNeeded = false;
  UpdateClientArea(w);
  w->Native = CreateNativeWindow(w);
  SyncNativeGeometry(w);
  Send(wnd, WM_CREATE);
  if (!(w = WindowData(wnd))) return;
  const TRect c = w->Client;
  Send(wnd, WM_SIZE, SIZE_RESTORED, PointToLParam(c.Width(), c.Height()));
  if (!(w = WindowData(wnd))) return;
  const TPoint origin(w->Rect.Left + w->Client.Left, w->Rect.Top + w->Client.Top);
  Send(wnd, WM_MOVE, 0, PointToLParam(origin.X, origin.Y));
  if (visible && WindowData(wnd)) ShowWindow(wnd, SW_SHOWNA);
}

void TWindowData::DetachControl(TWinControl* Control) {
  if (Control) Control->handle_ = nullptr;
}

void DestroyWindowRecord(HWND wnd) {
  TWindowData* w = WindowData(wnd);
  if (!w) return;
  Send(wnd, WM_DESTROY);
  if (!(w = WindowData(wnd))) return;
  for (HWND c : std::vector<HWND>(w->Children)) {
    TWindowData* cw = WindowData(c);
    if (!cw) continue;
    TWinControl* child = cw->Control;
    DestroyWindowRecord(c);
    TWindowData::DetachControl(child);
  }
  if (!(w = WindowData(wnd))) return;
  // Hide first so that the parent's area is repainted.
  if (w->Visible() && w->IsChild()) ShowWindow(wnd, SW_HIDE);
  if (!(w = WindowData(wnd))) return;
  Send(wnd, WM_NCDESTROY);
  if (!(w = WindowData(wnd))) return;
  w->Destroying = true;
  ForgetWindow(wnd);
  if (TWindowData* p = WindowDataEvenDestroying(w->Parent)) {
    p->Children.erase(std::remove(p->Children.begin(), p->Children.end(), wnd), p->Children.end());
  }
  w->Native.reset();
  RemoveRecord(wnd);
}

// ---------------------------------------------------------------------------------------------
// Threads

bool IsUIThread() { return UIThread() != std::thread::id() && std::this_thread::get_id() == UIThread(); }

void CheckUIThread() {
  assert(IsUIThread() && "UI objects belong to the UI thread");
}

namespace px_forms {
void SetUIThread(bool set) { UIThread() = set ? std::this_thread::get_id() : std::thread::id(); }
}  // namespace px_forms

// ---------------------------------------------------------------------------------------------
// Sending and posting

namespace {
// The window's own procedure: the control's WindowProc or the message-only window's method.
void OwnProcedure(TWindowData* w, TMessage& Message) {
  if (w->Control) {
    std::function<void(TMessage&)> proc = w->Control->WindowProc();
    proc(Message);
  } else if (w->Method) {
    TWndMethod method = w->Method;
    method(Message);
  }
}

// What GWL_WNDPROC answers for a window that was not subclassed.
LRESULT OwnWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  TMessage m{msg, wParam, lParam, 0};
  OwnProcedure(w, m);
  return m.Result;
}
}  // namespace

LRESULT DeliverMessage(HWND wnd, TMessage& Message) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  ++g_delivery_depth;
  try {
    if (w->Proc && w->Proc != &OwnWindowProc) {
      WNDPROC proc = w->Proc;
      Message.Result = proc(wnd, Message.Msg, Message.WParam, Message.LParam);
    } else {
      OwnProcedure(w, Message);
    }
  } catch (...) {
    ReportCurrentException();
  }
  if (--g_delivery_depth == 0) FreeDeviceContexts();
  return Message.Result;
}

LRESULT CallWindowProc(WNDPROC proc, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!proc || !WindowData(wnd)) return 0;
  return proc(wnd, msg, wParam, lParam);
}

LRESULT DefWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  DefWindowProcInternal(wnd, m);
  return m.Result;
}

void RunWrapped(const std::function<void()>& Call) {
  ++g_delivery_depth;
  try {
    Call();
  } catch (...) {
    ReportCurrentException();
  }
  if (--g_delivery_depth == 0) FreeDeviceContexts();
}

void ReportCurrentException() {
  try {
    if (TApplication* app = Application()) {
      app->HandleException(nullptr, std::current_exception());
      return;
    }
    std::rethrow_exception(std::current_exception());
  } catch (const Exception& e) {
    std::fprintf(stderr, "Unhandled exception: %s\n", e.Message().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Unhandled exception: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "Unhandled exception\n");
  }
}

LRESULT SendMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsUIThread()) {
    assert(!"SendMessage is for the UI thread; use PostMessage");
    return 0;
  }
  TMessage m{msg, wParam, lParam, 0};
  return DeliverMessage(wnd, m);
}

BOOL PostMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!WindowData(wnd)) return 0;
  QueueItem item;
  item.Wnd = wnd;
  item.Message = TMessage{msg, wParam, lParam, 0};
  {
    std::lock_guard<std::mutex> guard(Queue().Lock);
    Queue().Items.push_back(std::move(item));
  }
  WakeEventLoop();
  return 1;
}

void PostCall(std::function<void()> Call) {
  QueueItem item;
  item.Call = std::move(Call);
  {
    std::lock_guard<std::mutex> guard(Queue().Lock);
    Queue().Items.push_back(std::move(item));
  }
  WakeEventLoop();
}

namespace px_forms {
// TThread::Queue / Synchronize woke the UI thread: keep the place in the queue.
void PostSynchronizeMarker() {
  QueueItem item;
  item.Synchronize = true;
  {
    std::lock_guard<std::mutex> guard(Queue().Lock);
    Queue().Items.push_back(std::move(item));
  }
  WakeEventLoop();
}
void ClearQueue() {
  std::lock_guard<std::mutex> guard(Queue().Lock);
  Queue().Items.clear();
}
}  // namespace px_forms

bool ProcessQueue() {
  CheckUIThread();
  // What canvases drew outside messages reaches the screen now.
  if (g_delivery_depth == 0) FreeDeviceContexts();
  bool any = false;
  // Only what is queued now: messages posted while handling wait for the next pass.
  size_t count;
  {
    std::lock_guard<std::mutex> guard(Queue().Lock);
    count = Queue().Items.size();
  }
  for (size_t i = 0; i < count; ++i) {
    QueueItem item;
    {
      std::lock_guard<std::mutex> guard(Queue().Lock);
      if (Queue().Items.empty()) break;
      item = std::move(Queue().Items.front());
      Queue().Items.pop_front();
    }
    any = true;
    if (item.Synchronize) {
      RunWrapped([] { CheckSynchronizeOne(); });
    } else if (item.Call) {
      RunWrapped(item.Call);
    } else if (WindowData(item.Wnd) && !NotifyKeyMessage(item.Wnd, item.Message)) {
      DeliverMessage(item.Wnd, item.Message);
    }
  }
  if (FireDueTimers()) any = true;
  if (PaintPendingWindows()) any = true;
  return any;
}

HWND AllocateHWnd(TWndMethod Method) {
  CheckUIThread();
  auto data = std::make_unique<TWindowData>();
  data->Method = std::move(Method);
  return AddRecord(std::move(data));
}

void DeallocateHWnd(HWND wnd) {
  TWindowData* w = WindowData(wnd);
  if (!w || w->Control) return;
  w->Destroying = true;
  ForgetWindow(wnd);
  RemoveRecord(wnd);
}

// ---------------------------------------------------------------------------------------------
// Timers

UINT_PTR SetTimer(HWND wnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  CheckUIThread();
  if (wnd && !WindowData(wnd)) return 0;
  TimerList& t = Timers();
  if (!wnd) id = t.NextId++;
  // The platform's minimum interval; a zero interval would never let the loop rest.
  const uint32_t interval = std::max<uint32_t>(elapse, 10);
  const uint64_t now = GetTickCount64();
  for (Timer& timer : t.Items) {
    if (timer.Wnd == wnd && timer.Id == id) {
      timer.Interval = interval;
      timer.Due = now + interval;
      timer.Proc = proc;
      timer.Seq = t.NextSeq++;
      ScheduleTimerWake();
      return wnd ? 1 : id;
    }
  }
  t.Items.push_back(Timer{wnd, id, interval, now + interval, t.NextSeq++, proc});
  ScheduleTimerWake();
  return wnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND wnd, UINT_PTR id) {
  TimerList& t = Timers();
  auto it = std::find_if(t.Items.begin(), t.Items.end(), [&](const Timer& x) { return x.Wnd == wnd && x.Id == id; });
  if (it == t.Items.end()) return 0;
  t.Items.erase(it);
  return 1;
}

uint64_t NextTimerDue() {
  uint64_t due = UINT64_MAX;
  for (const Timer& timer : Timers().Items) due = std::min(due, timer.Due);
  return due;
}

bool FireDueTimers() {
  TimerList& t = Timers();
  const uint64_t now = GetTickCount64();
  std::vector<Timer> due;
  for (const Timer& timer : t.Items)
    if (timer.Due <= now) due.push_back(timer);
  std::sort(due.begin(), due.end(), [](const Timer& a, const Timer& b) {
    return a.Due != b.Due ? a.Due < b.Due : a.Seq < b.Seq;
  });
  for (const Timer& d : due) {
    // Still set and still due (an earlier handler may have killed or restarted it)?
    auto it = std::find_if(t.Items.begin(), t.Items.end(),
                           [&](const Timer& x) { return x.Wnd == d.Wnd && x.Id == d.Id && x.Seq == d.Seq; });
    if (it == t.Items.end()) continue;
    it->Due = std::max(GetTickCount64(), d.Due) + it->Interval;
    if (d.Proc) {
      TIMERPROC proc = d.Proc;
      HWND wnd = d.Wnd;
      UINT_PTR id = d.Id;
      RunWrapped([=] { proc(wnd, WM_TIMER, id, static_cast<DWORD>(GetTickCount())); });
    } else if (d.Wnd) {
      TMessage m{WM_TIMER, d.Id, 0, 0};
      DeliverMessage(d.Wnd, m);
    }
  }
  if (!due.empty()) ScheduleTimerWake();
  return !due.empty();
}

void ForgetWindow(HWND wnd) {
  TimerList& t = Timers();
  t.Items.erase(std::remove_if(t.Items.begin(), t.Items.end(), [&](const Timer& x) { return x.Wnd == wnd; }),
                t.Items.end());
  if (g_focus == wnd) g_focus = nullptr;
  if (g_capture == wnd) g_capture = nullptr;
  if (g_active == wnd) g_active = nullptr;
  CaretWindowGone(wnd);
}

// ---------------------------------------------------------------------------------------------
// Geometry

TRect FrameInsets(uint32_t Style, uint32_t ExStyle, bool TopLevel) {
  if (!TopLevel) return {};
  const bool caption = (Style & WS_CAPTION) == WS_CAPTION;
  if (!caption && !(Style & WS_THICKFRAME)) return {};
  int32_t f = (Style & WS_THICKFRAME) ? GetSystemMetrics(SM_CXSIZEFRAME) : GetSystemMetrics(SM_CXFIXEDFRAME);
  int32_t cap = 0;
  if (caption) cap = (ExStyle & WS_EX_TOOLWINDOW) ? GetSystemMetrics(SM_CYSMCAPTION) : GetSystemMetrics(SM_CYCAPTION);
  return {f, f + cap, f, f};
}

TRect NonClientInsets(uint32_t Style, uint32_t ExStyle, bool TopLevel, int32_t MenuHeight, bool HScroll,
                      bool VScroll) {
  TRect r = FrameInsets(Style, ExStyle, TopLevel);
  const bool decorated = r.Left || r.Top;
  if (!decorated) {
    int32_t b = 0;
    if (Style & WS_THICKFRAME) b = GetSystemMetrics(SM_CXSIZEFRAME);
    else if (Style & WS_DLGFRAME) b = GetSystemMetrics(SM_CXDLGFRAME);
    else if (Style & WS_BORDER) b = GetSystemMetrics(SM_CXBORDER);
    r = {b, b, b, b};
  }
  if (TopLevel) r.Top += MenuHeight;
  if (ExStyle & WS_EX_CLIENTEDGE) {
    r.Left += 2; r.Top += 2; r.Right += 2; r.Bottom += 2;
  }
  if (ExStyle & WS_EX_STATICEDGE) {
    r.Left += 1; r.Top += 1; r.Right += 1; r.Bottom += 1;
  }
  if (VScroll) r.Right += GetSystemMetrics(SM_CXVSCROLL);
  if (HScroll) r.Bottom += GetSystemMetrics(SM_CYHSCROLL);
  return r;
}

void UpdateClientArea(TWindowData* W) {
  HWND wnd = W->Handle;
  NCCALCSIZE_PARAMS params;
  params.rgrc[0] = W->Rect;
  TMessage m{WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&params), 0};
  DeliverMessage(wnd, m);
  if (!(W = WindowData(wnd))) return;
  TRect c = params.rgrc[0];
  c.Offset(-W->Rect.Left, -W->Rect.Top);
  c.Right = std::max(c.Right, c.Left);
  c.Bottom = std::max(c.Bottom, c.Top);
  W->Client = c;
  // The surface: the window minus the desktop's frame.
  W->Frame = FrameInsets(W->Style, W->ExStyle, !W->IsChild());
  const int32_t sw = std::max(0, W->Rect.Width() - W->Frame.Left - W->Frame.Right);
  const int32_t sh = std::max(0, W->Rect.Height() - W->Frame.Top - W->Frame.Bottom);
  const TPoint clientOffset(c.Left - W->Frame.Left, c.Top - W->Frame.Top);
  auto old = W->Surface;
  if (!old || !old->Full || old->Full->Width() != sw || old->Full->Height() != sh || old->ClientOffset != clientOffset ||
      old->Client->Width() != c.Width() || old->Client->Height() != c.Height()) {
    auto s = std::make_shared<TWindowSurface>();
    if (old && old->Full && old->Full->Width() == sw && old->Full->Height() == sh) {
      s->Full = std::move(old->Full);  // same buffer: DCs on it stay live
      old->Full = std::make_unique<TSurface>(0, 0, 32);
    } else {
      s->Full = std::make_unique<TSurface>(sw, sh, 32);
      // Keep what was shown where it still fits, so a resize does not flash.
      if (old && old->Full) {
        const int32_t w = std::min(sw, old->Full->Width());
        const int32_t h = std::min(sh, old->Full->Height());
        for (int32_t y = 0; y < h; ++y)
          std::copy_n(old->Full->Row(y), static_cast<size_t>(w) * 4, s->Full->Row(y));
      }
    }
    s->ClientOffset = clientOffset;
    const int32_t cw = std::max(0, std::min(c.Width(), sw - clientOffset.X));
    const int32_t ch = std::max(0, std::min(c.Height(), sh - clientOffset.Y));
    if (cw > 0 && ch > 0 && clientOffset.X >= 0 && clientOffset.Y >= 0)
      s->Client = std::make_unique<TSurface>(s->Full->Row(clientOffset.Y) + static_cast<size_t>(clientOffset.X) * 4,
                                             s->Full->Stride(), cw, ch, 32);
    else
      s->Client = std::make_unique<TSurface>(0, 0, 32);
    W->Surface = std::move(s);
  }
}

TPoint WindowScreenOrigin(const TWindowData* W) {
  if (W->IsChild()) {
    if (const TWindowData* p = WindowData(W->Parent)) {
      TPoint po = WindowScreenOrigin(p);
      return {po.X + p->Client.Left + W->Rect.Left, po.Y + p->Client.Top + W->Rect.Top};
    }
  }
  return W->Rect.TopLeft();
}

TPoint SurfaceScreenOrigin(const TWindowData* W) {
  TPoint o = WindowScreenOrigin(W);
  return {o.X + W->Frame.Left, o.Y + W->Frame.Top};
}

void SyncNativeGeometry(TWindowData* W) {
  if (!W->Native) return;
  const int32_t sw = W->Surface && W->Surface->Full ? W->Surface->Full->Width() : 0;
  const int32_t sh = W->Surface && W->Surface->Full ? W->Surface->Full->Height() : 0;
  if (W->IsChild()) {
    const TWindowData* p = WindowData(W->Parent);
    TPoint off = p ? TPoint(p->Client.Left - p->Frame.Left, p->Client.Top - p->Frame.Top) : TPoint();
    W->Native->SetGeometry(Bounds(off.X + W->Rect.Left, off.Y + W->Rect.Top, sw, sh));
  } else {
    TPoint o = SurfaceScreenOrigin(W);
    W->Native->SetGeometry(Bounds(o.X, o.Y, sw, sh));
  }
}

namespace {
void SyncChildrenGeometry(TWindowData* W) {
  for (HWND c : W->Children)
    if (TWindowData* cw = WindowData(c)) SyncNativeGeometry(cw);
}

// Adds the area of the parent (or nothing for top-level windows) that the window uncovered.
void InvalidateUncovered(TWindowData* W, const TRect& OldRect, const TRect& NewRect) {
  if (!W->IsChild()) return;
  HRGN rgn = CreateRectRgnIndirect(OldRect);
  HRGN now = CreateRectRgnIndirect(NewRect);
  CombineRgn(rgn, rgn, now, RGN_DIFF);
  InvalidateRgn(W->Parent, rgn, TRUE);
  DeleteObject(rgn);
  DeleteObject(now);
}

void ReorderZ(TWindowData* W, HWND insertAfter) {
  std::vector<HWND>* list = nullptr;
  if (TWindowData* p = WindowData(W->Parent)) list = &p->Children;
  if (list) {
    list->erase(std::remove(list->begin(), list->end(), W->Handle), list->end());
    if (insertAfter == HWND_BOTTOM) {
      list->insert(list->begin(), W->Handle);
    } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
      list->push_back(W->Handle);
    } else {
      // Platform order: insertAfter is the window just above; ours lists bottom first.
      auto it = std::find(list->begin(), list->end(), insertAfter);
      list->insert(it, W->Handle);
    }
  }
  if (!W->Native) return;
  if (insertAfter == HWND_BOTTOM) {
    W->Native->Lower();
  } else if (list) {
    auto it = std::find(list->begin(), list->end(), W->Handle);
    if (it + 1 != list->end()) {
      if (TWindowData* above = WindowData(*(it + 1)); above && above->Native) W->Native->StackUnder(above->Native.get());
    } else {
      W->Native->Raise();
    }
  } else {
    W->Native->Raise();
  }
}
}  // namespace

BOOL SetWindowPos(HWND wnd, HWND insertAfter, int32_t x, int32_t y, int32_t cx, int32_t cy, UINT flags) {
  CheckUIThread();
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  TWindowPos pos;
  pos.hwnd = wnd;
  pos.hwndInsertAfter = insertAfter;
  pos.x = (flags & SWP_NOMOVE) ? w->Rect.Left : x;
  pos.y = (flags & SWP_NOMOVE) ? w->Rect.Top : y;
  pos.cx = (flags & SWP_NOSIZE) ? w->Rect.Width() : std::max(cx, 0);
  pos.cy = (flags & SWP_NOSIZE) ? w->Rect.Height() : std::max(cy, 0);
  pos.flags = flags;
  if (!(flags & SWP_NOSENDCHANGING)) {
    TMessage m{WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos), 0};
    DeliverMessage(wnd, m);
    if (!(w = WindowData(wnd))) return 0;
  }
  const TRect oldRect = w->Rect;
  const TRect oldClient = w->Client;
  TRect newRect = Bounds(pos.x, pos.y, std::max(pos.cx, 0), std::max(pos.cy, 0));
  const bool moved = newRect.TopLeft() != oldRect.TopLeft();
  const bool sized = newRect.Width() != oldRect.Width() || newRect.Height() != oldRect.Height();
  UINT outFlags = pos.flags;
  if (!moved) outFlags |= SWP_NOMOVE;
  if (!sized) outFlags |= SWP_NOSIZE;
  w->Rect = newRect;
  if (sized || moved || (pos.flags & SWP_FRAMECHANGED)) {
    UpdateClientArea(w);
    if (!(w = WindowData(wnd))) return 0;
  }
  const bool clientSized = w->Client.Width() != oldClient.Width() || w->Client.Height() != oldClient.Height();
  const bool clientMoved = w->Client.TopLeft() != oldClient.TopLeft() || moved;
  if (!clientSized) outFlags |= kNoClientSize;
  if (!clientMoved) outFlags |= kNoClientMove;
  if (!(pos.flags & SWP_NOZORDER)) ReorderZ(w, pos.hwndInsertAfter);
  if (sized || moved || (pos.flags & SWP_FRAMECHANGED)) {
    SyncNativeGeometry(w);
    SyncChildrenGeometry(w);
  }
  if (!(pos.flags & SWP_NOREDRAW)) {
    if (sized || (pos.flags & SWP_FRAMECHANGED)) {
      w->NCPaintNeeded = true;
      const bool full = (w->ClassStyle & (CS_HREDRAW | CS_VREDRAW)) || (pos.flags & SWP_FRAMECHANGED) ||
                        w->Client.TopLeft() != oldClient.TopLeft();
      if (full) {
        InvalidateRect(wnd, nullptr, TRUE);
      } else if (clientSized) {
        // Only what the larger client area uncovered.
        HRGN rgn = CreateRectRgn(0, 0, w->Client.Width(), w->Client.Height());
        HRGN keep = CreateRectRgn(0, 0, oldClient.Width(), oldClient.Height());
        CombineRgn(rgn, rgn, keep, RGN_DIFF);
        InvalidateRgn(wnd, rgn, TRUE);
        DeleteObject(rgn);
        DeleteObject(keep);
      }
    }
    if ((sized || moved) && w->Visible()) InvalidateUncovered(w, oldRect, newRect);
  }
  if (pos.flags & SWP_SHOWWINDOW) ShowWindow(wnd, SW_SHOWNA);
  if (pos.flags & SWP_HIDEWINDOW) ShowWindow(wnd, SW_HIDE);
  if (!(w = WindowData(wnd))) return 0;
  TWindowPos done = pos;
  done.x = w->Rect.Left;
  done.y = w->Rect.Top;
  done.cx = w->Rect.Width();
  done.cy = w->Rect.Height();
  done.flags = outFlags;
  TMessage m{WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&done), 0};
  DeliverMessage(wnd, m);
  return 1;
}

BOOL MoveWindow(HWND wnd, int32_t x, int32_t y, int32_t width, int32_t height, BOOL repaint) {
  return SetWindowPos(wnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : UINT{SWP_NOREDRAW}));
}

void NativeGeometryChanged(TWindowData* W, const TRect& WidgetRect) {
  // The toolkit reports the widget (surface) rectangle of a top-level window; ours includes
  // the frame.
  TRect r(WidgetRect.Left - W->Frame.Left, WidgetRect.Top - W->Frame.Top, WidgetRect.Right + W->Frame.Right,
          WidgetRect.Bottom + W->Frame.Bottom);
  if (r == W->Rect) return;
  HWND wnd = W->Handle;
  if (W->Control) {
    // Through the control's own SetBounds, so that constraints and alignment apply.
    TWinControl* control = W->Control;
    RunWrapped([&] { control->SetBounds(r.Left, r.Top, r.Width(), r.Height()); });
  } else {
    SetWindowPos(wnd, nullptr, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // A size the control refused: put the widget back.
  if (TWindowData* w = WindowData(wnd); w && w->Rect != r) SyncNativeGeometry(w);
}

BOOL GetClientRect(HWND wnd, TRect* rect) {
  TWindowData* w = WindowData(wnd);
  if (!w || !rect) return 0;
  *rect = TRect(0, 0, w->Client.Width(), w->Client.Height());
  return 1;
}

BOOL GetWindowRect(HWND wnd, TRect* rect) {
  TWindowData* w = WindowData(wnd);
  if (!w || !rect) return 0;
  TPoint o = WindowScreenOrigin(w);
  *rect = Bounds(o.X, o.Y, w->Rect.Width(), w->Rect.Height());
  return 1;
}

BOOL ClientToScreen(HWND wnd, TPoint* pt) {
  TWindowData* w = WindowData(wnd);
  if (!w || !pt) return 0;
  TPoint o = WindowScreenOrigin(w);
  pt->X += o.X + w->Client.Left;
  pt->Y += o.Y + w->Client.Top;
  return 1;
}

BOOL ScreenToClient(HWND wnd, TPoint* pt) {
  TWindowData* w = WindowData(wnd);
  if (!w || !pt) return 0;
  TPoint o = WindowScreenOrigin(w);
  pt->X -= o.X + w->Client.Left;
  pt->Y -= o.Y + w->Client.Top;
  return 1;
}

int32_t MapWindowPoints(HWND from, HWND to, TPoint* pts, UINT count) {
  TPoint a, b;
  if (from && !ClientToScreen(from, &a)) return 0;
  if (to && !ClientToScreen(to, &b)) return 0;
  const int32_t dx = a.X - b.X, dy = a.Y - b.Y;
  for (UINT i = 0; pts && i < count; ++i) {
    pts[i].X += dx;
    pts[i].Y += dy;
  }
  return static_cast<int32_t>(MAKELONG(static_cast<uint16_t>(dx), static_cast<uint16_t>(dy)));
}

namespace {
// The deepest visible descendant of w containing the screen point (w itself when none).
HWND DeepestAt(TWindowData* w, TPoint screen) {
  for (auto it = w->Children.rbegin(); it != w->Children.rend(); ++it) {
    TWindowData* c = WindowData(*it);
    if (!c || !c->Visible()) continue;
    TPoint o = WindowScreenOrigin(c);
    if (Bounds(o.X, o.Y, c->Rect.Width(), c->Rect.Height()).Contains(screen) && c->InRegion(screen))
      return DeepestAt(c, screen);
  }
  return w->Handle;
}
}  // namespace

bool TWindowData::InRegion(TPoint Screen) const {
  if (!Region) return true;
  const TPoint o = WindowScreenOrigin(this);
  return PtInRegion(Region, Screen.X - o.X, Screen.Y - o.Y) != 0;
}

HWND WindowFromPoint(TPoint pt) {
  std::vector<HWND> tops = TopLevelWindows();
  // Later-created and owned windows (pop-ups) lie above: search from the end.
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
    TWindowData* w = WindowData(*it);
    // Windows the mouse passes through (hints, drag outlines) are never found.
    if (!w || !w->Visible() || w->Minimized || (w->ExStyle & WS_EX_TRANSPARENT)) continue;
    TPoint o = SurfaceScreenOrigin(w);
    const int32_t sw = w->Surface && w->Surface->Full ? w->Surface->Full->Width() : 0;
    const int32_t sh = w->Surface && w->Surface->Full ? w->Surface->Full->Height() : 0;
    if (Bounds(o.X, o.Y, sw, sh).Contains(pt) && w->InRegion(pt)) return DeepestAt(w, pt);
  }
  return nullptr;
}

HWND ChildWindowFromPoint(HWND parent, TPoint pt) {
  TWindowData* w = WindowData(parent);
  if (!w) return nullptr;
  if (!TRect(0, 0, w->Client.Width(), w->Client.Height()).Contains(pt)) return nullptr;
  for (auto it = w->Children.rbegin(); it != w->Children.rend(); ++it) {
    TWindowData* c = WindowData(*it);
    if (c && c->Rect.Contains(pt)) return *it;
  }
  return parent;
}

// ---------------------------------------------------------------------------------------------
// Window state

BOOL IsWindow(HWND wnd) { return WindowData(wnd) ? 1 : 0; }

BOOL IsWindowVisible(HWND wnd) {
  TWindowData* w = WindowData(wnd);
  while (w) {
    if (!w->Visible()) return 0;
    if (!w->IsChild()) return 1;
    w = WindowData(w->Parent);
  }
  return 0;
}

BOOL IsWindowEnabled(HWND wnd) {
  TWindowData* w = WindowData(wnd);
  return w && w->Enabled() ? 1 : 0;
}

BOOL EnableWindow(HWND wnd, BOOL enable) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  const BOOL wasDisabled = w->Enabled() ? 0 : 1;
  if ((enable != 0) == w->Enabled()) return wasDisabled;
  if (enable) w->Style &= ~WS_DISABLED;
  else w->Style |= WS_DISABLED;
  if (!enable) {
    if (g_focus && (g_focus == wnd || IsChild(wnd, g_focus))) SetFocus(nullptr);
    if (g_capture == wnd) ReleaseCapture();
  }
  if (w->Native && !w->IsChild()) w->Native->SetEnabled(enable != 0);
  Send(wnd, WM_ENABLE, enable ? 1 : 0);
  return wasDisabled;
}

BOOL ShowWindow(HWND wnd, int32_t cmd) {
  CheckUIThread();
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  const BOOL wasVisible = w->Visible() ? 1 : 0;
  const bool show = cmd != SW_HIDE;
  if (show && !w->Visible()) Send(wnd, WM_SHOWWINDOW, 1);
  if (!show && w->Visible()) Send(wnd, WM_SHOWWINDOW, 0);
  if (!(w = WindowData(wnd))) return wasVisible;
  if (!w->IsChild()) {
    if (cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE) {
      w->Minimized = true;
      w->Maximized = false;
    } else if (cmd == SW_MAXIMIZE) {
      if (!w->Maximized) w->RestoreRect = w->Rect;
      w->Maximized = true;
      w->Minimized = false;
    } else if (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) {
      w->Minimized = false;
      if (w->Maximized) {
        w->Maximized = false;
        if (!w->RestoreRect.IsEmpty()) {
          TRect r = w->RestoreRect;
          SetWindowPos(wnd, nullptr, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
          if (!(w = WindowData(wnd))) return wasVisible;
        }
      }
    }
    if (w->Native) w->Native->SetWindowStateFlags(w->Minimized, w->Maximized);
    if (w->Maximized && cmd == SW_MAXIMIZE) {
      HMONITOR mon = MonitorFromWindow(wnd, MONITOR_DEFAULTTONEAREST);
      MONITORINFO mi;
      GetMonitorInfo(mon, &mi);
      TRect r = mi.rcWork;
      SetWindowPos(wnd, nullptr, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
      if (!(w = WindowData(wnd))) return wasVisible;
    }
  }
  if (show == w->Visible()) return wasVisible;
  if (show) w->Style |= WS_VISIBLE;
  else w->Style &= ~WS_VISIBLE;
  if (w->Native) w->Native->SetVisible(show);
  if (show) {
    w->NCPaintNeeded = true;
    InvalidateRect(wnd, nullptr, TRUE);
    if (!w->IsChild() && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWMINNOACTIVE)
      SetActiveWindow(wnd);
  } else {
    if (w->IsChild()) {
      InvalidateUncovered(w, w->Rect, TRect());
    }
    if (g_focus && (g_focus == wnd || IsChild(wnd, g_focus))) {
      // The focus leaves a hidden window: to the parent, or nowhere.
      SetFocus(w->IsChild() ? w->Parent : nullptr);
    }
    if (g_capture == wnd) ReleaseCapture();
    if (g_active == wnd) {
      g_active = nullptr;
      Send(wnd, WM_ACTIVATE, WA_INACTIVE, 0);
    }
  }
  return wasVisible;
}

BOOL IsIconic(HWND wnd) {
  TWindowData* w = WindowData(wnd);
  return w && w->Minimized ? 1 : 0;
}

BOOL IsZoomed(HWND wnd) {
  TWindowData* w = WindowData(wnd);
  return w && w->Maximized ? 1 : 0;
}

BOOL IsChild(HWND parent, HWND wnd) {
  TWindowData* w = WindowData(wnd);
  while (w && w->IsChild()) {
    if (w->Parent == parent) return 1;
    w = WindowData(w->Parent);
  }
  return 0;
}

HWND GetParent(HWND wnd) {
  TWindowData* w = WindowData(wnd);
  if (!w) return nullptr;
  return w->IsChild() ? w->Parent : w->Owner;
}

HWND GetAncestor(HWND wnd, UINT flags) {
  TWindowData* w = WindowData(wnd);
  if (!w) return nullptr;
  if (flags == GA_PARENT) return w->IsChild() ? w->Parent : nullptr;
  HWND root = RootOf(wnd);
  if (flags == GA_ROOTOWNER) {
    TWindowData* r = WindowData(root);
    while (r && r->Owner && WindowData(r->Owner)) r = WindowData(RootOf(r->Owner));
    return r ? r->Handle : nullptr;
  }
  return root;
}

HWND GetWindow(HWND wnd, UINT cmd) {
  TWindowData* w = WindowData(wnd);
  if (!w) return nullptr;
  if (cmd == GW_CHILD) return w->Children.empty() ? nullptr : w->Children.back();
  if (cmd == GW_OWNER) return w->IsChild() ? nullptr : w->Owner;
  TWindowData* p = WindowData(w->Parent);
  if (!p) return nullptr;
  const std::vector<HWND>& list = p->Children;  // bottom first; the platform's order is top first
  auto it = std::find(list.begin(), list.end(), wnd);
  if (it == list.end()) return nullptr;
  switch (cmd) {
    case GW_HWNDFIRST: return list.back();
    case GW_HWNDLAST: return list.front();
    case GW_HWNDNEXT: return it == list.begin() ? nullptr : *(it - 1);
    case GW_HWNDPREV: return it + 1 == list.end() ? nullptr : *(it + 1);
    default: return nullptr;
  }
}

HWND GetTopWindow(HWND wnd) {
  if (!wnd) {
    std::vector<HWND> tops = TopLevelWindows();
    return tops.empty() ? nullptr : tops.back();
  }
  return GetWindow(wnd, GW_CHILD);
}

HWND GetDesktopWindow() { return nullptr; }

LONG_PTR GetWindowLongPtr(HWND wnd, int32_t index) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE: return static_cast<int32_t>(w->Style);
    case GWL_EXSTYLE: return static_cast<int32_t>(w->ExStyle);
    case GWL_USERDATA: return w->UserData;
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->Proc ? w->Proc : &OwnWindowProc);
    default: return 0;
  }
}

LONG_PTR SetWindowLongPtr(HWND wnd, int32_t index, LONG_PTR value) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  const LONG_PTR old = GetWindowLongPtr(wnd, index);
  switch (index) {
    case GWL_STYLE: {
      // Visibility and enabling keep their own calls.
      const uint32_t keep = WS_VISIBLE | WS_DISABLED | WS_CHILD;
      w->Style = (static_cast<uint32_t>(value) & ~keep) | (w->Style & keep);
      break;
    }
    case GWL_EXSTYLE: w->ExStyle = static_cast<uint32_t>(value); break;
    case GWL_USERDATA: w->UserData = value; break;
    case GWL_WNDPROC: {
      auto proc = reinterpret_cast<WNDPROC>(value);
      w->Proc = proc == &OwnWindowProc ? nullptr : proc;
      break;
    }
    default: return 0;
  }
  return old;
}

int32_t GetWindowLong(HWND wnd, int32_t index) { return static_cast<int32_t>(GetWindowLongPtr(wnd, index)); }

int32_t SetWindowLong(HWND wnd, int32_t index, int32_t value) {
  if (index == GWL_WNDPROC) return 0;  // a procedure does not fit: SetWindowLongPtr
  return static_cast<int32_t>(SetWindowLongPtr(wnd, index, value));
}

namespace {
// Shows the region on the widget (which covers the window less the desktop's frame).
void ApplyRegion(TWindowData* W) {
  if (!W->Native) return;
  if (!W->Region) {
    W->Native->SetMask({}, true);
    return;
  }
  HRGN shifted = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(shifted, W->Region, nullptr, RGN_COPY);
  OffsetRgn(shifted, -W->Frame.Left, -W->Frame.Top);
  std::vector<TRect> rects;
  const DWORD size = GetRegionData(shifted, 0, nullptr);
  std::vector<uint8_t> data(size);
  if (size && GetRegionData(shifted, size, reinterpret_cast<RGNDATA*>(data.data()))) {
    RGNDATAHEADER header;
    std::memcpy(&header, data.data(), sizeof header);
    rects.resize(header.nCount);
    if (header.nCount) std::memcpy(rects.data(), data.data() + sizeof header, header.nCount * sizeof(TRect));
  }
  DeleteObject(shifted);
  W->Native->SetMask(rects, false);
}
}  // namespace

int32_t SetWindowRgn(HWND wnd, HRGN rgn, BOOL redraw) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  if (w->Region && w->Region != rgn) DeleteObject(w->Region);
  w->Region = rgn;
  ApplyRegion(w);
  if (redraw && w->Visible()) {
    w->NCPaintNeeded = true;
    InvalidateRect(wnd, nullptr, TRUE);
  }
  return 1;
}

int32_t GetWindowRgn(HWND wnd, HRGN rgn) {
  TWindowData* w = WindowData(wnd);
  if (!w || !w->Region || !rgn) return ERROR;
  return CombineRgn(rgn, w->Region, nullptr, RGN_COPY);
}

BOOL DestroyWindow(HWND wnd) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  if (w->Control) {
    // A control's window is destroyed through the control, which can make it again.
    TWinControl* control = w->Control;
    DestroyWindowRecord(wnd);
    TWindowData::DetachControl(control);
  } else {
    DeallocateHWnd(wnd);
  }
  return 1;
}

BOOL BringWindowToTop(HWND wnd) {
  return SetWindowPos(wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------------------------------------
// Focus, capture, activation

HWND GetFocus() { return g_focus; }

HWND SetFocus(HWND wnd) {
  CheckUIThread();
  HWND old = g_focus;
  if (wnd == old) return old;
  if (wnd) {
    TWindowData* w = WindowData(wnd);
    if (!w || !w->Control) return nullptr;
    // Focus goes to a window of the active top-level window: activate that first.
    HWND root = RootOf(wnd);
    if (root != g_active) {
      SetActiveWindow(root);
      old = g_focus;
      if (wnd == old) return old;
      if (!WindowData(wnd)) return nullptr;
    }
  }
  if (old && WindowData(old)) Send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(wnd));
  if (wnd && !WindowData(wnd)) return old;
  g_focus = wnd;
  if (wnd) Send(wnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old));
  return old;
}

HWND GetActiveWindow() { return g_active; }

HWND SetActiveWindow(HWND wnd) {
  CheckUIThread();
  HWND old = g_active;
  if (wnd) wnd = RootOf(wnd);
  if (wnd == old) return old;
  if (wnd && !WindowData(wnd)) return nullptr;
  g_active = wnd;
  if (old && WindowData(old)) {
    Send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(wnd));
    // The focus leaves the window that became inactive.
    if (g_focus && (g_focus == old || IsChild(old, g_focus)) && g_active == wnd) {
      HWND f = g_focus;
      g_focus = nullptr;
      if (WindowData(f)) Send(f, WM_KILLFOCUS, 0);
    }
  }
  if (wnd && WindowData(wnd) && g_active == wnd) {
    if (TWindowData* w = WindowData(wnd); w && w->Native) w->Native->Activate();
    Send(wnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
  }
  return old;
}

HWND GetForegroundWindow() { return g_active; }
BOOL SetForegroundWindow(HWND wnd) { return SetActiveWindow(wnd) != nullptr || g_active == RootOf(wnd); }

HWND GetCapture() { return g_capture; }

HWND SetCapture(HWND wnd) {
  CheckUIThread();
  HWND old = g_capture;
  if (wnd && !WindowData(wnd)) return old;
  g_capture = wnd;
  if (old && old != wnd && WindowData(old)) Send(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(wnd));
  return old;
}

BOOL ReleaseCapture() {
  HWND old = g_capture;
  g_capture = nullptr;
  if (old && WindowData(old)) Send(old, WM_CAPTURECHANGED, 0, 0);
  return 1;
}

namespace px_forms {
void ResetWindowState() {
  g_focus = g_capture = g_active = nullptr;
  Timers().Items.clear();
  ReleaseSpareWindowDCs();
}
}  // namespace px_forms
