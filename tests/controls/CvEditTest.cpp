// The framed edit and the spin edit on real forms.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/CvEdit.h"
#include "controls/CvSpnEdt.h"
#include "platform/forms/Clipbrd.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/FormsTesting.h"
#include "platform/forms/StdCtrls.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

using enum TFrameStyleEx;

// A framed edit that shows the drop button.
class TDropEdit : public TCvCustomEdit {
 public:
  explicit TDropEdit(TComponent* AOwner) : TCvCustomEdit(AOwner) { SetDropButtonVisible(true); }
};

// The number of beeps since the script started.
size_t Beeps() {
  size_t n = 0;
  for (const TDialogShown& s : TDialogScript::Shown()) n += s.Kind == "MessageBeep";
  return n;
}

class CvEditTest : public ControlsFormTest {
 protected:
  void SetUp() override {
    ControlsFormTest::SetUp();
    TDialogScript::Start();
  }
  void TearDown() override {
    TDialogScript::Stop();
    ControlsFormTest::TearDown();
  }
  TColorRef WindowPixel(TWinControl* C, int32_t X, int32_t Y) { return WindowSurface(C->Handle())->GetPixel(X, Y); }
  TCvSpinEdit* Spin(int32_t L = 10, int32_t T = 10) {
    auto* s = Add<TCvSpinEdit>(nullptr, L, T, 60, 21);
    s->SetOnChange([this](TObject*) { ++changes_; });
    s->SetOnButtonClick([this](TObject*, TSpinButtonType b) { buttons_.push_back(b); });
    return s;
  }
  int changes_ = 0;
  std::vector<TSpinButtonType> buttons_;
};

// ---------------------------------------------------------------------------------------------
// Framed edit

TEST_F(CvEditTest, StateColours) {
  auto* e = Add<TCvSpinEdit>(nullptr, 10, 10, 80, 21);
  auto* other = Add<TEdit>(nullptr, 10, 50, 80, 21);
  e->SetFocusColor(clYellow);
  Pump();
  EXPECT_EQ(e->Color(), clWindow);
  e->SetFocus();
  EXPECT_EQ(e->Color(), clYellow);
  Pump();
  EXPECT_EQ(Pixel(e, 3, 10), Rgb(clYellow));
  other->SetFocus();
  EXPECT_EQ(e->Color(), clWindow);
  // Read-only: the read-only colour, but the focus colour while focused.
  e->SetReadOnly(true);
  EXPECT_EQ(Rgb(e->Color()), Rgb(255, 255, 225));
  e->SetFocus();
  EXPECT_EQ(e->Color(), clYellow);
  e->SetReadOnlyColorOnFocus(true);
  other->SetFocus();
  e->SetFocus();
  EXPECT_EQ(Rgb(e->Color()), Rgb(255, 255, 225));
  e->SetReadOnly(false);
  // Disabled: the disabled colour, and Color is not stored then.
  other->SetFocus();
  e->SetEnabled(false);
  EXPECT_EQ(Rgb(e->Color()), Rgb(212, 208, 200));
  EXPECT_FALSE(IsStoredProp(e, "Color"));
  e->SetEnabled(true);
  EXPECT_EQ(e->Color(), clWindow);
}

TEST_F(CvEditTest, ColourWrittenWhileFocusedMovesAnEqualFocusColour) {
  auto* e = Add<TCvSpinEdit>(nullptr, 10, 10, 80, 21);
  auto* other = Add<TEdit>(nullptr, 10, 50, 80, 21);
  e->SetFocus();
  e->SetColor(clAqua);
  EXPECT_EQ(e->FocusColor(), clAqua);
  EXPECT_EQ(e->NormalColor(), clAqua);
  other->SetFocus();
  EXPECT_EQ(e->Color(), clAqua);
  // A different focus colour stays.
  e->SetFocusColor(clYellow);
  e->SetColor(clLime);
  EXPECT_EQ(e->FocusColor(), clYellow);
  EXPECT_FALSE(IsStoredProp(e, "FocusColor") && ColorToRGB(e->FocusColor()) == ColorToRGB(e->Color()));
}

