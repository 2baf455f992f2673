// A layer's record as bytes and loading bytes into a layer, for the kinds' record tests, and
// content away from the defaults for every kind that is not a picture.
#pragma once

#include <array>
#include <string>

#include "layers/pxxLayers.h"
#include "layers/pxxLayers_angle.h"
#include "layers/pxxLayers_line.h"
#include "layers/pxxLayers_polyline.h"
#include "layers/pxxLayers_shape.h"
#include "layers/pxxLayers_text.h"
#include "platform/rtl/Classes.h"

inline std::string LayerRecordBytes(TPXLayer& L) {
  TMemoryStream s;
  L.SaveToStream(&s, false, -2);
  return std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

inline void LoadLayerRecordBytes(TPXLayer& L, const std::string& Bytes) {
  TCustomMemoryStream s(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  L.LoadFromStream(&s);
}

// The five kinds that are not pictures, in their kind order.
inline constexpr std::array<TPXLayerKind, 5> kDrawnLayerKinds{pxlkShape, pxlkLine, pxlkPolyline, pxlkAngle,
                                                               pxlkText};

// Gives a layer of any drawn kind its own content, so a record that loses a field shows it.
inline void GiveKindContent(TPXLayer* L) {
  L->SetName("kind " + std::to_string(static_cast<int32_t>(L->Kind())));
  L->SetOpacity(0.75);
  if (auto* s = dynamic_cast<TPXShapeLayer*>(L)) {
    s->SetShape(static_cast<TPXShape>(38));
    s->SetShapeModifier(7);
    s->SetFillColor(clYellow);
  } else if (auto* l = dynamic_cast<TPXLineLayer*>(L)) {
    l->SetLabelText("label ünïcode");
    l->SetLineEndShape(1);
    l->SetLineColor(clBlue);
    l->SetIsRuler(true);
  } else if (auto* p = dynamic_cast<TPXPolylineLayer*>(L)) {
    const std::array<TPoint, 3> pts{TPoint(0, 0), TPoint(1000, 400), TPoint(300, 1000)};
    p->SetPoints(pts.data(), 3, pxpbLayer);
    p->SetPolylineClosed(true);
  } else if (auto* a = dynamic_cast<TPXAngleLayer*>(L)) {
    a->SetLabelText("%s deg");
    a->SetAngleMode(2);
    a->SetAngle(60);
  } else if (auto* t = dynamic_cast<TPXTextLayer*>(L)) {
    t->SetText("two\r\nlines");
    t->SetBorderShape(0);
    t->SetBorderRotate(15);
    t->SetTextAlignment(2);
  }
}
