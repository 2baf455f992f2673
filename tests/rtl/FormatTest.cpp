#include <gtest/gtest.h>

#include "platform/rtl/SysUtils.h"

TEST(Format, IntegersStringsAndWidths) {
  struct Case { std::string got, want; };
  const Case cases[] = {
      {Format("%d", 42), "42"},
      {Format("%5d|%-5d|", 42, 42), "   42|42   |"},
      {Format("%.4d", -7), "-0007"},
      {Format("%x", 255), "FF"},
      {Format("%.4x", 255), "00FF"},
      {Format("%x", -1), "FFFFFFFF"},
      {Format("%u", -1), "4294967295"},
      {Format("%s and %s", "a", std::string("b")), "a and b"},
      {Format("%.2s", "abcdef"), "ab"},
      {Format("%1:s %0:s %s", "a", "b"), "b a b"},
      {Format("%*d", 4, 7), "   7"},
      {Format("%-*.*d|", 5, 3, 7), "007  |"},
      {Format("100%%"), "100%"},
      {Format("%s", 'c'), "c"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Format, FloatingPoint) {
  struct Case { std::string got, want; };
  const Case cases[] = {
      {Format("%f", 1.0), "1.00"},
      {Format("%.1f", 0.25), "0.3"},   // halves round away from zero on the decimal digits
      {Format("%.0f", -2.5), "-3"},
      {Format("%.3f", 3.14159), "3.142"},
      {Format("%e", 1234.5), "1.23450000000000E+003"},
      {Format("%.3e", -0.000123456), "-1.23E-004"},
      {Format("%g", 0.1), "0.1"},
      {Format("%g", 100.0), "100"},
      {Format("%n", 1234567.891), "1,234,567.89"},
      {Format("%m", 12.5), "$12.50"},
      {Format("%m", -12.5), "($12.50)"},
      {Format("%8.2f|", 3.14159), "    3.14|"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Format, FloatToStrUsesGeneralForm) {
  EXPECT_EQ(FloatToStr(0.1), "0.1");
  EXPECT_EQ(FloatToStr(1.5), "1.5");
  EXPECT_EQ(FloatToStr(-3.0), "-3");
  EXPECT_EQ(FloatToStr(1e20), "1E20");
  EXPECT_EQ(FloatToStr(1.5e-5), "1.5E-5");
  EXPECT_EQ(FloatToStr(0.0001), "0.0001");
  EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
  EXPECT_EQ(FloatToStr(1.0 / 3.0), "0.333333333333333");
  TFormatSettings fs;
  fs.DecimalSeparator = ',';
  EXPECT_EQ(FloatToStr(2.5, fs), "2,5");
}

TEST(Format, BadFormatsAndArgumentsRaise) {
  EXPECT_THROW(Format("%d", "text"), EConvertError);
  EXPECT_THROW(Format("%s", 3), EConvertError);
  EXPECT_THROW(Format("%f", 3), EConvertError);
  EXPECT_THROW(Format("%d %d", 1), EConvertError);
  EXPECT_THROW(Format("%q", 1), EConvertError);
  EXPECT_THROW(Format("abc %"), EConvertError);
  try {
    Format("%d", "x");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Format '%d' invalid or incompatible with argument");
  }
}

TEST(Format, HugePrecisionPadsInLinearTime) {
  // Zero padding is one insertion, so a precision from untrusted text cannot stall the program.
  const std::string s = Format("%.2000000d|%.2000000x", -7, 255);
  ASSERT_EQ(s.size(), 2000001u + 1u + 2000000u);
  EXPECT_EQ(s.substr(0, 3), "-00");
  EXPECT_EQ(s.substr(s.size() - 3), "0FF");
}
