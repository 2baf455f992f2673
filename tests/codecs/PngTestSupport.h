// Helpers of the PNG codec tests: PNG files made by libpng itself (an independent encoder with
// every colour type, depth and chunk we need), files assembled chunk by chunk for the damaged
// cases, and decoding into a bitmap with a progress record.
#pragma once

#include <png.h>
#include <zlib.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codecs/pngfilt.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace pngtest {

struct PngSpec {
  int Width = 5;
  int Height = 4;
  int ColorType = PNG_COLOR_TYPE_RGB;
  int Depth = 8;
  bool Interlaced = false;
  std::vector<uint16_t> Samples;  // Width x Height x channels, row by row
  std::vector<png_color> Palette;
  std::vector<uint8_t> TrnsAlpha;  // palette pictures
  bool HasTrnsColor = false;
  png_color_16 TrnsColor{};
  bool HasBackground = false;
  png_color_16 Background{};
  bool HasPhys = false;
  png_uint_32 PhysX = 0, PhysY = 0;
  int PhysUnit = PNG_RESOLUTION_METER;
  std::vector<std::pair<std::string, std::string>> Texts;  // raw bytes, written as tEXt
};

inline int ChannelsOf(int ColorType) {
  switch (ColorType) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
  }
}

inline void AppendBytes(png_structp Png, png_bytep Data, size_t Length) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(Png));
  out->append(reinterpret_cast<const char*>(Data), Length);
}
inline void NoFlush(png_structp) {}

// The PNG file libpng writes for Spec.
inline std::string MakePng(const PngSpec& S) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendBytes, NoFlush);
  png_set_IHDR(png, info, S.Width, S.Height, S.Depth, S.ColorType,
               S.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> pal = S.Palette;
  if (!pal.empty()) png_set_PLTE(png, info, pal.data(), static_cast<int>(pal.size()));
  std::vector<uint8_t> trns = S.TrnsAlpha;
  png_color_16 trnsColor = S.TrnsColor;
  if (!trns.empty()) png_set_tRNS(png, info, trns.data(), static_cast<int>(trns.size()), nullptr);
  if (S.HasTrnsColor) png_set_tRNS(png, info, nullptr, 0, &trnsColor);
  png_color_16 bkgd = S.Background;
  if (S.HasBackground) png_set_bKGD(png, info, &bkgd);
  if (S.HasPhys) png_set_pHYs(png, info, S.PhysX, S.PhysY, S.PhysUnit);
  std::vector<png_text> texts;
  std::vector<std::string> store;
  store.reserve(S.Texts.size() * 2);
  for (const auto& [k, v] : S.Texts) {
    store.push_back(k);
    char* key = store.back().data();
    store.push_back(v);
    png_text t{};
    t.compression = PNG_TEXT_COMPRESSION_NONE;
    t.key = key;
    t.text = store.back().data();
    t.text_length = v.size();
    texts.push_back(t);
  }
  if (!texts.empty()) png_set_text(png, info, texts.data(), static_cast<int>(texts.size()));
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  const int ch = ChannelsOf(S.ColorType);
  const size_t rowBytes = (size_t(S.Width) * ch * S.Depth + 7) / 8;
  std::vector<uint8_t> row(rowBytes);
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < S.Height; ++y) {
      std::fill(row.begin(), row.end(), 0);
      for (int i = 0; i < S.Width * ch; ++i) {
        const uint16_t v = S.Samples[size_t(y) * S.Width * ch + i];
        if (S.Depth == 16) {
          row[2 * i] = uint8_t(v >> 8);
          row[2 * i + 1] = uint8_t(v);
        } else if (S.Depth == 8) {
          row[i] = uint8_t(v);
        } else {
          const int perByte = 8 / S.Depth;
          row[i / perByte] |= uint8_t(v << (8 - S.Depth * (i % perByte + 1)));
        }
      }
      png_write_row(png, row.data());
    }
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// One chunk with its length and CRC.
inline std::string Chunk(const std::string& Type, const std::string& Data) {
  std::string out;
  const uint32_t n = static_cast<uint32_t>(Data.size());
  out += char(n >> 24);
  out += char(n >> 16);
  out += char(n >> 8);
  out += char(n);
  out += Type + Data;
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.data() + 4), static_cast<uInt>(out.size() - 4));
  out += char(crc >> 24);
  out += char(crc >> 16);
  out += char(crc >> 8);
  out += char(crc);
  return out;
}

inline std::string Be32(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

inline std::string Signature() { return std::string("\x89PNG\r\n\x1a\n", 8); }

inline std::string Ihdr(uint32_t W, uint32_t H, int Depth, int ColorType) {
  return Chunk("IHDR", Be32(W) + Be32(H) + char(Depth) + char(ColorType) + std::string(3, '\0'));
}

inline std::string Deflate(const std::string& Raw) {
  uLongf len = compressBound(static_cast<uLong>(Raw.size()));
  std::string out(len, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &len, reinterpret_cast<const Bytef*>(Raw.data()),
           static_cast<uLong>(Raw.size()));
  out.resize(len);
  return out;
}

struct Decoded {
  std::unique_ptr<TPXBitmap> Bitmap = std::make_unique<TPXBitmap>();
  std::unique_ptr<TIOParams> Params = std::make_unique<TIOParams>();
  bool Aborted = false;
};

inline Decoded Decode(const std::string& File, bool Native = false, bool PreviewOnly = false) {
  Decoded d;
  d.Params->NativePixelFormat = Native;
  TCustomMemoryStream stream(File.data(), static_cast<int64_t>(File.size()));
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  DecodePngStream(&stream, d.Bitmap.get(), d.Params.get(), progress, PreviewOnly);
  d.Aborted = flag;
  return d;
}

// Pixel (X, Y) of a px24RGB bitmap as 0xRRGGBBAA (alpha 255 without an alpha channel).
inline uint32_t Rgba(TPXBitmap* B, int X, int Y) {
  const TRGB c = reinterpret_cast<const TRGB*>(B->Scanline(Y))[X];
  const uint8_t a = B->HasAlphaChannel() ? B->PeekAlphaChannel()->Scanline(Y)[X] : 255;
  return uint32_t(c.r) << 24 | uint32_t(c.g) << 16 | uint32_t(c.b) << 8 | a;
}

}  // namespace pngtest
