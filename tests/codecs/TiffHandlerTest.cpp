// The TIFF page editor and the EXIF injection built on it: files loaded and written back as
// libtiff sees them, tags copied between handlers, and EXIF put into a TIFF-structured file.
#include <gtest/gtest.h>

#include "io/pxtiffhandler.h"
#include "io/pxtiffifd.h"
#include "tests/codecs/TiffTestSupport.h"
#include "tests/io/TiffBuild.h"

using namespace tifftest;

namespace {

// A two-page file made by tiffcp from two of our pages (strips of LZW, one palette page).
std::string TwoPages(TestTempDir& Dir, bool BigEndian) {
  auto make = [&](const std::string& Name, int W, int C) {
    TPXBitmap b;
    b.Allocate(W, 30, px24RGB);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < W; ++x) reinterpret_cast<TRGB*>(b.Scanline(y))[x] = TRGB{uint8_t(x * 5), uint8_t(y * 8), uint8_t(x ^ y)};
    TIOParams p;
    p.SamplesPerPixel = 3;
    p.TIFF_Compression = uint8_t(C);
    p.TIFF_RowsPerStrip = 4;
    TMemoryStream s;
    TPXAbortFlag ab{false};
    TPXProgressRecord pr;
    pr.Aborting = &ab;
    EncodeTiffStream(&s, false, &b, &p, pr);
    codectest::WriteFile(Dir.File(Name), codectest::BytesOf(s));
  };
  make("p1.tif", 40, 5);
  make("p2.tif", 25, 0);
  const std::string out = Dir.File(BigEndian ? "two-mm.tif" : "two.tif");
  std::vector<std::string> argv{"/usr/bin/tiffcp"};
  if (BigEndian) argv.push_back("-B");
  argv.insert(argv.end(), {Dir.File("p1.tif"), Dir.File("p2.tif"), out});
  EXPECT_EQ(RunTool(argv, Dir.File("log")), 0);
  return out;
}

}  // namespace

TEST(TiffHandler, LoadsAndSavesFilesLibtiffAgreesWith) {
  TestTempDir dir;
  for (const bool mm : {false, true}) {
    SCOPED_TRACE(mm ? "MM" : "II");
    const std::string two = TwoPages(dir, mm);
    TPXTIFFHandler h;
    ASSERT_TRUE(h.LoadFromFile(two));
    EXPECT_EQ(h.PageCount(), 2);
    EXPECT_EQ(h.BigEndian, mm);
    for (const auto& page : h.Pages)
      EXPECT_TRUE(std::is_sorted(page.begin(), page.end(), [](const auto& a, const auto& b) { return a.Tag < b.Tag; }));
    const std::string saved = dir.File("saved.tif");
    ASSERT_TRUE(h.SaveToFile(saved));
    EXPECT_EQ(RunTool({"/usr/bin/tiffcmp", two, saved}, dir.File("cmp.txt")), 0) << codectest::ReadFile(dir.File("cmp.txt"));
    int pages = 0;
    EXPECT_TRUE(LibtiffReadsAll(saved, pages));
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(Complaints(), "");
    // Page 1 alone.
    const std::string one = dir.File("one.tif");
    ASSERT_TRUE(h.SaveToFile(one, 1));
    EXPECT_TRUE(LibtiffReadsAll(one, pages));
    EXPECT_EQ(pages, 1);
    int w = 0, hh = 0;
    LibtiffRgba(one, w, hh);
    EXPECT_EQ(w, 25);
  }
  // Tags between byte orders are not copied; a RATIONAL reads 0 through GetTagValue.
  TPXTIFFHandler le, be;
  ASSERT_TRUE(le.LoadFromFile(TwoPages(dir, false)));
  ASSERT_TRUE(be.LoadFromFile(TwoPages(dir, true)));
  const int32_t before = int32_t(be.Pages[0].size());
  be.DeleteTag(0, be.FindTag(0, 282));
  be.CopyTag(0, le.FindTag(0, 282), 0, le);
  EXPECT_EQ(int32_t(be.Pages[0].size()), before - 1);
  EXPECT_EQ(le.GetTagValue(le.Pages[0], 282, 0), 0);
  EXPECT_EQ(le.GetTagValue(le.Pages[0], 256, 0), 40);
}

