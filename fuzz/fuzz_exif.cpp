// Arbitrary bytes as an EXIF block (with or without the "Exif" prefix, by the first byte), as a
// file searched for its TIFF header, and as a TIFF-structured file read for its EXIF and
// thumbnail: never raises, never reads outside a buffer, restores every stream position, and a
// thumbnail never exceeds 400 x 400.
#include <cstddef>
#include <cstdint>

#include "codecs/tiffilt.h"
#include "core/pxxBitmaps.h"
#include "fuzz/FuzzSupport.h"
#include "io/pxexif.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {
void CheckThumbnail(const TIOParams& P) {
  TPXBitmap* t = P.EXIF_Thumbnail();
  Check(!t || (t->Width() <= 400 && t->Height() <= 400), __LINE__);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterTiffEncoder(&EncodeTiffStream);
  RegisterTiffDecoder(&DecodeTiffStream);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1 || Size > (1u << 22)) return 0;
  const bool prefix = Data[0] & 1;
  {
    TIOParams p;
    const bool ok = ReadExifBlock(Data + 1, static_cast<int32_t>(Size - 1), &p, prefix);
    Check(ok == p.EXIF_HasEXIFData, __LINE__);
    CheckThumbnail(p);
  }
  TCustomMemoryStream s(Data, static_cast<int64_t>(Size));
  const int64_t start = Size > 8 ? Data[1] % 8 : 0;
  s.Seek(start, soBeginning);
  const int64_t at = FindExifTiffHeader(&s);
  Check(s.Position() == start, __LINE__);
  Check(at == -1 || (at >= start && at + 8 <= static_cast<int64_t>(Size)), __LINE__);
  {
    TIOParams p;
    ReadExifFromTiffStream(&s, &p, true);
    Check(s.Position() == start, __LINE__);
    CheckThumbnail(p);
    TIOParams q;
    ReadTiffTagsIntoParams(&s, &q);
    Check(s.Position() == start, __LINE__);
  }
  return 0;
}
