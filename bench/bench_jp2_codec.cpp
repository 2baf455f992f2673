// JPEG 2000 coding of a 4000 x 3000 RGB picture: our reader and writer against OpenJPEG called
// directly on the same bytes with the same parameters (code stream, reversible 5/3 transform,
// colour transform, one lossless layer, LRCP, six resolutions). Both sides run on this thread
// only (OpenJPEG without its worker threads) and start from, or end in, packed 8-bit RGB; each is
// timed by the thread's processor time. ratio = ours / OpenJPEG (the goal is at most 1.1).
#include <benchmark/benchmark.h>
#include <openjpeg.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "codecs/pxj2000.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

TPXBitmap& ThePicture() {
  static const std::unique_ptr<TPXBitmap> pic = BenchGradientPicture(kWidth, kHeight, 7, 96, 64);
  return *pic;
}

// OpenJPEG's stream over a growing or fixed memory block.
struct TMem {
  std::vector<uint8_t> Data;
  size_t Pos = 0;
};

OPJ_SIZE_T MemRead(void* Buffer, OPJ_SIZE_T Count, void* User) {
  auto* m = static_cast<TMem*>(User);
  if (m->Pos >= m->Data.size()) return OPJ_SIZE_T(-1);
  const size_t n = std::min(Count, m->Data.size() - m->Pos);
  std::memcpy(Buffer, m->Data.data() + m->Pos, n);
  m->Pos += n;
  return n;
}
OPJ_SIZE_T MemWrite(void* Buffer, OPJ_SIZE_T Count, void* User) {
  auto* m = static_cast<TMem*>(User);
  if (m->Pos + Count > m->Data.size()) m->Data.resize(m->Pos + Count);
  std::memcpy(m->Data.data() + m->Pos, Buffer, Count);
  m->Pos += Count;
  return Count;
}
OPJ_OFF_T MemSkip(OPJ_OFF_T Count, void* User) {
  auto* m = static_cast<TMem*>(User);
  m->Pos = size_t(std::max<OPJ_OFF_T>(0, OPJ_OFF_T(m->Pos) + Count));
  return Count;
}
OPJ_BOOL MemSeek(OPJ_OFF_T Pos, void* User) {
  static_cast<TMem*>(User)->Pos = size_t(Pos);
  return OPJ_TRUE;
}

opj_stream_t* MemStream(TMem* M, bool Input) {
  opj_stream_t* s = opj_stream_create(1 << 20, Input ? OPJ_TRUE : OPJ_FALSE);
  opj_stream_set_user_data(s, M, nullptr);
  opj_stream_set_user_data_length(s, M->Data.size());
  opj_stream_set_read_function(s, MemRead);
  opj_stream_set_write_function(s, MemWrite);
  opj_stream_set_skip_function(s, MemSkip);
  opj_stream_set_seek_function(s, MemSeek);
  return s;
}

std::vector<uint8_t> EncodeOurs() {
  TMemoryStream s;
  TIOParams params;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  EncodeJpeg2000Stream(&s, &ThePicture(), &params, 1, progress);
  if (flag || s.Size() == 0) std::abort();
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

std::vector<uint8_t> EncodePeer() {
  opj_image_cmptparm_t parms[3]{};
  for (auto& c : parms) {
    c.dx = c.dy = 1;
    c.w = kWidth;
    c.h = kHeight;
    c.prec = 8;
  }
  opj_image_t* image = opj_image_create(3, parms, OPJ_CLRSPC_SRGB);
  image->x1 = kWidth;
  image->y1 = kHeight;
  TPXBitmap& b = ThePicture();
  for (int32_t y = 0; y < kHeight; ++y) {
    const uint8_t* row = b.Scanline(y);
    const size_t base = size_t(y) * kWidth;
    for (int32_t x = 0; x < kWidth; ++x) {
      image->comps[0].data[base + x] = row[3 * x + 2];
      image->comps[1].data[base + x] = row[3 * x + 1];
      image->comps[2].data[base + x] = row[3 * x];
    }
  }
  opj_cparameters_t p;
  opj_set_default_encoder_parameters(&p);
  p.tcp_numlayers = 1;
  p.cp_disto_alloc = 1;
  p.tcp_rates[0] = 0;
  p.irreversible = 0;
  p.tcp_mct = 1;
  p.prog_order = OPJ_LRCP;
  p.numresolution = 6;
  opj_codec_t* codec = opj_create_compress(OPJ_CODEC_J2K);
  TMem mem;
  opj_stream_t* s = MemStream(&mem, false);
  if (!opj_setup_encoder(codec, &p, image) || !opj_start_compress(codec, image, s) || !opj_encode(codec, s) ||
      !opj_end_compress(codec, s))
    std::abort();
  opj_stream_destroy(s);
  opj_destroy_codec(codec);
  opj_image_destroy(image);
  return mem.Data;
}

void DecodeOurs(const std::vector<uint8_t>& Bytes) {
  TCustomMemoryStream s(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  TPXBitmap bitmap;
  TIOParams params;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  DecodeJpeg2000Stream(&s, &bitmap, &params, false, progress);
  if (flag || bitmap.Width() != kWidth || bitmap.Height() != kHeight) std::abort();
  benchmark::DoNotOptimize(bitmap.Scanline(kHeight - 1));
}

void DecodePeer(const std::vector<uint8_t>& Bytes, std::vector<uint8_t>& Rgb) {
  TMem mem;
  mem.Data = Bytes;
  opj_stream_t* s = MemStream(&mem, true);
  opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_J2K);
  opj_dparameters_t p;
  opj_set_default_decoder_parameters(&p);
  opj_image_t* image = nullptr;
  if (!opj_setup_decoder(codec, &p) || !opj_read_header(s, codec, &image) || !opj_decode(codec, s, image) ||
      !opj_end_decompress(codec, s))
    std::abort();
  Rgb.resize(size_t(kWidth) * kHeight * 3);
  for (size_t i = 0, n = size_t(kWidth) * kHeight; i < n; ++i) {
    Rgb[3 * i] = uint8_t(image->comps[2].data[i]);
    Rgb[3 * i + 1] = uint8_t(image->comps[1].data[i]);
    Rgb[3 * i + 2] = uint8_t(image->comps[0].data[i]);
  }
  opj_image_destroy(image);
  opj_destroy_codec(codec);
  opj_stream_destroy(s);
}

void BM_Jp2Decode(benchmark::State& State) {
  const std::vector<uint8_t> bytes = EncodeOurs();
  std::vector<uint8_t> rgb;
  BenchCompare(State, "openjpeg", [&] { DecodeOurs(bytes); }, [&] { DecodePeer(bytes, rgb); });
}

void BM_Jp2Encode(benchmark::State& State) {
  BenchCompare(State, "openjpeg", [] { benchmark::DoNotOptimize(EncodeOurs()); }, [] { benchmark::DoNotOptimize(EncodePeer()); });
}

}  // namespace

BENCHMARK(BM_Jp2Decode)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jp2Encode)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return BenchMain(argc, argv); }
