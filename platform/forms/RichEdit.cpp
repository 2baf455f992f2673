// The rich edit's document on QTextDocument. Lengths in the document are kept in twips / 15
// (pixels at 96 dpi, fractions kept), so twips read back as written.
#include "platform/forms/RichEdit.h"

#include "platform/forms/RichEditInternal.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/QtHost.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int kCharsetProperty = QTextFormat::UserProperty + 1;

double ToPx(int32_t Twips) { return Twips / 15.0; }
int32_t ToTwips(double Px) { return static_cast<int32_t>(std::lround(Px * 15.0)); }

QString ToQ(std::u16string_view S) { return QString(reinterpret_cast<const QChar*>(S.data()), static_cast<qsizetype>(S.size())); }
std::u16string FromQ(const QString& S) { return std::u16string(reinterpret_cast<const char16_t*>(S.utf16()), S.size()); }

QTextCharFormat ToQ(const TRichCharFormat& F) {
  QTextCharFormat q;
  q.setFontFamilies(QStringList{QString::fromStdString(F.FaceName)});
  q.setFontPointSize(F.Twips / 20.0);
  q.setFontWeight((F.Effects & RTE_BOLD) ? QFont::Bold : QFont::Normal);
  q.setFontItalic((F.Effects & RTE_ITALIC) != 0);
  q.setFontUnderline((F.Effects & RTE_UNDERLINE) != 0);
  q.setFontStrikeOut((F.Effects & RTE_STRIKEOUT) != 0);
  if (!F.AutoColor) q.setForeground(QColor(F.Color & 0xFF, (F.Color >> 8) & 0xFF, (F.Color >> 16) & 0xFF));
  q.setProperty(kCharsetProperty, int(F.Charset));
  return q;
}

TRichCharFormat FromQ(const QTextCharFormat& Q, const TRichCharFormat& Default) {
  TRichCharFormat f = Default;
  const QStringList families = Q.fontFamilies().toStringList();
  if (!families.isEmpty()) f.FaceName = families.first().toStdString();
  if (Q.hasProperty(QTextFormat::FontPointSize)) f.Twips = static_cast<int32_t>(std::lround(Q.fontPointSize() * 20));
  f.Effects = 0;
  if (Q.fontWeight() >= QFont::DemiBold) f.Effects |= RTE_BOLD;
  if (Q.fontItalic()) f.Effects |= RTE_ITALIC;
  if (Q.fontUnderline()) f.Effects |= RTE_UNDERLINE;
  if (Q.fontStrikeOut()) f.Effects |= RTE_STRIKEOUT;
  if (Q.hasProperty(QTextFormat::ForegroundBrush)) {
    const QColor c = Q.foreground().color();
    f.AutoColor = false;
    f.Color = c.red() | (c.green() << 8) | (c.blue() << 16);
  } else {
    f.AutoColor = true;
    f.Color = 0;
  }
  if (Q.hasProperty(kCharsetProperty)) f.Charset = static_cast<uint8_t>(Q.intProperty(kCharsetProperty));
  return f;
}

QTextBlockFormat ToQ(const TRichParaFormat& P) {
  QTextBlockFormat q;
  static const Qt::Alignment kAlign[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter, Qt::AlignJustify};
  q.setAlignment(kAlign[std::min<uint8_t>(P.Alignment, 3)]);
  q.setLeftMargin(ToPx(P.LeftIndent));
  if (P.Numbering != 0) {
    q.setTextIndent(0);
    q.setProperty(kListFirstIndentProperty, int(P.FirstIndent));
  } else {
    q.setTextIndent(ToPx(P.FirstIndent));
  }
  q.setRightMargin(ToPx(P.RightIndent));
  QList<QTextOption::Tab> tabs;
  for (int32_t t : P.Tabs) tabs.append(QTextOption::Tab(ToPx(t), QTextOption::LeftTab));
  q.setTabPositions(tabs);
  q.setProperty(kNumberingProperty, int(P.Numbering));
  q.setProperty(kNumberingStartProperty, int(P.NumberingStart));
  return q;
}

