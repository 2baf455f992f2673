// Small helpers the line, polyline and angle layers share: the canvas state their painters
// restore, the label font defaults, and the render target before and after a kind's painting.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Types.h"

class TFont;
class TPXBitmap;
class TPXCanvas;
class TPXLayer;

// Restores the canvas's smoothing mode and text rendering hint on every exit (nothing for nil).
class TCanvasStateScope {
 public:
  explicit TCanvasStateScope(TPXCanvas* Canvas);
  ~TCanvasStateScope();
  TCanvasStateScope(const TCanvasStateScope&) = delete;
  TCanvasStateScope& operator=(const TCanvasStateScope&) = delete;

 private:
  TPXCanvas* FCanvas;
  uint8_t FSmoothing = 0;
  uint8_t FTextRendering = 0;
};

// "Arial", black, the default character set, no style, Size points.
void SetLayerFontDefaults(TFont* Font, int32_t Size);

// With WithAlpha a white, fully transparent px32RGB target whose canvas composites by copying;
// otherwise a white px24RGB target.
void PrepareKindRenderTarget(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha);
// With WithAlpha the drawn fourth bytes become the alpha channel (back to px24RGB); otherwise
// the alpha channel is removed. Then the owner's OnBeforeDrawLayer.
void FinishKindRender(TPXLayer* Layer, TPXBitmap* Dest, bool WithAlpha);

class TLayerRecordReader;
class TStream;
// A record's font as WriteFontToStream writes it (name as a wide string, character set, colour,
// height, style bits), read within the record's limit: a name running past it raises
// "PXN File has been corrupted" before anything is allocated.
void ReadLayerFont(TLayerRecordReader& Reader, TFont* Font);
class TStrings;
// "x,y,x,y..." of integer points, and back: pairs consumed from the front; false when a number
// does not convert.
std::string LayerPointsText(const std::vector<TPoint>& Points);
bool ParseLayerPoints(const std::string& Value, std::vector<TPoint>& Points);
// The font keys (FontName, FontSize, FontColor): written, and set (Handled false for any other
// key; false when the value does not convert).
void LayerFontToStrings(TFont* Font, TStrings* Lines);
bool SetLayerFontProperty(TFont* Font, const std::string& Key, const std::string& Value, bool& Handled);
