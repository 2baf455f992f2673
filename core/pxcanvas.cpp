// The binding to the antialiased drawing library, TPXPen, TPXBrush and the shapes and state of
// TPXCanvas.
#include "core/pxcanvas.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include "core/hypxutils.h"
#include "core/hypxutils_startup.h"
#include "core/pxsettings.h"
#include "platform/rtl/System.h"

namespace {

struct TBinding {
  std::recursive_mutex Lock;
  bool Loaded = false;
  int32_t Count = 0;
  ULONG_PTR Token = 0;
  TPXGdiPlusFault Fault = gfNone;
};

TBinding& Binding() {
  static TBinding binding;
  return binding;
}

bool SettingsAllowGdiPlus() { return GlobalSettingsInstance()->GetUseGDIPlus(); }

// The library is started and may make objects now.
bool LibraryReady() {
  TBinding& b = Binding();
  std::lock_guard<std::recursive_mutex> guard(b.Lock);
  return b.Loaded;
}

bool Faulted(TPXGdiPlusFault Fault) {
  TBinding& b = Binding();
  std::lock_guard<std::recursive_mutex> guard(b.Lock);
  return b.Fault == Fault;
}

// Corners put in order, then (Left, Top, Width - 1, Height - 1): the library's integer
// coordinates are pixel centres, so this covers exactly the pixels of the class library's rectangle.
void OrderedBox(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, REAL& X, REAL& Y, REAL& W, REAL& H) {
  OrderRectCoords(X1, Y1, X2, Y2);
  X = static_cast<REAL>(X1);
  Y = static_cast<REAL>(Y1);
  W = static_cast<REAL>(X2 - X1 - 1);
  H = static_cast<REAL>(Y2 - Y1 - 1);
}

}  // namespace

// ---- binding ----

void BindGdiPlus() {
  TBinding& b = Binding();
  std::lock_guard<std::recursive_mutex> guard(b.Lock);
  ++b.Count;
  if (b.Loaded || !SettingsAllowGdiPlus()) return;
  GdiplusStartupInput input;  // version 1, no debug callback, background thread and codecs kept
  ULONG_PTR token = 0;
  if (GdiplusStartup(&token, &input, nullptr) == Ok) {
    b.Token = token;
    b.Loaded = true;
  } else {
    ReleaseGdiPlus(false);
  }
}

void ReleaseGdiPlus(bool Force) {
  TBinding& b = Binding();
  std::lock_guard<std::recursive_mutex> guard(b.Lock);
  if (!Force && b.Count <= 0) return;
  --b.Count;
  // A program keeps the library started until the forced release of the tear-down.
  if (b.Loaded && Force) {
    GdiplusShutdown(b.Token);
    b.Token = 0;
    b.Loaded = false;
  }
}

void InitGdiPlusUnit() {
  TBinding& b = Binding();
  std::lock_guard<std::recursive_mutex> guard(b.Lock);
  if (b.Loaded) GdiplusShutdown(b.Token);
  b.Loaded = false;
  b.Token = 0;
  b.Count = 0;
}

void FinalizeGdiPlusUnit() { ReleaseGdiPlus(true); }

int32_t GdiPlusRefCount() {
  TBinding& b = Binding();
  std::lock_guard<std::recursive_mutex> guard(b.Lock);
  return b.Count;
}

bool GdiPlusLoaded() { return LibraryReady(); }

void SetGdiPlusFault(TPXGdiPlusFault Fault) {
  TBinding& b = Binding();
  std::lock_guard<std::recursive_mutex> guard(b.Lock);
  b.Fault = Fault;
}

uint32_t MakeARGB(uint8_t R, uint8_t G, uint8_t B, uint8_t A) {
  return (uint32_t(A) << 24) | (uint32_t(R) << 16) | (uint32_t(G) << 8) | uint32_t(B);
}

uint32_t ColorToARGB(TColor Color, uint8_t Alpha) {
  const TRGB c = TColorToRGB(Color);
  return MakeARGB(c.r, c.g, c.b, Alpha);
}

// ---- pen ----

