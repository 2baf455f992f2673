// The class library's graphics objects over the device contexts: fonts, pens and brushes,
// the canvas, and the pictures (TGraphic, TBitmap, TIcon, TPicture).
//
// Handles of fonts, pens and brushes are made when first asked for and freed when a property
// that they depend on changes; a canvas selects them into its device context only when a
// drawing call needs them (RequiredState). A bitmap's pixels live in a DIB section; its canvas
// is a memory device context holding that DIB section.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/WinGdi.h"
#include "platform/gdi/WinIcons.h"
#include "platform/rtl/Classes_persistent.h"
#include "platform/rtl/Classes_streams.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/Types.h"

// ---------------------------------------------------------------------------------------------
// Types

enum class TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using enum TFontStyle;
using TFontStyles = TSet<TFontStyle>;
enum class TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };
using enum TFontPitch;
// The platform's font quality values, in their order (fqDefault = DEFAULT_QUALITY ...).
enum class TFontQuality : uint8_t {
  fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType, fqClearTypeNatural
};
using enum TFontQuality;
using TFontCharset = uint8_t;
using TFontName = std::string;

enum class TPenStyle : uint8_t {
  psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame, psUserStyle, psAlternate
};
using enum TPenStyle;
enum class TPenMode : uint8_t {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, pmMergeNotPen,
  pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
using enum TPenMode;
// The R2_* code of a pen mode.
int32_t PenModeToROP2(TPenMode Mode);

enum class TBrushStyle : uint8_t {
  bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross
};
using enum TBrushStyle;

enum class TFillStyle : uint8_t { fsSurface, fsBorder };
using enum TFillStyle;

// Canvas copy modes are the ternary raster operation codes.
using TCopyMode = int32_t;
constexpr TCopyMode cmBlackness = BLACKNESS;
constexpr TCopyMode cmDstInvert = DSTINVERT;
constexpr TCopyMode cmMergeCopy = MERGECOPY;
constexpr TCopyMode cmMergePaint = MERGEPAINT;
constexpr TCopyMode cmNotSrcCopy = NOTSRCCOPY;
constexpr TCopyMode cmNotSrcErase = NOTSRCERASE;
constexpr TCopyMode cmPatCopy = PATCOPY;
constexpr TCopyMode cmPatInvert = PATINVERT;
constexpr TCopyMode cmPatPaint = PATPAINT;
constexpr TCopyMode cmSrcAnd = SRCAND;
constexpr TCopyMode cmSrcCopy = SRCCOPY;
constexpr TCopyMode cmSrcErase = SRCERASE;
constexpr TCopyMode cmSrcInvert = SRCINVERT;
constexpr TCopyMode cmSrcPaint = SRCPAINT;
constexpr TCopyMode cmWhiteness = WHITENESS;

enum class TCanvasStates : uint8_t { csHandleValid, csFontValid, csPenValid, csBrushValid };
using enum TCanvasStates;
using TCanvasState = TSet<TCanvasStates>;
inline constexpr TCanvasState csAllValid{csHandleValid, csFontValid, csPenValid, csBrushValid};

// DrawText options of TCanvas::TextRect, each the DT_* flag of the same name.
enum class TTextFormats : uint8_t {
  tfBottom, tfCalcRect, tfCenter, tfEditControl, tfEndEllipsis, tfPathEllipsis, tfExpandTabs,
  tfExternalLeading, tfLeft, tfModifyString, tfNoClip, tfNoPrefix, tfRight, tfRtlReading,
  tfSingleLine, tfTop, tfVerticalCenter, tfWordBreak, tfHidePrefix, tfNoFullWidthCharBreak,
  tfPrefixOnly, tfTabStop, tfWordEllipsis, tfComposited
};
using enum TTextFormats;
using TTextFormat = TSet<TTextFormats>;
// The DT_* flags of a text format.
UINT TextFormatToFlags(TTextFormat Format);

enum class TPixelFormat : uint8_t { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
using enum TPixelFormat;
enum class TBitmapHandleType : uint8_t { bmDIB, bmDDB };
using enum TBitmapHandleType;
enum class TTransparentMode : uint8_t { tmAuto, tmFixed };
using enum TTransparentMode;
enum class TAlphaFormat : uint8_t { afIgnored, afDefined, afPremultiplied };
using enum TAlphaFormat;
enum class TProgressStage : uint8_t { psStarting, psRunning, psEnding };
using enum TProgressStage;

PX_EVENT_TYPE(TProgressEvent, void(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                                   const TRect& R, const std::string& Msg));

// Type descriptions of the published property types.
PTypeInfo TypeInfo_TFontStyle();
PTypeInfo TypeInfo_TFontStyles();
PTypeInfo TypeInfo_TFontPitch();
PTypeInfo TypeInfo_TFontQuality();
PTypeInfo TypeInfo_TFontCharset();
PTypeInfo TypeInfo_TFontName();
PTypeInfo TypeInfo_TPenStyle();
PTypeInfo TypeInfo_TPenMode();
PTypeInfo TypeInfo_TBrushStyle();

// The screen's resolution, which fonts measure points with.
inline constexpr int32_t ScreenPixelsPerInch = 96;

// ---------------------------------------------------------------------------------------------
// Graphics objects

class TGraphicsObject : public TPersistent {
  PX_CLASS(TGraphicsObject)
 public:
  ~TGraphicsObject() override;
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }
  // Whether the GDI object exists now (it is made on demand).
  bool HandleAllocated() const { return handle_ != nullptr; }

