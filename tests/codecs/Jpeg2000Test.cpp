// JPEG 2000 through OpenJPEG: signatures, the reader's scaling, subsampled YCbCr and grey plus
// alpha, the writer's grey weights, rates and progression orders, and files both ways against
// OpenJPEG's own tools and ImageMagick.
#include <openjpeg.h>

#include <cmath>
#include <sstream>

#include "tests/codecs/DicomTestSupport.h"

using namespace dicomtest;

namespace {

// A binary PGM or PPM (maxval up to 65535) as samples in file order.
std::vector<int32_t> PnmSamples(const std::string& Data, int* Width = nullptr, int* MaxVal = nullptr) {
  std::istringstream in(Data);
  // Header fields, skipping comment lines.
  const auto field = [&]() {
    std::string t;
    while (in >> t && t[0] == '#') std::getline(in, t);
    return t;
  };
  const std::string magic = field();
  const int w = std::stoi(field()), h = std::stoi(field()), maxval = std::stoi(field());
  in.get();
  const int channels = magic == "P6" ? 3 : 1;
  std::vector<int32_t> out;
  for (int64_t i = 0; i < int64_t(w) * h * channels; ++i) {
    const int hi = in.get();
    out.push_back(maxval > 255 ? (hi << 8) | in.get() : hi);
  }
  if (Width) *Width = w;
  if (MaxVal) *MaxVal = maxval;
  return out;
}

std::string Pnm(int W, int H, int Channels, int MaxVal, const std::vector<int32_t>& S) {
  std::string out = (Channels == 3 ? "P6\n" : "P5\n") + std::to_string(W) + " " + std::to_string(H) + "\n" +
                    std::to_string(MaxVal) + "\n";
  for (int32_t v : S) {
    if (MaxVal > 255) out += char(v >> 8);
    out += char(v & 0xFF);
  }
  return out;
}

std::vector<int32_t> Ramp(size_t N, int MaxVal) {
  std::vector<int32_t> s(N);
  for (size_t i = 0; i < N; ++i) s[i] = int32_t((i * 2654435761u >> 7) % uint32_t(MaxVal + 1));
  return s;
}

std::string Encode(TPXBitmap* B, TIOParams& P, int Container) {
  TMemoryStream s;
  Progressed run;
  EncodeJpeg2000Stream(&s, B, &P, Container, run.Progress);
  EXPECT_FALSE(run.Aborted);
  return BytesOf(s);
}

TEST(Jpeg2000, Signatures) {
  const std::string jp2("\0\0\0\x0CjP  \r\n\x87\n", 12);
  std::string wrong = jp2;
  wrong[3] = 0x0D;
  for (const auto& [data, isJp2, isJ2k] : std::vector<std::tuple<std::string, bool, bool>>{
           {jp2, true, false}, {wrong, false, false}, {std::string("\xFF\x4F\xFF\x51", 4), false, true},
           {std::string("\xFF\x4F\xFF\x52", 4), false, false}}) {
    auto s = StreamOf("xx" + data);
    s->Seek(2, soBeginning);
    EXPECT_EQ(HasJp2Signature(s.get()), isJp2);
    EXPECT_EQ(s->Position(), 2);
    EXPECT_EQ(HasJ2kSignature(s.get()), isJ2k);
    EXPECT_EQ(s->Position(), 2);
  }
}

// Files opj_compress writes read to opj_decompress's pixels (8-bit results take the top bits,
// deeper grey becomes px16g at the top of the range).
TEST(Jpeg2000, OpenJpegFilesReadToItsPixels) {
  struct Row {
    int Channels, MaxVal;
    std::vector<std::string> Options;
    const char* Ext;
  };
  const std::vector<Row> rows = {
      {1, 255, {}, "j2k"},          {1, 4095, {}, "j2k"},     {1, 65535, {}, "jp2"},   {3, 255, {}, "jp2"},
      {3, 255, {"-t", "16,16", "-n", "3"}, "j2k"}, {1, 255, {"-r", "20"}, "jp2"}, {3, 255, {"-p", "RLCP"}, "j2k"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.Channels) + " channels, maxval " + std::to_string(r.MaxVal) + " " + r.Ext);
    TestTempDir dir;
    const int w = 45, h = 37;
    WriteFile(dir.File("in.pnm"), Pnm(w, h, r.Channels, r.MaxVal, Ramp(size_t(w) * h * r.Channels, r.MaxVal)));
    std::vector<std::string> argv{"/usr/bin/opj_compress", "-i", dir.File("in.pnm"), "-o", dir.File(std::string("a.") + r.Ext)};
    argv.insert(argv.end(), r.Options.begin(), r.Options.end());
    ASSERT_TRUE(RunOracle(argv));
    ASSERT_TRUE(RunOracle({"/usr/bin/opj_decompress", "-i", dir.File(std::string("a.") + r.Ext), "-o", dir.File("d.pnm")}));
    int maxval = 0;
    const std::vector<int32_t> expected = PnmSamples(ReadFile(dir.File("d.pnm")), nullptr, &maxval);
    const Read ours = ReadJ2000(ReadFile(dir.File(std::string("a.") + r.Ext)));
    ASSERT_FALSE(ours.Aborted);
    const int bits = int(std::log2(double(maxval) + 1) + 0.5);
    EXPECT_EQ(ours.Params->BitsPerSample, bits);
    std::vector<int32_t> scaled = expected;
    for (int32_t& v : scaled) v = bits > 8 ? v << (16 - bits) : v;
    EXPECT_EQ(SamplesOf(ours.Bitmap.get()), scaled);
  }
}

