// The blinking list, the frame controller, the settings store and the work areas.
#include <gtest/gtest.h>

#include "controls/CvCommon.h"
#include "platform/forms/FormLoader.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

using enum TFrameStyleEx;

class CvServicesTest : public FormsTest {};

// A control that blinks when asked to and records the phases it was sent.
class TBlinker : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  bool Blinks = false;
  std::vector<int> Phases;

 protected:
  void Dispatch(TMessage& Message) override {
    if (Message.Msg == CM_CVBLINKQUERY) Message.Result = Blinks ? 1 : 0;
    else if (Message.Msg == CM_CVBLINKSET) Phases.push_back(static_cast<int>(Message.WParam));
    else TGraphicControl::Dispatch(Message);
  }
};

TEST_F(CvServicesTest, BlinkingListAlternatesAndAsksFirst) {
  TBlinker a(nullptr), b(nullptr);
  a.Blinks = true;
  TCvBlinkingControlsList* list = NeedSharedBlinkingList();
  EXPECT_EQ(NeedSharedBlinkingList(), list);
  list->Register(&a);
  list->Register(&b);
  list->Register(&a);
  EXPECT_EQ(list->ControlCount(), 2);
  AdvanceTime(499);
  EXPECT_TRUE(a.Phases.empty());
  AdvanceTime(1);
  AdvanceTime(500);
  AdvanceTime(500);
  EXPECT_EQ(a.Phases, (std::vector<int>{0, 1, 0}));
  EXPECT_TRUE(b.Phases.empty());
  // The on interval is the phase-1 time.
  list->SetIntervalOn(200);
  AdvanceTime(500);  // phase 1 starts, lasting 200
  AdvanceTime(200);
  EXPECT_EQ(a.Phases, (std::vector<int>{0, 1, 0, 1, 0}));
  list->Unregister(&a);
  DropBlinkingListWhenEmpty();
  EXPECT_EQ(SharedBlinkingList(), list);
  list->Unregister(&b);
  DropBlinkingListWhenEmpty();
  EXPECT_EQ(SharedBlinkingList(), nullptr);
}

// A control with the published frame properties a controller writes by name.
class TFramed : public TCustomControl {
  PX_CLASS(TFramed)
 public:
  using TCustomControl::TCustomControl;
  TFrameStyle FrameStyle() const { return style_; }
  void SetFrameStyle(TFrameStyle Value) { style_ = Value; }
  TSides FrameSides() const { return sides_; }
  void SetFrameSides(TSides Value) { sides_ = Value; }
  bool FrameVisible() const { return visible_; }
  void SetFrameVisible(bool Value) { visible_ = Value; }
  TColor FocusColor() const { return focus_; }
  void SetFocusColor(TColor Value) { focus_ = Value; }
  TCvFrameControllerNotifications FrameControllerNotifications() const { return notifications_; }
  void SetFrameControllerNotifications(TCvFrameControllerNotifications Value) { notifications_ = Value; }

 private:
  TFrameStyle style_ = fsNone;
  TSides sides_;
  bool visible_ = false;
  TColor focus_ = clBlack;
  TCvFrameControllerNotifications notifications_ = AllFrameControllerNotifications;
};

// A control that takes the settings itself and counts how often it was asked.
class TFramingClient : public TGraphicControl, public ICvFramingClient {
 public:
  using TGraphicControl::TGraphicControl;
  int Applied = 0;
  void ApplyControllerFrame() override { ++Applied; }
};

}  // namespace

PX_CLASS_INFO(TFramed, TCustomControl, [](TPropertyBuilder<TFramed>& b) {
  b.Enum("FrameStyle", TypeInfo_TFrameStyle(), &TFramed::FrameStyle, &TFramed::SetFrameStyle);
  b.Set("FrameSides", TypeInfo_TSides(), &TFramed::FrameSides, &TFramed::SetFrameSides);
  b.Bool("FrameVisible", &TFramed::FrameVisible, &TFramed::SetFrameVisible);
  b.Int("FocusColor", &TFramed::FocusColor, &TFramed::SetFocusColor, TypeInfo_TColor());
  b.Set("FrameControllerNotifications", TypeInfo_TCvFrameControllerNotifications(),
        &TFramed::FrameControllerNotifications, &TFramed::SetFrameControllerNotifications);
})

