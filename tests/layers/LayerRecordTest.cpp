// Layer records: the common part and its version gates, bad versions and lengths, the header
// peek, the layers-file header test, the older per-view layout and the image layer's tail.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/pxxBitmaps.h"
#include "core/pxzlib.h"
#include "io/pixoranio.h"
#include "layers/pxxLayers.h"
#include "platform/rtl/Classes.h"
#include "tests/common/TestSupport.h"
#include "tests/layers/FakeLayerOwner.h"

namespace {

constexpr const char* kCorrupted = "PXN File has been corrupted";
constexpr const char* kUnsupported = "Unsupported PXN file version. Update software to newer version";

// Offsets in a current record with no user data and an empty name.
constexpr size_t kOffWidth = 28, kOffFillOpacity = 51, kOffPosX = 59, kOffUserLen = 86, kOffName = 90;
constexpr size_t kOffMaskInverted = 95, kOffTag = 140, kCommonSize = 185;

std::string Bytes(TMemoryStream& S) {
  return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}
int32_t I32(const std::string& B, size_t Off) {
  int32_t v = 0;
  std::memcpy(&v, B.data() + Off, 4);
  return v;
}
void PutI32(std::string& B, size_t Off, int32_t V) { std::memcpy(B.data() + Off, &V, 4); }

// A px24RGB bitmap with distinct pixels and, when WithAlpha, a varying alpha channel.
std::unique_ptr<TPXBitmap> Picture(int32_t W, int32_t H, bool WithAlpha) {
  auto bmp = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int32_t y = 0; y < H; ++y) {
    auto* row = reinterpret_cast<TRGB*>(bmp->Scanline(y));
    for (int32_t x = 0; x < W; ++x)
      row[x] = TRGB{static_cast<uint8_t>(10 * x + y), static_cast<uint8_t>(200 - 7 * y), static_cast<uint8_t>(x * y)};
  }
  if (WithAlpha) {
    TPXBitmap* a = bmp->GetAlphaChannel();
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) a->Scanline(y)[x] = static_cast<uint8_t>(255 - 30 * x - 5 * y);
  }
  return bmp;
}

void ExpectSamePixels(TPXBitmap* A, TPXBitmap* B) {
  ASSERT_EQ(A->Width(), B->Width());
  ASSERT_EQ(A->Height(), B->Height());
  ASSERT_EQ(A->PixelFormat(), B->PixelFormat());
  for (int32_t y = 0; y < A->Height(); ++y)
    EXPECT_EQ(0, std::memcmp(A->Scanline(y), B->Scanline(y), static_cast<size_t>(A->Width()) * 3)) << "row " << y;
  ASSERT_EQ(A->HasAlphaChannel(), B->HasAlphaChannel());
  if (A->HasAlphaChannel()) {
    for (int32_t y = 0; y < A->Height(); ++y)
      EXPECT_EQ(0, std::memcmp(A->GetAlphaChannel()->Scanline(y), B->GetAlphaChannel()->Scanline(y),
                               static_cast<size_t>(A->Width())));
  }
}

class LayerRecordTest : public ::testing::Test {
 protected:
  FakeLayerOwner owner;

  TPXImageLayer* NewLayer(std::unique_ptr<TPXBitmap> Bitmap = nullptr) {
    if (!Bitmap) Bitmap = Picture(4, 3, false);
    return owner.Add(std::make_unique<TPXImageLayer>(&owner, std::move(Bitmap)));
  }
  std::string Record(TPXLayer* L, int32_t Format = -2, bool ExcludeImage = false) {
    TMemoryStream s;
    L->SaveToStream(&s, ExcludeImage, Format);
    return Bytes(s);
  }
  // Loads Data into L; answers the stream position afterwards.
  int64_t Load(TPXLayer* L, const std::string& Data) {
    TCustomMemoryStream s(Data.data(), static_cast<int64_t>(Data.size()));
    L->LoadFromStream(&s);
    return s.Position();
  }
};

// ---------------------------------------------------------------------------------------------
// Common part

