#include "view/pxview.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <unordered_map>

#include "platform/forms/Forms.h"
#include "platform/rtl/Classes_threads.h"

PX_CLASS_INFO(TPXView, TCustomControl, [](TPropertyBuilder<TPXView>& b) {
  b.Int("Background", &TPXView::Background, &TPXView::SetBackground, TypeInfo_TColor()).Default(clBtnFace);
  b.Bool("Ctl3D", &TPXView::GetCtl3D, &TPXView::SetCtl3D);
  b.Enum("BorderStyle", TypeInfo_TBorderStyle(), &TPXView::BorderStyle, &TPXView::SetBorderStyle).Default(bsSingle);
  b.Bool("FlatScrollBars", &TPXView::FlatScrollBars, &TPXView::SetFlatScrollBars).Default(false);
  b.Event("OnMouseEnter", &TPXView::OnMouseEnter, &TPXView::SetOnMouseEnter);
  b.Event("OnMouseLeave", &TPXView::OnMouseLeave, &TPXView::SetOnMouseLeave);
  b.Event("OnShowDialog", &TPXView::OnShowDialog, &TPXView::SetOnShowDialog);
  b.Event("OnResize", &TPXView::OnResize, &TPXView::SetOnResize);
})

namespace {

// The views alive, by the id their queued calls carry. Read and changed on the UI thread only;
// the ids are handed out atomically.
std::unordered_map<uint64_t, TPXView*>& LiveViews() {
  static std::unordered_map<uint64_t, TPXView*> views;
  return views;
}
std::atomic<uint64_t> g_next_queue_id{1};

}  // namespace

TPXView::TPXView(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(ControlStyle() + csAcceptsControls + csOpaque + csReplicatable + csNeedsBorderPaint);
  SetParentCtl3D(false);
  SetCtl3D(false);
  FQueueId = g_next_queue_id.fetch_add(1);
  LiveViews()[FQueueId] = this;
}

TPXView::~TPXView() {
  LiveViews().erase(FQueueId);
  // Each receiver is told once, from the front, and its registration freed.
  while (!FCallbacks.empty()) {
    TCallback first = std::move(FCallbacks.front());
    FCallbacks.erase(FCallbacks.begin());
    if (first.Event) first.Event(this, pxbcViewDestroyed);
  }
}

void TPXView::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  RecreateWnd();
}

void TPXView::SetCtl3D(bool Value) {
  if (Value == Ctl3D()) return;
  TWinControl::SetCtl3D(Value);
  RecreateWnd();
}

void TPXView::SetBackground(TColor Value) { FBackground = Value; }

void TPXView::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (FBorderStyle == bsSingle) {
    // New-style controls are always on: the sunken client edge with Ctl3D, a plain border without.
    if (Ctl3D()) Params.ExStyle |= WS_EX_CLIENTEDGE;
    else Params.Style |= WS_BORDER;
  }
  // The view repaints only what a resize uncovers.
  Params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TPXView::CreateWnd() {
  ++FWindowCreations;
  TCustomControl::CreateWnd();
}

void TPXView::CMMouseEnter(TCMMouseEnterLeave& Message) {
  TCustomControl::CMMouseEnter(Message);
  if (FOnMouseEnter) FOnMouseEnter(this);
}

void TPXView::CMMouseLeave(TCMMouseEnterLeave& Message) {
  TCustomControl::CMMouseLeave(Message);
  if (FOnMouseLeave) FOnMouseLeave(this);
}

// ---------------------------------------------------------------------------------------------
// Change callbacks

int32_t TPXView::AddBitmapChangeEvent(const TPXBitmapChangeEvent& Callback) {
  const int32_t handle = FNextHandle++;
  FCallbacks.push_back({handle, Callback});
  return handle;
}

void TPXView::RemoveBitmapChangeEvent(int32_t Handle) {
  if (Handle == 0) return;
  auto it = std::find_if(FCallbacks.begin(), FCallbacks.end(), [&](const TCallback& c) { return c.Handle == Handle; });
  if (it != FCallbacks.end()) FCallbacks.erase(it);
}

void TPXView::RemoveBitmapChangeEventsOf(const TObject* Receiver) {
  const void* identity = Receiver ? dynamic_cast<const void*>(Receiver) : nullptr;
  std::erase_if(FCallbacks, [&](const TCallback& c) { return identity && c.Event.IsMethodOf(identity); });
}

void TPXView::CallBitmapChangeEvents(int32_t Code) {
  std::vector<int32_t> handles;
  handles.reserve(FCallbacks.size());
  for (const TCallback& c : FCallbacks) handles.push_back(c.Handle);
  for (int32_t handle : handles) {
    auto it = std::find_if(FCallbacks.begin(), FCallbacks.end(), [&](const TCallback& c) { return c.Handle == handle; });
    if (it == FCallbacks.end() || !it->Event) continue;  // removed meanwhile
    TPXBitmapChangeEvent event = it->Event;  // the receiver may remove itself while called
    event(this, Code);
  }
}

// ---------------------------------------------------------------------------------------------
// The UI thread's side of the attached components

bool TPXView::HasParentWindow() {
  // Without a parent form or window no window can be made for the view.
  return Parent() != nullptr || ParentWindow() != nullptr;
}

void TPXView::PostIOMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  // Through the UI thread's queue, so that the message keeps its order with the queued calls
  // and is dropped when the view is gone before its turn.
  const uint64_t id = FQueueId;
  TThread::Queue(nullptr, [id, Msg, WParam, LParam] {
    auto it = LiveViews().find(id);
    if (it == LiveViews().end()) return;
    TMessage m{Msg, WParam, LParam, 0};
    it->second->IOMessage(m);
  });
}

void TPXView::QueueToUIThread(std::function<void()> Call) {
  const uint64_t id = FQueueId;
  TThread::Queue(nullptr, [id, Call = std::move(Call)] {
    if (LiveViews().count(id)) Call();
  });
}

void TPXView::WndProc(TMessage& Message) {
  if (Message.Msg >= WM_USER + 7000 && Message.Msg <= WM_USER + 7006) {
    IOMessage(Message);
    return;
  }
  TCustomControl::WndProc(Message);
}
