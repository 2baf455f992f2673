// TPXRichToolbar: layout, placement at the edit, refreshing from the edit's selection, the
// buttons' actions and the painting of the font and colour boxes.
#include "vector/pxxToolbars.h"

#include <algorithm>
#include <array>

#include "core/pxwords.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/ExtCtrls_paintbox.h"
#include "platform/forms/Menus.h"
#include "platform/gdi/ImgList.h"
#include "vector/pxxRichEdit.h"
#include "view/pxxThemes.h"

PX_CLASS_INFO(TPXRichToolbar, TForm)

void RegisterRichToolbarClasses() {
  if (!GetClass("TPXRichToolbar")) RegisterClass(TPXRichToolbar::StaticClass());
}

namespace {

// Which effect bit a style button sets.
DWORD StyleBit(const TPXRichToolbar* T, TObject* Sender) {
  if (Sender == T->btnBold) return CFE_BOLD;
  if (Sender == T->btnItalics) return CFE_ITALIC;
  if (Sender == T->btnUnderline) return CFE_UNDERLINE;
  return 0;
}

}  // namespace

TPXRichToolbar::TPXRichToolbar(TComponent* AOwner)
    : TForm(AOwner), FAutoToolbar(std::make_unique<TPXRichAutoToolbar>()) {
  FTimer = new TTimer(this);
  FTimer->SetEnabled(false);
  FTimer->SetInterval(100);
  FTimer->SetOnTimer(TNotifyEvent([this](TObject*) { UpdatePosition(); }));
}

TPXRichToolbar::~TPXRichToolbar() = default;

void TPXRichToolbar::WndProc(TMessage& Message) {
  TForm::WndProc(Message);
  // Activated by its showing or a click, the bar hands the focus straight back to the edit.
  if (Message.Msg == WM_ACTIVATE && LOWORD(Message.WParam) != WA_INACTIVE) FocusEdit();
}

void TPXRichToolbar::CreateParams(TCreateParams& Params) {
  TForm::CreateParams(Params);
  // A frameless tool window: no task-bar entry, and it never keeps the focus from the edit.
  Params.ExStyle |= WS_EX_TOOLWINDOW;
}

void TPXRichToolbar::SetAutoToolbar(TPXRichAutoToolbar* Value) { FAutoToolbar->Assign(Value); }

TPXRichEdit* TPXRichToolbar::Edit() const { return dynamic_cast<TPXRichEdit*>(Owner()); }

bool TPXRichToolbar::CanAct() const { return !FUpdating && Edit(); }

void TPXRichToolbar::FocusEdit() {
  if (TPXRichEdit* e = Edit(); e && e->CanFocus()) ::SetFocus(e->Handle());
}

// ---------------------------------------------------------------------------------------------
// Creation

void TPXRichToolbar::BindComponents() {
  auto bind = [this](auto*& Field, const char* Name) {
    using T = std::remove_pointer_t<std::remove_reference_t<decltype(Field)>>;
    Field = dynamic_cast<T*>(FindComponent(Name));
    if (!Field) throw EComponentError(Format("The tool bar form has no component %s", Name));
  };
  bind(pnlToolbar, "pnlToolbar");
  bind(REToolbar, "REToolbar");
  bind(btnFont, "btnFont");
  bind(pbxFont, "pbxFont");
  bind(btnFontSize, "btnFontSize");
  bind(pbxFontColor, "pbxFontColor");
  bind(btnBold, "btnBold");
  bind(btnItalics, "btnItalics");
  bind(btnUnderline, "btnUnderline");
  bind(Panel2, "Panel2");
  bind(btnAlign, "btnAlign");
  bind(btnAlignLeft, "btnAlignLeft");
  bind(btnAlignCenter, "btnAlignCenter");
  bind(btnAlignRight, "btnAlignRight");
  bind(btnAlignJustify, "btnAlignJustify");
  bind(Panel3, "Panel3");
  bind(btnBullets, "btnBullets");
  bind(btnNumbering, "btnNumbering");
  bind(imlToolbar, "imlToolbar");
  bind(popAlign, "popAlign");
  bind(popFunctions, "popFunctions");
  bind(pitAlignLeft, "pitAlignLeft");
  bind(pitAlignRight, "pitAlignRight");
  bind(pitAlignCenter, "pitAlignCenter");
  bind(pitAlignJustify, "pitAlignJustify");
  bind(pitCut, "pitCut");
  bind(pitCopy, "pitCopy");
  bind(pitPaste, "pitPaste");
  bind(pitUndo, "pitUndo");
  bind(pitRedo, "pitRedo");
}

