// The GIF codec.
#include "codecs/giffilter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "codecs/pxcodecs.h"
#include "codecs/pxcodecs_impl.h"
#include "core/hypxutils.h"
#include "core/hypxutils_streams.h"
#include "core/neurquant.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "proc/pixoranproc_colour.h"

using namespace pxcodecs_detail;

namespace {

constexpr uint8_t kExtension = '!';
constexpr uint8_t kImage = ',';
constexpr uint8_t kTrailer = ';';
constexpr uint8_t kGraphicControl = 0xF9;
constexpr uint8_t kComment = 0xFE;
constexpr int32_t kReadBuffer = 65536;
// A frame of up to this many pixels gets its index buffer whatever the data holds; a larger one
// only when the remaining data could fill it. One LZW code of at most 12 bits gives at most
// 4095 indices, so a byte of data gives fewer than 2731.
constexpr int64_t kFreePixels = int64_t{1} << 20;
constexpr int64_t kMaxPixelsPerByte = 2731;

void Fire(TPXProgressRecord& Progress, int32_t PerCent) {
  if (Progress.Event) Progress.Event(Progress.Sender, PerCent);
}

bool ReadByte(TStream* Stream, uint8_t& B) { return Stream->Read(&B, 1) == 1; }

// Passes the data sub-blocks up to their terminator (or the end of the stream). With Copy, the
// sub-blocks go there with their size bytes, as far as the stream holds them. Answers false when
// a sub-block runs past the end of the stream.
bool PassSubBlocks(TStream* Stream, TStream* Copy) {
  std::array<uint8_t, 256> b;
  for (;;) {
    uint8_t n = 0;
    if (!ReadByte(Stream, n)) return true;
    b[0] = n;
    if (n == 0) {
      if (Copy) Copy->WriteBuffer(b.data(), 1);
      return true;
    }
    int64_t got = 0;
    if (Copy) {
      got = ReadFully(Stream, b.data() + 1, n);
      Copy->WriteBuffer(b.data(), 1 + got);
    } else {
      got = std::min<int64_t>(n, std::max<int64_t>(Stream->Size() - Stream->Position(), 0));
      Stream->Seek(got, soCurrent);
    }
    if (got < n) return false;
  }
}

// A colour table: 2^Bits entries in blue-green-red, read from red-green-blue triples.
struct TGifTable {
  bool Present = false;
  int32_t Bits = 0;
  std::vector<TRGB> Colors;
};

// Reads the table of a packed-fields byte whose bit 7 says it is there; false when the stream
// ends inside it. With Copy, its bytes go there too.
bool ReadTable(TStream* Stream, uint8_t Flags, TGifTable& Table, TStream* Copy = nullptr) {
  Table = TGifTable{};
  if (!(Flags & 0x80)) return true;
  Table.Present = true;
  Table.Bits = (Flags & 7) + 1;
  const int32_t n = 1 << Table.Bits;
  uint8_t raw[768];
  const int64_t got = ReadFully(Stream, raw, 3 * n);
  if (Copy) Copy->WriteBuffer(raw, got);
  if (got < 3 * n) std::memset(raw + got, 0, size_t(3 * n - got));
  Table.Colors.resize(size_t(n));
  for (int32_t i = 0; i < n; ++i) Table.Colors[size_t(i)] = TRGB{raw[3 * i + 2], raw[3 * i + 1], raw[3 * i]};
  return got == 3 * n;
}

// The stream the walks read: the caller's when it reads from memory already, else a buffer of
// its bytes (the caller's position follows when the buffer goes).
TStream* ReadableStream(TStream* Stream, std::unique_ptr<TPXBufferedReadStream>& Buffer) {
  if (dynamic_cast<TCustomMemoryStream*>(Stream) || dynamic_cast<TPXBufferedReadStream*>(Stream)) return Stream;
  Buffer = std::make_unique<TPXBufferedReadStream>(Stream, kReadBuffer, true);
  return Buffer.get();
}

// The values of a graphic control extension.
struct TGraphicControl {
  uint8_t Flags = 0;
  int32_t Delay = 0;
  uint8_t Transparent = 0;
};

void ReadGraphicControl(TStream* Stream, TGraphicControl& Control) {
  std::array<uint8_t, 255> b;
  uint8_t n = 0;
  if (!ReadByte(Stream, n) || n == 0) return;
  const int64_t got = ReadFully(Stream, b.data(), n);
  if (got >= 4) {
    Control.Flags = b[0];
    Control.Delay = GetLE16(b.data() + 1);
    Control.Transparent = b[3];
  }
  if (got == n) PassSubBlocks(Stream, nullptr);
}

// Each sub-block of a comment extension is a line (its text up to a 0 byte); empty ones are
// dropped.
void ReadComments(TStream* Stream, std::vector<std::string>& Lines) {
  std::array<char, 255> b;
  for (;;) {
    uint8_t n = 0;
    if (!ReadByte(Stream, n) || n == 0) return;
    const int64_t got = ReadFully(Stream, b.data(), n);
    const size_t len = size_t(std::find(b.begin(), b.begin() + got, '\0') - b.begin());
    if (len > 0) Lines.push_back(BytesToUtf8(std::string_view(b.data(), len)));
    if (got < n) return;
  }
}

class TGifReader {
 public:
  TGifReader(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress, bool PreviewOnly,
             std::unique_ptr<TPXMask>& Mask, bool NoMask, TPXAbortFlag& Aborting)
      : s_(Stream), bitmap_(Bitmap), p_(Params), progress_(Progress), preview_(PreviewOnly), mask_(Mask),
        noMask_(NoMask), aborting_(Aborting) {}

