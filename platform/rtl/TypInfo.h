// Class descriptions and published properties.
//
// A TClassInfo is the class reference behind TObject::ClassType: name, parent, a factory for
// components (a class reference can create an instance with an owner, as a virtual constructor
// does) and the published properties and methods that the form loader, the language files and
// the frame controller address by name.
//
// Registration is explicit and lazy. A header declares PX_CLASS(TFoo); the .cpp defines
//
//   PX_CLASS_INFO(TFoo, TParent)                        // no published members, or
//   PX_CLASS_INFO(TFoo, TParent, [](TPropertyBuilder<TFoo>& b) {
//     b.Int("Width", &TFoo::Width, &TFoo::SetWidth).Default(100);
//     b.Enum("Align", TypeInfo_TAlign(), &TFoo::Align, &TFoo::SetAlign);
//     b.Bool("Visible", &TFoo::Visible, &TFoo::SetVisible).Default(true);
//     b.Set("Options", TypeInfo_TFooOptions(), &TFoo::Options, &TFoo::SetOptions);
//     b.Str("Caption", &TFoo::Caption, &TFoo::SetCaption);
//     b.Float("Ratio", &TFoo::Ratio, &TFoo::SetRatio);
//     b.Object<TStrings>("Lines", &TFoo::Lines);         // no setter: set through Assign
//     b.Object<TComponent>("Buddy", &TFoo::Buddy, &TFoo::SetBuddy);
//     b.Event("OnClick", &TFoo::OnClick, &TFoo::SetOnClick);
//     b.Method("ButtonClick", &TFoo::ButtonClick);     // published method, bound by name
//     b.DefineBinaryProperty("Data", &TFoo::ReadData, &TFoo::WriteData, &TFoo::HasData);
//     b.DefineProperty("OldFlag", &TFoo::ReadOldFlag);  // a value only older descriptions hold
//     b.DefineIntegerProperty("Extent", &TFoo::ReadExtent, &TFoo::Extent);  // stored, not published
//   })
//
// The description is made on the first call of StaticClass(); the property table when it is
// first consulted. Nothing runs at static initialisation.
//
// Errors: GetPropInfo answers nullptr for a property that does not exist; every accessor that
// takes a property name raises EPropertyError "Unknown property: %s" instead. Using an accessor of
// the wrong kind, or writing a read-only property, raises EPropertyError; an ordinal value outside
// the property type's range raises ERangeError; an unknown enumeration or set element name raises
// EPropertyConvertError "Invalid property element: %s".
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "platform/rtl/Classes_persistent.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "platform/rtl/Types.h"

class TComponent;
class TReader;  // the form reader's value cursor (platform/forms/FormLoader.h)
class TStream;

// ---------------------------------------------------------------------------------------------
// Type descriptions.

enum class TTypeKind : uint8_t {
  tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod, tkInt64
};
using enum TTypeKind;

struct TTypeInfo;
using PTypeInfo = const TTypeInfo*;

struct TTypeInfo {
  TTypeKind Kind = tkUnknown;
  std::string Name;                    // "Integer", "Boolean", "TAlign", "TFontStyles"...
  int64_t MinValue = 0;                // ordinal kinds
  int64_t MaxValue = 0;
  std::vector<std::string> EnumNames;  // tkEnumeration: the names of the values MinValue..MaxValue
  PTypeInfo CompType = nullptr;        // tkSet: the element enumeration
  TClass ClassType = nullptr;          // tkClass

  // Makers for function-local statics, e.g.
  //   PTypeInfo TypeInfo_TAlign() {
  //     static const TTypeInfo info = TTypeInfo::Enumeration("TAlign", {"alNone", "alTop"});
  //     return &info;
  //   }
  static TTypeInfo Ordinal(TTypeKind kind, std::string name, int64_t minValue, int64_t maxValue);
  static TTypeInfo Enumeration(std::string name, std::initializer_list<const char*> names);
  // A set of the values of an enumeration (at most 64 values).
  static TTypeInfo Set(std::string name, PTypeInfo elements);
  static TTypeInfo Float(std::string name);
  static TTypeInfo String(std::string name);
  static TTypeInfo Method(std::string name);
};

