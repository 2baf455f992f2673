// The library's rich edit on a form: its properties with and without a window, keyboard
// shortcuts, links, undo, and its rendering and measuring into device contexts at any zoom.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/forms/StdCtrls.h"
#include "platform/gdi/Graphics.h"
#include "tests/forms/TestHost.h"
#include "vector/pxxRichEdit.h"

namespace {

class RichEditForm : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form_ = NewForm(400, 300);
    e_ = new TPXRichEdit(form_.get());
    e_->SetParent(form_.get());
    e_->SetBounds(10, 10, 300, 200);
    Pump();
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }
  void Type(const std::string& S) {
    for (char ch : S) {
      const uint16_t vk = ch >= 'a' && ch <= 'z' ? uint16_t(ch - 32) : uint16_t(ch);
      Press(vk, std::string(1, ch));
    }
    Pump();
  }
  void Key(uint16_t VK, TShiftState S = {}, const std::string& Text = "") {
    Press(VK, Text, S);
    Pump();
  }
  // The client-area box of the pixels that differ from white (empty when none).
  static TRect InkBox(HDC DC, const TRect& Area) {
    TRect box(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN);
    for (int32_t y = Area.Top; y < Area.Bottom; ++y)
      for (int32_t x = Area.Left; x < Area.Right; ++x)
        if ((GetPixel(DC, x, y) & 0xFFFFFF) != 0xFFFFFF) {
          box.Left = std::min(box.Left, x);
          box.Top = std::min(box.Top, y);
          box.Right = std::max(box.Right, x + 1);
          box.Bottom = std::max(box.Bottom, y + 1);
        }
    return box.Left == INT32_MAX ? TRect() : box;
  }
  std::unique_ptr<TForm> form_;
  TPXRichEdit* e_ = nullptr;
};

// A white 24-bit bitmap to render into.
std::unique_ptr<TBitmap> WhiteBitmap(int32_t W, int32_t H) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(W, H);
  b->Canvas()->Brush()->SetColor(clWhite);
  b->Canvas()->FillRect(TRect(0, 0, W, H));
  return b;
}

}  // namespace

TEST(RichEditAlone, WithoutAWindowItAnswersDefaults) {
  TPXRichEdit e(nullptr);
  EXPECT_EQ(RichEditLevel(), 5);
  EXPECT_FALSE(e.HandleAllocated());
  EXPECT_EQ(e.Zoom(), 100);
  e.SetZoom(150);
  EXPECT_EQ(e.Zoom(), 100);
  EXPECT_FALSE(e.CanUndo());
  EXPECT_FALSE(e.CanRedo());
  EXPECT_FALSE(e.CanPaste());
  EXPECT_EQ(e.SelAttributes()->Size(), 0) << "a zeroed record without a window";
  EXPECT_EQ(e.PosFromChar(0), TPoint(0, 0));
  e.SetRTFText("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 Hello\\par}");
  EXPECT_EQ(e.GetText(), "Hello");
  e.SetRTFText("");
  EXPECT_EQ(e.GetText(), "");
  // No window: PaintToDC draws nothing.
  auto b = WhiteBitmap(50, 50);
  e.PaintToDC(b->Canvas()->Handle(), TRect(), 0, 0, 1, 1);
  EXPECT_EQ(b->Canvas()->Pixels(10, 10), clWhite);
}

TEST_F(RichEditForm, PropertiesGoThroughTheWindow) {
  ASSERT_TRUE(e_->HandleAllocated());
  e_->SetZoom(150);
  EXPECT_EQ(e_->Zoom(), 150);
  e_->SetZoom(0);
  EXPECT_EQ(e_->Zoom(), 100);
  EXPECT_TRUE(e_->AutoURLDetect());
  e_->SetAutoURLDetect(false);
  EXPECT_FALSE(e_->AutoURLDetect());
  EXPECT_TRUE(e_->WordSelection());
  e_->SetWordSelection(false);
  EXPECT_FALSE(e_->WordSelection());
  EXPECT_EQ(e_->LanguageOptions(), TPXLanguageOptions{rlAutoFont});
  e_->SetLanguageOptions(TPXLanguageOptions{rlAutoKeyboard, rlImeCancelComplete});
  EXPECT_EQ(e_->LanguageOptions(), (TPXLanguageOptions{rlAutoKeyboard, rlImeCancelComplete}));
  e_->SetUndoLimit(7);
  EXPECT_EQ(e_->UndoLimit(), 7);
  // The font goes to the default format.
  e_->Font()->SetName("Courier New");
  e_->Font()->SetSize(14);
  EXPECT_EQ(e_->DefAttributes()->Name(), "Courier New");
  EXPECT_EQ(e_->DefAttributes()->Size(), 14);
  EXPECT_EQ(e_->DefAttributes()->Height(), 19);
}

