// The TIFF reader on structures built byte by byte: directories and pages, tags and parameters,
// strips and tiles, the conversions, and the faults it refuses.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

#include "codecs/jpegfilt.h"
#include "codecs/tiflzw.h"
#include "io/pxtiffifd.h"
#include "tests/codecs/TiffTestSupport.h"
#include "tests/io/TiffBuild.h"

using namespace tifftest;
using tiffbuild::Builder;
using tiffbuild::Ifd;

namespace {

struct Page {
  int W = 4, H = 2;
  std::vector<uint64_t> Bits{8};  // empty: no tag
  int Samples = 1;
  int Photometric = 1;
  int Compression = 1;
  std::vector<std::string> Strips;  // one per strip
  int RowsPerStrip = 0;             // 0: no tag
  bool ByteCounts = true;
  std::function<void(Ifd&)> More;
};

void AddPage(Builder& B, const Page& P) {
  std::vector<uint64_t> offsets, counts;
  for (const std::string& s : P.Strips) {
    offsets.push_back(B.AddBlob(s));
    counts.push_back(s.size());
  }
  Ifd& d = B.NewIfd();
  Builder::Add(d, 256, ttLong, {uint64_t(P.W)});
  Builder::Add(d, 257, ttLong, {uint64_t(P.H)});
  if (!P.Bits.empty()) Builder::AddV(d, 258, ttShort, P.Bits);
  Builder::Add(d, 259, ttShort, {uint64_t(P.Compression)});
  Builder::Add(d, 262, ttShort, {uint64_t(P.Photometric)});
  Builder::AddV(d, 273, ttLong, offsets);
  Builder::Add(d, 277, ttShort, {uint64_t(P.Samples)});
  if (P.RowsPerStrip) Builder::Add(d, 278, ttLong, {uint64_t(P.RowsPerStrip)});
  if (P.ByteCounts) Builder::AddV(d, 279, ttLong, counts);
  if (P.More) P.More(d);
}

std::string Tiff(const Page& P, bool LE = true) {
  Builder b(LE);
  AddPage(b, P);
  return b.Build();
}

std::string Bytes(std::initializer_list<int> V) {
  std::string s;
  for (int v : V) s.push_back(char(v));
  return s;
}

std::string Lzw(const std::string& Data) {
  TMemoryStream s;
  void* state = nullptr;
  TiffLzwEncode(nullptr, 0, &s, state);
  TiffLzwEncode(reinterpret_cast<const uint8_t*>(Data.data()), int32_t(Data.size()), &s, state);
  TiffLzwEncode(nullptr, 0, &s, state);
  return codectest::BytesOf(s);
}

struct Read : Decoded {
  explicit Read(const std::string& B, std::function<void(TIOParams&)> Set = {}, bool IgnoreAlpha = false,
                bool ExifThumbnail = false) {
    if (Set) Set(Params);
    auto s = codectest::StreamOf(B);
    TPXProgressRecord pr;
    pr.Aborting = &Aborting;
    DecodeTiffStream(&Bitmap, s.get(), Pages, &Params, pr, false, Mask, true, IgnoreAlpha, ExifThumbnail, false,
                     nullptr);
  }
  uint8_t G(int x, int y) { return Bitmap.Scanline(y)[x]; }
};

}  // namespace

TEST(TiffRead, HeaderAndChain) {
  Page p;
  p.Strips = {std::string(8, 'x')};
  // First directory offset equal to the stream size.
  {
    Builder b;
    AddPage(b, p);
    std::string bytes = b.Build();
    const uint32_t size = uint32_t(bytes.size());
    std::memcpy(bytes.data() + 4, &size, 4);
    Read r(bytes);
    EXPECT_TRUE(r.Aborting);
    EXPECT_EQ(r.Pages, 0);
  }
  // A loop back to the first directory counts each once; index 2 of two pages aborts.
  {
    Builder b;
    AddPage(b, p);
    AddPage(b, p);
    b.Ifds.back().NextToIfd = 0;
    Read r(b.Build(), [](TIOParams& P) { P.TIFF_ImageIndex = 2; });
    EXPECT_TRUE(r.Aborting);
    EXPECT_EQ(r.Pages, 2);
  }
  // A next offset into the header ends the chain; so does a directory of 0 entries.
  for (const int kind : {0, 1}) {
    Builder b;
    AddPage(b, p);
    AddPage(b, p);
    if (kind == 0) {
      b.Ifds[0].NextToIfd = -2;
      b.Ifds[0].NextExplicit = 4;
    } else {
      b.Ifds[1].ZeroEntries = true;
    }
    Read r(b.Build());
    EXPECT_FALSE(r.Aborting);
    EXPECT_EQ(r.Pages, 1);
  }
  // SubIFD 0 replaces the page.
  {
    Builder b;
    Page main = p, sub = p;
    sub.W = 2;
    AddPage(b, sub);
    AddPage(b, main);
    tiffbuild::Entry e;
    e.Tag = 330;
    e.IfdRef = 0;
    b.Ifds[1].Entries.push_back(e);
    b.Ifds[0].NextToIfd = -2;  // the sub-image is not a page
    b.FirstIfd = 1;
    const std::string bytes = b.Build();
    Read whole(bytes);
    EXPECT_FALSE(whole.Aborting);
    EXPECT_EQ(whole.Pages, 1);
    EXPECT_EQ(whole.Bitmap.Width(), 4);
    Read one(bytes, [](TIOParams& P) { P.TIFF_SubIndex = 0; });
    EXPECT_FALSE(one.Aborting);
    EXPECT_EQ(one.Bitmap.Width(), 2);
  }
}

