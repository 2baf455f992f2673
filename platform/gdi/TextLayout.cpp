#include "platform/gdi/TextLayout.h"

#include <algorithm>

#include "platform/gdi/FontEngine.h"
#include "platform/gdi/WinGdi_text.h"

namespace {

constexpr char32_t kTab = U'\t';
constexpr char32_t kSpace = U' ';
constexpr char32_t kCR = U'\r';
constexpr char32_t kLF = U'\n';
constexpr char32_t kPrefix = U'&';
constexpr std::u32string_view kEllipsis = U"...";

// A line in display form: characters and which of them a single "&" marks.
struct TChars {
  std::u32string Text;
  std::vector<uint8_t> Marked;
  void Append(char32_t c, bool marked = false) {
    Text.push_back(c);
    Marked.push_back(marked ? 1 : 0);
  }
  void Append(const TChars& o, size_t from, size_t to) {
    Text.append(o.Text, from, to - from);
    Marked.insert(Marked.end(), o.Marked.begin() + from, o.Marked.begin() + to);
  }
  void Append(std::u32string_view s) {
    for (char32_t c : s) Append(c);
  }
  size_t Size() const { return Text.size(); }
};

class TMeasure {
 public:
  TMeasure(const TCharWidthFn& width, bool expandTabs, int32_t tabWidth)
      : width_(width), expandTabs_(expandTabs), tabWidth_(tabWidth) {}

  // x after character c placed at x (tabs go to the next stop from the line's start).
  int64_t Advance(int64_t x, char32_t c) const {
    if (c == kTab && expandTabs_) return tabWidth_ > 0 ? (x / tabWidth_ + 1) * tabWidth_ : x;
    return x + width_(c);
  }
  int64_t Extent(const std::u32string& s, size_t from, size_t to) const {
    int64_t x = 0;
    for (size_t i = 0; i < to; ++i) {
      if (i == from) x = 0;
      x = Advance(x, s[i]);
    }
    return to > from ? x : 0;
  }
  int64_t Extent(const std::u32string& s) const { return Extent(s, 0, s.size()); }
  // How many leading characters of s fit in width.
  size_t Fit(const std::u32string& s, size_t from, size_t to, int64_t width) const {
    int64_t x = 0;
    for (size_t i = from; i < to; ++i) {
      x = Advance(x, s[i]);
      if (x > width) return i - from;
    }
    return to - from;
  }

 private:
  const TCharWidthFn& width_;
  bool expandTabs_;
  int32_t tabWidth_;
};

// Removes the prefix marks: "&&" is a literal "&", "&x" marks x, a lone "&" at the end stays.
TChars StripPrefixes(std::u32string_view text, bool process) {
  TChars out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (process && text[i] == kPrefix && i + 1 < text.size()) {
      ++i;
      out.Append(text[i], text[i] != kPrefix);
    } else {
      out.Append(text[i]);
    }
  }
  return out;
}

// The longest start of line plus "..." that fits in width (just "..." when nothing does).
TChars EndEllipsis(const TChars& line, const TMeasure& m, int64_t width) {
  const int64_t dots = m.Extent(std::u32string(kEllipsis));
  size_t keep = m.Fit(line.Text, 0, line.Size(), std::max<int64_t>(0, width - dots));
  TChars out;
  out.Append(line, 0, keep);
  out.Append(kEllipsis);
  // Tabs expand from the line's start, so re-check with the final text.
  while (keep > 0 && m.Extent(out.Text) > width) {
    --keep;
    out = TChars();
    out.Append(line, 0, keep);
    out.Append(kEllipsis);
  }
  return out;
}

// Keeps what follows the last path separator and shortens what precedes it: "C:\a\...\file".
TChars PathEllipsis(const TChars& line, const TMeasure& m, int64_t width) {
  size_t slash = line.Text.find_last_of(U"\\/");
  if (slash == std::u32string::npos) return EndEllipsis(line, m, width);
  for (size_t keep = slash + 1; keep-- > 0;) {
    TChars out;
    out.Append(line, 0, keep);
    out.Append(kEllipsis);
    out.Append(line, slash, line.Size());
    if (m.Extent(out.Text) <= width) return out;
  }
  TChars out;
  out.Append(kEllipsis);
  out.Append(line, slash, line.Size());
  return EndEllipsis(out, m, width);
}

