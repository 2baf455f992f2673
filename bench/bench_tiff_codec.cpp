// The TIFF codec against libtiff on the same 6000 x 4000 RGB picture, from memory on the same
// thread. Reading: DecodeTiffStream of files libtiff wrote (one uncompressed strip, LZW with the
// predictor, deflate with the predictor, PackBits, 256 x 256 deflate tiles) against libtiff's
// TIFFReadEncodedStrip / TIFFReadEncodedTile plus the same RGB-to-BGR copy into the rows of a
// bitmap. Writing: EncodeTiffStream (none, LZW with the predictor, deflate) against libtiff's
// TIFFWriteEncodedStrip with the same compression, predictor (LZW only), level and strips (a
// deflate page is one strip, which both compress in one libdeflate call). Times are thread
// processor time; ratio = ours / libtiff over the fastest call of each (the goal is at most
// 1.1). read_overhead_mb is the most heap our reader held beyond the bitmap while decoding.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchLibtiff.h"
#include "bench/BenchSupport.h"
#include "codecs/pxcodecs.h"
#include "codecs/tiffilt.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio_support.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;
constexpr int32_t kRowBytes = kWidth * 3;

enum TLayout { lyNone, lyLzw, lyZip, lyPackBits, lyTiles };

TPXBitmap& Picture() {
  static std::unique_ptr<TPXBitmap> b = BenchGradientPicture(kWidth, kHeight, 5, 40, 30);
  return *b;
}

// The picture as R, G, B rows.
const std::vector<uint8_t>& RgbRows() {
  static const std::vector<uint8_t> rows = [] {
    std::vector<uint8_t> r(size_t(kRowBytes) * kHeight);
    for (int32_t y = 0; y < kHeight; ++y) {
      const auto* p = reinterpret_cast<const TRGB*>(Picture().Scanline(y));
      uint8_t* o = &r[size_t(y) * kRowBytes];
      for (int32_t x = 0; x < kWidth; ++x) {
        o[3 * x] = p[x].r;
        o[3 * x + 1] = p[x].g;
        o[3 * x + 2] = p[x].b;
      }
    }
    return r;
  }();
  return rows;
}

int32_t RowsPerStrip(TLayout L) {
  // Ours: one strip for deflate, strips of about 512 KB otherwise; one strip when uncompressed
  // for the reading case.
  if (L == lyZip) return kHeight;
  const int32_t strips = std::max(int32_t(int64_t(kHeight) * kRowBytes / 524288), 1);
  return kHeight / strips;
}

// Whole: one strip; ForWriting: the predictor only where our writer uses one (LZW).
MemoryFile WriteLibtiff(TLayout L, bool Whole = false, bool ForWriting = false) {
  MemoryFile f;
  TIFF* t = OpenMemory(f, "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(kWidth));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(kHeight));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_RGB));
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
  const uint16_t comp = L == lyLzw ? COMPRESSION_LZW : L == lyZip || L == lyTiles ? COMPRESSION_ADOBE_DEFLATE
                        : L == lyPackBits ? COMPRESSION_PACKBITS : COMPRESSION_NONE;
  TIFFSetField(t, TIFFTAG_COMPRESSION, comp);
  if (L == lyLzw || (L == lyZip && !ForWriting)) TIFFSetField(t, TIFFTAG_PREDICTOR, uint16_t(2));
  if (L == lyZip || L == lyTiles) TIFFSetField(t, TIFFTAG_ZIPQUALITY, 6);
  std::vector<uint8_t> buf;
  if (L == lyTiles) {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, uint32_t(256));
    TIFFSetField(t, TIFFTAG_TILELENGTH, uint32_t(256));
    buf.resize(256 * 256 * 3);
    for (uint32_t ty = 0; ty < uint32_t(kHeight); ty += 256)
      for (uint32_t tx = 0; tx < uint32_t(kWidth); tx += 256) {
        std::fill(buf.begin(), buf.end(), 0);
        for (uint32_t y = 0; y < 256 && ty + y < uint32_t(kHeight); ++y)
          std::memcpy(&buf[y * 256 * 3], &RgbRows()[(ty + y) * size_t(kRowBytes) + tx * 3],
                      std::min<size_t>(256, kWidth - tx) * 3);
        TIFFWriteEncodedTile(t, TIFFComputeTile(t, tx, ty, 0, 0), buf.data(), tmsize_t(buf.size()));
      }
  } else {
    const int32_t rps = Whole ? kHeight : RowsPerStrip(L);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(rps));
    for (int32_t s = 0, y = 0; y < kHeight; ++s, y += rps) {
      const size_t bytes = size_t(std::min(rps, kHeight - y)) * kRowBytes;
      buf.assign(&RgbRows()[size_t(y) * kRowBytes], &RgbRows()[size_t(y) * kRowBytes] + bytes);
      TIFFWriteEncodedStrip(t, uint32_t(s), buf.data(), tmsize_t(bytes));
    }
  }
  TIFFClose(t);
  return f;
}

