// The selection model of the image view: the polygon list TPXVectorizedSelection (what the user
// draws and the animated outline follows) and the chroma-key options.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Types.h"

class TPXMask;

// Stands between sub-polygons in a point list; never the first entry.
inline constexpr TPoint PolygonSeparator{1048575, 1048575};

inline bool IsPolygonSeparator(const TPoint& P) { return P.X == PolygonSeparator.X && P.Y == PolygonSeparator.Y; }

class TPXVectorizedSelection : public TObject {
 public:
  // Canvas: where the outline is drawn (the view's); PixelBitmap: a 1 x 1 24-bit bitmap whose
  // pixel PixelData addresses; nil PixelData draws nothing.
  TPXVectorizedSelection(TCanvas* Canvas, TBitmap* PixelBitmap, void* PixelData);
  ~TPXVectorizedSelection() override = default;

  // An empty list (Kind 0); the values and bounds stay.
  void Clear();
  void EnsureCapacity(int32_t N);
  // Starts a sub-polygon whose area gets Value (0 removes it): one value entry per sub-polygon,
  // a separator before it unless the list is empty or already ends in one.
  void BeginSubPolygon(int32_t Value);
  void AddPoint(int32_t X, int32_t Y);
  // Drops the last point and any separators it leaves at the end.
  void DropLastPoint();
  // Cuts the list at the last separator (included); without one the list is cleared.
  void RemoveLastSubPolygon();
  int32_t SubPolygonCount() const;
  bool IsEmpty() const { return PointCount == 0; }
  // Exactly four points whose four edges alternate between vertical and horizontal.
  bool IsRectangle() const;
  // Moves points and bounds by (DX, DY) clamped to 0..Width x 0..Height. Without Cut the shift
  // is limited so that the box stays inside; with Cut only so that it does not leave wholly.
  void Translate(int32_t DX, int32_t DY, int32_t Width, int32_t Height, bool Cut);
  // Every sub-polygon with its value into Mask, over what it holds.
  void RenderToMask(TPXMask* Mask);
  // The polygon block of the selection stream.
  void SaveToStream(TStream* Stream) const;

  const TPoint* PointData() const { return Points.data(); }

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
  bool Visible = true;
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
