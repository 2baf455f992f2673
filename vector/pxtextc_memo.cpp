// TPXCharFormat and the "PIXORAN TEXTMEMO" clipboard block.
#include "vector/pxtextc_memo.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/SysUtils.h"

namespace {
constexpr size_t kRecordSize = sizeof(TPXCharFormat);
}  // namespace

// ---- records ----

std::string TPXCharFormat::Name() const {
  return BytesToUtf8(std::string_view(reinterpret_cast<const char*>(FontName + 1), FontName[0]));
}

void TPXCharFormat::SetName(std::string_view Value) {
  size_t n = std::min<size_t>(Value.size(), 255);
  // Never cut inside a UTF-8 sequence: step back over continuation bytes.
  if (n < Value.size())
    while (n > 0 && (static_cast<uint8_t>(Value[n]) & 0xC0) == 0x80) --n;
  std::memset(FontName, 0, sizeof FontName);
  FontName[0] = static_cast<uint8_t>(n);
  std::memcpy(FontName + 1, Value.data(), n);
}

bool TPXCharFormat::SameFormat(const TPXCharFormat& Other) const {
  return std::memcmp(reinterpret_cast<const uint8_t*>(this) + 4, reinterpret_cast<const uint8_t*>(&Other) + 4,
                     sizeof(TPXCharFormat) - 4) == 0;
}

bool DecodeTextMemoBlock(const uint8_t* Data, size_t Size, std::u16string& Text, TPXCharFormatList& Formats) {
  if (!Data) return false;
  // The units run to the first NUL unit, which must lie inside the block.
  size_t n = 0;
  for (;; ++n) {
    if (2 * n + 2 > Size) return false;
    if (Data[2 * n] == 0 && Data[2 * n + 1] == 0) break;
  }
  if (n > (Size - 2) / (2 + kRecordSize) || Size < n * (2 + kRecordSize) + 2) return false;
  std::u16string text(n, u'\0');
  TPXCharFormatList formats(n);
  for (size_t k = 0; k < n; ++k) {
    text[k] = static_cast<char16_t>(Data[2 * k] | (Data[2 * k + 1] << 8));
    std::memcpy(&formats[k], Data + 2 * n + 2 + kRecordSize * k, kRecordSize);
  }
  Text = std::move(text);
  Formats = std::move(formats);
  return true;
}

std::vector<uint8_t> EncodeTextMemoBlock(std::u16string_view Text, const TPXCharFormatList& Formats) {
  const size_t n = Text.size();
  std::vector<uint8_t> block(n * (2 + kRecordSize) + 2, 0);
  for (size_t k = 0; k < n; ++k) {
    block[2 * k] = static_cast<uint8_t>(Text[k] & 0xFF);
    block[2 * k + 1] = static_cast<uint8_t>(Text[k] >> 8);
    if (k < Formats.size()) std::memcpy(block.data() + 2 * n + 2 + kRecordSize * k, &Formats[k], kRecordSize);
  }
  return block;
}

