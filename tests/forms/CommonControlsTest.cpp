#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Buttons.h"
#include "platform/forms/Clipbrd.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ComCtrls_pages.h"
#include "platform/forms/ComCtrls_range.h"
#include "platform/forms/ExtCtrls_linklabel.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/StdCtrls_memo.h"
#include "tests/forms/TestHost.h"

namespace {

class CommonControlsTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form_ = NewForm(400, 300);
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }
  template <class T>
  T* Make(int32_t X, int32_t Y, int32_t W = 0, int32_t H = 0) {
    auto* c = new T(form_.get());  // owned by the form
    c->SetBounds(X, Y, W ? W : c->Width(), H ? H : c->Height());
    c->SetParent(form_.get());
    return c;
  }
  static void Type(const std::string& Text) {
    for (char c : Text) {
      const uint16_t vk = c >= 'a' && c <= 'z' ? static_cast<uint16_t>(c - 32) : static_cast<uint16_t>(c);
      Press(vk, std::string(1, c));
    }
  }
  static TColorRef Rgb(TColor c) { return static_cast<TColorRef>(ColorToRGB(c)); }
  // Pixels of a client rectangle that are not the colour Back.
  static int InkIn(TWinControl* C, const TRect& R, TColor Back) {
    int n = 0;
    for (int32_t y = R.Top; y < R.Bottom; ++y)
      for (int32_t x = R.Left; x < R.Right; ++x) n += Pixel(C, x, y) != Rgb(Back);
    return n;
  }
  std::unique_ptr<TForm> form_;
};

// ---------------------------------------------------------------------------------------------
// Memo

TEST_F(CommonControlsTest, MemoTypesLinesAndMovesBetweenThem) {
  auto* memo = Make<TMemo>(10, 10, 200, 120);
  memo->SetFocus();
  Type("abc");
  Press(VK_RETURN, "\r");
  Type("de");
  Press(VK_RETURN, "\r");
  Type("fghij");
  EXPECT_EQ(memo->Text(), "abc\r\nde\r\nfghij");
  ASSERT_EQ(memo->Lines()->Count(), 3);
  EXPECT_EQ(memo->Lines()->Strings(1), "de");
  EXPECT_EQ(memo->Perform(EM_GETLINECOUNT), 3);
  // Up from the end of "fghij" lands at the end of the shorter "de"; up again keeps the column
  // the move started in.
  Press(VK_UP);
  EXPECT_EQ(memo->SelStart(), 7);
  Press(VK_UP);
  EXPECT_GE(memo->SelStart(), 2);
  EXPECT_LE(memo->SelStart(), 3);
  // Home, End and a line break that moves and deletes as one.
  Press(VK_END);
  EXPECT_EQ(memo->SelStart(), 3);
  Press(VK_RIGHT);
  EXPECT_EQ(memo->SelStart(), 5);
  Press(VK_BACK, "\b");
  EXPECT_EQ(memo->Text(), "abcde\r\nfghij");
  Press(VK_DELETE);
  EXPECT_EQ(memo->Text(), "abce\r\nfghij");
  Press(VK_END);
  Press(VK_DELETE);
  EXPECT_EQ(memo->Text(), "abcefghij");
  // Lines edits the text.
  memo->Lines()->SetStrings(0, "one");
  memo->Lines()->Add("two");
  EXPECT_EQ(memo->Text(), "one\r\ntwo\r\n");
  EXPECT_EQ(memo->Lines()->Count(), 2);
  memo->Lines()->Delete(0);
  EXPECT_EQ(memo->Text(), "two\r\n");
  EXPECT_THROW(memo->Lines()->Strings(5), EStringListError);
}

