// The shell and system information: open requests (logged, not carried out, in tests), file
// types and icons, the language ids and names, the version.
#include <gtest/gtest.h>

#include <fstream>

#include <unistd.h>

#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/ShellApi.h"
#include "tests/common/TestSupport.h"

namespace {

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override { TDialogScript::Start(); }
  void TearDown() override { TDialogScript::Stop(); }
  TestTempDir dir;
};

}  // namespace

TEST_F(ShellTest, OpenRequestsAreCheckedAndLogged) {
  std::ofstream(dir.File("doc 1.txt")) << "x";
  const struct {
    const char* verb;
    std::string file;
    const char* directory;
    intptr_t error;       // 0: success
    std::string address;  // what is opened
  } cases[] = {
      {"open", "https://example.com/a b?q=1", nullptr, 0, "https://example.com/a%20b?q=1"},
      {nullptr, "www.example.org", nullptr, 0, "http://www.example.org"},
      {"Open", "mailto:someone@example.com", nullptr, 0, "mailto:someone@example.com"},
      {"open", "doc 1.txt", dir.Path().c_str(), 0, "file://" + dir.Path() + "doc%201.txt"},
      {"explore", dir.Path(), nullptr, 0, "file://" + dir.Path()},
      {"open", dir.File("missing.txt"), nullptr, SE_ERR_FNF, ""},
      {"open", "file://" + dir.File("missing.txt"), nullptr, SE_ERR_FNF, ""},
      {"open", "", nullptr, SE_ERR_FNF, ""},
      {"print", dir.File("doc 1.txt"), nullptr, SE_ERR_NOASSOC, ""},
  };
  for (const auto& c : cases) {
    TDialogScript::Start();
    const intptr_t r = ShellExecute(nullptr, c.verb, c.file.c_str(), nullptr, c.directory, 1);
    const auto shown = TDialogScript::Shown();
    if (c.error) {
      EXPECT_EQ(r, c.error) << c.file;
      EXPECT_TRUE(shown.empty()) << c.file;
    } else {
      EXPECT_GT(r, 32) << c.file;
      ASSERT_EQ(shown.size(), 1u) << c.file;
      EXPECT_EQ(shown[0].Kind, "ShellExecute");
      EXPECT_EQ(shown[0].Text, c.address);
    }
  }

  SHELLEXECUTEINFO info;
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_FLAG_DDEWAIT;
  info.lpVerb = "Open";
  info.lpFile = "https://example.com/";
  EXPECT_FALSE(ShellExecuteEx(&info)) << "cbSize not set";
  info.cbSize = sizeof info;
  EXPECT_TRUE(ShellExecuteEx(&info));
  EXPECT_GT(info.hInstApp, 32);
  info.lpFile = "/no/such/file.htm";
  EXPECT_FALSE(ShellExecuteEx(&info));
  EXPECT_EQ(info.hInstApp, SE_ERR_FNF);
}

