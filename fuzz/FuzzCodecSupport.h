// Shared pieces of the codec fuzz targets: the checks and a progress record with no owner and no
// event around the caller's abort flag.
#pragma once

#include "core/hypxutils.h"
#include "fuzz/FuzzSupport.h"

inline void InitRecord(TPXAbortFlag& Flag, TPXProgressRecord& Progress) {
  InitProgressRecord(nullptr, &Flag, Progress, TPXProgressEvent());
}
