// What the I/O component's per-format members need from layered codecs beyond the format table:
// the PSD codec's entries that also carry the layer list. The codec fills them when it
// registers; until then a PSD load reads the merged picture through the format table's row
// (without layers) and a PSD save writes the merged picture only.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/hypxdefs.h"
#include "io/pixoranio_view.h"
#include "platform/rtl/Classes.h"

class TPXBitmap;
class TIOParams;

// Reads the merged picture into Merged and, when Layers is not nil, each layer into it. Answers
// as the format table's decoder does; never raises on bad data.
using TPXDecodeLayeredProc = std::function<int32_t(TStream* Stream, TPXBitmap* Merged, TIOParams* Params,
                                                   TPXProgressRecord& Progress, std::vector<TPXDecodedLayer>* Layers)>;
// Writes Merged as the merged picture and Layers (bottom first; may be empty) as its layers.
using TPXEncodeLayeredProc = std::function<void(TStream* Stream, TPXBitmap* Merged, const std::vector<TPXBitmap*>& Layers,
                                                TIOParams* Params, TPXProgressRecord& Progress)>;

struct TPXLayeredCoders {
  TPXDecodeLayeredProc Decode;
  TPXEncodeLayeredProc Encode;
};

// Replaces the PSD coders (empty members remove them).
void RegisterPsdLayeredCoders(TPXLayeredCoders Coders);
const TPXLayeredCoders& PsdLayeredCoders();
