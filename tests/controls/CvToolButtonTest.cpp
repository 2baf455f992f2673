// Tool buttons and control buttons on real forms.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "controls/CvButton.h"
#include "platform/forms/ActnList.h"
#include "platform/forms/Menus.h"
#include "platform/forms/Forms.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

class TProbeToolButton : public TCvToolButton {
 public:
  using TCvToolButton::TCvToolButton;
  using TCvToolButton::CalcLayout;
};

TColor Color(int r, int g, int b) { return static_cast<TColor>(Rgb(r, g, b)); }

// An image list of W x H images, each one solid colour.
std::unique_ptr<TCustomImageList> SolidImages(int32_t W, int32_t H, std::initializer_list<TColor> Colors) {
  auto list = std::make_unique<TCustomImageList>(W, H);
  for (TColor c : Colors) {
    TBitmap bmp;
    bmp.SetSize(W, H);
    bmp.Canvas()->Brush()->SetColor(c);
    bmp.Canvas()->FillRect(TRect(0, 0, W, H));
    list->Add(&bmp, nullptr);
  }
  return list;
}

class CvToolButtonTest : public ControlsFormTest {
 protected:
  TProbeToolButton* Tool(int32_t L, int32_t T, int32_t W, int32_t H) {
    auto* b = new TProbeToolButton(form_.get());  // owned by the form
    b->SetBounds(L, T, W, H);
    b->SetParent(form_.get());
    return b;
  }
  // A form pixel at (X, Y) of the windowless control C.
  TColorRef At(TControl* C, int32_t X, int32_t Y) { return Pixel(form_.get(), C->Left() + X, C->Top() + Y); }
  // A drop-down menu with one item that closes as soon as it shows (after WhileShown).
  TPopupMenu* Menu(int* Shown, std::function<void()> WhileShown = {}) {
    auto* menu = new TPopupMenu(form_.get());  // owned by the form
    auto* item = new TMenuItem(form_.get());   // owned by the form
    item->SetCaption("Item");
    menu->Items()->Add(item);
    menu->SetOnPopup([Shown, WhileShown](TObject*) {
      ++*Shown;
      if (WhileShown) WhileShown();
      Application()->QueueCall([] { EndMenu(); });
    });
    return menu;
  }
};

TEST_F(CvToolButtonTest, LayoutOfImageAndCaption) {
  auto images = SolidImages(40, 40, {clRed});
  TProbeToolButton* b = Tool(10, 10, 99, 65);
  b->SetImages(images.get());
  b->SetImageIndex(0);
  b->SetLayout(blGlyphTop);
  b->SetShowCaption(true);
  b->SetCaption("Open");
  TRect image, caption;
  b->CalcLayout(image, caption);
  ASSERT_EQ(caption.Height(), 13);
  EXPECT_EQ(image, TRect(29, 4, 69, 44));
  EXPECT_EQ(caption.Top, 48);
  Pump();
  EXPECT_EQ(At(b, 29, 4), Rgb(clRed));
  EXPECT_EQ(At(b, 68, 43), Rgb(clRed));
  EXPECT_EQ(At(b, 28, 4), Rgb(clTeal));
  EXPECT_FALSE(b->UseToolbarButtonLayout());
  EXPECT_FALSE(b->UseToolbarShowCaption());
}

TEST_F(CvToolButtonTest, ImagesByState) {
  auto images = SolidImages(16, 16, {clRed, clLime, clBlue});
  TProbeToolButton* b = Tool(10, 10, 25, 25);
  b->SetImages(images.get());
  b->SetHotIndex(1);
  b->SetDisabledIndex(2);
  Pump();
  // No ImageIndex: nothing at all.
  EXPECT_EQ(At(b, 12, 12), Rgb(clTeal));
  b->SetImageIndex(0);
  Pump();
  EXPECT_EQ(At(b, 4, 4), Rgb(clRed));
  // Disabled with DisabledIndex: that image in full colour; without it the image greyed.
  b->SetEnabled(false);
  Pump();
  EXPECT_EQ(At(b, 12, 12), Rgb(clBlue));
  b->SetDisabledIndex(-1);
  Pump();
  EXPECT_EQ(At(b, 12, 12), Rgb(clBtnShadow));
  // Hot: HotIndex.
  b->SetEnabled(true);
  MouseMove(form_.get(), 20, 20);
  Pump();
  EXPECT_EQ(At(b, 12, 12), Rgb(clLime));
  // A list larger than the button enlarges it.
  auto big = SolidImages(32, 30, {clRed});
  b->SetImages(big.get());
  EXPECT_EQ(b->Width(), 32);
  EXPECT_EQ(b->Height(), 30);
  b->SetImages(nullptr);
}

