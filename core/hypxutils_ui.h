// User-interface helpers of the image library that stand on the drawing layer: the option
// objects of the views' scroll bars and mouse wheel, the shared default font, the generated
// dialog backgrounds, text measurement and truncation, a cursor turned by an angle, and the
// desktop tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/gdi/WinIcons.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/TypInfo.h"

// Options of one scroll bar of a view.
class TPXScrollBarParams : public TObject {
 public:
  int32_t LineStep = -1;  // pixels per line step; -1: the view's own step
  int32_t PageStep = -1;  // pixels per page step; -1: the page size
  bool Tracking = true;   // False: scroll only when the thumb is released
};

enum class TPXMouseWheelParamsAction : uint8_t { pxmwNone, pxmwVScroll, pxmwZoom, pxmwNavigate, pxmwZoomView };
using enum TPXMouseWheelParamsAction;
enum class TPXMouseWheelParamsVariation : uint8_t { pxmwAbsolute, pxmwPercentage };
using enum TPXMouseWheelParamsVariation;
enum class TPXMouseWheelParamsZoomPosition : uint8_t { pxmwCenter, pxmwMouse };
using enum TPXMouseWheelParamsZoomPosition;
PTypeInfo TypeInfo_TPXMouseWheelParamsAction();
PTypeInfo TypeInfo_TPXMouseWheelParamsVariation();
PTypeInfo TypeInfo_TPXMouseWheelParamsZoomPosition();

// What the mouse wheel does in a view; the views give the values their meaning.
class TPXMouseWheelParams : public TPersistent {
  PX_CLASS(TPXMouseWheelParams)
 public:
  explicit TPXMouseWheelParams(TPXMouseWheelParamsAction AAction) : action_(AAction) {}
  // Copies the five properties from another TPXMouseWheelParams; any other source raises as
  // TPersistent does.
  void Assign(TPersistent* Source) override;

  bool InvertDirection() const { return invert_direction_; }
  void SetInvertDirection(bool Value) { invert_direction_ = Value; }
  TPXMouseWheelParamsAction Action() const { return action_; }
  void SetAction(TPXMouseWheelParamsAction Value) { action_ = Value; }
  TPXMouseWheelParamsVariation Variation() const { return variation_; }
  void SetVariation(TPXMouseWheelParamsVariation Value) { variation_ = Value; }
  int32_t Value() const { return value_; }
  void SetValue(int32_t Value) { value_ = Value; }
  TPXMouseWheelParamsZoomPosition ZoomPosition() const { return zoom_position_; }
  void SetZoomPosition(TPXMouseWheelParamsZoomPosition Value) { zoom_position_ = Value; }

 private:
  bool invert_direction_ = false;
  TPXMouseWheelParamsAction action_;
  TPXMouseWheelParamsVariation variation_ = pxmwPercentage;
  int32_t value_ = 8;
  TPXMouseWheelParamsZoomPosition zoom_position_ = pxmwCenter;
};

// The library's shared default font (the settings' FDefaultFont), made on first use: this
// platform has no icon-title font, so height -12, the default character set, "Segoe UI", no
// style. Freed at library tear-down.
TFont* GetDefaultUIFont();

// Values[i] = Low + (High - Low) g(i) / max g, g(i) = exp(-Sigma^2 u^2 / 2), u = 2i/N - 1.
void GaussianRamp(int32_t N, double Low, double High, double Sigma, std::vector<double>& Values);
// Width x Height at 24 bits, rows in the grey levels 240, 251, 255, 251 repeated.
void PaintStripedBackground(TBitmap* Bitmap, int32_t Width, int32_t Height);
// Width x Height at 24 bits: a horizontal grey profile peaking at 208 in the middle, with a
// random offset of 0..10 that changes at random intervals (the run-time's Random).
void PaintNoiseGradientBackground(TBitmap* Bitmap, int32_t Width, int32_t Height);

int32_t TextWidthW(TCanvas* Canvas, std::string_view Text);
int32_t TextHeightW(TCanvas* Canvas, std::string_view Text);
// Text when it fits MaxWidth; else with Side 0 its longest start (blanks trimmed) + "...", with
// Side 1 "..." + its longest end; never below one character before the ellipsis.
std::string TruncateTextToWidth(std::string_view Text, int32_t Side, TCanvas* Canvas, int32_t MaxWidth);

// A cursor made from the program's monochrome CURSOR resource ResourceName, turned by Angle
// degrees clockwise about its hot spot, its size kept; pixels turned in from outside are
// transparent. nil when the resource is missing, bad or not 1 bit per pixel.
HCURSOR RotatedCursor(std::string_view ResourceName, double Angle);

// No remote sessions here: False.
bool IsRemoteSession();
// The settings' Windows version code lies between 7 and 11.
bool IsWindowsVistaOrLater();

// [shading through the antialiased canvas; core/hypxutils_ui.cpp]
// Dims the area (AreaLeft, AreaTop, AreaWidth x AreaHeight) outside the inner rectangle
// (Left + 1 .. Right - 1, Top + 1 .. Bottom) with black at transparency 150, in four strips
// that meet without overlapping; nothing when Left >= Right or Top >= Bottom.
void ShadeOutsideRect(TCanvas* Canvas, int32_t AreaLeft, int32_t AreaTop, int32_t AreaWidth, int32_t AreaHeight,
                      int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
// [end of shading]
