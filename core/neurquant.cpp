#include "core/neurquant.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"

namespace {

uint32_t PackRGB(const TRGB& c) { return (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b; }

// ---------------------------------------------------------------------------------------------
// NeuQuant constants (all integer arithmetic).

constexpr int32_t kNetBiasShift = 4;       // colour values are kept << 4
constexpr int32_t kIntBias = 1 << 16;      // bias and frequency fixed point
constexpr int32_t kBetaShift = 10;
constexpr int32_t kBeta = kIntBias >> kBetaShift;
constexpr int32_t kBetaGamma = kIntBias;   // intbias << (gammashift - betashift)
constexpr int32_t kRadiusBiasShift = 6;
constexpr int32_t kRadiusDec = 30;
constexpr int32_t kInitAlpha = 1 << 10;
constexpr int32_t kRadBias = 1 << 8;
constexpr int32_t kAlphaRadBias = 1 << 18;
constexpr int32_t kCycles = 100;
constexpr int32_t kPrimes[] = {499, 491, 487, 503};

// ---------------------------------------------------------------------------------------------
// Box split constants: a 5-bit cube, cell (R >> 3) << 10 | (G >> 3) << 5 | (B >> 3).

constexpr int32_t kBins = 32;
constexpr int32_t kCells = kBins * kBins * kBins;
constexpr int32_t kMaxColors = 256;

int32_t CellOf(const TRGB& c) { return ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// State of the two quantizers

struct TPXQuantizer::TNeuralState {
  int32_t NetSize = 0;
  int32_t MaxNetPos = 0;
  int32_t InitRad = 0;
  int32_t InitRadius = 0;
  int32_t AlphaDec = 0;
  int32_t SampleFac = 1;
  int64_t LengthCount = 0;
  std::vector<std::array<int32_t, 4>> Network;  // blue, green, red, index before sorting
  std::array<int32_t, 256> NetIndex{};
  std::vector<int32_t> Bias, Freq, RadPower;

  int32_t Contest(int32_t b, int32_t g, int32_t r);
  void AlterSingle(int32_t alpha, int32_t i, int32_t b, int32_t g, int32_t r);
  void AlterNeigh(int32_t rad, int32_t i, int32_t b, int32_t g, int32_t r);
  void SetRadPower(int32_t rad, int32_t alpha);
  void Unbias();
  void BuildIndex();
  int32_t Search(int32_t b, int32_t g, int32_t r) const;
};

namespace {
struct TBox {
  double Error = 0;
  double Mean[3] = {};  // red, green, blue, in 5-bit units
  uint32_t Count = 0;
  uint32_t Hist[3][kBins] = {};
  uint8_t Lo[3] = {};  // per channel: lowest cell and exclusive upper cell
  uint8_t Hi[3] = {};
};
}  // namespace

struct TPXQuantizer::TBoxState {
  std::vector<uint32_t> Histogram = std::vector<uint32_t>(kCells);
  std::vector<TBox> Boxes = std::vector<TBox>(kMaxColors);
  std::vector<uint8_t> Map = std::vector<uint8_t>(kCells);
  uint64_t Total = 0;
  int32_t Wanted = 0;
  int32_t Made = 0;

  void Stats(TBox& box) const;
  bool SplitAlong(const TBox& box, int k, TBox& lower, TBox& upper) const;
  bool Split(int32_t which, int32_t into);
};

// ---------------------------------------------------------------------------------------------
// TPXQuantizer

TPXQuantizer::TPXQuantizer(TPXBitmap* Bitmap, TRGB* Palette, int32_t /*Spare*/, int32_t N)
    : FBitmap(Bitmap) {
  // No palette to fill below one entry; the box split holds at most 256 boxes.
  N = std::min(N, kMaxColors);
  FRequested = std::max(N, 0);
  FCount = FRequested;
  if (!Bitmap || !Palette || N < 1) return;
  FGrey = Bitmap->IsGrayScale();
  const TPXPixelFormat format = Bitmap->PixelFormat();
  if (!FGrey && format == px24RGB) {
    if (ExactPaletteIfFew(Palette)) return;
    const int32_t setting = GlobalSettingsInstance()->FQuantizerMethod;
    FMethod = setting == -1 ? (N < 128 ? 1 : 0) : setting == 1 ? 1 : 0;
    if (FMethod == 1) QuantizeBoxSplit(Palette);
    else QuantizeNeural(Palette);
  } else if (format == px8p) {
    const TRGB* own = Bitmap->GetPalette();
    const int32_t n = own ? std::min(N, Bitmap->GetPaletteLength()) : 0;
    std::copy_n(own, n, Palette);
  } else if (FGrey) {
    // An even ramp from black to white.
    FGreyRamp = true;
    for (int32_t i = 0; i < N; ++i) {
      const auto v = static_cast<uint8_t>(N > 1 ? Round(255.0L * i / (N - 1)) : 0);
      Palette[i] = TRGB{v, v, v};
    }
  }
}

TPXQuantizer::~TPXQuantizer() = default;

bool TPXQuantizer::ExactPaletteIfFew(TRGB* Palette) {
  const int32_t w = FBitmap->Width(), h = FBitmap->Height();
  FExactIndex.reserve(size_t(FRequested) * 2);
  bool haveLast = false;
  uint32_t last = 0;
  for (int32_t y = 0; y < h; ++y) {
    const auto* row = static_cast<const TRGB*>(FBitmap->GetScanline(y));
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t key = PackRGB(row[x]);
      if (haveLast && key == last) continue;
      haveLast = true;
      last = key;
      if (FExactIndex.contains(key)) continue;
      if (static_cast<int32_t>(FExact.size()) == FRequested) {
        FExact.clear();
        FExactIndex.clear();
        return false;
      }
      FExactIndex.emplace(key, static_cast<int32_t>(FExact.size()));
      FExact.push_back(row[x]);
    }
  }
  std::copy(FExact.begin(), FExact.end(), Palette);
  FCount = static_cast<int32_t>(FExact.size());
  FExactPath = true;
  return true;
}

int32_t TPXQuantizer::RGBToIndex(const TRGB& Color) const {
  if (FExactPath) {
    auto it = FExactIndex.find(PackRGB(Color));
    return it == FExactIndex.end() ? 0 : it->second;
  }
  if (FGreyRamp) return FRequested > 1 ? static_cast<int32_t>(Round(Color.r * (FRequested - 1) / 255.0L)) : 0;
  if (FNeural) return FNeural->Search(Color.b, Color.g, Color.r);
  if (FBoxes) return FBoxes->Map[CellOf(Color)];
  if (FBitmap && FBitmap->PixelFormat() == px8p) {
    const TRGB* own = FBitmap->GetPalette();
    const int32_t n = own ? std::min(FRequested, FBitmap->GetPaletteLength()) : 0;
    for (int32_t i = 0; i < n; ++i)
      if (own[i] == Color) return i;
  }
  return 0;
}

int32_t TPXQuantizer::SampleFactor(int64_t PixelCount) {
  const int32_t sampling = GlobalSettingsInstance()->FQuantizerSampling;
  int64_t f;
  if (sampling == -1)
    f = PixelCount < 2000 ? 1 : Round((PixelCount * 13.0L - 26000) / 148000 + 2);
  else
    f = Round((100 - sampling) / 100.0L * 29) + 1;
  // Settings outside 0..100 would give a factor below 1 (a division by zero) or above 30.
  return static_cast<int32_t>(std::clamp<int64_t>(f, 1, 30));
}

// ---------------------------------------------------------------------------------------------
// NeuQuant

void TPXQuantizer::QuantizeNeural(TRGB* Palette) {
  FNeural = std::make_unique<TNeuralState>();
  TNeuralState& s = *FNeural;
  const int32_t n = FRequested;
  const int32_t width = FBitmap->Width();
  const int64_t pixels = int64_t(width) * FBitmap->Height();
  s.NetSize = n;
  s.MaxNetPos = n - 1;
  s.InitRad = n >> 3;
  s.InitRadius = s.InitRad << kRadiusBiasShift;
  s.LengthCount = pixels * 3;
  s.SampleFac = SampleFactor(pixels);
  s.Network.resize(n);
  s.Bias.assign(n, 0);
  s.Freq.assign(n, kIntBias / n);
  s.RadPower.assign(s.InitRad, 0);
  for (int32_t i = 0; i < n; ++i) {
    const int32_t v = (i << (kNetBiasShift + 8)) / n;
    s.Network[i] = {v, v, v, 0};
  }

  // Learn.
  s.AlphaDec = 30 + (s.SampleFac - 1) / 3;
  const int64_t samplePixels = s.LengthCount / (3 * int64_t(s.SampleFac));
  const int64_t delta = std::max<int64_t>(samplePixels / kCycles, 1);
  int32_t alpha = kInitAlpha;
  int32_t radius = s.InitRadius;
  int32_t rad = radius < 128 ? 0 : radius >> kRadiusBiasShift;
  s.SetRadPower(rad, alpha);
  int64_t step = kPrimes[3];
  for (int32_t prime : kPrimes)
    if (s.LengthCount % prime != 0) {
      step = prime;
      break;
    }
  int64_t p = 0;
  for (int64_t i = 0; i < samplePixels;) {
    const auto* row = static_cast<const TRGB*>(FBitmap->GetScanline(static_cast<int32_t>(p / width)));
    const TRGB& px = row[p % width];
    const int32_t b = px.b << kNetBiasShift, g = px.g << kNetBiasShift, r = px.r << kNetBiasShift;
    const int32_t j = s.Contest(b, g, r);
    s.AlterSingle(alpha, j, b, g, r);
    if (rad > 0) s.AlterNeigh(rad, j, b, g, r);
    p = (p + step) % pixels;
    if (++i % delta == 0) {
      alpha -= alpha / s.AlphaDec;
      radius -= radius / kRadiusDec;
      rad = radius < 128 ? 0 : radius >> kRadiusBiasShift;
      s.SetRadPower(rad, alpha);
    }
  }

  s.Unbias();
  for (int32_t i = 0; i < n; ++i)
    Palette[i] = TRGB{static_cast<uint8_t>(s.Network[i][0]), static_cast<uint8_t>(s.Network[i][1]),
                      static_cast<uint8_t>(s.Network[i][2])};
  s.BuildIndex();
}

void TPXQuantizer::TNeuralState::SetRadPower(int32_t rad, int32_t alpha) {
  for (int32_t j = 0; j < rad; ++j)
    RadPower[j] = alpha * (((rad * rad - j * j) * kRadBias) / (rad * rad));
}

// The neuron closest to the colour after the frequency bias; updates the biases.
int32_t TPXQuantizer::TNeuralState::Contest(int32_t b, int32_t g, int32_t r) {
  int32_t bestd = INT32_MAX, bestbiasd = INT32_MAX, bestpos = 0, bestbiaspos = 0;
  for (int32_t i = 0; i < NetSize; ++i) {
    const auto& nv = Network[i];
    const int32_t dist = std::abs(nv[0] - b) + std::abs(nv[1] - g) + std::abs(nv[2] - r);
    if (dist < bestd) {
      bestd = dist;
      bestpos = i;
    }
    const int32_t biasdist = dist - (Bias[i] >> (16 - kNetBiasShift));
    if (biasdist < bestbiasd) {
      bestbiasd = biasdist;
      bestbiaspos = i;
    }
    const int32_t betafreq = Freq[i] >> kBetaShift;
    Freq[i] -= betafreq;
    Bias[i] += betafreq << 10;
  }
  Freq[bestpos] += kBeta;
  Bias[bestpos] -= kBetaGamma;
  return bestbiaspos;
}

void TPXQuantizer::TNeuralState::AlterSingle(int32_t alpha, int32_t i, int32_t b, int32_t g, int32_t r) {
  auto& nv = Network[i];
  nv[0] -= alpha * (nv[0] - b) / kInitAlpha;
  nv[1] -= alpha * (nv[1] - g) / kInitAlpha;
  nv[2] -= alpha * (nv[2] - r) / kInitAlpha;
}

void TPXQuantizer::TNeuralState::AlterNeigh(int32_t rad, int32_t i, int32_t b, int32_t g, int32_t r) {
  const int32_t lo = std::max(i - rad, -1);
  const int32_t hi = std::min(i + rad, NetSize);
  int32_t j = i + 1, k = i - 1, q = 0;
  auto move = [&](std::array<int32_t, 4>& nv, int64_t a) {
    nv[0] -= static_cast<int32_t>(a * (nv[0] - b) / kAlphaRadBias);
    nv[1] -= static_cast<int32_t>(a * (nv[1] - g) / kAlphaRadBias);
    nv[2] -= static_cast<int32_t>(a * (nv[2] - r) / kAlphaRadBias);
  };
  while (j < hi || k > lo) {
    const int64_t a = RadPower[++q];
    if (j < hi) move(Network[j++], a);
    if (k > lo) move(Network[k--], a);
  }
}

void TPXQuantizer::TNeuralState::Unbias() {
  for (int32_t i = 0; i < NetSize; ++i) {
    for (int c = 0; c < 3; ++c)
      Network[i][c] = std::clamp((Network[i][c] + (1 << (kNetBiasShift - 1))) >> kNetBiasShift, 0, 255);
    Network[i][3] = i;
  }
}

// Sorts the network by green and indexes the middle of each run of equal green.
void TPXQuantizer::TNeuralState::BuildIndex() {
  int32_t previous = 0, start = 0;
  for (int32_t i = 0; i < NetSize; ++i) {
    int32_t smallpos = i, smallval = Network[i][1];
    for (int32_t j = i + 1; j < NetSize; ++j)
      if (Network[j][1] < smallval) {
        smallpos = j;
        smallval = Network[j][1];
      }
    if (smallpos != i) std::swap(Network[i], Network[smallpos]);
    if (smallval != previous) {
      NetIndex[previous] = (start + i) >> 1;
      for (int32_t j = previous + 1; j < smallval; ++j) NetIndex[j] = i;
      previous = smallval;
      start = i;
    }
  }
  NetIndex[previous] = (start + MaxNetPos) >> 1;
  for (int32_t j = previous + 1; j < 256; ++j) NetIndex[j] = MaxNetPos;
}

// Nearest neuron by the sum of absolute differences, searched outwards from the green index.
int32_t TPXQuantizer::TNeuralState::Search(int32_t b, int32_t g, int32_t r) const {
  int32_t bestd = 1000, best = 0;
  int32_t i = NetIndex[g], j = i - 1;
  auto consider = [&](const std::array<int32_t, 4>& nv, int32_t dist) {
    dist += std::abs(nv[0] - b);
    if (dist >= bestd) return;
    dist += std::abs(nv[2] - r);
    if (dist < bestd) {
      bestd = dist;
      best = nv[3];
    }
  };
  while (i < NetSize || j >= 0) {
    if (i < NetSize) {
      const auto& nv = Network[i];
      const int32_t dist = nv[1] - g;
      if (dist >= bestd) {
        i = NetSize;
      } else {
        ++i;
        consider(nv, std::abs(dist));
      }
    }
    if (j >= 0) {
      const auto& nv = Network[j];
      const int32_t dist = g - nv[1];
      if (dist >= bestd) {
        j = -1;
      } else {
        --j;
        consider(nv, std::abs(dist));
      }
    }
  }
  return best;
}

// ---------------------------------------------------------------------------------------------
// Box split

void TPXQuantizer::QuantizeBoxSplit(TRGB* Palette) {
  FBoxes = std::make_unique<TBoxState>();
  TBoxState& s = *FBoxes;
  const int32_t w = FBitmap->Width(), h = FBitmap->Height();
  TBox& first = s.Boxes[0];
  for (int32_t y = 0; y < h; ++y) {
    const auto* row = static_cast<const TRGB*>(FBitmap->GetScanline(y));
    for (int32_t x = 0; x < w; ++x) {
      const TRGB& c = row[x];
      ++s.Histogram[CellOf(c)];
      ++first.Hist[0][c.r >> 3];
      ++first.Hist[1][c.g >> 3];
      ++first.Hist[2][c.b >> 3];
    }
  }
  s.Total = uint64_t(w) * h;
  s.Wanted = FRequested;
  first.Count = static_cast<uint32_t>(s.Total);
  for (int k = 0; k < 3; ++k) first.Hi[k] = kBins;
  s.Stats(first);

  int32_t i = 1;
  while (i < FRequested) {
    int32_t pick = -1;
    double best = 0;
    for (int32_t b = 0; b < i; ++b)
      if (s.Boxes[b].Error > best) {
        best = s.Boxes[b].Error;
        pick = b;
      }
    if (pick < 0) break;
    if (s.Split(pick, i)) ++i;
    else s.Boxes[pick].Error = 0;
  }
  s.Made = i;

  for (int32_t b = 0; b < s.Made; ++b) {
    const TBox& box = s.Boxes[b];
    Palette[b] = TRGB{static_cast<uint8_t>(Round(box.Mean[2]) << 3), static_cast<uint8_t>(Round(box.Mean[1]) << 3),
                      static_cast<uint8_t>(Round(box.Mean[0]) << 3)};
    for (int r = box.Lo[0]; r < box.Hi[0]; ++r)
      for (int g = box.Lo[1]; g < box.Hi[1]; ++g)
        std::memset(&s.Map[(r << 10) | (g << 5) | box.Lo[2]], b, box.Hi[2] - box.Lo[2]);
  }
}

// Mean per channel and the summed variance, relative to the picture's pixel count.
void TPXQuantizer::TBoxState::Stats(TBox& box) const {
  double error = 0;
  for (int k = 0; k < 3; ++k) {
    double s1 = 0, s2 = 0;
    for (int j = box.Lo[k]; j < box.Hi[k]; ++j) {
      s1 += double(j) * box.Hist[k][j];
      s2 += double(j) * j * box.Hist[k][j];
    }
    const double mean = box.Count ? s1 / box.Count : 0;
    box.Mean[k] = mean;
    error += s2 - box.Count * mean * mean;
  }
  box.Error = Total ? error / double(Total) : 0;
}

bool TPXQuantizer::TBoxState::SplitAlong(const TBox& box, int k, TBox& lower, TBox& upper) const {
  const int32_t lo = box.Lo[k], hi = box.Hi[k];
  if (hi <= lo + 1) return false;
  const uint32_t n = box.Count;
  const double m = box.Mean[k];
  const int32_t s = static_cast<int32_t>(Round((lo + m) / 2));
  const int32_t t = std::min(static_cast<int32_t>(Round((m + hi) / 2)), hi - 1);
  uint64_t sum = 0;
  for (int32_t e = lo; e < s; ++e) sum += box.Hist[k][e];
  double total = 0, best = -1;
  int32_t split = -1;
  uint64_t lowerCount = n;
  for (int32_t e = s; e <= t; ++e) {
    sum += box.Hist[k][e];
    if (sum >= n) break;
    total += double(box.Hist[k][e]) * e / n;
    const double crit = double(sum) / double(n - sum) * (m - total) * (m - total);
    if (crit > best) {
      best = crit;
      split = e;
      lowerCount = sum;
    }
  }
  if (split < 0 || lowerCount == 0 || lowerCount >= n) return false;
  lower = box;
  upper = box;
  lower.Count = static_cast<uint32_t>(lowerCount);
  upper.Count = n - lower.Count;
  lower.Hi[k] = static_cast<uint8_t>(split + 1);
  upper.Lo[k] = static_cast<uint8_t>(split + 1);
  // The lower half's channel histograms from its cube cells; the upper keeps the rest.
  std::memset(lower.Hist, 0, sizeof lower.Hist);
  for (int r = lower.Lo[0]; r < lower.Hi[0]; ++r)
    for (int g = lower.Lo[1]; g < lower.Hi[1]; ++g)
      for (int b = lower.Lo[2]; b < lower.Hi[2]; ++b) {
        const uint32_t c = Histogram[(r << 10) | (g << 5) | b];
        if (!c) continue;
        lower.Hist[0][r] += c;
        lower.Hist[1][g] += c;
        lower.Hist[2][b] += c;
        upper.Hist[0][r] -= c;
        upper.Hist[1][g] -= c;
        upper.Hist[2][b] -= c;
      }
  for (TBox* half : {&lower, &upper}) {
    for (int c = 0; c < 3; ++c) {
      int a = half->Lo[c], z = half->Hi[c];
      while (a < z && !half->Hist[c][a]) ++a;
      while (z > a && !half->Hist[c][z - 1]) --z;
      half->Lo[c] = static_cast<uint8_t>(a);
      half->Hi[c] = static_cast<uint8_t>(z);
    }
    Stats(*half);
  }
  return true;
}

// Splits box `which` along the channel whose halves have the smallest summed error; the lower
// half stays in place, the upper becomes box `into`.
bool TPXQuantizer::TBoxState::Split(int32_t which, int32_t into) {
  const TBox& box = Boxes[which];
  if (box.Error <= 0 || box.Count == 0) return false;
  TBox bestLower, bestUpper, lower, upper;
  double bestCost = 0;
  bool found = false;
  for (int k = 0; k < 3; ++k) {
    if (!SplitAlong(box, k, lower, upper)) continue;
    const double cost = lower.Error + upper.Error;
    if (!found || cost < bestCost) {
      found = true;
      bestCost = cost;
      bestLower = lower;
      bestUpper = upper;
    }
  }
  if (!found) return false;
  Boxes[which] = bestLower;
  Boxes[into] = bestUpper;
  return true;
}