size_t SkipSpaces(const std::u32string& s, size_t i) {
  while (i < s.size() && s[i] == kSpace) ++i;
  return i;
}

size_t TrimSpaces(const std::u32string& s, size_t from, size_t to) {
  while (to > from && s[to - 1] == kSpace) --to;
  return to;
}

// Breaks one paragraph into lines no wider than width at blanks. A word longer than a line
// stays whole (overhanging) unless DT_EDITCONTROL breaks it or DT_WORD_ELLIPSIS shortens it.
void BreakParagraph(const TChars& para, const TMeasure& m, int64_t width, uint32_t format,
                    std::vector<TChars>& lines) {
  const std::u32string& s = para.Text;
  size_t pos = 0;
  const size_t n = s.size();
  if (n == 0) {
    lines.emplace_back();
    return;
  }
  while (pos < n) {
    const size_t fit = m.Fit(s, pos, n, width);
    size_t end = pos + fit;
    TChars line;
    if (end >= n) {
      line.Append(para, pos, n);
      lines.push_back(std::move(line));
      return;
    }
    size_t next;
    if (s[end] == kSpace) {
      // The word fits; the blanks after it are swallowed by the break.
      line.Append(para, pos, TrimSpaces(s, pos, end));
      next = SkipSpaces(s, end);
    } else {
      size_t blank = end;
      while (blank > pos && s[blank - 1] != kSpace) --blank;
      if (blank > pos && TrimSpaces(s, pos, blank) > pos) {
        line.Append(para, pos, TrimSpaces(s, pos, blank));
        next = blank;
      } else if (blank > pos) {
        // Only blanks precede the word: keep them with the word's line.
        size_t wordEnd = end;
        while (wordEnd < n && s[wordEnd] != kSpace) ++wordEnd;
        line.Append(para, pos, wordEnd);
        next = SkipSpaces(s, wordEnd);
      } else if (format & DT_EDITCONTROL) {
        const size_t cut = std::max(end, pos + 1);
        line.Append(para, pos, cut);
        next = cut;
      } else {
        size_t wordEnd = end;
        while (wordEnd < n && s[wordEnd] != kSpace) ++wordEnd;
        line.Append(para, pos, wordEnd);
        if (format & DT_WORD_ELLIPSIS) line = EndEllipsis(line, m, width);
        next = SkipSpaces(s, wordEnd);
      }
    }
    lines.push_back(std::move(line));
    pos = next;
  }
}

}  // namespace

