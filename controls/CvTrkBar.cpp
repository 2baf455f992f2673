// The track bar.
#include "controls/CvTrkBar.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "controls/CvControlsInternal.h"
#include "controls/CvGrafx.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/WinIcons.h"
#include "platform/rtl/Classes_streams.h"

using enum TFrameStyleEx;
using TTS = TThumbStyle;

namespace {

// The resource names of a thumb style and orientation, and whether their colours are mapped.
struct TThumbSet {
  const char* Name;
  bool Mapped;
};

TThumbSet ThumbSetOf(TThumbStyle Style, TPointerType Pointer, TOrientation Orientation) {
  const bool h = Orientation == orHorizontal;
  switch (Style) {
    case TTS::tsBox: return {h ? "CVTRKBAR_H_BOX" : "CVTRKBAR_V_BOX", true};
    case TTS::tsMixer: return {h ? "CVTRKBAR_H_MIXER" : "CVTRKBAR_V_MIXER", true};
    case TTS::tsFlat: return {h ? "CVTRKBAR_H_FLAT" : "CVTRKBAR_V_FLAT", true};
    case TTS::tsXPPointer: return {h ? "CVTRKBAR_H_XPPTR" : "CVTRKBAR_V_XPPTR", false};
    case TTS::tsXPBox: return {h ? "CVTRKBAR_H_XPBOX" : "CVTRKBAR_V_XPBOX", false};
    default:
      if (!h) return {"CVTRKBAR_V_PTR", true};
      return {Pointer == ptWin95 ? "CVTRKBAR_WIN95" : "CVTRKBAR_H_PTR", true};
  }
}

bool IsPointer(TThumbStyle Style) { return Style == TTS::tsPointer || Style == TTS::tsXPPointer; }

}  // namespace

PTypeInfo TypeInfo_TThumbStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TThumbStyle", {"tsBox", "tsCustom", "tsMixer", "tsPointer", "tsFlat", "tsXPPointer", "tsXPBox"});
  return &info;
}

PTypeInfo TypeInfo_TPointerType() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TPointerType", {"ptStandard", "ptWin95"});
  return &info;
}

PTypeInfo TypeInfo_TTickStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TTickStyle", {"tkStandard", "tkOwnerDraw"});
  return &info;
}

