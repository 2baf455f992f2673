// The pixel container TPXBitmap and its relatives: the abstract base TPXBaseBitmap, the DIB
// section container TPXDibbitmap, the scratch buffer TPXWorkBitmap and the virtual views
// TPXVirtualRotatedBitmap and TPXVirtualClippedBitmap.
//
// Where the members are defined:
//   pxxBitmaps.cpp          base class, construction and destruction, change notification,
//                           properties, colour tables of platform bitmaps
//   pxxBitmaps_storage.cpp  allocation, storage kinds, row addressing, attaching, resizing,
//                           row alignment, handing storage over
//   pxxBitmaps_alpha.cpp    the alpha channel and its operations
//   pxxBitmaps_copy.cpp     copies and assignment, image stack, format preference, small pixel
//                           questions
//   pxxBitmaps_rawstream.cpp  the raw bitmap stream
//   pxxBitmaps_convert.cpp  pixel format conversion
//   pxxBitmaps_access.cpp   pixel access, fills, palette
//   pxxBitmaps_rect.cpp     rectangle copies, platform-bitmap import
//   pxxBitmaps_transfer.cpp  alpha rectangles, DIB and mask transfers, the storage location
//                           and the canvas over the pixels
//   pxxBitmaps_rectcanvas.cpp  rectangle bitmaps written back into their parent, the
//                           antialiased canvas over the pixels
//   pxxBitmaps_views.cpp    TPXDibbitmap, TPXWorkBitmap, the virtual views, 1-bit pixel routines
//   Geometry and compositing members are declared here and defined with the processing engine.
//   pxxBitmaps_transform.cpp  rotation, resampling, the rectangle stretch and compositing with
//                           alpha (through the processing engine's resamplers and rotations)
//   pxxBitmaps_render.cpp   rendering onto bitmaps, platform bitmaps, canvases and printers
//   pxxBitmaps_renderformats.cpp  the per-format render routines
//
// Rows: GetScanline(Y) is row Y counted from the top. One-block storage keeps rows bottom-up;
// segments, the temporary file and virtual rows are top-down. File storage maps the whole
// temporary file once, so every row address stays valid while the storage lives.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/hypxdefs.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps_mask.h"  // Library services: TPXMask
#include "platform/gdi/Graphics.h"
#include "platform/gdi/WinGdi.h"
#include "platform/rtl/Classes.h"
#include "proc/pixoranproc_geometry.h"  // Geometry and compositing: TPXFlipDirection

class TPXICC;
class TIOParams;
class TPXBitmap;
class TPXDibbitmap;
class TPXCanvas;

// FAccessMode flags.
inline constexpr uint8_t pxamRead = 1;
inline constexpr uint8_t pxamWrite = 2;

// Writes one pixel of a virtual bitmap (X, Y) to the address Pixel.
PX_EVENT_TYPE(TPXVirtualPixelEvent, void(TObject* Sender, int32_t X, int32_t Y, void* Pixel));

// Supplies the pixels of a virtual bitmap.
class TPXVirtualBitmapProvider : public TObject {
 public:
  // Renders Bitmap into the px24RGB Dest over the destination rectangle (X1, Y1)-(X2, Y2) with
  // the column and row maps into the source.
  virtual void Render(TPXBitmap* Bitmap, TPXBitmap* Dest, int32_t DestWidth, int32_t DestHeight, int32_t X1,
                      int32_t Y1, int32_t X2, int32_t Y2, const int32_t* ColMap, const int32_t* RowMap,
                      int32_t Transparency, uint8_t Operation, double Opacity) = 0;
  // The address of Count pixels of row Row from column Col.
  virtual void* GetPixels(TPXBitmap* Bitmap, int32_t Row, int32_t Col, int32_t Count) = 0;
};

// ---------------------------------------------------------------------------------------------
// TPXBaseBitmap

class TPXBaseBitmap : public TObject {
 public:
  TPXBaseBitmap() = default;
  ~TPXBaseBitmap() override = default;

  virtual void* GetScanline(int32_t Row) = 0;
  virtual int32_t GetBitCount() = 0;
  virtual int32_t GetHeight() = 0;
  virtual int32_t GetWidth() = 0;
  virtual void SetWidth(int32_t Value) = 0;
  virtual void SetHeight(int32_t Value) = 0;
  virtual TPXPixelFormat GetPixelFormat() = 0;
  virtual int64_t GetRowLen() = 0;
  virtual TRGB* GetPalette() = 0;
  // Color is left unchanged for an index outside the palette.
  virtual void GetPaletteColor(int32_t Index, TRGB& Color) = 0;
  virtual void SetPaletteColor(int32_t Index, const TRGB& Color) = 0;
  virtual int32_t GetPaletteLength() = 0;
  virtual int32_t GetPaletteUsed() = 0;
  virtual void SetPaletteUsed(int32_t Value) = 0;
  virtual bool Allocate(int32_t Width, int32_t Height, TPXPixelFormat PixelFormat) = 0;
  // Containers that cannot fill raise EAbstractError.
  virtual void AllocateFilled(int32_t Width, int32_t Height, TColor Color, uint8_t Alpha);
  virtual void Assign(TObject* Source) = 0;
  virtual void AssignImage(TObject* Source) = 0;
  virtual void CopyPaletteTo(TPXBaseBitmap* Dest) = 0;

