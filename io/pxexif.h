// The EXIF block side of the TIFF codec: the EXIF block of a picture's parameters (a TIFF
// structure without pixels, optionally with the thumbnail as its second page) and turning a
// picture upright by its orientation value.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/hypxdefs.h"
#include "platform/rtl/Types.h"

class TPXBitmap;
class TPXMask;
class TStream;
class TIOParams;
struct TPXTiffHeader;

// The TIFF writer the EXIF block is made with; the TIFF codec registers it at start-up.
using TPXTiffEncodeProc = int32_t (*)(TStream* Stream, bool Append, TPXBitmap* Bitmap, TIOParams* Params,
                                      TPXProgressRecord& Progress);
void RegisterTiffEncoder(TPXTiffEncodeProc Encode);

// The TIFF reader the EXIF block is read with (same registration): one page (TIFF_ImageIndex of
// Params) of the TIFF structure at the stream's position. Bitmap nil reads the tags only;
// OffsetsFromPosition counts offsets from the position; ExifThumbnail refuses pages over 400 x 400;
// ExifBlock lets the page's own directory hold EXIF tags when it has no EXIF directory.
using TPXTiffDecodeProc = void (*)(TPXBitmap* Bitmap, TStream* Stream, int32_t& PageCount, TIOParams* Params,
                                   TPXProgressRecord& Progress, bool PreviewOnly, std::unique_ptr<TPXMask>& AlphaMask,
                                   bool OffsetsFromPosition, bool IgnoreAlpha, bool ExifThumbnail, bool ExifBlock,
                                   const TPXTiffHeader* Header);
void RegisterTiffDecoder(TPXTiffDecodeProc Decode);

// The tag structure of Params alone: a little-endian TIFF structure without pixels whose page
// holds the tags the TIFF writer writes from Params. False (Buffer empty) while no TIFF writer is
// registered or when writing fails.
bool BuildTiffTagBlock(TIOParams* Params, std::vector<uint8_t>& Buffer);

// The EXIF block of Params: a little-endian TIFF structure whose first page holds the page-level
// EXIF tags and the EXIF and GPS directories, and, when Params has a thumbnail, a second page
// holding it as old-style JPEG. WithPrefix puts "Exif" and two zero bytes first. False (and an
// empty Buffer) while no TIFF writer is registered or when writing fails.
bool BuildExifBlock(TIOParams* Params, std::vector<uint8_t>& Buffer, bool WithPrefix);

// Reads the EXIF block of Length bytes at Buffer into the EXIF group of Params and its second page
// into EXIF_Thumbnail (empty when there is none, it is over 400 x 400 or it is damaged; turned by
// the picture's orientation). With WithPrefix the block must start with "Exif" and a zero byte,
// else the answer is false and nothing changes; otherwise true, with EXIF_HasEXIFData set even
// when the structure is damaged (the fields read before the damage stay).
bool ReadExifBlock(const void* Buffer, int32_t Length, TIOParams* Params, bool WithPrefix);

// The position of the TIFF header of the EXIF data inside a file: the header at the position
// itself, else the first one within 128 bytes after an "Exif" and zero byte, else the last bare
// TIFF header found; -1 when none. The stream position is restored.
int64_t FindExifTiffHeader(TStream* Stream);

// Reads the EXIF group of the TIFF structure at the stream's position and its smaller page (at
// most 400 x 400) as EXIF_Thumbnail; with WithXmp its XMP packet goes to XMP_Info too. The
// position is restored. Always true.
bool ReadExifFromTiffStream(TStream* Stream, TIOParams* Params, bool WithXmp);

// Reads the tags of page TIFF_ImageIndex of the TIFF structure at the stream's position straight
// into Params, without pixels; the position is restored. Always true.
bool ReadTiffTagsIntoParams(TStream* Stream, TIOParams* Params);

// "yyyy:mm:dd hh:mm:ss" as a date-time; 0 for blanks, "0000:00:00 00:00:00" and any text that is
// not a valid date and time.
TDateTime ExifDateToDateTime(std::string_view Text);
// A date-time as "yyyy:mm:dd hh:mm:ss"; 0 gives the empty text.
std::string DateTimeToExifDate(TDateTime Value);

// Turns Bitmap upright for the TIFF / EXIF orientation value (1 and values outside 2..8: nothing):
// 2 mirror left-right, 3 half turn, 4 mirror top-bottom, 5 mirror left-right then a quarter turn
// anticlockwise (transpose), 6 a quarter turn clockwise, 7 mirror left-right then a quarter turn
// clockwise (transverse), 8 a quarter turn anticlockwise. The bitmap's alpha channel and Mask
// (when given, 8 bits, the bitmap's size) turn with it.
void ApplyOrientation(TPXBitmap* Bitmap, int32_t Orientation, TPXMask* Mask = nullptr);
