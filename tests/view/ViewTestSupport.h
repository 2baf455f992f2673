// The image view's test fixture: a shown form holding a view (border none unless asked), and
// helpers that give the view a picture and read its pixels.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "core/pxxBitmaps.h"
#include "tests/forms/TestHost.h"
#include "view/pixoran.h"
#include "view/pixoranview.h"

class ViewTest : public FormsTest {
 public:
  void SetUp() override {
    FormsTest::SetUp();
    form_ = NewForm(640, 480);
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }

  // A view of class T owned by and placed on the form, Width x Height, with the given border.
  // The view has the focus, so that the wheel reaches it.
  template <class T = TPixoranView>
  T* NewView(int32_t Width, int32_t Height, TBorderStyle Border = bsNone) {
    auto* v = new T(form_.get());  // owned by the form
    v->SetBorderStyle(Border);
    v->SetParent(form_.get());
    v->SetBounds(0, 0, Width, Height);
    v->SetTabStop(true);
    Pump();
    v->SetFocus();
    Pump();
    return v;
  }

  // The view's current picture becomes Width x Height of Color (px24RGB, no alpha).
  static void SetPicture(TPixoranView* View, int32_t Width, int32_t Height, TColor Color = clWhite) {
    TPXBitmap* b = View->GetPXBitmap();
    b->RemoveAlphaChannel(false, clWhite);
    b->Allocate(Width, Height, px24RGB);
    b->Fill(static_cast<double>(Color));
    View->Update();
  }
  // A Width x Height picture whose pixel (x, y) is (x mod 256, y mod 256, (x + y) mod 256).
  static std::unique_ptr<TPXBitmap> Gradient(int32_t Width, int32_t Height) {
    auto b = TPXBitmap::CreateAllocated(Width, Height, px24RGB);
    for (int32_t y = 0; y < Height; ++y) {
      TRGB* row = reinterpret_cast<TRGB*>(b->Scanline(y));
      for (int32_t x = 0; x < Width; ++x) row[x] = TRGB{uint8_t((x + y) & 255), uint8_t(y & 255), uint8_t(x & 255)};
    }
    return b;
  }
  // A back-buffer pixel as (r, g, b) packed $00BBGGRR.
  static TColorRef BufferPixel(TPixoranView* View, int32_t X, int32_t Y) {
    const TRGB p = View->BackBuffer()->GetPixelRGB(X, Y);
    return RGB(p.r, p.g, p.b);
  }
  // Paints the view now (the back buffer is composed when dirty).
  static void PaintNow(TPixoranView* View) {
    View->Invalidate();
    Pump();
  }

  std::unique_ptr<TForm> form_;
};
