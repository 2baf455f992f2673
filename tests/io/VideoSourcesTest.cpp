// The I/O component's video and acquisition sources. The videos are made here by the ffmpeg tool
// from a table of flat colours (12 frames of 64 x 48 at 25 per second): a lossless AVI, an
// MPEG-2 .mpg and a .wmv; the table is the oracle of every frame read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pixoranio_registry.h"
#include "io/pixoranio_support.h"
#include "io/pxxBitmaps_params.h"
#include "mview/pxds.h"
#include "mview/pxwia.h"
#include "platform/video/VideoFile.h"
#include "tests/common/TestSupport.h"
#include "tests/common/TestVideos.h"
#include "tests/io/FakeIOView.h"

namespace {

constexpr int kW = 64, kH = 48, kFrames = kVideoFrames;

class VideoSources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TestTempDir();
    const std::string raw = FlatColourFrames(kW, kH);
    made_ = MakeVideo(raw, kW, kH, {"-c:v", "ffv1"}, File("a.avi")) &&
            MakeVideo(raw, kW, kH, {"-c:v", "mpeg2video", "-q:v", "2", "-bf", "2"}, File("a.mpg")) &&
            MakeVideo(raw, kW, kH, {"-c:v", "wmv2", "-q:v", "2"}, File("a.wmv")) &&
            MakeVideo(std::string(16400 * 2 * 3, '\x40'), 16400, 2, {"-c:v", "rawvideo"}, File("wide.avi"));
    // An AVI cut after its header, a text file named as videos.
    std::ifstream in(File("a.avi"), std::ios::binary);
    std::string avi((std::istreambuf_iterator<char>(in)), {});
    const size_t movi = avi.find("movi");
    std::ofstream(File("cut.avi"), std::ios::binary) << avi.substr(0, movi == std::string::npos ? 200 : movi);
    std::ofstream(File("text.avi")) << "just some text, no video\n";
    std::ofstream(File("text.mpg")) << "just some text, no video\n";
    // Containers that would open other files: a playlist and a concatenation list naming the AVI.
    std::ofstream(File("list.mpg")) << "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" << File("a.avi")
                                    << "\n#EXT-X-ENDLIST\n";
    std::ofstream(File("concat.wmv")) << "ffconcat version 1.0\nfile '" << File("a.avi") << "'\n";
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(made_) << "the ffmpeg tool could not make the videos";
    io_->SetOnFinishWork(TNotifyEvent(this, &VideoSources::Finished));
  }
  static std::string File(const char* Name) { return dir_->File(Name); }
  void Finished(TObject*) { ++finished_; }

  // The mean absolute difference of the picture from frame k's colour (the bitmap holds BGR).
  double Difference(TPXBitmap* B, int k) {
    return DifferenceFromColour(B->Width(), B->Height(), [B](int y) { return B->Scanline(y); }, k);
  }

  static TestTempDir* dir_;
  static bool made_;
  std::unique_ptr<TPixoranIO> io_ = std::make_unique<TPixoranIO>(nullptr);
  TPXBitmap* Bitmap() { return io_->WorkingBitmap(); }
  int finished_ = 0;
  bool handled_ = false;
};

TestTempDir* VideoSources::dir_ = nullptr;
bool VideoSources::made_ = false;

TEST_F(VideoSources, AviFramesAreExact) {
  EXPECT_EQ(io_->OpenAVIFile(File("a.avi")), kFrames);
  EXPECT_FALSE(io_->Aborting());
  EXPECT_TRUE(AviLibraryStarted());
  TIOParams* p = io_->Params();
  for (int v : {p->ImageCount, p->TIFF_ImageCount, p->GIF_ImageCount, p->AVI_FrameCount, p->Media_FrameCount})
    EXPECT_EQ(v, kFrames);
  EXPECT_DOUBLE_EQ(p->AVI_FrameDelay, 40.0);
  // Backwards, forwards by one and by jumps, repeated (kFrames is 12); the last into file-backed
  // pixel storage.
  const int order[] = {11, 10, 9, 5, 1, 2, 7, 8, 3, 11, 11, 4, 6, 0};
  for (int k : order) {
    if (&k == &order[std::size(order) - 1]) Bitmap()->SetLocation(pxFile);
    finished_ = 0;
    ASSERT_TRUE(io_->LoadFromAVI(k)) << k;
    EXPECT_EQ(finished_, 1);
    ASSERT_EQ(Bitmap()->PixelFormat(), px24RGB);
    ASSERT_EQ(Bitmap()->Width(), kW);
    ASSERT_EQ(Bitmap()->Height(), kH);
    EXPECT_EQ(Difference(Bitmap(), k), 0.0) << k;
  }
  EXPECT_EQ(p->BitsPerSample, 8);
  EXPECT_EQ(p->SamplesPerPixel, 3);
  EXPECT_EQ(p->DpiX, GlobalSettingsInstance()->FDefaultDPIX);
  EXPECT_EQ(p->Width, kW);
  EXPECT_EQ(p->OriginalHeight, kH);
  // Outside the frames: False, one OnFinishWork, the picture as it was.
  for (int k : {kFrames, -1}) {
    finished_ = 0;
    EXPECT_FALSE(io_->LoadFromAVI(k)) << k;
    EXPECT_EQ(finished_, 1);
    EXPECT_TRUE(io_->Aborting());
    EXPECT_EQ(Difference(Bitmap(), 0), 0.0);
  }
  io_->CloseAVIFile();
  finished_ = 0;
  EXPECT_FALSE(io_->LoadFromAVI(0));
  EXPECT_EQ(finished_, 1);
}

