#include <gtest/gtest.h>

#include "tests/forms/TestHost.h"

namespace {

// A container that paints nothing of its own.
class TBox : public TCustomControl {
 public:
  explicit TBox(TComponent* AOwner) : TCustomControl(AOwner) {
    SetControlStyle(ControlStyle() + csAcceptsControls);
  }
};

TBox* Box(TComponent* owner, TWinControl* parent, TRect bounds, TAlign align = alNone, bool loading = false) {
  auto* b = new TBox(owner);  // owned by owner
  if (loading) b->SetComponentState(csLoading, true);
  b->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  b->SetAlign(align);
  b->SetParent(parent);
  return b;
}

// The main window's layout: a tool bar on top, a status bar below, a right pane with a spacer
// and a view above a centred button strip. Built as the form loader builds it: every component
// loading, then Loaded on each, the form first.
struct MainWindow {
  std::unique_ptr<TForm> Form;
  TBox *Top, *NewVer, *Status, *Body, *Pages, *Spacer, *ViewPanel, *View, *Strip, *Buttons;

  MainWindow() {
    Form = std::make_unique<TForm>(nullptr);
    TForm* f = Form.get();
    f->SetComponentState(csLoading, true);
    f->SetBounds(183, 120, 740, 540);
    f->Constraints()->SetMinWidth(600);
    f->Constraints()->SetMinHeight(460);
    Top = Box(f, f, Bounds(0, 0, 732, 75), alTop, true);
    NewVer = Box(f, Top, Bounds(619, 10, 99, 65), alNone, true);
    NewVer->SetAnchors({akTop, akRight});
    Status = Box(f, f, Bounds(0, 494, 732, 19), alBottom, true);
    Body = Box(f, f, Bounds(0, 75, 732, 419), alClient, true);
    Body->SetBorderWidth(5);
    Pages = Box(f, Body, Bounds(462, 0, 250, 409), alRight, true);
    Spacer = Box(f, Body, Bounds(717, 0, 5, 409), alRight, true);
    ViewPanel = Box(f, Body, Bounds(0, 0, 467, 409), alClient, true);
    View = Box(f, ViewPanel, Bounds(0, 0, 467, 373), alClient, true);
    Strip = Box(f, ViewPanel, Bounds(0, 373, 467, 36), alBottom, true);
    Buttons = Box(f, Strip, Bounds(168, 2, 131, 32), alNone, true);
    Buttons->SetAnchors({akTop});
    f->Loaded();
    for (int i = 0; i < f->ComponentCount(); ++i) f->Components(i)->Loaded();
  }
};

using ControlsLayoutTest = FormsTest;

TEST_F(ControlsLayoutTest, MainWindowAlignsBeforeAndAfterItsWindowsExist) {
  MainWindow w;
  struct Expect {
    TControl* Control;
    TRect Bounds;
  };
  const std::vector<Expect> expected = {
      {w.Top, Bounds(0, 0, 732, 75)},        {w.Status, Bounds(0, 494, 732, 19)},
      {w.Body, Bounds(0, 75, 732, 419)},     {w.Spacer, Bounds(717, 0, 5, 409)},
      {w.Pages, Bounds(467, 0, 250, 409)},   {w.ViewPanel, Bounds(0, 0, 467, 409)},
      {w.View, Bounds(0, 0, 467, 373)},      {w.Strip, Bounds(0, 373, 467, 36)},
      {w.Buttons, Bounds(168, 2, 131, 32)},  {w.NewVer, Bounds(619, 10, 99, 65)},
  };
  EXPECT_EQ(w.Form->ClientRect(), TRect(0, 0, 732, 513));
  for (const Expect& e : expected) EXPECT_EQ(e.Control->BoundsRect(), e.Bounds) << "before: " << e.Bounds.Left;
  w.Form->Show();
  Pump();
  EXPECT_EQ(w.Form->ClientRect(), TRect(0, 0, 732, 513));
  for (const Expect& e : expected) EXPECT_EQ(e.Control->BoundsRect(), e.Bounds) << "shown: " << e.Bounds.Left;
  // The windows are where the controls say.
  TRect r;
  GetClientRect(w.View->Handle(), &r);
  EXPECT_EQ(r, TRect(0, 0, 467, 373));
  EXPECT_EQ(w.View->ClientOrigin(), TPoint(183 + 4 + 5, 120 + 23 + 75 + 5));
}

TEST_F(ControlsLayoutTest, ResizingKeepsAnchorsAndAlignment) {
  MainWindow w;
  w.Form->Show();
  Pump();
  w.Form->SetBounds(183, 120, 840, 590);
  EXPECT_EQ(w.Top->BoundsRect(), Bounds(0, 0, 832, 75));
  EXPECT_EQ(w.Status->BoundsRect(), Bounds(0, 544, 832, 19));
  EXPECT_EQ(w.Pages->BoundsRect(), Bounds(567, 0, 250, 459));
  EXPECT_EQ(w.View->BoundsRect(), Bounds(0, 0, 567, 423));
  EXPECT_EQ(w.NewVer->Left(), 719);                        // keeps its distance to the right edge
  EXPECT_EQ(w.Buttons->Left(), (567 - 131) / 2);           // anchored top only: stays centred
  EXPECT_EQ(w.Buttons->Top(), 2);
  // Back again: the rules were kept, not re-taken from the moved positions.
  w.Form->SetBounds(183, 120, 740, 540);
  EXPECT_EQ(w.NewVer->Left(), 619);
  EXPECT_EQ(w.Buttons->Left(), 168);
}

TEST_F(ControlsLayoutTest, UserResizeGoesThroughSetBoundsAndConstraints) {
  MainWindow w;
  w.Form->Show();
  Pump();
  SimulateUserResize(w.Form->Handle(), 832, 563);
  Pump();
  EXPECT_EQ(w.Form->Width(), 840);
  EXPECT_EQ(w.Form->Height(), 590);
  EXPECT_EQ(w.Pages->Left(), 567);
  // Below the minimum size: the form keeps the smallest size it allows.
  SimulateUserResize(w.Form->Handle(), 300, 200);
  Pump();
  EXPECT_EQ(w.Form->Width(), 600);
  EXPECT_EQ(w.Form->Height(), 460);
  // The system sizing loop of a grip (SC_SIZE from the bottom-right corner) does the same.
  TPoint corner = w.Form->ClientToScreen(TPoint(w.Form->ClientWidth() - 2, w.Form->ClientHeight() - 2));
  SimulateMouse(TSimMouseAction::Press, mbLeft, corner);
  SendMessage(w.Form->Handle(), WM_SYSCOMMAND, uint32_t{SC_SIZE} + uint32_t{WMSZ_BOTTOMRIGHT}, 0);
  SimulateMouse(TSimMouseAction::Move, mbLeft, TPoint(corner.X + 50, corner.Y + 30));
  SimulateMouse(TSimMouseAction::Release, mbLeft, TPoint(corner.X + 50, corner.Y + 30));
  EXPECT_EQ(w.Form->Width(), 650);
  EXPECT_EQ(w.Form->Height(), 490);
}

// Logs the bounds each message finds.
class TLoggedBox : public TBox {
 public:
  using TBox::TBox;
  std::vector<std::pair<std::string, int32_t>> Log;
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_WINDOWPOSCHANGED || m.Msg == WM_SIZE) Log.emplace_back(MessageName(m.Msg), Width());
    TBox::WndProc(m);
  }
};

