// Menu item measuring and painting, and the menus' gradient painters.
#include "controls/CvMenuUtil.h"

#include <algorithm>
#include <cstring>

#include "controls/CvMenuStylers.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/WinGdi_text.h"

using enum CvMenus::TGradientDirection;
using TMenuDirection = CvMenus::TGradientDirection;

namespace {

// The flag of shortcuts that go with the Windows key.
constexpr TShortCut kWinKeyFlag = 0x0200;
// The drop-down's shape cuts this much off the right of every item.
constexpr int32_t kShadowWidth = 17;

bool IsBarItem(const TMenuItem* Item) {
  const TMenuItem* parent = Item->Parent();
  return parent && !parent->Parent() && dynamic_cast<TMainMenu*>(Item->GetParentMenu());
}

// The item lies in a column after a menu break.
bool AfterBreak(const TMenuItem* Item) {
  const TMenuItem* parent = Item->Parent();
  if (!parent) return false;
  const int32_t at = parent->IndexOf(Item);
  for (int32_t i = 1; i <= at; ++i)
    if (parent->Items(i)->Break() != mbNone) return true;
  return false;
}

TCustomCvMenuStyler* StylerOf(const TMenuItem* Item) {
  ICvMenu* menu = MenuInterfaceOf(Item);
  return menu ? menu->GetCurrentStyler() : nullptr;
}

COLORREF Ref(TColor C) { return static_cast<COLORREF>(ColorToRGB(C)) & 0x00FFFFFF; }

struct TRgb {
  int32_t R, G, B;
};

TRgb Channels(TColor C) {
  uint8_t r, g, b;
  ColorChannels(C, r, g, b);
  return {r, g, b};
}

// The colour at step Pos of Count from A toward A + D (integer division toward zero).
TColor Interpolate(TRgb A, TRgb D, int32_t Pos, int32_t Count) {
  const auto at = [&](int32_t a, int32_t d) { return static_cast<uint8_t>(a + static_cast<int64_t>(Pos) * d / Count); };
  return static_cast<TColor>(RGB(at(A.R, D.R), at(A.G, D.G), at(A.B, D.B)));
}

bool DirectBitmap(TBitmap* Bitmap) {
  return Bitmap && Bitmap->PixelFormat() == pf32bit && Bitmap->Width() > 0 && Bitmap->Height() > 0;
}

// Writes a colour into a row span of a 32-bit bitmap (blue, green, red, 0), clipped to it.
void PutSpan(TBitmap* Bitmap, int32_t Y, int32_t X0, int32_t X1, TColor Color) {
  if (Y < 0 || Y >= Bitmap->Height()) return;
  X0 = std::max(X0, 0);
  X1 = std::min(X1, Bitmap->Width());
  if (X0 >= X1) return;
  uint8_t r, g, b;
  ColorChannels(Color, r, g, b);
  const uint32_t px = PackColor(b, g, r, 0);  // stored blue first
  auto* row = static_cast<uint32_t*>(Bitmap->ScanLine(Y));
  std::fill(row + X0, row + X1, px);
}

void FillSolid(TBitmap* Bitmap, TCanvas* Canvas, const TRect& R, TColor Color) {
  if (R.IsEmpty()) return;
  if (DirectBitmap(Bitmap)) {
    for (int32_t y = R.Top; y < R.Bottom; ++y) PutSpan(Bitmap, y, R.Left, R.Right, Color);
    return;
  }
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->Brush()->SetColor(Color);
  Canvas->FillRect(R);
}

void FrameBox(TCanvas* Canvas, const TRect& R, TColor Color) {
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->Brush()->SetColor(Color);
  Canvas->FrameRect(R);
}

// The font items are measured with: the root items' for the bar; for drop-down items the
// styler's own unless it uses the system font, then the selected item's unless that does too.
void SelectMeasureFont(TCanvas* Canvas, TCustomCvMenuStyler* S, bool Bar) {
  if (Bar) {
    if (!S->RootItem()->UseSystemFont()) Canvas->Font()->Assign(S->RootItem()->Font());
  } else if (!S->UseSystemFont()) {
    Canvas->Font()->Assign(S->Font());
  } else if (!S->SelectedItem()->UseSystemFont()) {
    Canvas->Font()->Assign(S->SelectedItem()->Font());
  }
}

TSize TextExtent(TCanvas* Canvas, const std::string& Text) {
  TRect r(0, 0, 0, 0);
  Canvas->RequiredState({csHandleValid, csFontValid});
  DrawText(Canvas->Handle(), Text, &r, DT_CALCRECT | DT_SINGLELINE);
  return TSize(r.Width(), r.Height());
}

// A bitmap drawn with its white pixels left out and its black ones in a colour.
void DrawGlyph(TCanvas* Canvas, int32_t X, int32_t Y, TBitmap* Glyph, TColor Colour) {
  if (!Glyph || Glyph->Empty()) return;
  const TColor old = Canvas->Font()->Color();
  Canvas->Font()->SetColor(Colour);
  Canvas->Draw(X, Y, Glyph);
  Canvas->Font()->SetColor(old);
}

}  // namespace