 protected:
  // Tells OnChange.
  virtual void Changed();
  // A property the GDI object depends on changed: the object is dropped, OnChange told (so that
  // a canvas deselects it), and only then deleted.
  void HandleChanged();
  HGDIOBJ handle_ = nullptr;

 private:
  TNotifyEvent on_change_;
};

class TFont : public TGraphicsObject {
  PX_CLASS(TFont)
 public:
  TFont();
  // Copies every property from another TFont; Size is kept when the resolutions differ.
  void Assign(TPersistent* Source) override;

  // The HFONT for the current properties (made from a LOGFONT when first asked for).
  HFONT Handle();
  // Takes over a font handle: the properties are read from its LOGFONT.
  void SetHandle(HFONT Value);
  // The LOGFONT the handle is made from.
  LOGFONT LogFont() const;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value);  // an empty name is ignored
  // Negative: character height in pixels; positive: cell height.
  int32_t Height() const { return height_; }
  void SetHeight(int32_t Value);
  // Points at PixelsPerInch: -MulDiv(Height, 72, PixelsPerInch).
  int32_t Size() const;
  void SetSize(int32_t Value);  // Height := -MulDiv(Value, PixelsPerInch, 72)
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles Value);
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset Value);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch Value);
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  TFontQuality Quality() const { return quality_; }
  void SetQuality(TFontQuality Value);
  // Escapement of the text in tenths of degrees.
  int32_t Orientation() const { return orientation_; }
  void SetOrientation(int32_t Value);
  int32_t PixelsPerInch() const { return pixels_per_inch_; }
  void SetPixelsPerInch(int32_t Value);

 private:
  std::string name_ = "Tahoma";
  int32_t height_ = -11;
  TFontStyles style_;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  TColor color_ = clWindowText;
  TFontQuality quality_ = fqDefault;
  int32_t orientation_ = 0;
  int32_t pixels_per_inch_ = ScreenPixelsPerInch;
};

class TBitmap;

class TPen : public TGraphicsObject {
  PX_CLASS(TPen)
 public:
  TPen() = default;
  void Assign(TPersistent* Source) override;
  HPEN Handle();
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  int32_t Width() const { return width_; }
  void SetWidth(int32_t Value);  // values below 0 are ignored
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle Value);
  // Not part of the GDI object: the canvas applies it with SetROP2.
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode Value);

 private:
  TColor color_ = clBlack;
  int32_t width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
};

