// The tab control's painting: the back buffer, tab shapes and regions, outlines and the card
// frame replayed from pen commands, the card's shadow, the tab faces (background, image,
// caption, bars, focus rectangle) and the strip buttons.
#include <algorithm>

#include "controls/CvGrafx.h"
#include "controls/CvTabs.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/WinGdi_text.h"

using enum TCvTabStyle;

namespace {

// Restores a device context saved by the control on every way out.
class TSavedDC {
 public:
  TSavedDC(TCanvas* Canvas, int32_t Level) : canvas_(Canvas), level_(Level) {}
  ~TSavedDC() {
    RestoreDC(canvas_->Handle(), level_);
    canvas_->Refresh();
  }
  TSavedDC(const TSavedDC&) = delete;
  TSavedDC& operator=(const TSavedDC&) = delete;

 private:
  TCanvas* canvas_;
  int32_t level_;
};

constexpr int32_t kOpOutlinePen = 0, kOpNewColor = 2, kOpMove = 3, kOpLine = 4, kOpDark = 5, kOpLight = 6;

}  // namespace

// =============================================================================================
// Paint

void TCvCustomTabControl::WMEraseBkgnd(TWMEraseBkgnd& Message) { Message.Result = 1; }

void TCvCustomTabControl::Paint() {
  painted_once_ = true;
  UpdateLayout();
  if (back_buffer_->Width() != Width() || back_buffer_->Height() != Height()) back_buffer_->SetSize(Width(), Height());
  TCanvas* buffer = BufferCanvas();
  const TRect R(0, 0, ClientWidth(), ClientHeight());
  {
    // Only the part being painted is drawn into the buffer (a hot tab repaints the tab strip only).
    const TRect update = Canvas()->ClipRect();
    const int32_t level = SaveBufferDC();
    if (level == 0) throw Exception("Error saving device context");
    TSavedDC saved(buffer, level);
    IntersectClipRect(buffer->Handle(), update.Left, update.Top, update.Right, update.Bottom);
    bool handled = false;
    DoPaintBackground(buffer, R, handled);
    if (!handled) {
      if (transparent_) {
        PaintParentBackground(this, buffer, false);
        buffer->Refresh();
      } else {
        buffer->Brush()->SetStyle(bsSolid);
        buffer->Brush()->SetColor(background_color_);
        buffer->FillRect(R);
      }
    }
    PlaceButtons();
    for (TControl* b : {static_cast<TControl*>(close_button_), static_cast<TControl*>(menu_button_),
                        static_cast<TControl*>(scroller_)})
      if (b) b->Invalidate();
    PaintTabs();
  }
  Canvas()->CopyRect(R, buffer, R);
}

void TCvCustomTabControl::PaintTabs() {
  const int32_t n = tabs_->Count();
  if (n > 0) {
    int32_t F = -1;
    for (int32_t i = 0; i < n && F < 0; ++i)
      if (Tab(i)->Visible && Tab(i)->Row == 0) F = i;
    const int32_t start = F <= 0 ? n - 1 : F - 1;
    int32_t card = row_count_ - 1;
    for (int32_t step = 0, i = start; step < n; ++step, i = i == 0 ? n - 1 : i - 1) {
      TCvTabData* t = Tab(i);
      if (!t->Visible || !IsTabInView(i) || i < first_shown_tab_ || i == tab_index_) continue;
      if (t->Row < card && card > 0) {
        PaintCard(card);
        card = t->Row;
      }
      PaintTab(i);
    }
    if (card == 1) PaintCard(1);
    if (tab_index_ >= 0 && tab_index_ >= first_shown_tab_ && IsTabInView(tab_index_)) PaintTab(tab_index_);
  }
  PaintCard(0);
}

void TCvCustomTabControl::PaintTab(int32_t Index) {
  TCanvas* buffer = BufferCanvas();
  const TRect R = TabClientRect(Index);
  TRect clip;
  GetClipBox(buffer->Handle(), &clip);
  TRect common;
  if (!IntersectRect(common, R, clip)) return;
  if (HRGN G = TabRegion(Index, R)) {
    const int32_t level = SaveBufferDC();
    if (level == 0) throw Exception("Error saving device context");
    TSavedDC saved(buffer, level);
    SelectClipRgn(buffer->Handle(), G);
    PaintTabBackground(Index, R);
    PaintTabContent(Index, R);
  }
  commands_.clear();
  Cmd(kOpNewColor, 0, Index);
  TabOutline(Index);
  RunCommands();
}

