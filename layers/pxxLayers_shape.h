// The shape layer: one of the named outlines (layers/pxxCanvasUtils.h) drawn inside the layer's
// box with its border, fill, second fill colour, gradient and fill opacity, turned by its
// rotation.
#pragma once

#include <memory>
#include <string>

#include "layers/pxxCanvasUtils.h"
#include "layers/pxxLayers.h"

class TPXShapeLayer : public TPXLayer {
 public:
  explicit TPXShapeLayer(IPXLayerOwner* Owner);
  ~TPXShapeLayer() override;

  TPXShape Shape() const { return FShape; }
  // Values 100..255 name no shape and are refused (nothing changes).
  void SetShape(TPXShape Value);
  int32_t ShapeModifier() const { return FShapeModifier; }
  void SetShapeModifier(int32_t Value);

  void SetDefaults() override;
  void RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                     bool WithAlpha, bool FitAspect, uint8_t Mode, int32_t Reserved) override;
  // Renders at twice the size and halves it when antialiased and the owner does not ask for
  // fast output.
  void CopyToBitmap(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                    bool FitAspect) override;
  double GetPreferredAspectRatio() const override;
  bool SupportsFeature(uint8_t Feature) const override;

 protected:
  void WriteRecordTail(TStream* Stream) override;
  void ReadRecordTail(TStream* Stream, int32_t Version, int64_t RecordEnd) override;
  void KindPropertiesToStrings(TStrings* Lines) override;
  bool SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) override;
  void AssignContent(TPXLayer* Source) override;
  void SwapContent(TPXLayer* Other) override;

 private:
  TPXShape FShape = pxshEllipse;
  int32_t FShapeModifier = 0;
};
