#include <gtest/gtest.h>

#include <iconv.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/common/TestSupport.h"

using namespace std::string_literals;

namespace {

// Converts with the C library's iconv, an independent implementation; false on any error.
bool Iconv(const char* to, const char* from, std::string_view in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string src(in);
  out.assign(in.size() * 4 + 16, '\0');
  char* inp = src.data();
  size_t inLeft = src.size();
  char* outp = out.data();
  size_t outLeft = out.size();
  const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return r != static_cast<size_t>(-1) && inLeft == 0;
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EConvertError& e) {
    return e.Message();
  }
  return "(no exception)";
}

void WriteFile(const std::string& name, std::string_view bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Integers and booleans

TEST(SysUtilsInt, IntToStrAndIntToHex) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-42), "-42");
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  struct Case { int64_t v; int digits; const char* want; };
  const Case cases[] = {
      {255, 0, "FF"},         {255, 4, "00FF"},        {0, 0, "0"},          {10, -5, "A"},
      {-1, 0, "FFFFFFFF"},    {-1, 10, "00FFFFFFFF"},  {INT32_MIN, 0, "80000000"},
      {-2147483649LL, 0, "FFFFFFFF7FFFFFFF"},          {0x1234567890ABLL, 2, "1234567890AB"},
      {INT64_MIN, 0, "8000000000000000"},              {0xFFFFFFFFLL, 0, "FFFFFFFF"},
  };
  for (const Case& c : cases) EXPECT_EQ(IntToHex(c.v, c.digits), c.want) << c.v;
}

TEST(SysUtilsInt, StrToIntAcceptsDecimalAndHex) {
  // Hexadecimal may use every bit of the width: "$FFFFFFFF" is -1 as 32 bits, 2^32-1 as 64.
  struct Case { const char* s; int32_t want; int64_t want64; };
  const Case cases[] = {
      {"0", 0, 0},          {"-0", 0, 0},            {"+12", 12, 12},          {"007", 7, 7},
      {"2147483647", INT32_MAX, INT32_MAX},          {"-2147483648", INT32_MIN, INT32_MIN},
      {"$FF", 255, 255},    {"$ff", 255, 255},       {"0x1A", 26, 26},         {"0X1a", 26, 26},
      {"-$10", -16, -16},   {"+0x10", 16, 16},       {"$FFFFFFFF", -1, 0xFFFFFFFFLL},
      {"$80000000", INT32_MIN, 0x80000000LL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StrToInt(c.s), c.want) << c.s;
    int32_t v = 99;
    EXPECT_TRUE(TryStrToInt(c.s, v));
    EXPECT_EQ(v, c.want);
    EXPECT_EQ(StrToIntDef(c.s, 99), c.want);
    EXPECT_EQ(StrToInt64(c.s), c.want64) << c.s;
  }
}

TEST(SysUtilsInt, BadIntegersRaiseWithTheText) {
  const std::string bad[] = {"", " 1", "1 ", "\t1", "2147483648", "-2147483649", "$100000000", "0x", "$", "+",
                             "-", "1a", "12.0", "--1", "+-1", "0xG", "x10", "1\0"s, "\xD9\xA3", "\xEF\xBC\x91",
                             "99999999999999999999999"};
  for (const std::string& s : bad) {
    int32_t v = 7;
    EXPECT_FALSE(TryStrToInt(s, v)) << s;
    EXPECT_EQ(v, 7);
    EXPECT_EQ(StrToIntDef(s, -5), -5);
    EXPECT_EQ(ErrorOf([&] { StrToInt(s); }), "'" + s + "' is not a valid integer value");
  }
  EXPECT_EQ(ErrorOf([] { StrToInt64("9223372036854775808"); }),
            "'9223372036854775808' is not a valid integer value");
}