TPXPen::TPXPen(TPen* Pen) : FVclPen(Pen) {
  if (Pen) {
    FColor = Pen->Color();
    FWidth = static_cast<float>(Pen->Width());
    FStyle = Pen->Style();
    FMode = Pen->Mode();
  }
  if (SettingsAllowGdiPlus()) Update();
}

TPXPen::~TPXPen() {
  if (FPen) GdipDeletePen(FPen);
}

uint32_t TPXPen::GetARGB() const {
  return ColorToARGB(FColor, FStyle == psClear ? 0 : static_cast<uint8_t>(std::clamp(FTransparency, 0, 255)));
}

void TPXPen::ApplyDash() {
  if (!FPen) return;
  const GpDashStyle dash =
      FStyle <= psDashDotDot ? static_cast<GpDashStyle>(static_cast<int32_t>(FStyle)) : DashStyleSolid;
  GdipSetPenDashStyle(FPen, dash);
}

// Without a started library (nothing has bound it) the pen only mirrors; it never starts the
// library itself.
void TPXPen::Update() {
  if (FPen) GdipDeletePen(FPen);
  FPen = nullptr;
  if (!LibraryReady()) return;
  if (Faulted(gfPen) || GdipCreatePen1(GetARGB(), FWidth, UnitPixel, &FPen) != Ok || !FPen) {
    FPen = nullptr;
    throw EPXException("Cannot create TPXPen. Ensure GDI+ is installed on system.");
  }
  ApplyDash();
  GdipSetPenLineJoin(FPen, static_cast<GpLineJoin>(FLineJoin & 3));
}

void TPXPen::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  if (SettingsAllowGdiPlus() && FPen) GdipSetPenColor(FPen, GetARGB());
  if (FVclPen) FVclPen->SetColor(Value);
}

void TPXPen::SetTransparency(int32_t Value) {
  if (Value == FTransparency) return;
  FTransparency = Value;
  if (SettingsAllowGdiPlus() && FPen) GdipSetPenColor(FPen, GetARGB());
}

void TPXPen::SetWidth(float Value) {
  if (Value == FWidth) return;
  FWidth = Value;
  if (SettingsAllowGdiPlus() && FPen && std::isfinite(Value) && Value >= 0) GdipSetPenWidth(FPen, Value);
  if (FVclPen) FVclPen->SetWidth(Round32(Value));
}

void TPXPen::SetStyle(TPenStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  if (SettingsAllowGdiPlus() && FPen) {
    GdipSetPenColor(FPen, GetARGB());  // psClear is drawn as alpha 0, so leaving it restores the alpha
    ApplyDash();
  }
  if (FVclPen) FVclPen->SetStyle(Value);
}

void TPXPen::SetMode(TPenMode Value) {
  if (Value == FMode) return;
  FMode = Value;
  if (FVclPen) FVclPen->SetMode(Value);
}

void TPXPen::SetLineJoin(uint8_t Value) {
  if (Value == FLineJoin) return;
  FLineJoin = Value;
  if (SettingsAllowGdiPlus() && FPen) GdipSetPenLineJoin(FPen, static_cast<GpLineJoin>(Value & 3));
}

void TPXPen::SetHandle(HPEN Value) {
  LOGPEN lp;
  if (!FVclPen || !Value || GetObject(Value, sizeof(lp), &lp) != sizeof(lp)) return;
  FVclPen->SetColor(static_cast<TColor>(lp.lopnColor));
  FVclPen->SetWidth(lp.lopnWidth.X);
  if (lp.lopnStyle <= static_cast<UINT>(psInsideFrame)) FVclPen->SetStyle(static_cast<TPenStyle>(lp.lopnStyle));
}

// ---- brush ----

TPXBrush::TPXBrush(TBrush* Brush) : FVclBrush(Brush) {
  if (Brush) {
    FColor = Brush->Color();
    FStyle = Brush->Style();
  }
  if (SettingsAllowGdiPlus()) Update();
}

TPXBrush::~TPXBrush() {
  if (FBrush) GdipDeleteBrush(FBrush);
}

