// The program's main block: the start-up, the main window, the message loop, the tear-down.
#include "app/Quillane.h"

#include <cstdio>

#include "app/UnitQuillane.h"
#include "platform/rtl/Startup.h"

int QuillaneMain(const std::function<void()>& Started) {
  RtlStartup();
  QuillaneStartup();
  int code = 0;
  try {
    Application()->Initialize();
    Application()->CreateForm(FrmQuillane);
    if (Started) Started();
    Application()->Run();
    // The window goes before the libraries stop (its views need them).
    if (FrmQuillane) FrmQuillane->Free();
  } catch (const std::exception& e) {
    // A window that cannot be built (a broken stored description) ends the program.
    std::fprintf(stderr, "quillane: %s\n", e.what());
    code = 1;
  }
  FrmQuillane = nullptr;
  QuillaneShutdown();
  RtlShutdown();
  return code;
}

#ifndef QUILLANE_NO_MAIN
int main() { return QuillaneMain(); }
#endif
