// The antialiased canvas TPXCanvas with its pen TPXPen and brush TPXBrush, the text-measuring
// canvas TPXEmptyCanvas, the metafile TPXMetafile and DrawShapeOnCanvas, over the antialiased
// drawing library (platform/gdiplus) or, without it, over the plain TCanvas calls.
//
// The binding to the drawing library is counted under a lock: BindGdiPlus adds a reference and
// starts the library on first need (when the settings allow it); ReleaseGdiPlus takes one off
// and, as in a program, shuts the library down only when forced (the library's tear-down).
//
// Where things are defined:
//   pxcanvas.cpp       binding, TPXPen, TPXBrush, TPXCanvas shapes and state
//   pxcanvas_text.cpp  TPXCanvas text, metafiles, TPXEmptyCanvas, DrawShapeOnCanvas
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/hypxdefs.h"
#include "platform/gdi/Graphics.h"
#include "platform/gdiplus/GdiPlus.h"
#include "platform/rtl/Classes.h"

class TPXBitmap;

// ---- binding ----
void BindGdiPlus();
void ReleaseGdiPlus(bool Force);
// Library start-up and tear-down steps.
void InitGdiPlusUnit();
void FinalizeGdiPlusUnit();
// The binding's reference count and whether the library is started.
int32_t GdiPlusRefCount();
bool GdiPlusLoaded();

// Test hook: makes the next creations of one kind of drawing-library object fail, so that the
// failure texts can be reached (the library itself never fails here).
enum class TPXGdiPlusFault : uint8_t { gfNone, gfGraphics, gfPen, gfSolidBrush, gfHatchBrush, gfGradientBrush };
using enum TPXGdiPlusFault;
void SetGdiPlusFault(TPXGdiPlusFault Fault);

// A * 2^24 + R * 2^16 + G * 2^8 + B.
uint32_t MakeARGB(uint8_t R, uint8_t G, uint8_t B, uint8_t A);
// A colour (system colours resolved) with the given alpha.
uint32_t ColorToARGB(TColor Color, uint8_t Alpha);

// ---- pen ----
class TPXPen : public TObject {
 public:
  // Mirrors Pen (not owned, may be nil): colour, width, style and mode taken from it.
  explicit TPXPen(TPen* Pen);
  ~TPXPen() override;
  uint32_t GetARGB() const;
  // Remakes the drawing-library pen (EPXException when it cannot be made).
  void Update();
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  int32_t Transparency() const { return FTransparency; }  // 255 opaque
  void SetTransparency(int32_t Value);
  float Width() const { return FWidth; }
  void SetWidth(float Value);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle Value);
  TPenMode Mode() const { return FMode; }
  void SetMode(TPenMode Value);
  uint8_t LineJoin() const { return FLineJoin; }
  void SetLineJoin(uint8_t Value);
  // Takes colour, width and style of a platform pen into the mirrored pen.
  void SetHandle(HPEN Value);
  GpPen* Handle() const { return FPen; }

 private:
  void ApplyDash();
  GpPen* FPen = nullptr;
  TPen* FVclPen = nullptr;
  TColor FColor = 0xFFFFFF;
  int32_t FTransparency = 255;
  float FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
  uint8_t FLineJoin = 0;
};

// ---- brush ----
class TPXBrush : public TObject {
 public:
  explicit TPXBrush(TBrush* Brush);
  ~TPXBrush() override;
  uint32_t GetARGB() const;
  // Remakes the drawing-library brush: a linear gradient when an end point is set, else solid
  // (bsSolid, bsClear) or hatched (EPXException when it cannot be made).
  void Update();
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TColor Color2() const { return FColor2; }
  void SetColor2(TColor Value);
  int32_t Transparency() const { return FTransparency; }
  void SetTransparency(int32_t Value);
  int32_t Transparency2() const { return FTransparency2; }
  void SetTransparency2(int32_t Value);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle Value);
  // Kind 1..8 picks start and end points within W x H; 0 and others: no gradient.
  void SetGradient(int32_t Kind, int32_t W, int32_t H);
  GpPointF GradientStart() const { return FStart; }
  GpPointF GradientEnd() const { return FEnd; }
  GpBrush* Handle() const { return FBrush; }

 private:
  GpBrush* FBrush = nullptr;
  TBrush* FVclBrush = nullptr;
  TColor FColor = 0xFFFFFF;
  int32_t FTransparency = 255;
  TColor FColor2 = 0;
  int32_t FTransparency2 = 0;
  TBrushStyle FStyle = bsSolid;
  GpPointF FStart;
  GpPointF FEnd;
};

