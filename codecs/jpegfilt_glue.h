// Inside the JPEG codec: the library's managers bound to a TStream and the abort flag, and one
// plain function per library call that catches the library's error exit. Errors leave the
// library by longjmp into these functions only; nothing with a destructor lives in them, and
// every exception is raised by the caller once the call has returned.
#pragma once

// jpeglib.h needs FILE and size_t declared first.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

#include <cstdint>
#include <string>

#include "core/hypxdefs.h"
#include "platform/rtl/Classes.h"

class TPXMarkerList;
class TPXICC;

// The error manager: the library's record first, then our state. Plain data.
struct TPXJpegErrorMgr {
  jpeg_error_mgr Pub;
  jmp_buf Jump;
  TPXAbortFlag* Aborting;  // may be nil
  int32_t LastWarning;     // the code of the last warning
};

// Fills Err with the error, emit and reset routines bound to Aborting; answers &Err->Pub for
// the library's err field.
jpeg_error_mgr* CreateJpegErrorMgr(TPXJpegErrorMgr* Err, TPXAbortFlag* Aborting);

// The message text of the error the manager last saw.
std::string JpegErrorText(const jpeg_error_mgr* Err);

// Source manager over Stream (allocated in the decompressor's permanent pool on the first call,
// rebound to another stream on later calls).
void SetJpegStreamSource(j_decompress_ptr Decompressor, TStream* Stream, TPXAbortFlag* Aborting);
// Destination manager over Stream.
void SetJpegStreamDest(j_compress_ptr Compressor, TStream* Stream, TPXAbortFlag* Aborting);

// --- the library calls; false (or -1) when the library left through the error exit ----------
bool JpegCreateDecompress(j_decompress_ptr D);
// Saves COM and APP0..APP15 with Save, then reads the header; answers the library's result.
int JpegReadHeader(j_decompress_ptr D, bool RequireImage, bool Save);
bool JpegStartDecompress(j_decompress_ptr D);
// One row into Row: 1 or 0 rows, -1 on an error.
int JpegReadRow(j_decompress_ptr D, uint8_t* Row);
bool JpegFinishDecompress(j_decompress_ptr D);
void JpegAbortDecompress(j_decompress_ptr D);

// What the writer sets up before compressing.
struct TPXJpegCompressSetup {
  int32_t Width;
  int32_t Height;
  J_COLOR_SPACE InColorSpace;
  int32_t InComponents;
  J_COLOR_SPACE FileColorSpace;
  int32_t DpiX;
  int32_t DpiY;
  J_DCT_METHOD DctMethod;
  bool Optimize;
  int32_t Smoothing;
  int32_t Quality;
  int32_t LumaH;  // YCbCr: luminance sampling
  int32_t LumaV;
  bool Progressive;
};
bool JpegCreateCompress(j_compress_ptr C);
bool JpegSetupCompress(j_compress_ptr C, const TPXJpegCompressSetup* Setup);
bool JpegStartCompress(j_compress_ptr C);
bool JpegWriteMarker(j_compress_ptr C, int Marker, const uint8_t* Data, unsigned Length);
bool JpegWriteRow(j_compress_ptr C, const uint8_t* Row);
bool JpegFinishCompress(j_compress_ptr C);

// Replaces the APP2 markers of List by Profile's ICC chunks; false when the profile is too large
// for 255 chunks (the old APP2 markers are dropped all the same).
bool AddJpegIccChunks(TPXMarkerList* List, const TPXICC* Profile);
