// The layer property vocabulary: writing a layer's keys and setting them by key; the common keys
// and those of image layers (the other kinds add theirs through their kind hooks).
#include "layers/pxxLayers_props.h"

#include <algorithm>
#include <cctype>

#include "core/hypxutils.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_angle.h"
#include "platform/rtl/Classes_lists.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

namespace {

bool KeyIs(const std::string& Key, const char* Name) {
  const std::string full = std::string("PXLP_") + Name;
  return Key.size() == full.size() &&
         std::equal(Key.begin(), Key.end(), full.begin(), [](char a, char b) {
           return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
         });
}

}  // namespace

bool LayerKeyIs(const std::string& Key, const char* Name) { return KeyIs(Key, Name); }

bool LayerValueToBool(const std::string& Value) {
  std::string v = Value;
  for (char& c : v) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return v == "1" || v == "TRUE" || v == "T";
}

bool LayerValueToInt(const std::string& Value, int32_t& Result) { return TryStrToInt(Value, Result); }

bool LayerValueToReal(const std::string& Value, double& Result) { return TryStrToFloat(Value, Result); }

bool LayerValueToColor(const std::string& Value, TColor& Result) {
  if (Value == "-1") {
    Result = Random(255) | (Random(255) << 8) | (Random(255) << 16);
    return true;
  }
  if (Value == "-2") {
    Result = (105 + Random(150)) | ((105 + Random(150)) << 8) | ((105 + Random(150)) << 16);
    return true;
  }
  if (TIdentToInt ident = FindIdentToInt(TypeInfo_TColor())) {
    int64_t v = 0;
    if (ident(Value, v)) {
      Result = static_cast<TColor>(v);
      return true;
    }
  }
  int32_t v = 0;
  if (!TryStrToInt(Value, v)) return false;
  Result = v;
  return true;
}

std::string LayerColorToText(TColor Value) {
  if (TIntToIdent ident = FindIntToIdent(TypeInfo_TColor())) {
    std::string name;
    if (ident(Value, name)) return name;
  }
  return "$" + IntToHex(static_cast<uint32_t>(Value), 8);
}

std::string LayerBoolToText(bool Value) { return Value ? "True" : "False"; }

void AddLayerProperty(TStrings* Lines, const char* Name, const std::string& Value) {
  Lines->Add(std::string("PXLP_") + Name + Lines->NameValueSeparator() + Value);
}

namespace {

bool ToBool(const std::string& Value) { return LayerValueToBool(Value); }
bool ToInt(const std::string& Value, int32_t& Result) { return LayerValueToInt(Value, Result); }
bool ToReal(const std::string& Value, double& Result) { return LayerValueToReal(Value, Result); }
bool ToColor(const std::string& Value, TColor& Result) { return LayerValueToColor(Value, Result); }

}  // namespace

