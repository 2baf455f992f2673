// The I/O component's per-format members on fake rows of the format table: the common load and
// save shapes, format unavailable, stream headers, conversions on a copy, JPEG save markers,
// GIF frame composition, icon sizes, DCX, DICOM, PSD and layers files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pixoranio_formats.h"
#include "io/pixoranio_formats_impl.h"
#include "tests/common/TestSupport.h"
#include "tests/io/FakeCodecRows.h"
#include "tests/io/FakeIOView.h"

namespace {

// A component on its own bitmap that counts OnFinishWork.
struct Component {
  Component() : io(std::make_unique<TPixoranIO>(nullptr)) {
    io->SetOnFinishWork(TNotifyEvent([this](TObject*) { ++finished; }));
  }
  TPXBitmap* Bitmap() { return io->WorkingBitmap(); }
  std::unique_ptr<TPixoranIO> io;
  int32_t finished = 0;
};

// W x H pixels of (x, y, x + y) with an alpha of 10 x x, optionally.
void Paint(TPXBitmap* B, int32_t W, int32_t H, TPXPixelFormat Format, bool WithAlpha) {
  B->Allocate(W, H, px24RGB);
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) B->SetPixel24(x, y, TRGB{static_cast<uint8_t>(x + y), static_cast<uint8_t>(y), static_cast<uint8_t>(x)});
  if (Format != px24RGB) B->SetPixelFormat(Format);
  if (WithAlpha)
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) B->GetAlphaChannel()->Scanline(y)[x] = static_cast<uint8_t>(10 * x);
}

std::vector<uint8_t> Bytes(TMemoryStream& S) {
  const auto* p = static_cast<const uint8_t*>(S.Memory());
  return {p, p + S.Size()};
}

int32_t Int32At(const std::vector<uint8_t>& B, size_t At) {
  int32_t v = 0;
  std::memcpy(&v, B.data() + At, 4);
  return v;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Format unavailable

TEST(IOFormats, UnavailableFormatLeavesEverythingAlone) {
  FakeRowsScope rows({pxftPNG, pxftTIFF, pxftGIF});
  rows.Remove(pxftPNG);
  rows.Remove(pxftTIFF);
  rows.Remove(pxftGIF);
  Component c;
  Paint(c.Bitmap(), 3, 2, px24RGB, true);
  TMemoryStream s;
  s.WriteBuffer("FAKEP", 5);
  s.Seek(0, soBeginning);

  EXPECT_FALSE(c.io->LoadFromStreamPng(&s));
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.finished, 1);
  EXPECT_EQ(c.io->LoadFromStreamTiff(&s), -1);
  EXPECT_EQ(c.io->LoadFromStreamGif(&s), -1);
  EXPECT_EQ(c.finished, 3);
  EXPECT_EQ(c.Bitmap()->Width(), 3);
  EXPECT_TRUE(c.Bitmap()->HasAlphaChannel());

  TestTempDir dir;
  c.io->SaveToFilePng(dir.File("x.png"));
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.finished, 4);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  TMemoryStream out;
  c.io->SaveToStreamPng(&out);
  EXPECT_EQ(out.Size(), 0);
  EXPECT_EQ(c.finished, 5);
}

// ---------------------------------------------------------------------------------------------
// The load and save shapes

TEST(IOFormats, FileRoundTripSetsTypeNameDpiAndAlpha) {
  FakeRowsScope rows({pxftPNG});
  rows.Fake(pxftPNG, 'P');
  TestTempDir dir;
  Component a;
  Paint(a.Bitmap(), 5, 4, px24RGB, true);
  a.io->SaveToFilePng(dir.File("a.png"));
  EXPECT_FALSE(a.io->Aborting());
  EXPECT_EQ(a.finished, 1);
  EXPECT_EQ(a.io->Params()->FileName, dir.File("a.png"));
  EXPECT_EQ(a.io->Params()->FileType, pxftPNG);
  // PNG gets the alpha channel as an 8-bit mask.
  EXPECT_TRUE(FakeLog().EncoderGotMask);
  EXPECT_EQ(FakeLog().MaskBits, 8);
  EXPECT_EQ(FakeLog().MaskRow0, (std::vector<uint8_t>{0, 10, 20, 30, 40}));

  Component b;
  EXPECT_TRUE(b.io->LoadFromFilePng(dir.File("a.png")));
  EXPECT_EQ(b.finished, 1);
  EXPECT_EQ(b.io->Params()->FileType, pxftPNG);
  EXPECT_EQ(b.io->Params()->FileName, dir.File("a.png"));
  EXPECT_EQ(b.io->Params()->DpiX, 300);  // the reader's 1 is below 2
  ASSERT_EQ(b.Bitmap()->Width(), 5);
  EXPECT_EQ(b.Bitmap()->GetPixelRGB(4, 3).r, 4);
  ASSERT_TRUE(b.Bitmap()->HasAlphaChannel());
  EXPECT_EQ(b.Bitmap()->GetAlpha(3, 0), 30);
  EXPECT_FALSE(b.Bitmap()->Modified());

  // A stream load leaves the file name empty and the stream after the picture.
  TMemoryStream s;
  s.LoadFromFile(dir.File("a.png"));
  s.Seek(0, soEnd);
  s.WriteBuffer("tail", 4);
  s.Seek(0, soBeginning);
  EXPECT_TRUE(b.io->LoadFromStreamPng(&s));
  EXPECT_EQ(b.io->Params()->FileName, "");
  EXPECT_EQ(s.Position(), s.Size() - 4);
}

