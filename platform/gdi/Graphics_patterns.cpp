// The shared pattern bitmaps and compiled-in bitmaps loaded with a colour map.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/gdi/Graphics.h"

namespace {

struct TPattern {
  TColor Bk;
  TColor Fg;
  std::unique_ptr<TBitmap> Bitmap;
};

struct TPatternCache {
  std::mutex Lock;
  std::vector<TPattern> Patterns;
};

// Never destroyed: a pattern may be in use while the program's statics are torn down.
TPatternCache& Patterns() {
  static TPatternCache* const cache = std::make_unique<TPatternCache>().release();
  return *cache;
}

uint32_t Bgr(TColor c) { return static_cast<uint32_t>(ColorToRGB(c)) & 0x00FFFFFF; }

}  // namespace

TBitmap* AllocPatternBitmap(TColor BkColor, TColor FgColor) {
  TPatternCache& cache = Patterns();
  std::lock_guard<std::mutex> guard(cache.Lock);
  for (const TPattern& p : cache.Patterns)
    if (p.Bk == BkColor && p.Fg == FgColor) return p.Bitmap.get();
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf32bit);
  bitmap->SetSize(8, 8);
  const uint32_t bk = Bgr(BkColor), fg = Bgr(FgColor);
  for (int32_t y = 0; y < 8; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
    for (int32_t x = 0; x < 8; ++x) {
      const uint32_t c = (x & 1) == (y & 1) ? fg : bk;
      row[x * 4 + 0] = static_cast<uint8_t>(c >> 16);  // blue
      row[x * 4 + 1] = static_cast<uint8_t>(c >> 8);
      row[x * 4 + 2] = static_cast<uint8_t>(c);
      row[x * 4 + 3] = 0;
    }
  }
  cache.Patterns.push_back({BkColor, FgColor, std::move(bitmap)});
  return cache.Patterns.back().Bitmap.get();
}

HBITMAP CreateMappedRes(uintptr_t Instance, std::string_view ResName, std::span<const TColor> OldColors,
                        std::span<const TColor> NewColors) {
  TBitmap bitmap;
  bitmap.LoadFromResourceName(Instance, ResName);
  const size_t n = std::min(OldColors.size(), NewColors.size());
  // The new colour of an old one (the first match), or false.
  auto mapped = [&](uint8_t r, uint8_t g, uint8_t b, uint32_t& out) {
    const uint32_t c = RGB(r, g, b);
    for (size_t i = 0; i < n; ++i)
      if (Bgr(OldColors[i]) == c) {
        out = Bgr(NewColors[i]);
        return true;
      }
    return false;
  };
  std::vector<TRGBQuad> table = bitmap.ColorTable();
  if (!table.empty()) {
    for (TRGBQuad& q : table) {
      uint32_t c;
      if (!mapped(q.rgbRed, q.rgbGreen, q.rgbBlue, c)) continue;
      q.rgbRed = GetRValue(c);
      q.rgbGreen = GetGValue(c);
      q.rgbBlue = GetBValue(c);
    }
    bitmap.SetColorTable(table);
  } else if (n > 0 && !bitmap.Empty()) {
    bitmap.SetPixelFormat(pf32bit);
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
      auto* row = static_cast<uint8_t*>(bitmap.ScanLine(y));
      for (int32_t x = 0; x < bitmap.Width(); ++x) {
        uint8_t* p = row + x * 4;
        uint32_t c;
        if (!mapped(p[2], p[1], p[0], c)) continue;
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
      }
    }
  }
  return bitmap.ReleaseHandle();
}
