// The option handlers after an open: each trigger rebuilds the layers its steps touch (layer 0
// by steps 1-2, the reflection by steps 4-7) and leaves the other as it was; the hints of the
// zoom and position buttons.
#include "controls/CvBmpBtn.h"
#include "controls/CvButton.h"
#include "controls/CvPanel.h"
#include "controls/CvRadChk.h"
#include "controls/CvSpnEdt.h"
#include "controls/CvTabs.h"
#include "controls/CvTrkBar.h"
#include "tests/app/QuillaneTestSupport.h"
#include "view/pixoran.h"

namespace {

class QuillaneHandlers : public QuillaneTest {
 protected:
  void SetUp() override {
    QuillaneTest::SetUp();
    WriteOptions("[LANGUAGE]\nDefault=7\n");
    Python("d = sys.argv[0].rsplit('/', 1)[0] + '/'\n"
           "Image.new('RGBA', (20, 12), (40, 60, 200, 255)).save(d + 'pic.png')\n");
  }

  // A mark in the top-left pixel of a layer: gone when the layer was built again.
  static constexpr TRGB kMark{3, 2, 1};
  void Mark(int32_t Layer) { form_->PixoranDis->Layers(Layer)->GetBitmap()->GetPixelPtr24(0, 0)[0] = kMark; }
  bool Marked(int32_t Layer) {
    TPXBitmap* b = form_->PixoranDis->Layers(Layer)->GetBitmap();
    return b->PixelFormat() == px24RGB && b->GetPixelRGB(0, 0) == kMark;
  }
};

TEST_F(QuillaneHandlers, EachTriggerRebuildsItsLayers) {
  TFrmQuillane* f = Open();
  OpenFile(dir_.File("pic.png"));
  ASSERT_TRUE(f->ImageLoaded());
  const struct {
    const char* Trigger;
    std::function<void()> Fire;
    bool Base;        // layer 0 built again (steps 1, 2)
    bool Reflection;  // the reflection built again (steps 4 to 7)
  } cases[] = {
      {"position button", [&] { f->BtnRight->SetDown(true); Click(f->BtnRight, 5, 5); }, true, true},
      {"size", [&] { f->TrackBarSize->SetPosition(f->TrackBarSize->Position() + 10); }, false, true},
      {"start transparency", [&] { f->TrackBarTranBegin->SetPosition(f->TrackBarTranBegin->Position() + 5); }, false, true},
      {"end transparency", [&] { f->TrackBarTranEnd->SetPosition(f->TrackBarTranEnd->Position() + 5); }, false, true},
      {"grey", [&] { f->RadioButtonH->SetChecked(true); }, false, true},
      {"colour", [&] { f->RadioButtonColor->SetChecked(true); }, false, true},
      {"wave", [&] { f->CheckBoxWave->SetChecked(!f->CheckBoxWave->Checked()); }, false, true},
      {"amplitude", [&] { f->SpinEditZF->SetIntValue(f->SpinEditZF->IntValue() + 1); }, false, true},
      {"wave length", [&] { f->SpinEditBC->SetIntValue(f->SpinEditBC->IntValue() + 1); }, false, true},
      {"phase", [&] { f->SpinEditXW->SetIntValue(f->SpinEditXW->IntValue() + 1); }, false, true},
      {"spacing", [&] { f->SpinEditSpc->SetIntValue(f->SpinEditSpc->IntValue() + 7); }, true, false},
      {"remove-alpha", [&] { f->CheckBoxRemoveAlpa->SetChecked(!f->CheckBoxRemoveAlpa->Checked()); }, true, true},
      {"background colour",
       [&] {
         TDialogScript::Push(TDialogAnswer::ChooseColor(static_cast<TColor>(0x00FF00)));
         f->CvPageControl1->SetActivePage(f->TabSheet2);
         Pump();
         Click(f->PanelBkColor, 5, 5);
       },
       true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Trigger);
    Mark(0);
    Mark(1);
    c.Fire();
    Pump();
    EXPECT_EQ(!Marked(0), c.Base);
    EXPECT_EQ(!Marked(1), c.Reflection);
    EXPECT_EQ(f->PixoranDis->LayersCount(), 2);
    EXPECT_TRUE(Reports().empty());
  }
  // The spacing moves the reflection: right of the picture by 7 more each time.
  const int32_t x = f->PixoranDis->Layers(1)->GetPosX();
  f->SpinEditSpc->SetIntValue(f->SpinEditSpc->IntValue() + 7);
  EXPECT_EQ(f->PixoranDis->Layers(1)->GetPosX(), x + 7);
  // A spin edit's "-" reads as its minimum.
  f->SpinEditSpc->SetText("-");
  EXPECT_EQ(f->SpinEditSpc->IntValue(), -500);
}

// The view's layer keys cannot remove, replace or move the locked reflection.
TEST_F(QuillaneHandlers, LayerKeysLeaveTheReflection) {
  TFrmQuillane* f = Open();
  OpenFile(dir_.File("pic.png"));
  f->PixoranDis->SetFocus();
  Pump();
  Mark(0);
  Mark(1);
  const int32_t x = f->PixoranDis->Layers(1)->GetPosX(), y = f->PixoranDis->Layers(1)->GetPosY();
  const struct {
    uint16_t Key;
    TShiftState Shift;
  } keys[] = {{VK_DELETE, {}}, {'X', {ssCtrl}}, {'V', {ssCtrl}}, {VK_OEM_4, {ssCtrl}}, {VK_OEM_6, {ssCtrl}},
              {VK_LEFT, {}},   {VK_RIGHT, {}},  {VK_UP, {}},     {VK_DOWN, {}}};
  for (const auto& k : keys) Press(k.Key, "", k.Shift);
  Pump();
  ASSERT_EQ(f->PixoranDis->LayersCount(), 2);
  EXPECT_TRUE(f->PixoranDis->Layers(1)->Locked());
  EXPECT_TRUE(Marked(0));
  EXPECT_TRUE(Marked(1));
  EXPECT_EQ(f->PixoranDis->Layers(1)->GetPosX(), x);
  EXPECT_EQ(f->PixoranDis->Layers(1)->GetPosY(), y);
}

TEST_F(QuillaneHandlers, ZoomAndPositionButtonsShowTheirHints) {
  TFrmQuillane* f = Open();
  const struct {
    TControl* Control;
    const char* Hint;
  } cases[] = {{f->BtnFit, "Fit"},     {f->BtnReal, "Real size"}, {f->BtnZoomOut, "Zoom in"}, {f->BtnZoomIn, "Zoom out"},
               {f->BtnLeft, "Left"},   {f->BtnTop, "Top"},        {f->BtnRight, "Right"},     {f->BtnBottom, "Bottom"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Hint);
    MouseMove(f, 2, 2);
    AdvanceTime(3000);
    MouseMove(c.Control, 6, 6);
    AdvanceTime(Application()->HintPause() + 100);
    THintWindow* w = Application()->HintWindow();
    ASSERT_TRUE(w && w->HandleAllocated() && IsWindowVisible(w->Handle()));
    EXPECT_EQ(w->Caption(), c.Hint);
  }
  Application()->CancelHint();
}

}  // namespace
