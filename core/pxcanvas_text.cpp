// TPXCanvas text and metafiles, TPXEmptyCanvas, TPXMetafile, DrawShapeOnCanvas and the warm-up.
#include <cmath>

#include "core/hypxutils.h"
#include "core/pxcanvas.h"
#include "platform/gdi/WinGdi_text.h"
#include "platform/rtl/System.h"

// ---- text through the device context ----

TSize TPXCanvas::GdiTextExtent(std::string_view Text) {
  TSize size{0, 0};
  HDC dc = GetHandle();
  if (dc) {
    FCanvas->RequiredState({csHandleValid, csFontValid});
    GetTextExtentPoint32(dc, Text, &size);
  }
  return size;
}

void TPXCanvas::GdiTextOut(int32_t X, int32_t Y, std::string_view Text) {
  if (FCanvas) FCanvas->TextOut(X, Y, Text);
}

TFont* TPXCanvas::GetFont() { return FCanvas ? FCanvas->Font() : nullptr; }

namespace {

void ExtTextInRect(TPXCanvas& C, const TRect& Rect, int32_t X, int32_t Y, std::string_view Text, bool Opaque) {
  TCanvas* canvas = C.Canvas();
  if (!canvas) return;
  canvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  HDC dc = canvas->Handle();
  UINT options = ETO_CLIPPED | static_cast<UINT>(canvas->TextFlags());
  if (Opaque) options |= ETO_OPAQUE;
  else options &= ~static_cast<UINT>(ETO_OPAQUE);
  // Right-to-left reading on a right-to-left device context starts from the right end of the text.
  if ((options & ETO_RTLREADING) && (GetTextAlign(dc) & TA_RTLREADING)) X += C.GdiTextWidth(Text) + 1;
  ExtTextOut(dc, X, Y, options, &Rect, Text, {});
}

}  // namespace

void TPXCanvas::TextRect(const TRect& Rect, int32_t X, int32_t Y, std::string_view Text) {
  ExtTextInRect(*this, Rect, X, Y, Text, FBrush->Style() != bsClear);
}

void TPXCanvas::TextRectClipped(const TRect& Rect, int32_t X, int32_t Y, std::string_view Text) {
  ExtTextInRect(*this, Rect, X, Y, Text, false);
}

// ---- text through the antialiased library ----

void TPXCanvas::DrawOrMeasureString(std::string_view Text, double X, double Y, double Width, double Height,
                                    bool Measure, TSize& Size) {
  Size = TSize{0, 0};
  if (!FGraphics || !FCanvas) return;
  if (Measure && Text == " ") Text = "-";  // a lone blank measures as wide as a dash
  FCanvas->RequiredState({csHandleValid, csFontValid});
  GpSolidFill* brush = nullptr;
  GpFont* font = nullptr;
  GpStringFormat* format = nullptr;
  GdipCreateSolidFill(ColorToARGB(FCanvas->Font()->Color(), 255), &brush);
  GdipCreateFontFromDC(FCanvas->Handle(), &font);
  if (FGenericTypographic) GdipStringFormatGetGenericTypographic(&format);
  else GdipCreateStringFormat(0, 0, &format);
  if (brush && font && format) {
    const RectF box{static_cast<REAL>(X), static_cast<REAL>(Y), static_cast<REAL>(Width), static_cast<REAL>(Height)};
    if (Measure) {
      RectF bounds;
      if (GdipMeasureString(FGraphics, Text, font, &box, format, &bounds, nullptr, nullptr) == Ok)
        Size = TSize{static_cast<int32_t>(std::ceil(bounds.Width)), static_cast<int32_t>(std::ceil(bounds.Height))};
    } else {
      GdipDrawString(FGraphics, Text, font, &box, format, brush);
    }
  }
  if (format) GdipDeleteStringFormat(format);
  if (font) GdipDeleteFont(font);
  if (brush) GdipDeleteBrush(brush);
}

void TPXCanvas::DrawStringAngle(std::string_view Text, int32_t X, int32_t Y, double Angle) {
  TSize size;
  if (Angle == 0) {
    DrawOrMeasureString(Text, X, Y, 0, 0, false, size);
    return;
  }
  if (!FGraphics) return;
  GdipTranslateWorldTransform(FGraphics, static_cast<REAL>(X), static_cast<REAL>(Y), MatrixOrderPrepend);
  GdipRotateWorldTransform(FGraphics, static_cast<REAL>(Angle), MatrixOrderPrepend);
  DrawOrMeasureString(Text, 0, 0, 0, 0, false, size);
  GdipResetWorldTransform(FGraphics);
}

