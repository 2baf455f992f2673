// Clipboard access with retries and lookup by name, dialog placement, input tests.
#include <gtest/gtest.h>

#include <cstring>

#include "core/hypxutils_window.h"
#include "core/pxsettings.h"
#include "platform/forms/Forms.h"

namespace {

TEST(WindowRoutines, ClipboardRetriesAndFormatsByName) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_FALSE(OpenClipboardRetry());  // held: gives up after its ten attempts
  ASSERT_TRUE(CloseClipboard());

  const UINT mine = RegisterClipboardFormat("PIXORAN TEST FORMAT");
  ASSERT_TRUE(OpenClipboardRetry());
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 3);
  std::memcpy(GlobalLock(block), "abc", 3);
  GlobalUnlock(block);
  ASSERT_NE(SetClipboardData(mine, block), nullptr);
  HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 4);
  std::memcpy(GlobalLock(text), u"x", 4);
  GlobalUnlock(text);
  ASSERT_NE(SetClipboardData(CF_UNICODETEXT, text), nullptr);
  ASSERT_TRUE(CloseClipboard());

  ASSERT_TRUE(OpenClipboardRetry());
  const std::unique_ptr<TStringList> names = ListClipboardFormats();
  ASSERT_EQ(names->Count(), 1);  // the standard text format has no name
  EXPECT_EQ(names->Strings(0), "PIXORAN TEST FORMAT");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(names->Objects(0)), mine);
  EXPECT_EQ(FindClipboardFormat("pixoran test format"), mine);
  EXPECT_EQ(FindClipboardFormat("CF_UNICODETEXT"), 0u);
  EXPECT_EQ(FindClipboardFormat("absent"), 0u);
  EmptyClipboard();
  CloseClipboard();
}

HWND g_placed = nullptr;

TEST(WindowRoutines, CenterWindowOnMonitor) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 120);
  GlobalSettingsInstance()->FDialogPositionHook = [](HWND Window) { g_placed = Window; };
  CenterWindowOnMonitor(form.Handle());
  EXPECT_EQ(g_placed, form.Handle());  // the hook alone places it
  EXPECT_EQ(form.Left(), 0);
  GlobalSettingsInstance()->FDialogPositionHook = nullptr;

  CenterWindowOnMonitor(form.Handle());
  const TRect area = Screen()->Monitors(0)->BoundsRect();
  TRect r;
  ASSERT_TRUE(GetWindowRect(form.Handle(), &r));
  EXPECT_EQ(r.Left, area.Left + (area.Width() - r.Width()) / 2);
  EXPECT_EQ(r.Top, area.Top + (area.Height() - r.Height()) / 3);
  EXPECT_EQ(r.Width(), 300);  // not resized
  EXPECT_FALSE(IsKeyDown(VK_SHIFT));
  EXPECT_FALSE(IsPrimaryMouseButtonDown());
}

}  // namespace
