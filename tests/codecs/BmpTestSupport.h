// Helpers of the BMP and icon codec tests: files assembled byte by byte, decoding and encoding
// through memory streams, and the oracle tools.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "codecs/bmpfilt.h"
#include "core/hypxdefs.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "tests/codecs/CodecTestSupport.h"

namespace bmptest {

using namespace codectest;

inline void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
inline uint32_t Get16(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8);
}
inline uint32_t Get32(const std::string& s, size_t at) { return Get16(s, at) | (Get16(s, at + 2) << 16); }

inline std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}


// Rows given top to bottom, each padded to 4 bytes and stored bottom-up (or top-down).
inline std::string Rows(const std::vector<std::string>& TopToBottom, bool TopDown = false) {
  std::string out;
  for (size_t i = 0; i < TopToBottom.size(); ++i) {
    std::string r = TopToBottom[TopDown ? i : TopToBottom.size() - 1 - i];
    while (r.size() % 4) r.push_back('\0');
    out += r;
  }
  return out;
}

struct BmpSpec {
  uint32_t HeaderSize = 40;
  int32_t Width = 2;
  int32_t Height = 2;
  uint16_t Bits = 24;
  uint32_t Compression = 0;
  int64_t ImageSize = -1;  // -1: the data's length
  int32_t XPpm = 0, YPpm = 0;
  uint32_t ColorsUsed = 0;
  std::vector<uint32_t> Masks;  // in the header for 56, 108 and 124 bytes, else after it
  std::vector<TRGB> Palette;
  std::string Data;
};

// A BMP file for Spec.
inline std::string MakeBmp(const BmpSpec& S) {
  std::string h;
  if (S.HeaderSize == 12) {
    Put32(h, 12);
    Put16(h, static_cast<uint32_t>(S.Width));
    Put16(h, static_cast<uint32_t>(S.Height));
    Put16(h, 1);
    Put16(h, S.Bits);
  } else {
    Put32(h, S.HeaderSize);
    Put32(h, static_cast<uint32_t>(S.Width));
    Put32(h, static_cast<uint32_t>(S.Height));
    Put16(h, 1);
    Put16(h, S.Bits);
    Put32(h, S.Compression);
    Put32(h, static_cast<uint32_t>(S.ImageSize < 0 ? S.Data.size() : S.ImageSize));
    Put32(h, static_cast<uint32_t>(S.XPpm));
    Put32(h, static_cast<uint32_t>(S.YPpm));
    Put32(h, S.ColorsUsed);
    Put32(h, 0);
    const bool inHeader = S.HeaderSize >= 56 && S.HeaderSize != 64;
    if (inHeader)
      for (uint32_t m : S.Masks) Put32(h, m);
    h.resize(S.HeaderSize, '\0');
    if (!inHeader)
      for (uint32_t m : S.Masks) Put32(h, m);
  }
  for (const TRGB& c : S.Palette) {
    h.push_back(static_cast<char>(c.b));
    h.push_back(static_cast<char>(c.g));
    h.push_back(static_cast<char>(c.r));
    if (S.HeaderSize != 12) h.push_back('\0');
  }
  std::string f = "BM";
  Put32(f, static_cast<uint32_t>(14 + h.size() + S.Data.size()));
  Put32(f, 0);
  Put32(f, static_cast<uint32_t>(14 + h.size()));
  return f + h + S.Data;
}

struct Decoded {
  std::unique_ptr<TPXBitmap> Bitmap = std::make_unique<TPXBitmap>();
  std::unique_ptr<TIOParams> Params = std::make_unique<TIOParams>();
  std::unique_ptr<TPXMask> Mask;
  bool Aborted = false;

  TRGB Pixel(int32_t X, int32_t Y) { return Bitmap->GetPixelRGB(X, Y); }
  int32_t Alpha(int32_t X, int32_t Y) { return Mask ? Mask->GetScanline(Y)[X] : 255; }
};

struct DecodeOptions {
  bool Native = false;
  bool IgnoreAlpha = false;
  bool Preview = false;
  int32_t Mode = 0;
  int32_t Index = 0;
  bool Resource = false;
};

// Runs Read on a stream of Data, a fresh Decoded and a progress record with its own abort flag;
// Aborted receives the flag.
template <class Read>
Decoded DecodeWith(const std::string& Data, Read&& R) {
  Decoded d;
  auto s = StreamOf(Data);
  TPXAbortFlag abort{false};
  TPXProgressRecord progress;
  progress.Aborting = &abort;
  R(s.get(), d, progress);
  d.Aborted = abort;
  return d;
}

