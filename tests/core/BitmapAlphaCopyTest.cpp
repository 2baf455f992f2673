// Copies, the alpha channel, the image stack and the format preference of TPXBitmap.
#include <gtest/gtest.h>

#include <cstring>

#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "tests/common/TestSupport.h"

namespace {

class BitmapAlphaCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeGlobalSettings();
    GlobalSettingsInstance()->FTempDirectory = tmp_.Path();
  }
  void TearDown() override { FreeGlobalSettings(); }
  TestTempDir tmp_;
};

uint8_t* Row(TPXBitmap& b, int32_t y) { return static_cast<uint8_t*>(b.GetScanline(y)); }

// A w x h px24RGB picture whose bytes count up, with an alpha ramp when asked.
std::unique_ptr<TPXBitmap> Picture(int32_t w, int32_t h, bool alpha) {
  auto b = std::make_unique<TPXBitmap>();
  EXPECT_TRUE(b->Allocate(w, h, px24RGB));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t i = 0; i < w * 3; ++i) Row(*b, y)[i] = static_cast<uint8_t>(y * 31 + i);
  if (alpha)
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) Row(*b->GetAlphaChannel(), y)[x] = static_cast<uint8_t>(x * 40 + y);
  return b;
}

bool SamePixels(TPXBitmap& a, TPXBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetPixelFormat() != b.GetPixelFormat())
    return false;
  const auto bytes = static_cast<size_t>((static_cast<int64_t>(a.GetWidth()) * a.GetBitCount() + 7) / 8);
  for (int32_t y = 0; y < a.GetHeight(); ++y)
    if (std::memcmp(a.GetScanline(y), b.GetScanline(y), bytes) != 0) return false;
  return true;
}

TEST_F(BitmapAlphaCopy, AssignFromCopiesOrRemovesTheAlphaChannel) {
  for (int64_t limit : {int64_t{-1}, int64_t{0}}) {  // memory and file storage
    GlobalSettingsInstance()->FBitmapMemoryLimit = limit;
    auto src = Picture(5, 4, true);
    TPXBitmap dst;
    dst.AssignFrom(src.get(), true);
    EXPECT_TRUE(SamePixels(dst, *src));
    ASSERT_TRUE(dst.HasAlphaChannel());
    EXPECT_TRUE(SamePixels(*dst.PeekAlphaChannel(), *src->PeekAlphaChannel()));
    EXPECT_EQ(dst.PeekAlphaChannel()->FIsAlphaChannel, 1);

    auto plain = Picture(2, 2, false);
    dst.AssignFrom(plain.get(), true);
    EXPECT_FALSE(dst.HasAlphaChannel());
    EXPECT_TRUE(SamePixels(dst, *plain));
  }
}

// Assigning over a picture of the same layout reuses its storage; the result is the same copy.
TEST_F(BitmapAlphaCopy, AssignOverTheSameLayoutReusesTheStorage) {
  for (int64_t limit : {int64_t{-1}, int64_t{0}}) {  // memory and file storage
    SCOPED_TRACE(limit);
    GlobalSettingsInstance()->FBitmapMemoryLimit = limit;
    auto first = Picture(7, 5, true);
    auto second = Picture(7, 5, false);
    for (int32_t y = 0; y < 5; ++y) Row(*second, y)[0] = 200;
    TPXBitmap dst;
    dst.AssignFrom(first.get(), true);
    const void* rows = dst.GetScanline(0);
    dst.AssignFrom(second.get(), true);
    EXPECT_EQ(dst.GetScanline(0), rows);
    EXPECT_TRUE(SamePixels(dst, *second));
    EXPECT_FALSE(dst.HasAlphaChannel());  // the source has none
    dst.AssignFrom(first.get(), true);
    EXPECT_EQ(dst.GetScanline(0), rows);
    EXPECT_TRUE(SamePixels(dst, *first));
    ASSERT_TRUE(dst.HasAlphaChannel());
    EXPECT_TRUE(SamePixels(*dst.PeekAlphaChannel(), *first->PeekAlphaChannel()));

    // A palette picture of the same size takes its palette; another size or format reallocates.
    auto pal = TPXBitmap::CreateAllocated(7, 5, px8p);
    pal->SetPaletteColor(3, TRGB{1, 2, 3});
    TPXBitmap p8;
    p8.AssignFrom(pal.get(), true);
    pal->SetPaletteColor(3, TRGB{9, 8, 7});
    p8.AssignFrom(pal.get(), true);
    TRGB c;
    p8.GetPaletteColor(3, c);
    EXPECT_TRUE(c == (TRGB{9, 8, 7}));
    auto wider = Picture(8, 5, false);
    dst.AssignFrom(wider.get(), true);
    EXPECT_TRUE(SamePixels(dst, *wider));
  }
}