// =============================================================================================
// Small routines

void CenterRectOfSize(TRect& Rect, int32_t W, int32_t H) {
  Rect.Right = (Rect.Left + Rect.Right + W) / 2;
  Rect.Bottom = (Rect.Top + Rect.Bottom + H) / 2;
  Rect.Left = Rect.Right - W;
  Rect.Top = Rect.Bottom - H;
}

TRect BitmapRect(TBitmap* Bitmap) { return Bitmap ? TRect(0, 0, Bitmap->Width(), Bitmap->Height()) : TRect(); }

void ColorChannels(TColor Color, uint8_t& Red, uint8_t& Green, uint8_t& Blue) {
  const uint32_t rgb = static_cast<uint32_t>(ColorToRGB(Color));
  Red = static_cast<uint8_t>(rgb & 0xFF);
  Green = static_cast<uint8_t>((rgb >> 8) & 0xFF);
  Blue = static_cast<uint8_t>((rgb >> 16) & 0xFF);
}

uint32_t PackColor(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t Alpha) {
  return uint32_t{Red} | uint32_t{Green} << 8 | uint32_t{Blue} << 16 | uint32_t{Alpha} << 24;
}

HFONT CreateMenuRotatedFont(TFont* Font, int32_t Angle) {
  LOGFONT lf = Font->LogFont();
  lf.lfWidth = 0;
  lf.lfEscapement = Angle * 10;
  lf.lfOrientation = 0;
  lf.lfWeight = Font->Style().Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  return CreateFontIndirect(lf);
}

// =============================================================================================
// Gradients

namespace {

// The gradient's lines on a canvas: each run of lines of one colour is one rectangle filled with
// the DC's brush, the same pixels as one-pixel pen lines drawn across Rect where the canvas's
// coordinates are plain (else false: the caller draws the lines). The pen and its position end as
// those lines leave them.
bool FillGradientRuns(TCanvas* Canvas, const TRect& Rect, bool Vertical, const TRgb& A, const TRgb& D) {
  HDC dc = Canvas->Handle();
  if (GetMapMode(dc) != MM_TEXT || GetGraphicsMode(dc) != GM_COMPATIBLE) return false;
  const int32_t n = Vertical ? Rect.Height() : Rect.Width();
  HGDIOBJ brush = GetStockObject(DC_BRUSH);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  const COLORREF oldColor = SetDCBrushColor(dc, 0);
  TColor c = Interpolate(A, D, 0, n);
  for (int32_t i = 0; i < n;) {
    int32_t j = i + 1;
    TColor next = c;
    while (j < n && (next = Interpolate(A, D, j, n)) == c) ++j;
    SetDCBrushColor(dc, static_cast<COLORREF>(ColorToRGB(c)) & 0x00FFFFFF);
    FillRect(dc,
             Vertical ? TRect(Rect.Left, Rect.Top + i, Rect.Right, Rect.Top + j)
                      : TRect(Rect.Left + i, Rect.Top, Rect.Left + j, Rect.Bottom),
             static_cast<HBRUSH>(brush));
    i = j;
    c = next;
  }
  SetDCBrushColor(dc, oldColor);
  SelectObject(dc, oldBrush);
  Canvas->Pen()->SetColor(Interpolate(A, D, n - 1, n));
  if (Vertical) Canvas->MoveTo(Rect.Right, Rect.Bottom - 1);
  else Canvas->MoveTo(Rect.Right - 1, Rect.Bottom);
  return true;
}

}  // namespace

