// Transfers of TPXBitmap: alpha rectangles combined into another bitmap, DIB sections and masks
// in and out, the change of storage location and the canvas over the pixels.
#include <gtest/gtest.h>

#include <dirent.h>
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/pngfilt.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "tests/common/TestSupport.h"

namespace {

class Transfer : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeGlobalSettings();
    GlobalSettingsInstance()->FTempDirectory = tmp_.Path();
  }
  void TearDown() override { FreeGlobalSettings(); }
  // The files in the private temporary folder.
  std::vector<std::string> TempFiles() {
    std::vector<std::string> names;
    if (DIR* d = opendir(tmp_.Path().c_str())) {
      while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
      closedir(d);
    }
    return names;
  }
  TestTempDir tmp_;
};

// Every byte of row y is (y * 7 + x + 1) & 0xFF.
void Pattern(TPXBitmap& b) {
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* r = b.Scanline(y);
    for (int64_t x = 0; x < b.RowLen(); ++x) r[x] = static_cast<uint8_t>(y * 7 + x + 1);
  }
}

bool HasPattern(TPXBitmap& b, int64_t Bytes) {
  for (int32_t y = 0; y < b.Height(); ++y) {
    const uint8_t* r = b.Scanline(y);
    for (int64_t x = 0; x < Bytes; ++x)
      if (r[x] != static_cast<uint8_t>(y * 7 + x + 1)) return false;
  }
  return true;
}

// A 4 x 3 picture whose alpha channel is all A.
std::unique_ptr<TPXBitmap> WithAlpha(uint8_t A) {
  auto b = TPXBitmap::CreateAllocated(4, 3, px24RGB);
  b->GetAlphaChannel()->Fill(A);
  return b;
}

// ---------------------------------------------------------------------------------------------
// CombineAlphaRectTo

TEST_F(Transfer, CombineAlphaRectToAppliesEachModeWithRoundedFactor) {
  struct Case {
    int32_t Mode;
    double Factor;
    uint8_t S, D, Expected;
  };
  const Case cases[] = {
      {0, 0.5, 101, 200, 200}, {1, 0.5, 101, 200, 101}, {2, 0.5, 101, 200, 250},  // 50.5 rounds to 50
      {2, 1.5, 101, 200, 255}, {3, 0.5, 101, 200, 150}, {3, 3.0, 101, 200, 0},
      {4, 0.5, 101, 200, 50},  {4, 0.5, 0, 200, 200},   {4, 2.0, 200, 9, 144},  // 400 keeps its low byte
      {2, 1e300, 1, 7, 255},   {3, 1e300, 1, 7, 0},     {5, 0.5, 101, 200, 200},
  };
  for (const Case& c : cases) {
    auto src = WithAlpha(c.S), dst = WithAlpha(c.D);
    int changes = 0;
    dst->SetOnChange([&](TObject*) { ++changes; });
    src->CombineAlphaRectTo(dst.get(), 0, 0, 0, 0, 4, 3, c.Mode, c.Factor);
    EXPECT_EQ(dst->GetAlpha(2, 1), c.Expected) << "mode " << c.Mode << " factor " << c.Factor << " s " << int(c.S);
    EXPECT_EQ(dst->AlphaChannel()->FFull != 0, c.Expected == 255 && c.D == 255);
    EXPECT_EQ(changes, 1);
  }
}

