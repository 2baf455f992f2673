// Flattening a view: drawing the stack into a separate bitmap without disturbing the view, the
// flat merge into layer 0 over the layers' rectangle, and the blending merge checked against
// Pillow's alpha_composite.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "io/pixoranio.h"
#include "tests/common/PillowComposite.h"
#include "tests/common/TestSupport.h"
#include "tests/view/ViewTestSupport.h"

TEST_F(ViewTest, LayersDrawToLeavesTheViewAlone) {
  TPixoranView* view = NewView(160, 120);
  SetPicture(view, 40, 30, clRed);
  view->LayersAppend(pxlkImage, 30, -5, 20, 20, nullptr, false, false, false, false);
  view->Layers(1)->SetPosX(30);
  view->Layers(1)->SetPosY(-5);
  dynamic_cast<TPXImageLayer*>(view->Layers(1))->Bitmap()->Fill(static_cast<double>(clBlue));
  view->SetZoom(250);
  view->SetViewXY(20, 10);
  Pump();
  const double zoom = view->Zoom();
  const int32_t vx = view->ViewX(), vy = view->ViewY(), ew = view->GetExtentWidth(), eh = view->GetExtentHeight();
  int paints = 0;
  view->SetOnPaint([&](TObject*) { ++paints; });
  TPXBitmap flat;
  view->LayersDrawTo(&flat, true);
  Pump();
  EXPECT_EQ(paints, 0);
  EXPECT_EQ(view->Zoom(), zoom);
  EXPECT_EQ(view->ViewX(), vx);
  EXPECT_EQ(view->ViewY(), vy);
  EXPECT_EQ(view->GetExtentWidth(), ew);
  EXPECT_EQ(view->GetExtentHeight(), eh);
  // The union of (0, 0, 40, 30) and (30, -5, 50, 15): 50 x 35 from (0, -5).
  ASSERT_EQ(flat.Width(), 50);
  ASSERT_EQ(flat.Height(), 35);
  EXPECT_EQ(flat.GetPixelRGB(5, 20), (TRGB{0, 0, 255}));   // red picture (stored b, g, r)
  EXPECT_EQ(flat.GetPixelRGB(45, 2), (TRGB{255, 0, 0}));   // blue layer
  const TColorRef bg = ColorToRGB(view->Background());  // outside both layers
  EXPECT_EQ(flat.GetPixelRGB(5, 2), (TRGB{GetBValue(bg), GetGValue(bg), GetRValue(bg)}));
}

TEST_F(ViewTest, FlatMergeGrowsLayerZeroToTheUnion) {
  TPixoranView* view = NewView(160, 120);
  SetPicture(view, 40, 30, clRed);
  view->LayersMergeAll(false);  // one layer: nothing
  EXPECT_EQ(view->GetPXBitmap()->Width(), 40);
  view->LayersAppend(pxlkImage, 30, -5, 20, 20, nullptr, false, false, false, false);
  view->Layers(1)->SetPosX(30);
  view->Layers(1)->SetPosY(-5);
  dynamic_cast<TPXImageLayer*>(view->Layers(1))->Bitmap()->Fill(static_cast<double>(clBlue));
  view->LayersMergeAll(false);
  ASSERT_EQ(view->LayersCount(), 1);
  EXPECT_EQ(view->Layers(0)->GetPosX(), 0);
  EXPECT_EQ(view->Layers(0)->GetPosY(), -5);
  ASSERT_EQ(view->GetPXBitmap()->Width(), 50);
  ASSERT_EQ(view->GetPXBitmap()->Height(), 35);
  EXPECT_EQ(view->GetPXBitmap()->GetPixelRGB(45, 2), (TRGB{255, 0, 0}));
  EXPECT_EQ(view->GetPXBitmap()->GetPixelRGB(5, 20), (TRGB{0, 0, 255}));
}

TEST_F(ViewTest, BlendingMergeAgreesWithPillow) {
  TestTempDir dir;
  const std::string want = PillowAlphaComposite(dir, 33, 21, 11, 1);
  if (want.empty()) GTEST_SKIP() << "Pillow is not available";
  ASSERT_EQ(want.size(), 33u * 21u * 4u);

  TPixoranView* view = NewView(160, 120);
  ASSERT_TRUE(view->IO()->LoadFromFilePng(dir.File("a.png")));
  auto upper = std::make_unique<TPXBitmap>();
  ASSERT_TRUE(TPixoranIO::CreateForBitmap(upper.get())->LoadFromFilePng(dir.File("b.png")));
  view->LayersAppend(pxlkImage, 0, 0, 33, 21, upper.get(), true, false, false, false);
  view->LayersMergeAll(true);
  ASSERT_EQ(view->LayersCount(), 1);
  TPXBitmap* r = view->GetPXBitmap();
  ASSERT_EQ(r->Width(), 33);
  ASSERT_EQ(r->Height(), 21);
  const int worst = WorstRgbaDifference(*r, want);
  EXPECT_LE(worst, 1);
}
