// Frame routines and glyphs as pixel maps on small surfaces.
#include <gtest/gtest.h>

#include "controls/CvCommon.h"
#include "platform/gdi/WinGdi_text.h"
#include "tests/controls/ControlsTestSupport.h"

namespace {

using enum TFrameStyleEx;

// '.' untouched (the fill), 'D' cl3DDkShadow, 'S' clBtnShadow, 'H' clBtnHighlight, 'F' clBtnFace.
const std::map<char, TColor> kSystem = {
    {'.', clFuchsia}, {'D', cl3DDkShadow}, {'S', clBtnShadow}, {'H', clBtnHighlight}, {'F', clBtnFace}};

TEST(CvFrames, FlatAndGroove) {
  {
    TestSurface s(10, 10);
    EXPECT_EQ(PaintFrameStyle(s.Canvas(), TRect(0, 0, 10, 10), fsFlat), TRect(1, 1, 9, 9));
    const std::vector<std::string> flat = {"DDDDDDDDDD", "D........D", "D........D", "D........D", "D........D",
                                           "D........D", "D........D", "D........D", "D........D", "DDDDDDDDDD"};
    EXPECT_EQ(s.Map(kSystem), flat) << Joined(s.Map(kSystem));
  }
  {
    TestSurface s(10, 10);
    EXPECT_EQ(PaintFrameStyle(s.Canvas(), TRect(0, 0, 10, 10), fsGroove), TRect(2, 2, 8, 8));
    const std::vector<std::string> groove = {"SSSSSSSSSH", "SHHHHHHHSH", "SH......SH", "SH......SH", "SH......SH",
                                             "SH......SH", "SH......SH", "SH......SH", "SSSSSSSSSH", "HHHHHHHHHH"};
    EXPECT_EQ(s.Map(kSystem), groove) << Joined(s.Map(kSystem));
  }
}

TEST(CvFrames, SidesTakeTheirPixelEvenWithoutColour) {
  TestSurface s(8, 8);
  EXPECT_EQ(PaintSides(s.Canvas(), TRect(0, 0, 8, 8), clNone, clNone, AllSides), TRect(1, 1, 7, 7));
  EXPECT_EQ(PaintSides(s.Canvas(), TRect(0, 0, 8, 8), clNone, clNone, {sdLeft, sdBottom}), TRect(1, 0, 8, 7));
  EXPECT_EQ(PaintSides(s.Canvas(), TRect(0, 0, 8, 8), clRed, clRed, {}), TRect(0, 0, 8, 8));
  for (const std::string& row : s.Map(kSystem)) EXPECT_EQ(row, "........");
}

TEST(CvFrames, RoundedFlatFrameCutsItsCorners) {
  TestSurface s(8, 6);
  EXPECT_EQ(PaintRoundedFlatFrame(s.Canvas(), TRect(0, 0, 8, 6), clBtnShadow, AllSides), TRect(2, 2, 6, 4));
  const std::vector<std::string> expected = {"..SSSS..", ".S....S.", "S......S", "S......S", ".S....S.", "..SSSS.."};
  EXPECT_EQ(s.Map(kSystem), expected) << Joined(s.Map(kSystem));
}

TEST(CvFrames, RaisedPanelRings) {
  TestSurface s(6, 6);
  EXPECT_EQ(PaintFrameStyle(s.Canvas(), TRect(0, 0, 6, 6), fsRaised), TRect(2, 2, 4, 4));
  // cl3DLight is the face colour in the classic table.
  const std::vector<std::string> expected = {"FFFFFD", "FHHHSD", "FH..SD", "FH..SD", "FSSSSD", "DDDDDD"};
  EXPECT_EQ(s.Map(kSystem), expected) << Joined(s.Map(kSystem));
}

TEST(CvFrames, EditFrameColours) {
  const struct {
    TColor Color;
    TColorRef Outer, Inner;
  } cases[] = {
      {clWindow, Rgb(128, 128, 128), Rgb(64, 64, 64)},     // the system table
      {0x00FFFFFF, Rgb(202, 202, 202), Rgb(149, 149, 149)},  // the same white as a plain value: shades
  };
  for (const auto& c : cases) {
    TestSurface s(12, 12);
    PaintEditFrame(s.Canvas(), 12, 12, fsLowered, c.Color, clBtnShadow, AllSides, false);
    EXPECT_EQ(s.At(0, 0), c.Outer);
    EXPECT_EQ(s.At(1, 1), c.Inner);
    EXPECT_EQ(s.At(5, 5), Rgb(clFuchsia));
  }
}

TEST(CvFrames, InnerOuterFrames) {
  {
    TestSurface s(10, 10);
    EXPECT_EQ(PaintInnerOuterFrames(s.Canvas(), TRect(0, 0, 10, 10), fsNone, fsNone, 0, AllSides, 1, clRed, clWhite,
                                    clBlack, clBtnShadow, 30, clBtnFace, clBtnFace, false, false),
              TRect(0, 0, 10, 10));
    for (const std::string& row : s.Map(kSystem)) EXPECT_EQ(row, "..........");
  }
  {
    // Outer flat in the flat colour shifted by 30, a 2-pixel border band, inner status bevel.
    TestSurface s(12, 12);
    const TRect r = PaintInnerOuterFrames(s.Canvas(), TRect(0, 0, 12, 12), fsFlat, fsStatus, 2, AllSides, 1, clRed,
                                          clWhite, clBlack, clBtnShadow, 30, clBtnFace, clBtnFace, false, false);
    EXPECT_EQ(r, TRect(4, 4, 8, 8));
    EXPECT_EQ(s.At(0, 5), Rgb(159, 159, 159));
    EXPECT_EQ(s.At(1, 5), Rgb(clRed));
    EXPECT_EQ(s.At(2, 5), Rgb(clRed));
    EXPECT_EQ(s.At(3, 5), Rgb(clBlack));  // status: shadow upper-left
    EXPECT_EQ(s.At(8, 5), Rgb(clWhite));
    EXPECT_EQ(s.At(4, 5), Rgb(clFuchsia));
  }
}

TEST(CvFrames, StripAccelChars) {
  const struct {
    const char* In;
    const char* Out;
  } cases[] = {{"&File", "File"}, {"a&&b", "a&b"}, {"a&", "a&"}, {"&&", "&&"}, {"", ""}, {"&", "&"}, {"x&y&z", "xyz"}};
  for (const auto& c : cases) EXPECT_EQ(StripAccelChars(c.In), c.Out) << c.In;
}

TEST(CvFrames, FontsAndGeometry) {
  TFont font;
  TestSurface s(4, 4);
  s.Canvas()->Font()->Assign(&font);
  EXPECT_EQ(FontLineHeight(&font), s.Canvas()->TextHeight("Yy") + 2);
  EXPECT_TRUE(FontIsTrueType(&font));
  HFONT rotated = CreateRotatedFontHandle(&font, 90);
  ASSERT_NE(rotated, nullptr);
  LOGFONT lf;
  GetObject(rotated, sizeof lf, &lf);
  EXPECT_EQ(lf.lfEscapement, 900);
  EXPECT_EQ(lf.lfHeight, font.Height());
  DeleteObject(rotated);
  EXPECT_EQ(CenteredRect(TRect(0, 0, 10, 10), 4, 3), TRect(3, 3, 7, 6));
  EXPECT_EQ(CenteredRect(TRect(-5, 0, 0, 1), 2, 1), TRect(-3, 0, -1, 1));  // rounds toward zero
}

// ---------------------------------------------------------------------------------------------
// Glyphs

TEST(CvGlyphs, CheckBoxMarks) {
  const std::map<char, TColor> legend = {{'S', clBtnShadow}, {'M', clHighlight}, {'W', clWindow}};
  TestSurface s(13, 13);
  PaintCheckGlyph(s.Canvas(), TRect(0, 0, 13, 13), cbChecked, 0, false, TCvButtonHotTrackStyle::htsInterior,
                  clBtnShadow, clHighlight, clWindow, clWindow, clBtnFace, clWhite, clBlack, false, false, clInfoBk);
  const std::vector<std::string> checked = {
      "SSSSSSSSSSSSS", "SWWWWWWWWWWWS", "SWWWWWWWWWWWS", "SWWWWWWWWMWWS", "SWWWWWWWMMWWS",
      "SWWMWWWMMMWWS", "SWWMMWMMMWWWS", "SWWMMMMMWWWWS", "SWWWMMMWWWWWS", "SWWWWMWWWWWWS",
      "SWWWWWWWWWWWS", "SWWWWWWWWWWWS", "SSSSSSSSSSSSS"};
  EXPECT_EQ(s.Map(legend), checked) << Joined(s.Map(legend));

  // Checked and disabled: the mark in the shadow colour on the disabled colour.
  TestSurface d(13, 13);
  PaintCheckGlyph(d.Canvas(), TRect(0, 0, 13, 13), cbChecked, 3, false, TCvButtonHotTrackStyle::htsInterior,
                  clBtnShadow, clHighlight, clWindow, clWindow, clBtnFace, clWhite, clBlack, false, false, clInfoBk);
  EXPECT_EQ(d.At(3, 5), Rgb(128, 128, 128));
  EXPECT_EQ(d.At(2, 2), Rgb(212, 208, 200));

  // Grayed while pressed: the square two pixels inside the box in the mark colour.
  TestSurface g(13, 13);
  PaintCheckGlyph(g.Canvas(), TRect(0, 0, 13, 13), cbGrayed, 1, false, TCvButtonHotTrackStyle::htsInterior,
                  clBtnShadow, clHighlight, clWindow, clWindow, clBtnFace, clWhite, clBlack, false, false, clInfoBk);
  EXPECT_EQ(g.At(1, 1), Rgb(234, 234, 234));
  EXPECT_EQ(g.At(2, 2), Rgb(234, 234, 234));
  EXPECT_EQ(g.At(3, 3), Rgb(10, 36, 106));
  EXPECT_EQ(g.At(9, 9), Rgb(10, 36, 106));
  EXPECT_EQ(g.At(10, 10), Rgb(234, 234, 234));
}

TEST(CvGlyphs, RadioButton) {
  const TColorRef M = Rgb(212, 208, 200), B = Rgb(199, 195, 189), A = Rgb(170, 168, 164), Lf = Rgb(138, 138, 138),
                  F = Rgb(128, 128, 128);
  auto paint = [](TestSurface& s, bool checked, bool transparent) {
    PaintRadioGlyph(s.Canvas(), TRect(0, 0, 13, 13), checked, 0, false, TCvButtonHotTrackStyle::htsInterior,
                    clBtnShadow, clHighlight, clWindow, clWindow, clBtnFace, clWhite, clBlack, clBtnFace, transparent,
                    clFuchsia, false, false, clInfoBk);
  };
  TestSurface s(13, 13, clLime);
  paint(s, false, false);
  const TColorRef row0[13] = {M, M, M, B, A, Lf, F, Lf, A, B, M, M, M};
  for (int x = 0; x < 13; ++x) {
    EXPECT_EQ(s.At(x, 0), row0[x]) << x;
    EXPECT_EQ(s.At(x, 12), row0[x]) << x;
    EXPECT_EQ(s.At(0, x), row0[x]) << x;
  }
  EXPECT_EQ(s.At(6, 6), Rgb(clWindow));

  TestSurface c(13, 13, clLime);
  paint(c, true, false);
  EXPECT_EQ(c.At(6, 6), Rgb(10, 36, 106));
  EXPECT_EQ(c.At(6, 4), Rgb(10, 36, 106));
  EXPECT_EQ(c.At(5, 4), Rgb(108, 124, 166));

  // Transparent: the corners and the softened rim take the transparent colour.
  TestSurface t(13, 13, clLime);
  paint(t, false, true);
  for (int x : {0, 1, 2, 3, 4, 8, 9, 10, 11, 12}) EXPECT_EQ(t.At(x, 0), Rgb(clFuchsia)) << x;
  EXPECT_EQ(t.At(5, 0), Lf);
  EXPECT_EQ(t.At(6, 0), F);
}

// The bounding box of the pixels of one colour.
TRect BoxOf(TestSurface& s, TColorRef c) {
  TRect r(1000, 1000, -1, -1);
  for (int32_t y = 0; y < s.Bitmap.Height(); ++y)
    for (int32_t x = 0; x < s.Bitmap.Width(); ++x)
      if (s.At(x, y) == c) r = TRect(std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1), std::max(r.Bottom, y + 1));
  return r;
}