PX_CLASS_INFO(TCvTrackBar, TCustomControl, [](TPropertyBuilder<TCvTrackBar>& b) {
  using C = TCvTrackBar;
  b.Enum("About", TypeInfo_TCvAboutInfo(), &C::About, &C::SetAbout).Stored(false);
  b.Object<TBitmap>("CustomThumb", &C::CustomThumb, &C::SetCustomThumb);
  b.Int("HighlightColor", &C::HighlightColor, &C::SetHighlightColor, TypeInfo_TColor()).Default(clHighlight);
  b.Int("HotTrackColor", &C::HotTrackColor, &C::SetHotTrackColor, TypeInfo_TColor()).Default(0x149BF0);
  b.Enum("HotTrackColorType", TypeInfo_TCvHotTrackColorType(), &C::HotTrackColorType, &C::SetHotTrackColorType)
      .Default(htctActual);
  b.Int("Max", &C::Max, &C::SetMax).Default(10);
  b.Int("Min", &C::Min, &C::SetMin).Default(0);
  b.Enum("Orientation", TypeInfo_TOrientation(), &C::Orientation, &C::SetOrientation).Default(orHorizontal);
  b.Int("PageSize", &C::PageSize, &C::SetPageSize, TypeInfo_Word()).Default(1);
  b.Enum("PointerType", TypeInfo_TPointerType(), &C::PointerType, &C::SetPointerType).Default(ptStandard);
  b.Int("Position", &C::Position, &C::SetPosition).NoDefault();
  b.Int("SelStart", &C::SelStart, &C::SetSelStart).Default(0);
  b.Int("SelEnd", &C::SelEnd, &C::SetSelEnd).Default(0);
  b.Int("SelColor", &C::SelColor, &C::SetSelColor, TypeInfo_TColor()).Default(clOlive);
  b.Bool("ShowFocusRect", &C::ShowFocusRect, &C::SetShowFocusRect).Default(true);
  b.Bool("ShowTicks", &C::ShowTicks, &C::SetShowTicks).Default(true);
  b.Bool("TabOnEnter", &C::TabOnEnter, &C::SetTabOnEnter).Default(false);
  b.Enum("ThumbStyle", TypeInfo_TThumbStyle(), &C::ThumbStyle, &C::SetThumbStyle).Default(TTS::tsPointer);
  b.Int("TickColor", &C::TickColor, &C::SetTickColor, TypeInfo_TColor()).Default(clBtnShadow);
  b.Int("TickStep", &C::TickStep, &C::SetTickStep).Default(1);
  b.Enum("TickStyle", TypeInfo_TTickStyle(), &C::TickStyle, &C::SetTickStyle).Default(tkStandard);
  b.Int("TrackColor", &C::TrackColor, &C::SetTrackColor, TypeInfo_TColor()).Default(cl3DLight);
  b.Int("TrackOffset", &C::TrackOffset, &C::SetTrackOffset, TypeInfo_Word()).Default(20);
  b.Enum("TrackFrame", TypeInfo_TFrameStyle(), &C::TrackFrame, &C::SetTrackFrame).Default(fsStatus);
  b.Int("TrackFrameColor", &C::TrackFrameColor, &C::SetTrackFrameColor, TypeInfo_TColor()).Default(clBtnShadow);
  b.Int("TrackWidth", &C::TrackWidth, &C::SetTrackWidth, TypeInfo_Word()).Default(8);
  b.Bool("Transparent", &C::Transparent, &C::SetTransparent).Default(false);
  b.Event("OnChange", &C::OnChange, &C::SetOnChange);
  b.Event("OnChanging", &C::OnChanging, &C::SetOnChanging);
  b.Event("OnDrawTick", &C::OnDrawTick, &C::SetOnDrawTick);
  b.Event("OnMouseEnter", &C::OnMouseEnter, &C::SetOnMouseEnter);
  b.Event("OnMouseLeave", &C::OnMouseLeave, &C::SetOnMouseLeave);
  b.Redeclare("Width").Default(200);
  b.Redeclare("Height").Default(35);
  b.Redeclare("TabStop").Default(true);
})

TCvTrackBar::TCvTrackBar(TComponent* AOwner)
    : TCustomControl(AOwner),
      normal_(std::make_unique<TBitmap>()),
      hot_(std::make_unique<TBitmap>()),
      mask_(std::make_unique<TBitmap>()),
      disabled_(std::make_unique<TBitmap>()),
      background_(std::make_unique<TBitmap>()),
      custom_thumb_(std::make_unique<TBitmap>()),
      timer_(std::make_unique<TTimer>(nullptr)) {
  SetBounds(Left(), Top(), 200, 35);
  SetTabStop(true);
  timer_->SetEnabled(false);
  timer_->SetInterval(200);
  timer_->SetOnTimer(TNotifyEvent(this, &TCvTrackBar::RepeatTimerExpired));
  custom_thumb_->SetOnChange(TNotifyEvent(this, &TCvTrackBar::ThumbBitmapChanged));
  LoadThumbBitmaps();
  h_cursor_ = LoadCursor(HInstance, "CVTRKBAR_H_CURSOR");
  v_cursor_ = LoadCursor(HInstance, "CVTRKBAR_V_CURSOR");
}

TCvTrackBar::~TCvTrackBar() {
  if (h_cursor_) DestroyCursor(h_cursor_);
  if (v_cursor_) DestroyCursor(v_cursor_);
}

// ---------------------------------------------------------------------------------------------
// Thumb pictures

