// The PCX and DCX codecs: resolution, runs across plane lines, layouts both ways, the coder's
// bytes, the DCX page table, the mended faults (short lines, inverted windows, short data,
// insert indexes, a full table), and netpbm, ImageMagick and Pillow both ways.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/pcxfilter.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "tests/codecs/SmallCodecTestSupport.h"

using namespace smallcodec;

namespace {

struct Decoded {
  std::unique_ptr<TPXBitmap> Bitmap = std::make_unique<TPXBitmap>();
  std::unique_ptr<TIOParams> Params = std::make_unique<TIOParams>();
  bool Aborted = false;
};

Decoded DecodePcx(const std::string& Data, bool PreviewOnly = false, int64_t Size = -1) {
  Decoded d;
  auto s = StreamOf(Data);
  Progressed run;
  DecodePcxStream(s.get(), d.Bitmap.get(), d.Params.get(), Size < 0 ? int64_t(Data.size()) : Size, run.Progress,
                  PreviewOnly);
  d.Aborted = run.Aborted;
  return d;
}

std::string EncodePcx(TPXBitmap* B, TIOParams* P) {
  TMemoryStream s;
  Progressed run;
  EncodePcxStream(&s, B, P, run.Progress);
  EXPECT_FALSE(run.Aborted);
  return BytesOf(s);
}

std::string Header(int Bits, int Planes, int W, int H, int BytesPerLine, int Encoding = 1, int DpiX = 72, int DpiY = 72,
                   int XMin = 0) {
  std::string h(128, 0);
  h[0] = 10;
  h[1] = 5;
  h[2] = char(Encoding);
  h[3] = char(Bits);
  h[4] = char(XMin);
  h[8] = char(XMin + W - 1);
  h[9] = char((XMin + W - 1) >> 8);
  h[10] = char(H - 1);
  h[12] = char(DpiX);
  h[13] = char(DpiX >> 8);
  h[14] = char(DpiY);
  h[65] = char(Planes);
  h[66] = char(BytesPerLine);
  for (int i = 0; i < 16; ++i) {  // header palette: entry i = (i * 16, 255 - i * 16, i)
    h[16 + 3 * i] = char(i * 16);
    h[17 + 3 * i] = char(255 - i * 16);
    h[18 + 3 * i] = char(i);
  }
  return h;
}

std::unique_ptr<TPXBitmap> Rgb(int W, int H) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) b->SetPixel24(x, y, TRGB{uint8_t(x * 17 + y), uint8_t(y * 33), uint8_t(240 - x * 7)});
  return b;
}

TEST(PcxRead, ResolutionRunsAndLayouts) {
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{300, 0}, std::pair{150, 0}}) {
    const Decoded d = DecodePcx(Header(8, 3, 1, 1, 2, 0, x, y) + std::string(6, 0), true);
    EXPECT_EQ(d.Params->DpiX, 300);
    EXPECT_EQ(d.Params->DpiY, 300);
  }
  // Three planes of width 5 (6 bytes a line); a run 0xC5 0x07 at the last 3 bytes of the red
  // plane line fills them and the first 2 of the green one.
  std::string data{1, 2, 3, char(0xC5), 7, 9, 9, 9, 9, 4, 4, 4, 4, 4, 4};
  const Decoded d = DecodePcx(Header(8, 3, 5, 1, 6) + data);
  ASSERT_FALSE(d.Aborted);
  EXPECT_EQ(RgbOf(d.Bitmap.get()), (std::vector<int>{1, 7, 4, 2, 7, 4, 3, 9, 4, 7, 9, 4, 7, 9, 4}));

  // One bit in four planes: 16 colours through the header palette.
  std::string planes{char(0x80), 0, char(0x80), 0, 0, 0, char(0x80), 0};  // pixel 0 = 1 + 2 + 8
  const Decoded p4 = DecodePcx(Header(1, 4, 2, 1, 2, 0) + planes);
  ASSERT_FALSE(p4.Aborted);
  EXPECT_EQ(p4.Params->BitsPerSample, 4);
  EXPECT_EQ(p4.Params->SamplesPerPixel, 1);
  EXPECT_EQ(p4.Params->ColorMapCount, 16);
  EXPECT_EQ(RgbOf(p4.Bitmap.get()), (std::vector<int>{11 * 16, 255 - 11 * 16, 11, 0, 255, 0}));

  // Four bits: two pixels a byte, high nibble first.
  const Decoded n4 = DecodePcx(Header(4, 1, 3, 1, 2, 0) + std::string{0x2F, 0x30});
  EXPECT_EQ(RgbOf(n4.Bitmap.get()), (std::vector<int>{32, 223, 2, 240, 15, 15, 48, 207, 3}));

  // Eight bits: the palette at the end of the data.
  std::string pal(768, 0);
  pal[3 * 5] = 11, pal[3 * 5 + 1] = 22, pal[3 * 5 + 2] = 33;
  const Decoded p8 = DecodePcx(Header(8, 1, 2, 1, 2) + std::string{char(0xC2), 5} + char(12) + pal);
  ASSERT_FALSE(p8.Aborted);
  EXPECT_EQ(RgbOf(p8.Bitmap.get()), (std::vector<int>{11, 22, 33, 11, 22, 33}));
  EXPECT_EQ(p8.Params->ColorMapCount, 256);
  // Without the byte 12 before it there is no palette: indices are grey levels.
  const Decoded grey = DecodePcx(Header(8, 1, 2, 1, 2) + std::string{char(0xC2), 5} + char(0) + pal);
  ASSERT_FALSE(grey.Aborted);
  EXPECT_EQ(RgbOf(grey.Bitmap.get()), (std::vector<int>{5, 5, 5, 5, 5, 5}));
}

