// Drawing helpers shared by the layer kinds and the views: render targets of a given size, tiled
// graphics.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/rtl/Types.h"

class TPXBitmap;

// Bitmap becomes a Width x Height px24RGB picture (kept when it already is one, else replaced)
// filled with Color.
void EnsureRenderBitmap24(std::unique_ptr<TPXBitmap>& Bitmap, int32_t Width, int32_t Height, TColor Color);
// The same for px32RGB, filled white with a fully transparent alpha channel.
void EnsureRenderBitmap32(std::unique_ptr<TPXBitmap>& Bitmap, int32_t Width, int32_t Height);

class TCanvas;
class TGraphic;

// Draws Graphic at every (x, y) of its grid over (0, 0, Width, Height), rows from the top;
// nothing for a missing or empty graphic. The dialogs tile their backgrounds with TileGraphic,
// the views their wallpaper with TileWallpaper (the same).
void TileGraphic(TCanvas* Canvas, int32_t Width, int32_t Height, TGraphic* Graphic);
void TileWallpaper(TCanvas* Canvas, int32_t Width, int32_t Height, TGraphic* Graphic);