PTypeInfo TypeInfo_Integer();   // tkInteger, 32-bit signed
PTypeInfo TypeInfo_Cardinal();  // tkInteger, 32-bit unsigned
PTypeInfo TypeInfo_Byte();
PTypeInfo TypeInfo_Word();
PTypeInfo TypeInfo_NativeInt(); // tkInteger with the range of intptr_t
PTypeInfo TypeInfo_Int64();     // tkInt64
PTypeInfo TypeInfo_Boolean();   // tkEnumeration False, True
PTypeInfo TypeInfo_Char();      // tkChar
PTypeInfo TypeInfo_String();    // tkString "string"
PTypeInfo TypeInfo_Single();
PTypeInfo TypeInfo_Double();
PTypeInfo TypeInfo_Extended();
PTypeInfo TypeInfo_TDateTime();
PTypeInfo TypeInfo_TColor();    // tkInteger "TColor"

// The name of an enumeration value; "" for an ordinal outside the type. For integer types, the
// number as text.
std::string GetEnumName(PTypeInfo TypeInfo, int64_t Value);
// The ordinal of a value name, ignoring ASCII case; -1 when the name is unknown.
int64_t GetEnumValue(PTypeInfo TypeInfo, std::string_view Name);
// A set (of a tkSet type or its element enumeration) as text: "[a,b]", or "a,b" without brackets.
std::string SetToString(PTypeInfo TypeInfo, uint64_t Value, bool Brackets = true);
// "[a, b]" to a set; brackets are optional and blanks ignored. An unknown or empty element
// raises EPropertyConvertError "Invalid property element: %s".
uint64_t StringToSet(PTypeInfo TypeInfo, std::string_view Value);

// ---------------------------------------------------------------------------------------------
// Type-erased event handler: the value of a method property.

class TMethod {
 public:
  TMethod() = default;
  template <class Sig>
  TMethod(const TEventHandler<Sig>& h) : data_(h.Data()) {
    if (!h) return;
    handler_ = h;
    same_ = [](const std::any& a, const std::any& b) {
      const auto* x = std::any_cast<TEventHandler<Sig>>(&a);
      const auto* y = std::any_cast<TEventHandler<Sig>>(&b);
      return x && y && *x == *y;
    };
  }

  explicit operator bool() const { return handler_.has_value(); }
  // The object the handler is bound to (nullptr for free callables).
  const void* Data() const { return data_; }
  // The handler with signature Sig: empty for an empty method, EPropertyConvertError when the
  // signatures differ.
  template <class Sig>
  TEventHandler<Sig> As() const {
    if (!handler_.has_value()) return {};
    if (const auto* h = std::any_cast<TEventHandler<Sig>>(&handler_)) return *h;
    throw EPropertyConvertError("Incompatible method signature");
  }
  // The same handler (the same method of the same object), as method pointers compare; two
  // empty methods are equal.
  friend bool operator==(const TMethod& a, const TMethod& b) {
    if (!a.same_ || !b.same_) return !a.same_ && !b.same_;
    return a.same_(a.handler_, b.handler_);
  }

 private:
  std::any handler_;
  const void* data_ = nullptr;
  bool (*same_)(const std::any&, const std::any&) = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Property and class descriptions.

struct TPropInfo {
  std::string Name;
  PTypeInfo PropType = nullptr;
  TClass Declarer = nullptr;       // the class that registered (or redeclared) it
  std::optional<int64_t> Default;  // ordinal default; none when the value is always stored

  // Accessors of the property's kind; an empty setter marks a read-only property.
  std::function<int64_t(TObject*)> GetOrd;
  std::function<void(TObject*, int64_t)> SetOrd;
  std::function<long double(TObject*)> GetFloat;
  std::function<void(TObject*, long double)> SetFloat;
  std::function<std::string(TObject*)> GetStr;
  std::function<void(TObject*, const std::string&)> SetStr;
  std::function<TObject*(TObject*)> GetObj;
  std::function<void(TObject*, TObject*)> SetObj;
  std::function<TMethod(TObject*)> GetMethod;
  std::function<void(TObject*, const TMethod&)> SetMethod;
  std::function<bool(TObject*)> Stored;  // empty: always stored

