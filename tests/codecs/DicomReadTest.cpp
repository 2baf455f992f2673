// The DICOM reader: data sets pydicom writes (every element pydicom lists, in every byte order),
// frame counting, and the pixel stage over transfer syntaxes, photometric interpretations and bit
// depths against pydicom, DCMTK and GDCM.
#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>

#include "io/pxxBitmaps_meta.h"
#include "tests/codecs/DicomTestSupport.h"

using namespace dicomtest;

namespace {

std::vector<double> NumbersOf(const TPXDicomTag& T) {
  std::vector<double> v;
  const uint8_t* p = T.Data.data();
  const auto n = size_t(T.DataLength);
  switch (T.VR) {
    case 26: for (size_t i = 0; i + 2 <= n; i += 2) { uint16_t x; std::memcpy(&x, p + i, 2); v.push_back(x); } break;
    case 19: for (size_t i = 0; i + 2 <= n; i += 2) { int16_t x; std::memcpy(&x, p + i, 2); v.push_back(x); } break;
    case 23: for (size_t i = 0; i + 4 <= n; i += 4) { uint32_t x; std::memcpy(&x, p + i, 4); v.push_back(x); } break;
    case 17: for (size_t i = 0; i + 4 <= n; i += 4) { int32_t x; std::memcpy(&x, p + i, 4); v.push_back(x); } break;
    case 8: for (size_t i = 0; i + 4 <= n; i += 4) { float x; std::memcpy(&x, p + i, 4); v.push_back(x); } break;
    case 7: for (size_t i = 0; i + 8 <= n; i += 8) { double x; std::memcpy(&x, p + i, 8); v.push_back(x); } break;
    case 2: for (size_t i = 0; i + 2 <= n; i += 2) { uint16_t x; std::memcpy(&x, p + i, 2); v.push_back(x); } break;
    default: break;
  }
  return v;
}

std::string Hex(const TPXDicomTag& T) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (int32_t i = 0; i < T.DataLength; ++i) s += {d[T.Data[size_t(i)] >> 4], d[T.Data[size_t(i)] & 15]};
  return s;
}

std::string TextOf(const TPXDicomTag& T) {
  std::string s(reinterpret_cast<const char*>(T.Data.data()), strnlen(reinterpret_cast<const char*>(T.Data.data()), size_t(T.DataLength)));
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  while (!s.empty() && s.front() == ' ') s.erase(s.begin());
  return s;
}

// Every element pydicom lists is in the list, in order, with its VR and value.
void ExpectSameElements(const nlohmann::json& Expected, const TPXDicomTags* Tags, const std::string& Where) {
  int32_t at = 0;
  for (const auto& e : Expected) {
    const uint16_t g = e["g"], el = e["e"];
    while (at < Tags->GetCount() && !(Tags->GetTag(at)->Group == g && Tags->GetTag(at)->Element == el)) ++at;
    ASSERT_LT(at, Tags->GetCount()) << Where << " lacks " << std::hex << g << "," << el;
    const TPXDicomTag& t = *Tags->GetTag(at);
    const std::string vr = e["vr"];
    const std::string what = Where + " " + TPXDicomTags::VrToText(t.VR) + " " + std::to_string(g) + "," + std::to_string(el);
    if (vr == "SQ" || (vr == "UN" && t.Children)) {
      // pydicom keeps an implicit private sequence as UN bytes; we recognise it by its items.
      ASSERT_TRUE(t.Children) << what;
      if (vr == "SQ") {
        ASSERT_EQ(t.Children->size(), e["items"].size()) << what;
        for (size_t i = 0; i < t.Children->size(); ++i) ExpectSameElements(e["items"][i], (*t.Children)[i].get(), what);
      }
      continue;
    }
    if (vr != "UN" && t.VR != 28) {
      EXPECT_EQ(TPXDicomTags::VrToText(t.VR), vr) << what;
    }
    if (e.contains("nums")) {
      const std::vector<double> ours = NumbersOf(t);
      ASSERT_EQ(ours.size(), e["nums"].size()) << what;
      for (size_t i = 0; i < ours.size(); ++i) EXPECT_NEAR(ours[i], double(e["nums"][i]), 1e-5) << what;
    } else if (e.contains("hex")) {
      EXPECT_EQ(Hex(t), std::string(e["hex"])) << what;
    } else {
      EXPECT_EQ(TextOf(t), std::string(e["text"])) << what;
    }
  }
}

