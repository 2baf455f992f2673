// Rich text as a document of paragraphs and format runs, with our RTF reader and writer: the
// stream-in and stream-out of the rich edit control. Needs no display.
//
// The reader takes untrusted input: group depth, control-word length, parameters, table sizes
// and \bin lengths are bounded; bad data loads what can be read and never reads outside the
// input. The writer writes \rtf1\ansi\ansicpg1252 with font and colour tables, non-ASCII text as
// \uN with a Windows-1252 fallback, and the paragraph properties of each paragraph.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/Types.h"

// Character effects (the low bits of the rich edit's effects).
enum : uint32_t { RTE_BOLD = 1, RTE_ITALIC = 2, RTE_UNDERLINE = 4, RTE_STRIKEOUT = 8 };

struct TRichCharFormat {
  std::string FaceName = "Arial";  // UTF-8
  int32_t Twips = 200;             // character height in twips (10 points)
  bool AutoColor = true;           // the window text colour
  TColor Color = 0;                // $00BBGGRR when not automatic
  uint32_t Effects = 0;
  uint8_t Charset = 0;
  bool operator==(const TRichCharFormat&) const = default;
};

struct TRichParaFormat {
  uint8_t Alignment = 0;     // 0 left, 1 right, 2 centre, 3 justify
  int32_t FirstIndent = 0;   // twips, relative to LeftIndent
  int32_t LeftIndent = 0;    // twips
  int32_t RightIndent = 0;   // twips
  std::vector<int32_t> Tabs;  // twips, at most 32
  uint8_t Numbering = 0;     // 0 none, 1 bullets, 2 numbers
  int32_t NumberingStart = 1;
  bool operator==(const TRichParaFormat&) const = default;
};

struct TRichRun {
  std::u16string Text;  // U+000B is a line break, U+0009 a tab
  TRichCharFormat Format;
};

struct TRichParagraph {
  TRichParaFormat Format;
  std::vector<TRichRun> Runs;
};

struct TRichDocument {
  std::vector<TRichParagraph> Paragraphs;
  // The text: paragraphs joined by LF, line breaks as LF too.
  std::u16string PlainText() const;
  bool Empty() const;
};

// Limits of the reader.
inline constexpr int32_t RtfMaxGroupDepth = 200;
inline constexpr int32_t RtfMaxTableEntries = 4096;
inline constexpr int32_t RtfMaxTabs = 32;

// Reads RTF. False (and Doc empty) when the data does not start with "{\rtf"; otherwise True with
// what could be read, also from malformed data.
bool ReadRtf(std::string_view Rtf, TRichDocument& Doc);
std::string WriteRtf(const TRichDocument& Doc);
