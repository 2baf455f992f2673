// The antialiased canvas: which pixels shapes cover (not the antialiased values), pen and brush
// state, text measuring, the library binding's count, the plain path, metafiles and the
// creation failures.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/pxcanvas.h"
#include "core/pxsettings.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"
#include "tests/gdiplus/MetafileBytes.h"

namespace {

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;

class Canvas : public ::testing::Test {
 protected:
  void SetUp() override { Make(120, 80); }

  void Make(int32_t w, int32_t h) {
    bmp_ = std::make_unique<TBitmap>();
    bmp_->SetPixelFormat(pf24bit);
    bmp_->SetSize(w, h);
    TCanvas* c = bmp_->Canvas();
    c->Brush()->SetColor(clWhite);
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(TRect{0, 0, w, h});
  }

  TColor At(int32_t x, int32_t y) { return bmp_->Canvas()->Pixels(x, y) & 0xFFFFFF; }

  // Bounds (inclusive) of the pixels that are no longer white; Left > Right when none.
  TRect Covered() {
    TRect r{1 << 20, 1 << 20, -1, -1};
    for (int32_t y = 0; y < bmp_->Height(); ++y)
      for (int32_t x = 0; x < bmp_->Width(); ++x)
        if (At(x, y) != clWhite) {
          r.Left = std::min(r.Left, x);
          r.Top = std::min(r.Top, y);
          r.Right = std::max(r.Right, x);
          r.Bottom = std::max(r.Bottom, y);
        }
    return r;
  }

  // A canvas without antialiasing, clear pen, solid brush of Fill.
  std::unique_ptr<TPXCanvas> Plain(TColor Fill, bool AntiAlias = false) {
    auto c = std::make_unique<TPXCanvas>(bmp_->Canvas(), AntiAlias, true);
    c->Pen()->SetStyle(psClear);
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(Fill);
    return c;
  }

