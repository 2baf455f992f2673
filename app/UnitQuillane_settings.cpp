// Options.ini beside the program: the reflection options and the interface language, read once
// at start-up into the controls (whose handlers then refresh the percentage labels) and written
// once when the window is destroyed.
#include <algorithm>

#include "app/MLFunctions.h"
#include "app/UnitQuillane.h"
#include "controls/CvBmpBtn.h"
#include "controls/CvPanel.h"
#include "controls/CvRadChk.h"
#include "controls/CvSpnEdt.h"
#include "controls/CvTrkBar.h"
#include "platform/rtl/IniFiles.h"

namespace {

constexpr const char* kOptions = "OPTIONS";
constexpr const char* kLanguage = "LANGUAGE";
constexpr const char* kFileName = "Options.ini";

// A stored colour as the swatch takes it: clNone gives the default white, anything else its
// low 24 bits (system colours and other flags would reach the pipeline as no colour at all).
TColor StoredColor(int32_t Value) {
  if (static_cast<TColor>(Value) == clNone) return clWhite;
  return static_cast<TColor>(static_cast<uint32_t>(Value) & 0xFFFFFFu);
}

}  // namespace

void TFrmQuillane::LoadOptions() {
  TIniFile ini(AppDir + kFileName);
  switch (ini.ReadInteger(kOptions, "Pos", ReflectBottom)) {
    case ReflectLeft: BtnLeft->SetDown(true); break;
    case ReflectTop: BtnTop->SetDown(true); break;
    case ReflectRight: BtnRight->SetDown(true); break;
    case ReflectBottom: BtnBottom->SetDown(true); break;
    default: break;
  }
  SpinEditSpc->SetIntValue(ini.ReadInteger(kOptions, "Dis", 0));
  TrackBarSize->SetPosition(100 - std::clamp(ini.ReadInteger(kOptions, "Size", 100), 0, 100));
  TrackBarTranBegin->SetPosition(std::clamp(ini.ReadInteger(kOptions, "TranB", 0), 0, 100));
  TrackBarTranEnd->SetPosition(100 - std::clamp(ini.ReadInteger(kOptions, "TranE", 100), 0, 100));
  CheckBoxWave->SetChecked(ini.ReadBool(kOptions, "Wave", false));
  SpinEditZF->SetIntValue(ini.ReadInteger(kOptions, "Amplitude", 10));
  SpinEditBC->SetIntValue(ini.ReadInteger(kOptions, "WaveLength", 30));
  SpinEditXW->SetIntValue(ini.ReadInteger(kOptions, "Phase", 0));
  switch (ini.ReadInteger(kOptions, "Color", ColorModeColor)) {
    case ColorModeGray: RadioButtonH->SetChecked(true); break;
    case ColorModeBlackWhite: RadioButtonBW->SetChecked(true); break;
    default: RadioButtonColor->SetChecked(true); break;
  }
  CheckBoxRemoveAlpa->SetChecked(ini.ReadBool(kOptions, "RemoveAlpa", false));
  PanelBkColor->SetColor(StoredColor(ini.ReadInteger(kOptions, "BkColor", 0xFFFFFF)));
  SetTag(std::min(ini.ReadInteger(kLanguage, "Default", -1), static_cast<int32_t>(LanguageNone)));
}

void TFrmQuillane::SaveOptions() {
  TIniFile ini(AppDir + kFileName);
  ini.WriteInteger(kOptions, "Pos", GetReflectPosition());
  ini.WriteInteger(kOptions, "Dis", SpinEditSpc->IntValue());
  ini.WriteInteger(kOptions, "Size", 100 - TrackBarSize->Position());
  ini.WriteInteger(kOptions, "TranB", TrackBarTranBegin->Position());
  ini.WriteInteger(kOptions, "TranE", 100 - TrackBarTranEnd->Position());
  ini.WriteBool(kOptions, "Wave", CheckBoxWave->Checked());
  ini.WriteInteger(kOptions, "Amplitude", SpinEditZF->IntValue());
  ini.WriteInteger(kOptions, "WaveLength", SpinEditBC->IntValue());
  ini.WriteInteger(kOptions, "Phase", SpinEditXW->IntValue());
  ini.WriteInteger(kOptions, "Color",
                   RadioButtonH->Checked() ? ColorModeGray : RadioButtonBW->Checked() ? ColorModeBlackWhite : ColorModeColor);
  ini.WriteBool(kOptions, "RemoveAlpa", CheckBoxRemoveAlpa->Checked());
  ini.WriteInteger(kOptions, "BkColor", static_cast<int32_t>(PanelBkColor->Color()));
  ini.WriteInteger(kLanguage, "Default", Tag());
}