TEST(DicomRead, DataSetsListEveryElementPydicomLists) {
  for (const char* variant : {"implicit", "explicit", "big"}) {
    SCOPED_TRACE(variant);
    TestTempDir dir;
    const std::string file = dir.File("a.dcm"), list = dir.File("a.json");
    ASSERT_TRUE(Py({"dataset", variant, file}));
    ASSERT_TRUE(Py({"list", file, list}));
    const std::string data = ReadFile(file);
    const Read r = ReadDicom(data, 2, 0, true);
    EXPECT_FALSE(r.Aborted);
    ExpectSameElements(nlohmann::json::parse(ReadFile(list)), r.Params->DICOM_Tags(), variant);
    // Image attributes, the window's first value, the rescale values.
    EXPECT_EQ(r.Params->Width, 3);
    EXPECT_EQ(r.Params->Height, 2);
    EXPECT_EQ(r.Params->BitsPerSample, 16);
    EXPECT_EQ(r.Params->SamplesPerPixel, 1);
    EXPECT_EQ(r.Params->ImageCount, 12);
    EXPECT_EQ(r.Params->DICOM_RangeValues[0], -1024);
    EXPECT_EQ(r.Params->DICOM_RangeValues[1], 1);
    EXPECT_EQ(r.Params->DICOM_RangeValues[2], 40);
    EXPECT_EQ(r.Params->DICOM_RangeValues[3], 400);
    // Frame counting restores the position; the signature test too.
    auto s = StreamOf(data);
    s->Seek(0, soBeginning);
    EXPECT_EQ(GetDicomStreamFrameCount(s.get()), 12);
    EXPECT_EQ(s->Position(), 0);
    EXPECT_EQ(HasDicomSignature(s.get()), std::string(variant) != "implicit");
    EXPECT_EQ(s->Position(), 0);
    // Frame 5 of the 12: samples 5 * 6 .. 5 * 6 + 5.
    const Read f = ReadDicom(data, 2, 5);
    EXPECT_FALSE(f.Aborted);
    ASSERT_EQ(f.Bitmap->PixelFormat(), px16g);
    EXPECT_EQ(SamplesOf(f.Bitmap.get()), (std::vector<int32_t>{30, 31, 32, 33, 34, 35}));
  }
}

TEST(DicomRead, FileWithoutPixelDataGivesTheTags) {
  TestTempDir dir;
  ASSERT_TRUE(Py({"dataset", "explicit", dir.File("a.dcm")}));
  std::string data = ReadFile(dir.File("a.dcm"));
  // Cut the file before the pixel data element.
  const size_t at = data.rfind(std::string("\xE0\x7F\x10\x00", 4));
  ASSERT_NE(at, std::string::npos);
  data.resize(at);
  const Read r = ReadDicom(data);
  EXPECT_FALSE(r.Aborted);
  EXPECT_TRUE(r.Bitmap->IsEmpty());
  EXPECT_EQ(r.Params->DICOM_Tags()->GetTagTextOf(0x0010, 0x0020).substr(0, 5), "12345");
}

}  // namespace

