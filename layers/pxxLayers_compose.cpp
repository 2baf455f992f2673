// Rendering and composition of layers. Minimal bodies of the virtual members until the
// composition lands.
#include "layers/pxxLayers.h"

#include "core/pxxBitmaps.h"

// completed with the composition
TPXBitmap* TPXLayer::GetBitmap() { return FCache.get(); }

// completed with the composition
void TPXLayer::Paint(TPXBitmap* /*Dest*/, int32_t /*LayerIndex*/, int32_t* /*ColumnTable*/, int32_t* /*RowTable*/,
                     void* /*Context*/, int32_t /*Dest0X*/, int32_t /*Dest0Y*/, int32_t /*Dest0Width*/,
                     int32_t /*Dest0Height*/, int32_t /*Src0X*/, int32_t /*Src0Y*/, int32_t /*Src0Width*/,
                     int32_t /*Src0Height*/, bool /*WithAlpha*/, bool /*FirstLayer*/, TResampleFilter /*Filter*/,
                     uint8_t /*RotateQuality*/, bool /*MouseOperation*/) {}
