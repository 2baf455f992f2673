// User-interface helpers on the drawing layer: text truncation, dialog backgrounds, the turned
// cursor, the default font and the option objects.
#include <gtest/gtest.h>

#include "core/hypxutils_startup.h"
#include "core/hypxutils_ui.h"
#include "core/pxsettings.h"

namespace {

TEST(UiRoutines, TruncateTextToWidth) {
  TBitmap bmp(10, 10);
  TCanvas* c = bmp.Canvas();
  EXPECT_EQ(TruncateTextToWidth("ab cd", 0, c, 1), "a...");  // the last candidate that is not empty
  EXPECT_EQ(TruncateTextToWidth("ab cd", 1, c, 1), "...d");
  EXPECT_EQ(TruncateTextToWidth("a", 0, c, 0), "a");          // one character is never shortened
  EXPECT_EQ(TruncateTextToWidth("ab cd", 0, c, 10000), "ab cd");
  const std::string text = "The quick brown fox jumps";
  const int32_t limit = c->TextWidth("The quick b...");
  const std::string start = TruncateTextToWidth(text, 0, c, limit);
  EXPECT_LE(c->TextWidth(start), limit);
  EXPECT_TRUE(start.ends_with("...")) << start;
  EXPECT_TRUE(text.starts_with(start.substr(0, start.size() - 3))) << start;
  const std::string end = TruncateTextToWidth(text, 1, c, limit);
  EXPECT_LE(c->TextWidth(end), limit);
  EXPECT_TRUE(text.ends_with(end.substr(3))) << end;
  EXPECT_EQ(TruncateTextToWidth("äöü ßx", 0, c, 1), "ä...");  // whole characters
  EXPECT_EQ(TextWidthW(c, "abc"), c->TextWidth("abc"));
  EXPECT_GT(TextHeightW(c, "Xy"), 0);
}

TEST(UiRoutines, DialogBackgrounds) {
  std::vector<double> ramp;
  GaussianRamp(4, 130, 255, 0.5, ramp);
  ASSERT_EQ(ramp.size(), 4u);
  const int expected[4] = {240, 251, 255, 251};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Trunc(ramp[i]), expected[i]);

  TBitmap bmp;
  PaintStripedBackground(&bmp, 5, 9);
  ASSERT_EQ(bmp.Width(), 5);
  ASSERT_EQ(bmp.Height(), 9);
  EXPECT_EQ(bmp.PixelFormat(), pf24bit);
  for (int y = 0; y < 9; ++y) {
    const auto* row = static_cast<const uint8_t*>(bmp.ScanLine(y));
    for (int i = 0; i < 15; ++i) ASSERT_EQ(row[i], expected[y % 4]) << y;
  }

  RandSeed = 42;
  PaintNoiseGradientBackground(&bmp, 200, 20);
  ASSERT_EQ(bmp.Width(), 200);
  for (int y = 0; y < 20; ++y) {
    const auto* row = static_cast<const uint8_t*>(bmp.ScanLine(y));
    EXPECT_GE(row[0], 160);
    EXPECT_LE(row[0], 170 + 10);
    EXPECT_GE(row[3 * 100], 208);  // the peak in the middle
    EXPECT_LE(row[3 * 100], 218);
    EXPECT_EQ(row[0], row[1]);
    EXPECT_EQ(row[1], row[2]);
  }
}

// Bit (x, y) of a monochrome bitmap's rows (top-down, padded to 2 bytes).
bool Bit(const std::vector<uint8_t>& bits, int stride, int x, int y) {
  return (bits[static_cast<size_t>(y * stride + x / 8)] >> (7 - x % 8)) & 1;
}

