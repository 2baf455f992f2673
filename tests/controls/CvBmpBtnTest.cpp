// Bitmap buttons on real forms.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "controls/CvBmpBtn.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

// A W x H picture in Fill with an olive (transparent) top-left 3 x 3 corner.
std::unique_ptr<TBitmap> Picture(TColor Fill, int32_t W = 33, int32_t H = 23) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(W, H);
  b->Canvas()->Brush()->SetColor(Fill);
  b->Canvas()->FillRect(TRect(0, 0, W, H));
  b->Canvas()->Brush()->SetColor(clOlive);
  b->Canvas()->FillRect(TRect(0, 0, 3, 3));
  return b;
}

class CvBmpBtnTest : public ControlsFormTest {
 protected:
  TCvBmpButton* Button(int32_t L, int32_t T, int32_t Group = 0) {
    auto* b = Add<TCvBmpButton>(nullptr, L, T, 80, 30);
    b->Bitmaps()->SetUp(Picture(clRed).get());
    b->Bitmaps()->SetDown(Picture(clBlue).get());
    b->Bitmaps()->SetHot(Picture(clLime).get());
    b->SetGroupIndex(Group);
    b->SetOnClick([this, b](TObject*) { clicks_.push_back(b); });
    return b;
  }
  std::vector<TObject*> clicks_;
};

TEST_F(CvBmpBtnTest, GroupLatching) {
  TCvBmpButton* a = Button(10, 10, 2);
  TCvBmpButton* b = Button(50, 10, 2);
  a->SetDown(true);
  Click(b, 5, 5);
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  EXPECT_EQ(clicks_, (std::vector<TObject*>{b}));
  // The latched member clicks again and stays down.
  Click(b, 5, 5);
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(clicks_.size(), 2u);
  a->SetAllowAllUp(true);
  EXPECT_TRUE(b->AllowAllUp());
  Click(b, 5, 5);
  EXPECT_FALSE(b->Down());
  // Ungrouped: never down.
  TCvBmpButton* loose = Button(90, 10);
  loose->SetDown(true);
  EXPECT_FALSE(loose->Down());
}

TEST_F(CvBmpBtnTest, ReleasesInsideAndOutside) {
  TCvBmpButton* a = Button(10, 10, 2);
  // Outside: no click, no latch.
  MouseDown(a, 5, 5);
  EXPECT_EQ(a->State(), 2);
  MouseUp(a, 5, 40);
  EXPECT_TRUE(clicks_.empty());
  EXPECT_FALSE(a->Down());
  EXPECT_EQ(a->State(), 0);
  // The row just below the client area still counts as inside.
  MouseDown(a, 5, 5);
  MouseUp(a, 5, a->ClientHeight());
  EXPECT_TRUE(a->Down());
  EXPECT_EQ(clicks_.size(), 1u);
}

TEST_F(CvBmpBtnTest, KeysAndAccelerators) {
  TCvBmpButton* a = Button(10, 10, 2);
  a->SetCaption("&Left");
  a->SetFocus();
  Press(VK_RETURN);
  Pump();
  EXPECT_EQ(clicks_.size(), 1u);
  EXPECT_FALSE(a->Down());
  Press('L', "l", {ssAlt});
  Pump();
  EXPECT_EQ(clicks_.size(), 2u);
  EXPECT_FALSE(a->Down());
  // Space latches on its release.
  SimulateKey(true, VK_SPACE, " ");
  Pump();
  EXPECT_EQ(a->State(), 2);
  SimulateKey(false, VK_SPACE);
  Pump();
  EXPECT_TRUE(a->Down());
  EXPECT_EQ(clicks_.size(), 3u);
}

