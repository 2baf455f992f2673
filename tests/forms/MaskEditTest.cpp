#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/forms/Clipbrd.h"
#include "platform/forms/Mask.h"
#include "tests/forms/TestHost.h"

namespace {

TEST(MaskTextTest, TextAndEditText) {
  struct Case {
    const char* Mask;
    const char* Text;      // set
    const char* EditText;  // shown
    const char* Read;      // Text read back
  } cases[] = {
      {"000;1;_", "12", "12_", "12 "},
      {"!000;1;_", "12", "_12", " 12"},
      {"(999)000-0000;1;_", "(555)123-4567", "(555)123-4567", "(555)123-4567"},
      {"(999)000-0000;0;_", "5551234567", "(555)123-4567", "5551234567"},
      {"(999)000-0000;0;*", "555", "(555)***-****", "555       "},
      {"!99/99/0000;1;_", "1/2/2000", "_1/_2/2000", " 1/ 2/2000"},
      {">LL<ll;1;_", "abCD", "ABcd", "ABcd"},
      {"\\A00;1;_", "A12", "A12", "A12"},
      {"00_00;1;_", "12 34", "12 34", "12 34"},
      {"LL;1;_", "1a", "_a", "a "},  // digits are no letters; Text keeps blanks after
      {"##9;1;_", "+5x", "+5_", "+5 "},
  };
  for (const Case& c : cases) {
    TMaskEdit edit(nullptr);
    edit.SetEditMask(c.Mask);
    edit.SetText(c.Text);
    EXPECT_EQ(edit.EditText(), c.EditText) << c.Mask;
    EXPECT_EQ(edit.Text(), c.Read) << c.Mask;
  }
  EXPECT_EQ(FormatMaskText("(999)000-0000;0;_", "5551234567"), "(555)123-4567");
  EXPECT_EQ(FormatMaskText("", "plain"), "plain");
  // Changing the mask keeps the text; no mask gives it back unformatted.
  TMaskEdit edit(nullptr);
  edit.SetText("1234");
  edit.SetEditMask("00-00;1;_");
  EXPECT_EQ(edit.EditText(), "12-34");
  edit.SetEditMask("");
  EXPECT_EQ(edit.Text(), "12-34");
  EXPECT_FALSE(edit.IsMasked());
}

class MaskEditTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form_ = NewForm(300, 200);
    edit_ = new TMaskEdit(form_.get());  // owned by the form
    edit_->SetBounds(10, 10, 120, 21);
    edit_->SetParent(form_.get());
    other_ = new TEdit(form_.get());  // owned by the form
    other_->SetBounds(10, 50, 120, 21);
    other_->SetParent(form_.get());
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }
  static void Type(const std::string& Text) {
    for (char c : Text)
      Press(c >= 'a' && c <= 'z' ? static_cast<uint16_t>(c - 32) : static_cast<uint16_t>(c), std::string(1, c));
  }
  std::unique_ptr<TForm> form_;
  TMaskEdit* edit_ = nullptr;
  TEdit* other_ = nullptr;
};

TEST_F(MaskEditTest, TypingFillsPositionsAndSkipsLiterals) {
  edit_->SetEditMask("00/00;1;_");
  edit_->SetFocus();
  edit_->SetSelStart(0);
  int changes = 0;
  edit_->SetOnChange([&](TObject*) { ++changes; });
  Type("1x23");  // "x" is refused
  EXPECT_EQ(edit_->EditText(), "12/3_");
  EXPECT_EQ(edit_->SelStart(), 4);
  EXPECT_EQ(changes, 3);
  Press(VK_BACK, "\b");  // blanks the position before the caret; the literal stays
  Press(VK_BACK, "\b");
  EXPECT_EQ(edit_->EditText(), "1_/__");
  EXPECT_EQ(edit_->SelStart(), 1);
  Press(VK_HOME);
  Press(VK_DELETE);  // blanks in place
  EXPECT_EQ(edit_->EditText(), "__/__");
  EXPECT_EQ(edit_->SelStart(), 0);
  Type("9876");
  Type("5");  // no position left
  EXPECT_EQ(edit_->EditText(), "98/76");
  // A selection typed over is blanked first.
  edit_->SetSelStart(1);
  edit_->SetSelLength(3);
  Type("0");
  EXPECT_EQ(edit_->EditText(), "90/_6");
  // Pasting fills positions, taking literals that match.
  edit_->SelectAll();
  Clipboard()->SetAsText("12/34");
  edit_->PasteFromClipboard();
  EXPECT_EQ(edit_->EditText(), "12/34");
  edit_->SetSelStart(0);
  edit_->SetSelLength(2);
  edit_->CutToClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "12");
  EXPECT_EQ(edit_->EditText(), "__/34");
}

TEST_F(MaskEditTest, ValidationOnExitAndEscape) {
  edit_->SetEditMask("000;1;_");
  edit_->SetText("12");
  // Not modified by the user: leaving is fine.
  edit_->SetFocus();
  other_->SetFocus();
  EXPECT_TRUE(other_->Focused());
  EXPECT_TRUE(Reports().empty());
  // Modified and incomplete: the error is reported and the focus comes back.
  edit_->SetFocus();
  edit_->SetSelStart(2);
  Type("3");
  edit_->SetSelStart(1);
  Press(VK_DELETE);
  EXPECT_EQ(edit_->EditText(), "1_3");
  Click(other_, 5, 5);
  Pump();
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Reports()[0], "Invalid input value.  Use escape key to abandon changes.");  // the report ends the sentence
  EXPECT_TRUE(edit_->Focused());
  EXPECT_EQ(edit_->SelStart(), 1);
  EXPECT_THROW(edit_->ValidateEdit(), EDBEditError);
  // Esc brings back the text it had when it got the focus.
  Press(VK_ESCAPE, "\x1b");
  EXPECT_EQ(edit_->EditText(), "12_");
  EXPECT_FALSE(edit_->Modified());
  // Filled: valid.
  edit_->SetSelStart(2);
  Type("7");
  EXPECT_NO_THROW(edit_->ValidateEdit());
  other_->SetFocus();
  EXPECT_TRUE(other_->Focused());
}

}  // namespace
