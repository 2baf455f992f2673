// The image view's state: construction defaults, the attached components and their callbacks,
// the border, emptiness, assignment, the locks and the cursors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/Forms.h"
#include "tests/common/TestSupport.h"
#include "tests/view/ViewTestSupport.h"
#include "view/pxxThemes.h"

namespace {

// A receiver of the view's change callbacks that logs what it is told.
struct Receiver : TObject {
  std::vector<std::string>* Log = nullptr;
  std::string Name;
  void Changed(TObject*, int32_t Code) { Log->push_back(Name + ":" + std::to_string(Code)); }
};

}  // namespace

TEST_F(ViewTest, NewViewDefaults) {
  TPixoranView view(nullptr);
  EXPECT_TRUE(view.IsEmpty());
  EXPECT_EQ(view.LayersCount(), 1);
  ASSERT_NE(dynamic_cast<TPXImageLayer*>(view.Layers(0)), nullptr);
  EXPECT_TRUE(view.Layers(0)->Locked());
  EXPECT_FALSE(view.Layers(0)->VisibleBox());
  EXPECT_EQ(view.Zoom(), 100);
  EXPECT_EQ(view.Cursor(), 1785);
  EXPECT_EQ(view.Width(), 105);
  EXPECT_EQ(view.Height(), 105);
  EXPECT_EQ(view.SelectionOptions().Bits(), 49223u);
  EXPECT_EQ(view.LayerOptions().Bits(), 831797u);
  EXPECT_EQ(view.PixoranVersion(), "8.7.6");
  EXPECT_EQ(view.Background(), clBtnFace);
  EXPECT_EQ(view.BorderStyle(), bsSingle);
  EXPECT_FALSE(view.Ctl3D());
  EXPECT_FALSE(view.AutoCursors());
  EXPECT_FALSE(view.HasIO());
  EXPECT_FALSE(view.HasProc());
  EXPECT_THROW(view.Layers(1), EListError);
}

TEST_F(ViewTest, PixoranHasBothComponentsAndProgressReachesThem) {
  TPixoran view(nullptr);
  ASSERT_TRUE(view.HasIO() && view.HasProc());
  EXPECT_EQ(view.IO()->AttachedPixoran(), static_cast<IPXIOView*>(&view));
  EXPECT_EQ(view.Proc()->AttachedPixoran(), static_cast<IPXProcessingHost*>(&view));
  EXPECT_EQ(view.Proc()->TargetBitmap(), view.GetPXBitmap());
  std::vector<int32_t> seen;
  view.SetOnProgress([&](TObject*, int32_t p) { seen.push_back(p); });
  view.IO()->OnProgress()(nullptr, 1);
  view.Proc()->OnProgress()(nullptr, 2);
  EXPECT_EQ(seen, (std::vector<int32_t>{1, 2}));

  // A handler set before the components exist is copied into them when they are made.
  TPixoranView lazy(nullptr);
  lazy.SetOnProgress([&](TObject*, int32_t p) { seen.push_back(p); });
  ASSERT_FALSE(lazy.HasIO());
  lazy.IO()->OnProgress()(nullptr, 3);
  lazy.Proc()->OnProgress()(nullptr, 4);
  EXPECT_EQ(seen.back(), 4);
  EXPECT_EQ(seen.size(), 4u);
}