void FillMenuGradient(TBitmap* Bitmap, TCanvas* Canvas, const TRect& Rect, TMenuDirection Direction, TColor ColorTo,
                      TColor Color) {
  if (Color == clNone || Rect.IsEmpty()) return;
  if (ColorTo == clNone) ColorTo = Color;
  if (ColorToRGB(ColorTo) == ColorToRGB(Color)) {
    FillSolid(Bitmap, Canvas, Rect, Color);
    return;
  }
  const TRgb a = Channels(Color), b = Channels(ColorTo);
  const TRgb d{b.R - a.R, b.G - a.G, b.B - a.B};
  const bool direct = DirectBitmap(Bitmap);
  if (!direct) {
    Canvas->Pen()->SetStyle(psSolid);
    Canvas->Pen()->SetWidth(1);
    Canvas->Pen()->SetMode(pmCopy);
    if (FillGradientRuns(Canvas, Rect, Direction == gdVertical, a, d)) return;
  }
  if (Direction == gdVertical) {
    const int32_t h = Rect.Height();
    for (int32_t y = Rect.Top; y < Rect.Bottom; ++y) {
      const TColor c = Interpolate(a, d, y - Rect.Top, h);
      if (direct) {
        PutSpan(Bitmap, y, Rect.Left, Rect.Right, c);
      } else {
        Canvas->Pen()->SetColor(c);
        Canvas->MoveTo(Rect.Left, y);
        Canvas->LineTo(Rect.Right, y);
      }
    }
    return;
  }
  const int32_t w = Rect.Width();
  if (direct) {
    for (int32_t x = Rect.Left; x < Rect.Right; ++x) PutSpan(Bitmap, Rect.Top, x, x + 1, Interpolate(a, d, x - Rect.Left, w));
    // The first row copied to the others.
    const int32_t y0 = Rect.Top;
    if (y0 < 0 || y0 >= Bitmap->Height()) {
      for (int32_t y = Rect.Top + 1; y < Rect.Bottom; ++y)
        for (int32_t x = Rect.Left; x < Rect.Right; ++x) PutSpan(Bitmap, y, x, x + 1, Interpolate(a, d, x - Rect.Left, w));
      return;
    }
    const int32_t x0 = std::max(Rect.Left, 0), x1 = std::min(Rect.Right, Bitmap->Width());
    if (x0 >= x1) return;
    const auto* first = static_cast<const uint32_t*>(Bitmap->ScanLine(y0));
    for (int32_t y = std::max(Rect.Top + 1, 0); y < std::min(Rect.Bottom, Bitmap->Height()); ++y)
      std::memcpy(static_cast<uint32_t*>(Bitmap->ScanLine(y)) + x0, first + x0, sizeof(uint32_t) * static_cast<size_t>(x1 - x0));
    return;
  }
  for (int32_t x = Rect.Left; x < Rect.Right; ++x) {
    Canvas->Pen()->SetColor(Interpolate(a, d, x - Rect.Left, w));
    Canvas->MoveTo(x, Rect.Top);
    Canvas->LineTo(x, Rect.Bottom);
  }
}

void FillMenuGradientSlice(TBitmap* Bitmap, TCanvas* Canvas, const TRect& WholeRect, TMenuDirection Direction,
                           TColor ColorTo, TColor Color, const TRect& ClipRect) {
  TRect part;
  if (Color == clNone || !IntersectRect(part, WholeRect, ClipRect)) return;
  if (ColorTo == clNone) ColorTo = Color;
  const TRgb a = Channels(Color), b = Channels(ColorTo);
  const TRgb d{b.R - a.R, b.G - a.G, b.B - a.B};
  TColor from, to;
  if (Direction == gdVertical) {
    const int32_t h = WholeRect.Height();
    from = Interpolate(a, d, part.Top - WholeRect.Top, h);
    to = Interpolate(a, d, part.Bottom - WholeRect.Top, h);
  } else {
    const int32_t w = WholeRect.Width();
    from = Interpolate(a, d, part.Left - WholeRect.Left, w);
    to = Interpolate(a, d, part.Right - WholeRect.Left, w);
  }
  FillMenuGradient(Bitmap, Canvas, part, Direction, to, from);
}

void FillMenuBox(TBitmap* Bitmap, TCanvas* Canvas, const TRect& Rect, bool Fill, TColor BorderColor,
                 TMenuDirection Direction, TColor ColorTo, TColor Color) {
  if (Fill && Color != clNone) FillMenuGradient(Bitmap, Canvas, Rect, Direction, ColorTo, Color);
  if (BorderColor != clNone) FrameBox(Canvas, Rect, BorderColor);
}

void FillMenuMirrorBox(TBitmap* Bitmap, TCanvas* Canvas, const TRect& Rect, bool Fill, TColor BorderColor,
                       TMenuDirection Direction, TColor MirrorTo, TColor Mirror, TColor ColorTo, TColor Color) {
  if (Mirror == clNone) {
    FillMenuBox(Bitmap, Canvas, Rect, Fill, BorderColor, Direction, ColorTo, Color);
    return;
  }
  if (Fill && Color != clNone) {
    const int32_t middle = Rect.Top + Rect.Height() / 2;
    FillMenuGradient(Bitmap, Canvas, TRect(Rect.Left, Rect.Top, Rect.Right, middle), Direction, ColorTo, Color);
    FillMenuGradient(Bitmap, Canvas, TRect(Rect.Left, middle, Rect.Right, Rect.Bottom), Direction, MirrorTo, Mirror);
  }
  if (BorderColor != clNone) FrameBox(Canvas, Rect, BorderColor);
}

