#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "core/hypxutils_containers.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_cache.h"

namespace {

// The store's bytes as they are on disk or in memory.
std::vector<uint8_t> StoreBytes(TPXVirtualImageList& Cache, int64_t Position, int64_t Count) {
  std::vector<uint8_t> out(static_cast<size_t>(Count));
  auto* s = Cache.FFileBuffer->Stream.get();
  s->SetPosition(Position);
  s->ReadBuffer(out.data(), Count);
  return out;
}

enum class Kind { Plain, Segmented, File };

// A bitmap of random pixels (and palette and alpha) in the storage kind asked for.
std::unique_ptr<TPXBitmap> RandomBitmap(int32_t W, int32_t H, TPXPixelFormat F, bool Alpha, Kind K, uint32_t Seed) {
  SetMaxSingleBlockSize(K == Kind::Segmented ? 256 : 0);
  auto b = std::make_unique<TPXBitmap>();
  b->FLocation = K == Kind::File ? pxFile : pxMemory;
  b->FMemoryLimit = K == Kind::File ? 0 : (int64_t{1} << 40);
  EXPECT_TRUE(b->Allocate(W, H, F));
  SetMaxSingleBlockSize(0);
  std::mt19937 rng(Seed);
  for (int32_t y = 0; y < H; ++y)
    for (int64_t i = 0; i < b->RowLen(); ++i) b->Scanline(y)[i] = static_cast<uint8_t>(rng());
  if (F == px8p)
    for (int i = 0; i < 256; ++i)
      b->SetPaletteColor(i, TRGB{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
  if (Alpha) {
    auto* a = b->GetAlphaChannel();
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) a->Scanline(y)[x] = static_cast<uint8_t>(rng());
    a->FFull = 0;
  }
  return b;
}


void ExpectSamePicture(TPXBitmap* A, TPXBitmap* B) {
  ASSERT_EQ(A->Width(), B->Width());
  ASSERT_EQ(A->Height(), B->Height());
  ASSERT_EQ(A->PixelFormat(), B->PixelFormat());
  const int64_t n = (int64_t{A->Width()} * A->BitCount() + 7) / 8;
  for (int32_t y = 0; y < A->Height(); ++y)
    ASSERT_EQ(0, std::memcmp(A->Scanline(y), B->Scanline(y), static_cast<size_t>(n))) << "row " << y;
  if (A->PixelFormat() == px8p)
    for (int i = 0; i < 256; ++i) {
      TRGB a, b;
      A->GetPaletteColor(i, a);
      B->GetPaletteColor(i, b);
      ASSERT_EQ(a, b) << "palette " << i;
    }
  ASSERT_EQ(A->HasAlphaChannel(), B->HasAlphaChannel());
  if (A->HasAlphaChannel()) {
    EXPECT_EQ(A->AlphaChannel()->FFull, B->AlphaChannel()->FFull);
    for (int32_t y = 0; y < A->Height(); ++y)
      ASSERT_EQ(0, std::memcmp(A->AlphaChannel()->Scanline(y), B->AlphaChannel()->Scanline(y),
                               static_cast<size_t>(A->Width())));
  }
}

class ImageCache : public ::testing::TestWithParam<bool> {
 protected:
  TPXVirtualImageList cache_{"ICTEST", GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Stores, ImageCache, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "File" : "Memory"; });

// The block layout in the store: rows last first, then palette, FFull byte and alpha rows.
TEST_P(ImageCache, BlocksHoldRowsPaletteAndAlphaInTheirLayout) {
  auto rgb = RandomBitmap(100, 100, px24RGB, true, Kind::Plain, 1);
  auto* r = cache_.AddBitmapDirect(rgb.get());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Size, 30000 + 10001);
  auto bytes = StoreBytes(cache_, r->Position, r->Size);
  EXPECT_EQ(0, std::memcmp(bytes.data(), rgb->Scanline(99), 300));        // last row first
  EXPECT_EQ(0, std::memcmp(bytes.data() + 29700, rgb->Scanline(0), 300));  // first row last
  EXPECT_EQ(bytes[30000], 0);                                                // FFull
  EXPECT_EQ(0, std::memcmp(bytes.data() + 30001, rgb->AlphaChannel()->Scanline(99), 100));

  auto pal = RandomBitmap(5, 3, px8p, false, Kind::Plain, 2);
  auto* p = cache_.AddBitmap(pal.get());  // through a mapped block, written back on save
  EXPECT_EQ(p->Size, 8 * 3 + 768);
  std::vector<uint8_t> stream;
  TMemoryStream ms;
  cache_.SaveToStream(&ms);  // writes the mapped block back
  bytes = StoreBytes(cache_, p->Position, p->Size);
  EXPECT_EQ(0, std::memcmp(bytes.data() + 24, pal->GetPalette(), 768));
  EXPECT_EQ(0, std::memcmp(bytes.data(), pal->Scanline(2), 5));
}

TEST_P(ImageCache, FreedBlocksAreReusedUntilTheStoreGrowsAndTheStoreResetsWhenEmpty) {
  auto* a = cache_.AddImage(100, 100, false, false, px24RGB, 24);  // 30,000 bytes
  auto* b = cache_.AddImage(10, 10, false, false, px8g, 8);
  const int64_t aPos = a->Position;
  cache_.DeleteImage(a);
  auto* c = cache_.AddImage(50, 50, false, false, px24RGB, 24);  // 7,500 bytes fit in a's place
  EXPECT_EQ(c->Position, aPos);
  auto* d = cache_.AddImage(70, 70, false, false, px24RGB, 24);  // 14,700 more fit the remainder
  EXPECT_EQ(d->Position, aPos + c->Size);
  cache_.DeleteImage(d);
  ASSERT_EQ(cache_.FFreeBlocks.size(), 2u);  // d's block and the tail of a's
  // A picture larger than what is left grows the store, which forgets the free blocks.
  const int64_t before = cache_.FStoreSize;
  auto* big = cache_.AddImage(400, 400, false, false, px24RGB, 24);
  EXPECT_GT(cache_.FStoreSize, before);
  EXPECT_TRUE(cache_.FFreeBlocks.empty());
  auto* small = cache_.AddImage(10, 10, false, false, px8g, 8);
  EXPECT_EQ(small->Position, big->Position + big->Size);
  for (auto* r : {b, c, big, small}) cache_.DeleteImage(r);
  EXPECT_EQ(cache_.Count(), 0);
  EXPECT_EQ(cache_.FStoreSize, cache_.FGrowStep);
  EXPECT_EQ(cache_.AddImage(4, 4, false, false, px8g, 8)->Position, 0);
}

TEST_P(ImageCache, AtMostElevenBlocksAreMappedAndHandedOutBitmapsAreShared) {
  std::vector<TPXVirtualImage> images;
  for (int i = 0; i < 12; ++i) {
    auto bmp = RandomBitmap(8, 8, px24RGB, false, Kind::Plain, 10 + i);
    images.push_back(cache_.AddBitmapDirect(bmp.get()));
  }
  bool reversed;
  for (int round = 0; round < 2; ++round)
    for (auto* r : images) {
      ASSERT_NE(cache_.GetImageRows(r, reversed), nullptr);
      cache_.ReleaseImageMemory(r);
      EXPECT_LE(cache_.MappedCount(), 11);
    }
  EXPECT_EQ(cache_.MappedCount(), 11);
  cache_.SetMaxMapped(3);
  cache_.GetImageRows(images[0], reversed);
  cache_.ReleaseImageMemory(images[0]);
  EXPECT_LE(cache_.MappedCount(), 4);

  TPXBitmap* first = cache_.GetBitmap(images[5]);
  TPXBitmap* second = cache_.GetBitmap(images[5]);
  EXPECT_EQ(first, second);
  cache_.ReleaseBitmap(first, false);
  EXPECT_EQ(images[5]->InUse, 1);
  EXPECT_EQ(cache_.FHandedOut.size(), 1u);
  cache_.ReleaseBitmap(second, false);
  EXPECT_EQ(images[5]->InUse, 0);
  EXPECT_TRUE(cache_.FHandedOut.empty());
  cache_.ReleaseBitmap(second, false);  // no longer known: ignored
}

// Every format with and without alpha, from each kind of storage, comes back as it went in.
TEST_P(ImageCache, EveryFormatRoundTripsFromEveryStorageKind) {
  const TPXPixelFormat formats[] = {px1g, px8p, px8g, px16g, px24RGB, px32f, pxCMYK, pxRGB48, pxCIELab, px32RGB};
  uint32_t seed = 100;
  for (TPXPixelFormat f : formats)
    for (bool alpha : {false, true})
      for (Kind k : {Kind::Plain, Kind::Segmented, Kind::File}) {
        SCOPED_TRACE(testing::Message() << "format " << int(f) << " alpha " << alpha << " kind " << int(k));
        auto src = RandomBitmap(13, 7, f, alpha, k, ++seed);
        if (alpha && (seed & 2)) src->AlphaChannel()->FFull = 1;
        auto* r = (seed & 1) ? cache_.AddBitmap(src.get()) : cache_.AddBitmapDirect(src.get());
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->Size, TPXVirtualImageList::BlockSize(13, 7, src->BitCount(), f, alpha));
        // Into a bitmap of another geometry with an alpha channel of its own.
        TPXBitmap out;
        out.Allocate(3, 3, px8g);
        out.GetAlphaChannel();
        cache_.CopyToBitmap(r, &out);
        ExpectSamePicture(src.get(), &out);
        // Handed out over a copy of the block and over the store itself.
        for (int64_t threshold : {int64_t{1} << 20, int64_t{0}}) {
          cache_.FViewThreshold = threshold;
          TPXBitmap* handed = cache_.GetBitmap(r);
          ASSERT_NE(handed, nullptr);
          ExpectSamePicture(src.get(), handed);
          cache_.ReleaseBitmap(handed, false);
        }
      }
}

