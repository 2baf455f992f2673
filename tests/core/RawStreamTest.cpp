#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/Classes.h"

namespace {

TRGB RGB(uint8_t r, uint8_t g, uint8_t b) { return TRGB{b, g, r}; }

std::string Save(TPXBitmap* b) {
  TMemoryStream s;
  b->SaveRawToStream(nullptr, &s, true);
  return std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

bool Load(TPXBitmap* b, const std::string& bytes) {
  return b->LoadRawFromStream(bytes.data(), static_cast<int64_t>(bytes.size()), nullptr);
}

std::unique_ptr<TPXBitmap> Picture(bool alpha) {
  auto b = std::make_unique<TPXBitmap>();
  b->Allocate(3, 2, px24RGB);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b->SetPixel24(x, y, RGB(uint8_t(x * 50), uint8_t(y * 90), 7));
  if (alpha) b->SetAlpha(2, 1, 33);
  return b;
}

TEST(RawStreamTest, LayoutAndSize) {
  auto b = Picture(false);
  const std::string s = Save(b.get());
  ASSERT_EQ(s.size(), 100u);  // 76 + 3 x 0 + 12 x 2
  EXPECT_EQ(s.substr(0, 12), "TPXBITMAPRAW");
  EXPECT_EQ(s.back(), '\0');  // no alpha
  EXPECT_EQ(b->RawStreamSize(), 100);
  int32_t width;
  std::memcpy(&width, s.data() + 20, 4);
  EXPECT_EQ(width, 3);
  EXPECT_EQ(s[28], static_cast<char>(px24RGB));
  // Row 0 first: its second pixel's red byte.
  EXPECT_EQ(static_cast<uint8_t>(s[75 + 3 + 2]), 50);

  // A buffer of RawStreamSize bytes is filled exactly, byte for byte like the stream form.
  auto a = Picture(true);
  std::vector<uint8_t> buf(static_cast<size_t>(a->RawStreamSize()) + 8, 0xCD);
  a->SaveRawToStream(buf.data(), nullptr, false);
  const std::string viaStream = Save(a.get());
  ASSERT_EQ(viaStream.size(), static_cast<size_t>(a->RawStreamSize()));
  EXPECT_EQ(0, std::memcmp(buf.data(), viaStream.data(), viaStream.size()));
  for (size_t i = viaStream.size(); i < buf.size(); ++i) EXPECT_EQ(buf[i], 0xCD);
}

TEST(RawStreamTest, RoundTrips) {
  auto a = Picture(true);
  a->FDisplayRangeLow = 3;
  a->FDisplayRangeHigh = 9;
  a->FContrast = -4;
  a->SetChannelOffset(2, 5);
  const std::string s = Save(a.get());
  TPXBitmap b;
  b.GetAlphaChannel();  // an existing alpha object is kept and overwritten
  b.Allocate(5, 5, px8g);
  b.SetModified(true);
  ASSERT_TRUE(Load(&b, s));
  EXPECT_FALSE(b.Modified());
  EXPECT_EQ(b.PixelFormat(), px24RGB);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.GetPixelRGB(2, 1), RGB(100, 90, 7));
  EXPECT_EQ(b.GetAlpha(2, 1), 33);
  EXPECT_EQ(b.GetAlpha(0, 0), 255);
  EXPECT_EQ(b.FDisplayRangeHigh, 9);
  EXPECT_EQ(b.FContrast, -4);
  EXPECT_EQ(b.GetChannelOffset(2), 5);
  EXPECT_EQ(Save(&b), s);

  // A stream without alpha removes the target's alpha channel.
  ASSERT_TRUE(Load(&b, Save(Picture(false).get())));
  EXPECT_FALSE(b.HasAlphaChannel());

  // Palette pictures carry N = 256 and the used count.
  TPXBitmap p;
  p.Allocate(2, 2, px8p);
  p.FPalette[17] = RGB(1, 2, 3);
  p.FPaletteUsed = 18;
  p.SetPixel8(1, 1, 17);
  const std::string ps = Save(&p);
  int32_t n;
  std::memcpy(&n, ps.data() + 16, 4);
  EXPECT_EQ(n, 256);
  TPXBitmap q;
  ASSERT_TRUE(Load(&q, ps));
  EXPECT_EQ(q.FPaletteUsed, 18);
  EXPECT_EQ(q.GetPixelRGB(1, 1), RGB(1, 2, 3));
  TPXBitmap inPlatform;  // pixels held in a platform bitmap keep the palette as well
  inPlatform.FLocation = pxTBitmap;
  ASSERT_TRUE(Load(&inPlatform, ps));
  EXPECT_EQ(inPlatform.Location(), pxTBitmap);
  EXPECT_EQ(inPlatform.GetPixelRGB(1, 1), RGB(1, 2, 3));

  // A stream from a picture with byte-aligned rows reads into storage with 32-bit rows.
  TPXBitmap narrow;
  narrow.FLocation = pxMemory;
  narrow.Allocate(3, 2, px24RGB);
  narrow.SetRowAlignment(8);
  ASSERT_EQ(narrow.RowLen(), 9);
  narrow.SetPixel24(2, 1, RGB(4, 5, 6));
  TPXBitmap wide;  // a new bitmap keeps 32-bit rows
  ASSERT_TRUE(Load(&wide, Save(&narrow)));
  EXPECT_EQ(wide.GetPixelRGB(2, 1), RGB(4, 5, 6));
}

TEST(RawStreamTest, HeaderRefusals) {
  auto a = Picture(false);
  std::string s = Save(a.get());
  s[3] = 'x';
  TPXBitmap b;
  b.Allocate(2, 2, px8g);
  b.Fill(42);
  b.SetModified(true);
  EXPECT_FALSE(Load(&b, s));  // wrong magic: untouched
  EXPECT_EQ(b.GetPixel8(1, 1), 42);
  EXPECT_TRUE(b.Modified());
  s = Save(a.get());
  const int32_t minus1 = -1;
  std::memcpy(s.data() + 12, &minus1, 4);
  EXPECT_FALSE(Load(&b, s));  // negative version: refused, but no longer modified
  EXPECT_FALSE(b.Modified());
  EXPECT_EQ(b.GetPixel8(1, 1), 42);
}

TEST(RawStreamTest, BadInputGivesAnEmptyBitmap) {
  auto a = Picture(true);
  const std::string good = Save(a.get());
  auto expectRefused = [](const std::string& bytes, const std::string& what) {
    TPXBitmap b;
    b.Allocate(4, 4, px8g);
    EXPECT_FALSE(Load(&b, bytes)) << what;
    EXPECT_TRUE(b.IsEmpty()) << what;
    EXPECT_FALSE(b.HasAlphaChannel()) << what;
  };
  for (size_t cut = 0; cut < 12; ++cut) {
    TPXBitmap b;
    EXPECT_FALSE(Load(&b, good.substr(0, cut)));
    EXPECT_TRUE(b.IsEmpty());
  }
  for (size_t cut = 12; cut < good.size(); ++cut) expectRefused(good.substr(0, cut), "cut at " + std::to_string(cut));
  auto patch = [&](size_t at, auto value) {
    std::string s = good;
    std::memcpy(s.data() + at, &value, sizeof value);
    return s;
  };
  expectRefused(patch(16, int32_t(-1)), "N -1");
  expectRefused(patch(16, int32_t(300)), "N 300");
  expectRefused(patch(28, uint8_t(11)), "format 11");
  expectRefused(patch(28, uint8_t(0)), "no format");
  expectRefused(patch(20, int32_t(0)), "width 0");
  expectRefused(patch(24, int32_t(-3)), "height -3");
  expectRefused(patch(71, int32_t(12)), "alignment 12");
  expectRefused(patch(24, int32_t(1000000)), "rows past the end");
  expectRefused(patch(20, int32_t(0x7FFFFFFF)), "huge width");
  // Through a stream as well; a stream or buffer that holds nothing is refused.
  TMemoryStream cut;
  cut.WriteBuffer(good.data(), 50);
  cut.SetPosition(0);
  TPXBitmap b;
  EXPECT_FALSE(b.LoadRawFromStream(nullptr, 0, &cut));
  EXPECT_FALSE(b.LoadRawFromStream(nullptr, 0, nullptr));
  EXPECT_FALSE(b.LoadRawFromStream(good.data(), -1, nullptr));
}

// A stream of unknown length (as an inflating one) that raises once reading reaches FailAt.
class TUnsizedStream : public TCustomMemoryStream {
 public:
  TUnsizedStream(const std::string& Bytes, int64_t FailAt)
      : TCustomMemoryStream(Bytes.data(), static_cast<int64_t>(Bytes.size())), FFailAt(FailAt) {}
  int32_t Read(void* Buffer, int32_t Count) override {
    if (Position() + Count > FFailAt) throw EReadError("Stream read error");
    return TCustomMemoryStream::Read(Buffer, Count);
  }
  int64_t Size() override { return -1; }

