// The rich edit's document: RTF in and out, the selection, character and paragraph formats
// through their records as the control's messages give them, and the undo limit.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/forms/RichEdit.h"

namespace {

const char* kSample =
    "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}{\\colortbl;\\red255\\green0\\blue0;}"
    "\\pard\\qc\\fi-360\\li720\\ri100\\tx1440 {\\f0\\fs24 plain }{\\f0\\fs24\\b bold}\\par"
    "\\pard {\\f1\\fs40\\cf1\\i red}}";

std::string Face(const CHARFORMAT2& F) { return std::string(F.szFaceName, strnlen(F.szFaceName, 32)); }

}  // namespace

TEST(RichEditDocument, LoadsRtfAndGivesTheFormatsOfTheSelection) {
  TRichEditDocument d;
  ASSERT_TRUE(d.LoadRtf(kSample));
  EXPECT_EQ(d.Text(), u"plain bold\rred");
  EXPECT_EQ(d.TextLength(), 14);

  CHARFORMAT2 f;
  d.SetSelection(6, 10);  // "bold"
  DWORD mask = d.GetCharFormat(SCF_SELECTION, f);
  EXPECT_TRUE(mask & CFM_BOLD);
  EXPECT_TRUE(f.dwEffects & CFE_BOLD);
  EXPECT_EQ(f.yHeight, 240);
  EXPECT_EQ(Face(f), "Arial");
  EXPECT_TRUE(f.dwEffects & CFE_AUTOCOLOR);

  d.SetSelection(0, 10);  // plain and bold: bold differs, the size does not
  mask = d.GetCharFormat(SCF_SELECTION, f);
  EXPECT_FALSE(mask & CFM_BOLD);
  EXPECT_TRUE(mask & CFM_SIZE);

  d.SetSelection(11, 14);
  d.GetCharFormat(SCF_SELECTION, f);
  EXPECT_EQ(Face(f), "Times New Roman");
  EXPECT_EQ(f.yHeight, 400);
  EXPECT_FALSE(f.dwEffects & CFE_AUTOCOLOR);
  EXPECT_EQ(f.crTextColor, 0x0000FFu);

  PARAFORMAT2 p;
  d.SetSelection(2, 2);
  d.GetParaFormat(p);
  EXPECT_EQ(p.wAlignment, PFA_CENTER);
  EXPECT_EQ(p.dxStartIndent, 360) << "the first line: left 720 and first -360";
  EXPECT_EQ(p.dxOffset, 360);
  EXPECT_EQ(p.dxRightIndent, 100);
  ASSERT_EQ(p.cTabCount, 1);
  EXPECT_EQ(p.rgxTabs[0], 1440);
  d.SetSelection(0, 14);
  EXPECT_FALSE(d.GetParaFormat(p) & PFM_ALIGNMENT) << "two paragraphs, two alignments";

  // What was read writes back out and reads in again alike.
  TRichEditDocument again;
  ASSERT_TRUE(again.LoadRtf(d.SaveRtf()));
  EXPECT_EQ(again.Text(), d.Text());
  EXPECT_EQ(again.SaveRtf(), d.SaveRtf());
  EXPECT_FALSE(again.LoadRtf("no rtf"));
  EXPECT_EQ(again.Text(), d.Text()) << "not RTF: the content stays";
}

