// The GIF LZW coder: the code size of 1-bit frames, clear codes past 4096 strings, sub-block
// sizes, the interlace walk both ways, refused code sizes, data without an end code, and the
// codes the decoder cannot decode. The codes are read back by a small walker of our own here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/giflzw.h"
#include "tests/codecs/GifTestSupport.h"

using namespace giftest;

namespace {

// The data bytes of the sub-blocks after the code-size byte; Sizes receives each block's size.
std::string Unblock(const std::string& Lzw, std::vector<int>& Sizes) {
  std::string data;
  for (size_t at = 1; at < Lzw.size();) {
    const int n = uint8_t(Lzw[at]);
    if (n == 0) break;
    Sizes.push_back(n);
    data += Lzw.substr(at + 1, size_t(n));
    at += 1 + size_t(n);
  }
  return data;
}

// The codes of GIF LZW data, the width following the table as GIF decoders do.
std::vector<int> Codes(const std::string& Lzw) {
  std::vector<int> sizes, codes;
  const std::string data = Unblock(Lzw, sizes);
  const int size = uint8_t(Lzw[0]), clear = 1 << size;
  int width = size + 1, next = clear + 2;
  bool first = true;
  size_t bit = 0;
  while (bit + size_t(width) <= data.size() * 8) {
    int code = 0;
    for (int i = 0; i < width; ++i, ++bit) code |= ((uint8_t(data[bit >> 3]) >> (bit & 7)) & 1) << i;
    codes.push_back(code);
    if (code == clear + 1) break;
    if (code == clear) {
      width = size + 1;
      next = clear + 2;
      first = true;
      continue;
    }
    if (!first && next < 4096 && ++next == (1 << width) && width < 12) ++width;
    first = false;
  }
  return codes;
}

// Codes packed least significant bit first into sub-blocks after the code-size byte.
std::string Pack(int Size, const std::vector<std::pair<int, int>>& CodesAndWidths, bool Terminate = true) {
  std::string bytes;
  uint32_t acc = 0;
  int bits = 0;
  for (auto [code, width] : CodesAndWidths) {
    acc |= uint32_t(code) << bits;
    bits += width;
    while (bits >= 8) {
      bytes += char(acc & 0xFF);
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits) bytes += char(acc);
  std::string out(1, char(Size));
  out += char(bytes.size());
  out += bytes;
  if (Terminate) out += '\0';
  return out;
}

std::vector<uint8_t> DecodeLzw(const std::string& Lzw, int W, int H, bool Interlaced, int64_t* Position = nullptr,
                               uint8_t Fill = 0xAB) {
  std::vector<uint8_t> out(size_t(W * H), Fill);
  auto s = StreamOf(Lzw);
  GifLzwDecode(s.get(), H, W, out.data(), Interlaced);
  if (Position) *Position = s->Position();
  return out;
}

TEST(GifLzw, CodeSizesClearsAndSubBlocks) {
  // A 1-bit frame: code size 2, clear 4 first, end 5 last.
  const std::vector<uint8_t> bits = {0, 1, 1, 0, 1, 0, 0, 0, 1, 1, 1, 1};
  const std::string one = LzwData(bits, 4, 3, 1);
  EXPECT_EQ(one[0], 2);
  const std::vector<int> codes = Codes(one);
  EXPECT_EQ(codes.front(), 4);
  EXPECT_EQ(codes.back(), 5);
  EXPECT_EQ(DecodeLzw(one, 4, 3, false), bits);

  // Noise of 256 levels: far more than 4096 strings, so clear codes, and back identically.
  std::vector<uint8_t> noise(300 * 200);
  uint32_t seed = 12345;
  for (uint8_t& v : noise) v = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
  const std::string big = LzwData(noise, 300, 200, 8);
  const std::vector<int> bigCodes = Codes(big);
  EXPECT_GT(std::count(bigCodes.begin() + 1, bigCodes.end(), 256), 3);
  EXPECT_EQ(bigCodes.back(), 257);
  EXPECT_EQ(DecodeLzw(big, 300, 200, false), noise);
  std::vector<int> sizes;
  Unblock(big, sizes);
  EXPECT_EQ(*std::max_element(sizes.begin(), sizes.end()), 254);
  EXPECT_EQ(big.back(), 0);

  // A long run of one value: the strings grow to the table's end as well.
  const std::vector<uint8_t> flat(500 * 400, 7);
  EXPECT_EQ(DecodeLzw(LzwData(flat, 500, 400, 3), 500, 400, false), flat);
}

TEST(GifLzw, InterlacedRowsInPassOrder) {
  const std::vector<uint8_t> order = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  std::vector<uint8_t> rows(10);
  for (int y = 0; y < 10; ++y) rows[size_t(y)] = uint8_t(y);
  // Encoding interlaced writes the rows in pass order ...
  EXPECT_EQ(DecodeLzw(LzwData(rows, 1, 10, 4, true), 1, 10, false), order);
  // ... and decoding interlaced puts the k-th row of the data at row order[k].
  std::vector<uint8_t> placed(10);
  for (int k = 0; k < 10; ++k) placed[order[size_t(k)]] = uint8_t(k);
  EXPECT_EQ(DecodeLzw(LzwData(rows, 1, 10, 4, false), 1, 10, true), placed);
  // Frames of fewer rows than a pass has.
  for (int h : {1, 2, 3, 5}) {
    std::vector<uint8_t> r(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) r[size_t(y)] = uint8_t(y);
    EXPECT_EQ(DecodeLzw(LzwData(r, 1, h, 4, true), 1, h, true), r) << h;
  }
}

TEST(GifLzw, RefusedAndCutData) {
  // A code-size byte of 10 (or 1): the stream stays where it was, and the reader aborts.
  for (char size : {char(10), char(1)}) {
    std::string lzw = LzwData({0, 1, 2, 3}, 2, 2, 2);
    lzw[0] = size;
    int64_t position = -1;
    EXPECT_EQ(DecodeLzw(lzw, 2, 2, false, &position), std::vector<uint8_t>(4, 0xAB));
    EXPECT_EQ(position, 0);
    std::string gif = HandGif(2, 2, {TRGB{}, TRGB{}, TRGB{}, TRGB{}}, 2, {0, 1, 2, 3});
    gif[gif.find(',') + 10] = size;
    EXPECT_TRUE(DecodeGif(gif).Aborted);
  }

  // Sub-blocks that end without an end code (two whole bytes, the last code of 4 bits): the
  // pixels present, the rest as it was.
  const std::string cut = Pack(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 4}});
  const std::vector<uint8_t> present = {1, 2, 3, 1, 0xAB, 0xAB};
  int64_t position = -1;
  EXPECT_EQ(DecodeLzw(cut, 3, 2, false, &position), present);
  EXPECT_EQ(position, int64_t(cut.size()));
  // The same when the stream ends before the terminator.
  EXPECT_EQ(DecodeLzw(cut.substr(0, cut.size() - 1), 3, 2, false), present);

