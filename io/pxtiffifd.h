// One image file directory (IFD) of a TIFF-structured stream at a time (TIFF 6.0 section 2;
// BigTIFF): TPXTIFFIFDReader loads the entries of one IFD of a classic or BigTIFF structure in
// either byte order, with every offset counted from a base position, and answers typed questions
// about single tags; TPXTIFFIFDWriter collects the entries of one little-endian IFD while their
// out-of-line values go to a data stream. With the byte-order and stream helpers they share.
//
// The reader trusts nothing in the file: an entry table, an item or a value block that does not
// fit in the bytes the stream holds reads as absent (the caller's default, an empty text, no
// array), and nothing is allocated beyond what the stream could fill.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TStream;

// TIFF field types.
inline constexpr uint16_t ttByte = 1;
inline constexpr uint16_t ttAscii = 2;
inline constexpr uint16_t ttShort = 3;
inline constexpr uint16_t ttLong = 4;
inline constexpr uint16_t ttRational = 5;
inline constexpr uint16_t ttSByte = 6;
inline constexpr uint16_t ttUndefined = 7;
inline constexpr uint16_t ttSShort = 8;
inline constexpr uint16_t ttSLong = 9;
inline constexpr uint16_t ttSRational = 10;
inline constexpr uint16_t ttFloat = 11;
inline constexpr uint16_t ttDouble = 12;
inline constexpr uint16_t ttIfd = 13;
inline constexpr uint16_t ttLong8 = 16;
inline constexpr uint16_t ttSLong8 = 17;
inline constexpr uint16_t ttIfd8 = 18;

// Bytes of one item of Type: 1 2 4 8 1 1 2 4 8 4 8 4 for 1..13, 1 for 14 and 15, 8 for 16..18,
// 0 for any other.
int32_t TiffTypeSize(int32_t Type);

uint16_t SwapWord(uint16_t Value, bool Swap);
uint32_t SwapDWord(uint32_t Value, bool Swap);
uint64_t SwapQWord(uint64_t Value, bool Swap);
// 2, 4 or 8 bytes from the stream, swapped when Swap; bytes past the end read 0.
uint16_t ReadWordOrdered(TStream* Stream, bool Swap);
uint32_t ReadDWordOrdered(TStream* Stream, bool Swap);
uint64_t ReadQWordOrdered(TStream* Stream, bool Swap);
// At an odd position writes one zero byte (a short write sets ErrorFlag); answers the position.
int64_t AlignStreamToWord(TStream* Stream, bool& ErrorFlag);

// One loaded entry in host order. Raw holds the value field as stored (4 or 8 bytes, file order):
// inline data are read from it item by item.
struct TPXTIFFEntry {
  uint16_t Tag = 0;
  uint16_t Type = 0;
  uint64_t Count = 0;
  uint64_t Value = 0;  // the offset (host order) for out-of-line data, else the raw field
  uint8_t Raw[8] = {};
};

class TPXTIFFIFDReader {
 public:
  TPXTIFFIFDReader() = default;

  void Clear();
  void Assign(const TPXTIFFIFDReader& Source);

  // Walks the chain from FirstOffset, loads the entries of IFD number Index (0-based) and counts
  // the directories of the chain in IfdCount. A chain ends at a directory of 0 entries (not
  // counted), at a directory whose entries reach the end of the stream (not counted), and at a
  // next offset that is 0, was visited before, is below 8 or points at or past the stream's end.
  // False when nothing was loaded.
  bool ReadIFD(int32_t Index, int32_t& IfdCount, uint64_t FirstOffset);

  int32_t FindTag(int32_t Tag) const;
  uint64_t GetTagCount(int32_t i) const;
  int32_t GetTagType(int32_t i) const;
  uint64_t GetTagValueOffset(int32_t i) const;
  // Type size x count; 0 when that overflows.
  uint64_t GetTagDataSize(int32_t i) const;
  // Whether entry i's data lie inline or wholly inside the stream.
  bool TagDataFits(int32_t i) const;

