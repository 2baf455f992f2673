// The pixel container's members that reach the I/O layer: the parameters it may carry and the
// loading and saving of file formats.
#include "core/pxxBitmaps_iohooks.h"

#include <string>

#include "core/hypxdefs.h"
#include "core/pxxBitmaps.h"

namespace {
TPXBitmapParamsHooks& Hooks() {
  static TPXBitmapParamsHooks hooks;
  return hooks;
}
TPXBitmapIOHooks& IOHooks() {
  static TPXBitmapIOHooks hooks;
  return hooks;
}
}  // namespace

void SetBitmapParamsHooks(const TPXBitmapParamsHooks& Hooks_) { Hooks() = Hooks_; }
const TPXBitmapParamsHooks& BitmapParamsHooks() { return Hooks(); }
void SetBitmapIOHooks(const TPXBitmapIOHooks& Hooks_) { IOHooks() = Hooks_; }
const TPXBitmapIOHooks& BitmapIOHooks() { return IOHooks(); }

// Icon codec hook.
namespace {
TPXBitmapIconHook& IconHook() {
  static TPXBitmapIconHook hook = nullptr;
  return hook;
}
}  // namespace
void SetBitmapIconHook(TPXBitmapIconHook Hook) { IconHook() = Hook; }
TPXBitmapIconHook BitmapIconHook() { return IconHook(); }

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

bool TPXBitmap::LoadFromStream(TStream* Stream, int32_t FileType, TIOParams* Params) {
  if (!IOHooks().LoadFromStream) throw EPXException("Picture file formats are not available");
  return IOHooks().LoadFromStream(this, Stream, FileType, Params);
}

bool TPXBitmap::SaveToStream(TStream* Stream, int32_t FileType, TIOParams* Params) {
  if (!IOHooks().SaveToStream) throw EPXException("Picture file formats are not available");
  return IOHooks().SaveToStream(this, Stream, FileType, Params);
}

bool TPXBitmap::LoadFromResourceID(uintptr_t Instance, int32_t ResourceID, std::string_view ResourceType,
                                   int32_t FileType) {
  // Compiled-in resources with a numeric identifier are named by its decimal text.
  TResourceStream stream(Instance, std::to_string(ResourceID), ResourceType);
  FLoadingResource = 1;
  try {
    const bool ok = LoadFromStream(&stream, FileType, nullptr);
    FLoadingResource = 0;
    return ok;
  } catch (...) {
    FLoadingResource = 0;
    throw;
  }
}
