#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/hypxutils_startup.h"
#include "core/pxsettings.h"
#include "io/pixoranio_support.h"
#include "io/pixoranio_web.h"
#include "platform/video/VideoFile.h"

namespace {

std::vector<std::string> g_steps;
void RecordStep(bool startUp, int32_t step) { g_steps.push_back((startUp ? "I" : "D") + std::to_string(step)); }

void FakeGifDecode(TStream*, int32_t, int32_t, uint8_t*, bool) {}
void FakeTiffEncode(const uint8_t*, int32_t, TStream*, void*&) {}

bool g_scratch_freed = false;
void FreeScratch() { g_scratch_freed = true; }
void FailingScratch() { throw EPXException("scratch"); }

class TProbe : public TObject {
 public:
  explicit TProbe(bool* destroyed) : destroyed_(destroyed) {}
  ~TProbe() override { *destroyed_ = true; }

 private:
  bool* destroyed_;
};

// Each test leaves the I/O support started with the coders the test program registered, as its
// start-up left it.
class Support : public ::testing::Test {
 protected:
  void SetUp() override { coders_ = RegisteredLzwCoders(); }
  void TearDown() override {
    SetIOSupportStepObserver(nullptr);
    SetLayerScratchRelease(nullptr);
    RegisterLzwCoders(coders_);
    InitIOSupport();
  }

 private:
  TPXLzwCoders coders_;
};

}  // namespace

TEST_F(Support, StartedByTheLibraryStartUp) {
  // The test program's StaticInitialize ran the slot.
  const TPXLibraryStepProc init = RegisterLibrarySlot(lsInitIOSupport, nullptr);
  RegisterLibrarySlot(lsInitIOSupport, init);
  const TPXLibraryStepProc done = RegisterLibrarySlot(lsDoneIOSupport, nullptr);
  RegisterLibrarySlot(lsDoneIOSupport, done);
  EXPECT_EQ(init, &InitIOSupport);
  EXPECT_EQ(done, &DoneIOSupport);
  EXPECT_EQ(FileFormatCount(), 31);
  EXPECT_TRUE(WinInetLoaded());
  EXPECT_TRUE(IOPluginListExists());
}

TEST_F(Support, StepsRunInOrder) {
  g_steps.clear();
  SetIOSupportStepObserver(&RecordStep);
  g_scratch_freed = false;
  SetLayerScratchRelease(&FreeScratch);
  // An AVI file was opened: the video library is let go of once.
  AVIFileInit();
  SetAviLibraryStarted(true);
  const int32_t users = AVIFileUsers();
  DoneIOSupport();
  EXPECT_EQ(AVIFileUsers(), users - 1);
  EXPECT_EQ(g_steps, (std::vector<std::string>{"D1", "D2", "D3", "D4", "D5", "D6", "D7", "D8"}));
  EXPECT_TRUE(g_scratch_freed);
  EXPECT_EQ(GlobalSettingsInstance()->FFileFormats, nullptr);
  EXPECT_EQ(FileFormatCount(), 0);
  EXPECT_FALSE(WinInetLoaded());
  EXPECT_FALSE(AviLibraryStarted());
  EXPECT_FALSE(IOPluginListExists());
  std::string hint;
  TMemoryStream s;
  EXPECT_FALSE(DownloadURL("http://127.0.0.1:1/x", &s, "", hint, nullptr, nullptr, TPXProgressEvent(), "", ""));

  g_steps.clear();
  TPXLzwCoders coders;
  coders.GifDecode = &FakeGifDecode;
  coders.TiffEncode = &FakeTiffEncode;
  RegisterLzwCoders(coders);
  InitIOSupport();
  EXPECT_EQ(g_steps, (std::vector<std::string>{"I1", "I2", "I3", "I4", "I5", "I6"}));
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  EXPECT_EQ(settings->FGIFLZWDecompress, &FakeGifDecode);
  EXPECT_EQ(settings->FGIFLZWCompress, nullptr);
  EXPECT_EQ(settings->FTIFFLZWDecompress, nullptr);
  EXPECT_EQ(settings->FTIFFLZWCompress, &FakeTiffEncode);
  EXPECT_EQ(FileFormatCount(), 31);
  EXPECT_TRUE(WinInetLoaded());
  EXPECT_TRUE(IOPluginListExists());
  EXPECT_EQ(AcquisitionLogName(), "");
}

TEST_F(Support, TearDownNeverRaises) {
  SetLayerScratchRelease(&FailingScratch);
  SetAcquisitionLog("acquire.log", std::make_unique<TMemoryStream>());
  // No AVI file was opened: the video library is not let go of.
  SetAviLibraryStarted(false);
  const int32_t users = AVIFileUsers();
  EXPECT_NO_THROW(DoneIOSupport());
  EXPECT_EQ(AVIFileUsers(), users);
  // The steps after the failing one still ran.
  EXPECT_EQ(FileFormatCount(), 0);
  EXPECT_FALSE(WinInetLoaded());
  EXPECT_EQ(AcquisitionLogName(), "");
  EXPECT_NO_THROW(DoneIOSupport());  // twice is harmless
}

TEST_F(Support, FreeIOPlugins) {
  FreeIOPlugins();  // an empty list: nothing happens
  EXPECT_TRUE(IOPluginListExists());

  auto info = std::make_unique<TPXFileFormatInfo>();
  info->FileType = 8196;
  info->FullName = "Plug-in";
  info->Extensions = "QQP";
  info->InternalFormat = false;
  TPXFileFormatInfo::Register(std::move(info));

  bool ownedGone = false, keptGone = false;
  auto owned = std::make_unique<TPXIOPlugin>();
  owned->FileType = 8196;
  owned->Object = std::make_unique<TProbe>(&ownedGone);
  owned->Name = "owned";
  auto kept = std::make_unique<TPXIOPlugin>();
  kept->FileType = 8197;
  auto keptObject = std::make_unique<TProbe>(&keptGone);
  TProbe* keptRaw = keptObject.get();
  kept->Object = std::move(keptObject);
  kept->Flags = 1;
  IOPlugins().push_back(std::move(owned));
  IOPlugins().push_back(std::move(kept));

  FreeIOPlugins();
  EXPECT_TRUE(ownedGone);
  EXPECT_FALSE(keptGone);  // its library owns it
  EXPECT_TRUE(IOPlugins().empty());
  EXPECT_TRUE(IOPluginListExists());
  EXPECT_EQ(FileFormatByType(8196), nullptr);
  EXPECT_EQ(FileFormatCount(), 31);
  std::unique_ptr<TProbe> reclaim(keptRaw);
}