TEST(IOFormats, FailedFileSaveKeepsTheOldFile) {
  FakeRowsScope rows({pxftPNG, pxftPCX});
  rows.Fake(pxftPNG, 'P');
  rows.Fake(pxftPCX, 'X');
  TestTempDir dir;
  const std::string name = dir.File("old.png");
  std::ofstream(name) << "old content";
  Component c;
  Paint(c.Bitmap(), 2, 2, px24RGB, false);

  FakeLog().ThrowOnEncode = true;
  EXPECT_THROW(c.io->SaveToFilePng(name), EPXException);
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.finished, 1);
  FakeLog().ThrowOnEncode = false;
  FakeLog().AbortAfterBytes = true;
  c.io->SaveToFilePcx(name);
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.finished, 2);
  std::ifstream in(name);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "old content");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(IOFormats, MissingFileRaisesAfterOneFinish) {
  FakeRowsScope rows({pxftPNG});
  rows.Fake(pxftPNG, 'P');
  Component c;
  TestTempDir dir;
  EXPECT_THROW(c.io->LoadFromFilePng(dir.File("missing.png")), EFOpenError);
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.finished, 1);
}

TEST(IOFormats, ReaderExceptionStillFinishesOnce) {
  FakeRowsScope rows({pxftBMP});
  rows.Fake(pxftBMP, 'B');
  FakeLog().ThrowOnDecode = true;
  Component c;
  TMemoryStream s;
  s.WriteBuffer("FAKEB", 5);
  s.Seek(0, soBeginning);
  EXPECT_THROW(c.io->LoadFromStreamBmp(&s), EPXException);
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.finished, 1);
}

// Saves convert a copy: the writer gets what its rules say, the caller keeps format and alpha.
TEST(IOFormats, SavesConvertACopy) {
  FakeRowsScope rows({pxftJPEG, pxftTIFF, pxftPXM, pxftJP2, pxftWBMP, pxftTGA});
  rows.Fake(pxftJPEG, 'J');
  rows.Fake(pxftTIFF, 'T');
  rows.Fake(pxftPXM, 'M');
  rows.Fake(pxftJP2, '2');
  rows.Fake(pxftWBMP, 'W');
  rows.Fake(pxftTGA, 'G');
  struct Case {
    TPXPixelFormat From;
    void (TPixoranIO::*Save)(TStream*);
    TPXPixelFormat Expected;
  } cases[] = {
      {px8g, &TPixoranIO::SaveToStreamJpeg, px24RGB}, {px8g, &TPixoranIO::SaveToStreamTiff, px8g},
      {px1g, &TPixoranIO::SaveToStreamJpeg, px1g},    {pxRGB48, &TPixoranIO::SaveToStreamPxm, px24RGB},
      {pxCMYK, &TPixoranIO::SaveToStreamJp2, px24RGB}, {px16g, &TPixoranIO::SaveToStreamJp2, px16g},
      {px8g, &TPixoranIO::SaveToStreamTga, px24RGB},
  };
  for (const Case& k : cases) {
    Component c;
    Paint(c.Bitmap(), 4, 3, k.From, true);
    TMemoryStream s;
    (c.io.get()->*k.Save)(&s);
    EXPECT_FALSE(c.io->Aborting());
    EXPECT_EQ(FakeLog().EncodedFormat, k.Expected) << static_cast<int>(k.From);
    EXPECT_EQ(c.Bitmap()->PixelFormat(), k.From);
    EXPECT_TRUE(c.Bitmap()->HasAlphaChannel());
    EXPECT_EQ(c.finished, 1);
  }
  // A PXM file keeps 16 bits per channel; the WBMP writer gets no parameters.
  TestTempDir dir;
  Component c;
  Paint(c.Bitmap(), 4, 3, pxRGB48, false);
  c.io->SaveToFilePxm(dir.File("a.ppm"));
  EXPECT_EQ(FakeLog().EncodedFormat, pxRGB48);
  TMemoryStream s;
  c.io->SaveToStreamWbmp(&s);
  EXPECT_FALSE(FakeLog().EncoderGotParams);
}

// ---------------------------------------------------------------------------------------------
// Stream headers

