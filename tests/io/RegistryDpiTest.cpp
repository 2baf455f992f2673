#include <gtest/gtest.h>

#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"

TEST(RegistryDpi, SquarePixels) {
  auto bmp = TPXBitmap::CreateAllocated(100, 50, px8g);
  for (int32_t y = 0; y < 50; ++y)
    for (int32_t x = 0; x < 100; ++x) static_cast<uint8_t*>(bmp->GetScanline(y))[x] = static_cast<uint8_t>(x);
  for (bool resample : {false, true}) {
    TIOParams params;
    params.SetDpiX(200);
    params.SetDpiY(100);
    auto out = AdjustBitmapForDpi(bmp.get(), &params, resample);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->Width(), 100);
    EXPECT_EQ(out->Height(), 100);
    EXPECT_EQ(out->PixelFormat(), resample ? px24RGB : px8g);
    EXPECT_EQ(params.DpiX, 200);
    EXPECT_EQ(params.DpiY, 200);
    EXPECT_EQ(params.Width, 100);
    EXPECT_EQ(params.Height, 100);
    EXPECT_EQ(bmp->PixelFormat(), px8g);  // the source is left alone
    EXPECT_EQ(bmp->Height(), 50);
  }
  // Taller than wide: the width grows.
  auto tall = TPXBitmap::CreateAllocated(30, 60, px24RGB);
  TIOParams params;
  params.SetDpiX(100);
  params.SetDpiY(150);
  auto wide = AdjustBitmapForDpi(tall.get(), &params, false);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->Width(), 45);
  EXPECT_EQ(wide->Height(), 60);
  EXPECT_EQ(params.DpiX, 150);
  // Nothing to do.
  params.SetDpiX(150);
  EXPECT_EQ(AdjustBitmapForDpi(tall.get(), &params, true), nullptr);
  params.SetDpiX(0);
  EXPECT_EQ(AdjustBitmapForDpi(tall.get(), &params, true), nullptr);
  TPXBitmap empty;
  params.SetDpiX(75);
  EXPECT_EQ(AdjustBitmapForDpi(&empty, &params, true), nullptr);
}
