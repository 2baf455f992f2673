// Cut, copy and paste through the platform clipboard on a fake view: the formats written, undo,
// the paste targets, other programs' pictures and bad clipboard data.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "platform/forms/Clipbrd.h"
#include "platform/rtl/Classes_streams.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_dib.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ProcFakeHost.h"
#include "tests/proc/ProcOracle.h"

namespace {

using Bytes = std::vector<uint8_t>;

void ClearClipboard() {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
}

// The bytes of a format on the clipboard (empty when absent).
Bytes ClipBytes(UINT Format) {
  Bytes out;
  if (!OpenClipboard(nullptr)) return out;
  if (HANDLE h = GetClipboardData(Format)) {
    const auto* p = static_cast<const uint8_t*>(GlobalLock(h));
    if (p) out.assign(p, p + GlobalSize(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return out;
}

// Puts Data on the clipboard as Format (a registered format or CF_DIB); false when refused.
bool PutBytes(UINT Format, const Bytes& Data) {
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, Data.size());
  std::memcpy(GlobalLock(h), Data.data(), Data.size());
  GlobalUnlock(h);
  const bool ok = SetClipboardData(Format, h) != nullptr;
  if (!ok) GlobalFree(h);
  CloseClipboard();
  return ok;
}

Bytes BlockBytes(HGLOBAL H) {
  const auto* p = static_cast<const uint8_t*>(GlobalLock(H));
  Bytes out(p, p + GlobalSize(H));
  GlobalUnlock(H);
  GlobalFree(H);
  return out;
}

Bytes RawOf(TPXBitmap* B) {
  Bytes out(static_cast<size_t>(B->RawStreamSize()));
  B->SaveRawToStream(out.data(), nullptr, false);
  return out;
}

void Randomise(TPXBitmap* B, uint32_t Seed) {
  std::mt19937 rng(Seed);
  for (int y = 0; y < B->Height(); ++y)
    for (int x = 0; x < B->Width(); ++x)
      B->SetPixel24(x, y, TRGB{static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())});
}

struct ClipFixture {
  TFakeHost Host;
  TComponent Owner{nullptr};
  TPixoranProc* P = nullptr;
  TPXBitmap* Pic = nullptr;
  explicit ClipFixture(int W = 20, int H = 10) {
    Pic = Host.AddLayer(W, H, px24RGB).Bitmap.get();
    Randomise(Pic, 1);
    Host.Mask.AllocateBits(W, H, 1);
    Host.Dpi = 150;
    Host.Bg = 0x3366CC;  // red 0xCC, green 0x66, blue 0x33
    P = new TPixoranProc(&Owner);  // owned by Owner
    P->SetUndoLocation(pxMemory);
    P->SetUndoLimit(10);
    P->SetAutoUndo(true);
    P->SetAttachedPixoran(&Host);
    ClearClipboard();
  }
  void SelectEllipse(int Bits = 1) {
    Host.Mask.AllocateBits(Pic->Width(), Pic->Height(), Bits);
    for (int y = 2; y <= 8; ++y)
      for (int x = 4; x <= 14; ++x) {
        const double dx = (x - 9) / 5.5, dy = (y - 5) / 3.5;
        const double r = dx * dx + dy * dy;
        if (r <= 1) Host.Mask.SetPixel(x, y, Bits == 8 ? (r < 0.4 ? 255 : 100) : 1);
      }
    Host.SelActive = true;
  }
};

const TRGB kBg{0x33, 0x66, 0xCC};

// --- copy and cut --------------------------------------------------------------------------------

TEST(Clipboard, CopyOfTheWholePicture) {
  ClipFixture f;
  EXPECT_TRUE(f.P->ClipboardCopy(0));
  // The block as built, less the 4 spare bytes at its end that the desktop's BMP leaves out.
  Bytes dib = BlockBytes(_CopyBitmaptoDIBEx(f.Pic, 0, 0, 0, 0, 150, 150));
  dib.resize(dib.size() - 4);
  EXPECT_EQ(ClipBytes(CF_DIB), dib);
  EXPECT_EQ(ClipBytes(PixoranRawClipboardFormat()), RawOf(f.Pic));
  EXPECT_EQ(f.P->UndoCount(), 0);
  // Cutting without selection or selected layers does nothing.
  auto before = TPXBitmap::CreateCopy(f.Pic);
  EXPECT_FALSE(f.P->ClipboardCut(0, TPXClearAlpha(false), TPXClearOnly(false)));
  EXPECT_TRUE(SamePixels(f.Pic, before.get()));
  EXPECT_EQ(f.P->UndoCount(), 0);
  // A 1 x 1 picture is not copied; the clipboard keeps what it had.
  ClipFixture tiny(1, 1);
  PutBytes(PixoranRawClipboardFormat(), {1, 2, 3});
  EXPECT_FALSE(tiny.P->ClipboardCopy(1));
  EXPECT_FALSE(tiny.P->ClipboardCopy(0));
  EXPECT_EQ(ClipBytes(PixoranRawClipboardFormat()), (Bytes{1, 2, 3}));
}

TEST(Clipboard, CopyOfAnEllipticalSelection) {
  for (int bits : {1, 8}) {
    SCOPED_TRACE(bits);
    ClipFixture f;
    f.Pic->GetAlphaChannel()->Fill(180);
    f.SelectEllipse(bits);
    TPXMask& m = f.Host.Mask;
    EXPECT_TRUE(f.P->ClipboardCopy(0));
    TPXBitmap dib, raw;
    const Bytes d = ClipBytes(CF_DIB), r = ClipBytes(PixoranRawClipboardFormat());
    ASSERT_EQ(CopyDIBToBitmap(d.data(), &dib, {}, true, d.size()), 24);
    ASSERT_TRUE(raw.LoadRawFromStream(r.data(), static_cast<int64_t>(r.size()), nullptr));
    ASSERT_EQ(dib.Width(), m.FX2 - m.FX1 + 1);
    ASSERT_EQ(dib.Height(), m.FY2 - m.FY1 + 1);
    ASSERT_EQ(raw.Width(), dib.Width());
    ASSERT_TRUE(raw.HasAlphaChannel());
    for (int y = 0; y < dib.Height(); ++y)
      for (int x = 0; x < dib.Width(); ++x) {
        const int v = m.GetPixel(x + m.FX1, y + m.FY1);
        const TRGB s = f.Pic->GetPixelRGB(x + m.FX1, y + m.FY1);
        const int weight = bits == 8 ? v : (v ? 256 : 0);
        auto blend = [&](int b, int c) { return static_cast<uint8_t>(weight == 256 ? c : b + (((c - b) * weight) >> 8)); };
        EXPECT_EQ(dib.GetPixelRGB(x, y), (TRGB{blend(kBg.b, s.b), blend(kBg.g, s.g), blend(kBg.r, s.r)})) << x << "," << y;
        EXPECT_EQ(raw.GetPixelRGB(x, y), s);
        EXPECT_EQ(raw.GetAlpha(x, y), v == 0 ? 0 : bits == 8 ? std::min(v, 180) : 180);
      }
    EXPECT_EQ(dib.GetPixelRGB(0, 0), kBg);
    EXPECT_EQ(f.P->UndoCount(), 0);
  }
}

TEST(Clipboard, CutsAndTheirUndoEntries) {
  {
    // The whole picture: the view blanks it.
    ClipFixture f;
    auto before = TPXBitmap::CreateCopy(f.Pic);
    EXPECT_TRUE(f.P->ClipboardCut(1, TPXClearAlpha(false), TPXClearOnly(false)));
    EXPECT_EQ(f.Host.Blanks, 1);
    EXPECT_EQ(f.Pic->Width(), 1);
    EXPECT_EQ(LastUndo(*f.P).Caption, "Cut");
    EXPECT_EQ(LastUndo(*f.P).Code, 111);
    TPXBitmap copied;
    const Bytes r = ClipBytes(PixoranRawClipboardFormat());
    ASSERT_TRUE(copied.LoadRawFromStream(r.data(), static_cast<int64_t>(r.size()), nullptr));
    EXPECT_TRUE(SamePixels(&copied, before.get()));
    f.P->Undo(true);
    EXPECT_TRUE(SamePixels(f.Pic, before.get()));
    // Clear only: nothing copied.
    ClearClipboard();
    EXPECT_TRUE(f.P->ClipboardCut(1, TPXClearAlpha(false), TPXClearOnly(true)));
    EXPECT_EQ(LastUndo(*f.P).Caption, "Clear");
    EXPECT_EQ(LastUndo(*f.P).Code, 19);
    EXPECT_TRUE(ClipBytes(CF_DIB).empty());
  }
  {
    // Without a view the picture becomes 0 x 0.
    auto b = TPXBitmap::CreateAllocated(5, 4, px24RGB);
    auto p = TPixoranProc::CreateForBitmap(b.get());
    EXPECT_TRUE(p->ClipboardCut(1, TPXClearAlpha(false), TPXClearOnly(false)));
    EXPECT_TRUE(b->IsEmpty());
    EXPECT_FALSE(ClipBytes(CF_DIB).empty());
  }
  for (bool clearOnly : {false, true}) {
    // The selection: selected pixels take the background and, with ClearAlpha, alpha 0.
    ClipFixture f;
    f.Pic->GetAlphaChannel()->Fill(255);
    f.SelectEllipse();
    auto before = TPXBitmap::CreateCopy(f.Pic);
    EXPECT_TRUE(f.P->ClipboardCut(2, TPXClearAlpha(true), TPXClearOnly(clearOnly)));
    EXPECT_EQ(LastUndo(*f.P).Caption, clearOnly ? "Delete Selection" : "Cut Selection");
    EXPECT_EQ(LastUndo(*f.P).Code, clearOnly ? 131 : 87);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 20; ++x) {
        const bool sel = f.Host.Mask.IsPointInside(x, y);
        EXPECT_EQ(f.Pic->GetPixelRGB(x, y), sel ? kBg : before->GetPixelRGB(x, y));
        EXPECT_EQ(f.Pic->GetAlpha(x, y), sel ? 0 : 255);
      }
    EXPECT_EQ(ClipBytes(CF_DIB).empty(), clearOnly);
  }
}

// Three layers, 1 and 2 selected, 2 current.
struct LayerFixture : ClipFixture {
  LayerFixture() {
    for (int i = 1; i <= 2; ++i) {
      TFakeHost::TLayer& l = Host.AddLayer(6, 4, px24RGB);
      l.Bitmap->Fill(0x010203 * i);
      l.Value = 10 * i;
      l.Selected = true;
    }
    Host.Current = 2;
    Host.Fire(pxbcBitmapReplaced);
  }
};

TEST(Clipboard, CutOfLayers) {
  {
    LayerFixture f;
    PutBytes(PixoranRawClipboardFormat(), {9});
    EXPECT_TRUE(f.P->ClipboardCut(3, TPXClearAlpha(false), TPXClearOnly(true)));
    EXPECT_EQ(f.Host.Layers.size(), 1u);
    EXPECT_TRUE(f.Host.RemoveArgs.SaveUndo);
    EXPECT_TRUE(f.Host.RemoveArgs.Reselect);
    EXPECT_EQ(ClipBytes(PixoranRawClipboardFormat()), (Bytes{9}));
    EXPECT_EQ(f.P->UndoCount(), 0);
  }
  for (bool byUser : {true, false}) {
    LayerFixture f;
    f.Host.UndoByUser = byUser;
    f.Host.SwapBackground = true;
    TMemoryStream expected;
    f.Host.LayersSaveToStream(&expected, -2, true, false, false, false, {});
    auto current = TPXBitmap::CreateCopy(f.Host.Layers[2].Bitmap.get());
    EXPECT_TRUE(f.P->ClipboardCut(3, TPXClearAlpha(false), TPXClearOnly(false)));
    const Bytes layers = ClipBytes(PixoranLayerClipboardFormat());
    EXPECT_EQ(layers, Bytes(static_cast<const uint8_t*>(expected.Memory()),
                            static_cast<const uint8_t*>(expected.Memory()) + expected.Size()));
    EXPECT_EQ(f.Host.LastCompression, -2);
    EXPECT_EQ(ClipBytes(PixoranRawClipboardFormat()), RawOf(current.get()));
    EXPECT_FALSE(ClipBytes(CF_DIB).empty());
    EXPECT_EQ(f.Host.Layers.size(), 1u);
    EXPECT_FALSE(f.Host.RemoveArgs.SaveUndo);
    EXPECT_TRUE(f.Host.RemoveArgs.MoveBackgroundProps);
    EXPECT_EQ(f.P->UndoCount(), byUser ? 1 : 0);
    if (byUser) {
      EXPECT_EQ(LastUndo(*f.P).Caption, "Cut");
      EXPECT_EQ(LastUndo(*f.P).Code, 112);
    }
  }
}

// --- paste -----------------------------------------------------------------------------------

TEST(Clipboard, CanPasteTable) {
  auto raw = [] {
    TPXBitmap b;
    b.Allocate(3, 3, px24RGB);
    return RawOf(&b);
  };
  struct TCase {
    const char* Name;
    int Target;
    bool Allow;
    bool Selection;
    int Current;
    UINT Format;  // 0: empty clipboard
    bool Want;
  };
  const UINT rawF = PixoranRawClipboardFormat(), layerF = PixoranLayerClipboardFormat();
  const UINT pngF = RegisterClipboardFormat("PNG");
  const std::vector<TCase> cases = {
      {"target 2 without selection", 2, true, false, 0, rawF, false},
      {"target 2 with selection", 2, true, true, 0, rawF, true},
      {"layer 0, layers only, layer format", 3, false, false, 0, layerF, true},
      {"layer 0, layers only, raw", 3, false, false, 0, rawF, false},
      {"layer 1, raw", 3, false, false, 1, rawF, true},
      {"images allowed, png", 3, true, false, 0, pngF, true},
      {"target 1, dib", 1, true, false, 0, CF_DIB, true},
      {"target 1, layer format", 1, true, false, 0, layerF, false},
      {"target 1, empty", 1, true, false, 0, 0, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    LayerFixture f;
    f.Host.Current = c.Current;
    f.Host.SelActive = c.Selection;
    if (c.Selection) f.Host.Mask.SetPixel(1, 1, 1);
    if (c.Format == CF_DIB) {
      // Only the DIB.
      f.P->ClipboardCopy(1);
      const Bytes d = ClipBytes(CF_DIB);
      ASSERT_TRUE(PutBytes(CF_DIB, d));
    } else if (c.Format) {
      ASSERT_TRUE(PutBytes(c.Format, c.Format == pngF ? Bytes{0x89, 'P', 'N', 'G'} : raw()));
    }
    EXPECT_EQ(f.P->CanPaste(static_cast<uint8_t>(c.Target), c.Allow), c.Want);
  }
  // Without a view: target 3 never.
  auto b = TPXBitmap::CreateAllocated(4, 4, px24RGB);
  auto p = TPixoranProc::CreateForBitmap(b.get());
  ASSERT_TRUE(PutBytes(PixoranRawClipboardFormat(), raw()));
  EXPECT_FALSE(p->CanPaste(3, true));
  EXPECT_TRUE(p->CanPaste(1, true));
}

TEST(Clipboard, PasteOfPictures) {
  // Raw: the picture is replaced with its alpha.
  {
    ClipFixture f;
    TPXBitmap src;
    src.Allocate(7, 5, px24RGB);
    Randomise(&src, 9);
    src.GetAlphaChannel()->Fill(33);
    ASSERT_TRUE(PutBytes(PixoranRawClipboardFormat(), RawOf(&src)));
    EXPECT_TRUE(f.P->ClipboardPaste(1, false, false, false));
    EXPECT_TRUE(SamePixels(f.Pic, &src));
    EXPECT_EQ(f.Pic->GetAlpha(3, 3), 33);
    EXPECT_EQ(LastUndo(*f.P).Caption, "Paste");
    EXPECT_EQ(LastUndo(*f.P).Code, 71);
  }
  // A DIB pastes colour only.
  {
    ClipFixture f;
    f.Pic->GetAlphaChannel()->Fill(10);
    TPXBitmap src;
    src.Allocate(6, 3, px24RGB);
    Randomise(&src, 4);
    HGLOBAL dib = _CopyBitmaptoDIBEx(&src, 0, 0, 0, 0, 72, 72);
    ASSERT_TRUE(PutBytes(CF_DIB, BlockBytes(dib)));
    EXPECT_TRUE(f.P->ClipboardPaste(0, false, false, false));
    EXPECT_TRUE(SamePixels(f.Pic, &src));
    EXPECT_FALSE(f.Pic->HasAlphaChannel());
  }
}

TEST(Clipboard, PasteIntoTheSelection) {
  TPXBitmap src;
  src.Allocate(50, 50, px24RGB);
  Randomise(&src, 5);
  src.GetAlphaChannel()->Fill(255);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 25; ++x) src.SetAlpha(x, y, 0);  // the left half transparent
  for (bool maskWithAlpha : {false, true}) {
    SCOPED_TRACE(maskWithAlpha);
    ClipFixture f(120, 60);
    f.Host.Mask.AllocateBits(120, 60, 1);
    for (int y = 10; y < 50; ++y) f.Host.Mask.FillSpan(1, 5, 104, y);
    f.Host.SelActive = true;
    auto before = TPXBitmap::CreateCopy(f.Pic);
    ASSERT_TRUE(PutBytes(PixoranRawClipboardFormat(), RawOf(&src)));
    EXPECT_TRUE(f.P->ClipboardPaste(2, maskWithAlpha, true, false));
    EXPECT_EQ(LastUndo(*f.P).Code, 88);
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 120; ++x) {
        const bool inFit = x >= 5 && x < 45 && y >= 10 && y < 50;
        const int sx = (x - 5) * 50 / 40, sy = (y - 10) * 50 / 40;
        const bool transparent = inFit && sx < 25;
        if (!inFit || (maskWithAlpha && transparent)) {
          ASSERT_EQ(f.Pic->GetPixelRGB(x, y), before->GetPixelRGB(x, y)) << x << "," << y;
        } else {
          ASSERT_EQ(f.Pic->GetPixelRGB(x, y), src.GetPixelRGB(sx, sy)) << x << "," << y;
          ASSERT_EQ(f.Pic->GetAlpha(x, y), transparent ? 0 : 255);
        }
      }
    EXPECT_EQ(f.Host.Mask.IsPointInside(6, 20), !maskWithAlpha);
    EXPECT_TRUE(f.Host.Mask.IsPointInside(40, 20));
  }
  // A DIB pasted into the selection carries no alpha; without FitKeepAspect it fills the box.
  ClipFixture f(30, 20);
  f.Host.Mask.AllocateBits(30, 20, 1);
  for (int y = 2; y < 12; ++y) f.Host.Mask.FillSpan(1, 3, 22, y);
  f.Host.SelActive = true;
  TPXBitmap small;
  small.Allocate(4, 4, px24RGB);
  small.Fill(0x00FF00);
  ASSERT_TRUE(PutBytes(CF_DIB, BlockBytes(_CopyBitmaptoDIBEx(&small, 0, 0, 0, 0, 96, 96))));
  EXPECT_TRUE(f.P->ClipboardPaste(0, true, false, false));
  EXPECT_EQ(LastUndo(*f.P).Code, 89);
  EXPECT_EQ(f.Pic->GetPixelRGB(22, 11), (TRGB{0, 255, 0}));
  EXPECT_FALSE(f.Pic->HasAlphaChannel());
}

