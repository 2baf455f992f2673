// Transparent colours: which pixels a colour box matches on 24-bit and 1-bit pictures, the alpha
// bytes left alone, the format the frame brings, progress, undo and the selection.
#include <gtest/gtest.h>

#include <vector>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_transparent.h"
#include "tests/proc/ProcFakeHost.h"
#include "tests/proc/ProcTestSupport.h"

namespace {

// A 7 x 5 picture of noise whose low bits are cleared, so that colours repeat, with alpha bytes
// already set on its first row.
std::unique_ptr<TPXBitmap> Picture() {
  auto b = Make(7, 5, px24RGB);
  FillNoise(b.get(), 7);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) {
      TRGB c = b->GetPixelRGB(x, y);
      c = TRGB{static_cast<uint8_t>(c.b & 0xC0), static_cast<uint8_t>(c.g & 0xC0), static_cast<uint8_t>(c.r & 0xC0)};
      b->SetPixel24(x, y, c);
    }
  for (int x = 0; x < 7; ++x) b->GetAlphaChannel()->SetPixel8(x, 0, static_cast<uint8_t>(10 * x + 3));
  return b;
}

bool Inside(TRGB c, TRGB lo, TRGB hi) {
  return c.r >= lo.r && c.r <= hi.r && c.g >= lo.g && c.g <= hi.g && c.b >= lo.b && c.b <= hi.b;
}

TEST(TransparentColors, ColourBoxOn24Bits) {
  const TRGB some = Picture()->GetPixelRGB(3, 2);
  struct Case {
    const char* name;
    TRGB lo, hi;
    int alpha;
  } cases[] = {
      {"one colour", some, some, 0},
      {"a box", TRGB{0, 0x40, 0}, TRGB{0xFF, 0xC0, 0x80}, 77},
      {"everything", TRGB{0, 0, 0}, TRGB{255, 255, 255}, 200},
      {"min above max in green", TRGB{0, 0xC0, 0}, TRGB{255, 0x80, 255}, 0},
      {"alpha clamped", some, some, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto b = Picture();
    auto before = Picture();
    TPixoranProc p(nullptr);
    p.SetAttachedBitmap(b.get());
    p.SetTransparentColors(c.lo, c.hi, c.alpha);
    int matched = 0;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) {
        const TRGB colour = before->GetPixelRGB(x, y);
        ASSERT_EQ(b->GetPixelRGB(x, y), colour);  // colours never change
        const bool in = Inside(colour, c.lo, c.hi);
        matched += in;
        const int want = in ? std::min(c.alpha, 255) : before->GetAlphaChannel()->GetPixel8(x, y);
        EXPECT_EQ(b->GetAlphaChannel()->GetPixel8(x, y), want) << x << "," << y;
      }
    if (c.lo.g > c.hi.g) EXPECT_EQ(matched, 0);
    else EXPECT_GT(matched, 0);
  }
}

TEST(TransparentColors, OneBitPicturesMatchByRed) {
  // 11 pixels a row (a partly used byte), alternating in a pattern that differs per row.
  for (const uint8_t red : {0, 1, 255}) {
    SCOPED_TRACE(int(red));
    auto b = Make(11, 3, px1g);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 11; ++x) SetPixelBit(b->Scanline(y), x, (x * 3 + y) % 4 == 0);
    TPixoranProc p(nullptr);
    p.SetAttachedBitmap(b.get());
    // MaxColor plays no part on 1-bit pictures.
    p.SetTransparentColors(TRGB{0, 0, red}, TRGB{0, 0, 0}, 9);
    ASSERT_EQ(b->PixelFormat(), px1g);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 11; ++x) {
        const bool white = (x * 3 + y) % 4 == 0;
        EXPECT_EQ(b->GetAlphaChannel()->GetPixel8(x, y), white == (red != 0) ? 9 : 255) << x << "," << y;
      }
  }
}