TEST_F(CvBmpBtnTest, SizeRule) {
  struct Case {
    TButtonBorder Border;
    TButtonStyle Style;
    int32_t W, H;
  };
  const Case cases[] = {
      {bbNone, TButtonStyle::bsAutoDetect, 33, 23},  {bbSingle, TButtonStyle::bsAutoDetect, 35, 25},
      {bbButton, TButtonStyle::bsAutoDetect, 37, 27}, {bbButton, TButtonStyle::bsNew, 37, 27},
      {bbButton, TButtonStyle::bsWin31, 39, 29},
  };
  TCvBmpButton* b = Button(10, 10);
  for (const Case& c : cases) {
    b->SetButtonStyle(c.Style);
    b->SetButtonBorder(c.Border);
    EXPECT_EQ(b->Width(), c.W);
    EXPECT_EQ(b->Height(), c.H);
  }
  // Without an up picture the size stays.
  auto* bare = Add<TCvBmpButton>(nullptr, 10, 50, 60, 20);
  bare->SetButtonBorder(bbSingle);
  EXPECT_EQ(bare->Width(), 60);
  // A margin below -1 is ignored.
  b->SetMargin(5);
  b->SetMargin(-2);
  EXPECT_EQ(b->Margin(), 5);
}

TEST_F(CvBmpBtnTest, PicturesByState) {
  TCvBmpButton* a = Button(10, 10, 2);
  Pump();
  EXPECT_EQ(Pixel(a, 10, 10), Rgb(clRed));
  // The olive corner shows the form.
  EXPECT_EQ(Pixel(a, 1, 1), Rgb(clTeal));
  MouseMove(a, 10, 10);
  Pump();
  EXPECT_EQ(Pixel(a, 10, 10), Rgb(clLime));
  // Latched: Down (no StayDown) even under the mouse; with StayDown that one.
  Click(a, 10, 10);
  Pump();
  EXPECT_EQ(Pixel(a, 10, 10), Rgb(clBlue));
  a->Bitmaps()->SetStayDown(Picture(clYellow).get());
  Pump();
  EXPECT_EQ(Pixel(a, 10, 10), Rgb(clYellow));
  EXPECT_EQ(Pixel(a, 1, 1), Rgb(clTeal));
}

TEST_F(CvBmpBtnTest, GeneratedDisabledPicture) {
  auto* b = Add<TCvBmpButton>(nullptr, 10, 10, 80, 30);
  auto up = Picture(clWhite, 20, 16);
  up->Canvas()->Brush()->SetColor(clWhite);
  up->Canvas()->FillRect(TRect(0, 0, 3, 3));
  up->Canvas()->Brush()->SetColor(clBlack);
  up->Canvas()->FillRect(TRect(4, 4, 8, 8));
  b->Bitmaps()->SetUp(up.get());
  b->SetEnabled(false);
  Pump();
  EXPECT_EQ(Pixel(b, 4, 4), Rgb(128, 128, 128));
  EXPECT_EQ(Pixel(b, 7, 7), Rgb(128, 128, 128));
  EXPECT_EQ(Pixel(b, 8, 8), Rgb(255, 255, 255));
  EXPECT_EQ(Pixel(b, 0, 0), Rgb(212, 208, 200));
  EXPECT_EQ(Pixel(b, 12, 12), Rgb(212, 208, 200));
}

TEST_F(CvBmpBtnTest, DownPatternOfABorderedButton) {
  TCvBmpButton* a = Button(10, 10, 2);
  a->Bitmaps()->SetUp(Picture(clOlive).get());
  a->Bitmaps()->SetDown(Picture(clOlive).get());
  a->SetButtonBorder(bbButton);
  a->SetDown(true);
  Pump();
  ASSERT_NE(TCvBmpButton::DownPattern(), nullptr);
  // Inside the sunken face: clBtnFace with white where the parities agree.
  EXPECT_EQ(Pixel(a, 10, 10), Rgb(255, 255, 255));
  EXPECT_EQ(Pixel(a, 11, 10), Rgb(212, 208, 200));
  EXPECT_EQ(Pixel(a, 11, 11), Rgb(255, 255, 255));
}

}  // namespace
