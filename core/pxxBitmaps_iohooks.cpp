// The pixel container's members that concern the I/O parameters it may carry.
#include "core/pxxBitmaps_iohooks.h"

#include "core/hypxdefs.h"
#include "core/pxxBitmaps.h"

namespace {
TPXBitmapParamsHooks& Hooks() {
  static TPXBitmapParamsHooks hooks;
  return hooks;
}
}  // namespace

void SetBitmapParamsHooks(const TPXBitmapParamsHooks& Hooks_) { Hooks() = Hooks_; }
const TPXBitmapParamsHooks& BitmapParamsHooks() { return Hooks(); }

TIOParams* TPXBitmap::GetParams() {
  if (!FParams || !Hooks().AsParams) return nullptr;
  return Hooks().AsParams(FParams.get());
}

void TPXBitmap::SetHasParams(bool Value) {
  if (Value == HasParams()) return;
  if (!Value) {
    FParams.reset();
    return;
  }
  if (!Hooks().Create) throw EPXException("I/O parameters are not available");
  FParams = Hooks().Create(this);
}
