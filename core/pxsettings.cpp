#include "core/pxsettings.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "core/hypxutils.h"
#include "core/pxwords.h"

namespace {

std::unique_ptr<TPXPixoranGlobalSettings> g_settings;

// Bit 23 of the processor's feature flags.
uint8_t ProcessorHasMMX() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return (edx >> 23) & 1u;
#endif
  return 0;
}

}  // namespace

TPXPixoranGlobalSettings::TPXPixoranGlobalSettings() {
  FWindowsVersion = GetWindowsVersionId();
  FWindowsNT = FWindowsVersion > 2 ? 1 : 0;
  FHasMMX = ProcessorHasMMX();
  FGridPen = std::make_unique<TPen>();
  FWordTransitionParams = std::make_unique<TPXWordTransitionParams>();
  FHintStyle = std::make_unique<TPXHintStyle>();
  FIOParamDefaults = std::make_unique<TIOParamDefaults>();
  // Ctrl (the shortcut modifier bit $4000) with L, E, R, J, C, X, V, F, B, I, U, G.
  const char keys[12] = {'L', 'E', 'R', 'J', 'C', 'X', 'V', 'F', 'B', 'I', 'U', 'G'};
  for (int i = 0; i < 12; ++i) FTextShortcuts[i] = static_cast<uint16_t>(0x4000 | keys[i]);
}

TPXPixoranGlobalSettings::~TPXPixoranGlobalSettings() = default;

void TPXPixoranGlobalSettings::GetCustomColors(std::string& Text) const {
  if (!FCustomColors.empty()) {
    Text = FCustomColors;
    return;
  }
  static const char* const kDefaults[16] = {
      "ColorA=D670DA", "ColorB=8B3D48", "ColorC=FF901E", "ColorD=ED9564", "ColorE=EBCE87", "ColorF=908070",
      "ColorG=4F4F2F", "ColorH=2F6B55", "ColorI=008080", "ColorJ=7FFF00", "ColorK=00FC7C", "ColorL=32CD9A",
      "ColorM=B9DAFF", "ColorN=00D7FF", "ColorO=20A5DA", "ColorP=1E69D2"};
  Text.clear();
  for (int i = 0; i < 16; ++i) {
    if (i > 0) Text += "\r\n";
    Text += kDefaults[i];
  }
}

uint8_t TPXPixoranGlobalSettings::GetDialogHeaderStyle() const {
  if (FDialogHeaderStyle == 3 &&
      (!FDialogHeaderPicture || FDialogHeaderPicture->Width() == 0 || FDialogHeaderPicture->Height() == 0))
    return 0;
  return FDialogHeaderStyle;
}

bool TPXPixoranGlobalSettings::IsEnglishLanguage() const {
  if (FLanguage == 1) return true;
  if (FLanguage != 0) return false;
  // The locale read once at start (the C and POSIX locales speak English).
  return SystemLanguageId().Primary == 0x09;
}

TPXPixoranGlobalSettings* GlobalSettingsInstance() {
  if (!g_settings) g_settings = std::make_unique<TPXPixoranGlobalSettings>();
  return g_settings.get();
}

void FreeGlobalSettings() { g_settings.reset(); }

// Library services:

namespace {
std::atomic<TPXCompanionProbeProc> g_companion_probe{nullptr};
}  // namespace

TPXPixoranGlobalSettings* GlobalSettingsAssigned() { return g_settings.get(); }

void SetCompanionLibraryProbe(TPXCompanionProbeProc Probe) { g_companion_probe = Probe; }

uint8_t TPXPixoranGlobalSettings::GetCameraRawEngine() const {
  if (FCameraRawEngine != 0) return FCameraRawEngine;
  const TPXCompanionProbeProc probe = g_companion_probe;
  return probe && probe() ? 1 : 2;
}
