#include "controls/CvControls.h"

#include "controls/CvBmpBtn.h"
#include "controls/CvButton.h"
#include "controls/CvCommon.h"
#include "controls/CvMenus.h"
#include "controls/CvPanel.h"
#include "controls/CvRadChk.h"
#include "controls/CvSpnEdt.h"
#include "controls/CvStatus.h"
#include "controls/CvTabs.h"
#include "controls/CvTrkBar.h"

void CvControlsStartup() {
  CvCommonStartup();
  RegisterClass(TCvFrameController::StaticClass());
  RegisterClass(TCvRegIniFile::StaticClass());
  CvPanelRegisterClasses();
  CvStatusRegisterClasses();
  CvButtonRegisterClasses();
  CvRadChkRegisterClasses();
  CvSpnEdtRegisterClasses();
  CvBmpBtnRegisterClasses();
  CvTrkBarRegisterClasses();
  CvTabsRegisterClasses();
  CvMenusRegisterClasses();
}

void CvControlsShutdown() { CvCommonShutdown(); }