void TPXRichToolbar::WireEvents() {
  auto notify = [this](void (TPXRichToolbar::*Handler)(TObject*)) {
    return TNotifyEvent([this, Handler](TObject* Sender) { (this->*Handler)(Sender); });
  };
  pbxFont->SetOnPaint(notify(&TPXRichToolbar::PaintFont));
  pbxFontColor->SetOnPaint(notify(&TPXRichToolbar::PaintFontColor));
  for (TToolButton* b : {btnBold, btnItalics, btnUnderline}) b->SetOnClick(notify(&TPXRichToolbar::StyleClick));
  btnFont->SetOnClick(notify(&TPXRichToolbar::FontClick));
  pbxFont->SetOnClick(notify(&TPXRichToolbar::FontClick));
  pbxFontColor->SetOnClick(notify(&TPXRichToolbar::FontColorClick));
  btnFontSize->SetOnMouseUp(TMouseEvent([this](TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X,
                                               int32_t Y) { FontSizeUp(Sender, Button, Shift, X, Y); }));
  for (TToolButton* b : {btnAlignLeft, btnAlignCenter, btnAlignRight, btnAlignJustify})
    b->SetOnClick(notify(&TPXRichToolbar::AlignmentClick));
  for (TMenuItem* m : {pitAlignLeft, pitAlignRight, pitAlignCenter, pitAlignJustify})
    m->SetOnClick(notify(&TPXRichToolbar::AlignmentClick));
  btnAlign->SetOnClick(notify(&TPXRichToolbar::AlignCycle));
  btnBullets->SetOnClick(notify(&TPXRichToolbar::ListClick));
  btnNumbering->SetOnClick(notify(&TPXRichToolbar::ListClick));
  for (TMenuItem* m : {pitCut, pitCopy, pitPaste, pitUndo, pitRedo}) m->SetOnClick(notify(&TPXRichToolbar::FunctionClick));
}

void TPXRichToolbar::DoCreate() {
  BindComponents();
  // The eleven 24 x 24 button pictures, magenta transparent.
  auto strip = std::make_unique<TBitmap>();
  strip->LoadFromResourceName(HInstance, "PXRICHTOOLBAR");
  imlToolbar->AddMasked(strip.get(), static_cast<TColor>(0xFF00FF));
  WireEvents();
  TForm::DoCreate();
}

void TPXRichToolbar::ApplyLanguage() {
  struct Hint {
    TControl* Control;
    uint16_t Word;
  };
  for (const Hint& h : std::initializer_list<Hint>{
           {btnFont, 327}, {pbxFont, 307}, {btnFontSize, 308}, {pbxFontColor, 309}, {btnBold, 328},
           {btnItalics, 329}, {btnUnderline, 330}, {btnAlign, 333}, {btnAlignLeft, 323}, {btnAlignCenter, 325},
           {btnAlignRight, 324}, {btnAlignJustify, 326}, {btnBullets, 331}, {btnNumbering, 332}})
    h.Control->SetHint(GetLanguageWord(h.Word));
  pitAlignLeft->SetCaption(GetLanguageWord(323));
  pitAlignRight->SetCaption(GetLanguageWord(324));
  pitAlignCenter->SetCaption(GetLanguageWord(325));
  pitAlignJustify->SetCaption(GetLanguageWord(326));
  REToolbar->SetShowHint(true);
  SetShowHint(true);
}

void TPXRichToolbar::DoShow() {
  FTimer->SetEnabled(true);
  ApplyLayout();
  ApplyLanguage();
  TForm::DoShow();
}

void TPXRichToolbar::DoHide() {
  FTimer->SetEnabled(false);
  TForm::DoHide();
}

// ---------------------------------------------------------------------------------------------
// Layout and placement

