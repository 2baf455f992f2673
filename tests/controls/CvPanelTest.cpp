// Panels and group boxes on real forms, checked by their painted pixels.
#include <gtest/gtest.h>

#include "controls/CvPanel.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/StdCtrls.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

using enum TFrameStyleEx;

class CvPanelTest : public ControlsFormTest {
 protected:
  template <class T>
  T* Add(int32_t L, int32_t T_, int32_t W, int32_t H, TWinControl* Parent = nullptr) {
    return ControlsFormTest::Add<T>(Parent, L, T_, W, H);
  }
};

TEST_F(CvPanelTest, DefaultPanelIsRaised) {
  auto* p = Add<TCvPanel>(10, 10, 60, 40);
  Pump();
  EXPECT_EQ(Pixel(p, 0, 0), Rgb(212, 208, 200));
  EXPECT_EQ(Pixel(p, 59, 39), Rgb(64, 64, 64));
  EXPECT_EQ(Pixel(p, 1, 1), Rgb(255, 255, 255));
  EXPECT_EQ(Pixel(p, 58, 38), Rgb(128, 128, 128));
  EXPECT_EQ(Pixel(p, 30, 20), Rgb(clBtnFace));
  EXPECT_TRUE(p->ControlStyle().Contains(csOpaque));
  EXPECT_FALSE(p->ControlStyle().Contains(csSetCaption));
}

TEST_F(CvPanelTest, FrameSidesAndBorderBand) {
  auto* flat = Add<TCvPanel>(10, 10, 50, 30);
  flat->SetBorderOuter(fsFlat);
  flat->SetBorderSides({});
  flat->SetColor(clYellow);
  auto* band = Add<TCvPanel>(100, 10, 80, 60);
  band->SetBorderOuter(fsNone);
  band->SetBorderSides({sdLeft});
  band->SetBorderWidth(6);
  band->SetBorderColor(clRed);
  band->SetColor(clLime);
  auto* child = Add<TCvPanel>(0, 0, 10, 10, band);
  child->SetAlign(alClient);
  Pump();
  for (TPoint p : {TPoint(0, 0), TPoint(49, 29), TPoint(25, 15)}) EXPECT_EQ(Pixel(flat, p.X, p.Y), Rgb(clYellow));
  // The band on the left only; the children are placed inside the border width on every side.
  EXPECT_EQ(Pixel(band, 0, 3), Rgb(clRed));
  EXPECT_EQ(Pixel(band, 5, 58), Rgb(clRed));
  EXPECT_EQ(Pixel(band, 6, 3), Rgb(clLime));
  EXPECT_EQ(Pixel(band, 79, 3), Rgb(clLime));
  EXPECT_EQ(Pixel(band, 40, 59), Rgb(clLime));
  EXPECT_EQ(child->BoundsRect(), TRect(6, 6, 74, 54));
  // A frame widens the inset on its sides only.
  band->SetBorderOuter(fsLowered);
  EXPECT_EQ(child->BoundsRect(), TRect(8, 6, 74, 54));
}

TEST_F(CvPanelTest, GradientFill) {
  auto* p = Add<TCvPanel>(0, 0, 300, 75);
  p->SetBorderOuter(fsNone);
  p->SetVisualStyle(vsGradient);
  p->SetGradientColorStyle(gcsCustom);
  p->SetGradientColorStart(clWhite);
  p->SetGradientColorStop(static_cast<TColor>(Rgb(216, 228, 248)));
  Pump();
  for (int x : {0, 150, 299}) EXPECT_EQ(Pixel(p, x, 74), Rgb(216, 228, 248));
  const TColorRef top = Pixel(p, 10, 0);
  EXPECT_GE(GetRValue(top), 253);
  EXPECT_GE(GetGValue(top), 253);
  // Scheme colours: white to the face shaded by 10.
  p->SetGradientColorStyle(gcsSystem);
  Pump();
  EXPECT_EQ(Pixel(p, 10, 74), Rgb(203, 198, 188));
}

