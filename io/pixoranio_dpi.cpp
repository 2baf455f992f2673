#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "proc/pixoranproc_resample.h"

std::unique_ptr<TPXBitmap> AdjustBitmapForDpi(TPXBitmap* Bitmap, TIOParams* Params, bool Resample) {
  if (!Bitmap || !Params) return nullptr;
  const int32_t dpiX = Params->DpiX, dpiY = Params->DpiY;
  const int32_t width = Bitmap->Width(), height = Bitmap->Height();
  if (dpiX == dpiY || dpiX <= 0 || dpiY <= 0 || width <= 0 || height <= 0) return nullptr;
  int32_t newWidth = width, newHeight = height;
  if (height < width)
    newHeight = static_cast<int32_t>(Round(static_cast<long double>(height) / dpiY * dpiX));
  else
    newWidth = static_cast<int32_t>(Round(static_cast<long double>(width) / dpiX * dpiY));
  if (newWidth < 1 || newHeight < 1) return nullptr;

  std::unique_ptr<TPXBitmap> result;
  if (Resample) {
    // The caller's picture stays as it is: other formats convert a copy.
    std::unique_ptr<TPXBitmap> converted;
    TPXBitmap* source = Bitmap;
    if (Bitmap->PixelFormat() != px24RGB) {
      converted = TPXBitmap::CreateCopy(Bitmap);
      converted->SetPixelFormat(px24RGB);
      source = converted.get();
    }
    result = TPXBitmap::CreateAllocated(newWidth, newHeight, px24RGB);
    const auto filter = static_cast<TResampleFilter>(GlobalSettingsInstance()->FDefaultResampleFilter);
    ResampleBitmap(source, result.get(), nullptr, filter, TPXProgressEvent(), nullptr, nullptr);
  } else {
    result = TPXBitmap::CreateAllocated(newWidth, newHeight, Bitmap->PixelFormat());
    StretchNearest(Bitmap, result.get(), nullptr, TPXProgressEvent());
  }
  if (height < width)
    Params->SetDpiY(dpiX);
  else
    Params->SetDpiX(dpiY);
  Params->Width = newWidth;
  Params->Height = newHeight;
  return result;
}
