// The main window: its components, pictures, start-up and shutdown, zoom and help.
#include "app/UnitQuillane.h"

#include "app/MLFunctions.h"
#include "controls/CvBmpBtn.h"
#include "controls/CvButton.h"
#include "controls/CvMenuStylers.h"
#include "controls/CvMenus.h"
#include "controls/CvPanel.h"
#include "controls/CvRadChk.h"
#include "controls/CvSpnEdt.h"
#include "controls/CvStatus.h"
#include "controls/CvTabs.h"
#include "controls/CvTrkBar.h"
#include "io/pxopensavedlg.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/gdi/ImgList.h"
#include "view/pixoran.h"

TFrmQuillane* FrmQuillane = nullptr;
std::string AppDir;
uint8_t CurrentLanguage = LanguageNone;
std::string MsgError;
std::string MsgOpenError;
std::string AppDirOverride;

PX_CLASS_INFO(TFrmQuillane, TForm, [](TPropertyBuilder<TFrmQuillane>& b) {
  using C = TFrmQuillane;
  b.Method("FormCreate", &C::FormCreate);
  b.Method("FormDestroy", &C::FormDestroy);
  b.Method("M_OpenClick", &C::M_OpenClick);
  b.Method("M_SaveAsClick", &C::M_SaveAsClick);
  b.Method("BtnNewVerClick", &C::BtnNewVerClick);
  b.Method("BtnFitClick", &C::BtnFitClick);
  b.Method("BtnRealClick", &C::BtnRealClick);
  b.Method("BtnZoomOutClick", &C::BtnZoomOutClick);
  b.Method("BtnZoomInClick", &C::BtnZoomInClick);
  b.Method("BtnLeftClick", &C::BtnLeftClick);
  b.Method("TrackBarTranBeginChange", &C::TrackBarTranBeginChange);
  b.Method("SpinEditSpcChange", &C::SpinEditSpcChange);
  b.Method("CheckBoxRemoveAlpaClick", &C::CheckBoxRemoveAlpaClick);
  b.Method("PanelBkColorClick", &C::PanelBkColorClick);
  b.Method("M_FilesClick", &C::M_FilesClick);
  b.Method("M_CloseClick", &C::M_CloseClick);
  b.Method("M_EnglishClick", &C::M_EnglishClick);
})

namespace {

// The component of the form named Name, of class T; EComponentError when it is missing or of
// another class (the stored description and the class disagree).
template <class T>
void Bind(TComponent* Form, T*& Field, const char* Name) {
  Field = dynamic_cast<T*>(Form->FindComponent(Name));
  if (!Field) throw EComponentError(Format("The main window has no component %s of the expected class", Name));
}

std::unique_ptr<TBitmap> ResourceBitmap(const std::string& Name) {
  auto b = std::make_unique<TBitmap>();
  b->LoadFromResourceName(HInstance, Name);
  return b;
}

// The guide page of the Help button, beside the program.
constexpr const char* GuidePage = "Guide.html";

}  // namespace

TFrmQuillane::TFrmQuillane(TComponent* AOwner) : TForm(AOwner) {}

TFrmQuillane::~TFrmQuillane() = default;

void TFrmQuillane::DoCreate() {
  BindComponents();
  LoadPictures();
  TForm::DoCreate();
}