  // Item Item of entry i in host order, zero-extended (a rational: numerator low, denominator
  // high); 0 past the count or when the item lies outside the stream.
  uint64_t ReadTagItem(int32_t i, uint64_t Item) const;
  // Default when absent; a RATIONAL or SRATIONAL gives its value truncated toward zero.
  int64_t ReadInteger(int32_t Tag, int64_t Default, uint64_t Item = 0) const;
  // Numerator / denominator (a denominator of 0 counts as 1); Default when absent.
  double ReadSignedRational(int32_t Tag, uint64_t Item, double Default) const;
  double ReadRational(int32_t Tag, uint64_t Item, double Default) const;
  // Every item of the tag (host order); 0 and no items when absent or when the data do not fit.
  uint64_t ReadIntegerArray(int32_t Tag, std::vector<uint64_t>& Values) const;
  // The tag's data bytes (inline ones from the value field); empty when absent or not fitting.
  void ReadBytes(int32_t Tag, std::vector<uint8_t>& Bytes) const;
  // The same, answering false (and no bytes) when absent or when the count is not below the
  // stream size.
  bool ReadRawData(int32_t Tag, std::vector<uint8_t>& Bytes) const;
  // One character per item (its low byte); CutAtZero ends the text before the first zero byte.
  // Empty when absent or the count is not below the stream size.
  std::string ReadString(int32_t Tag, bool CutAtZero) const;
  // (count - 2) / 2 UTF-16LE characters of the data, as UTF-8; empty below 2 bytes.
  std::string ReadWideString(int32_t Tag) const;

  bool LittleEndian = true;
  TStream* Stream = nullptr;
  std::vector<TPXTIFFEntry> Entries;
  int32_t EntryCount = 0;
  uint64_t Base = 0;
  bool IsBigTiff = false;
  int32_t InlineSize = 4;

 private:
  int64_t StreamSize() const;
  // Reads Count bytes at Base + Offset into Out; false (Out untouched) when they are not all there.
  bool ReadAt(uint64_t Offset, void* Out, uint64_t Count) const;
  bool EntryData(int32_t i, std::vector<uint8_t>& Bytes) const;
};

// One classic little-endian entry as written.
struct TPXTIFFWriterEntry {
  uint16_t Tag = 0;
  uint16_t Type = 0;
  uint32_t Count = 0;
  uint32_t Value = 0;
};

class TPXTIFFIFDWriter {
 public:
  void AddEntry(uint16_t Tag, uint16_t Type, uint32_t Count, uint32_t Value);
  void SortEntries();
  int32_t GetEntryCount() const { return static_cast<int32_t>(FEntries.size()); }
  const TPXTIFFWriterEntry& GetEntry(int32_t i) const { return FEntries[static_cast<size_t>(i)]; }
  TPXTIFFWriterEntry& EntryAt(int32_t i) { return FEntries[static_cast<size_t>(i)]; }
  void Clear() { FEntries.clear(); }

  void AddLong(uint16_t Tag, uint32_t Value);
  // Only when Wanted is nil or holds Tag.
  void AddShort(uint16_t Tag, uint16_t Value, const std::vector<uint16_t>* Wanted = nullptr);
  void AddByte(uint16_t Tag, uint8_t Value);
  void AddUndefinedByte(uint16_t Tag, uint8_t Value, const std::vector<uint16_t>* Wanted = nullptr);
  // Count = length (up to 4 bytes held in the value field); an empty text gives count 0.
  void AddInlineAscii(uint16_t Tag, const std::string& Text);
  void AddInlineBytes(uint16_t Tag, const std::string& Text);

  // The out-of-line writers align Stream to an even position and record it as the entry's value.
  // Type is ttRational or ttSRational (the fraction's bits are the same for both).
  void WriteRational(TStream* Stream, uint16_t Tag, const std::vector<uint16_t>* Wanted, bool& ErrorFlag,
                     double Value, uint16_t Type = ttRational);
  void WriteRationalArray(TStream* Stream, uint16_t Tag, bool& ErrorFlag, int32_t LastIndex, const double* Values);
  // Nothing for an empty text; up to 4 bytes inline; longer ones with their NUL.
  void WriteAscii(TStream* Stream, uint16_t Tag, bool& ErrorFlag, const std::string& Text);
  // UTF-8 Text as UTF-16LE with a 2-byte NUL (BYTE); one unit inline.
  void WriteWideText(TStream* Stream, uint16_t Tag, bool& ErrorFlag, const std::string& Text);
  void WriteByteArray(TStream* Stream, uint16_t Tag, bool& ErrorFlag, const uint8_t* Bytes, uint32_t Count,
                      uint16_t Type);
  void WriteLongArray(TStream* Stream, uint16_t Tag, bool& ErrorFlag, uint32_t Count, const uint32_t* Values);
  // One or two values inline (first in the low 16 bits), more out of line.
  void WriteShortArray(TStream* Stream, uint16_t Tag, bool& ErrorFlag, int32_t LastIndex, const uint16_t* Values);

  // Writes count, entries and next offset at the stream's position.
  void WriteDirectory(TStream* Stream, bool& ErrorFlag, uint32_t NextOffset) const;

 private:
  std::vector<TPXTIFFWriterEntry> FEntries;
};

// Whether entry data of Type x Count are held in a classic value field.
bool TiffEntryIsInline(uint16_t Type, uint64_t Count);
