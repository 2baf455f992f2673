// The main window as its stored description builds it: the components with their classes,
// parents, alignment and geometry, the menu, the dialogs, the event bindings; what it paints;
// start-up and shutdown; the zoom, help and colour actions and the handlers before any open.
#include <cmath>

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
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/gdi/ImgList.h"
#include "platform/rtl/TypInfo.h"
#include "tests/app/QuillaneTestSupport.h"
#include "view/pixoran.h"

namespace {

constexpr TColorRef Rgb(int R, int G, int B) { return RGB(R, G, B); }

class QuillaneForm : public QuillaneTest {};

TEST_F(QuillaneForm, ComponentsAsStored) {
  WriteOptions("[LANGUAGE]\nDefault=7\n");
  TFrmQuillane* f = Open();
  EXPECT_TRUE(Reports().empty()) << Reports().front();
  EXPECT_EQ(f->Name(), "FrmQuillane");
  EXPECT_EQ(f->Caption(), "Quillane");
  EXPECT_EQ(Application()->Title(), "Quillane");
  EXPECT_EQ(f->Width(), 740);
  EXPECT_EQ(f->Height(), 540);
  EXPECT_EQ(f->Constraints()->MinWidth(), 600);
  EXPECT_EQ(f->Constraints()->MinHeight(), 460);
  EXPECT_EQ(f->Color(), static_cast<TColor>(16183522));
  EXPECT_EQ(f->Font()->Name(), "Tahoma");
  EXPECT_EQ(f->Font()->Height(), -11);
  EXPECT_EQ(GetEnumProp(f, "Position"), "poScreenCenter");
  EXPECT_EQ(GetEnumProp(f, "Scaled"), "False");

  // Class, parent, alignment and the geometry the window fixes (-1: set by the alignment).
  struct Row {
    const char* Name;
    const char* Class;
    const char* Parent;
    TAlign Align;
    int32_t Left, Top, Width, Height;
  } rows[] = {
      {"CvPanel1", "TCvPanel", "FrmQuillane", alTop, -1, -1, -1, 75},
      {"Image1", "TImage", "CvPanel1", alClient, -1, -1, -1, -1},
      {"BtnOpen", "TCvToolButton", "CvPanel1", alNone, 5, 10, 99, 65},
      {"BtnSaveAs", "TCvToolButton", "CvPanel1", alNone, 107, 10, 99, 65},
      {"BtnNewVer", "TCvToolButton", "CvPanel1", alNone, 619, 10, 99, 65},
      {"CvStatusBar1", "TCvStatusBar", "FrmQuillane", alBottom, -1, -1, -1, 19},
      {"CvStatusPane1", "TCvStatusPane", "CvStatusBar1", alClient, -1, -1, -1, -1},
      {"CvPanel2", "TCvPanel", "FrmQuillane", alClient, -1, -1, -1, -1},
      {"CvPanel4", "TCvPanel", "CvPanel2", alClient, -1, -1, -1, -1},
      {"PixoranDis", "TPixoran", "CvPanel4", alClient, -1, -1, -1, -1},
      {"CvPanel5", "TCvPanel", "CvPanel4", alBottom, -1, -1, -1, 36},
      {"CvPanel6", "TCvPanel", "CvPanel5", alNone, -1, -1, 131, 32},
      {"BtnFit", "TCvToolButton", "CvPanel6", alNone, 8, 5, -1, -1},
      {"BtnReal", "TCvToolButton", "CvPanel6", alNone, 38, 5, -1, -1},
      {"BtnZoomOut", "TCvToolButton", "CvPanel6", alNone, 68, 5, -1, -1},
      {"BtnZoomIn", "TCvToolButton", "CvPanel6", alNone, 98, 5, -1, -1},
      {"CvPageControl1", "TCvPageControl", "CvPanel2", alRight, -1, -1, 250, -1},
      {"TabSheet1", "TCvTabSheet", "CvPageControl1", alClient, -1, -1, -1, -1},
      {"CvPanel3", "TCvPanel", "TabSheet1", alClient, -1, -1, -1, -1},
      {"CvGroupBox1", "TCvGroupBox", "CvPanel3", alTop, -1, -1, -1, 111},
      {"Label6", "TLabel", "CvGroupBox1", alNone, -1, -1, -1, -1},
      {"Image2", "TImage", "CvGroupBox1", alNone, 52, 53, 23, 17},
      {"BtnLeft", "TCvBmpButton", "CvGroupBox1", alNone, 14, 50, 33, 23},
      {"BtnTop", "TCvBmpButton", "CvGroupBox1", alNone, 47, 24, 33, 23},
      {"BtnRight", "TCvBmpButton", "CvGroupBox1", alNone, 78, 50, 33, 23},
      {"BtnBottom", "TCvBmpButton", "CvGroupBox1", alNone, 47, 75, 33, 23},
      {"Label8", "TLabel", "CvGroupBox1", alNone, -1, -1, -1, -1},
      {"SpinEditSpc", "TCvSpinEdit", "CvGroupBox1", alNone, -1, -1, -1, -1},
      {"CvGroupBox2", "TCvGroupBox", "CvPanel3", alTop, -1, -1, -1, 63},
      {"TrackBarSize", "TCvTrackBar", "CvGroupBox2", alNone, -1, -1, 181, 24},
      {"Label9", "TLabel", "CvGroupBox2", alNone, -1, -1, -1, -1},
      {"CvGroupBox4", "TCvGroupBox", "CvPanel3", alTop, -1, -1, -1, 89},
      {"TrackBarTranBegin", "TCvTrackBar", "CvGroupBox4", alNone, -1, -1, 181, 24},
      {"TrackBarTranEnd", "TCvTrackBar", "CvGroupBox4", alNone, -1, -1, 181, 24},
      {"CvGroupBox5", "TCvGroupBox", "CvPanel3", alTop, -1, -1, -1, 60},
      {"RadioButtonColor", "TCvRadioButton", "CvGroupBox5", alNone, -1, -1, -1, -1},
      {"RadioButtonH", "TCvRadioButton", "CvGroupBox5", alNone, -1, -1, -1, -1},
      {"RadioButtonBW", "TCvRadioButton", "CvGroupBox5", alNone, -1, -1, -1, -1},
      {"TabSheet2", "TCvTabSheet", "CvPageControl1", alClient, -1, -1, -1, -1},
      {"CvPanel7", "TCvPanel", "TabSheet2", alClient, -1, -1, -1, -1},
      {"CvGroupBox6", "TCvGroupBox", "CvPanel7", alTop, -1, -1, -1, 89},
      {"CheckBoxRemoveAlpa", "TCvCheckBox", "CvGroupBox6", alNone, -1, -1, -1, -1},
      {"PanelBkColor", "TCvPanel", "CvGroupBox6", alNone, -1, -1, 41, 17},
      {"CvGroupBox3", "TCvGroupBox", "CvPanel7", alTop, -1, -1, -1, 138},
      {"CheckBoxWave", "TCvCheckBox", "CvGroupBox3", alNone, -1, -1, -1, -1},
      {"SpinEditZF", "TCvSpinEdit", "CvGroupBox3", alNone, -1, -1, -1, -1},
      {"SpinEditBC", "TCvSpinEdit", "CvGroupBox3", alNone, -1, -1, -1, -1},
      {"SpinEditXW", "TCvSpinEdit", "CvGroupBox3", alNone, -1, -1, -1, -1},
      {"CvPanel8", "TCvPanel", "CvPanel2", alRight, -1, -1, 5, -1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Name);
    auto* c = dynamic_cast<TControl*>(f->FindComponent(r.Name));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->ClassName(), r.Class);
    ASSERT_TRUE(c->Parent());
    EXPECT_EQ(c->Parent()->Name(), r.Parent);
    EXPECT_EQ(c->Align(), r.Align);
    if (r.Left >= 0) { EXPECT_EQ(c->Left(), r.Left); }
    if (r.Top >= 0) { EXPECT_EQ(c->Top(), r.Top); }
    if (r.Width >= 0) { EXPECT_EQ(c->Width(), r.Width); }
    if (r.Height >= 0) { EXPECT_EQ(c->Height(), r.Height); }
  }
  // The spacer lies between the view and the options.
  EXPECT_EQ(f->CvPanel8->Left() + 5, f->CvPageControl1->Left());
  EXPECT_EQ(f->CvPanel4->Left() + f->CvPanel4->Width(), f->CvPanel8->Left());
  EXPECT_EQ(f->BtnNewVer->Anchors(), (TAnchors{akTop, akRight}));
  EXPECT_EQ(f->CvPanel6->Anchors(), TAnchors{akTop});
  EXPECT_EQ(f->CvPageControl1->ActivePage(), f->TabSheet1);
  EXPECT_EQ(GetEnumProp(f->CvPageControl1, "TabStyle"), "tsRoundCorners");