bool SetLayerPropertyValue(TPXLayer* L, const std::string& Key, const std::string& Value) {
  int32_t i = 0;
  double d = 0;
  TColor c = 0;
  if (KeyIs(Key, "LAYER_CACHE_CLEAR")) {
    L->InvalidateCache();
    return true;
  }
  // The kind's keys come first, so a kind may claim a common key for itself.
  bool handled = false;
  const bool converted = L->SetKindProperty(Key, Value, handled);
  if (handled) return converted;
  if (KeyIs(Key, "Width")) {
    if (!ToInt(Value, i)) return false;
    L->SetWidth(i);
  } else if (KeyIs(Key, "Height")) {
    if (!ToInt(Value, i)) return false;
    L->SetHeight(i);
  } else if (KeyIs(Key, "PosX")) {
    if (!ToInt(Value, i)) return false;
    L->SetPosX(i);
  } else if (KeyIs(Key, "PosY")) {
    if (!ToInt(Value, i)) return false;
    L->SetPosY(i);
  } else if (KeyIs(Key, "Visible")) {
    L->FVisible = ToBool(Value);
  } else if (KeyIs(Key, "VisibleBox")) {
    L->FVisibleBox = ToBool(Value);
  } else if (KeyIs(Key, "Selectable")) {
    L->FSelectable = ToBool(Value);
  } else if (KeyIs(Key, "Transparency")) {
    if (!ToInt(Value, i)) return false;
    L->FTransparency = i;
  } else if (KeyIs(Key, "Opacity")) {
    if (!ToReal(Value, d)) return false;
    L->FOpacity = d;
  } else if (KeyIs(Key, "FillOpacity")) {
    if (!ToReal(Value, d)) return false;
    L->FFillOpacity = d;
  } else if (KeyIs(Key, "Cropped")) {
    L->FCropped = ToBool(Value);
  } else if (KeyIs(Key, "Locked")) {
    L->FLocked = ToBool(Value);
  } else if (KeyIs(Key, "Operation")) {
    if (!ToInt(Value, i)) return false;
    L->FOperation = static_cast<uint8_t>(i);
  } else if (KeyIs(Key, "Name")) {
    L->FName = Value;
  } else if (KeyIs(Key, "IsMask")) {
    L->FIsMask = ToBool(Value);
  } else if (KeyIs(Key, "MaskInverted")) {
    L->FMaskInverted = ToBool(Value);
  } else if (KeyIs(Key, "DrawOuter")) {
    L->FDrawOuter = ToBool(Value);
  } else if (KeyIs(Key, "AlphaEdgeFeathering")) {
    if (!ToInt(Value, i)) return false;
    L->FAlphaEdgeFeathering = i;
  } else if (KeyIs(Key, "GroupIndex")) {
    if (!ToInt(Value, i)) return false;
    L->FGroupIndex = i;
  } else if (KeyIs(Key, "Selected")) {
    L->FSelected = ToBool(Value);
  } else if (KeyIs(Key, "AspectRatioLocked")) {
    L->SetAspectRatioLocked(ToBool(Value));
  } else if (KeyIs(Key, "BorderColor")) {
    if (!ToColor(Value, c)) return false;
    L->FBorderColor = c;
  } else if (KeyIs(Key, "BorderWidth")) {
    if (!ToInt(Value, i)) return false;
    L->FBorderWidth = i;
  } else if (KeyIs(Key, "FillColor")) {
    if (!ToColor(Value, c)) return false;
    L->FFillColor = c;
  } else if (KeyIs(Key, "FillColor2")) {
    if (!ToColor(Value, c)) return false;
    L->FFillColor2 = c;
  } else if (KeyIs(Key, "FillGradient")) {
    if (!ToInt(Value, i)) return false;
    L->FFillGradient = static_cast<uint8_t>(i);
  } else if (KeyIs(Key, "AntiAlias")) {
    L->FAntiAlias = ToBool(Value);
  } else if (KeyIs(Key, "Rotate")) {
    if (!ToReal(Value, d)) return false;
    L->SetRotate(d);
  } else if (KeyIs(Key, "RotateCenterX")) {
    if (!ToReal(Value, d)) return false;
    L->FRotateCenterX = d;
  } else if (KeyIs(Key, "RotateCenterY")) {
    if (!ToReal(Value, d)) return false;
    L->FRotateCenterY = d;
  } else if (KeyIs(Key, "RestorePreferredAspectRatio")) {
    L->RestoreAspectRatio(true);
  } else if (KeyIs(Key, "RestoreAspectRatio")) {
    L->RestoreAspectRatio(false);
  } else if (KeyIs(Key, "SoftShadowEnabled")) {
    L->FSoftShadow->Enabled = ToBool(Value);
  } else if (KeyIs(Key, "SoftShadowRadius")) {
    if (!ToReal(Value, d)) return false;
    L->FSoftShadow->Radius = d;
  } else if (KeyIs(Key, "SoftShadowOffsetX")) {
    if (!ToInt(Value, i)) return false;
    L->FSoftShadow->OffsetX = i;
  } else if (KeyIs(Key, "SoftShadowOffsetY")) {
    if (!ToInt(Value, i)) return false;
    L->FSoftShadow->OffsetY = i;
  } else if (KeyIs(Key, "SoftShadowIntensity")) {
    if (!ToInt(Value, i)) return false;
    L->FSoftShadow->Intensity = i;
  } else if (KeyIs(Key, "SoftShadowColor")) {
    if (!ToColor(Value, c)) return false;
    L->FSoftShadow->Color = TColorToRGB(c);
  }
  return true;
}

bool TPXImageLayer::SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) {
  Handled = true;
  int32_t i = 0;
  if (KeyIs(Key, "ImageResampleFilter")) {
    if (!ToInt(Value, i)) return false;
    FImageResampleFilter = static_cast<TResampleFilter>(i);
  } else if (KeyIs(Key, "ImageUseResampleFilter")) {
    FImageUseResampleFilter = ToBool(Value);
  } else if (KeyIs(Key, "RestoreSize")) {
    RestoreSize();
  } else {
    Handled = false;
  }
  return true;
}

