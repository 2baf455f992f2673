// Control services: the shared blinking list, the frame controller, the settings store, the
// readers of obsolete stored properties, monitor work areas, and the unit's start-up.
#include <algorithm>

#include "controls/CvCommon.h"
#include "controls/CvGrafx.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/Forms.h"

namespace {

std::unique_ptr<TCvBlinkingControlsList>& BlinkingListHolder() {
  static std::unique_ptr<TCvBlinkingControlsList> list;
  return list;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The blinking list

PX_CLASS_INFO(TCvBlinkingControlsList, TObject)

TCvBlinkingControlsList::TCvBlinkingControlsList() : timer_(std::make_unique<TTimer>(nullptr)) {
  timer_->SetInterval(interval_off_);
  timer_->SetOnTimer(TNotifyEvent(this, &TCvBlinkingControlsList::ToggleBlink));
}

TCvBlinkingControlsList::~TCvBlinkingControlsList() = default;

void TCvBlinkingControlsList::Register(TControl* Control) {
  if (Control && std::find(controls_.begin(), controls_.end(), Control) == controls_.end())
    controls_.push_back(Control);
}

void TCvBlinkingControlsList::Unregister(TControl* Control) {
  auto it = std::find(controls_.begin(), controls_.end(), Control);
  if (it != controls_.end()) controls_.erase(it);
}

void TCvBlinkingControlsList::SetIntervalOff(uint16_t Value) { interval_off_ = Value; }
void TCvBlinkingControlsList::SetIntervalOn(uint16_t Value) { interval_on_ = Value; }

void TCvBlinkingControlsList::ToggleBlink(TObject*) {
  if (phase_ != 0) {
    phase_ = 0;
    timer_->SetInterval(interval_off_);
  } else {
    phase_ = 1;
    timer_->SetInterval(interval_on_);
  }
  // A control may leave the list while it is told: each is asked only while it is still in it.
  const std::vector<TControl*> controls = controls_;
  for (TControl* c : controls) {
    if (std::find(controls_.begin(), controls_.end(), c) == controls_.end()) continue;
    if (c->Perform(CM_CVBLINKQUERY) == 1) c->Perform(CM_CVBLINKSET, phase_);
  }
}

TCvBlinkingControlsList* SharedBlinkingList() { return BlinkingListHolder().get(); }

TCvBlinkingControlsList* NeedSharedBlinkingList() {
  auto& list = BlinkingListHolder();
  if (!list) list = std::make_unique<TCvBlinkingControlsList>();
  return list.get();
}

void DropBlinkingListWhenEmpty() {
  auto& list = BlinkingListHolder();
  if (list && list->ControlCount() == 0) list.reset();
}

// ---------------------------------------------------------------------------------------------
// The frame controller

PTypeInfo TypeInfo_TCvFrameControllerPropertyConnection() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TCvFrameControllerPropertyConnection",
      {"fcpColor", "fcpFocusColor", "fcpDisabledColor", "fcpReadOnlyColor", "fcpReadOnlyColorOnFocus", "fcpParentColor",
       "fcpFlatButtonColor", "fcpFlatButtons", "fcpFrameColor", "fcpFrameHotColor", "fcpFrameHotTrack",
       "fcpFrameHotStyle", "fcpFrameSides", "fcpFrameStyle", "fcpFrameVisible", "fcpFramingPreference"});
  return &info;
}

PTypeInfo TypeInfo_TCvFrameControllerNotifications() {
  static const TTypeInfo info =
      TTypeInfo::Set("TCvFrameControllerNotifications", TypeInfo_TCvFrameControllerPropertyConnection());
  return &info;
}