void TCvTrackBar::LoadThumbBitmaps() {
  TBitmap* images[] = {normal_.get(), hot_.get(), disabled_.get(), mask_.get()};
  if (thumb_style_ == TTS::tsCustom) {
    // Three frames: the thumb (also hot), its mask, the disabled thumb.
    const int32_t w = custom_thumb_->Width() / 3, h = custom_thumb_->Height();
    const int32_t frames[] = {0, 0, 2, 1};
    for (int32_t i = 0; i < 4; ++i) {
      // Fresh 32-bit pictures: a standard one loaded before may hold a mapped colour table.
      images[i]->SetSize(0, 0);
      images[i]->SetPixelFormat(pf32bit);
      images[i]->SetSize(w, h);
      if (w > 0 && h > 0)
        images[i]->Canvas()->CopyRect(TRect(0, 0, w, h), custom_thumb_->Canvas(),
                                      TRect(frames[i] * w, 0, (frames[i] + 1) * w, h));
    }
  } else {
    TColor hot1, hot2, hot3;
    if (hot_track_color_type_ == htctActual) {
      hot1 = hot2 = hot_track_color_;
      hot3 = MixColors(clWhite, hot_track_color_, 190);
    } else {
      const TColor k = OppositeHueColor(hot_track_color_, 140);
      hot1 = ShadeColor(k, 15);
      hot2 = ShadeColor(k, 30);
      hot3 = k;
    }
    const std::array<TColor, 14> from = {clSilver, clGray,  clOlive, clYellow,  clGreen, clBlue, clNavy,
                                         clAqua,   clRed,   clMaroon, clFuchsia, clTeal,  clPurple, clLime};
    const std::array<TColor, 14> to = {clBtnFace,
                                       clBtnShadow,
                                       cl3DDkShadow,
                                       cl3DLight,
                                       TintColor(clBtnShadow, 30),
                                       static_cast<TColor>(ColorToRGB(highlight_color_) + 1),
                                       ShadeColor(highlight_color_, 30),
                                       TintColor(highlight_color_, 30),
                                       hot1,
                                       hot2,
                                       hot3,
                                       clBtnShadow,
                                       ShadeColor(clBtnShadow, 30),
                                       TintColor(clBtnShadow, 30)};
    // Without visual styles the classic pictures serve (the visual-style ones only when chosen).
    const TThumbSet set = ThumbSetOf(thumb_style_, pointer_type_, orientation_);
    const std::string base = set.Name;
    const char* suffixes[] = {"", "_HOT", "_DISABLED", "_MASK"};
    for (int32_t i = 0; i < 4; ++i) {
      const std::string name = base + suffixes[i];
      if (set.Mapped && i < 3) images[i]->SetHandle(CreateMappedRes(HInstance, name, from, to));
      else images[i]->LoadFromResourceName(HInstance, name);
    }
  }
  if (orientation_ == orHorizontal) {
    thumb_thickness_ = normal_->Height();
    thumb_length_ = normal_->Width();
  } else {
    thumb_thickness_ = normal_->Width();
    thumb_length_ = normal_->Height();
  }
  thumb_half_ = thumb_length_ / 2;
}

void TCvTrackBar::ThumbBitmapChanged(TObject*) {
  thumb_style_ = TTS::tsCustom;
  LoadThumbBitmaps();
  Changed();
}

void TCvTrackBar::SetCustomThumb(TBitmap* Value) { custom_thumb_->Assign(Value); }

// ---------------------------------------------------------------------------------------------
// Writes

void TCvTrackBar::Changed() {
  background_stale_ = true;
  Invalidate();
}

void TCvTrackBar::ReloadAndChange() {
  LoadThumbBitmaps();
  Changed();
}

PX_CHANGING_SETTER(TCvTrackBar, HighlightColor, TColor, highlight_color_, ReloadAndChange())
PX_CHANGING_SETTER(TCvTrackBar, HotTrackColor, TColor, hot_track_color_, ReloadAndChange())
PX_CHANGING_SETTER(TCvTrackBar, HotTrackColorType, TCvHotTrackColorType, hot_track_color_type_, ReloadAndChange())
PX_CHANGING_SETTER(TCvTrackBar, Orientation, TOrientation, orientation_, ReloadAndChange())
PX_CHANGING_SETTER(TCvTrackBar, PointerType, TPointerType, pointer_type_, ReloadAndChange())
PX_CHANGING_SETTER(TCvTrackBar, SelColor, TColor, sel_color_, Changed())
PX_CHANGING_SETTER(TCvTrackBar, ShowTicks, bool, show_ticks_, Changed())
PX_CHANGING_SETTER(TCvTrackBar, TickColor, TColor, tick_color_, Changed())
PX_CHANGING_SETTER(TCvTrackBar, TickStyle, TTickStyle, tick_style_, Changed())
PX_CHANGING_SETTER(TCvTrackBar, TrackColor, TColor, track_color_, Changed())
PX_CHANGING_SETTER(TCvTrackBar, TrackOffset, uint16_t, track_offset_, Changed())
PX_CHANGING_SETTER(TCvTrackBar, TrackFrame, TFrameStyle, track_frame_, Changed())
PX_CHANGING_SETTER(TCvTrackBar, TrackFrameColor, TColor, track_frame_color_, Changed())
PX_CHANGING_SETTER(TCvTrackBar, Transparent, bool, transparent_, Changed())

