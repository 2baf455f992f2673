// Helpers of the DICOM and JPEG 2000 tests: the oracle programs (pydicom through
// dicom_oracle.py, DCMTK, GDCM, OpenJPEG's tools), reads and writes through our codecs, and
// sample access that does not depend on our readers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/pxdicom.h"
#include "codecs/pxj2000.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "tests/codecs/SmallCodecTestSupport.h"
#include "tests/common/TestSupport.h"

namespace dicomtest {

using namespace smallcodec;

inline std::string OracleScript() { return TestDataPath("../codecs/dicom_oracle.py"); }

// Runs an oracle program; a missing program fails the test with its name.
inline bool RunOracle(const std::vector<std::string>& Argv, const std::string& Out = "/dev/null") {
  if (Argv.empty()) return false;
  if (Argv[0][0] == '/' && !ToolExists(Argv[0].c_str())) {
    ADD_FAILURE() << "oracle program missing: " << Argv[0] << " (scripts/install-deps installs it)";
    return false;
  }
  const int rc = RunTool(Argv, Out);
  if (rc != 0) ADD_FAILURE() << Argv[0] << " " << (Argv.size() > 1 ? Argv[1] : "") << " failed: " << rc;
  return rc == 0;
}

inline bool Py(const std::vector<std::string>& Args, const std::string& Out = "/dev/null") {
  std::vector<std::string> argv{"/usr/bin/python3", OracleScript()};
  argv.insert(argv.end(), Args.begin(), Args.end());
  return RunOracle(argv, Out);
}

struct Read {
  std::unique_ptr<TPXBitmap> Bitmap = std::make_unique<TPXBitmap>();
  std::unique_ptr<TIOParams> Params = std::make_unique<TIOParams>();
  bool Aborted = false;
};

// Reads a DICOM file with DICOM_Range Range and frame Index.
inline Read ReadDicom(const std::string& Data, int Range = 2, int Index = 0, bool PreviewOnly = false) {
  Read r;
  r.Params->DICOM_Range = uint8_t(Range);
  r.Params->ImageIndex = Index;
  auto s = StreamOf(Data);
  Progressed run;
  DecodeDicomStream(s.get(), r.Params.get(), r.Bitmap.get(), PreviewOnly, run.Progress);
  r.Aborted = run.Aborted;
  return r;
}

inline Read ReadJ2000(const std::string& Data) {
  Read r;
  auto s = StreamOf(Data);
  Progressed run;
  DecodeJpeg2000Stream(s.get(), r.Bitmap.get(), r.Params.get(), false, run.Progress);
  r.Aborted = run.Aborted;
  return r;
}

// The samples of a bitmap as integers in file order: grey values, or red, green, blue.
inline std::vector<int32_t> SamplesOf(TPXBitmap* B) {
  std::vector<int32_t> out;
  for (int y = 0; y < B->Height(); ++y) {
    const uint8_t* r = B->Scanline(y);
    for (int x = 0; x < B->Width(); ++x) switch (B->PixelFormat()) {
        case px8g: out.push_back(r[x]); break;
        case px16g: out.push_back(reinterpret_cast<const uint16_t*>(r)[x]); break;
        case px1g: out.push_back((r[x >> 3] >> (7 - (x & 7))) & 1); break;
        case pxRGB48: {
          const auto* p = reinterpret_cast<const uint16_t*>(r) + 3 * x;
          out.insert(out.end(), {p[0], p[1], p[2]});
          break;
        }
        default: out.insert(out.end(), {r[3 * x + 2], r[3 * x + 1], r[3 * x]}); break;
      }
  }
  return out;
}

// Little-endian int32 values of a file.
inline std::vector<int32_t> Int32sOf(const std::string& Data) {
  std::vector<int32_t> v(Data.size() / 4);
  if (!v.empty()) std::memcpy(v.data(), Data.data(), v.size() * 4);
  return v;
}

}  // namespace dicomtest