TEST(IOFormats, TiffStreamHeadersFollowEachOther) {
  FakeRowsScope rows({pxftTIFF});
  rows.Fake(pxftTIFF, 'T');
  Component c;
  c.io->SetStreamHeaders(true);
  TMemoryStream s;
  Paint(c.Bitmap(), 3, 2, px24RGB, false);
  c.io->SaveToStreamTiff(&s);
  const int64_t first = s.Size();
  Paint(c.Bitmap(), 7, 1, px24RGB, false);
  c.io->SaveToStreamTiff(&s);
  const std::vector<uint8_t> b = Bytes(s);
  ASSERT_GE(b.size(), 12u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "TIFF");
  EXPECT_EQ(Int32At(b, 4), 0);
  EXPECT_EQ(Int32At(b, 8), first - 12);
  EXPECT_EQ(std::string(b.begin() + first, b.begin() + first + 4), "TIFF");

  Component r;
  r.io->SetStreamHeaders(true);
  s.Seek(0, soBeginning);
  EXPECT_EQ(r.io->LoadFromStreamTiff(&s), 1);
  EXPECT_EQ(r.Bitmap()->Width(), 3);
  EXPECT_EQ(s.Position(), first);
  EXPECT_EQ(r.io->LoadFromStreamTiff(&s), 1);
  EXPECT_EQ(r.Bitmap()->Width(), 7);
  EXPECT_EQ(s.Position(), s.Size());
  EXPECT_EQ(r.finished, 2);
}

// Lengths from the header are checked against what the stream holds; a wrong tag aborts.
TEST(IOFormats, BadStreamHeadersAbort) {
  FakeRowsScope rows({pxftTIFF, pxftPCX, pxftJPEG});
  rows.Fake(pxftTIFF, 'T');
  rows.Fake(pxftPCX, 'X');
  rows.Fake(pxftJPEG, 'J');
  struct Case {
    const char* Tag;
    int32_t Length;
    TPXFileType Type;
  } cases[] = {{"TIFF", 1000, pxftTIFF}, {"TIFF", -5, pxftTIFF}, {"XIFF", 0, pxftTIFF},
               {"PCX2", 0x7FFFFFFF, pxftPCX}, {"BMPX", 0, pxftPCX}, {"JFIF", 64, pxftJPEG}};
  for (const Case& k : cases) {
    Component c;
    c.io->SetStreamHeaders(true);
    Paint(c.Bitmap(), 2, 2, px24RGB, false);
    TMemoryStream s;
    uint8_t h[12] = {};
    std::memcpy(h, k.Tag, 4);
    std::memcpy(h + 8, &k.Length, 4);
    s.WriteBuffer(h, 12);
    s.WriteBuffer("FAKE", 4);
    s.Seek(0, soBeginning);
    const bool ok = k.Type == pxftTIFF ? c.io->LoadFromStreamTiff(&s) >= 0
                    : k.Type == pxftPCX ? c.io->LoadFromStreamPcx(&s)
                                         : c.io->LoadFromStreamJpeg(&s);
    EXPECT_FALSE(ok) << k.Tag << " " << k.Length;
    EXPECT_TRUE(c.io->Aborting());
    EXPECT_EQ(c.finished, 1);
    EXPECT_EQ(c.Bitmap()->Width(), 2);
  }
}

TEST(IOFormats, PcxAndJpegHeaders) {
  FakeRowsScope rows({pxftPCX, pxftJPEG});
  rows.Fake(pxftPCX, 'X');
  rows.Fake(pxftJPEG, 'J');
  Component c;
  c.io->SetStreamHeaders(true);
  Paint(c.Bitmap(), 3, 3, px24RGB, false);

  // An aborted PCX save leaves 12 zero bytes in front of the partial data.
  FakeLog().AbortAfterBytes = true;
  TMemoryStream aborted;
  c.io->SaveToStreamPcx(&aborted);
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(Bytes(aborted), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'P', 'A', 'R', 'T'}));
  FakeLog().AbortAfterBytes = false;

  TMemoryStream pcx;
  c.io->SaveToStreamPcx(&pcx);
  EXPECT_EQ(std::string(static_cast<const char*>(pcx.Memory()), 4), "PCX2");
  // The older header: "PCX" and a zero, then the picture, bounded by the whole stream.
  {
    TMemoryStream tmp;
    tmp.WriteBuffer("PCX\0", 4);
    const std::vector<uint8_t> b = Bytes(pcx);
    tmp.WriteBuffer(b.data() + 12, static_cast<int64_t>(b.size() - 12));
    tmp.Seek(0, soBeginning);
    Component r;
    r.io->SetStreamHeaders(true);
    EXPECT_TRUE(r.io->LoadFromStreamPcx(&tmp));
    EXPECT_EQ(r.Bitmap()->Width(), 3);
  }

  // JPEG: with or without the header, whatever StreamHeaders says.
  TMemoryStream jpeg;
  c.io->SaveToStreamJpeg(&jpeg);
  jpeg.WriteBuffer("next", 4);
  c.io->SetStreamHeaders(false);
  TMemoryStream plain;
  c.io->SaveToStreamJpeg(&plain);
  EXPECT_EQ(std::string(static_cast<const char*>(plain.Memory()), 4), "FAKE");
  Component r;
  jpeg.Seek(0, soBeginning);
  EXPECT_TRUE(r.io->LoadFromStreamJpeg(&jpeg));
  EXPECT_EQ(jpeg.Position(), jpeg.Size() - 4);
  plain.Seek(0, soBeginning);
  EXPECT_TRUE(r.io->LoadFromStreamJpeg(&plain));
  EXPECT_EQ(r.Bitmap()->Width(), 3);
}

