// The DICOM writer: the raised texts, the prepared tags (transfer syntax, file meta, image
// attributes, SOP class, dropped window, rescale and palette elements, the picture's own list
// untouched), the RLE rows, and every syntax and pixel format against dcmdump, dcmj2pnm, GDCM,
// pydicom and our reader.
#include <nlohmann/json.hpp>

#include <cmath>

#include "io/pxxBitmaps_meta.h"
#include "tests/codecs/DicomTestSupport.h"
#include "tests/common/TestSupport.h"

using namespace dicomtest;

namespace {

// A picture of every byte value (Smooth: one gentle gradient, no wrap, which a lossy coder keeps
// close).
std::unique_ptr<TPXBitmap> Picture(TPXPixelFormat F, int W = 40, int H = 30, bool Smooth = false) {
  auto b = TPXBitmap::CreateAllocated(W, H, F);
  for (int y = 0; y < H; ++y) {
    uint8_t* r = b->Scanline(y);
    for (int64_t i = 0; i < b->RowLen(); ++i)
      r[i] = Smooth ? uint8_t((i * 2 + y * 3) * 255 / (2 * (b->RowLen() - 1) + 3 * (H - 1)))
                    : uint8_t((i * 7 + y * 13 + (i * y) % 5) & 0xFF);
  }
  return b;
}

std::string Write(TPXBitmap* B, TIOParams* P, const std::string& Syntax = "", bool* Aborted = nullptr) {
  P->SetColorsFromPixelFormat(B->PixelFormat());
  P->Width = B->Width();
  P->Height = B->Height();
  if (!Syntax.empty()) P->GetDicomTags()->SetString(0x0002, 0x0010, true, Syntax);
  TMemoryStream s;
  Progressed run;
  EncodeDicomStream(&s, B, P, run.Progress);
  if (Aborted) *Aborted = run.Aborted;
  return BytesOf(s);
}

TEST(DicomWrite, RaisedTexts) {
  auto grey = Picture(px8g);
  TIOParams p;
  TMemoryStream s;
  Progressed run;
  p.SamplesPerPixel = 3;
  p.BitsPerSample = 16;
  EXPECT_EQ(MessageOf<EPXException>([&] { EncodeDicomStream(&s, grey.get(), &p, run.Progress); }),
            "DICOM saving: unsupported SamplesPerPixel and/or BitsPerSample");
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 8;
  p.DICOM_Range = 1;
  EXPECT_EQ(MessageOf<EPXException>([&] { EncodeDicomStream(&s, grey.get(), &p, run.Progress); }),
            "DICOM_Range = pxdrSetBlackWhite not supported for saving");
  p.DICOM_Range = 0;
  auto wide = Picture(pxRGB48);
  EXPECT_EQ(MessageOf<EPXException>([&] { EncodeDicomStream(&s, wide.get(), &p, run.Progress); }),
            "DICOM saving: unsupported pixel format");
}

TEST(DicomWrite, PreparedTags) {
  TestTempDir dir;
  // Read from an implicit VR file with window, rescale and a 12-frame count.
  ASSERT_TRUE(Py({"dataset", "implicitmeta", dir.File("in.dcm")}));
  Read in = ReadDicom(ReadFile(dir.File("in.dcm")));
  ASSERT_FALSE(in.Aborted);
  in.Params->DICOM_Range = 0;
  const int32_t before = in.Params->DICOM_Tags()->GetCount();
  auto grey = Picture(px8g);
  const std::string out = Write(grey.get(), in.Params.get());
  // The picture's own list keeps its elements.
  EXPECT_EQ(in.Params->DICOM_Tags()->GetCount(), before);
  EXPECT_GE(in.Params->DICOM_Tags()->IndexOf(0x0028, 0x1050), 0);
  WriteFile(dir.File("out.dcm"), out);
  ASSERT_TRUE(Py({"clean", dir.File("out.dcm")}));
  ASSERT_TRUE(Py({"tags", dir.File("out.dcm"), dir.File("t.json")}));
  const auto t = nlohmann::json::parse(ReadFile(dir.File("t.json")));
  EXPECT_EQ(t["TransferSyntaxUID"], "1.2.840.10008.1.2.1");
  EXPECT_EQ(t["PatientName"], "Doe^John");
  EXPECT_EQ(t["WindowCenter"], "");
  EXPECT_EQ(t["RescaleSlope"], "");
  EXPECT_EQ(t["NumberOfFrames"], "1");
  EXPECT_EQ(t["Rows"], "30");
  const Read back = ReadDicom(out);
  EXPECT_EQ(back.Params->DICOM_Tags()->IndexOf(0x0028, 0x1052), -1);
  EXPECT_EQ(SamplesOf(back.Bitmap.get()), SamplesOf(grey.get()));

  // No tags at all: file meta, image attributes, secondary capture.
  TIOParams bare;
  const std::string plain = Write(grey.get(), &bare);
  WriteFile(dir.File("bare.dcm"), plain);
  ASSERT_TRUE(Py({"clean", dir.File("bare.dcm")}));
  ASSERT_TRUE(Py({"tags", dir.File("bare.dcm"), dir.File("b.json")}));
  const auto b = nlohmann::json::parse(ReadFile(dir.File("b.json")));
  EXPECT_EQ(b["SOPClassUID"], "1.2.840.10008.5.1.4.1.1.7");
  EXPECT_EQ(b["PhotometricInterpretation"], "MONOCHROME2");
  EXPECT_EQ(b["Columns"], "40");

  // Palette tables of a palette picture do not reach the file.
  ASSERT_TRUE(Py({"pixels", "le_pal8", dir.File("pal.dcm")}));
  Read pal = ReadDicom(ReadFile(dir.File("pal.dcm")));
  pal.Params->DICOM_Range = 0;
  const Read palBack = ReadDicom(Write(pal.Bitmap.get(), pal.Params.get()), 2, 0, true);
  for (uint16_t e : {0x1201, 0x1202, 0x1203}) EXPECT_EQ(palBack.Params->DICOM_Tags()->IndexOf(0x0028, e), -1);
}

TEST(DicomWrite, RleRowOf200EqualBytes) {
  auto b = TPXBitmap::CreateAllocated(200, 1, px8g);
  std::memset(b->Scanline(0), 0x5A, 200);
  TIOParams p;
  const std::string out = Write(b.get(), &p, "1.2.840.10008.1.2.5");
  EXPECT_NE(out.find(std::string("\x81\x5A\xB9\x5A", 4)), std::string::npos);
}

TEST(DicomWrite, Jpeg2000LossySixteenBitGreyAtTheRate) {
  auto b = Picture(px16g, 64, 64);
  TIOParams p;
  p.DICOM_J2000Rate = 0.1;
  const std::string out = Write(b.get(), &p, "1.2.840.10008.1.2.4.91");
  // The code stream's size marker: one component of 16 unsigned bits.
  const size_t siz = out.find(std::string("\xFF\x4F\xFF\x51", 4));
  ASSERT_NE(siz, std::string::npos);
  EXPECT_EQ(uint8_t(out[siz + 40]), 0);  // Csiz: one component
  EXPECT_EQ(uint8_t(out[siz + 41]), 1);
  EXPECT_EQ(uint8_t(out[siz + 42]), 15);  // Ssiz: 16 bits, unsigned
  const size_t end = out.find(std::string("\xFF\xD9", 2), siz);
  ASSERT_NE(end, std::string::npos);
  EXPECT_LE(end - siz, 64 * 64 * 2 / 10 + 400);
}

// Every syntax and pixel format, a test each (each runs several oracle programs).
struct SyntaxRow {
  const char* Syntax;
  TPXPixelFormat Format;
  int Tolerance;  // -1: lossy JPEG 2000, compared decoder against decoder
};

class DicomWriteSyntax : public ::testing::TestWithParam<SyntaxRow> {};

TEST_P(DicomWriteSyntax, AgreesWithTheOracles) {
  const SyntaxRow& r = GetParam();
  TestTempDir dir;
  auto b = Picture(r.Format, 40, 30, r.Tolerance > 0);
  TIOParams p;
  p.GetDicomTags()->SetString(0x0010, 0x0010, true, "Tester^Tom");
  bool aborted = true;
  const std::string out = Write(b.get(), &p, r.Syntax, &aborted);
  ASSERT_FALSE(aborted);
  const std::string file = dir.File("w.dcm");
  WriteFile(file, out);
  ASSERT_TRUE(Py({"clean", file}));
  ASSERT_TRUE(Py({"tags", file, dir.File("t.json")}));
  EXPECT_EQ(nlohmann::json::parse(ReadFile(dir.File("t.json")))["PatientName"], "Tester^Tom");
  // Our reader gives the pixels back (lossless syntaxes exactly).
  const Read back = ReadDicom(out);
  ASSERT_FALSE(back.Aborted);
  const std::vector<int32_t> ours = SamplesOf(b.get()), again = SamplesOf(back.Bitmap.get());
  ASSERT_EQ(ours.size(), again.size());
  // The oracle's samples: DCMTK for raw, RLE and JPEG, GDCM's raw twin for JPEG 2000.
  std::vector<int32_t> oracle;
  const bool j2k = std::string(r.Syntax).find(".4.9") != std::string::npos;
  if (j2k) {
    ASSERT_TRUE(RunOracle({"/usr/bin/gdcmconv", "--raw", file, dir.File("raw.dcm")}));
    ASSERT_TRUE(Py({"samples", dir.File("raw.dcm"), dir.File("s.raw")}));
    oracle = Int32sOf(ReadFile(dir.File("s.raw")));
  } else {
    const int bits = r.Format == px16g ? 16 : r.Format == px1g ? 1 : 8;
    ASSERT_TRUE(RunOracle({"/usr/bin/dcmj2pnm", "+opn", std::to_string(std::max(bits, 1)), file, dir.File("o.pnm")}));
    std::istringstream in(ReadFile(dir.File("o.pnm")));
    std::string magic;
    int w, h, maxval;
    in >> magic >> w >> h >> maxval;
    for (int v; in >> v;) oracle.push_back(bits == 1 ? (v ? 1 : 0) : v);
  }
  ASSERT_EQ(oracle.size(), ours.size());
  int worst = 0, worstBack = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    worst = std::max(worst, std::abs(oracle[i] - ours[i]));
    worstBack = std::max(worstBack, std::abs(again[i] - ours[i]));
  }
  if (r.Tolerance >= 0) {
    EXPECT_LE(worst, r.Tolerance);
    EXPECT_LE(worstBack, r.Tolerance);
  } else {
    // Lossy JPEG 2000: our reader and GDCM decode the same code stream alike.
    for (size_t i = 0; i < ours.size(); ++i) ASSERT_LE(std::abs(oracle[i] - again[i]), 1) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Syntaxes, DicomWriteSyntax,
    ::testing::Values(SyntaxRow{"1.2.840.10008.1.2.1", px8g, 0}, SyntaxRow{"1.2.840.10008.1.2.1", px16g, 0},
                      SyntaxRow{"1.2.840.10008.1.2.1", px24RGB, 0}, SyntaxRow{"1.2.840.10008.1.2.1", px1g, 0},
                      SyntaxRow{"1.2.840.10008.1.2.2", px16g, 0}, SyntaxRow{"1.2.840.10008.1.2.2", px8g, 0},
                      SyntaxRow{"1.2.840.10008.1.2.5", px8g, 0}, SyntaxRow{"1.2.840.10008.1.2.5", px16g, 0},
                      SyntaxRow{"1.2.840.10008.1.2.5", px24RGB, 0}, SyntaxRow{"1.2.840.10008.1.2.4.50", px8g, 8},
                      SyntaxRow{"1.2.840.10008.1.2.4.50", px24RGB, 12}, SyntaxRow{"1.2.840.10008.1.2.4.90", px8g, 0},
                      SyntaxRow{"1.2.840.10008.1.2.4.90", px16g, 0}, SyntaxRow{"1.2.840.10008.1.2.4.90", px24RGB, 0},
                      SyntaxRow{"1.2.840.10008.1.2.4.91", px16g, -1}),
    [](const ::testing::TestParamInfo<SyntaxRow>& I) {
      std::string name = std::string(I.param.Syntax).substr(std::string("1.2.840.10008.1.2").size());
      for (char& c : name)
        if (c == '.') c = '_';
      return "Syntax" + name + "_Format" + std::to_string(int(I.param.Format));
    });

}  // namespace
