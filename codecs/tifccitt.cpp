// The CCITT Group 3 and 4 coder.
#include "codecs/tifccitt.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "core/hypxutils.h"
#include "platform/rtl/Classes.h"

namespace {

uint8_t ReverseBits(uint8_t B) {
  ReverseBitsInByte(B);
  return B;
}

// ---------------------------------------------------------------------------------------------
// The code tables of ITU-T T.4, written as their bit strings.

constexpr TCcittCode Code(const char* Bits, int32_t Run) {
  int32_t length = 0, value = 0;
  for (; Bits[length]; ++length) value = value * 2 + (Bits[length] - '0');
  return {length, value, Run};
}

constexpr const char* kWhiteTerminating[64] = {
    "00110101", "000111",   "0111",     "1000",     "1011",     "1100",     "1110",     "1111",
    "10011",    "10100",    "00111",    "01000",    "001000",   "000011",   "110100",   "110101",
    "101010",   "101011",   "0100111",  "0001100",  "0001000",  "0010111",  "0000011",  "0000100",
    "0101000",  "0101011",  "0010011",  "0100100",  "0011000",  "00000010", "00000011", "00011010",
    "00011011", "00010010", "00010011", "00010100", "00010101", "00010110", "00010111", "00101000",
    "00101001", "00101010", "00101011", "00101100", "00101101", "00000100", "00000101", "00001010",
    "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101", "01011000",
    "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011", "00110100",
};
constexpr const char* kWhiteMakeUp[27] = {
    "11011",     "10010",     "010111",    "0110111",   "00110110",  "00110111",  "01100100",
    "01100101",  "01101000",  "01100111",  "011001100", "011001101", "011010010", "011010011",
    "011010100", "011010101", "011010110", "011010111", "011011000", "011011001", "011011010",
    "011011011", "010011000", "010011001", "010011010", "011000",    "010011011",
};
constexpr const char* kBlackTerminating[64] = {
    "0000110111",   "010",          "11",           "10",           "011",          "0011",
    "0010",         "00011",        "000101",       "000100",       "0000100",      "0000101",
    "0000111",      "00000100",     "00000111",     "000011000",    "0000010111",   "0000011000",
    "0000001000",   "00001100111",  "00001101000",  "00001101100",  "00000110111",  "00000101000",
    "00000010111",  "00000011000",  "000011001010", "000011001011", "000011001100", "000011001101",
    "000001101000", "000001101001", "000001101010", "000001101011", "000011010010", "000011010011",
    "000011010100", "000011010101", "000011010110", "000011010111", "000001101100", "000001101101",
    "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111",
    "000001100100", "000001100101", "000001010010", "000001010011", "000000100100", "000000110111",
    "000000111000", "000000100111", "000000101000", "000001011000", "000001011001", "000000101011",
    "000000101100", "000001011010", "000001100110", "000001100111",
};
constexpr const char* kBlackMakeUp[27] = {
    "0000001111",    "000011001000",  "000011001001",  "000001011011",  "000000110011",  "000000110100",
    "000000110101",  "0000001101100", "0000001101101", "0000001001010", "0000001001011", "0000001001100",
    "0000001001101", "0000001110010", "0000001110011", "0000001110100", "0000001110101", "0000001110110",
    "0000001110111", "0000001010010", "0000001010011", "0000001010100", "0000001010101", "0000001011010",
    "0000001011011", "0000001100100", "0000001100101",
};
constexpr const char* kExtendedMakeUp[13] = {
    "00000001000",  "00000001100",  "00000001101",  "000000010010", "000000010011",
    "000000010100", "000000010101", "000000010110", "000000010111", "000000011100",
    "000000011101", "000000011110", "000000011111",
};

constexpr int32_t kEolRow = 104;
constexpr int32_t kNoCode = 128;
constexpr int32_t kRunEol = -3;
constexpr int32_t kRunNone = -1;

constexpr std::array<TCcittCode, 128> MakeTable(const char* const (&Terminating)[64],
                                                const char* const (&MakeUp)[27]) {
  std::array<TCcittCode, 128> t{};
  for (int32_t i = 0; i < 64; ++i) t[size_t(i)] = Code(Terminating[i], i);
  for (int32_t i = 0; i < 27; ++i) t[size_t(64 + i)] = Code(MakeUp[i], 64 * (i + 1));
  for (int32_t i = 0; i < 13; ++i) t[size_t(91 + i)] = Code(kExtendedMakeUp[i], 1792 + 64 * i);
  t[kEolRow] = {12, 1, kRunEol};
  for (int32_t i = 0; i < 3; ++i) t[size_t(105 + i)] = {9 + i, 1, kRunNone};
  for (int32_t i = 0; i < 20; ++i) t[size_t(108 + i)] = {13 + i, 1, kRunEol};
  return t;
}

// The run of a make-up row; the table row of a run of 64 .. 2560 in steps of 64.
constexpr int32_t MakeUpRow(int32_t Run) { return Run <= 1728 ? 63 + Run / 64 : 91 + (Run - 1792) / 64; }

enum TModeEntry : int32_t {
  meFill = 0,
  mePass = 1,
  meHorizontal = 2,
  meV0 = 6,
  meUncompressed2D = 10,
  meUncompressed1D = 11,
  meEol = 12,
};

constexpr int32_t kWhite = 0;
constexpr int32_t kBlack = 1;

}  // namespace

