// The in-place text control: format records, editing through real key presses and mouse clicks
// on a shown form, the clipboard blocks, and the layout checked against widths measured here.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/hypxutils_startup.h"
#include "core/pxcanvas.h"
#include "core/pxsettings.h"
#include "platform/forms/Clipbrd.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/StdCtrls.h"
#include "platform/gdi/WinGdi_text.h"
#include "tests/forms/TestHost.h"
#include "vector/pxtextc.h"

namespace {

TPXCharFormat Arial(int32_t Height = -16, uint8_t Style = 0) {
  TPXCharFormat f{};
  f.SetName("Arial");
  f.FontHeight = Height;
  f.FontStyle = Style;
  f.FontColor = clBlack;
  f.BackColor = clWhite;
  f.BackStyle = static_cast<uint8_t>(bsClear);
  return f;
}

std::vector<uint8_t> ClipboardBytes(UINT Format) {
  std::vector<uint8_t> out;
  if (!OpenClipboard(nullptr)) return out;
  if (HANDLE h = GetClipboardData(Format)) {
    const size_t n = GlobalSize(h);
    if (const auto* p = static_cast<const uint8_t*>(GlobalLock(h))) {
      out.assign(p, p + n);
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return out;
}

void PutClipboard(UINT Format, const std::vector<uint8_t>& Bytes, bool Empty = true) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  if (Empty) EmptyClipboard();
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, Bytes.size());
  std::memcpy(GlobalLock(h), Bytes.data(), Bytes.size());
  GlobalUnlock(h);
  SetClipboardData(Format, h);
  CloseClipboard();
}

}  // namespace

// ---- records without a window ----

TEST(TextControlRecords, EqualFormatsShareOneRecordAndCountsFollowTheRules) {
  // Records made apart compare equal: every byte behind the name is zero.
  TPXCharFormat a = Arial(), b{};
  b.SetName("Times");
  b.SetName("Arial");
  b.FontHeight = -16;
  b.FontColor = clBlack;
  b.BackColor = clWhite;
  b.BackStyle = static_cast<uint8_t>(bsClear);
  b.UseCount = 7;
  EXPECT_TRUE(a.SameFormat(b));

  TPXTextControl c(nullptr);
  c.SetText(u"abc");
  c.PrepareText();
  ASSERT_TRUE(c.Formats());
  ASSERT_EQ(c.Formats()->size(), 1u) << "text without formats gets one record from Font, TextBrush, Alignment";
  EXPECT_EQ((*c.Formats())[0].UseCount, 3);
  EXPECT_EQ((*c.Formats())[0].Name(), c.Font()->Name());

  c.SetCharFormat(1, Arial(-20));
  c.SetCharFormat(2, Arial(-20));
  ASSERT_EQ(c.Formats()->size(), 2u);
  EXPECT_EQ((*c.Formats())[0].UseCount, 3) << "the old record keeps its count";
  EXPECT_EQ((*c.Formats())[1].UseCount, 2);
  EXPECT_EQ(*c.CharFormats(), (std::vector<int32_t>{0, 1, 1}));

  c.DeleteChar(1);
  c.DeleteChar(1);
  EXPECT_EQ((*c.Formats())[1].UseCount, 0);
  c.SetCharFormat(0, Arial(-30));  // record 2, count 1
  (*const_cast<TPXCharFormatList*>(&*c.Formats()))[0].UseCount = 2;
  c.PurgeFormats();
  ASSERT_EQ(c.Formats()->size(), 2u) << "counts (2, 0, 1) keep two records";
  EXPECT_EQ((*c.CharFormats())[0], 1) << "index 2 renumbered to 1";
  EXPECT_EQ(c.DeleteChar(5), 5) << "deleting past the end does nothing";
  EXPECT_EQ(c.TextLength(), 1);
}

TEST(TextControlRecords, NameIsCutAtACharacterBoundaryAndForeignBytesReadAs1252) {
  TPXCharFormat f{};
  std::string longName(254, 'x');
  longName += "\xC3\xA9";  // é straddles byte 255
  f.SetName(longName);
  EXPECT_EQ(f.FontName[0], 254);
  EXPECT_EQ(f.Name(), std::string(254, 'x'));
  f.FontName[0] = 1;
  f.FontName[1] = 0xE9;
  EXPECT_EQ(f.Name(), "\xC3\xA9");
}

