#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <limits>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Types.h"

TEST(Rect, IntersectGivesAllZerosWhenEmpty) {
  struct Case { TRect a, b, want; bool ok; };
  const Case cases[] = {
      {Rect(0, 0, 10, 10), Rect(5, 5, 20, 20), Rect(5, 5, 10, 10), true},
      {Rect(0, 0, 10, 10), Rect(2, 3, 4, 5), Rect(2, 3, 4, 5), true},
      {Rect(0, 0, 10, 10), Rect(10, 0, 20, 10), TRect(), false},   // sharing an edge only
      {Rect(0, 0, 10, 10), Rect(30, 30, 40, 40), TRect(), false},
      {Rect(5, 5, 5, 9), Rect(0, 0, 10, 10), TRect(), false},      // empty source
      {Rect(10, 10, 0, 0), Rect(0, 0, 10, 10), TRect(), false},    // inverted source
  };
  for (const Case& c : cases) {
    TRect dst(-1, -1, -1, -1);
    EXPECT_EQ(IntersectRect(dst, c.a, c.b), c.ok);
    EXPECT_EQ(dst, c.want);
  }
  TRect a(0, 0, 10, 10);
  EXPECT_TRUE(IntersectRect(a, a, Rect(5, -5, 15, 5)));  // destination may be a source
  EXPECT_EQ(a, Rect(5, 0, 10, 5));
}

TEST(Rect, UnionIgnoresEmptyRectangles) {
  struct Case { TRect a, b, want; bool ok; };
  const Case cases[] = {
      {Rect(0, 0, 10, 10), Rect(5, 5, 20, 30), Rect(0, 0, 20, 30), true},
      {Rect(100, 100, 100, 200), Rect(1, 2, 3, 4), Rect(1, 2, 3, 4), true},  // far-away empty one
      {Rect(1, 2, 3, 4), Rect(-50, -50, -60, -40), Rect(1, 2, 3, 4), true},
      {Rect(5, 5, 5, 5), Rect(7, 7, 1, 1), TRect(), false},
  };
  for (const Case& c : cases) {
    TRect dst(-1, -1, -1, -1);
    EXPECT_EQ(UnionRect(dst, c.a, c.b), c.ok);
    EXPECT_EQ(dst, c.want);
  }
}

TEST(Rect, SubtractLeavesARectangleOrTheFirst) {
  const TRect a(0, 0, 10, 20);
  const struct {
    TRect b;
    TRect want;
    bool ok;
  } cases[] = {
      {TRect(0, 0, 10, 5), TRect(0, 5, 10, 20), true},     // the top band
      {TRect(-5, 15, 15, 30), TRect(0, 0, 10, 15), true},   // the bottom band, reaching out
      {TRect(0, -1, 4, 21), TRect(4, 0, 10, 20), true},     // the left band
      {TRect(6, 0, 10, 20), TRect(0, 0, 6, 20), true},      // the right band
      {TRect(0, 5, 10, 8), a, true},                        // a band across the middle: two pieces
      {TRect(2, 2, 5, 5), a, true},                         // a hole
      {TRect(0, 0, 5, 5), a, true},                         // a corner
      {TRect(20, 20, 30, 30), a, true},                     // apart
      {TRect(-1, -1, 11, 21), TRect(), false},              // all of it
      {TRect(), a, true},                                   // nothing taken
  };
  for (const auto& c : cases) {
    TRect dst(-1, -1, -1, -1);
    EXPECT_EQ(SubtractRect(dst, a, c.b), c.ok) << c.b.Left << "," << c.b.Top;
    EXPECT_EQ(dst, c.want) << c.b.Left << "," << c.b.Top;
  }
  TRect dst;
  EXPECT_FALSE(SubtractRect(dst, TRect(5, 5, 5, 9), TRect(0, 0, 1, 1)));
}