TEST_F(CvToolButtonTest, DropDownStyleWidensAndLeavesGroups) {
  TProbeToolButton* b = Tool(10, 10, 25, 25);
  b->SetGroupIndex(4);
  b->SetToolStyle(TCvToolStyle::tsDropDown);
  EXPECT_EQ(b->Width(), 39);
  EXPECT_EQ(b->GroupIndex(), 0);
  b->SetGroupIndex(4);
  EXPECT_EQ(b->GroupIndex(), 0);
  EXPECT_TRUE(b->UseToolbarButtonSize());
  b->SetToolStyle(TCvToolStyle::tsButton);
  EXPECT_EQ(b->Width(), 25);
  b->SetButtonWidth(30);
  EXPECT_FALSE(b->UseToolbarButtonSize());
}

TEST_F(CvToolButtonTest, DropDownMenu) {
  int shown = 0;
  TPopupMenu* menu = Menu(&shown);
  TProbeToolButton* b = Tool(10, 10, 25, 25);
  b->SetToolStyle(TCvToolStyle::tsDropDown);
  b->SetDropDownMenu(menu);
  std::vector<TObject*> senders;
  b->SetOnDropDown([&](TObject* Sender) { senders.push_back(Sender); });
  int clicks = 0;
  b->SetOnClick([&](TObject*) { ++clicks; });
  // The arrow section drops the menu; OnDropDown gets the menu.
  Click(b, 30, 12);
  EXPECT_EQ(shown, 1);
  ASSERT_EQ(senders.size(), 1u);
  EXPECT_EQ(senders[0], menu);
  EXPECT_EQ(menu->PopupComponent(), b);
  // At once again: the press only closes the cycle.
  Click(b, 30, 12);
  EXPECT_EQ(shown, 1);
  AdvanceTime(150);
  Click(b, 30, 12);
  EXPECT_EQ(shown, 2);
  // The release after the drop was over the button: the next press of the main part is
  // swallowed, the one after it clicks.
  Click(b, 8, 12);
  EXPECT_EQ(clicks, 0);
  Click(b, 8, 12);
  EXPECT_EQ(clicks, 1);
  // Without OnClick the whole button drops the menu.
  b->SetOnClick(nullptr);
  AdvanceTime(150);
  Click(b, 8, 12);
  EXPECT_EQ(shown, 3);
}

TEST_F(CvToolButtonTest, GradientZoomButton) {
  auto images = SolidImages(16, 16, {clRed});
  TProbeToolButton* b = Tool(10, 10, 25, 25);
  b->SetImages(images.get());
  b->SetImageIndex(0);
  b->SetVisualStyle(vsGradient);
  b->SetGradientColorStyle(gcsCustom);
  b->SetSelectionColorStart(Color(141, 210, 243));
  b->SetSelectionColorStop(Color(57, 171, 225));
  b->SetSelectionFrameColor(Color(48, 129, 208));
  Pump();
  // At rest only the image over the form.
  EXPECT_EQ(At(b, 0, 0), Rgb(clTeal));
  EXPECT_EQ(At(b, 12, 1), Rgb(clTeal));
  EXPECT_EQ(At(b, 12, 12), Rgb(clRed));
  MouseMove(b, 12, 12);
  Pump();
  EXPECT_TRUE(b->Hot());
  EXPECT_EQ(At(b, 0, 0), Rgb(48, 129, 208));
  EXPECT_EQ(At(b, 24, 24), Rgb(48, 129, 208));
  EXPECT_EQ(At(b, 12, 1), Rgb(137, 208, 242));
  EXPECT_EQ(At(b, 12, 23), Rgb(57, 171, 225));
  EXPECT_EQ(At(b, 12, 12), Rgb(clRed));
  MouseDown(b, 12, 12);
  Pump();
  EXPECT_EQ(At(b, 12, 1), Rgb(60, 172, 225));
  EXPECT_EQ(At(b, 12, 23), Rgb(141, 210, 243));
  // The image does not move in the gradient look.
  EXPECT_EQ(At(b, 4, 4), Rgb(clRed));
  MouseUp(b, 12, 12);
  MouseMove(form_.get(), 300, 200);
  Pump();
  EXPECT_FALSE(b->Hot());
  EXPECT_EQ(At(b, 12, 1), Rgb(clTeal));
}

