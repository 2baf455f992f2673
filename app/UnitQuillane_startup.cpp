// The program's start-up and tear-down: the window layer, the library's units (each registered
// once) and its counted start-up, then the view's and the controls' units; tear-down in reverse.
#include "app/UnitQuillane.h"
#include "controls/CvControls.h"
#include "core/hypxutils_startup.h"
#include "mview/dovevodi.h"
#include "platform/gdi/ImgList.h"
#include "view/pixoran.h"

namespace {
bool g_started = false;
}

void QuillaneStartup() {
  if (g_started) return;
  FormsStartup();
  RegisterVisionLibrary();
  RegisterImageLibrary();
  StaticInitialize();
  CvControlsStartup();
  // The classes of the main window's stored description that no unit registers for the loader.
  RegisterClass(TImageList::StaticClass());
  RegisterClass(TPixoran::StaticClass());
  g_started = true;
}

void QuillaneShutdown() {
  if (!g_started) return;
  g_started = false;
  CvControlsShutdown();
  StaticFinalize();
  FormsShutdown();
}
