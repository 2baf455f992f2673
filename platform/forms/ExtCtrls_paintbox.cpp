#include "platform/forms/ExtCtrls_paintbox.h"

PX_CLASS_INFO(TPaintBox, TGraphicControl)

TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csReplicatable});
  SetBounds(0, 0, 105, 105);
}

void TPaintBox::Paint() {
  Canvas()->Font()->Assign(Font());
  Canvas()->Brush()->SetColor(Color());
  if (FOnPaint) FOnPaint(this);
}
