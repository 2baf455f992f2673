// Text, number, unit, file-name, stream-encoding and system helpers.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "core/hypxutils_system.h"
#include "core/hypxutils_text.h"
#include "core/pxsettings.h"
#include "tests/common/TestSupport.h"

namespace {

// Runs the process's format settings with a comma decimal separator for a test's duration.
class CommaLocale {
 public:
  CommaLocale() : saved_(FormatSettings()) {
    FormatSettings().DecimalSeparator = ',';
    FormatSettings().ThousandSeparator = '.';
  }
  ~CommaLocale() { FormatSettings() = saved_; }

 private:
  TFormatSettings saved_;
};

TEST(Text, InvariantFormattingUnderACommaLocale) {
  CommaLocale comma;
  EXPECT_EQ(FormatInvariant("%.2f", 1.5), "1.50");
  EXPECT_EQ(FormatInvariantStr("%.0n|%d", 1234567.0, 7), "1,234,567|7");
  EXPECT_EQ(Format("%.2f", 1.5), "1,50");  // the locale itself is untouched
  EXPECT_EQ(FloatToTextDot(1.25), "1.25");
  EXPECT_EQ(DecimalSeparatorChar(), ',');
}

TEST(Text, SizesAndDecimals) {
  const std::pair<int64_t, const char*> sizes[] = {
      {0, "0 bytes"},          {1023, "1,023 bytes"}, {1024, "1 KB"},        {10485759, "10,239 KB"},
      {10485760, "10 MB"},     {11010048, "10.5 MB"}, {1073741823, "1024 MB"}, {1073741824, "1 GB"},
      {1610612736, "1.5 GB"},
  };
  for (auto [size, text] : sizes) EXPECT_EQ(FileSizeToText(size), text) << size;
  EXPECT_EQ(BytesToText(5000, 10000), "5,000 bytes");

  EXPECT_EQ(FloatToTextFixed(2, false, 1.5), "1.50");
  EXPECT_EQ(FloatToTextFixed(2, true, 1.5), "1.5");
  EXPECT_EQ(FloatToTextFixed(2, true, 3.0), "3");
  EXPECT_EQ(FloatToTextFixed(0, true, 100.0), "100");  // no separator: zeros stay

  struct Case {
    int32_t decimals;
    bool trim;
    double value;
    const char* text;
  } decimals[] = {
      {2, false, 3.14159, "3.14"},   {2, false, 2.999, "2.99"},      // cut, not rounded
      {2, false, 0.001234, "0.0012"},                                // its first significant digits
      {2, false, -0.001234, "-0.0012"}, {2, false, 1234.5, "1,234.50"}, {2, true, 2.5, "2.5"},
      {2, true, 0.0, "0"},           {0, false, 12.7, "12"},
  };
  for (const Case& c : decimals) EXPECT_EQ(FloatToTextDecimals(c.decimals, c.trim, c.value), c.text) << c.value;

  EXPECT_EQ(FormatThousands(1234567, 0), "1,234,567");
  EXPECT_EQ(FormatThousands(1234567, 3), "1,230,000");
  EXPECT_EQ(FormatThousands(2500, 1), "2,000");  // halves to even
  EXPECT_EQ(FormatThousands(-1500, 1), "-2,000");
  EXPECT_EQ(FormatThousands(INT64_MIN, 0), "-9,223,372,036,854,775,808");
}

TEST(Text, Fractions) {
  struct Case {
    double tolerance, value;
    int32_t n, d;
  } cases[] = {
      {1e-6, 0.5, 1, 2},     {1e-6, 0.75, 3, 4},       {1e-9, 1.0 / 3, 1, 3},      {1e-6, -2.5, -5, 2},
      {1e-6, 3, 3, 1},       {1e-3, 3.14159265358979, 333, 106}, {1e-6, 1e-20, 1, 999999999},
      {1e-6, 1e20, 999999999, 1},  {1e-6, -1e20, -999999999, 1},
  };
  for (const Case& c : cases) {
    int32_t n = 0, d = 0;
    FloatToFraction(c.tolerance, c.value, n, d);
    EXPECT_EQ(n, c.n) << c.value;
    EXPECT_EQ(d, c.d) << c.value;
  }
  int32_t n = 0, d = 0;
  FloatToFraction(1e-12, 0.123456789123, n, d);  // stops before 32 bits overflow
  EXPECT_GT(d, 0);
  EXPECT_NEAR(static_cast<double>(n) / d, 0.123456789123, 1e-9);
}

TEST(Text, SmallTextRoutines) {
  for (const char* t : {"1", "true", "TRUE", "t", "T", "True"}) EXPECT_TRUE(StrToBoolean(t)) << t;
  for (const char* t : {"0", "", "yes", "false", "tru"}) EXPECT_FALSE(StrToBoolean(t)) << t;
  EXPECT_EQ(BoolToText(true), "true");
  EXPECT_EQ(BoolToText(false), "false");
  EXPECT_EQ(JoinWithSeparator("a", "b", ", "), "a, b");
  EXPECT_EQ(JoinWithSeparator("", "b", ", "), "b");
  EXPECT_EQ(JoinWithSeparator("a", "", ", "), "a");
  EXPECT_EQ(CopyText("abcdef", 2, 3), "bcd");
  EXPECT_EQ(CopyText("abcdef", 0, 2), "ab");
  EXPECT_EQ(CopyText("abcdef", 5, 100), "ef");
  EXPECT_EQ(CopyText("abc", 4, 1), "");
  EXPECT_STREQ(StrNewA("hello").get(), "hello");
  EXPECT_EQ(StrNewA(nullptr), nullptr);
  EXPECT_EQ(std::u16string(StrNewW(u"wide").get()), u"wide");
  const TGUID g{0x1DECDC99, 0xE370, 0x4E33, {0xB5, 0xE5, 0xEB, 0x7F, 0x84, 0xAA, 0xFA, 0xE2}};
  EXPECT_EQ(GUIDToText(g, "{", "-", "}"), "{1decdc99-e370-4e33-b5e5-eb7f84aafae2}");
  EXPECT_EQ(MakeInt64(1, 2), 0x100000002LL);
}

TEST(Text, Units) {
  EXPECT_DOUBLE_EQ(UnitsPerInch(pxuPixels, 300), 300);
  EXPECT_DOUBLE_EQ(UnitsPerInch(pxuCentimeters, 0), 2.54);
  EXPECT_DOUBLE_EQ(UnitsPerInch(static_cast<TPXUnits>(0x84), 0), 2.54);  // top bit ignored
  EXPECT_DOUBLE_EQ(UnitsPerInch(pxuMiles, 0), 0.000015782828282828283);
  try {
    UnitsPerInch(static_cast<TPXUnits>(11), 0);
    FAIL();
  } catch (const EPXException& e) {
    EXPECT_STREQ(e.what(), "Invalid TPXUnit");
  }
  EXPECT_DOUBLE_EQ(ConvertUnits(pxuInches, pxuCentimeters, 2, 0), 5.08);
  EXPECT_DOUBLE_EQ(ConvertUnits(pxuPixels, pxuInches, 300, 150), 2);
  EXPECT_DOUBLE_EQ(ConvertUnits(pxuFeet, pxuYards, 3, 0), 1);
  EXPECT_DOUBLE_EQ(ConvertUnits(pxuPixels, pxuPixels, 7, 0), 7);
  try {
    ConvertUnits(pxuMillimeters, pxuPixels, 1, 0);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Cannot convert pixels. DPI not set");
  }
  double x = 0, y = 0;
  PixelSizeInUnits(pxuInches, 100, 200, x, y);
  EXPECT_DOUBLE_EQ(x, 0.01);
  EXPECT_DOUBLE_EQ(y, 0.005);
  PixelSizeInUnits(pxuInches, 0, 200, x, y);
  EXPECT_EQ(x, 1);
  EXPECT_EQ(y, 1);
}

TEST(Text, GPS) {
  EXPECT_DOUBLE_EQ(GPSToDegrees("S", 33, 30, 0), -33.5);
  EXPECT_DOUBLE_EQ(GPSToDegrees("W", 1, 0, 36), -1.01);
  EXPECT_DOUBLE_EQ(GPSToDegrees("N", 10, 15, 0), 10.25);
  EXPECT_DOUBLE_EQ(GPSToDegrees("s", 10, 0, 0), 10);  // exactly "W" or "S"
  double d, m, s;
  std::string ref;
  DegreesToGPS("SN", -33.5, d, m, s, ref);
  EXPECT_EQ(ref, "S");
  EXPECT_EQ(d, 33);
  EXPECT_EQ(m, 30);
  EXPECT_NEAR(s, 0, 1e-9);
  DegreesToGPS("WE", 12.3456, d, m, s, ref);
  EXPECT_EQ(ref, "E");
  EXPECT_NEAR(GPSToDegrees(ref, d, m, s), 12.3456, 1e-12);
}

TEST(Text, FileNamesAndFilters) {
  EXPECT_EQ(ExtractFileExtLower("dir/Photo.JPG", true), ".jpg");
  EXPECT_EQ(GetFileExtLower("dir/Photo.JPG", false), "jpg");
  EXPECT_EQ(ExtractFileExtLowerW(u"C:\\a\\B.Png", false), u"png");
  struct Case {
    const char *ext, *filter;
    bool in;
  } cases[] = {
      {"JPG", "*.gif;*.jpg", true}, {"", "*.*", true},          {"", "*.*;", true},
      {"x", "*.x", true},           {".", "*.gif", false},      {".", "*.gif;.;", false},
      {"png", "*.gif;*.jpg", false}, {"jp", "*.jpg", false},    {".GIF", "*.GIF;*.PNG", true},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtensionInFilter(c.ext, c.filter), c.in) << c.ext << " " << c.filter;
  EXPECT_TRUE(FileMatchesFilter("/x/photo.PNG", "*.gif;*.png"));
  EXPECT_FALSE(FileMatchesFilter("/x/README", "*.gif;*.png"));
  EXPECT_EQ(ExtractFilePathW(u"C:\\pics\\a.jpg"), u"C:\\pics\\");
  EXPECT_EQ(ExtractFileNameW(u"C:\\pics\\a.jpg"), u"a.jpg");
  EXPECT_EQ(ExtractFileNameW(u"C:a.jpg"), u"a.jpg");
  EXPECT_EQ(ExtractFilePathW(u"/tmp/a.jpg"), u"/tmp/");
  EXPECT_EQ(ExtractFileNameNoExt("/a/b.c.txt"), "b.c");
  EXPECT_EQ(ExtractFileNameNoExt("/a/noext"), "noext");
  const std::pair<const char*, int32_t> urls[] = {
      {"HTTPS://Example.org/a.png", 2}, {"http://x", 1}, {"FTP://h/f", 3}, {"file:///x", 0}, {"", 0}, {"http:/", 0}};
  for (auto [u, k] : urls) EXPECT_EQ(URLKind(u), k) << u;
}

TEST(Text, FileInfo) {
  TestTempDir tmp;
  const std::string& dir = tmp.Path();
  const std::string name = dir + "info.bin";
  { std::ofstream(name, std::ios::binary) << std::string(1234, 'x'); }
  int64_t size = -1;
  TDateTime created = -1, modified = -1;
  ASSERT_TRUE(FileInfo(name, size, created, modified));
  EXPECT_EQ(size, 1234);
  EXPECT_NEAR(modified, Now(), 1.0 / 24);  // within the hour: a local time of today
  EXPECT_GT(created, 0);
  EXPECT_FALSE(FileInfo(dir + "missing", size, created, modified));
  EXPECT_EQ(size, 0);
  EXPECT_EQ(created, 0);
  EXPECT_EQ(modified, 0);
}

TEST(Text, SearchStreamIsAFullSubstringSearch) {
  struct Case {
    const char *data, *pattern;
    int64_t limit, found, after;
  } cases[] = {
      {"aab", "ab", 100, 1, 3},        // the failed comparison does not lose the second "a"
      {"xabababc", "ababc", 100, 3, 8},
      {"hello", "lo", 100, 3, 5},
      {"hello", "xy", 100, -1, 5},
      {"aab", "ab", 2, -1, 2},         // the limit comes first
      {"aab", "", 100, -1, 0},
  };
  for (const Case& c : cases) {
    TMemoryStream m;
    m.WriteBuffer(c.data, static_cast<int64_t>(std::strlen(c.data)));
    m.SetPosition(0);
    EXPECT_EQ(SearchStream(&m, c.pattern, c.limit), c.found) << c.data << " " << c.pattern;
    EXPECT_EQ(m.Position(), c.after) << c.data << " " << c.pattern;
  }
  TMemoryStream m;
  WriteStreamLine(&m, "line");
  EXPECT_EQ(m.Size(), 6);
  EXPECT_EQ(std::string(static_cast<const char*>(m.Memory()), 6), "line\r\n");
}

TEST(Text, RunLengthEncode) {
  struct Case {
    std::vector<uint8_t> in, out;
  } cases[] = {
      {{0x41}, {0, 0x41, 128}},
      {{7, 7, 7}, {254, 7, 128}},
      {{1, 2, 3, 3, 3}, {1, 1, 2, 254, 3, 128}},
      {{}, {128}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out;
    EXPECT_EQ(RunLengthEncode(c.in.data(), static_cast<int32_t>(c.in.size()), out), static_cast<int32_t>(c.out.size()));
    EXPECT_EQ(out, c.out);
  }
  // Long and random data decode back, every run and literal at most 128 bytes.
  std::mt19937 rng(7);
  std::vector<uint8_t> data;
  for (int i = 0; i < 5000; ++i) data.insert(data.end(), rng() % 4 == 0 ? 1 + rng() % 300 : 1, uint8_t(rng() % 3));
  std::vector<uint8_t> enc, dec;
  RunLengthEncode(data.data(), static_cast<int32_t>(data.size()), enc);
  size_t i = 0;
  while (i < enc.size() && enc[i] != 128) {
    const uint8_t len = enc[i++];
    if (len < 128) {
      dec.insert(dec.end(), enc.begin() + static_cast<long>(i), enc.begin() + static_cast<long>(i) + len + 1);
      i += len + 1;
    } else {
      dec.insert(dec.end(), 257 - len, enc[i++]);
    }
  }
  EXPECT_EQ(i, enc.size() - 1);
  EXPECT_EQ(dec, data);
}

std::string StripLineBreaks(std::string s) {
  std::erase(s, '\r');
  std::erase(s, '\n');
  return s;
}

// Python's base64 module on each file's bytes, one line "a85 b64" per file: the independent
// oracle.
std::vector<std::string> PythonEncodings(const std::string& dir, const std::vector<std::vector<uint8_t>>& buffers) {
  std::vector<std::string> args = {"-c",
                                   "import base64,sys\n"
                                   "for f in sys.argv[1:]:\n"
                                   "  d=open(f,'rb').read()\n"
                                   "  print(base64.a85encode(d).decode(), base64.b64encode(d).decode())\n"};
  for (size_t i = 0; i < buffers.size(); ++i) {
    const std::string file = dir + "data" + std::to_string(i) + ".bin";
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(buffers[i].data()), static_cast<std::streamsize>(buffers[i].size()));
    args.push_back(file);
  }
  std::vector<std::string> lines;
  std::istringstream in(RunCommandCapture("python3", args, dir, 30000));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(Text, Ascii85AndBase64AgreeWithPython) {
  TestTempDir tmp;
  const std::string& dir = tmp.Path();
  if (RunCommandCapture("python3", {"-c", "print(1)"}, "") != "1\n") GTEST_SKIP() << "python3 is not available";
  std::vector<std::vector<uint8_t>> buffers;
  std::mt19937 rng(85);
  for (size_t size : {0u, 1u, 2u, 3u, 4u, 5u, 57u, 58u, 1000u, 4097u}) {
    std::vector<uint8_t> data(size);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
    if (size >= 12) std::fill_n(data.begin() + 4, 8, 0);  // two all-zero groups: "z"
    if (!data.empty()) data.back() |= 1;  // Python folds a last partial group of zeros; PostScript does not
    buffers.push_back(std::move(data));
  }
  const std::vector<std::string> oracle = PythonEncodings(dir, buffers);
  ASSERT_EQ(oracle.size(), buffers.size());
  for (size_t k = 0; k < buffers.size(); ++k) {
    const std::vector<uint8_t>& data = buffers[k];
    const size_t size = data.size();
    const std::string expectA85 = oracle[k].substr(0, oracle[k].find(' '));
    const std::string expectB64 = oracle[k].substr(oracle[k].find(' ') + 1);

    std::string a85;
    int32_t groupBytes = 0;
    const uint8_t* p = data.data();
    const int32_t written = Ascii85Encode(p, static_cast<int32_t>(size), a85, groupBytes);
    EXPECT_EQ(p, data.data() + size);
    EXPECT_EQ(written, static_cast<int32_t>(a85.size()));
    ASSERT_TRUE(a85.ends_with("~>\r\n"));
    const std::string body = a85.substr(0, a85.size() - 4);
    EXPECT_EQ(StripLineBreaks(body), expectA85) << size;
    EXPECT_EQ(groupBytes, static_cast<int32_t>(StripLineBreaks(body).size()));
    std::istringstream lines(body);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u);

    TMemoryStream src, dst;
    src.WriteBuffer(data.data(), static_cast<int64_t>(size));
    src.SetPosition(0);
    Base64EncodeStream(&src, &dst, 76);
    const std::string b64(static_cast<const char*>(dst.Memory()), static_cast<size_t>(dst.Size()));
    EXPECT_EQ(StripLineBreaks(b64), expectB64) << size;
    if (size == 0) {
      EXPECT_TRUE(b64.empty());
    } else {
      EXPECT_TRUE(b64.ends_with("\r\n"));
    }
    std::istringstream b64lines(b64);
    std::string line, last;
    while (std::getline(b64lines, line)) {
      if (!last.empty()) {
        EXPECT_EQ(last.size(), 77u);  // 19 groups of 4 and the CR
      }
      last = line;
    }
  }
  const uint8_t zeros[4] = {};
  const uint8_t* p = zeros;
  std::string z;
  int32_t groupBytes = 0;
  Ascii85Encode(p, 4, z, groupBytes);
  EXPECT_EQ(z, "z~>\r\n");
  EXPECT_EQ(groupBytes, 1);
  // The rest of a stream from its position, with a short line length.
  TMemoryStream src, dst;
  src.WriteBuffer("xxabcdefghi", 11);
  src.SetPosition(2);
  Base64EncodeStream(&src, &dst, 10);  // 3 groups per line
  EXPECT_EQ(std::string(static_cast<const char*>(dst.Memory()), static_cast<size_t>(dst.Size())), "YWJjZGVmZ2hp\r\n");
}

TEST(Text, RunCommandCapture) {
  TestTempDir tmp;
  const std::string& dir = tmp.Path();
  const std::string out = RunCommandCapture("sh", {"-c", "echo out; echo err 1>&2; pwd"}, dir);
  EXPECT_NE(out.find("out\n"), std::string::npos);
  EXPECT_NE(out.find("err\n"), std::string::npos);
  EXPECT_NE(out.find(ExcludeTrailingPathDelimiter(dir)), std::string::npos);
  // Arguments reach the program as they are: no shell splits or expands them.
  EXPECT_EQ(RunCommandCapture("printf", {"%s|", "a b", "'q'", "$HOME", "*"}, ""), "a b|'q'|$HOME|*|");
  EXPECT_EQ(RunCommandCapture("/nonexistent/program", {}, ""), "");
  EXPECT_EQ(RunCommandCapture("sh", {"-c", "echo x"}, dir + "missing-folder"), "");
  // Stopped at the time limit with what it wrote so far.
  EXPECT_EQ(RunCommandCapture("sh", {"-c", "echo early; exec sleep 20"}, "", 300), "early\n");
}

TEST(Text, FontsAndBitCounts) {
  LOGFONT lf;
  lf.lfWeight = 700;
  lf.lfUnderline = 1;
  const TFontStyles s = FontStylesFromLogFont(&lf);
  EXPECT_TRUE(s.Contains(TFontStyle::fsBold));
  EXPECT_TRUE(s.Contains(TFontStyle::fsUnderline));
  EXPECT_FALSE(s.Contains(TFontStyle::fsItalic));
  lf.lfWeight = 699;
  EXPECT_FALSE(FontStylesFromLogFont(&lf).Contains(TFontStyle::fsBold));
  EXPECT_TRUE(FontStylesFromLogFont(nullptr).Empty());

  struct Case {
    int32_t count;
    bool alpha;
    int32_t bits, samples;
  } counts[] = {{1, false, 1, 1}, {4, false, 4, 1}, {8, true, 8, 1},   {15, false, 5, 3},
                {16, false, 8, 3}, {24, false, 8, 3}, {32, true, 8, 4}, {32, false, 8, 3}};
  for (const Case& c : counts) {
    int32_t bits = 0, samples = 0;
    BitsAndSamplesFromBitCount(c.count, c.alpha, bits, samples);
    EXPECT_EQ(bits, c.bits) << c.count;
    EXPECT_EQ(samples, c.samples) << c.count;
  }
  const std::tuple<TPXPixelFormat, int32_t, int32_t> formats[] = {
      {px1g, 1, 1}, {px8p, 8, 1}, {px8g, 8, 1}, {px16g, 16, 1}, {px24RGB, 8, 3}, {pxCMYK, 8, 3}, {pxRGB48, 8, 3}};
  for (auto [f, b, n] : formats) {
    int32_t bits = 0, samples = 0;
    BitsAndSamplesFromPixelFormat(f, bits, samples);
    EXPECT_EQ(bits, b);
    EXPECT_EQ(samples, n);
  }
}

TEST(Text, AppendDebugLog) {
  TestTempDir tmp;
  const std::string& dir = tmp.Path();
  const std::string file = dir + "debug.log";
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  s->FDebugLogFile.clear();
  AppendDebugLog("nowhere");
  struct stat st {};
  EXPECT_NE(stat(file.c_str(), &st), 0);
  s->FDebugLogFile = file;
  AppendDebugLog("first");
  AppendDebugLog("second line");
  s->FDebugLogFile.clear();
  std::ifstream in(file);
  std::string a, b, c;
  ASSERT_TRUE(std::getline(in, a));
  ASSERT_TRUE(std::getline(in, b));
  EXPECT_FALSE(std::getline(in, c));
  // "yyyy-mm-dd hh:nn:ss.zzz text"
  ASSERT_EQ(a.size(), 24u + 5);
  EXPECT_EQ(a[4], '-');
  EXPECT_EQ(a[13], ':');
  EXPECT_EQ(a[19], '.');
  EXPECT_TRUE(a.ends_with(" first"));
  EXPECT_TRUE(b.ends_with(" second line"));
}

}  // namespace