namespace {

TEST_F(CvServicesTest, FrameControllerWritesPublishedProperties) {
  TComponent owner(nullptr);
  auto* fc = new TCvFrameController(&owner);  // owned by owner
  auto* plain = new TFramed(&owner);
  auto* noColor = new TFramed(&owner);
  noColor->SetFrameControllerNotifications(AllFrameControllerNotifications - fcpColor);
  fc->AddControl(plain);
  fc->AddControl(noColor);
  // Joining takes every setting.
  EXPECT_EQ(plain->Color(), clWindow);
  EXPECT_EQ(plain->FrameStyle(), fsFlat);
  EXPECT_EQ(plain->FrameSides(), AllSides);
  fc->SetColor(clYellow);
  fc->SetFrameStyle(fsLowered);
  EXPECT_EQ(plain->Color(), clYellow);
  EXPECT_NE(noColor->Color(), clYellow);
  EXPECT_EQ(noColor->FrameStyle(), fsLowered);
  // An equal focus colour moves along with the colour.
  EXPECT_EQ(fc->FocusColor(), clYellow);
  EXPECT_EQ(plain->FocusColor(), clYellow);
  fc->SetFocusColor(clAqua);
  fc->SetColor(clRed);
  EXPECT_EQ(fc->FocusColor(), clAqua);
  // Hot tracking shows the frames on all four sides.
  fc->SetFrameSides({sdTop});
  EXPECT_EQ(plain->FrameSides(), TSides{sdTop});
  fc->SetFrameHotTrack(true);
  EXPECT_TRUE(fc->FrameVisible());
  EXPECT_TRUE(plain->FrameVisible());
  EXPECT_EQ(plain->FrameSides(), AllSides);
  // A freed control leaves the list by itself.
  delete plain;
  EXPECT_EQ(fc->ControlCount(), 1);
  fc->SetFrameStyle(fsRaised);
  EXPECT_EQ(noColor->FrameStyle(), fsRaised);
}

TEST_F(CvServicesTest, FrameControllerUpdatesOnceAfterEndUpdate) {
  TComponent owner(nullptr);
  auto* fc = new TCvFrameController(&owner);  // owned by owner
  TFramingClient client(nullptr);
  fc->AddControl(&client);
  EXPECT_EQ(client.Applied, 1);
  fc->BeginUpdate();
  fc->SetFrameColor(clRed);
  fc->SetFrameStyle(fsBump);
  fc->SetColor(clBlue);
  EXPECT_EQ(client.Applied, 1);
  fc->EndUpdate();
  EXPECT_EQ(client.Applied, 2);
  fc->SetFrameColor(clRed);  // unchanged: nothing
  EXPECT_EQ(client.Applied, 2);
  // Copying another controller is one update too.
  TCvFrameController other(nullptr);
  other.SetFrameStyle(fsGroove);
  other.SetFlatButtons(false);
  fc->Assign(&other);
  EXPECT_EQ(client.Applied, 3);
  EXPECT_EQ(fc->FrameStyle(), fsGroove);
  EXPECT_FALSE(fc->FlatButtons());
  fc->RemoveControl(&client);
  EXPECT_EQ(fc->ControlCount(), 0);
}

TEST_F(CvServicesTest, FrameControllerReadsOlderDescriptions) {
  RegisterClass(TCvFrameController::StaticClass());
  const struct {
    const char* Lines;
    bool HotTrack;
    TFrameStyle Style, HotStyle;
  } cases[] = {
      {"FrameFlat = True", true, fsStatus, fsLowered},
      {"FrameFlat = False", false, fsFlat, fsFlatBold},
      {"FrameFocusStyle = fsGroove", false, fsFlat, fsGroove},
      {"FrameFlatStyle = fsBump\n    FrameStyle = fsRaised", false, fsRaised, fsFlatBold},
  };
  for (const auto& c : cases) {
    TComponent root(nullptr);
    LoadFormFromText(&root, std::string("object Root: TComponent\n  object FC: TCvFrameController\n    ") + c.Lines +
                                "\n  end\nend\n");
    auto* fc = dynamic_cast<TCvFrameController*>(root.FindComponent("FC"));
    ASSERT_NE(fc, nullptr) << c.Lines;
    EXPECT_EQ(fc->FrameHotTrack(), c.HotTrack) << c.Lines;
    EXPECT_EQ(fc->FrameStyle(), c.Style) << c.Lines;
    EXPECT_EQ(fc->FrameHotStyle(), c.HotStyle) << c.Lines;
    // Loading never forces the sides.
    EXPECT_EQ(fc->FrameSides(), AllSides);
  }
}

TEST_F(CvServicesTest, SettingsStore) {
  TCvRegIniFile store(nullptr);
  EXPECT_TRUE(store.ReopenNeeded());
  store.SetPath("/nonexistent/settings.ini");
  TCustomIniFile* ini = store.IniFile();
  ASSERT_NE(ini, nullptr);
  EXPECT_FALSE(store.ReopenNeeded());
  store.SetPath("/nonexistent/settings.ini");
  EXPECT_FALSE(store.ReopenNeeded());
  store.SetRegKey(hkeyLocalMachine);
  EXPECT_TRUE(store.ReopenNeeded());
  store.SetPathType(ptRegistry);
  EXPECT_EQ(store.IniFile(), nullptr);
  // The controller forgets a store that is freed.
  TComponent owner(nullptr);
  auto* fc = new TCvFrameController(&owner);  // owned by owner
  auto* held = new TCvRegIniFile(&owner);
  fc->SetRegIniFile(held);
  delete held;
  EXPECT_EQ(fc->RegIniFile(), nullptr);
}

TEST_F(CvServicesTest, WorkAreas) {
  auto form = NewForm(100, 100);
  ASSERT_GT(Screen()->MonitorCount(), 0);
  TMonitor* primary = Screen()->Monitors(0);
  EXPECT_EQ(ActiveWorkAreaOf(form.get()), MonitorWorkArea(primary));
  EXPECT_EQ(ActiveWorkAreaWidthOf(form.get()), MonitorWorkArea(primary).Width());
  const TRect b = MonitorBounds(primary);
  EXPECT_EQ(MonitorAtPoint(TPoint(b.Left + 1, b.Top + 1)), primary);
  EXPECT_EQ(MonitorAtPoint(TPoint(-100000, -100000)), nullptr);
  EXPECT_EQ(MonitorWorkArea(nullptr), TRect());
}

// InvalidateTransparentChildren asks only children whose published Transparent is True.
class TSeeThrough : public TGraphicControl {
  PX_CLASS(TSeeThrough)
 public:
  using TGraphicControl::TGraphicControl;
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool Value) { transparent_ = Value; }
  int Invalidated = 0;
  void Invalidate() override {
    ++Invalidated;
    TGraphicControl::Invalidate();
  }

 private:
  bool transparent_ = false;
};

}  // namespace

PX_CLASS_INFO(TSeeThrough, TGraphicControl, [](TPropertyBuilder<TSeeThrough>& b) {
  b.Bool("Transparent", &TSeeThrough::Transparent, &TSeeThrough::SetTransparent);
})

namespace {

TEST_F(CvServicesTest, InvalidateTransparentChildren) {
  auto form = NewForm(100, 100);
  auto* clear = new TSeeThrough(form.get());  // owned by the form
  auto* solid = new TSeeThrough(form.get());
  auto* other = new TFramingClient(form.get());
  for (TControl* c : std::initializer_list<TControl*>{clear, solid, other}) c->SetParent(form.get());
  clear->SetTransparent(true);
  clear->Invalidated = solid->Invalidated = 0;
  InvalidateTransparentChildren(form.get());
  EXPECT_EQ(clear->Invalidated, 1);
  EXPECT_EQ(solid->Invalidated, 0);
  InvalidateTransparentChildren(nullptr);
}

}  // namespace