TRichParaFormat FromQ(const QTextBlockFormat& Q) {
  TRichParaFormat p;
  const Qt::Alignment a = Q.alignment() & Qt::AlignHorizontal_Mask;
  p.Alignment = a & Qt::AlignRight ? 1 : a & Qt::AlignHCenter ? 2 : a & Qt::AlignJustify ? 3 : 0;
  p.LeftIndent = ToTwips(Q.leftMargin());
  p.FirstIndent = ToTwips(Q.textIndent());
  if (Q.hasProperty(kListFirstIndentProperty)) p.FirstIndent = Q.intProperty(kListFirstIndentProperty);
  p.RightIndent = ToTwips(Q.rightMargin());
  for (const QTextOption::Tab& t : Q.tabPositions())
    if (static_cast<int32_t>(p.Tabs.size()) < MAX_TAB_STOPS) p.Tabs.push_back(ToTwips(t.position));
  if (Q.hasProperty(kNumberingProperty)) p.Numbering = static_cast<uint8_t>(Q.intProperty(kNumberingProperty));
  if (Q.hasProperty(kNumberingStartProperty)) p.NumberingStart = Q.intProperty(kNumberingStartProperty);
  return p;
}

}  // namespace

// Text units of the document: U+2029 ends a paragraph, U+2028 is a line break.
QString DocumentText(std::u16string_view T) {
  QString q = ToQ(T);
  q.replace(QChar(u'\v'), QChar(0x2028));
  q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  q.replace(QChar(u'\r'), QChar(u'\n'));
  return q;
}


void SetFaceName(CHARFORMAT2& Format, std::string_view Name) {
  size_t n = std::min<size_t>(Name.size(), LF_FACESIZE_RE - 1);
  if (n < Name.size())
    while (n > 0 && (static_cast<uint8_t>(Name[n]) & 0xC0) == 0x80) --n;
  std::memset(Format.szFaceName, 0, sizeof Format.szFaceName);
  std::memcpy(Format.szFaceName, Name.data(), n);
}

TRichEditDocument::TRichEditDocument() : FImpl(std::make_unique<TImpl>()) {
  EnsureGuiApplication();
  FImpl->Doc.setUndoRedoEnabled(true);
  FImpl->Doc.setDocumentMargin(0);
  FImpl->ApplyDefault();
}

TRichEditDocument::~TRichEditDocument() = default;

void FillRichDocument(QTextDocument& d, const TRichDocument& Doc) {
  d.clear();
  QTextCursor c(&d);
  c.beginEditBlock();
  for (size_t p = 0; p < Doc.Paragraphs.size(); ++p) {
    const TRichParagraph& para = Doc.Paragraphs[p];
    if (p == 0) c.setBlockFormat(ToQ(para.Format));
    else c.insertBlock(ToQ(para.Format));
    for (const TRichRun& r : para.Runs) c.insertText(DocumentText(r.Text), ToQ(r.Format));
  }
  c.endEditBlock();
}

TRichDocument ReadRichDocument(const QTextDocument& d, const TRichCharFormat& Default) {
  TRichDocument out;
  for (QTextBlock b = d.begin(); b.isValid(); b = b.next()) {
    TRichParagraph para;
    para.Format = FromQ(b.blockFormat());
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment frag = it.fragment();
      if (!frag.isValid()) continue;
      QString t = frag.text();
      t.replace(QChar(0x2028), QChar(u'\v'));
      TRichRun run{FromQ(t), FromQ(frag.charFormat(), Default)};
      if (!para.Runs.empty() && para.Runs.back().Format == run.Format) para.Runs.back().Text += run.Text;
      else para.Runs.push_back(std::move(run));
    }
    out.Paragraphs.push_back(std::move(para));
  }
  // An empty document is no paragraph at all.
  if (out.Paragraphs.size() == 1 && out.Paragraphs[0].Runs.empty() && out.Paragraphs[0].Format == TRichParaFormat{})
    out.Paragraphs.clear();
  return out;
}