uint32_t TPXBrush::GetARGB() const {
  return ColorToARGB(FColor, FStyle == bsClear ? 0 : static_cast<uint8_t>(std::clamp(FTransparency, 0, 255)));
}

void TPXBrush::Update() {
  if (FBrush) GdipDeleteBrush(FBrush);
  FBrush = nullptr;
  if (!LibraryReady()) return;
  const uint32_t second = ColorToARGB(FColor2, static_cast<uint8_t>(std::clamp(FTransparency2, 0, 255)));
  if (FEnd.X != 0 || FEnd.Y != 0) {
    GpLineGradient* g = nullptr;
    if (Faulted(gfGradientBrush) ||
        GdipCreateLineBrush(&FStart, &FEnd, GetARGB(), second, WrapModeTileFlipXY, &g) != Ok || !g)
      throw EPXException("Cannot create TPXBrush (3). Ensure GDI+ is installed on system.");
    FBrush = g;
  } else if (FStyle == bsSolid || FStyle == bsClear) {
    GpSolidFill* s = nullptr;
    if (Faulted(gfSolidBrush) || GdipCreateSolidFill(GetARGB(), &s) != Ok || !s)
      throw EPXException("Cannot create TPXBrush (1). Ensure GDI+ is installed on system.");
    FBrush = s;
  } else {
    GpHatch* h = nullptr;
    const auto style = static_cast<GpHatchStyle>(static_cast<int32_t>(FStyle) - 2);
    if (Faulted(gfHatchBrush) || GdipCreateHatchBrush(style, GetARGB(), second, &h) != Ok || !h)
      throw EPXException("Cannot create TPXBrush (2). Ensure GDI+ is installed on system.");
    FBrush = h;
  }
}

void TPXBrush::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  if (SettingsAllowGdiPlus()) Update();
  if (FVclBrush) {
    FVclBrush->SetColor(Value);  // makes a clear brush solid: put the style back
    FVclBrush->SetStyle(FStyle);
  }
}

void TPXBrush::SetColor2(TColor Value) {
  if (Value == FColor2) return;
  FColor2 = Value;
  if (SettingsAllowGdiPlus()) Update();
}

void TPXBrush::SetTransparency(int32_t Value) {
  if (Value == FTransparency) return;
  FTransparency = Value;
  if (SettingsAllowGdiPlus()) Update();
}

void TPXBrush::SetTransparency2(int32_t Value) {
  if (Value == FTransparency2) return;
  FTransparency2 = Value;
  if (SettingsAllowGdiPlus()) Update();
}

void TPXBrush::SetStyle(TBrushStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  if (SettingsAllowGdiPlus()) Update();
  if (FVclBrush) FVclBrush->SetStyle(Value);
}

void TPXBrush::SetGradient(int32_t Kind, int32_t W, int32_t H) {
  auto f = [](int32_t v) { return static_cast<REAL>(v); };
  FStart = GpPointF{0, 0};
  FEnd = GpPointF{0, 0};
  switch (Kind) {
    case 1: FEnd = {f(W), 0}; break;
    case 2: FEnd = {0, f(H)}; break;
    case 3: FEnd = {f(W / 2), 0}; break;
    case 4: FEnd = {0, f(H / 2)}; break;
    case 5: FEnd = {f(W), f(H)}; break;
    case 6: FStart = {f(W), 0}; FEnd = {0, f(H)}; break;
    case 7: FEnd = {f(W / 2), f(H / 2)}; break;
    case 8: FStart = {0, f(H / 2)}; FEnd = {f(W / 2), 0}; break;
    default: break;
  }
  if (SettingsAllowGdiPlus()) Update();
}

// ---- canvas ----

