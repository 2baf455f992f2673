// The TIFF LZW decoder and encoder.
#include "codecs/tiflzw.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/pxcodecs_impl.h"
#include "core/hypxutils.h"
#include "platform/rtl/Classes.h"

using namespace pxcodecs_detail;

namespace {

constexpr int32_t kClear = 256;
constexpr int32_t kEnd = 257;
constexpr int32_t kFirstFree = 258;
constexpr int32_t kMaxCodes = 4096;
constexpr int32_t kMinWidth = 9;
constexpr int32_t kPacketSize = 254;

// The decoder writes into one buffer: the 256 byte values first (the strings of codes 0..255),
// then the decoded bytes not yet handed out. A string of the table is copied from where it was
// written before while it is still in the buffer, else written along its prefixes.
class TTiffLzwDecoder {
 public:
  TTiffLzwDecoder(const uint8_t* Data, int64_t DataSize, int32_t FillOrder)
      : data_(Data), size_(std::max<int64_t>(DataSize, 0)), reversed_(FillOrder == 2) {
    for (int32_t c = 0; c < 256; ++c) {
      prefix_[c] = uint16_t(c);
      suffix_[c] = first_[c] = uint8_t(c);
      length_[c] = 1;
    }
    out_.swap(SpareBuffer());
    if (out_.size() < kRoots) out_.resize(kRoots);
    for (size_t c = 0; c < 256; ++c) out_[c] = uint8_t(c);
  }
  ~TTiffLzwDecoder() {
    if (out_.size() > SpareBuffer().size()) out_.swap(SpareBuffer());
  }
  TTiffLzwDecoder(const TTiffLzwDecoder&) = delete;
  TTiffLzwDecoder& operator=(const TTiffLzwDecoder&) = delete;

  uint8_t* Next(int32_t RowBytes) {
    if (overflow_) return nullptr;
    const size_t want = size_t(std::max(RowBytes, 0));
    // The bytes decoded beyond the last row come first.
    if (given_ > 0) {
      std::memmove(&out_[kRoots], &out_[kRoots + given_], count_ - given_);
      count_ -= given_;
      base_ += int64_t(given_);
      given_ = 0;
      // Strings that stood in the bytes handed out are no longer there.
      for (int32_t c = kFirstFree; c < next_; ++c)
        if (at_[c] < base_) at_[c] = kNowhere;
    }
    if (out_.size() < kRoots + want + kMaxCodes + kSlack) out_.resize(kRoots + want + kMaxCodes + kSlack);
    // The byte values stand just before the decoded bytes.
    for (int32_t c = 0; c < 256; ++c) at_[c] = base_ + c < kMaxAt ? int32_t(base_ - int64_t(kRoots) + c) : kNowhere;
    if (!ended_) Run(want);
    if (overflow_) return nullptr;
    uint8_t* const rows = &out_[kRoots];
    if (count_ < want) {
      std::memset(rows + count_, 0, want - count_);
      count_ = want;
    }
    given_ = want;
    return rows;
  }

 private:
  // Room past the decoded bytes for copies of whole words.
  static constexpr size_t kSlack = 16;
  static constexpr size_t kRoots = 256 + kSlack;
  // Positions are kept below this; a string past it is written along its prefixes.
  static constexpr int64_t kMaxAt = int64_t{1} << 30;
  static constexpr int32_t kNowhere = INT32_MIN;

  // The output buffer of the last decoder this thread freed: strips decoded one after the other
  // reuse it instead of allocating and clearing a new one each.
  static std::vector<uint8_t>& SpareBuffer() {
    thread_local std::vector<uint8_t> spare;
    return spare;
  }

