// The TIFF writer: layout requests read back by us and by libtiff, strips, PackBits, insertion,
// the tag structure without a bitmap and the caller's bitmap left alone.
#include <gtest/gtest.h>

#include "codecs/tiffilt_impl.h"
#include "io/pxtiffifd.h"
#include "tests/codecs/TiffTestSupport.h"

using namespace tifftest;

namespace {

enum class Pic { FewColours, Grey, Many, Smooth, Alpha, TwoColours, Grey8, Grey16, Float, Palette, Cmyk, Rgb48, Bilevel };

std::unique_ptr<TPXBitmap> MakePicture(Pic K, int W = 37, int H = 23) {
  auto b = std::make_unique<TPXBitmap>();
  const TPXPixelFormat f = K == Pic::Grey8 ? px8g : K == Pic::Grey16 ? px16g : K == Pic::Float ? px32f
                           : K == Pic::Palette ? px8p : K == Pic::Cmyk ? pxCMYK : K == Pic::Rgb48 ? pxRGB48
                           : K == Pic::Bilevel ? px1g : px24RGB;
  b->Allocate(W, H, f);
  if (f == px8p)
    for (int i = 0; i < 256; ++i) b->SetPaletteColor(i, TRGB{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3)});
  for (int y = 0; y < H; ++y) {
    uint8_t* r = b->Scanline(y);
    for (int x = 0; x < W; ++x) {
      const uint8_t v = uint8_t(x * 7 + y * 11);
      switch (K) {
        case Pic::FewColours: reinterpret_cast<TRGB*>(r)[x] = TRGB{uint8_t((x % 5) * 50), uint8_t((y % 7) * 30), 90}; break;
        case Pic::Grey: case Pic::Alpha: reinterpret_cast<TRGB*>(r)[x] = TRGB{v, v, v}; break;
        case Pic::Many: reinterpret_cast<TRGB*>(r)[x] = TRGB{v, uint8_t(x * 13), uint8_t(y * 5 + x)}; break;
        case Pic::Smooth: reinterpret_cast<TRGB*>(r)[x] = TRGB{uint8_t(x * 4 + 40), uint8_t(y * 5 + 30), 120}; break;
        case Pic::TwoColours:
          reinterpret_cast<TRGB*>(r)[x] = (x + y) % 3 ? TRGB{200, 10, 10} : TRGB{20, 220, 240};
          break;
        case Pic::Grey8: case Pic::Palette: r[x] = v; break;
        case Pic::Grey16: reinterpret_cast<uint16_t*>(r)[x] = uint16_t(v * 257 + x); break;
        case Pic::Float: reinterpret_cast<float*>(r)[x] = float(v) / 255.0f; break;
        case Pic::Cmyk: reinterpret_cast<TCMYK*>(r)[x] = TCMYK{v, uint8_t(255 - v), uint8_t(x * 9), uint8_t(y * 4)}; break;
        case Pic::Rgb48: reinterpret_cast<TRGB48*>(r)[x] = TRGB48{uint16_t(v * 250), uint16_t(x * 999), uint16_t(y * 777)}; break;
        case Pic::Bilevel: if ((x * y + x) % 3 == 0) r[x / 8] |= uint8_t(0x80 >> (x % 8)); break;
      }
    }
  }
  if (K == Pic::Alpha) {
    TPXBitmap* a = b->AlphaChannel();
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) a->Scanline(y)[x] = uint8_t(x * 255 / (W - 1));
  }
  return b;
}

std::string Encode(TPXBitmap* B, TIOParams& P, bool& Aborted) {
  TMemoryStream s;
  TPXAbortFlag ab{false};
  TPXProgressRecord pr;
  pr.Aborting = &ab;
  EncodeTiffStream(&s, false, B, &P, pr);
  Aborted = ab;
  return codectest::BytesOf(s);
}

TPXTIFFIFDReader FirstIfd(TMemoryStream& S) {
  TPXTIFFIFDReader r;
  r.Stream = &S;
  S.Seek(4, soBeginning);
  const uint32_t first = ReadDWordOrdered(&S, false);
  int32_t n = 0;
  r.ReadIFD(0, n, first);
  return r;
}