TEST(TextControlRecords, PrepareTextOnAnEmptyControlMakesNoRecordAndRepairsForeignIndexes) {
  TPXTextControl c(nullptr);
  c.PrepareText();
  ASSERT_TRUE(c.Formats());
  EXPECT_TRUE(c.Formats()->empty());
  c.InsertChar(u'x');
  ASSERT_EQ(c.Formats()->size(), 1u);
  EXPECT_EQ((*c.Formats())[0].UseCount, 1);

  // Indexes that point outside the list (a damaged object) and a short index array are mended.
  TPXTextControl d(nullptr);
  d.SetText(u"abcd");
  d.SetCharFormats(std::vector<int32_t>{5, -1});
  d.SetFormats(TPXCharFormatList{Arial()});
  d.PrepareText();
  EXPECT_EQ(*d.CharFormats(), (std::vector<int32_t>{0, 0, 0, 0}));
  auto taken = d.TakeFormats();
  EXPECT_TRUE(taken.has_value());
  EXPECT_FALSE(d.Formats().has_value());
}

TEST(TextControlRecords, TheClipboardFormatIsRegisteredAtStartUp) {
  const TPXLibraryStepProc held = RegisterLibrarySlot(lsInitTextControl, nullptr);
  RegisterLibrarySlot(lsInitTextControl, held);
  EXPECT_EQ(held, &InitTextControlUnit);
  EXPECT_EQ(TextMemoClipboardFormat(), RegisterClipboardFormat("PIXORAN TEXTMEMO"));
}

TEST(TextControlRecords, MemoBlockNeedsItsNulAndAllRecords) {
  TPXCharFormatList recs{Arial(-10), Arial(-12, 1)};
  std::vector<uint8_t> block = EncodeTextMemoBlock(u"ab", recs);
  ASSERT_EQ(block.size(), 2u * 282 + 2);
  std::u16string text;
  TPXCharFormatList out;
  ASSERT_TRUE(DecodeTextMemoBlock(block.data(), block.size(), text, out));
  EXPECT_EQ(text, u"ab");
  EXPECT_EQ(out[1].FontHeight, -12);
  EXPECT_FALSE(DecodeTextMemoBlock(block.data(), block.size() - 1, text, out)) << "one record byte short";
  const std::vector<uint8_t> noNul = {'a', 0, 'b', 0};
  EXPECT_FALSE(DecodeTextMemoBlock(noNul.data(), noNul.size(), text, out));
  EXPECT_FALSE(DecodeTextMemoBlock(nullptr, 0, text, out));
}

// ---- editing on a shown form ----

class TextControlForm : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    GlobalSettingsInstance()->FTextShortcuts = saved_ = GlobalSettingsInstance()->FTextShortcuts;
    form_ = NewForm(400, 300);
    c_ = new TPXTextControl(form_.get());
    c_->Font()->SetName("Courier New");
    c_->Font()->SetHeight(-16);
    c_->Font()->SetColor(clBlack);
    c_->TextBrush()->SetColor(clWhite);
    c_->TextBrush()->SetStyle(bsClear);
    c_->BoxBrush()->SetColor(clWhite);
    c_->BorderPen()->SetColor(clNone);
    c_->SetParent(form_.get());
    c_->SetBounds(10, 10, 300, 200);
    c_->SetTabStop(true);
    other_ = new TEdit(form_.get());
    other_->SetParent(form_.get());
    other_->SetBounds(10, 250, 100, 20);
    Pump();
  }
  void TearDown() override {
    GlobalSettingsInstance()->FTextShortcuts = saved_;
    form_.reset();
    FormsTest::TearDown();
  }
  // Hands Text over in the control's font and focuses it, laid out.
  void Start(const std::u16string& Text) {
    c_->SetText(Text);
    c_->SetCharFormats(std::nullopt);
    c_->SetFormats(std::nullopt);
    c_->PrepareText();
    c_->SetFocus();
    c_->Invalidate();
    Pump();
  }
  void Type(const std::string& S) {
    for (char ch : S) {
      const uint16_t vk = ch >= 'a' && ch <= 'z' ? uint16_t(ch - 32) : uint16_t(ch);
      Press(vk, std::string(1, ch));
      Pump();
    }
  }
  void Key(uint16_t VK, TShiftState S = {}) {
    Press(VK, "", S);
    Pump();
  }
  std::unique_ptr<TForm> form_;
  TPXTextControl* c_ = nullptr;
  TEdit* other_ = nullptr;
  std::array<uint16_t, 12> saved_{};
};