const std::array<TCcittCode, 128> CcittWhiteCodes = MakeTable(kWhiteTerminating, kWhiteMakeUp);
const std::array<TCcittCode, 128> CcittBlackCodes = MakeTable(kBlackTerminating, kBlackMakeUp);
const std::array<TCcittMode, 13> CcittModeTable = {{
    {12, 0},   // twelve zero bits
    {4, 1},    // pass 0001
    {3, 1},    // horizontal 001
    {7, 2},    // VL3 0000010
    {6, 2},    // VL2 000010
    {3, 2},    // VL1 010
    {1, 1},    // V0 1
    {3, 3},    // VR1 011
    {6, 3},    // VR2 000011
    {7, 3},    // VR3 0000011
    {10, 15},  // 0000001111
    {12, 15},  // 000000001111
    {12, 1},   // EOL 000000000001
}};

namespace {

// ---------------------------------------------------------------------------------------------
// Decode lookups: the codes with fewer than eight leading zeros by their first 13 bits, the
// zero patterns and EOLs by their count of leading zeros, the mode codes by their first 12 bits.

constexpr int32_t kRunBits = 13;
constexpr int32_t kModeBits = 12;

struct TLookup {
  uint8_t Row = kNoCode;
  uint8_t Length = 0;
};

struct TCcittTables {
  TLookup Runs[2][1 << kRunBits];
  TLookup Modes[1 << kModeBits];
};

std::unique_ptr<TCcittTables> BuildTables() {
  auto t = std::make_unique<TCcittTables>();
  for (int32_t colour = 0; colour < 2; ++colour) {
    const auto& codes = colour == kWhite ? CcittWhiteCodes : CcittBlackCodes;
    for (int32_t row = 0; row < kEolRow; ++row) {
      const TCcittCode& c = codes[size_t(row)];
      const int32_t shift = kRunBits - c.Length;
      for (int32_t i = c.Value << shift; i < (c.Value + 1) << shift; ++i)
        t->Runs[colour][i] = {uint8_t(row), uint8_t(c.Length)};
    }
  }
  // The first entry that matches wins; what matches none counts as the twelve zero bits.
  for (int32_t i = 0; i < (1 << kModeBits); ++i) {
    t->Modes[i] = {meFill, 12};
    for (int32_t e = 0; e < 13; ++e) {
      const TCcittMode& m = CcittModeTable[size_t(e)];
      if ((i >> (kModeBits - m.Length)) == m.Value) {
        t->Modes[i] = {uint8_t(e), uint8_t(m.Length)};
        break;
      }
    }
  }
  return t;
}

std::mutex g_tables_lock;
std::unique_ptr<TCcittTables> g_tables;
std::atomic<const TCcittTables*> g_ready{nullptr};

const TCcittTables& Tables() {
  if (const TCcittTables* t = g_ready.load(std::memory_order_acquire)) return *t;
  std::lock_guard<std::mutex> guard(g_tables_lock);
  if (!g_tables) g_tables = BuildTables();
  g_ready.store(g_tables.get(), std::memory_order_release);
  return *g_tables;
}

// The bits of the data from a bit position, most significant first after the fill order's
// reversal; bits past the data read as 0.
class TBitSource {
 public:
  TBitSource(const uint8_t* Data, int64_t DataLen, int64_t BitPos, int32_t FillOrder)
      : data_(Data), len_(Data ? std::max<int64_t>(DataLen, 0) : 0), reversed_(FillOrder == 2) {
    SetPos(std::max<int64_t>(BitPos, 0));
  }
  int64_t Pos() const { return next_ * 8 - bits_; }
  void SetPos(int64_t Pos) {
    next_ = Pos >> 3;
    word_ = 0;
    bits_ = 0;
    Fill();
    Skip(int32_t(Pos & 7));
  }
  bool Inside() const { return Pos() < len_ * 8; }
  // The next 32 bits.
  uint32_t Peek() {
    if (bits_ < 32) Fill();
    return uint32_t(word_ >> 32);
  }
  // N (at most 32) bits read.
  void Skip(int32_t N) {
    if (bits_ < N) Fill();
    word_ <<= N;
    bits_ -= N;
  }
  int32_t Bit() {
    const int32_t b = int32_t(Peek() >> 31);
    Skip(1);
    return b;
  }

