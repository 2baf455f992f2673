// What every owner-drawn control of the set shares: colour arithmetic on the 0..240 hue,
// saturation and luminance scale and the scheme colours; the frame and border routines with
// the shared enumerations and small geometry and font helpers; the control services (the
// blinking list, the frame controller, the settings store, readers of obsolete stored
// properties, monitor work areas); and the pixel-exact glyphs (check box, radio button, arrows,
// drop-down and close marks, focus and highlight frames).
//
// Colours are TColor ($00BBGGRR; system colours resolved through ColorToRGB first; clNone is
// no colour). Routines that do arithmetic return plain RGB values. Rectangles exclude their
// right and bottom edges; frame routines draw with the canvas pen (lines never paint their end
// point), never fill, and return the rectangle left inside the frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/forms/StdCtrls.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes_components.h"
#include "platform/rtl/IniFiles.h"

class TMonitor;
class TReader;

// =============================================================================================
// Shared enumerations

enum class TCvGradientColorStyle : uint8_t { gcsSystem, gcsMSOffice, gcsCustom };
using enum TCvGradientColorStyle;
// The look of buttons, tool buttons, tabs, panels and status bars.
enum class TCvVisualStyle : uint8_t { vsClassic, vsWinXP, vsGradient };
using enum TCvVisualStyle;
enum class TCvHotTrackColorType : uint8_t { htctComplement, htctActual };
using enum TCvHotTrackColorType;
// Scoped: its names clash with other controls' hot-track types.
enum class TCvButtonHotTrackStyle : uint8_t { htsInterior, htsFrame };

// Frame styles. TFrameStyle is the part fsNone..fsFlatBold (the type of the published
// FrameStyle, FrameHotStyle, BorderOuter and BorderInner of the controls); fsFlatRounded is
// drawn by PaintRoundedFlatFrame only. Scoped: the names clash with the font styles.
enum class TFrameStyleEx : uint8_t {
  fsNone, fsFlat, fsGroove, fsBump, fsLowered, fsButtonDown, fsRaised, fsButtonUp, fsStatus, fsPopup,
  fsFlatBold, fsFlatRounded
};
using TFrameStyle = TFrameStyleEx;

// Sides of a rectangle; as a set the bit mask is left 1, top 2, right 4, bottom 8.
enum class TSide : uint8_t { sdLeft, sdTop, sdRight, sdBottom };
using enum TSide;
using TSides = TSet<TSide>;
inline constexpr TSides AllSides{sdLeft, sdTop, sdRight, sdBottom};

enum class TFramingPreference : uint8_t { fpCustomFraming, fpXPThemes };
using enum TFramingPreference;
enum class TAlignmentVertical : uint8_t { avTop, avCenter, avBottom };
using enum TAlignmentVertical;
// Scoped: the names clash with the tab control's styles.
enum class TTextStyle : uint8_t { tsNormal, tsRaised, tsRecessed, tsShadow };
enum class TOrientation : uint8_t { orHorizontal, orVertical };
using enum TOrientation;

// The ten directions of PaintGradientRect (CvGrafx.h). Scoped: the menus have a two-valued type
// of the same name.
enum class TGradientDirection : uint8_t {
  gdDiagonalUp,        // start colour bottom-left, stop colour top-right
  gdDiagonalDown,      // start top-left, stop bottom-right
  gdHorizontalEnd,     // start at the top edge, stop at the bottom edge (horizontal bands)
  gdHorizontalCenter,  // start at the top and bottom edges, stop in the middle row
  gdHorizontalBox,     // nested rectangles around a horizontal bar in the stop colour
  gdVerticalEnd,       // start at the left edge, stop at the right edge (vertical bands)
  gdVerticalCenter,    // start at the left and right edges, stop in the middle column
  gdVerticalBox,       // nested rectangles around a vertical bar
  gdSquareBox,         // nested rectangles around the centre point
  gdBigSquareBox       // nested rectangles around a smaller rectangle
};

// The design-time About property of every control; no behaviour.
enum class TCvAboutInfo : uint8_t { aiCorvelComponents };
using enum TCvAboutInfo;

PX_EVENT_TYPE(TPositionChangingEvent, void(TObject* Sender, int32_t NewPos, bool& AllowChange));
using TPositiveInteger = int32_t;  // 1..2147483647