TEST(TiffRead, BitsPerSampleAndPhotometric) {
  struct Case {
    const char* Name;
    std::vector<uint64_t> Bits;
    int Samples;
    bool Aborts;
  };
  const Case cases[] = {{"8,8,8", {8, 8, 8}, 3, false}, {"8,8,16", {8, 8, 16}, 3, true}, {"absent", {}, 1, false},
                        {"0 bits", {0}, 1, true}, {"33 bits", {33}, 1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Page p;
    p.Bits = c.Bits;
    p.Samples = c.Samples;
    p.Photometric = c.Samples == 3 ? 2 : 1;
    p.Strips = {std::string(24, '\x40')};
    Read r(Tiff(p));
    EXPECT_EQ(bool(r.Aborting), c.Aborts);
    if (!c.Aborts) {
      EXPECT_EQ(r.Params.BitsPerSample, c.Bits.empty() ? 1 : 8);
    }
  }
  // SamplesPerPixel 0 aborts.
  {
    Page p;
    p.Samples = 0;
    p.Strips = {std::string(8, 'x')};
    EXPECT_TRUE(Read(Tiff(p)).Aborting);
  }
  // 1 bit, one sample, photometric 2: white is zero under compressions 1 to 4, black is zero
  // under LZW.
  for (const int comp : {1, 5}) {
    Page p;
    p.W = 8;
    p.H = 1;
    p.Bits = {1};
    p.Photometric = 2;
    p.Compression = comp;
    p.Strips = {comp == 5 ? Lzw(std::string(1, '\0')) : std::string(1, '\0')};
    Read r(Tiff(p));
    ASSERT_FALSE(r.Aborting) << comp;
    EXPECT_EQ(r.Bitmap.PixelFormat(), px1g);
    EXPECT_EQ(r.G(0, 0), comp == 1 ? 0xFF : 0x00) << comp;
  }
}

TEST(TiffRead, ResolutionAndMetadata) {
  Page p;
  p.Strips = {std::string(8, 'x')};
  p.More = [](Ifd& d) {
    Builder::Add(d, 282, ttRational, {Builder::Rat(11811, 100)});
    Builder::Add(d, 283, ttRational, {Builder::Rat(0, 1)});
    Builder::Add(d, 296, ttShort, {3});
    Builder::AddBytes(d, 700, ttByte, "<x:xmpmeta/>");
  };
  Read r(Tiff(p));
  EXPECT_EQ(r.Params.DpiX, 300);
  EXPECT_NEAR(r.Params.EXIF_XResolution, 118.11 * 2.54, 1e-9);
  EXPECT_EQ(r.Params.DpiY, GlobalSettingsInstance()->FDefaultDPIY);
  EXPECT_EQ(r.Params.XMP_Info, "<x:xmpmeta/>");
  Read kept(Tiff(p), [](TIOParams& P) {
    P.ReadMetadata = false;
    P.SetXmpInfo("old");
  });
  EXPECT_EQ(kept.Params.XMP_Info, "old");
}

TEST(TiffRead, AlphaOfFourSamples) {
  struct Case {
    const char* Name;
    int Extra;  // -1: no tag
    bool IgnoreAlpha;
    bool WantMask;
    int WantAlpha;
  };
  const Case cases[] = {{"no ExtraSamples", -1, false, true, 255},
                        {"unassociated", 2, false, true, 0x40},
                        {"ignored", 2, true, false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Page p;
    p.W = 2;
    p.H = 1;
    p.Bits = {8, 8, 8, 8};
    p.Samples = 4;
    p.Photometric = 2;
    p.Strips = {Bytes({10, 20, 30, 0x40, 10, 20, 30, 0x40})};
    p.More = [&](Ifd& d) {
      if (c.Extra >= 0) Builder::Add(d, 338, ttShort, {uint64_t(c.Extra)});
    };
    Read r(Tiff(p), {}, c.IgnoreAlpha);
    ASSERT_FALSE(r.Aborting);
    EXPECT_EQ(bool(r.Mask), c.WantMask);
    if (r.Mask) {
      EXPECT_EQ(r.Mask->GetPixel(1, 0), c.WantAlpha);
    }
    EXPECT_EQ(PixelOf(r.Bitmap, 0, 0).r, 10);
    EXPECT_EQ(PixelOf(r.Bitmap, 0, 0).b, 30);
  }
}

TEST(TiffRead, PixelFormats) {
  struct Case {
    const char* Name;
    std::vector<uint64_t> Bits;
    int Samples, Photometric, SampleFormat;
    TPXPixelFormat Native, Plain;
  };
  const Case cases[] = {
      {"palette 8", {8}, 1, 3, 1, px8p, px24RGB},   {"grey 8", {8}, 1, 1, 1, px8g, px24RGB},
      {"grey 16", {16}, 1, 1, 1, px16g, px24RGB},   {"grey 12", {12}, 1, 1, 1, px16g, px24RGB},
      {"float", {32}, 1, 1, 3, px32f, px24RGB},     {"cmyk 8", {8, 8, 8, 8}, 4, 5, 1, pxCMYK, px24RGB},
      {"cmyk 16", {16, 16, 16, 16}, 4, 5, 1, pxCMYK, px24RGB}, {"rgb 16", {16, 16, 16}, 3, 2, 1, pxRGB48, px24RGB},
      {"bilevel", {1}, 1, 1, 1, px1g, px1g},
  };
  for (const Case& c : cases)
    for (const bool native : {true, false}) {
      SCOPED_TRACE(std::string(c.Name) + (native ? " native" : ""));
      Page p;
      p.Bits = c.Bits;
      p.Samples = c.Samples;
      p.Photometric = c.Photometric;
      p.Strips = {std::string(4 * 2 * 8, '\x10')};
      p.More = [&](Ifd& d) {
        Builder::Add(d, 339, ttShort, {uint64_t(c.SampleFormat)});
        if (c.Photometric == 3) {
          std::vector<uint64_t> map(768);
          for (int i = 0; i < 256; ++i) map[size_t(i)] = uint64_t(i) * 257;
          Builder::AddV(d, 320, ttShort, map);
        }
      };
      Read r(Tiff(p), [&](TIOParams& P) { P.NativePixelFormat = native; });
      ASSERT_FALSE(r.Aborting);
      EXPECT_EQ(r.Bitmap.PixelFormat(), native ? c.Native : c.Plain);
    }
}

TEST(TiffRead, FloatPagesNormaliseOnlyOutsideUnitRange) {
  for (const float hi : {0.8f, 4.0f}) {
    Page p;
    p.W = 2;
    p.H = 1;
    p.Bits = {32};
    p.Photometric = 1;
    std::string data(8, '\0');
    const float v[2] = {0.2f, hi};
    std::memcpy(data.data(), v, 8);
    p.Strips = {data};
    p.More = [](Ifd& d) { Builder::Add(d, 339, ttShort, {3}); };
    Read r(Tiff(p), [](TIOParams& P) { P.NativePixelFormat = true; });
    const auto* f = reinterpret_cast<const float*>(r.Bitmap.Scanline(0));
    if (hi < 1) {
      EXPECT_FLOAT_EQ(f[0], 0.2f);
      EXPECT_FLOAT_EQ(f[1], 0.8f);
    } else {
      EXPECT_FLOAT_EQ(f[0], 0.0f);
      EXPECT_FLOAT_EQ(f[1], 1.0f);
    }
  }
}

TEST(TiffRead, StripsAndRows) {
  // A 5-pixel 4-bit grey row takes 3 bytes; values stretch by 17.
  {
    Page p;
    p.W = 5;
    p.H = 2;
    p.Bits = {4};
    p.Strips = {Bytes({0x12, 0x34, 0x50, 0xF0, 0x00, 0x0F})};
    Read r(Tiff(p), [](TIOParams& P) { P.NativePixelFormat = true; });
    ASSERT_FALSE(r.Aborting);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelOf(r.Bitmap, x, 0).g, 17 * (x + 1));
    EXPECT_EQ(PixelOf(r.Bitmap, 0, 1).g, 255);
    EXPECT_EQ(PixelOf(r.Bitmap, 4, 1).g, 0);
  }
  // PackBits: 0x80 is nothing, a run crossing the row end is cut; fill order 2 reverses control
  // and data bytes alike.
  for (const int fill : {1, 2}) {
    Page p;
    p.W = 4;
    p.H = 2;
    p.Compression = 32773;
    std::string data = Bytes({0x80, 0xFB, 0x07, 0x01, 0x09, 0x0A});  // run of 6 sevens, literal 9 10
    if (fill == 2)
      for (char& ch : data) {
        uint8_t b = uint8_t(ch), r = 0;
        for (int k = 0; k < 8; ++k)
          if (b & (1 << k)) r |= uint8_t(0x80 >> k);
        ch = char(r);
      }
    p.Strips = {data};
    p.More = [&](Ifd& d) { Builder::Add(d, 266, ttShort, {uint64_t(fill)}); };
    Read r(Tiff(p), [](TIOParams& P) { P.NativePixelFormat = true; });
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r.Bitmap.Scanline(0)), 4), Bytes({7, 7, 7, 7})) << fill;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r.Bitmap.Scanline(1)), 2), Bytes({9, 10})) << fill;
  }
  // 100 rows in strips of 30: the last strip holds 10 rows; a missing byte count reads to the
  // end; a byte count too small still reads the strip's rows.
  for (const int variant : {0, 1, 2}) {
    SCOPED_TRACE(variant);
    Page p;
    p.W = 3;
    p.H = 100;
    p.RowsPerStrip = 30;
    for (int s = 0; s < 4; ++s) p.Strips.push_back(std::string(size_t(3 * (s == 3 ? 10 : 30)), char(s + 1)));
    Builder b;
    AddPage(b, p);
    if (variant == 1) {  // only three byte counts
      auto& e = b.Ifds[0].Entries;
      for (auto& x : e)
        if (x.Tag == 279) {
          x.Items.pop_back();
          x.Count = 3;
        }
    }
    if (variant == 2)
      for (auto& x : b.Ifds[0].Entries)
        if (x.Tag == 279) x.Items = {1, 1, 1, 1};
    Read r(b.Build(), [](TIOParams& P) { P.NativePixelFormat = true; });
    EXPECT_FALSE(r.Aborting);
    EXPECT_EQ(r.G(2, 0), 1);
    EXPECT_EQ(r.G(2, 29), 1);
    EXPECT_EQ(r.G(0, 30), 2);
    EXPECT_EQ(r.G(2, 99), 4);
  }
}

