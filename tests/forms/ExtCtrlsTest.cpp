#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/forms/ExtCtrls.h"
#include "platform/forms/FormLoader.h"
#include "tests/forms/TestHost.h"

namespace {

class ExtCtrlsTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    ExtCtrlsRegisterClasses();
    form_ = NewForm(300, 200);
    form_->SetColor(clWhite);
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }
  static void FillBitmap(TBitmap* b, int32_t W, int32_t H, TColor C) {
    b->SetSize(W, H);
    b->Canvas()->Brush()->SetColor(C);
    b->Canvas()->FillRect(TRect(0, 0, W, H));
  }
  static TColorRef Rgb(TColor c) { return static_cast<TColorRef>(ColorToRGB(c)); }
  std::unique_ptr<TForm> form_;
};

TEST_F(ExtCtrlsTest, ImageDestRect) {
  struct Case {
    int32_t PicW, PicH;
    bool Stretch, Proportional, Center;
    TRect Expected;
  } cases[] = {
      {100, 50, false, false, false, TRect(0, 0, 100, 50)},
      {100, 50, false, false, true, TRect(50, 75, 150, 125)},
      {100, 50, true, false, false, TRect(0, 0, 200, 200)},
      {100, 50, true, true, false, TRect(0, 0, 200, 100)},
      {50, 100, true, true, true, TRect(50, 0, 150, 200)},
      {400, 100, false, true, false, TRect(0, 0, 200, 50)},   // larger: scaled down
      {100, 400, false, true, true, TRect(75, 0, 125, 200)},
      {100, 50, false, true, false, TRect(0, 0, 100, 50)},    // smaller: kept
      {300, 300, false, false, true, TRect(-50, -50, 250, 250)},
  };
  auto* image = new TImage(form_.get());  // owned by the form
  image->SetBounds(0, 0, 200, 200);
  image->SetParent(form_.get());
  for (const Case& c : cases) {
    TBitmap b;
    FillBitmap(&b, c.PicW, c.PicH, clRed);
    image->Picture()->SetBitmap(&b);
    image->SetStretch(c.Stretch);
    image->SetProportional(c.Proportional);
    image->SetCenter(c.Center);
    EXPECT_EQ(image->DestRect(), c.Expected)
        << c.PicW << "x" << c.PicH << " " << c.Stretch << c.Proportional << c.Center;
  }
}

TEST_F(ExtCtrlsTest, ImagePaintsCanvasAndAutoSize) {
  auto* image = new TImage(form_.get());  // owned by the form
  image->SetBounds(10, 10, 40, 30);
  image->SetParent(form_.get());
  // Drawing on the canvas of an empty image makes a bitmap of the control's size.
  TCanvas* canvas = image->Canvas();
  EXPECT_EQ(image->Picture()->Width(), 40);
  canvas->Brush()->SetColor(clBlue);
  canvas->FillRect(TRect(0, 0, 40, 30));
  Pump();
  EXPECT_EQ(Pixel(form_.get(), 10, 10), Rgb(clBlue));
  EXPECT_EQ(Pixel(form_.get(), 49, 39), Rgb(clBlue));
  EXPECT_EQ(Pixel(form_.get(), 50, 40), Rgb(clWhite));
  // Stretched over a larger control.
  image->SetStretch(true);
  image->SetBounds(10, 10, 80, 60);
  Pump();
  EXPECT_EQ(Pixel(form_.get(), 89, 69), Rgb(clBlue));
  // AutoSize follows the picture.
  image->SetAutoSize(true);
  TBitmap b;
  FillBitmap(&b, 25, 15, clRed);
  image->Picture()->SetBitmap(&b);
  EXPECT_EQ(image->Width(), 25);
  EXPECT_EQ(image->Height(), 15);
  // Only a bitmap has a canvas.
  TIcon icon;
  image->Picture()->SetIcon(&icon);
  EXPECT_THROW(image->Canvas(), EInvalidOperation);
}

TEST_F(ExtCtrlsTest, ImagePictureStoredInTheFormDescription) {
  TComponent owner(nullptr);
  auto* image = new TImage(&owner);  // owned by owner
  image->SetName("Image1");
  TBitmap b;
  FillBitmap(&b, 3, 2, clLime);
  image->Picture()->SetBitmap(&b);
  const std::string text = WriteComponentToText(&owner);
  ASSERT_NE(text.find("Picture.Data = {"), std::string::npos) << text;
  TComponent again(nullptr);
  LoadFormFromText(&again, text);
  auto* read = dynamic_cast<TImage*>(again.FindComponent("Image1"));
  ASSERT_NE(read, nullptr);
  TBitmap* bitmap = read->Picture()->Bitmap();
  ASSERT_EQ(bitmap->Width(), 3);
  EXPECT_EQ(bitmap->Canvas()->Pixels(2, 1), ColorToRGB(clLime));
  // A byte count that runs past the data is refused, not read.
  const std::string bad =
      "object Owner: TComponent\n  object Image1: TImage\n"
      "    Picture.Data = {07544269746D6170FFFFFF7F424D}\n  end\nend\n";
  TComponent broken(nullptr);
  EXPECT_THROW(LoadFormFromText(&broken, bad), EReadError);
}