void TCvTrackBar::SetTickStep(TPositiveInteger Value) {
  // A step below 1 would leave no tick to draw (or divide by zero).
  Value = std::max(Value, 1);
  if (tick_step_ == Value) return;
  tick_step_ = Value;
  Changed();
}

void TCvTrackBar::SetTrackWidth(uint16_t Value) {
  track_width_ = std::max<uint16_t>(Value, 4);
  Changed();
}

void TCvTrackBar::SetThumbStyle(TThumbStyle Value) {
  if (thumb_style_ == Value) return;
  thumb_style_ = Value;
  if (!IsLoading(this)) track_width_ = Value == TTS::tsMixer || Value == TTS::tsFlat ? 6 : 8;
  ReloadAndChange();
}

void TCvTrackBar::SetMax(int32_t Value) {
  if (max_ == Value) return;
  max_ = Value;
  if (min_ >= max_) {
    // The range keeps at least one step (at the top of the 32-bit range the minimum gives way).
    if (min_ < std::numeric_limits<int32_t>::max()) max_ = min_ + 1;
    else min_ = max_ - 1;
  }
  if (position_ > max_) SetPosition(max_);
  sel_end_ = std::min(sel_end_, max_);
  sel_start_ = std::min(sel_start_, max_);
  Changed();
}

void TCvTrackBar::SetMin(int32_t Value) {
  if (min_ == Value) return;
  min_ = Value;
  if (min_ >= max_) {
    if (max_ > std::numeric_limits<int32_t>::min()) min_ = max_ - 1;
    else max_ = min_ + 1;
  }
  if (position_ < min_) SetPosition(min_);
  sel_start_ = std::max(sel_start_, min_);
  sel_end_ = std::max(sel_end_, min_);
  Changed();
}

void TCvTrackBar::SetSelStart(int32_t Value) {
  if (sel_start_ == Value) return;
  sel_start_ = std::clamp(Value, min_, max_);
  // An end of 0 counts as not set.
  if (sel_end_ > 0 && sel_end_ < sel_start_) sel_start_ = sel_end_;
  Changed();
}

void TCvTrackBar::SetSelEnd(int32_t Value) {
  if (sel_end_ == Value) return;
  sel_end_ = std::clamp(Value, min_, max_);
  if (sel_start_ > 0 && sel_end_ < sel_start_) sel_end_ = sel_start_;
  Changed();
}

bool TCvTrackBar::DoChanging(int32_t NewPos) {
  bool allow = true;
  if (on_changing_) on_changing_(this, NewPos, allow);
  return allow;
}

void TCvTrackBar::DoChange() {
  if (on_change_) on_change_(this);
}

void TCvTrackBar::DoDrawTick(TCanvas* ACanvas, TPoint Location, int32_t Index) {
  if (on_draw_tick_) on_draw_tick_(this, ACanvas, Location, Index);
}

void TCvTrackBar::SetPosition(int32_t Value) {
  if (Value == position_) return;
  const int32_t p = std::clamp(Value, min_, max_);
  if (!DoChanging(p)) return;
  position_ = p;
  // While the background is stale a full repaint is pending anyway.
  if (!background_stale_ && HandleAllocated()) DrawThumb(Canvas());
  DoChange();
  NotifyDesigner(this);
}

// ---------------------------------------------------------------------------------------------
// Geometry

int64_t TCvTrackBar::Travel() const {
  const int64_t size = orientation_ == orHorizontal ? width_ : height_;
  return size - thumb_length_ - 2 * kMargin;
}

