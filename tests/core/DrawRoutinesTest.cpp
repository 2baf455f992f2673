// Drawing routines and the colour pickers: the two-colour frame, the hint box and label, the
// shadows, the video wrappers, the colour dialog and the palette dialog (scripted, offscreen).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "core/hypxutils_draw.h"
#include "core/pxsettings.h"
#include "core/pxwords.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/FormsTesting.h"
#include "platform/forms/StdCtrls.h"

namespace {

std::unique_ptr<TBitmap> Make24(int32_t W, int32_t H, TColor Fill) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(W, H);
  b->Canvas()->Brush()->SetColor(Fill);
  b->Canvas()->Brush()->SetStyle(bsSolid);
  b->Canvas()->FillRect(Rect(0, 0, W, H));
  return b;
}

TRGB Px(TBitmap* B, int32_t X, int32_t Y) { return static_cast<const TRGB*>(B->ScanLine(Y))[X]; }
bool Is(const TRGB& C, uint8_t R, uint8_t G, uint8_t B) { return C.r == R && C.g == G && C.b == B; }
uint8_t Scaled(uint8_t V, double F) { return static_cast<uint8_t>(std::nearbyint(V * F)); }

// ---------------------------------------------------------------------------------------------
// Frames, hints, shadows

TEST(DrawRoutines, DrawFrame3DLeavesOutEachLinesEndPoint) {
  auto b = Make24(10, 10, clWhite);
  TCanvas* c = b->Canvas();
  c->Pen()->SetMode(pmNot);
  c->Pen()->SetWidth(3);
  DrawFrame3D(c, 1, 1, 6, 5, clRed, clBlue);
  EXPECT_TRUE(Is(Px(b.get(), 1, 1), 255, 0, 0));
  EXPECT_TRUE(Is(Px(b.get(), 1, 4), 255, 0, 0));
  EXPECT_TRUE(Is(Px(b.get(), 5, 1), 255, 0, 0));
  EXPECT_TRUE(Is(Px(b.get(), 6, 1), 255, 255, 255)) << "(Right, Top) is no line's pixel";
  EXPECT_TRUE(Is(Px(b.get(), 1, 5), 0, 0, 255)) << "the second run starts over the first";
  EXPECT_TRUE(Is(Px(b.get(), 6, 5), 0, 0, 255));
  EXPECT_TRUE(Is(Px(b.get(), 6, 2), 0, 0, 255));
  EXPECT_TRUE(Is(Px(b.get(), 7, 5), 255, 255, 255));
  EXPECT_TRUE(Is(Px(b.get(), 2, 2), 255, 255, 255));
  EXPECT_EQ(c->Pen()->Mode(), pmCopy);
  EXPECT_EQ(c->Pen()->Width(), 1);
}

TEST(DrawRoutines, DrawHintBoxClampsAndSavesTheBackground) {
  auto b = Make24(200, 100, clGreen);
  TCanvas* c = b->Canvas();
  c->SetPixels(0, 0, clRed);
  TFont font;
  TBrush brush;
  brush.SetColor(clYellow);
  TBitmap background;
  const char* text = "Hint text";
  c->SetFont(&font);
  const TSize extent = c->TextExtent(text);
  int32_t x = -10, y = -3;
  DrawHintBox(c, x, y, text, &font, &brush, &background, 200, 100, clWhite, clBlack);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(background.Width(), extent.cx + 12);
  EXPECT_EQ(background.Height(), extent.cy + 12);
  EXPECT_EQ(background.PixelFormat(), pf24bit);
  EXPECT_TRUE(Is(Px(&background, 0, 0), 255, 0, 0)) << "the area as it was";
  EXPECT_TRUE(Is(Px(&background, 7, 7), 0, 128, 0));
  EXPECT_TRUE(Is(Px(b.get(), 6, 6), 255, 255, 255)) << "top-left frame";
  EXPECT_TRUE(Is(Px(b.get(), extent.cx + 11, extent.cy + 11), 0, 0, 0)) << "bottom-right frame";
  EXPECT_TRUE(Is(Px(b.get(), 7, 7), 255, 255, 0)) << "the brush's fill";
  EXPECT_TRUE(Is(Px(b.get(), 5, 5), 0, 128, 0)) << "the first 6 pixels stay";

  // At the right edge: AreaWidth - (text width + 12) - 1, i.e. 137 for a text 50 wide.
  x = 190;
  y = 95;
  DrawHintBox(c, x, y, text, &font, &brush, nullptr, 200, 100, clWhite, clBlack);
  EXPECT_EQ(x, 200 - (extent.cx + 12) - 1);
  EXPECT_EQ(y, 100 - (extent.cy + 12) - 1);
}

