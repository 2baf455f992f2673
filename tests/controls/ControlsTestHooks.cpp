// The shared test main starts the window layer and the controls library before the tests and
// stops the library after them, as the program's main does.
#include "controls/CvControls.h"
#include "platform/forms/Forms.h"

void TestLibraryStartup() {
  FormsStartup();
  CvControlsStartup();
}

void TestLibraryShutdown() { CvControlsShutdown(); }