TEST(PcxRead, BadHeadersAreRefusedAndShortDataKeepsItsLines) {
  std::string inverted = Header(8, 3, 5, 1, 6, 0, 72, 72, 9);
  inverted[8] = 2;  // xmax below xmin
  const std::vector<std::string> bad = {
      Header(8, 3, 5, 1, 4, 0) + std::string(30, 1),  // bytes per line below the row's need
      inverted + std::string(30, 1),                  // xmax below xmin
      Header(8, 1, 2, 1, 2) + std::string(200, 1),    // 8-bit palette in fewer than 897 bytes
      Header(16, 1, 2, 1, 4) + std::string(10, 1),    // more than 8 bits
      Header(8, 0, 2, 1, 2) + std::string(10, 1),     // no planes
      Header(8, 3, 5, 1, 6).substr(0, 100),           // shorter than the header
  };
  for (const std::string& b : bad) {
    const Decoded d = DecodePcx(b);
    EXPECT_TRUE(d.Aborted);
    EXPECT_TRUE(d.Bitmap->IsEmpty());
  }
  // Size beyond the stream counts only what the stream holds: the lines it holds are kept, the
  // line it ends in and those below are black, and the flag tells the file was cut short.
  const Decoded beyond = DecodePcx(Header(8, 3, 2, 2, 2, 0) + std::string{1, 2, 3, 4, 5, 6, 7}, false, 1 << 30);
  EXPECT_TRUE(beyond.Aborted);
  EXPECT_EQ(RgbOf(beyond.Bitmap.get()), (std::vector<int>{1, 3, 5, 2, 4, 6, 0, 0, 0, 0, 0, 0}));
  // Uncoded lines with no data at all after the header: black, and the flag set.
  const Decoded none = DecodePcx(Header(8, 3, 2, 1, 2, 0));
  EXPECT_TRUE(none.Aborted);
  EXPECT_EQ(RgbOf(none.Bitmap.get()), (std::vector<int>(6, 0)));
  // A coded run at the very end of the data reads no further.
  const Decoded run = DecodePcx(Header(8, 3, 2, 1, 2) + std::string{char(0xFF)});
  EXPECT_FALSE(run.Aborted);
  // A window of 65536 x 65536 from a few bytes: refused before allocating.
  std::string huge = Header(8, 3, 1, 1, 0);
  huge[8] = huge[9] = huge[10] = huge[11] = char(0xFF);
  huge[66] = 0;
  huge[67] = char(0xFF);
  const Decoded big = DecodePcx(huge + std::string(64, char(0xC1)));
  EXPECT_TRUE(big.Aborted);
  EXPECT_TRUE(big.Bitmap->IsEmpty());
  // A small picture whose lines are huge (4 planes of 65534 bytes, 25601 lines): refused
  // rather than decoding gigabytes of zeros.
  std::string wide = Header(8, 4, 7, 1, 0);
  wide[10] = 0, wide[11] = 0x64;
  wide[66] = char(0xFE), wide[67] = char(0xFF);
  const Decoded lines = DecodePcx(wide + std::string(200, 1));
  EXPECT_TRUE(lines.Aborted);
  EXPECT_TRUE(lines.Bitmap->IsEmpty());
  EXPECT_TRUE(DecodePcx(Header(8, 5, 2, 1, 2, 0) + std::string(20, 1)).Aborted);  // 5 planes
}

