// Camera raw files through LibRaw: the developed picture with LibRaw's defaults (camera white
// balance off, sRGB, gamma 2.222 / 4.5, brightness 1) as 48bppRGB, whose high bytes equal
// LibRaw's own 8-bit output, and the embedded JPEG or bitmap thumbnail as thumbnail and preview.
#include <libraw/libraw.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/jpegfilt.h"
#include "codecs/pxcodecs_impl.h"
#include "codecs/pxwic.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

using namespace pxcodecs_detail;

namespace {

// Raw files larger than this are not read into memory.
constexpr int64_t kMaxRawFile = int64_t{1} << 31;
// LibRaw's own allocation ceiling for the raw data.
constexpr unsigned kMaxRawMemoryMB = 1024;

std::unique_ptr<LibRaw> NewLibRaw() {
  auto r = std::make_unique<LibRaw>(0);
  r->imgdata.params.max_raw_memory_mb = kMaxRawMemoryMB;
  return r;
}

// The rest of the stream, or nothing when it is empty or too large.
std::shared_ptr<std::vector<uint8_t>> ReadRest(TStream* Stream) {
  const int64_t avail = Stream->Size() - Stream->Position();
  if (avail <= 16 || avail > kMaxRawFile) return nullptr;
  auto data = std::make_shared<std::vector<uint8_t>>(size_t(avail));
  if (ReadFully(Stream, data->data(), avail) != avail) return nullptr;
  return data;
}

// A picture decoded by our JPEG codec, as a source.
std::unique_ptr<IPXWICBitmapSource> JpegSource(const uint8_t* Data, size_t Size) {
  TMemoryStream m;
  m.WriteBuffer(Data, int64_t(Size));
  m.Seek(0, soBeginning);
  TPXBitmap bmp;
  TIOParams params(nullptr);
  TPXAbortFlag aborting{false};
  TPXProgressRecord progress;
  progress.Aborting = &aborting;
  DecodeJpegStream(&m, nullptr, &bmp, &params, progress, false, false, false, false, false, false, -1, false);
  if (aborting || bmp.IsEmpty()) return nullptr;
  if (bmp.PixelFormat() != px24RGB) bmp.SetPixelFormat(px24RGB);
  auto src = std::make_unique<TPXWICMemorySource>(uint32_t(bmp.Width()), uint32_t(bmp.Height()), wpf24bppBGR);
  for (int32_t y = 0; y < bmp.Height(); ++y) std::memcpy(src->Row(uint32_t(y)), bmp.Scanline(y), size_t(bmp.Width()) * 3);
  return src;
}

class TLibRawFrame : public IPXWICBitmapFrameDecode {
 public:
  explicit TLibRawFrame(std::shared_ptr<std::vector<uint8_t>> Data) : FData(std::move(Data)) {}

  TPXWICResult GetSize(uint32_t& W, uint32_t& H) override {
    const TPXWICResult r = Develop();
    if (r < 0) return r;
    return FPicture->GetSize(W, H);
  }
  TPXWICResult GetPixelFormat(TPXWICPixelFormat& F) override {
    F = wpf48bppRGB;
    return wicOK;
  }
  TPXWICResult GetResolution(double&, double&) override { return wicNotImpl; }
  TPXWICResult CopyPalette(std::vector<uint32_t>&) override { return wicPaletteUnavailable; }
  TPXWICResult CopyPixels(uint32_t Left, uint32_t Top, uint32_t Width, uint32_t Count, uint32_t Stride,
                          uint64_t BufferSize, uint8_t* Buffer) override {
    const TPXWICResult r = Develop();
    if (r < 0) return r;
    return FPicture->CopyPixels(Left, Top, Width, Count, Stride, BufferSize, Buffer);
  }
  TPXWICResult GetThumbnail(std::unique_ptr<IPXWICBitmapSource>& Thumbnail) override;

 private:
  TPXWICResult Develop();

