// TPXLayerProperties: reading a layer into the dialog's controls, writing them back live,
// texts from the word table, enabling by kind and the dialog's buttons.
#include "vector/pxxLayerProps.h"

#include <algorithm>

#include "core/hypxutils_ui.h"
#include "core/pxsettings.h"
#include "core/pxwords.h"
#include "layers/pxxCanvasUtils.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_draw.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_text.h"
#include "platform/forms/Buttons.h"
#include "platform/forms/ComCtrls_pages.h"
#include "platform/forms/ComCtrls_range.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/ExtCtrls_linklabel.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/StdCtrls_memo.h"
#include "view/pixoranview.h"
#include "vector/pxxColorButton.h"
#include "vector/pxxRichEdit.h"

PX_CLASS_INFO(TPXLayerProperties, TForm)

void RegisterLayerPropertiesClasses() {
  if (!GetClass("TPXColorButton")) RegisterClass(TPXColorButton::StaticClass());
  if (!GetClass("TPXLayerProperties")) RegisterClass(TPXLayerProperties::StaticClass());
}

namespace {

// Shapes whose modifier (points, segment angle) the dialog edits.
bool HasModifier(int32_t Shape) {
  for (int32_t s : {3, 13, 16, 38, 77, 79, 83, 85, 86})
    if (s == Shape) return true;
  return false;
}

// The shape previews of the owner-drawn lists: their colour, and names beside them.
constexpr TColor kShapePreviewColor = static_cast<TColor>(0x3539E5);
constexpr bool kShowShapeNames = true;

std::string LangWord(uint16_t Index) { return GetLanguageWord(Index); }
std::string WordColon(uint16_t Index) { return GetLanguageWord(Index) + ":"; }

bool KeyTrue(const std::string& Value) {
  std::string v = UpperCase(Value);
  return v == "1" || v == "TRUE" || v == "T";
}

// A colour as the property keys write it (a name or a number).
TColor KeyColor(const std::string& Value, TColor Default) {
  if (TIdentToInt ident = FindIdentToInt(TypeInfo_TColor())) {
    int64_t v = 0;
    if (ident(Value, v)) return static_cast<TColor>(v);
  }
  int32_t v = 0;
  return TryStrToInt(Value, v) ? v : Default;
}

int32_t KeyInt(const std::string& Value, int32_t Default = 0) {
  int32_t v = Default;
  return TryStrToInt(Value, v) ? v : Default;
}

}  // namespace

int32_t& TPXLayerProperties::LastPageIndex() {
  static int32_t index = 0;
  return index;
}

TPXLayerProperties::TPXLayerProperties(TComponent* AOwner)
    : TForm(AOwner), FSavedProperties(std::make_unique<TStringList>()) {}

TPXLayerProperties::~TPXLayerProperties() = default;

TPXLayer* TPXLayerProperties::Layer() const { return FView ? FView->GetLayers(FLayerIndex) : nullptr; }

bool TPXLayerProperties::IsKind(int Kind) const {
  TPXLayer* l = Layer();
  return l && static_cast<int>(l->Kind()) == Kind;
}

std::string TPXLayerProperties::KeyValue(const std::string& Key) const {
  auto it = FKeys.find(UpperCase(Key));
  return it == FKeys.end() ? std::string() : it->second;
}

void TPXLayerProperties::SetKey(const std::string& Key, const std::string& Value) {
  if (TPXLayer* l = Layer()) SetLayerPropertyByKey(l, "PXLP_" + Key, Value);
}

void TPXLayerProperties::Repaint() {
  if (FView) FView->Update();
}

// ---------------------------------------------------------------------------------------------
// Creation

