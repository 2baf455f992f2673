// Language files applied to a plain form of standard controls: the key rules, the kinds of
// property set and skipped, list values, the cut of long values, the conversion error; the
// message texts; the system language; the program's folder; opening an address.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "app/MLFunctions.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/TypInfo.h"
#include "tests/common/TestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

class LanguageFileTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    MakeForm();
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }

  // A fresh form of standard controls, each with its design text.
  void MakeForm() {
    form_.reset();
    form_ = NewForm();
    form_->SetName("FrmTest");
    form_->SetCaption("Design");
    auto add = [&](TControl* c, const char* name, const char* caption) {
      c->SetName(name);
      c->SetCaption(caption);
      c->SetParent(form_.get());
    };
    add(new TButton(form_.get()), "BtnOpen", "Open");  // owned by the form
    add(new TLabel(form_.get()), "Label6", "Position");
    add(new TCheckBox(form_.get()), "CheckBoxWave", "Wave");
    add(new TEdit(form_.get()), "Edit1", "");
    add(new TComboBox(form_.get()), "Combo1", "");
    auto* item = new TMenuItem(form_.get());
    item->SetName("M_Files");
    item->SetCaption("&File");
  }

  // Writes Text as the language file and applies it to the form.
  void Apply(const std::string& Text) {
    std::ofstream(file_) << Text;
    EXPECT_TRUE(ApplyLanguageFile(form_.get(), file_));
  }
  // A property as text: integers in decimal, string lists as their lines joined by "|".
  std::string Read(const std::string& Component, const std::string& Prop) {
    TComponent* c = Component.empty() ? form_.get() : form_->FindComponent(Component);
    PPropInfo p = GetPropInfo(c, Prop);
    if (p->Kind() == tkClass) {
      auto* list = static_cast<TStrings*>(GetObjectProp(c, p));
      std::string joined;
      for (int32_t i = 0; i < list->Count(); ++i) joined += (i ? "|" : "") + list->Strings(i);
      return joined;
    }
    if (p->Kind() == tkString) return GetStrProp(c, p);
    return std::to_string(GetOrdProp(c, p));
  }

  TestTempDir dir_;
  std::string file_ = dir_.File("Test.isl");
  std::unique_ptr<TForm> form_;
};

