#include <gtest/gtest.h>

#include "tests/forms/TestHost.h"

namespace {

class TPainter : public TCustomControl {
 public:
  TPainter(TComponent* AOwner, MessageLog* log) : TCustomControl(AOwner), log_(log) {}
  TColor Fill = clRed;
  int Paints = 0;
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_ERASEBKGND || m.Msg == WM_PAINT) log_->Add("p:" + MessageName(m.Msg));
    TCustomControl::WndProc(m);
  }

 protected:
  void Paint() override {
    ++Paints;
    log_->Add("p:paint");
    Canvas()->Brush()->SetColor(Fill);
    Canvas()->FillRect(ClientRect());
  }

 private:
  MessageLog* log_;
};

class TSpotPainter : public TGraphicControl {
 public:
  TSpotPainter(TComponent* AOwner, MessageLog* log) : TGraphicControl(AOwner), log_(log) {}

 protected:
  void Paint() override {
    log_->Add("spot:paint");
    Canvas()->Brush()->SetColor(clLime);
    Canvas()->FillRect(ClientRect());
  }

 private:
  MessageLog* log_;
};

class ControlsPaintTest : public FormsTest {
 protected:
  MessageLog log;
  std::unique_ptr<TForm> form;
  TPainter* p = nullptr;
  void SetUp() override {
    FormsTest::SetUp();
    form = NewForm(300, 200);
    p = new TPainter(form.get(), &log);  // owned by the form
    p->SetBounds(10, 10, 100, 80);
    p->SetParent(form.get());
    Pump();
  }
  void TearDown() override {
    form.reset();
    FormsTest::TearDown();
  }
};

TEST_F(ControlsPaintTest, EraseThenPaintThenWindowlessChildren) {
  auto* spot = new TSpotPainter(form.get(), &log);
  spot->SetBounds(20, 20, 10, 10);
  spot->SetParent(p);
  log.Clear();
  p->Invalidate();
  Pump();
  // The background is erased when painting begins (inside WM_PAINT, as on the platform), before
  // the control paints; windowless children come after their parent.
  EXPECT_EQ(log.Joined(), "p:WM_PAINT p:WM_ERASEBKGND p:paint spot:paint");
  EXPECT_EQ(Pixel(p, 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(Pixel(p, 25, 25), RGB(0, 255, 0));
  // The form's own client area shows its colour (the classic button face).
  EXPECT_EQ(Pixel(form.get(), 200, 150), GetSysColor(COLOR_BTNFACE));
}

TEST_F(ControlsPaintTest, TheUpdateRegionClipsPainting) {
  p->Fill = clBlue;
  TRect r = Bounds(10, 10, 20, 20);
  InvalidateRect(p->Handle(), &r, FALSE);
  log.Clear();
  Pump();
  EXPECT_EQ(log.Joined(), "p:WM_PAINT p:paint") << "no erase was asked for";
  EXPECT_EQ(Pixel(p, 15, 15), RGB(0, 0, 255));
  EXPECT_EQ(Pixel(p, 50, 50), RGB(255, 0, 0));
  EXPECT_EQ(Pixel(p, 30, 30), RGB(255, 0, 0)) << "the rectangle's right and bottom edges are outside";
}

TEST_F(ControlsPaintTest, UpdatePaintsNowAndValidates) {
  const int before = p->Paints;
  p->Invalidate();
  p->Update();
  EXPECT_EQ(p->Paints, before + 1);
  Pump();
  EXPECT_EQ(p->Paints, before + 1) << "nothing left to paint";
  p->Repaint();
  EXPECT_EQ(p->Paints, before + 2);
}

TEST_F(ControlsPaintTest, CanvasDrawsOutsidePaintingAndReachesTheScreen) {
  TakeFlushedArea(p->Handle());
  p->Canvas()->Brush()->SetColor(clYellow);
  p->Canvas()->FillRect(Bounds(40, 30, 10, 10));
  EXPECT_EQ(Pixel(p, 45, 35), RGB(255, 255, 0)) << "drawn into the window at once";
  Pump();
  const TRect flushed = TakeFlushedArea(p->Handle());
  EXPECT_TRUE(flushed.Contains(TPoint(45, 35)));
  EXPECT_EQ(ToolkitPixel(p->Handle(), 45, 35), RGB(255, 255, 0));
  EXPECT_EQ(ToolkitPixel(p->Handle(), 5, 5), RGB(255, 0, 0));
}

TEST_F(ControlsPaintTest, DrawingTwiceWithNotRestoresTheWindow) {
  // Something to invert: a gradient of pixels.
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) p->Canvas()->SetPixels(x, y, static_cast<TColor>(RGB(x * 2, y * 3, 77)));
  std::vector<TColorRef> before;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) before.push_back(Pixel(p, x, y));
  TCanvas* c = p->Canvas();
  c->Pen()->SetMode(pmNot);
  c->Brush()->SetStyle(bsClear);
  for (int round = 0; round < 2; ++round) {
    c->Rectangle(5, 5, 60, 40);
    c->MoveTo(0, 0);
    c->LineTo(99, 79);
    c->Ellipse(20, 10, 90, 70);
    if (round == 0) {
      Pump();  // the DC goes between the two rounds, as between two mouse moves
      EXPECT_NE(Pixel(p, 5, 5), before[5 * 100 + 5]);
    }
  }
  std::vector<TColorRef> after;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) after.push_back(Pixel(p, x, y));
  EXPECT_EQ(after, before);
}

TEST_F(ControlsPaintTest, TheCaretIsShownOverThePixelsNotInThem) {
  ASSERT_TRUE(CreateCaret(p->Handle(), nullptr, 2, 12));
  SetCaretPos(30, 20);
  ShowCaret(p->Handle());
  Pump();
  EXPECT_EQ(ToolkitPixel(p->Handle(), 31, 25), RGB(0, 255, 255)) << "the screen shows red inverted";
  EXPECT_EQ(Pixel(p, 31, 25), RGB(255, 0, 0)) << "the window's pixels stay as painted";
  AdvanceTime(GetCaretBlinkTime());
  EXPECT_EQ(ToolkitPixel(p->Handle(), 31, 25), RGB(255, 0, 0)) << "blinked off";
  HideCaret(p->Handle());
  DestroyCaret();
  AdvanceTime(GetCaretBlinkTime());
  EXPECT_EQ(ToolkitPixel(p->Handle(), 31, 25), RGB(255, 0, 0));
}

TEST_F(ControlsPaintTest, AResizeKeepsDrawingDCsSafe) {
  // A DC taken before the window is resized stays valid (what it draws then is lost).
  HDC dc = GetDC(p->Handle());
  p->SetBounds(10, 10, 150, 120);
  EXPECT_NE(SetPixel(dc, 1, 1, RGB(1, 2, 3)), CLR_INVALID);
  ReleaseDC(p->Handle(), dc);
  Pump();
  EXPECT_EQ(Pixel(p, 140, 110), RGB(255, 0, 0)) << "the new area was painted";
}

}  // namespace
