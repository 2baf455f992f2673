// Buffered streams, the stream provider, the library's file stream, the read-only memory stream
// and the counting stream.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "core/hypxutils.h"

namespace {

// A + B without overflow (saturating at the int64 limits).
int64_t SatAdd(int64_t A, int64_t B) {
  int64_t r = 0;
  if (__builtin_add_overflow(A, B, &r)) return B > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TPXBufferedReadStream

TPXBufferedReadStream::TPXBufferedReadStream(TStream* Stream, int32_t BufferSize, bool RelativeOrigin)
    : FStream(Stream), FBufferSize(std::max<int32_t>(BufferSize, 0)) {
  FPosition = FStream->Position();
  FOrigin = RelativeOrigin ? FPosition : 0;
  FSize = FStream->Size();
  FBuffer.resize(static_cast<size_t>(FBufferSize));
  // The buffer is filled by the first read, so a stream made and dropped costs nothing.
}

TPXBufferedReadStream::~TPXBufferedReadStream() {
  if (FBufferSize == 0) return;  // pass-through: the source already stands where it should
  try {
    FStream->Seek(FPosition, soBeginning);
  } catch (...) {
    // A destructor cannot report; the source keeps whatever position it has.
  }
}

void TPXBufferedReadStream::FillBuffer() {
  FBufferIndex = 0;
  FBufferFill = 0;
  const int64_t want = std::min<int64_t>(FSize - FPosition, FBufferSize);
  if (want <= 0) return;
  FStream->Seek(FPosition, soBeginning);
  // A source that turns out shorter than its size at creation simply yields fewer bytes.
  FBufferFill = std::max<int32_t>(FStream->Read(FBuffer.data(), static_cast<int32_t>(want)), 0);
}

int32_t TPXBufferedReadStream::ReadMore(void* Buffer, int32_t Count) {
  if (FBufferSize == 0) {
    const int32_t got = FStream->Read(Buffer, Count);
    if (got > 0) FPosition += got;
    FEndReached = got < Count;
    return got;
  }
  FEndReached = false;
  if (Count <= 0) return 0;
  if (Count > FSize - FPosition) {
    FEndReached = true;
    Count = static_cast<int32_t>(std::max<int64_t>(FSize - FPosition, 0));
  }
  auto* out = static_cast<uint8_t*>(Buffer);
  int32_t done = 0;
  while (done < Count) {
    if (FBufferIndex >= FBufferFill) {
      FillBuffer();
      if (FBufferFill == 0) {  // the source ran dry early
        FEndReached = true;
        break;
      }
    }
    const int32_t piece = std::min(Count - done, FBufferFill - FBufferIndex);
    std::memcpy(out + done, FBuffer.data() + FBufferIndex, static_cast<size_t>(piece));
    FBufferIndex += piece;
    FPosition += piece;
    done += piece;
  }
  return done;
}

int32_t TPXBufferedReadStream::Write(const void*, int32_t) {
  throw EPXException("TPXBufferedReadStream cannot write!");
}

int64_t TPXBufferedReadStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  if (FBufferSize == 0) {
    const int64_t target = Origin == soBeginning ? SatAdd(FOrigin, Offset) : Offset;
    FEndReached = false;
    FPosition = FStream->Seek(target, Origin);
    return FPosition - FOrigin;
  }
  FEndReached = false;
  int64_t target = FPosition;
  switch (Origin) {
    case soBeginning: target = SatAdd(FOrigin, Offset); break;
    case soCurrent: target = SatAdd(FPosition, Offset); break;
    case soEnd:
      target = FSize - (Offset == std::numeric_limits<int64_t>::min() ? FSize : std::min(std::abs(Offset), FSize));
      break;
  }
  if (target < 0) target = 0;
  if (target >= FSize) {
    target = FSize;
    FEndReached = true;
  }
  const int64_t index = FBufferIndex + (target - FPosition);
  if (index >= 0 && index < FBufferFill) {
    FBufferIndex = static_cast<int32_t>(index);
  } else {
    FBufferIndex = 0;  // the next read refills at the new position
    FBufferFill = 0;
  }
  FPosition = target;
  return FPosition - FOrigin;
}

int64_t TPXBufferedReadStream::Size() { return FBufferSize == 0 ? FStream->Size() - FOrigin : FSize - FOrigin; }

// ---------------------------------------------------------------------------------------------
// TPXBufferedWriteStream

TPXBufferedWriteStream::TPXBufferedWriteStream(TStream* Stream, int32_t BufferSize)
    : FStream(Stream), FBufferSize(std::max<int32_t>(BufferSize, 0)) {
  FBuffer.resize(static_cast<size_t>(FBufferSize));
}

TPXBufferedWriteStream::~TPXBufferedWriteStream() {
  try {
    Flush();
  } catch (...) {
    // A destructor cannot report; callers that must know call Flush themselves.
  }
}

int32_t TPXBufferedWriteStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  if (FBufferSize == 0) {
    FStream->WriteBuffer(Buffer, Count);
    return Count;
  }
  const auto* in = static_cast<const uint8_t*>(Buffer);
  int32_t done = 0;
  while (done < Count) {
    const int32_t piece = std::min(Count - done, FBufferSize - FFill);
    std::memcpy(FBuffer.data() + FFill, in + done, static_cast<size_t>(piece));
    FFill += piece;
    done += piece;
    if (FFill == FBufferSize) Flush();
  }
  return Count;
}