TEST_F(TextControlForm, TypingIntoTheControlAsAUserWould) {
  Start(u"");
  Type("hi there");
  EXPECT_EQ(c_->Text(), u"hi there");
  EXPECT_EQ(c_->CaretPos(), 8);
  ASSERT_EQ(c_->Formats()->size(), 1u);
  EXPECT_EQ((*c_->Formats())[0].UseCount, 8);
  EXPECT_EQ((*c_->Formats())[0].Name(), "Courier New");
  // A character beyond the BMP goes in whole and moves and deletes whole.
  SimulateKey(true, 'X', "\xF0\x9F\x98\x80");
  SimulateKey(false, 'X');
  Pump();
  EXPECT_EQ(c_->Text(), u"hi there\U0001F600");
  Key(VK_LEFT);
  EXPECT_EQ(c_->CaretPos(), 8);
  Key(VK_DELETE);
  EXPECT_EQ(c_->Text(), u"hi there");
}

struct KeyCase {
  const char* Name;
  std::u16string Text;
  int32_t Caret;
  int32_t SelStart, SelEnd;
  uint8_t InsertMode;
  uint16_t VK;
  TShiftState Shift;
  std::string Typed;  // typed after the key
  std::u16string WantText;
  int32_t WantCaret;
  int32_t WantSelStart, WantSelEnd;
};

TEST_F(TextControlForm, KeysActAsTheTableSays) {
  const KeyCase cases[] = {
      {"backspace", u"abc", 2, 0, 0, 1, VK_BACK, {}, "", u"ac", 1, 0, 0},
      {"backspace at 0", u"abc", 0, 0, 0, 1, VK_BACK, {}, "", u"abc", 0, 0, 0},
      {"backspace selection", u"abcd", 1, 1, 3, 1, VK_BACK, {}, "", u"ad", 1, 0, 0},
      {"delete", u"abc", 1, 0, 0, 1, VK_DELETE, {}, "", u"ac", 1, 0, 0},
      {"delete at end", u"abc", 3, 0, 0, 1, VK_DELETE, {}, "", u"abc", 3, 0, 0},
      {"delete selection", u"abcd", 3, 0, 2, 1, VK_DELETE, {}, "", u"cd", 0, 0, 0},
      {"enter", u"ab", 1, 0, 0, 1, VK_RETURN, {}, "", u"a\nb", 2, 0, 0},
      {"enter overwrite", u"ab", 1, 0, 0, 0, VK_RETURN, {}, "", u"a\nb", 2, 0, 0},
      {"ctrl+end", u"ab cd", 1, 0, 0, 1, VK_END, {ssCtrl}, "", u"ab cd", 5, 0, 0},
      {"ctrl+home", u"ab cd", 4, 0, 0, 1, VK_HOME, {ssCtrl}, "", u"ab cd", 0, 0, 0},
      {"end", u"ab\ncd", 0, 0, 0, 1, VK_END, {}, "", u"ab\ncd", 2, 0, 0},
      {"home", u"ab\ncd", 5, 0, 0, 1, VK_HOME, {}, "", u"ab\ncd", 3, 0, 0},
      {"shift+right", u"abc", 1, 0, 0, 1, VK_RIGHT, {ssShift}, "", u"abc", 2, 1, 2},
      {"shift+left", u"abc", 2, 0, 0, 1, VK_LEFT, {ssShift}, "", u"abc", 1, 1, 2},
      {"right clears", u"abc", 1, 0, 2, 1, VK_RIGHT, {}, "", u"abc", 2, 0, 0},
      {"ctrl+right reaches the end", u"ab cd", 3, 0, 0, 1, VK_RIGHT, {ssCtrl}, "", u"ab cd", 5, 0, 0},
      {"ctrl+left", u"ab cd", 5, 0, 0, 1, VK_LEFT, {ssCtrl}, "", u"ab cd", 3, 0, 0},
      {"ctrl+left on empty", u"", 0, 0, 0, 1, VK_LEFT, {ssCtrl}, "", u"", 0, 0, 0},
      {"overwrite replaces", u"abc", 1, 0, 0, 1, VK_INSERT, {}, "x", u"axc", 2, 0, 0},
      {"overwrite appends", u"ab", 2, 0, 0, 1, VK_INSERT, {}, "x", u"abx", 3, 0, 0},
      {"typing replaces selection", u"abcd", 3, 1, 3, 1, VK_SHIFT, {}, "x", u"axd", 2, 0, 0},
  };
  for (const KeyCase& k : cases) {
    SCOPED_TRACE(k.Name);
    Start(k.Text);
    c_->SetInsertMode(k.InsertMode);
    c_->SetCaretPos(k.Caret);
    c_->SetSelection(k.SelStart, k.SelEnd);
    c_->Invalidate();
    Pump();
    Key(k.VK, k.Shift);
    Type(k.Typed);
    EXPECT_EQ(c_->Text(), k.WantText);
    EXPECT_EQ(c_->CaretPos(), k.WantCaret);
    EXPECT_EQ(c_->SelStart(), k.WantSelStart);
    EXPECT_EQ(c_->SelEnd(), k.WantSelEnd);
  }
}