class TBrush : public TGraphicsObject {
  PX_CLASS(TBrush)
 public:
  TBrush() = default;
  void Assign(TPersistent* Source) override;
  HBRUSH Handle();
  TColor Color() const { return color_; }
  void SetColor(TColor Value);  // also makes a clear brush solid, as the class library does
  TBrushStyle Style() const { return style_; }
  // bsClear also sets Color to clWhite, as the class library does.
  void SetStyle(TBrushStyle Value);
  // A pattern brush from the bitmap's top-left 8x8 pixels; not owned (the caller keeps it alive
  // until the brush's handle has been made, or sets nil).
  TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(TBitmap* Value);

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  TBitmap* bitmap_ = nullptr;  // not owned
};

// ---------------------------------------------------------------------------------------------
// TCanvas

class TGraphic;

class TCanvas : public TPersistent {
  PX_CLASS(TCanvas)
 public:
  TCanvas();
  ~TCanvas() override;

  // The device context drawn on, with the canvas's font, pen and brush selected into it. A plain
  // canvas is given one (any HDC; not owned); a bitmap's canvas makes its own. Drawing without
  // one raises EInvalidOperation "Canvas does not allow drawing".
  HDC Handle();
  void SetHandle(HDC Value);
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Makes sure the handle exists and the pen, brush and font asked for are selected.
  void RequiredState(TCanvasState ReqState);
  TCanvasState State() const { return state_; }
  // Deselects pen, brush and font (they are selected again when next needed).
  void Refresh();

  TFont* Font() { return font_.get(); }
  void SetFont(TFont* Value) { font_->Assign(Value); }
  TPen* Pen() { return pen_.get(); }
  void SetPen(TPen* Value) { pen_->Assign(Value); }
  TBrush* Brush() { return brush_.get(); }
  void SetBrush(TBrush* Value) { brush_->Assign(Value); }
  TCopyMode CopyMode() const { return copy_mode_; }
  void SetCopyMode(TCopyMode Value) { copy_mode_ = Value; }
  // ExtTextOut options of TextOut and TextRect.
  int32_t TextFlags() const { return text_flags_; }
  void SetTextFlags(int32_t Value) { text_flags_ = Value; }
  TPoint PenPos();
  void SetPenPos(TPoint Value) { MoveTo(Value.X, Value.Y); }
  TColor Pixels(int32_t X, int32_t Y);
  void SetPixels(int32_t X, int32_t Y, TColor Value);
  // The clip box in logical coordinates.
  TRect ClipRect();

