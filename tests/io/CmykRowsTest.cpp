// CMYK rows through a picture's own profile, against lcms2 driven directly with the same two
// built-in profiles, and the weighted mixing.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <vector>

#include "io/pxcmykrows.h"

namespace {

std::vector<TCMYK> SampleRow() {
  std::vector<TCMYK> row;
  for (int i = 0; i < 300; ++i)  // more than one chunk
    row.push_back(TCMYK{uint8_t(i * 37), uint8_t(255 - i), uint8_t(i * 11), uint8_t(128 + i / 3)});
  return row;
}

TEST(CmykRows, ProfileTransformMatchesLcms) {
  TPXICC cmyk, srgb;
  cmyk.LoadDefaultCMYK();
  srgb.LoadSRGB();
  ASSERT_TRUE(cmyk.IsValid());
  ASSERT_TRUE(srgb.IsValid());
  const std::vector<TCMYK> in = SampleRow();
  std::vector<TRGB> out(in.size());
  CmykToRgbRowIcc(in.data(), out.data(), static_cast<int32_t>(in.size()), &cmyk, &srgb);

  // The oracle: stored bytes are complemented ink, so lcms reads them as reversed CMYK.
  cmsHPROFILE p1 = cmsOpenProfileFromMem(cmyk.ProfileData(), static_cast<cmsUInt32Number>(cmyk.ProfileSize()));
  cmsHPROFILE p2 = cmsOpenProfileFromMem(srgb.ProfileData(), static_cast<cmsUInt32Number>(srgb.ProfileSize()));
  ASSERT_TRUE(p1 && p2);
  cmsHTRANSFORM t = cmsCreateTransform(p1, TYPE_CMYK_8_REV, p2, TYPE_BGR_8, INTENT_PERCEPTUAL,
                                       cmsFLAGS_HIGHRESPRECALC | cmsFLAGS_NOCACHE);
  ASSERT_TRUE(t);
  std::vector<TRGB> ref(in.size());
  cmsDoTransform(t, in.data(), ref.data(), static_cast<cmsUInt32Number>(in.size()));
  cmsDeleteTransform(t);
  cmsCloseProfile(p1);
  cmsCloseProfile(p2);
  for (size_t i = 0; i < in.size(); ++i) {
    EXPECT_EQ(out[i].r, ref[i].r) << i;
    EXPECT_EQ(out[i].g, ref[i].g) << i;
    EXPECT_EQ(out[i].b, ref[i].b) << i;
  }

  // Weights of 18 fraction bits: full replaces, none keeps, half goes half-way.
  const int32_t n = static_cast<int32_t>(in.size());
  std::vector<int32_t> w(in.size());
  for (int32_t i = 0; i < n; ++i) w[i] = i % 3 == 0 ? 1 << 18 : i % 3 == 1 ? 0 : 1 << 17;
  std::vector<TRGB> mixed(in.size(), TRGB{10, 20, 30});
  CmykToRgbRowIcc(in.data(), mixed.data(), n, &cmyk, &srgb, w.data());
  for (int32_t i = 0; i < n; ++i) {
    const TRGB& m = mixed[i];
    const int32_t expected = i % 3 == 0 ? out[i].g : i % 3 == 1 ? 20 : 20 + ((out[i].g - 20) * (1 << 17) >> 18);
    EXPECT_EQ(m.g, expected) << i;
  }
}

TEST(CmykRows, WithoutATransformTheRowGoesThroughCmykToRgbRow) {
  const std::vector<TCMYK> in = SampleRow();
  const int32_t n = static_cast<int32_t>(in.size());
  std::vector<TRGB> expected(in.size()), out(in.size());
  CmykToRgbRow(in.data(), expected.data(), n);
  TPXICC empty, srgb;
  srgb.LoadSRGB();
  CmykToRgbRowIcc(in.data(), out.data(), n, nullptr, &srgb);
  for (int32_t i = 0; i < n; ++i) EXPECT_EQ(out[i].r, expected[i].r) << i;
  CmykToRgbRowIcc(in.data(), out.data(), n, &empty, &srgb);
  for (int32_t i = 0; i < n; ++i) EXPECT_EQ(out[i].b, expected[i].b) << i;
  CmykToRgbRowIcc(nullptr, out.data(), n, &empty, &srgb);
  CmykToRgbRowIcc(in.data(), out.data(), 0, &empty, &srgb);
}

}  // namespace
