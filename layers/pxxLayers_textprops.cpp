// The text kind's property keys, read and written in the vocabulary's forms.
#include "core/hypxutils_text.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_text.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes_lists.h"
#include "platform/rtl/SysUtils.h"

namespace {

// The font keys, which line and angle layers share.
bool SetFontProperty(TFont* Font, const std::string& Key, const std::string& Value, bool& Handled) {
  Handled = true;
  int32_t i = 0;
  TColor c = 0;
  if (LayerKeyIs(Key, "FontName")) {
    Font->SetName(Value);
  } else if (LayerKeyIs(Key, "FontSize")) {
    if (!LayerValueToInt(Value, i)) return false;
    Font->SetSize(i);
  } else if (LayerKeyIs(Key, "FontColor")) {
    if (!LayerValueToColor(Value, c)) return false;
    Font->SetColor(c);
  } else {
    Handled = false;
  }
  return true;
}

std::string ToMultiLine(const std::string& Value) { return StringReplace(Value, "/**/", "\r\n"); }
std::string FromMultiLine(const std::string& Value) { return StringReplace(Value, "\r\n", "/**/"); }

}  // namespace

bool TPXTextLayer::SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) {
  if (!SetFontProperty(FFont.get(), Key, Value, Handled)) return false;
  if (Handled) return true;
  Handled = true;
  int32_t i = 0;
  double d = 0;
  if (LayerKeyIs(Key, "BorderShape")) {
    if (!LayerValueToInt(Value, i) || i < 0 || i > 99) return false;
    SetBorderShape(static_cast<uint8_t>(i));
  } else if (LayerKeyIs(Key, "Text")) {
    SetText(ToMultiLine(Value));
  } else if (LayerKeyIs(Key, "RichText")) {
    SetRichText(ToMultiLine(Value));
  } else if (LayerKeyIs(Key, "EnableFormatting")) {
    SetEnableFormatting(LayerValueToBool(Value));
  } else if (LayerKeyIs(Key, "AutoSize")) {
    SetAutoSize(LayerValueToBool(Value));
  } else if (LayerKeyIs(Key, "ReadOnly")) {
    SetReadOnly(LayerValueToBool(Value));
  } else if (LayerKeyIs(Key, "TextOverflow")) {
    if (!LayerValueToInt(Value, i)) return false;
    SetTextOverflow(static_cast<uint8_t>(i));
  } else if (LayerKeyIs(Key, "TextAlignment")) {
    if (!LayerValueToInt(Value, i)) return false;
    SetTextAlignment(static_cast<uint8_t>(i));
  } else if (LayerKeyIs(Key, "TextLayout")) {
    if (!LayerValueToInt(Value, i)) return false;
    SetTextLayout(static_cast<uint8_t>(i));
  } else if (LayerKeyIs(Key, "WordWrap")) {
    SetWordWrap(LayerValueToBool(Value));
  } else if (LayerKeyIs(Key, "HorzMargin")) {
    if (!LayerValueToReal(Value, d)) return false;
    SetHorzMargin(d);
  } else if (LayerKeyIs(Key, "VertMargin")) {
    if (!LayerValueToReal(Value, d)) return false;
    SetVertMargin(d);
  } else if (LayerKeyIs(Key, "IsRuler")) {
    SetIsRuler(LayerValueToBool(Value));
  } else if (LayerKeyIs(Key, "RulerUnits")) {
    if (!LayerValueToInt(Value, i) || i < 0 || i > static_cast<int32_t>(pxuMiles)) return false;
    SetRulerUnits(static_cast<TPXUnits>(i));
  } else if (LayerKeyIs(Key, "BorderRotate")) {
    if (!LayerValueToReal(Value, d)) return false;
    SetBorderRotate(d);
  } else if (LayerKeyIs(Key, "SizeToFit")) {
    SizeToFit(false);
  } else {
    Handled = false;
  }
  return true;
}

void TPXTextLayer::KindPropertiesToStrings(TStrings* Lines) {
  AddLayerProperty(Lines, "FontName", FFont->Name());
  AddLayerProperty(Lines, "FontSize", IntToStr(FFont->Size()));
  AddLayerProperty(Lines, "FontColor", LayerColorToText(FFont->Color()));
  AddLayerProperty(Lines, "BorderShape", IntToStr(FBorderShape));
  AddLayerProperty(Lines, "Text", FromMultiLine(FText));
  AddLayerProperty(Lines, "RichText", FromMultiLine(FRichText));
  AddLayerProperty(Lines, "EnableFormatting", LayerBoolToText(FEnableFormatting != 0));
  AddLayerProperty(Lines, "AutoSize", LayerBoolToText(FAutoSize != 0));
  AddLayerProperty(Lines, "ReadOnly", LayerBoolToText(FReadOnly != 0));
  AddLayerProperty(Lines, "TextOverflow", IntToStr(FTextOverflow));
  AddLayerProperty(Lines, "TextAlignment", IntToStr(FTextAlignment));
  AddLayerProperty(Lines, "TextLayout", IntToStr(FTextLayout));
  AddLayerProperty(Lines, "WordWrap", LayerBoolToText(FWordWrap != 0));
  AddLayerProperty(Lines, "HorzMargin", FloatToStr(FHorzMargin));
  AddLayerProperty(Lines, "VertMargin", FloatToStr(FVertMargin));
  AddLayerProperty(Lines, "IsRuler", LayerBoolToText(FIsRuler != 0));
  AddLayerProperty(Lines, "RulerUnits", IntToStr(static_cast<int32_t>(FRulerUnits)));
  AddLayerProperty(Lines, "BorderRotate", FloatToStr(FBorderRotate));
}
