// The character and paragraph attribute objects over a rich edit document, and the rich edit
// level of a control version.
#include <gtest/gtest.h>

#include <vector>

#include "platform/forms/RichEdit.h"
#include "vector/pxxRichEdit.h"

namespace {

// An edit whose messages go to a document; it records what it was sent.
class FakeEdit : public IPXRichFormatHost {
 public:
  bool RichHandleAllocated() const override { return HasWindow; }
  void RichEnsureHandle() override { HasWindow = true; }
  LRESULT RichPerform(UINT Msg, WPARAM W, LPARAM L) override {
    Sent.push_back(Msg);
    switch (Msg) {
      case EM_GETCHARFORMAT: return Doc.GetCharFormat(static_cast<UINT>(W), *reinterpret_cast<CHARFORMAT2*>(L));
      case EM_SETCHARFORMAT: return Doc.SetCharFormat(static_cast<UINT>(W), *reinterpret_cast<CHARFORMAT2*>(L));
      case EM_GETPARAFORMAT: return Doc.GetParaFormat(*reinterpret_cast<PARAFORMAT2*>(L));
      case EM_SETPARAFORMAT: LastPara = *reinterpret_cast<PARAFORMAT2*>(L); return Doc.SetParaFormat(LastPara);
      default: return 0;
    }
  }
  int32_t RichScreenPixelsPerInchY() const override { return 96; }
  bool RichUseRightToLeftAlignment() const override { return RightToLeft; }
  void RichEnableAdvancedTypography() override { ++Typography; }

  TRichEditDocument Doc;
  bool HasWindow = true;
  bool RightToLeft = false;
  int Typography = 0;
  PARAFORMAT2 LastPara;
  std::vector<UINT> Sent;
};

}  // namespace

TEST(RichEditLevel, FollowsTheControlVersion) {
  struct Case {
    bool Loaded;
    uint32_t Major, Minor;
    int32_t Level;
  } cases[] = {{true, 5, 0, 2}, {true, 5, 30, 3}, {true, 5, 41, 4}, {true, 5, 50, 5},
               {true, 12, 0, 6}, {true, 6, 0, 2}, {false, 5, 50, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(RichEditLevelFromVersion(c.Loaded, (c.Major << 16) | c.Minor), c.Level) << c.Major << "." << c.Minor;
  EXPECT_EQ(RichEditLevelFromVersion(true, PXRichEditFileVersionMS), 5);
}

TEST(RichAttributes, CharacterPropertiesMapToTheRecord) {
  FakeEdit e;
  e.Doc.LoadText("hello world");
  e.Doc.SetSelection(0, 5);
  TPXTextAttributes sel(&e, akSelection);
  sel.SetSize(12);
  EXPECT_EQ(sel.Size(), 12);
  EXPECT_EQ(sel.Height(), 16) << "MulDiv(12, 96, 72)";
  sel.SetName("A very long font family name beyond thirty-two");
  EXPECT_EQ(sel.Name(), std::string("A very long font family name beyond thirty-two").substr(0, 31));
  sel.SetColor(clRed);
  EXPECT_EQ(sel.Color(), clRed);
  for (TColor automatic : {clWindowText, clDefault}) {
    sel.SetColor(automatic);
    EXPECT_EQ(sel.Color(), clWindowText);
  }
  sel.SetStyle(TFontStyles{fsBold, fsStrikeOut});
  EXPECT_EQ(sel.Style(), (TFontStyles{fsBold, fsStrikeOut}));
  EXPECT_TRUE(sel.HasEffect(CFE_BOLD));
  sel.SetEffect(CFE_BOLD, false);
  EXPECT_FALSE(sel.HasEffect(CFE_BOLD));

  // The kinds: the default format is apart from the selection's.
  TPXTextAttributes def(&e, akDefault);
  def.SetSize(20);
  EXPECT_EQ(def.Size(), 20);
  EXPECT_EQ(sel.Size(), 12);
  // A font becomes one record; a record goes back into a font.
  TFont font;
  font.SetName("Liberation Serif");
  font.SetSize(14);
  font.SetStyle(TFontStyles{fsItalic});
  font.SetColor(clBlue);
  sel.Assign(&font);
  TFont back;
  sel.AssignTo(&back);
  EXPECT_EQ(back.Name(), "Liberation Serif");
  EXPECT_EQ(back.Size(), 14);
  EXPECT_EQ(back.Style(), TFontStyles{fsItalic});
  EXPECT_EQ(back.Color(), clBlue);

  // Without a window: zero records and no character writes.
  e.HasWindow = false;
  e.Sent.clear();
  sel.SetSize(30);
  EXPECT_EQ(sel.Size(), 0);
  EXPECT_TRUE(e.Sent.empty());
}

TEST(RichAttributes, ParagraphPropertiesMapToTheRecord) {
  FakeEdit e;
  e.Doc.LoadText("one\ntwo");
  e.Doc.SetSelection(0, 0);
  TPXParaAttributes p(&e);
  for (int32_t a : {1, 2, 0}) {
    p.SetAlignment(a);
    EXPECT_EQ(p.Alignment(), a);
  }
  EXPECT_EQ(e.Typography, 0);
  p.SetAlignment(3);
  EXPECT_EQ(p.Alignment(), 3);
  EXPECT_EQ(e.Typography, 1) << "justify turns advanced typography on";
  p.SetFirstIndent(36);
  p.SetLeftIndent(18);
  p.SetRightIndent(9);
  EXPECT_EQ(p.FirstIndent(), 36);
  EXPECT_EQ(p.LeftIndent(), 18);
  EXPECT_EQ(p.RightIndent(), 9);
  EXPECT_EQ(e.LastPara.dxRightIndent, 180) << "twips";
  p.SetNumbering(0);
  EXPECT_EQ(p.LeftIndent(), 0);
  p.SetLeftIndent(4);
  p.SetNumbering(1);
  EXPECT_EQ(p.LeftIndent(), 10);
  EXPECT_EQ(p.Numbering(), 1);
  p.SetLeftIndent(15);
  p.SetNumbering(2);
  EXPECT_EQ(p.LeftIndent(), 15) << "raised only when below 10";
  for (auto [index, style] : {std::pair{0, 0}, {1, 512}, {2, 256}, {3, 768}}) {
    p.SetNumberingStyle(index);
    EXPECT_EQ(e.LastPara.wNumberingStyle, style);
  }
  p.SetTab(0, 36);
  p.SetTab(1, 72);
  ASSERT_EQ(p.TabCount(), 2);
  p.SetTab(5, 144);
  EXPECT_EQ(p.TabCount(), 6);
  EXPECT_EQ(p.Tab(5), 144);
  EXPECT_EQ(p.Tab(3), 0);
  p.SetTab(31, 10);
  EXPECT_EQ(p.TabCount(), 6) << "index 31 is ignored";

  // Right to left exchanges left and right on writing.
  e.RightToLeft = true;
  p.SetAlignment(0);
  EXPECT_EQ(e.LastPara.wAlignment, PFA_RIGHT);
  // Paragraph writes create the window first.
  e.HasWindow = false;
  p.SetAlignment(2);
  EXPECT_TRUE(e.HasWindow);
  EXPECT_EQ(p.Alignment(), 2);
}