void TFrmQuillane::BindComponents() {
  Bind(this, CvPanel1, "CvPanel1");
  Bind(this, Image1, "Image1");
  Bind(this, BtnOpen, "BtnOpen");
  Bind(this, BtnSaveAs, "BtnSaveAs");
  Bind(this, BtnNewVer, "BtnNewVer");
  Bind(this, CvStatusBar1, "CvStatusBar1");
  Bind(this, CvStatusPane1, "CvStatusPane1");
  Bind(this, CvPanel2, "CvPanel2");
  Bind(this, CvPanel4, "CvPanel4");
  Bind(this, PixoranDis, "PixoranDis");
  Bind(this, CvPanel5, "CvPanel5");
  Bind(this, CvPanel6, "CvPanel6");
  Bind(this, BtnFit, "BtnFit");
  Bind(this, BtnReal, "BtnReal");
  Bind(this, BtnZoomOut, "BtnZoomOut");
  Bind(this, BtnZoomIn, "BtnZoomIn");
  Bind(this, CvPageControl1, "CvPageControl1");
  Bind(this, TabSheet1, "TabSheet1");
  Bind(this, CvPanel3, "CvPanel3");
  Bind(this, CvGroupBox1, "CvGroupBox1");
  Bind(this, Label6, "Label6");
  Bind(this, Image2, "Image2");
  Bind(this, BtnLeft, "BtnLeft");
  Bind(this, BtnTop, "BtnTop");
  Bind(this, BtnRight, "BtnRight");
  Bind(this, BtnBottom, "BtnBottom");
  Bind(this, Label8, "Label8");
  Bind(this, SpinEditSpc, "SpinEditSpc");
  Bind(this, CvGroupBox2, "CvGroupBox2");
  Bind(this, Label7, "Label7");
  Bind(this, TrackBarSize, "TrackBarSize");
  Bind(this, Label9, "Label9");
  Bind(this, CvGroupBox4, "CvGroupBox4");
  Bind(this, Label10, "Label10");
  Bind(this, TrackBarTranBegin, "TrackBarTranBegin");
  Bind(this, Label1, "Label1");
  Bind(this, TrackBarTranEnd, "TrackBarTranEnd");
  Bind(this, Label2, "Label2");
  Bind(this, CvGroupBox5, "CvGroupBox5");
  Bind(this, Label12, "Label12");
  Bind(this, RadioButtonColor, "RadioButtonColor");
  Bind(this, RadioButtonH, "RadioButtonH");
  Bind(this, RadioButtonBW, "RadioButtonBW");
  Bind(this, TabSheet2, "TabSheet2");
  Bind(this, CvPanel7, "CvPanel7");
  Bind(this, CvGroupBox6, "CvGroupBox6");
  Bind(this, Label14, "Label14");
  Bind(this, CheckBoxRemoveAlpa, "CheckBoxRemoveAlpa");
  Bind(this, PanelBkColor, "PanelBkColor");
  Bind(this, Label11, "Label11");
  Bind(this, CvGroupBox3, "CvGroupBox3");
  Bind(this, CheckBoxWave, "CheckBoxWave");
  Bind(this, Label3, "Label3");
  Bind(this, SpinEditZF, "SpinEditZF");
  Bind(this, Label4, "Label4");
  Bind(this, SpinEditBC, "SpinEditBC");
  Bind(this, Label5, "Label5");
  Bind(this, SpinEditXW, "SpinEditXW");
  Bind(this, CvPanel8, "CvPanel8");
  Bind(this, ImageListBtn, "ImageListBtn");
  Bind(this, ImageListBar, "ImageListBar");
  Bind(this, CvMainMenu1, "CvMainMenu1");
  Bind(this, M_Files, "M_Files");
  Bind(this, M_Open, "M_Open");
  Bind(this, M_SaveAs, "M_SaveAs");
  Bind(this, N4, "N4");
  Bind(this, M_Close, "M_Close");
  Bind(this, M_Language, "M_Language");
  Bind(this, M_English, "M_English");
  Bind(this, M_German, "M_German");
  Bind(this, M_Spanish, "M_Spanish");
  Bind(this, M_French, "M_French");
  Bind(this, M_Italian, "M_Italian");
  Bind(this, M_Dutch, "M_Dutch");
  Bind(this, CvMenuFantasyStyler1, "CvMenuFantasyStyler1");
  Bind(this, OpenPixoranDialog1, "OpenPixoranDialog1");
  Bind(this, SavePixoranDialog1, "SavePixoranDialog1");
  Bind(this, ColorDialog1, "ColorDialog1");
}