// The picture as 8-bit RGB (alpha as a separate array), the way both readers should see it.
TRGB Expected(TPXBitmap& B, int x, int y) {
  TPXBitmap c;
  c.Allocate(1, 1, px24RGB);
  switch (B.PixelFormat()) {
    case px24RGB: return PixelOf(B, x, y);
    case px1g: return ((B.Scanline(y)[x / 8] >> (7 - x % 8)) & 1) ? TRGB{255, 255, 255} : TRGB{0, 0, 0};
    case px8g: { const uint8_t v = B.Scanline(y)[x]; return TRGB{v, v, v}; }
    case px16g: { const uint8_t v = uint8_t(reinterpret_cast<uint16_t*>(B.Scanline(y))[x] >> 8); return TRGB{v, v, v}; }
    case px32f: { const uint8_t v = uint8_t(std::lround(reinterpret_cast<float*>(B.Scanline(y))[x] * 255)); return TRGB{v, v, v}; }
    case px8p: { TRGB c2; B.GetPaletteColor(B.Scanline(y)[x], c2); return c2; }
    case pxRGB48: { const TRGB48 p = reinterpret_cast<TRGB48*>(B.Scanline(y))[x]; return TRGB{uint8_t(p.b >> 8), uint8_t(p.g >> 8), uint8_t(p.r >> 8)}; }
    default: return TRGB{};
  }
}

}  // namespace

