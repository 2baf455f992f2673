// Arbitrary bytes as a portable any-map, a wireless bitmap, headerless raw pixels (geometry,
// format and layout from the first bytes) and a metafile: the readers never raise (the raw
// reader only its documented "Format unsupported"), signature tests restore the position, a
// preview never touches the bitmap, and accepted pictures write back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "codecs/bmpfilt.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "fuzz/FuzzCodecSupport.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
  Check(HasPxmSignature(&stream) == HasPxmSignature(&stream) && stream.Position() == 0, __LINE__);
  HasEmfSignature(&stream);
  Check(stream.Position() == 0, __LINE__);
  HasWmfSignature(&stream);
  Check(stream.Position() == 0, __LINE__);

  for (int kind = 0; kind < 2; ++kind)
    for (bool preview : {true, false}) {
      stream.Seek(0, soBeginning);
      TPXBitmap bitmap;
      TIOParams params;
      params.NativePixelFormat = Size > 0 && (Data[Size - 1] & 1);
      TPXAbortFlag flag{false};
      TPXProgressRecord progress;
      InitRecord(flag, progress);
      try {
        if (kind == 0)
          DecodePxmStream(&stream, &bitmap, &params, progress, preview);
        else
          DecodeWbmpStream(&stream, &bitmap, &params, progress, preview);
      } catch (...) {
        std::abort();
      }
      if (preview) {
        Check(bitmap.Width() == 0, __LINE__);
        continue;
      }
      if (flag || int64_t(bitmap.Width()) * bitmap.Height() > 1 << 20) continue;
      Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height, __LINE__);
      TMemoryStream out;
      TPXAbortFlag writeFlag{false};
      TPXProgressRecord writeProgress;
      InitRecord(writeFlag, writeProgress);
      // Every picture has a layout at 8 bits and 3 samples (P4 for bitmaps, else P6).
      params.BitsPerSample = 8;
      params.SamplesPerPixel = 3;
      if (kind == 0)
        EncodePxmStream(&out, &bitmap, &params, writeProgress);
      else
        EncodeWbmpStream(&out, &bitmap, nullptr, writeProgress);
      Check(!writeFlag && out.Size() > 0, __LINE__);
    }

  // Raw pixels: width, height, format, layout and data format from the first 6 bytes.
  if (Size >= 6) {
    static const TPXPixelFormat formats[] = {px1g, px8p, px8g, px16g, px24RGB, px32f, pxCMYK, pxRGB48, px32RGB};
    TPXBitmap bitmap;
    bitmap.Allocate(Data[0] % 64 + 1, Data[1] % 64 + 1, formats[Data[2] % 9]);
    TIOParams params;
    params.BMPRAW_DataFormat = Data[3] % 4;
    params.BMPRAW_Planar = Data[4] & 1;
    params.BMPRAW_BGR = Data[4] & 2;
    params.BMPRAW_RowAlign = (Data[4] >> 2) % 5 * 8;
    params.BMPRAW_HeaderSize = Data[5] % 16 - 2;
    TCustomMemoryStream raw(Data + 6, static_cast<int64_t>(Size - 6));
    TPXAbortFlag flag{false};
    TPXProgressRecord progress;
    InitRecord(flag, progress);
    try {
      DecodeRawPixelStream(&raw, &bitmap, &params, progress);
    } catch (const EPXException& e) {
      Check(std::string(e.Message()) == "Format unsupported" && params.BMPRAW_DataFormat == 2, __LINE__);
    } catch (...) {
      std::abort();
    }
  }
  return 0;
}
