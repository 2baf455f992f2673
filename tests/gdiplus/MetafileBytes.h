// Small Windows metafiles built byte by byte for the tests: one red rectangle on a 100 x 50
// picture, as a placeable WMF and as an EMF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace metafile_bytes {

inline void Put16(std::vector<uint8_t>& b, int32_t v) {
  b.push_back(static_cast<uint8_t>(v & 0xFF));
  b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
inline void Put32(std::vector<uint8_t>& b, int64_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}

// Placeable WMF, 96 units per inch, bounds (0, 0)-(Width, Height); the rectangle (20, 10)-(80, 40)
// is filled red with no outline.
inline std::vector<uint8_t> RedRectWmf(int32_t Width = 100, int32_t Height = 50) {
  std::vector<uint8_t> rec;  // the records after the header
  auto record = [&](int32_t function, std::initializer_list<int32_t> words) {
    Put32(rec, 3 + static_cast<int64_t>(words.size()));
    Put16(rec, function);
    for (int32_t w : words) Put16(rec, w);
  };
  record(0x020B, {0, 0});                        // SETWINDOWORG y, x
  record(0x020C, {Height, Width});               // SETWINDOWEXT y, x
  record(0x02FC, {0, 0x00FF, 0x0000, 0});        // CREATEBRUSHINDIRECT solid, colour 0x0000FF (red)
  record(0x012D, {0});                           // SELECTOBJECT brush
  record(0x02FA, {5, 0, 0, 0, 0});               // CREATEPENINDIRECT null pen
  record(0x012D, {1});                           // SELECTOBJECT pen
  record(0x041B, {40, 80, 10, 20});              // RECTANGLE bottom, right, top, left
  record(0x0000, {});                            // EOF
  std::vector<uint8_t> b;
  Put32(b, 0x9AC6CDD7);
  for (int32_t w : {0, 0, 0, Width, Height, 96}) Put16(b, w);  // handle, left, top, right, bottom, inch
  Put32(b, 0);
  uint16_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2) checksum ^= static_cast<uint16_t>(b[i] | (b[i + 1] << 8));
  Put16(b, checksum);
  const size_t words = (18 + rec.size()) / 2;
  Put16(b, 1);       // memory metafile
  Put16(b, 9);       // header words
  Put16(b, 0x0300);  // version
  Put32(b, static_cast<int64_t>(words));
  Put16(b, 2);       // objects
  Put32(b, 8);       // largest record (words)
  Put16(b, 0);
  b.insert(b.end(), rec.begin(), rec.end());
  return b;
}

// EMF with bounds (0, 0)-(Width - 1, Height - 1) on a 96 dpi device; the rectangle (20, 10)-(80, 40)
// is filled with Color (a COLORREF, red by default) with the null pen.
inline std::vector<uint8_t> RedRectEmf(int32_t Width = 100, int32_t Height = 50, uint32_t Color = 0x0000FF) {
  std::vector<uint8_t> rec;
  int32_t count = 1;
  auto record = [&](int64_t type, std::initializer_list<int64_t> values) {
    Put32(rec, type);
    Put32(rec, 8 + 4 * static_cast<int64_t>(values.size()));
    for (int64_t v : values) Put32(rec, v);
    ++count;
  };
  record(39, {1, 0, Color, 0});         // CREATEBRUSHINDIRECT handle 1, solid
  record(37, {1});                       // SELECTOBJECT
  record(37, {0x80000008});              // SELECTOBJECT stock null pen
  record(43, {20, 10, 80, 40});          // RECTANGLE
  record(14, {0, 16, 20});               // EOF
  std::vector<uint8_t> b;
  const int64_t headerSize = 108;
  Put32(b, 1);
  Put32(b, headerSize);
  for (int64_t v : {0, 0, Width - 1, Height - 1}) Put32(b, v);                      // bounds (pixels, inclusive)
  for (int64_t v : {0, 0, Width * 2646 / 100, Height * 2646 / 100}) Put32(b, v);  // frame (0.01 mm)
  Put32(b, 0x464D4520);
  Put32(b, 0x10000);
  Put32(b, headerSize + static_cast<int64_t>(rec.size()));
  Put32(b, count);
  Put16(b, 2);  // handles
  Put16(b, 0);
  for (int64_t v : {0, 0, 0}) Put32(b, v);                     // description, palette
  for (int64_t v : {1920, 1080, 508, 286}) Put32(b, v);        // device pixels and millimetres
  for (int64_t v : {0, 0, 0}) Put32(b, v);                     // pixel format, OpenGL
  for (int64_t v : {508000, 285750}) Put32(b, v);              // micrometres
  b.insert(b.end(), rec.begin(), rec.end());
  return b;
}

}  // namespace metafile_bytes