TEST_F(BitmapAlphaCopy, AnAlphaChannelAssignedFromABitmapStaysAnAlphaChannel) {
  auto src = Picture(3, 3, true);
  auto alpha = TPXBitmap::CreateAlphaChannel(3, pxMemory, 3);
  alpha->AssignFrom(src.get(), false);
  EXPECT_EQ(alpha->FIsAlphaChannel, 1);
  EXPECT_FALSE(alpha->HasAlphaChannel());
  EXPECT_EQ(alpha->GetAlphaChannel(), nullptr);
}

TEST_F(BitmapAlphaCopy, UnknownSourcesAreRefused) {
  TPXBitmap b;
  TStringList other;
  EXPECT_EQ(MessageOf<EPXException>([&] { b.AssignFrom(&other, true); }), "Unknown source type");
  EXPECT_NO_THROW(b.AssignFrom(nullptr, true));
}

TEST_F(BitmapAlphaCopy, NewAlphaChannelIsOpaque) {
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(10, 10, px24RGB));
  EXPECT_FALSE(b.HasAlphaChannel());
  TPXBitmap* a = b.GetAlphaChannel();
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(b.HasAlphaChannel());
  EXPECT_EQ(a->GetPixelFormat(), px8g);
  EXPECT_EQ(a->GetWidth(), 10);
  EXPECT_EQ(a->GetHeight(), 10);
  EXPECT_EQ(a->FFull, 1);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(Row(*a, y)[x], 255);
}

TEST_F(BitmapAlphaCopy, PushAndPopRestorePixelsAndAlpha) {
  auto b = Picture(4, 3, true);
  auto before = TPXBitmap::CreateCopy(b.get());
  b->PushImage();
  EXPECT_TRUE(SamePixels(*b, *before));
  std::memset(Row(*b, 1), 0, 12);
  Row(*b->GetAlphaChannel(), 2)[3] = 1;
  b->RemoveAlphaChannel(false, clBlack);
  b->PopImage();
  EXPECT_TRUE(SamePixels(*b, *before));
  ASSERT_TRUE(b->HasAlphaChannel());
  EXPECT_TRUE(SamePixels(*b->PeekAlphaChannel(), *before->PeekAlphaChannel()));
  EXPECT_NO_THROW(b->PopImage());  // empty stack
  EXPECT_TRUE(SamePixels(*b, *before));
}

TEST_F(BitmapAlphaCopy, MergeWithBackgroundFloorsTowardTheBackground) {
  struct Case {
    TColor pixel, background;
    uint8_t alpha, expected;
  };
  const Case cases[] = {
      {clBlack, clWhite, 0, 255}, {clBlack, clWhite, 128, 127}, {clBlack, clWhite, 255, 0},
      {clWhite, clBlack, 255, 254},  // an opaque channel over black comes out one lower
      {clWhite, clBlack, 0, 0},
  };
  for (const Case& c : cases) {
    TPXBitmap b;
    ASSERT_TRUE(b.Allocate(1, 1, px24RGB));
    std::memset(Row(b, 0), c.pixel == clWhite ? 255 : 0, 3);
    Row(*b.GetAlphaChannel(), 0)[0] = c.alpha;
    b.RemoveAlphaChannel(true, c.background);
    EXPECT_FALSE(b.HasAlphaChannel());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Row(b, 0)[i], c.expected) << int(c.alpha);
  }
}