TEST(TiffWrite, LayoutRequestsReadBackByUsAndLibtiff) {
  struct Case {
    const char* Name;
    Pic Picture;
    int C, S, B;
    int WantPhotometric, WantSamples, WantBits, WantCompression, WantPredictor;
    bool WantColorMap;
    bool Lossy = false;  // quantized, fewer bits or JPEG: only the two readers are compared
    bool Streamed = false;  // deflate through zlib's streaming, as pages too big to compress whole
  };
  const Case cases[] = {
      {"few colours as palette", Pic::FewColours, 0, 1, 8, 3, 1, 8, 1, 0, true},
      {"grey as grey", Pic::Grey, 0, 1, 8, 1, 1, 8, 1, 0, false},
      {"alpha as RGBA", Pic::Alpha, 0, 1, 8, 2, 4, 8, 1, 0, false},
      {"RGB LZW with predictor", Pic::Many, 5, 3, 8, 2, 3, 8, 5, 2, false},
      {"RGBA LZW without predictor", Pic::Alpha, 5, 3, 8, 2, 4, 8, 5, 0, false},
      {"RGBA deflate keeps alpha", Pic::Alpha, 9, 3, 8, 2, 4, 8, 32946, 0, false},
      {"two colours Group 4", Pic::TwoColours, 4, 1, 1, 0, 1, 1, 4, 0, false},
      {"two colours Group 3 2D", Pic::TwoColours, 3, 1, 1, 0, 1, 1, 3, 0, false},
      {"two colours modified Huffman", Pic::TwoColours, 1, 1, 1, 0, 1, 1, 2, 0, false},
      {"many colours Group 4 at 8 bits", Pic::Many, 4, 1, 8, 3, 1, 8, 1, 0, true, true},
      {"RGB PackBits", Pic::Many, 8, 3, 8, 2, 3, 8, 32773, 0, false},
      {"RGB deflate", Pic::Many, 9, 3, 8, 2, 3, 8, 32946, 0, false},
      {"RGB deflate streamed", Pic::Many, 9, 3, 8, 2, 3, 8, 32946, 0, false, false, true},
      {"RGBA deflate streamed", Pic::Alpha, 9, 3, 8, 2, 4, 8, 32946, 0, false, false, true},
      {"RGB JPEG", Pic::Smooth, 7, 3, 8, 6, 3, 8, 7, 0, false, true},
      {"px8g at 8 bits", Pic::Grey8, 0, 3, 8, 1, 1, 8, 1, 0, false},
      {"px8g at 4 bits", Pic::Grey8, 0, 1, 4, 1, 1, 4, 1, 0, false, true},
      {"px16g at 16 bits", Pic::Grey16, 5, 1, 16, 1, 1, 16, 5, 0, false},
      {"px16g at 8 bits", Pic::Grey16, 0, 1, 8, 1, 1, 8, 1, 0, false},
      {"px32f", Pic::Float, 9, 3, 8, 1, 1, 32, 32946, 0, false},
      {"px8p", Pic::Palette, 0, 3, 8, 3, 1, 8, 1, 0, true},
      {"pxCMYK", Pic::Cmyk, 5, 3, 8, 5, 4, 8, 5, 0, false},
      {"pxRGB48", Pic::Rgb48, 9, 3, 8, 2, 3, 16, 32946, 0, false},
      {"px1g", Pic::Bilevel, 0, 1, 1, 1, 1, 1, 1, 0, false},
      {"px1g Group 4", Pic::Bilevel, 4, 1, 1, 0, 1, 1, 4, 0, false},
  };
  TestTempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    auto pic = MakePicture(c.Picture);
    TPXBitmap before;
    before.Assign(pic.get());
    TIOParams p;
    p.TIFF_Compression = uint8_t(c.C);
    p.SamplesPerPixel = c.S;
    p.BitsPerSample = c.B;
    p.TIFF_FillOrder = 1;
    bool aborted = false;
    const int64_t limit = tiffilt_detail::WholeDeflateLimit;
    if (c.Streamed) tiffilt_detail::WholeDeflateLimit = 0;
    const std::string bytes = Encode(pic.get(), p, aborted);
    tiffilt_detail::WholeDeflateLimit = limit;
    ASSERT_FALSE(aborted);
    // The caller's picture is unchanged.
    ASSERT_EQ(pic->PixelFormat(), before.PixelFormat());
    for (int y = 0; y < pic->Height(); ++y)
      ASSERT_EQ(std::memcmp(pic->Scanline(y), before.Scanline(y), size_t(pic->RowLen())), 0);
    EXPECT_EQ(pic->HasAlphaChannel(), before.HasAlphaChannel());
    // The tags.
    auto s = codectest::StreamOf(bytes);
    TPXTIFFIFDReader r = FirstIfd(*s);
    EXPECT_EQ(r.ReadInteger(262, -1), c.WantPhotometric);
    EXPECT_EQ(r.ReadInteger(277, -1), c.WantSamples);
    EXPECT_EQ(r.ReadInteger(258, -1), c.WantBits);
    EXPECT_EQ(r.GetTagCount(r.FindTag(258)), uint64_t(c.WantSamples));
    EXPECT_EQ(r.ReadInteger(259, -1), c.WantCompression);
    EXPECT_EQ(r.ReadInteger(317, 0), c.WantPredictor);
    EXPECT_EQ(r.FindTag(320) >= 0, c.WantColorMap);
    if (c.WantColorMap) {
      EXPECT_EQ(r.GetTagCount(r.FindTag(320)), 768u);
    }
    if (c.WantSamples == 4 && c.WantPhotometric == 2) {
      EXPECT_EQ(r.ReadInteger(338, -1), 2);
    }
    if (c.WantCompression == 3 || c.WantCompression == 4) {
      EXPECT_EQ(r.ReadInteger(292, -1), c.C == 3 ? 1 : 0);
      EXPECT_EQ(r.ReadInteger(293, -1), 0);
      EXPECT_EQ(r.ReadInteger(327, -1), 0);
      EXPECT_EQ(r.ReadInteger(266, -1), 1);
    }
    // libtiff reads every strip without complaint.
    const std::string file = dir.File("w.tif");
    codectest::WriteFile(file, bytes);
    int pages = 0;
    EXPECT_TRUE(LibtiffReadsAll(file, pages));
    // Apart from the fax option tag of the other group, which libtiff only names as unknown.
    std::string complaints;
    const std::string other = c.WantCompression == 3 ? "tag 293 (0x125)" : "tag 292 (0x124)";
    for (size_t at = 0, end; at < Complaints().size(); at = end + 1) {
      end = Complaints().find('\n', at);
      if (end == std::string::npos) end = Complaints().size();
      const std::string line = Complaints().substr(at, end - at);
      const bool fax = c.WantCompression == 3 || c.WantCompression == 4;
      if (!(fax && line.find("Unknown field with " + other) != std::string::npos)) complaints += line + "\n";
    }
    EXPECT_EQ(complaints, "");
    // Both readers give our pixels (libtiff's RGBA reading takes no float samples).
    int w = 0, h = 0;
    const bool floats = c.Picture == Pic::Float;
    const std::vector<uint32_t> lib = floats ? std::vector<uint32_t>() : LibtiffRgba(file, w, h);
    if (!floats) {
      ASSERT_EQ(w, pic->Width());
    }
    Decoded d;
    Decode(bytes, d);
    ASSERT_FALSE(d.Aborting);
    const bool jpeg = c.C == 7;
    const bool two = c.Picture == Pic::TwoColours;
    TPXBitmap rgb;
    rgb.Allocate(pic->Width(), pic->Height(), px24RGB);
    rgb.ConvertPixelFormat(pic.get());
    int64_t sumLib = 0, sumSource = 0, worstLib = 0, worstSource = 0;
    for (int y = 0; y < pic->Height(); ++y)
      for (int x = 0; x < pic->Width(); ++x) {
        TRGB e = pic->PixelFormat() == pxCMYK || pic->PixelFormat() == px8p ? PixelOf(rgb, x, y) : Expected(*pic, x, y);
        if (two) e = (x + y) % 3 ? TRGB{0, 0, 0} : TRGB{255, 255, 255};  // the darker colour is black
        const TRGB o = d.Bitmap.PixelFormat() == px1g
                           ? (((d.Bitmap.Scanline(y)[x / 8] >> (7 - x % 8)) & 1) ? TRGB{255, 255, 255} : TRGB{})
                           : PixelOf(d.Bitmap, x, y);
        const int a = pic->HasAlphaChannel() ? pic->AlphaChannel()->Scanline(y)[x] : 255;
        const int ds = std::max({std::abs(o.r - e.r), std::abs(o.g - e.g), std::abs(o.b - e.b)});
        sumSource += ds;
        worstSource = std::max<int64_t>(worstSource, ds);
        if (pic->HasAlphaChannel()) {
          ASSERT_TRUE(d.Mask);
          EXPECT_EQ(d.Mask->GetPixel(x, y), a);
        }
        if (floats) continue;
        const uint32_t q = lib[size_t(y) * size_t(w) + size_t(x)];
        // libtiff hands alpha back premultiplied.
        const int dl = std::max({std::abs(int(TIFFGetR(q)) - o.r * a / 255), std::abs(int(TIFFGetG(q)) - o.g * a / 255),
                                 std::abs(int(TIFFGetB(q)) - o.b * a / 255)});
        if (pic->HasAlphaChannel()) {
          EXPECT_EQ(int(TIFFGetA(q)), a);
        }
        sumLib += dl;
        worstLib = std::max<int64_t>(worstLib, dl);
      }
    const double n = double(pic->Width()) * pic->Height();
    if (jpeg) {
      EXPECT_LE(double(sumLib) / n, 3.0);
      EXPECT_LE(double(sumSource) / n, 3.0);
    } else {
      if (pic->PixelFormat() != pxCMYK) {  // libtiff converts CMYK by its own formula
        EXPECT_LE(worstLib, 1);
      }
      if (!c.Lossy) {
        EXPECT_LE(worstSource, 0);
      }
    }
  }
}