PTypeInfo TypeInfo_TCvGradientColorStyle();
PTypeInfo TypeInfo_TCvVisualStyle();
PTypeInfo TypeInfo_TCvHotTrackColorType();
PTypeInfo TypeInfo_TCvButtonHotTrackStyle();
PTypeInfo TypeInfo_TFrameStyleEx();
PTypeInfo TypeInfo_TFrameStyle();
PTypeInfo TypeInfo_TSide();
PTypeInfo TypeInfo_TSides();
PTypeInfo TypeInfo_TFramingPreference();
PTypeInfo TypeInfo_TAlignmentVertical();
PTypeInfo TypeInfo_TTextStyle();
PTypeInfo TypeInfo_TOrientation();
PTypeInfo TypeInfo_TGradientDirection();
PTypeInfo TypeInfo_TCvAboutInfo();

// =============================================================================================
// Colours

// The screen shows more than 256 colours; set once at start-up.
inline bool DisplayIsFullColor = true;
// The desktop colour scheme: 0 normal (blue), 1 olive, 2 silver; set at start-up (and again by a
// panel when the desktop's theme changes).
inline uint8_t DesktopColorScheme = 0;

// Hue, saturation and luminance on 0..240 (hue 0 red, 40 yellow, 80 green, 120 cyan, 160 blue,
// 200 magenta; a hue close to one turn rounds to 240), computed exactly and rounded half to even.
void ColorToHueSatLum(TColor Color, uint8_t& Hue, uint8_t& Sat, uint8_t& Lum);
uint8_t HueOfColor(TColor Color);
// The inverse. The hue is divided by 239, so a round trip is not exact for some hues (green comes
// back as (0, 255, 2)); a luminance above 240 gives white.
TColor HueSatLumToColor(uint8_t Hue, uint8_t Sat, uint8_t Lum);
// The luminance lowered (raised) by Amount, clamped; always a resolved RGB value.
TColor ShadeColor(TColor Color, uint8_t Amount);
TColor TintColor(TColor Color, uint8_t Amount);
// Shade for a negative adjustment, tint for a positive one (the low byte of the magnitude); 0
// returns the colour unchanged (a system colour stays one).
TColor ShiftColorLuminance(TColor Color, int32_t Adjustment);
// Weight/255 of Color1 and the rest of Color2.
TColor MixColors(TColor Color1, TColor Color2, uint8_t Weight);
// Hues closer than 20 and luminances closer than 60 (the hue distance is not taken round the
// circle).
bool ColorsHardToTellApart(TColor Color1, TColor Color2);
// The hue a third of the circle away, at full saturation and the given luminance (low byte).
TColor OppositeHueColor(TColor Color, int32_t Lum);
// A colour of the desktop's visual style (Kind 0..6); without visual styles clBtnFace.
TColor ThemeElementColor(int32_t Kind);
// The desktop colour scheme; 0 where the desktop names none.
uint8_t ReadXPColorScheme();
// Colours of a selected or hot tool button; on palette screens the start equals the stop.
void GetSchemeSelectionColors(TCvGradientColorStyle Style, TColor& FrameColor, TColor& StartColor, TColor& StopColor);
// The background gradient of panels.
void GetSchemeGradientColors(TCvGradientColorStyle Style, TColor& StartColor, TColor& StopColor);
// Group boxes, status bars and status panes (note: the stop colour comes first).
void GetSchemeBarColors(TCvGradientColorStyle Style, TColor& StopColor, TColor& StartColor, TColor& LineColor);
// The screen shows more than 256 colours (NUMCOLORS answers -1).
bool TestFullColorDisplay();

// =============================================================================================
// Frames and borders

