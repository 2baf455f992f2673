// The tab control and the page control on real forms: layout, painting by pixels, selection,
// keys, mouse, hover, strip buttons and pages.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "controls/CvPanel.h"
#include "controls/CvTabs.h"
#include "platform/forms/FormLoader.h"
#include "tests/controls/ControlsTestSupport.h"

namespace {

using enum TCvTabStyle;
using enum TCvTabSequence;

constexpr TColor kPageColor = 16183522;  // (226, 240, 246)
const TColorRef kOutline = Rgb(101, 175, 218);

struct EventLog {
  std::vector<std::string> Items;
  void Attach(TCvCustomTabControl* Tc, bool Allow = true) {
    Tc->SetOnChanging(TCvTabChangingEvent([this, Allow](TObject*, int32_t I, bool& A) {
      Items.push_back("changing " + std::to_string(I));
      A = Allow;
    }));
    Tc->SetOnChange(TNotifyEvent([this](TObject*) { Items.push_back("change"); }));
    Tc->SetOnTabClick(TNotifyEvent([this](TObject*) { Items.push_back("click"); }));
  }
};

class CvTabsTest : public ControlsFormTest {
 protected:
  void SetUp() override {
    ControlsFormTest::SetUp();
    form_->SetClientWidth(640);
    form_->SetClientHeight(480);
    DisplayIsFullColor = true;
  }
  void TearDown() override {
    DisplayIsFullColor = true;
    ControlsFormTest::TearDown();
  }
  // A bare tab control with the given captions.
  template <class T = TCvCustomTabControl>
  T* Tabs(std::initializer_list<const char*> Captions, int32_t W = 300, int32_t H = 100) {
    auto* tc = Add<T>(nullptr, 10, 10, W, H);
    for (const char* c : Captions) {
      auto* t = new TCvTabData();  // owned by the list
      t->Caption = c;
      tc->Tabs()->Add(t);
    }
    tc->LayoutChanged();
    return tc;
  }
  // The options pane of the application: a page control on a panel of the page colour.
  TCvPageControl* AppPages(std::initializer_list<const char*> Captions = {"Reflection", "Wave"}) {
    auto* panel = Add<TCvPanel>(nullptr, 0, 0, 300, 400);
    panel->SetBorderOuter(TFrameStyleEx::fsNone);
    panel->SetColor(kPageColor);
    auto* pc = Add<TCvPageControl>(panel, 10, 10, 250, 378);
    pc->SetTabStyle(tsRoundCorners);
    pc->SetFlatColor(13408306);
    pc->SetFlatColorAdjustment(30);
    pc->SetShowShadow(false);
    for (const char* caption : Captions) {
      auto* sheet = new TCvTabSheet(form_.get());  // owned by the form
      sheet->SetCaption(caption);
      sheet->SetPageControl(pc);
      sheet->SetColor(kPageColor);
    }
    pc->SetActivePage(pc->Pages(0));
    Pump();
    return pc;
  }
  static int32_t TextWidth(const std::string& S) {
    TBitmap b;
    b.SetSize(1, 1);
    b.Canvas()->Font()->SetName("Tahoma");
    b.Canvas()->Font()->SetSize(8);
    return b.Canvas()->TextWidth(S);
  }
  // The length of a tab along its strip.
  static int32_t Length(TCvCustomTabControl* Tc, int32_t Index) {
    const TRect r = Tc->TabClientRect(Index);
    return Tc->TabOrientation() == toTop || Tc->TabOrientation() == toBottom ? r.Width() : r.Height();
  }
  // A log of the control's events that lives as long as the form.
  EventLog& Log(TCvCustomTabControl* Tc, bool Allow = true) {
    logs_.emplace_back();
    logs_.back().Attach(Tc, Allow);
    return logs_.back();
  }
  std::deque<EventLog> logs_;
  // A shown tool form that docks (owned by the test's form).
  TForm* ToolForm(const char* Caption, TColor Color) {
    auto* f = new TForm(form_.get());  // owned by the form
    f->SetCaption(Caption);
    f->SetColor(Color);
    f->SetBounds(700, 100, 180, 140);
    f->SetDragKind(dkDock);
    f->Show();
    Pump();
    return f;
  }
  static TPoint Centre(TCvCustomTabControl* Tc, int32_t Index) {
    const TRect r = Tc->TabClientRect(Index);
    return TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2 + 1);
  }
};

// A page in a shown state.
bool Shown(TCvTabSheet* Sheet) { return Sheet->Visible(); }

// =============================================================================================
// Layout

TEST_F(CvTabsTest, TabSizesAndPlacesForEveryStyleAndOrientation) {
  const int32_t w = TextWidth("Tabs");
  struct Case {
    TCvTabStyle Style;
    // Length along the strip and thickness (FixedDimension) on top and bottom, then on the sides.
    int32_t HorzLen, HorzD, VertLen, VertD;
    int32_t Overlap;  // of neighbours: the next tab starts at Right - Overlap + 1
  };
  const Case cases[] = {
      {tsSingleSlant, w + 24, 19, 2 * ((w + 6) / 2) + 19, w + 6, -1},
      {tsBackSlant, w + 24, 19, 2 * ((w + 6) / 2) + 19, w + 6, -1},
      {tsDoubleSlant, w + 36, 19, 2 * (w + 2) + 19, w + 6, -1},
      {tsCutCorner, w + 20, 20, 23, w + 13, -1},
      {tsRoundCorners, w + 16, 19, 19, w + 16, -1},
  };
  const int32_t W = 400, H = 300;
  for (const Case& c : cases) {
    for (TCvTabOrientation o : {toTop, toBottom, toLeft, toRight}) {
      SCOPED_TRACE(testing::Message() << static_cast<int>(c.Style) << " " << static_cast<int>(o));
      auto* tc = Tabs({"Tabs", "Tabs"}, W, H);
      tc->SetImageMargin(0);
      tc->SetShowShadow(false);
      tc->SetTabStyle(c.Style);
      tc->SetTabOrientation(o);
      Pump();
      const bool horz = o == toTop || o == toBottom;
      const int32_t len = horz ? c.HorzLen : c.VertLen, D = horz ? c.HorzD : c.VertD;
      const bool round = c.Style == tsRoundCorners;
      const int32_t r2 = round ? 2 : 0, T = (round ? 3 : 0) + D;
      int32_t ov = D / 2;
      if (c.Style == tsDoubleSlant) ov = D;
      if (c.Style == tsCutCorner || round) ov = -1;
      const int32_t step = len - ov + 1;
      EXPECT_EQ(tc->FixedDimension(), D);
      EXPECT_EQ(tc->ButtonSize(), std::min(17, D - 2));
      TRect first, card;
      TPoint next;
      const int32_t B = W - 1, R = H - 1;  // the client box's right and bottom
      switch (o) {
        case toTop: first = TRect(r2, T - D, r2 + len, T), next = TPoint(step, 0), card = TRect(0, T, B, R); break;
        case toBottom:
          first = TRect(r2, R - T, r2 + len, R - T + D), next = TPoint(step, 0), card = TRect(0, 0, B, R - T);
          break;
        case toLeft:
          first = TRect(T - D, R - r2 - len, T, R - r2), next = TPoint(0, -step), card = TRect(T, 0, B, R);
          break;
        case toRight:
          first = TRect(B - T, r2, B - T + D, r2 + len), next = TPoint(0, step), card = TRect(0, 0, B - T, R);
          break;
      }
      EXPECT_EQ(tc->TabClientRect(0), first);
      TRect second = first;
      second.Offset(next.X, next.Y);
      EXPECT_EQ(tc->TabClientRect(1), second);
      EXPECT_EQ(tc->CardRect(0), card);
      EXPECT_EQ(tc->PageRect(), TRect(card.Left + 1, card.Top + 1, card.Right, card.Bottom));
      delete tc;  // owned by the form
    }
  }
  // With the margin the tab is w + 26 long: the margin counts also without an image.
  auto* tc = Tabs({"Tabs"});
  Pump();
  EXPECT_EQ(Length(tc, 0), w + 26);
}

