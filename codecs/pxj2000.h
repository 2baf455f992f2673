// JPEG 2000 on OpenJPEG: the JP2 file format and the bare code stream, read and written over the
// library's streams, with the JPEG 2000 group of the I/O parameters.
//
// The reader gives px1g, px8g or px16g for grey pictures (1, 8, 9..16 bits; 2..7 bits as
// px24RGB) and px24RGB for RGB and YCbCr; samples are scaled to the top of the target range and
// subsampled components repeated. Bad data sets the abort flag and never raises. The writer uses
// the reversible 5/3 transform: lossless at a rate of 1 and more, else one layer at that share
// of the raw size; a failed encode sets the abort flag.
#pragma once

#include <cstdint>

#include "core/hypxdefs.h"

class TStream;
class TPXBitmap;
class TIOParams;

// Box length 12, "jP  ", 0D0A870A at the position; the position is restored.
bool HasJp2Signature(TStream* Stream);
// FF4F FF51 at the position; the position is restored.
bool HasJ2kSignature(TStream* Stream);

// Reads a JP2 file or a code stream at the stream's position. With PreviewOnly only Params are
// filled (Bitmap may be nil).
void DecodeJpeg2000Stream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly,
                          TPXProgressRecord& Progress);
// Writes Bitmap as a JP2 file (Container 0) or a code stream (Container 1).
void EncodeJpeg2000Stream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, int32_t Container,
                          TPXProgressRecord& Progress);

// The YCbCr tables, built on first use; the release step drops them.
void InitJpeg2000Codec();
void ReleaseJpeg2000Codec();

// Fills the format rows of JP2 (13) and J2K (14) and the JPEG 2000 release slot.
void RegisterJpeg2000Codec();
