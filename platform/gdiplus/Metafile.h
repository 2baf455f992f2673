// Windows metafiles for the antialiased drawing library: a WMF (placeable or not) is turned into
// SVG by libwmf, an EMF by libemf2svg, and the SVG is drawn by Qt SVG. Internal to
// platform/gdiplus; the public entries are GdipCreateMetafileFromFile/FromStream,
// GdipGetMetafileHeaderFromMetafile and GdipDrawImageRect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdiplus/GdiPlus.h"

struct GpImageData;

// Largest metafile read (bytes); larger data is refused as unreadable.
inline constexpr size_t GpMaxMetafileBytes = size_t(256) << 20;

// Reads the metafile in Data: fills Header (type, size in bytes, bounds in pixels, resolution)
// and Svg (the drawing). False, with Header zeroed, when the bytes are not a metafile the
// converters can read.
bool GpReadMetafile(const uint8_t* Data, size_t Size, MetafileHeader& Header, std::string& Svg);

// Draws the metafile image scaled to Width x Height into Pixels (premultiplied ARGB, one
// uint32_t per pixel, rows top-down, transparent where nothing is drawn). False when the
// drawing cannot be made.
bool GpRasterizeMetafile(const GpImageData& Image, int32_t Width, int32_t Height, std::vector<uint32_t>& Pixels);