TEST_F(Transfer, CombineAlphaRectToClipsAgainstBothChannels) {
  auto src = WithAlpha(255), dst = WithAlpha(0);
  // Two columns hang off the left: the copy starts at source column 2 into column 0.
  src->AlphaChannel()->SetPixel8(2, 0, 77);
  src->CombineAlphaRectTo(dst.get(), 0, 0, -2, 0, 4, 1, 0, 1.0);
  EXPECT_EQ(dst->GetAlpha(0, 0), 77);
  EXPECT_EQ(dst->GetAlpha(1, 0), 255);
  EXPECT_EQ(dst->GetAlpha(2, 0), 0);
  // Rectangles past either channel and negative sizes write nothing outside (ASan watches).
  auto before = TPXBitmap::CreateCopy(dst->AlphaChannel());
  src->CombineAlphaRectTo(dst.get(), 3, 2, 3, 2, 100, 100, 0, 1.0);
  src->CombineAlphaRectTo(dst.get(), -50, -50, 0, 0, 10, 10, 0, 1.0);
  src->CombineAlphaRectTo(dst.get(), 0, 0, 0, 0, -4, 3, 0, 1.0);
  src->CombineAlphaRectTo(dst.get(), 0, 0, 9, 9, 4, 3, 0, 1.0);
  EXPECT_EQ(dst->GetAlpha(3, 2), 255);
  EXPECT_EQ(dst->GetAlpha(2, 2), before->GetPixel8(2, 2));
  src->CombineAlphaRectTo(nullptr, 0, 0, 0, 0, 4, 3, 0, 1.0);
}

// ---------------------------------------------------------------------------------------------
// Masks and DIB sections

TEST_F(Transfer, CopyFromMaskNilMakesAnAlphaChannelOpaque) {
  auto b = WithAlpha(0);
  TPXBitmap* alpha = b->GetAlphaChannel();
  alpha->SetPixel8(1, 1, 30);
  alpha->CopyFromMask(nullptr);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(b->GetAlpha(x, y), 255);
  EXPECT_TRUE(alpha->FFull);
  EXPECT_EQ(alpha->PixelFormat(), px8g);
}

TEST_F(Transfer, CopyFromMaskTakesDepthAndFullFlag) {
  TPXMask m8;
  m8.AllocateBits(5, 2, 8);
  m8.SetPixel(4, 1, 200);
  TPXBitmap b;
  int changes = 0;
  b.SetOnChange([&](TObject*) { ++changes; });
  b.CopyFromMask(&m8);
  ASSERT_EQ(b.PixelFormat(), px8g);
  EXPECT_EQ(b.Width(), 5);
  EXPECT_EQ(b.GetPixel8(4, 1), 200);
  EXPECT_EQ(b.GetPixel8(3, 1), 0);
  EXPECT_GE(changes, 1);

  // A 1-bit mask gives px1g, and an alpha channel then becomes px8g with 0 or 255.
  TPXMask m1;
  m1.AllocateBits(9, 2, 1);
  m1.SetPixel(8, 0, 1);
  TPXBitmap plain;
  plain.CopyFromMask(&m1);
  EXPECT_EQ(plain.PixelFormat(), px1g);
  EXPECT_NE(GetPixelBit(plain.Scanline(0), 8), 0);
  auto pic = WithAlpha(9);
  pic->GetAlphaChannel()->CopyFromMask(&m1);
  TPXBitmap* alpha = pic->AlphaChannel();
  ASSERT_EQ(alpha->PixelFormat(), px8g);
  EXPECT_EQ(alpha->GetPixel8(8, 0), 255);
  EXPECT_EQ(alpha->GetPixel8(7, 0), 0);
}

