// The TIFF LZW and CCITT Group 4 coders against libtiff's codecs on the same bytes, from memory
// on the same thread. LZW: the strips of a 4000 x 3000 RGB picture (16 rows each), with and
// without the horizontal predictor (ours differences and restores the bytes too), against
// TIFFWriteEncodedStrip / TIFFReadEncodedStrip on a TIFF in memory. Group 4: a 2480 x 3508 page
// row by row against libtiff's fax codec on one strip. Times are thread processor time; ratio =
// ours / libtiff over the fastest call of each (the goal is at most 1.0).
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "codecs/tifccitt.h"
#include "codecs/tiflzw.h"
#include "core/hypxdefs.h"
#include "platform/rtl/Classes.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;
constexpr int32_t kRowsPerStrip = 16;
constexpr int32_t kRowBytes = kWidth * 3;
constexpr int32_t kPageWidth = 2480;
constexpr int32_t kPageHeight = 3508;

// ---------------------------------------------------------------------------------------------
// A TIFF in memory for libtiff.

struct MemoryFile {
  std::string Data;
  toff_t At = 0;
};

tsize_t MemRead(thandle_t H, tdata_t Buf, tsize_t N) {
  auto* f = static_cast<MemoryFile*>(H);
  const tsize_t n = std::max<tsize_t>(0, std::min<tsize_t>(N, tsize_t(f->Data.size()) - tsize_t(f->At)));
  std::memcpy(Buf, f->Data.data() + f->At, size_t(n));
  f->At += toff_t(n);
  return n;
}
tsize_t MemWrite(thandle_t H, tdata_t Buf, tsize_t N) {
  auto* f = static_cast<MemoryFile*>(H);
  const auto* bytes = static_cast<const char*>(Buf);
  // Appending grows the string geometrically; writes inside it overwrite.
  if (f->At > f->Data.size()) f->Data.resize(size_t(f->At));
  const size_t inside = std::min(size_t(N), f->Data.size() - size_t(f->At));
  std::memcpy(f->Data.data() + f->At, bytes, inside);
  f->Data.append(bytes + inside, size_t(N) - inside);
  f->At += toff_t(N);
  return N;
}
toff_t MemSeek(thandle_t H, toff_t Off, int Whence) {
  auto* f = static_cast<MemoryFile*>(H);
  f->At = Whence == SEEK_SET ? Off : Whence == SEEK_CUR ? f->At + Off : f->Data.size() + Off;
  return f->At;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t H) { return static_cast<MemoryFile*>(H)->Data.size(); }
int MemMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void MemUnmap(thandle_t, tdata_t, toff_t) {}

