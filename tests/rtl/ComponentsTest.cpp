#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes_components.h"
#include "platform/rtl/TypInfo.h"

namespace {

// A component that writes what happens to it into a shared log, by name.
class TLogged : public TComponent {
  PX_CLASS(TLogged)
 public:
  explicit TLogged(TComponent* AOwner, std::vector<std::string>* Log = nullptr, const char* Id = "")
      : TComponent(AOwner), log_(Log) {
    SetName(Id);
  }
  ~TLogged() override {
    if (!log_) return;
    log_->push_back("~" + Name() + (Owner() ? " owned" : " free") +
                    (ComponentState().Contains(csDestroying) ? " destroying" : ""));
  }
  void Notification(TComponent* AComponent, TOperation Operation) override {
    if (log_ && AComponent) log_->push_back(Name() + (Operation == opInsert ? " +" : " -") + AComponent->Name());
    TComponent::Notification(AComponent, Operation);
  }

 private:
  std::vector<std::string>* log_;
};

// Forgets the inherited Notification: removal must still terminate.
class TRude : public TComponent {
 public:
  using TComponent::TComponent;
  void Notification(TComponent*, TOperation) override { ++calls; }
  int calls = 0;
};

class TAbstractPart : public TComponent {
  PX_CLASS(TAbstractPart)
 public:
  using TComponent::TComponent;
  virtual void Run() = 0;
};

class TPlain : public TPersistent {
  PX_CLASS(TPlain)
};

// Assigns from TSource through AssignTo, as sources that know their targets do.
class TSink : public TPersistent {
  PX_CLASS(TSink)
 public:
  int value = 0;
};
class TSource : public TPersistent {
  PX_CLASS(TSource)
 public:
  int value = 7;

 protected:
  void AssignTo(TPersistent* Dest) override {
    if (auto* sink = dynamic_cast<TSink*>(Dest)) sink->value = value;
    else TPersistent::AssignTo(Dest);
  }
};

}  // namespace

PX_CLASS_INFO(TLogged, TComponent)
PX_CLASS_INFO(TAbstractPart, TComponent)
PX_CLASS_INFO(TPlain, TPersistent)
PX_CLASS_INFO(TSink, TPersistent)
PX_CLASS_INFO(TSource, TPersistent)

TEST(Object, ClassNamesAndClassReferences) {
  TLogged c(nullptr);
  EXPECT_EQ(c.ClassName(), "TLogged");
  EXPECT_EQ(c.ClassType(), TLogged::StaticClass());
  EXPECT_STREQ(c.ClassType()->Name, "TLogged");
  EXPECT_EQ(c.ClassType()->Parent, TComponent::StaticClass());
  EXPECT_TRUE(c.InheritsFrom(TPersistent::StaticClass()));
  EXPECT_TRUE(c.InheritsFrom(TObject::StaticClass()));
  EXPECT_FALSE(c.InheritsFrom(TPlain::StaticClass()));
  TPlain p;
  EXPECT_FALSE(p.InheritsFrom(TComponent::StaticClass()));
}

