#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/forms/FormLoader.h"
#include "platform/forms/StdActns.h"
#include "tests/common/TestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

// A window control that can be clicked.
class TActTestButton : public TCustomControl {
  PX_CLASS(TActTestButton)
 public:
  using TCustomControl::TCustomControl;
  void PressClick() { Click(); }
};

// A control with a checked state that follows its action through its own link class, as the
// check boxes do: the action's Checked reaches it without a click.
class TActTestCheck;
class TActTestCheckLink : public TWinControlActionLink {
 public:
  void AssignClient(TObject* AClient) override;
  bool IsCheckedLinked() override;
  void SetChecked(bool Value) override;

 private:
  TActTestCheck* check_ = nullptr;
};

class TActTestCheck : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  bool Checked() const { return checked_; }
  // A change clicks, unless the action link sets it.
  void SetChecked(bool Value) {
    if (checked_ == Value) return;
    checked_ = Value;
    if (!clicks_disabled_) Click();
  }
  int Clicks = 0;

 protected:
  friend class TActTestCheckLink;
  void Click() override {
    ++Clicks;
    TCustomControl::Click();
  }
  TControlActionLinkClass GetActionLinkClass() override { return ActionLinkClassOf<TActTestCheckLink>(); }
  void ActionChange(TObject* Sender, bool CheckDefaults) override {
    TCustomControl::ActionChange(Sender, CheckDefaults);
    if (auto* a = dynamic_cast<TCustomAction*>(Sender); a && (!CheckDefaults || !checked_)) SetChecked(a->Checked());
  }

 private:
  bool checked_ = false;
  bool clicks_disabled_ = false;
};

void TActTestCheckLink::AssignClient(TObject* AClient) {
  TWinControlActionLink::AssignClient(AClient);
  check_ = dynamic_cast<TActTestCheck*>(AClient);
  if (!check_) throw EInvalidCast("Invalid class typecast");
}

bool TActTestCheckLink::IsCheckedLinked() {
  return TWinControlActionLink::IsCheckedLinked() && check_->Checked() == CustomAction()->Checked();
}

void TActTestCheckLink::SetChecked(bool Value) {
  if (!IsCheckedLinked()) return;
  check_->clicks_disabled_ = true;
  check_->SetChecked(Value);
  check_->clicks_disabled_ = false;
}

// A windowless control that shows the hints the hint action brings (as a status pane does).
class TActTestStatus : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  std::vector<std::string> Shown;
  bool ExecuteAction(TBasicAction* Action) override {
    if (auto* h = dynamic_cast<THintAction*>(Action)) {
      Shown.push_back(h->Hint());
      return true;
    }
    return TGraphicControl::ExecuteAction(Action);
  }
};

class ActionsTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = NewForm(300, 200);
  }
  void TearDown() override {
    form.reset();
    FormsTest::TearDown();
  }
  template <class T>
  T* Add(TWinControl* Parent, TRect R) {
    auto* c = new T(form.get());  // owned by the form
    c->SetBounds(R.Left, R.Top, R.Width(), R.Height());
    c->SetParent(Parent);
    return c;
  }
  std::unique_ptr<TForm> form;
};

TEST_F(ActionsTest, ControlFollowsItsActionWhileItShowsTheActionsValues) {
  auto* action = new TAction(form.get());  // owned by the form
  action->SetCaption("Open");
  action->SetHint("Open|Opens a picture");
  int executed = 0;
  action->SetOnExecute([&](TObject* Sender) {
    ++executed;
    EXPECT_EQ(Sender, action);
  });
  auto* button = Add<TActTestButton>(form.get(), Bounds(10, 10, 80, 24));
  button->SetAction(action);
  EXPECT_EQ(button->Action(), action);
  EXPECT_EQ(button->Caption(), "Open");
  EXPECT_EQ(button->Hint(), "Open|Opens a picture");
  EXPECT_TRUE(button->ControlStyle().Contains(csActionClient));

  action->SetEnabled(false);
  action->SetVisible(false);
  EXPECT_FALSE(button->Enabled());
  EXPECT_FALSE(button->Visible());
  action->SetEnabled(true);
  action->SetVisible(true);

  // A caption of the control's own is not linked, yet the action's change notice brings the
  // action's values back.
  button->SetCaption("Mine");
  EXPECT_FALSE(button->ActionLink()->IsCaptionLinked());
  action->SetCaption("Open...");
  EXPECT_EQ(button->Caption(), "Open...");
  EXPECT_TRUE(button->ActionLink()->IsCaptionLinked());

  // The click runs the action (the control's OnClick is the action's OnExecute)...
  button->PressClick();
  EXPECT_EQ(executed, 1);
  EXPECT_EQ(action->ActionComponent(), nullptr) << "only while it runs";
  // ...unless the control has a click handler of its own.
  int own = 0;
  button->SetOnClick([&](TObject*) { ++own; });
  button->PressClick();
  EXPECT_EQ(executed, 1);
  EXPECT_EQ(own, 1);

  // A disabled action runs nothing.
  button->SetOnClick(action->OnExecute());
  action->SetEnabled(false);
  button->PressClick();
  EXPECT_EQ(executed, 1);

  // Freeing the action leaves the control without one.
  delete action;
  EXPECT_EQ(button->Action(), nullptr);
  EXPECT_FALSE(button->ControlStyle().Contains(csActionClient));
}

