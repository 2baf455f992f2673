// The tool contract's base behaviour and the view's calls to its enabled tools.
#include "view/pixoranview.h"

bool TPXUserInteraction::MouseDown(TMouseButton, TShiftState, int32_t, int32_t) { return false; }
void TPXUserInteraction::AfterMouseDown(TMouseButton, TShiftState, int32_t, int32_t) {}
bool TPXUserInteraction::MouseMove(TShiftState, int32_t, int32_t, bool) { return false; }
void TPXUserInteraction::AfterMouseMove(TShiftState, int32_t, int32_t, bool) {}
bool TPXUserInteraction::MouseUp(TMouseButton, TShiftState, int32_t, int32_t) { return false; }
void TPXUserInteraction::AfterMouseUp(TMouseButton, TShiftState, int32_t, int32_t) {}
void TPXUserInteraction::VirtualKey(uint32_t, uint32_t, bool) {}

void TPXUserInteraction::ImageChanged() {
  if (!Applying) DoImageChanged();
}

void TPXUserInteraction::DoUserInteraction(TPXUserInteractionEvent Event, int32_t Info) {
  if (FView && FView->OnUserInteraction()) FView->OnUserInteraction()(FView, Event, Info);
}

void TPXUserInteraction::SetTempCursor(TCursor Cursor) {
  if (FView) FView->SetTempCursor(Cursor, false);
}

void TPXUserInteraction::RestoreCursor() {
  if (FView) FView->RestoreCursor();
}

// ---------------------------------------------------------------------------------------------
// The view's side

void TPixoranView::AddTool(std::unique_ptr<TPXUserInteraction> Tool) {
  if (Tool) FTools.push_back(std::move(Tool));
}

TPXUserInteraction* TPixoranView::Tool(int32_t Index) {
  return Index >= 0 && Index < ToolCount() ? FTools[static_cast<size_t>(Index)].get() : nullptr;
}

int32_t TPixoranView::ToolCount() { return static_cast<int32_t>(FTools.size()); }

void TPixoranView::ToolsCancelOnModeChange() {
  for (auto& t : FTools)
    if (t->Enabled() && t->CancelOnModeChange) t->Cancel();
}

bool TPixoranView::ToolsNeedBackBufferUpdate() {
  for (auto& t : FTools)
    if (t->Enabled() && t->NeedsBackBufferUpdate()) return true;
  return false;
}

void TPixoranView::ToolsPaintToBackBuffer() {
  for (auto& t : FTools)
    if (t->Enabled()) t->PaintToBackBuffer();
}

void TPixoranView::ToolsPaintToCanvas(const TRect& UpdateRect) {
  for (auto& t : FTools)
    if (t->Enabled()) t->PaintToCanvas(UpdateRect);
}

void TPixoranView::ToolsImageChanged() {
  for (auto& t : FTools)
    if (t->Enabled()) t->ImageChanged();
}

bool TPixoranView::ToolsMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  bool taken = false;
  for (auto& t : FTools)
    if (t->Enabled() && t->MouseDown(Button, Shift, X, Y)) {
      taken = true;
      break;
    }
  for (auto& t : FTools)
    if (t->Enabled()) t->AfterMouseDown(Button, Shift, X, Y);
  return taken;
}

bool TPixoranView::ToolsMouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  const bool captured = MouseCapture();
  bool taken = false;
  for (auto& t : FTools)
    if (t->Enabled() && t->MouseMove(Shift, X, Y, captured)) {
      taken = true;
      break;
    }
  for (auto& t : FTools)
    if (t->Enabled()) t->AfterMouseMove(Shift, X, Y, captured);
  return taken;
}

bool TPixoranView::ToolsMouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  bool taken = false;
  for (auto& t : FTools)
    if (t->Enabled() && t->MouseUp(Button, Shift, X, Y)) {
      taken = true;
      break;
    }
  for (auto& t : FTools)
    if (t->Enabled()) t->AfterMouseUp(Button, Shift, X, Y);
  return taken;
}
