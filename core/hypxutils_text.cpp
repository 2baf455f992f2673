#include "core/hypxutils_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>
#include <mutex>

#include "core/pxsettings.h"

// ---------------------------------------------------------------------------------------------
// Numbers and text

std::string CopyText(std::string_view Text, int32_t Index, int32_t Count) {
  if (Index < 1) Index = 1;
  const auto start = static_cast<size_t>(Index - 1);
  if (Count <= 0 || start >= Text.size()) return {};
  return std::string(Text.substr(start, static_cast<size_t>(Count)));
}

TFormatSettings InvariantFormatSettings() {
  TFormatSettings fs = FormatSettings();
  fs.DecimalSeparator = '.';
  fs.ThousandSeparator = ',';
  return fs;
}

std::string FloatToTextDot(double Value) {
  std::string s = FloatToStr(Value);
  const char sep = FormatSettings().DecimalSeparator;
  for (char& c : s)
    if (c == ',' || c == sep) c = '.';
  return s;
}

namespace {

// Trailing zeros, then a trailing separator, removed when the text has the separator.
void TrimDecimalZeros(std::string& s, char separator) {
  if (s.find(separator) == std::string::npos) return;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == separator) s.pop_back();
}

std::string GroupThousands(uint64_t Value, char Separator) {
  const std::string digits = std::to_string(Value);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += Separator;
    out += digits[i];
  }
  return out;
}

}  // namespace

std::string FloatToTextFixed(int32_t Decimals, bool TrimZeros, double Value) {
  Decimals = std::clamp(Decimals, 0, 18);
  std::string s = Format("%.*f", Decimals, Value);
  if (TrimZeros) TrimDecimalZeros(s, '.');
  return s;
}

std::string FloatToTextDecimals(int32_t Decimals, bool TrimZeros, double Value) {
  const char sep = FormatSettings().DecimalSeparator;
  std::string s = Format("%.10n", Value);
  int32_t d = Decimals;
  // Below 1 the leading zeros after the separator do not count as decimals.
  const size_t lead = !s.empty() && s[0] == '-' ? 1 : 0;
  if (s.size() > lead + 2 && s[lead] == '0' && s[lead + 1] == sep) {
    for (size_t i = lead + 2; i < s.size() && s[i] == '0' && d <= 9; ++i) ++d;
  }
  if (Value == 0 && d >= 10) d = Decimals;
  const size_t p = s.find(sep);
  if (p != std::string::npos && d >= 0) {
    // Cut, not rounded; no bare separator is left for 0 decimals.
    const size_t keep = d == 0 ? p : p + 1 + static_cast<size_t>(d);
    if (keep < s.size()) s.resize(keep);
  }
  if (TrimZeros) TrimDecimalZeros(s, sep);
  return s;
}

std::string FormatThousands(int64_t Value, int32_t SignificantDigits) {
  const bool negative = Value < 0;
  uint64_t v = negative ? 0 - static_cast<uint64_t>(Value) : static_cast<uint64_t>(Value);
  const int32_t length = static_cast<int32_t>(std::to_string(v).size());
  if (SignificantDigits > 0 && length > SignificantDigits) {
    uint64_t factor = 1;
    for (int32_t i = 0; i < length - SignificantDigits; ++i) factor *= 10;
    uint64_t q = v / factor;
    const uint64_t r = v % factor;
    if (r > factor - r || (r == factor - r && (q & 1u))) ++q;  // half to even
    v = q * factor;
  }
  const std::string text = GroupThousands(v, FormatSettings().ThousandSeparator);
  return negative && v != 0 ? "-" + text : text;
}

std::string BytesToText(int64_t Value, int64_t Threshold) {
  if (Value < Threshold) return FormatThousands(Value, 0) + " bytes";
  return FormatThousands(Value / 1024, 0) + " KB";
}