TRect PaintSides(TCanvas* Canvas, const TRect& Bounds, TColor ULColor, TColor LRColor, TSides Sides);
// Width rings of PaintSides, each inside the previous (pen width 1).
TRect PaintBevel(TCanvas* Canvas, const TRect& Bounds, TColor ULColor, TColor LRColor, int32_t Width, TSides Sides);
TRect PaintCtl3DSides(TCanvas* Canvas, const TRect& Bounds, bool Lowered, TSides Sides);
TRect PaintButtonFrame(TCanvas* Canvas, const TRect& Bounds, bool Down);
TRect PaintButtonFrameSides(TCanvas* Canvas, const TRect& Bounds, bool Down, TSides Sides);
// Button rims shaded and tinted from the face colour.
TRect PaintColorButtonFrame(TCanvas* Canvas, const TRect& Bounds, TColor FaceColor, bool Down);
TRect PaintColorButtonFrameSides(TCanvas* Canvas, const TRect& Bounds, TColor FaceColor, bool Down, TSides Sides);
// A frame style in the system colours (fsNone and fsFlatRounded draw nothing).
TRect PaintFrameStyle(TCanvas* Canvas, const TRect& Bounds, TFrameStyle Style);
TRect PaintFrameStyleSides(TCanvas* Canvas, const TRect& Bounds, TFrameStyle Style, TSides Sides);
// A frame style in shades and tints of the face colour.
TRect PaintColorFrameStyle(TCanvas* Canvas, const TRect& Bounds, TColor FaceColor, TFrameStyle Style);
TRect PaintColorFrameStyleSides(TCanvas* Canvas, const TRect& Bounds, TColor FaceColor, TFrameStyle Style,
                                TSides Sides);
// A one-pixel box; returns Bounds inflated by -1.
TRect PaintBox(TCanvas* Canvas, const TRect& Bounds, TColor LineColor);
// The four corners of a box, CornerLength pixels each way; returns (L+1, T+1, R-2, B-2).
TRect PaintBoxCorners(TCanvas* Canvas, const TRect& Bounds, TColor LineColor, int32_t CornerLength);
// A flat frame whose corners are cut by one pixel set diagonally inside.
TRect PaintRoundedFlatFrame(TCanvas* Canvas, const TRect& Bounds, TColor Color, TSides Sides);
// A panel's outer frame, border band and inner frame on the chosen sides.
TRect PaintInnerOuterFrames(TCanvas* Canvas, const TRect& Bounds, TFrameStyleEx BorderOuter, TFrameStyleEx BorderInner,
                            int32_t BorderWidth, TSides BorderSides, int32_t BevelWidth, TColor BorderColor,
                            TColor BorderHighlight, TColor BorderShadow, TColor FlatColor,
                            int32_t FlatColorAdjustment, TColor Color, TColor ParentColor, bool Transparent,
                            bool SoftInnerFlat);
// The frame of an edit over (0, 0, Width, Height): the system colours when Color is exactly
// clWindow, shades of Color otherwise.
void PaintEditFrame(TCanvas* Canvas, int32_t Width, int32_t Height, TFrameStyle FrameStyle, TColor Color,
                    TColor FrameColor, TSides FrameSides, bool KeepInterior);
// Invalidates the window's frame (non-client area) when its DC shows anything.
void InvalidateNonClientFrame(HWND WindowHandle, const TRect& Bounds);
// Invalidates the children whose published "Transparent" is True.
void InvalidateTransparentChildren(TWinControl* Container);

TRect CenteredRect(const TRect& Bounds, int32_t Width, int32_t Height);
inline int32_t SmallerOf(int32_t A, int32_t B) { return A < B ? A : B; }
inline int32_t LargerOf(int32_t A, int32_t B) { return A > B ? A : B; }
// A new font handle turned by Angle degrees; the caller deletes it.
HFONT CreateRotatedFontHandle(TFont* Font, int32_t Angle);
bool FontIsTrueType(TFont* Font);
// The font's text height plus 2.
int32_t FontLineHeight(TFont* Font);
// The caption without accelerator marks ("&&" gives "&"; the last character always remains).
std::string StripAccelChars(const std::string& Caption);
// Tells a form designer that the control changed. No designer exists here: it does nothing.
void NotifyDesigner(TControl* Control);

// =============================================================================================
// Glyphs

// A dotted frame whose dots invert the pixels under them (drawing it twice restores them);
// returns Bounds inflated by -1.
TRect PaintFocusFrame(TCanvas* Canvas, const TRect& Bounds);
// Every second pixel from X1 (Y1) while below X2 (Y2), inverted.
void PaintDottedHorzLine(TCanvas* Canvas, int32_t X1, int32_t X2, int32_t Y);
void PaintDottedVertLine(TCanvas* Canvas, int32_t X, int32_t Y1, int32_t Y2);
// A two-pixel gradient ring inside Bounds (full-colour screens only); the interior is kept.
void PaintHighlightFrame(TCanvas* Canvas, const TRect& Bounds, TGradientDirection Direction, TColor StartColor,
                         TColor StopColor);
