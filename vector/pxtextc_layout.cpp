// TPXTextControl: layout and drawing. Lines are measured at scale 1 (wrapping after the last
// space that fits, or inside a word too long for the line), aligned and justified, and drawn at
// the baseline; at another zoom the characters are recorded and drawn scaled afterwards, so that
// every zoom breaks the lines alike.
#include <algorithm>
#include <climits>
#include <cmath>

#include "core/pxcanvas.h"
#include "platform/forms/WinUser.h"
#include "platform/gdi/WinGdi_text.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "vector/pxtextc.h"

namespace {

bool IsControlUnit(char16_t U) { return U < 32 || U == 127; }

// The text of the character at Index as UTF-8: a surrogate pair whole at its first unit, nothing
// at its second; control units as a space.
std::string CharText(const std::u16string& Text, int32_t Index) {
  const char16_t u = Text[Index];
  if (IsControlUnit(u)) return " ";
  if ((u & 0xFC00) == 0xD800 && Index + 1 < static_cast<int32_t>(Text.size()) &&
      (Text[Index + 1] & 0xFC00) == 0xDC00)
    return Utf16ToUtf8(std::u16string_view(Text.data() + Index, 2));
  if ((u & 0xFC00) == 0xDC00 && Index > 0 && (Text[Index - 1] & 0xFC00) == 0xD800) return {};
  if ((u & 0xF800) == 0xD800) return "\xEF\xBF\xBD";  // a lone surrogate shows as U+FFFD
  return Utf16ToUtf8(std::u16string_view(&u, 1));
}

TColor Complement(TColor C) { return ColorToRGB(C) ^ 0x00FFFFFF; }

// The character background: the text is drawn through the platform canvas, whose brush gives the
// cell's fill (solid) or none (clear). The style goes first: clearing a brush resets its colour.
void SetTextBack(TCanvas* Canvas, TColor Color, TBrushStyle Style) {
  TBrush* b = Canvas->Brush();
  b->SetStyle(Style);
  if (Style != bsClear) b->SetColor(Color);
}

}  // namespace

void TPXTextControl::ApplyCharFormat(TPXCanvas& Canvas, int32_t Index) {
  TFont* font = Canvas.GetFont();
  if (!font) return;
  if (FUniformFormat || FTextLength == 0) {
    const TPXCharFormat f = FUniformFormat ? FormatFromDefaults() : FCurrentFormat;
    font->SetName(f.Name());
    font->SetHeight(f.FontHeight);
    font->SetStyle(TFontStyles::FromBits(f.FontStyle & 0x0F));
    if (!FMonoColor) font->SetColor(f.FontColor);
    SetTextBack(Canvas.Canvas(), FMonoColor ? FBoxBrush->Color() : f.BackColor,
                static_cast<TBrushStyle>(std::min<uint8_t>(f.BackStyle, 7)));
    return;
  }
  TPXCharFormat f = FormatFromDefaults();
  GetCharFormat(Index, f);
  font->SetName(f.Name());
  font->SetHeight(f.FontHeight);
  font->SetStyle(TFontStyles::FromBits(f.FontStyle & 0x0F));
  if (!FMonoColor) font->SetColor(f.FontColor);
  SetTextBack(Canvas.Canvas(), FMonoColor ? FBoxBrush->Color() : f.BackColor,
              static_cast<TBrushStyle>(std::min<uint8_t>(f.BackStyle, 7)));
}

void TPXTextControl::MeasureChar(TPXCanvas& Canvas, int32_t Index) {
  if (FCache.Widths[Index] != 0 || FCache.Heights[Index] != 0) return;
  ApplyCharFormat(Canvas, Index);
  FCache.Widths[Index] = Canvas.GdiTextWidth(CharText(FText, Index));
  if (FFixedLineHeight != 0) {
    FCache.Heights[Index] = FFixedLineHeight;
    FCache.Leadings[Index] = 0;
    FCache.Descents[Index] = 0;
  } else {
    TEXTMETRIC tm;
    Canvas.Canvas()->RequiredState({csHandleValid, csFontValid});
    GetTextMetrics(Canvas.GetHandle(), &tm);
    FCache.Heights[Index] = tm.tmHeight;
    FCache.Leadings[Index] = std::abs(tm.tmInternalLeading);
    FCache.Descents[Index] = std::abs(tm.tmDescent);
  }
  // A zero-size character would be measured again on every pass: one pixel high marks it measured.
  if (FCache.Widths[Index] == 0 && FCache.Heights[Index] == 0) FCache.Heights[Index] = 1;
}