TEST(UiRoutines, RotatedCursorKeepsItsSize) {
  EXPECT_EQ(RotatedCursor("NOSUCHCURSOR", 0), nullptr);
  std::vector<uint8_t> straight, turned;
  for (double angle : {0.0, 90.0}) {
    HCURSOR cursor = RotatedCursor("PXSIZEVERT", angle);
    ASSERT_NE(cursor, nullptr);
    int32_t w = 0, h = 0;
    ASSERT_TRUE(GetIconSize(cursor, &w, &h));
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 32);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_EQ(info.fIcon, 0);
    EXPECT_EQ(info.xHotspot, 15u);
    EXPECT_EQ(info.yHotspot, 15u);
    std::vector<uint8_t>& bits = angle == 0 ? straight : turned;
    bits.resize(4 * 64);
    ASSERT_EQ(GetBitmapBits(info.hbmMask, static_cast<LONG>(bits.size()), bits.data()), 256);
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DestroyCursor(cursor);
  }
  // The vertical arrow: black shaft at x 15, 16 (AND 0, XOR 0); transparent far left.
  EXPECT_FALSE(Bit(straight, 4, 15, 10));
  EXPECT_FALSE(Bit(straight, 4, 15, 32 + 10));
  EXPECT_TRUE(Bit(straight, 4, 2, 10));
  EXPECT_FALSE(Bit(straight, 4, 2, 32 + 10));
  // Turned clockwise about (15, 15): the shaft lies horizontal, (15, 5) lands on (25, 15).
  EXPECT_FALSE(Bit(turned, 4, 25, 15));
  EXPECT_FALSE(Bit(turned, 4, 25, 32 + 15));
  EXPECT_TRUE(Bit(turned, 4, 15, 5));
  // Column 31 comes from above the picture: transparent (AND 1, XOR 0) all the way down.
  for (int y = 0; y < 32; ++y) {
    EXPECT_TRUE(Bit(turned, 4, 31, y)) << y;
    EXPECT_FALSE(Bit(turned, 4, 31, 32 + y)) << y;
  }
}

TEST(UiRoutines, DefaultFontLivesUntilTearDown) {
  TFont* f = GetDefaultUIFont();
  EXPECT_EQ(GetDefaultUIFont(), f);
  EXPECT_EQ(f->Height(), -12);
  EXPECT_EQ(f->Name(), "Segoe UI");
  EXPECT_EQ(f->Charset(), DEFAULT_CHARSET);
  EXPECT_TRUE(f->Style().Empty());
  FinalizeUtilitiesUnit();  // the tear-down's step frees it
  EXPECT_EQ(GlobalSettingsInstance()->FDefaultFont, nullptr);
}

TEST(UiRoutines, OptionObjects) {
  TPXScrollBarParams bar;
  EXPECT_EQ(bar.LineStep, -1);
  EXPECT_EQ(bar.PageStep, -1);
  EXPECT_TRUE(bar.Tracking);

  TPXMouseWheelParams a(pxmwZoom), b(pxmwNone);
  EXPECT_FALSE(a.InvertDirection());
  EXPECT_EQ(a.Action(), pxmwZoom);
  EXPECT_EQ(a.Variation(), pxmwPercentage);
  EXPECT_EQ(a.Value(), 8);
  EXPECT_EQ(a.ZoomPosition(), pxmwCenter);
  a.SetInvertDirection(true);
  a.SetValue(3);
  a.SetZoomPosition(pxmwMouse);
  a.SetVariation(pxmwAbsolute);
  b.Assign(&a);
  EXPECT_TRUE(b.InvertDirection());
  EXPECT_EQ(b.Action(), pxmwZoom);
  EXPECT_EQ(b.Variation(), pxmwAbsolute);
  EXPECT_EQ(b.Value(), 3);
  EXPECT_EQ(b.ZoomPosition(), pxmwMouse);
  TFont font;
  EXPECT_THROW(b.Assign(&font), EConvertError);
  // Published: addressed by name.
  EXPECT_EQ(GetEnumProp(&b, "Action"), "pxmwZoom");
  EXPECT_EQ(GetOrdProp(&b, "Value"), 3);

  EXPECT_FALSE(IsRemoteSession());
  EXPECT_TRUE(IsWindowsVistaOrLater());
  GlobalSettingsInstance()->FWindowsVersion = 5;
  EXPECT_FALSE(IsWindowsVistaOrLater());
  GlobalSettingsInstance()->FWindowsVersion = 10;
}

}  // namespace