TEST_F(LayerRecordTest, WritesRoundedSizeTruncatedPositionAndSelfSize) {
  TPXImageLayer* a = NewLayer();
  a->SetPosXD(10.9);
  a->SetPosYD(-3.5);
  a->SetWidthD(10.5);
  a->SetHeightD(11.5);
  TPXImageLayer* b = NewLayer();
  TMemoryStream s;
  a->SaveToStream(&s, false, -2);
  const int64_t second = s.Position();
  b->SaveToStream(&s, true, -2);
  const std::string bytes = Bytes(s);

  EXPECT_EQ(I32(bytes, 0), second);
  EXPECT_EQ(a->RecordSize(), second);
  EXPECT_EQ(I32(bytes, second), b->RecordSize());
  EXPECT_EQ(second + b->RecordSize(), s.Size());
  EXPECT_EQ(I32(bytes, 4), 8006);
  EXPECT_EQ(I32(bytes, kOffWidth), 10);
  EXPECT_EQ(I32(bytes, kOffWidth + 4), 12);
  EXPECT_EQ(I32(bytes, kOffPosX), 10);
  EXPECT_EQ(I32(bytes, kOffPosX + 4), -3);
  EXPECT_EQ(bytes.substr(kOffName, 4), std::string(4, '\0'));
  // An image record without picture: the common part and a 31-byte tail.
  EXPECT_EQ(b->RecordSize(), static_cast<int32_t>(kCommonSize + 31));

  int32_t size = 0;
  TPXLayerKind kind = pxlkShape;
  TGUID guid;
  s.SetPosition(0);
  PeekLayerRecordHeader(&s, true, size, kind, guid);
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(size, second);
  EXPECT_EQ(kind, pxlkImage);
  EXPECT_EQ(guid, a->GUID());
  PeekLayerRecordHeader(&s, false, size, kind, guid);
  EXPECT_EQ(s.Position(), 28);
}

TEST_F(LayerRecordTest, PropertiesAndUtf16NameRoundTrip) {
  TPXImageLayer* a = NewLayer();
  const std::string name = "Ebene \xC3\xA4 \xE2\x82\xAC \xF0\x9D\x84\x9E";  // a, euro sign, a non-BMP letter
  a->SetName(name);
  const uint8_t user[5] = {1, 2, 3, 4, 5};
  a->SetUserData(user, 5);
  a->SetOpacity(0.5);
  a->SetTransparency(200);
  a->SetRotate(33.25);
  a->SetGroupIndex(4);
  a->SetTag(-9);
  a->SetBorderColor(0x123456);
  a->SoftShadow()->Enabled = 1;
  a->SoftShadow()->Radius = 7.5;
  a->SoftShadow()->Color = TRGB{1, 2, 3};
  a->SetMagnifierEnabled(true);
  a->SetMagnifierZoom(3.5);
  a->SetMagnifierShape(1);
  a->SetMagnifierSource(0);
  a->SetImageResampleFilter(rfLinear);
  a->SetImageUseResampleFilter(true);
  const std::string rec = Record(a);

  // The name as UTF-16 code units: 12 units (the non-BMP letter is a surrogate pair).
  const size_t nameAt = kOffName + 5;
  ASSERT_EQ(I32(rec, kOffUserLen), 5);
  ASSERT_EQ(I32(rec, nameAt), 12);
  const std::u16string wide = u"Ebene \u00E4 \u20AC \U0001D11E";
  EXPECT_EQ(0, std::memcmp(rec.data() + nameAt + 4, wide.data(), 24));

  TPXImageLayer* b = NewLayer(std::make_unique<TPXBitmap>());
  owner.ClearRecords();
  EXPECT_EQ(Load(b, rec), static_cast<int64_t>(rec.size()));
  EXPECT_TRUE(owner.ImageChanges.empty());
  EXPECT_FALSE(b->Updating());
  EXPECT_FALSE(b->Modified());
  EXPECT_EQ(b->Name(), name);
  EXPECT_EQ(b->GUID(), a->GUID());
  ASSERT_EQ(b->UserDataLen(), 5);
  EXPECT_EQ(0, std::memcmp(b->UserData(), user, 5));
  EXPECT_EQ(b->Opacity(), 0.5);
  EXPECT_EQ(b->Transparency(), 200);
  EXPECT_EQ(b->Rotate(), 33.25);
  EXPECT_EQ(b->GroupIndex(), 4);
  EXPECT_EQ(b->Tag(), -9);
  EXPECT_EQ(b->BorderColor(), 0x123456);
  EXPECT_EQ(b->SoftShadow()->Enabled, 1);
  EXPECT_EQ(b->SoftShadow()->Radius, 7.5);
  EXPECT_EQ(b->SoftShadow()->Color.r, 3);
  EXPECT_TRUE(b->MagnifierEnabled());
  EXPECT_EQ(b->MagnifierZoom(), 3.5);
  EXPECT_EQ(b->MagnifierShape(), 1);
  EXPECT_EQ(b->MagnifierSource(), 0);
  EXPECT_EQ(b->ImageResampleFilter(), rfLinear);
  EXPECT_TRUE(b->ImageUseResampleFilter());
  ExpectSamePixels(a->Bitmap(), b->Bitmap());
}