// Themed selects the visual style's shapes; without visual styles their colour is the classic one.
void PaintDropDownGlyph(TCanvas* Canvas, const TRect& Rect, bool Themed, bool Pressed, bool Enabled);
// Direction: 0 up, 1 down, 2 left, 3 right (anything else draws nothing).
void PaintArrowGlyph(TCanvas* Canvas, const TRect& Rect, bool Themed, int32_t Direction, bool Pressed, bool Enabled);
void PaintCloseGlyph(TCanvas* Canvas, const TRect& Rect, bool Themed, bool Pressed, bool Enabled);
// The 13 x 13 check box and radio button glyphs. GlyphState: 0 normal, 1 pressed, 2 hot,
// 3 disabled.
void PaintCheckGlyph(TCanvas* Canvas, const TRect& Bounds, TCheckBoxState State, int32_t GlyphState, bool Focused,
                     TCvButtonHotTrackStyle HotTrackStyle, TColor FrameColor, TColor MarkColor, TColor FillColor,
                     TColor FocusColor, TColor DisabledColor, TColor HotFillColor, TColor HotFrameColor,
                     bool ReadOnly, bool ReadOnlyColorOnFocus, TColor ReadOnlyColor);
void PaintRadioGlyph(TCanvas* Canvas, const TRect& Rect, bool Checked, int32_t GlyphState, bool Focused,
                     TCvButtonHotTrackStyle HotTrackStyle, TColor FrameColor, TColor MarkColor, TColor FillColor,
                     TColor FocusColor, TColor DisabledColor, TColor HotFillColor, TColor HotFrameColor, TColor Color,
                     bool Transparent, TColor TransparentColor, bool ReadOnly, bool ReadOnlyColorOnFocus,
                     TColor ReadOnlyColor);

// =============================================================================================
// Services

// The blinking protocol: the control answers CM_CVBLINKQUERY with 1 while it blinks, and takes
// the new phase (0 or 1) in the WParam of CM_CVBLINKSET.
inline constexpr UINT CM_CVBLINKQUERY = 46056;
inline constexpr UINT CM_CVBLINKSET = 46057;

// One timer that makes the registered controls blink: phase 1 lasts the on interval, phase 0
// the off interval; each tick asks every control whether it blinks and sends it the new phase.
class TCvBlinkingControlsList : public TObject {
  PX_CLASS(TCvBlinkingControlsList)
 public:
  TCvBlinkingControlsList();
  ~TCvBlinkingControlsList() override;
  void Register(TControl* Control);
  void Unregister(TControl* Control);
  void ToggleBlink(TObject* Sender);
  virtual int32_t ControlCount() const { return static_cast<int32_t>(controls_.size()); }
  uint8_t Phase() const { return phase_; }
  uint16_t IntervalOff() const { return interval_off_; }
  void SetIntervalOff(uint16_t Value);
  uint16_t IntervalOn() const { return interval_on_; }
  void SetIntervalOn(uint16_t Value);

 private:
  uint8_t phase_ = 1;
  uint16_t interval_off_ = 500;
  uint16_t interval_on_ = 500;
  std::unique_ptr<TTimer> timer_;
  std::vector<TControl*> controls_;  // not owned; each unregisters when it goes
};
// The single list shared by every status pane (nullptr while no pane exists).
TCvBlinkingControlsList* SharedBlinkingList();
// Creates the shared list when it does not exist yet.
TCvBlinkingControlsList* NeedSharedBlinkingList();
// Frees the shared list when no control is registered any more.
void DropBlinkingListWhenEmpty();

// The settings a frame controller pushes into its controls.
enum class TCvFrameControllerProperty : uint8_t {
  fcpColor, fcpFocusColor, fcpDisabledColor, fcpReadOnlyColor, fcpReadOnlyColorOnFocus, fcpParentColor,
  fcpFlatButtonColor, fcpFlatButtons, fcpFrameColor, fcpFrameHotColor, fcpFrameHotTrack, fcpFrameHotStyle,
  fcpFrameSides, fcpFrameStyle, fcpFrameVisible, fcpFramingPreference, fcpAll
};
using enum TCvFrameControllerProperty;
// The members fcpColor..fcpFramingPreference (bit n for value n).
using TCvFrameControllerNotifications = TSet<TCvFrameControllerProperty>;
inline constexpr TCvFrameControllerNotifications AllFrameControllerNotifications =
    TCvFrameControllerNotifications::FromBits(0xFFFF);
