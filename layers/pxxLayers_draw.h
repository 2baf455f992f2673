// Drawing helpers shared by the layer kinds: render targets of a given size.
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
