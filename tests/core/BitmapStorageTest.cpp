// Storage of TPXBitmap: the storage decision, one block, segments, the temporary file, platform
// bitmaps, row addressing, resizing and handing storage over; the file buffer underneath.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "tests/common/TestSupport.h"

namespace {

// Each test starts from fresh settings with temporary files in a private folder.
class BitmapStorage : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeGlobalSettings();
    GlobalSettingsInstance()->FTempDirectory = tmp_.Path();
  }
  void TearDown() override {
    SetMaxSingleBlockSize(0);
    FreeGlobalSettings();
  }
  bool Exists(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0;
  }
  TestTempDir tmp_;
};

// Whether name is prefix, 8 upper-case hexadecimal digits, then suffix.
bool IsTempName(const std::string& name, const std::string& prefix, const std::string& suffix) {
  if (name.size() != prefix.size() + 8 + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(prefix.size() + 8, suffix.size(), suffix) != 0)
    return false;
  for (size_t i = prefix.size(); i < prefix.size() + 8; ++i)
    if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'A' && name[i] <= 'F'))) return false;
  return true;
}

// Fills every row with bytes derived from its row number.
void Pattern(TPXBitmap& b) {
  for (int32_t y = 0; y < b.GetHeight(); ++y)
    std::memset(b.GetScanline(y), static_cast<int>(y * 7 + 1) & 0xFF, static_cast<size_t>(b.GetRowLen()));
}

bool HasPattern(TPXBitmap& b, int32_t rows, int64_t bytes) {
  for (int32_t y = 0; y < rows; ++y) {
    const auto* r = static_cast<const uint8_t*>(b.GetScanline(y));
    for (int64_t i = 0; i < bytes; ++i)
      if (r[i] != ((y * 7 + 1) & 0xFF)) return false;
  }
  return true;
}

TEST_F(BitmapStorage, AllocateRejectsEmptySizesQuietly) {
  TPXBitmap b;
  bool ok = true;
  EXPECT_NO_THROW(ok = b.Allocate(0, 10, px24RGB));
  EXPECT_FALSE(ok);
  EXPECT_EQ(b.GetWidth(), 0);
  EXPECT_EQ(b.GetHeight(), 0);
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_FALSE(b.Allocate(10, 10, pxNoFormat));
}

TEST_F(BitmapStorage, MemoryLimitSendsPixelsToANamedTemporaryFile) {
  GlobalSettingsInstance()->FBitmapMemoryLimit = 1000;
  std::string name;
  {
    TPXBitmap b;
    ASSERT_TRUE(b.Allocate(100, 100, px24RGB));
    EXPECT_EQ(b.Location(), pxFile);
    name = b.FFileBuffer->FileName;
    EXPECT_TRUE(IsTempName(name, tmp_.Path() + "IMG-", ".tmp")) << name;
    struct stat st {};
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 300 * 100);
    b.FreeStorage(true);
    EXPECT_FALSE(Exists(name));
    ASSERT_TRUE(b.Allocate(100, 100, px24RGB));
    name = b.FFileBuffer->FileName;
    EXPECT_TRUE(Exists(name));
  }
  EXPECT_FALSE(Exists(name));  // gone with the bitmap

  // The default limit keeps such a picture in memory.
  FreeGlobalSettings();
  TPXBitmap m;
  ASSERT_TRUE(m.Allocate(100, 100, px24RGB));
  EXPECT_EQ(m.Location(), pxMemory);
}

TEST_F(BitmapStorage, LimitZeroMakesEveryBitmapFileBacked) {
  GlobalSettingsInstance()->FBitmapMemoryLimit = 0;
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(1, 1, px8g));
  EXPECT_EQ(b.Location(), pxFile);
}

TEST_F(BitmapStorage, MemoryLimitRule) {
  EXPECT_EQ(BitmapMemoryLimitFor(-1, 0), 33554432);
  EXPECT_EQ(BitmapMemoryLimitFor(-1, 11000), 10000);
  EXPECT_EQ(BitmapMemoryLimitFor(-5, 1000), 909);
  EXPECT_EQ(BitmapMemoryLimitFor(0, 1 << 30), 0);
  EXPECT_EQ(BitmapMemoryLimitFor(500, 0), 500);
}