TEST_F(CvTabsTest, RoundTabsOfTheApplication) {
  auto* tc = Tabs({"Tabs", "More", "Last"}, 300, 100);
  tc->SetTabStyle(tsRoundCorners);
  tc->SetShowShadow(false);
  tc->SetMargin(3);
  tc->SetShowCardFrame(false);
  Pump();
  EXPECT_EQ(tc->FixedDimension(), 19);
  EXPECT_EQ(tc->CardRect(0).Top, 22);
  const TRect t0 = tc->TabClientRect(0), t1 = tc->TabClientRect(1);
  EXPECT_EQ(t0.Left, 3 + 2);
  // One blank column between neighbours: outline, background, outline.
  const TColorRef outline = Rgb(ShiftColorLuminance(clBtnShadow, 0));
  EXPECT_EQ(Pixel(tc, t0.Right, 12), outline);
  EXPECT_EQ(Pixel(tc, t0.Right + 1, 12), Rgb(clTeal));
  EXPECT_EQ(Pixel(tc, t1.Left, 12), outline);
  // The selected one is 2 pixels wider on each side and 2 taller, and covers its neighbours.
  tc->SetTabIndex(1);
  Pump();
  const TRect s = tc->TabClientRect(1);
  EXPECT_EQ(s, TRect(t1.Left - 2, t1.Top - 2, t1.Right + 2, t1.Bottom));
  EXPECT_EQ(Pixel(tc, s.Left, 12), outline);
  EXPECT_EQ(Pixel(tc, s.Left + 1, 12), Rgb(clTeal));
  // Its outline leaves both base corners to the card.
  EXPECT_EQ(Pixel(tc, s.Left, s.Bottom - 1), outline);
  EXPECT_EQ(Pixel(tc, s.Left, s.Bottom), Rgb(clTeal));
  EXPECT_EQ(Pixel(tc, s.Right, s.Bottom - 1), outline);
  EXPECT_EQ(Pixel(tc, s.Right, s.Bottom), Rgb(clTeal));
}

TEST_F(CvTabsTest, RowsLengthsAndSequence) {
  // A tab longer than a row fills a row alone.
  auto* tc = Tabs({"A", "A caption that is much longer than the whole strip of this control", "B", "C"}, 200, 120);
  tc->SetMultiLine(true);
  Pump();
  auto* tabs = tc->Tabs();
  const int32_t longRow = tabs->Items(1)->Row;
  for (int32_t i : {0, 2, 3}) EXPECT_NE(tabs->Items(i)->Row, longRow);
  EXPECT_GE(tc->RowCount(), 3);
  // In one row no tab is longer than the strip less the buttons and the scroller.
  tc->SetMultiLine(false);
  tc->SetShowCloseButton(true);
  Pump();
  const int32_t s = tc->ButtonSize();
  EXPECT_EQ(Length(tc, 1), tc->TabStripRect().Width() - (s + 2) - (2 * s + 2));
  // Reversed on top: the first tab at the right end, the buttons at the left.
  tc->SetTabSequence(tsReverse);
  tc->SetShowShadow(false);
  Pump();
  EXPECT_GT(tc->TabClientRect(0).Left, tc->TabClientRect(2).Left);
  EXPECT_EQ(tc->CloseButton()->Left(), 0);
  EXPECT_GT(tc->Scroller()->Left(), tc->CloseButton()->Left());
  EXPECT_EQ(tc->TabClientRect(tc->FirstShownTab()).Right, tc->TabStripRect().Right);
}

TEST_F(CvTabsTest, SelectingABackRowBringsItToTheCardInCyclicOrder) {
  auto* tc = Tabs({"One", "Two", "Three", "Four", "Five", "Six", "Seven"}, 150, 150);
  tc->SetMultiLine(true);
  Pump();
  auto* tabs = tc->Tabs();
  ASSERT_GE(tc->RowCount(), 3);
  const int32_t m = tc->RowCount() - 1;
  std::vector<int32_t> before;
  for (int32_t i = 0; i < tabs->Count(); ++i) before.push_back(tabs->Items(i)->Row);
  const int32_t back = tabs->Count() - 1;
  const int32_t b = before[static_cast<size_t>(back)];
  ASSERT_GT(b, 0);
  tc->SetTabIndex(back);
  EXPECT_EQ(tabs->Items(back)->Row, 0);
  for (int32_t i = 0; i < tabs->Count(); ++i)
    EXPECT_EQ(tabs->Items(i)->Row, (before[static_cast<size_t>(i)] + m - b + 1) % (m + 1)) << i;
  // The row next to the card stays there through the next layout.
  Pump();
  EXPECT_EQ(tabs->Items(back)->Row, 0);
  EXPECT_EQ(tc->TabClientRect(back).Bottom, tc->CardRect(0).Top);
}

TEST_F(CvTabsTest, FramePropertiesAreCoupledAndNegativeSizesIgnored) {
  auto* tc = Tabs({"One"});
  tc->SetShowShadow(false);
  tc->SetShowFullFrame(false);
  tc->SetShowShadow(true);
  EXPECT_TRUE(tc->ShowFullFrame());
  tc->SetShowFullFrame(false);
  EXPECT_FALSE(tc->ShowShadow());
  using Setter = void (TCvCustomTabControl::*)(int32_t);
  using Getter = int32_t (TCvCustomTabControl::*)() const;
  const std::pair<Setter, Getter> sizes[] = {
      {&TCvCustomTabControl::SetCutCornerSize, &TCvCustomTabControl::CutCornerSize},
      {&TCvCustomTabControl::SetTabHeight, &TCvCustomTabControl::TabHeight},
      {&TCvCustomTabControl::SetTabWidth, &TCvCustomTabControl::TabWidth},
      {&TCvCustomTabControl::SetImageMargin, &TCvCustomTabControl::ImageMargin},
      {&TCvCustomTabControl::SetMargin, &TCvCustomTabControl::Margin},
      {&TCvCustomTabControl::SetRowIndent, &TCvCustomTabControl::RowIndent},
      {&TCvCustomTabControl::SetRowOverlap, &TCvCustomTabControl::RowOverlap},
  };
  for (const auto& [set, get] : sizes) {
    (tc->*set)(3);
    (tc->*set)(-4);
    EXPECT_EQ((tc->*get)(), 3);
  }
}

