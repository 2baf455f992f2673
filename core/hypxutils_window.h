// Window, clipboard and input helpers of the image library on the window part of the platform
// layer: scroll-bar wrappers, clipboard access with retries and format lookup by name, the
// placement of the library's dialogs, and keyboard and mouse tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/forms/Clipbrd.h"
#include "platform/forms/WinUser.h"
#include "platform/rtl/Classes.h"

class TCustomComboBox;

// Range, page and position of a window's scroll bar at once; redrawn when asked.
void SetScrollBarInfo(HWND Handle, int32_t Bar, int32_t Min, int32_t Max, int32_t Page, int32_t Pos, bool Redraw);
void SetScrollBarPosition(HWND Handle, int32_t Bar, int32_t Pos, bool Redraw);
bool EnableWindowScrollBar(HWND Handle, UINT Bar, UINT Arrows);
bool ShowWindowScrollBar(HWND Handle, int32_t Bar, bool Show);

// Opens the clipboard (no owner window): up to 10 attempts, 20 ms apart.
bool OpenClipboardRetry();
// The names of the registered formats now on the clipboard, each with its format id as the
// item's object (an id, not a pointer); standard formats have no name and are skipped. The
// clipboard must be open.
std::unique_ptr<TStringList> ListClipboardFormats();
// The id of the available format of that name (case ignored); 0 when absent.
UINT FindClipboardFormat(std::string_view Name);

// Places a dialog: through the settings' FDialogPositionHook when set; else centred
// horizontally and at a third of the height on the monitor of the active form (or the main
// form; the first monitor without one), neither resized nor activated.
void CenterWindowOnMonitor(HWND Handle);

// (minimal) For an owner-drawn combo box of fixed item height: raises its item height to the
// font's text height plus twice the border height when smaller; errors are ignored.
void AdjustComboItemHeight(TCustomComboBox* ComboBox);

// The key is down (the high bit of its state).
bool IsKeyDown(int32_t VirtualKey);
// The primary button (left, or right when the buttons are swapped) is down now.
bool IsPrimaryMouseButtonDown();