  // A re-entrant lock per canvas, for drawing from several threads.
  void Lock();
  void Unlock();
  // Locks when nobody (this thread included) holds the lock.
  bool TryLock();
  int32_t LockCount() const;

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }
  const TNotifyEvent& OnChanging() const { return on_changing_; }
  void SetOnChanging(const TNotifyEvent& Value) { on_changing_ = Value; }

  // Drawing
  void Arc(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4);
  // Copies Source of Bitmap to Dest replacing the pixels of Color with the brush (or, with a
  // clear brush, leaving the canvas there).
  void BrushCopy(const TRect& Dest, TBitmap* Bitmap, const TRect& Source, TColor Color);
  void Chord(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4);
  // StretchBlt from Canvas with CopyMode.
  void CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source);
  void Draw(int32_t X, int32_t Y, TGraphic* Graphic);
  void Draw(int32_t X, int32_t Y, TGraphic* Graphic, uint8_t Opacity);
  void DrawFocusRect(const TRect& Rect);
  void Ellipse(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void Ellipse(const TRect& Rect) { Ellipse(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
  // FillRect with the brush (a clear brush paints nothing).
  void FillRect(const TRect& Rect);
  void FloodFill(int32_t X, int32_t Y, TColor Color, TFillStyle FillStyle);
  void FrameRect(const TRect& Rect);
  void LineTo(int32_t X, int32_t Y);
  void MoveTo(int32_t X, int32_t Y);
  void Pie(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4);
  void Polygon(std::span<const TPoint> Points);
  void Polygon(std::initializer_list<TPoint> Points) { Polygon(std::span<const TPoint>(Points.begin(), Points.size())); }
  void Polyline(std::span<const TPoint> Points);
  void Polyline(std::initializer_list<TPoint> Points) { Polyline(std::span<const TPoint>(Points.begin(), Points.size())); }
  void PolyBezier(std::span<const TPoint> Points);
  void PolyBezierTo(std::span<const TPoint> Points);
  void Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void Rectangle(const TRect& Rect) { Rectangle(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
  void RoundRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3);
  void RoundRect(const TRect& Rect, int32_t CX, int32_t CY) { RoundRect(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom, CX, CY); }
  void StretchDraw(const TRect& Rect, TGraphic* Graphic);
  TSize TextExtent(std::string_view Text);
  int32_t TextHeight(std::string_view Text) { return TextExtent(Text).cy; }
  int32_t TextWidth(std::string_view Text) { return TextExtent(Text).cx; }
  // ExtTextOut with TextFlags; the pen position then moves to (X + text width, Y).
  void TextOut(int32_t X, int32_t Y, std::string_view Text);
  // Text clipped to Rect (opaque unless the brush is clear).
  void TextRect(const TRect& Rect, int32_t X, int32_t Y, std::string_view Text);
  // DrawText with the format's flags; tfCalcRect updates Rect. Text is not changed
  // (tfModifyString has no effect).
  void TextRect(TRect& Rect, std::string& Text, TTextFormat TextFormat = {});

 protected:
  virtual void CreateHandle() {}
  virtual void Changed();
  virtual void Changing();

 private:
  void DeselectHandles();
  void SelectFont();
  void SelectPen();
  void SelectBrush();
  void FontChanged(TObject*);
  void PenChanged(TObject*);
  void BrushChanged(TObject*);

  HDC handle_ = nullptr;
  TCanvasState state_;
  std::unique_ptr<TFont> font_;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
  TCopyMode copy_mode_ = cmSrcCopy;
  int32_t text_flags_ = 0;
  TNotifyEvent on_change_;
  TNotifyEvent on_changing_;
  std::recursive_mutex lock_;
  std::atomic<int32_t> lock_count_{0};
};

// ---------------------------------------------------------------------------------------------
// Pictures

class TGraphic : public TPersistent {
  PX_CLASS(TGraphic)
 public:
  TGraphic() = default;

  virtual bool Empty() const = 0;
  virtual int32_t Width() const = 0;
  virtual void SetWidth(int32_t Value) = 0;
  virtual int32_t Height() const = 0;
  virtual void SetHeight(int32_t Value) = 0;
  virtual void SetSize(int32_t AWidth, int32_t AHeight);
  virtual bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool Value);
  bool Modified() const { return modified_; }
  void SetModified(bool Value);
  virtual HPALETTE Palette() { return nullptr; }
  virtual void SetPalette(HPALETTE) {}

  virtual void LoadFromStream(TStream* Stream) = 0;
  virtual void SaveToStream(TStream* Stream) = 0;
  // Whether the data at the stream's position looks like this kind of picture (the position is
  // kept).
  virtual bool CanLoadFromStream(TStream* Stream) = 0;
  void LoadFromFile(std::string_view FileName);
  // Written through a temporary file: a failed save leaves an existing file as it was.
  void SaveToFile(std::string_view FileName);

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }
  const TProgressEvent& OnProgress() const { return on_progress_; }
  void SetOnProgress(const TProgressEvent& Value) { on_progress_ = Value; }

 protected:
  friend class TCanvas;
  friend class TPicture;
  // Draws the picture stretched into Rect.
  virtual void Draw(TCanvas* ACanvas, const TRect& Rect) = 0;
  // Draws the picture blended with a constant opacity (255 = Draw).
  virtual void DrawTransparent(TCanvas* ACanvas, const TRect& Rect, uint8_t Opacity);
  virtual void Changed(TObject* Sender);
  void Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow, const TRect& R,
                const std::string& Msg);

 private:
  bool transparent_ = false;
  bool modified_ = false;
  TNotifyEvent on_change_;
  TProgressEvent on_progress_;
};

// The class library's transparent copy: the pixels where the monochrome mask has 0 bits are
// copied (stretched) from Src, the others keep Dst.
BOOL TransparentStretchBlt(HDC DstDC, int32_t DstX, int32_t DstY, int32_t DstW, int32_t DstH, HDC SrcDC,
                           int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH, HDC MaskDC, int32_t MaskX,
                           int32_t MaskY);
