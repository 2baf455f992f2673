// The tool contract: the view asks its enabled tools in order; the selection objects the view
// keeps; the layer defaults applied to new layers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/view/ViewTestSupport.h"

namespace {

// A tool that logs what the view asks of it and takes mouse-downs when Takes is set.
class TestTool : public TPXUserInteraction {
 public:
  TestTool(TPixoranView* View, std::string Name, std::vector<std::string>* Log) : TPXUserInteraction(View), N(std::move(Name)), L(Log) {}
  bool MouseDown(TMouseButton, TShiftState, int32_t, int32_t) override {
    L->push_back(N + " down");
    return Takes;
  }
  void AfterMouseDown(TMouseButton, TShiftState, int32_t, int32_t) override { L->push_back(N + " after"); }
  void PaintToBackBuffer() override { L->push_back(N + " buffer"); }
  void PaintToCanvas(const TRect&) override { L->push_back(N + " canvas"); }
  bool NeedsBackBufferUpdate() override { return NeedsUpdate; }
  void DoImageChanged() override { L->push_back(N + " image"); }
  void Cancel() override { L->push_back(N + " cancel"); }
  std::string N;
  std::vector<std::string>* L;
  bool Takes = false;
  bool NeedsUpdate = false;
};

}  // namespace

TEST_F(ViewTest, EnabledToolsAreAskedInOrder) {
  std::vector<std::string> log;
  TPixoranView* view = NewView(60, 40);
  SetPicture(view, 60, 40);
  auto a = std::make_unique<TestTool>(view, "a", &log);
  auto b = std::make_unique<TestTool>(view, "b", &log);
  auto c = std::make_unique<TestTool>(view, "c", &log);
  TestTool *ta = a.get(), *tb = b.get();  // c stays disabled
  view->AddTool(std::move(a));
  view->AddTool(std::move(b));
  view->AddTool(std::move(c));
  ta->SetEnabled(true);
  tb->SetEnabled(true);
  tb->Takes = true;
  tb->CancelOnModeChange = true;
  MouseDown(view, 10, 10);
  MouseUp(view, 10, 10);
  Pump();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 4),
            (std::vector<std::string>{"a down", "b down", "a after", "b after"}));

  log.clear();
  PaintNow(view);
  EXPECT_EQ(log, (std::vector<std::string>{"a buffer", "b buffer", "a canvas", "b canvas"}));

  // A tool's own change does not reach its DoImageChanged; the others see it.
  log.clear();
  ta->Applying = true;
  view->ImageChange(2);
  EXPECT_EQ(log, (std::vector<std::string>{"b image"}));
  ta->Applying = false;

  log.clear();
  view->LayersAdd(pxlkImage, -1, -1, 0, 0);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "b cancel");

  // A tool that asks for it has the back buffer composed again.
  int32_t compositions = 0;
  view->SetOnDrawBackBuffer([&](TObject*) { ++compositions; });
  PaintNow(view);
  const int32_t before = compositions;
  InvalidateRect(view->Handle(), nullptr, FALSE);
  UpdateWindow(view->Handle());
  EXPECT_EQ(compositions, before);
  tb->NeedsUpdate = true;
  InvalidateRect(view->Handle(), nullptr, FALSE);
  UpdateWindow(view->Handle());
  EXPECT_GT(compositions, before);

  // OnUserInteraction carries the tool's events with the view as sender.
  TObject* sender = nullptr;
  int32_t info = 0;
  view->SetOnUserInteraction([&](TObject* s, TPXUserInteractionEvent e, int32_t i) {
    sender = s;
    info = i + (e == pxiColorFill ? 1000 : 0);
  });
  ta->DoUserInteraction(pxiColorFill, 7);
  EXPECT_EQ(sender, view);
  EXPECT_EQ(info, 1007);
}

TEST_F(ViewTest, SelectionObjectsFollowTheOptions) {
  TPixoranView view(form_.get());
  TPXVectorizedSelection* s = view.SelPolygons();
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(s->Animated);
  EXPECT_TRUE(s->Sizeable);
  EXPECT_FALSE(s->ShowCenter);
  EXPECT_NE(s->PixelData, nullptr);
  EXPECT_EQ(s->OutlineColor2, 0xFFFFFF);
  view.SetSelectionOptions(TPXSelectionOptions{pxsoShowCenter});
  EXPECT_FALSE(s->Animated);
  EXPECT_FALSE(s->Sizeable);
  EXPECT_TRUE(s->ShowCenter);
  view.SetSelOutlineColor1(0x123456);
  EXPECT_EQ(s->OutlineColor1, 0x123456);
  TPXChromaKeyOptions* c = view.ChromaKeyOptions();
  EXPECT_EQ(c->KeyColor, 0x1FFFFFFF);
  EXPECT_DOUBLE_EQ(c->Tolerance, 0.21);
  EXPECT_EQ(c->MinSaturation, 30);
  EXPECT_FALSE(view.SelectionActive());
  EXPECT_EQ(view.SelectionMask(), nullptr);
  EXPECT_EQ(view.ForcedModifiers, 0);
}

TEST_F(ViewTest, LayerDefaultsApplyToNewLayers) {
  TPixoranView view(nullptr);
  view.LayerDefaultProps()->Add("PXLP_Opacity=0.25");
  view.LayerDefaultProps()->Add("PXLP_Name=made");
  view.LayersAdd(pxlkImage, 5, 5, 10, 10);
  EXPECT_EQ(view.CurrentLayer()->Opacity(), 0.25);
  EXPECT_EQ(view.CurrentLayer()->Name(), "made");
  view.LayersAppend(pxlkImage, 5, 5, 10, 10, nullptr, false, false, false, true);
  EXPECT_EQ(view.CurrentLayer()->Opacity(), 1.0);
}
