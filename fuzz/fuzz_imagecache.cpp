// Arbitrary bytes as an image cache stream (file or memory store) and as an entry of the container's stream form. The
// cache takes a stream whole or not at all: a refused one leaves its picture as it was, an
// accepted one hands out every picture and writes back to the same bytes. Reading an entry
// raises only the library's exceptions.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/pxxBitmaps.h"
#include "fuzz/FuzzSupport.h"
#include "io/pxxBitmaps_cache.h"
#include "io/pxxBitmaps_multi.h"
#include "platform/rtl/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 2) return 0;
  const uint8_t mode = Data[0];
  const uint8_t* body = Data + 1;
  const auto bodySize = static_cast<int64_t>(Size) - 1;
  TCustomMemoryStream stream(body, bodySize);
  if ((mode & 1) == 0) {
    TPXVirtualImageList cache("FZ", (mode & 2) != 0);  // the file store or the memory store
    auto mine = TPXBitmap::CreateAllocated(3, 2, px8g);
    mine->Fill(77);
    cache.AddBitmap(mine.get());
    const bool ok = cache.LoadFromStream(&stream);
    int32_t streamCount = 0;
    if (bodySize >= 25) std::memcpy(&streamCount, body + 21, 4);
    if (!ok || streamCount <= 0) {
      // Refused, or a count of 0: the old picture is still there.
      Check(cache.Count() == 1, __LINE__);
      TPXBitmap* b = cache.GetBitmap(cache.GetImage(0));
      Check(b && b->GetPixel8(2, 1) == 77, __LINE__);
      cache.ReleaseBitmap(b, false);
      return 0;
    }
    const int64_t end = stream.Position();
    for (int32_t i = 0; i < cache.Count(); ++i) {
      auto* r = cache.GetImage(i);
      TPXBitmap* b = cache.GetBitmap(r);
      // Big pictures may fail to get memory; those that come are whole. Saving one while another
      // hand-out of a neighbour is held writes next to that one's block.
      TPXBitmap* next = i + 1 < cache.Count() ? cache.GetBitmap(cache.GetImage(i + 1)) : nullptr;
      if (b) {
        Check(b->Width() == r->Width && b->Height() == r->Height, __LINE__);
        cache.ReleaseBitmap(b, true);
      }
      if (next) cache.ReleaseBitmap(next, false);
      bool reversed;
      if (cache.GetImageAlphaRows(r, reversed)) cache.ReleaseImageMemory(r);
    }
    TMemoryStream out;
    cache.SaveToStream(&out);
    // The records are rewritten packed and not in use; the block bytes are the same.
    Check(out.Size() == end, __LINE__);
    const int32_t count = cache.Count();
    const int64_t blocks = 25 + int64_t{count} * TPXVirtualImageList::RecordSize;
    Check(std::memcmp(static_cast<const uint8_t*>(out.Memory()) + blocks, body + blocks,
                      static_cast<size_t>(end - blocks)) == 0,
          __LINE__);
    return 0;
  }
  TPXVirtualImageList cache("FZ", false);
  auto pic = TPXBitmap::CreateAllocated(2, 2, px24RGB);
  cache.AddBitmap(pic.get());
  const int32_t version = (mode >> 1) % 11;
  const bool withCacheImage = (mode & 0x80) != 0;
  try {
    auto entry = ReadImageInfo(nullptr, &stream, &cache, &cache, withCacheImage, version);
    Check(entry->Image == nullptr || entry->Image == cache.GetImage(0), __LINE__);
    TMemoryStream out;
    WriteImageInfo(entry.get(), &out, withCacheImage, &cache, &cache);
    out.SetPosition(0);
    auto again = ReadImageInfo(nullptr, &out, &cache, &cache, withCacheImage, PXImageInfoVersion);
    Check(again->FileName == entry->FileName && again->TopText == entry->TopText, __LINE__);
  } catch (const Exception&) {
  }
  return 0;
}
