// Clipping of a pixel copy between two bitmaps, shared by the rectangle copies and the
// alpha-channel transfers.
#pragma once

#include <algorithm>
#include <cstdint>

// Clips a copy of Size pixels from Src to Dst on one axis against both extents; a negative
// origin on either side moves both origins, so the pixels keep their places. Int is int32_t, or
// int64_t where the sums could overflow.
template <typename Int>
inline void ClipCopySpan(Int& Src, Int& Dst, Int& Size, Int SrcLimit, Int DstLimit) {
  if (Dst < 0) {
    Src -= Dst;
    Size += Dst;
    Dst = 0;
  }
  if (Src < 0) {
    Dst -= Src;
    Size += Src;
    Src = 0;
  }
  Size = std::min({Size, SrcLimit - Src, DstLimit - Dst});
}