TEST_F(TextControlForm, FontSizeKeysAndFormatAfterMoves) {
  Start(u"");
  c_->CurrentFormat().FontHeight = -1;
  Key(VK_F1, {ssShift});
  EXPECT_EQ(c_->CurrentFormat().FontHeight, 1) << "Shift+F1 on -1 gives 1";
  c_->CurrentFormat().FontHeight = -12;
  Key(VK_F2, {ssShift});
  EXPECT_EQ(c_->CurrentFormat().FontHeight, -13);

  // After a move CurrentFormat is the format of the character before the caret.
  Start(u"ab");
  c_->SetCharFormat(0, Arial(-20, 1));
  c_->SetCaretPos(2);
  Key(VK_LEFT);
  EXPECT_EQ(c_->CurrentFormat().FontHeight, -20);
  EXPECT_EQ(c_->CurrentFormat().Name(), "Arial");
}

TEST_F(TextControlForm, LineUpAndDownLandOnTheNearestCharacter) {
  // Monospaced: the column follows the caret's x.
  Start(u"abcdef\nabcdefgh\nab");
  c_->SetCaretPos(5);  // after "abcde"
  c_->Invalidate();
  Pump();
  Key(VK_DOWN);
  EXPECT_EQ(c_->CaretPos(), 12);
  Key(VK_DOWN);
  EXPECT_EQ(c_->CaretPos(), 18) << "the end of the shorter last line is the nearest";
  Key(VK_UP);
  EXPECT_EQ(c_->CaretPos(), 9);
  Key(VK_UP);
  EXPECT_EQ(c_->CaretPos(), 2);
  Key(VK_UP);
  EXPECT_EQ(c_->CaretPos(), 2) << "no line above";
  Key(VK_DOWN, {ssShift});
  EXPECT_EQ(c_->SelStart(), 2);
  EXPECT_EQ(c_->SelEnd(), 9);
}

TEST_F(TextControlForm, ShortcutsFollowTheSettingsTable) {
  Start(u"abcd");
  c_->SetCharFormat(0, [&] {
    TPXCharFormat f{};
    c_->GetCharFormat(0, f);
    f.FontStyle = 1;
    return f;
  }());
  c_->SetSelection(0, 3);
  Key('B', {ssCtrl});
  for (int i = 0; i < 3; ++i) {
    TPXCharFormat f{};
    c_->GetCharFormat(i, f);
    EXPECT_EQ(f.FontStyle & 1, 0) << "first character bold: the whole selection unbolds";
  }
  Key('B', {ssCtrl});
  for (int i = 0; i < 3; ++i) {
    TPXCharFormat f{};
    c_->GetCharFormat(i, f);
    EXPECT_EQ(f.FontStyle & 1, 1);
  }
  c_->SetSelection(0, 0);
  const uint8_t before = c_->CurrentFormat().FontStyle;
  Key('I', {ssCtrl});
  EXPECT_EQ(c_->CurrentFormat().FontStyle, before ^ 2) << "without a selection the bit flips in CurrentFormat";

  // Ctrl+R aligns the caret's paragraph; moving the entry moves the key.
  Start(u"ab\ncd\nef");
  c_->SetCaretPos(4);
  Key('R', {ssCtrl});
  auto align = [&](int i) {
    TPXCharFormat f{};
    c_->GetCharFormat(i, f);
    return f.Alignment;
  };
  EXPECT_EQ(align(0), 0);
  EXPECT_EQ(align(3), 1);
  EXPECT_EQ(align(4), 1);
  EXPECT_EQ(align(6), 0);
  GlobalSettingsInstance()->FTextShortcuts[3] = ShortCut('Q', TShiftState{ssCtrl});
  Key('J', {ssCtrl});
  EXPECT_EQ(align(3), 1) << "Ctrl+J no longer justifies";
  Key('Q', {ssCtrl});
  EXPECT_EQ(align(3), 3);
}

TEST_F(TextControlForm, FontAndColourDialogsAreScriptedAndOffInUniformMode) {
  TDialogScript::Start();
  Start(u"ab");
  c_->SetSelection(0, 1);
  TDialogScript::Push(TDialogAnswer::ChooseFont("Arial", 20, TFontStyles{fsItalic}));
  Key('F', {ssCtrl});
  TPXCharFormat f{};
  c_->GetCharFormat(0, f);
  EXPECT_EQ(f.Name(), "Arial");
  EXPECT_EQ(f.FontStyle, 2);
  EXPECT_EQ(c_->CurrentFormat().Name(), "Arial");
  TDialogScript::Push(TDialogAnswer::ChooseColor(clRed));
  Key('G', {ssCtrl});
  c_->GetCharFormat(0, f);
  EXPECT_EQ(f.BackColor, clRed);
  c_->SetUniformFormat(true);
  const size_t shown = TDialogScript::Shown().size();
  Key('F', {ssCtrl});
  Key('G', {ssCtrl});
  EXPECT_EQ(TDialogScript::Shown().size(), shown);
  EXPECT_EQ(TDialogScript::Pending(), 0u);
  TDialogScript::Stop();
}