// An uncompressed page whose stream ends after the first row of its strip: the rows past the end
// read as sample 0, which white-is-zero shows as white, and the page aborts.
TEST(TiffRead, UncompressedRowsPastTheStreamEnd) {
  Page p;
  p.W = 4;
  p.H = 300;
  p.Photometric = 0;
  p.Strips = {std::string(4, '\0')};
  std::string bytes = Tiff(p);
  // The strip moves to the very end of the stream.
  auto s = codectest::StreamOf(bytes);
  TPXTIFFIFDReader r = [&] {
    TPXTIFFIFDReader d;
    d.Stream = s.get();
    int32_t n = 0;
    d.ReadIFD(0, n, uint8_t(bytes[4]) | uint8_t(bytes[5]) << 8);
    return d;
  }();
  ASSERT_GE(r.FindTag(273), 0);
  const size_t ifd = size_t(uint8_t(bytes[4]) | uint8_t(bytes[5]) << 8);
  const size_t field = ifd + 2 + 12 * size_t(r.FindTag(273)) + 8;
  const uint32_t at = uint32_t(bytes.size());
  for (int k = 0; k < 4; ++k) bytes[field + size_t(k)] = char(at >> (8 * k));
  bytes += Bytes({0, 64, 128, 255});
  Read back(bytes, [](TIOParams& P) { P.NativePixelFormat = true; });
  EXPECT_TRUE(back.Aborting);
  ASSERT_EQ(back.Bitmap.Height(), 300);
  for (const int y : {0, 1, 2, 150, 299})
    for (int x = 0; x < 4; ++x) {
      const int want = y == 0 ? 255 - std::array<int, 4>{0, 64, 128, 255}[size_t(x)] : 255;
      EXPECT_EQ(back.G(x, y), want) << x << "," << y;
    }
}

