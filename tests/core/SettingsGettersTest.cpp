// The settings object's getters that depend on other parts of the library.
#include <gtest/gtest.h>

#include "core/pxsettings.h"
#include "mview/dovevodi.h"

namespace {

TEST(SettingsGetters, CustomColorsDefaultExactly) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  s->FCustomColors.clear();
  std::string text;
  s->GetCustomColors(text);
  EXPECT_EQ(text,
            "ColorA=D670DA\r\nColorB=8B3D48\r\nColorC=FF901E\r\nColorD=ED9564\r\nColorE=EBCE87\r\nColorF=908070\r\n"
            "ColorG=4F4F2F\r\nColorH=2F6B55\r\nColorI=008080\r\nColorJ=7FFF00\r\nColorK=00FC7C\r\nColorL=32CD9A\r\n"
            "ColorM=B9DAFF\r\nColorN=00D7FF\r\nColorO=20A5DA\r\nColorP=1E69D2");
}

TEST(SettingsGetters, CameraRawEngineAsksForTheCompanionLibrary) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  s->FCameraRawEngine = 0;
  EXPECT_EQ(s->GetCameraRawEngine(), 2);  // no companion library on this machine
  SetCompanionLibraryProbe([] { return true; });
  EXPECT_EQ(s->GetCameraRawEngine(), 1);
  SetCompanionLibraryProbe(nullptr);  // nothing registered: no library either
  EXPECT_EQ(s->GetCameraRawEngine(), 2);
  s->FCameraRawEngine = 3;
  EXPECT_EQ(s->GetCameraRawEngine(), 3);
  s->FCameraRawEngine = 0;
  RegisterVisionLibrary();  // as the test main left it
  UnloadVisionLibrary();
  s->FVisionLog.clear();
}

}  // namespace
