// The push button on real forms: presses, groups, the form's keys and focus, and its faces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/CvButton.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/StdCtrls.h"
#include "platform/gdi/WinGdi_text.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

class TProbeButton : public TCvButton {
 public:
  using TCvButton::TCvButton;
  using TCvCustomButton::CaptionBounds;
};

class CvButtonTest : public ControlsFormTest {
 protected:
  TProbeButton* Button(int32_t L, int32_t T, const std::string& Caption = "", int32_t Group = 0) {
    auto* b = Add<TProbeButton>(nullptr, L, T, 75, 25);
    b->SetCaption(Caption);
    b->SetGroupIndex(Group);
    b->SetOnClick([this, b](TObject*) { clicks_.push_back(b); });
    return b;
  }
  std::vector<TCvButton*> clicks_;
};

TEST_F(CvButtonTest, PressReleasedOutsideNeitherClicksNorStaysPressed) {
  TProbeButton* b = Button(10, 10);
  MouseDown(b, 10, 10);
  EXPECT_TRUE(b->Focused());
  EXPECT_TRUE(b->ShowPressed());
  Pump();
  // Pressed: the black outer ring of the pushed frame, its shadow inside.
  EXPECT_EQ(Pixel(b, 0, 0), Rgb(0, 0, 0));
  EXPECT_EQ(Pixel(b, 1, 1), Rgb(128, 128, 128));
  MouseMove(b, 100, 10);
  EXPECT_FALSE(b->ShowPressed());
  MouseMove(b, 74, 24);
  EXPECT_TRUE(b->ShowPressed());
  MouseMove(b, 75, 24);
  MouseUp(b, 75, 24);
  Pump();
  EXPECT_TRUE(clicks_.empty());
  EXPECT_FALSE(b->ShowPressed());
  // Raised again inside the focus ring.
  EXPECT_EQ(Pixel(b, 1, 1), Rgb(255, 255, 255));
  Click(b, 5, 5);
  EXPECT_EQ(clicks_.size(), 1u);
}

TEST_F(CvButtonTest, LatchingGroups) {
  TProbeButton* loose = Button(10, 10);
  loose->SetDown(true);
  EXPECT_FALSE(loose->Down());
  Click(loose, 5, 5);
  EXPECT_FALSE(loose->Down());
  clicks_.clear();

  TProbeButton* a = Button(10, 50, "", 1);
  TProbeButton* b = Button(100, 50, "", 1);
  TProbeButton* other = Button(190, 50, "", 2);
  other->SetDown(true);
  a->SetDown(true);
  b->SetDown(true);
  EXPECT_FALSE(a->Down());
  EXPECT_TRUE(b->Down());
  EXPECT_TRUE(other->Down());
  EXPECT_TRUE(clicks_.empty());
  // A latched button without AllowAllUp stays down when clicked, and still clicks.
  Click(b, 5, 5);
  EXPECT_TRUE(b->Down());
  ASSERT_EQ(clicks_.size(), 1u);
  EXPECT_EQ(clicks_[0], b);
  // A click latches a and releases b, whose OnClick stays silent.
  Click(a, 5, 5);
  EXPECT_TRUE(a->Down());
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(clicks_.size(), 2u);
  EXPECT_EQ(clicks_[1], a);
  // AllowAllUp spreads through the group message; then a click releases.
  b->SetAllowAllUp(true);
  EXPECT_TRUE(a->AllowAllUp());
  EXPECT_FALSE(other->AllowAllUp());
  Click(a, 5, 5);
  EXPECT_FALSE(a->Down());
  // The message itself: another group is ignored.
  TMessage m{CM_CVBUTTONPRESSED, 2, reinterpret_cast<LPARAM>(b), 0};
  a->Perform(m);
  a->SetDown(true);
  EXPECT_TRUE(a->Down());
  EXPECT_TRUE(other->Down());
}

TEST_F(CvButtonTest, ClicksSetTheModalResult) {
  TProbeButton* b = Button(10, 10);
  form_->SetModalResult(mrOk);
  Click(b, 5, 5);
  EXPECT_EQ(form_->ModalResult(), mrNone);
  b->SetModalResult(mrCancel);
  Click(b, 5, 5);
  EXPECT_EQ(form_->ModalResult(), mrCancel);
}