namespace {

// How a case's file is made from pydicom's uncompressed one, and how its twin (the pixels to
// match) is made: none (the file itself), or a decompressing tool.
struct PixelCase {
  const char* Source;  // dicom_oracle.py pixels case
  std::vector<std::string> Compress;  // tool and options; empty: the source itself
  std::vector<std::string> Twin;      // decompressing tool; empty: pydicom reads the file itself
  int Tolerance;
};

TEST(DicomRead, PixelsMatchTheOraclesAcrossSyntaxesAndLayouts) {
  const std::string dcmcrle = "/usr/bin/dcmcrle", dcmcjpeg = "/usr/bin/dcmcjpeg", dcmdjpeg = "/usr/bin/dcmdjpeg",
                    gdcmconv = "/usr/bin/gdcmconv";
  const std::vector<PixelCase> cases = {
      {"le_8", {}, {}, 0},          {"le_mono1", {}, {}, 0},     {"le_12in16", {}, {}, 0},
      {"le_16u", {}, {}, 0},        {"le_16s", {}, {}, 0},       {"be_16u", {}, {}, 0},
      {"be_16s", {}, {}, 0},        {"be_8", {}, {}, 0},         {"le_rgb0", {}, {}, 0},
      {"le_rgb1", {}, {}, 0},       {"le_ybr", {}, {}, 1},       {"le_pal8", {}, {}, 0},
      {"le_pal16", {}, {}, 0},      {"be_pal16", {}, {}, 0},
      {"le_8", {dcmcrle}, {}, 0},   {"le_16u", {dcmcrle}, {}, 0}, {"le_16s", {dcmcrle}, {}, 0},
      {"le_rgb0", {dcmcrle}, {}, 0}, {"le_ybr", {dcmcrle}, {}, 1}, {"le_pal8", {dcmcrle}, {}, 0},
      {"le_mono1", {dcmcrle}, {}, 0},
      {"le_8", {dcmcjpeg, "+eb"}, {dcmdjpeg}, 2},
      {"le_rgb0", {dcmcjpeg, "+eb"}, {dcmdjpeg}, 3},
      {"le_8", {dcmcjpeg, "+e1"}, {dcmdjpeg}, 0},
      {"le_rgb0", {dcmcjpeg, "+e1"}, {dcmdjpeg}, 0},
      {"le_12in16", {dcmcjpeg, "+e1"}, {dcmdjpeg}, 0},
      {"le_16u", {dcmcjpeg, "+el", "+sv", "1"}, {dcmdjpeg}, 0},
      {"le_16u", {dcmcjpeg, "+el", "+sv", "2"}, {dcmdjpeg}, 0},
      {"le_16u", {dcmcjpeg, "+el", "+sv", "3"}, {dcmdjpeg}, 0},
      {"le_16u", {dcmcjpeg, "+el", "+sv", "4"}, {dcmdjpeg}, 0},
      {"le_16u", {dcmcjpeg, "+el", "+sv", "5"}, {dcmdjpeg}, 0},
      {"le_16u", {dcmcjpeg, "+el", "+sv", "6"}, {dcmdjpeg}, 0},
      {"le_16u", {dcmcjpeg, "+el", "+sv", "7"}, {dcmdjpeg}, 0},
      {"le_rgb0", {dcmcjpeg, "+el", "+sv", "4"}, {dcmdjpeg}, 0},
      {"le_16u", {gdcmconv, "--j2k"}, {gdcmconv, "--raw"}, 0},
      {"le_12in16", {gdcmconv, "--j2k"}, {gdcmconv, "--raw"}, 0},
      {"le_16s", {gdcmconv, "--j2k"}, {gdcmconv, "--raw"}, 0},
      {"le_8", {gdcmconv, "--j2k"}, {gdcmconv, "--raw"}, 0},
      {"le_rgb0", {gdcmconv, "--j2k"}, {gdcmconv, "--raw"}, 0},
      {"le_8", {gdcmconv, "--j2k", "--lossy", "-q", "30"}, {gdcmconv, "--raw"}, 1},
      {"le_16u", {gdcmconv, "--j2k", "--lossy", "-q", "30"}, {gdcmconv, "--raw"}, 1},
  };
  // pydicom runs once to make every source and once to read every truth.
  TestTempDir dir;
  std::vector<std::string> make{"pixels"}, read{"samples"};
  std::vector<std::string> files(cases.size()), truths(cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string n = std::to_string(i);
    make.insert(make.end(), {cases[i].Source, dir.File(n + "s.dcm")});
    if (std::string(cases[i].Source).rfind("be_", 0) == 0)  // a big-endian file reads as its little-endian twin
      make.insert(make.end(), {"le_" + std::string(cases[i].Source).substr(3), dir.File(n + "le.dcm")});
  }
  ASSERT_TRUE(Py(make));
  for (size_t i = 0; i < cases.size(); ++i) {
    const PixelCase& c = cases[i];
    const std::string n = std::to_string(i);
    files[i] = dir.File(n + "s.dcm");
    if (!c.Compress.empty()) {
      std::vector<std::string> argv = c.Compress;
      argv.insert(argv.end(), {files[i], dir.File(n + "f.dcm")});
      ASSERT_TRUE(RunOracle(argv)) << c.Source;
      files[i] = dir.File(n + "f.dcm");
    }
    truths[i] = std::string(c.Source).rfind("be_", 0) == 0 ? dir.File(n + "le.dcm") : files[i];
    if (!c.Twin.empty()) {
      std::vector<std::string> argv = c.Twin;
      argv.insert(argv.end(), {files[i], dir.File(n + "t.dcm")});
      ASSERT_TRUE(RunOracle(argv)) << c.Source;
      truths[i] = dir.File(n + "t.dcm");
    }
    read.insert(read.end(), {truths[i], dir.File(n + ".raw")});
  }
  ASSERT_TRUE(Py(read));
  for (size_t i = 0; i < cases.size(); ++i) {
    const PixelCase& c = cases[i];
    SCOPED_TRACE(std::string(c.Source) + (c.Compress.empty() ? "" : " " + c.Compress[0]) +
                 (c.Compress.size() > 1 ? " " + c.Compress[1] : "") + (c.Compress.size() > 3 ? " " + c.Compress[3] : ""));
    std::vector<int32_t> expected = Int32sOf(ReadFile(dir.File(std::to_string(i) + ".raw")));
    const Read r = ReadDicom(ReadFile(files[i]));
    ASSERT_FALSE(r.Aborted);
    const std::string kind = std::string(c.Source).substr(3);
    // Stored bits: 8-bit palette entries come out divided by 257, signed words as their bits.
    for (int32_t& v : expected) {
      if (kind == "pal8") v /= 257;
      if (kind == "16s") v &= 0xFFFF;
    }
    const std::vector<int32_t> ours = SamplesOf(r.Bitmap.get());
    ASSERT_EQ(ours.size(), expected.size());
    int worst = 0;
    for (size_t k = 0; k < ours.size(); ++k) worst = std::max(worst, std::abs(ours[k] - expected[k]));
    EXPECT_LE(worst, c.Tolerance);
  }
}

}  // namespace
