// ImageMagick's C interface as the second peer of the codec benchmarks, and the report of their
// times. Include it last: MagickCore defines macros that clash with our member names.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"

#include <wand/MagickWand.h>

// The fastest call of each side: the machine may be busy with other work, and the minimum is
// the time the code needs.
struct CodecTimes {
  double Ours = 1e9, Peer = 1e9, Magick = 1e9;
  void Add(double& Slot, double T) { Slot = std::min(Slot, T); }
};

// Ours, the peer's (as <Peer>_ms) and MagickWand's times in milliseconds, and ours over each.
inline void ReportCodecTimes(benchmark::State& State, const CodecTimes& T, const std::string& Peer) {
  State.counters["ours_ms"] = T.Ours * 1e3;
  State.counters[Peer + "_ms"] = T.Peer * 1e3;
  State.counters["magick_ms"] = T.Magick * 1e3;
  State.counters["ratio"] = T.Ours / T.Peer;
  State.counters["magick_ratio"] = T.Ours / T.Magick;
}

// A new wand holding the px24RGB picture's pixels (its alpha left out).
inline MagickWand* BenchMagickWand(TPXBitmap* B) {
  const int32_t w = B->Width(), h = B->Height();
  std::vector<uint8_t> bgr(size_t(w) * h * 3);
  for (int32_t y = 0; y < h; ++y) std::memcpy(&bgr[size_t(y) * w * 3], B->Scanline(y), size_t(w) * 3);
  MagickWand* wand = NewMagickWand();
  MagickConstituteImage(wand, size_t(w), size_t(h), "BGR", CharPixel, bgr.data());
  return wand;
}

// The main() of the programs that time MagickWand: the library and MagickWand are started before
// the run and stopped after; Prepare (if any) runs before the first benchmark. Our codecs run on
// the calling thread alone, so ImageMagick is held to one thread too (it would otherwise spread its
// pixel loops over every core through OpenMP) and runs on the calling thread, where
// ThreadCpuSeconds sees its work.
inline int BenchMagickMain(int argc, char** argv, void (*Prepare)() = nullptr) {
  BenchSameHugePages(argv);
  MagickWandGenesis();
  MagickSetResourceLimit(ThreadResource, 1);
  const int rc = BenchMain(argc, argv, nullptr, Prepare);
  MagickWandTerminus();
  return rc;
}