TEST_F(CommonControlsTest, MemoWrapsReturnsAndPastesLines) {
  auto* memo = Make<TMemo>(10, 10, 80, 120);
  memo->SetText("one two three four five six seven");
  Pump();
  // Wrapped at spaces: every layout line fits the text area, and together they hold the text.
  const int32_t lines = memo->LayoutLineCount();
  EXPECT_GT(lines, 2);
  memo->SetWordWrap(false);
  EXPECT_EQ(memo->LayoutLineCount(), 1);
  memo->SetWordWrap(true);
  EXPECT_EQ(memo->LayoutLineCount(), lines);
  // A word longer than the line breaks inside.
  memo->SetText(std::string(40, 'W'));
  EXPECT_GT(memo->LayoutLineCount(), 1);

  // Without WantReturns Enter goes to the form (its default button clicks).
  auto* ok = Make<TButton>(300, 250);
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  memo->SetText("");
  memo->SetWantReturns(false);
  memo->SetFocus();
  Press(VK_RETURN, "\r");
  EXPECT_EQ(memo->Text(), "");
  EXPECT_EQ(form_->ModalResult(), mrOk);
  form_->SetModalResult(mrNone);
  memo->SetWantReturns(true);
  Press(VK_RETURN, "\r");
  EXPECT_EQ(memo->Text(), "\r\n");
  EXPECT_EQ(form_->ModalResult(), mrNone);

  // Pasted line breaks of every kind become CR LF.
  Clipboard()->SetAsText("a\nb\rc\r\nd");
  memo->SetText("");
  memo->PasteFromClipboard();
  EXPECT_EQ(memo->Text(), "a\r\nb\r\nc\r\nd");
  memo->Undo();
  EXPECT_EQ(memo->Text(), "");
}

TEST_F(CommonControlsTest, MemoPaintsEachLineAndClicksIntoThem) {
  auto* memo = Make<TMemo>(10, 10, 150, 100);
  memo->SetBorderStyle(bsNone);
  memo->Font()->SetHeight(-13);
  memo->SetText("WWW\r\n\r\nWWW");
  Pump();
  const int32_t h = memo->Perform(EM_POSFROMCHAR, 5) >> 16;  // the second line's top
  ASSERT_GT(h, 0);
  // Ink on the first and third lines, none on the empty second one.
  EXPECT_GT(InkIn(memo, TRect(0, 0, 60, h), clWindow), 10);
  EXPECT_EQ(InkIn(memo, TRect(0, h, 150, 2 * h), clWindow), 0);
  EXPECT_GT(InkIn(memo, TRect(0, 2 * h, 60, 3 * h), clWindow), 10);
  // A click on the third line's start puts the caret there; a selection there is highlighted.
  Click(memo, 2, 2 * h + 2);
  EXPECT_EQ(memo->SelStart(), 7);
  memo->SetSelLength(3);
  Pump();
  EXPECT_GT(InkIn(memo, TRect(0, 2 * h, 60, 3 * h), clWindow), 100);
  EXPECT_EQ(Pixel(memo, 3, 2 * h + 1), Rgb(clHighlight));
}

// ---------------------------------------------------------------------------------------------
// Up-down

