// Arbitrary bytes as a Windows metafile, read with the converters in this process: the checks in
// front of them must keep every fault out of them (in the program they run in a helper process
// besides). A metafile that is read has a sane size and draws into a small box; the bytes the
// checks hand on pass the checks again unchanged. The same bytes then go through the I/O
// component's import and header read: an import that answers False leaves the picture as it
// was, one that answers True gives the size asked for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/hypxutils_streams.h"
#include "core/pxxBitmaps.h"
#include "fuzz/FuzzSupport.h"
#include "io/pixoranio.h"
#include "platform/gdiplus/GdiPlusMetafile.h"
#include "platform/gdiplus/metafile/MetafileConvert.h"
#include "platform/rtl/Startup.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  RtlStartup();
  GdiplusStartupInput input;
  ULONG_PTR token = 0;
  GdiplusStartup(&token, &input, nullptr);
  GdipSetMetafileConversionInProcess(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::vector<uint8_t> prepared, again;
  if (PxPrepareEmf(Data, Size, prepared) &&
      (!PxPrepareEmf(prepared.data(), prepared.size(), again) || again != prepared))
    std::abort();
  {
    TPXMemStream bytes(Data, static_cast<int32_t>(Size));
    GpMetafile* metafile = nullptr;
    if (GdipCreateMetafileFromStream(&bytes, &metafile) == Ok) {
      MetafileHeader header;
      if (GdipGetMetafileHeaderFromMetafile(metafile, &header) != Ok || header.Width <= 0 || header.Height <= 0)
        std::abort();
      std::vector<uint32_t> pixels;
      GdipRasterizeMetafile(metafile, 32, 32, pixels);
      GdipDisposeImage(metafile);
    }
  }

  TPixoranIO io(nullptr);
  TPXBitmap* bitmap = io.WorkingBitmap();
  bitmap->Allocate(3, 2, px24RGB);
  TPXMemStream stream(Data, static_cast<int32_t>(Size));
  if (io.ImportMetafileFromStream(&stream, 48, 32, (Size & 1) != 0)) {
    Check(bitmap->Width() == 48 && bitmap->Height() == 32 && bitmap->PixelFormat() == px24RGB, __LINE__);
  } else {
    Check(bitmap->Width() == 3 && bitmap->Height() == 2, __LINE__);
  }
  TPXMemStream header2(Data, static_cast<int32_t>(Size));
  if (io.ParamsFromStream(&header2, (Size & 2) ? pxftEMF : pxftWMF))
    Check(io.Params()->Width > 0 && io.Params()->Height > 0, __LINE__);
  return 0;
}
