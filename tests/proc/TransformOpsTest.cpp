// The component's resampling and rotating operations: undo entries and events, the sizes of the
// rotating crops, and exact turns against ImageMagick and netpbm.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_resample.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ProcFakeHost.h"
#include "tests/proc/ProcOracle.h"
#include "tests/proc/ResampleTestSupport.h"

namespace {

struct Proc {
  TPixoranProc P{nullptr};
  TPXBitmap B;
  int Finished = 0;
  int Hundreds = 0;
  Proc(int w, int h, TPXPixelFormat f, uint32_t seed = 1) {
    B.Allocate(w, h, f);
    RsFillRandom(&B, seed);
    P.SetAttachedBitmap(&B);
    P.SetAutoUndo(true);
    P.SetUndoLimit(5);
    P.SetUndoLocation(pxMemory);
    P.SetOnFinishWork(TNotifyEvent([this](TObject*) { ++Finished; }));
    P.SetOnProgress(TPXProgressEvent([this](TObject*, int32_t v) { Hundreds += v == 100; }));
  }
  std::string Caption() {
    TPXUndoSource s;
    int32_t code, item;
    std::string caption;
    P.GetUndoInfo(P.UndoCount() - 1, s, code, caption, item);
    return caption + "/" + std::to_string(code);
  }
};

void Fill(TPXBitmap* b, TRGB c) {
  for (int y = 0; y < b->Height(); ++y)
    for (int x = 0; x < b->Width(); ++x) b->SetPixel24(x, y, c);
}

int CountColour(TPXBitmap* b, TRGB c) {
  int n = 0;
  for (int y = 0; y < b->Height(); ++y)
    for (int x = 0; x < b->Width(); ++x) n += b->GetPixelRGB(x, y) == c;
  return n;
}

// ---------------------------------------------------------------------------------------------
// Resample and ResampleTo

TEST(TransformOps, ResampleStoresOneEntryAndFinishesTwice) {
  Proc t(40, 30, px24RGB);
  auto original = TPXBitmap::CreateCopy(&t.B);
  t.P.Resample(40, 30, rfTriangle, false);  // the current size as numbers
  EXPECT_EQ(t.P.UndoCount(), 0);
  EXPECT_EQ(t.Finished, 0);

  t.P.Resample(0, 0, rfTriangle, false);  // resolves to the current size after the test
  EXPECT_EQ(t.P.UndoCount(), 1);
  EXPECT_EQ(t.Caption(), "Resize Image/82");
  EXPECT_TRUE(SamePixels(&t.B, original.get()));
  EXPECT_EQ(t.Finished, 2);
  EXPECT_EQ(t.Hundreds, 2);

  // Both sides negative name no size: nothing stored, nothing changed.
  t.P.Resample(-1, -1, rfTriangle, false);
  t.P.Resample(-5, -7, rfTriangle, false);
  EXPECT_EQ(t.P.UndoCount(), 1);
  EXPECT_TRUE(SamePixels(&t.B, original.get()));

  t.P.Resample(20, -1, rfLanczos3, false);
  auto expect = std::make_unique<TPXBitmap>();
  expect->Allocate(20, 15, px24RGB);
  ResampleWithAlpha(original.get(), expect.get(), rfLanczos3, TPXProgressEvent(), nullptr);
  EXPECT_TRUE(SamePixels(&t.B, expect.get()));
  t.P.Undo(true);
  EXPECT_TRUE(SamePixels(&t.B, original.get()));
}

TEST(TransformOps, ResampleToFillsTheDestinationOnly) {
  Proc t(40, 30, px24RGB);
  t.B.GetAlphaChannel()->Fill(77);
  auto original = TPXBitmap::CreateCopy(&t.B);
  TPXBitmap dest;
  t.P.ResampleTo(&dest, 100, 100, rfBilinear, true);
  EXPECT_EQ(dest.Width(), 100);
  EXPECT_EQ(dest.Height(), 75);
  EXPECT_EQ(dest.AlphaChannel()->GetPixel8(50, 40), 77);
  EXPECT_TRUE(SamePixels(&t.B, original.get()));
  EXPECT_EQ(t.P.UndoCount(), 0);
  EXPECT_EQ(t.Finished, 1);

  // A 1-bit picture with a kernel filter comes back as grey px24RGB; with a projection 1-bit.
  Proc m(16, 8, px1g);
  m.P.ResampleTo(&dest, 8, 4, rfTriangle, false);
  EXPECT_EQ(dest.PixelFormat(), px24RGB);
  m.P.ResampleTo(&dest, 8, 4, rfProjectBW, false);
  EXPECT_EQ(dest.PixelFormat(), px1g);
  // The picture as its own destination.
  m.P.ResampleTo(&m.B, 4, 2, rfNone, false);
  EXPECT_EQ(m.B.Width(), 4);
}

// ---------------------------------------------------------------------------------------------
// Rotate

TEST(TransformOps, RotateTurnsExactlyAndCaptionsTheAngle) {
  Proc t(5, 3, px24RGB);
  auto src = TPXBitmap::CreateCopy(&t.B);
  t.P.Rotate(90, 1);
  ASSERT_EQ(t.B.Width(), 3);
  ASSERT_EQ(t.B.Height(), 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(t.B.GetPixelRGB(x, y), src->GetPixelRGB(5 - 1 - y, x));
  EXPECT_EQ(t.Caption(), "Rotate -90\u00B0/84");
  EXPECT_EQ(t.Finished, 1);

  auto turned = TPXBitmap::CreateCopy(&t.B);
  t.P.Rotate(360, 1);
  EXPECT_TRUE(SamePixels(&t.B, turned.get()));
  t.P.Rotate(360, 0);
  EXPECT_TRUE(SamePixels(&t.B, turned.get()));

  const int entries = t.P.UndoCount(), finished = t.Finished;
  t.P.Rotate(0, 1);
  EXPECT_EQ(t.P.UndoCount(), entries);
  EXPECT_EQ(t.Finished, finished);

  for (auto [angle, caption] : std::vector<std::pair<double, std::string>>{
           {30, "Rotate -30\u00B0/84"}, {-30, "Rotate 30\u00B0/84"}, {200, "Rotate 160\u00B0/84"}, {-725.5, "Rotate 5\u00B0/84"}}) {
    Proc r(6, 4, px24RGB);
    r.P.Rotate(angle, 0);
    EXPECT_EQ(r.Caption(), caption);
  }
}

TEST(TransformOps, RotateFillsWithTheBackgroundAndTakesHighModesAsBicubic) {
  Proc t(30, 20, px24RGB);
  Fill(&t.B, TRGB{9, 9, 9});
  t.P.SetBackground(0x0000FF);  // red
  t.P.Rotate(30, 0);
  EXPECT_EQ(t.B.GetPixelRGB(0, 0), (TRGB{0, 0, 255}));
  t.P.Rotate(30, 0, 0xFF0000);  // blue given
  EXPECT_EQ(t.B.GetPixelRGB(0, 0), (TRGB{255, 0, 0}));

  Proc a(17, 11, px24RGB, 3), b(17, 11, px24RGB, 3);
  a.P.Rotate(30, 3);
  b.P.Rotate(30, 9);
  EXPECT_TRUE(SamePixels(&a.B, &b.B));
}

TEST(TransformOps, ExactTurnsAgreeWithImageMagickAndPamflip) {
  const bool magick = ToolExists(kProcConvert), netpbm = ToolExists(kProcPamflip);
  if (!magick && !netpbm) GTEST_SKIP() << "neither ImageMagick nor netpbm";
  TestTempDir dir;
  if (magick) {
    // ImageMagick turns clockwise.
    for (auto [angle, mode, arg] : std::vector<std::tuple<double, int, std::string>>{
             {90, 1, "-90"}, {-90, 0, "90"}, {180, 2, "180"}, {270, 3, "90"}}) {
      SCOPED_TRACE(angle);
      Proc t(7, 4, px24RGB, 5);
      WritePnm(&t.B, dir.File("in.ppm"));
      t.P.Rotate(angle, mode);
      ASSERT_EQ(RunTool({kProcConvert, dir.File("in.ppm"), "-rotate", arg, dir.File("out.ppm")}, dir.File("log")), 0);
      auto oracle = ReadPnm(dir.File("out.ppm"));
      ASSERT_TRUE(oracle);
      EXPECT_TRUE(SamePixels(&t.B, oracle.get()));
    }
  }
  if (netpbm) {
    for (auto [angle, arg] : std::vector<std::pair<double, std::string>>{{90, "-ccw"}, {-90, "-cw"}, {180, "-r180"}}) {
      SCOPED_TRACE(angle);
      Proc t(13, 5, px1g, 6);
      WritePnm(&t.B, dir.File("in.pbm"));
      t.P.Rotate(angle, 1);
      ASSERT_EQ(RunTool({kProcPamflip, arg, dir.File("in.pbm")}, dir.File("out.pbm")), 0);
      auto oracle = ReadPnm(dir.File("out.pbm"));
      ASSERT_TRUE(oracle);
      EXPECT_TRUE(SamePixels(&t.B, oracle.get()));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// RotateAndCrop and CropRotated

TEST(TransformOps, RotateAndCropSizesAndOneEntry) {
  struct Case {
    int W, H;
    double Angle;
    int NewW, NewH;
  } cases[] = {{100, 100, 45, 70, 70}, {200, 100, 30, 100, 57}, {120, 80, 0, 120, 80}, {120, 80, 180, 120, 80}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Angle);
    Proc t(c.W, c.H, px24RGB);
    t.P.RotateAndCrop(pxaaShear, pxrcLargest, TPXRotationAngle(c.Angle), TPXAspectRatio(1));
    EXPECT_EQ(t.B.Width(), c.NewW);
    EXPECT_EQ(t.B.Height(), c.NewH);
    EXPECT_EQ(t.P.UndoCount(), 1);
  }
  Proc t(200, 100, px24RGB);
  auto original = TPXBitmap::CreateCopy(&t.B);
  t.P.RotateAndCrop(pxaaBilinear, pxrcLargest, TPXRotationAngle(30), TPXAspectRatio(1));
  EXPECT_EQ(t.Caption(), "Rotate and Crop -30\u00B0/85");
  t.P.Undo(true);
  EXPECT_TRUE(SamePixels(&t.B, original.get()));
}

// Whatever the angle, the kept rectangle lies inside the turned picture: no background shows.
TEST(TransformOps, RotateAndCropKeepsNoBackground) {
  const TRGB magenta{255, 0, 255};
  for (auto [w, h] : {std::pair{200, 100}, std::pair{100, 200}, std::pair{64, 60}, std::pair{300, 20}})
    for (double angle : {10.0, 30.0, 44.0, 60.0, 100.0, -150.0, 170.5})
      for (TPXRotateCropMethod method : {pxrcLargest, pxrcKeepAspect}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h << " by " << angle << " method " << int(method));
        Proc t(w, h, px24RGB);
        Fill(&t.B, TRGB{9, 9, 9});
        t.P.SetBackground(0xFF00FF);
        t.P.RotateAndCrop(pxaaNone, method, TPXRotationAngle(angle), TPXAspectRatio(1));
        EXPECT_GE(t.B.Width(), 1);
        EXPECT_GE(t.B.Height(), 1);
        EXPECT_EQ(CountColour(&t.B, magenta), 0);
        if (method == pxrcKeepAspect) {
          // The picture's ratio, up to the truncation of each side.
          const double W = t.B.Width(), H = t.B.Height();
          EXPECT_LE(W / (H + 1), double(w) / h);
          EXPECT_GE((W + 1) / H, double(w) / h);
        }
      }
}

TEST(TransformOps, CropRotatedStraightensTheTurnedRectangle) {
  Proc t(40, 30, px24RGB);
  auto original = TPXBitmap::CreateCopy(&t.B);
  t.P.CropRotated(TRect(0, 0, 39, 29), pxaaShear, TPXRotationAngle(0));
  EXPECT_TRUE(SamePixels(&t.B, original.get()));
  EXPECT_FALSE(t.B.HasAlphaChannel());
  EXPECT_EQ(t.Caption(), "Crop Image/38");

  // A quarter turn: the turned rectangle's content, turned back.
  t.P.CropRotated(TRect(10, 10, 29, 19), pxaaNone, TPXRotationAngle(90));
  ASSERT_EQ(t.B.Width(), 20);
  ASSERT_EQ(t.B.Height(), 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) EXPECT_EQ(t.B.GetPixelRGB(x, y), original->GetPixelRGB(15 + y, 24 - x)) << x << "," << y;
  EXPECT_FALSE(t.B.HasAlphaChannel());

  // Area outside the picture comes out transparent.
  Proc o(20, 20, px24RGB);
  auto before = TPXBitmap::CreateCopy(&o.B);
  o.P.CropRotated(TRect(-5, -5, 4, 4), pxaaNone, TPXRotationAngle(0));
  ASSERT_EQ(o.B.Width(), 10);
  ASSERT_TRUE(o.B.HasAlphaChannel());
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool inside = x >= 5 && y >= 5;
      EXPECT_EQ(o.B.GetAlpha(x, y), inside ? 255 : 0);
      if (inside) {
        EXPECT_EQ(o.B.GetPixelRGB(x, y), before->GetPixelRGB(x - 5, y - 5));
      }
    }
}

// ---------------------------------------------------------------------------------------------
// Bad input

TEST(TransformOps, BadInputRaisesOrChangesNothing) {
  const std::vector<std::function<void(TPixoranProc&)>> ops = {
      [](TPixoranProc& p) { p.Resample(10, 10, rfTriangle, false); },
      [](TPixoranProc& p) {
        TPXBitmap d;
        p.ResampleTo(&d, 10, 10, rfTriangle, false);
      },
      [](TPixoranProc& p) { p.Rotate(30, 1); },
      [](TPixoranProc& p) { p.RotateAndCrop(pxaaShear, pxrcLargest, TPXRotationAngle(30), TPXAspectRatio(1)); },
      [](TPixoranProc& p) { p.CropRotated(TRect(0, 0, 3, 3), pxaaShear, TPXRotationAngle(30)); },
  };
  TFakeHost host;
  host.AddLayer(8, 8, px24RGB, false);  // not an image layer
  TPixoranProc onHost(nullptr);
  onHost.SetAttachedPixoran(&host);
  onHost.SetAutoUndo(true);
  TPixoranProc alone(nullptr);
  alone.SetAttachedBitmap(nullptr);
  for (const auto& op : ops) {
    EXPECT_EQ(MessageOf<EPXException>([&] { op(onHost); }), "Active layer does not contain bitmap");
    EXPECT_EQ(MessageOf<EPXException>([&] { op(alone); }), "Active layer does not contain bitmap");
  }
  EXPECT_EQ(onHost.UndoCount(), 0);

  // An empty picture: nothing happens, nothing is raised.
  TPixoranProc empty(nullptr);
  empty.SetAutoUndo(true);
  for (const auto& op : ops) EXPECT_EQ(MessageOf<Exception>([&] { op(empty); }), "(no exception)");
  EXPECT_EQ(empty.UndoCount(), 0);

  // Rectangles that are empty or outside the picture, and unusable angles.
  Proc t(10, 10, px24RGB);
  auto original = TPXBitmap::CreateCopy(&t.B);
  t.P.CropRotated(TRect(5, 5, 4, 4), pxaaShear, TPXRotationAngle(10));
  t.P.CropRotated(TRect(20, 20, 30, 30), pxaaShear, TPXRotationAngle(10));
  t.P.CropRotated(TRect(-30, 0, -20, 5), pxaaShear, TPXRotationAngle(10));
  t.P.Rotate(std::numeric_limits<double>::quiet_NaN(), 1);
  t.P.RotateAndCrop(pxaaShear, pxrcLargest, TPXRotationAngle(std::numeric_limits<double>::infinity()),
                    TPXAspectRatio(1));
  EXPECT_EQ(t.P.UndoCount(), 0);
  EXPECT_TRUE(SamePixels(&t.B, original.get()));
}

}  // namespace