TEST(TiffWrite, StripsAndPackBits) {
  struct Case {
    int W, H, StripCount, WantRows, WantStrips;
  };
  const Case cases[] = {{1000, 1000, 0, 200, 5}, {10, 100, 3, 33, 4}, {10, 5, 9, 1, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.H);
    TPXBitmap b;
    b.Allocate(c.W, c.H, px24RGB);
    TIOParams p;
    p.SamplesPerPixel = 3;
    p.TIFF_RowsPerStrip = c.StripCount;
    bool aborted = false;
    const std::string bytes = Encode(&b, p, aborted);
    auto s = codectest::StreamOf(bytes);
    TPXTIFFIFDReader r = FirstIfd(*s);
    EXPECT_EQ(r.ReadInteger(278, -1), c.WantRows);
    EXPECT_EQ(r.GetTagCount(r.FindTag(273)), uint64_t(c.WantStrips));
  }
  // 130 equal bytes: a run of 128 and a literal of 2.
  TPXBitmap g;
  g.Allocate(130, 1, px8g);
  std::memset(g.Scanline(0), 7, 130);
  TIOParams p;
  p.TIFF_Compression = 8;
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 8;
  bool aborted = false;
  const std::string bytes = Encode(&g, p, aborted);
  auto s = codectest::StreamOf(bytes);
  TPXTIFFIFDReader r = FirstIfd(*s);
  const size_t at = size_t(r.ReadInteger(273, 0));
  EXPECT_EQ(r.ReadInteger(279, 0), 5);
  EXPECT_EQ(bytes.substr(at, 5), std::string("\x81\x07\x01\x07\x07", 5));
}

