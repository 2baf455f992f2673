// Rotation of bitmaps by any angle in degrees: inverse nearest mapping for every pixel format,
// the three-shear rotation with 12-bit antialiasing for 24-bit and 8-bit pictures, and bilinear
// or bicubic interpolation into the rotated bounding box. A positive angle turns the picture
// counter-clockwise as seen on screen (rows run top to bottom).
//
// Antialias modes: 0 nearest, 1 three shears with antialiasing, 2 bilinear, 3 bicubic; the
// smooth routines take any mode above 3 as bicubic.
//
// Backgrounds: TColor values hold red in the low byte; 8-bit routines take the byte itself, the
// 24-bit shear a TRGB. Alpha channels are rotated with background 0 by the bitmap's own rotation.
// A nil OnProgress means no progress. Nothing here raises but allocation failures
// (EOutOfMemory); unsupported formats and virtual bitmaps are left alone. Large pictures are
// done in bands of rows on the library's thread pool; progress comes from the caller's thread.
#pragma once

#include <cstdint>

#include "core/hypxdefs.h"
#include "platform/rtl/Types.h"

class TPXBitmap;

// --- three shears --------------------------------------------------------------------------

// The sizes of the three-shear rotation of a W x H picture by the reduced angle A (degrees,
// -45 <= A <= 45, not 0): pass 1 is W1 x H, pass 2 W1 x H2 (H2a before trimming 2*O rows),
// pass 3 (the result) W3 x H2.
struct TPXShearSizes {
  int32_t W1 = 0;
  int32_t O = 0;
  int32_t H2a = 0;
  int32_t U = 0;
  int32_t H2 = 0;
  int32_t W3 = 0;
};
TPXShearSizes CalcShearSizes(int32_t Width, int32_t Height, double A);

// The shear routines' angle: trunc(Angle * 1000) mod 360000 / 1000 (sign kept).
double ReduceShearAngle(double Angle);

// Rotates a px24RGB Bitmap in place: whole quarter turns exactly, the rest (within +-45) by three
// shears, blended with 12-bit weights when Antialias. Any other format goes to RotateMonoNearest
// with a white new area when all three background bytes are non-zero (px1g only; others: nothing).
void RotateByShear(TPXBitmap* Bitmap, double Angle, bool Antialias, TRGB Background,
                   const TPXProgressEvent& OnProgress = {}, TObject* Sender = nullptr);

// The same on one byte per pixel (px8g, px8p; a palette is kept and indices are blended as
// numbers); other formats: nothing.
void RotateGrayByShear(TPXBitmap* Bitmap, double Angle, bool Antialias, uint8_t Background,
                       const TPXProgressEvent& OnProgress = {}, TObject* Sender = nullptr);

// --- nearest mapping -----------------------------------------------------------------------

// px1g in place, inverse nearest mapping with four-decimal trigonometry; exact turns only at 90,
// -90, 270, 180 and -180. New area black, or white with WhiteBackground. Other formats: nothing.
void RotateMonoNearest(TPXBitmap* Bitmap, bool WhiteBackground, TPXProgressRecord& Progress, double Angle);

// px8g and px8p in place, the mapping of RotateMonoNearest, no progress; new area Background.
void RotateGrayNearest(TPXBitmap* Bitmap, double Angle, uint8_t Background);

// Every pixel format in place (a px8p palette is kept): exact turns at every whole multiple of
// 90, else inverse nearest mapping into the rotated bounding box; new area Background (as
// TPXBitmap::Fill takes it; px1g black).
void RotateNearest(TPXBitmap* Bitmap, double Angle, TColor Background, const TPXProgressEvent& OnProgress = {},
                   TObject* Sender = nullptr);

// --- interpolation -------------------------------------------------------------------------

// Dest becomes Source rotated into its rotated bounding box (RotatedRectSize), bilinear for
// Mode 2 (truncated), bicubic otherwise (rounded, clamped). 8-bit sources go through
// RotateGraySmoothTo, px24RGB directly, other formats through a px24RGB copy (Dest px24RGB).
// Dest is reallocated (which drops its alpha channel). Source and Dest must differ.
void RotateSmoothTo(TPXBitmap* Source, TPXBitmap* Dest, double Angle, TColor Background, int32_t Mode,
                    const TPXProgressEvent& OnProgress = {}, TObject* Sender = nullptr);
// In place through a temporary bitmap; Bitmap's own alpha channel is kept (not rotated).
void RotateSmooth(TPXBitmap* Bitmap, double Angle, TColor Background, int32_t Mode,
                  const TPXProgressEvent& OnProgress = {}, TObject* Sender = nullptr);

// px8g and px8p (values interpolated as grey levels, palette kept); no progress. Other formats:
// nothing.
void RotateGraySmoothTo(TPXBitmap* Source, TPXBitmap* Dest, double Angle, uint8_t Background, int32_t Mode);
void RotateGraySmooth(TPXBitmap* Bitmap, double Angle, uint8_t Background, int32_t Mode);

// --- 1-bit helpers -------------------------------------------------------------------------

// Bit Index of a 1-bit row (leftmost pixel in bit 7): non-zero when set.
inline uint8_t GetBit(const uint8_t* Buffer, int32_t Index) {
  return static_cast<uint8_t>(Buffer[Index >> 3] & (0x80u >> (Index & 7)));
}
inline void SetBit(uint8_t* Buffer, int32_t Index, bool Value) {
  const uint8_t m = static_cast<uint8_t>(0x80u >> (Index & 7));
  if (Value) Buffer[Index >> 3] |= m;
  else Buffer[Index >> 3] &= static_cast<uint8_t>(~m);
}
