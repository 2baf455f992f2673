// Helpers of the controls tests: small drawing surfaces and pixel maps.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/CvCommon.h"
#include "platform/gdi/Graphics.h"

inline TColorRef Rgb(TColor c) { return static_cast<TColorRef>(ColorToRGB(c)) & 0x00FFFFFF; }
inline TColorRef Rgb(int r, int g, int b) { return RGB(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)); }

// A W x H bitmap filled with Fill, drawn on through its canvas.
struct TestSurface {
  TBitmap Bitmap;
  TestSurface(int32_t W, int32_t H, TColor Fill = clFuchsia) {
    Bitmap.SetSize(W, H);
    Canvas()->Brush()->SetColor(Fill);
    Canvas()->FillRect(TRect(0, 0, W, H));
  }
  TCanvas* Canvas() { return Bitmap.Canvas(); }
  TColorRef At(int32_t X, int32_t Y) { return static_cast<TColorRef>(Canvas()->Pixels(X, Y)) & 0x00FFFFFF; }
  // The pixels as rows of characters: each colour of Legend by its character, others as '?'.
  std::vector<std::string> Map(const std::map<char, TColor>& Legend) {
    std::vector<std::string> rows;
    for (int32_t y = 0; y < Bitmap.Height(); ++y) {
      std::string row;
      for (int32_t x = 0; x < Bitmap.Width(); ++x) {
        char ch = '?';
        for (const auto& [k, c] : Legend)
          if (Rgb(c) == At(x, y)) ch = k;
        row += ch;
      }
      rows.push_back(row);
    }
    return rows;
  }
};

// Rows of a pixel map joined for readable failures.
inline std::string Joined(const std::vector<std::string>& Rows) {
  std::string s;
  for (const std::string& r : Rows) s += r + "\n";
  return s;
}
