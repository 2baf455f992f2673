// Format and the floating-point text conversions, with the run-time's rules: digits are taken
// to 18 significant places and rounded half away from zero on the decimal digit string.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/rtl/SysUtils.h"

namespace {

// Decimal digits of |v|: "d1 d2 ... dn" with the decimal point after Exponent digits
// (0.00123 -> "123", -2). Digits are trimmed of trailing zeros; an empty string means zero.
struct TDecimal {
  std::string digits;
  int exponent = 0;
  bool negative = false;
  bool special = false;  // INF or NAN text in digits
};

constexpr int kMaxDigits = 18;

TDecimal ToDecimal(long double v, int precision) {
  TDecimal d;
  if (std::isnan(v)) { d.special = true; d.digits = "NAN"; return d; }
  if (std::isinf(v)) { d.special = true; d.negative = v < 0; d.digits = "INF"; return d; }
  d.negative = std::signbit(v) && v != 0;
  if (v == 0) return d;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*Le", kMaxDigits - 1, std::fabs(v));
  // buf = "d.dddddddddddddddddde[+-]xx"
  std::string digits;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  int exp10 = (*p == 'e') ? std::atoi(p + 1) : 0;
  d.exponent = exp10 + 1;
  if (precision < 1) precision = 1;
  if (precision > kMaxDigits) precision = kMaxDigits;
  if (static_cast<int>(digits.size()) > precision) {
    bool up = digits[precision] >= '5';
    digits.resize(precision);
    if (up) {
      int i = precision - 1;
      while (i >= 0 && digits[i] == '9') { digits[i] = '0'; --i; }
      if (i < 0) { digits.insert(digits.begin(), '1'); digits.pop_back(); ++d.exponent; }
      else ++digits[i];
    }
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  d.digits = digits;
  if (d.digits.empty()) { d.exponent = 0; d.negative = false; }
  return d;
}

// Rounds |v| to `decimals` places after the point (fixed formats).
TDecimal ToDecimalFixed(long double v, int decimals) {
  TDecimal d = ToDecimal(v, kMaxDigits);
  if (d.special || d.digits.empty()) return d;
  int keep = d.exponent + decimals;  // digits to keep
  if (keep < 0) { d.digits.clear(); d.exponent = 0; d.negative = false; return d; }
  if (keep < static_cast<int>(d.digits.size())) {
    bool up = d.digits[keep] >= '5';
    d.digits.resize(keep);
    if (up) {
      int i = keep - 1;
      while (i >= 0 && d.digits[i] == '9') { d.digits[i] = '0'; --i; }
      if (i < 0) { d.digits.insert(d.digits.begin(), '1'); ++d.exponent; }
      else ++d.digits[i];
    }
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits.empty()) { d.exponent = 0; d.negative = false; }
  }
  return d;
}

std::string ExponentText(int e, bool forceSign, int minDigits) {
  std::string s = "E";
  if (e < 0) s += '-';
  else if (forceSign) s += '+';
  std::string n = std::to_string(std::abs(e));
  while (static_cast<int>(n.size()) < minDigits) n.insert(n.begin(), '0');
  return s + n;
}

// The integer part of a fixed number with optional thousands separators.
std::string FixedText(const TDecimal& d, int decimals, bool thousands, const TFormatSettings& fs) {
  std::string intPart;
  if (d.exponent <= 0) intPart = "0";
  else
    for (int i = 0; i < d.exponent; ++i)
      intPart += i < static_cast<int>(d.digits.size()) ? d.digits[i] : '0';
  if (thousands && fs.ThousandSeparator) {
    std::string t;
    int n = static_cast<int>(intPart.size());
    for (int i = 0; i < n; ++i) {
      if (i > 0 && (n - i) % 3 == 0) t += fs.ThousandSeparator;
      t += intPart[i];
    }
    intPart = t;
  }
  if (decimals > 0) {
    intPart += fs.DecimalSeparator;
    for (int i = 0; i < decimals; ++i) {
      int idx = d.exponent + i;
      intPart += (idx >= 0 && idx < static_cast<int>(d.digits.size())) ? d.digits[idx] : '0';
    }
  }
  return intPart;
}

std::string CurrencyText(std::string num, bool negative, const TFormatSettings& fs) {
  const std::string& c = fs.CurrencyString;
  if (!negative) {
    switch (fs.CurrencyFormat) {
      case 1: return num + c;
      case 2: return c + " " + num;
      case 3: return num + " " + c;
      default: return c + num;
    }
  }
  switch (fs.NegCurrFormat) {
    case 1: return "-" + c + num;
    case 2: return c + "-" + num;
    case 3: return c + num + "-";
    case 4: return "(" + num + c + ")";
    case 5: return "-" + num + c;
    case 6: return num + "-" + c;
    case 7: return num + c + "-";
    case 8: return "-" + num + " " + c;
    case 9: return "-" + c + " " + num;
    case 10: return num + " " + c + "-";
    case 11: return c + " " + num + "-";
    case 12: return c + " -" + num;
    case 13: return num + "- " + c;
    case 14: return "(" + c + " " + num + ")";
    case 15: return "(" + num + " " + c + ")";
    default: return "(" + c + num + ")";
  }
}

}  // namespace