TEST(TiffRead, Tiles) {
  // A 2 x 2 grid of 16 x 16 tiles over a 20 x 20 page; tile t holds the value t + 1.
  Builder b;
  std::vector<uint64_t> offsets, counts;
  for (int t = 0; t < 4; ++t) {
    offsets.push_back(b.AddBlob(std::string(256, char(t + 1))));
    counts.push_back(256);
  }
  Ifd& d = b.NewIfd();
  Builder::Add(d, 256, ttLong, {20});
  Builder::Add(d, 257, ttLong, {20});
  Builder::Add(d, 258, ttShort, {8});
  Builder::Add(d, 262, ttShort, {1});
  Builder::Add(d, 322, ttLong, {16});
  Builder::Add(d, 323, ttLong, {16});
  Builder::AddV(d, 324, ttLong, offsets);
  Builder::AddV(d, 325, ttLong, counts);
  const std::string bytes = b.Build();
  auto native = [](int Tile) { return [Tile](TIOParams& P) { P.NativePixelFormat = true; P.TIFF_GetTile = Tile; }; };
  Read whole(bytes, native(-1));
  ASSERT_FALSE(whole.Aborting);
  EXPECT_EQ(whole.Bitmap.Width(), 20);
  EXPECT_EQ(whole.G(0, 0), 1);
  EXPECT_EQ(whole.G(19, 0), 2);
  EXPECT_EQ(whole.G(0, 19), 3);
  EXPECT_EQ(whole.G(19, 19), 4);
  for (const int t : {0, 3}) {
    Read one(bytes, native(t));
    ASSERT_FALSE(one.Aborting);
    EXPECT_EQ(one.Bitmap.Width(), 16);
    EXPECT_EQ(one.Bitmap.Height(), 16);
    EXPECT_EQ(one.G(15, 15), t + 1);
  }
  // Planar tiles are refused.
  {
    Builder c = b;
    Builder::Add(c.Ifds[0], 284, ttShort, {2});
    EXPECT_TRUE(Read(c.Build(), native(-1)).Aborting);
  }
  // Tile sizes that are not positive abort.
  for (const uint64_t bad : {0ull, 0xFFFFFFFFull}) {
    Builder c = b;
    for (auto& e : c.Ifds[0].Entries)
      if (e.Tag == 322) e.Items = {bad};
    EXPECT_TRUE(Read(c.Build(), native(-1)).Aborting);
  }
}