TEST(Rect, SmallHelpers) {
  const TRect r(1, 2, 4, 6);
  EXPECT_TRUE(PtInRect(r, Point(1, 2)));
  EXPECT_FALSE(PtInRect(r, Point(4, 2)));  // right and bottom are exclusive
  EXPECT_FALSE(PtInRect(r, Point(1, 6)));
  EXPECT_TRUE(IsRectEmpty(Rect(3, 3, 3, 9)));
  EXPECT_TRUE(IsRectEmpty(Rect(3, 9, 5, 2)));
  EXPECT_FALSE(IsRectEmpty(r));
  EXPECT_TRUE(EqualRect(r, Rect(1, 2, 4, 6)));
  EXPECT_FALSE(EqualRect(Rect(0, 0, 0, 0), Rect(5, 5, 5, 5)));  // empty ones still compare coordinates
  TRect m = r;
  OffsetRect(m, -1, 10);
  EXPECT_EQ(m, Rect(0, 12, 3, 16));
  InflateRect(m, 2, -1);
  EXPECT_EQ(m, Rect(-2, 13, 5, 15));
  TRect big(INT32_MAX - 1, 0, INT32_MAX, 1);
  OffsetRect(big, 5, 0);  // wraps as 32-bit arithmetic does, without undefined behaviour
  EXPECT_EQ(big.Left, INT32_MIN + 3);
  EXPECT_EQ(NormalizedRect(Rect(10, 20, 0, 5)), Rect(0, 5, 10, 20));
}

TEST(Colors, ClassicSystemColorTable) {
  struct Case { TColor c; TColorRef want; };
  const Case cases[] = {
      {clBtnFace, RGB(212, 208, 200)},       {clBtnShadow, RGB(128, 128, 128)},
      {clBtnHighlight, RGB(255, 255, 255)},  {cl3DDkShadow, RGB(64, 64, 64)},
      {cl3DLight, RGB(212, 208, 200)},       {clWindow, RGB(255, 255, 255)},
      {clWindowText, RGB(0, 0, 0)},          {clHighlight, RGB(10, 36, 106)},
      {clHighlightText, RGB(255, 255, 255)}, {clGrayText, RGB(128, 128, 128)},
      {clInfoBk, RGB(255, 255, 225)},        {clInfoText, RGB(0, 0, 0)},
      {clActiveCaption, RGB(10, 36, 106)},   {clGradientActiveCaption, RGB(166, 202, 240)},
      {clInactiveCaption, RGB(128, 128, 128)}, {clGradientInactiveCaption, RGB(192, 192, 192)},
      {clInactiveCaptionText, RGB(212, 208, 200)}, {clCaptionText, RGB(255, 255, 255)},
      {clHotLight, RGB(0, 0, 128)},          {clMenu, RGB(212, 208, 200)},
      {clMenuText, RGB(0, 0, 0)},            {clMenuHighlight, RGB(10, 36, 106)},
      {clMenuBar, RGB(212, 208, 200)},       {clAppWorkSpace, RGB(128, 128, 128)},
      {clBackground, RGB(58, 110, 165)},     {clScrollBar, RGB(212, 208, 200)},
      {clBtnText, RGB(0, 0, 0)},             {clWindowFrame, RGB(0, 0, 0)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<TColorRef>(ColorToRGB(c.c)), c.want) << std::hex << c.c;
    EXPECT_EQ(GetSysColor(c.c & 0xFF), c.want) << std::hex << c.c;
  }
  EXPECT_EQ(GetSysColor(-1), 0u);
  EXPECT_EQ(GetSysColor(31), 0u);
}

TEST(Colors, ColorToRGBResolvesOnlyNegativeValues) {
  EXPECT_EQ(ColorToRGB(clNone), clNone);
  EXPECT_EQ(ColorToRGB(clDefault), clDefault);
  EXPECT_EQ(ColorToRGB(clRed), clRed);
  EXPECT_EQ(ColorToRGB(0x12345678), 0x12345678);
  // Any negative value takes its low byte as the table index.
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0x80000005)), static_cast<int32_t>(RGB(255, 255, 255)));
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0xFF0000FF)), 0);
  EXPECT_EQ(GetRValue(RGB(1, 2, 3)), 1);
  EXPECT_EQ(GetGValue(RGB(1, 2, 3)), 2);
  EXPECT_EQ(GetBValue(RGB(1, 2, 3)), 3);
}

