// The application's tests start and stop the libraries with the program's own routines.
#include "app/UnitQuillane.h"

void TestLibraryStartup() { QuillaneStartup(); }
void TestLibraryShutdown() { QuillaneShutdown(); }
