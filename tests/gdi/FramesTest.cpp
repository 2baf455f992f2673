// The classic frames: DrawEdge, DrawFrameControl and DrawButtonFace.
#include "tests/gdi/GdiTestSupport.h"

namespace {
// H highlight and window (white), f face and 3-D light, s shadow, D dark shadow, # black,
// '.' untouched.
std::map<COLORREF, char> Classic() {
  return {{GetSysColor(COLOR_BTNHIGHLIGHT), 'H'}, {GetSysColor(COLOR_BTNFACE), 'f'},
          {GetSysColor(COLOR_BTNSHADOW), 's'},    {GetSysColor(COLOR_3DDKSHADOW), 'D'},
          {0x000000, '#'},                        {0x00FF00, '.'}};
}

std::string Edge(UINT edge, UINT flags, TRect* out = nullptr) {
  TestCanvas c(7, 5);
  c.Clear(0x00FF00);
  TRect r(0, 0, 6, 5);
  EXPECT_TRUE(DrawEdge(c.dc(), r, edge, flags));
  if (out) *out = r;
  return c.Map(Classic());
}
}  // namespace

TEST(GdiFrames, DrawEdgeRingsAndColours) {
  // Outer ring first; the right and bottom colours own the top-right and bottom-left corners.
  EXPECT_EQ(Edge(EDGE_RAISED, BF_RECT), Rows({"fffffD.", "fHHHsD.", "fH..sD.", "fssssD.", "DDDDDD."}));
  EXPECT_EQ(Edge(EDGE_SUNKEN, BF_RECT), Rows({"sssssH.", "sDDDfH.", "sD..fH.", "sffffH.", "HHHHHH."}));
  EXPECT_EQ(Edge(EDGE_ETCHED, BF_RECT), Rows({"sssssH.", "sHHHsH.", "sH..sH.", "sssssH.", "HHHHHH."}));
  EXPECT_EQ(Edge(EDGE_BUMP, BF_RECT), Rows({"fffffD.", "fDDDfD.", "fD..fD.", "fffffD.", "DDDDDD."}));
  // Soft edges brighten the upper-left; flat and mono edges are single-coloured rings.
  EXPECT_EQ(Edge(EDGE_RAISED, BF_RECT | BF_SOFT), Rows({"HHHHHD.", "HfffsD.", "Hf..sD.", "HssssD.", "DDDDDD."}));
  EXPECT_EQ(Edge(EDGE_SUNKEN, BF_RECT | BF_FLAT | BF_MIDDLE),
            Rows({"ssssss.", "sffffs.", "sffffs.", "sffffs.", "ssssss."}));
  EXPECT_EQ(Edge(BDR_RAISEDOUTER, BF_RECT | BF_MONO | BF_MIDDLE),
            Rows({"######.", "#HHHH#.", "#HHHH#.", "#HHHH#.", "######."}));
  // A single inner ring is drawn at the outside; BF_ADJUST shrinks the rectangle by the rings
  // drawn on the chosen sides only.
  TRect r;
  EXPECT_EQ(Edge(BDR_SUNKENINNER, BF_LEFT | BF_BOTTOM | BF_ADJUST | BF_MIDDLE, &r),
            Rows({"Dfffff.", "Dfffff.", "Dfffff.", "Dfffff.", "ffffff."}));
  EXPECT_EQ(r, TRect(1, 0, 6, 4));
  Edge(EDGE_RAISED, BF_RECT | BF_ADJUST, &r);
  EXPECT_EQ(r, TRect(2, 2, 4, 3));
  EXPECT_FALSE(DrawEdge(nullptr, r, EDGE_RAISED, BF_RECT));
  // Diagonal edges run from corner to corner of any box, towards the corner named; the inner
  // ring is the line moved one pixel towards the top (lines going up) or the bottom.
  for (const auto& [flags, map] :
       {std::pair{BF_DIAGONAL_ENDTOPRIGHT, Rows({"....ssDD.", "..ssDD...", "ssDD.....", "DD.......", "........."})},
        std::pair{BF_DIAGONAL_ENDTOPLEFT, Rows({"ffHH.....", "..ffHH...", "....ffHH.", "......ff.", "........."})}}) {
    TestCanvas c(9, 5);
    c.Clear(0x00FF00);
    TRect box(0, 0, 8, 4);
    EXPECT_TRUE(DrawEdge(c.dc(), box, EDGE_RAISED, flags));
    EXPECT_EQ(c.Map(Classic()), map) << flags;
  }
  TestCanvas big(4, 4);
  TRect huge(INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2);
  EXPECT_TRUE(DrawEdge(big.dc(), huge, EDGE_SUNKEN, BF_DIAGONAL_ENDBOTTOMRIGHT));  // only the visible steps
}

