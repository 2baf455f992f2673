// The Truevision Targa codec: reader, writer and signature test over streams, with the version 2
// footer and extension area (author, date, job name, key colour, pixel aspect ratio, gamma).
//
// The reader gives px1g for 1-bit files and px24RGB otherwise; alpha of 32-bit pixels or 32-bit
// colour-map entries comes back as an 8-bit mask (none when every alpha value is 0). Bad data
// sets the abort flag and never raises. The writer stores px1g or px24RGB pictures at depth 1,
// 8 (a 16 or 256-colour palette, or grey), 24 or 32 (with the mask), run-length coded at depths
// 8 and 24 when TGA_Compressed is set.
#pragma once

#include <memory>

#include "core/hypxdefs.h"

class TStream;
class TPXBitmap;
class TPXMask;
class TIOParams;

// Whether the 18 bytes at the stream's position are a plausible Targa header; the position is
// restored.
bool HasTargaSignature(TStream* Stream);

// Reads the Targa picture at the stream's position. AlphaMask is created when nil and alpha is
// present, unless IgnoreAlpha.
void DecodeTargaStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                       bool PreviewOnly, std::unique_ptr<TPXMask>& AlphaMask, bool IgnoreAlpha);

// Writes Bitmap as Targa at the stream's position. Mask is the picture's alpha (may be nil).
void EncodeTargaStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                       TPXMask* Mask);
