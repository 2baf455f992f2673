#include "controls/CvControls.h"

#include "controls/CvCommon.h"

void CvControlsStartup() {
  CvCommonStartup();
  RegisterClass(TCvFrameController::StaticClass());
  RegisterClass(TCvRegIniFile::StaticClass());
}

void CvControlsShutdown() { CvCommonShutdown(); }