  int32_t Width() { return GetWidth(); }
  int32_t Height() { return GetHeight(); }
  TPXPixelFormat PixelFormat() { return GetPixelFormat(); }
  int32_t BitCount() { return GetBitCount(); }
  int64_t RowLen() { return GetRowLen(); }
  uint8_t* Scanline(int32_t Row) { return static_cast<uint8_t*>(GetScanline(Row)); }

  // Read (pxamRead) and write (pxamWrite) flags; only meaningful for storage that copies rows.
  uint8_t FAccessMode = pxamRead | pxamWrite;
};

// ---------------------------------------------------------------------------------------------
// TPXBitmap

class TPXBitmap : public TPXBaseBitmap {
 public:
  TPXBitmap();
  ~TPXBitmap() override;

  // Create, Allocate, then not modified.
  static std::unique_ptr<TPXBitmap> CreateAllocated(int32_t Width, int32_t Height, TPXPixelFormat PixelFormat);
  // Create, Assign(Source), then not modified.
  static std::unique_ptr<TPXBitmap> CreateCopy(TObject* Source);
  // A copy of the inclusive rectangle of Source, with its alpha.
  static std::unique_ptr<TPXBitmap> CreateCrop(TPXBitmap* Source, const TRect& Rect);
  // A copy of the inclusive rectangle of a platform bitmap, without alpha.
  static std::unique_ptr<TPXBitmap> CreateFromTBitmapRect(TBitmap* Bitmap, const TRect& Rect);

  // --- storage -----------------------------------------------------------------------------
  bool Allocate(int32_t Width, int32_t Height, TPXPixelFormat PixelFormat) override;
  void AllocateFilled(int32_t Width, int32_t Height, TColor Color, uint8_t Alpha) override;
  // The storage decision for the current width, height and format (no DoChange).
  bool AllocatePixels();
  void FreeStorage(bool FreeAlpha);
  void FreeImage();
  bool IsEmpty();
  virtual bool IsVirtual();

  int32_t GetWidth() override;
  int32_t GetHeight() override;
  int32_t GetBitCount() override;
  int32_t GetChannelCount();
  TPXPixelFormat GetPixelFormat() override;
  int64_t GetRowLen() override;
  void SetWidth(int32_t Value) override;
  void SetHeight(int32_t Value) override;
  void SetBitCount(int32_t Value) { FBitCount = Value; }
  void SetChannelCount(int32_t Value) { FChannelCount = Value; }
  void SetRowLen(int64_t Value) { FRowLen = Value; }
  int32_t ChannelCount() { return GetChannelCount(); }

  // Takes width, height and format over from the platform bitmap that holds the pixels.
  void SyncFromTBitmap();
  // Rebuilds the row addresses of the platform bitmap.
  void BuildRowPointers();

  void* GetScanline(int32_t Row) override;
  virtual void* GetPixelAddress(int32_t Row, int32_t Col, int32_t Count);
  virtual void* AcquireScanline(int32_t Row);
  virtual void ReleaseScanline(int32_t Row);
  // The lowest pixel address of one-block or platform-bitmap storage.
  uint8_t* GetPixelBuffer();

  // Takes a caller's platform bitmap (not owned) as storage.
  void AttachTBitmap(TBitmap* Bitmap, bool FreeFirst);
  // Takes a caller's block (not owned) of Height rows, bottom-up unless RowOrderReversed.
  void AttachMemory(void* Block, int32_t Width, int32_t Height, TPXPixelFormat PixelFormat, bool FreeFirst,
                    bool RowOrderReversed);
  int32_t RowAlignment() const { return FRowAlignment; }
  void SetRowAlignment(int32_t Bits);
  // Hands the whole storage to Dest and leaves this bitmap empty (its location kept).
  void MoveStorageTo(TPXBitmap* Dest);

  TPXBitmapLocation Location() const { return FLocation; }
  void SetLocation(TPXBitmapLocation NewLocation);
  TCanvas* GetCanvas();
  void UpdateCanvasTransform();

  // --- copies, alpha channel, change notification -------------------------------------------
  void AssignFrom(TObject* Source, bool CopyParams);
  // Whether AssignFrom may copy Source's rows into the storage this bitmap owns already (same
  // size, format and row layout, own memory block or file).
  bool CanReuseStorageFor(TPXBitmap* Source);
  void Assign(TObject* Source) override;
  void AssignImage(TObject* Source) override;
  void CopyPaletteTo(TPXBaseBitmap* Dest) override;
  void CopyAttributesFrom(TPXBitmap* Source, bool CopyParams);
  void PushImage();
  void PopImage();
  // Library services: copies through a selection mask.
  // Dest becomes the mask's box cut from this bitmap; with either bitmap having alpha, Dest's alpha
  // is this bitmap's inside the selection and 0 outside it.
  void CopyMaskedTo(TPXBitmap* Dest, TPXMask* Mask);
  // This bitmap (of the box's size) goes into Dest where the mask selects, with its alpha.
  void PasteMaskedInto(TPXBitmap* Dest, TPXMask* Mask);