TEST_P(ImageCache, UpdatesNamesAndOriginalSizes) {
  auto src = RandomBitmap(20, 10, px24RGB, false, Kind::Plain, 7);
  auto* r = cache_.AddBitmapDirect(src.get());
  const int64_t pos = r->Position;
  // Same geometry: rewritten in place.
  auto same = RandomBitmap(20, 10, px24RGB, false, Kind::Plain, 8);
  cache_.UpdateImage(r, same.get());
  EXPECT_EQ(r->Position, pos);
  // Another geometry: a new block; the old one is not returned.
  auto other = RandomBitmap(30, 5, px8g, true, Kind::Plain, 9);
  cache_.UpdateImage(r, other.get());
  EXPECT_NE(r->Position, pos);
  EXPECT_TRUE(cache_.FFreeBlocks.empty());
  EXPECT_EQ(cache_.GetImageWidth(r), 30);
  EXPECT_EQ(cache_.GetImagePixelFormat(r), px8g);
  EXPECT_EQ(cache_.GetOriginalWidth(r), 20);  // set by the owner only
  cache_.SetOriginalWidth(r, 640);
  cache_.SetOriginalHeight(r, 480);
  EXPECT_EQ(cache_.GetOriginalWidth(r), 640);
  EXPECT_EQ(cache_.GetOriginalHeight(r), 480);
  TPXBitmap out;
  cache_.CopyToBitmap(r, &out);
  ExpectSamePicture(other.get(), &out);

  // A handed-out bitmap that is changed and released with saving rewrites the picture.
  TPXBitmap* b = cache_.GetBitmap(r);
  b->Scanline(0)[0] = 0x5A;
  EXPECT_EQ(cache_.GetImageWidth(r), 30);
  cache_.ReleaseImageBitmap(r, true);
  cache_.CopyToBitmap(r, &out);
  EXPECT_EQ(out.Scanline(0)[0], 0x5A);

  cache_.SetImageName(r, "Ä picture.jpg");
  EXPECT_EQ(r->NameHash, MurmurHash2Wide(std::u16string(u"Ä picture.jpg"), 0x9747B28C));
  cache_.SetImageName(r, "");
  EXPECT_EQ(r->NameHash, 0u);
  EXPECT_EQ(cache_.AddImage(0, 5, false, false, px8g, 8), nullptr);
  EXPECT_EQ(cache_.AddImage(5, 5, false, false, pxNoFormat, 8), nullptr);
}

