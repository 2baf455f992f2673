// The rich text a text layer shows: RTF loaded into a hidden rich edit control that lays the
// text out, measures it and paints it into device contexts. The control lives above the layer
// engine, so the layers reach it through this interface and a factory that the library's
// start-up registers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdi/WinGdi.h"
#include "platform/rtl/Types.h"

class IPXLayerRichEdit {
 public:
  virtual ~IPXLayerRichEdit() = default;
  // The whole content as RTF; an empty text clears it.
  virtual void SetRTFText(const std::string& Rtf) = 0;
  // The content as plain text (UTF-8, paragraphs separated by CR LF).
  virtual std::string GetPlainText() = 0;
  // Paints the text into Rect of DC (device pixels), aligned by HAlign and VAlign (0 left or
  // top, 1 centre, 2 right or bottom) and scaled by the zooms.
  virtual void PaintToDC(HDC DC, const TRect& Rect, int32_t HAlign, uint8_t VAlign, double ZoomX, double ZoomY) = 0;
  // The largest right end of a line laid out without wrapping, plus 1.
  virtual int32_t GetUnwrappedWidth() = 0;
  // The height of the text laid out at Width pixels of DC (a scratch DC when nil); below 1
  // the lines do not wrap.
  virtual int32_t MeasureRichTextHeight(HDC DC, int32_t Width) = 0;
  // The pixel height of the character format at the caret.
  virtual int32_t GetTextAttributesHeight() = 0;
  // Adds WS_EX_TRANSPARENT to the control window's extended style: painting leaves the
  // background alone.
  virtual void AddTransparentStyle() = 0;
};

using TPXLayerRichEditFactory = std::unique_ptr<IPXLayerRichEdit> (*)();

// Registers the factory (nil removes it).
void SetLayerRichEditFactory(TPXLayerRichEditFactory Factory);
// A new hidden rich edit; raises EPXException when no factory is registered.
std::unique_ptr<IPXLayerRichEdit> CreateLayerRichEdit();