  std::unique_ptr<TBitmap> bmp_;
};

// Without antialiasing exactly 9 x 19 pixels from (10, 10); antialiased, the same area with
// half-covered edge pixels.
TEST_F(Canvas, FillRectCoversNineByNineteen) {
  for (const TRect r : {TRect{10, 10, 20, 30}, TRect{20, 30, 10, 10}}) {
    Make(64, 64);
    Plain(kRed)->FillRect(r);
    const TRect got = Covered();
    EXPECT_EQ(got.Left, 10);
    EXPECT_EQ(got.Top, 10);
    EXPECT_EQ(got.Right - got.Left + 1, 9);
    EXPECT_EQ(got.Bottom - got.Top + 1, 19);
    EXPECT_EQ(At(10, 10), kRed);
    EXPECT_EQ(At(18, 28), kRed);

    Make(64, 64);
    Plain(kRed, true)->FillRect(r);
    double area = 0;  // red over white: green falls with the coverage
    for (int32_t y = 0; y < 64; ++y)
      for (int32_t x = 0; x < 64; ++x) area += (255 - ((At(x, y) >> 8) & 0xFF)) / 255.0;
    EXPECT_NEAR(area, 9 * 19, 1.0);
    EXPECT_EQ(At(14, 20), kRed);
    EXPECT_EQ(At(9, 20), clWhite);
    EXPECT_EQ(At(20, 20), clWhite);
  }
}

// The corner of exactly 20 draws its first arc 20 wide and the other three 21 wide from X1 + 78;
// 19 and 21 draw four equal arcs. Compared with the path built arc by arc.
TEST_F(Canvas, RoundRectCornerTwentyRule) {
  struct TCase {
    int32_t Corner, First, Others, Offset;
  };
  for (const TCase tc : {TCase{20, 20, 21, 78}, TCase{19, 19, 19, 80}, TCase{21, 21, 21, 78}}) {
    SCOPED_TRACE(tc.Corner);
    Make(120, 80);
    Plain(kRed)->RoundRect(0, 0, 100, 50, tc.Corner, tc.Corner);
    std::vector<TColor> drawn;
    for (int32_t y = 0; y < 80; ++y)
      for (int32_t x = 0; x < 120; ++x) drawn.push_back(At(x, y));
    Make(120, 80);
    {
      auto c = Plain(kRed);
      GpPath* path = nullptr;
      ASSERT_EQ(GdipCreatePath(FillModeAlternate, &path), Ok);
      const REAL f = static_cast<REAL>(tc.First), o = static_cast<REAL>(tc.Others);
      const REAL bottom = static_cast<REAL>(50 - (tc.Corner == 20 ? 1 : 0) - tc.Corner - 1);
      GdipAddPathArc(path, 0, 0, f, f, 180, 90);
      GdipAddPathArc(path, static_cast<REAL>(tc.Offset), 0, o, o, 270, 90);
      GdipAddPathArc(path, static_cast<REAL>(tc.Offset), bottom, o, o, 0, 90);
      GdipAddPathArc(path, 0, bottom, o, o, 90, 90);
      GdipClosePathFigure(path);
      GdipFillPath(c->Graphics(), c->Brush()->Handle(), path);
      GdipDrawPath(c->Graphics(), c->Pen()->Handle(), path);
      GdipDeletePath(path);
    }
    int32_t differences = 0;
    for (int32_t y = 0; y < 80; ++y)
      for (int32_t x = 0; x < 120; ++x) differences += At(x, y) != drawn[static_cast<size_t>(y * 120 + x)];
    EXPECT_EQ(differences, 0);
  }

  // A corner larger than the box is cut to it: the shape stays inside.
  Make(120, 80);
  Plain(kRed)->RoundRect(0, 0, 100, 50, 500, 500);
  const TRect got = Covered();
  EXPECT_GE(got.Left, 0);
  EXPECT_LE(got.Right, 99);
  EXPECT_LE(got.Bottom, 49);
  EXPECT_EQ(At(50, 25), kRed);
}

// Polygons are outlined first and filled over it; rectangles fill first and frame over it.
TEST_F(Canvas, WideTranslucentPenPolygonIsFilledOverTheInnerHalfOfItsOutline) {
  auto draw = [&](bool polygon) {
    Make(80, 80);
    auto c = std::make_unique<TPXCanvas>(bmp_->Canvas(), false, true);
    c->Pen()->SetColor(clBlack);
    c->Pen()->SetWidth(10);
    c->Pen()->SetTransparency(128);
    c->Brush()->SetColor(kRed);
    if (polygon) {
      const TPoint pts[] = {{20, 20}, {60, 20}, {60, 60}, {20, 60}};
      c->Polygon(pts, 3);
    } else {
      c->Rectangle(20, 20, 61, 61);
    }
  };
  draw(true);
  EXPECT_EQ(At(22, 40), kRed);       // inner half of the outline: fill on top
  EXPECT_NE(At(17, 40), clWhite);    // outer half: the translucent pen over white
  EXPECT_NE(At(17, 40), kRed);
  EXPECT_EQ(At(40, 40), kRed);
  draw(false);
  EXPECT_NE(At(22, 40), kRed);  // the frame lies over the fill
}

TEST_F(Canvas, PenAndBrushState) {
  auto c = Plain(kRed);
  // A blank measures as a dash.
  EXPECT_GT(c->TextWidth("-"), 0);
  EXPECT_EQ(c->TextWidth(" "), c->TextWidth("-"));
  TPXEmptyCanvas measuring;  // no target: the same measure on a private bitmap
  TPXCanvas antialiased(bmp_->Canvas(), true, true);
  EXPECT_EQ(measuring.TextWidth("Wide text"), antialiased.TextWidth("Wide text"));

  // Clear, then solid again with the same colour: the line shows.
  c->Pen()->SetColor(kBlue);
  c->Pen()->SetStyle(psSolid);
  c->Pen()->SetStyle(psClear);
  c->DrawLineF(5, 5, 60, 5);
  EXPECT_EQ(At(30, 5), clWhite);
  c->Pen()->SetStyle(psSolid);
  c->DrawLineF(5, 5, 60, 5);
  EXPECT_EQ(At(30, 5), kBlue);
  EXPECT_EQ(bmp_->Canvas()->Pen()->Style(), psSolid);  // mirrored

  c->Brush()->SetGradient(6, 100, 40);
  EXPECT_EQ(c->Brush()->GradientStart().X, 100);
  EXPECT_EQ(c->Brush()->GradientStart().Y, 0);
  EXPECT_EQ(c->Brush()->GradientEnd().X, 0);
  EXPECT_EQ(c->Brush()->GradientEnd().Y, 40);
  c->Brush()->SetGradient(8, 101, 41);
  EXPECT_EQ(c->Brush()->GradientStart().Y, 20);
  EXPECT_EQ(c->Brush()->GradientEnd().X, 50);
}

TEST_F(Canvas, DrawShapeOnCanvasBorder) {
  // No border colour: no outline and the box keeps its size.
  {
    auto c = std::make_unique<TPXCanvas>(bmp_->Canvas(), true, true);
    DrawShapeOnCanvas(c.get(), 10, 10, 40, 30, clNone, 6, 1.0, kRed, kRed, 0, 1.0, 4, 0, false);
    EXPECT_EQ(c->SmoothingMode(), 5);  // restored
  }
  TRect got = Covered();
  EXPECT_EQ(got.Left, 10);
  EXPECT_EQ(got.Top, 10);
  EXPECT_EQ(got.Right, 48);
  EXPECT_EQ(got.Bottom, 38);
  EXPECT_EQ(At(10, 10), kRed);
  EXPECT_EQ(At(48, 38), kRed);

  // A border of 6: the box moves in by 3 and the outline is drawn.
  Make(120, 80);
  {
    auto c = std::make_unique<TPXCanvas>(bmp_->Canvas(), false, true);
    DrawShapeOnCanvas(c.get(), 10, 10, 40, 30, kBlue, 6, 1.0, kRed, kRed, 0, 1.0, 4, 0, false);
  }
  EXPECT_EQ(At(13, 20), kBlue);
  EXPECT_EQ(At(30, 25), kRed);
}

TEST_F(Canvas, BindingCount) {
  InitGdiPlusUnit();
  ReleaseGdiPlus(false);  // at 0: nothing
  EXPECT_EQ(GdiPlusRefCount(), 0);
  EXPECT_FALSE(GdiPlusLoaded());
  BindGdiPlus();
  EXPECT_EQ(GdiPlusRefCount(), 1);
  EXPECT_TRUE(GdiPlusLoaded());
  ReleaseGdiPlus(false);  // a program keeps the library
  EXPECT_EQ(GdiPlusRefCount(), 0);
  EXPECT_TRUE(GdiPlusLoaded());
  ReleaseGdiPlus(false);
  EXPECT_EQ(GdiPlusRefCount(), 0);
  ReleaseGdiPlus(true);
  EXPECT_EQ(GdiPlusRefCount(), -1);
  EXPECT_FALSE(GdiPlusLoaded());
  InitGdiPlusUnit();
  {
    TPXCanvas c(bmp_->Canvas(), true, true);
    EXPECT_EQ(GdiPlusRefCount(), 1);
  }
  EXPECT_EQ(GdiPlusRefCount(), 0);
}

TEST_F(Canvas, SettingsOffTakesThePlainCanvas) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const uint8_t saved = s->FUseGDIPlus;
  s->FUseGDIPlus = 0;
  {
    auto c = Plain(kRed, true);
    EXPECT_FALSE(c->UseGDIPlus());
    EXPECT_EQ(c->Graphics(), nullptr);
    c->FillRect(TRect{10, 10, 20, 30});  // the class library's fill: 10 x 20
    EXPECT_EQ(Covered().Right, 19);
    EXPECT_EQ(Covered().Bottom, 29);
    c->Pen()->SetStyle(psSolid);
    c->Pen()->SetColor(kBlue);
    c->MoveTo(40, 50);
    c->LineTo(80, 50);  // the end point is left out
    EXPECT_EQ(At(40, 50), kBlue);
    EXPECT_EQ(At(79, 50), kBlue);
    EXPECT_EQ(At(80, 50), clWhite);
    EXPECT_EQ(c->TextWidth("Wide"), bmp_->Canvas()->TextWidth("Wide"));
  }
  s->FUseGDIPlus = saved;
}

