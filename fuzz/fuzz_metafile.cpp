// Arbitrary bytes as a Windows metafile, read with the converters in this process: the checks in
// front of them must keep every fault out of them (in the program they run in a helper process
// besides). A metafile that is read has a sane size and draws into a small box; the bytes the
// checks hand on pass the checks again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/gdiplus/GdiPlusObjects.h"
#include "platform/gdiplus/Metafile.h"
#include "platform/gdiplus/metafile/MetafileConvert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::vector<uint8_t> prepared, again;
  if (PxPrepareEmf(Data, Size, prepared) &&
      (!PxPrepareEmf(prepared.data(), prepared.size(), again) || again != prepared))
    std::abort();
  MetafileHeader header;
  std::string svg;
  if (!GpReadMetafile(Data, Size, header, svg, GpConvertInProcess)) return 0;
  if (header.Width <= 0 || header.Height <= 0 || svg.empty()) std::abort();
  GpImageData image;
  image.Metafile = true;
  image.Storage.assign(svg.begin(), svg.end());
  std::vector<uint32_t> pixels;
  GpRasterizeMetafile(image, 32, 32, pixels);
  return 0;
}
