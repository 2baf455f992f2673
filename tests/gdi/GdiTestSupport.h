// Helpers for the drawing tests: small surfaces with a DC, and pixel maps as strings.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/gdi/WinGdi.h"

// A surface with a device context over it, filled with white.
class TestCanvas {
 public:
  explicit TestCanvas(int32_t w = 12, int32_t h = 12, int32_t bits = 32) : s_(w, h, bits) {
    if (bits <= 8) {
      s_.Palette() = {{255, 255, 255, 0}, {0, 0, 0, 0}};
      if (bits >= 4) {
        s_.Palette().push_back({0, 0, 255, 0});  // red
        s_.Palette().push_back({255, 0, 0, 0});  // blue
      }
    }
    dc_ = CreateSurfaceDC(&s_);
    Clear(0xFFFFFF);
  }
  ~TestCanvas() { DeleteDC(dc_); }
  TestCanvas(const TestCanvas&) = delete;
  TestCanvas& operator=(const TestCanvas&) = delete;

  HDC dc() const { return dc_; }
  TSurface& surface() { return s_; }
  void Clear(COLORREF c) {
    for (int32_t y = 0; y < s_.Height(); ++y)
      for (int32_t x = 0; x < s_.Width(); ++x) s_.SetPixel(x, y, c);
  }
  COLORREF At(int32_t x, int32_t y) const { return s_.GetPixel(x, y); }
  // Raw 32-bit value (with the alpha byte).
  uint32_t Raw(int32_t x, int32_t y) { return reinterpret_cast<const uint32_t*>(s_.Row(y))[x]; }
  // One character per pixel: '.' white, '#' black, 'r' red, 'g' green, 'b' blue, else from
  // extra, '?' for anything else.
  std::string Map(const std::map<COLORREF, char>& extra = {}) const {
    std::string out;
    for (int32_t y = 0; y < s_.Height(); ++y) {
      for (int32_t x = 0; x < s_.Width(); ++x) {
        const COLORREF c = s_.GetPixel(x, y);
        auto it = extra.find(c);
        if (it != extra.end()) out += it->second;
        else if (c == 0xFFFFFF) out += '.';
        else if (c == 0) out += '#';
        else if (c == 0x0000FF) out += 'r';
        else if (c == 0x00FF00) out += 'g';
        else if (c == 0xFF0000) out += 'b';
        else out += '?';
      }
      out += '\n';
    }
    return out;
  }
  // The raw bytes of all rows, to compare before and after.
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> v;
    const int32_t n = SurfaceRowBytes(s_.Width(), s_.BitCount());
    for (int32_t y = 0; y < s_.Height(); ++y) v.insert(v.end(), s_.Row(y), s_.Row(y) + n);
    return v;
  }

 private:
  TSurface s_;
  HDC dc_ = nullptr;
};

inline std::string Rows(std::initializer_list<const char*> rows) {
  std::string s;
  for (const char* r : rows) {
    s += r;
    s += '\n';
  }
  return s;
}

// Selects a pen and brush for the scope of a test block and deletes them afterwards.
class PenBrush {
 public:
  PenBrush(HDC dc, HPEN pen, HBRUSH brush) : dc_(dc), pen_(pen), brush_(brush) {
    oldPen_ = SelectObject(dc, pen);
    oldBrush_ = SelectObject(dc, brush);
  }
  ~PenBrush() {
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldBrush_);
    DeleteObject(pen_);
    DeleteObject(brush_);
  }
  PenBrush(const PenBrush&) = delete;
  PenBrush& operator=(const PenBrush&) = delete;

 private:
  HDC dc_;
  HPEN pen_;
  HBRUSH brush_;
  HGDIOBJ oldPen_, oldBrush_;
};