void TCvCustomTabControl::PaintCard(int32_t Row) {
  TRect R = CardRect(Row);
  if (R == TRect(0, 0, 0, 0)) return;
  if (card_visible_) {
    ++R.Right;
    ++R.Bottom;
  }
  TCanvas* buffer = BufferCanvas();
  bool handled = false;
  DoPaintCardBackground(buffer, Row, R, handled);
  if (!handled) {
    buffer->Brush()->SetStyle(bsSolid);
    buffer->Brush()->SetColor(use_colored_tabs_ && Tab(tab_index_) ? Tab(tab_index_)->Color : Color());
    // A card behind the front one is filled only where the front card's fill, which always comes
    // last and covers its whole rectangle, will not paint over it.
    TRect front = Row > 0 && !on_paint_card_background_ ? CardRect(0) : TRect();
    if (card_visible_ && !front.IsEmpty()) {
      ++front.Right;
      ++front.Bottom;
    }
    TRect I;
    if (front.IsEmpty() || !IntersectRect(I, R, front)) {
      buffer->FillRect(R);
    } else {
      for (const TRect& part : {TRect(R.Left, R.Top, R.Right, I.Top), TRect(R.Left, I.Bottom, R.Right, R.Bottom),
                                TRect(R.Left, I.Top, I.Left, I.Bottom), TRect(I.Right, I.Top, R.Right, I.Bottom)})
        if (!part.IsEmpty()) buffer->FillRect(part);
    }
  }
  if (!show_card_frame_) return;
  commands_.clear();
  Cmd(kOpNewColor, 1, Row);
  CardOutline(Row);
  RunCommands();
}

// =============================================================================================
// Shapes

std::vector<TPoint> TCvCustomTabControl::TabPolygon(int32_t Index) {
  const TRect r = ShiftedTabRect(Index);
  const int32_t L = r.Left, T = r.Top, R = r.Right, B = r.Bottom, H = B - T, Z = cut_corner_size_;
  switch (tab_style_) {
    case tsSingleSlant:
      if (soft_corners_) return {{L, B}, {L, T + 2}, {L + 2, T}, {R - H - 4, T}, {R - H + 2, T + 2}, {R, B}};
      return {{L, B}, {L, T + 2}, {L + 2, T}, {R - H, T}, {R, B}};
    case tsDoubleSlant:
      if (soft_corners_) return {{L, B}, {L + H - 2, T + 2}, {L + H + 4, T}, {R - H - 4, T}, {R - H + 2, T + 2}, {R, B}};
      return {{L, B}, {L + H, T}, {R - H, T}, {R, B}};
    case tsCutCorner: return {{L, B}, {L, T}, {R - Z, T}, {R, T + Z}, {R, B}};
    case tsRoundCorners: return {{L, B}, {L, T + 2}, {L + 2, T}, {R - 2, T}, {R, T + 2}, {R, B}};
    case tsBackSlant:
      if (soft_corners_) return {{L, B}, {L + H - 2, T + 2}, {L + H + 4, T}, {R - 2, T}, {R, T + 2}, {R, B}};
      return {{L, B}, {L + H, T}, {R - 2, T}, {R, T + 2}, {R, B}};
  }
  return {};
}

HRGN TCvCustomTabControl::CreateTabRegion(const std::vector<TPoint>& Points) {
  return CreatePolygonRgn(Points.data(), static_cast<int32_t>(Points.size()), ALTERNATE);
}

HRGN TCvCustomTabControl::TabRegion(int32_t Index, const TRect& ClientRect) {
  if (HRGN cached = region_cache_->Find(ClientRect)) return cached;
  std::vector<TPoint> points = TabPolygon(Index);
  if (points.size() < 3) return nullptr;
  for (TPoint& p : points) p = MapPoint(p);
  HRGN region = CreateTabRegion(points);
  if (!region) throw Exception("Error creating region");
  region_cache_->Add(ClientRect, region);
  return region;
}

// =============================================================================================
// Outlines

void TCvCustomTabControl::TabOutline(int32_t Index) {
  std::vector<TPoint> M = TabPolygon(Index);
  const size_t n = M.size();
  if ((n != 4 && n != 5 && n != 6) || (Round() && n != 6))
    throw Exception("Incorrect number of points in tab shape");
  for (TPoint& p : M) p = MapPoint(p);
  Cmd(kOpOutlinePen);
  if (!Round()) {
    CmdMove(M[0]);
    for (size_t i = 1; i < n; ++i) CmdLine(M[i]);
    return;
  }
  if (tab_orientation_ == toLeft) {
    CmdMove(M[1]);
    CmdLine(M[0]);
    CmdMove(M[1]);
    for (size_t i = 2; i <= 5; ++i) CmdLine(M[i]);
  } else {
    CmdMove(M[4]);
    CmdLine(M[5]);
    CmdMove(M[4]);
    for (int32_t i = 3; i >= 0; --i) CmdLine(M[static_cast<size_t>(i)]);
  }
}