  // Buttons and controls.
  EXPECT_EQ(f->BtnOpen->Caption(), "&Open");
  EXPECT_EQ(f->BtnSaveAs->Caption(), "&Save As");
  EXPECT_EQ(f->BtnNewVer->Caption(), "Help");
  EXPECT_FALSE(f->BtnSaveAs->Enabled());
  EXPECT_EQ(f->BtnSaveAs->DisabledIndex(), 2);
  EXPECT_EQ(f->BtnOpen->Images(), f->ImageListBar);
  EXPECT_EQ(f->ImageListBar->Count(), 4);
  EXPECT_EQ(f->ImageListBtn->Count(), 7);
  struct Hinted {
    TControl* Control;
    const char* Hint;
    int32_t Image;
  } zoom[] = {{f->BtnFit, "Fit", 3}, {f->BtnReal, "Real size", 4}, {f->BtnZoomOut, "Zoom in", 5}, {f->BtnZoomIn, "Zoom out", 6}};
  for (const Hinted& h : zoom) {
    EXPECT_EQ(h.Control->Hint(), h.Hint);
    EXPECT_TRUE(h.Control->ShowHint());
    EXPECT_EQ(static_cast<TCvToolButton*>(h.Control)->ImageIndex(), h.Image);
    EXPECT_EQ(static_cast<TCvToolButton*>(h.Control)->Images(), f->ImageListBtn);
  }
  TCvBmpButton* sides[] = {f->BtnLeft, f->BtnTop, f->BtnRight, f->BtnBottom};
  const char* sideHints[] = {"Left", "Top", "Right", "Bottom"};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(sides[i]->Tag(), i + 1);
    EXPECT_EQ(sides[i]->GroupIndex(), 2);
    EXPECT_EQ(sides[i]->Down(), i == 3);
    EXPECT_EQ(sides[i]->Hint(), sideHints[i]);
    EXPECT_EQ(sides[i]->Bitmaps()->TransparentColor(), clOlive);
    EXPECT_EQ(sides[i]->Bitmaps()->Up()->Width(), 33);
  }
  for (TCvTrackBar* t : {f->TrackBarSize, f->TrackBarTranBegin, f->TrackBarTranEnd}) {
    EXPECT_EQ(t->Min(), 0);
    EXPECT_EQ(t->Max(), 100);
    EXPECT_EQ(t->Position(), 0);
    EXPECT_EQ(t->CustomThumb()->Width(), 54);
    EXPECT_EQ(t->CustomThumb()->Height(), 18);
    EXPECT_EQ(t->TrackColor(), static_cast<TColor>(16183522));
    EXPECT_EQ(t->TrackFrameColor(), static_cast<TColor>(13408306));
  }
  struct Spin {
    TCvSpinEdit* Edit;
    int32_t Min, Max, Value;
  } spins[] = {{f->SpinEditSpc, -500, 500, 0}, {f->SpinEditZF, 0, 100, 10}, {f->SpinEditBC, 0, 100, 30}, {f->SpinEditXW, 0, 359, 0}};
  for (const Spin& s : spins) {
    SCOPED_TRACE(s.Edit->Name());
    EXPECT_EQ(s.Edit->Min(), s.Min);
    EXPECT_EQ(s.Edit->Max(), s.Max);
    EXPECT_EQ(s.Edit->IntValue(), s.Value);
    EXPECT_TRUE(s.Edit->AllowBlank());
    EXPECT_TRUE(s.Edit->AllowKeyEdit());
  }
  EXPECT_FALSE(f->RadioButtonBW->Visible());
  EXPECT_TRUE(f->RadioButtonColor->Checked());
  EXPECT_EQ(f->PanelBkColor->Color(), clWhite);
  EXPECT_EQ(f->Label6->Caption(), "Postion");
  EXPECT_EQ(f->Label6->Font()->Color(), clNavy);
  EXPECT_TRUE(f->Label6->Font()->Style().Contains(fsBold));

  // The view.
  TPixoran* v = f->PixoranDis;
  EXPECT_EQ(v->Background(), clBtnFace);
  EXPECT_EQ(v->BorderStyle(), bsNone);
  EXPECT_EQ(v->ZoomFilter(), rfFastLinear);
  EXPECT_EQ(v->BackgroundStyle(), pxbsChessboard);
  EXPECT_EQ(v->MouseWheelParams()->Action(), pxmwZoom);
  EXPECT_FALSE(v->LayerOptions().Contains(loKeyboardShortcuts));
  EXPECT_TRUE(v->TabStop());

  // The menu.
  EXPECT_EQ(f->Menu(), f->CvMainMenu1);
  EXPECT_EQ(f->CvMainMenu1->MenuStyler(), f->CvMenuFantasyStyler1);
  EXPECT_EQ(f->CvMainMenu1->Images(), f->ImageListBtn);
  EXPECT_EQ(GetEnumProp(f->CvMenuFantasyStyler1, "Style"), "fsCustom");
  EXPECT_EQ(f->M_Files->Caption(), "  &File  ");
  EXPECT_EQ(f->M_Language->Caption(), "  &Languages  ");
  EXPECT_EQ(f->M_Open->ImageIndex(), 0);
  EXPECT_EQ(f->M_SaveAs->ImageIndex(), 1);
  EXPECT_EQ(f->N4->Caption(), "-");
  EXPECT_EQ(f->M_Close->Caption(), "E&xit");
  EXPECT_EQ(f->M_Close->ShortCut(), ShortCut(VK_F4, TShiftState{ssAlt}));
  TMenuItem* langs[] = {f->M_English, f->M_German, f->M_Spanish, f->M_French, f->M_Italian, f->M_Dutch};
  const char* names[] = {"English", "German", "Spanish", "French", "Italian", "Dutch"};
  for (int32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(langs[i]->Caption(), names[i]);
    EXPECT_EQ(langs[i]->Tag(), i);
    EXPECT_TRUE(langs[i]->RadioItem());
    EXPECT_EQ(langs[i]->GroupIndex(), 1);
    EXPECT_EQ(langs[i]->Checked(), i == 0);
    EXPECT_EQ(langs[i]->Parent(), f->M_Language);
  }

  // The dialogs: the save dialog's sixteen filters.
  EXPECT_EQ(f->OpenPixoranDialog1->Title(), "打开图片");
  EXPECT_EQ(f->SavePixoranDialog1->Title(), "另存为");
  EXPECT_FALSE(f->SavePixoranDialog1->AutoSetFilter());
  EXPECT_TRUE(f->SavePixoranDialog1->Options().Contains(ofOverwritePrompt));
  EXPECT_TRUE(f->SavePixoranDialog1->Options().Contains(ofHideReadOnly));
  const char* patterns[] = {"*.tif;*.tiff;*.fax;*.g3n;*.g3f;*.xif", "*.gif", "*.jpg;*.jpeg;*.jpe;*.jif", "*.pcx",
                            "*.bmp;*.dib;*.rle", "*.ico", "*.png", "*.tga;*.targa;*.vda;*.icb;*.vst;*.pix",
                            "*.pxm;*.ppm;*.pgm;*.pbm", "*.wbmp", "*.jp2", "*.j2k;*.jpc;*.j2c", "*.ps;*.eps", "*.pdf",
                            "*.dcx", "*.psd"};
  for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(f->SavePixoranDialog1->FilterPattern(i + 1), patterns[i]);
  EXPECT_EQ(f->SavePixoranDialog1->FilterPattern(17), "");
}

