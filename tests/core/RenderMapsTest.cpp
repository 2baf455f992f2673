// The 24-bit render routines through caller maps that repeat, skip and reverse source columns and
// rows (zoomed views, the last source column, rows met again after others), plain and blended,
// with and without RowReuse, checked byte for byte against a per-pixel reference of the maps and
// the weight rule over a destination that differs on every row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/pxxBitmaps.h"

namespace {

constexpr int32_t kSrcW = 13, kSrcH = 9, kDstW = 40, kDstH = 30;
constexpr int32_t kDestX = 5, kDestY = 4, kSpanW = 29, kSpanH = 21;

uint32_t Next(uint32_t& Seed) {
  Seed = Seed * 1103515245u + 12345u;
  return Seed >> 16;
}

std::unique_ptr<TPXBitmap> Noise24(int32_t W, int32_t H, uint32_t Seed, bool Alpha) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int32_t y = 0; y < H; ++y)
    for (int32_t i = 0; i < 3 * W; ++i) b->Scanline(y)[i] = static_cast<uint8_t>(Next(Seed));
  if (Alpha) {
    TPXBitmap* a = b->GetAlphaChannel();
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) a->Scanline(y)[x] = static_cast<uint8_t>(Next(Seed));
    a->FFull = 0;
  }
  return b;
}

struct TMapCase {
  const char* Name;
  std::vector<int32_t> Cols, Rows;
};

std::vector<TMapCase> MapCases() {
  std::vector<TMapCase> cases;
  TMapCase zoom{"zoom", {}, {}};
  for (int32_t i = 0; i < kSpanW; ++i) zoom.Cols.push_back(i * kSrcW / kSpanW);
  for (int32_t j = 0; j < kSpanH; ++j) zoom.Rows.push_back(j * kSrcH / kSpanH);
  cases.push_back(zoom);
  // Arbitrary entries with runs, the last column and row, and rows met again after others.
  TMapCase mixed{"mixed", {}, {}};
  uint32_t seed = 99;
  for (int32_t i = 0; i < kSpanW; ++i)
    mixed.Cols.push_back(i % 5 == 0 ? kSrcW - 1 : static_cast<int32_t>(Next(seed) % kSrcW));
  mixed.Rows = {3, 3, 0, 8, 8, 8, 2, 3, 3, 1, 1, 7, 0, 0, 5, 5, 4, 8, 2, 2, 6};
  cases.push_back(mixed);
  // Only the last column (every pixel at the row's end), then the last two alternating.
  TMapCase edge{"edge", std::vector<int32_t>(kSpanW, kSrcW - 1), {}};
  for (int32_t j = 0; j < kSpanH; ++j) edge.Rows.push_back(kSrcH - 1 - j / 3);
  for (int32_t i = kSpanW / 2; i < kSpanW; ++i) edge.Cols[static_cast<size_t>(i)] = kSrcW - 1 - (i & 1);
  cases.push_back(edge);
  return cases;
}

struct TBlendCase {
  int32_t Transparency;
  bool Alpha;
  double Opacity;
};

uint8_t Mix(uint8_t D, uint8_t T, int32_t H) { return static_cast<uint8_t>(D + ((H * (T - D)) >> 8)); }

}  // namespace

TEST(RenderMaps, RepeatedAndScatteredMapsMatchThePerPixelReference) {
  const TBlendCase blends[] = {{255, false, 1.0}, {255, true, 1.0}, {100, false, 1.0}, {200, true, 0.5}};
  for (const TMapCase& m : MapCases())
    for (const TBlendCase& bc : blends)
      for (const bool reuse : {false, true}) {
        auto src = Noise24(kSrcW, kSrcH, 7, bc.Alpha);
        auto dst = Noise24(kDstW, kDstH, 31, false);
        auto want = TPXBitmap::CreateCopy(dst.get());
        TPXIntegerArray cols = m.Cols, rows = m.Rows;
        src->RenderToPXBitmapEx(dst.get(), cols, rows, nullptr, kDestX, kDestY, kSpanW, kSpanH, 0, 0, kSrcW, kSrcH,
                                bc.Alpha, reuse, bc.Transparency, rfNone, false, pxboNormal, bc.Opacity);
        // The reference: each pixel from its mapped source pixel by the weight rule; a blended row
        // whose source row repeats the previous one is that row again when RowReuse asks for it.
        const bool blended = bc.Transparency < 255 || bc.Alpha || bc.Opacity < 1.0;
        for (int32_t j = 0; j < kSpanH; ++j) {
          uint8_t* d = want->Scanline(kDestY + j) + 3 * kDestX;
          const int32_t sy = m.Rows[static_cast<size_t>(j)];
          if (blended && reuse && j > 0 && sy == m.Rows[static_cast<size_t>(j) - 1]) {
            std::memcpy(d, want->Scanline(kDestY + j - 1) + 3 * kDestX, 3 * kSpanW);
            continue;
          }
          for (int32_t i = 0; i < kSpanW; ++i) {
            const int32_t sx = m.Cols[static_cast<size_t>(i)];
            const uint8_t* s = src->Scanline(sy) + 3 * sx;
            const int32_t a = bc.Alpha ? src->GetAlphaChannel()->Scanline(sy)[sx] : 255;
            const auto h = static_cast<int32_t>(bc.Opacity * std::min(bc.Transparency, a));
            for (int32_t k = 0; k < 3; ++k) d[3 * i + k] = blended ? Mix(d[3 * i + k], s[k], h) : s[k];
          }
        }
        for (int32_t y = 0; y < kDstH; ++y)
          ASSERT_EQ(std::memcmp(dst->Scanline(y), want->Scanline(y), 3 * kDstW), 0)
              << m.Name << " transparency " << bc.Transparency << " alpha " << bc.Alpha << " opacity " << bc.Opacity
              << " reuse " << reuse << " row " << y;
      }
}

