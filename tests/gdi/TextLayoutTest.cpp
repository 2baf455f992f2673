// DrawText's layout on made-up character widths: every letter 10, blank 5, '.' 3, 'i' 4.
#include <gtest/gtest.h>

#include "platform/gdi/FontEngine.h"
#include "platform/gdi/TextLayout.h"
#include "platform/gdi/WinGdi_text.h"

namespace {

int32_t FakeWidth(char32_t c) {
  switch (c) {
    case U' ': return 5;
    case U'.': return 3;
    case U'i': return 4;
    case U'\t': case U'\r': case U'\n': return 0;
    default: return 10;
  }
}

TTextLayoutResult Layout(std::string_view text, TRect rect, uint32_t format, int32_t tabLength = 0) {
  TTextLayoutMetrics m;
  m.Height = 16;
  m.Ascent = 13;
  m.ExternalLeading = 2;
  m.AveCharWidth = 7;
  return LayoutDrawText(DecodeUtf8(text), rect, format, m, FakeWidth, tabLength);
}

std::vector<std::string> Texts(const TTextLayoutResult& r) {
  std::vector<std::string> out;
  for (const auto& line : r.Lines) {
    std::string s;
    for (const auto& seg : line.Segments) s += (s.empty() ? "" : "|") + seg.Text;
    out.push_back(s);
  }
  return out;
}

TEST(TextLayout, LinesWordBreakAndLongWords) {
  struct Case {
    const char* text;
    int32_t width;
    uint32_t format;
    std::vector<std::string> lines;
  } cases[] = {
      {"aaa bbb ccc", 70, DT_WORDBREAK, {"aaa bbb", "ccc"}},
      {"aaa bbb ccc", 200, DT_WORDBREAK, {"aaa bbb ccc"}},
      {"aaa   bbb", 40, DT_WORDBREAK, {"aaa", "bbb"}},  // blanks at the break are swallowed
      {"  aaa", 200, DT_WORDBREAK, {"  aaa"}},           // leading blanks stay
      {"abcdefghij kl", 50, DT_WORDBREAK, {"abcdefghij", "kl"}},  // the long word overhangs
      {"abcdefghij kl", 50, DT_WORDBREAK | DT_EDITCONTROL, {"abcde", "fghij", "kl"}},
      {"a\r\nb\nc\rd", 200, 0, {"a", "b", "c", "d"}},
      {"a\n\nb", 200, 0, {"a", "", "b"}},
      {"ab\n", 200, 0, {"ab"}},  // a final break opens no line
      {"a\nb", 200, DT_SINGLELINE, {"a\nb"}},
      {"aaa bbb", 30, DT_SINGLELINE | DT_WORDBREAK, {"aaa bbb"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Texts(Layout(c.text, {0, 0, c.width, 100}, c.format)), c.lines);
  }
}

TEST(TextLayout, Prefixes) {
  struct Case {
    const char* text;
    uint32_t format;
    const char* shown;
    int32_t width, prefixX, prefixWidth;
  } cases[] = {
      {"&File", 0, "File", 34, 0, 10},
      {"Save &As", 0, "Save As", 65, 45, 10},
      {"A&&B", 0, "A&B", 30, 0, 0},
      {"abc&", 0, "abc&", 40, 0, 0},  // a lone "&" at the end stays
      {"&a&b", 0, "ab", 20, 10, 10},  // the last mark of a line wins
      {"&File", DT_NOPREFIX, "&File", 44, 0, 0},
      {"&File", DT_HIDEPREFIX, "File", 34, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto r = Layout(c.text, {0, 0, 200, 50}, c.format);
    ASSERT_EQ(r.Lines.size(), 1u);
    EXPECT_EQ(Texts(r).front(), c.shown);
    EXPECT_EQ(r.Lines[0].PrefixWidth, c.prefixWidth);
    if (c.prefixWidth) {
      EXPECT_EQ(r.Lines[0].PrefixX, c.prefixX);
    }
    EXPECT_EQ(r.Lines[0].Width, c.width);
  }
}

TEST(TextLayout, TabsExpandToStops) {
  // Eight average characters (7) per stop, or the DT_TABSTOP byte, or the given length.
  auto r = Layout("a\tb\tc", {0, 0, 300, 50}, DT_EXPANDTABS);
  ASSERT_EQ(r.Lines[0].Segments.size(), 3u);
  EXPECT_EQ(r.Lines[0].Segments[1].X, 56);
  EXPECT_EQ(r.Lines[0].Segments[2].X, 112);
  EXPECT_EQ(r.Lines[0].Width, 122);
  r = Layout("a\tb", {0, 0, 300, 50}, DT_EXPANDTABS | DT_TABSTOP | (4 << 8));
  EXPECT_EQ(r.Lines[0].Segments[1].X, 28);
  r = Layout("a\tb", {0, 0, 300, 50}, DT_EXPANDTABS | DT_TABSTOP, 2);
  EXPECT_EQ(r.Lines[0].Segments[1].X, 14);
  r = Layout("a\tb", {0, 0, 300, 50}, 0);  // not expanded: one piece
  EXPECT_EQ(r.Lines[0].Segments.size(), 1u);
}

TEST(TextLayout, EllipsesFit) {
  struct Case {
    const char* text;
    uint32_t format;
    int32_t width;
    const char* shown;
  } cases[] = {
      {"abcdefghij", DT_END_ELLIPSIS, 55, "abcd..."},
      {"abcdefghij", DT_END_ELLIPSIS, 200, "abcdefghij"},
      {"abcdefghij", DT_END_ELLIPSIS, 5, "..."},
      {"C:\\dir\\sub\\file", DT_PATH_ELLIPSIS, 120, "C:\\dir\\...\\file"},
      {"C:\\dir\\sub\\file", DT_PATH_ELLIPSIS, 70, "C...\\file"},
      {"C:\\dir\\sub\\file", DT_PATH_ELLIPSIS, 40, "...\\f..."},  // the tail itself is cut
      {"abcdefghij", DT_PATH_ELLIPSIS, 55, "abcd..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto r = Layout(c.text, {0, 0, c.width, 50}, c.format | DT_SINGLELINE);
    EXPECT_EQ(Texts(r).front(), c.shown);
    if (std::string(c.shown) != "...") {
      EXPECT_LE(r.Lines[0].Width, c.width);
    }
  }
}

TEST(TextLayout, AlignmentCalcRectAndResult) {
  // Single line "abc" (30 wide) in (10, 20, 110, 120), line height 16.
  struct Case {
    uint32_t format;
    int32_t x, y, result;
  } cases[] = {
      {DT_SINGLELINE, 10, 20, 16},
      {DT_SINGLELINE | DT_CENTER, 45, 20, 16},
      {DT_SINGLELINE | DT_RIGHT, 80, 20, 16},
      {DT_SINGLELINE | DT_VCENTER, 10, 62, 58},  // 20 + 100/2 - 16/2; the offset to the text's bottom
      {DT_SINGLELINE | DT_BOTTOM, 10, 104, 100},
      {DT_VCENTER, 10, 20, 16},  // needs DT_SINGLELINE
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    const auto r = Layout("abc", {10, 20, 110, 120}, c.format);
    EXPECT_EQ(r.Lines[0].X, c.x);
    EXPECT_EQ(r.Lines[0].Y, c.y);
    EXPECT_EQ(r.ReturnValue, c.result);
  }
  // DT_CALCRECT: the right edge to the widest line, the bottom to the last line.
  auto r = Layout("aaa bbb ccc", {10, 20, 80, 25}, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_EQ(r.CalcRect, TRect(10, 20, 75, 52));
  EXPECT_EQ(r.ReturnValue, 32);
  r = Layout("abcdefghij kl", {0, 0, 50, 10}, DT_WORDBREAK | DT_CALCRECT);  // grows for a long word
  EXPECT_EQ(r.CalcRect, TRect(0, 0, 94, 32));
  r = Layout("abc", {5, 5, 500, 500}, DT_SINGLELINE | DT_VCENTER | DT_CALCRECT);
  EXPECT_EQ(r.CalcRect, TRect(5, 5, 35, 21));
  r = Layout("ab\ncd", {0, 0, 500, 500}, DT_CALCRECT | DT_EXTERNALLEADING);
  EXPECT_EQ(r.CalcRect.Bottom, 36);
  r = Layout("", {5, 5, 500, 500}, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(r.CalcRect, TRect(5, 5, 5, 21));
  EXPECT_EQ(r.ReturnValue, 0);
}

TEST(TextLayout, EditControlHidesPartlyVisibleLastLine) {
  const char* text = "a\nb\nc";
  EXPECT_EQ(Layout(text, {0, 0, 100, 40}, 0).Lines.size(), 3u);
  EXPECT_EQ(Layout(text, {0, 0, 100, 40}, DT_EDITCONTROL).Lines.size(), 2u);
}

}  // namespace