void TPXLayerProperties::BindComponents() {
  auto bind = [this](auto*& Field, const char* Name) {
    using T = std::remove_pointer_t<std::remove_reference_t<decltype(Field)>>;
    Field = dynamic_cast<T*>(FindComponent(Name));
    if (!Field) throw EComponentError(Format("The layer properties form has no component %s", Name));
  };
#define PX_BIND(name) bind(name, #name)
  PX_BIND(imgBackground); PX_BIND(lblSelectedLayer); PX_BIND(PageControl1);
  PX_BIND(tabGeneral); PX_BIND(tabStyle); PX_BIND(tabShape); PX_BIND(tabLine); PX_BIND(tabText); PX_BIND(tabAngle);
  PX_BIND(tabAdvanced); PX_BIND(btnOK); PX_BIND(btnCancel);
  PX_BIND(lblName); PX_BIND(edtName); PX_BIND(chkLayerVisible); PX_BIND(chkLayerCropped); PX_BIND(chkIsMask);
  PX_BIND(chkMaskInverted); PX_BIND(chkPolylineClosed); PX_BIND(chkLayerLocked); PX_BIND(chkAspectRatio);
  PX_BIND(btnResetAR); PX_BIND(btnRestoreSize);
  PX_BIND(edtRotate); PX_BIND(edtPosX); PX_BIND(edtPosY); PX_BIND(edtWidth); PX_BIND(edtHeight);
  PX_BIND(updRotate); PX_BIND(updPosX); PX_BIND(updPosY); PX_BIND(updWidth); PX_BIND(updHeight);
  PX_BIND(chkBorder); PX_BIND(chkFill); PX_BIND(btnBorderColor); PX_BIND(btnFillColor); PX_BIND(btnFillColor2);
  PX_BIND(edtBorderWidth); PX_BIND(edtEdgeFeather); PX_BIND(edtSoftShadow); PX_BIND(edtSSIntensity);
  PX_BIND(updBorderWidth); PX_BIND(updEdgeFeather); PX_BIND(updSoftShadow); PX_BIND(updSSIntensity);
  PX_BIND(lblBorderWidth); PX_BIND(lblFillOpacity); PX_BIND(lblGradient); PX_BIND(lblSSIntensity);
  PX_BIND(trkFillOpacity); PX_BIND(trkOpacity); PX_BIND(cmbGradient); PX_BIND(cmbOperation);
  PX_BIND(lblShape); PX_BIND(lblModifier); PX_BIND(cmbShape); PX_BIND(edtModifier); PX_BIND(updModifier);
  PX_BIND(lblLineLabel); PX_BIND(lblLabelPosition); PX_BIND(lblLineShapes); PX_BIND(lblStartShape);
  PX_BIND(lblEndShape); PX_BIND(lblShapeSize); PX_BIND(cmbLabelPosition); PX_BIND(cmbStartShape);
  PX_BIND(cmbEndShape); PX_BIND(chkRulerMode); PX_BIND(lnkEditText); PX_BIND(edtShapeSize); PX_BIND(updShapeSize);
  PX_BIND(lblText); PX_BIND(lblFont); PX_BIND(lblAlignment); PX_BIND(lblTextLayout); PX_BIND(lblTextShape);
  PX_BIND(memText); PX_BIND(edtFontSize); PX_BIND(updFontSize); PX_BIND(btnFontColor); PX_BIND(btnSetFont);
  PX_BIND(cmbAlignment); PX_BIND(cmbTextLayout); PX_BIND(cmbTextShape); PX_BIND(chkReadOnly); PX_BIND(chkAutoSize);
  PX_BIND(chkWordWrap); PX_BIND(edtStartAngle); PX_BIND(edtSweepAngle); PX_BIND(edtAngleFontSize);
  PX_BIND(updStartAngle); PX_BIND(updSweepAngle); PX_BIND(updAngleFontSize); PX_BIND(btnAngleFontColor);
  PX_BIND(btnSetAngleFont); PX_BIND(btnInvertAngle); PX_BIND(memProps); PX_BIND(btnUpdateProps);
#undef PX_BIND
}

void TPXLayerProperties::WireEvents() {
  const TNotifyEvent apply(this, &TPXLayerProperties::ApplyToLayer);
  // Every editing control writes the layer, unless named below.
  for (int i = 0; i < ComponentCount(); ++i) {
    TComponent* c = Components(i);
    if (auto* e = dynamic_cast<TCustomEdit*>(c)) e->SetOnChange(apply);
    else if (auto* t = dynamic_cast<TTrackBar*>(c)) t->SetOnChange(apply);
    else if (auto* b = dynamic_cast<TPXColorButton*>(c)) b->SetOnChange(apply);
    else if (auto* k = dynamic_cast<TCheckBox*>(c)) k->SetOnClick(apply);
    else if (auto* m = dynamic_cast<TComboBox*>(c)) m->SetOnChange(apply);
  }
  const TNotifyEvent check(this, &TPXLayerProperties::CheckClick);
  chkBorder->SetOnClick(check);
  chkFill->SetOnClick(check);
  cmbGradient->SetOnChange(check);
  chkAspectRatio->SetOnClick(check);
  chkPolylineClosed->SetOnClick(check);
  cmbShape->SetOnChange(check);
  const TNotifyEvent action(this, &TPXLayerProperties::ButtonAction);
  for (TControl* b : std::initializer_list<TControl*>{btnRestoreSize, btnResetAR, btnInvertAngle, btnUpdateProps, btnCancel})
    b->SetOnClick(action);
  lnkEditText->SetOnLinkClick([this](TObject*, const std::string&, TSysLinkType) {
    PageControl1->SetActivePage(tabText);
  });
  lblSelectedLayer->SetOnMouseDown(TMouseEvent(this, &TPXLayerProperties::ShowAllPages));
  // The shape lists draw each shape; the end-shape lists a sample line with its end.
  const TDrawItemEvent drawShape([this](TWinControl* Control, int32_t Index, const TRect& Rect, TOwnerDrawState State) {
    DrawListItem(Control, Index, Rect, State, false);
  });
  const TDrawItemEvent drawEnd([this](TWinControl* Control, int32_t Index, const TRect& Rect, TOwnerDrawState State) {
    DrawListItem(Control, Index, Rect, State, true);
  });
  cmbShape->SetOnDrawItem(drawShape);
  cmbTextShape->SetOnDrawItem(drawShape);
  cmbStartShape->SetOnDrawItem(drawEnd);
  cmbEndShape->SetOnDrawItem(drawEnd);
  const TNotifyEvent font(this, &TPXLayerProperties::FontClick);
  btnSetFont->SetOnClick(font);
  btnSetAngleFont->SetOnClick(font);
  PageControl1->SetOnResize(TNotifyEvent(this, &TPXLayerProperties::PagesResized));
}