TEST(DrawRoutines, DrawHintLabelFillsInTheHintStyle) {
  TPXHintStyle* style = GlobalSettingsInstance()->FHintStyle.get();
  const TColor savedBorder = style->BackColor, savedFill = style->TextColor;
  const int32_t savedOpacity = style->Opacity;
  style->BackColor = clRed;    // border
  style->TextColor = clWhite;  // fill
  for (const int32_t opacity : {255, 128}) {
    style->Opacity = opacity;
    auto b = Make24(200, 60, clBlack);
    DrawHintLabel(b->Canvas(), 10, 10, "12 x 34", "", false);
    EXPECT_TRUE(Is(Px(b.get(), 16, 16), 255, 0, 0)) << "the border at (X + 6, Y + 6)";
    const TRGB inside = Px(b.get(), 18, 18);  // left of the centred text
    if (opacity == 255) {
      EXPECT_TRUE(Is(inside, 255, 255, 255));
    } else {
      EXPECT_NEAR(inside.g, 128, 2) << "white at half opacity over black";
    }
    EXPECT_TRUE(Is(Px(b.get(), 15, 15), 0, 0, 0));
  }
  // Centred: X moves left by half the width + 6, and never below 0.
  style->Opacity = 255;
  auto b = Make24(200, 60, clBlack);
  DrawHintLabel(b->Canvas(), 3, 3, "12 x 34", "", true);
  EXPECT_TRUE(Is(Px(b.get(), 6, 9), 255, 0, 0));
  EXPECT_TRUE(Is(Px(b.get(), 5, 9), 0, 0, 0));
  style->BackColor = savedBorder;
  style->TextColor = savedFill;
  style->Opacity = savedOpacity;
}

TEST(DrawRoutines, DrawShadowRightKind2DarkensByColumn) {
  // W = 9: the innermost column by exp(-1.6), the outermost by exp(-0.1 - 1/54); column h runs
  // from Top + W to Bottom - W + h + 3.
  const int32_t left = 10, right = 18, top = 0, bottom = 40;
  auto viaBitmap = Make24(40, 50, RGB(200, 200, 200));
  auto viaCanvas = Make24(40, 50, RGB(200, 200, 200));
  DrawShadowRight(viaBitmap->Canvas(), viaBitmap.get(), left, top, right, bottom, 2, 0);
  DrawShadowRight(viaCanvas->Canvas(), nullptr, left, top, right, bottom, 2, 0);
  for (TBitmap* b : {viaBitmap.get(), viaCanvas.get()}) {
    EXPECT_EQ(Px(b, 10, 20).g, Scaled(200, std::exp(-1.6)));
    EXPECT_EQ(Px(b, 18, 20).g, Scaled(200, std::exp(-0.1 - 1.0 / 54)));
    EXPECT_EQ(Px(b, 10, 8).g, 200);
    EXPECT_EQ(Px(b, 10, 9).g, Scaled(200, std::exp(-1.6)));
    EXPECT_EQ(Px(b, 10, 34).g, Scaled(200, std::exp(-1.6)));
    EXPECT_EQ(Px(b, 10, 35).g, 200);
    EXPECT_EQ(Px(b, 18, 42).g, Scaled(200, std::exp(-0.1 - 1.0 / 54)));
    EXPECT_EQ(Px(b, 18, 43).g, 200);
    EXPECT_EQ(Px(b, 19, 20).g, 200);
  }
  // Kind 2 below: row r over x from Left + H to Right - H + r + 1.
  auto below = Make24(60, 20, RGB(100, 100, 100));
  DrawShadowBottom(below->Canvas(), below.get(), 0, 5, 40, 10, 2, 0);  // H = 6
  EXPECT_EQ(Px(below.get(), 6, 5).g, Scaled(100, std::exp(-1.6)));
  EXPECT_EQ(Px(below.get(), 5, 5).g, 100);
  EXPECT_EQ(Px(below.get(), 35, 5).g, Scaled(100, std::exp(-1.6)));
  EXPECT_EQ(Px(below.get(), 36, 5).g, 100);
  EXPECT_EQ(Px(below.get(), 40, 10).g, Scaled(100, std::exp(-0.1 - 1.0 / 24)));
  // Near and past the edges nothing breaks.
  DrawShadowRight(viaCanvas->Canvas(), viaCanvas.get(), 35, -20, 45, 80, 2, 0);
  DrawShadowBottom(viaCanvas->Canvas(), viaCanvas.get(), -30, 45, 60, 55, 2, 0);
  DrawShadowRight(viaCanvas->Canvas(), viaCanvas.get(), 5, 5, 4, 4, 2, 0);
}

