// The GIF LZW decoder and encoder.
#include "codecs/giflzw.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/pxcodecs_impl.h"
#include "platform/rtl/Classes.h"

using namespace pxcodecs_detail;

namespace {

constexpr int32_t kMaxCodes = 4096;
constexpr int32_t kMaxWidth = 12;
constexpr int32_t kPacketSize = 254;

// The rows of a frame in file order: top to bottom, or the four interlace passes (every 8th row
// from 0, every 8th from 4, every 4th from 2, every 2nd from 1).
class TGifRowWalker {
 public:
  TGifRowWalker(int32_t Height, bool Interlaced) : height_(Height), interlaced_(Interlaced) {
    if (height_ <= 0) row_ = -1;
  }
  // The current row, -1 once every row was visited.
  int32_t Row() const { return row_; }
  void Next() {
    if (row_ < 0) return;
    row_ += interlaced_ ? step_ : 1;
    if (!interlaced_) {
      if (row_ >= height_) row_ = -1;
      return;
    }
    // Past the bottom: the next pass that has a row in the frame.
    while (row_ >= height_) {
      if (++pass_ > 3) {
        row_ = -1;
        return;
      }
      row_ = kStart[pass_];
      step_ = kStep[pass_];
    }
  }

 private:
  static constexpr int32_t kStart[4] = {0, 4, 2, 1};
  static constexpr int32_t kStep[4] = {8, 8, 4, 2};
  int32_t height_;
  bool interlaced_;
  int32_t row_ = 0;
  int32_t pass_ = 0;
  int32_t step_ = 8;
};

// Reads the data sub-blocks (a size byte, then that many bytes) up to a size 0 or the end of the
// stream, appending their bytes to Data.
void ReadSubBlocks(TStream* Stream, std::vector<uint8_t>& Data) {
  for (;;) {
    uint8_t n = 0;
    if (Stream->Read(&n, 1) != 1 || n == 0) return;
    const size_t at = Data.size();
    Data.resize(at + n);
    const int64_t got = ReadFully(Stream, Data.data() + at, n);
    if (got < n) {
      Data.resize(at + size_t(got));
      return;
    }
  }
}

// Where the decoded indices go: row by row in file order, dropping what lies past the frame.
class TIndexSink {
 public:
  TIndexSink(uint8_t* Buffer, int32_t Width, int32_t Height, bool Interlaced)
      : buffer_(Buffer), width_(Width), walker_(Buffer && Width > 0 ? Height : 0, Interlaced) {
    SetRow();
  }
  // Room in the current row, 0 when the frame is full.
  int32_t Room() const { return row_ ? width_ - col_ : 0; }
  // Count bytes written at the current position (Count <= Room()).
  uint8_t* Claim(int32_t Count) {
    uint8_t* p = row_ + col_;
    col_ += Count;
    if (col_ == width_) {
      walker_.Next();
      SetRow();
    }
    return p;
  }
  void Put(const uint8_t* Chars, int32_t Count) {
    while (Count > 0 && row_) {
      const int32_t n = std::min(Count, Room());
      std::memcpy(Claim(n), Chars, size_t(n));
      Chars += n;
      Count -= n;
    }
  }

