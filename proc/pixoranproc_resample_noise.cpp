// Speckle removal on a thresholded work copy: a kFill variant whose ring decisions come from
// lookup tables, with passes that alternate between filling with background and foreground.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_colour.h"
#include "proc/pixoranproc_resample.h"

namespace {

constexpr int32_t kMaxSpeckleWindow = 7;  // the tables take 2^(4(k-1)) bytes each

enum class TFillMode { Off = 0, On = 1 };

struct TRun {
  int32_t First, Last;
};

class TSpeckleRun {
 public:
  TSpeckleRun(int32_t W, int32_t H, int32_t MaxWindow, bool RequireOneGroup, bool OffNeedsFullRing)
      : w_(W), h_(H), maxWindow_(MaxWindow), oneGroup_(RequireOneGroup), fullRing_(OffNeedsFullRing),
        work_(static_cast<size_t>(W) * static_cast<size_t>(H), 255), runs_(static_cast<size_t>(H)) {
    for (int32_t k = 3; k <= maxWindow_; ++k)
      for (int m = 0; m < 2; ++m) {
        auto& t = tables_[k][m];
        t.resize(size_t{1} << (4 * (k - 1)));
        for (size_t p = 0; p < t.size(); ++p) t[p] = Decision(static_cast<uint32_t>(p), k, static_cast<TFillMode>(m));
      }
  }

  uint8_t& At(int32_t x, int32_t y) { return work_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)]; }
  int32_t FirstPass();
  int32_t Pass();

  uint8_t OffThreshold = 1;
  uint8_t OnThreshold = 254;
  TFillMode Mode = TFillMode::Off;

 private:
  uint8_t Decision(uint32_t pattern, int32_t k, TFillMode m) const;
  int32_t WindowSize(int32_t x, int32_t y);
  uint32_t RingPattern(int32_t x, int32_t y, int32_t k);
  void FillCore(int32_t x, int32_t y, int32_t k);
  bool Attempt(int32_t x, int32_t y);

  static int32_t Lo(int32_t k) { return (k - 1) / 2; }
  static int32_t Hi(int32_t k) { return k - 1 - Lo(k); }

  int32_t w_, h_, maxWindow_;
  bool oneGroup_, fullRing_;
  std::vector<uint8_t> work_;
  std::vector<std::vector<TRun>> runs_;
  std::vector<uint8_t> tables_[kMaxSpeckleWindow + 1][2];
};

uint8_t TSpeckleRun::Decision(uint32_t pattern, int32_t k, TFillMode m) const {
  const int32_t bits = 4 * (k - 1), seg = k - 2;
  const uint32_t all = bits == 32 ? ~0u : (1u << bits) - 1;
  uint32_t corners = 0, side = 0;
  for (int32_t c = 0; c < 4; ++c) {
    corners |= 1u << (c * (k - 1));
    // The non-corner bits of each side, packed one side after the other.
    side |= ((pattern >> (c * (k - 1) + 1)) & ((1u << seg) - 1)) << (c * seg);
  }
  const int32_t ones = std::popcount(pattern);
  const int32_t n = m == TFillMode::On ? ones : bits - ones;
  const int32_t r = std::popcount(pattern & corners);
  // Groups: 0 -> 1 steps along the packed non-corner bits (cyclic), plus set corners whose two
  // ring neighbours are clear.
  const int32_t sides = 4 * seg;
  const uint32_t sideAll = (1u << sides) - 1;
  const uint32_t sidePrev = ((side << 1) | (side >> (sides - 1))) & sideAll;  // bit i holds bit i-1
  int32_t g = std::popcount(side & ~sidePrev & sideAll);
  const uint32_t prev = ((pattern << 1) | (pattern >> (bits - 1))) & all;
  const uint32_t next = ((pattern >> 1) | (pattern << (bits - 1))) & all;
  g += std::popcount(pattern & ~prev & ~next & corners);
  if (oneGroup_ && g > 1) return 0;
  const bool plain = m == TFillMode::On || !fullRing_;
  if (plain ? n > 3 * k - 4 : n == bits) return 1;
  return n == 3 * k - 4 && r == 2 ? 1 : 0;
}

int32_t TSpeckleRun::WindowSize(int32_t x, int32_t y) {
  const uint8_t v = At(x, y);
  if (Mode == TFillMode::On ? v >= OnThreshold : v <= OffThreshold) return 0;
  if (maxWindow_ <= 3) return maxWindow_;
  for (int32_t k = 4; k <= maxWindow_; ++k) {
    const int32_t l = x - (Lo(k) - 1), t = y - (Lo(k) - 1), rr = x + Hi(k) - 1, b = y + Hi(k) - 1;
    if (l <= 0 || t <= 0 || rr >= w_ - 1 || b >= h_ - 1) return k - 1;
    for (int32_t yy = t; yy <= b; ++yy)
      for (int32_t xx = l; xx <= rr; ++xx) {
        const uint8_t c = At(xx, yy);
        if (Mode == TFillMode::On ? c > OnThreshold : c < OffThreshold) return k - 1;
      }
  }
  return maxWindow_;
}

uint32_t TSpeckleRun::RingPattern(int32_t x, int32_t y, int32_t k) {
  const int32_t l = x - Lo(k), t = y - Lo(k), r = x + Hi(k), b = y + Hi(k);
  uint32_t p = 0;
  int32_t i = 0;
  auto add = [&](int32_t xx, int32_t yy) {
    const uint8_t v = At(xx, yy);
    if (Mode == TFillMode::On ? v > OnThreshold : v >= OffThreshold) p |= 1u << i;
    ++i;
  };
  for (int32_t xx = l; xx <= r; ++xx) add(xx, t);
  for (int32_t yy = t + 1; yy <= b; ++yy) add(r, yy);
  for (int32_t xx = r - 1; xx >= l; --xx) add(xx, b);
  for (int32_t yy = b - 1; yy > t; --yy) add(l, yy);
  return p;
}

