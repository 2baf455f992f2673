#include "io/pxtiffifd.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_set>

#include "core/hypxutils.h"
#include "core/hypxutils_text.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"

int32_t TiffTypeSize(int32_t Type) {
  static constexpr int32_t kSizes[19] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 1, 1, 8, 8, 8};
  return Type >= 0 && Type <= 18 ? kSizes[Type] : 0;
}

uint16_t SwapWord(uint16_t Value, bool Swap) { return Swap ? static_cast<uint16_t>((Value >> 8) | (Value << 8)) : Value; }
uint32_t SwapDWord(uint32_t Value, bool Swap) { return Swap ? __builtin_bswap32(Value) : Value; }
uint64_t SwapQWord(uint64_t Value, bool Swap) { return Swap ? __builtin_bswap64(Value) : Value; }

namespace {

template <class T>
T ReadOrdered(TStream* Stream, bool Swap) {
  uint8_t b[sizeof(T)] = {};
  int32_t got = 0;
  while (got < int32_t(sizeof(T))) {
    const int32_t n = Stream->Read(b + got, int32_t(sizeof(T)) - got);
    if (n <= 0) break;
    got += n;
  }
  T v;
  std::memcpy(&v, b, sizeof(T));
  if constexpr (sizeof(T) == 2) return SwapWord(v, Swap);
  if constexpr (sizeof(T) == 4) return SwapDWord(v, Swap);
  if constexpr (sizeof(T) == 8) return SwapQWord(v, Swap);
}

// Multiplies without overflow; false when the product passes 2^63.
bool SafeMul(uint64_t a, uint64_t b, uint64_t& out) {
  if (a != 0 && b > uint64_t(std::numeric_limits<int64_t>::max()) / a) return false;
  out = a * b;
  return true;
}

// Puts one item of Type into host order.
uint64_t ItemToHost(const uint8_t* p, int32_t Type, int32_t Size, bool Swap) {
  uint64_t v = 0;
  switch (Size) {
    case 1:
      return p[0];
    case 2: {
      uint16_t w;
      std::memcpy(&w, p, 2);
      return SwapWord(w, Swap);
    }
    case 4: {
      uint32_t d;
      std::memcpy(&d, p, 4);
      return SwapDWord(d, Swap);
    }
    case 8:
      if (Type == ttRational || Type == ttSRational) {
        uint32_t n, d;
        std::memcpy(&n, p, 4);
        std::memcpy(&d, p + 4, 4);
        return uint64_t(SwapDWord(n, Swap)) | (uint64_t(SwapDWord(d, Swap)) << 32);
      }
      std::memcpy(&v, p, 8);
      return SwapQWord(v, Swap);
    default:
      return 0;
  }
}

}  // namespace

uint16_t ReadWordOrdered(TStream* Stream, bool Swap) { return ReadOrdered<uint16_t>(Stream, Swap); }
uint32_t ReadDWordOrdered(TStream* Stream, bool Swap) { return ReadOrdered<uint32_t>(Stream, Swap); }
uint64_t ReadQWordOrdered(TStream* Stream, bool Swap) { return ReadOrdered<uint64_t>(Stream, Swap); }

int64_t AlignStreamToWord(TStream* Stream, bool& ErrorFlag) {
  const int64_t pos = Stream->Position();
  if ((pos & 1) == 0) return pos;
  const uint8_t zero = 0;
  StreamWriteChecked(Stream, ErrorFlag, &zero, 1);
  return Stream->Position();
}

bool TiffEntryIsInline(uint16_t Type, uint64_t Count) {
  uint64_t size = 0;
  return SafeMul(uint64_t(TiffTypeSize(Type)), Count, size) && size <= 4;
}

// ---------------------------------------------------------------------------------------------
// Reader

void TPXTIFFIFDReader::Clear() {
  Entries.clear();
  EntryCount = 0;
}

void TPXTIFFIFDReader::Assign(const TPXTIFFIFDReader& Source) { *this = Source; }

int64_t TPXTIFFIFDReader::StreamSize() const { return Stream ? Stream->Size() : 0; }