TEST(PcxWrite, LayoutsAndCodedBytes) {
  // 24 bits of width 5: 6 bytes a plane line; each coded plane line ends in a literal 0.
  auto pic = TPXBitmap::CreateAllocated(5, 1, px24RGB);
  for (int x = 0; x < 5; ++x) pic->SetPixel24(x, 0, TRGB{uint8_t(10 + x), uint8_t(50), uint8_t(x == 2 ? 200 : 1)});
  TIOParams p;
  p.SamplesPerPixel = 4;
  const std::string out = EncodePcx(pic.get(), &p);
  EXPECT_EQ(p.SamplesPerPixel, 3);
  EXPECT_EQ(out[3], 8);
  EXPECT_EQ(out[65], 3);
  EXPECT_EQ(out[66], 6);
  EXPECT_EQ(out[68], 0);
  // Red 1, 1, 200, 1, 1: a run of two, 200 as a run of one, a run of two, the pad byte.
  EXPECT_EQ(out.substr(128, 7), std::string({char(0xC2), 1, char(0xC1), char(200), char(0xC2), 1, 0}));
  EXPECT_EQ(out.substr(135, 3), std::string({char(0xC5), 50, 0}));
  const Decoded back = DecodePcx(out);
  ASSERT_FALSE(back.Aborted);
  EXPECT_EQ(RgbOf(back.Bitmap.get()), RgbOf(pic.get()));

  auto colours = Rgb(7, 2);  // 14 colours: every depth keeps them exactly
  struct Case {
    int Bits, Samples;
    bool Coded;
    int FileBits, FilePlanes;
  };
  for (const Case& c :
       std::vector<Case>{{8, 1, true, 8, 1}, {8, 1, false, 8, 1}, {4, 1, true, 4, 1}, {8, 3, false, 8, 3}}) {
    TIOParams q;
    q.BitsPerSample = c.Bits;
    q.SamplesPerPixel = c.Samples;
    q.PCX_Compression = c.Coded;
    const std::string file = EncodePcx(colours.get(), &q);
    EXPECT_EQ(file[2], c.Coded ? 1 : 0);
    EXPECT_EQ(file[3], c.FileBits);
    EXPECT_EQ(file[65], c.FilePlanes);
    const Decoded d = DecodePcx(file);
    ASSERT_FALSE(d.Aborted);
    EXPECT_EQ(RgbOf(d.Bitmap.get()), RgbOf(colours.get())) << c.Bits << " " << c.Samples;  // few colours: exact
  }
  auto mono = TPXBitmap::CreateAllocated(12, 2, px1g);
  mono->Scanline(1)[1] = 0xA0;
  TIOParams m;
  m.BitsPerSample = 1;
  m.SamplesPerPixel = 1;
  const std::string file1 = EncodePcx(mono.get(), &m);
  EXPECT_EQ(file1[3], 1);
  EXPECT_EQ(file1[66], 2);
  EXPECT_EQ(RgbOf(DecodePcx(file1).Bitmap.get()), RgbOf(mono.get()));
}

// A DCX of Pages at the given offsets in a stream of Size bytes, page k filled with byte 'a' + k.
std::string Container(const std::vector<uint32_t>& Offsets, size_t Size) {
  std::string s(Size, 0);
  const uint32_t magic = 987654321;
  std::memcpy(s.data(), &magic, 4);
  for (size_t i = 0; i < Offsets.size(); ++i) {
    std::memcpy(s.data() + 4 + 4 * i, &Offsets[i], 4);
    const size_t end = i + 1 < Offsets.size() ? Offsets[i + 1] : Size;
    std::memset(s.data() + Offsets[i], 'a' + int(i), end - Offsets[i]);
  }
  return s;
}

uint32_t TableEntry(const std::string& S, int I) {
  uint32_t v;
  std::memcpy(&v, S.data() + 4 + 4 * I, 4);
  return v;
}

