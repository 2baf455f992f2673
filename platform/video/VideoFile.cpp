#include "platform/video/VideoFile.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

#include "platform/rtl/Classes.h"

namespace {

constexpr int kIOBufferSize = 64 * 1024;
// Containers that count no frames are scanned packet by packet for their duration up to this
// size; beyond it the demuxer's estimate is taken.
constexpr int64_t kScanLimit = int64_t(256) << 20;
// A forward step up to this many frames decodes on instead of seeking.
constexpr int64_t kForwardDecode = 48;
constexpr int64_t kUnitsPerSecond = 10000000;  // 100-ns units

int ReadPacket(void* Opaque, uint8_t* Buffer, int Size) {
  auto* stream = static_cast<TStream*>(Opaque);
  try {
    const int32_t n = stream->Read(Buffer, Size);
    return n > 0 ? n : AVERROR_EOF;
  } catch (...) {
    return AVERROR(EIO);
  }
}

int64_t SeekStream(void* Opaque, int64_t Offset, int Whence) {
  auto* stream = static_cast<TStream*>(Opaque);
  try {
    switch (Whence & ~AVSEEK_FORCE) {
      case AVSEEK_SIZE: return stream->Size();
      case SEEK_SET: return stream->Seek(Offset, soBeginning);
      case SEEK_CUR: return stream->Seek(Offset, soCurrent);
      case SEEK_END: return stream->Seek(Offset, soEnd);
      default: return -1;
    }
  } catch (...) {
    return -1;
  }
}

// No file a container names is ever opened (playlists, references, segment lists).
int RefuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

// Frames over the side limit are refused before their memory is taken.
int GetFrameBuffer(AVCodecContext* Context, AVFrame* Frame, int Flags) {
  if (Frame->width > PXVideoMaxSide || Frame->height > PXVideoMaxSide) return AVERROR(EINVAL);
  return avcodec_default_get_buffer2(Context, Frame, Flags);
}

bool ValidRational(AVRational R) { return R.num > 0 && R.den > 0; }

}  // namespace

namespace {
std::atomic<int32_t> gUsers{0};
}  // namespace

void AVIFileInit() {
  ++gUsers;
  av_log_set_level(AV_LOG_QUIET);
}
void AVIFileExit() { --gUsers; }
int32_t AVIFileUsers() { return gUsers.load(); }

int64_t VideoDibRowBytes(int32_t Width, int32_t BitCount) {
  return ((static_cast<int64_t>(Width) * BitCount + 31) / 32) * 4;
}

struct TVideoFile::TState {
  std::unique_ptr<TStream> Stream;
  AVIOContext* IO = nullptr;
  AVFormatContext* Format = nullptr;
  AVCodecContext* Decoder = nullptr;
  AVPacket* Packet = nullptr;
  AVFrame* Frame = nullptr;     // the frame last decoded
  AVFrame* Previous = nullptr;  // the one before it in the current pass
  SwsContext* Scaler = nullptr;
  int StreamIndex = -1;
  AVRational TimeBase{1, 1};
  int64_t FirstTime = AV_NOPTS_VALUE;  // the first frame's time, stream units
  double FrameTime = 0;                // one frame in stream units (0 unknown)
  // Where the decoder stands: the number of Frame (valid when HaveFrame), the last number given
  // out in this pass (for frames without time), the end of the stream met.
  bool HaveFrame = false;
  int64_t FrameNumber = -1;
  bool HavePrevious = false;
  int64_t PreviousNumber = -1;
  bool NumberKnown = false;
  int64_t LastNumber = -1;
  bool Draining = false;
  bool Ended = false;

  ~TState() {
    CloseDemuxer();
    sws_freeContext(Scaler);
    av_frame_free(&Frame);
    av_frame_free(&Previous);
    av_packet_free(&Packet);
  }

  void CloseDemuxer() {
    avcodec_free_context(&Decoder);
    avformat_close_input(&Format);
    if (IO) {
      av_freep(&IO->buffer);
      avio_context_free(&IO);
    }
  }

