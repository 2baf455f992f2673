// Small helpers shared by the processing tests: a bitmap allocated or failing the test, noise
// to fill one, and a fixture that lets every picture be cut into bands.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"

inline std::unique_ptr<TPXBitmap> Make(int w, int h, TPXPixelFormat f) {
  auto b = std::make_unique<TPXBitmap>();
  EXPECT_TRUE(b->Allocate(w, h, f));
  return b;
}

// Deterministic noise in every byte of every row.
inline void FillNoise(TPXBitmap* b, uint32_t seed) {
  const int bytes = static_cast<int>((static_cast<int64_t>(b->Width()) * b->BitCount() + 7) / 8);
  for (int y = 0; y < b->Height(); ++y) {
    uint8_t* row = b->Scanline(y);
    for (int i = 0; i < bytes; ++i) {
      seed = seed * 1103515245u + 12345u;
      row[i] = static_cast<uint8_t>(seed >> 16);
    }
  }
}

// Bands for every picture on an eight-core machine; the thread limit is the test's, and all three
// settings are restored afterwards.
class ProcThreadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
    savedMax_ = s->FMaxThreads, savedMin_ = s->FMultiThreadMinPixels, savedCores_ = s->FProcessorCoreCount;
    s->FMultiThreadMinPixels = 0;
    s->FProcessorCoreCount = 8;
  }
  void TearDown() override {
    TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
    s->FMaxThreads = savedMax_, s->FMultiThreadMinPixels = savedMin_, s->FProcessorCoreCount = savedCores_;
  }
  static void SetThreads(int n) { GlobalSettingsInstance()->FMaxThreads = n; }

  int32_t savedMax_ = 0, savedCores_ = 0;
  int64_t savedMin_ = 0;
};