TEST_F(CommonControlsTest, UpDownStepsItsEditAndSitsBesideIt) {
  auto* edit = Make<TEdit>(20, 20, 80, 21);
  auto* ud = Make<TUpDown>(0, 0);
  ud->SetMin(-5);
  ud->SetMax(1500);
  ud->SetAssociate(edit);
  // The edit gives up the up-down's width, which takes its place.
  EXPECT_EQ(edit->BoundsRect(), TRect(20, 20, 83, 41));
  EXPECT_EQ(ud->BoundsRect(), TRect(83, 20, 100, 41));
  EXPECT_EQ(edit->Text(), "0");
  std::vector<TUDBtnType> clicks;
  ud->SetOnClick(TUDClickEvent([&](TObject*, TUDBtnType b) { clicks.push_back(b); }));
  Click(ud, 8, 3);  // the upper button
  EXPECT_EQ(ud->Position(), 1);
  EXPECT_EQ(edit->Text(), "1");
  Click(ud, 8, 18);
  Click(ud, 8, 18);
  EXPECT_EQ(edit->Text(), "-1");
  EXPECT_EQ(clicks, (std::vector<TUDBtnType>{btNext, btPrev, btPrev}));
  // The position follows a number typed into the edit; the next step starts from it.
  edit->SetText("1,234");
  EXPECT_EQ(ud->Position(), 1234);
  ud->SetIncrement(500);
  Click(ud, 8, 3);
  EXPECT_EQ(edit->Text(), "1,500");  // clamped at Max, thousands grouped
  ud->SetThousands(false);
  EXPECT_EQ(edit->Text(), "1500");
  ud->SetWrap(true);
  Click(ud, 8, 3);
  EXPECT_EQ(ud->Position(), -5);
  // Text that is no number in range keeps the last position; OnChanging may refuse a step.
  edit->SetText("abc");
  EXPECT_EQ(ud->Position(), -5);
  ud->SetOnChanging(TUDChangingEvent([](TObject*, bool& allow) { allow = false; }));
  Click(ud, 8, 3);
  EXPECT_EQ(ud->Position(), -5);
  // Setting the position clamps.
  ud->SetOnChanging(nullptr);
  ud->SetPosition(99999);
  EXPECT_EQ(ud->Position(), 1500);
  // Freeing the edit forgets it.
  delete edit;
  ud->SetPosition(3);
  EXPECT_EQ(ud->Associate(), nullptr);
}

TEST_F(CommonControlsTest, UpDownRepeatsWhileHeldAndStepsByArrowKeys) {
  auto* edit = Make<TEdit>(20, 20, 80, 21);
  auto* ud = Make<TUpDown>(0, 0);
  ud->SetAssociate(edit);
  Pump();
  // Held down: one step at once, the next after the pause, then one per repeat interval.
  MouseDown(ud, 8, 3);
  EXPECT_EQ(ud->Position(), 1);
  AdvanceTime(TUpDown::kRepeatDelay - 10);
  Pump();
  EXPECT_EQ(ud->Position(), 1);
  AdvanceTime(20);
  Pump();
  EXPECT_EQ(ud->Position(), 2);
  for (int i = 0; i < 3; ++i) {
    AdvanceTime(TUpDown::kRepeatInterval);
    Pump();
  }
  EXPECT_EQ(ud->Position(), 5);
  // Off the button it pauses, back on it goes on; released it stops.
  MouseMove(ud, 8, 18);
  AdvanceTime(TUpDown::kRepeatInterval);
  Pump();
  EXPECT_EQ(ud->Position(), 5);
  MouseMove(ud, 8, 3);
  AdvanceTime(TUpDown::kRepeatInterval);
  Pump();
  EXPECT_EQ(ud->Position(), 6);
  MouseUp(ud, 8, 3);
  AdvanceTime(1000);
  Pump();
  EXPECT_EQ(ud->Position(), 6);
  EXPECT_EQ(edit->Text(), "6");

  // Up and Down in the edit step it; other keys still reach the edit; ArrowKeys off lets them by.
  edit->SetFocus();
  Pump();
  Press(VK_UP);
  Press(VK_UP);
  Press(VK_DOWN);
  Pump();
  EXPECT_EQ(ud->Position(), 7);
  EXPECT_EQ(edit->Text(), "7");
  edit->SelectAll();
  Type("12");
  Pump();
  EXPECT_EQ(ud->Position(), 12);
  ud->SetArrowKeys(false);
  Press(VK_UP);
  Pump();
  EXPECT_EQ(ud->Position(), 12);
  // The up-down itself takes the four arrows when focused.
  ud->SetArrowKeys(true);
  ud->SetTabStop(true);
  ud->SetFocus();
  Pump();
  Press(VK_RIGHT);
  Press(VK_UP);
  Press(VK_LEFT);
  Pump();
  EXPECT_EQ(ud->Position(), 13);
  // Detached, the edit's keys are its own again.
  ud->SetAssociate(nullptr);
  edit->SetFocus();
  Press(VK_UP);
  Pump();
  EXPECT_EQ(ud->Position(), 13);
}

