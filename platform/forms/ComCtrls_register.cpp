// Registers the common controls, the memo, the link label, the bitmap button, the paint box and
// the image list that tool bars take their pictures from with the form loader, so stored form descriptions create them.
#include "platform/forms/Buttons.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ComCtrls_pages.h"
#include "platform/forms/ComCtrls_range.h"
#include "platform/forms/ExtCtrls_linklabel.h"
#include "platform/forms/ExtCtrls_paintbox.h"
#include "platform/forms/StdCtrls_memo.h"
#include "platform/gdi/ImgList.h"

void ComCtrlsRegisterClasses() {
  RegisterClass(TToolBar::StaticClass());
  RegisterClass(TToolButton::StaticClass());
  RegisterClass(TUpDown::StaticClass());
  RegisterClass(TTrackBar::StaticClass());
  RegisterClass(TPageControl::StaticClass());
  RegisterClass(TTabSheet::StaticClass());
  RegisterClass(TLinkLabel::StaticClass());
  RegisterClass(TBitBtn::StaticClass());
  RegisterClass(TMemo::StaticClass());
  RegisterClass(TPaintBox::StaticClass());
  RegisterClass(TImageList::StaticClass());
}