// Every channel value under every alpha value: v := b + floor((v - b) * A / 256), each channel
// against its own background byte, in rows long enough for both wide paths and the tail, the
// alpha differing from pixel to pixel.
TEST_F(BitmapAlphaCopy, MergeAlphaWithColorOverEveryValueAndAlpha) {
  for (TColor background : {TColor(0x00C81E64), TColor(clWhite), TColor(clBlack)}) {
    const TRGB bg = TColorToRGB(background);
    TPXBitmap b;
    // Pixel x of row y: value x (mod 256), alpha x * 37 + y (mod 256); 305 = 9 * 32 + 16 + 1.
    ASSERT_TRUE(b.Allocate(305, 256, px24RGB));
    auto alphaOf = [](int32_t x, int32_t y) { return (x * 37 + y) & 255; };
    for (int32_t y = 0; y < 256; ++y) {
      for (int32_t x = 0; x < 305; ++x) {
        Row(b, y)[3 * x] = static_cast<uint8_t>(x);
        Row(b, y)[3 * x + 1] = static_cast<uint8_t>(255 - x);
        Row(b, y)[3 * x + 2] = static_cast<uint8_t>(x * 7);
        Row(*b.GetAlphaChannel(), y)[x] = static_cast<uint8_t>(alphaOf(x, y));
      }
    }
    b.MergeAlphaWithColor(background);
    int32_t wrong = 0;
    for (int32_t y = 0; y < 256; ++y)
      for (int32_t x = 0; x < 305; ++x) {
        const int32_t v[3] = {x & 255, 255 - (x & 255), (x * 7) & 255}, bgs[3] = {bg.b, bg.g, bg.r};
        for (int c = 0; c < 3; ++c) {
          const int32_t d = (v[c] - bgs[c]) * alphaOf(x, y);
          const int32_t floorDiv = d >= 0 ? d / 256 : -((-d + 255) / 256);
          wrong += Row(b, y)[3 * x + c] != bgs[c] + floorDiv;
        }
        wrong += Row(*b.PeekAlphaChannel(), y)[x] != alphaOf(x, y);
      }
    EXPECT_EQ(wrong, 0) << std::hex << background;
  }
}

TEST_F(BitmapAlphaCopy, FeatherSoftensEdges) {
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(6, 1, px24RGB));
  b.GetAlphaChannel();
  b.FeatherAlphaEdges(4);
  const uint8_t expected[6] = {48, 64, 64, 64, 64, 48};
  EXPECT_EQ(std::memcmp(Row(*b.PeekAlphaChannel(), 0), expected, 6), 0);
  EXPECT_EQ(b.PeekAlphaChannel()->FFull, 0);
}

TEST_F(BitmapAlphaCopy, SyncAlpha32LooksAtEveryRow) {
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(2, 2, px32RGB));
  for (int32_t y = 0; y < 2; ++y) std::memset(Row(b, y), 255, 8);
  Row(b, 0)[3] = 0;  // a transparent pixel in the first row, the last row opaque
  b.SyncAlpha32(true, false);
  EXPECT_EQ(b.PeekAlphaChannel()->FFull, 0);
  EXPECT_EQ(Row(*b.PeekAlphaChannel(), 0)[0], 0);
  Row(*b.PeekAlphaChannel(), 1)[1] = 9;
  b.SyncAlpha32(false, false);
  EXPECT_EQ(Row(b, 1)[7], 9);
}

TEST_F(BitmapAlphaCopy, AssignImageKeepsTheTargetsAlpha) {
  auto target = Picture(3, 3, true);
  TPXBitmap* alpha = target->PeekAlphaChannel();
  auto src = Picture(5, 2, false);
  target->AssignImage(src.get());
  EXPECT_EQ(target->PeekAlphaChannel(), alpha);
  EXPECT_EQ(alpha->GetWidth(), 3);
  EXPECT_EQ(target->GetWidth(), 5);
  EXPECT_TRUE(SamePixels(*target, *src));
}

