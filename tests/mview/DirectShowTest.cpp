// The playback object's media-file half and the WIA object. Videos come from the ffmpeg tool
// (flat colours from a table, the oracle of every frame).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "mview/pxds.h"
#include "mview/pxwia.h"
#include "tests/common/TestSupport.h"
#include "tests/common/TestVideos.h"

namespace {

constexpr int kW = 32, kH = 16;

class DirectShow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TestTempDir();
    const std::string raw = FlatColourFrames(kW, kH);
    made_ = MakeVideo(raw, kW, kH, {"-c:v", "ffv1"}, dir_->File("a.avi")) &&
            MakeVideo(raw, kW, kH, {"-c:v", "mpeg2video", "-q:v", "2"}, dir_->File("a.mpg"));
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(made_); }
  void Connect(const char* Name) {
    ds_.SetSourceFileName(dir_->File(Name));
    ds_.SetGrabFrames(true);
    ds_.Connect();
  }
  double Difference(int k) {
    return DifferenceFromColour(bitmap_.Width(), bitmap_.Height(), [this](int y) { return bitmap_.Scanline(y); }, k);
  }
  static TestTempDir* dir_;
  static bool made_;
  TPXDirectShow ds_;
  TPXBitmap bitmap_;
};

TestTempDir* DirectShow::dir_ = nullptr;
bool DirectShow::made_ = false;

TEST_F(DirectShow, TimeFormatsDurationAndPosition) {
  EXPECT_EQ(ds_.GetTimeFormat(), PXTIME_FORMAT_NONE);  // nothing connected
  EXPECT_EQ(ds_.GetDuration(), 0);
  // The AVI counts its frames: both formats are taken.
  Connect("a.avi");
  ASSERT_TRUE(ds_.GetConnected());
  EXPECT_EQ(ds_.GetState(), 0);
  ds_.Pause();
  EXPECT_EQ(ds_.GetState(), 1);
  EXPECT_EQ(ds_.GetTimeFormat(), PXTIME_FORMAT_MEDIA_TIME);
  EXPECT_EQ(ds_.GetDuration(), 4800000);
  EXPECT_EQ(ds_.GetAverageTimePerFrame(), 400000);
  ds_.SetTimeFormat(PXTIME_FORMAT_FRAME);
  EXPECT_EQ(ds_.GetTimeFormat(), PXTIME_FORMAT_FRAME);
  EXPECT_EQ(ds_.GetDuration(), kVideoFrames);
  ds_.SetPosition(7);
  EXPECT_EQ(ds_.GetCurrentPosition(), 7);
  ds_.SetTimeFormat(PXTIME_FORMAT_MEDIA_TIME);
  EXPECT_EQ(ds_.GetCurrentPosition(), 7 * 400000);
  int32_t w = 0, h = 0;
  std::string name = "x";
  ds_.GetCurrentVideoFormat(w, h, name);
  EXPECT_EQ(w, kW);
  EXPECT_EQ(h, kH);
  EXPECT_EQ(name, "");
  ds_.Disconnect();
  EXPECT_FALSE(ds_.GetConnected());
  EXPECT_EQ(ds_.GetState(), 0);
  EXPECT_FALSE(ds_.GetSample(&bitmap_, false));

  // An MPEG stream counts no frames: the frame format is refused, the time format stays.
  Connect("a.mpg");
  ds_.SetTimeFormat(PXTIME_FORMAT_FRAME);
  EXPECT_EQ(ds_.GetTimeFormat(), PXTIME_FORMAT_MEDIA_TIME);
  EXPECT_EQ(ds_.GetDuration(), 4800000);
  EXPECT_EQ(ds_.GetAverageTimePerFrame(), 400000);

  // A missing file connects nothing.
  ds_.SetSourceFileName(dir_->File("missing.avi"));
  ds_.Connect();
  EXPECT_FALSE(ds_.GetConnected());
}

