// Frame and border drawing, the shared enumerations' type descriptions, and the small geometry,
// font and invalidation helpers.
#include <algorithm>
#include <cstring>

#include "controls/CvCommon.h"
#include "controls/CvCommonInternal.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/WinGdi_text.h"

// ---------------------------------------------------------------------------------------------
// Type descriptions

PTypeInfo TypeInfo_TCvGradientColorStyle() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TCvGradientColorStyle", {"gcsSystem", "gcsMSOffice", "gcsCustom"});
  return &info;
}

PTypeInfo TypeInfo_TCvVisualStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCvVisualStyle", {"vsClassic", "vsWinXP", "vsGradient"});
  return &info;
}

PTypeInfo TypeInfo_TCvHotTrackColorType() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCvHotTrackColorType", {"htctComplement", "htctActual"});
  return &info;
}

PTypeInfo TypeInfo_TCvButtonHotTrackStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCvButtonHotTrackStyle", {"htsInterior", "htsFrame"});
  return &info;
}

PTypeInfo TypeInfo_TFrameStyleEx() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TFrameStyleEx", {"fsNone", "fsFlat", "fsGroove", "fsBump", "fsLowered", "fsButtonDown", "fsRaised",
                        "fsButtonUp", "fsStatus", "fsPopup", "fsFlatBold", "fsFlatRounded"});
  return &info;
}

PTypeInfo TypeInfo_TFrameStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TFrameStyle", {"fsNone", "fsFlat", "fsGroove", "fsBump", "fsLowered", "fsButtonDown", "fsRaised", "fsButtonUp",
                      "fsStatus", "fsPopup", "fsFlatBold"});
  return &info;
}

PTypeInfo TypeInfo_TSide() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TSide", {"sdLeft", "sdTop", "sdRight", "sdBottom"});
  return &info;
}

PTypeInfo TypeInfo_TSides() {
  static const TTypeInfo info = TTypeInfo::Set("TSides", TypeInfo_TSide());
  return &info;
}

PTypeInfo TypeInfo_TFramingPreference() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TFramingPreference", {"fpCustomFraming", "fpXPThemes"});
  return &info;
}

PTypeInfo TypeInfo_TAlignmentVertical() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TAlignmentVertical", {"avTop", "avCenter", "avBottom"});
  return &info;
}

PTypeInfo TypeInfo_TTextStyle() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TTextStyle", {"tsNormal", "tsRaised", "tsRecessed", "tsShadow"});
  return &info;
}

PTypeInfo TypeInfo_TOrientation() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TOrientation", {"orHorizontal", "orVertical"});
  return &info;
}

PTypeInfo TypeInfo_TGradientDirection() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TGradientDirection", {"gdDiagonalUp", "gdDiagonalDown", "gdHorizontalEnd", "gdHorizontalCenter",
                             "gdHorizontalBox", "gdVerticalEnd", "gdVerticalCenter", "gdVerticalBox", "gdSquareBox",
                             "gdBigSquareBox"});
  return &info;
}

PTypeInfo TypeInfo_TCvAboutInfo() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCvAboutInfo", {"aiCorvelComponents"});
  return &info;
}

// ---------------------------------------------------------------------------------------------
// Frames

