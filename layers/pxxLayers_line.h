// The line layer TPXLineLayer (a straight line through its box at the layer's rotation, with
// end figures and a label, optionally a ruler) and PaintLineLayer, which lays it out and paints it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/hypxutils_text.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_draw.h"

class TFont;
class TPXCanvas;

// Lays out (Mode 2: the needed box size into OutSize; Mode 3: geometry only) or paints (Mode 0
// view, 1 output copy) a line layer on Canvas. Geometry is computed in layer units (target
// pixels divided by the scales); StartPoint, EndPoint, LabelRect, LabelOrigin, the end-shape
// records and DrawnPoints receive it. LabelShapePoints caches the label border's outline.
// Angle in degrees, counter-clockwise: the start point lies in that direction from the centre.
void PaintLineLayer(TPXCanvas* Canvas, int32_t Left, int32_t Top, int32_t DestWidth, int32_t DestHeight,
                    double ScaleX, double ScaleY, int32_t Angle, TColor LineColor, int32_t LineWidth,
                    uint8_t StartShape, uint8_t EndShape, int32_t ShapeSize, TColor LineFillColor,
                    uint8_t LabelPosition, const std::string& LabelText, uint8_t LabelAlignment, TFont* Font,
                    uint8_t TextOverflow, uint8_t BorderShape, TColor LabelBorderColor, int32_t LabelBorderWidth,
                    double LabelBorderOpacity, TColor LabelFillColor, TColor LabelFillColor2,
                    uint8_t LabelFillGradient, double LabelFillOpacity, double HorzMargin, double VertMargin,
                    bool AntiAliasNow, bool AntiAlias, bool IsRuler, TPXUnits RulerUnits, double MeasureDpiX,
                    double MeasureDpiY, TDPoint& StartPoint, TDPoint& EndPoint, TRect& LabelRect,
                    TPoint& LabelOrigin, TPXLineEndShapeRecord& StartShapeRecord,
                    TPXLineEndShapeRecord& EndShapeRecord, TPXPointList& DrawnPoints,
                    TPXPointList& LabelShapePoints, uint8_t Mode, double RequestedLength, TPoint& OutSize);

class TPXLineLayer : public TPXLayer {
 public:
  explicit TPXLineLayer(IPXLayerOwner* Owner);
  ~TPXLineLayer() override;