void TPXLayerProperties::PaintBackground() {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const int32_t w = imgBackground->Width(), h = imgBackground->Height();
  switch (s->GetDialogHeaderStyle()) {
    case 1: PaintStripedBackground(imgBackground->Picture()->Bitmap(), w, h); break;
    case 2: PaintNoiseGradientBackground(imgBackground->Picture()->Bitmap(), w, h); break;
    case 3: {
      TBitmap* b = imgBackground->Picture()->Bitmap();
      b->SetSize(w, h);
      TileGraphic(b->Canvas(), w, h, s->FDialogHeaderPicture.get());
      break;
    }
    default: break;
  }
}

void TPXLayerProperties::DoCreate() {
  BindComponents();
  WireEvents();
  PaintBackground();
  PageControl1->SetActivePage(tabGeneral);
  TForm::DoCreate();
}

// ---------------------------------------------------------------------------------------------
// Showing and closing

void TPXLayerProperties::DoShow() {
  ApplyLanguage();
  if (TApplication* app = Application()) app->ProcessMessages();
  // Owner-drawn lists are at least as tall as a line of text with its borders.
  const int32_t minHeight = Canvas()->TextHeight("Ag") + 2 * GetSystemMetrics(SM_CYBORDER);
  for (TComboBox* c : {cmbShape, cmbStartShape, cmbEndShape, cmbTextShape})
    c->SetItemHeight(std::max(c->ItemHeight(), minHeight));
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  if (!s->FDialogButtonGlyphs) {
    btnOK->Glyph()->SetSize(0, 0);
    btnCancel->Glyph()->SetSize(0, 0);
  }
  for (TComboBox* c : {cmbShape, cmbTextShape}) {
    c->Items()->Clear();
    for (int32_t i = 0; i < 100; ++i) c->Items()->Add(IntToStr(i));
  }
  LayerPropertiesToStrings(Layer(), FSavedProperties.get());
  FUpdating = false;
  TPXLayer* l = Layer();
  const int kind = l ? static_cast<int>(l->Kind()) : -1;
  tabShape->SetTabVisible(kind == static_cast<int>(pxlkShape));
  tabLine->SetTabVisible(kind == static_cast<int>(pxlkLine));
  tabText->SetTabVisible(kind == static_cast<int>(pxlkText) || kind == static_cast<int>(pxlkLine));
  tabAngle->SetTabVisible(kind == static_cast<int>(pxlkAngle));
  tabAdvanced->SetTabVisible(s->FLayerPropsAdvancedTab != 0);
  tabGeneral->SetTabVisible(true);
  tabStyle->SetTabVisible(true);
  ReadLayer();
  const int32_t last = LastPageIndex();
  if (last >= 0 && last < PageControl1->PageCount() && PageControl1->Pages(last)->TabVisible())
    PageControl1->SetActivePage(PageControl1->Pages(last));
  TForm::DoShow();
}

void TPXLayerProperties::DoClose(TCloseAction& Action) {
  LastPageIndex() = PageControl1->ActivePageIndex();
  TForm::DoClose(Action);
}

void TPXLayerProperties::ShowAllPages(TObject*, TMouseButton, TShiftState Shift, int32_t, int32_t) {
  if (!Shift.Contains(ssShift)) return;
  for (int32_t i = 0; i < PageControl1->PageCount(); ++i) PageControl1->Pages(i)->SetTabVisible(true);
}

void TPXLayerProperties::PagesResized(TObject*) {
  const int32_t d = tabGeneral->Width() - lblName->Left();
  for (TControl* c : std::initializer_list<TControl*>{edtName, memText}) c->SetWidth(d - c->Left());
  if (FRichEdit) FRichEdit->SetWidth(d - FRichEdit->Left());
  for (TControl* c : std::initializer_list<TControl*>{btnSetFont, btnResetAR, btnRestoreSize}) c->SetLeft(d - c->Width());
}

// ---------------------------------------------------------------------------------------------
// Texts

