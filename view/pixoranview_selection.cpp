// The selection polygon list: sub-polygons split by PolygonSeparator, each with its mask value.
#include "view/pixoranview_selection.h"

#include <algorithm>

#include "core/pxxBitmaps_mask.h"

TPXVectorizedSelection::TPXVectorizedSelection(TCanvas* Canvas, TBitmap* PixelBitmap, void* PixelData)
    : OutlineCanvas(Canvas), PixelData(PixelData), PixelBitmap(PixelBitmap) {}

void TPXVectorizedSelection::Clear() {
  Points.clear();
  Points.shrink_to_fit();
  Capacity = 0;
  PointCount = 0;
  Kind = 0;
}

void TPXVectorizedSelection::EnsureCapacity(int32_t N) {
  if (Capacity >= N) return;
  const int32_t c = std::max<int32_t>(Capacity > (1 << 29) ? N : 2 * Capacity, N);
  Points.resize(static_cast<size_t>(c));
  Capacity = c;
}

int32_t TPXVectorizedSelection::SubPolygonCount() const {
  int32_t n = 0;
  for (int32_t i = 0; i < PointCount; ++i)
    if (IsPolygonSeparator(Points[static_cast<size_t>(i)]) || i == PointCount - 1) ++n;
  return n;
}

void TPXVectorizedSelection::BeginSubPolygon(int32_t Value) {
  const int32_t n = SubPolygonCount();
  SubPolygonValues.resize(static_cast<size_t>(n) + 1);
  SubPolygonValues[static_cast<size_t>(n)] = Value;
  if (PointCount > 0 && !IsPolygonSeparator(Points[static_cast<size_t>(PointCount) - 1])) {
    EnsureCapacity(PointCount + 1);
    Points[static_cast<size_t>(PointCount++)] = PolygonSeparator;
  }
  Kind = 0;
}

void TPXVectorizedSelection::AddPoint(int32_t X, int32_t Y) {
  EnsureCapacity(PointCount + 1);
  Points[static_cast<size_t>(PointCount++)] = TPoint{X, Y};
  if (PointCount == 2) {
    const TPoint a = Points[0];
    X1 = std::min(a.X, X);
    Y1 = std::min(a.Y, Y);
    X2 = std::max(a.X, X);
    Y2 = std::max(a.Y, Y);
  } else if (PointCount > 2) {
    X1 = std::min(X1, X);
    Y1 = std::min(Y1, Y);
    X2 = std::max(X2, X);
    Y2 = std::max(Y2, Y);
  }
  Kind = 0;
}

void TPXVectorizedSelection::DropLastPoint() {
  if (PointCount > 0) --PointCount;
  while (PointCount > 0 && IsPolygonSeparator(Points[static_cast<size_t>(PointCount) - 1])) --PointCount;
  Kind = 0;
}

void TPXVectorizedSelection::RemoveLastSubPolygon() {
  for (int32_t i = PointCount - 1; i >= 0; --i)
    if (IsPolygonSeparator(Points[static_cast<size_t>(i)])) {
      PointCount = i;
      Kind = 0;
      return;
    }
  Clear();
}

bool TPXVectorizedSelection::IsRectangle() const {
  if (PointCount != 4) return false;
  int32_t previous = -1;  // 0 vertical, 1 horizontal
  for (int32_t i = 0; i < 4; ++i) {
    const TPoint a = Points[static_cast<size_t>(i)], b = Points[static_cast<size_t>((i + 1) % 4)];
    int32_t dir;
    if (a.X == b.X && a.Y != b.Y) dir = 0;
    else if (a.Y == b.Y && a.X != b.X) dir = 1;
    else return false;
    if (dir == previous) return false;
    previous = dir;
  }
  return true;
}

void TPXVectorizedSelection::Translate(int32_t DX, int32_t DY, int32_t Width, int32_t Height, bool Cut) {
  if (DX == 0 && DY == 0) return;
  const auto limit = [&] {
    if (X1 + DX < 0) DX = -X1;
    if (X2 + DX >= Width) DX = Width - X2;
    if (Y1 + DY < 0) DY = -Y1;
    if (Y2 + DY >= Height) DY = Height - Y2;
  };
  const auto wholly_outside = [&] { return X1 + DX >= Width || Y1 + DY >= Height || X2 + DX <= 0 || Y2 + DY <= 0; };
  if (!Cut) {
    limit();
    if (wholly_outside()) return;
  } else {
    if (X1 + DX >= Width) DX = Width - X2;
    if (Y1 + DY >= Height) DY = Height - Y2;
    if (X2 + DX <= 0) DX = -X1;
    if (Y2 + DY <= 0) DY = -Y1;
  }
  const auto cx = [&](int32_t v) { return std::clamp(v + DX, 0, std::max(Width, 0)); };
  const auto cy = [&](int32_t v) { return std::clamp(v + DY, 0, std::max(Height, 0)); };
  X1 = cx(X1);
  X2 = cx(X2);
  Y1 = cy(Y1);
  Y2 = cy(Y2);
  for (int32_t i = 0; i < PointCount; ++i) {
    TPoint& p = Points[static_cast<size_t>(i)];
    if (IsPolygonSeparator(p)) continue;
    p.X = cx(p.X);
    p.Y = cy(p.Y);
  }
}

void TPXVectorizedSelection::RenderToMask(TPXMask* Mask) {
  if (!Mask) return;
  Mask->FillPolygons(1, SubPolygonValues, PointCount, Points.data());
  Mask->UpdateFull();
}

void TPXVectorizedSelection::SaveToStream(TStream* Stream) const {
  Stream->WriteBuffer(&PointCount, 4);
  if (PointCount > 0) Stream->WriteBuffer(Points.data(), int64_t{PointCount} * 8);
  const int32_t b[4] = {X1, Y1, X2, Y2};
  Stream->WriteBuffer(b, 16);
  const auto m = static_cast<int32_t>(SubPolygonValues.size());
  Stream->WriteBuffer(&m, 4);
  if (m > 0) Stream->WriteBuffer(SubPolygonValues.data(), int64_t{m} * 4);
}