TEST(DrawRoutines, ShadowFillAndRamp) {
  auto b = Make24(30, 30, clWhite);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clBlue);
  DrawShadowRight(c, nullptr, 10, 2, 13, 20, 1, 0);  // W = 4: (10, 6)-(13, 21)
  EXPECT_TRUE(Is(Px(b.get(), 10, 6), 0, 0, 255));
  EXPECT_TRUE(Is(Px(b.get(), 12, 20), 0, 0, 255));
  EXPECT_TRUE(Is(Px(b.get(), 13, 20), 255, 255, 255));
  EXPECT_TRUE(Is(Px(b.get(), 10, 5), 255, 255, 255));

  // Kind 3: level round(exp(j / W) / e * 255) capped by round(exp((H - 3i) / H) / e * 255).
  auto r = Make24(30, 30, clWhite);
  DrawShadowRight(r->Canvas(), nullptr, 5, 0, 9, 19, 3, 0);  // W = 5, H = 20
  auto level = [](double v) { return static_cast<uint8_t>(std::nearbyint(std::exp(v) / std::numbers::e * 255)); };
  EXPECT_EQ(Px(r.get(), 5, 0).g, level(0));
  EXPECT_EQ(Px(r.get(), 10, 0).g, 255);
  EXPECT_EQ(Px(r.get(), 8, 10).g, std::min(level(3.0 / 5), level((20.0 - 30) / 20)));
  EXPECT_EQ(Px(r.get(), 5, 17).g, 255) << "the first column moves right below H - W + 1";
  EXPECT_NE(Px(r.get(), 6, 17).g, 255);
}

TEST(DrawRoutines, DrawSoftShadowDarkensOnlyAroundTheRectangle) {
  auto b = Make24(60, 60, clWhite);
  DrawSoftShadow(b.get(), 20, 20, 39, 39, 0);
  EXPECT_TRUE(Is(Px(b.get(), 25, 25), 255, 255, 255));
  EXPECT_LT(Px(b.get(), 41, 30).g, 255);
  EXPECT_LT(Px(b.get(), 18, 30).g, 255);
  EXPECT_TRUE(Is(Px(b.get(), 50, 50), 255, 255, 255));
  EXPECT_TRUE(Is(Px(b.get(), 14, 30), 255, 255, 255));
  const uint8_t near = Px(b.get(), 40, 30).g, far = Px(b.get(), 44, 30).g;
  EXPECT_LT(near, far);
  // At the bitmap's corner and on other depths nothing is touched outside.
  DrawSoftShadow(b.get(), 0, 0, 5, 5, 0);
  DrawSoftShadow(b.get(), 55, 55, 70, 70, 0);
  TBitmap other(10, 10);
  DrawSoftShadow(&other, 2, 2, 6, 6, 0);
}

TEST(DrawRoutines, VideoWrappersReportFailure) {
  EXPECT_EQ(VfwDrawDibOpen(), nullptr);
  EXPECT_FALSE(VfwDrawDibClose(nullptr));
  EXPECT_FALSE(VfwDrawDibDraw(nullptr, nullptr, 0, 0, 1, 1, nullptr, nullptr, 0, 0, 1, 1, 0));
  EXPECT_EQ(VfwDrawDibRealize(nullptr, nullptr, FALSE), 0u);
}

// ---------------------------------------------------------------------------------------------
// The colour dialog

class ColorPickers : public ::testing::Test {
 protected:
  void SetUp() override {
    TDialogScript::Start();
    GlobalSettingsInstance()->FCustomColors.clear();
  }
  void TearDown() override {
    TDialogScript::Stop();
    GlobalSettingsInstance()->FCustomColors.clear();
  }
};

TEST_F(ColorPickers, ExecuteColorDialogCancelledKeepsTheColourAndSavesCustomColours) {
  TColor color = clRed;
  TDialogScript::Push(TDialogAnswer::Cancelled());
  EXPECT_FALSE(ExecuteColorDialog(color, 0, 0));
  EXPECT_EQ(color, clRed);
  const std::string saved = GlobalSettingsInstance()->FCustomColors;
  EXPECT_NE(saved.find("ColorA=D670DA"), std::string::npos) << saved;
  EXPECT_NE(saved.find("ColorP=1E69D2"), std::string::npos) << saved;
}