void DrawMenuSeparator(TBitmap* Bitmap, TCanvas* Canvas, const TRect& Rect, int32_t Margin, int32_t GradientWidth,
                       TGradientType GradientType, TMenuDirection Direction, TColor ColorTo, TColor Color) {
  if (Color == clNone) return;
  if (ColorTo == clNone) ColorTo = Color;
  const bool horz = Direction == gdHorizontal;
  const int32_t start = horz ? Rect.Left + Margin : Rect.Top + Margin;
  const int32_t end = horz ? Rect.Right - Margin : Rect.Bottom - Margin;
  const int32_t length = end - start;
  if (length <= 0) return;
  // A span of the line as a rectangle.
  auto span = [&](int32_t a, int32_t b) {
    return horz ? TRect(a, Rect.Top, b, Rect.Bottom) : TRect(Rect.Left, a, Rect.Right, b);
  };
  int32_t gw = GradientType == gtBoth ? 2 * GradientWidth : GradientWidth;
  if (gw < length) {
    switch (GradientType) {
      case gtLeft: FillSolid(Bitmap, Canvas, span(start + std::max(gw, 0), end), ColorTo); break;
      case gtRight: FillSolid(Bitmap, Canvas, span(start, end - std::max(gw, 0)), ColorTo); break;
      case gtBoth: FillSolid(Bitmap, Canvas, span(start + std::max(gw, 0) / 2, end - std::max(gw, 0) / 2), Color); break;
    }
  } else {
    gw = length;
  }
  if (gw < 1) return;
  switch (GradientType) {
    case gtLeft: FillMenuGradient(Bitmap, Canvas, span(start, start + gw), Direction, ColorTo, Color); break;
    case gtRight: FillMenuGradient(Bitmap, Canvas, span(end - gw, end), Direction, Color, ColorTo); break;
    case gtBoth:
      FillMenuGradient(Bitmap, Canvas, span(start, start + gw / 2), Direction, Color, ColorTo);
      FillMenuGradient(Bitmap, Canvas, span(end - gw / 2, end), Direction, ColorTo, Color);
      break;
  }
}

void DrawMenuBackground(TCanvas* Canvas, const TRect& Rect, TBackground* Background, bool PaintColors) {
  TRect R = Rect;
  R.Inflate(-Background->MarginX(), -Background->MarginY());
  if (R.IsEmpty()) return;
  TBitmap* cache = Background->Cache();
  cache->SetSize(R.Width(), R.Height());
  TGraphic* picture = Background->HasImage() ? Background->Image()->Graphic() : nullptr;
  auto* bitmap = dynamic_cast<TBitmap*>(picture);
  const TBackgroundPosition pos = Background->Position();
  if (PaintColors && (!picture || (pos != bpTiled && pos != bpStretched) || (bitmap && bitmap->Transparent())))
    FillMenuGradient(cache, cache->Canvas(), TRect(0, 0, R.Width(), R.Height()), Background->GradientDirection(),
                     Background->ColorTo(), Background->Color());
  if (picture) {
    TCanvas* c = cache->Canvas();
    const int32_t w = R.Width(), h = R.Height(), pw = picture->Width(), ph = picture->Height();
    switch (pos) {
      case bpTiled:
        // A picture without pixels never advances: nothing to tile.
        if (pw > 0 && ph > 0)
          for (int32_t y = 0; y < h; y += ph)
            for (int32_t x = 0; x < w; x += pw) c->Draw(x, y, picture);
        break;
      case bpStretched: c->StretchDraw(TRect(0, 0, w, h), picture); break;
      case bpXY: c->Draw(Background->OffsetX(), Background->OffsetY(), picture); break;
      default: {
        int32_t x = Background->OffsetX(), y = Background->OffsetY();
        if (pos == bpTopRight || pos == bpBottomRight) x = w - pw + Background->OffsetX();
        else if (pos == bpTopCenter || pos == bpBottomCenter || pos == bpCenter) x = (w - pw) / 2 + Background->OffsetX();
        if (pos == bpBottomLeft || pos == bpBottomRight || pos == bpBottomCenter) y = h - ph + Background->OffsetY();
        else if (pos == bpCenter) y = (h - ph) / 2 + Background->OffsetY();
        c->Draw(x, y, picture);
        break;
      }
    }
  }
  Canvas->Draw(R.Left, R.Top, cache);
}

// =============================================================================================
// Items

std::string MenuShortCutText(const TMenuItem* Item) {
  const TShortCut sc = Item->ShortCut();
  if (!sc) return {};
  if (sc & kWinKeyFlag) return "Win+" + ShortCutToText(static_cast<TShortCut>(sc & ~kWinKeyFlag));
  return ShortCutToText(sc);
}

bool MenuSideBarShown(const TMenuItem* Item) {
  TCustomCvMenuStyler* S = StylerOf(Item);
  if (!S || !S->SideBar()->Visible()) return false;
  const TMenuItem* parent = Item->Parent();
  if (!parent) return false;
  const TMenu* menu = Item->GetParentMenu();
  const bool isMain = dynamic_cast<const TMainMenu*>(menu) != nullptr;
  switch (S->SideBar()->VisibleIn()) {
    case viFirstVisible: {
      if (!isMain) return !parent->Parent();
      // The drop-down of the first visible menu-bar item.
      const TMenuItem* root = menu->Items();
      for (int32_t i = 0; i < root->Count(); ++i)
        if (root->Items(i)->Visible()) return parent == root->Items(i);
      return false;
    }
    case viFirstLevel:
      return isMain ? parent->Parent() && !parent->Parent()->Parent() : !parent->Parent();
    case viAnyLevel:
      return !IsBarItem(Item);
  }
  return false;
}

