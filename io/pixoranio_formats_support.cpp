#include <algorithm>
#include <cstring>
#include <vector>

#include "core/hypxutils_streams.h"
#include "core/pxxBitmaps.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio.h"
#include "io/pixoranio_formats_impl.h"
#include "io/pxexif.h"
#include "io/pxmarkers.h"
#include "io/pxxBitmaps_meta.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/SysUtils.h"
#include "proc/pixoranproc_resample.h"

// ---------------------------------------------------------------------------------------------
// TPXWindowStream

TPXWindowStream::TPXWindowStream(TStream* Source, int64_t Start, int64_t Length)
    : source_(Source), start_(std::max<int64_t>(0, Start)), length_(std::max<int64_t>(0, Length)) {}

int32_t TPXWindowStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0 || position_ >= length_ || position_ < 0) return 0;
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(Count, length_ - position_));
  source_->Seek(start_ + position_, soBeginning);
  const int32_t got = source_->Read(Buffer, n);
  if (got > 0) position_ += got;
  return std::max(got, 0);
}

int32_t TPXWindowStream::Write(const void*, int32_t) { return 0; }

int64_t TPXWindowStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t p = position_;
  switch (Origin) {
    case soBeginning: p = Offset; break;
    case soCurrent: p = position_ + Offset; break;
    case soEnd: p = length_ + Offset; break;
  }
  if (p < 0) return -1;
  position_ = p;
  return position_;
}

void TPXWindowStream::SetSize(int64_t) {}

// ---------------------------------------------------------------------------------------------
// Stream headers

int64_t WriteStreamHeaderPlaceholder(TStream* Stream) {
  const int64_t start = Stream->Position();
  const uint8_t zeros[PXStreamHeaderSize] = {};
  Stream->WriteBuffer(zeros, PXStreamHeaderSize);
  return start;
}

void FillStreamHeader(TStream* Stream, int64_t Start, std::string_view Tag) {
  const int64_t end = Stream->Position();
  const int64_t length = end - Start - PXStreamHeaderSize;
  uint8_t header[PXStreamHeaderSize] = {};
  std::memcpy(header, Tag.data(), std::min<size_t>(Tag.size(), 4));
  // A picture too large for the field cannot be described; the field says so with -1 and
  // readers refuse it.
  const uint32_t len = length >= 0 && length <= INT32_MAX ? static_cast<uint32_t>(length) : 0xFFFFFFFFu;
  header[8] = static_cast<uint8_t>(len);
  header[9] = static_cast<uint8_t>(len >> 8);
  header[10] = static_cast<uint8_t>(len >> 16);
  header[11] = static_cast<uint8_t>(len >> 24);
  Stream->Seek(Start, soBeginning);
  Stream->WriteBuffer(header, PXStreamHeaderSize);
  Stream->Seek(end, soBeginning);
}

TPXStreamHeaderRead ReadStreamHeader(TStream* Stream) {
  TPXStreamHeaderRead h;
  h.Start = Stream->Position();
  uint8_t b[PXStreamHeaderSize] = {};
  int32_t got = 0;
  while (got < PXStreamHeaderSize) {
    const int32_t n = Stream->Read(b + got, PXStreamHeaderSize - got);
    if (n <= 0) break;
    got += n;
  }
  h.Complete = got == PXStreamHeaderSize;
  size_t n = 0;
  while (n < 5 && b[n] != 0) ++n;
  h.Tag.assign(reinterpret_cast<const char*>(b), n);
  h.Length = static_cast<int32_t>(static_cast<uint32_t>(b[8]) | (static_cast<uint32_t>(b[9]) << 8) |
                                  (static_cast<uint32_t>(b[10]) << 16) | (static_cast<uint32_t>(b[11]) << 24));
  h.Left = std::max<int64_t>(0, Stream->Size() - (h.Start + PXStreamHeaderSize));
  return h;
}

// ---------------------------------------------------------------------------------------------
// Alpha channel and masks

