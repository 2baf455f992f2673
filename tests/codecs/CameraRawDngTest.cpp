// Camera raw files through the automatic engine (the imaging component's raw provider) on a
// DNG built here: the picture against LibRaw's dcraw_emu and dcraw, the native 16-bit form, the
// embedded thumbnail, the refusal of a small preview for the frame, and loading by extension
// through the I/O component.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/pxraw.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pxxBitmaps_params.h"
#include "tests/codecs/DngBuilder.h"
#include "tests/codecs/SmallCodecTestSupport.h"

using namespace smallcodec;

namespace {

constexpr uint32_t kW = 320, kH = 240;

std::string ThumbJpeg() {
  TPXBitmap b;
  b.AllocateFilled(160, 120, 0x00C08040, 255);
  auto io = TPixoranIO::CreateForBitmap(&b);
  TMemoryStream s;
  io->SaveToStreamJpeg(&s);
  return BytesOf(s);
}

const std::string& TheDng() {
  static const std::string dng = dngtest::BuildDng(
      kW, kH,
      [](uint32_t x, uint32_t y) {
        // Soft gradients per channel, so demosaicing has something to do.
        const uint32_t c = (y & 1) + (x & 1);
        return uint16_t(3000 + x * 90 + y * 60 + c * 4000 + ((x * 7 + y * 13) % 17) * 50);
      },
      ThumbJpeg(), 160, 120);
  return dng;
}

struct TRead {
  TPXBitmap Bitmap;
  TIOParams Params;
  bool Aborted = false;
};

std::unique_ptr<TRead> Decode(const std::function<void(TIOParams&)>& Setup = {}) {
  auto r = std::make_unique<TRead>();
  if (Setup) Setup(r->Params);
  auto s = StreamOf(TheDng());
  Progressed run;
  DecodeCameraRawStream(s.get(), &r->Bitmap, &r->Params, false, run.Progress);
  r->Aborted = run.Aborted;
  return r;
}

// The samples of a binary 8-bit PPM as R, G, B.
std::vector<int> PpmRgb(const std::string& Data, int& W, int& H) {
  std::istringstream in(Data);
  std::string magic;
  int maxval = 0;
  in >> magic >> W >> H >> maxval;
  in.get();
  std::vector<int> out;
  for (int64_t i = 0; i < int64_t(W) * H * 3; ++i) out.push_back(in.get());
  return out;
}

TEST(CameraRawDng, AutomaticEngineEqualsLibRawAndNearDcraw) {
  ASSERT_EQ(GlobalSettingsInstance()->GetCameraRawEngine(), 2);
  auto r = Decode();
  ASSERT_FALSE(r->Aborted);
  ASSERT_EQ(r->Bitmap.PixelFormat(), px24RGB);
  ASSERT_EQ(r->Bitmap.Width(), int32_t(kW));
  ASSERT_EQ(r->Bitmap.Height(), int32_t(kH));
  const std::vector<int> ours = RgbOf(&r->Bitmap);

  TestTempDir dir;
  const std::string file = dir.File("synthetic.dng");
  WriteFile(file, TheDng());
  ASSERT_EQ(RunTool({"dcraw_emu", file}, "/dev/null"), 0);
  int w = 0, h = 0;
  EXPECT_EQ(PpmRgb(ReadFile(file + ".ppm"), w, h), ours);  // LibRaw with its defaults
  EXPECT_EQ(w, int(kW));
  ASSERT_EQ(RunTool({"dcraw", "-c", file}, dir.File("dcraw.ppm")), 0);
  const std::vector<int> dcraw = PpmRgb(ReadFile(dir.File("dcraw.ppm")), w, h);
  ASSERT_EQ(dcraw.size(), ours.size());
  double sum = 0;
  for (size_t i = 0; i < ours.size(); ++i) sum += std::abs(ours[i] - dcraw[i]);
  EXPECT_LE(sum / double(ours.size()), 2.0);
}

TEST(CameraRawDng, NativeFormThumbnailAndPreview) {
  {
    auto r = Decode([](TIOParams& p) { p.NativePixelFormat = true; });
    EXPECT_FALSE(r->Aborted);
    EXPECT_EQ(r->Bitmap.PixelFormat(), pxRGB48);
    EXPECT_EQ(r->Bitmap.Width(), int32_t(kW));
  }
  {
    auto r = Decode([](TIOParams& p) { p.GetThumbnail = true; });
    EXPECT_FALSE(r->Aborted);
    EXPECT_EQ(r->Bitmap.Width(), 160);
    EXPECT_EQ(r->Bitmap.Height(), 120);
  }
  {
    // The embedded preview is smaller than 800 x 800: the frame is decoded instead.
    auto r = Decode([](TIOParams& p) { p.RAW_UseEmbeddedPreview = true; });
    EXPECT_FALSE(r->Aborted);
    EXPECT_EQ(r->Bitmap.Width(), int32_t(kW));
    EXPECT_EQ(r->Bitmap.Height(), int32_t(kH));
  }
}

TEST(CameraRawDng, LoadsByExtensionThroughTheIOComponent) {
  TestTempDir dir;
  const std::string file = dir.File("shot.dng");
  WriteFile(file, TheDng());
  TPXBitmap b;
  auto io = TPixoranIO::CreateForBitmap(&b);
  EXPECT_TRUE(io->LoadFromFileByExtension(file, false));
  EXPECT_EQ(io->Params()->FileType, pxftRAW);
  EXPECT_EQ(b.Width(), int32_t(kW));
}

}  // namespace
