// The TIFF codec (TIFF 6.0; BigTIFF read): one page of a classic or BigTIFF stream read into a
// bitmap with its parameters, one page written as classic little-endian TIFF (new, or inserted
// into an existing file), the signature tests and the page count. Split by topic:
//   tiffilt_read.cpp     header, directories, page selection, tags and parameters
//   tiffilt_strips.cpp   strips and tiles, decompression, predictor
//   tiffilt_convert.cpp  photometric conversion of decoded rows into the bitmap and mask
//   tiffilt_write.cpp    the writer
//   tiffilt_sig.cpp      signatures, page count, registration
//
// Readers never raise on bad data: they set the progress record's abort flag and return, keeping
// the rows decoded so far.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/hypxdefs.h"

class TStream;
class TPXBitmap;
class TPXMask;
class TIOParams;

// A header handed in by the caller instead of the stream's own (classic layout).
struct TPXTiffHeader {
  uint16_t ByteOrder = 0x4949;  // "II" or "MM"
  uint16_t Version = 42;
  uint32_t FirstOffset = 0;     // in the header's byte order
};

// Reads page TIFF_ImageIndex (or its SubIFD TIFF_SubIndex, or its tile TIFF_GetTile) of the TIFF
// at the stream's position into Bitmap (nil: parameters and page count only).
//   PageCount: the directories of the main chain (0 before anything is read).
//   AlphaMask: receives alpha (created when needed and nil).
//   OffsetsFromPosition: offsets count from the position on entry, else from 0.
//   IgnoreAlpha: no mask. ExifThumbnail: the page is an EXIF thumbnail (at most 400 x 400, the
//   bitmap cleared first). ExifBlock: an EXIF block (EXIF tags may sit in the page's directory).
//   Header: when given, the byte order and first offset come from it.
void DecodeTiffStream(TPXBitmap* Bitmap, TStream* Stream, int32_t& PageCount, TIOParams* Params,
                      TPXProgressRecord& Progress, bool PreviewOnly, std::unique_ptr<TPXMask>& AlphaMask,
                      bool OffsetsFromPosition, bool IgnoreAlpha, bool ExifThumbnail, bool ExifBlock,
                      const TPXTiffHeader* Header);

// Writes Bitmap as one page of a classic little-endian TIFF at the stream's position, or with
// Append inserts it before page TIFF_ImageIndex of the little-endian classic TIFF that starts
// there. Bitmap nil writes only the tag structure (EXIF blocks). Answers the pages of the file
// after the call (0 when appending fails). The caller's bitmap is never changed.
int32_t EncodeTiffStream(TStream* Stream, bool Append, TPXBitmap* Bitmap, TIOParams* Params,
                         TPXProgressRecord& Progress);

// Content tests; each restores the stream's position.
bool HasTiffSignature(TStream* Stream);
bool HasRawTiffSignature(TStream* Stream);
bool HasHdPhotoSignature(TStream* Stream);
// The pages of the TIFF at the stream's position (0 for a damaged header).
int32_t GetTiffPageCount(TStream* Stream);

// Copies the EXIF data of Params (as an EXIF block: page-level tags with the EXIF and GPS
// directories) into page PageIndex of the TIFF-structured file read from SourceStream (or the
// file SourceFileName), replacing those tags there, and writes every page to DestStream (when it
// is SourceStream, from where the source began) or to the file DestFileName. Nothing is copied
// when the byte orders differ or the page does not exist. False when the target cannot be read
// as TIFF or written.
bool InjectExifIntoTiff(TStream* SourceStream, TStream* DestStream, std::string_view SourceFileName,
                        std::string_view DestFileName, int32_t PageIndex, TIOParams* Params);

// TIFF (type 1) and the HD Photo signature (type 29).
void RegisterTiffCodec();
