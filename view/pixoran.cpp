#include "view/pixoran.h"

#include "codecs/pxcodecs.h"
#include "core/pxcanvas.h"
#include "io/pixoranio_support.h"
#include "layers/pxxLayers.h"
#include "mview/pxds.h"
#include "proc/pixoranproc.h"
#include "vector/pxtextc.h"
#include "vector/pxxRichEdit_layer.h"
#include "words/pxwords.h"

PX_CLASS_INFO(TPixoran, TPixoranView)

TPixoran::TPixoran(TComponent* AOwner) : TPixoranView(AOwner) {
  GetIO();
  GetProc();
}

void RegisterImageLibrary() {
  RegisterGdiPlusUnit();
  RegisterIOSupport();
  RegisterCodecs();
  RegisterProcessingUnit();
  RegisterLayerUnit();
  RegisterViewUnit();
  RegisterTextControlUnit();
  RegisterRichEditLayerUnit();
  RegisterAcquisitionUnit();
  RegisterWordLanguages();
}
