// Alignment: aligned children take the client area's edges in the order top, bottom, left,
// right, client, custom; the others keep the distances their anchors ask for.
#include <algorithm>

#include "platform/forms/Controls.h"
#include "platform/forms/FormsInternal.h"

namespace {

bool InsertBefore(TWinControl* self, TControl* C1, TControl* C2, TAlign AAlign,
                  bool (*custom)(TWinControl*, TControl*, TControl*)) {
  switch (AAlign) {
    case alTop: return C1->Top() < C2->Top();
    case alBottom: return C1->Top() + C1->Height() >= C2->Top() + C2->Height();
    case alLeft: return C1->Left() < C2->Left();
    case alRight: return C1->Left() + C1->Width() >= C2->Left() + C2->Width();
    case alCustom: return custom(self, C1, C2);
    default: return false;
  }
}

TAnchors AnchorsOf(TAlign a) {
  switch (a) {
    case alTop: return {akLeft, akTop, akRight};
    case alBottom: return {akLeft, akRight, akBottom};
    case alLeft: return {akLeft, akTop, akBottom};
    case alRight: return {akRight, akTop, akBottom};
    case alClient: return {akLeft, akTop, akRight, akBottom};
    default: return {akLeft, akTop};
  }
}

}  // namespace

void TWinControl::DisableAlign() { ++align_level_; }