  TTypeKind Kind() const { return PropType ? PropType->Kind : tkUnknown; }
};
using PPropInfo = const TPropInfo*;

// A published method: binds the method to an instance as an event handler.
struct TPublishedMethod {
  std::string Name;
  std::function<TMethod(TObject* Instance)> Bind;
};

// A property that is not published but stored in form descriptions through its own reader and
// writer, as DefineProperties gives them: binary data (a picture's, written as { hex }), or a
// value that only older descriptions hold and the class still reads.
struct TDefinedProp {
  std::string Name;
  std::function<void(TObject*, TReader&)> Read;        // reads one value of any kind
  std::function<void(TObject*, TStream*)> ReadBinary;  // reads the bytes of a { hex } value
  std::function<void(TObject*, TStream*)> WriteBinary;
  std::function<bool(TObject*)> HasData;               // empty: written whenever WriteBinary is set
  std::function<int64_t(TObject*)> WriteInteger;      // an integer value that is always written
};

// What one class registers itself.
struct TPublishTable {
  TClass Class = nullptr;
  std::vector<std::unique_ptr<TPropInfo>> Props;
  std::vector<TPublishedMethod> Methods;
  std::vector<TDefinedProp> Defined;
};

using TComponentFactory = TComponent* (*)(TComponent* Owner);
using TPublishFn = void (*)(TPublishTable&);

struct TClassInfo {
  TClassInfo(const char* name, TClass parent, TComponentFactory factory = nullptr, TPublishFn publish = nullptr);
  TClassInfo(const TClassInfo&) = delete;
  TClassInfo& operator=(const TClassInfo&) = delete;
  ~TClassInfo();

  const char* Name = "";
  TClass Parent = nullptr;

  bool InheritsFrom(TClass c) const {
    for (TClass p = this; p; p = p->Parent)
      if (p == c) return true;
    return false;
  }
  // The tkClass type description of this class (for properties of this class).
  PTypeInfo TypeInfo() const { return &type_info_; }

  // Published properties, inherited ones included, in declaration order: a parent's first; a
  // redeclared property keeps its parent's place.
  const std::vector<PPropInfo>& Properties() const;
  // Case-insensitive; nullptr when there is none.
  PPropInfo FindProperty(std::string_view name) const;
  // A published method of this class or a parent, case-insensitive; nullptr when there is none.
  const TPublishedMethod* FindMethod(std::string_view name) const;
  // A defined property of this class or a parent (the nearest wins), case-insensitive; nullptr
  // when there is none.
  const TDefinedProp* FindDefinedProperty(std::string_view name) const;
  // All defined properties, a parent's first; one redefined by a descendant appears once.
  std::vector<const TDefinedProp*> DefinedProperties() const;
  // All published methods, this class's first.
  std::vector<const TPublishedMethod*> Methods() const;

  // Components only: creates an instance owned by Owner (which must not be nil), or one the
  // caller owns. EComponentError when the class cannot be created (not a component, abstract,
  // or without a constructor taking the owner). Defined in Classes_components.cpp.
  bool CanCreate() const { return factory_ != nullptr; }
  TComponent* Create(TComponent* Owner) const;
  std::unique_ptr<TComponent> CreateUnowned() const;

 private:
  void Resolve() const;
  // The first entry called name (case-insensitive) in List of this class's table, then of its
  // parents'; nullptr when there is none.
  template <class T>
  const T* FindOwn(std::vector<T> TPublishTable::*List, std::string_view name) const;