TEST(SysUtilsInt, Int64Forms) {
  struct Case { const char* s; int64_t want; };
  const Case cases[] = {
      {"9223372036854775807", INT64_MAX}, {"-9223372036854775808", INT64_MIN}, {"$FFFFFFFF", 0xFFFFFFFFLL},
      {"$FFFFFFFFFFFFFFFF", -1},          {"0x7fffffffffffffff", INT64_MAX},   {"-12", -12},
  };
  for (const Case& c : cases) EXPECT_EQ(StrToInt64(c.s), c.want) << c.s;
  for (const char* s : {"9223372036854775808", "-9223372036854775809", "$10000000000000000", "0x", ""}) {
    int64_t v = 3;
    EXPECT_FALSE(TryStrToInt64(s, v)) << s;
    EXPECT_EQ(StrToInt64Def(s, 4), 4);
    EXPECT_THROW(StrToInt64(s), EConvertError);
  }
}

TEST(SysUtilsBool, StrToBoolAndBoolToStr) {
  struct Case { const char* s; bool want; };
  const Case good[] = {{"True", true}, {"true", true}, {"TRUE", true}, {"False", false}, {"fAlSe", false},
                       {"0", false},   {"1", true},    {"-1", true},   {"$10", true},     {"00", false}};
  for (const Case& c : good) EXPECT_EQ(StrToBool(c.s), c.want) << c.s;
  for (const char* s : {"", "yes", "T", " true", "1.5", "Truex"}) {
    bool v = true;
    EXPECT_FALSE(TryStrToBool(s, v)) << s;
    EXPECT_FALSE(StrToBoolDef(s, false));
    EXPECT_EQ(ErrorOf([&] { StrToBool(s); }), "'"s + s + "' is not a valid boolean value");
  }
  EXPECT_EQ(BoolToStr(true), "-1");
  EXPECT_EQ(BoolToStr(false), "0");
  EXPECT_EQ(BoolToStr(true, true), "True");
  EXPECT_EQ(BoolToStr(false, true), "False");
}

TEST(SysUtilsExceptions, FixedMessages) {
  try {
    Abort();
    FAIL();
  } catch (const EAbort& e) {
    EXPECT_EQ(e.Message(), "Operation aborted");
  }
  EXPECT_EQ(EInvalidPropertyIndex(3).Message(), "Invalid property index 3.");
  EXPECT_EQ(EInvalidPropertyIndex(-1).ClassName(), "EInvalidPropertyIndex");
}

// ---------------------------------------------------------------------------------------------
// Floating point text

TEST(SysUtilsFloat, StrToFloatAcceptsTheRunTimesSyntax) {
  struct Case { const char* s; long double want; };
  const Case cases[] = {
      {"1.5", 1.5L},   {" -2.5e3 ", -2500.0L}, {"+.5", 0.5L},  {"5.", 5.0L},       {"1E-2", 0.01L},
      {"\t7\n", 7.0L}, {"0", 0.0L},            {"-0.0", 0.0L}, {"12e+2", 1200.0L}, {"1e-5000", 0.0L},
  };
  for (const Case& c : cases) EXPECT_EQ(StrToFloat(c.s), c.want) << c.s;
  EXPECT_GT(StrToFloat("1e400"), 1e399L);  // beyond a double, inside the extended range
  TFormatSettings comma;
  comma.DecimalSeparator = ',';
  EXPECT_EQ(StrToFloat("1,5", comma), 1.5L);
  EXPECT_EQ(StrToFloat(FloatToStr(-2.25, comma), comma), -2.25L);
  EXPECT_THROW(StrToFloat("1.5", comma), EConvertError);
}

TEST(SysUtilsFloat, BadFloatsRaiseWithTheText) {
  const std::string bad[] = {"", " ", "abc", "1.5.2", "1e", "e5", ".", "-", "1,5", "1 5", "0x10",
                             "inf", "NAN", "1e99999", "1.5x", "1\0"s + "5", "--1", "1e+", "$1"};
  for (const std::string& s : bad) {
    long double v = 3;
    EXPECT_FALSE(TryStrToFloat(s, v)) << s;
    EXPECT_EQ(v, 3);
    EXPECT_EQ(StrToFloatDef(s, 3.25L), 3.25L);
    EXPECT_EQ(ErrorOf([&] { StrToFloat(s); }), "'" + s + "' is not a valid floating point value");
  }
  double d = 0;
  EXPECT_FALSE(TryStrToFloat("1e400", d));  // does not fit a double
  EXPECT_TRUE(TryStrToFloat("-1e300", d));
  EXPECT_EQ(d, -1e300);
}

