// The antialiased drawing library over device contexts: which pixels shapes cover, brushes,
// transforms, clipping, compositing, text layout and images. Geometry, not exact antialiasing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/gdi/FontEngine.h"
#include "platform/gdi/WinGdi.h"
#include "platform/gdiplus/GdiPlus.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr ARGB kOpaqueBlack = 0xFF000000;
constexpr ARGB kOpaqueRed = 0xFFFF0000;
constexpr ARGB kOpaqueBlue = 0xFF0000FF;

class GdiPlus : public ::testing::Test {
 protected:
  void SetUp() override {
    GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
    Make(64, 64, 32);
  }

  void TearDown() override {
    Release();
    GdiplusShutdown(token_);
  }

  void Make(int32_t w, int32_t h, int32_t bits, bool bottomUp = false) {
    Release();
    surface_ = std::make_unique<TSurface>(w, h, bits, bottomUp);
    // White; 32-bit pixels keep alpha 0 as the pixel core draws them.
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) surface_->SetPixel(x, y, kWhite);
    dc_ = CreateSurfaceDC(surface_.get());
    ASSERT_NE(dc_, nullptr);
    ASSERT_EQ(GdipCreateFromHDC(dc_, &g_), Ok);
  }

  void Release() {
    if (g_) GdipDeleteGraphics(g_);
    g_ = nullptr;
    if (dc_) DeleteDC(dc_);
    dc_ = nullptr;
  }

  void Recreate() {
    GdipDeleteGraphics(g_);
    ASSERT_EQ(GdipCreateFromHDC(dc_, &g_), Ok);
  }

  COLORREF At(int32_t x, int32_t y) const { return surface_->GetPixel(x, y); }

  // Bounds of the pixels that are no longer white (empty when none).
  TRect Covered() const {
    TRect r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int32_t y = 0; y < surface_->Height(); ++y)
      for (int32_t x = 0; x < surface_->Width(); ++x)
        if (At(x, y) != kWhite) {
          r.Left = std::min(r.Left, x);
          r.Top = std::min(r.Top, y);
          r.Right = std::max(r.Right, x + 1);
          r.Bottom = std::max(r.Bottom, y + 1);
        }
    return r.Left == INT32_MAX ? TRect() : r;
  }

  void Fill(ARGB colour, REAL x, REAL y, REAL w, REAL h) {
    GpSolidFill* brush = nullptr;
    ASSERT_EQ(GdipCreateSolidFill(colour, &brush), Ok);
    EXPECT_EQ(GdipFillRectangle(g_, brush, x, y, w, h), Ok);
    GdipDeleteBrush(brush);
  }

  ULONG_PTR token_ = 0;
  std::unique_ptr<TSurface> surface_;
  HDC dc_ = nullptr;
  GpGraphics* g_ = nullptr;
};

bool Inside(const TRect& inner, const TRect& outer) {
  return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right && inner.Bottom <= outer.Bottom;
}

TEST_F(GdiPlus, StartupHandlesAndMetafiles) {
  GdiplusStartupInput bad;
  bad.GdiplusVersion = 9;
  ULONG_PTR t = 0;
  EXPECT_EQ(GdiplusStartup(&t, &bad, nullptr), UnsupportedGdiplusVersion);
  GpPen* pen = nullptr;
  ASSERT_EQ(GdipCreatePen1(kOpaqueBlack, 1, UnitPixel, &pen), Ok);
  EXPECT_EQ(GdipDeletePen(pen), Ok);
  EXPECT_EQ(GdipDeletePen(pen), InvalidParameter);  // a stale handle is refused, not freed twice
  EXPECT_EQ(GdipDeleteBrush(nullptr), InvalidParameter);
  GdiplusShutdown(token_);
  EXPECT_EQ(GdipCreatePen1(kOpaqueBlack, 1, UnitPixel, &pen), GdiplusNotInitialized);
  EXPECT_EQ(pen, nullptr);
  GdiplusStartupInput input;
  ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
  GpMetafile* metafile = reinterpret_cast<GpMetafile*>(1);
  EXPECT_EQ(GdipCreateMetafileFromFile("picture.emf", &metafile), FileNotFound);  // no such file
  EXPECT_EQ(metafile, nullptr);
  MetafileHeader header;
  EXPECT_EQ(GdipGetMetafileHeaderFromMetafile(nullptr, &header), InvalidParameter);
  EXPECT_EQ(GdipCreateFromHDC(nullptr, &g_), OutOfMemory);
  EXPECT_EQ(g_, nullptr);
}