// ---------------------------------------------------------------------------------------------
// JPEG save markers

namespace {

std::vector<uint8_t> ResolutionResource(uint16_t NameLength, uint32_t Size, size_t DataBytes) {
  std::vector<uint8_t> m = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0};
  const uint8_t tag[] = {'8', 'B', 'I', 'M', 0x03, 0xED};
  m.insert(m.end(), tag, tag + 6);
  m.push_back(static_cast<uint8_t>(NameLength >> 8));
  m.push_back(static_cast<uint8_t>(NameLength));
  for (int i = 3; i >= 0; --i) m.push_back(static_cast<uint8_t>(Size >> (8 * i)));
  m.insert(m.end(), DataBytes, 0xAA);
  return m;
}

}  // namespace

TEST(IOFormats, JpegSaveWritesTheResolutionResource) {
  TPXMarkerList markers;
  const std::vector<uint8_t> good = ResolutionResource(0, 16, 16);
  markers.AddMarker(PX_JPEG_APP13, good.data(), static_cast<int32_t>(good.size()));
  EXPECT_TRUE(SetPhotoshopResolution(markers, 200, 72));
  const uint8_t* d = markers.GetMarkerData(0) + good.size() - 16;
  EXPECT_EQ(std::vector<uint8_t>(d, d + 16),
            (std::vector<uint8_t>{0, 200, 0, 0, 0, 1, 0, 1, 0, 72, 0, 0, 0, 1, 0, 1}));

  // A name length, a size or data that run past the marker leave it untouched.
  for (const std::vector<uint8_t>& bad :
       {ResolutionResource(0xFFFF, 16, 16), ResolutionResource(0, 16, 15), ResolutionResource(0, 8, 16),
        ResolutionResource(4, 16, 16)}) {
    TPXMarkerList m;
    m.AddMarker(PX_JPEG_APP13, bad.data(), static_cast<int32_t>(bad.size()));
    EXPECT_FALSE(SetPhotoshopResolution(m, 200, 72));
    EXPECT_EQ(std::vector<uint8_t>(m.GetMarkerData(0), m.GetMarkerData(0) + m.GetMarkerLength(0)), bad);
  }
}

TEST(IOFormats, JpegSaveMarkers) {
  FakeRowsScope rows({pxftJPEG});
  rows.Fake(pxftJPEG, 'J');
  Component c;
  Paint(c.Bitmap(), 2, 2, px24RGB, false);
  TIOParams* p = c.io->Params();
  const std::vector<uint8_t> app13 = ResolutionResource(0, 16, 16);
  p->JPEG_Markers.AddMarker(PX_JPEG_APP0, "JFIF", 5);
  p->JPEG_Markers.AddMarker(PX_JPEG_APP13, app13.data(), static_cast<int32_t>(app13.size()));
  p->IPTC_Info.SetUserChanged(false);  // as read from a file
  p->SetDpiX(150);
  p->SetDpiY(150);
  TMemoryStream s;
  c.io->SaveToStreamJpeg(&s);
  ASSERT_EQ(FakeLog().Markers.size(), 2u);
  const std::vector<uint8_t>& written = FakeLog().Markers[1];
  EXPECT_EQ(written[0], PX_JPEG_APP13);
  EXPECT_EQ(written[written.size() - 16 + 1], 150);

  // IPTC the user changed replaces the first APP13; an XMP packet is appended.
  p->IPTC_Info.AddItem(2, 5, 5, "title");
  ASSERT_TRUE(p->IPTC_Info.UserChanged());
  p->SetXmpInfo("<x:xmpmeta/>");
  c.io->SaveToStreamJpeg(&s);
  ASSERT_EQ(FakeLog().Markers.size(), 3u);
  TPXIPTCInfoList back;
  const std::vector<uint8_t>& iptc = FakeLog().Markers[1];
  EXPECT_EQ(iptc[0], PX_JPEG_APP13);
  ASSERT_TRUE(back.LoadFromBuffer(iptc.data() + 1, static_cast<int32_t>(iptc.size() - 1)));
  EXPECT_EQ(back.IndexOf(2, 5), 0);
  EXPECT_EQ(FakeLog().Markers[2][0], PX_JPEG_APP1);
  EXPECT_NE(FindXmpPacket(FakeLog().Markers[2].data() + 1, static_cast<int32_t>(FakeLog().Markers[2].size() - 1)), nullptr);

  // An IPTC block larger than a segment is left out, and the stale one goes.
  const std::vector<uint8_t> big(40000, 'x');
  p->IPTC_Info.AddItem(2, 120, static_cast<int32_t>(big.size()), big.data());
  p->IPTC_Info.AddItem(2, 121, static_cast<int32_t>(big.size()), big.data());
  c.io->SaveToStreamJpeg(&s);
  for (const auto& m : FakeLog().Markers) EXPECT_NE(m[0], PX_JPEG_APP13);
}