TEST(CvGlyphs, Arrows) {
  // Every direction draws a glyph of its own shape in black.
  for (int dir = 0; dir < 4; ++dir) {
    TestSurface even(15, 16), odd(15, 17);
    PaintArrowGlyph(even.Canvas(), TRect(0, 0, 15, 16), false, dir, false, true);
    PaintArrowGlyph(odd.Canvas(), TRect(0, 0, 15, 17), false, dir, false, true);
    const TRect e = BoxOf(even, Rgb(clBlack)), o = BoxOf(odd, Rgb(clBlack));
    ASSERT_FALSE(e.IsEmpty()) << dir;
    // An even height puts the arrow one pixel higher.
    EXPECT_EQ(e.Top + 1, o.Top) << dir;
    EXPECT_EQ(e.Left, o.Left) << dir;
    // Pressed moves an enabled arrow by (1, 1) but not a disabled one, which is grey.
    TestSurface pressed(15, 17), disabled(15, 17), disabledPressed(15, 17);
    PaintArrowGlyph(pressed.Canvas(), TRect(0, 0, 15, 17), false, dir, true, true);
    PaintArrowGlyph(disabled.Canvas(), TRect(0, 0, 15, 17), false, dir, false, false);
    PaintArrowGlyph(disabledPressed.Canvas(), TRect(0, 0, 15, 17), false, dir, true, false);
    TRect moved = o;
    moved.Offset(1, 1);
    EXPECT_EQ(BoxOf(pressed, Rgb(clBlack)), moved) << dir;
    EXPECT_EQ(BoxOf(disabled, Rgb(128, 128, 128)), o) << dir;
    EXPECT_EQ(BoxOf(disabledPressed, Rgb(128, 128, 128)), o) << dir;
    EXPECT_TRUE(BoxOf(disabled, Rgb(clBlack)).IsEmpty());
  }
  // An unknown direction draws nothing but leaves the pen and brush as they were.
  TestSurface none(15, 15);
  none.Canvas()->Brush()->SetColor(clRed);
  PaintArrowGlyph(none.Canvas(), TRect(0, 0, 15, 15), false, 7, false, true);
  EXPECT_TRUE(BoxOf(none, Rgb(clBlack)).IsEmpty());
  EXPECT_EQ(none.Canvas()->Brush()->Color(), clRed);
  EXPECT_EQ(none.Canvas()->Pen()->Style(), psSolid);
  // The drop-down and close marks.
  TestSurface drop(15, 15), close(15, 15);
  PaintDropDownGlyph(drop.Canvas(), TRect(0, 0, 15, 15), false, false, true);
  PaintCloseGlyph(close.Canvas(), TRect(0, 0, 15, 15), false, false, true);
  EXPECT_FALSE(BoxOf(drop, Rgb(clBlack)).IsEmpty());
  EXPECT_EQ(BoxOf(close, Rgb(clBlack)).Width(), 9);
  EXPECT_EQ(BoxOf(close, Rgb(clBlack)).Height(), 10);
}

