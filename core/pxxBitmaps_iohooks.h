// How the pixel container reaches the I/O layer without knowing its classes: the parameters
// (TIOParams) a bitmap may carry, and the loading and saving of pictures in file formats. The
// I/O layer fills these hooks when it registers at start-up (RegisterBitmapParams,
// RegisterPixoranIO). Without them a bitmap carries no parameters and reads or writes no file
// format.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/rtl/System.h"

class TIOParams;
class TPXBitmap;
class TStream;
class TIcon;

struct TPXBitmapParamsHooks {
  // A new parameter record owned by Owner.
  std::unique_ptr<TObject> (*Create)(TPXBitmap* Owner) = nullptr;
  // The record behind an object Create made.
  TIOParams* (*AsParams)(TObject* Record) = nullptr;
  // Dest takes a full copy of Source.
  void (*Assign)(TIOParams* Dest, TIOParams* Source) = nullptr;
};

void SetBitmapParamsHooks(const TPXBitmapParamsHooks& Hooks);
const TPXBitmapParamsHooks& BitmapParamsHooks();

// Loading and saving through the I/O component. FileType is the I/O layer's file type (0 by
// content when loading); Params (may be nil) go in and, for loads, come back. Both answer
// whether the operation did not abort.
struct TPXBitmapIOHooks {
  bool (*LoadFromStream)(TPXBitmap* Bitmap, TStream* Stream, int32_t FileType, TIOParams* Params) = nullptr;
  bool (*SaveToStream)(TPXBitmap* Bitmap, TStream* Stream, int32_t FileType, TIOParams* Params) = nullptr;
};

void SetBitmapIOHooks(const TPXBitmapIOHooks& Hooks);
const TPXBitmapIOHooks& BitmapIOHooks();

// Icon codec: how a platform icon assigned to a bitmap becomes its pixels with the alpha of its
// mask. The icon codec fills it when it registers; without it icons are drawn onto a bitmap.
using TPXBitmapIconHook = void (*)(TIcon* Icon, TPXBitmap* Bitmap);
void SetBitmapIconHook(TPXBitmapIconHook Hook);
TPXBitmapIconHook BitmapIconHook();
