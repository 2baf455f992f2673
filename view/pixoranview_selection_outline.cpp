// The selection outline of the image view: marching dashes of four pixels in each colour that
// advance one pixel per timer tick, grips, the centre cross and the cell grid, drawn straight on
// the view's canvas; and the filled or outer-marked selection on the composed picture.
#include <algorithm>
#include <cmath>

#include "core/pxcanvas.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps_mask.h"
#include "platform/rtl/SysUtils.h"
#include "view/pixoranview.h"

// Every pixel of the line from (X1, Y1) to (X2, Y2), the end excluded, in the dash colours.
void TPixoranView::DrawOutlineSegment(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  TPXVectorizedSelection* s = FSelPolygons.get();
  if (!s->PixelData || !s->OutlineCanvas) return;
  TCanvas* canvas = s->OutlineCanvas;
  const int32_t dx = std::abs(X2 - X1), dy = -std::abs(Y2 - Y1);
  const int32_t sx = X1 < X2 ? 1 : -1, sy = Y1 < Y2 ? 1 : -1;
  // A line far outside the window is cut to a walk that stays bounded.
  const int64_t steps = std::max<int64_t>(dx, -int64_t{dy});
  if (steps > 1 << 24) return;
  int32_t err = dx + dy, x = X1, y = Y1;
  while (x != X2 || y != Y2) {
    TColor c;
    if (s->DashCounter <= 3) {
      c = s->OutlineColor1;
    } else if (s->DashCounter <= 6) {
      c = s->OutlineColor2;
    } else {
      c = s->OutlineColor2;
      s->DashCounter = -1;
    }
    ++s->DashCounter;
    canvas->SetPixels(x, y, c);
    const int32_t e2 = 2 * err;
    if (e2 >= dy) err += dy, x += sx;
    if (e2 <= dx) err += dx, y += sy;
  }
}

