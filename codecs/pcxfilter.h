// The PCX codec and the DCX container of PCX pages, over streams.
//
// The PCX reader gives px1g for 1-bit single-plane pictures and px24RGB for 4 and 8-bit
// palette pictures, 24-bit three-plane pictures and 16-colour four-plane pictures; bad data sets
// the abort flag and never raises. The writer stores 1, 4 (16 colours), 8 (256 colours) or
// 24-bit pictures, run-length coded when PCX_Compression is set. DCX pages are addressed from
// the stream's start; a container holds at most 1023 pages.
#pragma once

#include <cstdint>

#include "core/hypxdefs.h"

class TStream;
class TPXBitmap;
class TIOParams;

// Reads the PCX picture at the stream's position; Size is the number of bytes of the PCX data
// (cut to what the stream holds).
void DecodePcxStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, int64_t Size, TPXProgressRecord& Progress,
                     bool PreviewOnly);
// Writes Bitmap as PCX at the stream's position.
void EncodePcxStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress);

// The magic and a page table whose offsets all lie inside the stream; the position is restored.
bool HasDcxSignature(TStream* Stream);
// Entries of the page table before its 0 (at most 1024); the position is restored.
int32_t GetDcxPageCount(TStream* Stream);
// Reads page DCX_ImageIndex (clamped to the pages there are) of the container.
void DecodeDcxStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                     bool PreviewOnly);
// Inserts Bitmap as a new page before page DCX_ImageIndex (clamped to 0 .. page count; the
// count appends) of the container the stream holds, or makes a one-page container of an empty
// stream. The stream is rewritten as a whole.
void InsertDcxPage(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress);
