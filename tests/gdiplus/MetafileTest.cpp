// Windows metafiles: WMF and EMF built from bytes are read with their header and drawn scaled
// into a rectangle; data that is not a readable metafile gives no image.
#include <algorithm>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/WinGdi.h"
#include "platform/gdiplus/GdiPlus.h"
#include "platform/gdiplus/GdiPlusMetafile.h"
#include "platform/gdiplus/Metafile.h"
#include "platform/gdiplus/MetafileGraphic.h"
#include "platform/gdi/Graphics.h"
#include <cstring>
#include "platform/rtl/Classes.h"
#include "tests/common/TestSupport.h"
#include "tests/gdiplus/MetafileBytes.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kRed = 0x0000FF;

class Metafile : public ::testing::Test {
 protected:
  void SetUp() override {
    GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
  }
  void TearDown() override { GdiplusShutdown(token_); }

  static GpMetafile* FromBytes(const std::vector<uint8_t>& bytes, GpStatus& status) {
    TMemoryStream stream;
    if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
    GpMetafile* mf = nullptr;
    status = GdipCreateMetafileFromStream(&stream, &mf);
    return mf;
  }

  // The metafile drawn over the whole surface through a graphics on the surface's DC.
  static void DrawWhole(GpMetafile* mf, TSurface& surface) {
    HDC dc = CreateSurfaceDC(&surface);
    GpGraphics* g = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(dc, &g), Ok);
    EXPECT_EQ(GdipDrawImageRect(g, mf, 0, 0, REAL(surface.Width()), REAL(surface.Height())), Ok);
    GdipDeleteGraphics(g);
    DeleteDC(dc);
  }

  ULONG_PTR token_ = 0;
};

struct TCase {
  const char* Name;
  std::vector<uint8_t> (*Build)();
  MetafileType Type;
};

