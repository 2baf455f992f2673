// Events: a method-pointer-like handler holding a callable plus an identity, so that two
// handlers compare equal when they are the same method of the same object (as method
// pointers do), and "is this handler the component's own" can be answered.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <type_traits>
#include <utility>

class TObject;

namespace px_detail {
inline uintptr_t NextEventIdentity() {
  static std::atomic<uintptr_t> next{1};
  return next.fetch_add(1);
}
}  // namespace px_detail

template <class Sig>
class TEventHandler;

template <class R, class... A>
class TEventHandler<R(A...)> {
 public:
  using Signature = R(A...);

  TEventHandler() = default;
  TEventHandler(std::nullptr_t) {}

  // A method of an object: Handler(obj, &TClass::Method). The identity is the object (its
  // most derived address, so base and derived pointers agree) and the method.
  template <class C, class M>
    requires std::is_base_of_v<M, C>
  TEventHandler(C* obj, R (M::*method)(A...)) : data_(ObjectAddress(obj)) {
    SetCode(method);
    M* target = obj;
    fn_ = [target, method](A... a) -> R { return (target->*method)(std::forward<A>(a)...); };
  }
  template <class C, class M>
    requires std::is_base_of_v<M, C>
  TEventHandler(C* obj, R (M::*method)(A...) const) : data_(ObjectAddress(obj)) {
    SetCode(method);
    const M* target = obj;
    fn_ = [target, method](A... a) -> R { return (target->*method)(std::forward<A>(a)...); };
  }

  // Any callable; each construction gets its own identity (copies share it).
  template <class F>
    requires(std::is_invocable_r_v<R, F&, A...> && !std::is_base_of_v<TEventHandler, std::decay_t<F>> &&
             !std::is_same_v<std::decay_t<F>, std::nullptr_t>)
  TEventHandler(F f) : fn_(std::move(f)) {
    uintptr_t id = px_detail::NextEventIdentity();
    std::memcpy(code_, &id, sizeof id);
  }
  // A callable with an identity chosen by the caller (object and code).
  template <class F>
  TEventHandler(const void* data, uintptr_t code, F f) : fn_(std::move(f)), data_(data) {
    std::memcpy(code_, &code, sizeof code);
  }

  explicit operator bool() const { return static_cast<bool>(fn_); }
  R operator()(A... a) const { return fn_(std::forward<A>(a)...); }

  // The object the handler belongs to (nullptr for free callables).
  const void* Data() const { return data_; }
  bool IsMethodOf(const void* obj) const { return fn_ && data_ == obj; }

  friend bool operator==(const TEventHandler& a, const TEventHandler& b) {
    if (!a.fn_ || !b.fn_) return !a.fn_ && !b.fn_;
    return a.data_ == b.data_ && std::memcmp(a.code_, b.code_, sizeof a.code_) == 0;
  }
  friend bool operator==(const TEventHandler& a, std::nullptr_t) { return !a.fn_; }

 private:
  template <class C>
  static const void* ObjectAddress(C* obj) {
    if constexpr (std::is_polymorphic_v<C>) return obj ? dynamic_cast<const void*>(obj) : nullptr;
    else return obj;
  }
  template <class P>
  void SetCode(P method) {
    static_assert(sizeof(method) <= sizeof(code_));
    std::memcpy(code_, &method, sizeof(method));
  }

  std::function<R(A...)> fn_;
  const void* data_ = nullptr;
  unsigned char code_[16] = {};
};

// Declares a named event type: a TEventHandler of the given signature whose name is known to
// the published-property table ("TNotifyEvent"). Handlers of equal signature convert freely.
#define PX_EVENT_TYPE(Name, ...)                                                      \
  struct Name : TEventHandler<__VA_ARGS__> {                                          \
    using TEventHandler<__VA_ARGS__>::TEventHandler;                                  \
    Name() = default;                                                                 \
    Name(const TEventHandler<__VA_ARGS__>& h) : TEventHandler<__VA_ARGS__>(h) {}      \
    static constexpr const char* TypeName = #Name;                                    \
  }

PX_EVENT_TYPE(TNotifyEvent, void(TObject* Sender));
