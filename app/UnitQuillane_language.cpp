// The language switch of the main window: a language file's texts over the current ones, the
// menu's check mark, the fonts of the dialogs' panes and of the menu styler, the message texts.
#include "app/MLFunctions.h"
#include "app/UnitQuillane.h"
#include "controls/CvMenuStylers.h"
#include "io/pxopensavedlg.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"

namespace {

std::string Padded(const std::string& Caption) { return "  " + Caption + "  "; }

}  // namespace

void TFrmQuillane::PadMenuCaptions() {
  // A caption that differs from the padded one shown was set by the language file.
  if (M_Files->Caption() != Padded(FFilesCaption)) FFilesCaption = M_Files->Caption();
  if (M_Language->Caption() != Padded(FLanguageCaption)) FLanguageCaption = M_Language->Caption();
  M_Files->SetCaption(Padded(FFilesCaption));
  M_Language->SetCaption(Padded(FLanguageCaption));
}

void TFrmQuillane::ApplyLanguage(uint8_t Language) {
  if (Language >= LanguageCount) return;
  // 1. The application's title; a language file may then replace the window's caption.
  Application()->SetTitle("Quillane");
  SetCaption("Quillane");
  // 2.
  const std::string file = LanguageFileName(Language);
  TMenuItem* items[] = {M_English, M_German, M_Spanish, M_French, M_Italian, M_Dutch};
  items[Language]->SetChecked(true);
  // 3. The controls the library's dialogs add to the platform's dialog.
  for (TComponent* dialog : {static_cast<TComponent*>(OpenPixoranDialog1), static_cast<TComponent*>(SavePixoranDialog1)})
    for (const char* name : {"InfoPanel", "PicturePanel", "PreviewCheck"})
      if (auto* c = dynamic_cast<TControl*>(dialog->FindComponent(name))) c->Font()->Assign(Font());
  // 4.
  for (TFont* f : {CvMenuFantasyStyler1->Font(), CvMenuFantasyStyler1->SelectedItem()->Font(),
                   CvMenuFantasyStyler1->RootItem()->Font()}) {
    f->SetName(Font()->Name());
    f->SetSize(Font()->Size());
  }
  // 5. A value a property cannot take ends the switch here (the menu still shows its captions
  // padded once).
  try {
    ApplyLanguageFile(this, AppDir + file);
  } catch (...) {
    PadMenuCaptions();
    throw;
  }
  // 6.
  LoadMessageTexts(AppDir + file, MsgError, MsgOpenError);
  // 7.
  PadMenuCaptions();
  // 8.
  SetTag(Language);
  CurrentLanguage = Language;
}

void TFrmQuillane::M_EnglishClick(TObject* Sender) {
  auto* item = dynamic_cast<TComponent*>(Sender);
  if (item && item->Tag() >= 0 && item->Tag() < LanguageCount) ApplyLanguage(static_cast<uint8_t>(item->Tag()));
}
