// Check boxes and radio buttons on real forms.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/CvRadChk.h"
#include "platform/forms/ActnList.h"
#include "platform/forms/StdCtrls.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

// Records the rectangle the caption is drawn in.
template <class Base>
class TProbe : public Base {
 public:
  using Base::Base;
  TRect CaptionRect;

 protected:
  void DrawCaptionText(TCanvas* ACanvas, TRect Rect, UINT Flags) override {
    CaptionRect = Rect;
    Base::DrawCaptionText(ACanvas, Rect, Flags);
  }
};
using TProbeCheck = TProbe<TCvCheckBox>;
using TProbeRadio = TProbe<TCvRadioButton>;

class CvRadChkTest : public ControlsFormTest {
 protected:
  template <class T>
  T* Make(int32_t L, int32_t T_, const std::string& Caption, TWinControl* Parent = nullptr) {
    auto* c = Add<T>(Parent, L, T_, 120, 20);
    c->SetCaption(Caption);
    c->SetOnClick([this, c](TObject*) { clicks_.push_back(c); });
    return c;
  }
  std::vector<TObject*> clicks_;
};

TEST_F(CvRadChkTest, RadioGroupIsExclusive) {
  auto* a = Make<TProbeRadio>(10, 10, "&Alpha");
  auto* b = Make<TProbeRadio>(10, 40, "&Beta");
  auto* c = Make<TProbeRadio>(10, 70, "&Gamma");
  EXPECT_FALSE(a->TabStop());
  a->SetChecked(true);
  EXPECT_EQ(clicks_, (std::vector<TObject*>{a}));
  EXPECT_TRUE(a->TabStop());
  // A click on b checks it, unchecks a and clicks b only.
  Click(b, 5, 5);
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(clicks_, (std::vector<TObject*>{a, b}));
  EXPECT_FALSE(a->TabStop());
  EXPECT_TRUE(b->TabStop());
  EXPECT_FALSE(c->TabStop());
  // A click on the checked one raises nothing; writing the same value neither.
  Click(b, 5, 5);
  b->SetChecked(true);
  EXPECT_EQ(clicks_.size(), 2u);
  // A press released outside leaves it focused and unchecked.
  MouseDown(c, 5, 5);
  MouseUp(c, 300, 5);
  EXPECT_TRUE(c->Focused());
  EXPECT_FALSE(c->Checked());
  // Keyboard focus checks: an arrow, then the accelerator.
  b->SetFocus();
  Press(VK_DOWN);
  Pump();
  EXPECT_TRUE(c->Focused());
  EXPECT_TRUE(c->Checked());
  Press('A', "a", {ssAlt});
  Pump();
  EXPECT_TRUE(a->Focused());
  EXPECT_TRUE(a->Checked());
  EXPECT_FALSE(c->Checked());
}

TEST_F(CvRadChkTest, ReadOnlySpreadsToTheGroup) {
  auto* a = Make<TProbeRadio>(10, 10, "A");
  auto* b = Make<TProbeRadio>(10, 40, "B");
  auto* panel = Add<TCvRadioButton>(nullptr, 200, 10, 50, 20);  // same parent, another class too
  a->SetChecked(true);
  clicks_.clear();
  b->SetReadOnly(true);
  EXPECT_TRUE(a->ReadOnly());
  EXPECT_TRUE(panel->ReadOnly());
  Click(b, 5, 5);
  EXPECT_FALSE(b->Checked());
  a->SetFocus();
  b->SetFocus();
  EXPECT_FALSE(b->Checked());
  EXPECT_TRUE(clicks_.empty());
  // The program still checks it, with its Click.
  b->SetChecked(true);
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(clicks_, (std::vector<TObject*>{b}));
}