TEST_F(ViewTest, CursorsAreRegisteredForAViewWithAnOwner) {
  TPixoranView view(form_.get());
  EXPECT_TRUE(view.AutoCursors());
  for (int32_t i = 1778; i <= 1814; ++i) EXPECT_NE(Screen()->Cursors(i), nullptr) << i;
  EXPECT_EQ(Screen()->Cursors(1795), Screen()->Cursors(1796));
  EXPECT_EQ(Screen()->Cursors(1805), Screen()->Cursors(1806));
  EXPECT_NE(Screen()->Cursors(1794), Screen()->Cursors(1795));

  // While a zone cursor shows, the view shows no cursor.
  view.SetTempCursor(1782, false);
  EXPECT_EQ(view.Cursor(), 1782);
  view.SetZoneCursor(pxcsCircle);
  EXPECT_EQ(view.Cursor(), -1);
  view.SetTempCursor(1782, false);
  EXPECT_EQ(view.Cursor(), -1);
  view.SetZoneCursor(pxcsDefault);
  EXPECT_EQ(view.Cursor(), 1785);

  struct Row {
    int32_t Written, Read, W, H;
  };
  for (const Row& r : {Row{200030, 200030, 20, 30}, Row{40, 40, 40, 40}, Row{300020, 300020, 30, 20}}) {
    view.SetZoneCursorSize(r.Written);
    EXPECT_EQ(view.ZoneCursorSize(), r.Read);
    view.SetZoneCursor(pxcsRectangle);
    EXPECT_EQ(view.ZoneCursorSizeInUse(), TPoint(r.W, r.H));
  }
}

TEST_F(ViewTest, DestructionTellsEachReceiverOnceInOrderAndFreesTheIOFirst) {
  std::vector<std::string> log;
  Receiver a, b;
  a.Log = b.Log = &log;
  a.Name = "a";
  b.Name = "b";
  TPixoranIO* io = nullptr;
  {
    auto view = std::make_unique<TPixoranView>(nullptr);
    view->AddBitmapChangeEvent(TPXBitmapChangeEvent(&a, &Receiver::Changed));
    const int32_t hb = view->AddBitmapChangeEvent(TPXBitmapChangeEvent(&b, &Receiver::Changed));
    // Removing a handle twice, or 0, changes nothing more.
    view->RemoveBitmapChangeEvent(hb);
    view->RemoveBitmapChangeEvent(hb);
    view->RemoveBitmapChangeEvent(0);
    EXPECT_EQ(view->BitmapChangeEventCount(), 1);
    view->AddBitmapChangeEvent(TPXBitmapChangeEvent(&b, &Receiver::Changed));
    io = view->IO();  // made on demand; holds the view's picture
    EXPECT_EQ(view->BitmapChangeEventCount(), 3);
  }
  // The I/O component unregistered when it was freed (before the layers), the others got 1 once.
  EXPECT_EQ(log, (std::vector<std::string>{"a:1", "b:1"}));
  (void)io;
}

TEST_F(ViewTest, AReceiverRemovingItselfDoesNotHideTheNext) {
  std::vector<std::string> log;
  TPixoranView view(nullptr);
  int32_t first = 0;
  first = view.AddBitmapChangeEvent([&](TObject*, int32_t c) {
    log.push_back("first:" + std::to_string(c));
    view.RemoveBitmapChangeEvent(first);
  });
  view.AddBitmapChangeEvent([&](TObject*, int32_t c) { log.push_back("second:" + std::to_string(c)); });
  view.CallBitmapChangeEvents(2);
  view.CallBitmapChangeEvents(2);
  EXPECT_EQ(log, (std::vector<std::string>{"first:2", "second:2", "second:2"}));
}

TEST_F(ViewTest, ThemedColorGivesTheDefault) {
  for (TColor c : {TColor(0), TColor(0xFFFFFF), TColor(0x123456), clBtnFace, clWindow, clNone})
    EXPECT_EQ(ThemedColor(0, c, false), c);
  EXPECT_FALSE(ThemesEnabled());
}

