// Arbitrary bytes as a GIF file: frames read in full and as a preview, in the native format and
// not, never raises and never allocates past what the data can fill; a preview
// never touches the bitmap; a frame the reader accepts has its parameters' size and a mask of the
// same size, writes back, and reads back at that size. The frame counter agrees with the reader,
// and removing a frame from a copy of the file on disk keeps every other frame.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "codecs/giffilter.h"
#include "codecs/giflzw.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "fuzz/FuzzCodecSupport.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {

struct TRead {
  bool Aborted = true;
  int32_t Count = -1;
};

TRead Read(TStream* Stream, TPXBitmap& Bitmap, TIOParams& Params, int32_t Index, bool Preview, bool Native,
           std::unique_ptr<TPXMask>& Mask) {
  Stream->Seek(0, soBeginning);
  Params.GIF_ImageIndex = Index;
  Params.NativePixelFormat = Native;
  Params.GIF_LZWDecompress = &GifLzwDecode;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitRecord(flag, progress);
  TRead r;
  try {
    DecodeGifStream(Stream, &Bitmap, r.Count, &Params, progress, Preview, Mask, false);
  } catch (...) {
    std::abort();
  }
  r.Aborted = flag;
  return r;
}

std::string TempName() {
  static const std::string name = "/tmp/fuzz_gif_" + std::to_string(::getpid()) + ".gif";
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
  const int32_t frames = GetGifFrameCount(&stream);
  Check(stream.Position() == 0, __LINE__);
  Check(frames >= 0, __LINE__);
  // Frame 0 as a preview and in full; a frame chosen by the last byte in the native format.
  const int32_t chosen = Size > 0 ? Data[Size - 1] % 3 : 0;
  const struct {
    int32_t Index;
    bool Preview, Native;
  } reads[] = {{0, true, false}, {0, false, false}, {chosen, false, true}};
  for (const auto& [index, preview, native] : reads) {
    TPXBitmap bitmap;
    TIOParams params;
    std::unique_ptr<TPXMask> mask;
    const TRead r = Read(&stream, bitmap, params, index, preview, native, mask);
    Check(r.Count >= 0 && r.Count <= frames, __LINE__);
    if (!r.Aborted) Check(r.Count == frames, __LINE__);  // a whole read meets every frame
    if (preview) {
      Check(bitmap.Width() == 0, __LINE__);
      continue;
    }
    if (r.Aborted) continue;
    Check(index < r.Count, __LINE__);
    Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height, __LINE__);
    if (mask) Check(mask->Width() == bitmap.Width() && mask->Height() == bitmap.Height(), __LINE__);
    if (native || int64_t(bitmap.Width()) * bitmap.Height() > 1 << 16) continue;
    // Written back and read again at the same size.
    TMemoryStream out;
    params.GIF_LZWCompress = &GifLzwEncode;
    TPXAbortFlag writeFlag{false};
    TPXProgressRecord writeProgress;
    InitRecord(writeFlag, writeProgress);
    EncodeGifStream(&out, &bitmap, &params, writeProgress);
    Check(!writeFlag, __LINE__);
    TPXBitmap again;
    TIOParams againParams;
    std::unique_ptr<TPXMask> againMask;
    const TRead back = Read(&out, again, againParams, 0, false, false, againMask);
    Check(!back.Aborted && back.Count == 1, __LINE__);
    Check(again.Width() == bitmap.Width() && again.Height() == bitmap.Height(), __LINE__);
  }

  // A frame removed from a copy on disk.
  if (Size < (1 << 16)) {
    const std::string name = TempName();
    SaveBytesToFile(name, Data, int64_t(Size));
    Check(DeleteGifFrame(name, -1, false) == frames, __LINE__);
    const int32_t drop = Size > 0 ? Data[Size - 1] % 4 : 0;
    const int32_t kept = DeleteGifFrame(name, drop, true);
    const bool gif = Size >= 13 && Data[0] == 'G' && Data[1] == 'I' && Data[2] == 'F';
    Check(kept == (gif ? frames - (drop < frames ? 1 : 0) : 0), __LINE__);
    if (gif) Check(DeleteGifFrame(name, -1, false) == kept, __LINE__);
    ::unlink(name.c_str());
  }
  return 0;
}