bool TPXTIFFIFDReader::ReadAt(uint64_t Offset, void* Out, uint64_t Count) const {
  if (!Stream) return false;
  const uint64_t size = uint64_t(std::max<int64_t>(StreamSize(), 0));
  if (Base > size || Offset > size - Base || Count > size - Base - Offset) return false;
  Stream->Seek(int64_t(Base + Offset), soBeginning);
  auto* p = static_cast<uint8_t*>(Out);
  uint64_t done = 0;
  while (done < Count) {
    const int32_t n = Stream->Read(p + done, int32_t(std::min<uint64_t>(Count - done, 1u << 30)));
    if (n <= 0) break;
    done += uint64_t(n);
  }
  if (done < Count) std::memset(p + done, 0, size_t(Count - done));
  return true;
}

bool TPXTIFFIFDReader::ReadIFD(int32_t Index, int32_t& IfdCount, uint64_t FirstOffset) {
  Clear();
  IfdCount = 0;
  if (!Stream) return false;
  const bool swap = !LittleEndian;
  const int64_t size = StreamSize();
  const int32_t entrySize = IsBigTiff ? 20 : 12;
  std::unordered_set<uint64_t> visited{FirstOffset};
  uint64_t offset = FirstOffset;
  bool loaded = false;
  std::vector<uint8_t> table;
  while (offset != 0) {
    if (Base + offset >= uint64_t(size)) break;
    Stream->Seek(int64_t(Base + offset), soBeginning);
    const uint64_t n = IsBigTiff ? ReadQWordOrdered(Stream, swap) : ReadWordOrdered(Stream, swap);
    if (n == 0) break;
    const int64_t at = Stream->Position();
    uint64_t bytes = 0;
    // The table must lie wholly inside the stream.
    if (!SafeMul(n, uint64_t(entrySize), bytes) || bytes > uint64_t(size - at)) break;
    if (IfdCount == Index) {
      table.resize(size_t(bytes));
      Stream->ReadBuffer(table.data(), int64_t(bytes));
      Entries.resize(size_t(n));
      for (uint64_t k = 0; k < n; ++k) {
        const uint8_t* e = table.data() + k * uint64_t(entrySize);
        TPXTIFFEntry& t = Entries[size_t(k)];
        t.Tag = uint16_t(ItemToHost(e, ttShort, 2, swap));
        t.Type = uint16_t(ItemToHost(e + 2, ttShort, 2, swap));
        if (IsBigTiff) {
          t.Count = ItemToHost(e + 4, ttLong8, 8, swap);
          std::memcpy(t.Raw, e + 12, 8);
        } else {
          t.Count = ItemToHost(e + 4, ttLong, 4, swap);
          std::memcpy(t.Raw, e + 8, 4);
        }
        uint64_t dataSize = 0;
        const bool sized = SafeMul(uint64_t(TiffTypeSize(t.Type)), t.Count, dataSize);
        if (!sized || dataSize > uint64_t(IsBigTiff ? 8 : 4))
          t.Value = IsBigTiff ? ItemToHost(t.Raw, ttLong8, 8, swap) : ItemToHost(t.Raw, ttLong, 4, swap);
        else if (IsBigTiff)
          std::memcpy(&t.Value, t.Raw, 8);
        else {
          uint32_t v;
          std::memcpy(&v, t.Raw, 4);
          t.Value = v;
        }
      }
      EntryCount = int32_t(std::min<uint64_t>(n, uint64_t(std::numeric_limits<int32_t>::max())));
      loaded = true;
    } else {
      Stream->Seek(int64_t(bytes), soCurrent);
    }
    const int64_t after = Stream->Position();
    if (after >= size) break;
    uint64_t next = IsBigTiff ? ReadQWordOrdered(Stream, swap) : ReadDWordOrdered(Stream, swap);
    if (!visited.insert(next).second || next < 8 || Base + next >= uint64_t(size)) next = 0;
    ++IfdCount;
    offset = next;
  }
  return loaded;
}

