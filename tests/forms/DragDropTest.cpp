#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/forms/TestHost.h"

namespace {

std::string Name(TObject* o) {
  auto* c = dynamic_cast<TComponent*>(o);
  return !o ? "nil" : c ? c->Name() : "object";
}

class DragDropTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = NewForm(400, 300);
    source = Add<TCustomControl>(form.get(), "Source", Bounds(10, 10, 60, 40));
    target = Add<TCustomControl>(form.get(), "Target", Bounds(200, 10, 120, 100));
    spot = Add<TGraphicControl>(target, "Spot", Bounds(10, 60, 30, 30));
    for (TControl* c : {static_cast<TControl*>(target), static_cast<TControl*>(spot)}) {
      c->SetOnDragOver([this, c](TObject*, TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) {
        static const char* kState[] = {"enter", "leave", "move"};
        log.Add(c->Name() + ":" + kState[static_cast<int>(State)] + "(" + Name(Source) + "," + std::to_string(X) +
                "," + std::to_string(Y) + ")");
        Accept = c == target;
      });
      c->SetOnDragDrop([this, c](TObject*, TObject* Source, int32_t X, int32_t Y) {
        log.Add(c->Name() + ":drop(" + Name(Source) + "," + std::to_string(X) + "," + std::to_string(Y) + ")");
      });
    }
    source->SetOnStartDrag([this](TObject*, TDragObject*&) { log.Add("start"); });
    source->SetOnEndDrag([this](TObject*, TObject* Target, int32_t X, int32_t Y) {
      log.Add("end(" + Name(Target) + "," + std::to_string(X) + "," + std::to_string(Y) + ")");
    });
    source->SetOnMouseDown([this](TObject*, TMouseButton, TShiftState, int32_t, int32_t) { log.Add("mousedown"); });
  }
  void TearDown() override {
    form.reset();
    FormsTest::TearDown();
  }
  template <class T>
  T* Add(TWinControl* Parent, const char* AName, TRect R) {
    auto* c = new T(form.get());  // owned by the form
    c->SetName(AName);
    c->SetBounds(R.Left, R.Top, R.Width(), R.Height());
    c->SetParent(Parent);
    return c;
  }
  static HCURSOR Cursor(TCursor C) { return Screen()->Cursors(C); }
  std::unique_ptr<TForm> form;
  TCustomControl* source = nullptr;
  TCustomControl* target = nullptr;
  TGraphicControl* spot = nullptr;
  MessageLog log;
};

TEST_F(DragDropTest, AnAutomaticDragAsksTheTargetsAndDropsOnTheOneThatAccepts) {
  source->SetDragMode(dmAutomatic);
  MouseDown(source, 5, 5);
  EXPECT_TRUE(source->Dragging());
  EXPECT_TRUE(Mouse()->IsDragging());
  MouseMove(form.get(), 150, 30);  // the form does not accept
  EXPECT_EQ(GetCursor(), Cursor(crNoDrop));
  MouseMove(target, 20, 30);
  EXPECT_EQ(GetCursor(), Cursor(crDrag));
  EXPECT_NE(Cursor(crDrag), Cursor(crArrow)) << "the drag cursor is a cursor of its own";
  MouseMove(target, 21, 31);
  MouseMove(spot, 5, 5);  // a windowless control is a target of its own
  EXPECT_EQ(GetCursor(), Cursor(crNoDrop));
  MouseMove(target, 50, 20);
  MouseUp(target, 50, 20);
  EXPECT_FALSE(source->Dragging());
  EXPECT_EQ(log.Joined(),
            "start Target:enter(Source,20,30) Target:move(Source,21,31) Target:leave(Source,15,65) "
            "Spot:enter(Source,5,5) Spot:leave(Source,40,-40) Target:enter(Source,50,20) "
            "Target:move(Source,50,20) Target:drop(Source,50,20) end(Target,50,20)");
  EXPECT_EQ(GetCapture(), nullptr);
  // The cursor is the one of the control under the mouse again.
  EXPECT_EQ(GetCursor(), Cursor(crArrow));
}

