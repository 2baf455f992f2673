// The shared main of every test program: a fixed, headless environment.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "platform/rtl/Startup.h"
#include "tests/common/TestSupport.h"

// Defined by the image library's test programs only (LibraryTestHooks.cpp): the library's
// start-up and tear-down around the tests.
void TestLibraryStartup() __attribute__((weak));
void TestLibraryShutdown() __attribute__((weak));

namespace {
uint64_t g_fake_ticks = 0;
uint64_t FakeTicks() { return g_fake_ticks; }
}  // namespace

void TestClock::Install(uint64_t start) { g_fake_ticks = start; SetTickSource(&FakeTicks); }
void TestClock::Advance(uint64_t ms) { g_fake_ticks += ms; }
void TestClock::Remove() { SetTickSource(nullptr); }

std::string TestDataPath(std::string_view name) { return std::string(PX_TEST_DATA_DIR) + "/" + std::string(name); }

std::string TestTempDir::Make() {
  std::string tmpl = GetTempDir() + "pxtest-XXXXXX";
  if (!mkdtemp(tmpl.data())) return {};
  return tmpl + "/";
}

int main(int argc, char** argv) {
  // Headless and reproducible: offscreen windows, the C locale, a fixed random seed.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("LC_ALL", "C", 1);
  setenv("TZ", "UTC", 1);
  std::setlocale(LC_ALL, "C");
  RandSeed = 0x5EED;
  ::testing::InitGoogleTest(&argc, argv);
  RtlStartup();
  if (TestLibraryStartup) TestLibraryStartup();
  int result = RUN_ALL_TESTS();
  if (TestLibraryShutdown) TestLibraryShutdown();
  RtlShutdown();
  return result;
}