TEST_F(CommonControlsTest, UpDownPaintsTwoArrowButtons) {
  auto* ud = Make<TUpDown>(10, 10, 17, 40);
  Pump();
  // Two raised buttons, each with a dark arrow in its middle.
  EXPECT_EQ(Pixel(ud, 16, 5), Rgb(cl3DDkShadow));
  EXPECT_EQ(Pixel(ud, 16, 25), Rgb(cl3DDkShadow));
  auto arrow = [&](int32_t top) {
    int n = 0;
    for (int32_t y = top + 3; y < top + 17; ++y)
      for (int32_t x = 3; x < 14; ++x) n += Pixel(ud, x, y) == Rgb(clBtnText);
    return n;
  };
  EXPECT_GT(arrow(0), 3);
  EXPECT_GT(arrow(20), 3);
  ud->SetEnabled(false);
  Pump();
  EXPECT_EQ(arrow(0), 0);  // disabled arrows are greyed
}

// ---------------------------------------------------------------------------------------------
// Track bar

TEST_F(CommonControlsTest, TrackBarMovesByMouseAndKeysAndReportsUserMoves) {
  auto* tb = Make<TTrackBar>(10, 10, 150, 45);
  tb->SetMax(100);
  int changes = 0;
  tb->SetOnChange(TNotifyEvent([&](TObject*) { ++changes; }));
  tb->SetPosition(50);
  EXPECT_EQ(changes, 0);  // code moves fire nothing
  tb->SetPosition(500);
  EXPECT_EQ(tb->Position(), 100);
  tb->SetPosition(50);
  Pump();
  // The thumb is drawn raised where ThumbRect says, centred on the position along the channel.
  const TRect thumb = tb->ThumbRect();
  EXPECT_EQ(tb->PositionAt((thumb.Left + thumb.Right) / 2, 0), 50);
  EXPECT_EQ(Pixel(tb, thumb.Left + 1, thumb.Top + 5), Rgb(clBtnHighlight));
  EXPECT_EQ(Pixel(tb, thumb.Right - 1, thumb.Top + 5), Rgb(cl3DDkShadow));
  // Ticks every Frequency positions below the thumb, none between them.
  tb->SetFrequency(50);
  Pump();
  const int32_t tickY = thumb.Bottom + 3;
  EXPECT_EQ(Pixel(tb, thumb.Left, tickY), Rgb(clBtnFace));
  EXPECT_EQ(Pixel(tb, (thumb.Left + thumb.Right) / 2, tickY), Rgb(clBtnText));
  tb->SetPosition(0);
  Pump();
  const int32_t start = (tb->ThumbRect().Left + tb->ThumbRect().Right) / 2;
  EXPECT_EQ(Pixel(tb, start, tb->ThumbRect().Bottom + 3), Rgb(clBtnText));
  tb->SetPosition(50);
  // A click beside the thumb pages towards the pointer; dragging the thumb follows the pointer.
  Click(tb, 145, thumb.Top + 5);
  EXPECT_EQ(tb->Position(), 52);
  EXPECT_EQ(changes, 1);
  const TRect t2 = tb->ThumbRect();
  MouseDown(tb, (t2.Left + t2.Right) / 2, t2.Top + 5);
  MouseMove(tb, tb->ThumbRect().Left - 1000, t2.Top + 5, {ssLeft});
  MouseUp(tb, -1000, t2.Top + 5);
  EXPECT_EQ(tb->Position(), 0);
  // Keys, with the focus.
  struct Case {
    uint16_t Key;
    int32_t Expected;
  } cases[] = {{VK_RIGHT, 1}, {VK_NEXT, 3}, {VK_END, 100}, {VK_LEFT, 99}, {VK_PRIOR, 97}, {VK_HOME, 0}};
  tb->SetFocus();
  for (const Case& c : cases) {
    Press(c.Key);
    EXPECT_EQ(tb->Position(), c.Expected) << c.Key;
  }
}