void TCvCustomTabControl::Shadow(TPoint C1, TPoint C2, TPoint C3) {
  if (hot_track_only_) return;
  CmdMove(TPoint(C1.X - 1, C1.Y + 1));
  Cmd(kOpDark, C2.X - 1, C2.Y - 1);
  Cmd(kOpDark, C3.X, C3.Y - 1);
  CmdMove(TPoint(C1.X - 1, C1.Y));
  Cmd(kOpLight, C1.X, C1.Y);
  Cmd(kOpLight, C2.X, C2.Y);
  Cmd(kOpLight, C3.X, C3.Y);
  Cmd(kOpLight, C3.X, C3.Y - 1);
}

void TCvCustomTabControl::CardOutline(int32_t Row) {
  const TRect c = CardRect(Row);
  const TPoint C0(c.Left, c.Top), C1(c.Right, c.Top), C2(c.Right, c.Bottom), C3(c.Left, c.Bottom);
  const bool full = show_full_frame_;
  const bool shadowed = tab_orientation_ == toTop && !Reverse() && show_shadow_;
  auto P = [](TPoint p, int32_t dx, int32_t dy) { return TPoint(p.X + dx, p.Y + dy); };
  // A pen path: moves and lines.
  struct TStep {
    bool Move;
    TPoint At;
  };
  auto mv = [](TPoint p) { return TStep{true, p}; };
  auto ln = [](TPoint p) { return TStep{false, p}; };
  auto run = [this](std::initializer_list<TStep> Steps) {
    for (const TStep& s : Steps) s.Move ? CmdMove(s.At) : CmdLine(s.At);
  };
  Cmd(kOpOutlinePen);
  const bool gap = Tab(tab_index_) && Row == 0 && IsTabInView(tab_index_) && tab_index_ >= first_shown_tab_;
  if (!gap) {
    if (shadowed) {
      run({mv(C0), ln(P(C1, -2, 0)), ln(P(C2, -2, -2)), ln(P(C3, 0, -2)), ln(C0)});
      Shadow(C1, C2, C3);
    } else if (full) {
      run({mv(C0), ln(C1), ln(C2), ln(C3), ln(C0)});
    } else {
      run({mv(C0), ln(C1)});
    }
    return;
  }
  // The ends of the gap where the selected tab joins the card.
  const TRect sel = ShiftedTabRect(tab_index_);
  const TPoint TA = MapPoint(TPoint(sel.Left + 1, sel.Bottom));
  const TPoint TB = MapPoint(TPoint(sel.Right, sel.Bottom));
  const bool round = Round();
  // The partial frames along the tabs' edge of the card (both styles alike but for the
  // round bottom one).
  if (!full && !shadowed) {
    switch (tab_orientation_) {
      case toTop: run({mv(C0), ln(TA), mv(TB), ln(P(C1, 1, 0))}); break;
      case toLeft: run({mv(P(C3, -1, 0)), ln(P(TA, -1, 0)), mv(P(TB, -1, 0)), ln(P(C0, -1, 0))}); break;
      case toBottom:
        if (round) run({mv(P(C2, 0, 1)), ln(P(TB, -1, 1)), mv(TPoint(TA.X - 1, TB.Y + 1)), ln(P(C3, -1, 1))});
        else run({mv(P(C2, 0, 1)), ln(P(TB, -1, 1)), mv(P(TA, -1, 1)), ln(P(C3, 0, 1))});
        break;
      case toRight: run({mv(P(C1, 1, 0)), ln(P(TA, 1, 0)), mv(P(TB, 1, 0)), ln(P(C2, 1, 1))}); break;
    }
    if (round && tab_orientation_ == toTop) CmdPixel(TB);
    return;
  }
  if (!round) {
    switch (tab_orientation_) {
      case toTop:
        if (!shadowed) {
          run({mv(C0), ln(TA), mv(TB), ln(C1), ln(C2), ln(C3), ln(C0)});
        } else {
          run({mv(C0), ln(TA), mv(TB), ln(P(C1, -2, 0))});
          if (full) run({ln(P(C2, -2, -2)), ln(P(C3, 0, -2)), ln(P(C0, 0, -1))});
          Shadow(C1, C2, C3);
        }
        break;
      case toLeft: run({mv(C0), ln(C1), ln(C2), ln(C3), ln(TA), mv(TB), ln(C0)}); break;
      case toBottom: run({mv(C0), ln(C1), ln(C2), ln(P(TB, -1, 0)), mv(P(TA, -1, 0)), ln(C3), ln(C0)}); break;
      case toRight: run({mv(C0), ln(C1), ln(TA), mv(TB), ln(C2), ln(C3), ln(C0)}); break;
    }
    return;
  }
  // The round style: the selected tab's corner pixel at TB closes the joint on top.
  switch (tab_orientation_) {
    case toTop:
      if (shadowed) {
        run({mv(P(C3, 0, -2)), ln(C0), ln(TA), mv(TB), ln(P(C1, -2, 0)), ln(P(C2, -2, -2)), ln(P(C3, -1, -2))});
        Shadow(C1, C2, C3);
        Cmd(kOpOutlinePen);
      } else {
        run({mv(C3), ln(C0), ln(TA), mv(TB), ln(C1), ln(C2), ln(P(C3, -1, 0))});
      }
      CmdPixel(TB);
      break;
    case toLeft: run({mv(C3), ln(TA), mv(TB), ln(C0), ln(C1), ln(C2), ln(P(C3, -1, 0))}); break;
    case toBottom: run({mv(C3), ln(C0), ln(C1), ln(C2), ln(P(TB, -1, 0)), mv(P(TA, -1, 0)), ln(C3)}); break;
    case toRight: run({mv(C3), ln(C0), ln(P(C1, 1, 0)), mv(C1), ln(TA), mv(TB), ln(C2), ln(P(C3, -1, 0))}); break;
  }
}

