// A TPixoranIO whose stream entries are scripted, so the component's own machinery (attachment,
// common steps, threads, text export) is tested without any codec.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "io/pixoranio.h"

class TestIO : public TPixoranIO {
 public:
  using TPixoranIO::TPixoranIO;
  // The overrides below run on workers: wait for them while they still exist.
  ~TestIO() override { WaitThreads(false); }
  static std::unique_ptr<TestIO> ForBitmap(TPXBitmap* Bitmap) {
    auto io = std::make_unique<TestIO>(nullptr);
    io->SetAttachedBitmap(Bitmap);
    return io;
  }

  using TPixoranIO::AdjustDPI;
  using TPixoranIO::ApplyDefaultDPI;
  using TPixoranIO::ClearModified;
  using TPixoranIO::InitProgress;
  using TPixoranIO::IsAsync;
  using TPixoranIO::PrepareBitmap;
  using TPixoranIO::UpdateAttached;
  using TPixoranIO::WriteFileSafely;

  // A load: runs Work (which may throw or set the flag), then the common end of a load.
  bool LoadFromStream(TStream* Stream, TPXFileType FileType) override {
    if (IsAsync()) {
      StartIOThread(&TPixoranIO::LoadFromStream, Stream, FileType);
      return true;
    }
    TPXIOOperation operation(this);
    loadThreads.push_back(std::this_thread::get_id());
    FAborting = false;
    try {
      if (Work) Work(this);
    } catch (...) {
      FAborting = true;
      UpdateAttached();
      DoFinishWork();
      throw;
    }
    TPXProgressRecord rec;
    InitProgress(rec);
    rec.Event(this, 50);
    UpdateAttached();
    ClearModified(false);
    DoFinishWork();
    return !Aborting();
  }

  // A save that writes Encoded (or fails without output when FailEncode).
  void SaveToStream(TStream* Stream, TPXFileType FileType) override {
    if (IsAsync()) {
      StartIOThread(&TPixoranIO::SaveToStream, Stream, FileType);
      return;
    }
    TPXIOOperation operation(this);
    saveThreads.push_back(std::this_thread::get_id());
    FAborting = FailEncode;
    if (!FailEncode && !Encoded.empty()) Stream->WriteBuffer(Encoded.data(), static_cast<int64_t>(Encoded.size()));
    DoFinishWork();
  }

  // A reload by extension: recorded with the page asked for; answers ReloadResult.
  bool LoadFromFileByExtension(const std::string& FileName, bool RetryWithContent) override {
    reloads.push_back(FileName + " " + std::to_string(Params()->ImageIndex) + (RetryWithContent ? " retry" : ""));
    return ReloadResult;
  }

  std::function<void(TestIO*)> Work;
  bool ReloadResult = true;
  std::vector<std::string> reloads;
  std::vector<uint8_t> Encoded;
  bool FailEncode = false;
  std::vector<std::thread::id> loadThreads;
  std::vector<std::thread::id> saveThreads;
};
