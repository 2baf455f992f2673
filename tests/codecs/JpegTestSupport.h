// Shared helpers of the JPEG codec tests: pictures, encoding and decoding through memory, the
// outside tools (djpeg, cjpeg, ImageMagick, PIL) and small parsers of JPEG segments.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "codecs/jpegfilt.h"
#include "core/hypxutils_streams.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "tests/common/TestSupport.h"

namespace jpegtest {

using Bytes = std::vector<uint8_t>;

// A smooth colour picture (so JPEG keeps it close) with a few sharp details.
inline std::unique_ptr<TPXBitmap> Gradient(int32_t W, int32_t H) {
  auto bmp = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int32_t y = 0; y < H; ++y) {
    auto* p = static_cast<TRGB*>(bmp->GetScanline(y));
    for (int32_t x = 0; x < W; ++x) {
      p[x].r = static_cast<uint8_t>(x * 255 / std::max(1, W - 1));
      p[x].g = static_cast<uint8_t>(y * 255 / std::max(1, H - 1));
      p[x].b = static_cast<uint8_t>(((x / 8 + y / 8) & 1) ? 200 : 40);
    }
  }
  return bmp;
}

inline Bytes StreamBytes(TMemoryStream& S) {
  const auto* p = static_cast<const uint8_t*>(S.Memory());
  return Bytes(p, p + S.Size());
}

inline Bytes Encode(TPXBitmap* Bitmap, TIOParams& Params, bool* Aborted = nullptr) {
  TMemoryStream s;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  progress.Aborting = &flag;
  EncodeJpegStream(&s, Bitmap, &Params, progress);
  if (Aborted) *Aborted = flag.load();
  return StreamBytes(s);
}

struct TDecoded {
  std::unique_ptr<TPXBitmap> Bitmap = std::make_unique<TPXBitmap>();
  bool Aborted = false;
  int32_t Rows = 0;
};

inline TDecoded Decode(const Bytes& Data, TIOParams& Params, bool Native = false, bool Preview = false,
                       int32_t MaxRows = -1, bool ReadMarkers = true) {
  TDecoded d;
  TPXMemStream s(Data.data(), static_cast<int64_t>(Data.size()));
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  progress.Aborting = &flag;
  d.Rows = DecodeJpegStream(&s, nullptr, d.Bitmap.get(), &Params, progress, Preview, false, ReadMarkers, false, true,
                            true, MaxRows, Native);
  d.Aborted = flag.load();
  return d;
}

