// Common dialogs and message boxes under scripted answers: results, cancelling, the checks the
// file dialogs make, their events and live state, custom colours, fonts and the buttons of
// message boxes.
#include <gtest/gtest.h>

#include "platform/forms/Dialogs.h"
#include "tests/common/TestSupport.h"
#include "tests/forms/DialogTestSupport.h"

namespace {

using TKind = TDialogAnswer::TKind;

class DialogTest : public ScriptedDialogTest {};

}  // namespace

TEST_F(DialogTest, OpenDialogResultAndEventOrder) {
  TOpenDialog d(nullptr);
  d.SetTitle("Pick");
  d.SetFilter("Images (*.png)|*.png;*.jpg|All files|*.*");
  d.SetDefaultExt("png");
  d.SetInitialDir(dir.Path());
  std::vector<std::string> events;
  auto log = [&](const char* name) { return TNotifyEvent([&events, name](TObject*) { events.push_back(name); }); };
  d.SetOnShow(log("show"));
  d.SetOnClose(log("close"));
  d.SetOnTypeChange(log("type"));
  d.SetOnSelectionChange(log("selection"));
  d.SetOnFolderChange(log("folder"));
  std::string nameInCanClose;
  d.SetOnCanClose(TCloseQueryEvent([&](TObject*, bool& can) {
    events.push_back("canclose");
    nameInCanClose = d.FileName();
    EXPECT_TRUE(can);
  }));

  TDialogScript::Push(TDialogAnswer::ChooseFiles({"picture"}, 2));
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(events, (std::vector<std::string>{"show", "type", "selection", "canclose", "close"}));
  EXPECT_EQ(d.FileName(), dir.File("picture.png"));
  EXPECT_EQ(nameInCanClose, dir.File("picture.png"));
  ASSERT_EQ(d.Files()->Count(), 1);
  EXPECT_EQ(d.Files()->Strings(0), dir.File("picture.png"));
  EXPECT_EQ(d.FilterIndex(), 2);
  EXPECT_FALSE(d.Options().Contains(ofExtensionDifferent));
  ASSERT_EQ(TDialogScript::Shown().size(), 1u);
  EXPECT_EQ(TDialogScript::Shown()[0].Kind, "TOpenDialog");
  EXPECT_EQ(TDialogScript::Shown()[0].Title, "Pick");

  // A name with another extension than DefaultExt keeps it and is flagged.
  TDialogScript::Push(TDialogAnswer::ChooseFiles({dir.File("other.jpg")}));
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.FileName(), dir.File("other.jpg"));
  EXPECT_TRUE(d.Options().Contains(ofExtensionDifferent));
}

TEST_F(DialogTest, CancelLeavesPropertiesAsTheyWere) {
  TSaveDialog d(nullptr);
  d.SetFilter("A|*.a|B|*.b");
  d.SetFileName(dir.File("keep.b"));
  d.SetFilterIndex(2);
  d.Files()->Add("earlier");
  const TOpenOptions options = d.Options();
  // The user switches the filter, then cancels.
  TDialogAnswer cancel = TDialogAnswer::Cancelled();
  cancel.WhileOpen = [](TCommonDialog* dlg) { static_cast<TOpenDialog*>(dlg)->SetFileNameText("changed.a"); };
  TDialogScript::Push(cancel);
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.FileName(), dir.File("keep.b"));
  EXPECT_EQ(d.FilterIndex(), 2);
  EXPECT_EQ(d.Files()->Text(), "earlier\r\n");
  EXPECT_EQ(d.Options(), options);
  EXPECT_FALSE(d.IsOpen());
}

TEST_F(DialogTest, MissingOrUnfitAnswersFailLoudly) {
  TOpenDialog d(nullptr);
  EXPECT_THROW(d.Execute(), EDialogScriptError);
  EXPECT_FALSE(d.IsOpen());
  TDialogScript::Push(TDialogAnswer::PressButton(IDOK));
  EXPECT_THROW(d.Execute(), EDialogScriptError);
  TDialogScript::Push(TDialogAnswer::ChooseFiles({"a", "b"}));  // no ofAllowMultiSelect
  EXPECT_THROW(d.Execute(), EDialogScriptError);
  TColorDialog c(nullptr);
  TDialogScript::Push(TDialogAnswer::ChooseFiles({"a"}));
  EXPECT_THROW(c.Execute(), EDialogScriptError);
  EXPECT_THROW(MessageBox(nullptr, "text", "caption", MB_OK), EDialogScriptError);
}