TEST_F(CvRadChkTest, CheckBoxStates) {
  auto* box = Make<TProbeCheck>(10, 10, "&Check");
  Click(box, 5, 5);
  EXPECT_EQ(box->State(), cbChecked);
  Click(box, 5, 5);
  EXPECT_EQ(box->State(), cbUnchecked);
  box->SetAllowGrayed(true);
  const TCheckBoxState cycle[] = {cbGrayed, cbChecked, cbUnchecked};
  for (TCheckBoxState s : cycle) {
    Click(box, 5, 5);
    EXPECT_EQ(box->State(), s);
  }
  EXPECT_EQ(clicks_.size(), 5u);
  // Any state may be written; grayed reads unchecked; Checked False then clicks.
  box->SetAllowGrayed(false);
  box->SetState(cbGrayed);
  EXPECT_FALSE(box->Checked());
  clicks_.clear();
  box->SetChecked(false);
  EXPECT_EQ(box->State(), cbUnchecked);
  EXPECT_EQ(clicks_.size(), 1u);
}

TEST_F(CvRadChkTest, SpaceAndEscape) {
  auto* box = Make<TProbeCheck>(10, 10, "Space");
  box->SetFocus();
  SimulateKey(true, VK_SPACE, " ");
  Pump();
  EXPECT_TRUE(box->ShowPressed());
  SimulateKey(false, VK_SPACE);
  Pump();
  EXPECT_FALSE(box->ShowPressed());
  EXPECT_TRUE(box->Checked());
  // Escape before the release cancels the toggle.
  SimulateKey(true, VK_SPACE, " ");
  Press(VK_ESCAPE);
  SimulateKey(false, VK_SPACE);
  Pump();
  EXPECT_TRUE(box->Checked());
  EXPECT_FALSE(box->ShowPressed());
  // Read-only: no pressed look, clicks and Space ignored, but the accelerator toggles.
  box->SetCaption("&Read");
  box->SetReadOnly(true);
  SimulateKey(true, VK_SPACE, " ");
  EXPECT_FALSE(box->ShowPressed());
  SimulateKey(false, VK_SPACE);
  Click(box, 5, 5);
  EXPECT_TRUE(box->Checked());
  Press('R', "r", {ssAlt});
  Pump();
  EXPECT_FALSE(box->Checked());
}

TEST_F(CvRadChkTest, ActionsReachCheckedWithoutClick) {
  auto* box = Make<TProbeCheck>(10, 10, "Act");
  auto* action = new TAction(form_.get());  // owned by the form
  action->SetCaption("Act");
  box->SetAction(action);
  clicks_.clear();
  action->SetChecked(true);
  EXPECT_TRUE(box->Checked());
  EXPECT_TRUE(clicks_.empty());
  EXPECT_FALSE(box->ClicksDisabled());
  EXPECT_FALSE(IsStoredProp(box, "Checked"));
  action->SetChecked(false);
  EXPECT_FALSE(box->Checked());
  // The link serves check boxes and radio buttons only.
  TCvCheckedActionLink link;
  auto* edit = Add<TEdit>(nullptr, 10, 50, 80, 21);
  try {
    link.AssignClient(edit);
    ADD_FAILURE() << "no error";
  } catch (const EInvalidCast& e) {
    EXPECT_EQ(e.Message(), "Invalid class typecast");
  }
  // A radio button's stored Checked is left to a linked action.
  auto* radio = Make<TProbeRadio>(10, 80, "R");
  auto* checked = new TAction(form_.get());  // owned by the form
  checked->SetChecked(true);
  radio->SetAction(checked);
  EXPECT_TRUE(radio->Checked());
  EXPECT_FALSE(IsStoredProp(radio, "Checked"));
}

TEST_F(CvRadChkTest, TabOnEnter) {
  auto* box = Make<TProbeCheck>(10, 10, "One");
  auto* next = Add<TEdit>(nullptr, 10, 50, 80, 21);
  box->SetTabOnEnter(true);
  std::vector<char16_t> seen;
  box->SetOnKeyPress([&](TObject*, char16_t& Key) { seen.push_back(Key); });
  box->SetFocus();
  Press(VK_RETURN, "\r");
  Pump();
  EXPECT_TRUE(next->Focused());
  EXPECT_TRUE(seen.empty());
}

