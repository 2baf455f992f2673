// Arbitrary bytes as TIFF, PCX and JPEG stream loads with stream headers: the readers (stand-ins
// that consume whatever they are given) never see bytes past a header's length or the stream's
// end, a load either fails with the abort flag or leaves the stream where the header says, and
// nothing crashes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/hypxutils_streams.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"

namespace {

int64_t g_limit = 0;  // bytes the reader may see

int32_t ConsumeAll(TStream* Stream, TPXBitmap* Bitmap, TIOParams*, TPXProgressRecord& Progress, bool,
                   std::unique_ptr<TPXMask>&) {
  uint8_t buffer[256];
  int64_t total = 0;
  for (int32_t n; (n = Stream->Read(buffer, sizeof buffer)) > 0;) total += n;
  if (total > g_limit) std::abort();
  if (total == 0) {
    if (Progress.Aborting) *Progress.Aborting = true;
    return 0;
  }
  Bitmap->Allocate(1, 1, px24RGB);
  return 1;
}

void Setup() {
  static bool done = false;
  if (done) return;
  done = true;
  for (TPXFileType t : {pxftTIFF, pxftPCX, pxftJPEG}) {
    TPXFormatRow row;
    row.Decode = &ConsumeAll;
    RegisterFormatRow(t, row);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  Setup();
  TPXMemStream stream(Data, static_cast<int64_t>(Size));
  auto io = std::make_unique<TPixoranIO>(nullptr);
  io->SetStreamHeaders(true);
  for (int kind = 0; kind < 3; ++kind) {
    stream.Seek(0, soBeginning);
    // A header of this kind bounds the reader by its length.
    static const char* const kTags[] = {"TIFF", "PCX2", "JFIF"};
    g_limit = static_cast<int64_t>(Size);
    if (Size >= 12 && std::memcmp(Data, kTags[kind], 4) == 0 && Data[4] == 0) {
      const int64_t length = static_cast<int32_t>(Data[8] | (Data[9] << 8) | (Data[10] << 16) |
                                                  (static_cast<uint32_t>(Data[11]) << 24));
      if (length >= 0 && length <= static_cast<int64_t>(Size) - 12) g_limit = length;
    }
    bool ok = false;
    if (kind == 0) ok = io->LoadFromStreamTiff(&stream) >= 0;
    else if (kind == 1) ok = io->LoadFromStreamPcx(&stream);
    else ok = io->LoadFromStreamJpeg(&stream);
    if (ok == io->Aborting()) std::abort();
    const int64_t pos = stream.Position();
    if (pos < 0 || pos > static_cast<int64_t>(Size)) std::abort();
  }
  return 0;
}