TEST(TiffRead, Conversions) {
  struct Case {
    const char* Name;
    Page P;
    bool Native;
    std::function<void(Read&)> Check;
  };
  auto palette2 = [](Ifd& d) {
    std::vector<uint64_t> map(768, 0);
    map[1] = 0xFF00;        // red of index 1
    map[512 + 2] = 0x8000;  // blue of index 2
    Builder::AddV(d, 320, ttShort, map);
  };
  std::vector<Case> cases;
  {
    Page p;
    p.W = 2;
    p.H = 1;
    p.Photometric = 0;
    p.Strips = {Bytes({0, 200})};
    cases.push_back({"white is zero px8g", p, true, [](Read& r) {
                       EXPECT_EQ(r.G(0, 0), 255);
                       EXPECT_EQ(r.G(1, 0), 55);
                     }});
    cases.push_back({"white is zero px24RGB", p, false, [](Read& r) {
                       EXPECT_EQ(PixelOf(r.Bitmap, 0, 0).g, 255);
                       EXPECT_EQ(PixelOf(r.Bitmap, 1, 0).r, 55);
                     }});
  }
  {
    Page p;
    p.W = 1;
    p.H = 1;
    p.Bits = {16};
    p.Strips = {Bytes({0, 0})};
    p.More = [](Ifd& d) { Builder::Add(d, 339, ttShort, {2}); };
    cases.push_back({"signed 16 px16g", p, true,
                     [](Read& r) { EXPECT_EQ(reinterpret_cast<uint16_t*>(r.Bitmap.Scanline(0))[0], 0x8000); }});
    cases.push_back({"signed 16 px24RGB", p, false, [](Read& r) { EXPECT_EQ(PixelOf(r.Bitmap, 0, 0).g, 128); }});
  }
  {
    Page p;
    p.W = 3;
    p.H = 1;
    p.Bits = {12};
    p.Strips = {Bytes({0x12, 0x34, 0x56, 0x78, 0x90})};
    cases.push_back({"12-bit grey", p, true, [](Read& r) {
                       const auto* v = reinterpret_cast<uint16_t*>(r.Bitmap.Scanline(0));
                       EXPECT_EQ(v[0], 0x1230);
                       EXPECT_EQ(v[1], 0x4560);
                       EXPECT_EQ(v[2], 0x7890);
                     }});
  }
  {
    Page p;
    p.W = 2;
    p.H = 1;
    p.Bits = {8, 8, 8, 8};
    p.Samples = 4;
    p.Photometric = 5;
    p.Strips = {Bytes({0, 0, 0, 0, 255, 255, 255, 255})};
    cases.push_back({"CMYK px24RGB", p, false, [](Read& r) {
                       EXPECT_EQ(PixelOf(r.Bitmap, 0, 0).r, 255);
                       EXPECT_EQ(PixelOf(r.Bitmap, 0, 0).b, 255);
                       EXPECT_LT(PixelOf(r.Bitmap, 1, 0).g, 64);  // full ink: dark
                     }});
    cases.push_back({"CMYK pxCMYK", p, true, [](Read& r) {
                       EXPECT_EQ(std::string(reinterpret_cast<char*>(r.Bitmap.Scanline(0)), 4), std::string(4, '\xFF'));
                     }});
  }
  {
    Page p;
    p.W = 2;
    p.H = 1;
    p.Bits = {8, 8};
    p.Samples = 2;
    p.Photometric = 3;
    p.Strips = {Bytes({1, 77, 2, 200})};
    p.More = palette2;
    cases.push_back({"palette with alpha", p, false, [](Read& r) {
                       EXPECT_EQ(PixelOf(r.Bitmap, 0, 0).r, 255);
                       EXPECT_EQ(PixelOf(r.Bitmap, 1, 0).b, 128);
                       ASSERT_TRUE(r.Mask);
                       EXPECT_EQ(r.Mask->GetPixel(0, 0), 77);
                       EXPECT_EQ(r.Mask->GetPixel(1, 0), 200);
                     }});
  }
  {
    Page p;
    p.W = 2;
    p.H = 1;
    p.Photometric = 3;
    p.Strips = {Bytes({1, 255})};
    p.More = [](Ifd& d) {
      std::vector<uint64_t> map(12, 0xFFFF);  // four entries, white
      Builder::AddV(d, 320, ttShort, map);
    };
    cases.push_back({"index past the map reads black", p, false, [](Read& r) {
                       EXPECT_EQ(PixelOf(r.Bitmap, 0, 0).r, 255);
                       EXPECT_EQ(PixelOf(r.Bitmap, 1, 0).r, 0);
                     }});
  }
  {
    Page p;
    p.W = 2;
    p.H = 1;
    p.Bits = {8, 8, 8};
    p.Samples = 3;
    p.Photometric = 6;
    p.Strips = {Bytes({100, 200, 128, 128})};
    p.More = [](Ifd& d) { Builder::Add(d, 530, ttShort, {2, 1}); };
    cases.push_back({"YCbCr 2 x 1", p, false, [](Read& r) {
                       EXPECT_EQ(PixelOf(r.Bitmap, 0, 0).r, 100);
                       EXPECT_EQ(PixelOf(r.Bitmap, 1, 0).g, 200);
                     }});
  }
  for (Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Read r(Tiff(c.P), [&](TIOParams& P) { P.NativePixelFormat = c.Native; });
    ASSERT_FALSE(r.Aborting);
    c.Check(r);
  }
}

