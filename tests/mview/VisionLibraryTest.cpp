// The companion library loader: lookups by name, the creation export, the version check and
// the log it keeps in the settings.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

#include "core/hypxutils_startup.h"
#include "core/pxsettings.h"
#include "mview/dovevodi.h"

namespace {

const char kOneFailedRequest[] =
    "PXLib Initialization...\r\nlibdovevodi.so: 0\r\nlibdovevodi32.so: 0\r\nlibpxlib.so: 0\r\nlibpxlib32.so: 0\r\n";

class VisionLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    UnloadVisionLibrary();
    Log().clear();
  }
  void TearDown() override {
    UnloadVisionLibrary();
    GlobalSettingsInstance()->FCameraRawEngine = 0;
    Log().clear();
  }
  static std::string& Log() { return GlobalSettingsInstance()->FVisionLog; }
};

TEST_F(VisionLibrary, MissingLibraryIsRetriedOnEveryRequest) {
  EXPECT_EQ(GetVisionLibrary(), nullptr);
  EXPECT_EQ(Log(), kOneFailedRequest);
  EXPECT_FALSE(VisionLibraryReady());
  EXPECT_EQ(Log(), std::string(kOneFailedRequest) + kOneFailedRequest);
  // The settings resolve the camera-raw engine 0 to 2 without the library; others stay.
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  EXPECT_EQ(s->GetCameraRawEngine(), 2);
  s->FCameraRawEngine = 3;
  EXPECT_EQ(s->GetCameraRawEngine(), 3);
  // The log stops growing once past 2000 characters.
  for (int i = 0; i < 100; ++i) GetVisionLibrary();
  const size_t full = Log().size();
  EXPECT_GT(full, 2000u);
  EXPECT_LE(full, 2000u + 40);
  GetVisionLibrary();
  EXPECT_EQ(Log().size(), full);
}

TEST_F(VisionLibrary, LibraryWithoutTheCreationExportIsUnloaded) {
  LoadVisionLibrary("libz.so.1");
  EXPECT_EQ(Log().find("PXLib Initialization...\r\nlibz.so.1: "), 0u);
  EXPECT_EQ(Log().find("libz.so.1: 0\r\n"), std::string::npos);  // it was loaded...
  EXPECT_NE(Log().find("PXLib Version: \r\nPXLib Create: FAILED\r\n"), std::string::npos);  // ...and dropped
  Log().clear();
  EXPECT_EQ(GetVisionLibrary(), nullptr);  // nothing kept: the next request loads again
  EXPECT_EQ(Log(), kOneFailedRequest);
}

TEST_F(VisionLibrary, CompanionWithoutFileVersionIsNotReady) {
  void* keep = dlopen(PX_FAKE_COMPANION, RTLD_NOW);  // keeps the module for reading its counter
  ASSERT_NE(keep, nullptr);
  auto references = reinterpret_cast<int (*)()>(dlsym(keep, "pxfake_references"));
  ASSERT_NE(references, nullptr);

  LoadVisionLibrary(PX_FAKE_COMPANION);
  EXPECT_NE(Log().find("PXLib Create: ok\r\n"), std::string::npos);
  TPXLib* lib = GetVisionLibrary();
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(references(), 1);
  Log().clear();
  EXPECT_EQ(GetVisionLibrary(), lib);  // loaded once
  EXPECT_TRUE(Log().empty());

  // This platform has no version resources, so the file version never matches.
  EXPECT_FALSE(VisionLibraryReady());
  EXPECT_EQ(Log(),
            "Version MISMATCH\r\nPXLib Expected Version: 5.1.1.0\r\nPXLib File Version: \r\n"
            "PXLib DLL Version: 5.1.1.0\r\n");
  EXPECT_EQ(references(), 1);  // the version object was released
  EXPECT_EQ(GlobalSettingsInstance()->GetCameraRawEngine(), 1);

  LoadVisionLibrary(PX_FAKE_COMPANION, true);  // reload: released, then created again
  EXPECT_EQ(references(), 1);
  UnloadVisionLibrary();
  EXPECT_EQ(references(), 0);

  // The library's tear-down slot unloads it too.
  LoadVisionLibrary(PX_FAKE_COMPANION);
  EXPECT_EQ(references(), 1);
  const TPXLibraryStepProc slot = RegisterLibrarySlot(lsUnloadVisionLibrary, nullptr);
  RegisterLibrarySlot(lsUnloadVisionLibrary, slot);
  ASSERT_NE(slot, nullptr);  // filled by RegisterVisionLibrary
  slot();
  EXPECT_EQ(references(), 0);
  dlclose(keep);
}

}  // namespace
