// Shared pieces of the fuzz targets: a broken promise aborts, so that libFuzzer reports it.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void Check(bool Ok) {
  if (!Ok) std::abort();
}

// Aborts with the failing line, so that a crash names the broken promise.
inline void Check(bool Ok, int Line) {
  if (Ok) return;
  std::fprintf(stderr, "check failed at line %u\n", static_cast<unsigned>(Line));
  std::abort();
}