TEST(Clipboard, PasteOfLayers) {
  {
    // The layer format appends the stream's layers and answers the new current index.
    LayerFixture f;
    f.Host.Current = 0;
    f.Host.Fire(pxbcBitmapReplaced);
    f.P->ClipboardCopy(3);
    EXPECT_EQ(f.P->PasteLayers(), 4);
    ASSERT_EQ(f.Host.Layers.size(), 5u);
    EXPECT_EQ(f.Host.Layers[3].Value, 10);
    EXPECT_EQ(f.Host.Layers[4].Value, 20);
    EXPECT_EQ(f.Host.Locks, 0);
    EXPECT_EQ(LastUndo(*f.P).Code, 113);
    f.P->ClipboardCopy(3);
    EXPECT_TRUE(f.P->ClipboardPaste(0, false, false, false));
    EXPECT_EQ(f.Host.Layers.size(), 7u);
  }
  {
    // With a layer above 0 current and a picture on the clipboard, target 0 adds an image layer.
    LayerFixture f;
    TPXBitmap src;
    src.Allocate(5, 5, px24RGB);
    Randomise(&src, 8);
    ASSERT_TRUE(PutBytes(PixoranRawClipboardFormat(), RawOf(&src)));
    EXPECT_TRUE(f.P->ClipboardPaste(0, false, false, false));
    ASSERT_EQ(f.Host.Layers.size(), 4u);
    EXPECT_EQ(f.Host.Current, 3);
    EXPECT_TRUE(SamePixels(f.Host.Layers[3].Bitmap.get(), &src));
  }
}

