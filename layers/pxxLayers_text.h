// TPXTextLayer: a text in a box whose border and fill are one of the named shapes. The text is
// plain, in one font, or rich (RTF) laid out and painted by a hidden rich edit. Rotate turns the
// text inside the box (rich text by quarter turns), BorderRotate the border shape. As a ruler
// the text shows the box's measured area; with AutoSize the box follows the size the text needs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "layers/pxxLayers.h"
#include "layers/pxxLayers_richedit.h"
#include "core/hypxutils_text.h"

class TFont;
class TStrings;

class TPXTextLayer : public TPXLayer {
 public:
  explicit TPXTextLayer(IPXLayerOwner* Owner);
  ~TPXTextLayer() override;

  void SetDefaults() override;
  void RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                     bool WithAlpha, bool FitAspect, uint8_t Mode, int32_t Reserved) override;
  // Renders as an output copy; Dest's pixel format and TextOrigin stay as they were.
  void CopyToBitmap(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                    bool FitAspect) override;
  void WriteRecordTail(TStream* Stream) override;
  void ReadRecordTail(TStream* Stream, int32_t Version, int64_t RecordEnd) override;
  void KindPropertiesToStrings(TStrings* Lines) override;
  bool SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) override;
  // Between text layers every kind property, the font included.
  void AssignContent(TPXLayer* Source) override;
  void SwapContent(TPXLayer* Other) override;
  bool SupportsFeature(uint8_t Feature) const override;
  // With AspectRatioLocked the border shape's preferred ratio, else 0.
  double GetPreferredAspectRatio() const override;
  // The box never turns: its content corners follow the border shape's rotation.
  double ContentAngle() const override { return FBorderRotate; }
  // With AspectRatioLocked the stored ratio is corrected for BorderRotate.
  void UpdatePreferredAspectRatio() override;

  // Runs the size layout: the box takes the size the text needs (at least 10 x 10), keeping its
  // top-left corner; GrowOnly never makes it smaller.
  void SizeToFit(bool GrowOnly);
  // Creates the hidden rich edit when there is none.
  void EnsureRichEdit();
  IPXLayerRichEdit* RichEdit() const { return FRichEdit.get(); }

  // Setters notify as the layer's other setters do; WordWrap and ReadOnly keep the render cache.
  // The font of plain text; changing it notifies (and refits with AutoSize).
  TFont* Font() const { return FFont.get(); }
  TFont* LayerFont() const override { return FFont.get(); }
  // 3: TextAlignment, 4: TextLayout.
  void ApplyTextPlacement(uint8_t Action, int32_t Value) override;
  const std::string& Text() const { return FText; }
  // The layer becomes plain: RichText is emptied.
  void SetText(const std::string& Value);
  const std::string& RichText() const { return FRichText; }
  // Text becomes the rich edit's plain text; EnableFormatting is left alone.
  void SetRichText(const std::string& Value);
  bool EnableFormatting() const { return FEnableFormatting != 0; }
  void SetEnableFormatting(bool Value) { FEnableFormatting = Value; }
  bool AutoSize() const { return FAutoSize != 0; }
  void SetAutoSize(bool Value);
  uint8_t BorderShape() const { return FBorderShape; }
  // Shapes outside 0..99 are refused (nothing changes).
  void SetBorderShape(uint8_t Value);
  uint8_t TextAlignment() const { return FTextAlignment; }
  void SetTextAlignment(uint8_t Value);
  uint8_t TextLayout() const { return FTextLayout; }
  void SetTextLayout(uint8_t Value);
  bool ReadOnly() const { return FReadOnly != 0; }
  void SetReadOnly(bool Value);
  uint8_t TextOverflow() const { return FTextOverflow; }
  void SetTextOverflow(uint8_t Value);
  bool WordWrap() const { return FWordWrap != 0; }
  void SetWordWrap(bool Value);
  double HorzMargin() const { return FHorzMargin; }
  void SetHorzMargin(double Value) { FHorzMargin = Value; }
  double VertMargin() const { return FVertMargin; }
  void SetVertMargin(double Value) { FVertMargin = Value; }
  double BorderRotate() const { return FBorderRotate; }
  void SetBorderRotate(double Value);
  bool IsRuler() const { return FIsRuler != 0; }
  // Switching on also switches formatting off.
  void SetIsRuler(bool Value);
  TPXUnits RulerUnits() const { return FRulerUnits; }
  void SetRulerUnits(TPXUnits Value);

  // Results of the last render: the box area in RulerUnits (plain renders), the top-left of the
  // text in layer pixels and the font height on the target (0 after a size layout).
  double MeasuredArea() const { return FMeasuredArea; }
  const TPoint& TextOrigin() const { return FTextOrigin; }
  int32_t TextFontHeight() const { return FTextFontHeight; }

 protected:
  void KindRotated() override;

 private:
  void FontChanged(TObject* Sender);
  // The box's locked aspect ratio for the border, 0 when none.
  double BorderAspect() const;
  void RenderPlainText(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                       bool FitAspect, uint8_t Mode, int32_t Reserved);
  void RenderRichText(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                      bool FitAspect, uint8_t Mode, int32_t Reserved);
  // Mode 2's box: grows only with GrowOnly, else at least 10 x 10; the top-left corner stays.
  void ApplyNeededSize(int32_t NeededWidth, int32_t NeededHeight, bool GrowOnly);
  // Modes 0 and 1: the alpha step after drawing.
  static void FinishAlpha(TPXBitmap* Dest, bool WithAlpha);

  std::unique_ptr<TFont> FFont;
  std::string FText;
  std::string FRichText;
  uint8_t FEnableFormatting = 0;
  std::unique_ptr<IPXLayerRichEdit> FRichEdit;
  uint8_t FAutoSize = 0;
  uint8_t FBorderShape = 4;
  uint8_t FTextAlignment = 0;
  uint8_t FTextLayout = 0;
  uint8_t FReadOnly = 0;
  uint8_t FTextOverflow = 0;
  uint8_t FWordWrap = 1;
  double FHorzMargin = 0;
  double FVertMargin = 0;
  double FBorderRotate = 0;
  uint8_t FIsRuler = 0;
  TPXUnits FRulerUnits{};
  double FMeasuredArea = 0;
  TPoint FTextOrigin{0, 0};
  int32_t FTextFontHeight = 0;
};
