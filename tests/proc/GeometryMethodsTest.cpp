// The component's canvas resize, clear, flips and transparent crop, with ImageMagick as the
// oracle of the reflection canvas.
#include <gtest/gtest.h>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ProcFakeHost.h"
#include "tests/proc/ProcOracle.h"
#include "tests/proc/ResampleTestSupport.h"

namespace {

struct Proc {
  TPixoranProc P{nullptr};
  TPXBitmap B;
  Proc(int w, int h, TPXPixelFormat f, uint32_t seed = 1) {
    B.Allocate(w, h, f);
    RsFillRandom(&B, seed);
    P.SetAttachedBitmap(&B);
    P.SetAutoUndo(true);
    P.SetUndoLocation(pxMemory);
  }
};

TEST(GeometryMethods, ReflectionCanvas) {
  Proc t(100, 50, px24RGB);
  auto before = TPXBitmap::CreateCopy(&t.B);
  t.P.SetBackground(0x00102030);
  t.P.ResizeCanvas(230, 50, 2, 2, 0);
  ASSERT_EQ(t.B.Width(), 230);
  EXPECT_EQ(LastUndo(t.P).Caption, "Resize Canvas to 230x50");
  EXPECT_EQ(LastUndo(t.P).Code, 83);
  for (int y = 0; y < 50; y += 7) {
    for (int x = 0; x < 130; x += 13) {
      EXPECT_EQ(t.B.GetPixelRGB(x, y), (TRGB{0x10, 0x20, 0x30}));
      EXPECT_EQ(t.B.GetAlpha(x, y), 0);
    }
    for (int x = 130; x < 230; x += 11) {
      EXPECT_EQ(t.B.GetPixelRGB(x, y), before->GetPixelRGB(x - 130, y));
      EXPECT_EQ(t.B.GetAlpha(x, y), 255);
    }
  }
  // The same size, or a width of 0, stores nothing and changes nothing.
  const int entries = t.P.UndoCount();
  t.P.SetUndoLimit(5);
  t.P.ResizeCanvas(230, 50, 0, 0, 0);
  t.P.ResizeCanvas(0, 50, 0, 0, 0);
  t.P.ResizeCanvas(-3, -3, 0, 0, 0);
  EXPECT_EQ(t.P.UndoCount(), entries);
  EXPECT_EQ(t.B.Width(), 230);
}

TEST(GeometryMethods, ReflectionCanvasAgreesWithImageMagickExtent) {
  if (!ToolExists(kProcConvert)) GTEST_SKIP() << "no ImageMagick";
  TestTempDir dir;
  for (int pos : {0, 2}) {
    Proc t(23, 9, px24RGB, 7 + pos);
    WritePnm(&t.B, dir.File("in.ppm"));
    t.P.SetBackground(0);
    t.P.ResizeCanvas(51, 9, static_cast<uint8_t>(pos), static_cast<uint8_t>(pos), 0);
    // ImageMagick's transparent extension: colours as RGB, opacity as the alpha plane.
    const char* gravity = pos == 2 ? "east" : "west";
    ASSERT_EQ(RunTool({kProcConvert, dir.File("in.ppm"), "-background", "none", "-gravity", gravity, "-extent",
                           "51x9", "-alpha", "extract", dir.File("alpha.pgm")},
                          dir.File("log")),
              0);
    ASSERT_EQ(RunTool({kProcConvert, dir.File("in.ppm"), "-background", "black", "-gravity", gravity,
                           "-extent", "51x9", dir.File("rgb.ppm")},
                          dir.File("log")),
              0);
    auto alpha = ReadPnm(dir.File("alpha.pgm"));
    auto rgb = ReadPnm(dir.File("rgb.ppm"));
    ASSERT_TRUE(alpha && rgb);
    EXPECT_TRUE(SamePixels(&t.B, rgb.get())) << gravity;
    EXPECT_TRUE(SamePixels(t.B.GetAlphaChannel(), alpha.get())) << gravity;
  }
}

TEST(GeometryMethods, TinyPictureIsClearedFirstWithOneEntry) {
  Proc t(1, 1, px24RGB);
  t.B.SetPixel24(0, 0, TRGB{9, 9, 9});
  t.P.SetBackground(0x0000FF);  // red
  t.P.ResizeCanvas(3, 1, 0, 0, 255);
  EXPECT_EQ(t.B.GetPixelRGB(0, 0), (TRGB{0, 0, 255}));
  EXPECT_EQ(t.P.UndoCount(), 1);
  EXPECT_EQ(LastUndo(t.P).Code, 83);
  EXPECT_FALSE(t.B.HasAlphaChannel());
  t.P.ClearToBackground();
  EXPECT_EQ(LastUndo(t.P).Caption, "Clear");
  EXPECT_EQ(LastUndo(t.P).Code, 19);
}

TEST(GeometryMethods, FlipsWithCaptionsAndAlpha) {
  Proc t(10, 3, px1g);
  std::memset(t.B.Scanline(0), 0, 2);
  SetPixelBit(t.B.Scanline(0), 0, 1);
  t.P.Flip(0);
  EXPECT_EQ(GetPixelBit(t.B.Scanline(0), 9) != 0, true);
  EXPECT_EQ(GetPixelBit(t.B.Scanline(0), 0), 0);
  EXPECT_EQ(LastUndo(t.P).Caption, "Flip Horizontal");
  EXPECT_EQ(LastUndo(t.P).Code, 48);

  Proc v(5, 4, px24RGB);
  for (int y = 0; y < 4; ++y) v.B.SetAlpha(1, y, static_cast<uint8_t>(y * 60));
  auto before = TPXBitmap::CreateCopy(&v.B);
  v.P.Flip(1);
  EXPECT_EQ(LastUndo(v.P).Caption, "Flip Vertical");
  EXPECT_EQ(LastUndo(v.P).Code, 49);
  EXPECT_EQ(v.B.GetAlpha(1, 0), 180);
  v.P.Flip(1);
  EXPECT_TRUE(SamePixels(&v.B, before.get()));
  EXPECT_TRUE(SamePixels(v.B.GetAlphaChannel(), before->GetAlphaChannel()));
  const int entries = v.P.UndoCount();
  v.P.Flip(2);  // unknown direction
  EXPECT_EQ(v.P.UndoCount(), entries);
  EXPECT_TRUE(SamePixels(&v.B, before.get()));
}

TEST(GeometryMethods, CropTransparentNeverStoresAnEntry) {
  Proc t(8, 6, px24RGB);
  t.P.SetUndoLimit(3);
  t.P.CropTransparent();  // no alpha: the whole picture
  EXPECT_EQ(t.B.Width(), 8);
  t.B.GetAlphaChannel()->Fill(0);
  t.P.CropTransparent();  // fully transparent: nothing
  EXPECT_EQ(t.B.Width(), 8);
  t.B.SetAlpha(2, 1, 255);
  t.B.SetAlpha(5, 3, 10);
  const TRGB corner = t.B.GetPixelRGB(2, 1);
  t.P.CropTransparent();
  EXPECT_EQ(t.B.Width(), 4);
  EXPECT_EQ(t.B.Height(), 3);
  EXPECT_EQ(t.B.GetPixelRGB(0, 0), corner);
  EXPECT_EQ(t.P.UndoCount(), 0);
  EXPECT_TRUE(t.P.AutoUndo());
}

}  // namespace
