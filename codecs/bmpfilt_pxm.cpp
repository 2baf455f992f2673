// The small codecs of bmpfilt: portable any-maps (P1 to P6), the wireless bitmap, headerless raw
// pixels and the metafile signatures, with their rows in the front end's format table.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/bmpfilt.h"
#include "codecs/pxcodecs.h"
#include "codecs/pxcodecs_impl.h"
#include "core/hypxutils.h"
#include "core/hypxutils_streams.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "io/pxcolorrows.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "proc/pixoranproc_bits.h"

using namespace pxcodecs_detail;

namespace {

// A picture up to this many bytes is allocated whatever the stream holds; a larger one only
// when the stream holds at least half its data (a short file reads as far as it goes).
constexpr int64_t kFreeAllocation = int64_t{1} << 20;

int64_t BytesLeft(TStream* Stream) {
  try {
    const int64_t size = Stream->Size(), pos = Stream->Position();
    if (size >= 0 && pos >= 0) return std::max<int64_t>(size - pos, 0);
  } catch (const std::exception&) {
  }
  return 0;
}

bool AllocationFits(int64_t PictureBytes, int64_t DataNeeded, int64_t Left) {
  return PictureBytes <= kFreeAllocation || DataNeeded <= 2 * Left;
}

void Report(TPXProgressRecord& Progress, int32_t Value) {
  if (Progress.Event) Progress.Event(Progress.Sender, Value);
}

void SetDefaultResolution(TIOParams* Params) {
  Params->SetDpiX(DefaultDpiX());
  Params->SetDpiY(DefaultDpiY());
}

// ---------------------------------------------------------------------------------------------
// Any-map tokens

bool IsAlnum(int C) { return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z'); }

int ReadChar(TStream* Stream) {
  uint8_t c;
  return Stream->Read(&c, 1) == 1 ? c : -1;
}

std::string Trimmed(const std::string& S) {
  size_t a = 0, b = S.size();
  while (a < b && static_cast<uint8_t>(S[a]) <= ' ') ++a;
  while (b > a && static_cast<uint8_t>(S[b - 1]) <= ' ') --b;
  return S.substr(a, b - a);
}

// The next token: a run of letters and digits (the character after it consumed), or a comment
// as "#" and its trimmed text; empty at the end of the stream. Runs are cut at 64 characters.
std::string ReadPxmToken(TStream* Stream) {
  int c;
  do {
    c = ReadChar(Stream);
  } while (c >= 0 && !IsAlnum(c) && c != '#');
  if (c < 0) return {};
  std::string token;
  if (c == '#') {
    std::string text;
    for (c = ReadChar(Stream); c >= 0 && c != '\n' && c != '\r'; c = ReadChar(Stream))
      if (text.size() < 4096) text += static_cast<char>(c);
    return "#" + Trimmed(text);
  }
  while (c >= 0 && IsAlnum(c)) {
    if (token.size() < 64) token += static_cast<char>(c);
    c = ReadChar(Stream);
  }
  return token;
}

// A decimal number of the token, -1 when it is none or too large.
int64_t TokenNumber(const std::string& Token) {
  if (Token.empty() || Token.size() > 12) return -1;
  int64_t v = 0;
  for (char c : Token) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

// The next sample of a plain map: the next non-comment token's number (0 when it is none), or
// -1 at the end of the stream.
int64_t NextSample(TStream* Stream) {
  for (;;) {
    const std::string t = ReadPxmToken(Stream);
    if (t.empty()) return -1;
    if (t[0] == '#') continue;
    return std::max<int64_t>(TokenNumber(t), 0);
  }
}

uint8_t Scale8(int64_t V, int64_t MaxVal) { return static_cast<uint8_t>(std::min<int64_t>(V * 255 / MaxVal, 255)); }
uint16_t Scale16(int64_t V, int64_t MaxVal) {
  return static_cast<uint16_t>(std::min<int64_t>(V * 65535 / MaxVal, 65535));
}

struct TPxmHeader {
  std::string Magic;
  int64_t Width = -1;
  int64_t Height = -1;
  int64_t MaxVal = 1;
};

// Reads the header, collecting comments; false when the stream ended before it was complete.
bool ReadPxmHeader(TStream* Stream, TPxmHeader& H, std::vector<std::string>* Comments) {
  int field = 0;
  for (;;) {
    const std::string t = ReadPxmToken(Stream);
    if (t.empty()) return false;
    if (t[0] == '#') {
      if (Comments) Comments->push_back(t.substr(1));
      continue;
    }
    switch (field++) {
      case 0: H.Magic = t; break;
      case 1: H.Width = TokenNumber(t); break;
      case 2:
        H.Height = TokenNumber(t);
        if (H.Magic == "P1" || H.Magic == "P4") return true;
        break;
      default: H.MaxVal = TokenNumber(t); return true;
    }
  }
}

bool IsPxmMagic(const std::string& M) { return M.size() == 2 && M[0] == 'P' && M[1] >= '1' && M[1] <= '6'; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Any-maps

bool HasPxmSignature(TStream* Stream) {
  if (!Stream) return false;
  const int64_t pos = Stream->Position();
  bool result = false;
  try {
    TPXBufferedReadStream s(Stream, 1024, true);
    std::string magic;
    int64_t w = -1, h = -1;
    int n = 0;
    for (int tokens = 0; tokens < 501; ++tokens) {
      const std::string t = ReadPxmToken(&s);
      if (t.empty()) break;
      if (t[0] == '#') continue;
      if (n == 0) {
        magic = t;
        if (!IsPxmMagic(magic)) break;
      } else if (n == 1) {
        w = TokenNumber(t);
      } else {
        h = TokenNumber(t);
        result = w > 0 && h > 0;
        break;
      }
      ++n;
    }
  } catch (const std::exception&) {
    result = false;
  }
  Stream->Seek(pos, soBeginning);
  return result;
}

void DecodePxmStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                     bool PreviewOnly) {
  RunGuarded(Progress, Stream && Params && (Bitmap || PreviewOnly), [&](TPXAbortFlag& aborting) {
    TPXBufferedReadStream s(Stream, 65536, true);
    Params->PXM_Comments.clear();
    TPxmHeader h;
    const bool complete = ReadPxmHeader(&s, h, &Params->PXM_Comments);
    const std::string& m = h.Magic;
    if (!complete || h.Width <= 0 || h.Height <= 0 || h.Width > INT32_MAX || h.Height > INT32_MAX) {
      aborting = true;
      return;
    }
    const auto w = static_cast<int32_t>(h.Width), ht = static_cast<int32_t>(h.Height);
    Params->FreeColorMap();
    Params->Width = Params->OriginalWidth = w;
    Params->Height = Params->OriginalHeight = ht;
    SetDefaultResolution(Params);
    Params->SetImageCount(1);
    Progress.PerCentPerUnit = 100.0 / ht;
    Progress.Count = 0;

    const int64_t maxVal = h.MaxVal;
    const bool wide = maxVal >= 256;
    if (!IsPxmMagic(m) || maxVal < 1 || maxVal > 65535) {
      aborting = true;
      return;
    }
    const char kind = m[1];
    const bool bitmap = kind == '1' || kind == '4';
    const bool colour = kind == '3' || kind == '6';
    Params->BitsPerSample = bitmap ? 1 : (kind == '5' || kind == '6') && wide ? 16 : 8;
    Params->SamplesPerPixel = colour ? 3 : 1;
    if (PreviewOnly) return;

    const bool native = Params->NativePixelFormat && wide && (kind == '5' || kind == '6');
    const TPXPixelFormat format = bitmap ? px1g : native ? (kind == '5' ? px16g : pxRGB48) : px24RGB;
    // The fewest bytes the data can take: samples of one or two bytes, plain samples a
    // character each.
    const int64_t samples = int64_t(w) * ht * (colour ? 3 : 1);
    int64_t needed = samples;
    if (kind == '4')
      needed = (int64_t(w) + 7) / 8 * ht;
    else if (kind >= '5')
      needed = samples * (wide ? 2 : 1);
    const int64_t pictureBytes = format == px1g ? (int64_t(w) + 7) / 8 * ht : int64_t(w) * ht * (native ? 6 : 3);
    if (!AllocationFits(pictureBytes, needed, BytesLeft(&s))) {
      aborting = true;
      return;
    }
    if (!Bitmap->Allocate(w, ht, format)) {
      aborting = true;
      return;
    }
    if (format == px1g) {
      for (int32_t y = 0; y < ht; ++y) std::memset(Bitmap->Scanline(y), 0, (size_t(w) + 7) / 8);
    }
    bool shortData = false;
    const size_t rowBytes = kind == '4' ? (size_t(w) + 7) / 8 : size_t(w) * (colour ? 3 : 1) * (wide ? 2 : 1);
    std::vector<uint8_t> row(kind >= '4' ? rowBytes : 0);
    for (int32_t y = 0; y < ht; ++y) {
      uint8_t* dst = Bitmap->Scanline(y);
      if (!shortData) {
        switch (kind) {
          case '1':
            for (int32_t x = 0; x < w && !shortData;) {
              const int c = ReadChar(&s);
              if (c < 0)
                shortData = true;
              else if (c == '0')
                dst[x >> 3] |= uint8_t(0x80 >> (x & 7)), ++x;
              else if (c == '1')
                ++x;
            }
            break;
          case '2':
          case '3': {
            auto* rgb = reinterpret_cast<TRGB*>(dst);
            for (int32_t x = 0; x < w && !shortData; ++x) {
              int64_t v[3];
              for (int c = 0; c < (colour ? 3 : 1); ++c) {
                v[c] = NextSample(&s);
                if (v[c] < 0) shortData = true;
              }
              if (shortData) break;
              if (colour)
                rgb[x] = TRGB{Scale8(v[2], maxVal), Scale8(v[1], maxVal), Scale8(v[0], maxVal)};
              else
                rgb[x].r = rgb[x].g = rgb[x].b = Scale8(v[0], maxVal);
            }
            break;
          }
          default: {
            const int64_t got = ReadFully(&s, row.data(), int64_t(rowBytes));
            if (got < int64_t(rowBytes)) {
              shortData = true;
              std::fill(row.begin() + got, row.end(), 0);
            }
            const uint8_t* src = row.data();
            if (kind == '4') {
              const size_t n = (size_t(w) + 7) / 8;
              for (size_t i = 0; i < n; ++i) dst[i] = uint8_t(~src[i]);
            } else if (!wide) {
              auto* rgb = reinterpret_cast<TRGB*>(dst);
              const bool scale = maxVal < 255;
              for (int32_t x = 0; x < w; ++x) {
                if (colour) {
                  const uint8_t* p = src + 3 * x;
                  rgb[x] = scale ? TRGB{Scale8(p[2], maxVal), Scale8(p[1], maxVal), Scale8(p[0], maxVal)}
                                 : TRGB{p[2], p[1], p[0]};
                } else {
                  const uint8_t g = scale ? Scale8(src[x], maxVal) : src[x];
                  rgb[x] = TRGB{g, g, g};
                }
              }
            } else {
              const int ch = colour ? 3 : 1;
              for (int32_t x = 0; x < w; ++x) {
                uint16_t v[3];
                for (int c = 0; c < ch; ++c) {
                  const uint8_t* p = src + 2 * (size_t(x) * ch + c);
                  v[c] = uint16_t(p[0] << 8 | p[1]);
                }
                if (native && !colour) {
                  reinterpret_cast<uint16_t*>(dst)[x] = Scale16(v[0], maxVal);
                } else if (native) {
                  reinterpret_cast<TRGB48*>(dst)[x] =
                      TRGB48{Scale16(v[0], maxVal), Scale16(v[1], maxVal), Scale16(v[2], maxVal)};
                } else if (colour) {
                  reinterpret_cast<TRGB*>(dst)[x] =
                      TRGB{Scale8(v[2], maxVal), Scale8(v[1], maxVal), Scale8(v[0], maxVal)};
                } else {
                  const uint8_t g = Scale8(v[0], maxVal);
                  reinterpret_cast<TRGB*>(dst)[x] = TRGB{g, g, g};
                }
              }
            }
            break;
          }
        }
      }
      ++Progress.Count;
      if (kind != '1' || y + 1 < ht) Report(Progress, PerCentOf(Progress, Progress.Count));
    }
    if (shortData) aborting = true;
  });
}

void EncodePxmStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress) {
  TPXAbortFlag own{false};
  TPXAbortFlag& aborting = AbortFlagOf(Progress, own);
  if (!Stream || !Bitmap || !Params || Bitmap->Width() <= 0 || Bitmap->Height() <= 0) {
    aborting = true;
    return;
  }
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  const TPXPixelFormat f = Bitmap->PixelFormat();
  const int32_t bps = Params->BitsPerSample, spp = Params->SamplesPerPixel;

  enum class TLayout { P4, P5, P6Wide24, P6Wide48, P6 } layout;
  TPXPixelFormat need;
  if (f == px1g || (bps == 1 && spp == 1))
    layout = TLayout::P4, need = px1g;
  else if (bps == 8 && spp == 1)
    layout = TLayout::P5, need = f == px8g ? px8g : px24RGB;
  else if (bps == 16 && spp == 3 && f == px24RGB)
    layout = TLayout::P6Wide24, need = px24RGB;
  else if (f == pxRGB48)
    layout = TLayout::P6Wide48, need = pxRGB48;
  else if ((bps == 8 && spp == 3) || f == px24RGB)
    layout = TLayout::P6, need = px24RGB;
  else {
    aborting = true;
    return;
  }
  std::unique_ptr<TPXBitmap> copy;
  TPXBitmap* src = Bitmap;
  if (f != need) {
    copy = TPXBitmap::CreateCopy(Bitmap);
    copy->SetPixelFormat(need);
    if (copy->PixelFormat() != need || copy->Width() != w || copy->Height() != h) {
      aborting = true;
      return;
    }
    src = copy.get();
  }

  std::string comments;
  for (const std::string& line : Params->PXM_Comments) comments += "\n# " + line + "\n";
  const char* magic = layout == TLayout::P4 ? "P4 " : layout == TLayout::P5 ? "P5 " : "P6 ";
  std::string header = magic + comments + std::to_string(w) + " " + std::to_string(h);
  if (layout == TLayout::P6Wide24 || layout == TLayout::P6Wide48)
    header += " 65535";
  else if (layout != TLayout::P4)
    header += " 255";
  header += "\n";
  bool failed = false;
  StreamWriteChecked(Stream, failed, header.data(), int64_t(header.size()));

  Progress.PerCentPerUnit = 100.0 / h;
  Progress.Count = 0;
  const size_t bytes = layout == TLayout::P4   ? (size_t(w) + 7) / 8
                       : layout == TLayout::P5 ? size_t(w)
                       : layout == TLayout::P6 ? size_t(w) * 3
                                               : size_t(w) * 6;
  std::vector<uint8_t> out(bytes);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = src->Scanline(y);
    switch (layout) {
      case TLayout::P4:
        for (size_t i = 0; i < bytes; ++i) out[i] = uint8_t(~row[i]);
        break;
      case TLayout::P5:
        if (need == px8g)
          std::memcpy(out.data(), row, bytes);
        else
          ConvertColorRow(row, iccfBGR, out.data(), Params, w, iccfGray);
        break;
      case TLayout::P6Wide24: {
        const auto* rgb = reinterpret_cast<const TRGB*>(row);
        for (int32_t x = 0; x < w; ++x) {
          const uint8_t c[3] = {rgb[x].r, rgb[x].g, rgb[x].b};
          for (int k = 0; k < 3; ++k) out[6 * x + 2 * k] = out[6 * x + 2 * k + 1] = c[k];  // c x 257
        }
        break;
      }
      case TLayout::P6Wide48: {
        const auto* p = reinterpret_cast<const TRGB48*>(row);
        for (int32_t x = 0; x < w; ++x) {
          const uint16_t c[3] = {p[x].r, p[x].g, p[x].b};
          for (int k = 0; k < 3; ++k) {
            out[6 * x + 2 * k] = uint8_t(c[k] >> 8);
            out[6 * x + 2 * k + 1] = uint8_t(c[k]);
          }
        }
        break;
      }
      case TLayout::P6: {
        const auto* rgb = reinterpret_cast<const TRGB*>(row);
        for (int32_t x = 0; x < w; ++x) {
          out[3 * x] = rgb[x].r;
          out[3 * x + 1] = rgb[x].g;
          out[3 * x + 2] = rgb[x].b;
        }
        break;
      }
    }
    StreamWriteChecked(Stream, failed, out.data(), int64_t(bytes));
    ++Progress.Count;
    Report(Progress, PerCentOf(Progress, Progress.Count));
  }
  if (failed) aborting = true;
}

// ---------------------------------------------------------------------------------------------
// Wireless bitmap

namespace {

// A multi-byte integer of at most 4 bytes; -1 when it is longer or the stream ends.
int64_t ReadMultiByte(TStream* Stream) {
  int64_t v = 0;
  for (int i = 0; i < 4; ++i) {
    const int c = ReadChar(Stream);
    if (c < 0) return -1;
    v = v << 7 | (c & 0x7F);
    if (!(c & 0x80)) return v;
  }
  return -1;
}

void AppendMultiByte(std::string& Out, uint32_t V) {
  char groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<char>(V & 0x7F);
    V >>= 7;
  } while (V != 0);
  while (n-- > 0) Out += static_cast<char>(groups[n] | (n > 0 ? 0x80 : 0));
}

}  // namespace

void DecodeWbmpStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                      bool PreviewOnly) {
  RunGuarded(Progress, Stream && Params && (Bitmap || PreviewOnly), [&](TPXAbortFlag& aborting) {
    TPXBufferedReadStream s(Stream, 8192, true);
    const int64_t type = ReadMultiByte(&s), fixed = ReadMultiByte(&s);
    const int64_t w = ReadMultiByte(&s), h = ReadMultiByte(&s);
    if (type != 0 || fixed != 0 || w <= 0 || h <= 0) {
      aborting = true;
      return;
    }
    Params->BitsPerSample = 1;
    Params->SamplesPerPixel = 1;
    Params->Width = Params->OriginalWidth = static_cast<int32_t>(w);
    Params->Height = Params->OriginalHeight = static_cast<int32_t>(h);
    SetDefaultResolution(Params);
    Params->SetImageCount(1);
    Params->FreeColorMap();
    if (PreviewOnly) return;
    const int64_t rowBytes = (w + 7) / 8;
    if (!AllocationFits(rowBytes * h, rowBytes * h, BytesLeft(&s)) ||
        !Bitmap->Allocate(static_cast<int32_t>(w), static_cast<int32_t>(h), px1g)) {
      aborting = true;
      return;
    }
    Progress.PerCentPerUnit = 100.0 / h;
    bool shortData = false;
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = Bitmap->Scanline(y);
      const int64_t got = shortData ? 0 : ReadFully(&s, row, rowBytes);
      if (got < rowBytes) {
        shortData = true;
        std::memset(row + got, 0, size_t(rowBytes - got));
      }
      Report(Progress, PerCentOf(Progress, y));
    }
    if (shortData) aborting = true;
  });
}

void EncodeWbmpStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams*, TPXProgressRecord& Progress) {
  TPXAbortFlag own{false};
  TPXAbortFlag& aborting = AbortFlagOf(Progress, own);
  if (!Stream || !Bitmap || Bitmap->Width() <= 0 || Bitmap->Height() <= 0) {
    aborting = true;
    return;
  }
  std::unique_ptr<TPXBitmap> copy;
  TPXBitmap* src = Bitmap;
  int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (w > 255 || h > 255) {
    // Fitted within 255 x 255, proportions kept; the resampler works on colour pixels.
    const int32_t nw = w > h ? 255 : std::max<int32_t>(1, static_cast<int32_t>(int64_t(w) * 255 / h));
    const int32_t nh = w > h ? std::max<int32_t>(1, static_cast<int32_t>(int64_t(h) * 255 / w)) : 255;
    copy = TPXBitmap::CreateCopy(Bitmap);
    if (copy->PixelFormat() != px24RGB) copy->SetPixelFormat(px24RGB);
    copy->Resample(nw, nh, TResampleFilter::rfTriangle, false, false);
    w = nw;
    h = nh;
  }
  if (src->PixelFormat() != px1g || copy) {
    if (!copy) copy = TPXBitmap::CreateCopy(Bitmap);
    copy->SetPixelFormat(px1g);
    src = copy.get();
  }
  if (src->PixelFormat() != px1g || src->Width() != w || src->Height() != h) {
    aborting = true;
    return;
  }
  std::string header;
  AppendMultiByte(header, 0);
  AppendMultiByte(header, 0);
  AppendMultiByte(header, uint32_t(w));
  AppendMultiByte(header, uint32_t(h));
  bool failed = false;
  StreamWriteChecked(Stream, failed, header.data(), int64_t(header.size()));
  Progress.PerCentPerUnit = 100.0 / h;
  const int64_t rowBytes = (int64_t(w) + 7) / 8;
  for (int32_t y = 0; y < h; ++y) {
    StreamWriteChecked(Stream, failed, src->Scanline(y), rowBytes);
    Report(Progress, PerCentOf(Progress, y));
  }
  if (failed) aborting = true;
}

