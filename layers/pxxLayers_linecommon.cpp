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

int32_t PatchLayerRecordSize(TStream* Stream, int64_t Start) {
  const int64_t end = Stream->Position();
  const int64_t size = end - Start;
  if (size > std::numeric_limits<int32_t>::max()) throw EPXException("The layer is too large for a layer record");
  Stream->SetPosition(Start);
  TLayerRecordWriter(Stream).Int(static_cast<int32_t>(size));
  Stream->SetPosition(end);
  return static_cast<int32_t>(size);
}
