// Helpers for the graphics-object tests: the test resources, running the independent readers
// (Pillow, ImageMagick), and small bitmaps.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes_streams.h"
#include "tests/common/TestSupport.h"
#include "tests/gdi/GdiTestSupport.h"

extern const TResourceTable PxTestResources;

// The fixtures under tests/data/resources, for FindResourceData.
inline void UseTestResources() { RegisterResourceTable(&PxTestResources); }


inline std::string ReadText(const std::string& file) {
  std::ifstream in(file);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline constexpr const char* kPython = "/usr/bin/python3";
inline constexpr const char* kConvert = "/usr/bin/convert";

// Pixels of an image file as Pillow reads them, converted to RGB (or RGBA): one "r,g,b[,a]"
// per pixel, rows top to bottom; "" when Pillow cannot read the file.
inline std::vector<std::string> PillowPixels(const std::string& file, const TestTempDir& dir, bool rgba = false) {
  const std::string script =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
      "im = im.convert('" + std::string(rgba ? "RGBA" : "RGB") + "')\n"
      "print(im.size[0], im.size[1])\n"
      "for p in im.getdata(): print(','.join(str(v) for v in p))\n";
  const std::string out = dir.File("pil.txt");
  if (RunTool({kPython, "-c", script, file}, out) != 0) return {};
  std::vector<std::string> lines;
  std::istringstream in(ReadText(out));
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// "r,g,b" of a COLORREF.
inline std::string RgbText(uint32_t c) {
  return std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," + std::to_string(GetBValue(c));
}

// A bitmap of the format and size with every pixel set through the canvas.
inline void FillPixels(TBitmap& b, const std::function<TColor(int32_t, int32_t)>& color) {
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0; x < b.Width(); ++x) b.Canvas()->SetPixels(x, y, color(x, y));
}

inline std::vector<uint8_t> StreamBytes(TMemoryStream& ms) {
  const auto* p = static_cast<const uint8_t*>(ms.Memory());
  return std::vector<uint8_t>(p, p + ms.Size());
}
