#include <gtest/gtest.h>
#include <set>

#include "tests/forms/TestHost.h"

namespace {

// A window that logs the messages of interest as they arrive.
class TProbe : public TCustomControl {
 public:
  explicit TProbe(TComponent* AOwner, MessageLog* log, std::string name) : TCustomControl(AOwner), log_(log), name_(std::move(name)) {
    SetTabStop(true);
  }
  std::set<UINT> Logged{WM_SETCURSOR, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEWHEEL,
                        WM_KEYDOWN, WM_KEYUP, WM_CHAR, CN_KEYDOWN, CN_KEYUP, CN_CHAR, WM_SETFOCUS, WM_KILLFOCUS,
                        CM_ENTER, CM_EXIT, CM_MOUSEENTER, CM_MOUSELEAVE, WM_CAPTURECHANGED, WM_GETDLGCODE,
                        CM_WANTSPECIALKEY, WM_VSCROLL, WM_HSCROLL};
  int32_t DlgCode = 0;
  std::vector<LPARAM> KeyData;

  void WndProc(TMessage& m) override {
    if (m.Msg == WM_KEYDOWN || m.Msg == WM_KEYUP) KeyData.push_back(m.LParam);
    if (log_ && Logged.count(m.Msg)) {
      std::string entry = name_ + ":" + MessageName(m.Msg);
      if (m.Msg >= WM_MOUSEMOVE && m.Msg <= WM_MBUTTONDBLCLK && m.Msg != WM_MOUSEWHEEL)
        entry += "(" + std::to_string(GET_X_LPARAM(m.LParam)) + "," + std::to_string(GET_Y_LPARAM(m.LParam)) + ")";
      if (m.Msg == WM_VSCROLL || m.Msg == WM_HSCROLL)
        entry += "(" + std::to_string(LOWORD(m.WParam)) + "," + std::to_string(static_cast<int16_t>(HIWORD(m.WParam))) + ")";
      log_->Add(entry);
    }
    if (m.Msg == WM_GETDLGCODE) {
      m.Result = DlgCode;
      return;
    }
    TCustomControl::WndProc(m);
  }

 private:
  MessageLog* log_;
  std::string name_;
};

// A windowless control.
class TSpot : public TGraphicControl {
 public:
  explicit TSpot(TComponent* AOwner, MessageLog* log) : TGraphicControl(AOwner), log_(log) {}
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE || m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONUP)
      log_->Add("spot:" + MessageName(m.Msg));
    TGraphicControl::WndProc(m);
  }

 private:
  MessageLog* log_;
};

class ControlsInputTest : public FormsTest {
 protected:
  MessageLog log;
  std::unique_ptr<TForm> form;
  TProbe* Probe(const std::string& name, TRect r) {
    auto* p = new TProbe(form.get(), &log, name);  // owned by the form
    p->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    p->SetParent(form.get());
    return p;
  }
  void SetUp() override {
    FormsTest::SetUp();
    form = NewForm(400, 300);
  }
  void TearDown() override {
    form.reset();
    FormsTest::TearDown();
  }
};

TEST_F(ControlsInputTest, ClickAndDoubleClickArriveInThePlatformsOrder) {
  TProbe* a = Probe("a", Bounds(10, 10, 100, 50));
  int clicks = 0, dblClicks = 0;
  a->SetOnClick([&](TObject*) { ++clicks; });
  a->SetOnDblClick([&](TObject*) { ++dblClicks; });
  Pump();
  MouseMove(a, 5, 6);
  Click(a, 5, 6);
  EXPECT_EQ(log.Joined(),
            "a:WM_SETCURSOR a:WM_MOUSEMOVE(5,6) a:CM_MOUSEENTER a:WM_SETCURSOR a:WM_LBUTTONDOWN(5,6) "
            "a:WM_LBUTTONUP(5,6) a:WM_CAPTURECHANGED")
      << "the enter comes once the move is handled; the capture ends with the button";
  EXPECT_EQ(clicks, 1);
  log.Clear();
  a->Logged = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK};
  DoubleClick(a, 7, 8);
  EXPECT_EQ(log.Joined(), "a:WM_LBUTTONDOWN(7,8) a:WM_LBUTTONUP(7,8) a:WM_LBUTTONDBLCLK(7,8) a:WM_LBUTTONUP(7,8)");
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(dblClicks, 1);
}