int32_t TPXBufferedWriteStream::Read(void*, int32_t) {
  throw EPXException("TPXBufferedWriteStream cannot read!");
}

int64_t TPXBufferedWriteStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  Flush();
  return FStream->Seek(Offset, Origin);
}

void TPXBufferedWriteStream::Flush() {
  if (FFill == 0) return;
  const int32_t n = FFill;
  FFill = 0;  // a failing destination loses the bytes once, not again at destruction
  FStream->WriteBuffer(FBuffer.data(), n);
}

// ---------------------------------------------------------------------------------------------
// TPXVCLStreamProvider

namespace {

// Runs F; PX_E_FAIL when it raises.
template <class F>
int32_t Guarded(F&& f) {
  try {
    f();
    return PX_S_OK;
  } catch (const std::exception&) {
    return PX_E_FAIL;
  }
}

// Moves Count bytes in pieces of at most 1 GiB: Piece(Offset, Size) moves Size bytes at Offset
// and returns how many it moved; a short piece ends the run. Returns the bytes moved.
template <class F>
int64_t InPieces(int64_t Count, F&& Piece) {
  int64_t done = 0;
  while (done < Count) {
    const auto size = static_cast<int32_t>(std::min<int64_t>(Count - done, 1 << 30));
    const int32_t moved = Piece(done, size);
    if (moved <= 0) break;
    done += moved;
    if (moved < size) break;
  }
  return done;
}

}  // namespace

int32_t TPXVCLStreamProvider::GetSize(int64_t& Size) {
  Size = 0;
  return Guarded([&] { Size = FStream->Size(); });
}

int32_t TPXVCLStreamProvider::Seek(int64_t Offset, int32_t Origin) {
  return Guarded([&] {
    switch (Origin) {
      case 0: FStream->Seek(Offset, soBeginning); break;
      case 1: FStream->Seek(Offset, soCurrent); break;
      case 2: FStream->Seek(Offset, soEnd); break;
      default: break;
    }
  });
}

int32_t TPXVCLStreamProvider::GetPosition(int64_t& Position) {
  Position = 0;
  return Guarded([&] { Position = FStream->Position(); });
}

int32_t TPXVCLStreamProvider::Read(void* Buffer, int64_t Count, int64_t& Done) {
  Done = 0;
  int64_t done = 0;
  const int32_t r = Guarded([&] {
    auto* p = static_cast<uint8_t*>(Buffer);
    done = InPieces(Count, [&](int64_t At, int32_t Size) { return FStream->Read(p + At, Size); });
  });
  if (r == PX_S_OK) Done = done;
  return r;
}

int32_t TPXVCLStreamProvider::Write(const void* Buffer, int64_t Count, int64_t& Done) {
  Done = 0;
  int64_t done = 0;
  const int32_t r = Guarded([&] {
    const auto* p = static_cast<const uint8_t*>(Buffer);
    done = InPieces(Count, [&](int64_t At, int32_t Size) { return FStream->Write(p + At, Size); });
  });
  if (r == PX_S_OK) Done = done;
  return r;
}

int32_t TPXVCLStreamProvider::ReadByte(int32_t& Value) {
  Value = -1;
  return Guarded([&] {
    uint8_t b = 0;
    if (FStream->Read(&b, 1) == 1) Value = b;
  });
}

int32_t TPXVCLStreamProvider::IsEOF(int32_t& Value) {
  Value = 0;
  return Guarded([&] { Value = FStream->Position() == FStream->Size() ? -1 : 0; });
}

// ---------------------------------------------------------------------------------------------
// TPXWideFileStream

namespace {

// The run-time mode for the library's mode; raises the open error for an invalid one.
uint16_t RuntimeMode(std::string_view FileName, uint16_t Mode) {
  if (Mode == 0xFFFF) return fmCreate;
  if ((Mode & 3) == 3 || (Mode & 0xF0) > 0x40)
    throw EFOpenError(Format("Cannot open file \"%s\". %s", ExpandFileName(FileName), SysErrorMessage(EINVAL)));
  return static_cast<uint16_t>(Mode & 0xF3);
}

}  // namespace

TPXWideFileStream::TPXWideFileStream(std::string_view FileName, uint16_t Mode)
    : TFileStream(FileName, RuntimeMode(FileName, Mode)) {}

// ---------------------------------------------------------------------------------------------
// TPXMemStream and TNulStream

int32_t TPXMemStream::Write(const void*, int32_t) { return 0; }

void TPXMemStream::SetSize(int64_t) {}

void TNulStream::Advance(int64_t Count) {
  FPosition = SatAdd(FPosition, Count);
  if (FPosition > FSize) FSize = FPosition;
}

int32_t TNulStream::Read(void*, int32_t Count) {
  if (Count <= 0) return 0;
  Advance(Count);
  return Count;
}

int32_t TNulStream::Write(const void*, int32_t Count) {
  if (Count <= 0) return 0;
  Advance(Count);
  return Count;
}

int64_t TNulStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  switch (Origin) {
    case soBeginning:
      FPosition = Offset;
      if (FPosition > FSize) FSize = FPosition;
      break;
    case soCurrent: Advance(Offset); break;
    case soEnd:
      FPosition = Offset == std::numeric_limits<int64_t>::min() ? std::numeric_limits<int64_t>::min()
                                                                 : FSize - std::abs(Offset);
      break;
  }
  return FPosition;
}