  // Decodes codes until Want bytes are out, the strip ends or the table breaks.
  void Run(size_t Want) {
    uint8_t* const buffer = out_.data();
    const int64_t base = base_;
    size_t count = count_;
    int64_t prevAt = prevAt_;
    int64_t bit = bit_;
    const int64_t bits = size_ * 8;
    int32_t prev = prev_, width = width_, next = next_;
    while (count < Want) {
      if (bit + width > bits) {
        ended_ = true;
        break;
      }
      int32_t code = Fetch(bit, width);
      bit += width;
      const int64_t at = base + int64_t(count);
      // A strip that does not begin with a clear decodes as if one came first.
      if (code == kClear || prev < 0) {
        if (code == kClear) {
          next = kFirstFree;
          width = kMinWidth;
          if (bit + width > bits) {
            ended_ = true;
            break;
          }
          code = Fetch(bit, width);
          bit += width;
        }
        if (code == kEnd) {
          ended_ = true;
          break;
        }
        if (code >= next) {
          overflow_ = true;
          break;
        }
        count += Copy(code, buffer, count, base);
        prev = code;
        prevAt = at;
        continue;
      }
      if (code == kEnd) {
        ended_ = true;
        break;
      }
      uint8_t first;
      if (code < next) {
        count += Copy(code, buffer, count, base);
        first = first_[code];
      } else if (code == next) {
        first = first_[prev];
      } else {
        ended_ = true;  // past the table: the strip ends here
        break;
      }
      // The new string: the previous one and the first byte of this one, which stands where the
      // previous string was written.
      if (next >= kMaxCodes) {
        overflow_ = true;
        break;
      }
      prefix_[next] = uint16_t(prev);
      suffix_[next] = first;
      first_[next] = first_[prev];
      length_[next] = uint16_t(length_[prev] + 1);
      at_[next] = prevAt >= base && prevAt < kMaxAt ? int32_t(prevAt) : kNowhere;
      // One code early: 10 bits once code 511 is in the table, 11 at 1023, 12 at 2047.
      if (++next == 511 || next == 1023 || next == 2047) ++width;
      if (code == next - 1) count += Copy(code, buffer, count, base);
      prev = code;
      prevAt = at;
    }
    count_ = count;
    prevAt_ = prevAt;
    bit_ = bit;
    prev_ = prev;
    width_ = width;
    next_ = next;
  }

  // The string of Code written after the Count decoded bytes of Buffer (its decoded bytes start
  // at strip position Base); answers its length.
  size_t Copy(int32_t Code, uint8_t* Buffer, size_t Count, int64_t Base) const {
    uint8_t* to = Buffer + kRoots + Count;
    const size_t n = length_[Code];
    const int64_t from = int64_t(at_[Code]) - Base + int64_t(kRoots);
    if (from >= 0 && from + int64_t(n) <= int64_t(kRoots + Count)) {
      if (n <= kSlack) {
        // Both words are read before either is written: the bytes past the string that the
        // second word may overlap are not the string's.
        uint64_t a, b;
        std::memcpy(&a, Buffer + from, 8);
        std::memcpy(&b, Buffer + from + 8, 8);
        std::memcpy(to, &a, 8);
        std::memcpy(to + 8, &b, 8);
      } else {
        std::memcpy(to, Buffer + from, n);
      }
      return n;
    }
    uint8_t* p = to + n - 1;
    while (Code >= 256) {
      *p-- = suffix_[Code];
      Code = prefix_[Code];
    }
    *p = uint8_t(Code);
    return n;
  }

  // Width bits from bit position Bit, most significant first; bytes past the strip read as 0.
  int32_t Fetch(int64_t Bit, int32_t Width) const {
    const int64_t byte = Bit >> 3;
    uint64_t v = 0;
    if (!reversed_ && byte + 8 <= size_) {
      std::memcpy(&v, data_ + byte, 8);
      v = __builtin_bswap64(v);
    } else {
      for (int64_t i = 0; i < 3; ++i) {
        uint8_t b = byte + i < size_ ? data_[byte + i] : 0;
        if (reversed_) ReverseBitsInByte(b);
        v |= uint64_t(b) << (56 - 8 * i);
      }
    }
    return int32_t((v << (Bit & 7)) >> (64 - Width));
  }

  const uint8_t* data_;
  int64_t size_;
  bool reversed_;
  int64_t bit_ = 0;  // next bit to read
  std::vector<uint8_t> out_;
  int64_t base_ = 0;    // strip position of the first decoded byte in out_
  int64_t prevAt_ = 0;  // where the previous code's string was written
  size_t count_ = 0;    // decoded bytes in out_
  size_t given_ = 0;    // of them handed out by the last call
  int32_t prev_ = -1;
  int32_t width_ = kMinWidth;
  int32_t next_ = kFirstFree;
  bool ended_ = false;
  bool overflow_ = false;
  // The strings of the table: where each stands in the strip (kNowhere: not looked up there),
  // its length and first byte; and its last byte after the string of its prefix.
  int32_t at_[kMaxCodes];
  uint16_t length_[kMaxCodes];
  uint8_t first_[kMaxCodes];
  uint16_t prefix_[kMaxCodes];
  uint8_t suffix_[kMaxCodes];
};

class TTiffLzwEncoder {
 public:
  TTiffLzwEncoder() { table_.Clear(); }