  TComponentFactory factory_ = nullptr;
  TPublishFn publish_ = nullptr;
  TTypeInfo type_info_;
  mutable std::once_flag resolved_;
  mutable std::unique_ptr<TPublishTable> own_;
  mutable std::vector<PPropInfo> props_;
  mutable std::unordered_map<std::string, size_t> index_;  // lower-case name -> props_ index
};

// ---------------------------------------------------------------------------------------------
// Lookup and access by name. Instance must not be nil (EPropertyError).

PPropInfo GetPropInfo(const TObject* Instance, std::string_view PropName);
PPropInfo GetPropInfo(TClass AClass, std::string_view PropName);
std::vector<PPropInfo> GetPropList(const TObject* Instance);
std::vector<PPropInfo> GetPropList(TClass AClass);

// Ordinal kinds (integer, char, enumeration, set, int64); sets as their bit masks.
int64_t GetOrdProp(TObject* Instance, PPropInfo PropInfo);
int64_t GetOrdProp(TObject* Instance, std::string_view PropName);
void SetOrdProp(TObject* Instance, PPropInfo PropInfo, int64_t Value);
void SetOrdProp(TObject* Instance, std::string_view PropName, int64_t Value);
int64_t GetInt64Prop(TObject* Instance, PPropInfo PropInfo);
int64_t GetInt64Prop(TObject* Instance, std::string_view PropName);
void SetInt64Prop(TObject* Instance, PPropInfo PropInfo, int64_t Value);
void SetInt64Prop(TObject* Instance, std::string_view PropName, int64_t Value);

long double GetFloatProp(TObject* Instance, PPropInfo PropInfo);
long double GetFloatProp(TObject* Instance, std::string_view PropName);
void SetFloatProp(TObject* Instance, PPropInfo PropInfo, long double Value);
void SetFloatProp(TObject* Instance, std::string_view PropName, long double Value);

std::string GetStrProp(TObject* Instance, PPropInfo PropInfo);
std::string GetStrProp(TObject* Instance, std::string_view PropName);
void SetStrProp(TObject* Instance, PPropInfo PropInfo, const std::string& Value);
void SetStrProp(TObject* Instance, std::string_view PropName, const std::string& Value);

// Enumerations (Boolean included) by value name.
std::string GetEnumProp(TObject* Instance, PPropInfo PropInfo);
std::string GetEnumProp(TObject* Instance, std::string_view PropName);
void SetEnumProp(TObject* Instance, PPropInfo PropInfo, std::string_view Value);
void SetEnumProp(TObject* Instance, std::string_view PropName, std::string_view Value);

// Sets as text, see SetToString/StringToSet.
std::string GetSetProp(TObject* Instance, PPropInfo PropInfo, bool Brackets = true);
std::string GetSetProp(TObject* Instance, std::string_view PropName, bool Brackets = true);
void SetSetProp(TObject* Instance, PPropInfo PropInfo, std::string_view Value);
void SetSetProp(TObject* Instance, std::string_view PropName, std::string_view Value);

// Class properties. A property with a setter stores the reference (EInvalidCast when Value is
// not of the property's class); one without (an owned persistent sub-object such as Lines or
// Font) copies Value into its object through Assign.
TObject* GetObjectProp(TObject* Instance, PPropInfo PropInfo);
TObject* GetObjectProp(TObject* Instance, std::string_view PropName);
void SetObjectProp(TObject* Instance, PPropInfo PropInfo, TObject* Value);
void SetObjectProp(TObject* Instance, std::string_view PropName, TObject* Value);

// Method (event) properties.
TMethod GetMethodProp(TObject* Instance, PPropInfo PropInfo);
TMethod GetMethodProp(TObject* Instance, std::string_view PropName);
void SetMethodProp(TObject* Instance, PPropInfo PropInfo, const TMethod& Value);
void SetMethodProp(TObject* Instance, std::string_view PropName, const TMethod& Value);

// The property's stored specifier (the writer also compares with the default).
bool IsStoredProp(TObject* Instance, PPropInfo PropInfo);
bool IsStoredProp(TObject* Instance, std::string_view PropName);

// A published method of Instance's class (or a parent) bound to Instance; empty when unknown.
TMethod MethodAddress(TObject* Instance, std::string_view MethodName);
// The name of the published method of Instance's class (or a parent) that Method is bound to
// on Instance; "" when it is none of them.
std::string MethodName(TObject* Instance, const TMethod& Method);

// Names for values of an integer type (colours, cursors), as form descriptions store them:
// Color = clBtnFace. A later registration for the same type replaces the earlier one.
using TIdentToInt = bool (*)(std::string_view Ident, int64_t& Int);
using TIntToIdent = bool (*)(int64_t Int, std::string& Ident);
void RegisterIntegerConsts(PTypeInfo IntegerType, TIdentToInt IdentToInt, TIntToIdent IntToIdent);
void UnregisterIntegerConsts(PTypeInfo IntegerType);
// nullptr when the type has no names.
TIdentToInt FindIdentToInt(PTypeInfo IntegerType);
TIntToIdent FindIntToIdent(PTypeInfo IntegerType);

// ---------------------------------------------------------------------------------------------
// The registration builder.

namespace px_detail {

[[noreturn]] void RaiseInvalidCast();
[[noreturn]] void RaiseNoAssignTarget(const std::string& prop);
[[noreturn]] void RaiseUnknownRedeclare(const char* cls, const char* prop);
void CheckOrdRange(PTypeInfo type, int64_t v);

template <class V>
int64_t ToOrd(const V& v) {
  if constexpr (std::is_enum_v<V>) return static_cast<int64_t>(v);
  else if constexpr (std::is_same_v<V, bool>) return v ? 1 : 0;
  else if constexpr (std::is_same_v<V, char>) return static_cast<unsigned char>(v);
  else if constexpr (requires { v.Bits(); }) return static_cast<int64_t>(v.Bits());
  else return static_cast<int64_t>(v);
}
template <class V>
V FromOrd(int64_t v) {
  if constexpr (std::is_same_v<V, bool>) return v != 0;
  else if constexpr (requires { V::FromBits(uint64_t{}); }) return V::FromBits(static_cast<uint64_t>(v));
  else return static_cast<V>(v);
}

template <class C, class G>
using PropValue = std::remove_cvref_t<std::invoke_result_t<G, C*>>;

template <class C, class X, class R, class... A>
TEventHandler<R(A...)> BindMethod(C* c, R (X::*m)(A...)) {
  return TEventHandler<R(A...)>(c, m);
}
template <class C, class X, class R, class... A>
TEventHandler<R(A...)> BindMethod(C* c, R (X::*m)(A...) const) {
  return TEventHandler<R(A...)>(c, m);
}

template <class T>
TComponent* NewComponent(TComponent* Owner) {
  return new T(Owner);  // owned by Owner, or wrapped at once by CreateUnowned
}

template <class Ev>
PTypeInfo EventTypeInfo() {
  static const TTypeInfo info = TTypeInfo::Method(Ev::TypeName);
  return &info;
}

}  // namespace px_detail

// The component factory of T when T is a creatable component; nullptr otherwise.
template <class T>
constexpr TComponentFactory PxComponentFactory() {
  if constexpr (std::is_base_of_v<TComponent, T> && !std::is_abstract_v<T> &&
                std::is_constructible_v<T, TComponent*>)
    return &px_detail::NewComponent<T>;
  else
    return nullptr;
}

template <class C>
class TPropertyBuilder {
 public:
  explicit TPropertyBuilder(TPublishTable& table) : table_(table) {}

