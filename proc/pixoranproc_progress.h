// Per-row progress of the processing engine's pixel routines.
#pragma once

#include <cstdint>

#include "core/hypxdefs.h"

// The per cent after Done of Rows rows, Done x 100 / (Rows - 0.5) truncated, kept in 0..100
// (the formula alone passes 100 on the last row).
inline int32_t ProcRowPercent(int32_t Done, int32_t Rows) {
  if (Rows <= 0) return 100;
  const int32_t v = Trunc32(static_cast<long double>(Done) * 100 / (Rows - 0.5L));
  return v < 0 ? 0 : (v > 100 ? 100 : v);
}

inline void ProcReportRow(const TPXProgressEvent& OnProgress, TObject* Sender, int32_t Done, int32_t Rows) {
  if (OnProgress) OnProgress(Sender, ProcRowPercent(Done, Rows));
}