int32_t TPXTIFFIFDReader::FindTag(int32_t Tag) const {
  for (size_t i = 0; i < Entries.size(); ++i)
    if (Entries[i].Tag == Tag) return int32_t(i);
  return -1;
}

uint64_t TPXTIFFIFDReader::GetTagCount(int32_t i) const {
  return i >= 0 && size_t(i) < Entries.size() ? Entries[size_t(i)].Count : 0;
}
int32_t TPXTIFFIFDReader::GetTagType(int32_t i) const {
  return i >= 0 && size_t(i) < Entries.size() ? Entries[size_t(i)].Type : 0;
}
uint64_t TPXTIFFIFDReader::GetTagValueOffset(int32_t i) const {
  return i >= 0 && size_t(i) < Entries.size() ? Entries[size_t(i)].Value : 0;
}
uint64_t TPXTIFFIFDReader::GetTagDataSize(int32_t i) const {
  uint64_t size = 0;
  return SafeMul(uint64_t(TiffTypeSize(GetTagType(i))), GetTagCount(i), size) ? size : 0;
}

bool TPXTIFFIFDReader::TagDataFits(int32_t i) const {
  if (i < 0 || size_t(i) >= Entries.size()) return false;
  uint64_t dataSize = 0;
  if (!SafeMul(uint64_t(TiffTypeSize(Entries[size_t(i)].Type)), Entries[size_t(i)].Count, dataSize)) return false;
  if (dataSize <= uint64_t(InlineSize)) return true;
  const uint64_t size = uint64_t(std::max<int64_t>(StreamSize(), 0));
  const uint64_t off = Entries[size_t(i)].Value;
  return Base <= size && off <= size - Base && dataSize <= size - Base - off;
}

uint64_t TPXTIFFIFDReader::ReadTagItem(int32_t i, uint64_t Item) const {
  if (i < 0 || size_t(i) >= Entries.size()) return 0;
  const TPXTIFFEntry& e = Entries[size_t(i)];
  if (Item >= e.Count) return 0;
  const int32_t size = TiffTypeSize(e.Type);
  if (size == 0) return 0;
  uint64_t dataSize = 0;
  if (!SafeMul(uint64_t(size), e.Count, dataSize)) return 0;
  uint8_t b[8] = {};
  if (dataSize > uint64_t(InlineSize)) {
    if (!ReadAt(e.Value + Item * uint64_t(size), b, uint64_t(size))) return 0;
  } else {
    std::memcpy(b, e.Raw + Item * uint64_t(size), size_t(size));
  }
  return ItemToHost(b, e.Type, size, !LittleEndian);
}

int64_t TPXTIFFIFDReader::ReadInteger(int32_t Tag, int64_t Default, uint64_t Item) const {
  const int32_t i = FindTag(Tag);
  if (i < 0) return Default;
  const int32_t type = Entries[size_t(i)].Type;
  if (type == ttRational || type == ttSRational) {
    const double v = ReadSignedRational(Tag, Item, 0);
    return int64_t(Trunc(v));
  }
  const uint64_t raw = ReadTagItem(i, Item);
  switch (type) {  // signed types keep their sign
    case ttSByte:
      return int8_t(raw);
    case ttSShort:
      return int16_t(raw);
    case ttSLong:
      return int32_t(raw);
    default:
      return int64_t(raw);
  }
}

double TPXTIFFIFDReader::ReadSignedRational(int32_t Tag, uint64_t Item, double Default) const {
  const int32_t i = FindTag(Tag);
  if (i < 0) return Default;
  const uint64_t raw = ReadTagItem(i, Item);
  const int32_t n = int32_t(uint32_t(raw));
  int32_t d = int32_t(uint32_t(raw >> 32));
  if (d == 0) d = 1;
  return double(n) / double(d);
}

double TPXTIFFIFDReader::ReadRational(int32_t Tag, uint64_t Item, double Default) const {
  const int32_t i = FindTag(Tag);
  if (i < 0) return Default;
  const uint64_t raw = ReadTagItem(i, Item);
  const uint32_t n = uint32_t(raw);
  uint32_t d = uint32_t(raw >> 32);
  if (d == 0) d = 1;
  return double(n) / double(d);
}