TEST(TiffHandler, RefusesLoopsAndDeepNesting) {
  // A chain of two directories that loops, and a sub-directory pointing at its own page.
  tiffbuild::Builder b;
  tiffbuild::Builder::Add(b.NewIfd(), 256, ttLong, {1});
  tiffbuild::Entry e;
  e.Tag = 34665;
  e.IfdRef = 1;
  b.Ifds[0].Entries.push_back(e);
  tiffbuild::Builder::Add(b.NewIfd(), 256, ttLong, {2});
  e.IfdRef = 0;
  b.Ifds[1].Entries.push_back(e);
  b.Ifds[1].NextToIfd = 0;
  // Strip offsets and counts of a type with no size and a count of 2^31 take nothing.
  for (const uint16_t tag : {273, 279}) {
    tiffbuild::Entry big;
    big.Tag = tag;
    big.Type = 0;
    big.Count = 0x80000000u;
    big.ForceValue = true;
    b.Ifds[0].Entries.push_back(big);
  }
  TPXTIFFHandler h;
  auto s = codectest::StreamOf(b.Build());
  ASSERT_TRUE(h.LoadFromStream(s.get()));
  EXPECT_LE(h.PageCount(), 2);
  for (const auto& e : h.Pages[0]) EXPECT_TRUE(e.Blocks.empty());
  TMemoryStream out;
  EXPECT_TRUE(h.SaveToStream(&out));
}

TEST(TiffInject, ExifGoesIntoThePage) {
  TestTempDir dir;
  TIOParams p;
  p.EXIF_HasEXIFData = true;
  p.EXIF_Make = "Quill";
  p.SetExifExposureTime(0.02);
  // A little-endian target: the EXIF arrives; a big-endian one: only rewritten.
  for (const bool mm : {false, true}) {
    SCOPED_TRACE(mm ? "MM" : "II");
    const std::string two = TwoPages(dir, mm);
    const std::string out = dir.File("injected.tif");
    ASSERT_TRUE(InjectExifIntoTiff(nullptr, nullptr, two, out, 1, &p));
    Decoded d;
    Decode(codectest::ReadFile(out), d, false, 1);
    ASSERT_FALSE(d.Aborting);
    EXPECT_EQ(d.Params.EXIF_Make, mm ? "" : "Quill");
    EXPECT_NEAR(d.Params.EXIF_ExposureTime, mm ? -1 : 0.02, 1e-9);
    int pages = 0;
    EXPECT_TRUE(LibtiffReadsAll(out, pages));
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(RunTool({"/usr/bin/tiffcmp", two, out}, dir.File("cmp.txt")), 0);
  }
  // Into the stream it came from: rewritten from where the source began.
  const std::string two = codectest::ReadFile(TwoPages(dir, false));
  TMemoryStream s;
  s.WriteBuffer("lead", 4);
  s.WriteBuffer(two.data(), int64_t(two.size()));
  s.Seek(4, soBeginning);
  ASSERT_TRUE(InjectExifIntoTiff(&s, &s, "", "", 0, &p));
  const std::string all = codectest::BytesOf(s);
  EXPECT_EQ(all.substr(0, 6), std::string("leadII", 6));
  Decoded d;
  Decode(all.substr(4), d);
  EXPECT_EQ(d.Params.EXIF_Make, "Quill");
  // A target that is no TIFF.
  TMemoryStream junk;
  junk.WriteBuffer("not a tiff at all", 17);
  junk.Seek(0, soBeginning);
  TMemoryStream dest;
  EXPECT_FALSE(InjectExifIntoTiff(&junk, &dest, "", "", 0, &p));
}