TEST_F(ViewTest, BorderFollowsStyleAndCtl3DWithoutNeedlessRecreation) {
  TPixoranView* view = NewView(60, 40, bsSingle);
  view->SetBackground(clWhite);
  SetPicture(view, 1, 1, clWhite);
  const int32_t made = view->WindowCreations();
  view->SetBorderStyle(bsSingle);
  view->SetCtl3D(false);
  EXPECT_EQ(view->WindowCreations(), made);
  Pump();
  // Without Ctl3D a plain one-pixel frame, then the client area.
  EXPECT_EQ(view->ClientWidth(), 58);
  const TSurface* s = WindowSurface(view->Handle());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->GetPixel(0, 10), RGB(0, 0, 0));
  EXPECT_EQ(s->GetPixel(59, 10), RGB(0, 0, 0));
  EXPECT_EQ(s->GetPixel(1, 10), ClientPixel(view->Handle(), 0, 9));

  view->SetCtl3D(true);
  EXPECT_EQ(view->WindowCreations(), made + 1);
  Pump();
  // With Ctl3D the classic sunken edge: shadow and dark shadow outside in at the top left,
  // highlight and light at the bottom right.
  EXPECT_EQ(view->ClientWidth(), 56);
  s = WindowSurface(view->Handle());
  EXPECT_EQ(s->GetPixel(0, 10), RGB(128, 128, 128));
  EXPECT_EQ(s->GetPixel(1, 10), RGB(64, 64, 64));
  EXPECT_EQ(s->GetPixel(59, 10), RGB(255, 255, 255));
  EXPECT_EQ(s->GetPixel(58, 10), RGB(212, 208, 200));
  view->SetBorderStyle(bsNone);
  Pump();
  EXPECT_EQ(view->ClientWidth(), 60);
}

TEST_F(ViewTest, EmptinessAndBlankness) {
  TPixoranView* view = NewView(80, 60);
  struct Row {
    const char* What;
    int32_t W, H;
    bool Empty, Blank;
  };
  for (const Row& r : {Row{"1 x 1", 1, 1, true, true}, Row{"1 x 100", 1, 100, false, true},
                       Row{"100 x 1", 100, 1, false, true}, Row{"2 x 2", 2, 2, false, false}}) {
    SCOPED_TRACE(r.What);
    SetPicture(view, r.W, r.H, clBlack);
    EXPECT_EQ(view->IsEmpty(), r.Empty);
    EXPECT_EQ(view->IsBlankImage(), r.Blank);
  }
  // Cleared at the control's size: blank.
  view->GetPXBitmap()->Allocate(80, 60, px24RGB);
  view->Clear();
  EXPECT_TRUE(view->IsBlankImage());
}

TEST_F(ViewTest, AssignFromAViewCopiesItsLayers) {
  TPixoranView source(nullptr);
  source.SetBackground(0x102030);
  source.LayersAppend(pxlkImage, 5, 6, 20, 10, nullptr, false, false, false, true);
  source.LayersAppend(pxlkImage, 30, 40, 8, 8, nullptr, false, false, false, true);
  source.Layers(1)->SetOpacity(0.5);
  source.Layers(2)->SetIsMask(true);
  source.SetLayersCurrent(0);
  SetPicture(&source, 50, 40, clRed);

  TPixoranView view(nullptr);
  view.AssignFrom(&source);
  ASSERT_EQ(view.LayersCount(), 3);
  EXPECT_EQ(view.Background(), 0x102030);
  EXPECT_EQ(view.Layers(1)->GetPosX(), 5);
  EXPECT_EQ(view.Layers(1)->GetPosY(), 6);
  EXPECT_EQ(view.Layers(1)->Opacity(), 0.5);
  EXPECT_TRUE(view.Layers(2)->IsMask());
  EXPECT_EQ(view.Layers(2)->GetPosX(), 30);
  EXPECT_EQ(view.LayersCurrent(), 0);
  EXPECT_EQ(view.GetPXBitmap()->Width(), 50);
  EXPECT_EQ(view.GetPXBitmap()->GetPixelRGB(3, 3).r, 255);
}