TEST_F(CvTabsTest, LayoutRunsOnceAtTheNextPaintAndHotTrackingReusesIt) {
  auto* tc = Tabs({"One", "Two", "Three"});
  Pump();
  const int32_t runs = tc->LayoutCount();
  tc->SetTabStyle(tsDoubleSlant);
  tc->SetMargin(4);
  tc->SetRowIndent(2);
  EXPECT_EQ(tc->LayoutCount(), runs);
  Pump();
  EXPECT_EQ(tc->LayoutCount(), runs + 1);
  const TPoint a = Centre(tc, 0), b = Centre(tc, 1);
  MouseMove(tc, a.X, a.Y);
  Pump();
  MouseMove(tc, b.X, b.Y);
  Pump();
  EXPECT_EQ(tc->HotTab(), 1);
  EXPECT_EQ(tc->LayoutCount(), runs + 1);
}

// A hot-track repaint draws only the tab strip: what the window shows after the pointer moves
// over the tabs of a three-row page control is what a full repaint shows.
TEST_F(CvTabsTest, HotTrackRepaintShowsWhatAFullRepaintShows) {
  TCvPageControl* pc = AppPages({"Reflection", "Wave", "Grey", "Blur", "Sharpen", "Emboss", "Noise", "Levels"});
  pc->SetHotTrack(true);
  pc->SetMultiLine(true);
  pc->SetWidth(160);
  pc->SetHeight(150);
  Pump();
  ASSERT_GE(pc->RowCount(), 2);
  auto grab = [&] {
    std::vector<TColorRef> v;
    for (int32_t y = 0; y < pc->ClientHeight(); ++y)
      for (int32_t x = 0; x < pc->ClientWidth(); ++x) v.push_back(Pixel(pc, x, y));
    return v;
  };
  for (int32_t i : {1, 5, 2}) {
    const TPoint p = Centre(pc, i);
    MouseMove(pc, p.X, p.Y);
    Pump();
  }
  ASSERT_EQ(pc->HotTab(), 2);
  const auto hot = grab();
  pc->Invalidate();
  Pump();
  EXPECT_TRUE(hot == grab());
}