TEST_F(Canvas, MetafilesFromBytes) {
  struct TCase {
    std::vector<uint8_t> Bytes;
    bool Wmf;
  };
  const TCase cases[] = {{metafile_bytes::RedRectWmf(), true}, {metafile_bytes::RedRectEmf(), false}};
  for (const TCase& tc : cases) {
    SCOPED_TRACE(tc.Wmf ? "wmf" : "emf");
    TMemoryStream stream;
    stream.WriteBuffer(tc.Bytes.data(), static_cast<int64_t>(tc.Bytes.size()));
    stream.SetPosition(0);
    auto m = TPXMetafile::CreateFromStream(&stream);
    EXPECT_EQ(m->GetWidth(), 100);
    EXPECT_EQ(m->GetHeight(), 50);
    EXPECT_EQ(m->IsWMF(), tc.Wmf);
    EXPECT_EQ(m->IsEMF(), !tc.Wmf);
    Make(120, 80);
    {
      TPXCanvas c(bmp_->Canvas(), true, true);
      c.DrawMetafile(m.get(), 0, 0, 100, 50);
    }
    EXPECT_EQ(At(50, 25), kRed);
    EXPECT_EQ(At(10, 25), clWhite);
    EXPECT_EQ(At(50, 45), clWhite);
  }
  TMemoryStream junk;
  const std::string text = "not a metafile at all, only some words";
  junk.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  junk.SetPosition(0);
  for (const auto& m : {TPXMetafile::CreateFromStream(&junk), TPXMetafile::CreateFromFile("/nonexistent/a.wmf")}) {
    EXPECT_EQ(m->GetWidth(), 0);
    EXPECT_EQ(m->GetHeight(), 0);
    EXPECT_FALSE(m->IsWMF());
    EXPECT_FALSE(m->IsEMF());
  }
}