void TRichEditDocument::SetDocument(const TRichDocument& Doc) {
  QTextDocument& d = FImpl->Doc;
  FillRichDocument(d, Doc);
  d.clearUndoRedoStacks();
  d.setModified(false);
  FImpl->Cursor = QTextCursor(&d);
  FImpl->HasInsertFormat = false;
}

TRichDocument TRichEditDocument::Document() const { return ReadRichDocument(FImpl->Doc, FImpl->Default); }

bool TRichEditDocument::LoadRtf(std::string_view Rtf) {
  TRichDocument doc;
  if (!ReadRtf(Rtf, doc)) return false;
  SetDocument(doc);
  return true;
}

void TRichEditDocument::LoadText(std::string_view Text) {
  TRichDocument doc;
  QString q = DocumentText(Utf8ToUtf16(BytesToUtf8(Text)));
  for (const QString& line : q.split(QChar(u'\n'))) {
    TRichParagraph p;
    if (!line.isEmpty()) p.Runs.push_back(TRichRun{FromQ(line), FImpl->Default});
    doc.Paragraphs.push_back(std::move(p));
  }
  SetDocument(doc);
}

std::string TRichEditDocument::SaveRtf() const { return WriteRtf(Document()); }

std::u16string TRichEditDocument::Text() const {
  QString t = FImpl->Doc.toPlainText();  // paragraphs end in LF, line breaks are U+2028
  std::u16string out = FromQ(t);
  for (char16_t& u : out) {
    if (u == u'\n') u = u'\r';
    else if (u == 0x2028) u = u'\v';
  }
  return out;
}

int32_t TRichEditDocument::TextLength() const { return FImpl->Length(); }

void TRichEditDocument::Clear() { SetDocument(TRichDocument{}); }

CHARRANGE TRichEditDocument::Selection() const {
  return CHARRANGE{FImpl->Cursor.selectionStart(), FImpl->Cursor.selectionEnd()};
}

void TRichEditDocument::SetSelection(int32_t Start, int32_t End) {
  const int32_t len = FImpl->Length();
  // -1 as the end selects to the end of the text; a negative start selects nothing.
  if (End < 0 || End > len) End = len;
  if (Start < 0) Start = End;
  Start = std::clamp(Start, 0, len);
  FImpl->Cursor.setPosition(Start);
  FImpl->Cursor.setPosition(End, QTextCursor::KeepAnchor);
  FImpl->HasInsertFormat = false;
}

void TRichEditDocument::ReplaceSelection(std::u16string_view Text, bool CanUndo) {
  TImpl& m = *FImpl;
  const bool undo = m.Doc.isUndoRedoEnabled();
  if (!CanUndo) m.Doc.setUndoRedoEnabled(false);
  else m.BeforeEdit();
  const int32_t start = m.Cursor.selectionStart();
  QTextCharFormat fmt = m.Cursor.charFormat();
  if (m.HasInsertFormat) fmt.merge(m.InsertFormat);
  const QString q = DocumentText(Text);
  m.Cursor.beginEditBlock();
  m.Cursor.removeSelectedText();
  const QStringList parts = q.split(QChar(u'\n'));
  for (qsizetype i = 0; i < parts.size(); ++i) {
    if (i > 0) m.Cursor.insertBlock();
    m.Cursor.insertText(parts[i], fmt);
  }
  m.Cursor.endEditBlock();
  if (!CanUndo) m.Doc.setUndoRedoEnabled(undo);
  SetSelection(start, start + static_cast<int32_t>(q.size()));
}

