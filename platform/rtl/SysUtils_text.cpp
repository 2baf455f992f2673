// String routines, integer/boolean/float text conversions, text encodings, and the fixed
// messages of Abort and EInvalidPropertyIndex.
#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "platform/rtl/SysUtils.h"

namespace {

constexpr bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
constexpr char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
constexpr char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string_view TrimView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool EqualIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ToUpperAscii(a[i]) != ToUpperAscii(b[i])) return false;
  return true;
}

// Integer text: [sign] (decimal digits | ("$" | "0x" | "0X") hex digits), nothing else.
// Decimal values must fit the signed range; hexadecimal ones may use every bit of the width and
// are taken as two's complement ("$FFFFFFFF" is -1 as a 32-bit value), as the run-time does.
bool ParseInteger(std::string_view s, int bits, int64_t& out) {
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) { neg = s[i] == '-'; ++i; }
  unsigned base = 10;
  if (i < s.size() && s[i] == '$') { base = 16; ++i; }
  else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) { base = 16; i += 2; }
  if (i >= s.size()) return false;
  const uint64_t widthMask = bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
  const uint64_t limit = base == 16 ? widthMask : (uint64_t{1} << (bits - 1)) - (neg ? 0 : 1);
  uint64_t mag = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    unsigned d;
    if (c >= '0' && c <= '9') d = static_cast<unsigned>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F') d = static_cast<unsigned>(c - 'A' + 10);
    else return false;
    if (mag > (limit - d) / base) return false;
    mag = mag * base + d;
  }
  uint64_t v = neg ? (0 - mag) & widthMask : mag;
  if (bits == 32) out = static_cast<int32_t>(static_cast<uint32_t>(v));
  else out = static_cast<int64_t>(v);
  return true;
}

[[noreturn]] void InvalidInteger(std::string_view s) {
  throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
}

// Float text: blanks, [sign] digits [sep digits] [(e|E) [sign] digits], blanks; at least one
// mantissa digit. Converted without regard to the process locale.
bool ParseFloat(std::string_view text, char sep, long double& out) {
  const std::string_view s = TrimView(text);
  size_t i = 0;
  std::string buf;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) buf += s[i++];
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') { buf += s[i++]; ++digits; }
  if (i < s.size() && s[i] == sep) {
    buf += '.';
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') { buf += s[i++]; ++digits; }
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    buf += 'e';
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) buf += s[i++];
    size_t expDigits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') { buf += s[i++]; ++expDigits; }
    if (expDigits == 0) return false;
  }
  if (i != s.size()) return false;
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  char* end = nullptr;
  const long double v = cLocale ? strtold_l(buf.c_str(), &end, cLocale) : strtold(buf.c_str(), &end);
  if (end != buf.c_str() + buf.size()) return false;
  if (std::isinf(v)) return false;  // overflow; underflow keeps the (denormal or zero) result
  out = v;
  return true;
}

std::string FloatError(std::string_view s) { return "'" + std::string(s) + "' is not a valid floating point value"; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Exceptions with fixed message texts.

void Abort() { throw EAbort(); }

EInvalidPropertyIndex::EInvalidPropertyIndex(int index)
    : EPropertyError("Invalid property index " + std::to_string(index) + ".") {}

// ---------------------------------------------------------------------------------------------
// Integers and booleans.

std::string IntToStr(int64_t v) { return std::to_string(v); }

std::string IntToHex(int64_t v, int digits) {
  // Negative values that fit 32 bits print as their 32-bit two's complement.
  uint64_t u = (v >= INT32_MIN && v < 0) ? static_cast<uint32_t>(v) : static_cast<uint64_t>(v);
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string s;
  do { s.insert(s.begin(), hex[u & 15]); u >>= 4; } while (u);
  if (digits > static_cast<int>(s.size())) s.insert(0, static_cast<size_t>(digits) - s.size(), '0');
  return s;
}

bool TryStrToInt(std::string_view s, int32_t& v) {
  int64_t r;
  if (!ParseInteger(s, 32, r)) return false;
  v = static_cast<int32_t>(r);
  return true;
}

int32_t StrToInt(std::string_view s) {
  int32_t v;
  if (!TryStrToInt(s, v)) InvalidInteger(s);
  return v;
}

int32_t StrToIntDef(std::string_view s, int32_t def) {
  int32_t v;
  return TryStrToInt(s, v) ? v : def;
}

bool TryStrToInt64(std::string_view s, int64_t& v) { return ParseInteger(s, 64, v); }

int64_t StrToInt64(std::string_view s) {
  int64_t v;
  if (!TryStrToInt64(s, v)) InvalidInteger(s);
  return v;
}

int64_t StrToInt64Def(std::string_view s, int64_t def) {
  int64_t v;
  return TryStrToInt64(s, v) ? v : def;
}

bool TryStrToBool(std::string_view s, bool& v) {
  int64_t n;
  if (TryStrToInt64(s, n)) { v = n != 0; return true; }
  if (EqualIgnoreCase(s, "True")) { v = true; return true; }
  if (EqualIgnoreCase(s, "False")) { v = false; return true; }
  return false;
}

bool StrToBool(std::string_view s) {
  bool v;
  if (!TryStrToBool(s, v)) throw EConvertError("'" + std::string(s) + "' is not a valid boolean value");
  return v;
}

bool StrToBoolDef(std::string_view s, bool def) {
  bool v;
  return TryStrToBool(s, v) ? v : def;
}

std::string BoolToStr(bool b, bool useBoolStrs) {
  if (useBoolStrs) return b ? "True" : "False";
  return b ? "-1" : "0";
}

// ---------------------------------------------------------------------------------------------
// Floating point text.

bool TryStrToFloat(std::string_view s, long double& v, const TFormatSettings& fs) {
  return ParseFloat(s, fs.DecimalSeparator, v);
}

bool TryStrToFloat(std::string_view s, double& v, const TFormatSettings& fs) {
  long double r;
  if (!ParseFloat(s, fs.DecimalSeparator, r) || std::fabs(r) > DBL_MAX) return false;
  v = static_cast<double>(r);
  return true;
}

long double StrToFloat(std::string_view s, const TFormatSettings& fs) {
  long double v;
  if (!ParseFloat(s, fs.DecimalSeparator, v)) throw EConvertError(FloatError(s));
  return v;
}

long double StrToFloatDef(std::string_view s, long double def, const TFormatSettings& fs) {
  long double v;
  return ParseFloat(s, fs.DecimalSeparator, v) ? v : def;
}

// ---------------------------------------------------------------------------------------------
// Strings.

std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

std::string TrimLeft(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(0, e));
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = ToUpperAscii(c);
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = ToLowerAscii(c);
  return r;
}

