// The polyline layer TPXPolylineLayer: an open or closed line through points kept in picture
// coordinates; its box follows the points (AutoSize) or the points follow the box.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "layers/pxxLayers.h"

class TPXPolylineLayer : public TPXLayer {
 public:
  explicit TPXPolylineLayer(IPXLayerOwner* Owner);
  ~TPXPolylineLayer() override;
  // A polyline with Source's properties; lines, shapes and text borders become points.
  static std::unique_ptr<TPXPolylineLayer> CreateFromLayer(IPXLayerOwner* Owner, TPXLayer* Source);

  void SetDefaults() override;
  void RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                     bool WithAlpha, bool FitAspect, uint8_t Mode, int32_t Reserved) override;
  void CopyToBitmap(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                    bool FitAspect) override;
  // Box and points are brought together first, so a record's box always holds its points.
  void SaveToStream(TStream* Stream, bool ExcludeImage, int32_t Format) override;
  // Brings box and points together after either changed (see AutoSize).
  void UpdateGeometry() override;

  TColor LineColor() const { return FBorderColor; }
  void SetLineColor(TColor Value);
  int32_t LineWidth() const { return FBorderWidth; }
  void SetLineWidth(int32_t Value);
  bool PolylineClosed() const { return FPolylineClosed != 0; }
  void SetPolylineClosed(bool Value);
  bool AutoSize() const { return FAutoSize != 0; }
  void SetAutoSize(bool Value);
  bool PointsChanged() const { return FPointsChanged != 0; }
  bool BoxChanged() const { return FBoxChanged != 0; }
  // The points in picture coordinates.
  const TPXPointList& Points() const { return FPoints; }

  int32_t GetPointCount() const { return FPoints.Count; }
  // The point in Base units; (-1, -1) for an index outside the list.
  TDPoint GetPointD(int32_t Index, TPXPointBase Base) const;
  TPoint GetPointIn(int32_t Index, TPXPointBase Base) const;
  // After a geometry update, the point in 0..1000 of the box, rounded.
  TPoint GetPoint(int32_t Index);
  void GetPoints(std::vector<TDPoint>& Points, TPXPointBase Base) const;
  // The first Count points converted from Base replace the list.
  void SetPointsD(const TDPoint* Points, TPXPointBase Base, int32_t Count);
  // The same for integer points; a point equal to the one kept before it is dropped.
  void SetPoints(const TPoint* Points, int32_t Count, TPXPointBase Base);
  void SetPoint(int32_t Index, int32_t X, int32_t Y, TPXPointBase Base, bool Snap);
  // Appends a point unless it equals the last one; the first point in client or picture units
  // places the layer.
  void AddPoint(int32_t X, int32_t Y, TPXPointBase Base, bool Snap);
  void AddPointPt(const TPoint& P, TPXPointBase Base, bool Snap) { AddPoint(P.X, P.Y, Base, Snap); }
  void InsertPoint(int32_t Index, int32_t X, int32_t Y, TPXPointBase Base);
  void DeletePoint(int32_t Index);
  void DeletePoints(int32_t First, int32_t Last);
  void ClearPoints();
  // An arc on the circle filling the box, from StartAngle over Sweep degrees.
  void AddArc(int32_t PointCount, double Sweep, double StartAngle);
  void AddArcPoints(int32_t BoxWidth, int32_t BoxHeight, int32_t Steps, double Sweep, double StartAngle);
  // Bends the segment from point Index to the next (the closing one for the last index).
  void CurveSegment(int32_t Index, int32_t Steps, double Bulge);
  // Turns the points by Rotate (computed in picture coordinates, whatever the zoom) and sets
  // Rotate to 0.
  void ApplyRotation();
  // The named shape's outline (modifier 0, no turn) fitted into the box becomes the points.
  void SetPointsFromShape(uint8_t Shape, bool Closed);
  // With Scale, the points are mapped onto the box less half the border; otherwise moved by
  // (-DX, -DY).
  void FitPointsToBox(bool Scale, int32_t DX, int32_t DY);

 protected:
  void KindPositionMovedX(double Delta) override;
  void KindPositionMovedY(double Delta) override;
  void KindWidthChanged() override;
  void KindHeightChanged() override;
  void WriteRecordTail(TStream* Stream) override;
  void ReadRecordTail(TStream* Stream, int32_t Version, int64_t RecordEnd) override;
  void KindPropertiesToStrings(TStrings* Lines) override;
  bool SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) override;
  // Polylines and lines give their points, shapes their outline; other kinds nothing.
  void AssignContent(TPXLayer* Source) override;
  void SwapContent(TPXLayer* Other) override;

 private:
  void ReplacePoints(const std::vector<TDPoint>& Points);
  TDPoint ToBitmap(double X, double Y, TPXPointBase Base) const;

  TPXPointList FPoints;
  uint8_t FPolylineClosed = 0;
  uint8_t FAutoSize = 1;
  uint8_t FPointsChanged = 0;
  uint8_t FBoxChanged = 0;
};