PTypeInfo TypeInfo_TCvFrameControllerPropertyConnection();
PTypeInfo TypeInfo_TCvFrameControllerNotifications();

// A control that copies a frame controller's settings itself.
class ICvFramingClient {
 public:
  virtual void ApplyControllerFrame() = 0;

 protected:
  ~ICvFramingClient() = default;
};

class TCvRegIniFile;

// Holds frame and colour settings and pushes them into every registered control: through
// ICvFramingClient, or into the control's published properties of the same names as far as
// its published FrameControllerNotifications allows.
class TCvFrameController : public TComponent {
  PX_CLASS(TCvFrameController)
 public:
  explicit TCvFrameController(TComponent* AOwner);
  ~TCvFrameController() override;

  void AddControl(TControl* Control);
  void RemoveControl(TControl* Control);
  int32_t ControlCount() const { return static_cast<int32_t>(controls_.size()); }
  void BeginUpdate() { ++update_count_; }
  void EndUpdate();
  void UpdateControls() { UpdateFrames(fcpAll); }
  void Assign(TPersistent* Source) override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  virtual void UpdateControlFrame(TControl* Control, TCvFrameControllerProperty Property);
  virtual void UpdateFrames(TCvFrameControllerProperty Property);

  TCvAboutInfo About() const { return aiCorvelComponents; }
  void SetAbout(TCvAboutInfo) {}
  TColor Color() const { return color_; }
  virtual void SetColor(TColor Value);
  TColor DisabledColor() const { return disabled_color_; }
  virtual void SetDisabledColor(TColor Value);
  TColor ReadOnlyColor() const { return read_only_color_; }
  virtual void SetReadOnlyColor(TColor Value);
  bool ReadOnlyColorOnFocus() const { return read_only_color_on_focus_; }
  virtual void SetReadOnlyColorOnFocus(bool Value);
  TColor FlatButtonColor() const { return flat_button_color_; }
  virtual void SetFlatButtonColor(TColor Value);
  bool FlatButtons() const { return flat_buttons_; }
  virtual void SetFlatButtons(bool Value);
  TColor FocusColor() const { return focus_color_; }
  virtual void SetFocusColor(TColor Value);
  TColor FrameColor() const { return frame_color_; }
  virtual void SetFrameColor(TColor Value);
  TColor FrameHotColor() const { return frame_hot_color_; }
  virtual void SetFrameHotColor(TColor Value);
  TFrameStyle FrameHotStyle() const { return frame_hot_style_; }
  virtual void SetFrameHotStyle(TFrameStyle Value);
  bool FrameHotTrack() const { return frame_hot_track_; }
  virtual void SetFrameHotTrack(bool Value);
  TSides FrameSides() const { return frame_sides_; }
  virtual void SetFrameSides(TSides Value);
  TFrameStyle FrameStyle() const { return frame_style_; }
  virtual void SetFrameStyle(TFrameStyle Value);
  bool FrameVisible() const { return frame_visible_; }
  virtual void SetFrameVisible(bool Value);
  TFramingPreference FramingPreference() const { return framing_preference_; }
  virtual void SetFramingPreference(TFramingPreference Value);
  bool ParentColor() const { return parent_color_; }
  virtual void SetParentColor(bool Value);
  TCvRegIniFile* RegIniFile() const { return reg_ini_file_; }
  virtual void SetRegIniFile(TCvRegIniFile* Value);

 private:
  void Change(TCvFrameControllerProperty Property) { UpdateFrames(Property); }
  // Obsolete stored properties of older form descriptions.
  void ReadFrameFlat(TReader& Reader);
  void ReadFrameFocusStyle(TReader& Reader);
  void SkipIdent(TReader& Reader);

