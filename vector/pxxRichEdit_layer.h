// The text layers' rich edit: a hidden TPXRichEdit behind the layer engine's IPXLayerRichEdit.
#pragma once

#include <memory>

#include "layers/pxxLayers_richedit.h"

// A hidden rich edit without word wrap, whose window hangs off a message-only window.
std::unique_ptr<IPXLayerRichEdit> CreateHiddenLayerRichEdit();
// Registers CreateHiddenLayerRichEdit as the layer engine's rich edit factory.
void RegisterRichEditLayerUnit();