DWORD TRichEditDocument::GetCharFormat(UINT Kind, CHARFORMAT2& Format) const {
  const TImpl& m = *FImpl;
  Format = CHARFORMAT2{};
  auto fill = [&](const TRichCharFormat& f) {
    Format.dwEffects = f.Effects & 0x0F;
    if (f.AutoColor) Format.dwEffects |= CFE_AUTOCOLOR;
    Format.yHeight = f.Twips;
    Format.crTextColor = static_cast<COLORREF>(f.Color) & 0xFFFFFF;
    Format.bCharSet = f.Charset;
    Format.wWeight = (f.Effects & RTE_BOLD) ? 700 : 400;
    SetFaceName(Format, f.FaceName);
  };
  constexpr DWORD kAll = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_SIZE | CFM_COLOR | CFM_FACE |
                         CFM_CHARSET | CFM_WEIGHT;
  if ((Kind & (SCF_SELECTION | SCF_WORD)) == 0) {
    fill(m.Default);
    Format.dwMask = kAll;
    return Format.dwMask;
  }
  const int32_t s = m.Cursor.selectionStart(), e = m.Cursor.selectionEnd();
  if (s == e) {
    TRichCharFormat f = FromQ(m.Cursor.charFormat(), m.Default);
    if (m.HasInsertFormat) {
      QTextCharFormat q = ToQ(f);
      q.merge(m.InsertFormat);
      f = FromQ(q, m.Default);
    }
    fill(f);
    Format.dwMask = kAll;
    return Format.dwMask;
  }
  // The formats of the fragments the selection touches: the mask keeps what they share.
  DWORD mask = kAll;
  bool first = true;
  TRichCharFormat f0;
  for (QTextBlock b = m.Doc.findBlock(s); b.isValid() && b.position() < e; b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment frag = it.fragment();
      if (!frag.isValid() || frag.position() >= e || frag.position() + frag.length() <= s) continue;
      const TRichCharFormat f = FromQ(frag.charFormat(), m.Default);
      if (first) {
        f0 = f;
        first = false;
        continue;
      }
      if ((f.Effects ^ f0.Effects) & RTE_BOLD) mask &= ~(CFM_BOLD | CFM_WEIGHT);
      if ((f.Effects ^ f0.Effects) & RTE_ITALIC) mask &= ~CFM_ITALIC;
      if ((f.Effects ^ f0.Effects) & RTE_UNDERLINE) mask &= ~CFM_UNDERLINE;
      if ((f.Effects ^ f0.Effects) & RTE_STRIKEOUT) mask &= ~CFM_STRIKEOUT;
      if (f.Twips != f0.Twips) mask &= ~CFM_SIZE;
      if (f.AutoColor != f0.AutoColor || f.Color != f0.Color) mask &= ~CFM_COLOR;
      if (f.FaceName != f0.FaceName) mask &= ~CFM_FACE;
      if (f.Charset != f0.Charset) mask &= ~CFM_CHARSET;
    }
  }
  if (first) f0 = FromQ(m.Cursor.charFormat(), m.Default);
  fill(f0);
  Format.dwMask = mask;
  return mask;
}