  TColor color_ = clWindow;
  TColor disabled_color_ = clBtnFace;
  TColor read_only_color_ = clInfoBk;
  bool read_only_color_on_focus_ = false;
  TColor flat_button_color_ = clBtnFace;
  bool flat_buttons_ = true;
  TColor focus_color_ = clWindow;
  TColor frame_color_ = clBtnShadow;
  TColor frame_hot_color_ = clBtnShadow;
  TFrameStyle frame_hot_style_ = TFrameStyleEx::fsFlatBold;
  bool frame_hot_track_ = false;
  TSides frame_sides_ = AllSides;
  TFrameStyle frame_style_ = TFrameStyleEx::fsFlat;
  bool frame_visible_ = false;
  TFramingPreference framing_preference_ = fpXPThemes;
  bool parent_color_ = false;
  TCvRegIniFile* reg_ini_file_ = nullptr;  // not owned; cleared when it is freed
  int32_t update_count_ = 0;
  std::vector<TControl*> controls_;  // not owned; each is dropped when it is freed
};

// Where a settings store keeps its values.
enum class TCvPathType : uint8_t { ptIniFile, ptRegistry };
using enum TCvPathType;
enum class TCvRegKey : uint8_t {
  hkeyClassesRoot, hkeyCurrentUser, hkeyLocalMachine, hkeyUsers, hkeyPerformanceData, hkeyCurrentConfig,
  hkeyDynData
};
using enum TCvRegKey;
enum class TCvRegAccessKey : uint8_t {
  keyQueryValue, keySetValue, keyCreateSubKey, keyEnumerateSubKeys, keyNotify, keyCreateLink, keyRead, keyWrite,
  keyExecute, keyAllAccess
};
using enum TCvRegAccessKey;
using TCvRegAccess = TSet<TCvRegAccessKey>;
PTypeInfo TypeInfo_TCvPathType();
PTypeInfo TypeInfo_TCvRegKey();
PTypeInfo TypeInfo_TCvRegAccessKey();
PTypeInfo TypeInfo_TCvRegAccess();

// A settings store controls can be pointed at: an INI file at Path, or (where a registry exists)
// the key RegKey\Path. Changing where it points marks the storage for reopening.
class TCvRegIniFile : public TComponent {
  PX_CLASS(TCvRegIniFile)
 public:
  explicit TCvRegIniFile(TComponent* AOwner);
  ~TCvRegIniFile() override;

  TCvAboutInfo About() const { return aiCorvelComponents; }
  void SetAbout(TCvAboutInfo) {}
  const std::string& Path() const { return path_; }
  void SetPath(const std::string& Value);
  TCvPathType PathType() const { return path_type_; }
  void SetPathType(TCvPathType Value);
  TCvRegKey RegKey() const { return reg_key_; }
  void SetRegKey(TCvRegKey Value);
  TCvRegAccess RegAccess() const { return reg_access_; }
  void SetRegAccess(TCvRegAccess Value);
  // The storage must be (re)opened before it is next used.
  bool ReopenNeeded() const { return reopen_; }
  // The INI file at Path, opened on demand (again after a change of where the store points);
  // nullptr for the registry, which does not exist here.
  TCustomIniFile* IniFile();

 private:
  void Changed() { reopen_ = true; }
  std::string path_;
  TCvPathType path_type_ = ptIniFile;
  TCvRegKey reg_key_ = hkeyCurrentUser;
  TCvRegAccess reg_access_{keyAllAccess};
  bool reopen_ = true;
  std::unique_ptr<TCustomIniFile> ini_file_;
};

// Readers that take and drop the value of an obsolete stored property.
class TCvOldPropReader {
 public:
  static void SkipBooleanProp(TReader& Reader);
  static void SkipIdentProp(TReader& Reader);
  static void SkipSetProp(TReader& Reader);
};

// Work areas: the monitor nearest to the control's window (the primary one for a control
// without a window); the monitor whose bounds hold the screen point (nullptr when none does).
TRect ActiveWorkAreaOf(TWinControl* Control);
int32_t ActiveWorkAreaWidthOf(TWinControl* Control);
TRect MonitorWorkArea(TMonitor* Monitor);
TRect MonitorBounds(TMonitor* Monitor);
TMonitor* MonitorAtPoint(TPoint Point);

// =============================================================================================
// Start-up of the unit: the full-colour test and the desktop colour scheme.
void CvCommonStartup();
void CvCommonShutdown();