TEST_F(GdiPlus, IntegerCoordinatesArePixelCentres) {
  for (SmoothingMode mode : {SmoothingModeNone, SmoothingModeHighSpeed, SmoothingModeAntiAlias}) {
    SCOPED_TRACE(mode);
    Make(64, 64, 32);
    GdipSetSmoothingMode(g_, mode);
    GpPen* pen = nullptr;
    ASSERT_EQ(GdipCreatePen1(kOpaqueBlack, 1, UnitPixel, &pen), Ok);
    ASSERT_EQ(GdipDrawLine(g_, pen, 2, 5, 30, 5), Ok);
    GdipDeletePen(pen);
    const TRect line = Covered();
    EXPECT_EQ(line.Top, 5);
    EXPECT_EQ(line.Bottom, 6);
    for (int32_t x = 4; x < 28; ++x) EXPECT_EQ(At(x, 5), 0x000000u) << x;
    Make(64, 64, 32);
    GdipSetSmoothingMode(g_, mode);
    Fill(kOpaqueBlack, 10, 10, 9, 19);
    if (mode == SmoothingModeAntiAlias) {
      EXPECT_TRUE(Inside(Covered(), {10, 10, 20, 30}));
      for (int32_t y = 11; y < 28; ++y)
        for (int32_t x = 11; x < 18; ++x) ASSERT_EQ(At(x, y), 0x000000u) << x << "," << y;
    } else {
      EXPECT_EQ(Covered(), TRect(10, 10, 19, 29));
    }
  }
}

TEST_F(GdiPlus, ShapesStayInsideTheirBoxes) {
  GdipSetSmoothingMode(g_, SmoothingModeAntiAlias);
  GpSolidFill* brush = nullptr;
  ASSERT_EQ(GdipCreateSolidFill(kOpaqueRed, &brush), Ok);
  ASSERT_EQ(GdipFillEllipse(g_, brush, 20, 20, 20, 10), Ok);
  EXPECT_TRUE(Inside(Covered(), {19, 19, 41, 31}));
  EXPECT_EQ(At(30, 25), 0x0000FFu);
  // A star: its centre is outside with the alternate rule and inside with winding.
  const GpPoint star[] = {{32, 2}, {50, 60}, {4, 22}, {60, 22}, {14, 60}};
  for (GpFillMode mode : {FillModeAlternate, FillModeWinding}) {
    Make(64, 64, 32);
    ASSERT_EQ(GdipFillPolygonI(g_, brush, star, 5, mode), Ok);
    EXPECT_EQ(At(32, 35) != kWhite, mode == FillModeWinding);
    EXPECT_NE(At(32, 8), kWhite);
    EXPECT_TRUE(Inside(Covered(), {4, 2, 61, 61}));
  }
  GdipDeleteBrush(brush);
}