// ---------------------------------------------------------------------------------------------
// Metafile signatures

bool HasEmfSignature(TStream* Stream) {
  if (!Stream) return false;
  const int64_t pos = Stream->Position();
  uint8_t b[100] = {};
  const int64_t got = ReadFully(Stream, b, sizeof b);
  Stream->Seek(pos, soBeginning);
  return got >= 44 && GetLE32(b) == 1 && std::memcmp(b + 40, " EMF", 4) == 0;
}

bool HasWmfSignature(TStream* Stream) {
  if (!Stream) return false;
  const int64_t pos = Stream->Position();
  uint8_t b[22] = {};
  bool result = false;
  if (ReadFully(Stream, b, 20) >= 4) {
    Stream->Seek(pos + (GetLE32(b) == 0x9AC6CDD7u ? 22 : 0), soBeginning);
    uint8_t m[18] = {};
    if (ReadFully(Stream, m, 18) == 18) result = GetLE16(m) == 1 && GetLE16(m + 2) == 9 && GetLE16(m + 16) == 0;
  }
  Stream->Seek(pos, soBeginning);
  return result;
}

// ---------------------------------------------------------------------------------------------
// Headerless raw pixels

namespace {

// Samples of text data: runs of decimal or upper-case hexadecimal digits.
class TRawTextReader {
 public:
  TRawTextReader(TStream* Stream, bool Hex) : stream_(Stream), hex_(Hex) {}
  // The next number; false at the end of the data.
  bool Next(uint64_t& Value) {
    int c;
    do {
      c = ReadChar(stream_);
    } while (c >= 0 && !IsDigit(c));
    if (c < 0) return false;
    Value = 0;
    for (int n = 0; c >= 0 && IsDigit(c); c = ReadChar(stream_)) {
      if (++n <= 34) {
        const uint64_t d = c <= '9' ? uint64_t(c - '0') : uint64_t(c - 'A' + 10);
        const uint64_t base = hex_ ? 16 : 10;
        Value = Value > (UINT64_MAX - d) / base ? UINT64_MAX : Value * base + d;
      }
    }
    return true;
  }