std::string FloatToStrF(long double v, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs) {
  if (precision > kMaxDigits) precision = kMaxDigits;
  if (precision < 1) precision = 1;
  if (digits < 0) digits = 0;
  TDecimal probe = ToDecimal(v, precision);
  if (probe.special) return (probe.negative ? "-" : "") + probe.digits;
  // Fixed formats fall back to general form when the integer part exceeds the precision.
  if ((format == ffFixed || format == ffNumber || format == ffCurrency) && !probe.digits.empty() &&
      probe.exponent > precision)
    format = ffGeneral;
  std::string sign;
  switch (format) {
    case ffGeneral: {
      TDecimal d = probe;
      if (d.digits.empty()) return "0";
      sign = d.negative ? "-" : "";
      if (d.exponent > precision || d.exponent < -3) {
        std::string s(1, d.digits[0]);
        if (d.digits.size() > 1) s += fs.DecimalSeparator + d.digits.substr(1);
        return sign + s + ExponentText(d.exponent - 1, false, digits);
      }
      int decimals = std::max(0, static_cast<int>(d.digits.size()) - d.exponent);
      return sign + FixedText(d, decimals, false, fs);
    }
    case ffExponent: {
      TDecimal d = probe;
      sign = d.negative ? "-" : "";
      std::string m = d.digits;
      while (static_cast<int>(m.size()) < precision) m += '0';
      std::string s(1, m[0]);
      if (precision > 1) s += fs.DecimalSeparator + m.substr(1);
      int e = d.digits.empty() ? 0 : d.exponent - 1;
      return sign + s + ExponentText(e, true, digits);
    }
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
      if (digits > 18) digits = 18;
      TDecimal d = ToDecimalFixed(v, digits);
      std::string num = FixedText(d, digits, format != ffFixed, fs);
      if (format == ffCurrency) return CurrencyText(num, d.negative, fs);
      return (d.negative ? "-" : "") + num;
    }
  }
  return {};
}

std::string FloatToStr(long double v, const TFormatSettings& fs) {
  return FloatToStrF(v, ffGeneral, 15, 0, fs);
}

namespace {

[[noreturn]] void FormatError(std::string_view fmt) {
  throw EConvertError("Format '" + std::string(fmt) + "' invalid or incompatible with argument");
}
[[noreturn]] void ArgumentMissing(std::string_view fmt) {
  throw EConvertError("No argument for format '" + std::string(fmt) + "'");
}

std::string HexOf(uint64_t v) {
  static const char* hex = "0123456789ABCDEF";
  std::string s;
  do { s.insert(s.begin(), hex[v & 15]); v >>= 4; } while (v);
  return s;
}

// Integers print as the 32-bit value when they fit in 32 bits, as the run-time's Integer does.
uint64_t AsUnsigned(const TVarRec& a) {
  if (a.kind == TVarRec::Kind::UInt) return a.u;
  if (a.i >= INT32_MIN && a.i <= UINT32_MAX) return static_cast<uint32_t>(a.i);
  return static_cast<uint64_t>(a.i);
}

}  // namespace

