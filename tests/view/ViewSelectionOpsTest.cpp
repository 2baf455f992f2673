// Selection operations and the outline: rectangles and ellipses, grips and hit tests, the magic
// wand and chroma key, moving, the marching dashes and grips painted on the window, the timer's
// adaptive interval, and the filled and outer-marked picture.
#include <gtest/gtest.h>

#include <vector>

#include "tests/view/SelectionTestSupport.h"

using SelectionOpsTest = SelectionViewTest;

TEST_F(SelectionOpsTest, RectanglesAndEllipses) {
  view_->Select(10, 10, 10, 50, 0);
  EXPECT_FALSE(view_->SelectionPresent());
  EXPECT_EQ(view_->GetSelectionPointCount(), 0);

  view_->Select(100, 80, 20, 10, 0);
  ASSERT_EQ(view_->GetSelectionPointCount(), 4);
  EXPECT_EQ(view_->GetSelectionPoint(0), (TPoint{20, 10}));
  EXPECT_EQ(view_->GetSelectionPoint(2), (TPoint{100, 80}));
  EXPECT_EQ(view_->SelPolygons()->Kind, 1);
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{20, 10, 99, 79}));

  view_->Select(0, 0, 10, 10, 0);
  view_->Select(30, 30, 40, 40, 1);
  EXPECT_EQ(view_->SelPolygons()->SubPolygonCount(), 2);
  EXPECT_EQ(view_->SelPolygons()->SubPolygonValues, (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{0, 0, 39, 39}));
  view_->Select(0, 0, 20, 20, 2);  // removes the first square
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{30, 30, 39, 39}));

  // The ratio rule: 100 wide gives 50 high.
  view_->SetSelectionRatio(0.5);
  SetPicture(view_, 300, 200);
  view_->Select(0, 0, 100, 10, 0);
  EXPECT_EQ(view_->GetSelectionPoint(2), (TPoint{100, 50}));
  view_->SetSelectionRatio(-1);

  view_->Deselect();
  view_->AddEllipse(50, 50, 40, 20, 0);
  EXPECT_EQ(view_->GetSelectionPointCount(), 62);
  EXPECT_EQ(view_->SelPolygons()->Kind, 2);
  EXPECT_TRUE(view_->SelectionPresent());
  view_->Deselect();
  view_->AddEllipse(50, 50, 10, 10, 0);
  EXPECT_EQ(view_->GetSelectionPointCount(), 50);
}

TEST_F(SelectionOpsTest, GripsAndHitTests) {
  SetPicture(view_, 150, 120);
  view_->Select(20, 20, 80, 60, 0);
  // 2 pixels left of the left edge hits the left side, 3 pixels nothing.
  const TPoint mid = C(20, 40);
  EXPECT_EQ(view_->HitSelectionGrip(mid.X - 2, mid.Y), 5);
  EXPECT_EQ(view_->HitSelectionGrip(mid.X - 3, mid.Y), 0);
  EXPECT_EQ(view_->HitSelectionGrip(C(80, 60).X + 4, C(80, 60).Y - 4), 3);

  // Inside: 0 with pxsoMoveable, -1 with Shift, Ctrl or their forced members.
  const TPoint in = C(50, 40);
  EXPECT_EQ(view_->HitSelectionInside(in.X, in.Y, {}), 0);
  EXPECT_EQ(view_->HitSelectionInside(in.X, in.Y, TShiftState{ssShift}), -1);
  EXPECT_EQ(view_->HitSelectionInside(in.X, in.Y, TShiftState{ssCtrl}), -1);
  for (int bit : {4, 0}) {
    view_->ForcedModifiers = static_cast<uint16_t>(1u << bit);
    EXPECT_EQ(view_->HitSelectionInside(in.X, in.Y, {}), -1) << bit;
  }
  view_->ForcedModifiers = 0;
  EXPECT_EQ(view_->HitSelectionInside(C(90, 40).X, in.Y, {}), -1);

  // The top-left grip dragged past the right edge becomes the top-right one.
  view_->SelDragStartBounds = TRect(20, 20, 80, 60);
  EXPECT_EQ(view_->ResizeSelectionByGrip(1, 100, 30, false), 2);
  EXPECT_EQ(view_->GetSelectionPoint(0), (TPoint{80, 30}));
  EXPECT_EQ(view_->GetSelectionPoint(2), (TPoint{100, 60}));

  // A minimum size of 100 x 100: the right grip dragged near the left edge keeps the width.
  view_->Select(10, 10, 120, 115, 0);
  view_->SetSelectionRatio(-2);
  view_->SelDragStartBounds = TRect(10, 10, 120, 115);
  view_->ResizeSelectionByGrip(6, 30, 50, false);
  EXPECT_EQ(view_->GetSelectionPoint(1).X - view_->GetSelectionPoint(0).X, 100);
}

