#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/forms/TestHost.h"

namespace {

// A window procedure that logs what reaches it and passes it on to the procedure kept in the
// window's user data, as subclassing code does.
std::vector<UINT> g_seen;
LRESULT LoggingProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  g_seen.push_back(msg);
  auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtr(wnd, GWL_USERDATA));
  return CallWindowProc(previous, wnd, msg, wParam, lParam);
}
bool Seen(UINT msg) { return std::find(g_seen.begin(), g_seen.end(), msg) != g_seen.end(); }

void Subclass(HWND wnd) {
  SetWindowLongPtr(wnd, GWL_USERDATA, GetWindowLongPtr(wnd, GWL_WNDPROC));
  SetWindowLongPtr(wnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&LoggingProc));
}

void Unsubclass(HWND wnd) {
  SetWindowLongPtr(wnd, GWL_WNDPROC, GetWindowLongPtr(wnd, GWL_USERDATA));
  SetWindowLongPtr(wnd, GWL_USERDATA, 0);
}

// A top-level pop-up window that paints itself green.
class TPopupTest : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int Clicks = 0;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP;
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    Params.WndParent = nullptr;
  }
  void Paint() override {
    Canvas()->Brush()->SetColor(clLime);
    Canvas()->FillRect(ClientRect());
  }
  void MouseDown(TMouseButton, TShiftState, int32_t, int32_t) override { ++Clicks; }
};

class WindowProcsTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    g_seen.clear();
    form = NewForm(400, 300);
  }
  void TearDown() override {
    form.reset();
    FormsTest::TearDown();
  }
  std::unique_ptr<TForm> form;
};

TEST_F(WindowProcsTest, ASubclassSeesTheWindowSystemsMessagesFirstAndPassesThemOn) {
  auto* button = new TCustomControl(form.get());  // owned by the form
  button->SetBounds(10, 10, 80, 30);
  button->SetParent(form.get());
  int clicks = 0;
  button->SetOnClick([&](TObject*) { ++clicks; });
  HWND wnd = button->Handle();
  const LONG_PTR own = GetWindowLongPtr(wnd, GWL_WNDPROC);
  ASSERT_NE(own, 0);
  Subclass(wnd);
  EXPECT_EQ(GetWindowLongPtr(wnd, GWL_USERDATA), own);
  Click(button, 5, 5);
  EXPECT_TRUE(Seen(WM_LBUTTONDOWN) && Seen(WM_LBUTTONUP));
  EXPECT_EQ(clicks, 1) << "the control still gets what the subclass passed on";
  g_seen.clear();
  EXPECT_EQ(SendMessage(wnd, WM_GETTEXTLENGTH), 0);
  EXPECT_EQ(g_seen, std::vector<UINT>{WM_GETTEXTLENGTH});
  g_seen.clear();
  button->Perform(WM_USER);
  EXPECT_TRUE(g_seen.empty()) << "Perform goes to the control directly";
  Unsubclass(wnd);
  EXPECT_EQ(GetWindowLongPtr(wnd, GWL_WNDPROC), own);
  Click(button, 5, 5);
  EXPECT_TRUE(g_seen.empty());
  EXPECT_EQ(clicks, 2);

  // Message-only windows have procedures by handle too; bad handles answer 0.
  int got = 0;
  HWND plain = AllocateHWnd([&](TMessage& m) {
    if (m.Msg == WM_USER) m.Result = ++got;
  });
  Subclass(plain);
  EXPECT_EQ(SendMessage(plain, WM_USER), 1);
  EXPECT_TRUE(Seen(WM_USER));
  DeallocateHWnd(plain);
  EXPECT_EQ(GetWindowLongPtr(plain, GWL_WNDPROC), 0);
  EXPECT_EQ(SetWindowLongPtr(plain, GWL_USERDATA, 5), 0);
  EXPECT_EQ(CallWindowProc(&LoggingProc, plain, WM_USER, 0, 0), 0);
}

TEST_F(WindowProcsTest, ATopLevelWindowShowsAndIsHitOnlyInsideItsRegion) {
  auto popup = std::make_unique<TPopupTest>(nullptr);
  const TPoint origin = form->ClientToScreen(TPoint(50, 50));
  popup->SetBounds(origin.X, origin.Y, 100, 80);
  popup->HandleNeeded();
  HWND wnd = popup->Handle();
  ShowWindow(wnd, SW_SHOWNOACTIVATE);
  Pump();
  const TPoint inside = form->ClientToScreen(TPoint(60, 60));   // region (5, 5, 30, 40) below
  const TPoint outside = form->ClientToScreen(TPoint(140, 120));
  EXPECT_EQ(WindowFromPoint(outside), wnd);
  EXPECT_TRUE(NativeShowsPoint(wnd, TPoint(90, 70)));

  ASSERT_TRUE(SetWindowRgn(wnd, CreateRectRgn(5, 5, 30, 40), TRUE));
  Pump();
  EXPECT_EQ(WindowFromPoint(inside), wnd);
  EXPECT_EQ(WindowFromPoint(outside), form->Handle());
  // What the toolkit shows of the window stops at the region.
  EXPECT_TRUE(NativeShowsPoint(wnd, TPoint(10, 10)));
  EXPECT_FALSE(NativeShowsPoint(wnd, TPoint(90, 70)));
  EXPECT_FALSE(NativeShowsPoint(wnd, TPoint(4, 10)));
  // A press outside the region reaches the form below.
  int formPresses = 0;
  form->SetOnMouseDown([&](TObject*, TMouseButton, TShiftState, int32_t, int32_t) { ++formPresses; });
  Click(form.get(), 140, 120);
  EXPECT_EQ(formPresses, 1);
  EXPECT_EQ(popup->Clicks, 0);
  SimulateMouse(TSimMouseAction::Press, mbLeft, inside);
  SimulateMouse(TSimMouseAction::Release, mbLeft, inside);
  EXPECT_EQ(popup->Clicks, 1);

  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(wnd, copy), SIMPLEREGION);
  TRect box;
  GetRgnBox(copy, &box);
  EXPECT_EQ(box, TRect(5, 5, 30, 40));
  // None removes it.
  SetWindowRgn(wnd, nullptr, TRUE);
  Pump();
  EXPECT_EQ(GetWindowRgn(wnd, copy), ERROR);
  DeleteObject(copy);
  EXPECT_EQ(WindowFromPoint(outside), wnd);
  EXPECT_TRUE(NativeShowsPoint(wnd, TPoint(90, 70)));
}

}  // namespace
