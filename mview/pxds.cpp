#include "mview/pxds.h"

#include <cstring>

#include "core/hypxutils_streams.h"
#include "core/pxxBitmaps.h"
#include "mview/pxwia.h"
#include "platform/forms/WinUser.h"
#include "platform/video/VideoFile.h"

TPXDirectShow::TPXDirectShow() = default;

TPXDirectShow::~TPXDirectShow() { Disconnect(); }

void TPXDirectShow::Connect() {
  FrameNotificationArmed = true;
  Disconnect();
  if (FSourceFileName.empty()) return;
  try {
    FVideo = TVideoFile::Open(std::make_unique<TPXWideFileStream>(FSourceFileName, fmOpenRead | fmShareDenyWrite));
  } catch (const Exception&) {
    FVideo.reset();  // a missing or unreadable file: nothing to play
  }
  FTimeFormat = PXTIME_FORMAT_MEDIA_TIME;
  FPosition = 0;
}

void TPXDirectShow::Disconnect() {
  FVideo.reset();
  FFrameBuffer = {};
  FHaveSample = false;
  FState = 0;
}

bool TPXDirectShow::GetConnected() { return FVideo != nullptr; }

void TPXDirectShow::Pause() {
  if (!FVideo) return;
  FState = 1;
  SetPosition(GetCurrentPosition());
}

int32_t TPXDirectShow::GetState() { return FVideo ? FState : 0; }

void TPXDirectShow::SetTimeFormat(int32_t Code) {
  if (!FVideo) return;
  if (Code == PXTIME_FORMAT_MEDIA_TIME || (Code == PXTIME_FORMAT_FRAME && FVideo->FrameCount() > 0)) FTimeFormat = Code;
}

int32_t TPXDirectShow::GetTimeFormat() { return FVideo ? FTimeFormat : PXTIME_FORMAT_NONE; }

int64_t TPXDirectShow::GetDuration() {
  if (!FVideo) return 0;
  return FTimeFormat == PXTIME_FORMAT_FRAME ? FVideo->FrameCount() : FVideo->Duration();
}

int64_t TPXDirectShow::GetCurrentPosition() {
  if (!FVideo) return 0;
  return FTimeFormat == PXTIME_FORMAT_FRAME ? FVideo->FrameIndexAt(FPosition) : FPosition;
}

int32_t TPXDirectShow::GrabberBitCount() const { return FGrabberSubtype == PXMEDIASUBTYPE_RGB24 ? 24 : 32; }

void TPXDirectShow::SetPosition(int64_t Position) {
  if (!FVideo) return;
  const int64_t perFrame = FVideo->AvgTimePerFrame();
  int64_t frame;
  if (FTimeFormat == PXTIME_FORMAT_FRAME) {
    frame = Position;
    FPosition = perFrame > 0 && Position > 0 && Position < INT64_MAX / perFrame ? Position * perFrame : 0;
  } else {
    FPosition = Position;
    frame = FVideo->FrameIndexAt(Position);
  }
  FHaveSample = false;
  if (!FGrabFrames || Position < 0) return;
  const int32_t bits = GrabberBitCount();
  const int64_t row = VideoDibRowBytes(FVideo->Width(), bits);
  try {
    FFrameBuffer.resize(static_cast<size_t>(row * FVideo->Height()));
  } catch (const std::bad_alloc&) {
    FFrameBuffer = {};
    return;
  }
  FHaveSample = FVideo->ReadFrame(frame, bits, FFrameBuffer.data(), row);
  if (FHaveSample && FrameNotificationArmed && FNotifyWindow)
    PostMessage(FNotifyWindow, FFrameMessage, 0, reinterpret_cast<LPARAM>(this));
}

void TPXDirectShow::GetCurrentVideoFormat(int32_t& Width, int32_t& Height, std::string& FormatName) {
  Width = FVideo ? FVideo->Width() : 0;
  Height = FVideo ? FVideo->Height() : 0;
  FormatName.clear();
}

int64_t TPXDirectShow::GetAverageTimePerFrame() {
  if (!FVideo) return 0;
  if (const int64_t declared = FVideo->AvgTimePerFrame()) return declared;
  const int64_t measured = FVideo->MeasureTimePerFrame();
  FHaveSample = false;  // the measurement moved the decoder
  return measured;
}

bool TPXDirectShow::GetSample(TPXBitmap* Bitmap, bool /*ResizeBack*/) {
  // No windowless renderer on files: the grabber's frame is the sample.
  return CopyGrabbedFrame(nullptr, 0, Bitmap);
}

bool TPXDirectShow::CopyGrabbedFrame(const uint8_t* Buffer, int64_t Size, TPXBitmap* Bitmap) {
  if (!FVideo || !FGrabFrames || !Bitmap) return false;
  const int32_t width = FVideo->Width(), height = FVideo->Height();
  const int32_t bits = GrabberBitCount();
  const int64_t row = VideoDibRowBytes(width, bits);
  const uint8_t* source = Buffer;
  if (source) {
    if (Size < row * height) return false;
  } else {
    if (!FHaveSample || static_cast<int64_t>(FFrameBuffer.size()) < row * height) return false;
    source = FFrameBuffer.data();
  }
  if (Bitmap->Location() == pxFile) Bitmap->SetLocation(pxMemory);
  if (Bitmap->PixelFormat() != px24RGB || Bitmap->Width() != width || Bitmap->Height() != height)
    if (!Bitmap->Allocate(width, height, px24RGB)) return false;
  // The buffer is a bottom-up DIB: its row 0 is the picture's last row.
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* from = source + static_cast<int64_t>(height - 1 - y) * row;
    uint8_t* to = Bitmap->Scanline(y);
    if (bits == 24) {
      std::memcpy(to, from, static_cast<size_t>(width) * 3);
    } else {
      for (int32_t x = 0; x < width; ++x, from += 4, to += 3) std::memcpy(to, from, 3);
    }
  }
  Bitmap->DoChange();
  return true;
}

void TPXDirectShow::SetNotifyWindow(HWND Window, uint32_t FrameMessage, uint32_t EventMessage) {
  FNotifyWindow = Window;
  FFrameMessage = FrameMessage;
  FEventMessage = EventMessage;
}

void RegisterAcquisitionUnit() {
  SetMediaReaderFactory([] { return std::make_unique<TPXDirectShow>(); });
  SetWiaFactory([](TComponent* Owner, TPXWiaProgress Progress) {
    auto wia = std::make_unique<TPXWia>(Owner);
    wia->ProgressCallback = std::move(Progress);
    return wia;
  });
}
