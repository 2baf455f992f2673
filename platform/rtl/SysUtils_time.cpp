#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"

namespace {
std::atomic<TTickSource> g_tick_source{nullptr};
}  // namespace

void SetTickSource(TTickSource source) { g_tick_source.store(source); }

uint64_t GetTickCount64() {
  if (TTickSource s = g_tick_source.load()) return s();
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t GetTickCount() { return static_cast<uint32_t>(GetTickCount64()); }

void Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// ---------------------------------------------------------------------------------------------
// Wall-clock time, local.

namespace {

struct LocalNow {
  tm t{};
  int msec = 0;
};

LocalNow ReadLocalNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  LocalNow n;
  const time_t secs = ts.tv_sec;
  localtime_r(&secs, &n.t);
  n.msec = static_cast<int>(ts.tv_nsec / 1000000);
  return n;
}

TDateTime DateOf(const tm& t) {
  return EncodeDate(static_cast<uint16_t>(t.tm_year + 1900), static_cast<uint16_t>(t.tm_mon + 1),
                    static_cast<uint16_t>(t.tm_mday));
}

TDateTime TimeOf(const tm& t, int msec) {
  const int sec = t.tm_sec > 59 ? 59 : t.tm_sec;  // a leap second is not a TDateTime
  return EncodeTime(static_cast<uint16_t>(t.tm_hour), static_cast<uint16_t>(t.tm_min),
                    static_cast<uint16_t>(sec), static_cast<uint16_t>(msec));
}

}  // namespace

TDateTime Now() {
  const LocalNow n = ReadLocalNow();
  return DateOf(n.t) + TimeOf(n.t, n.msec);
}

TDateTime Date() { return DateOf(ReadLocalNow().t); }

TDateTime Time() {
  const LocalNow n = ReadLocalNow();
  return TimeOf(n.t, n.msec);
}

// ---------------------------------------------------------------------------------------------
// FormatDateTime.

namespace {

constexpr const char* kShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kLongMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                              "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kLongDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char* kLongDateFormat = "dddd, mmmm d, yyyy";

struct TDateParts {
  uint16_t year = 0, month = 0, day = 0, hour = 0, min = 0, sec = 0, msec = 0;
  int weekDay = -1;  // 0 = Sunday; -1 for a value outside the calendar
};

TDateParts Split(TDateTime d) {
  TDateParts p;
  DecodeDate(d, p.year, p.month, p.day);
  DecodeTime(d, p.hour, p.min, p.sec, p.msec);
  if (p.year != 0) {
    // Day 1 of the calendar (0001-01-01) was a Monday; day 0 is 1899-12-30, day 693594.
    const int64_t serial = Trunc(EncodeDate(p.year, p.month, p.day)) + 693594;
    p.weekDay = static_cast<int>(serial % 7);
  }
  return p;
}

bool StartsNoCase(std::string_view s, size_t i, std::string_view token) {
  if (s.size() - i < token.size()) return false;
  for (size_t k = 0; k < token.size(); ++k) {
    char c = s[i + k];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != token[k]) return false;
  }
  return true;
}

void AppendNumber(std::string& out, unsigned v, int digits) {
  std::string s = std::to_string(v);
  if (static_cast<int>(s.size()) < digits) s.insert(0, static_cast<size_t>(digits) - s.size(), '0');
  out += s;
}

// Whether an "h" at position i is on the 12-hour clock: the first "a" that follows outside
// quotes, before any further "h", starts an am/pm token.
bool Uses12HourClock(std::string_view fmt, size_t i) {
  bool quoted = false;
  for (; i < fmt.size(); ++i) {
    const char c = fmt[i];
    if (c == '\'' || c == '"') quoted = !quoted;
    else if (!quoted && (c == 'a' || c == 'A'))
      return StartsNoCase(fmt, i, "am/pm") || StartsNoCase(fmt, i, "a/p") || StartsNoCase(fmt, i, "ampm");
    else if (!quoted && (c == 'h' || c == 'H'))
      return false;
  }
  return false;
}

