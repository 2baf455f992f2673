// The rich edit document's layout: wrapping, positions, hit tests, and drawing into our device
// contexts through their mapping (the document is painted by Qt onto a transparent image that is
// then blended into the surface through the DC's clip).
#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextLine>

#include <algorithm>
#include <cmath>

#include "platform/forms/RichEdit.h"
#include "platform/forms/RichEditInternal.h"
#include "platform/gdi/GdiInternal.h"

namespace {

QColor ToQColor(COLORREF C) { return QColor(GetRValue(C), GetGValue(C), GetBValue(C)); }

// Blends a premultiplied ARGB image onto the surface at device (X0, Y0) through the DC's clip.
void BlendImage(GdiDC& dc, const QImage& img, int32_t X0, int32_t Y0) {
  TSurface& s = *dc.Surface();
  const bool direct = s.BitCount() == 32;
  const int32_t w = img.width();
  std::vector<uint32_t> row(direct ? 0 : static_cast<size_t>(w));
  const TRect bounds(X0, Y0, X0 + w, Y0 + img.height());
  auto mix = [](uint32_t a, uint32_t sp, uint32_t dp) { return sp + (dp * (255 - a) + 127) / 255; };
  GdiForEachClipSpan(dc, bounds, [&](int32_t y, int32_t x0, int32_t x1) {
    const auto* src = reinterpret_cast<const QRgb*>(img.constScanLine(y - Y0)) - X0;
    if (direct) {
      // 32-bit pixels are 0x00RRGGBB as drawn colours are.
      auto* out = reinterpret_cast<uint32_t*>(s.Row(y));
      for (int32_t x = x0; x < x1; ++x) {
        // Premultiplied transparent pixels are 0: runs of them are skipped four at a time.
        while (x + 4 <= x1 && (src[x] | src[x + 1] | src[x + 2] | src[x + 3]) == 0) x += 4;
        if (x >= x1) break;
        const QRgb p = src[x];
        const uint32_t a = qAlpha(p);
        if (a == 0) continue;
        if (a == 255) {
          out[x] = p & 0xFFFFFFu;
          continue;
        }
        const uint32_t d = out[x];
        out[x] = (mix(a, qRed(p), (d >> 16) & 0xFF) << 16) | (mix(a, qGreen(p), (d >> 8) & 0xFF) << 8) |
                 mix(a, qBlue(p), d & 0xFF);
      }
      return;
    }
    int32_t x = x0;
    while (x < x1) {
      // Runs of covered pixels are read, mixed and written together.
      while (x < x1 && qAlpha(src[x]) == 0) ++x;
      int32_t e = x;
      while (e < x1 && qAlpha(src[e]) != 0) ++e;
      if (e == x) break;
      GdiReadRow(s, y, x, e - x, row.data());
      for (int32_t i = x; i < e; ++i) {
        const QRgb p = src[i];
        const uint32_t a = qAlpha(p);
        const COLORREF d = GdiPixelToColor(s, row[static_cast<size_t>(i - x)]);
        const COLORREF c = RGB(mix(a, qRed(p), GetRValue(d)), mix(a, qGreen(p), GetGValue(d)), mix(a, qBlue(p), GetBValue(d)));
        row[static_cast<size_t>(i - x)] = GdiColorToPixel(s, c);
      }
      GdiWriteRow(s, y, x, e - x, row.data());
      x = e;
    }
  });
}

// A transparent drawing image of W x H over a buffer kept for the next drawing on this thread.
QImage ScratchImage(int32_t W, int32_t H) {
  thread_local std::vector<uint32_t> buffer;
  const size_t n = static_cast<size_t>(W) * static_cast<size_t>(H);
  if (buffer.size() < n) buffer.assign(n, 0);
  else std::fill_n(buffer.begin(), n, 0u);
  return QImage(reinterpret_cast<uchar*>(buffer.data()), W, H, W * 4, QImage::Format_ARGB32_Premultiplied);
}

// The label of a list paragraph: a bullet, or its number in the paragraph's number style.
QString ListLabel(int Numbering, int Number, int Style) {
  if (Numbering == 1) return QString(QChar(0x2022));
  const QString n = QString::number(Number);
  switch (Style & 0xF00) {
    case 0x100: return "(" + n + ")";
    case 0x200: return n + ".";
    case 0x300: return n;
    default: return n + ")";
  }
}

// Draws the bullets and numbers of the list paragraphs that meet the clip (document pixels)
// just left of their first line's text, in the font and colour of their first character.
void DrawListLabels(QPainter& P, const QTextDocument& D, const QRectF& Clip, const QColor& Text) {
  int number = 0;
  bool counting = false;
  for (QTextBlock b = D.begin(); b.isValid(); b = b.next()) {
    const QTextBlockFormat f = b.blockFormat();
    const int numbering = f.intProperty(kNumberingProperty);
    if (numbering != 2) counting = false;
    if (numbering == 2) {
      number = counting ? number + 1 : (f.hasProperty(kNumberingStartProperty) ? f.intProperty(kNumberingStartProperty) : 1);
      counting = true;
    }
    if (numbering != 1 && numbering != 2) continue;
    const QTextLayout* l = b.layout();
    if (!l || l->lineCount() == 0) continue;
    const QTextLine line = l->lineAt(0);
    const QRectF lineBox(l->position().x(), l->position().y() + line.y(), 1e6, line.height());
    if (lineBox.bottom() < Clip.top() || lineBox.top() > Clip.bottom()) continue;
    const QTextCharFormat cf = !b.begin().atEnd() ? b.begin().fragment().charFormat() : b.charFormat();
    const QFont font = cf.font();
    const QString label = ListLabel(numbering, number, f.intProperty(kNumberingStyleProperty));
    const QFontMetricsF m(font);
    // At the paragraph's first-line indent, or further left when the label would reach the text.
    const double textX = l->position().x() + line.cursorToX(0);
    const double first = l->position().x() + f.leftMargin() + f.intProperty(kListFirstIndentProperty) / 15.0;
    const double x = std::max(0.0, std::min(first, textX - m.horizontalAdvance(label) - m.averageCharWidth() / 2));
    P.setFont(font);
    P.setPen(cf.hasProperty(QTextFormat::ForegroundBrush) ? cf.foreground().color() : Text);
    P.drawText(QPointF(x, lineBox.top() + line.ascent()), label);
  }
}

}  // namespace