// ---------------------------------------------------------------------------------------------
// GIF frame composition

namespace {

struct FakeFrame {
  int32_t X, Y, W, H;
  uint8_t Disposal;
  TRGB Color;
};

// A fake GIF row: frames of one colour, fully opaque, on a 6 x 4 logical screen with a blue
// background.
TPXFormatRow FakeGifRow(std::vector<FakeFrame> Frames) {
  TPXFormatRow row;
  row.Decode = [Frames](TStream*, TPXBitmap* b, TIOParams* p, TPXProgressRecord&, bool,
                        std::unique_ptr<TPXMask>& mask) {
    const auto count = static_cast<int32_t>(Frames.size());
    const int32_t i = p->GIF_ImageIndex;
    if (i < 0 || i >= count) return count;
    const FakeFrame& f = Frames[static_cast<size_t>(i)];
    b->Allocate(f.W, f.H, px24RGB);
    for (int32_t y = 0; y < f.H; ++y)
      for (int32_t x = 0; x < f.W; ++x) b->SetPixel24(x, y, f.Color);
    mask = std::make_unique<TPXMask>();
    mask->AllocateBits(f.W, f.H, 8);
    mask->Fill(255);
    p->GIF_XPos = f.X;
    p->GIF_YPos = f.Y;
    p->GIF_Disposal = f.Disposal;
    p->GIF_ScreenWidth = 6;
    p->GIF_ScreenHeight = 4;
    p->GIF_Background = TRGB{255, 0, 0};  // blue (b, g, r)
    return count;
  };
  row.Rules.IntegerResult = true;
  return row;
}

}  // namespace

TEST(IOFormats, GifFramesAreComposedWithTheirDisposals) {
  FakeRowsScope rows({pxftGIF});
  const TRGB red{0, 0, 255}, green{0, 255, 0}, white{255, 255, 255}, grey{128, 128, 128};
  RegisterFormatRow(pxftGIF, FakeGifRow({
                                 {0, 0, 2, 2, 1, red},     // kept
                                 {2, 0, 2, 2, 2, green},   // cleared to the background after
                                 {4, 2, 2, 2, 3, white},   // restored to what was before after
                                 {3, 1, 1, 1, 1, grey},
                             }));
  Component c;
  TMemoryStream s;
  s.WriteBuffer("GIF89a", 6);

  // Frame 0 alone sits on the logical screen with alpha 0 around it.
  s.Seek(0, soBeginning);
  EXPECT_EQ(c.io->LoadFromStreamGif(&s), 4);
  ASSERT_EQ(c.Bitmap()->Width(), 6);
  ASSERT_EQ(c.Bitmap()->Height(), 4);
  EXPECT_EQ(c.Bitmap()->GetPixelRGB(1, 1).r, 255);
  EXPECT_EQ(c.Bitmap()->GetAlpha(1, 1), 255);
  EXPECT_EQ(c.Bitmap()->GetAlpha(3, 3), 0);
  EXPECT_EQ(c.Bitmap()->GetPixelRGB(3, 3).b, 255);

  // Index 3: frame 1's area cleared, frame 2's area restored (empty), frame 3 on top.
  c.io->Params()->GIF_ImageIndex = 3;
  s.Seek(0, soBeginning);
  EXPECT_EQ(c.io->LoadFromStreamGif(&s), 4);
  TPXBitmap* b = c.Bitmap();
  EXPECT_EQ(b->GetPixelRGB(0, 0).r, 255);  // frame 0
  EXPECT_EQ(b->GetAlpha(0, 0), 255);
  EXPECT_EQ(b->GetPixelRGB(2, 0).g, 0);  // frame 1 disposed to the background
  EXPECT_EQ(b->GetAlpha(2, 0), 0);
  EXPECT_EQ(b->GetAlpha(4, 2), 0);  // frame 2 restored away
  EXPECT_EQ(b->GetPixelRGB(3, 1).r, 128);
  EXPECT_EQ(b->GetAlpha(3, 1), 255);
  EXPECT_EQ(c.io->Params()->GIF_ImageIndex, 3);
  EXPECT_EQ(c.io->Params()->FileType, pxftGIF);
  EXPECT_EQ(c.finished, 2);
}

