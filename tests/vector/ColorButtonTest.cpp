// The colour button: its painting in the classic colours and the dialogs a press opens.
#include <gtest/gtest.h>

#include <vector>

#include "core/hypxutils_draw.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/FormsTesting.h"
#include "tests/forms/TestHost.h"
#include "vector/pxxColorButton.h"

class ColorButtonTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form_ = NewForm(200, 120);
    b_ = new TPXColorButton(form_.get());
    b_->SetParent(form_.get());
    b_->SetLeft(20);
    b_->SetTop(30);
    b_->SetSelectedColor(clRed);
    Pump();
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }
  std::unique_ptr<TForm> form_;
  TPXColorButton* b_ = nullptr;
};

TEST_F(ColorButtonTest, PaintsTheSwatchInTheClassicColours) {
  EXPECT_EQ(b_->Width(), 50);
  EXPECT_EQ(b_->Height(), 25);
  EXPECT_EQ(Pixel(b_, 0, 0), RGB(64, 64, 64));
  EXPECT_EQ(Pixel(b_, 49, 24), RGB(64, 64, 64));
  EXPECT_EQ(Pixel(b_, 25, 12), RGB(255, 0, 0));
  b_->SetEnabled(false);
  Pump();
  EXPECT_EQ(Pixel(b_, 0, 0), RGB(128, 128, 128));
  EXPECT_EQ(Pixel(b_, 25, 12), RGB(212, 208, 200));
  b_->SetEnabled(true);
  b_->SetFrameColor(clNone);
  Pump();
  EXPECT_EQ(Pixel(b_, 0, 0), RGB(255, 0, 0)) << "no frame";
}

TEST_F(ColorButtonTest, APressOpensTheColourDialogBelowTheButton) {
  TDialogScript::Start();
  int changes = 0;
  b_->SetOnChange([&](TObject*) { ++changes; });
  b_->CustomColors()->SetText("ColorA=00FF00");
  TRect bounds;
  TDialogAnswer answer = TDialogAnswer::ChooseColor(clBlue, {0x123456});
  answer.WhileOpen = [&](TCommonDialog* D) { bounds = D->WindowBounds(); };
  TDialogScript::Push(answer);
  Click(b_, 10, 10);
  Pump();
  EXPECT_EQ(b_->SelectedColor(), clBlue);
  EXPECT_EQ(changes, 1) << "a confirmed colour fires OnChange once";
  const TPoint origin = b_->ClientOrigin();
  EXPECT_EQ(bounds.Left, origin.X - 2);
  EXPECT_EQ(bounds.Top, origin.Y + 27);
  EXPECT_EQ(b_->CustomColors()->Values("ColorA"), "123456") << "the dialog's custom colours come back";
  EXPECT_EQ(Pixel(b_, 25, 12), RGB(0, 0, 255));

  // Cancelled: nothing changes; a key release opens it too.
  TDialogScript::Push(TDialogAnswer::Cancelled());
  b_->SetFocus();
  Pump();
  Press(VK_SPACE);
  Pump();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(b_->SelectedColor(), clBlue);
  EXPECT_EQ(TDialogScript::Pending(), 0u);
  TDialogScript::Stop();
}

TEST_F(ColorButtonTest, APaletteFromTheOwnerReplacesTheColourDialog) {
  std::vector<TRGB> pal(8, TRGB{0, 0, 0});
  pal[3] = TRGB{255, 0, 0};  // blue, green, red order: pure blue
  b_->SetOnGetPalette([&](TObject*, TRGB*& Palette, int32_t& Count) {
    Palette = pal.data();
    Count = static_cast<int32_t>(pal.size());
  });
  bool shown = false;
  Application()->QueueCall([&] {
    for (int32_t i = 0; i < Screen()->FormCount(); ++i) {
      auto* d = dynamic_cast<TPixoranPaletteDialog*>(Screen()->Forms(i));
      if (!d || !d->Visible()) continue;
      shown = true;
      const TPoint at = d->ClientToScreen(TPoint(3 * 16 + 5, 5));
      SimulateMouse(TSimMouseAction::Move, mbLeft, at);
      SimulateMouse(TSimMouseAction::Press, mbLeft, at);
      SimulateMouse(TSimMouseAction::Release, mbLeft, at);
      ProcessPending();
      if (d->ModalResult() == mrNone) d->SetModalResult(mrCancel);
      return;
    }
    if (Screen()->ActiveForm()) Screen()->ActiveForm()->SetModalResult(mrCancel);
  });
  b_->ChooseColor();
  EXPECT_TRUE(shown);
  EXPECT_EQ(b_->SelectedColor(), clBlue);
}