void TRichEditDocument::SetLayoutWidth(double Width) {
  QTextDocument& d = FImpl->Doc;
  QTextOption o = d.defaultTextOption();
  const QTextOption::WrapMode mode = Width > 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap;
  if (o.wrapMode() != mode) {
    o.setWrapMode(mode);
    d.setDefaultTextOption(o);
  }
  // Without wrapping the lines are laid out in a huge width; their ends are measured.
  const double w = Width > 0 ? Width : 1e6;
  if (d.textWidth() != w) d.setTextWidth(w);
}

double TRichEditDocument::LayoutHeight() const { return FImpl->Doc.documentLayout()->documentSize().height(); }

double TRichEditDocument::UsedWidth() const {
  const QTextDocument& d = FImpl->Doc;
  d.documentLayout()->documentSize();  // lays out what is pending
  double w = 0;
  for (QTextBlock b = d.begin(); b.isValid(); b = b.next()) {
    const QTextLayout* l = b.layout();
    if (!l) continue;
    for (int i = 0; i < l->lineCount(); ++i) {
      // The end of the line's text where it is drawn, alignment included.
      const QTextLine line = l->lineAt(i);
      w = std::max(w, l->position().x() + line.cursorToX(line.textStart() + line.textLength()));
    }
  }
  return w;
}

void TRichEditDocument::CaretRect(int32_t Pos, double& X, double& Y, double& Height) const {
  const QTextDocument& d = FImpl->Doc;
  d.documentLayout()->documentSize();
  Pos = std::clamp(Pos, 0, FImpl->Length());
  const QTextBlock b = d.findBlock(Pos);
  X = Y = 0;
  Height = QFontMetricsF(d.defaultFont()).height();
  if (!b.isValid() || !b.layout()) return;
  const QTextLayout* l = b.layout();
  const int rel = Pos - b.position();
  QTextLine line = l->lineForTextPosition(rel);
  if (!line.isValid() && l->lineCount() > 0) line = l->lineAt(l->lineCount() - 1);
  if (!line.isValid()) {
    Y = l->position().y();
    return;
  }
  X = l->position().x() + line.cursorToX(rel);
  Y = l->position().y() + line.y();
  Height = line.height();
}

int32_t TRichEditDocument::HitTest(double X, double Y) const {
  const QTextDocument& d = FImpl->Doc;
  const int pos = d.documentLayout()->hitTest(QPointF(X, std::clamp(Y, 0.0, std::max(0.0, LayoutHeight() - 1))),
                                              Qt::FuzzyHit);
  return std::clamp(pos, 0, FImpl->Length());
}

