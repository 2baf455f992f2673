// TEMPORARY stand-in for the reflection pipeline, kept only until the pipeline's own source
// lands (it replaces this file). The simplest working bodies: layer 0 holds the picture on a
// canvas widened for the reflection, layer R a flipped copy beside it; the fade, colour modes,
// wave and flattening are left out.
#include <algorithm>
#include <cmath>

#include "app/UnitQuillane_reflect.h"
#include "core/pxxBitmaps.h"
#include "view/pixoran.h"

int32_t TransparencyToAlpha(int32_t Transparency) {
  const double v = (100 - Transparency) * 255 / 100.0;
  return std::clamp(static_cast<int32_t>(std::nearbyint(v)), 0, 255);
}

void CopySourceToBaseLayer(TPixoran& V, TPixoran& S) {
  V.SetLayersCurrent(0);
  V.GetPXBitmap()->Assign(S.GetPXBitmap());
}

void ResizeCanvasForReflection(TPixoran& V, TPixoran& S, int32_t Position, int32_t Spacing) {
  const int32_t W = S.GetPXBitmap()->Width(), H = S.GetPXBitmap()->Height();
  V.SetLayersCurrent(0);
  if (Position == ReflectLeft || Position == ReflectRight)
    V.Proc()->ResizeCanvas(2 * W + Spacing, H, Position == ReflectLeft ? 2 : 0, 0, 0);
  else if (Position == ReflectTop || Position == ReflectBottom)
    V.Proc()->ResizeCanvas(W, 2 * H + Spacing, 0, Position == ReflectTop ? 2 : 0, 0);
}

void PlaceReflectionLayer(TPixoran& V, TPixoran& S, int32_t Position, int32_t R, int32_t Spacing) {
  if (R < 0) return;
  const int32_t W = S.GetPXBitmap()->Width(), H = S.GetPXBitmap()->Height();
  TPXLayer* layer = V.Layers(R);
  layer->SetPosX(Position == ReflectRight || Position == ReflectNone ? Spacing + W : 0);
  layer->SetPosY(Position == ReflectBottom || Position == ReflectNone ? Spacing + H : 0);
  layer->SetWidth(W);
  layer->SetHeight(H);
}

void CopyAndFlipReflection(TPixoran& V, TPixoran& S, int32_t Position, int32_t R) {
  if (R < 0) return;
  V.SetLayersCurrent(R);
  V.GetPXBitmap()->Assign(S.GetPXBitmap());
  V.Proc()->Flip(Position == ReflectLeft || Position == ReflectRight ? 0 : 1);
}

void ApplyColorMode(TPixoran&, int32_t, int32_t) {}
void ApplyWave(TPixoran&, int32_t, int32_t, bool, int32_t, int32_t) {}
void ApplyFade(TPixoran&, int32_t, int32_t, int32_t, int32_t, int32_t) {}
void FadeReflectionAlpha(TPixoran&, int32_t, int32_t, int32_t, int32_t) {}
void FlattenAlphaOnColor(TPXBitmap&, TColor) {}

void FlattenBaseLayers(TPixoran& V, TColor, int32_t, bool KeepAlpha) { V.SetEnableAlphaChannel(KeepAlpha); }
void FlattenReflectionLayer(TPixoran& V, TColor, int32_t R, bool KeepAlpha) {
  V.SetEnableAlphaChannel(KeepAlpha);
  if (R >= 0) V.SetLayersCurrent(R);
}

void BuildReflection(TPixoran& V, TPixoran& S, const TReflectionParams& P) {
  if (P.R < 0) return;
  CopySourceToBaseLayer(V, S);
  ResizeCanvasForReflection(V, S, P.Position, P.Spacing);
  PlaceReflectionLayer(V, S, P.Position, P.R, P.Spacing);
  RebuildReflectionLayer(V, S, P);
  FlattenBaseLayers(V, P.Background, P.R, P.KeepAlpha);
  V.Update();
}

void RebuildReflectionLayer(TPixoran& V, TPixoran& S, const TReflectionParams& P) {
  if (P.R < 0) return;
  CopyAndFlipReflection(V, S, P.Position, P.R);
  FlattenReflectionLayer(V, P.Background, P.R, P.KeepAlpha);
  V.Update();
}

void RebuildForSpacing(TPixoran& V, TPixoran& S, const TReflectionParams& P) {
  CopySourceToBaseLayer(V, S);
  ResizeCanvasForReflection(V, S, P.Position, P.Spacing);
  PlaceReflectionLayer(V, S, P.Position, P.R, P.Spacing);
  FlattenBaseLayers(V, P.Background, P.R, P.KeepAlpha);
  V.Update();
}

void RebuildForBackground(TPixoran& V, TPixoran& S, const TReflectionParams& P) {
  CopySourceToBaseLayer(V, S);
  ResizeCanvasForReflection(V, S, P.Position, P.Spacing);
  RebuildReflectionLayer(V, S, P);
  FlattenBaseLayers(V, P.Background, P.R, P.KeepAlpha);
  V.Update();
}