// TransparentStretchBlt in its two steps, for a source drawn many times: TransparentMaskSource
// puts into Dest (a 32-bit colour DC, at its origin) the SrcW x SrcH source with the pixels the
// mask marks made black, and TransparentStretchBltMasked draws that masked source through the
// same mask exactly as TransparentStretchBlt draws the source.
BOOL TransparentMaskSource(HDC Dest, HDC SrcDC, int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH, HDC MaskDC,
                           int32_t MaskX, int32_t MaskY);
BOOL TransparentStretchBltMasked(HDC DstDC, int32_t DstX, int32_t DstY, int32_t DstW, int32_t DstH, HDC MaskedDC,
                                 int32_t SrcW, int32_t SrcH, HDC MaskDC, int32_t MaskX, int32_t MaskY);

class TBitmap : public TGraphic {
  PX_CLASS(TBitmap)
 public:
  TBitmap();
  TBitmap(int32_t AWidth, int32_t AHeight);
  ~TBitmap() override;

  // Copies pixels, palette, format and transparency of another TBitmap (nil empties); another
  // kind of graphic is drawn onto a new image of its size.
  void Assign(TPersistent* Source) override;

  bool Empty() const override { return width_ == 0 || height_ == 0; }
  int32_t Width() const override { return width_; }
  void SetWidth(int32_t Value) override { SetSize(Value, height_); }
  int32_t Height() const override { return height_; }
  void SetHeight(int32_t Value) override { SetSize(width_, Value); }
  // Resizing keeps the overlapping top-left content; new pixels are filled with the canvas's
  // brush when the canvas exists (black otherwise).
  void SetSize(int32_t AWidth, int32_t AHeight) override;

  TCanvas* Canvas();
  // The DIB section (nullptr while the bitmap is empty).
  HBITMAP Handle();
  // Takes ownership of a bitmap handle (a device bitmap is copied into a DIB section and freed).
  void SetHandle(HBITMAP Value);
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Gives the handle away: the caller owns it; the bitmap keeps its size and format and makes a
  // new (blank) image when next used.
  HBITMAP ReleaseHandle();
  // bmDDB marks a device bitmap (PixelFormat pfDevice, 32 bits here); the pixels are a DIB
  // section either way.
  TBitmapHandleType HandleType() const { return handle_type_; }
  void SetHandleType(TBitmapHandleType Value);
  // 1-bit per pixel.
  bool Monochrome() const { return pixel_format_ == pf1bit; }
  void SetMonochrome(bool Value);
  // Changing the format converts the pixels (to a palette by nearest colour).
  TPixelFormat PixelFormat() const;
  void SetPixelFormat(TPixelFormat Value);

  // The address of row Row (0 = top). The rows of a DIB are stored bottom-up, so ScanLine(1) is
  // ScanLine(0) minus the row size, as the class library reports; EInvalidGraphicOperation
  // "Scan line index out of range" outside 0..Height-1. The pointer is valid until the image
  // changes size, format or handle.
  void* ScanLine(int32_t Row);
  // Row Row for reading only (same range check): unlike ScanLine it keeps the mask made from the
  // pixels, which reading cannot change.
  const void* ScanLineForRead(int32_t Row);

  // The colour table of a 1, 4 or 8-bit bitmap (empty for the others).
  std::vector<TRGBQuad> ColorTable();
  void SetColorTable(std::span<const TRGBQuad> Colors);
  // A logical palette of the colour table (owned by the bitmap); nullptr without a table.
  HPALETTE Palette() override;
  // Takes ownership of Value and copies its entries into the colour table.
  void SetPalette(HPALETTE Value) override;
  HPALETTE ReleasePalette();

  // tmAuto: the bottom-left pixel (ScanLine(Height-1), pixel 0), white for monochrome bitmaps;
  // tmFixed: the colour set. Setting a colour other than clDefault selects tmFixed.
  TColor TransparentColor();
  void SetTransparentColor(TColor Value);
  TTransparentMode TransparentMode() const { return transparent_mode_; }
  void SetTransparentMode(TTransparentMode Value);
  // How Draw treats a 32-bit bitmap's fourth byte: ignored, straight alpha, or premultiplied.
  // Switching between afDefined and afPremultiplied converts the pixels.
  TAlphaFormat AlphaFormat() const { return alpha_format_; }
  void SetAlphaFormat(TAlphaFormat Value);

