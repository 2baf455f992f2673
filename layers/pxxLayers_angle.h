// The angle layer TPXAngleLayer (a protractor: two arms from a vertex, an arc and the measured
// angle as text), its painter PaintAngleLayer and the label routine FormatLayerLabel.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "layers/pxxLayers.h"

class TFont;
class TPXCanvas;

// The text of a measurement label: the first "%s" of Format becomes Number, "%%" becomes "%",
// everything else (other "%" sequences included) stays as written. A label is user text, so it
// is never run as a format string.
std::string FormatLayerLabel(const std::string& Format, const std::string& Number);

// An X at or below this marks an undefined angle point.
inline constexpr int32_t PXAngleUndefinedPoint = -1000000;

// Draws (Mode 0, 1) or lays out (Mode 2, 3) an angle: the arms P0-P1-P2 (target pixels; only
// leading defined points count), the arc at the vertex P1 and the angle text. LabelPos receives
// the vertex in Mode 3; DrawnPoints the points in layer pixels (unless an output copy at another
// horizontal scale); OutRect the bounds of everything drawn, widened by the pen.
void PaintAngleLayer(TPXCanvas* Canvas, const std::array<TPoint, 3>& Points, double ScaleX, double ScaleY,
                     TColor LineColor, int32_t LineWidth, uint8_t AngleMode, const std::string& LabelText,
                     int32_t FloatDigits, TFont* Font, bool AntiAliasNow, bool AntiAlias, TPoint& LabelPos,
                     TPXPointList& DrawnPoints, uint8_t Mode, TRect& OutRect);

// The measuring box of an angle layer in picture coordinates.
struct TPXAngleBox {
  double X = 0;
  double Y = 0;
  double Width = 100;
  double Height = 100;
};

// Room around the measuring box for the pen, the arc and the text.
struct TPXAngleMargins {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
};

class TPXAngleLayer : public TPXLayer {
 public:
  explicit TPXAngleLayer(IPXLayerOwner* Owner);
  ~TPXAngleLayer() override;

  void SetDefaults() override;
  void RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                     bool WithAlpha, bool FitAspect, uint8_t Mode, int32_t Reserved) override;
  void CopyToBitmap(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                    bool FitAspect) override;
  void UpdateGeometry() override;
  // The layer box is the measuring box plus the margins.
  double GetPosXD() const override { return FInnerBox.X - FMargins.Left; }
  double GetPosYD() const override { return FInnerBox.Y - FMargins.Top; }
  double GetWidthD() const override { return FInnerBox.Width + FMargins.Left + FMargins.Right; }
  double GetHeightD() const override { return FInnerBox.Height + FMargins.Top + FMargins.Bottom; }

  TFont* Font() const { return FFont.get(); }
  TFont* LayerFont() const override { return FFont.get(); }
  const std::string& LabelText() const { return FLabelText; }
  void SetLabelText(const std::string& Value);
  TColor LineColor() const { return FBorderColor; }
  void SetLineColor(TColor Value);
  int32_t LineWidth() const { return FBorderWidth; }
  void SetLineWidth(int32_t Value);
  int32_t FloatDigits() const { return FFloatDigits; }
  void SetFloatDigits(int32_t Value);
  uint8_t AngleMode() const { return FAngleMode; }
  void SetAngleMode(uint8_t Value);
  const TPXAngleBox& InnerBox() const { return FInnerBox; }
  // Moves or sizes the measuring box directly (the property vocabulary's position and size).
  void SetInnerBox(const TPXAngleBox& Value);
  const TPXAngleMargins& Margins() const { return FMargins; }
  const TPoint& LabelPos() const { return FLabelPos; }
  bool NeedsLayout() const { return FNeedsLayout != 0; }
  double AppliedRotate() const { return FAppliedRotate; }
  double ArmLength1() const { return FArmLength1; }
  double ArmLength2() const { return FArmLength2; }

  // Points: first arm end, vertex, second arm end, stored in 0..1000 of the measuring box.
  int32_t GetPointCount() const;
  void ClearPoints();
  // Exactly three points, else EPXException "Invalid Points array size".
  void SetPoints(const TPoint* Points, int32_t Count, TPXPointBase Base);
  // Index 0..2, else EPXException "Invalid Points array index".
  void SetPoint(int32_t Index, int32_t X, int32_t Y, TPXPointBase Base, bool Snap);
  // Index 0..2, else EPXException "Invalid object index".
  TDPoint GetPointD(int32_t Index, TPXPointBase Base) const;
  void GetPoints(std::array<TPoint, 3>& Points, TPXPointBase Base) const;
  TPoint GetLayerPoint(int32_t Index) const { return FPoints[static_cast<size_t>(Index)]; }

  // Directions (degrees, counter-clockwise, 0 <= a < 360) of the arms and the shown angle.
  double GetStartAngle() const;
  double GetEndAngle() const;
  double GetAngle() const;
  void SetStartAngle(double Angle);
  void SetEndAngle(double Angle);
  void SetAngle(double Value);
  // The first and third points exchange places: the other side is measured.
  void InvertAngle();

 protected:
  void KindPositionMovedX(double Delta) override;
  void KindPositionMovedY(double Delta) override;
  void KindWidthChanged() override;
  void KindHeightChanged() override;
  void KindRotated() override;
  void WriteRecordTail(TStream* Stream) override;
  // A record older than version 8005 raises EPXException "Unexpected version" (the common part
  // stays loaded).
  void ReadRecordTail(TStream* Stream, int32_t Version, int64_t RecordEnd) override;
  void KindPropertiesToStrings(TStrings* Lines) override;
  bool SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) override;
  void AssignContent(TPXLayer* Source) override;
  void SwapContent(TPXLayer* Other) override;

 private:
  void FontChanged(TObject* Sender);
  // Maps the points' bounds onto 0..1000 and the measuring box onto them.
  void NormalizePoints();
  void DrawAngle(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                 bool WithAlpha, uint8_t Mode);
  // The layer box fields follow the measuring box and the margins.
  void SyncBox();
  void SetPointsKeepingArms(const std::array<TPoint, 3>& Bitmap);
  void ResetDefaultPoints();

  std::unique_ptr<TFont> FFont;
  std::string FLabelText;
  std::array<TPoint, 3> FPoints{};
  int32_t FFloatDigits = 1;
  uint8_t FAngleMode = 0;
  double FArmLength1 = 0;
  double FArmLength2 = 0;
  TPoint FLabelPos{0, 0};
  TPXAngleBox FInnerBox;
  TPXAngleMargins FMargins;
  uint8_t FNeedsLayout = 1;
  double FAppliedRotate = 0;
};
