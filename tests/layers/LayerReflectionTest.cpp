// Flattening for a save: a view's layer 0 and a faded 1-bit reflection layer merged with the
// save's settings, written as PNG, read back by us and by Pillow.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "layers/pxxLayers.h"
#include "tests/common/TestSupport.h"
#include "tests/layers/FakeLayerOwner.h"

namespace {

constexpr int32_t kW = 40, kH = 30, kReflH = 12, kReflX = 3, kReflY = 28;

TRGB Photo(int32_t X, int32_t Y) {
  return TRGB{uint8_t(X * 6 + Y), uint8_t(255 - Y * 8), uint8_t((X * Y) & 0xFF)};
}
bool ReflectionBit(int32_t X, int32_t Y) { return ((X / 3) + Y) % 2 == 0; }
uint8_t Fade(int32_t Y) { return uint8_t(200 - Y * 200 / (kReflH - 1)); }

TEST(LayerReflection, FlattenedForSavingAndReadBackAsPng) {
  FakeLayerOwner owner;
  auto photo = TPXBitmap::CreateAllocated(kW, kH, px24RGB);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) photo->SetPixel24(x, y, Photo(x, y));
  TPXImageLayer* base = owner.Add(std::make_unique<TPXImageLayer>(&owner, std::move(photo)));

  auto mirror = TPXBitmap::CreateAllocated(kW, kReflH, px1g);
  TPXBitmap* fade = mirror->GetAlphaChannel();
  for (int32_t y = 0; y < kReflH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      SetPixelBit(mirror->Scanline(y), x, ReflectionBit(x, y));
      fade->Scanline(y)[x] = Fade(y);
    }
  fade->UpdateFull();
  TPXImageLayer* reflection = owner.Add(std::make_unique<TPXImageLayer>(&owner, std::move(mirror)));
  reflection->SetPosX(kReflX);
  reflection->SetPosY(kReflY);

  TPXBitmap flat;
  BlendLayerPair(base, reflection, &flat, TPXBlendLayerOptions{nullptr, rfNone, clBlack, false, false});
  ASSERT_EQ(flat.Width(), kW + kReflX);
  ASSERT_EQ(flat.Height(), kReflY + kReflH);
  ASSERT_TRUE(flat.HasAlphaChannel());
  // The photo alone, the overlap, the reflection alone, and neither.
  EXPECT_EQ(flat.GetPixelRGB(5, 5), Photo(5, 5));
  EXPECT_EQ(flat.GetAlpha(5, 5), 255);
  {
    const int32_t x = 10, y = 29, rx = x - kReflX, ry = y - kReflY;
    const int32_t w = Fade(ry), c = ReflectionBit(rx, ry) ? 255 : 0;
    const TRGB p = Photo(x, y);
    auto mix = [&](int32_t A) { return uint8_t((c * w + A * (255 - w) + 127) / 255); };
    EXPECT_EQ(flat.GetPixelRGB(x, y), (TRGB{mix(p.b), mix(p.g), mix(p.r)}));
    EXPECT_EQ(flat.GetAlpha(x, y), 255);
  }
  {
    const int32_t x = 20, y = 35, rx = x - kReflX, ry = y - kReflY;
    const uint8_t v = ReflectionBit(rx, ry) ? 255 : 0;
    EXPECT_EQ(flat.GetPixelRGB(x, y), (TRGB{v, v, v}));
    EXPECT_EQ(flat.GetAlpha(x, y), Fade(ry));
  }
  EXPECT_EQ(flat.GetPixelRGB(1, 35), (TRGB{0, 0, 0}));
  EXPECT_EQ(flat.GetAlpha(1, 35), 0);
  EXPECT_EQ(flat.GetAlpha(kW + 1, 3), 0);

  TestTempDir dir;
  const std::string file = dir.File("flat.png");
  auto writer = TPixoranIO::CreateForBitmap(&flat);
  writer->SaveToFilePng(file);
  TPXBitmap back;
  auto reader = TPixoranIO::CreateForBitmap(&back);
  ASSERT_TRUE(reader->LoadFromFilePng(file));
  ASSERT_EQ(back.Width(), flat.Width());
  ASSERT_EQ(back.Height(), flat.Height());
  ASSERT_TRUE(back.HasAlphaChannel());
  for (int32_t y = 0; y < flat.Height(); ++y)
    for (int32_t x = 0; x < flat.Width(); ++x) {
      ASSERT_EQ(back.GetPixelRGB(x, y), flat.GetPixelRGB(x, y)) << x << "," << y;
      ASSERT_EQ(back.GetAlpha(x, y), flat.GetAlpha(x, y)) << x << "," << y;
    }

  if (!ToolExists("/usr/bin/python3")) GTEST_SKIP() << "python3 is not installed";
  const char* script =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
      "sys.stdout.buffer.write(im.convert('RGBA').tobytes())\n";
  if (RunTool({"/usr/bin/python3", "-c", script, file}, dir.File("out")) != 0) GTEST_SKIP() << "Pillow is not available";
  std::ifstream in(dir.File("out"), std::ios::binary);
  const std::string rgba((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(rgba.size(), size_t(flat.Width()) * size_t(flat.Height()) * 4);
  for (int32_t y = 0; y < flat.Height(); ++y)
    for (int32_t x = 0; x < flat.Width(); ++x) {
      const auto* o = reinterpret_cast<const uint8_t*>(rgba.data()) + (size_t(y) * flat.Width() + x) * 4;
      const TRGB p = flat.GetPixelRGB(x, y);
      ASSERT_EQ((TRGB{o[2], o[1], o[0]}), p) << x << "," << y;
      ASSERT_EQ(o[3], flat.GetAlpha(x, y)) << x << "," << y;
    }
}

}  // namespace