TEST_F(ViewTest, AssignFromBitmapsAndOtherObjects) {
  TPixoranView view(nullptr);
  TBitmap pal;
  pal.SetPixelFormat(pf8bit);
  pal.SetSize(4, 3);
  view.AssignFrom(&pal);
  EXPECT_EQ(view.GetPXBitmap()->PixelFormat(), px24RGB);
  EXPECT_EQ(view.GetPXBitmap()->Width(), 4);
  TBitmap mono;
  mono.SetPixelFormat(pf1bit);
  mono.SetSize(5, 2);
  view.AssignFrom(&mono);
  EXPECT_EQ(view.GetPXBitmap()->PixelFormat(), px1g);

  TPXBitmap grey;
  grey.Allocate(7, 7, px8g);
  view.AssignFrom(&grey);
  EXPECT_EQ(view.GetPXBitmap()->Width(), 7);

  TStringList other;
  EXPECT_EQ(MessageOf<EPXException>([&] { view.AssignFrom(&other); }), "Unknown source type");
  EXPECT_EQ(view.GetPXBitmap()->Width(), 7);
}

TEST_F(ViewTest, LocksNestAndUnlockingAtZeroStillUpdates) {
  TPixoranView* view = NewView(100, 80);
  SetPicture(view, 30, 20);
  int32_t changes = 0;
  view->SetOnViewChange([&](TObject*, int32_t) { ++changes; });
  view->LockUpdate();
  view->LockUpdate();
  view->SetAutoFit(true);  // a fit waits for the next Update
  view->UnlockUpdate();
  EXPECT_EQ(view->Zoom(), 100);
  view->UnlockUpdate();
  EXPECT_NE(view->Zoom(), 100);
  EXPECT_EQ(view->UpdateLockCount(), 0);
  view->SetAutoFit(false);
  view->SetZoom(100);
  view->UnlockUpdate();
  EXPECT_EQ(view->UpdateLockCount(), 0);
  EXPECT_EQ(view->UnlockPaint(), 0);
  EXPECT_EQ(view->UnlockPaintNoUpdate(), 0);
}

TEST_F(ViewTest, APaintLockKeepsThePixelsButFiresOnPaint) {
  TPixoranView* view = NewView(40, 30);
  view->SetBackground(clRed);
  SetPicture(view, 40, 30, clRed);
  PaintNow(view);
  EXPECT_EQ(Pixel(view, 5, 5), RGB(255, 0, 0));
  int32_t paints = 0;
  view->SetOnPaint([&](TObject*) { ++paints; });
  view->LockPaint();
  SetPicture(view, 40, 30, clBlue);
  PaintNow(view);
  EXPECT_GE(paints, 1);
  EXPECT_EQ(Pixel(view, 5, 5), RGB(255, 0, 0));
  view->UnlockPaint();
  PaintNow(view);
  EXPECT_EQ(Pixel(view, 5, 5), RGB(0, 0, 255));
}

TEST_F(ViewTest, ReadingThePlatformBitmapSwitchesLegacyOn) {
  std::vector<int32_t> codes;
  TPixoranView view(nullptr);
  view.AddBitmapChangeEvent([&](TObject*, int32_t c) { codes.push_back(c); });
  SetPicture(&view, 6, 5, clGreen);
  codes.clear();
  TBitmap* b = view.GetBitmap();
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(view.LegacyBitmap());
  EXPECT_EQ(b->Width(), 6);
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.front(), 0);
  view.SetLegacyBitmap(false);
  EXPECT_FALSE(view.LegacyBitmap());
  EXPECT_EQ(view.GetPXBitmap()->GetPixelRGB(1, 1).g, 128);
}

TEST_F(ViewTest, StoredAutoFitSetsShrinkAndStretch) {
  auto view = std::make_unique<TPixoranView>(nullptr);
  view->SetName("View1");
  LoadFormFromText(view.get(), "object View1: TPixoranView\n  AutoFit = True\nend\n");
  EXPECT_TRUE(view->AutoShrink());
  EXPECT_TRUE(view->AutoStretch());
}