TEST_F(GdiPlus, ArcsTakeAnglesOnTheEllipse) {
  GpPen* pen = nullptr;
  ASSERT_EQ(GdipCreatePen1(kOpaqueBlack, 1, UnitPixel, &pen), Ok);
  // 0..45 degrees on a flat ellipse: the ray at 45 degrees meets it at x = 30 + 9.5.
  ASSERT_EQ(GdipDrawArc(g_, pen, 0, 0, 60, 20, 0, 45), Ok);
  TRect arc = Covered();
  EXPECT_GE(arc.Left, 37);
  EXPECT_LE(arc.Left, 42);
  EXPECT_GE(arc.Top, 9);
  // A closed quarter path (the canvas's rounded corners are made of these).
  Make(64, 64, 32);
  GpPath* path = nullptr;
  ASSERT_EQ(GdipCreatePath(FillModeAlternate, &path), Ok);
  ASSERT_EQ(GdipAddPathArc(path, 0, 0, 40, 40, 0, 90), Ok);
  ASSERT_EQ(GdipAddPathArc(path, 0, 0, 40, 40, 180, 90), Ok);
  ASSERT_EQ(GdipClosePathFigure(path), Ok);
  GpSolidFill* brush = nullptr;
  ASSERT_EQ(GdipCreateSolidFill(kOpaqueBlack, &brush), Ok);
  ASSERT_EQ(GdipFillPath(g_, brush, path), Ok);
  EXPECT_NE(At(35, 25), kWhite);  // lower right arc
  EXPECT_NE(At(5, 15), kWhite);   // upper left arc
  EXPECT_EQ(At(5, 35), kWhite);   // the chord between them leaves the other corners
  EXPECT_EQ(At(35, 5), kWhite);
  ASSERT_EQ(GdipDrawPath(g_, pen, path), Ok);
  EXPECT_TRUE(Inside(Covered(), {0, 0, 41, 41}));
  GdipDeletePath(path);
  GdipDeleteBrush(brush);
  GdipDeletePen(pen);
}

TEST_F(GdiPlus, DashStylesLeaveGaps) {
  struct Case {
    GpDashStyle style;
    int32_t minOn, maxOn;  // pixels drawn out of 48
  } cases[] = {{DashStyleSolid, 48, 48}, {DashStyleDash, 33, 39}, {DashStyleDot, 21, 27}, {DashStyleDashDot, 27, 33}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    Make(64, 16, 32);
    GpPen* pen = nullptr;
    ASSERT_EQ(GdipCreatePen1(kOpaqueBlack, 1, UnitPixel, &pen), Ok);
    ASSERT_EQ(GdipSetPenDashStyle(pen, c.style), Ok);
    ASSERT_EQ(GdipDrawLine(g_, pen, 0, 4, 48, 4), Ok);
    GdipDeletePen(pen);
    int32_t on = 0;
    for (int32_t x = 0; x < 64; ++x) on += At(x, 4) != kWhite;
    EXPECT_GE(on, c.minOn);
    EXPECT_LE(on, c.maxOn);
  }
}

