// The format record of one character of formatted memo text (TPXCharFormat, 280 bytes, stored
// in object streams and carried by the clipboard) and the "PIXORAN TEXTMEMO" clipboard block:
// the selected UTF-16 units, a NUL unit, then one record per unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/rtl/Types.h"

// The format of one character; the same bytes go to the clipboard and the object streams.
struct TPXCharFormat {
  int32_t UseCount;        // characters that received this record
  uint8_t FontName[256];   // length byte, then up to 255 bytes of UTF-8
  int32_t FontHeight;      // TFont::Height meaning (negative: character height)
  uint8_t FontStyle;       // bit 0 bold, 1 italic, 2 underline, 3 strike-out
  uint8_t Gap1[3];
  TColor FontColor;
  TColor BackColor;
  uint8_t BackStyle;       // TBrushStyle
  uint8_t Alignment;       // 0 left, 1 right, 2 centre, 3 justify
  uint8_t Gap2[2];

  // The name as UTF-8 (bytes that are not valid UTF-8 are read as Windows-1252).
  std::string Name() const;
  // Stores Value cut at a character boundary within 255 bytes; the bytes behind it become 0.
  void SetName(std::string_view Value);
  // Equal formats: bytes 4 to 279 equal (the use count is not compared).
  bool SameFormat(const TPXCharFormat& Other) const;
};
static_assert(sizeof(TPXCharFormat) == 280, "the record's layout is part of stored data");
static_assert(std::is_trivially_copyable_v<TPXCharFormat>);

using TPXCharFormatList = std::vector<TPXCharFormat>;

// Decodes a "PIXORAN TEXTMEMO" block: the units before its NUL and one record per unit. False
// (and nothing filled) when the block is shorter than 282 N + 2 bytes or has no NUL.
bool DecodeTextMemoBlock(const uint8_t* Data, size_t Size, std::u16string& Text, TPXCharFormatList& Formats);
// The block for Text with one record per unit (Formats.size() == Text.size()).
std::vector<uint8_t> EncodeTextMemoBlock(std::u16string_view Text, const TPXCharFormatList& Formats);

