// The image view's geometry: fit and automatic fit, zoom limits, scrolling bounds, the scroll
// bars, and the conversions between client and bitmap coordinates.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/hypxutils_window.h"
#include "tests/view/ViewTestSupport.h"

TEST_F(ViewTest, FitTable) {
  struct Row {
    int32_t W, H;
    bool Enlarge;
    double Zoom;
  };
  for (const Row& r : {Row{4000, 3000, false, 10}, Row{40, 30, true, 1000}, Row{40, 30, false, 100},
                       Row{1, 500, true, 100}, Row{500, 1, true, 100}}) {
    SCOPED_TRACE(testing::Message() << r.W << " x " << r.H);
    TPixoranView* view = NewView(400, 300);
    SetPicture(view, r.W, r.H);
    view->Fit(r.Enlarge);
    EXPECT_DOUBLE_EQ(view->Zoom(), r.Zoom);
  }
}

TEST_F(ViewTest, AutoShrinkRefitsUntilACallerZoomsAndALoadFitsAgain) {
  TPixoranView* view = NewView(400, 300);
  view->SetAutoShrink(true);
  SetPicture(view, 100, 50);
  EXPECT_EQ(view->Zoom(), 100);  // small pictures stay at 100
  SetPicture(view, 800, 300);
  EXPECT_DOUBLE_EQ(view->Zoom(), 50);
  SetPicture(view, 1600, 300);
  EXPECT_DOUBLE_EQ(view->Zoom(), 25);
  view->SetZoom(70);
  EXPECT_TRUE(view->UserZoomed());
  SetPicture(view, 800, 300);
  EXPECT_DOUBLE_EQ(view->Zoom(), 70);
  view->ImageChange(0);  // what a load reports
  EXPECT_FALSE(view->UserZoomed());
  view->Update();
  EXPECT_DOUBLE_EQ(view->Zoom(), 50);
}

TEST_F(ViewTest, ZoomToItsOwnValueFiresOnlyViewChangingAndBadZoomsAreIgnored) {
  TPixoranView* view = NewView(200, 200);
  SetPicture(view, 100, 100);
  std::vector<std::string> log;
  view->SetOnViewChanging([&](TObject*, int32_t c, double v) { log.push_back("changing " + std::to_string(c) + " " + std::to_string(int(v))); });
  view->SetOnViewChange([&](TObject*, int32_t c) { log.push_back("change " + std::to_string(c)); });
  view->SetZoom(100);
  EXPECT_EQ(log, (std::vector<std::string>{"changing 2 100"}));
  for (double z : {0.0, -5.0, std::nan(""), double(INFINITY)}) view->SetZoom(z);
  EXPECT_EQ(view->Zoom(), 100);
}

TEST_F(ViewTest, ZoomedExtentStaysBounded) {
  TPixoranView* view = NewView(200, 200);
  SetPicture(view, 4000, 10);
  view->SetZoom(1e9);
  EXPECT_LE(view->Zoom() * 4000 / 100, PXMaxZoomedExtent + 1.0);
  EXPECT_GT(view->Zoom(), 100);
  view->SetZoomXProperty(1e12);
  EXPECT_LE(view->ZoomX() * 4000 / 100, PXMaxZoomedExtent + 1.0);
  view->SetZoom(1e-12);
  EXPECT_GT(view->Zoom(), 0);
  // The tables stay small enough to be made: a paint works at both ends.
  PaintNow(view);
  // A larger picture at the kept zoom is brought back within the bound.
  view->SetZoom(PXMaxZoomedExtent * 100.0 / 4000);
  SetPicture(view, 40000, 10);
  EXPECT_LE(view->ZoomX() * 40000 / 100, PXMaxZoomedExtent + 1.0);
}

TEST_F(ViewTest, ViewXYIsClampedAndAnUnchangedPositionRepaintsNothing) {
  TPixoranView* view = NewView(200, 150);
  SetPicture(view, 1000, 800);
  int32_t maxX, maxY;
  view->GetMaxViewXY(maxX, maxY);
  EXPECT_GT(maxX, 0);
  view->SetViewXY(100000, 100000);
  EXPECT_EQ(view->ViewX(), maxX);
  EXPECT_EQ(view->ViewY(), maxY);
  int32_t paints = 0;
  view->SetOnPaint([&](TObject*) { ++paints; });
  view->SetViewXY(maxX, maxY);
  view->SetViewXY(maxX + 5, maxY + 5);
  EXPECT_EQ(paints, 0);
  view->SetViewXY(-10, -10);
  EXPECT_EQ(view->ViewX(), 0);
  EXPECT_EQ(paints, 1);
}

TEST_F(ViewTest, APictureFittingTheOuterSizeIsNotScrolled) {
  TPixoranView* view = NewView(100, 100, bsSingle);
  SetPicture(view, 99, 99);  // wider than the client area (96 with the edge), within the outer size
  int32_t maxX, maxY;
  view->GetMaxViewXY(maxX, maxY);
  EXPECT_EQ(maxX, 0);
  EXPECT_EQ(maxY, 0);
}

