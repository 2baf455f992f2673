// The item height of owner-drawn combo boxes follows their font.
#include <gtest/gtest.h>

#include "core/hypxutils_window.h"
#include "platform/forms/StdCtrls.h"

namespace {

TEST(ComboItemHeight, RaisedToTheFontForOwnerDrawnFixedOnly) {
  TComboBox combo(nullptr);
  combo.SetStyle(csOwnerDrawFixed);
  combo.SetItemHeight(2);
  AdjustComboItemHeight(&combo);
  const int32_t adjusted = combo.ItemHeight();
  EXPECT_GT(adjusted, 8);
  EXPECT_EQ(combo.Height(), adjusted + 6);
  combo.Font()->SetHeight(-30);
  AdjustComboItemHeight(&combo);
  EXPECT_GT(combo.ItemHeight(), adjusted);  // a larger font raises it
  combo.SetItemHeight(200);
  AdjustComboItemHeight(&combo);
  EXPECT_EQ(combo.ItemHeight(), 200);  // never lowered

  for (TComboBoxStyle style : {csDropDown, csDropDownList, csOwnerDrawVariable}) {
    combo.SetStyle(style);
    combo.SetItemHeight(2);
    AdjustComboItemHeight(&combo);
    EXPECT_EQ(combo.ItemHeight(), 2);
  }
  AdjustComboItemHeight(nullptr);
}

}  // namespace