TEST(RichEditDocument, SettingFormatsChangesOnlyTheMaskedProperties) {
  TRichEditDocument d;
  ASSERT_TRUE(d.LoadRtf(kSample));
  d.SetSelection(0, 5);
  CHARFORMAT2 f;
  f.dwMask = CFM_ITALIC | CFM_COLOR | CFM_FACE;
  f.dwEffects = CFE_ITALIC;
  f.crTextColor = 0x00FF00;
  std::strcpy(f.szFaceName, "Courier New");
  ASSERT_TRUE(d.SetCharFormat(SCF_SELECTION, f));
  CHARFORMAT2 got;
  d.GetCharFormat(SCF_SELECTION, got);
  EXPECT_TRUE(got.dwEffects & CFE_ITALIC);
  EXPECT_EQ(got.crTextColor, 0x00FF00u);
  EXPECT_EQ(Face(got), "Courier New");
  EXPECT_EQ(got.yHeight, 240) << "the size was not in the mask";
  // The automatic colour comes back through CFE_AUTOCOLOR.
  f.dwMask = CFM_COLOR;
  f.dwEffects = CFE_AUTOCOLOR;
  d.SetCharFormat(SCF_SELECTION, f);
  d.GetCharFormat(SCF_SELECTION, got);
  EXPECT_TRUE(got.dwEffects & CFE_AUTOCOLOR);
  // A record of another size is refused.
  CHARFORMAT2 bad = f;
  bad.cbSize = 60;
  EXPECT_FALSE(d.SetCharFormat(SCF_SELECTION, bad));
  // The default format.
  f.dwMask = CFM_SIZE;
  f.yHeight = 360;
  d.SetCharFormat(SCF_DEFAULT, f);
  d.GetCharFormat(SCF_DEFAULT, got);
  EXPECT_EQ(got.yHeight, 360);

  PARAFORMAT2 p;
  p.dwMask = PFM_ALIGNMENT | PFM_OFFSET | PFM_NUMBERING | PFM_NUMBERINGSTYLE | PFM_NUMBERINGSTART;
  p.wAlignment = PFA_JUSTIFY;
  p.dxOffset = 200;
  p.wNumbering = PFN_ARABIC;
  p.wNumberingStyle = 512;
  p.wNumberingStart = 4;
  d.SetSelection(12, 12);
  ASSERT_TRUE(d.SetParaFormat(p));
  PARAFORMAT2 q;
  d.GetParaFormat(q);
  EXPECT_EQ(q.wAlignment, PFA_JUSTIFY);
  EXPECT_EQ(q.dxOffset, 200);
  EXPECT_EQ(q.dxStartIndent, 0) << "kept";
  EXPECT_EQ(q.wNumbering, PFN_ARABIC);
  EXPECT_EQ(q.wNumberingStyle, 512);
  EXPECT_EQ(q.wNumberingStart, 4);
  d.SetSelection(0, 0);
  d.GetParaFormat(q);
  EXPECT_EQ(q.wAlignment, PFA_CENTER) << "the first paragraph is not touched";
  const TRichDocument doc = d.Document();
  ASSERT_EQ(doc.Paragraphs.size(), 2u);
  EXPECT_EQ(doc.Paragraphs[1].Format.Numbering, 2);
  EXPECT_EQ(doc.Paragraphs[1].Format.LeftIndent, 200) << "the other lines sit 200 right of the first";
  EXPECT_EQ(doc.Paragraphs[1].Format.FirstIndent, -200);
}

TEST(RichEditDocument, ReplacedTextStaysSelectedAndTheUndoLimitHolds) {
  TRichEditDocument d;
  d.LoadText("one\ntwo");
  EXPECT_EQ(d.Text(), u"one\rtwo");
  d.SetSelection(4, 7);
  d.ReplaceSelection(u"three", true);
  EXPECT_EQ(d.Text(), u"one\rthree");
  EXPECT_EQ(d.Selection().cpMin, 4);
  EXPECT_EQ(d.Selection().cpMax, 9);
  d.SetSelection(0, 0);
  d.ReplaceSelection(u"zero\r", true);
  EXPECT_EQ(d.Text(), u"zero\rone\rthree");
  ASSERT_TRUE(d.CanUndo());
  d.Undo();
  d.Undo();
  EXPECT_EQ(d.Text(), u"one\rtwo");
  EXPECT_TRUE(d.CanRedo());

  // With a limit of 1 only the last edit undoes.
  EXPECT_EQ(d.SetUndoLimit(1), 1);
  d.SetSelection(0, 3);
  d.ReplaceSelection(u"a", true);
  d.SetSelection(0, 1);
  d.ReplaceSelection(u"b", true);
  d.Undo();
  EXPECT_EQ(d.Text(), u"a\rtwo");
  EXPECT_FALSE(d.CanUndo());
  // Selections are clamped; -1 as the end means the end of the text.
  d.SetSelection(2, -1);
  EXPECT_EQ(d.Selection().cpMax, d.TextLength());
  d.SetSelection(-1, 100);
  EXPECT_EQ(d.Selection().cpMin, d.TextLength());
  d.Clear();
  EXPECT_EQ(d.TextLength(), 0);
  EXPECT_TRUE(d.Document().Paragraphs.empty());
}