TEST_F(BitmapStorage, OneBlockIsAlignedAndBottomUp) {
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(7, 5, px24RGB));
  ASSERT_EQ(b.Location(), pxMemory);
  EXPECT_EQ(b.GetRowLen(), 24);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b.FMemoryRows) % 64, 0u);
  EXPECT_EQ(b.GetScanline(0), b.FMemoryRows + 4 * 24);
  EXPECT_EQ(b.GetScanline(4), b.FMemoryRows);
  EXPECT_EQ(b.GetPixelBuffer(), b.FMemoryRows);
  EXPECT_EQ(b.GetPixelAddress(2, 3, 1), b.Scanline(2) + 9);
  void* last = b.GetScanline(4);
  b.FRowOrderReversed = 1;
  EXPECT_EQ(b.GetScanline(0), last);
}

TEST_F(BitmapStorage, SegmentsAreTopDownFromSegmentZero) {
  SetMaxSingleBlockSize(1000);  // no single block for the picture below
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(100, 100, px24RGB));
  ASSERT_EQ(b.Location(), pxMemory);
  ASSERT_EQ(b.FSegmentCount, 4);
  EXPECT_EQ(b.FRowsPerSegment, 25);
  EXPECT_EQ(b.GetScanline(0), b.FSegments[0].get());
  EXPECT_EQ(b.GetScanline(1), b.FSegments[0].get() + 300);
  EXPECT_EQ(b.GetScanline(25), b.FSegments[1].get());
  Pattern(b);
  EXPECT_TRUE(HasPattern(b, 100, 300));
}

TEST_F(BitmapStorage, NoStorageAtAllFallsBackToTheFile) {
  SetMaxSingleBlockSize(1000);
  GlobalSettingsInstance()->FSegmentedMemory = 0;
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(100, 100, px24RGB));
  EXPECT_EQ(b.Location(), pxFile);
  GlobalSettingsInstance()->FFileFallback = 0;
  TPXBitmap c;
  EXPECT_FALSE(c.Allocate(100, 100, px24RGB));
  EXPECT_EQ(c.GetWidth(), 0);
}

TEST_F(BitmapStorage, FileRowsStayValidTogetherAndReachTheFile) {
  GlobalSettingsInstance()->FBitmapMemoryLimit = 0;
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(10, 6, px8g));
  ASSERT_EQ(b.Location(), pxFile);
  const int64_t len = b.GetRowLen();
  std::vector<uint8_t*> rows;
  for (int32_t y = 0; y < 6; ++y) rows.push_back(static_cast<uint8_t*>(b.AcquireScanline(y)));
  for (int32_t y = 0; y < 6; ++y) std::memset(rows[y], 0x10 + y, static_cast<size_t>(len));
  for (int32_t y = 0; y < 6; ++y) b.ReleaseScanline(y);
  for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(b.GetScanline(y), rows[y]);  // rows are top-down
  std::ifstream in(b.FFileBuffer->FileName, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(static_cast<int64_t>(bytes.size()), len * 6);
  for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(bytes[static_cast<size_t>(y * len)], 0x10 + y);
}

TEST_F(BitmapStorage, PlatformBitmapStorage) {
  TPXBitmap b;
  b.FLocation = pxTBitmap;
  bool ok = true;
  EXPECT_NO_THROW(ok = b.Allocate(4, 3, pxCMYK));
  EXPECT_FALSE(ok);
  EXPECT_EQ(b.GetWidth(), 0);

  ASSERT_TRUE(b.Allocate(5, 3, px16g));
  EXPECT_EQ(b.Location(), pxTBitmap);
  EXPECT_EQ(b.GetPixelFormat(), px8g);
  EXPECT_EQ(b.GetRowLen(), 8);
  ASSERT_NE(b.FVclBitmap, nullptr);
  EXPECT_EQ(b.FVclBitmap->PixelFormat(), pf8bit);
  EXPECT_TRUE(IsGrayPalette(b.FVclBitmap));
  EXPECT_EQ(b.GetScanline(2), b.FVclBitmap->ScanLine(2));
  EXPECT_EQ(b.GetPixelBuffer(), b.FVclBitmap->ScanLine(2));  // the platform keeps rows bottom-up
}