  // Answers the frames met.
  int32_t Run() {
    uint8_t h[13];
    if (ReadFully(s_, h, 13) != 13 || std::memcmp(h, "GIF", 3) != 0) {
      aborting_ = true;
      return 0;
    }
    p_->GIF_Version = BytesToUtf8(std::string_view(reinterpret_cast<const char*>(h), 6));
    p_->GIF_ScreenWidth = GetLE16(h + 6);
    p_->GIF_ScreenHeight = GetLE16(h + 8);
    p_->GIF_AspectRatio = h[12];
    p_->SetDpiX(DefaultDpiX());
    p_->SetDpiY(DefaultDpiY());
    p_->SamplesPerPixel = 1;
    // Every read gathers the file's comments anew.
    p_->GIF_Comments.clear();
    ReadTable(s_, h[10], global_);
    p_->GIF_Background = global_.Present && h[11] < global_.Colors.size() ? global_.Colors[h[11]] : TRGB{0, 0, 0};
    if (s_->Position() >= s_->Size()) {
      aborting_ = true;
      return 0;
    }

    const int32_t wanted = p_->GIF_ImageIndex;
    int32_t frames = 0;
    bool found = false;
    TGraphicControl control;
    while (!aborting_) {
      uint8_t b = 0;
      if (!ReadByte(s_, b) || b == kTrailer) break;
      if (b == kExtension) {
        uint8_t label = 0;
        if (!ReadByte(s_, label)) break;
        if (label == kGraphicControl && frames == wanted) ReadGraphicControl(s_, control);
        else if (label == kComment) ReadComments(s_, p_->GIF_Comments);
        else PassSubBlocks(s_, nullptr);
      } else if (b == kImage) {
        uint8_t d[9];
        if (ReadFully(s_, d, 9) != 9) break;
        TGifTable local;
        ReadTable(s_, d[8], local);
        if (frames == wanted) {
          found = true;
          if (!Frame(d, local, control)) break;
        } else {
          uint8_t size = 0;
          if (ReadByte(s_, size)) PassSubBlocks(s_, nullptr);
        }
        ++frames;
      }
    }
    if (!aborting_ && !found) aborting_ = true;
    return frames;
  }

