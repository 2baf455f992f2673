// Small bitmap builders shared by the processing tests (resamplers, rotation, flips, wave, the
// component's operations).
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "core/pxxBitmaps.h"

inline std::unique_ptr<TPXBitmap> RsNew(int w, int h, TPXPixelFormat f) {
  auto b = std::make_unique<TPXBitmap>();
  b->Allocate(w, h, f);
  for (int y = 0; y < h; ++y) std::memset(b->Scanline(y), 0, static_cast<size_t>(b->RowLen()));
  return b;
}

// Every byte of every row from a generator seeded with seed, rows top down.
inline void RsFillRandom(TPXBitmap* b, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < b->Height(); ++y) {
    uint8_t* row = b->Scanline(y);
    for (int64_t i = 0; i < b->RowLen(); ++i) row[i] = static_cast<uint8_t>(rng());
  }
}

inline std::unique_ptr<TPXBitmap> RsRandom(int w, int h, TPXPixelFormat f, uint32_t seed) {
  auto b = RsNew(w, h, f);
  RsFillRandom(b.get(), seed);
  return b;
}

// FNV-1a over the pixel bytes of every row (padding left out): a golden value of a routine's
// whole output.
inline uint64_t RsPixelHash(TPXBitmap* b) {
  uint64_t h = 1469598103934665603ull;
  const int64_t used = (static_cast<int64_t>(b->Width()) * b->BitCount() + 7) / 8;
  for (int y = 0; y < b->Height(); ++y) {
    const uint8_t* row = b->Scanline(y);
    for (int64_t i = 0; i < used; ++i) h = (h ^ row[i]) * 1099511628211ull;
  }
  return h;
}

// A px8g bitmap from rows of values.
inline std::unique_ptr<TPXBitmap> RsGray(const std::vector<std::vector<int>>& rows) {
  auto b = RsNew(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), px8g);
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) b->Scanline(static_cast<int>(y))[x] = static_cast<uint8_t>(rows[y][x]);
  return b;
}

// A px24RGB bitmap of one grey row repeated Height times.
inline std::unique_ptr<TPXBitmap> RsRgbRow(const std::vector<int>& values, int height = 1) {
  auto b = RsNew(static_cast<int>(values.size()), height, px24RGB);
  for (int y = 0; y < height; ++y)
    for (size_t x = 0; x < values.size(); ++x) b->SetPixel24(static_cast<int>(x), y, TRGB{static_cast<uint8_t>(values[x]), static_cast<uint8_t>(values[x]), static_cast<uint8_t>(values[x])});
  return b;
}

inline std::vector<int> RsRedRow(TPXBitmap* b, int y) {
  std::vector<int> v;
  for (int x = 0; x < b->Width(); ++x) v.push_back(b->GetPixelRGB(x, y).r);
  return v;
}

inline std::vector<int> RsGrayRow(TPXBitmap* b, int y) {
  std::vector<int> v;
  for (int x = 0; x < b->Width(); ++x) v.push_back(b->Scanline(y)[x]);
  return v;
}

inline bool RsSameBytes(TPXBitmap* a, TPXBitmap* b) {
  if (a->Width() != b->Width() || a->Height() != b->Height() || a->PixelFormat() != b->PixelFormat()) return false;
  const int64_t n = (static_cast<int64_t>(a->Width()) * a->BitCount() + 7) / 8;
  for (int y = 0; y < a->Height(); ++y)
    for (int64_t i = 0; i < n; ++i)
      if (a->Scanline(y)[i] != b->Scanline(y)[i]) return false;
  return true;
}