void TCvCustomTabControl::RunCommands() {
  outline_color_ = OutlineColor();
  TCanvas* buffer = BufferCanvas();
  // The parent's own background under the control, for the shadow lines.
  // Only the part the commands reach is painted (a picture of the whole control would cost a
  // full-size fill on every paint); outside the control it reads as no pixel, as before.
  std::unique_ptr<TBitmap> under;
  bool shadowed = false;
  TRect reach(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN);
  for (size_t i = 0; i < commands_.size(); i += commands_[i] < 2 ? 1 : 3) {
    if (commands_[i] < 2 || i + 2 >= commands_.size()) continue;
    shadowed = shadowed || commands_[i] == kOpDark || commands_[i] == kOpLight;
    reach.Left = std::min(reach.Left, commands_[i + 1]);
    reach.Top = std::min(reach.Top, commands_[i + 2]);
    reach.Right = std::max(reach.Right, commands_[i + 1] + 1);
    reach.Bottom = std::max(reach.Bottom, commands_[i + 2] + 1);
  }
  TRect area;
  if (shadowed && IntersectRect(area, reach, TRect(0, 0, Width(), Height()))) {
    under = std::make_unique<TBitmap>();
    under->SetSize(area.Width(), area.Height());
    SetViewportOrgEx(under->Canvas()->Handle(), -area.Left, -area.Top, nullptr);
    PaintParentBackground(this, under->Canvas(), false);
    under->Canvas()->Refresh();
  }
  TColor color = outline_color_;
  buffer->Pen()->SetStyle(psSolid);
  buffer->Pen()->SetWidth(1);
  buffer->Pen()->SetMode(pmCopy);
  TPoint pen(0, 0);
  HDC dc = buffer->Handle();
  for (size_t i = 0; i < commands_.size();) {
    const int32_t op = commands_[i];
    if (op < 2) {
      if (op == kOpOutlinePen) buffer->Pen()->SetColor(color);
      ++i;
      continue;
    }
    if (i + 2 >= commands_.size()) break;
    const TPoint to(commands_[i + 1], commands_[i + 2]);
    i += 3;
    switch (op) {
      case kOpNewColor:
        color = OutlineColor();
        break;
      case kOpMove:
        buffer->MoveTo(to.X, to.Y);
        pen = to;
        break;
      case kOpLine:
        buffer->MoveTo(pen.X, pen.Y);
        buffer->LineTo(to.X, to.Y);
        pen = to;
        break;
      case kOpDark:
      case kOpLight: {
        const uint8_t w = op == kOpDark ? 30 : 15;
        if (pen.X == to.X || pen.Y == to.Y) {
          const int32_t dx = to.X > pen.X ? 1 : (to.X < pen.X ? -1 : 0);
          const int32_t dy = to.Y > pen.Y ? 1 : (to.Y < pen.Y ? -1 : 0);
          HDC src = under ? under->Canvas()->Handle() : nullptr;
          for (TPoint p = pen;; p.X += dx, p.Y += dy) {
            const COLORREF below = src ? GetPixel(src, p.X, p.Y) : CLR_INVALID;
            if (below != CLR_INVALID)
              SetPixelV(dc, p.X, p.Y, static_cast<COLORREF>(MixColors(clBlack, static_cast<TColor>(below), w)));
            if (p == to) break;
          }
        }
        pen = to;
        buffer->MoveTo(pen.X, pen.Y);
        break;
      }
      default:
        break;
    }
  }
}

