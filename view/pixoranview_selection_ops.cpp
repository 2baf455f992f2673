// Selection operations of the image view: rectangles, ellipses, polygon points, deselecting,
// the magic wand, the chroma key, moving and resizing by grips, and the hit tests.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/hypxutils.h"
#include "core/pxxBitmaps_mask.h"
#include "proc/pixoranproc_chroma.h"
#include "proc/pixoranproc_fill.h"
#include "view/pixoranview.h"

namespace {

int32_t Nearest(double V) { return static_cast<int32_t>(std::nearbyint(V)); }

// A key or the ForcedModifiers member that stands in for it: 4 Shift, 0 Ctrl, 12 Alt.
bool Held(TShiftState Shift, TShiftStateItem Key, uint16_t Forced) {
  const int bit = Key == ssShift ? 4 : Key == ssCtrl ? 0 : 12;
  return Shift.Contains(Key) || (Forced & (1u << bit)) != 0;
}

double SegmentDistance(double PX, double PY, double AX, double AY, double BX, double BY) {
  const double dx = BX - AX, dy = BY - AY;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((PX - AX) * dx + (PY - AY) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = AX + t * dx - PX, ey = AY + t * dy - PY;
  return std::sqrt(ex * ex + ey * ey);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Shapes

void TPixoranView::ClearSelectionShapes() {
  FSelPolygons->Clear();
  FSelMask->Clear();
}

void TPixoranView::Select(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, uint8_t Op) {
  if (X1 == X2 || Y1 == Y2) return;
  SelectRect(X1, Y1, X2, Y2, Op, false, false);
  if (Op == 0) FSelMask->Clear();
  RefreshSelectionMask();
  FBackBufferDirty = true;
  if (FPaintLockCount == 0) Invalidate();
}

void TPixoranView::SelectRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, uint8_t Op, bool Square,
                              bool KeepInside) {
  if (X1 == X2 || Y1 == Y2) return;
  if (FSelectionBase != pxsbBitmap) {
    X1 = ClientToBitmapX(X1, true), Y1 = ClientToBitmapY(Y1, true);
    X2 = ClientToBitmapX(X2, true), Y2 = ClientToBitmapY(Y2, true);
  }
  FSelectionPresent = true;
  if (Op == 1) {
    FSelPolygons->BeginSubPolygon(FSelAddValue);
  } else if (Op == 2) {
    FSelPolygons->BeginSubPolygon(0);
  } else {
    ClearSelectionShapes();
    FSelPolygons->BeginSubPolygon(FSelAddValue);
  }
  const int32_t w = GetCurrentImageWidth(), h = GetCurrentImageHeight();
  if (Square && FSelectionRatio == -1) {
    Y2 = Y1 + (X2 - X1);
  } else if (FSelectionRatio > 0) {
    const double r = FSelectionRatio;
    Y2 = Nearest((X2 - X1) * r) + Y1;
    if (Y2 >= h) X2 = Nearest((h - 1 - Y1 + X1 * r) / r);
    if (Y2 < 0) X2 = Nearest((X1 * r - Y1) / r);
  }
  if (KeepInside) {
    if (X1 < 0) X2 -= X1, X1 = 0;
    if (Y1 < 0) Y2 -= Y1, Y1 = 0;
    if (X2 >= w) X1 -= X2 - (w - 1), X2 = w - 1;
    if (Y2 >= h) Y1 -= Y2 - (h - 1), Y2 = h - 1;
  }
  if (X1 > X2) std::swap(X1, X2);
  if (Y1 > Y2) std::swap(Y1, Y2);
  X1 = std::clamp(X1, 0, std::max(w - 1, 0));
  Y1 = std::clamp(Y1, 0, std::max(h - 1, 0));
  X2 = std::clamp(X2, 0, std::max(w, 0));
  Y2 = std::clamp(Y2, 0, std::max(h, 0));
  FSelPolygons->AddPoint(X1, Y1);
  FSelPolygons->AddPoint(X2, Y1);
  FSelPolygons->AddPoint(X2, Y2);
  FSelPolygons->AddPoint(X1, Y2);
  ShowSelection(true);
  if (FSelPolygons->IsRectangle()) FSelPolygons->Kind = 1;
  if (FPaintLockCount == 0) Invalidate();
}

void TPixoranView::AddEllipse(int32_t CX, int32_t CY, int32_t Width, int32_t Height, int32_t Count) {
  const int32_t a = Width / 2, b = Height / 2;
  if (Count < 1) Count = std::max(Trunc32(std::min(a, b) * 2 * std::numbers::pi), 50);
  const bool wasEmpty = FSelPolygons->IsEmpty();
  const int32_t w = GetCurrentImageWidth(), h = GetCurrentImageHeight();
  FSelPolygons->EnsureCapacity(FSelPolygons->PointCount + Count);
  for (int32_t i = 0; i < Count; ++i) {
    const double t = i * 2 * std::numbers::pi / Count;
    FSelPolygons->AddPoint(std::clamp(Nearest(std::cos(t) * a + CX), 0, std::max(w, 0)),
                           std::clamp(Nearest(std::sin(t) * b + CY), 0, std::max(h, 0)));
  }
  if (wasEmpty) FSelPolygons->Kind = 2;
  FSelectionPresent = true;
}

void TPixoranView::AddSelectionPoint(int32_t X, int32_t Y) {
  if (FSelPolygons->IsEmpty()) FSelPolygons->BeginSubPolygon(FSelAddValue);
  AddSelectionPointClient(X, Y);
  FBackBufferDirty = true;
  if (FPaintLockCount == 0) Invalidate();
}

void TPixoranView::AddSelectionPointClient(int32_t X, int32_t Y) {
  if (FSelectionBase != pxsbBitmap) X = ClientToBitmapX(X, true), Y = ClientToBitmapY(Y, true);
  FSelPolygons->AddPoint(std::clamp(X, 0, std::max(GetCurrentImageWidth(), 0)),
                         std::clamp(Y, 0, std::max(GetCurrentImageHeight(), 0)));
  FSelectionPresent = true;
  ShowSelection(true);
}

void TPixoranView::EndPolygonSelection(bool Adding, bool DropLast) {
  if (DropLast) FSelPolygons->DropLastPoint();
  if (!(Adding && FShiftAddsSelection)) FSelMask->Clear();
  RefreshSelectionMask();
  SetUpdateReason(pxurSelection);
  Update();
  PolygonOpen = false;
  DoSelectionChange();
}

void TPixoranView::Deselect() {
  if (FSelectionPresent) {
    FSelectionPresent = false;
    HideSelection(true);
  }
  FSelPolygons->Clear();
  if (FPaintLockCount == 0) Invalidate();
  FSelMask->Clear();
  FSelectionPresent = PolygonOpen = LassoOpen = DrawingRect = DrawingEllipse = false;
  SelGrip = 0;
  SelMoving = -1;
  RestoreCursor();
  SetUpdateReason(pxurSelection);
  Update();
}

void TPixoranView::ShowSelection(bool Redraw) {
  FSelPolygons->Visible = true;
  if (Redraw) DrawSelectionOutline(this, true);
}

void TPixoranView::HideSelection(bool Redraw) {
  FSelPolygons->Visible = false;
  if (Redraw && FPaintLockCount == 0) Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Magic wand and chroma key

void TPixoranView::SelectMagicWand(int32_t X, int32_t Y, uint8_t Op) {
  if (FSelectionBase != pxsbBitmap) X = ClientToBitmapX(X, true), Y = ClientToBitmapY(Y, true);
  if (!FHasImageLayer || !FMainBitmap) return;
  if (X < 0 || Y < 0 || X >= FMainBitmap->Width() || Y >= FMainBitmap->Height()) return;
  int32_t value = FSelAddValue;
  if (Op == 2) {
    FSelPolygons->RenderToMask(FSelMask.get());
    FSelPolygons->Clear();
    value = 0;
  }
  if (FWandMode == 1 || FWandMode == 2) {
    if (Op == 0) ClearSelectionShapes();
    if (FWandMode == 1)
      MagicWandFill(FMainBitmap, X, Y, FWandGrow, FWandTolerance, FSelMask.get(), value, FWandFilterSize);
    else
      MagicWandGlobal(FMainBitmap, X, Y, FWandTolerance, FSelMask.get(), value, FWandFilterSize);
    FSelMask->UpdateBounds();
    FSelectionPresent = !FSelMask->IsEmpty();
    ShowSelection(true);
  } else {
    TPXArrayOfTPoint points;
    TraceMagicWand(FMainBitmap, X, Y, FWandGrow, FWandTolerance, FWandFilterSize, points);
    if (!points.empty()) {
      FSelectionPresent = true;
      if (Op == 0) ClearSelectionShapes();
      FSelPolygons->BeginSubPolygon(Op == 2 ? 0 : FSelAddValue);
      const int32_t w = GetCurrentImageWidth(), h = GetCurrentImageHeight();
      FSelPolygons->EnsureCapacity(FSelPolygons->PointCount + static_cast<int32_t>(points.size()));
      for (const TPoint& p : points) FSelPolygons->AddPoint(std::clamp(p.X, 0, w), std::clamp(p.Y, 0, h));
      if (Op == 0) FSelMask->Clear();
      RefreshSelectionMask();
      ShowSelection(true);
    }
  }
  FBackBufferDirty = true;
  if (FPaintLockCount == 0) Invalidate();
}

void TPixoranView::SelectChromaKey(int32_t X, int32_t Y, uint8_t Op) {
  if (!FHasImageLayer || !FMainBitmap) return;
  if (X == -1 || Y == -1) {
    FChromaKeyOptions->KeyColor = 0x1FFFFFFF;
  } else {
    if (FSelectionBase != pxsbBitmap) X = ClientToBitmapX(X, true), Y = ClientToBitmapY(Y, true);
    if (X < 0 || Y < 0 || X >= FMainBitmap->Width() || Y >= FMainBitmap->Height()) return;
    const TRGB p = FMainBitmap->GetPixelRGB(X, Y);
    FChromaKeyOptions->KeyColor = static_cast<TColor>(RGB(p.r, p.g, p.b));
  }
  ApplyChromaKey(Op);
}

void TPixoranView::ApplyChromaKey(uint8_t Op) {
  if (!FHasImageLayer || !FEnableAlphaChannel || !FMainBitmap) return;
  if (Op == 0) ClearSelectionShapes();
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  TPXBitmap* work = nullptr;
  TPXMask* mask = nullptr;
  TPixoranProc* proc = GetProc();
  if (proc->BeginSelectionWork(TPXPixelFormatSet{px24RGB}, x1, y1, x2, y2, work, mask)) {
    struct TEnd {
      TPixoranProc* Proc;
      TPXBitmap* Work;
      ~TEnd() { Proc->EndSelectionWork(Work); }
    } end{proc, work};
    TRGB key;
    const TColor k = FChromaKeyOptions->KeyColor;
    if (k == 0x1FFFFFFF) {
      double tolerance = 0;
      key = TRGB{0, 0, 0};
      GuessChromaKeyColor(work, key, false, tolerance);
    } else {
      key = TRGB{uint8_t((k >> 16) & 255), uint8_t((k >> 8) & 255), uint8_t(k & 255)};
    }
    int32_t value = FSelAddValue;
    if (Op == 2) {
      FSelPolygons->RenderToMask(FSelMask.get());
      FSelPolygons->Clear();
      value = 0;
    }
    // The work bitmap may be the selected box only: the chosen pixels are marked in a mask of
    // its own and written into the selection at the box's place.
    TPXMask chosen;
    chosen.AllocateBits(work->Width(), work->Height(), 8);
    RemoveChromaKey(work, &chosen, FChromaKeyOptions->MinSaturation, key, FChromaKeyOptions->Tolerance, 0, 0, false,
                    255, !FChromaKeyOptions->SelectKey, TPXProgressEvent(), this);
    const int32_t ox = work == FMainBitmap ? 0 : x1, oy = work == FMainBitmap ? 0 : y1;
    chosen.UpdateBounds();
    if (!chosen.IsEmpty())
      for (int32_t y = chosen.FY1; y <= chosen.FY2; ++y)
        for (int32_t x = chosen.FX1; x <= chosen.FX2; ++x)
          if (chosen.GetPixel(x, y)) {
            if (value) FSelMask->SetPixel(x + ox, y + oy, value);
            else if (uint8_t* row = FSelMask->GetScanline(y + oy); row && x + ox >= 0 && x + ox < FSelMask->Width()) {
              if (FSelMask->BitsPerPixel() == 8) row[x + ox] = 0;
              else row[(x + ox) >> 3] &= static_cast<uint8_t>(~(0x80 >> ((x + ox) & 7)));
            }
          }
    FSelMask->UpdateBounds();
    FSelMask->UpdateFull();
  }
  FSelectionPresent = !FSelMask->IsEmpty();
  ShowSelection(true);
  FBackBufferDirty = true;
  if (FPaintLockCount == 0) Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Moving and resizing

void TPixoranView::MoveSelection(int32_t DX, int32_t DY, bool Resize) {
  if (Resize) {
    FSelMask->Clear();
    TPXVectorizedSelection* s = FSelPolygons.get();
    ResizeSelectionByGrip(3, BitmapToClientX(s->X2, true) + DX, BitmapToClientY(s->Y2, true) + DY, false);
    return;
  }
  MoveSelectionBy(DX, DY, FSelectionOptions.Contains(pxsoCutBorders));
  RefreshSelectionMask();
}

void TPixoranView::MoveSelectionBy(int32_t DX, int32_t DY, bool Cut) {
  MovedRectSelection = FSelPolygons->IsRectangle();
  if (MovedRectSelection) FSelMask->Clear();
  else FSelMask->Translate(DX, DY, Cut);
  if (DX == 0 && DY == 0) return;
  FSelPolygons->Translate(DX, DY, GetCurrentImageWidth(), GetCurrentImageHeight(), Cut);
  if (FPaintLockCount == 0) Invalidate();
  DrawSelectionOutline(this, true);
}

int32_t TPixoranView::ResizeSelectionByGrip(int32_t Grip, int32_t X, int32_t Y, bool KeepRatio) {
  int32_t x = FSelectionBase == pxsbBitmap ? X : ClientToBitmapX(X, true);
  int32_t y = FSelectionBase == pxsbBitmap ? Y : ClientToBitmapY(Y, true);
  const TRect B = SelDragStartBounds;
  const int32_t cw = GetCurrentImageWidth(), ch = GetCurrentImageHeight();
  double p = 1;
  if (KeepRatio) {
    if (B.Bottom - B.Top + 1 == 0) return Grip;
    p = FSelectionRatio > 0 ? 1 / FSelectionRatio
                            : static_cast<double>(B.Right - B.Left + 1) / static_cast<double>(B.Bottom - B.Top + 1);
    // The dragged corner goes onto the line of ratio p through the fixed opposite corner; the
    // loops are bounded by the picture.
    switch (Grip) {
      case 1:
      case 5:
        for (int32_t guard = 0;; ++guard) {
          y = Nearest((B.Bottom * p + x - B.Right - 1 + p) / p);
          if (y >= 0 || guard > cw + ch) break;
          ++x;
        }
        Grip = 1;
        break;
      case 2:
        for (int32_t guard = 0;; ++guard) {
          y = Nearest((B.Bottom * p + B.Left - x - 1) / p);
          if (y >= 0 || guard > cw + ch) break;
          --x;
        }
        break;
      case 3:
      case 6:
        y = Nearest((B.Top * p + x - B.Left + 1 - p) / p);
        Grip = 3;
        break;
      case 4:
        for (int32_t guard = 0;; ++guard) {
          y = Nearest((B.Top * p + B.Right - x + 1 + p) / p);
          if (y <= ch || guard > cw + ch) break;
          ++x;
        }
        break;
      case 7:
        for (int32_t guard = 0;; ++guard) {
          x = Nearest(y * p - B.Bottom * p - p + B.Right + 1);
          if (x >= 0 || guard > cw + ch) break;
          ++y;
        }
        Grip = 1;
        break;
      case 8:
        for (int32_t guard = 0;; ++guard) {
          x = Nearest(y * p - B.Top * p + p + B.Left - 1);
          if (x <= cw || guard > cw + ch) break;
          --y;
        }
        Grip = 3;
        break;
      default:
        break;
    }
  }
  if (Grip == 2 || Grip == 3 || Grip == 6) ++x;
  if (Grip == 3 || Grip == 4 || Grip == 8) ++y;
  TPXVectorizedSelection* s = FSelPolygons.get();
  int32_t x1 = s->X1, y1 = s->Y1, x2 = s->X2, y2 = s->Y2;
  const bool left = Grip == 1 || Grip == 4 || Grip == 5, right = Grip == 2 || Grip == 3 || Grip == 6;
  const bool top = Grip == 1 || Grip == 2 || Grip == 7, bottom = Grip == 3 || Grip == 4 || Grip == 8;
  if (left) x1 = x == x2 ? x2 - 1 : x;
  if (right) x2 = x == x1 ? x1 + 1 : x;
  if (top) y1 = y == y2 ? y2 - 1 : y;
  if (bottom) y2 = y == y1 ? y1 + 1 : y;
  if (FSelectionRatio == -2) {
    if (FSelSizeX > 0) {
      if (left && x2 - x1 < FSelSizeX) x1 = x2 - FSelSizeX;
      if (right && x2 - x1 < FSelSizeX) x2 = x1 + FSelSizeX;
    }
    if (FSelSizeY > 0) {
      if (top && y2 - y1 < FSelSizeY) y1 = y2 - FSelSizeY;
      if (bottom && y2 - y1 < FSelSizeY) y2 = y1 + FSelSizeY;
    }
  }
  if (x1 > x2) {
    static constexpr int32_t flip[9] = {0, 2, 1, 4, 3, 6, 5, 7, 8};
    Grip = flip[std::clamp(Grip, 0, 8)];
    std::swap(x1, x2);
  }
  if (y1 > y2) {
    static constexpr int32_t flip[9] = {0, 4, 3, 2, 1, 5, 6, 8, 7};
    Grip = flip[std::clamp(Grip, 0, 8)];
    std::swap(y1, y2);
  }
  if (KeepRatio) {
    const double k = 1 / p;
    if (y2 >= ch) x2 = Nearest((k * x1 + ch - y1 - 1) / k);
    else if (y1 < 0) x1 = Nearest((k * x2 - y2) / k);
    else if (x2 >= cw) y2 = Nearest(k * (cw - x1 - 1) + y1);
    else if (x1 < 0) y1 = Nearest(y2 - k * x2);
  }
  x1 = std::clamp(x1, 0, cw), x2 = std::clamp(x2, 0, cw);
  y1 = std::clamp(y1, 0, ch), y2 = std::clamp(y2, 0, ch);
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (s->Kind == 1 || s->IsRectangle()) {
    s->Clear();
    s->AddPoint(x1, y1);
    s->AddPoint(x2, y1);
    s->AddPoint(x2, y2);
    s->AddPoint(x1, y2);
    s->Kind = 1;
    ShowSelection(true);
  } else if (s->Kind == 2) {
    s->Clear();
    AddEllipse(x1 + (x2 - x1) / 2, y1 + (y2 - y1) / 2, x2 - x1, y2 - y1, 0);
    ShowSelection(true);
  } else {
    // Every point mapped from the old bounds onto the new rectangle.
    const double ow = std::max(s->X2 - s->X1, 1), oh = std::max(s->Y2 - s->Y1, 1);
    for (int32_t i = 0; i < s->PointCount; ++i) {
      TPoint& pt = s->Points[static_cast<size_t>(i)];
      if (IsPolygonSeparator(pt)) continue;
      pt.X = x1 + Nearest((pt.X - s->X1) * (x2 - x1) / ow);
      pt.Y = y1 + Nearest((pt.Y - s->Y1) * (y2 - y1) / oh);
    }
    s->X1 = x1, s->Y1 = y1, s->X2 = x2, s->Y2 = y2;
    s->Visible = true;
  }
  if (FPaintLockCount == 0) Invalidate();
  return Grip;
}

// ---------------------------------------------------------------------------------------------
// Hit tests

bool TPixoranView::BoxGripsWanted() {
  if (FSelPolygons->Kind == 2) return FSelectionOptions.Contains(pxsoCircleSizeable);
  return FSelectionOptions.Contains(pxsoPolygonSizeable) && !FMouseInteractGeneral.Contains(miSelectMagicWand) &&
         !FMouseInteractGeneral.Contains(miSelectChromaKey);
}

int32_t TPixoranView::HitSelectionGrip(int32_t X, int32_t Y) {
  TPXVectorizedSelection* s = FSelPolygons.get();
  const bool rect = s->IsRectangle();
  if (!s->Visible || !s->Sizeable || !(rect || BoxGripsWanted()) || DrawingRect || DrawingEllipse || PolygonOpen)
    return 0;
  if (rect)
    for (int32_t i = 0; i < 4; ++i) {
      const TPoint p = s->Points[static_cast<size_t>(i)];
      const int32_t cx = BitmapToClientX(p.X, true), cy = BitmapToClientY(p.Y, true);
      if (std::abs(X - cx) <= FSelGripSize && std::abs(Y - cy) <= FSelGripSize) return i + 1;
    }
  const double l = BitmapToClientX(s->X1, true), t = BitmapToClientY(s->Y1, true);
  const double r = BitmapToClientX(s->X2, true), b = BitmapToClientY(s->Y2, true);
  if (SegmentDistance(X, Y, l, t, l, b) < 3.0) return 5;
  if (SegmentDistance(X, Y, r, t, r, b) < 3.0) return 6;
  if (SegmentDistance(X, Y, l, t, r, t) < 3.0) return 7;
  if (SegmentDistance(X, Y, l, b, r, b) < 3.0) return 8;
  return 0;
}

int32_t TPixoranView::SelGripAt(int32_t X, int32_t Y, TShiftState Shift) {
  return Held(Shift, ssShift, ForcedModifiers) ? 0 : HitSelectionGrip(X, Y);
}

int32_t TPixoranView::HitSelectionInside(int32_t X, int32_t Y, TShiftState Shift) {
  if (Held(Shift, ssShift, ForcedModifiers) || Held(Shift, ssCtrl, ForcedModifiers) || FSelMask->IsEmpty() ||
      DrawingRect || DrawingEllipse || PolygonOpen)
    return -1;
  const int32_t bx = ClientToBitmapX(X, true), by = ClientToBitmapY(Y, true);
  return FSelMask->GetPixel(bx, by) != 0 && FSelectionOptions.Contains(pxsoMoveable) ? 0 : -1;
}

// ---------------------------------------------------------------------------------------------
// Events

void TPixoranView::DoSelectionChanging() {
  if (FOnSelectionChanging) FOnSelectionChanging(this);
}

void TPixoranView::DoSelectionChange() {
  if (FOnSelectionChange) FOnSelectionChange(this);
}

void TPixoranView::DoBeforeSelectionChange() {
  if (FOnBeforeSelectionChange) FOnBeforeSelectionChange(this);
}
