// The main window under test: made by the program's own start-up in a temporary program folder
// (its Options.ini and Languages/), shown offscreen, with scripted dialogs.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/UnitQuillane.h"
#include "platform/forms/Dialogs.h"
#include "tests/common/TestSupport.h"
#include "tests/forms/TestHost.h"

class QuillaneTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    TDialogScript::Start();
    AppDirOverride = dir_.Path();
  }
  void TearDown() override {
    Close();
    AppDirOverride.clear();
    TDialogScript::Stop();
    FormsTest::TearDown();
  }

  // Options.ini of the program folder (before Open).
  void WriteOptions(const std::string& Text) { std::ofstream(dir_.File("Options.ini")) << Text; }
  // Options.ini with its line ends as "\n".
  std::string ReadOptions() {
    std::ifstream in(dir_.File("Options.ini"));
    std::string text(std::istreambuf_iterator<char>(in), {});
    std::erase(text, '\r');
    return text;
  }
  // The shipped language files in the program folder.
  void CopyLanguages() {
    std::filesystem::create_directories(dir_.File("Languages"));
    for (const auto& e : std::filesystem::directory_iterator(PX_LANGUAGES_DIR))
      std::filesystem::copy_file(e.path(), dir_.File("Languages/" + e.path().filename().string()),
                                 std::filesystem::copy_options::overwrite_existing);
  }
  void WriteLanguage(const std::string& Name, const std::string& Text) {
    std::filesystem::create_directories(dir_.File("Languages"));
    std::ofstream(dir_.File("Languages/" + Name)) << Text;
  }

  // Creates and shows the window (its description read, FormCreate run).
  TFrmQuillane* Open() {
    form_ = TCustomForm::Create<TFrmQuillane>(nullptr);
    form_->Show();
    Pump();
    return form_;
  }
  // Destroys the window (FormDestroy writes Options.ini).
  void Close() {
    if (!form_) return;
    form_->Free();
    form_ = nullptr;
    Pump();
  }

  // Opens File through the Open button with the scripted dialog (and an answer for the error box
  // when one is expected).
  void OpenFile(const std::string& File, bool ExpectBox = false) {
    TDialogScript::Push(TDialogAnswer::ChooseFiles({File}));
    if (ExpectBox) TDialogScript::Push(TDialogAnswer::Accepted());
    form_->M_OpenClick(form_->BtnOpen);
    Pump();
  }
  // Saves to File through Save As with the scripted dialog.
  void SaveFile(const std::string& File, bool ExpectBox = false) {
    TDialogScript::Push(TDialogAnswer::ChooseFiles({File}));
    if (ExpectBox) TDialogScript::Push(TDialogAnswer::Accepted());
    form_->M_SaveAsClick(form_->BtnSaveAs);
    Pump();
  }
  // The message boxes shown since the script started, as "caption: text".
  static std::vector<std::string> Boxes() {
    std::vector<std::string> boxes;
    for (const TDialogShown& s : TDialogScript::Shown())
      if (s.Kind == "MessageBox") boxes.push_back(s.Title + ": " + s.Text);
    return boxes;
  }

  // Runs a Python program with Pillow and numpy; its standard output.
  std::string Python(const std::string& Program) {
    const std::string script = dir_.File("script.py"), out = dir_.File("script.out");
    std::ofstream(script) << "import sys\nimport numpy as np\nfrom PIL import Image\n" << Program;
    EXPECT_EQ(RunTool({"/usr/bin/python3", script}, out), 0) << Program;
    std::ifstream in(out);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  TestTempDir dir_;
  TFrmQuillane* form_ = nullptr;
};