TRect TCvTrackBar::ComputeTrackRect() {
  const int32_t start = thumb_half_ + kMargin;
  if (orientation_ == orHorizontal)
    return TRect(start, track_offset_, Width() - kMargin - thumb_half_, track_offset_ + track_width_);
  return TRect(track_offset_, start, track_offset_ + track_width_, Height() - kMargin - thumb_half_);
}

TRect TCvTrackBar::ComputeThumbRect() {
  const bool horizontal = orientation_ == orHorizontal;
  const int32_t d = IsPointer(thumb_style_) && !(horizontal && pointer_type_ == ptWin95) ? 2 : 0;
  const int32_t across = (track_width_ - thumb_thickness_) / 2 + track_offset_ - d;
  const int64_t along = Travel() * (int64_t{position_} - min_) / Range();
  if (horizontal) {
    const auto left = static_cast<int32_t>(kMargin + along);
    return TRect(left, across, left + thumb_length_, across + thumb_thickness_);
  }
  const auto bottom = static_cast<int32_t>(Height() - kMargin - along);
  return TRect(across, bottom - thumb_length_, across + thumb_thickness_, bottom);
}

// ---------------------------------------------------------------------------------------------
// Painting

void TCvTrackBar::Paint() {
  TCanvas* c = Canvas();
  if (Focused() && show_focus_rect_) {
    c->Brush()->SetColor(Color());
    c->DrawFocusRect(ClientRect());
  }
  DrawTrack(c);
  if (show_ticks_) DrawTicks(c);
  DrawThumb(c);
}

void TCvTrackBar::DrawTrack(TCanvas* ACanvas) {
  track_rect_ = ComputeTrackRect();
  ACanvas->Brush()->SetStyle(bsSolid);
  ACanvas->Brush()->SetColor(Enabled() ? track_color_ : clBtnFace);
  ACanvas->FillRect(track_rect_);
  DrawSelection(ACanvas);
  ACanvas->Pen()->SetWidth(1);
  ACanvas->Pen()->SetStyle(psSolid);
  if (track_frame_ == fsFlat) PaintSides(ACanvas, track_rect_, track_frame_color_, track_frame_color_, AllSides);
  else PaintFrameStyle(ACanvas, track_rect_, track_frame_);
}

void TCvTrackBar::DrawSelection(TCanvas* ACanvas) {
  const TRect t = track_rect_;
  const bool horizontal = orientation_ == orHorizontal;
  const int64_t len = horizontal ? t.Width() : t.Height();
  // The product over the range, halves to even: in integers, exactly, where the range is positive.
  auto at = [&](int32_t v) {
    const int64_t num = len * (int64_t{v} - min_), den = Range();
    if (den <= 0) return static_cast<int32_t>(Round(static_cast<long double>(num) / den));
    int64_t q = num / den, r = num % den;
    if (r < 0) {
      r += den;
      --q;
    }
    if (2 * r > den || (2 * r == den && (q & 1))) ++q;
    return static_cast<int32_t>(q);
  };
  const int32_t a = at(sel_start_);
  const int32_t b = std::max(at(sel_end_), a);
  TRect band = horizontal ? TRect(t.Left + a, t.Top, t.Left + b, t.Bottom) : TRect(t.Left, t.Bottom - b, t.Right, t.Bottom - a);
  if (!Enabled()) return;
  ACanvas->Pen()->SetColor(track_frame_color_);
  if (sel_start_ > 0 || sel_end_ > 0) {
    if (horizontal) {
      for (int32_t x : {band.Left, band.Right}) {
        ACanvas->MoveTo(x, t.Top - 20);
        ACanvas->LineTo(x, t.Bottom + 20);
      }
    } else {
      for (int32_t y : {band.Top, band.Bottom}) {
        ACanvas->MoveTo(band.Left - 20, y);
        ACanvas->LineTo(band.Right + 20, y);
      }
    }
  }
  // An empty band fills nothing.
  if (band.IsEmpty()) return;
  ACanvas->Brush()->SetColor(sel_color_);
  ACanvas->FillRect(band);
}

