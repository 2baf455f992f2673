// The image library's units, registered as the program's start-up registers them;
// StaticInitialize then runs their start-up steps. Registering again changes nothing.
#pragma once

#include "mview/dovevodi.h"
#include "view/pixoran.h"

inline void RegisterLibraryUnits() {
  RegisterVisionLibrary();
  RegisterImageLibrary();
}