TEST_F(Transfer, CopyBitmapToMaskByFormat) {
  TPXMask mask;
  // White px24RGB: an 8-bit mask of 255 (the full flag is not claimed for colour).
  auto white = TPXBitmap::CreateAllocated(6, 4, px24RGB);
  white->Fill(0xFFFFFF);
  CopyBitmapToMask(white.get(), &mask);
  ASSERT_EQ(mask.BitsPerPixel(), 8);
  ASSERT_EQ(mask.Width(), 6);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(mask.GetPixel(x, y), 255);
  EXPECT_FALSE(mask.FFull);
  EXPECT_FALSE(mask.IsEmpty());
  // The settings' grey weights: (100·21 + 50·71 + 200·8) div 100 = 72.
  white->SetPixel24(2, 3, TRGB{200, 50, 100});
  CopyBitmapToMask(white.get(), &mask);
  EXPECT_EQ(mask.GetPixel(2, 3), 72);

  // px8g and px1g copy their rows and the full flag.
  auto grey = TPXBitmap::CreateAllocated(3, 2, px8g);
  grey->Fill(255);
  CopyBitmapToMask(grey.get(), &mask);
  EXPECT_EQ(mask.BitsPerPixel(), 8);
  EXPECT_TRUE(mask.FFull);
  auto bw = TPXBitmap::CreateAllocated(10, 2, px1g);
  bw->Fill(0);
  SetPixelBit(bw->Scanline(1), 9, 1);
  CopyBitmapToMask(bw.get(), &mask);
  EXPECT_EQ(mask.BitsPerPixel(), 1);
  EXPECT_NE(mask.GetPixel(9, 1), 0);
  EXPECT_EQ(mask.GetPixel(8, 1), 0);
  EXPECT_EQ(mask.FX1, 9);

  // Other formats leave the mask as it was.
  auto f = TPXBitmap::CreateAllocated(2, 2, px32f);
  CopyBitmapToMask(f.get(), &mask);
  EXPECT_EQ(mask.Width(), 10);
  CopyBitmapToMask(nullptr, &mask);
  CopyBitmapToMask(f.get(), nullptr);
}

TEST_F(Transfer, AlphaHandedToThePngWriterAsMaskReadsBackWithLibpng) {
  auto pic = TPXBitmap::CreateAllocated(6, 4, px24RGB);
  pic->Fill(0x336699);
  TPXBitmap* alpha = pic->GetAlphaChannel();
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) alpha->SetPixel8(x, y, static_cast<uint8_t>(x * 40 + y * 3));
  TPXMask mask;
  CopyBitmapToMask(alpha, &mask);
  TIOParams params;
  params.SamplesPerPixel = 3;
  params.BitsPerSample = 8;
  TMemoryStream stream;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  EncodePngStream(&stream, pic.get(), &params, progress, &mask);
  ASSERT_FALSE(flag);

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&image, stream.Memory(), static_cast<size_t>(stream.Size())));
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr));
  ASSERT_EQ(image.width, 6u);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) {
      const uint8_t* p = &rgba[static_cast<size_t>((y * 6 + x) * 4)];
      EXPECT_EQ(p[3], x * 40 + y * 3) << x << "," << y;
      EXPECT_EQ(p[0], 0x99);
    }
}

TEST_F(Transfer, CopyFromDibbitmapTakesRowsAndFormat) {
  for (const TPXBitmapLocation loc : {pxMemory, pxTBitmap}) {
    TPXDibbitmap dib;
    ASSERT_TRUE(dib.AllocateBits(5, 3, 24));
    for (int32_t y = 0; y < 3; ++y) {
      auto* r = static_cast<uint8_t*>(dib.GetScanline(y));
      for (int32_t i = 0; i < 15; ++i) r[i] = static_cast<uint8_t>(y * 7 + i + 1);
    }
    TPXBitmap b;
    b.SetLocation(loc);
    b.CopyFromDibbitmap(&dib);
    EXPECT_EQ(b.Location(), loc);
    ASSERT_EQ(b.PixelFormat(), px24RGB);
    ASSERT_EQ(b.Width(), 5);
    ASSERT_EQ(b.Height(), 3);
    EXPECT_TRUE(HasPattern(b, 15));
  }
  TPXDibbitmap mono;
  ASSERT_TRUE(mono.AllocateBits(12, 2, 1));
  static_cast<uint8_t*>(mono.GetScanline(1))[1] = 0x10;  // pixel 11
  TPXBitmap b;
  b.CopyFromDibbitmap(&mono);
  ASSERT_EQ(b.PixelFormat(), px1g);
  EXPECT_NE(GetPixelBit(b.Scanline(1), 11), 0);
  b.CopyFromDibbitmap(nullptr);
  EXPECT_EQ(b.Width(), 12);
}