TEST_F(ControlsInputTest, CaptureKeepsTheMouseUntilRelease) {
  TProbe* a = Probe("a", Bounds(10, 10, 100, 50));
  TProbe* b = Probe("b", Bounds(200, 10, 100, 50));
  a->Logged = b->Logged = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP};
  Pump();
  MouseDown(a, 5, 5);
  EXPECT_EQ(GetCapture(), a->Handle());
  SimulateMouse(TSimMouseAction::Move, mbLeft, ScreenOf(b, 10, 10));
  SimulateMouse(TSimMouseAction::Release, mbLeft, ScreenOf(b, 10, 10));
  MouseMove(b, 11, 10);
  // Over b while captured: a gets the move in its own coordinates (b's 10,10 is a's 200,10).
  EXPECT_EQ(log.Joined(), "a:WM_LBUTTONDOWN(5,5) a:WM_MOUSEMOVE(200,10) a:WM_LBUTTONUP(200,10) b:WM_MOUSEMOVE(11,10)");
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ControlsInputTest, WindowlessControlsGetEnterLeaveAndClicksThroughTheirParent) {
  auto* spot = new TSpot(form.get(), &log);
  spot->SetBounds(50, 50, 20, 20);
  spot->SetParent(form.get());
  int clicks = 0;
  spot->SetOnClick([&](TObject*) { ++clicks; });
  Pump();
  MouseMove(form.get(), 10, 10);
  MouseMove(form.get(), 55, 55);
  Click(form.get(), 56, 56);
  MouseMove(form.get(), 100, 100);
  EXPECT_EQ(log.Joined(), "spot:CM_MOUSEENTER spot:WM_LBUTTONDOWN spot:WM_LBUTTONUP spot:CM_MOUSELEAVE");
  EXPECT_EQ(clicks, 1);
}

TEST_F(ControlsInputTest, KeyPressOrderAndPreview) {
  TProbe* a = Probe("a", Bounds(10, 10, 100, 50));
  a->SetFocus();
  Pump();
  std::string seen;
  form->SetKeyPreview(true);
  form->SetOnKeyDown([&](TObject*, uint16_t& key, TShiftState) { seen += "form:" + std::to_string(key) + " "; });
  a->SetOnKeyDown([&](TObject*, uint16_t& key, TShiftState) { seen += "a:" + std::to_string(key) + " "; });
  a->SetOnKeyPress([&](TObject*, char16_t& ch) { seen += std::string("press:") + static_cast<char>(ch) + " "; });
  log.Clear();
  Press('A', "a");
  EXPECT_EQ(log.Joined(), "a:CN_KEYDOWN a:WM_KEYDOWN a:CN_CHAR a:WM_GETDLGCODE a:WM_CHAR a:CN_KEYUP a:WM_KEYUP");
  EXPECT_EQ(seen, "form:65 a:65 press:a ");
  // A key handler that eats the key stops the character too? No: the character comes from
  // the toolkit's text; eating the key down only stops its own handling.
  seen.clear();
  form->SetOnKeyDown([&](TObject*, uint16_t& key, TShiftState) { key = 0; });
  Press('B', "b");
  EXPECT_EQ(seen, "press:b ");
}