void TPXLayerProperties::ApplyLanguage() {
  SetCaption(LangWord(272));
  if (TPXLayer* l = Layer()) {
    lblSelectedLayer->SetCaption(FLayerIndex > 0
                                     ? Format("%s %d (%s)", LangWord(701).c_str(), FLayerIndex, l->GetKindName().c_str())
                                     : Format("%s (%s)", LangWord(722).c_str(), l->GetKindName().c_str()));
  }
  btnOK->SetCaption(LangWord(3));
  btnCancel->SetCaption(LangWord(4));
  const struct {
    TControl* Control;
    uint16_t Word;
  } pages[] = {{tabGeneral, 230}, {tabStyle, 147}, {tabShape, 714}, {tabLine, 706},
               {tabText, 728},    {tabAngle, 754}, {tabAdvanced, 45}};
  for (const auto& p : pages) p.Control->SetCaption(LangWord(p.Word));
  const bool english = GlobalSettingsInstance()->IsEnglishLanguage();
  lblName->SetCaption(english ? "Layer Name:" : WordColon(51));
  lblFillOpacity->SetCaption(english ? "Fill Opacity:" : WordColon(708));
  // Captions: the word, and a colon after it where marked.
  const struct {
    const char* Name;
    uint16_t Word;
    bool Colon;
  } captions[] = {
      {"chkLayerVisible", 731, false}, {"chkLayerCropped", 738, false}, {"chkLayerLocked", 741, false},
      {"chkAspectRatio", 740, false},  {"chkPolylineClosed", 712, false}, {"chkIsMask", 702, false},
      {"chkMaskInverted", 747, false}, {"lblPosition", 95, false},     {"lblPosX", 29, true},
      {"lblPosY", 30, true},           {"lblWidth", 31, true},         {"lblHeight", 32, true},
      {"lblRotate", 719, true},        {"btnRestoreSize", 732, false}, {"btnResetAR", 745, false},
      {"chkBorder", 306, true},        {"lblBorderWidth", 31, true},   {"chkFill", 181, true},
      {"lblGradient", 698, true},      {"lblOpacity", 708, true},      {"lblOperation", 709, true},
      {"lblFeather", 180, true},       {"lblSoftShadow", 223, true},   {"lblSSIntensity", 184, true},
      {"lblShape", 714, true},         {"lblModifier", 710, true},     {"lblLineLabel", 721, false},
      {"lblLabelPosition", 95, true},  {"chkRulerMode", 718, false},   {"lblLineShapes", 720, false},
      {"lblStartShape", 688, true},    {"lblEndShape", 687, true},     {"lblShapeSize", 96, true},
      {"lblText", 728, true},          {"lblFont", 307, true},         {"lblAngleFont", 307, true},
      {"btnSetFont", 327, false},      {"btnSetAngleFont", 327, false}, {"lblAlignment", 333, true},
      {"lblTextLayout", 705, true},    {"lblTextShape", 714, true},    {"chkReadOnly", 713, false},
      {"chkAutoSize", 691, false},     {"chkWordWrap", 717, false},    {"btnInvertAngle", 755, false},
      {"lblStartAngle", 756, true},    {"lblSweepAngle", 754, true},   {"btnUpdateProps", 715, false},
  };
  for (const auto& c : captions)
    if (auto* control = dynamic_cast<TControl*>(FindComponent(c.Name)))
      control->SetCaption(c.Colon ? WordColon(c.Word) : LangWord(c.Word));
  lnkEditText->SetCaption("<a>" + LangWord(279) + "</a>");
  const struct {
    const char* Name;
    uint16_t Word;
  } hints[] = {
      {"chkLayerCropped", 739}, {"chkLayerLocked", 734}, {"chkAspectRatio", 733}, {"chkPolylineClosed", 742},
      {"chkIsMask", 704},       {"edtRotate", 727},      {"updRotate", 727},      {"btnRestoreSize", 743},
      {"btnResetAR", 735},      {"btnBorderColor", 693}, {"btnFillColor", 694},   {"btnFillColor2", 695},
      {"edtEdgeFeather", 725},  {"updEdgeFeather", 725}, {"edtSoftShadow", 737},  {"updSoftShadow", 737},
      {"cmbShape", 729},        {"cmbTextShape", 729},   {"chkRulerMode", 724},   {"edtFontSize", 308},
      {"updFontSize", 308},     {"edtAngleFontSize", 308}, {"updAngleFontSize", 308}, {"btnFontColor", 309},
      {"btnAngleFontColor", 309}, {"btnSetFont", 744},   {"btnSetAngleFont", 744}, {"chkAutoSize", 726},
      {"chkWordWrap", 723},
  };
  for (const auto& h : hints)
    if (auto* control = dynamic_cast<TControl*>(FindComponent(h.Name))) control->SetHint(LangWord(h.Word));
  // List items keep their selection.
  auto items = [](TComboBox* Box, const std::vector<std::string>& Texts) {
    const int32_t index = Box->ItemIndex();
    for (size_t i = 0; i < Texts.size() && static_cast<int32_t>(i) < Box->Items()->Count(); ++i)
      Box->Items()->SetStrings(static_cast<int32_t>(i), Texts[i]);
    Box->SetItemIndex(index);
  };
  items(cmbGradient, {LangWord(707), LangWord(80), LangWord(81), LangWord(700), LangWord(716), LangWord(696), LangWord(696) + " 2", LangWord(697),
                      LangWord(697) + " 2"});
  items(cmbOperation, {LangWord(97)});
  items(cmbLabelPosition, {LangWord(699), LangWord(688), LangWord(687), LangWord(686), LangWord(692), LangWord(689), LangWord(690)});
  items(cmbAlignment, {LangWord(29), LangWord(93), LangWord(112)});
  items(cmbTextLayout, {LangWord(30), LangWord(94), LangWord(112)});
}

// ---------------------------------------------------------------------------------------------
// Reading

