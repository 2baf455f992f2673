// The image view's attached components and events: loads on the caller's thread and on a
// worker, processing, layer events, the external bitmap, playback and the transition events.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "codecs/pcxfilter.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes_streams.h"
#include "tests/common/TestSupport.h"
#include "tests/view/ViewTestSupport.h"

namespace {

std::string SavePng(const TestTempDir& Dir, int32_t W, int32_t H) {
  auto picture = ViewTest::Gradient(W, H);
  std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(picture.get());
  const std::string name = Dir.File("picture.png");
  io->SaveToFile(name, pxftPNG);
  return name;
}

// A DCX file of Pages pages, page i filled with grey 40 * (i + 1).
std::string SaveDcx(const TestTempDir& Dir, int32_t Pages) {
  TMemoryStream s;
  TIOParams params;
  TPXAbortFlag aborted{false};
  TPXProgressRecord progress;
  progress.Aborting = &aborted;
  for (int32_t i = 0; i < Pages; ++i) {
    auto page = TPXBitmap::CreateAllocated(8, 6, px24RGB);
    page->Fill(static_cast<double>(RGB(40 * (i + 1), 40 * (i + 1), 40 * (i + 1))));
    params.DCX_ImageIndex = i;
    InsertDcxPage(&s, page.get(), &params, progress);
  }
  const std::string name = Dir.File("pages.dcx");
  s.SaveToFile(name);
  return name;
}

}  // namespace

TEST_F(ViewTest, LoadsFireSourceZeroAndClearUserZoomedOnBothThreads) {
  TestTempDir dir;
  const std::string png = SavePng(dir, 30, 20);
  TPixoran* view = NewView<TPixoran>(200, 150);
  std::vector<int32_t> sources;
  view->SetOnImageChangeEx([&](TObject*, int32_t s) { sources.push_back(s); });
  for (bool worker : {false, true}) {
    SCOPED_TRACE(worker ? "worker" : "caller");
    view->SetZoom(worker ? 160 : 150);
    ASSERT_TRUE(view->UserZoomed());
    sources.clear();
    view->IO()->AsyncMode = worker;
    ASSERT_TRUE(view->IO()->LoadFromFile(png, pxftPNG));
    view->IO()->WaitThreads(false);
    Pump();
    EXPECT_EQ(sources, std::vector<int32_t>{0});
    EXPECT_FALSE(view->UserZoomed());
    EXPECT_EQ(view->GetPXBitmap()->Width(), 30);
  }
  view->IO()->AsyncMode = false;
  // A processing operation fires 1 and keeps the caller's zoom.
  view->SetZoom(120);
  sources.clear();
  view->Proc()->Flip(0);
  EXPECT_EQ(sources, std::vector<int32_t>{1});
  EXPECT_TRUE(view->UserZoomed());
}

TEST_F(ViewTest, AMessagePostedToADestroyedViewIsDropped) {
  TPixoranView* view = NewView(50, 50);
  int32_t finished = 0;
  view->SetOnFinishWork([&](TObject*) { ++finished; });
  std::thread([view] { view->PostIOMessage(PXMSG_IO_FINISHWORK, 0, 0); }).join();
  Pump();
  EXPECT_EQ(finished, 1);
  std::thread([view] {
    view->PostIOMessage(PXMSG_IO_FINISHWORK, 0, 0);
    view->QueueToUIThread([] { FAIL() << "queued call for a destroyed view"; });
  }).join();
  delete view;  // owned by the form until now
  Pump();
  EXPECT_EQ(finished, 1);
}

TEST_F(ViewTest, LayerEventsReachTheirReceivers) {
  std::vector<std::string> log;
  TPixoranView view(nullptr);
  view.SetOnLayerNotify([&](TObject*, int32_t l, TPXLayerEvent e) {
    log.push_back("notify " + std::to_string(l) + " " + std::to_string(int(e)));
  });
  view.SetOnLayerNotifyEx([&](TObject*, int32_t l, TPXLayerEvent e) {
    log.push_back("ex " + std::to_string(l) + " " + std::to_string(int(e)));
  });
  view.SetOnImageChangeEx([&](TObject*, int32_t s) { log.push_back("image " + std::to_string(s)); });
  view.AddBitmapChangeEvent([&](TObject*, int32_t c) {
    if (c != 2) log.push_back("callback " + std::to_string(c));
  });
  struct Row {
    TPXLayerEvent Event;
    int32_t Layer;
    std::vector<std::string> Expected;
  };
  const std::vector<Row> rows = {
      {pxlMoved, 0, {"notify 0 1", "ex 0 1", "image 3"}},
      {pxlSelected, 0, {"notify 0 0", "ex 0 0", "callback 3"}},
      {pxlDeselected, 0, {"notify 0 10", "ex 0 10", "callback 3"}},
      {pxlBeginMoving, 0, {"ex 0 9"}},
      {pxlBeginResizing, 0, {"ex 0 7"}},
      {pxlBeginRotating, 0, {"ex 0 8"}},
      {pxlBeginCreating, -1, {"ex -1 12"}},
      {pxlBeforeRemove, 0, {"ex 0 24"}},
      {pxlRemoved, 0, {"ex 0 25", "image 3"}},
      {pxlLeftClicked, -1, {}},
      {pxlMouseOver, -1, {}},
      {pxlLeftClicked, 0, {"notify 0 15", "ex 0 15"}},
      {pxlArranged, 0, {"notify 0 23", "ex 0 23", "image 3"}},
  };
  for (const Row& r : rows) {
    log.clear();
    view.DoLayerNotify(r.Layer, r.Event);
    EXPECT_EQ(log, r.Expected) << int(r.Event);
  }
}

