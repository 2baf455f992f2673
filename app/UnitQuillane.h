// The main window of the reflection application: TFrmQuillane, built by the form loader from
// its stored description (resources/RCDATA/TFRMQUILLANE.dfm), with its handlers, the open and
// save actions, the settings file and the language switch.
//
// Where the members are defined:
//   UnitQuillane.cpp           the form: components, pictures, start-up and shutdown, zoom, help
//   UnitQuillane_handlers.cpp  the option handlers and the reflection parameters
//   UnitQuillane_file.cpp      Open and Save As, FormatIndexOfFile and the layer helpers
//   UnitQuillane_settings.cpp  Options.ini
//   UnitQuillane_language.cpp  the language switch
//   UnitQuillane_startup.cpp   the program's start-up and tear-down of the libraries
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/UnitQuillane_reflect.h"
#include "platform/forms/Forms.h"

class TCvBmpButton;
class TCvCheckBox;
class TCvGroupBox;
class TCvMainMenu;
class TCvMenuFantasyStyler;
class TCvPageControl;
class TCvPanel;
class TCvRadioButton;
class TCvSpinEdit;
class TCvStatusBar;
class TCvStatusPane;
class TCvTabSheet;
class TCvToolButton;
class TCvTrackBar;
class TColorDialog;
class TImage;
class TImageList;
class TLabel;
class TMenuItem;
class TOpenPixoranDialog;
class TPixoran;
class TSavePixoranDialog;

class TFrmQuillane : public TForm {
  PX_CLASS(TFrmQuillane)
 public:
  explicit TFrmQuillane(TComponent* AOwner);
  ~TFrmQuillane() override;

  // ---- The components (found by name once the description is read)
  TCvPanel* CvPanel1 = nullptr;
  TImage* Image1 = nullptr;
  TCvToolButton* BtnOpen = nullptr;
  TCvToolButton* BtnSaveAs = nullptr;
  TCvToolButton* BtnNewVer = nullptr;
  TCvStatusBar* CvStatusBar1 = nullptr;
  TCvStatusPane* CvStatusPane1 = nullptr;
  TCvPanel* CvPanel2 = nullptr;
  TCvPanel* CvPanel4 = nullptr;
  TPixoran* PixoranDis = nullptr;
  TCvPanel* CvPanel5 = nullptr;
  TCvPanel* CvPanel6 = nullptr;
  TCvToolButton* BtnFit = nullptr;
  TCvToolButton* BtnReal = nullptr;
  TCvToolButton* BtnZoomOut = nullptr;
  TCvToolButton* BtnZoomIn = nullptr;
  TCvPageControl* CvPageControl1 = nullptr;
  TCvTabSheet* TabSheet1 = nullptr;
  TCvPanel* CvPanel3 = nullptr;
  TCvGroupBox* CvGroupBox1 = nullptr;
  TLabel* Label6 = nullptr;
  TImage* Image2 = nullptr;
  TCvBmpButton* BtnLeft = nullptr;
  TCvBmpButton* BtnTop = nullptr;
  TCvBmpButton* BtnRight = nullptr;
  TCvBmpButton* BtnBottom = nullptr;
  TLabel* Label8 = nullptr;
  TCvSpinEdit* SpinEditSpc = nullptr;
  TCvGroupBox* CvGroupBox2 = nullptr;
  TLabel* Label7 = nullptr;
  TCvTrackBar* TrackBarSize = nullptr;
  TLabel* Label9 = nullptr;
  TCvGroupBox* CvGroupBox4 = nullptr;
  TLabel* Label10 = nullptr;
  TCvTrackBar* TrackBarTranBegin = nullptr;
  TLabel* Label1 = nullptr;
  TCvTrackBar* TrackBarTranEnd = nullptr;
  TLabel* Label2 = nullptr;
  TCvGroupBox* CvGroupBox5 = nullptr;
  TLabel* Label12 = nullptr;
  TCvRadioButton* RadioButtonColor = nullptr;
  TCvRadioButton* RadioButtonH = nullptr;
  TCvRadioButton* RadioButtonBW = nullptr;
  TCvTabSheet* TabSheet2 = nullptr;
  TCvPanel* CvPanel7 = nullptr;
  TCvGroupBox* CvGroupBox6 = nullptr;
  TLabel* Label14 = nullptr;
  TCvCheckBox* CheckBoxRemoveAlpa = nullptr;
  TCvPanel* PanelBkColor = nullptr;
  TLabel* Label11 = nullptr;
  TCvGroupBox* CvGroupBox3 = nullptr;
  TCvCheckBox* CheckBoxWave = nullptr;
  TLabel* Label3 = nullptr;
  TCvSpinEdit* SpinEditZF = nullptr;
  TLabel* Label4 = nullptr;
  TCvSpinEdit* SpinEditBC = nullptr;
  TLabel* Label5 = nullptr;
  TCvSpinEdit* SpinEditXW = nullptr;
  TCvPanel* CvPanel8 = nullptr;
  TImageList* ImageListBtn = nullptr;
  TImageList* ImageListBar = nullptr;
  TCvMainMenu* CvMainMenu1 = nullptr;
  TMenuItem* M_Files = nullptr;
  TMenuItem* M_Open = nullptr;
  TMenuItem* M_SaveAs = nullptr;
  TMenuItem* N4 = nullptr;
  TMenuItem* M_Close = nullptr;
  TMenuItem* M_Language = nullptr;
  TMenuItem* M_English = nullptr;
  TMenuItem* M_German = nullptr;
  TMenuItem* M_Spanish = nullptr;
  TMenuItem* M_French = nullptr;
  TMenuItem* M_Italian = nullptr;
  TMenuItem* M_Dutch = nullptr;
  TCvMenuFantasyStyler* CvMenuFantasyStyler1 = nullptr;
  TOpenPixoranDialog* OpenPixoranDialog1 = nullptr;
  TSavePixoranDialog* SavePixoranDialog1 = nullptr;
  TColorDialog* ColorDialog1 = nullptr;