TEST_F(Metafile, ReadsHeaderAndDrawsTheRectangleScaled) {
  const TCase cases[] = {{"wmf", [] { return metafile_bytes::RedRectWmf(); }, MetafileTypeWmfPlaceable},
                         {"emf", [] { return metafile_bytes::RedRectEmf(); }, MetafileTypeEmf}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<uint8_t> bytes = c.Build();
    GpStatus status = GenericError;
    GpMetafile* mf = FromBytes(bytes, status);
    ASSERT_EQ(status, Ok);
    ASSERT_NE(mf, nullptr);
    MetafileHeader h;
    ASSERT_EQ(GdipGetMetafileHeaderFromMetafile(mf, &h), Ok);
    EXPECT_EQ(h.Type, c.Type);
    EXPECT_EQ(h.Width, 100);
    EXPECT_EQ(h.Height, 50);
    EXPECT_EQ(h.Size, bytes.size());
    EXPECT_NEAR(h.DpiX, 96, 0.5);

    // Drawn at twice the size: the rectangle (20, 10)-(80, 40) becomes (40, 20)-(160, 80).
    TSurface surface(200, 100, 24, false);
    for (int32_t y = 0; y < 100; ++y)
      for (int32_t x = 0; x < 200; ++x) surface.SetPixel(x, y, kWhite);
    HDC dc = CreateSurfaceDC(&surface);
    GpGraphics* g = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(dc, &g), Ok);
    EXPECT_EQ(GdipDrawImageRect(g, mf, 0, 0, 200, 100), Ok);
    GdipDeleteGraphics(g);
    DeleteDC(dc);
    EXPECT_EQ(surface.GetPixel(100, 50), kRed);
    EXPECT_EQ(surface.GetPixel(44, 24), kRed);
    EXPECT_EQ(surface.GetPixel(155, 75), kRed);
    EXPECT_EQ(surface.GetPixel(35, 50), kWhite);
    EXPECT_EQ(surface.GetPixel(165, 50), kWhite);
    EXPECT_EQ(surface.GetPixel(100, 15), kWhite);
    EXPECT_EQ(surface.GetPixel(100, 85), kWhite);

    // Drawn straight into pixels at half the size: the rectangle (10, 5)-(40, 20), opaque red,
    // nothing around it.
    std::vector<uint32_t> pixels;
    ASSERT_EQ(GdipRasterizeMetafile(mf, 50, 25, pixels), Ok);
    ASSERT_EQ(pixels.size(), 50u * 25u);
    EXPECT_EQ(pixels[12 * 50 + 25], 0xFFFF0000u);
    EXPECT_EQ(pixels[2 * 50 + 2], 0u);
    EXPECT_EQ(pixels[12 * 50 + 47], 0u);
    EXPECT_EQ(GdipRasterizeMetafile(mf, 0, 25, pixels), InvalidParameter);
    EXPECT_TRUE(pixels.empty());
    EXPECT_EQ(GdipDisposeImage(mf), Ok);
  }
  GpBitmap* bitmap = nullptr;
  ASSERT_EQ(GdipCreateBitmapFromScan0(4, 4, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
  std::vector<uint32_t> pixels;
  EXPECT_EQ(GdipRasterizeMetafile(bitmap, 4, 4, pixels), InvalidParameter);
  EXPECT_EQ(GdipRasterizeMetafile(nullptr, 4, 4, pixels), InvalidParameter);
  GdipDisposeImage(bitmap);
}

// Without the placeable header the picture is the bounds of what it draws.
TEST_F(Metafile, PlainWmfIsSizedByItsDrawing) {
  const std::vector<uint8_t> placeable = metafile_bytes::RedRectWmf();
  const std::vector<uint8_t> plain(placeable.begin() + 22, placeable.end());
  GpStatus status = GenericError;
  GpMetafile* mf = FromBytes(plain, status);
  ASSERT_EQ(status, Ok);
  MetafileHeader h;
  ASSERT_EQ(GdipGetMetafileHeaderFromMetafile(mf, &h), Ok);
  EXPECT_EQ(h.Type, MetafileTypeWmf);
  EXPECT_GT(h.Width, 0);
  EXPECT_GT(h.Height, 0);
  TSurface surface(40, 20, 32, false);
  ASSERT_NO_FATAL_FAILURE(DrawWhole(mf, surface));
  EXPECT_EQ(surface.GetPixel(20, 10) & 0xFFFFFF, kRed);
  GdipDisposeImage(mf);
}

TEST_F(Metafile, HeaderClaimingAHugeRecordReadsAsItsRecordsAre) {
  // The header's largest-record figure says 3.4 GB; the records themselves are a few bytes.
  std::vector<uint8_t> wmf = metafile_bytes::RedRectWmf();
  const uint8_t claim[4] = {0x5A, 0x59, 0x59, 0x65};
  std::copy(claim, claim + 4, wmf.begin() + 22 + 12);
  GpStatus status = GenericError;
  GpMetafile* mf = FromBytes(wmf, status);
  ASSERT_EQ(status, Ok);
  TSurface surface(40, 20, 32, false);
  ASSERT_NO_FATAL_FAILURE(DrawWhole(mf, surface));
  EXPECT_EQ(surface.GetPixel(20, 10) & 0xFFFFFF, kRed);
  GdipDisposeImage(mf);
}

TEST_F(Metafile, UnreadableDataGivesNoImage) {
  std::vector<uint8_t> wmf = metafile_bytes::RedRectWmf();
  std::vector<uint8_t> emf = metafile_bytes::RedRectEmf();
  std::vector<uint8_t> emfBadRecord = emf;
  emfBadRecord[108 + 4] = 0xF0;  // first record claims more bytes than there are
  std::vector<uint8_t> wmfTruncated(wmf.begin(), wmf.begin() + 60);
  std::vector<uint8_t> wmfHugeRecord = wmf;
  wmfHugeRecord[22 + 18 + 2] = 0x7F;  // record size far past the end
  const std::vector<uint8_t> inputs[] = {{}, std::vector<uint8_t>(300, 0xAB), emfBadRecord, wmfTruncated,
                                         wmfHugeRecord, std::vector<uint8_t>(emf.begin(), emf.begin() + 100)};
  for (const auto& bytes : inputs) {
    GpStatus status = Ok;
    GpMetafile* mf = FromBytes(bytes, status);
    EXPECT_NE(status, Ok);
    EXPECT_EQ(mf, nullptr);
  }
  GpMetafile* mf = nullptr;
  EXPECT_EQ(GdipCreateMetafileFromFile("/nonexistent/file.wmf", &mf), FileNotFound);
  EXPECT_EQ(mf, nullptr);
}

// Offsets and counts of the EMF header and the end record that lie outside their records refuse
// the file before the converter sees it (the converter would read past its buffer); records
// that fail the checks of their type are dropped and the rest is drawn.
TEST_F(Metafile, EmfFieldsOutsideTheirRecordsAreRefusedOrDropped) {
  const std::vector<uint8_t> emf = metafile_bytes::RedRectEmf();
  auto with = [&](size_t At, uint32_t V) {
    std::vector<uint8_t> b = emf;
    for (int i = 0; i < 4; ++i) b[At + i] = static_cast<uint8_t>(V >> (8 * i));
    return b;
  };
  const size_t eof = emf.size() - 20;
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
  } refused[] = {
      {"description offset past the header", with(64, 246)},
      {"description longer than the header", [&] {
         auto b = with(60, 40);
         b[64] = 100;
         return b;
       }()},
      {"description inside the fixed fields", [&] {
         auto b = with(60, 2);
         b[64] = 40;
         return b;
       }()},
      {"pixel format past the header", [&] {
         auto b = with(88, 40);
         b[92] = 100;
         return b;
       }()},
      {"end record without its fields", [&] {
         auto b = std::vector<uint8_t>(emf.begin(), emf.end() - 12);
         b[eof + 4] = 8;
         return b;
       }()},
      {"palette past the end record", [&] {
         auto b = with(eof + 8, 300);
         b[eof + 12] = 16;
         return b;
       }()},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.Name);
    GpStatus status = Ok;
    EXPECT_EQ(FromBytes(c.Bytes, status), nullptr);
    EXPECT_NE(status, Ok);
  }
  // The file the fuzzer found: a description at offset 246 of a 108-byte header.
  std::ifstream in(TestDataPath("fuzz/metafile-emf-header.bin"), std::ios::binary);
  const std::vector<uint8_t> fuzzed{std::istreambuf_iterator<char>(in), {}};
  ASSERT_EQ(fuzzed.size(), 284u);
  GpStatus status = Ok;
  EXPECT_EQ(FromBytes(fuzzed, status), nullptr);
  EXPECT_NE(status, Ok);

  // A polygon claiming more points than its record holds and a brush at an object index the
  // table cannot have are dropped; the rectangle is still drawn.
  std::vector<uint8_t> dropped(emf.begin(), emf.begin() + 108);
  const uint32_t extra[] = {3, 28, 0, 0, 0, 0, 1000,             // POLYGON, 1000 points in 28 bytes
                            39, 24, 0x7FFFFFF0, 0, 0xFF00, 0};   // CREATEBRUSHINDIRECT at a wild index
  for (uint32_t v : extra)
    for (int i = 0; i < 4; ++i) dropped.push_back(static_cast<uint8_t>(v >> (8 * i)));
  dropped.insert(dropped.end(), emf.begin() + 108, emf.end());
  GpMetafile* mf = FromBytes(dropped, status);
  ASSERT_EQ(status, Ok);
  TSurface surface(40, 20, 32, false);
  ASSERT_NO_FATAL_FAILURE(DrawWhole(mf, surface));
  EXPECT_EQ(surface.GetPixel(20, 10) & 0xFFFFFF, kRed);
  GdipDisposeImage(mf);
}