PX_CLASS_INFO(TCvFrameController, TComponent, [](TPropertyBuilder<TCvFrameController>& b) {
  using C = TCvFrameController;
  b.Enum("About", TypeInfo_TCvAboutInfo(), &C::About, &C::SetAbout).Stored(false);
  b.Int("Color", &C::Color, &C::SetColor, TypeInfo_TColor()).Stored([](C* c) { return !c->ParentColor(); });
  b.Int("DisabledColor", &C::DisabledColor, &C::SetDisabledColor, TypeInfo_TColor()).Default(clBtnFace);
  b.Int("ReadOnlyColor", &C::ReadOnlyColor, &C::SetReadOnlyColor, TypeInfo_TColor()).Default(clInfoBk);
  b.Bool("ReadOnlyColorOnFocus", &C::ReadOnlyColorOnFocus, &C::SetReadOnlyColorOnFocus).Default(false);
  b.Int("FlatButtonColor", &C::FlatButtonColor, &C::SetFlatButtonColor, TypeInfo_TColor()).Default(clBtnFace);
  b.Bool("FlatButtons", &C::FlatButtons, &C::SetFlatButtons).Default(true);
  b.Int("FocusColor", &C::FocusColor, &C::SetFocusColor, TypeInfo_TColor()).Default(clWindow);
  b.Int("FrameColor", &C::FrameColor, &C::SetFrameColor, TypeInfo_TColor()).Default(clBtnShadow);
  b.Int("FrameHotColor", &C::FrameHotColor, &C::SetFrameHotColor, TypeInfo_TColor()).Default(clBtnShadow);
  b.Enum("FrameHotStyle", TypeInfo_TFrameStyle(), &C::FrameHotStyle, &C::SetFrameHotStyle)
      .Default(TFrameStyleEx::fsFlatBold);
  b.Bool("FrameHotTrack", &C::FrameHotTrack, &C::SetFrameHotTrack).Default(false);
  b.Set("FrameSides", TypeInfo_TSides(), &C::FrameSides, &C::SetFrameSides).Default(AllSides.Bits());
  b.Enum("FrameStyle", TypeInfo_TFrameStyle(), &C::FrameStyle, &C::SetFrameStyle).Default(TFrameStyleEx::fsFlat);
  b.Bool("FrameVisible", &C::FrameVisible, &C::SetFrameVisible).Default(false);
  b.Enum("FramingPreference", TypeInfo_TFramingPreference(), &C::FramingPreference, &C::SetFramingPreference)
      .Default(fpXPThemes);
  b.Bool("ParentColor", &C::ParentColor, &C::SetParentColor).Default(false);
  b.Object<TCvRegIniFile>("RegIniFile", &C::RegIniFile, &C::SetRegIniFile);
  b.DefineProperty("FrameFlat", &C::ReadFrameFlat);
  b.DefineProperty("FrameFocusStyle", &C::ReadFrameFocusStyle);
  b.DefineProperty("FrameFlatStyle", &C::SkipIdent);
})

TCvFrameController::TCvFrameController(TComponent* AOwner) : TComponent(AOwner) {}

TCvFrameController::~TCvFrameController() = default;

void TCvFrameController::AddControl(TControl* Control) {
  if (!Control || std::find(controls_.begin(), controls_.end(), Control) != controls_.end()) return;
  controls_.push_back(Control);
  // A control freed without leaving is dropped from the list (Notification).
  Control->FreeNotification(this);
  UpdateControlFrame(Control, fcpAll);
}

void TCvFrameController::RemoveControl(TControl* Control) {
  auto it = std::find(controls_.begin(), controls_.end(), Control);
  if (it != controls_.end()) controls_.erase(it);
  if (controls_.empty()) controls_.shrink_to_fit();
}

void TCvFrameController::EndUpdate() {
  if (--update_count_ > 0) return;
  update_count_ = 0;
  UpdateFrames(fcpAll);
}

void TCvFrameController::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TCvFrameController*>(Source);
  if (!s) {
    TComponent::Assign(Source);
    return;
  }
  BeginUpdate();
  try {
    SetColor(s->Color());
    SetFocusColor(s->FocusColor());
    SetDisabledColor(s->DisabledColor());
    SetReadOnlyColor(s->ReadOnlyColor());
    SetReadOnlyColorOnFocus(s->ReadOnlyColorOnFocus());
    SetParentColor(s->ParentColor());
    SetFlatButtonColor(s->FlatButtonColor());
    SetFlatButtons(s->FlatButtons());
    SetFrameColor(s->FrameColor());
    SetFrameHotColor(s->FrameHotColor());
    SetFrameHotTrack(s->FrameHotTrack());
    SetFrameHotStyle(s->FrameHotStyle());
    SetFrameSides(s->FrameSides());
    SetFrameStyle(s->FrameStyle());
    SetFrameVisible(s->FrameVisible());
    SetFramingPreference(s->FramingPreference());
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCvFrameController::Loaded() {
  TComponent::Loaded();
  UpdateFrames(fcpAll);
}

void TCvFrameController::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == reg_ini_file_) reg_ini_file_ = nullptr;
  auto it = std::find(controls_.begin(), controls_.end(), AComponent);
  if (it != controls_.end()) controls_.erase(it);
}

