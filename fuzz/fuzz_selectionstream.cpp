// Arbitrary bytes as a selection stream loaded into an image view with a rectangle selection,
// in the load mode the first byte names (0, 1 or 2): the load answers false and leaves the
// selection exactly as it was, or answers true with a mask of the picture's size whose stream
// loads again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/hypxutils_startup.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "fuzz/FuzzSupport.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Startup.h"
#include "view/pixoran.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  RtlStartup();
  FormsStartup();
  RegisterImageLibrary();
  StaticInitialize();
  return 0;
}

namespace {

std::string Saved(TPixoranView& View) {
  TMemoryStream m;
  View.SaveSelectionToStream(&m);
  return std::string(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  const int32_t mode = Data[0] % 3;
  TPixoranView view(nullptr);
  view.GetPXBitmap()->Allocate(40, 30, px24RGB);
  view.LayersAppend(pxlkImage, 5, 7, 20, 10, nullptr, false, false, false, false);
  view.SetSelectionBase(pxsbBitmap);
  view.Select(2, 3, 30, 20, 0);
  const std::string before = Saved(view);
  TCustomMemoryStream stream(Data + 1, static_cast<int64_t>(Size) - 1);
  const bool ok = view.LoadSelectionFromStream(&stream, mode);
  Check(view.UpdateLockCount() == 0, __LINE__);
  if (!ok) {
    Check(Saved(view) == before, __LINE__);
    return 0;
  }
  Check(mode == 0 || (view.SelMask()->Width() == view.GetCurrentImageWidth() &&
                      view.SelMask()->Height() == view.GetCurrentImageHeight()),
        __LINE__);
  const std::string after = Saved(view);
  TCustomMemoryStream again(after.data(), static_cast<int64_t>(after.size()));
  Check(view.LoadSelectionFromStream(&again, 0), __LINE__);
  return 0;
}