 private:
  // Whole bytes into the word below the bits it holds, while they fit.
  void Fill() {
    if (!reversed_ && next_ + 8 <= len_) {
      uint64_t v;
      std::memcpy(&v, data_ + next_, 8);
      v = __builtin_bswap64(v);
      // Bits of a byte past the whole ones may come along: they are the data's own, at their
      // places, and the next fill puts the same there.
      const int32_t take = (64 - bits_) >> 3;
      word_ |= v >> bits_;
      next_ += take;
      bits_ += take * 8;
      return;
    }
    while (bits_ <= 56) {
      uint8_t b = next_ >= 0 && next_ < len_ ? data_[next_] : 0;
      if (reversed_) b = ReverseBits(b);
      word_ |= uint64_t(b) << (56 - bits_);
      ++next_;
      bits_ += 8;
    }
  }

  const uint8_t* data_;
  int64_t len_;
  bool reversed_;
  int64_t next_ = 0;   // the next byte to load
  uint64_t word_ = 0;  // the bits loaded, first at the most significant
  int32_t bits_ = 0;
};

// The code-table row and length of the Colour's code in the 32 bits Window.
TLookup LookupRun(const TCcittTables& T, uint32_t Window, int32_t Colour) {
  const int32_t zeros = Window ? __builtin_clz(Window) : 32;
  if (zeros < 8) return T.Runs[Colour][Window >> (32 - kRunBits)];
  if (zeros >= 32) return {kNoCode, 0};
  const int32_t row = zeros <= 10 ? 105 + zeros - 8 : zeros == 11 ? kEolRow : 108 + zeros - 12;
  return {uint8_t(row), uint8_t(zeros + 1)};
}

const TCcittCode& CodeOf(int32_t Colour, int32_t Row) {
  return (Colour == kWhite ? CcittWhiteCodes : CcittBlackCodes)[size_t(Row)];
}

// ---------------------------------------------------------------------------------------------
// Rows

int32_t Clz8(uint8_t V) { return __builtin_clz(uint32_t(V)) - 24; }

// The first pixel at or after From whose bit is Bit, Width when there is none.
int32_t FindBit(const uint8_t* Row, int32_t Width, int32_t From, int32_t Bit) {
  if (From < 0) From = 0;
  if (From >= Width) return Width;
  const uint8_t flip = Bit ? 0x00 : 0xFF;
  const int32_t bytes = (Width + 7) >> 3;
  int32_t i = From >> 3;
  const uint8_t v = uint8_t((Row[i] ^ flip) & (0xFF >> (From & 7)));
  if (v) return std::min(Width, i * 8 + Clz8(v));
  ++i;
  const uint64_t flip64 = Bit ? 0 : ~uint64_t{0};
  for (; i + 8 <= bytes; i += 8) {
    uint64_t w;
    std::memcpy(&w, Row + i, 8);
    w = __builtin_bswap64(w) ^ flip64;
    if (w) return std::min(Width, i * 8 + __builtin_clzll(w));
  }
  for (; i < bytes; ++i)
    if (const uint8_t b = uint8_t(Row[i] ^ flip)) return std::min(Width, i * 8 + Clz8(b));
  return Width;
}

// Clears the pixels From .. To - 1 (clipped to the row).
void ClearRange(uint8_t* Row, int32_t Width, int64_t From, int64_t To) {
  const auto from = int32_t(std::clamp<int64_t>(From, 0, Width));
  const auto to = int32_t(std::clamp<int64_t>(To, 0, Width));
  if (from >= to) return;
  const int32_t first = from >> 3, last = (to - 1) >> 3;
  const uint8_t head = uint8_t(0xFF >> (from & 7)), tail = uint8_t(0xFF << (7 - ((to - 1) & 7)));
  if (first == last) {
    Row[first] &= uint8_t(~(head & tail));
    return;
  }
  Row[first] &= uint8_t(~head);
  if (last > first + 1) std::memset(Row + first + 1, 0, size_t(last - first - 1));
  Row[last] &= uint8_t(~tail);
}

// The changing pixels of a row (where its colour differs from the pixel before; before the
// first pixel stands an imaginary white one) into List: even entries turn black, odd ones white,
// and three entries past the last stand beyond every pixel. BlackBit is the bit value of black
// pixels in the row.
void BuildChanges(const uint8_t* Row, int32_t Width, int32_t BlackBit, std::vector<int32_t>& List) {
  List.clear();
  // 64 pixels at a time: a set bit of w xor (w shifted by one pixel) marks a change.
  const int32_t bytes = (Width + 7) >> 3;
  uint64_t before = uint64_t(1 - BlackBit);  // the imaginary white pixel
  for (int32_t i = 0; i < bytes; i += 8) {
    uint64_t w = 0;
    if (i + 8 <= bytes) {
      std::memcpy(&w, Row + i, 8);
      w = __builtin_bswap64(w);
    } else {
      for (int32_t k = i; k < bytes; ++k) w |= uint64_t(Row[k]) << (56 - 8 * (k - i));
    }
    uint64_t t = w ^ (w >> 1 | before << 63);
    before = w & 1;
    const int32_t left = Width - i * 8;  // pixels of the row in this word
    if (left < 64) t &= ~uint64_t{0} << (64 - left);
    while (t) {
      const int32_t z = __builtin_clzll(t);
      List.push_back(i * 8 + z);
      t &= ~(uint64_t{1} << (63 - z));
    }
  }
  List.insert(List.end(), 3, INT32_MAX);
}

// A walk along a row's changes for a0 moving (mostly) to the right.
class TChangeCursor {
 public:
  TChangeCursor(const std::vector<int32_t>& List, int32_t Width) : list_(List.data()), width_(Width) {}
  // The first change after A0 (Width when there is none); Second receives the one after it.
  int32_t After(int64_t A0, int32_t& Second) {
    Seek(A0);
    return Pick(at_, Second);
  }
  // b1 and b2 for a0 and its colour: the first change after a0 to the other colour, and the
  // change after that.
  void B1B2(int64_t A0, int32_t Colour, int32_t& B1, int32_t& B2) {
    Seek(A0);
    size_t i = at_;
    // Changes to white (odd entries) are wanted on a black a0.
    if ((i & 1) != size_t(Colour == kBlack)) ++i;
    B1 = Pick(i, B2);
  }