TEST_F(LanguageFileTest, KeysSetThePropertiesTheyName) {
  struct Case {
    const char* line;
    const char* component;
    const char* prop;
    const char* expected;
  } cases[] = {
      {"Caption=Hello", "", "Caption", "Hello"},
      {".Caption=Dot", "", "Caption", "Dot"},
      {"FrmTest.Caption=Not mine", "", "Caption", "Design"},  // the form owns no FrmTest
      {"btnopen.caption=&Open it", "BtnOpen", "Caption", "&Open it"},
      {"BTNOPEN . CAPTION = spaced ", "BtnOpen", "Caption", "spaced"},
      {"BtnOpen.Caption=a=b", "BtnOpen", "Caption", "a=b"},
      {"BtnOpen.Caption=\" quoted \"", "BtnOpen", "Caption", "quoted"},
      {"BtnOpen.Caption=", "BtnOpen", "Caption", ""},
      {"BtnOpen.Hint=Open a picture", "BtnOpen", "Hint", "Open a picture"},
      {"BtnOpen.Tag=$10", "BtnOpen", "Tag", "16"},
      {"BtnOpen.Left=-7", "BtnOpen", "Left", "-7"},
      {"BtnOpen.Color=$0000FF", "BtnOpen", "Color", "255"},
      {"M_Files.Caption=&Datei", "M_Files", "Caption", "&Datei"},
      {"Edit1.Text=typed", "Edit1", "Text", "typed"},
      // Other kinds, nested and unknown names change nothing.
      {"Label6.Font.Name=Arial", "Label6", "Caption", "Position"},
      {"CheckBoxWave.Checked=1", "CheckBoxWave", "Checked", "0"},
      {"BtnOpen.Align=alClient", "BtnOpen", "Align", "0"},
      {"Nobody.Caption=x", "BtnOpen", "Caption", "Open"},
      {"BtnOpen.NoSuchThing=x", "BtnOpen", "Caption", "Open"},
      // A string list takes the text after the first "||" first.
      {"Combo1.Items=first||second", "Combo1", "Items", "second|first"},
      {"Combo1.Items=x||y||z", "Combo1", "Items", "y||z|x"},
      {"Combo1.Items=single", "Combo1", "Items", "single"},
      {"Combo1.Items=||tail", "Combo1", "Items", "tail|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    MakeForm();
    Apply(std::string("[frmtest]\n") + c.line + "\n");
    EXPECT_EQ(Read(c.component, c.prop), c.expected);
  }
  MakeForm();
  const std::string font = static_cast<TControl*>(form_->FindComponent("Label6"))->Font()->Name();
  Apply("[FrmTest]\nLabel6.Font.Name=Arial\n");
  EXPECT_EQ(static_cast<TControl*>(form_->FindComponent("Label6"))->Font()->Name(), font);
}

TEST_F(LanguageFileTest, WholeFileInOrderAndTheCutOfLongValues) {
  const std::string longText(3000, 'w');
  Apply("; a comment\n[Other]\nBtnOpen.Caption=elsewhere\n[FrmTest]\nBtnOpen.Caption=first\nLabel6.Caption=" + longText +
        "\nBtnOpen.Caption=second\nM_Files.Caption=&Bestand\n");
  // Of two lines with the same key the first holds, as INI files read.
  EXPECT_EQ(Read("BtnOpen", "Caption"), "first");
  EXPECT_EQ(Read("Label6", "Caption"), std::string(2047, 'w'));
  EXPECT_EQ(Read("M_Files", "Caption"), "&Bestand");
}

TEST_F(LanguageFileTest, MissingFilesAndSectionsSetNothing) {
  for (const std::string& name : {dir_.File("absent.isl"), dir_.Path()}) {
    EXPECT_TRUE(ApplyLanguageFile(form_.get(), name));
  }
  Apply("[Messages]\nMs_Error=x\n");
  Apply("");
  Apply("\xFF\xFE\x00garbage\n[FrmTest\nBtnOpen.Caption\n=x\n");
  EXPECT_EQ(Read("BtnOpen", "Caption"), "Open");
  EXPECT_EQ(Read("", "Caption"), "Design");
  EXPECT_TRUE(ApplyLanguageFile(nullptr, file_));
  SetComponentProperty(nullptr, "Caption", "x");
}

TEST_F(LanguageFileTest, ABadIntegerStopsTheFileThere) {
  std::ofstream(file_) << "[FrmTest]\nBtnOpen.Caption=A\nBtnOpen.Left=abc\nBtnOpen.Hint=H\n";
  EXPECT_EQ(MessageOf<EConvertError>([&] { ApplyLanguageFile(form_.get(), file_); }),
            "'abc' is not a valid integer value");
  EXPECT_EQ(Read("BtnOpen", "Caption"), "A");
  EXPECT_EQ(Read("BtnOpen", "Hint"), "");
}

TEST_F(LanguageFileTest, MessageTexts) {
  struct Case {
    const char* file;  // nullptr: no file
    const char* error;
    const char* openError;
  } cases[] = {
      {nullptr, "Error", "Can not open file"},
      {"[FrmTest]\nCaption=x\n", "Error", "Can not open file"},
      {"[Messages]\nMs_Error=Fehler\n", "Fehler", "Can not open file"},
      {"[messages]\nMs_Error=E\nMs_OpenError=Can not#13#10open#13#10#13#10file\nMs_AppError=other\n", "E",
       "Can not\r\nopen\r\n\r\nfile"},
      {"[Messages]\nMs_Error=#13#10\nMs_OpenError=#13#1\n", "\r\n", "#13#1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file ? c.file : "(none)");
    std::remove(file_.c_str());
    if (c.file) std::ofstream(file_) << c.file;
    std::string error = "before", openError = "before";
    LoadMessageTexts(file_, error, openError);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(openError, c.openError);
  }
}

TEST(LanguageText, SplitAtFirstAndLineBreaks) {
  const struct {
    const char* text;
    const char* delimiter;
    std::vector<std::string> lines;
  } splits[] = {
      {"first||second", "||", {"second", "first"}},
      {"x||y||z", "||", {"y||z", "x"}},
      {"none", "||", {"none"}},
      {"", "||", {""}},
      {"||", "||", {"", ""}},
      {"key=value=more", "=", {"value=more", "key"}},
  };
  TStringList list;
  for (const auto& s : splits) {
    SplitAtFirst(s.text, s.delimiter, &list);
    std::vector<std::string> got;
    for (int32_t i = 0; i < list.Count(); ++i) got.push_back(list.Strings(i));
    EXPECT_EQ(got, s.lines) << s.text;
  }
  EXPECT_EQ(ExpandLineBreaks("a#13#10b"), "a\r\nb");
  EXPECT_EQ(ExpandLineBreaks("#13#10#13#10"), "\r\n\r\n");
  EXPECT_EQ(ExpandLineBreaks("#13#10#13#1"), "\r\n#13#1");
  EXPECT_EQ(ExpandLineBreaks("plain"), "plain");
}

TEST(SystemServices, LanguageOfTheSystemLocale) {
  const struct {
    const char* locale;
    uint8_t language;
  } locales[] = {
      {"en_US", 0}, {"en_GB", 0}, {"de_DE", 1}, {"de_CH", 1}, {"es_ES", 2}, {"es_MX", 2}, {"fr_FR", 3},
      {"fr_CA", 3}, {"it_IT", 4}, {"nl_NL", 5}, {"nl_BE", 5}, {"ja_JP", 7}, {"pt_BR", 7}, {"C", 0},
  };
  for (const auto& l : locales) {
    const LANGID id = LangIDFromLocaleName(l.locale);
    ASSERT_NE(id, 0) << l.locale;
    EXPECT_EQ(DetectSystemLanguage(id), l.language) << l.locale;
  }
  // The test programs run in the C locale, which the platform takes as US English.
  EXPECT_EQ(DetectSystemLanguage(), 0);
  EXPECT_EQ(GetLocaleLanguageName(LOCALE_SENGLANGUAGE), "English");
  EXPECT_EQ(GetLocaleLanguageName(0xFFFF), "");
  for (const char* name : {"English", "ENGLISH", "english (Canada)", "British English"})
    EXPECT_EQ(LanguageOfEnglishName(name), 0) << name;
  EXPECT_EQ(LanguageOfEnglishName("Swiss German"), 1);
  EXPECT_EQ(LanguageOfEnglishName("Japanese"), LanguageNone);
  EXPECT_EQ(LanguageOfEnglishName(""), LanguageNone);
  EXPECT_EQ(LanguageFileName(0), "Languages/English.isl");
  EXPECT_EQ(LanguageFileName(5), "Languages/Dutch.isl");
  EXPECT_EQ(LanguageFileName(6), "");
  EXPECT_EQ(LanguageFileName(-1), "");
}

TEST(SystemServices, ProgramFolder) {
  const std::string dir = GetAppDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  // The folder of this very test program, as its real path gives it.
  char self[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  EXPECT_EQ(dir + ExtractFileName(self), self);
}

class OpenURLTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    TDialogScript::Start();
  }
  void TearDown() override {
    TDialogScript::Stop();
    FormsTest::TearDown();
  }
};

TEST_F(OpenURLTest, OpensThroughTheShellAndIgnoresBlanks) {
  TestTempDir dir;
  std::ofstream(dir.File("Guide.html")) << "<html></html>";
  OpenURL("");
  OpenURL("   ");
  EXPECT_TRUE(TDialogScript::Shown().empty());
  OpenURL(dir.File("Guide.html"));
  OpenURL("https://example.org/guide");
  OpenURL(dir.File("missing.html"));  // the shell refuses; nothing is reported
  const auto shown = TDialogScript::Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].Kind, "ShellExecute");
  EXPECT_EQ(shown[0].Title, "Open");
  EXPECT_EQ(shown[0].Text, "file://" + dir.File("Guide.html"));
  EXPECT_EQ(shown[1].Text, "https://example.org/guide");
}

}  // namespace

