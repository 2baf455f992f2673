// WebP through libwebp: still and animated files (each frame as stored, in its own size), with
// alpha as 32bppBGRA and without as 24bppBGR, the EXIF chunk; the encoder writes lossy files at
// "ImageQuality" (0..1) or lossless ones with "Lossless".
#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/pxcodecs_impl.h"
#include "codecs/pxwic.h"
#include "platform/rtl/Classes.h"

using namespace pxcodecs_detail;

namespace {

// The RIFF header's size plus 8, at most what the stream holds; 0 when it is no WebP file.
int64_t WebpFileSize(TStream* Stream) {
  uint8_t h[12];
  const int64_t avail = Stream->Size() - Stream->Position();
  if (avail < 20 || Stream->Read(h, 12) != 12) return 0;
  if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WEBP", 4) != 0) return 0;
  return std::min<int64_t>(avail, int64_t(GetLE32(h + 4)) + 8);
}

struct TWebpData {
  std::vector<uint8_t> Bytes;
  WebPDemuxer* Demux = nullptr;
  ~TWebpData() { WebPDemuxDelete(Demux); }
};

class TWebpFrame : public IPXWICBitmapFrameDecode {
 public:
  TWebpFrame(std::shared_ptr<TWebpData> Data, const uint8_t* Bytes, size_t Size) : FData(std::move(Data)) {
    WebPBitstreamFeatures f;
    if (WebPGetFeatures(Bytes, Size, &f) != VP8_STATUS_OK || f.width <= 0 || f.height <= 0)
      throw EPXException("WIC Failure");
    const TPXWICPixelFormat fmt = f.has_alpha ? wpf32bppBGRA : wpf24bppBGR;
    FPicture = std::make_unique<TPXWICMemorySource>(uint32_t(f.width), uint32_t(f.height), fmt);
    const size_t total = size_t(FPicture->Stride()) * size_t(f.height);
    const int stride = int(FPicture->Stride());
    const uint8_t* ok = f.has_alpha ? WebPDecodeBGRAInto(Bytes, Size, FPicture->Row(0), total, stride)
                                    : WebPDecodeBGRInto(Bytes, Size, FPicture->Row(0), total, stride);
    if (!ok) throw EPXException("WIC Failure");
  }
  TPXWICResult GetSize(uint32_t& W, uint32_t& H) override { return FPicture->GetSize(W, H); }
  TPXWICResult GetPixelFormat(TPXWICPixelFormat& F) override { return FPicture->GetPixelFormat(F); }
  TPXWICResult GetResolution(double&, double&) override { return wicNotImpl; }
  TPXWICResult CopyPalette(std::vector<uint32_t>&) override { return wicPaletteUnavailable; }
  TPXWICResult CopyPixels(uint32_t L, uint32_t T, uint32_t W, uint32_t C, uint32_t S, uint64_t B, uint8_t* P) override {
    return FPicture->CopyPixels(L, T, W, C, S, B, P);
  }
  TPXWICResult GetExifTiff(std::vector<uint8_t>& Tiff) override {
    WebPChunkIterator it;
    if (!FData->Demux || !WebPDemuxGetChunk(FData->Demux, "EXIF", 1, &it)) return wicFalse;
    const uint8_t* p = it.chunk.bytes;
    size_t n = it.chunk.size;
    if (n >= 6 && std::memcmp(p, "Exif\0\0", 6) == 0) p += 6, n -= 6;
    Tiff.assign(p, p + n);
    WebPDemuxReleaseChunkIterator(&it);
    return wicOK;
  }

 private:
  std::shared_ptr<TWebpData> FData;
  std::unique_ptr<TPXWICMemorySource> FPicture;
};

class TWebpDecoder : public IPXWICBitmapDecoder {
 public:
  explicit TWebpDecoder(std::shared_ptr<TWebpData> Data) : FData(std::move(Data)) {}
  TPXWICResult GetFrameCount(uint32_t& Count) override {
    Count = std::max<uint32_t>(1, WebPDemuxGetI(FData->Demux, WEBP_FF_FRAME_COUNT));
    return wicOK;
  }
  TPXWICResult GetFrame(uint32_t Index, std::unique_ptr<IPXWICBitmapFrameDecode>& Frame) override {
    const uint32_t n = WebPDemuxGetI(FData->Demux, WEBP_FF_FRAME_COUNT);
    if (n <= 1 && Index == 0) {
      Frame = std::make_unique<TWebpFrame>(FData, FData->Bytes.data(), FData->Bytes.size());
      return wicOK;
    }
    WebPIterator it;
    if (Index >= n || !WebPDemuxGetFrame(FData->Demux, int(Index) + 1, &it)) return wicInvalidArg;
    const uint8_t* bytes = it.fragment.bytes;
    const size_t size = it.fragment.size;
    WebPDemuxReleaseIterator(&it);
    Frame = std::make_unique<TWebpFrame>(FData, bytes, size);
    return wicOK;
  }

