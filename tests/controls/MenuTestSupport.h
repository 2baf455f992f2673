// The application's main menu for tests: its styler's own values and its items.
#pragma once

#include <string>

#include "controls/CvMenuStylers.h"
#include "controls/CvMenus.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/ImgList.h"

// The application's styler: fsCustom with its own colours and Tahoma fonts.
inline TCvMenuFantasyStyler* AppMenuStyler(TComponent* Owner) {
  using enum CvMenus::TGradientDirection;
  auto* s = new TCvMenuFantasyStyler(Owner);  // owned by Owner
  s->SetStyle(TFantasyStyle::fsCustom);
  s->Background()->SetColor(0x00FFFFFF);
  s->Background()->SetPosition(bpCenter);
  TIconBar* icon = s->IconBar();
  icon->SetColor(0x00FFFFFF);
  icon->SetColorTo(0x00F3D28D);
  icon->SetGradientDirection(gdVertical);
  for (int32_t i = 0; i < 2; ++i) {
    icon->SetCheckColors(i, i ? 0x00FFFFFF : 0x00A7EDFF);
    icon->SetRadioColors(i, i ? 0x00FFFFFF : 0x00A7EDFF);
  }
  icon->SetCheckBorder(clNone);
  icon->SetRadioBorder(clNone);
  TSelectedItem* sel = s->SelectedItem();
  sel->SetColor(0x00F3D28D);
  sel->SetColorTo(0x00E1AB39);
  sel->SetBorderColor(0x00D08130);
  sel->SetCheckBorder(0x00D08130);
  sel->SetRadioBorder(0x00D08130);
  sel->SetUseSystemFont(false);
  TRootItem* root = s->RootItem();
  root->SetColor(0x00F3D28D);
  root->SetColorTo(0x00E1AB39);
  root->SetGradientDirection(gdVertical);
  root->SetHoverColor(0x00F3D28D);
  root->SetHoverColorTo(0x00F3D28D);
  root->SetSelectedColor(0x00F3D28D);
  root->SetSelectedColorTo(0x00FFFFFF);
  root->SetHoverBorderColor(0x00D08130);
  root->SetSelectedBorderColor(0x00D08130);
  root->SetHoverTextColor(clBlack);
  root->SetSelectedTextColor(clBlack);
  for (TFont* f : {s->Font(), sel->Font(), root->Font()}) {
    f->SetName("Tahoma");
    f->SetHeight(-11);
  }
  s->Font()->SetColor(clMenuText);
  sel->Font()->SetColor(clWhite);
  root->Font()->SetColor(clWhite);
  s->SideBar()->Font()->SetColor(clWhite);
  s->SideBar()->Font()->SetHeight(-19);
  s->Separator()->SetColor(0x00E6E0B0);
  s->Separator()->SetColorTo(0x00E6E0B0);
  s->Separator()->SetGradientType(gtBoth);
  s->SetUseSystemFont(false);
  s->SetMenuBorderColor(clNone);
  return s;
}

// The application's menu on Form: "  &File  " (Open..., Save As..., -, Exit) and
// "  &Languages  ", with 16 x 16 images.
struct AppMenu {
  TCvMainMenu* Menu = nullptr;
  TCvMenuFantasyStyler* Styler = nullptr;
  TCustomImageList* Images = nullptr;
  TMenuItem *File = nullptr, *Open = nullptr, *SaveAs = nullptr, *Sep = nullptr, *Exit = nullptr,
            *Languages = nullptr;

  explicit AppMenu(TCustomForm* Form) {
    Images = new TCustomImageList(Form);  // owned by the form
    Images->SetSize(16, 16);
    for (TColor c : {clRed, clBlue}) {
      TBitmap b;
      b.SetSize(16, 16);
      b.Canvas()->Brush()->SetColor(c);
      b.Canvas()->FillRect(TRect(0, 0, 16, 16));
      Images->Add(&b, nullptr);
    }
    Menu = new TCvMainMenu(Form);  // owned by the form
    Menu->SetAutoHotkeys(maManual);
    Menu->SetImages(Images);
    Styler = AppMenuStyler(Form);
    Menu->SetMenuStyler(Styler);
    Menu->BeginMenuUpdate();
    File = Item(Menu->Items(), "  &File  ");
    Open = Item(File, "&Open...");
    Open->SetImageIndex(0);
    SaveAs = Item(File, "&Save As...");
    SaveAs->SetImageIndex(1);
    Sep = Item(File, "-");
    Exit = Item(File, "E&xit");
    Exit->SetShortCut(ShortCut(VK_F4, {ssAlt}));
    Languages = Item(Menu->Items(), "  &Languages  ");
    Item(Languages, "English");
    Menu->EndMenuUpdate();
    Form->SetMenu(Menu);
  }
  TMenuItem* Item(TMenuItem* Parent, const std::string& Caption) {
    auto* it = new TMenuItem(Menu->Owner());  // owned by the form
    it->SetCaption(Caption);
    Parent->Add(it);
    return it;
  }
};
