// Arbitrary bytes as a video file read from memory: opening must answer a reader or nothing, and
// a reader must answer its counts and decode (or refuse) its first and last frames, never
// reading or writing outside its buffers.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/rtl/Classes.h"
#include "platform/video/VideoFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const bool started = [] {
    AVIFileInit();
    return true;
  }();
  (void)started;
  auto stream = std::make_unique<TMemoryStream>();
  if (Size) stream->WriteBuffer(Data, static_cast<int64_t>(Size));
  std::unique_ptr<TVideoFile> video = TVideoFile::Open(std::move(stream));
  if (!video) return 0;
  Check(video->Width() > 0 && video->Width() <= PXVideoMaxSide, __LINE__);
  Check(video->Height() > 0 && video->Height() <= PXVideoMaxSide, __LINE__);
  Check(video->FrameCount() >= 0 && video->Duration() >= 0, __LINE__);
  // The frame count as the media reader finds it.
  int64_t count = video->FrameCount();
  if (count == 0) {
    const int64_t perFrame = video->AvgTimePerFrame() > 0 ? video->AvgTimePerFrame() : video->MeasureTimePerFrame();
    count = perFrame > 0 ? video->Duration() / perFrame : 1;
  }
  // The harness's memory, not the reader's limit: frames of up to 4096 x 4096 are read.
  if (static_cast<int64_t>(video->Width()) * video->Height() > 4096 * 4096) return 0;
  for (const int64_t index : {int64_t(0), count - 1}) {
    const std::vector<uint8_t> dib = video->ReadFrameDIB(index);
    if (!dib.empty())
      Check(dib.size() == 40 + static_cast<size_t>(VideoDibRowBytes(video->Width(), 24) * video->Height()), __LINE__);
  }
  std::vector<uint8_t> bits(static_cast<size_t>(VideoDibRowBytes(video->Width(), 32) * video->Height()));
  video->ReadFrame(count / 2, 32, bits.data(), VideoDibRowBytes(video->Width(), 32));
  return 0;
}
