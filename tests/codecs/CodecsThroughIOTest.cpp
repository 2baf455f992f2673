// PNG and JPEG end to end through the I/O component with the real codecs: loading by extension
// with the retry by content, streams with and without headers, and the JPEG save's resolution
// resource.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pixoranio_registry.h"
#include "io/pxmarkers.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "tests/codecs/JpegTestSupport.h"
#include "tests/common/TestSupport.h"

namespace {

// A bitmap with an I/O component working on it.
struct Loader {
  TPXBitmap Bitmap;
  std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&Bitmap);
};

// Photoshop 3.0 block holding one resolution resource (8BIM 03 ED) of 16 bytes.
std::vector<uint8_t> ResolutionBlock() {
  std::vector<uint8_t> m = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0,
                            '8', 'B', 'I', 'M', 0x03, 0xED, 0, 0, 0, 0, 0, 16};
  m.insert(m.end(), 16, 0xAA);
  return m;
}

}  // namespace

TEST(CodecsThroughIO, PngNamedJpgLoadsOnlyWithTheRetry) {
  TestTempDir dir;
  auto picture = jpegtest::Gradient(9, 5);
  {
    Loader saver;
    saver.Bitmap.Assign(picture.get());
    saver.io->SaveToFile(dir.File("pic.png"), pxftPNG);
    ASSERT_FALSE(saver.io->Aborting());
  }
  // The same bytes under a JPEG name.
  std::filesystem::copy_file(dir.File("pic.png"), dir.File("pic.jpg"));

  Loader noRetry;
  EXPECT_FALSE(noRetry.io->LoadFromFileByExtension(dir.File("pic.jpg"), false));
  EXPECT_TRUE(noRetry.io->Aborting());

  Loader retry;
  ASSERT_TRUE(retry.io->LoadFromFileByExtension(dir.File("pic.jpg"), true));
  EXPECT_FALSE(retry.io->Aborting());
  EXPECT_EQ(retry.io->Params()->FileType, pxftPNG);
  ASSERT_EQ(retry.Bitmap.Width(), 9);
  ASSERT_EQ(retry.Bitmap.Height(), 5);
  for (int32_t y = 0; y < 5; ++y)  // PNG is lossless
    for (int32_t x = 0; x < 9; ++x) {
      const TRGB a = static_cast<TRGB*>(picture->GetScanline(y))[x];
      const TRGB b = static_cast<TRGB*>(retry.Bitmap.GetScanline(y))[x];
      ASSERT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b) << x << "," << y;
    }
}

TEST(CodecsThroughIO, JpegStreamsWithAndWithoutHeaders) {
  auto picture = jpegtest::Gradient(16, 8);
  for (const bool headers : {true, false}) {
    SCOPED_TRACE(headers ? "with JFIF headers" : "plain");
    TMemoryStream s;
    Loader saver;
    saver.io->SetStreamHeaders(headers);
    saver.Bitmap.Assign(picture.get());
    saver.io->SaveToStream(&s, pxftJPEG);
    const int64_t first = s.Size();
    saver.Bitmap.Assign(jpegtest::Gradient(24, 4).get());
    saver.io->SaveToStream(&s, pxftJPEG);
    ASSERT_FALSE(saver.io->Aborting());
    if (headers) {
      EXPECT_EQ(std::string(static_cast<const char*>(s.Memory()), 4), "JFIF");
    }

    s.Seek(0, soBeginning);
    Loader reader;
    reader.io->SetStreamHeaders(headers);
    ASSERT_TRUE(reader.io->LoadFromStream(&s, pxftJPEG));
    EXPECT_EQ(reader.Bitmap.Width(), 16);
    // With headers the position lands exactly on the second picture.
    if (headers) {
      EXPECT_EQ(s.Position(), first);
      ASSERT_TRUE(reader.io->LoadFromStream(&s, pxftJPEG));
      EXPECT_EQ(reader.Bitmap.Width(), 24);
      EXPECT_EQ(reader.Bitmap.Height(), 4);
    }
  }
}

TEST(CodecsThroughIO, JpegSaveWritesTheCurrentDpiIntoTheResolutionResource) {
  Loader saver;
  saver.Bitmap.Assign(jpegtest::Gradient(8, 8).get());
  TIOParams* p = saver.io->Params();
  const std::vector<uint8_t> block = ResolutionBlock();
  p->JPEG_Markers.AddMarker(PX_JPEG_APP13, block.data(), static_cast<int32_t>(block.size()));
  p->IPTC_Info.SetUserChanged(false);  // the block came with the file, as the reader leaves it
  p->SetDpiX(240);
  p->SetDpiY(120);
  TMemoryStream s;
  saver.io->SaveToStream(&s, pxftJPEG);
  ASSERT_FALSE(saver.io->Aborting());

  s.Seek(0, soBeginning);
  Loader reader;
  ASSERT_TRUE(reader.io->LoadFromStream(&s, pxftJPEG));
  const TPXMarkerList& markers = reader.io->Params()->JPEG_Markers;
  const int32_t found = markers.IndexOfType(PX_JPEG_APP13);
  ASSERT_GE(found, 0);
  ASSERT_EQ(markers.GetMarkerLength(found), static_cast<int32_t>(block.size()));
  const uint8_t* d = markers.GetMarkerData(found) + block.size() - 16;
  EXPECT_EQ(std::vector<uint8_t>(d, d + 16), (std::vector<uint8_t>{0, 240, 0, 0, 0, 1, 0, 1, 0, 120, 0, 0, 0, 1, 0, 1}));
  EXPECT_EQ(reader.io->Params()->DpiX, 240);
}