// =============================================================================================
// Faces

void TCvCustomTabControl::PaintTabBackground(int32_t Index, const TRect& R) {
  TCanvas* buffer = BufferCanvas();
  bool handled = false;
  DoPaintTabBackground(buffer, Index, R, handled);
  if (handled) return;
  const TCvTabData* t = Tab(Index);
  TColor face, shade;
  const bool selected = Index == tab_index_;
  if (use_colored_tabs_) {
    face = t->Color;
    shade = (ColorToRGB(t->Color) & 0x00FFFFFF) == 0x00FFFFFF ? clBtnFace : ShadeColor(t->Color, 30);
  } else {
    face = selected ? Color() : tab_colors_->Unselected();
    shade = tab_colors_->Shadow();
  }
  if (!selected && use_gradients_ && DisplayIsFullColor) {
    using enum TGradientDirection;
    switch (tab_orientation_) {
      case toTop: PaintGradientRect(buffer, R, gdHorizontalEnd, face, shade, 1); break;
      case toBottom: PaintGradientRect(buffer, R, gdHorizontalEnd, shade, face, 1); break;
      case toLeft: PaintGradientRect(buffer, R, gdVerticalEnd, face, shade, 1); break;
      case toRight: PaintGradientRect(buffer, R, gdVerticalEnd, shade, face, 1); break;
    }
    return;
  }
  buffer->Brush()->SetStyle(bsSolid);
  buffer->Brush()->SetColor(face);
  buffer->FillRect(R);
}

TRect TCvCustomTabControl::ContentRect(TRect R) {
  const int32_t w = R.Right - R.Left, h = R.Bottom - R.Top, Z = cut_corner_size_;
  const bool horz = HorzStrip(), hText = text_orientation_ == orHorizontal;
  const TCvTabOrientation o = tab_orientation_;
  auto inset = [&R](int32_t a, int32_t b) { R.Inflate(-a, -b); };
  auto move = [&R](int32_t a, int32_t b) { R.Offset(a, b); };
  switch (tab_style_) {
    case tsSingleSlant:
      inset(1, 1);
      if (horz) {
        R.Right -= 2 * StyleOverlap(h) + 2;
        move(3, 0);
        if (o == toTop) R.Top += 2;
        else R.Bottom -= 2, move(0, 1);
      } else {
        if (o == toLeft) R.Top += 2 * StyleOverlap(w) + 2, move(0, -2);
        else R.Bottom -= 2 * StyleOverlap(w) + 2, move(0, 2);
        move(0, 1);
        if (o == toLeft) R.Left += 2;
        else R.Right -= 2, move(1, 0);
      }
      break;
    case tsDoubleSlant:
      if (horz) {
        inset(-1, 1);
        inset(StyleOverlap(h), 0);
        move(1, 0);
        if (o == toTop) R.Top += 2;
        else R.Bottom -= 2, move(0, 1);
      } else {
        inset(1, -1);
        inset(0, StyleOverlap(w));
        R.Bottom += 2;
        move(0, 1);
        if (o == toLeft) R.Left += 2;
        else R.Right -= 2, move(1, 0);
      }
      break;
    case tsCutCorner:
      if (hText) {
        if (horz) {
          inset(Z + 3, 1);
          if (o == toTop) R.Top += 3;
          else R.Bottom -= 3, move(0, 1);
        } else {
          inset(1, 4);
          if (o == toLeft) R.Left += Z + 5;
          else R.Right -= Z + 5, move(1, 0);
        }
      } else {
        if (horz) {
          inset(4, 1);
          if (o == toTop) R.Top += Z + 3;
          else R.Bottom -= Z + 3, move(0, 1);
        } else {
          inset(1, Z + 3);
          if (o == toLeft) R.Left += 5;
          else R.Right -= 5, move(1, 0);
        }
      }
      break;
    case tsRoundCorners:
      if (hText) inset(4, 2);
      else inset(2, 4);
      break;
    case tsBackSlant:
      inset(1, 1);
      if (horz) {
        R.Left += 2 * StyleOverlap(h) + 2;
        move(-3, 0);
        if (o == toTop) R.Top += 2;
        else R.Bottom -= 2, move(0, -1);
      } else {
        if (o == toLeft) R.Bottom -= 2 * StyleOverlap(w) + 2, move(0, 2);
        else R.Top += 2 * StyleOverlap(w) + 2, move(0, -2);
        move(0, -1);
        if (o == toLeft) R.Left += 2;
        else R.Right -= 2, move(1, 0);
      }
      break;
  }
  inset(1, 1);
  return R;
}