void MeasureMenuItem(TMenuItem* Item, TCanvas* Canvas, bool SideBarShown, int32_t& Width, int32_t& Height) {
  TCustomCvMenuStyler* S = StylerOf(Item);
  if (!S) return;
  if (Item->IsLine()) {
    Height = S->Separator()->Width() + 2;
    Width = -2;
    return;
  }
  const bool bar = IsBarItem(Item);
  if (bar) ReadMenuMetrics(Width, Height);
  else Width = S->IconBar()->Size();
  TCustomImageList* images = Item->GetImageList();
  if (images && (Item->ImageIndex() >= 0 || !bar)) {
    if (bar) Width = images->Width();
    else Height = std::max(Height, images->Height());
  } else if (!Item->HasBitmap()) {
    if (bar) Width = -7;
    else Height -= 3;
  } else {
    if (bar) Width = 16;
    else Height = std::max(Height, 16);
  }
  if (!bar) {
    Width += 15;
    Height += 5;
  }
  // The caption and the shortcut, a tab apart.
  std::string text = Item->Caption();
  if (Item->ShortCut()) text += "\t" + MenuShortCutText(Item);
  SelectMeasureFont(Canvas, S, bar);
  const TSize size = TextExtent(Canvas, text);
  Width += size.cx + 7;
  if (!S->UseSystemFont()) Height = size.cy + 6;
  if (bar) return;
  if (Item->ShortCut() & kWinKeyFlag) Width += TextExtent(Canvas, "Win+").cx;
  if (SideBarShown && !AfterBreak(Item)) Width += S->SideBar()->Size() + S->SideBar()->SplitterWidth();
  Height += Height & 1;
  Width += kShadowWidth;
}

void DrawMenuItemText(TMenuItem* Item, TCanvas* Canvas, const std::string& Text, UINT Format, TOwnerDrawState State,
                      TRect& Rect) {
  TCustomCvMenuStyler* S = StylerOf(Item);
  if (!S) return;
  const bool bar = IsBarItem(Item);
  const bool selected = State.Contains(odSelected);
  std::string text = Text;
  if ((Format & DT_CALCRECT) && (text.empty() || text == "&")) text += " ";
  Canvas->Brush()->SetStyle(bsClear);
  TColor colour = clNone;
  if (bar) {
    if (S->RootItem()->UseSystemFont()) {
      if (TScreen* screen = Screen()) Canvas->Font()->Assign(screen->MenuFont());
    } else {
      Canvas->Font()->Assign(S->RootItem()->Font());
    }
    if (selected && S->RootItem()->SelectedTextColor() != clNone) colour = S->RootItem()->SelectedTextColor();
    else if (State.Contains(odHotLight) && S->RootItem()->HoverTextColor() != clNone) colour = S->RootItem()->HoverTextColor();
  } else {
    const bool system = selected ? S->SelectedItem()->UseSystemFont() : S->UseSystemFont();
    TFont* font = selected ? S->SelectedItem()->Font() : S->Font();
    if (system) {
      if (TScreen* screen = Screen()) Canvas->Font()->Assign(screen->MenuFont());
    } else {
      Canvas->Font()->Assign(font);
    }
  }
  if (colour != clNone) Canvas->Font()->SetColor(colour);
  if (Item->Default()) Canvas->Font()->SetStyle(Canvas->Font()->Style() + fsBold);
  Canvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  HDC dc = Canvas->Handle();
  const int32_t oldMode = SetBkMode(dc, TRANSPARENT);
  if (!Item->Enabled() && !(Format & DT_CALCRECT)) {
    if (!selected) {
      TRect shifted = Rect;
      shifted.Offset(1, 1);
      SetTextColor(dc, Ref(clBtnHighlight));
      DrawText(dc, text, &shifted, Format);
      SetTextColor(dc, Ref(clBtnShadow));
    } else {
      SetTextColor(dc, Ref(ColorToRGB(clHighlight) == ColorToRGB(clBtnShadow) ? clBtnHighlight : clBtnShadow));
    }
  } else {
    SetTextColor(dc, Ref(Canvas->Font()->Color()));
  }
  DrawText(dc, text, &Rect, Format);
  SetBkMode(dc, oldMode);
}