  bool OpenDemuxer(std::string& Error) {
    CloseDemuxer();
    if (Stream->Seek(0, soBeginning) != 0) {
      Error = "the stream cannot be read from its start";
      return false;
    }
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIOBufferSize));
    if (!buffer) return (Error = "out of memory", false);
    IO = avio_alloc_context(buffer, kIOBufferSize, 0, Stream.get(), &ReadPacket, nullptr, &SeekStream);
    if (!IO) {
      av_free(buffer);
      return (Error = "out of memory", false);
    }
    Format = avformat_alloc_context();
    if (!Format) return (Error = "out of memory", false);
    Format->pb = IO;
    Format->flags |= AVFMT_FLAG_CUSTOM_IO;
    Format->io_open = &RefuseOpen;
    if (avformat_open_input(&Format, nullptr, nullptr, nullptr) < 0) {
      Format = nullptr;  // freed by FFmpeg
      return (Error = "no video container", false);
    }
    if (avformat_find_stream_info(Format, nullptr) < 0) return (Error = "unreadable container", false);
    StreamIndex = -1;
    for (unsigned i = 0; i < Format->nb_streams; ++i) {
      const AVStream* st = Format->streams[i];
      if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
        StreamIndex = static_cast<int>(i);
        break;
      }
    }
    if (StreamIndex < 0) return (Error = "no video stream", false);
    for (unsigned i = 0; i < Format->nb_streams; ++i)
      if (static_cast<int>(i) != StreamIndex) Format->streams[i]->discard = AVDISCARD_ALL;
    TimeBase = Format->streams[StreamIndex]->time_base;
    if (!ValidRational(TimeBase)) return (Error = "no time base", false);
    return true;
  }

  bool OpenDecoder(std::string& Error) {
    const AVCodecParameters* par = Format->streams[StreamIndex]->codecpar;
    if (par->width <= 0 || par->height <= 0 || par->width > PXVideoMaxSide || par->height > PXVideoMaxSide)
      return (Error = "frame size out of range", false);
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return (Error = "no decoder for the video", false);
    Decoder = avcodec_alloc_context3(codec);
    if (!Decoder || avcodec_parameters_to_context(Decoder, par) < 0) return (Error = "out of memory", false);
    Decoder->get_buffer2 = &GetFrameBuffer;
    Decoder->thread_count = 0;
    Decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(Decoder, codec, nullptr) < 0) return (Error = "the decoder refused the video", false);
    ResetPass(true);
    return true;
  }

  // After a seek: nothing decoded yet in this pass. AtStart: the next frame is the first.
  void ResetPass(bool AtStart) {
    HaveFrame = HavePrevious = false;
    NumberKnown = AtStart;
    LastNumber = -1;
    Draining = Ended = false;
  }

  int64_t NumberOf(const AVFrame* F) {
    const int64_t t = F->best_effort_timestamp;
    if (t != AV_NOPTS_VALUE && FirstTime != AV_NOPTS_VALUE && FrameTime > 0) {
      const double n = std::nearbyint(static_cast<double>(t - FirstTime) / FrameTime);
      if (n >= 0 && n < 1e15) {
        int64_t number = static_cast<int64_t>(n);
        if (NumberKnown && number <= LastNumber) number = LastNumber + 1;  // repeated times
        NumberKnown = true;
        return LastNumber = number;
      }
    }
    if (!NumberKnown) return -1;
    return ++LastNumber;
  }
};

TVideoFile::TVideoFile(std::unique_ptr<TState> State) : FState(std::move(State)) {}
TVideoFile::~TVideoFile() = default;

std::unique_ptr<TVideoFile> TVideoFile::Open(std::unique_ptr<TStream> Stream, std::string* Error) {
  std::string error;
  std::unique_ptr<TVideoFile> result;
  if (Stream) {
    auto state = std::make_unique<TState>();
    state->Stream = std::move(Stream);
    state->Packet = av_packet_alloc();
    state->Frame = av_frame_alloc();
    state->Previous = av_frame_alloc();
    result.reset(new TVideoFile(std::move(state)));
    if (!result->FState->Packet || !result->FState->Frame || !result->FState->Previous) {
      error = "out of memory";
      result.reset();
    } else if (!result->Setup(error)) {
      result.reset();
    }
  } else {
    error = "no stream";
  }
  if (Error) *Error = error;
  return result;
}