bool TPXTIFFIFDReader::EntryData(int32_t i, std::vector<uint8_t>& Bytes) const {
  Bytes.clear();
  if (!TagDataFits(i)) return false;
  const TPXTIFFEntry& e = Entries[size_t(i)];
  const uint64_t dataSize = GetTagDataSize(i);
  Bytes.resize(size_t(dataSize));
  if (dataSize <= uint64_t(InlineSize)) {
    if (dataSize > 0) std::memcpy(Bytes.data(), e.Raw, size_t(dataSize));
    return true;
  }
  return ReadAt(e.Value, Bytes.data(), dataSize);
}

uint64_t TPXTIFFIFDReader::ReadIntegerArray(int32_t Tag, std::vector<uint64_t>& Values) const {
  Values.clear();
  const int32_t i = FindTag(Tag);
  if (i < 0) return 0;
  const int32_t size = TiffTypeSize(Entries[size_t(i)].Type);
  std::vector<uint8_t> data;
  if (size == 0 || !EntryData(i, data)) return 0;
  const uint64_t count = Entries[size_t(i)].Count;
  Values.resize(size_t(count));
  for (uint64_t k = 0; k < count; ++k)
    Values[size_t(k)] = ItemToHost(data.data() + k * uint64_t(size), Entries[size_t(i)].Type, size, !LittleEndian);
  return count;
}

void TPXTIFFIFDReader::ReadBytes(int32_t Tag, std::vector<uint8_t>& Bytes) const {
  Bytes.clear();
  const int32_t i = FindTag(Tag);
  if (i >= 0) EntryData(i, Bytes);
}

bool TPXTIFFIFDReader::ReadRawData(int32_t Tag, std::vector<uint8_t>& Bytes) const {
  Bytes.clear();
  const int32_t i = FindTag(Tag);
  if (i < 0 || GetTagCount(i) >= uint64_t(std::max<int64_t>(StreamSize(), 0))) return false;
  return EntryData(i, Bytes);
}

std::string TPXTIFFIFDReader::ReadString(int32_t Tag, bool CutAtZero) const {
  std::vector<uint8_t> data;
  if (!ReadRawData(Tag, data)) return {};
  const int32_t size = TiffTypeSize(Entries[size_t(FindTag(Tag))].Type);
  if (size == 0) return {};
  std::string s;
  s.reserve(data.size());
  for (size_t k = 0; k + size_t(size) <= data.size(); k += size_t(size)) {
    // the low byte of the item in host order
    const uint8_t c = LittleEndian || size == 1 ? data[k] : data[k + size_t(size) - 1];
    if (CutAtZero && c == 0) break;
    s.push_back(char(c));
  }
  return s;
}

std::string TPXTIFFIFDReader::ReadWideString(int32_t Tag) const {
  std::vector<uint8_t> data;
  if (!ReadRawData(Tag, data) || data.size() < 2) return {};
  const size_t chars = (data.size() - 2) / 2;
  std::u16string w;
  w.reserve(chars);
  for (size_t k = 0; k < chars; ++k) w.push_back(char16_t(data[2 * k] | (data[2 * k + 1] << 8)));
  return Utf16ToUtf8(w);
}

// ---------------------------------------------------------------------------------------------
// Writer

void TPXTIFFIFDWriter::AddEntry(uint16_t Tag, uint16_t Type, uint32_t Count, uint32_t Value) {
  FEntries.push_back(TPXTIFFWriterEntry{Tag, Type, Count, Value});
}

void TPXTIFFIFDWriter::SortEntries() {
  std::stable_sort(FEntries.begin(), FEntries.end(),
                   [](const TPXTIFFWriterEntry& a, const TPXTIFFWriterEntry& b) { return a.Tag < b.Tag; });
}