// Both compare bytes as unsigned values; CompareText folds 'a'..'z' to upper case first.
int CompareText(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int ca = static_cast<unsigned char>(ToUpperAscii(a[i]));
    const int cb = static_cast<unsigned char>(ToUpperAscii(b[i]));
    if (ca != cb) return ca - cb;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int CompareStr(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int ca = static_cast<unsigned char>(a[i]);
    const int cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return ca - cb;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool SameText(std::string_view a, std::string_view b) { return EqualIgnoreCase(a, b); }
bool SameStr(std::string_view a, std::string_view b) { return a == b; }

std::string StringReplace(std::string_view s, std::string_view from, std::string_view to, bool replaceAll,
                          bool ignoreCase) {
  if (from.empty()) return std::string(s);
  std::string r;
  size_t i = 0;
  while (i + from.size() <= s.size()) {
    const std::string_view here = s.substr(i, from.size());
    if (ignoreCase ? EqualIgnoreCase(here, from) : here == from) {
      r += to;
      i += from.size();
      if (!replaceAll) break;
    } else {
      r += s[i++];
    }
  }
  r.append(s.substr(i));
  return r;
}

std::string QuotedStr(std::string_view s) {
  std::string r = "'";
  for (char c : s) {
    r += c;
    if (c == '\'') r += '\'';
  }
  return r + "'";
}

// A text quoted with `quote` (doubled quotes inside stand for one) loses its quotes; a text
// that is not enclosed in quotes comes back unchanged.
std::string AnsiDequotedStr(std::string_view s, char quote) {
  if (s.empty() || s[0] != quote) return std::string(s);
  std::string r;
  size_t i = 1;
  while (i < s.size()) {
    if (s[i] == quote) {
      if (i + 1 < s.size() && s[i + 1] == quote) { r += quote; i += 2; continue; }
      ++i;
      break;
    }
    r += s[i++];
  }
  const bool atEnd = i >= s.size();
  if ((r.empty() || atEnd) && s.back() != quote) return std::string(s);
  return r;
}

int Pos(std::string_view sub, std::string_view s, int offset) {
  if (sub.empty() || offset < 1 || static_cast<size_t>(offset) > s.size()) return 0;
  const size_t p = s.find(sub, static_cast<size_t>(offset) - 1);
  return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

bool StartsText(std::string_view sub, std::string_view s) {
  return sub.size() <= s.size() && EqualIgnoreCase(s.substr(0, sub.size()), sub);
}

bool EndsText(std::string_view sub, std::string_view s) {
  return sub.size() <= s.size() && EqualIgnoreCase(s.substr(s.size() - sub.size()), sub);
}

// ---------------------------------------------------------------------------------------------
// Encodings.

namespace {

// Decodes one code point at s[i] and advances i. A malformed sequence yields U+FFFD for its
// longest valid prefix (at least one byte) and false: overlong forms, surrogates and values
// above U+10FFFF are malformed.
bool DecodeUtf8(std::string_view s, size_t& i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[i++]);
  if (b0 < 0x80) { cp = b0; return true; }
  int need;
  char32_t c;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) { need = 1; c = b0 & 0x1F; }
  else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    c = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;        // overlong
    else if (b0 == 0xED) hi = 0x9F;   // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    c = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;        // overlong
    else if (b0 == 0xF4) hi = 0x8F;   // above U+10FFFF
  } else {
    cp = 0xFFFD;
    return false;
  }
  for (int k = 0; k < need; ++k) {
    if (i >= s.size()) { cp = 0xFFFD; return false; }
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < lo || b > hi) { cp = 0xFFFD; return false; }
    lo = 0x80;
    hi = 0xBF;
    c = (c << 6) | (b & 0x3F);
    ++i;
  }
  cp = c;
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string r;
  r.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    char32_t cp;
    DecodeUtf8(s, i, cp);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      r += static_cast<char16_t>(0xD800 + (cp >> 10));
      r += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      r += static_cast<char16_t>(cp);
    }
  }
  return r;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // unpaired surrogate
    }
    AppendUtf8(r, c);
  }
  return r;
}

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  char32_t cp;
  while (i < s.size())
    if (!DecodeUtf8(s, i, cp)) return false;
  return true;
}

std::string Windows1252ToUtf8(std::string_view s) {
  // 0x80..0x9F; the undefined bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D pass through as the C1
  // controls of the same value, as the platform's conversion does.
  static constexpr char16_t high[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string r;
  r.reserve(s.size());
  for (char ch : s) {
    const auto b = static_cast<unsigned char>(ch);
    AppendUtf8(r, (b >= 0x80 && b <= 0x9F) ? high[b - 0x80] : b);
  }
  return r;
}

std::string BytesToUtf8(std::string_view s) {
  return IsValidUtf8(s) ? std::string(s) : Windows1252ToUtf8(s);
}