TPXCanvas::TPXCanvas(TCanvas* Canvas, bool AntiAlias, bool UseGDIPlus, void* Device) : FCanvas(Canvas) {
  FUseGDIPlus = UseGDIPlus && SettingsAllowGdiPlus() && Canvas ? 1 : 0;
  if (FUseGDIPlus) {
    BindGdiPlus();
    FBound = true;
  }
  try {
    FPen = std::make_unique<TPXPen>(Canvas ? Canvas->Pen() : nullptr);
    FBrush = std::make_unique<TPXBrush>(Canvas ? Canvas->Brush() : nullptr);
    if (FUseGDIPlus) {
      FDC = Canvas->Handle();
      FSavedDC = SaveDC(FDC);
      GpGraphics* g = nullptr;
      const GpStatus status = Device ? GdipCreateFromHDC2(FDC, Device, &g) : GdipCreateFromHDC(FDC, &g);
      if (Faulted(gfGraphics) || status != Ok || !g) {
        if (g) GdipDeleteGraphics(g);
        FBrush.reset();
        FPen.reset();
        throw EPXException("Cannot create TPXCanvas. Ensure GDI+ is installed on system.");
      }
      FGraphics = g;
    }
  } catch (...) {
    TearDown();
    throw;
  }
  FSmoothingMode = 0;
  FInterpolationMode = 0;
  if (AntiAlias) {
    SetSmoothingMode(5);
    SetTextRendering(4);
  } else {
    SetSmoothingMode(2);
    SetTextRendering(0);
  }
}

void TPXCanvas::TearDown() {
  if (FGraphics) GdipDeleteGraphics(FGraphics);
  FGraphics = nullptr;
  if (FDC && FSavedDC != 0) {
    RestoreDC(FDC, FSavedDC);
    // The restored context holds the objects of before: the canvas must select its own again.
    if (FCanvas) FCanvas->Refresh();
  }
  FSavedDC = 0;
  if (FBound) ReleaseGdiPlus(false);
  FBound = false;
}

// The library state goes first: the notification may free the bitmap whose device context this
// canvas draws on, so nothing of that context is touched after it.
TPXCanvas::~TPXCanvas() {
  FBrush.reset();
  FPen.reset();
  TearDown();
  if (FOnDestroy) {
    TPXCanvasDestroyEvent event = std::move(FOnDestroy);
    FOnDestroy = nullptr;
    event(this);
  }
}

HDC TPXCanvas::GetHandle() { return FCanvas ? FCanvas->Handle() : nullptr; }

void TPXCanvas::SetSmoothingMode(uint8_t Mode) {
  if (Mode == FSmoothingMode) return;
  FSmoothingMode = Mode;
  if (FGraphics) GdipSetSmoothingMode(FGraphics, static_cast<::SmoothingMode>(int32_t(Mode) - 1));
}

void TPXCanvas::SetInterpolationMode(uint8_t Mode) {
  if (Mode == FInterpolationMode) return;
  FInterpolationMode = Mode;
  if (FGraphics) GdipSetInterpolationMode(FGraphics, static_cast<::InterpolationMode>(int32_t(Mode) - 1));
}

void TPXCanvas::SetTextRendering(uint8_t Hint) {
  FTextRendering = Hint;
  if (FGraphics) GdipSetTextRenderingHint(FGraphics, static_cast<TextRenderingHint>(Hint));
}

void TPXCanvas::SetPenPos(const TPoint& P) { MoveTo(P.X, P.Y); }

void TPXCanvas::MoveTo(int32_t X, int32_t Y) {
  FX = X;
  FY = Y;
  if (!FGraphics && FCanvas) FCanvas->MoveTo(X, Y);
}

void TPXCanvas::LineTo(int32_t X, int32_t Y) {
  if (FGraphics) {
    GdipDrawLine(FGraphics, FPen->Handle(), static_cast<REAL>(FX), static_cast<REAL>(FY), static_cast<REAL>(X),
                 static_cast<REAL>(Y));
  } else if (FCanvas) {
    FCanvas->LineTo(X, Y);
  }
  FX = X;
  FY = Y;
}

void TPXCanvas::DrawLineF(double X1, double Y1, double X2, double Y2) {
  if (FGraphics) {
    GdipDrawLine(FGraphics, FPen->Handle(), static_cast<REAL>(X1), static_cast<REAL>(Y1), static_cast<REAL>(X2),
                 static_cast<REAL>(Y2));
  } else if (FCanvas) {
    FCanvas->Polygon({TPoint{Round32(X1), Round32(Y1)}, TPoint{Round32(X2), Round32(Y2)}});
  }
}