namespace {

// The shipped language files: each sets the same keys as the English one, every value is
// text, and the open-error texts are there.
TEST(ShippedLanguageFiles, SameKeysInEveryLanguage) {
  auto keysOf = [](const std::string& file) {
    TIniFile ini(file);
    TStringList keys;
    ini.ReadSection("FrmQuillane", &keys);
    std::vector<std::string> list;
    for (int32_t i = 0; i < keys.Count(); ++i) {
      list.push_back(LowerCase(keys.Strings(i)));
      EXPECT_FALSE(ini.ReadString("FrmQuillane", keys.Strings(i), "").empty()) << file << " " << keys.Strings(i);
    }
    std::sort(list.begin(), list.end());
    return list;
  };
  const std::string dir = PX_LANGUAGES_DIR "/";
  const auto english = keysOf(dir + "English.isl");
  EXPECT_GT(english.size(), 30u);
  for (int32_t n = 0; n < LanguageCount; ++n) {
    const std::string file = dir + ExtractFileName(LanguageFileName(n));
    SCOPED_TRACE(file);
    ASSERT_TRUE(FileExists(file));
    EXPECT_EQ(keysOf(file), english);
    std::string error, openError;
    LoadMessageTexts(file, error, openError);
    TIniFile ini(file);
    EXPECT_EQ(error, ini.ReadString("Messages", "Ms_Error", ""));
    EXPECT_EQ(openError, ini.ReadString("Messages", "Ms_OpenError", ""));
    EXPECT_FALSE(ini.ReadString("Messages", "Ms_AppError", "").empty());
  }
}

}  // namespace
