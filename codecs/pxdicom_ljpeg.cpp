#include "codecs/pxdicom_ljpeg.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "codecs/pxcodecs_impl.h"
#include "platform/rtl/System.h"

using namespace pxcodecs_detail;

namespace {

// A canonical Huffman table of difference categories with an 8-bit fast lookup.
struct THuffTable {
  std::array<uint8_t, 17> Counts{};  // codes of length 1..16
  std::array<uint8_t, 17> Values{};
  int32_t ValueCount = 0;
  int32_t MaxLength = 0;
  std::array<int32_t, 17> MinCode{}, MaxCode{}, FirstIndex{};
  std::array<uint8_t, 256> Fast{};     // value, 255: longer than 8 bits
  std::array<uint8_t, 256> FastLen{};  // its code length

  void Build() {
    Fast.fill(255);
    FastLen.fill(0);
    int32_t code = 0, k = 0;
    for (int32_t len = 1; len <= 16; ++len) {
      FirstIndex[size_t(len)] = k;
      MinCode[size_t(len)] = code;
      for (int32_t i = 0; i < Counts[size_t(len)]; ++i, ++k, ++code) {
        if (len <= 8) {
          const int32_t first = code << (8 - len), n = 1 << (8 - len);
          for (int32_t j = 0; j < n && first + j < 256; ++j) {
            Fast[size_t(first + j)] = Values[size_t(k)];
            FastLen[size_t(first + j)] = uint8_t(len);
          }
        }
      }
      MaxCode[size_t(len)] = Counts[size_t(len)] ? code - 1 : -1;
      if (Counts[size_t(len)]) MaxLength = len;
      code <<= 1;
    }
  }
};

// Bits of the unstuffed scan data, most significant first, through a 64-bit window; past the
// end reads zeros. Fill before each sample guarantees the 32 bits one difference can take.
class TBitReader {
 public:
  explicit TBitReader(const std::vector<uint8_t>& Data) : d_(Data) {}
  void Fill() {
    if (bits_ > 32) return;
    if (next_ + 8 <= d_.size()) {
      // Eight bytes at once; the bytes beyond those counted land where the next fill puts them.
      uint64_t v;
      std::memcpy(&v, d_.data() + next_, 8);
      v = __builtin_bswap64(v);
      buf_ |= v >> bits_;
      const int32_t add = (63 - bits_) >> 3;
      next_ += size_t(add);
      bits_ += add * 8;
      return;
    }
    while (bits_ <= 56) {
      const uint64_t b = next_ < d_.size() ? d_[next_] : 0u;
      ++next_;
      buf_ |= b << (56 - bits_);
      bits_ += 8;
    }
  }
  // Count 1..32 bits; Fill must have run since 32 bits were last consumed.
  uint32_t Peek(int32_t Count) const { return static_cast<uint32_t>(buf_ >> (64 - Count)); }
  void Skip(int32_t Count) {
    buf_ <<= Count;
    bits_ -= Count;
  }
  uint32_t Get(int32_t Count) {
    if (Count == 0) return 0;
    const uint32_t v = Peek(Count);
    Skip(Count);
    return v;
  }
  // The byte holding the next unread bit.
  size_t Index() const { return static_cast<size_t>((uint64_t(next_) * 8 - uint64_t(bits_)) >> 3); }
  // Moves past the next restart marker, to a byte boundary.
  void Restart() {
    const uint64_t consumed = uint64_t(next_) * 8 - uint64_t(bits_);
    size_t i = static_cast<size_t>((consumed + 7) >> 3);
    while (i + 1 < d_.size() && !(d_[i] == 0xFF && d_[i + 1] >= 0xD0 && d_[i + 1] <= 0xD7)) ++i;
    next_ = std::min(i + 2, d_.size());
    buf_ = 0;
    bits_ = 0;
  }

