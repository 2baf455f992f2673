// TPixoranIO's video and acquisition sources: single frames of AVI and other video files
// (platform/video), frames of media files through the media reader of the acquisition
// subsystem, the capture and WIA objects, and the sink acquisition objects deliver images to.
#include <limits>
#include <memory>
#include <string>

#include "core/hypxutils_streams.h"
#include "core/hypxutils_system.h"
#include "core/pxsettings.h"
#include "io/pixoranio.h"
#include "io/pixoranio_support.h"
#include "proc/pixoranproc_dib.h"
#include "platform/video/VideoFile.h"

// ---------------------------------------------------------------------------------------------
// AVI files

int32_t TPixoranIO::OpenAVIFile(const std::string& FileName) {
  TPXIOOperation operation(this);
  FAborting = false;
  CloseAVIFile();
  TIOParams* p = GetParams();
  p->SetImageCount(0);
  p->FileName = FileName;
  p->FileType = pxftUnknown;
  if (!AviLibraryStarted()) {
    AVIFileInit();
    SetAviLibraryStarted(true);
  }
  std::unique_ptr<TVideoFile> reader;
  try {
    reader = TVideoFile::Open(std::make_unique<TPXWideFileStream>(FileName, fmOpenRead | fmShareDenyWrite));
  } catch (const Exception&) {
    reader.reset();  // a missing or unreadable file
  }
  // No frames or no rate (the frame delay would divide by zero) count as failures too.
  if (!reader || reader->FrameCount() <= 0 || reader->Rate() <= 0 || reader->Scale() <= 0) {
    FAborting = true;
    return 0;
  }
  FAvi.StreamInfo.Length = reader->FrameCount();
  FAvi.StreamInfo.Rate = static_cast<uint32_t>(reader->Rate());
  FAvi.StreamInfo.Scale = static_cast<uint32_t>(reader->Scale());
  FAvi.FrameReader = std::move(reader);
  const int32_t count = static_cast<int32_t>(std::min<int64_t>(FAvi.StreamInfo.Length, std::numeric_limits<int32_t>::max()));
  p->SetImageCount(count);
  p->AVI_FrameDelay = 1000.0 * FAvi.StreamInfo.Scale / FAvi.StreamInfo.Rate;
  return count;
}

bool TPixoranIO::LoadFromAVI(int32_t FrameIndex) {
  CheckBitmap();
  if (IsAsync()) {
    StartIOThread(&TPixoranIO::LoadFromAVI, FrameIndex);
    return false;
  }
  TPXIOOperation operation(this);
  FAborting = false;
  TIOParams* p = GetParams();
  if (!PrepareBitmap({}) || !FAvi.FrameReader || FrameIndex < 0 || FrameIndex >= FAvi.StreamInfo.Length) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  bool result = false;
  try {
    p->SetImageCount(static_cast<int32_t>(std::min<int64_t>(FAvi.StreamInfo.Length, std::numeric_limits<int32_t>::max())));
    p->AVI_FrameDelay = 1000.0 * FAvi.StreamInfo.Scale / FAvi.StreamInfo.Rate;
    const int32_t bitCount = ReadAviFrame(FrameIndex);
    if (bitCount > 0) {
      BitsAndSamplesFromBitCount(bitCount, false, p->BitsPerSample, p->SamplesPerPixel);
      const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
      p->SetDpiX(s ? s->FDefaultDPIX : 300);
      p->SetDpiY(s ? s->FDefaultDPIY : 300);
      p->Width = p->OriginalWidth = FBitmap->Width();
      p->Height = p->OriginalHeight = FBitmap->Height();
      p->FreeColorMap();
      UpdateAttached();
      ClearModified(false);
      result = !FAborting;
    } else {
      FAborting = true;  // no frame: the picture stays as it was
    }
  } catch (...) {
    FAborting = true;
    DoFinishWork();
    throw;
  }
  DoFinishWork();
  return result;
}

// Frame FrameIndex of the open AVI file into the picture; its bit count, 0 (the picture as it
// was) when the frame cannot be read. The frame is decoded first and converted straight into
// the picture's rows when they are one block; other storage takes it through a 24-bit DIB.
int32_t TPixoranIO::ReadAviFrame(int32_t FrameIndex) {
  TVideoFile* reader = FAvi.FrameReader.get();
  if (!reader->DecodeFrame(FrameIndex)) return 0;
  const int32_t w = reader->Width(), h = reader->Height();
  if (FBitmap->Location() != pxFile && FBitmap->Allocate(w, h, px24RGB)) {
    uint8_t* buffer = FBitmap->GetPixelBuffer();
    const int64_t span = (h - 1) * FBitmap->RowLen();
    uint8_t* top = FBitmap->Scanline(0);
    uint8_t* bottom = FBitmap->Scanline(h - 1);
    if (buffer && top == buffer + (top > bottom ? span : 0) && bottom == buffer + (top > bottom ? 0 : span)) {
      const bool bottomUp = top > bottom;
      if (!reader->ReadFrame(FrameIndex, 24, bottom, bottomUp ? FBitmap->RowLen() : -FBitmap->RowLen())) return 0;
      FBitmap->FFull = 0;
      FBitmap->DoChange();
      return 24;
    }
  }
  const std::vector<uint8_t> frame = reader->ReadFrameDIB(FrameIndex);
  TPXDibbitmap dib;
  const int32_t bitCount = frame.empty() ? 0 : CopyDIBToDibBitmap(frame.data(), &dib, {}, true, frame.size());
  if (bitCount > 0) FBitmap->CopyFromDibbitmap(&dib);
  return bitCount;
}