  virtual TPXBitmap* GetAlphaChannel();
  virtual TPXBitmap* PeekAlphaChannel();
  bool HasAlphaChannel() const { return FAlphaChannel != nullptr; }
  TPXBitmap* AlphaChannel() { return GetAlphaChannel(); }
  // A new opaque px8g alpha channel (FIsAlphaChannel set); pxTBitmap becomes pxMemory.
  static std::unique_ptr<TPXBitmap> CreateAlphaChannel(int32_t Width, TPXBitmapLocation Location, int32_t Height);
  void ReplaceAlphaChannel(std::unique_ptr<TPXBitmap> Bitmap);
  std::unique_ptr<TPXBitmap> DetachAlphaChannel(bool CreateIfMissing);
  void RemoveAlphaChannel(bool Merge, TColor BackgroundColor);
  void MergeAlphaWithColor(TColor BackgroundColor);
  void FeatherAlphaEdges(int32_t Width);
  void UpdateFull();
  void SyncAlpha32(bool ToAlpha, bool ChangeFormat);

  void SetPixelFormat(TPXPixelFormat Format);
  bool EnsurePixelFormat(TPXPixelFormatSet Allowed, bool Convert);
  void SetChannelOffset(int32_t Index, int32_t Value);
  int32_t GetChannelOffset(int32_t Index) const;
  bool IsAllZero();
  bool IsGrayScale();
  void NormalizeFloat();

  // The profile renders convert towards: FDisplayProfile when set, else the built-in sRGB.
  const TPXICC* DisplayProfile() const;