 private:
  // The wanted frame; false to stop reading.
  bool Frame(const uint8_t* D, const TGifTable& Local, const TGraphicControl& Control) {
    Fire(progress_, 30);
    if (aborting_) return false;
    const TGifTable& used = Local.Present ? Local : global_;
    // Indices past the table read black; a frame without any table reads as grey levels.
    std::array<TRGB, 256> lut;
    int32_t bits = 8;
    if (used.Present) {
      bits = used.Bits;
      lut.fill(TRGB{0, 0, 0});
      std::copy(used.Colors.begin(), used.Colors.end(), lut.begin());
    } else {
      for (int32_t i = 0; i < 256; ++i) lut[size_t(i)] = TRGB{uint8_t(i), uint8_t(i), uint8_t(i)};
    }
    const int32_t w = GetLE16(D + 4), h = GetLE16(D + 6);
    const bool interlaced = (D[8] & 0x40) != 0;
    p_->GIF_TransparentColor = lut[Control.Transparent];
    p_->GIF_XPos = GetLE16(D);
    p_->GIF_YPos = GetLE16(D + 2);
    p_->Width = p_->OriginalWidth = w;
    p_->Height = p_->OriginalHeight = h;
    p_->GIF_DelayTime = Control.Delay;
    p_->GIF_HasTransparentColor = (Control.Flags & 1) != 0;
    p_->GIF_Interlaced = interlaced;
    p_->GIF_Disposal = uint8_t((Control.Flags >> 2) & 7);

    std::vector<uint8_t> indices;
    if (preview_) {
      uint8_t size = 0;
      if (ReadByte(s_, size)) PassSubBlocks(s_, nullptr);
    } else {
      const int64_t pixels = int64_t(w) * h;
      const int64_t remaining = std::max<int64_t>(s_->Size() - s_->Position(), 0);
      if (pixels > kFreePixels && pixels / kMaxPixelsPerByte > remaining) {
        aborting_ = true;
        return false;
      }
      try {
        indices.assign(size_t(pixels), 0);
      } catch (const std::bad_alloc&) {
        aborting_ = true;
        return false;
      }
      TPXGifLzwDecompressProc decode = p_->GIF_LZWDecompress;
      if (!decode) decode = GlobalSettingsInstance()->FGIFLZWDecompress;
      const int64_t at = s_->Position();
      if (decode) decode(s_, h, w, indices.data(), interlaced);
      if (s_->Position() == at) {
        aborting_ = true;
        return false;
      }
      Fire(progress_, 70);
      if (aborting_) return false;
    }

    p_->BitsPerSample = bits;
    p_->SetColorMap(lut.data(), 1 << bits);
    if (preview_) return true;

    const bool blackWhite = bits == 1 && SameColor(lut[0], TRGB{0, 0, 0}) && SameColor(lut[1], TRGB{255, 255, 255});
    if (!blackWhite && (w > 65000 || h > 65000) && s_->Size() - s_->Position() < 2000) {
      aborting_ = true;
      return false;
    }
    const TPXPixelFormat format = blackWhite ? px1g : p_->NativePixelFormat ? px8p : px24RGB;
    if (!bitmap_->Allocate(w, h, format)) {
      aborting_ = true;
      return false;
    }
    if (format == px8p) {
      for (int32_t i = 0; i < 256; ++i) bitmap_->SetPaletteColor(i, lut[size_t(i)]);
      bitmap_->SetPaletteUsed(1 << bits);
    }
    const bool masked = !noMask_ && p_->GIF_HasTransparentColor;
    if (masked) {
      if (!mask_) mask_ = std::make_unique<TPXMask>();
      mask_->AllocateBits(w, h, 8);
      mask_->Fill(255);
    }
    bool anyTransparent = false;
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* in = indices.data() + int64_t(y) * w;
      uint8_t* row = bitmap_->Scanline(y);
      if (format == px1g) {
        std::memset(row, 0, size_t(w + 7) / 8);
        for (int32_t x = 0; x < w; ++x)
          if (in[x] == 1) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
      } else if (format == px8p) {
        std::memcpy(row, in, size_t(w));
      } else {
        auto* rgb = reinterpret_cast<TRGB*>(row);
        for (int32_t x = 0; x < w; ++x) rgb[x] = lut[in[x]];
      }
      if (masked) {
        uint8_t* m = mask_->GetScanline(y);
        for (int32_t x = 0; x < w; ++x)
          if (in[x] == Control.Transparent) {
            m[x] = 0;
            anyTransparent = true;
          }
      }
    }
    if (masked) {
      if (anyTransparent) {
        mask_->UpdateBounds();
        mask_->UpdateFull();
      } else {
        mask_.reset();
      }
    }
    return true;
  }

  static bool SameColor(const TRGB& A, const TRGB& B) { return A.r == B.r && A.g == B.g && A.b == B.b; }

  TStream* s_;
  TPXBitmap* bitmap_;
  TIOParams* p_;
  TPXProgressRecord& progress_;
  bool preview_;
  std::unique_ptr<TPXMask>& mask_;
  bool noMask_;
  TPXAbortFlag& aborting_;
  TGifTable global_;
};

