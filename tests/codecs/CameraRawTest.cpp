// Camera raw files: the heap-structured format's parser on heaps built here (both byte orders,
// nesting, loops, hostile tables), the engine choice and the companion engines' preparation and
// refusal, and the conversion tool's argument list.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/pxraw.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pxtiffifd.h"
#include "io/pxxBitmaps_params.h"
#include "tests/codecs/SmallCodecTestSupport.h"

using namespace smallcodec;

namespace {

const char* const kLibraryMessage =
    "A required library file (dovevodi.dll, dovevodi32.dll, pxlib.dll or pxlib32.dll) was not found, or is "
    "outdated (Version expected: 5.1.1.0)";

struct Order {
  bool Big;
  std::string U16(uint32_t v) const {
    return Big ? std::string{char(v >> 8), char(v)} : std::string{char(v), char(v >> 8)};
  }
  std::string U32(uint32_t v) const { return Big ? U16(v >> 16) + U16(v & 0xFFFF) : U16(v & 0xFFFF) + U16(v >> 16); }
  std::string F32(float f) const {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return U32(v);
  }
};

// A record: its tag and data; tags from 4000h on carry their 8 bytes in the record itself.
struct Rec {
  uint16_t Tag;
  std::string Data;
};

// A heap: the records' data, then the table (count, 10-byte records), then the table's offset.
std::string Heap(const Order& o, const std::vector<Rec>& Recs) {
  std::string data, table = o.U16(uint32_t(Recs.size()));
  for (const Rec& r : Recs) {
    if (r.Tag >= 0x4000) {
      table += o.U16(r.Tag) + r.Data.substr(0, 8);
      continue;
    }
    table += o.U16(r.Tag) + o.U32(uint32_t(r.Data.size())) + o.U32(uint32_t(data.size()));
    data += r.Data;
    if (data.size() % 2) data += '\0';
  }
  return data + table + o.U32(uint32_t(data.size()));
}

// A heap of Count nested-heap records that all point at the one copy of Child.
std::string FanHeap(const Order& o, const std::string& Child, int Count) {
  std::string table = o.U16(uint32_t(Count));
  for (int i = 0; i < Count; ++i) table += o.U16(0x3000) + o.U32(uint32_t(Child.size())) + o.U32(0);
  return Child + table + o.U32(uint32_t(Child.size()));
}

std::string CiffFile(const Order& o, const std::string& HeapBytes) {
  std::string h = (o.Big ? "MM" : "II") + o.U32(26) + "HEAPCCDR" + o.U32(0x00010002) + std::string(8, '\0');
  return h + HeapBytes;
}

std::string Jpeg(int W, int H) {
  TPXBitmap b;
  b.Allocate(W, H, px24RGB);
  auto io = TPixoranIO::CreateForBitmap(&b);
  TMemoryStream s;
  io->SaveToStreamJpeg(&s);
  return BytesOf(s);
}

// Sets the raw engine for one test.
class EngineScope {
 public:
  explicit EngineScope(uint8_t Engine) : saved_(GlobalSettingsInstance()->FCameraRawEngine) {
    GlobalSettingsInstance()->FCameraRawEngine = Engine;
  }
  ~EngineScope() { GlobalSettingsInstance()->FCameraRawEngine = saved_; }