  std::shared_ptr<std::vector<uint8_t>> FData;
  std::unique_ptr<TPXWICMemorySource> FPicture;
  bool FFailed = false;
};

TPXWICResult TLibRawFrame::Develop() {
  if (FPicture) return wicOK;
  if (FFailed) return wicBadImage;
  FFailed = true;
  std::unique_ptr<LibRaw> raw = NewLibRaw();
  raw->imgdata.params.output_bps = 16;
  if (raw->open_buffer(FData->data(), FData->size()) != LIBRAW_SUCCESS) return wicBadImage;
  if (raw->unpack() != LIBRAW_SUCCESS) return wicBadImage;
  if (raw->dcraw_process() != LIBRAW_SUCCESS) return wicBadImage;
  int err = 0;
  libraw_processed_image_t* img = raw->dcraw_make_mem_image(&err);
  if (!img) return wicBadImage;
  const std::unique_ptr<libraw_processed_image_t, void (*)(libraw_processed_image_t*)> owned(
      img, [](libraw_processed_image_t* p) { LibRaw::dcraw_clear_mem(p); });
  if (img->type != LIBRAW_IMAGE_BITMAP || img->colors != 3 || img->bits != 16 || img->width == 0 ||
      img->height == 0 || uint64_t(img->data_size) < uint64_t(img->width) * img->height * 6)
    return wicBadImage;
  try {
    FPicture = std::make_unique<TPXWICMemorySource>(img->width, img->height, wpf48bppRGB);
  } catch (...) {
    return wicOutOfMemory;
  }
  const size_t rowBytes = size_t(img->width) * 6;
  for (uint32_t y = 0; y < img->height; ++y) std::memcpy(FPicture->Row(y), img->data + rowBytes * y, rowBytes);
  FFailed = false;
  return wicOK;
}

TPXWICResult TLibRawFrame::GetThumbnail(std::unique_ptr<IPXWICBitmapSource>& Thumbnail) {
  std::unique_ptr<LibRaw> raw = NewLibRaw();
  if (raw->open_buffer(FData->data(), FData->size()) != LIBRAW_SUCCESS) return wicCodecNoThumbnail;
  if (raw->unpack_thumb() != LIBRAW_SUCCESS) return wicCodecNoThumbnail;
  const libraw_thumbnail_t& t = raw->imgdata.thumbnail;
  if (!t.thumb || t.tlength == 0) return wicCodecNoThumbnail;
  if (t.tformat == LIBRAW_THUMBNAIL_JPEG) {
    Thumbnail = JpegSource(reinterpret_cast<const uint8_t*>(t.thumb), t.tlength);
  } else if (t.tformat == LIBRAW_THUMBNAIL_BITMAP && t.tcolors == 3 && t.twidth > 0 && t.theight > 0 &&
             uint64_t(t.tlength) >= uint64_t(t.twidth) * t.theight * 3) {
    auto src = std::make_unique<TPXWICMemorySource>(t.twidth, t.theight, wpf24bppRGB);
    const size_t rowBytes = size_t(t.twidth) * 3;
    for (uint32_t y = 0; y < t.theight; ++y) std::memcpy(src->Row(y), t.thumb + rowBytes * y, rowBytes);
    Thumbnail = std::move(src);
  }
  return Thumbnail ? wicOK : wicCodecNoThumbnail;
}

class TLibRawDecoder : public IPXWICBitmapDecoder {
 public:
  explicit TLibRawDecoder(std::shared_ptr<std::vector<uint8_t>> Data) : FData(std::move(Data)) {}
  TPXWICResult GetFrameCount(uint32_t& Count) override {
    Count = 1;
    return wicOK;
  }
  TPXWICResult GetFrame(uint32_t Index, std::unique_ptr<IPXWICBitmapFrameDecode>& Frame) override {
    if (Index != 0) return wicInvalidArg;
    Frame = std::make_unique<TLibRawFrame>(FData);
    return wicOK;
  }
  // The embedded picture, the largest LibRaw finds.
  TPXWICResult GetPreview(std::unique_ptr<IPXWICBitmapSource>& Preview) override {
    TLibRawFrame frame(FData);
    return frame.GetThumbnail(Preview) < 0 ? wicNotImpl : wicOK;
  }

 private:
  std::shared_ptr<std::vector<uint8_t>> FData;
};

class TLibRawProvider : public TPXWICProvider {
 public:
  TPXWICCodecDescription DecoderInfo() const override {
    return {"LibRaw Camera Raw Decoder", "{5B6E2A4C-7C1D-4E38-9B1A-2F0C6D8E4A71}",
            ".dng,.crw,.cr2,.nef,.nrw,.raf,.orf,.rw2,.rwl,.pef,.arw,.sr2,.srf,.srw,.kdc,.dcr,.mrw,.3fr,.erf,.mef,.mos,"
            ".iiq,.x3f,.raw",
            LibRaw::version(), "LibRaw"};
  }
  bool Probe(TStream* Stream) override {
    std::shared_ptr<std::vector<uint8_t>> data = ReadRest(Stream);
    if (!data) return false;
    // One parser per thread: building LibRaw's tables costs more than most probes.
    thread_local std::unique_ptr<LibRaw> raw = NewLibRaw();
    const bool ok = raw->open_buffer(data->data(), data->size()) == LIBRAW_SUCCESS;
    raw->recycle();
    return ok;
  }
  TPXWICResult CreateDecoder(TStream* Stream, std::unique_ptr<IPXWICBitmapDecoder>& Decoder) override {
    std::shared_ptr<std::vector<uint8_t>> data = ReadRest(Stream);
    if (!data) return wicBadImage;
    Decoder = std::make_unique<TLibRawDecoder>(std::move(data));
    return wicOK;
  }
};

}  // namespace

std::shared_ptr<TPXWICProvider> CreateLibRawProvider() { return std::make_shared<TLibRawProvider>(); }
