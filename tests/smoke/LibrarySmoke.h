// The start and stop around a screenshot program that uses the image library: the window
// layer, the library's units and its static state, as the program's main does.
#pragma once

#include "core/hypxutils_startup.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/Startup.h"
#include "view/pixoran.h"

template <class F>
int RunWithLibrary(F&& Run) {
  RtlStartup();
  FormsStartup();
  RegisterImageLibrary();
  StaticInitialize();
  const int rc = Run();
  StaticFinalize();
  FormsShutdown();
  RtlShutdown();
  return rc;
}
