// The library's counted start-up and tear-down, the order of their steps, and the small shared
// resources of the utilities (cosine ramp, gestures, gradient fill).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/hypxutils_startup.h"
#include "core/pxsettings.h"
#include "core/pxwords.h"

namespace {

std::vector<std::string> g_record;
bool g_settings_alive_through_15 = true;

void Observe(bool StartUp, int32_t Step) {
  g_record.push_back((StartUp ? "S" : "F") + std::to_string(Step));
  if (!StartUp && Step <= 15 && !GlobalSettingsAssigned()) g_settings_alive_through_15 = false;
  if (!StartUp && Step == 16) g_record.push_back(GlobalSettingsAssigned() ? "settings alive" : "settings freed");
}

template <int N>
void Fake() {
  static const char* const names[PXLibrarySlotCount] = {
      "gdiplus",     "vect",       "textmemo", "iosupport", "processing", "viewstatics", "ccitt",   "-ccitt",
      "-viewstatics", "-processing", "-iosupport", "-vect",    "-jpeg2000",  "-gdiplus",    "-vision", "-magick"};
  g_record.push_back(names[N]);
}

void Raise() { throw EPXException("step failed"); }
void Reenter() { StaticInitialize(); }

// Takes the library down (the test main started it), puts recording fakes in every slot, and
// restores both afterwards.
class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    outer_ = GetStaticInitCount();
    for (int i = 0; i < outer_; ++i) StaticFinalize();
    ASSERT_EQ(GetStaticInitCount(), 0);
    Install<0>();
    SetLibraryStepObserver(&Observe);
    g_record.clear();
    g_settings_alive_through_15 = true;
  }
  void TearDown() override {
    while (GetStaticInitCount() > 0) StaticFinalize();
    SetLibraryStepObserver(nullptr);
    for (int i = 0; i < PXLibrarySlotCount; ++i) RegisterLibrarySlot(static_cast<TPXLibrarySlot>(i), saved_[i]);
    for (int i = 0; i < outer_; ++i) StaticInitialize();
  }
  template <int N>
  void Install() {
    if constexpr (N < PXLibrarySlotCount) {
      saved_[N] = RegisterLibrarySlot(static_cast<TPXLibrarySlot>(N), &Fake<N>);
      Install<N + 1>();
    }
  }

  int outer_ = 0;
  TPXLibraryStepProc saved_[PXLibrarySlotCount] = {};
};

TEST_F(Startup, StepsRunOnceInTheirFixedOrder) {
  StaticInitialize();
  StaticInitialize();  // counted: the list does not run again
  const std::vector<std::string> startUp = {
      "S1", "gdiplus", "S2", "S3", "S4", "vect", "S5", "textmemo", "S6", "S7", "iosupport", "S8", "processing",
      "S9", "viewstatics", "S10", "ccitt", "S11"};
  EXPECT_EQ(g_record, startUp);
  EXPECT_EQ(GetStaticInitCount(), 2);
  EXPECT_NE(GlobalSettingsAssigned(), nullptr);

  g_record.clear();
  StaticFinalize();  // one release left: everything keeps running
  EXPECT_TRUE(g_record.empty());
  EXPECT_EQ(GetStaticInitCount(), 1);
  EXPECT_NE(GlobalSettingsAssigned(), nullptr);

  StaticFinalize();
  const std::vector<std::string> tearDown = {
      "F1",  "F2",  "-ccitt",    "F3",  "-viewstatics", "F4",  "-processing", "F5",  "F6",
      "-iosupport", "F7", "F8",  "-vect", "F9",  "-jpeg2000", "F10", "F11", "F12", "-gdiplus",
      "F13", "-vision", "F14", "-magick", "F15", "F16", "settings freed"};
  EXPECT_EQ(g_record, tearDown);
  EXPECT_TRUE(g_settings_alive_through_15);
  EXPECT_EQ(GetStaticInitCount(), 0);
  EXPECT_EQ(LoadedWordLanguage(), PXNoWordLanguage);

  g_record.clear();
  StaticFinalize();  // nothing started: nothing happens
  EXPECT_TRUE(g_record.empty());
  EXPECT_EQ(GetStaticInitCount(), 0);
}

TEST_F(Startup, EmptySlotsAreSkipped) {
  RegisterLibrarySlot(lsInitIOSupport, nullptr);
  StaticInitialize();
  EXPECT_EQ(g_record[10], "S8");  // S7 ran, its empty slot did not
  EXPECT_EQ(g_record[9], "S7");
}

TEST_F(Startup, RaisingStepPropagatesWithTheCountUnchanged) {
  RegisterLibrarySlot(lsInitIOSupport, &Raise);
  EXPECT_THROW(StaticInitialize(), EPXException);
  EXPECT_EQ(GetStaticInitCount(), 0);
  EXPECT_EQ(g_record.back(), "S7");
  // A step that calls back in is refused instead of dead-locking.
  RegisterLibrarySlot(lsInitIOSupport, &Reenter);
  EXPECT_THROW(StaticInitialize(), EPXException);
  EXPECT_EQ(GetStaticInitCount(), 0);
  RegisterLibrarySlot(lsInitIOSupport, nullptr);
  StaticInitialize();
  EXPECT_EQ(GetStaticInitCount(), 1);
}

TEST_F(Startup, UtilitiesResources) {
  CosineRamp.fill(-1);
  StaticInitialize();
  const std::pair<int, int> ramp[] = {{0, 0}, {1, 0}, {64, 19}, {128, 64}, {255, 128}};
  for (auto [i, v] : ramp) EXPECT_EQ(CosineRamp[i], v) << i;
  for (int i = 1; i < 256; ++i) EXPECT_GE(CosineRamp[i], CosineRamp[i - 1]);
  EXPECT_FALSE(GestureApiAvailable());  // no gesture API on this platform

  // A horizontal and a vertical gradient from red to blue.
  for (bool vertical : {false, true}) {
    TBitmap bmp(64, 64);
    ASSERT_TRUE(GradientFillRect(bmp.Canvas(), TRect(0, 0, 64, 64), clRed, clBlue, vertical));
    const TColor first = bmp.Canvas()->Pixels(0, 0);
    const TColor last = vertical ? bmp.Canvas()->Pixels(0, 63) : bmp.Canvas()->Pixels(63, 0);
    const TColor across = vertical ? bmp.Canvas()->Pixels(63, 0) : bmp.Canvas()->Pixels(0, 63);
    EXPECT_GE(first & 0xFF, 0xF0u);
    EXPECT_GE((last >> 16) & 0xFF, 0xF0u);
    EXPECT_EQ(across, first);  // constant across the gradient's direction
  }
  EXPECT_FALSE(GradientFillRect(nullptr, TRect(0, 0, 1, 1), clRed, clBlue, false));
}

}  // namespace