TEST_F(ShellTest, FileTypeNamesAndDisplayNames) {
  // A PNG signature in a file without extension: the content decides.
  std::ofstream(dir.File("picture"), std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  SHFILEINFO info;
  ASSERT_NE(SHGetFileInfo(dir.File("picture").c_str(), 0, &info, sizeof info, SHGFI_TYPENAME | SHGFI_DISPLAYNAME), 0u);
  EXPECT_STREQ(info.szTypeName, "PNG image");
  EXPECT_STREQ(info.szDisplayName, "picture");
  EXPECT_EQ(info.hIcon, nullptr) << "not asked for";

  // By name only.
  SHFILEINFO byName;
  ASSERT_NE(SHGetFileInfo("/nowhere/photo.JPG", FILE_ATTRIBUTE_NORMAL, &byName, sizeof byName,
                          SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES),
            0u);
  EXPECT_STREQ(byName.szTypeName, "JPEG image");
  SHFILEINFO folder;
  ASSERT_NE(SHGetFileInfo("/nowhere/x", FILE_ATTRIBUTE_DIRECTORY, &folder, sizeof folder,
                          SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES),
            0u);
  EXPECT_STREQ(folder.szTypeName, "folder");

  SHFILEINFO none;
  EXPECT_EQ(SHGetFileInfo(dir.File("missing.png").c_str(), 0, &none, sizeof none, SHGFI_TYPENAME), 0u);
  EXPECT_EQ(SHGetFileInfo("", 0, &none, sizeof none, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES), 0u);
  EXPECT_EQ(SHGetFileInfo("x.png", 0, &none, sizeof none - 1, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES), 0u);
  EXPECT_EQ(SHGetFileInfo("x.png", 0, &none, sizeof none, SHGFI_PIDL | SHGFI_TYPENAME), 0u);
  EXPECT_STREQ(none.szTypeName, "");
}

TEST_F(ShellTest, FileTypeIconsFromTheIconTheme) {
  if (access("/usr/share/icons/Adwaita/index.theme", R_OK) != 0 && access("/usr/share/icons/hicolor/index.theme", R_OK) != 0)
    GTEST_SKIP() << "no icon theme installed";
  if (!FormsStarted()) FormsStartup();  // icons need the toolkit
  for (const auto& [flags, size] : {std::pair<UINT, int32_t>{SHGFI_ICON, 32}, {SHGFI_ICON | SHGFI_SMALLICON, 16}}) {
    SHFILEINFO info;
    ASSERT_NE(SHGetFileInfo("holiday.png", FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags | SHGFI_USEFILEATTRIBUTES),
              0u);
    ASSERT_NE(info.hIcon, nullptr) << size;
    int32_t w = 0, h = 0;
    EXPECT_TRUE(GetIconSize(info.hIcon, &w, &h));
    EXPECT_EQ(w, size);
    EXPECT_EQ(h, size);
    EXPECT_TRUE(DestroyIcon(info.hIcon));
  }
  SHFILEINFO folder;
  ASSERT_NE(SHGetFileInfo(dir.Path().c_str(), 0, &folder, sizeof folder, SHGFI_ICON), 0u);
  EXPECT_NE(folder.hIcon, nullptr);
  DestroyIcon(folder.hIcon);
}

TEST_F(ShellTest, LanguageIds) {
  const struct {
    const char* locale;
    LANGID id;
  } cases[] = {
      {"C", 0x0409},     {"en_US", 0x0409}, {"en_GB", 0x0809},      {"de_DE", 0x0407}, {"de_AT", 0x0C07},
      {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"fr_FR", 0x040C},      {"it_IT", 0x0410}, {"nl_NL", 0x0413},
      {"pt_BR", 0x0416}, {"pt_PT", 0x0816}, {"el_GR", 0x0408},      {"ru_RU", 0x0419}, {"sv_SE", 0x041D},
      {"pl_PL", 0x0415}, {"ja_JP", 0x0411}, {"cs_CZ", 0x0405},      {"fi_FI", 0x040B}, {"fa_IR", 0x0429},
      {"zh_CN", 0x0804}, {"zh_TW", 0x0404}, {"zh_HK", 0x0C04},      {"da_DK", 0x0406}, {"tr_TR", 0x041F},
      {"ko_KR", 0x0412}, {"hu_HU", 0x040E}, {"ar_SA", 0x0401},      {"sr_RS", 0x281A}, {"sr_Latn_RS", 0x241A},
      {"hr_HR", 0x041A}, {"nb_NO", 0x0414}, {"nn_NO", 0x0814},      {"uk_UA", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(LangIDFromLocaleName(c.locale), c.id) << c.locale;
  // The tests run in the "C" locale.
  EXPECT_EQ(GetUserDefaultLangID(), 0x0409);
  EXPECT_EQ(GetSystemDefaultLangID(), 0x0409);
  EXPECT_EQ(GetThreadLocale(), 0x0409u);
  EXPECT_EQ(PRIMARYLANGID(0x0804), 0x04);
  EXPECT_EQ(SUBLANGID(0x0804), 2);
}

TEST_F(ShellTest, LocaleInfo) {
  char buf[19];
  EXPECT_EQ(GetLocaleInfo(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, buf, sizeof buf), 8);
  EXPECT_STREQ(buf, "English");
  const struct {
    LCID id;
    LCTYPE type;
    const char* text;
  } cases[] = {
      {0x0407, LOCALE_SENGLANGUAGE, "German"},   {0x040C, LOCALE_SENGLANGUAGE, "French"},
      {0x0C0A, LOCALE_SENGLANGUAGE, "Spanish"},  {0x0413, LOCALE_SENGLANGUAGE, "Dutch"},
      {0x0410, LOCALE_SENGLANGUAGE, "Italian"},  {0x0804, LOCALE_SISO639LANGNAME, "zh"},
      {0x0804, LOCALE_SISO3166CTRYNAME, "CN"},   {0x0407, LOCALE_SNATIVELANGNAME, "Deutsch"},
      {0x0809, LOCALE_SENGCOUNTRY, "United Kingdom"},
  };
  for (const auto& c : cases) {
    char text[64];
    EXPECT_GT(GetLocaleInfo(c.id, c.type, text, sizeof text), 0) << c.id;
    EXPECT_STREQ(text, c.text);
  }
  EXPECT_EQ(GetLocaleInfo(0x0407, LOCALE_SENGLANGUAGE, nullptr, 0), 7) << "the size needed";
  EXPECT_EQ(GetLocaleInfo(0x0407, LOCALE_SENGLANGUAGE, buf, 6), 0) << "too small";
  EXPECT_EQ(GetLocaleInfo(0x0422, LOCALE_SENGLANGUAGE, buf, sizeof buf), 0) << "not a language here";
  EXPECT_EQ(GetLocaleInfo(0x0407, 0x9999, buf, sizeof buf), 0);
}

TEST_F(ShellTest, Version) {
  OSVERSIONINFO v;
  ASSERT_TRUE(GetVersionEx(&v));
  EXPECT_EQ(v.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
  EXPECT_EQ(v.dwMajorVersion, 10u);
  EXPECT_EQ(v.dwMinorVersion, 0u);
  v.dwOSVersionInfoSize = 20;
  EXPECT_FALSE(GetVersionEx(&v));
}