void TPXCanvas::FillRect(const TRect& Rect) {
  if (FGraphics) {
    REAL x, y, w, h;
    OrderedBox(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom, x, y, w, h);
    GdipFillRectangle(FGraphics, FBrush->Handle(), x, y, w, h);
  } else if (FCanvas) {
    FCanvas->FillRect(Rect);
  }
}

void TPXCanvas::Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (FGraphics) {
    REAL x, y, w, h;
    OrderedBox(X1, Y1, X2, Y2, x, y, w, h);
    GdipFillRectangle(FGraphics, FBrush->Handle(), x, y, w, h);
    GdipDrawRectangle(FGraphics, FPen->Handle(), x, y, w, h);
  } else if (FCanvas) {
    FCanvas->Rectangle(X1, Y1, X2, Y2);
  }
}

void TPXCanvas::Ellipse(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (!FGraphics) {
    if (FCanvas) FCanvas->Ellipse(X1, Y1, X2, Y2);
    return;
  }
  // A box narrower (lower) than about the pen width becomes 2e around its first edge, so that
  // a thin ellipse stays visible.
  if (FPen->Width() != 1.0f) {
    const int32_t e = Round32(FPen->Width() / 2.0);
    auto adjust = [e](int32_t& A, int32_t& B) {
      if (A <= B && e >= B - A - 1) B = A + e;
      if (A == B - e) A -= e;
    };
    adjust(X1, X2);
    adjust(Y1, Y2);
  }
  // Reversed boxes are ordered; a box still empty draws nothing.
  OrderRectCoords(X1, Y1, X2, Y2);
  const REAL w = static_cast<REAL>(X2 - X1 - 1), h = static_cast<REAL>(Y2 - Y1 - 1);
  if (w <= 0 || h <= 0) return;
  GdipFillEllipse(FGraphics, FBrush->Handle(), static_cast<REAL>(X1), static_cast<REAL>(Y1), w, h);
  GdipDrawEllipse(FGraphics, FPen->Handle(), static_cast<REAL>(X1), static_cast<REAL>(Y1), w, h);
}

void TPXCanvas::Polygon(const TPoint* Points, int32_t High) {
  if (!Points || High < 0) return;
  if (FGraphics) {
    std::vector<GpPoint> p(static_cast<size_t>(High) + 1);
    for (size_t i = 0; i < p.size(); ++i) p[i] = GpPoint{Points[i].X, Points[i].Y};
    const auto n = static_cast<int32_t>(p.size());
    // Outline first, then the fill over its inner half.
    GdipDrawPolygonI(FGraphics, FPen->Handle(), p.data(), n);
    GdipFillPolygonI(FGraphics, FBrush->Handle(), p.data(), n, FillModeAlternate);
  } else if (FCanvas) {
    FCanvas->Polygon(std::span<const TPoint>(Points, static_cast<size_t>(High) + 1));
  }
}

void TPXCanvas::Polyline(const TPoint* Points, int32_t High) {
  if (!Points || High < 0) return;
  if (FGraphics) {
    std::vector<GpPoint> p(static_cast<size_t>(High) + 1);
    for (size_t i = 0; i < p.size(); ++i) p[i] = GpPoint{Points[i].X, Points[i].Y};
    GdipDrawLinesI(FGraphics, FPen->Handle(), p.data(), static_cast<int32_t>(p.size()));
  } else if (FCanvas) {
    FCanvas->Polyline(std::span<const TPoint>(Points, static_cast<size_t>(High) + 1));
  }
}

namespace {
std::vector<TPoint> RoundedPoints(const TDPoint* Points, int32_t High) {
  std::vector<TPoint> p(static_cast<size_t>(High) + 1);
  for (size_t i = 0; i < p.size(); ++i) p[i] = TPoint{Round32(Points[i].X), Round32(Points[i].Y)};
  return p;
}
}  // namespace

void TPXCanvas::PolygonF(const TDPoint* Points, int32_t High) {
  if (!Points || High < 0) return;
  const std::vector<TPoint> p = RoundedPoints(Points, High);
  Polygon(p.data(), High);
}