TEST_F(CvButtonTest, EnterEscapeAndAccelerators) {
  TProbeButton* ok = Button(10, 10, "&Go");
  TProbeButton* cancel = Button(100, 10, "Stop");
  auto* edit = Add<TEdit>(nullptr, 10, 50, 80, 21);
  ok->SetDefault(true);
  cancel->SetCancel(true);
  edit->SetFocus();
  EXPECT_TRUE(ok->Active());
  struct Case {
    uint16_t Key;
    TShiftState Shift;
    TCvButton* Clicked;
  };
  const Case cases[] = {
      {VK_RETURN, {}, ok},      {VK_RETURN, {ssShift}, nullptr}, {VK_RETURN, {ssCtrl}, nullptr},
      {VK_RETURN, {ssAlt}, nullptr}, {VK_ESCAPE, {}, cancel},     {VK_ESCAPE, {ssCtrl}, nullptr},
  };
  for (const Case& c : cases) {
    clicks_.clear();
    Press(c.Key, "", c.Shift);
    Pump();
    if (c.Clicked) {
      ASSERT_EQ(clicks_.size(), 1u) << c.Key;
      EXPECT_EQ(clicks_[0], c.Clicked);
    } else {
      EXPECT_TRUE(clicks_.empty()) << c.Key;
    }
  }
  // Both answer the message, so the form does not handle the key again.
  EXPECT_EQ(form_->Perform(CM_DIALOGKEY, VK_RETURN, 0), 1);
  EXPECT_EQ(form_->Perform(CM_DIALOGKEY, VK_ESCAPE, 0), 1);
  cancel->SetCancel(false);
  EXPECT_EQ(form_->Perform(CM_DIALOGKEY, VK_ESCAPE, 0), 0);
  // The caption's accelerator clicks.
  clicks_.clear();
  Press('G', "g", {ssAlt});
  Pump();
  ASSERT_EQ(clicks_.size(), 1u);
  EXPECT_EQ(clicks_[0], ok);
}

TEST_F(CvButtonTest, TheFocusedPushButtonLooksDefault) {
  TProbeButton* def = Button(10, 10);
  TProbeButton* other = Button(100, 10);
  auto* edit = Add<TEdit>(nullptr, 10, 50, 80, 21);
  def->SetDefault(true);
  edit->SetFocus();
  EXPECT_TRUE(def->Active());
  EXPECT_FALSE(other->Active());
  other->SetFocus();
  EXPECT_FALSE(def->Active());
  EXPECT_TRUE(other->Active());
  // Enter clicks the focused button then.
  Press(VK_RETURN);
  Pump();
  ASSERT_EQ(clicks_.size(), 1u);
  EXPECT_EQ(clicks_[0], other);
  edit->SetFocus();
  EXPECT_TRUE(def->Active());
  EXPECT_FALSE(other->Active());
  Pump();
  // The default button wears the black outer ring.
  EXPECT_EQ(Pixel(def, 0, 0), Rgb(0, 0, 0));
  EXPECT_EQ(Pixel(other, 0, 0), Rgb(255, 255, 255));
}