std::string FileSizeToText(int64_t Size) {
  if (Size < 10485760) return BytesToText(Size, 1024);
  if (Size < 1073741824) return FloatToTextFixed(2, true, static_cast<double>(Size) / 1048576.0) + " MB";
  return FloatToTextFixed(2, true, static_cast<double>(Size) / 1073741824.0) + " GB";
}

void FloatToFraction(double Tolerance, double Value, int32_t& Numerator, int32_t& Denominator) {
  constexpr double kMax = INT32_MAX;
  const int32_t sign = Value >= 0 ? 1 : -1;
  const double v = std::fabs(Value);
  if (std::isnan(Value)) {
    Numerator = 0;
    Denominator = 1;
    return;
  }
  if (v > kMax) {  // no 32-bit fraction comes closer
    Numerator = sign * 999999999;
    Denominator = 1;
    return;
  }
  if (v == std::trunc(v)) {
    Numerator = sign * static_cast<int32_t>(v);
    Denominator = 1;
    return;
  }
  if (v < 1e-19) {
    Numerator = sign;
    Denominator = 999999999;
    return;
  }
  double n = std::trunc(v), d = 1, d0 = 0, x = v;
  for (int guard = 0; guard < 64; ++guard) {
    x = 1 / (x - std::trunc(x));
    const double dn = d * std::trunc(x) + d0;
    const double nn = std::trunc(v * dn + 0.5);
    if (!(nn <= kMax) || !(dn <= kMax)) break;
    if (std::fabs(v - nn / dn) < Tolerance || x == std::trunc(x)) {
      n = nn;
      d = dn;
      break;
    }
    d0 = d;
    d = dn;
    n = nn;
  }
  Numerator = sign * static_cast<int32_t>(n);
  Denominator = static_cast<int32_t>(d);
}

bool StrToBoolean(std::string_view Text) {
  const std::string u = UpperCase(Text);
  return u == "1" || u == "TRUE" || u == "T";
}

std::string BoolToText(bool Value) { return Value ? "true" : "false"; }

std::string JoinWithSeparator(std::string_view A, std::string_view B, std::string_view Separator) {
  std::string r(A);
  if (!A.empty() && !B.empty()) r += Separator;
  r += B;
  return r;
}

std::unique_ptr<char[]> StrNewA(const char* Text) {
  if (!Text) return nullptr;
  const size_t n = std::strlen(Text);
  auto p = std::make_unique<char[]>(n + 1);
  std::memcpy(p.get(), Text, n + 1);
  return p;
}

std::unique_ptr<char16_t[]> StrNewW(const char16_t* Text) {
  if (!Text) return nullptr;
  const size_t n = std::char_traits<char16_t>::length(Text);
  auto p = std::make_unique<char16_t[]>(n + 1);
  std::copy(Text, Text + n + 1, p.get());
  return p;
}

std::string GUIDToText(const TGUID& GUID, std::string_view Open, std::string_view Separator, std::string_view Close) {
  auto hex = [](uint64_t v, int digits) { return LowerCase(IntToHex(static_cast<int64_t>(v), digits)); };
  std::string s(Open);
  s += hex(GUID.D1, 8);
  s += Separator;
  s += hex(GUID.D2, 4);
  s += Separator;
  s += hex(GUID.D3, 4);
  s += Separator;
  s += hex(GUID.D4[0], 2) + hex(GUID.D4[1], 2);
  s += Separator;
  for (int i = 2; i < 8; ++i) s += hex(GUID.D4[i], 2);
  s += Close;
  return s;
}

// ---------------------------------------------------------------------------------------------
// Measure units

double UnitsPerInch(TPXUnits Unit, double DPI) {
  switch (static_cast<uint8_t>(Unit) & 0x7F) {
    case 0: return DPI;
    case 1: return 1;
    case 2: return 0.0000254;
    case 3: return 0.0254;
    case 4: return 2.54;
    case 5: return 25.4;
    case 6: return 25400;
    case 7: return 2.54e7;
    case 8: return 1.0 / 12;
    case 9: return 1.0 / 36;
    case 10: return 0.000015782828282828283;
    default: throw EPXException("Invalid TPXUnit");
  }
}

