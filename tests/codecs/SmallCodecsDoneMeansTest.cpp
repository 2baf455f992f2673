// BMP 16-bit bit fields whose masks are wider than a byte or a single bit: each channel shifts
// right by its mask's lowest bit, then keeps its top 8 bits, or repeats its bits up to 8.

#include <gtest/gtest.h>

#include "codecs/bmpfilt.h"
#include "tests/codecs/BmpTestSupport.h"

using namespace bmptest;

namespace {

TEST(BmpBitFields, WideAndNarrowSixteenBitMasks) {
  const struct {
    std::vector<uint32_t> Masks;  // red, green, blue
    uint16_t Value;
    int R, G, B;
  } cases[] = {
      {{0x03FF, 0xFC00, 0}, 0x03FF, 255, 0, 0},    // 10-bit red narrows by 2
      {{0x03FF, 0xFC00, 0}, 0x0200, 128, 0, 0},
      {{0x03FF, 0xFC00, 0}, 0xFC00, 0, 255, 0},    // 6-bit green at bit 10
      {{0x8000, 0x7FFF, 0}, 0x8000, 255, 0, 0},    // a one-bit red fills the byte
      {{0x8000, 0x7FFF, 0}, 0x7FFF, 0, 255, 0},    // 15-bit green narrows by 7
      {{0, 0, 0xFFFF}, 0x1234, 0, 0, 0x12},        // 16-bit blue keeps its high byte
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    BmpSpec s;
    s.Width = 1;
    s.Height = 1;
    s.Bits = 16;
    s.Compression = 3;
    s.Masks = c.Masks;
    s.Data = Rows({Bytes({c.Value & 0xFF, c.Value >> 8})});
    Decoded d = DecodeBmp(MakeBmp(s));
    ASSERT_FALSE(d.Aborted);
    EXPECT_EQ(d.Pixel(0, 0).r, c.R);
    EXPECT_EQ(d.Pixel(0, 0).g, c.G);
    EXPECT_EQ(d.Pixel(0, 0).b, c.B);
  }
}

}  // namespace