void AppendFormat(std::string& out, std::string_view fmt, const TDateParts& p, const TFormatSettings& fs,
                  int level) {
  if (level >= 2) return;  // formats from the settings may nest once, never endlessly
  char lastToken = ' ';
  size_t i = 0;
  while (i < fmt.size()) {
    const char starter = fmt[i];
    char token = (starter >= 'a' && starter <= 'z') ? static_cast<char>(starter - 32) : starter;
    if (token >= 'A' && token <= 'Z') {
      if (token == 'M' && lastToken == 'H') token = 'N';  // "m" right after an hour is minutes
      lastToken = token;
    }
    // Runs of the same character form one token.
    size_t end = i + 1;
    while (end < fmt.size() && fmt[end] == starter) ++end;
    const int count = static_cast<int>(end - i);
    switch (token) {
      case 'Y':
        if (count <= 2) AppendNumber(out, p.year % 100u, 2);
        else AppendNumber(out, p.year, 4);
        i = end;
        break;
      case 'M':
        if (count <= 2) AppendNumber(out, p.month, count);
        else if (p.month >= 1) out += (count == 3 ? kShortMonthNames : kLongMonthNames)[p.month - 1];
        i = end;
        break;
      case 'D':
        if (count <= 2) AppendNumber(out, p.day, count);
        else if (count <= 4) { if (p.weekDay >= 0) out += (count == 3 ? kShortDayNames : kLongDayNames)[p.weekDay]; }
        else if (count == 5) AppendFormat(out, fs.ShortDateFormat, p, fs, level + 1);
        else AppendFormat(out, kLongDateFormat, p, fs, level + 1);
        i = end;
        break;
      case 'H': {
        unsigned h = p.hour;
        if (Uses12HourClock(fmt, end)) h = h == 0 ? 12 : (h > 12 ? h - 12 : h);
        AppendNumber(out, h, count > 2 ? 2 : count);
        i = end;
        break;
      }
      case 'N':
        AppendNumber(out, p.min, count > 2 ? 2 : count);
        i = end;
        break;
      case 'S':
        AppendNumber(out, p.sec, count > 2 ? 2 : count);
        i = end;
        break;
      case 'Z':
        AppendNumber(out, p.msec, count <= 2 ? 1 : 3);
        i = end;
        break;
      case 'C':
        AppendFormat(out, fs.ShortDateFormat, p, fs, level + 1);
        if (p.hour != 0 || p.min != 0 || p.sec != 0) {
          out += ' ';
          AppendFormat(out, fs.LongTimeFormat, p, fs, level + 1);
        }
        i = end;
        break;
      case 'A':
        // "am/pm" and "a/p" copy the letters of the format (keeping their case); "ampm" is AM/PM.
        if (StartsNoCase(fmt, i, "am/pm")) {
          out.append(fmt.substr(p.hour >= 12 ? i + 3 : i, 2));
          i += 5;
        } else if (StartsNoCase(fmt, i, "a/p")) {
          out += fmt[p.hour >= 12 ? i + 2 : i];
          i += 3;
        } else if (StartsNoCase(fmt, i, "ampm")) {
          out += p.hour >= 12 ? "PM" : "AM";
          i += 4;
        } else {
          out += starter;
          ++i;
        }
        break;
      case '\'':
      case '"': {
        size_t close = fmt.find(starter, i + 1);
        if (close == std::string_view::npos) close = fmt.size();
        out.append(fmt.substr(i + 1, close - i - 1));
        i = close + 1;
        break;
      }
      case '/':
        if (fs.DateSeparator) out += fs.DateSeparator;
        ++i;
        break;
      case ':':
        if (fs.TimeSeparator) out += fs.TimeSeparator;
        ++i;
        break;
      default:
        out += starter;
        ++i;
        break;
    }
  }
}

}  // namespace

std::string FormatDateTime(std::string_view fmt, TDateTime d, const TFormatSettings& fs) {
  std::string out;
  AppendFormat(out, fmt.empty() ? std::string_view("c") : fmt, Split(d), fs, 0);
  return out;
}

std::string DateTimeToStr(TDateTime d, const TFormatSettings& fs) { return FormatDateTime("c", d, fs); }
