// The classic look of menu items: measuring and painting of menu-bar and drop-down items.
//
// Drop-down item layout (left to right): the glyph column (check mark, radio bullet or image),
// the caption, the shortcut text aligned right, and the sub-menu arrow column. Separators are an
// etched line. Menu-bar items are the caption with a margin, raised while hot and sunken while
// open.
#include <algorithm>

#include "platform/forms/Forms.h"
#include "platform/forms/Menus.h"
#include "platform/forms/Menus_internal.h"
#include "platform/gdi/WinGdi_text.h"

namespace {

constexpr int32_t kGlyphMargin = 3;      // on each side of the glyph column
constexpr int32_t kTextGap = 2;          // between the glyph column and the caption
constexpr int32_t kShortCutGap = 16;     // between the caption and the shortcut
constexpr int32_t kBarMargin = 6;        // on each side of a menu-bar caption
constexpr int32_t kSeparatorHeight = 9;
constexpr int32_t kArrowColumn = 17;     // the sub-menu arrow's column at the right

bool IsBarItem(const TMenuItem* item) {
  const TMenuItem* parent = item->Parent();
  return parent && !parent->Parent() && dynamic_cast<TMainMenu*>(item->GetParentMenu());
}

int32_t CheckSize() { return GetSystemMetrics(SM_CXMENUCHECK); }

TSize ImageSize(const TMenuItem* item) {
  if (TCustomImageList* images = item->GetImageList()) return TSize(images->Width(), images->Height());
  if (item->HasBitmap()) {
    TBitmap* bmp = const_cast<TMenuItem*>(item)->Bitmap();
    return TSize(bmp->Width(), bmp->Height());
  }
  return TSize(0, 0);
}

bool HasImage(const TMenuItem* item) {
  if (TCustomImageList* images = item->GetImageList())
    return item->ImageIndex() >= 0 && item->ImageIndex() < images->Count();
  return item->HasBitmap();
}

int32_t GlyphColumn(const TMenuItem* item) {
  // All items of one drop-down share the column: its width follows the image list.
  return std::max(CheckSize(), ImageSize(item).cx) + 2 * kGlyphMargin;
}

TSize TextSize(TCanvas* canvas, const std::string& text) {
  TRect r(0, 0, 0, 0);
  canvas->RequiredState({csHandleValid, csFontValid});
  DrawText(canvas->Handle(), text.empty() ? std::string(" ") : text, &r, DT_CALCRECT | DT_SINGLELINE);
  return TSize(r.Width(), r.Height());
}

void PrepareFont(TCanvas* canvas, const TMenuItem* item) {
  if (item->Default()) canvas->Font()->SetStyle(canvas->Font()->Style() + fsBold);
}

// Text in the item's state colours: embossed when disabled and not selected.
void DrawItemText(TCanvas* canvas, const std::string& text, TRect r, UINT format, bool enabled, bool selected,
                  TColor textColor) {
  HDC dc = canvas->Handle();
  canvas->RequiredState({csHandleValid, csFontValid});
  const int32_t oldMode = SetBkMode(dc, TRANSPARENT);
  if (!enabled) {
    if (!selected) {
      TRect shifted = r;
      shifted.Offset(1, 1);
      SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(clBtnHighlight)));
      DrawText(dc, text, &shifted, format);
      SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(clBtnShadow)));
    } else {
      const bool same = ColorToRGB(clGrayText) == ColorToRGB(clHighlight);
      SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(same ? clBtnShadow : clGrayText)));
    }
  } else {
    SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(textColor)));
  }
  DrawText(dc, text, &r, format);
  SetBkMode(dc, oldMode);
}

void FillPixels(HDC dc, int32_t x, int32_t y, int32_t w, int32_t h, TColor color) {
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(color)));
  FillRect(dc, TRect(x, y, x + w, y + h), brush);
  DeleteObject(brush);
}

// The classic check mark: seven columns of three pixels in a 13 x 13 cell.
void DrawCheckGlyph(HDC dc, const TRect& cell, TColor color) {
  static const int8_t kTop[7] = {2, 3, 4, 3, 2, 1, 0};
  const int32_t ox = cell.Left + (cell.Width() - 7) / 2, oy = cell.Top + (cell.Height() - 7) / 2;
  for (int32_t i = 0; i < 7; ++i) FillPixels(dc, ox + i, oy + kTop[i], 1, 3, color);
}

// The radio bullet: a 6 x 6 disc.
void DrawBulletGlyph(HDC dc, const TRect& cell, TColor color) {
  const int32_t ox = cell.Left + (cell.Width() - 6) / 2, oy = cell.Top + (cell.Height() - 6) / 2;
  FillPixels(dc, ox + 1, oy, 4, 6, color);
  FillPixels(dc, ox, oy + 1, 6, 4, color);
}

// The sub-menu arrow: a right-pointing triangle 4 wide and 7 high.
void DrawArrowGlyph(HDC dc, const TRect& cell, TColor color) {
  const int32_t ox = cell.Left + (cell.Width() - 4) / 2, oy = cell.Top + (cell.Height() - 7) / 2;
  for (int32_t i = 0; i < 4; ++i) FillPixels(dc, ox + i, oy + i, 1, 7 - 2 * i, color);
}

}  // namespace