std::unique_ptr<TPXMask> AlphaChannelToMask(TPXBitmap* Bitmap) {
  if (!Bitmap || !Bitmap->HasAlphaChannel()) return nullptr;
  TPXBitmap* alpha = Bitmap->PeekAlphaChannel();
  const int32_t w = alpha->Width(), h = alpha->Height();
  auto mask = std::make_unique<TPXMask>();
  mask->AllocateBits(w, h, 8);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = alpha->Scanline(y);
    uint8_t* dst = mask->GetScanline(y);
    if (src && dst) std::memcpy(dst, src, static_cast<size_t>(w));
  }
  mask->UpdateBounds();
  return mask;
}

void MaskToAlphaChannel(TPXMask* Mask, TPXBitmap* Bitmap) {
  if (!Mask || !Bitmap || Bitmap->IsEmpty()) return;
  TPXBitmap* alpha = Bitmap->GetAlphaChannel();
  if (!alpha) return;
  alpha->Fill(255);
  const int32_t w = std::min(Mask->Width(), alpha->Width());
  const int32_t h = std::min(Mask->Height(), alpha->Height());
  bool full = w == alpha->Width() && h == alpha->Height();
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* dst = alpha->Scanline(y);
    if (!dst) continue;
    if (Mask->BitsPerPixel() == 8) {
      const uint8_t* src = Mask->GetScanline(y);
      if (!src) continue;
      std::memcpy(dst, src, static_cast<size_t>(w));
    } else {
      for (int32_t x = 0; x < w; ++x) dst[x] = Mask->GetPixel(x, y) != 0 ? 255 : 0;
    }
    if (full)
      for (int32_t x = 0; x < w; ++x)
        if (dst[x] != 255) {
          full = false;
          break;
        }
  }
  alpha->FFull = full ? 1 : 0;
  Bitmap->DoChange();
}

void DrawFrameOnCanvas(TPXBitmap* Canvas, TPXBitmap* Frame, int32_t X, int32_t Y) {
  if (!Canvas || !Frame || Canvas->IsEmpty() || Frame->IsEmpty() || Canvas->PixelFormat() != px24RGB) return;
  std::unique_ptr<TPXBitmap> converted;
  TPXBitmap* src = Bitmap24RGB(Frame, converted);
  TPXBitmap* srcAlpha = src->PeekAlphaChannel();
  TPXBitmap* dstAlpha = Canvas->GetAlphaChannel();
  const int64_t x0 = std::max<int64_t>(0, X), y0 = std::max<int64_t>(0, Y);
  const int64_t x1 = std::min<int64_t>(Canvas->Width(), int64_t{X} + src->Width());
  const int64_t y1 = std::min<int64_t>(Canvas->Height(), int64_t{Y} + src->Height());
  for (int64_t y = y0; y < y1; ++y) {
    const auto sy = static_cast<int32_t>(y - Y);
    const auto* s = reinterpret_cast<const TRGB*>(src->Scanline(sy));
    const uint8_t* sa = srcAlpha ? srcAlpha->Scanline(sy) : nullptr;
    auto* d = reinterpret_cast<TRGB*>(Canvas->Scanline(static_cast<int32_t>(y)));
    uint8_t* da = dstAlpha ? dstAlpha->Scanline(static_cast<int32_t>(y)) : nullptr;
    if (!s || !d) continue;
    for (int64_t x = x0; x < x1; ++x) {
      const auto sx = static_cast<size_t>(x - X);
      const uint32_t a = sa ? sa[sx] : 255;
      TRGB& c = d[x];
      const TRGB& f = s[sx];
      if (a == 255) {
        c = f;
      } else if (a != 0) {
        c.r = static_cast<uint8_t>((f.r * a + c.r * (255 - a) + 127) / 255);
        c.g = static_cast<uint8_t>((f.g * a + c.g * (255 - a) + 127) / 255);
        c.b = static_cast<uint8_t>((f.b * a + c.b * (255 - a) + 127) / 255);
      }
      if (da) da[x] = static_cast<uint8_t>(a + (da[x] * (255 - a) + 127) / 255);
    }
  }
  if (dstAlpha) dstAlpha->FFull = 0;
  Canvas->DoChange();
}

