// pixman as the peer of the compositing benchmarks: one timed composition of whole pictures.
#pragma once

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"

// Seconds of one pixman_image_composite32 with Op of Source onto Dest, both a8r8g8b8 pictures of
// Width x Height words (the images are created and released around the timed call).
inline double PixmanCompositeSeconds(pixman_op_t Op, uint32_t* Source, uint32_t* Dest, int32_t Width,
                                     int32_t Height) {
  pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, Width, Height, Source, Width * 4);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, Width, Height, Dest, Width * 4);
  const auto a = BenchClock::now();
  pixman_image_composite32(Op, s, nullptr, d, 0, 0, 0, 0, 0, 0, Width, Height);
  benchmark::ClobberMemory();
  const double t = BenchSeconds(a, BenchClock::now());
  pixman_image_unref(s);
  pixman_image_unref(d);
  return t;
}

// The px24RGB picture's pixels (and alpha) as pixman words: x8r8g8b8, or premultiplied a8r8g8b8.
inline std::vector<uint32_t> PixmanWords(TPXBitmap* B) {
  const int32_t w = B->Width(), h = B->Height();
  TPXBitmap* a = B->PeekAlphaChannel();
  std::vector<uint32_t> words(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = B->Scanline(y);
    const uint8_t* ar = a ? a->Scanline(y) : nullptr;
    for (int32_t x = 0; x < w; ++x) {
      uint32_t bl = s[3 * x], g = s[3 * x + 1], r = s[3 * x + 2], al = ar ? ar[x] : 255;
      if (ar) {
        bl = (bl * al + 127) / 255;
        g = (g * al + 127) / 255;
        r = (r * al + 127) / 255;
      }
      words[static_cast<size_t>(y) * w + x] = (al << 24) | (r << 16) | (g << 8) | bl;
    }
  }
  return words;
}