TEST(TiffRead, BigEndianPredictorTwins) {
  // A 16-bit RGB row with horizontal differencing, little- and big-endian.
  std::string le, be;
  const uint16_t v[6] = {1000, 2000, 3000, 10, 20, 30};  // second pixel stored as differences
  for (uint16_t x : v) {
    le.push_back(char(x & 0xFF));
    le.push_back(char(x >> 8));
    be.push_back(char(x >> 8));
    be.push_back(char(x & 0xFF));
  }
  for (const bool little : {true, false}) {
    Page p;
    p.W = 2;
    p.H = 1;
    p.Bits = {16, 16, 16};
    p.Samples = 3;
    p.Photometric = 2;
    p.Compression = 5;
    p.Strips = {Lzw(little ? le : be)};
    p.More = [](Ifd& d) { Builder::Add(d, 317, ttShort, {2}); };
    Read r(Tiff(p, little), [](TIOParams& P) { P.NativePixelFormat = true; });
    ASSERT_FALSE(r.Aborting);
    const TRGB48 px = reinterpret_cast<TRGB48*>(r.Bitmap.Scanline(0))[1];
    EXPECT_EQ(px.r, 1010);
    EXPECT_EQ(px.g, 2020);
    EXPECT_EQ(px.b, 3030);
  }
}

// Planar pages equal their chunky twins up to 10 samples; more are refused.
TEST(TiffRead, PlanarSampleLimit) {
  for (const int samples : {2, 10, 11}) {
    SCOPED_TRACE(samples);
    Page chunky, planar;
    for (Page* p : {&chunky, &planar}) {
      p->W = 3;
      p->H = 2;
      p->Bits.assign(size_t(samples), 8);
      p->Samples = samples;
    }
    std::string interleaved;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x)
        for (int k = 0; k < samples; ++k) interleaved.push_back(char(40 * y + 10 * x + k + 1));
    chunky.Strips = {interleaved};
    for (int k = 0; k < samples; ++k) {
      std::string plane;
      for (int i = 0; i < 6; ++i) plane.push_back(interleaved[size_t(i * samples + k)]);
      planar.Strips.push_back(plane);
    }
    planar.More = [](Ifd& d) { Builder::Add(d, 284, ttShort, {2}); };
    Read c(Tiff(chunky)), p(Tiff(planar));
    ASSERT_FALSE(c.Aborting);
    if (samples > 10) {
      EXPECT_TRUE(p.Aborting);
      continue;
    }
    ASSERT_FALSE(p.Aborting);
    EXPECT_EQ(PixelOf(c.Bitmap, 2, 1).g, 40 + 20 + 1);
    ASSERT_EQ(p.Bitmap.PixelFormat(), c.Bitmap.PixelFormat());
    for (int y = 0; y < 2; ++y)
      EXPECT_EQ(std::memcmp(p.Bitmap.Scanline(y), c.Bitmap.Scanline(y), size_t(c.Bitmap.RowLen())), 0);
  }
}