void TPXLayerProperties::SyncGeometry(bool PosSize, bool StartAngle, bool SweepAngle) {
  TPXLayer* l = Layer();
  if (!l) return;
  const bool saved = FUpdating;
  FUpdating = true;
  if (PosSize) {
    updPosX->SetPosition(l->GetPosX());
    updPosY->SetPosition(l->GetPosY());
    updWidth->SetPosition(l->GetWidth());
    updHeight->SetPosition(l->GetHeight());
  }
  if (l->Kind() == pxlkAngle) {
    TStringList keys;
    LayerPropertiesToStrings(l, &keys);
    if (StartAngle) updStartAngle->SetPosition(static_cast<int32_t>(Round(StrToFloatDef(keys.Values("PXLP_StartAngle"), 0))));
    if (SweepAngle) updSweepAngle->SetPosition(static_cast<int32_t>(Round(StrToFloatDef(keys.Values("PXLP_Angle"), 0))));
  }
  FUpdating = saved;
}

void TPXLayerProperties::ReadLayer() {
  TPXLayer* l = Layer();
  if (!l) return;
  const bool saved = FUpdating;
  FUpdating = true;
  TStringList keys;
  LayerPropertiesToStrings(l, &keys);
  FKeys.clear();
  for (int32_t i = 0; i < keys.Count(); ++i) {
    const std::string line = keys.Strings(i);
    const size_t at = line.find('=');
    if (line.rfind("PXLP_", 0) == 0 && at != std::string::npos) FKeys[UpperCase(line.substr(5, at - 5))] = line.substr(at + 1);
  }
  SyncGeometry(true, true, true);
  edtName->SetText(l->Name());
  chkLayerVisible->SetChecked(l->Visible());
  chkLayerCropped->SetChecked(l->Cropped());
  chkLayerLocked->SetChecked(l->Locked());
  chkAspectRatio->SetChecked(l->AspectRatioLocked());
  chkIsMask->SetChecked(l->IsMask());
  chkMaskInverted->SetChecked(l->MaskInverted());
  chkMaskInverted->SetVisible(chkIsMask->Checked());
  if (l->Kind() == pxlkPolyline) chkPolylineClosed->SetChecked(KeyTrue(KeyValue("PolylineClosed")));
  const bool textRotation = l->Kind() == pxlkText && FView && FView->TextLayerRotateMode() == 1;
  updRotate->SetPosition(static_cast<int32_t>(
      Round(textRotation ? StrToFloatDef(KeyValue("BorderRotate"), 0) : static_cast<long double>(l->Rotate()))));
  const bool border = l->BorderColor() != clNone && l->BorderWidth() > 0;
  chkBorder->SetChecked(border);
  btnBorderColor->SetSelectedColor(border ? l->BorderColor() : 0);
  updBorderWidth->SetPosition(border ? l->BorderWidth() : 1);
  chkFill->SetChecked(l->FillColor() != clNone);
  btnFillColor->SetSelectedColor(l->FillColor() != clNone ? l->FillColor() : 0xFFFFFF);
  trkFillOpacity->SetPosition(static_cast<int32_t>(Trunc(l->FillOpacity() * 100)));
  if (l->FillColor2() == clNone) {
    btnFillColor2->SetSelectedColor(0xFF0000);
    cmbGradient->SetItemIndex(0);
  } else {
    btnFillColor2->SetSelectedColor(l->FillColor2());
    cmbGradient->SetItemIndex(l->FillGradient() + 1);
  }
  trkOpacity->SetPosition(static_cast<int32_t>(Trunc(l->Opacity() * 100)));
  cmbOperation->SetItemIndex(std::max(0, static_cast<int32_t>(l->Operation())));
  updEdgeFeather->SetPosition(l->AlphaEdgeFeathering());
  const TPXVSoftShadow* shadow = l->SoftShadow();
  updSoftShadow->SetPosition(shadow->Enabled ? shadow->OffsetX : 0);
  updSSIntensity->SetPosition(shadow->Intensity);
  switch (l->Kind()) {
    case pxlkShape:
      cmbShape->SetItemIndex(KeyInt(KeyValue("Shape")));
      updModifier->SetPosition(KeyInt(KeyValue("ShapeModifier")));
      break;
    case pxlkLine: {
      const bool shown = !KeyValue("LabelText").empty() || KeyTrue(KeyValue("IsRuler"));
      cmbLabelPosition->SetItemIndex(shown ? KeyInt(KeyValue("LabelPosition")) : 0);
      chkRulerMode->SetChecked(KeyTrue(KeyValue("IsRuler")));
      cmbStartShape->SetItemIndex(KeyInt(KeyValue("LineStartShape")));
      cmbEndShape->SetItemIndex(KeyInt(KeyValue("LineEndShape")));
      updShapeSize->SetPosition(KeyInt(KeyValue("LineShapeSize"), 1));
      memText->SetText(StringReplace(KeyValue("LabelText"), "/**/", "\r\n"));
      updFontSize->SetPosition(KeyInt(KeyValue("FontSize"), 1));
      btnFontColor->SetSelectedColor(KeyColor(KeyValue("FontColor"), clBlack));
      cmbAlignment->SetItemIndex(KeyInt(KeyValue("LabelAlignment")));
      cmbTextShape->SetItemIndex(KeyInt(KeyValue("BorderShape")));
      chkReadOnly->SetChecked(KeyTrue(KeyValue("ReadOnly")));
      break;
    }
    case pxlkText:
      if (auto* text = dynamic_cast<TPXTextLayer*>(l); text && text->EnableFormatting()) {
        MakeRichEditor();
        FRichEdit->SetRTFText(text->RichText().empty() ? text->Text() : text->RichText());
      }
      memText->SetText(StringReplace(KeyValue("Text"), "/**/", "\r\n"));
      updFontSize->SetPosition(KeyInt(KeyValue("FontSize"), 1));
      btnFontColor->SetSelectedColor(KeyColor(KeyValue("FontColor"), clBlack));
      cmbAlignment->SetItemIndex(KeyInt(KeyValue("TextAlignment")));
      cmbTextLayout->SetItemIndex(KeyInt(KeyValue("TextLayout")));
      cmbTextShape->SetItemIndex(cmbTextShape->Items()->IndexOf(KeyValue("BorderShape")));
      chkReadOnly->SetChecked(KeyTrue(KeyValue("ReadOnly")));
      chkAutoSize->SetChecked(KeyTrue(KeyValue("AutoSize")));
      chkWordWrap->SetChecked(KeyTrue(KeyValue("WordWrap")));
      break;
    case pxlkAngle:
      updAngleFontSize->SetPosition(KeyInt(KeyValue("FontSize"), 12));
      btnAngleFontColor->SetSelectedColor(KeyColor(KeyValue("FontColor"), clBlack));
      break;
    default: break;
  }
  if (tabAdvanced->TabVisible()) memProps->Lines()->Assign(&keys);
  FUpdating = saved;
  UpdateControlStates();
}

