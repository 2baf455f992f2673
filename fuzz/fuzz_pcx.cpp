// Arbitrary bytes as a PCX picture (with a size bound taken from the last byte) and as a DCX
// container: the readers never raise and never read outside the data; a preview never touches
// the bitmap; an accepted PCX writes back, and inserting a page into an accepted container
// keeps every old page.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codecs/pcxfilter.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "fuzz/FuzzCodecSupport.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
  // The caller's size bound may be smaller or larger than the data.
  const int64_t bound =
      Size > 0 && (Data[Size - 1] & 1) ? int64_t(Size) * 4 : int64_t(Size) - (Size > 0 ? Data[Size - 1] : 0);
  // One bitmap serves the preview and the decode (the preview must leave it empty): every bitmap
  // made costs a colour profile load, more than decoding most inputs.
  TPXBitmap bitmap;
  for (bool preview : {true, false}) {
    stream.Seek(0, soBeginning);
    TIOParams params;
    TPXAbortFlag flag{false};
    TPXProgressRecord progress;
    InitRecord(flag, progress);
    try {
      DecodePcxStream(&stream, &bitmap, &params, bound, progress, preview);
    } catch (...) {
      std::abort();
    }
    if (preview) {
      Check(bitmap.Width() == 0, __LINE__);
      continue;
    }
    if (flag) continue;
    Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height, __LINE__);
    // Writing back costs as much per pixel as reading: small pictures cover every branch of the
    // writer, the widest (65535 x 1) included.
    if (int64_t(bitmap.Width()) * bitmap.Height() > 1 << 16) continue;
    TMemoryStream out;
    TPXAbortFlag writeFlag{false};
    TPXProgressRecord writeProgress;
    InitRecord(writeFlag, writeProgress);
    params.BitsPerSample = 8;
    params.SamplesPerPixel = 3;
    EncodePcxStream(&out, &bitmap, &params, writeProgress);
    // Every picture the reader gives back can be written, except at a width whose 24-bit
    // plane line no longer fits its 16-bit field.
    Check((!writeFlag && out.Size() > 128) || bitmap.Width() > 65534, __LINE__);
  }

  // The same bytes as a container.
  stream.Seek(0, soBeginning);
  const bool dcx = HasDcxSignature(&stream);
  Check(stream.Position() == 0, __LINE__);
  const int32_t pages = GetDcxPageCount(&stream);
  Check(pages >= 0 && pages <= 1024, __LINE__);
  TIOParams params;
  params.DCX_ImageIndex = Size > 1 ? Data[1] : 0;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitRecord(flag, progress);
  try {
    DecodeDcxStream(&stream, &bitmap, &params, progress, false);
  } catch (...) {
    std::abort();
  }
  if (dcx && pages < 1023 && Size < 1 << 16) {
    TMemoryStream copy;
    copy.WriteBuffer(Data, int64_t(Size));
    TPXBitmap page;
    page.Allocate(3, 2, px24RGB);
    TPXAbortFlag writeFlag{false};
    TPXProgressRecord writeProgress;
    InitRecord(writeFlag, writeProgress);
    InsertDcxPage(&copy, &page, &params, writeProgress);
    Check(!writeFlag && GetDcxPageCount(&copy) == pages + 1, __LINE__);
  }
  return 0;
}
