// The JPEG codec on libjpeg-turbo (v62 interface): the reader and writer, the stream source and
// destination managers and the error manager that bind the library to a TStream and to the abort
// flag, the start-of-image search, the length walk over a JPEG data stream, and the ICC profile
// stored in APP2 chunks.
//
// Where the members are defined:
//   jpegfilt.cpp       DecodeJpegStream, EncodeJpegStream, RegisterJpegCodec
//   jpegfilt_glue.cpp  managers, error texts, FindJpegStart, GetJpegStreamLength, ICC chunks
#pragma once

#include <cstdint>
#include <string>

#include "core/hypxdefs.h"
#include "platform/rtl/Classes.h"

class TPXBitmap;
class TIOParams;

// A library error of the JPEG codec; the message is the library message's text.
PX_DECLARE_EXCEPTION(EPXJpegException, Exception);

// The text of a library message (a JERR_* code) with each "?" replaced by its parameters, in
// order; "Corrupted" for a code without text. IntParams holds up to 8 values; StrParam is used by
// the messages that name a file.
std::string JpegMessageText(int32_t Code, const int32_t* IntParams, const char* StrParam);

// Reads one picture from the stream's position (see the reader's options below) and answers the
// number of rows decoded. Never raises: bad or truncated data, library errors and a missing start
// of image set the abort flag of Progress.
//   TablesStream: a stream holding only tables, read first (nil, or Stream itself: none).
//   PreviewOnly: header only; Width and Height become the stored size; Bitmap untouched.
//   RawComponents: YCbCr stays YCbCr, RGB stays in file order.
//   ReadMarkers: interpret IPTC, XMP and the own annotation (with Params' ReadMetadata).
//   InvertCmyk: complement CMYK samples before converting them to RGB.
//   DropAppliedProfile: forget a colour profile once it was applied to the pixels.
//   ReadIcc: collect the ICC profile chunks first.
//   MaxRows: decode at most this many rows; -1 all.
//   NativePixelFormat: grey gives px8g and CMYK pxCMYK instead of px24RGB.
int32_t DecodeJpegStream(TStream* Stream, TStream* TablesStream, TPXBitmap* Bitmap, TIOParams* Params,
                         TPXProgressRecord& Progress, bool PreviewOnly, bool RawComponents, bool ReadMarkers,
                         bool InvertCmyk, bool DropAppliedProfile, bool ReadIcc, int32_t MaxRows,
                         bool NativePixelFormat);

// Writes Bitmap as JPEG at the stream's position with the JPEG group of Params. The bitmap is
// never changed (alpha is flattened onto white row by row, other formats go through a copy). A
// picture of width or height 0 sets the abort flag and writes nothing; a short write sets the
// flag; a library error sets the flag and raises EPXJpegException.
void EncodeJpegStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress);

// The start of image FF D8 FF: without Scan 0 when it is at the position, else -1; with Scan the
// absolute position of the first one at the position or within the 149 bytes after it, else -1.
// The position is restored.
int64_t FindJpegStart(TStream* Stream, bool Scan);

// Bytes from the position through the end-of-image marker (or the end of the data); the position
// is restored.
int64_t GetJpegStreamLength(TStream* Stream);

// Collects the ICC_PROFILE APP2 chunks from the position and, when every piece is there, loads
// the joined profile into Params' input profile. The position is restored.
void ReadJpegIccProfile(TStream* Stream, TIOParams* Params);

// Replaces the APP2 markers of Params' JPEG_Markers by the chunks of its input profile (32000
// bytes each). A profile that 255 chunks cannot hold is not embedded, and the APP2 markers of the
// file read go with it, so no stale profile is written.
void AddJpegIccMarkers(TIOParams* Params);

// The largest profile the one-byte chunk count can carry.
inline constexpr int32_t PXJpegIccChunkSize = 32000;
inline constexpr int64_t PXJpegIccMaxProfile = int64_t{PXJpegIccChunkSize} * 255;
