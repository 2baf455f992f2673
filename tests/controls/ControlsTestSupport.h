// Helpers of the controls tests: small drawing surfaces and pixel maps.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/CvCommon.h"
#include "platform/gdi/Graphics.h"
#include "tests/forms/TestHost.h"

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

// A shown 400 x 300 form in teal, and controls made on it.
class ControlsFormTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form_ = NewForm(400, 300);
    form_->SetColor(clTeal);
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }
  // A control owned by the form, in Parent (the form when nullptr).
  template <class T>
  T* Add(TWinControl* Parent, int32_t L, int32_t T_, int32_t W, int32_t H) {
    auto* c = new T(form_.get());  // owned by the form
    c->SetBounds(L, T_, W, H);
    c->SetParent(Parent ? Parent : form_.get());
    return c;
  }
  std::unique_ptr<TForm> form_;
};