void TCvTrackBar::DrawTicks(TCanvas* ACanvas) {
  if (max_ < min_) return;
  ACanvas->Pen()->SetColor(tick_color_);
  ACanvas->Pen()->SetWidth(1);
  const bool horizontal = orientation_ == orHorizontal;
  const int64_t travel = Travel();
  const long double s = static_cast<long double>(travel) / Range();
  const bool owner = tick_style_ == tkOwnerDraw;
  auto draw = [&](int64_t i, int32_t offset) {
    if (horizontal) {
      const int32_t x = offset + kMargin + thumb_half_;
      if (owner) {
        DoDrawTick(ACanvas, TPoint(x, 0), static_cast<int32_t>(i));
      } else if (thumb_style_ == TTS::tsPointer && pointer_type_ == ptWin95) {
        ACanvas->MoveTo(x, Height() - 10);
        ACanvas->LineTo(x, Height() - 4);
      } else {
        ACanvas->MoveTo(x, kMargin);
        ACanvas->LineTo(x, 10);
        if (!IsPointer(thumb_style_)) {
          ACanvas->MoveTo(x, Height() - 10);
          ACanvas->LineTo(x, Height() - 4);
        }
      }
    } else {
      const int32_t y = Height() - thumb_length_ - offset - kMargin + thumb_half_;
      if (owner) {
        DoDrawTick(ACanvas, TPoint(0, y), static_cast<int32_t>(i));
      } else {
        ACanvas->MoveTo(kMargin, y);
        ACanvas->LineTo(10, y);
        if (!IsPointer(thumb_style_)) {
          ACanvas->MoveTo(Width() - 10, y);
          ACanvas->LineTo(Width() - kMargin, y);
        }
      }
    }
  };
  auto column = [&](int64_t i) { return static_cast<int32_t>(Trunc(static_cast<long double>(i - min_) * s)); };
  const int64_t step = tick_step_;
  // The first multiple of the step at or above Min (floor division for negative values).
  auto firstMultiple = [&](int64_t from) {
    int64_t q = from / step;
    if (q * step < from) ++q;
    return q * step;
  };
  const int64_t first = firstMultiple(min_);
  const int64_t count = first > max_ ? 0 : (int64_t{max_} - first) / step + 1;
  if (count <= 4 * (std::max<int64_t>(travel, 0) + 1)) {
    // Few ticks: each value in turn; one that falls on the column just drawn is not drawn again.
    int32_t last = std::numeric_limits<int32_t>::min();
    for (int64_t i = first; i <= max_; i += step) {
      const int32_t c = column(i);
      if (c == last && !owner) continue;
      last = c;
      draw(i, c);
    }
    return;
  }
  // More ticks than columns: each column that holds a tick gets one, with its first value.
  for (int64_t c = 0; c <= travel; ++c) {
    const auto lo = static_cast<int64_t>(std::ceil(static_cast<long double>(c) / s)) + min_;
    const int64_t v = firstMultiple(std::max<int64_t>(lo, min_));
    if (v > max_ || column(v) != c) continue;
    draw(v, static_cast<int32_t>(c));
  }
}

void TCvTrackBar::UpdateBackground() {
  const TRect client(0, 0, Width(), Height());
  background_->SetSize(Width(), Height());
  TCanvas* b = background_->Canvas();
  if (transparent_) {
    b->CopyRect(client, Canvas(), client);
  } else {
    b->Brush()->SetStyle(bsSolid);
    b->Brush()->SetColor(Color());
    b->FillRect(client);
  }
  DrawTrack(b);
  if (show_ticks_) DrawTicks(b);
  background_stale_ = false;
}

