// Reuse of the DCs that draw on surfaces (CreateSurfaceDC): window painting keeps released ones.
#pragma once

#include "platform/gdi/WinGdi.h"

// Puts a DC made by CreateSurfaceDC back into the state of a new one (default objects, colours,
// modes and mapping, no clip, nothing saved), so that it can serve again; 0 for any other DC.
BOOL ResetSurfaceDC(HDC dc);
