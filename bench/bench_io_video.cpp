// Single video frames: TPixoranIO's LoadFromAVI of a 1920 x 1080 MJPEG AVI and LoadFromMediaFile
// of a 1920 x 1080 MPEG-2 file (both made by the ffmpeg tool) against a direct libavformat /
// libavcodec / libswscale seek, decode and conversion to bottom-up 24-bit rows of the same frames
// in the same run, with the same decoder threads; both return the exact frame asked for (a seek that
// lands past its key frame backs off). Each iteration reads the middle frame, then the
// frame at a quarter (so every read seeks), ours then the peer, on the wall clock (the decoders
// run threads); ratio = ours / peer over the fastest iteration of each (the goal is at most 1.2).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "bench/BenchSupport.h"
#include "io/pixoranio.h"
#include "io/pixoranio_support.h"
#include "mview/pxds.h"
#include "proc/pixoranproc.h"

namespace {

constexpr int kFrames = 50;

// The video file for the case, made once.
const std::string& VideoFile(bool Mpeg) {
  static std::string files[2];
  std::string& f = files[Mpeg ? 1 : 0];
  if (!f.empty()) return f;
  f = BenchTempFile(Mpeg ? "frames.mpg" : "frames.avi");
  std::vector<std::string> argv = {"/usr/bin/ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                   "testsrc2=size=1920x1080:rate=25", "-frames:v", std::to_string(kFrames)};
  if (Mpeg) argv.insert(argv.end(), {"-c:v", "mpeg2video", "-q:v", "3", "-g", "12"});
  else argv.insert(argv.end(), {"-c:v", "mjpeg", "-q:v", "3"});
  argv.push_back(f);
  if (RunProgram(argv) != 0) f = "(ffmpeg failed)";
  return f;
}

// The peer: FFmpeg's own file reading, the same decoder settings as the library's reader.
class DirectReader {
 public:
  explicit DirectReader(const std::string& File) {
    if (avformat_open_input(&fmt_, File.c_str(), nullptr, nullptr) < 0 || avformat_find_stream_info(fmt_, nullptr) < 0)
      return;
    index_ = av_find_best_stream(fmt_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index_ < 0) return;
    st_ = fmt_->streams[index_];
    const AVCodec* codec = avcodec_find_decoder(st_->codecpar->codec_id);
    dec_ = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec_, st_->codecpar);
    dec_->thread_count = 0;
    dec_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(dec_, codec, nullptr) < 0) return;
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    row_ = ((dec_->width * 24 + 31) / 32) * 4;
    bits_.resize(size_t(row_) * dec_->height);
    ok_ = true;
  }
  // Decodes until a frame at or past Time.
  bool DecodeUntil(int64_t Time) {
    for (;;) {
      int r = avcodec_receive_frame(dec_, frame_);
      if (r == 0) {
        if (frame_->best_effort_timestamp >= Time) return true;
        continue;
      }
      if (r != AVERROR(EAGAIN)) return false;
      if (av_read_frame(fmt_, packet_) < 0) {
        avcodec_send_packet(dec_, nullptr);
        continue;
      }
      if (packet_->stream_index == index_) avcodec_send_packet(dec_, packet_);
      av_packet_unref(packet_);
    }
  }
  ~DirectReader() {
    sws_freeContext(sws_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&dec_);
    avformat_close_input(&fmt_);
  }
  bool Ok() const { return ok_; }

  // Frame Index into the bottom-up buffer. The demuxer's timestamp search can land after the key
  // frame the target needs (MPEG program streams do), and the decoder then gives a later frame:
  // like the library's reader, a seek that overshoots goes 16, then 64 frames further back, at
  // last to the start, so both return the exact frame.
  bool Read(int Index) {
    const AVRational rate = st_->avg_frame_rate;
    const int64_t start = st_->start_time == AV_NOPTS_VALUE ? 0 : st_->start_time;
    const auto timeOf = [&](int64_t Frame) { return start + av_rescale_q(Frame, AVRational{rate.den, rate.num}, st_->time_base); };
    const int64_t target = timeOf(Index);
    for (int64_t backoff = 0;; backoff = backoff == 0 ? 16 : backoff * 4) {
      const int64_t from = backoff >= Index ? start : timeOf(Index - backoff);
      if (av_seek_frame(fmt_, index_, from, AVSEEK_FLAG_BACKWARD) < 0) return false;
      avcodec_flush_buffers(dec_);
      if (!DecodeUntil(target)) return false;
      if (frame_->best_effort_timestamp == target) break;
      if (from == start) return false;
    }
    sws_ = sws_getCachedContext(sws_, frame_->width, frame_->height, AVPixelFormat(frame_->format), dec_->width,
                                dec_->height, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    uint8_t* dst[4] = {bits_.data() + int64_t(dec_->height - 1) * row_};
    int stride[4] = {-row_};
    return sws_scale(sws_, frame_->data, frame_->linesize, 0, frame_->height, dst, stride) == dec_->height;
  }

 private:
  AVFormatContext* fmt_ = nullptr;
  AVCodecContext* dec_ = nullptr;
  AVStream* st_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* sws_ = nullptr;
  int index_ = -1;
  int row_ = 0;
  std::vector<uint8_t> bits_;
  bool ok_ = false;
};

void BM_Frame(benchmark::State& State) {
  const bool mpeg = State.range(0) != 0;
  const std::string& file = VideoFile(mpeg);
  auto io = std::make_unique<TPixoranIO>(nullptr);
  const int32_t count = mpeg ? io->OpenMediaFile(file) : io->OpenAVIFile(file);
  DirectReader peer(file);
  if (count != kFrames || !peer.Ok()) {
    State.SkipWithError("the video could not be made or opened");
    return;
  }
  auto ours = [&](int Index) { return mpeg ? io->LoadFromMediaFile(Index) : io->LoadFromAVI(Index); };
  OursAndPeerTimes times;
  for (auto _ : State) {
    const auto a = BenchClock::now();
    const bool o = ours(kFrames / 2) && ours(kFrames / 4);
    const auto b = BenchClock::now();
    const bool p = peer.Read(kFrames / 2) && peer.Read(kFrames / 4);
    const auto c = BenchClock::now();
    if (!o || !p) {
      State.SkipWithError("a frame could not be read");
      return;
    }
    times.Add(0, BenchSeconds(a, b), BenchSeconds(a, c));
  }
  times.Report(State, "libav");
}

BENCHMARK(BM_Frame)->ArgName("mpeg")->Arg(0)->Arg(1)->Iterations(8)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return BenchMain(argc, argv, [] {
    RegisterIOSupport();
    RegisterProcessingUnit();
    RegisterAcquisitionUnit();
  });
}
