// The rich edit's floating tool bar: when it shows and where, its button groups, the state it
// takes from the selection, what its buttons do, and its painted font and colour boxes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/ExtCtrls_paintbox.h"
#include "platform/forms/FormsTesting.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/gdi/ImgList.h"
#include "tests/forms/TestHost.h"
#include "vector/pxxRichEdit.h"
#include "vector/pxxToolbars.h"

namespace {

class RichToolbarTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form_ = NewForm(600, 300);
    form_->SetLeft(100);
    form_->SetTop(150);
    e_ = new TPXRichEdit(form_.get());
    e_->SetParent(form_.get());
    e_->SetBounds(20, 80, 540, 120);
    other_ = new TEdit(form_.get());
    other_->SetParent(form_.get());
    other_->SetBounds(20, 240, 100, 21);
    form_->Show();
    e_->SetText("Hello world");
    Pump();
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }
  // Enables the tool bar and focuses the edit.
  TPXRichToolbar* Open(TPXToolbarPosition Where = pxpAbove, bool Wide = false, TPXRichToolbarButtons Excluded = {}) {
    TPXRichAutoToolbar settings;
    settings.SetEnabled(true);
    settings.SetPosition(Where);
    settings.SetWideToolbar(Wide);
    settings.SetExcludedButtons(Excluded);
    e_->SetAutoToolbar(&settings);
    e_->SetFocus();
    Pump();
    return e_->Toolbar();
  }
  // A painted pixel of a paint box, read from the tool bar it sits on.
  static TColorRef BoxPixel(TPXRichToolbar* T, TControl* Box, int32_t X, int32_t Y) {
    return Pixel(T->REToolbar, Box->Left() + X, Box->Top() + Y);
  }
  std::unique_ptr<TForm> form_;
  TPXRichEdit* e_ = nullptr;
  TEdit* other_ = nullptr;
};

TEST_F(RichToolbarTest, ShowsWithTheFocusAtTheEditsSide) {
  e_->SetFocus();
  Pump();
  EXPECT_EQ(e_->Toolbar(), nullptr) << "disabled settings make no tool bar";

  TPXRichToolbar* t = Open();
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->Visible());
  EXPECT_TRUE(e_->Focused()) << "the focus goes back to the edit";
  EXPECT_EQ(t->FormStyle(), fsStayOnTop);
  const int32_t h = t->REToolbar->Height(), bw = t->BorderWidth();
  const TPoint o = e_->ClientOrigin();
  EXPECT_EQ(bw, 1);
  EXPECT_EQ(t->Left(), o.X - 2);
  EXPECT_EQ(t->Top(), o.Y - h - 2 * bw - 4);
  EXPECT_EQ(t->Width(), t->REToolbar->Width() + 2 * bw);
  EXPECT_EQ(t->Height(), h + 2 * bw);
  // The panel's face inside the frame, the buttons 31 x 30.
  EXPECT_EQ(Pixel(t->REToolbar, 1, 1), RGB(212, 208, 200));
  EXPECT_EQ(t->Color(), clWindowFrame);
  EXPECT_EQ(t->btnBold->Width(), 31);
  EXPECT_EQ(t->btnBold->Height(), 30);
  EXPECT_EQ(t->pbxFont->Width(), 126);

  // Focus elsewhere hides it; back in the edit shows it again; read-only and disabled hide it.
  other_->SetFocus();
  Pump();
  EXPECT_FALSE(t->Visible());
  e_->SetFocus();
  Pump();
  EXPECT_TRUE(t->Visible());
  e_->SetReadOnly(true);
  EXPECT_FALSE(t->Visible());
  e_->SetReadOnly(false);
  EXPECT_TRUE(t->Visible());

  // Below the edit, and narrowed to a narrower edit.
  TPXRichAutoToolbar below;
  below.Assign(e_->AutoToolbar());
  below.SetPosition(pxpBelow);
  e_->SetAutoToolbar(&below);
  other_->SetFocus();
  Pump();
  e_->SetWidth(150);
  e_->SetFocus();
  Pump();
  t->Timer()->SetEnabled(true);
  AdvanceTime(150);
  Pump();
  EXPECT_EQ(t->Top(), e_->ClientOrigin().Y + e_->Height());
  EXPECT_EQ(t->Width(), 150);
  EXPECT_EQ(t->pnlToolbar->Width(), 148);
}