// ---------------------------------------------------------------------------------------------
// Page control

const char* const kPagesForm =
    "object F: TForm\n"
    "  object Pages: TPageControl\n"
    "    Left = 10\n"
    "    Top = 10\n"
    "    Width = 300\n"
    "    Height = 200\n"
    "    ActivePage = Second\n"
    "    object First: TTabSheet\n"
    "      Caption = 'General'\n"
    "      object Edit1: TEdit\n"
    "        Left = 8\n"
    "        Top = 8\n"
    "      end\n"
    "    end\n"
    "    object Second: TTabSheet\n"
    "      Caption = 'Style'\n"
    "      Color = clYellow\n"
    "    end\n"
    "    object Third: TTabSheet\n"
    "      Caption = 'Shape'\n"
    "      TabVisible = False\n"
    "    end\n"
    "  end\n"
    "end\n";

TEST_F(CommonControlsTest, PageControlFromAStoredFormSwitchesPages) {
  auto f = std::make_unique<TForm>(nullptr);
  LoadFormFromText(f.get(), kPagesForm);
  f->SetBounds(100, 80, 400, 300);
  f->Show();
  auto* pages = dynamic_cast<TPageControl*>(f->FindComponent("Pages"));
  ASSERT_TRUE(pages);
  ASSERT_EQ(pages->PageCount(), 3);
  auto* first = pages->Pages(0);
  auto* second = pages->Pages(1);
  auto* third = pages->Pages(2);
  EXPECT_EQ(pages->ActivePage(), second);
  EXPECT_TRUE(second->Visible());
  EXPECT_FALSE(first->Visible());
  EXPECT_EQ(third->TabIndex(), -1);
  Pump();
  // The sheet fills the frame's inside and shows its colour; the hidden page's tab is absent.
  const int32_t th = pages->TabHeight();
  EXPECT_EQ(second->BoundsRect(), TRect(4, th + 4, 296, 196));
  EXPECT_EQ(Pixel(second, 100, 50), Rgb(clYellow));
  EXPECT_EQ(pages->TabRects().size(), 2u);
  const std::vector<TRect> tabs = pages->TabRects();
  // The active tab stands out: its top edge is the highlight at row 0.
  EXPECT_EQ(Pixel(pages, (tabs[1].Left + tabs[1].Right) / 2, 0), Rgb(clBtnHighlight));
  EXPECT_EQ(Pixel(pages, (tabs[0].Left + tabs[0].Right) / 2, 0), Rgb(clBtnFace));

  int changes = 0;
  bool allow = false;
  pages->SetOnChange(TNotifyEvent([&](TObject*) { ++changes; }));
  pages->SetOnChanging(TTabChangingEvent([&](TObject*, bool& a) { a = allow; }));
  Click(pages, tabs[0].Left + 5, tabs[0].Top + 5);
  EXPECT_EQ(pages->ActivePage(), second);  // refused
  allow = true;
  Click(pages, tabs[0].Left + 5, tabs[0].Top + 5);
  EXPECT_EQ(pages->ActivePage(), first);
  EXPECT_EQ(changes, 1);
  Pump();
  EXPECT_TRUE(f->FindComponent("Edit1") && dynamic_cast<TEdit*>(f->FindComponent("Edit1"))->Showing());
  // Arrow keys on the focused control turn to the next page with a tab (the hidden one skipped).
  Press(VK_RIGHT);
  EXPECT_EQ(pages->ActivePage(), second);
  Press(VK_RIGHT);
  EXPECT_EQ(pages->ActivePage(), first);
  // Showing a tab makes its page reachable; hiding the active page's tab moves to the next.
  third->SetTabVisible(true);
  EXPECT_EQ(pages->TabRects().size(), 3u);
  pages->SetActivePage(third);
  third->SetTabVisible(false);
  EXPECT_EQ(pages->ActivePage(), first);
  // Reordering pages and freeing the active one.
  third->SetPageIndex(0);
  EXPECT_EQ(pages->Pages(0), third);
  delete first;
  EXPECT_EQ(pages->PageCount(), 2);
  EXPECT_EQ(pages->ActivePage(), second);
}

