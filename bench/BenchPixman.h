// pixman as the peer of the compositing benchmarks: one timed composition of whole pictures.
#pragma once

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>

#include "bench/BenchSupport.h"

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