// The blocks after the header and global table: copied into Copy (when given) except frame
// Skip and its graphic control extension, ending with the trailer. Answers the frames kept.
int32_t WalkFrames(TStream* Stream, TStream* Copy, int32_t Skip) {
  int32_t counter = 0, kept = 0;
  const auto put = [&](const uint8_t* Bytes, int64_t Count) {
    if (Copy) Copy->WriteBuffer(Bytes, Count);
  };
  for (;;) {
    uint8_t b = 0;
    if (!ReadByte(Stream, b) || b == kTrailer) break;
    if (b == kExtension) {
      uint8_t head[2] = {kExtension, 0};
      if (!ReadByte(Stream, head[1])) break;
      if (head[1] == kGraphicControl && counter == Skip) {
        PassSubBlocks(Stream, nullptr);
      } else {
        put(head, 2);
        if (!PassSubBlocks(Stream, Copy)) break;
      }
    } else if (b == kImage) {
      uint8_t d[10] = {kImage};
      if (ReadFully(Stream, d + 1, 9) != 9) break;
      const bool keep = counter++ != Skip;
      TStream* to = keep ? Copy : nullptr;
      if (to) to->WriteBuffer(d, 10);
      TGifTable local;
      bool whole = ReadTable(Stream, d[9], local, to);
      uint8_t size = 0;
      if (whole && ReadByte(Stream, size)) {
        if (to) to->WriteBuffer(&size, 1);
        whole = PassSubBlocks(Stream, to);
      }
      if (keep) ++kept;
      if (!whole) break;
    }
  }
  const uint8_t trailer = kTrailer;
  put(&trailer, 1);
  return kept;
}

