// The image view's layer list: insertion and placement, removal, moves, undo entries through
// the layers stream, selection of several layers and the hit tests.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "tests/common/TestSupport.h"
#include "tests/layers/ProbeLayerKind.h"
#include "tests/view/ViewTestSupport.h"

namespace {

// What identifies a stack for the undo checks: per layer its kind, box, opacity, mask flag, name
// and first pixel.
std::string Describe(TPixoranView* View) {
  std::string s;
  for (int32_t i = 0; i < View->LayersCount(); ++i) {
    TPXLayer* l = View->Layers(i);
    auto* image = dynamic_cast<TPXImageLayer*>(l);
    const TRGB p = image && !image->Bitmap()->IsEmpty() ? image->Bitmap()->GetPixelRGB(0, 0) : TRGB{};
    s += l->Name() + ":" + std::to_string(l->GetPosX()) + "," + std::to_string(l->GetPosY()) + "," +
         std::to_string(l->GetWidth()) + "x" + std::to_string(l->GetHeight()) + " o" + std::to_string(l->Opacity()) +
         (l->IsMask() ? " mask" : "") + " px" + std::to_string(p.r) + "/" + std::to_string(p.g) + ";";
  }
  return s;
}

// Appends an image layer named Name at (X, Y) of W x H filled with Color.
int32_t AddLayer(TPixoranView* View, const std::string& Name, int32_t X, int32_t Y, int32_t W, int32_t H,
                 TColor Color = clWhite) {
  const int32_t i = View->LayersAppend(pxlkImage, X, Y, W, H, nullptr, false, false, false, true);
  View->Layers(i)->SetName(Name);
  dynamic_cast<TPXImageLayer*>(View->Layers(i))->Bitmap()->Fill(static_cast<double>(Color));
  return i;
}

std::vector<std::string> Names(TPixoranView* View) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < View->LayersCount(); ++i) names.push_back(View->Layers(i)->Name());
  return names;
}

}  // namespace

TEST_F(ViewTest, LayersAddPlacesNewLayers) {
  TPixoranView* view = NewView(200, 150);
  TPXBitmap* b = view->GetPXBitmap();
  b->Allocate(200, 150, px8g);
  b->GetAlphaChannel();
  view->SetBackground(clRed);
  view->Update();
  const int32_t i = view->LayersAdd(pxlkImage, -1, -1, 0, 0);
  EXPECT_EQ(i, 1);
  EXPECT_EQ(view->LayersCurrent(), 1);
  TPXBitmap* added = view->GetPXBitmap();
  EXPECT_EQ(added->Width(), 200);
  EXPECT_EQ(added->Height(), 150);
  EXPECT_EQ(added->PixelFormat(), px8g);
  EXPECT_FALSE(added->HasAlphaChannel());
  EXPECT_EQ(view->CurrentLayer()->GetPosX(), 0);
  EXPECT_EQ(view->CurrentLayer()->GetPosY(), 0);

  TPixoranView* large = NewView(300, 300);
  SetPicture(large, 100, 100);
  large->SetBackground(clBlue);
  std::vector<int32_t> positions;
  for (int32_t n = 0; n < 4; ++n) {
    large->LayersAdd(pxlkImage, -1, -1, 0, 0);
    positions.push_back(large->CurrentLayer()->GetPosX());
    EXPECT_EQ(large->CurrentLayer()->GetPosY(), positions.back());
  }
  EXPECT_EQ(positions, (std::vector<int32_t>{40, 80, 120, 40}));
  EXPECT_EQ(large->GetPXBitmap()->GetPixelRGB(5, 5).b, 255);
}

TEST_F(ViewTest, AnUnknownKindIsRefusedBeforeAnything) {
  TPixoranView view(nullptr);
  view.SetLayerOptions(view.LayerOptions() + loAutoUndoChangesByCode);
  ASSERT_TRUE(view.Proc()->AutoUndo());
  std::string message;
  bool plain = false;
  try {
    view.LayersAdd(static_cast<TPXLayerKind>(6), -1, -1, 0, 0);
  } catch (const Exception& e) {
    message = e.Message();
    plain = dynamic_cast<const EPXException*>(&e) == nullptr;
  }
  EXPECT_EQ(message, "Layer insertion error - Invalid Type: 6");
  EXPECT_TRUE(plain);
  EXPECT_EQ(view.LayersCount(), 1);
  EXPECT_EQ(view.Proc()->UndoCount(), 0);
}

