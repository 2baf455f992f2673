// The deflate streams and the one-shot inflater.
#include "core/pxzlib.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr const char* kInvalidOperation = "Invalid ZStream operation!";
constexpr int kLevels[4] = {0, 1, Z_DEFAULT_COMPRESSION, 9};

// The result, or the side's exception with zlib's text when it is negative.
template <class E>
int Check(int Result) {
  if (Result < 0) throw E(ZResultText(Result));
  return Result;
}

}  // namespace

const char* ZResultText(int Code) {
  switch (Code) {
    case Z_NEED_DICT: return "need dictionary";
    case Z_STREAM_END: return "stream end";
    case Z_OK: return "";
    case Z_ERRNO: return "file error";
    case Z_STREAM_ERROR: return "stream error";
    case Z_DATA_ERROR: return "data error";
    case Z_MEM_ERROR: return "insufficient memory";
    case Z_BUF_ERROR: return "buffer error";
    case Z_VERSION_ERROR: return "incompatible version";
    default: return "";
  }
}

// ---------------------------------------------------------------------------------------------
// TCustomZStream

TCustomZStream::TCustomZStream(TStream* Stream) : FStream(Stream), FStreamPos(Stream->Position()) {}

void TCustomZStream::Progress() {
  if (FOnProgress) FOnProgress(this);
}

// ---------------------------------------------------------------------------------------------
// TZCompressionStream

TZCompressionStream::TZCompressionStream(TStream* Dest, uint8_t Level, int32_t) : TCustomZStream(Dest) {
  if (Level > 3) throw EZCompressionError(ZResultText(Z_STREAM_ERROR));
  FZRec.next_out = FBuffer;
  FZRec.avail_out = kBufferSize;
  Check<EZCompressionError>(deflateInit(&FZRec, kLevels[Level]));
}

TZCompressionStream::~TZCompressionStream() {
  if (!FFinished) {
    try {
      Finish();
    } catch (...) {
      // A destructor cannot report; callers that must know call Finish themselves.
    }
  }
  deflateEnd(&FZRec);
}

void TZCompressionStream::WriteOut(int32_t Count) {
  if (Count > 0) FStream->WriteBuffer(FBuffer, Count);
  FStreamPos += Count;
  FZRec.next_out = FBuffer;
  FZRec.avail_out = kBufferSize;
}

int32_t TZCompressionStream::Write(const void* Buffer, int32_t Count) {
  if (FFinished) throw EZCompressionError(kInvalidOperation);
  if (Count <= 0) return 0;
  FZRec.next_in = static_cast<Bytef*>(const_cast<void*>(Buffer));
  FZRec.avail_in = static_cast<uInt>(Count);
  if (FStream->Position() != FStreamPos) FStream->Seek(FStreamPos, soBeginning);
  while (FZRec.avail_in > 0) {
    Check<EZCompressionError>(deflate(&FZRec, Z_NO_FLUSH));
    if (FZRec.avail_out == 0) {
      WriteOut(kBufferSize);
      Progress();
    }
  }
  FZRec.next_in = nullptr;
  return Count;
}

int32_t TZCompressionStream::Read(void*, int32_t) { throw EZCompressionError(kInvalidOperation); }

int64_t TZCompressionStream::Seek(int64_t, TSeekOrigin) { return static_cast<int64_t>(FZRec.total_in); }

void TZCompressionStream::Finish() {
  if (FFinished) return;
  FFinished = true;  // a failure below is reported once, not again at destruction
  FZRec.next_in = nullptr;
  FZRec.avail_in = 0;
  if (FStream->Position() != FStreamPos) FStream->Seek(FStreamPos, soBeginning);
  while (Check<EZCompressionError>(deflate(&FZRec, Z_FINISH)) != Z_STREAM_END)
    WriteOut(kBufferSize - static_cast<int32_t>(FZRec.avail_out));
  WriteOut(kBufferSize - static_cast<int32_t>(FZRec.avail_out));
}

// ---------------------------------------------------------------------------------------------
// TZDecompressionStream