void TPXTextControl::PaintTo(TPXCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height) {
  if (!Canvas || !Canvas->Canvas() || Width <= 1 || Height <= 1) return;
  if (static_cast<int32_t>(FCache.X.size()) != FTextLength + 1) ResetCaches();
  TPXCanvas& C = *Canvas;
  const double Z = FZoom;
  const bool deferred = Z != 1.0;
  struct TDrawRecord {
    int32_t X, Y;  // device point at scale 1 (the baseline)
    char16_t U;
    int32_t Index;
  };
  std::vector<TDrawRecord> records;
  FVisibleText.clear();

  // Pen, brush and the box.
  TPXPen* pen = C.Pen();
  TPXBrush* brush = C.Brush();
  const int32_t penWidth = static_cast<int32_t>(std::ceil(FBorderPen->Width() * Z));
  pen->SetWidth(static_cast<float>(penWidth));
  if (TFont* f = C.GetFont()) f->SetColor(FFont->Color());
  pen->SetColor(FFont->Color());
  pen->SetStyle(FBorderPen->Color() != clNone && penWidth > 0 ? FBorderPen->Style() : psClear);
  if (!FMonoColor) pen->SetColor(FBorderPen->Color());
  pen->SetMode(pmCopy);
  brush->SetColor(FBoxBrush->Color());
  brush->SetStyle(FBoxBrush->Style());
  if (brush->Style() != bsClear || pen->Style() != psClear) {
    const int32_t h = Round32(penWidth / 2.0);
    C.Rectangle(X + h, Y + h, X + Round32(Width * Z) - h - 1, Y + Round32(Height * Z) - h - 1);
    pen->SetStyle(psSolid);
  }

  // The text area.
  const int32_t L = Trunc32(Width * FMarginLeft / 100) + 1;
  const int32_t T = Trunc32(Height * FMarginTop / 100) + 1;
  const int32_t W2 = Trunc32(Width - Width * FMarginRight / 100 - Width * FMarginLeft / 100) - 2;
  const int32_t H2 = Trunc32(Height - Height * FMarginBottom / 100 - Height * FMarginTop / 100) - 2;
  const TRect clip(Trunc32(L * Z + X), Trunc32(T * Z + Y), Trunc32(L * Z + X + W2 * Z), Trunc32(T * Z + Y + H2 * Z));
  C.Canvas()->RequiredState({csHandleValid});
  HDC dc = C.GetHandle();
  const UINT oldAlign = SetTextAlign(dc, TA_BASELINE | TA_LEFT);

  auto unit = [&](int32_t i) -> char16_t { return i >= 0 && i < FTextLength ? FText[i] : u'\0'; };
  auto& W = FCache.Widths;
  auto& CX = FCache.X;
  auto& CY = FCache.Y;

  // Draws one unit with the canvas's current format at device point (PX, PY).
  auto drawUnit = [&](int32_t PX, int32_t PY, const std::string& S, bool Selected) {
    if (S.empty()) return;
    if (Selected) {
      TFont* f = C.GetFont();
      TBrush* b = C.Canvas()->Brush();
      const TColor fc = f->Color(), bc = b->Color();
      const TBrushStyle bs = b->Style();
      f->SetColor(Complement(fc));
      SetTextBack(C.Canvas(), Complement(bc), bsSolid);
      C.TextRectClipped(clip, PX, PY, S);
      f->SetColor(fc);
      SetTextBack(C.Canvas(), bc, bs);
    } else {
      C.TextRectClipped(clip, PX, PY, S);
    }
  };
  auto selected = [&](int32_t i) { return FSelStart <= i && i < FSelEnd; };

  bool anything = false;
  int32_t lineStart = 0, lineTop = 0;
  int32_t lineH = 0, lineLead = 0, lineDesc = 0;
  int32_t lastDesc = 0;
  bool done = false;
  while (!done) {
    // Measuring pass: where the line ends and its metrics.
    int32_t h = lineH, lead = lineLead, desc = lineDesc;
    int32_t x = 0, i = lineStart, E = lineStart;
    enum { kTerminator, kLineFeed, kWrap } ending = kTerminator;
    int32_t lastMeasured = -1;
    for (;;) {
      if (i >= FTextLength) {
        E = FTextLength;
        CX[E] = L + x;
        CY[E] = T + lineTop;
        break;
      }
      MeasureChar(C, i);
      lastMeasured = i;
      CX[i] = L + x;
      CY[i] = T + lineTop;
      if (unit(i) == u'\n') {
        h = std::max(h, FCache.Heights[i]);
        lead = std::max(lead, FCache.Leadings[i]);
        desc = std::max(desc, FCache.Descents[i]);
        E = i;
        ending = kLineFeed;
        break;
      }
      if (x + W[i] + 2 >= W2) {
        int32_t j = i;
        while (j > lineStart && unit(j) != u' ') --j;
        E = j > lineStart ? j + 1 : i;
        ending = kWrap;
        break;
      }
      h = std::max(h, FCache.Heights[i]);
      lead = std::max(lead, FCache.Leadings[i]);
      desc = std::max(desc, FCache.Descents[i]);
      x += W[i];
      ++i;
    }
    if (ending == kWrap && E == lineStart) break;  // not even the first character fits
    lastDesc = desc;

    // Alignment of the line.
    uint8_t A = FAlignment;
    if (!FUniformFormat) {
      if (FTextLength == 0) {
        A = FCurrentFormat.Alignment;
      } else {
        TPXCharFormat f = FormatFromDefaults();
        GetCharFormat(std::max(E - 1, 0), f);
        A = f.Alignment;
      }
    }
    int32_t j = E - 1;
    if (unit(j) == 0) --j;
    if (unit(j) == u'\n') --j;
    if (unit(j) == u' ') --j;
    if (j < 0) j = 0;
    int32_t offset = 0;
    double F = 1.0;
    if (E > 0 && j < FTextLength) {
      const int32_t lineEnd = CX[j] + W[j];
      if (A == 1) {
        offset = W2 - lineEnd - 1;
      } else if (A == 2) {
        offset = (W2 - lineEnd) / 2;
      } else if (A == 3) {
        const char16_t next = unit(j + 1);
        if (next != 0 && next != u'\n' && j + 2 != FTextLength) F = lineEnd + 1 == 0 ? 1.0 : double(W2) / (lineEnd + 1);
      }
    }

    // Drawing pass.
    const int32_t last = ending == kLineFeed ? E : E - 1;
    int32_t sum = offset;
    int32_t prevEnd = INT_MIN;
    const int32_t baseline = Y + T + lineTop + h - lead;
    bool stopAfterLine = false;
    for (int32_t k = lineStart; k <= last; ++k) {
      anything = true;
      const int32_t w = W[k];
      const int32_t xk = Trunc32(sum * F);
      CX[k] = L + xk;
      CY[k] = T + lineTop;
      ApplyCharFormat(C, k);
      const bool sel = selected(k);
      if (xk != sum && prevEnd != INT_MIN && prevEnd < xk) {
        for (int32_t p = prevEnd; p < xk; ++p) {
          if (deferred) records.push_back({X + L + p, baseline, u' ', k});
          else drawUnit(X + L + p, baseline, " ", sel);
        }
      }
      if (deferred) records.push_back({X + L + xk, baseline, unit(k), k});
      else drawUnit(X + L + xk, baseline, CharText(FText, k), sel);
      prevEnd = xk + w;
      sum += w;
      if (FCollectVisibleText) {
        if (baseline > Y + T + H2) {
          stopAfterLine = true;
        } else if (unit(k) != u'\n') {
          FVisibleText.push_back(unit(k));
        }
      }
      if (FAutoHeight && baseline + desc > Y + T + H2 && Visible() && Parent()) {
        SetHeight(Trunc32((baseline + desc + h) * Z));
        SetTextAlign(dc, oldAlign);
        return;
      }
      if (FCaretPos == k) {
        FCaretX = L + xk;
        FCaretY = T + lineTop;
        FCaretHeight = h;
      } else if (FCaretPos > k) {
        FCaretX = L + xk + w;
        FCaretY = T + lineTop;
        FCaretHeight = h;
      }
      if (unit(k) == u'\n') {
        if (FCaretPos > k) {
          FCaretX = L;
          FCaretY = T + lineTop + h;
          FCaretHeight = h;
        }
        if (k == 0 && FCaretPos == 0) {
          FCaretX = L;
          FCaretY = T;
          FCaretHeight = h;
        }
      }
    }
    if (FCollectVisibleText && !stopAfterLine) FVisibleText.push_back(u'\n');
    if (stopAfterLine) break;

    // Next line.
    lineTop += h + FLineSpacing;
    if (lastMeasured >= 0) {
      lineH = FCache.Heights[lastMeasured];
      lineLead = FCache.Leadings[lastMeasured];
      lineDesc = FCache.Descents[lastMeasured];
    }
    switch (ending) {
      case kTerminator: done = true; break;
      case kLineFeed:
        lineStart = E + 1;
        if (lineStart >= FTextLength) {
          // A line feed before the terminator ends the layout; the end sits on the empty line.
          CX[FTextLength] = L;
          CY[FTextLength] = T + lineTop;
          done = true;
        }
        break;
      case kWrap: lineStart = E; break;
    }
  }

  if (!anything) {
    // The caret of an empty text has the height of the font the next character receives.
    ApplyCharFormat(C, 0);
    TEXTMETRIC tm;
    C.Canvas()->RequiredState({csHandleValid, csFontValid});
    GetTextMetrics(C.GetHandle(), &tm);
    FCaretX = L;
    FCaretY = T;
    FCaretHeight = FFixedLineHeight != 0 ? FFixedLineHeight : tm.tmHeight;
  }

  if (deferred) {
    for (size_t r = 0; r < records.size(); ++r) {
      const TDrawRecord& d = records[r];
      ApplyCharFormat(C, d.Index);
      TFont* f = C.GetFont();
      f->SetHeight(Trunc32(f->Height() * Z));
      const int32_t px = X + Trunc32((d.X - X) * Z);
      const int32_t py = Y + Trunc32((d.Y - Y) * Z);
      const bool sel = selected(d.Index);
      if (r + 1 < records.size() && records[r + 1].Y == d.Y) {
        const int32_t nextX = X + Trunc32((records[r + 1].X - X) * Z);
        const int32_t step = std::max(C.GdiTextWidth(" "), 1);
        for (int32_t p = px; p < nextX; p += step) drawUnit(p, py, " ", sel);
      }
      drawUnit(px, py, d.U == u' ' ? std::string(" ") : CharText(FText, d.Index), sel);
    }
    for (int32_t k = 0; k < FTextLength; ++k) {
      CX[k] = Trunc32(CX[k] * Z);
      CY[k] = Trunc32(CY[k] * Z);
    }
    FCaretX = Trunc32(FCaretX * Z);
    FCaretY = Trunc32(FCaretY * Z);
    FCaretHeight = Trunc32(FCaretHeight * Z);
  }

  if (FAutoHeight && FCaretY + FCaretHeight > Trunc32(H2 * Z) && Visible() && Parent())
    SetHeight(Trunc32(FCaretY + FCaretHeight + lastDesc));
  CX[FCaretPos] = FCaretX;
  CY[FCaretPos] = FCaretY;
  SetTextAlign(dc, oldAlign);
}

