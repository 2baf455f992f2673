#include "tests/forms/TestHost.h"

#include "tests/common/TestSupport.h"

namespace {

// Starts the window layer before any test runs, so that it makes the toolkit's application
// object, and stops it after the last one.
class FormsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!FormsStarted()) FormsStartup();
  }
  void TearDown() override { FormsShutdown(); }
};

// gtest owns the environment.
::testing::Environment* const g_forms_environment = ::testing::AddGlobalTestEnvironment(new FormsEnvironment);

}  // namespace

std::vector<std::string>& FormsTest::Reports() {
  static std::vector<std::string> reports;
  return reports;
}

void FormsTest::SetUp() {
  ASSERT_TRUE(FormsStarted());
  Reports().clear();
  SetExceptionReporter([](const std::string&, const std::string& Message) { Reports().push_back(Message); });
  TestClock::Install(100000);
  Application()->SetOnException(nullptr);
}

void FormsTest::TearDown() {
  Pump();
  SetExceptionReporter(nullptr);
  TestClock::Remove();
}

std::unique_ptr<TForm> FormsTest::NewForm(int32_t ClientWidth, int32_t ClientHeight) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(100, 80, 200, 200);
  form->SetClientWidth(ClientWidth);
  form->SetClientHeight(ClientHeight);
  form->Show();
  Pump();
  return form;
}

void FormsTest::AdvanceTime(uint64_t Ms) {
  const uint64_t target = GetTickCount64() + Ms;
  while (true) {
    Pump();
    const uint64_t due = NextTimerDueTick();
    if (due > target) break;
    const uint64_t now = GetTickCount64();
    if (due > now) TestClock::Advance(due - now);
    Pump();
  }
  const uint64_t now = GetTickCount64();
  if (target > now) TestClock::Advance(target - now);
  Pump();
}

void FormsTest::MouseMove(TControl* C, int32_t X, int32_t Y, TShiftState S) {
  SimulateMouse(TSimMouseAction::Move, mbLeft, ScreenOf(C, X, Y), S);
}

void FormsTest::MouseDown(TControl* C, int32_t X, int32_t Y, TMouseButton B, TShiftState S) {
  SimulateMouse(TSimMouseAction::Press, B, ScreenOf(C, X, Y), S);
}

void FormsTest::MouseUp(TControl* C, int32_t X, int32_t Y, TMouseButton B, TShiftState S) {
  SimulateMouse(TSimMouseAction::Release, B, ScreenOf(C, X, Y), S);
}

void FormsTest::Click(TControl* C, int32_t X, int32_t Y) {
  MouseDown(C, X, Y);
  MouseUp(C, X, Y);
}

void FormsTest::DoubleClick(TControl* C, int32_t X, int32_t Y) {
  const TPoint p = ScreenOf(C, X, Y);
  SimulateMouse(TSimMouseAction::Press, mbLeft, p);
  SimulateMouse(TSimMouseAction::Release, mbLeft, p);
  SimulateMouse(TSimMouseAction::DoubleClick, mbLeft, p);
  SimulateMouse(TSimMouseAction::Release, mbLeft, p);
}

void FormsTest::Wheel(TControl* C, int32_t X, int32_t Y, int32_t Delta, TShiftState S) {
  SimulateWheel(ScreenOf(C, X, Y), Delta, S);
}

void FormsTest::Press(uint16_t VK, const std::string& Text, TShiftState S) {
  // The modifiers of S that are not held yet go down before the key and up after it, so the key
  // sees them in the keyboard state.
  struct Modifier {
    TShiftStateItem Shift;
    uint16_t Key;
  };
  static constexpr Modifier kModifiers[] = {{ssShift, VK_SHIFT}, {ssCtrl, VK_CONTROL}, {ssAlt, VK_MENU}};
  std::vector<Modifier> pressed;
  TShiftState held;
  for (const Modifier& m : kModifiers) {
    if (!S.Contains(m.Shift)) continue;
    held.Include(m.Shift);
    if (m.Key == VK || GetKeyState(m.Key) < 0) continue;
    SimulateKey(true, m.Key, "", held);
    pressed.push_back(m);
  }
  SimulateKey(true, VK, Text, S);
  SimulateKey(false, VK, "", S);
  for (auto it = pressed.rbegin(); it != pressed.rend(); ++it) {
    held.Exclude(it->Shift);
    SimulateKey(false, it->Key, "", held);
  }
}

std::string MessageLog::Joined() const {
  std::string s;
  for (const std::string& i : Items) s += (s.empty() ? "" : " ") + i;
  return s;
}

std::string MessageName(UINT Msg) {
  static const struct {
    UINT Msg;
    const char* Name;
  } kNames[] = {
      {WM_SETCURSOR, "WM_SETCURSOR"}, {WM_MOUSEMOVE, "WM_MOUSEMOVE"}, {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
      {WM_LBUTTONUP, "WM_LBUTTONUP"}, {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"}, {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},
      {WM_RBUTTONUP, "WM_RBUTTONUP"}, {WM_MOUSEWHEEL, "WM_MOUSEWHEEL"}, {WM_KEYDOWN, "WM_KEYDOWN"},
      {WM_KEYUP, "WM_KEYUP"}, {WM_CHAR, "WM_CHAR"}, {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"}, {WM_SYSKEYUP, "WM_SYSKEYUP"},
      {WM_SYSCHAR, "WM_SYSCHAR"}, {CN_KEYDOWN, "CN_KEYDOWN"}, {CN_KEYUP, "CN_KEYUP"}, {CN_CHAR, "CN_CHAR"},
      {CN_SYSKEYDOWN, "CN_SYSKEYDOWN"}, {CN_SYSCHAR, "CN_SYSCHAR"}, {WM_SETFOCUS, "WM_SETFOCUS"},
      {WM_KILLFOCUS, "WM_KILLFOCUS"}, {CM_ENTER, "CM_ENTER"}, {CM_EXIT, "CM_EXIT"}, {WM_PAINT, "WM_PAINT"},
      {WM_ERASEBKGND, "WM_ERASEBKGND"}, {WM_NCPAINT, "WM_NCPAINT"}, {WM_SIZE, "WM_SIZE"}, {WM_MOVE, "WM_MOVE"},
      {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"}, {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"},
      {WM_TIMER, "WM_TIMER"}, {CM_MOUSEENTER, "CM_MOUSEENTER"}, {CM_MOUSELEAVE, "CM_MOUSELEAVE"},
      {WM_GETDLGCODE, "WM_GETDLGCODE"}, {CM_WANTSPECIALKEY, "CM_WANTSPECIALKEY"}, {CM_DIALOGKEY, "CM_DIALOGKEY"},
      {CM_DIALOGCHAR, "CM_DIALOGCHAR"}, {CM_CHILDKEY, "CM_CHILDKEY"}, {WM_CAPTURECHANGED, "WM_CAPTURECHANGED"},
      {WM_HSCROLL, "WM_HSCROLL"}, {WM_VSCROLL, "WM_VSCROLL"}, {WM_CONTEXTMENU, "WM_CONTEXTMENU"},
      {WM_MOUSEACTIVATE, "WM_MOUSEACTIVATE"}, {WM_NCHITTEST, "WM_NCHITTEST"}, {WM_USER, "WM_USER"},
  };
  for (const auto& n : kNames)
    if (n.Msg == Msg) return n.Name;
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%04X", Msg);
  return buf;
}