TEST_F(SelectionOpsTest, MagicWandModes) {
  // A red left half and a separate red block on white.
  TPXBitmap* b = view_->GetPXBitmap();
  b->Allocate(20, 20, px24RGB);
  b->Fill(static_cast<double>(clWhite));
  b->FillRect(0, 0, 9, 19, static_cast<double>(clRed));
  b->FillRect(15, 5, 17, 7, static_cast<double>(clRed));
  view_->Update();
  struct TCase {
    uint8_t Mode;
    bool Grow;
    std::vector<int32_t> Box;
  } cases[] = {
      {1, false, {0, 0, 9, 19}},
      {1, true, {0, 0, 10, 19}},
      {2, false, {0, 0, 17, 19}},
      {0, false, {0, 0, 9, 19}},
  };
  for (const TCase& c : cases) {
    view_->Deselect();
    view_->SetWandMode(c.Mode);
    view_->SetWandGrow(c.Grow);
    view_->SelectMagicWand(2, 2, 0);
    EXPECT_EQ(MaskBox(view_), c.Box) << int(c.Mode) << c.Grow;
    EXPECT_TRUE(view_->SelectionPresent());
    EXPECT_EQ(view_->SelMask()->GetPixel(12, 6) != 0, false);
    EXPECT_EQ(view_->SelMask()->GetPixel(16, 6) != 0, c.Mode == 2);
  }
  view_->SetWandGrow(false);
  view_->SetWandMode(1);
  // Op 1 adds the block, Op 2 takes the half away again; a point outside does nothing.
  view_->SelectMagicWand(16, 6, 1);
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{0, 0, 17, 19}));
  view_->SelectMagicWand(0, 0, 2);
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{15, 5, 17, 7}));
  view_->SelectMagicWand(25, 5, 0);
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{15, 5, 17, 7}));
  // Replacing with a wand point starts afresh.
  view_->SelectMagicWand(12, 2, 0);
  EXPECT_FALSE(view_->SelMask()->GetPixel(16, 6));
  EXPECT_TRUE(view_->SelMask()->GetPixel(12, 2));
}

TEST_F(SelectionOpsTest, ChromaKey) {
  // A green screen with a red block.
  TPXBitmap* b = view_->GetPXBitmap();
  b->Allocate(60, 40, px24RGB);
  b->Fill(static_cast<double>(RGB(0, 200, 0)));
  b->FillRect(20, 10, 39, 29, static_cast<double>(RGB(200, 30, 30)));
  view_->Update();
  view_->SetEnableAlphaChannel(false);
  view_->SelectChromaKey(-1, -1, 0);
  EXPECT_FALSE(view_->SelectionPresent());
  view_->SetEnableAlphaChannel(true);
  view_->SelectChromaKey(-1, -1, 0);  // estimated key: the block is what is not green
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{20, 10, 39, 29}));
  view_->ChromaKeyOptions()->SelectKey = true;
  view_->SelectChromaKey(1, 1, 0);
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{0, 0, 59, 39}));
  EXPECT_FALSE(view_->SelMask()->GetPixel(30, 20));
  EXPECT_TRUE(view_->SelMask()->GetPixel(5, 5));
}

TEST_F(SelectionOpsTest, MovingTheSelection) {
  view_->Select(10, 10, 30, 30, 0);
  view_->MoveSelectionBy(5, 0, false);
  EXPECT_TRUE(view_->MovedRectSelection);
  EXPECT_TRUE(view_->SelMask()->IsEmpty());  // rebuilt from the polygon later
  EXPECT_EQ(view_->GetSelectionPoint(0), (TPoint{15, 10}));
  view_->RefreshSelectionMask();
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{15, 10, 34, 29}));

  // A mask selection: stopped at the edge, or cut with pxsoCutBorders.
  view_->SetWandMode(1);
  view_->Deselect();
  SetPicture(view_, 100, 80);
  view_->SelMask()->FillSpan(1, 80, 95, 5);
  view_->SelMask()->UpdateBounds();
  view_->MoveSelection(20, 0, false);
  EXPECT_FALSE(view_->MovedRectSelection);
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{84, 5, 99, 5}));
  view_->SetSelectionOptions(view_->SelectionOptions() + pxsoCutBorders);
  view_->MoveSelection(10, 0, false);
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{94, 5, 99, 5}));
}

// ---------------------------------------------------------------------------------------------
// Painted outline