void TPXRichToolbar::ApplyLayout() {
  const TPXRichToolbarButtons excluded = FAutoToolbar->ExcludedButtons();
  const bool alignment = !excluded.Contains(pxrbAlignment), wide = FAutoToolbar->WideToolbar();
  btnBullets->SetVisible(!excluded.Contains(pxrbBullets));
  btnNumbering->SetVisible(!excluded.Contains(pxrbBullets));
  btnAlign->SetVisible(alignment && !wide);
  for (TToolButton* b : {btnAlignLeft, btnAlignCenter, btnAlignRight, btnAlignJustify}) b->SetVisible(alignment && wide);
  REToolbar->ArrangeItems();
  UpdatePosition();
}

void TPXRichToolbar::UpdatePosition() {
  TPXRichEdit* e = Edit();
  if (!Visible() || !e) return;
  pnlToolbar->SetParentColor(false);
  pnlToolbar->SetColor(clBtnFace);
  SetColor(ThemedColor(3, clWindowFrame, false));
  const int32_t bw = BorderWidth(), h = REToolbar->Height();
  const int32_t w = std::min(e->Width(), REToolbar->Width() + 2 * bw);
  pnlToolbar->SetBounds(0, 0, w - 2 * bw, h);
  const TPoint origin = e->ClientOrigin();
  const int32_t top = FAutoToolbar->Position() == pxpBelow ? origin.Y + e->Height() : origin.Y - h - 2 * bw - 4;
  SetBounds(origin.X - 2, top, w, h + 2 * bw);
}

// ---------------------------------------------------------------------------------------------
// Refreshing from the edit

void TPXRichToolbar::UpdateState() {
  TPXRichEdit* e = Edit();
  if (!e) return;
  FUpdating = true;
  try {
    TPXTextAttributes* a = e->SelAttributes();
    btnBold->SetDown(a->HasEffect(CFE_BOLD));
    btnItalics->SetDown(a->HasEffect(CFE_ITALIC));
    btnUnderline->SetDown(a->HasEffect(CFE_UNDERLINE));
    const int32_t numbering = e->Paragraph()->Numbering();
    btnBullets->SetDown(numbering == 1);
    btnNumbering->SetDown(numbering == 2);
    const int32_t align = e->Paragraph()->Alignment();
    if (FAutoToolbar->WideToolbar()) {
      for (TToolButton* b : {btnAlignLeft, btnAlignCenter, btnAlignRight, btnAlignJustify})
        if (b->Tag() != align) b->SetDown(false);
      for (TToolButton* b : {btnAlignLeft, btnAlignCenter, btnAlignRight, btnAlignJustify})
        if (b->Tag() == align) b->SetDown(true);
    } else {
      for (TMenuItem* m : {pitAlignLeft, pitAlignRight, pitAlignCenter, pitAlignJustify}) m->SetChecked(m->Tag() == align);
      btnAlign->SetImageIndex(std::clamp(align, 0, 3));
    }
    const CHARRANGE sel = e->GetSelection();
    pitCut->SetEnabled(sel.cpMin != sel.cpMax);
    pitCopy->SetEnabled(sel.cpMin != sel.cpMax);
    if (e->HandleAllocated()) {
      pitUndo->SetEnabled(e->CanUndo());
      pitRedo->SetEnabled(e->CanRedo());
      pitPaste->SetEnabled(e->CanPaste());
    }
    pbxFont->Invalidate();
    pbxFontColor->Invalidate();
  } catch (...) {
    FUpdating = false;
    throw;
  }
  FUpdating = false;
}

// ---------------------------------------------------------------------------------------------
// Actions

void TPXRichToolbar::StyleClick(TObject* Sender) {
  if (!CanAct()) return;
  auto* b = static_cast<TToolButton*>(Sender);
  Edit()->SelAttributes()->SetEffect(StyleBit(this, Sender), b->Down());
  FocusEdit();
}

void TPXRichToolbar::FontClick(TObject*) {
  if (!CanAct()) return;
  // The dialog opens under the tool bar.
  Edit()->ExecuteFontDialog(Left(), Top() + Height());
  UpdateState();
  FocusEdit();
}

void TPXRichToolbar::FontColorClick(TObject*) {
  if (!CanAct()) return;
  // The dialog opens under the colour box.
  const TPoint p = pbxFontColor->ClientToScreen(TPoint(0, pbxFontColor->Height()));
  Edit()->SelectTextColor(p.X, p.Y);
  UpdateState();
  FocusEdit();
}

