// The access hint of a bitmap's storage, set for a scope.
#pragma once

#include <cstdint>

#include "core/pxxBitmaps.h"

// Sets a bitmap's FAccessMode (pxamRead, pxamWrite) and restores it when the scope ends, also
// by an exception.
class TPXAccessModeScope {
 public:
  TPXAccessModeScope(TPXBaseBitmap* Bitmap, uint8_t Mode) : FBitmap(Bitmap), FSaved(Bitmap->FAccessMode) {
    Bitmap->FAccessMode = Mode;
  }
  ~TPXAccessModeScope() { FBitmap->FAccessMode = FSaved; }
  TPXAccessModeScope(const TPXAccessModeScope&) = delete;
  TPXAccessModeScope& operator=(const TPXAccessModeScope&) = delete;

 private:
  TPXBaseBitmap* FBitmap;
  uint8_t FSaved;
};