TEST_F(RichEditForm, ReplacingTheSelectionLeavesTheNewTextSelected) {
  e_->SetRTFText("{\\rtf1 one two three\\par}");
  e_->SetSelection(4, 7, false);
  e_->SetSelText("2");
  EXPECT_EQ(e_->GetText(), "one 2 three");
  EXPECT_EQ(e_->GetSelection(), (CHARRANGE{4, 5}));
  EXPECT_EQ(e_->GetTextRange(0, 3), "one");
  e_->Undo();
  EXPECT_EQ(e_->GetText(), "one two three");
}

TEST_F(RichEditForm, ShortcutsChangeTheSelection) {
  struct Case {
    const char* Name;
    uint16_t Key;
    std::function<bool(TPXRichEdit*)> Holds;
  } cases[] = {
      {"ctrl+b", 'B', [](TPXRichEdit* e) { return e->SelAttributes()->HasEffect(CFE_BOLD); }},
      {"ctrl+i", 'I', [](TPXRichEdit* e) { return e->SelAttributes()->HasEffect(CFE_ITALIC); }},
      {"ctrl+u", 'U', [](TPXRichEdit* e) { return e->SelAttributes()->HasEffect(CFE_UNDERLINE); }},
      {"ctrl+r", 'R', [](TPXRichEdit* e) { return e->Paragraph()->Alignment() == 1; }},
      {"ctrl+e", 'E', [](TPXRichEdit* e) { return e->Paragraph()->Alignment() == 2; }},
      {"ctrl+j", 'J', [](TPXRichEdit* e) { return e->Paragraph()->Alignment() == 3; }},
      {"ctrl+period", VK_OEM_PERIOD, [](TPXRichEdit* e) { return e->SelAttributes()->Size() == 11; }},
      {"ctrl+comma", VK_OEM_COMMA, [](TPXRichEdit* e) { return e->SelAttributes()->Size() == 9; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    e_->SetRTFText("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 some text\\par}");
    e_->SetFocus();
    e_->SetSelection(0, 4, false);
    Key(c.Key, {ssCtrl}, c.Key == 'I' ? "\t" : "");
    EXPECT_TRUE(c.Holds(e_));
    EXPECT_EQ(e_->GetText(), "some text") << "the shortcut types nothing";
  }
  // Bold again turns it off; Ctrl+L goes back to the left.
  e_->SetRTFText("{\\rtf1 some\\par}");
  e_->SetSelection(0, 4, false);
  Key('B', {ssCtrl});
  Key('B', {ssCtrl});
  EXPECT_FALSE(e_->SelAttributes()->HasEffect(CFE_BOLD));
  Key('J', {ssCtrl});
  Key('L', {ssCtrl});
  EXPECT_EQ(e_->Paragraph()->Alignment(), 0);
  // Ctrl+Space gives the selection the default format.
  e_->SelAttributes()->SetSize(20);
  Key(VK_SPACE, {ssCtrl}, " ");
  EXPECT_EQ(e_->SelAttributes()->Size(), 10);
  EXPECT_EQ(e_->GetText(), "some");
  // Shortcuts off: Ctrl+B does nothing.
  e_->SetKeyboardShortcuts(false);
  Key('B', {ssCtrl});
  EXPECT_FALSE(e_->SelAttributes()->HasEffect(CFE_BOLD));
}

TEST_F(RichEditForm, EnterWithoutWantReturnsIsDropped) {
  e_->SetFocus();
  Type("ab");
  Key(VK_RETURN, {}, "\r");
  EXPECT_EQ(e_->GetText(), "ab\r\n");
  e_->SetWantReturns(false);
  Key(VK_RETURN, {}, "\r");
  EXPECT_EQ(e_->GetText(), "ab\r\n");
}

TEST_F(RichEditForm, UndoLimitOneUndoesOnlyTheLastEdit) {
  e_->SetUndoLimit(1);
  EXPECT_EQ(e_->UndoLimit(), 1);
  e_->SetFocus();
  e_->SetSelText("first ");
  e_->SetSelection(6, 6, false);
  e_->SetSelText("second");
  EXPECT_TRUE(e_->CanUndo());
  e_->Undo();
  EXPECT_EQ(e_->GetText(), "first ");
  EXPECT_FALSE(e_->CanUndo());
  EXPECT_TRUE(e_->CanRedo());
  e_->Redo();
  EXPECT_EQ(e_->GetText(), "first second");
}

TEST_F(RichEditForm, TypedAddressesBecomeLinks) {
  std::vector<std::string> hovers, clicks;
  e_->SetOnURLHover(TPXUrlHoverEvent([&](TObject*, const std::string& Url) { hovers.push_back(Url); }));
  e_->SetOnURLClick(TPXUrlClickEvent([&](TObject*, const std::string& Url, TMouseButton B) {
    clicks.push_back(Url + (B == mbLeft ? " left" : " right"));
  }));
  e_->SetFocus();
  Type("see https://example.org/x now");
  ASSERT_EQ(e_->Links().size(), 1u);
  EXPECT_EQ(e_->Links()[0], (CHARRANGE{4, 25}));
  const TPoint a = e_->PosFromChar(10), after = e_->PosFromChar(27);
  const int32_t y = a.Y + 5;
  MouseMove(e_, a.X + 2, y);
  Pump();
  ASSERT_FALSE(hovers.empty());
  EXPECT_EQ(hovers.back(), "https://example.org/x");
  // Pressed on the link and released on it: a click; released elsewhere: none.
  MouseDown(e_, a.X + 2, y);
  MouseUp(e_, a.X + 3, y);
  MouseDown(e_, a.X + 2, y, mbRight);
  MouseUp(e_, a.X + 2, y, mbRight);
  MouseDown(e_, a.X + 2, y);
  MouseUp(e_, after.X + 2, y);
  Pump();
  EXPECT_EQ(clicks, (std::vector<std::string>{"https://example.org/x left", "https://example.org/x right"}));
  // The link is painted underlined in blue.
  bool blue = false;
  for (int32_t x = a.X; x < a.X + 30 && !blue; ++x)
    for (int32_t yy = a.Y; yy < a.Y + 18 && !blue; ++yy) {
      const TColorRef c = Pixel(e_, x, yy);
      blue = GetBValue(c) > 150 && GetRValue(c) < 100 && GetGValue(c) < 100;
    }
  EXPECT_TRUE(blue);
}

TEST_F(RichEditForm, TypedTextAndTheSelectionArePainted) {
  e_->SetFocus();
  Type("wwww");
  const TPoint end = e_->PosFromChar(4);
  int dark = 0;
  for (int32_t x = 1; x < end.X; ++x)
    for (int32_t y = 0; y < 16; ++y) dark += GetRValue(Pixel(e_, x, y)) < 100;
  EXPECT_GT(dark, 10);
  EXPECT_EQ(Pixel(e_, end.X + 40, 8), RGB(255, 255, 255));
  Key(VK_HOME, {ssShift});
  const TColorRef highlight = static_cast<TColorRef>(ColorToRGB(clHighlight));
  int selected = 0;
  // Above the small letters the line is the highlight colour.
  for (int32_t x = 1; x < end.X; ++x) selected += Pixel(e_, x, 2) == highlight;
  EXPECT_GT(selected, end.X / 3);
  EXPECT_EQ(e_->GetSelection(), (CHARRANGE{0, 4}));
  // Centred, the whole word is drawn around the middle: the selection spans its width.
  Key('E', {ssCtrl});
  const TPoint a = e_->PosFromChar(0), b = e_->PosFromChar(4);
  EXPECT_NEAR((a.X + b.X) / 2.0, e_->ClientWidth() / 2.0, 3);
  EXPECT_EQ(Pixel(e_, b.X - 2, 2), highlight);
  EXPECT_EQ(Pixel(e_, 5, 2), RGB(255, 255, 255));
}

TEST_F(RichEditForm, PaintToDCAlignsAndZooms) {
  e_->SetRTFText("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs40 Hi\\par}");
  auto b = WhiteBitmap(300, 200);
  HDC dc = b->Canvas()->Handle();
  const TRect area(0, 0, 300, 200);
  e_->PaintToDC(dc, TRect(0, 0, 300, 200), 0, 0, 1.0, 1.0);
  const TRect one = InkBox(dc, area);
  ASSERT_FALSE(one.IsEmpty());
  EXPECT_LT(one.Left, 10);
  EXPECT_LT(one.Top, 20);
  EXPECT_EQ(GetMapMode(dc), MM_TEXT);

  struct Case {
    const char* Name;
    int32_t HAlign;
    uint8_t VAlign;
  } cases[] = {{"right bottom", 2, 2}, {"centre", 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    auto t = WhiteBitmap(300, 200);
    e_->PaintToDC(t->Canvas()->Handle(), TRect(0, 0, 300, 200), c.HAlign, c.VAlign, 1.0, 1.0);
    const TRect box = InkBox(t->Canvas()->Handle(), area);
    ASSERT_FALSE(box.IsEmpty());
    if (c.HAlign == 2) {
      EXPECT_GE(box.Right, 285);
      EXPECT_GE(box.Bottom, 180);
    } else {
      EXPECT_NEAR((box.Left + box.Right) / 2.0, 150, 12);
      EXPECT_NEAR((box.Top + box.Bottom) / 2.0, 100, 12);
    }
    EXPECT_EQ(box.Width(), one.Width());
    EXPECT_EQ(box.Height(), one.Height());
  }

  // Zoom 2: twice as large, and the DC keeps the mapping.
  auto z = WhiteBitmap(300, 200);
  HDC zdc = z->Canvas()->Handle();
  e_->PaintToDC(zdc, TRect(0, 0, 300, 200), 0, 0, 2.0, 2.0);
  TSize we, ve;
  GetWindowExtEx(zdc, &we);
  GetViewportExtEx(zdc, &ve);
  EXPECT_EQ(GetMapMode(zdc), MM_ANISOTROPIC);
  EXPECT_EQ(we, TSize(100, 100));
  EXPECT_EQ(ve, TSize(200, 200));
  SetMapMode(zdc, MM_TEXT);
  const TRect two = InkBox(zdc, area);
  EXPECT_NEAR(two.Width(), 2 * one.Width(), 3);
  EXPECT_NEAR(two.Height(), 2 * one.Height(), 3);
}

TEST_F(RichEditForm, MeasuresHeightsAndUnwrappedWidths) {
  e_->SetRTFText("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 a\\par}");
  const int32_t line = TPXRichEdit::MeasureRichTextHeight(e_, nullptr, 0);
  EXPECT_GT(line, 10);
  EXPECT_LT(line, 20);
  e_->SetRTFText("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 a long first line of words\\par b\\par c\\par}");
  const int32_t three = TPXRichEdit::MeasureRichTextHeight(e_, nullptr, 0);
  EXPECT_NEAR(three, 3 * line, 2) << "one line per paragraph";
  EXPECT_GT(TPXRichEdit::MeasureRichTextHeight(e_, nullptr, 40), three) << "a narrow width wraps";

  // The unwrapped width is the longest line's end, measured against the same text in the
  // same font through the device context.
  const int32_t w = e_->GetUnwrappedWidth();
  EXPECT_TRUE(e_->WordWrap());
  TBitmap b;
  b.Canvas()->Font()->SetName("Arial");
  b.Canvas()->Font()->SetSize(10);
  const int32_t gdi = b.Canvas()->TextWidth("a long first line of words");
  EXPECT_NEAR(w, gdi + 2, 3);
  e_->SetRTFText("");
  EXPECT_EQ(e_->GetUnwrappedWidth(), 2) << "the margin and 1";
}
