// The views' backgrounds: one routine draws every style on a canvas (the image view under its
// layers, the thumbnail view and the pan-zoom transition over their own areas).
#pragma once

#include <cstdint>

#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes_components.h"

class TPXBitmap;

enum class TPXBackgroundStyle : uint8_t {
  pxbsSolid, pxbsHorizontal, pxbsVertical, pxbsFDiagonal, pxbsBDiagonal, pxbsCross, pxbsDiagCross,
  pxbsChessboard, pxbsDiagonals, pxbsCropped, pxbsCropShadow, pxbsGradient, pxbsSoftShadow, pxbsPhotoLike,
  pxbsBlurredImage,
};
using enum TPXBackgroundStyle;

enum class TPXWallpaperStyle : uint8_t { pxwoNormal, pxwoStretch, pxwoTile };
using enum TPXWallpaperStyle;

// Fills the area (X, Y, Width x Height) of Canvas in Style; (ImageLeft, ImageTop, ImageRight,
// ImageBottom) is the picture's rectangle inside it (framed and shadowed styles). Bitmap is the
// 24-bit platform bitmap behind Canvas (nil when none); CanvasOnly forbids writing its pixels
// directly (the caller has clipped the canvas). Only the designing flag of ComponentState is
// read. TwoColors: the chessboard alternates Color and Color2, else Color and its complement.
// Wallpaper (may be nil or empty) is drawn after the style, relative to the canvas origin.
void DrawBackground(TComponentState ComponentState, TCanvas* Canvas, TBitmap* Bitmap, TPXBackgroundStyle Style,
                    TColor Color, int32_t X, int32_t Y, int32_t Width, int32_t Height, int32_t ImageLeft,
                    int32_t ImageTop, int32_t ImageRight, int32_t ImageBottom, int32_t ChessSize,
                    TBrushStyle ChessBrushStyle, bool TwoColors, TColor Color2, TPicture* Wallpaper,
                    TPXWallpaperStyle WallpaperStyle, TPXBitmap* BlurredImage, bool CanvasOnly);
