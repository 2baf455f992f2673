// Setting layer properties by key: the common keys and those of image layers.
#include "layers/pxxLayers_props.h"

#include <algorithm>
#include <cctype>

#include "core/hypxutils.h"
#include "layers/pxxLayers.h"
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

bool ToBool(const std::string& Value) {
  std::string v = Value;
  for (char& c : v) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return v == "1" || v == "TRUE" || v == "T";
}

bool ToInt(const std::string& Value, int32_t& Result) { return TryStrToInt(Value, Result); }

bool ToReal(const std::string& Value, double& Result) { return TryStrToFloat(Value, Result); }

// A colour name or number, as colour properties are written; -1 a random colour, -2 a random
// light colour.
bool ToColor(const std::string& Value, TColor& Result) {
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

// A colour as its name, else "$" and eight hexadecimal digits.
std::string ColorText(TColor Value) {
  std::string name;
  if (TIntToIdent ident = FindIntToIdent(TypeInfo_TColor()); ident && ident(Value, name)) return name;
  return Format("$%.8X", static_cast<uint32_t>(Value));
}

std::string BoolText(bool Value) { return Value ? "True" : "False"; }

}  // namespace

void LayerPropertiesToStrings(TPXLayer* L, TStrings* Lines) {
  if (!Lines) return;
  Lines->BeginUpdate();
  Lines->Clear();
  if (L) {
    auto add = [&](const char* Key, const std::string& Value) { Lines->Add(std::string("PXLP_") + Key + "=" + Value); };
    add("Width", IntToStr(L->GetWidth()));
    add("Height", IntToStr(L->GetHeight()));
    add("PosX", IntToStr(L->GetPosX()));
    add("PosY", IntToStr(L->GetPosY()));
    add("Visible", BoolText(L->Visible()));
    add("VisibleBox", BoolText(L->VisibleBox()));
    add("Selectable", BoolText(L->Selectable()));
    add("Transparency", IntToStr(L->Transparency()));
    add("Opacity", FloatToStr(L->Opacity()));
    add("FillOpacity", FloatToStr(L->FillOpacity()));
    add("Cropped", BoolText(L->Cropped()));
    add("Locked", BoolText(L->Locked()));
    add("Operation", IntToStr(L->Operation()));
    add("Name", L->Name());
    add("IsMask", BoolText(L->IsMask()));
    add("MaskInverted", BoolText(L->MaskInverted()));
    add("DrawOuter", BoolText(L->DrawOuter()));
    add("AlphaEdgeFeathering", IntToStr(L->AlphaEdgeFeathering()));
    add("GroupIndex", IntToStr(L->GroupIndex()));
    add("Selected", BoolText(L->Selected()));
    add("AspectRatioLocked", BoolText(L->AspectRatioLocked()));
    add("BorderColor", ColorText(L->FBorderColor));
    add("BorderWidth", IntToStr(L->FBorderWidth));
    add("FillColor", ColorText(L->FFillColor));
    add("FillColor2", ColorText(L->FillColor2()));
    add("FillGradient", IntToStr(L->FillGradient()));
    add("AntiAlias", BoolText(L->AntiAlias()));
    add("Rotate", FloatToStr(L->Rotate()));
    const bool image = dynamic_cast<TPXImageLayer*>(L) != nullptr;
    if (image) {
      add("RotateCenterX", FloatToStr(L->RotateCenterX()));
      add("RotateCenterY", FloatToStr(L->RotateCenterY()));
    }
    const TPXVSoftShadow* shadow = L->SoftShadow();
    add("SoftShadowEnabled", BoolText(shadow->Enabled != 0));
    add("SoftShadowRadius", FloatToStr(shadow->Radius));
    add("SoftShadowOffsetX", IntToStr(shadow->OffsetX));
    add("SoftShadowOffsetY", IntToStr(shadow->OffsetY));
    add("SoftShadowIntensity", IntToStr(shadow->Intensity));
    add("SoftShadowColor", ColorText(RGBToTColor(shadow->Color.r, shadow->Color.g, shadow->Color.b)));
    if (image) {
      add("ImageResampleFilter", IntToStr(static_cast<int32_t>(L->ImageResampleFilter())));
      add("ImageUseResampleFilter", BoolText(L->ImageUseResampleFilter()));
    }
  }
  Lines->EndUpdate();
}

bool SetLayerPropertyValue(TPXLayer* L, const std::string& Key, const std::string& Value) {
  int32_t i = 0;
  double d = 0;
  TColor c = 0;
  if (KeyIs(Key, "LAYER_CACHE_CLEAR")) {
    L->InvalidateCache();
  } else if (KeyIs(Key, "Width")) {
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
  } else if (auto* image = dynamic_cast<TPXImageLayer*>(L)) {
    if (KeyIs(Key, "ImageResampleFilter")) {
      if (!ToInt(Value, i)) return false;
      L->FImageResampleFilter = static_cast<TResampleFilter>(i);
    } else if (KeyIs(Key, "ImageUseResampleFilter")) {
      L->FImageUseResampleFilter = ToBool(Value);
    } else if (KeyIs(Key, "RestoreSize")) {
      image->RestoreSize();
    }
  }
  return true;
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
