#include "core/hypxutils_window.h"

#include "core/pxsettings.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Messages.h"
#include "platform/forms/StdCtrls.h"

void SetScrollBarInfo(HWND Handle, int32_t Bar, int32_t Min, int32_t Max, int32_t Page, int32_t Pos, bool Redraw) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = Min;
  si.nMax = Max;
  si.nPage = static_cast<UINT>(Page < 0 ? 0 : Page);
  si.nPos = Pos;
  SetScrollInfo(Handle, Bar, &si, Redraw);
}

void SetScrollBarPosition(HWND Handle, int32_t Bar, int32_t Pos, bool Redraw) {
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = Pos;
  SetScrollInfo(Handle, Bar, &si, Redraw);
}

bool EnableWindowScrollBar(HWND Handle, UINT Bar, UINT Arrows) { return EnableScrollBar(Handle, Bar, Arrows) != 0; }

bool ShowWindowScrollBar(HWND Handle, int32_t Bar, bool Show) { return ShowScrollBar(Handle, Bar, Show) != 0; }

bool OpenClipboardRetry() {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(20);
  }
  return false;
}

std::unique_ptr<TStringList> ListClipboardFormats() {
  auto list = std::make_unique<TStringList>();
  char name[512];
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    const int32_t n = GetClipboardFormatName(format, name, sizeof name);
    if (n > 0)
      list->AddObject(std::string_view(name, static_cast<size_t>(n)), reinterpret_cast<TObject*>(uintptr_t{format}));
  }
  return list;
}

UINT FindClipboardFormat(std::string_view Name) {
  const std::unique_ptr<TStringList> list = ListClipboardFormats();
  const int32_t i = list->IndexOf(Name);
  return i < 0 ? 0 : static_cast<UINT>(reinterpret_cast<uintptr_t>(list->Objects(i)));
}

void CenterWindowOnMonitor(HWND Handle) {
  if (const TPXDialogPositionProc hook = GlobalSettingsInstance()->FDialogPositionHook) {
    hook(Handle);
    return;
  }
  TScreen* screen = Screen();
  if (!screen || screen->MonitorCount() == 0) return;
  TCustomForm* form = screen->ActiveForm();
  if (!form && Application()) form = Application()->MainForm();
  TMonitor* monitor = form ? screen->MonitorFromWindow(form->Handle()) : screen->Monitors(0);
  if (!monitor) return;
  TRect window;
  if (!GetWindowRect(Handle, &window)) return;
  const TRect area = monitor->BoundsRect();
  const int32_t x = area.Left + (area.Width() - window.Width()) / 2;
  const int32_t y = area.Top + (area.Height() - window.Height()) / 3;
  SetWindowPos(Handle, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
}

// (minimal)
void AdjustComboItemHeight(TCustomComboBox* ComboBox) {
  if (!ComboBox || ComboBox->Style() != csOwnerDrawFixed) return;
  try {
    TBitmap measure;
    measure.Canvas()->Font()->Assign(ComboBox->Font());
    const int32_t h = measure.Canvas()->TextHeight("Wg") + 2 * GetSystemMetrics(SM_CYBORDER);
    if (ComboBox->ItemHeight() < h) ComboBox->SetItemHeight(h);
  } catch (...) {
    // The item height stays as it is.
  }
}

bool IsKeyDown(int32_t VirtualKey) { return (GetKeyState(VirtualKey) & 0x8000) != 0; }

bool IsPrimaryMouseButtonDown() {
  const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
  return (!swapped && (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0) ||
         (swapped && (GetAsyncKeyState(VK_RBUTTON) & 0x8000) != 0);
}