bool TVideoFile::Setup(std::string& Error) {
  TState& s = *FState;
  av_log_set_level(AV_LOG_QUIET);
  if (!s.OpenDemuxer(Error)) return false;
  FFormatName = s.Format->iformat && s.Format->iformat->name ? s.Format->iformat->name : "";
  const AVStream* st = s.Format->streams[s.StreamIndex];
  AVRational rate = ValidRational(st->avg_frame_rate) ? st->avg_frame_rate : st->r_frame_rate;
  if (ValidRational(rate)) {
    int num = 0, den = 0;
    av_reduce(&num, &den, rate.num, rate.den, std::numeric_limits<int32_t>::max());
    if (num > 0 && den > 0) {
      FRate = num;
      FScale = den;
      FAvgTimePerFrame = av_rescale(kUnitsPerSecond, FScale, FRate);
      s.FrameTime = static_cast<double>(s.TimeBase.den) * FScale / (static_cast<double>(s.TimeBase.num) * FRate);
    }
  }
  FFrameCount = st->nb_frames > 0 ? st->nb_frames : 0;
  if (FFrameCount == 0) {
    // Containers that count no frames: the duration from the packets' times where the file is
    // small enough, else the demuxer's estimate. The demuxer is opened again afterwards.
    const int64_t size = s.Stream->Size();
    if (size >= 0 && size <= kScanLimit) {
      ScanDuration();
      if (!s.OpenDemuxer(Error)) return false;
    } else if (s.Format->duration > 0) {
      FDuration = av_rescale(s.Format->duration, kUnitsPerSecond, AV_TIME_BASE);
    }
  }
  if (!s.OpenDecoder(Error)) return false;
  // The first frame fixes the size and the time origin.
  int64_t number = 0;
  s.FirstTime = AV_NOPTS_VALUE;
  if (!NextFrame(number)) return (Error = "no frame could be decoded", false);
  s.FirstTime = s.Frame->best_effort_timestamp;
  s.FrameNumber = 0;
  s.LastNumber = 0;
  FWidth = s.Frame->width;
  FHeight = s.Frame->height;
  if (FWidth <= 0 || FHeight <= 0 || FWidth > PXVideoMaxSide || FHeight > PXVideoMaxSide)
    return (Error = "frame size out of range", false);
  if (s.FrameTime <= 0) {
    // No declared rate: the second frame tells the frame time.
    const int64_t measured = MeasureTimePerFrame();
    if (measured > 0) s.FrameTime = static_cast<double>(measured) * s.TimeBase.den / (kUnitsPerSecond * s.TimeBase.num);
  }
  if (FFrameCount > 0 && FAvgTimePerFrame > 0 && FFrameCount < std::numeric_limits<int64_t>::max() / FAvgTimePerFrame)
    FDuration = FFrameCount * FAvgTimePerFrame;
  return true;
}

bool TVideoFile::ScanDuration() {
  TState& s = *FState;
  int64_t first = AV_NOPTS_VALUE, end = AV_NOPTS_VALUE;
  while (av_read_frame(s.Format, s.Packet) >= 0) {
    if (s.Packet->stream_index == s.StreamIndex) {
      const int64_t t = s.Packet->dts != AV_NOPTS_VALUE ? s.Packet->dts : s.Packet->pts;
      if (t != AV_NOPTS_VALUE) {
        int64_t length = s.Packet->duration > 0 ? s.Packet->duration : static_cast<int64_t>(std::llround(s.FrameTime));
        if (first == AV_NOPTS_VALUE || t < first) first = t;
        if (end == AV_NOPTS_VALUE || t + length > end) end = t + length;
      }
    }
    av_packet_unref(s.Packet);
  }
  if (first == AV_NOPTS_VALUE || end <= first) return false;
  FDuration = av_rescale_q(end - first, s.TimeBase, AVRational{1, static_cast<int>(kUnitsPerSecond)});
  return FDuration > 0;
}

bool TVideoFile::NextFrame(int64_t& Number) {
  TState& s = *FState;
  for (;;) {
    if (s.Ended) return false;
    int ret = avcodec_receive_frame(s.Decoder, s.Frame);
    if (ret == 0) {
      Number = s.NumberOf(s.Frame);
      return true;
    }
    if (ret == AVERROR_EOF) {
      s.Ended = true;
      return false;
    }
    if (ret != AVERROR(EAGAIN)) return false;
    if (s.Draining) {
      s.Ended = true;
      return false;
    }
    ret = av_read_frame(s.Format, s.Packet);
    if (ret < 0) {
      s.Draining = true;
      avcodec_send_packet(s.Decoder, nullptr);
      continue;
    }
    if (s.Packet->stream_index == s.StreamIndex) {
      // A damaged packet is skipped; the next one may decode.
      avcodec_send_packet(s.Decoder, s.Packet);
    }
    av_packet_unref(s.Packet);
  }
}