TEST_F(QuillaneForm, EventBindings) {
  TFrmQuillane* f = Open();
  struct Binding {
    TComponent* Component;
    const char* Event;
    const char* Method;
  } bindings[] = {
      {f, "OnCreate", "FormCreate"},
      {f, "OnDestroy", "FormDestroy"},
      {f->BtnOpen, "OnClick", "M_OpenClick"},
      {f->M_Open, "OnClick", "M_OpenClick"},
      {f->BtnSaveAs, "OnClick", "M_SaveAsClick"},
      {f->M_SaveAs, "OnClick", "M_SaveAsClick"},
      {f->BtnNewVer, "OnClick", "BtnNewVerClick"},
      {f->BtnFit, "OnClick", "BtnFitClick"},
      {f->BtnReal, "OnClick", "BtnRealClick"},
      {f->BtnZoomOut, "OnClick", "BtnZoomOutClick"},
      {f->BtnZoomIn, "OnClick", "BtnZoomInClick"},
      {f->BtnLeft, "OnClick", "BtnLeftClick"},
      {f->BtnTop, "OnClick", "BtnLeftClick"},
      {f->BtnRight, "OnClick", "BtnLeftClick"},
      {f->BtnBottom, "OnClick", "BtnLeftClick"},
      {f->TrackBarSize, "OnChange", "TrackBarTranBeginChange"},
      {f->TrackBarTranBegin, "OnChange", "TrackBarTranBeginChange"},
      {f->TrackBarTranEnd, "OnChange", "TrackBarTranBeginChange"},
      {f->RadioButtonColor, "OnClick", "TrackBarTranBeginChange"},
      {f->RadioButtonH, "OnClick", "TrackBarTranBeginChange"},
      {f->RadioButtonBW, "OnClick", "TrackBarTranBeginChange"},
      {f->CheckBoxWave, "OnClick", "TrackBarTranBeginChange"},
      {f->SpinEditZF, "OnChange", "TrackBarTranBeginChange"},
      {f->SpinEditBC, "OnChange", "TrackBarTranBeginChange"},
      {f->SpinEditXW, "OnChange", "TrackBarTranBeginChange"},
      {f->SpinEditSpc, "OnChange", "SpinEditSpcChange"},
      {f->CheckBoxRemoveAlpa, "OnClick", "CheckBoxRemoveAlpaClick"},
      {f->PanelBkColor, "OnClick", "PanelBkColorClick"},
      {f->M_Files, "OnClick", "M_FilesClick"},
      {f->M_Close, "OnClick", "M_CloseClick"},
      {f->M_English, "OnClick", "M_EnglishClick"},
      {f->M_German, "OnClick", "M_EnglishClick"},
      {f->M_Spanish, "OnClick", "M_EnglishClick"},
      {f->M_French, "OnClick", "M_EnglishClick"},
      {f->M_Italian, "OnClick", "M_EnglishClick"},
      {f->M_Dutch, "OnClick", "M_EnglishClick"},
  };
  for (const Binding& b : bindings) {
    SCOPED_TRACE(b.Component->Name() + "." + b.Event);
    EXPECT_TRUE(GetMethodProp(b.Component, b.Event) == MethodAddress(f, b.Method));
  }
}

