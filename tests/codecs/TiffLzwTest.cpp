// The TIFF LZW coder: round trips across clear codes, the code widths at 511, 1023 and 2047 on
// both sides, rows whose strings straddle them, fill order 2, strips that end early or break the
// table, the input bound, and libtiff's strips both ways (with and without predictor, both fill
// orders; ours through tiffcp -c none).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "codecs/tiflzw.h"
#include "tests/codecs/CodecTestSupport.h"
#include "tests/codecs/TiffOracle.h"
#include "tests/common/TestSupport.h"

using namespace codectest;
using namespace tifforacle;

namespace {

constexpr const char* kTiffcp = "/usr/bin/tiffcp";

// Our encoding of Data, handed over in pieces of Piece bytes.
std::string Encode(const std::string& Data, size_t Piece = 1000) {
  TMemoryStream s;
  void* state = nullptr;
  const auto* p = reinterpret_cast<const uint8_t*>(Data.data());
  TiffLzwEncode(p, 0, &s, state);
  for (size_t at = 0; at < Data.size(); at += Piece)
    TiffLzwEncode(p + at, int32_t(std::min(Piece, Data.size() - at)), &s, state);
  TiffLzwEncode(nullptr, 0, &s, state);
  EXPECT_EQ(state, nullptr);
  return BytesOf(s);
}

// Rows of RowBytes decoded from Strip until Count bytes came; a nil answer ends early.
std::string Decode(const std::string& Strip, int32_t RowBytes, size_t Count, int32_t FillOrder = 1,
                   int* NilAfter = nullptr) {
  std::vector<uint8_t> exact(Strip.begin(), Strip.end());  // no byte beyond the strip to read
  void* state = nullptr;
  std::string out;
  int calls = 0;
  while (out.size() < Count) {
    const uint8_t* row = TiffLzwDecode(exact.data(), int64_t(exact.size()), RowBytes, state, FillOrder);
    if (!row) {
      if (NilAfter) *NilAfter = calls;
      break;
    }
    out.append(reinterpret_cast<const char*>(row), size_t(RowBytes));
    ++calls;
  }
  TiffLzwDecode(nullptr, 0, 0, state, FillOrder);
  EXPECT_EQ(state, nullptr);
  return out.substr(0, std::min(out.size(), Count));
}

// Codes packed most significant bit first, then zero bits to the byte.
std::string Pack(const std::vector<std::pair<int, int>>& CodesAndWidths) {
  std::string out;
  uint64_t acc = 0;
  int bits = 0;
  for (auto [code, width] : CodesAndWidths) {
    acc = acc << width | uint64_t(code);
    bits += width;
    while (bits >= 8) out += char(acc >> (bits -= 8));
  }
  if (bits) out += char(acc << (8 - bits));
  return out;
}

// The code widths of a strip with a new string after every code: code N of the table is written
// at 9 bits up to 511, at 10 up to 1023, at 11 up to 2047, then at 12.
int WidthAt(int Next) { return 9 + (Next > 511) + (Next > 1023) + (Next > 2047); }

// Bytes in which no two neighbours repeat a pair: every code is a single byte.
std::string DistinctPairs(size_t Count) {
  std::set<std::pair<int, int>> used;
  std::string s(1, '\0');
  while (s.size() < Count) {
    const int prev = uint8_t(s.back());
    // The largest byte not yet after this one: the sequence runs through all 65536 pairs.
    int b = 255;
    while (b >= 0 && used.count({prev, b})) --b;
    if (b < 0) break;
    used.insert({prev, b});
    s += char(b);
  }
  return s;
}

std::string Noise(size_t N, uint32_t Seed) {
  std::string s(N, '\0');
  for (size_t i = 0; i < N; ++i) {
    Seed = Seed * 1103515245 + 12345;
    // Runs and noise mixed, so strings of every length occur.
    s[i] = (i / 700) % 2 ? char(Seed >> 24) : char((i / 5) % 7);
  }
  return s;
}

std::string Reversed(std::string S) {
  for (char& c : S) {
    uint8_t b = uint8_t(c), r = 0;
    for (int i = 0; i < 8; ++i) r = uint8_t(r | ((b >> i) & 1) << (7 - i));
    c = char(r);
  }
  return S;
}

TEST(TiffLzw, RoundTripsAcrossClearCodes) {
  const std::string data = Noise(90000, 7);
  for (size_t piece : {size_t(1), size_t(333), size_t(90000)}) {
    const std::string strip = Encode(data, piece);
    EXPECT_EQ(Decode(strip, 777, data.size()), data) << piece;
  }
  // Several clear codes: the encoder clears at 4094, so 90000 bytes of this need some.
  const std::string strip = Encode(data);
  size_t clears = 0;
  for (size_t bit = 0, width = 9, next = 258, first = 1; bit + width <= strip.size() * 8;) {
    int code = 0;
    for (size_t i = 0; i < width; ++i, ++bit) code = code << 1 | ((uint8_t(strip[bit >> 3]) >> (7 - (bit & 7))) & 1);
    if (code == 257) break;
    if (code == 256) {
      ++clears, width = 9, next = 258, first = 1;
      continue;
    }
    if (!first && (++next == 511 || next == 1023 || next == 2047)) ++width;
    first = 0;
  }
  EXPECT_GE(clears, 3u);
  // A strip of no bytes: a clear and an end code.
  EXPECT_EQ(Encode(""), std::string("\x80\x40\x40", 3));
  EXPECT_EQ(Decode(std::string("\x80\x40\x40", 3), 4, 4), std::string(4, '\0'));
}

TEST(TiffLzw, WidthsChangeOneCodeEarlyOnBothSides) {
  const std::string data = DistinctPairs(2300);
  std::vector<std::pair<int, int>> codes = {{256, 9}};
  for (size_t i = 0; i < data.size(); ++i) codes.push_back({uint8_t(data[i]), WidthAt(258 + int(i))});
  codes.push_back({257, WidthAt(258 + int(data.size()))});
  const std::string expected = Pack(codes);
  // The first code of 10 bits follows the clear and 254 codes of 9; 11 and 12 bits follow.
  EXPECT_EQ(WidthAt(258 + 253), 9);
  EXPECT_EQ(WidthAt(258 + 254), 10);
  EXPECT_EQ(WidthAt(1023), 10);
  EXPECT_EQ(WidthAt(1024), 11);
  EXPECT_EQ(WidthAt(2048), 12);
  ASSERT_EQ(data.size(), 2300u);
  EXPECT_TRUE(Encode(data) == expected);
  EXPECT_TRUE(Decode(expected, 100, data.size()) == data);
}

TEST(TiffLzw, RowsFillOrderAndEarlyEnds) {
  // Strings that straddle rows of 7 bytes keep their bytes for the next row.
  std::string abc;
  for (int i = 0; i < 5000; ++i) abc += char('A' + i % 3);
  const std::string strip = Encode(abc);
  EXPECT_EQ(Decode(strip, 7, abc.size()), abc);
  // Fill order 2: the same bytes from the bit-reversed strip.
  EXPECT_EQ(Decode(Reversed(strip), 7, abc.size(), 2), abc);

  // A code past the next free one ends the strip; the rows returned stay, the rest reads 0.
  const std::string cut = Pack({{256, 9}, {'A', 9}, {'B', 9}, {'C', 9}, {400, 9}, {'D', 9}, {257, 9}});
  std::vector<uint8_t> bytes(cut.begin(), cut.end());
  void* state = nullptr;
  const uint8_t* first = TiffLzwDecode(bytes.data(), int64_t(bytes.size()), 2, state, 1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(first), 2), "AB");
  const uint8_t* second = TiffLzwDecode(bytes.data(), int64_t(bytes.size()), 2, state, 1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(second), 2), std::string("C\0", 2));
  const uint8_t* third = TiffLzwDecode(bytes.data(), int64_t(bytes.size()), 2, state, 1);
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(third), 2), std::string(2, '\0'));
  TiffLzwDecode(nullptr, 0, 0, state, 1);

  // No end code, and the strip bounded by its size: the codes there, then zeros.
  EXPECT_EQ(Decode(Pack({{256, 9}, {'x', 9}, {'y', 9}, {258, 9}}), 6, 6), std::string("xyxy\0\0", 6));
  // No clear first: decoded as if one came.
  EXPECT_EQ(Decode(Pack({{'p', 9}, {'q', 9}, {258, 9}, {257, 9}}), 4, 4), "pqpq");
}

