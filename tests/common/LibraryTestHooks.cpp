// Linked into the image library's test programs: the shared test main starts the library before
// the tests and stops them after, as the program's main does.
#include "core/hypxutils_startup.h"
#include "mview/dovevodi.h"

void TestLibraryStartup() {
  RegisterVisionLibrary();
  StaticInitialize();
}

void TestLibraryShutdown() { StaticFinalize(); }