TZDecompressionStream::TZDecompressionStream(TStream* Source)
    : TCustomZStream(Source), FStartPos(FStreamPos), FMemorySource(dynamic_cast<TCustomMemoryStream*>(Source)) {
  FZRec.next_in = FBuffer;
  FZRec.avail_in = 0;
  Check<EZDecompressionError>(inflateInit(&FZRec));
}

TZDecompressionStream::~TZDecompressionStream() { inflateEnd(&FZRec); }

// Inflates from the memory source's bytes where they lie, as many as zlib takes in one call:
// copying them through the transfer buffer would also cut every call's output short, and
// inflate is markedly slower in small pieces.
int32_t TZDecompressionStream::ReadInPlace(int32_t Count) {
  constexpr int64_t kMaxInput = int64_t{1} << 30;
  while (FZRec.avail_out > 0 && FLastResult != Z_STREAM_END) {
    // Memory and size are asked afresh: the source may have changed between reads.
    const int64_t size = FMemorySource->Size();
    if (FStreamPos < 0 || FStreamPos >= size) break;
    const auto avail = static_cast<uInt>(std::min(size - FStreamPos, kMaxInput));
    FZRec.next_in = static_cast<Bytef*>(FMemorySource->Memory()) + FStreamPos;
    FZRec.avail_in = avail;
    const int r = inflate(&FZRec, Z_NO_FLUSH);
    const int64_t before = FStreamPos - FStartPos;
    FStreamPos += avail - FZRec.avail_in;
    FZRec.next_in = FBuffer;
    FZRec.avail_in = 0;
    for (int64_t n = (FStreamPos - FStartPos) / kBufferSize - before / kBufferSize; n > 0; --n) Progress();
    FLastResult = Check<EZDecompressionError>(r);
    // No dictionary is ever supplied: waiting for one would spin.
    if (FLastResult == Z_NEED_DICT) throw EZDecompressionError(ZResultText(Z_NEED_DICT));
  }
  FStream->Seek(FStreamPos, soBeginning);
  return Count - static_cast<int32_t>(FZRec.avail_out);
}

int32_t TZDecompressionStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0) return 0;
  FZRec.next_out = static_cast<Bytef*>(Buffer);
  FZRec.avail_out = static_cast<uInt>(Count);
  if (FMemorySource) {
    const int32_t done = ReadInPlace(Count);
    FZRec.next_out = nullptr;
    FZRec.avail_out = 0;
    return done;
  }
  if (FStream->Position() != FStreamPos) FStream->Seek(FStreamPos, soBeginning);
  while (FZRec.avail_out > 0 && FLastResult != Z_STREAM_END) {
    if (FZRec.avail_in == 0) {
      const int32_t got = FStream->Read(FBuffer, kBufferSize);
      if (got <= 0) break;
      FZRec.next_in = FBuffer;
      FZRec.avail_in = static_cast<uInt>(got);
      FStreamPos += got;
      Progress();
    }
    FLastResult = Check<EZDecompressionError>(inflate(&FZRec, Z_NO_FLUSH));
    // No dictionary is ever supplied: waiting for one would spin.
    if (FLastResult == Z_NEED_DICT) throw EZDecompressionError(ZResultText(Z_NEED_DICT));
  }
  if (FLastResult == Z_STREAM_END && FZRec.avail_in > 0) {
    // Leave the source right after the compressed data.
    FStreamPos -= FZRec.avail_in;
    FStream->Seek(FStreamPos, soBeginning);
    FZRec.avail_in = 0;
    FZRec.next_in = FBuffer;
  }
  const int32_t done = Count - static_cast<int32_t>(FZRec.avail_out);
  FZRec.next_out = nullptr;
  FZRec.avail_out = 0;
  return done;
}

int32_t TZDecompressionStream::Write(const void*, int32_t) { throw EZDecompressionError(kInvalidOperation); }

void TZDecompressionStream::Skip(int64_t Count) {
  uint8_t scrap[8192];
  while (Count > 0) {
    const auto piece = static_cast<int32_t>(std::min<int64_t>(Count, sizeof scrap));
    ReadBuffer(scrap, piece);
    Count -= piece;
  }
}