TEST_F(CvEditTest, CustomFrameInTheNonClientArea) {
  auto* e = Add<TCvSpinEdit>(nullptr, 10, 10, 80, 21);
  auto* other = Add<TEdit>(nullptr, 10, 50, 80, 21);
  e->SetColor(clYellow);
  e->SetFrameVisible(true);
  EXPECT_EQ(e->FramingPreference(), fpXPThemes);
  Pump();
  EXPECT_EQ(WindowPixel(e, 0, 0), Rgb(128, 128, 128));
  EXPECT_EQ(WindowPixel(e, 79, 20), Rgb(128, 128, 128));
  EXPECT_EQ(WindowPixel(e, 1, 1), Rgb(clYellow));
  // Hot-track: the hot style (two-pixel flat bold) in the hot colour while focused or hot.
  e->SetFrameHotTrack(true);
  e->SetFrameHotColor(clRed);
  Pump();
  EXPECT_EQ(WindowPixel(e, 1, 1), Rgb(clYellow));
  e->SetFocus();
  Pump();
  EXPECT_EQ(WindowPixel(e, 0, 0), Rgb(clRed));
  EXPECT_EQ(WindowPixel(e, 1, 1), Rgb(clRed));
  other->SetFocus();
  Pump();
  EXPECT_EQ(WindowPixel(e, 1, 1), Rgb(clYellow));
  MouseMove(e, 20, 10);
  Pump();
  EXPECT_EQ(WindowPixel(e, 1, 1), Rgb(clRed));
  MouseMove(form_.get(), 300, 250);
  Pump();
  EXPECT_EQ(WindowPixel(e, 1, 1), Rgb(clYellow));
}

TEST_F(CvEditTest, FrameHotTrackShowsTheFrameOnAllSides) {
  auto* e = Add<TCvSpinEdit>(nullptr, 10, 10, 80, 21);
  e->SetFrameSides({sdLeft});
  e->SetFrameHotTrack(true);
  EXPECT_TRUE(e->FrameVisible());
  EXPECT_EQ(e->FrameSides(), AllSides);
  // An older stored form: "FrameFlat" turns hot tracking on with the status styles.
  auto* loaded = Add<TCvSpinEdit>(nullptr, 10, 50, 80, 21);
  loaded->SetName("Loaded");
  LoadFormFromText(loaded, "object Loaded: TCvSpinEdit\n  FrameFlat = True\nend\n");
  EXPECT_TRUE(loaded->FrameHotTrack());
  EXPECT_EQ(loaded->FrameStyle(), fsStatus);
  EXPECT_EQ(loaded->FrameHotStyle(), fsLowered);
}

TEST_F(CvEditTest, ValidateFailureMessage) {
  auto* e = Add<TDropEdit>(nullptr, 10, 10, 80, 21);
  e->SetEditMask("000;1;_");
  e->SetFocus();
  Press('1', "1");
  Pump();
  std::string given = "Three digits, please";
  e->SetOnValidateFailure([&](TObject*, std::string& Message) { Message = given; });
  try {
    e->ValidateEdit();
    ADD_FAILURE() << "no error";
  } catch (const EDBEditError& error) {
    EXPECT_EQ(error.Message(), given);
  }
  EXPECT_EQ(Beeps(), 1u);
  // An empty message leaves it to the masked edit's own error.
  given.clear();
  EXPECT_THROW(e->ValidateEdit(), EDBEditError);
}

TEST_F(CvEditTest, DropButtonOfADescendant) {
  auto* e = Add<TDropEdit>(nullptr, 10, 10, 80, 21);
  std::vector<std::string> events;
  e->SetOnDropButtonDown([&](TObject*) { events.push_back(e->DropButtonDown() ? "down" : "?"); });
  e->SetOnDropButtonUp([&](TObject*) { events.push_back("up"); });
  Pump();
  // The button takes the client area's right 17 pixels.
  EXPECT_EQ(e->ClientWidth(), 80 - 4 - GetSystemMetrics(SM_CXVSCROLL));
  // A click on the button presses it.
  Click(e, e->ClientWidth() + 5, 8);
  EXPECT_EQ(events, (std::vector<std::string>{"down", "up"}));
  EXPECT_TRUE(e->Focused());
  EXPECT_FALSE(e->DropButtonDown());
  // Alt+Down presses it too.
  Press(VK_DOWN, "", {ssAlt});
  EXPECT_EQ(events.size(), 4u);
  EXPECT_FALSE(e->DropButtonDown());
}