// A deflate strip cut short keeps the rows it holds, reads the others as 0 and aborts; the whole
// strip reads clean (with and without the predictor, under both deflate codes).
TEST(TiffRead, TruncatedDeflateStrip) {
  const int w = 16, h = 8;
  std::string rows;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < 3; ++k) rows.push_back(char((x * 37 + y * 101 + k * 71) & 0xFF));
  for (const int compression : {8, 32946})
    for (const bool predictor : {false, true})
      for (const bool cut : {false, true}) {
        SCOPED_TRACE(compression * 100 + predictor * 10 + cut);
        std::string stored = rows;
        if (predictor)  // horizontal differences per sample, right to left
          for (int y = 0; y < h; ++y)
            for (int i = w * 3 - 1; i >= 3; --i) {
              const size_t at = size_t(y * w * 3 + i);
              stored[at] = char(uint8_t(stored[at]) - uint8_t(stored[at - 3]));
            }
        uLongf n = compressBound(uLong(stored.size()));
        std::string z(n, '\0');
        ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(z.data()), &n, reinterpret_cast<const Bytef*>(stored.data()),
                            uLong(stored.size()), 9),
                  Z_OK);
        z.resize(cut ? n / 3 : n);
        Page p;
        p.W = w;
        p.H = h;
        p.Bits = {8, 8, 8};
        p.Samples = 3;
        p.Photometric = 2;
        p.Compression = compression;
        p.Strips = {z};
        p.More = [&](Ifd& d) {
          if (predictor) Builder::Add(d, 317, ttShort, {2});
        };
        Read r(Tiff(p), [](TIOParams& P) { P.NativePixelFormat = true; });
        ASSERT_EQ(r.Bitmap.Height(), h);
        EXPECT_EQ(bool(r.Aborting), cut);
        const TRGB first = PixelOf(r.Bitmap, 5, 0);
        EXPECT_EQ(first.r, uint8_t(rows[5 * 3]));
        EXPECT_EQ(first.b, uint8_t(rows[5 * 3 + 2]));
        const TRGB last = PixelOf(r.Bitmap, w - 1, h - 1);
        if (cut)
          EXPECT_EQ(last.r | last.g | last.b, 0);
        else
          EXPECT_EQ(last.b, uint8_t(rows[size_t(((h - 1) * w + w - 1) * 3 + 2)]));
      }
}

// JPEG strips: a single strip lets the JPEG decoder drive the caller's progress record; several
// advance it once per strip.
TEST(TiffRead, JpegStripProgress) {
  TestTempDir dir;
  const int w = 64, h = 64;
  for (const int rowsPerStrip : {64, 16}) {
    SCOPED_TRACE(rowsPerStrip);
    const std::string file = dir.File("j.tif");
    TIFF* t = TIFFOpen(file.c_str(), "w");
    ASSERT_TRUE(t);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(w));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(h));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_MINISBLACK));
    TIFFSetField(t, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_JPEG));
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(rowsPerStrip));
    std::vector<uint8_t> row(w);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) row[size_t(x)] = uint8_t(x * 3 + y);
      ASSERT_EQ(TIFFWriteScanline(t, row.data(), uint32_t(y), 0), 1);
    }
    TIFFClose(t);
    auto s = codectest::StreamOf(codectest::ReadFile(file));
    TPXBitmap b;
    std::unique_ptr<TPXMask> mask;
    TIOParams params;
    TPXAbortFlag aborting{false};
    TPXProgressRecord pr;
    pr.Aborting = &aborting;
    std::vector<int32_t> seen;
    pr.Event = TPXProgressEvent([&](TObject*, int32_t PerCent) { seen.push_back(PerCent); });
    int32_t pages = 0;
    DecodeTiffStream(&b, s.get(), pages, &params, pr, false, mask, true, false, false, false, nullptr);
    ASSERT_FALSE(aborting);
    EXPECT_NEAR(PixelOf(b, 10, 40).g, 10 * 3 + 40, 4);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 100);
    if (rowsPerStrip == 16)
      EXPECT_EQ(seen, (std::vector<int32_t>{25, 50, 75, 100}));
    else
      EXPECT_GT(seen.size(), 4u);  // the decoder's own steps, row by row
  }
}