  void DoChange();
  bool Modified() const { return FModified != 0; }
  void SetModified(bool Value);
  const TNotifyEvent& OnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }
  const TPXProgressEvent& OnProgress() const { return FOnProgress; }
  void SetOnProgress(const TPXProgressEvent& Value) { FOnProgress = Value; }
  const TPXVirtualPixelEvent& OnVirtualPixel() const { return FOnVirtualPixel; }
  void SetOnVirtualPixel(const TPXVirtualPixelEvent& Value) { FOnVirtualPixel = Value; }

  // --- raw bitmap stream ---------------------------------------------------------------------
  // Writes into Buffer (when not nil, which must hold RawStreamSize bytes) or Stream.
  void SaveRawToStream(void* Buffer, TStream* Stream, bool PreSize);
  // Reads from Buffer (BufferSize bytes, when not nil) or Stream; false and an empty bitmap on
  // bad or truncated data.
  bool LoadRawFromStream(const void* Buffer, int64_t BufferSize, TStream* Stream);
  // [raw stream from a stream of unknown length] Reads from Stream, which holds at most MaxBytes
  // (an inflating stream: its packed size times deflate's greatest ratio), row by row into the
  // allocated rows; as LoadRawFromStream otherwise. Exceptions from Stream pass through, the
  // bitmap left empty.
  bool LoadRawFromStreamBounded(TStream* Stream, int64_t MaxBytes);
  int64_t RawStreamSize();

  // --- pixel format conversion ---------------------------------------------------------------
  // Fills this (allocated) bitmap from Source of the same size; Source is left unchanged.
  void ConvertPixelFormat(TPXBitmap* Source);
  void ChangePixelFormat(TPXPixelFormat NewFormat);
  void UpdateVclPalette();

  // --- pixel access, fills, palette ----------------------------------------------------------
  uint8_t GetPixel8(int32_t X, int32_t Y);
  void SetPixel8(int32_t X, int32_t Y, uint8_t Value);
  uint16_t GetPixel16(int32_t X, int32_t Y);
  void SetPixel16(int32_t X, int32_t Y, uint16_t Value);
  float GetPixel32f(int32_t X, int32_t Y);
  void SetPixel32f(int32_t X, int32_t Y, float Value);
  TCMYK GetPixelCMYK(int32_t X, int32_t Y);
  void SetPixelCMYK(int32_t X, int32_t Y, const TCMYK& Value);
  TCIELab GetPixelLab(int32_t X, int32_t Y);
  void SetPixelLab(int32_t X, int32_t Y, const TCIELab& Value);
  uint32_t GetPixel32RGB(int32_t X, int32_t Y);
  void SetPixel32RGB(int32_t X, int32_t Y, uint32_t Value);
  TRGB48 GetPixel48(int32_t X, int32_t Y);
  void SetPixel48(int32_t X, int32_t Y, const TRGB48& Value);
  void SetPixel24(int32_t X, int32_t Y, const TRGB& Color);
  TRGB* GetPixelPtr24(int32_t X, int32_t Y);
  TRGB GetPixelRGB(int32_t X, int32_t Y);
  // Color: blue in bits 0..7, green 8..15, red 16..23.
  void SetPixelRGB(int32_t X, int32_t Y, uint32_t Color);
  uint8_t GetAlpha(int32_t X, int32_t Y);
  void SetAlpha(int32_t X, int32_t Y, uint8_t Value);
  void Fill(double Value);
  void FillRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double Value);
  // Value: blue, green, red, alpha bytes from the lowest.
  void FillRGBA(uint32_t Value);

  TRGB* GetPalette() override;
  void GetPaletteColor(int32_t Index, TRGB& Color) override;
  void SetPaletteColor(int32_t Index, const TRGB& Color) override;
  int32_t GetPaletteLength() override;
  int32_t GetPaletteUsed() override;
  void SetPaletteUsed(int32_t Value) override;
  void LoadPaletteFromTBitmap(TBitmap* Bitmap, int32_t Count);

  // --- rectangle copies and transfers --------------------------------------------------------
  void CopyRectToEx(TPXBitmap* Dest, int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t Width,
                    int32_t Height, bool CopyAlpha, bool Elliptical);
  void CopyRectTo(TPXBitmap* Dest, int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t Width,
                  int32_t Height, bool CopyAlpha);
  // [pxxBitmaps_mask.cpp] Dest becomes a copy of Mask's box (cut to this bitmap) in this
  // bitmap's format, with an alpha channel that is 0 where the mask is clear and this bitmap's
  // alpha (255 without one), limited by an 8-bit mask's value, where it is set. Nothing for an
  // empty mask.
  void CopyMaskedRegion(TPXBitmap* Dest, TPXMask* Mask);
  // [pxxBitmaps_mask.cpp] This bitmap holds Mask's box: its selected pixels go into Dest at the
  // box's position (an 8-bit mask blends by its value), and, when this bitmap has an alpha
  // channel, its alpha into Dest's the same way (Dest's opaque flag cleared). Dest must have
  // this bitmap's format. Nothing for an empty mask.
  void MergeThroughMask(TPXBitmap* Dest, TPXMask* Mask);
  void CombineAlphaRectTo(TPXBitmap* Dest, int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY,
                          int32_t Width, int32_t Height, int32_t Mode, double Factor);
  void CopyFromTBitmap(TBitmap* Bitmap);
  void CopyFromDibbitmap(TPXDibbitmap* Dib);
  // [transfers: pxxBitmaps_transfer.cpp]
  // Makes this bitmap a copy of Mask (px1g or px8g by its depth; nil: every pixel 255); an
  // alpha channel ends as px8g.
  void CopyFromMask(TPXMask* Mask);
  // Moves the pixels into a platform bitmap, as GetCanvas does, and gives it (nil when none).
  TBitmap* GetVclBitmap();
  // [end of transfers]
  // [rectangle bitmaps and the canvas over the pixels: pxxBitmaps_rectcanvas.cpp]
  // A bitmap over the inclusive rectangle of Parent that writes itself back into Parent when
  // freed: a copy of the rectangle converted to PixelFormat (pxNoFormat keeps the parent's), or
  // with Transparent a px32RGB bitmap of 0 that is composited with its alpha. A parent freed
  // first detaches its rectangle bitmaps, which then write nothing.
  static std::unique_ptr<TPXBitmap> CreateRectBitmap(TPXBitmap* Parent, const TRect& Rect,
                                                     TPXPixelFormat PixelFormat, bool Transparent);
  // An antialiased canvas over a rectangle bitmap of Parent, drawing in Parent's coordinates;
  // freeing the canvas frees the bitmap and so writes the drawing back.
  static std::unique_ptr<TPXCanvas> CreateRectCanvas(TPXBitmap* Parent, const TRect& Rect, bool AntiAlias,
                                                     bool UseGDIPlus, bool Transparent);
  // The rectangle canvas's free callback: resets the canvas transform, then frees Bitmap.
  static void FreeRectCanvasBitmap(std::unique_ptr<TPXBitmap> Bitmap, TPXCanvas* Canvas);
  // Writes this rectangle bitmap back into its parent (nothing without one).
  void CommitToParent();
  TPXBitmap* ParentBitmap() const { return FParentBitmap; }
  // The antialiased canvas over GetCanvas, made once (nil when there is no canvas).
  TPXCanvas* GetPXCanvas();
  // A rectangle through GetPXCanvas; clNone colours mean a clear pen or brush.
  void DrawRectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TColor PenColor, int32_t PenWidth,
                     int32_t PenTransparency, TColor BrushColor, int32_t BrushTransparency);
  // Run by the destructor: writes back into the parent and detaches the rectangle bitmaps.
  void EndRectBitmaps() noexcept;
  std::vector<TPXBitmap*> FRectBitmaps;  // rectangle bitmaps cut from this one (not owned)
  // [end of rectangle bitmaps]

  // --- geometry and compositing --------------------------------------------------------------
  void ResizeCanvas(int32_t NewWidth, int32_t NewHeight, double FillValue, double AlphaValue, int32_t HorizPos,
                    int32_t VertPos);
  void AddBorders(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, double FillValue, double AlphaValue);
  void Crop(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double FillColor);
  void CropRect(const TRect& Rect, double FillColor);
  bool CropTransparent();
  // Geometry and compositing: the processing engine's mirror, then DoChange.
  void Flip(TPXFlipDirection Direction);
  void MoveRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t DstX, int32_t DstY, double FillValue,
                bool Fill);
  void Rotate(double Angle, int32_t Mode, TColor Background);
  void RotateEx(double Angle, int32_t Mode, TColor Background, const TPXProgressEvent& OnProgress, TObject* Sender);
  void Resample(int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter, bool Fit, bool OnlyShrink);
  void ResampleByFactor(double Factor, TResampleFilter Filter);
  void StretchRectTo(TPXBitmap* Dest, int32_t DstX, int32_t DstY, int32_t DstWidth, int32_t DstHeight, int32_t SrcX,
                     int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, TResampleFilter Filter, int32_t MaxAlpha,
                     double Opacity);
  void MergeWithAlpha(TPXBitmap* Source, int32_t DstX, int32_t DstY, int32_t SrcWidth, int32_t SrcHeight,
                      int32_t MaxAlpha, TResampleFilter Filter, uint8_t BlendOp, bool Resample, int32_t SrcX,
                      int32_t SrcY, double Opacity);

  // --- rendering (pxxBitmaps_render.cpp, pxxBitmaps_renderformats.cpp) -------------------------
  // Draws the source rectangle into the destination rectangle of the px24RGB Dest (nothing is
  // drawn into other formats). ColMap and RowMap map destination columns (rows) from DestX
  // (DestY) to source columns (rows); empty means none. With FreeMaps false, an empty map this
  // call builds is handed back through its variable. ClipRect (inclusive) limits the drawing.
  void RenderToPXBitmapEx(TPXBitmap* Dest, TPXIntegerArray& ColMap, TPXIntegerArray& RowMap, const TRect* ClipRect,
                          int32_t DestX, int32_t DestY, int32_t DestWidth, int32_t DestHeight, int32_t SrcX,
                          int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, bool EnableAlpha, bool RowReuse,
                          int32_t Transparency, TResampleFilter Filter, bool FreeMaps, TPXBlendOperation Operation,
                          double Opacity);
  void RenderToPXBitmap(TPXBitmap* Dest, int32_t DestX, int32_t DestY, int32_t DestWidth, int32_t DestHeight,
                        int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, bool EnableAlpha,
                        int32_t Transparency, TResampleFilter Filter, TPXBlendOperation Operation, double Opacity);
  // The same into a pf24bit platform bitmap.
  void RenderToTBitmapEx(TBitmap* Bitmap, TPXIntegerArray& ColMap, TPXIntegerArray& RowMap, const TRect* ClipRect,
                         int32_t DestX, int32_t DestY, int32_t DestWidth, int32_t DestHeight, int32_t SrcX,
                         int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, bool EnableAlpha, bool RowReuse,
                         int32_t Transparency, TResampleFilter Filter, bool FreeMaps, TPXBlendOperation Operation,
                         double Opacity);
  void RenderToTBitmap(TBitmap* Bitmap, int32_t DestX, int32_t DestY, int32_t DestWidth, int32_t DestHeight,
                       int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Transparency,
                       TResampleFilter Filter, TPXBlendOperation Operation, double Opacity);
  // Renders with alpha over what the canvas already shows at (X, Y, Width, Height).
  void DrawToCanvasWithAlpha(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height, int32_t SrcX,
                             int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Transparency,
                             TResampleFilter Filter, TPXBlendOperation Operation, double Opacity);
  // The whole picture scaled into (X, Y, Width, Height) of a canvas (a printer's), in strips; the
  // alpha channel is merged over Background in a copy.
  void RenderToCanvas(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height, TResampleFilter Filter,
                      double Gamma, TColor Background, bool Fit);
  void DrawTo(TCanvas* Canvas, int32_t X, int32_t Y);

  // Per-format render routines, chosen by the source's pixel format. Dest is px24RGB; X1..X2 and
  // Y1..Y2 the inclusive destination span; ColMap and RowMap give the source column (row) of each
  // span column (row) from X1 (Y1), an empty map the 1:1 identity; XStep and YStep are the scale
  // (16384 = 1:1). Spans outside Dest and maps that are short or point outside the source are cut
  // or clamped, never followed.
  virtual void Render24RGB(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                           int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1,
                           int32_t X2, int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse,
                           TPXBlendOperation Operation);
  virtual void Render24RGBBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha, std::span<const int32_t> ColMap,
                                  std::span<const int32_t> RowMap, int32_t SrcX, int32_t SrcY, int32_t DestX,
                                  int32_t DestY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t XStep,
                                  int32_t YStep, bool RowReuse, TPXBlendOperation Operation, double Opacity);
  virtual void Render32RGB(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                           int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1,
                           int32_t X2, int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse,
                           TPXBlendOperation Operation);
  virtual void Render32RGBBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha, std::span<const int32_t> ColMap,
                                  std::span<const int32_t> RowMap, int32_t SrcX, int32_t SrcY, int32_t DestX,
                                  int32_t DestY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t XStep,
                                  int32_t YStep, bool RowReuse, TPXBlendOperation Operation, double Opacity);
  virtual void Render1g(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                        int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                        int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse);
  virtual void Render1gBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                               std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                               int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                               int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse, double Opacity);
  virtual void Render8g(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                        int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                        int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse);
  virtual void Render8gBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                               std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                               int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                               int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse, double Opacity);
  virtual void Render8p(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                        int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                        int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse);
  virtual void Render8pBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                               std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                               int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                               int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse, double Opacity);
  virtual void Render16g(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                         int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                         int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse);
  virtual void Render16gBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                                std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                                int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                                int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse, double Opacity);
  virtual void Render32f(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                         int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                         int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse);
  virtual void Render32fBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                                std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                                int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                                int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse, double Opacity);
  virtual void RenderCMYK(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                          int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                          int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse);
  virtual void RenderCMYKBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                                 std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                                 int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                                 int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse, double Opacity);
  virtual void RenderCIELab(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                            int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1,
                            int32_t X2, int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse);
  virtual void RenderCIELabBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                                   std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                                   int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                                   int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse, double Opacity);
  virtual void RenderRGB48(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                           int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1,
                           int32_t X2, int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse,
                           TPXBlendOperation Operation);
  virtual void RenderRGB48Blended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha, std::span<const int32_t> ColMap,
                                  std::span<const int32_t> RowMap, int32_t SrcX, int32_t SrcY, int32_t DestX,
                                  int32_t DestY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t XStep,
                                  int32_t YStep, bool RowReuse, TPXBlendOperation Operation, double Opacity);
  virtual void RenderVirtual(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                             int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1,
                             int32_t X2, int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse,
                             TPXBlendOperation Operation);
  virtual void RenderVirtualBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                                    std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                                    int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                                    int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse,
                                    TPXBlendOperation Operation, double Opacity);
  // --- end of rendering ------------------------------------------------------------------------

  // --- I/O parameters (see core/pxxBitmaps_iohooks.h) ---------------------------------------
  // The parameters the picture carries; nil when none.
  TIOParams* GetParams();
  bool HasParams() const { return FParams != nullptr; }
  // Creates parameters owned by this bitmap, or frees them.
  void SetHasParams(bool Value);
  // [file formats through the I/O layer; core/pxxBitmaps_iohooks.h]
  // Loads the picture at the stream's position (FileType 0: by content); Params (may be nil)
  // go to the reader and receive what it found. True when the load did not abort.
  bool LoadFromStream(TStream* Stream, int32_t FileType, TIOParams* Params = nullptr);
  // Saves the picture (Params, when nil, follow the pixel format). True when not aborted.
  bool SaveToStream(TStream* Stream, int32_t FileType, TIOParams* Params = nullptr);
  // Loads the compiled-in resource named by the decimal text of ResourceID (EResNotFound when
  // there is none); BMP data without a file header is accepted meanwhile.
  bool LoadFromResourceID(uintptr_t Instance, int32_t ResourceID, std::string_view ResourceType, int32_t FileType);

  // --- fields --------------------------------------------------------------------------------
  std::unique_ptr<TPXFileBuffer> FFileBuffer;  // backing store of pxFile storage
  std::vector<TRGB> FPalette;                  // 256 entries for px8p, else empty
  int32_t FPaletteUsed = 256;
  std::unique_ptr<TPXBitmap> FAlphaChannel;    // px8g, same size, FIsAlphaChannel set
  uint8_t* FMemoryRows = nullptr;              // 64-byte aligned start of the one block
  TPXBlockPtr FMemoryBlock;                    // the one block as allocated (nil when external)
  TBitmap* FVclBitmap = nullptr;               // pixel holder of pxTBitmap storage
  std::unique_ptr<TBitmap> FOwnedVclBitmap;    // FVclBitmap when it is not the caller's
  std::vector<uint8_t*> FRowPointers;          // pxTBitmap: the address of every row
  uint8_t FRowOrderReversed = 0;               // row R stored as row Height-1-R
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int32_t FBitCount = 0;
  int32_t FChannelCount = 0;
  int64_t FRowLen = 0;
  TPXPixelFormat FPixelFormat = pxNoFormat;
  uint8_t FIsAlphaChannel = 0;
  TPXBitmapLocation FLocation = pxFile;
  uint8_t FFull = 0;             // every sample at full value (an opaque alpha channel)
  uint8_t FExternalTBitmap = 0;  // FVclBitmap belongs to the caller
  uint8_t FExternalMemory = 0;   // the memory block belongs to the caller
  int64_t FMemoryLimit = 0;      // pixel bytes above which storage goes to a temporary file
  uint8_t FBWConversion = 1;     // conversions to px1g: 0 ordered dither, 1 threshold
  std::unique_ptr<TPXICC> FImageProfile;
  std::unique_ptr<TPXICC> FDisplayProfile;   // nil: the built-in sRGB profile, shared by all bitmaps
  double FDisplayRangeLow = 0;
  double FDisplayRangeHigh = 0;
  int32_t FChannelOffset[4] = {0, 0, 0, 0};
  uint8_t FChannelOffsetEnabled = 0;
  int32_t FContrast = 0;
  std::unique_ptr<TPXMask> FDisplayMask;  // Library services: display adjustments apply inside it
  int32_t FRowAlignment = 32;             // bits
  uint8_t FAllocationKind = 2;            // 0 heap, 1 global, 2 heap up to 1 MB, global above
  uint8_t FForceReallocate = 1;
  std::unique_ptr<TObject> FPXCanvas;     // antialiased canvas over FVclBitmap
  TNotifyEvent FOnChange;
  TPXProgressEvent FOnProgress;
  uint8_t FModified = 0;
  int32_t FSegmentCount = 0;
  int32_t FRowsPerSegment = 0;
  std::vector<TPXGlobalPtr> FSegments;
  TPXVirtualPixelEvent FOnVirtualPixel;
  std::unique_ptr<TPXVirtualBitmapProvider> FVirtualProvider;
  std::vector<uint8_t> FVirtualRowBuffer;  // one row of a virtual bitmap
  TPXBitmap* FParentBitmap = nullptr;      // not owned
  TRect FParentRect;
  uint8_t FLoadingResource = 0;
  std::vector<std::unique_ptr<TPXBitmap>> FImageStack;
  uint8_t FWicFastLoading = 0;
  std::unique_ptr<TObject> FParams;  // the picture's I/O parameters
  TObject* FOwnerView = nullptr;     // not owned

 protected:
  // Address of row Row (already in storage order) of the current storage.
  uint8_t* StorageRow(int32_t Row);

 private:
  bool AllocateBlock(int64_t Size);
  bool AllocateSegments();
  bool AllocateFile(int64_t Size);
  bool AllocateTBitmap(int64_t Size);
  void FreeSegments();
  void ApplySize(bool Horizontal, int32_t Value);
  void* VirtualRow(int32_t Row, int32_t Col, int32_t Count);
  void AssignFromGraphic(TObject* Source);
};

