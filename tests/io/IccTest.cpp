// Colour profiles and the CMYK <-> RGB conversion, checked against Pillow's ImageCms (lcms2)
// with the same two built-in profiles.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <lcms2.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pxicc.h"
#include "platform/rtl/Classes_streams.h"
#include "tests/common/TestSupport.h"

extern char** environ;

namespace {

TRGB Rgb(int r, int g, int b) { return TRGB{uint8_t(b), uint8_t(g), uint8_t(r)}; }
TCMYK Cmyk(int c, int m, int y, int k) { return TCMYK{uint8_t(c), uint8_t(m), uint8_t(y), uint8_t(k)}; }

std::vector<uint8_t> BuiltIn(const char* name) {
  const TResourceEntry* e = FindResourceData(name, "ICC");
  return e ? std::vector<uint8_t>(e->Data, e->Data + e->Size) : std::vector<uint8_t>();
}

void WriteFile(const std::string& name, const void* data, size_t size) {
  std::ofstream(name, std::ios::binary).write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

std::vector<uint8_t> ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}


// A profile made by lcms itself, as bytes.
std::vector<uint8_t> Saved(cmsHPROFILE p) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(p, nullptr, &size);
  std::vector<uint8_t> bytes(size);
  cmsSaveProfileToMem(p, bytes.data(), &size);
  cmsCloseProfile(p);
  return bytes;
}

class IccTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GlobalSettingsInstance()->FCMYKProfileConversion; }
  void TearDown() override { GlobalSettingsInstance()->FCMYKProfileConversion = saved_; }
  static void ProfileConversion(bool on) { GlobalSettingsInstance()->FCMYKProfileConversion = on ? 1 : 0; }
  uint8_t saved_ = 1;
};

TEST_F(IccTest, ArithmeticCmykWhenProfileConversionIsOff) {
  ProfileConversion(false);
  struct ToRgb {
    TCMYK cmyk;
    TRGB rgb;
  } toRgb[] = {
      {Cmyk(255, 255, 255, 255), Rgb(255, 255, 255)},
      {Cmyk(255, 255, 255, 0), Rgb(0, 0, 0)},
      {Cmyk(255, 128, 0, 255), Rgb(255, 128, 0)},
      {Cmyk(200, 100, 50, 128), Rgb(100, 50, 25)},
  };
  for (const auto& c : toRgb) {
    EXPECT_EQ(CmykToRgbPixel(c.cmyk), c.rgb);
    TRGB row[1];
    CmykToRgbRow(&c.cmyk, row, 1);
    EXPECT_EQ(row[0], c.rgb);
  }
  struct ToCmyk {
    TRGB rgb;
    TCMYK cmyk;
  } toCmyk[] = {
      {Rgb(0, 0, 0), Cmyk(255, 255, 255, 0)},
      {Rgb(255, 128, 0), Cmyk(255, 128, 0, 255)},
      {Rgb(100, 50, 25), Cmyk(255, 127, 63, 100)},
      {Rgb(255, 255, 255), Cmyk(255, 255, 255, 255)},
  };
  for (const auto& c : toCmyk) {
    EXPECT_EQ(RgbToCmykPixel(c.rgb), c.cmyk);
    TCMYK row[1];
    RgbToCmykRow(&c.rgb, row, 1);
    EXPECT_EQ(row[0], c.cmyk);
  }
}

TEST_F(IccTest, WeightedRowsMixIntoTheOutput) {
  for (bool icc : {false, true}) {
    SCOPED_TRACE(icc ? "profiles" : "arithmetic");
    ProfileConversion(icc);
    const TCMYK in[4] = {Cmyk(255, 255, 255, 0), Cmyk(255, 255, 255, 0), Cmyk(255, 255, 255, 0), Cmyk(10, 20, 30, 40)};
    TRGB black[1];
    CmykToRgbRow(in, black, 1);
    TRGB out[4] = {Rgb(200, 100, 7), Rgb(200, 100, 7), Rgb(200, 100, 7), Rgb(1, 2, 3)};
    const int32_t weights[4] = {1 << 18, 0, 1 << 17, 0};
    CmykToRgbRow(in, out, 4, weights);
    EXPECT_EQ(out[0], black[0]);
    EXPECT_EQ(out[1], Rgb(200, 100, 7));
    EXPECT_EQ(out[2].r, 200 + ((black[0].r - 200) * (1 << 17) >> 18));
    EXPECT_EQ(out[2].g, 100 + ((black[0].g - 100) * (1 << 17) >> 18));
    EXPECT_EQ(out[3], Rgb(1, 2, 3));
  }
}

