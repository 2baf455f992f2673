// Options.ini: read into the controls at start-up, written from them at shutdown.
#include "app/MLFunctions.h"
#include "controls/CvBmpBtn.h"
#include "controls/CvPanel.h"
#include "controls/CvRadChk.h"
#include "controls/CvSpnEdt.h"
#include "controls/CvTrkBar.h"
#include "platform/forms/StdCtrls.h"
#include "tests/app/QuillaneTestSupport.h"

namespace {

class QuillaneSettings : public QuillaneTest {
 protected:
  // The language number the window ends with when the file names none of the six.
  static int32_t SystemLanguage(int32_t Read) {
    const uint8_t system = DetectSystemLanguage();
    return system < LanguageCount ? system : Read;
  }
};

TEST_F(QuillaneSettings, DefaultsAndTheFileWrittenAtExit) {
  TFrmQuillane* f = Open();
  EXPECT_EQ(f->GetReflectPosition(), ReflectBottom);
  EXPECT_EQ(f->SpinEditSpc->IntValue(), 0);
  EXPECT_EQ(f->TrackBarSize->Position(), 0);
  EXPECT_EQ(f->TrackBarTranBegin->Position(), 0);
  EXPECT_EQ(f->TrackBarTranEnd->Position(), 0);
  EXPECT_FALSE(f->CheckBoxWave->Checked());
  EXPECT_EQ(f->SpinEditZF->IntValue(), 10);
  EXPECT_EQ(f->SpinEditBC->IntValue(), 30);
  EXPECT_EQ(f->SpinEditXW->IntValue(), 0);
  EXPECT_TRUE(f->RadioButtonColor->Checked());
  EXPECT_FALSE(f->CheckBoxRemoveAlpa->Checked());
  EXPECT_EQ(f->PanelBkColor->Color(), clWhite);
  EXPECT_EQ(f->Label1->Caption(), "0%");
  EXPECT_EQ(f->Label2->Caption(), "100%");
  EXPECT_EQ(f->Label9->Caption(), "100%");
  Close();
  EXPECT_EQ(ReadOptions(), "[OPTIONS]\nPos=4\nDis=0\nSize=100\nTranB=0\nTranE=100\nWave=0\nAmplitude=10\n"
                           "WaveLength=30\nPhase=0\nColor=0\nRemoveAlpa=0\nBkColor=16777215\n[LANGUAGE]\nDefault=" +
                               std::to_string(SystemLanguage(-1)) + "\n");
}

TEST_F(QuillaneSettings, ValuesReadAndWrittenBack) {
  const struct {
    const char* Line;  // of [OPTIONS]
    const char* Key;
    const char* Written;
  } cases[] = {
      {"Pos=7", "Pos", "4"},           {"Pos=1", "Pos", "1"},           {"Pos=3", "Pos", "3"},
      {"Size=150", "Size", "100"},     {"Size=37", "Size", "37"},       {"TranB=-5", "TranB", "0"},
      {"TranE=60", "TranE", "60"},     {"Color=2", "Color", "2"},       {"Color=1", "Color", "1"},
      {"Color=9", "Color", "0"},       {"Dis=$FF", "Dis", "255"},       {"Dis=0x20", "Dis", "32"},
      {"Dis=abc", "Dis", "0"},         {"Dis=900", "Dis", "500"},       {"Dis=-900", "Dis", "-500"},
      {"Wave=5", "Wave", "1"},         {"RemoveAlpa=1", "RemoveAlpa", "1"}, {"Phase=400", "Phase", "359"},
      {"Amplitude=-3", "Amplitude", "0"}, {"WaveLength=77", "WaveLength", "77"},
      {"BkColor=$0000FF", "BkColor", "255"}, {"BkColor=$1FFFFFFF", "BkColor", "16777215"},
      {"BkColor=$80000005", "BkColor", "5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Line);
    WriteOptions(std::string("[OPTIONS]\n") + c.Line + "\n");
    Open();
    Close();
    const std::string text = ReadOptions();
    EXPECT_NE(text.find(std::string("\n") + c.Key + "=" + c.Written + "\n"), std::string::npos) << text;
  }
  // What the controls show.
  WriteOptions("[OPTIONS]\nPos=2\nColor=2\nBkColor=$0000FF\nWave=1\nRemoveAlpa=1\nSize=37\nTranB=30\nTranE=60\n");
  TFrmQuillane* f = Open();
  EXPECT_TRUE(f->BtnTop->Down());
  EXPECT_FALSE(f->BtnBottom->Down());
  EXPECT_TRUE(f->RadioButtonBW->Checked());
  EXPECT_FALSE(f->RadioButtonBW->Visible());
  EXPECT_EQ(f->PanelBkColor->Color(), static_cast<TColor>(0x0000FF));
  EXPECT_TRUE(f->CheckBoxWave->Checked());
  EXPECT_TRUE(f->CheckBoxRemoveAlpa->Checked());
  EXPECT_EQ(f->TrackBarSize->Position(), 63);
  EXPECT_EQ(f->TrackBarTranEnd->Position(), 40);
  EXPECT_EQ(f->Label9->Caption(), "37%");
  EXPECT_EQ(f->Label1->Caption(), "30%");
  EXPECT_EQ(f->Label2->Caption(), "60%");
}

TEST_F(QuillaneSettings, TheLanguageNumber) {
  const struct {
    const char* Value;
    int32_t Written;
  } cases[] = {
      {"2", 2}, {"0", 0}, {"5", 5}, {"6", SystemLanguage(6)}, {"9", SystemLanguage(7)}, {"-1", SystemLanguage(-1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    WriteOptions(std::string("[LANGUAGE]\nDefault=") + c.Value + "\n");
    Open();
    Close();
    EXPECT_NE(ReadOptions().find("\nDefault=" + std::to_string(c.Written) + "\n"), std::string::npos) << ReadOptions();
  }
}

TEST_F(QuillaneSettings, AnUnwritableFileIsReportedAndShutdownCompletes) {
  std::filesystem::create_directories(dir_.File("Options.ini"));
  Open();
  Close();
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Reports()[0], "Unable to write to " + dir_.File("Options.ini") + ".");
  EXPECT_EQ(form_, nullptr);
}

}  // namespace
