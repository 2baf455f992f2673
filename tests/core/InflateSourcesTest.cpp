// Inflating from a memory source in place and from any other stream must give the same bytes
// and leave the source at the same place; a raw bitmap stream read through an inflating
// stream in batches of rows must give the bitmap back, and data that ends or breaks part way
// must leave it empty.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxzlib.h"
#include "platform/rtl/Classes.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A stream over bytes that is no memory stream, so the decompression stream and the raw
// reader take their general ways.
class TPlainStream : public TStream {
 public:
  explicit TPlainStream(Bytes Data) : FData(std::move(Data)) {}
  int32_t Read(void* Buffer, int32_t Count) override {
    const int64_t n = std::clamp<int64_t>(static_cast<int64_t>(FData.size()) - FPos, 0, Count);
    if (n > 0) std::memcpy(Buffer, FData.data() + FPos, static_cast<size_t>(n));
    FPos += n;
    return static_cast<int32_t>(n);
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
    const int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPos : static_cast<int64_t>(FData.size());
    FPos = base + Offset;
    return FPos;
  }

 private:
  Bytes FData;
  int64_t FPos = 0;
};

Bytes Sample(size_t n) {
  Bytes b(n);
  uint32_t x = 99;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = static_cast<uint8_t>((i % 61 < 30) ? i / 7 : x >> 24);
  }
  return b;
}

Bytes Framed(const Bytes& packed) {
  Bytes b{'H', 'E', 'A', 'D'};
  b.insert(b.end(), packed.begin(), packed.end());
  b.insert(b.end(), {'T', 'A', 'I', 'L'});
  return b;
}

Bytes Deflate(const Bytes& data) {
  TMemoryStream m;
  {
    TZCompressionStream z(&m, 2);
    z.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  }
  const auto* p = static_cast<const uint8_t*>(m.Memory());
  return Bytes(p, p + m.Size());
}

TEST(InflateSources, MemoryAndOtherSourcesGiveTheSame) {
  const Bytes data = Sample(400000);
  const Bytes packed = Deflate(data);
  ASSERT_GT(packed.size(), 3u * TCustomZStream::kBufferSize);
  const Bytes framed = Framed(packed);
  for (int32_t piece : {1, 777, 12000, 1 << 20}) {
    TMemoryStream memory;
    memory.WriteBuffer(framed.data(), static_cast<int64_t>(framed.size()));
    TPlainStream plain(framed);
    for (TStream* source : {static_cast<TStream*>(&memory), static_cast<TStream*>(&plain)}) {
      source->SetPosition(4);
      TZDecompressionStream z(source);
      int fired = 0;
      z.SetOnProgress([&](TObject*) { ++fired; });
      Bytes out;
      Bytes buf(1 << 20);
      // Single bytes take long: the first 5000 bytes in pieces, then larger ones.
      for (;;) {
        const int32_t n = z.Read(buf.data(), out.size() < 5000 ? piece : std::max(piece, 65536));
        if (n <= 0) break;
        out.insert(out.end(), buf.begin(), buf.begin() + n);
      }
      EXPECT_EQ(out, data) << piece;
      EXPECT_EQ(source->Position(), 4 + static_cast<int64_t>(packed.size())) << piece;
      EXPECT_EQ(z.Position(), static_cast<int64_t>(data.size()));
      EXPECT_GE(fired, static_cast<int>(packed.size() / TCustomZStream::kBufferSize));
      EXPECT_LE(fired, static_cast<int>(packed.size() / TCustomZStream::kBufferSize) + 1);
      char tail[4] = {};
      source->ReadBuffer(tail, 4);
      EXPECT_EQ(std::string(tail, 4), "TAIL");
    }
  }
}

