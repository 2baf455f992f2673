// The selection model of the image view: the polygon list TPXVectorizedSelection (what the user
// draws and the animated outline follows) and the chroma-key options.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/rtl/Types.h"

// Stands between sub-polygons in a point list; never the first entry.
inline constexpr TPoint PolygonSeparator{1048575, 1048575};

class TPXVectorizedSelection : public TObject {
 public:
  // Canvas: where the outline is drawn (the view's); PixelBitmap: a 1 x 1 24-bit bitmap drawn
  // once for every outline pixel, with PixelData the address of its pixel (nil draws nothing).
  TPXVectorizedSelection(TCanvas* Canvas, TBitmap* PixelBitmap, void* PixelData);
  ~TPXVectorizedSelection() override = default;

  int32_t Capacity = 0;
  std::vector<TPoint> Points;  // Points.size() is the capacity
  int32_t PointCount = 0;
  std::vector<int32_t> SubPolygonValues;
  TColor OutlineColor1 = 0;
  TColor OutlineColor2 = 0xFFFFFF;
  bool Animated = true;
  int32_t AntsPhase = 0;
  int32_t DashCounter = 0;
  TCanvas* OutlineCanvas = nullptr;  // not owned
  int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;  // bounds of the points
  bool Visible = false;
  bool Sizeable = true;
  bool ShowCenter = false;
  void* PixelData = nullptr;
  TBitmap* PixelBitmap = nullptr;  // not owned
  int32_t Kind = 0;  // 0 free polygon, 1 rectangle, 2 ellipse
};

class TPXChromaKeyOptions : public TObject {
 public:
  bool SelectKey = false;
  TColor KeyColor = 0x1FFFFFFF;  // estimate from the picture
  double Tolerance = 0.21;
  int32_t MinSaturation = 30;
};
