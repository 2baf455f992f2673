// The image layer's record tail (magnifier, filter, and the picture as a raw bitmap stream,
// deflated or not, or as an embedded picture file) and the record field readers and writers.
#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxzlib.h"
#include "io/pixoranio.h"
#include "io/pxxBitmaps_params.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------------------------
// Field readers and writers

void ThrowLayerRecordCorrupted() { throw EPXException("PXN File has been corrupted"); }

void TLayerRecordWriter::Guid(const TGUID& Value) {
  Int(static_cast<int32_t>(Value.D1));
  Bytes(&Value.D2, 2);
  Bytes(&Value.D3, 2);
  Bytes(Value.D4, 8);
}

void TLayerRecordWriter::WideString(const std::string& Utf8) {
  const std::u16string wide = Utf8ToUtf16(Utf8);
  Int(static_cast<int32_t>(wide.size()));
  Bytes(wide.data(), 2 * static_cast<int64_t>(wide.size()));
}

void TLayerRecordReader::Bytes(void* Data, int64_t Count) {
  if (Count < 0 || Count > FLimit - FPos) ThrowLayerRecordCorrupted();
  if (Count == 0) return;
  FStream->ReadBuffer(Data, Count);
  FPos += Count;
}

TGUID TLayerRecordReader::Guid() {
  TGUID g;
  g.D1 = static_cast<uint32_t>(Int());
  Bytes(&g.D2, 2);
  Bytes(&g.D3, 2);
  Bytes(g.D4, 8);
  return g;
}

int32_t TLayerRecordReader::Length(int32_t Unit) {
  const int32_t n = Int();
  if (n < 0 || static_cast<int64_t>(n) * Unit > FLimit - FPos) ThrowLayerRecordCorrupted();
  return n;
}

std::string TLayerRecordReader::WideString() {
  const int32_t n = Length(2);
  std::u16string wide(static_cast<size_t>(n), u'\0');
  Bytes(wide.data(), 2 * static_cast<int64_t>(n));
  return Utf16ToUtf8(wide);
}

// ---------------------------------------------------------------------------------------------
// Raw pictures

void LoadLayerRawPicture(TPXBitmap* Bitmap, TStream* Stream, int32_t Count, bool Deflated) {
  // A memory stream's bytes are read in place; any other stream's are copied first.
  const uint8_t* packed = nullptr;
  TBytes copy;
  auto* memory = dynamic_cast<TCustomMemoryStream*>(Stream);
  const int64_t pos = Stream->Position();
  if (memory && pos >= 0 && Count <= memory->Size() - pos) {
    packed = static_cast<const uint8_t*>(memory->Memory()) + pos;
    Stream->SetPosition(pos + Count);
  } else {
    copy.resize(static_cast<size_t>(Count));
    if (Count > 0) Stream->ReadBuffer(copy.data(), Count);
    packed = copy.data();
  }
  if (!Deflated) {
    Bitmap->LoadRawFromStream(packed, Count, nullptr);
    return;
  }
  // The picture inflates straight into the bitmap's rows. Deflate expands at most about 1032
  // times, so a header claiming more than that of the packed bytes is refused before anything
  // is allocated; data that runs short leaves an empty bitmap as the raw reader's other failures.
  TCustomMemoryStream source(packed, Count);
  try {
    TZDecompressionStream inflate(&source);
    Bitmap->LoadRawFromStreamBounded(&inflate, 1100 * static_cast<int64_t>(Count) + 1024);
  } catch (const EZLibError&) {
    ThrowLayerRecordCorrupted();
  }
}

namespace {

// Writes the byte count and the raw bitmap stream straight into the record: the count is known
// beforehand for the raw stream and patched after the deflated one.
void WriteRawPicture(TPXBitmap* Bitmap, TStream* Stream, bool Deflated) {
  TLayerRecordWriter w(Stream);
  if (!Deflated) {
    const int64_t size = Bitmap->RawStreamSize();
    if (size > std::numeric_limits<int32_t>::max()) throw EPXException("The picture is too large for a layer record");
    w.Int(static_cast<int32_t>(size));
    Bitmap->SaveRawToStream(nullptr, Stream, true);
    return;
  }
  const int64_t countPos = Stream->Position();
  w.Int(0);
  {
    TZCompressionStream deflate(Stream, 2);
    Bitmap->SaveRawToStream(nullptr, &deflate, false);
    deflate.Finish();
  }
  const int64_t end = Stream->Position();
  const int64_t size = end - countPos - 4;
  if (size > std::numeric_limits<int32_t>::max()) throw EPXException("The picture is too large for a layer record");
  Stream->SetPosition(countPos);
  w.Int(static_cast<int32_t>(size));
  Stream->SetPosition(end);
}

constexpr int32_t kFormatDeflated = -1;
constexpr int32_t kFormatRaw = -2;
constexpr int32_t kFormatPNG = 8;

}  // namespace

