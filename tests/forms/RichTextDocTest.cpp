// The RTF reader and writer of the rich text document: round trips of every property, what other
// writers put in RTF, and malformed data.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/forms/RichTextDoc.h"
#include "tests/common/TestSupport.h"

namespace {

TRichRun MakeRun(std::u16string Text, std::string Face = "Arial", int32_t Twips = 200, uint32_t Effects = 0,
             TColor Color = -1) {
  TRichRun r;
  r.Text = std::move(Text);
  r.Format.FaceName = std::move(Face);
  r.Format.Twips = Twips;
  r.Format.Effects = Effects;
  if (Color >= 0) {
    r.Format.AutoColor = false;
    r.Format.Color = Color;
  }
  return r;
}

TRichDocument Read(const std::string& Rtf) {
  TRichDocument d;
  EXPECT_TRUE(ReadRtf(Rtf, d));
  return d;
}

}  // namespace

TEST(RichTextRtf, EveryPropertySurvivesARoundTrip) {
  struct Case {
    const char* Name;
    TRichParagraph Para;
  };
  auto para = [](std::vector<TRichRun> Runs, TRichParaFormat F = {}) { return TRichParagraph{std::move(F), std::move(Runs)}; };
  TRichParaFormat right;
  right.Alignment = 1;
  TRichParaFormat centre;
  centre.Alignment = 2;
  TRichParaFormat justify;
  justify.Alignment = 3;
  TRichParaFormat indents;
  indents.FirstIndent = -360;
  indents.LeftIndent = 720;
  indents.RightIndent = 200;
  indents.Tabs = {720, 1440, 2880};
  TRichParaFormat bullets;
  bullets.Numbering = 1;
  TRichParaFormat numbers;
  numbers.Numbering = 2;
  numbers.NumberingStart = 3;
  const Case cases[] = {
      {"fonts and sizes", para({MakeRun(u"Times", "Times New Roman", 240), MakeRun(u" Courier", "Courier New", 360)})},
      {"colours", para({MakeRun(u"red", "Arial", 200, 0, 0x0000FF), MakeRun(u"blue", "Arial", 200, 0, 0xFF0000)})},
      {"styles", para({MakeRun(u"b", "Arial", 200, RTE_BOLD), MakeRun(u"i", "Arial", 200, RTE_ITALIC),
                       MakeRun(u"u", "Arial", 200, RTE_UNDERLINE), MakeRun(u"s", "Arial", 200, RTE_STRIKEOUT)})},
      {"right", para({MakeRun(u"r")}, right)},
      {"centre", para({MakeRun(u"c")}, centre)},
      {"justify", para({MakeRun(u"j")}, justify)},
      {"indents and tabs", para({MakeRun(u"a\tb")}, indents)},
      {"bullets", para({MakeRun(u"item")}, bullets)},
      {"numbers", para({MakeRun(u"third")}, numbers)},
      {"line break and escapes", para({MakeRun(u"a\vb {c} \\d")})},
      {"non-ASCII", para({MakeRun(u"caf\u00E9 \u20AC \u0416 \U0001F600")})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TRichDocument doc;
    doc.Paragraphs = {c.Para, para({MakeRun(u"next")})};
    const std::string rtf = WriteRtf(doc);
    const TRichDocument back = Read(rtf);
    ASSERT_EQ(back.Paragraphs.size(), 2u) << rtf;
    EXPECT_TRUE(back.Paragraphs[0].Format == c.Para.Format) << rtf;
    ASSERT_EQ(back.Paragraphs[0].Runs.size(), c.Para.Runs.size()) << rtf;
    for (size_t r = 0; r < c.Para.Runs.size(); ++r) {
      EXPECT_TRUE(back.Paragraphs[0].Runs[r].Text == c.Para.Runs[r].Text) << rtf;
      EXPECT_TRUE(back.Paragraphs[0].Runs[r].Format == c.Para.Runs[r].Format) << rtf;
    }
    EXPECT_EQ(back.PlainText(), doc.PlainText());
  }
}

TEST(RichTextRtf, ReadsWhatOtherWritersPut) {
  // \uN after \ucN with its fallback, code pages 1252 and 1251, skipped destinations and fields.
  TRichDocument d = Read(
      "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times;}}"
      "{\\colortbl;\\red255\\green0\\blue0;}{\\*\\generator Foo;}{\\info{\\title T}}"
      "\\uc2 a\\u8364??b \\'e9{\\*\\unknown zz}{\\pict\\wmetafile8 0102}"
      "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}\\par\\f1\\cf1 c}");
  EXPECT_EQ(d.PlainText(), u"a\u20ACb \u00E9link\nc");
  ASSERT_EQ(d.Paragraphs.size(), 2u);
  EXPECT_EQ(d.Paragraphs[1].Runs[0].Format.FaceName, "Times");
  EXPECT_EQ(d.Paragraphs[1].Runs[0].Format.Color, 0x0000FF);
  EXPECT_EQ(Read("{\\rtf1\\ansi\\ansicpg1251 \\'c0\\'e1}").PlainText(), u"\u0410\u0431");
  // An empty document and text that is no RTF.
  EXPECT_TRUE(Read("{\\rtf1}").Paragraphs.empty());
  TRichDocument none;
  EXPECT_FALSE(ReadRtf("plain text", none));
}

TEST(RichTextRtf, MalformedDataLoadsWhatItCan) {
  struct Case {
    const char* Name;
    std::string Rtf;
    std::u16string Text;
  };
  const Case cases[] = {
      {"unbalanced close", "{\\rtf1 a}}}b", u"ab"},
      {"never closed", "{\\rtf1 a{\\b b", u"ab"},
      {"deep groups", "{\\rtf1 a" + std::string(300, '{') + "x" + std::string(300, '}') + "b}", u"ab"},
      {"bin past the end", "{\\rtf1 a\\bin999999 xyz}", u"a"},
      {"huge parameter", "{\\rtf1 \\fs99999999999999999999 a\\f99999999999 b}", u"ab"},
      {"colour outside the table", "{\\rtf1{\\colortbl;\\red1;}\\cf77 a}", u"a"},
      {"font outside the table", "{\\rtf1{\\fonttbl{\\f0 A;}}\\f5 a}", u"a"},
      {"u outside UTF-16", "{\\rtf1 \\u99999 a\\u-40000 b}", u"ab"},
      {"cut hex", "{\\rtf1 a\\'e", u"a"},
      {"bad hex", "{\\rtf1 a\\'zzb}", u"azzb"},
      {"long word", "{\\rtf1 \\" + std::string(1000, 'q') + " a}", u"a"},
      {"backslash at the end", "{\\rtf1 a\\", u"a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Read(c.Rtf).PlainText(), c.Text);
  }
  TRichDocument d = Read("{\\rtf1 \\fs99999999999999999999 a}");
  ASSERT_FALSE(d.Paragraphs.empty());
  EXPECT_LE(d.Paragraphs[0].Runs[0].Format.Twips, 32760);
}

TEST(RichTextRtf, EmptyParagraphsAndControlCharactersReadBack) {
  TRichDocument doc;
  doc.Paragraphs = {TRichParagraph{{}, {MakeRun(u"a")}}, TRichParagraph{}, TRichParagraph{}};
  TRichDocument back = Read(WriteRtf(doc));
  EXPECT_EQ(back.Paragraphs.size(), 3u);
  EXPECT_EQ(back.PlainText(), u"a\n\n");
  // Control characters other than tab and line break are not text.
  EXPECT_EQ(Read("{\\rtf1 a\\'01\\u2?b\\'0a}").PlainText(), u"ab");
}

// unrtf, an independent reader, sees our text, fonts, sizes, colours, styles and alignment.
TEST(RichTextRtf, UnrtfReadsWhatWeWrite) {
  if (!ToolExists("/usr/bin/unrtf")) GTEST_SKIP() << "unrtf is not installed";
  TRichDocument doc;
  TRichParaFormat centre;
  centre.Alignment = 2;
  doc.Paragraphs = {
      TRichParagraph{centre, {MakeRun(u"Bold caf\u00E9", "Liberation Serif", 480, RTE_BOLD, 0x0000FF)}},
      TRichParagraph{{}, {MakeRun(u"italic", "Arial", 200, RTE_ITALIC), MakeRun(u" under", "Arial", 200, RTE_UNDERLINE),
                          MakeRun(u" \u20AC\u0416", "Arial", 200, RTE_STRIKEOUT)}},
  };
  TestTempDir dir;
  const std::string in = dir.File("doc.rtf"), out = dir.File("doc.html");
  std::ofstream(in, std::ios::binary) << WriteRtf(doc);
  ASSERT_EQ(RunTool({"unrtf", "--html", in}, out), 0);
  std::stringstream ss;
  ss << std::ifstream(out).rdbuf();
  const std::string html = ss.str();
  for (const char* want : {"<center>", "face=\"Liberation Serif\"", "color=\"#ff0000\"", "<b>Bold caf",
                           "<i>italic</i>", "<u> under</u>", "<s>", "face=\"Arial\""})
    EXPECT_NE(html.find(want), std::string::npos) << want << "\n" << html;
  ASSERT_EQ(RunTool({"unrtf", "--text", in}, out), 0);
  std::stringstream st;
  st << std::ifstream(out).rdbuf();
  EXPECT_NE(st.str().find("italic under"), std::string::npos) << st.str();
}
