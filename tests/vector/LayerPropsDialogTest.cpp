// The layer properties dialog, driven through its stored form on an image view.
#include <gtest/gtest.h>

#include <memory>
#include <cctype>
#include <functional>
#include <string>

#include "core/pxsettings.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_text.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Buttons.h"
#include "platform/forms/ComCtrls_pages.h"
#include "platform/forms/ComCtrls_range.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls_memo.h"
#include "tests/view/ViewTestSupport.h"
#include "vector/pxxColorButton.h"
#include "vector/pxxLayerProps.h"
#include "vector/pxxRichEdit.h"

namespace {

class LayerPropsDialogTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    RegisterLayerPropertiesClasses();
    view_ = NewView(300, 200);
    SetPicture(view_, 120, 80, clWhite);
    view_->LayersAdd(pxlkImage, 10, 10, 40, 30);
    view_->LayersAdd(pxlkImage, 20, 20, 40, 30);
    GlobalSettingsInstance()->FLayerPropsAdvancedTab = 1;
    TPXLayerProperties::LastPageIndex() = 0;
  }
  void TearDown() override {
    dialog_.reset();
    GlobalSettingsInstance()->FLayerPropsAdvancedTab = 0;
    GlobalSettingsInstance()->FDialogHeaderStyle = 0;
    ViewTest::TearDown();
  }
  // Runs the dialog modally on layer Index; Script drives it and ends it with a button.
  TModalResult Run(int32_t Index, const std::function<void(TPXLayerProperties*)>& Script) {
    dialog_.reset(TCustomForm::Create<TPXLayerProperties>(nullptr));
    dialog_->SetView(view_);
    dialog_->SetLayerIndex(Index);
    // The script runs once the dialog has shown (its showing processes pending messages).
    dialog_->SetOnShow([this, Script](TObject*) {
      Application()->QueueCall([this, Script] {
        Pump();
        Script(dialog_.get());
        Pump();
      });
    });
    return dialog_->ShowModal();
  }
  static std::string Props(TPXLayer* L) {
    TStringList s;
    LayerPropertiesToStrings(L, &s);
    return s.Text();
  }
  static void TypeInto(TEdit* Edit, const std::string& Text) {
    Edit->SetFocus();
    Edit->SelectAll();
    for (char c : Text) Press(c == '-' ? static_cast<uint16_t>(VK_OEM_MINUS) : static_cast<uint16_t>(std::toupper(c)), std::string(1, c));
  }
  TPixoranView* view_ = nullptr;
  std::unique_ptr<TPXLayerProperties> dialog_;
};

TEST_F(LayerPropsDialogTest, TitlesPagesAndCroppingFollowTheLayer) {
  struct Case {
    int32_t Index;
    const char* Title;
    bool CropEnabled;
  } cases[] = {{0, "Background Layer (Image)", false}, {2, "Layer 2 (Image)", true}};
  for (const Case& c : cases) {
    Run(c.Index, [&](TPXLayerProperties* d) {
      EXPECT_EQ(d->Caption(), "Layer Properties");
      EXPECT_EQ(d->lblSelectedLayer->Caption(), c.Title);
      EXPECT_EQ(d->chkLayerCropped->Enabled(), c.CropEnabled);
      // An image layer shows General, Style and (when set) Advanced only.
      EXPECT_TRUE(d->tabGeneral->TabVisible());
      EXPECT_TRUE(d->tabStyle->TabVisible());
      EXPECT_TRUE(d->tabAdvanced->TabVisible());
      EXPECT_FALSE(d->tabShape->TabVisible() || d->tabLine->TabVisible() || d->tabText->TabVisible() ||
                   d->tabAngle->TabVisible());
      EXPECT_EQ(d->PageControl1->ActivePage(), d->tabGeneral);
      // The layer's values are in the controls.
      EXPECT_EQ(d->edtPosX->Text(), IntToStr(view_->Layers(c.Index)->GetPosX()));
      EXPECT_EQ(d->trkOpacity->Position(), 100);
      EXPECT_EQ(d->cmbOperation->Items()->Count(), 38);
      EXPECT_NE(d->memProps->Text().find("PXLP_Name="), std::string::npos);
      Click(d->btnOK, 10, 10);
    });
  }
}