TEST_F(CvRadChkTest, LayoutAndFocusFrame) {
  auto* box = Make<TProbeCheck>(10, 10, "Caption");
  box->SetColor(clWhite);
  const int32_t W = box->Width(), H = box->Height();
  Pump();
  EXPECT_EQ(box->GlyphRect(), TRect(0, 2, 13, 15));
  EXPECT_EQ(box->CaptionRect, TRect(18, 1, W - 1, H - 1));
  // The classic box: a sunken white square.
  EXPECT_EQ(Pixel(box, 0, 2), Rgb(128, 128, 128));
  EXPECT_EQ(Pixel(box, 6, 8), Rgb(255, 255, 255));
  box->SetAlignment(taLeftJustify);
  Pump();
  EXPECT_EQ(box->GlyphRect(), TRect(W - 13, 2, W, 15));
  EXPECT_EQ(box->CaptionRect, TRect(1, 1, W - 18, H - 1));
  box->SetAlignment(taRightJustify);
  // Focused: a dotted frame over the full height, the caption's width + 3 wide, from x 17.
  box->SetFocus();
  Pump();
  TestSurface measure(1, 1);
  measure.Canvas()->Font()->Assign(box->Font());
  const int32_t e = std::min(W - 17, measure.Canvas()->TextWidth("Caption") + 3);
  EXPECT_EQ(Pixel(box, 17, 1), Rgb(0, 0, 0));
  EXPECT_EQ(Pixel(box, 17 + e - 1, H - 1 - ((H - 1) % 2 == 1 ? 0 : 1)), Rgb(0, 0, 0));
  EXPECT_EQ(Pixel(box, 17 + e, 1), Rgb(255, 255, 255));
  EXPECT_EQ(Pixel(box, 16, 1), Rgb(255, 255, 255));
}

TEST_F(CvRadChkTest, HotTrackGlyphs) {
  auto* box = Make<TProbeCheck>(10, 10, "Hot");
  auto* radio = Make<TProbeRadio>(10, 40, "Hot");
  box->SetHotTrack(true);
  radio->SetHotTrack(true);
  box->SetChecked(true);
  radio->SetChecked(true);
  Pump();
  // The check mark in the highlight colour at (3, 7) of the glyph, the frame in FrameColor.
  EXPECT_EQ(Pixel(box, 3, 9), Rgb(10, 36, 106));
  EXPECT_EQ(Pixel(box, 0, 2), Rgb(128, 128, 128));
  EXPECT_EQ(Pixel(box, 1, 3), Rgb(255, 255, 255));
  // The radio dot at (6, 6), its outline at (6, 0) in the frame colour.
  EXPECT_EQ(Pixel(radio, 6, 8), Rgb(10, 36, 106));
  EXPECT_EQ(Pixel(radio, 6, 2), Rgb(128, 128, 128));
  // Hot: the gradient ring inside the box.
  MouseMove(box, 5, 8);
  Pump();
  EXPECT_NE(Pixel(box, 1, 3), Rgb(255, 255, 255));
  // Disabled: the mark in the shadow colour on DisabledColor.
  box->SetEnabled(false);
  Pump();
  EXPECT_EQ(Pixel(box, 3, 9), Rgb(128, 128, 128));
  EXPECT_EQ(Pixel(box, 1, 3), Rgb(212, 208, 200));
}