// A plain 24-bit fast linear render goes straight into the destination; the same picture with an
// opaque alpha channel that is enabled takes the general road (a resampled copy drawn 1:1). Both
// must leave the same bytes, over every geometry, clip rectangle and band count.
TEST(RenderMaps, FastLinearStraightIntoTheDestinationMatchesTheGeneralRoad) {
  struct TGeometry {
    int32_t SW, SH;                 // picture
    int32_t DX, DY, DW, DH;         // destination rectangle in a 60 x 40 destination
    int32_t SX, SY, SWid, SHei;     // source rectangle
    bool Clip;
    TRect ClipRect;
  };
  const TGeometry cases[] = {
      {97, 61, 3, 2, 40, 30, 0, 0, 97, 61, false, {}},       // shrink
      {13, 9, 5, 4, 50, 33, 0, 0, 13, 9, false, {}},         // enlarge
      {90, 7, 0, 0, 60, 40, 0, 0, 90, 7, false, {}},         // shrink across, enlarge down
      {97, 61, -7, -5, 40, 30, 0, 0, 97, 61, false, {}},     // negative origin
      {97, 61, 30, 20, 45, 35, 0, 0, 97, 61, false, {}},     // past the destination
      {97, 61, 3, 2, 40, 30, 10, 5, 50, 40, false, {}},      // inner source rectangle
      {11, 11, 0, 0, 10, 10, 0, 0, 11, 11, false, {}},       // the span needed has the destination's size
      {97, 61, 3, 2, 40, 30, 4, 4, 1, 1, false, {}},         // a single source pixel
      {97, 61, 3, 2, 40, 30, 0, 0, 97, 61, true, TRect(10, 8, 25, 20)},
      {97, 61, 3, 2, 40, 30, 0, 0, 97, 61, true, TRect(-5, -5, 100, 100)},
      {97, 61, 3, 2, 40, 30, 0, 0, 97, 61, true, TRect(50, 35, 59, 39)},  // outside the rectangle
      {97, 61, 3, 2, 40, 30, 0, 0, 97, 61, true, TRect(50, 5, 59, 20)},   // beside it
      {97, 61, 3, 2, 40, 30, 0, 0, 97, 61, true, TRect(3, 2, 2, 1)},      // empty, at the origin
      {97, 61, 0, 0, 40, 30, 0, 0, 97, 61, true, TRect(-9, -9, -5, -5)},  // before the destination
      {600, 400, 1, 1, 58, 38, 0, 0, 600, 400, false, {}},   // cut into bands
      {600, 400, 1, 1, 58, 38, 0, 0, 600, 400, true, TRect(5, 6, 40, 30)},
  };
  uint32_t seed = 5;
  for (const TGeometry& g : cases) {
    auto pic = Noise24(g.SW, g.SH, seed++, false);
    TPXBitmap* a = pic->GetAlphaChannel();
    for (int32_t y = 0; y < g.SH; ++y) std::memset(a->Scanline(y), 255, static_cast<size_t>(g.SW));
    a->FFull = 1;
    auto straight = Noise24(kDstW, kDstH, 77, false);
    auto general = TPXBitmap::CreateCopy(straight.get());
    const TRect* clip = g.Clip ? &g.ClipRect : nullptr;
    TPXIntegerArray c1, r1, c2, r2;
    pic->RenderToPXBitmapEx(straight.get(), c1, r1, clip, g.DX, g.DY, g.DW, g.DH, g.SX, g.SY, g.SWid, g.SHei, false,
                            false, 255, rfFastLinear, true, pxboNormal, 1.0);
    pic->RenderToPXBitmapEx(general.get(), c2, r2, clip, g.DX, g.DY, g.DW, g.DH, g.SX, g.SY, g.SWid, g.SHei, true,
                            false, 255, rfFastLinear, true, pxboNormal, 1.0);
    for (int32_t y = 0; y < kDstH; ++y)
      ASSERT_EQ(std::memcmp(straight->Scanline(y), general->Scanline(y), 3 * kDstW), 0)
          << g.SW << "x" << g.SH << " into " << g.DX << "," << g.DY << " " << g.DW << "x" << g.DH << " row " << y;
  }
}

// A destination whose rows are the picture's own (two bitmaps on one block) is drawn through the
// resampled copy, as the general road does, never resampled into itself.
TEST(RenderMaps, FastLinearIntoThePicturesOwnRowsMatchesTheGeneralRoad) {
  constexpr int32_t w = 60, h = 40;
  auto draw = [&](bool general) {
    std::vector<uint8_t> block(static_cast<size_t>(3 * w + 16) * h);
    uint32_t seed = 3;
    for (uint8_t& b : block) b = static_cast<uint8_t>(Next(seed));
    TPXBitmap pic, dest;
    pic.AttachMemory(block.data(), w, h, px24RGB, false, false);
    dest.AttachMemory(block.data(), w, h, px24RGB, false, false);
    TPXBitmap* a = pic.GetAlphaChannel();
    for (int32_t y = 0; y < h; ++y) std::memset(a->Scanline(y), 255, static_cast<size_t>(w));
    a->FFull = 1;
    TPXIntegerArray c, r;
    // Rows are written below the rows still to be read.
    pic.RenderToPXBitmapEx(&dest, c, r, nullptr, 5, 20, 30, 20, 0, 0, w, h, general, false, 255, rfFastLinear, true,
                           pxboNormal, 1.0);
    return block;
  };
  EXPECT_EQ(draw(false), draw(true));
}