// ---------------------------------------------------------------------------------------------
// Link label

TEST_F(CommonControlsTest, LinkLabelFindsAndClicksItsLinks) {
  struct Case {
    const char* Caption;
    std::vector<std::string> Texts;
    std::vector<std::string> Links;  // "" for plain runs
  } cases[] = {
      {"plain", {"plain"}, {""}},
      {"Go <a href=\"http://x.org\">there</a> now", {"Go ", "there", " now"}, {"", "http://x.org", ""}},
      {"<a id=edit>Edit</a>", {"Edit"}, {"edit"}},
      {"<a>Text</a>", {"Text"}, {"Text"}},
      {"<a href='q'>unclosed", {"<a href='q'>unclosed"}, {""}},
      {"<b>x</b>", {"<b>x</b>"}, {""}},
  };
  auto* link = Make<TLinkLabel>(10, 10);
  for (const Case& c : cases) {
    link->SetCaption(c.Caption);
    const std::vector<TLinkLabel::TRun> runs = link->Runs();
    ASSERT_EQ(runs.size(), c.Texts.size()) << c.Caption;
    for (size_t i = 0; i < runs.size(); ++i) {
      EXPECT_EQ(runs[i].Text, c.Texts[i]) << c.Caption;
      EXPECT_EQ(runs[i].IsLink ? runs[i].Link : "", c.Links[i]) << c.Caption;
    }
  }
  link->SetCaption("Go <a href=\"http://x.org\">there</a>");
  Pump();
  const std::vector<TLinkLabel::TRun> runs = link->Runs();
  EXPECT_EQ(link->Width(), runs.back().Right);  // auto-sized to the text
  // The link is painted in the hot-light colour with its underline; the plain text is not.
  int hot = 0, plainHot = 0;
  for (int32_t y = 0; y < link->Height(); ++y) {
    for (int32_t x = runs[1].Left; x < runs[1].Right; ++x) hot += Pixel(link, x, y) == Rgb(clHotLight);
    for (int32_t x = runs[0].Left; x < runs[0].Right; ++x) plainHot += Pixel(link, x, y) == Rgb(clHotLight);
  }
  EXPECT_GT(hot, runs[1].Right - runs[1].Left - 2);  // at least the underline
  EXPECT_EQ(plainHot, 0);
  std::vector<std::string> clicked;
  link->SetOnLinkClick(TSysLinkEvent([&](TObject*, const std::string& l, TSysLinkType t) {
    clicked.push_back(l + (t == sltURL ? " url" : " id"));
  }));
  Click(link, runs[1].Left + 2, 5);
  Click(link, runs[0].Left + 2, 5);  // plain text: nothing
  MouseDown(link, runs[1].Left + 2, 5);
  MouseUp(link, runs[0].Left + 2, 5);  // released off the link: nothing
  EXPECT_EQ(clicked, (std::vector<std::string>{"http://x.org url"}));
}

// ---------------------------------------------------------------------------------------------
// Bitmap button

