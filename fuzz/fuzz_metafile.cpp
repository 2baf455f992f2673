// Arbitrary bytes as a Windows metafile: reading never crashes; a metafile that is read has a
// sane size and draws into a small box.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/gdiplus/GdiPlusObjects.h"
#include "platform/gdiplus/Metafile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  MetafileHeader header;
  std::string svg;
  if (!GpReadMetafile(Data, Size, header, svg)) return 0;
  if (header.Width <= 0 || header.Height <= 0 || svg.empty()) std::abort();
  GpImageData image;
  image.Metafile = true;
  image.Storage.assign(svg.begin(), svg.end());
  std::vector<uint32_t> pixels;
  GpRasterizeMetafile(image, 32, 32, pixels);
  return 0;
}