namespace {

// The union of the item rectangles of the drop-down the canvas paints, from (0, 0), less the
// cut-off strip at the right.
TRect MenuRectOf(TMenuItem* Item, TCanvas* Canvas, const TRect& Fallback) {
  TMenuItem* parent = Item->Parent();
  HWND wnd = WindowFromDC(Canvas->Handle());
  TRect M;
  bool any = false;
  if (parent) {
    HMENU menu = parent->Handle();
    const int32_t n = GetMenuItemCount(menu);
    for (int32_t i = 0; i < n; ++i) {
      TRect r;
      if (!GetMenuItemRect(wnd, menu, static_cast<UINT>(i), &r)) continue;
      if (any) UnionRect(M, M, r);
      else M = r, any = true;
    }
  }
  if (!any) M = Fallback;
  M.Offset(-M.Left, -M.Top);
  M.Right -= kShadowWidth;
  return M;
}

bool FirstVisibleItem(const TMenuItem* Item) {
  const TMenuItem* parent = Item->Parent();
  if (!parent) return false;
  for (int32_t i = 0; i < parent->Count(); ++i)
    if (parent->Items(i)->Visible()) return parent->Items(i) == Item;
  return false;
}

void DrawSideBarCaption(TCanvas* Canvas, TSideBar* Bar, const TRect& A, int32_t ImageHeight) {
  if (Bar->Caption().empty()) return;
  Canvas->Font()->Assign(Bar->Font());
  const bool up = Bar->Direction() == dDownToUp;
  HFONT font = CreateMenuRotatedFont(Bar->Font(), up ? 90 : -90);
  Canvas->RequiredState({csHandleValid, csFontValid});
  HDC dc = Canvas->Handle();
  HGDIOBJ old = SelectObject(dc, font);
  TSize ext(0, 0);
  GetTextExtentPoint32(dc, Bar->Caption(), &ext);
  const int32_t th = ext.cy, tw = ext.cx, height = A.Height();
  int32_t x = static_cast<int32_t>(Round((Bar->Size() - th) / 2.0L - 0.5L));
  int32_t y;
  const TAlignment al = Bar->Alignment();
  if (al == taCenter) {
    y = static_cast<int32_t>(Round((height + tw) / 2.0L - 0.5L));
  } else if ((al == taRightJustify && up) || (al == taLeftJustify && !up)) {
    y = Bar->CaptionOffset() + tw;
  } else {
    y = height - Bar->CaptionOffset() - ImageHeight;
  }
  if (!up) {
    y -= tw;
    x += th + 1;
  }
  x += A.Left;
  y += A.Top;
  const int32_t saved = SaveDC(dc);
  IntersectClipRect(dc, A.Left, A.Top, A.Right, A.Bottom + 1);
  SetBkMode(dc, TRANSPARENT);
  const int32_t depth = Bar->Depth();
  if (Bar->HighlightColor() != clNone) {
    SetTextColor(dc, Ref(Bar->HighlightColor()));
    TextOut(dc, x - depth, y + depth, Bar->Caption());
  }
  if (Bar->ShadowColor() != clNone) {
    SetTextColor(dc, Ref(Bar->ShadowColor()));
    TextOut(dc, x + depth, y - depth, Bar->Caption());
  }
  SetTextColor(dc, Ref(Bar->Font()->Color()));
  TextOut(dc, x, y, Bar->Caption());
  RestoreDC(dc, saved);
  SelectObject(dc, old);
  DeleteObject(font);
  SetBkMode(dc, OPAQUE);
  Canvas->Refresh();
}

void DrawSideBar(TCanvas* Canvas, TCustomCvMenuStyler* S, const TRect& M) {
  TSideBar* bar = S->SideBar();
  const TRect A(M.Left, M.Top, M.Left + bar->Size() + bar->SplitterWidth(), M.Bottom);
  DrawMenuBackground(Canvas, A, bar->Background(), true);
  int32_t imageHeight = 0;
  if (bar->Image()->Color() != clNone) {
    DrawMenuBackground(Canvas, A, bar->Image(), true);
    const TBackgroundPosition p = bar->Image()->Position();
    if (bar->Image()->HasImage() && (p == bpBottomLeft || p == bpBottomRight || p == bpBottomCenter))
      imageHeight = bar->Image()->Image()->Height();
  }
  DrawSideBarCaption(Canvas, bar, A, imageHeight);
  if (bar->BorderColor() != clNone) FrameBox(Canvas, TRect(A.Left, A.Top, A.Right - bar->SplitterWidth(), A.Bottom), bar->BorderColor());
  if (bar->SplitterColor() != clNone && bar->Side() == 0)
    DrawMenuSeparator(nullptr, Canvas, TRect(A.Right - bar->SplitterWidth(), A.Top, A.Right, A.Bottom), bar->SplitterMargin(),
                      bar->SplitterGradientWidth(), bar->SplitterGradientType(), gdVertical, bar->SplitterColorTo(),
                      bar->SplitterColor());
  bar->SetPopupHeight(M.Height());
}

}  // namespace

