// CMYK rows through a picture's own colour profile.
#include "io/pxcmykrows.h"

#include <algorithm>

namespace {

constexpr int32_t kChunk = 256;

uint8_t MixChannel(uint8_t Out, uint8_t Now, int32_t Weight) {
  return static_cast<uint8_t>(Out + ((int64_t{Now} - Out) * Weight >> 18));
}

}  // namespace

void CmykToRgbRowIcc(const TCMYK* Input, TRGB* Output, int32_t Count, TPXICC* Profile, TPXICC* Dest,
                     const int32_t* Weights) {
  if (!Input || !Output || Count <= 0) return;
  if (!Profile || !Profile->PrepareTransform(Dest, iccfCMYK, 0, 0, iccfBGR)) {
    CmykToRgbRow(Input, Output, Count, Weights);
    return;
  }
  if (!Weights) {
    Profile->Transform(Dest, iccfCMYK, Count, Output, Input, 0, 0, iccfBGR);
    return;
  }
  // Weighted: each chunk is converted aside, then mixed into what Output holds.
  TRGB now[kChunk];
  for (int32_t done = 0; done < Count; done += kChunk) {
    const int32_t n = std::min(kChunk, Count - done);
    Profile->Transform(Dest, iccfCMYK, n, now, Input + done, 0, 0, iccfBGR);
    TRGB* out = Output + done;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t w = Weights[done + i];
      out[i].r = MixChannel(out[i].r, now[i].r, w);
      out[i].g = MixChannel(out[i].g, now[i].g, w);
      out[i].b = MixChannel(out[i].b, now[i].b, w);
    }
  }
}