// Layouts no conversion takes, or whose data cannot be trusted, abort instead of loading as a
// success.
TEST(TiffRead, RefusedPages) {
  struct Case {
    const char* Name;
    Page P;
  };
  Page base;
  base.Strips = {std::string(16, 'x')};
  // The base page with one change.
  auto with = [&base](auto Change) {
    Page p = base;
    Change(p);
    return p;
  };
  const std::vector<Case> cases = {
      {"palette without a colour map", with([](Page& p) { p.Photometric = 3; })},
      {"3-bit grey", with([](Page& p) { p.Bits = {3}; })},
      {"transparency mask", with([](Page& p) { p.Photometric = 4; })},
      {"32-bit integer grey", with([](Page& p) { p.Bits = {32}; })},
      {"unknown compression", with([](Page& p) { p.Compression = 12345; })},
      {"size its data cannot fill", with([](Page& p) { p.W = 60000, p.H = 60000; })},
      {"no strips", with([](Page& p) { p.Strips = {}; })},
      {"data end early", with([](Page& p) {
         p.W = 4, p.H = 8;
         p.Compression = 32773;
         p.Strips = {Bytes({0xFD, 1, 0xFD, 2})};  // two rows of eight
       })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_TRUE(Read(Tiff(c.P)).Aborting);
  }
  // An EXIF thumbnail over 400 pixels is refused.
  Page big = base;
  big.W = 401;
  big.H = 1;
  big.Strips = {std::string(401, 'x')};
  EXPECT_TRUE(Read(Tiff(big), {}, false, true).Aborting);
}

// An old-style JPEG page described only by its table tags (quantization, DC and AC Huffman) and
// the scan data as a tile: the reader builds the JPEG stream from them.
TEST(TiffRead, OldStyleJpegFromTableTags) {
  TPXBitmap grey;
  grey.Allocate(16, 16, px8g);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) grey.Scanline(y)[x] = uint8_t(x * 12 + y * 3);
  TIOParams jp;
  jp.JPEG_ColorSpace = 1;
  jp.JPEG_Quality = 90;
  TMemoryStream js;
  TPXAbortFlag ab{false};
  TPXProgressRecord pr;
  pr.Aborting = &ab;
  EncodeJpegStream(&js, &grey, &jp, pr);
  const std::string jpeg = codectest::BytesOf(js);
  // The tables and the scan of the stream.
  std::string q, dc, ac, scan;
  for (size_t at = 2; at + 4 <= jpeg.size();) {
    const uint8_t m = uint8_t(jpeg[at + 1]);
    const size_t len = (uint8_t(jpeg[at + 2]) << 8) | uint8_t(jpeg[at + 3]);
    const std::string seg = jpeg.substr(at + 4, len - 2);
    if (m == 0xDB) q = seg.substr(1, 64);
    if (m == 0xC4)
      for (size_t k = 0; k < seg.size();) {
        int n = 0;
        for (int i = 1; i <= 16; ++i) n += uint8_t(seg[k + size_t(i)]);
        (uint8_t(seg[k]) >> 4 ? ac : dc) = seg.substr(k + 1, 16 + size_t(n));
        k += 17 + size_t(n);
      }
    if (m == 0xDA) {
      scan = jpeg.substr(at + 2 + len, jpeg.size() - (at + 2 + len) - 2);
      break;
    }
    at += 2 + len;
  }
  ASSERT_EQ(q.size(), 64u);
  ASSERT_FALSE(dc.empty());
  ASSERT_FALSE(scan.empty());
  Builder b;
  const uint64_t qAt = b.AddBlob(q), dcAt = b.AddBlob(dc), acAt = b.AddBlob(ac), scanAt = b.AddBlob(scan);
  Ifd& d = b.NewIfd();
  Builder::Add(d, 256, ttLong, {16});
  Builder::Add(d, 257, ttLong, {16});
  Builder::Add(d, 258, ttShort, {8});
  Builder::Add(d, 259, ttShort, {6});
  Builder::Add(d, 262, ttShort, {1});
  Builder::Add(d, 277, ttShort, {1});
  Builder::Add(d, 322, ttLong, {16});
  Builder::Add(d, 323, ttLong, {16});
  Builder::Add(d, 324, ttLong, {scanAt});
  Builder::Add(d, 325, ttLong, {scan.size()});
  Builder::Add(d, 512, ttShort, {1});
  Builder::Add(d, 519, ttLong, {qAt});
  Builder::Add(d, 520, ttLong, {dcAt});
  Builder::Add(d, 521, ttLong, {acAt});
  Read r(b.Build());
  ASSERT_FALSE(r.Aborting);
  ASSERT_EQ(r.Bitmap.Width(), 16);
  EXPECT_NEAR(PixelOf(r.Bitmap, 10, 5).g, 10 * 12 + 15, 4);
  EXPECT_NEAR(PixelOf(r.Bitmap, 2, 14).g, 2 * 12 + 42, 4);
}
