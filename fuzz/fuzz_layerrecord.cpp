// Arbitrary bytes as a layer record (image, line, polyline or angle) and as a layer of the older
// per-view layout: reading raises only the library's exceptions and never reads outside the
// data; an accepted record writes back and reads again. The same bytes as property lines of a
// line, polyline or angle layer change it without faults.
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
#include "platform/rtl/Classes.h"
#include "tests/layers/FakeLayerOwner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 2) return 0;
  const uint8_t mode = Data[0];
  const uint8_t* body = Data + 1;
  const int64_t bodySize = static_cast<int64_t>(Size) - 1;
  FakeLayerOwner owner;
  auto* layer = owner.Add(std::make_unique<TPXImageLayer>(&owner, TPXBitmap::CreateAllocated(2, 2, px24RGB)));
  TCustomMemoryStream stream(body, bodySize);
  if ((mode & 7) == 2 || (mode & 7) == 4 || (mode & 7) == 6) {
    // The kinds made of lines and points: their tails, then the bytes as property lines.
    auto make = [&]() -> std::unique_ptr<TPXLayer> {
      if ((mode & 7) == 2) return std::make_unique<TPXLineLayer>(&owner);
      if ((mode & 7) == 4) return std::make_unique<TPXPolylineLayer>(&owner);
      return std::make_unique<TPXAngleLayer>(&owner);
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