inline Decoded DecodeBmp(const std::string& Data, DecodeOptions O = {}) {
  return DecodeWith(Data, [&](TStream* s, Decoded& d, TPXProgressRecord& progress) {
    d.Params->NativePixelFormat = O.Native;
    d.Params->IsResource = O.Resource;
    DecodeBmpStream(s, d.Bitmap.get(), 0, d.Params.get(), progress, O.Preview, false, d.Mask, O.IgnoreAlpha);
  });
}

inline Decoded DecodeIco(const std::string& Data, DecodeOptions O = {}) {
  return DecodeWith(Data, [&](TStream* s, Decoded& d, TPXProgressRecord& progress) {
    d.Params->NativePixelFormat = O.Native;
    d.Params->IsResource = O.Resource;
    d.Params->ICO_ImageIndex = O.Index;
    DecodeIcoStream(s, d.Bitmap.get(), d.Params.get(), O.Preview, progress, d.Mask, O.IgnoreAlpha, O.Mode);
  });
}

inline Decoded DecodeCur(const std::string& Data, DecodeOptions O = {}) {
  return DecodeWith(Data, [&](TStream* s, Decoded& d, TPXProgressRecord& progress) {
    d.Params->IsResource = O.Resource;
    d.Params->CUR_ImageIndex = O.Index;
    DecodeCurStream(s, d.Bitmap.get(), d.Params.get(), O.Preview, progress, d.Mask, O.IgnoreAlpha);
  });
}

// Encodes Bitmap as BMP with Params; Aborted receives the flag.
inline std::string EncodeBmp(TPXBitmap* Bitmap, TIOParams* Params, bool SaveAlpha, bool* Aborted = nullptr) {
  TMemoryStream s;
  TPXAbortFlag abort{false};
  TPXProgressRecord progress;
  progress.Aborting = &abort;
  EncodeBmpStream(&s, Bitmap, Params, progress, SaveAlpha);
  if (Aborted) *Aborted = abort;
  return BytesOf(s);
}

// A px24RGB picture with a known pattern (and optionally an alpha channel).
inline TRGB PatternColor(int32_t X, int32_t Y) {
  return TRGB{static_cast<uint8_t>((X * 37 + Y * 11) & 0xFF), static_cast<uint8_t>((X * 5 + Y * 71) & 0xFF),
              static_cast<uint8_t>((X * 13 + Y * 29 + 7) & 0xFF)};
}
inline uint8_t PatternAlpha(int32_t X, int32_t Y) { return static_cast<uint8_t>((X * 19 + Y * 43) & 0xFF); }

inline std::unique_ptr<TPXBitmap> PatternBitmap(int32_t W, int32_t H, bool WithAlpha) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      reinterpret_cast<TRGB*>(b->Scanline(y))[x] = PatternColor(x, y);
      if (WithAlpha) b->SetAlpha(x, y, PatternAlpha(x, y));
    }
  return b;
}

// An ICO or CUR file: Type 1 or 2, one directory entry and image per item.
struct IcoImage {
  uint8_t Width = 0, Height = 0, ColorCount = 0;
  uint16_t Planes = 1, Bits = 32;  // cursors: the hot spot
  std::string Data;
};
inline std::string MakeIco(const std::vector<IcoImage>& Images, uint16_t Type = 1) {
  std::string f;
  Put16(f, 0);
  Put16(f, Type);
  Put16(f, static_cast<uint32_t>(Images.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * Images.size());
  for (const IcoImage& i : Images) {
    f.push_back(static_cast<char>(i.Width));
    f.push_back(static_cast<char>(i.Height));
    f.push_back(static_cast<char>(i.ColorCount));
    f.push_back('\0');
    Put16(f, i.Planes);
    Put16(f, i.Bits);
    Put32(f, static_cast<uint32_t>(i.Data.size()));
    Put32(f, offset);
    offset += static_cast<uint32_t>(i.Data.size());
  }
  for (const IcoImage& i : Images) f += i.Data;
  return f;
}

// A 40-byte DIB header of an icon image (height doubled by the caller).
inline std::string DibHeader(int32_t W, int32_t H2, uint16_t Bits) {
  std::string h;
  Put32(h, 40);
  Put32(h, static_cast<uint32_t>(W));
  Put32(h, static_cast<uint32_t>(H2));
  Put16(h, 1);
  Put16(h, Bits);
  h.resize(40, '\0');
  return h;
}

}  // namespace bmptest