void TPXTextControl::Paint() {
  if (!Visible() || !Parent() || !HandleAllocated()) return;
  RemoveCaret();
  const int32_t cw = ClientWidth(), ch = ClientHeight();
  if (FBuffer->Width() != cw || FBuffer->Height() != ch) FBuffer->SetSize(cw, ch);
  TCanvas* bc = FBuffer->Canvas();
  if (FBoxBrush->Style() != bsSolid && FBackgroundBitmap)
    bc->CopyRect(TRect(0, 0, FBackgroundBitmap->Width(), FBackgroundBitmap->Height()), FBackgroundBitmap->Canvas(),
                 TRect(Left(), Top(), Left() + FBackgroundBitmap->Width(), Top() + FBackgroundBitmap->Height()));
  if (FBoxBrush->Style() != bsClear) {
    bc->Brush()->Assign(FBoxBrush.get());
    bc->FillRect(TRect(0, 0, cw, ch));
  }
  {
    TPXCanvas pc(bc, false, true);
    PaintTo(&pc, 0, 0, Trunc32(cw / FZoom), Trunc32(ch / FZoom));
  }
  Canvas()->Draw(0, 0, FBuffer.get());
  if (Focused()) {
    CreateCaret(Handle(), nullptr, 0, std::max(FCaretHeight, 1));
    ::SetCaretPos(FCaretX, FCaretY);
    ShowCaret(Handle());
    FCaretShown = true;
  }
}
