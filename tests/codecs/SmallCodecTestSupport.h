// Helpers of the any-map, Targa and PCX codec tests: memory streams from bytes, a progress record
// with its own abort flag, the pixels of a bitmap as RGB triples, and the oracles' answers
// (netpbm, ImageMagick and Pillow turn a file into a plain PPM or raw RGB that is parsed here,
// independently of our readers).
#pragma once

#include <atomic>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/hypxdefs.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/Classes.h"
#include "tests/codecs/CodecTestSupport.h"
#include "tests/common/TestSupport.h"

namespace smallcodec {

using namespace codectest;

// A progress record with its own abort flag and the per-cent values it was given.
struct Progressed {
  std::atomic<bool> Aborted{false};
  TPXProgressRecord Progress;
  std::vector<int32_t> Values;
  Progressed() {
    Progress.Aborting = &Aborted;
    Progress.Event = TPXProgressEvent([this](TObject*, int32_t V) { Values.push_back(V); });
  }
};

// Red, green, blue of every pixel, row by row (px1g: 0 or 255).
inline std::vector<int> RgbOf(TPXBitmap* B) {
  std::vector<int> out;
  for (int y = 0; y < B->Height(); ++y)
    for (int x = 0; x < B->Width(); ++x) {
      if (B->PixelFormat() == px1g) {
        const int v = (B->Scanline(y)[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
        out.insert(out.end(), {v, v, v});
      } else {
        const TRGB c = B->GetPixelRGB(x, y);
        out.insert(out.end(), {c.r, c.g, c.b});
      }
    }
  return out;
}

// A plain any-map (P1, P2, P3) as red, green, blue triples scaled to 0..255.
struct Plain {
  int Width = 0, Height = 0, MaxVal = 0;
  std::vector<int> Rgb;
};

inline bool ParsePlain(const std::string& Text, Plain& P) {
  std::string cleaned;
  bool comment = false;
  for (char c : Text) {
    if (c == '#') comment = true;
    if (c == '\n') comment = false;
    cleaned += comment ? ' ' : c;
  }
  std::istringstream in(cleaned);
  std::string magic;
  in >> magic >> P.Width >> P.Height;
  if (!in || (magic != "P1" && magic != "P2" && magic != "P3")) return false;
  P.MaxVal = 1;
  if (magic != "P1") in >> P.MaxVal;
  P.Rgb.clear();
  const long n = long(P.Width) * P.Height;
  for (long i = 0; i < n; ++i) {
    if (magic == "P1") {
      char c;
      do in >> c;
      while (in && c != '0' && c != '1');
      const int v = c == '0' ? 255 : 0;
      P.Rgb.insert(P.Rgb.end(), {v, v, v});
    } else if (magic == "P2") {
      int v;
      in >> v;
      v = v * 255 / P.MaxVal;
      P.Rgb.insert(P.Rgb.end(), {v, v, v});
    } else {
      int r, g, b;
      in >> r >> g >> b;
      P.Rgb.insert(P.Rgb.end(), {r * 255 / P.MaxVal, g * 255 / P.MaxVal, b * 255 / P.MaxVal});
    }
  }
  return bool(in);
}

// Runs a tool whose standard output is a plain any-map and parses it.
inline bool ToolPlain(const TestTempDir& Dir, const std::vector<std::string>& Argv, Plain& P) {
  const std::string out = Dir.File("tool.out");
  if (RunTool(Argv, out) != 0) return false;
  return ParsePlain(ReadFile(out), P);
}

// A netpbm reader's picture (tgatoppm, pcxtoppm, pamtopnm...) as a plain any-map at 255.
inline bool NetpbmPlain(const TestTempDir& Dir, const std::string& Reader, const std::string& File, Plain& P) {
  const std::string mid = Dir.File("netpbm.pnm"), depth = Dir.File("netpbm8.pnm");
  if (RunTool({Reader, File}, mid) != 0) return false;
  // Bitmaps keep their own depth; grey and pixel maps go to maxval 255.
  const std::string head = ReadFile(mid).substr(0, 2);
  const std::string& source = (head == "P4" || head == "P1") ? mid : depth;
  if (source == depth && RunTool({"/usr/bin/pamdepth", "255", mid}, depth) != 0) return false;
  return ToolPlain(Dir, {"/usr/bin/pamtopnm", "-plain", source}, P);
}

// ImageMagick's reading of File as a plain 8-bit PPM.
inline bool MagickPlain(const TestTempDir& Dir, const std::string& File, Plain& P) {
  const std::string out = Dir.File("magick.ppm");
  if (RunTool({kConvert, File, "-auto-orient", "-depth", "8", "-compress", "none", "ppm:" + out},
              Dir.File("magick.log")) != 0)
    return false;
  return ParsePlain(ReadFile(out), P);
}

// Pillow's reading of File as RGB triples (and its size).
inline bool PillowRgb(const TestTempDir& Dir, const std::string& File, Plain& P) {
  const char* script =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
      "if im.mode in ('I', 'I;16', 'I;16B'):\n    im = im.point(lambda v: v / 257).convert('L')\n"
      "im = im.convert('RGB')\nsys.stdout.write('%d %d\\n' % im.size)\nsys.stdout.flush()\n"
      "sys.stdout.buffer.write(im.tobytes())\n";
  const std::string out = Dir.File("pillow.out");
  if (RunTool({kPython, "-c", script, File}, out) != 0) return false;
  const std::string data = ReadFile(out);
  const size_t nl = data.find('\n');
  if (nl == std::string::npos) return false;
  std::istringstream head(data.substr(0, nl));
  head >> P.Width >> P.Height;
  P.MaxVal = 255;
  P.Rgb.clear();
  for (size_t i = nl + 1; i < data.size(); ++i) P.Rgb.push_back(static_cast<uint8_t>(data[i]));
  return P.Rgb.size() == size_t(P.Width) * P.Height * 3;
}

// Makes the shared colour source picture (w x h RGB, Pillow) as a raw PPM.
inline bool MakeSourcePpm(const std::string& File, int W, int H) {
  const std::string script = "import sys\nfrom PIL import Image\nw, h = " + std::to_string(W) + ", " +
                             std::to_string(H) +
                             "\nim = Image.new('RGB', (w, h))\n"
                             "im.putdata([((x * 37) % 256, (y * 53) % 256, ((x * y) * 11 + (x // 3) * 40) % 256) "
                             "for y in range(h) for x in range(w)])\nim.save(sys.argv[1])\n";
  return RunTool({kPython, "-c", script, File}, File + ".log") == 0;
}

inline int MaxDiff(const std::vector<int>& A, const std::vector<int>& B) {
  if (A.size() != B.size()) return 256;
  int worst = 0;
  for (size_t i = 0; i < A.size(); ++i) worst = std::max(worst, std::abs(A[i] - B[i]));
  return worst;
}

inline bool HaveOracles() {
  return ToolExists(kPython) && ToolExists(kConvert) && ToolExists("/usr/bin/pamtopnm") &&
         ToolExists("/usr/bin/pamdepth");
}

}  // namespace smallcodec