// The memory limit a new bitmap takes: SettingsLimit when it is 0 or more, else the physical
// memory divided by 1.1 (32 MB when the physical memory reads 0).
int64_t BitmapMemoryLimitFor(int64_t SettingsLimit, int64_t PhysicalMemory);

// Rendering: draws the rectangle (FirstColumn, FirstRow, StripWidth x StripHeight) of Bitmap at
// (X, Y) of the canvas through a packed DIB.
void PrintPict(TCanvas* Canvas, int32_t X, int32_t Y, TPXBitmap* Bitmap, int32_t FirstColumn, int32_t FirstRow,
               int32_t StripWidth, int32_t StripHeight);
// Rendering: stretches a rectangle of a packed DIB (a global memory handle) onto the canvas,
// colour on colour; a block too small for its header, colour table and rows draws nothing.
void _DIBDrawTo(TCanvas* Canvas, void* DIB, int32_t XSrc, int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight,
                int32_t XDest, int32_t YDest, int32_t DestWidth, int32_t DestHeight);
// The largest single block one-block storage may request (0: no limit). Lets tests reach the
// segmented storage that otherwise only memory shortage selects.
void SetMaxSingleBlockSize(int64_t Bytes);

// [transfers: pxxBitmaps_transfer.cpp] Makes Mask a copy of a px1g (1-bit mask) or px8g
// (8-bit) bitmap, or the weighted grey of a px24RGB one; other formats leave Mask unchanged.
void CopyBitmapToMask(TPXBitmap* Bitmap, TPXMask* Mask);

