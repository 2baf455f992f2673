#include "platform/rtl/TypInfo.h"

#include <algorithm>
#include <limits>
#include <mutex>

// ---------------------------------------------------------------------------------------------
// Type descriptions.

namespace {
TTypeInfo Named(TTypeKind kind, std::string name) {
  TTypeInfo t;
  t.Kind = kind;
  t.Name = std::move(name);
  return t;
}
}  // namespace

TTypeInfo TTypeInfo::Ordinal(TTypeKind kind, std::string name, int64_t minValue, int64_t maxValue) {
  TTypeInfo t = Named(kind, std::move(name));
  t.MinValue = minValue;
  t.MaxValue = maxValue;
  return t;
}

TTypeInfo TTypeInfo::Enumeration(std::string name, std::initializer_list<const char*> names) {
  TTypeInfo t = Ordinal(tkEnumeration, std::move(name), 0, static_cast<int64_t>(names.size()) - 1);
  for (const char* n : names) t.EnumNames.emplace_back(n);
  return t;
}

TTypeInfo TTypeInfo::Set(std::string name, PTypeInfo elements) {
  if (!elements || elements->Kind != tkEnumeration || elements->MinValue != 0 || elements->MaxValue > 63)
    throw EPropertyError(Format("Invalid set element type for %s", name));
  TTypeInfo t = Named(tkSet, std::move(name));
  t.CompType = elements;
  return t;
}

TTypeInfo TTypeInfo::Float(std::string name) { return Named(tkFloat, std::move(name)); }

TTypeInfo TTypeInfo::String(std::string name) { return Named(tkString, std::move(name)); }

TTypeInfo TTypeInfo::Method(std::string name) { return Named(tkMethod, std::move(name)); }

#define PX_TYPE_INFO(Func, ...)                     \
  PTypeInfo Func() {                                \
    static const TTypeInfo info = __VA_ARGS__;      \
    return &info;                                   \
  }

template <class T>
static TTypeInfo IntegerType(TTypeKind kind, const char* name) {
  return TTypeInfo::Ordinal(kind, name, static_cast<int64_t>(std::numeric_limits<T>::min()),
                            static_cast<int64_t>(std::numeric_limits<T>::max()));
}

PX_TYPE_INFO(TypeInfo_Integer, IntegerType<int32_t>(tkInteger, "Integer"))
PX_TYPE_INFO(TypeInfo_Cardinal, IntegerType<uint32_t>(tkInteger, "Cardinal"))
PX_TYPE_INFO(TypeInfo_Byte, IntegerType<uint8_t>(tkInteger, "Byte"))
PX_TYPE_INFO(TypeInfo_Word, IntegerType<uint16_t>(tkInteger, "Word"))
PX_TYPE_INFO(TypeInfo_NativeInt, IntegerType<intptr_t>(tkInteger, "NativeInt"))
PX_TYPE_INFO(TypeInfo_Int64, IntegerType<int64_t>(tkInt64, "Int64"))
PX_TYPE_INFO(TypeInfo_TColor, IntegerType<int32_t>(tkInteger, "TColor"))
PX_TYPE_INFO(TypeInfo_Char, IntegerType<uint8_t>(tkChar, "Char"))
PX_TYPE_INFO(TypeInfo_Boolean, TTypeInfo::Enumeration("Boolean", {"False", "True"}))
PX_TYPE_INFO(TypeInfo_String, TTypeInfo::String("string"))
PX_TYPE_INFO(TypeInfo_Single, TTypeInfo::Float("Single"))
PX_TYPE_INFO(TypeInfo_Double, TTypeInfo::Float("Double"))
PX_TYPE_INFO(TypeInfo_Extended, TTypeInfo::Float("Extended"))
PX_TYPE_INFO(TypeInfo_TDateTime, TTypeInfo::Float("TDateTime"))

std::string GetEnumName(PTypeInfo TypeInfo, int64_t Value) {
  if (!TypeInfo) return {};
  if (TypeInfo->Kind == tkInteger || TypeInfo->Kind == tkInt64) return IntToStr(Value);
  if (TypeInfo->Kind != tkEnumeration || Value < TypeInfo->MinValue || Value > TypeInfo->MaxValue) return {};
  return TypeInfo->EnumNames[static_cast<size_t>(Value - TypeInfo->MinValue)];
}