TEST_F(DialogTest, MultiSelectGivesFullPathsFirstAsFileName) {
  TOpenDialog d(nullptr);
  d.SetOptions(d.Options() + ofAllowMultiSelect + ofFileMustExist);
  d.SetInitialDir(dir.Path());
  for (const char* n : {"a.png", "b.png", "c.png"}) Touch(n);
  TDialogAnswer a = TDialogAnswer::ChooseFiles({"a.png", "b.png", "c.png"});
  a.WhileOpen = [](TCommonDialog*) {};
  TDialogScript::Push(a);
  std::string text;
  d.SetOnSelectionChange(TNotifyEvent([&](TObject*) { text = d.FileNameText(); }));
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(text, "\"a.png\" \"b.png\" \"c.png\"");
  EXPECT_EQ(d.Files()->Text(), dir.File("a.png") + "\r\n" + dir.File("b.png") + "\r\n" + dir.File("c.png") + "\r\n");
  EXPECT_EQ(d.FileName(), dir.File("a.png"));
}

TEST_F(DialogTest, FileChecksAskAndKeepTheDialogOpen) {
  Touch("exists.txt");
  const struct {
    const char* what;
    bool save;
    TOpenOptions options;
    const char* name;
    std::vector<int32_t> buttons;  // the answers to the boxes shown for the first name
    const char* boxText;           // the start of the first box's text
    bool firstAccepted;
  } cases[] = {
      {"must exist, missing", false, {ofFileMustExist}, "missing.txt", {IDOK}, "missing.txt\nFile not found.", false},
      {"path must exist", false, {ofPathMustExist}, "nowhere/x.txt", {IDOK}, "", false},
      {"create prompt, yes", false, {ofCreatePrompt}, "new.txt", {IDYES}, "new.txt does not exist.", true},
      {"create prompt, no", false, {ofCreatePrompt}, "new.txt", {IDNO}, "new.txt does not exist.", false},
      {"overwrite, yes", true, {ofOverwritePrompt}, "exists.txt", {IDYES}, "exists.txt already exists.", true},
      {"overwrite, no", true, {ofOverwritePrompt}, "exists.txt", {IDNO}, "exists.txt already exists.", false},
      {"overwrite prompt, new file", true, {ofOverwritePrompt}, "fresh.txt", {}, nullptr, true},
      {"no checks, missing", false, {}, "missing.txt", {}, nullptr, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TDialogScript::Start();
    std::unique_ptr<TOpenDialog> d = c.save ? std::make_unique<TSaveDialog>(nullptr) : std::make_unique<TOpenDialog>(nullptr);
    d->SetInitialDir(dir.Path());
    d->SetOptions(c.options);
    TDialogScript::Push(TDialogAnswer::ChooseFiles({c.name}));
    for (int32_t b : c.buttons) TDialogScript::Push(TDialogAnswer::PressButton(b));
    // After a refusal the user picks a name that passes.
    const char* fallback = c.save ? "other.txt" : "exists.txt";
    if (!c.firstAccepted) TDialogScript::Push(TDialogAnswer::ChooseFiles({fallback}));
    ASSERT_TRUE(d->Execute());
    EXPECT_EQ(d->FileName(), dir.File(c.firstAccepted ? c.name : fallback));
    const auto shown = TDialogScript::Shown();
    ASSERT_EQ(shown.size(), 1 + c.buttons.size());
    if (c.boxText) {
      EXPECT_EQ(shown[1].Kind, "MessageBox");
      EXPECT_EQ(shown[1].Text.rfind(c.boxText, 0), 0u) << shown[1].Text;
      EXPECT_EQ(shown[1].Title, c.save ? "Save As" : "Open");
    }
    EXPECT_EQ(TDialogScript::Pending(), 0u);
  }
}

TEST_F(DialogTest, CanCloseRefusalKeepsTheDialogOpen) {
  TOpenDialog d(nullptr);
  d.SetInitialDir(dir.Path());
  d.Files()->Add("before");
  int asked = 0;
  std::string filesInHandler;
  d.SetOnCanClose(TCloseQueryEvent([&](TObject*, bool& can) {
    filesInHandler = d.Files()->Text();
    can = ++asked > 1;
  }));
  TDialogAnswer second = TDialogAnswer::ChooseFiles({"second.png"});
  second.WhileOpen = [&](TCommonDialog*) {
    EXPECT_EQ(d.Files()->Text(), "before\r\n") << "a refusal puts Files back";
  };
  TDialogScript::Push(TDialogAnswer::ChooseFiles({"first.png"}));
  TDialogScript::Push(second);
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(filesInHandler, dir.File("second.png") + "\r\n");
  EXPECT_EQ(d.FileName(), dir.File("second.png"));
}

TEST_F(DialogTest, LiveStateWhileOpen) {
  TSaveDialog d(nullptr);
  d.SetFilter("JPEG|*.jpg;*.jpeg|PNG|*.png");
  d.SetFileName(dir.File("photo.jpg"));
  d.SetPaneBottomHeight(80);
  TDialogAnswer a = TDialogAnswer::Accepted();
  a.WhileOpen = [&](TCommonDialog* dlg) {
    EXPECT_EQ(dlg, &d);
    EXPECT_TRUE(d.IsOpen());
    ASSERT_NE(d.PaneBottom(), nullptr);
    EXPECT_EQ(d.PaneBottom()->Height(), 80);
    EXPECT_EQ(d.PaneRight(), nullptr);
    EXPECT_EQ(d.FileNameText(), "photo.jpg");
    EXPECT_EQ(d.FileName(), dir.File("photo.jpg"));
    EXPECT_EQ(IncludeTrailingPathDelimiter(d.CurrentFolder()), dir.Path());
    d.MoveWindowTo(30, 40);
    EXPECT_EQ(d.WindowBounds().TopLeft(), Point(30, 40));
  };
  TDialogScript::Push(a);
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.FileName(), dir.File("photo.jpg"));
  EXPECT_EQ(d.FileNameText(), "") << "closed";
  EXPECT_EQ(d.PaneBottom(), nullptr);
  EXPECT_EQ(d.WindowBounds(), TRect());

  // As a save dialog's type change does: the name box follows the entry's extension, and OK
  // returns the renamed file.
  d.SetOnTypeChange(TNotifyEvent([&](TObject*) {
    EXPECT_EQ(d.FilterIndex(), 2);
    d.SetFileNameText(ChangeFileExt(d.FileNameText(), ".png"));
  }));
  TDialogScript::Push(TDialogAnswer::ChooseFiles({}, 2));
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.FileName(), dir.File("photo.png"));
  EXPECT_EQ(d.FilterIndex(), 2);
}

