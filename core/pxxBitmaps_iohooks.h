// How the pixel container reaches the I/O parameters (TIOParams of the I/O layer) that a bitmap
// may carry, without knowing their class: the I/O layer fills these hooks when it registers at
// start-up (RegisterBitmapParams). Without them a bitmap cannot carry parameters.
#pragma once

#include <memory>

#include "platform/rtl/System.h"

class TIOParams;
class TPXBitmap;

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