TEST_F(TextControlForm, CopyPutsPlainAndFormattedBlocksAndPasteRestoresThem) {
  Start(u"a\nb");
  c_->SetCharFormat(2, Arial(-22, 4));
  c_->SetSelection(0, 3);
  bool keyDown = false;
  c_->SetOnKeyDown([&](TObject*, uint16_t&, TShiftState) { keyDown = true; });
  c_->Perform(WM_COPY, 0, 0);
  EXPECT_TRUE(keyDown) << "WM_COPY acts as the shortcut, OnKeyDown included";
  const std::vector<uint8_t> plain = ClipboardBytes(CF_UNICODETEXT);
  // What another program reads: the units with CR before LF, NUL-ended.
  const std::vector<uint8_t> wantPlain = {'a', 0, '\r', 0, '\n', 0, 'b', 0, 0, 0};
  EXPECT_EQ(plain, wantPlain);
  const std::vector<uint8_t> memo = ClipboardBytes(TextMemoClipboardFormat());
  ASSERT_EQ(memo.size(), 848u);
  TPXCharFormat third;
  std::memcpy(&third, memo.data() + 8 + 2 * 280, 280);
  EXPECT_EQ(third.FontHeight, -22);

  c_->SetSelection(0, 0);
  c_->SetCaretPos(3);
  Key('V', {ssCtrl});
  EXPECT_EQ(c_->Text(), u"a\nba\nb");
  TPXCharFormat f{};
  c_->GetCharFormat(5, f);
  EXPECT_EQ(f.FontHeight, -22);
  EXPECT_EQ(c_->CurrentFormat().FontHeight, -22) << "CurrentFormat keeps the last pasted format";

  // Plain text pastes without carriage returns in CurrentFormat.
  Start(u"");
  PutClipboard(CF_UNICODETEXT, {'x', 0, '\r', 0, '\n', 0, 'y', 0, 0, 0});
  c_->Perform(WM_PASTE, 0, 0);
  EXPECT_EQ(c_->Text(), u"x\ny");
  // A memo block one byte short pastes as plain text.
  Start(u"");
  std::vector<uint8_t> shortBlock = EncodeTextMemoBlock(u"zz", {Arial(), Arial()});
  shortBlock.pop_back();
  PutClipboard(CF_UNICODETEXT, {'p', 0, 0, 0});
  PutClipboard(TextMemoClipboardFormat(), shortBlock, false);
  Key('V', {ssCtrl});
  EXPECT_EQ(c_->Text(), u"p");
  // An unopened clipboard changes nothing.
  ASSERT_TRUE(OpenClipboard(nullptr));
  Key('V', {ssCtrl});
  EXPECT_EQ(c_->Text(), u"p");
  CloseClipboard();
}

TEST_F(TextControlForm, MousePlacesSelectsAndKeepsNavigationKeys) {
  Start(u"hello world");
  int moved = 0;
  c_->SetOnCursorMoved([&](TObject*) { ++moved; });
  // Positions are read before the presses (a press clears the layout until the next paint).
  const int32_t y = c_->CharY(0) + 2;
  int32_t cx[12];
  for (int k = 0; k < 12; ++k) cx[k] = c_->CharX(k) + 1;
  Click(c_, cx[3], y);
  Pump();
  AdvanceTime(1000);
  EXPECT_EQ(c_->CaretPos(), 3);
  MouseDown(c_, cx[8], y, mbLeft, {ssShift});
  MouseUp(c_, cx[8], y, mbLeft, {ssShift});
  Pump();
  EXPECT_EQ(c_->SelStart(), 3);
  EXPECT_EQ(c_->SelEnd(), 8);
  AdvanceTime(1000);
  MouseDown(c_, cx[1], y);
  MouseMove(c_, cx[4], y, {ssLeft});
  MouseUp(c_, cx[4], y);
  Pump();
  EXPECT_EQ(c_->SelStart(), 1);
  EXPECT_EQ(c_->SelEnd(), 4) << "a drag selects";
  EXPECT_GE(moved, 3);
  AdvanceTime(1000);
  DoubleClick(c_, cx[7], y);
  Pump();
  EXPECT_EQ(c_->SelStart(), 6);
  EXPECT_EQ(c_->SelEnd(), 11) << "a double click selects the word";

  for (uint16_t vk : {VK_TAB, VK_PRIOR, VK_NEXT, VK_HOME, VK_END, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN}) {
    Key(vk);
    EXPECT_TRUE(c_->Focused()) << "key " << vk << " stays with the control";
  }
}