TEST_F(CvRadChkTest, CustomGlyphStrips) {
  // Frame i of the strip is filled with the colour (i * 20, 0, 0); lime is the window colour.
  auto strip = [](int32_t Frames, int32_t Width) {
    auto holder = std::make_unique<TBitmap>();
    TBitmap& b = *holder;
    b.SetSize(Width * Frames, 13);
    for (int32_t i = 0; i < Frames; ++i) {
      b.Canvas()->Brush()->SetColor(static_cast<TColor>(Rgb(i * 20 + 20, 0, 0)));
      b.Canvas()->FillRect(TRect(i * Width, 0, (i + 1) * Width, 13));
    }
    b.Canvas()->SetPixels(2, 2, clLime);
    return holder;
  };
  auto* radio = Make<TProbeRadio>(10, 10, "R");
  auto* box = Make<TProbeCheck>(10, 40, "C");
  radio->SetCustomGlyphs(strip(6, 13).get());
  box->SetCustomGlyphs(strip(9, 13).get());
  EXPECT_TRUE(radio->UseCustomGlyphs());
  EXPECT_EQ(radio->GlyphWidth(), 13);
  EXPECT_EQ(box->GlyphWidth(), 13);
  box->SetState(cbGrayed);
  Pump();
  EXPECT_EQ(Pixel(box, 5, 7), Rgb(2 * 20 + 20, 0, 0));
  EXPECT_EQ(Pixel(radio, 5, 7), Rgb(20, 0, 0));
  EXPECT_EQ(Pixel(radio, 2, 4), Rgb(clWindow));
  box->SetEnabled(false);
  Pump();
  EXPECT_EQ(Pixel(box, 5, 7), Rgb(8 * 20 + 20, 0, 0));
  // A strip that ends inside the wanted frame: the missing part shows the background.
  auto shortStrip = strip(1, 13);
  shortStrip->SetSize(30, 13);
  box->SetEnabled(true);
  box->SetColor(clYellow);
  box->SetCustomGlyphs(shortStrip.get());
  EXPECT_EQ(box->GlyphWidth(), 13);
  Pump();
  // Frame 2 starts at 26: four columns of it lie inside the 30-pixel strip.
  EXPECT_NE(Pixel(box, 3, 7), Rgb(clYellow));
  EXPECT_EQ(Pixel(box, 4, 7), Rgb(clYellow));
  EXPECT_EQ(Pixel(box, 12, 7), Rgb(clYellow));
  // An empty strip turns the custom glyphs off: 13 x 13 again.
  TBitmap empty;
  box->SetCustomGlyphs(&empty);
  EXPECT_FALSE(box->UseCustomGlyphs());
  box->SetCustomGlyphs(strip(9, 20).get());
  EXPECT_EQ(box->GlyphWidth(), 20);
  box->SetCustomGlyphs(&empty);
  EXPECT_EQ(box->GlyphWidth(), 13);
  EXPECT_EQ(box->GlyphHeight(), 13);
}

TEST_F(CvRadChkTest, TransparentRadioShadesItsOutline) {
  auto* radio = Make<TProbeRadio>(10, 10, "T");
  radio->SetHotTrack(true);
  radio->SetTransparent(true);
  radio->SetFrameColor(clBlack);
  Pump();
  // (4, 0) of the glyph: half the frame colour over the form's teal; (0, 0) the form itself.
  EXPECT_EQ(Pixel(radio, 4, 2), Rgb(MixColors(clBlack, clTeal, 128)));
  EXPECT_EQ(Pixel(radio, 3, 2), Rgb(MixColors(clBlack, clTeal, 40)));
  EXPECT_EQ(Pixel(radio, 0, 2), Rgb(clTeal));
  EXPECT_EQ(Pixel(radio, 60, 3), Rgb(clTeal));
}

TEST_F(CvRadChkTest, FrameControllerColours) {
  auto* fc = new TCvFrameController(form_.get());  // owned by the form
  auto* box = Make<TProbeCheck>(10, 10, "F");
  fc->SetFrameVisible(true);
  fc->SetColor(clYellow);
  fc->SetFrameColor(clRed);
  box->SetFrameController(fc);
  EXPECT_TRUE(box->HotTrack());
  EXPECT_EQ(box->FillColor(), clYellow);
  EXPECT_EQ(box->FrameColor(), clRed);
  Pump();
  EXPECT_EQ(Pixel(box, 0, 2), Rgb(clRed));
  EXPECT_EQ(Pixel(box, 1, 3), Rgb(clYellow));
  delete fc;
  EXPECT_EQ(box->FrameController(), nullptr);
}

}  // namespace