TEST_P(ImageCache, MemoryGivenOutStaysValidUntilReleased) {
  auto src = RandomBitmap(16, 4, px8g, true, Kind::Plain, 11);
  auto* r = cache_.AddBitmapDirect(src.get());
  bool reversed = true;
  auto* rows = static_cast<uint8_t*>(cache_.GetImageRows(r, reversed));
  ASSERT_NE(rows, nullptr);
  EXPECT_FALSE(reversed);
  EXPECT_EQ(0, std::memcmp(rows, src->Scanline(3), 16));
  auto* alphaRows = static_cast<uint8_t*>(cache_.GetImageAlphaRows(r, reversed));
  ASSERT_NE(alphaRows, nullptr);
  EXPECT_EQ(alphaRows, rows + 64 + 1);
  // Eviction skips the pinned block.
  cache_.SetMaxMapped(0);
  for (int i = 0; i < 4; ++i) {
    auto other = RandomBitmap(4, 4, px8g, false, Kind::Plain, 20 + i);
    cache_.ReleaseBitmap(cache_.GetBitmap(cache_.AddBitmapDirect(other.get())), false);
  }
  EXPECT_EQ(r->Mapped(), rows);
  // Deleted while pinned: the memory lives on until both pins are given back.
  TPXBitmap* handed = cache_.GetBitmap(r);
  cache_.DeleteImage(r);
  EXPECT_EQ(cache_.IndexOfImage(r), -1);
  EXPECT_EQ(cache_.GetBitmap(r), nullptr);
  EXPECT_EQ(0, std::memcmp(rows, src->Scanline(3), 16));
  EXPECT_EQ(handed->Width(), 16);
  cache_.ReleaseImageMemory(r);
  EXPECT_EQ(0, std::memcmp(rows, src->Scanline(3), 16));
  cache_.ReleaseImageMemory(r);
  EXPECT_EQ(handed->Scanline(0)[0], src->Scanline(0)[0]);
  cache_.ReleaseBitmap(handed, true);  // the picture is gone: nothing saved
  EXPECT_TRUE(cache_.FHandedOut.empty());
  cache_.ReleaseImageMemory(r);  // unknown by now: ignored
  // Rewritten while pinned: the pinned memory keeps what it showed, the picture takes the new.
  auto* r2 = cache_.AddBitmap(src.get());
  auto* pinned = static_cast<uint8_t*>(cache_.GetImageRows(r2, reversed));
  ASSERT_NE(pinned, nullptr);
  auto next = RandomBitmap(16, 4, px8g, true, Kind::Plain, 12);
  cache_.UpdateImage(r2, next.get());
  EXPECT_EQ(0, std::memcmp(pinned, src->Scanline(3), 16));
  TPXBitmap out;
  cache_.CopyToBitmap(r2, &out);
  ExpectSamePicture(next.get(), &out);
  cache_.ReleaseImageMemory(r2);
  EXPECT_TRUE(r2->Retired.empty());
}