TEST_F(LayerRecordTest, UserDataBlockAndLengthStayTogether) {
  TPXImageLayer* a = NewLayer();
  a->SetUserData(nullptr, 5);  // a length without a block stores nothing
  EXPECT_EQ(a->UserDataLen(), 0);
  const std::string rec = Record(a, -2, true);
  EXPECT_EQ(I32(rec, kOffUserLen), 0);
  EXPECT_EQ(I32(rec, 0), static_cast<int32_t>(rec.size()));
}

// Older records lack FillOpacity and MaskInverted (before 8003) and Tag (before 7001); the
// reader keeps its own values then.
TEST_F(LayerRecordTest, VersionGates) {
  TPXImageLayer* a = NewLayer(TPXBitmap::CreateAllocated(2, 2, px8g));
  a->SetIsMask(true);
  a->SetMaskInverted(true);
  a->SetFillOpacity(0.25);
  a->SetTag(77);
  const std::string current = Record(a, -2, true);
  ASSERT_EQ(current[kOffMaskInverted], 1);
  ASSERT_EQ(I32(current, kOffTag), 77);

  struct Row {
    int32_t Version;
    bool HasTag, HasFillAndInverted;
  };
  for (const Row& row : {Row{6400, false, false}, Row{7000, false, false}, Row{7001, true, false},
                         Row{8002, true, false}, Row{8003, true, true}, Row{8006, true, true}}) {
    SCOPED_TRACE(row.Version);
    std::string rec = current;
    // Remove the later fields back to front so the earlier offsets hold.
    if (!row.HasTag) rec.erase(kOffTag, 4);
    if (!row.HasFillAndInverted) {
      rec.erase(kOffMaskInverted, 1);
      rec.erase(kOffFillOpacity, 8);
    }
    PutI32(rec, 0, static_cast<int32_t>(rec.size()));
    PutI32(rec, 4, row.Version);

    TPXImageLayer* b = NewLayer();
    EXPECT_EQ(Load(b, rec), static_cast<int64_t>(rec.size()));
    EXPECT_TRUE(b->IsMask());
    EXPECT_EQ(b->Tag(), row.HasTag ? 77 : 0);
    EXPECT_EQ(b->FillOpacity(), row.HasFillAndInverted ? 0.25 : 1.0);
    EXPECT_EQ(b->MaskInverted(), row.HasFillAndInverted);
    EXPECT_EQ(b->RecordSize(), static_cast<int32_t>(rec.size()));
  }
}