TEST_F(CvToolButtonTest, DroppedMenuTakesTheSchemeColours) {
  TProbeToolButton* b = Tool(10, 10, 25, 25);
  b->SetVisualStyle(vsGradient);
  b->SetGradientColorStyle(gcsCustom);
  b->SetSelectionColorStart(clRed);
  b->SetSelectionColorStop(clRed);
  b->SetSelectionFrameColor(clRed);
  b->SetToolStyle(TCvToolStyle::tsDropDown);
  TColorRef frame = 0, bottom = 0;
  int shown = 0;
  b->SetDropDownMenu(Menu(&shown, [&] {
    Pump();
    frame = At(b, 0, 0);
    bottom = At(b, 12, 23);
  }));
  Click(b, 30, 12);
  EXPECT_EQ(shown, 1);
  TColor schemeFrame, start, stop;
  GetSchemeSelectionColors(gcsCustom, schemeFrame, start, stop);
  EXPECT_EQ(frame, Rgb(schemeFrame));
  EXPECT_EQ(bottom, Rgb(start));
}

TEST_F(CvToolButtonTest, LatchingGroup) {
  TProbeToolButton* a = Tool(10, 10, 25, 25);
  TProbeToolButton* b = Tool(40, 10, 25, 25);
  std::vector<TObject*> clicks;
  for (auto* t : {a, b}) {
    t->SetGroupIndex(1);
    t->SetOnClick([&clicks](TObject* S) { clicks.push_back(S); });
  }
  Click(a, 5, 5);
  EXPECT_TRUE(a->Down());
  EXPECT_EQ(a->State(), 3);
  Click(b, 5, 5);
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  // The latched button stays down and does not click again.
  Click(b, 5, 5);
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(clicks, (std::vector<TObject*>{a, b}));
  a->SetAllowAllUp(true);
  EXPECT_TRUE(b->AllowAllUp());
  Click(b, 5, 5);
  EXPECT_FALSE(b->Down());
}

TEST_F(CvToolButtonTest, LatchedClassicButtonShowsThePattern) {
  TProbeToolButton* b = Tool(10, 10, 25, 25);
  b->SetVisualStyle(vsClassic);
  b->SetFlat(false);
  b->SetGroupIndex(1);
  b->SetDown(true);
  MouseMove(form_.get(), 300, 200);
  Pump();
  // Lowered frame, then clBtnFace with clBtnHighlight where the parities agree.
  EXPECT_EQ(At(b, 0, 0), Rgb(128, 128, 128));
  EXPECT_EQ(At(b, 4, 4), Rgb(255, 255, 255));
  EXPECT_EQ(At(b, 5, 4), Rgb(212, 208, 200));
  // Not transparent: the colour and its tint.
  b->SetTransparent(false);
  b->SetColor(clYellow);
  Pump();
  EXPECT_EQ(At(b, 4, 4), Rgb(TintColor(clYellow, 20)));
  EXPECT_EQ(At(b, 5, 4), Rgb(clYellow));
}

TEST_F(CvToolButtonTest, ActionsGiveDownAndImageIndex) {
  TProbeToolButton* b = Tool(10, 10, 25, 25);
  b->SetGroupIndex(1);
  b->SetAllowAllUp(true);
  auto* action = new TAction(form_.get());  // owned by the form
  action->SetImageIndex(2);
  action->SetChecked(true);
  b->SetAction(action);
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(b->ImageIndex(), 2);
  EXPECT_FALSE(IsStoredProp(b, "Down"));
  EXPECT_FALSE(IsStoredProp(b, "ImageIndex"));
  action->SetChecked(false);
  EXPECT_FALSE(b->Down());
  action->SetImageIndex(3);
  EXPECT_EQ(b->ImageIndex(), 3);
  // A drop-down button with an action is split: its main part clicks.
  TProbeToolButton* drop = Tool(50, 10, 25, 25);
  drop->SetToolStyle(TCvToolStyle::tsDropDown);
  int runs = 0;
  auto* run = new TAction(form_.get());  // owned by the form
  run->SetOnExecute([&](TObject*) { ++runs; });
  drop->SetAction(run);
  int shown = 0;
  drop->SetDropDownMenu(Menu(&shown));
  Click(drop, 5, 12);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(shown, 0);
  // Into an action: Down and ImageIndex.
  TAction copy(nullptr);
  b->SetImageIndex(5);
  copy.Assign(b);
  EXPECT_EQ(copy.ImageIndex(), 5);
}

