// The two colour pickers: the platform's colour dialog with the library's custom colours, and
// the palette dialog TPixoranPaletteDialog.
#include <algorithm>
#include <memory>

#include "core/hypxutils_draw.h"
#include "core/pxsettings.h"
#include "core/pxwords.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/StdCtrls.h"

namespace {

constexpr int32_t kCell = 16;
constexpr int32_t kColumns = 32;
constexpr int32_t kMaxCells = 256;  // what the dialog has room for: 8 rows

TColor PaletteColor(const TRGB& C) { return C.r | (C.g << 8) | (C.b << 16); }

// Frees a form made for one showing (OnDestroy first, as the form's own Free does).
struct TFormFree {
  void operator()(TCustomForm* Form) const { Form->Free(); }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// The platform's colour dialog

bool ExecuteColorDialog(TColor& Color, int32_t X, int32_t Y) {
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  TColorDialog dialog(nullptr);
  std::string custom;
  settings->GetCustomColors(custom);
  dialog.CustomColors()->SetText(custom);
  dialog.SetColor(Color);
  if (X != 0 || Y != 0)
    dialog.SetOnShow([&dialog, X, Y](TObject*) { dialog.MoveWindowTo(X, Y); });
  const bool ok = dialog.Execute();
  if (ok) Color = dialog.Color();
  settings->FCustomColors = dialog.CustomColors()->Text();
  return ok;
}

// ---------------------------------------------------------------------------------------------
// The palette dialog

PX_CLASS_INFO(TPixoranPaletteDialog, TForm)

TPixoranPaletteDialog::TPixoranPaletteDialog(TComponent* AOwner) : TForm(AOwner) {
  SetCaption("Palette");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu});
  SetBounds(Left(), Top(), 520, 199);
  SetPosition(poScreenCenter);
  FCancelButton = new TButton(this);  // owned by the form
  FCancelButton->SetParent(this);
  FCancelButton->SetCaption("Cancel");
  FCancelButton->SetModalResult(mrCancel);
  FCancelButton->SetCancel(true);
  FCancelButton->SetBounds(ClientWidth() - FCancelButton->Width() - 8, 136, FCancelButton->Width(),
                           FCancelButton->Height());
}

TPixoranPaletteDialog::~TPixoranPaletteDialog() = default;

void TPixoranPaletteDialog::SetPalette(const TRGB* Palette, int32_t Count) {
  FPalette = Palette;
  FCount = Palette ? std::clamp(Count, 0, kMaxCells) : 0;
  FHovered = -1;
  if (HandleAllocated()) Invalidate();
}

bool TPixoranPaletteDialog::Execute() {
  if (!FPalette) throw EPXException("Invalid Palette!");
  return ShowModal() == mrOk;
}

int32_t TPixoranPaletteDialog::CellAt(int32_t X, int32_t Y) const {
  if (X < 1 || Y < 1) return -1;
  const int32_t col = (X - 1) / kCell, row = (Y - 1) / kCell;
  if (col >= kColumns) return -1;
  const int32_t i = col + kColumns * row;
  return i < FCount ? i : -1;
}

void TPixoranPaletteDialog::Paint() {
  TCanvas* c = Canvas();
  for (int32_t i = 0; i < FCount; ++i) {
    const TColor color = PaletteColor(FPalette[i]);
    const int32_t x = kCell * (i % kColumns), y = kCell * (i / kColumns);
    TColor frame = clWhite;
    if (i == FHovered) frame = clBlack;
    else if (color == FChosen) frame = 0x555555;
    c->Pen()->SetColor(frame);
    c->Pen()->SetStyle(psSolid);
    c->Brush()->SetColor(color);
    c->Brush()->SetStyle(bsSolid);
    c->Rectangle(x + 1, y + 1, x + kCell, y + kCell);
  }
  TForm::Paint();
}

void TPixoranPaletteDialog::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  const int32_t cell = CellAt(X, Y);
  if (cell >= 0 && cell != FHovered) {
    FHovered = cell;
    Invalidate();
  }
  TForm::MouseMove(Shift, X, Y);
}

void TPixoranPaletteDialog::Click() {
  TForm::Click();
  if (FHovered < 0 || FHovered >= FCount) return;
  FChosen = PaletteColor(FPalette[FHovered]);
  SetModalResult(mrOk);
}

bool ExecutePaletteDialog(TColor& Color, const TRGB* Palette, int32_t Count, int32_t X, int32_t Y) {
  TScreen* screen = Screen();
  std::unique_ptr<TPixoranPaletteDialog, TFormFree> dialog(
      new TPixoranPaletteDialog(screen ? screen->ActiveForm() : nullptr));  // freed by TFormFree
  if ((X != 0 || Y != 0) && screen && X >= 0 && Y >= 0 && X + dialog->Width() < screen->Width() &&
      Y + dialog->Height() < screen->Height()) {
    dialog->SetPosition(poDesigned);
    dialog->SetBounds(X, Y, dialog->Width(), dialog->Height());
  }
  dialog->SetPalette(Palette, Count);
  dialog->CancelButton()->SetCaption(GetLanguageWord(4));
  const bool ok = dialog->Execute();
  if (ok) Color = dialog->Chosen();
  return ok;
}
