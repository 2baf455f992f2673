// Dragging a tab to a new place: the drop marker, the scrolling while the pointer is held past
// the ends of the strip, and the drop.
#include "controls/CvTabs.h"
#include "platform/forms/Forms.h"

using enum TCvTabStyle;

void TCvCustomTabControl::StartTabDrag(TShiftState Shift) {
  if (!allow_tab_dragging_ || !Shift.Contains(ssLeft) || Dragging()) return;
  const TCvTabData* pressed = Tab(pressed_tab_);
  if (pressed && pressed->Enabled) BeginDrag(false);
}

TRect TCvCustomTabControl::DropMarkerRect(int32_t Target) {
  const TRect T = TabClientRect(Target);
  const int32_t half = fixed_dimension_ / 2;
  const bool before = Reverse() ? Target > tab_index_ : Target < tab_index_;
  const bool slantStart = tab_style_ == tsDoubleSlant || tab_style_ == tsBackSlant;
  const bool slantEnd = tab_style_ == tsSingleSlant || tab_style_ == tsDoubleSlant;
  const bool square = tab_style_ == tsCutCorner || tab_style_ == tsRoundCorners;
  // The marker's 15-pixel extent along the strip: starting 8 before the tab's leading edge, or 7
  // before its trailing edge, moved off the slanted side of the tab.
  auto leading = [&](int32_t Edge, bool Slant, int32_t Extra) { return Edge - 8 + (Slant ? half + Extra : 0); };
  auto trailing = [&](int32_t Edge, bool Slant) { return Edge - 7 + (Slant ? -half : square ? 1 : 0); };
  TRect r;
  switch (tab_orientation_) {
    case toTop:
    case toBottom:
      r.Top = tab_orientation_ == toTop ? T.Top - 2 : T.Bottom - 6;
      r.Bottom = r.Top + 8;
      r.Left = before ? leading(T.Left, slantStart, 0) : trailing(T.Right, slantEnd);
      r.Right = r.Left + 15;
      break;
    case toLeft:
      r.Left = T.Left - 2;
      r.Right = r.Left + 8;
      r.Top = before ? trailing(T.Bottom, slantStart) : leading(T.Top, slantEnd, 0);
      r.Bottom = r.Top + 15;
      break;
    case toRight:
      r.Left = T.Right - 5;
      r.Right = r.Left + 8;
      r.Top = before ? leading(T.Top, slantStart, 1) : trailing(T.Bottom, slantEnd);
      r.Bottom = r.Top + 15;
      break;
  }
  return r;
}

void TCvCustomTabControl::DrawDropMarker(const TRect& Rect) {
  if (!HandleAllocated() || Rect.IsEmpty()) return;
  // The marker is a shadow-coloured arrowhead pointing into the strip, left between two black
  // triangles; copied with XOR so that drawing it again erases it.
  TBitmap marker;
  marker.SetPixelFormat(pf32bit);
  marker.SetSize(Rect.Width(), Rect.Height());
  TCanvas* c = marker.Canvas();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clBtnShadow);
  c->FillRect(TRect(0, 0, Rect.Width(), Rect.Height()));
  c->Brush()->SetColor(clBlack);
  c->Pen()->SetStyle(psClear);
  switch (tab_orientation_) {
    case toTop:
      c->Polygon({TPoint(0, 0), TPoint(8, 8), TPoint(0, 8)});
      c->Polygon({TPoint(7, 8), TPoint(15, 0), TPoint(15, 8)});
      break;
    case toBottom:
      c->Polygon({TPoint(-1, 8), TPoint(-1, -1), TPoint(8, -1)});
      c->Polygon({TPoint(7, -1), TPoint(15, 0), TPoint(15, 8)});
      break;
    case toLeft:
      c->Polygon({TPoint(1, 0), TPoint(8, 0), TPoint(8, 8)});
      c->Polygon({TPoint(-1, 15), TPoint(8, 7), TPoint(8, 15)});
      break;
    case toRight:
      c->Polygon({TPoint(0, 0), TPoint(7, 0), TPoint(0, 7)});
      c->Polygon({TPoint(0, 7), TPoint(8, 15), TPoint(0, 15)});
      break;
  }
  c->Pen()->SetStyle(psSolid);
  HDC dc = GetDC(Handle());
  if (!dc) return;
  BitBlt(dc, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), c->Handle(), 0, 0, SRCINVERT);
  ReleaseDC(Handle(), dc);
}

void TCvCustomTabControl::EraseDropMarker() {
  if (!drop_marker_shown_) return;
  drop_marker_shown_ = false;
  DrawDropMarker(drop_marker_rect_);
}

void TCvCustomTabControl::DragOver(TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) {
  if (Source != this) {
    TCustomControl::DragOver(Source, X, Y, State, Accept);
    return;
  }
  if (State == dsDragLeave) {
    EraseDropMarker();
    last_drop_target_ = -1;
    Accept = false;
    return;
  }
  const int32_t t = TabAtPoint(X, Y);
  if (t == -1) {
    if (!drag_timer_) {
      drag_timer_ = std::make_unique<TTimer>(nullptr);
      drag_timer_->SetOnTimer(TNotifyEvent(this, &TCvCustomTabControl::DragScrollTimer));
    }
    drag_timer_->SetInterval(400);
    drag_timer_->SetEnabled(true);
  }
  Accept = t != -1 && t != tab_index_;
  if (t == last_drop_target_) return;
  last_drop_target_ = t;
  EraseDropMarker();
  if (!Accept) return;
  drop_marker_rect_ = DropMarkerRect(t);
  DrawDropMarker(drop_marker_rect_);
  drop_marker_shown_ = true;
}

void TCvCustomTabControl::DragScrollTimer(TObject*) {
  drag_timer_->SetInterval(300);
  if (!Dragging()) {
    // The drag ended without a drop here.
    drag_timer_->SetEnabled(false);
    return;
  }
  try {
    TPoint p;
    GetCursorPos(&p);
    p = ScreenToClient(p);
    int32_t direction = 0;
    switch (tab_orientation_) {
      case toTop:
      case toBottom: direction = p.X < 0 ? -1 : (p.X > Width() ? 1 : 0); break;
      case toLeft: direction = p.Y < 0 ? 1 : (p.Y > Height() ? -1 : 0); break;
      case toRight: direction = p.Y < 0 ? -1 : (p.Y > Height() ? 1 : 0); break;
    }
    if (Reverse()) direction = -direction;
    if (direction != 0) ScrollTabs(direction == 1);
  } catch (...) {
    drag_timer_->SetEnabled(false);
    throw;
  }
}

void TCvCustomTabControl::DragDrop(TObject* Source, int32_t X, int32_t Y) {
  if (Source == this) {
    if (drag_timer_) drag_timer_->SetEnabled(false);
    EraseDropMarker();
    last_drop_target_ = -1;
    const int32_t t = TabAtPoint(X, Y);
    if (t >= 0) MoveTab(t);
  }
  TCustomControl::DragDrop(Source, X, Y);
}