  // Chained modifiers of the property just added.
  class TPropRef {
   public:
    explicit TPropRef(TPropInfo& p) : p_(p) {}
    // Ordinal default (integers, enumerations, Boolean, sets, chars).
    template <class V>
    TPropRef& Default(const V& v) { p_.Default = px_detail::ToOrd(v); return *this; }
    TPropRef& NoDefault() { p_.Default.reset(); return *this; }
    TPropRef& Stored(bool stored) {
      if (stored) p_.Stored = nullptr;
      else p_.Stored = [](TObject*) { return false; };
      return *this;
    }
    template <class F>
      requires std::is_member_function_pointer_v<F>
    TPropRef& Stored(F fn) {
      p_.Stored = [fn](TObject* o) { return static_cast<bool>(std::invoke(fn, Target(o))); };
      return *this;
    }
    // A callable taking the object (without this overload a lambda would convert to bool).
    template <class F>
      requires(!std::is_member_function_pointer_v<F> && !std::is_same_v<F, bool> &&
               std::is_invocable_r_v<bool, F&, C*>)
    TPropRef& Stored(F fn) {
      p_.Stored = [fn](TObject* o) mutable { return static_cast<bool>(fn(Target(o))); };
      return *this;
    }

   private:
    TPropInfo& p_;
  };

