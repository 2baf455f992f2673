// Arbitrary bytes as an icon and as a cursor for the codec's readers (entry and mode from the
// last bytes), full and preview-only, and the signature tests: nothing raises but the two
// documented icon texts; a preview never touches the bitmap; an accepted icon has the size its
// parameters give and writes back as an icon that reads again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "codecs/bmpfilt.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "fuzz/FuzzCodecSupport.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
  const uint8_t tail = Size > 0 ? Data[Size - 1] : 0;
  Check(HasIcoSignature(&stream) == HasIcoSignature(&stream) && stream.Position() == 0);
  Check(HasCurSignature(&stream) == HasCurSignature(&stream) && stream.Position() == 0);
  (void)GetIcoImageCount(&stream);
  Check(stream.Position() == 0);
  for (int cursor = 0; cursor < 2; ++cursor) {
    for (bool preview : {true, false}) {
      stream.Seek(0, soBeginning);
      TPXBitmap bitmap;
      TIOParams params;
      params.NativePixelFormat = tail & 1;
      params.IsResource = tail & 2;
      params.ICO_ImageIndex = params.CUR_ImageIndex = (tail >> 2) & 3;
      TPXAbortFlag flag{false};
      TPXProgressRecord progress;
      InitRecord(flag, progress);
      std::unique_ptr<TPXMask> mask;
      try {
        if (cursor) DecodeCurStream(&stream, &bitmap, &params, preview, progress, mask, tail & 16);
        else DecodeIcoStream(&stream, &bitmap, &params, preview, progress, mask, tail & 16, (tail >> 5) % 3);
      } catch (const EPXException& e) {
        Check(!cursor && (e.Message() == "Unsupported pixel format" || e.Message() == "Not valid 256x256 Icon"));
        continue;
      } catch (...) {
        std::abort();
      }
      if (preview) {
        Check(bitmap.Width() == 0);
        continue;
      }
      if (flag || bitmap.IsEmpty()) continue;
      if (mask) Check(mask->Width() == bitmap.Width() && mask->Height() == bitmap.Height());
      if (bitmap.Width() > 256 || bitmap.Height() > 256) continue;
      TMemoryStream out;
      TPXAbortFlag writeFlag{false};
      TPXProgressRecord writeProgress;
      InitRecord(writeFlag, writeProgress);
      TIOParams writeParams;
      const TPXIcoSize size{bitmap.Width(), bitmap.Height()};
      const int32_t bits = 8 << (tail & 2);
      EncodeIcoStream(&out, &bitmap, &writeParams, writeProgress, {&size, 1}, {&bits, 1});
      Check(!writeFlag);
      out.Seek(0, soBeginning);
      TPXBitmap again;
      TIOParams againParams;
      std::unique_ptr<TPXMask> againMask;
      DecodeIcoStream(&out, &again, &againParams, false, writeProgress, againMask, false, 0);
      Check(!writeFlag && again.Width() == bitmap.Width() && again.Height() == bitmap.Height());
    }
  }
  return 0;
}