// ---------------------------------------------------------------------------------------------
// Strings

TEST(SysUtilsStrings, TrimAndCase) {
  struct Case { std::string s, trim, left, right; };
  const Case cases[] = {
      {" \t a b \r\n", "a b", "a b \r\n", " \t a b"},
      {"\x01x\x1f", "x", "x\x1f", "\x01x"},
      {"", "", "", ""},
      {"   ", "", "", ""},
      {"\xC3\xA9 ", "\xC3\xA9", "\xC3\xA9 ", "\xC3\xA9"},  // bytes >= 0x80 are not blanks
      {"\0a\0"s, "a", "a\0"s, "\0a"s},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Trim(c.s), c.trim);
    EXPECT_EQ(TrimLeft(c.s), c.left);
    EXPECT_EQ(TrimRight(c.s), c.right);
  }
  EXPECT_EQ(UpperCase("abcXYZ \xC3\xA9 \xC3\x9F z{"), "ABCXYZ \xC3\xA9 \xC3\x9F Z{");
  EXPECT_EQ(LowerCase("\xC3\x80" "BC@["), "\xC3\x80" "bc@[");
}

TEST(SysUtilsStrings, Comparisons) {
  struct Case { const char* a; const char* b; int text; int str; };  // signs
  const Case cases[] = {
      {"abc", "ABC", 0, 1},  {"a", "B", -1, 1},   {"_", "a", 1, -1},  // '_' sorts after upper-cased letters
      {"abc", "ab", 1, 1},   {"", "", 0, 0},      {"\xC3\xA9", "e", 1, 1},  {"ab", "abc", -1, -1},
  };
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  for (const Case& c : cases) {
    EXPECT_EQ(sign(CompareText(c.a, c.b)), c.text) << c.a << " " << c.b;
    EXPECT_EQ(sign(CompareStr(c.a, c.b)), c.str) << c.a << " " << c.b;
    EXPECT_EQ(SameText(c.a, c.b), c.text == 0);
    EXPECT_EQ(SameStr(c.a, c.b), c.str == 0);
  }
  EXPECT_FALSE(SameText("\xC3\x84" "B", "\xC3\xA4" "b"));  // non-ASCII letters keep their case
  EXPECT_EQ(CompareText("a\0b"s, "a\0c"s) < 0, true);    // embedded NULs are compared, not ends
}

