// The toolkit's own dialogs and the desktop clipboard, offscreen: scripted answers are played
// into the real windows (file dialog with a pane of ours, its prompts, colour and font dialogs,
// message boxes), and clipboard data goes through QClipboard.
#include <gtest/gtest.h>

#include "platform/forms/Clipbrd.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "tests/common/TestSupport.h"
#include "tests/forms/DialogTestSupport.h"

namespace {

class DialogToolkitTest : public ScriptedDialogTest {
 protected:
  DialogToolkitTest() : ScriptedDialogTest(true) {}
  static void SetUpTestSuite() {
    if (!FormsStarted()) FormsStartup();
  }
};

}  // namespace

TEST_F(DialogToolkitTest, FileDialogWithPane) {
  Touch("a.png");
  Touch("b.jpg");
  TOpenDialog d(nullptr);
  d.SetTitle("Open picture");
  d.SetFilter("PNG|*.png|JPEG|*.jpg;*.jpeg");
  d.SetInitialDir(dir.Path());
  d.SetOptions(d.Options() + ofFileMustExist);
  d.SetPaneRightWidth(150);
  auto panel = std::make_unique<TCustomControl>(nullptr);
  int typeChanges = 0;
  d.SetOnTypeChange(TNotifyEvent([&](TObject*) { ++typeChanges; }));
  d.SetOnShow(TNotifyEvent([&](TObject*) {
    ASSERT_NE(d.PaneRight(), nullptr);
    EXPECT_EQ(d.PaneBottom(), nullptr);
    panel->SetParent(d.PaneRight());
    panel->SetAlign(alClient);
  }));
  TDialogAnswer pick = TDialogAnswer::ChooseFiles({"b.jpg"}, 2);
  pick.WhileOpen = [&](TCommonDialog*) {
    EXPECT_TRUE(d.IsOpen());
    EXPECT_EQ(IncludeTrailingPathDelimiter(d.CurrentFolder()), dir.Path());
    EXPECT_TRUE(panel->Showing());
    EXPECT_TRUE(NativeVisible(panel->Handle()));
    EXPECT_GE(panel->Width(), 150);
    EXPECT_GT(panel->Height(), 50);
  };
  TDialogScript::Push(pick);
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.FileName(), dir.File("b.jpg"));
  EXPECT_EQ(d.FilterIndex(), 2);
  EXPECT_EQ(typeChanges, 1);
  EXPECT_EQ(panel->Parent(), nullptr) << "given back";
  EXPECT_EQ(d.PaneRight(), nullptr);
  EXPECT_EQ(TDialogScript::Shown().at(0).Title, "Open picture");

  // Cancelling leaves everything as it was.
  TDialogScript::Push(TDialogAnswer::Cancelled());
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.FileName(), dir.File("b.jpg"));
  EXPECT_EQ(d.FilterIndex(), 2);
}

TEST_F(DialogToolkitTest, SavePromptsThroughRealMessageBoxes) {
  Touch("exists.txt");
  TSaveDialog d(nullptr);
  d.SetInitialDir(dir.Path());
  d.SetDefaultExt("txt");
  d.SetOptions(d.Options() + ofOverwritePrompt);
  TDialogScript::Push(TDialogAnswer::ChooseFiles({"exists"}));  // DefaultExt makes it exists.txt
  TDialogScript::Push(TDialogAnswer::PressButton(IDNO));
  TDialogScript::Push(TDialogAnswer::ChooseFiles({"new"}));
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.FileName(), dir.File("new.txt"));
  const auto shown = TDialogScript::Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].Text, "exists.txt already exists.\nDo you want to replace it?");
}

