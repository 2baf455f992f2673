// Status panes and the status bar on real forms.
#include <gtest/gtest.h>

#include <algorithm>

#include "controls/CvPanel.h"
#include "controls/CvStatus.h"
#include "platform/forms/FormLoader.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

using enum TFrameStyleEx;

class CvStatusTest : public ControlsFormTest {
 protected:
  // A panel with the given colour holding panes.
  TCvPanel* Host(TColor Color) {
    auto* p = Add<TCvPanel>(form_.get(), 0, 0, 300, 40);
    p->SetBorderOuter(fsNone);
    p->SetColor(Color);
    return p;
  }
  int32_t TextWidth(TControl* Control, const std::string& Text) {
    TestSurface s(1, 1);
    s.Canvas()->Font()->Assign(Control->Font());
    return s.Canvas()->TextWidth(Text);
  }
};

TEST_F(CvStatusTest, AutoSizeMeasuresTheWholeCaption) {
  auto* pane = Add<TCvStatusPane>(Host(clWhite), 0, 0, 100, 20);
  pane->SetAutoSize(true);
  EXPECT_EQ(pane->Width(), 40);
  pane->SetCaption("Status");
  EXPECT_EQ(pane->Width(), 2 + TextWidth(pane, "Status") + 2 + 6);
  pane->SetDefaultWidth(55);
  pane->SetCaption("");
  EXPECT_EQ(pane->Width(), 55);
  // A long path is kept and measured whole.
  std::string path = "/home/user";
  while (path.size() < 1000) path += "/folder";
  path.resize(1000);
  pane->SetCaption(path);
  EXPECT_EQ(pane->Caption(), path);
  EXPECT_EQ(pane->Width(), 2 + TextWidth(pane, path) + 2 + 6);
  EXPECT_GT(pane->Width(), 2000);
  pane->SetCaptionOffset(10);
  EXPECT_EQ(pane->Width(), 2 + TextWidth(pane, path) + 10 + 6);
}

TEST_F(CvStatusTest, FlatFrameAndFill) {
  TCvPanel* host = Host(clWhite);
  auto* pane = Add<TCvStatusPane>(host, 10, 10, 60, 20);
  Pump();
  // Transparent (the default): the host shows inside and around the frame.
  EXPECT_EQ(Pixel(host, 10, 10), Rgb(clWhite));
  EXPECT_EQ(Pixel(host, 40, 20), Rgb(clWhite));
  // The flat frame one pixel in, its corners left out.
  EXPECT_EQ(Pixel(host, 11, 11), Rgb(clWhite));
  EXPECT_EQ(Pixel(host, 12, 11), Rgb(159, 159, 159));
  EXPECT_EQ(Pixel(host, 11, 12), Rgb(159, 159, 159));
  EXPECT_EQ(Pixel(host, 68, 28), Rgb(clWhite));
  EXPECT_EQ(Pixel(host, 67, 28), Rgb(159, 159, 159));
  // Opaque: the whole pane in its colour; the caption area in the fill colour.
  pane->SetTransparent(false);
  pane->SetColor(clYellow);
  EXPECT_EQ(pane->FillColor(), clYellow);
  Pump();
  EXPECT_EQ(Pixel(host, 10, 10), Rgb(clYellow));
  EXPECT_EQ(Pixel(host, 40, 20), Rgb(clYellow));
  pane->SetFillColor(clLime);
  EXPECT_FALSE(pane->ParentFillColor());
  pane->SetColor(clRed);
  EXPECT_EQ(pane->FillColor(), clLime);
  Pump();
  EXPECT_EQ(Pixel(host, 10, 10), Rgb(clRed));
  EXPECT_EQ(Pixel(host, 40, 15), Rgb(clLime));
  // Following the colour again.
  pane->SetParentFillColor(true);
  EXPECT_EQ(pane->FillColor(), clRed);
}

// Text is antialiased: the caption is judged by how light and how dark its pixels get.
TEST_F(CvStatusTest, DisabledCaptionIsEmbossed) {
  TCvPanel* host = Host(clBtnFace);
  auto* pane = Add<TCvStatusPane>(host, 0, 0, 120, 20);
  pane->SetCaption("HHHH");
  auto extremes = [&](int& lightest, int& darkest) {
    lightest = 0;
    darkest = 255;
    for (int y = 2; y < 18; ++y)
      for (int x = 2; x < 118; ++x) {
        const TColorRef c = Pixel(host, x, y);
        const int lo = std::min({GetRValue(c), GetGValue(c), GetBValue(c)});
        const int hi = std::max({GetRValue(c), GetGValue(c), GetBValue(c)});
        lightest = std::max(lightest, lo);
        darkest = std::min(darkest, hi);
      }
  };
  int lightest, darkest;
  Pump();
  extremes(lightest, darkest);
  EXPECT_LT(lightest, 240);  // black text on the face colour
  EXPECT_LT(darkest, 60);
  pane->SetEnabled(false);
  Pump();
  extremes(lightest, darkest);
  EXPECT_GE(lightest, 240);  // a highlight copy under a shadow-grey one
  EXPECT_GT(darkest, 100);
  EXPECT_LT(darkest, 150);
}