// ---- layout and drawing ----

class TextLayout : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    bmp_ = std::make_unique<TBitmap>();
    bmp_->SetPixelFormat(pf24bit);
    bmp_->SetSize(400, 300);
    c_ = std::make_unique<TPXTextControl>(nullptr);
    c_->Font()->SetName("Courier New");
    c_->Font()->SetHeight(-20);
    c_->Font()->SetColor(clBlack);
    c_->TextBrush()->SetColor(clWhite);
    c_->TextBrush()->SetStyle(bsClear);
    c_->BoxBrush()->SetColor(clWhite);
    c_->BorderPen()->SetColor(clNone);
    // The width of one character in that font, measured as the control measures it.
    TBitmap m;
    m.SetPixelFormat(pf24bit);
    m.SetSize(4, 4);
    m.Canvas()->Font()->Assign(c_->Font());
    TPXCanvas pc(m.Canvas(), false, false);
    w_ = pc.GdiTextWidth("a");
    TEXTMETRIC tm;
    m.Canvas()->RequiredState({csHandleValid, csFontValid});
    GetTextMetrics(m.Canvas()->Handle(), &tm);
    h_ = tm.tmHeight;
    ASSERT_GT(w_, 2);
  }
  void Lay(const std::u16string& Text, int32_t Width, int32_t Height = 200, uint8_t Align = 0) {
    c_->SetAlignment(Align);
    c_->SetText(Text);
    c_->SetCharFormats(std::nullopt);
    c_->SetFormats(std::nullopt);
    c_->PrepareText();
    Paint(Width, Height);
  }
  void Paint(int32_t Width, int32_t Height) {
    bmp_->Canvas()->Brush()->SetColor(clWhite);
    bmp_->Canvas()->FillRect(TRect(0, 0, 400, 300));
    TPXCanvas pc(bmp_->Canvas(), false, false);
    c_->PaintTo(&pc, 0, 0, Width, Height);
  }
  TColor At(int32_t X, int32_t Y) { return bmp_->Canvas()->Pixels(X, Y); }
  bool InkIn(int32_t X0, int32_t Y0, int32_t X1, int32_t Y1) {
    for (int32_t y = Y0; y < Y1; ++y)
      for (int32_t x = X0; x < X1; ++x)
        if (At(x, y) != clWhite) return true;
    return false;
  }
  std::unique_ptr<TBitmap> bmp_;
  std::unique_ptr<TPXTextControl> c_;
  int32_t w_ = 0, h_ = 0;
};

TEST_F(TextLayout, EmptyTextAndTooSmallBoxes) {
  c_->SetMargins(10, 10, 0, 0);
  Lay(u"", 200, 100);
  EXPECT_EQ(c_->CaretX(), 21) << "Trunc(200 x 10 / 100) + 1";
  EXPECT_EQ(c_->CaretY(), 11);
  EXPECT_EQ(c_->CaretHeight(), h_);
  // Width or height 1 draws nothing and keeps the caret fields.
  c_->SetMargins(0, 0, 0, 0);
  Lay(u"abc", 1, 100);
  EXPECT_EQ(c_->CaretX(), 21);
  Lay(u"abc", 100, 1);
  EXPECT_EQ(c_->CaretY(), 11);
  EXPECT_FALSE(InkIn(0, 0, 400, 300));
}