 private:
  void SetRow() {
    col_ = 0;
    row_ = walker_.Row() < 0 ? nullptr : buffer_ + int64_t(walker_.Row()) * width_;
  }
  uint8_t* buffer_;
  int32_t width_;
  TGifRowWalker walker_;
  uint8_t* row_ = nullptr;
  int32_t col_ = 0;
};

// Codes of the data, least significant bit first; bytes past the data read as 0.
class TLsbBitReader {
 public:
  explicit TLsbBitReader(const std::vector<uint8_t>& Data) : data_(Data.data()), size_(Data.size()) {}
  // Whether Width more bits lie inside the data.
  bool Has(int32_t Width) const { return (size_ - pos_) * 8 + bits_ >= size_t(Width); }
  int32_t Read(int32_t Width) {
    while (bits_ < Width) {
      acc_ |= uint64_t(pos_ < size_ ? data_[pos_] : 0) << bits_;
      ++pos_;
      bits_ += 8;
    }
    const auto code = int32_t(acc_ & ((1u << Width) - 1));
    acc_ >>= Width;
    bits_ -= Width;
    return code;
  }
  // Whether bytes of the data lie wholly after the bits read.
  bool BytesRemain() const { return pos_ < size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  uint64_t acc_ = 0;
  int32_t bits_ = 0;
};

class TGifLzwDecoder {
 public:
  // False when the data cannot be decoded (the caller puts the stream back).
  bool Run(const std::vector<uint8_t>& Data, int32_t Size, TIndexSink& Sink) {
    const int32_t clear = 1 << Size, end = clear + 1;
    for (int32_t c = 0; c < clear; ++c) {
      suffix_[c] = first_[c] = uint8_t(c);
      length_[c] = 1;
    }
    TLsbBitReader in(Data);
    int32_t width = Size + 1, next = end + 1, max = 1 << width;
    int32_t prev = -1;  // no previous code before the first one
    while (in.Has(width)) {
      int32_t code = in.Read(width);
      if (code == end) return true;
      if (code == clear) {
        width = Size + 1;
        next = end + 1;
        max = 1 << width;
        do {
          if (!in.Has(width)) return true;
          code = in.Read(width);
        } while (code == clear);
        if (code == end) return !in.BytesRemain();
        if (code >= next) code = 0;
        Emit(code, Sink);
        prev = code;
        continue;
      }
      if (code < next) {
        Emit(code, Sink);
        if (prev >= 0 && next < kMaxCodes) Add(prev, first_[code], next, width, max);
      } else if (code == next && prev >= 0) {
        Add(prev, first_[prev], next, width, max);
        Emit(code, Sink);
      } else {
        return false;  // beyond the table, or a string made from no previous code
      }
      prev = code;
    }
    return true;
  }

 private:
  void Add(int32_t Prev, uint8_t Char, int32_t& Next, int32_t& Width, int32_t& Max) {
    prefix_[Next] = uint16_t(Prev);
    suffix_[Next] = Char;
    first_[Next] = first_[Prev];
    length_[Next] = uint16_t(length_[Prev] + 1);
    if (++Next == Max && Width < kMaxWidth) {
      ++Width;
      Max <<= 1;
    }
  }
  // The string of Code, written back to front: straight into the row when it fits there.
  void Emit(int32_t Code, TIndexSink& Sink) {
    const int32_t n = length_[Code];
    const int32_t room = Sink.Room();
    if (room == 0) return;
    uint8_t* out = n <= room ? Sink.Claim(n) : stack_;
    for (int32_t i = n - 1; i > 0; --i) {
      out[i] = suffix_[Code];
      Code = prefix_[Code];
    }
    out[0] = suffix_[Code];
    if (out == stack_) Sink.Put(stack_, n);
  }

  uint16_t prefix_[kMaxCodes];
  uint8_t suffix_[kMaxCodes];
  uint8_t first_[kMaxCodes];
  uint16_t length_[kMaxCodes];
  uint8_t stack_[kMaxCodes];
};

// Codes into sub-blocks of at most 254 bytes, least significant bit first.
class TGifCodeWriter {
 public:
  explicit TGifCodeWriter(TStream* Stream) : stream_(Stream) { out_.reserve(kFlushAt + 2 * (kPacketSize + 1)); }
  void Put(int32_t Code, int32_t Width) {
    acc_ |= uint64_t(uint32_t(Code)) << bits_;
    bits_ += Width;
    while (bits_ >= 8) {
      Byte(uint8_t(acc_));
      acc_ >>= 8;
      bits_ -= 8;
    }
  }
  // The last bits as a byte, the last packet and the terminator.
  void Finish() {
    if (bits_ > 0) Byte(uint8_t(acc_));
    acc_ = 0;
    bits_ = 0;
    if (packet_ > 0) out_[packetAt_] = uint8_t(packet_);
    out_.push_back(0);
    stream_->WriteBuffer(out_.data(), int64_t(out_.size()));
    out_.clear();
  }

