// The layer kind registry and the record of the kinds that write a tail after the common part.
#include "layers/pxxLayers_kinds.h"

#include <array>
#include <limits>
#include <string>

#include "layers/pxxLayers_recordio.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

namespace {

std::array<TPXLayerFactory, 256>& Factories() {
  static std::array<TPXLayerFactory, 256> table{};
  return table;
}

}  // namespace

TPXLayerFactory RegisterLayerKind(TPXLayerKind Kind, TPXLayerFactory Factory) {
  TPXLayerFactory& slot = Factories()[static_cast<size_t>(Kind)];
  const TPXLayerFactory old = slot;
  slot = Factory;
  return old;
}

TPXLayerFactory LayerKindFactory(TPXLayerKind Kind) { return Factories()[static_cast<size_t>(Kind)]; }

std::unique_ptr<TPXLayer> NewLayerOfKind(TPXLayerKind Kind, IPXLayerOwner* Owner) {
  const TPXLayerFactory factory = LayerKindFactory(Kind);
  if (!factory) throw Exception("Layer insertion error - Invalid Type: " + std::to_string(static_cast<int32_t>(Kind)));
  return factory(Owner);
}

std::unique_ptr<TPXLayer> NewImageLayer(IPXLayerOwner* Owner) { return std::make_unique<TPXImageLayer>(Owner); }

// Each kind registers in its own group of lines.
void RegisterLayerKinds() {
  RegisterLayerKind(pxlkImage, &NewImageLayer);

  RegisterLayerKind(pxlkShape, &NewShapeLayer);

  // line, polyline, angle
  RegisterLayerKind(pxlkLine, &NewLineLayer);
  RegisterLayerKind(pxlkPolyline, &NewPolylineLayer);
  RegisterLayerKind(pxlkAngle, &NewAngleLayer);

  // text
  RegisterLayerKind(pxlkText, &NewTextLayer);
}

// ---------------------------------------------------------------------------------------------
// The record of kinds with a plain tail

void TPXLayer::SaveToStream(TStream* Stream, bool /*ExcludeImage*/, int32_t /*Format*/) {
  const int64_t start = Stream->Position();
  WriteLayerRecordBase(Stream);
  WriteRecordTail(Stream);
  const int64_t end = Stream->Position();
  const int64_t size = end - start;
  if (size > std::numeric_limits<int32_t>::max()) throw EPXException("The layer is too large for a layer record");
  Stream->SetPosition(start);
  TLayerRecordWriter(Stream).Int(static_cast<int32_t>(size));
  Stream->SetPosition(end);
  FRecordSize = static_cast<int32_t>(size);
}

void TPXLayer::LoadFromStream(TStream* Stream) {
  TLayerUpdatingScope updating(this);
  const int64_t start = Stream->Position();
  const int32_t version = ReadLayerRecordBase(Stream);
  const int64_t end = start + FRecordSize;  // checked against the stream by the common part
  ReadRecordTail(Stream, version, end);
  Stream->SetPosition(end);
  FModified = 0;
}