TEST_F(CvPanelTest, MouseEnterAndLeave) {
  auto* p = Add<TCvPanel>(20, 20, 60, 40);
  std::vector<std::string> log;
  p->SetOnMouseEnter([&log](TObject*) { log.push_back("enter"); });
  p->SetOnMouseLeave([&log](TObject*) { log.push_back("leave"); });
  Pump();
  MouseMove(form_.get(), 5, 5);
  MouseMove(p, 10, 10);
  MouseMove(form_.get(), 200, 200);
  Pump();
  EXPECT_EQ(log, (std::vector<std::string>{"enter", "leave"}));
}

TEST_F(CvPanelTest, TransparentPanelShowsItsParent) {
  auto* p = Add<TCvPanel>(20, 20, 60, 40);
  p->SetBorderOuter(fsNone);
  p->SetColor(clRed);
  p->SetTransparent(true);
  EXPECT_FALSE(p->ControlStyle().Contains(csOpaque));
  p->Invalidate();
  Pump();
  EXPECT_EQ(Pixel(p, 30, 20), Rgb(clTeal));
  p->SetTransparent(false);
  Pump();
  EXPECT_TRUE(p->ControlStyle().Contains(csOpaque));
  EXPECT_EQ(Pixel(p, 30, 20), Rgb(clRed));
}

class TStatesPanel : public TCvPanel {
 public:
  using TCvPanel::TCvPanel;
  using TCvCustomPanel::RememberedChildStates;
};

TEST_F(CvPanelTest, DisabledChildrenStayDisabled) {
  auto* p = Add<TStatesPanel>(0, 0, 100, 100);
  auto* a = Add<TCvPanel>(0, 0, 10, 10, p);
  auto* b = Add<TCvPanel>(20, 0, 10, 10, p);
  auto* c = Add<TCvPanel>(40, 0, 10, 10, p);
  b->SetEnabled(false);
  p->SetEnabled(false);
  EXPECT_FALSE(a->Enabled());
  EXPECT_FALSE(c->Enabled());
  EXPECT_EQ(p->RememberedChildStates(), 3u);
  // A child that leaves (or is freed) takes its entry with it.
  delete c;
  EXPECT_EQ(p->RememberedChildStates(), 2u);
  p->SetEnabled(true);
  EXPECT_TRUE(a->Enabled());
  EXPECT_FALSE(b->Enabled());
}

TEST_F(CvPanelTest, GridPatterns) {
  auto* p = Add<TCvPanel>(0, 0, 40, 30);
  p->SetBorderOuter(fsNone);
  p->SetColor(clWhite);
  p->SetGridColor(clBlack);
  p->SetShowGrid(true);
  Pump();
  // Dots at (i * 8 - 1, j * 8 - 1).
  EXPECT_EQ(Pixel(p, 7, 7), Rgb(clBlack));
  EXPECT_EQ(Pixel(p, 15, 23), Rgb(clBlack));
  EXPECT_EQ(Pixel(p, 8, 7), Rgb(clWhite));
  p->SetGridStyle(TCvGridStyle::gsSolidLines);
  p->SetGridXSize(0);
  Pump();
  // No vertical lines without a width; the horizontal ones stay.
  EXPECT_EQ(Pixel(p, 7, 3), Rgb(clWhite));
  EXPECT_EQ(Pixel(p, 3, 7), Rgb(clBlack));
  p->SetGridStyle(TCvGridStyle::gsDots);
  Pump();
  EXPECT_EQ(Pixel(p, 7, 7), Rgb(clWhite));
  p->SetGridStyle(TCvGridStyle::gsDottedLines);
  p->SetGridXSize(10);
  p->SetGridYSize(0);
  Pump();
  EXPECT_EQ(Pixel(p, 9, 1), Rgb(clBlack));
  EXPECT_EQ(Pixel(p, 9, 2), Rgb(clWhite));
  EXPECT_EQ(Pixel(p, 2, 7), Rgb(clWhite));
}