// ---------------------------------------------------------------------------------------------
// Writing

void TPXLayerProperties::ApplyToLayer(TObject* Sender) {
  TPXLayer* l = Layer();
  if (FUpdating || !l) return;
  l->SetName(edtName->Text());
  l->SetVisible(chkLayerVisible->Checked());
  l->SetCropped(chkLayerCropped->Checked());
  l->SetLocked(chkLayerLocked->Checked());
  l->SetIsMask(chkIsMask->Checked());
  l->SetMaskInverted(chkMaskInverted->Checked());
  if (Sender == edtPosX) l->SetPosX(updPosX->Position());
  if (Sender == edtPosY) l->SetPosY(updPosY->Position());
  if (Sender == edtWidth) l->SetWidth(updWidth->Position());
  if (Sender == edtHeight) l->SetHeight(updHeight->Position());
  if (Sender == edtWidth || Sender == edtHeight) SyncGeometry(false, true, true);
  const int32_t rotate = updRotate->Position();
  const uint8_t mode = FView ? FView->TextLayerRotateMode() : 0;
  if (l->Kind() == pxlkText && (mode == 1 || mode == 2)) SetKey("BorderRotate", IntToStr(rotate));
  if (l->Kind() != pxlkText || mode != 1) {
    if (Round(l->Rotate()) != rotate) l->SetRotate(rotate);
  }
  if (chkBorder->Checked()) {
    l->SetBorderColor(btnBorderColor->SelectedColor());
    l->SetBorderWidth(updBorderWidth->Position());
  } else {
    l->SetBorderColor(clNone);
  }
  l->SetFillColor(chkFill->Checked() ? btnFillColor->SelectedColor() : clNone);
  if (cmbGradient->ItemIndex() > 0) {
    l->SetFillColor2(btnFillColor2->SelectedColor());
    l->SetFillGradient(static_cast<uint8_t>(cmbGradient->ItemIndex() - 1));
  } else {
    l->SetFillColor2(clNone);
  }
  l->SetFillOpacity(trkFillOpacity->Position() / 100.0);
  l->SetOpacity(trkOpacity->Position() / 100.0);
  if (cmbOperation->ItemIndex() >= 0) l->SetOperation(static_cast<uint8_t>(cmbOperation->ItemIndex()));
  l->SetAlphaEdgeFeathering(updEdgeFeather->Position());
  TPXVSoftShadow* shadow = l->SoftShadow();
  const int32_t offset = updSoftShadow->Position();
  shadow->Enabled = offset > 0;
  if (offset > 0) shadow->OffsetX = shadow->OffsetY = offset;
  shadow->Intensity = updSSIntensity->Position();
  l->Changed(true);
  switch (l->Kind()) {
    case pxlkShape: SetKey("ShapeModifier", IntToStr(updModifier->Position())); break;
    case pxlkLine:
      SetKey("LabelPosition", IntToStr(std::max(0, cmbLabelPosition->ItemIndex())));
      SetKey("IsRuler", chkRulerMode->Checked() ? "True" : "False");
      SetKey("LineStartShape", IntToStr(std::max(0, cmbStartShape->ItemIndex())));
      SetKey("LineEndShape", IntToStr(std::max(0, cmbEndShape->ItemIndex())));
      SetKey("LineShapeSize", IntToStr(updShapeSize->Position()));
      SetKey("LabelText", StringReplace(memText->Text(), "\r\n", "/**/"));
      SetKey("FontSize", IntToStr(updFontSize->Position()));
      SetKey("FontColor", IntToStr(btnFontColor->SelectedColor()));
      SetKey("LabelAlignment", IntToStr(std::max(0, cmbAlignment->ItemIndex())));
      if (cmbTextShape->ItemIndex() >= 0) SetKey("BorderShape", IntToStr(cmbTextShape->ItemIndex()));
      SetKey("ReadOnly", chkReadOnly->Checked() ? "True" : "False");
      break;
    case pxlkText:
      if (auto* text = dynamic_cast<TPXTextLayer*>(l); text && text->EnableFormatting() && FRichEdit) {
        // Formatted text lives in RichText, which sets the plain Text too; writing Text as
        // well would drop the formatting, so the memo only follows.
        text->SetRichText(FRichEdit->GetRTFText());
        const bool saved = FUpdating;
        FUpdating = true;
        memText->SetText(text->Text());
        FUpdating = saved;
      } else {
        SetKey("Text", StringReplace(memText->Text(), "\r\n", "/**/"));
      }
      SetKey("FontSize", IntToStr(updFontSize->Position()));
      SetKey("FontColor", IntToStr(btnFontColor->SelectedColor()));
      SetKey("TextAlignment", IntToStr(std::max(0, cmbAlignment->ItemIndex())));
      SetKey("TextLayout", IntToStr(std::max(0, cmbTextLayout->ItemIndex())));
      SetKey("BorderShape", IntToStr(cmbTextShape->ItemIndex() >= 0
                                         ? KeyInt(cmbTextShape->Items()->Strings(cmbTextShape->ItemIndex()))
                                         : 0));
      SetKey("AutoSize", chkAutoSize->Checked() ? "True" : "False");
      SetKey("ReadOnly", chkReadOnly->Checked() ? "True" : "False");
      SetKey("WordWrap", chkWordWrap->Checked() ? "True" : "False");
      break;
    case pxlkAngle: {
      SetKey("FontSize", IntToStr(updAngleFontSize->Position()));
      SetKey("FontColor", IntToStr(btnAngleFontColor->SelectedColor()));
      TStringList now;
      LayerPropertiesToStrings(l, &now);
      if (Sender == edtStartAngle &&
          updStartAngle->Position() != Round(StrToFloatDef(now.Values("PXLP_StartAngle"), 0))) {
        SetKey("StartAngle", IntToStr(updStartAngle->Position()));
        SyncGeometry(true, false, true);
        break;
      }
      if (Sender == edtSweepAngle && updSweepAngle->Position() != Round(StrToFloatDef(now.Values("PXLP_Angle"), 0))) {
        SetKey("Angle", IntToStr(updSweepAngle->Position()));
        SyncGeometry(true, false, false);
      }
      break;
    }
    default: break;
  }
  UpdateControlStates();
  Repaint();
}