TEST(CvGlyphs, FocusAndHighlightFrames) {
  TestSurface s(9, 7, clWhite);
  EXPECT_EQ(PaintFocusFrame(s.Canvas(), TRect(0, 0, 9, 7)), TRect(1, 1, 8, 6));
  EXPECT_EQ(s.At(0, 1), Rgb(clBlack));
  EXPECT_EQ(s.At(0, 2), Rgb(clWhite));
  EXPECT_EQ(s.At(1, 0), Rgb(clBlack));
  EXPECT_EQ(s.At(4, 3), Rgb(clWhite));
  PaintFocusFrame(s.Canvas(), TRect(0, 0, 9, 7));
  EXPECT_EQ(BoxOf(s, Rgb(clBlack)), TRect(1000, 1000, -1, -1));

  TestSurface h(10, 10);
  PaintHighlightFrame(h.Canvas(), TRect(0, 0, 10, 10), TGradientDirection::gdHorizontalEnd, clRed, clBlue);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool interior = x >= 2 && x < 8 && y >= 2 && y < 8;
      EXPECT_EQ(h.At(x, y) == Rgb(clFuchsia), interior) << x << "," << y;
    }
  // The clipping is the canvas's own again afterwards.
  h.Canvas()->Brush()->SetColor(clLime);
  h.Canvas()->FillRect(TRect(0, 0, 10, 10));
  EXPECT_EQ(h.At(5, 5), Rgb(clLime));
  // Nothing on palette screens.
  DisplayIsFullColor = false;
  TestSurface p(10, 10);
  PaintHighlightFrame(p.Canvas(), TRect(0, 0, 10, 10), TGradientDirection::gdHorizontalEnd, clRed, clBlue);
  DisplayIsFullColor = true;
  EXPECT_EQ(p.At(0, 0), Rgb(clFuchsia));
}

}  // namespace
