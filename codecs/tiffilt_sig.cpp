// TIFF signatures (plain TIFF or BigTIFF, camera raw built on TIFF, HD Photo), the page count and
// the codec's rows of the I/O front end's format table.
#include <memory>

#include "codecs/pxcodecs_impl.h"
#include "codecs/tiffilt.h"
#include "core/hypxutils_streams.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio_registry.h"
#include "io/pxexif.h"
#include "io/pxtiffhandler.h"
#include "io/pxtiffifd.h"
#include "io/pxxBitmaps_params.h"

namespace {

// Restores a stream's position when it leaves scope.
class TPositionKeeper {
 public:
  explicit TPositionKeeper(TStream* S) : FStream(S), FAt(S->Position()) {}
  ~TPositionKeeper() { FStream->Seek(FAt, soBeginning); }
  int64_t At() const { return FAt; }

 private:
  TStream* FStream;
  int64_t FAt;
};

// The first directory of the structure at the stream's position, read with the header's byte
// order and layout; false when the header is refused or nothing loads.
bool LoadFirstDirectory(TStream* S, TPXTIFFIFDReader& R, bool AllowBig, bool RequireVersion) {
  const int64_t base = S->Position();
  const int64_t size = S->Size();
  uint8_t h[16] = {};
  if (pxcodecs_detail::ReadFully(S, h, 16) < 8) return false;
  const bool le = h[0] == 'I' && h[1] == 'I';
  if (!le && !(h[0] == 'M' && h[1] == 'M')) return false;
  const uint16_t version = SwapWord(uint16_t(h[2] | (h[3] << 8)), !le);
  bool big = false;
  uint64_t first = 0;
  if (AllowBig && version == 43) {
    if (SwapWord(uint16_t(h[4] | (h[5] << 8)), !le) != 8 || SwapWord(uint16_t(h[6] | (h[7] << 8)), !le) != 0)
      return false;
    uint64_t v;
    std::memcpy(&v, h + 8, 8);
    first = SwapQWord(v, !le);
    big = true;
  } else {
    if (RequireVersion && version != 42) return false;
    uint32_t v;
    std::memcpy(&v, h + 4, 4);
    first = SwapDWord(v, !le);
  }
  if (first == 0 || first >= uint64_t(size - base)) return false;
  R.Stream = S;
  R.Base = uint64_t(base);
  R.LittleEndian = le;
  R.IsBigTiff = big;
  R.InlineSize = big ? 8 : 4;
  int32_t count = 0;
  return R.ReadIFD(0, count, first);
}

}  // namespace

bool HasTiffSignature(TStream* Stream) {
  if (!Stream) return false;
  TPositionKeeper keep(Stream);
  try {
    if (Stream->Size() - keep.At() <= 20) return false;
    TPXTIFFIFDReader r;
    return LoadFirstDirectory(Stream, r, true, false) && r.FindTag(256) >= 0 && r.FindTag(257) >= 0;
  } catch (const std::exception&) {
    return false;
  }
}

bool HasRawTiffSignature(TStream* Stream) {
  if (!Stream) return false;
  TPositionKeeper keep(Stream);
  try {
    TPXTIFFIFDReader r;
    if (!LoadFirstDirectory(Stream, r, false, false)) return false;
    const int32_t dng = r.FindTag(50706);
    if (dng >= 0 && r.GetTagType(dng) == ttByte && r.GetTagCount(dng) == 4) return true;
    const int32_t ph = r.FindTag(262);
    if (ph >= 0 && r.GetTagType(ph) == ttShort && r.GetTagCount(ph) == 1) {
      const int64_t v = r.ReadInteger(262, 0);
      if (v == 32803 || v == 34892) return true;
    }
    return r.FindTag(330) >= 0 && r.FindTag(37398) >= 0 && r.ReadInteger(256, 0) < 200 && r.ReadInteger(257, 0) < 200;
  } catch (const std::exception&) {
    return false;
  }
}