class TPXCanvas;
class TPXMetafile;
using TPXCanvasDestroyEvent = std::function<void(TPXCanvas* Canvas)>;

// ---- canvas ----
class TPXCanvas : public TObject {
 public:
  // Draws on Canvas (not owned; it must outlive this object). UseGDIPlus picks the antialiased
  // library when the settings allow it; AntiAlias sets antialiased smoothing and text. Device is
  // accepted for the library's call form and not used.
  TPXCanvas(TCanvas* Canvas, bool AntiAlias, bool UseGDIPlus, void* Device = nullptr);
  ~TPXCanvas() override;

  HDC GetHandle();
  TCanvas* Canvas() const { return FCanvas; }
  TPXPen* Pen() const { return FPen.get(); }
  TPXBrush* Brush() const { return FBrush.get(); }
  bool UseGDIPlus() const { return FUseGDIPlus != 0; }
  GpGraphics* Graphics() const { return FGraphics; }

  // Stored as the library's value plus 1 (smoothing 1 default .. 5 antialias).
  uint8_t SmoothingMode() const { return FSmoothingMode; }
  void SetSmoothingMode(uint8_t Mode);
  uint8_t InterpolationMode() const { return FInterpolationMode; }
  void SetInterpolationMode(uint8_t Mode);
  uint8_t TextRendering() const { return FTextRendering; }
  void SetTextRendering(uint8_t Hint);
  bool GenericTypographic() const { return FGenericTypographic != 0; }
  void SetGenericTypographic(bool Value) { FGenericTypographic = Value ? 1 : 0; }

  // Called first when this canvas is destroyed, with the canvas; Bitmap is the creator's record.
  void SetOnDestroy(TPXCanvasDestroyEvent Event, TPXBitmap* Bitmap) {
    FOnDestroy = std::move(Event);
    FBitmap = Bitmap;
  }
  TPXBitmap* Bitmap() const { return FBitmap; }

