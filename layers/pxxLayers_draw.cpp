// Render targets of the layer kinds and the tiling of graphics.
#include "layers/pxxLayers_draw.h"

#include <algorithm>

#include "core/pxxBitmaps.h"
#include "platform/gdi/Graphics.h"

namespace {

// Bitmap becomes a Width x Height picture of Format: kept when it already is one, else replaced.
void EnsureRenderBitmap(std::unique_ptr<TPXBitmap>& Bitmap, int32_t Width, int32_t Height, TPXPixelFormat Format) {
  Width = std::max(Width, 1);
  Height = std::max(Height, 1);
  if (Bitmap && !Bitmap->IsVirtual() && Bitmap->Width() == Width && Bitmap->Height() == Height &&
      Bitmap->PixelFormat() == Format)
    return;
  Bitmap = std::make_unique<TPXBitmap>();
  Bitmap->Allocate(Width, Height, Format);
}

}  // namespace

void EnsureRenderBitmap24(std::unique_ptr<TPXBitmap>& Bitmap, int32_t Width, int32_t Height, TColor Color) {
  EnsureRenderBitmap(Bitmap, Width, Height, px24RGB);
  // A kept bitmap may carry the alpha of an earlier rendering (feathered, shadowed); the new
  // content is opaque.
  Bitmap->RemoveAlphaChannel(false, 0);
  Bitmap->Fill(Color);
}

void EnsureRenderBitmap32(std::unique_ptr<TPXBitmap>& Bitmap, int32_t Width, int32_t Height) {
  EnsureRenderBitmap(Bitmap, Width, Height, px32RGB);
  Bitmap->FillRGBA(0x00FFFFFF);  // white, fully transparent (fourth byte and alpha channel)
}

void TileGraphic(TCanvas* Canvas, int32_t Width, int32_t Height, TGraphic* Graphic) {
  if (!Canvas || !Graphic) return;
  const int32_t gw = Graphic->Width(), gh = Graphic->Height();
  if (gw <= 0 || gh <= 0) return;
  for (int32_t y = 0; y < Height; y += gh)
    for (int32_t x = 0; x < Width; x += gw) Canvas->Draw(x, y, Graphic);
}

void TileWallpaper(TCanvas* Canvas, int32_t Width, int32_t Height, TGraphic* Graphic) {
  TileGraphic(Canvas, Width, Height, Graphic);
}
