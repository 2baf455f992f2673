#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "tests/forms/TestHost.h"

namespace {

// A control with a hint; CM_HINTSHOW can refuse the hint or change its text.
class THintTestControl : public TCustomControl {
 public:
  explicit THintTestControl(TComponent* AOwner) : TCustomControl(AOwner) {
    SetHint("Fit|Fits the picture");
    SetShowHint(true);
  }
  LRESULT Refuse = 0;
  std::string Replace;

 protected:
  void CMHintShow(TCMHintShow& Message) override {
    if (!Replace.empty()) Message.HintInfo->HintStr = Replace;
    Message.Result = Refuse;
  }
};

class HintsTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = NewForm(400, 300);
    fit = new THintTestControl(form.get());  // owned by the form
    fit->SetBounds(20, 20, 100, 40);
    fit->SetParent(form.get());
    Pump();
  }
  void TearDown() override {
    Application()->CancelHint();
    form.reset();
    FormsTest::TearDown();
  }
  static bool HintShown() {
    THintWindow* w = Application()->HintWindow();
    return w && w->HandleAllocated() && IsWindowVisible(w->Handle());
  }
  // Rests the mouse on the control until its hint shows.
  void ShowFitHint(int32_t X = 10, int32_t Y = 10) {
    MouseMove(fit, X, Y);
    AdvanceTime(Application()->HintPause());
    ASSERT_TRUE(HintShown());
  }
  std::unique_ptr<TForm> form;
  THintTestControl* fit = nullptr;
};

TEST_F(HintsTest, RestingOnAControlShowsItsShortHintInTheClassicLook) {
  MouseMove(fit, 10, 10);
  AdvanceTime(499);
  EXPECT_FALSE(HintShown());
  AdvanceTime(1);
  ASSERT_TRUE(HintShown());
  THintWindow* hint = Application()->HintWindow();
  EXPECT_EQ(hint->Caption(), "Fit");
  HWND wnd = hint->Handle();
  TRect r;
  GetWindowRect(wnd, &r);
  // Its top-left lies under the cursor (the height of the arrow below the hot spot).
  const TPoint cursor = ScreenOf(fit, 10, 10);
  EXPECT_EQ(r.TopLeft(), TPoint(cursor.X, cursor.Y + 20));
  // A one-pixel black frame around the hint colour.
  const TSurface* s = WindowSurface(wnd);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->GetPixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(s->GetPixel(r.Width() - 1, r.Height() - 1), RGB(0, 0, 0));
  EXPECT_EQ(ClientPixel(wnd, 0, 0), RGB(255, 255, 225));
  EXPECT_EQ(ClientPixel(wnd, r.Width() - 3, 1), RGB(255, 255, 225));
  EXPECT_GT(r.Width(), 8);
  // It takes neither activation nor focus, and the mouse passes through it.
  EXPECT_EQ(GetActiveWindow(), form->Handle());
  EXPECT_EQ(WindowFromPoint(TPoint(r.Left + 3, r.Top + 3)), fit->Handle());
  // HintHidePause later it goes, and stays gone while the mouse stays on the control.
  AdvanceTime(Application()->HintHidePause() - 1);
  EXPECT_TRUE(HintShown());
  AdvanceTime(1);
  EXPECT_FALSE(HintShown());
  MouseMove(fit, 12, 12);
  AdvanceTime(1000);
  EXPECT_FALSE(HintShown());
}

TEST_F(HintsTest, LeavingPressKeyAndCancelHintHideIt) {
  const struct {
    const char* Name;
    std::function<void()> Do;
  } cases[] = {
      {"leave", [&] { MouseMove(form.get(), 300, 250); }},
      {"press", [&] { MouseDown(fit, 10, 10); }},
      {"key", [] { SimulateKey(true, VK_SHIFT); }},
      {"CancelHint", [] { Application()->CancelHint(); }},
  };
  for (const auto& c : cases) {
    ShowFitHint();
    c.Do();
    EXPECT_FALSE(HintShown()) << c.Name;
    // Nothing comes back while the mouse rests where it was.
    AdvanceTime(1000);
    EXPECT_FALSE(HintShown()) << c.Name;
    MouseUp(fit, 10, 10);
    SimulateKey(false, VK_SHIFT);
    MouseMove(form.get(), 300, 250);
    Pump();
  }
}

TEST_F(HintsTest, HintShowMayRefuseOrChangeTheHint) {
  fit->Refuse = 1;
  MouseMove(fit, 10, 10);
  AdvanceTime(2000);
  EXPECT_FALSE(HintShown());
  MouseMove(form.get(), 300, 250);
  fit->Refuse = 0;
  fit->Replace = "Fit to window";
  ShowFitHint();
  EXPECT_EQ(Application()->HintWindow()->Caption(), "Fit to window");
  // Another control right after a hint: the short pause applies.
  auto* other = new THintTestControl(form.get());  // owned by the form
  other->SetBounds(200, 20, 100, 40);
  other->SetParent(form.get());
  other->SetHint("Zoom");
  MouseMove(other, 5, 5);
  EXPECT_FALSE(HintShown());
  AdvanceTime(Application()->HintShortPause());
  ASSERT_TRUE(HintShown());
  EXPECT_EQ(Application()->HintWindow()->Caption(), "Zoom");
}

TEST_F(HintsTest, TheHintStaysInsideTheWorkArea) {
  const TRect work = Screen()->WorkAreaRect();
  // The control ends at the work area's bottom-right corner.
  form->SetBounds(work.Right - 200, work.Bottom - 120, 200, 120);
  fit->SetBounds(form->ClientWidth() - 60, form->ClientHeight() - 30, 60, 30);
  Pump();
  ShowFitHint(fit->Width() - 2, fit->Height() - 2);
  TRect r;
  GetWindowRect(Application()->HintWindow()->Handle(), &r);
  EXPECT_LE(r.Right, work.Right);
  EXPECT_LE(r.Bottom, work.Bottom);
  const TPoint cursor = ScreenOf(fit, fit->Width() - 2, fit->Height() - 2);
  EXPECT_LE(r.Bottom, cursor.Y) << "above the cursor when there is no room below";
}

}  // namespace
