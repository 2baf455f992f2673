// The CCITT coder: run codes, the Group 4 ending, fill bits, premature EOLs, data that ends in
// a row, the lookups, the clipped runs of vertical and uncompressed modes, and libtiff's strips
// both ways (Modified Huffman, Group 3 one- and two-dimensional with and without fill, Group 4,
// both fill orders).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/tifccitt.h"
#include "tests/codecs/CodecTestSupport.h"
#include "tests/codecs/TiffOracle.h"
#include "tests/common/TestSupport.h"

using namespace codectest;
using namespace tifforacle;

namespace {

// The bits of bytes as '0' and '1', most significant first.
std::string BitsOf(const std::string& Bytes, int PartialBits = 0, uint8_t PartialByte = 0) {
  std::string s;
  for (char c : Bytes)
    for (int i = 7; i >= 0; --i) s += (uint8_t(c) >> i) & 1 ? '1' : '0';
  for (int i = 0; i < PartialBits; ++i) s += (PartialByte >> (7 - i)) & 1 ? '1' : '0';
  return s;
}

// Bytes of a string of '0' and '1', padded with zeros.
std::string BytesOf(const std::string& Bits) {
  std::string out((Bits.size() + 7) / 8, '\0');
  for (size_t i = 0; i < Bits.size(); ++i)
    if (Bits[i] == '1') out[i / 8] = char(out[i / 8] | (0x80 >> (i % 8)));
  return out;
}

std::string Code(const TCcittCode& C) {
  std::string s;
  for (int i = C.Length - 1; i >= 0; --i) s += (C.Value >> i) & 1 ? '1' : '0';
  return s;
}

// An encoder row (set bits black) of W pixels from a string of '.' white and '#' black.
std::string Row(const std::string& Pixels) {
  std::string r((Pixels.size() + 7) / 8, '\0');
  for (size_t i = 0; i < Pixels.size(); ++i)
    if (Pixels[i] == '#') r[i / 8] = char(r[i / 8] | (0x80 >> (i % 8)));
  return r;
}

// A decoded row (set bits white) as '.' and '#'.
std::string Pixels(const std::vector<uint8_t>& Row, int W) {
  std::string s;
  for (int x = 0; x < W; ++x) s += (Row[size_t(x / 8)] >> (7 - x % 8)) & 1 ? '.' : '#';
  return s;
}

const std::string kEol = "000000000001";

uint8_t Reverse(uint8_t B) {
  uint8_t v = 0;
  for (int i = 0; i < 8; ++i) v = uint8_t(v | ((B >> i) & 1) << (7 - i));
  return v;
}

// Black-and-white rows of a page-like pattern: bars, dots and a diagonal.
std::vector<std::string> Page(int W, int H) {
  std::vector<std::string> rows;
  for (int y = 0; y < H; ++y) {
    std::string p(size_t(W), '.');
    for (int x = 0; x < W; ++x)
      if ((y / 4) % 3 == 0 ? (x / 9) % 2 == 0 : (y % 7 == 1 && x % 5 == 0) || x == (y * 3) % W || x > W - 3)
        p[size_t(x)] = '#';
    if (y == 5) p.assign(size_t(W), '#');
    rows.push_back(p);
  }
  return rows;
}

enum class TScheme { MH, G3_1D, G3_2D, G4 };

// Our encoding of the rows (set bits black) as one strip.
std::string EncodeStrip(const std::vector<std::string>& Rows, int W, TScheme Scheme, int FillOrder, bool Fill = false) {
  TMemoryStream s;
  TPXAbortFlag abort{false};
  uint8_t partial = 0;
  int32_t bits = 0;
  std::vector<uint8_t> ref;
  for (const std::string& pixels : Rows) {
    const std::string r = Row(pixels);
    const auto* p = reinterpret_cast<const uint8_t*>(r.data());
    switch (Scheme) {
      case TScheme::MH:
        EncodeCcittMHRow(p, W, &s, abort, FillOrder);
        break;
      case TScheme::G3_1D: {
        // An EOL before the row, through the carried byte, in the fill order of the strip.
        const std::string eol = BitsOf("", bits, partial) + kEol;
        std::string whole = BytesOf(eol.substr(0, eol.size() / 8 * 8));
        bits = int32_t(eol.size() % 8);
        partial = uint8_t(BytesOf(eol.substr(eol.size() / 8 * 8) + "0")[0]);
        if (FillOrder == 2)
          for (char& c : whole) c = char(Reverse(uint8_t(c)));
        s.WriteBuffer(whole.data(), int64_t(whole.size()));
        EncodeCcittG3Row1D(p, W, &s, partial, bits, abort, FillOrder);
        break;
      }
      case TScheme::G3_2D:
        EncodeCcittG3Row(p, W, &s, partial, bits, ref, abort, FillOrder);
        break;
      case TScheme::G4:
        EncodeCcittG4Row(p, W, &s, partial, bits, ref, abort, FillOrder);
        break;
    }
    if (Fill && bits > 0) {  // fill bits up to the byte before the next EOL
      const uint8_t b = FillOrder == 2 ? Reverse(partial) : partial;
      s.WriteBuffer(&b, 1);
      bits = 0;
      partial = 0;
    }
  }
  if (Scheme == TScheme::G3_1D) EncodeCcittG3Row1D(nullptr, W, &s, partial, bits, abort, FillOrder);
  if (Scheme == TScheme::G3_2D) EncodeCcittG3Row(nullptr, W, &s, partial, bits, ref, abort, FillOrder);
  if (Scheme == TScheme::G4) EncodeCcittG4Row(nullptr, W, &s, partial, bits, ref, abort, FillOrder);
  EXPECT_FALSE(abort);
  EXPECT_EQ(bits, 0);
  return codectest::BytesOf(s);
}

// Our decoding of a strip of H rows, as '.' and '#' rows.
std::vector<std::string> DecodeStrip(const std::string& Strip, int W, int H, TScheme Scheme, int FillOrder,
                                     bool FillBits) {
  std::vector<uint8_t> data(Strip.begin(), Strip.end());
  std::vector<uint8_t> row(size_t(W + 7) / 8), ref(row.size(), 0xFF);
  std::vector<std::string> rows;
  int64_t pos = 0;
  for (int y = 0; y < H; ++y) {
    switch (Scheme) {
      case TScheme::MH: {
        const int64_t used = CcittDecodeMHRowBytes(row.data(), data.data() + pos, int64_t(data.size()) - pos, W,
                                                   FillOrder);
        pos += used;
        break;
      }
      case TScheme::G3_1D:
        pos = CcittDecodeMHRow(row.data(), data.data(), int64_t(data.size()), W, pos, FillOrder);
        break;
      case TScheme::G3_2D:
      case TScheme::G4:
        pos = CcittDecode(row.data(), data.data(), int64_t(data.size()), W, ref.data(), pos, FillOrder, FillBits);
        break;
    }
    rows.push_back(Pixels(row, W));
  }
  return rows;
}

TEST(Ccitt, RunCodesAndStripEndings) {
  TPXAbortFlag abort{false};
  uint8_t partial = 0;
  int32_t bits = 0;
  // 3000 white pixels: make-up 2560, make-up 384, terminating 56.
  {
    TMemoryStream s;
    const std::string white(375, '\0');
    EncodeCcittG3Row1D(reinterpret_cast<const uint8_t*>(white.data()), 3000, &s, partial, bits, abort, 1);
    EXPECT_EQ(BitsOf(codectest::BytesOf(s), bits, partial),
              Code(CcittWhiteCodes[103]) + Code(CcittWhiteCodes[69]) + Code(CcittWhiteCodes[56]));
    EXPECT_EQ(Code(CcittWhiteCodes[103]), "000000011111");
    EXPECT_EQ(Code(CcittWhiteCodes[69]), "00110111");
    EXPECT_EQ(Code(CcittWhiteCodes[56]), "01011001");
  }
  // A row that starts black: a white run of 0 first; Row nil writes the partial byte.
  {
    TMemoryStream s;
    partial = 0;
    bits = 0;
    const std::string r = Row("#.......");
    EncodeCcittG3Row1D(reinterpret_cast<const uint8_t*>(r.data()), 8, &s, partial, bits, abort, 1);
    EncodeCcittG3Row1D(nullptr, 8, &s, partial, bits, abort, 1);
    EXPECT_EQ(bits, 0);
    EXPECT_EQ(codectest::BytesOf(s), BytesOf("00110101" "010" "1111"));
  }
  // A Group 4 strip of white rows: one V0 per row, two EOLs, then zeros to the byte.
  EXPECT_EQ(EncodeStrip({std::string(16, '.'), std::string(16, '.'), std::string(16, '.')}, 16, TScheme::G4, 1),
            BytesOf("111" + kEol + kEol));
  // Modified Huffman rows each start on a byte.
  EXPECT_EQ(EncodeStrip({"##..", "...."}, 4, TScheme::MH, 1), BytesOf("00110101" "11" "0111") + BytesOf("1011"));
  // Fill order 2 stores each byte's bits the other way round.
  EXPECT_EQ(EncodeStrip({"##.."}, 4, TScheme::MH, 2), BytesOf("10101100" "00111011"));

  EXPECT_FALSE(abort);
}

TEST(Ccitt, LookupsAndRowDecoding) {
  const std::string data = BytesOf("0111" "11011" + std::string(32, '0'));
  const auto* d = reinterpret_cast<const uint8_t*>(data.data());
  EXPECT_EQ(CcittLookupCode(d, int64_t(data.size()), 0, 1, 0), 2);     // white 2
  EXPECT_EQ(CcittLookupCode(d, int64_t(data.size()), 4, 1, 0), 64);    // white make-up 64
  EXPECT_EQ(CcittLookupCode(d, int64_t(data.size()), 1, 1, 1), 2);     // black 2: "11"
  EXPECT_EQ(CcittLookupCode(d, int64_t(data.size()), 9, 1, 0), 128);   // 32 zeros
  EXPECT_EQ(CcittLookupCode(d, int64_t(data.size()), 99, 1, 0), 127);  // past the data
  const std::string eol = BytesOf("000" + kEol);
  EXPECT_EQ(CcittLookupCode(reinterpret_cast<const uint8_t*>(eol.data()), 2, 0, 1, 1), 110);  // EOL after 3 zeros

  // A Group 3 two-dimensional strip with one-dimensional rows and a premature EOL: row 2 ends
  // at the EOL and row 3 starts with it. White 10, black 5, white 17; white 4 then the EOL.
  const int w = 32;
  const std::string strip = BytesOf(kEol + "1" + "00111" "0011" "101011" + kEol + "1" + "1011" + kEol + "1" +
                                    "00011011");
  const std::vector<std::string> rows = DecodeStrip(strip, w, 3, TScheme::G3_2D, 1, false);
  EXPECT_EQ(rows[0], std::string(10, '.') + std::string(5, '#') + std::string(17, '.'));
  EXPECT_EQ(rows[1], std::string(4, '.') + std::string(28, '#'));
  EXPECT_EQ(rows[2], std::string(32, '.'));

  // Data that ends inside a row: the row with the codes read, white after them.
  const std::string cut = BytesOf("00111" "0011");
  std::vector<uint8_t> row(4);
  CcittDecodeMHRow(row.data(), reinterpret_cast<const uint8_t*>(cut.data()), int64_t(cut.size()), w, 0, 1);
  EXPECT_EQ(Pixels(row, w), std::string(10, '.') + std::string(5, '#') + std::string(17, '.'));

  // Fill bits before the EOLs: the same rows with FillBits set.
  const std::vector<std::string> page = Page(45, 20);
  const std::string plain = EncodeStrip(page, 45, TScheme::G3_2D, 1);
  const std::string filled = EncodeStrip(page, 45, TScheme::G3_2D, 1, true);
  EXPECT_GT(filled.size(), plain.size());
  EXPECT_EQ(DecodeStrip(plain, 45, 20, TScheme::G3_2D, 1, true), page);
  EXPECT_EQ(DecodeStrip(filled, 45, 20, TScheme::G3_2D, 1, true), page);
  EXPECT_EQ(DecodeStrip(plain, 45, 20, TScheme::G3_2D, 1, false), page);
}

TEST(Ccitt, RunsAreClippedToTheRow) {
  // Vertical: V0 onto the black pixel 7 of the reference row, then VR3 to 11 of 8 pixels.
  std::vector<uint8_t> row(1), ref = {0xFE};
  const std::string v = BytesOf("1" "0000011");
  std::vector<uint8_t> data(v.begin(), v.end());
  CcittDecode(row.data(), data.data(), int64_t(data.size()), 8, ref.data(), 0, 1, false);
  EXPECT_EQ(row[0], 0xFE);
  EXPECT_EQ(ref[0], 0xFE);
  // Uncompressed mode: five white, then four white and a black pixel at 9 of 8.
  std::vector<uint8_t> white = {0xFF};
  const std::string u = BytesOf("0000001111" "000001" "00001");
  std::vector<uint8_t> udata(u.begin(), u.end());
  CcittDecode(row.data(), udata.data(), int64_t(udata.size()), 8, white.data(), 0, 1, false);
  EXPECT_EQ(row[0], 0xFF);
  // A lone black pixel inside the row is kept.
  const std::string one = BytesOf("0000001111" "0001");
  std::vector<uint8_t> odata(one.begin(), one.end());
  white = {0xFF};
  CcittDecode(row.data(), odata.data(), int64_t(odata.size()), 8, white.data(), 0, 1, false);
  EXPECT_EQ(row[0], 0xEF);
}

TEST(Ccitt, LibtiffStripsBothWays) {
  TestTempDir dir;
  const int w = 2650, h = 40;  // wide enough for the extended make-up codes
  const std::vector<std::string> page = Page(w, h);
  std::vector<std::string> packed;
  for (const std::string& p : page) packed.push_back(Row(p));
  const struct {
    const char* Name;
    int Compression;
    int T4Options;
    TScheme Scheme;
    const char* Tiffcp;  // tiffcp's option for libtiff's strip; none: written through the library
  } kinds[] = {
      {"Modified Huffman", COMPRESSION_CCITTRLE, -1, TScheme::MH, nullptr},
      {"Group 3 1D", COMPRESSION_CCITTFAX3, 0, TScheme::G3_1D, "g3"},
      {"Group 3 1D fill", COMPRESSION_CCITTFAX3, 4, TScheme::G3_1D, "g3:fill"},
      {"Group 3 2D", COMPRESSION_CCITTFAX3, 1, TScheme::G3_2D, "g3:2d"},
      {"Group 3 2D fill", COMPRESSION_CCITTFAX3, 5, TScheme::G3_2D, "g3:2d:fill"},
      {"Group 4", COMPRESSION_CCITTFAX4, -1, TScheme::G4, "g4"},
  };
  TiffSpec plain;
  plain.Width = w;
  plain.Height = h;
  plain.Bits = 1;
  plain.Photometric = PHOTOMETRIC_MINISWHITE;
  ASSERT_TRUE(WriteTiff(dir.File("plain.tif"), plain, packed));
  const bool haveTiffcp = ToolExists("/usr/bin/tiffcp");
  for (const auto& k : kinds)
    for (int fillOrder : {1, 2}) {
      SCOPED_TRACE(std::string(k.Name) + " fill order " + std::to_string(fillOrder));
      TiffSpec spec = plain;
      spec.Compression = k.Compression;
      spec.T4Options = k.T4Options;
      spec.FillOrder = fillOrder;
      // libtiff's strip, decoded by us.
      if (k.Tiffcp && haveTiffcp) {
        std::vector<std::string> argv = {"/usr/bin/tiffcp", "-c", k.Tiffcp};
        if (fillOrder == 2) argv.insert(argv.end(), {"-f", "lsb2msb"});
        argv.insert(argv.end(), {"-r", std::to_string(h), dir.File("plain.tif"), dir.File("lib.tif")});
        ASSERT_EQ(RunTool(argv, dir.File("tiffcp.log")), 0);
      } else {
        ASSERT_TRUE(WriteTiff(dir.File("lib.tif"), spec, packed));
      }
      TiffContent lib;
      ASSERT_TRUE(ReadTiff(dir.File("lib.tif"), lib));
      ASSERT_EQ(lib.RawStrips.size(), 1u);
      ASSERT_EQ(lib.Spec.Compression, k.Compression);
      ASSERT_EQ(lib.Spec.FillOrder, fillOrder);
      if (k.T4Options >= 0) {
        ASSERT_EQ(lib.Spec.T4Options, k.T4Options);
      }
      const bool fillBits = k.T4Options >= 0 && (k.T4Options & 4);
      EXPECT_EQ(DecodeStrip(lib.RawStrips[0], w, h, k.Scheme, fillOrder, fillBits), page);
      // Our strip, read by libtiff (set bits black in both).
      ASSERT_TRUE(WriteRawTiff(dir.File("ours.tif"), spec,
                               EncodeStrip(page, w, k.Scheme, fillOrder, fillBits && k.Scheme != TScheme::MH)));
      TiffContent ours;
      ASSERT_TRUE(ReadTiff(dir.File("ours.tif"), ours));
      ASSERT_EQ(ours.Rows.size(), size_t(h));
      for (int y = 0; y < h; ++y) EXPECT_EQ(ours.Rows[size_t(y)], packed[size_t(y)]) << y;
    }
}

}  // namespace
