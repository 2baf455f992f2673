// TPXRichToolbar: the small frameless stay-on-top form that floats above or below a focused rich
// edit (its owner) and sets the font, size, colour, styles, alignment, bullets and numbering of
// the edit's selection; its right-click menu cuts, copies, pastes, undoes and redoes. The edit
// shows and hides it; a 100 ms timer keeps it attached to the edit while it shows.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/forms/Forms.h"

class TPXRichEdit;
class TPXRichAutoToolbar;
class TPanel;
class TToolBar;
class TToolButton;
class TPaintBox;
class TPopupMenu;
class TMenuItem;
class TImageList;
class TTimer;

class TPXRichToolbar : public TForm {
  PX_CLASS(TPXRichToolbar)
 public:
  explicit TPXRichToolbar(TComponent* AOwner);
  ~TPXRichToolbar() override;

  // The tool bar's copy of its edit's settings (taken each time it is shown).
  TPXRichAutoToolbar* AutoToolbar() const { return FAutoToolbar.get(); }
  void SetAutoToolbar(TPXRichAutoToolbar* Value);
  TTimer* Timer() const { return FTimer; }
  // True while the buttons are being set from the edit (their events do nothing then).
  bool Updating() const { return FUpdating; }

  // Sets every button and menu item from the edit.
  void UpdateState();
  // Places the tool bar at the edit (only while it shows and has an edit).
  void UpdatePosition();
  // Shows and hides the button groups by the settings, then places the tool bar.
  void ApplyLayout();

  void WndProc(TMessage& Message) override;

  // The components of the stored form.
  TPanel* pnlToolbar = nullptr;
  TToolBar* REToolbar = nullptr;
  TToolButton *btnFont = nullptr, *btnFontSize = nullptr, *btnBold = nullptr, *btnItalics = nullptr,
              *btnUnderline = nullptr, *btnAlign = nullptr, *btnAlignLeft = nullptr, *btnAlignCenter = nullptr,
              *btnAlignRight = nullptr, *btnAlignJustify = nullptr, *btnBullets = nullptr, *btnNumbering = nullptr;
  TPaintBox *pbxFont = nullptr, *pbxFontColor = nullptr;
  TPanel *Panel2 = nullptr, *Panel3 = nullptr;
  TImageList* imlToolbar = nullptr;
  TPopupMenu *popAlign = nullptr, *popFunctions = nullptr;
  TMenuItem *pitAlignLeft = nullptr, *pitAlignRight = nullptr, *pitAlignCenter = nullptr,
            *pitAlignJustify = nullptr, *pitCut = nullptr, *pitCopy = nullptr, *pitPaste = nullptr,
            *pitUndo = nullptr, *pitRedo = nullptr;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void DoCreate() override;
  void DoShow() override;
  void DoHide() override;

 private:
  // The owner when it is a rich edit: without one nothing acts.
  TPXRichEdit* Edit() const;
  // Whether an action may run now (an edit and not updating).
  bool CanAct() const;
  void FocusEdit();
  void BindComponents();
  void WireEvents();
  void ApplyLanguage();
  void PaintFont(TObject* Sender);
  void PaintFontColor(TObject* Sender);
  void StyleClick(TObject* Sender);
  void FontClick(TObject* Sender);
  void FontColorClick(TObject* Sender);
  void FontSizeUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  void AlignmentClick(TObject* Sender);
  void AlignCycle(TObject* Sender);
  void ListClick(TObject* Sender);
  void FunctionClick(TObject* Sender);

  std::unique_ptr<TPXRichAutoToolbar> FAutoToolbar;
  TTimer* FTimer = nullptr;  // owned by the form
  bool FUpdating = false;
};

// Registers the tool bar form with the form loader.
void RegisterRichToolbarClasses();