// --- other programs --------------------------------------------------------------------------

TEST(Clipboard, OtherProgramsPictures) {
  if (!ToolExists(kProcPython) || !ToolExists(kProcConvert)) GTEST_SKIP() << "Python or ImageMagick missing";
  TestTempDir dir;
  // Our copy as image/png, decoded by Pillow.
  {
    ClipFixture f(13, 7);
    ASSERT_TRUE(f.P->ClipboardCopy(1));
    const std::string png = ClipboardMimeBytes("image/png");
    ASSERT_FALSE(png.empty());
    std::ofstream(dir.File("our.png"), std::ios::binary) << png;
    const Bytes rgb = PillowRgb(dir.File("our.png"), dir.File("our.raw"));
    ASSERT_EQ(rgb.size(), 13u * 7 * 3);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 13; ++x) {
        const TRGB c = f.Pic->GetPixelRGB(x, y);
        const uint8_t* q = &rgb[(y * 13 + x) * 3];
        ASSERT_EQ((TRGB{q[2], q[1], q[0]}), c) << x << "," << y;
      }
  }
  // An RGBA PNG from Pillow as image/png pastes with its alpha.
  {
    const std::string script =
        "import sys\nfrom PIL import Image\n"
        "im = Image.new('RGBA', (6, 4))\n"
        "im.putdata([(10 * i, 200 - i, 7, 40 * (i % 6)) for i in range(24)])\n"
        "im.save(sys.argv[1])\n";
    ASSERT_EQ(RunTool({kProcPython, "-c", script, dir.File("rgba.png")}, dir.File("o.txt")), 0);
    ClipFixture f;
    SetClipboardMimeData({{"image/png", ProcReadFile(dir.File("rgba.png"))}});
    EXPECT_TRUE(f.P->ClipboardPaste(1, false, false, false));
    ASSERT_EQ(f.Pic->Width(), 6);
    ASSERT_TRUE(f.Pic->HasAlphaChannel());
    for (int i = 0; i < 24; ++i) {
      EXPECT_EQ(f.Pic->GetPixelRGB(i % 6, i / 6), (TRGB{7, static_cast<uint8_t>(200 - i), static_cast<uint8_t>(10 * i)}));
      EXPECT_EQ(f.Pic->GetAlpha(i % 6, i / 6), 40 * (i % 6));
    }
  }
  // A BMP that ImageMagick writes, put as image/bmp, pastes through the DIB importer.
  {
    ASSERT_EQ(RunTool({kProcConvert, "-size", "9x5", "gradient:red-blue", "-type", "TrueColor", "BMP3:" + dir.File("g.bmp")},
                      dir.File("o.txt")),
              0);
    const std::string bmp = ProcReadFile(dir.File("g.bmp"));
    ClipFixture f;
    SetClipboardMimeData({{"image/bmp", bmp}});
    EXPECT_TRUE(f.P->ClipboardPaste(1, false, false, false));
    TPXBitmap direct;
    const Bytes dib(bmp.begin() + 14, bmp.end());
    ASSERT_EQ(CopyDIBToBitmap(dib.data(), &direct, {}, true, dib.size()), 24);
    EXPECT_TRUE(SamePixels(f.Pic, &direct));
    EXPECT_EQ(f.Pic->Width(), 9);
  }
}

