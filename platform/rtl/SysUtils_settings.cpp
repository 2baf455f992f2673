#include "platform/rtl/SysUtils.h"

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}