TEST_F(ViewTest, ScrollBarsReadBack) {
  TPixoranView* view = NewView(300, 200);
  SetPicture(view, 1200, 900);
  view->SetViewXY(250, 120);
  ASSERT_TRUE(view->HScrollShown() && view->VScrollShown());
  SCROLLINFO h;
  h.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(view->Handle(), SB_HORZ, &h));
  EXPECT_EQ(h.nMin, 0);
  EXPECT_EQ(h.nMax, 65535);
  EXPECT_EQ(h.nPage, static_cast<UINT>(Trunc32(view->GetViewportWidth() / view->HScrollRatio())));
  EXPECT_EQ(h.nPos, Trunc32(view->ViewX() / view->HScrollRatio()));
  SCROLLINFO v;
  v.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(view->Handle(), SB_VERT, &v));
  EXPECT_EQ(v.nPage, static_cast<UINT>(Trunc32(view->GetViewportHeight() / view->VScrollRatio())));
  EXPECT_EQ(v.nPos, Trunc32(view->ViewY() / view->VScrollRatio()));

  view->SetScrollBars(ssNone);
  view->SetZoom(400);
  EXPECT_FALSE(view->HScrollShown() || view->VScrollShown());
  EXPECT_EQ(view->ClientWidth(), 300);
}

TEST_F(ViewTest, ScrollCommands) {
  TPixoranView* view = NewView(300, 200);
  SetPicture(view, 400, 400);
  struct Row {
    double Zoom;
    int32_t Line;
  };
  for (const Row& r : {Row{300, 3}, Row{50 * 4, 2}, Row{100, 1}}) {
    view->SetZoom(r.Zoom);
    view->SetViewXY(0, 0);
    view->Perform(WM_VSCROLL, SB_LINEDOWN);
    EXPECT_EQ(view->ViewY(), r.Line) << r.Zoom;
  }
  view->SetZoom(300);
  view->SetViewXY(0, 0);
  view->Perform(WM_VSCROLL, SB_PAGEDOWN);
  EXPECT_EQ(view->ViewY(), view->GetViewportHeight());
  // Without tracking a thumb drag is dropped; the final position still scrolls.
  view->VScrollBarParams()->Tracking = false;
  view->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 30000));
  EXPECT_EQ(view->ViewY(), view->GetViewportHeight());
  view->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 1000));
  EXPECT_EQ(view->ViewY(), Round32(1000 * view->VScrollRatio()));
  view->Perform(WM_HSCROLL, SB_RIGHT);
  int32_t maxX, maxY;
  view->GetMaxViewXY(maxX, maxY);
  EXPECT_EQ(view->ViewX(), maxX);
}

TEST_F(ViewTest, ConversionsAtZoom300And50) {
  TPixoranView* view = NewView(300, 300);
  SetPicture(view, 400, 400);
  view->SetZoom(300);
  const int32_t ox = view->OffsetX();
  const int32_t c = view->ClientToBitmapX(ox, false);
  EXPECT_EQ(view->ClientToBitmapX(ox + 1, false), c);
  EXPECT_EQ(view->ClientToBitmapX(ox + 2, false), c);
  EXPECT_EQ(view->ClientToBitmapX(ox + 3, false), c + 1);
  EXPECT_EQ(view->BitmapToClientX(c, false), ox);
  view->SetZoom(50);
  EXPECT_EQ(view->ClientToBitmapX(view->OffsetX() + 1, false), 2);
}

TEST_F(ViewTest, ConversionsNeverDecreaseAndRoundTripAtWholeZooms) {
  TPixoranView* view = NewView(320, 240);
  SetPicture(view, 500, 400);
  for (double zoom : {1.0, 7.0, 33.0, 50.0, 99.0, 100.0, 101.0, 150.0, 257.5, 300.0, 1000.0}) {
    view->SetZoom(zoom);
    for (int32_t pos : {0, 17, 333, 100000}) {
      view->SetViewXY(pos, pos);
      SCOPED_TRACE(testing::Message() << "zoom " << zoom << " view " << view->ViewX());
      const int32_t first = view->OffsetX(), last = view->OffsetX() + view->VisibleWidth();
      int32_t previous = view->ClientToBitmapX(first, false);
      for (int32_t x = first + 1; x < last; ++x) {
        const int32_t b = view->ClientToBitmapX(x, false);
        ASSERT_GE(b, previous) << "client " << x;
        previous = b;
      }
      int32_t previousY = view->ClientToBitmapY(view->OffsetY(), false);
      for (int32_t y = view->OffsetY() + 1; y < view->OffsetY() + view->VisibleHeight(); ++y) {
        const int32_t b = view->ClientToBitmapY(y, false);
        ASSERT_GE(b, previousY) << "client " << y;
        previousY = b;
      }
    }
  }
  for (double zoom : {100.0, 200.0, 300.0, 400.0}) {
    view->SetZoom(zoom);
    for (int32_t pos : {0, 51, 200}) {
      view->SetViewXY(pos, pos);
      SCOPED_TRACE(testing::Message() << "zoom " << zoom << " view " << view->ViewX());
      for (int32_t x = view->OffsetX(); x < view->OffsetX() + view->VisibleWidth(); ++x) {
        const int32_t b = view->ClientToBitmapX(x, false);
        ASSERT_EQ(view->ClientToBitmapX(view->BitmapToClientX(b, false), false), b) << "client " << x;
      }
    }
  }
}
