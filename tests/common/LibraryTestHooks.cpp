// Linked into the image library's test programs: the shared test main starts the window layer
// and the library before the tests and stops them after, as the program's main does.
#include "codecs/pxcodecs.h"
#include "core/hypxutils_startup.h"
#include "core/pxcanvas.h"
#include "io/pixoranio_support.h"
#include "layers/pxxLayers.h"
#include "mview/dovevodi.h"
#include "platform/forms/Forms.h"
#include "proc/pixoranproc.h"
#include "view/pixoranview.h"

void TestLibraryStartup() {
  FormsStartup();
  RegisterGdiPlusUnit();
  RegisterVisionLibrary();
  RegisterIOSupport();
  RegisterCodecs();
  RegisterProcessingUnit();
  RegisterLayerUnit();
  RegisterViewUnit();
  StaticInitialize();
}

void TestLibraryShutdown() {
  StaticFinalize();
  FormsShutdown();
}