 private:
  std::shared_ptr<TWebpData> FData;
};

class TWebpFrameEncode : public IPXWICBitmapFrameEncode {
 public:
  explicit TWebpFrameEncode(std::vector<uint8_t>& Out) : FOut(Out) {}
  TPXWICResult Initialize(const TPXWICPropertyBag& O) override {
    if (const TPXWICOption* q = FindWICOption(O, "ImageQuality")) FQuality = float(std::clamp(q->Value, 0.0, 1.0) * 100);
    if (const TPXWICOption* l = FindWICOption(O, "Lossless")) FLossless = l->Value != 0;
    return wicOK;
  }
  TPXWICResult SetSize(uint32_t W, uint32_t H) override {
    if (W == 0 || H == 0 || W > WEBP_MAX_DIMENSION || H > WEBP_MAX_DIMENSION) return wicInvalidArg;
    FWidth = W;
    FHeight = H;
    return wicOK;
  }
  TPXWICResult SetResolution(double, double) override { return wicOK; }
  TPXWICResult SetPixelFormat(TPXWICPixelFormat& F) override {
    F = (F == wpf24bppBGR || F == wpf8bppGray || F == wpfBlackWhite || F == wpf16bppGray || F == wpf48bppRGB ||
         F == wpf32bppCMYK)
            ? wpf24bppBGR
            : wpf32bppBGRA;
    FFormat = F;
    FStride = size_t(WICRowBytes(F, FWidth));
    if (FStride == 0) return wicInvalidArg;
    FRows.clear();
    FRows.reserve(FStride * FHeight);
    return wicOK;
  }
  TPXWICResult WritePixels(uint32_t Lines, uint32_t Stride, uint64_t Size, const uint8_t* P) override {
    if (FStride == 0 || Stride < FStride || uint64_t(Stride) * Lines > Size + Stride - FStride) return wicInvalidArg;
    for (uint32_t i = 0; i < Lines && FRows.size() < FStride * FHeight; ++i)
      FRows.insert(FRows.end(), P + size_t(Stride) * i, P + size_t(Stride) * i + FStride);
    return wicOK;
  }
  TPXWICResult Commit() override {
    if (FStride == 0 || FRows.size() != FStride * FHeight) return wicFail;
    WebPConfig config;
    if (!WebPConfigInit(&config)) return wicFail;
    config.quality = FQuality;
    config.lossless = FLossless ? 1 : 0;
    WebPPicture pic;
    if (!WebPPictureInit(&pic)) return wicFail;
    pic.width = int(FWidth);
    pic.height = int(FHeight);
    pic.use_argb = FLossless ? 1 : 0;
    const bool imported = FFormat == wpf32bppBGRA ? WebPPictureImportBGRA(&pic, FRows.data(), int(FStride))
                                                  : WebPPictureImportBGR(&pic, FRows.data(), int(FStride));
    if (!imported) {
      WebPPictureFree(&pic);
      return wicOutOfMemory;
    }
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    pic.writer = WebPMemoryWrite;
    pic.custom_ptr = &writer;
    const bool ok = WebPEncode(&config, &pic);
    WebPPictureFree(&pic);
    if (ok) FOut.assign(writer.mem, writer.mem + writer.size);
    WebPMemoryWriterClear(&writer);
    return ok ? wicOK : wicFail;
  }

 private:
  std::vector<uint8_t>& FOut;
  uint32_t FWidth = 0, FHeight = 0;
  TPXWICPixelFormat FFormat = wpf24bppBGR;
  size_t FStride = 0;
  std::vector<uint8_t> FRows;
  float FQuality = 90;
  bool FLossless = false;
};

class TWebpEncoder : public IPXWICBitmapEncoder {
 public:
  explicit TWebpEncoder(TStream* Stream) : FStream(Stream) {}
  TPXWICResult CreateNewFrame(std::unique_ptr<IPXWICBitmapFrameEncode>& Frame, TPXWICPropertyBag&) override {
    if (FFrames > 0) return wicFail;  // one picture per file
    ++FFrames;
    Frame = std::make_unique<TWebpFrameEncode>(FOut);
    return wicOK;
  }
  TPXWICResult Commit() override {
    if (FOut.empty()) return wicFail;
    FStream->WriteBuffer(FOut.data(), int64_t(FOut.size()));
    return wicOK;
  }

 private:
  TStream* FStream;
  int32_t FFrames = 0;
  std::vector<uint8_t> FOut;
};

class TWebpProvider : public TPXWICProvider {
 public:
  TPXWICCodecDescription DecoderInfo() const override {
    const int v = WebPGetDecoderVersion();
    return {"WebP Codec", "{7693E886-51C9-4070-8419-A6F4C5B0F1D2}", ".webp",
            std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF),
            "The WebM Project"};
  }
  bool Probe(TStream* Stream) override { return WebpFileSize(Stream) > 0; }
  TPXWICResult CreateDecoder(TStream* Stream, std::unique_ptr<IPXWICBitmapDecoder>& Decoder) override {
    const int64_t pos = Stream->Position();
    const int64_t size = WebpFileSize(Stream);
    if (size <= 0) return wicBadImage;
    Stream->Seek(pos, soBeginning);
    auto data = std::make_shared<TWebpData>();
    data->Bytes.resize(size_t(size));
    if (ReadFully(Stream, data->Bytes.data(), size) != size) return wicBadImage;
    const WebPData wd{data->Bytes.data(), data->Bytes.size()};
    data->Demux = WebPDemux(&wd);
    if (!data->Demux) return wicBadImage;
    Decoder = std::make_unique<TWebpDecoder>(std::move(data));
    return wicOK;
  }
  TPXWICContainer EncoderContainer() const override { return TPXWICContainer::wcWebp; }
  TPXWICResult CreateEncoder(TStream* Stream, std::unique_ptr<IPXWICBitmapEncoder>& Encoder) override {
    Encoder = std::make_unique<TWebpEncoder>(Stream);
    return wicOK;
  }
};

}  // namespace

std::shared_ptr<TPXWICProvider> CreateWebpProvider() { return std::make_shared<TWebpProvider>(); }