TEST_F(IccTest, ProfileConversionAgreesWithPillow) {
  ProfileConversion(true);
  ASSERT_TRUE(EnsureCmykProfiles());
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "python3 (python3-pil) is not installed";
  TestTempDir dir;
  const std::vector<uint8_t> cmykProfile = BuiltIn("DEFAULTCMYK"), srgbProfile = BuiltIn("SRGB");
  WriteFile(dir.File("cmyk.icc"), cmykProfile.data(), cmykProfile.size());
  WriteFile(dir.File("srgb.icc"), srgbProfile.data(), srgbProfile.size());

  // A grid of stored CMYK values (Pillow takes ink amounts, the complements) and of RGB values.
  std::vector<TCMYK> cmyk;
  std::vector<uint8_t> ink;
  for (int c = 0; c < 256; c += 51)
    for (int m = 0; m < 256; m += 51)
      for (int y = 0; y < 256; y += 85)
        for (int k = 0; k < 256; k += 85) {
          cmyk.push_back(Cmyk(c, m, y, k));
          ink.insert(ink.end(), {uint8_t(255 - c), uint8_t(255 - m), uint8_t(255 - y), uint8_t(255 - k)});
        }
  std::vector<TRGB> rgb;
  std::vector<uint8_t> rgbBytes;
  for (int r = 0; r < 256; r += 51)
    for (int g = 0; g < 256; g += 51)
      for (int b = 0; b < 256; b += 51) {
        rgb.push_back(Rgb(r, g, b));
        rgbBytes.insert(rgbBytes.end(), {uint8_t(r), uint8_t(g), uint8_t(b)});
      }
  WriteFile(dir.File("cmyk.raw"), ink.data(), ink.size());
  WriteFile(dir.File("rgb.raw"), rgbBytes.data(), rgbBytes.size());
  const char* script =
      "import sys\n"
      "from PIL import Image, ImageCms\n"
      "cmyk, srgb = ImageCms.getOpenProfile(sys.argv[1]), ImageCms.getOpenProfile(sys.argv[2])\n"
      "flags = int(sys.argv[3])\n"
      "a, b = open(sys.argv[4], 'rb').read(), open(sys.argv[5], 'rb').read()\n"
      "t1 = ImageCms.buildTransform(cmyk, srgb, 'CMYK', 'RGB', 0, flags)  # perceptual\n"
      "t2 = ImageCms.buildTransform(srgb, cmyk, 'RGB', 'CMYK', 0, flags)\n"
      "out = ImageCms.applyTransform(Image.frombytes('CMYK', (len(a) // 4, 1), a), t1).tobytes()\n"
      "out += ImageCms.applyTransform(Image.frombytes('RGB', (len(b) // 3, 1), b), t2).tobytes()\n"
      "sys.stdout.buffer.write(out)\n";
  const std::string flags = std::to_string(cmsFLAGS_HIGHRESPRECALC | cmsFLAGS_NOCACHE);
  if (RunTool({"/usr/bin/python3", "-c", script, dir.File("cmyk.icc"), dir.File("srgb.icc"), flags, dir.File("cmyk.raw"),
           dir.File("rgb.raw")},
          dir.File("out.raw")) != 0)
    GTEST_SKIP() << "Pillow's ImageCms is not available";
  const std::vector<uint8_t> oracle = ReadFile(dir.File("out.raw"));
  ASSERT_EQ(oracle.size(), cmyk.size() * 3 + rgb.size() * 4);

  auto near = [](int a, int b) { return std::abs(a - b) <= 2; };
  std::vector<TRGB> rowRgb(cmyk.size());
  CmykToRgbRow(cmyk.data(), rowRgb.data(), static_cast<int32_t>(cmyk.size()));
  bool whiteSeen = false;
  for (size_t i = 0; i < cmyk.size(); ++i) {
    const uint8_t* o = &oracle[i * 3];
    const TRGB px = CmykToRgbPixel(cmyk[i]);
    EXPECT_EQ(px, rowRgb[i]) << i;
    EXPECT_TRUE(near(px.r, o[0]) && near(px.g, o[1]) && near(px.b, o[2]))
        << "CMYK " << i << ": " << int(px.r) << "," << int(px.g) << "," << int(px.b) << " vs " << int(o[0]) << ","
        << int(o[1]) << "," << int(o[2]);
    whiteSeen |= cmyk[i] == Cmyk(255, 255, 255, 255) && px == Rgb(255, 255, 255);
  }
  EXPECT_TRUE(whiteSeen) << "no ink gives white";
  std::vector<TCMYK> rowCmyk(rgb.size());
  RgbToCmykRow(rgb.data(), rowCmyk.data(), static_cast<int32_t>(rgb.size()));
  for (size_t i = 0; i < rgb.size(); ++i) {
    const uint8_t* o = &oracle[cmyk.size() * 3 + i * 4];
    const TCMYK px = RgbToCmykPixel(rgb[i]);
    EXPECT_EQ(px, rowCmyk[i]) << i;
    EXPECT_TRUE(near(255 - px.c, o[0]) && near(255 - px.m, o[1]) && near(255 - px.y, o[2]) && near(255 - px.k, o[3]))
        << "RGB " << i;
  }
}