bool TVideoFile::SeekBefore(int64_t Index, int64_t Backoff) {
  TState& s = *FState;
  const int64_t target = Index - Backoff;
  avcodec_flush_buffers(s.Decoder);
  if (target > 0 && s.FirstTime != AV_NOPTS_VALUE && s.FrameTime > 0) {
    const int64_t time = s.FirstTime + static_cast<int64_t>(std::floor(static_cast<double>(target) * s.FrameTime));
    if (av_seek_frame(s.Format, s.StreamIndex, time, AVSEEK_FLAG_BACKWARD) >= 0) {
      s.ResetPass(false);
      return true;
    }
  }
  // To the start: the demuxer's own seek, else a new demuxer and decoder.
  const int64_t start = s.FirstTime != AV_NOPTS_VALUE ? s.FirstTime : 0;
  if (av_seek_frame(s.Format, s.StreamIndex, start, AVSEEK_FLAG_BACKWARD) < 0 &&
      avformat_seek_file(s.Format, -1, std::numeric_limits<int64_t>::min(), 0, 0, 0) < 0) {
    std::string error;
    if (!s.OpenDemuxer(error) || !s.OpenDecoder(error)) return false;
  }
  s.ResetPass(true);
  return true;
}

bool TVideoFile::DecodeTo(int64_t Index) {
  TState& s = *FState;
  if (s.HaveFrame && s.FrameNumber == Index) return true;
  const bool forward = s.HaveFrame && s.FrameNumber < Index && Index - s.FrameNumber <= kForwardDecode && !s.Ended &&
                       !KeyFrameAfter(s.FrameNumber, Index);
  int64_t backoff = 0;
  bool fromStart = false;
  if (!forward) {
    if (!SeekBefore(Index, 0)) return false;
    fromStart = s.NumberKnown;
  }
  for (int attempt = 0;; ++attempt) {
    int64_t number = -1;
    bool found = false;
    bool overshoot = false;
    while (NextFrame(number)) {
      if (number < 0) {  // no time and no count since the seek: only the start can tell
        overshoot = true;
        break;
      }
      if (number == Index) {
        found = true;
        break;
      }
      if (number > Index) {
        if (s.HavePrevious) {
          // A gap in the times: the frame shown at Index is the one before.
          av_frame_unref(s.Frame);
          av_frame_move_ref(s.Frame, s.Previous);
          s.HavePrevious = false;
          s.FrameNumber = Index;
          s.HaveFrame = true;
          s.LastNumber = number;
          return true;
        }
        overshoot = true;
        break;
      }
      av_frame_unref(s.Previous);
      av_frame_move_ref(s.Previous, s.Frame);
      s.HavePrevious = true;
      s.PreviousNumber = number;
    }
    if (found) {
      s.HaveFrame = true;
      s.FrameNumber = Index;
      av_frame_unref(s.Previous);
      s.HavePrevious = false;
      return true;
    }
    s.HaveFrame = false;
    if (!overshoot || fromStart) return false;  // the end came first
    // The seek landed past the frame: further back, at last from the start.
    backoff = backoff == 0 ? 16 : backoff * 4;
    if (attempt >= 2 || backoff >= Index) {
      if (!SeekBefore(0, 0)) return false;
      fromStart = true;
    } else if (!SeekBefore(Index, backoff)) {
      return false;
    }
  }
}

// Whether decoding can start afresh past frame From and still reach frame To, so that a seek
// beats decoding the frames in between: every frame of an intra-only codec is such a start,
// else a key frame of the container's index after From.
bool TVideoFile::KeyFrameAfter(int64_t From, int64_t To) {
  TState& s = *FState;
  if (To - From <= 1) return false;
  const AVCodecDescriptor* codec = avcodec_descriptor_get(s.Decoder->codec_id);
  if (codec && (codec->props & AV_CODEC_PROP_INTRA_ONLY)) return true;
  if (s.FirstTime == AV_NOPTS_VALUE || s.FrameTime <= 0) return false;
  const auto timeOf = [&](int64_t Frame) {
    return s.FirstTime + static_cast<int64_t>(std::floor(static_cast<double>(Frame) * s.FrameTime));
  };
  const AVIndexEntry* key =
      avformat_index_get_entry_from_timestamp(s.Format->streams[s.StreamIndex], timeOf(To), AVSEEK_FLAG_BACKWARD);
  return key && key->timestamp > timeOf(From);
}

