// TPXColorButton.
#include "vector/pxxColorButton.h"

#include "core/hypxutils_draw.h"
#include "core/pxsettings.h"

PX_CLASS_INFO(TPXColorButton, TCustomControl)

TPXColorButton::TPXColorButton(TComponent* AOwner)
    : TCustomControl(AOwner), FCustomColors(std::make_unique<TStringList>()) {
  SetControlStyle(ControlStyle() + TControlStyle{csOpaque, csAcceptsControls});
  Brush()->SetStyle(bsClear);
  SetBounds(Left(), Top(), 50, 25);
}

TPXColorButton::~TPXColorButton() = default;

void TPXColorButton::SetSelectedColor(TColor Value) {
  if (Value == FSelectedColor) return;
  FSelectedColor = Value;
  Invalidate();
  if (FOnChange) FOnChange(this);
}

void TPXColorButton::SetFrameColor(TColor Value) {
  FFrameColor = Value;
  Invalidate();
}

void TPXColorButton::Paint() {
  TCanvas* c = Canvas();
  if (Enabled()) {
    c->Pen()->SetColor(FFrameColor);
    c->Brush()->SetColor(FSelectedColor);
  } else {
    c->Pen()->SetColor(clBtnShadow);
    c->Brush()->SetColor(clBtnFace);
  }
  c->Pen()->SetStyle(FFrameColor == clNone ? psClear : psSolid);
  c->Brush()->SetStyle(bsSolid);
  c->Rectangle(0, 0, Width(), Height());
}

void TPXColorButton::ChooseColor() {
  TRGB* palette = nullptr;
  int32_t count = 0;
  if (FOnGetPalette) FOnGetPalette(this, palette, count);
  const TPoint origin = ClientOrigin();
  const int32_t x = origin.X - 2, y = origin.Y + Height() + 2;
  TColor color = FSelectedColor;
  bool confirmed = false;
  if (palette && count > 0) {
    confirmed = ExecutePaletteDialog(color, palette, count, x, y);
  } else {
    TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
    settings->FCustomColors = FCustomColors->Text();
    confirmed = ExecuteColorDialog(color, x, y);
    std::string custom;
    settings->GetCustomColors(custom);
    FCustomColors->SetText(custom);
  }
  if (!confirmed) return;
  FSelectedColor = color;
  Invalidate();  // also without OnChange: the swatch shows the colour chosen
  if (FOnChange) FOnChange(this);
}

void TPXColorButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  ChooseColor();
}

void TPXColorButton::KeyUp(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyUp(Key, Shift);
  ChooseColor();
}

void TPXColorButton::CMEnabledChanged(TWMNoParams& Message) {
  TCustomControl::CMEnabledChanged(Message);
  Invalidate();
}
