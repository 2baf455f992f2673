// Track bars on real forms.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

#include "controls/CvTrkBar.h"
#include "platform/forms/StdCtrls.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

using TTS = TThumbStyle;

TColor Color(int r, int g, int b) { return static_cast<TColor>(Rgb(r, g, b)); }

// An 18 x 18 thumb strip of three frames: red with a black corner, its mask (the top-left 2 x 2
// white: the track shows there), and blue.
std::unique_ptr<TBitmap> Thumb() {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(54, 18);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clRed);
  c->FillRect(TRect(0, 0, 18, 18));
  c->Brush()->SetColor(clBlack);
  c->FillRect(TRect(0, 0, 2, 2));
  c->FillRect(TRect(18, 0, 36, 18));
  c->Brush()->SetColor(clWhite);
  c->FillRect(TRect(18, 0, 20, 2));
  c->Brush()->SetColor(clBlue);
  c->FillRect(TRect(36, 0, 54, 18));
  c->Brush()->SetColor(clBlack);
  c->FillRect(TRect(36, 0, 38, 2));
  return b;
}

class CvTrkBarTest : public ControlsFormTest {
 protected:
  // The application's bar: 181 x 24, 0..100, the custom thumb, a flat track of width 4 at 10.
  TCvTrackBar* AppBar(int32_t L = 10, int32_t T = 10) {
    auto* bar = Add<TCvTrackBar>(nullptr, L, T, 181, 24);
    bar->SetMax(100);
    bar->SetShowTicks(false);
    bar->SetCustomThumb(Thumb().get());
    bar->SetTrackColor(Color(226, 240, 246));
    bar->SetTrackFrameColor(Color(50, 152, 204));
    bar->SetTrackOffset(10);
    bar->SetTrackFrame(TFrameStyleEx::fsFlat);
    bar->SetTrackWidth(4);
    bar->SetColor(clWhite);
    bar->SetOnChange([this](TObject*) { ++changes_; });
    return bar;
  }
  int changes_ = 0;
};

TEST_F(CvTrkBarTest, ApplicationBarGeometryAndPixels) {
  TCvTrackBar* bar = AppBar();
  EXPECT_EQ(bar->ThumbStyle(), TTS::tsCustom);
  EXPECT_EQ(bar->TrackWidth(), 4);
  Pump();
  EXPECT_EQ(bar->TrackRect(), TRect(13, 10, 168, 14));
  EXPECT_EQ(Pixel(bar, 40, 10), Rgb(50, 152, 204));
  EXPECT_EQ(Pixel(bar, 167, 13), Rgb(50, 152, 204));
  EXPECT_EQ(Pixel(bar, 40, 11), Rgb(226, 240, 246));
  for (int32_t p : {0, 37, 50, 100}) {
    bar->SetPosition(p);
    const int32_t left = 4 + 155 * p / 100;
    EXPECT_EQ(bar->ThumbRect(), TRect(left, 3, left + 18, 21)) << p;
    // The thumb through its mask: the track shows at the white corner of the mask.
    EXPECT_EQ(Pixel(bar, left + 5, 8), Rgb(clRed)) << p;
    EXPECT_EQ(Pixel(bar, left, 3), Rgb(clWhite)) << p;
    EXPECT_EQ(Pixel(bar, left + 17, 20), Rgb(clRed)) << p;
  }
  // What the thumb left is the background again.
  EXPECT_EQ(Pixel(bar, 6, 8), Rgb(clWhite));
  EXPECT_EQ(Pixel(bar, 14, 11), Rgb(226, 240, 246));
  bar->SetEnabled(false);
  Pump();
  EXPECT_EQ(Pixel(bar, 4 + 155 + 5, 8), Rgb(clBlue));
  // A disabled track is filled with the face colour.
  EXPECT_EQ(Pixel(bar, 40, 11), Rgb(212, 208, 200));
}