int64_t TZDecompressionStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const auto delivered = static_cast<int64_t>(FZRec.total_out);
  if (Origin == soBeginning && Offset == 0) {
    Check<EZDecompressionError>(inflateReset(&FZRec));
    FZRec.next_in = FBuffer;
    FZRec.avail_in = 0;
    FLastResult = Z_OK;
    FStreamPos = FStartPos;
    FStream->Seek(FStreamPos, soBeginning);
  } else if (Origin == soBeginning && Offset == delivered) {
    // Already there.
  } else if (Origin == soCurrent && Offset >= 0) {
    Skip(Offset);
  } else if (Origin == soBeginning && Offset > delivered) {
    Skip(Offset - delivered);
  } else if (Origin == soEnd && Offset == 0) {
    uint8_t scrap[8192];
    while (Read(scrap, sizeof scrap) > 0) {
    }
  } else {
    throw EZDecompressionError(kInvalidOperation);
  }
  return static_cast<int64_t>(FZRec.total_out);
}

// ---------------------------------------------------------------------------------------------
// ZDecompressBuffer

int32_t ZDecompressDelta(int32_t InSize) {
  const int64_t rounded = (static_cast<int64_t>(std::max(InSize, 0)) + 255) / 256 * 256;
  return static_cast<int32_t>(std::clamp<int64_t>(rounded, 256, std::numeric_limits<int32_t>::max() / 256 * 256));
}

namespace {

// Owns an inflate state for the one-shot routine.
struct TInflater {
  z_stream z{};
  bool open = false;
  ~TInflater() {
    if (open) inflateEnd(&z);
  }
};

}  // namespace

void ZDecompressBuffer(const void* InBuffer, int32_t InSize, TBytes& OutBuffer, int32_t& OutSize,
                       int32_t OutEstimate) {
  OutBuffer.clear();
  OutSize = 0;
  constexpr int64_t kMaxOut = std::numeric_limits<int32_t>::max();
  const int32_t delta = ZDecompressDelta(InSize);
  // Deflate expands at most about 1032:1, so an estimate beyond that is no reason to allocate.
  const int64_t bound = std::min<int64_t>(static_cast<int64_t>(std::max(InSize, 0)) * 1032 + delta, kMaxOut);
  int64_t size = OutEstimate > 0 ? std::min<int64_t>(OutEstimate, bound) : delta;
  TBytes out(static_cast<size_t>(size));

  TInflater inf;
  inf.z.next_in = static_cast<Bytef*>(const_cast<void*>(InBuffer));
  inf.z.avail_in = static_cast<uInt>(std::max(InSize, 0));
  Check<EZDecompressionError>(inflateInit(&inf.z));
  inf.open = true;
  for (;;) {
    inf.z.next_out = out.data() + inf.z.total_out;
    inf.z.avail_out = static_cast<uInt>(size - static_cast<int64_t>(inf.z.total_out));
    const int r = inflate(&inf.z, Z_NO_FLUSH);
    if (r == Z_STREAM_END) break;
    // Partial output is no success: corrupt data, a preset dictionary or a short input raise.
    if (r == Z_NEED_DICT) throw EZDecompressionError(ZResultText(Z_NEED_DICT));
    Check<EZDecompressionError>(r);
    if (size + delta > kMaxOut) throw EZDecompressionError(ZResultText(Z_MEM_ERROR));
    size += delta;
    out.resize(static_cast<size_t>(size));
  }
  const auto total = static_cast<int64_t>(inf.z.total_out);
  inf.open = false;
  Check<EZDecompressionError>(inflateEnd(&inf.z));
  out.resize(static_cast<size_t>(total));
  out.shrink_to_fit();
  OutBuffer = std::move(out);
  OutSize = static_cast<int32_t>(total);
}

void ZDecompressToBuffer(const void* InBuffer, int32_t InSize, TBytes& OutBuffer, int32_t& OutSize,
                         int32_t OutEstimate) {
  ZDecompressBuffer(InBuffer, InSize, OutBuffer, OutSize, OutEstimate);
}
