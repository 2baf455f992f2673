// A layer's record as bytes and loading bytes into a layer, for the kinds' record tests.
#pragma once

#include <string>

#include "layers/pxxLayers.h"
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