void TPixoranView::DrawSelectionOutline(TObject* Sender, bool CheckLock) {
  if (!HasParentWindow() || !FSelectionShown) return;
  TPXVectorizedSelection* s = FSelPolygons.get();
  bool animate = false;
  const bool shaping = DrawingRect || PolygonOpen || DrawingEllipse || SelGrip != 0;
  if (s->Visible) {
    animate = s->Animated;
    if (animate && Sender && Sender == FAntsTimer && !shaping && SelMoving < 0) {
      s->AntsPhase = (s->AntsPhase + 1) % 10;
      ++MaskAntsPhase;
    }
    TCanvas* canvas = Canvas();
    const TRect clip = canvas->ClipRect();
    const bool skip = clip.IsEmpty() || FPaintLockCount != 0 || (CheckLock && canvas->LockCount() > 0) ||
                      OutlineSuppressed;
    if (!skip) {
      const bool rect = s->IsRectangle();
      const bool boxGrips = rect ? FSelRectSideGrips : BoxGripsWanted();
      if (s->Sizeable && (boxGrips || rect) && !shaping && SelMoving == -1 && s->PointCount > 0) {
        TPXCanvas pc(canvas, true, true);
        pc.Brush()->SetStyle(FSelGripBrushStyle);
        pc.Brush()->SetColor(FSelGripBrushColor);
        pc.Pen()->SetColor(FSelGripPenColor);
        const int32_t g = FSelGripSize;
        const auto grip = [&](int32_t X, int32_t Y) {
          if (FSelGripShape == 0) pc.Rectangle(X - g, Y - g, X + g, Y + g);
          else pc.Ellipse(X - g, Y - g, X + g, Y + g);
        };
        int32_t minX = 10000000, minY = 10000000, maxX = -1000000, maxY = -1000000;
        for (int32_t i = 0; i < s->PointCount; ++i) {
          const TPoint p = s->Points[static_cast<size_t>(i)];
          if (IsPolygonSeparator(p)) continue;
          const int32_t cx = BitmapToClientX(p.X, true), cy = BitmapToClientY(p.Y, true);
          minX = std::min(minX, cx), minY = std::min(minY, cy);
          maxX = std::max(maxX, cx), maxY = std::max(maxY, cy);
          if (rect) grip(cx, cy);
        }
        if (boxGrips) {
          const int32_t mx = (minX + maxX) / 2, my = (minY + maxY) / 2;
          grip(mx, minY);
          grip(minX, my);
          grip(maxX, my);
          grip(mx, maxY);
        }
        DrawSelectionGrid(minX, minY, maxX, maxY);
      }
      if (!FSelMask->IsEmpty() && SelGrip == 0 && !DrawingRect && !DrawingEllipse && !PolygonOpen &&
          !MovedRectSelection) {
        // The mask draws its own outline over the current layer's place.
        if (!(FFastDrawDelayCount > 0 && FDelayMaskOutline)) {
          const uint32_t t0 = TickCounter ? TickCounter() : GetTickCount();
          TPXLayer* layer =
              FLayersCurrent >= 0 && FLayersCurrent < GetLayersCount() ? FLayers[static_cast<size_t>(FLayersCurrent)].get()
                                                                       : nullptr;
          const int32_t x0 = BitmapToClientX(0, true), y0 = BitmapToClientY(0, true);
          const int32_t x1 = BitmapToClientX(FSelMask->Width(), true), y1 = BitmapToClientY(FSelMask->Height(), true);
          (void)layer;
          TRect drawn{0, 0, 0, 0};
          FSelMask->DrawOutline(canvas, x0, y0, x1 - x0, y1 - y0, 0, 0, FSelMask->Width(), FSelMask->Height(),
                                MaskAntsPhase, FSelOutlineColor1, FSelOutlineColor2, &drawn);
          SelClientRect = drawn;
          const uint32_t spent = (TickCounter ? TickCounter() : GetTickCount()) - t0;
          if (FAntsTiming < 0 && FAntsTimer && (Owner() || HasParentWindow()))
            FAntsTimer->SetInterval(static_cast<uint32_t>(
                std::max<int64_t>(210, static_cast<int64_t>(spent) * 100 / -int64_t{FAntsTiming})));
        }
      } else if (!s->IsEmpty()) {
        s->DashCounter = s->AntsPhase;
        const auto fire = [&](int32_t Polygon, int32_t Point, int32_t X, int32_t Y) {
          if (OnDrawPolygon) OnDrawPolygon(this, Polygon, Point, canvas, X, Y);
        };
        if (rect) {
          const int32_t p = BitmapToClientX(s->Points[0].X, true), q = BitmapToClientY(s->Points[0].Y, true);
          const int32_t r = BitmapToClientX(s->Points[2].X, true) - 1, t = BitmapToClientY(s->Points[2].Y, true) - 1;
          SelClientRect = TRect(p, q, r, t);
          DrawOutlineSegment(p, q, r, q);
          fire(0, 1, r, q);
          DrawOutlineSegment(r, q, r, t);
          fire(0, 2, r, t);
          DrawOutlineSegment(r, t, p, t);
          fire(0, 3, p, t);
          DrawOutlineSegment(p, q, p, t);
          if (DrawingRect || MovedRectSelection) DrawSelectionGrid(p, q, r, t);
          fire(0, 0, p, q);
        } else {
          int32_t polygon = 0, first = 0;
          const auto client = [&](int32_t I) {
            const TPoint pt = s->Points[static_cast<size_t>(I)];
            return TPoint{BitmapToClientX(pt.X, true), BitmapToClientY(pt.Y, true)};
          };
          for (int32_t i = 1; i < s->PointCount; ++i) {
            const TPoint cur = s->Points[static_cast<size_t>(i)];
            if (IsPolygonSeparator(cur)) {
              const TPoint a = client(i - 1), b = client(first);
              DrawOutlineSegment(a.X, a.Y, b.X, b.Y);
              fire(polygon, i - 1, a.X, a.Y);
              ++polygon;
              first = i + 1;
              ++i;  // the next sub-polygon starts after the separator
              continue;
            }
            const TPoint a = client(i - 1), b = client(i);
            DrawOutlineSegment(a.X, a.Y, b.X, b.Y);
            fire(polygon, i - 1, a.X, a.Y);
          }
          if (!PolygonOpen && first < s->PointCount) {
            const TPoint a = client(s->PointCount - 1), b = client(first);
            DrawOutlineSegment(a.X, a.Y, b.X, b.Y);
          }
        }
        const int32_t cl = BitmapToClientX(s->X1, true), ct = BitmapToClientY(s->Y1, true);
        const int32_t cr = BitmapToClientX(s->X2, true), cb = BitmapToClientY(s->Y2, true);
        if (s->ShowCenter && s->PointCount > 1 && cr - cl > 0 && cb - ct > 0) {
          const int32_t cx = (cl + cr) / 2, cy = (ct + cb) / 2;
          DrawOutlineSegment(cx - 11, cy, cx + 11, cy);
          DrawOutlineSegment(cx, cy - 11, cx, cy + 11);
        }
      }
    }
  }
  if (FAntsTimer && (Owner() || HasParentWindow())) {
    FAntsTimer->SetEnabled(FFilterDelayCount > 0 || FFastDrawDelayCount > 0 || animate);
    // The delays count timer ticks only, so that a repaint neither shortens them nor recomposes.
    if (Sender && Sender == FAntsTimer) {
      if (FFilterDelayCount > 0 && --FFilterDelayCount == 0) Update();
      if (FFastDrawDelayCount > 0) --FFastDrawDelayCount;
    }
  }
}