  void SetDefaults() override;
  void RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                     bool WithAlpha, bool FitAspect, uint8_t Mode, int32_t Reserved) override;
  // An output copy at any size leaves the layer's geometry fields as they were.
  void CopyToBitmap(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                    bool FitAspect) override;

  // The generic border and fill of a line are its line's colour, width and figure fill.
  TColor BorderColor() const override { return FLineColor; }
  int32_t BorderWidth() const override { return FLineWidth; }
  TColor FillColor() const override { return FLineFillColor; }

  TFont* Font() const { return FFont.get(); }
  TFont* LayerFont() const override { return FFont.get(); }
  // Font command 3 sets the label's alignment; 4 does nothing on a line.
  void ApplyTextPlacement(uint8_t Action, int32_t Value) override {
    if (Action == 3) SetLabelAlignment(static_cast<uint8_t>(Value));
  }
  const std::string& LabelText() const { return FLabelText; }
  void SetLabelText(const std::string& Value);
  uint8_t LineStartShape() const { return FLineStartShape; }
  void SetLineStartShape(uint8_t Value);
  uint8_t LineEndShape() const { return FLineEndShape; }
  void SetLineEndShape(uint8_t Value);
  int32_t LineShapeSize() const { return FLineShapeSize; }
  void SetLineShapeSize(int32_t Value);
  uint8_t LabelPosition() const { return FLabelPosition; }
  void SetLabelPosition(uint8_t Value);
  bool AutoSize() const { return FAutoSize != 0; }
  void SetAutoSize(bool Value);
  uint8_t BorderShape() const { return FBorderShape; }
  // A shape outside the named ones (100 and above) is refused: nothing changes.
  void SetBorderShape(uint8_t Value);
  uint8_t LabelAlignment() const { return FLabelAlignment; }
  void SetLabelAlignment(uint8_t Value);
  bool ReadOnly() const { return FReadOnly != 0; }
  void SetReadOnly(bool Value);
  uint8_t TextOverflow() const { return FTextOverflow; }
  void SetTextOverflow(uint8_t Value);
  TColor LineColor() const { return FLineColor; }
  void SetLineColor(TColor Value);
  int32_t LineWidth() const { return FLineWidth; }
  void SetLineWidth(int32_t Value);
  TColor LineFillColor() const { return FLineFillColor; }
  void SetLineFillColor(TColor Value);
  double HorzMargin() const { return FHorzMargin; }
  void SetHorzMargin(double Value);
  double VertMargin() const { return FVertMargin; }
  void SetVertMargin(double Value);
  bool IsRuler() const { return FIsRuler != 0; }
  void SetIsRuler(bool Value);
  TPXUnits RulerUnits() const { return FRulerUnits; }
  void SetRulerUnits(TPXUnits Value);
  // The label box's own border and fill (the inherited fields).
  TColor GetLabelBorderColor() const { return FBorderColor; }
  int32_t GetLabelBorderWidth() const { return FBorderWidth; }
  TColor GetLabelFillColor() const { return FFillColor; }
  void SetLabelBorderWidth(int32_t Value);
  void SetLabelFillColor(TColor Value);

  double MeasuredLength() const { return FMeasuredLength; }
  double RequestedLength() const { return FRequestedLength; }
  int32_t GetLineLength() const;
  // The box keeps its top-left corner while it takes the length.
  void SetLineLength(int32_t Value);
  // Rotate and length from the two picture points (with Snap the direction snaps to the
  // owner's angle step); the box moves so that the anchored point lies where it was given.
  void SetEndPoints(bool Snap, bool AnchorStart, double StartX, double StartY, double EndX, double EndY);
  // The ends in picture pixels (a geometry pass first when the line was never laid out).
  TPoint GetStartPoint();
  TPoint GetEndPoint();
  // The box takes the size the line, its figures and its label need, keeping its centre.
  void SizeToFit();

  const TDPoint& StartPoint() const { return FStartPoint; }
  const TDPoint& EndPoint() const { return FEndPoint; }
  const TRect& LabelRect() const { return FLabelRect; }
  const TPoint& LabelOrigin() const { return FLabelOrigin; }
  const TPXLineEndShapeRecord& StartShapeRecord() const { return FStartShapeRecord; }
  const TPXLineEndShapeRecord& EndShapeRecord() const { return FEndShapeRecord; }
  int32_t LabelFontHeight() const { return FLabelFontHeight; }

 protected:
  void KindWidthChanged() override;
  void KindHeightChanged() override;
  void KindRotated() override;
  void KindBorderChanged() override;
  void WriteRecordTail(TStream* Stream) override;
  // Versions up to 7001 skip 16 bytes where the length came later; later fields by version.
  void ReadRecordTail(TStream* Stream, int32_t Version, int64_t RecordEnd) override;
  void KindPropertiesToStrings(TStrings* Lines) override;
  bool SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) override;
  void AssignContent(TPXLayer* Source) override;
  void SwapContent(TPXLayer* Other) override;

 private:
  void FontChanged(TObject* Sender);
  // Changed(True) and, with AutoSize, SizeToFit.
  void ChangedRelayout();
  void MeasureDpi(double& DpiX, double& DpiY) const;

  std::unique_ptr<TFont> FFont;
  std::string FLabelText;
  uint8_t FLineStartShape = 0;
  uint8_t FLineEndShape = 0;
  int32_t FLineShapeSize = 20;
  uint8_t FLabelPosition = 2;
  uint8_t FAutoSize = 1;
  uint8_t FBorderShape = 4;
  uint8_t FLabelAlignment = 2;
  uint8_t FReadOnly = 0;
  uint8_t FTextOverflow = 0;
  TColor FLineColor = clBlack;
  int32_t FLineWidth = 1;
  TColor FLineFillColor = 0xFFFFFF;
  double FHorzMargin = 0;
  double FVertMargin = 0;
  uint8_t FIsRuler = 0;
  TPXUnits FRulerUnits = pxuPixels;
  double FMeasuredLength = 0;
  double FLineLength = 0;
  double FRequestedLength = 0;
  TDPoint FStartPoint{0, 0};
  TDPoint FEndPoint{0, 0};
  TRect FLabelRect{0, 0, 0, 0};
  TPXLineEndShapeRecord FStartShapeRecord;
  TPXLineEndShapeRecord FEndShapeRecord;
  TPoint FLabelOrigin{0, 0};
  int32_t FLabelFontHeight = 0;
};
