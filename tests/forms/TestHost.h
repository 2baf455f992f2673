// The test host of the window layer: a started window layer (offscreen), recorded exception
// reports, input through the toolkit's events, the clock and the paint cycle.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"

class FormsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // What the application reported (the message boxes of HandleException), oldest first.
  static std::vector<std::string>& Reports();

  // A shown form with the given client size at (100, 80).
  std::unique_ptr<TForm> NewForm(int32_t ClientWidth = 400, int32_t ClientHeight = 300);
  // Handles everything pending: posted messages, timers, paints.
  static void Pump() { ProcessPending(); }
  // Moves the test clock on, firing the timers that fall due on the way in order.
  static void AdvanceTime(uint64_t Ms);

  static TColorRef Pixel(TWinControl* Control, int32_t X, int32_t Y) { return ClientPixel(Control->Handle(), X, Y); }
  static TPoint ScreenOf(TControl* Control, int32_t X, int32_t Y) { return Control->ClientToScreen(TPoint(X, Y)); }

  static void MouseMove(TControl* C, int32_t X, int32_t Y, TShiftState S = {});
  static void MouseDown(TControl* C, int32_t X, int32_t Y, TMouseButton B = mbLeft, TShiftState S = {});
  static void MouseUp(TControl* C, int32_t X, int32_t Y, TMouseButton B = mbLeft, TShiftState S = {});
  static void Click(TControl* C, int32_t X, int32_t Y);
  static void DoubleClick(TControl* C, int32_t X, int32_t Y);
  static void Wheel(TControl* C, int32_t X, int32_t Y, int32_t Delta, TShiftState S = {});
  // A key down and up (Text: what it types).
  static void Press(uint16_t VK, const std::string& Text = "", TShiftState S = {});
};

// A log of message names, for order checks.
struct MessageLog {
  std::vector<std::string> Items;
  void Add(const std::string& s) { Items.push_back(s); }
  std::string Joined() const;
  void Clear() { Items.clear(); }
};
// The name of a message number ("WM_LBUTTONDOWN"; hex for others).
std::string MessageName(UINT Msg);