// ---------------------------------------------------------------------------------------------
// Colour tables of platform bitmaps

// The 256 grey levels as the colour table, stretch mode colour-on-colour.
void SetGrayPalette(TBitmap* Bitmap);
// Every entry of the colour table equals (i, i, i); an empty table counts as grey.
bool IsGrayPalette(TBitmap* Bitmap);
// An 8-bit platform bitmap's colour table into a px8p Dest, entry by entry.
void ReadPaletteFromTBitmap(TBitmap* Bitmap, TPXBitmap* Dest);
// Target becomes an 8-bit grey copy of the 24-bit Source.
void TBitmap24ToGray8(TBitmap* Source, TBitmap* Target);

// ---------------------------------------------------------------------------------------------
// 1-bit rows: pixel X in byte X div 8 under the mask 128 shr (X mod 8).

inline uint8_t GetPixelBit(const uint8_t* Row, int32_t X) {
  return static_cast<uint8_t>(Row[X >> 3] & (0x80u >> (X & 7)));
}
inline void SetPixelBit(uint8_t* Row, int32_t X, int32_t Value) {
  if (Value != 0) Row[X >> 3] |= static_cast<uint8_t>(0x80u >> (X & 7));
  else Row[X >> 3] &= static_cast<uint8_t>(~(0x80u >> (X & 7)));
}

