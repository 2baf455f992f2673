#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/forms/TestHost.h"

namespace {

// A dock site that logs what its clients tell it and the undocking messages.
class TDockSiteTest : public TCustomControl {
 public:
  TDockSiteTest(TComponent* AOwner, MessageLog* Log) : TCustomControl(AOwner), log_(Log) {
    SetColor(clBtnFace);
    SetDockSite(true);
    SetUseDockManager(true);
  }
  TControl* ClientUnderMouse = nullptr;

 protected:
  void CMDockNotification(TCMDockNotification& Message) override {
    if (Message.NotifyRec->ClientMsg == WM_SETTEXT)
      log_->Add(Name() + ":text(" + reinterpret_cast<const char*>(Message.NotifyRec->MsgLParam) + ")");
    if (Message.NotifyRec->ClientMsg == CM_VISIBLECHANGED)
      log_->Add(Name() + ":visible(" + std::to_string(Message.NotifyRec->MsgWParam) + ")");
    TCustomControl::CMDockNotification(Message);
  }
  void CMUnDockClient(TCMUnDockClient& Message) override {
    log_->Add(Name() + ":undock(" + Message.Client->Name() + ")");
    TCustomControl::CMUnDockClient(Message);
  }
  TControl* GetDockClientFromMousePos(TPoint) override { return ClientUnderMouse; }

 private:
  MessageLog* log_;
};

class DockingTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = NewForm(500, 400);
    top = Site("Top", alTop, 100);
    left = Site("Left", alLeft, 150);
    a = Client("A");
    b = Client("B");
  }
  void TearDown() override {
    form.reset();
    Pump();
    FormsTest::TearDown();
  }
  TDockSiteTest* Site(const char* AName, TAlign Align, int32_t Extent) {
    auto* s = new TDockSiteTest(form.get(), &log);  // owned by the form
    s->SetName(AName);
    s->SetBounds(0, 0, Extent, Extent);
    s->SetAlign(Align);
    s->SetParent(form.get());
    return s;
  }
  TCustomControl* Client(const char* AName) {
    auto* c = new TCustomControl(form.get());  // owned by the form
    c->SetName(AName);
    c->SetCaption(AName);
    c->SetBounds(300, 200, 60, 40);
    c->SetDragKind(dkDock);
    c->SetParent(form.get());
    return c;
  }
  std::unique_ptr<TForm> form;
  TDockSiteTest* top = nullptr;
  TDockSiteTest* left = nullptr;
  TCustomControl* a = nullptr;
  TCustomControl* b = nullptr;
  MessageLog log;
};