// A registered kind is inserted with its own defaults, stored by the undo store and read back
// from the view's layers stream as that kind.
TEST_F(ViewTest, RegisteredKindsAreInsertedUndoneAndStreamed) {
  TProbeKindScope scope;
  TPixoranView view(nullptr);
  view.SetLayerOptions(view.LayerOptions() + loAutoUndoChangesByCode);
  const int32_t i = view.LayersAppend(kProbeKind, 5, 6, 0, 0, nullptr, false, true, false, true);
  ASSERT_EQ(view.LayersCount(), 2);
  auto* probe = dynamic_cast<TProbeLayer*>(view.Layers(i));
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(probe->GetWidth(), 40);
  EXPECT_EQ(probe->GetPosX(), 5);
  EXPECT_EQ(view.Proc()->UndoCount(), 1);
  probe->Probe = 42;

  TMemoryStream s;
  view.LayersSaveToStream(&s, -2, false, false, false, false, TPXProgressEvent());
  s.SetPosition(0);
  TPixoranView loaded(nullptr);
  ASSERT_TRUE(loaded.LayersLoadFromStream(&s, false, TPXProgressEvent()));
  ASSERT_EQ(loaded.LayersCount(), 2);
  auto* back = dynamic_cast<TProbeLayer*>(loaded.Layers(1));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Probe, 42);
  EXPECT_EQ(back->GUID(), probe->GUID());

  view.Proc()->Undo(true);
  EXPECT_EQ(view.LayersCount(), 1);
}

TEST_F(ViewTest, RemovalTable) {
  {
    SCOPED_TRACE("layer 0 with an image layer above");
    TPixoranView view(nullptr);
    view.Layers(0)->SetName("zero");
    view.Layers(0)->SetSelectable(false);
    AddLayer(&view, "one", 5, 5, 10, 10);
    view.Layers(1)->SetLocked(false);
    view.LayersRemove(0, true);
    ASSERT_EQ(Names(&view), std::vector<std::string>{"one"});
    EXPECT_TRUE(view.Layers(0)->Locked());
    EXPECT_FALSE(view.Layers(0)->Selectable());
    EXPECT_EQ(view.LayersCurrent(), 0);
  }
  {
    SCOPED_TRACE("the only layer");
    TPixoranView view(nullptr);
    SetPicture(&view, 30, 20, clBlack);
    view.LayersRemove(0, false);
    ASSERT_EQ(view.LayersCount(), 1);
    EXPECT_EQ(view.GetPXBitmap()->Width(), 1);
    EXPECT_EQ(view.GetPXBitmap()->GetPixelRGB(0, 0).g, 255);
  }
  {
    SCOPED_TRACE("all: no undo, no events");
    TPixoranView view(nullptr);
    view.SetLayerOptions(view.LayerOptions() + loAutoUndoChangesByCode);
    AddLayer(&view, "a", 0, 0, 5, 5);
    AddLayer(&view, "b", 0, 0, 5, 5);
    int32_t events = 0;
    view.SetOnLayerNotifyEx([&](TObject*, int32_t, TPXLayerEvent) { ++events; });
    view.LayersRemoveEx(-1, true, true, false, true);
    EXPECT_EQ(view.LayersCount(), 1);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(view.Proc()->UndoCount(), 0);
  }
  {
    SCOPED_TRACE("the selected layers with their masks");
    TPixoranView view(nullptr);
    view.Layers(0)->SetName("0");
    for (const char* n : {"a", "am", "b", "c", "cm"}) AddLayer(&view, n, 0, 0, 5, 5);
    view.Layers(2)->SetIsMask(true);
    view.Layers(5)->SetIsMask(true);
    view.DeselectAllLayers();
    view.Layers(1)->SetSelectedFlag(true);
    view.Layers(4)->SetSelectedFlag(true);
    std::vector<std::string> events;
    view.SetOnLayerNotifyEx([&](TObject*, int32_t l, TPXLayerEvent e) {
      events.push_back(std::to_string(l) + ":" + std::to_string(int(e)));
    });
    view.LayersRemoveEx(-2, false, true, false, true);
    EXPECT_EQ(Names(&view), (std::vector<std::string>{"0", "b"}));
    EXPECT_EQ(events, (std::vector<std::string>{"-2:24", "1:25"}));
    EXPECT_EQ(view.LayersCurrent(), 1);
  }
}

