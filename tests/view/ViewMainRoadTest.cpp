// The application's road through the view: a PNG loaded into a source view, the reflection built
// as a second layer of the shown view, fitted and zoomed, then flattened by a view without
// owner and saved as PNG, which Pillow reads back.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "tests/common/TestSupport.h"
#include "tests/view/ViewTestSupport.h"

TEST_F(ViewTest, TheApplicationsMainRoad) {
  TestTempDir dir;
  const int32_t w = 20, h = 10;
  {
    auto picture = Gradient(w, h);
    std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(picture.get());
    io->SaveToFile(dir.File("in.png"), pxftPNG);
  }
  TPixoran source(nullptr);
  ASSERT_TRUE(source.IO()->LoadFromFile(dir.File("in.png"), pxftPNG));

  TPixoran* view = NewView<TPixoran>(300, 200);
  view->SetBackgroundStyle(pxbsChessboard);
  view->LayersAdd(pxlkImage, -1, -1, 0, 0);
  while (view->LayersCount() > 1) view->LayersRemove(view->LayersCount() - 1, false);
  view->Clear();
  const int32_t reflection = view->LayersAdd(pxlkImage, -1, -1, 0, 0);
  ASSERT_EQ(reflection, 1);
  view->Layers(reflection)->SetLocked(true);

  // The source into layer 0, on a canvas twice as high; the flipped copy below it, fading out.
  view->SetLayersCurrent(0);
  TPXBitmap* base = view->GetPXBitmap();
  base->AssignFrom(source.GetPXBitmap(), false);
  base->ResizeCanvas(w, 2 * h, static_cast<double>(clBlack), 255, 0, 0);
  view->SetLayersCurrent(reflection);
  TPXBitmap* copy = view->GetPXBitmap();
  copy->AssignFrom(source.GetPXBitmap(), false);
  copy->Flip(1);
  TPXBitmap* alpha = copy->GetAlphaChannel();
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) alpha->Scanline(y)[x] = static_cast<uint8_t>(200 - 20 * y);
  alpha->FFull = 0;
  view->Layers(reflection)->SetPosX(0);
  view->Layers(reflection)->SetPosY(h);
  view->SetEnableAlphaChannel(true);
  view->Update();

  view->Fit(true);
  EXPECT_DOUBLE_EQ(view->Zoom(), 1000);
  view->SetZoom(100);
  Wheel(view, 150, 100, -120);
  EXPECT_DOUBLE_EQ(view->Zoom(), 108);
  Wheel(view, 150, 100, 120);
  view->SetZoom(100);
  PaintNow(view);
  // The picture at the centre: the source on top, the fading reflection below.
  const int32_t ox = view->OffsetX(), oy = view->OffsetY();
  EXPECT_EQ(Pixel(view, ox + 7, oy + 3), RGB(7, 3, 10));
  const TColorRef below = Pixel(view, ox + 7, oy + h);
  EXPECT_NEAR(GetRValue(below), 200 * 7 / 255, 1);
  EXPECT_NEAR(GetGValue(below), 200 * 9 / 255, 1);
  EXPECT_NEAR(GetBValue(below), 200 * 16 / 255, 1);

  // Saving: a view without owner takes both layers and flattens them.
  TPixoranView flat(nullptr);
  flat.AssignFrom(view);
  ASSERT_EQ(flat.LayersCount(), 2);
  TPXBitmap merged;
  BlendLayerPair(flat.Layers(0), flat.Layers(1), &merged, TPXBlendLayerOptions());
  flat.LayersRemove(1, false);
  flat.GetPXBitmap()->AssignFrom(&merged, false);
  flat.RemoveAlphaChannel(true);
  flat.IO()->SaveToFile(dir.File("out.png"), pxftPNG);
  ASSERT_FALSE(flat.IO()->Aborting());

  const std::string script =
      "import sys\nfrom PIL import Image\nim=Image.open(sys.argv[1]).convert('RGB')\n"
      "sys.stdout.write('%d %d\\n' % im.size)\n"
      "for y in range(im.height):\n  for x in range(im.width):\n    sys.stdout.write('%d %d %d\\n' % im.getpixel((x, y)))\n";
  ASSERT_EQ(RunTool({"/usr/bin/python3", "-c", script, dir.File("out.png")}, dir.File("pixels.txt")), 0);
  std::ifstream f(dir.File("pixels.txt"));
  int32_t pw = 0, ph = 0;
  f >> pw >> ph;
  ASSERT_EQ(pw, w);
  ASSERT_EQ(ph, 2 * h);
  int32_t worst = 0;
  for (int32_t y = 0; y < 2 * h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      int32_t r, g, b;
      f >> r >> g >> b;
      // The source above; below, its mirror over black, weighted by the fading alpha.
      int32_t er = x, eg = y, eb = x + y;
      if (y >= h) {
        const int32_t sy = 2 * h - 1 - y, a = 200 - 20 * (y - h);
        er = x * a / 255, eg = sy * a / 255, eb = (x + sy) * a / 255;
      }
      worst = std::max({worst, std::abs(r - er), std::abs(g - eg), std::abs(b - eb)});
    }
  EXPECT_LE(worst, 2);
}