 private:
  uint8_t saved_;
};

TEST(CiffParams, FillsTheExifGroupThumbnailAndMakerNoteInBothByteOrders) {
  const std::string small = Jpeg(160, 120), large = Jpeg(320, 240);
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "MM" : "II");
    const Order o{big};
    const std::string inner = Heap(o, {{0x101C, o.U16(200)},
                                       {0x180E, o.U32(1000000000)},
                                       {0x2008, small},
                                       {0x102A, o.U16(1) + o.U16(2) + o.U16(3)}});
    std::string camera = std::string("Canon") + '\0' + "Canon EOS D30" + '\0';
    const std::string top = Heap(
        o, {{0x2007, large},
            {0x0805, std::string("Test shot") + '\0' + "junk"},
            {0x080A, camera},
            {0x080B, "Firmware 1.0"},
            {0x1029, o.U16(0) + o.U16(35 * 32)},
            {0x5810, o.U32(2160) + o.U32(1440)},  // data held in the record
            {0x1818, o.F32(0) + o.F32(5.5f) + o.F32(3.0f)},
            {0x102D, o.U16(7) + o.U16(8)},
            {0x300A, inner}});
    auto s = StreamOf(std::string(5, 'x') + CiffFile(o, top));
    s->Seek(5, soBeginning);
    TIOParams p;
    ASSERT_TRUE(ReadCiffParams(s.get(), &p));
    EXPECT_EQ(s->Position(), 5);
    EXPECT_EQ(p.EXIF_ImageDescription, "Test shot");
    EXPECT_EQ(p.EXIF_Make, "Canon");
    EXPECT_EQ(p.EXIF_Model, "Canon EOS D30");
    EXPECT_EQ(p.EXIF_Software, "Firmware 1.0");
    EXPECT_EQ(p.GetExifIsoSpeedRatings(0), 200);
    EXPECT_DOUBLE_EQ(p.EXIF_FocalLength, 35.0);
    EXPECT_EQ(p.EXIF_PixelXDimension, 2160);
    EXPECT_EQ(p.EXIF_PixelYDimension, 1440);
    EXPECT_DOUBLE_EQ(p.EXIF_ShutterSpeedValue, 5.5);
    EXPECT_DOUBLE_EQ(p.EXIF_ApertureValue, 3.0);
    EXPECT_EQ(p.EXIF_DateTime, "2001:09:09 01:46:40");
    ASSERT_NE(p.EXIF_Thumbnail(), nullptr);
    EXPECT_EQ(p.EXIF_Thumbnail()->Width(), 160);  // the smaller of the two pictures
    EXPECT_EQ(p.EXIF_Thumbnail()->Height(), 120);
    // Maker-note entries 4 and 1 as SHORT values, as many as the records' bytes hold.
    TPXTIFFIFDReader* r = p.EXIF_MakerNote.Reader();
    ASSERT_NE(r, nullptr);
    std::vector<uint64_t> v4, v1;
    EXPECT_EQ(r->ReadIntegerArray(4, v4), 3u);
    EXPECT_EQ(v4, (std::vector<uint64_t>{1, 2, 3}));
    EXPECT_EQ(r->ReadIntegerArray(1, v1), 2u);
    EXPECT_EQ(v1, (std::vector<uint64_t>{7, 8}));
  }
}

TEST(CiffParams, RefusesOtherDataAndSurvivesHostileHeaps) {
  {
    auto s = StreamOf("XXnot a raw file at all");
    TIOParams p;
    EXPECT_FALSE(ReadCiffParams(s.get(), &p));
    EXPECT_EQ(p.EXIF_Thumbnail(), nullptr);
    EXPECT_EQ(s->Position(), 0);
  }
  const Order o{false};
  // A heap that lists itself as a nested heap, and a table whose count and offsets overshoot.
  std::string self = Heap(o, {{0x080A, std::string("Make") + '\0' + "Model"}, {0x300B, std::string(64, 'z')}});
  // Point the nested record at the whole heap: offset 0 and the heap's own size.
  const size_t rec = self.size() - 4 - 10;  // the second record
  self.replace(rec + 2, 8, o.U32(uint32_t(self.size())) + o.U32(0));
  // Every record of each level points at the same child heap: without a bound on the records
  // read this is 256^8 visits.
  std::string fan = Heap(o, {{0x080A, std::string("Deep") + '\0' + "Fan"}});
  for (int level = 0; level < 10; ++level) fan = FanHeap(o, fan, 256);
  const std::vector<std::string> heaps = {
      self,
      fan,
      Heap(o, {{0x0805, "x"}}).substr(0, 6) + o.U32(0xFFFFFFF0),     // table offset outside
      std::string("\x05\x00", 2) + o.U16(0xFFFF) + o.U32(2),          // 65535 records announced
      Heap(o, {{0x0805, std::string(10, 'y')}}) + o.U32(0x7FFFFFFF),  // table past the end
  };
  for (size_t i = 0; i < heaps.size(); ++i) {
    SCOPED_TRACE(i);
    auto s = StreamOf(CiffFile(o, heaps[i]));
    TIOParams p;
    EXPECT_TRUE(ReadCiffParams(s.get(), &p));
    if (i == 0) {
      EXPECT_EQ(p.EXIF_Model, "Model");
    }
  }
}