void TPXImageLayer::KindPropertiesToStrings(TStrings* Lines) {
  AddLayerProperty(Lines, "ImageResampleFilter", IntToStr(static_cast<int32_t>(FImageResampleFilter)));
  AddLayerProperty(Lines, "ImageUseResampleFilter", LayerBoolToText(FImageUseResampleFilter != 0));
}

void LayerPropertiesToStrings(TPXLayer* L, TStrings* Lines) {
  if (!Lines) return;
  Lines->Clear();
  if (!L) return;
  auto add = [Lines](const char* Name, const std::string& Value) { AddLayerProperty(Lines, Name, Value); };
  auto real = [](double Value) { return FloatToStr(Value); };
  if (const auto* angle = dynamic_cast<const TPXAngleLayer*>(L)) {
    // An angle layer's position and size keys address its measuring box, without the margins.
    const TPXAngleBox& box = angle->InnerBox();
    add("Width", IntToStr(Round32(box.Width)));
    add("Height", IntToStr(Round32(box.Height)));
    add("PosX", IntToStr(Round32(box.X)));
    add("PosY", IntToStr(Round32(box.Y)));
  } else {
    add("Width", IntToStr(L->GetWidth()));
    add("Height", IntToStr(L->GetHeight()));
    add("PosX", IntToStr(L->GetPosX()));
    add("PosY", IntToStr(L->GetPosY()));
  }
  add("Visible", LayerBoolToText(L->FVisible));
  add("VisibleBox", LayerBoolToText(L->FVisibleBox));
  add("Selectable", LayerBoolToText(L->FSelectable));
  add("Transparency", IntToStr(L->FTransparency));
  add("Opacity", real(L->FOpacity));
  add("FillOpacity", real(L->FFillOpacity));
  add("Cropped", LayerBoolToText(L->FCropped));
  add("Locked", LayerBoolToText(L->FLocked));
  add("Operation", IntToStr(L->FOperation));
  add("Name", L->FName);
  add("IsMask", LayerBoolToText(L->FIsMask));
  add("MaskInverted", LayerBoolToText(L->FMaskInverted));
  add("DrawOuter", LayerBoolToText(L->FDrawOuter));
  add("AlphaEdgeFeathering", IntToStr(L->FAlphaEdgeFeathering));
  add("GroupIndex", IntToStr(L->FGroupIndex));
  add("Selected", LayerBoolToText(L->FSelected));
  add("AspectRatioLocked", LayerBoolToText(L->FAspectRatioLocked));
  add("BorderColor", LayerColorToText(L->BorderColor()));
  add("BorderWidth", IntToStr(L->BorderWidth()));
  add("FillColor", LayerColorToText(L->FillColor()));
  add("FillColor2", LayerColorToText(L->FFillColor2));
  add("FillGradient", IntToStr(L->FFillGradient));
  add("AntiAlias", LayerBoolToText(L->FAntiAlias));
  add("Rotate", real(L->FRotate));
  if (L->FKind == pxlkImage) {
    add("RotateCenterX", real(L->FRotateCenterX));
    add("RotateCenterY", real(L->FRotateCenterY));
  }
  const TPXVSoftShadow* shadow = L->FSoftShadow.get();
  const TPXVSoftShadow none;
  if (!shadow) shadow = &none;
  add("SoftShadowEnabled", LayerBoolToText(shadow->Enabled));
  add("SoftShadowRadius", real(shadow->Radius));
  add("SoftShadowOffsetX", IntToStr(shadow->OffsetX));
  add("SoftShadowOffsetY", IntToStr(shadow->OffsetY));
  add("SoftShadowIntensity", IntToStr(shadow->Intensity));
  add("SoftShadowColor", LayerColorToText(RGBToTColor(shadow->Color.r, shadow->Color.g, shadow->Color.b)));
  L->KindPropertiesToStrings(Lines);
}

void SetLayerPropertyByKey(TPXLayer* Layer, const std::string& Key, const std::string& Value) {
  if (!Layer) return;
  const std::string key = Trim(Key), value = Trim(Value);
  if (key.empty()) return;
  if (SetLayerPropertyValue(Layer, key, value)) Layer->Changed(true);
}

void LayerPropertiesFromStrings(TPXLayer* Layer, TStrings* Lines) {
  if (!Layer || !Lines) return;
  const char sep = Lines->NameValueSeparator();
  for (int32_t i = 0; i < Lines->Count(); ++i) {
    const std::string line = Lines->Strings(i);
    const size_t at = line.find(sep);
    if (at == std::string::npos) continue;
    SetLayerPropertyByKey(Layer, line.substr(0, at), line.substr(at + 1));
  }
}