TEST_F(DialogTest, ColorDialogCustomColours) {
  TColorDialog d(nullptr);
  d.SetColor(clBlue);
  d.CustomColors()->SetText("ColorA=D670DA\r\nColorC=bad!\r\nOther=1\r\n");
  TDialogScript::Push(TDialogAnswer::Cancelled());
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Color(), clBlue);
  // The custom colours come back (all sixteen) also from a cancelled dialog.
  EXPECT_EQ(d.CustomColors()->Values("ColorA"), "D670DA");
  EXPECT_EQ(d.CustomColors()->Values("ColorC"), "FFFFFF");
  EXPECT_EQ(d.CustomColors()->Values("ColorP"), "FFFFFF");
  EXPECT_EQ(d.CustomColors()->Values("Other"), "1");
  EXPECT_EQ(d.CustomColors()->Count(), 17);

  TDialogScript::Push(TDialogAnswer::ChooseColor(RGB(10, 20, 30), {clRed, RGB(1, 2, 3)}));
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.Color(), RGB(10, 20, 30));
  EXPECT_EQ(d.CustomColors()->Values("ColorA"), "0000FF");
  EXPECT_EQ(d.CustomColors()->Values("ColorB"), "030201");
  EXPECT_EQ(d.CustomColors()->Values("ColorC"), "FFFFFF");
}

