#include "view/pixoran.h"

PX_CLASS_INFO(TPixoran, TPixoranView)

TPixoran::TPixoran(TComponent* AOwner) : TPixoranView(AOwner) {
  GetIO();
  GetProc();
}