void TPXCanvas::MeasureStringRotated(std::string_view Text, double Angle, TSize& Size) {
  DrawOrMeasureString(Text, 0, 0, 0, 0, true, Size);
  if (std::fmod(Angle, 180.0) != 0) {
    double w = 0, h = 0;
    RotatedSizeF(Size.cx, Size.cy, Angle, w, h);
    Size = TSize{Round32(w), Round32(h)};
  }
}

void TPXCanvas::MeasureStringInRect(std::string_view Text, const TRect& Rect, double Angle, TSize& Size) {
  int32_t w = Rect.Right - Rect.Left + 1, h = Rect.Bottom - Rect.Top + 1;
  if (std::fmod(Angle, 180.0) != 0) {
    int32_t rw = 0, rh = 0;
    RotatedRectSize(w, h, TDPoint{(w - 1) / 2.0, (h - 1) / 2.0}, Angle, rw, rh);
    w = rw;
    h = rh;
  }
  DrawOrMeasureString(Text, Rect.Left, Rect.Top, w, h, true, Size);
}

void TPXCanvas::DrawStringInRect(std::string_view Text, const TRect& Rect, double Angle) {
  DrawStringRotatedInRect(Text, Rect.Left, Rect.Top, Rect.Right - Rect.Left + 1, Rect.Bottom - Rect.Top + 1, Angle);
}

void TPXCanvas::DrawStringRotatedInRect(std::string_view Text, int32_t X, int32_t Y, int32_t W, int32_t H,
                                        double Angle) {
  TSize size;
  if (Angle == 0) {
    DrawOrMeasureString(Text, X, Y, W, H, false, size);
    return;
  }
  if (!FGraphics) return;
  GdipSetClipRect(FGraphics, static_cast<REAL>(X), static_cast<REAL>(Y), static_cast<REAL>(W), static_cast<REAL>(H),
                  CombineModeReplace);
  double b1w = 0, b1h = 0;
  RotatedSizeF(W, H, Angle, b1w, b1h);
  TSize s1;
  DrawOrMeasureString(Text, X, Y, b1w, b1h, true, s1);
  double b2w = 0, b2h = 0;
  RotatedSizeF(s1.cx, s1.cy, Angle, b2w, b2h);
  GdipTranslateWorldTransform(FGraphics, static_cast<REAL>(X + Trunc32(b2w) / 2),
                              static_cast<REAL>(Y + Trunc32(b2h) / 2), MatrixOrderPrepend);
  GdipRotateWorldTransform(FGraphics, static_cast<REAL>(Angle), MatrixOrderPrepend);
  TSize s2;
  DrawOrMeasureString(Text, 0, 0, b1w, b1h, true, s2);
  if (W < 1 || H < 1) DrawOrMeasureString(Text, -(s2.cx / 2), -(s2.cy / 2), 0, 0, false, size);
  else DrawOrMeasureString(Text, -(s2.cx / 2), -(s2.cy / 2), s2.cx, s2.cy, false, size);
  GdipResetWorldTransform(FGraphics);
  GdipResetClip(FGraphics);
}

int32_t TPXCanvas::TextWidth(std::string_view Text) {
  if (!FGraphics) return GdiTextExtent(Text).cx;
  TSize size;
  MeasureStringRotated(Text, 0, size);
  return size.cx;
}

int32_t TPXCanvas::TextHeight(std::string_view Text) {
  if (!FGraphics) return GdiTextExtent(Text).cy;
  TSize size;
  MeasureStringRotated(Text, 0, size);
  return size.cy;
}

void TPXCanvas::TextOut(int32_t X, int32_t Y, std::string_view Text) {
  if (FGraphics) DrawStringAngle(Text, X, Y, 0);
  else if (FCanvas) FCanvas->TextOut(X, Y, Text);
}

void TPXCanvas::DrawMetafile(TPXMetafile* Metafile, int32_t X, int32_t Y, int32_t Width, int32_t Height) {
  if (!FGraphics || !Metafile || !Metafile->Image()) return;
  GdipDrawImageRect(FGraphics, Metafile->Image(), static_cast<REAL>(X), static_cast<REAL>(Y),
                    static_cast<REAL>(Width), static_cast<REAL>(Height));
}

