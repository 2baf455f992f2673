// Test support of the window layer: toolkit input synthesised and sent through the same
// translation as real input, the pending work of the message loop, and the windows' pixels.
#pragma once

#include <cstdint>
#include <string>

#include "platform/forms/Controls.h"
#include "platform/gdi/Surface.h"

enum class TSimMouseAction : uint8_t { Move, Press, Release, DoubleClick, Leave };

// A toolkit mouse event for the widget under ScreenPos (the widget that holds the button, while
// one is held, as the toolkit's implicit grab does). Shift gives the keyboard modifiers.
void SimulateMouse(TSimMouseAction Action, TMouseButton Button, TPoint ScreenPos, TShiftState Shift = {});
// A toolkit wheel event (Delta in eighths of a degree: 120 per notch) at ScreenPos.
void SimulateWheel(TPoint ScreenPos, int32_t Delta, TShiftState Shift = {}, bool Horizontal = false);
// A toolkit key event for the active window: the virtual key becomes the toolkit's key (the
// numeric pad's keys with the keypad flag) and Text is the typed text.
void SimulateKey(bool Down, uint16_t VK, const std::string& Text = "", TShiftState Shift = {}, bool AutoRepeat = false);
// The user resized a top-level window to the given client size (the toolkit's resize).
void SimulateUserResize(HWND Wnd, int32_t ClientWidth, int32_t ClientHeight);
// The user closed a top-level window (the toolkit's close request).
void SimulateUserClose(HWND Wnd);

// The translation table: the virtual key of a toolkit key code (0 for none), and back.
uint16_t ToolkitKeyToVirtualKey(int32_t ToolkitKey, bool Keypad);
int32_t VirtualKeyToToolkitKey(uint16_t VK, bool* Keypad = nullptr);

// The tick at which the earliest timer falls due (UINT64_MAX when none is set).
uint64_t NextTimerDueTick();
// Handles everything pending (toolkit events, posted messages, queued calls, due timers,
// paints) until nothing is left, at most Rounds passes.
void ProcessPending(int32_t Rounds = 50);
// The pixels of a window (the non-client area included; the desktop's frame not) and the
// colour of a client pixel (CLR_INVALID outside).
const TSurface* WindowSurface(HWND Wnd);
TColorRef ClientPixel(HWND Wnd, int32_t X, int32_t Y);
// The surface area sent to the screen since the last call (and forgets it).
TRect TakeFlushedArea(HWND Wnd);
// Whether the toolkit shows the window's widget.
bool NativeVisible(HWND Wnd);
// Whether the toolkit shows the window at the point of its window rectangle (its region's mask
// leaves the rest to what lies below).
bool NativeShowsPoint(HWND Wnd, TPoint WindowPoint);
// Renders a top-level window through the toolkit (as the screen shows it) into a PNG file.
bool GrabWindowToFile(HWND Wnd, const std::string& FileName);
// The toolkit's rendering of a window's client pixel, CLR_INVALID outside.
TColorRef ToolkitPixel(HWND Wnd, int32_t X, int32_t Y);
// What the display shows at a client pixel of a top-level window's client area (a grab of the
// screen; CLR_INVALID where the display cannot be read, as on the offscreen platform).
TColorRef ScreenPixel(HWND Wnd, int32_t X, int32_t Y);
// Grabs the window as the display shows it into a PNG file.
bool GrabScreenToFile(HWND Wnd, const std::string& FileName);