TEST_F(ColorPickers, ExecuteColorDialogConfirmedTakesColourAndPosition) {
  TColor color = clRed;
  TRect bounds;
  TDialogAnswer answer = TDialogAnswer::ChooseColor(clBlue, {clLime});
  answer.WhileOpen = [&](TCommonDialog* d) { bounds = d->WindowBounds(); };
  TDialogScript::Push(answer);
  EXPECT_TRUE(ExecuteColorDialog(color, 40, 70));
  EXPECT_EQ(color, clBlue);
  EXPECT_EQ(bounds.Left, 40);
  EXPECT_EQ(bounds.Top, 70);
  EXPECT_EQ(GlobalSettingsInstance()->FCustomColors.find("ColorA=D670DA"), std::string::npos);
  // The custom colours saved come back into the next dialog.
  std::string seen;
  TDialogAnswer check = TDialogAnswer::Accepted();
  check.WhileOpen = [&](TCommonDialog* d) { seen = static_cast<TColorDialog*>(d)->CustomColors()->Text(); };
  TDialogScript::Push(check);
  EXPECT_TRUE(ExecuteColorDialog(color, 0, 0));
  EXPECT_EQ(seen, GlobalSettingsInstance()->FCustomColors);
  EXPECT_EQ(color, clBlue);
}

// ---------------------------------------------------------------------------------------------
// The palette dialog

struct TFormFree {
  void operator()(TCustomForm* Form) const { Form->Free(); }
};

std::vector<TRGB> TestPalette(int32_t Count) {
  std::vector<TRGB> p(static_cast<size_t>(Count));
  for (int32_t i = 0; i < Count; ++i)
    p[static_cast<size_t>(i)] =
        TRGB{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(7 * i)};
  return p;
}

TColor AsColor(const TRGB& c) { return c.r | (c.g << 8) | (c.b << 16); }

TPixoranPaletteDialog* OpenPaletteDialog() {
  for (int32_t i = 0; i < Screen()->FormCount(); ++i)
    if (auto* d = dynamic_cast<TPixoranPaletteDialog*>(Screen()->Forms(i)); d && d->Visible()) return d;
  ADD_FAILURE() << "no palette dialog is showing";
  return nullptr;
}

// Ends the modal loop whatever happened, so a failing test cannot hang.
void EnsureClosed(TPixoranPaletteDialog* D) {
  ProcessPending();
  if (D && D->ModalResult() == mrNone) D->SetModalResult(mrCancel);
  else if (!D && Screen()->ActiveForm()) Screen()->ActiveForm()->SetModalResult(mrCancel);
}

TEST_F(ColorPickers, PaletteDialogWithoutPaletteRaises) {
  TColor color = clRed;
  try {
    ExecutePaletteDialog(color, nullptr, 10, 0, 0);
    ADD_FAILURE() << "no exception";
  } catch (const EPXException& e) {
    EXPECT_EQ(e.Message(), "Invalid Palette!");
  }
  EXPECT_EQ(color, clRed);
}

TEST_F(ColorPickers, PaletteDialogLaysOutCellsAndButton) {
  std::unique_ptr<TPixoranPaletteDialog, TFormFree> d(new TPixoranPaletteDialog(nullptr));  // freed by TFormFree
  EXPECT_EQ(d->Caption(), "Palette");
  EXPECT_EQ(d->Width(), 520);
  EXPECT_EQ(d->Height(), 199);
  EXPECT_EQ(d->BorderStyle(), bsDialog);
  EXPECT_EQ(d->Position(), poScreenCenter);
  TButton* cancel = d->CancelButton();
  EXPECT_EQ(cancel->Top(), 136);
  EXPECT_EQ(cancel->Left() + cancel->Width(), d->ClientWidth() - 8);
  EXPECT_TRUE(cancel->Cancel());
  EXPECT_EQ(cancel->ModalResult(), mrCancel);

  const std::vector<TRGB> full = TestPalette(256);
  d->SetPalette(full.data(), 256);
  EXPECT_EQ(d->CellAt(1, 1), 0);
  EXPECT_EQ(d->CellAt(16 * 31 + 1, 1), 31);
  EXPECT_EQ(d->CellAt(1, 16 * 7 + 1), 224);
  EXPECT_EQ(d->CellAt(16 * 31 + 16, 16 * 7 + 16), 255);
  EXPECT_EQ(d->CellAt(1, 16 * 8 + 1), -1) << "8 rows of 32";
  EXPECT_EQ(d->CellAt(16 * 32 + 1, 1), -1) << "right of the last column";
  const std::vector<TRGB> some = TestPalette(40);
  d->SetPalette(some.data(), 40);
  EXPECT_EQ(d->CellAt(16 * 7 + 1, 17), 39);
  EXPECT_EQ(d->CellAt(16 * 8 + 1, 17), -1);
  d->SetPalette(nullptr, 5);
  EXPECT_THROW(d->Execute(), EPXException);
}