  // Getters are member functions (or data members); setters member functions (or data
  // members), or nullptr for a read-only property. A data member given as getter without a
  // setter is written directly, as "read FX write FX" does.

  // tkInteger; the type defaults to Integer (NativeInt for 64-bit values, Cardinal for 32-bit
  // unsigned ones).
  template <class G, class S = std::nullptr_t>
  TPropRef Int(const char* name, G get, S set = nullptr, PTypeInfo type = nullptr) {
    using V = px_detail::PropValue<C, G>;
    static_assert(std::is_integral_v<V> && !std::is_same_v<V, bool> && !std::is_same_v<V, char>);
    if (!type) {
      if constexpr (sizeof(V) > 4) type = TypeInfo_NativeInt();
      else if constexpr (std::is_unsigned_v<V> && sizeof(V) == 4) type = TypeInfo_Cardinal();
      else type = TypeInfo_Integer();
    }
    return Ordinal(name, type, get, set);
  }
  template <class G, class S = std::nullptr_t>
  TPropRef Int64(const char* name, G get, S set = nullptr) {
    return Ordinal(name, TypeInfo_Int64(), get, set);
  }
  template <class G, class S = std::nullptr_t>
  TPropRef Char(const char* name, G get, S set = nullptr) {
    static_assert(std::is_same_v<px_detail::PropValue<C, G>, char>);
    return Ordinal(name, TypeInfo_Char(), get, set);
  }
  // tkEnumeration with the given enumeration type.
  template <class G, class S = std::nullptr_t>
  TPropRef Enum(const char* name, PTypeInfo type, G get, S set = nullptr) {
    return Ordinal(name, type, get, set);
  }
  template <class G, class S = std::nullptr_t>
  TPropRef Bool(const char* name, G get, S set = nullptr) {
    static_assert(std::is_same_v<px_detail::PropValue<C, G>, bool>);
    return Ordinal(name, TypeInfo_Boolean(), get, set);
  }
  // tkSet; the value is a TSet of the type's element enumeration.
  template <class G, class S = std::nullptr_t>
  TPropRef Set(const char* name, PTypeInfo type, G get, S set = nullptr) {
    return Ordinal(name, type, get, set);
  }
  // tkFloat; the type defaults from the C++ type (Single, Double, Extended).
  template <class G, class S = std::nullptr_t>
  TPropRef Float(const char* name, G get, S set = nullptr, PTypeInfo type = nullptr) {
    using V = px_detail::PropValue<C, G>;
    static_assert(std::is_floating_point_v<V>);
    if (!type) {
      if constexpr (std::is_same_v<V, float>) type = TypeInfo_Single();
      else if constexpr (std::is_same_v<V, double>) type = TypeInfo_Double();
      else type = TypeInfo_Extended();
    }
    TPropInfo& p = Add(name, type);
    p.GetFloat = [get](TObject* o) -> long double { return std::invoke(get, Target(o)); };
    if constexpr (Writable<G, S>())
      p.SetFloat = [set = SetterOf(get, set)](TObject* o, long double v) { Write(set, Target(o), static_cast<V>(v)); };
    return TPropRef(p);
  }
  // tkString.
  template <class G, class S = std::nullptr_t>
  TPropRef Str(const char* name, G get, S set = nullptr) {
    static_assert(std::is_convertible_v<std::invoke_result_t<G, C*>, std::string>);
    TPropInfo& p = Add(name, TypeInfo_String());
    p.GetStr = [get](TObject* o) -> std::string { return std::invoke(get, Target(o)); };
    if constexpr (Writable<G, S>())
      p.SetStr = [set = SetterOf(get, set)](TObject* o, const std::string& v) { Write(set, Target(o), v); };
    return TPropRef(p);
  }
  // tkClass of class T. Without a setter the property is an owned persistent sub-object and
  // writing it assigns into that object; with a setter, writing stores the reference.
  template <class T, class G, class S = std::nullptr_t>
  TPropRef Object(const char* name, G get, S set = nullptr) {
    static_assert(std::is_convertible_v<std::invoke_result_t<G, C*>, T*>);
    TPropInfo& p = Add(name, T::StaticClass()->TypeInfo());
    p.GetObj = [get](TObject* o) -> TObject* {
      T* v = std::invoke(get, Target(o));
      return v;
    };
    if constexpr (std::is_null_pointer_v<S>) {
      if constexpr (std::is_base_of_v<TPersistent, T>)
        p.SetObj = [get, prop = p.Name](TObject* o, TObject* v) {
          T* target = std::invoke(get, Target(o));
          if (!target) px_detail::RaiseNoAssignTarget(prop);
          TPersistent* source = nullptr;
          if (v && !(source = dynamic_cast<TPersistent*>(v))) px_detail::RaiseInvalidCast();
          static_cast<TPersistent*>(target)->Assign(source);
        };
    } else {
      p.SetObj = [set](TObject* o, TObject* v) {
        T* value = nullptr;
        if (v && !(value = dynamic_cast<T*>(v))) px_detail::RaiseInvalidCast();
        Write(set, Target(o), value);
      };
    }
    return TPropRef(p);
  }
  // tkMethod; the event type is the getter's (declared with PX_EVENT_TYPE) unless given.
  template <class Ev = void, class G, class S = std::nullptr_t>
  TPropRef Event(const char* name, G get, S set = nullptr) {
    using V = std::conditional_t<std::is_void_v<Ev>, px_detail::PropValue<C, G>, Ev>;
    using Sig = typename V::Signature;
    TPropInfo& p = Add(name, px_detail::EventTypeInfo<V>());
    p.GetMethod = [get](TObject* o) -> TMethod {
      const TEventHandler<Sig>& h = std::invoke(get, Target(o));
      return TMethod(h);
    };
    if constexpr (Writable<G, S>())
      p.SetMethod = [set = SetterOf(get, set)](TObject* o, const TMethod& m) {
        Write(set, Target(o), V(m.template As<Sig>()));
      };
    return TPropRef(p);
  }
  // Redeclares a parent's property (to change its default or stored specifier).
  TPropRef Redeclare(const char* name) {
    PPropInfo inherited = table_.Class->Parent ? table_.Class->Parent->FindProperty(name) : nullptr;
    if (!inherited) px_detail::RaiseUnknownRedeclare(table_.Class->Name, name);
    table_.Props.push_back(std::make_unique<TPropInfo>(*inherited));
    table_.Props.back()->Declarer = table_.Class;
    return TPropRef(*table_.Props.back());
  }