 private:
  const std::vector<uint8_t>& d_;
  uint64_t buf_ = 0;
  int32_t bits_ = 0;
  size_t next_ = 0;
};

int32_t DecodeCategory(TBitReader& R, const THuffTable& T) {
  const uint32_t peek = R.Peek(8);
  if (T.Fast[peek] != 255) {
    R.Skip(T.FastLen[peek]);
    return T.Fast[peek];
  }
  for (int32_t len = 9; len <= T.MaxLength; ++len) {
    const auto code = static_cast<int32_t>(R.Peek(len));
    if (T.MaxCode[size_t(len)] >= 0 && code >= T.MinCode[size_t(len)] && code <= T.MaxCode[size_t(len)]) {
      R.Skip(len);
      return T.Values[size_t(T.FirstIndex[size_t(len)] + code - T.MinCode[size_t(len)])];
    }
  }
  R.Skip(std::max(T.MaxLength, 1));
  return T.ValueCount > 0 ? T.Values[size_t(T.ValueCount - 1)] : 0;
}

inline int32_t DecodeDifference(TBitReader& R, const THuffTable& T) {
  R.Fill();
  const int32_t cat = DecodeCategory(R, T);
  if (cat == 0) return 0;
  if (cat >= 16) return 32768;
  const auto v = static_cast<int32_t>(R.Get(cat));
  return v >= (1 << (cat - 1)) ? v : v - ((1 << cat) - 1);
}

// The lossless predictors 1..7 from the left (Ra), upper (Rb) and upper-left (Rc) samples.
inline int32_t Predict(int32_t Predictor, int32_t Ra, int32_t Rb, int32_t Rc) {
  switch (Predictor) {
    case 1: return Ra;
    case 2: return Rb;
    case 3: return Rc;
    case 4: return Ra + Rb - Rc;
    case 5: return Ra + ((Rb - Rc) >> 1);
    case 6: return Rb + ((Ra - Rc) >> 1);
    default: return (Ra + Rb) >> 1;
  }
}

struct TScanLayout {
  int32_t Lines, Columns, Comps, Predictor, Interval, Initial;
};

// Decodes the scan into Out (rows one after the other, components interleaved); sums wrap to
// the sample type.
template <typename T>
void DecodeScan(TBitReader& Reader, const TScanLayout& L, const std::array<const THuffTable*, 4>& Use, T* Out,
                const TPXProgressEvent& ProgressEvent, TObject* ProgressSender, size_t ScanSize) {
  const int32_t comps = L.Comps, columns = L.Columns;
  const int64_t rowSamples = int64_t(columns) * comps;
  int64_t mcusLeft = L.Interval;
  bool firstLine = true;  // the row that starts the scan or follows a restart
  int32_t lastPerCent = -1;
  for (int32_t y = 0; y < L.Lines; ++y) {
    T* row = Out + int64_t(y) * rowSamples;
    const T* above = y > 0 ? row - rowSamples : nullptr;
    int32_t x = 0;
    // Rows without a restart inside, away from the first row of an interval: the plain loop.
    if (!firstLine && above && (L.Interval == 0 || mcusLeft >= columns)) {
      for (int32_t c = 0; c < comps; ++c) row[c] = T(above[c] + DecodeDifference(Reader, *Use[size_t(c)]));
      for (int64_t i = comps; i < rowSamples; i += comps) {
        for (int32_t c = 0; c < comps; ++c) {
          const int64_t k = i + c;
          const int32_t ra = row[k - comps], rb = above[k], rc = above[k - comps];
          const int32_t prediction = Predict(L.Predictor, ra, rb, rc);
          row[k] = T(prediction + DecodeDifference(Reader, *Use[size_t(c)]));
        }
      }
      if (L.Interval > 0) mcusLeft -= columns;
      x = columns;
    }
    for (; x < columns; ++x) {
      bool restartHere = false;
      if (L.Interval > 0 && mcusLeft == 0) {
        Reader.Restart();
        mcusLeft = L.Interval;
        restartHere = true;
        firstLine = true;
      }
      for (int32_t c = 0; c < comps; ++c) {
        const int64_t k = int64_t(x) * comps + c;
        int32_t prediction;
        if ((y == 0 && x == 0) || restartHere) {
          prediction = L.Initial;
        } else if (x == 0) {
          prediction = above[k];
        } else if (firstLine || y == 0) {
          prediction = row[k - comps];
        } else {
          const int32_t ra = row[k - comps], rb = above[k], rc = above[k - comps];
          prediction = Predict(L.Predictor, ra, rb, rc);
        }
        row[k] = T(prediction + DecodeDifference(Reader, *Use[size_t(c)]));
      }
      if (L.Interval > 0) --mcusLeft;
    }
    firstLine = false;
    if (ProgressEvent && ScanSize > 0) {
      const auto per = static_cast<int32_t>(std::min(Reader.Index(), ScanSize) * 100 / ScanSize);
      if (per != lastPerCent) {
        lastPerCent = per;
        ProgressEvent(ProgressSender, per);
      }
    }
  }
}

}  // namespace

