#include "core/hypxdefs.h"

TDPoint DPoint(double X, double Y) { return TDPoint{X, Y}; }

TPoint DPointToPoint(const TDPoint& P) { return TPoint(Round32(P.X), Round32(P.Y)); }

void TPXVSoftShadow::Assign(const TPXVSoftShadow* Source) {
  if (!Source) return;
  Enabled = Source->Enabled;
  Radius = Source->Radius;
  OffsetX = Source->OffsetX;
  OffsetY = Source->OffsetY;
  Intensity = Source->Intensity;
  Color = Source->Color;
}