double ConvertUnits(TPXUnits FromUnit, TPXUnits ToUnit, double Value, double DPI) {
  if (FromUnit == ToUnit) return Value;
  auto isPixels = [](TPXUnits u) { return (static_cast<uint8_t>(u) & 0x7F) == 0; };
  if ((isPixels(FromUnit) || isPixels(ToUnit)) && DPI == 0) throw EPXException("Cannot convert pixels. DPI not set");
  return Value / UnitsPerInch(FromUnit, DPI) * UnitsPerInch(ToUnit, DPI);
}

void PixelSizeInUnits(TPXUnits Unit, double DPIX, double DPIY, double& SizeX, double& SizeY) {
  if ((static_cast<uint8_t>(Unit) & 0x7F) == 0 || DPIX == 0 || DPIY == 0) {
    SizeX = 1;
    SizeY = 1;
    return;
  }
  SizeX = ConvertUnits(pxuPixels, Unit, 1, DPIX);
  SizeY = ConvertUnits(pxuPixels, Unit, 1, DPIY);
}

// ---------------------------------------------------------------------------------------------
// GPS degrees

double GPSToDegrees(std::string_view Ref, double Degrees, double Minutes, double Seconds) {
  const double v = Degrees + Minutes / 60 + Seconds / 3600;
  return Ref == "W" || Ref == "S" ? -v : v;
}

void DegreesToGPS(std::string_view RefPair, double Value, double& Degrees, double& Minutes, double& Seconds,
                  std::string& Ref) {
  const size_t i = Value >= 0 ? 1 : 0;
  Ref = i < RefPair.size() ? std::string(1, RefPair[i]) : std::string();
  const double a = std::fabs(Value);
  Degrees = std::trunc(a);
  const double m = (a - Degrees) * 60;
  Minutes = std::trunc(m);
  Seconds = (m - Minutes) * 60;
}

// ---------------------------------------------------------------------------------------------
// Files and names

std::string ExtractFileExtLower(std::string_view Name, bool WithDot) {
  std::string e = LowerCase(ExtractFileExt(Name));
  if (!WithDot && !e.empty()) e.erase(0, 1);
  return e;
}

std::u16string ExtractFileExtLowerW(std::u16string_view Name, bool WithDot) {
  return Utf8ToUtf16(ExtractFileExtLower(Utf16ToUtf8(Name), WithDot));
}

bool ExtensionInFilter(std::string_view Ext, std::string_view Filter) {
  std::string e = LowerCase(Ext);
  if (e.empty() || e[0] != '.') e.insert(0, 1, '.');
  if (Filter == "*.*" || Filter == "*.*;") return true;
  if (e.size() < 2) return false;
  return (LowerCase(Filter) + ";").find(e + ";") != std::string::npos;
}

bool FileMatchesFilter(std::string_view FileName, std::string_view Filter) {
  return ExtensionInFilter(ExtractFileExt(FileName), Filter);
}

namespace {
size_t LastNameDelimiter(std::u16string_view Name) { return Name.find_last_of(u"\\/:"); }
}  // namespace

std::u16string ExtractFilePathW(std::u16string_view Name) {
  const size_t p = LastNameDelimiter(Name);
  return p == std::u16string_view::npos ? std::u16string() : std::u16string(Name.substr(0, p + 1));
}

std::u16string ExtractFileNameW(std::u16string_view Name) {
  const size_t p = LastNameDelimiter(Name);
  return std::u16string(p == std::u16string_view::npos ? Name : Name.substr(p + 1));
}

std::string ExtractFileNameNoExt(std::string_view Name) {
  std::string name = ExtractFileName(Name);
  const size_t ext = ExtractFileExt(name).size();
  if (ext < name.size()) name.resize(name.size() - ext);
  return name;
}