 private:
  bool IsDigit(int C) const { return (C >= '0' && C <= '9') || (hex_ && C >= 'A' && C <= 'F'); }
  TStream* stream_;
  bool hex_;
};

// Bytes per sample of the formats raw data can fill; 0 for the others.
int32_t RawSampleBytes(TPXPixelFormat F) {
  switch (F) {
    case px8p:
    case px8g:
    case px24RGB:
    case pxCMYK: return 1;
    case px16g:
    case pxRGB48: return 2;
    case px32f: return 4;
    default: return 0;
  }
}

void StoreSample(uint8_t* Dest, int32_t Bytes, uint64_t V, bool Float) {
  if (Float) {
    const auto f = static_cast<float>(V);
    std::memcpy(Dest, &f, 4);
  } else if (Bytes == 2) {
    const auto w = static_cast<uint16_t>(std::min<uint64_t>(V, 65535));
    std::memcpy(Dest, &w, 2);
  } else {
    *Dest = static_cast<uint8_t>(std::min<uint64_t>(V, 255));
  }
}

}  // namespace

void DecodeRawPixelStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress) {
  TPXAbortFlag own{false};
  TPXAbortFlag& aborting = AbortFlagOf(Progress, own);
  if (!Stream || !Bitmap || !Params || Bitmap->Width() <= 0 || Bitmap->Height() <= 0) {
    aborting = true;
    return;
  }
  const TPXPixelFormat f = Bitmap->PixelFormat();
  const uint8_t dataFormat = Params->BMPRAW_DataFormat;
  if (dataFormat == 2 && f == px32f) throw EPXException("Format unsupported");
  const int32_t align = Params->BMPRAW_RowAlign;
  if (f == pxNoFormat || f == pxCIELab || f == px32RGB || dataFormat > 2 || align < 8 || align % 8 != 0 ||
      Params->BMPRAW_HeaderSize < 0) {
    aborting = true;
    return;
  }
  try {
    const int32_t w = Bitmap->Width(), h = Bitmap->Height();
    TPXBufferedReadStream s(Stream, 8192, true);
    if (Params->BMPRAW_HeaderSize > 0) s.Seek(Params->BMPRAW_HeaderSize, soBeginning);
    Progress.PerCentPerUnit = 100.0 / h;
    const bool text = dataFormat != 0;
    TRawTextReader reader(&s, dataFormat == 2);
    bool shortData = false;
    auto alignedRow = [&](int64_t Bits) { return (Bits + align - 1) / align * (align / 8); };

    const bool planar = Params->BMPRAW_Planar && (f == px24RGB || f == pxCMYK || f == pxRGB48);
    if (!planar) {
      const int64_t tight = (int64_t(w) * Bitmap->BitCount() + 7) / 8;
      const int64_t srcRow = alignedRow(int64_t(w) * Bitmap->BitCount());
      const int32_t sampleBytes = f == px1g ? 0 : RawSampleBytes(f);
      const int32_t channels = f == px1g ? 1 : Bitmap->BitCount() / 8 / std::max(sampleBytes, 1);
      int32_t fired = -1;
      for (int32_t y = 0; y < h && !shortData; ++y) {
        uint8_t* row = Bitmap->Scanline(y);
        if (!text) {
          const int64_t n = std::min(tight, srcRow);
          const int64_t got = ReadFully(&s, row, n);
          if (got < n)
            shortData = true;
          else if (srcRow > n)
            s.Seek(srcRow - n, soCurrent);
        } else {
          for (int64_t i = 0; i < int64_t(w) * channels; ++i) {
            uint64_t v;
            if (!reader.Next(v)) break;  // text is read as far as it goes
            if (f == px1g) {
              if (v)
                row[i >> 3] |= uint8_t(0x80 >> (i & 7));
              else
                row[i >> 3] &= uint8_t(~(0x80 >> (i & 7)));
            } else {
              StoreSample(row + i * sampleBytes, sampleBytes, v, f == px32f);
            }
          }
        }
        const int32_t per = PerCentOf(Progress, y);
        if (per != fired) {
          fired = per;
          Report(Progress, per);
        }
      }
    } else {
      const int32_t blocks = f == pxCMYK ? 4 : 3;
      const int32_t sampleBytes = f == pxRGB48 ? 2 : 1;
      const int32_t pixelBytes = blocks * sampleBytes;
      const int64_t srcRow = alignedRow(int64_t(w) * sampleBytes * 8);
      std::vector<uint8_t> line(size_t(srcRow), 0);
      Report(Progress, 0);
      for (int32_t b = 0; b < blocks && !shortData; ++b) {
        if (b > 0) Report(Progress, b * 100 / blocks);
        for (int32_t y = 0; y < h && !shortData; ++y) {
          uint8_t* row = Bitmap->Scanline(y);
          if (!text) {
            if (ReadFully(&s, line.data(), srcRow) < srcRow) shortData = true;
            for (int32_t x = 0; x < w; ++x)
              std::memcpy(row + x * pixelBytes + b * sampleBytes, line.data() + x * sampleBytes, size_t(sampleBytes));
          } else {
            for (int32_t x = 0; x < w; ++x) {
              uint64_t v;
              if (!reader.Next(v)) break;
              StoreSample(row + x * pixelBytes + b * sampleBytes, sampleBytes, v, false);
            }
          }
        }
      }
      Report(Progress, 100);
    }
    if (!Params->BMPRAW_BGR && (f == px24RGB || f == pxRGB48)) {
      for (int32_t y = 0; y < h; ++y) {
        if (f == px24RGB) SwapRB(Bitmap->Scanline(y), w);
        else SwapRB48(Bitmap->Scanline(y), w);
      }
    }
    if (shortData) aborting = true;
  } catch (const EPXException&) {
    throw;
  } catch (const std::exception&) {
    aborting = true;
  }
}