TEST_F(ActionsTest, LinkClassesCheckedStateAndClientTypes) {
  auto* action = new TAction(form.get());  // owned by the form
  auto* check = Add<TActTestCheck>(form.get(), Bounds(10, 10, 80, 20));
  check->SetAction(action);
  ASSERT_NE(dynamic_cast<TActTestCheckLink*>(check->ActionLink()), nullptr);
  action->SetChecked(true);
  EXPECT_TRUE(check->Checked());
  EXPECT_EQ(check->Clicks, 0) << "the action's state arrives through the link, without a click";
  action->SetChecked(false);
  EXPECT_FALSE(check->Checked());
  EXPECT_EQ(check->Clicks, 0);

  // A link for windows refuses a windowless client; a plain link refuses what is no control.
  auto* spot = Add<TActTestStatus>(form.get(), Bounds(0, 0, 10, 10));
  TWinControlActionLink winLink;
  EXPECT_EQ(MessageOf<EInvalidCast>([&] { winLink.AssignClient(spot); }), "Invalid class typecast");
  TControlActionLink link;
  EXPECT_EQ(MessageOf<EInvalidCast>([&] { link.AssignClient(action); }), "Invalid class typecast");
  TActTestCheckLink checkLink;
  EXPECT_EQ(MessageOf<EInvalidCast>([&] { checkLink.AssignClient(form.get()); }), "Invalid class typecast");
}

TEST_F(ActionsTest, UpdatesExecutionOrderAndAutoCheck) {
  auto* list = new TActionList(form.get());  // owned by the form
  auto* action = new TAction(form.get());    // owned by the form
  action->SetActionList(list);
  EXPECT_EQ(list->ActionCount(), 1);
  std::vector<std::string> log;
  action->SetOnExecute([&](TObject*) { log.push_back("action"); });
  bool listHandles = true;
  list->SetOnExecute([&](TBasicAction* a, bool& Handled) {
    EXPECT_EQ(a, action);
    log.push_back("list");
    Handled = listHandles;
  });
  EXPECT_TRUE(action->Execute());
  listHandles = false;
  EXPECT_TRUE(action->Execute());
  EXPECT_EQ(log, (std::vector<std::string>{"list", "list", "action"}));

  // The application lets the actions of visible controls update themselves at idle time.
  int updates = 0;
  action->SetOnUpdate([&](TObject*) { ++updates; });
  auto* button = Add<TActTestButton>(form.get(), Bounds(10, 10, 80, 24));
  button->SetAction(action);
  Application()->Idle();
  EXPECT_EQ(updates, 1);

  // Without any handler the update disables the action (and its control); with AutoCheck the
  // run turns the checked state over.
  auto* bare = new TAction(form.get());  // owned by the form
  button->SetAction(bare);
  Application()->Idle();
  EXPECT_FALSE(bare->Enabled());
  EXPECT_FALSE(button->Enabled());
  bare->SetOnExecute([](TObject*) {});
  bare->SetEnabled(true);
  EXPECT_TRUE(button->Enabled());
  bare->SetAutoCheck(true);
  EXPECT_TRUE(bare->Execute());
  EXPECT_TRUE(bare->Enabled()) << "an update never enables";
  EXPECT_TRUE(bare->Checked());

  delete list;
  EXPECT_EQ(action->ActionList(), nullptr);
}

TEST_F(ActionsTest, TheApplicationsHintReachesTheControlThatShowsHints) {
  auto* panel = Add<TActTestButton>(form.get(), Bounds(0, 150, 300, 50));
  auto* status = Add<TActTestStatus>(panel, Bounds(0, 0, 300, 50));
  auto* fit = Add<TActTestButton>(form.get(), Bounds(10, 10, 60, 30));
  fit->SetHint("Fit|Fits the picture");
  MouseMove(fit, 5, 5);
  EXPECT_EQ(Application()->Hint(), "Fits the picture");
  MouseMove(form.get(), 200, 60);
  EXPECT_EQ(Application()->Hint(), "");
  EXPECT_EQ(status->Shown, (std::vector<std::string>{"Fits the picture", ""}));

  // With an OnHint handler the application leaves the controls alone.
  int hints = 0;
  Application()->SetOnHint([&](TObject*) { ++hints; });
  MouseMove(fit, 6, 6);
  Application()->SetOnHint(nullptr);
  EXPECT_EQ(hints, 1);
  EXPECT_EQ(status->Shown.size(), 2u);
  MouseMove(form.get(), 200, 60);
}

TEST_F(ActionsTest, StoredFormLinksActionsAndKeepsTheControlsOwnValues) {
  RegisterClass(TActTestButton::StaticClass());
  auto loaded = std::make_unique<TForm>(nullptr);
  LoadFormFromText(loaded.get(),
                   "object F: TForm\n"
                   "  object B: TActTestButton\n"
                   "    Action = Zoom\n"
                   "    Caption = 'Own'\n"
                   "  end\n"
                   "  object List: TActionList\n"
                   "    object Zoom: TAction\n"
                   "      Caption = 'Zoom'\n"
                   "      Hint = 'Zoom|Zooms in'\n"
                   "    end\n"
                   "  end\n"
                   "end\n");
  auto* b = dynamic_cast<TActTestButton*>(loaded->FindComponent("B"));
  auto* zoom = dynamic_cast<TAction*>(loaded->FindComponent("Zoom"));
  ASSERT_TRUE(b && zoom);
  EXPECT_EQ(zoom->ActionList(), loaded->FindComponent("List"));
  EXPECT_EQ(b->Action(), zoom);
  EXPECT_EQ(b->Caption(), "Own");
  EXPECT_EQ(b->Hint(), "Zoom|Zooms in");
  UnRegisterClass(TActTestButton::StaticClass());
}

}  // namespace

PX_CLASS_INFO(TActTestButton, TCustomControl)