inline void WriteFile(const std::string& Path, const Bytes& Data) {
  std::ofstream f(Path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
}

inline Bytes ReadFile(const std::string& Path) {
  std::ifstream f(Path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Bitmap pixels in file order: R, G, B for px24RGB, grey bytes for px8g, C, M, Y, K (stored
// complemented) for pxCMYK.
inline Bytes PixelsOf(TPXBitmap* B) {
  Bytes out;
  const int32_t w = B->Width();
  for (int32_t y = 0; y < B->Height(); ++y) {
    const auto* p = static_cast<const uint8_t*>(B->GetScanline(y));
    switch (B->PixelFormat()) {
      case px24RGB:
        for (int32_t x = 0; x < w; ++x) out.insert(out.end(), {p[3 * x + 2], p[3 * x + 1], p[3 * x]});
        break;
      case px8g:
        out.insert(out.end(), p, p + w);
        break;
      case pxCMYK:
        out.insert(out.end(), p, p + 4 * w);
        break;
      default:
        break;
    }
  }
  return out;
}

inline int MaxDiff(const Bytes& A, const Bytes& B) {
  if (A.size() != B.size()) return 1000;
  int m = 0;
  for (size_t i = 0; i < A.size(); ++i) m = std::max(m, std::abs(int(A[i]) - int(B[i])));
  return m;
}

// A binary PNM (P5 or P6) as written by djpeg.
struct TPnm {
  int32_t Width = 0, Height = 0, Channels = 0;
  Bytes Data;
};
inline bool ParsePnm(const Bytes& F, TPnm& Out) {
  if (F.size() < 3 || F[0] != 'P' || (F[1] != '5' && F[1] != '6')) return false;
  Out.Channels = F[1] == '5' ? 1 : 3;
  size_t i = 2;
  int32_t v[3];
  for (int k = 0; k < 3; ++k) {
    while (i < F.size() && (F[i] == ' ' || F[i] == '\n' || F[i] == '\r' || F[i] == '\t')) ++i;
    v[k] = 0;
    while (i < F.size() && F[i] >= '0' && F[i] <= '9') v[k] = v[k] * 10 + (F[i++] - '0');
  }
  ++i;
  Out.Width = v[0];
  Out.Height = v[1];
  Out.Data.assign(F.begin() + static_cast<std::ptrdiff_t>(i), F.end());
  return Out.Data.size() == static_cast<size_t>(Out.Width) * Out.Height * Out.Channels;
}

inline Bytes MakePpm(TPXBitmap* B) {
  const std::string head = "P6\n" + std::to_string(B->Width()) + " " + std::to_string(B->Height()) + "\n255\n";
  Bytes out(head.begin(), head.end());
  const Bytes px = PixelsOf(B);
  out.insert(out.end(), px.begin(), px.end());
  return out;
}

inline bool HavePil() {
  return ToolExists("/usr/bin/python3") &&
         RunTool({"/usr/bin/python3", "-c", "import PIL.Image"}, "/dev/null") == 0;
}

// PIL's reading of File: its mode and raw bytes (after converting to Convert when not empty).
inline bool PilDecode(const std::string& File, const std::string& TmpDir, std::string& Mode, Bytes& Raw,
                      const std::string& Convert = "") {
  static const char* kScript =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1])\n"
      "im.load()\n"
      "mode = im.mode\n"
      "if sys.argv[3]: im = im.convert(sys.argv[3])\n"
      "open(sys.argv[2], 'wb').write(im.tobytes())\n"
      "sys.stdout.write(mode)\n";
  const std::string raw = TmpDir + "pil.raw", modeFile = TmpDir + "pil.mode";
  if (RunTool({"/usr/bin/python3", "-c", kScript, File, raw, Convert}, modeFile) != 0) return false;
  const Bytes m = ReadFile(modeFile);
  Mode.assign(m.begin(), m.end());
  Raw = ReadFile(raw);
  return true;
}

// The frame header: marker and each component's sampling factors.
struct TSof {
  int Marker = 0;
  int Components = 0;
  int Precision = 0;
  int H[4] = {}, V[4] = {}, Id[4] = {};
};
inline bool FindSof(const Bytes& J, TSof& Out) {
  for (size_t i = 2; i + 4 < J.size();) {
    if (J[i] != 0xFF) return false;
    const int m = J[i + 1];
    const size_t len = (size_t(J[i + 2]) << 8) | J[i + 3];
    if ((m >= 0xC0 && m <= 0xC3) || (m >= 0xC5 && m <= 0xC7)) {
      Out.Marker = m;
      Out.Precision = J[i + 4];
      Out.Components = J[i + 9];
      for (int c = 0; c < Out.Components && c < 4; ++c) {
        Out.Id[c] = J[i + 10 + 3 * c];
        Out.H[c] = J[i + 11 + 3 * c] >> 4;
        Out.V[c] = J[i + 11 + 3 * c] & 15;
      }
      return true;
    }
    i += 2 + len;
  }
  return false;
}

// The segments before the first frame header: marker byte and payload.
struct TSegment {
  int Marker;
  Bytes Data;
};
inline std::vector<TSegment> HeaderSegments(const Bytes& J) {
  std::vector<TSegment> out;
  for (size_t i = 2; i + 4 <= J.size();) {
    if (J[i] != 0xFF) break;
    const int m = J[i + 1];
    if (m == 0xDA || (m >= 0xC0 && m <= 0xC3)) break;
    const size_t len = (size_t(J[i + 2]) << 8) | J[i + 3];
    out.push_back({m, Bytes(J.begin() + static_cast<std::ptrdiff_t>(i + 4),
                            J.begin() + static_cast<std::ptrdiff_t>(i + 2 + len))});
    i += 2 + len;
  }
  return out;
}

// J with the segments inserted right after its start of image.
inline Bytes InsertSegments(const Bytes& J, const std::vector<TSegment>& Segments) {
  Bytes out(J.begin(), J.begin() + 2);
  for (const TSegment& s : Segments) {
    const size_t len = s.Data.size() + 2;
    out.insert(out.end(), {0xFF, static_cast<uint8_t>(s.Marker), static_cast<uint8_t>(len >> 8),
                           static_cast<uint8_t>(len & 0xFF)});
    out.insert(out.end(), s.Data.begin(), s.Data.end());
  }
  out.insert(out.end(), J.begin() + 2, J.end());
  return out;
}

}  // namespace jpegtest
