// The rich edit window: editing keys, the clipboard with and without formats, and its
// notifications.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/Clipbrd.h"
#include "platform/forms/RichEditControl.h"
#include "platform/forms/StdCtrls.h"
#include "tests/forms/TestHost.h"

namespace {

class RichEditControlTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form_ = NewForm(400, 300);
    e_ = new TCustomRichEdit(form_.get());
    e_->SetParent(form_.get());
    e_->SetBounds(10, 10, 300, 200);
    Pump();
    e_->SetFocus();
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }
  void Type(const std::string& S) {
    for (char ch : S) Press(ch >= 'a' && ch <= 'z' ? uint16_t(ch - 32) : uint16_t(ch), std::string(1, ch));
    Pump();
  }
  CHARRANGE Sel() {
    CHARRANGE r;
    e_->Perform(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    return r;
  }
  std::unique_ptr<TForm> form_;
  TCustomRichEdit* e_ = nullptr;
};

}  // namespace

TEST_F(RichEditControlTest, EditingKeys) {
  struct Case {
    const char* Name;
    LONG Caret;  // before the key, nothing selected
    uint16_t Key;
    TShiftState Shift;
    std::string Text;
    CHARRANGE Sel;
  } cases[] = {
      {"backspace", 3, VK_BACK, {}, "ab def", {2, 2}},
      {"delete", 3, VK_DELETE, {}, "abcdef", {3, 3}},
      {"ctrl+backspace", 6, VK_BACK, {ssCtrl}, "abc f", {4, 4}},
      {"shift+left", 3, VK_LEFT, {ssShift}, "abc def", {2, 3}},
      {"ctrl+left", 5, VK_LEFT, {ssCtrl}, "abc def", {4, 4}},
      {"ctrl+right", 1, VK_RIGHT, {ssCtrl}, "abc def", {4, 4}},
      {"end", 1, VK_END, {}, "abc def", {7, 7}},
      {"shift+home", 5, VK_HOME, {ssShift}, "abc def", {0, 5}},
      {"enter", 3, VK_RETURN, {}, "abc\r\n def", {4, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    e_->SetText("abc def");
    CHARRANGE r{c.Caret, c.Caret};
    e_->Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
    Press(c.Key, "", c.Shift);
    Pump();
    EXPECT_EQ(e_->GetText(), c.Text);
    EXPECT_EQ(Sel(), c.Sel);
  }
}

TEST_F(RichEditControlTest, CopyAndPasteKeepFormats) {
  std::vector<std::string> events;
  e_->SetOnChange(TNotifyEvent([&](TObject*) { events.push_back("change"); }));
  e_->SetOnSelectionChange(TNotifyEvent([&](TObject*) { events.push_back("sel"); }));
  e_->SetText("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 plain {\\b bold} end\\par}");
  EXPECT_EQ(e_->GetText(), "plain bold end");
  EXPECT_NE(std::find(events.begin(), events.end(), "change"), events.end());
  CHARRANGE r{6, 10};
  e_->Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  e_->CopyToClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "bold");
  r = CHARRANGE{0, 0};
  e_->Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  e_->PasteFromClipboard();
  EXPECT_EQ(e_->GetText(), "boldplain bold end");
  EXPECT_EQ(Sel(), (CHARRANGE{4, 4}));
  r = CHARRANGE{0, 4};
  e_->Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  CHARFORMAT2 f;
  e_->Perform(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&f));
  EXPECT_TRUE(f.dwMask & CFM_BOLD);
  EXPECT_TRUE(f.dwEffects & CFE_BOLD) << "the pasted text keeps its bold";
  // Plain text pastes in the format at the caret.
  Clipboard()->SetAsText("x");
  r = CHARRANGE{4, 4};
  e_->Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  e_->PasteFromClipboard();
  EXPECT_EQ(e_->GetText(), "boldxplain bold end");
  // Cut takes the selection away; read-only refuses typing.
  r = CHARRANGE{0, 5};
  e_->Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  e_->CutToClipboard();
  EXPECT_EQ(e_->GetText(), "plain bold end");
  e_->SetReadOnly(true);
  Type("zz");
  EXPECT_EQ(e_->GetText(), "plain bold end");
}

TEST_F(RichEditControlTest, FormatRangeMeasuresInTwips) {
  e_->SetText("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 one\\par two\\par}");
  HDC dc = GetDC(nullptr);
  FORMATRANGE fr;
  fr.hdc = fr.hdcTarget = dc;
  fr.rc = fr.rcPage = TRect(0, 0, 100000 * 15, 100000 * 15);
  fr.chrg = CHARRANGE{0, -1};
  e_->Perform(EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&fr));
  const int32_t two = fr.rc.Bottom / 15;
  e_->SetText("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 one\\par}");
  fr.rc = TRect(0, 0, 100000 * 15, 100000 * 15);
  e_->Perform(EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&fr));
  const int32_t one = fr.rc.Bottom / 15;
  EXPECT_NEAR(two, 2 * one, 1);
  EXPECT_GT(fr.rc.Right, 0);
  EXPECT_LT(fr.rc.Right, 40 * 15) << "the used width, not the rectangle's";
  EXPECT_EQ(e_->Perform(EM_FORMATRANGE, 0, 0), 0);
  ReleaseDC(nullptr, dc);
}