  // ---- Event handlers (published: the stored description binds them by name)
  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void M_OpenClick(TObject* Sender);
  void M_SaveAsClick(TObject* Sender);
  void BtnNewVerClick(TObject* Sender);
  void BtnFitClick(TObject* Sender);
  void BtnRealClick(TObject* Sender);
  void BtnZoomOutClick(TObject* Sender);
  void BtnZoomInClick(TObject* Sender);
  void BtnLeftClick(TObject* Sender);
  void TrackBarTranBeginChange(TObject* Sender);
  void SpinEditSpcChange(TObject* Sender);
  void CheckBoxRemoveAlpaClick(TObject* Sender);
  void PanelBkColorClick(TObject* Sender);
  void M_FilesClick(TObject* Sender);
  void M_CloseClick(TObject* Sender);
  void M_EnglishClick(TObject* Sender);

  // ---- Form methods
  // The Tag of the first of BtnLeft, BtnTop, BtnRight, BtnBottom that is down, else 0.
  int32_t GetReflectPosition();
  int32_t TransparencyToAlpha(int32_t Transparency) { return ::TransparencyToAlpha(Transparency); }
  // Every value the pipeline takes, read from the controls now.
  TReflectionParams ReadReflectionParams();
  // Fits a view's extent when it is wider or higher than the control (enlarging allowed),
  // else zoom 100.
  void FitIfLarger(TPixoran* View);
  void OpenURL(const std::string& Url);
  void LoadOptions();
  void SaveOptions();
  void ApplyLanguage(uint8_t Language);

  // ---- State
  TPixoran* ImageSrc() const { return FImageSrc.get(); }
  bool ImageLoaded() const { return FImageLoaded; }
  int32_t ReflectLayer() const { return FReflectLayer; }
  const std::string& LastDir() const { return FLastDir; }
  // The menu captions of M_Files and M_Language as set by the design or a language file; the
  // menu shows them padded by two blanks on each side.
  const std::string& FilesCaption() const { return FFilesCaption; }
  const std::string& LanguageCaption() const { return FLanguageCaption; }

 protected:
  // Binds the component fields and loads the pictures, then fires OnCreate.
  void DoCreate() override;

 private:
  void BindComponents();
  void LoadPictures();
  // The percentage labels from the track bars.
  void UpdatePercentLabels();
  // Menu captions: a caption a language file set, without the padding; then shown padded.
  void PadMenuCaptions();
  // Saves the merged picture of PixoranDis to FileName (format index F).
  void SaveMerged(const std::string& FileName, int32_t F);

  std::unique_ptr<TPixoran> FImageSrc;
  std::string FLastDir;
  bool FImageLoaded = false;
  int32_t FReflectLayer = -1;
  std::string FFilesCaption = "&File";
  std::string FLanguageCaption = "&Languages";
};

// The main window (set by the program's main block).
extern TFrmQuillane* FrmQuillane;

// The program's folder with a trailing "/", its language (0 English .. 5 Dutch, 7 none) and the
// texts of the open-error box.
extern std::string AppDir;
extern uint8_t CurrentLanguage;
extern std::string MsgError;
extern std::string MsgOpenError;
// When not empty, the folder FormCreate takes as AppDir instead of the program's own (tests and
// the screenshot test keep their Options.ini and Languages/ in a folder of their own).
extern std::string AppDirOverride;

// The texts of the save errors.
inline constexpr const char* MsgSaveUnavailable = "Can not save file: the format is not available";
inline constexpr const char* MsgSaveFailed = "Can not save file";

// The format index of a file name: 1 TIFF .. 16 Photoshop as the save dialog's filters, 17 vector
// objects, 18 layers, 19 layers and objects, 20 video, 0 anything else. The extension is searched
// in the lists as text, so a tail of a listed extension (".if", ".e") matches too.
int32_t FormatIndexOfFile(const std::string& FileName);
// Loads a file into the view (by extension, then by content); false when it failed.
bool LoadSourceImage(TPixoran* View, const std::string& FileName);
// Removes every layer but layer 0 and clears the view.
void ClearLayers(TPixoran* View);
// Appends a locked image layer (placed and sized later) and answers its index.
int32_t AddReflectionLayer(TPixoran* View);

// The program's start-up in the fixed order (window layer, library units, StaticInitialize, the
// view and control units) and its tear-down in reverse. Each runs once; later calls do nothing.
void QuillaneStartup();
void QuillaneShutdown();