TEST_F(BitmapStorage, UnchangedAllocateKeepsEverythingUnlessForced) {
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(8, 8, px24RGB));
  b.GetAlphaChannel();
  int changes = 0;
  b.SetOnChange([&](TObject*) { ++changes; });
  EXPECT_TRUE(b.Allocate(8, 8, px24RGB));
  EXPECT_TRUE(b.HasAlphaChannel());
  EXPECT_EQ(changes, 1);  // the change event fires either way
  b.FForceReallocate = 1;
  EXPECT_TRUE(b.Allocate(8, 8, px24RGB));
  EXPECT_FALSE(b.HasAlphaChannel());
}

TEST_F(BitmapStorage, ResizingKeepsSharedRowsPaletteAndAlpha) {
  for (int64_t limit : {int64_t{-1}, int64_t{0}}) {
    GlobalSettingsInstance()->FBitmapMemoryLimit = limit;
    TPXBitmap b;
    ASSERT_TRUE(b.Allocate(6, 4, px8p));
    Pattern(b);
    b.FPalette[3] = TRGB{1, 2, 3};
    b.FPaletteUsed = 17;
    b.GetAlphaChannel();
    b.SetWidth(3);
    b.SetHeight(7);
    EXPECT_EQ(b.GetWidth(), 3);
    EXPECT_EQ(b.GetHeight(), 7);
    EXPECT_TRUE(HasPattern(b, 4, 3));
    EXPECT_EQ(b.FPalette[3], (TRGB{1, 2, 3}));
    EXPECT_EQ(b.FPaletteUsed, 17);
    ASSERT_TRUE(b.HasAlphaChannel());
    EXPECT_EQ(b.PeekAlphaChannel()->GetWidth(), 3);
    EXPECT_EQ(b.PeekAlphaChannel()->GetHeight(), 7);
    b.FreeImage();
    EXPECT_TRUE(b.IsEmpty());
  }
}

TEST_F(BitmapStorage, RowAlignmentChangeKeepsPixels) {
  TPXBitmap b;
  b.FLocation = pxMemory;
  ASSERT_TRUE(b.Allocate(5, 3, px24RGB));
  Pattern(b);
  b.SetRowAlignment(8);
  EXPECT_EQ(b.GetRowLen(), 15);
  EXPECT_TRUE(HasPattern(b, 3, 15));
}

TEST_F(BitmapStorage, MoveStorageHandsEverythingOver) {
  TPXBitmap a, b;
  ASSERT_TRUE(a.Allocate(4, 4, px8g));
  Pattern(a);
  a.GetAlphaChannel();
  a.MoveStorageTo(&b);
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_EQ(a.GetPixelFormat(), pxNoFormat);
  EXPECT_FALSE(a.HasAlphaChannel());
  EXPECT_EQ(b.GetWidth(), 4);
  EXPECT_TRUE(b.HasAlphaChannel());
  EXPECT_TRUE(HasPattern(b, 4, 4));
}

TEST_F(BitmapStorage, AttachedMemoryIsUsedNotOwned) {
  std::vector<uint8_t> block(3 * 8, 0);
  {
    TPXBitmap b;
    b.AttachMemory(block.data(), 5, 3, px8g, true, false);
    EXPECT_EQ(b.GetRowLen(), 8);
    EXPECT_EQ(b.GetScanline(0), block.data() + 16);  // bottom-up as one-block storage
    static_cast<uint8_t*>(b.GetScanline(0))[0] = 42;
  }
  EXPECT_EQ(block[16], 42);
}