// Reads the header and the global table (copied into Copy, version "89a", when given); false
// when the data is not a GIF.
bool PassHeader(TStream* Stream, TStream* Copy) {
  uint8_t h[13];
  if (ReadFully(Stream, h, 13) != 13 || std::memcmp(h, "GIF", 3) != 0) return false;
  if (Copy) {
    std::memcpy(h + 3, "89a", 3);
    Copy->WriteBuffer(h, 13);
  }
  TGifTable global;
  ReadTable(Stream, h[10], global, Copy);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Writing

void PutRgbTable(std::vector<uint8_t>& Out, const std::vector<TRGB>& Table) {
  for (const TRGB& c : Table) Out.insert(Out.end(), {c.r, c.g, c.b});
}

int32_t PackedColor(const TRGB& C) { return (C.r << 16) | (C.g << 8) | C.b; }

// The table and the indices of the picture, the alpha channel's pixels below 255 taking the
// reserved last index.
struct TGifImage {
  int32_t Bits = 8;
  std::vector<TRGB> Table;
  std::vector<uint8_t> Indices;
  int32_t Background = 0;
  int32_t Transparent = 0;
};

// Whether every index of the px8p picture lies below Count.
bool IndicesBelow(TPXBitmap* Bitmap, int32_t Count) {
  const int32_t w = Bitmap->Width();
  for (int32_t y = 0; y < Bitmap->Height(); ++y) {
    const uint8_t* row = Bitmap->Scanline(y);
    if (*std::max_element(row, row + w) >= Count) return false;
  }
  return true;
}

bool BuildImage(TPXBitmap* Bitmap, TIOParams* Params, TGifImage& Image) {
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  int32_t bits = Params->BitsPerSample;
  if (bits < 1 || bits > 8) bits = 8;
  Params->BitsPerSample = bits;
  TPXBitmap* alpha = Bitmap->HasAlphaChannel() ? Bitmap->GetAlphaChannel() : nullptr;
  const bool oneBit = bits == 1;
  // A reserved index next to black and white needs a second bit.
  if (oneBit && alpha) Params->BitsPerSample = bits = 2;
  int32_t colours = 1 << bits;
  if (alpha) {
    --colours;
    Params->GIF_HasTransparentColor = true;
  }
  Image.Bits = bits;
  Image.Table.assign(size_t(1) << bits, TRGB{0, 0, 0});
  Image.Indices.resize(size_t(int64_t(w) * h));
  const std::span<const TRGB> real(Image.Table.data(), size_t(oneBit ? 2 : colours));
  std::unique_ptr<TPXBitmap> copy;
  std::unique_ptr<TPXQuantizer> quantizer;
  if (oneBit) {
    TRGB two[2];
    TPXBitmap* src = WriterSource(Bitmap, true, copy, two);
    if (!src) return false;
    Image.Table[0] = two[0];
    Image.Table[1] = two[1];
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* row = src->Scanline(y);
      uint8_t* out = Image.Indices.data() + int64_t(y) * w;
      for (int32_t x = 0; x < w; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
  } else {
    TPXBitmap* src = Bitmap;
    if (src->PixelFormat() == px8p && !IndicesBelow(src, colours)) {
      copy = TPXBitmap::CreateCopy(Bitmap);
      copy->SetPixelFormat(px24RGB);
      src = copy.get();
    } else if (src->PixelFormat() != px8p && src->PixelFormat() != px24RGB) {
      copy = TPXBitmap::CreateCopy(Bitmap);
      copy->SetPixelFormat(px24RGB);
      src = copy.get();
    }
    if (src->PixelFormat() == px8p) {
      for (int32_t i = 0; i < colours; ++i) src->GetPaletteColor(i, Image.Table[size_t(i)]);
      for (int32_t y = 0; y < h; ++y) std::memcpy(Image.Indices.data() + int64_t(y) * w, src->Scanline(y), size_t(w));
    } else if (src->PixelFormat() == px24RGB && src->Width() == w && src->Height() == h) {
      quantizer = std::make_unique<TPXQuantizer>(src, Image.Table.data(), 0x7FFFFFF, colours);
      for (int32_t y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const TRGB*>(src->Scanline(y));
        uint8_t* out = Image.Indices.data() + int64_t(y) * w;
        for (int32_t x = 0; x < w; ++x) out[x] = uint8_t(quantizer->RGBToIndex(row[x]));
      }
    } else {
      return false;
    }
  }
  if (alpha) {
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* a = alpha->Scanline(y);
      uint8_t* out = Image.Indices.data() + int64_t(y) * w;
      for (int32_t x = 0; x < w; ++x)
        if (a[x] != 255) out[x] = uint8_t(colours);
    }
  }
  const auto indexOf = [&](const TRGB& C) {
    return quantizer ? quantizer->RGBToIndex(C) : FindNearestPaletteIndex(real, PackedColor(C));
  };
  Image.Background = indexOf(Params->GIF_Background);
  Image.Transparent = alpha ? colours : indexOf(Params->GIF_TransparentColor);
  return true;
}

void EncodeGifBody(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                   TPXAbortFlag& Aborting) {
  Fire(Progress, 0);
  if (Aborting) return;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  // The logical screen and the image descriptor hold 16-bit sizes.
  if (w <= 0 || h <= 0 || w > 65535 || h > 65535) {
    Aborting = true;
    return;
  }
  TGifImage image;
  if (!BuildImage(Bitmap, Params, image)) {
    Aborting = true;
    return;
  }
  Fire(Progress, 30);
  if (Aborting) return;

  bool failed = false;
  std::vector<uint8_t> out;
  std::string version = Params->GIF_Version;
  if (version.size() != 6 || version.compare(0, 3, "GIF") != 0) version = "GIF89a";
  out.insert(out.end(), version.begin(), version.end());
  const uint8_t depth = uint8_t(image.Bits - 1);
  out.insert(out.end(), {uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8), uint8_t(0x80 | depth << 4 | depth),
                         uint8_t(image.Background), 0});
  PutRgbTable(out, image.Table);
  const int32_t delay = std::clamp(Params->GIF_DelayTime, 0, 65535);
  out.insert(out.end(), {0x21, kGraphicControl, 4,
                         uint8_t((Params->GIF_Disposal & 7) << 2 | (Params->GIF_HasTransparentColor ? 1 : 0)),
                         uint8_t(delay), uint8_t(delay >> 8), uint8_t(image.Transparent), 0});
  const int32_t x = std::clamp(Params->GIF_XPos, 0, 65535), y = std::clamp(Params->GIF_YPos, 0, 65535);
  out.insert(out.end(), {kImage, uint8_t(x), uint8_t(x >> 8), uint8_t(y), uint8_t(y >> 8), uint8_t(w), uint8_t(w >> 8),
                         uint8_t(h), uint8_t(h >> 8), uint8_t(Params->GIF_Interlaced ? 0x40 : 0)});
  StreamWriteChecked(Stream, failed, out.data(), int64_t(out.size()));
  Fire(Progress, 70);
  if (Aborting) return;

  TPXGifLzwCompressProc encode = Params->GIF_LZWCompress;
  if (!encode) encode = GlobalSettingsInstance()->FGIFLZWCompress;
  if (!encode) {
    Aborting = true;
    return;
  }
  {
    // The coder writes into memory, so a short write of the target is seen here. A short write
  // sets the flag once everything was written.
    TMemoryStream data;
    encode(&data, h, w, image.Bits, image.Indices.data(), Params->GIF_Interlaced);
    StreamWriteChecked(Stream, failed, data.Memory(), data.Size());
  }

  out.assign({0x21, kComment});
  for (const std::string& line : Params->GIF_Comments)
    for (size_t at = 0; at < line.size(); at += 255) {
      const size_t n = std::min<size_t>(255, line.size() - at);
      out.push_back(uint8_t(n));
      out.insert(out.end(), line.begin() + ptrdiff_t(at), line.begin() + ptrdiff_t(at + n));
    }
  out.insert(out.end(), {0, kTrailer});
  StreamWriteChecked(Stream, failed, out.data(), int64_t(out.size()));
  if (failed) Aborting = true;
  Fire(Progress, 100);
}

}  // namespace

