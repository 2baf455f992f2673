#include <cmath>
#include <cstdint>
#include <ctime>
#include <limits>

#include "platform/rtl/System.h"

namespace {

// Converts an integral-valued long double to int64, saturating; NaN gives 0.
int64_t Saturate64(long double v) {
  if (std::isnan(v)) return 0;
  constexpr long double lo = -9223372036854775808.0L;  // -2^63, exact
  constexpr long double hi = 9223372036854775808.0L;   // 2^63, exact
  if (v <= lo) return std::numeric_limits<int64_t>::min();
  if (v >= hi) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(v);
}

int32_t Narrow32(int64_t v) {
  if (v < INT32_MIN) return INT32_MIN;
  if (v > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(v);
}

}  // namespace

int64_t Round(long double v) { return Saturate64(std::nearbyint(v)); }
int64_t Trunc(long double v) { return Saturate64(std::trunc(v)); }
int64_t Floor(long double v) { return Saturate64(std::floor(v)); }
int64_t Ceil(long double v) { return Saturate64(std::ceil(v)); }
int32_t Round32(long double v) { return Narrow32(Round(v)); }
int32_t Trunc32(long double v) { return Narrow32(Trunc(v)); }

uint32_t RandSeed = 0;

int32_t Random(int32_t range) {
  RandSeed = RandSeed * 134775813u + 1u;
  return static_cast<int32_t>((static_cast<uint64_t>(RandSeed) * static_cast<uint32_t>(range)) >> 32);
}

double Random() {
  RandSeed = RandSeed * 134775813u + 1u;
  return static_cast<double>(RandSeed) / 4294967296.0;
}

void Randomize() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  RandSeed = static_cast<uint32_t>(ts.tv_sec * 1000u + ts.tv_nsec / 1000000u);
}