TEST_F(VideoSources, LoadByExtensionReadsTheIndexedFrame) {
  const struct {
    const char* name;
    TPXFileType type;
    double tolerance;
  } rows[] = {{"a.avi", pxftAVI, 0}, {"a.mpg", pxftMPEG, 3}, {"a.wmv", pxftWMV, 3}};
  for (const auto& r : rows) {
    for (int k : {5, 0, kFrames - 1}) {
      io_->Params()->SetImageIndex(k);
      finished_ = 0;
      ASSERT_TRUE(io_->LoadFromFileByExtension(File(r.name), false)) << r.name << " " << k;
      EXPECT_EQ(finished_, 1) << r.name;
      EXPECT_EQ(io_->Params()->FileName, File(r.name));
      EXPECT_EQ(io_->Params()->FileType, r.type);
      EXPECT_LE(Difference(Bitmap(), k), r.tolerance) << r.name << " frame " << k;
    }
    EXPECT_FALSE(io_->IsMediaFileOpen());
    EXPECT_EQ(GetImageCountOfFile(File(r.name)), kFrames) << r.name;
  }
}

TEST_F(VideoSources, MediaFileCountsByFrameTimeWhereTheContainerCountsNoFrames) {
  EXPECT_EQ(io_->OpenMediaFile(File("a.mpg")), kFrames);
  EXPECT_FALSE(io_->Aborting());
  EXPECT_TRUE(io_->IsMediaFileOpen());
  EXPECT_EQ(io_->Params()->Media_FrameCount, kFrames);
  EXPECT_EQ(io_->Params()->Width, kW);
  EXPECT_EQ(io_->Params()->Height, kH);
  for (int k : {7, 2, 11, 0}) {
    ASSERT_TRUE(io_->LoadFromMediaFile(k)) << k;
    EXPECT_LE(Difference(Bitmap(), k), 3) << k;
    EXPECT_EQ(io_->Params()->ImageIndex, k);
  }
  EXPECT_DOUBLE_EQ(io_->Params()->Media_FrameDelay, 40.0);
  // Outside the frames: False, the picture unchanged.
  for (int k : {kFrames, -1}) EXPECT_FALSE(io_->LoadFromMediaFile(k)) << k;
  EXPECT_LE(Difference(Bitmap(), 0), 3);
  io_->CloseMediaFile();
  EXPECT_FALSE(io_->IsMediaFileOpen());
  EXPECT_FALSE(io_->LoadFromMediaFile(0));
}