void TPixoranView::DrawSelectionGrid(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (FSelGridColumns <= 1 && FSelGridRows <= 1) return;
  if (X1 > X2) std::swap(X1, X2);
  if (Y1 > Y2) std::swap(Y1, Y2);
  TCanvas* c = Canvas();
  c->Pen()->SetColor(GlobalSettingsInstance()->FPixelGridColor);
  c->Pen()->SetMode(pmCopy);
  c->Pen()->SetStyle(psSolid);
  for (int32_t i = 1; i < FSelGridRows; ++i) {
    const int32_t y = Y1 + Trunc32(static_cast<double>(i) * (Y2 - Y1) / FSelGridRows);
    c->MoveTo(X1, y);
    c->LineTo(X2, y);
  }
  for (int32_t i = 1; i < FSelGridColumns; ++i) {
    const int32_t x = X1 + Trunc32(static_cast<double>(i) * (X2 - X1) / FSelGridColumns);
    c->MoveTo(x, Y1);
    c->LineTo(x, Y2);
  }
}

void TPixoranView::DrawSelectionFill(TBitmap* Composed) {
  if (!Composed || !FSelectionShown || !FSelPolygons->Visible || !FSelectionPresent || FSelMask->IsEmpty()) return;
  const bool filled = FSelectionOptions.Contains(pxsoFilled), outer = FSelectionOptions.Contains(pxsoMarkOuter);
  if (!filled && !outer) return;
  if (FLayersCurrent < 0 || FLayersCurrent >= GetLayersCount()) return;
  const TRect r = FLayers[static_cast<size_t>(FLayersCurrent)]->ClientRect();
  if (r.IsEmpty()) return;
  if (filled)
    FSelMask->DrawXor(Composed->Canvas(), r.Left, r.Top, r.Width(), r.Height(), 0, 0, FSelMask->Width(),
                      FSelMask->Height());
  if (outer)
    FSelMask->PaintOutside(Composed, r.Left, r.Top, r.Width(), r.Height(), 0, 0, FSelMask->Width(), FSelMask->Height(),
                           -1, 0xFFFFFF);
}