TEST_F(DragDropTest, ThresholdCancellingAndRefusedDrops) {
  const struct {
    int32_t Threshold;
    int32_t Moved;  // pixels moved right
    bool Started;
  } cases[] = {{-1, 4, false}, {-1, 5, true}, {10, 9, false}, {10, 10, true}, {0, 0, true}};
  for (const auto& c : cases) {
    log.Clear();
    MouseMove(target, 20, 20);
    source->BeginDrag(false, c.Threshold);
    MouseMove(target, 20 + c.Moved, 20);
    EXPECT_EQ(log.Joined().find("Target:enter") != std::string::npos, c.Started) << c.Threshold << "/" << c.Moved;
    source->EndDrag(false);
  }

  // Escape cancels: the target hears the drag leave, the source ends without a target, and the
  // key goes no further.
  log.Clear();
  int keys = 0;
  form->SetKeyPreview(true);
  form->SetOnKeyDown([&](TObject*, uint16_t&, TShiftState) { ++keys; });
  source->BeginDrag(true);
  MouseMove(target, 30, 30);
  Press(VK_ESCAPE);
  EXPECT_FALSE(source->Dragging());
  EXPECT_EQ(keys, 0);
  // The immediate drag began where the mouse was (20, 20 on the target).
  EXPECT_EQ(log.Joined(),
            "start Target:enter(Source,20,20) Target:move(Source,30,30) Target:leave(Source,30,30) end(nil,0,0)");

  // A release over a control that refuses drops nothing; a right press cancels.
  MouseMove(spot, 3, 3);
  log.Clear();
  source->BeginDrag(true);
  MouseUp(spot, 3, 3);
  EXPECT_EQ(log.Joined(), "start Spot:enter(Source,3,3) Spot:move(Source,3,3) Spot:leave(Source,3,3) end(nil,0,0)");
  log.Clear();
  source->BeginDrag(true);
  MouseDown(target, 5, 5, mbRight);
  EXPECT_FALSE(source->Dragging());
  MouseUp(target, 5, 5, mbRight);
}

TEST_F(DragDropTest, ADragObjectOfTheHandlersOwnAndControlsThatGoAway) {
  // A drag object given by OnStartDrag is the source the targets see, with its own cursor.
  class TPaletteDrag : public TDragObject {
   public:
    TCursor GetDragCursor(bool Accepted, int32_t, int32_t) override { return Accepted ? crHandPoint : crNo; }
    TObject* FinishedOn = reinterpret_cast<TObject*>(1);
    void Finished(TObject* Target, int32_t, int32_t, bool) override { FinishedOn = Target; }
  } palette;
  source->SetOnStartDrag([&](TObject*, TDragObject*& DragObject) { DragObject = &palette; });
  MouseMove(target, 5, 5);
  source->BeginDrag(true);
  EXPECT_EQ(GetCursor(), Cursor(crHandPoint));
  EXPECT_EQ(palette.DragTarget(), target);
  EXPECT_EQ(palette.DragTargetPos(), TPoint(5, 5));
  MouseUp(target, 5, 5);
  EXPECT_EQ(palette.FinishedOn, target);
  EXPECT_TRUE(palette.Dropped());
  EXPECT_EQ(log.Joined(), "Target:enter(object,5,5) Target:move(object,5,5) Target:drop(object,5,5)");

  // The target goes away under the drag, then the dragged control itself: the drag ends quietly.
  source->SetOnStartDrag(nullptr);
  source->BeginDrag(true);
  MouseMove(spot, 3, 3);
  delete spot;
  MouseMove(target, 10, 10);
  delete source;
  EXPECT_FALSE(Mouse()->IsDragging());
  EXPECT_EQ(GetCapture(), nullptr);
  MouseUp(target, 10, 10);
}

}  // namespace
