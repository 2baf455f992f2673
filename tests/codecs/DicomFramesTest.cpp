// DICOM frames and windows: frames found through filled and empty offset tables, the index
// clamped to the last frame, the window formula and its sources (a VOI LUT sequence, smallest and
// largest values, the samples' own range), display levels in mode 1, MONOCHROME1, and the mended
// bounds (palette tables, sequence depth, RLE headers).
#include <cmath>

#include "io/pixoranio.h"
#include "io/pxxBitmaps_meta.h"
#include "tests/codecs/DicomTestSupport.h"

using namespace dicomtest;

namespace {

// Frame i of the multi-frame file holds (i * 20 + 3x + y) mod 256.
std::vector<int32_t> ExpectedFrame(int I) {
  std::vector<int32_t> v;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) v.push_back((I * 20 + x * 3 + y) % 256);
  return v;
}

TEST(DicomFrames, OffsetTablesFilledAndEmptyAndTheLastFrame) {
  TestTempDir dir;
  ASSERT_TRUE(Py({"frames", "5", dir.File("raw.dcm")}));
  for (const std::vector<std::string>& tool :
       std::vector<std::vector<std::string>>{{}, {"/usr/bin/dcmcrle", "+ot"}, {"/usr/bin/dcmcrle", "-ot"},
                                             {"/usr/bin/dcmcjpeg", "+e1", "+ot"}, {"/usr/bin/dcmcjpeg", "+e1", "-ot"}}) {
    SCOPED_TRACE(tool.empty() ? "raw" : tool[0] + " " + tool.back());
    std::string file = dir.File("raw.dcm");
    if (!tool.empty()) {
      std::vector<std::string> argv = tool;
      argv.insert(argv.end(), {file, dir.File("c.dcm")});
      ASSERT_TRUE(RunOracle(argv));
      file = dir.File("c.dcm");
    }
    const std::string data = ReadFile(file);
    for (int index : {0, 3, 4, 9}) {
      const Read r = ReadDicom(data, 2, index);
      ASSERT_FALSE(r.Aborted) << index;
      EXPECT_EQ(SamplesOf(r.Bitmap.get()), ExpectedFrame(std::min(index, 4))) << index;
      EXPECT_EQ(r.Params->ImageIndex, std::min(index, 4));
      EXPECT_EQ(r.Params->ImageCount, 5);
    }
  }
}

// Windows on a 16-bit picture whose attributes the test sets in the tag list of a file it writes.
std::string GreyFile(TIOParams& P, const std::vector<uint16_t>& Samples) {
  auto b = TPXBitmap::CreateAllocated(int(Samples.size()), 1, px16g);
  std::memcpy(b->Scanline(0), Samples.data(), Samples.size() * 2);
  P.SetColorsFromPixelFormat(px16g);
  P.Width = b->Width();
  P.Height = 1;
  TMemoryStream s;
  Progressed run;
  EncodeDicomStream(&s, b.get(), &P, run.Progress);
  return BytesOf(s);
}

// Adds elements behind the writer's back: the writer drops window and rescale elements, so they
// are appended to the data set before the pixel data.
std::string WithElements(const std::string& File, const std::string& Elements) {
  const size_t at = File.rfind(std::string("\xE0\x7F\x10\x00", 4));
  return File.substr(0, at) + Elements + File.substr(at);
}

std::string Text(uint16_t G, uint16_t E, const char* VR, std::string V) {
  if (V.size() % 2) V += ' ';
  std::string s{char(G & 0xFF), char(G >> 8), char(E & 0xFF), char(E >> 8), VR[0], VR[1], char(V.size()), 0};
  return s + V;
}