TEST_F(CommonControlsTest, BitBtnKindsAndPictures) {
  auto* ok = Make<TBitBtn>(10, 10, 90, 30);
  ok->SetKind(bkOK);
  EXPECT_EQ(ok->Caption(), "OK");
  EXPECT_EQ(ok->ModalResult(), mrOk);
  EXPECT_TRUE(ok->Default());
  auto* cancel = Make<TBitBtn>(110, 10, 90, 30);
  cancel->SetCaption("Stop");
  cancel->SetKind(bkCancel);
  EXPECT_EQ(cancel->Caption(), "Stop");  // the user's caption stays
  EXPECT_TRUE(cancel->Cancel());
  Pump();
  // The pictures: green check and red cross inside the glyph's place, left of the caption.
  TRect g, t;
  ok->ContentLayout(TRect(0, 0, 90, 30), g, t);
  EXPECT_EQ(g.Width(), 18);
  EXPECT_EQ(t.Left, g.Right + 4);
  EXPECT_NEAR((g.Left + t.Right) / 2, 45, 1);  // centred together
  int green = 0, red = 0, olive = 0;
  for (int32_t y = g.Top; y < g.Bottom; ++y)
    for (int32_t x = g.Left; x < g.Right; ++x) {
      green += Pixel(ok, x, y) == Rgb(clGreen);
      red += Pixel(cancel, x, y) == Rgb(clRed);
      olive += Pixel(ok, x, y) == Rgb(clOlive);
    }
  EXPECT_GT(green, 20);
  EXPECT_GT(red, 20);
  EXPECT_EQ(olive, 0);  // the transparent colour shows the face
  // A click closes the form's modal loop with the kind's result.
  Click(cancel, 45, 15);
  EXPECT_EQ(form_->ModalResult(), mrCancel);
  // A custom two-image strip: the second image shows while disabled.
  TBitmap strip(20, 10);
  strip.Canvas()->Brush()->SetColor(clBlue);
  strip.Canvas()->FillRect(TRect(0, 0, 10, 10));
  strip.Canvas()->Brush()->SetColor(clLime);
  strip.Canvas()->FillRect(TRect(10, 0, 20, 10));
  strip.Canvas()->SetPixels(0, 9, clWhite);  // the transparent colour of the first image
  auto* custom = Make<TBitBtn>(10, 50, 60, 30);
  custom->SetGlyph(&strip);
  EXPECT_EQ(custom->NumGlyphs(), 2);
  custom->SetLayout(TBitBtnLayout::blGlyphTop);
  custom->ContentLayout(TRect(0, 0, 60, 30), g, t);
  EXPECT_EQ(g.Width(), 10);
  Pump();
  EXPECT_EQ(Pixel(custom, g.Left + 5, g.Top + 5), Rgb(clBlue));
  custom->SetEnabled(false);
  Pump();
  EXPECT_EQ(Pixel(custom, g.Left + 5, g.Top + 5), Rgb(clLime));
}

// ---------------------------------------------------------------------------------------------
// The form loader knows them all

