// Rectangle helpers, the classic system colour table and date encoding.
#include "platform/rtl/Types.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"

namespace {

// Coordinates wrap on overflow as the platform's 32-bit arithmetic does (no undefined behaviour).
constexpr int32_t AddWrap(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace

bool IsRectEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

bool IntersectRect(TRect& dst, const TRect& a, const TRect& b) {
  TRect r(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom));
  if (IsRectEmpty(r)) {
    dst = TRect();
    return false;
  }
  dst = r;
  return true;
}

bool UnionRect(TRect& dst, const TRect& a, const TRect& b) {
  // An empty rectangle adds nothing to the union.
  const bool ea = IsRectEmpty(a), eb = IsRectEmpty(b);
  if (ea && eb) {
    dst = TRect();
    return false;
  }
  if (ea) dst = b;
  else if (eb) dst = a;
  else
    dst = TRect(std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                std::max(a.Bottom, b.Bottom));
  return true;
}

bool SubtractRect(TRect& dst, const TRect& a, const TRect& b) {
  TRect r = a;
  TRect i;
  if (!IsRectEmpty(a) && IntersectRect(i, a, b)) {
    const bool fullWidth = i.Left == a.Left && i.Right == a.Right;
    const bool fullHeight = i.Top == a.Top && i.Bottom == a.Bottom;
    if (fullWidth && fullHeight) {
      r = TRect();
    } else if (fullWidth) {
      if (i.Top == a.Top) r.Top = i.Bottom;
      else if (i.Bottom == a.Bottom) r.Bottom = i.Top;
    } else if (fullHeight) {
      if (i.Left == a.Left) r.Left = i.Right;
      else if (i.Right == a.Right) r.Right = i.Left;
    }
  }
  dst = r;
  return !IsRectEmpty(r);
}

bool PtInRect(const TRect& r, TPoint p) { return r.Contains(p); }

bool EqualRect(const TRect& a, const TRect& b) { return a == b; }

void OffsetRect(TRect& r, int32_t dx, int32_t dy) {
  r.Left = AddWrap(r.Left, dx);
  r.Right = AddWrap(r.Right, dx);
  r.Top = AddWrap(r.Top, dy);
  r.Bottom = AddWrap(r.Bottom, dy);
}

void InflateRect(TRect& r, int32_t dx, int32_t dy) {
  r.Left = AddWrap(r.Left, static_cast<int32_t>(0u - static_cast<uint32_t>(dx)));
  r.Right = AddWrap(r.Right, dx);
  r.Top = AddWrap(r.Top, static_cast<int32_t>(0u - static_cast<uint32_t>(dy)));
  r.Bottom = AddWrap(r.Bottom, dy);
}

TRect NormalizedRect(const TRect& r) {
  TRect n = r;
  if (n.Left > n.Right) std::swap(n.Left, n.Right);
  if (n.Top > n.Bottom) std::swap(n.Top, n.Bottom);
  return n;
}

// ---------------------------------------------------------------------------------------------
// The classic "Windows Standard" colour scheme; every system colour resolves through it.

TColorRef GetSysColor(int32_t index) {
  static constexpr TColorRef table[COLOR_ENDCOLORS + 1] = {
      RGB(212, 208, 200),  // COLOR_SCROLLBAR
      RGB(58, 110, 165),   // COLOR_BACKGROUND
      RGB(10, 36, 106),    // COLOR_ACTIVECAPTION
      RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
      RGB(212, 208, 200),  // COLOR_MENU
      RGB(255, 255, 255),  // COLOR_WINDOW
      RGB(0, 0, 0),        // COLOR_WINDOWFRAME
      RGB(0, 0, 0),        // COLOR_MENUTEXT
      RGB(0, 0, 0),        // COLOR_WINDOWTEXT
      RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
      RGB(212, 208, 200),  // COLOR_ACTIVEBORDER
      RGB(212, 208, 200),  // COLOR_INACTIVEBORDER
      RGB(128, 128, 128),  // COLOR_APPWORKSPACE
      RGB(10, 36, 106),    // COLOR_HIGHLIGHT
      RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
      RGB(212, 208, 200),  // COLOR_BTNFACE
      RGB(128, 128, 128),  // COLOR_BTNSHADOW
      RGB(128, 128, 128),  // COLOR_GRAYTEXT
      RGB(0, 0, 0),        // COLOR_BTNTEXT
      RGB(212, 208, 200),  // COLOR_INACTIVECAPTIONTEXT
      RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
      RGB(64, 64, 64),     // COLOR_3DDKSHADOW
      RGB(212, 208, 200),  // COLOR_3DLIGHT
      RGB(0, 0, 0),        // COLOR_INFOTEXT
      RGB(255, 255, 225),  // COLOR_INFOBK
      RGB(0, 0, 0),        // 25: no system colour
      RGB(0, 0, 128),      // COLOR_HOTLIGHT
      RGB(166, 202, 240),  // COLOR_GRADIENTACTIVECAPTION
      RGB(192, 192, 192),  // COLOR_GRADIENTINACTIVECAPTION
      RGB(10, 36, 106),    // COLOR_MENUHILIGHT
      RGB(212, 208, 200),  // COLOR_MENUBAR
  };
  if (index < 0 || index > COLOR_ENDCOLORS) return 0;
  return table[index];
}

int32_t ColorToRGB(TColor c) {
  if (c < 0) return static_cast<int32_t>(GetSysColor(c & 0xFF));
  return c;
}

// ---------------------------------------------------------------------------------------------
// Dates: day 0 is 1899-12-30; day 1 of the proleptic Gregorian calendar (0001-01-01) is -693593.

namespace {

constexpr int32_t kDateDelta = 693594;  // days from 0001-01-01 (day 1) to 1899-12-30
constexpr int64_t kMSecsPerDay = 86400000;
constexpr int32_t kMaxDays = 3652059;   // 9999-12-31 counted from 0001-01-01 as day 1

int DaysInMonth(uint16_t year, uint16_t month) {
  static constexpr uint8_t days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Splits a date-time into day number (0001-01-01 = 1) and milliseconds of the day, rounding to
// the nearest millisecond first so that 23:59:59.9996 becomes the next day's 00:00.
// Returns false for values outside 0001-01-01 .. 9999-12-31 (NaN included).
bool SplitDateTime(TDateTime d, int32_t& days, int32_t& msecs) {
  if (!std::isfinite(d) || std::fabs(d) > 4.0e6) return false;
  const int64_t total = Round(static_cast<long double>(d) * kMSecsPerDay);
  const int64_t day = total / kMSecsPerDay + kDateDelta;  // the time part does not move the day
  if (day < 1 || day > kMaxDays) return false;
  days = static_cast<int32_t>(day);
  msecs = static_cast<int32_t>((total < 0 ? -total : total) % kMSecsPerDay);
  return true;
}

}  // namespace

bool IsLeapYear(uint16_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

TDateTime EncodeDate(uint16_t year, uint16_t month, uint16_t day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    throw EConvertError("Invalid argument to date encode");
  int32_t dayOfYear = day;
  for (uint16_t m = 1; m < month; ++m) dayOfYear += DaysInMonth(year, m);
  const int32_t y = year - 1;
  return static_cast<TDateTime>(y * 365 + y / 4 - y / 100 + y / 400 + dayOfYear - kDateDelta);
}

TDateTime EncodeTime(uint16_t hour, uint16_t min, uint16_t sec, uint16_t msec) {
  if (hour >= 24 || min >= 60 || sec >= 60 || msec >= 1000)
    throw EConvertError("Invalid argument to time encode");
  const int64_t ms = ((hour * 60 + min) * 60 + sec) * 1000LL + msec;
  return static_cast<TDateTime>(ms) / static_cast<TDateTime>(kMSecsPerDay);
}

void DecodeDate(TDateTime d, uint16_t& year, uint16_t& month, uint16_t& day) {
  int32_t days = 0, msecs = 0;
  if (!SplitDateTime(d, days, msecs)) {
    year = month = day = 0;
    return;
  }
  // Count whole 400-, 100-, 4- and 1-year periods from 0001-01-01.
  int32_t t = days - 1;
  int32_t y = 1;
  y += (t / 146097) * 400; t %= 146097;
  int32_t c = t / 36524; if (c == 4) c = 3;  // the last day of a 400-year period
  y += c * 100; t -= c * 36524;
  y += (t / 1461) * 4; t %= 1461;
  int32_t n = t / 365; if (n == 4) n = 3;     // the last day of a leap year
  y += n; t -= n * 365;
  year = static_cast<uint16_t>(y);
  uint16_t m = 1;
  while (t >= DaysInMonth(year, m)) { t -= DaysInMonth(year, m); ++m; }
  month = m;
  day = static_cast<uint16_t>(t + 1);
}

void DecodeTime(TDateTime d, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec) {
  int32_t days = 0, msecs = 0;
  if (!SplitDateTime(d, days, msecs)) {
    hour = min = sec = msec = 0;
    return;
  }
  hour = static_cast<uint16_t>(msecs / 3600000);
  min = static_cast<uint16_t>(msecs / 60000 % 60);
  sec = static_cast<uint16_t>(msecs / 1000 % 60);
  msec = static_cast<uint16_t>(msecs % 1000);
}