TEST_F(ControlsInputTest, KeyDataWordAndKeyState) {
  TProbe* a = Probe("a", Bounds(10, 10, 100, 50));
  a->DlgCode = DLGC_WANTARROWS;
  a->SetFocus();
  SimulateKey(true, VK_LEFT);
  EXPECT_TRUE(GetKeyState(VK_LEFT) < 0);
  SimulateKey(true, VK_LEFT, "", {}, true);
  SimulateKey(false, VK_LEFT);
  EXPECT_FALSE(GetKeyState(VK_LEFT) < 0);
  ASSERT_EQ(a->KeyData.size(), 3u);
  EXPECT_EQ(a->KeyData[0], MakeKeyData(1, 0x4B, true, false, false, false));
  EXPECT_EQ(a->KeyData[1], MakeKeyData(1, 0x4B, true, false, true, false));  // a repeat: was down
  EXPECT_EQ(a->KeyData[2], MakeKeyData(1, 0x4B, true, false, true, true));
  // Caps Lock toggles on each press.
  const bool caps = GetKeyState(VK_CAPITAL) & 1;
  Press(VK_CAPITAL);
  EXPECT_NE(GetKeyState(VK_CAPITAL) & 1, caps ? 1 : 0);
  Press(VK_CAPITAL);
}

TEST_F(ControlsInputTest, FocusMovesInTabOrderWithKillBeforeSetThenExitAndEnter) {
  TProbe* a = Probe("a", Bounds(10, 10, 50, 20));
  TProbe* b = Probe("b", Bounds(10, 40, 50, 20));
  TProbe* c = Probe("c", Bounds(10, 70, 50, 20));
  c->SetTabOrder(0);  // c, a, b
  b->SetTabStop(false);
  for (TProbe* p : {a, b, c}) p->Logged = {WM_SETFOCUS, WM_KILLFOCUS, CM_ENTER, CM_EXIT};
  std::string events;
  a->SetOnEnter([&](TObject*) { events += "enter-a "; });
  a->SetOnExit([&](TObject*) { events += "exit-a "; });
  c->SetFocus();
  Pump();
  log.Clear();
  Press(VK_TAB, "\t");
  EXPECT_TRUE(a->Focused());
  EXPECT_EQ(log.Joined(), "c:WM_KILLFOCUS a:WM_SETFOCUS c:CM_EXIT a:CM_ENTER");
  Press(VK_TAB, "\t");  // b is no tab stop: round to c
  EXPECT_TRUE(c->Focused());
  SimulateKey(true, VK_SHIFT);
  Press(VK_TAB, "\t", {ssShift});
  SimulateKey(false, VK_SHIFT);
  EXPECT_TRUE(a->Focused());
  EXPECT_EQ(events, "enter-a exit-a enter-a ");
  EXPECT_EQ(form->ActiveControl(), a);
  EXPECT_EQ(Screen()->ActiveControl(), a);
  // A control that wants Tab keeps it.
  a->DlgCode = DLGC_WANTTAB;
  Press(VK_TAB, "\t");
  EXPECT_TRUE(a->Focused());
}

TEST_F(ControlsInputTest, PostedKeysPassThroughTheDialogKeysAsTypedOnesDo) {
  TProbe* a = Probe("a", Bounds(10, 10, 50, 20));
  TProbe* b = Probe("b", Bounds(10, 40, 50, 20));
  a->SetFocus();
  PostMessage(a->Handle(), WM_KEYDOWN, VK_TAB, 0);
  Pump();
  EXPECT_TRUE(b->Focused());
}

// A button-like control that takes Return as the form's default and its accelerator.
class TDefaultButton : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int Clicks = 0;

 protected:
  void CMDialogKey(TWMKey& m) override {
    if (m.CharCode == VK_RETURN) {
      ++Clicks;
      m.Result = 1;
      return;
    }
    TCustomControl::CMDialogKey(m);
  }
  void CMDialogChar(TWMKey& m) override {
    if (IsAccel(m.CharCode, Caption())) {
      ++Clicks;
      m.Result = 1;
      return;
    }
    TCustomControl::CMDialogChar(m);
  }
};