TEST_F(IccTest, BuiltInProfilesAndTheirHeaders) {
  TPXICC srgb, cmyk, copy;
  srgb.LoadSRGB();
  cmyk.LoadDefaultCMYK();
  EXPECT_TRUE(srgb.IsValid());
  EXPECT_EQ(srgb.ColorSpace(), "RGB ");
  EXPECT_EQ(srgb.ConnectionSpace(), "XYZ ");
  EXPECT_EQ(srgb.DescriptionText(), "sRGB");
  EXPECT_EQ(srgb.CprtText(), "no copyright, use freely");
  EXPECT_TRUE(cmyk.IsValid());
  EXPECT_EQ(cmyk.ColorSpace(), "CMYK");
  EXPECT_EQ(cmyk.ConnectionSpace(), "Lab ");
  EXPECT_EQ(cmyk.DescriptionText(), "Quillane coated offset CMYK (FOGRA39L)");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(cmyk.ProfileData()) + 12, 4), "prtr");

  copy.Assign(&srgb);
  copy.LoadFromBuffer(copy.ProfileData(), copy.ProfileSize());  // its own bytes
  EXPECT_TRUE(copy.IsValid());
  EXPECT_EQ(copy.ProfileSize(), srgb.ProfileSize());
  EXPECT_EQ(std::memcmp(copy.ProfileData(), srgb.ProfileData(), srgb.ProfileSize()), 0);
  EXPECT_EQ(copy.DescriptionText(), "sRGB");

  // A transform is cached until freed; freeing one marks the profile applied, Clear unmarks it.
  EXPECT_FALSE(cmyk.HasTransform());
  ASSERT_TRUE(cmyk.PrepareTransform(&srgb, iccfCMYK, 0, 0, iccfBGR));
  EXPECT_TRUE(cmyk.HasTransform());
  EXPECT_FALSE(cmyk.Applied());
  cmyk.FreeTransform();
  EXPECT_FALSE(cmyk.HasTransform());
  EXPECT_TRUE(cmyk.Applied());
  cmyk.Clear();
  EXPECT_FALSE(cmyk.Applied());
  EXPECT_FALSE(cmyk.IsValid());
  EXPECT_EQ(cmyk.ProfileSize(), 0);
  EXPECT_EQ(cmyk.ColorSpace(), "");
  copy.Assign(&cmyk);
  EXPECT_FALSE(copy.IsValid());
  EXPECT_EQ(copy.ProfileSize(), 0);
}

