// Arbitrary bytes as a TIFF LZW or CCITT strip: the first byte picks the coder (its low three
// bits: LZW, Modified Huffman, Group 3 one-dimensional, Group 3 two-dimensional, Group 4), the
// fill order (bit 3) and fill bits (bit 4); the next two the width, the fourth the rows; the
// rest is the strip, held in a buffer of exactly its size. The decoders never read or write
// outside their buffers and always end; what they decode, encoded again, decodes the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codecs/tifccitt.h"
#include "codecs/tiflzw.h"
#include "core/hypxdefs.h"
#include "fuzz/FuzzCodecSupport.h"
#include "platform/rtl/Classes.h"

namespace {

// Rows of a decoded LZW strip; nil ends it early.
std::vector<std::vector<uint8_t>> DecodeLzw(const std::vector<uint8_t>& Strip, int32_t RowBytes, int32_t Rows,
                                            int32_t FillOrder) {
  std::vector<std::vector<uint8_t>> out;
  void* state = nullptr;
  for (int32_t y = 0; y < Rows; ++y) {
    const uint8_t* row = TiffLzwDecode(Strip.data(), int64_t(Strip.size()), RowBytes, state, FillOrder);
    if (!row) break;
    out.emplace_back(row, row + RowBytes);
  }
  TiffLzwDecode(nullptr, 0, 0, state, FillOrder);
  Check(state == nullptr, __LINE__);
  return out;
}

// Rows of a CCITT strip, set bits white, padding bits cleared.
// With Cold, every row is decoded right after a row of another width, so that the decoder
// cannot take its reference row's changes from the row before.
std::vector<std::vector<uint8_t>> DecodeCcitt(const std::vector<uint8_t>& Strip, int Mode, int32_t Width,
                                              int32_t Rows, int32_t FillOrder, bool FillBits, bool Cold = false) {
  const size_t bytes = size_t(Width + 7) / 8;
  std::vector<std::vector<uint8_t>> out;
  std::vector<uint8_t> ref(bytes, 0xFF);
  int64_t pos = 0;
  const int64_t len = int64_t(Strip.size());
  for (int32_t y = 0; y < Rows; ++y) {
    std::vector<uint8_t> row(bytes);
    const int64_t before = pos;
    if (Mode == 1) {
      const int64_t used = CcittDecodeMHRowBytes(row.data(), Strip.data() + pos, len - pos, Width, FillOrder);
      Check(used >= 0, __LINE__);
      pos = std::min(len, pos + used);
    } else if (Mode == 2) {
      pos = CcittDecodeMHRow(row.data(), Strip.data(), len, Width, pos, FillOrder);
    } else {
      if (Cold) {
        uint8_t other[2] = {0, 0}, otherRef[2] = {0xFF, 0xFF};
        CcittDecode(other, Strip.data(), len, Width == 9 ? 10 : 9, otherRef, 0, FillOrder, FillBits);
      }
      pos = CcittDecode(row.data(), Strip.data(), len, Width, ref.data(), pos, FillOrder, FillBits);
    }
    Check(pos >= before, __LINE__);
    if (Width % 8) row.back() = uint8_t(row.back() & (0xFF << (8 - Width % 8)));
    out.push_back(row);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 4) return 0;
  const int mode = Data[0] & 7;
  const int32_t fillOrder = Data[0] & 8 ? 2 : 1;
  const bool fillBits = (Data[0] & 16) != 0;
  const int32_t width = int32_t((Data[1] | Data[2] << 8) % 5000) + 1;
  const int32_t rows = Data[3] % 64 + 1;
  const std::vector<uint8_t> strip(Data + 4, Data + Size);
  if (mode == 0 || mode > 4) {
    const int32_t rowBytes = width;
    const auto decoded = DecodeLzw(strip, rowBytes, rows, fillOrder);
    if (decoded.empty()) return 0;
    std::vector<uint8_t> all;
    for (const auto& r : decoded) all.insert(all.end(), r.begin(), r.end());
    TMemoryStream s;
    void* state = nullptr;
    TiffLzwEncode(all.data(), int32_t(all.size()), &s, state);
    TiffLzwEncode(nullptr, 0, &s, state);
    const auto* p = static_cast<const uint8_t*>(s.Memory());
    Check(DecodeLzw(std::vector<uint8_t>(p, p + s.Size()), rowBytes, int32_t(decoded.size()), 1) == decoded, __LINE__);
    return 0;
  }
  const auto decoded = DecodeCcitt(strip, mode, width, rows, fillOrder, fillBits);
  if (mode >= 3) Check(DecodeCcitt(strip, mode, width, rows, fillOrder, fillBits, true) == decoded, __LINE__);
  // Encoded again (set bits black) in the same scheme, the rows decode the same.
  TMemoryStream s;
  TPXAbortFlag abort{false};
  uint8_t partial = 0;
  int32_t bits = 0;
  std::vector<uint8_t> ref;
  std::vector<uint8_t> black(decoded.front().size());
  for (const auto& r : decoded) {
    for (size_t i = 0; i < r.size(); ++i) black[i] = uint8_t(~r[i]);
    if (mode == 1) EncodeCcittMHRow(black.data(), width, &s, abort, fillOrder);
    else if (mode == 2) {
      EncodeCcittG3Row1D(black.data(), width, &s, partial, bits, abort, fillOrder);
    } else if (mode == 3) {
      EncodeCcittG3Row(black.data(), width, &s, partial, bits, ref, abort, fillOrder);
    } else {
      EncodeCcittG4Row(black.data(), width, &s, partial, bits, ref, abort, fillOrder);
    }
  }
  if (mode == 2) EncodeCcittG3Row1D(nullptr, width, &s, partial, bits, abort, fillOrder);
  if (mode == 3) EncodeCcittG3Row(nullptr, width, &s, partial, bits, ref, abort, fillOrder);
  if (mode == 4) EncodeCcittG4Row(nullptr, width, &s, partial, bits, ref, abort, fillOrder);
  Check(!abort && bits == 0, __LINE__);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  const std::vector<uint8_t> again(p, p + s.Size());
  Check(DecodeCcitt(again, mode, width, rows, fillOrder, false) == decoded, __LINE__);
  return 0;
}