// ---------------------------------------------------------------------------------------------
// Enabling

void TPXLayerProperties::UpdateControlStates() {
  TPXLayer* l = Layer();
  if (!l) return;
  const TPXLayerKind kind = l->Kind();
  chkLayerCropped->SetEnabled(FLayerIndex > 0);
  chkPolylineClosed->SetEnabled(kind == pxlkPolyline);
  chkMaskInverted->SetVisible(chkIsMask->Checked());
  btnRestoreSize->SetEnabled(kind == pxlkImage && !l->IsNaturalSize());
  btnResetAR->SetEnabled(l->SupportsFeature(8));
  chkBorder->SetEnabled(l->SupportsFeature(0));
  const bool border = chkBorder->Enabled() && chkBorder->Checked();
  for (TControl* c : std::initializer_list<TControl*>{lblBorderWidth, edtBorderWidth, updBorderWidth, btnBorderColor})
    c->SetEnabled(border);
  chkFill->SetEnabled(l->SupportsFeature(1));
  const bool fill = chkFill->Enabled() && chkFill->Checked();
  for (TControl* c : std::initializer_list<TControl*>{btnFillColor, lblFillOpacity, trkFillOpacity}) c->SetEnabled(fill);
  const bool gradient = fill && l->SupportsFeature(2);
  lblGradient->SetEnabled(gradient);
  cmbGradient->SetEnabled(gradient);
  btnFillColor2->SetEnabled(gradient && cmbGradient->ItemIndex() > 0);
  const bool shadow = updSoftShadow->Position() != 0;
  for (TControl* c : std::initializer_list<TControl*>{lblSSIntensity, edtSSIntensity, updSSIntensity}) c->SetEnabled(shadow);
  const bool shape = kind == pxlkShape;
  lblShape->SetEnabled(shape);
  cmbShape->SetEnabled(shape);
  const bool modifier = shape && HasModifier(cmbShape->ItemIndex());
  for (TControl* c : std::initializer_list<TControl*>{lblModifier, edtModifier, updModifier}) c->SetEnabled(modifier);
  const bool T = kind == pxlkText, L = kind == pxlkLine;
  const bool S = L && cmbLabelPosition->ItemIndex() > 0;
  const bool E = (T || S) && !chkRulerMode->Checked();
  if (FRichEdit) {
    auto* text = dynamic_cast<TPXTextLayer*>(l);
    FRichEdit->SetVisible(text && text->EnableFormatting());
    FRichEdit->SetEnabled(E);
  }
  for (TControl* c : std::initializer_list<TControl*>{lblLineLabel, lblLabelPosition, cmbLabelPosition, lblLineShapes,
                                                      lblStartShape, cmbStartShape, lblEndShape, cmbEndShape,
                                                      lblShapeSize, edtShapeSize, updShapeSize})
    c->SetEnabled(L);
  chkRulerMode->SetEnabled(S);
  lnkEditText->SetEnabled(L && E);
  for (TControl* c : std::initializer_list<TControl*>{lblText, memText}) c->SetEnabled(E);
  for (TControl* c : std::initializer_list<TControl*>{lblFont, edtFontSize, updFontSize, btnFontColor, btnSetFont,
                                                      lblAlignment, cmbAlignment, chkReadOnly, chkAutoSize})
    c->SetEnabled(T || S);
  for (TControl* c : std::initializer_list<TControl*>{lblTextLayout, cmbTextLayout, chkWordWrap}) c->SetEnabled(T);
  const bool textShape = (T || S) && l->SupportsFeature(7);
  lblTextShape->SetEnabled(textShape);
  cmbTextShape->SetEnabled(textShape);
}