TEST_F(QuillaneForm, WideningMovesHelpAndKeepsTheZoomBarCentred) {
  TFrmQuillane* f = Open();
  const int32_t help = f->BtnNewVer->Left();
  const auto centre = [&] { return f->CvPanel6->Left() * 2 + f->CvPanel6->Width() - f->CvPanel5->ClientWidth(); };
  EXPECT_LE(std::abs(centre()), 2);
  f->SetWidth(f->Width() + 160);
  Pump();
  EXPECT_EQ(f->BtnNewVer->Left(), help + 160);
  EXPECT_LE(std::abs(centre()), 2);
  EXPECT_EQ(f->CvPageControl1->Width(), 250);
}

TEST_F(QuillaneForm, PaintsTheBandTheSwatchAndTheChessboard) {
  WriteOptions("[LANGUAGE]\nDefault=7\n");
  TFrmQuillane* f = Open();
  EXPECT_EQ(Pixel(f->CvPanel2, 2, 2), Rgb(226, 240, 246));
  // The empty view: 16-pixel squares of clBtnFace and (240, 255, 255).
  const TColorRef a = Pixel(f->PixoranDis, 4, 4), b = Pixel(f->PixoranDis, 20, 4);
  EXPECT_TRUE((a == Rgb(212, 208, 200) && b == Rgb(240, 255, 255)) || (a == Rgb(240, 255, 255) && b == Rgb(212, 208, 200)))
      << std::hex << a << " " << b;
  EXPECT_EQ(Pixel(f->PixoranDis, 4, 20), b);
  f->CvPageControl1->SetActivePage(f->TabSheet2);
  Pump();
  EXPECT_EQ(Pixel(f->PanelBkColor, 20, 8), Rgb(255, 255, 255));
  Close();
  WriteOptions("[OPTIONS]\nBkColor=$0000FF\n[LANGUAGE]\nDefault=7\n");
  f = Open();
  f->CvPageControl1->SetActivePage(f->TabSheet2);
  Pump();
  EXPECT_EQ(Pixel(f->PanelBkColor, 20, 8), Rgb(255, 0, 0));
}

