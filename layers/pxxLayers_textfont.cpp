// Font commands of the layers that show text, as the view's shortcuts and the layer tool bar
// send them.
#include <algorithm>

#include "layers/pxxLayers.h"
#include "layers/pxxLayers_props.h"
#include "platform/forms/Dialogs.h"
#include "platform/gdi/Graphics.h"

void ApplyFontAction(TPXLayer* Layer, uint8_t Action, int32_t Value) {
  TFont* font = Layer ? Layer->LayerFont() : nullptr;
  if (!font) return;
  switch (Action) {
    case 0: font->SetSize(Value); break;
    case 1: font->SetSize(std::max(1, font->Size() + Value)); break;
    case 2: {
      if (!Layer->Owner()) break;
      TFontDialog dialog(nullptr);
      dialog.SetFont(font);
      if (dialog.Execute()) font->Assign(dialog.Font());
      break;
    }
    case 3:
    case 4: Layer->ApplyTextPlacement(Action, Value); break;
    case 5: {
      static constexpr TFontStyle kStyles[] = {TFontStyle::fsBold, TFontStyle::fsItalic, TFontStyle::fsUnderline,
                                               TFontStyle::fsStrikeOut};
      if (Value < 0 || Value > 3) break;
      TFontStyles style = font->Style();
      const TFontStyle s = kStyles[Value];
      if (style.Contains(s)) style.Exclude(s);
      else style.Include(s);
      font->SetStyle(style);
      break;
    }
    default: break;
  }
}