  TPoint PenPos() const { return {FX, FY}; }
  void SetPenPos(const TPoint& P);
  void MoveTo(int32_t X, int32_t Y);
  void LineTo(int32_t X, int32_t Y);
  void DrawLineF(double X1, double Y1, double X2, double Y2);
  void FillRect(const TRect& Rect);
  void Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void RectangleRect(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
  void Ellipse(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void EllipseRect(const TRect& R) { Ellipse(R.Left, R.Top, R.Right, R.Bottom); }
  // High + 1 points are drawn (the class library's form).
  void Polygon(const TPoint* Points, int32_t High);
  void Polyline(const TPoint* Points, int32_t High);
  void PolygonF(const TDPoint* Points, int32_t High);
  void PolylineF(const TDPoint* Points, int32_t High);
  void Arc(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4);
  void RoundRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3);

  // Text through the device context.
  TSize GdiTextExtent(std::string_view Text);
  int32_t GdiTextWidth(std::string_view Text) { return GdiTextExtent(Text).cx; }
  int32_t GdiTextHeight(std::string_view Text) { return GdiTextExtent(Text).cy; }
  void GdiTextOut(int32_t X, int32_t Y, std::string_view Text);
  TFont* GetFont();
  void TextRect(const TRect& Rect, int32_t X, int32_t Y, std::string_view Text);
  void TextRectClipped(const TRect& Rect, int32_t X, int32_t Y, std::string_view Text);
  // Text through the antialiased library (the GDI extent on a plain canvas).
  int32_t TextWidth(std::string_view Text);
  int32_t TextHeight(std::string_view Text);
  void TextOut(int32_t X, int32_t Y, std::string_view Text);

  void SetCompositing(int32_t Mode, int32_t Quality);
  void RotateTransform(double Angle);
  void TranslateTransform(double DX, double DY);
  void ResetTransform();

  // Text layout of the antialiased library (a plain canvas draws and measures nothing).
  void DrawOrMeasureString(std::string_view Text, double X, double Y, double Width, double Height, bool Measure,
                           TSize& Size);
  void DrawStringRotatedInRect(std::string_view Text, int32_t X, int32_t Y, int32_t W, int32_t H, double Angle);
  void DrawStringInRect(std::string_view Text, const TRect& Rect, double Angle);
  void DrawStringAngle(std::string_view Text, int32_t X, int32_t Y, double Angle);
  void MeasureStringInRect(std::string_view Text, const TRect& Rect, double Angle, TSize& Size);
  void MeasureStringRotated(std::string_view Text, double Angle, TSize& Size);
  // Draws the metafile into (X, Y, Width, Height); a plain canvas draws nothing.
  void DrawMetafile(TPXMetafile* Metafile, int32_t X, int32_t Y, int32_t Width, int32_t Height);

 protected:
  // Ends the drawing-library state: graphics object, device-context state, binding reference.
  void TearDown();

 private:
  uint8_t FSmoothingMode = 0;
  uint8_t FInterpolationMode = 0;
  uint8_t FTextRendering = 0;
  HDC FDC = nullptr;
  int32_t FSavedDC = 0;
  GpGraphics* FGraphics = nullptr;
  TCanvas* FCanvas = nullptr;
  std::unique_ptr<TPXPen> FPen;
  int32_t FX = 0;
  int32_t FY = 0;
  std::unique_ptr<TPXBrush> FBrush;
  uint8_t FUseGDIPlus = 0;
  bool FBound = false;  // holds a binding reference
  TPXCanvasDestroyEvent FOnDestroy;
  TPXBitmap* FBitmap = nullptr;  // not owned
  uint8_t FGenericTypographic = 1;
};

// A canvas on a private 24-bit bitmap, for measuring text without a target.
class TPXEmptyCanvas : public TPXCanvas {
 public:
  TPXEmptyCanvas();
  ~TPXEmptyCanvas() override;

 private:
  explicit TPXEmptyCanvas(std::unique_ptr<TBitmap> Bitmap);
  std::unique_ptr<TBitmap> FOwnBitmap;
};

// A Windows metafile (WMF or EMF) held by the antialiased library.
class TPXMetafile : public TObject {
 public:
  // An unreadable file or stream gives no image: size 0 x 0, neither WMF nor EMF.
  static std::unique_ptr<TPXMetafile> CreateFromFile(const std::string& FileName);
  static std::unique_ptr<TPXMetafile> CreateFromStream(TStream* Stream);
  ~TPXMetafile() override;
  int32_t GetWidth() const { return FHeader.Width; }
  int32_t GetHeight() const { return FHeader.Height; }
  bool IsWMF() const { return FHeader.Type == MetafileTypeWmf || FHeader.Type == MetafileTypeWmfPlaceable; }
  bool IsEMF() const { return FHeader.Type == MetafileTypeEmf; }
  const MetafileHeader& Header() const { return FHeader; }
  GpImage* Image() const { return FImage; }

 private:
  struct TKey {};

 public:
  explicit TPXMetafile(TKey);

 private:
  void ReadHeader();
  GpImage* FImage = nullptr;
  MetafileHeader FHeader;
};

// A filled and framed ellipse (ShapeKind 0), rectangle (4) or rounded rectangle (5) in one call;
// opacities 0..1; clNone as a colour means none.
void DrawShapeOnCanvas(TPXCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height, TColor BorderColor,
                       int32_t BorderWidth, double BorderOpacity, TColor FillColor, TColor FillColor2,
                       int32_t GradientKind, double FillOpacity, int32_t ShapeKind, int32_t Corner, bool AntiAlias);
// Creates and frees a canvas on Canvas once (measuring " "), so that the first real drawing does
// not pay for the library's start; failures are ignored.
void WarmUpGdiPlus(TCanvas* Canvas);

// Puts InitGdiPlusUnit and FinalizeGdiPlusUnit into the library's start-up (step 1) and
// tear-down (step 12) slots; called before StaticInitialize.
void RegisterGdiPlusUnit();