TEST_F(LayerPropsDialogTest, SoftShadowFollowsTheTypedValue) {
  struct Case {
    const char* Typed;
    bool Enabled;
    int32_t Offset;
  } cases[] = {{"20", true, 20}, {"0", false, 3}, {"-5", false, 3}};
  for (const Case& c : cases) {
    TPXLayer* layer = view_->Layers(1);
    layer->SoftShadow()->Enabled = 0;
    layer->SoftShadow()->OffsetX = layer->SoftShadow()->OffsetY = 3;
    EXPECT_EQ(Run(1, [&](TPXLayerProperties* d) {
                d->PageControl1->SetActivePage(d->tabStyle);
                Pump();
                TypeInto(d->edtSoftShadow, c.Typed);
                // The intensity is editable for any value but 0.
                EXPECT_EQ(d->edtSSIntensity->Enabled(), std::string(c.Typed) != "0");
                Click(d->btnOK, 10, 10);
              }),
              mrOk);
    EXPECT_EQ(layer->SoftShadow()->Enabled != 0, c.Enabled) << c.Typed;
    EXPECT_EQ(layer->SoftShadow()->OffsetX, c.Offset) << c.Typed;
    EXPECT_EQ(layer->SoftShadow()->OffsetY, c.Offset) << c.Typed;
  }
}

TEST_F(LayerPropsDialogTest, ChangesGoLiveOkKeepsThemCancelRestoresEveryLine) {
  TPXLayer* layer = view_->Layers(1);
  const std::string before = Props(layer);
  auto change = [&](TPXLayerProperties* d) {
    TypeInto(d->edtName, "Sky");
    TypeInto(d->edtPosX, "33");
    Click(d->chkLayerLocked, 5, 8);
    d->PageControl1->SetActivePage(d->tabStyle);
    Pump();
    Click(d->chkBorder, 5, 8);
    TypeInto(d->edtSoftShadow, "7");
    d->trkOpacity->SetFocus();
    Press(VK_HOME);
    // Written at once.
    EXPECT_EQ(layer->Name(), "Sky");
    EXPECT_EQ(layer->GetPosX(), 33);
    EXPECT_TRUE(layer->Locked());
    EXPECT_NE(layer->BorderColor(), clNone);
    EXPECT_EQ(layer->Opacity(), 0.0);
    EXPECT_EQ(layer->SoftShadow()->OffsetX, 7);
  };
  EXPECT_EQ(Run(1, [&](TPXLayerProperties* d) {
              change(d);
              Click(d->btnCancel, 10, 10);
            }),
            mrCancel);
  EXPECT_EQ(Props(layer), before);
  // The dialog reopens on the page it closed on.
  EXPECT_EQ(TPXLayerProperties::LastPageIndex(), 1);
  EXPECT_EQ(Run(1, [&](TPXLayerProperties* d) {
              EXPECT_EQ(d->PageControl1->ActivePage(), d->tabStyle);
              d->PageControl1->SetActivePage(d->tabGeneral);
              change(d);
              Click(d->btnOK, 10, 10);
            }),
            mrOk);
  EXPECT_EQ(layer->Name(), "Sky");
  EXPECT_EQ(layer->GetPosX(), 33);
  // A page hidden for the next layer is not shown: the first page is.
  TPXLayerProperties::LastPageIndex() = 6;
  GlobalSettingsInstance()->FLayerPropsAdvancedTab = 0;
  Run(1, [&](TPXLayerProperties* d) {
    EXPECT_EQ(d->PageControl1->ActivePage(), d->tabGeneral);
    // Shift+click on the title shows every page.
    MouseDown(d->lblSelectedLayer, 3, 3, mbLeft, {ssShift});
    MouseUp(d->lblSelectedLayer, 3, 3);
    EXPECT_TRUE(d->tabShape->TabVisible() && d->tabAngle->TabVisible() && d->tabAdvanced->TabVisible());
    Click(d->btnOK, 10, 10);
  });
}

TEST_F(LayerPropsDialogTest, AdvancedListAppliesTypedProperties) {
  TPXLayer* layer = view_->Layers(2);
  Run(2, [&](TPXLayerProperties* d) {
    d->PageControl1->SetActivePage(d->tabAdvanced);
    d->memProps->SetText("PXLP_Name=From list\r\nPXLP_Opacity=0.5\r\nPXLP_Width=abc");
    Click(d->btnUpdateProps, 10, 10);
    EXPECT_EQ(layer->Name(), "From list");
    EXPECT_EQ(layer->Opacity(), 0.5);
    // The controls follow the layer.
    EXPECT_EQ(d->edtName->Text(), "From list");
    EXPECT_EQ(d->trkOpacity->Position(), 50);
    Click(d->btnOK, 10, 10);
  });
}