// The menu bar in the styler's look: its items on the root gradient from (141, 210, 243) down
// to (57, 171, 225) with white text; the hovered item from (141, 210, 243) in its frame.
TEST_F(QuillaneForm, PaintsTheStyledMenuBar) {
  WriteOptions("[LANGUAGE]\nDefault=7\n");
  TFrmQuillane* f = Open();
  TWinControl* bar = f->MenuBar();
  ASSERT_NE(bar, nullptr);
  const TPoint o = bar->ClientToScreen(TPoint(0, 0));
  for (int32_t index : {0, 1}) {
    SCOPED_TRACE(index);
    TRect r;
    ASSERT_TRUE(GetMenuItemRect(f->Handle(), f->CvMainMenu1->Handle(), index, &r));
    r.Offset(-o.X, -o.Y);
    EXPECT_EQ(Pixel(bar, r.Left + 2, r.Top), Rgb(141, 210, 243));
    const TColorRef bottom = Pixel(bar, r.Left + 2, r.Bottom - 1);
    EXPECT_NEAR(GetRValue(bottom), 57, 8);
    EXPECT_NEAR(GetGValue(bottom), 171, 8);
    EXPECT_NEAR(GetBValue(bottom), 225, 8);
    // The caption: pixels far lighter than any of the gradient (whose red stays at most 141).
    int32_t light = 0;
    for (int32_t y = r.Top; y < r.Bottom; ++y)
      for (int32_t x = r.Left; x < r.Right; ++x) light += GetRValue(Pixel(bar, x, y)) >= 220;
    EXPECT_GT(light, 10);
  }
  TRect file;
  ASSERT_TRUE(GetMenuItemRect(f->Handle(), f->CvMainMenu1->Handle(), 0, &file));
  file.Offset(-o.X, -o.Y);
  MouseMove(bar, (file.Left + file.Right) / 2, (file.Top + file.Bottom) / 2);
  Pump();
  EXPECT_EQ(Pixel(bar, file.Left, file.Top + 3), Rgb(48, 129, 208));
  EXPECT_EQ(Pixel(bar, file.Left + 3, file.Bottom - 2), Rgb(141, 210, 243));
}