// A handed-out bitmap is a snapshot whose memory never moves while it is held: the picture
// updated from another bitmap or saved from it, written back to the store, deleted, its place
// wanted by new pictures. Handed out over the file store itself (as large pictures are), its
// rows are the store's block, which is neither rewritten nor given to another picture before
// the bitmap is released.
TEST_P(ImageCache, HandedOutBitmapsKeepTheirPixelsWhateverHappensToTheStore) {
  cache_.FViewThreshold = 0;
  auto a = RandomBitmap(64, 40, px24RGB, true, Kind::Plain, 61);
  auto b = RandomBitmap(64, 40, px24RGB, true, Kind::Plain, 62);
  auto* ra = cache_.AddBitmapDirect(a.get());
  cache_.AddBitmapDirect(b.get());
  const int64_t first = ra->Position;
  TPXBitmap* handed = cache_.GetBitmap(ra);
  ASSERT_NE(handed, nullptr);
  const uint8_t* rows = handed->Scanline(0);
  const uint8_t* alpha = handed->PeekAlphaChannel()->Scanline(0);
  ExpectSamePicture(a.get(), handed);
  handed->Scanline(39)[0] ^= 0xFF;
  a->Scanline(39)[0] ^= 0xFF;
  auto stillTheSame = [&] {
    EXPECT_EQ(handed->Scanline(0), rows);
    EXPECT_EQ(handed->PeekAlphaChannel()->Scanline(0), alpha);
    ExpectSamePicture(a.get(), handed);
  };
  // The picture rewritten from another bitmap, and written back to the store.
  TPXBitmap* again = cache_.GetBitmap(ra);
  EXPECT_EQ(again, handed);
  cache_.UpdateImage(ra, b.get());
  TMemoryStream ms;
  cache_.SaveToStream(&ms);
  stillTheSame();
  TPXBitmap stored;
  cache_.CopyToBitmap(ra, &stored);
  ExpectSamePicture(b.get(), &stored);
  // Saving the handed-out bitmap while it is still held writes its own pixels.
  cache_.ReleaseBitmap(handed, true);
  stillTheSame();
  cache_.CopyToBitmap(ra, &stored);
  ExpectSamePicture(a.get(), &stored);
  // Deleted, and new pictures added: none of them takes the block the bitmap reads.
  cache_.DeleteImage(ra);
  std::vector<TPXVirtualImage> added;
  for (int i = 0; i < 4; ++i) {
    added.push_back(cache_.AddBitmapDirect(b.get()));
    if (GetParam()) {
      EXPECT_NE(added.back()->Position, first);
    }
  }
  cache_.SaveToStream(&ms);
  stillTheSame();
  cache_.ReleaseBitmap(handed, false);
  EXPECT_TRUE(cache_.FHandedOut.empty());
  // Released, its block is free again (the memory store's bitmaps are copies: at once).
  if (GetParam()) {
    EXPECT_EQ(cache_.AddBitmapDirect(b.get())->Position, first);
  } else {
    EXPECT_EQ(added.front()->Position, first);
  }
}