TEST(GdiFrames, CheckBoxRadioAndComboButton) {
  TestCanvas c(13, 13);
  c.Clear(0x00FF00);
  TRect r(0, 0, 13, 13);
  EXPECT_TRUE(DrawFrameControl(c.dc(), r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED));
  EXPECT_EQ(c.Map(Classic()), Rows({"ssssssssssssH", "sDDDDDDDDDDfH", "sDHHHHHHHHHfH", "sDHHHHHHH#HfH",
                                    "sDHHHHHH##HfH", "sDH#HHH###HfH", "sDH##H###HHfH", "sDH#####HHHfH",
                                    "sDHH###HHHHfH", "sDHHH#HHHHHfH", "sDHHHHHHHHHfH", "sfffffffffffH",
                                    "HHHHHHHHHHHHH"}));
  // Inactive: a face-coloured box with a shadow-coloured mark.
  c.Clear(0x00FF00);
  DrawFrameControl(c.dc(), r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE);
  EXPECT_EQ(c.At(5, 5), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(c.At(3, 5), GetSysColor(COLOR_BTNSHADOW));
  // Flat: a one-pixel shadow frame around the window-coloured box.
  c.Clear(0x00FF00);
  DrawFrameControl(c.dc(), r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT);
  EXPECT_EQ(c.At(0, 0), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(c.At(12, 12), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(c.At(1, 1), GetSysColor(COLOR_WINDOW));
  c.Clear(0x00FF00);
  EXPECT_TRUE(DrawFrameControl(c.dc(), r, DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED));
  EXPECT_EQ(c.Map(Classic()), Rows({"....ssss.....", "..ssDDDDss...", ".sDDHHHHDfH..", ".sDHHHHHHfH..",
                                    "sDHHH##HHHfH.", "sDHH####HHfH.", "sDHH####HHfH.", "sDHHH##HHHfH.",
                                    ".sDHHHHHHfH..", ".sffHHHHffH..", "..HHffffHH...", "....HHHH.....",
                                    "............."}));
  c.Clear(0x00FF00);
  EXPECT_TRUE(DrawFrameControl(c.dc(), r, DFC_SCROLL, DFCS_SCROLLCOMBOBOX));
  EXPECT_EQ(c.Map(Classic()), Rows({"HHHHHHHHHHHHD", "HffffffffffsD", "HffffffffffsD", "HffffffffffsD",
                                    "HffffffffffsD", "Hfff#####ffsD", "Hffff###fffsD", "Hfffff#ffffsD",
                                    "HffffffffffsD", "HffffffffffsD", "HffffffffffsD", "HsssssssssssD",
                                    "DDDDDDDDDDDDD"}));
  // Pushed: a dark ring, a shadow ring, and the arrow one pixel down and right.
  c.Clear(0x00FF00);
  DrawFrameControl(c.dc(), r, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | DFCS_PUSHED);
  EXPECT_EQ(c.Map(Classic()), Rows({"DDDDDDDDDDDDD", "DsssssssssssD", "DsfffffffffsD", "DsfffffffffsD",
                                    "DsfffffffffsD", "DsfffffffffsD", "Dsfff#####fsD", "Dsffff###ffsD",
                                    "Dsfffff#fffsD", "DsfffffffffsD", "DsfffffffffsD", "DsssssssssssD",
                                    "DDDDDDDDDDDDD"}));
  EXPECT_FALSE(DrawFrameControl(c.dc(), r, DFC_CAPTION, DFCS_CAPTIONCLOSE));
  // Push buttons: soft raised rings, or dark and shadow rings when pushed.
  struct Push {
    UINT state;
    int32_t outer, inner, face;
  } pushes[] = {{DFCS_BUTTONPUSH, COLOR_BTNHIGHLIGHT, COLOR_3DLIGHT, COLOR_BTNFACE},
                {DFCS_BUTTONPUSH | DFCS_PUSHED, COLOR_3DDKSHADOW, COLOR_BTNSHADOW, COLOR_BTNFACE},
                {DFCS_BUTTONPUSH | DFCS_FLAT, COLOR_BTNSHADOW, COLOR_BTNFACE, COLOR_BTNFACE}};
  for (const Push& p : pushes) {
    c.Clear(0x00FF00);
    DrawFrameControl(c.dc(), r, DFC_BUTTON, p.state);
    EXPECT_EQ(c.At(0, 5), GetSysColor(p.outer)) << p.state;
    EXPECT_EQ(c.At(1, 5), GetSysColor(p.inner)) << p.state;
    EXPECT_EQ(c.At(6, 6), GetSysColor(p.face)) << p.state;
  }
  // A checked three-state box: face-coloured inside, the mark in the shadow colour.
  c.Clear(0x00FF00);
  DrawFrameControl(c.dc(), r, DFC_BUTTON, DFCS_BUTTON3STATE | DFCS_CHECKED);
  EXPECT_EQ(c.At(5, 3), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(c.At(5, 8), GetSysColor(COLOR_BTNSHADOW));
}

TEST(GdiFrames, ButtonFaceStyles) {
  TestCanvas c(8, 6);
  c.Clear(0x00FF00);
  TRect inner = DrawButtonFace(c.dc(), TRect(0, 0, 8, 6), 1, TButtonStyle::bsNew, false, false, false);
  EXPECT_EQ(c.Map(Classic()), Rows({"HHHHHHHD", "HfffffsD", "HfffffsD", "HfffffsD", "HssssssD", "DDDDDDDD"}));
  EXPECT_EQ(inner, TRect(1, 1, 6, 4));
  c.Clear(0x00FF00);
  inner = DrawButtonFace(c.dc(), TRect(0, 0, 8, 6), 1, TButtonStyle::bsNew, false, true, false);
  EXPECT_EQ(c.Map(Classic()), Rows({"DDDDDDDH", "DssssssH", "DsfffffH", "DsfffffH", "DsfffffH", "HHHHHHHH"}));
  EXPECT_EQ(inner, TRect(2, 2, 7, 5));
  c.Clear(0x00FF00);
  DrawButtonFace(c.dc(), TRect(0, 0, 8, 6), 1, TButtonStyle::bsWin31, true, false, true);
  EXPECT_EQ(c.Map(Classic()), Rows({"f######f", "########", "##HHHs##", "##ssss##", "########", "f######f"}));
}