void TPixoranIO::CloseAVIFile() {
  TPXIOOperation operation(this);
  FAvi.FrameReader.reset();
  FAvi.StreamInfo = {};
}

// ---------------------------------------------------------------------------------------------
// Media files

int32_t TPixoranIO::OpenMediaFile(const std::string& FileName) {
  TPXIOOperation operation(this);
  CloseMediaFile();
  FAborting = true;
  FDirectShow = CreateMediaReader();
  if (!FDirectShow) return 0;
  IPXIOMediaReader* ds = FDirectShow.get();
  ds->SetSourceFileName(FileName);
  ds->SetGrabFrames(true);
  ds->Connect();
  ds->Pause();
  ds->SetTimeFormat(5);
  const int64_t duration = ds->GetDuration();
  ds->SetTimeFormat(1);
  int64_t frames = ds->GetDuration();
  const int64_t perFrame = ds->GetAverageTimePerFrame();
  if (frames == duration) {
    // The frame format was refused: count by the frame time, seek in media time.
    frames = perFrame > 0 ? duration / perFrame : 0;
    FFrameTimeStep = perFrame;
  } else {
    FFrameTimeStep = 1;
  }
  // A file shorter than one frame (or with no duration or frame time) has no frame to show.
  if (duration <= 0 || frames <= 0) {
    CloseMediaFile();
    FAborting = true;
    return 0;
  }
  FMediaFrameCount = static_cast<int32_t>(std::min<int64_t>(frames, std::numeric_limits<int32_t>::max()));
  FFrameDuration = static_cast<double>(duration) / 10000000.0 / static_cast<double>(frames) * 1000.0;
  FAborting = false;
  TIOParams* p = GetParams();
  p->SetImageCount(FMediaFrameCount);
  p->FileType = pxftUnknown;
  ClearModified(false);
  p->FileName = FileName;
  int32_t width = 0, height = 0;
  std::string format;
  ds->GetCurrentVideoFormat(width, height, format);
  p->Width = p->OriginalWidth = width;
  p->Height = p->OriginalHeight = height;
  return FMediaFrameCount;
}

bool TPixoranIO::LoadFromMediaFile(int32_t FrameIndex) {
  CheckBitmap();
  TPXIOOperation operation(this);
  if (!FDirectShow || FrameIndex < 0 || FrameIndex >= FMediaFrameCount || !PrepareBitmap({})) return false;
  TIOParams* p = GetParams();
  p->SetImageIndex(FrameIndex);
  FDirectShow->SetPosition(static_cast<int64_t>(FrameIndex) * FFrameTimeStep);
  if (!FDirectShow->GetSample(FBitmap, false)) {
    FAborting = true;  // no frame decoded: the picture stays as it was
    return false;
  }
  p->BitsPerSample = 8;
  p->SamplesPerPixel = 3;
  p->Media_FrameDelay = FFrameDuration;
  UpdateAttached();
  ClearModified(false);
  return true;
}

void TPixoranIO::CloseMediaFile() {
  TPXIOOperation operation(this);
  if (FDirectShow) FDirectShow->Disconnect();
  FDirectShow.reset();
  FMediaFrameCount = 0;
}

// ---------------------------------------------------------------------------------------------
// Capture object

IPXIOMediaReader* TPixoranIO::GetDirectShow() {
  if (!FCapture) {
    FCapture = CreateMediaReader();
    if (FCapture && FAttachedPixoran)
      FCapture->SetNotifyWindow(FAttachedPixoran->WindowHandle(), PXMSG_DSHOW_FRAME, PXMSG_DSHOW_EVENT);
  }
  return FCapture.get();
}

void TPixoranIO::RebindNotifyWindows() {
  if (!FAttachedPixoran || !FCapture) return;
  const HWND window = FAttachedPixoran->WindowHandle();
  if (FCapture->NotifyWindow() != window) FCapture->SetNotifyWindow(window, PXMSG_DSHOW_FRAME, PXMSG_DSHOW_EVENT);
}

// ---------------------------------------------------------------------------------------------
// Acquisition

void TPixoranIO::AcquireImageSink(TPXBitmap* Bitmap, TIOParams*& IOParams, int32_t DpiX, int32_t DpiY) {
  if (!PrepareBitmap({})) return;
  bool handled = false;
  DoAcquireBitmap(Bitmap, DpiX, DpiY, handled);
  if (handled) return;  // the application took the image
  TIOParams* p = GetParams();
  IOParams = p;
  FBitmap->AssignFrom(Bitmap, false);
  // The acquired image's resolution and size, so that AdjustDPI can square its pixels.
  if (DpiX > 0) p->SetDpiX(DpiX);
  if (DpiY > 0) p->SetDpiY(DpiY);
  p->Width = FBitmap->Width();
  p->Height = FBitmap->Height();
  if (FAutoAdjustDPI) AdjustDPI();
  UpdateAttached();
}

void TPixoranIO::DoAcquireBitmap(TPXBitmap* ABitmap, int32_t DpiX, int32_t DpiY, bool& Handled) {
  if (FOnAcquireBitmap) FOnAcquireBitmap(this, ABitmap, DpiX, DpiY, Handled);
}

void TPixoranIO::DoAcquireClose() {
  FAcquisitionState = 0;
  if (FOnAcquireClose) FOnAcquireClose(this);
}

IPXIOWia* TPixoranIO::GetWia() {
  if (!FWia) FWia = CreateWia(this, [this](int32_t per) { return WiaProgress(per); });
  return FWia.get();
}

bool TPixoranIO::WiaProgress(int32_t per) {
  DoProgress(this, per);
  return !FAborting;
}