// The checked bytes handed on pass the checks again unchanged, and the converters in the helper
// process and in this one make the same drawing.
TEST_F(Metafile, TheHelperProcessConvertsAsTheConvertersDo) {
  for (const auto& bytes : {metafile_bytes::RedRectEmf(), metafile_bytes::RedRectWmf()}) {
    MetafileHeader viaHelper, inProcess;
    std::string svgHelper, svgInProcess;
    ASSERT_TRUE(GpReadMetafile(bytes.data(), bytes.size(), viaHelper, svgHelper));
    ASSERT_TRUE(GpReadMetafile(bytes.data(), bytes.size(), inProcess, svgInProcess, GpConvertInProcess));
    EXPECT_EQ(svgHelper, svgInProcess);
    EXPECT_EQ(viaHelper.Width, inProcess.Width);
    EXPECT_EQ(viaHelper.Height, inProcess.Height);
  }
  const std::vector<uint8_t> emf = metafile_bytes::RedRectEmf();
  std::vector<uint8_t> prepared, again;
  ASSERT_TRUE(PxPrepareEmf(emf.data(), emf.size(), prepared));
  ASSERT_TRUE(PxPrepareEmf(prepared.data(), prepared.size(), again));
  EXPECT_EQ(again, prepared);
}

}  // namespace