  // A published method that event properties can be bound to by name (MethodAddress).
  template <class M>
    requires std::is_member_function_pointer_v<M>
  void Method(const char* name, M method) {
    table_.Methods.push_back({name, [method](TObject* o) -> TMethod {
                                C* c = dynamic_cast<C*>(o);
                                if (!c) return {};
                                return TMethod(px_detail::BindMethod(c, method));
                              }});
  }

  // A defined property whose value Read (void (C::*)(TReader&)) reads and nobody writes.
  template <class R>
    requires std::is_member_function_pointer_v<R>
  void DefineProperty(const char* name, R read) {
    TDefinedProp& d = AddDefined(name);
    d.Read = [read](TObject* o, TReader& r) { std::invoke(read, Target(o), r); };
  }
  // A defined integer property that is always written: Read reads it, Get (an integer getter of
  // C) gives the value to write.
  template <class R, class G>
    requires std::is_member_function_pointer_v<R>
  void DefineIntegerProperty(const char* name, R read, G get) {
    TDefinedProp& d = AddDefined(name);
    d.Read = [read](TObject* o, TReader& r) { std::invoke(read, Target(o), r); };
    d.WriteInteger = [get](TObject* o) -> int64_t { return static_cast<int64_t>(std::invoke(get, Target(o))); };
  }
  // A defined binary property: Read and Write (void (C::*)(TStream*)) transfer its bytes;
  // HasData (bool (C::*)() const) tells whether there is anything to write.
  template <class R, class W = std::nullptr_t, class H = std::nullptr_t>
  void DefineBinaryProperty(const char* name, R read, W write = nullptr, H hasData = nullptr) {
    TDefinedProp& d = AddDefined(name);
    d.ReadBinary = [read](TObject* o, TStream* s) { std::invoke(read, Target(o), s); };
    if constexpr (!std::is_null_pointer_v<W>)
      d.WriteBinary = [write](TObject* o, TStream* s) { std::invoke(write, Target(o), s); };
    if constexpr (!std::is_null_pointer_v<H>)
      d.HasData = [hasData](TObject* o) { return static_cast<bool>(std::invoke(hasData, Target(o))); };
  }