int64_t GetEnumValue(PTypeInfo TypeInfo, std::string_view Name) {
  if (!TypeInfo || TypeInfo->Kind != tkEnumeration) return -1;
  for (size_t i = 0; i < TypeInfo->EnumNames.size(); ++i)
    if (SameText(TypeInfo->EnumNames[i], Name)) return TypeInfo->MinValue + static_cast<int64_t>(i);
  return -1;
}

static PTypeInfo SetElements(PTypeInfo TypeInfo) {
  PTypeInfo e = TypeInfo && TypeInfo->Kind == tkSet ? TypeInfo->CompType : TypeInfo;
  if (!e || e->Kind != tkEnumeration) throw EPropertyError("Invalid set type");
  return e;
}

std::string SetToString(PTypeInfo TypeInfo, uint64_t Value, bool Brackets) {
  PTypeInfo e = SetElements(TypeInfo);
  std::string s;
  for (int64_t v = e->MinValue; v <= e->MaxValue && v < 64; ++v) {
    if (!((Value >> v) & 1u)) continue;
    if (!s.empty()) s += ',';
    s += e->EnumNames[static_cast<size_t>(v - e->MinValue)];
  }
  return Brackets ? "[" + s + "]" : s;
}

static std::string_view TrimView(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

[[noreturn]] static void InvalidElement(std::string_view element) {
  throw EPropertyConvertError(Format("Invalid property element: %s", element));
}

uint64_t StringToSet(PTypeInfo TypeInfo, std::string_view Value) {
  PTypeInfo e = SetElements(TypeInfo);
  std::string_view s = TrimView(Value);
  if (!s.empty() && s.front() == '[') {
    if (s.back() != ']' || s.size() < 2) InvalidElement(s);
    s = TrimView(s.substr(1, s.size() - 2));
  }
  uint64_t bits = 0;
  if (s.empty()) return bits;
  for (;;) {
    size_t comma = s.find(',');
    std::string_view word = TrimView(s.substr(0, comma));
    int64_t v = GetEnumValue(e, word);
    if (v < 0 || v > 63) InvalidElement(word);
    bits |= uint64_t{1} << v;
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 1);
  }
  return bits;
}

// ---------------------------------------------------------------------------------------------
// Class descriptions.

TClassInfo::TClassInfo(const char* name, TClass parent, TComponentFactory factory, TPublishFn publish)
    : Name(name), Parent(parent), factory_(factory), publish_(publish) {
  type_info_.Kind = tkClass;
  type_info_.Name = name;
  type_info_.ClassType = this;
}

TClassInfo::~TClassInfo() = default;

void TClassInfo::Resolve() const {
  std::call_once(resolved_, [this] {
    std::vector<PPropInfo> props;
    if (Parent) props = Parent->Properties();
    std::unique_ptr<TPublishTable> own;
    if (publish_) {
      own = std::make_unique<TPublishTable>();
      own->Class = this;
      publish_(*own);
    }
    std::unordered_map<std::string, size_t> index;
    for (size_t i = 0; i < props.size(); ++i) index[LowerCase(props[i]->Name)] = i;
    if (own) {
      for (const auto& p : own->Props) {
        auto [it, added] = index.try_emplace(LowerCase(p->Name), props.size());
        if (added) props.push_back(p.get());
        else props[it->second] = p.get();  // redeclared: keeps the inherited place
      }
    }
    own_ = std::move(own);
    props_ = std::move(props);
    index_ = std::move(index);
  });
}

const std::vector<PPropInfo>& TClassInfo::Properties() const {
  Resolve();
  return props_;
}

PPropInfo TClassInfo::FindProperty(std::string_view name) const {
  Resolve();
  auto it = index_.find(LowerCase(name));
  return it == index_.end() ? nullptr : props_[it->second];
}

template <class T>
const T* TClassInfo::FindOwn(std::vector<T> TPublishTable::*List, std::string_view name) const {
  for (TClass c = this; c; c = c->Parent) {
    c->Resolve();
    if (!c->own_) continue;
    for (const T& e : (*c->own_).*List)
      if (SameText(e.Name, name)) return &e;
  }
  return nullptr;
}

const TPublishedMethod* TClassInfo::FindMethod(std::string_view name) const {
  return FindOwn(&TPublishTable::Methods, name);
}

const TDefinedProp* TClassInfo::FindDefinedProperty(std::string_view name) const {
  return FindOwn(&TPublishTable::Defined, name);
}

