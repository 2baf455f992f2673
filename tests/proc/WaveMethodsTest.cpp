// The component's Wave and Fill, and the reflection steps end to end on a fake host.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ProcFakeHost.h"
#include "tests/proc/ProcOracle.h"
#include "tests/proc/ResampleTestSupport.h"

namespace {

TEST(WaveMethods, ZeroAmplitudeStillStoresAndFinishes) {
  TPixoranProc p(nullptr);
  TPXBitmap b;
  b.Allocate(7, 5, px24RGB);
  RsFillRandom(&b, 1);
  auto before = TPXBitmap::CreateCopy(&b);
  p.SetAttachedBitmap(&b);
  p.SetAutoUndo(true);
  p.SetUndoLocation(pxMemory);
  int finished = 0;
  p.SetOnFinishWork(TNotifyEvent([&](TObject*) { ++finished; }));
  p.Wave(0, 30, 0, false);
  EXPECT_TRUE(SamePixels(&b, before.get()));
  EXPECT_EQ(LastUndo(p).Caption, "Wave");
  EXPECT_EQ(LastUndo(p).Code, 102);
  EXPECT_EQ(finished, 1);
}

TEST(WaveMethods, AlphaIsWavedFirstAndProgressRunsTwice) {
  TPixoranProc p(nullptr);
  TPXBitmap b;
  b.Allocate(9, 9, px24RGB);
  RsFillRandom(&b, 2);
  RsFillRandom(b.GetAlphaChannel(), 3);
  auto before = TPXBitmap::CreateCopy(&b);
  p.SetAttachedBitmap(&b);
  std::vector<int> per;
  p.SetOnProgress(TPXProgressEvent([&](TObject* s, int32_t v) {
    EXPECT_EQ(s, &p);
    per.push_back(v);
  }));
  p.Wave(10, 30, 90, false);
  ASSERT_EQ(per.size(), 19u);
  EXPECT_EQ(per[0], 0);
  EXPECT_EQ(per[8], 88);
  EXPECT_EQ(per[9], 0);
  EXPECT_EQ(per[17], 88);
  EXPECT_EQ(per[18], 100);
  // 9 x 9: the centre samples (14, 14); the cell is clamped to the last pair of columns and
  // rows, whose first sample the zero fraction takes.
  EXPECT_EQ(b.GetAlpha(4, 4), before->GetAlpha(7, 7));
  EXPECT_EQ(b.GetPixelRGB(4, 4), before->GetPixelRGB(7, 7));
}

TEST(WaveMethods, FillCaptionAndSelection) {
  TFakeHost host;
  host.AddLayer(8, 8, px24RGB);
  host.Mask.AllocateBits(8, 8, 1);
  for (int y = 2; y <= 4; ++y) host.Mask.FillSpan(1, 3, 5, y);
  host.SelActive = true;
  TComponent owner(nullptr);
  auto* p = new TPixoranProc(&owner);  // owned by owner
  p->SetUndoLocation(pxMemory);
  p->SetAttachedPixoran(&host);
  p->Fill(0x00FF00);
  EXPECT_EQ(LastUndo(*p).Caption, "Fill");
  EXPECT_EQ(LastUndo(*p).Code, 47);
  TPXBitmap* b = host.Layers[0].Bitmap.get();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 3 && x <= 5 && y >= 2 && y <= 4;
      EXPECT_EQ(b->GetPixelRGB(x, y), (inside ? TRGB{0, 255, 0} : TRGB{})) << x << "," << y;
    }
}

// The reflection steps: widen the canvas, mirror, black and white, wave; exactly one undo entry
// in a temporary file after each step.
TEST(WaveMethods, ReflectionStepsEndToEnd) {
  TestTempDir dir;
  const std::string saved = GlobalSettingsInstance()->FTempDirectory;
  GlobalSettingsInstance()->FTempDirectory = dir.Path();
  auto countFiles = [&] {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) n += e.is_regular_file() ? 1 : 0;
    return n;
  };
  TFakeHost host;
  const int W = 24, H = 16;
  TPXBitmap* source = host.AddLayer(W, H, px24RGB).Bitmap.get();
  RsFillRandom(source, 5);
  TPXBitmap* refl = host.AddLayer(W, H, px24RGB).Bitmap.get();
  refl->Assign(source);
  host.Current = 1;
  TComponent owner(nullptr);
  auto* p = new TPixoranProc(&owner);  // AutoUndo on, UndoLimit 1, pxFile entries
  p->SetAttachedPixoran(&host);
  ASSERT_TRUE(p->AutoUndo());

  p->ResizeCanvas(2 * W, H, 2, 2, 0);
  EXPECT_EQ(p->UndoCount(), 1);
  EXPECT_EQ(countFiles(), 1);
  EXPECT_EQ(refl->GetAlpha(0, 0), 0);
  EXPECT_EQ(refl->GetPixelRGB(W, 3), source->GetPixelRGB(0, 3));

  p->Flip(0);
  EXPECT_EQ(p->UndoCount(), 1);
  EXPECT_EQ(countFiles(), 1);
  EXPECT_EQ(refl->GetPixelRGB(W - 1, 3), source->GetPixelRGB(0, 3));
  EXPECT_EQ(refl->GetAlpha(2 * W - 1, 0), 0);

  p->ConvertToMonochrome();
  EXPECT_EQ(refl->PixelFormat(), px1g);
  EXPECT_EQ(p->UndoCount(), 1);
  EXPECT_EQ(countFiles(), 1);

  p->Wave(10, 30, 0, false);
  EXPECT_EQ(refl->PixelFormat(), px8g);  // the first allowed format for 1-bit pictures
  EXPECT_EQ(LastUndo(*p).Caption, "Wave");
  EXPECT_EQ(p->UndoCount(), 1);
  EXPECT_EQ(countFiles(), 1);
  EXPECT_TRUE(refl->HasAlphaChannel());
  EXPECT_EQ(source->Width(), W);  // the source layer is never touched

  p->ClearAllUndo();
  EXPECT_EQ(countFiles(), 0);
  GlobalSettingsInstance()->FTempDirectory = saved;
}

}  // namespace