namespace {

using enum TFrameStyleEx;

struct TTwoRing {
  TColor OuterUL, OuterLR, InnerUL, InnerLR;
};
constexpr TTwoRing k3DRaised{cl3DLight, cl3DDkShadow, clBtnHighlight, clBtnShadow};
constexpr TTwoRing k3DSunken{clBtnShadow, clBtnHighlight, cl3DDkShadow, cl3DLight};
constexpr TTwoRing kButtonUp{clBtnHighlight, cl3DDkShadow, cl3DLight, clBtnShadow};
constexpr TTwoRing kButtonDown{clBtnText, clBtnText, clBtnShadow, clBtnShadow};

TRect PaintTwoRings(TCanvas* Canvas, const TRect& Bounds, const TTwoRing& Colors, TSides Sides) {
  TRect r = PaintBevel(Canvas, Bounds, Colors.OuterUL, Colors.OuterLR, 1, Sides);
  return PaintBevel(Canvas, r, Colors.InnerUL, Colors.InnerLR, 1, Sides);
}

// Saturating: frames of absurd widths cannot overflow the coordinates.
int32_t Moved(int32_t V, int64_t By) { return static_cast<int32_t>(std::clamp<int64_t>(V + By, INT32_MIN, INT32_MAX)); }

TRect Shrink(TRect R, TSides Sides, int64_t By) {
  if (Sides.Contains(sdLeft)) R.Left = Moved(R.Left, By);
  if (Sides.Contains(sdTop)) R.Top = Moved(R.Top, By);
  if (Sides.Contains(sdRight)) R.Right = Moved(R.Right, -By);
  if (Sides.Contains(sdBottom)) R.Bottom = Moved(R.Bottom, -By);
  return R;
}

// The etched two-pixel frame of fsGroove and fsBump.
TRect PaintEtched(TCanvas* Canvas, const TRect& Bounds, TColor UL, TColor LR, TSides S) {
  const int32_t L = Bounds.Left, T = Bounds.Top, R = Bounds.Right, B = Bounds.Bottom;
  const bool left = S.Contains(sdLeft), top = S.Contains(sdTop), right = S.Contains(sdRight),
             bottom = S.Contains(sdBottom);
  if (right) Canvas->SetPixels(R - 1, T, LR);
  else if (top) Canvas->SetPixels(R - 1, T, UL);
  if (bottom) Canvas->SetPixels(L, B - 1, LR);
  else if (left) Canvas->SetPixels(L, B - 1, UL);
  if (top && !left) Canvas->SetPixels(L, T + 1, LR);
  if (left && !top) Canvas->SetPixels(L + 1, T, LR);
  if (bottom && !right) Canvas->SetPixels(R - 1, B - 2, UL);
  if (right && !bottom) Canvas->SetPixels(R - 2, B - 1, UL);
  PaintSides(Canvas, TRect(L + 1, T + 1, R, B), LR, LR, S);
  PaintSides(Canvas, TRect(L, T, R - 1, B - 1), UL, UL, S);
  return Shrink(Bounds, S, 2);
}

void Line(TCanvas* Canvas, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  Canvas->MoveTo(X1, Y1);
  Canvas->LineTo(X2, Y2);
}

// A one-pixel ring in Color on the chosen sides (the rectangle itself is not changed).
void Ring(TCanvas* Canvas, const TRect& R, TColor Color, TSides Sides) { PaintSides(Canvas, R, Color, Color, Sides); }

// One frame of PaintInnerOuterFrames: the outer one, or the inner one (SoftFlat: the flat style
// leaves its corner pixels out).
TRect PaintPanelFrame(TCanvas* Canvas, TRect R, TFrameStyleEx Style, bool Inner, bool NeedsBorderRing,
                      TSides Sides, int32_t BevelWidth, TColor BorderColor, TColor BorderHighlight,
                      TColor BorderShadow, TColor Cf, TColor Color, TColor ParentColor, bool Transparent,
                      bool SoftFlat) {
  switch (Style) {
    case fsFlat:
      if (Inner && SoftFlat) {
        PaintCornerlessBox(Canvas, R, Cf);
        R.Inflate(-1, -1);
        return R;
      }
      return PaintBevel(Canvas, R, Cf, Cf, 1, Sides);
    case fsFlatBold:
      return PaintBevel(Canvas, R, Cf, Cf, 2, Sides);
    case fsFlatRounded: {
      TRect in = R;
      in.Inflate(-1, -1);
      if (Inner) {
        Ring(Canvas, R, BorderColor, Sides);
        if (!Transparent) Ring(Canvas, in, Color, Sides);
      } else if (!Transparent) {
        Ring(Canvas, R, ParentColor, Sides);
        Ring(Canvas, in, NeedsBorderRing ? BorderColor : Color, Sides);
      } else if (NeedsBorderRing) {
        Ring(Canvas, in, BorderColor, Sides);
      }
      return PaintRoundedFlatFrame(Canvas, R, Cf, Sides);
    }
    case fsPopup:
      return PaintBevel(Canvas, R, BorderHighlight, BorderShadow, BevelWidth, Sides);
    case fsStatus:
      return PaintBevel(Canvas, R, BorderShadow, BorderHighlight, BevelWidth, Sides);
    default:
      return PaintFrameStyleSides(Canvas, R, Style, Sides);
  }
}

}  // namespace