TEST_F(LayerPropsDialogTest, HeaderStylesPaintTheBackground) {
  GlobalSettingsInstance()->FDialogHeaderStyle = 1;
  Run(1, [&](TPXLayerProperties* d) {
    // Striped rows of grey 240, 251, 255, 251 behind the title.
    EXPECT_EQ(Pixel(d, 2, 0), RGB(240, 240, 240));
    EXPECT_EQ(Pixel(d, 2, 1), RGB(251, 251, 251));
    EXPECT_EQ(Pixel(d, 2, 2), RGB(255, 255, 255));
    Click(d->btnOK, 10, 10);
  });
  GlobalSettingsInstance()->FDialogHeaderStyle = 0;
  Run(1, [&](TPXLayerProperties* d) {
    EXPECT_EQ(Pixel(d, 2, 0), static_cast<TColorRef>(ColorToRGB(clBtnFace)));
    Click(d->btnOK, 10, 10);
  });
}

TEST_F(LayerPropsDialogTest, FormattedTextKeepsItsFormattingAndFontButtonUsesTheDialog) {
  const int32_t index = view_->LayersAdd(pxlkText, 10, 10, 200, 60);
  auto* text = dynamic_cast<TPXTextLayer*>(view_->Layers(index));
  ASSERT_NE(text, nullptr);
  text->SetEnableFormatting(true);
  text->SetRichText("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 {\\b Bold} plain\\par}");
  ASSERT_EQ(text->Text(), "Bold plain");
  TDialogScript::Start();
  Run(index, [&](TPXLayerProperties* d) {
    d->PageControl1->SetActivePage(d->tabText);
    Pump();
    TPXRichEdit* rich = d->RichEditor();
    ASSERT_NE(rich, nullptr);
    EXPECT_TRUE(rich->Visible());
    EXPECT_TRUE(rich->Enabled());
    EXPECT_EQ(rich->Parent(), d->tabText);
    EXPECT_EQ(rich->Left(), d->memText->Left());
    EXPECT_EQ(rich->Top(), d->memText->Top());
    EXPECT_EQ(rich->Top() + rich->Height(), d->btnSetFont->Top() + d->btnSetFont->Height());
    EXPECT_EQ(rich->GetText(), "Bold plain");
    // Typing in the editor keeps the bold word: RichText is written and Text follows it.
    rich->SetFocus();
    rich->SetSelection(10, 10, false);
    Press('X', "x");
    Pump();
    EXPECT_EQ(text->Text(), "Bold plainx");
    EXPECT_NE(text->RichText().find("\\b"), std::string::npos) << text->RichText();
    EXPECT_EQ(d->memText->Text(), "Bold plainx");
    // The font button (under the editor here, whose tool bar takes its place) opens the layer's
    // font dialog and reads the chosen font back.
    TDialogScript::Push(TDialogAnswer::ChooseFont("Courier New", 20));
    d->btnSetFont->Click();
    Pump();
    EXPECT_EQ(text->Font()->Name(), "Courier New");
    EXPECT_EQ(d->updFontSize->Position(), 20);
    Click(d->btnOK, 10, 10);
  });
  EXPECT_EQ(TDialogScript::Pending(), 0u);
  TDialogScript::Stop();
  EXPECT_NE(text->RichText().find("\\b"), std::string::npos);
}

TEST_F(LayerPropsDialogTest, ShapeListsDrawTheirShapes) {
  const int32_t index = view_->LayersAdd(pxlkShape, 10, 10, 60, 60);
  Run(index, [&](TPXLayerProperties* d) {
    d->PageControl1->SetActivePage(d->tabShape);
    d->cmbShape->SetItemIndex(5);
    d->cmbShape->Invalidate();
    Pump();
    // The selected shape's preview in its colour, and its name, in the list's face.
    int preview = 0;
    for (int32_t y = 0; y < d->cmbShape->Height(); ++y)
      for (int32_t x = 0; x < d->cmbShape->Width() - 20; ++x) preview += Pixel(d->cmbShape, x, y) == RGB(0xE5, 0x39, 0x35);
    EXPECT_GT(preview, 8);
    Click(d->btnOK, 10, 10);
  });
}

}  // namespace
