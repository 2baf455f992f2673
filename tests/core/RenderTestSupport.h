// Helpers of the rendering tests: a px24RGB picture of one colour and a pixel read back as
// stored.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "core/pxxBitmaps.h"

inline std::unique_ptr<TPXBitmap> Filled(int32_t W, int32_t H, TRGB C) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) std::memcpy(b->Scanline(y) + 3 * x, &C, 3);
  return b;
}

inline TRGB At(TPXBitmap* B, int32_t X, int32_t Y) {
  TRGB c;
  std::memcpy(&c, B->Scanline(Y) + 3 * X, 3);
  return c;
}