std::vector<const TDefinedProp*> TClassInfo::DefinedProperties() const {
  std::vector<TClass> chain;
  for (TClass c = this; c; c = c->Parent) chain.push_back(c);
  std::vector<const TDefinedProp*> list;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    (*it)->Resolve();
    if (!(*it)->own_) continue;
    for (const TDefinedProp& d : (*it)->own_->Defined) {
      auto same = std::find_if(list.begin(), list.end(), [&](const TDefinedProp* e) { return SameText(e->Name, d.Name); });
      if (same != list.end()) *same = &d;
      else list.push_back(&d);
    }
  }
  return list;
}

// ---------------------------------------------------------------------------------------------
// Access by name.

namespace px_detail {

void RaiseInvalidCast() { throw EInvalidCast("Invalid class typecast"); }

void RaiseNoAssignTarget(const std::string& prop) {
  throw EPropertyError(Format("Property %s has no object to assign to", prop));
}

void RaiseUnknownRedeclare(const char* cls, const char* prop) {
  throw EPropertyError(Format("Unknown property: %s (redeclared in %s)", prop, cls));
}

void CheckOrdRange(PTypeInfo type, int64_t v) {
  if (type->Kind == tkSet) {
    int64_t count = type->CompType->MaxValue + 1;
    if (count < 64 && (static_cast<uint64_t>(v) >> count) != 0) throw ERangeError("Range check error");
    return;
  }
  if (v < type->MinValue || v > type->MaxValue) throw ERangeError("Range check error");
}

}  // namespace px_detail

namespace {

void CheckInstance(const TObject* instance, PPropInfo prop) {
  if (!instance) throw EPropertyError("Property access on a nil instance");
  if (!prop) throw EPropertyError("Unknown property: nil");
}

PPropInfo RequireProp(const TObject* instance, std::string_view name) {
  if (!instance) throw EPropertyError("Property access on a nil instance");
  PPropInfo p = instance->ClassType()->FindProperty(name);
  if (!p) throw EPropertyError(Format("Unknown property: %s", name));
  return p;
}

[[noreturn]] void WrongKind(PPropInfo p) {
  throw EPropertyError(Format("Invalid property type: %s", p->PropType ? p->PropType->Name : std::string("?")));
}

[[noreturn]] void ReadOnly(PPropInfo p) { throw EPropertyError(Format("Property %s is read-only", p->Name)); }

bool IsOrdinal(TTypeKind k) {
  return k == tkInteger || k == tkChar || k == tkEnumeration || k == tkSet || k == tkInt64;
}

// Checks instance and kind; returns the property.
PPropInfo Expect(const TObject* instance, PPropInfo p, bool ordinal, TTypeKind kind = tkUnknown) {
  CheckInstance(instance, p);
  if (ordinal ? !IsOrdinal(p->Kind()) : p->Kind() != kind) WrongKind(p);
  return p;
}

}  // namespace

PPropInfo GetPropInfo(const TObject* Instance, std::string_view PropName) {
  return Instance ? Instance->ClassType()->FindProperty(PropName) : nullptr;
}
PPropInfo GetPropInfo(TClass AClass, std::string_view PropName) {
  return AClass ? AClass->FindProperty(PropName) : nullptr;
}
std::vector<PPropInfo> GetPropList(const TObject* Instance) {
  return Instance ? Instance->ClassType()->Properties() : std::vector<PPropInfo>{};
}
std::vector<PPropInfo> GetPropList(TClass AClass) {
  return AClass ? AClass->Properties() : std::vector<PPropInfo>{};
}

int64_t GetOrdProp(TObject* Instance, PPropInfo PropInfo) {
  return Expect(Instance, PropInfo, true)->GetOrd(Instance);
}
int64_t GetOrdProp(TObject* Instance, std::string_view PropName) {
  return GetOrdProp(Instance, RequireProp(Instance, PropName));
}
void SetOrdProp(TObject* Instance, PPropInfo PropInfo, int64_t Value) {
  PPropInfo p = Expect(Instance, PropInfo, true);
  if (!p->SetOrd) ReadOnly(p);
  p->SetOrd(Instance, Value);
}
void SetOrdProp(TObject* Instance, std::string_view PropName, int64_t Value) {
  SetOrdProp(Instance, RequireProp(Instance, PropName), Value);
}
int64_t GetInt64Prop(TObject* Instance, PPropInfo PropInfo) { return GetOrdProp(Instance, PropInfo); }
int64_t GetInt64Prop(TObject* Instance, std::string_view PropName) { return GetOrdProp(Instance, PropName); }
void SetInt64Prop(TObject* Instance, PPropInfo PropInfo, int64_t Value) { SetOrdProp(Instance, PropInfo, Value); }
void SetInt64Prop(TObject* Instance, std::string_view PropName, int64_t Value) {
  SetOrdProp(Instance, PropName, Value);
}