TEST_F(Canvas, CreationFailureTexts) {
  struct TCase {
    TPXGdiPlusFault Fault;
    const char* Text;
  };
  const TCase cases[] = {
      {gfGraphics, "Cannot create TPXCanvas. Ensure GDI+ is installed on system."},
      {gfPen, "Cannot create TPXPen. Ensure GDI+ is installed on system."},
      {gfSolidBrush, "Cannot create TPXBrush (1). Ensure GDI+ is installed on system."},
      {gfHatchBrush, "Cannot create TPXBrush (2). Ensure GDI+ is installed on system."},
      {gfGradientBrush, "Cannot create TPXBrush (3). Ensure GDI+ is installed on system."},
  };
  for (const TCase& tc : cases) {
    SCOPED_TRACE(tc.Text);
    const int32_t count = GdiPlusRefCount();
    std::string message;
    try {
      TPXCanvas c(bmp_->Canvas(), true, true);
      SetGdiPlusFault(tc.Fault);
      if (tc.Fault == gfHatchBrush) c.Brush()->SetStyle(bsCross);
      if (tc.Fault == gfGradientBrush) c.Brush()->SetGradient(1, 10, 10);
      TPXCanvas other(bmp_->Canvas(), true, true);
    } catch (const EPXException& e) {
      message = e.Message();
    }
    SetGdiPlusFault(gfNone);
    EXPECT_EQ(message, tc.Text);
    EXPECT_EQ(GdiPlusRefCount(), count);  // a failed canvas gives its reference back
  }
}

}  // namespace
