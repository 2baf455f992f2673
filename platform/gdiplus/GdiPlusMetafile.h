// Metafile entries of the antialiased drawing library beyond its flat interface: drawing a
// metafile image straight into pixels, and where metafiles are converted.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdiplus/GdiPlus.h"

// Draws a metafile image scaled to width x height into pixels (premultiplied ARGB, one value per
// pixel, rows top-down, 0 where nothing is drawn), with no graphics object in between.
// InvalidParameter for no image, an image that is not a metafile or a size below 1;
// GenericError when the drawing cannot be made (pixels empty).
GpStatus GdipRasterizeMetafile(GpImage* image, int32_t width, int32_t height, std::vector<uint32_t>& pixels);
// Metafiles are converted in a helper process with limited memory and time (the default); a
// fuzz target converts them in its own process instead, so that its sanitizers see the
// converters.
void GdipSetMetafileConversionInProcess(bool inProcess);
