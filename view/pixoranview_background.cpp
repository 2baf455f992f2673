// The views' background styles (DrawBackground), the image view's chessboard settings, its
// background painting for other canvases and the blurred backdrop.
#include <algorithm>

#include "core/hypxutils.h"
#include "core/hypxutils_draw.h"
#include "core/hypxutils_startup.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers_draw.h"
#include "proc/pixoranproc_blur.h"
#include "view/pixoranview.h"
#include "view/pxxThemes.h"

namespace {

constexpr TColor kKeepColor = 0x1FFFFFFF;

void FillArea(TCanvas* Canvas, const TRect& Area, TColor Color, TBrushStyle Style) {
  Canvas->Brush()->SetColor(Color);
  Canvas->Brush()->SetStyle(Style);
  Canvas->FillRect(Area);
}

// The chessboard over (X0, Y0, W x H) with squares of Size: the pixel path writes the rows of a
// 24-bit Bitmap directly (C1 where column and row of squares add up even), the canvas path fills
// rectangles (C2 where they add up even).
void DrawChessboard(TCanvas* Canvas, TBitmap* Bitmap, int32_t X0, int32_t Y0, int32_t W, int32_t H, int32_t Size,
                    TBrushStyle BrushStyle, TColor C1, TColor C2, bool CanvasOnly) {
  if (W <= 0 || H <= 0) return;
  Size = std::max(Size, 1);
  if (!CanvasOnly && Bitmap && BrushStyle == bsSolid && Bitmap->PixelFormat() == pf24bit) {
    const TRGB a = TColorToRGB(C1), b = TColorToRGB(C2);
    // Only the part of the area inside the bitmap is written.
    const int32_t xs = std::max(X0, 0), xe = std::min(X0 + W, Bitmap->Width());
    const int32_t ys = std::max(Y0, 0), ye = std::min(Y0 + H, Bitmap->Height());
    for (int32_t y = ys; y < ye; ++y) {
      auto* row = static_cast<TRGB*>(Bitmap->ScanLine(y));
      const int32_t j = (y - Y0) / Size;
      for (int32_t x = xs; x < xe;) {
        const int32_t k = (x - X0) / Size;
        const int32_t end = std::min(xe, X0 + (k + 1) * Size);
        const TRGB c = ((k + j) & 1) == 0 ? a : b;
        for (; x < end; ++x) row[x] = c;
      }
    }
    Bitmap->Modified();
    return;
  }
  const int32_t x1 = X0 + W, y1 = Y0 + H;
  if (BrushStyle == bsSolid) {
    // Solid squares: the whole area in one colour, then the squares of the other.
    FillArea(Canvas, TRect(X0, Y0, x1, y1), C1, bsSolid);
    Canvas->Brush()->SetColor(C2);
    int32_t j = 0;
    for (int32_t y = Y0; y < y1; y += Size, ++j) {
      int32_t k = 0;
      for (int32_t x = X0; x < x1; x += Size, ++k)
        if (((k + j) & 1) == 0) Canvas->FillRect(TRect(x, y, std::min(x + Size, x1), std::min(y + Size, y1)));
    }
    return;
  }
  Canvas->Brush()->SetStyle(BrushStyle);
  int32_t j = 0;
  for (int32_t y = Y0; y < y1; y += Size, ++j) {
    int32_t k = 0;
    for (int32_t x = X0; x < x1; x += Size, ++k) {
      Canvas->Brush()->SetColor(((k + j) & 1) == 0 ? C2 : C1);
      Canvas->FillRect(TRect(x, y, std::min(x + Size, x1), std::min(y + Size, y1)));
    }
  }
}

}  // namespace