// Our files read by opj_decompress and ImageMagick to our pixels (lossless exactly), and back
// by our reader; the progression order shows in opj_dump.
TEST(Jpeg2000, OurFilesReadByOpenJpegAndImageMagick) {
  for (TPXPixelFormat f : {px8g, px16g, px24RGB}) {
    for (int container : {0, 1}) {
      SCOPED_TRACE(std::to_string(int(f)) + " container " + std::to_string(container));
      TestTempDir dir;
      auto b = TPXBitmap::CreateAllocated(50, 31, f);
      for (int y = 0; y < b->Height(); ++y)
        for (int64_t i = 0; i < b->RowLen(); ++i) b->Scanline(y)[i] = uint8_t(i * 5 + y * 17);
      TIOParams p;
      p.J2000_Rate = 1.0;
      p.J2000_EncoderFlag = container == 1;
      const std::string name = dir.File(container == 0 ? "o.jp2" : "o.j2k");
      WriteFile(name, Encode(b.get(), p, container));
      const std::vector<int32_t> ours = SamplesOf(b.get());
      EXPECT_EQ(SamplesOf(ReadJ2000(ReadFile(name)).Bitmap.get()), ours);
      ASSERT_TRUE(RunOracle({"/usr/bin/opj_decompress", "-i", name, "-o", dir.File("d.pnm")}));
      EXPECT_EQ(PnmSamples(ReadFile(dir.File("d.pnm"))), ours);
      ASSERT_TRUE(RunOracle({kConvert, name, "-depth", f == px16g ? "16" : "8", dir.File("m.pnm")}));
      EXPECT_EQ(PnmSamples(ReadFile(dir.File("m.pnm"))), ours);
      ASSERT_TRUE(RunOracle({"/usr/bin/opj_dump", "-i", name}, dir.File("dump.txt")));
      EXPECT_NE(ReadFile(dir.File("dump.txt")).find(container == 1 ? "prg=0x1" : "prg=0\n"), std::string::npos);
    }
  }
}

TEST(Jpeg2000, WriterGreyWeightsRatesAndWideRgb) {
  auto rgb = TPXBitmap::CreateAllocated(64, 64, px24RGB);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) rgb->SetPixel24(x, y, TRGB{uint8_t(x * 4), uint8_t(y * 4), uint8_t(x * y)});
  // Colour space 0: weighted grey.
  TIOParams grey;
  grey.J2000_ColorSpace = 0;
  grey.J2000_Rate = 1.0;
  const Read g = ReadJ2000(Encode(rgb.get(), grey, 1));
  ASSERT_EQ(g.Bitmap->PixelFormat(), px8g);
  for (int y = 0; y < 64; y += 7)
    for (int x = 0; x < 64; x += 5) {
      const TRGB c = rgb->GetPixelRGB(x, y);
      EXPECT_EQ(g.Bitmap->Scanline(y)[x], (c.r * 21 + c.g * 71 + c.b * 8) / 100);
    }
  // Rate 1 round-trips, rate 0.1 keeps to a tenth of the raw bytes and the headers.
  TIOParams exact;
  exact.J2000_Rate = 1.0;
  EXPECT_EQ(SamplesOf(ReadJ2000(Encode(rgb.get(), exact, 1)).Bitmap.get()), SamplesOf(rgb.get()));
  TIOParams tenth;
  tenth.J2000_Rate = 0.1;
  EXPECT_LE(Encode(rgb.get(), tenth, 1).size(), size_t(64 * 64 * 3 / 10 + 300));
  // pxRGB48 is written as 16-bit RGB components.
  auto wide = TPXBitmap::CreateAllocated(20, 10, pxRGB48);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) wide->SetPixel48(x, y, TRGB48{uint16_t(x * 3000), uint16_t(y * 6000), 4660});
  TIOParams w;
  w.J2000_Rate = 1.0;
  const std::string code = Encode(wide.get(), w, 1);
  opj_image_t* image = nullptr;
  {
    TestTempDir dir;
    WriteFile(dir.File("w.j2k"), code);
    ASSERT_TRUE(RunOracle({"/usr/bin/opj_decompress", "-i", dir.File("w.j2k"), "-o", dir.File("w.ppm")}));
    int maxval = 0;
    const std::vector<int32_t> s = PnmSamples(ReadFile(dir.File("w.ppm")), nullptr, &maxval);
    EXPECT_EQ(maxval, 65535);
    ASSERT_EQ(s.size(), 600u);
    EXPECT_EQ(s[3 * 21 + 0], 3000);
    EXPECT_EQ(s[3 * 21 + 1], 6000);
    EXPECT_EQ(s[3 * 21 + 2], 4660);
  }
  (void)image;
}