  // A monochrome bitmap (owned) with 1 where the pixel equals TransparentColor.
  HBITMAP MaskHandle();
  HBITMAP ReleaseMaskHandle();
  // Turns the bitmap into a monochrome mask: TransparentColor white, every other colour black.
  void Mask(TColor ATransparentColor);

  // Keeps the pixels in memory and frees the GDI handle (made again when next needed).
  void Dormant();
  // Frees the memory copy kept by Dormant when a handle exists (pixels are never lost).
  void FreeImage();

  // BMP files: file header, then an info header of 12, 40, 52, 56, 108 or 124 bytes; 1, 4, 8, 16,
  // 24 and 32 bits; BI_RGB, BI_BITFIELDS, BI_RLE8 and BI_RLE4. Bad or truncated data raises
  // EInvalidGraphic "Bitmap image is not valid".
  void LoadFromStream(TStream* Stream) override;
  // Writes a 40-byte header (BI_BITFIELDS for pf16bit), bottom-up rows.
  void SaveToStream(TStream* Stream) override;
  bool CanLoadFromStream(TStream* Stream) override;
  // A BITMAP resource compiled in (a .bmp file, or a packed DIB); EResNotFound when missing.
  void LoadFromResourceName(uintptr_t Instance, std::string_view ResName);

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  void DrawTransparent(TCanvas* ACanvas, const TRect& Rect, uint8_t Opacity) override;
  void Changed(TObject* Sender) override;

 private:
  class TBitmapCanvas;
  friend class TBitmapCanvas;
  friend class TBrush;
  friend class TCanvas;
  friend class TCustomImageList;

  void HandleNeeded();
  void FreeContext();
  // Replaces the image by a new DIB section (size, format, colour table); the old handle goes.
  void NewImage(int32_t AWidth, int32_t AHeight, TPixelFormat Format, std::vector<TRGBQuad> Colors,
                bool KeepContent);
  void FreeHandle();
  void FreeMask();
  void ChangeImage();
  // The DIB section's surface (HandleNeeded first), nullptr when empty.
  TSurface* Surface();

  HBITMAP handle_ = nullptr;                // owned DIB section
  TSurface* surface_ = nullptr;             // its pixels (owned by the GDI object)
  HPALETTE palette_ = nullptr;              // owned
  HBITMAP mask_ = nullptr;                  // owned monochrome bitmap
  bool mask_valid_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
  TPixelFormat pixel_format_ = pfDevice;  // a new bitmap has the screen's format (32 bits)
  TBitmapHandleType handle_type_ = bmDIB;
  TTransparentMode transparent_mode_ = tmAuto;
  TColor transparent_color_ = clDefault;
  TAlphaFormat alpha_format_ = afIgnored;
  std::vector<TRGBQuad> colors_;            // the colour table while there is no handle
  std::vector<uint8_t> dormant_;            // pixel rows (top-down) kept by Dormant
  bool blank_ = false;                      // the pixels were given away (ReleaseHandle)
  std::unique_ptr<TCanvas> canvas_;
};

// The class library's shared pattern bitmaps: an 8 x 8 bitmap of BkColor with FgColor where the
// column's and the row's parity agree (0,0 FgColor; 1,0 BkColor), made once per colour pair and
// kept for the life of the program. Callers use it (as a brush pattern) but never free it.
TBitmap* AllocPatternBitmap(TColor BkColor, TColor FgColor);

// Loads the compiled-in BITMAP resource ResName with its colours mapped: every colour exactly
// equal to OldColors[i] becomes NewColors[i] (colour-table entries of a palette image, pixels of
// the others; the first match wins, extra entries of the longer list are ignored). The caller
// owns the bitmap. EResNotFound "Resource %s not found" when it is missing, EInvalidGraphic when
// it is no bitmap.
HBITMAP CreateMappedRes(uintptr_t Instance, std::string_view ResName, std::span<const TColor> OldColors,
                        std::span<const TColor> NewColors);

