// The shared helpers: value helpers, the progress rule, geometry, bits, text conversion and the
// stream fields with their checks against bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/hypxutils.h"
#include "tests/common/TestSupport.h"

namespace {

std::vector<uint8_t> Bytes(TMemoryStream& s) {
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

TEST(Utils, ClampAndMinMax) {
  struct Case {
    int32_t v, lo, hi, expected;
  };
  for (const Case& c : {Case{5, 10, 0, 10}, Case{5, 0, 10, 5}, Case{10, 0, 10, 10}, Case{-3, 0, 10, 0}})
    EXPECT_EQ(ClampInt(c.v, c.lo, c.hi), c.expected) << c.v << " " << c.lo << " " << c.hi;
  EXPECT_EQ(ClampWord(70000), 65535);
  EXPECT_EQ(ClampWord(-1), 0);
  EXPECT_EQ(ClampByte(256), 255);
  EXPECT_EQ(IntMax(3, 3), 3);
  EXPECT_EQ(UInt64Min(0x8000000000000000ull, 1), 1u);
}

TEST(Utils, ColourPacking) {
  const uint32_t v = CreateRGBA(1, 2, 3, 4);
  const auto* b = reinterpret_cast<const uint8_t*>(&v);
  EXPECT_EQ(b[0], 3);
  EXPECT_EQ(b[1], 2);
  EXPECT_EQ(b[2], 1);
  EXPECT_EQ(b[3], 4);
  EXPECT_EQ(TColorToRGB(clBtnFace), (TRGB{200, 208, 212}));
  EXPECT_EQ(TColorToRGB(0x123456), (TRGB{0x12, 0x34, 0x56}));
  EXPECT_EQ(TColorToPackedRGB(0x01123456), 0x01563412u);
  EXPECT_EQ(SwapRedBlue(0xFF123456u), 0x563412u);
  TRGB48 w;
  PackedRGBToRGB48(0x00FF0102, w);
  EXPECT_EQ(w, (TRGB48{65535, 257, 514}));
}

TEST(Utils, ProgressOfThreeUnits) {
  std::vector<int32_t> reported;
  TPXAbortFlag abort{true};
  TPXProgressRecord rec;
  ResetProgressRecord(&abort, true, rec);
  EXPECT_FALSE(abort);
  InitProgressRecord(nullptr, &abort, rec, [&](TObject*, int32_t per) { reported.push_back(per); });
  rec.PerCentPerUnit = 100.0 / 3;
  for (rec.Count = 1; rec.Count <= 3; ++rec.Count) rec.Event(rec.Sender, Trunc32(rec.Count * rec.PerCentPerUnit));
  EXPECT_EQ(reported, (std::vector<int32_t>{33, 66, 100}));
  ResetProgressRecordSafe(nullptr, true, rec);
  EXPECT_EQ(rec.Aborting, nullptr);
  EXPECT_FALSE(static_cast<bool>(rec.Event));
}

TEST(Utils, PointsAndGeometry) {
  EXPECT_EQ(DPointToPoint(DPoint(2.5, 3.5)), TPoint(2, 4));
  EXPECT_EQ(DPointToPoint(DPoint(-1.5, 0.49)), TPoint(-2, 0));
  EXPECT_DOUBLE_EQ(PointToSegmentDistance(0, 0, 10, -5, 10, 5), 10);
  EXPECT_DOUBLE_EQ(PointToSegmentDistance(0, 0, 20, 0, 30, 0), 20);
  EXPECT_DOUBLE_EQ(PointToSegmentDistance(0, 0, -50010, 0, -50000, 0), 1000000);
  struct Snap {
    int32_t x, y, ex, ey;
  };
  for (const Snap& s : {Snap{100, 20, 100, 0}, Snap{100, 90, 100, 100}, Snap{-100, -90, -90, -90}}) {
    int32_t x = s.x, y = s.y;
    SnapPointTo45Degrees(0, 0, x, y);
    EXPECT_EQ(TPoint(x, y), TPoint(s.ex, s.ey)) << s.x << "," << s.y;
  }
  EXPECT_FALSE(RectsIntersect(TRect(0, 0, 5, 5), TRect(5, 0, 9, 5)));
  EXPECT_TRUE(RectsOverlap(5, 5, 0, 0, 5, 0, 9, 5));
  const int32_t rows[9] = {5, 7, 8, 9, 9, 9, 8, 7, 5};
  for (int32_t i = 0; i < 9; ++i) EXPECT_EQ(EllipseRowHalfWidth(9, 9, i), rows[i]) << i;
}

TEST(Utils, BitsAndRowLengths) {
  EXPECT_EQ(RowByteLength(10, 1, 8), 2);
  EXPECT_EQ(RowByteLength(3, 24, 32), 12);
  EXPECT_EQ(RowByteLength(5, 4, 16), 4);
  EXPECT_EQ(RowByteLength(1, 8, 64), 8);
  EXPECT_EQ(MaskEndBit(0x8000), 15);
  EXPECT_EQ(MaskEndBit(0xF800), 16);
  EXPECT_EQ(MaskEndBit(0), -1);
  EXPECT_EQ(MaskLowBit(0xF800), 12);
  EXPECT_EQ(MaskBitWidth(0x07E0), 6);
  EXPECT_EQ(PixelFormatBits(pxRGB48), 48);
  EXPECT_EQ(PixelFormatChannels(pxCMYK), 4);
  EXPECT_EQ(SwapBytes16(0xAABB1234u), 0xAABB3412u);
  uint8_t b = 0x01;
  ReverseBitsInByte(b);
  EXPECT_EQ(b, 0x80);
  uint32_t v = 1;
  ReverseBits32(v);
  EXPECT_EQ(v, 0x80000000u);
  EXPECT_DOUBLE_EQ(FloatPower(2, -2), 0.25);
  EXPECT_DOUBLE_EQ(FloatPower(0, 0), 1);
  EXPECT_NEAR(FloatPower(9, 0.5), 3, 1e-12);
}

TEST(Utils, TextToFloatTakesEitherSeparator) {
  TFormatSettings& fs = FormatSettings();
  const char saved = fs.DecimalSeparator;
  for (char sep : {'.', ','}) {
    fs.DecimalSeparator = sep;
    EXPECT_DOUBLE_EQ(TextToFloatDef("1,5", 0), 1.5) << sep;
    EXPECT_DOUBLE_EQ(TextToFloatDef("1.5", 0), 1.5) << sep;
    EXPECT_DOUBLE_EQ(TextToFloatDef("abc", 7), 7) << sep;
  }
  fs.DecimalSeparator = saved;
}

TEST(Utils, StreamFieldsAreExact) {
  TMemoryStream s;
  TStringList list;
  list.Add("a");
  list.Add("bc");
  WriteStringListToStream(&s, &list);
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{2, 0, 0, 0, 1, 0, 0, 0, 0x61, 2, 0, 0, 0, 0x62, 0x63}));