TEST(Set, Operations) {
  enum class E { a, b, c, d = 63 };
  TSet<E> s{E::a, E::d};
  EXPECT_TRUE(s.Contains(E::d));
  EXPECT_FALSE(s.Contains(E::b));
  EXPECT_EQ(s + E::b, (TSet<E>{E::a, E::b, E::d}));
  EXPECT_EQ(s - TSet<E>{E::a}, TSet<E>{E::d});
  EXPECT_EQ(s * (TSet<E>{E::d, E::c}), TSet<E>{E::d});
  EXPECT_TRUE(TSet<E>{E::d} <= s);
  EXPECT_FALSE(s <= TSet<E>{E::d});
  EXPECT_TRUE((s - s).Empty());
}

TEST(DateTime, EncodeKnownDates) {
  struct Case { uint16_t y, m, d; double serial; };
  const Case cases[] = {
      {1899, 12, 30, 0},     {1900, 1, 1, 2},      {1900, 3, 1, 61},         {1970, 1, 1, 25569},
      {2000, 1, 1, 36526},   {2024, 2, 29, 45351}, {1, 1, 1, -693593},       {9999, 12, 31, 2958465},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.serial) << c.y << "-" << c.m << "-" << c.d;
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(EncodeTime(6, 30, 15, 500), (6 * 3600 + 30 * 60 + 15.5) / 86400.0);
}

// Every day of the calendar decodes and re-encodes as std::chrono's civil calendar says.
TEST(DateTime, DecodeAgreesWithChronoOverTheWholeRange) {
  using namespace std::chrono;
  constexpr int kUnixDay = 25569;
  for (int serial = -693593; serial <= 2958465; ++serial) {
    const year_month_day ymd{sys_days{days{serial - kUnixDay}}};
    uint16_t y, m, d;
    // Before day 0 the time of day is subtracted: -1.75 is 1899-12-29 18:00.
    DecodeDate(serial < 0 ? serial - 0.75 : serial + 0.75, y, m, d);
    if (y != static_cast<int>(ymd.year()) || m != static_cast<unsigned>(ymd.month()) ||
        d != static_cast<unsigned>(ymd.day())) {
      FAIL() << "serial " << serial << " decoded as " << y << "-" << m << "-" << d;
    }
    if (serial % 97 == 0) {
      ASSERT_EQ(EncodeDate(y, m, d), serial);
    }
  }
}

TEST(DateTime, DecodeTimeAndNegativeValues) {
  uint16_t y, mo, d, h, mi, s, ms;
  DecodeTime(EncodeDate(2024, 3, 5) + EncodeTime(13, 45, 30, 250), h, mi, s, ms);
  EXPECT_EQ((std::array<int, 4>{h, mi, s, ms}), (std::array<int, 4>{13, 45, 30, 250}));
  // Before day 0 the day counts towards zero and the fraction is still the time of day.
  DecodeDate(-1.25, y, mo, d);
  DecodeTime(-1.25, h, mi, s, ms);
  EXPECT_EQ((std::array<int, 4>{y, mo, d, h}), (std::array<int, 4>{1899, 12, 29, 6}));
  // A hair before midnight rounds to the next day's 00:00:00.000, not to 23:59:59.1000.
  DecodeDate(0.9999999999, y, mo, d);
  DecodeTime(0.9999999999, h, mi, s, ms);
  EXPECT_EQ((std::array<int, 7>{y, mo, d, h, mi, s, ms}), (std::array<int, 7>{1899, 12, 31, 0, 0, 0, 0}));
}

TEST(DateTime, InvalidValues) {
  const uint16_t bad[][3] = {{2023, 2, 29}, {1900, 2, 29}, {0, 1, 1}, {10000, 1, 1}, {2024, 13, 1},
                             {2024, 0, 1},  {2024, 4, 31}, {2024, 1, 0}};
  for (const auto& b : bad) EXPECT_THROW(EncodeDate(b[0], b[1], b[2]), EConvertError) << b[0] << "-" << b[1] << "-" << b[2];
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 60, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), EConvertError);
  // Values outside the calendar decode as zeros instead of garbage.
  const double outside[] = {std::nan(""), std::numeric_limits<double>::infinity(), 1e300, -693594.0, 2958466.0};
  for (double v : outside) {
    uint16_t y = 1, mo = 1, d = 1, h = 1, mi = 1, s = 1, ms = 1;
    DecodeDate(v, y, mo, d);
    DecodeTime(v, h, mi, s, ms);
    EXPECT_EQ(y + mo + d + h + mi + s + ms, 0) << v;
  }
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
}
