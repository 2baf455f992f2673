// The program's main block: the start-up, the main window, the message loop, the tear-down.
#include "app/UnitQuillane.h"
#include "platform/rtl/Startup.h"

int QuillaneMain() {
  RtlStartup();
  QuillaneStartup();
  Application()->Initialize();
  Application()->CreateForm(FrmQuillane);
  Application()->Run();
  QuillaneShutdown();
  RtlShutdown();
  return 0;
}

#ifndef QUILLANE_NO_MAIN
int main() { return QuillaneMain(); }
#endif
