#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/forms/StdCtrls.h"
#include "tests/forms/TestHost.h"

namespace {

class ComboBoxTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    StdCtrlsRegisterClasses();
    form_ = NewForm(400, 300);
    combo_ = new TComboBox(form_.get());  // owned by the form
    combo_->SetParent(form_.get());
    combo_->SetBounds(20, 20, 150, 0);
    for (const char* s : {"alpha", "beta", "gamma", "delta"}) combo_->Items()->Add(s);
    combo_->SetOnChange([this](TObject*) { log_.push_back("change"); });
    combo_->SetOnSelect([this](TObject*) { log_.push_back("select"); });
    Pump();
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }
  static TColorRef Rgb(TColor c) { return static_cast<TColorRef>(ColorToRGB(c)); }

  std::unique_ptr<TForm> form_;
  TComboBox* combo_ = nullptr;
  std::vector<std::string> log_;
};

TEST_F(ComboBoxTest, ItemHeightSetsTheControlHeight) {
  combo_->SetStyle(csOwnerDrawFixed);
  combo_->SetItemHeight(20);
  EXPECT_EQ(combo_->Height(), 26);
  combo_->SetBounds(20, 20, 150, 60);  // the height follows the item height, not the caller
  EXPECT_EQ(combo_->Height(), 26);
  EXPECT_EQ(combo_->Perform(CB_GETITEMHEIGHT, 0, 0), 20);
  combo_->Perform(CB_SETITEMHEIGHT, 0, 24);
  EXPECT_EQ(combo_->ItemHeight(), 24);
  EXPECT_EQ(combo_->Height(), 30);
  EXPECT_EQ(combo_->Perform(CB_SETITEMHEIGHT, 0, 0), -1);  // rejected, kept
  EXPECT_EQ(combo_->ItemHeight(), 24);

}

TEST_F(ComboBoxTest, OwnerDrawCallsOnDrawItemWithRectsAndStateAndPaintsTheList) {
  combo_->SetStyle(csOwnerDrawFixed);
  combo_->SetItemHeight(18);
  combo_->SetItemIndex(1);
  struct Call {
    int32_t Index;
    TRect Rect;
    bool Selected, Edit;
  };
  std::vector<Call> calls;
  bool list_only = true;
  combo_->SetOnDrawItem([&](TWinControl* c, int32_t i, const TRect& r, TOwnerDrawState s) {
    EXPECT_EQ(c, combo_);
    if (s.Contains(odComboBoxEdit) && list_only) return;  // the selection field repainting
    calls.push_back({i, r, s.Contains(odSelected), s.Contains(odComboBoxEdit)});
    TCanvas* canvas = static_cast<TComboBox*>(c)->Canvas();
    canvas->Brush()->SetColor(s.Contains(odSelected) ? clRed : (i == 2 ? clLime : clBlue));
    canvas->FillRect(r);
  });
  combo_->SetDroppedDown(true);
  ASSERT_TRUE(combo_->DroppedDown());
  EXPECT_EQ(combo_->Perform(CB_GETDROPPEDSTATE, 0, 0), 1);
  calls.clear();
  TCustomControl* list = combo_->ListWindow();
  ASSERT_NE(list, nullptr);
  list->Invalidate();
  Pump();
  ASSERT_EQ(calls.size(), 4u);
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(calls[static_cast<size_t>(i)].Index, i);
    EXPECT_EQ(calls[static_cast<size_t>(i)].Rect, TRect(0, i * 18, list->ClientWidth(), (i + 1) * 18));
    EXPECT_EQ(calls[static_cast<size_t>(i)].Selected, i == 1);
    EXPECT_FALSE(calls[static_cast<size_t>(i)].Edit);
  }
  EXPECT_EQ(list->ClientHeight(), 4 * 18);
  EXPECT_EQ(Pixel(list, 5, 5), Rgb(clBlue));
  EXPECT_EQ(Pixel(list, 5, 18 + 5), Rgb(clRed));
  EXPECT_EQ(Pixel(list, 5, 36 + 5), Rgb(clLime));
  const TPoint below = combo_->ClientToScreen(TPoint(0, combo_->Height()));
  EXPECT_EQ(list->ClientToScreen(TPoint(0, 0)).Y, below.Y + 1);  // right below, inside its border

  // The selection field is drawn through OnDrawItem too, marked as the edit part.
  combo_->SetDroppedDown(false);
  EXPECT_EQ(combo_->ListWindow(), nullptr);
  calls.clear();
  list_only = false;
  combo_->Invalidate();
  Pump();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Index, 1);
  EXPECT_TRUE(calls[0].Edit);
}

