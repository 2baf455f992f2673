// TIFF end to end through the I/O component on the real codec: saving and loading with alpha,
// the page count, the stream header, page selection, and sniffing TIFF apart from a DNG and an
// HD Photo directory; the signature tests and the page counter on their own.
#include <gtest/gtest.h>

#include "io/pixoranio.h"
#include "io/pixoranio_registry.h"
#include "io/pixoranio_sniff.h"
#include "io/pxtiffifd.h"
#include "tests/codecs/TiffTestSupport.h"
#include "tests/io/TiffBuild.h"

using namespace tifftest;
using tiffbuild::Builder;
using tiffbuild::Ifd;

namespace {

struct Loader {
  TPXBitmap Bitmap;
  std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&Bitmap);
};

std::string Directory(std::initializer_list<std::pair<uint16_t, uint64_t>> Tags, bool LE = true, bool Big = false,
                      std::function<void(Ifd&)> More = {}) {
  Builder b(LE, Big);
  Ifd& d = b.NewIfd();
  for (auto [tag, v] : Tags) Builder::Add(d, tag, ttLong, {v});
  if (More) More(d);
  std::string s = b.Build();
  s.resize(std::max<size_t>(s.size(), 64), '\0');
  return s;
}

bool Sig(bool (*Test)(TStream*), const std::string& Bytes) {
  auto s = codectest::StreamOf(Bytes);
  s->Seek(0, soBeginning);
  const bool r = Test(s.get());
  EXPECT_EQ(s->Position(), 0);
  return r;
}

}  // namespace

TEST(TiffThroughIO, SavesLoadsCountsAndSelectsPages) {
  TestTempDir dir;
  auto pic = TPXBitmap::CreateAllocated(12, 8, px24RGB);
  TPXBitmap* a = pic->GetAlphaChannel();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      pic->SetPixel24(x, y, TRGB{uint8_t(x * 20), uint8_t(y * 30), uint8_t(x * y)});
      a->SetPixel8(x, y, x == 0 ? 0 : 255);
    }
  a->FFull = 0;
  {
    Loader saver;
    saver.Bitmap.Assign(pic.get());
    EXPECT_TRUE(FormatCanWrite(pxftTIFF));
    saver.io->SaveToFile(dir.File("a.tif"), 0);
    ASSERT_FALSE(saver.io->Aborting());
  }
  Loader l;
  EXPECT_EQ(l.io->LoadFromFileTiff(dir.File("a.tif")), 1);
  ASSERT_EQ(l.Bitmap.Width(), 12);
  ASSERT_TRUE(l.Bitmap.HasAlphaChannel());
  EXPECT_EQ(l.Bitmap.GetAlpha(0, 3), 0);
  EXPECT_EQ(l.Bitmap.GetAlpha(5, 3), 255);
  EXPECT_EQ(l.Bitmap.GetPixelRGB(5, 3).b, 100);

  // Three pages made by tiffcp; the count and the page asked for.
  const std::string three = dir.File("three.tif");
  ASSERT_EQ(RunTool({"/usr/bin/tiffcp", dir.File("a.tif"), dir.File("a.tif"), dir.File("a.tif"), three},
                    dir.File("log")),
            0);
  EXPECT_EQ(GetImageCountOfFile(three), 3);
  Loader page;
  page.io->Params()->TIFF_ImageIndex = 2;
  EXPECT_EQ(page.io->LoadFromFileTiff(three), 3);
  EXPECT_FALSE(page.io->Aborting());
  Loader past;
  past.io->Params()->TIFF_ImageIndex = 3;
  EXPECT_EQ(past.io->LoadFromFileTiff(three), -1);

  // Through a stream with the "TIFF" header.
  TMemoryStream s;
  s.WriteBuffer("lead", 4);  // the picture need not start the stream
  {
    Loader saver;
    saver.io->SetStreamHeaders(true);
    saver.Bitmap.Assign(pic.get());
    saver.io->SaveToStreamTiff(&s);
  }
  EXPECT_EQ(codectest::BytesOf(s).substr(4, 4), "TIFF");
  s.Seek(4, soBeginning);
  Loader fromStream;
  fromStream.io->SetStreamHeaders(true);
  EXPECT_EQ(fromStream.io->LoadFromStreamTiff(&s), 1);
  EXPECT_EQ(fromStream.Bitmap.GetPixelRGB(11, 7).g, 210);
}

TEST(TiffSignatures, TellTiffApart) {
  // A 20-byte stream is not a TIFF, even with a valid header.
  std::string small = Directory({{256, 1}, {257, 1}});
  EXPECT_TRUE(Sig(HasTiffSignature, small));
  EXPECT_FALSE(Sig(HasTiffSignature, small.substr(0, 20)));
  EXPECT_FALSE(Sig(HasTiffSignature, Directory({{256, 1}})));
  EXPECT_TRUE(Sig(HasTiffSignature, Directory({{256, 1}, {257, 1}}, true, true)));
  EXPECT_TRUE(Sig(HasTiffSignature, Directory({{256, 1}, {257, 1}}, false)));

  // Camera raw built on TIFF.
  const std::string dng = Directory({{256, 1000}, {257, 800}}, true, false, [](Ifd& d) {
    Builder::AddBytes(d, 50706, ttByte, std::string("\x01\x04\x00\x00", 4));
  });
  EXPECT_TRUE(Sig(HasRawTiffSignature, dng));
  EXPECT_FALSE(Sig(HasRawTiffSignature, Directory({{256, 1000}, {257, 800}, {262, 2}})));
  EXPECT_TRUE(Sig(HasRawTiffSignature, Directory({{256, 160}, {257, 120}, {330, 8}, {37398, 1}})));
  EXPECT_FALSE(Sig(HasRawTiffSignature, Directory({{256, 1600}, {257, 120}, {330, 8}, {37398, 1}})));

  // HD Photo.
  const auto hdp = [](bool LE, bool All) {
    return Directory({{256, 1}, {257, 1}, {48256, 1}, {48257, 1}, {48129, 1}, {48320, 1}, {All ? 48321 : 48322, 1}},
                     LE);
  };
  EXPECT_TRUE(Sig(HasHdPhotoSignature, hdp(true, true)));
  EXPECT_FALSE(Sig(HasHdPhotoSignature, hdp(false, true)));
  EXPECT_FALSE(Sig(HasHdPhotoSignature, hdp(true, false)));

  // The sniffer: TIFF, camera raw and HD Photo apart (without a raw engine a DNG is no type).
  EXPECT_EQ(FindStreamFormat(codectest::StreamOf(Directory({{256, 1}, {257, 1}})).get()), pxftTIFF);
  EXPECT_NE(FindStreamFormat(codectest::StreamOf(dng).get()), pxftTIFF);
  EXPECT_EQ(FindStreamFormat(codectest::StreamOf(hdp(true, true)).get()), pxftHDP);

  // The page counter.
  Builder three;
  for (int k = 0; k < 3; ++k) Builder::Add(three.NewIfd(), 256, ttLong, {1});
  EXPECT_EQ(GetTiffPageCount(codectest::StreamOf(three.Build()).get()), 3);
  std::string damaged = three.Build();
  damaged[0] = 'X';
  EXPECT_EQ(GetTiffPageCount(codectest::StreamOf(damaged).get()), 0);
}