TEST(CameraRawEngines, AutomaticEngineIsTheImagingComponentAndItsSignatureAnswersFalse) {
  EngineScope engine(0);
  EXPECT_EQ(GlobalSettingsInstance()->GetCameraRawEngine(), 2);
  auto s = StreamOf(CiffFile(Order{false}, Heap(Order{false}, {})));
  s->Seek(3, soBeginning);
  EXPECT_FALSE(HasCameraRawSignature(s.get()));
  EXPECT_EQ(s->Position(), 3);
}

TEST(CameraRawEngines, CompanionEnginesPrepareThenRaise) {
  const Order o{false};
  const std::string ciff = CiffFile(o, Heap(o, {{0x080A, std::string("Maker") + '\0' + "Body"}}));
  // A TIFF-built raw file whose resolution is 118 pixels per centimetre.
  std::string tiff = "II*" + std::string(1, '\0') + o.U32(8) + o.U16(3) + o.U16(282) + o.U16(5) + o.U32(1) +
                     o.U32(50) + o.U16(283) + o.U16(5) + o.U32(1) + o.U32(58) + o.U16(296) + o.U16(3) + o.U32(1) +
                     o.U16(3) + o.U16(0) + o.U32(0) + o.U32(118) + o.U32(1) + o.U32(118) + o.U32(1);
  for (uint8_t e : {uint8_t(1), uint8_t(3)}) {
    SCOPED_TRACE(int(e));
    EngineScope engine(e);
    {
      auto s = StreamOf(ciff);
      TIOParams p;
      TPXBitmap b;
      Progressed run;
      EXPECT_EQ(MessageOf<EPXRAWException>([&] { DecodeCameraRawStream(s.get(), &b, &p, false, run.Progress); }),
                kLibraryMessage);
      EXPECT_EQ(p.EXIF_Make, "Maker");  // the heap was read before the library was asked for
      EXPECT_EQ(MessageOf<EPXRAWException>([&] { HasCameraRawSignature(s.get()); }), kLibraryMessage);
    }
    {
      auto s = StreamOf(tiff);
      TIOParams p;
      p.RAW_GetExifThumbnail = true;
      Progressed run;
      EXPECT_EQ(MessageOf<EPXRAWException>([&] { DecodeCameraRawStream(s.get(), nullptr, &p, true, run.Progress); }),
                kLibraryMessage);
      EXPECT_TRUE(p.RAW_GetExifThumbnail);
      p.RAW_GetExifThumbnail = false;
      s->Seek(0, soBeginning);
      EXPECT_EQ(MessageOf<EPXRAWException>([&] { DecodeCameraRawStream(s.get(), nullptr, &p, true, run.Progress); }),
                kLibraryMessage);
      EXPECT_EQ(p.DpiX, 300);
      EXPECT_EQ(p.DpiY, 300);
    }
  }
}

TEST(CameraRawEngines, ConversionToolArguments) {
  using V = std::vector<std::string>;
  TIOParams p;
  p.RAW_FastInterpolation = false;
  p.AutoRotate = true;
  EXPECT_EQ(CameraRawToolArguments(&p, true), (V{"par.000", "-i", "par.111"}));
  EXPECT_EQ(CameraRawToolArguments(&p, false), (V{"par.000", "par.111"}));  // gamma 2.222: no "-g"
  p.RAW_Gamma = 2.4;
  EXPECT_EQ(CameraRawToolArguments(&p, false), (V{"par.000", "-g", "2.4", "4.5", "par.111"}));
  // Every option, in the tool's order.
  p.NativePixelFormat = true;
  p.RAW_HalfSize = true;
  p.RAW_FastInterpolation = true;
  p.RAW_AutoWhiteBalance = true;
  p.RAW_CameraWhiteBalance = true;
  p.RAW_Brightness = 1.25;
  p.RAW_RedScale = 1.5;
  p.RAW_FourColorRGB = true;
  p.RAW_OutputColorSpace = 2;
  p.RAW_Multipliers = {0, 2, 0, 0.5};
  p.AutoRotate = false;
  p.RAW_ExtraOptions = " -n  100,5 ";
  EXPECT_EQ(CameraRawToolArguments(&p, false),
            (V{"par.000", "-6", "-h", "-q", "0", "-a", "-w", "-b", "1.25", "-g", "2.4", "4.5", "-C", "1.5", "1",
               "-f", "-o", "2", "-r", "0", "2", "0", "0.5", "-t", "0", "-n", "100.5", "par.111"}));
}

}  // namespace