void PaintCornerlessBox(TCanvas* Canvas, const TRect& R, TColor Color) {
  Canvas->Pen()->SetColor(Color);
  Line(Canvas, R.Left, R.Top + 1, R.Left, R.Bottom - 1);
  Line(Canvas, R.Left + 1, R.Top, R.Right - 1, R.Top);
  Line(Canvas, R.Right - 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
  Line(Canvas, R.Left + 1, R.Bottom - 1, R.Right - 1, R.Bottom - 1);
}

TRect PaintSides(TCanvas* Canvas, const TRect& Bounds, TColor ULColor, TColor LRColor, TSides Sides) {
  const int32_t L = Bounds.Left, T = Bounds.Top, R = Bounds.Right, B = Bounds.Bottom;
  if (ULColor != clNone) {
    Canvas->Pen()->SetColor(ULColor);
    if (Sides.Contains(sdLeft)) Line(Canvas, L, T, L, B);
    if (Sides.Contains(sdTop)) Line(Canvas, L, T, R, T);
  }
  if (LRColor != clNone) {
    Canvas->Pen()->SetColor(LRColor);
    if (Sides.Contains(sdRight)) Line(Canvas, R - 1, T, R - 1, B);
    if (Sides.Contains(sdBottom)) Line(Canvas, L, B - 1, R, B - 1);
  }
  return Shrink(Bounds, Sides, 1);
}

TRect PaintBevel(TCanvas* Canvas, const TRect& Bounds, TColor ULColor, TColor LRColor, int32_t Width, TSides Sides) {
  Canvas->Pen()->SetWidth(1);
  TRect r = Bounds;
  for (int32_t i = 0; i < Width; ++i) {
    // Once nothing is left inside, the remaining rings only move the edges on.
    if (r.IsEmpty() || Sides.Empty()) return Shrink(r, Sides, int64_t{Width} - i);
    r = PaintSides(Canvas, r, ULColor, LRColor, Sides);
  }
  return r;
}

TRect PaintCtl3DSides(TCanvas* Canvas, const TRect& Bounds, bool Lowered, TSides Sides) {
  return PaintTwoRings(Canvas, Bounds, Lowered ? k3DSunken : k3DRaised, Sides);
}

TRect PaintButtonFrame(TCanvas* Canvas, const TRect& Bounds, bool Down) {
  return PaintButtonFrameSides(Canvas, Bounds, Down, AllSides);
}

TRect PaintButtonFrameSides(TCanvas* Canvas, const TRect& Bounds, bool Down, TSides Sides) {
  return PaintTwoRings(Canvas, Bounds, Down ? kButtonDown : kButtonUp, Sides);
}

TRect PaintColorButtonFrame(TCanvas* Canvas, const TRect& Bounds, TColor FaceColor, bool Down) {
  return PaintColorButtonFrameSides(Canvas, Bounds, FaceColor, Down, AllSides);
}

TRect PaintColorButtonFrameSides(TCanvas* Canvas, const TRect& Bounds, TColor FaceColor, bool Down, TSides Sides) {
  TTwoRing c;
  if (Down) c = {ShadeColor(FaceColor, 100), ShadeColor(FaceColor, 100), ShadeColor(FaceColor, 50), ShadeColor(FaceColor, 50)};
  else c = {TintColor(FaceColor, 100), ShadeColor(FaceColor, 100), TintColor(FaceColor, 40), ShadeColor(FaceColor, 50)};
  TRect r = PaintSides(Canvas, Bounds, c.OuterUL, c.OuterLR, Sides);
  return PaintSides(Canvas, r, c.InnerUL, c.InnerLR, Sides);
}

TRect PaintFrameStyle(TCanvas* Canvas, const TRect& Bounds, TFrameStyle Style) {
  return PaintFrameStyleSides(Canvas, Bounds, Style, AllSides);
}

TRect PaintFrameStyleSides(TCanvas* Canvas, const TRect& Bounds, TFrameStyle Style, TSides Sides) {
  switch (Style) {
    case fsFlat: return PaintSides(Canvas, Bounds, cl3DDkShadow, cl3DDkShadow, Sides);
    case fsStatus: return PaintSides(Canvas, Bounds, clBtnShadow, clBtnHighlight, Sides);
    case fsPopup: return PaintSides(Canvas, Bounds, clBtnHighlight, clBtnShadow, Sides);
    case fsFlatBold: return PaintBevel(Canvas, Bounds, clBtnShadow, clBtnShadow, 2, Sides);
    case fsLowered: return PaintCtl3DSides(Canvas, Bounds, true, Sides);
    case fsRaised: return PaintCtl3DSides(Canvas, Bounds, false, Sides);
    case fsButtonDown: return PaintButtonFrameSides(Canvas, Bounds, true, Sides);
    case fsButtonUp: return PaintButtonFrameSides(Canvas, Bounds, false, Sides);
    case fsGroove: return PaintEtched(Canvas, Bounds, clBtnShadow, clBtnHighlight, Sides);
    case fsBump: return PaintEtched(Canvas, Bounds, clBtnHighlight, clBtnShadow, Sides);
    default: return Bounds;  // fsNone; fsFlatRounded is not a style of these routines
  }
}

TRect PaintColorFrameStyle(TCanvas* Canvas, const TRect& Bounds, TColor FaceColor, TFrameStyle Style) {
  return PaintColorFrameStyleSides(Canvas, Bounds, FaceColor, Style, AllSides);
}

TRect PaintColorFrameStyleSides(TCanvas* Canvas, const TRect& Bounds, TColor FaceColor, TFrameStyle Style,
                                TSides Sides) {
  auto shade = [FaceColor](uint8_t a) { return ShadeColor(FaceColor, a); };
  auto tint = [FaceColor](uint8_t a) { return TintColor(FaceColor, a); };
  switch (Style) {
    case fsFlat: return PaintSides(Canvas, Bounds, shade(50), shade(50), Sides);
    case fsStatus: return PaintSides(Canvas, Bounds, shade(50), tint(100), Sides);
    case fsPopup: return PaintSides(Canvas, Bounds, tint(100), shade(50), Sides);
    case fsFlatBold: {
      TRect r = PaintSides(Canvas, Bounds, shade(50), shade(50), Sides);
      return PaintSides(Canvas, r, shade(50), shade(50), Sides);
    }
    case fsLowered: {
      TRect r = PaintSides(Canvas, Bounds, shade(50), tint(100), Sides);
      return PaintSides(Canvas, r, shade(100), tint(50), Sides);
    }
    case fsRaised: {
      TRect r = PaintSides(Canvas, Bounds, tint(50), shade(100), Sides);
      return PaintSides(Canvas, r, tint(100), shade(50), Sides);
    }
    case fsButtonDown: return PaintColorButtonFrameSides(Canvas, Bounds, FaceColor, true, Sides);
    case fsButtonUp: return PaintColorButtonFrameSides(Canvas, Bounds, FaceColor, false, Sides);
    case fsGroove: return PaintEtched(Canvas, Bounds, shade(50), tint(100), Sides);
    case fsBump: return PaintEtched(Canvas, Bounds, tint(100), shade(50), Sides);
    default: return Bounds;
  }
}

TRect PaintBox(TCanvas* Canvas, const TRect& Bounds, TColor LineColor) {
  const int32_t L = Bounds.Left, T = Bounds.Top, R = Bounds.Right, B = Bounds.Bottom;
  Canvas->Pen()->SetColor(LineColor);
  Line(Canvas, L, T, L, B);
  Line(Canvas, L, T, R, T);
  Line(Canvas, R - 1, T, R - 1, B);
  Line(Canvas, L, B - 1, R, B - 1);
  return TRect(L + 1, T + 1, R - 1, B - 1);
}

TRect PaintBoxCorners(TCanvas* Canvas, const TRect& Bounds, TColor LineColor, int32_t CornerLength) {
  const int32_t L = Bounds.Left, T = Bounds.Top, R = Bounds.Right - 1, B = Bounds.Bottom - 1, w = CornerLength;
  Canvas->Pen()->SetColor(LineColor);
  Canvas->Polyline({TPoint(L, T + w - 1), TPoint(L, T), TPoint(L + w, T)});
  Canvas->Polyline({TPoint(R - w + 1, T), TPoint(R, T), TPoint(R, T + w)});
  Canvas->Polyline({TPoint(R, B - w + 1), TPoint(R, B), TPoint(R - w, B)});
  Canvas->Polyline({TPoint(L + w - 1, B), TPoint(L, B), TPoint(L, B - w)});
  return TRect(Bounds.Left + 1, Bounds.Top + 1, Bounds.Right - 2, Bounds.Bottom - 2);
}

TRect PaintRoundedFlatFrame(TCanvas* Canvas, const TRect& Bounds, TColor Color, TSides Sides) {
  const int32_t L = Bounds.Left, T = Bounds.Top, R = Bounds.Right, B = Bounds.Bottom;
  const bool left = Sides.Contains(sdLeft), top = Sides.Contains(sdTop), right = Sides.Contains(sdRight),
             bottom = Sides.Contains(sdBottom);
  const int32_t dt = top ? 2 : 0, db = bottom ? 2 : 0, dl = left ? 2 : 0, dr = right ? 2 : 0;
  Canvas->Pen()->SetColor(Color);
  if (left) Line(Canvas, L, T + dt, L, B - db);
  if (top) Line(Canvas, L + dl, T, R - dr, T);
  if (right) Line(Canvas, R - 1, T + dt, R - 1, B - db);
  if (bottom) Line(Canvas, L + dl, B - 1, R - dr, B - 1);
  if (left && top) Canvas->SetPixels(L + 1, T + 1, Color);
  if (top && right) Canvas->SetPixels(R - 2, T + 1, Color);
  if (right && bottom) Canvas->SetPixels(R - 2, B - 2, Color);
  if (left && bottom) Canvas->SetPixels(L + 1, B - 2, Color);
  return Shrink(Bounds, Sides, 2);
}

TRect PaintInnerOuterFrames(TCanvas* Canvas, const TRect& Bounds, TFrameStyleEx BorderOuter, TFrameStyleEx BorderInner,
                            int32_t BorderWidth, TSides BorderSides, int32_t BevelWidth, TColor BorderColor,
                            TColor BorderHighlight, TColor BorderShadow, TColor FlatColor,
                            int32_t FlatColorAdjustment, TColor Color, TColor ParentColor, bool Transparent,
                            bool SoftInnerFlat) {
  const TColor cf = ShiftColorLuminance(FlatColor, FlatColorAdjustment);
  const bool borderRing = BorderWidth > 0 || BorderInner != fsNone;
  TRect r = PaintPanelFrame(Canvas, Bounds, BorderOuter, false, borderRing, BorderSides, BevelWidth, BorderColor,
                            BorderHighlight, BorderShadow, cf, Color, ParentColor, Transparent, false);
  if (BorderWidth > 0) r = PaintBevel(Canvas, r, BorderColor, BorderColor, BorderWidth, BorderSides);
  return PaintPanelFrame(Canvas, r, BorderInner, true, borderRing, BorderSides, BevelWidth, BorderColor,
                         BorderHighlight, BorderShadow, cf, Color, ParentColor, Transparent, SoftInnerFlat);
}

void PaintEditFrame(TCanvas* Canvas, int32_t Width, int32_t Height, TFrameStyle FrameStyle, TColor Color,
                    TColor FrameColor, TSides FrameSides, bool KeepInterior) {
  const TRect r(0, 0, Width, Height);
  if (!KeepInterior) PaintBevel(Canvas, r, Color, Color, 2, AllSides);
  switch (FrameStyle) {
    case fsFlat: PaintSides(Canvas, r, FrameColor, FrameColor, FrameSides); break;
    case fsFlatBold: PaintBevel(Canvas, r, FrameColor, FrameColor, 2, FrameSides); break;
    default:
      if (Color == clWindow) PaintFrameStyleSides(Canvas, r, FrameStyle, FrameSides);
      else PaintColorFrameStyleSides(Canvas, r, Color, FrameStyle, FrameSides);
      break;
  }
}

void InvalidateNonClientFrame(HWND WindowHandle, const TRect& Bounds) {
  HDC dc = GetWindowDC(WindowHandle);
  if (!dc) return;
  TRect clip;
  const int32_t kind = GetClipBox(dc, &clip);
  ReleaseDC(WindowHandle, dc);
  if (kind == ERROR || kind == NULLREGION) return;
  RedrawWindow(WindowHandle, &Bounds, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void InvalidateTransparentChildren(TWinControl* Container) {
  if (!Container) return;
  for (int32_t i = 0; i < Container->ControlCount(); ++i) {
    TControl* c = Container->Controls(i);
    PPropInfo p = GetPropInfo(c, "Transparent");
    if (p && p->GetOrd && GetOrdProp(c, p) == 1) c->Invalidate();
  }
}

// ---------------------------------------------------------------------------------------------
// Geometry, fonts, captions

TRect CenteredRect(const TRect& Bounds, int32_t Width, int32_t Height) {
  const int32_t left = static_cast<int32_t>((int64_t{Bounds.Left} + Bounds.Right - Width) / 2);
  const int32_t top = static_cast<int32_t>((int64_t{Bounds.Top} + Bounds.Bottom - Height) / 2);
  return ::Bounds(left, top, Width, Height);
}

HFONT CreateRotatedFontHandle(TFont* Font, int32_t Angle) {
  LOGFONT lf;
  lf.lfHeight = Font->Height();
  lf.lfWidth = 0;
  lf.lfEscapement = Angle * 10;
  lf.lfOrientation = 0;
  lf.lfWeight = Font->Style().Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = Font->Style().Contains(fsItalic) ? 1 : 0;
  lf.lfUnderline = Font->Style().Contains(fsUnderline) ? 1 : 0;
  lf.lfStrikeOut = Font->Style().Contains(fsStrikeOut) ? 1 : 0;
  lf.lfCharSet = Font->Charset();
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  switch (Font->Pitch()) {
    case fpVariable: lf.lfPitchAndFamily = VARIABLE_PITCH; break;
    case fpFixed: lf.lfPitchAndFamily = FIXED_PITCH; break;
    default: lf.lfPitchAndFamily = DEFAULT_PITCH; break;
  }
  std::strncpy(lf.lfFaceName, Font->Name().c_str(), sizeof lf.lfFaceName - 1);
  return CreateFontIndirect(lf);
}

namespace {

// The metrics of the font on the screen's device context.
TEXTMETRIC ScreenMetrics(TFont* Font) {
  TEXTMETRIC tm;
  HDC dc = GetDC(nullptr);
  if (!dc) return tm;
  HGDIOBJ old = SelectObject(dc, Font->Handle());
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return tm;
}

}  // namespace

bool FontIsTrueType(TFont* Font) { return (ScreenMetrics(Font).tmPitchAndFamily & TMPF_TRUETYPE) != 0; }

int32_t FontLineHeight(TFont* Font) { return ScreenMetrics(Font).tmHeight + 2; }

std::string StripAccelChars(const std::string& Caption) {
  std::string out;
  if (Caption.empty()) return out;
  size_t i = 0;
  while (i + 1 < Caption.size()) {
    if (Caption[i] != '&') {
      out += Caption[i];
    } else if (Caption[i + 1] == '&') {
      out += '&';
      ++i;
    }
    ++i;
  }
  out += Caption.back();
  return out;
}

void NotifyDesigner(TControl*) {}
