#include "core/pxxBitmaps.h"
#include "io/pixoranio_formats_impl.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"

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

  // The caller's picture stays as it is: other formats are resampled from a copy.
  std::unique_ptr<TPXBitmap> converted;
  std::unique_ptr<TPXBitmap> result =
      ScaledBitmap(Resample ? Bitmap24RGB(Bitmap, converted) : Bitmap, newWidth, newHeight, Resample);
  if (height < width)
    Params->SetDpiY(dpiX);
  else
    Params->SetDpiX(dpiY);
  Params->Width = newWidth;
  Params->Height = newHeight;
  return result;
}