// ---------------------------------------------------------------------------------------------
// Storage location

TEST_F(Transfer, SetLocationMovesPixelsPaletteAndAlpha) {
  auto b = TPXBitmap::CreateAllocated(7, 5, px8p);
  Pattern(*b);
  b->SetPaletteColor(3, TRGB{1, 2, 3});
  TPXBitmap* alpha = b->GetAlphaChannel();
  alpha->SetPixel8(6, 4, 17);
  int changes = 0;
  b->SetOnChange([&](TObject*) { ++changes; });

  b->SetLocation(pxTBitmap);
  ASSERT_EQ(b->Location(), pxTBitmap);
  ASSERT_NE(b->FVclBitmap, nullptr);
  EXPECT_EQ(b->PixelFormat(), px8p);
  EXPECT_TRUE(HasPattern(*b, 7));
  TRGB c;
  b->GetPaletteColor(3, c);
  EXPECT_EQ(c.b, 1);
  EXPECT_EQ(c.r, 3);
  EXPECT_EQ(b->PeekAlphaChannel(), alpha) << "the alpha channel moves over unchanged";
  EXPECT_EQ(b->GetAlpha(6, 4), 17);
  EXPECT_GE(changes, 1);
  EXPECT_TRUE(b->OnChange());

  b->SetLocation(pxMemory);
  EXPECT_EQ(b->Location(), pxMemory);
  EXPECT_EQ(b->FVclBitmap, nullptr);
  EXPECT_TRUE(HasPattern(*b, 7));
  b->GetPaletteColor(3, c);
  EXPECT_EQ(c.g, 2);
}

TEST_F(Transfer, SetLocationKeepsTheHighByteOf16BitGrey) {
  auto b = TPXBitmap::CreateAllocated(3, 2, px16g);
  b->SetPixel16(0, 0, 0x1234);
  b->SetPixel16(2, 1, 0xFF01);
  b->SetLocation(pxTBitmap);
  ASSERT_EQ(b->PixelFormat(), px8g);
  EXPECT_EQ(b->GetPixel8(0, 0), 0x12);
  EXPECT_EQ(b->GetPixel8(2, 1), 0xFF);
}

TEST_F(Transfer, SetLocationOverTheMemoryLimitStaysInItsFile) {
  GlobalSettingsInstance()->FBitmapMemoryLimit = 1000;
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(100, 100, px24RGB));
  ASSERT_EQ(b.Location(), pxFile);
  Pattern(b);
  const std::string file = b.FFileBuffer->FileName;
  b.SetLocation(pxMemory);
  EXPECT_EQ(b.Location(), pxFile);
  EXPECT_EQ(b.FFileBuffer->FileName, file);
  EXPECT_TRUE(HasPattern(b, 300));
  EXPECT_EQ(TempFiles().size(), 1u) << "the allocation not used is freed";
}

TEST_F(Transfer, SetLocationThatCannotAllocateKeepsThePicture) {
  auto b = TPXBitmap::CreateAllocated(4, 2, pxCMYK);
  Pattern(*b);
  const TPXBitmapLocation loc = b->Location();
  b->SetLocation(pxTBitmap);  // a platform bitmap cannot hold CMYK
  EXPECT_EQ(b->Location(), loc);
  EXPECT_EQ(b->PixelFormat(), pxCMYK);
  EXPECT_EQ(b->Width(), 4);
  EXPECT_TRUE(HasPattern(*b, 16));
  // An empty bitmap only records where the next allocation goes.
  TPXBitmap e;
  e.SetLocation(pxTBitmap);
  EXPECT_EQ(e.Location(), pxTBitmap);
  ASSERT_TRUE(e.Allocate(3, 3, px24RGB));
  EXPECT_NE(e.FVclBitmap, nullptr);
}