// ---- empty canvas ----

namespace {
std::unique_ptr<TBitmap> MakeScratchBitmap() {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  return bitmap;
}
}  // namespace

TPXEmptyCanvas::TPXEmptyCanvas() : TPXEmptyCanvas(MakeScratchBitmap()) {}

TPXEmptyCanvas::TPXEmptyCanvas(std::unique_ptr<TBitmap> Bitmap)
    : TPXCanvas(Bitmap->Canvas(), true, true), FOwnBitmap(std::move(Bitmap)) {}

// The canvas part lets go of the bitmap's device context before the bitmap goes.
TPXEmptyCanvas::~TPXEmptyCanvas() { TearDown(); }

// ---- metafile ----

TPXMetafile::TPXMetafile(TKey) { BindGdiPlus(); }

TPXMetafile::~TPXMetafile() {
  if (FImage) GdipDisposeImage(FImage);
  ReleaseGdiPlus(false);
}

void TPXMetafile::ReadHeader() {
  FHeader = MetafileHeader();
  if (FImage) GdipGetMetafileHeaderFromMetafile(static_cast<GpMetafile*>(FImage), &FHeader);
}

std::unique_ptr<TPXMetafile> TPXMetafile::CreateFromFile(const std::string& FileName) {
  auto m = std::make_unique<TPXMetafile>(TKey{});
  GpMetafile* image = nullptr;
  if (GdipCreateMetafileFromFile(FileName, &image) == Ok) m->FImage = image;
  m->ReadHeader();
  return m;
}

std::unique_ptr<TPXMetafile> TPXMetafile::CreateFromStream(TStream* Stream) {
  auto m = std::make_unique<TPXMetafile>(TKey{});
  GpMetafile* image = nullptr;
  if (Stream && GdipCreateMetafileFromStream(Stream, &image) == Ok) m->FImage = image;
  m->ReadHeader();
  return m;
}

// ---- shapes in one call ----

void DrawShapeOnCanvas(TPXCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height, TColor BorderColor,
                       int32_t BorderWidth, double BorderOpacity, TColor FillColor, TColor FillColor2,
                       int32_t GradientKind, double FillOpacity, int32_t ShapeKind, int32_t Corner, bool AntiAlias) {
  if (!Canvas) return;
  const bool gradient = GradientKind != 0 && FillColor2 != FillColor && FillColor != clNone && FillColor2 != clNone;
  const uint8_t smoothing = Canvas->SmoothingMode();
  auto opacity = [](double v) { return Round32(std::clamp(v, 0.0, 1.0) * 255); };
  try {
    Canvas->SetSmoothingMode(AntiAlias ? 5 : 2);
    if (BorderColor == clNone) BorderWidth = 0;
    TPXPen* pen = Canvas->Pen();
    pen->SetStyle(BorderColor == clNone || BorderWidth < 1 ? psClear : psSolid);
    pen->SetColor(BorderColor);
    pen->SetWidth(static_cast<float>(BorderWidth));
    pen->SetTransparency(opacity(BorderOpacity));
    TPXBrush* brush = Canvas->Brush();
    brush->SetStyle(FillColor == clNone ? bsClear : bsSolid);
    brush->SetColor(FillColor);
    brush->SetTransparency(opacity(FillOpacity));
    X += BorderWidth / 2;
    Y += BorderWidth / 2;
    Width -= BorderWidth;
    Height -= BorderWidth;
    if (gradient) {
      brush->SetGradient(GradientKind, Width, Height);
      brush->SetTransparency2(opacity(FillOpacity));
      brush->SetColor2(FillColor2);
    } else {
      brush->SetGradient(0, 0, 0);
    }
    switch (ShapeKind) {
      case 0: Canvas->Ellipse(X, Y, X + Width, Y + Height); break;
      case 4: Canvas->Rectangle(X, Y, X + Width, Y + Height); break;
      case 5: Canvas->RoundRect(X, Y, X + Width, Y + Height, Corner, Corner); break;
      default: break;
    }
  } catch (...) {
    Canvas->SetSmoothingMode(smoothing);
    throw;
  }
  Canvas->SetSmoothingMode(smoothing);
}

void WarmUpGdiPlus(TCanvas* Canvas) {
  if (!Canvas || !Canvas->HandleAllocated()) return;
  try {
    TPXCanvas c(Canvas, true, true);
    c.TextWidth(" ");
  } catch (...) {
  }
}
