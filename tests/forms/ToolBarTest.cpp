// The tool bar: its layout, check, grouped and drop-down buttons driven by the mouse, the classic
// flat look and images painted, and the paint box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/ExtCtrls_paintbox.h"
#include "platform/forms/Menus.h"
#include "tests/forms/TestHost.h"

namespace {

class ToolBarTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form_ = NewForm(400, 200);
    bar_ = new TToolBar(form_.get());
    bar_->SetParent(form_.get());
    bar_->SetAlign(alNone);
    bar_->SetIndent(4);
    bar_->SetButtonWidth(31);
    bar_->SetButtonHeight(30);
    bar_->SetAutoSize(true);
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }
  TToolButton* Add(TToolButtonStyle Style, const std::string& Name) {
    auto* b = new TToolButton(form_.get());
    b->SetStyle(Style);
    b->SetParent(bar_);
    b->SetOnClick(TNotifyEvent([this, Name](TObject*) { clicks_.push_back(Name); }));
    return b;
  }
  std::unique_ptr<TForm> form_;
  TToolBar* bar_ = nullptr;
  std::vector<std::string> clicks_;
};

}  // namespace

TEST_F(ToolBarTest, ItemsLineUpInTheOrderAdded) {
  TToolButton* font = Add(tbsButton, "font");
  auto* box = new TPaintBox(form_.get());
  box->SetBounds(0, 0, 126, 30);
  box->SetParent(bar_);
  TToolButton* align = Add(tbsDropDown, "align");
  auto* gap = new TPanel(form_.get());
  gap->SetBounds(0, 0, 4, 30);
  gap->SetParent(bar_);
  TToolButton* bold = Add(tbsCheck, "bold");
  Pump();
  EXPECT_EQ(font->BoundsRect(), TRect(4, 0, 35, 30));
  EXPECT_EQ(box->BoundsRect(), TRect(35, 0, 161, 30));
  EXPECT_EQ(align->BoundsRect(), TRect(161, 0, 206, 30)) << "a drop-down button has its arrow part";
  EXPECT_EQ(gap->BoundsRect(), TRect(206, 0, 210, 30));
  EXPECT_EQ(bold->BoundsRect(), TRect(210, 0, 241, 30));
  EXPECT_EQ(bar_->ClientWidth(), 241);
  EXPECT_EQ(bar_->ClientHeight(), 30);
  // Hiding an item closes the gap.
  box->SetVisible(false);
  bar_->ArrangeItems();
  EXPECT_EQ(align->Left(), 35);
  EXPECT_EQ(bar_->ClientWidth(), 115);
  EXPECT_EQ(bar_->ButtonCount(), 3);
  EXPECT_EQ(bar_->Buttons(2), bold);
}

TEST_F(ToolBarTest, CheckAndGroupedButtons) {
  TToolButton* bold = Add(tbsCheck, "bold");
  TToolButton* left = Add(tbsCheck, "left");
  TToolButton* centre = Add(tbsCheck, "centre");
  for (TToolButton* b : {left, centre}) b->SetGrouped(true);
  Pump();
  Click(bold, 10, 10);
  EXPECT_TRUE(bold->Down());
  Click(bold, 10, 10);
  EXPECT_FALSE(bold->Down());
  Click(left, 10, 10);
  Click(centre, 10, 10);
  EXPECT_FALSE(left->Down());
  EXPECT_TRUE(centre->Down());
  Click(centre, 10, 10);
  EXPECT_TRUE(centre->Down()) << "a grouped button stays down without AllowAllUp";
  centre->SetAllowAllUp(true);
  Click(centre, 10, 10);
  EXPECT_FALSE(centre->Down());
  // Released outside the button: no click.
  MouseDown(bold, 10, 10);
  MouseMove(bold, 60, 10);
  MouseUp(bold, 60, 10);
  EXPECT_FALSE(bold->Down());
  EXPECT_EQ(clicks_, (std::vector<std::string>{"bold", "bold", "left", "centre", "centre", "centre"}));
  // Setting Down in code releases the group too, without a click.
  left->SetDown(true);
  centre->SetDown(true);
  EXPECT_FALSE(left->Down());
}

