// Saves through the I/O component on a worker thread: the JPEG writer flattens the alpha of a
// copy, the PNG writer takes it as a mask, and the caller's picture is never touched.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "tests/common/TestSupport.h"

namespace {

// Black on the left half, transparent there; opaque grey on the right.
std::unique_ptr<TPXBitmap> HalfTransparent() {
  auto b = TPXBitmap::CreateAllocated(32, 16, px24RGB);
  TPXBitmap* a = b->GetAlphaChannel();
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 32; ++x) {
      b->SetPixel24(x, y, x < 16 ? TRGB{0, 0, 0} : TRGB{100, 100, 100});
      a->SetPixel8(x, y, x < 16 ? 0 : 255);
    }
  a->FFull = 0;
  return b;
}

std::vector<uint8_t> Rows(TPXBitmap* b) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < b->Height(); ++y) {
    const uint8_t* row = b->Scanline(y);
    out.insert(out.end(), row, row + b->RowLen());
  }
  return out;
}

}  // namespace

TEST(CodecsDoneMeans, WorkerSavesLeaveTheCallersPictureAlone) {
  TestTempDir dir;
  for (const TPXFileType type : {pxftJPEG, pxftPNG}) {
    SCOPED_TRACE(type == pxftJPEG ? "JPEG" : "PNG");
    auto picture = HalfTransparent();
    const std::vector<uint8_t> pixels = Rows(picture.get()), alpha = Rows(picture->PeekAlphaChannel());
    const std::string name = dir.File(type == pxftJPEG ? "a.jpg" : "a.png");
    {
      auto io = TPixoranIO::CreateForBitmap(picture.get());
      io->AsyncMode = true;
      int finished = 0;
      io->SetOnFinishWork([&](TObject*) { ++finished; });
      io->SaveToFile(name, type);
      io->WaitThreads(false);
      EXPECT_FALSE(io->Aborting());
      EXPECT_EQ(finished, 1);
    }
    EXPECT_EQ(picture->PixelFormat(), px24RGB);
    EXPECT_EQ(Rows(picture.get()), pixels);
    ASSERT_TRUE(picture->HasAlphaChannel());
    EXPECT_EQ(Rows(picture->PeekAlphaChannel()), alpha);

    TPXBitmap back;
    auto reader = TPixoranIO::CreateForBitmap(&back);
    ASSERT_TRUE(reader->LoadFromFile(name, type));
    ASSERT_EQ(back.Width(), 32);
    if (type == pxftJPEG) {
      // Flattened onto white in the file.
      EXPECT_FALSE(back.HasAlphaChannel());
      EXPECT_GT(back.GetPixelRGB(4, 8).r, 245);
      EXPECT_NEAR(back.GetPixelRGB(28, 8).g, 100, 6);
    } else {
      ASSERT_TRUE(back.HasAlphaChannel());
      EXPECT_EQ(back.GetAlpha(4, 8), 0);
      EXPECT_EQ(back.GetAlpha(28, 8), 255);
      EXPECT_EQ(back.GetPixelRGB(28, 8).g, 100);
    }
  }
}
