// Helpers of the GIF codec tests: decoding bytes through DecodeGifStream, encoding a bitmap,
// fixtures made by gifbuild and Pillow, and giflib's view of a file (giftext's frames, colour
// maps and raw indices), parsed here independently of our reader.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/giffilter.h"
#include "codecs/giflzw.h"
#include "core/hypxdefs.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "tests/codecs/CodecTestSupport.h"
#include "tests/codecs/SmallCodecTestSupport.h"
#include "tests/common/TestSupport.h"

namespace giftest {

using namespace codectest;

constexpr const char* kGiftext = "/usr/bin/giftext";
constexpr const char* kGifbuild = "/usr/bin/gifbuild";
constexpr const char* kGif2rgb = "/usr/bin/gif2rgb";

inline bool HaveGiflib() { return ToolExists(kGiftext) && ToolExists(kGifbuild) && ToolExists(kGif2rgb); }

using smallcodec::Progressed;

struct Decoded {
  std::unique_ptr<TPXBitmap> Bitmap = std::make_unique<TPXBitmap>();
  std::unique_ptr<TIOParams> Params = std::make_unique<TIOParams>();
  std::unique_ptr<TPXMask> Mask;
  int32_t Count = -1;
  bool Aborted = false;
  std::vector<int32_t> Values;
  TRGB Pixel(int X, int Y) { return Bitmap->GetPixelRGB(X, Y); }
};

struct DecodeOptions {
  int32_t Index = 0;
  bool Native = false;
  bool Preview = false;
  bool NoMask = false;
};

inline Decoded DecodeGif(const std::string& Data, DecodeOptions O = {}) {
  Decoded d;
  d.Params->GIF_ImageIndex = O.Index;
  d.Params->NativePixelFormat = O.Native;
  auto s = StreamOf(Data);
  Progressed run;
  DecodeGifStream(s.get(), d.Bitmap.get(), d.Count, d.Params.get(), run.Progress, O.Preview, d.Mask, O.NoMask);
  d.Aborted = run.Aborted;
  d.Values = run.Values;
  return d;
}

inline std::string EncodeGif(TPXBitmap* B, TIOParams* P, bool* Aborted = nullptr) {
  TMemoryStream s;
  Progressed run;
  EncodeGifStream(&s, B, P, run.Progress);
  if (Aborted) *Aborted = run.Aborted;
  else EXPECT_FALSE(run.Aborted);
  return BytesOf(s);
}

// The index of a pixel of a decoded picture: px8p directly, px1g its bit, px24RGB through the
// colour map (first match).
inline int IndexAt(Decoded& D, int X, int Y) {
  TPXBitmap* b = D.Bitmap.get();
  if (b->PixelFormat() == px8p) return b->Scanline(Y)[X];
  if (b->PixelFormat() == px1g) return (b->Scanline(Y)[X >> 3] >> (7 - (X & 7))) & 1;
  const TRGB c = b->GetPixelRGB(X, Y);
  for (size_t i = 0; i < D.Params->ColorMap.size(); ++i) {
    const TRGB& m = D.Params->ColorMap[i];
    if (m.r == c.r && m.g == c.g && m.b == c.b) return int(i);
  }
  return -1;
}

// giflib's view of one frame.
struct GiflibFrame {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool Interlaced = false;
  std::vector<uint8_t> Indices;  // row order
  std::vector<TRGB> Map;         // the frame's own table, else the global one
  bool HasControl = false;       // a graphic control extension came before the frame
  int Disposal = 0, Delay = 0, TransparentIndex = 0;
  bool Transparent = false;
};

struct GiflibView {
  std::string Text;  // giftext's plain output
  int ScreenWidth = 0, ScreenHeight = 0, Background = 0, Aspect = 0;
  std::vector<TRGB> GlobalMap;
  std::vector<GiflibFrame> Frames;
};

// Rows of a frame in file order, put into row order.
inline std::vector<uint8_t> Deinterlace(const std::vector<uint8_t>& FileOrder, int W, int H) {
  std::vector<uint8_t> out(FileOrder.size());
  size_t at = 0;
  const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = start[pass]; y < H; y += step[pass], at += size_t(W))
      std::copy_n(FileOrder.begin() + ptrdiff_t(at), W, out.begin() + ptrdiff_t(y) * W);
  return out;
}

// Colour map entries "  N: RRh GGh BBh" of a block of giftext -c output.
inline std::vector<TRGB> ParseMap(const std::string& Block) {
  std::vector<TRGB> map;
  for (size_t colon = Block.find(": "); colon != std::string::npos; colon = Block.find(": ", colon + 1)) {
    size_t digits = colon;
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(Block[digits - 1]))) --digits;
    int index = -1;
    unsigned r = 0, g = 0, b = 0;
    if (digits < colon && std::sscanf(Block.c_str() + digits, "%d: %2xh %2xh %2xh", &index, &r, &g, &b) == 4 &&
        index == int(map.size()))
      map.push_back(TRGB{uint8_t(b), uint8_t(g), uint8_t(r)});
  }
  return map;
}

// The integer after Key in Text from position From (Value untouched when absent); answers the
// position after it, npos when Key is missing.
inline size_t IntAfter(const std::string& Text, const std::string& Key, int& Value, size_t From = 0) {
  const size_t at = Text.find(Key, From);
  if (at == std::string::npos) return at;
  Value = std::atoi(Text.c_str() + at + Key.size());
  return at + Key.size();
}

