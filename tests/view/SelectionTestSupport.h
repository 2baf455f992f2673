// The selection tests' fixture: a 200 x 150 view on a 100 x 80 white picture taking bitmap
// coordinates, and the bounding box of its selection mask.
#pragma once

#include <vector>

#include "core/pxxBitmaps_mask.h"
#include "tests/view/ViewTestSupport.h"

class SelectionViewTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    view_ = NewView(200, 150);
    view_->SetSelectionBase(pxsbBitmap);
    SetPicture(view_, 100, 80);
  }
  // (x1, y1, x2, y2) of the mask's selected pixels; empty for an empty mask.
  static std::vector<int32_t> MaskBox(TPixoranView* V) {
    TPXMask* m = V->SelMask();
    m->UpdateBounds();
    if (m->IsEmpty()) return {};
    return {m->FX1, m->FY1, m->FX2, m->FY2};
  }
  // Client position of picture point (X, Y).
  TPoint C(int32_t X, int32_t Y) { return {view_->BitmapToClientX(X, true), view_->BitmapToClientY(Y, true)}; }
  TPixoranView* view_ = nullptr;
};
