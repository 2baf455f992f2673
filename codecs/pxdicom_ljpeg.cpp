#include "codecs/pxdicom_ljpeg.h"

#include <algorithm>
#include <array>
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

// Bits of the unstuffed scan data, most significant first; past the end reads zeros.
class TBitReader {
 public:
  explicit TBitReader(const std::vector<uint8_t>& Data) : d_(Data) {}
  uint32_t Peek(int32_t Count) const {
    const size_t i = Index;
    uint32_t v = 0;
    for (int32_t k = 0; k < 4; ++k) v = (v << 8) | (i + size_t(k) < d_.size() ? d_[i + size_t(k)] : 0u);
    return (v << Bit) >> (32 - Count);
  }
  void Skip(int32_t Count) {
    const int32_t b = Bit + Count;
    Index += size_t(b >> 3);
    Bit = b & 7;
  }
  uint32_t Get(int32_t Count) {
    if (Count == 0) return 0;
    const uint32_t v = Peek(Count);
    Skip(Count);
    return v;
  }
  // Moves past the next restart marker, to a byte boundary.
  void Restart() {
    if (Bit) ++Index, Bit = 0;
    while (Index + 1 < d_.size() && !(d_[Index] == 0xFF && d_[Index + 1] >= 0xD0 && d_[Index + 1] <= 0xD7)) ++Index;
    Index = std::min(Index + 2, d_.size());
  }
  size_t Index = 0;
  int32_t Bit = 0;

 private:
  const std::vector<uint8_t>& d_;
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

int32_t DecodeDifference(TBitReader& R, const THuffTable& T) {
  const int32_t cat = DecodeCategory(R, T);
  if (cat == 0) return 0;
  if (cat >= 16) return 32768;
  const auto v = static_cast<int32_t>(R.Get(cat));
  return v >= (1 << (cat - 1)) ? v : v - ((1 << cat) - 1);
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

  // The scan's bytes without stuffing; restart markers stay.
  std::vector<uint8_t> scan;
  scan.reserve(data.size() - std::min(scanStart, data.size()));
  for (size_t i = scanStart; i < data.size(); ++i) {
    const uint8_t b = data[i];
    if (b == 0xFF && i + 1 < data.size()) {
      if (data[i + 1] == 0x00) {
        scan.push_back(0xFF);
        ++i;
        continue;
      }
      if (data[i + 1] == 0xD9) break;
    }
    scan.push_back(b);
  }
  data.clear();
  data.shrink_to_fit();

  std::array<const THuffTable*, 4> use{};
  for (int32_t c = 0; c < comps; ++c) use[size_t(c)] = &tables[size_t(c) < tables.size() ? size_t(c) : 0];

  const int32_t mask = Samples8 ? 0xFF : 0xFFFF;
  const int32_t initial = 1 << (precision - pointTransform - 1);
  auto get = [&](int64_t i) -> int32_t { return Samples8 ? Samples8[i] : Samples16[i]; };
  auto put = [&](int64_t i, int32_t v) {
    if (Samples8) Samples8[i] = uint8_t(v & mask);
    else Samples16[i] = uint16_t(v & mask);
  };

  TBitReader reader(scan);
  int64_t mcusLeft = interval;
  bool firstLine = true;  // the row that starts the scan or follows a restart
  int32_t lastPerCent = -1;
  for (int32_t y = 0; y < lines; ++y) {
    const int64_t rowStart = int64_t(y) * rowSamples;
    for (int32_t x = 0; x < columns; ++x) {
      bool restartHere = false;
      if (interval > 0 && mcusLeft == 0) {
        reader.Restart();
        mcusLeft = interval;
        restartHere = true;
        firstLine = true;
      }
      for (int32_t c = 0; c < comps; ++c) {
        const int64_t i = rowStart + int64_t(x) * comps + c;
        int32_t prediction;
        if ((y == 0 && x == 0) || restartHere) {
          prediction = initial;
        } else if (firstLine || y == 0) {
          prediction = x > 0 ? get(i - comps) : get(i - rowSamples);
          if (x == 0) prediction = get(i - rowSamples);
        } else if (x == 0) {
          prediction = get(i - rowSamples);
        } else {
          const int32_t ra = get(i - comps), rb = get(i - rowSamples), rc = get(i - rowSamples - comps);
          switch (predictor) {
            case 1: prediction = ra; break;
            case 2: prediction = rb; break;
            case 3: prediction = rc; break;
            case 4: prediction = ra + rb - rc; break;
            case 5: prediction = ra + ((rb - rc) >> 1); break;
            case 6: prediction = rb + ((ra - rc) >> 1); break;
            default: prediction = (ra + rb) >> 1; break;
          }
        }
        put(i, prediction + DecodeDifference(reader, *use[size_t(c)]));
      }
      if (interval > 0) --mcusLeft;
      if (ProgressEvent && !scan.empty()) {
        const auto per = static_cast<int32_t>(std::min<size_t>(reader.Index, scan.size()) * 100 / scan.size());
        if (per != lastPerCent) {
          lastPerCent = per;
          ProgressEvent(ProgressSender, per);
        }
      }
    }
    // A row that started the scan or an interval; the next row predicts from above again.
    if (interval == 0 || mcusLeft != interval) firstLine = false;
    else firstLine = false;
  }
  return true;
}