// ---------------------------------------------------------------------------------------------
// JPEG save markers

namespace {

uint32_t BigEndian(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

void PutBigEndian(uint8_t* p, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    p[i] = static_cast<uint8_t>(v);
    v >>= 8;
  }
}

// First APP1 marker whose data passes Test; -1 when none.
template <class F>
int32_t FirstApp1(const TPXMarkerList& Markers, F Test) {
  for (int32_t i = 0; i < Markers.GetCount(); ++i)
    if (Markers.GetMarkerType(i) == PX_JPEG_APP1 && Test(Markers.GetMarkerData(i), Markers.GetMarkerLength(i)))
      return i;
  return -1;
}

}  // namespace

bool SetPhotoshopResolution(TPXMarkerList& Markers, int32_t DpiX, int32_t DpiY) {
  const int32_t index = Markers.IndexOfType(PX_JPEG_APP13);
  if (index < 0) return false;
  uint8_t* data = Markers.GetMarkerData(index);
  const int64_t length = Markers.GetMarkerLength(index);
  if (!data || length <= 0) return false;
  static constexpr uint8_t kTag[6] = {'8', 'B', 'I', 'M', 0x03, 0xED};
  const uint8_t* begin = data;
  const uint8_t* end = data + length;
  const uint8_t* hit = std::search(begin, end, kTag, kTag + 6);
  if (hit == end) return false;
  int64_t p = (hit - begin) + 6;
  if (p + 2 > length) return false;
  const int64_t nameLength = BigEndian(data + p, 2);
  p += 2 + nameLength;
  if (p + 4 > length) return false;
  const uint32_t size = BigEndian(data + p, 4);
  p += 4;
  if (size < 16 || p + 16 > length) return false;
  // 16.16 fixed point resolution, then unit and width unit 1 (inches, inches).
  const auto fixed = [](int32_t dpi) { return static_cast<uint32_t>(std::clamp(dpi, 0, 65535)) << 16; };
  uint8_t* out = data + p;
  PutBigEndian(out, fixed(DpiX), 4);
  PutBigEndian(out + 4, 1, 2);
  PutBigEndian(out + 6, 1, 2);
  PutBigEndian(out + 8, fixed(DpiY), 4);
  PutBigEndian(out + 12, 1, 2);
  PutBigEndian(out + 14, 1, 2);
  return true;
}