void DrawMenuItem(TMenuItem* Item, TCanvas* Canvas, const TRect& Rect, bool SideBarShown, TOwnerDrawState State) {
  TCustomCvMenuStyler* S = StylerOf(Item);
  if (!S) return;
  const bool bar = IsBarItem(Item);
  TRect R = Rect;
  if (SideBarShown && !AfterBreak(Item)) R.Left += S->SideBar()->Size() + S->SideBar()->SplitterWidth();
  TIconBar* icon = S->IconBar();
  if (!bar) {
    const TRect M = MenuRectOf(Item, Canvas, TRect(Rect.Left, Rect.Top, Rect.Right + kShadowWidth, Rect.Bottom));
    if (SideBarShown && FirstVisibleItem(Item)) DrawSideBar(Canvas, S, M);
    // The icon bar over the drop-down's height, clipped to the item.
    const TRect strip(R.Left, M.Top, R.Left + icon->Size(), M.Bottom);
    FillMenuGradientSlice(nullptr, Canvas, strip, icon->GradientDirection(), icon->ColorTo(), icon->Color(), R);
    if (icon->SeparatorColor() != clNone) {
      Canvas->Pen()->SetStyle(psSolid);
      Canvas->Pen()->SetColor(icon->SeparatorColor());
      Canvas->MoveTo(strip.Right - 1, R.Top);
      Canvas->LineTo(strip.Right - 1, R.Bottom);
    }
    // The background right of the icon bar.
    TBackground* back = S->Background();
    TRect part(R.Left + icon->Size(), R.Top, R.Right, R.Bottom);
    const TRect whole(R.Left + icon->Size(), M.Top, M.Right, M.Bottom);
    if (back->MarginX() > 0 || back->MarginY() > 0) {
      FillSolid(nullptr, Canvas, part, back->Color());
      part.Inflate(-back->MarginX(), -back->MarginY());
    }
    FillMenuGradientSlice(nullptr, Canvas, whole, back->GradientDirection(), back->ColorTo(), back->Color(), part);
    if (back->HasImage() && !part.IsEmpty()) {
      TBitmap* cache = S->Cache();
      if (cache->Width() != whole.Width() || cache->Height() != whole.Height()) {
        cache->SetSize(whole.Width(), whole.Height());
        DrawMenuBackground(cache->Canvas(), TRect(0, 0, whole.Width(), whole.Height()), back, true);
      }
      TRect src = part;
      src.Offset(-whole.Left, -whole.Top);
      Canvas->CopyRect(part, cache->Canvas(), src);
    }
    if (Item->IsLine()) {
      TRect line = R;
      line.Left += icon->Size();
      TSeparator* sep = S->Separator();
      const int32_t middle = (line.Top + line.Bottom) / 2;
      line.Top = middle - sep->Width() / 2;
      line.Bottom = middle + (sep->Width() + 1) / 2;
      DrawMenuSeparator(nullptr, Canvas, line, sep->Margin(), sep->GradientWidth(), sep->GradientType(),
                        sep->GradientDirection(), sep->ColorTo(), sep->Color());
      ShapeMenuPopupWindow(Item, Canvas);
      return;
    }
  }
  const bool selected = State.Contains(odSelected), disabled = State.Contains(odDisabled);
  // The selection.
  if (bar) {
    TRootItem* root = S->RootItem();
    if (selected) {
      FillMenuMirrorBox(nullptr, Canvas, R, true, root->SelectedBorderColor(), root->SelectedGradientDirection(),
                        root->SelectedColorMirrorTo(), root->SelectedColorMirror(), root->SelectedColorTo(),
                        root->SelectedColor());
      if (Item->Count() > 0) {
        Canvas->Pen()->SetStyle(psSolid);
        Canvas->Pen()->SetColor(S->Background()->Color());
        Canvas->MoveTo(R.Left, R.Bottom - 1);
        Canvas->LineTo(R.Right - 1, R.Bottom - 1);
      }
    } else if (State.Contains(odHotLight)) {
      FillMenuMirrorBox(nullptr, Canvas, R, true, root->HoverBorderColor(), root->HoverGradientDirection(),
                        root->HoverColorMirrorTo(), root->HoverColorMirror(), root->HoverColorTo(), root->HoverColor());
    } else if (root->Color() != clNone) {
      // The bar's gradient runs over the form's whole client width.
      TRect whole(R.Left, R.Top, R.Right, R.Bottom);
      if (auto* main = dynamic_cast<TMainMenu*>(Item->GetParentMenu())) {
        if (TCustomForm* form = main->Form(); form && form->HandleAllocated()) {
          TRect wr;
          GetWindowRect(form->Handle(), &wr);
          const TPoint origin = form->ClientToScreen(TPoint(0, 0));
          whole.Left = origin.X - wr.Left;
          whole.Right = whole.Left + form->ClientWidth();
        }
      }
      FillMenuGradientSlice(nullptr, Canvas, whole, root->GradientDirection(), root->ColorTo(), root->Color(), R);
    }
  } else if (selected) {
    TSelectedItem* sel = S->SelectedItem();
    FillMenuMirrorBox(nullptr, Canvas, R, true, sel->BorderColor(), sel->GradientDirection(), sel->ColorMirrorTo(),
                      sel->ColorMirror(), sel->ColorTo(), sel->Color());
  }
  // The glyph square.
  TRect square(R.Left, R.Top + 1, R.Left + icon->Size(), R.Bottom - 1);
  const int32_t side = std::min(square.Width(), square.Height());
  CenterRectOfSize(square, side, side);
  TCustomImageList* images = Item->GetImageList();
  const bool hasImage = images && Item->ImageIndex() >= 0 && Item->ImageIndex() < images->Count();
  // The check colours: the selected item's while selected, else the icon bar's.
  TSelectedItem* sel = S->SelectedItem();
  auto checkBox = [&](const TRect& box, bool radio) {
    if (selected) {
      FillMenuBox(nullptr, Canvas, box, !disabled, radio ? sel->RadioBorder() : sel->CheckBorder(),
                  radio ? sel->RadioGradientDirection() : sel->CheckGradientDirection(),
                  radio ? sel->RadioColorTo() : sel->CheckColorTo(), radio ? sel->RadioColor() : sel->CheckColor());
    } else {
      FillMenuBox(nullptr, Canvas, box, !disabled, radio ? icon->RadioBorder() : icon->CheckBorder(),
                  radio ? icon->RadioGradientDirection() : icon->CheckGradientDirection(),
                  radio ? icon->RadioColorTo() : icon->CheckColorTo(), radio ? icon->RadioColor() : icon->CheckColor());
    }
  };
  int32_t glyphWidth = 0;
  if (hasImage) {
    if (Item->Checked()) checkBox(square, false);
    TRect at = square;
    CenterRectOfSize(at, images->Width(), images->Height());
    if (bar) at.Offset(R.Left + 6 - at.Left, 0);
    images->Draw(Canvas, at.Left, at.Top, Item->ImageIndex(), Item->Enabled());
    glyphWidth = square.Width();
  } else {
    TRect box = square;
    CenterRectOfSize(box, 16, 16);
    if (bar) box.Offset(R.Left + 6 - box.Left, 0);
    if (!bar && Item->Checked() && !Item->HasBitmap()) {
      checkBox(box, Item->RadioItem());
      if (selected) FrameBox(Canvas, box, sel->BorderColor());
      DrawGlyph(Canvas, box.Left, box.Top, Item->RadioItem() ? S->Glyphs()->Radio() : S->Glyphs()->Check(), clBtnText);
    } else if (Item->HasBitmap()) {
      TBitmap* glyph = Item->Bitmap();
      glyph->SetTransparent(true);
      glyph->SetTransparentMode(tmAuto);
      Canvas->Draw(box.Left, box.Top, glyph);
      glyphWidth = square.Width();
    }
  }
  // The sub-menu arrow.
  if (!bar && Item->Count() > 0) {
    const int32_t y = (R.Top + R.Bottom - 5) / 2;
    TRect arrow(R.Right - 8, y, R.Right - 5, y + 6);
    TBitmap* glyph = S->Glyphs()->SubMenu();
    CenterRectOfSize(arrow, glyph->Width(), glyph->Height());
    DrawGlyph(Canvas, arrow.Left, arrow.Top, glyph, clBlack);
  }
  // The caption and the shortcut.
  TRect text(bar ? R.Left + glyphWidth : R.Left + icon->Size() + 8, R.Top, R.Right, R.Bottom);
  const UINT format = DT_SINGLELINE | DT_EXPANDTABS | (bar ? DT_CENTER : DT_LEFT);
  const TFontStyles oldStyle = Canvas->Font()->Style();
  if (State.Contains(odDefault)) Canvas->Font()->SetStyle({fsBold});
  TRect calc = text;
  DrawMenuItemText(Item, Canvas, Item->Caption(), format | DT_CALCRECT, State, calc);
  const int32_t dy = (R.Height() - calc.Height()) / 2;
  TRect place = bar ? TRect(text.Left, R.Top + dy, text.Right, R.Top + dy + calc.Height())
                    : TRect(calc.Left, R.Top + dy, calc.Right, R.Top + dy + calc.Height());
  DrawMenuItemText(Item, Canvas, Item->Caption(), format, State, place);
  if (!bar && Item->ShortCut()) {
    TRect sc(place.Right, place.Top, R.Right - 10, place.Bottom);
    DrawMenuItemText(Item, Canvas, MenuShortCutText(Item), DT_SINGLELINE | DT_EXPANDTABS | DT_RIGHT, State, sc);
  }
  Canvas->Font()->SetStyle(oldStyle);
  Canvas->Brush()->SetStyle(bsSolid);
  if (!bar) ShapeMenuPopupWindow(Item, Canvas);
}