TEST_F(LayerRecordTest, BadVersionsAndLengthsRaiseBeforeChangingTheLayer) {
  TPXImageLayer* a = NewLayer();
  a->SetName("source");
  const std::string good = Record(a);
  const int32_t goodSize = static_cast<int32_t>(good.size());

  struct Row {
    const char* What;
    size_t Offset;
    int32_t Value;
    const char* Message;
  };
  const size_t picCount = kCommonSize + 2 * 6 + 31;  // "source" is 6 units
  for (const Row& row : {
           Row{"version 8007", 4, 8007, kUnsupported},
           Row{"version 50000", 4, 50000, kUnsupported},
           Row{"version 50001", 4, 50001, kCorrupted},
           Row{"version 6399", 4, 6399, kCorrupted},
           Row{"size below the common part", 0, 150, kCorrupted},
           Row{"size past the stream", 0, goodSize + 1, kCorrupted},
           Row{"negative user data", kOffUserLen, -1, kCorrupted},
           Row{"user data past the record", kOffUserLen, 0x7FFFFFF0, kCorrupted},
           Row{"negative name", kOffName, -2, kCorrupted},
           Row{"name past the record", kOffName, 0x40000000, kCorrupted},
           Row{"picture past the record", picCount, goodSize, kCorrupted},
           Row{"negative picture", picCount, -5, kCorrupted},
       }) {
    SCOPED_TRACE(row.What);
    std::string rec = good;
    PutI32(rec, row.Offset, row.Value);
    TPXImageLayer* b = NewLayer();
    b->SetName("kept");
    const TGUID guid = b->GUID();
    EXPECT_EQ(MessageOf<EPXException>([&] { Load(b, rec); }), row.Message);
    EXPECT_FALSE(b->Updating());
    if (row.Offset != picCount) {
      EXPECT_EQ(b->Name(), "kept");
      EXPECT_EQ(b->GUID(), guid);
    }
    if (row.Offset == 4) {
      EXPECT_EQ(b->RecordSize(), goodSize);
    }
  }
}

TEST_F(LayerRecordTest, ForeignKindsArePeekedAndSkippedBySize) {
  TMemoryStream s;
  for (int32_t kind = 1; kind <= 5; ++kind) {
    std::string rec(40 + 8 * kind, '\x5A');
    PutI32(rec, 0, static_cast<int32_t>(rec.size()));
    PutI32(rec, 4, 8006);
    PutI32(rec, 8, 0x300 + kind);  // only the low byte is the kind
    s.WriteBuffer(rec.data(), static_cast<int64_t>(rec.size()));
  }
  s.SetPosition(0);
  for (int32_t kind = 1; kind <= 5; ++kind) {
    const int64_t at = s.Position();
    int32_t size = 0;
    TPXLayerKind k = pxlkImage;
    TGUID guid;
    PeekLayerRecordHeader(&s, true, size, k, guid);
    EXPECT_EQ(static_cast<int32_t>(k), kind);
    EXPECT_EQ(size, 40 + 8 * kind);
    EXPECT_EQ(guid.D1, 0x5A5A5A5Au);
    s.SetPosition(at + size);
  }
  EXPECT_EQ(s.Position(), s.Size());
}

TEST(LayerStreamHeaderTest, NeedsMagicAndLayers) {
  auto header = [](int32_t Count) {
    std::string h = "xxDOZUROVAZERAR" + std::string(12, '\0');
    std::memcpy(h.data() + 2 + 21, &Count, 4);
    return h;
  };
  for (const auto& [count, expected] : std::vector<std::pair<int32_t, bool>>{{0, false}, {-1, false}, {3, true}}) {
    const std::string h = header(count);
    TCustomMemoryStream s(h.data(), static_cast<int64_t>(h.size()));
    s.SetPosition(2);
    EXPECT_EQ(IsLayerStreamHeader(&s), expected) << count;
    EXPECT_EQ(s.Position(), 2);
  }
  std::string h = header(3);
  h[5] = 'X';
  TCustomMemoryStream bad(h.data(), static_cast<int64_t>(h.size()));
  bad.SetPosition(2);
  EXPECT_FALSE(IsLayerStreamHeader(&bad));
  TCustomMemoryStream shortStream(h.data(), 20);
  EXPECT_FALSE(IsLayerStreamHeader(&shortStream));
  EXPECT_EQ(shortStream.Position(), 0);
}

// ---------------------------------------------------------------------------------------------
// Image tail

