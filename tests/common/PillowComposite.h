// Pillow's alpha_composite as an oracle for layer blending: two random RGBA pictures written as
// Dir/a.png and Dir/b.png, and the RGBA bytes Pillow composes from them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "core/pxxBitmaps.h"
#include "tests/common/TestSupport.h"

// Each alpha is 0, 255 or one of RandomAlphas random values. Empty when Pillow cannot run.
inline std::string PillowAlphaComposite(TestTempDir& Dir, int W, int H, int Seed, int RandomAlphas) {
  const std::string script = R"PY(
import sys, random
from PIL import Image
d, w, h, seed, k = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
random.seed(seed)
def pic():
    im = Image.new('RGBA', (w, h))
    im.putdata([(random.randrange(256), random.randrange(256), random.randrange(256),
                 random.choice([0, 255] + [random.randrange(256) for _ in range(k)])) for _ in range(w * h)])
    return im
a, b = pic(), pic()
a.save(d + 'a.png'); b.save(d + 'b.png')
sys.stdout.buffer.write(Image.alpha_composite(a, b).tobytes())
)PY";
  constexpr const char* kPython = "/usr/bin/python3";
  if (!ToolExists(kPython) ||
      RunTool({kPython, "-c", script, Dir.Path(), std::to_string(W), std::to_string(H), std::to_string(Seed),
               std::to_string(RandomAlphas)},
              Dir.File("out")) != 0)
    return {};
  std::ifstream in(Dir.File("out"), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The largest difference of alpha, and of colour where the wanted alpha is not 0.
inline int WorstRgbaDifference(TPXBitmap& B, const std::string& Want) {
  int worst = 0;
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t x = 0; x < B.Width(); ++x) {
      const auto* w = reinterpret_cast<const uint8_t*>(Want.data()) + (int64_t(y) * B.Width() + x) * 4;
      worst = std::max(worst, std::abs(int(B.GetAlpha(x, y)) - int(w[3])));
      if (w[3] == 0) continue;  // no colour where nothing shows
      const TRGB g = B.GetPixelRGB(x, y);
      worst = std::max({worst, std::abs(int(g.r) - int(w[0])), std::abs(int(g.g) - int(w[1])),
                        std::abs(int(g.b) - int(w[2]))});
    }
  return worst;
}