TEST_F(RichToolbarTest, GroupsFollowWideAndExcludedButtons) {
  struct Case {
    bool Wide;
    TPXRichToolbarButtons Excluded;
    bool Drop, Four, Lists;
  };
  const Case cases[] = {
      {false, {}, true, false, true},
      {true, {}, false, true, true},
      {false, {pxrbAlignment, pxrbBullets}, false, false, false},
      {true, {pxrbBullets}, false, true, false},
  };
  for (const Case& c : cases) {
    TPXRichToolbar* t = Open(pxpAbove, c.Wide, c.Excluded);
    ASSERT_NE(t, nullptr);
    SCOPED_TRACE(c.Wide);
    EXPECT_EQ(t->btnAlign->Visible(), c.Drop);
    for (TToolButton* b : {t->btnAlignLeft, t->btnAlignCenter, t->btnAlignRight, t->btnAlignJustify})
      EXPECT_EQ(b->Visible(), c.Four);
    EXPECT_EQ(t->btnBullets->Visible(), c.Lists);
    EXPECT_EQ(t->btnNumbering->Visible(), c.Lists);
    for (TToolButton* b : {t->btnFont, t->btnFontSize, t->btnBold, t->btnItalics, t->btnUnderline})
      EXPECT_TRUE(b->Visible());
    // The bar is as wide as its visible items.
    int32_t right = 0;
    for (TControl* item : t->REToolbar->Items())
      if (item->Visible()) right = std::max(right, item->Left() + item->Width());
    EXPECT_EQ(t->REToolbar->ClientWidth(), right);
    other_->SetFocus();
    Pump();
  }
  // Wide: the current alignment's button is down.
  TPXRichToolbar* t = Open(pxpAbove, true);
  e_->Paragraph()->SetAlignment(2);
  e_->UpdateAutoToolbar();
  EXPECT_TRUE(t->btnAlignCenter->Down());
  EXPECT_FALSE(t->btnAlignLeft->Down());
  Click(t->btnAlignJustify, 10, 10);
  Pump();
  EXPECT_EQ(e_->Paragraph()->Alignment(), 3);
  EXPECT_TRUE(t->btnAlignJustify->Down());
  EXPECT_FALSE(t->btnAlignCenter->Down());
  EXPECT_TRUE(e_->Focused());
}