// --- failures --------------------------------------------------------------------------------

TEST(Clipboard, ClipboardHeldOpenElsewhere) {
  LayerFixture f;
  f.SelectEllipse();
  f.Host.Current = 0;
  f.Host.Fire(pxbcBitmapReplaced);
  f.P->ClipboardCopy(1);
  auto before = TPXBitmap::CreateCopy(f.Pic);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_FALSE(f.P->ClipboardCopy(1));
  EXPECT_FALSE(f.P->ClipboardCopy(2));
  EXPECT_FALSE(f.P->ClipboardCut(1, TPXClearAlpha(false), TPXClearOnly(false)));
  EXPECT_FALSE(f.P->ClipboardCut(2, TPXClearAlpha(true), TPXClearOnly(false)));
  EXPECT_FALSE(f.P->ClipboardCut(3, TPXClearAlpha(false), TPXClearOnly(false)));
  EXPECT_FALSE(f.P->CanPaste(1, true));
  for (uint8_t target : {0, 1, 2, 3}) EXPECT_FALSE(f.P->ClipboardPaste(target, false, false, false));
  EXPECT_EQ(f.P->PasteLayers(), -1);
  CloseClipboard();
  EXPECT_TRUE(SamePixels(f.Pic, before.get()));
  EXPECT_EQ(f.Host.Layers.size(), 3u);
  EXPECT_EQ(f.P->UndoCount(), 0);
  // Every path closed the clipboard, also one an exception left.
  EXPECT_TRUE(OpenClipboard(nullptr));
  CloseClipboard();
  f.Host.ThrowOnLayersSave = true;
  EXPECT_THROW(f.P->ClipboardCopy(3), EPXException);
  EXPECT_TRUE(OpenClipboard(nullptr));
  CloseClipboard();
}