TEST_F(LayerRecordTest, RawPicturesOfEverySizeRoundTrip) {
  struct Row {
    int32_t W, H, Format;
    bool Alpha;
  };
  for (const Row& row : {Row{5, 4, -1, true}, Row{5, 4, -2, true}, Row{1, 1, -2, false}, Row{1, 7, -1, false},
                         Row{6, 1, -2, true}}) {
    SCOPED_TRACE(testing::Message() << row.W << "x" << row.H << " format " << row.Format);
    TPXImageLayer* a = NewLayer(Picture(row.W, row.H, row.Alpha));
    const std::string rec = Record(a, row.Format);
    EXPECT_EQ(rec[kCommonSize + 26], 1);  // HasImage
    EXPECT_EQ(I32(rec, kCommonSize + 27), row.Format);
    TPXImageLayer* b = NewLayer(Picture(2, 2, false));
    EXPECT_EQ(Load(b, rec), static_cast<int64_t>(rec.size()));
    ExpectSamePixels(a->Bitmap(), b->Bitmap());
    EXPECT_FALSE(b->Bitmap()->Modified());
  }
  // Through a file: the reader takes its copy path (it reads memory streams in place).
  TestTempDir dir;
  for (const int32_t format : {-1, -2}) {
    SCOPED_TRACE(testing::Message() << "file, format " << format);
    TPXImageLayer* a = NewLayer(Picture(7, 5, true));
    TPXImageLayer* b = NewLayer(Picture(2, 2, false));
    {
      TFileStream out(dir.File("layer.rec"), fmCreate);
      a->SaveToStream(&out, false, format);
      TPXImageLayer* c = NewLayer(Picture(3, 2, false));  // a second record behind the first
      c->SaveToStream(&out, false, format);
    }
    TFileStream in(dir.File("layer.rec"), fmOpenRead);
    b->LoadFromStream(&in);
    ExpectSamePixels(a->Bitmap(), b->Bitmap());
    b->LoadFromStream(&in);
    EXPECT_EQ(b->Bitmap()->Width(), 3);
    EXPECT_EQ(in.Position(), in.Size());
  }
  // Without the picture the reader keeps its own.
  TPXImageLayer* a = NewLayer(Picture(5, 4, false));
  TPXImageLayer* b = NewLayer(Picture(2, 3, false));
  Load(b, Record(a, -1, true));
  EXPECT_EQ(b->Bitmap()->Width(), 2);
  EXPECT_EQ(b->Bitmap()->Height(), 3);
}

TEST_F(LayerRecordTest, DeflatedPictureThatDoesNotInflateIsCorrupted) {
  TPXImageLayer* a = NewLayer(Picture(5, 4, false));
  std::string rec = Record(a, -1);
  rec[kCommonSize + 35] ^= 0x55;  // the zlib header
  TPXImageLayer* b = NewLayer();
  EXPECT_EQ(MessageOf<EPXException>([&] { Load(b, rec); }), kCorrupted);
}

// An embedded picture file ends where the record ends, whatever its reader consumed.
TEST_F(LayerRecordTest, EmbeddedPngIsReadByPillowAndEndsAtTheRecord) {
  TPXImageLayer* a = NewLayer(Picture(7, 5, true));
  const std::string rec = Record(a, 1);
  ASSERT_EQ(I32(rec, kCommonSize + 27), 8);
  const std::string png = rec.substr(kCommonSize + 31);
  ASSERT_EQ(png.substr(1, 3), "PNG");

  // Trailing bytes inside the record that the picture reader never reads, then a second record.
  std::string padded = rec + std::string(9, '\x77');
  PutI32(padded, 0, static_cast<int32_t>(padded.size()));
  TPXImageLayer* next = NewLayer(Picture(2, 2, false));
  next->SetName("next");
  const std::string both = padded + Record(next, -2);
  TCustomMemoryStream s(both.data(), static_cast<int64_t>(both.size()));
  TPXImageLayer* b = NewLayer();
  b->LoadFromStream(&s);
  EXPECT_EQ(s.Position(), static_cast<int64_t>(padded.size()));
  ExpectSamePixels(a->Bitmap(), b->Bitmap());
  TPXImageLayer* c = NewLayer();
  c->LoadFromStream(&s);
  EXPECT_EQ(c->Name(), "next");

  if (!ToolExists("/usr/bin/python3")) GTEST_SKIP() << "python3 is not installed";
  TestTempDir dir;
  {
    std::ofstream out(dir.File("layer.png"), std::ios::binary);
    out.write(png.data(), static_cast<std::streamsize>(png.size()));
  }
  const char* script =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
      "sys.stdout.buffer.write(('%d %d %s\\n' % (im.width, im.height, im.mode)).encode())\n"
      "sys.stdout.buffer.write(im.convert('RGBA').tobytes())\n";
  if (RunTool({"/usr/bin/python3", "-c", script, dir.File("layer.png")}, dir.File("out")) != 0)
    GTEST_SKIP() << "Pillow is not available";
  std::ifstream in(dir.File("out"), std::ios::binary);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "7 5 RGBA");
  const std::string rgba((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(rgba.size(), 7u * 5u * 4u);
  TPXBitmap* bmp = a->Bitmap();
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 7; ++x) {
      const TRGB p = reinterpret_cast<TRGB*>(bmp->Scanline(y))[x];
      const auto* o = reinterpret_cast<const uint8_t*>(rgba.data()) + (y * 7 + x) * 4;
      EXPECT_EQ(o[0], p.r);
      EXPECT_EQ(o[1], p.g);
      EXPECT_EQ(o[2], p.b);
      EXPECT_EQ(o[3], bmp->GetAlphaChannel()->Scanline(y)[x]);
    }
}