  void Encode(const uint8_t* Data, int32_t Count, TStream* Stream) {
    int32_t i = 0;
    if (prefix_ < 0 && Count > 0) prefix_ = Data[i++];
    for (; i < Count; ++i) {
      const int32_t c = Data[i];
      int32_t slot = 0;
      const int32_t code = table_.Find(c, prefix_, slot);
      if (code >= 0) {
        prefix_ = code;
        continue;
      }
      Put(prefix_, Stream);
      if (next_ >= kMaxCodes - 2) {
        // The table stops at 4093 so that a decoder never needs a 13th bit.
        table_.Clear();
        next_ = kFirstFree;
        clearPending_ = true;
        Put(kClear, Stream);
      } else {
        table_.Store(slot, c, prefix_, next_++);
      }
      prefix_ = c;
    }
  }

  void Finish(TStream* Stream) {
    if (prefix_ >= 0) Put(prefix_, Stream);
    Put(kEnd, Stream);
    if (bits_ > 0) Byte(uint8_t(acc_ << (8 - bits_)), Stream);
    bits_ = 0;
    Flush(Stream);
  }

  // A code below the bits written, most significant bit first; afterwards the width follows the
  // table one code early, or starts again after a clear.
  void Put(int32_t Code, TStream* Stream) {
    acc_ = acc_ << width_ | uint32_t(Code);
    bits_ += width_;
    while (bits_ >= 8) {
      bits_ -= 8;
      Byte(uint8_t(acc_ >> bits_), Stream);
    }
    if (next_ >= maxCode_ || clearPending_) {
      if (clearPending_) {
        width_ = kMinWidth;
        maxCode_ = (1 << kMinWidth) - 1;
        clearPending_ = false;
      } else {
        ++width_;
        maxCode_ = width_ >= 12 ? kMaxCodes - 1 : (1 << width_) - 1;
      }
    }
  }

 private:
  void Byte(uint8_t B, TStream* Stream) {
    buffer_[used_++] = B;
    if (used_ == kPacketSize) Flush(Stream);
  }
  void Flush(TStream* Stream) {
    if (used_ > 0) Stream->WriteBuffer(buffer_, used_);
    used_ = 0;
  }

  TLzwHashTable table_;
  int32_t prefix_ = -1;
  int32_t next_ = kFirstFree;
  int32_t width_ = kMinWidth;
  int32_t maxCode_ = (1 << kMinWidth) - 1;
  bool clearPending_ = false;
  uint64_t acc_ = 0;
  int32_t bits_ = 0;
  uint8_t buffer_[kPacketSize];
  int32_t used_ = 0;
};

}  // namespace

uint8_t* TiffLzwDecode(const uint8_t* Data, int64_t DataSize, int32_t RowBytes, void*& State, int32_t FillOrder) {
  if (!Data) {
    std::unique_ptr<TTiffLzwDecoder> gone(static_cast<TTiffLzwDecoder*>(State));
    State = nullptr;
    return nullptr;
  }
  if (!State) State = std::make_unique<TTiffLzwDecoder>(Data, DataSize, FillOrder).release();
  return static_cast<TTiffLzwDecoder*>(State)->Next(RowBytes);
}

void TiffLzwEncode(const uint8_t* Data, int32_t Count, TStream* Stream, void*& State) {
  if (!Data) {
    std::unique_ptr<TTiffLzwEncoder> encoder(static_cast<TTiffLzwEncoder*>(State));
    State = nullptr;
    if (encoder && Stream) encoder->Finish(Stream);
    return;
  }
  if (!Stream) return;
  if (!State) {
    auto encoder = std::make_unique<TTiffLzwEncoder>();
    encoder->Put(kClear, Stream);
    State = encoder.release();
  }
  static_cast<TTiffLzwEncoder*>(State)->Encode(Data, std::max(Count, 0), Stream);
}