TIFF* OpenMemory(MemoryFile& F, const char* Mode) {
  F.At = 0;
  return TIFFClientOpen("memory", Mode, &F, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
}

void SetTags(TIFF* T, int32_t W, int32_t H, int Samples, int Bits, int Compression, int Predictor, int RowsPerStrip) {
  TIFFSetField(T, TIFFTAG_IMAGEWIDTH, uint32_t(W));
  TIFFSetField(T, TIFFTAG_IMAGELENGTH, uint32_t(H));
  TIFFSetField(T, TIFFTAG_SAMPLESPERPIXEL, uint16_t(Samples));
  TIFFSetField(T, TIFFTAG_BITSPERSAMPLE, uint16_t(Bits));
  TIFFSetField(T, TIFFTAG_PHOTOMETRIC, uint16_t(Samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE));
  TIFFSetField(T, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
  TIFFSetField(T, TIFFTAG_COMPRESSION, uint16_t(Compression));
  TIFFSetField(T, TIFFTAG_ROWSPERSTRIP, uint32_t(RowsPerStrip));
  if (Predictor != 1) TIFFSetField(T, TIFFTAG_PREDICTOR, uint16_t(Predictor));
}

// ---------------------------------------------------------------------------------------------
// LZW

const std::vector<uint8_t>& RgbPixels() {
  static const std::vector<uint8_t> pixels = [] {
    auto b = BenchGradientPicture(kWidth, kHeight, 5, 40, 30);
    std::vector<uint8_t> p(size_t(kRowBytes) * kHeight);
    for (int32_t y = 0; y < kHeight; ++y) std::memcpy(&p[size_t(y) * kRowBytes], b->Scanline(y), kRowBytes);
    return p;
  }();
  return pixels;
}

int32_t StripCount() { return (kHeight + kRowsPerStrip - 1) / kRowsPerStrip; }
size_t StripBytes(int32_t S) { return size_t(std::min(kRowsPerStrip, kHeight - S * kRowsPerStrip)) * kRowBytes; }

// Horizontal differencing of 8-bit RGB rows, and its undoing.
void Difference(uint8_t* Rows, size_t Bytes) {
  for (size_t r = 0; r < Bytes; r += kRowBytes)
    for (size_t i = kRowBytes - 1; i >= 3; --i) Rows[r + i] = uint8_t(Rows[r + i] - Rows[r + i - 3]);
}
void Accumulate(uint8_t* Rows, size_t Bytes) {
  for (size_t r = 0; r < Bytes; r += kRowBytes)
    for (size_t i = 3; i < size_t(kRowBytes); ++i) Rows[r + i] = uint8_t(Rows[r + i] + Rows[r + i - 3]);
}

MemoryFile EncodeLibtiffLzw(bool Predictor) {
  MemoryFile f;
  TIFF* t = OpenMemory(f, "w");
  SetTags(t, kWidth, kHeight, 3, 8, COMPRESSION_LZW, Predictor ? 2 : 1, kRowsPerStrip);
  std::vector<uint8_t> strip(StripBytes(0));
  for (int32_t s = 0; s < StripCount(); ++s) {
    // libtiff differences the buffer it is given, so each strip goes through a copy.
    std::memcpy(strip.data(), &RgbPixels()[size_t(s) * StripBytes(0)], StripBytes(s));
    TIFFWriteEncodedStrip(t, uint32_t(s), strip.data(), tmsize_t(StripBytes(s)));
  }
  TIFFClose(t);
  return f;
}

std::vector<std::string> EncodeOursLzw(bool Predictor) {
  std::vector<std::string> strips;
  std::vector<uint8_t> strip(StripBytes(0));
  for (int32_t s = 0; s < StripCount(); ++s) {
    std::memcpy(strip.data(), &RgbPixels()[size_t(s) * StripBytes(0)], StripBytes(s));
    if (Predictor) Difference(strip.data(), StripBytes(s));
    TMemoryStream out;
    void* state = nullptr;
    TiffLzwEncode(strip.data(), int32_t(StripBytes(s)), &out, state);
    TiffLzwEncode(nullptr, 0, &out, state);
    strips.emplace_back(static_cast<const char*>(out.Memory()), size_t(out.Size()));
  }
  return strips;
}

std::vector<std::string> RawStrips(MemoryFile& F) {
  std::vector<std::string> strips;
  TIFF* t = OpenMemory(F, "r");
  for (tstrip_t s = 0; s < TIFFNumberOfStrips(t); ++s) {
    uint64_t* sizes = nullptr;
    TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &sizes);
    std::string raw(size_t(sizes[s]), '\0');
    TIFFReadRawStrip(t, s, raw.data(), tmsize_t(raw.size()));
    strips.push_back(std::move(raw));
  }
  TIFFClose(t);
  return strips;
}

void DecodeLibtiff(MemoryFile& F, std::vector<uint8_t>& Out) {
  TIFF* t = OpenMemory(F, "r");
  const tmsize_t strip = TIFFStripSize(t);
  for (tstrip_t s = 0; s < TIFFNumberOfStrips(t); ++s)
    TIFFReadEncodedStrip(t, s, Out.data() + size_t(s) * size_t(strip), strip);
  TIFFClose(t);
}

void DecodeOursLzw(const std::vector<std::string>& Strips, bool Predictor, std::vector<uint8_t>& Out) {
  for (int32_t s = 0; s < int32_t(Strips.size()); ++s) {
    const auto* data = reinterpret_cast<const uint8_t*>(Strips[size_t(s)].data());
    void* state = nullptr;
    const size_t bytes = StripBytes(s);
    const uint8_t* rows = TiffLzwDecode(data, int64_t(Strips[size_t(s)].size()), int32_t(bytes), state, 1);
    uint8_t* to = Out.data() + size_t(s) * StripBytes(0);
    if (rows) std::memcpy(to, rows, bytes);
    TiffLzwDecode(nullptr, 0, 0, state, 1);
    if (Predictor) Accumulate(to, bytes);
  }
}

void BM_LzwDecode(benchmark::State& State) {
  const bool predictor = State.range(0) != 0;
  TIFFSetWarningHandler(nullptr);
  MemoryFile file = EncodeLibtiffLzw(predictor);
  const std::vector<std::string> strips = RawStrips(file);
  std::vector<uint8_t> ours(RgbPixels().size()), peer(RgbPixels().size());
  OursAndPeerTimes t;
  for (auto _ : State) {
    const double a = ThreadCpuSeconds();
    DecodeOursLzw(strips, predictor, ours);
    const double b = ThreadCpuSeconds();
    DecodeLibtiff(file, peer);
    const double c = ThreadCpuSeconds();
    t.Add(a, b, c);
    State.SetIterationTime(b - a);
  }
  if (ours != RgbPixels() || peer != RgbPixels()) State.SkipWithError("the strips did not decode to the picture");
  t.Report(State, "libtiff");
}

void BM_LzwEncode(benchmark::State& State) {
  const bool predictor = State.range(0) != 0;
  RgbPixels();
  OursAndPeerTimes t;
  size_t ours = 0, peer = 0;
  for (auto _ : State) {
    const double a = ThreadCpuSeconds();
    const auto strips = EncodeOursLzw(predictor);
    const double b = ThreadCpuSeconds();
    const MemoryFile file = EncodeLibtiffLzw(predictor);
    const double c = ThreadCpuSeconds();
    t.Add(a, b, c);
    ours = 0;
    for (const std::string& s : strips) ours += s.size();
    peer = file.Data.size();
    State.SetIterationTime(b - a);
  }
  t.Report(State, "libtiff");
  State.counters["size_ratio"] = double(ours) / double(peer);
}

// ---------------------------------------------------------------------------------------------
// Group 4

// A text-like page (set bits black): lines of letter-sized blocks with gaps, margins and rules.
const std::vector<uint8_t>& Page() {
  static const std::vector<uint8_t> page = [] {
    const size_t rowBytes = (kPageWidth + 7) / 8;
    std::vector<uint8_t> p(rowBytes * kPageHeight, 0);
    uint32_t seed = 3;
    for (int32_t y = 200; y < kPageHeight - 200; ++y) {
      const int32_t line = y % 60;
      for (int32_t x = 200; x < kPageWidth - 200; ++x) {
        seed = seed * 1103515245u + 12345u;
        const bool glyph = line > 10 && line < 45 && (x / 30) % 5 != 4 && ((x * 7 + y * 3 + (seed >> 30)) % 11) < 4;
        const bool rule = y % 600 == 0;
        if (glyph || rule) p[size_t(y) * rowBytes + size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
      }
    }
    return p;
  }();
  return page;
}

std::string EncodeOursG4() {
  TMemoryStream out;
  TPXAbortFlag abort{false};
  uint8_t partial = 0;
  int32_t bits = 0;
  std::vector<uint8_t> ref;
  const size_t rowBytes = (kPageWidth + 7) / 8;
  for (int32_t y = 0; y < kPageHeight; ++y)
    EncodeCcittG4Row(&Page()[size_t(y) * rowBytes], kPageWidth, &out, partial, bits, ref, abort, 1);
  EncodeCcittG4Row(nullptr, kPageWidth, &out, partial, bits, ref, abort, 1);
  return std::string(static_cast<const char*>(out.Memory()), size_t(out.Size()));
}

MemoryFile EncodeLibtiffG4() {
  MemoryFile f;
  TIFF* t = OpenMemory(f, "w");
  SetTags(t, kPageWidth, kPageHeight, 1, 1, COMPRESSION_CCITTFAX4, 1, kPageHeight);
  std::vector<uint8_t> copy = Page();
  TIFFWriteEncodedStrip(t, 0, copy.data(), tmsize_t(copy.size()));
  TIFFClose(t);
  return f;
}

// Our rows have set bits white; the page's set bits are black.
void DecodeOursG4(const std::string& Strip, std::vector<uint8_t>& Out) {
  const size_t rowBytes = (kPageWidth + 7) / 8;
  std::vector<uint8_t> ref(rowBytes, 0xFF);
  const auto* data = reinterpret_cast<const uint8_t*>(Strip.data());
  int64_t pos = 0;
  for (int32_t y = 0; y < kPageHeight; ++y)
    pos = CcittDecode(&Out[size_t(y) * rowBytes], data, int64_t(Strip.size()), kPageWidth, ref.data(), pos, 1, false);
}

void BM_G4Decode(benchmark::State& State) {
  TIFFSetWarningHandler(nullptr);
  MemoryFile file = EncodeLibtiffG4();
  const std::string strip = RawStrips(file)[0];
  std::vector<uint8_t> ours(Page().size()), peer(Page().size());
  OursAndPeerTimes t;
  for (auto _ : State) {
    const double a = ThreadCpuSeconds();
    DecodeOursG4(strip, ours);
    const double b = ThreadCpuSeconds();
    DecodeLibtiff(file, peer);
    const double c = ThreadCpuSeconds();
    t.Add(a, b, c);
    State.SetIterationTime(b - a);
  }
  for (size_t i = 0; i < ours.size(); ++i) ours[i] = uint8_t(~ours[i]);
  if (peer != Page()) State.SkipWithError("libtiff did not decode the page");
  const size_t rowBytes = (kPageWidth + 7) / 8;
  for (int32_t y = 0; y < kPageHeight; ++y)  // the padding bits of each row aside
    if (std::memcmp(&ours[size_t(y) * rowBytes], &Page()[size_t(y) * rowBytes], rowBytes - 1) != 0) {
      State.SkipWithError("ours did not decode the page");
      break;
    }
  t.Report(State, "libtiff");
}

void BM_G4Encode(benchmark::State& State) {
  TIFFSetWarningHandler(nullptr);
  Page();
  OursAndPeerTimes t;
  size_t ours = 0, peer = 0;
  for (auto _ : State) {
    const double a = ThreadCpuSeconds();
    ours = EncodeOursG4().size();
    const double b = ThreadCpuSeconds();
    const MemoryFile file = EncodeLibtiffG4();
    const double c = ThreadCpuSeconds();
    t.Add(a, b, c);
    peer = file.Data.size();
    State.SetIterationTime(b - a);
  }
  t.Report(State, "libtiff");
  State.counters["ours_bytes"] = double(ours);
  State.counters["file_bytes"] = double(peer);
}

}  // namespace

BENCHMARK(BM_LzwDecode)->ArgName("predictor")->Arg(0)->Arg(1)->Iterations(6)->UseManualTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_LzwEncode)->ArgName("predictor")->Arg(0)->Arg(1)->Iterations(5)->UseManualTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_G4Decode)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_G4Encode)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return BenchMain(argc, argv); }