TEST(SysUtilsStrings, ReplaceQuoteAndSearch) {
  struct Rep { const char* s; const char* from; const char* to; bool all, icase; const char* want; };
  const Rep reps[] = {
      {"aaa", "a", "b", true, false, "bbb"},        {"aaa", "a", "b", false, false, "baa"},
      {"Hello hello", "HELLO", "x", true, true, "x x"}, {"Hello", "HELLO", "x", true, false, "Hello"},
      {"abc", "", "x", true, false, "abc"},         {"aaaa", "aa", "a", true, false, "aa"},
      {"ab", "b", "bb", true, false, "abb"},        {"xAbAB", "ab", "-", false, true, "x-AB"},
  };
  for (const Rep& r : reps) EXPECT_EQ(StringReplace(r.s, r.from, r.to, r.all, r.icase), r.want) << r.s;

  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_EQ(QuotedStr(""), "''");
  struct Deq { const char* s; char q; const char* want; };
  const Deq deqs[] = {
      {"'abc'", '\'', "abc"},  {"'a''b'", '\'', "a'b"}, {"abc", '\'', "abc"},  {"'abc", '\'', "'abc"},
      {"'abc'def", '\'', "abc"}, {"''", '\'', ""},      {"\"x\"", '"', "x"},   {"", '\'', ""},
      {"'it''s'", '"', "'it''s'"},
  };
  for (const Deq& d : deqs) EXPECT_EQ(AnsiDequotedStr(d.s, d.q), d.want) << d.s;
  EXPECT_EQ(AnsiDequotedStr(QuotedStr("a''b'"), '\''), "a''b'");

  struct P { const char* sub; const char* s; int offset; int want; };
  const P ps[] = {{"b", "abc", 1, 2}, {"x", "abc", 1, 0}, {"", "abc", 1, 0}, {"a", "aba", 2, 3},
                  {"a", "aba", 4, 0}, {"a", "aba", 0, 0}, {"c", "abc", 3, 3}, {"abcd", "abc", 1, 0}};
  for (const P& p : ps) EXPECT_EQ(Pos(p.sub, p.s, p.offset), p.want) << p.sub << " in " << p.s;
  EXPECT_TRUE(StartsText("AB", "abc"));
  EXPECT_FALSE(StartsText("abcd", "abc"));
  EXPECT_TRUE(StartsText("", "x"));
  EXPECT_TRUE(EndsText("BC", "abc"));
  EXPECT_FALSE(EndsText("xbc", "bc"));
}

// ---------------------------------------------------------------------------------------------
// Encodings

// Every scalar value through both directions, checked against iconv.
TEST(SysUtilsEncoding, Utf8AndUtf16AgreeWithIconvOverAllCodePoints) {
  std::string utf32;
  for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const char32_t le = cp;  // the host is little-endian, as UTF-32LE
    utf32.append(reinterpret_cast<const char*>(&le), 4);
  }
  std::string utf8, utf16;
  ASSERT_TRUE(Iconv("UTF-8", "UTF-32LE", utf32, utf8));
  ASSERT_TRUE(Iconv("UTF-16LE", "UTF-32LE", utf32, utf16));
  const std::u16string ours = Utf8ToUtf16(utf8);
  ASSERT_EQ(ours.size() * 2, utf16.size());
  EXPECT_EQ(std::memcmp(ours.data(), utf16.data(), utf16.size()), 0);
  EXPECT_TRUE(Utf16ToUtf8(ours) == utf8);
  EXPECT_TRUE(IsValidUtf8(utf8));
  EXPECT_EQ(BytesToUtf8(utf8).size(), utf8.size());
}

