#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/hypxdefs_edit.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Messages.h"

TEST(PXEdit, TabAndNavigationKeysReachTheKeyUpEventAndTabInsertsNothing) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* edit = new TPXEdit(form.get());  // owned by the form
  edit->SetParent(form.get());
  std::vector<uint16_t> keysUp;
  edit->SetOnKeyUp(TKeyEvent([&](TObject*, uint16_t& Key, TShiftState) { keysUp.push_back(Key); }));
  form->HandleNeeded();

  for (uint16_t key : {uint16_t(9), uint16_t(33), uint16_t(40)})
    EXPECT_EQ(edit->Perform(CM_WANTSPECIALKEY, key, 0), 1) << key;
  EXPECT_EQ(edit->Perform(CM_WANTSPECIALKEY, 'A', 0), 0);
  EXPECT_EQ(keysUp, (std::vector<uint16_t>{9, 33, 40}));

  edit->Perform(WM_CHAR, '\t', 0);
  EXPECT_EQ(edit->Text(), "");
  edit->Perform(WM_CHAR, 'a', 0);
  EXPECT_EQ(edit->Text(), "a");
}

TEST(PXEdit, OwnerWindowHandleIsTheFirstWindowedOwnersOnceItExists) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* plain = new TComponent(form.get());
  EXPECT_EQ(GetOwnerWindowHandle(plain), nullptr);  // the form has no window yet
  form->HandleNeeded();
  EXPECT_EQ(GetOwnerWindowHandle(plain), form->Handle());
  EXPECT_EQ(GetOwnerWindowHandle(nullptr), nullptr);
  TComponent lone(nullptr);
  EXPECT_EQ(GetOwnerWindowHandle(&lone), nullptr);
}