void DecodeGifStream(TStream* Stream, TPXBitmap* Bitmap, int32_t& ImageCount, TIOParams* Params,
                     TPXProgressRecord& Progress, bool PreviewOnly, std::unique_ptr<TPXMask>& Mask, bool NoMask) {
  ImageCount = 0;
  RunGuarded(Progress, Stream && Params && (Bitmap || PreviewOnly), [&](TPXAbortFlag& Aborting) {
    Fire(Progress, 0);
    if (Aborting) return;
    std::unique_ptr<TPXBufferedReadStream> buffer;
    TGifReader reader(ReadableStream(Stream, buffer), Bitmap, Params, Progress, PreviewOnly, Mask, NoMask, Aborting);
    ImageCount = reader.Run();
    Params->SetImageCount(ImageCount);
    if (!Aborting) Fire(Progress, 100);
  });
}

void EncodeGifStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress) {
  RunGuarded(Progress, Stream && Bitmap && Params, [&](TPXAbortFlag& Aborting) {
    EncodeGifBody(Stream, Bitmap, Params, Progress, Aborting);
  });
}

int32_t DeleteGifFrame(std::string_view FileName, int32_t Index, bool Save) {
  TMemoryStream file;
  {
    TFileStream source(FileName, fmOpenRead | fmShareDenyNone);
    file.CopyFrom(&source, 0);
  }
  file.Seek(0, soBeginning);
  TMemoryStream copy;
  if (!PassHeader(&file, &copy)) return 0;
  const int32_t kept = WalkFrames(&file, &copy, Index);
  if (Save) SaveBytesToFile(FileName, copy.Memory(), copy.Size());
  return kept;
}

int32_t GetGifFrameCount(TStream* Stream) {
  if (!Stream) return 0;
  const int64_t at = Stream->Position();
  int32_t count = 0;
  try {
    std::unique_ptr<TPXBufferedReadStream> buffer;
    TStream* s = ReadableStream(Stream, buffer);
    if (PassHeader(s, nullptr)) count = WalkFrames(s, nullptr, -1);
  } catch (const std::exception&) {
    count = 0;
  }
  Stream->Seek(at, soBeginning);
  return count;
}

void RegisterGifCodec() {
  TPXFormatRow row;
  row.Decode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                  bool PreviewOnly, std::unique_ptr<TPXMask>& Mask) -> int32_t {
    int32_t count = 0;
    DecodeGifStream(Stream, Bitmap, count, Params, Progress, PreviewOnly, Mask, false);
    return count;
  };
  row.Encode = EncodeWithoutMask<EncodeGifStream>;
  row.PageCount = GetGifFrameCount;
  row.Rules.IntegerResult = true;
  row.Rules.MaskToAlpha = true;
  row.Rules.MultiPage = true;
  RegisterFormatRow(pxftGIF, std::move(row));
}
