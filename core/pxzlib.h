// Deflate streams on zlib: TZCompressionStream compresses what is written to it into a target
// stream, TZDecompressionStream inflates from a source stream on reading, and ZDecompressBuffer
// inflates a whole memory buffer. The data is the zlib format (header, deflate data, checksum).
#pragma once

#include <zlib.h>

#include <cstdint>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

PX_DECLARE_EXCEPTION(EZLibError, Exception);
PX_DECLARE_EXCEPTION(EZCompressionError, EZLibError);
PX_DECLARE_EXCEPTION(EZDecompressionError, EZLibError);

// zlib's text for a result code: "need dictionary", "stream end", "" (0), "file error",
// "stream error", "data error", "insufficient memory", "buffer error", "incompatible version".
const char* ZResultText(int Code);

// The common part of both streams: the target or source (not owned), the position in it where
// the next transfer must happen, the zlib state and a 64 KiB transfer buffer inside the object.
class TCustomZStream : public TStream {
 public:
  static constexpr int32_t kBufferSize = 65536;

  // Fired after each full buffer transfer, with this stream as sender.
  const TNotifyEvent& OnProgress() const { return FOnProgress; }
  void SetOnProgress(TNotifyEvent Value) { FOnProgress = std::move(Value); }

 protected:
  explicit TCustomZStream(TStream* Stream);
  void Progress();

  TStream* FStream;
  int64_t FStreamPos;  // where the next transfer to or from FStream happens
  TNotifyEvent FOnProgress;
  z_stream FZRec{};
  uint8_t FBuffer[kBufferSize];
};

// Compresses everything written into Dest. Level 0 stores, 1 is fastest, 2 zlib's default,
// 3 best; another level raises EZCompressionError "stream error". WindowBits is ignored (zlib's
// default window). Position and Size read the bytes written so far; setting them does nothing.
// The output is complete once Finish ran; destruction finishes a stream that was not, but can
// report no error then.
class TZCompressionStream : public TCustomZStream {
 public:
  TZCompressionStream(TStream* Dest, uint8_t Level = 2, int32_t WindowBits = 15);
  ~TZCompressionStream() override;

  // Returns Count; a short write of Dest raises EWriteError.
  int32_t Write(const void* Buffer, int32_t Count) override;
  // Raises EZCompressionError "Invalid ZStream operation!".
  int32_t Read(void* Buffer, int32_t Count) override;
  // Ignores both arguments; returns the bytes written so far.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  // Ends the zlib stream and writes its tail to Dest; later calls do nothing.
  void Finish();

 private:
  void WriteOut(int32_t Count);
  bool FFinished = false;
};

// Inflates from Source on reading. After the zlib stream's end, Source is left right after the
// compressed data and reads return 0. Data asking for a preset dictionary raises "need
// dictionary"; corrupt data "data error". A memory stream as Source is inflated from in place
// (no transfer buffer; OnProgress fires for each kBufferSize bytes consumed) and is left after
// the bytes consumed at the end of every read.
class TZDecompressionStream : public TCustomZStream {
 public:
  explicit TZDecompressionStream(TStream* Source);
  ~TZDecompressionStream() override;

  // Returns the bytes delivered; fewer when Source runs dry before the stream ends.
  int32_t Read(void* Buffer, int32_t Count) override;
  // Raises EZDecompressionError "Invalid ZStream operation!".
  int32_t Write(const void* Buffer, int32_t Count) override;
  // Offset 0 from the beginning rewinds to where the stream was created; forward seeks read and
  // discard (EReadError when the data ends first); offset 0 from the end reads to the end; a
  // seek to the current position does nothing; anything else raises "Invalid ZStream
  // operation!". Returns the bytes delivered so far.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;

 private:
  void Skip(int64_t Count);
  int32_t ReadInPlace(int32_t Count);
  int64_t FStartPos;
  TCustomMemoryStream* FMemorySource;  // Source when it is a memory stream, else nil
  int FLastResult = Z_OK;
};

// The growth step of ZDecompressBuffer for InSize input bytes: InSize rounded up to a multiple
// of 256 (at least 256).
int32_t ZDecompressDelta(int32_t InSize);
// Inflates InSize bytes at InBuffer into OutBuffer (OutSize bytes). The output starts at
// OutEstimate bytes (0: the growth step) and grows by the step. Corrupt data, a preset
// dictionary, input that ends before the stream and output beyond 2 GiB raise
// EZDecompressionError with zlib's text; OutBuffer is then empty.
void ZDecompressBuffer(const void* InBuffer, int32_t InSize, TBytes& OutBuffer, int32_t& OutSize,
                       int32_t OutEstimate);
void ZDecompressToBuffer(const void* InBuffer, int32_t InSize, TBytes& OutBuffer, int32_t& OutSize,
                         int32_t OutEstimate);