namespace px_menus {

int32_t StandardItemHeight() { return GetSystemMetrics(SM_CYMENU) - 2; }

std::string ShortCutText(const TMenuItem* Item) { return Item->ShortCut() ? ShortCutToText(Item->ShortCut()) : ""; }

}  // namespace px_menus

void TMenuItem::DefaultMeasureItem(TCanvas* ACanvas, int32_t& Width, int32_t& Height) {
  if (IsBarItem(this)) {
    PrepareFont(ACanvas, this);
    const TSize text = TextSize(ACanvas, caption_);
    Width = text.cx + 2 * kBarMargin;
    if (HasImage(this)) Width += ImageSize(this).cx + kGlyphMargin;
    Height = GetSystemMetrics(SM_CYMENU) - 1;
    return;
  }
  if (IsLine()) {
    Width = 0;
    Height = kSeparatorHeight;
    return;
  }
  PrepareFont(ACanvas, this);
  const TSize text = TextSize(ACanvas, caption_);
  Width = GlyphColumn(this) + kTextGap + text.cx + kArrowColumn;
  const std::string sc = px_menus::ShortCutText(this);
  if (!sc.empty()) Width += kShortCutGap + TextSize(ACanvas, sc).cx;
  Height = std::max({px_menus::StandardItemHeight(), text.cy + 4, ImageSize(this).cy + 4});
}

void TMenuItem::DefaultDrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State, bool TopLevel) {
  HDC dc = ACanvas->Handle();
  const bool selected = State.Contains(odSelected);
  const bool enabled = !State.Contains(odDisabled) && !State.Contains(odGrayed);
  UINT prefix = State.Contains(odNoAccel) ? UINT{DT_HIDEPREFIX} : 0u;
  PrepareFont(ACanvas, this);

  if (TopLevel) {
    ACanvas->Brush()->SetColor(clMenu);
    ACanvas->FillRect(ARect);
    TRect r = ARect;
    if (selected) {
      DrawEdge(dc, r, BDR_SUNKENOUTER, BF_RECT);
      r.Offset(1, 1);
    } else if (State.Contains(odHotLight)) {
      DrawEdge(dc, r, BDR_RAISEDINNER, BF_RECT);
    }
    if (HasImage(this)) {
      const TSize is = ImageSize(this);
      const int32_t y = r.Top + (r.Height() - is.cy) / 2;
      if (TCustomImageList* images = GetImageList())
        images->Draw(ACanvas, r.Left + kGlyphMargin, y, image_index_, enabled);
      else ACanvas->Draw(r.Left + kGlyphMargin, y, bitmap_.get());
      r.Left += is.cx + kGlyphMargin;
    }
    DrawItemText(ACanvas, caption_, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | prefix, enabled, false,
                 State.Contains(odInactive) ? clGrayText : clMenuText);
    return;
  }

  ACanvas->Brush()->SetColor(selected && !IsLine() ? clHighlight : clMenu);
  ACanvas->FillRect(ARect);
  if (IsLine()) {
    const int32_t y = ARect.Top + ARect.Height() / 2 - 1;
    TRect line(ARect.Left + 1, y, ARect.Right - 1, y + 2);
    DrawEdge(dc, line, EDGE_ETCHED, BF_TOP);
    return;
  }
  const TColor textColor = selected ? clHighlightText : clMenuText;
  const int32_t column = GlyphColumn(this);
  TRect glyph(ARect.Left, ARect.Top, ARect.Left + column, ARect.Bottom);
  if (HasImage(this)) {
    const TSize is = ImageSize(this);
    const int32_t x = glyph.Left + (glyph.Width() - is.cx) / 2, y = glyph.Top + (glyph.Height() - is.cy) / 2;
    if (checked_) {
      TRect frame(x - 2, y - 2, x + is.cx + 2, y + is.cy + 2);
      DrawEdge(dc, frame, BDR_SUNKENOUTER, BF_RECT);
    }
    if (TCustomImageList* images = GetImageList()) images->Draw(ACanvas, x, y, image_index_, enabled);
    else ACanvas->Draw(x, y, bitmap_.get());
  } else if (checked_) {
    const TColor mark = enabled ? textColor : clGrayText;
    if (radio_item_) DrawBulletGlyph(dc, glyph, mark);
    else DrawCheckGlyph(dc, glyph, mark);
  }
  TRect text(glyph.Right + kTextGap, ARect.Top, ARect.Right - kArrowColumn, ARect.Bottom);
  DrawItemText(ACanvas, caption_, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS | prefix, enabled,
               selected, textColor);
  const std::string sc = px_menus::ShortCutText(this);
  if (!sc.empty())
    DrawItemText(ACanvas, sc, text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, enabled, selected, textColor);
  if (!items_.empty()) {
    TRect arrow(ARect.Right - kArrowColumn, ARect.Top, ARect.Right, ARect.Bottom);
    DrawArrowGlyph(dc, arrow, enabled ? textColor : clGrayText);
  }
}