TEST(Clipboard, BadClipboardDataChangesNothing) {
  TPXBitmap src;
  src.Allocate(8, 6, px24RGB);
  Randomise(&src, 3);
  const Bytes raw = RawOf(&src);
  Bytes cut(raw.begin(), raw.end() - 1);
  Bytes tall = raw;
  // The height: after the 12-byte magic, the version, the palette count and palette, the width.
  const size_t heightAt = 12 + 4 + 4 + 3 * static_cast<size_t>(raw[16]) + 4;
  ASSERT_EQ(tall[heightAt], 6);
  tall[heightAt] = 60;
  struct TCase {
    const char* Name;
    std::function<void()> Put;
  };
  const std::vector<TCase> cases = {
      {"raw cut short", [&] { PutBytes(PixoranRawClipboardFormat(), cut); }},
      {"raw claiming more rows", [&] { PutBytes(PixoranRawClipboardFormat(), tall); }},
      {"PNG that is none", [&] { SetClipboardMimeData({{"image/png", "not a PNG at all"}}); }},
      {"malformed DIB", [&] { SetClipboardMimeData({{"image/bmp", std::string("BM") + std::string(60, '\x7f')}}); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    LayerFixture f;
    f.Host.Current = 2;
    f.Host.Fire(pxbcBitmapReplaced);
    f.Host.Mask.SetPixel(3, 3, 1);
    f.Host.SelActive = true;
    c.Put();
    auto before = TPXBitmap::CreateCopy(f.Host.Layers[2].Bitmap.get());
    for (uint8_t target : {1, 2}) EXPECT_FALSE(f.P->ClipboardPaste(target, false, false, false));
    EXPECT_EQ(f.P->PasteLayers(), -1);
    EXPECT_EQ(f.Host.Current, 2);
    EXPECT_TRUE(SamePixels(f.Host.Layers[2].Bitmap.get(), before.get()));
    EXPECT_EQ(f.Host.Layers.size(), 3u);
    EXPECT_EQ(f.P->UndoCount(), 0);
  }
}

}  // namespace