TEST(TiffLzw, CorruptTablesAnswerNil) {
  int nilAfter = -1;
  // After a clear, a first code the table does not hold.
  Decode(Pack({{256, 9}, {300, 9}, {257, 9}}), 4, 4, 1, &nilAfter);
  EXPECT_EQ(nilAfter, 0);
  // More than 4096 strings without a clear.
  std::vector<std::pair<int, int>> codes = {{256, 9}};
  for (int i = 0; i < 4000; ++i) codes.push_back({i % 256, WidthAt(258 + i)});
  nilAfter = -1;
  const std::string decoded = Decode(Pack(codes), 1000, 8000, 1, &nilAfter);
  EXPECT_EQ(nilAfter, 3);
  EXPECT_EQ(decoded.size(), 3000u);
}

TEST(TiffLzw, LibtiffStripsBothWays) {
  if (!ToolExists(kTiffcp)) GTEST_SKIP() << "tiffcp missing";
  TestTempDir dir;
  TiffSpec source;
  source.Width = 97;
  source.Height = 61;
  source.Samples = 3;
  source.Photometric = PHOTOMETRIC_RGB;
  source.RowsPerStrip = 16;
  std::vector<std::string> rows;
  std::string all;
  for (int y = 0; y < source.Height; ++y) {
    std::string row;
    for (int x = 0; x < source.Width; ++x)
      row += {char(x * 2 + y), char(y * 4), char((x * y) % 7 == 0 ? 255 : x ^ y)};
    rows.push_back(row);
    all += row;
  }
  ASSERT_TRUE(WriteTiff(dir.File("plain.tif"), source, rows));

  const std::vector<std::vector<std::string>> variants = {
      {"-c", "lzw"}, {"-c", "lzw:2"}, {"-c", "lzw", "-f", "lsb2msb"}, {"-c", "lzw:2", "-f", "lsb2msb"}};
  for (const auto& options : variants) {
    std::vector<std::string> argv = {kTiffcp};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {dir.File("plain.tif"), dir.File("lzw.tif")});
    SCOPED_TRACE(argv[2] + (options.size() > 2 ? " lsb2msb" : ""));
    ASSERT_EQ(RunTool(argv, dir.File("tiffcp.log")), 0);
    TiffContent c;
    ASSERT_TRUE(ReadTiff(dir.File("lzw.tif"), c));
    ASSERT_EQ(c.Spec.Compression, COMPRESSION_LZW);
    for (size_t s = 0; s < c.RawStrips.size(); ++s) {
      const std::string& want = c.DecodedStrips[s];
      std::string ours = Decode(c.RawStrips[s], int32_t(want.size()), want.size(), c.Spec.FillOrder);
      if (c.Spec.Predictor == 2) {  // undo the horizontal differences
        const size_t rowBytes = size_t(c.Spec.Width) * 3;
        for (size_t at = 0; at < ours.size(); ++at)
          if (at % rowBytes >= 3) ours[at] = char(ours[at] + ours[at - 3]);
      }
      EXPECT_EQ(ours, want) << s;
    }
  }

  // Ours, as the only strip of a TIFF, back through tiffcp -c none.
  TiffSpec lzw = source;
  lzw.Compression = COMPRESSION_LZW;
  ASSERT_TRUE(WriteRawTiff(dir.File("ours.tif"), lzw, Encode(all)));
  ASSERT_EQ(RunTool({kTiffcp, "-c", "none", dir.File("ours.tif"), dir.File("back.tif")}, dir.File("tiffcp.log")), 0);
  TiffContent back;
  ASSERT_TRUE(ReadTiff(dir.File("back.tif"), back));
  std::string joined;
  for (const std::string& s : back.RawStrips) joined += s;
  EXPECT_EQ(joined, all);
}

}  // namespace