void TPXRichToolbar::FontSizeUp(TObject*, TMouseButton, TShiftState, int32_t, int32_t Y) {
  if (!CanAct()) return;
  TPXTextAttributes* a = Edit()->SelAttributes();
  a->SetSize(a->Size() + (Y < btnFontSize->Height() / 2 ? 1 : -1));
  UpdateState();
  FocusEdit();
}

void TPXRichToolbar::AlignmentClick(TObject* Sender) {
  if (!CanAct()) return;
  Edit()->Paragraph()->SetAlignment(static_cast<TComponent*>(Sender)->Tag());
  UpdateState();
  FocusEdit();
}

void TPXRichToolbar::AlignCycle(TObject*) {
  if (!CanAct()) return;
  TPXParaAttributes* p = Edit()->Paragraph();
  const int32_t align = p->Alignment();
  p->SetAlignment(align >= 3 || align < 0 ? 0 : align + 1);
  UpdateState();
  FocusEdit();
}

void TPXRichToolbar::ListClick(TObject* Sender) {
  if (!CanAct()) return;
  // Bullets and numbering release each other.
  FUpdating = true;
  if (Sender == btnBullets && btnBullets->Down()) btnNumbering->SetDown(false);
  if (Sender == btnNumbering && btnNumbering->Down()) btnBullets->SetDown(false);
  FUpdating = false;
  TPXParaAttributes* p = Edit()->Paragraph();
  if (btnBullets->Down()) {
    p->SetNumbering(1);
  } else if (btnNumbering->Down()) {
    p->SetNumbering(2);
    p->SetNumberingStyle(1);
    p->SetNumberingStart(1);
  } else {
    p->SetNumbering(0);
  }
  UpdateState();
  FocusEdit();
}

void TPXRichToolbar::FunctionClick(TObject* Sender) {
  if (!CanAct()) return;
  TPXRichEdit* e = Edit();
  if (Sender == pitCut) e->CutToClipboard();
  else if (Sender == pitCopy) e->CopyToClipboard();
  else if (Sender == pitPaste) e->PasteFromClipboard();
  else if (Sender == pitUndo) e->Undo();
  else if (Sender == pitRedo) e->Redo();
  UpdateState();
  FocusEdit();
}

// ---------------------------------------------------------------------------------------------
// Painting

void TPXRichToolbar::PaintFont(TObject*) {
  TCanvas* c = pbxFont->Canvas();
  const int32_t w = pbxFont->Width(), h = pbxFont->Height();
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(TRect(0, 0, w, h));
  c->Pen()->SetColor(clBtnShadow);
  c->Rectangle(2, 2, w - 32, h - 2);
  c->Rectangle(w - 30, 2, w - 2, h - 2);
  TPXRichEdit* e = Edit();
  if (!e) return;
  std::string name = e->SelAttributes()->Name();
  const std::string size = std::to_string(e->SelAttributes()->Size());
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(bsClear);
  if (c->TextWidth(name) > w - 42) {
    // Whole characters come off the end until the name and the dots fit.
    while (!name.empty() && c->TextWidth(name + "...") > w - 42) {
      size_t cut = name.size() - 1;
      while (cut > 0 && (static_cast<uint8_t>(name[cut]) & 0xC0) == 0x80) --cut;
      name.resize(cut);
    }
    name += "...";
  }
  c->TextOut(6, (h - c->TextHeight(name.empty() ? "Wg" : name)) / 2, name);
  c->TextOut(w - 30 + (30 - c->TextWidth(size)) / 2, (h - c->TextHeight(size)) / 2, size);
  c->Brush()->SetStyle(bsSolid);
}

void TPXRichToolbar::PaintFontColor(TObject*) {
  TCanvas* c = pbxFontColor->Canvas();
  const int32_t w = pbxFontColor->Width(), h = pbxFontColor->Height();
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(TRect(0, 0, w, h));
  c->Pen()->SetColor(clBtnShadow);
  TPXRichEdit* e = Edit();
  c->Brush()->SetColor(e ? e->SelAttributes()->Color() : clBtnFace);
  const int32_t y = (h - w + 6) / 2;
  c->Rectangle(2, y, w - 4, h - y);
}