TEST_F(QuillaneForm, StartUpAndShutdown) {
  TFrmQuillane* f = Open();
  EXPECT_EQ(AppDir, dir_.Path());
  EXPECT_EQ(MsgError, "Error");
  EXPECT_EQ(MsgOpenError, "Can not open file");
  ASSERT_TRUE(f->ImageSrc());
  EXPECT_FALSE(f->ImageLoaded());
  EXPECT_EQ(f->ReflectLayer(), -1);
  EXPECT_EQ(f->PixoranDis->GetPXBitmap()->Width(), 1);
  EXPECT_EQ(f->PixoranDis->LayersCount(), 1);
  EXPECT_EQ(f->PixoranDis->IO()->PreviewFont()->Name(), "Tahoma");
  Close();
  // The settings are written at shutdown.
  EXPECT_NE(ReadOptions().find("[OPTIONS]"), std::string::npos);

  // A bad value in the language file ends FormCreate there: reported, the window still opens.
  WriteOptions("[LANGUAGE]\nDefault=1\n");
  WriteLanguage("German.isl", "[FrmQuillane]\nCaption=Fenster\nBtnOpen.Left=abc\nBtnOpen.Caption=Nicht\n");
  f = Open();
  ASSERT_EQ(Reports().size(), 1u);
  EXPECT_EQ(Reports()[0], "'abc' is not a valid integer value.");
  EXPECT_EQ(f->Caption(), "Fenster");
  EXPECT_EQ(Application()->Title(), "Quillane");
  EXPECT_EQ(f->BtnOpen->Caption(), "&Open");
  EXPECT_EQ(f->Tag(), 1);  // the value read stays: the switch did not end
  EXPECT_TRUE(f->Visible());
}

