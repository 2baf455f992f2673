// The small raster codecs of one unit: BMP (bmpfilt.cpp), the icon and cursor readers, the icon
// writer and the platform icon conversion (bmpfilt_ico.cpp), and the portable any-map, wireless
// bitmap, headerless raw and metafile signature routines (marked block below, their own files).
//
// Readers follow the codec contract: they read from the stream's position, PreviewOnly fills the
// parameters only, progress goes per row through the progress record, and bad data never raises
// out of a reader (the record's abort flag is the only result), except the two documented icon
// texts "Unsupported pixel format" and "Not valid 256x256 Icon" (EPXException).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/hypxdefs.h"
#include "io/pxxBitmaps_params.h"
#include "platform/gdi/WinIcons.h"  // HICON

class TStream;
class TPXBitmap;
class TPXMask;
class TIOParams;
class TIcon;

// ---------------------------------------------------------------------------------------------
// BMP

// Reads one BMP (file header, info header, palette, pixels) from the stream's position. Size is
// the number of bytes the BMP data occupies (0: unknown). NoFileHeader, or Params' IsResource,
// says the data begins with the info header. 32-bit alpha comes back in AlphaMask (created when
// nil; freed again when every alpha byte is 0 or 255) unless IgnoreAlpha.
void DecodeBmpStream(TStream* Stream, TPXBitmap* Bitmap, int64_t Size, TIOParams* Params,
                     TPXProgressRecord& Progress, bool PreviewOnly, bool NoFileHeader,
                     std::unique_ptr<TPXMask>& AlphaMask, bool IgnoreAlpha);

// Writes Bitmap as BMP at the stream's position (1, 4, 8, 24 or 32 bits; RLE for 4 and 8 bits
// with BMP_Compression 1). SaveAlpha writes a picture with an alpha channel as 32 bits; without
// it the picture is flattened onto white in a copy. For up to 8 bits Params' ColorMap becomes
// the palette written. The caller's bitmap is never changed.
void EncodeBmpStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                     bool SaveAlpha);

// Run-length data (RLE4 with Rle4, else RLE8) of a packed DIB into a px24RGB Bitmap already
// allocated at the picture's size, indices looked up in Palette (indices past it read black);
// pixels the data skips are black. Strictly: a run or move past its row's end or the picture's
// last row, data running out before the picture ends, or anything but end of bitmap after the
// last row answers false.
bool DecodeBmpRunLength(std::span<const uint8_t> Data, bool Rle4, TPXBitmap* Bitmap, std::span<const TRGB> Palette,
                        bool TopDown);

// Whether the bytes at the stream's position start a BMP file ("BM" and a known info header
// size); the position is restored.
bool HasBmpSignature(TStream* Stream);

// ---------------------------------------------------------------------------------------------
// ICO and CUR

// Header, then every directory entry, checked; the position is restored.
bool HasIcoSignature(TStream* Stream);
bool HasCurSignature(TStream* Stream);
// The header's image count without checks (0 when it cannot be read); the position is restored.
int32_t GetIcoImageCount(TStream* Stream);

// Reads entry ICO_ImageIndex of an icon file (or a BMP file, or with IsResource a bare icon
// DIB). Transparency comes back in AlphaMask unless IgnoreAlpha. Mode selects the handling of a
// small icon inside a 256 x 256 frame: 0 none, 1 raises "Not valid 256x256 Icon", 2 crops it.
void DecodeIcoStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly,
                     TPXProgressRecord& Progress, std::unique_ptr<TPXMask>& AlphaMask, bool IgnoreAlpha,
                     int32_t Mode);
// Reads entry CUR_ImageIndex of a cursor file (with IsResource a bare cursor resource: hot spot
// words and DIB). The mask comes back as built, also when full.
void DecodeCurStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly,
                     TPXProgressRecord& Progress, std::unique_ptr<TPXMask>& AlphaMask, bool IgnoreAlpha);

// Writes an icon file holding Bitmap resampled to each of Sizes, at the depth of the matching
// BitCounts entry (0: Params' BitsPerSample and SamplesPerPixel). ICO_PNG stores PNG entries.
void EncodeIcoStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                     std::span<const TPXIcoSize> Sizes, std::span<const int32_t> BitCounts);

// A platform icon as a one-image icon file; false when anything fails.
bool WriteIconToStream(TStream* Stream, TIcon* Icon);
// Fills Bitmap from a platform icon, with alpha from its mask (Mode as for DecodeIcoStream).
void CopyIconToBitmap(TIcon* Icon, TPXBitmap* Bitmap, int32_t Mode);
// The desktop's icon for the type of FileName (its icon theme, by MIME type); nil when it has
// none or the file does not exist. The caller destroys the handle.
HICON GetShellFileIcon(const std::string& FileName);
// Fills Bitmap with the desktop's icon of FileName; Bitmap is left unchanged when there is none.
void GetFileIconBitmap(const std::string& FileName, TPXBitmap* Bitmap);

// ---------------------------------------------------------------------------------------------
// PXM, WBMP, raw pixels and metafile signatures

// --- begin: any-map, wireless bitmap, raw pixels, metafile signatures (bmpfilt_pxm.cpp) ---

// Portable bit/grey/pixel maps ("P1" to "P6"). The reader keeps px1g for bitmaps, px16g and
// pxRGB48 for 16-bit grey and pixel maps with NativePixelFormat, else px24RGB; header comments
// go to PXM_Comments. It reads on whatever the abort flag says; a header without positive sizes,
// a maxval below 1 or above 65535 and an unknown magic set the flag. A stream that ends early
// sets the flag too, its rows kept.
bool HasPxmSignature(TStream* Stream);
void DecodePxmStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                     bool PreviewOnly);
// Writes P4 (px1g, or 1 bit 1 sample), P5 (8 bits 1 sample), P6 at 65535 (16 bits 3 samples, or
// a pxRGB48 picture) or P6 at 255 (8 bits 3 samples, or a px24RGB picture), each from a copy in
// that layout when the picture is in another; a request none of these fits sets the abort flag.
void EncodePxmStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress);

// Wireless bitmap, type 0. The reader takes any size the header's integers give; the writer
// fits the picture within 255 x 255.
void DecodeWbmpStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                      bool PreviewOnly);
void EncodeWbmpStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress);

// Metafile recognition only; the position is restored.
bool HasEmfSignature(TStream* Stream);
bool HasWmfSignature(TStream* Stream);

// Headerless pixels into Bitmap as the caller allocated it (BMPRAW_ fields of Params: header
// size, row alignment in bits, planar blocks, channel order, binary / decimal / hexadecimal
// data). An empty bitmap or an unusable layout sets the abort flag; hexadecimal text into px32f
// raises EPXException "Format unsupported".
void DecodeRawPixelStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress);

// --- end: any-map, wireless bitmap, raw pixels, metafile signatures ---