TEST_F(TextLayout, WrapsAfterTheLastSpaceAndInsideLongWords) {
  // W' = 7w + 3: "aaa bbb" fits, the space after it does not.
  Lay(u"aaa bbb ccc", 7 * w_ + 5);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(c_->CharY(k), 1) << k;
  EXPECT_EQ(c_->CharX(4), 1 + 4 * w_);
  EXPECT_EQ(c_->CharX(8), 1) << "ccc starts the second line";
  EXPECT_EQ(c_->CharY(8), 1 + h_);
  EXPECT_TRUE(InkIn(1, 1, 1 + 3 * w_, 1 + h_));
  EXPECT_TRUE(InkIn(1, 1 + h_, 1 + 3 * w_, 1 + 2 * h_));
  // A word longer than the line breaks inside it.
  Lay(u"aaaaaaaaaa", 4 * w_ + 5);
  EXPECT_EQ(c_->CharY(3), 1);
  EXPECT_EQ(c_->CharX(4), 1);
  EXPECT_EQ(c_->CharY(4), 1 + h_);
  EXPECT_EQ(c_->CharY(8), 1 + 2 * h_);
  // A line that cannot hold its first character ends the layout: nothing drawn.
  Lay(u"abc", w_ + 2);
  EXPECT_FALSE(InkIn(0, 0, 400, 300));
  // LineSpacing and FixedLineHeight set the line pitch.
  c_->SetLineSpacing(3);
  Lay(u"a\nb", 100);
  EXPECT_EQ(c_->CharY(2), 1 + h_ + 3);
  c_->SetLineSpacing(0);
  c_->SetFixedLineHeight(30);
  Lay(u"a\nb", 100);
  EXPECT_EQ(c_->CharY(2), 31);
  c_->SetFixedLineHeight(0);
}

TEST_F(TextLayout, RightCentreAndJustifiedLines) {
  const int32_t W2 = 7 * w_ + 3, width = W2 + 2;
  Lay(u"aaa bbb ccc", width, 200, 1);
  // Right: W' - CharX[j] - width[j] - 1, with j the last non-space of the line.
  EXPECT_EQ(c_->CharX(0), 1 + (W2 - (1 + 6 * w_) - w_ - 1));
  EXPECT_EQ(c_->CharX(8), 1 + (W2 - (1 + 2 * w_) - w_ - 1));
  Lay(u"aaa bbb ccc", width, 200, 2);
  EXPECT_EQ(c_->CharX(8), 1 + (W2 - (1 + 2 * w_) - w_) / 2);
  // Justified: the wrapped line stretches, the paragraph's last line does not; the character
  // background runs through the gaps.
  c_->TextBrush()->SetColor(clYellow);
  c_->TextBrush()->SetStyle(bsSolid);
  Lay(u"aaa bbb ccc", width, 200, 3);
  const double F = double(W2) / (1 + 6 * w_ + w_ + 1);
  for (int k = 0; k < 7; ++k) EXPECT_EQ(c_->CharX(k), 1 + Trunc32(k * w_ * F)) << k;
  EXPECT_EQ(c_->CharX(9), 1 + w_);
  const int32_t gapX = 1 + Trunc32(6 * w_ * F) - 1;  // just before the last 'b'
  EXPECT_EQ(At(gapX, 1 + h_ / 2), clYellow);
  EXPECT_EQ(At(1 + 3 * w_ + 2, 1 + h_ + 3), clWhite) << "past the last line's end";
  // A wrapped line followed by one last character is not stretched.
  Lay(u"aaa bbb c", width, 200, 3);
  EXPECT_EQ(c_->CharX(6), 1 + 6 * w_);
}

TEST_F(TextLayout, SelectionIsComplementedOnASolidBrush) {
  c_->SetText(u"ab");
  c_->SetCharFormats(std::nullopt);
  c_->SetFormats(std::nullopt);
  c_->PrepareText();
  c_->SetSelection(1, 2);
  Paint(200, 100);
  // The middle rows of the cells: the selected one mostly black (its glyph white), the other
  // mostly white.
  auto count = [&](int k, TColor Color) {
    int n = 0;
    for (int y = c_->CharY(k) + h_ / 4; y < c_->CharY(k) + 3 * h_ / 4; ++y)
      for (int x = c_->CharX(k); x < c_->CharX(k) + w_; ++x) n += At(x, y) == Color;
    return n;
  };
  const int area = w_ * (3 * h_ / 4 - h_ / 4);
  EXPECT_GT(count(1, clBlack), area / 3) << "white background complemented";
  EXPECT_GT(count(0, clWhite), area / 2);
  // MonoColor ignores the records' colours.
  c_->SetSelection(0, 0);
  c_->SetCharFormat(0, [] {
    TPXCharFormat f = Arial(-20);
    f.SetName("Courier New");
    f.FontColor = clRed;
    return f;
  }());
  Paint(200, 100);
  auto hasRed = [&] {
    for (int y = 0; y < h_; ++y)
      for (int x = 1; x < 1 + w_; ++x)
        if (At(x, y) == clRed) return true;
    return false;
  };
  EXPECT_TRUE(hasRed());
  c_->SetMonoColor(true);
  c_->Update();
  Paint(200, 100);
  EXPECT_FALSE(hasRed());
  // The uniform mode draws every character with Font, ignoring the records.
  c_->SetMonoColor(false);
  c_->SetUniformFormat(true);
  Paint(200, 100);
  EXPECT_FALSE(hasRed());
  c_->SetUniformFormat(false);
}