// ---------------------------------------------------------------------------------------------
// TPXDibbitmap: a DIB section with its own memory device context; 1 or 24 bits.

struct TPXDibBitmapInfo {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[2];
};

class TPXDibbitmap : public TPXBaseBitmap {
 public:
  TPXDibbitmap();
  ~TPXDibbitmap() override;

  void* GetScanline(int32_t Row) override;
  int32_t GetBitCount() override;
  int32_t GetHeight() override;
  int32_t GetWidth() override;
  void SetWidth(int32_t Value) override;   // EPXException "Cannot resize TPXDibBitmap"
  void SetHeight(int32_t Value) override;  // likewise
  TPXPixelFormat GetPixelFormat() override;
  int64_t GetRowLen() override;
  TRGB* GetPalette() override;
  void GetPaletteColor(int32_t Index, TRGB& Color) override;
  void SetPaletteColor(int32_t Index, const TRGB& Color) override;
  int32_t GetPaletteLength() override;
  int32_t GetPaletteUsed() override;
  void SetPaletteUsed(int32_t Value) override;
  bool Allocate(int32_t Width, int32_t Height, TPXPixelFormat PixelFormat) override;
  void Assign(TObject* Source) override;
  void AssignImage(TObject* Source) override;
  void CopyPaletteTo(TPXBaseBitmap* Dest) override;