// ---------------------------------------------------------------------------------------------
// The canvas over the pixels

TEST_F(Transfer, GetCanvasDrawsOntoThePixels) {
  auto b = TPXBitmap::CreateAllocated(6, 4, px24RGB);
  b->Fill(0);
  TCanvas* c = b->GetCanvas();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(b->Location(), pxTBitmap);
  c->SetPixels(2, 1, clRed);
  EXPECT_EQ(b->GetPixelRGB(2, 1).r, 255);
  EXPECT_EQ(b->GetPixelRGB(2, 1).b, 0);
  EXPECT_EQ(b->GetPixelRGB(2, 2).r, 0);

  // A bitmap without format becomes px24RGB first; an empty one has no canvas.
  TPXBitmap empty;
  EXPECT_EQ(empty.GetCanvas(), nullptr);
  EXPECT_EQ(empty.PixelFormat(), px24RGB);
}

TEST_F(Transfer, GetCanvasFollowsTheRowOrder) {
  auto b = TPXBitmap::CreateAllocated(4, 3, px24RGB);
  b->Fill(0);
  b->GetCanvas();
  b->FRowOrderReversed = 1;
  b->GetCanvas()->SetPixels(0, 0, clWhite);
  auto* stored = static_cast<uint8_t*>(b->FVclBitmap->ScanLine(2));
  EXPECT_EQ(stored[0], 255) << "row 0 is stored as row h - 1";
  EXPECT_EQ(static_cast<uint8_t*>(b->FVclBitmap->ScanLine(0))[0], 0);
  EXPECT_EQ(b->Scanline(0)[0], 255);
  b->FRowOrderReversed = 0;
  b->GetCanvas()->SetPixels(3, 0, clWhite);
  EXPECT_EQ(static_cast<uint8_t*>(b->FVclBitmap->ScanLine(0))[9], 255);
}

TEST_F(Transfer, CanvasAndPlatformBitmapRefuseFormatsTheyCannotHold) {
  for (const TPXPixelFormat f : {px32f, pxCMYK, pxRGB48, pxCIELab}) {
    auto b = TPXBitmap::CreateAllocated(3, 2, f);
    Pattern(*b);
    const TPXBitmapLocation loc = b->Location();
    const std::string name = f == px32f ? "px32f" : f == pxCMYK ? "pxCMYK" : f == pxRGB48 ? "pxRGB48" : "pxCIELab";
    try {
      b->GetCanvas();
      ADD_FAILURE() << name << " gave a canvas";
    } catch (const EPXException& e) {
      EXPECT_EQ(e.Message(), name +
                                 " pixel format not allowed when Location=pxTBitmap (Ensure "
                                 "TPixoranView.LegacyBitmap=false and TPixoranView.Bitmap is not used).");
    }
    EXPECT_THROW(b->GetVclBitmap(), EPXException);
    EXPECT_EQ(b->Location(), loc);
    EXPECT_EQ(b->PixelFormat(), f);
    EXPECT_TRUE(HasPattern(*b, b->RowLen()));
  }
}

TEST_F(Transfer, GetVclBitmapHoldsThePixels) {
  auto b = TPXBitmap::CreateAllocated(5, 3, px24RGB);
  Pattern(*b);
  TBitmap* v = b->GetVclBitmap();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(b->Location(), pxTBitmap);
  EXPECT_EQ(v, b->FVclBitmap);
  EXPECT_EQ(v->PixelFormat(), pf24bit);
  EXPECT_EQ(v->Width(), 5);
  EXPECT_EQ(v->Height(), 3);
  for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(v->ScanLine(y), b->GetScanline(y));
  EXPECT_TRUE(HasPattern(*b, 15));
  EXPECT_EQ(b->GetVclBitmap(), v) << "a second call keeps the same bitmap";
}

}  // namespace