TEST_F(CommonControlsTest, StoredFormsCreateEveryControl) {
  auto f = std::make_unique<TForm>(nullptr);
  LoadFormFromText(f.get(),
                   "object F: TForm\n"
                   "  object Memo1: TMemo\n"
                   "    Lines.Strings = (\n"
                   "      'first'\n"
                   "      'second')\n"
                   "    ScrollBars = ssVertical\n"
                   "    WantReturns = False\n"
                   "    WordWrap = False\n"
                   "  end\n"
                   "  object Edit1: TEdit\n"
                   "    Left = 10\n"
                   "    Top = 150\n"
                   "    Width = 60\n"
                   "  end\n"
                   "  object Up1: TUpDown\n"
                   "    Associate = Edit1\n"
                   "    Min = 1\n"
                   "    Max = 2000\n"
                   "    Position = 12\n"
                   "  end\n"
                   "  object Track1: TTrackBar\n"
                   "    Max = 100\n"
                   "    Position = 100\n"
                   "    TickStyle = tsNone\n"
                   "  end\n"
                   "  object Link1: TLinkLabel\n"
                   "    Caption = '<a>Edit Layer Text</a>'\n"
                   "  end\n"
                   "  object Btn1: TBitBtn\n"
                   "    Kind = bkCancel\n"
                   "  end\n"
                   "  object Pop1: TPopupMenu\n"
                   "  end\n"
                   "  object Images1: TImageList\n"
                   "    Height = 24\n"
                   "    Width = 24\n"
                   "  end\n"
                   "  object Bar1: TToolBar\n"
                   "    Align = alNone\n"
                   "    ButtonHeight = 30\n"
                   "    ButtonWidth = 31\n"
                   "    Images = Images1\n"
                   "    Indent = 4\n"
                   "    Flat = False\n"
                   "    object Tool1: TToolButton\n"
                   "      ImageIndex = 3\n"
                   "      Style = tbsCheck\n"
                   "      Grouped = True\n"
                   "      AllowAllUp = True\n"
                   "      Down = True\n"
                   "    end\n"
                   "    object Tool2: TToolButton\n"
                   "      Style = tbsDropDown\n"
                   "      DropdownMenu = Pop1\n"
                   "    end\n"
                   "  end\n"
                   "  object Box1: TPaintBox\n"
                   "  end\n"
                   "end\n");
  auto* memo = dynamic_cast<TMemo*>(f->FindComponent("Memo1"));
  ASSERT_TRUE(memo);
  EXPECT_EQ(memo->Lines()->Count(), 2);
  EXPECT_EQ(memo->ScrollBars(), ssVertical);
  EXPECT_FALSE(memo->WantReturns());
  EXPECT_FALSE(memo->WordWrap());
  auto* up = dynamic_cast<TUpDown*>(f->FindComponent("Up1"));
  ASSERT_TRUE(up);
  EXPECT_EQ(up->Position(), 12);
  EXPECT_EQ(dynamic_cast<TEdit*>(f->FindComponent("Edit1"))->Text(), "12");
  EXPECT_EQ(up->Left(), 10 + 60 - up->Width());
  EXPECT_EQ(dynamic_cast<TTrackBar*>(f->FindComponent("Track1"))->Position(), 100);
  EXPECT_EQ(dynamic_cast<TBitBtn*>(f->FindComponent("Btn1"))->ModalResult(), mrCancel);
  EXPECT_TRUE(dynamic_cast<TLinkLabel*>(f->FindComponent("Link1")));
  auto* bar = dynamic_cast<TToolBar*>(f->FindComponent("Bar1"));
  auto* tool = dynamic_cast<TToolButton*>(f->FindComponent("Tool1"));
  auto* drop = dynamic_cast<TToolButton*>(f->FindComponent("Tool2"));
  ASSERT_TRUE(bar && tool && drop);
  EXPECT_EQ(bar->Align(), alNone);
  EXPECT_EQ(bar->Images(), f->FindComponent("Images1"));
  EXPECT_FALSE(bar->Flat());
  EXPECT_EQ(tool->BoundsRect(), TRect(4, 0, 35, 30));
  EXPECT_TRUE(tool->Down() && tool->Grouped() && tool->AllowAllUp());
  EXPECT_EQ(tool->Style(), tbsCheck);
  EXPECT_EQ(tool->ImageIndex(), 3);
  EXPECT_EQ(drop->DropdownMenu(), f->FindComponent("Pop1"));
  EXPECT_EQ(drop->Style(), tbsDropDown);
  // Written back and read again, the values survive.
  const std::string text = WriteComponentToText(f.get());
  auto again = std::make_unique<TForm>(nullptr);
  LoadFormFromText(again.get(), text);
  EXPECT_EQ(dynamic_cast<TMemo*>(again->FindComponent("Memo1"))->Text(), memo->Text());
  EXPECT_EQ(dynamic_cast<TUpDown*>(again->FindComponent("Up1"))->Max(), 2000);
  auto* tool2 = dynamic_cast<TToolButton*>(again->FindComponent("Tool1"));
  ASSERT_TRUE(tool2);
  EXPECT_TRUE(tool2->Down());
  EXPECT_EQ(tool2->ImageIndex(), 3);
  EXPECT_EQ(dynamic_cast<TToolBar*>(again->FindComponent("Bar1"))->ButtonWidth(), 31);
  EXPECT_EQ(dynamic_cast<TToolButton*>(again->FindComponent("Tool2"))->DropdownMenu(), again->FindComponent("Pop1"));
}

}  // namespace
