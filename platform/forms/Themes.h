// The desktop's visual-style services. The desktop here has no visual styles: they are neither
// available nor enabled, and every control takes its classic look.
#pragma once

class TThemeServices {
 public:
  // The platform offers visual styles at all.
  bool ThemesAvailable() const { return false; }
  // Visual styles are available and switched on for this application.
  bool ThemesEnabled() const { return false; }
};

TThemeServices* ThemeServices();