void TCvCustomTabControl::PaintTabContent(int32_t Index, const TRect& R) {
  TCvTabData* t = Tab(Index);
  TCanvas* buffer = BufferCanvas();
  const TRect CR = ContentRect(R);
  const bool hasImage = images_ && t->ImageIndex != -1;
  const int32_t iw = hasImage ? images_->Width() : 0, ih = hasImage ? images_->Height() : 0;
  const int32_t m = t->ImageIndex != -1 ? image_margin_ : 0;
  TRect TR = CR, IR = CR;
  switch (image_position_) {
    case ipLeft: TR.Left += m + iw, IR.Right = CR.Left + iw; break;
    case ipTop: TR.Top += m + ih, IR.Bottom = CR.Top + ih; break;
    case ipRight: TR.Right -= iw + m, IR.Left = CR.Right - iw; break;
    case ipBottom: TR.Bottom -= ih + m, IR.Top = CR.Bottom - ih; break;
    case ipBack:
    case ipStretch: break;
  }
  if (hasImage) {
    TPoint at = CR.TopLeft();
    if (image_position_ != ipStretch) {
      switch (image_alignment_) {
        case haLeft: at.X = IR.Left; break;
        case haCenter: at.X = IR.Left + (IR.Width() - iw) / 2; break;
        case haRight: at.X = IR.Right - iw; break;
      }
      switch (image_alignment_vertical_) {
        case vaTop: at.Y = IR.Top; break;
        case vaCenter: at.Y = IR.Top + (IR.Height() - ih) / 2; break;
        case vaBottom: at.Y = IR.Bottom - ih; break;
      }
    }
    if (t->DisabledIndex == -1) {
      images_->Draw(buffer, at.X, at.Y, t->ImageIndex, t->Enabled);
    } else {
      const int32_t index = t->Enabled ? t->ImageIndex : t->DisabledIndex;
      if (index != -1) images_->Draw(buffer, at.X, at.Y, index, true);
    }
  }
  const bool selected = Index == tab_index_;
  const bool hot = hot_track_ && Index == hot_tab_;
  const bool barStyle = hot_track_style_ == TCvTabHotTrackStyle::htsTab;
  TColor colour = clBtnText;
  bool handled = false;
  TCvTextStyle style;
  if (!t->Enabled) {
    style = TCvTextStyle::tsDisabledHighlight;
    colour = text_colors_->DisabledHighlight();
  } else if (hot) {
    style = TCvTextStyle::tsHotTrack;
    colour = barStyle ? text_colors_->Selected() : hot_track_color_;
    if (barStyle) DrawTabBar(Index, true);
  } else if (selected) {
    style = TCvTextStyle::tsSelected;
    colour = text_colors_->Selected();
    if (hot_track_ && barStyle) DrawTabBar(Index, false);
  } else {
    style = TCvTextStyle::tsUnselected;
    colour = text_colors_->Unselected();
  }
  TColor asked = colour;
  DoGetTextColor(Index, style, asked, handled);
  if (handled) colour = asked;
  TRect aligned = TR;
  if (!t->Caption.empty()) {
    if (!t->Enabled) {
      DrawTabText(Index, TR, colour, 1, aligned);
      colour = text_colors_->DisabledShadow();
      handled = false;
      asked = colour;
      DoGetTextColor(Index, TCvTextStyle::tsDisabledShadow, asked, handled);
      if (handled) colour = asked;
    }
    DrawTabText(Index, TR, colour, 0, aligned);
  }
  if (show_focus_rect_ && selected && Focused()) {
    TRect F = aligned;
    if (HorzStrip()) {
      F.Inflate(1, 0);
      ++F.Bottom;
    } else {
      F.Inflate(0, 1);
    }
    if (Round()) {
      switch (tab_orientation_) {
        case toTop: ++F.Top; break;
        case toLeft: F.Left += 2; break;
        case toBottom: --F.Bottom; break;
        case toRight: F.Right -= 2; break;
      }
    }
    buffer->DrawFocusRect(F);
  }
}