std::string FormatV(std::string_view fmt, const std::vector<TVarRec>& args, const TFormatSettings& fs) {
  std::string out;
  size_t argIndex = 0;
  size_t i = 0;
  const size_t n = fmt.size();
  auto nextArg = [&]() -> const TVarRec& {
    if (argIndex >= args.size()) ArgumentMissing(fmt);
    return args[argIndex++];
  };
  auto readNumber = [&](int& value) -> bool {
    if (i < n && fmt[i] == '*') {
      const TVarRec& a = nextArg();
      if (a.kind != TVarRec::Kind::Int) FormatError(fmt);
      value = static_cast<int>(a.i);
      ++i;
      return true;
    }
    if (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
      value = 0;
      while (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
        value = value * 10 + (fmt[i] - '0');
        if (value > 100000000) FormatError(fmt);
        ++i;
      }
      return true;
    }
    return false;
  };
  while (i < n) {
    char c = fmt[i];
    if (c != '%') { out += c; ++i; continue; }
    ++i;
    if (i >= n) FormatError(fmt);
    if (fmt[i] == '%') { out += '%'; ++i; continue; }
    // [index:]
    int num = -1;
    bool left = false;
    int width = -1, prec = -1;
    if (readNumber(num)) {
      if (i < n && fmt[i] == ':') {
        argIndex = static_cast<size_t>(num < 0 ? 0 : num);
        ++i;
        num = -1;
      } else {
        width = num;  // it was the width
      }
    } else if (i < n && fmt[i] == ':') {
      argIndex = 0;
      ++i;
    }
    if (width < 0) {
      if (i < n && fmt[i] == '-') { left = true; ++i; }
      readNumber(width);
    }
    if (i < n && fmt[i] == '.') {
      ++i;
      if (!readNumber(prec)) prec = 0;
    }
    if (i >= n) FormatError(fmt);
    char type = static_cast<char>(fmt[i] | 0x20);  // lower case
    ++i;
    const TVarRec& a = nextArg();
    std::string s;
    using K = TVarRec::Kind;
    switch (type) {
      case 'd':
      case 'u': {
        if (a.kind != K::Int && a.kind != K::UInt) FormatError(fmt);
        bool neg = false;
        uint64_t mag;
        if (type == 'u') mag = AsUnsigned(a);
        else if (a.kind == K::UInt) mag = a.u;
        else { neg = a.i < 0; mag = neg ? uint64_t(0) - static_cast<uint64_t>(a.i) : static_cast<uint64_t>(a.i); }
        s = std::to_string(mag);
        if (prec > static_cast<int>(s.size())) s.insert(0, static_cast<size_t>(prec) - s.size(), '0');
        if (neg) s.insert(s.begin(), '-');
        break;
      }
      case 'x': {
        if (a.kind != K::Int && a.kind != K::UInt) FormatError(fmt);
        s = HexOf(AsUnsigned(a));
        if (prec > static_cast<int>(s.size())) s.insert(0, static_cast<size_t>(prec) - s.size(), '0');
        break;
      }
      case 'p': {
        if (a.kind != K::Pointer) FormatError(fmt);
        s = HexOf(reinterpret_cast<uintptr_t>(a.p));
        while (s.size() < sizeof(void*) * 2) s.insert(s.begin(), '0');
        break;
      }
      case 's': {
        if (a.kind == K::String || a.kind == K::Char) s = a.s;
        else FormatError(fmt);
        if (prec >= 0 && static_cast<size_t>(prec) < s.size()) s.resize(prec);
        break;
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm': {
        if (a.kind != K::Float) FormatError(fmt);
        switch (type) {
          case 'e': s = FloatToStrF(a.f, ffExponent, prec < 0 ? 15 : prec, 3, fs); break;
          case 'f': s = FloatToStrF(a.f, ffFixed, kMaxDigits, prec < 0 ? 2 : prec, fs); break;
          case 'g': s = FloatToStrF(a.f, ffGeneral, prec < 0 ? 15 : prec, 3, fs); break;
          case 'n': s = FloatToStrF(a.f, ffNumber, kMaxDigits, prec < 0 ? 2 : prec, fs); break;
          default: s = FloatToStrF(a.f, ffCurrency, kMaxDigits, prec < 0 ? fs.CurrencyDecimals : prec, fs); break;
        }
        break;
      }
      default:
        FormatError(fmt);
    }
    if (width > 0 && static_cast<int>(s.size()) < width) {
      std::string pad(width - s.size(), ' ');
      s = left ? s + pad : pad + s;
    }
    out += s;
  }
  return out;
}
