// TPXColorButton: a swatch of the selected colour that opens the colour dialog (or the owner's
// palette) below itself when pressed.
#pragma once

#include <cstdint>
#include <memory>

#include "core/hypxdefs.h"
#include "platform/forms/Controls.h"
#include "platform/rtl/Classes.h"

// Lets the owner offer a palette of NumCol colours instead of the colour dialog.
PX_EVENT_TYPE(TGetPaletteEvent, void(TObject* Sender, TRGB*& Palette, int32_t& NumCol));

class TPXColorButton : public TCustomControl {
  PX_CLASS(TPXColorButton)
 public:
  explicit TPXColorButton(TComponent* AOwner);
  ~TPXColorButton() override;

  TColor SelectedColor() const { return FSelectedColor; }
  // A different colour repaints and fires OnChange.
  void SetSelectedColor(TColor Value);
  TColor FrameColor() const { return FFrameColor; }
  // clNone draws no frame.
  void SetFrameColor(TColor Value);
  // The colour dialog's custom colours ("ColorA=..." lines).
  TStringList* CustomColors() const { return FCustomColors.get(); }
  const TNotifyEvent& OnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }
  const TGetPaletteEvent& OnGetPalette() const { return FOnGetPalette; }
  void SetOnGetPalette(const TGetPaletteEvent& Value) { FOnGetPalette = Value; }

  // The palette dialog when OnGetPalette gives colours, else the colour dialog with
  // CustomColors, below the button; a confirmed colour fires OnChange once.
  void ChooseColor();

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;
  void CMEnabledChanged(TWMNoParams& Message) override;

 private:
  TColor FSelectedColor = 0xFFFFFF;
  TColor FFrameColor = cl3DDkShadow;
  std::unique_ptr<TStringList> FCustomColors;
  TNotifyEvent FOnChange;
  TGetPaletteEvent FOnGetPalette;
};