TEST(Persistent, AssignGoesThroughAssignToOrIsRefused) {
  TSource source;
  TSink sink;
  sink.Assign(&source);
  EXPECT_EQ(sink.value, 7);

  TPlain plain;
  struct Case {
    TPersistent* dest;
    TPersistent* src;
    const char* message;
  } cases[] = {
      {&plain, &source, "Cannot assign a TSource to a TPlain"},
      {&source, &sink, "Cannot assign a TSink to a TSource"},
      {&sink, nullptr, "Cannot assign a nil to a TSink"},
  };
  for (const Case& c : cases) {
    try {
      c.dest->Assign(c.src);
      ADD_FAILURE() << "no exception for: " << c.message;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(Component, OwnerFreesItsComponentsLastFirstAfterTellingFreeNotified) {
  std::vector<std::string> log;
  auto outsider = std::make_unique<TLogged>(nullptr, &log, "outsider");
  {
    auto owner = std::make_unique<TLogged>(nullptr, &log, "owner");
    new TLogged(owner.get(), &log, "a");
    auto* b = new TLogged(owner.get(), &log, "b");
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(b->Owner(), owner.get());
    owner->FreeNotification(outsider.get());
    log.clear();
    owner.reset();
  }
  // The free-notified outsider learns first; then the children go last first, each taken out
  // of the list before it is deleted (no owner in its destructor) and marked csDestroying.
  EXPECT_EQ(log, (std::vector<std::string>{"~owner free", "outsider -owner", "~b free destroying",
                                           "~a free destroying"}));
  EXPECT_FALSE(outsider->ComponentState().Contains(csFreeNotification));
}

TEST(Component, ChildDestroyedAloneLeavesItsOwnerAndNotifiesSiblings) {
  std::vector<std::string> log;
  auto owner = std::make_unique<TLogged>(nullptr, &log, "owner");
  auto* a = new TLogged(owner.get(), &log, "a");
  auto* b = new TLogged(owner.get(), &log, "b");
  // opInsert reaches the owner and its complete components; the newcomer is not named yet.
  EXPECT_EQ(log, (std::vector<std::string>{"owner +", "owner +", "a +"}));
  log.clear();
  delete a;  // the only other way to free an owned component
  EXPECT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(owner->Components(0), b);
  EXPECT_EQ(log, (std::vector<std::string>{"~a owned", "owner -a", "b -a"}));
}

TEST(Component, NamesAreValidatedAndUniqueAmongTheOwnersComponents) {
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* a = new TComponent(owner.get());
  auto* b = new TComponent(owner.get());
  a->SetName("Button1");
  struct Case {
    const char* name;
    const char* error;  // nullptr: accepted
  } cases[] = {
      {"Button2", nullptr},
      {"_x9", nullptr},
      {"", nullptr},
      {"9lives", "'9lives' is not a valid component name"},
      {"has space", "'has space' is not a valid component name"},
      {"Dot.ted", "'Dot.ted' is not a valid component name"},
      {"Button1", "A component named Button1 already exists"},
      {"BUTTON1", "A component named BUTTON1 already exists"},
  };
  for (const Case& c : cases) {
    b->SetName("Start");
    try {
      b->SetName(c.name);
      EXPECT_EQ(c.error, nullptr) << c.name;
      EXPECT_EQ(b->Name(), c.name);
    } catch (const EComponentError& e) {
      ASSERT_NE(c.error, nullptr) << c.name;
      EXPECT_EQ(e.Message(), c.error);
      EXPECT_EQ(b->Name(), "Start");
    }
  }
  a->SetName("BUTTON1");  // its own name in another case
  EXPECT_EQ(a->Name(), "BUTTON1");
  b->SetName("");
  a->SetName("");  // empty names may repeat
  EXPECT_EQ(owner->FindComponent(""), nullptr);
}

TEST(Component, FindComponentIgnoresCaseAndIndexesAreChecked) {
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* a = new TComponent(owner.get());
  auto* b = new TComponent(owner.get());
  auto* c = new TComponent(owner.get());
  a->SetName("OpenDialog");
  b->SetName("SaveDialog");
  EXPECT_EQ(owner->FindComponent("savedialog"), b);
  EXPECT_EQ(owner->FindComponent("OPENDIALOG"), a);
  EXPECT_EQ(owner->FindComponent("Missing"), nullptr);
  EXPECT_EQ(c->ComponentIndex(), 2);
  c->SetComponentIndex(-5);
  EXPECT_EQ(owner->Components(0), c);
  EXPECT_EQ(a->ComponentIndex(), 1);
  a->SetComponentIndex(99);
  EXPECT_EQ(owner->Components(2), a);
  EXPECT_EQ(owner->ComponentIndex(), -1);
  try {
    owner->Components(3);
    ADD_FAILURE();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (3)");
  }
  EXPECT_THROW(owner->Components(-1), EListError);
}

TEST(Component, InsertComponentMovesOwnershipUnlessTheNameIsTaken) {
  auto first = std::make_unique<TComponent>(nullptr);
  auto second = std::make_unique<TComponent>(nullptr);
  auto* x = new TComponent(first.get());
  x->SetName("Shared");
  second->InsertComponent(x);
  EXPECT_EQ(x->Owner(), second.get());
  EXPECT_EQ(first->ComponentCount(), 0);
  EXPECT_EQ(second->ComponentCount(), 1);

  auto* y = new TComponent(first.get());
  y->SetName("shared");
  EXPECT_THROW(second->InsertComponent(y), EComponentError);
  // Refused before anything changed: still owned (and freed) by the first owner.
  EXPECT_EQ(y->Owner(), first.get());
  EXPECT_EQ(first->ComponentCount(), 1);

  second->RemoveComponent(x);
  EXPECT_EQ(x->Owner(), nullptr);
  std::unique_ptr<TComponent> adopted(x);  // the caller owns a removed component
  first->RemoveComponent(x);                // not its owner: nothing happens
  EXPECT_EQ(first->ComponentCount(), 1);
}

TEST(Component, FreeNotificationWorksBothWaysAndCanBeWithdrawn) {
  std::vector<std::string> log;
  auto a = std::make_unique<TLogged>(nullptr, &log, "a");
  auto b = std::make_unique<TLogged>(nullptr, &log, "b");
  auto c = std::make_unique<TLogged>(nullptr, &log, "c");
  a->FreeNotification(b.get());
  a->FreeNotification(c.get());
  EXPECT_TRUE(a->ComponentState().Contains(csFreeNotification));
  EXPECT_TRUE(b->ComponentState().Contains(csFreeNotification));
  a->RemoveFreeNotification(c.get());
  EXPECT_FALSE(c->ComponentState().Contains(csFreeNotification));

  b.reset();  // a hears of b's end (both directions were registered)
  EXPECT_EQ(log, (std::vector<std::string>{"~b free", "a -b"}));
  EXPECT_FALSE(a->ComponentState().Contains(csFreeNotification));
  log.clear();
  a.reset();
  EXPECT_EQ(log, (std::vector<std::string>{"~a free"}));  // c was withdrawn
}

TEST(Component, FreeNotificationEndsEvenWhenTheOverrideSkipsTheBase) {
  auto rude = std::make_unique<TRude>(nullptr);
  auto other = std::make_unique<TComponent>(nullptr);
  rude->FreeNotification(other.get());
  other.reset();
  EXPECT_EQ(rude->calls, 1);
  EXPECT_FALSE(rude->ComponentState().Contains(csFreeNotification));
}

TEST(Component, StatesAndStyles) {
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* child = new TComponent(owner.get());
  EXPECT_TRUE(owner->ComponentState().Empty());
  EXPECT_EQ(owner->ComponentStyle(), TComponentStyle{csInheritable});

  owner->SetComponentState(csLoading, true);
  owner->SetComponentState(csReading, true);
  owner->Loaded();
  EXPECT_EQ(owner->ComponentState(), TComponentState{csReading});
  EXPECT_THROW(owner->SetComponentState(csDestroying, true), EInvalidOperation);

  owner->SetDesigning(true);
  EXPECT_TRUE(child->ComponentState().Contains(csDesigning));
  auto* late = new TComponent(owner.get());  // inserted into a designing owner
  EXPECT_TRUE(late->ComponentState().Contains(csDesigning));

  child->SetSubComponent(true);
  EXPECT_TRUE(child->ComponentStyle().Contains(csSubComponent));
  child->SetSubComponent(false);
  EXPECT_FALSE(child->ComponentStyle().Contains(csSubComponent));

  owner->Destroying();
  EXPECT_TRUE(child->ComponentState().Contains(csDestroying));
  owner->DestroyComponents();
  EXPECT_EQ(owner->ComponentCount(), 0);
}

TEST(ClassRegistry, FindsClassesByNameAndCreatesThemWithAnOwner) {
  RegisterClass(TLogged::StaticClass());
  RegisterClass(TLogged::StaticClass());  // again: nothing happens
  EXPECT_EQ(FindClass("tlogged"), TLogged::StaticClass());
  EXPECT_EQ(GetClass("TNowhere"), nullptr);
  try {
    FindClass("TNowhere");
    ADD_FAILURE();
  } catch (const EClassNotFound& e) {
    EXPECT_EQ(e.Message(), "Class TNowhere not found");
  }

  auto owner = std::make_unique<TComponent>(nullptr);
  TComponent* made = FindClass("TLogged")->Create(owner.get());
  EXPECT_EQ(made->ClassName(), "TLogged");
  EXPECT_EQ(made->Owner(), owner.get());
  SetStrProp(made, "Name", "Made");
  EXPECT_EQ(owner->FindComponent("made"), made);

  std::unique_ptr<TComponent> free = TComponent::StaticClass()->CreateUnowned();
  EXPECT_EQ(free->Owner(), nullptr);

  EXPECT_FALSE(TAbstractPart::StaticClass()->CanCreate());
  EXPECT_FALSE(TPlain::StaticClass()->CanCreate());
  EXPECT_THROW(TAbstractPart::StaticClass()->Create(owner.get()), EComponentError);
  EXPECT_THROW(TLogged::StaticClass()->Create(nullptr), EComponentError);
  UnRegisterClass(TLogged::StaticClass());
  EXPECT_EQ(GetClass("TLogged"), nullptr);
}