// ---------------------------------------------------------------------------------------------
// Spin edit

TEST_F(CvEditTest, SpinStepsStayInTheRange) {
  TCvSpinEdit* s = Spin();
  s->SetMin(-500);
  s->SetMax(500);
  s->SetValueProp(500);
  changes_ = 0;
  // The up button at 500: still 500, OnButtonClick but no OnChange.
  TCvControlButton* up = s->SpinButton(sbUp);
  Click(up, 5, 3);
  EXPECT_EQ(s->Text(), "500");
  EXPECT_EQ(buttons_, (std::vector<TSpinButtonType>{sbUp}));
  EXPECT_EQ(changes_, 0);
  Click(s->SpinButton(sbDown), 5, 3);
  EXPECT_EQ(s->Text(), "499");
  EXPECT_EQ(changes_, 1);
  // An OnChanging veto keeps the value and suppresses OnButtonClick.
  buttons_.clear();
  s->SetOnChanging([](TObject*, long double, bool& Allow) { Allow = false; });
  Click(up, 5, 3);
  EXPECT_EQ(s->Text(), "499");
  EXPECT_TRUE(buttons_.empty());
}

TEST_F(CvEditTest, SpinRangesBlanksAndNonNumbers) {
  struct Case {
    long double Min, Max;
    bool CheckRange, AllowBlank;
    std::string Typed, AfterExit;
  };
  const Case cases[] = {
      {0, 0, false, false, "77", "77"},    // an empty range keeps any value
      {0, 0, true, false, "77", "0"},      // unless the range is checked
      {0, 100, false, true, "", ""},       // a blank stays blank
      {5, 100, false, false, "", "5"},     // or becomes Min
      {5, 100, false, false, "abc", "5"},  // not a number reads as Min
      {5, 100, false, false, "150", "100"},
  };
  for (const Case& c : cases) {
    TCvSpinEdit* s = Spin();
    auto* other = Add<TEdit>(nullptr, 100, 100, 50, 21);
    s->SetMin(c.Min);
    s->SetMax(c.Max);
    s->SetCheckRange(c.CheckRange);
    s->SetAllowBlank(c.AllowBlank);
    s->SetBlankValue(42);
    s->SetFocus();
    s->SetText(c.Typed);
    other->SetFocus();
    EXPECT_EQ(s->Text(), c.AfterExit) << c.Typed;
    if (c.AllowBlank) {
      EXPECT_EQ(s->Value(), 42) << c.Typed;
    }
  }
}

TEST_F(CvEditTest, SpinDecimalsAndIntValue) {
  TCvSpinEdit* s = Spin();
  s->SetIntegersOnly(false);
  s->SetDecimals(2);
  s->SetValueProp(1.5);
  EXPECT_EQ(s->Text(), "1.50");
  s->SetIntegersOnly(true);
  EXPECT_EQ(s->Text(), "2");
  EXPECT_EQ(s->Decimals(), 0);
  s->SetIntegersOnly(false);
  s->SetDecimals(1);
  s->SetValueProp(2.5);
  EXPECT_EQ(s->IntValue(), 2);
  s->SetValueProp(3.5);
  EXPECT_EQ(s->IntValue(), 4);
}