// --- stream form -------------------------------------------------------------------------------

TEST_P(ImageCache, StreamsThreePicturesPackedFromZero) {
  std::vector<std::unique_ptr<TPXBitmap>> pictures;
  pictures.push_back(RandomBitmap(9, 9, px24RGB, true, Kind::Plain, 31));
  pictures.push_back(RandomBitmap(300, 200, px8p, false, Kind::Plain, 32));
  pictures.push_back(RandomBitmap(7, 3, px1g, false, Kind::Plain, 33));
  for (auto& p : pictures) cache_.AddBitmap(p.get());
  cache_.DeleteImage(cache_.GetImage(0));  // leaves a hole at the front
  cache_.AddBitmap(pictures[0].get());
  cache_.SetImageName(cache_.GetImage(2), "x");
  TMemoryStream ms;
  cache_.SaveToStream(&ms);
  // Records: 56 bytes each with the memory address 0.
  auto* data = static_cast<uint8_t*>(ms.Memory());
  ASSERT_EQ(0, std::memcmp(data + 4, "VIRTUALIMAGELIST", 16));
  int32_t count;
  std::memcpy(&count, data + 21, 4);
  ASSERT_EQ(count, 3);
  for (int i = 0; i < 3; ++i) {
    int32_t address;
    std::memcpy(&address, data + 25 + 56 * i + 16, 4);
    EXPECT_EQ(address, 0);
  }

  TPXVirtualImageList loaded("ICTEST", GetParam());
  ms.SetPosition(0);
  ASSERT_TRUE(loaded.LoadFromStream(&ms));
  ASSERT_EQ(loaded.Count(), 3);
  int64_t at = 0;
  const int order[] = {1, 2, 0};
  for (int i = 0; i < 3; ++i) {
    auto* r = loaded.GetImage(i);
    EXPECT_EQ(r->Position, at);
    EXPECT_EQ(r->InUse, 0);
    at += r->Size;
    TPXBitmap out;
    loaded.CopyToBitmap(r, &out);
    ExpectSamePicture(pictures[static_cast<size_t>(order[i])].get(), &out);
  }
  EXPECT_EQ(loaded.FNextPos, at);
  EXPECT_EQ(loaded.GetImage(2)->NameHash, cache_.GetImage(2)->NameHash);
}

