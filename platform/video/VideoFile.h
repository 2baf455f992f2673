// Single frames of video files, decoded through FFmpeg (libavformat, libavcodec, libswscale).
// This is the only code that calls FFmpeg. The file is read through a TStream handed in, never
// through FFmpeg's own protocols: nothing inside a file can make the reader open another file or
// reach the network. Frames come out as device-independent bitmap rows (bottom-up, blue-green-red,
// rows padded to 32 bits), the layout the library's video sources hand on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TStream;

// The longest frame side the reader accepts (wider or taller streams and frames are refused).
inline constexpr int32_t PXVideoMaxSide = 16384;

// The video library's users: AVIFileInit counts one more (and sets FFmpeg's logging quiet),
// AVIFileExit one less. Each AVIFileInit is paired with one AVIFileExit.
void AVIFileInit();
void AVIFileExit();
int32_t AVIFileUsers();

// Bytes of one DIB row of Width pixels at BitCount bits, padded to 32 bits.
int64_t VideoDibRowBytes(int32_t Width, int32_t BitCount);

class TVideoFile {
 public:
  // Opens the first video stream of Stream (read from offset 0; the object owns the stream) and
  // decodes its first frame. Nil when Stream holds no video the reader can decode, or frames over
  // PXVideoMaxSide a side; Error (when given) then says why.
  static std::unique_ptr<TVideoFile> Open(std::unique_ptr<TStream> Stream, std::string* Error = nullptr);
  ~TVideoFile();
  TVideoFile(const TVideoFile&) = delete;
  TVideoFile& operator=(const TVideoFile&) = delete;

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  // The frame rate as Rate / Scale frames per second (Rate 0: the file gives none).
  int32_t Rate() const { return FRate; }
  int32_t Scale() const { return FScale; }
  // The frames the container's header counts; 0 when the container counts none (MPEG streams).
  int64_t FrameCount() const { return FFrameCount; }
  // The time from the first frame's start to the last frame's end in 100-ns units (0 unknown).
  int64_t Duration() const { return FDuration; }
  // The frame time the file declares, 100-ns units (0 when it declares none).
  int64_t AvgTimePerFrame() const { return FAvgTimePerFrame; }
  // The distance of the first two frames' times, 100-ns units (0 when there are no two frames).
  int64_t MeasureTimePerFrame();
  // The container's short name ("avi", "mpeg", "asf"...).
  const std::string& FormatName() const { return FFormatName; }

  // Decodes frame Index (0 the first; frame i is the one shown at i frame times) and keeps it,
  // so that ReadFrame of that index only converts it. False when the index lies outside the
  // video or the frame cannot be decoded.
  bool DecodeFrame(int64_t Index);
  // Decodes frame Index into Bits: Height() rows of Width() pixels bottom-up (the last row
  // first), Stride bytes apart (negative: the rows run top-down from the end), 24-bit (blue,
  // green, red) or 32-bit (blue, green, red, 0) by BitCount. False (Bits untouched or partly
  // written) when the index lies outside the video, the frame cannot be decoded or BitCount is
  // neither.
  bool ReadFrame(int64_t Index, int32_t BitCount, uint8_t* Bits, int64_t Stride);
  // The frame starting nearest to Time (100-ns units from the first frame's start).
  int64_t FrameIndexAt(int64_t Time) const;
  // Frame Index as a packed 24-bit DIB (40-byte header, then the rows); empty on failure.
  std::vector<uint8_t> ReadFrameDIB(int64_t Index);

 private:
  struct TState;
  explicit TVideoFile(std::unique_ptr<TState> State);
  bool Setup(std::string& Error);
  // Decodes forward until the frame of number Index; Seek first unless the decoder stands before
  // it. Leaves the frame in the state's frame.
  bool DecodeTo(int64_t Index);
  bool SeekBefore(int64_t Index, int64_t Backoff);
  bool KeyFrameAfter(int64_t From, int64_t To);
  // The next decoded frame and its number; false at the end or on an error.
  bool NextFrame(int64_t& Number);
  bool ScanDuration();

  std::unique_ptr<TState> FState;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int32_t FRate = 0;
  int32_t FScale = 1;
  int64_t FFrameCount = 0;
  int64_t FDuration = 0;
  int64_t FAvgTimePerFrame = 0;
  std::string FFormatName;
};
