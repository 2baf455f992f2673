// DrawText's layout: lines, word breaks, tabs, prefixes, ellipses and alignment, computed from
// character widths alone (no device), so measuring and drawing share one result.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/Types.h"

struct TTextLayoutMetrics {
  int32_t Height = 0;  // tmHeight
  int32_t Ascent = 0;
  int32_t ExternalLeading = 0;
  int32_t AveCharWidth = 0;
};

// Advance of one character (the character extra included).
using TCharWidthFn = std::function<int32_t(char32_t)>;

// A piece of a line drawn in one call: the text between tabs.
struct TTextLayoutSegment {
  std::string Text;  // UTF-8, prefixes removed
  int32_t X = 0;     // from the line's left
  int32_t Width = 0;
};

struct TTextLayoutLine {
  std::vector<TTextLayoutSegment> Segments;
  int32_t X = 0;  // left of the line
  int32_t Y = 0;  // top of the line
  int32_t Width = 0;
  // The character marked by a single "&": its left (from the line's left) and advance;
  // PrefixWidth 0 when there is none.
  int32_t PrefixX = 0;
  int32_t PrefixWidth = 0;
};

struct TTextLayoutResult {
  std::vector<TTextLayoutLine> Lines;
  TRect CalcRect;          // what DT_CALCRECT stores
  int32_t ReturnValue = 0;  // what DrawText returns
  uint32_t CharsProcessed = 0;
};

// Lays out text for DrawText in rect with format (DT_* flags). tabLength (characters, 0 = the
// format's or 8) and the margins come from DRAWTEXTPARAMS.
TTextLayoutResult LayoutDrawText(std::u32string_view text, const TRect& rect, uint32_t format,
                                 const TTextLayoutMetrics& metrics, const TCharWidthFn& charWidth,
                                 int32_t tabLength = 0, int32_t leftMargin = 0, int32_t rightMargin = 0);