TEST_F(RichToolbarTest, ButtonsActOnTheSelection) {
  TPXRichToolbar* t = Open();
  ASSERT_NE(t, nullptr);
  e_->SetSelection(0, 5, false);
  Pump();
  // Styles.
  Click(t->btnBold, 10, 10);
  Pump();
  EXPECT_TRUE(e_->SelAttributes()->HasEffect(CFE_BOLD));
  Click(t->btnItalics, 10, 10);
  Click(t->btnUnderline, 10, 10);
  Pump();
  EXPECT_TRUE(e_->SelAttributes()->HasEffect(CFE_ITALIC | CFE_UNDERLINE));
  Click(t->btnBold, 10, 10);
  Pump();
  EXPECT_FALSE(e_->SelAttributes()->HasEffect(CFE_BOLD));
  EXPECT_EQ(e_->GetSelection().cpMax, 5);
  // Refreshing from the edit sets the buttons without acting.
  e_->SelAttributes()->SetEffect(CFE_BOLD, true);
  e_->SetSelection(1, 4, false);
  Pump();
  EXPECT_TRUE(t->btnBold->Down());
  EXPECT_TRUE(e_->SelAttributes()->HasEffect(CFE_BOLD));

  // The size button: upper half one point up, lower half one down.
  const int32_t size = e_->SelAttributes()->Size();
  Click(t->btnFontSize, 15, 5);
  Pump();
  EXPECT_EQ(e_->SelAttributes()->Size(), size + 1);
  Click(t->btnFontSize, 15, 25);
  Click(t->btnFontSize, 15, 25);
  Pump();
  EXPECT_EQ(e_->SelAttributes()->Size(), size - 1);

  // The drop-down cycles left, right, centre, justify, left; its picture follows.
  e_->Paragraph()->SetAlignment(0);
  for (int32_t expected : {1, 2, 3, 0}) {
    Click(t->btnAlign, 5, 10);
    Pump();
    EXPECT_EQ(e_->Paragraph()->Alignment(), expected);
    EXPECT_EQ(t->btnAlign->ImageIndex(), expected);
  }
  EXPECT_TRUE(t->pitAlignLeft->Checked());
  t->pitAlignCenter->Click();
  EXPECT_EQ(e_->Paragraph()->Alignment(), 2);
  EXPECT_TRUE(t->pitAlignCenter->Checked());
  EXPECT_FALSE(t->pitAlignLeft->Checked());

  // Bullets and numbering release each other.
  Click(t->btnBullets, 10, 10);
  Pump();
  EXPECT_EQ(e_->Paragraph()->Numbering(), 1);
  Click(t->btnNumbering, 10, 10);
  Pump();
  EXPECT_EQ(e_->Paragraph()->Numbering(), 2);
  PARAFORMAT2 pf{};
  pf.cbSize = sizeof(pf);
  e_->Perform(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
  EXPECT_EQ(pf.wNumberingStyle, 512) << "numbers followed by a period";
  EXPECT_EQ(pf.wNumberingStart, 1);
  EXPECT_FALSE(t->btnBullets->Down());
  Click(t->btnNumbering, 10, 10);
  Pump();
  EXPECT_EQ(e_->Paragraph()->Numbering(), 0);
  EXPECT_FALSE(t->btnNumbering->Down());
  EXPECT_TRUE(e_->Focused());
}

TEST_F(RichToolbarTest, FunctionsMenuFollowsTheEdit) {
  TPXRichToolbar* t = Open();
  ASSERT_NE(t, nullptr);
  e_->SetSelection(0, 0, false);
  Pump();
  EXPECT_FALSE(t->pitCut->Enabled());
  EXPECT_FALSE(t->pitCopy->Enabled());
  EXPECT_FALSE(t->pitUndo->Enabled());
  e_->SetSelection(0, 5, false);
  Pump();
  EXPECT_TRUE(t->pitCut->Enabled());
  t->pitCut->Click();
  Pump();
  EXPECT_EQ(e_->GetText(), " world");
  EXPECT_TRUE(t->pitUndo->Enabled());
  EXPECT_TRUE(t->pitPaste->Enabled());
  t->pitUndo->Click();
  Pump();
  EXPECT_EQ(e_->GetText(), "Hello world");
  EXPECT_TRUE(t->pitRedo->Enabled());
  t->pitRedo->Click();
  Pump();
  EXPECT_EQ(e_->GetText(), " world");
  e_->SetSelection(0, 0, false);
  t->pitPaste->Click();
  Pump();
  EXPECT_EQ(e_->GetText(), "Hello world");
}

TEST_F(RichToolbarTest, FontAndColourBoxesPaintTheSelection) {
  TPXRichToolbar* t = Open();
  ASSERT_NE(t, nullptr);
  e_->SetSelection(0, 5, false);
  e_->SelAttributes()->SetColor(static_cast<TColor>(RGB(0, 128, 255)));
  e_->SelAttributes()->SetName("Arial");
  e_->UpdateAutoToolbar();
  Pump();
  // Font box: the face, the two shadow frames, ink of the name and of the size.
  TPaintBox* f = t->pbxFont;
  EXPECT_EQ(BoxPixel(t, f, 0, 0), RGB(212, 208, 200));
  EXPECT_EQ(BoxPixel(t, f, 2, 2), RGB(128, 128, 128));
  EXPECT_EQ(BoxPixel(t, f, 93, 27), RGB(128, 128, 128));
  EXPECT_EQ(BoxPixel(t, f, 96, 2), RGB(128, 128, 128));
  EXPECT_EQ(BoxPixel(t, f, 123, 27), RGB(128, 128, 128));
  auto ink = [&](int32_t X0, int32_t X1) {
    int n = 0;
    for (int32_t y = 4; y < 26; ++y)
      for (int32_t x = X0; x < X1; ++x) n += BoxPixel(t, f, x, y) != RGB(212, 208, 200);
    return n;
  };
  EXPECT_GT(ink(4, 92), 10);
  EXPECT_GT(ink(98, 122), 5);
  // Colour box: the square (2, 8, 16, 22) framed in shadow, filled with the colour.
  TPaintBox* c = t->pbxFontColor;
  EXPECT_EQ(BoxPixel(t, c, 2, 8), RGB(128, 128, 128));
  EXPECT_EQ(BoxPixel(t, c, 15, 21), RGB(128, 128, 128));
  EXPECT_EQ(BoxPixel(t, c, 9, 15), RGB(0, 128, 255));
  EXPECT_EQ(BoxPixel(t, c, 9, 5), RGB(212, 208, 200));
  EXPECT_EQ(BoxPixel(t, c, 17, 15), RGB(212, 208, 200));

  // A name wider than 84 pixels ends in "..." inside the name box.
  e_->SelAttributes()->SetName("Liberation Sans Narrow Bold Condensed Wide");
  e_->UpdateAutoToolbar();
  Pump();
  for (int32_t y = 3; y < 27; ++y)
    for (int32_t x = 93; x < 96; ++x) EXPECT_EQ(BoxPixel(t, f, x, y), x == 93 ? RGB(128, 128, 128) : RGB(212, 208, 200));
}

TEST_F(RichToolbarTest, DialogsOpenUnderTheBarAndTheColourBox) {
  TPXRichToolbar* t = Open();
  ASSERT_NE(t, nullptr);
  e_->SetSelection(0, 5, false);
  TDialogScript::Start();
  TRect colourAt, fontAt;
  TDialogAnswer colour = TDialogAnswer::ChooseColor(clRed);
  colour.WhileOpen = [&](TCommonDialog* D) { colourAt = D->WindowBounds(); };
  TDialogScript::Push(colour);
  Click(t->pbxFontColor, 9, 15);
  Pump();
  EXPECT_EQ(e_->SelAttributes()->Color(), clRed);
  const TPoint under = t->pbxFontColor->ClientToScreen(TPoint(0, t->pbxFontColor->Height()));
  EXPECT_EQ(colourAt.Left, under.X);
  EXPECT_EQ(colourAt.Top, under.Y);
  TDialogAnswer font = TDialogAnswer::Cancelled();
  font.WhileOpen = [&](TCommonDialog* D) { fontAt = D->WindowBounds(); };
  TDialogScript::Push(font);
  Click(t->btnFont, 10, 10);
  Pump();
  EXPECT_EQ(fontAt.Left, t->Left());
  EXPECT_EQ(fontAt.Top, t->Top() + t->Height());
  EXPECT_EQ(TDialogScript::Pending(), 0u);
  TDialogScript::Stop();
  EXPECT_TRUE(e_->Focused());
}

TEST_F(RichToolbarTest, ImagesAndBulletsAreDrawn) {
  TPXRichToolbar* t = Open();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->imlToolbar->Count(), 11);
  EXPECT_EQ(t->imlToolbar->Width(), 24);
  // Each picture, drawn on white, has ink on a transparent ground, and no two are alike.
  std::vector<std::vector<TColorRef>> seen;
  for (int32_t i = 0; i < 11; ++i) {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(24, 24);
    b->Canvas()->Brush()->SetColor(clWhite);
    b->Canvas()->FillRect(TRect(0, 0, 24, 24));
    t->imlToolbar->Draw(b->Canvas(), 0, 0, i);
    std::vector<TColorRef> px;
    int ink = 0;
    for (int32_t y = 0; y < 24; ++y)
      for (int32_t x = 0; x < 24; ++x) {
        px.push_back(b->Canvas()->Pixels(x, y));
        ink += px.back() != RGB(255, 255, 255);
      }
    EXPECT_GT(ink, 20) << i;
    EXPECT_LT(ink, 24 * 24 / 2) << i;
    for (const auto& s : seen) EXPECT_NE(s, px) << i;
    seen.push_back(px);
  }
  // The bold button shows its black letter on the face.
  int black = 0;
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 31; ++x) black += Pixel(t->REToolbar, t->btnBold->Left() + x, y + t->btnBold->Top()) == RGB(0, 0, 0);
  EXPECT_GT(black, 30);
  // A bulleted paragraph shows ink left of its text; a plain one does not.
  other_->SetFocus();
  e_->SetRTFText("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 plain\\par plain\\par}");
  Pump();
  e_->SetSelection(0, 0, false);
  e_->Paragraph()->SetNumbering(1);
  Pump();
  const TPoint first = e_->PosFromChar(0), second = e_->PosFromChar(6);
  auto inkLeftOf = [&](TPoint P) {
    int n = 0;
    for (int32_t y = P.Y; y < P.Y + 12; ++y)
      for (int32_t x = 1; x < P.X - 1; ++x) n += Pixel(e_, x, y) != RGB(255, 255, 255);
    return n;
  };
  EXPECT_GT(first.X, second.X) << "bullets raise the indent";
  EXPECT_GT(inkLeftOf(first), 3);
  EXPECT_EQ(inkLeftOf(second), 0);
}

}  // namespace
