#include <cstdlib>

#include "platform/rtl/SysUtils.h"

std::string GetTempDir() {
  const char* t = std::getenv("TMPDIR");
  std::string d = (t && *t) ? t : "/tmp";
  if (d.back() != '/') d += '/';
  return d;
}