void TSpeckleRun::FillCore(int32_t x, int32_t y, int32_t k) {
  const int32_t l = k == 3 ? x : x - (Lo(k) - 1), t = k == 3 ? y : y - (Lo(k) - 1);
  const int32_t r = k == 3 ? x : x + Hi(k) - 1, b = k == 3 ? y : y + Hi(k) - 1;
  for (int32_t yy = t; yy <= b; ++yy)
    for (int32_t xx = l; xx <= r; ++xx) {
      uint8_t& v = At(xx, yy);
      if (Mode == TFillMode::On) {
        if (v < OnThreshold) v = OnThreshold;
      } else if (v > OffThreshold) {
        v = OffThreshold;
      }
    }
}

bool TSpeckleRun::Attempt(int32_t x, int32_t y) {
  const int32_t e = WindowSize(x, y);
  if (e < 3) return false;
  for (int32_t k = e; k >= std::max(3, e - 1); --k)
    if (tables_[k][static_cast<int>(Mode)][RingPattern(x, y, k)]) {
      FillCore(x, y, k);
      return true;
    }
  return false;
}

int32_t TSpeckleRun::FirstPass() {
  int32_t fills = 0;
  for (int32_t y = 1; y <= h_ - 2; ++y) {
    auto& runs = runs_[static_cast<size_t>(y)];
    bool open = false;
    for (int32_t x = 1; x <= w_ - 2; ++x) {
      if (At(x, y) > OffThreshold) {
        if (!open) {
          // Runs separated by gaps of at most 4 columns merge.
          if (!runs.empty() && x - runs.back().Last <= 5) runs.back().Last = x;
          else runs.push_back({x, x});
          open = true;
        }
        runs.back().Last = x;
      } else if (open) {
        runs.back().Last = x - 1;
        open = false;
      }
      if (Attempt(x, y)) ++fills;
    }
    if (!runs.empty()) runs.back().Last = w_ - 1;
  }
  return fills;
}

int32_t TSpeckleRun::Pass() {
  int32_t fills = 0;
  for (int32_t y = 1; y <= h_ - 2; ++y) {
    int32_t visited = 0;
    for (const TRun& run : runs_[static_cast<size_t>(y)]) {
      const int32_t a = std::max({run.First - maxWindow_ + 2, visited + 1, 1});
      const int32_t b = std::min(run.Last + maxWindow_ - 2, w_ - 2);
      for (int32_t x = a; x <= b; ++x)
        if (Attempt(x, y)) ++fills;
      visited = std::max(visited, b);
    }
  }
  return fills;
}

}  // namespace

void RemoveSpeckles(TPXBitmap* Bitmap, bool RequireOneGroup, bool OffNeedsFullRing, int32_t MaxPasses,
                    int32_t MaxWindow, bool Negate) {
  if (!Bitmap || Bitmap->Width() <= 0 || Bitmap->Height() <= 0) return;
  const TPXPixelFormat f = Bitmap->PixelFormat();
  // Only the two-level formats have a meaning here; reading wider pixels as bits would write
  // bits over their bytes.
  if (f != px8g && f != px1g) return;
  const int32_t W = Bitmap->Width(), H = Bitmap->Height();
  MaxWindow = std::min(MaxWindow, kMaxSpeckleWindow);
  if (Negate) NegativeRect(Bitmap, 0, 0, W, H, {}, nullptr);
  TSpeckleRun run(W, H, MaxWindow, RequireOneGroup, OffNeedsFullRing);
  for (int32_t y = 0; y < H; ++y) {
    const uint8_t* row = Bitmap->Scanline(y);
    if (!row) continue;
    for (int32_t x = 0; x < W; ++x)
      run.At(x, y) = f == px8g ? (row[x] > 128 ? 255 : 0) : (GetPixelBit(row, x) ? 255 : 0);
  }
  for (int32_t x = 0; x < W; ++x) run.At(x, 0) = run.At(x, H - 1) = 0;
  for (int32_t y = 0; y < H; ++y) run.At(0, y) = run.At(W - 1, y) = 0;
  const int32_t first = run.FirstPass();
  run.Mode = TFillMode::On;
  --run.OnThreshold;
  int32_t previous = 1, latest = first, passes = 1;
  // The thresholds move towards each other after every pass; they must not meet.
  while (passes < MaxPasses && (latest > 0 || previous > 0) && run.OffThreshold + 2 < run.OnThreshold) {
    previous = latest;
    latest = run.Pass();
    if (run.Mode == TFillMode::On) {
      ++run.OffThreshold;
      if (previous > 0) run.Mode = TFillMode::Off;
    } else {
      --run.OnThreshold;
      if (previous > 0) run.Mode = TFillMode::On;
    }
    ++passes;
  }
  for (int32_t y = 1; y <= H - 2; ++y) {
    uint8_t* row = Bitmap->Scanline(y);
    if (!row) continue;
    for (int32_t x = 1; x <= W - 2; ++x) {
      uint8_t v = run.At(x, y);
      if (v <= run.OffThreshold) v = 0;
      else if (v >= run.OnThreshold) v = 255;
      if (f == px8g) row[x] = v;
      else SetPixelBit(row, x, v != 0);
    }
  }
  if (Negate) NegativeRect(Bitmap, 0, 0, W, H, {}, nullptr);
}
