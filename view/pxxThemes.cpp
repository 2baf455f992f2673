#include "view/pxxThemes.h"

TColor ThemedColor(int32_t /*Element*/, TColor Default, bool /*Flag*/) { return Default; }

bool ThemesEnabled() { return false; }