// ---------------------------------------------------------------------------------------------
// The older per-view layout

// Fields of the older layout at file version V, then the 64-bit picture position.
std::string LegacyFields(int32_t V, int64_t PicturePos) {
  std::string b;
  auto put = [&](const void* p, size_t n) { b.append(static_cast<const char*>(p), n); };
  auto byte = [&](uint8_t v) { put(&v, 1); };
  auto i32 = [&](int32_t v) { put(&v, 4); };
  auto dbl = [&](double v) { put(&v, 8); };
  byte(1), byte(0), i32(180);  // Visible, VisibleBox, Transparency
  if (V >= 7) dbl(0.75);
  i32(12), i32(-4), byte(1), byte(0);  // PosX, PosY, Cropped, Locked
  byte(1), dbl(2.5), byte(1);          // magnifier enabled, zoom, shape
  if (V >= 3) byte(0);                 // magnifier source
  byte(3), i32(40), i32(30);           // operation, width, height
  if (V >= 3) {
    byte(static_cast<uint8_t>(rfLinear)), byte(1);
    i32(4), put("L\xE4ge", 4);  // a Windows-1252 name
    i32(2), byte(9), byte(8);   // user data
    byte(0);                    // IsMask
  }
  if (V >= 4) byte(0);  // Selectable
  if (V >= 6) byte(1);  // DrawOuter
  if (V >= 8) i32(6);   // AlphaEdgeFeathering
  if (V >= 9) dbl(0.25), dbl(0.75), dbl(12.5), i32(3), byte(1);
  i32(static_cast<int32_t>(PicturePos & 0xFFFFFFFF)), i32(static_cast<int32_t>(PicturePos >> 32));
  return b;
}

TEST_F(LayerRecordTest, LegacyLayerNeedsAnOwner) {
  TPXImageLayer free(nullptr);
  const std::string b = LegacyFields(9, 0);
  TCustomMemoryStream s(b.data(), static_cast<int64_t>(b.size()));
  EXPECT_EQ(MessageOf<EPXException>([&] { ReadLegacyLayer(&free, &s, 9, -2); }), "Owner not assigned");
}

