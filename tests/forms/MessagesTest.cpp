#include <gtest/gtest.h>

#include "platform/forms/FormsTesting.h"
#include "platform/forms/Messages.h"
#include "platform/forms/WinUser.h"

namespace {

TEST(Messages, RecordsReadAndWriteTheirMessage) {
  // Signed 16-bit coordinates and deltas survive the trip through the message words.
  TMessage m{WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, PointToLParam(-5, 300), 0};
  TWMMouse mouse(m);
  EXPECT_EQ(mouse.XPos, -5);
  EXPECT_EQ(mouse.YPos, 300);
  EXPECT_EQ(KeysToShiftState(mouse.Keys), (TShiftState{ssLeft, ssShift}));
  mouse.Result = 7;
  mouse.WriteTo(m);
  EXPECT_EQ(m.Result, 7);
  EXPECT_EQ(GET_X_LPARAM(m.LParam), -5);

  TMessage w{WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<uint16_t>(-240)), PointToLParam(1000, -2), 0};
  TWMMouseWheel wheel(w);
  EXPECT_EQ(wheel.WheelDelta, -240);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(w.WParam), -240);
  EXPECT_EQ(wheel.Keys, MK_CONTROL);
  EXPECT_EQ(wheel.YPos, -2);

  TMessage s{WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 40000), 0, 0};
  TWMScroll scroll(s);
  EXPECT_EQ(scroll.ScrollCode, SB_THUMBTRACK);
  EXPECT_EQ(static_cast<uint16_t>(scroll.Pos), 40000) << "the position is the 16-bit word";

  TMessage k{WM_KEYDOWN, VK_RETURN, MakeKeyData(1, 0x1C, false, false, false, false), 0};
  TWMKey key(k);
  key.CharCode = 0;  // a handler eats the key
  key.WriteTo(k);
  EXPECT_EQ(k.WParam, 0u);

  TMessage z{WM_SIZE, SIZE_MAXIMIZED, PointToLParam(640, 480), 0};
  TWMSize size(z);
  EXPECT_EQ(size.SizeType, SIZE_MAXIMIZED);
  EXPECT_EQ(size.Width, 640);
  EXPECT_EQ(size.ToMessage().LParam, z.LParam);
}

TEST(Messages, KeyDataWord) {
  struct Case {
    LPARAM Data;
    uint8_t Scan;
    bool Alt, Repeat;
  };
  const Case cases[] = {
      {MakeKeyData(1, 0x1E, false, false, false, false), 0x1E, false, false},
      {MakeKeyData(1, 0x1E, false, true, true, false), 0x1E, true, true},
      {MakeKeyData(1, 0x48, true, false, true, true), 0x48, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyDataScanCode(c.Data), c.Scan);
    EXPECT_EQ(KeyDataAltDown(c.Data), c.Alt);
    EXPECT_EQ(KeyDataIsRepeat(c.Data), c.Repeat);
  }
  EXPECT_EQ(static_cast<uint32_t>(MakeKeyData(1, 0x48, true, false, true, true)), 0xC1480001u);
  EXPECT_EQ(VirtualKeyToScanCode('A'), 0x1E);
  EXPECT_EQ(VirtualKeyToScanCode(VK_ESCAPE), 0x01);
  EXPECT_TRUE(IsExtendedKey(VK_RIGHT));
  EXPECT_FALSE(IsExtendedKey(VK_NUMPAD6));
}

