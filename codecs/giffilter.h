// The GIF codec over streams (GIF87a / GIF89a): one frame read with its graphic-control values
// and its transparency as a mask, a single-frame writer, and the removal of one frame from a
// file. The LZW data goes through the coder hooks: the parameters' own, else the settings'.
//
// The reader gives px1g for a 1-bit frame whose table is exactly black, white, px8p with
// NativePixelFormat, px24RGB otherwise; an index past the frame's colour table reads black, and
// a frame with neither a global nor a local table reads as grey levels. Progress fires at 0, 30,
// 70 and 100 only. Bad data sets the abort flag and never raises.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/hypxdefs.h"

class TStream;
class TPXBitmap;
class TPXMask;
class TIOParams;

// Reads frame GIF_ImageIndex of the GIF at the stream's position. ImageCount receives the number
// of frames met (also when the load fails; an index at or past it sets the abort flag). Mask
// receives the frame's transparency as an 8-bit mask (0 transparent, 255 opaque), created when
// nil; it comes back nil when no pixel is transparent or NoMask is set. PreviewOnly fills Params
// only.
void DecodeGifStream(TStream* Stream, TPXBitmap* Bitmap, int32_t& ImageCount, TIOParams* Params,
                     TPXProgressRecord& Progress, bool PreviewOnly, std::unique_ptr<TPXMask>& Mask, bool NoMask);

// Writes Bitmap as a single-frame GIF at the stream's position: a global table of
// 2^BitsPerSample entries (above 8 becomes 8 in Params), a graphic control extension, the image
// and a comment extension. With an alpha channel the table's last entry (black) is reserved for
// the pixels whose alpha is not 255, and GIF_HasTransparentColor becomes True; at 1 bit such a
// picture is written with 2 bits. Without an encoding hook, or for an empty picture or one wider
// or higher than 65535, the abort flag is set; a short write sets it too and writing goes on.
void EncodeGifStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress);

// Copies the GIF file leaving out frame Index and its graphic control extension (the version
// becomes "89a"); with Save the copy replaces the file through a temporary file beside it.
// Answers the number of frames kept: with Index -1 and Save False, the frame count. A file that
// is not a GIF answers 0 and stays as it was. A file that cannot be opened raises the stream's
// error.
int32_t DeleteGifFrame(std::string_view FileName, int32_t Index, bool Save);

// The frames of the GIF at the stream's position, by the block walk of DeleteGifFrame; 0 for
// anything else. The position is restored.
int32_t GetGifFrameCount(TStream* Stream);