TEST_F(CvStatusTest, PanesShareOneBlinkTimer) {
  ASSERT_EQ(SharedBlinkingList(), nullptr);
  TCvPanel* host = Host(clWhite);
  auto* a = Add<TCvStatusPane>(host, 0, 0, 50, 20);
  auto* b = Add<TCvStatusPane>(host, 60, 0, 50, 20);
  TCvBlinkingControlsList* list = SharedBlinkingList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->ControlCount(), 2);
  a->SetBlinkColor(clRed);
  a->SetBlinking(true);
  AdvanceTime(500);
  EXPECT_EQ(a->CurrentTextColor(), a->Font()->Color());
  AdvanceTime(500);
  EXPECT_EQ(a->CurrentTextColor(), clRed);
  EXPECT_EQ(b->CurrentTextColor(), b->Font()->Color());
  AdvanceTime(500);
  EXPECT_EQ(a->CurrentTextColor(), a->Font()->Color());
  AdvanceTime(500);
  EXPECT_EQ(a->CurrentTextColor(), clRed);
  // Switching blinking off shows the normal colour at once.
  a->SetBlinking(false);
  EXPECT_EQ(a->CurrentTextColor(), a->Font()->Color());
  // The intervals are the list's: one pane's write holds for all.
  a->SetBlinkIntervalOn(300);
  EXPECT_EQ(b->BlinkIntervalOn(), 300);
  delete a;
  delete b;
  EXPECT_EQ(SharedBlinkingList(), nullptr);
  auto* c = Add<TCvStatusPane>(host, 0, 0, 50, 20);
  ASSERT_NE(SharedBlinkingList(), nullptr);
  EXPECT_EQ(c->BlinkIntervalOn(), 500);
  delete c;
}

// ---------------------------------------------------------------------------------------------
// The status bar

TEST_F(CvStatusTest, GradientBarSeparatesLaterPanes) {
  auto* bar = Add<TCvStatusBar>(form_.get(), 0, 0, 400, 19);
  bar->SetVisualStyle(vsGradient);
  bar->SetShowSizeGrip(false);
  auto* first = Add<TCvStatusPane>(bar, 0, 0, 100, 19);
  first->SetAlign(alLeft);
  auto* second = Add<TCvStatusPane>(bar, 200, 0, 100, 19);
  second->SetAlign(alLeft);
  Pump();
  const TColorRef line = Rgb(175, 168, 153);
  EXPECT_EQ(first->Left(), -1);
  EXPECT_NE(Pixel(bar, first->Left() + 1, 9), line);
  const int32_t x = second->Left() + 1;
  EXPECT_EQ(Pixel(bar, x, 9), line);
  EXPECT_EQ(Pixel(bar, x, 3), line);
  EXPECT_NE(Pixel(bar, x + 1, 9), line);
  // The bar's own gradient: from the scheme's stop colour down to its start colour.
  EXPECT_EQ(Pixel(bar, 150, 18), Rgb(255, 255, 255));
}

TEST_F(CvStatusTest, AutoStyleOnLoad) {
  TComponent root(nullptr);
  LoadFormFromText(&root,
                   "object Root: TComponent\n"
                   "  object B1: TCvStatusBar\n    BorderOuter = fsRaised\n    BorderSides = [sdTop]\n"
                   "    Height = 30\n    BorderWidth = 3\n    AutoStyle = True\n  end\n"
                   "  object B2: TCvStatusBar\n    AutoStyle = False\n    BorderOuter = fsFlat\n"
                   "    BorderSides = [sdTop]\n    Height = 30\n  end\nend\n");
  auto* b1 = dynamic_cast<TCvStatusBar*>(root.FindComponent("B1"));
  auto* b2 = dynamic_cast<TCvStatusBar*>(root.FindComponent("B2"));
  ASSERT_TRUE(b1 && b2);
  EXPECT_TRUE(b1->AutoStyle());
  EXPECT_EQ(b1->BorderOuter(), fsNone);
  EXPECT_EQ(b1->BorderInner(), fsNone);
  EXPECT_EQ(b1->BorderSides(), AllSides);
  EXPECT_EQ(b1->Height(), 19);
  EXPECT_EQ(b1->BorderWidth(), 0);
  EXPECT_EQ(b1->Align(), alBottom);
  EXPECT_FALSE(b2->AutoStyle());
  EXPECT_EQ(b2->BorderOuter(), fsFlat);
  EXPECT_EQ(b2->Height(), 30);
  // A border write with a new value ends the automatic look.
  b1->SetBorderOuter(fsNone);
  EXPECT_TRUE(b1->AutoStyle());
  b1->SetBorderOuter(fsFlat);
  EXPECT_FALSE(b1->AutoStyle());
}