TEST(PcxWrite, SidesUpToWhatTheHeaderHolds) {
  // The last column and row take 16 bits each, and so does an (even) plane line's byte count:
  // 65536 rows fit; 24 bits at width 65535 would need 65536 bytes a line and is refused rather
  // than written with a count of 0.
  struct Case {
    int W, H, Bits, Samples;
    bool Written;
  };
  for (const Case& c : std::vector<Case>{{3, 65536, 8, 3, true},
                                         {65534, 1, 8, 3, true},
                                         {65535, 1, 8, 3, false},
                                         {65536, 1, 1, 1, true},
                                         {3, 65537, 8, 3, false}}) {
    SCOPED_TRACE(testing::Message() << c.W << " x " << c.H << " at " << c.Bits * c.Samples);
    auto pic = TPXBitmap::CreateAllocated(c.W, c.H, c.Bits == 1 ? px1g : px24RGB);
    TIOParams p;
    p.BitsPerSample = c.Bits;
    p.SamplesPerPixel = c.Samples;
    TMemoryStream s;
    Progressed run;
    EncodePcxStream(&s, pic.get(), &p, run.Progress);
    EXPECT_EQ(run.Aborted, !c.Written);
    if (!c.Written) continue;
    const Decoded back = DecodePcx(BytesOf(s));
    ASSERT_FALSE(back.Aborted);
    EXPECT_EQ(back.Bitmap->Width(), c.W);
    EXPECT_EQ(back.Bitmap->Height(), c.H);
  }
}

