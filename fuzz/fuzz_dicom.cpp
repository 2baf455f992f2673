// Arbitrary bytes as a DICOM file, read header-only and in full with each window mode and a frame
// index from the data, then under each transfer syntax (the bytes after a fixed meta header): the
// reader never raises, a preview never touches the bitmap, a decoded picture has the parameters'
// size, and frame counting restores the position.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "codecs/pxdicom.h"
#include "core/pxxBitmaps.h"
#include "fuzz/FuzzCodecSupport.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {

void ReadOnce(const uint8_t* Data, size_t Size, bool Preview, uint8_t Range, int32_t Index) {
  TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
  TPXBitmap bitmap;
  TIOParams params;
  params.DICOM_Range = Range;
  params.ImageIndex = Index;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitRecord(flag, progress);
  try {
    DecodeDicomStream(&stream, &params, &bitmap, Preview, progress);
  } catch (...) {
    std::abort();
  }
  if (Preview) {
    Check(bitmap.Width() == 0, __LINE__);
    return;
  }
  if (!flag && !bitmap.IsEmpty()) Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height, __LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  {
    TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
    Check(HasDicomSignature(&stream) == HasDicomSignature(&stream) && stream.Position() == 0, __LINE__);
    GetDicomStreamFrameCount(&stream);
    Check(stream.Position() == 0, __LINE__);
  }
  const uint8_t pick = Size > 0 ? Data[Size - 1] : 0;
  ReadOnce(Data, Size, true, 0, 0);
  ReadOnce(Data, Size, false, uint8_t(pick % 3), (pick >> 2) % 4);
  // The same bytes as the data set of a file of each transfer syntax.
  const std::string syntax = DicomTransferSyntaxTable()[pick % 11];
  std::string file(128, '\0');
  file += "DICM";
  const auto element = [&](uint16_t G, uint16_t E, const char* VR, const std::string& Value) {
    file += {char(G & 0xFF), char(G >> 8), char(E & 0xFF), char(E >> 8), VR[0], VR[1]};
    file += {char(Value.size() & 0xFF), char(Value.size() >> 8)};
    file += Value;
  };
  std::string text = syntax;
  if (text.size() % 2) text.push_back('\0');
  element(0x0002, 0x0010, "UI", text);
  file.append(reinterpret_cast<const char*>(Data), Size);
  ReadOnce(reinterpret_cast<const uint8_t*>(file.data()), file.size(), false, uint8_t((pick >> 4) % 3), 0);
  return 0;
}
