// The GIF codec against giflib doing the same work from memory on the same thread: decoding a
// 4000 x 3000 frame of 256 colours (plain and interlaced) into blue-green-red rows (giflib:
// DGifSlurp, then the same palette expansion into a new buffer), and encoding the px8p picture
// with its palette (giflib: EGifSpew of the same indices with a graphic control extension).
// Each iteration times ours, then the peer, in thread processor time; ratio = ours / giflib over
// the fastest call of each (the goal is at most 1.0).
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "codecs/giffilter.h"
#include "codecs/giflzw.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

// A photo-like px8p picture: indices from smooth ramps with a little noise, a 256-entry palette.
const TPXBitmap& ThePicture() {
  static const std::unique_ptr<TPXBitmap> picture = [] {
    auto b = TPXBitmap::CreateAllocated(kWidth, kHeight, px8p);
    for (int i = 0; i < 256; ++i) b->SetPaletteColor(i, TRGB{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    b->SetPaletteUsed(256);
    uint32_t seed = 11;
    for (int32_t y = 0; y < kHeight; ++y) {
      uint8_t* row = b->Scanline(y);
      for (int32_t x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245u + 12345u;
        row[x] = uint8_t((x / 23 + y / 17 + ((seed >> 28) & 3)) & 0xFF);
      }
    }
    return b;
  }();
  return *picture;
}

ColorMapObject* PaletteMap() {
  TPXBitmap& b = const_cast<TPXBitmap&>(ThePicture());
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  for (int i = 0; i < 256; ++i) {
    TRGB c;
    b.GetPaletteColor(i, c);
    map->Colors[i] = GifColorType{c.r, c.g, c.b};
  }
  return map;
}

int AppendToString(GifFileType* Gif, const GifByteType* Data, int Count) {
  static_cast<std::string*>(Gif->UserData)->append(reinterpret_cast<const char*>(Data), size_t(Count));
  return Count;
}

// giflib's encoding of the picture: a screen with the global table, a graphic control
// extension, the image.
std::string EncodeGiflib(bool Interlaced) {
  TPXBitmap& b = const_cast<TPXBitmap&>(ThePicture());
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendToString, &error);
  gif->SWidth = kWidth;
  gif->SHeight = kHeight;
  gif->SColorResolution = 8;
  gif->SBackGroundColor = 0;
  gif->SColorMap = PaletteMap();
  SavedImage* image = GifMakeSavedImage(gif, nullptr);
  image->ImageDesc = GifImageDesc{0, 0, kWidth, kHeight, Interlaced, nullptr};
  image->RasterBits = static_cast<GifByteType*>(malloc(size_t(kWidth) * kHeight));
  for (int32_t y = 0; y < kHeight; ++y) std::memcpy(image->RasterBits + size_t(y) * kWidth, b.Scanline(y), kWidth);
  GraphicsControlBlock gcb{2, false, 0, NO_TRANSPARENT_COLOR};
  EGifGCBToSavedExtension(&gcb, gif, 0);
  EGifSpew(gif);  // frees the structure
  return out;
}

std::string EncodeOurs(bool Interlaced) {
  TMemoryStream stream;
  TIOParams params;
  params.BitsPerSample = 8;
  params.GIF_Interlaced = Interlaced;
  params.GIF_LZWCompress = &GifLzwEncode;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  EncodeGifStream(&stream, const_cast<TPXBitmap*>(&ThePicture()), &params, progress);
  return std::string(static_cast<const char*>(stream.Memory()), size_t(stream.Size()));
}

void DecodeOurs(const std::string& File, TPXBitmap& Into) {
  TCustomMemoryStream stream(File.data(), int64_t(File.size()));
  TIOParams params;
  params.GIF_LZWDecompress = &GifLzwDecode;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  int32_t count = 0;
  std::unique_ptr<TPXMask> mask;
  DecodeGifStream(&stream, &Into, count, &params, progress, false, mask, false);
}

struct Source {
  const std::string* File;
  size_t At;
};

int ReadFromString(GifFileType* Gif, GifByteType* Out, int Count) {
  auto* s = static_cast<Source*>(Gif->UserData);
  const size_t n = std::min(size_t(Count), s->File->size() - s->At);
  std::memcpy(Out, s->File->data() + s->At, n);
  s->At += n;
  return int(n);
}

// giflib's frame expanded through its colour table into a new picture of blue-green-red rows.
std::unique_ptr<uint8_t[]> DecodeGiflib(const std::string& File) {
  Source s{&File, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&s, ReadFromString, &error);
  DGifSlurp(gif);
  const SavedImage& image = gif->SavedImages[0];
  const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
  const int w = image.ImageDesc.Width, h = image.ImageDesc.Height;
  auto pixels = std::make_unique_for_overwrite<uint8_t[]>(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    const GifByteType* in = image.RasterBits + size_t(y) * w;
    uint8_t* out = pixels.get() + size_t(y) * w * 3;
    for (int x = 0; x < w; ++x) {
      const GifColorType& c = map->Colors[in[x]];
      out[3 * x] = c.Blue;
      out[3 * x + 1] = c.Green;
      out[3 * x + 2] = c.Red;
    }
  }
  DGifCloseFile(gif, &error);
  return pixels;
}

void BM_GifDecode(benchmark::State& State) {
  const std::string file = EncodeGiflib(State.range(0) != 0);
  OursAndPeerTimes t;
  for (auto _ : State) {
    const double a = ThreadCpuSeconds();
    {
      TPXBitmap bitmap;
      DecodeOurs(file, bitmap);
      benchmark::DoNotOptimize(bitmap.Scanline(0));
    }
    const double b = ThreadCpuSeconds();
    auto pixels = DecodeGiflib(file);
    benchmark::DoNotOptimize(pixels.get());
    pixels.reset();
    const double c = ThreadCpuSeconds();
    t.Add(a, b, c);
    State.SetIterationTime(b - a);
  }
  t.Report(State, "giflib");
}

void BM_GifEncode(benchmark::State& State) {
  const bool interlaced = State.range(0) != 0;
  ThePicture();
  OursAndPeerTimes t;
  size_t ours = 0, peer = 0;
  for (auto _ : State) {
    const double a = ThreadCpuSeconds();
    ours = EncodeOurs(interlaced).size();
    const double b = ThreadCpuSeconds();
    peer = EncodeGiflib(interlaced).size();
    const double c = ThreadCpuSeconds();
    t.Add(a, b, c);
    State.SetIterationTime(b - a);
  }
  t.Report(State, "giflib");
  State.counters["size_ratio"] = double(ours) / double(peer);
}

}  // namespace

BENCHMARK(BM_GifDecode)->ArgName("interlaced")->Arg(0)->Arg(1)->Iterations(6)->UseManualTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_GifEncode)->ArgName("interlaced")->Arg(0)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return BenchMain(argc, argv); }