TEST_F(ExtCtrlsTest, BevelShapes) {
  const TColorRef shadow = Rgb(clBtnShadow), light = Rgb(clBtnHighlight);
  struct Probe {
    int32_t X, Y;
    bool Shadow;  // the lowered style's colour there
  };
  struct Case {
    TBevelShape Shape;
    Probe A, B;
  } cases[] = {
      {bsBox, {0, 0, true}, {39, 29, false}},
      {bsFrame, {0, 0, true}, {1, 1, false}},
      {bsTopLine, {5, 0, true}, {5, 1, false}},
      {bsBottomLine, {5, 28, true}, {5, 29, false}},
      {bsLeftLine, {0, 5, true}, {1, 5, false}},
      {bsRightLine, {38, 5, true}, {39, 5, false}},
  };
  auto* bevel = new TBevel(form_.get());  // owned by the form
  bevel->SetBounds(20, 20, 40, 30);
  bevel->SetParent(form_.get());
  for (const Case& c : cases) {
    for (TBevelStyle style : {bsLowered, bsRaised}) {
      bevel->SetShape(c.Shape);
      bevel->SetStyle(style);
      Pump();
      for (const Probe& p : {c.A, c.B}) {
        const bool shadowHere = style == bsLowered ? p.Shadow : !p.Shadow;
        EXPECT_EQ(Pixel(form_.get(), 20 + p.X, 20 + p.Y), shadowHere ? shadow : light)
            << static_cast<int>(c.Shape) << " " << static_cast<int>(style) << " at " << p.X << "," << p.Y;
      }
    }
  }
  // The middle stays the form's; a spacer draws nothing.
  EXPECT_EQ(Pixel(form_.get(), 40, 35), Rgb(clWhite));
  bevel->SetShape(bsSpacer);
  Pump();
  EXPECT_EQ(Pixel(form_.get(), 20, 20), Rgb(clWhite));
}

TEST_F(ExtCtrlsTest, PanelBevelsClientAreaAndCaption) {
  const TColorRef shadow = Rgb(clBtnShadow), light = Rgb(clBtnHighlight), face = Rgb(clBtnFace);
  auto* panel = new TPanel(form_.get());  // owned by the form
  panel->SetBounds(10, 10, 120, 60);
  panel->SetParent(form_.get());
  auto* child = new TPanel(form_.get());
  child->SetParent(panel);
  child->SetBevelOuter(bvNone);
  child->SetColor(clRed);
  child->SetAlign(alClient);
  struct Case {
    TBevelCut Outer, Inner;
    int32_t Width;
    TColorRef TopLeft, BottomRight;  // the outermost ring (0: none to see)
    int32_t Inset;                   // where the aligned child begins
  } cases[] = {
      {bvRaised, bvNone, 1, light, shadow, 1},
      {bvLowered, bvNone, 1, shadow, light, 1},
      {bvRaised, bvLowered, 2, light, shadow, 4},
      {bvNone, bvNone, 1, 0, 0, 0},
      {bvSpace, bvNone, 3, face, face, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.Outer) << " " << int(c.Inner) << " " << c.Width);
    panel->SetBevelOuter(c.Outer);
    panel->SetBevelInner(c.Inner);
    panel->SetBevelWidth(c.Width);
    Pump();
    EXPECT_EQ(child->BoundsRect(), TRect(c.Inset, c.Inset, 120 - c.Inset, 60 - c.Inset));
    if (c.TopLeft) {
      EXPECT_EQ(Pixel(panel, 0, 30), c.TopLeft);
      EXPECT_EQ(Pixel(panel, 60, 0), c.TopLeft);
      EXPECT_EQ(Pixel(panel, 119, 30), c.BottomRight);
      EXPECT_EQ(Pixel(panel, 60, 59), c.BottomRight);
    }
    // The child paints itself in its own colour.
    EXPECT_EQ(Pixel(child, 0, 0), Rgb(clRed));
  }
  // Without children the face colour fills the inside and the caption sits in the middle.
  delete child;
  panel->SetBevelOuter(bvRaised);
  panel->SetBevelInner(bvNone);
  panel->SetBevelWidth(1);
  panel->SetCaption("MMMM");
  Pump();
  EXPECT_EQ(Pixel(panel, 5, 30), face);
  int dark = 0;
  for (int x = 1; x < 119; ++x)
    for (int y = 1; y < 59; ++y) dark += Pixel(panel, x, y) != face && (x < 40 || x > 80 || y < 20 || y > 40);
  EXPECT_EQ(dark, 0) << "the caption stays in the middle";
  int inMiddle = 0;
  for (int x = 40; x <= 80; ++x)
    for (int y = 20; y <= 40; ++y) inMiddle += Pixel(panel, x, y) != face;
  EXPECT_GT(inMiddle, 0);
  // Stored in and read back from a form description.
  panel->SetName("Panel1");
  panel->SetBevelOuter(bvLowered);
  const std::string text = WriteComponentToText(form_.get());
  EXPECT_NE(text.find("BevelOuter = bvLowered"), std::string::npos) << text;
}

}  // namespace