void TWinControl::EnableAlign() {
  if (--align_level_ > 0) return;
  align_level_ = 0;
  if (control_state_.Contains(csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::RequestAlign() { TControl::RequestAlign(); }

void TWinControl::AlignControl(TControl* AControl) {
  if (ComponentState().Contains(csDestroying)) return;
  if (align_level_ != 0 || ComponentState().Contains(csLoading)) {
    control_state_ += csAlignmentNeeded;
    return;
  }
  DisableAlign();
  control_state_ += csAligning;
  TRect r = GetClientRect();
  try {
    AlignControls(AControl, r);
  } catch (...) {
    control_state_ -= csAligning;
    control_state_ -= csAlignmentNeeded;
    --align_level_;
    throw;
  }
  control_state_ -= csAligning;
  control_state_ -= csAlignmentNeeded;
  EnableAlign();
}

void TWinControl::AdjustClientRect(TRect&) {}

void TWinControl::CustomAlignPosition(TControl*, int32_t&, int32_t&, int32_t&, int32_t&, TRect&) {}

void TWinControl::DoPosition(TControl* Control, TAlign AAlign, TRect& Rect, const TRect&) {
  if (AAlign == alNone || Control->Anchors() != AnchorsOf(AAlign)) {
    if (Control->original_parent_size_.X != 0 && Control->original_parent_size_.Y != 0) {
      int32_t newLeft = Control->Left(), newTop = Control->Top();
      int32_t newWidth = Control->Width(), newHeight = Control->Height();
      const TPoint parentSize = ClientRect().BottomRight();
      const TPoint orig = Control->original_parent_size_;
      const TPoint rules = Control->anchor_rules_;
      const TAnchors a = Control->Anchors();
      if (a.Contains(akRight)) {
        if (a.Contains(akLeft)) newWidth = parentSize.X - (orig.X - rules.X);
        else newLeft = parentSize.X - (orig.X - rules.X);
      } else if (!a.Contains(akLeft)) {
        newLeft = MulDiv(rules.X, parentSize.X, orig.X) - newWidth / 2;
      }
      if (a.Contains(akBottom)) {
        if (a.Contains(akTop)) newHeight = parentSize.Y - (orig.Y - rules.Y);
        else newTop = parentSize.Y - (orig.Y - rules.Y);
      } else if (!a.Contains(akTop)) {
        newTop = MulDiv(rules.Y, parentSize.Y, orig.Y) - newHeight / 2;
      }
      // Moving by the anchors keeps the rules as they are.
      const TPoint keepRules = Control->anchor_rules_, keepOrig = Control->original_parent_size_;
      Control->SetBounds(newLeft, newTop, std::max(newWidth, 0), std::max(newHeight, 0));
      Control->anchor_rules_ = keepRules;
      Control->original_parent_size_ = keepOrig;
    }
    if (AAlign == alNone) return;
  }
  int32_t newWidth = Rect.Right - Rect.Left;
  if (newWidth < 0 || AAlign == alLeft || AAlign == alRight || AAlign == alCustom) newWidth = Control->Width();
  int32_t newHeight = Rect.Bottom - Rect.Top;
  if (newHeight < 0 || AAlign == alTop || AAlign == alBottom || AAlign == alCustom) newHeight = Control->Height();
  int32_t newLeft = Rect.Left, newTop = Rect.Top;
  switch (AAlign) {
    case alTop: Rect.Top += newHeight; break;
    case alBottom: Rect.Bottom -= newHeight; newTop = Rect.Bottom; break;
    case alLeft: Rect.Left += newWidth; break;
    case alRight: Rect.Right -= newWidth; newLeft = Rect.Right; break;
    case alCustom:
      newLeft = Control->Left();
      newTop = Control->Top();
      CustomAlignPosition(Control, newLeft, newTop, newWidth, newHeight, Rect);
      break;
    default: break;
  }
  const TPoint keepRules = Control->anchor_rules_, keepOrig = Control->original_parent_size_;
  Control->SetBounds(newLeft, newTop, newWidth, newHeight);
  Control->anchor_rules_ = keepRules;
  Control->original_parent_size_ = keepOrig;
  // The control may not have taken the size offered (constraints): the rest moves with it.
  if (Control->Width() != newWidth || Control->Height() != newHeight) {
    switch (AAlign) {
      case alTop: Rect.Top -= newHeight - Control->Height(); break;
      case alBottom: Rect.Bottom += newHeight - Control->Height(); break;
      case alLeft: Rect.Left -= newWidth - Control->Width(); break;
      case alRight: Rect.Right += newWidth - Control->Width(); break;
      case alClient:
        Rect.Right += newWidth - Control->Width();
        Rect.Bottom += newHeight - Control->Height();
        break;
      default: break;
    }
  }
}

void TWinControl::DoAlign(TAlign AAlign, TControl* AControl, TRect& Rect, std::vector<TControl*>& AlignList) {
  AlignList.clear();
  if (AControl && AControl->Parent() == this && (AAlign == alNone || AControl->Visible()) && AControl->Align() == AAlign)
    AlignList.push_back(AControl);
  auto custom = [](TWinControl* self, TControl* a, TControl* b) { return self->CustomAlignInsertBefore(a, b); };
  for (int32_t i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c->Align() != AAlign || (AAlign != alNone && !c->Visible()) || c == AControl) continue;
    size_t j = 0;
    while (j < AlignList.size() && !InsertBefore(this, c, AlignList[j], AAlign, custom)) ++j;
    AlignList.insert(AlignList.begin() + static_cast<std::ptrdiff_t>(j), c);
  }
  const TRect clientArea = Rect;
  for (TControl* c : std::vector<TControl*>(AlignList)) DoPosition(c, AAlign, Rect, clientArea);
}

void TWinControl::AlignControls(TControl* AControl, TRect& Rect) {
  bool work = false;
  for (int32_t i = ControlCount() - 1; i >= 0; --i) {
    TControl* c = Controls(i);
    if (c->Align() != alNone || c->Anchors() != TAnchors{akLeft, akTop}) {
      work = true;
      break;
    }
  }
  if (work) {
    AdjustClientRect(Rect);
    std::vector<TControl*> list;
    for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient, alCustom, alNone}) DoAlign(a, AControl, Rect, list);
    ControlsAligned();
  }
  if (dock_manager_ && use_dock_manager_) dock_manager_->ResetBounds(false);
  if (Showing()) AdjustSize();
}

void TWinControl::AlignAnchored(TControl*) {}