 private:
  static constexpr size_t kFlushAt = 65536;
  void Byte(uint8_t B) {
    if (packet_ == 0) {
      packetAt_ = out_.size();
      out_.push_back(0);
    }
    out_.push_back(B);
    if (++packet_ == kPacketSize) {
      out_[packetAt_] = uint8_t(kPacketSize);
      packet_ = 0;
      if (out_.size() >= kFlushAt) {
        stream_->WriteBuffer(out_.data(), int64_t(out_.size()));
        out_.clear();
      }
    }
  }
  TStream* stream_;
  std::vector<uint8_t> out_;
  size_t packetAt_ = 0;
  int32_t packet_ = 0;
  uint64_t acc_ = 0;
  int32_t bits_ = 0;
};

}  // namespace

void GifLzwDecode(TStream* Stream, int32_t Height, int32_t Width, uint8_t* IndexBuffer, bool Interlaced) {
  if (!Stream) return;
  const int64_t start = Stream->Position();
  uint8_t size = 0;
  if (Stream->Read(&size, 1) != 1 || size < 2 || size > 9) {
    Stream->Seek(start, soBeginning);
    return;
  }
  std::vector<uint8_t> data;
  ReadSubBlocks(Stream, data);
  if (data.empty()) return;
  TIndexSink sink(IndexBuffer, Width, Height, Interlaced);
  const auto decoder = std::make_unique<TGifLzwDecoder>();
  if (!decoder->Run(data, size, sink)) Stream->Seek(start, soBeginning);
}

void GifLzwEncode(TStream* Stream, int32_t Height, int32_t Width, int32_t BitsPerPixel, const uint8_t* IndexBuffer,
                  bool Interlaced) {
  if (!Stream) return;
  const int32_t size = std::clamp(BitsPerPixel, 2, 8);
  const uint8_t sizeByte = uint8_t(size);
  Stream->WriteBuffer(&sizeByte, 1);
  const int32_t clear = 1 << size, end = clear + 1, mask = clear - 1;
  int32_t width = size + 1, maxCode = (1 << width) - 1, next = clear + 2;
  bool clearPending = false;
  TGifCodeWriter out(Stream);
  const auto table = std::make_unique<TLzwHashTable>();
  table->Clear();

  // A code at the current width; afterwards the width follows the table, or starts again
  // after a clear.
  const auto emit = [&](int32_t Code) {
    out.Put(Code, width);
    if (next > maxCode || clearPending) {
      if (clearPending) {
        width = size + 1;
        maxCode = (1 << width) - 1;
        clearPending = false;
      } else {
        ++width;
        maxCode = width == kMaxWidth ? kMaxCodes : (1 << width) - 1;
      }
    }
  };

  emit(clear);
  TGifRowWalker rows(IndexBuffer && Width > 0 ? Height : 0, Interlaced);
  int32_t prefix = -1;
  for (; rows.Row() >= 0; rows.Next()) {
    const uint8_t* p = IndexBuffer + int64_t(rows.Row()) * Width;
    int32_t x = 0;
    if (prefix < 0) prefix = p[x++] & mask;
    for (; x < Width; ++x) {
      const int32_t c = p[x] & mask;
      int32_t slot = 0;
      const int32_t code = table->Find(c, prefix, slot);
      if (code >= 0) {
        prefix = code;
        continue;
      }
      emit(prefix);
      if (next < kMaxCodes) {
        table->Store(slot, c, prefix, next++);
      } else {
        table->Clear();
        next = clear + 2;
        clearPending = true;
        emit(clear);
      }
      prefix = c;
    }
  }
  if (prefix >= 0) emit(prefix);
  emit(end);
  out.Finish();
}