TTextLayoutResult LayoutDrawText(std::u32string_view text, const TRect& rect, uint32_t format,
                                 const TTextLayoutMetrics& metrics, const TCharWidthFn& charWidth, int32_t tabLength,
                                 int32_t leftMargin, int32_t rightMargin) {
  TTextLayoutResult result;
  result.CharsProcessed = static_cast<uint32_t>(text.size());
  int32_t tabChars = 8;
  if (format & DT_TABSTOP) {
    if (tabLength <= 0) tabLength = static_cast<int32_t>((format >> 8) & 0xFF);
    format &= ~0xFF00u;  // the byte holds the tab length, not flags
  }
  if (tabLength > 0) tabChars = tabLength;
  const int32_t lineHeight = metrics.Height + ((format & DT_EXTERNALLEADING) ? metrics.ExternalLeading : 0);
  const TMeasure m(charWidth, (format & DT_EXPANDTABS) != 0, tabChars * metrics.AveCharWidth);
  const int32_t left = rect.Left + leftMargin;
  const int32_t right = rect.Right - rightMargin;
  const int64_t width = int64_t(right) - left;
  const bool singleLine = (format & DT_SINGLELINE) != 0;
  const bool prefixes = (format & DT_NOPREFIX) == 0;

  if (text.empty()) {
    result.CalcRect = rect;
    result.CalcRect.Right = rect.Left;
    result.CalcRect.Bottom = rect.Top + (singleLine ? lineHeight : 0);
    return result;
  }

  // Paragraphs (CR, LF or CR LF end one), then lines.
  std::vector<TChars> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = start;
    if (!singleLine)
      while (end < text.size() && text[end] != kCR && text[end] != kLF) ++end;
    else
      end = text.size();
    const TChars para = StripPrefixes(text.substr(start, end - start), prefixes);
    if ((format & DT_WORDBREAK) && !singleLine)
      BreakParagraph(para, m, width, format, lines);
    else
      lines.push_back(para);
    if (end >= text.size()) break;
    end += (text[end] == kCR && end + 1 < text.size() && text[end + 1] == kLF) ? 2 : 1;
    if (end >= text.size()) break;  // a final line break opens no line
    start = end;
  }

  // Ellipses, for lines wider than the rectangle.
  if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) {
    for (TChars& line : lines) {
      if (m.Extent(line.Text) <= width) continue;
      line = (format & DT_PATH_ELLIPSIS) ? PathEllipsis(line, m, width) : EndEllipsis(line, m, width);
    }
  }

  // Vertical start.
  int32_t y = rect.Top;
  const bool calc = (format & DT_CALCRECT) != 0;
  if (singleLine && !calc) {
    if (format & DT_VCENTER)
      y = rect.Top + (rect.Bottom - rect.Top) / 2 - lineHeight / 2;
    else if (format & DT_BOTTOM)
      y = rect.Bottom - lineHeight;
  }

  int64_t maxWidth = 0;
  for (const TChars& line : lines) {
    // An edit control shows no partly visible last line (the first line always shows).
    if ((format & DT_EDITCONTROL) && !calc && !result.Lines.empty() && int64_t(y) + lineHeight > rect.Bottom) break;
    TTextLayoutLine out;
    const int64_t lineWidth = m.Extent(line.Text);
    out.Width = static_cast<int32_t>(std::min<int64_t>(lineWidth, INT32_MAX));
    maxWidth = std::max(maxWidth, lineWidth);
    if (format & DT_CENTER)
      out.X = static_cast<int32_t>((int64_t(left) + right - lineWidth) / 2);
    else if (format & DT_RIGHT)
      out.X = static_cast<int32_t>(right - lineWidth);
    else
      out.X = left;
    out.Y = y;
    // Segments between tabs.
    int64_t x = 0;
    size_t segStart = 0;
    for (size_t i = 0; i <= line.Size(); ++i) {
      const bool tab = i < line.Size() && line.Text[i] == kTab && (format & DT_EXPANDTABS);
      if (i == line.Size() || tab) {
        if (i > segStart) {
          TTextLayoutSegment seg;
          seg.Text = EncodeUtf8(std::u32string_view(line.Text).substr(segStart, i - segStart));
          seg.X = static_cast<int32_t>(m.Extent(line.Text, 0, segStart));
          seg.Width = static_cast<int32_t>(x - seg.X);
          out.Segments.push_back(std::move(seg));
        }
        segStart = i + 1;
      }
      if (i < line.Size()) x = m.Advance(x, line.Text[i]);
    }
    // The marked character (the last one of the line).
    if (prefixes && !(format & DT_HIDEPREFIX)) {
      for (size_t i = line.Size(); i-- > 0;) {
        if (!line.Marked[i]) continue;
        const int64_t before = m.Extent(line.Text, 0, i);
        out.PrefixX = static_cast<int32_t>(before);
        out.PrefixWidth = static_cast<int32_t>(m.Extent(line.Text, 0, i + 1) - before);
        break;
      }
    }
    result.Lines.push_back(std::move(out));
    y += lineHeight;
  }

  result.CalcRect = rect;
  result.CalcRect.Right = static_cast<int32_t>(
      std::min<int64_t>(int64_t(rect.Left) + maxWidth + leftMargin + rightMargin, INT32_MAX));
  result.CalcRect.Bottom = y;
  result.ReturnValue = y - rect.Top;
  return result;
}