 private:
  void Seek(int64_t A0) {
    const auto a = int32_t(std::min<int64_t>(A0, width_));
    while (at_ > 0 && list_[at_ - 1] > a) --at_;
    while (list_[at_] <= a) ++at_;
  }
  int32_t Pick(size_t I, int32_t& Second) const {
    Second = std::min(list_[I + 1], width_);
    return std::min(list_[I], width_);
  }
  const int32_t* list_;
  int32_t width_;
  size_t at_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Decoding

// Reads make-up codes and a terminating code of the colour; -1 for an EOL or what is no code.
int64_t ReadRun(const TCcittTables& T, TBitSource& In, int32_t Colour) {
  int64_t total = 0;
  for (;;) {
    if (!In.Inside()) return -1;
    const TLookup l = LookupRun(T, In.Peek(), Colour);
    if (l.Row == kNoCode) {
      In.Skip(1);
      return -1;
    }
    In.Skip(l.Length);
    const int32_t run = CodeOf(Colour, l.Row).Run;
    if (run < 0) return -1;
    total = std::min<int64_t>(total + run, int64_t{1} << 40);
    if (l.Row < 64) return total;
  }
}

void FillWhite(uint8_t* Row, int32_t Width) { std::memset(Row, 0xFF, size_t(Width + 7) / 8); }

int64_t DecodeMH(const TCcittTables& T, uint8_t* Row, int32_t Width, TBitSource& In) {
  FillWhite(Row, Width);
  int32_t colour = kWhite;
  int64_t a0 = 0;
  bool codes = false, makeUp = false;
  while ((a0 < Width || makeUp) && In.Inside()) {
    const TLookup l = LookupRun(T, In.Peek(), colour);
    if (l.Row == kNoCode) {
      In.Skip(1);
      continue;
    }
    const int32_t run = CodeOf(colour, l.Row).Run;
    if (run == kRunEol) {
      if (!codes) {
        In.Skip(l.Length);
        continue;
      }
      // A premature EOL ends the row; the next row starts with it.
      if (colour == kBlack) ClearRange(Row, Width, a0, Width);
      break;
    }
    In.Skip(l.Length);
    if (run == kRunNone) continue;
    codes = true;
    if (colour == kBlack) ClearRange(Row, Width, a0, a0 + run);
    a0 += run;
    makeUp = l.Row >= 64;
    if (!makeUp) colour = 1 - colour;
  }
  return In.Pos();
}

// The changes of the last row decoded on this thread, kept with a copy of it: rows decoded one
// after the other find their reference row's changes here instead of scanning it again.
struct TLastRow {
  int32_t Width = -1;
  std::vector<uint8_t> Pixels;
  std::vector<int32_t> Changes;
  std::vector<int32_t> Next;  // the changes of the row being decoded, as its codes give them
};

TLastRow& LastRow() {
  thread_local TLastRow last;
  return last;
}

// The changes the codes gave (Next) become the last row's when they describe Row: increasing
// positions inside the row once changes at one place that cancel out are dropped.
void KeepLastRow(TLastRow& Last, const uint8_t* Row, int32_t Width, bool Usable) {
  Last.Width = -1;
  if (!Usable) return;
  std::vector<int32_t>& list = Last.Next;
  size_t n = 0;
  for (const int32_t p : list) {
    if (p >= Width) break;
    if (n > 0 && list[n - 1] == p) {
      --n;
      continue;
    }
    if (n > 0 && list[n - 1] > p) return;
    list[n++] = p;
  }
  list.resize(n);
  list.insert(list.end(), 3, INT32_MAX);
  Last.Changes.swap(list);
  Last.Pixels.assign(Row, Row + (Width + 7) / 8);
  Last.Width = Width;
}

int64_t Decode2D(const TCcittTables& T, uint8_t* Row, int32_t Width, uint8_t* Ref, TBitSource& In, bool FillBits) {
  FillWhite(Row, Width);
  const size_t bytes = size_t(Width + 7) / 8;
  TLastRow& last = LastRow();
  if (last.Width != Width || std::memcmp(last.Pixels.data(), Ref, bytes) != 0) {
    BuildChanges(Ref, Width, 0, last.Changes);
    last.Width = -1;
  }
  TChangeCursor changes(last.Changes, Width);
  std::vector<int32_t>& next = last.Next;
  next.clear();
  bool usable = true;
  int64_t a0 = -1;
  int32_t colour = kWhite;
  bool first = true;
  while (a0 < Width && In.Inside()) {
    const int64_t start = In.Pos();
    const TLookup m = T.Modes[In.Peek() >> (32 - kModeBits)];
    In.Skip(m.Length);
    const bool firstCode = first;
    first = false;
    int32_t entry = m.Row;
    if (entry == meFill) {
      if (!FillBits) continue;
      // Fill bits: the zeros through the next one are an EOL.
      while (In.Inside() && In.Bit() == 0) {
      }
      entry = meEol;
    }
    const int64_t s = std::max<int64_t>(a0, 0);
    int32_t b1 = 0, b2 = 0;
    // The vertical codes are by far the most frequent: tested first, outside the switch.
    if (entry >= 3 && entry <= 9) {
      changes.B1B2(a0, colour, b1, b2);
      const int64_t a1 = int64_t(b1) + entry - meV0;
      if (colour == kBlack) ClearRange(Row, Width, s, a1);
      // A change left of a0 makes the changes no longer describe the row.
      if (a1 < s) usable = false;
      next.push_back(int32_t(std::clamp<int64_t>(a1, 0, Width)));
      a0 = a1;
      colour = 1 - colour;
      continue;
    }
    switch (entry) {
      case mePass:
        changes.B1B2(a0, colour, b1, b2);
        if (colour == kBlack) ClearRange(Row, Width, s, b2);
        a0 = b2;
        break;
      case meHorizontal: {
        const int64_t r1 = ReadRun(T, In, colour);
        const int64_t r2 = r1 < 0 ? -1 : ReadRun(T, In, 1 - colour);
        if (r1 < 0 || r2 < 0) break;
        if (colour == kBlack) ClearRange(Row, Width, s, s + r1);
        else ClearRange(Row, Width, s + r1, s + r1 + r2);
        next.push_back(int32_t(std::min<int64_t>(s + r1, Width)));
        next.push_back(int32_t(std::min<int64_t>(s + r1 + r2, Width)));
        a0 = s + r1 + r2;
        break;
      }
      case meUncompressed2D:
      case meUncompressed1D:
        usable = false;
        a0 = s;
        while (a0 < Width && In.Inside()) {
          const int64_t at = In.Pos();
          int32_t l = 0;
          int32_t bit = 0;
          while (l < 12 && In.Inside() && (bit = In.Bit()) == 0) ++l;
          if (bit == 0) {
            // No one within reach: not a code of this mode.
            In.SetPos(at);
            break;
          }
          ++l;
          if (l <= 5) {
            ClearRange(Row, Width, a0 + l - 1, a0 + l);
            a0 += l;
          } else if (l == 6) {
            a0 += 5;
          } else if (l <= 11) {
            a0 += l - 7;
            colour = In.Inside() && In.Bit() ? kBlack : kWhite;
            break;
          } else {
            In.SetPos(at);
            break;
          }
        }
        break;
      case meEol:
        if (firstCode) {
          if (In.Bit()) {
            const int64_t pos = DecodeMH(T, Row, Width, In);
            std::memcpy(Ref, Row, bytes);
            KeepLastRow(last, Row, Width, false);
            return pos;
          }
          break;
        }
        usable = false;
        if (colour == kBlack) ClearRange(Row, Width, s, Width);
        In.SetPos(start);
        a0 = Width;
        break;
      default:
        break;
    }
  }
  std::memcpy(Ref, Row, bytes);
  // A row the data left unfinished has no change list of its own.
  KeepLastRow(last, Row, Width, usable && a0 >= Width);
  return In.Pos();
}

// ---------------------------------------------------------------------------------------------
// Encoding

class TCcittBitWriter {
 public:
  TCcittBitWriter(uint8_t PartialByte, int32_t PartialBits) {
    bits_ = std::clamp(PartialBits, 0, 7);
    acc_ = bits_ ? uint64_t(PartialByte >> (8 - bits_)) : 0;
  }
  void Put(uint32_t Value, int32_t Length) {
    acc_ = acc_ << Length | Value;
    bits_ += Length;
    while (bits_ >= 8) {
      bits_ -= 8;
      out_.push_back(uint8_t(acc_ >> bits_));
    }
  }
  void Code(const TCcittCode& C) { Put(uint32_t(C.Value), C.Length); }
  void Eol() { Code(CcittWhiteCodes[kEolRow]); }
  // Make-up codes and a terminating code for a run of the colour.
  void Run(int32_t N, int32_t Colour) {
    while (N >= 64) {
      const int32_t m = std::min(N / 64 * 64, 2560);
      Code(CodeOf(Colour, MakeUpRow(m)));
      N -= m;
    }
    Code(CodeOf(Colour, N));
  }
  // Zero bits up to the next byte.
  void Pad() {
    if (bits_ > 0) Put(0, 8 - bits_);
  }
  // The incomplete byte for the next call.
  void Carry(uint8_t& PartialByte, int32_t& PartialBits) const {
    PartialBits = bits_;
    PartialByte = bits_ ? uint8_t(acc_ << (8 - bits_)) : 0;
  }
  void Write(TStream* Stream, TPXAbortFlag& AbortFlag, int32_t FillOrder) {
    if (out_.empty()) return;
    if (FillOrder == 2)
      for (uint8_t& b : out_) b = ReverseBits(b);
    bool failed = false;
    if (Stream) StreamWriteChecked(Stream, failed, out_.data(), int64_t(out_.size()));
    if (failed || !Stream) AbortFlag = true;
    out_.clear();
  }

