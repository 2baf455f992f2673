// The library's stream adapters and small streams: buffered reading and writing over another
// stream, a stream offered as an interface, a file stream with the library's open modes, a
// read-only stream over a caller's memory and a stream that only counts.
// Part of the utilities unit; include core/hypxutils.h. Definitions: hypxutils_streams.cpp.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/hypxdefs.h"
#include "platform/rtl/Classes.h"

// A read-only stream that reads ahead into a buffer, so that byte-by-byte readers do not call
// the source for every byte. With RelativeOrigin, the source's position at creation counts as
// position 0. The source is not owned; on destruction it is left at the logical position, so
// it continues exactly after what was consumed. A buffer size of 0 passes everything through.
class TPXBufferedReadStream : public TStream {
 public:
  TPXBufferedReadStream(TStream* Stream, int32_t BufferSize, bool RelativeOrigin);
  ~TPXBufferedReadStream() override;

  // Reads past the end are cut to what is left and set EndReached; never raises for that.
  int32_t Read(void* Buffer, int32_t Count) override {
    if (Count == 1 && FBufferIndex < FBufferFill) {  // the byte-by-byte readers' path
      *static_cast<uint8_t*>(Buffer) = FBuffer[FBufferIndex++];
      ++FPosition;
      FEndReached = false;
      return 1;
    }
    return ReadMore(Buffer, Count);
  }
  // Raises EPXException "TPXBufferedReadStream cannot write!".
  int32_t Write(const void* Buffer, int32_t Count) override;
  // From the end, a positive and a negative offset both count back from the end. A seek inside
  // the buffered bytes does not touch the source. Returns the position relative to the origin.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  // The source's size at creation, less the origin.
  int64_t Size() override;
  // The last read or seek hit the end.
  bool EndReached() const { return FEndReached; }

 private:
  int32_t ReadMore(void* Buffer, int32_t Count);
  void FillBuffer();

  TStream* FStream;
  std::vector<uint8_t> FBuffer;
  int32_t FBufferSize;
  int64_t FPosition;         // absolute source position of the next byte
  int32_t FBufferIndex = 0;  // index of the next byte in the buffer
  int32_t FBufferFill = 0;   // bytes the buffer holds
  int64_t FSize;             // the source's size at creation
  int64_t FOrigin;
  bool FEndReached = false;
};

// A write-only stream that collects writes and hands them to the destination (not owned) in
// pieces of the buffer's size. Destruction flushes, but cannot report a failing destination:
// callers that must know call Flush first.
class TPXBufferedWriteStream : public TStream {
 public:
  TPXBufferedWriteStream(TStream* Stream, int32_t BufferSize);
  ~TPXBufferedWriteStream() override;

  // Returns Count; a short write of the destination raises EWriteError.
  int32_t Write(const void* Buffer, int32_t Count) override;
  // Raises EPXException "TPXBufferedWriteStream cannot read!".
  int32_t Read(void* Buffer, int32_t Count) override;
  // Flushes, then the destination's own seek.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  void Flush();

 private:
  TStream* FStream;
  std::vector<uint8_t> FBuffer;
  int32_t FBufferSize;
  int32_t FFill = 0;
};

// A stream offered as an interface to code that wants one (the JPEG 2000 and camera-raw
// readers). Every operation returns a result code (PX_S_OK, or PX_E_FAIL when the stream
// raised) and its value through the reference.
inline constexpr int32_t PX_S_OK = 0;
inline constexpr int32_t PX_E_FAIL = static_cast<int32_t>(0x80004005u);

class IPXStreamProvider {
 public:
  virtual ~IPXStreamProvider() = default;
  virtual int32_t GetSize(int64_t& Size) = 0;
  // Origin 0 from the beginning, 1 from the current position, 2 from the end; others ignored.
  virtual int32_t Seek(int64_t Offset, int32_t Origin) = 0;
  virtual int32_t GetPosition(int64_t& Position) = 0;
  // Done: the bytes transferred, 0 when the stream raised.
  virtual int32_t Read(void* Buffer, int64_t Count, int64_t& Done) = 0;
  virtual int32_t Write(const void* Buffer, int64_t Count, int64_t& Done) = 0;
  // The next byte (0..255), or -1 at the end or on an error.
  virtual int32_t ReadByte(int32_t& Value) = 0;
  // -1 when the position equals the size, else 0.
  virtual int32_t IsEOF(int32_t& Value) = 0;
};

// IPXStreamProvider over a TStream it does not own; shared through std::shared_ptr.
class TPXVCLStreamProvider : public IPXStreamProvider {
 public:
  explicit TPXVCLStreamProvider(TStream* Stream) : FStream(Stream) {}
  int32_t GetSize(int64_t& Size) override;
  int32_t Seek(int64_t Offset, int32_t Origin) override;
  int32_t GetPosition(int64_t& Position) override;
  int32_t Read(void* Buffer, int64_t Count, int64_t& Done) override;
  int32_t Write(const void* Buffer, int64_t Count, int64_t& Done) override;
  int32_t ReadByte(int32_t& Value) override;
  int32_t IsEOF(int32_t& Value) override;

 private:
  TStream* FStream;
};

// A file stream with the library's open modes. Mode $FFFF creates the file anew (read and
// write); any other Mode opens an existing file: access from the low two bits (0 read, 1 write,
// 2 read and write, 3 invalid), sharing from bits 4..7 (up to $40; larger is invalid). Raises
// EFCreateError "Cannot create file \"%s\". %s" or EFOpenError "Cannot open file \"%s\". %s"
// with the full path and the system's message.
class TPXWideFileStream : public TFileStream {
 public:
  TPXWideFileStream(std::string_view FileName, uint16_t Mode);
};

// A read-only stream over a block the caller owns and keeps alive: writing writes nothing and
// returns 0, setting the size does nothing.
class TPXMemStream : public TCustomMemoryStream {
 public:
  TPXMemStream(const void* Buffer, int64_t Size) : TCustomMemoryStream(Buffer, Size) {}
  int32_t Write(const void* Buffer, int32_t Count) override;
  void SetSize(int64_t NewSize) override;
};

// A stream that holds no data and only counts: reading and writing advance the position (and
// the size with it) by Count. Writing a picture to it measures the encoded size.
class TNulStream : public TStream {
 public:
  TNulStream() = default;
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  // From the end the position becomes Size - |Offset| and the size stays.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return FSize; }

 private:
  void Advance(int64_t Count);
  int64_t FPosition = 0;
  int64_t FSize = 0;
};
