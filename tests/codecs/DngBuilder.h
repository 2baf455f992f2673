// A synthetic DNG in memory for the camera raw tests and benchmark: a little-endian TIFF whose
// first directory holds a baseline JPEG thumbnail and whose one sub-directory holds the raw
// picture, uncompressed 16-bit samples under an RGGB colour filter (DNG 1.4, an sRGB-like colour
// matrix, daylight neutral).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace dngtest {

// A TIFF directory entry: tag, type and its value bytes (little-endian).
struct TEntry {
  uint16_t Tag;
  uint16_t Type;  // 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL, 10 SRATIONAL
  uint32_t Count;
  std::string Bytes;
};

inline std::string Le16(uint32_t v) { return {char(v), char(v >> 8)}; }
inline std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }
inline TEntry Short(uint16_t Tag, std::vector<uint32_t> V) {
  std::string b;
  for (uint32_t v : V) b += Le16(v);
  return {Tag, 3, uint32_t(V.size()), b};
}
inline TEntry Long(uint16_t Tag, std::vector<uint32_t> V) {
  std::string b;
  for (uint32_t v : V) b += Le32(v);
  return {Tag, 4, uint32_t(V.size()), b};
}
inline TEntry Bytes(uint16_t Tag, std::vector<uint8_t> V) {
  return {Tag, 1, uint32_t(V.size()), std::string(V.begin(), V.end())};
}
inline TEntry Ascii(uint16_t Tag, const std::string& S) { return {Tag, 2, uint32_t(S.size() + 1), S + '\0'}; }
inline TEntry Rationals(uint16_t Tag, uint16_t Type, const std::vector<double>& V) {
  std::string b;
  for (double v : V) b += Le32(uint32_t(int32_t(v * 10000))) + Le32(10000);
  return {Tag, Type, uint32_t(V.size()), b};
}

// Appends a directory at the end of File (word aligned); values over 4 bytes follow it. Entries
// whose tag is in Patch get their value field's offset recorded (for offsets filled in later).
inline uint32_t AppendIfd(std::string& File, std::vector<TEntry> Entries, std::vector<size_t>* ValueFields = nullptr) {
  std::sort(Entries.begin(), Entries.end(), [](const TEntry& a, const TEntry& b) { return a.Tag < b.Tag; });
  if (File.size() % 2) File += '\0';
  const auto start = uint32_t(File.size());
  uint32_t data = start + 2 + 12 * uint32_t(Entries.size()) + 4;
  std::string dir = Le16(uint32_t(Entries.size())), values;
  for (const TEntry& e : Entries) {
    dir += Le16(e.Tag) + Le16(e.Type) + Le32(e.Count);
    if (ValueFields) ValueFields->push_back(start + dir.size());
    if (e.Bytes.size() <= 4) {
      dir += e.Bytes + std::string(4 - e.Bytes.size(), '\0');
    } else {
      dir += Le32(data + uint32_t(values.size()));
      values += e.Bytes;
      if (values.size() % 2) values += '\0';
    }
  }
  File += dir + Le32(0) + values;
  return start;
}

inline void Put32At(std::string& File, size_t At, uint32_t V) { File.replace(At, 4, Le32(V)); }

// The DNG: Width x Height samples from Sample(x, y) (RGGB order: red at even rows and columns),
// and Thumbnail (a baseline JPEG, ThumbW x ThumbH) in the first directory.
inline std::string BuildDng(uint32_t Width, uint32_t Height, const std::function<uint16_t(uint32_t, uint32_t)>& Sample,
                            const std::string& Thumbnail, uint32_t ThumbW, uint32_t ThumbH) {
  std::string f = "II" + Le16(42) + Le32(8);
  std::vector<size_t> fields0;
  const std::vector<TEntry> ifd0 = {
      Long(254, {1}),
      Long(256, {ThumbW}),
      Long(257, {ThumbH}),
      Short(258, {8, 8, 8}),
      Short(259, {7}),
      Short(262, {6}),
      Ascii(271, "Quillane"),
      Ascii(272, "Synthetic Raw"),
      Long(273, {0}),  // thumbnail offset, filled in below
      Short(277, {3}),
      Long(278, {ThumbH}),
      Long(279, {uint32_t(Thumbnail.size())}),
      Short(284, {1}),
      Long(330, {0}),  // raw directory offset, filled in below
      Bytes(50706, {1, 4, 0, 0}),
      Bytes(50707, {1, 1, 0, 0}),
      Ascii(50708, "Quillane Synthetic Raw"),
      Rationals(50721, 10, {3.2406, -1.5372, -0.4986, -0.9689, 1.8758, 0.0415, 0.0557, -0.2040, 1.0570}),
      Rationals(50728, 5, {1.0, 1.0, 1.0}),
      Short(50778, {21}),
  };
  AppendIfd(f, ifd0, &fields0);
  // Value fields in tag order: 273 is the 9th entry, 330 the 14th.
  const size_t thumbField = fields0[8], subField = fields0[13];
  if (f.size() % 2) f += '\0';
  Put32At(f, thumbField, uint32_t(f.size()));
  f += Thumbnail;
  std::vector<size_t> fields1;
  const uint64_t rawBytes = uint64_t(Width) * Height * 2;
  const std::vector<TEntry> raw = {
      Long(254, {0}),
      Long(256, {Width}),
      Long(257, {Height}),
      Short(258, {16}),
      Short(259, {1}),
      Short(262, {32803}),
      Long(273, {0}),  // filled in below
      Short(277, {1}),
      Long(278, {Height}),
      Long(279, {uint32_t(rawBytes)}),
      Short(284, {1}),
      Short(33421, {2, 2}),
      Bytes(33422, {0, 1, 1, 2}),
      Long(50717, {65535}),
  };
  const uint32_t rawIfd = AppendIfd(f, raw, &fields1);
  Put32At(f, subField, rawIfd);
  if (f.size() % 2) f += '\0';
  Put32At(f, fields1[6], uint32_t(f.size()));
  const size_t at = f.size();
  f.resize(at + rawBytes);
  for (uint32_t y = 0; y < Height; ++y)
    for (uint32_t x = 0; x < Width; ++x) {
      const uint16_t v = Sample(x, y);
      const size_t i = at + (size_t(y) * Width + x) * 2;
      f[i] = char(v & 0xFF);
      f[i + 1] = char(v >> 8);
    }
  return f;
}

}  // namespace dngtest
