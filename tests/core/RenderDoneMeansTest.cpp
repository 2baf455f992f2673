// Printing through a filter leaves the picture as it was, and a canvas whose settings forbid the
// antialiased library draws every shape exactly as the plain canvas does.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/pxcanvas.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "platform/gdi/Graphics.h"

namespace {

std::unique_ptr<TBitmap> WhiteBitmap(int32_t W, int32_t H) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(W, H);
  for (int32_t y = 0; y < H; ++y) std::memset(b->ScanLine(y), 255, static_cast<size_t>(W) * 3);
  return b;
}

std::vector<uint8_t> Bytes(TBitmap* B) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < B->Height(); ++y) {
    const auto* r = static_cast<const uint8_t*>(B->ScanLine(y));
    out.insert(out.end(), r, r + 3 * B->Width());
  }
  return out;
}

std::vector<uint8_t> Bytes(TPXBitmap* B) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < B->Height(); ++y) out.insert(out.end(), B->Scanline(y), B->Scanline(y) + B->RowLen());
  return out;
}

}  // namespace

// The alpha channel is merged over the background into a copy on every path: the picture and its
// alpha never change, and a second call prints the same.
TEST(RenderDoneMeans, RenderToCanvasNeverChangesThePicture) {
  struct Case {
    TResampleFilter Filter;
    double Gamma;
  };
  for (const Case c : {Case{rfNone, 0.0}, Case{rfNone, 2.2}, Case{rfTriangle, 1.0}, Case{rfFastLinear, 2.2}}) {
    SCOPED_TRACE(testing::Message() << "filter " << static_cast<int>(c.Filter) << " gamma " << c.Gamma);
    auto src = TPXBitmap::CreateAllocated(20, 10, px24RGB);
    for (int32_t y = 0; y < 10; ++y)
      for (int32_t x = 0; x < 20; ++x) {
        uint8_t* p = src->Scanline(y) + 3 * x;
        p[0] = 0;
        p[1] = static_cast<uint8_t>(10 * x);
        p[2] = 0;
      }
    TPXBitmap* alpha = src->GetAlphaChannel();
    for (int32_t y = 0; y < 10; ++y)
      for (int32_t x = 0; x < 20; ++x) alpha->Scanline(y)[x] = x < 10 ? 0 : 255;
    alpha->FFull = 0;
    const std::vector<uint8_t> pixels = Bytes(src.get()), alphaBytes = Bytes(alpha);

    std::vector<uint8_t> first;
    for (int i = 0; i < 2; ++i) {
      auto canvas = WhiteBitmap(40, 20);
      src->RenderToCanvas(canvas->Canvas(), 0, 0, 40, 20, c.Filter, c.Gamma, clWhite, false);
      // Alpha 0 shows the white background, alpha 255 the picture (no red in it).
      const auto* row = static_cast<const uint8_t*>(canvas->ScanLine(10));
      EXPECT_EQ(row[3 * 2 + 2], 255);
      EXPECT_EQ(row[3 * 36 + 2], 0);
      if (i == 0) first = Bytes(canvas.get());
      else EXPECT_EQ(Bytes(canvas.get()), first) << "the second call prints the same";
      ASSERT_EQ(src->PeekAlphaChannel(), alpha);
      EXPECT_EQ(Bytes(src.get()), pixels);
      EXPECT_EQ(Bytes(alpha), alphaBytes);
      EXPECT_EQ(alpha->FFull, 0);
    }
  }
}

// With the settings' FUseGDIPlus 0 every operation is the plain canvas's own: drawn through the
// antialiased canvas (antialiasing asked) and directly, the pixels are the same.
TEST(RenderDoneMeans, SettingsOffDrawsEveryShapeAsThePlainCanvas) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const uint8_t saved = s->FUseGDIPlus;
  s->FUseGDIPlus = 0;
  const TPoint tri[3] = {TPoint(10, 60), TPoint(50, 15), TPoint(90, 70)};
  const TDPoint triF[3] = {TDPoint{10, 60}, TDPoint{50, 15}, TDPoint{90, 70}};
  struct Case {
    const char* Name;
    std::function<void(TPXCanvas&)> Px;
    std::function<void(TCanvas&)> Plain;
  };
  const Case cases[] = {
      {"FillRect", [](TPXCanvas& c) { c.FillRect(TRect{10, 12, 70, 50}); },
       [](TCanvas& c) { c.FillRect(TRect{10, 12, 70, 50}); }},
      {"Rectangle", [](TPXCanvas& c) { c.Rectangle(10, 12, 70, 50); },
       [](TCanvas& c) { c.Rectangle(10, 12, 70, 50); }},
      {"Ellipse", [](TPXCanvas& c) { c.Ellipse(8, 9, 91, 63); }, [](TCanvas& c) { c.Ellipse(8, 9, 91, 63); }},
      {"RoundRect", [](TPXCanvas& c) { c.RoundRect(5, 5, 105, 55, 20, 20); },
       [](TCanvas& c) { c.RoundRect(5, 5, 105, 55, 20, 20); }},
      {"Polygon", [&](TPXCanvas& c) { c.Polygon(tri, 2); }, [&](TCanvas& c) { c.Polygon({tri[0], tri[1], tri[2]}); }},
      {"PolygonF", [&](TPXCanvas& c) { c.PolygonF(triF, 2); },
       [&](TCanvas& c) { c.Polygon({tri[0], tri[1], tri[2]}); }},
      {"Polyline", [&](TPXCanvas& c) { c.Polyline(tri, 2); },
       [&](TCanvas& c) { c.Polyline({tri[0], tri[1], tri[2]}); }},
      {"Lines", [](TPXCanvas& c) { c.MoveTo(3, 70); c.LineTo(100, 4); c.LineTo(110, 70); },
       [](TCanvas& c) { c.MoveTo(3, 70); c.LineTo(100, 4); c.LineTo(110, 70); }},
      {"Arc", [](TPXCanvas& c) { c.Arc(10, 10, 90, 70, 90, 40, 10, 40); },
       [](TCanvas& c) { c.Arc(10, 10, 90, 70, 90, 40, 10, 40); }},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.Name);
    auto viaPx = WhiteBitmap(120, 80), direct = WhiteBitmap(120, 80);
    {
      TPXCanvas c(viaPx->Canvas(), true, true);
      EXPECT_FALSE(c.UseGDIPlus());
      c.Pen()->SetColor(0xFF0000);
      c.Pen()->SetStyle(psSolid);
      c.Pen()->SetWidth(3);
      c.Brush()->SetColor(0x0000FF);
      c.Brush()->SetStyle(bsSolid);
      tc.Px(c);
    }
    TCanvas* d = direct->Canvas();
    d->Pen()->SetColor(0xFF0000);
    d->Pen()->SetStyle(psSolid);
    d->Pen()->SetWidth(3);
    d->Brush()->SetColor(0x0000FF);
    d->Brush()->SetStyle(bsSolid);
    tc.Plain(*d);
    const std::vector<uint8_t> got = Bytes(viaPx.get()), want = Bytes(direct.get());
    EXPECT_NE(want, Bytes(WhiteBitmap(120, 80).get())) << "the shape draws something";
    EXPECT_TRUE(got == want);
  }
  s->FUseGDIPlus = saved;
}
