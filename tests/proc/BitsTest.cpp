#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/hypxdefs.h"
#include "platform/gdi/Graphics.h"
#include "proc/pixoranproc_bits.h"

namespace {

bool Bit(const uint8_t* p, int i) { return (p[i / 8] & (0x80 >> (i % 8))) != 0; }

TEST(BitsTest, CopyBitsMatchesBitByBitCopyAtEveryAlignment) {
  // CopyBitRun moves one bit at a time: an independent reference for the shifting copy.
  uint32_t seed = 12345;
  auto rnd = [&] { seed = seed * 1103515245u + 12345u; return static_cast<uint8_t>(seed >> 16); };
  std::vector<uint8_t> src(12), dst0(12);
  for (auto& b : src) b = rnd();
  for (auto& b : dst0) b = rnd();
  for (int so = 0; so < 16; ++so)
    for (int dstOff = 0; dstOff < 16; ++dstOff)
      for (int count = 1; count <= 40; count += 3) {
        std::vector<uint8_t> a = dst0, b = dst0;
        CopyBits(a.data(), src.data(), dstOff, so, count, 12);
        CopyBitRun(b.data(), src.data(), dstOff, so, count, 0);
        ASSERT_EQ(a, b) << "src " << so << " dst " << dstOff << " count " << count;
      }
}

TEST(BitsTest, CopyBitsEdges) {
  // 5 bits from source bit 6 to destination bit 3 touch only bits 3..7 of the first byte.
  uint8_t src[2] = {0x03, 0xE0};  // bits 6..10 set
  uint8_t dst[2] = {0xA0, 0x55};
  CopyBits(dst, src, 3, 6, 5, 2);
  EXPECT_EQ(dst[0], 0xBF);
  EXPECT_EQ(dst[1], 0x55);
  // Nothing for empty runs or negative offsets.
  CopyBits(dst, src, -1, 0, 5, 2);
  CopyBits(dst, src, 0, 0, 0, 2);
  EXPECT_EQ(dst[0], 0xBF);
  // The source limit is honoured: bytes past it read as 0.
  uint8_t ones[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  uint8_t out[3] = {0, 0, 0};
  CopyBits(out, ones, 0, 4, 20, 2);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0xF0);
  EXPECT_EQ(out[2], 0x00);
}

TEST(BitsTest, ExpansionTableAndDitherMatrix) {
  EXPECT_EQ(BitExpansionTable[0x80][0], 255);
  EXPECT_EQ(BitExpansionTable[0x80][3], 0);
  EXPECT_EQ(BitExpansionTable[0x01][21], 255);
  // Every Bayer value 0..63 occurs once.
  std::vector<int> seen(64, 0);
  for (auto& row : DitherMatrix)
    for (uint8_t v : row) ++seen[v];
  EXPECT_EQ(seen, std::vector<int>(64, 1));
  uint8_t bits[2] = {0xA5, 0x80};
  uint8_t rgb[30];
  std::memset(rgb, 7, sizeof rgb);
  ExpandBitsTo24(bits, rgb, 9);
  for (int x = 0; x < 9; ++x) EXPECT_EQ(rgb[x * 3 + 1], Bit(bits, x) ? 255 : 0) << x;
  EXPECT_EQ(rgb[27], 7);
}

TEST(BitsTest, PlatformBitmapExchange) {
  TBitmap mono;
  mono.SetPixelFormat(pf1bit);
  mono.SetSize(10, 3);
  for (int y = 0; y < 3; ++y) {
    auto* row = static_cast<uint8_t*>(mono.ScanLine(y));
    row[0] = static_cast<uint8_t>(0x80 >> y);
    row[1] = 0x40;
  }
  TBitmap rgb;
  std::vector<int> reported;
  TPXProgressRecord progress{};
  progress.Event = TPXProgressEvent([&](TObject*, int32_t per) { reported.push_back(per); });
  TBitmapTo24Bit(&mono, &rgb, progress);
  ASSERT_EQ(rgb.PixelFormat(), pf24bit);
  ASSERT_EQ(rgb.Width(), 10);
  for (int y = 0; y < 3; ++y) {
    const auto* row = static_cast<const uint8_t*>(rgb.ScanLine(y));
    for (int x = 0; x < 10; ++x) EXPECT_EQ(row[x * 3 + 2], (x == y || x == 9) ? 255 : 0) << x << "," << y;
  }
  EXPECT_EQ(reported, (std::vector<int>{28, 57, 85}));

  // Copies take the source's format and every row; clones keep the colour table.
  TBitmap copy;
  CopyTBitmapPixels(&mono, &copy);
  EXPECT_EQ(copy.PixelFormat(), pf1bit);
  EXPECT_EQ(copy.Height(), 3);
  EXPECT_EQ(static_cast<uint8_t*>(copy.ScanLine(2))[0], 0x20);
  auto clone = CloneTBitmap(&rgb);
  EXPECT_EQ(clone->PixelFormat(), pf24bit);
  EXPECT_EQ(0, std::memcmp(clone->ScanLine(1), rgb.ScanLine(1), 30));
  TBitmap empty;
  CopyTBitmapPixels(&empty, &copy);
  EXPECT_EQ(copy.Width(), 1);
  EXPECT_EQ(copy.PixelFormat(), empty.PixelFormat());
}

}  // namespace