TEST_F(CvTabsTest, FixedDimensionIsStoredWithTheForm) {
  TCvPageControl* pc = AppPages();
  pc->SetName("Pages");
  form_->SetName("Form1");
  const std::string text = WriteComponentToText(form_.get());
  EXPECT_NE(text.find("FixedDimension = 19"), std::string::npos) << text;
  // Read back (the layout computes it again).
  TForm read(nullptr);
  EXPECT_NO_THROW(LoadFormFromText(&read, text));
  auto* loaded = dynamic_cast<TCvPageControl*>(read.FindComponent("Pages"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->FixedDimension(), 19);
}

// =============================================================================================
// Painting

TEST_F(CvTabsTest, ApplicationPageControl) {
  TCvPageControl* pc = AppPages();
  EXPECT_EQ(pc->FixedDimension(), 19);
  for (TPoint p : {TPoint(0, 200), TPoint(249, 200), TPoint(245, 22)}) EXPECT_EQ(Pixel(pc, p.X, p.Y), kOutline);
  EXPECT_EQ(Pixel(pc->Pages(0), 100, 100), Rgb(226, 240, 246));
  // The selected tab's bar in the highlight colour along its top (hot tracking, tab style).
  const TRect sel = pc->TabClientRect(0);
  EXPECT_EQ(Pixel(pc, sel.Left + 10, sel.Top + 3), Rgb(10, 36, 106));
  // An unselected tab runs from the unselected colour to exactly the shadow on its last row.
  const TRect other = pc->TabClientRect(1);
  EXPECT_EQ(Pixel(pc, other.Left + 10, other.Bottom - 1), Rgb(212, 208, 200));
  EXPECT_GE(GetRValue(Pixel(pc, other.Left + 10, other.Top + 1)), 249);
  // With the shadow the card's last two columns darken the parent's colour.
  pc->SetShowShadow(true);
  Pump();
  EXPECT_EQ(Pixel(pc, 248, 200), Rgb(199, 212, 217));
  EXPECT_EQ(Pixel(pc, 249, 200), Rgb(213, 226, 232));
  EXPECT_EQ(Pixel(pc, 120, 376), Rgb(199, 212, 217));
  EXPECT_EQ(Pixel(pc, 120, 377), Rgb(213, 226, 232));
  EXPECT_EQ(Pixel(pc, 247, 200), kOutline);
}

TEST_F(CvTabsTest, FramesWithoutSelectionAndWithTheSelectionScrolledAway) {
  const TColorRef outline = Rgb(clBtnShadow);
  for (TCvTabOrientation o : {toTop, toBottom, toLeft, toRight}) {
    SCOPED_TRACE(static_cast<int>(o));
    auto* tc = Tabs({"One", "Two"}, 200, 120);
    tc->SetShowShadow(false);
    tc->SetTabOrientation(o);
    Pump();
    const TRect c = tc->CardRect(0);
    // The plain frame: all four sides.
    for (TPoint p : {TPoint(c.Left, c.Top + 5), TPoint(c.Right, c.Top + 5), TPoint(c.Left + 5, c.Top),
                     TPoint(c.Left + 5, c.Bottom)})
      EXPECT_EQ(Pixel(tc, p.X, p.Y), outline) << p.X << "," << p.Y;
    // The partial frame: the card's top edge only.
    tc->SetShowFullFrame(false);
    Pump();
    EXPECT_EQ(Pixel(tc, c.Left + 5, c.Top), outline);
    EXPECT_NE(Pixel(tc, c.Left + 5, c.Bottom), outline);
    EXPECT_NE(Pixel(tc, c.Right, c.Top + 5), outline);
    delete tc;  // owned by the form
  }
  // A selected tab scrolled out of view closes the frame's gap.
  auto* tc = Tabs({"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight"}, 200, 80);
  tc->SetShowShadow(false);
  tc->SetTabIndex(0);
  Pump();
  const TRect sel = tc->TabClientRect(0);
  const int32_t top = tc->CardRect(0).Top;
  EXPECT_NE(Pixel(tc, sel.Left + 5, top), outline);
  tc->ScrollTabs(true);
  Pump();
  EXPECT_EQ(tc->FirstShownTab(), 1);
  EXPECT_EQ(Pixel(tc, sel.Left + 5, top), outline);
}

TEST_F(CvTabsTest, CaptionColoursAndAccelerators) {
  auto* tc = Tabs({"One", "Two", "Three"});
  tc->SetTabIndex(0);
  tc->Tabs()->Items(2)->Enabled = false;
  std::vector<std::pair<int32_t, TCvTextStyle>> asked;
  tc->SetOnGetTextColor(TCvGetTextColorEvent(
      [&](TObject*, int32_t Index, TCvTextStyle Style, TColor&, bool&) { asked.emplace_back(Index, Style); }));
  tc->LayoutChanged();
  Pump();
  using enum TCvTextStyle;
  // Unselected, disabled (embossed: the highlight, then the shadow), then the selected tab.
  const std::vector<std::pair<int32_t, TCvTextStyle>> want = {
      {2, tsDisabledHighlight}, {2, tsDisabledShadow}, {1, tsUnselected}, {0, tsSelected}};
  EXPECT_EQ(asked, want);
  // "&" marks the next letter and is not written, "&&" writes one "&", a trailing "&" stays.
  auto* acc = Tabs({"Ab&cd", "Ab&&cd", "Abcd&"});
  Pump();
  EXPECT_EQ(Length(acc, 0), TextWidth("Abcd") + 26);
  EXPECT_EQ(Length(acc, 1), TextWidth("Ab&cd") + 26);
  EXPECT_EQ(Length(acc, 2), TextWidth("Abcd&") + 26);
}

TEST_F(CvTabsTest, TabLooks) {
  const TColorRef face = Rgb(212, 208, 200);
  // On a 256-colour display unselected tabs are flat.
  auto* flat = Tabs({"One", "Two"});
  DisplayIsFullColor = false;
  flat->LayoutChanged();
  Pump();
  const TRect r = flat->TabClientRect(1);
  EXPECT_EQ(Pixel(flat, r.Left + 12, r.Top + 3), Rgb(clWindow));
  EXPECT_EQ(Pixel(flat, r.Left + 12, r.Bottom - 1), Rgb(clWindow));
  DisplayIsFullColor = true;
  // Coloured tabs: a white tab runs from white to the button face.
  auto* coloured = Tabs({"One", "Two"});
  coloured->SetTop(150);
  coloured->SetUseColoredTabs(true);
  coloured->Tabs()->Items(1)->Color = clWhite;
  coloured->LayoutChanged();
  Pump();
  const TRect c = coloured->TabClientRect(1);
  EXPECT_EQ(Pixel(coloured, c.Left + 12, c.Bottom - 1), face);
  EXPECT_GE(GetGValue(Pixel(coloured, c.Left + 12, c.Top + 1)), 249);
  // Hot tracking: htsTab draws a bar in the hot colour, htsText colours the text instead.
  for (TCvTabHotTrackStyle style : {TCvTabHotTrackStyle::htsTab, TCvTabHotTrackStyle::htsText}) {
    auto* hot = Tabs({"One", "Two"});
    hot->SetTop(300);
    hot->SetHotTrackStyle(style);
    TColor asked = clNone;
    hot->SetOnGetTextColor(TCvGetTextColorEvent([&](TObject*, int32_t, TCvTextStyle Style, TColor& C, bool&) {
      if (Style == TCvTextStyle::tsHotTrack) asked = C;
    }));
    Pump();
    const TPoint p = Centre(hot, 1);
    MouseMove(hot, p.X, p.Y);
    Pump();
    const TRect h = hot->TabClientRect(1);
    const bool bar = style == TCvTabHotTrackStyle::htsTab;
    EXPECT_EQ(Pixel(hot, h.Left + 12, h.Top + 2) == Rgb(240, 155, 20), bar);
    EXPECT_EQ(asked, bar ? clBtnText : static_cast<TColor>(1350640));
    delete hot;  // owned by the form
  }
}

// A tab control whose pieces of the platform can be made to fail.
class TFailingTabs : public TCvCustomTabControl {
 public:
  using TCvCustomTabControl::TCvCustomTabControl;
  bool RefuseSave = false, RefuseRegion = false, ThreePoints = false;

 protected:
  int32_t SaveBufferDC() override { return RefuseSave ? 0 : TCvCustomTabControl::SaveBufferDC(); }
  HRGN CreateTabRegion(const std::vector<TPoint>& Points) override {
    return RefuseRegion ? nullptr : TCvCustomTabControl::CreateTabRegion(Points);
  }
  std::vector<TPoint> TabPolygon(int32_t Index) override {
    std::vector<TPoint> p = TCvCustomTabControl::TabPolygon(Index);
    if (ThreePoints) p.resize(3);
    return p;
  }
};

TEST_F(CvTabsTest, BadInputRaisesAndAbandonsThePaint) {
  TCvTabRegionCache cache;
  for (int32_t bad : {0, -2}) {
    try {
      cache.SetCapacity(bad);
      ADD_FAILURE() << bad;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Capacity must be -1 (to cache all regions) or > 0");
    }
  }
  auto* tc = Tabs<TFailingTabs>({"One", "Two"});
  tc->SetRegionCacheCapacity(0);
  tc->SetRegionCacheCapacity(-5);
  EXPECT_EQ(tc->RegionCacheCapacity(), 1);
  Pump();
  const TColorRef good = Pixel(tc, Centre(tc, 1).X, Centre(tc, 1).Y);
  struct Case {
    bool TFailingTabs::*Flag;
    const char* Message;
  };
  for (const Case& c : {Case{&TFailingTabs::ThreePoints, "Incorrect number of points in tab shape"},
                        Case{&TFailingTabs::RefuseSave, "Error saving device context"},
                        Case{&TFailingTabs::RefuseRegion, "Error creating region"}}) {
    Reports().clear();
    tc->*c.Flag = true;
    tc->LayoutChanged();
    Pump();
    ASSERT_FALSE(Reports().empty());
    EXPECT_EQ(Reports().front(), std::string(c.Message) + ".");
    tc->*c.Flag = false;
    tc->LayoutChanged();
    Pump();
    EXPECT_EQ(Pixel(tc, Centre(tc, 1).X, Centre(tc, 1).Y), good);
  }
}

// =============================================================================================
// Selection and interaction


TEST_F(CvTabsTest, TabIndexWriter) {
  auto* tc = Tabs({"One", "Two", "Three", "Four", "Five", "Six", "Seven"}, 150, 150);
  tc->SetMultiLine(true);
  Pump();
  EventLog& log = Log(tc);
  // Out of range: -1, without events.
  tc->SetTabIndex(1);
  log.Items.clear();
  tc->SetTabIndex(9);
  EXPECT_EQ(tc->TabIndex(), -1);
  EXPECT_TRUE(log.Items.empty());
  // The current value fires nothing but brings its row to the card.
  const int32_t back = 6;
  tc->SetTabIndex(back);
  Pump();
  log.Items.clear();
  for (int32_t i = 0; i < tc->Tabs()->Count(); ++i) tc->Tabs()->Items(i)->Row = (tc->Tabs()->Items(i)->Row + 1) % tc->RowCount();
  tc->SetTabIndex(back);
  EXPECT_TRUE(log.Items.empty());
  EXPECT_EQ(tc->Tabs()->Items(back)->Row, 0);
  // A refusal leaves the index and the rows.
  std::vector<int32_t> rows;
  for (int32_t i = 0; i < tc->Tabs()->Count(); ++i) rows.push_back(tc->Tabs()->Items(i)->Row);
  EventLog& refusing = Log(tc, false);
  tc->SetTabIndex(0);
  EXPECT_EQ(tc->TabIndex(), back);
  for (int32_t i = 0; i < tc->Tabs()->Count(); ++i) EXPECT_EQ(tc->Tabs()->Items(i)->Row, rows[static_cast<size_t>(i)]);
  EXPECT_EQ(refusing.Items, std::vector<std::string>{"changing 0"});
  // Single row: the current value scrolls the tab into view; a refusal keeps the scroll position.
  auto* strip = Tabs({"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight"}, 200, 80);
  strip->SetTop(200);
  strip->SetTabIndex(0);
  Pump();
  strip->ScrollTabs(true);
  strip->ScrollTabs(true);
  ASSERT_EQ(strip->FirstShownTab(), 2);
  strip->SetTabIndex(0);
  EXPECT_EQ(strip->FirstShownTab(), 0);
  Log(strip, false);
  strip->SetTabIndex(7);
  EXPECT_EQ(strip->FirstShownTab(), 0);
  EXPECT_EQ(strip->TabIndex(), 0);
}

TEST_F(CvTabsTest, MouseAndKeysSelect) {
  auto* tc = Tabs({"One", "Two", "Three"}, 300, 260);
  tc->SetTabOrientation(toLeft);
  Pump();
  EventLog& log = Log(tc);
  const TPoint p = Centre(tc, 1);
  Click(tc, p.X, p.Y);
  Pump();
  EXPECT_EQ(tc->TabIndex(), 1);
  EXPECT_EQ(log.Items, (std::vector<std::string>{"changing 1", "change", "click"}));
  // End on a bottom-up strip selects the first selectable tab, drawn at the bottom.
  tc->Tabs()->Items(0)->Enabled = false;
  tc->SetFocus();
  Pump();
  log.Items.clear();
  Press(VK_END);
  Pump();
  EXPECT_EQ(tc->TabIndex(), 1);
  tc->Tabs()->Items(0)->Enabled = true;
  Press(VK_END);
  Pump();
  EXPECT_EQ(tc->TabIndex(), 0);
  EXPECT_GT(tc->TabClientRect(0).Top, tc->TabClientRect(2).Top);
  // Arrow keys step to the next selectable tab.
  Press(VK_UP);
  Pump();
  EXPECT_EQ(tc->TabIndex(), 1);
}

TEST_F(CvTabsTest, ArrowKeysWithNothingSelectableStopAfterOnePass) {
  enum class Kind { Disabled, Hidden, Refused };
  for (Kind kind : {Kind::Disabled, Kind::Hidden, Kind::Refused}) {
    SCOPED_TRACE(static_cast<int>(kind));
    auto* tc = Tabs({"One", "Two", "Three"});
    EventLog& log = Log(tc, kind != Kind::Refused);
    for (int32_t i = 0; i < 3; ++i) {
      if (kind == Kind::Disabled) tc->Tabs()->Items(i)->Enabled = false;
      if (kind == Kind::Hidden) tc->Tabs()->Items(i)->Visible = false;
    }
    tc->LayoutChanged();
    Pump();
    tc->SetFocus();
    Pump();
    for (uint16_t key : {VK_RIGHT, VK_LEFT}) {
      Press(key);
      Pump();
    }
    EXPECT_EQ(tc->TabIndex(), -1);
    for (const std::string& e : log.Items) EXPECT_EQ(e.rfind("changing", 0), 0u) << e;
    delete tc;  // owned by the form
  }
}

TEST_F(CvTabsTest, HeldScrollerRepeats) {
  auto* tc = Tabs({"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine", "Ten"}, 200, 80);
  Pump();
  TCvTabScroller* sc = tc->Scroller();
  ASSERT_NE(sc, nullptr);
  const TPoint right(sc->Width() - 3, sc->Height() / 2);
  MouseDown(sc, right.X, right.Y);
  Pump();
  EXPECT_EQ(tc->FirstShownTab(), 0);
  AdvanceTime(399);
  EXPECT_EQ(tc->FirstShownTab(), 0);
  AdvanceTime(1);
  EXPECT_EQ(tc->FirstShownTab(), 1);
  AdvanceTime(100);
  EXPECT_EQ(tc->FirstShownTab(), 2);
  MouseUp(sc, right.X, right.Y);
  Pump();
  EXPECT_EQ(tc->FirstShownTab(), 3);
  // A release outside the half adds nothing.
  MouseDown(sc, right.X, right.Y);
  MouseMove(sc, 2, right.Y);
  MouseUp(sc, 2, right.Y);
  Pump();
  AdvanceTime(500);
  EXPECT_EQ(tc->FirstShownTab(), 3);
  // The left half scrolls back.
  Click(sc, 2, right.Y);
  Pump();
  EXPECT_EQ(tc->FirstShownTab(), 2);
}

TEST_F(CvTabsTest, CloseAndMenuButtons) {
  TCvPageControl* pc = AppPages({"One", "Two", "Three"});
  pc->SetShowCloseButton(true);
  pc->SetShowMenuButton(true);
  Pump();
  TCvTabCloseButton* close = pc->CloseButton();
  // Without an OnClose handler the button closes nothing.
  Click(close, 4, 4);
  Pump();
  EXPECT_EQ(pc->PageCount(), 3);
  pc->SetOnClose(TCvTabCloseEvent([](TObject*, bool& Allow) { Allow = true; }));
  Click(close, 4, 4);
  Pump();
  EXPECT_EQ(pc->PageCount(), 2);
  EXPECT_EQ(pc->ActivePage()->Caption(), "Two");
  // The menu lists the visible tabs, checks the selected one and shows a disabled one disabled
  // with its disabled image.
  pc->Pages(0)->SetImageIndex(4);
  pc->Pages(1)->SetTabEnabled(false);
  pc->Pages(1)->SetDisabledIndex(7);
  auto* hidden = new TCvTabSheet(form_.get());  // owned by the form
  hidden->SetCaption("Hidden");
  hidden->SetTabVisible(false);
  hidden->SetPageControl(pc);
  Pump();
  pc->MenuButton()->BuildMenu();
  TMenuItem* items = pc->MenuButton()->Menu()->Items();
  ASSERT_EQ(items->Count(), 2);
  EXPECT_EQ(items->Items(0)->Caption(), "Two");
  EXPECT_TRUE(items->Items(0)->Checked());
  EXPECT_EQ(items->Items(0)->ImageIndex(), 4);
  EXPECT_FALSE(items->Items(1)->Enabled());
  EXPECT_FALSE(items->Items(1)->Checked());
  EXPECT_EQ(items->Items(1)->ImageIndex(), 7);
}

TEST_F(CvTabsTest, HoverTimerAndTabHints) {
  auto* tc = Tabs({"One", "Two"}, 300, 100);
  tc->SetHint("Control");
  tc->SetTabHints(true);
  tc->Tabs()->Items(1)->Hint = "Second";
  tc->Loaded();
  Pump();
  auto hoverDue = [] { return NextTimerDueTick() - GetTickCount64() <= 60; };
  EXPECT_FALSE(hoverDue());
  const TPoint p = Centre(tc, 1);
  MouseMove(tc, p.X, p.Y);
  Pump();
  EXPECT_EQ(tc->HotTab(), 1);
  EXPECT_EQ(tc->Hint(), "Second");
  EXPECT_TRUE(hoverDue());
  // Over the strip's empty part there is no hint; off the strip the control's own.
  MouseMove(tc, 280, 5);
  Pump();
  EXPECT_EQ(tc->HotTab(), -1);
  EXPECT_EQ(tc->Hint(), "");
  EXPECT_FALSE(hoverDue());
  MouseMove(tc, 150, 60);
  Pump();
  EXPECT_EQ(tc->Hint(), "Control");
  // The timer notices a pointer that left without a move over the control.
  MouseMove(tc, p.X, p.Y);
  Pump();
  SetCursorPos(0, 0);
  AdvanceTime(60);
  EXPECT_EQ(tc->HotTab(), -1);
  EXPECT_FALSE(hoverDue());
}

TEST_F(CvTabsTest, DraggingATabMovesItThere) {
  TCvPageControl* pc = AppPages({"One", "Two", "Three", "Four"});
  pc->SetAllowTabDragging(true);
  std::vector<std::string> moves;
  pc->SetOnTabOrderChange(TCvTabOrderChangeEvent([&](TObject*, int32_t Old, int32_t New) {
    moves.push_back(std::to_string(Old) + ">" + std::to_string(New));
  }));
  Pump();
  auto caption = [&](int32_t I) { return pc->Pages(I)->Caption(); };
  // The strip as painted, to find the marker by the pixels it changes.
  auto strip = [&] {
    std::vector<TColorRef> px;
    for (int32_t y = 0; y < 24; ++y)
      for (int32_t x = 0; x < pc->Width(); ++x) px.push_back(Pixel(pc, x, y));
    return px;
  };
  auto changed = [&](const std::vector<TColorRef>& Before) {
    const std::vector<TColorRef> now = strip();
    int32_t n = 0;
    for (size_t i = 0; i < now.size(); ++i) n += now[i] != Before[i];
    return n;
  };
  // Press the first tab, move over the third: the marker shows; back over the first (the selected
  // one) it is erased without a trace; the drop there moves nothing.
  const TPoint a = Centre(pc, 0), c = Centre(pc, 2);
  const std::vector<TColorRef> clean = strip();
  MouseDown(pc, a.X, a.Y);
  MouseMove(pc, a.X + 1, a.Y, {ssLeft});
  EXPECT_TRUE(pc->Dragging());
  MouseMove(pc, c.X, c.Y, {ssLeft});
  EXPECT_GT(changed(clean), 20);
  MouseMove(pc, a.X, a.Y, {ssLeft});
  EXPECT_EQ(changed(clean), 0);
  MouseUp(pc, a.X, a.Y);
  Pump();
  EXPECT_TRUE(moves.empty());
  // Dropped off the tabs (on the card) nothing moves either.
  MouseDown(pc, a.X, a.Y);
  MouseMove(pc, a.X + 1, a.Y, {ssLeft});
  const std::vector<TColorRef> before = strip();
  MouseMove(pc, c.X, c.Y, {ssLeft});
  EXPECT_GT(changed(before), 20);
  MouseMove(pc, 100, 200, {ssLeft});
  EXPECT_EQ(changed(before), 0);
  MouseUp(pc, 100, 200);
  Pump();
  EXPECT_TRUE(moves.empty());
  // Dropped on the third tab, the first moves there and stays selected.
  MouseDown(pc, a.X, a.Y);
  MouseMove(pc, a.X + 1, a.Y, {ssLeft});
  MouseMove(pc, c.X, c.Y, {ssLeft});
  MouseUp(pc, c.X, c.Y);
  Pump();
  EXPECT_EQ(moves, (std::vector<std::string>{"0>2"}));
  EXPECT_EQ(caption(0) + caption(1) + caption(2) + caption(3), "TwoThreeOneFour");
  EXPECT_EQ(pc->ActivePage()->Caption(), "One");
  EXPECT_EQ(pc->TabIndex(), 2);
  EXPECT_FALSE(pc->Dragging());
}

TEST_F(CvTabsTest, ADragHeldPastTheEndsScrollsTheTabs) {
  auto* tc = Tabs({"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine", "Ten"}, 200, 80);
  tc->SetAllowTabDragging(true);
  Pump();
  ASSERT_EQ(tc->FirstShownTab(), 0);
  const TPoint a = Centre(tc, 0);
  MouseDown(tc, a.X, a.Y);
  MouseMove(tc, a.X + 1, a.Y, {ssLeft});
  MouseMove(tc, 100, 60, {ssLeft});  // over the card: no tab, the scroll timer starts
  MouseMove(form_.get(), 400, 30, {ssLeft});  // right of the control
  AdvanceTime(399);
  EXPECT_EQ(tc->FirstShownTab(), 0);
  AdvanceTime(1);
  EXPECT_EQ(tc->FirstShownTab(), 1);
  AdvanceTime(299);
  EXPECT_EQ(tc->FirstShownTab(), 1);
  AdvanceTime(1);
  EXPECT_EQ(tc->FirstShownTab(), 2);
  // Left of the control it scrolls back; inside it stays.
  MouseMove(form_.get(), 2, 30, {ssLeft});
  AdvanceTime(300);
  EXPECT_EQ(tc->FirstShownTab(), 1);
  MouseMove(tc, 100, 60, {ssLeft});
  AdvanceTime(600);
  EXPECT_EQ(tc->FirstShownTab(), 1);
  // Once the drag ends the timer scrolls no more.
  MouseMove(form_.get(), 400, 30, {ssLeft});
  MouseUp(form_.get(), 400, 30);
  AdvanceTime(900);
  EXPECT_EQ(tc->FirstShownTab(), 1);
  EXPECT_FALSE(tc->Dragging());
}

// =============================================================================================
// Pages

TEST_F(CvTabsTest, PagesFollowTheTabs) {
  TCvPageControl* pc = AppPages({"One", "Two", "Three"});
  TCvTabSheet* one = pc->Pages(0);
  TCvTabSheet* two = pc->Pages(1);
  std::vector<std::string> seen;
  pc->SetOnChange(TNotifyEvent([&](TObject*) { seen.push_back(Shown(one) ? "one shown" : "two shown"); }));
  pc->SetOnPageChange(TNotifyEvent([&](TObject*) { seen.push_back(Shown(two) ? "page two" : "page ?"); }));
  const TPoint p = Centre(pc, 1);
  Click(pc, p.X, p.Y);
  Pump();
  EXPECT_EQ(seen, (std::vector<std::string>{"two shown", "page two"}));
  EXPECT_FALSE(Shown(one));
  // A refusal keeps tab and page.
  pc->SetOnChanging(TCvTabChangingEvent([](TObject*, int32_t, bool& Allow) { Allow = false; }));
  const TPoint q = Centre(pc, 0);
  Click(pc, q.X, q.Y);
  Pump();
  EXPECT_EQ(pc->TabIndex(), 1);
  EXPECT_EQ(pc->ActivePage(), two);
  EXPECT_TRUE(Shown(two));
  EXPECT_FALSE(Shown(one));
  pc->SetOnChanging(nullptr);
  // Hiding the active page's tab deselects every tab; the page stays.
  two->SetTabVisible(false);
  Pump();
  EXPECT_EQ(pc->TabIndex(), -1);
  EXPECT_TRUE(Shown(two));
  two->SetTabVisible(true);
  pc->SetActivePageIndex(-1);
  EXPECT_EQ(pc->TabIndex(), -1);
  EXPECT_TRUE(Shown(two));
  pc->SetActivePage(nullptr);
  EXPECT_FALSE(Shown(two));
}

TEST_F(CvTabsTest, ClosingTabsAndCyclingPages) {
  TCvPageControl* pc = AppPages({"One", "Two", "Three"});
  pc->SetOnClose(TCvTabCloseEvent([](TObject*, bool& Allow) { Allow = true; }));
  pc->SetActivePageIndex(0);
  pc->CloseTabClicked(nullptr);
  EXPECT_EQ(pc->ActivePage()->Caption(), "Two");
  EXPECT_EQ(pc->TabIndex(), 0);
  auto* four = new TCvTabSheet(form_.get());  // owned by the form
  four->SetCaption("Four");
  four->SetPageControl(pc);
  pc->SetActivePageIndex(1);
  pc->CloseTabClicked(nullptr);
  EXPECT_EQ(pc->ActivePage()->Caption(), "Two");
  // Ctrl+Shift+Tab on the first page goes to the last with a visible tab.
  auto* five = new TCvTabSheet(form_.get());  // owned by the form
  five->SetCaption("Five");
  five->SetPageControl(pc);
  five->SetTabVisible(false);
  pc->SetActivePageIndex(0);
  pc->SetFocus();
  Pump();
  Press(VK_TAB, "", {ssCtrl, ssShift});
  Pump();
  EXPECT_EQ(pc->ActivePage(), four);
  Press(VK_TAB, "", {ssCtrl});
  Pump();
  EXPECT_EQ(pc->ActivePage()->Caption(), "Two");
}

TEST_F(CvTabsTest, PageColoursAndBadInput) {
  TCvPageControl* pc = AppPages({"One", "Two", "Three"});
  EXPECT_FALSE(pc->UseColoredTabs());
  pc->Pages(1)->SetColor(clYellow);
  EXPECT_TRUE(pc->UseColoredTabs());
  EXPECT_EQ(pc->Pages(1)->Color(), clYellow);
  pc->SetUseColoredTabs(false);
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(pc->Pages(i)->Color(), pc->Color()) << i;
  EventLog& log = Log(pc);
  try {
    pc->Pages(0)->SetPageIndex(5);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "5 is an invalid PageIndex value. PageIndex must be between 0 and 2");
  }
  EXPECT_EQ(pc->Pages(0)->Caption(), "One");
  EXPECT_TRUE(log.Items.empty());
  try {
    pc->Pages(0)->SetVisible(false);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "You cannot change the Visible property of a page");
  }
  // Moving a page tells the new order.
  std::pair<int32_t, int32_t> moved;
  pc->SetOnTabOrderChange(TCvTabOrderChangeEvent([&](TObject*, int32_t A, int32_t B) { moved = {A, B}; }));
  pc->Pages(0)->SetPageIndex(2);
  EXPECT_EQ(moved, std::make_pair(0, 2));
  EXPECT_EQ(pc->Pages(2)->Caption(), "One");
}