void TPXCanvas::PolylineF(const TDPoint* Points, int32_t High) {
  if (!Points || High < 0) return;
  const std::vector<TPoint> p = RoundedPoints(Points, High);
  Polyline(p.data(), High);
}

void TPXCanvas::Arc(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4) {
  if (!FGraphics) {
    if (FCanvas) FCanvas->Arc(X1, Y1, X2, Y2, X3, Y3, X4, Y4);
    return;
  }
  const int32_t cx = (X1 + X2) / 2, cy = (Y1 + Y2) / 2;
  const double start = -RadiansToDegrees(PointAngle(cx, cy, X4, Y4));
  const double sweep = RadiansToDegrees(AngleAtVertex(TPoint{X3, Y3}, TPoint{cx, cy}, TPoint{X4, Y4}));
  GdipDrawArc(FGraphics, FPen->Handle(), static_cast<REAL>(X1), static_cast<REAL>(Y1),
              static_cast<REAL>(X2 - X1 + 1), static_cast<REAL>(Y2 - Y1 + 1), static_cast<REAL>(start),
              static_cast<REAL>(sweep));
}

void TPXCanvas::RoundRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3) {
  if (!FGraphics) {
    if (FCanvas) FCanvas->RoundRect(X1, Y1, X2, Y2, X3, Y3);
    return;
  }
  OrderRectCoords(X1, Y1, X2, Y2);
  int32_t w = X2 - X1, h = Y2 - Y1;
  const int32_t cw = std::min(X3, w), ch = std::min(Y3, h);
  if (cw <= 0 || ch <= 0) {  // no corners: a plain rectangle
    Rectangle(X1, Y1, X2, Y2);
    return;
  }
  int32_t aw = cw, ah = ch;
  GpPath* path = nullptr;
  if (GdipCreatePath(FillModeAlternate, &path) != Ok || !path) return;
  auto f = [](int32_t v) { return static_cast<REAL>(v); };
  GdipAddPathArc(path, f(X1), f(Y1), f(aw), f(ah), 180, 90);
  // A corner of exactly 20 gets its other three arcs one pixel wider (as the system draws it).
  if (cw == 20) {
    aw = 21;
    --w;
  }
  if (ch == 20) {
    ah = 21;
    --h;
  }
  GdipAddPathArc(path, f(X1 + w - cw - 1), f(Y1), f(aw), f(ah), 270, 90);
  GdipAddPathArc(path, f(X1 + w - cw - 1), f(Y1 + h - ch - 1), f(aw), f(ah), 0, 90);
  GdipAddPathArc(path, f(X1), f(Y1 + h - ch - 1), f(aw), f(ah), 90, 90);
  GdipClosePathFigure(path);
  GdipFillPath(FGraphics, FBrush->Handle(), path);
  GdipDrawPath(FGraphics, FPen->Handle(), path);
  GdipDeletePath(path);
}

void TPXCanvas::SetCompositing(int32_t Mode, int32_t Quality) {
  if (!FGraphics) return;
  GdipSetCompositingMode(FGraphics, static_cast<CompositingMode>(Mode));
  GdipSetCompositingQuality(FGraphics, static_cast<CompositingQuality>(Quality));
}

void TPXCanvas::RotateTransform(double Angle) {
  if (FGraphics) GdipRotateWorldTransform(FGraphics, static_cast<REAL>(Angle), MatrixOrderPrepend);
}

void TPXCanvas::TranslateTransform(double DX, double DY) {
  if (FGraphics) GdipTranslateWorldTransform(FGraphics, static_cast<REAL>(DX), static_cast<REAL>(DY), MatrixOrderPrepend);
  if (HDC dc = GetHandle()) OffsetViewportOrgEx(dc, Round32(DX), Round32(DY), nullptr);
}

void TPXCanvas::ResetTransform() {
  if (FGraphics) GdipResetWorldTransform(FGraphics);
}

void RegisterGdiPlusUnit() {
  RegisterLibrarySlot(lsInitGdiPlus, &InitGdiPlusUnit);
  RegisterLibrarySlot(lsFinalizeGdiPlus, &FinalizeGdiPlusUnit);
}
