// The PNG codec on libpng: the reader, the writer and the signature test, over streams.
//
// The reader decodes the picture at the stream's position: px24RGB (with the alpha channel for
// files with alpha or tRNS), px1g for 1-bit grey; with TIOParams::NativePixelFormat 8-bit
// palette files give px8p (tRNS as alpha), 8-bit grey px8g and 16-bit grey px16g. Bad or
// truncated data never raises: it sets the progress record's abort flag and keeps the rows
// read. The writer raises EInvalidGraphic "Error on creating PNG" when libpng refuses the
// picture and reports a short write through the abort flag. Text chunks are UTF-8 in
// PNG_TextKeys / PNG_TextValues (tEXt is Latin-1 on disk).
#pragma once

#include "core/hypxdefs.h"

class TStream;
class TPXBitmap;
class TPXMask;
class TIOParams;

// Reads one PNG from the stream's position into Bitmap and Params. PreviewOnly fills Params
// only and leaves Bitmap untouched.
void DecodePngStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                     bool PreviewOnly);

// Writes Bitmap as PNG at the stream's position. Mask is the picture's alpha (nil, or a wholly
// opaque mask, means none). May change Params' BitsPerSample to one PNG can store.
void EncodePngStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                     TPXMask* Mask);

// Whether the bytes at the stream's position start with the PNG signature; the position is
// restored.
bool HasPngSignature(TStream* Stream);
