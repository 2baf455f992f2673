// Start-up and tear-down of the controls library: the units' start-up work (the full-colour test
// and the desktop colour scheme) and the registration of the controls' classes with the form
// loader. The program and every test program call them once, after the window layer started and
// before it stops.
#pragma once

void CvControlsStartup();
void CvControlsShutdown();
