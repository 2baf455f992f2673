// The lossless JPEG decoder on frames built from bytes: table order and sharing, category 16,
// wrapping sums, streams it leaves alone and the bounds it keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codecs/pxdicom_ljpeg.h"
#include "tests/codecs/CodecTestSupport.h"

using namespace codectest;

namespace {

// A frame: start of frame (lossless unless Marker says otherwise), one table per entry of Tables
// (identifier, then values of 3-bit codes), a scan with the given table selectors, and Bits as
// entropy data (padded with ones, FF stuffed). With a restart interval, each "|" in Bits ends an
// interval: the bits are padded and the next restart marker follows.
std::string Frame(int Precision, int Lines, int Columns, int Components, const std::vector<std::vector<int>>& Tables,
                  const std::vector<int>& Selectors, int Predictor, int PointTransform, const std::string& Bits,
                  int Marker = 0xC3, int RestartInterval = 0) {
  std::string s = "\xFF\xD8";
  const auto u16 = [&](int v) { s += {char(v >> 8), char(v & 0xFF)}; };
  s += {'\xFF', char(Marker)};
  u16(8 + 3 * Components);
  s += char(Precision);
  u16(Lines);
  u16(Columns);
  s += char(Components);
  for (int c = 0; c < Components; ++c) s += {char(c + 1), '\x11', '\0'};
  for (const auto& t : Tables) {
    s += "\xFF\xC4";
    u16(2 + 17 + int(t.size()) - 1);
    s += char(t[0]);
    for (int len = 1; len <= 16; ++len) s += char(len == 3 ? int(t.size()) - 1 : 0);
    for (size_t i = 1; i < t.size(); ++i) s += char(t[i]);
  }
  if (RestartInterval > 0) {
    s += "\xFF\xDD";
    u16(4);
    u16(RestartInterval);
  }
  s += "\xFF\xDA";
  u16(6 + 2 * Components);
  s += char(Components);
  for (int c = 0; c < Components; ++c) s += {char(c + 1), char(Selectors[size_t(c)] << 4)};
  s += {char(Predictor), '\0', char(PointTransform)};
  int restart = 0;
  for (size_t from = 0; from <= Bits.size();) {
    const size_t bar = std::min(Bits.find('|', from), Bits.size());
    std::string bits = Bits.substr(from, bar - from);
    while (bits.size() % 8) bits += '1';
    for (size_t i = 0; i < bits.size(); i += 8) {
      const auto b = char(std::stoi(bits.substr(i, 8), nullptr, 2));
      s += b;
      if (b == '\xFF') s += '\0';
    }
    if (bar < Bits.size()) s += {'\xFF', char(0xD0 + (restart++ & 7))};
    from = bar + 1;
  }
  s += "\xFF\xD9";
  return s;
}

// Values 0, 1, 4, 7, 16 with the codes 000, 001, 010, 011, 100.
const std::vector<int> kTable = {0, 0, 1, 4, 7, 16};

std::vector<int> Decode8(const std::string& Data, size_t Samples, bool* Ok = nullptr) {
  std::vector<uint8_t> out(Samples, 0xAA);
  auto s = StreamOf(Data);
  const bool ok = DecodeLosslessJpeg(s.get(), nullptr, out.data(), int64_t(out.size()), TPXProgressEvent(), nullptr,
                                     int64_t(Data.size()));
  if (Ok) *Ok = ok;
  return {out.begin(), out.end()};
}

TEST(LosslessJpeg, TablesCategoriesAndWrapping) {
  // One table (identifier 0) serves three components: 128 each, then 129 each.
  EXPECT_EQ(Decode8(Frame(8, 1, 2, 3, {kTable}, {0, 0, 0}, 1, 0, "000000000" "0011" "0011" "0011"), 6),
            (std::vector<int>{128, 128, 128, 129, 129, 129}));
  // Tables defined with identifiers 1 and 0 are the first and second; components take them in
  // that order whatever the scan selects.
  EXPECT_EQ(Decode8(Frame(8, 1, 1, 2, {{1, 0}, {0, 1}}, {0, 1}, 1, 0, "000" "0011"), 2),
            (std::vector<int>{128, 129}));
  // 250 + 10 wraps to 4.
  EXPECT_EQ(Decode8(Frame(8, 1, 2, 1, {kTable}, {0}, 1, 0, "011" "1111010" "010" "1010"), 2),
            (std::vector<int>{250, 4}));
  // Category 16 adds 32768 (the prediction is 2^(16 - 1 - 1) with a point transform of 1).
  {
    const std::string f = Frame(16, 1, 1, 1, {kTable}, {0}, 1, 1, "100");
    std::vector<uint16_t> out(1);
    auto s = StreamOf(f);
    ASSERT_TRUE(DecodeLosslessJpeg(s.get(), out.data(), nullptr, 1, TPXProgressEvent(), nullptr, int64_t(f.size())));
    EXPECT_EQ(out[0], 16384 + 32768);
  }
  // Predictors of the second row: Ra + Rb - Rc over a 2 x 2 frame.
  EXPECT_EQ(Decode8(Frame(8, 2, 2, 1, {kTable}, {0}, 4, 0, "000" "0011" "0011" "000"), 4),
            (std::vector<int>{128, 129, 129, 130}));
}

TEST(LosslessJpeg, RestartIntervalsResetThePrediction) {
  // One row per interval: after each restart marker the row starts again from 2^(P - 1), as the
  // first row of the scan does, and takes its left neighbours only. Without the reset the
  // second row would start from the sample above (129) instead of 128.
  EXPECT_EQ(Decode8(Frame(8, 3, 2, 1, {kTable}, {0}, 1, 0, "0011" "0011|" "000" "0011|" "010" "1100" "0011", 0xC3, 2), 6),
            (std::vector<int>{129, 130, 128, 129, 140, 141}));
  // Intervals of two rows (predictor 2, the sample above): the first row of each interval takes
  // its left neighbours, the second row those above it.
  EXPECT_EQ(Decode8(Frame(8, 4, 2, 1, {kTable}, {0}, 2, 0, "0011" "0011" "0011" "0011|" "000" "000" "0011" "0011",
                          0xC3, 4),
                    8),
            (std::vector<int>{129, 130, 130, 131, 128, 128, 129, 129}));
}

TEST(LosslessJpeg, StreamsLeftAloneAndBounds) {
  bool ok = false;
  // A baseline frame answers True and writes nothing.
  EXPECT_EQ(Decode8(Frame(8, 1, 2, 1, {kTable}, {0}, 1, 0, "000000", 0xC0), 2, &ok), (std::vector<int>{0xAA, 0xAA}));
  EXPECT_TRUE(ok);
  const std::string good = Frame(8, 1, 2, 1, {kTable}, {0}, 1, 0, "000000");
  Decode8(good, 2, &ok);
  EXPECT_TRUE(ok);
  // Fewer than 32 bytes, a frame larger than the buffer, a fifth table, no table: False.
  Decode8(good.substr(0, 31), 2, &ok);
  EXPECT_FALSE(ok);
  Decode8(good, 1, &ok);
  EXPECT_FALSE(ok);
  Decode8(Frame(8, 1, 2, 1, {kTable, kTable, kTable, kTable, kTable}, {0}, 1, 0, "000000"), 2, &ok);
  EXPECT_FALSE(ok);
  Decode8(Frame(8, 1, 2, 1, {}, {0}, 1, 0, "000000" + std::string(200, '0')), 2, &ok);
  EXPECT_FALSE(ok);
}

}  // namespace
