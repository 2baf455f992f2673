// The tags pass of ReadExifBlock and BuildExifBlock on a camera-like EXIF block (about 60 tags:
// page tags, the EXIF directory, GPS, Interoperability and a maker note; no thumbnail) against
// libexiv2's ExifParser::decode and ExifParser::encode of the same bytes, on the same thread in
// the same run. Reported: ours_ms, exiv2_ms (fastest iteration each) and ratio = ours / exiv2
// (goal <= 1.0).
#include <benchmark/benchmark.h>

#include <exiv2/exiv2.hpp>

#include <cstdlib>
#include <vector>

#include "bench/BenchExifParams.h"
#include "bench/BenchSupport.h"
#include "codecs/pxcodecs.h"
#include "io/pixoranio_support.h"
#include "core/pxsettings.h"
#include "io/pxexif.h"
#include "io/pxxBitmaps_params.h"

namespace {

struct Block {
  Block() {
    GlobalSettingsInstance()->FMakerNoteMode = 3;  // the maker note's bytes as they are
    TIOParams p;
    FillCameraGroup(p);
    if (!BuildExifBlock(&p, Bytes, false)) std::abort();
  }
  std::vector<uint8_t> Bytes;
};

const Block& TheBlock() {
  static const Block b;
  return b;
}

void BM_ExifRead(benchmark::State& state) {
  const std::vector<uint8_t>& b = TheBlock().Bytes;
  TIOParams ours;
  Exiv2::ExifData theirs;
  OursAndPeerTimes t;
  for (auto _ : state) {
    const double a = ThreadCpuSeconds();
    ReadExifBlock(b.data(), int32_t(b.size()), &ours, false);
    benchmark::DoNotOptimize(&ours);
    const double m = ThreadCpuSeconds();
    theirs.clear();  // decode adds to what the container holds
    Exiv2::ExifParser::decode(theirs, b.data(), uint32_t(b.size()));
    benchmark::DoNotOptimize(&theirs);
    const double c = ThreadCpuSeconds();
    t.Add(a, m, c);
  }
  if (ours.EXIF_Make != "Camera Maker" || theirs.count() < 50) std::abort();
  state.counters["tags"] = double(theirs.count());
  state.counters["bytes"] = double(b.size());
  t.Report(state, "exiv2");
}

void BM_ExifBuild(benchmark::State& state) {
  const std::vector<uint8_t>& b = TheBlock().Bytes;
  TIOParams ours;
  ReadExifBlock(b.data(), int32_t(b.size()), &ours, false);
  Exiv2::ExifData theirs;
  Exiv2::ExifParser::decode(theirs, b.data(), uint32_t(b.size()));
  std::vector<uint8_t> built;
  Exiv2::Blob blob;
  OursAndPeerTimes t;
  for (auto _ : state) {
    const double a = ThreadCpuSeconds();
    BuildExifBlock(&ours, built, false);
    benchmark::DoNotOptimize(built.data());
    const double m = ThreadCpuSeconds();
    blob.clear();
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, theirs);
    benchmark::DoNotOptimize(blob.data());
    const double c = ThreadCpuSeconds();
    t.Add(a, m, c);
  }
  if (built.size() < 200 || blob.size() < 200) std::abort();
  t.Report(state, "exiv2");
}

BENCHMARK(BM_ExifRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExifBuild)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return BenchMain(argc, argv, [] {
    RegisterIOSupport();
    RegisterCoders();
    RegisterTiffCodec();
  });
}