TEST_F(ControlsInputTest, DialogKeysReachTheDefaultControlAndAccelerators) {
  TProbe* edit = Probe("e", Bounds(10, 10, 50, 20));
  auto* ok = new TDefaultButton(form.get());
  ok->SetCaption("&Open");
  ok->SetBounds(10, 40, 60, 20);
  ok->SetParent(form.get());
  edit->SetFocus();
  edit->Logged = {CM_WANTSPECIALKEY, WM_GETDLGCODE, WM_KEYDOWN};
  log.Clear();
  Press(VK_RETURN, "\r");
  EXPECT_EQ(ok->Clicks, 1);
  EXPECT_EQ(log.Joined(), "e:CM_WANTSPECIALKEY e:WM_GETDLGCODE e:CM_WANTSPECIALKEY")
      << "a dialog key is not dispatched to the focused control";
  Press('O', "o");  // the edit takes no characters: the accelerator fires
  EXPECT_EQ(ok->Clicks, 2);
  edit->DlgCode = DLGC_WANTCHARS;
  Press('O', "o");
  EXPECT_EQ(ok->Clicks, 2);
}

TEST_F(ControlsInputTest, WheelGoesToTheFocusedControlWithSignedDeltaAndScreenPosition) {
  TProbe* a = Probe("a", Bounds(10, 10, 100, 50));
  a->SetFocus();
  Pump();
  std::vector<std::pair<int32_t, TPoint>> wheel;
  a->SetOnMouseWheel([&](TObject*, TShiftState, int32_t delta, TPoint pos, bool& handled) {
    wheel.emplace_back(delta, pos);
    handled = true;
  });
  bool formSaw = false;
  form->SetOnMouseWheel([&](TObject*, TShiftState, int32_t, TPoint, bool&) { formSaw = true; });
  Wheel(a, 20, 30, -240);
  Wheel(a, 20, 30, 120);
  ASSERT_EQ(wheel.size(), 2u);
  EXPECT_EQ(wheel[0].first, -240);
  EXPECT_EQ(wheel[1].first, 120);
  EXPECT_EQ(wheel[0].second, ScreenOf(a, 20, 30));
  EXPECT_FALSE(formSaw) << "a handled wheel stops there";
}

TEST_F(ControlsInputTest, WindowScrollBarsSendScrollCodes) {
  TProbe* a = Probe("a", Bounds(10, 10, 120, 120));
  a->Logged = {WM_VSCROLL, WM_SIZE};
  Pump();
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 99;
  si.nPage = 10;
  si.nPos = 0;
  log.Clear();
  SetScrollInfo(a->Handle(), SB_VERT, &si, TRUE);
  EXPECT_EQ(a->ClientWidth(), 120 - 17) << "the bar takes its width from the client area";
  EXPECT_EQ(log.Joined(), "a:WM_SIZE");
  Pump();
  log.Clear();
  // The down arrow: the bar's bottom 17 pixels, right of the client area.
  TPoint down = a->ClientToScreen(TPoint(a->ClientWidth() + 8, 120 - 8));
  SimulateMouse(TSimMouseAction::Press, mbLeft, down);
  SimulateMouse(TSimMouseAction::Release, mbLeft, down);
  EXPECT_EQ(log.Joined(), "a:WM_VSCROLL(1,0) a:WM_VSCROLL(8,0)");
  // The thumb: dragged to the bottom tracks and then sets the position.
  log.Clear();
  TPoint thumb = a->ClientToScreen(TPoint(a->ClientWidth() + 8, 17 + 2));
  SimulateMouse(TSimMouseAction::Press, mbLeft, thumb);
  SimulateMouse(TSimMouseAction::Move, mbLeft, TPoint(thumb.X, thumb.Y + 200));
  SimulateMouse(TSimMouseAction::Release, mbLeft, TPoint(thumb.X, thumb.Y + 200));
  EXPECT_EQ(log.Joined(), "a:WM_VSCROLL(5,0) a:WM_VSCROLL(5,90) a:WM_VSCROLL(4,90) a:WM_VSCROLL(8,0)");
  // A range within the page hides the bar again.
  si.fMask = SIF_RANGE;
  si.nMax = 5;
  SetScrollInfo(a->Handle(), SB_VERT, &si, TRUE);
  EXPECT_EQ(a->ClientWidth(), 120);
}

}  // namespace