TEST_F(ControlsLayoutTest, WindowPosChangedComesBeforeTheNewBoundsAndSizeAfter) {
  auto form = NewForm();
  auto* box = new TLoggedBox(form.get());
  box->SetBounds(10, 10, 50, 40);
  box->SetParent(form.get());
  Pump();
  box->Log.clear();
  box->SetBounds(10, 10, 80, 40);
  ASSERT_EQ(box->Log.size(), 2u);
  EXPECT_EQ(box->Log[0], std::make_pair(std::string("WM_WINDOWPOSCHANGED"), 50));
  EXPECT_EQ(box->Log[1], std::make_pair(std::string("WM_SIZE"), 80));
}

TEST_F(ControlsLayoutTest, ConstrainedAlignedControlLeavesTheRestToOthers) {
  auto form = NewForm(300, 200);
  TBox* left = Box(form.get(), form.get(), Bounds(0, 0, 100, 200), alLeft);
  left->Constraints()->SetMaxWidth(60);
  TBox* client = Box(form.get(), form.get(), Bounds(0, 0, 10, 10), alClient);
  EXPECT_EQ(left->BoundsRect(), Bounds(0, 0, 60, 200));
  EXPECT_EQ(client->BoundsRect(), Bounds(60, 0, 240, 200));
  // Hidden aligned controls give their space back.
  left->Hide();
  EXPECT_EQ(client->BoundsRect(), Bounds(0, 0, 300, 200));
}

// An alignment step a descendant replaces: a margin of 8 all round.
class TMarginBox : public TBox {
 public:
  using TBox::TBox;

 protected:
  void AdjustClientRect(TRect& Rect) override { Rect.Inflate(-8, -8); }
};

TEST_F(ControlsLayoutTest, AdjustClientRectNarrowsTheAlignedArea) {
  auto form = NewForm(300, 200);
  auto* outer = new TMarginBox(form.get());
  outer->SetAlign(alClient);
  outer->SetParent(form.get());
  TBox* inner = Box(form.get(), outer, Bounds(0, 0, 5, 5), alClient);
  EXPECT_EQ(inner->BoundsRect(), Bounds(8, 8, 284, 184));
}

}  // namespace