TEST_F(CvTrkBarTest, RangeSelectionAndWidthRules) {
  TCvTrackBar* bar = AppBar();
  bar->SetSelStart(20);
  bar->SetSelEnd(10);
  EXPECT_EQ(bar->SelEnd(), 20);
  bar->SetSelStart(300);
  EXPECT_EQ(bar->SelStart(), 20);
  bar->SetMin(10);
  bar->SetMax(10);
  EXPECT_EQ(bar->Max(), 11);
  bar->SetMin(20);
  EXPECT_EQ(bar->Min(), 10);
  bar->SetMax(100);
  bar->SetMin(0);
  bar->SetTrackWidth(2);
  EXPECT_EQ(bar->TrackWidth(), 4);
  // The whole 32-bit range works, with the thumb at its ends.
  bar->SetMin(std::numeric_limits<int32_t>::min());
  bar->SetMax(std::numeric_limits<int32_t>::max());
  bar->SetPosition(std::numeric_limits<int32_t>::max());
  Pump();
  EXPECT_EQ(bar->ThumbRect().Left, 4 + 155);
  bar->SetPosition(std::numeric_limits<int32_t>::min());
  EXPECT_EQ(bar->ThumbRect().Left, 4);
  bar->SetMin(std::numeric_limits<int32_t>::max());
  EXPECT_EQ(bar->Min(), std::numeric_limits<int32_t>::max() - 1);
  EXPECT_EQ(bar->Max(), std::numeric_limits<int32_t>::max());
}

TEST_F(CvTrkBarTest, PositionAndItsEvents) {
  TCvTrackBar* bar = AppBar();
  bar->SetPosition(150);
  EXPECT_EQ(bar->Position(), 100);
  EXPECT_EQ(changes_, 1);
  bar->SetPosition(100);
  EXPECT_EQ(changes_, 1);
  bar->SetOnChanging([](TObject*, int32_t NewPos, bool& Allow) { Allow = NewPos != 40; });
  bar->SetPosition(40);
  EXPECT_EQ(bar->Position(), 100);
  EXPECT_EQ(changes_, 1);
  bar->SetPosition(41);
  EXPECT_EQ(bar->Position(), 41);
  EXPECT_EQ(changes_, 2);
}

TEST_F(CvTrkBarTest, PagingRepeatsUntilTheThumbPassesThePointer) {
  TCvTrackBar* bar = AppBar();
  bar->SetPageSize(10);
  Pump();
  // Pressed on the track at x 60 (value about 36): pages at once, after 200 ms and every 100 ms.
  MouseDown(bar, 60, 12);
  EXPECT_EQ(bar->Position(), 10);
  AdvanceTime(199);
  EXPECT_EQ(bar->Position(), 10);
  AdvanceTime(1);
  EXPECT_EQ(bar->Position(), 20);
  AdvanceTime(100);
  EXPECT_EQ(bar->Position(), 30);
  // The thumb (50..68) has reached the pointer: no more pages.
  AdvanceTime(500);
  EXPECT_EQ(bar->Position(), 30);
  EXPECT_FALSE(bar->Paging());
  MouseUp(bar, 60, 12);
}

TEST_F(CvTrkBarTest, DraggingRoundsHalfToEven) {
  TCvTrackBar* bar = AppBar();
  bar->SetMax(10);
  Pump();
  // The thumb (18 wide) starts at 4; its centre is at 13, the track at 13..168 (155 long).
  MouseDown(bar, 13, 12);
  EXPECT_TRUE(bar->Dragging());
  struct Case {
    int32_t X, Position;
  };
  // f = (X - 13) / 155; 10 f: 77.5 -> 5 (half to even), 61.
  for (const Case& c : {Case{13 + 77, 5}, Case{13 + 78, 5}, Case{13 + 155, 10}, Case{300, 10}, Case{-50, 0},
                        Case{13 + 23, 1}, Case{13 + 24, 2}}) {
    MouseMove(bar, c.X, 12);
    EXPECT_EQ(bar->Position(), c.Position) << c.X;
  }
  MouseUp(bar, 0, 12);
  EXPECT_FALSE(bar->Dragging());
  // A bar too narrow for a track: a drag leaves the position.
  TCvTrackBar* narrow = AppBar(10, 100);
  narrow->SetBounds(10, 100, 20, 24);
  narrow->SetPosition(30);
  Pump();
  MouseDown(narrow, narrow->ThumbRect().Left + 2, 12);
  ASSERT_TRUE(narrow->Dragging());
  MouseMove(narrow, 15, 12);
  EXPECT_EQ(narrow->Position(), 30);
  MouseUp(narrow, 15, 12);
}