int64_t TVideoFile::MeasureTimePerFrame() {
  TState& s = *FState;
  if (!SeekBefore(0, 0)) return 0;
  int64_t number = 0;
  if (!NextFrame(number)) return 0;
  const int64_t t0 = s.Frame->best_effort_timestamp;
  if (!NextFrame(number)) return 0;
  const int64_t t1 = s.Frame->best_effort_timestamp;
  s.HaveFrame = false;
  s.ResetPass(false);
  s.Ended = true;  // the next read seeks
  if (t0 == AV_NOPTS_VALUE || t1 == AV_NOPTS_VALUE || t1 <= t0) return 0;
  return av_rescale_q(t1 - t0, s.TimeBase, AVRational{1, static_cast<int>(kUnitsPerSecond)});
}

int64_t TVideoFile::FrameIndexAt(int64_t Time) const {
  if (Time <= 0 || FRate <= 0) return 0;
  // The frame starting nearest to Time: frame times in 100-ns units are rounded, and a position
  // of k such times must still name frame k however large k is.
  const long double frames = static_cast<long double>(Time) * FRate / (static_cast<long double>(FScale) * kUnitsPerSecond);
  return static_cast<int64_t>(std::floor(frames + 0.5L));
}

bool TVideoFile::DecodeFrame(int64_t Index) {
  if (Index < 0 || (FFrameCount > 0 && Index >= FFrameCount)) return false;
  return DecodeTo(Index);
}

bool TVideoFile::ReadFrame(int64_t Index, int32_t BitCount, uint8_t* Bits, int64_t Stride) {
  TState& s = *FState;
  if (!Bits || (BitCount != 24 && BitCount != 32)) return false;
  if ((Stride < 0 ? -Stride : Stride) < VideoDibRowBytes(FWidth, BitCount) || Stride > INT32_MAX || Stride < -INT32_MAX)
    return false;
  if (!DecodeFrame(Index)) return false;
  const AVFrame* f = s.Frame;
  if (f->width <= 0 || f->height <= 0 || f->width > PXVideoMaxSide || f->height > PXVideoMaxSide) return false;
  const AVPixelFormat dest = BitCount == 24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGR0;
  s.Scaler = sws_getCachedContext(s.Scaler, f->width, f->height, static_cast<AVPixelFormat>(f->format), FWidth,
                                  FHeight, dest, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!s.Scaler) return false;
  if (f->colorspace != AVCOL_SPC_UNSPECIFIED && f->colorspace != AVCOL_SPC_RGB) {
    int* inverse = nullptr;
    int* table = nullptr;
    int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(s.Scaler, &inverse, &srcRange, &table, &dstRange, &brightness, &contrast,
                                 &saturation) >= 0) {
      const int* coefficients = sws_getCoefficients(f->colorspace);
      const int range = f->color_range == AVCOL_RANGE_JPEG ? 1 : srcRange;
      sws_setColorspaceDetails(s.Scaler, coefficients, range, table, dstRange, brightness, contrast, saturation);
    }
  }
  // Bottom-up rows: start at the last row and step backwards.
  uint8_t* dst[4] = {Bits + (FHeight - 1) * Stride, nullptr, nullptr, nullptr};
  int dstStride[4] = {static_cast<int>(-Stride), 0, 0, 0};
  return sws_scale(s.Scaler, f->data, f->linesize, 0, f->height, dst, dstStride) == FHeight;
}

std::vector<uint8_t> TVideoFile::ReadFrameDIB(int64_t Index) {
  const int64_t row = VideoDibRowBytes(FWidth, 24);
  std::vector<uint8_t> dib;
  try {
    dib.resize(40 + static_cast<size_t>(row * FHeight));
  } catch (const std::bad_alloc&) {
    return {};
  }
  if (!ReadFrame(Index, 24, dib.data() + 40, row)) return {};
  auto put32 = [&](size_t At, uint32_t V) { std::memcpy(dib.data() + At, &V, 4); };
  auto put16 = [&](size_t At, uint16_t V) { std::memcpy(dib.data() + At, &V, 2); };
  put32(0, 40);
  put32(4, static_cast<uint32_t>(FWidth));
  put32(8, static_cast<uint32_t>(FHeight));
  put16(12, 1);
  put16(14, 24);
  put32(16, 0);  // uncompressed
  put32(20, static_cast<uint32_t>(row * FHeight));
  return dib;
}