TEST_F(ComboBoxTest, DefaultDrawingShowsTheSelectedItemInHighlight) {
  combo_->SetStyle(csDropDownList);
  combo_->SetItemIndex(2);
  combo_->SetDroppedDown(true);
  TCustomControl* list = combo_->ListWindow();
  ASSERT_NE(list, nullptr);
  Pump();
  const int32_t h = combo_->ItemHeight();
  EXPECT_EQ(Pixel(list, list->ClientWidth() - 2, 2 * h + h / 2), Rgb(clHighlight));
  EXPECT_EQ(Pixel(list, list->ClientWidth() - 2, h / 2), Rgb(clWindow));
}

TEST_F(ComboBoxTest, KeyboardSelectsAndOpens) {
  combo_->SetStyle(csOwnerDrawFixed);
  combo_->SetFocus();
  Pump();
  Press(VK_DOWN);
  EXPECT_EQ(combo_->ItemIndex(), 0);
  EXPECT_EQ(combo_->Text(), "alpha");
  EXPECT_EQ(log_, (std::vector<std::string>{"select"}));  // OnSelect stands in for OnChange
  Press(VK_DOWN);
  Press(VK_UP);
  Press(VK_UP);  // already first: nothing
  EXPECT_EQ(combo_->ItemIndex(), 0);
  EXPECT_EQ(log_.size(), 3u);

  combo_->SetOnSelect(nullptr);
  log_.clear();
  Press(VK_F4);
  EXPECT_TRUE(combo_->DroppedDown());
  Press(VK_DOWN);
  EXPECT_EQ(combo_->ItemIndex(), 1);
  EXPECT_EQ(log_, (std::vector<std::string>{"change"}));
  Press(VK_RETURN);
  EXPECT_FALSE(combo_->DroppedDown());
  Press(VK_DOWN, "", TShiftState{ssAlt});
  EXPECT_TRUE(combo_->DroppedDown());
  Press(VK_ESCAPE);
  EXPECT_FALSE(combo_->DroppedDown());
  EXPECT_EQ(combo_->ItemIndex(), 1);
}

TEST_F(ComboBoxTest, MouseOpensAndPicks) {
  combo_->SetStyle(csOwnerDrawFixed);
  combo_->SetItemHeight(20);
  Click(combo_, 10, 10);
  ASSERT_TRUE(combo_->DroppedDown());
  TCustomControl* list = combo_->ListWindow();
  Click(list, 10, 2 * 20 + 5);
  EXPECT_FALSE(combo_->DroppedDown());
  EXPECT_EQ(combo_->ItemIndex(), 2);
  EXPECT_EQ(combo_->Text(), "gamma");
  EXPECT_EQ(log_, (std::vector<std::string>{"select"}));

  // Picking the selected item again, or clicking outside the list, changes nothing.
  Click(combo_, 10, 10);
  Click(combo_->ListWindow(), 10, 2 * 20 + 5);
  Click(combo_, 10, 10);
  ASSERT_TRUE(combo_->DroppedDown());
  MouseDown(form_.get(), 300, 250);
  MouseUp(form_.get(), 300, 250);
  EXPECT_FALSE(combo_->DroppedDown());
  EXPECT_EQ(log_.size(), 1u);
}

TEST_F(ComboBoxTest, ItemsSortedAndBounds) {
  combo_->SetItemIndex(3);
  combo_->SetSorted(true);
  EXPECT_EQ(combo_->Items()->Strings(0), "alpha");
  EXPECT_EQ(combo_->Text(), "delta");
  EXPECT_EQ(combo_->ItemIndex(), 2);
  combo_->SetItemIndex(9);
  EXPECT_EQ(combo_->ItemIndex(), -1);
  combo_->SetText("gamma");
  EXPECT_EQ(combo_->ItemIndex(), 3);
  combo_->Items()->Delete(3);  // the selected item goes: no selection left dangling
  EXPECT_EQ(combo_->ItemIndex(), -1);
  EXPECT_EQ(combo_->DropDownCount(), 8);
  EXPECT_TRUE(log_.empty());  // changes made in code fire nothing
}

}  // namespace
