// A scripted view for the I/O component's tests: it records what the component asks of it and
// runs the calls queued for the UI thread when the test says so.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pixoranio_view.h"
#include "platform/rtl/Classes.h"

class FakeIOView : public IPXIOView {
 public:
  FakeIOView() : component_(std::make_unique<TComponent>(nullptr)), bitmap_(std::make_unique<TPXBitmap>()) {}
  ~FakeIOView() override {
    // A real view tells its registered components that it goes away.
    Fire(pxbcViewDestroyed);
  }

  TComponent* ViewComponent() override { return component_.get(); }
  HWND WindowHandle() override { return window; }
  TPXHostKind HostKind() override {
    return thumbnailView ? pxhkThumbnailView : layerView ? pxhkLayerView : pxhkPlainView;
  }
  IPXIOMultiPageView* MultiPageNavigation() override { return navigation; }

  TPXBitmap* GetPXBitmap() override { return platformOnly ? nullptr : bitmap_.get(); }
  TBitmap* GetBitmap() override { return platformBitmap; }
  int32_t AddBitmapChangeEvent(const TPXBitmapChangeEvent& Event) override {
    events_[++lastHandle_] = Event;
    return lastHandle_;
  }
  void RemoveBitmapChangeEvent(int32_t Handle) override { events_.erase(Handle); }
  int32_t RegisteredCount() const { return static_cast<int32_t>(events_.size()); }
  void Fire(int32_t Code) {
    auto events = events_;
    for (auto& [handle, event] : events) event(component_.get(), Code);
    // Going away: nobody is called again.
    if (Code == pxbcViewDestroyed) events_.clear();
  }
  // Gives the view a new picture and tells the registered components.
  TPXBitmap* ReplaceBitmap() {
    old_.push_back(std::move(bitmap_));
    bitmap_ = std::make_unique<TPXBitmap>();
    Fire(pxbcBitmapReplaced);
    return bitmap_.get();
  }
  TPXBitmap* Bitmap() { return bitmap_.get(); }

  TColor Background() override { return background; }
  void SetBackground(TColor Value) override { background = Value, ++backgroundWrites; }
  void SetUpdateReason(int32_t Reason) override { Log("reason " + std::to_string(Reason)); }
  void Update() override { Log("Update"); }
  void ImageChange(int32_t Source) override {
    Log("ImageChange " + std::to_string(Source));
    if (std::this_thread::get_id() != uiThread) Log("ImageChange off the UI thread");
  }
  bool HasParentWindow() override { return parentWindow; }
  void PostIOMessage(uint32_t Msg, uintptr_t WParam, intptr_t) override {
    Log("post " + std::to_string(Msg - 0x0400) + " " + std::to_string(WParam));
  }
  void QueueToUIThread(std::function<void()> Call) override {
    std::lock_guard guard(mutex_);
    queued_.push_back(std::move(Call));
  }
  // Runs what was queued (the UI thread's turn).
  void RunQueued() {
    std::vector<std::function<void()>> calls;
    {
      std::lock_guard guard(mutex_);
      calls.swap(queued_);
    }
    for (auto& c : calls) c();
  }

  void SetModified(bool Value) override { Log(std::string("SetModified ") + (Value ? "1" : "0")); }
  int32_t GetLayersCount() override { return layers; }
  bool CurrentLayerIsImage() override { return currentHasBitmap; }
  void SetLayersCurrent(int32_t Index) override {
    Log("SetLayersCurrent " + std::to_string(Index));
    if (Index == 0) currentHasBitmap = layer0HasBitmap;
  }

  std::vector<std::string> TakeLog() {
    std::lock_guard guard(mutex_);
    auto result = std::move(log_);
    log_.clear();
    return result;
  }

  HWND window = nullptr;
  bool layerView = true;
  bool thumbnailView = false;
  bool parentWindow = false;
  bool platformOnly = false;
  TBitmap* platformBitmap = nullptr;
  TColor background = 0x123456;
  int32_t backgroundWrites = 0;
  int32_t layers = 1;
  bool currentHasBitmap = true;
  bool layer0HasBitmap = true;
  IPXIOMultiPageView* navigation = nullptr;
  std::thread::id uiThread = std::this_thread::get_id();

 private:
  void Log(std::string Text) {
    std::lock_guard guard(mutex_);
    log_.push_back(std::move(Text));
  }
  std::unique_ptr<TComponent> component_;
  std::unique_ptr<TPXBitmap> bitmap_;
  std::vector<std::unique_ptr<TPXBitmap>> old_;
  std::map<int32_t, TPXBitmapChangeEvent> events_;
  int32_t lastHandle_ = 0;
  std::mutex mutex_;
  std::vector<std::string> log_;
  std::vector<std::function<void()>> queued_;
};