// ---------------------------------------------------------------------------------------------
// Control buttons

class CvControlButtonTest : public CvToolButtonTest {
 protected:
  TCvControlButton* Control(int32_t L, int32_t T) {
    auto* b = new TCvControlButton(form_.get());  // owned by the form
    b->SetBounds(L, T, 20, 20);
    b->SetParent(form_.get());
    return b;
  }
};

TEST_F(CvControlButtonTest, GlyphCells) {
  TCvControlButton* b = Control(10, 10);
  struct Case {
    int32_t W, H, Cells;
  };
  // A width that is no whole multiple of the height keeps the count.
  for (const Case& c : {Case{32, 16, 2}, Case{96, 16, 1}, Case{64, 16, 4}, Case{30, 16, 3}}) {
    b->SetNumGlyphs(3);
    TBitmap g;
    g.SetSize(c.W, c.H);
    b->SetGlyph(&g);
    EXPECT_EQ(b->NumGlyphs(), c.Cells) << c.W;
  }
  // An empty glyph keeps the count.
  b->SetNumGlyphs(2);
  TBitmap empty;
  b->SetGlyph(&empty);
  EXPECT_EQ(b->NumGlyphs(), 2);
  // 32 x 16: the left cell, the right one when disabled.
  TBitmap g;
  g.SetSize(32, 16);
  g.Canvas()->Brush()->SetColor(clRed);
  g.Canvas()->FillRect(TRect(0, 0, 16, 16));
  g.Canvas()->Brush()->SetColor(clBlue);
  g.Canvas()->FillRect(TRect(16, 0, 32, 16));
  g.SetTransparentColor(clOlive);
  b->SetGlyph(&g);
  Pump();
  EXPECT_EQ(At(b, 10, 10), Rgb(clRed));
  b->SetEnabled(false);
  Pump();
  EXPECT_EQ(At(b, 10, 10), Rgb(clBlue));
}

TEST_F(CvControlButtonTest, RepeatClicks) {
  TCvControlButton* b = Control(10, 10);
  b->SetStyle(cbsUp);
  b->SetRepeatClicks(true);
  int clicks = 0;
  b->SetOnClick([&](TObject*) { ++clicks; });
  // A short click clicks once.
  Click(b, 5, 5);
  EXPECT_EQ(clicks, 1);
  clicks = 0;
  MouseDown(b, 5, 5);
  EXPECT_EQ(clicks, 0);
  AdvanceTime(399);
  EXPECT_EQ(clicks, 0);
  AdvanceTime(1);
  EXPECT_EQ(clicks, 1);
  AdvanceTime(100);
  EXPECT_EQ(clicks, 2);
  AdvanceTime(250);
  EXPECT_EQ(clicks, 4);
  // Off the button no repeat clicks.
  MouseMove(b, 50, 50);
  AdvanceTime(300);
  EXPECT_EQ(clicks, 4);
  // One more on a release inside, then no more.
  MouseMove(b, 5, 5);
  MouseUp(b, 5, 5);
  EXPECT_EQ(clicks, 5);
  AdvanceTime(500);
  EXPECT_EQ(clicks, 5);
}

TEST_F(CvControlButtonTest, ArrowFaces) {
  TCvControlButton* b = Control(10, 10);
  b->SetStyle(cbsDown);
  Pump();
  // Raised: the button-up frame; the arrow in black in the middle.
  EXPECT_EQ(At(b, 0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(At(b, 19, 19), Rgb(64, 64, 64));
  EXPECT_EQ(At(b, 10, 10), Rgb(0, 0, 0));
  MouseDown(b, 5, 5);
  Pump();
  EXPECT_EQ(At(b, 0, 0), Rgb(128, 128, 128));
  MouseUp(b, 5, 5);
  // Flat: nothing but the colour and the arrow until hot.
  b->SetFlat(true);
  b->SetColor(clYellow);
  MouseMove(form_.get(), 300, 200);
  Pump();
  EXPECT_EQ(At(b, 0, 0), Rgb(clYellow));
  MouseMove(b, 5, 5);
  Pump();
  EXPECT_EQ(At(b, 0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(At(b, 19, 19), Rgb(128, 128, 128));
}

}  // namespace
