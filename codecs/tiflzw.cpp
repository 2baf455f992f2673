// The TIFF LZW decoder and encoder.
#include "codecs/tiflzw.h"

#include <algorithm>
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

class TTiffLzwDecoder {
 public:
  TTiffLzwDecoder(const uint8_t* Data, int64_t DataSize, int32_t FillOrder)
      : data_(Data), size_(std::max<int64_t>(DataSize, 0)), reversed_(FillOrder == 2) {
    for (int32_t c = 0; c < 256; ++c) {
      suffix_[c] = first_[c] = uint8_t(c);
      length_[c] = 1;
    }
  }

  uint8_t* Next(int32_t RowBytes) {
    if (overflow_) return nullptr;
    const size_t want = size_t(std::max(RowBytes, 0));
    // The bytes decoded beyond the last row come first.
    if (given_ > 0) {
      std::memmove(out_.data(), out_.data() + given_, count_ - given_);
      count_ -= given_;
      given_ = 0;
    }
    if (out_.size() < want + kMaxCodes) out_.resize(want + kMaxCodes);
    while (count_ < want && !ended_) Step();
    if (overflow_) return nullptr;
    if (count_ < want) {
      std::memset(out_.data() + count_, 0, want - count_);
      count_ = want;
    }
    given_ = want;
    return out_.data();
  }

 private:
  // Decodes one code.
  void Step() {
    if (!Has(width_)) {
      ended_ = true;
      return;
    }
    int32_t code = Read(width_);
    // A strip that does not begin with a clear decodes as if one came first.
    if (code == kClear || prev_ < 0) {
      if (code == kClear) {
        next_ = kFirstFree;
        width_ = kMinWidth;
        if (!Has(width_)) {
          ended_ = true;
          return;
        }
        code = Read(width_);
      }
      if (code == kEnd) {
        ended_ = true;
      } else if (code >= next_) {
        overflow_ = true;
      } else {
        Emit(code);
        prev_ = code;
      }
      return;
    }
    if (code == kEnd) {
      ended_ = true;
      return;
    }
    if (code < next_) {
      Emit(code);
      Add(first_[code]);
    } else if (code == next_) {
      Add(first_[prev_]);
      if (!overflow_) Emit(code);
    } else {
      ended_ = true;  // past the table: the strip ends here
      return;
    }
    prev_ = code;
  }

  void Add(uint8_t Char) {
    if (next_ >= kMaxCodes) {
      overflow_ = true;
      return;
    }
    prefix_[next_] = uint16_t(prev_);
    suffix_[next_] = Char;
    first_[next_] = first_[prev_];
    length_[next_] = uint16_t(length_[prev_] + 1);
    ++next_;
    // One code early: 10 bits once code 511 is in the table, 11 at 1023, 12 at 2047.
    if (next_ == 511 || next_ == 1023 || next_ == 2047) ++width_;
  }

  // The string of Code at the end of the output, written back to front.
  void Emit(int32_t Code) {
    const int32_t n = length_[Code];
    uint8_t* out = out_.data() + count_;
    for (int32_t i = n - 1; i > 0; --i) {
      out[i] = suffix_[Code];
      Code = prefix_[Code];
    }
    out[0] = suffix_[Code];
    count_ += size_t(n);
  }

  bool Has(int32_t Width) const { return (size_ - pos_) * 8 + bits_ >= Width; }
  int32_t Read(int32_t Width) {
    if (bits_ < Width) {
      // Whole bytes while they fit the accumulator; bytes past the strip read as 0.
      while (bits_ <= 56) {
        uint8_t b = pos_ < size_ ? data_[pos_] : 0;
        if (reversed_) ReverseBitsInByte(b);
        acc_ = acc_ << 8 | b;
        ++pos_;
        bits_ += 8;
        if (pos_ >= size_) break;
      }
    }
    bits_ -= Width;
    return int32_t(acc_ >> bits_) & ((1 << Width) - 1);
  }

  const uint8_t* data_;
  int64_t size_;
  bool reversed_;
  int64_t pos_ = 0;  // next byte to load
  uint64_t acc_ = 0;
  int32_t bits_ = 0;  // bits loaded but not read
  std::vector<uint8_t> out_;
  size_t count_ = 0;  // decoded bytes in out_
  size_t given_ = 0;  // of them handed out by the last call
  int32_t prev_ = -1;
  int32_t width_ = kMinWidth;
  int32_t next_ = kFirstFree;
  bool ended_ = false;
  bool overflow_ = false;
  uint16_t prefix_[kMaxCodes];
  uint8_t suffix_[kMaxCodes];
  uint8_t first_[kMaxCodes];
  uint16_t length_[kMaxCodes];
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