// ---------------------------------------------------------------------------------------------
// Rows of the format table

void RegisterPxmCodecs() {
  {
    TPXFormatRow row;
    row.Decode = DecodeWithoutMask<DecodePxmStream>;
    row.Encode = EncodeWithoutMask<EncodePxmStream>;
    row.Signature = HasPxmSignature;
    RegisterFormatRow(pxftPXM, std::move(row));
  }
  {
    TPXFormatRow row;
    row.Decode = DecodeWithoutMask<DecodeWbmpStream>;
    row.Encode = EncodeWithoutMask<EncodeWbmpStream>;
    row.Rules.ConvertTo24OnSave = true;
    RegisterFormatRow(pxftWBMP, std::move(row));
  }
  {
    TPXFormatRow row;
    row.Decode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress, bool,
                    std::unique_ptr<TPXMask>&) -> int32_t {
      DecodeRawPixelStream(Stream, Bitmap, Params, Progress);
      return 0;
    };
    RegisterFormatRow(pxftBMPRAW, std::move(row));
  }
  // The metafiles are only recognised here; a row that can already read them keeps its codec.
  for (const auto& [type, test] : {std::pair<TPXFileType, bool (*)(TStream*)>{pxftWMF, HasWmfSignature},
                                   std::pair<TPXFileType, bool (*)(TStream*)>{pxftEMF, HasEmfSignature}}) {
    TPXFormatRow row;
    if (const TPXFormatRow* old = FormatRow(type)) row = *old;
    row.Signature = test;
    RegisterFormatRow(type, std::move(row));
  }
}