void DrawBackground(TComponentState ComponentState, TCanvas* Canvas, TBitmap* Bitmap, TPXBackgroundStyle Style,
                    TColor Color, int32_t X, int32_t Y, int32_t Width, int32_t Height, int32_t ImageLeft,
                    int32_t ImageTop, int32_t ImageRight, int32_t ImageBottom, int32_t ChessSize,
                    TBrushStyle ChessBrushStyle, bool TwoColors, TColor Color2, TPicture* Wallpaper,
                    TPXWallpaperStyle WallpaperStyle, TPXBitmap* BlurredImage, bool CanvasOnly) {
  if (!Canvas) return;
  const bool designing = ComponentState.Contains(csDesigning);
  const TRect area(X, Y, X + Width, Y + Height);
  const int32_t iw = ImageRight - ImageLeft, ih = ImageBottom - ImageTop;
  // The complement is taken before a system colour is resolved (clBtnFace gives $00FFFFF0) and
  // is always a plain colour (a plain colour's complement would otherwise name a system colour).
  const TColor second = TwoColors ? Color2 : static_cast<TColor>(~static_cast<uint32_t>(Color) & 0xFFFFFFu);
  switch (Style) {
    case pxbsSolid: FillArea(Canvas, area, Color, bsSolid); break;
    case pxbsHorizontal: FillArea(Canvas, area, Color, bsHorizontal); break;
    case pxbsVertical: FillArea(Canvas, area, Color, bsVertical); break;
    case pxbsFDiagonal: FillArea(Canvas, area, Color, bsFDiagonal); break;
    case pxbsBDiagonal: FillArea(Canvas, area, Color, bsBDiagonal); break;
    case pxbsCross: FillArea(Canvas, area, Color, bsCross); break;
    case pxbsDiagCross: FillArea(Canvas, area, Color, bsDiagCross); break;
    case pxbsChessboard:
      DrawChessboard(Canvas, Bitmap, X, Y, Width, Height, ChessSize, ChessBrushStyle, Color, second, CanvasOnly);
      break;
    case pxbsDiagonals:
      FillArea(Canvas, area, Color, bsSolid);
      Canvas->Pen()->SetColor(static_cast<TColor>(~static_cast<uint32_t>(ColorToRGB(Color)) & 0xFFFFFF));
      Canvas->Pen()->SetStyle(psSolid);
      Canvas->Pen()->SetMode(pmCopy);
      Canvas->MoveTo(X, Y);
      Canvas->LineTo(X + Width, Y + Height);
      Canvas->MoveTo(X + Width, Y);
      Canvas->LineTo(X, Y + Height);
      break;
    case pxbsCropped:
      if (designing) {
        FillArea(Canvas, area, Color, bsSolid);
        break;
      }
      FillArea(Canvas, area, clBtnFace, bsSolid);
      if (iw >= 2 && ih >= 2) {
        TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
        if (ThemesEnabled()) {
          Canvas->Pen()->SetColor(0x808080);
          Canvas->Pen()->SetMode(pmCopy);
          Canvas->Pen()->SetStyle(psSolid);
          Canvas->Brush()->SetStyle(bsClear);
          Canvas->Rectangle(ImageLeft - 1, ImageTop - 1, ImageRight + 1, ImageBottom + 1);
        } else {
          TRect edge(ImageLeft - s->FEdgeWidth, ImageTop - s->FEdgeHeight, ImageRight + s->FEdgeWidth,
                     ImageBottom + s->FEdgeHeight);
          DrawEdge(Canvas->Handle(), edge, EDGE_SUNKEN, BF_RECT);
        }
      }
      break;
    case pxbsCropShadow:
      FillArea(Canvas, area, Color, bsSolid);
      if (!designing && (iw > 1 || ih > 1)) {
        TBitmap* pixels = CanvasOnly ? nullptr : Bitmap;
        DrawShadowRight(Canvas, pixels, ImageRight, ImageTop, ImageRight + 5, ImageBottom + 2, 2, 0);
        DrawShadowBottom(Canvas, pixels, ImageLeft, ImageBottom, ImageRight + 3, ImageBottom + 5, 2, 0);
      }
      break;
    case pxbsGradient: GradientFillRect(Canvas, area, Color, Color2, true); break;
    case pxbsSoftShadow:
      if (designing) {
        FillArea(Canvas, area, Color, bsSolid);
      } else if (Bitmap) {
        FillArea(Canvas, area, Color, bsSolid);
        if (iw > 1 || ih > 1) DrawSoftShadow(Bitmap, ImageLeft, ImageTop, ImageRight, ImageBottom, 0);
      }
      break;
    case pxbsPhotoLike:
      DrawBackground(ComponentState, Canvas, Bitmap, pxbsSolid, 0xB0B0B0, X, Y, Width, Height, ImageLeft, ImageTop,
                     ImageRight, ImageBottom, ChessSize, ChessBrushStyle, TwoColors, Color2, nullptr, WallpaperStyle,
                     nullptr, CanvasOnly);
      Canvas->Pen()->SetColor(clBlack);
      Canvas->Pen()->SetMode(pmCopy);
      Canvas->Pen()->SetStyle(psSolid);
      Canvas->Brush()->SetStyle(bsClear);
      Canvas->Rectangle(ImageLeft - 1, ImageTop - 1, ImageRight + 1, ImageBottom + 1);
      DrawChessboard(Canvas, Bitmap, ImageLeft, ImageTop, iw, ih, ChessSize, ChessBrushStyle, Color, second, CanvasOnly);
      break;
    case pxbsBlurredImage:
      if (!BlurredImage || BlurredImage->IsEmpty()) FillArea(Canvas, area, Color, bsSolid);
      else BlurredImage->DrawTo(Canvas, 0, 0);
      break;
  }
  if (Wallpaper && Wallpaper->Graphic() && !Wallpaper->Graphic()->Empty()) {
    TGraphic* g = Wallpaper->Graphic();
    switch (WallpaperStyle) {
      case pxwoNormal: Canvas->Draw(0, 0, g); break;
      case pxwoStretch: Canvas->StretchDraw(TRect(0, 0, Width, Height), g); break;
      case pxwoTile: TileWallpaper(Canvas, Width, Height, g); break;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The image view's settings

void TPixoranView::PaintBackgroundTo(TCanvas* Canvas, int32_t W, int32_t H) {
  if (W == -1 && H == -1) {
    W = Width();
    H = Height();
  }
  DrawBackground(ComponentState(), Canvas, nullptr, FBackgroundStyle, ThemedColor(0, Background(), false), 0, 0, W, H,
                 0, 0, 0, 0, FChessboardSize, FChessboardBrushStyle, FChessboardTwoColors,
                 ThemedColor(2, FGradientEndColor, false), FWallpaper.get(), FWallpaperStyle, FBlurredBackdrop.get(),
                 false);
}

void TPixoranView::SetChessboardStyle(int32_t Size, TBrushStyle BrushStyle, TColor Color1, TColor Color2) {
  FChessboardSize = Size;
  FChessboardBrushStyle = BrushStyle;
  FChessboardTwoColors = Color2 != kKeepColor;
  if (Color1 != kKeepColor) SetBackground(Color1);
  if (Color2 != kKeepColor) SetGradientEndColor(Color2);
}

void TPixoranView::BuildBlurredBackdrop(TPXBitmap* Source) {
  FBackdropStale = false;
  if (!FBlurredBackdrop) FBlurredBackdrop = std::make_unique<TPXBitmap>();
  FBlurredBackdrop->FreeImage();
  if (!Source || Source->IsEmpty()) return;
  try {
    const int32_t dw = GetDisplayWidth(), dh = GetDisplayHeight();
    if (!FBlurredBackdrop->Allocate(dw, dh, px24RGB)) throw EPXException("Out of memory");
    FBlurredBackdrop->Fill(static_cast<double>(ThemedColor(0, Background(), false)));
    TRect r;
    CalcFitRect(Source->Width(), Source->Height(), dw, dh, 0, 0, true, true, true, true, 0, true, r);
    Source->RenderToPXBitmap(FBlurredBackdrop.get(), r.Left, r.Top, r.Width(), r.Height(), 0, 0, Source->Width(),
                             Source->Height(), true, 255, rfNone, pxboNormal, 0.75);
    GaussianBlurBitmap(FBlurredBackdrop.get(), nullptr, 8, TPXProgressEvent());
  } catch (const Exception&) {
    FBlurredBackdrop->FreeImage();  // shown as the background colour
  }
}
