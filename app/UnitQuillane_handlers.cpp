// The main window's option handlers: they read the controls into the reflection parameters and
// run the steps of the pipeline each change needs. Nothing but the percentage labels reacts
// before a picture is loaded.
#include "app/UnitQuillane.h"
#include "controls/CvBmpBtn.h"
#include "controls/CvPanel.h"
#include "controls/CvRadChk.h"
#include "controls/CvSpnEdt.h"
#include "controls/CvTrkBar.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/StdCtrls.h"
#include "view/pixoran.h"

int32_t TFrmQuillane::GetReflectPosition() {
  for (TCvBmpButton* b : {BtnLeft, BtnTop, BtnRight, BtnBottom})
    if (b->Down()) return b->Tag();
  return ReflectNone;
}

TReflectionParams TFrmQuillane::ReadReflectionParams() {
  TReflectionParams p;
  p.Position = GetReflectPosition();
  p.Spacing = SpinEditSpc->IntValue();
  p.Size = 100 - TrackBarSize->Position();
  p.AlphaBegin = TransparencyToAlpha(TrackBarTranBegin->Position());
  p.AlphaEnd = TransparencyToAlpha(100 - TrackBarTranEnd->Position());
  p.ColourMode = RadioButtonH->Checked() ? ColorModeGray : RadioButtonBW->Checked() ? ColorModeBlackWhite : ColorModeColor;
  p.Wave = CheckBoxWave->Checked();
  p.Amplitude = SpinEditZF->IntValue();
  p.WaveLength = SpinEditBC->IntValue();
  p.Phase = SpinEditXW->IntValue();
  p.Background = PanelBkColor->Color();
  p.KeepAlpha = !CheckBoxRemoveAlpa->Checked();
  p.R = FReflectLayer;
  return p;
}

void TFrmQuillane::UpdatePercentLabels() {
  Label1->SetCaption(IntToStr(TrackBarTranBegin->Position()) + "%");
  Label2->SetCaption(IntToStr(100 - TrackBarTranEnd->Position()) + "%");
  Label9->SetCaption(IntToStr(100 - TrackBarSize->Position()) + "%");
}

void TFrmQuillane::BtnLeftClick(TObject*) {
  if (FImageLoaded) BuildReflection(*PixoranDis, *FImageSrc, ReadReflectionParams());
}

void TFrmQuillane::TrackBarTranBeginChange(TObject*) {
  UpdatePercentLabels();
  if (FImageLoaded) RebuildReflectionLayer(*PixoranDis, *FImageSrc, ReadReflectionParams());
}

void TFrmQuillane::SpinEditSpcChange(TObject*) {
  if (FImageLoaded) RebuildForSpacing(*PixoranDis, *FImageSrc, ReadReflectionParams());
}

void TFrmQuillane::CheckBoxRemoveAlpaClick(TObject*) {
  if (FImageLoaded) RebuildForBackground(*PixoranDis, *FImageSrc, ReadReflectionParams());
}

void TFrmQuillane::PanelBkColorClick(TObject*) {
  ColorDialog1->SetColor(PanelBkColor->Color());
  if (!ColorDialog1->Execute()) return;
  PanelBkColor->SetColor(ColorDialog1->Color());
  CheckBoxRemoveAlpaClick(PanelBkColor);
}