TEST_F(CvTrkBarTest, TallBarsTurnVertical) {
  auto* bar = Add<TCvTrackBar>(nullptr, 10, 10, 35, 200);
  bar->SetMax(100);
  EXPECT_EQ(bar->Orientation(), orVertical);
  bar->SetFocus();
  Press(VK_END);
  EXPECT_EQ(bar->Position(), 0);
  Press(VK_HOME);
  EXPECT_EQ(bar->Position(), 100);
  Pump();
  // Max at the top.
  EXPECT_EQ(bar->ThumbRect().Top, 4);
  Press(VK_DOWN);
  EXPECT_EQ(bar->Position(), 99);
  Press(VK_NEXT);
  EXPECT_EQ(bar->Position(), 98);
  bar->SetBounds(10, 10, 200, 35);
  EXPECT_EQ(bar->Orientation(), orHorizontal);
  Press(VK_END);
  EXPECT_EQ(bar->Position(), 100);
}

TEST_F(CvTrkBarTest, ThumbPicturesInTheMappedColours) {
  auto* bar = Add<TCvTrackBar>(nullptr, 10, 10, 200, 35);
  struct Case {
    TTS Style;
    TPointerType Pointer;
    int Image;  // 0 normal, 1 hot, 2 disabled
    int32_t X, Y;
    TColorRef Expected;
  };
  const TColorRef face = Rgb(clBtnFace), shadow = Rgb(clBtnShadow);
  const Case cases[] = {
      {TTS::tsBox, ptStandard, 0, 5, 10, face},                       // clSilver
      {TTS::tsBox, ptStandard, 0, 9, 5, shadow},                      // clGray
      {TTS::tsBox, ptStandard, 0, 10, 5, Rgb(cl3DDkShadow)},          // clOlive
      {TTS::tsBox, ptStandard, 0, 1, 5, Rgb(cl3DLight)},              // clYellow
      {TTS::tsBox, ptStandard, 0, 0, 5, Rgb(clWhite)},                // white stays
      {TTS::tsPointer, ptWin95, 0, 9, 5, Rgb(TintColor(clBtnShadow, 30))},  // clGreen
      {TTS::tsMixer, ptStandard, 0, 11, 5, Rgb(11, 36, 106)},         // clBlue: the highlight + 1
      {TTS::tsMixer, ptStandard, 0, 10, 5, Rgb(ShadeColor(clHighlight, 30))},  // clNavy
      {TTS::tsFlat, ptStandard, 1, 5, 5, Rgb(TintColor(clHighlight, 30))},     // clAqua
      {TTS::tsBox, ptStandard, 1, 10, 5, Rgb(240, 155, 20)},          // clRed: hot1
      {TTS::tsBox, ptStandard, 1, 9, 5, Rgb(240, 155, 20)},           // clMaroon: hot2
      {TTS::tsBox, ptStandard, 1, 5, 10, Rgb(251, 230, 195)},         // clFuchsia: hot3
      {TTS::tsBox, ptStandard, 2, 10, 5, shadow},                     // clTeal
      {TTS::tsFlat, ptStandard, 0, 0, 5, Rgb(96, 96, 96)},            // clPurple
      {TTS::tsBox, ptStandard, 2, 9, 5, Rgb(TintColor(clBtnShadow, 30))},  // clLime
  };
  for (const Case& c : cases) {
    bar->SetThumbStyle(c.Style);
    bar->SetPointerType(c.Pointer);
    TBitmap* images[] = {bar->ThumbImage(), bar->ThumbHotImage(), bar->ThumbDisabledImage()};
    EXPECT_EQ(static_cast<TColorRef>(images[c.Image]->Canvas()->Pixels(c.X, c.Y)) & 0xFFFFFF, c.Expected)
        << static_cast<int>(c.Style) << " " << c.X << "," << c.Y;
  }
  // The sizes of the sets, and the track widths the styles bring.
  bar->SetThumbStyle(TTS::tsMixer);
  EXPECT_EQ(bar->ThumbImage()->Width(), 21);
  EXPECT_EQ(bar->ThumbImage()->Height(), 16);
  EXPECT_EQ(bar->TrackWidth(), 6);
  bar->SetThumbStyle(TTS::tsPointer);
  EXPECT_EQ(bar->TrackWidth(), 8);
  bar->SetBounds(10, 10, 35, 200);
  EXPECT_EQ(bar->ThumbImage()->Width(), 21);
  EXPECT_EQ(bar->ThumbImage()->Height(), 11);
  // The complementary hot colours: k, the opposite hue at luminance 140, and its shades.
  bar->SetThumbStyle(TTS::tsBox);
  bar->SetHotTrackColorType(htctComplement);
  const TColor k = OppositeHueColor(bar->HotTrackColor(), 140);
  EXPECT_EQ(static_cast<TColorRef>(bar->ThumbHotImage()->Canvas()->Pixels(10, 5)) & 0xFFFFFF, Rgb(k));
}