TEST_F(IccTest, TransformsFollowTheirDestinationAndLayouts) {
  TPXICC srgb, other, linear, lab;
  srgb.LoadSRGB();
  other.LoadSRGB();
  cmsToneCurve* gamma1 = cmsBuildGamma(nullptr, 1.0);
  cmsToneCurve* curves[3] = {gamma1, gamma1, gamma1};
  cmsCIExyY d65{0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
  const std::vector<uint8_t> linearBytes = Saved(cmsCreateRGBProfile(&d65, &primaries, curves));
  cmsFreeToneCurve(gamma1);
  linear.LoadFromBuffer(linearBytes.data(), static_cast<int32_t>(linearBytes.size()));
  const std::vector<uint8_t> labBytes = Saved(cmsCreateLab4Profile(nullptr));
  lab.LoadFromBuffer(labBytes.data(), static_cast<int32_t>(labBytes.size()));
  ASSERT_TRUE(linear.IsValid() && lab.IsValid());

  // The same layouts towards another destination make a new transform.
  const TRGB grey = Rgb(128, 128, 128);
  TRGB out;
  ASSERT_TRUE(srgb.Transform(&other, iccfBGR, 1, &out, &grey, 0, 0, iccfBGR));
  EXPECT_NEAR(out.g, 128, 1);
  ASSERT_TRUE(srgb.Transform(&linear, iccfBGR, 1, &out, &grey, 0, 0, iccfBGR));
  EXPECT_NEAR(out.g, 55, 2);

  // Lab keeps a* and b* as signed bytes, both ways.
  const TRGB colours[3] = {Rgb(255, 255, 255), Rgb(200, 60, 50), Rgb(40, 70, 200)};
  TCIELab labs[3];
  ASSERT_TRUE(srgb.Transform(&lab, iccfBGR, 3, labs, colours, 0, 0, iccfLab));
  EXPECT_GE(labs[0].l, 254);
  EXPECT_NEAR(labs[0].a, 0, 1);
  EXPECT_NEAR(labs[0].b, 0, 1);
  EXPECT_GT(labs[1].a, 40);
  EXPECT_LT(labs[2].b, -40);
  TRGB back[3];
  ASSERT_TRUE(lab.Transform(&srgb, iccfLab, 3, back, labs, 0, 0, iccfBGR));
  // 8-bit Lab costs up to 6 levels on dark blues (Pillow's LAB mode gives the same 34, 70, 200).
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(back[i].r, colours[i].r, 6) << i;
    EXPECT_NEAR(back[i].g, colours[i].g, 6) << i;
    EXPECT_NEAR(back[i].b, colours[i].b, 6) << i;
  }

  // Layouts that are input-only, unknown, or foreign to the profile give no transform and
  // leave the output alone.
  struct Case {
    TPXICCFormat in, out;
  } refused[] = {{iccfBGR, iccfRGB}, {iccfBGR, iccfCMYK6}, {iccfBGR, iccfRGB48BE}, {iccfBGR, iccf3Channel},
                 {iccfBGR, 10},      {-1, iccfBGR},       {iccfCMYK, iccfBGR}};
  for (const Case& c : refused) {
    uint8_t buffer[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    const uint8_t input[8] = {};
    EXPECT_FALSE(srgb.Transform(&other, c.in, 1, buffer, input, 0, 0, c.out)) << c.in << " -> " << c.out;
    EXPECT_EQ(buffer[0], 7);
  }
  TPXICC empty;
  EXPECT_FALSE(srgb.PrepareTransform(&empty, iccfBGR, 0, 0, iccfBGR));
  EXPECT_FALSE(empty.PrepareTransform(&srgb, iccfBGR, 0, 0, iccfBGR));
  EXPECT_FALSE(srgb.PrepareTransform(nullptr, iccfBGR, 0, 0, iccfBGR));
}

TEST_F(IccTest, BadProfilesAreRefusedWithoutHarm) {
  const std::vector<uint8_t> good = BuiltIn("SRGB");
  ASSERT_GT(good.size(), 1000u);
  auto be32 = [](std::vector<uint8_t>& d, size_t at, uint32_t v) {
    d[at] = uint8_t(v >> 24), d[at + 1] = uint8_t(v >> 16), d[at + 2] = uint8_t(v >> 8), d[at + 3] = uint8_t(v);
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"100 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 100)});
  cases.push_back({"header only", std::vector<uint8_t>(good.begin(), good.begin() + 128)});
  cases.push_back({"truncated", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2)});
  {
    auto d = good;
    be32(d, 0, uint32_t(good.size() + 1));
    cases.push_back({"size past the end", d});
  }
  {
    auto d = good;
    be32(d, 0, 64);
    cases.push_back({"size below the header", d});
  }
  {
    auto d = good;
    be32(d, 128, 5000);
    cases.push_back({"tag count", d});
  }
  {
    auto d = good;
    be32(d, 128, 0x7FFFFFFF);
    cases.push_back({"tag table past the end", d});
  }
  {
    auto d = good;
    be32(d, 132 + 4, uint32_t(good.size() - 4));
    cases.push_back({"tag offset past the end", d});
  }
  {
    auto d = good;
    be32(d, 132 + 8, 0xFFFFFFF0u);
    cases.push_back({"tag size", d});
  }
  {
    auto d = good;
    std::memcpy(&d[36], "xxxx", 4);
    cases.push_back({"signature", d});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPXICC icc, srgb;
    srgb.LoadSRGB();
    icc.LoadFromBuffer(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
    EXPECT_FALSE(icc.IsValid());
    EXPECT_EQ(icc.ProfileSize(), static_cast<int32_t>(c.bytes.size()));  // kept for writing back
    const TRGB in = Rgb(10, 20, 30);
    TRGB out = Rgb(1, 2, 3);
    EXPECT_FALSE(icc.Transform(&srgb, iccfBGR, 1, &out, &in, 0, 0, iccfBGR));
    EXPECT_FALSE(srgb.Transform(&icc, iccfBGR, 1, &out, &in, 0, 0, iccfBGR));
    EXPECT_EQ(out, Rgb(1, 2, 3));
  }
  // Exactly 128 bytes: no texts at all.
  TPXICC header;
  header.LoadFromBuffer(good.data(), 128);
  EXPECT_EQ(header.ColorSpace(), "");
  EXPECT_EQ(header.DescriptionText(), "");

  // Every cut of the profile is refused (the header's size no longer fits).
  for (size_t cut = 0; cut < good.size(); cut += 61) {
    TPXICC icc;
    icc.LoadFromBuffer(good.data(), static_cast<int32_t>(cut));
    EXPECT_FALSE(icc.IsValid()) << cut;
  }
  TPXICC negative;
  negative.LoadFromBuffer(good.data(), -5);
  EXPECT_EQ(negative.ProfileSize(), 0);
}

}  // namespace

TEST_F(IccTest, StreamFormAndFormatCompatibility) {
  TPXICC cmyk, empty, srgb;
  cmyk.LoadDefaultCMYK();
  srgb.LoadSRGB();
  EXPECT_FALSE(cmyk.IsCompatibleFormat(iccfBGR));
  EXPECT_TRUE(cmyk.IsCompatibleFormat(iccfCMYK));
  EXPECT_TRUE(empty.IsCompatibleFormat(iccfBGR));
  EXPECT_TRUE(srgb.IsCompatibleFormat(iccfRGB48));
  EXPECT_FALSE(srgb.IsCompatibleFormat(iccfGray));
  EXPECT_FALSE(empty.IsCompatibleFormat(10));
  EXPECT_TRUE(LoadColorManagement());

  for (const bool raw : {false, true}) {
    TMemoryStream s;
    s.WriteBuffer("xy", 2);
    srgb.SaveToStream(&s, raw);
    EXPECT_EQ(s.Size(), 2 + srgb.ProfileSize() + (raw ? 0 : 4));
    s.Seek(2, soBeginning);
    TPXICC back;
    back.LoadFromStream(&s, raw);
    ASSERT_EQ(back.ProfileSize(), srgb.ProfileSize());
    EXPECT_EQ(std::memcmp(back.ProfileData(), srgb.ProfileData(), srgb.ProfileSize()), 0);
    EXPECT_TRUE(back.IsValid());
  }
  // A size beyond the bytes left raises and leaves the profile empty.
  TMemoryStream bad;
  const int32_t size = 1000;
  bad.WriteBuffer(&size, 4);
  bad.WriteBuffer("short", 5);
  bad.Seek(0, soBeginning);
  TPXICC victim;
  victim.LoadSRGB();
  EXPECT_THROW(victim.LoadFromStream(&bad, false), EReadError);
  EXPECT_EQ(victim.ProfileSize(), 0);
}

TEST_F(IccTest, ConvertBitmapMatchesPillow) {
  TPXICC srgb, cmyk;
  srgb.LoadSRGB();
  cmyk.LoadDefaultCMYK();
  TPXBitmap b32;
  b32.Allocate(4, 4, px32RGB);
  EXPECT_FALSE(srgb.ConvertBitmap(&b32, pxCMYK, &cmyk));
  EXPECT_EQ(b32.PixelFormat(), px32RGB);
  EXPECT_FALSE(srgb.Applied());

  TPXBitmap b;
  const int32_t w = 36, h = 6;
  b.Allocate(w, h, px24RGB);
  std::vector<uint8_t> rgbBytes;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const TRGB c = Rgb(x * 7, y * 50, 255 - x * 5);
      reinterpret_cast<TRGB*>(b.Scanline(y))[x] = c;
      rgbBytes.insert(rgbBytes.end(), {c.r, c.g, c.b});
    }
  ASSERT_TRUE(srgb.ConvertBitmap(&b, pxCMYK, &cmyk));
  EXPECT_EQ(b.PixelFormat(), pxCMYK);
  EXPECT_TRUE(srgb.Applied());

  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "python3 missing";
  TestTempDir dir;
  WriteFile(dir.File("cmyk.icc"), cmyk.ProfileData(), size_t(cmyk.ProfileSize()));
  WriteFile(dir.File("srgb.icc"), srgb.ProfileData(), size_t(srgb.ProfileSize()));
  WriteFile(dir.File("rgb.raw"), rgbBytes.data(), rgbBytes.size());
  const char* script =
      "import sys\n"
      "from PIL import Image, ImageCms\n"
      "t = ImageCms.buildTransform(ImageCms.getOpenProfile(sys.argv[2]), ImageCms.getOpenProfile(sys.argv[1]),"
      " 'RGB', 'CMYK', 0, int(sys.argv[3]))\n"
      "b = open(sys.argv[4], 'rb').read()\n"
      "sys.stdout.buffer.write(ImageCms.applyTransform(Image.frombytes('RGB', (len(b) // 3, 1), b), t).tobytes())\n";
  const std::string flags = std::to_string(cmsFLAGS_HIGHRESPRECALC | cmsFLAGS_NOCACHE);
  if (RunTool({"/usr/bin/python3", "-c", script, dir.File("cmyk.icc"), dir.File("srgb.icc"), flags, dir.File("rgb.raw")},
              dir.File("out.raw")) != 0)
    GTEST_SKIP() << "Pillow's ImageCms is not available";
  const std::vector<uint8_t> oracle = ReadFile(dir.File("out.raw"));
  ASSERT_EQ(oracle.size(), size_t(w * h * 4));
  int worst = 0;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const TCMYK c = reinterpret_cast<TCMYK*>(b.Scanline(y))[x];
      const uint8_t* o = &oracle[size_t(y * w + x) * 4];
      worst = std::max({worst, std::abs(255 - c.c - o[0]), std::abs(255 - c.m - o[1]), std::abs(255 - c.y - o[2]),
                        std::abs(255 - c.k - o[3])});
    }
  EXPECT_LE(worst, 2);
}