TEST(SysUtilsEncoding, MalformedInputBecomesReplacementCharacters) {
  struct Case { std::string in; std::u16string want; };
  const Case cases[] = {
      // The standard's example: each maximal ill-formed subpart gives one U+FFFD.
      {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64", u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                 // overlong '/'
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},       // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},       // a surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"x\xE2\x82", u"x\uFFFD"},                     // cut short
      {"\xF5\xFF", u"\uFFFD\uFFFD"},
      {"a\0b"s, u"a\0b"s},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Utf8ToUtf16(c.in) == c.want) << c.in;
    EXPECT_EQ(IsValidUtf8(c.in), c.in == "a\0b"s) << c.in;
  }
  struct Rev { std::u16string in; std::string want; };
  const Rev revs[] = {
      {u"\xD800", "\xEF\xBF\xBD"},  {u"a\xDC00" "b", "a\xEF\xBF\xBD" "b"},
      {u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // reversed pair
      {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
  };
  for (const Rev& r : revs) EXPECT_EQ(Utf16ToUtf8(r.in), r.want);
  for (const char* ok : {"", "plain", "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E", "\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF"})
    EXPECT_TRUE(IsValidUtf8(ok)) << ok;
}

TEST(SysUtilsEncoding, Windows1252MatchesIconvAndKeepsUndefinedBytes) {
  for (int b = 1; b < 256; ++b) {
    const std::string in(1, static_cast<char>(b));
    std::string want;
    if (!Iconv("UTF-8", "CP1252", in, want)) {
      // Undefined in the code page: the platform passes them through as C1 controls.
      ASSERT_TRUE(b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) << b;
      want = {static_cast<char>(0xC2), static_cast<char>(b)};
    }
    EXPECT_EQ(Windows1252ToUtf8(in), want) << b;
  }
  EXPECT_EQ(Windows1252ToUtf8("\x80 \x93x\x94 \x96"), "\xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xE2\x80\x93");
  // Valid UTF-8 is kept; anything else is read as Windows-1252 as a whole.
  EXPECT_EQ(BytesToUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(BytesToUtf8("caf\xE9 \xC3\xA9"), "caf\xC3\xA9 \xC3\x83\xC2\xA9");
}

// ---------------------------------------------------------------------------------------------
// File names and files

TEST(SysUtilsFiles, NameParts) {
  struct Case { const char* name; const char* path; const char* dir; const char* file; const char* ext; };
  const Case cases[] = {
      {"C:\\dir\\file.txt", "C:\\dir\\", "C:\\dir", "file.txt", ".txt"},
      {"/a/b.c/d", "/a/b.c/", "/a/b.c", "d", ""},
      {"a.b/c", "a.b/", "a.b", "c", ""},
      {"/a/b/", "/a/b/", "/a/b", "", ""},
      {"/file", "/", "/", "file", ""},
      {"file.tar.gz", "", "", "file.tar.gz", ".gz"},
      {"mixed/sep\\x.y", "mixed/sep\\", "mixed/sep", "x.y", ".y"},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.name), c.path) << c.name;
    EXPECT_EQ(ExtractFileDir(c.name), c.dir) << c.name;
    EXPECT_EQ(ExtractFileName(c.name), c.file) << c.name;
    EXPECT_EQ(ExtractFileExt(c.name), c.ext) << c.name;
  }
  struct Ch { const char* name; const char* ext; const char* want; };
  const Ch chs[] = {{"a/b.txt", ".png", "a/b.png"}, {"a.b/c", ".x", "a.b/c.x"}, {"f", "", "f"},
                    {"f.txt", "", "f"},             {"dir\\f.tar.gz", ".zip", "dir\\f.tar.zip"}};
  for (const Ch& c : chs) EXPECT_EQ(ChangeFileExt(c.name, c.ext), c.want) << c.name;
  EXPECT_EQ(IncludeTrailingPathDelimiter("a"), "a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("a/"), "a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("a\\"), "a\\");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("a/"), "a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("a\\"), "a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("a"), "a");
}

