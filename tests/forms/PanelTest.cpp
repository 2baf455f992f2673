#include <gtest/gtest.h>

#include <memory>

#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Themes.h"
#include "tests/forms/TestHost.h"

namespace {

class PanelTest : public FormsTest {
 protected:
  static TColorRef Rgb(TColor c) { return static_cast<TColorRef>(ColorToRGB(c)); }
};

class TTestPanel : public TCustomPanel {
 public:
  using TCustomPanel::TCustomPanel;
};

TEST_F(PanelTest, BevelsBorderBandAndClientArea) {
  auto form = NewForm(300, 200);
  auto* p = new TTestPanel(form.get());  // owned by the form
  p->SetBounds(10, 10, 100, 60);
  p->SetParent(form.get());
  EXPECT_EQ(p->Color(), clBtnFace);
  EXPECT_EQ(p->BevelOuter(), bvRaised);
  auto* child = new TTestPanel(form.get());
  child->SetParent(p);
  child->SetAlign(alClient);
  Pump();
  // The border width lies inside the client area, which is the whole panel.
  EXPECT_EQ(p->ClientRect(), TRect(0, 0, 100, 60));
  EXPECT_EQ(child->BoundsRect(), TRect(1, 1, 99, 59));
  p->SetBorderWidth(3);
  p->SetBevelInner(bvLowered);
  p->SetBevelWidth(2);
  EXPECT_EQ(p->ClientRect(), TRect(0, 0, 100, 60));
  EXPECT_EQ(child->BoundsRect(), TRect(7, 7, 93, 53));
  child->Hide();
  p->SetColor(clYellow);
  Pump();
  // Outer raised bevel, the band in the panel's colour, inner lowered bevel, then the fill.
  EXPECT_EQ(Pixel(p, 0, 30), Rgb(clBtnHighlight));
  EXPECT_EQ(Pixel(p, 1, 30), Rgb(clBtnHighlight));
  EXPECT_EQ(Pixel(p, 99, 30), Rgb(clBtnShadow));
  EXPECT_EQ(Pixel(p, 2, 30), Rgb(clYellow));
  EXPECT_EQ(Pixel(p, 5, 30), Rgb(clBtnShadow));
  EXPECT_EQ(Pixel(p, 93, 30), Rgb(clBtnHighlight));
  EXPECT_EQ(Pixel(p, 50, 30), Rgb(clYellow));
  // A locked panel keeps its place among the tools.
  EXPECT_EQ(p->Perform(CM_ISTOOLCONTROL), 1);
  p->SetLocked(true);
  EXPECT_EQ(p->Perform(CM_ISTOOLCONTROL), 0);
}

TEST_F(PanelTest, NoVisualStyles) {
  EXPECT_FALSE(ThemeServices()->ThemesAvailable());
  EXPECT_FALSE(ThemeServices()->ThemesEnabled());
}

}  // namespace
