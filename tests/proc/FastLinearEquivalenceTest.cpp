// The fast linear path checked byte for byte against a plain two-pass reference that keeps the
// whole intermediate (source height x destination width) and sums every box directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_resample.h"
#include "proc/pixoranproc_resample_impl.h"
#include "tests/proc/ProcTestSupport.h"
#include "tests/proc/ResampleTestSupport.h"

namespace {

// The straightforward form of the path: horizontal pass over every source row into a full work
// array of samples, then the vertical pass; 64-bit sums, one thread.
template <typename T, int NC>
void RefFastLinear(TPXBitmap* Src, TPXBitmap* Dst, const TRect* Rect, bool AssignWhole, TPXPixelFormat Format) {
  if (!RsUsable(Src) || !RsUsable(Dst) || Src->PixelFormat() != Format) return;
  if (Dst->PixelFormat() != Format && !Dst->Allocate(Dst->Width(), Dst->Height(), Format))
    throw EOutOfMemory("Out of memory");
  const int32_t sW = Src->Width(), sH = Src->Height(), dW = Dst->Width(), dH = Dst->Height();
  const double xs = static_cast<double>(dW) / sW, ys = static_cast<double>(dH) / sH;
  if (xs == 1 && ys == 1) {
    if (AssignWhole) Dst->Assign(Src);
    else Dst->AssignFrom(Src, false);
    return;
  }
  const int64_t maxV = sizeof(T) == 1 ? 255 : 65535;
  int32_t L = 0, R = dW - 1, Tp = 0, B = dH - 1;
  if (Rect && !(Rect->Left == 0 && Rect->Top == 0 && Rect->Right == -1 && Rect->Bottom == -1)) {
    L = std::max(Rect->Left, 0);
    Tp = std::max(Rect->Top, 0);
    R = std::min(Rect->Right, dW - 1);
    B = std::min(Rect->Bottom, dH - 1);
  }
  if (L > R || Tp > B) return;
  const int32_t cols = R - L + 1;
  std::vector<int32_t> x0(static_cast<size_t>(cols)), x1(static_cast<size_t>(cols)), ca(static_cast<size_t>(cols));
  std::vector<double> cf(static_cast<size_t>(cols));
  for (int32_t c = 0; c < cols; ++c) {
    const int32_t i = L + c;
    const auto sc = static_cast<size_t>(c);
    x0[sc] = static_cast<int32_t>(std::min<int64_t>(RsRound(i / xs), sW - 1));
    x1[sc] = static_cast<int32_t>(std::clamp<int64_t>(RsRound(std::min(i + 1, dW - 1) / xs + 1e-10), x0[sc], sW - 1));
    ca[sc] = std::min(RsTrunc(i / xs), sW - 1);
    cf[sc] = i / xs - ca[sc];
  }
  const size_t workRow = static_cast<size_t>(cols) * NC;
  std::vector<T> work(workRow * static_cast<size_t>(sH));
  for (int32_t y = 0; y < sH; ++y) {
    const T* s = reinterpret_cast<const T*>(Src->Scanline(y));
    T* w = work.data() + workRow * static_cast<size_t>(y);
    if (xs > 1) {
      for (int32_t c = 0; c < cols; ++c) {
        const int32_t a = ca[static_cast<size_t>(c)], b = std::min(a + 1, sW - 1);
        const double f = cf[static_cast<size_t>(c)];
        for (int k = 0; k < NC; ++k) {
          const double pa = s[a * NC + k], pb = s[b * NC + k];
          w[c * NC + k] = static_cast<T>(RsRound((pb - pa) * f + pa));
        }
      }
    } else {
      for (int32_t c = 0; c < cols; ++c) {
        const int32_t a = x0[static_cast<size_t>(c)], b = x1[static_cast<size_t>(c)];
        int64_t sum[NC] = {};
        for (int32_t x = a; x <= b; ++x)
          for (int k = 0; k < NC; ++k) sum[k] += s[x * NC + k];
        for (int k = 0; k < NC; ++k) w[c * NC + k] = static_cast<T>(sum[k] / (b - a + 1));
      }
    }
  }
  std::vector<int64_t> sum(workRow);
  for (int32_t y = Tp; y <= B; ++y) {
    T* d = reinterpret_cast<T*>(Dst->Scanline(y)) + static_cast<int64_t>(L) * NC;
    if (ys > 1) {
      const double v = y / ys;
      const int32_t r0 = std::min(RsTrunc(v), sH - 1);
      const double g = v - r0;
      const int32_t r1 = r0 + 1 < sH ? r0 + 1 : r0;
      const T* w0 = work.data() + workRow * static_cast<size_t>(r0);
      const T* w1 = work.data() + workRow * static_cast<size_t>(r1);
      for (size_t k = 0; k < workRow; ++k) {
        const double a = w0[k], b = w1[k];
        const int64_t val = RsRound((b - a) * g + a);
        d[k] = static_cast<T>(val < 0 ? 0 : (val > maxV ? maxV : val));
      }
    } else {
      const auto r0 = static_cast<int32_t>(std::min<int64_t>(RsRound(y / ys), sH - 1));
      const auto r1 = static_cast<int32_t>(std::clamp<int64_t>(RsRound(std::min(y + 1, dH - 1) / ys), r0, sH - 1));
      std::fill(sum.begin(), sum.end(), 0);
      for (int32_t r = r0; r <= r1; ++r) {
        const T* w = work.data() + workRow * static_cast<size_t>(r);
        for (size_t k = 0; k < workRow; ++k) sum[k] += w[k];
      }
      const int64_t n = r1 - r0 + 1;
      for (size_t k = 0; k < workRow; ++k) {
        const int64_t val = sum[k] / n;
        d[k] = static_cast<T>(val > maxV ? maxV : val);
      }
    }
  }
}

struct Size4 {
  int sW, sH, dW, dH;
};

// Shrinking, enlarging, one axis kept, mixed, single-pixel sides, odd ratios, strong reductions.
const Size4 kSizes[] = {
    {40, 30, 13, 11},  {13, 11, 40, 30}, {17, 9, 17, 5},    {17, 9, 17, 23},  {9, 17, 5, 17},   {9, 17, 23, 17},
    {1, 1, 7, 5},      {7, 5, 1, 1},     {1, 9, 4, 3},      {9, 1, 3, 4},     {31, 29, 30, 28}, {29, 31, 30, 32},
    {300, 7, 11, 200}, {7, 300, 200, 11}, {5, 5, 5, 5},     {1000, 3, 7, 3},  {3, 1000, 3, 7},  {2, 2, 1, 3},
    {8, 4, 4, 8},      {1, 1, 1, 2},     {6, 1, 1, 1},      {997, 13, 3, 2},
    // Boxes of 5..17 pixels and rows, across the 4-pixel steps of the vector sums and their limit.
    {135, 120, 30, 8}, {225, 96, 30, 8}, {345, 64, 30, 5},  {460, 45, 30, 3}, {150, 150, 10, 10},
    // Doubling (weights of exactly one half: ties) and odd enlargements, across the vector steps
    // of eight samples and four columns.
    {20, 10, 40, 20},  {48, 16, 96, 32}, {37, 19, 101, 67},
};

// Rectangles: none, the "whole" marker, inside, reaching past every side, a single pixel, outside.
const TRect kRects[] = {TRect(0, 0, -1, -1), TRect(1, 1, 3, 2), TRect(-5, -2, 400, 300), TRect(2, 0, 2, 0),
                        TRect(50, 50, 60, 60), TRect(3, 2, 1, 1)};

std::unique_ptr<TPXBitmap> Prefilled(int w, int h, TPXPixelFormat f) {
  auto b = RsNew(w, h, f);
  for (int y = 0; y < h; ++y) std::memset(b->Scanline(y), 0x5A, static_cast<size_t>(b->RowLen()));
  return b;
}

// Runs the library's path and the reference on equal destinations and compares every byte.
template <typename T, int NC, typename Lib>
void Compare(const Size4& s, TPXPixelFormat f, const TRect* rect, bool assignWhole, uint32_t seed, Lib lib) {
  auto src = RsRandom(s.sW, s.sH, f, seed);
  auto mine = Prefilled(s.dW, s.dH, f), ref = Prefilled(s.dW, s.dH, f);
  lib(src.get(), mine.get(), rect);
  RefFastLinear<T, NC>(src.get(), ref.get(), rect, assignWhole, f);
  EXPECT_TRUE(RsSameBytes(mine.get(), ref.get()))
      << s.sW << "x" << s.sH << " -> " << s.dW << "x" << s.dH << " format " << static_cast<int>(f)
      << (rect ? " with rect" : "");
}

void CompareAll(const Size4& s, uint32_t seed, bool rects) {
  auto rgb = [](TPXBitmap* a, TPXBitmap* b, const TRect* r) { ResampleFastLinear24(a, b, nullptr, {}, r); };
  auto g8 = [](TPXBitmap* a, TPXBitmap* b, const TRect* r) { ResampleFastLinearGray8(a, b, nullptr, {}, r); };
  auto g16 = [](TPXBitmap* a, TPXBitmap* b, const TRect*) { ResampleFastLinearGray16(a, b, nullptr, {}); };
  Compare<uint8_t, 3>(s, px24RGB, nullptr, true, seed, rgb);
  Compare<uint8_t, 1>(s, px8g, nullptr, false, seed, g8);
  Compare<uint16_t, 1>(s, px16g, nullptr, false, seed, g16);
  if (!rects) return;
  for (const TRect& r : kRects) {
    Compare<uint8_t, 3>(s, px24RGB, &r, true, seed, rgb);
    Compare<uint8_t, 1>(s, px8g, &r, false, seed, g8);
  }
}

TEST(FastLinearEquivalence, SizeTableMatchesReference) {
  uint32_t seed = 1;
  for (const Size4& s : kSizes) CompareAll(s, seed++, true);
}

TEST(FastLinearEquivalence, ExtremeSamplesMatchReference) {
  // All-maximum pictures: sums and rounding at the top of the range must not wrap or overshoot;
  // a 16-bit box of 70000 samples passes 2^32.
  for (const Size4& s : {Size4{37, 23, 10, 7}, Size4{10, 7, 37, 23}, Size4{600, 2, 1, 1}, Size4{70000, 2, 2, 1},
                         Size4{2, 70000, 1, 2}, Size4{150, 150, 10, 10}, Size4{460, 45, 30, 3}}) {
    for (TPXPixelFormat f : {px24RGB, px8g, px16g}) {
      auto src = RsNew(s.sW, s.sH, f);
      for (int y = 0; y < s.sH; ++y) std::memset(src->Scanline(y), 0xFF, static_cast<size_t>(src->RowLen()));
      auto mine = Prefilled(s.dW, s.dH, f), ref = Prefilled(s.dW, s.dH, f);
      if (f == px24RGB) {
        ResampleFastLinear24(src.get(), mine.get(), nullptr, {}, nullptr);
        RefFastLinear<uint8_t, 3>(src.get(), ref.get(), nullptr, true, f);
      } else if (f == px8g) {
        ResampleFastLinearGray8(src.get(), mine.get(), nullptr, {}, nullptr);
        RefFastLinear<uint8_t, 1>(src.get(), ref.get(), nullptr, false, f);
      } else {
        ResampleFastLinearGray16(src.get(), mine.get(), nullptr, {});
        RefFastLinear<uint16_t, 1>(src.get(), ref.get(), nullptr, false, f);
      }
      EXPECT_TRUE(RsSameBytes(mine.get(), ref.get())) << s.sW << "x" << s.sH << " format " << static_cast<int>(f);
    }
  }
}

TEST(FastLinearEquivalence, DestinationInAnotherFormatIsReallocated) {
  auto src = RsRandom(21, 13, px24RGB, 77);
  auto mine = RsNew(8, 5, px8g), ref = RsNew(8, 5, px8g);
  ResampleFastLinear24(src.get(), mine.get(), nullptr, {}, nullptr);
  RefFastLinear<uint8_t, 3>(src.get(), ref.get(), nullptr, true, px24RGB);
  EXPECT_EQ(mine->PixelFormat(), px24RGB);
  EXPECT_TRUE(RsSameBytes(mine.get(), ref.get()));
}

// Pictures large enough to be cut into bands, at several thread counts.
class FastLinearThreads : public ProcThreadsTest {};

TEST_F(FastLinearThreads, EveryThreadCountMatchesReference) {
  const Size4 sizes[] = {{257, 211, 64, 50}, {64, 50, 257, 211}, {257, 211, 257, 97}, {97, 33, 96, 120}, {20, 3, 9, 40}};
  for (int threads : {1, 2, 3, 8}) {
    GlobalSettingsInstance()->FMaxThreads = threads;
    uint32_t seed = 100;
    for (const Size4& s : sizes) CompareAll(s, seed++, threads == 3);
  }
}

TEST_F(FastLinearThreads, ProgressStaysBelowHundredAndRises) {
  GlobalSettingsInstance()->FMaxThreads = 4;
  auto src = RsRandom(300, 200, px24RGB, 5);
  for (const Size4& s : {Size4{300, 200, 70, 40}, Size4{300, 200, 900, 500}}) {
    auto dst = RsNew(s.dW, s.dH, px24RGB);
    std::vector<int32_t> seen;
    const TPXProgressEvent record([&](TObject*, int32_t p) { seen.push_back(p); });
    ResampleFastLinear24(src.get(), dst.get(), nullptr, record, nullptr);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_LT(seen.back(), 100);
    EXPECT_GE(seen.front(), 0);
  }
}

}  // namespace
