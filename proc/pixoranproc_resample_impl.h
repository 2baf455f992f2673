// Helpers shared by the resampler's source files; not part of the library's interface.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/hypxdefs.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_access.h"


// Round half to even on a finite double (the run-time's Round, without the long double detour).
inline int64_t RsRound(double v) { return static_cast<int64_t>(std::nearbyint(v)); }
// Trunc of a finite double in the int32 range.
inline int32_t RsTrunc(double v) { return static_cast<int32_t>(v); }

inline uint8_t RsClamp8(int64_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }
inline uint16_t RsClamp16(int64_t v) { return static_cast<uint16_t>(v < 0 ? 0 : (v > 65535 ? 65535 : v)); }

// Calls the progress event only when the value changes.
class TRsProgress {
 public:
  TRsProgress(const TPXProgressEvent& Event, TObject* Sender) : event_(Event), sender_(Sender) {}
  void Report(int32_t Value) {
    if (!event_ || Value == last_) return;
    last_ = Value;
    event_(sender_, Value);
  }

 private:
  const TPXProgressEvent& event_;
  TObject* sender_;
  int32_t last_ = -1;
};

inline bool RsUsable(TPXBitmap* B) { return B && B->Width() > 0 && B->Height() > 0; }

// A stored filter value outside the enumeration is taken as the fast linear filter.
inline TResampleFilter RsSaneFilter(TResampleFilter F) {
  return static_cast<uint8_t>(F) > static_cast<uint8_t>(rfWICFant) ? rfFastLinear : F;
}

// The imaging component's scaler modes served by the library's own paths of the same kind.
inline TResampleFilter RsMapScalerFilter(TResampleFilter F) {
  switch (F) {
    case rfWICNearestNeighbor: return rfNone;
    case rfWICLinear:
    case rfWICFant: return rfBilinear;
    case rfWICCubic: return rfBicubic;
    default: return F;
  }
}

inline bool RsIsKernel(TResampleFilter F) {
  const auto v = static_cast<uint8_t>(F);
  return v >= 1 && v <= 8;
}