int32_t TRichEditDocument::Move(int32_t Pos, TRichMove How) const {
  QTextDocument& d = FImpl->Doc;
  d.documentLayout()->documentSize();
  QTextCursor c(&d);
  c.setPosition(std::clamp(Pos, 0, FImpl->Length()));
  using enum TRichMove;
  static constexpr QTextCursor::MoveOperation kOps[] = {
      QTextCursor::PreviousCharacter, QTextCursor::NextCharacter, QTextCursor::PreviousWord,
      QTextCursor::NextWord,          QTextCursor::StartOfLine,   QTextCursor::EndOfLine,
      QTextCursor::Up,                QTextCursor::Down,          QTextCursor::Start,
      QTextCursor::End,               QTextCursor::StartOfWord,   QTextCursor::EndOfWord};
  c.movePosition(kOps[static_cast<int>(How)]);
  return c.position();
}

void TRichEditDocument::Draw(HDC DC, double X, double Y, double ScaleX, double ScaleY, const TRect& Clip,
                             const TRichDrawOptions& Options) const {
  GdiDC* dc = GdiGetDC(DC);
  if (!dc || Clip.IsEmpty() || !(ScaleX > 0) || !(ScaleY > 0)) return;
  const QTextDocument& d = FImpl->Doc;
  // The logical clip in device pixels, inside what the DC may touch.
  // Only the rows the text covers.
  const int32_t top = static_cast<int32_t>(std::floor(Y)), bottom = static_cast<int32_t>(std::ceil(Y + (LayoutHeight() + 1) * ScaleY));
  TRect area = GdiLPtoDPRect(*dc, TRect(Clip.Left, std::max(Clip.Top, top), Clip.Right, std::min(Clip.Bottom, bottom)));
  const TRect box = dc->ClipBox();
  area = TRect(std::max(area.Left, box.Left), std::max(area.Top, box.Top), std::min(area.Right, box.Right),
               std::min(area.Bottom, box.Bottom));
  if (area.IsEmpty()) return;
  QImage img = ScratchImage(area.Width(), area.Height());
  if (img.isNull()) return;
  {
    const GdiXform m = GdiLogicalToDevice(*dc);
    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setTransform(QTransform(m.m11, m.m12, m.m21, m.m22, m.dx - area.Left, m.dy - area.Top));
    p.setClipRect(QRectF(Clip.Left, Clip.Top, Clip.Width(), Clip.Height()));
    p.translate(X, Y);
    p.scale(ScaleX, ScaleY);
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.palette.setColor(QPalette::Text, ToQColor(Options.WindowText));
    ctx.cursorPosition = -1;
    // Only the blocks inside the clip are drawn.
    ctx.clip = QRectF((Clip.Left - X) / ScaleX, (Clip.Top - Y) / ScaleY, Clip.Width() / ScaleX, Clip.Height() / ScaleY);
    for (const CHARRANGE& r : Options.Links) {
      QAbstractTextDocumentLayout::Selection sel;
      sel.cursor = QTextCursor(const_cast<QTextDocument*>(&d));
      sel.cursor.setPosition(std::clamp<int>(r.cpMin, 0, FImpl->Length()));
      sel.cursor.setPosition(std::clamp<int>(r.cpMax, 0, FImpl->Length()), QTextCursor::KeepAnchor);
      sel.format.setForeground(ToQColor(Options.LinkColor));
      sel.format.setFontUnderline(true);
      ctx.selections.append(sel);
    }
    if (Options.ShowSelection && FImpl->Cursor.hasSelection()) {
      QAbstractTextDocumentLayout::Selection sel;
      sel.cursor = FImpl->Cursor;
      sel.format.setBackground(ToQColor(Options.SelectionBack));
      sel.format.setForeground(ToQColor(Options.SelectionText));
      ctx.selections.append(sel);
    }
    d.documentLayout()->draw(&p, ctx);
    DrawListLabels(p, d, ctx.clip, ToQColor(Options.WindowText));
  }
  BlendImage(*dc, img, area.Left, area.Top);
}

std::string TRichEditDocument::SelectionRtf() const {
  QTextDocument tmp;
  QTextCursor(&tmp).insertFragment(FImpl->Cursor.selection());
  return WriteRtf(ReadRichDocument(tmp, FImpl->Default));
}

bool TRichEditDocument::InsertRtf(std::string_view Rtf) {
  TRichDocument doc;
  if (!ReadRtf(Rtf, doc)) return false;
  QTextDocument tmp;
  FillRichDocument(tmp, doc);
  TImpl& m = *FImpl;
  m.BeforeEdit();
  const int32_t start = m.Cursor.selectionStart();
  m.Cursor.beginEditBlock();
  m.Cursor.removeSelectedText();
  m.Cursor.insertFragment(QTextDocumentFragment(&tmp));
  m.Cursor.endEditBlock();
  const int32_t end = m.Cursor.position();
  SetSelection(start, end);
  return true;
}

bool TRichEditDocument::Modified() const { return FImpl->Doc.isModified(); }
void TRichEditDocument::SetModified(bool Value) { FImpl->Doc.setModified(Value); }
