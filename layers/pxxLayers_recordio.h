// Little-endian field readers and writers of the layer records, shared by the common part and
// the kinds' tails. The reader never reads past its limit (the record's end, at most the
// stream's end): a field or length that does not fit raises "PXN File has been corrupted"
// before anything is allocated for it.
#pragma once

#include <cstdint>
#include <string>

#include "core/hypxdefs.h"
#include "layers/pxxLayers.h"
#include "platform/rtl/Classes.h"

class TPXBitmap;

[[noreturn]] void ThrowLayerRecordCorrupted();

// The size of a record's common part at Version.
int32_t LayerRecordCommonSize(int32_t Version);

// Loads Bitmap from the raw bitmap stream of Count bytes at Stream's position (deflated when
// Deflated); Count must already be known to fit in the stream. Data that does not inflate
// raises "PXN File has been corrupted"; a raw stream the bitmap refuses leaves it empty.
void LoadLayerRawPicture(TPXBitmap* Bitmap, TStream* Stream, int32_t Count, bool Deflated);

class TLayerRecordWriter {
 public:
  explicit TLayerRecordWriter(TStream* Stream) : FStream(Stream) {}
  void Bytes(const void* Data, int64_t Count) {
    if (Count > 0) FStream->WriteBuffer(Data, Count);
  }
  void Byte(uint8_t Value) { Bytes(&Value, 1); }
  void Int(int32_t Value) { Bytes(&Value, 4); }
  void Double(double Value) { Bytes(&Value, 8); }
  void Guid(const TGUID& Value);
  // int32 count of UTF-16 code units, then the units.
  void WideString(const std::string& Utf8);

 private:
  TStream* FStream;
};

class TLayerRecordReader {
 public:
  // Reads from Stream's position up to Limit (an absolute stream position).
  TLayerRecordReader(TStream* Stream, int64_t Limit) : FStream(Stream), FPos(Stream->Position()), FLimit(Limit) {}
  int64_t Position() const { return FPos; }
  int64_t Limit() const { return FLimit; }
  void SetLimit(int64_t Value) { FLimit = Value; }
  int64_t Remaining() const { return FLimit - FPos; }
  void Bytes(void* Data, int64_t Count);
  uint8_t Byte() {
    uint8_t v = 0;
    Bytes(&v, 1);
    return v;
  }
  int32_t Int() {
    int32_t v = 0;
    Bytes(&v, 4);
    return v;
  }
  double Double() {
    double v = 0;
    Bytes(&v, 8);
    return v;
  }
  TGUID Guid();
  // An int32 count of Unit-byte items that must be >= 0 and fit before the limit.
  int32_t Length(int32_t Unit);
  std::string WideString();

 private:
  TStream* FStream;
  int64_t FPos;
  int64_t FLimit;
};

// Sets the layer's Updating flag for a scope and clears it on every path.
class TLayerUpdatingScope {
 public:
  explicit TLayerUpdatingScope(TPXLayer* Layer) : FLayer(Layer) { Layer->SetUpdating(true); }
  ~TLayerUpdatingScope() { FLayer->SetUpdating(false); }
  TLayerUpdatingScope(const TLayerUpdatingScope&) = delete;
  TLayerUpdatingScope& operator=(const TLayerUpdatingScope&) = delete;

 private:
  TPXLayer* FLayer;
};