TEST(Dcx, PageTableSizesAndInsertion) {
  auto pic = Rgb(3, 2);
  TIOParams p;
  // Into an empty stream: the magic, the table 12, 0 and one page at 12.
  TMemoryStream empty;
  Progressed run;
  InsertDcxPage(&empty, pic.get(), &p, run.Progress);
  ASSERT_FALSE(run.Aborted);
  const std::string one = BytesOf(empty);
  EXPECT_EQ(one.substr(0, 12), std::string({char(0xB1), 0x68, char(0xDE), 0x3A, 12, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(one[12], 10);
  EXPECT_EQ(GetDcxPageCount(&empty), 1);

  // Pages at 1036 and 5000 of 9000 bytes are 3964 and 4000 long: appending copies them whole.
  const std::string old = Container({1036, 5000}, 9000);
  auto s = StreamOf(old);
  EXPECT_TRUE(HasDcxSignature(s.get()));
  EXPECT_EQ(GetDcxPageCount(s.get()), 2);
  p.DCX_ImageIndex = 99;  // past the end: appends
  InsertDcxPage(s.get(), pic.get(), &p, run.Progress);
  ASSERT_FALSE(run.Aborted);
  const std::string three = BytesOf(*s);
  EXPECT_EQ(TableEntry(three, 0), 20u);
  EXPECT_EQ(TableEntry(three, 1), 20u + 3964);
  EXPECT_EQ(TableEntry(three, 2), 20u + 3964 + 4000);
  EXPECT_EQ(TableEntry(three, 3), 0u);
  EXPECT_EQ(three.substr(20, 3964), old.substr(1036, 3964));
  EXPECT_EQ(three.substr(20 + 3964, 4000), old.substr(5000, 4000));

  // A negative index inserts first; reading picks pages by DCX_ImageIndex.
  p.DCX_ImageIndex = -4;
  auto pic2 = Rgb(5, 4);
  InsertDcxPage(s.get(), pic2.get(), &p, run.Progress);
  ASSERT_FALSE(run.Aborted);
  Decoded d;
  d.Params->DCX_ImageIndex = 7;
  Progressed r;
  DecodeDcxStream(s.get(), d.Bitmap.get(), d.Params.get(), r.Progress, false);
  EXPECT_FALSE(r.Aborted);
  EXPECT_EQ(d.Params->ImageCount, 4);
  EXPECT_EQ(d.Params->DCX_ImageIndex, 3);
  EXPECT_EQ(RgbOf(d.Bitmap.get()), RgbOf(pic.get()));
  Decoded first;
  Progressed r0;
  DecodeDcxStream(s.get(), first.Bitmap.get(), first.Params.get(), r0.Progress, false);
  EXPECT_EQ(RgbOf(first.Bitmap.get()), RgbOf(pic2.get()));
}

TEST(Dcx, BadContainersAndAFullTableAreRefused) {
  auto pic = Rgb(2, 2);
  TIOParams p;
  for (const std::string& bad : {std::string("not a container at all"), Container({1036, 9000}, 9000)}) {
    auto s = StreamOf(bad);
    EXPECT_FALSE(HasDcxSignature(s.get()));
    Progressed run;
    InsertDcxPage(s.get(), pic.get(), &p, run.Progress);
    EXPECT_TRUE(run.Aborted);
    EXPECT_EQ(BytesOf(*s), bad);
    Decoded d;
    Progressed r;
    DecodeDcxStream(s.get(), d.Bitmap.get(), d.Params.get(), r.Progress, false);
    EXPECT_TRUE(r.Aborted);
  }
  std::vector<uint32_t> offsets;
  for (uint32_t i = 0; i < 1023; ++i) offsets.push_back(4100 + i);
  const std::string full = Container(offsets, 4100 + 1023 + 10);
  auto s = StreamOf(full);
  EXPECT_EQ(GetDcxPageCount(s.get()), 1023);
  Progressed run;
  InsertDcxPage(s.get(), pic.get(), &p, run.Progress);
  EXPECT_TRUE(run.Aborted);
  EXPECT_EQ(s->Size(), int64_t(full.size()));

  // A page the encoder refuses (wider than PCX allows) leaves the container as it was, also for
  // a caller whose progress record has no abort flag.
  const std::string two = Container({1036, 5000}, 9000);
  auto wide = TPXBitmap::CreateAllocated(70000, 1, px24RGB);
  for (bool withFlag : {true, false}) {
    SCOPED_TRACE(withFlag);
    auto c = StreamOf(two);
    Progressed r;
    TPXProgressRecord bare;
    InsertDcxPage(c.get(), wide.get(), &p, withFlag ? r.Progress : bare);
    EXPECT_EQ(r.Aborted, withFlag);
    EXPECT_EQ(bare.Aborting, nullptr);
    EXPECT_EQ(BytesOf(*c), two);
  }
}

// ---------------------------------------------------------------------------------------------
// Oracles

TEST(PcxOracle, OtherToolsFilesReadAsTheyReadThem) {
  if (!HaveOracles() || !ToolExists("/usr/bin/ppmtopcx")) GTEST_SKIP() << "netpbm, imagemagick or python3-pil missing";
  TestTempDir dir;
  const std::string src = dir.File("src.ppm"), few = dir.File("few.ppm"), bits = dir.File("bits.pbm");
  ASSERT_TRUE(MakeSourcePpm(src, 19, 6));
  ASSERT_EQ(RunTool({kConvert, src, "-colors", "12", "ppm:" + few}, dir.File("c.log")), 0);
  ASSERT_EQ(RunTool({kConvert, src, "-monochrome", "pbm:" + bits}, dir.File("c.log")), 0);
  const std::vector<std::pair<std::string, std::vector<std::string>>> made = {
      {"nb24.pcx", {"/usr/bin/ppmtopcx", "-24bit", src}}, {"nb8.pcx", {"/usr/bin/ppmtopcx", "-8bit", few}},
      {"nb4.pcx", {"/usr/bin/ppmtopcx", "-packed", few}}, {"nb1x4.pcx", {"/usr/bin/ppmtopcx", "-planes", "4", few}},
      {"nb1.pcx", {"/usr/bin/ppmtopcx", bits}},
  };
  std::vector<std::string> files;
  for (const auto& [name, argv] : made) {
    ASSERT_EQ(RunTool(argv, dir.File(name)), 0) << name;
    files.push_back(name);
  }
  for (const auto& [name, args] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"im24.pcx", {src}}, {"im8.pcx", {src, "-colors", "100", "-type", "Palette"}}}) {
    std::vector<std::string> argv{kConvert};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(dir.File(name));
    ASSERT_EQ(RunTool(argv, dir.File("c.log")), 0) << name;
    files.push_back(name);
  }
  const char* pil =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
      "im.save(sys.argv[2] + 'pil24.pcx')\nim.quantize(60).save(sys.argv[2] + 'pil8.pcx')\n"
      "im.convert('1').save(sys.argv[2] + 'pil1.pcx')\n";
  ASSERT_EQ(RunTool({kPython, "-c", pil, src, dir.Path()}, dir.File("pil.log")), 0);
  files.insert(files.end(), {"pil24.pcx", "pil8.pcx", "pil1.pcx"});
  for (const std::string& name : files) {
    const std::string file = dir.File(name);
    Plain theirs;
    ASSERT_TRUE(NetpbmPlain(dir, "/usr/bin/pcxtoppm", file, theirs)) << name;
    const Decoded ours = DecodePcx(ReadFile(file));
    ASSERT_FALSE(ours.Aborted) << name;
    EXPECT_EQ(MaxDiff(RgbOf(ours.Bitmap.get()), theirs.Rgb), 0) << name;
  }
  // ImageMagick's DCX: each page as ImageMagick reads it.
  const std::string dcx = dir.File("im.dcx");
  ASSERT_EQ(RunTool({kConvert, src, few, dcx}, dir.File("c.log")), 0);
  auto s = StreamOf(ReadFile(dcx));
  ASSERT_EQ(GetDcxPageCount(s.get()), 2);
  for (int page = 0; page < 2; ++page) {
    Decoded d;
    d.Params->DCX_ImageIndex = page;
    Progressed run;
    DecodeDcxStream(s.get(), d.Bitmap.get(), d.Params.get(), run.Progress, false);
    ASSERT_FALSE(run.Aborted);
    Plain theirs;
    ASSERT_TRUE(MagickPlain(dir, dcx + "[" + std::to_string(page) + "]", theirs));
    EXPECT_EQ(MaxDiff(RgbOf(d.Bitmap.get()), theirs.Rgb), 0) << page;
  }
}

TEST(PcxOracle, FilesWeWriteReadInOtherTools) {
  if (!HaveOracles() || !ToolExists("/usr/bin/pcxtoppm")) GTEST_SKIP() << "netpbm, imagemagick or python3-pil missing";
  TestTempDir dir;
  auto pic = Rgb(13, 5);
  auto mono = TPXBitmap::CreateAllocated(13, 5, px1g);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 13; ++x)
      if ((x + 2 * y) % 5 < 2) mono->Scanline(y)[x >> 3] |= uint8_t(0x80 >> (x & 7));
  struct Case {
    std::string Name;
    TPXBitmap* Bitmap;
    int Bits, Samples;
    bool Coded;
  };
  for (const Case& c : std::vector<Case>{{"o24.pcx", pic.get(), 8, 3, true},
                                         {"o24raw.pcx", pic.get(), 8, 3, false},
                                         {"o8.pcx", pic.get(), 8, 1, true},
                                         {"o4.pcx", pic.get(), 4, 1, true},
                                         {"o1.pcx", mono.get(), 1, 1, true}}) {
    TIOParams p;
    p.BitsPerSample = c.Bits;
    p.SamplesPerPixel = c.Samples;
    p.PCX_Compression = c.Coded;
    const std::string file = dir.File(c.Name);
    WriteFile(file, EncodePcx(c.Bitmap, &p));
    const std::vector<int> ours = RgbOf(DecodePcx(ReadFile(file)).Bitmap.get());
    Plain netpbm, magick, pillow;
    // pcxtoppm and Pillow read run-length coded files only; Pillow no 4-bit packed ones.
    if (c.Coded) {
      ASSERT_TRUE(NetpbmPlain(dir, "/usr/bin/pcxtoppm", file, netpbm)) << c.Name;
      EXPECT_EQ(MaxDiff(netpbm.Rgb, ours), 0) << c.Name;
    }
    if (c.Coded && c.Bits != 4) {
      ASSERT_TRUE(PillowRgb(dir, file, pillow)) << c.Name;
      EXPECT_EQ(MaxDiff(pillow.Rgb, ours), 0) << c.Name;
    }
    // ImageMagick 6 reads 1-bit files (netpbm's too) without their palette.
    if (c.Bits != 1) {
      ASSERT_TRUE(MagickPlain(dir, file, magick)) << c.Name;
      EXPECT_EQ(MaxDiff(magick.Rgb, ours), 0) << c.Name;
    }
    if (c.Samples == 3 || c.Bits == 1) {
      EXPECT_EQ(MaxDiff(ours, RgbOf(c.Bitmap)), 0) << c.Name;
    }
  }
  // A DCX we make reads page by page in ImageMagick.
  TMemoryStream dcx;
  TIOParams p;
  Progressed run;
  InsertDcxPage(&dcx, pic.get(), &p, run.Progress);
  p.DCX_ImageIndex = 1;
  auto second = Rgb(4, 9);
  InsertDcxPage(&dcx, second.get(), &p, run.Progress);
  ASSERT_FALSE(run.Aborted);
  const std::string file = dir.File("o.dcx");
  WriteFile(file, BytesOf(dcx));
  Plain page1;
  ASSERT_TRUE(MagickPlain(dir, file + "[1]", page1));
  EXPECT_EQ(page1.Width, 4);
  EXPECT_EQ(MaxDiff(page1.Rgb, RgbOf(second.get())), 0);
}

}  // namespace
