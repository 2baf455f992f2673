// The colour routines of the themes unit that the views, rulers and dialogs call. The desktop's
// visual styles do not exist on this platform, so themes are never active and every themed
// colour is the caller's default.
#pragma once

#include <cstdint>

#include "platform/rtl/Types.h"

// The colour of a themed element: Default unchanged. Callers pass fixed element numbers: 0 the
// view background, 2 the view's second background colour, 4 to 13 thumbnail-view colours, 14 to
// 20 ruler and tool-bar colours, 3, 18 and 21 edit fields and dialog panels.
TColor ThemedColor(int32_t Element, TColor Default, bool Flag);

// Whether visual themes are active: never here, so the classic drawing runs everywhere.
bool ThemesEnabled();