 private:
  static C* Target(TObject* o) {
    C* c = dynamic_cast<C*>(o);
    if (!c) px_detail::RaiseInvalidCast();
    return c;
  }
  template <class G, class S>
  static constexpr bool Writable() {
    return !std::is_null_pointer_v<S> || std::is_member_object_pointer_v<G>;
  }
  template <class G, class S>
  static auto SetterOf(G get, S set) {
    if constexpr (std::is_null_pointer_v<S>) return get;
    else return set;
  }
  template <class S, class V>
  static void Write(S set, C* c, V&& v) {
    if constexpr (std::is_member_object_pointer_v<S>) c->*set = std::forward<V>(v);
    else std::invoke(set, c, std::forward<V>(v));
  }

  template <class G, class S>
  TPropRef Ordinal(const char* name, PTypeInfo type, G get, S set) {
    using V = px_detail::PropValue<C, G>;
    TPropInfo& p = Add(name, type);
    p.GetOrd = [get](TObject* o) -> int64_t { return px_detail::ToOrd<V>(std::invoke(get, Target(o))); };
    if constexpr (Writable<G, S>())
      p.SetOrd = [set = SetterOf(get, set), type](TObject* o, int64_t v) {
        px_detail::CheckOrdRange(type, v);
        Write(set, Target(o), px_detail::FromOrd<V>(v));
      };
    return TPropRef(p);
  }

  TDefinedProp& AddDefined(const char* name) {
    table_.Defined.push_back({});
    table_.Defined.back().Name = name;
    return table_.Defined.back();
  }

  TPropInfo& Add(const char* name, PTypeInfo type) {
    auto p = std::make_unique<TPropInfo>();
    p->Name = name;
    p->PropType = type;
    p->Declarer = table_.Class;
    table_.Props.push_back(std::move(p));
    return *table_.Props.back();
  }

  TPublishTable& table_;
};

// Defines Self::StaticClass() in a .cpp. The optional third argument registers the published
// properties and methods: a callable taking TPropertyBuilder<Self>&.
#define PX_CLASS_INFO(Self, ParentClass, ...)                                                    \
  TClass Self::StaticClass() {                                                                   \
    static const TClassInfo info(#Self, ParentClass::StaticClass(), PxComponentFactory<Self>()   \
                                     __VA_OPT__(, [](TPublishTable& table) {                      \
                                       TPropertyBuilder<Self> builder(table);                     \
                                       (__VA_ARGS__)(builder);                                    \
                                     }));                                                         \
    return &info;                                                                                \
  }