// An aborted GIF file load answers -1, not the frame count the reader gave.
TEST(IOFormats, AbortedGifFileLoadAnswersMinusOne) {
  FakeRowsScope rows({pxftGIF});
  TPXFormatRow row;
  row.Decode = [](TStream*, TPXBitmap*, TIOParams*, TPXProgressRecord& r, bool, std::unique_ptr<TPXMask>&) {
    *r.Aborting = true;
    return 5;
  };
  RegisterFormatRow(pxftGIF, row);
  TestTempDir dir;
  std::ofstream(dir.File("a.gif")) << "GIF89a";
  Component c;
  EXPECT_EQ(c.io->LoadFromFileGif(dir.File("a.gif")), -1);
  EXPECT_EQ(c.finished, 1);
}

// ---------------------------------------------------------------------------------------------
// Icons, DCX, DICOM

TEST(IOFormats, IconWithoutSizesWritesThePicturesSize) {
  FakeRowsScope rows({pxftICO});
  rows.Fake(pxftICO, 'I');
  Component c;
  Paint(c.Bitmap(), 20, 10, px24RGB, false);
  TMemoryStream s;
  c.io->SaveToStreamIco(&s);
  EXPECT_EQ(FakeLog().IcoSize0.Width, 20);
  EXPECT_EQ(FakeLog().IcoSize0.Height, 10);
  EXPECT_EQ(FakeLog().IcoBits0, 24);
  // The caller's empty list stays empty.
  EXPECT_EQ(IcoSizeCount(c.io->Params()), 0);
  EXPECT_EQ(c.io->Params()->ICO_BitCounts[0], 8);
  // Sizes set are passed as they are.
  c.io->Params()->ICO_Sizes[0] = {16, 16};
  TestTempDir dir;
  c.io->SaveToFileIco(dir.File("a.ico"));
  EXPECT_EQ(FakeLog().IcoSize0.Width, 16);
}

TEST(IOFormats, DcxStreamSaveHoldsOnePage) {
  FakeRowsScope rows({pxftDCX});
  rows.Fake(pxftDCX, 'D');
  Component c;
  Paint(c.Bitmap(), 2, 2, px24RGB, false);
  TMemoryStream s;
  s.WriteBuffer("earlier content that must go", 28);
  c.io->SaveToStreamDcx(&s);
  const std::vector<uint8_t> b = Bytes(s);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 5), "FAKED");
  EXPECT_EQ(b.size(), 5u + 4 + 4 + 1 + 1 + 2 * 6);
}

TEST(IOFormats, DicomSaveRefusesOtherPixelFormats) {
  FakeRowsScope rows({pxftDICOM});
  rows.Fake(pxftDICOM, 'C');
  Component c;
  Paint(c.Bitmap(), 2, 2, pxCMYK, false);
  TestTempDir dir;
  EXPECT_EQ(MessageOf<EPXException>([&] { c.io->SaveToFileDicom(dir.File("a.dcm")); }),
            "DICOM saving: unsupported pixel format");
  EXPECT_EQ(c.finished, 1);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  Paint(c.Bitmap(), 3, 2, px16g, false);
  TMemoryStream s;
  c.io->SaveToStreamDicom(&s);
  EXPECT_FALSE(c.io->Aborting());
  EXPECT_EQ(c.io->Params()->Width, 3);
  EXPECT_EQ(c.io->Params()->BitsPerSample, 16);
}

// ---------------------------------------------------------------------------------------------
// PSD and layers files

namespace {

class LayerView : public FakeIOView {
 public:
  void LayersFromDecoded(std::vector<TPXDecodedLayer>& Layers, bool AddFirst) override {
    addFirst = AddFirst;
    for (auto& l : Layers) positions.emplace_back(l.PosX, l.PosY);
  }
  void LayersClear(bool) override { ++clears; }
  void LayersSaveToStream(TStream* Stream, int32_t, bool, bool, bool, bool, const TPXProgressEvent&) override {
    if (failSave) throw EPXException("disk full");
    Stream->WriteBuffer("LAYERS", 6);
  }
  std::vector<std::pair<int32_t, int32_t>> positions;
  bool addFirst = false;
  int32_t clears = 0;
  bool failSave = false;
};

}  // namespace