void TCvCustomTabControl::DrawTabText(int32_t Index, TRect TR, TColor Colour, int32_t Offset, TRect& Aligned) {
  TCvTabData* t = Tab(Index);
  const TFontStyles old = working_font_->Style();
  if (Index == tab_index_ && bold_current_tab_) working_font_->SetStyle(old + fsBold);
  const bool hText = text_orientation_ == orHorizontal;
  try {
    SelectTabFont();
    const TSize ts = MeasureText(t->Caption, hText);
    const int32_t W = TR.Right - TR.Left, H = TR.Bottom - TR.Top;
    if (hText) {
      switch (text_alignment_vertical_) {
        case vaTop: break;
        case vaCenter: TR.Top += (H - ts.cy) / 2, TR.Bottom -= (H - ts.cy) / 2; break;
        case vaBottom: TR.Top = TR.Bottom - ts.cy; break;
      }
    } else if (tab_orientation_ == toRight) {
      switch (text_alignment_) {
        case haLeft: TR.Right = TR.Left + ts.cx; break;
        case haCenter: TR.Left += (W - ts.cx) / 2, TR.Right -= (W - ts.cx) / 2; break;
        case haRight: break;
      }
    } else {
      switch (text_alignment_) {
        case haLeft: break;
        case haCenter: TR.Left += (W - ts.cx) / 2, TR.Right -= (W - ts.cx) / 2; break;
        case haRight: TR.Left = TR.Right - ts.cx; break;
      }
    }
    Aligned = TR;
    const int32_t tw = TR.Right - TR.Left, th = TR.Bottom - TR.Top;
    int32_t ax = 0, ay = 0;
    size_t start = 0;
    const std::string& caption = t->Caption;
    while (start <= caption.size()) {
      size_t end = caption.find("\r\n", start);
      const std::string line = caption.substr(start, end == std::string::npos ? std::string::npos : end - start);
      const TSize ls = line.empty() ? TSize(0, 0) : MeasureText(line, hText);
      TPoint o;
      if (hText) {
        const int32_t d = text_alignment_ == haLeft ? 0 : text_alignment_ == haCenter ? (tw - ls.cx) / 2 : tw - ls.cx;
        o = TPoint(TR.Left + d, TR.Top + ay);
        ay += ls.cy;
      } else if (tab_orientation_ == toRight) {
        const int32_t d = text_alignment_vertical_ == vaTop      ? 0
                          : text_alignment_vertical_ == vaCenter ? (th - ls.cy) / 2
                                                                 : th - ls.cy;
        o = TPoint(TR.Right - ax, TR.Top + d);
        ax += ls.cx;
      } else {
        const int32_t d = text_alignment_vertical_ == vaTop      ? th - ls.cy
                          : text_alignment_vertical_ == vaCenter ? (th - ls.cy) / 2
                                                                 : 0;
        o = TPoint(TR.Left + ax, TR.Bottom - d);
        ax += ls.cx;
      }
      DrawAccelText(o.X + Offset, o.Y + Offset, Colour, hText, BufferCanvas(), line);
      if (end == std::string::npos) break;
      start = end + 2;
    }
    RestoreTabFont();
  } catch (...) {
    working_font_->SetStyle(old);
    throw;
  }
  working_font_->SetStyle(old);
}

void TCvCustomTabControl::DrawAccelText(int32_t X, int32_t Y, TColor Colour, bool Horizontal, TCanvas* Canvas,
                                        const std::string& Line) {
  std::vector<std::string> segments;
  const size_t at = Line.find('&');
  if (at == std::string::npos || at + 1 == Line.size()) {
    segments.push_back(Line);
  } else if (Line[at + 1] == '&') {
    segments = {Line.substr(0, at + 1), std::string(), Line.substr(at + 2)};
  } else {
    segments = {Line.substr(0, at), Line.substr(at + 1, 1), Line.substr(at + 2)};
  }
  const TFontStyles old = working_font_->Style();
  const bool addUnderline = !old.Contains(fsUnderline);
  try {
    for (size_t k = 0; k < segments.size(); ++k) {
      if (k == 1 && addUnderline) working_font_->SetStyle(old + fsUnderline);
      if (k == 2 && addUnderline) working_font_->SetStyle(old);
      SelectTabFont();
      HDC dc = Canvas->Handle();
      SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(Colour)));
      SetBkMode(dc, TRANSPARENT);
      const std::string& s = segments[k];
      if (!s.empty()) TextOut(dc, X, Y, s);
      if (segments.size() > 1 && !s.empty()) {
        const TSize size = MeasureText(s, Horizontal);
        if (Horizontal) X += size.cx;
        else if (tab_orientation_ == toRight) Y += size.cy;
        else Y -= size.cy;
      }
      RestoreTabFont();
    }
  } catch (...) {
    working_font_->SetStyle(old);
    throw;
  }
  working_font_->SetStyle(old);
}