TEST_F(DockingTest, TheDockTreePlacesClientsWithGrabbers) {
  ASSERT_NE(dynamic_cast<TDockTree*>(top->DockManager()), nullptr);
  auto* tree = static_cast<TDockTree*>(top->DockManager());
  EXPECT_EQ(tree->GrabberSize(), 12);
  EXPECT_TRUE(a->ManualDock(top));
  EXPECT_TRUE(b->ManualDock(top, a, alRight));
  EXPECT_EQ(a->HostDockSite(), top);
  EXPECT_EQ(a->Parent(), top);
  ASSERT_EQ(top->DockClientCount(), 2);
  EXPECT_EQ(top->DockClients(1), b);
  // A top site: side by side, the grabber at the left of each zone.
  EXPECT_EQ(a->BoundsRect(), TRect(12, 0, 250, 100));
  EXPECT_EQ(b->BoundsRect(), TRect(262, 0, 500, 100));
  // A left site: stacked, the grabber on top.
  a->ManualDock(left);
  b->ManualDock(left);
  Pump();
  EXPECT_EQ(top->DockClientCount(), 0);
  EXPECT_EQ(a->BoundsRect(), TRect(0, 12, 150, 150));
  EXPECT_EQ(b->BoundsRect(), TRect(0, 162, 150, 300));
  // The grabbers are painted in the zones' tops: raised bars and the close glyph.
  EXPECT_EQ(static_cast<TDockTree*>(left->DockManager())->ZoneRect(b), TRect(0, 150, 150, 300));
  const TRect close = static_cast<TDockTree*>(left->DockManager())->CloseRect(TRect(0, 150, 150, 300));
  EXPECT_EQ(close, TRect(137, 151, 148, 160));
  EXPECT_EQ(Pixel(left, 10, 150 + 3), RGB(255, 255, 255)) << "the light edge of the first bar";
  EXPECT_EQ(Pixel(left, 142, 155), RGB(0, 0, 0)) << "the close glyph's cross";
  EXPECT_EQ(Pixel(left, 137, 151), RGB(255, 255, 255)) << "its button's light edge";
  // A hidden client gives its zone up (the site hears of it), and a caption change is told too.
  log.Clear();
  a->Hide();
  b->SetCaption("Bee");
  EXPECT_EQ(log.Joined(), "Left:visible(0) Left:text(Bee)");
  EXPECT_EQ(b->BoundsRect(), TRect(0, 12, 150, 300));
  a->Show();
  // A click on the close glyph hides its client.
  Click(left, 142, 155);
  EXPECT_FALSE(b->Visible());
  EXPECT_EQ(a->BoundsRect(), TRect(0, 12, 150, 300));
}

TEST_F(DockingTest, DraggingByTheGrabberDocksElsewhereWithAnOutline) {
  a->ManualDock(left);
  b->ManualDock(left);
  int siteInfos = 0;
  top->SetOnGetSiteInfo([&](TObject*, TControl* Client, TRect& Influence, TPoint, bool& CanDock) {
    ++siteInfos;
    EXPECT_EQ(Client, b);
    EXPECT_EQ(Influence, TRect(top->ClientToScreen(TPoint()), top->ClientToScreen(TPoint(500, 100))));
    CanDock = true;
  });
  top->SetOnDockOver([&](TObject*, TDragDockObject* Source, int32_t, int32_t, TDragState State, bool&) {
    static const char* kState[] = {"enter", "leave", "move"};
    log.Add(std::string("over:") + kState[static_cast<int>(State)] + (Source->Floating() ? "" : ""));
  });
  TObject* endTarget = reinterpret_cast<TObject*>(1);
  b->SetOnEndDock([&](TObject*, TObject* Target, int32_t, int32_t) { endTarget = Target; });
  // The press on b's grabber, then past the threshold onto the top site.
  MouseDown(left, 50, 155);
  EXPECT_TRUE(b->Dragging());
  MouseMove(left, 52, 156);
  EXPECT_EQ(DockOutlineWindow(), nullptr) << "not before the threshold";
  MouseMove(top, 300, 50);
  EXPECT_GT(siteInfos, 0);
  HWND outline = DockOutlineWindow();
  ASSERT_NE(outline, nullptr);
  TRect r;
  GetWindowRect(outline, &r);
  // Where b would go: the whole top site (its only client), drawn as a 2-pixel frame the mouse
  // passes through.
  EXPECT_EQ(r, TRect(top->ClientToScreen(TPoint()), top->ClientToScreen(TPoint(500, 100))));
  EXPECT_TRUE(NativeShowsPoint(outline, TPoint(1, 50)));
  EXPECT_FALSE(NativeShowsPoint(outline, TPoint(2, 50)));
  EXPECT_EQ(WindowFromPoint(TPoint(r.Left, r.Top + 50)), top->Handle());
  MouseUp(top, 300, 50);
  EXPECT_EQ(DockOutlineWindow(), nullptr);
  EXPECT_EQ(b->HostDockSite(), top);
  EXPECT_EQ(b->Parent(), top);
  EXPECT_EQ(endTarget, top);
  EXPECT_EQ(log.Joined(), "over:enter over:move Left:undock(B)");
  EXPECT_EQ(left->DockClientCount(), 1);
  EXPECT_EQ(a->BoundsRect(), TRect(0, 12, 150, 300)) << "the old site closes the gap";

  // Escape cancels a dock drag; OnUnDock may refuse to let a client go.
  MouseDown(top, 5, 50);
  MouseMove(left, 50, 200);
  ASSERT_NE(DockOutlineWindow(), nullptr);
  Press(VK_ESCAPE);
  EXPECT_EQ(DockOutlineWindow(), nullptr);
  EXPECT_EQ(b->HostDockSite(), top);
  top->SetOnUnDock([](TObject*, TControl*, TWinControl*, bool& Allow) { Allow = false; });
  EXPECT_FALSE(b->ManualDock(left));
  EXPECT_EQ(b->HostDockSite(), top);
}