TEST_F(CvStatusTest, SizeGrip) {
  const struct {
    TCvVisualStyle Style;
    TColorRef Light, Dark;
  } cases[] = {{vsClassic, Rgb(255, 255, 255), Rgb(128, 128, 128)}, {vsGradient, Rgb(255, 255, 255), Rgb(175, 168, 153)}};
  for (const auto& c : cases) {
    auto* bar = new TCvStatusBar(form_.get());  // owned by the form
    bar->SetParent(form_.get());
    bar->SetVisualStyle(c.Style);
    Pump();
    ASSERT_TRUE(bar->SizeGripAllowed());
    const int32_t W = bar->Width();
    ASSERT_EQ(bar->Height(), 19);
    EXPECT_EQ(Pixel(bar, W - 3, 16), c.Light);
    EXPECT_EQ(Pixel(bar, W - 5, 14), c.Dark);
    EXPECT_EQ(Pixel(bar, W - 11, 16), c.Light);
    EXPECT_EQ(Pixel(bar, W - 13, 14), c.Dark);
    EXPECT_EQ(Pixel(bar, W - 3, 8), c.Light);
    EXPECT_EQ(Pixel(bar, W - 5, 6), c.Dark);
    delete bar;
  }
  // Not on a form that cannot be sized, nor on a maximised one.
  auto* bar = new TCvStatusBar(form_.get());  // owned by the form
  bar->SetParent(form_.get());
  bar->SetVisualStyle(vsClassic);
  form_->SetBorderStyle(bsSingle);
  bar->Invalidate();
  Pump();
  EXPECT_FALSE(bar->SizeGripAllowed());
  EXPECT_EQ(Pixel(bar, bar->Width() - 3, 16), Rgb(clBtnFace));
  form_->SetBorderStyle(bsSizeable);
  form_->SetWindowState(wsMaximized);
  bar->Invalidate();
  Pump();
  EXPECT_FALSE(bar->SizeGripAllowed());
}

TEST_F(CvStatusTest, GripSizesTheForm) {
  auto* bar = new TCvStatusBar(form_.get());  // owned by the form
  bar->SetParent(form_.get());
  auto* pane = Add<TCvStatusPane>(bar, 0, 0, 10, 10);
  pane->SetAlign(alClient);
  Pump();
  std::vector<WPARAM> commands;
  auto previous = form_->WindowProc();
  form_->SetWindowProc([&commands, previous](TMessage& m) {
    if (m.Msg == WM_SYSCOMMAND) commands.push_back(m.WParam);
    previous(m);
  });
  const int32_t w = form_->Width(), h = form_->Height();
  // The bar moves with the form's bottom edge: the drag is in screen points.
  const TPoint p = ScreenOf(bar, bar->Width() - 6, 10), q(p.X + 30, p.Y + 20);
  SimulateMouse(TSimMouseAction::Move, mbLeft, p);
  EXPECT_EQ(GetCursor(), Screen()->Cursors(crSizeNWSE));
  SimulateMouse(TSimMouseAction::Press, mbLeft, p);
  SimulateMouse(TSimMouseAction::Move, mbLeft, q);
  SimulateMouse(TSimMouseAction::Release, mbLeft, q);
  Pump();
  form_->SetWindowProc(previous);
  EXPECT_EQ(commands, std::vector<WPARAM>{61448});
  EXPECT_EQ(form_->Width(), w + 30);
  EXPECT_EQ(form_->Height(), h + 20);
  // Outside the grip a press is an ordinary one, and the cursor the default.
  MouseMove(bar, 20, 10);
  EXPECT_NE(GetCursor(), Screen()->Cursors(crSizeNWSE));
}

TEST_F(CvStatusTest, PaneHitTestOverTheGrip) {
  auto* bar = new TCvStatusBar(form_.get());  // owned by the form
  bar->SetParent(form_.get());
  auto* pane = Add<TCvStatusPane>(bar, 0, 0, 10, 10);
  pane->SetAlign(alClient);
  auto* left = Add<TCvStatusPane>(bar, 0, 0, 50, 10);
  left->SetAlign(alLeft);
  Pump();
  // The pane reaches the bar's client right edge: over its last 12 pixels the bar answers.
  const int32_t x = bar->ClientRect().Right - pane->Left() - 5;
  const LPARAM at = PointToLParam(static_cast<int16_t>(x), 5);
  EXPECT_EQ(pane->Perform(CM_HITTEST, 0, at), bar->Perform(WM_NCHITTEST, 0, at));
  EXPECT_EQ(pane->Perform(CM_HITTEST, 0, PointToLParam(5, 5)), HTCLIENT);
  EXPECT_EQ(left->Perform(CM_HITTEST, 0, PointToLParam(45, 5)), HTCLIENT);
  bar->SetShowSizeGrip(false);
  EXPECT_EQ(pane->Perform(CM_HITTEST, 0, at), HTCLIENT);
}