// The press profile reproduces the measurement set it was made from.
TEST_F(IccTest, PressProfileMatchesItsMeasurements) {
  std::ifstream ti3("/usr/share/color/icc/FOGRA39L.ti3");
  if (!ti3) GTEST_SKIP() << "icc-profiles-free's FOGRA39L.ti3 is not installed";
  const std::vector<uint8_t> bytes = BuiltIn("DEFAULTCMYK");
  cmsHPROFILE cmyk = cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size()));
  ASSERT_NE(cmyk, nullptr);
  EXPECT_EQ(cmsGetDeviceClass(cmyk), cmsSigOutputClass);
  EXPECT_EQ(cmsGetColorSpace(cmyk), cmsSigCmykData);
  EXPECT_EQ(cmsGetPCS(cmyk), cmsSigLabData);
  cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
  cmsHTRANSFORM t = cmsCreateTransform(cmyk, TYPE_CMYK_DBL, lab, TYPE_Lab_DBL, INTENT_ABSOLUTE_COLORIMETRIC, 0);
  ASSERT_NE(t, nullptr);
  std::string line;
  bool data = false;
  int n = 0;
  double sum = 0;
  while (std::getline(ti3, line)) {
    if (line.rfind("BEGIN_DATA", 0) == 0 && line.find("FORMAT") == std::string::npos) {
      data = true;
      continue;
    }
    if (line.rfind("END_DATA", 0) == 0) data = false;
    if (!data) continue;
    std::istringstream in(line);
    std::string id;
    double c[4], xyz[3], measured[3];
    if (!(in >> id >> c[0] >> c[1] >> c[2] >> c[3] >> xyz[0] >> xyz[1] >> xyz[2] >> measured[0] >> measured[1] >> measured[2]))
      continue;
    cmsCIELab got;
    cmsDoTransform(t, c, &got, 1);
    sum += std::sqrt((got.L - measured[0]) * (got.L - measured[0]) + (got.a - measured[1]) * (got.a - measured[1]) +
                     (got.b - measured[2]) * (got.b - measured[2]));
    ++n;
  }
  cmsDeleteTransform(t);
  cmsCloseProfile(lab);
  cmsCloseProfile(cmyk);
  ASSERT_GT(n, 1000);
  EXPECT_LT(sum / n, 2.0);
}