 private:
  int64_t FFailAt;
};

TEST(RawStreamTest, BoundedLoadFromAStreamOfUnknownLength) {
  auto a = Picture(true);
  const std::string good = Save(a.get());
  const auto size = static_cast<int64_t>(good.size());
  {
    TUnsizedStream s(good, size);
    TPXBitmap b;
    ASSERT_TRUE(b.LoadRawFromStreamBounded(&s, size));
    EXPECT_EQ(Save(&b), good);
  }
  {
    // A bound too small for the rows refuses before a row is read (nothing past the header).
    TUnsizedStream s(good, 76);
    auto b = Picture(false);
    EXPECT_FALSE(b->LoadRawFromStreamBounded(&s, 76 + 2 * 12 - 1));
    EXPECT_TRUE(b->IsEmpty());
  }
  {
    // A stream that raises among the rows passes it on and leaves an empty bitmap.
    TUnsizedStream s(good, 90);
    auto b = Picture(false);
    EXPECT_THROW(b->LoadRawFromStreamBounded(&s, size), EReadError);
    EXPECT_TRUE(b->IsEmpty());
  }
  {
    // Data that ends short is refused as in a buffer.
    const std::string cut = good.substr(0, 95);
    TUnsizedStream s(cut, size);
    TPXBitmap b;
    EXPECT_FALSE(b.LoadRawFromStreamBounded(&s, size));
    EXPECT_TRUE(b.IsEmpty());
  }
}

TEST(RawStreamTest, FileBackedPictures) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const int64_t limit = s->FBitmapMemoryLimit;
  s->FBitmapMemoryLimit = 0;
  {
    auto a = Picture(true);
    ASSERT_EQ(a->Location(), pxFile);
    TPXBitmap b;
    ASSERT_TRUE(Load(&b, Save(a.get())));
    EXPECT_EQ(b.Location(), pxFile);
    EXPECT_EQ(Save(&b), Save(a.get()));
  }
  s->FBitmapMemoryLimit = limit;
}

}  // namespace