TEST_F(GdiPlus, HatchBrushesUseForeAndBackColours) {
  struct Case {
    GpHatchStyle style;
    bool (*fore)(int32_t x, int32_t y);
  } cases[] = {
      {HatchStyleHorizontal, [](int32_t, int32_t y) { return y % 8 == 0; }},
      {HatchStyleVertical, [](int32_t x, int32_t) { return x % 8 == 0; }},
      {HatchStyleForwardDiagonal, [](int32_t x, int32_t y) { return x % 8 == y % 8; }},
      {HatchStyleBackwardDiagonal, [](int32_t x, int32_t y) { return (x + y) % 8 == 7; }},
      {HatchStyleCross, [](int32_t x, int32_t y) { return x % 8 == 0 || y % 8 == 0; }},
      {HatchStyleDiagonalCross, [](int32_t x, int32_t y) { return x % 8 == y % 8 || (x + y) % 8 == 7; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    Make(32, 32, 32);
    GpHatch* hatch = nullptr;
    ASSERT_EQ(GdipCreateHatchBrush(c.style, kOpaqueRed, kOpaqueBlue, &hatch), Ok);
    ASSERT_EQ(GdipFillRectangle(g_, hatch, 0, 0, 24, 24), Ok);
    GdipDeleteBrush(hatch);
    for (int32_t y = 0; y < 24; ++y)
      for (int32_t x = 0; x < 24; ++x) ASSERT_EQ(At(x, y), c.fore(x, y) ? 0x0000FFu : 0xFF0000u) << x << "," << y;
    EXPECT_EQ(At(24, 24), kWhite);
  }
  GpHatch* hatch = nullptr;
  EXPECT_EQ(GdipCreateHatchBrush(static_cast<GpHatchStyle>(53), kOpaqueRed, kOpaqueBlue, &hatch), InvalidParameter);
}

TEST_F(GdiPlus, LineGradientRunsFromColourToColourAndReflects) {
  const GpPointF p1{0, 0}, p2{20, 0};
  GpLineGradient* gradient = nullptr;
  ASSERT_EQ(GdipCreateLineBrush(&p1, &p2, kOpaqueRed, kOpaqueBlue, WrapModeTileFlipXY, &gradient), Ok);
  ASSERT_EQ(GdipFillRectangle(g_, gradient, 0, 0, 64, 4), Ok);
  GdipDeleteBrush(gradient);
  const auto red = [&](int32_t x) { return static_cast<int32_t>(GetRValue(At(x, 1))); };
  EXPECT_GE(red(0), 245);
  EXPECT_LE(red(20), 10);
  EXPECT_GE(red(40), 245);  // reflected back
  EXPECT_GT(red(10), 90);
  EXPECT_LT(red(10), 165);
  for (int32_t x = 1; x <= 20; ++x) EXPECT_LE(red(x), red(x - 1)) << x;
  for (int32_t x = 21; x <= 40; ++x) EXPECT_GE(red(x), red(x - 1)) << x;
  EXPECT_EQ(GdipCreateLineBrush(&p1, &p2, kOpaqueRed, kOpaqueBlue, WrapModeClamp, &gradient), InvalidParameter);
}

TEST_F(GdiPlus, TransformsAndClipping) {
  GdipTranslateWorldTransform(g_, 10, 10, MatrixOrderPrepend);
  Fill(kOpaqueBlack, 0, 0, 5, 5);
  EXPECT_EQ(Covered(), TRect(10, 10, 15, 15));
  // Translate then rotate a quarter turn clockwise: (x, y) -> (30 - y, 10 + x), so the box is
  // x 25..30, y 10..20 on the device and pixel centres 25..29 are inside.
  Make(64, 64, 32);
  GdipTranslateWorldTransform(g_, 30, 10, MatrixOrderPrepend);
  GdipRotateWorldTransform(g_, 90, MatrixOrderPrepend);
  Fill(kOpaqueBlack, 0, 0, 10, 5);
  EXPECT_EQ(Covered(), TRect(25, 10, 30, 20));
  GdipResetWorldTransform(g_);
  // Clip rectangles take whole pixels.
  Make(64, 64, 32);
  ASSERT_EQ(GdipSetClipRect(g_, 3, 4, 10, 10, CombineModeReplace), Ok);
  ASSERT_EQ(GdipSetClipRect(g_, 0, 0, 8, 64, CombineModeIntersect), Ok);
  Fill(kOpaqueBlack, -5, -5, 100, 100);
  EXPECT_EQ(Covered(), TRect(3, 4, 8, 14));
  GdipResetClip(g_);
  Fill(kOpaqueBlack, 60, 60, 2, 2);
  EXPECT_EQ(Covered(), TRect(3, 4, 62, 62));
}

TEST_F(GdiPlus, TakesTheDCOriginAndClipAtCreation) {
  SetViewportOrgEx(dc_, 5, 7, nullptr);
  IntersectClipRect(dc_, 0, 0, 20, 4);  // logical: device (5, 7) .. (25, 11)
  Recreate();
  Fill(kOpaqueBlack, 0, 0, 3, 3);
  EXPECT_EQ(Covered(), TRect(5, 7, 8, 10));
  Fill(kOpaqueBlack, -100, -100, 300, 300);
  EXPECT_EQ(Covered(), TRect(5, 7, 25, 11));
  // Later changes of the DC do not move an existing graphics object.
  Make(64, 64, 32);
  SetViewportOrgEx(dc_, 20, 20, nullptr);
  Fill(kOpaqueBlack, 0, 0, 2, 2);
  EXPECT_EQ(Covered(), TRect(0, 0, 2, 2));
}

TEST_F(GdiPlus, CompositingModesAndTheAlphaByte) {
  Fill(0x80FF0000, 0, 0, 4, 4);  // half red over white
  const COLORREF over = At(1, 1);
  EXPECT_EQ(GetRValue(over), 255);
  EXPECT_NEAR(GetGValue(over), 127, 2);
  GdipSetCompositingMode(g_, CompositingModeSourceCopy);
  Fill(0xFF00FF00, 10, 0, 4, 4);
  EXPECT_EQ(At(11, 1), 0x00FF00u);
  // Painted pixels become opaque; the rest keep their alpha byte.
  EXPECT_EQ(surface_->Row(1)[4 * 11 + 3], 255);
  EXPECT_EQ(surface_->Row(30)[4 * 30 + 3], 0);
  // Painted in the colour it already had is painted too (a white shape on a layer's white,
  // transparent background).
  GdipSetCompositingMode(g_, CompositingModeSourceOver);
  Fill(0xFFFFFFFF, 20, 20, 4, 4);
  EXPECT_EQ(surface_->Row(21)[4 * 21 + 3], 255);
  EXPECT_EQ(surface_->Row(21)[4 * 26 + 3], 0);
}

TEST_F(GdiPlus, EveryDepthGetsTheSameGeometry) {
  struct Case {
    int32_t bits;
    bool bottomUp;
  } cases[] = {{32, false}, {32, true}, {24, false}, {24, true}, {16, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + (c.bottomUp ? " bottom-up" : ""));
    Make(40, 40, c.bits, c.bottomUp);
    Fill(kOpaqueRed, 10, 10, 9, 19);
    EXPECT_EQ(Covered(), TRect(10, 10, 19, 29));
    EXPECT_EQ(At(12, 12), 0x0000FFu);
  }
}

TEST_F(GdiPlus, ImagesDrawIntoWholePixelRectangles) {
  uint32_t pixels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000};  // ARGB
  GpBitmap* bitmap = nullptr;
  ASSERT_EQ(GdipCreateBitmapFromScan0(2, 2, 8, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(pixels), &bitmap), Ok);
  uint32_t w = 0;
  GdipGetImageWidth(bitmap, &w);
  EXPECT_EQ(w, 2u);
  ASSERT_EQ(GdipDrawImageRect(g_, bitmap, 10, 10, 2, 2), Ok);
  EXPECT_EQ(Covered(), TRect(10, 10, 12, 12));
  EXPECT_EQ(At(10, 10), 0x0000FFu);
  EXPECT_EQ(At(11, 10), 0x00FF00u);
  EXPECT_EQ(At(10, 11), 0xFF0000u);
  EXPECT_EQ(At(11, 11), 0x000000u);
  GdipSetInterpolationMode(g_, InterpolationModeNearestNeighbor);
  ASSERT_EQ(GdipDrawImageRect(g_, bitmap, 20, 20, 4, 4), Ok);
  EXPECT_EQ(At(21, 21), 0x0000FFu);
  EXPECT_EQ(At(22, 21), 0x00FF00u);
  EXPECT_EQ(At(23, 23), 0x000000u);
  EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
  // 24 bits: B, G, R in memory.
  uint8_t bgr[8] = {0, 0, 255, 255, 0, 0, 0, 0};
  ASSERT_EQ(GdipCreateBitmapFromScan0(2, 1, 8, PixelFormat24bppRGB, bgr, &bitmap), Ok);
  ASSERT_EQ(GdipDrawImageRect(g_, bitmap, 40, 40, 2, 1), Ok);
  EXPECT_EQ(At(40, 40), 0x0000FFu);
  EXPECT_EQ(At(41, 40), 0xFF0000u);
  GdipDisposeImage(bitmap);
  EXPECT_EQ(GdipCreateBitmapFromScan0(2, 2, 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(pixels), &bitmap),
            InvalidParameter);  // rows shorter than the width
}

TEST_F(GdiPlus, StringsDrawInsideTheirMeasuredBox) {
  ASSERT_TRUE(RegisterFontFile("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf"));
  LOGFONT lf;
  lf.lfHeight = -16;
  std::strcpy(lf.lfFaceName, "Arial");
  HFONT hfont = CreateFontIndirect(lf);
  SelectObject(dc_, hfont);
  Make(160, 80, 32);
  SelectObject(dc_, hfont);
  GdipSetSmoothingMode(g_, SmoothingModeAntiAlias);
  GdipSetTextRenderingHint(g_, TextRenderingHintAntiAlias);
  GpFont* font = nullptr;
  ASSERT_EQ(GdipCreateFontFromDC(dc_, &font), Ok);
  GpStringFormat* format = nullptr;
  ASSERT_EQ(GdipStringFormatGetGenericTypographic(&format), Ok);
  GpSolidFill* brush = nullptr;
  ASSERT_EQ(GdipCreateSolidFill(kOpaqueBlack, &brush), Ok);

  const RectF noBox{10, 20, 0, 0};
  RectF box;
  int32_t chars = 0, lines = 0;
  ASSERT_EQ(GdipMeasureString(g_, "Hello World", font, &noBox, format, &box, &chars, &lines), Ok);
  EXPECT_EQ(chars, 11);
  EXPECT_EQ(lines, 1);
  EXPECT_EQ(box.X, 10);
  EXPECT_EQ(box.Y, 20);
  EXPECT_GT(box.Width, 60);
  EXPECT_GE(box.Height, 16);
  EXPECT_LT(box.Height, 22);
  ASSERT_EQ(GdipDrawString(g_, "Hello World", font, &noBox, format, brush), Ok);
  const TRect ink = Covered();
  // Pixel centres at integers: the box covers pixels whose centres it holds, give or take the
  // antialiased edge.
  const TRect measured{int32_t(box.X) - 1, int32_t(box.Y) - 1, int32_t(std::ceil(box.X + box.Width)) + 2,
                       int32_t(std::ceil(box.Y + box.Height)) + 2};
  EXPECT_TRUE(Inside(ink, measured));
  EXPECT_GT(ink.Width(), box.Width - 4);

  // A narrow box wraps at blanks.
  const RectF narrow{0, 0, 60, 200};
  ASSERT_EQ(GdipMeasureString(g_, "Hello World again", font, &narrow, format, &box, &chars, &lines), Ok);
  EXPECT_EQ(lines, 3);
  EXPECT_EQ(chars, 17);
  EXPECT_LE(box.Width, 60);
  GdipDeleteBrush(brush);
  GdipDeleteStringFormat(format);
  GdipDeleteFont(font);
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  DeleteObject(hfont);
}

// A static made before the library's object table is torn down after it at exit; its objects
// must still be there to use and delete.
TEST(GdiPlusExitDeathTest, StaticsMadeBeforeTheTableDeleteTheirObjectsSafely) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: no table exists yet
  EXPECT_EXIT(
      {
        struct THeld {
          GpPen* Pen = nullptr;
          GpSolidFill* Brush = nullptr;
          ~THeld() {
            GdipSetPenWidth(Pen, 3);  // still its own until deleted
            GdipDeletePen(Pen);
            GdipDeleteBrush(Brush);
          }
        };
        static THeld held;
        ULONG_PTR token = 0;
        GdiplusStartupInput input;
        GdiplusStartup(&token, &input, nullptr);
        GdipCreatePen1(kOpaqueBlack, 2, UnitPixel, &held.Pen);
        GdipCreateSolidFill(kOpaqueRed, &held.Brush);
        std::exit(held.Pen && held.Brush ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
