// The application's road for one picture: the formats the PNG reader delivers, with and without
// alpha, in memory and in file storage, copied into a layer, brought to 24 bits, faded, and
// flattened onto a background.
#include <gtest/gtest.h>

#include <string>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"

namespace {

TRGB RGB(uint8_t r, uint8_t g, uint8_t b) { return TRGB{b, g, r}; }

constexpr int W = 13, H = 6;

// The decoded picture and the colour each pixel stands for.
std::unique_ptr<TPXBitmap> Decoded(TPXPixelFormat f, bool alpha, TRGB (&rgb)[H][W], uint8_t (&a)[H][W]) {
  auto b = std::make_unique<TPXBitmap>();
  EXPECT_TRUE(b->Allocate(W, H, f));
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const auto v = static_cast<uint8_t>((x * 37 + y * 61) & 0xFF);
      switch (f) {
        case px1g:
          SetPixelBit(b->Scanline(y), x, (x + y) % 3 == 0);
          rgb[y][x] = (x + y) % 3 == 0 ? RGB(255, 255, 255) : RGB(0, 0, 0);
          break;
        case px8p:
          b->FPalette[v] = RGB(v, uint8_t(255 - v), uint8_t(v / 2));
          b->SetPixel8(x, y, v);
          rgb[y][x] = b->FPalette[v];
          break;
        case px8g:
          b->SetPixel8(x, y, v);
          rgb[y][x] = RGB(v, v, v);
          break;
        case px16g:
          b->SetPixel16(x, y, static_cast<uint16_t>(v * 256 + x));
          rgb[y][x] = RGB(v, v, v);
          break;
        default:
          rgb[y][x] = RGB(v, uint8_t(x * 19), uint8_t(y * 40));
          b->SetPixel24(x, y, rgb[y][x]);
          break;
      }
      a[y][x] = alpha ? static_cast<uint8_t>((x * 23 + y * 7) & 0xFF) : 255;
      if (alpha) b->SetAlpha(x, y, a[y][x]);
    }
  return b;
}

TEST(ConvertMainRoadTest, EveryReaderFormatToAFlatPicture) {
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const int64_t savedLimit = settings->FBitmapMemoryLimit;
  const TRGB back = RGB(30, 60, 90);
  const TColor background = RGBToTColor(back.r, back.g, back.b);
  for (bool file : {false, true}) {
    settings->FBitmapMemoryLimit = file ? 0 : -1;
    for (TPXPixelFormat f : {px1g, px8p, px8g, px16g, px24RGB})
      for (bool alpha : {false, true}) {
        SCOPED_TRACE(std::string(file ? "file " : "memory ") + std::to_string(static_cast<int>(f)) +
                     (alpha ? " with alpha" : ""));
        TRGB rgb[H][W];
        uint8_t a[H][W];
        auto decoded = Decoded(f, alpha, rgb, a);

        TPXBitmap layer;
        layer.AssignFrom(decoded.get(), false);
        EXPECT_EQ(layer.Location(), file ? pxFile : pxMemory);
        EXPECT_EQ(layer.HasAlphaChannel(), alpha);
        ASSERT_TRUE(layer.EnsurePixelFormat(TPXPixelFormatSet{px24RGB}, true));
        ASSERT_EQ(layer.PixelFormat(), px24RGB);

        // Fade: the alpha of row y is scaled from 100 % down to 20 %.
        TPXBitmap* alphaChannel = layer.GetAlphaChannel();
        for (int y = 0; y < H; ++y) {
          const int percent = 100 - 80 * y / (H - 1);
          for (int x = 0; x < W; ++x) {
            a[y][x] = static_cast<uint8_t>(alphaChannel->GetPixel8(x, y) * percent / 100);
            alphaChannel->SetPixel8(x, y, a[y][x]);
          }
        }
        EXPECT_FALSE(alphaChannel->FFull);

        TPXBitmap backdrop;
        backdrop.Allocate(W, H, px24RGB);
        backdrop.Fill(background);
        layer.RemoveAlphaChannel(true, background);
        EXPECT_FALSE(layer.HasAlphaChannel());
        for (int y = 0; y < H; ++y)
          for (int x = 0; x < W; ++x) {
            const TRGB s = rgb[y][x], b = backdrop.GetPixelRGB(x, y);
            auto mix = [&](int v, int bg) { return static_cast<uint8_t>(bg + ((v - bg) * (a[y][x] * 1024) >> 18)); };
            const TRGB expected{mix(s.b, b.b), mix(s.g, b.g), mix(s.r, b.r)};
            ASSERT_EQ(layer.GetPixelRGB(x, y), expected) << x << "," << y;
          }
        // The decoded picture is as it was.
        EXPECT_EQ(decoded->PixelFormat(), f);
        EXPECT_EQ(decoded->GetPixelRGB(W - 1, H - 1), rgb[H - 1][W - 1]);
      }
  }
  settings->FBitmapMemoryLimit = savedLimit;
}

}  // namespace