TEST(IOFormats, PsdLayersGoToTheView) {
  FakeRowsScope rows({pxftPSD});
  rows.Remove(pxftPSD);
  RegisterPsdLayeredCoders({[](TStream*, TPXBitmap* merged, TIOParams*, TPXProgressRecord&,
                               std::vector<TPXDecodedLayer>* layers) {
                              merged->Allocate(8, 8, px24RGB);
                              if (layers)
                                for (int i = 0; i < 2; ++i) {
                                  TPXDecodedLayer l;
                                  l.Bitmap = TPXBitmap::CreateAllocated(2, 2, px24RGB);
                                  l.PosX = 3 * i + 1;
                                  layers->push_back(std::move(l));
                                }
                              return 1;
                            },
                            nullptr});
  LayerView view;
  TPixoranIO io(nullptr);
  io.SetAttachedPixoran(&view);
  io.Params()->PSD_LoadLayers = true;
  TMemoryStream s;
  s.WriteBuffer("8BPS", 4);
  s.Seek(0, soBeginning);
  EXPECT_TRUE(io.LoadFromStreamPsd(&s));
  EXPECT_EQ(view.clears, 1);
  EXPECT_FALSE(view.addFirst);
  // The first layer is not at (0, 0): a transparent background layer goes underneath.
  EXPECT_EQ(view.positions, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {1, 0}, {4, 0}}));
  EXPECT_EQ(io.Params()->FileType, pxftPSD);
  io.SetAttachedPixoran(nullptr);
  RegisterPsdLayeredCoders({});
}

TEST(IOFormats, LayersFileNeedsALayerView) {
  Component c;
  TMemoryStream s;
  TestTempDir dir;
  const std::string message = "Must be attached to a TPixoranView to save in PXN format";
  EXPECT_EQ(MessageOf<EPXException>([&] { c.io->SaveToStreamLayers(&s); }), message);
  EXPECT_EQ(MessageOf<EPXException>([&] { c.io->SaveToFileLayers(dir.File("a.pxn")); }), message);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));

  LayerView view;
  TPixoranIO io(nullptr);
  io.SetAttachedPixoran(&view);
  io.SaveToFileLayers(dir.File("a.pxn"));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params()->FileType, pxftPXN);
  EXPECT_EQ(std::filesystem::file_size(dir.File("a.pxn")), 6u);
  view.failSave = true;
  io.SaveToFileLayers(dir.File("a.pxn"));  // the failure is reported through Aborting
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(std::filesystem::file_size(dir.File("a.pxn")), 6u);
  io.SetAttachedPixoran(nullptr);
}

// ---------------------------------------------------------------------------------------------
// The attached view, documents, vector files

TEST(IOFormats, LoadTellsTheAttachedView) {
  FakeRowsScope rows({pxftPNG});
  rows.Fake(pxftPNG, 'P');
  TPXBitmap source;
  Paint(&source, 3, 3, px24RGB, false);
  TMemoryStream s;
  TPXProgressRecord rec;
  FakeEncode('P', &s, &source, nullptr, nullptr, rec);
  s.Seek(0, soBeginning);
  FakeIOView view;
  view.layerView = false;
  TPixoranIO io(nullptr);
  io.SetAttachedPixoran(&view);
  view.TakeLog();
  EXPECT_TRUE(io.LoadFromStreamPng(&s));
  EXPECT_EQ(view.Bitmap()->Width(), 3);
  EXPECT_EQ(view.TakeLog(), (std::vector<std::string>{"reason 6", "Update", "ImageChange 0"}));
  io.SetAttachedPixoran(nullptr);
}

TEST(IOFormats, SvgAndPdfSaves) {
  FakeRowsScope rows({pxftSVG, pxftPDF});
  TPXBitmap* svgGot = reinterpret_cast<TPXBitmap*>(1);
  TPXFormatRow svg;
  svg.Encode = [&](TStream* s, TPXBitmap* b, TIOParams*, TPXMask*, TPXProgressRecord&) {
    svgGot = b;
    s->WriteBuffer("<svg/>", 6);
  };
  RegisterFormatRow(pxftSVG, svg);
  TPXPixelFormat pdfGot = pxNoFormat;
  int32_t pdfWidth = 0;
  TPXFormatRow pdf;
  pdf.Encode = [&](TStream* s, TPXBitmap* b, TIOParams*, TPXMask*, TPXProgressRecord&) {
    pdfGot = b->PixelFormat();
    pdfWidth = b->Width();
    s->WriteBuffer("%PDF", 4);
  };
  RegisterFormatRow(pxftPDF, pdf);

  // The document writer runs without a picture to check.
  Component c;
  c.io->SetAttachedBitmap(nullptr);
  TestTempDir dir;
  c.io->SaveToFile(dir.File("a.svg"), pxftUnknown);
  EXPECT_FALSE(c.io->Aborting());
  EXPECT_EQ(svgGot, nullptr);
  EXPECT_EQ(c.io->Params()->FileType, pxftSVG);
  EXPECT_EQ(std::filesystem::file_size(dir.File("a.svg")), 6u);

  Component d;
  Paint(d.Bitmap(), 5, 2, px8g, false);
  TMemoryStream s;
  d.io->SaveToStream(&s, pxftPDF);
  EXPECT_EQ(pdfGot, px24RGB);
  EXPECT_EQ(d.Bitmap()->PixelFormat(), px8g);

  // Several layers go on the page together.
  class TwoLayers : public FakeIOView {
   public:
    void LayersDrawTo(TPXBitmap* B) override { B->Allocate(9, 9, px24RGB); }
  } view;
  view.layers = 2;
  TPixoranIO io(nullptr);
  io.SetAttachedPixoran(&view);
  io.SaveToStream(&s, pxftPDF);
  EXPECT_EQ(pdfWidth, 9);
  io.SetAttachedPixoran(nullptr);
}