TEST_F(ToolBarTest, DropDownArrowOpensTheMenu) {
  TToolButton* align = Add(tbsDropDown, "align");
  auto* menu = new TPopupMenu(form_.get());
  auto* item = new TMenuItem(menu);
  item->SetCaption("Left");
  menu->Items()->Add(item);
  align->SetDropdownMenu(menu);
  int popups = 0;
  menu->SetOnPopup(TNotifyEvent([&](TObject*) {
    ++popups;
    Application()->QueueCall([] { EndMenu(); });
  }));
  Pump();
  Click(align, 38, 10);  // the arrow part
  Pump();
  EXPECT_EQ(popups, 1);
  EXPECT_TRUE(clicks_.empty());
  Click(align, 10, 10);
  EXPECT_EQ(clicks_, (std::vector<std::string>{"align"}));
  EXPECT_EQ(popups, 1);
}

TEST_F(ToolBarTest, ButtonsPaintTheClassicFlatLook) {
  TImageList images(nullptr);
  images.SetSize(16, 16);
  TBitmap red;
  red.SetSize(16, 16);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(TRect(0, 0, 16, 16));
  images.Add(&red, nullptr);
  bar_->SetImages(&images);
  TToolButton* plain = Add(tbsButton, "plain");
  TToolButton* check = Add(tbsCheck, "check");
  plain->SetImageIndex(0);
  check->SetDown(true);
  Pump();
  const TColorRef face = RGB(212, 208, 200), shadow = RGB(128, 128, 128), white = RGB(255, 255, 255);
  // Flat and not hot: no edge, the image centred.
  EXPECT_EQ(Pixel(bar_, plain->Left(), 0), face);
  EXPECT_EQ(Pixel(bar_, plain->Left() + 15, 15), RGB(255, 0, 0));
  EXPECT_EQ(Pixel(bar_, plain->Left() + 6, 15), face);
  // Down: a sunken edge over the light dither.
  EXPECT_EQ(Pixel(bar_, check->Left(), 0), shadow);
  EXPECT_EQ(Pixel(bar_, check->BoundsRect().Right - 1, 29), white);
  int light = 0;
  for (int32_t x = check->Left() + 2; x < check->Left() + 10; ++x) light += Pixel(bar_, x, 10) == white;
  EXPECT_GE(light, 3);
  // Hot: a raised edge; set down in code: the dither leaves.
  MouseMove(plain, 5, 5);
  Pump();
  EXPECT_TRUE(plain->Hot());
  EXPECT_EQ(Pixel(bar_, plain->Left(), 0), white);
  EXPECT_EQ(Pixel(bar_, plain->BoundsRect().Right - 1, 29), shadow);
  check->SetDown(false);
  Pump();
  EXPECT_EQ(Pixel(bar_, check->Left() + 4, 10), face);
  bar_->SetImages(nullptr);
}

TEST_F(ToolBarTest, PaintBoxPaintsThroughOnPaint) {
  auto* box = new TPaintBox(form_.get());
  box->SetParent(form_.get());
  box->SetBounds(50, 100, 20, 30);
  box->SetOnPaint(TNotifyEvent([box](TObject*) {
    box->Canvas()->Brush()->SetColor(clBlue);
    box->Canvas()->FillRect(TRect(2, 8, 16, 22));
  }));
  Pump();
  EXPECT_EQ(Pixel(form_.get(), 52, 108), RGB(0, 0, 255));
  EXPECT_EQ(Pixel(form_.get(), 51, 108), RGB(212, 208, 200));
  EXPECT_EQ(Pixel(form_.get(), 66, 108), RGB(212, 208, 200));
}