namespace {
bool IsWanted(const std::vector<uint16_t>* Wanted, uint16_t Tag) {
  return !Wanted || std::find(Wanted->begin(), Wanted->end(), Tag) != Wanted->end();
}

void WriteLE32(TStream* Stream, bool& ErrorFlag, uint32_t v) {
  uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  StreamWriteChecked(Stream, ErrorFlag, b, 4);
}

void WriteFraction(TStream* Stream, bool& ErrorFlag, double Value) {
  int32_t n = 0, d = 1;
  FloatToFraction(5e-9, Value, n, d);
  WriteLE32(Stream, ErrorFlag, uint32_t(n));
  WriteLE32(Stream, ErrorFlag, uint32_t(d));
}

uint32_t InlineOf(const std::string& Text) {
  uint8_t b[4] = {};
  std::memcpy(b, Text.data(), std::min<size_t>(4, Text.size()));
  return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}
}  // namespace

void TPXTIFFIFDWriter::AddLong(uint16_t Tag, uint32_t Value) { AddEntry(Tag, ttLong, 1, Value); }

void TPXTIFFIFDWriter::AddShort(uint16_t Tag, uint16_t Value, const std::vector<uint16_t>* Wanted) {
  if (IsWanted(Wanted, Tag)) AddEntry(Tag, ttShort, 1, Value);
}

void TPXTIFFIFDWriter::AddByte(uint16_t Tag, uint8_t Value) { AddEntry(Tag, ttByte, 1, Value); }

void TPXTIFFIFDWriter::AddUndefinedByte(uint16_t Tag, uint8_t Value, const std::vector<uint16_t>* Wanted) {
  if (IsWanted(Wanted, Tag)) AddEntry(Tag, ttUndefined, 1, Value);
}

void TPXTIFFIFDWriter::AddInlineAscii(uint16_t Tag, const std::string& Text) {
  AddEntry(Tag, ttAscii, uint32_t(std::min<size_t>(Text.size(), 4)), InlineOf(Text));
}

void TPXTIFFIFDWriter::AddInlineBytes(uint16_t Tag, const std::string& Text) {
  AddEntry(Tag, ttByte, uint32_t(std::min<size_t>(Text.size(), 4)), InlineOf(Text));
}

void TPXTIFFIFDWriter::WriteRational(TStream* Stream, uint16_t Tag, const std::vector<uint16_t>* Wanted,
                                     bool& ErrorFlag, double Value, uint16_t Type) {
  if (!IsWanted(Wanted, Tag)) return;
  AddEntry(Tag, Type, 1, uint32_t(AlignStreamToWord(Stream, ErrorFlag)));
  WriteFraction(Stream, ErrorFlag, Value);
}

void TPXTIFFIFDWriter::WriteRationalArray(TStream* Stream, uint16_t Tag, bool& ErrorFlag, int32_t LastIndex,
                                          const double* Values) {
  if (LastIndex < 0) return;
  AddEntry(Tag, ttRational, uint32_t(LastIndex + 1), uint32_t(AlignStreamToWord(Stream, ErrorFlag)));
  for (int32_t k = 0; k <= LastIndex; ++k) WriteFraction(Stream, ErrorFlag, Values[k]);
}

void TPXTIFFIFDWriter::WriteAscii(TStream* Stream, uint16_t Tag, bool& ErrorFlag, const std::string& Text) {
  if (Text.empty()) return;
  if (Text.size() <= 4) {
    AddInlineAscii(Tag, Text);
    return;
  }
  AddEntry(Tag, ttAscii, uint32_t(Text.size() + 1), uint32_t(AlignStreamToWord(Stream, ErrorFlag)));
  StreamWriteChecked(Stream, ErrorFlag, Text.c_str(), int64_t(Text.size() + 1));
}

void TPXTIFFIFDWriter::WriteWideText(TStream* Stream, uint16_t Tag, bool& ErrorFlag, const std::string& Text) {
  if (Text.empty()) return;
  const std::u16string w = Utf8ToUtf16(Text);
  if (w.size() == 1) {
    AddEntry(Tag, ttByte, 4, uint32_t(w[0]));
    return;
  }
  AddEntry(Tag, ttByte, uint32_t(2 * w.size() + 2), uint32_t(AlignStreamToWord(Stream, ErrorFlag)));
  std::vector<uint8_t> b(2 * w.size() + 2, 0);
  for (size_t k = 0; k < w.size(); ++k) {
    b[2 * k] = uint8_t(w[k]);
    b[2 * k + 1] = uint8_t(w[k] >> 8);
  }
  StreamWriteChecked(Stream, ErrorFlag, b.data(), int64_t(b.size()));
}