TEST_F(CvEditTest, SpinKeys) {
  TCvSpinEdit* s = Spin();
  s->SetValueProp(50);
  s->SetFocus();
  // Without key editing: digits and Delete beep, the arrows step.
  Press('7', "7");
  Press(VK_DELETE);
  Pump();
  EXPECT_EQ(s->Text(), "50");
  EXPECT_EQ(Beeps(), 2u);
  Press(VK_UP);
  EXPECT_EQ(s->Text(), "51");
  Press(VK_DOWN);
  Press(VK_DOWN);
  EXPECT_EQ(s->Text(), "49");
  Press(VK_PRIOR);
  EXPECT_EQ(s->Text(), "59");
  Press(VK_NEXT);
  EXPECT_EQ(s->Text(), "49");
  // The wheel steps by Increment, with Ctrl by PageSize.
  Wheel(s, 5, 5, 120);
  EXPECT_EQ(s->Text(), "50");
  Wheel(s, 5, 5, -120, {ssCtrl});
  EXPECT_EQ(s->Text(), "40");
  // With key editing: "-" only at the start of a text without a sign, or over all of it.
  s->SetAllowKeyEdit(true);
  s->SetMin(-100);
  s->SetSelStart(1);
  s->SetSelLength(0);
  Press(VK_OEM_MINUS, "-");
  EXPECT_EQ(s->Text(), "40");
  s->SelectAll();
  Press(VK_OEM_MINUS, "-");
  Press('3', "3");
  EXPECT_EQ(s->Text(), "-3");
  // A read-only edit beeps instead of stepping.
  const size_t beeps = Beeps();
  s->SetReadOnly(true);
  Press(VK_UP);
  EXPECT_EQ(s->Text(), "-3");
  EXPECT_EQ(Beeps(), beeps + 1);
}

TEST_F(CvEditTest, SpinPasteAndCut) {
  TCvSpinEdit* s = Spin();
  s->SetValueProp(12);
  Clipboard()->SetAsText("34");
  s->SelectAll();
  s->Perform(WM_PASTE);
  EXPECT_EQ(s->Text(), "12");
  s->Perform(WM_CUT);
  EXPECT_EQ(s->Text(), "12");
  s->SetAllowKeyEdit(true);
  s->SelectAll();
  s->Perform(WM_PASTE);
  EXPECT_EQ(s->Text(), "34");
  s->SetReadOnly(true);
  s->SelectAll();
  s->Perform(WM_CUT);
  EXPECT_EQ(s->Text(), "34");
}

TEST_F(CvEditTest, SpinButtonsPlacement) {
  TCvSpinEdit* s = Spin();
  s->SetFrameVisible(true);
  s->SetBounds(10, 10, 60, 21);
  Pump();
  TCvSpinButtons* b = s->Buttons();
  EXPECT_EQ(b->BoundsRect(), TRect(60 - 21, 0, 60 - 4, 21 - 3));
  EXPECT_EQ(s->RightMargin(), 19);
  EXPECT_EQ(s->SpinButton(sbUp)->BoundsRect(), TRect(0, 0, 17, 9));
  EXPECT_EQ(s->SpinButton(sbDown)->BoundsRect(), TRect(0, 9, 17, 17));
  // Read-only: no buttons and no margin.
  s->SetReadOnly(true);
  EXPECT_FALSE(b->Visible());
  EXPECT_EQ(s->RightMargin(), 0);
}

TEST_F(CvEditTest, FlatSpinButtonsFollowTheHover) {
  TCvSpinEdit* s = Spin();
  s->SetFrameVisible(true);
  s->SetFlatButtons(true);
  s->SetColor(clYellow);
  MouseMove(form_.get(), 300, 250);
  Pump();
  TCvSpinButtons* pair = s->Buttons();
  EXPECT_EQ(Pixel(pair, 1, 2), Rgb(clYellow));
  MouseMove(s, 10, 5);
  Pump();
  EXPECT_EQ(Pixel(pair, 1, 2), Rgb(212, 208, 200));
  EXPECT_EQ(Pixel(pair, 1, 10), Rgb(212, 208, 200));
}

TEST_F(CvEditTest, HeldSpinButtonRepeats) {
  TCvSpinEdit* s = Spin();
  TCvControlButton* up = s->SpinButton(sbUp);
  MouseDown(up, 5, 3);
  EXPECT_EQ(s->Text(), "0");
  AdvanceTime(400);
  EXPECT_EQ(s->Text(), "1");
  AdvanceTime(200);
  EXPECT_EQ(s->Text(), "3");
  MouseUp(up, 5, 3);
  EXPECT_EQ(s->Text(), "4");
  // The press moved the focus to the edit.
  EXPECT_TRUE(s->Focused());
}

}  // namespace
