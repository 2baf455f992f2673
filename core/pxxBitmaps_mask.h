// The selection mask TPXMask: 1 bit (selected or not) or 8 bits (how much) per pixel, with the
// bounding box of the selected pixels. It fills polygons, moves its content, copies selected
// pixels and alpha between bitmaps, and draws itself for the view (an exclusive-or overlay, a
// dimmed outside and the animated dashed outline).
//
// Rows are stored bottom-up (row Y at (Height - 1 - Y) x RowLen), aligned to 32 bits; 1-bit
// pixels lie leftmost in bit 7, as in a device-independent bitmap, so the mask draws directly.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/hypxdefs.h"
#include "platform/gdi/Graphics.h"
#include "platform/gdi/WinGdi.h"

class TPXBitmap;

class TPXMask : public TObject {
 public:
  // FX1 of an empty box.
  static constexpr int32_t EmptyBox = 2147483647;

  TPXMask();
  ~TPXMask() override;

  // A new size and depth (8, else 1 bit); the pixels are made zero on first use; box empty.
  void AllocateBits(int32_t Width, int32_t Height, int32_t BitsPerPixel);
  // Keeps the rows and columns both sizes share; the box is cut to the new size.
  void Resize(int32_t NewWidth, int32_t NewHeight);

  // Row Y (top = 0) or the whole memory, made on first use; nil outside or without a size.
  uint8_t* GetScanline(int32_t Y);
  uint8_t* GetBits();

  // 0 outside; 1-bit: 0 or the pixel's bit value within its byte; 8-bit: the byte.
  int32_t GetPixel(int32_t X, int32_t Y) const;
  bool IsPointInside(int32_t X, int32_t Y) const;
  // Ignored outside. 1-bit: set for any non-zero Value. A non-zero Value widens the box.
  void SetPixel(int32_t X, int32_t Y, int32_t Value);
  // Pixels X1 .. X2 of row Y, clipped (rows outside are skipped); 1-bit: set for any non-zero
  // Value. Returns the number of pixels written.
  int32_t FillSpan(int32_t Value, int32_t X1, int32_t X2, int32_t Y);
  // Every byte of the memory set to Value (255 selects a 1-bit mask wholly); the box is kept.
  void Fill(int32_t Value);
  void Clear();
  bool IsEmpty() const { return FX1 == EmptyBox; }
  void UpdateBounds();
  void UpdateFull();

  // Polygons of Count points, each ended by a point whose X is 1048575; polygon i gets
  // Values[i] when Values holds it, else Value.
  void FillPolygons(int32_t Value, std::span<const int32_t> Values, int32_t Count, const TPoint* Points);
  // Even-odd scanline fill; the lower and right ends of the edges are not filled.
  void FillPolygon(int32_t Value, const TPoint* Points, int32_t Count);
  // Moves the selected content by (DX, DY). Clip: what leaves the mask is lost; otherwise DX and
  // DY are reduced (and returned) so that the whole box stays inside.
  void Translate(int32_t& DX, int32_t& DY, bool Clip);
  // With a px8g or px8p Map (an alpha channel) placed at (X, Y): 1-bit pixels are cleared where
  // the map is 0, 8-bit pixels take min(mask, map); the box is recomputed when asked. Nothing
  // for an empty mask.
  void IntersectWithAlpha(TPXBitmap* Map, int32_t X, int32_t Y, bool RecomputeBox);
  // Copies the selected pixels of Source into Dest (same format). Source is addressed relative
  // to the box's origin with Clip, Dest with DestRelative, else both absolutely; the area is
  // always kept inside both bitmaps. An 8-bit mask blends d + ((s - d) x m shr 8).
  void CopyBitmapWithMask(TPXBitmap* Dest, TPXBitmap* Source, bool DestRelative, bool Clip, bool WithAlpha);
  // Dest's alpha over the same area: Source's alpha (255 without one) where selected, limited by
  // an 8-bit mask's value, 0 where not.
  void CopyAlphaWithMask(TPXBitmap* Dest, TPXBitmap* Source, bool DestRelative, bool Clip);

  // Drawing for the view: the mask's source rectangle stretched to the destination rectangle.
  // A 1-bit mask inverts the canvas where it is selected.
  void DrawXor(TCanvas* Canvas, int32_t XDest, int32_t YDest, int32_t DestWidth, int32_t DestHeight, int32_t XSrc,
               int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight);
  // Shades the unselected pixels of a 24 or 32-bit platform bitmap: Opacity -1 greys every other
  // pixel (97, 97, 97), else blends Color in at Opacity / 255.
  void PaintOutside(TBitmap* Bitmap, int32_t XDest, int32_t YDest, int32_t DestWidth, int32_t DestHeight, int32_t SrcX,
                    int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Opacity, TColor Color);
  // The dashed outline (dashes of 4 pixels that move with Phase); Bounds, when given, receives
  // the rectangle the outline can cover.
  void DrawOutline(TCanvas* Canvas, int32_t XDest, int32_t YDest, int32_t DestWidth, int32_t DestHeight, int32_t SrcX,
                   int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Phase, TColor Color1, TColor Color2,
                   TRect* Bounds);

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int32_t BitsPerPixel() const { return FBitsPerPixel; }
  int64_t RowLen() const { return FRowLen; }

  struct TMaskBitmapInfo {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[2];
  };

  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int32_t FBitsPerPixel = 1;
  int64_t FRowLen = 0;
  std::vector<uint8_t> FBits;  // empty until first use
  int32_t FX1 = EmptyBox;      // bounding box of the selected pixels, inclusive
  int32_t FY1 = EmptyBox;
  int32_t FX2 = 0;
  int32_t FY2 = 0;
  TMaskBitmapInfo FBitmapInfo;  // the 1-bit header the mask draws with
  std::vector<uint8_t> FZoomBuffer;  // the mask stretched to the last drawing size, bottom-up
  std::vector<uint8_t*> FZoomRows;   // FZoomRows[y]: row y of the buffer
  int32_t FZoomWidth = 0;
  int32_t FZoomHeight = 0;
  int64_t FZoomRowLen = 0;
  uint8_t FFull = 0;  // every pixel fully selected

 private:
  uint8_t* Row(int32_t Y) { return FBits.data() + (FHeight - 1 - Y) * FRowLen; }
  const uint8_t* Row(int32_t Y) const { return FBits.data() + (FHeight - 1 - Y) * FRowLen; }
  void EnsureBits();
  void WidenBox(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void NoteWrite(int32_t Value);
  // Fills FZoomBuffer; false when there is nothing to draw.
  bool StretchMaskToBuffer(int32_t XSrc, int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight, int32_t DestWidth,
                           int32_t DestHeight);
  bool ZoomPixel(int32_t X, int32_t Y) const;
};