TEST(Messages, ToolkitKeysMapToVirtualKeysAndBack) {
  // Every key the platform has that a keyboard sends: letters, digits, F1..F24, the numeric
  // pad, editing and navigation keys, modifiers, punctuation and the media keys.
  std::vector<uint16_t> keys;
  for (uint16_t k = 'A'; k <= 'Z'; ++k) keys.push_back(k);
  for (uint16_t k = '0'; k <= '9'; ++k) keys.push_back(k);
  for (uint16_t k = VK_F1; k <= VK_F24; ++k) keys.push_back(k);
  for (uint16_t k = VK_NUMPAD0; k <= VK_DIVIDE; ++k) keys.push_back(k);
  for (uint16_t k : {VK_BACK, VK_TAB, VK_CLEAR, VK_RETURN, VK_SHIFT, VK_CONTROL, VK_MENU, VK_PAUSE, VK_CAPITAL,
                     VK_ESCAPE, VK_SPACE, VK_PRIOR, VK_NEXT, VK_END, VK_HOME, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN,
                     VK_SNAPSHOT, VK_INSERT, VK_DELETE, VK_HELP, VK_LWIN, VK_RWIN, VK_APPS, VK_NUMLOCK, VK_SCROLL,
                     VK_RMENU, VK_OEM_1, VK_OEM_PLUS, VK_OEM_COMMA, VK_OEM_MINUS, VK_OEM_PERIOD, VK_OEM_2, VK_OEM_3,
                     VK_OEM_4, VK_OEM_5, VK_OEM_6, VK_OEM_7, VK_VOLUME_MUTE, VK_VOLUME_DOWN, VK_VOLUME_UP,
                     VK_MEDIA_NEXT_TRACK, VK_MEDIA_PREV_TRACK, VK_MEDIA_STOP, VK_MEDIA_PLAY_PAUSE, VK_BROWSER_BACK,
                     VK_BROWSER_FORWARD, VK_BROWSER_HOME, VK_LAUNCH_MAIL})
    keys.push_back(k);
  for (uint16_t vk : keys) {
    if (vk == VK_SEPARATOR) continue;
    bool keypad = false;
    const int32_t tk = VirtualKeyToToolkitKey(vk, &keypad);
    ASSERT_NE(tk, 0) << "no toolkit key for " << vk;
    EXPECT_EQ(ToolkitKeyToVirtualKey(tk, keypad), vk) << vk;
  }
  // Shifted symbols are their key's virtual key; the numeric pad's symbols are its own.
  bool keypad = false;
  EXPECT_EQ(ToolkitKeyToVirtualKey(VirtualKeyToToolkitKey(VK_MULTIPLY, &keypad), false), '8');
  EXPECT_TRUE(keypad);
  EXPECT_EQ(ToolkitKeyToVirtualKey(0x01FFFFFF, false), 0) << "unknown keys have none";
}

TEST(Messages, AcceleratorsAndHints) {
  struct Case {
    const char* Caption;
    uint16_t Key;
    bool Accel;
  };
  const Case cases[] = {
      {"&Open", 'O', true},        {"&Open", 'o', true},      {"Save &As", 'A', true},
      {"Save &As", 'S', false},    {"Black && White", 'W', false}, {"&a&b", 'B', true},
      {"No accel", 'N', false},    {"&\xC3\xA4ndern", 0xC4, true},  {"Trailing&", 'T', false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsAccel(c.Key, c.Caption), c.Accel) << c.Caption << " " << c.Key;
  EXPECT_EQ(StripHotkey("Black && &White"), "Black & White");
  EXPECT_EQ(GetShortHint("Zoom in|Enlarges the picture"), "Zoom in");
  EXPECT_EQ(GetLongHint("Zoom in|Enlarges the picture"), "Enlarges the picture");
  EXPECT_EQ(GetLongHint("Fit"), "Fit");
}

TEST(Messages, SystemMetricsOfTheClassicDesktop) {
  struct Case {
    int32_t Index, Value;
  };
  const Case cases[] = {{SM_CXVSCROLL, 17}, {SM_CYHSCROLL, 17}, {SM_CXEDGE, 2},      {SM_CXBORDER, 1},
                        {SM_CXMENUCHECK, 13}, {SM_CXDOUBLECLK, 4}, {SM_CXDRAG, 4},    {SM_CYCAPTION, 19},
                        {SM_CXSIZEFRAME, 4}, {SM_CXFIXEDFRAME, 3}, {SM_CYMENU, 19}, {SM_CXICON, 32}};
  for (const Case& c : cases) EXPECT_EQ(GetSystemMetrics(c.Index), c.Value) << c.Index;
  EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
  EXPECT_EQ(GetSystemMetrics(9999), 0);
}

}  // namespace