TEST(TransparentColors, OtherFormatsAreConvertedOrLeftAlone) {
  for (const bool convert : {true, false}) {
    auto b = Make(4, 2, px32RGB);
    b->Fill(0);
    TPixoranProc p(nullptr);
    p.SetAttachedBitmap(b.get());
    p.SetAutoConvertFormat(convert);
    p.SetTransparentColors(TRGB{}, TRGB{}, 0);
    if (convert) {
      EXPECT_EQ(b->PixelFormat(), px24RGB);
      ASSERT_TRUE(b->HasAlphaChannel());
      EXPECT_EQ(b->GetAlphaChannel()->GetPixel8(3, 1), 0);
    } else {
      EXPECT_EQ(b->PixelFormat(), px32RGB);
      EXPECT_FALSE(b->HasAlphaChannel());
    }
  }
}

TEST(TransparentColors, WorkerRectangleProgressAndOpaqueFlag) {
  struct Case {
    int x1, y1, x2, y2;
    std::vector<int32_t> progress;
  } cases[] = {
      {0, 0, 7, 1, {100}},               // one row reports 100, not more
      {0, 0, 7, 3, {33, 66, 100}},
      {2, 3, 99, 99, {50, 100}},         // limited to the picture
      {-5, -5, 2, 1, {100}},             // negative starts count from 0
      {4, 2, 4, 5, {}},                  // empty: nothing reported
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.x1 << "," << c.y1 << "," << c.x2 << "," << c.y2);
    auto b = Make(7, 5, px24RGB);
    b->Fill(0);
    std::vector<int32_t> seen;
    TObject sender;
    SetTransparentColorsWorker(b.get(), c.x1, c.y1, c.x2, c.y2, TRGB{}, TRGB{}, 0,
                               TPXProgressEvent([&](TObject* s, int32_t per) {
                                 EXPECT_EQ(s, &sender);
                                 seen.push_back(per);
                               }),
                               &sender);
    EXPECT_EQ(seen, c.progress);
    TPXBitmap* a = b->GetAlphaChannel();
    const bool empty = c.x2 <= c.x1;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) {
        const bool in = !empty && x >= std::max(c.x1, 0) && x < std::min(c.x2, 7) && y >= std::max(c.y1, 0) &&
                        y < std::min(c.y2, 5);
        ASSERT_EQ(a->GetPixel8(x, y), in ? 0 : 255) << x << "," << y;
      }
    // The opaque flag follows what the alpha channel now holds.
    EXPECT_EQ(a->FFull != 0, empty);
  }
}

TEST(TransparentColors, UndoCaptionAndSelection) {
  TFakeHost host;
  TPXBitmap* b = host.AddLayer(6, 4, px24RGB).Bitmap.get();  // all black
  host.Mask.AllocateBits(6, 4, 1);
  for (int y = 1; y <= 2; ++y) host.Mask.FillSpan(1, 2, 4, y);
  host.SelActive = true;
  TPixoranProc p(nullptr);
  p.SetAutoUndo(true);
  p.SetUndoLocation(pxMemory);
  p.SetAttachedPixoran(&host);
  std::vector<int32_t> progress;
  p.SetOnProgress(TPXProgressEvent([&](TObject*, int32_t per) { progress.push_back(per); }));
  p.SetTransparentColors(TRGB{}, TRGB{}, 0);
  EXPECT_EQ(LastUndo(p).Caption, "Transparent color");
  EXPECT_EQ(LastUndo(p).Code, 90);
  EXPECT_EQ(progress.back(), 100);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool selected = x >= 2 && x <= 4 && y >= 1 && y <= 2;
      EXPECT_EQ(b->GetAlphaChannel()->GetPixel8(x, y), selected ? 0 : 255) << x << "," << y;
    }
  EXPECT_EQ(host.ImageChanges, std::vector<int32_t>{1});
  p.Undo(true);
  EXPECT_TRUE(!host.Layers[0].Bitmap->HasAlphaChannel() || host.Layers[0].Bitmap->GetAlphaChannel()->GetPixel8(3, 1) == 255);
}

}  // namespace