TEST_F(ColorPickers, PaletteDialogPicksTheClickedCell) {
  const std::vector<TRGB> pal = TestPalette(40);
  TColor color = clRed;
  TRect bounds;
  int32_t hovered = -2, hoveredOverEmpty = -2;
  TColorRef frame = 0, other = 0, inner = 0;
  std::string caption;
  Application()->QueueCall([&] {
    TPixoranPaletteDialog* d = OpenPaletteDialog();
    if (!d) return EnsureClosed(nullptr);
    bounds = d->BoundsRect();
    caption = d->CancelButton()->Caption();
    SimulateMouse(TSimMouseAction::Move, mbLeft, d->ClientToScreen(TPoint(3 * 16 + 5, 5)));
    ProcessPending();
    hovered = d->Hovered();
    frame = ClientPixel(d->Handle(), 3 * 16 + 1, 1);
    other = ClientPixel(d->Handle(), 4 * 16 + 1, 1);
    inner = ClientPixel(d->Handle(), 3 * 16 + 8, 8);
    SimulateMouse(TSimMouseAction::Move, mbLeft, d->ClientToScreen(TPoint(20 * 16 + 5, 3 * 16 + 5)));
    ProcessPending();
    hoveredOverEmpty = d->Hovered();
    const TPoint at = d->ClientToScreen(TPoint(5 * 16 + 5, 16 + 5));  // cell 37
    SimulateMouse(TSimMouseAction::Move, mbLeft, at);
    SimulateMouse(TSimMouseAction::Press, mbLeft, at);
    SimulateMouse(TSimMouseAction::Release, mbLeft, at);
    EnsureClosed(d);
  });
  EXPECT_TRUE(ExecutePaletteDialog(color, pal.data(), 40, 0, 0));
  EXPECT_EQ(color, AsColor(pal[37]));
  EXPECT_EQ(hovered, 3);
  EXPECT_EQ(hoveredOverEmpty, 3) << "moves over the empty area change nothing";
  EXPECT_EQ(frame, 0u) << "the hovered cell is framed black";
  EXPECT_EQ(other, 0xFFFFFFu);
  EXPECT_EQ(inner, static_cast<TColorRef>(AsColor(pal[3])));
  EXPECT_EQ(caption, GetLanguageWord(4));
  EXPECT_EQ(bounds.Left, (Screen()->Width() - 520) / 2);
  EXPECT_EQ(bounds.Top, (Screen()->Height() - 199) / 2);
}

TEST_F(ColorPickers, PaletteDialogPositionAndCancel) {
  const std::vector<TRGB> pal = TestPalette(8);
  struct Case {
    int32_t X, Y;
    bool Placed;
  };
  const int32_t sw = Screen()->Width(), sh = Screen()->Height();
  for (const Case c : {Case{10, 20, true}, Case{sw - 100, 20, false}, Case{10, sh - 50, false}, Case{-5, 20, false}}) {
    TColor color = clRed;
    TRect bounds;
    Application()->QueueCall([&] {
      TPixoranPaletteDialog* d = OpenPaletteDialog();
      if (d) {
        bounds = d->BoundsRect();
        d->CancelButton()->Click();
      }
      EnsureClosed(d);
    });
    EXPECT_FALSE(ExecutePaletteDialog(color, pal.data(), 8, c.X, c.Y));
    EXPECT_EQ(color, clRed) << "cancelled: the colour stays";
    if (c.Placed) {
      EXPECT_EQ(bounds.Left, c.X);
      EXPECT_EQ(bounds.Top, c.Y);
    } else {
      EXPECT_EQ(bounds.Left, (sw - 520) / 2) << c.X << "," << c.Y;
      EXPECT_EQ(bounds.Top, (sh - 199) / 2);
    }
  }
}

}  // namespace