bool TRichEditDocument::SetCharFormat(UINT Kind, const CHARFORMAT2& Format) {
  if (Format.cbSize != sizeof(CHARFORMAT2)) return false;
  TImpl& m = *FImpl;
  QTextCharFormat q;
  const DWORD mask = Format.dwMask;
  if (mask & CFM_BOLD) q.setFontWeight((Format.dwEffects & CFE_BOLD) ? QFont::Bold : QFont::Normal);
  if ((mask & CFM_WEIGHT) && !(mask & CFM_BOLD)) q.setFontWeight(Format.wWeight >= 600 ? QFont::Bold : QFont::Normal);
  if (mask & CFM_ITALIC) q.setFontItalic((Format.dwEffects & CFE_ITALIC) != 0);
  if (mask & CFM_UNDERLINE) q.setFontUnderline((Format.dwEffects & CFE_UNDERLINE) != 0);
  if (mask & CFM_STRIKEOUT) q.setFontStrikeOut((Format.dwEffects & CFE_STRIKEOUT) != 0);
  if ((mask & CFM_SIZE) && Format.yHeight > 0) q.setFontPointSize(std::min<LONG>(Format.yHeight, 32760) / 20.0);
  const bool autoColor = (mask & CFM_COLOR) && (Format.dwEffects & CFE_AUTOCOLOR);
  if ((mask & CFM_COLOR) && !autoColor) {
    const COLORREF c = Format.crTextColor;
    q.setForeground(QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
  }
  if (mask & CFM_FACE) {
    const size_t n = strnlen(Format.szFaceName, LF_FACESIZE_RE);
    const std::string name = BytesToUtf8(std::string_view(Format.szFaceName, n));
    if (!name.empty()) q.setFontFamilies(QStringList{QString::fromStdString(name)});
  }
  if (mask & CFM_CHARSET) q.setProperty(kCharsetProperty, int(Format.bCharSet));

  if ((Kind & (SCF_SELECTION | SCF_WORD | SCF_ALL)) == 0) {
    QTextCharFormat d = ToQ(m.Default);
    d.merge(q);
    TRichCharFormat f = FromQ(d, m.Default);
    if (autoColor) {
      f.AutoColor = true;
      f.Color = 0;
    }
    m.Default = f;
    m.ApplyDefault();
    return true;
  }
  QTextCursor c = m.Cursor;
  if (Kind & SCF_ALL) {
    c.select(QTextCursor::Document);
  } else if ((Kind & SCF_WORD) && !c.hasSelection()) {
    c.select(QTextCursor::WordUnderCursor);
  }
  if (!c.hasSelection()) {
    // An empty selection: the format of what is typed next.
    if (!m.HasInsertFormat) m.InsertFormat = QTextCharFormat();
    m.InsertFormat.merge(q);
    if (autoColor) m.InsertFormat.clearForeground();
    m.HasInsertFormat = true;
    return true;
  }
  m.BeforeEdit();
  c.beginEditBlock();
  c.mergeCharFormat(q);
  if (autoColor) {
    // Automatic colour: the explicit colour goes from every fragment of the range.
    const int32_t s = c.selectionStart(), e = c.selectionEnd();
    QTextCursor frag(&m.Doc);
    for (QTextBlock b = m.Doc.findBlock(s); b.isValid() && b.position() < e; b = b.next()) {
      for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (!f.isValid()) continue;
        const int32_t fs = std::max<int32_t>(f.position(), s), fe = std::min<int32_t>(f.position() + f.length(), e);
        if (fs >= fe) continue;
        QTextCharFormat cf = f.charFormat();
        cf.clearForeground();
        frag.setPosition(fs);
        frag.setPosition(fe, QTextCursor::KeepAnchor);
        frag.setCharFormat(cf);
      }
    }
  }
  c.endEditBlock();
  return true;
}

DWORD TRichEditDocument::GetParaFormat(PARAFORMAT2& Format) const {
  const TImpl& m = *FImpl;
  Format = PARAFORMAT2{};
  const int32_t s = m.Cursor.selectionStart(), e = std::max(m.Cursor.selectionEnd(), s);
  auto fill = [&](const QTextBlockFormat& Q) {
    const TRichParaFormat p = FromQ(Q);
    Format.wAlignment = static_cast<WORD>(p.Alignment + 1);
    Format.dxStartIndent = p.LeftIndent + p.FirstIndent;
    Format.dxOffset = -p.FirstIndent;
    Format.dxRightIndent = p.RightIndent;
    Format.cTabCount = static_cast<int16_t>(p.Tabs.size());
    for (size_t i = 0; i < p.Tabs.size(); ++i) Format.rgxTabs[i] = p.Tabs[i];
    Format.wNumbering = p.Numbering;
    Format.wNumberingStart = static_cast<WORD>(std::clamp(p.NumberingStart, 0, 65535));
    Format.wNumberingStyle =
        Q.hasProperty(kNumberingStyleProperty) ? static_cast<WORD>(Q.intProperty(kNumberingStyleProperty)) : 0;
  };
  DWORD mask = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS | PFM_NUMBERING |
               PFM_NUMBERINGSTYLE | PFM_NUMBERINGSTART;
  QTextBlock b = m.Doc.findBlock(s);
  if (!b.isValid()) b = m.Doc.begin();
  const QTextBlockFormat first = b.blockFormat();
  fill(first);
  const PARAFORMAT2 f0 = Format;
  for (b = b.next(); b.isValid() && b.position() <= e && e > s; b = b.next()) {
    PARAFORMAT2 f;
    std::swap(f, Format);
    fill(b.blockFormat());
    std::swap(f, Format);
    if (f.wAlignment != f0.wAlignment) mask &= ~PFM_ALIGNMENT;
    if (f.dxStartIndent != f0.dxStartIndent) mask &= ~PFM_STARTINDENT;
    if (f.dxOffset != f0.dxOffset) mask &= ~PFM_OFFSET;
    if (f.dxRightIndent != f0.dxRightIndent) mask &= ~PFM_RIGHTINDENT;
    if (f.cTabCount != f0.cTabCount || std::memcmp(f.rgxTabs, f0.rgxTabs, sizeof f.rgxTabs) != 0)
      mask &= ~PFM_TABSTOPS;
    if (f.wNumbering != f0.wNumbering) mask &= ~PFM_NUMBERING;
  }
  Format.dwMask = mask;
  return mask;
}

