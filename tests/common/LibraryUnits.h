// The image library's units, registered in the order the program's start-up registers them;
// StaticInitialize then runs their start-up steps. Registering again changes nothing.
#pragma once

#include "codecs/pxcodecs.h"
#include "core/pxcanvas.h"
#include "io/pixoranio_support.h"
#include "layers/pxxLayers.h"
#include "mview/dovevodi.h"
#include "proc/pixoranproc.h"
#include "view/pixoranview.h"

inline void RegisterLibraryUnits() {
  RegisterGdiPlusUnit();
  RegisterVisionLibrary();
  RegisterIOSupport();
  RegisterCodecs();
  RegisterProcessingUnit();
  RegisterLayerUnit();
  RegisterViewUnit();
}