TEST_F(VideoSources, UnreadableVideosFailCleanly) {
  Bitmap()->Allocate(3, 2, px24RGB);
  for (const char* name : {"text.avi", "cut.avi", "wide.avi", "text.mpg", "list.mpg", "concat.wmv"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(io_->OpenAVIFile(File(name)), 0);
    EXPECT_TRUE(io_->Aborting());
    EXPECT_EQ(io_->OpenMediaFile(File(name)), 0);
    EXPECT_TRUE(io_->Aborting());
    EXPECT_FALSE(io_->IsMediaFileOpen());
    finished_ = 0;
    io_->Params()->SetImageIndex(0);
    EXPECT_FALSE(io_->LoadFromFileByExtension(File(name), false));
    EXPECT_EQ(finished_, 1);
    EXPECT_EQ(Bitmap()->Width(), 3);
    EXPECT_EQ(GetImageCountOfFile(File(name)), 0);
  }
  // A frame past the end of the file is no frame either.
  io_->Params()->SetImageIndex(kFrames);
  finished_ = 0;
  EXPECT_FALSE(io_->LoadFromFileByExtension(File("a.mpg"), false));
  EXPECT_EQ(finished_, 1);
  EXPECT_EQ(Bitmap()->Width(), 3);
}

TEST_F(VideoSources, CaptureObjectNotifiesTheViewWindow) {
  FakeIOView view;
  view.window = reinterpret_cast<HWND>(0x1234);
  io_->SetAttachedPixoran(&view);
  IPXIOMediaReader* capture = io_->GetDirectShow();
  ASSERT_NE(capture, nullptr);
  EXPECT_EQ(io_->GetDirectShow(), capture);
  auto* ds = dynamic_cast<TPXDirectShow*>(capture);
  ASSERT_NE(ds, nullptr);
  EXPECT_EQ(ds->NotifyWindow(), view.window);
  EXPECT_EQ(ds->FrameMessage(), 0x0400u + 7001);
  EXPECT_EQ(ds->EventMessage(), 0x0400u + 7002);
  view.window = reinterpret_cast<HWND>(0x5678);
  io_->RebindNotifyWindows();
  EXPECT_EQ(ds->NotifyWindow(), view.window);
  io_->SetAttachedPixoran(nullptr);
}

TEST_F(VideoSources, AcquireImageSink) {
  FakeIOView view;
  view.layerView = false;
  io_->SetAttachedPixoran(&view);
  view.Bitmap()->Allocate(5, 5, px24RGB);
  TPXBitmap delivered;
  delivered.AllocateFilled(40, 20, 0x0000FF, 255);

  // A handler that takes the image: the working bitmap stays, the handler saw the DPI.
  int seen = 0;
  io_->SetOnAcquireBitmap(TPXAcquireBitmapEvent(
      [&](TObject* Sender, TPXBitmap* B, int32_t DpiX, int32_t DpiY, bool& Handled) {
        EXPECT_EQ(Sender, io_.get());
        EXPECT_EQ(B, &delivered);
        EXPECT_EQ(DpiX, 200);
        EXPECT_EQ(DpiY, 100);
        ++seen;
        Handled = handled_;
      }));
  TIOParams* params = nullptr;
  handled_ = true;
  io_->AcquireImageSink(&delivered, params, 200, 100);
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(params, nullptr);
  EXPECT_EQ(view.Bitmap()->Width(), 5);

  // Not handled: a copy, the component's parameters, square pixels, the view updated.
  handled_ = false;
  io_->SetAutoAdjustDPI(true);
  view.TakeLog();
  io_->AcquireImageSink(&delivered, params, 200, 100);
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(params, io_->Params());
  EXPECT_EQ(params->DpiX, params->DpiY);
  EXPECT_EQ(params->DpiX, 200);
  EXPECT_EQ(view.Bitmap()->Width(), 40);
  EXPECT_EQ(view.Bitmap()->Height(), 40);
  EXPECT_EQ(view.Bitmap()->Scanline(39)[2], 255);
  EXPECT_NE(view.Bitmap(), &delivered);
  const auto log = view.TakeLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "Update"), log.end());

  int closed = 0;
  io_->SetOnAcquireClose(TNotifyEvent([&](TObject* Sender) {
    EXPECT_EQ(Sender, io_.get());
    ++closed;
  }));
  io_->DoAcquireClose();
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(io_->AcquisitionState(), 0);
  io_->SetAttachedPixoran(nullptr);
}

TEST_F(VideoSources, WiaObjectAndItsProgress) {
  IPXIOWia* wia = io_->GetWia();
  ASSERT_NE(wia, nullptr);
  EXPECT_EQ(io_->GetWia(), wia);
  auto* object = dynamic_cast<TPXWia*>(wia);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->Owner, io_.get());
  EXPECT_EQ(object->DeviceManager, nullptr);  // no WIA service here

  std::vector<int> progress;
  io_->SetOnProgress(TPXProgressEvent([&](TObject*, int32_t per) { progress.push_back(per); }));
  EXPECT_TRUE(object->ProgressCallback(30));
  io_->SetAborting(true);
  EXPECT_FALSE(object->ProgressCallback(60));
  EXPECT_EQ(progress, (std::vector<int>{30, 60}));
}

}  // namespace