 private:
  std::vector<uint8_t> out_;
  uint64_t acc_ = 0;
  int32_t bits_ = 0;
};

// The row's runs, white first (a row that starts black begins with a white run of 0).
void CodeRow1D(TCcittBitWriter& Out, const uint8_t* Row, int32_t Width) {
  int32_t pos = 0, colour = kWhite;
  while (pos < Width) {
    const int32_t next = FindBit(Row, Width, pos, colour == kWhite ? 1 : 0);
    Out.Run(next - pos, colour);
    pos = next;
    colour = 1 - colour;
  }
}

// The row coded against the reference row (T.4 two-dimensional coding without uncompressed
// mode); both rows have set bits for black.
void CodeRow2D(TCcittBitWriter& Out, const uint8_t* Row, const uint8_t* Ref, int32_t Width) {
  thread_local std::vector<int32_t> codingList, referenceList;
  BuildChanges(Row, Width, 1, codingList);
  BuildChanges(Ref, Width, 1, referenceList);
  TChangeCursor coding(codingList, Width), reference(referenceList, Width);
  int32_t a0 = -1, colour = kWhite;
  while (a0 < Width) {
    int32_t a2 = 0, b1 = 0, b2 = 0;
    const int32_t a1 = coding.After(a0, a2);
    reference.B1B2(a0, colour, b1, b2);
    if (b2 < a1) {
      Out.Put(1, 4);  // pass
      a0 = b2;
    } else if (std::abs(a1 - b1) <= 3) {
      const TCcittMode& m = CcittModeTable[size_t(meV0 + a1 - b1)];
      Out.Put(uint32_t(m.Value), m.Length);
      a0 = a1;
      colour = 1 - colour;
    } else {
      Out.Put(1, 3);  // horizontal
      Out.Run(a1 - std::max(a0, 0), colour);
      Out.Run(a2 - a1, 1 - colour);
      a0 = a2;
    }
  }
}

// A copy of the row rounded up to whole 32-bit words.
void KeepRow(std::vector<uint8_t>& Ref, const uint8_t* Row, int32_t Width) {
  const size_t bytes = size_t(Width + 7) / 8;
  Ref.assign((bytes + 3) / 4 * 4, 0);
  std::memcpy(Ref.data(), Row, bytes);
}

// A reference row the encoders can read: white when missing or too short.
const uint8_t* UsableRef(std::vector<uint8_t>& Ref, int32_t Width) {
  const size_t bytes = size_t(Width + 7) / 8;
  if (Ref.size() < bytes) Ref.assign((bytes + 3) / 4 * 4, 0);
  return Ref.data();
}

}  // namespace

void InitCcittTables() { Tables(); }

void FreeCcittTables() {
  std::lock_guard<std::mutex> guard(g_tables_lock);
  g_ready.store(nullptr, std::memory_order_release);
  g_tables.reset();
}

int32_t CcittLookupCode(const uint8_t* Data, int64_t DataLen, int64_t BitPos, int32_t FillOrder, int32_t Colour) {
  TBitSource in(Data, DataLen, BitPos, FillOrder);
  if (!in.Inside()) return 127;
  return LookupRun(Tables(), in.Peek(), Colour == kBlack ? kBlack : kWhite).Row;
}

int64_t CcittDecode(uint8_t* Row, const uint8_t* Data, int64_t DataLen, int32_t Width, uint8_t* RefRow, int64_t BitPos,
                    int32_t FillOrder, bool FillBits) {
  if (!Row || !RefRow || Width <= 0) return BitPos;
  TBitSource in(Data, DataLen, BitPos, FillOrder);
  return Decode2D(Tables(), Row, Width, RefRow, in, FillBits);
}

int64_t CcittDecodeMHRow(uint8_t* Row, const uint8_t* Data, int64_t DataLen, int32_t Width, int64_t BitPos,
                         int32_t FillOrder) {
  if (!Row || Width <= 0) return BitPos;
  TBitSource in(Data, DataLen, BitPos, FillOrder);
  return DecodeMH(Tables(), Row, Width, in);
}

int64_t CcittDecodeMHRowBytes(uint8_t* Row, const uint8_t* Data, int64_t DataLen, int32_t Width, int32_t FillOrder) {
  return (CcittDecodeMHRow(Row, Data, DataLen, Width, 0, FillOrder) + 7) / 8;
}

void EncodeCcittMHRow(const uint8_t* Row, int32_t Width, TStream* Stream, TPXAbortFlag& AbortFlag, int32_t FillOrder) {
  if (!Row || Width <= 0) return;
  TCcittBitWriter out(0, 0);
  CodeRow1D(out, Row, Width);
  out.Pad();
  out.Write(Stream, AbortFlag, FillOrder);
}

void EncodeCcittG3Row1D(const uint8_t* Row, int32_t Width, TStream* Stream, uint8_t& PartialByte,
                        int32_t& PartialBits, TPXAbortFlag& AbortFlag, int32_t FillOrder) {
  TCcittBitWriter out(PartialByte, PartialBits);
  if (Row) CodeRow1D(out, Row, std::max(Width, 0));
  else out.Pad();
  out.Carry(PartialByte, PartialBits);
  out.Write(Stream, AbortFlag, FillOrder);
}

void EncodeCcittG3Row(const uint8_t* Row, int32_t Width, TStream* Stream, uint8_t& PartialByte, int32_t& PartialBits,
                      std::vector<uint8_t>& RefRow, TPXAbortFlag& AbortFlag, int32_t FillOrder) {
  TCcittBitWriter out(PartialByte, PartialBits);
  out.Eol();
  Width = std::max(Width, 0);
  if (!Row) {
    RefRow.clear();
    out.Pad();
  } else if (RefRow.empty()) {
    out.Put(1, 1);
    CodeRow1D(out, Row, Width);
    KeepRow(RefRow, Row, Width);
  } else {
    out.Put(0, 1);
    CodeRow2D(out, Row, UsableRef(RefRow, Width), Width);
    KeepRow(RefRow, Row, Width);
  }
  out.Carry(PartialByte, PartialBits);
  out.Write(Stream, AbortFlag, FillOrder);
}

void EncodeCcittG4Row(const uint8_t* Row, int32_t Width, TStream* Stream, uint8_t& PartialByte, int32_t& PartialBits,
                      std::vector<uint8_t>& RefRow, TPXAbortFlag& AbortFlag, int32_t FillOrder) {
  TCcittBitWriter out(PartialByte, PartialBits);
  Width = std::max(Width, 0);
  if (!Row) {
    out.Eol();
    out.Eol();
    out.Pad();
    RefRow.clear();
  } else {
    CodeRow2D(out, Row, UsableRef(RefRow, Width), Width);
    KeepRow(RefRow, Row, Width);
  }
  out.Carry(PartialByte, PartialBits);
  out.Write(Stream, AbortFlag, FillOrder);
}
