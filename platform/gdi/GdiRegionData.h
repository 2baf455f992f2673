// Rectangle-list regions in y-x banded form: rectangles sorted by top, then left; the
// rectangles of one band share top and bottom and never touch; vertically adjacent bands with
// the same spans are merged. Coordinates exclude right and bottom.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/Types.h"

class GdiRegionData {
 public:
  GdiRegionData() = default;
  explicit GdiRegionData(const TRect& r);

  const std::vector<TRect>& Rects() const { return rects_; }
  const TRect& Bounds() const { return bounds_; }
  bool IsEmpty() const { return rects_.empty(); }
  // NULLREGION (1), SIMPLEREGION (2) or COMPLEXREGION (3).
  int32_t Type() const;

  void SetRect(const TRect& r);
  void Offset(int32_t dx, int32_t dy);
  bool Contains(int32_t x, int32_t y) const;
  bool Intersects(const TRect& r) const;
  friend bool operator==(const GdiRegionData& a, const GdiRegionData& b) { return a.rects_ == b.rects_; }

  enum class Op { And, Or, Xor, Diff };
  static GdiRegionData Combine(const GdiRegionData& a, const GdiRegionData& b, Op op);

  // Builds a region from row runs given in increasing y (runs of a row in any order, may
  // overlap): Add(y, x0, x1) ..., then Finish().
  class Builder {
   public:
    void Add(int32_t y, int32_t x0, int32_t x1);
    GdiRegionData Finish();

   private:
    void FlushRow();
    GdiRegionData* out_ = nullptr;
    std::vector<TRect> rects_;
    int32_t rowY_ = INT32_MIN;
    std::vector<std::pair<int32_t, int32_t>> row_;
  };
  // From any rectangles (normalised, overlapping allowed).
  static GdiRegionData FromRects(const std::vector<TRect>& rects);

 private:
  void Recompute();
  std::vector<TRect> rects_;
  TRect bounds_;
};
