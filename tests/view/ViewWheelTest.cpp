// The image view's mouse wheel, driven through the window layer's wheel events.
#include <gtest/gtest.h>

#include <cmath>

#include "codecs/pcxfilter.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes_streams.h"
#include "tests/common/TestSupport.h"
#include "tests/view/ViewTestSupport.h"

TEST_F(ViewTest, WheelZoomsByEightPerCentAboutTheCentre) {
  TPixoranView* view = NewView(200, 150);
  SetPicture(view, 100, 80);
  Wheel(view, 50, 50, 120);
  EXPECT_DOUBLE_EQ(view->Zoom(), 92);
  view->SetZoom(100);
  Wheel(view, 50, 50, -120);
  EXPECT_DOUBLE_EQ(view->Zoom(), 108);
  view->SetZoom(1);
  Wheel(view, 50, 50, -120);
  EXPECT_DOUBLE_EQ(view->Zoom(), 2);
  view->SetZoom(1);
  Wheel(view, 50, 50, 120);  // to 0: ignored
  EXPECT_DOUBLE_EQ(view->Zoom(), 1);
}

TEST_F(ViewTest, WheelScrollsHorizontallyWithCtrlOrWhenOnlyThatAxisOverflows) {
  TPixoranView* view = NewView(200, 150);
  view->MouseWheelParams()->SetAction(pxmwVScroll);
  SetPicture(view, 800, 600);
  Wheel(view, 50, 50, -120);
  EXPECT_EQ(view->ViewX(), 0);
  EXPECT_EQ(view->ViewY(), Round32(view->GetViewportHeight() * 0.08));
  Wheel(view, 50, 50, -120, TShiftState{ssCtrl});
  EXPECT_EQ(view->ViewX(), Round32(view->GetViewportWidth() * 0.08));
  view->ForcedModifiers = 1u << 1;
  Wheel(view, 50, 50, 120);
  EXPECT_EQ(view->ViewX(), 0);
  view->ForcedModifiers = 0;
  SetPicture(view, 800, 100);  // only wider than the view
  view->SetViewXY(0, 0);
  Wheel(view, 50, 50, -120);
  EXPECT_GT(view->ViewX(), 0);
  EXPECT_EQ(view->ViewY(), 0);
}

TEST_F(ViewTest, WheelAtTheMouseKeepsThePixelUnderThePointer) {
  TPixoranView* view = NewView(300, 200);
  SetPicture(view, 1000, 800);
  view->SetZoom(150);
  view->SetViewXY(400, 300);
  view->MouseWheelParams()->SetZoomPosition(pxmwMouse);
  for (int32_t delta : {-120, -120, 120, -120}) {
    const int32_t bx = view->ClientToBitmapX(120, false), by = view->ClientToBitmapY(70, false);
    Wheel(view, 120, 70, delta);
    const double z = view->Zoom() / 100;
    EXPECT_LE(std::abs(view->BitmapToClientX(bx, false) - 120), std::ceil(z) + 1) << view->Zoom();
    EXPECT_LE(std::abs(view->BitmapToClientY(by, false) - 70), std::ceil(z) + 1) << view->Zoom();
  }
}

TEST_F(ViewTest, AHandledWheelEventStopsTheViewsAction) {
  TPixoranView* view = NewView(200, 150);
  SetPicture(view, 100, 80);
  view->SetOnMouseWheel([](TObject*, TShiftState, int32_t, TPoint, bool& Handled) { Handled = true; });
  Wheel(view, 50, 50, 120);
  EXPECT_EQ(view->Zoom(), 100);
}

TEST_F(ViewTest, WheelNavigatesPages) {
  TestTempDir dir;
  TMemoryStream s;
  TIOParams params;
  TPXAbortFlag aborted{false};
  TPXProgressRecord progress;
  progress.Aborting = &aborted;
  for (int32_t i = 0; i < 3; ++i) {
    auto page = TPXBitmap::CreateAllocated(4, 4, px24RGB);
    params.DCX_ImageIndex = i;
    InsertDcxPage(&s, page.get(), &params, progress);
  }
  s.SaveToFile(dir.File("p.dcx"));
  TPixoran* view = NewView<TPixoran>(100, 100);
  ASSERT_TRUE(view->IO()->LoadFromFile(dir.File("p.dcx"), pxftDCX));
  view->MouseWheelParams()->SetAction(pxmwNavigate);
  Wheel(view, 10, 10, -120);
  EXPECT_EQ(view->IO()->Params()->ImageIndex, 1);
  Wheel(view, 10, 10, 120);
  EXPECT_EQ(view->IO()->Params()->ImageIndex, 0);
}
