// Frames, the hint box and the measurement label, the shadows around view backgrounds and the
// video drawing wrappers.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/hypxutils_draw.h"
#include "core/hypxutils_ui.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "platform/gdiplus/GdiPlus.h"
#include "proc/pixoranproc_blur.h"

namespace {

uint8_t ScaleChannel(uint8_t Value, double Factor) {
  return static_cast<uint8_t>(std::clamp<int64_t>(Round(static_cast<long double>(Value) * Factor), 0, 255));
}

// The rows of a 24-bit platform bitmap, or nothing for other bitmaps.
bool Is24Bit(TBitmap* Bitmap) {
  return Bitmap && Bitmap->PixelFormat() == pf24bit && Bitmap->Width() > 0 && Bitmap->Height() > 0;
}

// Darkens pixel (X, Y) by Factor: in Bitmap's rows when it lies there, else through the canvas.
void DarkenPixel(TCanvas* Canvas, TBitmap* Bitmap, int32_t X, int32_t Y, double Factor) {
  if (Bitmap && X >= 0 && Y >= 0 && X < Bitmap->Width() && Y < Bitmap->Height()) {
    uint8_t* p = static_cast<uint8_t*>(Bitmap->ScanLine(Y)) + static_cast<int64_t>(X) * 3;
    for (int32_t c = 0; c < 3; ++c) p[c] = ScaleChannel(p[c], Factor);
    return;
  }
  if (!Canvas) return;
  const auto c = static_cast<TColorRef>(Canvas->Pixels(X, Y));
  if (c == CLR_INVALID) return;
  const TColor scaled = ScaleChannel(c & 0xFF, Factor) | (ScaleChannel((c >> 8) & 0xFF, Factor) << 8) |
                        (ScaleChannel((c >> 16) & 0xFF, Factor) << 16);
  Canvas->SetPixels(X, Y, scaled);
}

// Grey level of the shadow ramps: round(exp(V) / e * 255).
int32_t RampLevel(double V) {
  return static_cast<int32_t>(std::clamp<int64_t>(Round(std::exp(V) / std::numbers::e * 255), 0, 255));
}

TColor Grey(int32_t Level) { return Level | (Level << 8) | (Level << 16); }

// Factor of the darkening shadows for step K of N: exp(-0.1 - ((N - K) / (N / 3))^2 / 6).
double ShadowFactor(int32_t N, int32_t K) {
  const double u = (N - K) / (N / 3.0);
  return std::exp(-0.1 - u * u / 6);
}

// A translucent rectangle filled with Fill at Opacity and outlined with Border, through the
// antialiased drawing library; false when that cannot draw on the canvas.
bool TranslucentRectangle(TCanvas* Canvas, const TRect& R, TColor Fill, TColor Border, int32_t Opacity) {
  ULONG_PTR token = 0;
  GdiplusStartupInput input;
  if (GdiplusStartup(&token, &input, nullptr) != Ok) return false;
  bool done = false;
  GpGraphics* g = nullptr;
  if (GdipCreateFromHDC(Canvas->Handle(), &g) == Ok) {
    auto argb = [](TColor c, int32_t a) {
      const auto rgb = static_cast<uint32_t>(ColorToRGB(c));
      return (static_cast<ARGB>(std::clamp(a, 0, 255)) << 24) | ((rgb & 0xFF) << 16) | (rgb & 0xFF00) |
             ((rgb >> 16) & 0xFF);
    };
    // Whole-pixel edges: crisp without antialiasing.
    GdipSetSmoothingMode(g, SmoothingModeNone);
    GpSolidFill* brush = nullptr;
    GpPen* pen = nullptr;
    const auto w = static_cast<REAL>(R.Right - R.Left), h = static_cast<REAL>(R.Bottom - R.Top);
    if (GdipCreateSolidFill(argb(Fill, Opacity), &brush) == Ok &&
        GdipCreatePen1(argb(Border, 255), 1, UnitPixel, &pen) == Ok) {
      GdipFillRectangle(g, brush, static_cast<REAL>(R.Left), static_cast<REAL>(R.Top), w, h);
      GdipDrawRectangle(g, pen, static_cast<REAL>(R.Left), static_cast<REAL>(R.Top), w - 1, h - 1);
      done = true;
    }
    if (pen) GdipDeletePen(pen);
    if (brush) GdipDeleteBrush(brush);
    GdipDeleteGraphics(g);
  }
  GdiplusShutdown(token);
  return done;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Frames and hints

void DrawFrame3D(TCanvas* Canvas, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, TColor TopLeftColor,
                 TColor BottomRightColor) {
  if (!Canvas) return;
  TPen* pen = Canvas->Pen();
  pen->SetMode(pmCopy);
  pen->SetStyle(psSolid);
  pen->SetWidth(1);
  pen->SetColor(TopLeftColor);
  Canvas->MoveTo(Left, Bottom);
  Canvas->LineTo(Left, Top);
  Canvas->LineTo(Right, Top);
  pen->SetColor(BottomRightColor);
  Canvas->MoveTo(Left, Bottom);
  Canvas->LineTo(Right, Bottom);
  Canvas->LineTo(Right, Top);
}

void DrawHintBox(TCanvas* Canvas, int32_t& X, int32_t& Y, std::string_view Text, TFont* Font, TBrush* Brush,
                 TBitmap* Background, int32_t AreaWidth, int32_t AreaHeight, TColor TopLeftColor,
                 TColor BottomRightColor) {
  if (!Canvas) return;
  if (Font) Canvas->SetFont(Font);
  if (Brush) Canvas->SetBrush(Brush);
  const TSize extent = Canvas->TextExtent(Text);
  const int32_t w = extent.cx + 12, h = extent.cy + 12;
  X = std::min(std::max(X, 0), AreaWidth - w - 1);
  Y = std::min(std::max(Y, 0), AreaHeight - h - 1);
  if (Background) {
    Background->SetPixelFormat(pf24bit);
    Background->SetSize(w, h);
    TCanvas* bc = Background->Canvas();
    bc->SetCopyMode(cmSrcCopy);
    bc->CopyRect(Rect(0, 0, w, h), Canvas, Rect(X, Y, X + w, Y + h));
  }
  Canvas->FillRect(Rect(X + 6, Y + 6, X + w, Y + h));
  DrawFrame3D(Canvas, X + 6, Y + 6, X + w - 1, Y + h - 1, TopLeftColor, BottomRightColor);
  Canvas->TextOut(X + 9, Y + 9, Text);
}

void DrawHintLabel(TCanvas* Canvas, int32_t X, int32_t Y, std::string_view Text, std::string_view SizeText,
                   bool Centered) {
  if (!Canvas) return;
  const TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const TPXHintStyle* style = settings ? settings->FHintStyle.get() : nullptr;
  // The style holds the border colour, the fill colour and the fill's opacity, in that order.
  const TColor border = style ? style->BackColor : clBlack;
  const TColor fill = style ? style->TextColor : clWhite;
  const int32_t opacity = style ? style->Opacity : 255;

  Canvas->SetFont(GetDefaultUIFont());
  const int32_t width = std::max(Canvas->TextWidth(Text) + 16, Canvas->TextWidth(SizeText) + 16);
  const int32_t height = Canvas->TextHeight(Text) + 6;
  if (Centered) X -= width / 2 + 6;
  X = std::max(X, 0);
  Y = std::max(Y, 0);
  const TRect box = Rect(X + 6, Y + 6, X + width + 6, Y + height + 6);
  if (opacity >= 255 || !TranslucentRectangle(Canvas, box, fill, border, opacity)) {
    Canvas->Brush()->SetColor(fill);
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->Pen()->SetColor(border);
    Canvas->Pen()->SetStyle(psSolid);
    Canvas->Rectangle(box);
  }
  Canvas->Brush()->SetStyle(bsClear);
  Canvas->TextOut(X + (width - Canvas->TextWidth(Text)) / 2 + 6, Y + 9, Text);
}

// ---------------------------------------------------------------------------------------------
// Shadows

namespace {

// The ramped shadow: Along + 1 lines of Across + 1 pixels from Left, Top, lighter away from the
// object and cut off diagonally near the far end. Lines run down the right edge (AlongY) or
// across the bottom edge.
void DrawShadowRamp(TCanvas* Canvas, int32_t Left, int32_t Top, int32_t Along, int32_t Across, bool AlongY) {
  for (int32_t i = 0; i <= Along; ++i) {
    const int32_t cap = RampLevel(static_cast<double>(Along - 3 * i) / Along);
    const int32_t first = std::max(0, i - (Along - Across + 1));
    for (int32_t j = first; j <= Across; ++j) {
      const TColor c = Grey(std::min(RampLevel(static_cast<double>(j) / Across), cap));
      if (AlongY) Canvas->SetPixels(Left + j, Top + i, c);
      else Canvas->SetPixels(Left + i, Top + j, c);
    }
  }
}

}  // namespace

void DrawShadowRight(TCanvas* Canvas, TBitmap* Bitmap, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                     int32_t Kind, int32_t) {
  const int32_t w = Right - Left + 1, h = Bottom - Top + 1;
  if (w <= 0 || h <= 0) return;
  if (!Is24Bit(Bitmap)) Bitmap = nullptr;
  switch (Kind) {
    case 1:
      if (Canvas) Canvas->FillRect(Rect(Left, Top + w, Right, Bottom + 1));
      break;
    case 2:
      for (int32_t k = 0; k < w; ++k) {
        const double f = ShadowFactor(w, k);
        for (int32_t y = Top + w; y <= Bottom - w + k + 3; ++y) DarkenPixel(Canvas, Bitmap, Left + k, y, f);
      }
      break;
    case 3:
      if (Canvas) DrawShadowRamp(Canvas, Left, Top, h, w, true);
      break;
    default: break;
  }
}

void DrawShadowBottom(TCanvas* Canvas, TBitmap* Bitmap, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                      int32_t Kind, int32_t) {
  const int32_t w = Right - Left + 1, h = Bottom - Top + 1;
  if (w <= 0 || h <= 0) return;
  if (!Is24Bit(Bitmap)) Bitmap = nullptr;
  switch (Kind) {
    case 1:
      if (Canvas) Canvas->FillRect(Rect(Left + h, Top, Right + 1, Bottom));
      break;
    case 2:
      for (int32_t k = 0; k < h; ++k) {
        const double f = ShadowFactor(h, k);
        for (int32_t x = Left + h; x <= Right - h + k + 1; ++x) DarkenPixel(Canvas, Bitmap, x, Top + k, f);
      }
      break;
    case 3:
      if (Canvas) DrawShadowRamp(Canvas, Left, Top, w, h, false);
      break;
    default: break;
  }
}

void DrawSoftShadow(TBitmap* Bitmap, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t) {
  constexpr int32_t kMargin = 5;
  const int32_t w = Right - Left + 1, h = Bottom - Top + 1;
  if (!Is24Bit(Bitmap) || w <= 0 || h <= 0) return;
  // The shadow's strength: the rectangle as an opaque grey mask, blurred.
  TPXBitmap mask;
  if (!mask.Allocate(w + 2 * kMargin, h + 2 * kMargin, px8g)) return;
  mask.Fill(0);
  mask.FillRect(kMargin, kMargin, w + kMargin + 1, h + kMargin + 1, 255);
  GaussianBlurGray8Rect(&mask, 0, 0, mask.Width() - 1, mask.Height() - 1, 2.5);

  const int32_t x1 = std::max(Left - kMargin, 0), x2 = std::min(Right + kMargin, Bitmap->Width() - 1);
  const int32_t y1 = std::max(Top - kMargin, 0), y2 = std::min(Bottom + kMargin, Bitmap->Height() - 1);
  for (int32_t y = y1; y <= y2; ++y) {
    auto* row = static_cast<uint8_t*>(Bitmap->ScanLine(y));
    const uint8_t* m = mask.Scanline(y - Top + kMargin);
    for (int32_t x = x1; x <= x2; ++x) {
      if (x >= Left && x < Right && y >= Top && y < Bottom) continue;
      const double f = 1 - m[x - Left + kMargin] / 255.0;
      uint8_t* p = row + static_cast<int64_t>(x) * 3;
      for (int32_t c = 0; c < 3; ++c) p[c] = ScaleChannel(p[c], f);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Video drawing

HDRAWDIB VfwDrawDibOpen() { return nullptr; }

BOOL VfwDrawDibClose(HDRAWDIB) { return FALSE; }

BOOL VfwDrawDibDraw(HDRAWDIB, HDC, int32_t, int32_t, int32_t, int32_t, const BITMAPINFOHEADER*, const void*, int32_t,
                    int32_t, int32_t, int32_t, UINT) {
  return FALSE;
}

UINT VfwDrawDibRealize(HDRAWDIB, HDC, BOOL) { return 0; }