TEST(TiffWrite, InsertionPlacesPages) {
  TestTempDir dir;
  auto a = MakePicture(Pic::Grey8, 10, 10), b = MakePicture(Pic::Grey8, 20, 10), c = MakePicture(Pic::Grey8, 30, 10);
  TIOParams p;
  p.SamplesPerPixel = 1;
  bool ab = false;
  const std::string first = Encode(a.get(), p, ab);
  auto insert = [&](const std::string& File, TPXBitmap* B, int Index, bool& Aborted) {
    auto s = codectest::StreamOf(File);
    TIOParams q;
    q.SamplesPerPixel = 1;
    q.TIFF_ImageIndex = Index;
    TPXAbortFlag f{false};
    TPXProgressRecord pr;
    pr.Aborting = &f;
    const int32_t n = EncodeTiffStream(s.get(), true, B, &q, pr);
    Aborted = f;
    return std::make_pair(n, codectest::BytesOf(*s));
  };
  auto [n1, two] = insert(first, b.get(), 0, ab);  // before the first page
  EXPECT_EQ(n1, 2);
  auto [n2, three] = insert(two, c.get(), 99, ab);  // past the end: last
  EXPECT_EQ(n2, 3);
  const std::string file = dir.File("i.tif");
  codectest::WriteFile(file, three);
  int pages = 0;
  EXPECT_TRUE(LibtiffReadsAll(file, pages));
  EXPECT_EQ(pages, 3);
  for (int k = 0; k < 3; ++k) {
    int w = 0, h = 0;
    LibtiffRgba(file, w, h, k);
    EXPECT_EQ(w, (k == 0 ? 20 : k == 1 ? 10 : 30));
  }
  // A chain whose last directory links back to the first is refused with nothing written,
  // wherever the page was to go.
  {
    std::string cyclic = two;
    auto le32 = [&](size_t At) {
      return uint32_t(uint8_t(cyclic[At])) | uint32_t(uint8_t(cyclic[At + 1])) << 8 |
             uint32_t(uint8_t(cyclic[At + 2])) << 16 | uint32_t(uint8_t(cyclic[At + 3])) << 24;
    };
    auto nextOf = [&](uint32_t Ifd) { return size_t(Ifd) + 2 + 12 * (uint8_t(cyclic[Ifd]) | uint8_t(cyclic[Ifd + 1]) << 8); };
    const uint32_t ifd0 = le32(4), ifd1 = le32(nextOf(ifd0));
    ASSERT_EQ(le32(nextOf(ifd1)), 0u);
    for (int k = 0; k < 4; ++k) cyclic[nextOf(ifd1) + size_t(k)] = char(ifd0 >> (8 * k));
    for (const int index : {0, 1, 99}) {
      bool aborted = false;
      auto [n, after] = insert(cyclic, c.get(), index, aborted);
      EXPECT_EQ(n, 0) << index;
      EXPECT_TRUE(aborted) << index;
      EXPECT_EQ(after, cyclic) << index;
    }
  }
  // Big-endian and BigTIFF targets are refused with nothing written.
  for (const char* opt : {"-B", "-8"}) {
    const std::string src = dir.File("s.tif"), out = dir.File("o.tif");
    codectest::WriteFile(src, first);
    ASSERT_EQ(RunTool({"/usr/bin/tiffcp", opt, src, out}, dir.File("log")), 0);
    const std::string target = codectest::ReadFile(out);
    bool aborted = false;
    auto [n, after] = insert(target, b.get(), 0, aborted);
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(after, target);
  }
}

TEST(TiffWrite, ShortWriteAbortsWithoutDirectory) {
  // A stream that takes only 100 bytes.
  class TShort : public TMemoryStream {
   public:
    int32_t Write(const void* B, int32_t N) override {
      const int32_t room = int32_t(std::max<int64_t>(0, 100 - Position()));
      return TMemoryStream::Write(B, std::min(N, room));
    }
  } s;
  auto pic = MakePicture(Pic::Many);
  TIOParams p;
  p.SamplesPerPixel = 3;
  TPXAbortFlag ab{false};
  TPXProgressRecord pr;
  pr.Aborting = &ab;
  EXPECT_EQ(EncodeTiffStream(&s, false, pic.get(), &p, pr), 0);
  EXPECT_TRUE(ab);
  const std::string head = codectest::BytesOf(s).substr(0, 8);
  EXPECT_EQ(head, std::string(8, '\0'));  // the header never got its directory
}
