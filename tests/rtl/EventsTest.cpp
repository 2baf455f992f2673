#include <gtest/gtest.h>

#include "platform/rtl/Events.h"
#include "platform/rtl/System.h"

namespace {

class TTarget : public TObject {
 public:
  void Click(TObject*) { ++clicks; }
  void Other(TObject*) { ++others; }
  void Peek(TObject*) const { ++peeks; }
  int clicks = 0;
  int others = 0;
  mutable int peeks = 0;
};

// A second base in front, so that a TTarget* and a TMixed* point to different addresses.
struct TPadding {
  virtual ~TPadding() = default;
  int pad = 0;
};
class TMixed : public TPadding, public TTarget {};

PX_EVENT_TYPE(TCountEvent, void(TObject* Sender, int& Count));

}  // namespace

TEST(EventHandler, MethodIdentity) {
  TTarget a, b;
  struct Case {
    const char* what;
    TNotifyEvent x, y;
    bool equal;
  } cases[] = {
      {"same method, same object", TNotifyEvent(&a, &TTarget::Click), TNotifyEvent(&a, &TTarget::Click), true},
      {"other object", TNotifyEvent(&a, &TTarget::Click), TNotifyEvent(&b, &TTarget::Click), false},
      {"other method", TNotifyEvent(&a, &TTarget::Click), TNotifyEvent(&a, &TTarget::Other), false},
      {"const method", TNotifyEvent(&a, &TTarget::Peek), TNotifyEvent(&a, &TTarget::Peek), true},
      {"empty and empty", TNotifyEvent(), TNotifyEvent(nullptr), true},
      {"empty and method", TNotifyEvent(), TNotifyEvent(&a, &TTarget::Click), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.x == c.y, c.equal) << c.what;
    EXPECT_EQ(c.y == c.x, c.equal) << c.what;
  }
}

TEST(EventHandler, LambdasAreUniqueButCopiesKeepTheirIdentity) {
  auto fn = [](TObject*) {};
  TNotifyEvent x = fn, y = fn;
  EXPECT_FALSE(x == y);
  TNotifyEvent copy = x;
  EXPECT_TRUE(copy == x);
  TEventHandler<void(TObject*)> base = x;  // to the plain handler type and back
  EXPECT_TRUE(TNotifyEvent(base) == x);
}

TEST(EventHandler, EmptyComparesToNullptrAndIsFalse) {
  TNotifyEvent e;
  EXPECT_TRUE(e == nullptr);
  EXPECT_FALSE(e);
  TTarget t;
  e = TNotifyEvent(&t, &TTarget::Click);
  EXPECT_FALSE(e == nullptr);
  if (e) e(nullptr);
  EXPECT_EQ(t.clicks, 1);
  e = nullptr;
  EXPECT_TRUE(e == nullptr);
}

TEST(EventHandler, IdentityIsTheWholeObjectWhateverPointerBoundIt) {
  TMixed m;
  TTarget* asBase = &m;
  ASSERT_NE(static_cast<void*>(asBase), static_cast<void*>(&m));
  TNotifyEvent viaDerived(&m, &TTarget::Click), viaBase(asBase, &TTarget::Click);
  EXPECT_TRUE(viaDerived == viaBase);
  EXPECT_TRUE(viaBase.IsMethodOf(&m));
  viaBase(nullptr);
  EXPECT_EQ(m.clicks, 1);
}

TEST(EventHandler, ReferenceParametersReachTheHandler) {
  TCountEvent e = [](TObject*, int& count) { count += 2; };
  int count = 1;
  e(nullptr, count);
  EXPECT_EQ(count, 3);
  EXPECT_STREQ(TCountEvent::TypeName, "TCountEvent");
}