TEST(DicomFrames, WindowsAndLevels) {
  TIOParams p;
  const std::vector<uint16_t> samples{100, 200, 300, 1100, 2100};
  const std::string plain = GreyFile(p, samples);
  // Without any window the samples' own range: 100 .. 2100 spread over 0 .. 65535.
  {
    const Read r = ReadDicom(plain, 0);
    const std::vector<int32_t> s = SamplesOf(r.Bitmap.get());
    // lo 100, width 2001, centre 1100.5: a = 100, b = 2100.
    EXPECT_EQ(s.front(), 0);
    EXPECT_EQ(s.back(), 65535);
    EXPECT_EQ(s[3], int32_t(std::nearbyint((1100 - 100) / 2000.0 * 65535)));
  }
  // Window 1100 / 1000 with rescale 2x - 100: e = 2v - 100 clamped to [600, 1599].
  const std::string windowed = WithElements(plain, Text(0x0028, 0x1050, "DS", "1100\\50") + Text(0x0028, 0x1051, "DS", "1000") +
                                                       Text(0x0028, 0x1052, "DS", "-100") + Text(0x0028, 0x1053, "DS", "2"));
  {
    const Read r = ReadDicom(windowed, 0);
    const std::vector<int32_t> s = SamplesOf(r.Bitmap.get());
    const auto expect = [](double v) {
      const double a = std::nearbyint(1100 - 0.5 - 999 / 2.0), b = std::nearbyint(1100 - 0.5 + 999 / 2.0);
      const double e = std::clamp(v * 2 - 100, a, b);
      return int32_t(std::nearbyint((e - a) / (b - a) * 65535));
    };
    for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(s[i], expect(samples[i])) << i;
  }
  // A VOI LUT sequence's window wins over the top-level one.
  {
    std::string item = Text(0x0028, 0x1050, "DS", "300") + Text(0x0028, 0x1051, "DS", "200");
    std::string seq = std::string("\x28\x00\x10\x31SQ\0\0", 8) + std::string("\xFF\xFF\xFF\xFF", 4) +
                      std::string("\xFE\xFF\x00\xE0", 4) + char(item.size()) + std::string(3, '\0') + item +
                      std::string("\xFE\xFF\xDD\xE0\0\0\0\0", 8);
    const Read r = ReadDicom(WithElements(plain, Text(0x0028, 0x1050, "DS", "1100") + Text(0x0028, 0x1051, "DS", "1000") + seq), 0);
    const std::vector<int32_t> s = SamplesOf(r.Bitmap.get());
    EXPECT_EQ(s[0], 0);      // 100 below 200
    EXPECT_EQ(s[3], 65535);  // 1100 above 399
    EXPECT_GT(s[2], 30000);  // 300 in the middle
    EXPECT_LT(s[2], 35000);
  }
  // Mode 1 keeps the rescaled values and sets the levels and the value offset.
  {
    const Read r = ReadDicom(windowed, 1);
    const std::vector<int32_t> s = SamplesOf(r.Bitmap.get());
    for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(s[i], samples[i] * 2) << i;
    EXPECT_EQ(r.Params->DICOM_ValueOffset, 100);
    EXPECT_EQ(r.Bitmap->FDisplayRangeLow, 1200 - 500);
    EXPECT_EQ(r.Bitmap->FDisplayRangeHigh, 1200 + 500);
  }
}

TEST(DicomFrames, Monochrome1ComesOutComplemented) {
  TestTempDir dir;
  ASSERT_TRUE(Py({"pixels", "le_mono1", dir.File("m.dcm")}));
  const std::string data = ReadFile(dir.File("m.dcm"));
  const std::vector<int32_t> raw = SamplesOf(ReadDicom(data, 2).Bitmap.get());
  const std::vector<int32_t> shown = SamplesOf(ReadDicom(data, 1).Bitmap.get());
  ASSERT_EQ(raw.size(), shown.size());
  for (size_t i = 0; i < raw.size(); ++i) ASSERT_EQ(shown[i], 255 - raw[i]) << i;
}