void PrepareJpegSaveMarkers(TIOParams* Params) {
  if (!Params) return;
  TPXMarkerList& markers = Params->JPEG_Markers;
  SetPhotoshopResolution(markers, Params->DpiX, Params->DpiY);

  // IPTC the user changed (or IPTC without any marker read) goes into the first APP13.
  if (Params->IPTC_Info.UserChanged() || (Params->IPTC_Info.GetCount() > 0 && markers.GetCount() == 0)) {
    std::vector<uint8_t> block;
    Params->IPTC_Info.SaveToBuffer(block, true);
    const int32_t app13 = markers.IndexOfType(PX_JPEG_APP13);
    const auto size = static_cast<int64_t>(block.size());
    if (block.empty() || size > PXMaxMarkerDataLength) {
      // No datasets, or more than a segment can carry: the stale block must not stay.
      if (app13 >= 0) markers.DeleteMarker(app13);
    } else if (app13 >= 0) {
      markers.SetMarker(app13, PX_JPEG_APP13, block.data(), static_cast<int32_t>(size));
    } else {
      markers.AddMarker(PX_JPEG_APP13, block.data(), static_cast<int32_t>(size));
    }
  }

  // EXIF: the block rebuilt from the parameters replaces the one read. A block one marker cannot
  // carry (a large thumbnail) is built again without its thumbnail; still too large, it is left out.
  if (Params->EXIF_HasEXIFData) {
    std::vector<uint8_t> block;
    BuildExifBlock(Params, block, true);
    if (block.size() > static_cast<size_t>(PXMaxMarkerDataLength) && Params->EXIF_Thumbnail()) {
      std::unique_ptr<TPXBitmap> thumb = Params->TakeExifThumbnail();
      BuildExifBlock(Params, block, true);
      Params->SetExifThumbnail(std::move(thumb));
    }
    const int32_t old = FirstApp1(markers, [](const uint8_t* d, int32_t n) { return IsExifMarkerData(d, n); });
    if (old >= 0) markers.DeleteMarker(old);
    if (!block.empty() && block.size() <= static_cast<size_t>(PXMaxMarkerDataLength))
      markers.AddMarker(PX_JPEG_APP1, block.data(), static_cast<int32_t>(block.size()));
  }

  // XMP: the packet of the parameters replaces the one read.
  const int32_t xmp = FirstApp1(markers, [](const uint8_t* d, int32_t n) { return FindXmpPacket(d, n) != nullptr; });
  if (xmp >= 0) markers.DeleteMarker(xmp);
  if (!Params->XMP_Info.empty()) {
    std::vector<uint8_t> data;
    BuildXmpMarker(Params, data);
    if (data.size() <= static_cast<size_t>(PXMaxMarkerDataLength))
      markers.AddMarker(PX_JPEG_APP1, data.data(), static_cast<int32_t>(data.size()));
  }

  // The library's own annotations.
  const int32_t annot = FirstApp1(markers, [](const uint8_t* d, int32_t n) {
    bool isVector = false;
    return TPXPixoranAnnot::CheckMagic(d, n, isVector);
  });
  if (annot >= 0) markers.DeleteMarker(annot);
  if (!Params->PixoranAnnot.IsEmpty()) {
    std::vector<uint8_t> data;
    Params->PixoranAnnot.SaveToBuffer(data);
    if (!data.empty() && data.size() <= static_cast<size_t>(PXMaxMarkerDataLength))
      markers.AddMarker(PX_JPEG_APP1, data.data(), static_cast<int32_t>(data.size()));
  }
}

// ---------------------------------------------------------------------------------------------
// Icons

int32_t IcoSizeCount(const TIOParams* Params) {
  int32_t n = 0;
  while (n < static_cast<int32_t>(Params->ICO_Sizes.size()) && Params->ICO_Sizes[n].Width > 0) ++n;
  return n;
}

// ---------------------------------------------------------------------------------------------
// Load and save entries

TPXBitmap* Bitmap24RGB(TPXBitmap* Bitmap, std::unique_ptr<TPXBitmap>& Copy) {
  if (Bitmap->PixelFormat() == px24RGB) return Bitmap;
  Copy = TPXBitmap::CreateCopy(Bitmap);
  Copy->SetPixelFormat(px24RGB);
  return Copy.get();
}

std::unique_ptr<TPXBitmap> ScaledBitmap(TPXBitmap* Bitmap, int32_t Width, int32_t Height, bool Resample) {
  std::unique_ptr<TPXBitmap> result;
  if (Resample) {
    result = TPXBitmap::CreateAllocated(Width, Height, px24RGB);
    const auto filter = static_cast<TResampleFilter>(GlobalSettingsInstance()->FDefaultResampleFilter);
    ResampleBitmap(Bitmap, result.get(), nullptr, filter, TPXProgressEvent(), nullptr, nullptr);
  } else {
    result = TPXBitmap::CreateAllocated(Width, Height, Bitmap->PixelFormat());
    StretchNearest(Bitmap, result.get(), nullptr, TPXProgressEvent());
  }
  return result;
}

TPXBitmap* PluginWriteBitmap(TPXBitmap* Bitmap, std::unique_ptr<TPXBitmap>& Converted) {
  if (Bitmap->IsEmpty() || Bitmap->PixelFormat() == px1g) return Bitmap;
  return Bitmap24RGB(Bitmap, Converted);
}

std::unique_ptr<TPXWideFileStream> OpenFileForLoad(TPixoranIO* IO, const std::string& FileName) {
  try {
    return std::make_unique<TPXWideFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
  } catch (...) {
    IO->DoFinishWork();
    throw;
  }
}