// The form's picture data lives in the program's BITMAP resources (resources/BITMAP/README).
void TFrmQuillane::LoadPictures() {
  Image1->Picture()->Assign(ResourceBitmap("QUILLANE_BANNER").get());
  Image2->Picture()->Assign(ResourceBitmap("QUILLANE_POSITION").get());
  ImageListBtn->Clear();
  ImageListBtn->AddMasked(ResourceBitmap("QUILLANE_GLYPHS16").get(), clFuchsia);
  ImageListBar->Clear();
  ImageListBar->AddMasked(ResourceBitmap("QUILLANE_GLYPHS40").get(), clFuchsia);
  const struct {
    TCvBmpButton* Button;
    const char* Side;
  } buttons[] = {{BtnLeft, "LEFT"}, {BtnTop, "TOP"}, {BtnRight, "RIGHT"}, {BtnBottom, "BOTTOM"}};
  for (const auto& b : buttons) {
    const std::string prefix = std::string("QUILLANE_") + b.Side;
    b.Button->Bitmaps()->SetUp(ResourceBitmap(prefix + "_UP").get());
    b.Button->Bitmaps()->SetDown(ResourceBitmap(prefix + "_DOWN").get());
    b.Button->Bitmaps()->SetHot(ResourceBitmap(prefix + "_HOT").get());
  }
  const auto thumb = ResourceBitmap("QUILLANE_THUMB");
  for (TCvTrackBar* t : {TrackBarSize, TrackBarTranBegin, TrackBarTranEnd}) t->SetCustomThumb(thumb.get());
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void TFrmQuillane::FormCreate(TObject*) {
  // 1. The application's title and the window's caption (a language file may replace the caption).
  Application()->SetTitle("Quillane");
  SetCaption("Quillane");
  // 2.
  MsgError = DefaultMsgError;
  MsgOpenError = DefaultMsgOpenError;
  // 3.
  AppDir = AppDirOverride.empty() ? GetAppDir() : AppDirOverride;
  // 4.
  FImageSrc = std::make_unique<TPixoran>(nullptr);
  // 5.
  PixoranDis->Blank();
  // 6.
  PixoranDis->IO()->PreviewFont()->Assign(Font());
  // 7.
  FImageLoaded = false;
  FReflectLayer = -1;
  // 8.
  LoadOptions();
  // 9.
  CurrentLanguage = Tag() >= 0 && Tag() < LanguageCount ? static_cast<uint8_t>(Tag()) : DetectSystemLanguage();
  // 10.
  ApplyLanguage(CurrentLanguage);
}

void TFrmQuillane::FormDestroy(TObject*) {
  FImageSrc.reset();
  SaveOptions();
}

// ---------------------------------------------------------------------------------------------
// Zoom and help

void TFrmQuillane::FitIfLarger(TPixoran* View) {
  if (View->GetExtentWidth() > View->Width() || View->GetExtentHeight() > View->Height()) View->Fit(true);
  else View->SetZoom(100);
}

void TFrmQuillane::BtnFitClick(TObject*) {
  if (FImageLoaded) FitIfLarger(PixoranDis);
}

void TFrmQuillane::BtnRealClick(TObject*) {
  if (FImageLoaded) PixoranDis->SetZoom(100);
}

void TFrmQuillane::BtnZoomOutClick(TObject*) {
  if (FImageLoaded) PixoranDis->SetZoom(PixoranDis->Zoom() * 1.2);
}

void TFrmQuillane::BtnZoomInClick(TObject*) {
  if (FImageLoaded) PixoranDis->SetZoom(PixoranDis->Zoom() * 0.8);
}

void TFrmQuillane::OpenURL(const std::string& Url) { ::OpenURL(Url); }

void TFrmQuillane::BtnNewVerClick(TObject*) { OpenURL(AppDir + GuidePage); }

void TFrmQuillane::M_FilesClick(TObject*) { M_SaveAs->SetEnabled(FImageLoaded); }

void TFrmQuillane::M_CloseClick(TObject*) { Close(); }