// A stream is taken whole or not at all.
TEST_P(ImageCache, RefusedStreamsLeaveTheCacheAsItWas) {
  auto keep = RandomBitmap(6, 6, px24RGB, false, Kind::Plain, 41);
  TPXVirtualImageList source("ICTEST", GetParam());
  source.AddBitmap(keep.get());
  source.AddBitmap(keep.get());
  TMemoryStream good;
  source.SaveToStream(&good);
  const auto* base = static_cast<const uint8_t*>(good.Memory());
  const std::vector<uint8_t> original(base, base + good.Size());

  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> change;
    bool result;
  };
  auto put32 = [](std::vector<uint8_t>& b, size_t at, int32_t v) { std::memcpy(b.data() + at, &v, 4); };
  const size_t rec0 = 25, rec1 = 25 + 56;
  const Case cases[] = {
      {"no signature", [](auto& b) { b[6] = 'x'; }, false},
      {"signature length", [&](auto& b) { put32(b, 0, 15); }, false},
      {"count 0", [&](auto& b) { put32(b, 21, 0); }, true},
      {"negative count", [&](auto& b) { put32(b, 21, -3); }, true},
      {"count beyond the stream", [&](auto& b) { put32(b, 21, 1000000); }, false},
      {"size disagrees with geometry", [&](auto& b) { put32(b, rec1 + 8, 107); }, false},
      {"width disagrees with size", [&](auto& b) { put32(b, rec0 + 36, 7); }, false},
      {"unknown pixel format", [](auto& b) { b[rec1 + 48] = 11; }, false},
      {"bits disagree with format", [&](auto& b) { put32(b, rec0 + 44, 32); }, false},
      {"alpha flag 2", [](auto& b) { b[rec0 + 32] = 2; }, false},
      {"huge geometry", [&](auto& b) { put32(b, rec0 + 36, 0x7FFFFFFF); put32(b, rec0 + 40, 0x7FFFFFFF); }, false},
      {"data cut short", [](auto& b) { b.resize(b.size() - 1); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TPXVirtualImageList target("ICTEST", GetParam());
    auto mine = RandomBitmap(3, 2, px8g, false, Kind::Plain, 42);
    target.AddBitmap(mine.get());
    auto bytes = original;
    c.change(bytes);
    TMemoryStream ms;
    ms.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    ms.SetPosition(0);
    EXPECT_EQ(target.LoadFromStream(&ms), c.result);
    ASSERT_EQ(target.Count(), 1);
    TPXBitmap out;
    target.CopyToBitmap(target.GetImage(0), &out);
    ExpectSamePicture(mine.get(), &out);
  }
}

// A loader thread takes bitmaps and rows while this thread adds and deletes pictures.
TEST_P(ImageCache, LoaderThreadAndUserThreadShareTheCache) {
  cache_.FViewThreshold = 0;  // the file store hands out views of itself
  auto seedPicture = RandomBitmap(24, 16, px24RGB, true, Kind::Plain, 51);
  for (int i = 0; i < 6; ++i) cache_.AddBitmap(seedPicture.get());
  cache_.SetMaxMapped(2);
  std::atomic<bool> stop{false};
  std::atomic<int64_t> checks{0};
  std::thread loader([&] {
    std::mt19937 rng(5);
    while (!stop.load()) {
      const int32_t n = cache_.Count();
      if (n == 0) continue;
      auto* r = cache_.GetImage(static_cast<int32_t>(rng() % static_cast<uint32_t>(n)));
      if (TPXBitmap* b = cache_.GetBitmap(r)) {
        if (b->Scanline(15)[0] == seedPicture->Scanline(15)[0]) ++checks;
        cache_.ReleaseBitmap(b, (rng() & 3) == 0);
      }
      bool reversed;
      if (auto* rows = static_cast<uint8_t*>(cache_.GetImageRows(r, reversed))) {
        if (reversed || rows[0] == seedPicture->Scanline(15)[0]) ++checks;
        cache_.ReleaseImageMemory(r);
      }
    }
  });
  std::mt19937 rng(6);
  for (int i = 0; i < 3000; ++i) {
    if (cache_.Count() > 1 && (rng() & 1)) cache_.DeleteImage(cache_.GetImage(static_cast<int32_t>(rng() % 2)));
    else cache_.AddBitmap(seedPicture.get());
  }
  stop = true;
  loader.join();
  EXPECT_GT(checks.load(), 0);
  EXPECT_TRUE(cache_.FHandedOut.empty());
}

}  // namespace