TEST_F(CvTrkBarTest, TicksAndTheSelection) {
  auto* bar = Add<TCvTrackBar>(nullptr, 10, 10, 200, 35);
  bar->SetThumbStyle(TTS::tsBox);
  bar->SetColor(clWhite);
  bar->SetTickColor(clRed);
  Pump();
  // Ticks at x = Trunc(i * (200 - 11 - 8) / 10) + 4 + 5, above and below a box thumb.
  for (int32_t i : {0, 3, 10}) {
    const int32_t x = static_cast<int32_t>(i * 181.0 / 10) + 9;
    EXPECT_EQ(Pixel(bar, x, 5), Rgb(clRed)) << i;
    // The lower tick of the first value lies under the thumb.
    if (i > 0) {
      EXPECT_EQ(Pixel(bar, x, 30), Rgb(clRed)) << i;
    }
  }
  // Owner-drawn ticks: each value, on the control and into the background copy.
  std::vector<int32_t> drawn;
  bar->SetTickStyle(tkOwnerDraw);
  bar->SetTickStep(5);
  bar->SetOnDrawTick([&](TCvTrackBar*, TCanvas*, TPoint, int32_t Index) { drawn.push_back(Index); });
  Pump();
  EXPECT_EQ(drawn, (std::vector<int32_t>{0, 5, 10, 0, 5, 10}));
  // A range wider than the bar: a tick per column at most, and the paint ends.
  drawn.clear();
  bar->SetMin(std::numeric_limits<int32_t>::min());
  bar->SetMax(std::numeric_limits<int32_t>::max());
  bar->SetTickStep(1);
  Pump();
  EXPECT_LE(drawn.size(), 2 * 182u);
  EXPECT_GE(drawn.size(), 2 * 180u);
  // The selection band between SelStart and SelEnd, with its end lines.
  bar->SetTickStyle(tkStandard);
  bar->SetMin(0);
  bar->SetMax(100);
  bar->SetSelStart(20);
  bar->SetSelEnd(60);
  bar->SetSelColor(clLime);
  bar->SetTrackFrameColor(clBlue);
  Pump();
  const TRect t = bar->TrackRect();
  const int32_t a = t.Left + t.Width() * 20 / 100, b = t.Left + t.Width() * 60 / 100;
  EXPECT_EQ(Pixel(bar, (a + b) / 2, t.Top + 3), Rgb(clLime));
  EXPECT_EQ(Pixel(bar, a, 2), Rgb(clBlue));
}

TEST_F(CvTrkBarTest, HotThumbAndTabOnEnter) {
  TCvTrackBar* bar = AppBar();
  auto* next = Add<TEdit>(nullptr, 10, 100, 80, 21);
  Pump();
  MouseMove(bar, 10, 12);
  EXPECT_TRUE(bar->ThumbHot());
  MouseMove(bar, 100, 12);
  EXPECT_FALSE(bar->ThumbHot());
  bar->SetTabOnEnter(true);
  bar->SetFocus();
  Press(VK_RETURN, "\r");
  Pump();
  EXPECT_TRUE(next->Focused());
}

}  // namespace
