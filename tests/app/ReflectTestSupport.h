// Shared by the reflection pipeline's tests: the library started around each suite (counted, so
// a program that already started it keeps its own start-up), views set up as the main window
// sets them up, and small pictures.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "app/UnitQuillane_reflect.h"
#include "core/hypxutils_startup.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "proc/pixoranproc.h"
#include "tests/common/LibraryUnits.h"
#include "tests/forms/TestHost.h"
#include "view/pixoran.h"

class ReflectTestBase : public FormsTest {
 protected:
  static void SetUpTestSuite() {
    RegisterLibraryUnits();
    StaticInitialize();
  }
  static void TearDownTestSuite() { StaticFinalize(); }

  // The display view as the open path leaves it: layer 0 and a locked image layer (index 1).
  static std::unique_ptr<TPixoran> NewDisplayView(TColor Background = clBtnFace) {
    auto v = std::make_unique<TPixoran>(nullptr);
    v->SetBackground(Background);
    const int32_t r = v->LayersAdd(pxlkImage, -1, -1, 0, 0);
    v->Layers(r)->SetLocked(true);
    return v;
  }

  // An owner-less source view holding a copy of Picture.
  static std::unique_ptr<TPixoran> NewSourceView(TPXBitmap& Picture) {
    auto s = std::make_unique<TPixoran>(nullptr);
    s->GetPXBitmap()->Assign(&Picture);
    return s;
  }

  // A 24-bit picture whose pixels come from Colour (and alpha from Alpha when given).
  static std::unique_ptr<TPXBitmap> MakePicture(int32_t W, int32_t H, const std::function<TRGB(int32_t, int32_t)>& Colour,
                                                const std::function<uint8_t(int32_t, int32_t)>& Alpha = nullptr) {
    auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) {
        b->SetPixel24(x, y, Colour(x, y));
        if (Alpha) b->SetAlpha(x, y, Alpha(x, y));
      }
    return b;
  }

  // Every pixel different: red from x, green from y, blue from both.
  static TRGB Distinct(int32_t X, int32_t Y) {
    return TRGB{static_cast<uint8_t>(3 * X + 5 * Y + 1), static_cast<uint8_t>(10 + 20 * Y), static_cast<uint8_t>(5 + 17 * X)};
  }

  static TRGB Rgb(uint8_t R, uint8_t G, uint8_t B) { return TRGB{B, G, R}; }
};