TEST(SysUtilsFiles, ExpandFileName) {
  const std::string cwd = std::filesystem::current_path().string();
  struct Case { std::string name, want; };
  const Case cases[] = {
      {"/a/b/../c/./d", "/a/c/d"}, {"\\a\\b", "/a/b"}, {"/a//b/", "/a/b/"}, {"/..", "/"}, {"/a/..", "/"},
      {"x/y", cwd + "/x/y"},       {".", cwd},         {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandFileName(c.name), c.want) << c.name;
}

TEST(SysUtilsFiles, FileOperations) {
  TestTempDir tmp;
  const std::string f = tmp.File("a.txt"), g = tmp.File("b.txt"), sub = tmp.File("sub");
  WriteFile(f, "hello");
  ASSERT_TRUE(ForceDirectories(sub + "/x/y"));
  EXPECT_TRUE(FileExists(f));
  EXPECT_FALSE(FileExists(sub));  // folders are not files
  EXPECT_FALSE(FileExists(tmp.File("missing")));
  EXPECT_TRUE(DirectoryExists(sub + "/x/y"));
  EXPECT_TRUE(DirectoryExists(sub + "\\x\\"));  // "\" separates too
  EXPECT_FALSE(DirectoryExists(f));
  EXPECT_TRUE(FileExists(tmp.Path() + "sub\\..\\a.txt"));
  EXPECT_FALSE(ForceDirectories(f + "/below_a_file"));
  EXPECT_FALSE(ForceDirectories(""));
  EXPECT_EQ(FileSizeOf(f), 5);
  EXPECT_EQ(FileSizeOf(sub), -1);
  EXPECT_EQ(FileSizeOf(tmp.File("missing")), -1);

  // A name with an embedded NUL names no file (not the shorter name before the NUL).
  EXPECT_FALSE(FileExists(f + "\0junk"s));
  EXPECT_FALSE(DeleteFile(f + "\0junk"s));
  EXPECT_TRUE(FileExists(f));

  EXPECT_TRUE(RenameFile(f, g));
  EXPECT_FALSE(FileExists(f));
  EXPECT_FALSE(RenameFile(f, g));  // the source is gone
  WriteFile(f, "new");
  EXPECT_TRUE(RenameFile(f, g));   // POSIX rename replaces the target
  EXPECT_EQ(FileSizeOf(g), 3);
  EXPECT_FALSE(DeleteFile(sub));   // not a file
  EXPECT_TRUE(DeleteFile(g));
  EXPECT_FALSE(DeleteFile(g));
  EXPECT_TRUE(DirectoryExists(sub));
}

TEST(SysUtilsFiles, ProcessAndSystemFolders) {
  const std::string exe = std::filesystem::canonical("/proc/self/exe").string();
  EXPECT_EQ(ParamStr(0), exe);
  EXPECT_EQ(ExtractProgramDir(), ExtractFilePath(exe));
  EXPECT_EQ(ExtractProgramDir().back(), '/');
  EXPECT_EQ(ParamStr(-1), "");
  EXPECT_EQ(ParamStr(100000), "");
  EXPECT_EQ(GetCurrentDir(), std::filesystem::current_path().string());
  EXPECT_EQ(GetTempDir().back(), '/');
  EXPECT_EQ(SysErrorMessage(ENOENT), "No such file or directory");
  EXPECT_FALSE(SysErrorMessage(123456).empty());
}

// ---------------------------------------------------------------------------------------------
// Time

TEST(SysUtilsTime, NowIsLocalTimeAsDaysSince1899) {
  // The test environment runs on UTC, so local time is the Unix time shifted by 25569 days.
  const double before = 25569.0 + static_cast<double>(std::time(nullptr)) / 86400.0;
  const TDateTime now = Now();
  const TDateTime date = Date(), time = Time();
  const double after = 25569.0 + static_cast<double>(std::time(nullptr) + 1) / 86400.0;
  EXPECT_GE(now, before);
  EXPECT_LE(now, after);
  EXPECT_NEAR(date, std::floor(now), 1.0);  // may cross midnight between the calls
  EXPECT_EQ(date, std::floor(date));
  EXPECT_GE(time, 0.0);
  EXPECT_LT(time, 1.0);
}

TEST(SysUtilsTime, FormatDateTimeTokens) {
  const TDateTime t = EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 9, 45);  // a Tuesday
  const TDateTime early = EncodeDate(1999, 12, 31) + EncodeTime(0, 5, 0, 0);
  TFormatSettings dots;
  dots.DateSeparator = '.';
  dots.TimeSeparator = '.';
  struct Case { const char* fmt; TDateTime d; const TFormatSettings* fs; const char* want; };
  const TFormatSettings def;
  const Case cases[] = {
      {"yyyy-mm-dd hh:nn:ss.zzz", t, &def, "2024-03-05 14:07:09.045"},
      {"yy/m/d", t, &def, "24/3/5"},
      {"yy/m/d h:n", t, &dots, "24.3.5 14.7"},
      {"mmm mmmm ddd dddd", t, &def, "Mar March Tue Tuesday"},
      {"h:mm", t, &def, "14:07"},  // "m" after an hour is the minute
      {"dd.mm.yyyy", t, &def, "05.03.2024"},
      {"hh:mm am/pm", t, &def, "02:07 pm"},
      {"h AM/PM", t, &def, "2 PM"},
      {"h a/p", early, &def, "12 a"},
      {"h:nn ampm", early, &def, "12:05 AM"},
      {"hh:nn 'am/pm'", t, &def, "14:07 am/pm"},  // quoted text is not a token
      {"z zzz s ss", t, &def, "45 045 9 09"},
      {"'yyyy' \"mm\" yyyy", t, &def, "yyyy mm 2024"},
      {"c", t, &def, "3/5/2024 2:07:09 PM"},
      {"ddddd", t, &def, "3/5/2024"},
      {"dddd", EncodeDate(1899, 12, 30), &def, "Saturday"},
      {"dddd", EncodeDate(1, 1, 1), &def, "Monday"},
      {"", t, &def, "3/5/2024 2:07:09 PM"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.fmt, c.d, *c.fs), c.want) << c.fmt;
  EXPECT_EQ(DateTimeToStr(t), "3/5/2024 2:07:09 PM");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5)), "3/5/2024");  // midnight shows no time
}