TEST_F(ViewTest, ExternalBitmapIsShownAndNeverFreed) {
  std::vector<int32_t> codes;
  TPixoranView* view = NewView(40, 30);
  view->AddBitmapChangeEvent([&](TObject*, int32_t c) { codes.push_back(c); });
  auto external = TPXBitmap::CreateAllocated(40, 30, px24RGB);
  external->Fill(static_cast<double>(clRed));
  view->SetExternalBitmap(external.get());
  EXPECT_EQ(view->GetPXBitmap(), external.get());
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.front(), 0);
  PaintNow(view);
  EXPECT_EQ(Pixel(view, 5, 5), RGB(255, 0, 0));
  codes.clear();
  view->SetExternalBitmap(nullptr);
  EXPECT_TRUE(codes.empty());
  EXPECT_NE(view->GetPXBitmap(), external.get());
  EXPECT_TRUE(view->GetPXBitmap()->IsEmpty());
  EXPECT_EQ(external->GetPixelRGB(1, 1).r, 255);  // still alive and untouched
  // Shown again, then the view goes away: the bitmap stays the caller's.
  view->SetExternalBitmap(external.get());
  delete view;
  EXPECT_EQ(external->Width(), 40);
}

TEST_F(ViewTest, PlaybackStopsOnTheFirstPageWithoutLoop) {
  TestTempDir dir;
  const std::string dcx = SaveDcx(dir, 3);
  TPixoran* view = NewView<TPixoran>(60, 40);
  ASSERT_TRUE(view->IO()->LoadFromFile(dcx, pxftDCX));
  ASSERT_EQ(view->IO()->Params()->ImageCount, 3);
  view->SetPlayLoop(false);
  view->SetPlaySpeed(0);
  view->SetPlaying(true);
  EXPECT_EQ(view->PlaySpeed(), 1.0);
  EXPECT_TRUE(view->PlayTimerActive());
  std::vector<int32_t> pages;
  for (int32_t tick = 0; tick < 3; ++tick) {
    AdvanceTime(100);
    pages.push_back(view->IO()->Params()->ImageIndex);
  }
  EXPECT_EQ(pages, (std::vector<int32_t>{1, 2, 0}));
  EXPECT_FALSE(view->Playing());
  EXPECT_FALSE(view->PlayTimerActive());
  EXPECT_EQ(view->GetPXBitmap()->GetPixelRGB(0, 0).r, 40);

  // A page change that fails does not arm the timer again.
  view->SetPlaying(true);
  std::filesystem::remove(dcx);
  AdvanceTime(100);
  EXPECT_TRUE(view->IO()->Aborting());
  EXPECT_TRUE(view->Playing());
  EXPECT_FALSE(view->PlayTimerActive());
}

TEST_F(ViewTest, TransitionEventsMakeTheEngineOnWrite) {
  TPixoranView view(nullptr);
  EXPECT_FALSE(view.GetOnTransitionStop());
  EXPECT_FALSE(view.GetOnTransitionStep());
  EXPECT_FALSE(view.GetOnTransitionPaint());
  EXPECT_FALSE(view.HasTransition());
  int32_t stops = 0;
  view.SetOnTransitionStop([&](TObject*) { ++stops; });
  ASSERT_TRUE(view.HasTransition());
  EXPECT_TRUE(view.GetOnTransitionStop());
  TPXTransitionEffects* t = view.GetTransition();
  EXPECT_EQ(t->OwnerView, &view);
  EXPECT_EQ(t->Duration, 1000);
  EXPECT_EQ(t->Transition, pxttNone);
  EXPECT_EQ(t->SourceShot->Width(), 1);
  EXPECT_FALSE(t->FTimer->Enabled());
  t->Stop();  // idle: nothing
  EXPECT_EQ(stops, 0);
  TStringList other;
  EXPECT_EQ(MessageOf<EPXException>([&] { TPXTransitionEffects bad(&other); }), "Invalid Owner");
  TPXTransitionEffects free(nullptr);
  EXPECT_EQ(free.OwnerView, nullptr);
}
