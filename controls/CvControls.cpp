#include "controls/CvControls.h"

#include "controls/CvCommon.h"
#include "controls/CvMenus.h"
#include "controls/CvPanel.h"
#include "controls/CvStatus.h"
#include "controls/CvTabs.h"

void CvControlsStartup() {
  CvCommonStartup();
  RegisterClass(TCvFrameController::StaticClass());
  RegisterClass(TCvRegIniFile::StaticClass());
  CvPanelRegisterClasses();
  CvStatusRegisterClasses();
  CvTabsRegisterClasses();
  CvMenusRegisterClasses();
}

void CvControlsShutdown() { CvCommonShutdown(); }
