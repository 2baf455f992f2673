// Helpers the BMP and icon codecs share (on top of codecs/pxcodecs_impl.h): resolution
// conversion and per-row progress.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

#include "codecs/pxcodecs_impl.h"
#include "core/hypxdefs.h"
#include "core/pxxBitmaps_pixel.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/System.h"

namespace bmpfilt_detail {

using pxcodecs_detail::DefaultDpiX;
using pxcodecs_detail::DefaultDpiY;
using pxcodecs_detail::GetLE16;
using pxcodecs_detail::GetLE32;
using pxcodecs_detail::PutLE16;
using pxcodecs_detail::PutLE32;
using pxcodecs_detail::ReadFully;

// Bytes between the position and the end (0 when the position is past it).
inline int64_t BytesLeft(TStream* Stream) { return std::max<int64_t>(0, Stream->Size() - Stream->Position()); }

// Pixels per metre to dots per inch, halves to even; 0 or less gives Default.
inline int32_t DpiFromPpm(int64_t Ppm, int32_t Default) {
  if (Ppm <= 0) return Default;
  // ppm x 254 / 10000 keeps halves exact, so they round to even.
  const int64_t dpi = Round(static_cast<long double>(Ppm) * 254.0L / 10000.0L);
  if (dpi <= 0) return Default;
  return static_cast<int32_t>(std::min<int64_t>(dpi, std::numeric_limits<int32_t>::max()));
}
inline uint32_t PpmFromDpi(int32_t Dpi) {
  const int64_t v = Round(static_cast<long double>(Dpi) * 10000.0L / 254.0L);
  return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, std::numeric_limits<int32_t>::max()));
}

// One row of W pixels as the file's BGRA bytes; alpha from A, opaque where A is nullptr.
inline void PutBgraRow(uint8_t* Out, const TRGB* Rgb, const uint8_t* A, int32_t W) {
  for (int32_t x = 0; x < W; ++x) {
    uint8_t* d = Out + 4 * int64_t{x};
    d[0] = Rgb[x].b;
    d[1] = Rgb[x].g;
    d[2] = Rgb[x].r;
    d[3] = A ? A[x] : 255;
  }
}

// A channel mask of 16 and 32-bit pixels: where it starts and how wide the run of set bits from
// there is.
struct TChannelMask {
  uint32_t Mask = 0;
  int32_t Low = 0;
  int32_t Width = 0;

  explicit TChannelMask(uint32_t M = 0) : Mask(M) {
    if (M == 0) return;
    Low = std::countr_zero(M);
    Width = std::countr_one(M >> Low);
  }
  // The channel as 8 bits: narrower channels repeat their bits, so that their largest value is
  // 255, as the programs that write such files show it; a zero mask gives 0.
  uint8_t Extract(uint32_t V) const { return Mask == 0 ? 0 : PXWidenTo8((V & Mask) >> Low, Width); }
};

// The masks of 16-bit pixels without bit fields: 5-5-5, red highest.
inline constexpr uint32_t kDefault16Masks[3] = {0x7C00, 0x03E0, 0x001F};

inline bool IsAborting(const TPXProgressRecord& Progress) { return Progress.Aborting && *Progress.Aborting; }
inline void SetAborting(TPXProgressRecord& Progress) {
  if (Progress.Aborting) *Progress.Aborting = true;
}

// Per-row progress: fires the per-cent value when it changed (or on every row with Always).
class TRowProgress {
 public:
  TRowProgress(TPXProgressRecord& Progress, int64_t Rows) : progress_(Progress) {
    Progress.Count = 0;
    Progress.PerCentPerUnit = Rows > 0 ? 100.0 / static_cast<double>(Rows) : 0;
  }
  // Reports Done units; answers false when the abort flag is set.
  bool Report(int64_t Done, bool Always = false) {
    progress_.Count = static_cast<int32_t>(std::min<int64_t>(Done, std::numeric_limits<int32_t>::max()));
    const int32_t per = pxcodecs_detail::PerCentOf(progress_, Done);
    if (progress_.Event && (Always || per != last_)) {
      last_ = per;
      progress_.Event(progress_.Sender, per);
    }
    return !IsAborting(progress_);
  }

 private:
  TPXProgressRecord& progress_;
  int32_t last_ = -1;
};

}  // namespace bmpfilt_detail

// The format table's ICO and CUR rows (the icon file of this unit).
void RegisterIcoCodec();