TEST(SysUtilsTime, FormatDateTimeSurvivesHostileInput) {
  TFormatSettings loop;
  loop.ShortDateFormat = "c ddddd";  // refers to itself
  loop.LongTimeFormat = "c";
  EXPECT_FALSE(FormatDateTime("c", 45000.5, loop).empty());
  EXPECT_EQ(FormatDateTime("yyyy mmmm dddd hh", std::nan(""), TFormatSettings()), "0000   00");
  EXPECT_EQ(FormatDateTime("'unclosed", 0, TFormatSettings()), "unclosed");
  EXPECT_EQ(FormatDateTime("a\0b"s, 0, TFormatSettings()), "a\0b"s);
}

// ---------------------------------------------------------------------------------------------
// Hostile input through every parser: no crash, and the Try/Def/raising forms agree.

TEST(SysUtilsRobustness, RandomAndHugeInputs) {
  const std::string alphabet = "0123456789$xX+-.,eE \t\0\x80\xC3\xFF\xED\xF4" "aAfF"s;
  uint32_t state = 12345;
  auto next = [&] { state = state * 1103515245u + 12345u; return state >> 16; };
  for (int round = 0; round < 3000; ++round) {
    std::string s;
    const size_t len = next() % 24;
    for (size_t i = 0; i < len; ++i) s += alphabet[next() % alphabet.size()];
    int32_t i32;
    int64_t i64;
    long double f;
    bool b;
    if (TryStrToInt(s, i32)) {
      EXPECT_EQ(StrToInt(s), i32);
    } else {
      EXPECT_THROW(StrToInt(s), EConvertError);
    }
    if (!TryStrToInt64(s, i64)) { EXPECT_THROW(StrToInt64(s), EConvertError); }
    if (!TryStrToFloat(s, f)) { EXPECT_THROW(StrToFloat(s), EConvertError); }
    if (!TryStrToBool(s, b)) { EXPECT_THROW(StrToBool(s), EConvertError); }
    const std::string u = Utf16ToUtf8(Utf8ToUtf16(s));
    EXPECT_TRUE(IsValidUtf8(u));
    if (IsValidUtf8(s)) { EXPECT_EQ(u, s); }
    EXPECT_TRUE(IsValidUtf8(BytesToUtf8(s)));
    (void)FormatDateTime(s, 45000.25);
    (void)ExpandFileName(s);
    (void)AnsiDequotedStr(s, '$');
  }
  const std::string digits(1 << 20, '7');
  EXPECT_THROW(StrToInt(digits), EConvertError);
  EXPECT_THROW(StrToFloat(digits + "e99999"), EConvertError);
  EXPECT_EQ(StrToFloat("0." + std::string(100000, '0') + "1"), 0.0L);  // underflows to zero
  EXPECT_NEAR(static_cast<double>(StrToFloat(digits.substr(0, 3) + "." + digits)), 777.0 + 7.0 / 9.0, 1e-12);
  EXPECT_EQ(Trim(std::string(1 << 20, ' ')), "");
}