TEST_F(CvPanelTest, AlignedEdgesStay) {
  auto* bottom = Add<TCvPanel>(0, 0, 100, 36);
  bottom->SetAlign(alBottom);
  const int32_t edge = bottom->Top() + bottom->Height();
  bottom->SetHeight(40);
  EXPECT_EQ(bottom->Height(), 40);
  EXPECT_EQ(bottom->Top() + bottom->Height(), edge);
  auto* right = Add<TCvPanel>(0, 0, 50, 36);
  right->SetAlign(alRight);
  const int32_t rightEdge = right->Left() + right->Width();
  right->SetWidth(70);
  EXPECT_EQ(right->Left() + right->Width(), rightEdge);
  // Without alignment the top-left corner stays.
  auto* free = Add<TCvPanel>(10, 10, 50, 36);
  free->SetHeight(20);
  EXPECT_EQ(free->Top(), 10);
}

TEST_F(CvPanelTest, CaptionMarginWiderThanThePanel) {
  auto* p = Add<TCvPanel>(0, 0, 40, 20);
  p->SetCaption("a caption that does not fit");
  p->SetTextMargin(50);
  p->SetAlignmentVertical(avBottom);
  Pump();
  EXPECT_EQ(Pixel(p, 20, 10), Rgb(clBtnFace));
  EXPECT_TRUE(Reports().empty());
}

// Absurd widths and margins paint in bounded time and without overflow.
TEST_F(CvPanelTest, DegenerateSizes) {
  auto* p = Add<TCvPanel>(0, 0, 60, 40);
  p->SetBorderOuter(fsStatus);
  p->SetBorderInner(fsPopup);
  p->SetBevelWidth(INT32_MAX);
  p->SetBorderWidth(INT32_MAX);
  p->SetCaption("x");
  p->SetShowGrid(true);
  p->SetGridXSize(1);
  auto* child = Add<TCvPanel>(0, 0, 10, 10, p);
  child->SetAlign(alClient);
  Pump();
  for (int32_t margin : {INT32_MIN, -5, INT32_MAX}) {
    p->SetTextMargin(margin);
    p->Repaint();
  }
  auto* empty = Add<TCvPanel>(70, 0, 0, 0);
  empty->SetVisualStyle(vsGradient);
  empty->SetCaption("y");
  Pump();
  TestSurface s(4, 4);
  EXPECT_EQ(PaintBevel(s.Canvas(), TRect(0, 0, 4, 4), clRed, clRed, INT32_MAX, {}), TRect(0, 0, 4, 4));
  EXPECT_EQ(PaintBevel(s.Canvas(), TRect(0, 0, 4, 4), clRed, clRed, INT32_MAX, {sdLeft}),
            TRect(INT32_MAX, 0, 4, 4));
  EXPECT_TRUE(Reports().empty());
}

TEST_F(CvPanelTest, StoredProperties) {
  TComponent root(nullptr);
  LoadFormFromText(&root,
                   "object Root: TComponent\n"
                   "  object P1: TCvPanel\n    UseGradients = True\n    FrameSides = [sdLeft, sdTop]\n"
                   "    ThemeAware = True\n    BorderSides = [sdTop]\n  end\n"
                   "  object P2: TCvPanel\n    UseGradients = False\n  end\nend\n");
  auto* p1 = dynamic_cast<TCvPanel*>(root.FindComponent("P1"));
  auto* p2 = dynamic_cast<TCvPanel*>(root.FindComponent("P2"));
  ASSERT_TRUE(p1 && p2);
  EXPECT_EQ(p1->VisualStyle(), vsGradient);
  EXPECT_EQ(p1->BorderSides(), TSides{sdTop});
  EXPECT_EQ(p2->VisualStyle(), vsWinXP);
  // Nothing of the obsolete ones is written back.
  p1->SetName("P3");
  const std::string text = WriteComponentToText(&root);
  EXPECT_EQ(text.find("UseGradients"), std::string::npos) << text;
  EXPECT_NE(text.find("VisualStyle = vsGradient"), std::string::npos) << text;
}