void TCvCustomTabControl::DrawTabBar(int32_t Index, bool Hot) {
  TRect B = TabClientRect(Index);
  B.Inflate(1, 1);
  TCanvas* buffer = BufferCanvas();
  TColor colour = tab_colors_->HighlightBar();
  if (Hot) colour = hot_track_color_type_ == htctActual ? hot_track_color_ : OppositeHueColor(hot_track_color_, 140);
  TRect bar;
  switch (tab_orientation_) {
    case toTop: bar = TRect(B.Left, B.Top, B.Right, B.Top + 6); break;
    case toLeft: bar = TRect(B.Left, B.Top, B.Left + 6, B.Bottom); break;
    case toBottom: bar = TRect(B.Left, B.Bottom - 4, B.Right, B.Bottom); break;
    case toRight: bar = TRect(B.Right - 4, B.Top, B.Right, B.Bottom); break;
  }
  const TColor oldBrush = buffer->Brush()->Color();
  buffer->Pen()->SetStyle(psClear);
  buffer->Brush()->SetStyle(bsSolid);
  buffer->Brush()->SetColor(colour);
  buffer->Rectangle(bar);
  buffer->Pen()->SetStyle(psSolid);
  buffer->Brush()->SetColor(oldBrush);
}

// =============================================================================================
// Strip buttons

void TCvCustomTabControl::PaintTabButtonFace(TCanvas* Canvas, const TRect& Rect, TControl*, TColor FrameColor,
                                             bool Pressed) {
  if (use_gradients_) {
    TRect inner = Rect;
    inner.Inflate(-1, -1);
    TColor a = tab_colors_->Unselected(), b = tab_colors_->Shadow();
    if (Pressed) std::swap(a, b);
    PaintGradientRect(Canvas, inner, TGradientDirection::gdHorizontalEnd, a, b, 1);
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->Brush()->SetColor(FrameColor);
    Canvas->FrameRect(Rect);
    return;
  }
  Canvas->Pen()->SetStyle(psSolid);
  Canvas->Pen()->SetColor(FrameColor);
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->Brush()->SetColor(tab_colors_->Unselected());
  Canvas->Rectangle(Rect);
}

void TCvTabScroller::Paint() {
  TCvCustomTabControl* tc = tab_control_;
  TCanvas* canvas = Canvas();
  const TRect r = ClientRect();
  if (!tc) return;
  // Which half scrolls forward: the up-right one except on toRight (and the reverse sequences).
  const bool rev = tc->TabSequence() == TCvTabSequence::tsReverse;
  const bool upRightForward = (tc->TabOrientation() != toRight) != rev;
  const bool backEnabled = tc->FirstShownTab() != 0;
  const bool forwardEnabled = !tc->IsTabInView(tc->LastVisibleIndex());
  const bool enabled1 = upRightForward ? forwardEnabled : backEnabled;
  const bool enabled0 = upRightForward ? backEnabled : forwardEnabled;
  TRect half0, half1;
  int32_t dir0, dir1;
  if (orientation_ == orHorizontal) {
    half0 = TRect(r.Left, r.Top, r.Left + Width() / 2 + 1, r.Bottom);
    half1 = TRect(r.Right - Width() / 2 - 1, r.Top, r.Right, r.Bottom);
    dir0 = 2, dir1 = 3;
  } else {
    half0 = TRect(r.Left, r.Bottom - Height() / 2 - 1, r.Right, r.Bottom);
    half1 = TRect(r.Left, r.Top, r.Right, r.Top + Height() / 2 + 1);
    dir0 = 1, dir1 = 0;
  }
  const bool pressed0 = pressed_inside_ && pressed_half_ == 0, pressed1 = pressed_inside_ && pressed_half_ == 1;
  tc->PaintTabButtonFace(canvas, half0, this, frame_color_, pressed0);
  PaintArrowGlyph(canvas, half0, false, dir0, pressed0, enabled0);
  tc->PaintTabButtonFace(canvas, half1, this, frame_color_, pressed1);
  PaintArrowGlyph(canvas, half1, false, dir1, pressed1, enabled1);
}

void TCvTabCloseButton::Paint() {
  if (!tab_control_) return;
  const TRect r = ClientRect();
  tab_control_->PaintTabButtonFace(Canvas(), r, this, frame_color_, pressed_inside_);
  PaintCloseGlyph(Canvas(), r, false, pressed_inside_, true);
}

void TCvTabMenuButton::Paint() {
  if (!tab_control_) return;
  const TRect r = ClientRect();
  int32_t dir = 1;
  switch (tab_control_->TabOrientation()) {
    case toTop: dir = 1; break;
    case toLeft: dir = 3; break;
    case toBottom: dir = 0; break;
    case toRight: dir = 2; break;
  }
  tab_control_->PaintTabButtonFace(Canvas(), r, this, frame_color_, pressed_inside_);
  PaintArrowGlyph(Canvas(), r, false, dir, pressed_inside_, true);
}