TEST_F(TextLayout, ZoomBreaksAsAtOneAndDrawsTwiceAsTall) {
  const int32_t width = 7 * w_ + 5;
  Lay(u"aaa bbb ccc", width);
  std::vector<int32_t> x1, y1;
  for (int k = 0; k < 11; ++k) {
    x1.push_back(c_->CharX(k));
    y1.push_back(c_->CharY(k));
  }
  const int32_t endX = c_->CharX(11);
  c_->SetCaretPos(2);
  Paint(width, 200);
  const int32_t caretX1 = c_->CaretX(), caretH1 = c_->CaretHeight();
  auto inkRows = [&] {
    int32_t top = -1, bottom = -1;
    for (int y = 0; y < 300; ++y)
      if (InkIn(0, y, 400, y + 1)) {
        if (top < 0) top = y;
        bottom = y;
      }
    return bottom - top + 1;
  };
  const int32_t ink1 = inkRows();
  c_->SetZoom(2.0);
  c_->Update();
  Paint(width, 200);
  for (int k = 0; k < 11; ++k) {
    EXPECT_EQ(c_->CharX(k), Trunc32(x1[k] * 2.0)) << k;
    EXPECT_EQ(c_->CharY(k), Trunc32(y1[k] * 2.0)) << k;
  }
  EXPECT_EQ(c_->CharX(11), endX) << "the end entry keeps its unscaled value";
  EXPECT_EQ(c_->CaretX(), caretX1 * 2);
  EXPECT_EQ(c_->CaretHeight(), caretH1 * 2);
  EXPECT_NEAR(inkRows(), 2 * ink1, 6);
  // A font whose space is 0 pixels wide still finishes.
  c_->Font()->SetHeight(-1);
  Lay(u"a b c d e f g h", 300);
  c_->SetZoom(1.0);
}

TEST_F(TextLayout, CollectVisibleTextStopsBelowTheArea) {
  c_->SetCollectVisibleText(true);
  Lay(u"ab\ncd\nef\ngh", 200, 2 * h_ + 4);
  // Line 3's baseline lies below the area: drawn, not collected, and the loop stops.
  EXPECT_EQ(c_->VisibleText(), u"ab\ncd\n");
  c_->SetCollectVisibleText(false);
}

TEST_F(TextControlForm, AutoHeightGrowsAVisibleControlAndPaintShowsTheCaret) {
  c_->SetAutoHeight(true);
  c_->SetHeight(40);
  Start(u"");
  Type("a");
  Key(VK_RETURN);
  Type("b");
  Key(VK_RETURN);
  Type("c");
  Pump();
  EXPECT_GT(c_->Height(), 40);
  // Paint double-buffers into the off-screen bitmap and shows it; black ink where the text is.
  bool ink = false;
  for (int y = c_->CharY(0); y < c_->CharY(0) + 16; ++y)
    for (int x = c_->CharX(0); x < c_->CharX(1); ++x) ink = ink || Pixel(c_, x, y) != RGB(255, 255, 255);
  EXPECT_TRUE(ink);
  EXPECT_EQ(c_->OffscreenBitmap()->Width(), c_->ClientWidth());
}

TEST_F(TextControlForm, BackgroundBitmapShowsThroughAClearBox) {
  TBitmap back;
  back.SetPixelFormat(pf24bit);
  back.SetSize(400, 300);
  back.Canvas()->Brush()->SetColor(clLime);
  back.Canvas()->FillRect(TRect(0, 0, 400, 300));
  c_->SetBackgroundBitmap(&back);
  c_->BoxBrush()->SetStyle(bsClear);
  Start(u"");
  c_->Invalidate();
  Pump();
  EXPECT_EQ(Pixel(c_, 150, 150), RGB(0, 255, 0));
}

TEST_F(TextControlForm, PaintPutsTheCaretAndLosingTheFocusRemovesIt) {
  Start(u"ab\ncd");
  c_->SetCaretPos(4);
  c_->Invalidate();
  Pump();
  TPoint p;
  ASSERT_TRUE(GetCaretPos(&p));
  EXPECT_EQ(p.X, c_->CaretX());
  EXPECT_EQ(p.Y, c_->CaretY());
  EXPECT_EQ(c_->CaretX(), c_->CharX(4));
  EXPECT_GT(c_->CaretY(), c_->CharY(0));
  auto* button = new TButton(form_.get());  // takes the focus without a caret of its own
  button->SetParent(form_.get());
  button->SetBounds(200, 250, 60, 24);
  Pump();
  button->SetFocus();
  Pump();
  EXPECT_FALSE(GetCaretPos(&p)) << "no caret once the focus left";
}