// ---------------------------------------------------------------------------------------------
// Buttons and special controls

void TPXLayerProperties::CheckClick(TObject* Sender) {
  TPXLayer* l = Layer();
  if (Sender == chkBorder || Sender == chkFill || Sender == cmbGradient) {
    if (FUpdating) UpdateControlStates();
    else ApplyToLayer(Sender);
    return;
  }
  if (FUpdating || !l) return;
  if (Sender == chkAspectRatio) {
    l->SetAspectRatioLocked(chkAspectRatio->Checked());
    Repaint();
    ReadLayer();
  } else if (Sender == chkPolylineClosed) {
    if (l->Kind() == pxlkPolyline) SetKey("PolylineClosed", chkPolylineClosed->Checked() ? "True" : "False");
    Repaint();
    UpdateControlStates();
  } else if (Sender == cmbShape) {
    if (l->Kind() == pxlkShape) {
      SetKey("Shape", IntToStr(cmbShape->ItemIndex()));
      if (l->AspectRatioLocked()) l->RestoreAspectRatio(true);
    }
    Repaint();
    ReadLayer();
  }
}

void TPXLayerProperties::DrawListItem(TWinControl* Control, int32_t Index, const TRect& Rect, TOwnerDrawState State,
                                      bool LineEnds) {
  auto* list = dynamic_cast<TComboBox*>(Control);
  if (!list) return;
  TCanvas* c = list->Canvas();
  const bool selected = State.Contains(odSelected);
  c->Font()->Assign(list->Font());
  c->Font()->SetColor(selected ? clHighlightText : clWindowText);
  c->Brush()->SetColor(selected ? clHighlight : clWindow);
  if (Index < 0) {
    c->FillRect(Rect);
    return;
  }
  if (LineEnds)
    DrawLineEndShapeItem(c, Rect, list->Enabled(), static_cast<TPXLineEndShape>(Index), kShapePreviewColor,
                         kShapePreviewColor, kShowShapeNames);
  else
    DrawShapeListItem(c, Rect, list->Enabled(), static_cast<TPXShape>(Index), kShapePreviewColor, kShowShapeNames);
}

void TPXLayerProperties::MakeRichEditor() {
  if (FRichEdit) return;
  // Over the memo, down to the font button, growing with the page.
  FRichEdit = new TPXRichEdit(this);  // owned by the form
  FRichEdit->SetParent(tabText);
  FRichEdit->SetBounds(memText->Left(), memText->Top(), memText->Width(),
                       btnSetFont->Top() + btnSetFont->Height() - memText->Top());
  FRichEdit->SetAnchors(TAnchors{akLeft, akTop, akRight, akBottom});
  TPXRichAutoToolbar bar;
  bar.SetEnabled(FView && FView->LayerOptions().Contains(loShowRichTextToolbar));
  bar.SetPosition(pxpBelow);
  FRichEdit->SetAutoToolbar(&bar);
  FRichEdit->SetAutoSize(false);
  FRichEdit->SetEnabled(false);
  FRichEdit->SetTabOrder(0);
  FRichEdit->SetOnChange(TNotifyEvent(this, &TPXLayerProperties::ApplyToLayer));
}

void TPXLayerProperties::FontClick(TObject*) {
  TPXLayer* l = Layer();
  if (FUpdating || !l) return;
  // The layer's own font dialog; its choice replaces the layer's font.
  ApplyFontAction(l, 2, 0);
  ReadLayer();
  Repaint();
}

void TPXLayerProperties::ButtonAction(TObject* Sender) {
  TPXLayer* l = Layer();
  if (!l) return;
  if (Sender == btnRestoreSize) {
    if (auto* image = dynamic_cast<TPXImageLayer*>(l)) image->RestoreSize();
    ReadLayer();
    Repaint();
  } else if (Sender == btnResetAR) {
    l->RestoreAspectRatio(true);
    ReadLayer();
    Repaint();
  } else if (Sender == btnInvertAngle) {
    if (l->Kind() == pxlkAngle) SetKey("InvertAngle", "");
    ReadLayer();
    Repaint();
  } else if (Sender == btnUpdateProps) {
    LayerPropertiesFromStrings(l, memProps->Lines());
    Repaint();
    ReadLayer();
  } else if (Sender == btnCancel) {
    LayerPropertiesFromStrings(l, FSavedProperties.get());
    Repaint();
  }
}