// Code streams OpenJPEG builds: 4:2:0 YCbCr at full size with the chroma repeated, and grey plus
// alpha read as grey from the first component.
std::string BuildCodeStream(int Comps, bool Subsampled, const std::function<int(int, int, int)>& Sample, int W, int H) {
  std::vector<opj_image_cmptparm_t> parms(static_cast<size_t>(Comps));
  for (int c = 0; c < Comps; ++c) {
    const int d = Subsampled && c > 0 ? 2 : 1;
    parms[size_t(c)] = {};
    parms[size_t(c)].dx = parms[size_t(c)].dy = OPJ_UINT32(d);
    parms[size_t(c)].w = OPJ_UINT32((W + d - 1) / d);
    parms[size_t(c)].h = OPJ_UINT32((H + d - 1) / d);
    parms[size_t(c)].prec = 8;
  }
  opj_image_t* image = opj_image_create(OPJ_UINT32(Comps), parms.data(), Subsampled ? OPJ_CLRSPC_SYCC : OPJ_CLRSPC_GRAY);
  image->x1 = OPJ_UINT32(W);
  image->y1 = OPJ_UINT32(H);
  for (int c = 0; c < Comps; ++c)
    for (OPJ_UINT32 y = 0; y < image->comps[c].h; ++y)
      for (OPJ_UINT32 x = 0; x < image->comps[c].w; ++x)
        image->comps[c].data[y * image->comps[c].w + x] = Sample(c, int(x), int(y));
  if (Comps == 2) image->comps[1].alpha = 1;
  opj_cparameters_t p;
  opj_set_default_encoder_parameters(&p);
  p.numresolution = 3;
  TestTempDir dir;
  const std::string name = dir.File("c.j2k");
  std::snprintf(p.outfile, sizeof p.outfile, "%s", name.c_str());
  opj_codec_t* codec = opj_create_compress(OPJ_CODEC_J2K);
  opj_setup_encoder(codec, &p, image);
  opj_stream_t* s = opj_stream_create_default_file_stream(name.c_str(), OPJ_FALSE);
  const bool ok = opj_start_compress(codec, image, s) && opj_encode(codec, s) && opj_end_compress(codec, s);
  opj_stream_destroy(s);
  opj_destroy_codec(codec);
  opj_image_destroy(image);
  EXPECT_TRUE(ok);
  return ReadFile(name);
}

TEST(Jpeg2000, SubsampledYCbCrAndGreyWithAlpha) {
  const int w = 32, h = 24;
  const auto ycc = [](int c, int x, int y) { return c == 0 ? (x * 7 + y * 3) & 0xFF : c == 1 ? 100 + x * 4 : 90 + y * 5; };
  const Read r = ReadJ2000(BuildCodeStream(3, true, ycc, w, h));
  ASSERT_FALSE(r.Aborted);
  ASSERT_EQ(r.Bitmap->Width(), w);
  ASSERT_EQ(r.Bitmap->Height(), h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double Y = ycc(0, x, y), cb = ycc(1, x / 2, y / 2) - 128, cr = ycc(2, x / 2, y / 2) - 128;
      const TRGB c = r.Bitmap->GetPixelRGB(x, y);
      EXPECT_NEAR(c.r, std::clamp(Y + 1.402 * cr, 0.0, 255.0), 1.01);
      EXPECT_NEAR(c.g, std::clamp(Y - 0.34414 * cb - 0.71414 * cr, 0.0, 255.0), 1.51);
      EXPECT_NEAR(c.b, std::clamp(Y + 1.772 * cb, 0.0, 255.0), 1.01);
    }
  const Read ga = ReadJ2000(BuildCodeStream(2, false, [](int c, int x, int y) { return c == 0 ? x + y : 255 - x; }, w, h));
  ASSERT_FALSE(ga.Aborted);
  ASSERT_EQ(ga.Bitmap->PixelFormat(), px8g);
  EXPECT_EQ(ga.Bitmap->Scanline(5)[7], 12);
}

TEST(Jpeg2000, BadCodeStreamsAbort) {
  for (const std::string& data : {std::string("\xFF\x4F\xFF\x51", 4), std::string("\xFF\x4F\xFF\x51") + std::string(60, '\x7F'),
                                  std::string("garbage")}) {
    const Read r = ReadJ2000(data);
    EXPECT_TRUE(r.Aborted);
  }
}

}  // namespace
