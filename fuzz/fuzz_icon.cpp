// Arbitrary bytes as ICO/CUR data (TIcon::LoadFromStream, whole-file icons) and as one icon or
// cursor image (CreateIconFromResourceEx): refused cleanly, or an icon of a sane size that draws,
// copies, describes itself and saves to data that loads again to the same size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/FuzzSupport.h"
#include "platform/gdi/Graphics.h"
#include "platform/gdi/WinIcons.h"
#include "platform/rtl/Classes.h"

namespace {

// Draws, copies and describes an icon handle, then destroys it.
void Exercise(HICON icon) {
  int32_t w = 0, h = 0;
  Check(GetIconSize(icon, &w, &h) && w > 0 && h > 0);
  TSurface target(20, 18, 32);
  HDC dc = CreateSurfaceDC(&target);
  DrawIconEx(dc, -3, 2, icon, 0, 0, 0, nullptr, DI_NORMAL);
  DrawIconEx(dc, 1, -1, icon, 7, 5, 0, nullptr, DI_MASK);
  DrawIcon(dc, 4, 4, icon);
  DeleteDC(dc);
  ICONINFO info;
  if (GetIconInfo(icon, &info)) {
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
  }
  HICON copy = CopyIcon(icon);
  Check(copy != nullptr);
  DestroyIcon(copy);
  DestroyIcon(icon);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    TCustomMemoryStream stream(data, static_cast<int64_t>(size));
    TIcon icon;
    bool loaded = true;
    try {
      icon.LoadFromStream(&stream);
    } catch (const EInvalidGraphic&) {
      loaded = false;
      Check(icon.Empty() && stream.Position() == 0);
    }
    if (loaded) {
      Check(icon.Width() > 0 && icon.Height() > 0 && icon.Handle());
      TBitmap canvas(16, 16);
      canvas.Canvas()->Draw(-2, 3, &icon);
      TMemoryStream saved;
      icon.SaveToStream(&saved);
      saved.SetPosition(0);
      TIcon again;
      again.LoadFromStream(&saved);
      Check(again.Width() == icon.Width() && again.Height() == icon.Height());
      Exercise(CopyIcon(icon.Handle()));
    }
  }
  // The same bytes as a single image: an icon, and a cursor with its hot spot first.
  for (BOOL isIcon : {1, 0}) {
    if (HICON h = CreateIconFromResourceEx(data, static_cast<DWORD>(size), isIcon, 0x30000, 0, 0, 0)) Exercise(h);
  }
  return 0;
}