bool DecodeLosslessJpeg(TStream* Stream, uint16_t* Samples16, uint8_t* Samples8, int64_t BufferSamples,
                        const TPXProgressEvent& ProgressEvent, TObject* ProgressSender, int64_t Size) {
  if (!Stream || Size < 32 || (!Samples16 && !Samples8)) return false;
  std::vector<uint8_t> data(static_cast<size_t>(Size));
  if (ReadFully(Stream, data.data(), Size) != Size) return false;

  std::vector<THuffTable> tables;
  int32_t precision = 0, lines = 0, columns = 0, comps = 0, predictor = 1, pointTransform = 0, interval = 0;
  bool lossless = false, scanSeen = false;
  size_t at = 2, scanStart = data.size();
  while (at < data.size()) {
    if (data[at] != 0xFF) return false;
    if (at + 1 >= data.size()) break;
    const uint8_t marker = data[at + 1];
    at += 2;
    if (marker == 0x00 || marker == 0x01 || marker == 0xFF || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xD8 || marker == 0xD9) continue;
    if (at + 2 > data.size()) return false;
    const size_t length = (size_t(data[at]) << 8) | data[at + 1];
    if (length < 2 || at + length > data.size()) return false;
    const uint8_t* seg = data.data() + at + 2;
    const size_t segLen = length - 2;
    const size_t next = at + length;
    if ((marker >= 0xC0 && marker <= 0xC3) || (marker >= 0xC5 && marker <= 0xCB) || (marker >= 0xCD && marker <= 0xCF)) {
      if (segLen < 6) return false;
      precision = seg[0];
      lines = (seg[1] << 8) | seg[2];
      columns = (seg[3] << 8) | seg[4];
      comps = seg[5];
      if (marker == 0xC3) lossless = true;
    } else if (marker == 0xC4) {
      size_t p = 0;
      while (segLen - p >= 17) {
        THuffTable t;
        int32_t total = 0;
        for (int32_t i = 1; i <= 16; ++i) {
          t.Counts[size_t(i)] = seg[p + size_t(i)];
          total += seg[p + size_t(i)];
        }
        if (total > 17 || p + 17 + size_t(total) > segLen) return false;
        for (int32_t i = 0; i < total; ++i) {
          const uint8_t v = seg[p + 17 + size_t(i)];
          if (v > 16) return false;
          t.Values[size_t(i)] = v;
        }
        t.ValueCount = total;
        t.Build();
        if (tables.size() == 4) return false;
        tables.push_back(t);
        p += 17 + size_t(total);
      }
    } else if (marker == 0xDA) {
      if (scanSeen || segLen < 1) return false;
      scanSeen = true;
      const size_t ns = seg[0];
      if (segLen < 1 + 2 * ns + 3) return false;
      predictor = seg[1 + 2 * ns];
      pointTransform = seg[3 + 2 * ns] & 0x0F;
      scanStart = next;
      break;
    } else if (marker == 0xDD) {
      if (segLen < 2) return false;
      interval = (seg[0] << 8) | seg[1];
    }
    at = next;
  }
  if (!lossless) return true;
  if (tables.empty()) return false;
  if (precision < 2 || precision > 16 || comps < 1 || comps > 4 || lines <= 0 || columns <= 0) return false;
  const int64_t rowSamples = int64_t(columns) * comps;
  const int64_t total = rowSamples * lines;
  if (total > BufferSamples) return false;
  if (predictor < 1 || predictor > 7) predictor = 1;
  if (pointTransform >= precision) pointTransform = 0;

  // The scan's bytes without stuffing, in place at the front of the buffer; restart markers stay.
  size_t out = 0;
  for (size_t i = scanStart; i < data.size(); ++i) {
    const uint8_t b = data[i];
    if (b == 0xFF && i + 1 < data.size()) {
      if (data[i + 1] == 0x00) {
        data[out++] = 0xFF;
        ++i;
        continue;
      }
      if (data[i + 1] == 0xD9) break;
    }
    data[out++] = b;
  }
  data.resize(out);
  const std::vector<uint8_t>& scan = data;

  std::array<const THuffTable*, 4> use{};
  for (int32_t c = 0; c < comps; ++c) use[size_t(c)] = &tables[size_t(c) < tables.size() ? size_t(c) : 0];

  const TScanLayout layout{lines, columns, comps, predictor, interval, 1 << (precision - pointTransform - 1)};
  TBitReader reader(scan);
  if (Samples8) DecodeScan(reader, layout, use, Samples8, ProgressEvent, ProgressSender, scan.size());
  else DecodeScan(reader, layout, use, Samples16, ProgressEvent, ProgressSender, scan.size());
  return true;
}