TEST_F(BitmapStorage, VirtualRowsComeFromTheCallback) {
  TPXBitmap b;
  b.SetOnVirtualPixel([](TObject*, int32_t X, int32_t Y, void* Pixel) {
    *static_cast<uint8_t*>(Pixel) = static_cast<uint8_t>(X + 10 * Y);
  });
  ASSERT_TRUE(b.Allocate(4, 3, px8g));
  EXPECT_TRUE(b.IsVirtual());
  const auto* row = static_cast<const uint8_t*>(b.GetScanline(2));
  EXPECT_EQ(row[0], 20);
  EXPECT_EQ(row[3], 23);
}

// ---------------------------------------------------------------------------------------------
// Temporary files and the file buffer

TEST_F(BitmapStorage, TemporaryFileNames) {
  GlobalSettingsInstance()->FTempDirectory.clear();
  const std::string tmp = GetTempDir();
  EXPECT_TRUE(IsTempName(MakeTempFileName("", "", ""), tmp + "~pxtemp-", ".tmp"));
  // A folder without a trailing delimiter is joined with one.
  EXPECT_TRUE(IsTempName(MakeTempFileName("P", tmp_.Path().substr(0, tmp_.Path().size() - 1), ".x"),
                         tmp_.Path() + "P-", ".x"));
}

TEST_F(BitmapStorage, TemporaryFileStreamIsExclusive) {
  const std::string bad = "/nonexistent-folder-px/x.tmp";
  EXPECT_EQ(MessageOf<EInOutError>([&] { TPXTemporaryFileStream s(bad); }), "Unable to create " + bad);
  const std::string name = tmp_.File("taken.tmp");
  std::ofstream(name) << "x";
  EXPECT_THROW(TPXTemporaryFileStream s(name), EInOutError);
  // A link planted under the name is not followed.
  const std::string target = tmp_.File("target"), link = tmp_.File("link.tmp");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  EXPECT_THROW(TPXTemporaryFileStream s(link), EInOutError);
  EXPECT_FALSE(Exists(target));
}

TEST_F(BitmapStorage, AllocBlockZeroFillsFromOneMegabyte) {
  for (int64_t size : {int64_t{1048576}, int64_t{3000000}}) {
    void* p = AllocBlock(false, size);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
    const auto* b = static_cast<const uint8_t*>(p);
    bool zero = true;
    for (int64_t i = 0; i < size; ++i) zero = zero && b[i] == 0;
    EXPECT_TRUE(zero);
    FreeBlock(p);
    EXPECT_EQ(p, nullptr);
  }
  void* small = AllocBlock(true, 100);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(static_cast<uint8_t*>(small)[99], 0);
  FreeBlock(small);
  EXPECT_EQ(AllocBlock(false, -1), nullptr);
}

TEST_F(BitmapStorage, FileBufferRegionsFollowTheirAccessFlags) {
  TPXFileBuffer fb;
  ASSERT_TRUE(fb.Allocate("T", true, 100));
  const std::string name = fb.FileName;
  uint8_t data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  fb.Write(data, 20, 10);
  auto* readOnly = static_cast<uint8_t*>(fb.Map(1, 20, 10));
  ASSERT_NE(readOnly, nullptr);
  EXPECT_EQ(readOnly[9], 10);
  readOnly[0] = 99;
  fb.Release(readOnly);  // not written back
  auto* both = static_cast<uint8_t*>(fb.Map(3, 20, 10));
  EXPECT_EQ(both[0], 1);
  both[1] = 77;
  fb.Release(both);
  EXPECT_EQ(fb.Data()[21], 77);
  EXPECT_NO_THROW(fb.Release(nullptr));
  EXPECT_THROW(fb.Release(data), EListError);

  TMemoryStream out;
  fb.CopyToStream(&out, 20, 3);
  ASSERT_EQ(out.Size(), 3);
  EXPECT_EQ(static_cast<const uint8_t*>(out.Memory())[1], 77);

  // Allocating again drops the old file.
  ASSERT_TRUE(fb.Allocate("T", true, 10));
  EXPECT_FALSE(Exists(name));
  fb.Deallocate();
  EXPECT_FALSE(fb.IsAllocated());
}

}  // namespace