  TMemoryStream f;
  TFont font;
  font.SetName("Arial");
  font.SetCharset(0);
  font.SetColor(0x0000FF);
  font.SetHeight(-12);
  font.SetStyle({TFontStyle::fsBold, TFontStyle::fsItalic});
  WriteFontToStream(&f, &font);
  EXPECT_EQ(Bytes(f), (std::vector<uint8_t>{5, 0, 0, 0, 'A', 0, 'r', 0, 'i', 0, 'a', 0, 'l', 0, 0, 0xFF, 0, 0, 0,
                                            0xF4, 0xFF, 0xFF, 0xFF, 3}));

  s.SetPosition(0);
  TStringList back;
  back.Add("old");
  ReadStringListFromStream(&s, &back);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.Strings(1), "bc");
  f.SetPosition(0);
  TFont read;
  ReadFontFromStream(&f, &read);
  EXPECT_EQ(read.Name(), "Arial");
  EXPECT_EQ(read.Height(), -12);
  EXPECT_TRUE(read.Style().Contains(TFontStyle::fsItalic));

  TMemoryStream w;
  WriteWideStringToStream(&w, u"h\u00e9");
  WriteAnsiStringToStream(&w, "xyz");
  w.SetPosition(0);
  EXPECT_EQ(ReadWideStringAsAnsi(&w), "h\xC3\xA9");
  EXPECT_EQ(ReadAnsiStringFromStream(&w), "xyz");
}

TEST(Utils, StreamFieldsRejectBadLengths) {
  // Length fields that are negative or pass the end: each read raises before allocating.
  struct Case {
    std::vector<uint8_t> bytes;
    int kind;  // 0 byte string, 1 wide string, 2 string list
  };
  const Case cases[] = {
      {{0xFF, 0xFF, 0xFF, 0xFF}, 0},
      {{0xFF, 0xFF, 0xFF, 0x7F, 'a'}, 0},
      {{4, 0, 0, 0, 'a', 'b', 'c'}, 0},
      {{0xFE, 0xFF, 0xFF, 0xFF}, 1},
      {{0xFF, 0xFF, 0xFF, 0x3F, 'a', 0}, 1},
      {{2, 0, 0, 0, 'a', 0}, 1},
      {{0xFF, 0xFF, 0xFF, 0xFF}, 2},
      {{0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0}, 2},
      {{1, 0}, 0},
  };
  for (const Case& c : cases) {
    TCustomMemoryStream s(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
    TStringList list;
    const std::string msg = MessageOf<EReadError>([&] {
      if (c.kind == 0) ReadAnsiStringFromStream(&s);
      else if (c.kind == 1) ReadWideStringFromStream(&s);
      else ReadStringListFromStream(&s, &list);
    });
    EXPECT_EQ(msg, "Stream read error") << c.kind << " " << c.bytes.size();
  }
}

TEST(Utils, CopyStreamBytesWithCountZeroCopiesEverything) {
  const uint8_t data[5] = {1, 2, 3, 4, 5};
  TCustomMemoryStream src(data, 5);
  src.SetPosition(3);
  TMemoryStream dst;
  EXPECT_EQ(CopyStreamBytes(&dst, &src, 0), 5);
  EXPECT_EQ(dst.Size(), 5);
  src.SetPosition(3);
  EXPECT_EQ(CopyStreamBytes(&dst, &src, 100), 2);  // limited to what remains
}

}  // namespace
