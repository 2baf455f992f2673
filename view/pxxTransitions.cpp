#include "view/pxxTransitions.h"

#include "core/hypxdefs.h"
#include "view/pxview.h"

TPXTransitionEffects::TPXTransitionEffects(TObject* Owner) {
  if (Owner && !dynamic_cast<TPXView*>(Owner)) throw EPXException("Invalid Owner");
  OwnerView = static_cast<TPXView*>(Owner);
  for (std::unique_ptr<TBitmap>* shot : {&SourceShot, &TargetShot, &CurrentFrame}) {
    *shot = std::make_unique<TBitmap>();
    (*shot)->SetPixelFormat(pf24bit);
    (*shot)->SetSize(1, 1);
  }
  FTimer = std::make_unique<TTimer>(OwnerView);
  FTimer->SetEnabled(false);
  FTimer->SetInterval(20);
}

TPXTransitionEffects::~TPXTransitionEffects() = default;

void TPXTransitionEffects::Stop() {
  if (!Running || Transition == pxttNone) return;
  FTimer->SetEnabled(false);
  Running = false;
  for (std::unique_ptr<TBitmap>* shot : {&CurrentFrame, &SourceShot, &TargetShot}) (*shot)->SetSize(1, 1);
  if (!OwnerView) return;
  OwnerView->UnlockPaintNoUpdate();
  if (FUpdateOnStop) OwnerView->Update();
  if (OnTransitionStop) OnTransitionStop(OwnerView);
}
