// TPXImageLayer's rendering and painting. Minimal bodies of the virtual members until the image
// layer's painting lands.
#include "layers/pxxLayers.h"

#include "core/pxxBitmaps.h"

// completed with the image layer's painting
void TPXImageLayer::RenderContent(std::unique_ptr<TPXBitmap>& /*Dest*/, int32_t /*Width*/, int32_t /*Height*/,
                                  bool /*FastDrawing*/, bool /*WithAlpha*/, bool /*FitAspect*/, uint8_t /*Mode*/,
                                  int32_t /*Reserved*/) {}

// completed with the image layer's painting
void TPXImageLayer::Paint(TPXBitmap* /*Dest*/, int32_t /*LayerIndex*/, int32_t* /*ColumnTable*/,
                          int32_t* /*RowTable*/, void* /*Context*/, int32_t /*Dest0X*/, int32_t /*Dest0Y*/,
                          int32_t /*Dest0Width*/, int32_t /*Dest0Height*/, int32_t /*Src0X*/, int32_t /*Src0Y*/,
                          int32_t /*Src0Width*/, int32_t /*Src0Height*/, bool /*WithAlpha*/, bool /*FirstLayer*/,
                          TResampleFilter /*Filter*/, uint8_t /*RotateQuality*/, bool /*MouseOperation*/) {}