inline bool ReadGiflib(const TestTempDir& Dir, const std::string& File, GiflibView& V) {
  const std::string text = Dir.File("giftext.txt"), colours = Dir.File("giftext-c.txt"), raw = Dir.File("giftext.raw");
  if (RunTool({kGiftext, File}, text) != 0 || RunTool({kGiftext, "-c", File}, colours) != 0 ||
      RunTool({kGiftext, "-r", File}, raw) != 0)
    return false;
  V.Text = ReadFile(text);
  if (IntAfter(V.Text, "Screen Size - Width = ", V.ScreenWidth) == std::string::npos) return false;
  IntAfter(V.Text, "Height = ", V.ScreenHeight);
  IntAfter(V.Text, "BackGround = ", V.Background);
  IntAfter(V.Text, "Aspect = ", V.Aspect);
  // The colour-map listing in blocks: the header's, then one per image.
  const std::string c = ReadFile(colours);
  const size_t firstImage = c.find("Image #");
  V.GlobalMap = ParseMap(c.substr(0, firstImage));
  std::vector<std::string> imageBlocks;
  for (size_t at = firstImage; at != std::string::npos;) {
    const size_t next = c.find("Image #", at + 1);
    imageBlocks.push_back(c.substr(at, next == std::string::npos ? std::string::npos : next - at));
    at = next;
  }
  const std::string data = ReadFile(raw);
  size_t offset = 0;
  for (size_t k = 0;; ++k) {
    const size_t head = V.Text.find("Image #" + std::to_string(k + 1) + ":");
    if (head == std::string::npos) break;
    GiflibFrame f;
    size_t at = IntAfter(V.Text, "Left = ", f.Left, head);
    at = IntAfter(V.Text, "Top = ", f.Top, at);
    at = IntAfter(V.Text, "Width = ", f.Width, at);
    at = IntAfter(V.Text, "Height = ", f.Height, at);
    if (at == std::string::npos) return false;
    f.Interlaced = V.Text.compare(V.Text.find("Image is ", at), 19, "Image is Interlaced") == 0;
    const size_t n = size_t(f.Width) * size_t(f.Height);
    if (offset + n > data.size()) return false;
    f.Indices.assign(data.begin() + ptrdiff_t(offset), data.begin() + ptrdiff_t(offset + n));
    offset += n;
    if (f.Interlaced) f.Indices = Deinterlace(f.Indices, f.Width, f.Height);
    // The graphic control extension between the previous image and this one.
    const size_t from = k == 0 ? 0 : V.Text.find("Image #" + std::to_string(k) + ":");
    const std::string before = V.Text.substr(from, head - from);
    if (IntAfter(before, "Disposal Mode: ", f.Disposal) != std::string::npos) {
      f.HasControl = true;
      f.Transparent = before.find("Transparency on: yes") != std::string::npos;
      IntAfter(before, "DelayTime: ", f.Delay);
      IntAfter(before, "Transparent Index: ", f.TransparentIndex);
    }
    // The frame's block of the listing: its own map ends where the next block's lines start.
    std::string block = k < imageBlocks.size() ? imageBlocks[k] : std::string();
    const size_t ext = block.find("GIF89");
    if (ext != std::string::npos) block = block.substr(0, ext);
    f.Map = block.find("Image Has Color Map") != std::string::npos ? ParseMap(block) : V.GlobalMap;
    V.Frames.push_back(std::move(f));
  }
  return !V.Frames.empty();
}

// Runs gifbuild on a text description of the GIF; the GIF goes to File.
inline bool Gifbuild(const TestTempDir& Dir, const std::string& Spec, const std::string& File) {
  const std::string spec = Dir.File("spec.txt");
  WriteFile(spec, Spec);
  return RunTool({kGifbuild, spec}, File) == 0;
}

// Runs a Python script with Pillow; argv[1] is Arg.
inline bool Pillow(const TestTempDir& Dir, const std::string& Script, const std::string& Arg,
                   const std::string& Out = "") {
  return RunTool({kPython, "-c", "import sys\nfrom PIL import Image\n" + Script, Arg},
                 Out.empty() ? Dir.File("pillow.log") : Out) == 0;
}

// LZW image data (code-size byte, sub-blocks, terminator) of W x H indices.
inline std::string LzwData(const std::vector<uint8_t>& Indices, int W, int H, int Bits, bool Interlaced = false) {
  TMemoryStream s;
  GifLzwEncode(&s, H, W, Bits, Indices.data(), Interlaced);
  return BytesOf(s);
}

// A GIF89a built byte by byte: a screen of W x H, the global table Global (none when empty,
// padded with black to 2^Bits entries), Extra blocks, one frame of the indices and the trailer.
inline std::string HandGif(int W, int H, const std::vector<TRGB>& Global, int Bits, const std::vector<uint8_t>& Indices,
                           const std::string& Extra = "", int CodeSize = 0) {
  std::string g = "GIF89a";
  g += {char(W), char(W >> 8), char(H), char(H >> 8)};
  g += char(Global.empty() ? 0 : 0x80 | (Bits - 1) << 4 | (Bits - 1));
  g += {0, 0};
  if (!Global.empty())
    for (int i = 0; i < (1 << Bits); ++i) {
      const TRGB c = i < int(Global.size()) ? Global[size_t(i)] : TRGB{0, 0, 0};
      g += {char(c.r), char(c.g), char(c.b)};
    }
  g += Extra;
  g += {',', 0, 0, 0, 0, char(W), char(W >> 8), char(H), char(H >> 8), 0};
  g += LzwData(Indices, W, H, CodeSize ? CodeSize : Bits);
  return g + ';';
}

}  // namespace giftest