TEST_F(QuillaneForm, BeforeAnOpenOnlyTheLabelsReact) {
  WriteOptions("[OPTIONS]\nSize=37\nTranB=30\nTranE=60\n[LANGUAGE]\nDefault=7\n");
  TFrmQuillane* f = Open();
  EXPECT_EQ(f->Label9->Caption(), "37%");
  EXPECT_EQ(f->Label1->Caption(), "30%");
  EXPECT_EQ(f->Label2->Caption(), "60%");
  f->TrackBarSize->SetPosition(10);
  EXPECT_EQ(f->Label9->Caption(), "90%");
  const double zoom = f->PixoranDis->Zoom();
  for (TControl* c : std::initializer_list<TControl*>{f->BtnFit, f->BtnReal, f->BtnZoomOut, f->BtnZoomIn, f->BtnLeft,
                                                      f->BtnSaveAs})
    Click(c, 5, 5);
  f->SpinEditSpc->SetIntValue(20);
  f->CheckBoxRemoveAlpa->SetChecked(true);
  f->M_SaveAsClick(f->M_SaveAs);
  Pump();
  EXPECT_EQ(f->PixoranDis->Zoom(), zoom);
  EXPECT_EQ(f->PixoranDis->LayersCount(), 1);
  EXPECT_EQ(f->PixoranDis->GetPXBitmap()->Width(), 1);
  EXPECT_TRUE(TDialogScript::Shown().empty());
  // The File menu enables Save As from ImageLoaded; Exit closes the window.
  f->M_SaveAs->SetEnabled(true);
  f->M_FilesClick(f->M_Files);
  EXPECT_FALSE(f->M_SaveAs->Enabled());
  f->M_Close->Click();
  Pump();
  EXPECT_FALSE(f->Visible());
}

TEST_F(QuillaneForm, AltF4Closes) {
  TFrmQuillane* f = Open();
  f->SetFocus();
  Pump();
  Press(VK_F4, "", TShiftState{ssAlt});
  Pump();
  EXPECT_FALSE(f->Visible());
}

TEST_F(QuillaneForm, HelpOpensTheGuideBesideTheProgram) {
  std::ofstream(dir_.File("Guide.html")) << "<html></html>";
  TFrmQuillane* f = Open();
  Click(f->BtnNewVer, 10, 10);
  const auto shown = TDialogScript::Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Kind, "ShellExecute");
  EXPECT_EQ(shown[0].Title, "Open");
  EXPECT_EQ(shown[0].Text, "file://" + dir_.File("Guide.html"));
  f->OpenURL("   ");
  EXPECT_EQ(TDialogScript::Shown().size(), 1u);
}

TEST_F(QuillaneForm, BackgroundColourDialog) {
  TFrmQuillane* f = Open();
  TColor seen = clNone;
  TDialogAnswer cancel = TDialogAnswer::Cancelled();
  cancel.WhileOpen = [&](TCommonDialog* d) { seen = static_cast<TColorDialog*>(d)->Color(); };
  TDialogScript::Push(cancel);
  f->PanelBkColorClick(f->PanelBkColor);
  EXPECT_EQ(seen, clWhite);
  EXPECT_EQ(f->PanelBkColor->Color(), clWhite);
  TDialogScript::Push(TDialogAnswer::ChooseColor(static_cast<TColor>(0x00FF00)));
  f->PanelBkColorClick(f->PanelBkColor);
  EXPECT_EQ(f->PanelBkColor->Color(), static_cast<TColor>(0x00FF00));
  EXPECT_EQ(TDialogScript::Pending(), 0u);
}

}  // namespace