bool TRichEditDocument::SetParaFormat(const PARAFORMAT2& Format) {
  if (Format.cbSize != sizeof(PARAFORMAT2)) return false;
  TImpl& m = *FImpl;
  const int32_t s = m.Cursor.selectionStart(), e = m.Cursor.selectionEnd();
  const DWORD mask = Format.dwMask;
  m.BeforeEdit();
  QTextCursor c(&m.Doc);
  c.beginEditBlock();
  for (QTextBlock b = m.Doc.findBlock(s); b.isValid() && (b.position() <= e); b = b.next()) {
    QTextBlockFormat q = b.blockFormat();
    TRichParaFormat p = FromQ(q);
    int32_t start = p.LeftIndent + p.FirstIndent, offset = -p.FirstIndent;
    if (mask & PFM_ALIGNMENT) {
      if (Format.wAlignment >= PFA_LEFT && Format.wAlignment <= PFA_JUSTIFY) p.Alignment = uint8_t(Format.wAlignment - 1);
    }
    if (mask & PFM_STARTINDENT) start = Format.dxStartIndent;
    if (mask & PFM_OFFSET) offset = Format.dxOffset;
    if (mask & PFM_RIGHTINDENT) p.RightIndent = Format.dxRightIndent;
    p.FirstIndent = -offset;
    p.LeftIndent = start + offset;
    if (mask & PFM_TABSTOPS) {
      p.Tabs.assign(Format.rgxTabs, Format.rgxTabs + std::clamp<int>(Format.cTabCount, 0, MAX_TAB_STOPS));
      for (int32_t& t : p.Tabs) t &= 0xFFFFFF;  // the top byte holds the tab's kind
    }
    if (mask & PFM_NUMBERING) p.Numbering = static_cast<uint8_t>(std::min<WORD>(Format.wNumbering, 2));
    if (mask & PFM_NUMBERINGSTART) p.NumberingStart = Format.wNumberingStart;
    QTextBlockFormat n = ToQ(p);
    if (mask & PFM_NUMBERINGSTYLE) n.setProperty(kNumberingStyleProperty, int(Format.wNumberingStyle));
    else if (q.hasProperty(kNumberingStyleProperty)) n.setProperty(kNumberingStyleProperty, q.property(kNumberingStyleProperty));
    c.setPosition(b.position());
    c.setBlockFormat(n);
    if (e <= s && b.position() + b.length() > s) break;
  }
  c.endEditBlock();
  return true;
}

int32_t TRichEditDocument::SetUndoLimit(int32_t Limit) {
  FImpl->UndoLimit = std::max(Limit, 0);
  FImpl->Doc.setUndoRedoEnabled(FImpl->UndoLimit > 0);
  return FImpl->UndoLimit;
}

bool TRichEditDocument::CanUndo() const { return FImpl->Doc.isUndoAvailable(); }
void TRichEditDocument::ClearUndo() { FImpl->Doc.clearUndoRedoStacks(); }
bool TRichEditDocument::CanRedo() const { return FImpl->Doc.isRedoAvailable(); }

void TRichEditDocument::Undo() {
  FImpl->Doc.undo(&FImpl->Cursor);
}

void TRichEditDocument::Redo() { FImpl->Doc.redo(&FImpl->Cursor); }