TEST_F(SelectionOpsTest, MarchingDashesGripsAndCross) {
  view_->SetSelOutlineColor1(clRed);
  view_->SetSelOutlineColor2(clBlue);
  view_->Select(10, 10, 90, 70, 0);
  view_->MovedRectSelection = true;  // a moved rectangle shows its polygon walk
  PaintNow(view_);
  const TPoint o = C(10, 10);
  // Along the top edge, clear of the corner grip: four red, four blue, counted from the corner.
  const auto dashes = [&] {
    std::string s;
    for (int32_t k = 12; k < 28; ++k) {
      const TColorRef p = Pixel(view_, o.X + k, o.Y);
      s += p == RGB(255, 0, 0) ? 'r' : p == RGB(0, 0, 255) ? 'b' : '?';
    }
    return s;
  };
  EXPECT_EQ(dashes(), "bbbbrrrrbbbbrrrr");
  // A repaint keeps the phase; a timer tick moves the dashes one pixel.
  PaintNow(view_);
  EXPECT_EQ(dashes(), "bbbbrrrrbbbbrrrr");
  AdvanceTime(view_->AntsTimer()->Interval());
  Pump();
  EXPECT_EQ(dashes(), "bbbrrrrbbbbrrrrb");

  // Corner grips are circles (their centre carries the brush colour, the corner of their square
  // stays white); square grips reach their corners.
  const TPoint g = C(90, 10);
  const TColorRef brush = RGB(0xFF, 0xFF, 0xBA);
  EXPECT_EQ(Pixel(view_, g.X, g.Y + 2), brush);
  EXPECT_EQ(Pixel(view_, g.X + 4, g.Y + 4), RGB(255, 255, 255));
  // Side midpoints have grips with SelRectSideGrips.
  EXPECT_EQ(Pixel(view_, C(50, 10).X, C(50, 10).Y + 2), brush);
  view_->SetSelGripShape(0);
  PaintNow(view_);
  EXPECT_NE(Pixel(view_, g.X + 4, g.Y + 4), RGB(255, 255, 255));

  // The centre cross, and a 3-column grid while a rectangle is shown moved.
  view_->SetSelectionOptions(view_->SelectionOptions() + pxsoShowCenter);
  view_->SetSelGridColumns(3);
  PaintNow(view_);
  const TPoint c = C(50, 40);
  const TColorRef cross = Pixel(view_, c.X + 9, c.Y);
  EXPECT_TRUE(cross == RGB(255, 0, 0) || cross == RGB(0, 0, 255));
  EXPECT_EQ(Pixel(view_, c.X - 12, c.Y), RGB(255, 255, 255));
  const TColorRef grid = ColorToRGB(GlobalSettingsInstance()->FPixelGridColor);
  const int32_t line = o.X + (C(90, 10).X - 1 - o.X) / 3;
  EXPECT_EQ(Pixel(view_, line, c.Y + 15), grid);
  EXPECT_NE(Pixel(view_, line + 1, c.Y + 15), grid);
}

TEST_F(SelectionOpsTest, TimerIntervalAdaptsToTheMaskOutline) {
  view_->Select(10, 10, 90, 70, 0);
  for (const auto& [spent, interval] : std::vector<std::pair<uint32_t, uint32_t>>{{60, 300}, {20, 210}}) {
    uint32_t now = 1000;
    bool first = true;
    view_->TickCounter = [&] {
      const uint32_t t = first ? now : now + spent;
      first = !first;
      return t;
    };
    view_->AntsTimer()->SetInterval(210);
    view_->DrawSelectionOutline(view_, false);
    EXPECT_EQ(view_->AntsTimer()->Interval(), interval) << spent;
  }
  view_->TickCounter = nullptr;
}

TEST_F(SelectionOpsTest, FilledAndOuterMarking) {
  view_->Select(10, 10, 50, 40, 0);
  const TPoint in = C(20, 20), out = C(70, 60);
  view_->SetSelectionOptions(view_->SelectionOptions() + pxsoFilled);
  PaintNow(view_);
  EXPECT_EQ(BufferPixel(view_, in.X, in.Y), RGB(0, 0, 0));
  EXPECT_EQ(BufferPixel(view_, out.X, out.Y), RGB(255, 255, 255));
  view_->SetSelectionOptions(view_->SelectionOptions() - pxsoFilled + pxsoMarkOuter);
  PaintNow(view_);
  EXPECT_EQ(BufferPixel(view_, in.X, in.Y), RGB(255, 255, 255));
  const bool first = BufferPixel(view_, out.X, out.Y) == RGB(97, 97, 97);
  const bool second = BufferPixel(view_, out.X + 1, out.Y) == RGB(97, 97, 97);
  EXPECT_NE(first, second);  // every other pixel
}