TEST_F(BitmapAlphaCopy, UpdateFullScansOnlyPixelBytes) {
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(3, 2, px8g));
  for (int32_t y = 0; y < 2; ++y) std::memset(Row(b, y), 255, 3);
  Row(b, 1)[3] = 0;  // alignment byte
  b.UpdateFull();
  EXPECT_EQ(b.FFull, 1);
  Row(b, 1)[2] = 254;
  b.UpdateFull();
  EXPECT_EQ(b.FFull, 0);
}

TEST_F(BitmapAlphaCopy, EnsurePixelFormatFollowsThePreferences) {
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(3, 2, px1g));
  EXPECT_TRUE(b.EnsurePixelFormat({px24RGB, px8g}, true));
  EXPECT_EQ(b.GetPixelFormat(), px8g);
  ASSERT_TRUE(b.Allocate(3, 2, pxCMYK));
  EXPECT_FALSE(b.EnsurePixelFormat({px24RGB, px8g}, false));
  EXPECT_EQ(b.GetPixelFormat(), pxCMYK);
  EXPECT_TRUE(b.EnsurePixelFormat({px24RGB, px8g}, true));
  EXPECT_EQ(b.GetPixelFormat(), px24RGB);
  EXPECT_TRUE(b.EnsurePixelFormat({}, true));
  EXPECT_EQ(b.GetPixelFormat(), px24RGB);
  // Nothing in the row: the highest allowed format.
  ASSERT_TRUE(b.Allocate(3, 2, px32RGB));
  EXPECT_TRUE(b.EnsurePixelFormat({px16g, px32f}, true));
  EXPECT_EQ(b.GetPixelFormat(), px32f);
}

TEST_F(BitmapAlphaCopy, CropKeepsThePalette) {
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(4, 4, px8p));
  b.FPalette[7] = TRGB{7, 8, 9};
  for (int32_t y = 0; y < 4; ++y) std::memset(Row(b, y), 7, 4);
  auto crop = TPXBitmap::CreateCrop(&b, TRect(1, 1, 2, 2));
  EXPECT_EQ(crop->GetWidth(), 2);
  EXPECT_EQ(crop->GetHeight(), 2);
  EXPECT_EQ(Row(*crop, 1)[1], 7);
  EXPECT_EQ(crop->FPalette[7], (TRGB{7, 8, 9}));
  EXPECT_FALSE(crop->Modified());
}

TEST_F(BitmapAlphaCopy, ChangeNotification) {
  TPXBitmap b;
  int changes = 0;
  b.SetOnChange([&](TObject* Sender) {
    EXPECT_EQ(Sender, &b);
    ++changes;
  });
  b.SetModified(false);
  EXPECT_EQ(changes, 0);
  b.SetModified(true);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(b.Modified());
  b.SetChannelOffset(2, 5);
  EXPECT_EQ(b.FChannelOffsetEnabled, 1);
  EXPECT_EQ(b.GetChannelOffset(2), 5);
  EXPECT_EQ(b.GetChannelOffset(4), 0);
  b.SetChannelOffset(2, 0);
  EXPECT_EQ(b.FChannelOffsetEnabled, 0);
}

TEST_F(BitmapAlphaCopy, PixelQuestions) {
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(2, 2, px24RGB));
  for (int32_t y = 0; y < 2; ++y) std::memset(Row(b, y), 0, 6);
  EXPECT_TRUE(b.IsAllZero());
  EXPECT_TRUE(b.IsGrayScale());
  Row(b, 1)[4] = 1;
  EXPECT_FALSE(b.IsAllZero());
  EXPECT_FALSE(b.IsGrayScale());

  TPXBitmap f;
  ASSERT_TRUE(f.Allocate(2, 1, px32f));
  auto* px = reinterpret_cast<float*>(Row(f, 0));
  px[0] = -2.0f;
  px[1] = -1.0f;
  f.NormalizeFloat();
  EXPECT_FLOAT_EQ(px[0], 0.0f);
  EXPECT_FLOAT_EQ(px[1], 1.0f);
}

}  // namespace
