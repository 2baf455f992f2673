// Program exit: function-local statics go in reverse order of construction, so an object held by
// a static made before the drawing layer's own tables is torn down after them. It must still be
// able to free its bitmaps, icons and DCs then.
#include <cstdlib>
#include <memory>

#include "platform/gdi/WinIcons.h"
#include "tests/gdi/GraphicsTestSupport.h"

namespace {

struct THeldAtExit {
  std::unique_ptr<TBitmap> Bitmap;
  TIcon Icon;
  HDC Screen = nullptr;
  HFONT Font = nullptr;
  ~THeldAtExit() {
    Bitmap->Canvas()->FillRect(TRect(0, 0, 4, 4));
    Bitmap.reset();
    PatBlt(Screen, 0, 0, 4, 4, DSTINVERT);
    ReleaseDC(nullptr, Screen);
    DeleteObject(Font);
    TPicture::UnregisterFileFormat("bmp");
    // Icon goes last, with its bitmaps.
  }
};

TEST(ExitDeathTest, StaticsMadeBeforeTheTablesFreeTheirObjectsSafely) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: nothing of the layer exists yet
  EXPECT_EXIT(
      {
        static THeldAtExit held;  // made first, so destroyed after everything the layer makes
        held.Bitmap = std::make_unique<TBitmap>(8, 8);
        held.Bitmap->Canvas()->Rectangle(1, 1, 6, 6);
        held.Icon.SetHandle(CopyIcon(LoadIcon(0, IDI_APPLICATION)));
        held.Screen = GetDC(nullptr);
        held.Font = CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