TEST_F(CvStatusTest, LoadedPaneWithItsOwnColourIsOpaque) {
  TComponent root(nullptr);
  LoadFormFromText(&root,
                   "object Root: TComponent\n  object P1: TCvStatusPane\n    Color = clRed\n  end\n"
                   "  object P2: TCvStatusPane\n    FillColor = clLime\n  end\nend\n");
  auto* p1 = dynamic_cast<TCvStatusPane*>(root.FindComponent("P1"));
  auto* p2 = dynamic_cast<TCvStatusPane*>(root.FindComponent("P2"));
  ASSERT_TRUE(p1 && p2);
  EXPECT_FALSE(p1->Transparent());
  EXPECT_TRUE(p2->Transparent());
  EXPECT_FALSE(p2->ParentFillColor());
  EXPECT_EQ(p2->FillColor(), clLime);
}

TEST_F(CvStatusTest, AutoHintShowsTheLongHintUnderTheMouse) {
  auto* bar = new TCvStatusBar(form_.get());  // owned by the form
  bar->SetParent(form_.get());
  auto* pane = Add<TCvStatusPane>(bar, 0, 0, 10, 10);
  pane->SetAlign(alClient);
  auto* quiet = Add<TCvStatusPane>(bar, 0, 0, 10, 10);
  auto* target = Add<TCvPanel>(form_.get(), 20, 20, 100, 50);
  target->SetHint("Open|Opens a picture");
  pane->SetAutoHint(true);
  Pump();
  MouseMove(target, 10, 10);
  Pump();
  EXPECT_EQ(pane->Caption(), "Opens a picture");
  EXPECT_EQ(quiet->Caption(), "");
  // Leaving it clears the hint.
  MouseMove(form_.get(), 300, 150);
  Pump();
  EXPECT_EQ(pane->Caption(), "");
  // Without AutoHint the action passes the pane by.
  pane->SetAutoHint(false);
  MouseMove(target, 10, 10);
  Pump();
  EXPECT_EQ(pane->Caption(), "");
}

TEST_F(CvStatusTest, SimpleStatusHidesThePanes) {
  auto* bar = new TCvStatusBar(form_.get());  // owned by the form
  bar->SetParent(form_.get());
  auto* a = Add<TCvStatusPane>(bar, 0, 0, 100, 19);
  auto* b = Add<TCvStatusPane>(bar, 100, 0, 100, 19);
  bar->SetSimpleCaption("Ready");
  bar->SetSimpleStatus(true);
  EXPECT_FALSE(a->Visible());
  EXPECT_FALSE(b->Visible());
  Pump();
  bar->SetSimpleStatus(false);
  EXPECT_TRUE(a->Visible());
  EXPECT_TRUE(b->Visible());
}

TEST_F(CvStatusTest, AutoScalePanes) {
  auto* bar = new TCvStatusBar(form_.get());  // owned by the form
  bar->SetAlign(alNone);
  bar->SetBounds(0, 0, 400, 19);
  bar->SetParent(form_.get());
  auto* pane = Add<TCvStatusPane>(bar, 0, 0, 100, 19);
  auto* other = Add<TCvStatusPane>(bar, 100, 0, 60, 19);
  bar->SetAutoScalePanes(true);
  Pump();
  bar->SetWidth(500);
  Pump();
  EXPECT_EQ(pane->Width(), 125);
  EXPECT_EQ(other->Width(), 75);
  // Shrinking scales by the width remembered last.
  bar->SetWidth(250);
  EXPECT_EQ(pane->Width(), 63);  // 125 + round(-250 * 0.25): -62.5 rounds to -62
}

TEST_F(CvStatusTest, CustomGradientEndsOnTheStartColour) {
  auto* bar = new TCvStatusBar(form_.get());  // owned by the form
  bar->SetParent(form_.get());
  bar->SetVisualStyle(vsGradient);
  bar->SetGradientColorStyle(gcsCustom);
  bar->SetGradientColorStart(static_cast<TColor>(Rgb(200, 100, 50)));
  bar->SetGradientColorStop(static_cast<TColor>(Rgb(20, 40, 60)));
  Pump();
  EXPECT_EQ(Pixel(bar, 5, 18), Rgb(200, 100, 50));
  const TColorRef top = Pixel(bar, 5, 0);
  EXPECT_NEAR(GetRValue(top), 20, 10);
  EXPECT_NEAR(GetGValue(top), 40, 4);
}

}  // namespace