namespace {

class FakeVectorView : public IPXIOVectorView {
 public:
  FakeVectorView() { view.layerView = false; }
  IPXIOView* AsView() override { return &view; }
  bool LoadObjectsFromStream(TStream* Stream, bool) override {
    char b[3] = {};
    return Stream->Read(b, 3) == 3 && std::memcmp(b, "PXV", 3) == 0;
  }
  bool LoadAllFromStream(TStream* Stream) override { return LoadObjectsFromStream(Stream, false); }
  void SaveObjectsToFile(const std::string&, int32_t) override {}
  void SaveAllToFile(const std::string&, int32_t) override {}
  TRect GetObjectsExtent() override { return TRect{0, 0, 7, 4}; }
  void DrawObjectsOntoImage() override { drawn = true; }
  FakeIOView view;
  bool drawn = false;
};

}  // namespace

TEST(IOFormats, VectorFilesDrawnThroughATemporaryView) {
  Component c;
  TMemoryStream bad;
  bad.WriteBuffer("XXX", 3);
  bad.Seek(0, soBeginning);
  // No vector subsystem: the load fails cleanly.
  SetTemporaryVectorViewFactory(nullptr);
  EXPECT_FALSE(c.io->LoadFromStreamVect(&bad, pxftPXV));
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.finished, 1);

  bool drawn = false;
  SetTemporaryVectorViewFactory([&drawn]() -> std::unique_ptr<IPXIOVectorView> {
    struct Tracked : FakeVectorView {
      explicit Tracked(bool* d) : d_(d) {}
      ~Tracked() override { *d_ = drawn; }
      bool* d_;
    };
    return std::make_unique<Tracked>(&drawn);
  });
  TMemoryStream good;
  good.WriteBuffer("PXV", 3);
  good.Seek(0, soBeginning);
  EXPECT_TRUE(c.io->LoadFromStreamVect(&good, pxftPXV));
  EXPECT_TRUE(drawn);
  EXPECT_EQ(c.Bitmap()->Width(), 7);
  EXPECT_EQ(c.Bitmap()->Height(), 4);
  EXPECT_EQ(c.io->Params()->FileType, pxftPXV);
  EXPECT_EQ(c.finished, 2);
  bad.Seek(0, soBeginning);
  EXPECT_FALSE(c.io->LoadFromStreamVect(&bad, pxftPXV));
  EXPECT_EQ(c.finished, 3);
  EXPECT_FALSE(c.io->LoadFromStreamVect(&good, pxftPNG));  // not a vector type
  SetTemporaryVectorViewFactory(nullptr);
}

TEST(IOFormats, LayersFileHeaderAndThumbnail) {
  SetReadLayersStreamHeader([](TStream* s, TPXBitmap* thumbnail, TPXLayersStreamHeader& h) {
    char b[3] = {};
    if (s->Read(b, 3) != 3 || std::memcmp(b, "PXN", 3) != 0) return false;
    h.HeaderValueA = 11;
    h.Version = 7001;
    h.Description = "two layers";
    h.Width = 40;
    h.Height = 30;
    if (thumbnail) thumbnail->Allocate(8, 6, px24RGB);
    return true;
  });
  TMemoryStream s;
  s.WriteBuffer("PXN", 3);
  Component c;
  s.Seek(0, soBeginning);
  EXPECT_TRUE(c.io->ParamsFromStream(&s, pxftPXN));
  EXPECT_EQ(c.io->Params()->Layers_Description, "two layers");
  EXPECT_EQ(c.io->Params()->Width, 40);
  EXPECT_EQ(c.io->Params()->Layers_HeaderValueA, 11);
  EXPECT_EQ(c.io->Params()->FileType, pxftPXN);

  // The stored thumbnail is enough when asked for.
  c.io->Params()->Layers_GetThumbnail = true;
  s.Seek(0, soBeginning);
  c.finished = 0;
  EXPECT_TRUE(c.io->LoadFromStreamLayers(&s, false));
  EXPECT_EQ(c.Bitmap()->Width(), 8);
  EXPECT_EQ(c.finished, 1);

  // Without a view subsystem the layers cannot be merged: a clean failure.
  c.io->Params()->Layers_GetThumbnail = false;
  SetTemporaryViewFactory(nullptr);
  s.Seek(0, soBeginning);
  EXPECT_FALSE(c.io->LoadFromStreamLayers(&s, false));
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.finished, 2);
  SetReadLayersStreamHeader(nullptr);
}