void TCvFrameController::UpdateControlFrame(TControl* Control, TCvFrameControllerProperty Property) {
  if (!Control) return;
  if (auto* client = dynamic_cast<ICvFramingClient*>(Control)) {
    client->ApplyControllerFrame();
    return;
  }
  TCvFrameControllerNotifications allowed = AllFrameControllerNotifications;
  if (PPropInfo p = GetPropInfo(Control, "FrameControllerNotifications"); p && p->GetOrd)
    allowed = TCvFrameControllerNotifications::FromBits(static_cast<uint64_t>(GetOrdProp(Control, p)));
  auto put = [&](TCvFrameControllerProperty Which) {
    if (!allowed.Contains(Which)) return;
    static constexpr const char* kNames[16] = {
        "Color", "FocusColor", "DisabledColor", "ReadOnlyColor", "ReadOnlyColorOnFocus", "ParentColor",
        "FlatButtonColor", "FlatButtons", "FrameColor", "FrameHotColor", "FrameHotTrack", "FrameHotStyle",
        "FrameSides", "FrameStyle", "FrameVisible", "FramingPreference"};
    const char* name = kNames[static_cast<int>(Which)];
    PPropInfo target = GetPropInfo(Control, name);
    if (!target) return;
    if (Which == fcpFrameSides) {
      if (target->SetOrd) SetSetProp(Control, target, GetSetProp(this, name));
      return;
    }
    if (target->SetOrd) SetOrdProp(Control, target, GetOrdProp(this, name));
  };
  if (Property != fcpAll) {
    put(Property);
    return;
  }
  put(fcpParentColor);
  if (!parent_color_) put(fcpColor);
  for (TCvFrameControllerProperty p :
       {fcpDisabledColor, fcpReadOnlyColor, fcpReadOnlyColorOnFocus, fcpFocusColor, fcpFlatButtonColor, fcpFlatButtons,
        fcpFrameColor, fcpFrameHotColor, fcpFrameHotTrack, fcpFrameHotStyle, fcpFrameSides, fcpFrameStyle,
        fcpFrameVisible, fcpFramingPreference})
    put(p);
}

void TCvFrameController::UpdateFrames(TCvFrameControllerProperty Property) {
  if (update_count_ > 0 || controls_.empty()) return;
  // A control may leave while it is updated.
  const std::vector<TControl*> controls = controls_;
  for (TControl* c : controls)
    if (std::find(controls_.begin(), controls_.end(), c) != controls_.end()) UpdateControlFrame(c, Property);
}

void TCvFrameController::SetColor(TColor Value) {
  if (color_ == Value) return;
  const TColor old = color_;
  color_ = Value;
  if (focus_color_ == old) SetFocusColor(Value);
  parent_color_ = false;
  Change(fcpColor);
}

void TCvFrameController::SetDisabledColor(TColor Value) {
  if (disabled_color_ == Value) return;
  disabled_color_ = Value;
  Change(fcpDisabledColor);
}

void TCvFrameController::SetReadOnlyColor(TColor Value) {
  if (read_only_color_ == Value) return;
  read_only_color_ = Value;
  Change(fcpReadOnlyColor);
}

void TCvFrameController::SetReadOnlyColorOnFocus(bool Value) {
  if (read_only_color_on_focus_ == Value) return;
  read_only_color_on_focus_ = Value;
  Change(fcpReadOnlyColorOnFocus);
}

