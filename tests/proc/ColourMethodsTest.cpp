// The component's colour operations: results, captions and codes, the undo entry taken before
// the format conversion, and the bad-input paths.
#include <gtest/gtest.h>

#include <array>
#include <set>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_bits.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ProcFakeHost.h"

namespace {

// A component with undo on, working on its own bitmap.
struct Proc {
  TPixoranProc P{nullptr};
  TPXBitmap B;
  Proc(int w, int h, TPXPixelFormat f) {
    B.Allocate(w, h, f);
    B.Fill(0);
    P.SetAttachedBitmap(&B);
    P.SetAutoUndo(true);
    P.SetUndoLocation(pxMemory);
  }
};

TEST(ColourMethods, GrayAndMonochrome) {
  Proc t(16, 8, px24RGB);
  t.B.SetPixel24(0, 0, TRGB{0, 0, 255});
  t.B.SetPixel24(1, 0, TRGB{255, 255, 255});
  t.P.ConvertToGray();
  EXPECT_EQ(t.B.GetPixelRGB(0, 0), (TRGB{53, 53, 53}));
  EXPECT_EQ(t.B.GetPixelRGB(1, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(LastUndo(t.P).Caption, "Convert to Gray");
  EXPECT_EQ(LastUndo(t.P).Code, 34);

  // Rows of 251 (always white), 250 (black only where the matrix holds 62 or 63) and 0.
  for (int x = 0; x < 16; ++x)
    for (int y = 0; y < 8; ++y) {
      const uint8_t v = y < 3 ? 251 : y < 6 ? 250 : 0;
      t.B.SetPixel24(x, y, TRGB{v, v, v});
    }
  t.P.ConvertToMonochrome();
  ASSERT_EQ(t.B.PixelFormat(), px1g);
  EXPECT_EQ(LastUndo(t.P).Caption, "Monochrome");
  EXPECT_EQ(LastUndo(t.P).Code, 32);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool white = GetPixelBit(t.B.Scanline(y), x) != 0;
      const bool want = y < 3 ? true : y < 6 ? DitherMatrix[x & 7][y & 7] < 62 : false;
      ASSERT_EQ(white, want) << x << "," << y;
    }
}

TEST(ColourMethods, UndoRestoresTheFormatBeforeConversion) {
  Proc t(4, 2, px8g);
  t.B.SetPixel8(1, 1, 99);
  t.P.ConvertToMonochrome();
  EXPECT_EQ(t.B.PixelFormat(), px1g);
  t.P.Undo(true);
  EXPECT_EQ(t.B.PixelFormat(), px8g);
  EXPECT_EQ(t.B.GetPixel8(1, 1), 99);
}

TEST(ColourMethods, ConvertToColourCounts) {
  auto paint = [](TPXBitmap* b) {
    for (int y = 0; y < b->Height(); ++y)
      for (int x = 0; x < b->Width(); ++x) b->SetPixel24(x, y, TRGB{uint8_t(x * 16), uint8_t(y * 16), uint8_t(x * y)});
  };
  struct Case {
    int count, mode;
    TPXPixelFormat format;
  };
  for (const Case c : {Case{2, 0, px1g}, Case{2, 1, px1g}, Case{16, 2, px8p}, Case{16, 0, px24RGB}, Case{2000, 0, px24RGB}}) {
    Proc t(16, 16, px24RGB);
    paint(&t.B);
    auto before = TPXBitmap::CreateCopy(&t.B);
    t.P.ConvertTo(c.count, c.mode);
    EXPECT_EQ(t.B.PixelFormat(), c.format) << c.count << "/" << c.mode;
    EXPECT_EQ(LastUndo(t.P).Caption, "Convert to " + std::to_string(c.count) + " colors");
    EXPECT_EQ(LastUndo(t.P).Code, 26);
    if (c.format == px8p) {
      EXPECT_EQ(t.B.GetPaletteUsed(), 16);
    }
    if (c.count == 16 && c.format == px24RGB) {
      std::set<uint32_t> colours;
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
          const TRGB p = t.B.GetPixelRGB(x, y);
          colours.insert(p.r << 16 | p.g << 8 | p.b);
        }
      EXPECT_LE(colours.size(), 16u);
    }
    if (c.count == 2000) {
      EXPECT_EQ(std::memcmp(t.B.Scanline(5), before->Scanline(5), 48), 0);
    }
  }
  // Threshold at the average grey: dark left half black, light right half white.
  Proc t(8, 1, px24RGB);
  for (int x = 0; x < 8; ++x) t.B.SetPixel24(x, 0, x < 4 ? TRGB{20, 20, 20} : TRGB{230, 230, 230});
  t.P.ConvertTo(2, 1);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(GetPixelBit(t.B.Scanline(0), x) != 0, x >= 4);

  Proc p(8, 8, px24RGB);
  paint(&p.B);
  std::array<TRGB, 2> pal{TRGB{1, 1, 1}, TRGB{1, 1, 1}};
  p.P.ConvertToPalette(2, pal, 0);
  EXPECT_EQ(pal[0], (TRGB{0, 0, 0}));
  EXPECT_EQ(pal[1], (TRGB{255, 255, 255}));
  EXPECT_EQ(p.B.PixelFormat(), px1g);
  EXPECT_EQ(LastUndo(p.P).Caption, "Convert to Palette");
  EXPECT_EQ(LastUndo(p.P).Code, 35);
  const int entries = p.P.UndoCount();
  p.P.ConvertToPalette(0, pal, 0);  // nothing, not even an entry
  EXPECT_EQ(p.P.UndoCount(), entries);
}

TEST(ColourMethods, NonImageLayerRaisesBeforeAnyEntry) {
  TFakeHost host;
  host.AddLayer(4, 4, px24RGB);
  host.AddLayer(4, 4, px24RGB, false);
  host.Current = 1;
  TPixoranProc p(nullptr);
  p.SetAutoUndo(true);
  p.SetAttachedPixoran(&host);
  std::array<TRGB, 4> pal{};
  const std::vector<std::function<void()>> ops = {
      [&] { p.ConvertToGray(); },      [&] { p.ConvertToMonochrome(); }, [&] { p.ConvertTo(16, 0); },
      [&] { p.ConvertToPalette(4, pal, 0); }, [&] { p.Fill(0xFF); },          [&] { p.Wave(5, 10, 0, false); },
      [&] { p.ResizeCanvas(9, 9, 0, 0, 0); }, [&] { p.Flip(0); },             [&] { p.ClearToBackground(); },
      [&] { p.CropTransparent(); },
  };
  for (const auto& op : ops) EXPECT_EQ(MessageOf<EPXException>(op), "Active layer does not contain bitmap");
  EXPECT_EQ(p.UndoCount(), 0);
  EXPECT_TRUE(host.ImageChanges.empty());
}

}  // namespace
