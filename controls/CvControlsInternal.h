// Small pieces the button, edit and track bar units share among themselves (not part of the
// units' interfaces).
#pragma once

#include <string>

#include "platform/forms/FormLoader.h"

#include "platform/forms/Controls.h"
#include "platform/gdi/Graphics.h"

// DrawText of Text into R on the canvas in Color (the canvas's font otherwise), with the
// canvas's brush style deciding whether the background is painted.
void CanvasText(TCanvas* Canvas, const std::string& Text, TRect R, UINT Flags, TColor Color);
// DrawText's DT_CALCRECT of Text in R with the canvas's font: the rectangle it needs.
TRect CanvasTextRect(TCanvas* Canvas, const std::string& Text, TRect R, UINT Flags);
// The component is being read from a stored form.
inline bool IsLoading(const TComponent* C) {
  return C->ComponentState().Contains(csLoading) || C->ComponentState().Contains(csReading);
}
inline bool IsDesigning(const TComponent* C) { return C->ComponentState().Contains(csDesigning); }
// Fills R with an 8 x 8 pattern bitmap as the canvas's brush; the brush is solid again after.
void FillWithPattern(TCanvas* Canvas, const TRect& R, TBitmap* Pattern);
// Sets the parent form's ModalResult (when the control is on a form).
void SetParentModalResult(TControl* Control, TModalResult Result);

// A write accessor that stores a changed value and then runs Then (a call).
#define PX_CHANGING_SETTER(Class, Name, Type, field, Then) \
  void Class::Set##Name(Type Value) {                     \
    if (field == Value) return;                           \
    field = Value;                                        \
    Then;                                                 \
  }
// The same, invalidating the control.
#define PX_INVALIDATING_SETTER(Class, Name, Type, field) PX_CHANGING_SETTER(Class, Name, Type, field, Invalidate())
class TCvFrameController;
// Moves Control from the controller in Field to Value (which gets the control and a free
// notification); Field takes Value.
void ChangeFrameController(TControl* Control, TCvFrameController*& Field, TCvFrameController* Value);
// Reads a colour of an older stored form: an identifier (clRed) or a number.
TColor ReadStoredColor(TReader& Reader);
