// The rich edit factory of text layers.
#include "layers/pxxLayers_richedit.h"

#include "core/hypxutils.h"

// ---------------------------------------------------------------------------------------------
// The rich edit factory

namespace {
TPXLayerRichEditFactory g_richEditFactory = nullptr;
}  // namespace

void SetLayerRichEditFactory(TPXLayerRichEditFactory Factory) { g_richEditFactory = Factory; }

std::unique_ptr<IPXLayerRichEdit> CreateLayerRichEdit() {
  if (!g_richEditFactory) throw EPXException("Rich text is not available");
  return g_richEditFactory();
}

