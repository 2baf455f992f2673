// Arbitrary bytes as a TIFF file: the page, sub-image and tile chosen by the first bytes, read in
// full and as parameters only, in the native format and not, with and without alpha, as an EXIF
// block and as a thumbnail; never raises, never reads outside a buffer and never allocates past
// what the data can fill. A page the reader accepts has its parameters' size and a mask of the
// same size, and is written back and read back at that size. The three signature tests and the
// page counter agree with the reader. The same bytes go through the page editor (loaded,
// written, loaded again with as many pages), the maker-note parser under the header row the
// first byte picks (a parsed note written back parses again) and the imaging-annotation block
// reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "codecs/tiffilt.h"
#include "codecs/tiflzw.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "fuzz/FuzzCodecSupport.h"
#include "io/pxmakernote.h"
#include "io/pxtiffhandler.h"
#include "io/pxxBitmaps_meta.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
  HasTiffSignature(&stream);
  Check(stream.Position() == 0, __LINE__);
  HasRawTiffSignature(&stream);
  Check(stream.Position() == 0, __LINE__);
  HasHdPhotoSignature(&stream);
  Check(stream.Position() == 0, __LINE__);
  const int32_t pages = GetTiffPageCount(&stream);
  Check(pages >= 0, __LINE__);
  const uint8_t f = Size > 8 ? Data[Size - 1] : 0;
  const uint8_t g = Size > 8 ? Data[Size - 2] : 0;
  for (int pass = 0; pass < 2; ++pass) {
    TPXBitmap bitmap;
    TIOParams params;
    params.TIFF_LZWDecompress = &TiffLzwDecode;
    params.TIFF_ImageIndex = pass == 0 ? 0 : g % 3;
    params.TIFF_SubIndex = pass == 1 && (f & 1) ? 0 : -1;
    params.TIFF_GetTile = pass == 1 && (f & 2) ? (g >> 2) % 4 : -1;
    params.NativePixelFormat = (f & 4) != 0;
    params.TIFF_AutoRotate = (f & 8) != 0;
    const bool preview = pass == 0 && (f & 16);
    const bool ignoreAlpha = (f & 32) != 0;
    const bool thumb = pass == 1 && (f & 64);
    const bool exifBlock = pass == 1 && (f & 128);
    std::unique_ptr<TPXMask> mask;
    TPXAbortFlag flag{false};
    TPXProgressRecord progress;
    InitRecord(flag, progress);
    int32_t count = -1;
    stream.Seek(0, soBeginning);
    try {
      DecodeTiffStream(&bitmap, &stream, count, &params, progress, preview, mask, true, ignoreAlpha, thumb, exifBlock,
                       nullptr);
    } catch (...) {
      std::abort();
    }
    Check(count >= 0, __LINE__);
    if (pass == 0) Check(count == pages, __LINE__);
    if (preview) {
      Check(bitmap.Width() == 0, __LINE__);
      continue;
    }
    if (flag || bitmap.Width() == 0) continue;
    if (mask) Check(mask->Width() == bitmap.Width() && mask->Height() == bitmap.Height(), __LINE__);
    if (int64_t(bitmap.Width()) * bitmap.Height() > 1 << 16 || bitmap.Width() > 60000 || bitmap.Height() > 60000) continue;
    // Written back and read again at the same size.
    TMemoryStream out;
    params.TIFF_LZWCompress = &TiffLzwEncode;
    params.TIFF_ImageIndex = 0;
    TPXAbortFlag writeFlag{false};
    TPXProgressRecord writeProgress;
    InitRecord(writeFlag, writeProgress);
    const int32_t written = EncodeTiffStream(&out, false, &bitmap, &params, writeProgress);
    Check(!writeFlag && written == 1, __LINE__);
    TPXBitmap again;
    TIOParams againParams;
    againParams.TIFF_LZWDecompress = &TiffLzwDecode;
    std::unique_ptr<TPXMask> againMask;
    TPXAbortFlag readFlag{false};
    TPXProgressRecord readProgress;
    InitRecord(readFlag, readProgress);
    int32_t againCount = 0;
    out.Seek(0, soBeginning);
    DecodeTiffStream(&again, &out, againCount, &againParams, readProgress, false, againMask, true, false, false, false,
                     nullptr);
    Check(!readFlag && againCount == 1, __LINE__);
    Check(again.Width() == bitmap.Width() && again.Height() == bitmap.Height(), __LINE__);
  }
  // The page editor.
  {
    stream.Seek(0, soBeginning);
    TPXTIFFHandler h;
    if (h.LoadFromStream(&stream)) {
      TMemoryStream out;
      Check(h.SaveToStream(&out), __LINE__);
      out.Seek(0, soBeginning);
      TPXTIFFHandler again;
      Check(again.LoadFromStream(&out), __LINE__);
      Check(again.PageCount() == h.PageCount(), __LINE__);
    }
  }
  // A maker note under the header row the first byte picks.
  if (Size > 0) {
    const int32_t row = Data[0] % MakerNoteLayoutCount();
    const std::string& head = MakerNoteLayout(row).Header;
    TMemoryStream note;
    note.WriteBuffer(head.data(), int64_t(head.size()));
    note.WriteBuffer(Data + 1, int64_t(Size - 1));
    note.Seek(0, soBeginning);
    TPXTagsHandler h;
    if (h.ReadMakerNote(&note, note.Size(), (Data[0] & 0x80) != 0, 0, true)) {
      Check(h.LoadEntries(), __LINE__);
      TMemoryStream out;
      const int64_t n = h.WriteMakerNote(&out, 0);
      if (n > 0) {
        out.Seek(0, soBeginning);
        TPXTagsHandler again;
        Check(again.ReadMakerNote(&out, n, h.LittleEndian, 0, true), __LINE__);
      }
    }
  }
  // Imaging annotations.
  {
    TPXImagingAnnot a;
    a.LoadFromBuffer(Data, int64_t(Size));
    std::vector<uint8_t> out;
    a.SaveToBuffer(out);
  }
  return 0;
}
