// Windows metafiles for the antialiased drawing library: a WMF (placeable or not) is turned into
// SVG by libwmf, an EMF by libemf2svg (both in a helper process, after the checks of
// metafile/MetafileConvert.h), and the SVG is drawn by Qt SVG. Internal to
// platform/gdiplus; the public entries are GdipCreateMetafileFromFile/FromStream,
// GdipGetMetafileHeaderFromMetafile and GdipDrawImageRect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdiplus/GdiPlus.h"
#include "platform/gdiplus/metafile/MetafileConvert.h"

struct GpImageData;

// Largest metafile read (bytes); larger data is refused as unreadable.
inline constexpr size_t GpMaxMetafileBytes = PxMaxMetafileBytes;

// How checked metafile bytes become SVG: Args as PxConvertMetafile takes them.
using GpMetafileConverter = bool (*)(const std::vector<std::string>& Args, const std::vector<uint8_t>& Prepared,
                                     TPxMetafileSvg& Out);
// The program's way: the converters run in the helper process, with limited memory and CPU and
// at most 10 s; a crash, a limit or the time running out there answers false.
bool GpConvertInHelper(const std::vector<std::string>& Args, const std::vector<uint8_t>& Prepared,
                       TPxMetafileSvg& Out);
// The converters in this process: for the fuzz target, which tries the checks against them.
bool GpConvertInProcess(const std::vector<std::string>& Args, const std::vector<uint8_t>& Prepared,
                        TPxMetafileSvg& Out);

// The converter the library's metafile entries use (nil: the helper process). The fuzz target
// sets GpConvertInProcess, so that the converters run under the sanitizers.
void GpSetMetafileConverter(GpMetafileConverter Convert);

// Reads the metafile in Data: fills Header (type, size in bytes, bounds in pixels, resolution)
// and Svg (the drawing). False, with Header zeroed, when the bytes are not a metafile the
// converters can read.
bool GpReadMetafile(const uint8_t* Data, size_t Size, MetafileHeader& Header, std::string& Svg,
                    GpMetafileConverter Convert = GpConvertInHelper);

// Draws the metafile image scaled to Width x Height into Pixels (premultiplied ARGB, one
// uint32_t per pixel, rows top-down, transparent where nothing is drawn). False when the
// drawing cannot be made.
bool GpRasterizeMetafile(const GpImageData& Image, int32_t Width, int32_t Height, std::vector<uint32_t>& Pixels);