// A form whose published methods count the page control's events.
class TLoadForm : public TForm {
  PX_CLASS(TLoadForm)
 public:
  using TForm::TForm;
  int32_t Events = 0;
  void PagesEvent(TObject*) { ++Events; }
  void PagesChanging(TObject*, int32_t, bool&) { ++Events; }
};

}  // namespace

PX_CLASS_INFO(TLoadForm, TForm, [](TPropertyBuilder<TLoadForm>& b) {
  b.Method("PagesEvent", &TLoadForm::PagesEvent);
  b.Method("PagesChanging", &TLoadForm::PagesChanging);
})

namespace {

TEST_F(CvTabsTest, StoredFormChoosesTheDefaultPageWithoutEvents) {
  TLoadForm read(nullptr);
  LoadFormFromText(&read, R"(object Form1: TLoadForm
  object Pages: TCvPageControl
    Width = 250
    Height = 200
    ActivePage = Sheet1
    ActivePageDefault = Sheet2
    OnChange = PagesEvent
    OnChanging = PagesChanging
    OnPageChange = PagesEvent
    object Sheet1: TCvTabSheet
      Caption = 'One'
    end
    object Sheet2: TCvTabSheet
      Caption = 'Two'
    end
  end
end
)");
  auto* pc = dynamic_cast<TCvPageControl*>(read.FindComponent("Pages"));
  ASSERT_NE(pc, nullptr);
  ASSERT_EQ(pc->PageCount(), 2);
  EXPECT_EQ(pc->ActivePage(), pc->Pages(1));
  EXPECT_EQ(pc->TabIndex(), 1);
  EXPECT_FALSE(Shown(pc->Pages(0)));
  EXPECT_TRUE(Shown(pc->Pages(1)));
  EXPECT_EQ(read.Events, 0);
  // Afterwards the events fire.
  pc->SetActivePageIndex(0);
  EXPECT_EQ(read.Events, 3);
}

// =============================================================================================
// Docking

TEST_F(CvTabsTest, FormsDockOnPagesOfTheirOwnAndTheirPagesGoWithThem) {
  TCvPageControl* pc = AppPages();
  pc->SetDockSite(true);
  TForm* layers = ToolForm("Layers\r\nof the picture", clRed);
  TForm* masks = ToolForm("Masks", clLime);
  ASSERT_TRUE(layers->ManualDock(pc));
  ASSERT_TRUE(masks->ManualDock(pc));
  Pump();
  ASSERT_EQ(pc->PageCount(), 4);
  TCvTabSheet* layersPage = pc->Pages(2);
  TCvTabSheet* masksPage = pc->Pages(3);
  EXPECT_EQ(layersPage->Caption(), "Layers") << "a tab shows the first line";
  EXPECT_EQ(masksPage->Caption(), "Masks");
  EXPECT_EQ(layers->Parent(), layersPage);
  EXPECT_EQ(layers->HostDockSite(), pc);
  EXPECT_EQ(layers->Align(), alClient);
  EXPECT_EQ(layers->BoundsRect(), layersPage->ClientRect());
  EXPECT_EQ(pc->ActivePage(), masksPage) << "a visible docked form is shown at once";
  EXPECT_EQ(pc->TabIndex(), 3);
  // Its tab is the selected one and the form fills the card.
  const TRect sel = pc->TabClientRect(3);
  EXPECT_EQ(Pixel(pc, sel.Left + 10, sel.Top + 3), Rgb(10, 36, 106));
  EXPECT_EQ(Pixel(masks, 20, 20), Rgb(0, 255, 0));
  EXPECT_EQ(masks->ClientToScreen(TPoint()), masksPage->ClientToScreen(TPoint()));

  // A form docked here cannot dock here again; others can.
  for (TForm* f : {layers, ToolForm("Free", clBlue)}) {
    TRect influence;
    bool canDock = true;
    pc->GetSiteInfo(f, influence, TPoint(), canDock);
    EXPECT_EQ(canDock, f != layers) << f->Caption();
  }

  // The tabs follow the forms' captions and visibility.
  layers->SetCaption("Layer stack\nand more");
  EXPECT_EQ(layersPage->Caption(), "Layer stack");
  masks->Hide();
  Pump();
  EXPECT_FALSE(masksPage->TabVisible());
  EXPECT_EQ(pc->Tabs()->Count(), 3);
  EXPECT_EQ(pc->TabIndex(), -1);
  masks->Show();
  Pump();
  EXPECT_EQ(pc->TabIndex(), 3);

  // Floating a form frees its page; the next page with a visible tab is shown.
  ASSERT_TRUE(layers->ManualDock(nullptr));
  Pump();
  ASSERT_EQ(pc->PageCount(), 3);
  EXPECT_EQ(pc->Pages(2), masksPage);
  EXPECT_EQ(pc->ActivePage(), masksPage);
  EXPECT_EQ(layers->Parent(), nullptr);
  EXPECT_EQ(layers->HostDockSite(), nullptr);
  EXPECT_TRUE(layers->Floating());
  EXPECT_EQ(layers->Align(), alNone);
  EXPECT_EQ(Pixel(layers, 20, 20), Rgb(255, 0, 0));
}

TEST_F(CvTabsTest, ADockThatFailsLeavesNoPage) {
  TCvPageControl* pc = AppPages();
  pc->SetDockSite(true);
  auto* other = Add<TCvPanel>(nullptr, 400, 0, 200, 200);
  other->SetDockSite(true);
  TForm* tool = ToolForm("Tool", clRed);
  ASSERT_TRUE(tool->ManualDock(other));
  const int32_t components = pc->ComponentCount();
  struct Case {
    const char* Name;
    TUnDockEvent OnUnDock;
  };
  const Case cases[] = {
      {"refused", [](TObject*, TControl*, TWinControl*, bool& Allow) { Allow = false; }},
      {"raising", [](TObject*, TControl*, TWinControl*, bool&) { throw Exception("kept"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    other->SetOnUnDock(c.OnUnDock);
    bool docked = true;
    try {
      docked = tool->ManualDock(pc);
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "kept");
      docked = false;
    }
    EXPECT_FALSE(docked);
    EXPECT_EQ(pc->PageCount(), 2);
    EXPECT_EQ(pc->ComponentCount(), components) << "the new page is freed";
    EXPECT_EQ(tool->HostDockSite(), other);
    EXPECT_EQ(pc->ActivePage(), pc->Pages(0));
  }
}

TEST_F(CvTabsTest, DockedFormsAreDraggedByTheirTabsAndFloatOnADoubleClick) {
  TCvPageControl* pc = AppPages();
  pc->SetDockSite(true);
  TForm* tool = ToolForm("Tool", clRed);
  tool->SetDragMode(dmAutomatic);
  // Dragged over the page control the outline covers all of it; the drop docks the form.
  MouseDown(tool, 20, 20);
  MouseMove(tool, 40, 40);
  MouseMove(pc, 120, 200);
  HWND outline = DockOutlineWindow();
  ASSERT_NE(outline, nullptr);
  TRect shown, whole;
  GetWindowRect(outline, &shown);
  GetWindowRect(pc->Handle(), &whole);
  EXPECT_EQ(shown, whole);
  MouseUp(pc, 120, 200);
  Pump();
  ASSERT_EQ(pc->PageCount(), 3);
  EXPECT_EQ(pc->Pages(2)->Caption(), "Tool");
  EXPECT_EQ(tool->Parent(), pc->Pages(2));
  EXPECT_EQ(pc->ActivePage(), pc->Pages(2));
  EXPECT_EQ(Pixel(tool, 20, 20), Rgb(255, 0, 0));

  // A press on its tab shows it and drags it; dropped over no site it floats.
  pc->SetActivePageIndex(0);
  Pump();
  const TPoint t = Centre(pc, 2);
  MouseDown(pc, t.X, t.Y);
  EXPECT_EQ(pc->ActivePage(), pc->Pages(2));
  EXPECT_TRUE(tool->Dragging());
  MouseMove(pc, t.X + 10, t.Y + 10);
  MouseMove(form_.get(), 450, 300);
  EXPECT_NE(DockOutlineWindow(), nullptr);
  MouseUp(form_.get(), 450, 300);
  Pump();
  EXPECT_EQ(pc->PageCount(), 2);
  EXPECT_TRUE(tool->Floating());
  EXPECT_EQ(tool->Parent(), nullptr);
  EXPECT_EQ(pc->ActivePage(), pc->Pages(0)) << "the next page with a visible tab, wrapping";
  EXPECT_EQ(Pixel(pc->Pages(0), 100, 100), Rgb(226, 240, 246));

  // A double click on its tab floats it, while DblClickUndocks is on.
  ASSERT_TRUE(tool->ManualDock(pc));
  Pump();
  const TPoint d = Centre(pc, 2);
  for (bool undocks : {false, true}) {
    SCOPED_TRACE(undocks);
    pc->SetDblClickUndocks(undocks);
    DoubleClick(pc, d.X, d.Y);
    Pump();
    EXPECT_EQ(tool->HostDockSite(), undocks ? nullptr : pc);
    EXPECT_EQ(pc->PageCount(), undocks ? 2 : 3);
  }
  EXPECT_TRUE(tool->Floating());
  EXPECT_TRUE(tool->Visible());
}

}  // namespace
