#include "platform/forms/Themes.h"

TThemeServices* ThemeServices() {
  static TThemeServices services;
  return &services;
}