// libtiff's read into a bitmap: strips or tiles, then R, G, B to the bitmap's B, G, R.
void ReadLibtiff(MemoryFile& F, TPXBitmap& B) {
  TIFF* t = OpenMemory(F, "r");
  if (TIFFIsTiled(t)) {
    std::vector<uint8_t> tile(static_cast<size_t>(TIFFTileSize(t)));
    for (uint32_t ty = 0; ty < uint32_t(kHeight); ty += 256)
      for (uint32_t tx = 0; tx < uint32_t(kWidth); tx += 256) {
        TIFFReadEncodedTile(t, TIFFComputeTile(t, tx, ty, 0, 0), tile.data(), tmsize_t(tile.size()));
        const uint32_t w = std::min<uint32_t>(256, kWidth - tx);
        for (uint32_t y = 0; y < 256 && ty + y < uint32_t(kHeight); ++y) {
          auto* o = reinterpret_cast<TRGB*>(B.Scanline(int32_t(ty + y))) + tx;
          const uint8_t* p = &tile[y * 256 * 3];
          for (uint32_t x = 0; x < w; ++x) o[x] = TRGB{p[3 * x + 2], p[3 * x + 1], p[3 * x]};
        }
      }
  } else {
    uint32_t rps = 0;
    TIFFGetField(t, TIFFTAG_ROWSPERSTRIP, &rps);
    std::vector<uint8_t> strip(static_cast<size_t>(TIFFStripSize(t)));
    for (tstrip_t s = 0; s < TIFFNumberOfStrips(t); ++s) {
      TIFFReadEncodedStrip(t, s, strip.data(), tmsize_t(strip.size()));
      for (uint32_t r = 0; r < rps && s * rps + r < uint32_t(kHeight); ++r) {
        auto* o = reinterpret_cast<TRGB*>(B.Scanline(int32_t(s * rps + r)));
        const uint8_t* p = &strip[size_t(r) * kRowBytes];
        for (int32_t x = 0; x < kWidth; ++x) o[x] = TRGB{p[3 * x + 2], p[3 * x + 1], p[3 * x]};
      }
    }
  }
  TIFFClose(t);
}

size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

void BM_Decode(benchmark::State& State) {
  const TLayout layout = TLayout(State.range(0));
  TIFFSetWarningHandler(nullptr);
  MemoryFile file = WriteLibtiff(layout, layout == lyNone);
  TPXBitmap ours, peer;
  peer.Allocate(kWidth, kHeight, px24RGB);
  OursAndPeerTimes t;
  size_t overhead = 0;
  bool same = true;
  for (auto _ : State) {
    ours.Allocate(kWidth, kHeight, px24RGB);
    TCustomMemoryStream s(file.Data.data(), int64_t(file.Data.size()));
    TIOParams params;
    std::unique_ptr<TPXMask> mask;
    TPXAbortFlag aborting{false};
    TPXProgressRecord progress;
    progress.Aborting = &aborting;
    const size_t before = HeapInUse();
    size_t peak = before;
    progress.Event = TPXProgressEvent([&](TObject*, int32_t) { peak = std::max(peak, HeapInUse()); });
    int32_t pages = 0;
    const double a = ThreadCpuSeconds();
    DecodeTiffStream(&ours, &s, pages, &params, progress, false, mask, true, false, false, false, nullptr);
    const double b = ThreadCpuSeconds();
    ReadLibtiff(file, peer);
    const double c = ThreadCpuSeconds();
    t.Add(a, b, c);
    overhead = peak > before ? peak - before : 0;
    same = same && !aborting;
    State.SetIterationTime(b - a);
  }
  for (int32_t y = 0; y < kHeight && same; y += 97)
    same = std::memcmp(ours.Scanline(y), peer.Scanline(y), size_t(kWidth) * 3) == 0;
  if (!same) State.SkipWithError("the two readers disagree");
  t.Report(State, "libtiff");
  State.counters["read_overhead_mb"] = double(overhead) / (1 << 20);
  State.counters["file_mb"] = double(file.Data.size()) / (1 << 20);
}

void BM_Encode(benchmark::State& State) {
  const TLayout layout = TLayout(State.range(0));
  TIFFSetWarningHandler(nullptr);
  RgbRows();
  OursAndPeerTimes t;
  size_t ours = 0, peer = 0;
  for (auto _ : State) {
    TMemoryStream out;
    TIOParams params;
    params.SamplesPerPixel = 3;
    params.BitsPerSample = 8;
    params.TIFF_Compression = layout == lyLzw ? 5 : layout == lyZip ? 9 : 0;
    TPXAbortFlag aborting{false};
    TPXProgressRecord progress;
    progress.Aborting = &aborting;
    const double a = ThreadCpuSeconds();
    EncodeTiffStream(&out, false, &Picture(), &params, progress);
    const double b = ThreadCpuSeconds();
    const MemoryFile f = WriteLibtiff(layout, false, true);
    const double c = ThreadCpuSeconds();
    t.Add(a, b, c);
    ours = size_t(out.Size());
    peer = f.Data.size();
    State.SetIterationTime(b - a);
  }
  t.Report(State, "libtiff");
  State.counters["ours_bytes"] = double(ours);
  State.counters["file_bytes"] = double(peer);
}

}  // namespace

BENCHMARK(BM_Decode)->ArgName("layout")->DenseRange(lyNone, lyTiles)->Iterations(4)->UseManualTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_Encode)->ArgName("layout")->DenseRange(lyNone, lyZip)->Iterations(3)->UseManualTime()->Unit(
    benchmark::kMillisecond);

int main(int argc, char** argv) {
  return BenchMain(argc, argv, [] {
    RegisterIOSupport();
    RegisterCoders();
    RegisterTiffCodec();
  });
}
