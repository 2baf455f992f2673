#include <gtest/gtest.h>

#include <string>

#include "io/pxmakernote.h"
#include "platform/rtl/Classes.h"

namespace {

std::string BE16(uint16_t v) { return std::string{char(v >> 8), char(v)}; }
std::string BE32(uint32_t v) { return BE16(uint16_t(v >> 16)) + BE16(uint16_t(v)); }
std::string LE16(uint16_t v) { return std::string{char(v), char(v >> 8)}; }
std::string LE32(uint32_t v) { return LE16(uint16_t(v)) + LE16(uint16_t(v >> 16)); }

bool Parse(TPXTagsHandler& H, const std::string& Block, bool ClearOnFailure = true, int64_t Pad = 0) {
  TMemoryStream s;
  const std::string pad(size_t(Pad), 'p');
  s.WriteBuffer(pad.data(), Pad);
  s.WriteBuffer(Block.data(), int64_t(Block.size()));
  s.Seek(Pad, soBeginning);
  return H.ReadMakerNote(&s, int64_t(Block.size()), true, 0, ClearOnFailure);
}

// A big-endian maker note with an embedded TIFF header: a SHORT 7 and the text "hello".
std::string NikonNote() {
  std::string b("Nikon\0\x02\x11\0\0", 10);
  b += std::string("MM\0\x2A", 4) + BE32(8);
  b += BE16(2);
  b += BE16(1) + BE16(3) + BE32(1) + BE16(7) + BE16(0);
  b += BE16(2) + BE16(2) + BE32(6) + BE32(8 + 2 + 24 + 4);  // offset from the embedded header
  b += BE32(0);
  b += std::string("hello\0", 6);
  return b;
}

}  // namespace

TEST(MakerNote, NikonParsesBigEndianAndWritesBackItsPrelude) {
  TPXTagsHandler h;
  ASSERT_TRUE(Parse(h, NikonNote()));
  EXPECT_FALSE(h.LittleEndian);
  const TPXTIFFIFDReader& r = *h.Reader();
  EXPECT_EQ(r.ReadInteger(1, -1), 7);
  EXPECT_EQ(r.ReadString(2, true), "hello");
  // A copy carries a loaded reader; clearing empties it and returns it to little-endian.
  TPXTagsHandler copy;
  copy.Assign(&h);
  EXPECT_EQ(copy.Reader()->ReadString(2, true), "hello");
  copy.Clear();
  EXPECT_EQ(copy.Reader()->FindTag(2), -1);
  EXPECT_TRUE(copy.Reader()->LittleEndian);
  TMemoryStream out;
  out.WriteBuffer("xyz", 3);  // the note lands at another place
  const int64_t n = h.WriteMakerNote(&out, 0);
  ASSERT_GT(n, 0);
  const std::string written(static_cast<const char*>(out.Memory()) + 3, size_t(n));
  EXPECT_EQ(written.substr(0, 18), NikonNote().substr(0, 18));
  TPXTagsHandler again;
  ASSERT_TRUE(Parse(again, written));
  const TPXTIFFIFDReader& r2 = *again.Reader();
  EXPECT_EQ(r2.ReadInteger(1, -1), 7);
  EXPECT_EQ(r2.ReadString(2, true), "hello");
}

TEST(MakerNote, LayoutsAndRefusals) {
  // FUJIFILM: the count lies at the offset given after the header.
  {
    std::string b = std::string("FUJIFILM") + LE32(12) + LE16(1) + LE16(5) + LE16(4) + LE32(1) + LE32(99) + LE32(0);
    TPXTagsHandler h;
    ASSERT_TRUE(Parse(h, b));
    EXPECT_EQ(h.Reader()->ReadInteger(5, -1), 99);
  }
  // The default layout, offsets from the enclosing structure; one entry's data past the block.
  {
    std::string b = LE16(2) + LE16(1) + LE16(2) + LE32(5) + LE32(100 + 2 + 24 + 4) + LE16(2) + LE16(2) + LE32(50) +
                    LE32(100 + 2) + LE32(0) + std::string("abcd\0", 5);
    TPXTagsHandler h;
    TMemoryStream s;
    s.WriteBuffer(std::string(100, 'p').data(), 100);
    s.WriteBuffer(b.data(), int64_t(b.size()));
    s.Seek(100, soBeginning);
    ASSERT_TRUE(h.ReadMakerNote(&s, int64_t(b.size()), true, 0, true));
    const TPXTIFFIFDReader& r = *h.Reader();
    EXPECT_EQ(r.ReadString(1, true), "abcd");
    EXPECT_EQ(r.GetTagCount(r.FindTag(2)), 0u);
    EXPECT_EQ(r.GetTagType(r.FindTag(2)), 2);
  }
  // 300 entries, or a count whose entries pass the end, are not parsed.
  for (const uint16_t count : {300, 3}) {
    const std::string b = LE16(count) + std::string(24, '\0');
    TPXTagsHandler kept, cleared;
    EXPECT_FALSE(Parse(kept, b, false));
    EXPECT_EQ(kept.RawLength(), int32_t(b.size()));
    EXPECT_FALSE(Parse(cleared, b, true));
    EXPECT_TRUE(cleared.IsEmpty());
  }
  // A note that would be 65001 bytes or more is not written.
  {
    const std::string b = LE16(1) + LE16(7) + LE16(7) + LE32(65000) + LE32(2 + 12 + 4) + LE32(0) + std::string(65000, 'z');
    TPXTagsHandler h;
    ASSERT_TRUE(Parse(h, b));
    TMemoryStream out;
    EXPECT_EQ(h.WriteMakerNote(&out, 0), 0);
    EXPECT_EQ(out.Size(), 0);
  }
}

TEST(MakerNote, RelocatorMovesOnlyPlaceDependentOffsets) {
  const std::string plain = LE16(1) + LE16(2) + LE16(2) + LE32(6) + LE32(18) + LE32(0) + std::string("hello\0", 6);
  for (const bool nikon : {false, true}) {
    TMemoryStream s;
    const std::string b = nikon ? NikonNote() : plain;
    s.WriteBuffer(b.data(), int64_t(b.size()));
    TPXTagsHandlerRelocator(&s, true, 1000, 0, int64_t(b.size())).Relocate();
    const std::string after(static_cast<const char*>(s.Memory()), size_t(s.Size()));
    if (nikon) {
      EXPECT_EQ(after, b);
    } else {
      EXPECT_EQ(after.substr(10, 4), LE32(1018));
    }
  }
}