void TPXTIFFIFDWriter::WriteByteArray(TStream* Stream, uint16_t Tag, bool& ErrorFlag, const uint8_t* Bytes,
                                      uint32_t Count, uint16_t Type) {
  if (Count == 0) return;
  if (Count <= 4) {  // held in the value field
    uint8_t b[4] = {};
    std::memcpy(b, Bytes, Count);
    AddEntry(Tag, Type, Count, uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24));
    return;
  }
  AddEntry(Tag, Type, Count, uint32_t(AlignStreamToWord(Stream, ErrorFlag)));
  StreamWriteChecked(Stream, ErrorFlag, Bytes, Count);
}

void TPXTIFFIFDWriter::WriteLongArray(TStream* Stream, uint16_t Tag, bool& ErrorFlag, uint32_t Count,
                                      const uint32_t* Values) {
  if (Count == 1) {
    AddLong(Tag, Values[0]);
    return;
  }
  AddEntry(Tag, ttLong, Count, uint32_t(AlignStreamToWord(Stream, ErrorFlag)));
  std::vector<uint8_t> b(size_t(Count) * 4);
  for (uint32_t k = 0; k < Count; ++k) {
    b[4 * k] = uint8_t(Values[k]);
    b[4 * k + 1] = uint8_t(Values[k] >> 8);
    b[4 * k + 2] = uint8_t(Values[k] >> 16);
    b[4 * k + 3] = uint8_t(Values[k] >> 24);
  }
  StreamWriteChecked(Stream, ErrorFlag, b.data(), int64_t(b.size()));
}

void TPXTIFFIFDWriter::WriteShortArray(TStream* Stream, uint16_t Tag, bool& ErrorFlag, int32_t LastIndex,
                                       const uint16_t* Values) {
  if (LastIndex < 0) return;
  if (LastIndex == 0) {
    AddEntry(Tag, ttShort, 1, Values[0]);
    return;
  }
  if (LastIndex == 1) {
    AddEntry(Tag, ttShort, 2, uint32_t(Values[0]) | (uint32_t(Values[1]) << 16));
    return;
  }
  AddEntry(Tag, ttShort, uint32_t(LastIndex + 1), uint32_t(AlignStreamToWord(Stream, ErrorFlag)));
  std::vector<uint8_t> b(size_t(LastIndex + 1) * 2);
  for (int32_t k = 0; k <= LastIndex; ++k) {
    b[2 * size_t(k)] = uint8_t(Values[k]);
    b[2 * size_t(k) + 1] = uint8_t(Values[k] >> 8);
  }
  StreamWriteChecked(Stream, ErrorFlag, b.data(), int64_t(b.size()));
}

void TPXTIFFIFDWriter::WriteDirectory(TStream* Stream, bool& ErrorFlag, uint32_t NextOffset) const {
  std::vector<uint8_t> b(2 + FEntries.size() * 12 + 4);
  b[0] = uint8_t(FEntries.size());
  b[1] = uint8_t(FEntries.size() >> 8);
  uint8_t* p = b.data() + 2;
  for (const TPXTIFFWriterEntry& e : FEntries) {
    p[0] = uint8_t(e.Tag);
    p[1] = uint8_t(e.Tag >> 8);
    p[2] = uint8_t(e.Type);
    p[3] = uint8_t(e.Type >> 8);
    for (int k = 0; k < 4; ++k) {
      p[4 + k] = uint8_t(e.Count >> (8 * k));
      p[8 + k] = uint8_t(e.Value >> (8 * k));
    }
    p += 12;
  }
  for (int k = 0; k < 4; ++k) p[k] = uint8_t(NextOffset >> (8 * k));
  StreamWriteChecked(Stream, ErrorFlag, b.data(), int64_t(b.size()));
}