void TCvTrackBar::DrawThumb(TCanvas* ACanvas) {
  const TRect old = thumb_rect_;
  thumb_rect_ = ComputeThumbRect();
  UpdateBackground();
  TCanvas* b = background_->Canvas();
  TRect uncovered;
  const bool anyUncovered = SubtractRect(uncovered, old, thumb_rect_);
  const int32_t w = normal_->Width(), h = normal_->Height();
  if (w <= 0 || h <= 0) {
    if (anyUncovered) ACanvas->CopyRect(uncovered, b, uncovered);
    return;
  }
  // The background goes back under the old place and under the new one, where the thumb is
  // then masked in and drawn. Two places across the same band that meet or overlap make one
  // rectangle, copied at once.
  const TRect& t = thumb_rect_;
  const bool alongX = old.Top == t.Top && old.Bottom == t.Bottom && old.Left <= t.Right && t.Left <= old.Right;
  const bool alongY = old.Left == t.Left && old.Right == t.Right && old.Top <= t.Bottom && t.Top <= old.Bottom;
  if (anyUncovered && (alongX || alongY)) {
    TRect joined;
    UnionRect(joined, old, t);
    ACanvas->CopyRect(joined, b, joined);
  } else {
    if (anyUncovered) ACanvas->CopyRect(uncovered, b, uncovered);
    ACanvas->CopyRect(t, b, t);
  }
  TBitmap* image = normal_.get();
  if (!Enabled()) image = disabled_.get();
  else if (thumb_hot_ && !IsDesigning(this)) image = hot_.get();
  const TRect cell(0, 0, w, h);
  const TCopyMode mode = ACanvas->CopyMode();
  ACanvas->SetCopyMode(cmSrcAnd);
  ACanvas->CopyRect(t, mask_->Canvas(), cell);
  ACanvas->SetCopyMode(cmSrcPaint);
  ACanvas->CopyRect(t, image->Canvas(), cell);
  ACanvas->SetCopyMode(mode);
}

// ---------------------------------------------------------------------------------------------
// Keys and mouse

void TCvTrackBar::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  const bool vertical = orientation_ == orVertical;
  int64_t p = position_;
  switch (Key) {
    case VK_PRIOR: p += page_size_; break;
    case VK_NEXT: p -= page_size_; break;
    case VK_END: p = vertical ? min_ : max_; break;
    case VK_HOME: p = vertical ? max_ : min_; break;
    case VK_LEFT:
    case VK_DOWN:
    case VK_SUBTRACT:
      if (p > min_) --p;
      break;
    case VK_UP:
    case VK_RIGHT:
    case VK_ADD:
      if (p < max_) ++p;
      break;
    default: break;
  }
  const auto clamped = static_cast<int32_t>(std::clamp<int64_t>(p, min_, max_));
  if (CanChangePosition(clamped)) SetPosition(clamped);
}

void TCvTrackBar::KeyPress(char16_t& Key) {
  if (tab_on_enter_ && Key == 13) {
    Key = 0;
    PostMessage(Handle(), WM_KEYDOWN, VK_TAB, 0);
    return;
  }
  TCustomControl::KeyPress(Key);
}

void TCvTrackBar::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (!IsDesigning(this) && CanFocus()) SetFocus();
  if (Button != mbLeft) return;
  const TPoint pt(X, Y);
  if (thumb_rect_.Contains(pt)) {
    if (paging_) MouseUp(mbLeft, Shift, X, Y);
    SetMouseCapture(true);
    dragging_ = true;
    drag_offset_ = TPoint(X - (thumb_rect_.Left + thumb_rect_.Width() / 2),
                          Y - (thumb_rect_.Top + thumb_rect_.Height() / 2));
    return;
  }
  if (!track_rect_.Contains(pt)) return;
  timer_->SetEnabled(true);
  last_click_ = pt;
  const bool horizontal = orientation_ == orHorizontal;
  const int64_t travel = Travel();
  const int64_t from = horizontal ? int64_t{position_} - min_ : int64_t{max_} - position_;
  const int64_t edge = kMargin + Trunc(static_cast<long double>(from) * travel / Range());
  const bool forward = horizontal ? X >= edge : Y < edge;
  if (!paging_) {
    paging_ = true;
    paging_forward_ = forward;
  }
  if (forward == paging_forward_) {
    const int64_t p = int64_t{position_} + (forward ? page_size_ : -int64_t{page_size_});
    const auto clamped = static_cast<int32_t>(std::clamp<int64_t>(p, min_, max_));
    if (CanChangePosition(clamped)) SetPosition(clamped);
  } else {
    // The thumb has passed the point pressed.
    MouseUp(mbLeft, Shift, X, Y);
  }
}