long double GetFloatProp(TObject* Instance, PPropInfo PropInfo) {
  return Expect(Instance, PropInfo, false, tkFloat)->GetFloat(Instance);
}
long double GetFloatProp(TObject* Instance, std::string_view PropName) {
  return GetFloatProp(Instance, RequireProp(Instance, PropName));
}
void SetFloatProp(TObject* Instance, PPropInfo PropInfo, long double Value) {
  PPropInfo p = Expect(Instance, PropInfo, false, tkFloat);
  if (!p->SetFloat) ReadOnly(p);
  p->SetFloat(Instance, Value);
}
void SetFloatProp(TObject* Instance, std::string_view PropName, long double Value) {
  SetFloatProp(Instance, RequireProp(Instance, PropName), Value);
}

std::string GetStrProp(TObject* Instance, PPropInfo PropInfo) {
  return Expect(Instance, PropInfo, false, tkString)->GetStr(Instance);
}
std::string GetStrProp(TObject* Instance, std::string_view PropName) {
  return GetStrProp(Instance, RequireProp(Instance, PropName));
}
void SetStrProp(TObject* Instance, PPropInfo PropInfo, const std::string& Value) {
  PPropInfo p = Expect(Instance, PropInfo, false, tkString);
  if (!p->SetStr) ReadOnly(p);
  p->SetStr(Instance, Value);
}
void SetStrProp(TObject* Instance, std::string_view PropName, const std::string& Value) {
  SetStrProp(Instance, RequireProp(Instance, PropName), Value);
}

std::string GetEnumProp(TObject* Instance, PPropInfo PropInfo) {
  PPropInfo p = Expect(Instance, PropInfo, false, tkEnumeration);
  return GetEnumName(p->PropType, p->GetOrd(Instance));
}
std::string GetEnumProp(TObject* Instance, std::string_view PropName) {
  return GetEnumProp(Instance, RequireProp(Instance, PropName));
}
void SetEnumProp(TObject* Instance, PPropInfo PropInfo, std::string_view Value) {
  PPropInfo p = Expect(Instance, PropInfo, false, tkEnumeration);
  if (!p->SetOrd) ReadOnly(p);
  int64_t v = GetEnumValue(p->PropType, Value);
  if (v < 0) InvalidElement(Value);
  p->SetOrd(Instance, v);
}
void SetEnumProp(TObject* Instance, std::string_view PropName, std::string_view Value) {
  SetEnumProp(Instance, RequireProp(Instance, PropName), Value);
}

std::string GetSetProp(TObject* Instance, PPropInfo PropInfo, bool Brackets) {
  PPropInfo p = Expect(Instance, PropInfo, false, tkSet);
  return SetToString(p->PropType, static_cast<uint64_t>(p->GetOrd(Instance)), Brackets);
}
std::string GetSetProp(TObject* Instance, std::string_view PropName, bool Brackets) {
  return GetSetProp(Instance, RequireProp(Instance, PropName), Brackets);
}
void SetSetProp(TObject* Instance, PPropInfo PropInfo, std::string_view Value) {
  PPropInfo p = Expect(Instance, PropInfo, false, tkSet);
  if (!p->SetOrd) ReadOnly(p);
  p->SetOrd(Instance, static_cast<int64_t>(StringToSet(p->PropType, Value)));
}
void SetSetProp(TObject* Instance, std::string_view PropName, std::string_view Value) {
  SetSetProp(Instance, RequireProp(Instance, PropName), Value);
}