// The class library's TMetafile over the same reader: size, kind, drawing on a canvas, the bytes
// kept for saving, and refused data.
TEST_F(Metafile, ClassLibraryMetafile) {
  TestTempDir dir;
  for (const TCase& c : {TCase{"wmf", [] { return metafile_bytes::RedRectWmf(); }, MetafileTypeWmfPlaceable},
                         TCase{"emf", [] { return metafile_bytes::RedRectEmf(); }, MetafileTypeEmf}}) {
    SCOPED_TRACE(c.Name);
    const std::vector<uint8_t> bytes = c.Build();
    const std::string name = dir.File(std::string("m.") + c.Name);
    {
      TMemoryStream s;
      s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
      s.SaveToFile(name);
    }
    TMetafile m;
    EXPECT_TRUE(m.Empty());
    m.LoadFromFile(name);
    EXPECT_FALSE(m.Empty());
    EXPECT_EQ(m.Width(), 100);
    EXPECT_EQ(m.Height(), 50);
    EXPECT_EQ(m.Enhanced(), c.Type == MetafileTypeEmf);

    // By stream, and drawn at twice the size on a bitmap's canvas.
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    s.SetPosition(0);
    EXPECT_TRUE(m.CanLoadFromStream(&s));
    EXPECT_EQ(s.Position(), 0);
    TMetafile n;
    n.LoadFromStream(&s);
    TBitmap target;
    target.SetPixelFormat(pf24bit);
    target.SetSize(200, 100);
    target.Canvas()->Brush()->SetColor(clWhite);
    target.Canvas()->FillRect(TRect{0, 0, 200, 100});
    target.Canvas()->StretchDraw(TRect{0, 0, 200, 100}, &n);
    EXPECT_EQ(target.Canvas()->Pixels(100, 50), TColor(kRed));
    EXPECT_EQ(target.Canvas()->Pixels(10, 10), TColor(kWhite));
    EXPECT_EQ(target.Canvas()->Pixels(190, 90), TColor(kWhite));

    // The bytes loaded are the bytes saved.
    TMemoryStream saved;
    n.SaveToStream(&saved);
    ASSERT_EQ(saved.Size(), static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(std::memcmp(saved.Memory(), bytes.data(), bytes.size()), 0);
  }
  TMemoryStream junk;
  junk.WriteBuffer("no metafile here, only words", 28);
  junk.SetPosition(0);
  TMetafile m;
  EXPECT_FALSE(m.CanLoadFromStream(&junk));
  EXPECT_THROW(m.LoadFromStream(&junk), EInvalidGraphic);
  EXPECT_TRUE(m.Empty());
  EXPECT_EQ(m.Width(), 0);
}
