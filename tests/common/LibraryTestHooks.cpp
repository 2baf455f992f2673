// Linked into the image library's test programs: the shared test main starts the window layer
// and the library before the tests and stops them after, as the program's main does.
#include "core/hypxutils_startup.h"
#include "platform/forms/Forms.h"
#include "tests/common/LibraryUnits.h"

void TestLibraryStartup() {
  FormsStartup();
  RegisterLibraryUnits();
  StaticInitialize();
}

void TestLibraryShutdown() {
  StaticFinalize();
  FormsShutdown();
}