TObject* GetObjectProp(TObject* Instance, PPropInfo PropInfo) {
  return Expect(Instance, PropInfo, false, tkClass)->GetObj(Instance);
}
TObject* GetObjectProp(TObject* Instance, std::string_view PropName) {
  return GetObjectProp(Instance, RequireProp(Instance, PropName));
}
void SetObjectProp(TObject* Instance, PPropInfo PropInfo, TObject* Value) {
  PPropInfo p = Expect(Instance, PropInfo, false, tkClass);
  if (!p->SetObj) ReadOnly(p);
  p->SetObj(Instance, Value);
}
void SetObjectProp(TObject* Instance, std::string_view PropName, TObject* Value) {
  SetObjectProp(Instance, RequireProp(Instance, PropName), Value);
}

TMethod GetMethodProp(TObject* Instance, PPropInfo PropInfo) {
  return Expect(Instance, PropInfo, false, tkMethod)->GetMethod(Instance);
}
TMethod GetMethodProp(TObject* Instance, std::string_view PropName) {
  return GetMethodProp(Instance, RequireProp(Instance, PropName));
}
void SetMethodProp(TObject* Instance, PPropInfo PropInfo, const TMethod& Value) {
  PPropInfo p = Expect(Instance, PropInfo, false, tkMethod);
  if (!p->SetMethod) ReadOnly(p);
  p->SetMethod(Instance, Value);
}
void SetMethodProp(TObject* Instance, std::string_view PropName, const TMethod& Value) {
  SetMethodProp(Instance, RequireProp(Instance, PropName), Value);
}

bool IsStoredProp(TObject* Instance, PPropInfo PropInfo) {
  CheckInstance(Instance, PropInfo);
  return !PropInfo->Stored || PropInfo->Stored(Instance);
}
bool IsStoredProp(TObject* Instance, std::string_view PropName) {
  return IsStoredProp(Instance, RequireProp(Instance, PropName));
}

TMethod MethodAddress(TObject* Instance, std::string_view MethodName) {
  if (!Instance) return {};
  const TPublishedMethod* m = Instance->ClassType()->FindMethod(MethodName);
  return m ? m->Bind(Instance) : TMethod{};
}

std::vector<const TPublishedMethod*> TClassInfo::Methods() const {
  std::vector<const TPublishedMethod*> list;
  for (TClass c = this; c; c = c->Parent) {
    c->Resolve();
    if (!c->own_) continue;
    for (const TPublishedMethod& m : c->own_->Methods) list.push_back(&m);
  }
  return list;
}

std::string MethodName(TObject* Instance, const TMethod& Method) {
  if (!Instance || !Method) return {};
  for (const TPublishedMethod* m : Instance->ClassType()->Methods())
    if (m->Bind(Instance) == Method) return m->Name;
  return {};
}

// ---------------------------------------------------------------------------------------------
// Names of integer values.

namespace {

struct TIntegerConsts {
  PTypeInfo Type;
  TIdentToInt ToInt;
  TIntToIdent ToIdent;
};

struct TIntegerConstsRegistry {
  std::mutex lock;
  std::vector<TIntegerConsts> list;
};

TIntegerConstsRegistry& IntegerConsts() {
  static TIntegerConstsRegistry registry;
  return registry;
}

}  // namespace

void RegisterIntegerConsts(PTypeInfo IntegerType, TIdentToInt IdentToInt, TIntToIdent IntToIdent) {
  if (!IntegerType) return;
  auto& r = IntegerConsts();
  std::lock_guard guard(r.lock);
  for (TIntegerConsts& c : r.list)
    if (c.Type == IntegerType) {
      c = {IntegerType, IdentToInt, IntToIdent};
      return;
    }
  r.list.push_back({IntegerType, IdentToInt, IntToIdent});
}

void UnregisterIntegerConsts(PTypeInfo IntegerType) {
  auto& r = IntegerConsts();
  std::lock_guard guard(r.lock);
  std::erase_if(r.list, [&](const TIntegerConsts& c) { return c.Type == IntegerType; });
}

TIdentToInt FindIdentToInt(PTypeInfo IntegerType) {
  auto& r = IntegerConsts();
  std::lock_guard guard(r.lock);
  for (const TIntegerConsts& c : r.list)
    if (c.Type == IntegerType) return c.ToInt;
  return nullptr;
}

TIntToIdent FindIntToIdent(PTypeInfo IntegerType) {
  auto& r = IntegerConsts();
  std::lock_guard guard(r.lock);
  for (const TIntegerConsts& c : r.list)
    if (c.Type == IntegerType) return c.ToIdent;
  return nullptr;
}