TEST_F(DirectShow, GrabbedFramesInBothLayouts) {
  for (const TGUID& subtype : {PXMEDIASUBTYPE_RGB32, PXMEDIASUBTYPE_RGB24}) {
    ds_.SetGrabberSubtype(subtype);
    Connect("a.avi");
    ds_.SetTimeFormat(PXTIME_FORMAT_FRAME);
    for (int k : {3, 11, 0, 4}) {
      ds_.SetPosition(k);
      ASSERT_TRUE(ds_.GetSample(&bitmap_, false)) << k;
      ASSERT_EQ(bitmap_.PixelFormat(), px24RGB);
      ASSERT_EQ(bitmap_.Width(), kW);
      ASSERT_EQ(bitmap_.Height(), kH);
      EXPECT_EQ(Difference(k), 0.0) << k;
    }
    // Media time names the frame that starts there.
    ds_.SetTimeFormat(PXTIME_FORMAT_MEDIA_TIME);
    ds_.SetPosition(9 * 400000);
    ASSERT_TRUE(ds_.GetSample(&bitmap_, false));
    EXPECT_EQ(Difference(9), 0.0);
    // Past the end there is no frame; the bitmap keeps the last one.
    ds_.SetPosition(20 * 400000);
    EXPECT_FALSE(ds_.GetSample(&bitmap_, false));
    EXPECT_EQ(Difference(9), 0.0);
  }
}

TEST_F(DirectShow, CopyGrabbedFrameFromABuffer) {
  ds_.SetGrabberSubtype(PXMEDIASUBTYPE_RGB24);
  Connect("a.avi");
  const int64_t row = ((kW * 24 + 31) / 32) * 4;
  // A bottom-up buffer: its first row is the picture's last.
  std::vector<uint8_t> buffer(static_cast<size_t>(row * kH), 0);
  buffer[0] = 11;                             // last row, first pixel, blue
  buffer[static_cast<size_t>(row * (kH - 1)) + 2] = 22;  // first row, first pixel, red
  ASSERT_TRUE(ds_.CopyGrabbedFrame(buffer.data(), static_cast<int64_t>(buffer.size()), &bitmap_));
  EXPECT_EQ(bitmap_.Scanline(kH - 1)[0], 11);
  EXPECT_EQ(bitmap_.Scanline(0)[2], 22);
  // A buffer too small for the frame is refused and the bitmap kept.
  buffer[0] = 99;
  EXPECT_FALSE(ds_.CopyGrabbedFrame(buffer.data(), static_cast<int64_t>(buffer.size()) - 1, &bitmap_));
  EXPECT_EQ(bitmap_.Scanline(kH - 1)[0], 11);
  // Without the grabber nothing is copied.
  ds_.SetGrabFrames(false);
  EXPECT_FALSE(ds_.CopyGrabbedFrame(buffer.data(), static_cast<int64_t>(buffer.size()), &bitmap_));
}

TEST(Wia, FieldsAndDeviceEvents) {
  TComponent owner(nullptr);
  TPXWia wia(&owner);
  EXPECT_EQ(wia.Owner, &owner);
  EXPECT_EQ(wia.DeviceManager, nullptr);
  for (void* r : wia.Registrations) EXPECT_EQ(r, nullptr);
  EXPECT_EQ(wia.Option1, 1);
  EXPECT_EQ(wia.Option2, 0);
  EXPECT_EQ(wia.Text, "");
  EXPECT_EQ(wia.Option3, 0);
  EXPECT_EQ(wia.Value, 0);
  EXPECT_EQ(wia.LastDeviceEvent, 0);
  EXPECT_EQ(wia.Bitmap, nullptr);

  int changes = 0;
  wia.OnItemsChanged = TNotifyEvent([&](TObject* Sender) {
    EXPECT_EQ(Sender, &wia);
    ++changes;
  });
  TWiaEventCallBack callback(&wia);
  uint32_t eventType = 0;
  const TGUID other{1, 2, 3, {4}};
  const struct {
    TGUID event;
    uint8_t kind;
    int changes;
  } rows[] = {{PXWIA_EVENT_TREE_UPDATED, 1, 1}, {PXWIA_EVENT_ITEM_CREATED, 2, 2}, {other, 2, 2},
              {PXWIA_EVENT_ITEM_DELETED, 3, 3}};
  for (const auto& r : rows) {
    EXPECT_EQ(callback.ImageEventCallback(r.event, "", "", "", 0, "", eventType, 0), 0);
    EXPECT_EQ(wia.LastDeviceEvent, r.kind);
    EXPECT_EQ(changes, r.changes);
  }
  TWiaEventCallBack orphan(nullptr);
  EXPECT_EQ(orphan.ImageEventCallback(PXWIA_EVENT_TREE_UPDATED, "", "", "", 0, "", eventType, 0), 0);
}

}  // namespace