TEST_F(DialogTest, FontDialogTakesFaceSizeAndStyle) {
  TFontDialog d(nullptr);
  d.Font()->SetName("Tahoma");
  d.Font()->SetSize(8);
  d.Font()->SetColor(clRed);
  d.SetOptions({fdEffects, fdLimitSize});
  d.SetMinFontSize(6);
  d.SetMaxFontSize(20);
  TDialogScript::Push(TDialogAnswer::ChooseFont("DejaVu Sans", 40));  // too large: refused
  TDialogScript::Push(TDialogAnswer::PressButton(IDOK));
  TDialogScript::Push(TDialogAnswer::ChooseFont("DejaVu Sans", 14, {fsBold, fsItalic}));
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.Font()->Name(), "DejaVu Sans");
  EXPECT_EQ(d.Font()->Size(), 14);
  EXPECT_EQ(d.Font()->Style(), (TFontStyles{fsBold, fsItalic}));
  EXPECT_EQ(d.Font()->Color(), clRed);
  EXPECT_EQ(TDialogScript::Shown()[1].Text, "Size must be between 6 and 20 points.");

  TDialogScript::Push(TDialogAnswer::Cancelled());
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Font()->Size(), 14);
}

TEST_F(DialogTest, MessageBoxButtons) {
  const struct {
    UINT type;
    TDialogAnswer answer;
    int32_t expected;  // -1: the answer does not fit
  } cases[] = {
      {MB_OK, TDialogAnswer::Cancelled(), IDOK},
      {MB_OK | MB_DEFBUTTON4, TDialogAnswer::Accepted(), IDOK},
      {MB_OKCANCEL | MB_ICONQUESTION, TDialogAnswer::Cancelled(), IDCANCEL},
      {MB_OKCANCEL | MB_DEFBUTTON2, TDialogAnswer::Accepted(), IDCANCEL},
      {MB_YESNO, TDialogAnswer::Accepted(), IDYES},
      {MB_YESNO, TDialogAnswer::Cancelled(), -1},
      {MB_YESNO, TDialogAnswer::PressButton(IDOK), -1},
      {MB_YESNOCANCEL | MB_DEFBUTTON2, TDialogAnswer::Accepted(), IDNO},
      {MB_YESNOCANCEL, TDialogAnswer::Cancelled(), IDCANCEL},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, TDialogAnswer::Accepted(), IDIGNORE},
      {MB_ABORTRETRYIGNORE, TDialogAnswer::PressButton(IDABORT), IDABORT},
      {MB_ABORTRETRYIGNORE, TDialogAnswer::Cancelled(), -1},
      {MB_RETRYCANCEL | MB_ICONERROR, TDialogAnswer::PressButton(IDRETRY), IDRETRY},
      {MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, TDialogAnswer::Accepted(), IDCONTINUE},
  };
  for (const auto& c : cases) {
    TDialogScript::Push(c.answer);
    if (c.expected < 0) {
      EXPECT_THROW(MessageBox(nullptr, "t", "c", c.type), EDialogScriptError) << c.type;
    } else {
      EXPECT_EQ(MessageBox(nullptr, "t", "c", c.type), c.expected) << c.type;
    }
  }
  EXPECT_EQ(MessageBox(nullptr, "t", "c", 7), 0) << "unknown buttons: no box";
  TDialogScript::Start();
  TDialogScript::Push(TDialogAnswer::Accepted());
  MessageBox(nullptr, "Can not open file", "Error", MB_ICONERROR);
  MessageBeep(MB_ICONHAND);
  const auto shown = TDialogScript::Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].Kind, "MessageBox");
  EXPECT_EQ(shown[0].Title, "Error");
  EXPECT_EQ(shown[0].Text, "Can not open file");
  EXPECT_EQ(shown[0].Flags, UINT(MB_ICONERROR));
  EXPECT_EQ(shown[1].Kind, "MessageBeep");
  EXPECT_EQ(shown[1].Flags, UINT(MB_ICONHAND));
}