TEST_F(DockingTest, ControlsFloatInAHostFormThatFollowsThem) {
  a->ManualDock(left);
  // Dropped over no site, the control floats where the outline was.
  MouseDown(left, 50, 5);
  MouseMove(form.get(), 400, 300);
  HWND outline = DockOutlineWindow();
  ASSERT_NE(outline, nullptr);
  TRect r;
  GetWindowRect(outline, &r);
  EXPECT_EQ(r.Width(), 60) << "the size it had before it was docked";
  EXPECT_EQ(r.Height(), 40);
  MouseUp(form.get(), 400, 300);
  auto* host = dynamic_cast<TCustomDockForm*>(a->HostDockSite());
  ASSERT_NE(host, nullptr);
  EXPECT_TRUE(a->Floating());
  EXPECT_TRUE(host->Visible());
  EXPECT_EQ(host->ClientRect(), TRect(0, 0, 60, 40));
  EXPECT_EQ(a->Align(), alClient);
  EXPECT_EQ(host->Caption(), "A");
  a->SetCaption("Layers");
  EXPECT_EQ(host->Caption(), "Layers");
  a->Hide();
  EXPECT_FALSE(host->Visible());
  a->Show();
  EXPECT_TRUE(host->Visible());
  // Docked again, the host goes away.
  EXPECT_TRUE(a->ManualDock(top));
  EXPECT_FALSE(a->Floating());
  Pump();
  bool hostGone = true;
  for (int32_t i = 0; i < Screen()->FormCount(); ++i) hostGone = hostGone && Screen()->Forms(i) != host;
  EXPECT_TRUE(hostGone);
}

TEST_F(DockingTest, AFormDocksWithoutItsFrameAndFloatsOnItsOwn) {
  auto tool = std::make_unique<TForm>(nullptr);
  tool->SetCaption("Tool");
  tool->SetBounds(600, 100, 200, 150);
  tool->Show();
  Pump();
  EXPECT_TRUE(tool->Floating());
  EXPECT_TRUE(tool->ManualDock(left));
  EXPECT_EQ(tool->Parent(), left);
  EXPECT_EQ(GetWindowLong(tool->Handle(), GWL_STYLE) & WS_CAPTION, 0);
  EXPECT_EQ(tool->BoundsRect(), TRect(0, 12, 150, 300));
  // A press where a site says the form is (a tab standing for it) starts dragging it.
  top->ClientUnderMouse = tool.get();
  MouseDown(top, 300, 50);
  EXPECT_TRUE(tool->Dragging());
  tool->EndDrag(false);
  MouseUp(top, 300, 50);
  EXPECT_TRUE(tool->ManualFloat(Bounds(620, 120, 220, 160)));
  EXPECT_EQ(tool->Parent(), nullptr);
  EXPECT_EQ(tool->HostDockSite(), nullptr);
  EXPECT_TRUE(tool->Floating());
  EXPECT_NE(GetWindowLong(tool->Handle(), GWL_STYLE) & WS_CAPTION, 0);
  EXPECT_EQ(left->DockClientCount(), 0);
}

}  // namespace