TEST_F(ViewTest, MovesKeepMasksAboveOwnersAndTheSelectionsOrder) {
  struct Row {
    int32_t Index, Target;
    std::vector<std::string> Expected;
  };
  // 0, a, am (mask of a), b, c, d; a and c selected.
  const std::vector<Row> rows = {
      {-2, PXMoveTop, {"0", "b", "d", "a", "am", "c"}},
      {-2, PXMoveUp, {"0", "b", "d", "a", "am", "c"}},
      {-2, PXMoveBottom, {"a", "am", "c", "0", "b", "d"}},
      {-2, PXMoveDown, {"a", "am", "c", "0", "b", "d"}},
      {1, PXMoveUp, {"0", "b", "a", "am", "c", "d"}},
      {1, PXMoveTop, {"0", "b", "c", "d", "a", "am"}},
      {4, PXMoveBottom, {"c", "0", "a", "am", "b", "d"}},
      {4, 1, {"0", "c", "a", "am", "b", "d"}},
      {1, 77, {"0", "a", "am", "b", "c", "d"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.Index << " to " << r.Target);
    TPixoranView view(nullptr);
    view.Layers(0)->SetName("0");
    for (const char* n : {"a", "am", "b", "c", "d"}) AddLayer(&view, n, 0, 0, 5, 5);
    view.Layers(2)->SetIsMask(true);
    view.DeselectAllLayers();
    view.Layers(1)->SetSelectedFlag(true);
    view.Layers(4)->SetSelectedFlag(true);
    view.SetLayersCurrent(4);
    std::vector<int32_t> arranged;
    view.SetOnLayerNotify([&](TObject*, int32_t l, TPXLayerEvent e) {
      if (e == pxlArranged) arranged.push_back(l);
    });
    view.LayersMove(r.Index, r.Target, false, true, false);
    EXPECT_EQ(Names(&view), r.Expected);
    ASSERT_EQ(arranged.size(), 1u);
    EXPECT_EQ(view.CurrentLayer()->Name(), "c");  // the current layer is current again
  }
}

TEST_F(ViewTest, CodeChangesStoreUndoEntriesThatGiveBackTheStack) {
  TPixoranView* view = NewView(300, 200);
  view->SetLayerOptions(view->LayerOptions() + loAutoUndoChangesByCode);
  SetPicture(view, 120, 80, clGreen);
  view->Layers(0)->SetName("base");
  AddLayer(view, "a", 10, 20, 30, 40, clRed);
  AddLayer(view, "m", 15, 25, 10, 10, clWhite);
  view->Layers(2)->SetIsMask(true);
  view->Layers(1)->SetOpacity(0.5);
  AddLayer(view, "b", 50, 5, 20, 20, clBlue);
  struct Row {
    const char* Caption;
    int32_t Code;
    std::function<void()> Change;
  };
  const std::vector<Row> rows = {
      {"Add Image Layer", 114, [&] { view->LayersAdd(pxlkImage, -1, -1, 0, 0); }},
      {"Remove Layer", 122, [&] { view->LayersRemove(1, false); }},
      {"Arrange Layers", 124, [&] { view->LayersMove(3, PXMoveBottom, true, true, false); }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Caption);
    const std::string before = Describe(view);
    r.Change();
    ASSERT_NE(Describe(view), before);
    TPXUndoSource source;
    int32_t code = 0, item = 0;
    std::string caption;
    view->Proc()->GetUndoInfo(0, source, code, caption, item);
    EXPECT_EQ(caption, r.Caption);
    EXPECT_EQ(code, r.Code);
    EXPECT_EQ(source, pxuObjectsAndLayers);
    view->Proc()->Undo(true);
    EXPECT_EQ(Describe(view), before);
  }
}

TEST_F(ViewTest, SelectionOfLayers) {
  TPixoranView* view = NewView(200, 200);
  SetPicture(view, 200, 200);
  AddLayer(view, "a", 0, 0, 20, 20);
  AddLayer(view, "b", 50, 50, 20, 20);
  AddLayer(view, "c", 100, 100, 20, 20);
  PaintNow(view);

  // The current layer steps down to the nearest selectable one.
  view->Layers(3)->SetSelectable(false);
  view->SetLayersCurrent(1);
  view->SetLayersCurrent(3);
  EXPECT_EQ(view->LayersCurrent(), 2);
  view->SetSelectableEnforced(false);
  view->SetLayersCurrent(1);
  view->SetLayersCurrent(3);
  EXPECT_EQ(view->LayersCurrent(), 3);
  view->SetSelectableEnforced(true);

  // SelectAllLayers(False) keeps locked layers as they are and deselects layer 0.
  view->Layers(0)->SetSelectedFlag(true);
  view->Layers(2)->SetLocked(true);
  view->Layers(2)->SetSelectedFlag(false);
  view->SelectAllLayers(false);
  EXPECT_FALSE(view->Layers(0)->Selected());
  EXPECT_TRUE(view->Layers(1)->Selected());
  EXPECT_FALSE(view->Layers(2)->Selected());
  EXPECT_TRUE(view->Layers(3)->Selected());
  EXPECT_EQ(view->CountSelectedLayers(false), 2);

  // A rectangle only touching a layer selects nothing; one meeting it does.
  view->DeselectAllLayers();
  const TRect b = view->Layers(2)->ClientRect();
  view->SelectLayersInRect(TRect(b.Right, b.Top, b.Right + 10, b.Bottom));
  EXPECT_FALSE(view->Layers(2)->Selected());
  view->SelectLayersInRect(TRect(b.Right - 1, b.Bottom - 1, b.Right + 10, b.Bottom + 10));
  EXPECT_TRUE(view->Layers(2)->Selected());

  // Tab cycling from the top goes on at 0, past hidden and unselectable layers.
  view->Layers(3)->SetSelectable(true);
  view->SetLayersCurrent(3);
  view->Layers(0)->SetVisible(false);
  view->Layers(1)->SetSelectable(false);
  int32_t index = PXLayerNext;
  view->ClickSelectLayer(index, false);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(view->LayersCurrent(), 2);
  view->Layers(0)->SetVisible(true);
  view->Layers(1)->SetSelectable(true);

  // Dropping multiple selection deselects every layer and says so.
  int32_t changes = 0;
  view->SetOnLayerSelectionChange([&](TObject*) { ++changes; });
  view->SetLayerOptions(view->LayerOptions() - loAllowMultiSelect);
  EXPECT_GE(changes, 1);
  for (int32_t i = 0; i < view->LayersCount(); ++i) EXPECT_FALSE(view->Layers(i)->Selected());
  EXPECT_EQ(view->CountSelectedLayers(false), 1);  // the current layer, above 0
}

TEST_F(ViewTest, DynamicCanvasMakesTheExtentTheUnion) {
  TPixoranView view(nullptr);
  SetPicture(&view, 50, 40);
  AddLayer(&view, "far", 80, 60, 20, 30);
  view.Update();
  EXPECT_EQ(view.GetExtentWidth(), 100);
  view.SetLayerOptions(view.LayerOptions() + loDynamicCanvas);
  view.UpdateLayersExtent();
  EXPECT_EQ(view.GetExtentWidth(), 100);
  view.SetLayersCurrent(0);
  view.Update();
  int32_t x, y, w, h;
  view.GetLayersRect(false, false, x, y, w, h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 90);
  // Layers lying wholly at negative coordinates give an empty rectangle.
  TPixoranView negative(nullptr);
  negative.Layers(0)->SetPosX(-50);
  negative.Layers(0)->SetPosY(-50);
  negative.GetLayersRect(false, false, x, y, w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

TEST_F(ViewTest, FindLayerAtSeesThroughTransparentPixels) {
  TPixoranView* view = NewView(100, 100);
  SetPicture(view, 100, 100);
  const int32_t top = AddLayer(view, "top", 0, 0, 100, 100, clRed);
  TPXBitmap* alpha = view->GetPXBitmap()->GetAlphaChannel();
  alpha->FillRect(0, 0, 49, 99, 0);
  alpha->FFull = 0;
  view->SetLayersCurrent(0);
  PaintNow(view);
  EXPECT_EQ(view->FindLayerAt(80, 50, false), top);
  EXPECT_EQ(view->FindLayerAt(20, 50, false), 0);
  view->SetSelectionOptions(view->SelectionOptions() + pxsoSelectTranspLayers);
  EXPECT_EQ(view->FindLayerAt(20, 50, false), top);
  EXPECT_TRUE(view->LayerHitAt(20, 50, top, 0));
  EXPECT_FALSE(view->LayerHitAt(20, 50, 9, 0));
}
