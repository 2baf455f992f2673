// The settings object: one instance, its defaults, and its small getters.
#include <gtest/gtest.h>

#include "core/pxsettings.h"

namespace {

class Settings : public ::testing::Test {
 protected:
  void SetUp() override { FreeGlobalSettings(); }
  void TearDown() override { FreeGlobalSettings(); }
};

TEST_F(Settings, OneInstanceRebuiltAfterFree) {
  TPXPixoranGlobalSettings* a = GlobalSettingsInstance();
  EXPECT_EQ(GlobalSettingsInstance(), a);
  a->FDefaultDPIX = 72;
  FreeGlobalSettings();
  EXPECT_EQ(GlobalSettingsInstance()->FDefaultDPIX, 300);
}

TEST_F(Settings, Defaults) {
  const TPXPixoranGlobalSettings& s = *GlobalSettingsInstance();
  EXPECT_EQ(s.FBitmapMemoryLimit, -1);
  EXPECT_EQ(s.FFileFallback, 1);
  EXPECT_EQ(s.FSegmentedMemory, 1);
  EXPECT_EQ(s.FProcessorCoreCount, -1);
  EXPECT_EQ(s.FDefaultDPIX, 300);
  EXPECT_EQ(s.FDefaultDPIY, 300);
  EXPECT_EQ(s.FGrayWeightRed, 21);
  EXPECT_EQ(s.FGrayWeightGreen, 71);
  EXPECT_EQ(s.FGrayWeightBlue, 8);
  EXPECT_EQ(s.FDefaultResampleFilter, static_cast<uint8_t>(rfFastLinear));
  EXPECT_EQ(s.FPreviewBackgroundColor, static_cast<TColor>(0xFF00000F));
  EXPECT_EQ(s.FWindowsVersion, 10);
  EXPECT_EQ(s.FWindowsNT, 1);
  EXPECT_EQ(s.FScreenDPIX, 96);
  EXPECT_EQ(s.FMaxThreads, 4);
  EXPECT_EQ(s.FMultiThreadMinPixels, 65536);
  EXPECT_EQ(s.FJpeg2000MemoryLimit, 300000000);
  EXPECT_EQ(s.FQuantizerMethod, -1);
  EXPECT_EQ(s.FCMYKProfileConversion, 1);
  EXPECT_EQ(s.FDisplayICC, 1);
  EXPECT_EQ(s.FVideoExtensions, "mpg,mpeg,wmv,avi");
  EXPECT_EQ(s.FAnnotationsTiffTag, 40101);
  EXPECT_EQ(s.FUnitNames[10], "miles");
  EXPECT_EQ(s.FTextShortcuts[0], 0x4000 | 'L');
  EXPECT_EQ(s.FTextShortcuts[11], 0x4000 | 'G');
  ASSERT_NE(s.FIOParamDefaults, nullptr);
  EXPECT_EQ(s.FIOParamDefaults->JpegQuality, 80);
  EXPECT_EQ(s.FIOParamDefaults->RawQuickInterpolate, 1);
  EXPECT_EQ(s.FWordTransitionParams->FontName, "Arial");
  EXPECT_EQ(s.FWordTransitionParams->MaxHeight, 200);
  EXPECT_EQ(s.FHintStyle->Opacity, 128);
  ASSERT_NE(s.FGridPen, nullptr);
  EXPECT_EQ(s.FGIFLZWCompress, nullptr);
}

TEST_F(Settings, CustomColors) {
  std::string text;
  GlobalSettingsInstance()->GetCustomColors(text);
  EXPECT_EQ(text.rfind("ColorA=D670DA\r\nColorB=8B3D48\r\n", 0), 0u);
  EXPECT_EQ(text.size(), 16 * 13 + 15 * 2);
  EXPECT_EQ(text.substr(text.size() - 13), "ColorP=1E69D2");
  GlobalSettingsInstance()->FCustomColors = "mine";
  GlobalSettingsInstance()->GetCustomColors(text);
  EXPECT_EQ(text, "mine");
}

TEST_F(Settings, DialogHeaderStyleNeedsAPictureForStyleThree) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  s->FDialogHeaderStyle = 3;
  EXPECT_EQ(s->GetDialogHeaderStyle(), 0);
  s->FDialogHeaderPicture = std::make_unique<TBitmap>(4, 2);
  EXPECT_EQ(s->GetDialogHeaderStyle(), 3);
  s->FDialogHeaderStyle = 1;
  s->FDialogHeaderPicture.reset();
  EXPECT_EQ(s->GetDialogHeaderStyle(), 1);
  s->FLanguage = 1;
  EXPECT_TRUE(s->IsEnglishLanguage());
  s->FLanguage = 2;
  EXPECT_FALSE(s->IsEnglishLanguage());
}

}  // namespace
