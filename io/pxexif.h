// The EXIF block side of the TIFF codec: the EXIF block of a picture's parameters (a TIFF
// structure without pixels, optionally with the thumbnail as its second page) and turning a
// picture upright by its orientation value.
#pragma once

#include <cstdint>
#include <vector>

#include "core/hypxdefs.h"

class TPXBitmap;
class TPXMask;
class TStream;
class TIOParams;

// The TIFF writer the EXIF block is made with; the TIFF codec registers it at start-up.
using TPXTiffEncodeProc = int32_t (*)(TStream* Stream, bool Append, TPXBitmap* Bitmap, TIOParams* Params,
                                      TPXProgressRecord& Progress);
void RegisterTiffEncoder(TPXTiffEncodeProc Encode);

// The EXIF block of Params: a little-endian TIFF structure whose first page holds the page-level
// EXIF tags and the EXIF and GPS directories, and, when Params has a thumbnail, a second page
// holding it as old-style JPEG. WithPrefix puts "Exif" and two zero bytes first. False (and an
// empty Buffer) while no TIFF writer is registered or when writing fails.
bool BuildExifBlock(TIOParams* Params, std::vector<uint8_t>& Buffer, bool WithPrefix);

// Turns Bitmap upright for the TIFF / EXIF orientation value (1 and values outside 2..8: nothing):
// 2 mirror left-right, 3 half turn, 4 mirror top-bottom, 5 mirror left-right then a quarter turn
// anticlockwise (transpose), 6 a quarter turn clockwise, 7 mirror left-right then a quarter turn
// clockwise (transverse), 8 a quarter turn anticlockwise. The bitmap's alpha channel and Mask
// (when given, 8 bits, the bitmap's size) turn with it.
void ApplyOrientation(TPXBitmap* Bitmap, int32_t Orientation, TPXMask* Mask = nullptr);