// ---------------------------------------------------------------------------------------------
// TPXImageLayer record tail

void TPXImageLayer::SaveToStream(TStream* Stream, bool ExcludeImage, int32_t Format) {
  if (Format == 1) Format = kFormatPNG;
  const int64_t start = Stream->Position();
  WriteLayerRecordBase(Stream);
  TLayerRecordWriter w(Stream);
  uint8_t magnifier[24] = {};
  magnifier[0] = FMagnifierEnabled != 0 ? 1 : 0;
  std::memcpy(magnifier + 8, &FMagnifierZoom, 8);
  magnifier[16] = FMagnifierShape;
  magnifier[17] = FMagnifierSource;
  w.Bytes(magnifier, sizeof magnifier);
  w.Byte(static_cast<uint8_t>(FImageResampleFilter));
  w.Byte(FImageUseResampleFilter != 0 ? 1 : 0);
  // Every bitmap of at least 1 x 1 is stored.
  const bool hasImage = !ExcludeImage && FBitmap && FBitmap->Width() >= 1 && FBitmap->Height() >= 1;
  w.Byte(hasImage ? 1 : 0);
  w.Int(Format);
  if (hasImage) {
    if (Format == kFormatDeflated || Format == kFormatRaw) {
      WriteRawPicture(FBitmap.get(), Stream, Format == kFormatDeflated);
    } else {
      std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(FBitmap.get());
      TIOParams* params = io->Params();
      switch (FBitmap->PixelFormat()) {
        case px1g:
          params->BitsPerSample = 1;
          params->SamplesPerPixel = 1;
          break;
        case px8g:
          params->BitsPerSample = 8;
          params->SamplesPerPixel = 1;
          params->JPEG_ColorSpace = 1;
          break;
        default:
          params->BitsPerSample = 8;
          params->SamplesPerPixel = 3;
          params->JPEG_ColorSpace = 2;
          break;
      }
      io->SaveToStream(Stream, Format);
    }
  }
  const int64_t end = Stream->Position();
  const int64_t size = end - start;
  if (size > std::numeric_limits<int32_t>::max()) throw EPXException("The picture is too large for a layer record");
  Stream->SetPosition(start);
  w.Int(static_cast<int32_t>(size));
  Stream->SetPosition(end);
  FRecordSize = static_cast<int32_t>(size);
}

void TPXImageLayer::LoadFromStream(TStream* Stream) {
  TLayerUpdatingScope updating(this);
  const int64_t start = Stream->Position();
  ReadLayerRecordBase(Stream);
  const int64_t end = start + FRecordSize;  // checked against the stream by the common part
  TLayerRecordReader r(Stream, end);
  uint8_t magnifier[24];
  r.Bytes(magnifier, sizeof magnifier);
  const uint8_t filter = r.Byte();
  const uint8_t useFilter = r.Byte();
  const uint8_t hasImage = r.Byte();
  const int32_t format = r.Int();
  FMagnifierEnabled = magnifier[0] != 0 ? 1 : 0;
  std::memcpy(&FMagnifierZoom, magnifier + 8, 8);
  FMagnifierShape = magnifier[16];
  FMagnifierSource = magnifier[17];
  FImageResampleFilter = static_cast<TResampleFilter>(filter);
  FImageUseResampleFilter = useFilter != 0 ? 1 : 0;
  if (hasImage != 0) {
    if (!FBitmap) FBitmap = std::make_unique<TPXBitmap>();
    if (format == kFormatDeflated || format == kFormatRaw) {
      const int32_t count = r.Length(1);
      LoadLayerRawPicture(FBitmap.get(), Stream, count, format == kFormatDeflated);
    } else {
      // The picture reader sees only the rest of the record, so it can neither read into the
      // next record nor leave the stream anywhere but at the record's end.
      const int64_t rest = r.Remaining();
      TBytes bytes(static_cast<size_t>(rest));
      r.Bytes(bytes.data(), rest);
      TCustomMemoryStream picture(bytes.data(), rest);
      std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(FBitmap.get());
      io->SetNativePixelFormat(FIsMask != 0);
      io->LoadFromStream(&picture, format);
    }
  }
  Stream->SetPosition(end);
  FModified = 0;
  if (FBitmap) FBitmap->SetModified(false);
}
