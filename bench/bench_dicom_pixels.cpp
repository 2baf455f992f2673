// DICOM pixel decoding against DCMTK on the same files: a 2048 x 2048 16-bit frame coded as
// lossless JPEG (first-order prediction, SV1) and an 8-frame 512 x 512 16-bit RLE series, both
// made once by DCMTK's own encoders. Our reader decodes the file from memory into a px16g
// bitmap, one call per frame (DICOM_Range 2: the stored samples, no windowing); DCMTK reads the
// same bytes from memory and decodes every frame to explicit little-endian. Both run on this
// thread and are timed by its processor time. ratio = ours / DCMTK (the goal is at most 1.0).
#include <benchmark/benchmark.h>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmdata/dctk.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpeg/djencode.h>
#include <dcmtk/dcmjpeg/djrplol.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "codecs/pxdicom.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {

struct TSeries {
  int32_t Width, Height, Frames;
  E_TransferSyntax Syntax;
  std::vector<uint8_t> Bytes;
};

// A CT-like picture: smooth anatomy-sized shapes over 12 bits with a little noise.
std::vector<Uint16> Samples(int32_t W, int32_t H, int32_t Frames) {
  std::vector<Uint16> s(size_t(W) * H * Frames);
  uint32_t seed = 99;
  for (int32_t f = 0; f < Frames; ++f)
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) {
        seed = seed * 1103515245u + 12345u;
        const int32_t dx = x - W / 2, dy = y - H / 2;
        const int32_t r2 = (dx * dx + dy * dy) / std::max(1, (W * W) / 4096);
        const int32_t base = r2 < 900 ? 1000 + r2 + f * 10 : 40;
        s[(size_t(f) * H + y) * W + x] = Uint16(std::min(4095, base + int32_t((seed >> 16) & 15)));
      }
  return s;
}

TSeries Make(int32_t W, int32_t H, int32_t Frames, E_TransferSyntax Syntax) {
  DcmFileFormat file;
  DcmDataset* ds = file.getDataset();
  ds->putAndInsertString(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage);
  ds->putAndInsertString(DCM_SOPInstanceUID, "1.2.826.0.1.3680043.2.1125.1");
  ds->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
  ds->putAndInsertUint16(DCM_SamplesPerPixel, 1);
  ds->putAndInsertUint16(DCM_Rows, Uint16(H));
  ds->putAndInsertUint16(DCM_Columns, Uint16(W));
  ds->putAndInsertUint16(DCM_BitsAllocated, 16);
  ds->putAndInsertUint16(DCM_BitsStored, 16);
  ds->putAndInsertUint16(DCM_HighBit, 15);
  ds->putAndInsertUint16(DCM_PixelRepresentation, 0);
  if (Frames > 1) ds->putAndInsertString(DCM_NumberOfFrames, std::to_string(Frames).c_str());
  const std::vector<Uint16> s = Samples(W, H, Frames);
  ds->putAndInsertUint16Array(DCM_PixelData, s.data(), unsigned(s.size()));
  DJ_RPLossless sv1(1, 0);
  if (ds->chooseRepresentation(Syntax, Syntax == EXS_JPEGProcess14SV1 ? &sv1 : nullptr).bad() ||
      !ds->canWriteXfer(Syntax))
    std::abort();
  const std::string name = BenchTempFile("dicom_pixels.dcm");
  if (file.saveFile(name.c_str(), Syntax).bad()) std::abort();
  std::ifstream in(name, std::ios::binary);
  TSeries out{W, H, Frames, Syntax, std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {})};
  std::remove(name.c_str());
  return out;
}

void DecodeOurs(const TSeries& S) {
  for (int32_t f = 0; f < S.Frames; ++f) {
    TCustomMemoryStream stream(S.Bytes.data(), static_cast<int64_t>(S.Bytes.size()));
    TPXBitmap bitmap;
    TIOParams params;
    params.DICOM_Range = 2;
    params.ImageIndex = f;
    TPXAbortFlag flag{false};
    TPXProgressRecord progress;
    InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
    DecodeDicomStream(&stream, &params, &bitmap, false, progress);
    if (flag || bitmap.Width() != S.Width || bitmap.Height() != S.Height) std::abort();
    benchmark::DoNotOptimize(bitmap.Scanline(S.Height - 1));
  }
}

void DecodeDcmtk(const TSeries& S) {
  DcmInputBufferStream in;
  in.setBuffer(S.Bytes.data(), offile_off_t(S.Bytes.size()));
  in.setEos();
  DcmFileFormat file;
  file.transferInit();
  if (file.read(in, EXS_Unknown).bad()) std::abort();
  file.transferEnd();
  DcmDataset* ds = file.getDataset();
  if (ds->chooseRepresentation(EXS_LittleEndianExplicit, nullptr).bad()) std::abort();
  const Uint16* pixels = nullptr;
  unsigned long count = 0;
  if (ds->findAndGetUint16Array(DCM_PixelData, pixels, &count).bad() ||
      count != static_cast<unsigned long>(S.Width) * S.Height * S.Frames)
    std::abort();
  benchmark::DoNotOptimize(pixels[count - 1]);
}

void BM_DicomPixels(benchmark::State& State, int32_t W, int32_t H, int32_t Frames, E_TransferSyntax Syntax) {
  const TSeries series = Make(W, H, Frames, Syntax);
  BenchCompare(State, "dcmtk", [&] { DecodeOurs(series); }, [&] { DecodeDcmtk(series); });
  State.counters["bytes"] = static_cast<double>(series.Bytes.size());
}

void RegisterDcmtkCodecs() {
  DJEncoderRegistration::registerCodecs();
  DJDecoderRegistration::registerCodecs();
  DcmRLEEncoderRegistration::registerCodecs();
  DcmRLEDecoderRegistration::registerCodecs();
}

}  // namespace

BENCHMARK_CAPTURE(BM_DicomPixels, ljpeg_sv1_2048, 2048, 2048, 1, EXS_JPEGProcess14SV1)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DicomPixels, rle_8x512, 512, 512, 8, EXS_RLELossless)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return BenchMain(argc, argv, nullptr, &RegisterDcmtkCodecs); }