  bool AllocateBits(int32_t Width, int32_t Height, int32_t BitCount);
  void FreeBits();

  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int32_t FBitCount = 0;
  int32_t FRowLen = 0;
  HDC FDC = nullptr;
  HBITMAP FDIBSection = nullptr;
  TPXDibBitmapInfo FBitmapInfo;
  uint8_t* FBits = nullptr;  // the section's pixels, bottom-up
};

// ---------------------------------------------------------------------------------------------
// TPXWorkBitmap: a bare scratch buffer in one block or in segments.

class TPXWorkBitmap : public TObject {
 public:
  TPXWorkBitmap(int32_t Width, int32_t Height, int32_t BitsPerPixel);
  ~TPXWorkBitmap() override;
  // Raises EOutOfMemory when neither one block nor segments can be had.
  void Allocate(int32_t Width, int32_t Height, int32_t BitsPerPixel);
  uint8_t* GetScanline(int32_t Y);
  void FreeBuffer();

  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int32_t FBitsPerPixel = 0;
  int32_t FRowLen = 0;
  TPXBlockPtr FBlock;
  int32_t FRowsPerSegment = 0;
  std::vector<TPXGlobalPtr> FSegments;
};

// ---------------------------------------------------------------------------------------------
// TPXVirtualRotatedBitmap: another bitmap rotated by an angle, nearest neighbour, on request.

class TPXVirtualRotatedBitmap : public TPXBitmap {
 public:
  // A view of the caller's Source, which must outlive it.
  TPXVirtualRotatedBitmap(TPXBitmap* Source, double Angle, TColor Background);
  // A view that owns its source.
  TPXVirtualRotatedBitmap(std::unique_ptr<TPXBitmap> Source, double Angle, TColor Background);
  ~TPXVirtualRotatedBitmap() override;

  TPXBitmap* FSource = nullptr;
  std::unique_ptr<TPXBitmap> FOwnedSource;  // FSource when the view owns it
  int32_t FSourceWidth = 0;
  int32_t FSourceHeight = 0;
  TPXPixelFormat FSourceFormat = pxNoFormat;
  double FAngle = 0;
  double FAngleRad = 0;
  TRGB FBackgroundRGB;
  uint8_t FBackgroundGray = 0;
  std::vector<int32_t> FColumnX;
  std::vector<int32_t> FColumnY;
  std::vector<int32_t> FRowX;
  std::vector<int32_t> FRowY;

 private:
  void VirtualPixel(TObject* Sender, int32_t X, int32_t Y, void* Pixel);
};

// ---------------------------------------------------------------------------------------------
// TPXVirtualClippedBitmap: a rectangle of another bitmap, forwarding row and pixel access.

class TPXVirtualClippedBitmap : public TPXBitmap {
 public:
  // Rect is inclusive.
  TPXVirtualClippedBitmap(TPXBitmap* Source, const TRect& Rect);
  ~TPXVirtualClippedBitmap() override;

  void* GetScanline(int32_t Row) override;
  TRGB* GetPalette() override;
  void GetPaletteColor(int32_t Index, TRGB& Color) override;
  int32_t GetPaletteLength() override;
  int32_t GetPaletteUsed() override;
  TPXBitmap* GetAlphaChannel() override;
  TPXBitmap* PeekAlphaChannel() override;
  void* GetPixelAddress(int32_t Row, int32_t Col, int32_t Count) override;
  void* AcquireScanline(int32_t Row) override;
  void ReleaseScanline(int32_t Row) override;

  TPXBitmap* FSource = nullptr;
  TRect FClipRect;
  std::unique_ptr<TPXBitmap> FOwnedSource;  // set by a caller that hands the source over
  std::unique_ptr<TPXVirtualClippedBitmap> FClippedAlpha;
};