TEST_F(CvPanelTest, FrameControllerSetsTheFrame) {
  auto* fc = new TCvFrameController(form_.get());  // owned by the form
  auto* p = Add<TCvPanel>(0, 0, 50, 30);
  p->SetFrameController(fc);
  EXPECT_EQ(p->BorderOuter(), fsRaised);  // frames are not visible yet
  fc->SetFrameVisible(true);
  fc->SetFrameStyle(fsFlat);
  fc->SetFrameColor(clRed);
  fc->SetColor(clYellow);
  EXPECT_EQ(p->BorderOuter(), fsFlat);
  EXPECT_EQ(p->FlatColor(), clRed);
  EXPECT_EQ(p->FlatColorAdjustment(), 0);
  EXPECT_EQ(p->Color(), clYellow);
  Pump();
  EXPECT_EQ(Pixel(p, 0, 5), Rgb(clRed));
  delete fc;
  EXPECT_EQ(p->FrameController(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Group boxes

TEST_F(CvPanelTest, UnderlinedGroupBox) {
  auto* g = Add<TCvGroupBox>(10, 10, 200, 100);
  g->SetGroupStyle(TCvGroupBoxStyle::gsUnderline);
  g->SetVisualStyle(vsGradient);
  g->SetColor(clWhite);
  g->SetCaption("Options");
  auto* child = Add<TCvPanel>(0, 0, 10, 10, g);
  child->SetAlign(alClient);
  TestSurface s(1, 1);
  s.Canvas()->Font()->Assign(g->Font());
  const int32_t cy = s.Canvas()->TextHeight("Options"), yy = s.Canvas()->TextHeight("Yy");
  child->Hide();
  Pump();
  for (int x : {0, 100, 199}) EXPECT_EQ(Pixel(g, x, cy + 2), Rgb(159, 159, 159)) << x;
  EXPECT_EQ(Pixel(g, 100, cy + 3), Rgb(clWhite));
  EXPECT_EQ(Pixel(g, 100, cy + 1), Rgb(clWhite));
  child->Show();
  EXPECT_EQ(child->Top(), yy + 4);
  EXPECT_EQ(child->Left(), 0);
}

TEST_F(CvPanelTest, GroupBoxFrames) {
  auto* g = Add<TCvGroupBox>(10, 10, 100, 60);
  g->SetColor(clWhite);
  Pump();
  TestSurface s(1, 1);
  s.Canvas()->Font()->Assign(g->Font());
  const int32_t top = s.Canvas()->TextHeight("Pp") / 2 - 1;
  // gsFlat without a caption: the top line runs through where a caption would be.
  EXPECT_EQ(Pixel(g, 12, top), Rgb(159, 159, 159));
  EXPECT_EQ(Pixel(g, 0, top + 2), Rgb(159, 159, 159));
  EXPECT_EQ(Pixel(g, 0, top), Rgb(clWhite));  // cut corner
  // A blank caption (as the application's) leaves a gap of its width 8 pixels in.
  g->SetCaption(" ");
  Pump();
  const int32_t blank = s.Canvas()->TextWidth(" ");
  ASSERT_GT(blank, 0);
  EXPECT_EQ(Pixel(g, 8, top), Rgb(clWhite));
  EXPECT_EQ(Pixel(g, 8 + blank - 1, top), Rgb(clWhite));
  EXPECT_EQ(Pixel(g, 8 + blank, top), Rgb(159, 159, 159));
  EXPECT_EQ(Pixel(g, 7, top), Rgb(159, 159, 159));

  // The custom style paints exactly like a panel.
  auto* custom = Add<TCvGroupBox>(120, 10, 60, 40);
  custom->SetGroupStyle(TCvGroupBoxStyle::gsCustom);
  custom->SetBorderOuter(fsRaised);
  auto* panel = Add<TCvPanel>(200, 10, 60, 40);
  Pump();
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x) ASSERT_EQ(Pixel(custom, x, y), Pixel(panel, x, y)) << x << "," << y;
}

TEST_F(CvPanelTest, GroupBoxAcceleratorFocusesTheFirstChild) {
  auto* outside = Add<TEdit>(250, 10, 100, 20);
  auto* g = Add<TCvGroupBox>(10, 10, 200, 100);
  g->SetCaption("&Options");
  auto* second = Add<TEdit>(10, 60, 100, 20, g);
  auto* first = Add<TEdit>(10, 30, 100, 20, g);
  first->SetTabOrder(0);
  Pump();
  outside->SetFocus();
  Pump();
  ASSERT_TRUE(outside->Focused());
  Press('O', "o", {ssAlt});
  Pump();
  EXPECT_TRUE(first->Focused());
  EXPECT_FALSE(second->Focused());
}

}  // namespace