TEST_F(DialogToolkitTest, ColorAndFontDialogs) {
  TColorDialog c(nullptr);
  c.SetColor(clBlue);
  TDialogScript::Push(TDialogAnswer::ChooseColor(RGB(10, 20, 30), {clRed}));
  ASSERT_TRUE(c.Execute());
  EXPECT_EQ(c.Color(), RGB(10, 20, 30));
  EXPECT_EQ(c.CustomColors()->Values("ColorA"), "0000FF");
  EXPECT_EQ(c.CustomColors()->Values("ColorB"), "FFFFFF");
  TDialogScript::Push(TDialogAnswer::Cancelled());
  EXPECT_FALSE(c.Execute());
  EXPECT_EQ(c.Color(), RGB(10, 20, 30));

  TFontDialog f(nullptr);
  f.Font()->SetColor(clGreen);
  TDialogScript::Push(TDialogAnswer::ChooseFont("DejaVu Sans", 14, {fsBold}));
  ASSERT_TRUE(f.Execute());
  EXPECT_EQ(f.Font()->Name(), "DejaVu Sans");
  EXPECT_EQ(f.Font()->Size(), 14);
  EXPECT_EQ(f.Font()->Style(), TFontStyles{fsBold});
  EXPECT_EQ(f.Font()->Color(), clGreen);
}

TEST_F(DialogToolkitTest, MessageBoxesAndMissingAnswers) {
  TDialogScript::Push(TDialogAnswer::Accepted());
  EXPECT_EQ(MessageBox(nullptr, "Save changes?", "Quillane", MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_ICONQUESTION), IDNO);
  TDialogScript::Push(TDialogAnswer::Cancelled());
  EXPECT_EQ(MessageBox(nullptr, "Save changes?", "Quillane", MB_YESNOCANCEL), IDCANCEL);
  TDialogScript::Push(TDialogAnswer::PressButton(IDRETRY));
  EXPECT_EQ(MessageBox(nullptr, "Disk full", "Error", MB_ABORTRETRYIGNORE | MB_ICONERROR), IDRETRY);
  TDialogScript::Push(TDialogAnswer::Cancelled());
  EXPECT_EQ(MessageBox(nullptr, "Done", "Info", MB_OK), IDOK);
  // A dialog with no answer left ends at once with an error instead of waiting.
  EXPECT_THROW(MessageBox(nullptr, "Nobody answers", "Quillane", MB_OK), EDialogScriptError);
  TOpenDialog d(nullptr);
  EXPECT_THROW(d.Execute(), EDialogScriptError);
  EXPECT_FALSE(d.IsOpen());
}

TEST_F(DialogToolkitTest, DesktopClipboardRoundTrip) {
  Clipboard()->SetAsText("Gr\u00FC\u00DFe\r\n\u65E5\u672C");
  EXPECT_EQ(ClipboardMimeBytes("text/plain"), "Gr\u00FC\u00DFe\n\u65E5\u672C");
  EXPECT_EQ(Clipboard()->AsText(), "Gr\u00FC\u00DFe\r\n\u65E5\u672C");

  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(3, 2);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) {
      auto* p = static_cast<uint8_t*>(b.ScanLine(y)) + 3 * x;
      p[0] = static_cast<uint8_t>(x * 80);
      p[1] = static_cast<uint8_t>(y * 100);
      p[2] = 7;
    }
  const UINT raw = RegisterClipboardFormat("PIXORAN RAW FORMAT");
  Clipboard()->Open();
  Clipboard()->Assign(&b);
  HGLOBAL h = GlobalAlloc(GHND, 3);
  std::memcpy(GlobalLock(h), "raw", 3);
  GlobalUnlock(h);
  Clipboard()->SetAsHandle(raw, h);
  Clipboard()->Close();
  EXPECT_TRUE(Clipboard()->HasFormat(CF_DIB));
  EXPECT_TRUE(Clipboard()->HasFormat(raw));
  EXPECT_FALSE(Clipboard()->HasFormat(CF_UNICODETEXT));
  TBitmap back;
  back.Assign(Clipboard());
  ASSERT_EQ(back.Width(), 3);
  EXPECT_EQ(std::memcmp(back.ScanLine(1), b.ScanLine(1), 9), 0);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(GlobalSize(GetClipboardData(raw)), 3u);
  CloseClipboard();
}
