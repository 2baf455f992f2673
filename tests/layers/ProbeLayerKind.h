// A small layer kind for the tests of the kind framework: one byte and one integer of its own,
// written in its record tail and under the key "PXLP_Probe", copied by Assign and exchanged by
// SwapLayerContents. It registers under a kind number no real kind uses.
#pragma once

#include <memory>
#include <string>

#include "layers/pxxLayers.h"
#include "layers/pxxLayers_kinds.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/rtl/SysUtils.h"

inline constexpr TPXLayerKind kProbeKind = static_cast<TPXLayerKind>(9);

class TProbeLayer : public TPXLayer {
 public:
  explicit TProbeLayer(IPXLayerOwner* Owner) : TPXLayer(Owner, kProbeKind) {
    SetUpdating(true);
    SetDefaults();
    SetWidthD(40);
    SetHeightD(30);
    SetUpdating(false);
  }
  static std::unique_ptr<TPXLayer> New(IPXLayerOwner* Owner) { return std::make_unique<TProbeLayer>(Owner); }

  uint8_t Flag = 0;
  int32_t Probe = 0;

  void RenderContent(std::unique_ptr<TPXBitmap>&, int32_t, int32_t, bool, bool, bool, uint8_t, int32_t) override {}

 protected:
  void WriteRecordTail(TStream* Stream) override {
    TLayerRecordWriter w(Stream);
    w.Byte(Flag);
    w.Int(Probe);
  }
  void ReadRecordTail(TStream* Stream, int32_t, int64_t RecordEnd) override {
    TLayerRecordReader r(Stream, RecordEnd);
    const uint8_t flag = r.Byte();
    const int32_t probe = r.Int();
    Flag = flag;
    Probe = probe;
  }
  void KindPropertiesToStrings(TStrings* Lines) override { AddLayerProperty(Lines, "Probe", IntToStr(Probe)); }
  bool SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) override {
    Handled = LayerKeyIs(Key, "Probe");
    return !Handled || LayerValueToInt(Value, Probe);
  }
  void AssignContent(TPXLayer* Source) override {
    if (auto* p = dynamic_cast<TProbeLayer*>(Source)) {
      Flag = p->Flag;
      Probe = p->Probe;
    }
  }
  void SwapContent(TPXLayer* Other) override {
    auto* p = static_cast<TProbeLayer*>(Other);
    std::swap(Flag, p->Flag);
    std::swap(Probe, p->Probe);
  }
};

// Registers the probe kind for a scope and restores what was there.
class TProbeKindScope {
 public:
  TProbeKindScope() : FOld(RegisterLayerKind(kProbeKind, &TProbeLayer::New)) {}
  ~TProbeKindScope() { RegisterLayerKind(kProbeKind, FOld); }
  TProbeKindScope(const TProbeKindScope&) = delete;
  TProbeKindScope& operator=(const TProbeKindScope&) = delete;

 private:
  TPXLayerFactory FOld;
};
