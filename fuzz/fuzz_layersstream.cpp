// Arbitrary bytes as a layers stream loaded into an image view, replacing its layers (even first
// byte) or appended to them (odd): the load answers false or raises the library's exceptions,
// never reads outside the data, and leaves the view whole: the layers it had when the load
// failed, a stack that saves and loads again when it succeeded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/hypxutils_startup.h"
#include "core/pxxBitmaps.h"
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

std::string Shape(TPixoranView& View) {
  std::string s;
  for (int32_t i = 0; i < View.LayersCount(); ++i) {
    TPXLayer* l = View.Layers(i);
    s += l->Name() + "/" + std::to_string(l->GetPosX()) + "/" + std::to_string(l->GetWidth()) + ";";
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  const bool append = (Data[0] & 1) != 0;
  TPixoranView view(nullptr);
  view.Layers(0)->SetName("base");
  view.LayersAppend(pxlkImage, 3, 4, 5, 6, nullptr, false, false, false, true);
  const std::string before = Shape(view);
  TCustomMemoryStream stream(Data + 1, static_cast<int64_t>(Size) - 1);
  bool ok = false;
  try {
    ok = view.LayersLoadFromStream(&stream, append, TPXProgressEvent());
  } catch (const Exception&) {
    ok = false;
  }
  Check(stream.Position() >= 0 && stream.Position() <= static_cast<int64_t>(Size) - 1, __LINE__);
  Check(view.LayersCount() >= 1 && view.UpdateLockCount() == 0, __LINE__);
  Check(dynamic_cast<TPXImageLayer*>(view.Layers(0)) != nullptr, __LINE__);
  Check(view.LayersCurrent() >= 0 && view.LayersCurrent() < view.LayersCount(), __LINE__);
  if (!ok) {
    Check(Shape(view) == before, __LINE__);
    return 0;
  }
  TMemoryStream again;
  view.LayersSaveToStream(&again, -2, false, false, false, false, TPXProgressEvent());
  again.SetPosition(0);
  TPixoranView copy(nullptr);
  Check(copy.LayersLoadFromStream(&again, false, TPXProgressEvent()), __LINE__);
  Check(copy.LayersCount() == view.LayersCount(), __LINE__);
  return 0;
}
