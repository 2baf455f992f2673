// The language switch of the main window and the shipped language files against the real form.
#include <set>

#include "app/MLFunctions.h"
#include "controls/CvButton.h"
#include "controls/CvMenuStylers.h"
#include "controls/CvRadChk.h"
#include "controls/CvSpnEdt.h"
#include "io/pxopensavedlg.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/TypInfo.h"
#include "tests/app/QuillaneTestSupport.h"

namespace {

class QuillaneLanguage : public QuillaneTest {
 protected:
  void SetUp() override {
    QuillaneTest::SetUp();
    WriteOptions("[LANGUAGE]\nDefault=7\n");
  }
};

TEST_F(QuillaneLanguage, KeysOnTheWindow) {
  TFrmQuillane* f = Open();
  const struct {
    const char* Line;
    std::function<std::string()> Read;
    const char* Expected;
  } cases[] = {
      {"Caption=Window", [&] { return f->Caption(); }, "Window"},
      {".Caption=Dotted", [&] { return f->Caption(); }, "Dotted"},
      {"FrmQuillane.Caption=Not mine", [&] { return f->Caption(); }, "Quillane"},
      {"btnopen.caption=&Auf", [&] { return f->BtnOpen->Caption(); }, "&Auf"},
      {"SpinEditSpc.Tag=$10", [&] { return std::to_string(f->SpinEditSpc->Tag()); }, "16"},
      {"BtnFit.Hint=Einpassen", [&] { return f->BtnFit->Hint(); }, "Einpassen"},
      {"Label6.Font.Name=Arial", [&] { return f->Label6->Font()->Name(); }, "Tahoma"},
      {"CheckBoxWave.Checked=1", [&] { return std::string(f->CheckBoxWave->Checked() ? "on" : "off"); }, "off"},
      {"NoSuchThing.Caption=x", [&] { return f->Caption(); }, "Quillane"},
      {"OpenPixoranDialog1.Title=Bild", [&] { return f->OpenPixoranDialog1->Title(); }, "Bild"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Line);
    WriteLanguage("German.isl", std::string("[FrmQuillane]\n") + c.Line + "\n");
    f->ApplyLanguage(1);
    EXPECT_EQ(c.Read(), c.Expected);
    EXPECT_TRUE(Reports().empty());
  }
}

TEST_F(QuillaneLanguage, ASwitchChecksTheItemSetsFontsAndPadsTheMenuOnce) {
  TFrmQuillane* f = Open();
  WriteLanguage("German.isl",
                "[FrmQuillane]\nCaption=Spiegel\nM_Language.Caption=&Sprachen\n[Messages]\nMs_Error=Fehler\n");
  f->Font()->SetSize(9);
  f->M_German->Click();
  EXPECT_TRUE(f->M_German->Checked());
  EXPECT_FALSE(f->M_English->Checked());
  EXPECT_EQ(f->Tag(), 1);
  EXPECT_EQ(CurrentLanguage, 1);
  EXPECT_EQ(f->Caption(), "Spiegel");
  EXPECT_EQ(Application()->Title(), "Quillane");
  EXPECT_EQ(MsgError, "Fehler");
  EXPECT_EQ(MsgOpenError, "Can not open file");
  for (TComponent* d : {static_cast<TComponent*>(f->OpenPixoranDialog1), static_cast<TComponent*>(f->SavePixoranDialog1)})
    for (const char* name : {"InfoPanel", "PicturePanel", "PreviewCheck"}) {
      auto* c = dynamic_cast<TControl*>(d->FindComponent(name));
      ASSERT_TRUE(c) << name;
      EXPECT_EQ(c->Font()->Name(), "Tahoma");
      EXPECT_EQ(c->Font()->Size(), 9);
    }
  for (TFont* font : {f->CvMenuFantasyStyler1->Font(), f->CvMenuFantasyStyler1->SelectedItem()->Font(),
                      f->CvMenuFantasyStyler1->RootItem()->Font()}) {
    EXPECT_EQ(font->Name(), "Tahoma");
    EXPECT_EQ(font->Size(), 9);
  }
  // The captions stay padded once, switch after switch, also when the file sets none.
  for (int i = 0; i < 3; ++i) {
    f->M_German->Click();
    f->M_Dutch->Click();
  }
  EXPECT_EQ(f->M_Files->Caption(), "  &File  ");
  EXPECT_EQ(f->M_Language->Caption(), "  &Sprachen  ");
  EXPECT_TRUE(f->M_Dutch->Checked());
  EXPECT_EQ(f->Tag(), 5);
  // Choosing the applied language again re-applies its file.
  f->SetCaption("changed");
  f->M_German->Click();
  f->M_German->Click();
  EXPECT_EQ(f->Caption(), "Spiegel");
}

TEST_F(QuillaneLanguage, ABadValueEndsTheSwitchThere) {
  TFrmQuillane* f = Open();
  WriteLanguage("Italian.isl",
                "[FrmQuillane]\nBtnSaveAs.Caption=&Salva\nBtnOpen.Left=abc\nBtnNewVer.Caption=Aiuto\n"
                "[Messages]\nMs_Error=Errore\n");
  const int32_t tag = f->Tag();
  EXPECT_EQ(MessageOf<EConvertError>([&] { f->M_Italian->Click(); }), "'abc' is not a valid integer value");
  EXPECT_EQ(f->BtnSaveAs->Caption(), "&Salva");
  EXPECT_EQ(f->BtnNewVer->Caption(), "Help");
  EXPECT_EQ(MsgError, "Error");
  EXPECT_EQ(f->Tag(), tag);
  EXPECT_EQ(f->M_Files->Caption(), "  &File  ");
}

// Every key of every shipped file names a component of the window (or the window) and a string,
// integer or list property of it; together they set every caption, hint and both titles.
TEST_F(QuillaneLanguage, ShippedFilesFitTheWindow) {
  CopyLanguages();
  TFrmQuillane* f = Open();
  // The texts a file must set: captions and hints of the design (the percentage labels, the
  // separator and the blank group-box titles are not texts).
  std::set<std::string> needed = {"OpenPixoranDialog1.Title", "SavePixoranDialog1.Title"};
  const std::set<std::string> computed = {"Label1", "Label2", "Label9", "N4"};
  for (int32_t i = 0; i < f->ComponentCount(); ++i) {
    TComponent* c = f->Components(i);
    if (computed.count(c->Name()) || dynamic_cast<TCvSpinEdit*>(c)) continue;
    for (const char* prop : {"Caption", "Hint"}) {
      PPropInfo p = GetPropInfo(c, prop);
      if (p && p->Kind() == tkString && !Trim(GetStrProp(c, p)).empty()) needed.insert(c->Name() + "." + prop);
    }
  }
  for (int32_t n = 0; n < LanguageCount; ++n) {
    const std::string file = dir_.Path() + LanguageFileName(n);
    SCOPED_TRACE(file);
    TIniFile ini(file);
    TStringList keys;
    ini.ReadSection("FrmQuillane", &keys);
    std::set<std::string> got;
    for (int32_t i = 0; i < keys.Count(); ++i) {
      const std::string key = keys.Strings(i);
      const size_t dot = key.find('.');
      TComponent* c = dot == std::string::npos || dot == 0 ? f : f->FindComponent(key.substr(0, dot));
      ASSERT_TRUE(c) << key;
      PPropInfo p = GetPropInfo(c, dot == std::string::npos ? key : key.substr(dot + 1));
      ASSERT_TRUE(p) << key;
      EXPECT_TRUE(p->Kind() == tkString || p->Kind() == tkInteger ||
                  (p->Kind() == tkClass && p->PropType->Name == "TStrings"))
          << key;
      got.insert(dot == std::string::npos ? f->Name() + "." + key : key);
    }
    for (const std::string& k : needed) EXPECT_TRUE(got.count(k)) << "missing " << k;
    EXPECT_FALSE(ini.ReadString("Messages", "Ms_Error", "").empty());
    EXPECT_FALSE(ini.ReadString("Messages", "Ms_OpenError", "").empty());
    // Applied to the window without a report.
    f->ApplyLanguage(static_cast<uint8_t>(n));
    EXPECT_TRUE(Reports().empty()) << Reports().front();
    EXPECT_NE(f->SavePixoranDialog1->Title(), "另存为");
  }
}

}  // namespace
