// TPXDirectShow: the playback object, here its media-file half. A media file is connected as a
// source; in the paused state each position shows one frame, which the sample grabber keeps and
// GetSample copies into a bitmap. The I/O component uses one per opened media file for single
// frames and one as its capture object, whose frame notifications go to the attached view.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxdefs.h"
#include "io/pixoranio_view.h"

class TPXBitmap;
class TVideoFile;

// Time formats of SetTimeFormat and GetTimeFormat.
inline constexpr int32_t PXTIME_FORMAT_NONE = 0;
inline constexpr int32_t PXTIME_FORMAT_FRAME = 1;
inline constexpr int32_t PXTIME_FORMAT_MEDIA_TIME = 5;

// The sample grabber's subtypes (MEDIASUBTYPE_RGB24 and MEDIASUBTYPE_RGB32).
inline constexpr TGUID PXMEDIASUBTYPE_RGB24{0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr TGUID PXMEDIASUBTYPE_RGB32{0xE436EB7E, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

class TPXDirectShow : public IPXIOMediaReader {
 public:
  TPXDirectShow();
  ~TPXDirectShow() override;

  // --- configuration, set before Connect ---------------------------------------------------
  const std::string& SourceFileName() const { return FSourceFileName; }
  void SetSourceFileName(const std::string& FileName) override { FSourceFileName = FileName; }
  bool GrabFrames() const { return FGrabFrames; }
  void SetGrabFrames(bool Value) override { FGrabFrames = Value; }
  // The frame layout asked of the sample grabber: RGB24 or RGB32 (the default).
  TGUID GrabberSubtype() const { return FGrabberSubtype; }
  void SetGrabberSubtype(const TGUID& Value) { FGrabberSubtype = Value; }

  // --- graph ---------------------------------------------------------------------------------
  // Opens the source file; a file that cannot be played leaves the object unconnected.
  void Connect() override;
  void Disconnect() override;
  bool GetConnected() override;
  // Shows the frame at the current position and keeps it in the grabber.
  void Pause() override;
  // 0 stopped, 1 paused.
  int32_t GetState();
  // Code 5 always; code 1 only where the container counts frames (else the format stays).
  void SetTimeFormat(int32_t Code) override;
  // 0 without a file.
  int32_t GetTimeFormat() override;
  int64_t GetDuration() override;
  int64_t GetCurrentPosition();
  // Moves to Position and shows the frame there; a notify window hears of it
  // (frame message, wParam 0, lParam the object) while frame notification is armed.
  void SetPosition(int64_t Position) override;
  // The connected video's size; the name stays empty (no stream configuration for files).
  void GetCurrentVideoFormat(int32_t& Width, int32_t& Height, std::string& FormatName) override;
  // The file's frame time, else the distance of its first two frames' times (100-ns units).
  int64_t GetAverageTimePerFrame() override;
  // The grabbed frame into Bitmap; false without one (Bitmap unchanged).
  bool GetSample(TPXBitmap* Bitmap, bool ResizeBack) override;
  // Buffer: a bottom-up frame of the grabber's layout and Size bytes, or nil for the grabber's
  // own. Bitmap becomes px24RGB of the video's size. False (Bitmap unchanged) without a grabbed
  // frame or when Buffer is too small for the frame.
  bool CopyGrabbedFrame(const uint8_t* Buffer, int64_t Size, TPXBitmap* Bitmap);
  void SetNotifyWindow(HWND Window, uint32_t FrameMessage, uint32_t EventMessage) override;
  HWND NotifyWindow() override { return FNotifyWindow; }
  uint32_t FrameMessage() const { return FFrameMessage; }
  uint32_t EventMessage() const { return FEventMessage; }

  // Cleared by the view while it handles a frame, so that frames arriving meanwhile are dropped.
  bool FrameNotificationArmed = true;
  // Set by the view when it takes the end of the stream.
  bool EndOfStream = false;

 private:
  int32_t GrabberBitCount() const;

  std::string FSourceFileName;
  bool FGrabFrames = false;
  TGUID FGrabberSubtype = PXMEDIASUBTYPE_RGB32;
  std::unique_ptr<TVideoFile> FVideo;
  std::vector<uint8_t> FFrameBuffer;  // the grabbed frame, bottom-up rows
  bool FHaveSample = false;
  int32_t FState = 0;
  int32_t FTimeFormat = PXTIME_FORMAT_MEDIA_TIME;
  int64_t FPosition = 0;  // media time
  HWND FNotifyWindow = nullptr;
  uint32_t FFrameMessage = 0;
  uint32_t FEventMessage = 0;
};

// Registers the media-file reader and the WIA object as the I/O component's factories.
void RegisterAcquisitionUnit();