void TCvTrackBar::RepeatTimerExpired(TObject*) {
  timer_->SetInterval(100);
  if (!MouseCapture()) return;
  try {
    MouseDown(mbLeft, {}, last_click_.X, last_click_.Y);
  } catch (...) {
    timer_->SetEnabled(false);
    timer_->SetInterval(200);
    throw;
  }
}

void TCvTrackBar::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!dragging_) {
    thumb_hot_ = thumb_rect_.Contains(TPoint(X, Y));
    if (HandleAllocated()) DrawThumb(Canvas());
    return;
  }
  const TRect t = track_rect_;
  long double f;
  if (orientation_ == orHorizontal) {
    // A track shorter than a pixel has no positions to drag to.
    if (t.Width() < 1) return;
    f = static_cast<long double>(X - t.Left - drag_offset_.X) / t.Width();
  } else {
    if (t.Height() < 1) return;
    f = static_cast<long double>(t.Bottom - Y + drag_offset_.Y) / t.Height();
  }
  const int64_t p = std::clamp<int64_t>(Round(f * Range() + min_), min_, max_);
  if (CanChangePosition(static_cast<int32_t>(p))) SetPosition(static_cast<int32_t>(p));
}

void TCvTrackBar::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  timer_->SetEnabled(false);
  timer_->SetInterval(200);
  paging_ = false;
  if (dragging_ && Button == mbLeft) {
    dragging_ = false;
    SetMouseCapture(false);
    thumb_hot_ = false;
    if (HandleAllocated()) DrawThumb(Canvas());
  }
}

// ---------------------------------------------------------------------------------------------
// Messages

void TCvTrackBar::WMSetFocus(TWMSetFocus& Message) {
  TCustomControl::WMSetFocus(Message);
  Repaint();
}

void TCvTrackBar::WMKillFocus(TWMSetFocus& Message) {
  TCustomControl::WMKillFocus(Message);
  Repaint();
}

void TCvTrackBar::WMSetCursor(TWMSetCursor& Message) {
  TPoint p;
  GetCursorPos(&p);
  HCURSOR cursor = orientation_ == orVertical ? v_cursor_ : h_cursor_;
  if (cursor && thumb_rect_.Contains(ScreenToClient(p))) {
    ::SetCursor(cursor);
    Message.Result = 1;
    return;
  }
  TCustomControl::WMSetCursor(Message);
}

void TCvTrackBar::WMEraseBkgnd(TWMEraseBkgnd& Message) {
  if (!transparent_) {
    TCustomControl::WMEraseBkgnd(Message);
    return;
  }
  PaintParentBackground(this, Message.DC, false);
  Message.Result = 1;
}

void TCvTrackBar::WMGetDlgCode(TWMGetDlgCode& Message) { Message.Result = DLGC_WANTARROWS; }

void TCvTrackBar::WMSize(TWMSize& Message) {
  TCustomControl::WMSize(Message);
  // The orientation follows the bar's shape.
  SetOrientation(Height() > Width() ? orVertical : orHorizontal);
  background_stale_ = true;
}

void TCvTrackBar::CMEnabledChanged(TWMNoParams& Message) {
  TCustomControl::CMEnabledChanged(Message);
  Changed();
}

void TCvTrackBar::CMParentColorChanged(TWMNoParams& Message) {
  TCustomControl::CMParentColorChanged(Message);
  Changed();
}

void TCvTrackBar::CMDesignHitTest(TWMMouse& Message) {
  Message.Result = dragging_ || thumb_rect_.Contains(TPoint(Message.XPos, Message.YPos)) ? 1 : 0;
}

void TCvTrackBar::CMMouseEnter(TCMMouseEnterLeave& Message) {
  if (IsDesigning(this)) return;
  TCustomControl::CMMouseEnter(Message);
  if (on_mouse_enter_) on_mouse_enter_(this);
}

void TCvTrackBar::CMMouseLeave(TCMMouseEnterLeave& Message) {
  TCustomControl::CMMouseLeave(Message);
  if (on_mouse_leave_) on_mouse_leave_(this);
  if (dragging_) return;
  thumb_hot_ = false;
  if (HandleAllocated()) DrawThumb(Canvas());
}

void CvTrkBarRegisterClasses() { RegisterClass(TCvTrackBar::StaticClass()); }