// An icon: a colour image plus a monochrome mask (or an alpha channel), kept as ICO data and/or
// an HICON.
class TIcon : public TGraphic {
  PX_CLASS(TIcon)
 public:
  TIcon();
  ~TIcon() override;
  void Assign(TPersistent* Source) override;

  bool Empty() const override;
  int32_t Width() const override;
  int32_t Height() const override;
  // Icons are not resized: the size set is the one asked for when ICO data with several images is
  // loaded (0 = the first image).
  void SetWidth(int32_t Value) override;
  void SetHeight(int32_t Value) override;
  void SetSize(int32_t AWidth, int32_t AHeight) override;
  bool Transparent() const override { return true; }
  void SetTransparent(bool) override {}

  // The icon handle (made from the ICO data when first asked for; owned by the icon).
  HICON Handle();
  // Takes ownership of an icon handle.
  void SetHandle(HICON Value);
  bool HandleAllocated() const { return handle_ != nullptr; }
  HICON ReleaseHandle();

  // ICO (or CUR) data; the image used is the first, or the one of the size asked for. Bad data
  // raises EInvalidGraphic "Icon image is not valid".
  void LoadFromStream(TStream* Stream) override;
  // The ICO data loaded, or one made from the handle.
  void SaveToStream(TStream* Stream) override;
  bool CanLoadFromStream(TStream* Stream) override;
  // An ICON resource compiled in (a .ico file).
  void LoadFromResourceName(uintptr_t Instance, std::string_view ResName);

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  void HandleNeeded() const;
  void Clear();

  mutable HICON handle_ = nullptr;  // owned
  std::vector<uint8_t> data_;       // ICO data as loaded
  int32_t entry_ = -1;              // the image of data_ in use
  int32_t width_ = 0;               // size of that image (or of the handle)
  int32_t height_ = 0;
  int32_t requested_width_ = 0;
  int32_t requested_height_ = 0;
};

using TGraphicFactory = std::unique_ptr<TGraphic> (*)();

class TPicture : public TPersistent {
  PX_CLASS(TPicture)
 public:
  TPicture();
  ~TPicture() override;
  // From a TPicture, a TGraphic (copied into a new graphic of the same class) or nil.
  void Assign(TPersistent* Source) override;

  TGraphic* Graphic() const { return graphic_.get(); }
  // Copies Value into a new graphic of its class (nil empties the picture).
  void SetGraphic(TGraphic* Value);
  // The graphic as a bitmap: another kind of graphic is replaced by a new empty bitmap, as the
  // class library does.
  TBitmap* Bitmap();
  void SetBitmap(TBitmap* Value) { SetGraphic(Value); }
  TIcon* Icon();
  void SetIcon(TIcon* Value) { SetGraphic(Value); }
  int32_t Width() const { return graphic_ ? graphic_->Width() : 0; }
  int32_t Height() const { return graphic_ ? graphic_->Height() : 0; }

  // By the file's extension among the registered formats; an unknown one raises EInvalidGraphic
  // "Unknown picture file extension (.%s)".
  void LoadFromFile(std::string_view FileName);
  void SaveToFile(std::string_view FileName);
  // By the data's signature among the registered formats.
  void LoadFromStream(TStream* Stream);
  void SaveToStream(TStream* Stream);

  // Extensions without the dot, compared without regard to case; a later registration of an
  // extension wins. "bmp" and "ico" are registered from the start.
  static void RegisterFileFormat(std::string_view Extension, std::string_view Description,
                                 TGraphicFactory Factory);
  static void UnregisterFileFormat(std::string_view Extension);

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }
  const TProgressEvent& OnProgress() const { return on_progress_; }
  void SetOnProgress(const TProgressEvent& Value) { on_progress_ = Value; }

 protected:
  void AssignTo(TPersistent* Dest) override;
  virtual void Changed(TObject* Sender);

 private:
  template <class G>
  G* ForceType();
  void Adopt(std::unique_ptr<TGraphic> NewGraphic);

  std::unique_ptr<TGraphic> graphic_;
  TNotifyEvent on_change_;
  TProgressEvent on_progress_;
};