TEST_F(LayerRecordTest, LegacyLayersReadGatedFieldsAndThePicture) {
  std::unique_ptr<TPXBitmap> source = Picture(6, 4, true);
  TMemoryStream raw;
  source->SaveRawToStream(nullptr, &raw, false);
  const std::string rawBytes = Bytes(raw);
  TMemoryStream packed;
  {
    TZCompressionStream z(&packed);
    z.WriteBuffer(rawBytes.data(), static_cast<int64_t>(rawBytes.size()));
    z.Finish();
  }
  const std::string deflated = Bytes(packed);
  TPXImageLayer* pngSource = NewLayer(Picture(6, 4, true));
  const std::string png = Record(pngSource, 8).substr(kCommonSize + 31);

  struct Row {
    int32_t Version, Compression;
  };
  for (const Row& row : {Row{2, -2}, Row{3, -1}, Row{7, 8}, Row{9, -2}, Row{9, -1}, Row{9, 8}}) {
    SCOPED_TRACE(testing::Message() << "version " << row.Version << " compression " << row.Compression);
    const size_t fieldsSize = LegacyFields(row.Version, 0).size();
    // Picture data first, then the layer's fields (the picture lies elsewhere in the stream).
    std::string pictureData;
    if (row.Compression == 8) {
      pictureData = png;
    } else {
      const std::string& d = row.Compression == -1 ? deflated : rawBytes;
      const int32_t n = static_cast<int32_t>(d.size());
      pictureData.assign(reinterpret_cast<const char*>(&n), 4);
      pictureData += d;
    }
    const std::string stream = "head" + pictureData + LegacyFields(row.Version, 4) + "tail";

    TPXBitmap target;
    std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&target);
    owner.Picture = &target;
    owner.IO = io.get();
    TPXImageLayer* layer = NewLayer();
    layer->SetTag(5);
    TCustomMemoryStream s(stream.data(), static_cast<int64_t>(stream.size()));
    const int64_t fieldsAt = 4 + static_cast<int64_t>(pictureData.size());
    s.SetPosition(fieldsAt);
    ReadLegacyLayer(layer, &s, row.Version, row.Compression);
    EXPECT_EQ(s.Position(), fieldsAt + static_cast<int64_t>(fieldsSize));
    EXPECT_FALSE(layer->Modified());
    EXPECT_EQ(layer->Transparency(), 180);
    EXPECT_EQ(layer->Opacity(), row.Version >= 7 ? 0.75 : 1.0);
    EXPECT_EQ(layer->GetPosX(), 12);
    EXPECT_EQ(layer->GetPosY(), -4);
    EXPECT_EQ(layer->GetWidth(), 40);
    EXPECT_EQ(layer->GetHeight(), 30);
    EXPECT_TRUE(layer->MagnifierEnabled());
    EXPECT_EQ(layer->MagnifierSource(), row.Version >= 3 ? 0 : 1);
    EXPECT_EQ(layer->Operation(), 3);
    EXPECT_EQ(layer->Name(), row.Version >= 3 ? "L\xC3\xA4ge" : "");
    EXPECT_EQ(layer->UserDataLen(), row.Version >= 3 ? 2 : 0);
    EXPECT_EQ(layer->Selectable(), row.Version < 4);
    EXPECT_EQ(layer->DrawOuter(), row.Version >= 6);
    EXPECT_EQ(layer->AlphaEdgeFeathering(), row.Version >= 8 ? 6 : 0);
    EXPECT_EQ(layer->Rotate(), row.Version >= 9 ? 12.5 : 0.0);
    EXPECT_EQ(layer->GroupIndex(), row.Version >= 9 ? 3 : 0);
    EXPECT_EQ(layer->Tag(), 5);
    ExpectSamePixels(source.get(), &target);
    owner.IO = nullptr;
    owner.Picture = nullptr;
  }
}

TEST_F(LayerRecordTest, LegacyPicturePositionAndCountAreChecked) {
  owner.IO = nullptr;
  TPXBitmap target;
  owner.Picture = &target;
  struct Row {
    const char* What;
    int64_t Pos;
    int32_t Count;
  };
  for (const Row& row : {Row{"position past the stream", 1 << 20, 0}, Row{"negative position", -8, 0},
                         Row{"negative count", 0, -1}, Row{"count past the stream", 0, 1 << 30}}) {
    SCOPED_TRACE(row.What);
    std::string stream(reinterpret_cast<const char*>(&row.Count), 4);
    stream += LegacyFields(9, row.Pos);
    TPXImageLayer* layer = NewLayer();
    TCustomMemoryStream s(stream.data(), static_cast<int64_t>(stream.size()));
    s.SetPosition(4);
    EXPECT_EQ(MessageOf<EPXException>([&] { ReadLegacyLayer(layer, &s, 9, -2); }), kCorrupted);
  }
  owner.Picture = nullptr;
}

}  // namespace
