// The application's compiled-in pictures: each is found by name, has its size, and shows its
// transparent colour where the picture leaves room.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes_streams.h"
#include "tests/forms/TestHost.h"

namespace {

class PicturesTest : public FormsTest {};

TEST_F(PicturesTest, FoundBySizeAndTransparentColour) {
  const TColor fuchsia = static_cast<TColor>(RGB(255, 0, 255)), olive = static_cast<TColor>(RGB(128, 128, 0));
  struct Case {
    std::string name;
    int32_t width, height;
    TColor corner;  // clNone: the picture fills its corner
  } cases[] = {
      {"QUILLANE_BANNER", 740, 75, clNone},     {"QUILLANE_POSITION", 23, 17, clNone},
      {"QUILLANE_GLYPHS16", 112, 16, fuchsia},  {"QUILLANE_GLYPHS40", 160, 40, fuchsia},
      {"QUILLANE_THUMB", 54, 18, clBlack},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  for (const char* side : {"LEFT", "TOP", "RIGHT", "BOTTOM"})
    for (const char* state : {"UP", "DOWN", "HOT"})
      all.push_back({std::string("QUILLANE_") + side + "_" + state, 33, 23, olive});
  for (const Case& c : all) {
    SCOPED_TRACE(c.name);
    TBitmap b;
    b.LoadFromResourceName(HInstance, c.name);
    EXPECT_EQ(b.Width(), c.width);
    EXPECT_EQ(b.Height(), c.height);
    if (c.corner != clNone) {
      EXPECT_EQ(b.Canvas()->Pixels(0, 0), c.corner);
    }
  }
  // The thumb's middle frame is its mask: white round the thumb, black under it.
  TBitmap thumb;
  thumb.LoadFromResourceName(HInstance, "QUILLANE_THUMB");
  EXPECT_EQ(thumb.Canvas()->Pixels(18, 0), clWhite);
  EXPECT_EQ(thumb.Canvas()->Pixels(27, 9), clBlack);
  EXPECT_NE(thumb.Canvas()->Pixels(9, 9), clBlack);
}

}  // namespace
