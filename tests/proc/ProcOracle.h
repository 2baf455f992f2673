// Running the outside tools (ImageMagick, netpbm, Pillow) on netpbm and BMP files that the
// processing tests write and read back.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "tests/common/TestSupport.h"

inline constexpr const char* kProcConvert = "/usr/bin/convert";
inline constexpr const char* kProcPamflip = "/usr/bin/pamflip";
inline constexpr const char* kProcPython = "/usr/bin/python3";


inline std::string ProcReadFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes a px1g (P4, set bit white so the bits are complemented), px8g (P5) or px24RGB (P6)
// bitmap as a binary netpbm file.
inline void WritePnm(TPXBitmap* b, const std::string& file) {
  const int w = b->Width(), h = b->Height();
  const TPXPixelFormat f = b->PixelFormat();
  std::ofstream out(file, std::ios::binary);
  out << (f == px1g ? "P4" : f == px8g ? "P5" : "P6") << "\n" << w << " " << h << "\n";
  if (f != px1g) out << "255\n";
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = b->Scanline(y);
    if (f == px1g) {
      for (int i = 0; i < (w + 7) / 8; ++i) out.put(static_cast<char>(~row[i]));
    } else if (f == px8g) {
      out.write(reinterpret_cast<const char*>(row), w);
    } else {
      for (int x = 0; x < w; ++x) out.put(static_cast<char>(row[3 * x + 2])).put(static_cast<char>(row[3 * x + 1])).put(static_cast<char>(row[3 * x]));
    }
  }
}

// Reads a binary P4, P5 or P6 file (maxval 255) into a new bitmap; nil when it is none.
inline std::unique_ptr<TPXBitmap> ReadPnm(const std::string& file) {
  const std::string data = ProcReadFile(file);
  std::istringstream in(data);
  std::string magic;
  int w = 0, h = 0, maxval = 1;
  in >> magic >> w >> h;
  if (magic != "P4") in >> maxval;
  in.get();
  if (!in || w <= 0 || h <= 0 || maxval != (magic == "P4" ? 1 : 255)) return nullptr;
  const TPXPixelFormat f = magic == "P4" ? px1g : magic == "P5" ? px8g : magic == "P6" ? px24RGB : pxNoFormat;
  if (f == pxNoFormat) return nullptr;
  auto b = std::make_unique<TPXBitmap>();
  b->Allocate(w, h, f);
  size_t pos = static_cast<size_t>(in.tellg());
  const size_t rowBytes = f == px1g ? (w + 7) / 8 : f == px8g ? w : 3 * w;
  if (data.size() < pos + rowBytes * h) return nullptr;
  for (int y = 0; y < h; ++y, pos += rowBytes) {
    uint8_t* row = b->Scanline(y);
    const auto* s = reinterpret_cast<const uint8_t*>(data.data() + pos);
    if (f == px1g) {
      for (size_t i = 0; i < rowBytes; ++i) row[i] = static_cast<uint8_t>(~s[i]);
    } else if (f == px8g) {
      std::memcpy(row, s, rowBytes);
    } else {
      for (int x = 0; x < w; ++x) {
        row[3 * x] = s[3 * x + 2];
        row[3 * x + 1] = s[3 * x + 1];
        row[3 * x + 2] = s[3 * x];
      }
    }
  }
  return b;
}

// Writes a px8p bitmap as an 8-bit BMP with its 256-entry palette.
inline void WriteBmp8(TPXBitmap* b, const std::string& file) {
  const int w = b->Width(), h = b->Height(), stride = (w + 3) & ~3;
  const uint32_t off = 14 + 40 + 1024, size = off + static_cast<uint32_t>(stride * h);
  std::vector<uint8_t> d(size, 0);
  auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&d[at], &v, 2); };
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&d[at], &v, 4); };
  d[0] = 'B';
  d[1] = 'M';
  put32(2, size);
  put32(10, off);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  put16(26, 1);
  put16(28, 8);
  put32(46, 256);
  const TRGB* pal = b->GetPalette();
  for (int i = 0; i < 256; ++i) {
    d[54 + 4 * i] = pal[i].b;
    d[54 + 4 * i + 1] = pal[i].g;
    d[54 + 4 * i + 2] = pal[i].r;
  }
  for (int y = 0; y < h; ++y) std::memcpy(&d[off + static_cast<size_t>(stride) * (h - 1 - y)], b->Scanline(y), w);
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}

// The RGB bytes (r, g, b per pixel, rows top down) Pillow gives for convert("RGB") of a file.
inline std::vector<uint8_t> PillowRgb(const std::string& file, const std::string& outFile) {
  const std::string script =
      "import sys\nfrom PIL import Image\n"
      "sys.stdout.buffer.write(Image.open(sys.argv[1]).convert('RGB').tobytes())\n";
  if (RunTool({kProcPython, "-c", script, file}, outFile) != 0) return {};
  const std::string s = ProcReadFile(outFile);
  return std::vector<uint8_t>(s.begin(), s.end());
}

// Every pixel (and the alpha, when present) of two bitmaps of one format equal.
inline bool SamePixels(TPXBitmap* a, TPXBitmap* b) {
  if (a->Width() != b->Width() || a->Height() != b->Height() || a->PixelFormat() != b->PixelFormat()) return false;
  const size_t len = static_cast<size_t>((static_cast<int64_t>(a->Width()) * a->BitCount() + 7) / 8);
  const int tailBits = static_cast<int>((static_cast<int64_t>(a->Width()) * a->BitCount()) % 8);
  for (int y = 0; y < a->Height(); ++y) {
    const uint8_t* p = a->Scanline(y);
    const uint8_t* q = b->Scanline(y);
    if (tailBits == 0) {
      if (std::memcmp(p, q, len) != 0) return false;
    } else {
      if (len > 1 && std::memcmp(p, q, len - 1) != 0) return false;
      const uint8_t mask = static_cast<uint8_t>(0xFF00u >> tailBits);
      if ((p[len - 1] & mask) != (q[len - 1] & mask)) return false;
    }
  }
  return true;
}