// The bounds kept over what files say: short and missing palette tables, sequences nested deeper
// than 64, RLE headers with too many segments or offsets outside the fragment.
TEST(DicomFrames, MendedBounds) {
  TestTempDir dir;
  ASSERT_TRUE(Py({"pixels", "le_pal8", dir.File("p.dcm")}));
  std::string pal = ReadFile(dir.File("p.dcm"));
  // The red table cut to 16 entries: entries past it read 0.
  const size_t red = pal.find(std::string("\x28\x00\x01\x12OW", 6));
  ASSERT_NE(red, std::string::npos);
  std::string cut = pal.substr(0, red) + std::string("\x28\x00\x01\x12OW\0\0\x20\0\0\0", 12) + pal.substr(red + 12, 32) +
                    pal.substr(red + 12 + 512);
  const Read shortTable = ReadDicom(cut);
  ASSERT_FALSE(shortTable.Aborted);
  const Read full = ReadDicom(pal);
  const std::vector<int32_t> a = SamplesOf(shortTable.Bitmap.get()), b = SamplesOf(full.Bitmap.get());
  ASSERT_EQ(a.size(), b.size());
  const auto* index = reinterpret_cast<const uint8_t*>(pal.data()) + pal.size() - size_t(40 * 33);
  for (size_t i = 0; i < a.size() / 3; ++i) {
    EXPECT_EQ(a[3 * i], index[i] < 16 ? b[3 * i] : 0) << i;
    EXPECT_EQ(a[3 * i + 1], b[3 * i + 1]) << i;
  }
  // Sequences 100 deep: the reader stops nesting at 64 and still finds the pixels.
  TIOParams p;
  const std::string plain = GreyFile(p, {1, 2, 3});
  std::string nested;
  for (int i = 0; i < 100; ++i) nested = std::string("\x08\x00\x40\x11SQ\0\0\xFF\xFF\xFF\xFF\xFE\xFF\x00\xE0\xFF\xFF\xFF\xFF", 20) +
                                        nested + std::string("\xFE\xFF\x0D\xE0\0\0\0\0\xFE\xFF\xDD\xE0\0\0\0\0", 16);
  const Read deep = ReadDicom(WithElements(plain, nested));
  EXPECT_FALSE(deep.Aborted);
  EXPECT_EQ(SamplesOf(deep.Bitmap.get()), (std::vector<int32_t>{1, 2, 3}));
  // RLE: 16 segments, and an offset past the fragment, abort.
  ASSERT_TRUE(Py({"pixels", "le_8", dir.File("g.dcm")}));
  ASSERT_TRUE(RunOracle({"/usr/bin/dcmcrle", dir.File("g.dcm"), dir.File("r.dcm")}));
  const std::string rle = ReadFile(dir.File("r.dcm"));
  const size_t header = rle.find(std::string("\x01\x00\x00\x00\x40\x00\x00\x00", 8));
  ASSERT_NE(header, std::string::npos);
  std::string many = rle, far = rle;
  many[header] = 16;
  far[header + 5] = '\x7F';
  EXPECT_TRUE(ReadDicom(many).Aborted);
  EXPECT_TRUE(ReadDicom(far).Aborted);
  EXPECT_FALSE(ReadDicom(rle).Aborted);
}

TEST(DicomFrames, ThroughTheIOComponent) {
  TestTempDir dir;
  auto b = TPXBitmap::CreateAllocated(30, 20, px24RGB);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) b->SetPixel24(x, y, TRGB{uint8_t(x * 8), uint8_t(y * 12), uint8_t(x + y)});
  for (const char* ext : {"dcm", "jp2", "j2k"}) {
    SCOPED_TRACE(ext);
    auto work = TPXBitmap::CreateCopy(b.get());
    TPixoranIO io(nullptr);
    io.SetAttachedBitmap(work.get());
    io.GetParams()->J2000_Rate = 1.0;
    const std::string name = dir.File(std::string("a.") + ext);
    io.SaveToFile(name, 0);
    TPXBitmap loaded;
    TPixoranIO back(nullptr);
    back.SetAttachedBitmap(&loaded);
    ASSERT_TRUE(back.LoadFromFile(name, 0));
    EXPECT_EQ(SamplesOf(&loaded), SamplesOf(b.get()));
  }
}

}  // namespace
