// The processing component's layer undo entries on a view whose layers are real image layers:
// records are matched to layers by GUID.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "proc/pixoranproc.h"
#include "tests/common/TestSupport.h"
#include "tests/layers/FakeLayerOwner.h"

namespace {

// Every byte of the bitmap's rows set to Value.
void FillBytes(TPXBitmap* Bitmap, uint8_t Value) {
  for (int32_t y = 0; y < Bitmap->Height(); ++y) std::memset(Bitmap->Scanline(y), Value, static_cast<size_t>(Bitmap->RowLen()));
}

// A layer view for both sides: the layers' owner and the processing component's host.
class LayerViewHost : public FakeLayerOwner, public IPXProcessingHost {
 public:
  TPXImageLayer* AddImage(int32_t W, int32_t H, uint8_t Value) {
    auto bmp = TPXBitmap::CreateAllocated(W, H, px24RGB);
    FillBytes(bmp.get(), Value);
    return Add(std::make_unique<TPXImageLayer>(this, std::move(bmp)));
  }
  TPXImageLayer* Image(int32_t I) { return dynamic_cast<TPXImageLayer*>(GetLayers(I)); }

  TComponent* ViewComponent() override { return &Component; }
  TPXHostKind HostKind() override { return pxhkLayerView; }
  TPXBitmap* GetPXBitmap() override { return Image(Current) ? Image(Current)->Bitmap() : nullptr; }
  TBitmap* GetBitmap() override { return nullptr; }
  int32_t AddBitmapChangeEvent(const TPXBitmapChangeEvent& Event) override {
    Handlers[NextHandle] = Event;
    return NextHandle++;
  }
  void RemoveBitmapChangeEvent(int32_t Handle) override { Handlers.erase(Handle); }
  TColor Background() override { return BackgroundColor; }
  void SetBackground(TColor Value) override { BackgroundColor = Value; }
  void SetUpdateReason(int32_t /*Reason*/) override {}
  void Update() override { ++Updates; }
  void ImageChange(int32_t Code) override { ImageChanges.push_back(Code); }
  bool HasParentWindow() override { return false; }
  void PostIOMessage(uint32_t, uintptr_t, intptr_t) override {}
  void QueueToUIThread(std::function<void()> Call) override { Call(); }
  void SetModified(bool) override {}

  int32_t GetLayersCount() override { return FakeLayerOwner::GetLayersCount(); }
  int32_t LayersCurrent() override { return FakeLayerOwner::LayersCurrent(); }
  TPXBitmap* LayerBitmap(int32_t Index) override { return Image(Index) ? Image(Index)->Bitmap() : nullptr; }
  TGUID LayerGUID(int32_t Index) override { return GetLayers(Index)->GUID(); }
  void SaveLayerToStream(int32_t Index, TStream* Stream, int32_t Compression, bool WithPicture) override {
    GetLayers(Index)->SaveToStream(Stream, !WithPicture, Compression);
  }
  void LoadLayerFromStream(int32_t Index, TStream* Stream) override { GetLayers(Index)->LoadFromStream(Stream); }

  std::map<int32_t, TPXBitmapChangeEvent> Handlers;
  TComponent Component{nullptr};
  int32_t NextHandle = 1;

};

class LayerUndoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedTemp_ = GlobalSettingsInstance()->FTempDirectory;
    GlobalSettingsInstance()->FTempDirectory = temp_.Path();
    for (int32_t i = 0; i < 3; ++i) {
      TPXImageLayer* l = host_.AddImage(6, 4, static_cast<uint8_t>(40 * i));
      l->SetName("layer " + std::to_string(i));
      l->SetPosXD(10 * i);
      l->SetOpacity(0.5 + 0.1 * i);
    }
    host_.Current = 0;
    proc_ = new TPixoranProc(&owner_);  // freed by its owner
    proc_->SetAttachedPixoran(&host_);
  }
  void TearDown() override { GlobalSettingsInstance()->FTempDirectory = savedTemp_; }

  // Changes every layer's properties and the current layer's pixels.
  void Change() {
    for (int32_t i = 0; i < host_.GetLayersCount(); ++i) {
      TPXLayer* l = host_.GetLayers(i);
      l->SetName("changed");
      l->SetPosXD(99);
      l->SetOpacity(0.1);
    }
    FillBytes(host_.Image(0)->Bitmap(), 200);
  }

  TestTempDir temp_;
  std::string savedTemp_;
  LayerViewHost host_;
  TComponent owner_{nullptr};
  TPixoranProc* proc_ = nullptr;
};

TEST_F(LayerUndoTest, LayerEntryRestoresPropertiesByGuid) {
  proc_->SaveUndo(pxuLayer, true);
  Change();
  // Layer 1 is deleted, a new one is added.
  host_.Layers.erase(host_.Layers.begin() + 1);
  TPXImageLayer* added = host_.AddImage(3, 3, 7);
  added->SetName("added");
  proc_->Undo(true);

  ASSERT_EQ(host_.GetLayersCount(), 3);
  EXPECT_EQ(host_.GetLayers(0)->Name(), "layer 0");
  EXPECT_EQ(host_.GetLayers(0)->GetPosX(), 0);
  EXPECT_EQ(host_.GetLayers(0)->Opacity(), 0.5);
  EXPECT_EQ(host_.GetLayers(1)->Name(), "layer 2");
  EXPECT_EQ(host_.GetLayers(1)->GetPosX(), 20);
  EXPECT_DOUBLE_EQ(host_.GetLayers(1)->Opacity(), 0.7);
  EXPECT_EQ(host_.GetLayers(2), added);
  EXPECT_EQ(added->Name(), "added");
  // Pictures are not part of this entry.
  EXPECT_EQ(host_.Image(0)->Bitmap()->Scanline(0)[0], 200);
}

TEST_F(LayerUndoTest, FullLayerEntryAlsoRestoresTheCurrentPicture) {
  proc_->SaveUndo(pxuFullLayer, true);
  Change();
  proc_->Undo(true);
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(host_.GetLayers(i)->Name(), "layer " + std::to_string(i));
  TPXBitmap* pic = host_.Image(0)->Bitmap();
  ASSERT_EQ(pic->Width(), 6);
  ASSERT_EQ(pic->Height(), 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 18; ++x) EXPECT_EQ(pic->Scanline(y)[x], 0) << x << "," << y;
}

}  // namespace
