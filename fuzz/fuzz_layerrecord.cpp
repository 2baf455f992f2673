// Arbitrary bytes as a layer record of every kind and as a layer of the older per-view layout:
// reading raises only the library's exceptions and never reads outside the data; an accepted
// record writes back and reads again. The same bytes as property lines change a layer of the
// kind without faults.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_angle.h"
#include "layers/pxxLayers_line.h"
#include "layers/pxxLayers_polyline.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_shape.h"
#include "layers/pxxLayers_text.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Classes_lists.h"
#include "platform/rtl/SysUtils.h"
#include "tests/layers/FakeLayerOwner.h"

namespace {

// A text-layer record: refused with the library's exceptions, or read whole and written back
// to a record that reads again to the same bytes.
void FuzzTextRecord(const uint8_t* Body, int64_t BodySize) {
  TCustomMemoryStream stream(Body, BodySize);
  TPXTextLayer layer(nullptr);
  try {
    layer.LoadFromStream(&stream);
  } catch (const Exception&) {
    return;
  }
  if (stream.Position() != layer.RecordSize()) std::abort();
  TMemoryStream again;
  layer.SaveToStream(&again, false, -1);
  again.SetPosition(0);
  TPXTextLayer copy(nullptr);
  copy.LoadFromStream(&again);
  if (again.Position() != again.Size()) std::abort();
}

// Property lines of the text kind, applied and written back. Keys that lay text out (rich text,
// sizing to fit) are left out: they need the window layer, which this target does not start.
void FuzzTextProperties(const uint8_t* Body, int64_t BodySize) {
  TStringList lines;
  lines.SetText(std::string(reinterpret_cast<const char*>(Body), static_cast<size_t>(BodySize)));
  TPXTextLayer layer(nullptr);
  for (int32_t i = 0; i < lines.Count(); ++i) {
    const std::string key = LowerCase(lines.Names(i));
    if (key.find("richtext") != std::string::npos || key.find("size") != std::string::npos) continue;
    SetLayerPropertyByKey(&layer, lines.Names(i), lines.ValueFromIndex(i));
  }
  TStringList out;
  LayerPropertiesToStrings(&layer, &out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 2) return 0;
  const uint8_t mode = Data[0];
  const uint8_t* body = Data + 1;
  const int64_t bodySize = static_cast<int64_t>(Size) - 1;
  if ((mode & 0x0F) == 0x0C) {
    FuzzTextRecord(body, bodySize);
    return 0;
  }
  if ((mode & 0x0F) == 0x08) {
    FuzzTextProperties(body, bodySize);
    return 0;
  }
  FakeLayerOwner owner;
  auto* layer = owner.Add(std::make_unique<TPXImageLayer>(&owner, TPXBitmap::CreateAllocated(2, 2, px24RGB)));
  TCustomMemoryStream stream(body, bodySize);
  // Low four bits: 2 line, 4 polyline, 6 angle, 10 shape (8 and 12 are the text cases above);
  // other even values an image record, odd ones the older layout.
  const uint8_t kindMode = mode & 0x0F;
  if (kindMode == 2 || kindMode == 4 || kindMode == 6 || kindMode == 10) {
    auto make = [&]() -> std::unique_ptr<TPXLayer> {
      if (kindMode == 2) return std::make_unique<TPXLineLayer>(&owner);
      if (kindMode == 4) return std::make_unique<TPXPolylineLayer>(&owner);
      if (kindMode == 6) return std::make_unique<TPXAngleLayer>(&owner);
      return std::make_unique<TPXShapeLayer>(&owner);
    };
    std::unique_ptr<TPXLayer> kind = make();
    bool ok = true;
    try {
      kind->LoadFromStream(&stream);
    } catch (const Exception&) {
      ok = false;
    }
    if (ok) {
      if (stream.Position() != kind->RecordSize()) std::abort();
      if (auto* shape = dynamic_cast<TPXShapeLayer*>(kind.get()); shape && shape->Shape() >= 100) std::abort();
      TMemoryStream again;
      kind->SaveToStream(&again, false, -2);
      again.SetPosition(0);
      std::unique_ptr<TPXLayer> copy = make();
      copy->LoadFromStream(&again);
      if (again.Position() != again.Size()) std::abort();
    }
    std::unique_ptr<TPXLayer> target = make();
    TStringList lines;
    lines.SetText(std::string(reinterpret_cast<const char*>(body), static_cast<size_t>(bodySize)));
    try {
      LayerPropertiesFromStrings(target.get(), &lines);
      target->UpdateGeometry();
    } catch (const Exception&) {
    }
  } else if ((mode & 1) == 0) {
    bool ok = true;
    try {
      layer->LoadFromStream(&stream);
    } catch (const Exception&) {
      ok = false;
    }
    if (ok) {
      if (stream.Position() != layer->RecordSize()) std::abort();
      TMemoryStream again;
      layer->SaveToStream(&again, false, -2);
      again.SetPosition(0);
      TPXImageLayer copy(&owner);
      copy.LoadFromStream(&again);
      if (again.Position() != again.Size()) std::abort();
    }
  } else {
    TPXBitmap picture;
    owner.Picture = &picture;
    const int32_t version = 2 + (mode >> 1) % 8;
    const int32_t compression = (mode & 0x80) ? -1 : -2;
    try {
      ReadLegacyLayer(layer, &stream, version, compression);
    } catch (const Exception&) {
    }
    if (stream.Position() < 0 || stream.Position() > bodySize) std::abort();
  }
  return 0;
}