TEST_F(CvButtonTest, ClassicFaces) {
  TProbeButton* b = Button(10, 10);
  Pump();
  const int32_t W = 75, H = 25;
  EXPECT_EQ(Pixel(b, 0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(Pixel(b, 1, 1), Rgb(212, 208, 200));
  EXPECT_EQ(Pixel(b, W - 2, H - 2), Rgb(128, 128, 128));
  EXPECT_EQ(Pixel(b, W - 1, H - 1), Rgb(64, 64, 64));
  // Focused: the black ring first, then the same face inside it.
  b->SetFocus();
  Pump();
  EXPECT_EQ(Pixel(b, 0, 0), Rgb(0, 0, 0));
  EXPECT_EQ(Pixel(b, W - 1, H - 1), Rgb(0, 0, 0));
  EXPECT_EQ(Pixel(b, 1, 1), Rgb(255, 255, 255));
  EXPECT_EQ(Pixel(b, W - 2, H - 2), Rgb(64, 64, 64));
  // A latched group member: the lowered frame and the silver checker pattern inside.
  TProbeButton* g = Button(100, 10, "", 3);
  g->SetDown(true);
  Pump();
  EXPECT_EQ(Pixel(g, 0, 0), Rgb(128, 128, 128));
  EXPECT_EQ(Pixel(g, W - 1, H - 1), Rgb(255, 255, 255));
  EXPECT_EQ(Pixel(g, 4, 4), Rgb(192, 192, 192));
  EXPECT_EQ(Pixel(g, 5, 4), Rgb(212, 208, 200));
  // Another colour: the shaded frame.
  TProbeButton* yellow = Button(10, 50);
  yellow->SetColor(clYellow);
  Pump();
  EXPECT_EQ(Pixel(yellow, 0, 0), Rgb(TintColor(clYellow, 100)));
  EXPECT_EQ(Pixel(yellow, W - 1, H - 1), Rgb(ShadeColor(clYellow, 100)));
}

TEST_F(CvButtonTest, HotTrackFaces) {
  TProbeButton* b = Button(10, 10);
  b->SetHotTrack(true);
  EXPECT_TRUE(b->Transparent());
  Pump();
  EXPECT_EQ(Pixel(b, 0, 5), Rgb(193, 188, 176));
  EXPECT_EQ(Pixel(b, 74, 5), Rgb(231, 229, 224));
  EXPECT_EQ(Pixel(b, 1, 5), Rgb(64, 64, 64));
  EXPECT_EQ(Pixel(b, 5, 20), Rgb(203, 198, 188));
  EXPECT_EQ(Pixel(b, 5, 21), Rgb(193, 188, 176));
  EXPECT_EQ(Pixel(b, 5, 22), Rgb(184, 178, 164));
  // The cut corners show the form.
  EXPECT_EQ(Pixel(b, 0, 0), Rgb(clTeal));
  // Hot: the two-pixel ring from the light orange to the orange.
  MouseMove(b, 30, 12);
  Pump();
  EXPECT_EQ(Pixel(b, 5, 22), Rgb(b->HotTrackColor()));
  // The ring's top is light, near MixColors(white, orange, 190) = (250, 228, 194).
  EXPECT_NEAR(GetBValue(Pixel(b, 72, 2)), 188, 8);
  EXPECT_NE(Pixel(b, 40, 12), Rgb(b->HotTrackColor()));
  // Pressed: the face shaded by 10.
  MouseDown(b, 30, 12);
  Pump();
  EXPECT_EQ(Pixel(b, 40, 12), Rgb(203, 198, 188));
  MouseUp(b, 30, 12);
  // Disabled: no highlight even under the mouse, the face in Color inside the disabled frame.
  b->SetEnabled(false);
  MouseMove(b, 31, 12);
  Pump();
  EXPECT_EQ(Pixel(b, 1, 5), Rgb(TintColor(clBtnShadow, 30)));
  EXPECT_EQ(Pixel(b, 2, 21), Rgb(212, 208, 200));
  EXPECT_EQ(Pixel(b, 0, 5), Rgb(clTeal));
}

TEST_F(CvButtonTest, RightAlignedCaptionsKeepTheShadowDepth) {
  TProbeButton* b = Button(10, 10, "Right");
  b->SetAlignment(taRightJustify);
  b->SetTextShadowDepth(3);
  for (TTextStyle style : {TTextStyle::tsNormal, TTextStyle::tsRaised, TTextStyle::tsShadow}) {
    b->SetTextStyle(style);
    TRect r = b->CaptionBounds(b->Canvas(), TRect(5, 5, 70, 20), DT_RIGHT);
    EXPECT_EQ(r.Right, 67);
    r = b->CaptionBounds(b->Canvas(), TRect(5, 5, 70, 20), DT_LEFT);
    EXPECT_EQ(r.Right, 70);
  }
}

TEST_F(CvButtonTest, StoredFrameFlatTurnsHotTrackOn) {
  auto* b = new TCvButton(form_.get());  // owned by the form
  b->SetName("B");
  b->SetParent(form_.get());
  LoadFormFromText(b, "object B: TCvButton\n  FrameFlat = True\nend\n");
  EXPECT_TRUE(b->HotTrack());
  EXPECT_TRUE(b->Transparent());
}

}  // namespace