void TCvFrameController::SetFlatButtonColor(TColor Value) {
  if (flat_button_color_ == Value) return;
  flat_button_color_ = Value;
  Change(fcpFlatButtonColor);
}

void TCvFrameController::SetFlatButtons(bool Value) {
  if (flat_buttons_ == Value) return;
  flat_buttons_ = Value;
  Change(fcpFlatButtons);
}

void TCvFrameController::SetFocusColor(TColor Value) {
  if (focus_color_ == Value) return;
  focus_color_ = Value;
  Change(fcpFocusColor);
}

void TCvFrameController::SetFrameColor(TColor Value) {
  if (frame_color_ == Value) return;
  frame_color_ = Value;
  Change(fcpFrameColor);
}

void TCvFrameController::SetFrameHotColor(TColor Value) {
  if (frame_hot_color_ == Value) return;
  frame_hot_color_ = Value;
  Change(fcpFrameHotColor);
}

void TCvFrameController::SetFrameHotStyle(TFrameStyle Value) {
  if (frame_hot_style_ == Value) return;
  frame_hot_style_ = Value;
  Change(fcpFrameHotStyle);
}

void TCvFrameController::SetFrameHotTrack(bool Value) {
  if (frame_hot_track_ == Value) return;
  frame_hot_track_ = Value;
  if (Value) {
    SetFrameVisible(true);
    if (!ComponentState().Contains(csLoading)) SetFrameSides(AllSides);
  }
  Change(fcpFrameHotTrack);
}

void TCvFrameController::SetFrameSides(TSides Value) {
  if (frame_sides_ == Value) return;
  frame_sides_ = Value;
  Change(fcpFrameSides);
}

void TCvFrameController::SetFrameStyle(TFrameStyle Value) {
  if (frame_style_ == Value) return;
  frame_style_ = Value;
  Change(fcpFrameStyle);
}

void TCvFrameController::SetFrameVisible(bool Value) {
  if (frame_visible_ == Value) return;
  frame_visible_ = Value;
  Change(fcpFrameVisible);
}

void TCvFrameController::SetFramingPreference(TFramingPreference Value) {
  if (framing_preference_ == Value) return;
  framing_preference_ = Value;
  Change(fcpFramingPreference);
}

void TCvFrameController::SetParentColor(bool Value) {
  if (parent_color_ == Value) return;
  parent_color_ = Value;
  Change(fcpParentColor);
  if (!Value) Change(fcpColor);
}

void TCvFrameController::SetRegIniFile(TCvRegIniFile* Value) {
  if (reg_ini_file_ == Value) return;
  reg_ini_file_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TCvFrameController::ReadFrameFlat(TReader& Reader) {
  const bool flat = Reader.ReadBoolean();
  SetFrameHotTrack(flat);
  if (flat) {
    SetFrameStyle(TFrameStyleEx::fsStatus);
    SetFrameHotStyle(TFrameStyleEx::fsLowered);
  }
}

void TCvFrameController::ReadFrameFocusStyle(TReader& Reader) {
  const int64_t v = GetEnumValue(TypeInfo_TFrameStyle(), Reader.ReadIdent());
  if (v >= 0) SetFrameHotStyle(static_cast<TFrameStyle>(v));
}

void TCvFrameController::SkipIdent(TReader& Reader) { TCvOldPropReader::SkipIdentProp(Reader); }

// ---------------------------------------------------------------------------------------------
// The settings store

PTypeInfo TypeInfo_TCvPathType() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCvPathType", {"ptIniFile", "ptRegistry"});
  return &info;
}

PTypeInfo TypeInfo_TCvRegKey() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TCvRegKey", {"hkeyClassesRoot", "hkeyCurrentUser", "hkeyLocalMachine", "hkeyUsers", "hkeyPerformanceData",
                    "hkeyCurrentConfig", "hkeyDynData"});
  return &info;
}

PTypeInfo TypeInfo_TCvRegAccessKey() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TCvRegAccessKey", {"keyQueryValue", "keySetValue", "keyCreateSubKey", "keyEnumerateSubKeys", "keyNotify",
                          "keyCreateLink", "keyRead", "keyWrite", "keyExecute", "keyAllAccess"});
  return &info;
}