  // Codes the table cannot give: past the next free code, or equal to it with no code before
  // (a stream that does not start with a clear). The pixels so far stay; the stream goes back.
  const struct {
    const char* Name;
    std::string Data;
    std::vector<uint8_t> Pixels;
  } bad[] = {
      {"past the next free code", Pack(2, {{4, 3}, {1, 3}, {7, 3}, {5, 3}}), {1, 0xAB, 0xAB}},
      {"next free with no code before", Pack(2, {{6, 3}, {1, 3}, {5, 3}}), {0xAB, 0xAB, 0xAB}},
      {"an end right after a clear with data behind", Pack(2, {{4, 3}, {5, 3}, {1, 3}, {1, 3}, {1, 3}}),
       {0xAB, 0xAB, 0xAB}},
  };
  for (const auto& b : bad) {
    SCOPED_TRACE(b.Name);
    EXPECT_EQ(DecodeLzw(b.Data, 3, 1, false, &position), b.Pixels);
    EXPECT_EQ(position, 0);
  }
  // Without a clear first, a valid stream still decodes (the table starts as after a clear).
  EXPECT_EQ(DecodeLzw(Pack(2, {{1, 3}, {6, 3}, {5, 3}}), 3, 1, false), (std::vector<uint8_t>{1, 1, 1}));
}

}  // namespace