bool HasHdPhotoSignature(TStream* Stream) {
  if (!Stream) return false;
  TPositionKeeper keep(Stream);
  try {
    if (Stream->Size() - keep.At() <= 8) return false;
    uint8_t h[2] = {};
    pxcodecs_detail::ReadFully(Stream, h, 2);
    if (h[0] != 'I' || h[1] != 'I') return false;
    Stream->Seek(keep.At(), soBeginning);
    TPXTIFFIFDReader r;
    if (!LoadFirstDirectory(Stream, r, false, false)) return false;
    for (int32_t tag : {48256, 48257, 48129, 48320, 48321})
      if (r.FindTag(tag) < 0) return false;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

int32_t GetTiffPageCount(TStream* Stream) {
  if (!Stream) return 0;
  TPXAbortFlag aborting{false};
  TPXProgressRecord progress;
  progress.Aborting = &aborting;
  TIOParams params;
  params.TIFF_ImageIndex = 0;
  std::unique_ptr<TPXMask> mask;
  int32_t count = 0;
  DecodeTiffStream(nullptr, Stream, count, &params, progress, true, mask, true, true, false, false, nullptr);
  return count;
}

void RegisterTiffCodec() {
  TPXFormatRow row;
  row.Decode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                  bool PreviewOnly, std::unique_ptr<TPXMask>& Mask) -> int32_t {
    int32_t count = 0;
    DecodeTiffStream(Bitmap, Stream, count, Params, Progress, PreviewOnly, Mask, true, false, false, false, nullptr);
    return count;
  };
  row.Encode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXMask*, TPXProgressRecord& Progress) {
    EncodeTiffStream(Stream, false, Bitmap, Params, Progress);
  };
  row.Signature = HasTiffSignature;
  row.AltSignature = HasRawTiffSignature;
  row.PageCount = GetTiffPageCount;
  row.Rules.IntegerResult = true;
  row.Rules.MaskToAlpha = true;
  row.Rules.MultiPage = true;
  RegisterFormatRow(pxftTIFF, std::move(row));
  RegisterTiffEncoder(&EncodeTiffStream);
  RegisterTiffDecoder(&DecodeTiffStream);
  TPXFormatRow hdp;
  hdp.Signature = HasHdPhotoSignature;
  RegisterFormatRow(pxftHDP, std::move(hdp));
}

bool InjectExifIntoTiff(TStream* SourceStream, TStream* DestStream, std::string_view SourceFileName,
                        std::string_view DestFileName, int32_t PageIndex, TIOParams* Params) {
  if (!Params) return false;
  try {
    std::vector<uint8_t> block;
    if (!BuildExifBlock(Params, block, false)) return false;
    TMemoryStream blockStream;
    blockStream.WriteBuffer(block.data(), int64_t(block.size()));
    blockStream.Seek(0, soBeginning);
    TPXTIFFHandler exif;
    if (!exif.LoadFromStream(&blockStream)) return false;
    TPXTIFFHandler target;
    const int64_t sourceAt = SourceStream ? SourceStream->Position() : 0;
    const bool loaded = SourceStream ? target.LoadFromStream(SourceStream) : target.LoadFromFile(SourceFileName);
    if (!loaded || target.PageCount() == 0) return false;
    static constexpr uint16_t kTags[23] = {271,   272,   306,   274,   282,   283,   296,   305,   315,   318,   531,  319,
                                           529,   532,   33432, 18246, 40091, 40092, 40093, 40094, 40095, 34665, 34853};
    if (exif.BigEndian == target.BigEndian && PageIndex >= 0 && PageIndex < target.PageCount())
      for (const uint16_t tag : kTags) {
        const int32_t i = exif.FindTag(0, tag);
        if (i >= 0) target.CopyTag(0, i, PageIndex, exif);
      }
    if (DestStream) {
      if (DestStream == SourceStream) DestStream->Seek(sourceAt, soBeginning);
      return target.SaveToStream(DestStream);
    }
    return target.SaveToFile(DestFileName);
  } catch (const std::exception&) {
    return false;
  }
}