namespace {

TDateTime LocalDateTime(time_t Seconds, long Nanoseconds) {
  if (Seconds == 0 && Nanoseconds == 0) return 0;
  struct tm t {};
  if (!localtime_r(&Seconds, &t)) return 0;
  return EncodeDate(static_cast<uint16_t>(t.tm_year + 1900), static_cast<uint16_t>(t.tm_mon + 1),
                    static_cast<uint16_t>(t.tm_mday)) +
         EncodeTime(static_cast<uint16_t>(t.tm_hour), static_cast<uint16_t>(t.tm_min),
                    static_cast<uint16_t>(std::min(t.tm_sec, 59)), static_cast<uint16_t>(Nanoseconds / 1000000));
}

}  // namespace

bool FileInfo(std::string_view Name, int64_t& Size, TDateTime& Created, TDateTime& Modified) {
  Size = 0;
  Created = 0;
  Modified = 0;
  const std::string path(Name);
  struct statx sx {};
  if (path.empty() || statx(AT_FDCWD, path.c_str(), 0, STATX_SIZE | STATX_MTIME | STATX_BTIME, &sx) != 0) return false;
  Size = static_cast<int64_t>(sx.stx_size);
  Modified = LocalDateTime(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
  Created = (sx.stx_mask & STATX_BTIME) ? LocalDateTime(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec) : Modified;
  return true;
}

int32_t URLKind(std::string_view Text) {
  const std::string s = LowerCase(Text.substr(0, 8));
  if (s.starts_with("http://")) return 1;
  if (s.starts_with("https://")) return 2;
  if (s.starts_with("ftp://")) return 3;
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Streams and encodings

int64_t SearchStream(TStream* Stream, std::string_view Pattern, int64_t Limit) {
  if (!Stream || Pattern.empty()) return -1;
  // Knuth-Morris-Pratt: bytes are read once, so the stream never has to move back.
  const size_t m = Pattern.size();
  std::vector<size_t> fail(m, 0);
  for (size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && Pattern[i] != Pattern[k]) k = fail[k - 1];
    if (Pattern[i] == Pattern[k]) ++k;
    fail[i] = k;
  }
  int64_t pos = Stream->Position();
  size_t matched = 0;
  while (pos < Limit) {
    char c;
    if (Stream->Read(&c, 1) != 1) return -1;
    ++pos;
    while (matched > 0 && c != Pattern[matched]) matched = fail[matched - 1];
    if (c == Pattern[matched]) ++matched;
    if (matched == m) return pos - static_cast<int64_t>(m);
  }
  return -1;
}

void WriteStreamLine(TStream* Stream, std::string_view Text) {
  Stream->WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
  Stream->WriteBuffer("\r\n", 2);
}

int32_t Ascii85Encode(const uint8_t*& Source, int32_t Count, std::string& Dest, int32_t& GroupBytes) {
  const size_t start = Dest.size();
  int32_t line = 0;
  while (Count > 0) {
    const int32_t n = std::min(Count, 4);
    uint32_t word = 0;
    for (int32_t i = 0; i < 4; ++i) word = (word << 8) | (i < n ? Source[i] : 0u);
    Source += n;
    Count -= n;
    int32_t chars;
    if (n == 4 && word == 0) {
      Dest += 'z';
      chars = 1;
    } else {
      char digits[5];
      for (int i = 4; i >= 0; --i) {
        digits[i] = static_cast<char>('!' + word % 85);
        word /= 85;
      }
      chars = n + 1;
      Dest.append(digits, static_cast<size_t>(chars));
    }
    GroupBytes += chars;
    line += chars;
    if (line >= 75) {
      Dest += "\r\n";
      line = 0;
    }
  }
  Dest += "~>\r\n";
  return static_cast<int32_t>(Dest.size() - start);
}

int32_t RunLengthEncode(const uint8_t* Source, int32_t Count, std::vector<uint8_t>& Dest) {
  const size_t start = Dest.size();
  int32_t i = 0;
  while (i < Count) {
    int32_t run = 1;
    while (i + run < Count && run < 128 && Source[i + run] == Source[i]) ++run;
    if (run >= 2) {
      Dest.push_back(static_cast<uint8_t>(257 - run));
      Dest.push_back(Source[i]);
      i += run;
      continue;
    }
    // A literal run ends where the next byte starts a run of equal bytes.
    int32_t j = i;
    while (j < Count && j - i < 128 && !(j + 1 < Count && Source[j] == Source[j + 1])) ++j;
    Dest.push_back(static_cast<uint8_t>(j - i - 1));
    Dest.insert(Dest.end(), Source + i, Source + j);
    i = j;
  }
  Dest.push_back(128);
  return static_cast<int32_t>(Dest.size() - start);
}

void Base64EncodeStream(TStream* Source, TStream* Dest, int32_t LineLength) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const int32_t groupsPerLine = LineLength > 0 ? (LineLength + 3) / 4 : 0;
  std::vector<uint8_t> in(3 * 16384);
  std::string out;
  uint8_t carry[3];
  int32_t carried = 0, groups = 0;
  bool any = false;
  auto emit = [&](const uint8_t* b, int32_t n) {
    const uint32_t v = (uint32_t{b[0]} << 16) | (uint32_t{n > 1 ? b[1] : uint8_t{0}} << 8) | (n > 2 ? b[2] : 0u);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
    out += n > 2 ? kAlphabet[v & 63] : '=';
    if (groupsPerLine > 0 && ++groups == groupsPerLine) {
      out += "\r\n";
      groups = 0;
    }
  };
  for (;;) {
    const int32_t got = Source->Read(in.data(), static_cast<int32_t>(in.size()));
    if (got <= 0) break;
    any = true;
    int32_t i = 0;
    while (carried > 0 && carried < 3 && i < got) carry[carried++] = in[i++];
    if (carried == 3) {
      emit(carry, 3);
      carried = 0;
    }
    for (; i + 3 <= got; i += 3) emit(&in[i], 3);
    while (i < got) carry[carried++] = in[i++];
    if (out.size() >= 65536) {
      Dest->WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
      out.clear();
    }
  }
  if (carried > 0) emit(carry, carried);
  if (any && groups != 0) out += "\r\n";
  if (!out.empty()) Dest->WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

// ---------------------------------------------------------------------------------------------
// Fonts

TFontStyles FontStylesFromLogFont(const LOGFONT* Font) {
  TFontStyles s;
  if (!Font) return s;
  if (Font->lfWeight >= 700) s.Include(TFontStyle::fsBold);
  if (Font->lfItalic) s.Include(TFontStyle::fsItalic);
  if (Font->lfUnderline) s.Include(TFontStyle::fsUnderline);
  if (Font->lfStrikeOut) s.Include(TFontStyle::fsStrikeOut);
  return s;
}

// ---------------------------------------------------------------------------------------------
// Debug log

void AppendDebugLog(std::string_view Text) {
  static std::mutex lock;
  const TPXPixoranGlobalSettings* settings = GlobalSettingsAssigned();
  if (!settings || settings->FDebugLogFile.empty()) return;
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm t {};
  localtime_r(&now.tv_sec, &t);
  char stamp[96];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(now.tv_nsec / 1000000));
  std::string line = stamp;
  line += Text;
  line += '\n';
  std::lock_guard guard(lock);
  const int fd = open(settings->FDebugLogFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const char* p = line.data();
  size_t left = line.size();
  while (left > 0) {
    const ssize_t n = write(fd, p, left);
    if (n <= 0) break;
    p += n;
    left -= static_cast<size_t>(n);
  }
  close(fd);
}
