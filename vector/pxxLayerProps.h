// TPXLayerProperties: the modal dialog in which the user edits one layer of an image view. Every
// change goes to the layer at once and the view repaints; Cancel puts back the properties the
// layer had when the dialog showed. Kind-specific pages read and write the layer through its
// property keys, so a kind's page works once the kind answers its keys.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/forms/Forms.h"
#include "platform/forms/Menus.h"
#include "platform/rtl/Classes.h"

class TPixoranView;
class TPXLayer;
class TImage;
class TLabel;
class TEdit;
class TCheckBox;
class TButton;
class TComboBox;
class TMemo;
class TUpDown;
class TTrackBar;
class TPageControl;
class TTabSheet;
class TLinkLabel;
class TBitBtn;
class TPXColorButton;
class TPXRichEdit;

class TPXLayerProperties : public TForm {
  PX_CLASS(TPXLayerProperties)
 public:
  explicit TPXLayerProperties(TComponent* AOwner);
  ~TPXLayerProperties() override;

  TPixoranView* View() const { return FView; }
  void SetView(TPixoranView* Value) { FView = Value; }
  int32_t LayerIndex() const { return FLayerIndex; }
  void SetLayerIndex(int32_t Value) { FLayerIndex = Value; }
  // The layer's properties as PXLP_ key=value lines, taken when the dialog showed.
  TStringList* SavedProperties() const { return FSavedProperties.get(); }
  // The page shown when a dialog last closed.
  static int32_t& LastPageIndex();

  // Fills the controls from the layer (no writes while doing so).
  void ReadLayer();
  // Writes the controls to the layer; Sender decides which geometry field is written.
  void ApplyToLayer(TObject* Sender);
  void UpdateControlStates();
  void SyncGeometry(bool PosSize, bool StartAngle, bool SweepAngle);
  void ApplyLanguage();

 protected:
  void DoCreate() override;
  void DoShow() override;
  void DoClose(TCloseAction& Action) override;

 private:
  TPXLayer* Layer() const;
  bool IsKind(int Kind) const;
  // The layer's current value of a property key (without the prefix); "" when it has none.
  std::string KeyValue(const std::string& Key) const;
  void SetKey(const std::string& Key, const std::string& Value);
  void Repaint();
  void BindComponents();
  void WireEvents();
  void PaintBackground();
  void ShowAllPages(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  void PagesResized(TObject* Sender);
  void CheckClick(TObject* Sender);
  void ButtonAction(TObject* Sender);
  void FontClick(TObject* Sender);
  // The rich-text editor of formatted text layers, made on the Text page on first need.
  void MakeRichEditor();
  void DrawListItem(TWinControl* Control, int32_t Index, const TRect& Rect, TOwnerDrawState State, bool LineEnds);

  TPixoranView* FView = nullptr;
  int32_t FLayerIndex = 0;
  std::unique_ptr<TStringList> FSavedProperties;
  bool FUpdating = true;
  std::map<std::string, std::string> FKeys;  // the layer's keys, read by ReadLayer
  TPXRichEdit* FRichEdit = nullptr;           // owned by the form

 public:
  // The components of the stored form.
  TImage* imgBackground = nullptr;
  TLabel* lblSelectedLayer = nullptr;
  TPageControl* PageControl1 = nullptr;
  TTabSheet *tabGeneral = nullptr, *tabStyle = nullptr, *tabShape = nullptr, *tabLine = nullptr, *tabText = nullptr,
            *tabAngle = nullptr, *tabAdvanced = nullptr;
  TBitBtn *btnOK = nullptr, *btnCancel = nullptr;
  TLabel* lblName = nullptr;
  TEdit* edtName = nullptr;
  TCheckBox *chkLayerVisible = nullptr, *chkLayerCropped = nullptr, *chkIsMask = nullptr, *chkMaskInverted = nullptr,
            *chkPolylineClosed = nullptr, *chkLayerLocked = nullptr, *chkAspectRatio = nullptr;
  TButton *btnResetAR = nullptr, *btnRestoreSize = nullptr;
  TEdit *edtRotate = nullptr, *edtPosX = nullptr, *edtPosY = nullptr, *edtWidth = nullptr, *edtHeight = nullptr;
  TUpDown *updRotate = nullptr, *updPosX = nullptr, *updPosY = nullptr, *updWidth = nullptr, *updHeight = nullptr;
  TCheckBox *chkBorder = nullptr, *chkFill = nullptr;
  TPXColorButton *btnBorderColor = nullptr, *btnFillColor = nullptr, *btnFillColor2 = nullptr;
  TEdit *edtBorderWidth = nullptr, *edtEdgeFeather = nullptr, *edtSoftShadow = nullptr, *edtSSIntensity = nullptr;
  TUpDown *updBorderWidth = nullptr, *updEdgeFeather = nullptr, *updSoftShadow = nullptr, *updSSIntensity = nullptr;
  TLabel *lblBorderWidth = nullptr, *lblFillOpacity = nullptr, *lblGradient = nullptr, *lblSSIntensity = nullptr;
  TTrackBar *trkFillOpacity = nullptr, *trkOpacity = nullptr;
  TComboBox *cmbGradient = nullptr, *cmbOperation = nullptr;
  TLabel *lblShape = nullptr, *lblModifier = nullptr;
  TComboBox* cmbShape = nullptr;
  TEdit* edtModifier = nullptr;
  TUpDown* updModifier = nullptr;
  TLabel *lblLineLabel = nullptr, *lblLabelPosition = nullptr, *lblLineShapes = nullptr, *lblStartShape = nullptr,
         *lblEndShape = nullptr, *lblShapeSize = nullptr;
  TComboBox *cmbLabelPosition = nullptr, *cmbStartShape = nullptr, *cmbEndShape = nullptr;
  TCheckBox* chkRulerMode = nullptr;
  TLinkLabel* lnkEditText = nullptr;
  TEdit* edtShapeSize = nullptr;
  TUpDown* updShapeSize = nullptr;
  TLabel *lblText = nullptr, *lblFont = nullptr, *lblAlignment = nullptr, *lblTextLayout = nullptr,
         *lblTextShape = nullptr;
  TMemo* memText = nullptr;
  TEdit* edtFontSize = nullptr;
  TUpDown* updFontSize = nullptr;
  TPXColorButton* btnFontColor = nullptr;
  TButton* btnSetFont = nullptr;
  TComboBox *cmbAlignment = nullptr, *cmbTextLayout = nullptr, *cmbTextShape = nullptr;
  TCheckBox *chkReadOnly = nullptr, *chkAutoSize = nullptr, *chkWordWrap = nullptr;
  TEdit *edtStartAngle = nullptr, *edtSweepAngle = nullptr, *edtAngleFontSize = nullptr;
  TUpDown *updStartAngle = nullptr, *updSweepAngle = nullptr, *updAngleFontSize = nullptr;
  TPXColorButton* btnAngleFontColor = nullptr;
  TButton *btnSetAngleFont = nullptr, *btnInvertAngle = nullptr;
  TMemo* memProps = nullptr;
  // The rich-text editor (nullptr until a formatted text layer was read).
  TPXRichEdit* RichEditor() const { return FRichEdit; }
  TButton* btnUpdateProps = nullptr;
};

// Registers the dialog's classes with the form loader (the colour button and the dialog).
void RegisterLayerPropertiesClasses();