TEST(InflateSources, InPlaceRewindAndSkip) {
  const Bytes data = Sample(200000);
  const Bytes framed = Framed(Deflate(data));
  TPXMemStream m(framed.data(), static_cast<int64_t>(framed.size()));
  m.SetPosition(4);
  TZDecompressionStream z(&m);
  uint8_t b = 0;
  EXPECT_EQ(z.Seek(150000, soCurrent), 150000);
  z.ReadBuffer(&b, 1);
  EXPECT_EQ(b, data[150000]);
  EXPECT_EQ(z.Seek(0, soBeginning), 0);
  EXPECT_EQ(m.Position(), 4);
  z.ReadBuffer(&b, 1);
  EXPECT_EQ(b, data[0]);
  EXPECT_EQ(z.Seek(0, soEnd), 200000);
}

// A picture tall enough for several batches of rows, the last one partial, with an alpha
// channel.
std::unique_ptr<TPXBitmap> TallPicture() {
  auto b = std::make_unique<TPXBitmap>();
  EXPECT_TRUE(b->Allocate(701, 1300, px24RGB));
  uint32_t x = 7;
  for (int32_t y = 0; y < b->Height(); ++y) {
    uint8_t* row = b->Scanline(y);
    uint8_t* a = b->GetAlphaChannel()->Scanline(y);
    for (int32_t i = 0; i < 701 * 3; ++i) {
      x = x * 1103515245u + 12345u;
      row[i] = static_cast<uint8_t>(y + (x >> 29));
    }
    for (int32_t i = 0; i < 701; ++i) a[i] = static_cast<uint8_t>(i ^ y);
  }
  return b;
}

Bytes Raw(TPXBitmap* b) {
  Bytes raw(static_cast<size_t>(b->RawStreamSize()));
  b->SaveRawToStream(raw.data(), nullptr, false);
  return raw;
}

TEST(InflateSources, RawBitmapThroughAnInflatingStream) {
  auto picture = TallPicture();
  const Bytes raw = Raw(picture.get());
  const Bytes packed = Deflate(raw);
  const auto bound = static_cast<int64_t>(raw.size());
  for (bool inPlace : {true, false}) {
    TPXMemStream memory(packed.data(), static_cast<int64_t>(packed.size()));
    TPlainStream plain(packed);
    TStream* source = inPlace ? static_cast<TStream*>(&memory) : &plain;
    TZDecompressionStream z(source);
    TPXBitmap b;
    ASSERT_TRUE(b.LoadRawFromStreamBounded(&z, bound)) << inPlace;
    EXPECT_EQ(Raw(&b), raw) << inPlace;
  }
  // Data that ends inside the rows or the alpha channel reads short: False, an empty bitmap.
  for (size_t cut : {packed.size() / 3, packed.size() - 40}) {
    TPXMemStream m(packed.data(), static_cast<int64_t>(cut));
    TZDecompressionStream z(&m);
    auto b = TallPicture();
    EXPECT_FALSE(b->LoadRawFromStreamBounded(&z, bound)) << cut;
    EXPECT_TRUE(b->IsEmpty());
  }
  // Broken data raises among the rows and leaves the bitmap empty.
  Bytes broken = packed;
  for (size_t i = packed.size() / 2; i < packed.size() / 2 + 64; ++i) broken[i] ^= 0xA5;
  TPXMemStream m(broken.data(), static_cast<int64_t>(broken.size()));
  TZDecompressionStream z(&m);
  TPXBitmap b;
  EXPECT_THROW(b.LoadRawFromStreamBounded(&z, bound), EZDecompressionError);
  EXPECT_TRUE(b.IsEmpty());
}

TEST(InflateSources, RawStreamIntoAMemoryStreamReservesWithoutChangingBytes) {
  auto picture = TallPicture();
  const Bytes raw = Raw(picture.get());
  TMemoryStream m;
  m.WriteBuffer("ab", 2);
  picture->SaveRawToStream(nullptr, &m, true);
  ASSERT_EQ(m.Size(), 2 + static_cast<int64_t>(raw.size()));
  EXPECT_EQ(0, std::memcmp(static_cast<const uint8_t*>(m.Memory()) + 2, raw.data(), raw.size()));
  EXPECT_GE(m.Capacity(), m.Size());
}

}  // namespace