PTypeInfo TypeInfo_TCvRegAccess() {
  static const TTypeInfo info = TTypeInfo::Set("TCvRegAccess", TypeInfo_TCvRegAccessKey());
  return &info;
}

PX_CLASS_INFO(TCvRegIniFile, TComponent, [](TPropertyBuilder<TCvRegIniFile>& b) {
  using C = TCvRegIniFile;
  b.Enum("About", TypeInfo_TCvAboutInfo(), &C::About, &C::SetAbout).Stored(false);
  b.Str("Path", &C::Path, &C::SetPath);
  b.Enum("PathType", TypeInfo_TCvPathType(), &C::PathType, &C::SetPathType).Default(ptIniFile);
  b.Enum("RegKey", TypeInfo_TCvRegKey(), &C::RegKey, &C::SetRegKey).Default(hkeyCurrentUser);
  b.Set("RegAccess", TypeInfo_TCvRegAccess(), &C::RegAccess, &C::SetRegAccess).Default(TCvRegAccess{keyAllAccess}.Bits());
})

TCvRegIniFile::TCvRegIniFile(TComponent* AOwner) : TComponent(AOwner) {}

TCvRegIniFile::~TCvRegIniFile() = default;

void TCvRegIniFile::SetPath(const std::string& Value) {
  if (path_ == Value) return;
  path_ = Value;
  Changed();
}

void TCvRegIniFile::SetPathType(TCvPathType Value) {
  if (path_type_ == Value) return;
  path_type_ = Value;
  Changed();
}

void TCvRegIniFile::SetRegKey(TCvRegKey Value) {
  if (reg_key_ == Value) return;
  reg_key_ = Value;
  Changed();
}

void TCvRegIniFile::SetRegAccess(TCvRegAccess Value) {
  if (reg_access_ == Value) return;
  reg_access_ = Value;
  Changed();
}

TCustomIniFile* TCvRegIniFile::IniFile() {
  if (path_type_ != ptIniFile) return nullptr;
  if (reopen_ || !ini_file_) {
    ini_file_ = std::make_unique<TIniFile>(path_);
    reopen_ = false;
  }
  return ini_file_.get();
}

// ---------------------------------------------------------------------------------------------
// Obsolete stored properties: each reader takes one whole value and drops it.

void TCvOldPropReader::SkipBooleanProp(TReader& Reader) { Reader.SkipValue(); }
void TCvOldPropReader::SkipIdentProp(TReader& Reader) { Reader.SkipValue(); }
void TCvOldPropReader::SkipSetProp(TReader& Reader) { Reader.SkipValue(); }

// ---------------------------------------------------------------------------------------------
// Work areas

TRect ActiveWorkAreaOf(TWinControl* Control) {
  HWND wnd = Control && Control->HandleAllocated() ? Control->Handle() : nullptr;
  MONITORINFO info;
  if (!GetMonitorInfo(MonitorFromWindow(wnd, MONITOR_DEFAULTTONEAREST), &info)) return TRect();
  return info.rcWork;
}

int32_t ActiveWorkAreaWidthOf(TWinControl* Control) { return ActiveWorkAreaOf(Control).Width(); }

TRect MonitorWorkArea(TMonitor* Monitor) { return Monitor ? Monitor->WorkareaRect() : TRect(); }

TRect MonitorBounds(TMonitor* Monitor) { return Monitor ? Monitor->BoundsRect() : TRect(); }

TMonitor* MonitorAtPoint(TPoint Point) {
  TScreen* screen = Screen();
  if (!screen) return nullptr;
  for (int32_t i = 0; i < screen->MonitorCount(); ++i) {
    TMonitor* m = screen->Monitors(i);
    if (m && m->BoundsRect().Contains(Point)) return m;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Start-up

void CvCommonStartup() {
  DisplayIsFullColor = TestFullColorDisplay();
  DesktopColorScheme = ReadXPColorScheme();
}

void CvCommonShutdown() {
  BlinkingListHolder().reset();
  ReleaseGradientScratch();
  ReleaseTransparentBitmaps();
}
