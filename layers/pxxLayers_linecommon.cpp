#include "layers/pxxLayers_linecommon.h"

#include <limits>
#include <string>
#include <cstring>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxcanvas.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_draw.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/rtl/SysUtils.h"
#include "platform/gdi/Graphics.h"
#include "layers/pxxLayers_props.h"
#include "platform/rtl/Classes.h"

TCanvasStateScope::TCanvasStateScope(TPXCanvas* Canvas) : FCanvas(Canvas) {
  if (!Canvas) return;
  FSmoothing = Canvas->SmoothingMode();
  FTextRendering = Canvas->TextRendering();
}

TCanvasStateScope::~TCanvasStateScope() {
  if (!FCanvas) return;
  FCanvas->SetSmoothingMode(FSmoothing);
  FCanvas->SetTextRendering(FTextRendering);
}

void SetLayerFontDefaults(TFont* Font, int32_t Size) {
  Font->SetName("Arial");
  Font->SetColor(clBlack);
  Font->SetCharset(DEFAULT_CHARSET);
  Font->SetStyle({});
  Font->SetSize(Size);
}

void PrepareKindRenderTarget(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha) {
  if (WithAlpha) {
    EnsureRenderBitmap32(Dest, Width, Height);
    Dest->GetPXCanvas()->SetCompositing(0, 0);
  } else {
    EnsureRenderBitmap24(Dest, Width, Height, clWhite);
  }
}

void FinishKindRender(TPXLayer* Layer, TPXBitmap* Dest, bool WithAlpha) {
  if (WithAlpha)
    Dest->SyncAlpha32(true, true);
  else
    Dest->RemoveAlphaChannel(false, 0);
  Layer->FireBeforeDrawLayer(Dest);
}

void ReadLayerFont(TLayerRecordReader& Reader, TFont* Font) {
  // The name's length is checked first; then the whole block, read from the record, goes to the
  // stream reader of fonts.
  const int32_t n = Reader.Length(2);
  std::vector<uint8_t> block(4 + 2 * static_cast<size_t>(n) + 10);
  std::memcpy(block.data(), &n, 4);
  Reader.Bytes(block.data() + 4, static_cast<int64_t>(block.size()) - 4);
  TCustomMemoryStream stream(block.data(), static_cast<int64_t>(block.size()));
  ReadFontFromStream(&stream, Font);
}

// "x,y,x,y..." of integer points.
std::string LayerPointsText(const std::vector<TPoint>& Points) {
  std::string s;
  for (const TPoint& p : Points) s += IntToStr(p.X) + "," + IntToStr(p.Y) + ",";
  if (!s.empty()) s.pop_back();
  return s;
}

// Consumes "x,y," pairs from the front; false when a number does not convert.
bool ParseLayerPoints(const std::string& Value, std::vector<TPoint>& Points) {
  std::string rest = Value + ",";
  std::vector<int32_t> numbers;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    int32_t n = 0;
    if (!LayerValueToInt(Trim(rest.substr(0, comma)), n)) return false;
    numbers.push_back(n);
    rest.erase(0, comma + 1);
  }
  for (size_t i = 0; i + 1 < numbers.size(); i += 2) Points.emplace_back(numbers[i], numbers[i + 1]);
  return true;
}

void LayerFontToStrings(TFont* Font, TStrings* Lines) {
  AddLayerProperty(Lines, "FontName", Font->Name());
  AddLayerProperty(Lines, "FontSize", IntToStr(Font->Size()));
  AddLayerProperty(Lines, "FontColor", LayerColorToText(Font->Color()));
}

// The font keys; Handled false for any other key.
bool SetLayerFontProperty(TFont* Font, const std::string& Key, const std::string& Value, bool& Handled) {
  Handled = true;
  if (LayerKeyIs(Key, "FontName")) {
    Font->SetName(Value);
  } else if (LayerKeyIs(Key, "FontSize")) {
    int32_t i = 0;
    if (!LayerValueToInt(Value, i)) return false;
    Font->SetSize(i);
  } else if (LayerKeyIs(Key, "FontColor")) {
    TColor c = 0;
    if (!LayerValueToColor(Value, c)) return false;
    Font->SetColor(c);
  } else {
    Handled = false;
  }
  return true;
}

