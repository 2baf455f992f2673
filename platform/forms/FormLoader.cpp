#include "platform/forms/FormLoader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#include "platform/rtl/Classes_collections.h"
#include "platform/rtl/Classes_lists.h"
#include "platform/rtl/TypInfo.h"

// ---------------------------------------------------------------------------------------------
// The parsed description.

struct TFormTextProp;

struct TFormTextItem {
  int Line = 0;
  std::vector<TFormTextProp> Props;
};

struct TFormValue {
  TValueType Type = vaNull;
  int Line = 0;
  int64_t Int = 0;
  bool Hex = false;                // written as $hex: a bit pattern, so $FFFFFFFF fits 32 bits
  long double Float = 0;
  std::string Str;                 // strings and identifiers
  std::vector<std::string> Names;  // set elements
  std::vector<TFormValue> Items;   // list
  std::vector<TFormTextItem> Collection;
  TBytes Bytes;
};

struct TFormTextProp {
  std::string Path;  // Name or Sub.Name
  int Line = 0;
  TFormValue Value;
};

namespace {

enum class TBlockKind { Object, Inherited, Inline };

struct TFormObject {
  TBlockKind Kind = TBlockKind::Object;
  int Line = 0;
  std::string Name;
  std::string ClassName;
  std::vector<TFormTextProp> Props;
  std::vector<TFormObject> Children;
};

// Nesting of objects, lists and collections beyond this is refused rather than recursed into.
constexpr int kMaxDepth = 128;
// The largest description read from a stream.
constexpr int64_t kMaxTextSize = int64_t{64} << 20;

bool IsIdentStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || IsDigit(c); }
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// ---------------------------------------------------------------------------------------------
// Parser: the whole text becomes a tree before any object is made, so a syntax error leaves
// the root untouched.

class TTextParser {
 public:
  explicit TTextParser(std::string_view text) : s_(text) {
    if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  TFormObject ParseForm() {
    TFormObject root = ParseObject();
    SkipBlanks();
    if (pos_ < s_.size()) Error("End of the description expected");
    return root;
  }

 private:
  class TDeeper {
   public:
    explicit TDeeper(TTextParser& p) : p_(p) {
      if (++p_.depth_ > kMaxDepth) p_.Error("Nesting too deep");
    }
    ~TDeeper() { --p_.depth_; }

   private:
    TTextParser& p_;
  };

  [[noreturn]] void Error(std::string_view message) const {
    throw EParserError(Format("Line %d: %s", line_, message));
  }

  char Peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }
  bool AtEnd() const { return pos_ >= s_.size(); }

  void SkipBlanks() {
    while (pos_ < s_.size() && static_cast<unsigned char>(s_[pos_]) <= ' ') {
      char c = s_[pos_++];
      if (c == '\n' || (c == '\r' && Peek() != '\n')) ++line_;
    }
  }

  // The identifier at the position (after blanks), not consumed; "" when there is none.
  std::string_view PeekIdent() {
    SkipBlanks();
    size_t end = pos_;
    if (end < s_.size() && IsIdentStart(s_[end]))
      while (end < s_.size() && IsIdentChar(s_[end])) ++end;
    return s_.substr(pos_, end - pos_);
  }

  std::string ReadIdent(std::string_view what) {
    std::string_view id = PeekIdent();
    if (id.empty()) Error(Format("%s expected", what));
    pos_ += id.size();
    return std::string(id);
  }

  // Name or Name.Sub.Sub
  std::string ReadDotted(std::string_view what) {
    std::string name = ReadIdent(what);
    for (;;) {
      SkipBlanks();
      if (Peek() != '.') return name;
      ++pos_;
      name += '.';
      name += ReadIdent("Identifier");
    }
  }

  void Expect(char c) {
    SkipBlanks();
    if (Peek() != c) Error(Format("'%s' expected", std::string(1, c)));
    ++pos_;
  }

  static bool IsBlockKeyword(std::string_view id) {
    return SameText(id, "object") || SameText(id, "inherited") || SameText(id, "inline");
  }

  TFormObject ParseObject() {
    TDeeper deeper(*this);
    TFormObject o;
    std::string_view keyword = PeekIdent();
    o.Line = line_;
    if (SameText(keyword, "object")) o.Kind = TBlockKind::Object;
    else if (SameText(keyword, "inherited")) o.Kind = TBlockKind::Inherited;
    else if (SameText(keyword, "inline")) o.Kind = TBlockKind::Inline;
    else Error("'object' expected");
    pos_ += keyword.size();
    std::string first = ReadIdent("Component name");
    SkipBlanks();
    if (Peek() == ':') {
      ++pos_;
      o.Name = std::move(first);
      o.ClassName = ReadIdent("Class name");
    } else {
      o.ClassName = std::move(first);  // a nameless object
    }
    for (;;) {
      std::string_view id = PeekIdent();
      if (AtEnd()) Error("'end' expected");
      if (SameText(id, "end")) {
        pos_ += id.size();
        return o;
      }
      if (IsBlockKeyword(id)) {
        o.Children.push_back(ParseObject());
        continue;
      }
      // Properties come before the nested objects.
      if (!o.Children.empty()) Error("'end' expected");
      o.Props.push_back(ParseProperty());
    }
  }

  TFormTextProp ParseProperty() {
    TFormTextProp p;
    SkipBlanks();
    p.Line = line_;
    p.Path = ReadDotted("Property name");
    Expect('=');
    p.Value = ParseValue();
    return p;
  }

  TFormValue ParseValue() {
    TDeeper deeper(*this);
    SkipBlanks();
    TFormValue v;
    v.Line = line_;
    char c = Peek();
    if (c == '\'' || c == '#') {
      v.Type = vaString;
      v.Str = ParseString();
    } else if (c == '-' || c == '$' || IsDigit(c)) {
      ParseNumber(v);
    } else if (IsIdentStart(c)) {
      v.Str = ReadDotted("Identifier");
      if (SameText(v.Str, "True")) v.Type = vaTrue;
      else if (SameText(v.Str, "False")) v.Type = vaFalse;
      else if (SameText(v.Str, "nil")) v.Type = vaNil;
      else v.Type = vaIdent;
    } else if (c == '[') {
      ++pos_;
      v.Type = vaSet;
      SkipBlanks();
      if (Peek() != ']') {
        for (;;) {
          v.Names.push_back(ReadIdent("Set element"));
          SkipBlanks();
          if (Peek() != ',') break;
          ++pos_;
        }
      }
      Expect(']');
    } else if (c == '(') {
      ++pos_;
      v.Type = vaList;
      for (;;) {
        SkipBlanks();
        if (AtEnd()) Error("')' expected");
        if (Peek() == ')') break;
        v.Items.push_back(ParseValue());
      }
      ++pos_;
    } else if (c == '<') {
      ++pos_;
      v.Type = vaCollection;
      ParseCollection(v);
    } else if (c == '{') {
      ++pos_;
      v.Type = vaBinary;
      ParseBinary(v);
    } else {
      Error("Property value expected");
    }
    return v;
  }

  void ParseCollection(TFormValue& v) {
    for (;;) {
      SkipBlanks();
      if (AtEnd()) Error("'>' expected");
      if (Peek() == '>') {
        ++pos_;
        return;
      }
      TFormTextItem item;
      item.Line = line_;
      std::string_view keyword = PeekIdent();
      if (!SameText(keyword, "item")) Error("'item' expected");
      pos_ += keyword.size();
      for (;;) {
        std::string_view id = PeekIdent();
        if (AtEnd()) Error("'end' expected");
        if (SameText(id, "end")) {
          pos_ += id.size();
          break;
        }
        item.Props.push_back(ParseProperty());
      }
      v.Collection.push_back(std::move(item));
    }
  }

  void ParseBinary(TFormValue& v) {
    int high = -1;
    for (;;) {
      SkipBlanks();
      if (AtEnd()) Error("'}' expected");
      char c = s_[pos_];
      if (c == '}') break;
      int d = HexValue(c);
      if (d < 0) Error("Invalid binary value");
      ++pos_;
      if (high < 0) {
        high = d;
      } else {
        v.Bytes.push_back(static_cast<uint8_t>(high * 16 + d));
        high = -1;
      }
    }
    if (high >= 0) Error("Odd number of hexadecimal digits in binary value");
    ++pos_;
  }

  void ParseNumber(TFormValue& v) {
    size_t start = pos_;
    bool negative = Peek() == '-';
    if (negative) ++pos_;
    if (Peek() == '$') {
      ++pos_;
      size_t digits = pos_;
      while (HexValue(Peek()) >= 0) ++pos_;
      uint64_t u = 0;
      auto [end, ec] = std::from_chars(s_.data() + digits, s_.data() + pos_, u, 16);
      if (pos_ == digits || ec != std::errc()) Error("Invalid hexadecimal number");
      (void)end;
      v.Type = vaInteger;
      v.Hex = true;
      v.Int = static_cast<int64_t>(negative ? 0 - u : u);
    } else {
      size_t digits = pos_;
      while (IsDigit(Peek())) ++pos_;
      if (pos_ == digits) Error("Invalid number");
      bool isFloat = false;
      if (Peek() == '.' && pos_ + 1 < s_.size() && IsDigit(s_[pos_ + 1])) {
        ++pos_;
        while (IsDigit(Peek())) ++pos_;
        isFloat = true;
      }
      if (Peek() == 'e' || Peek() == 'E') {
        ++pos_;
        if (Peek() == '+' || Peek() == '-') ++pos_;
        if (!IsDigit(Peek())) Error("Invalid number");
        while (IsDigit(Peek())) ++pos_;
        isFloat = true;
      }
      const char* first = s_.data() + start;
      const char* last = s_.data() + pos_;
      if (isFloat) {
        v.Type = vaFloat;
        auto [end, ec] = std::from_chars(first, last, v.Float);
        if (ec != std::errc() || end != last || !std::isfinite(v.Float)) Error("Invalid floating point number");
      } else {
        v.Type = vaInteger;
        auto [end, ec] = std::from_chars(first, last, v.Int);
        if (ec != std::errc() || end != last) Error("Integer out of range");
      }
    }
    if (IsIdentChar(Peek()) || Peek() == '.') Error("Invalid number");
  }

  // Quoted parts and #codes, joined directly or by + across blanks and lines. Codes are UTF-16
  // units, so a surrogate pair written as two codes is one character.
  std::string ParseString() {
    std::u16string text;
    for (;;) {
      bool any = false;
      for (;;) {
        char c = Peek();
        if (c == '\'') {
          ++pos_;
          std::string part;
          for (;;) {
            if (AtEnd() || Peek() == '\n' || Peek() == '\r') Error("Unterminated string");
            char ch = s_[pos_++];
            if (ch == '\'') {
              if (Peek() != '\'') break;
              ++pos_;
            }
            part += ch;
          }
          text += Utf8ToUtf16(part);
        } else if (c == '#') {
          ++pos_;
          bool hex = Peek() == '$';
          if (hex) ++pos_;
          uint32_t code = 0;
          size_t digits = pos_;
          while (hex ? HexValue(Peek()) >= 0 : IsDigit(Peek())) {
            code = code * (hex ? 16 : 10) + static_cast<uint32_t>(HexValue(Peek()));
            if (code > 0xFFFF) Error("Invalid character code");
            ++pos_;
          }
          if (pos_ == digits) Error("Invalid character code");
          text += static_cast<char16_t>(code);
        } else {
          break;
        }
        any = true;
      }
      if (!any) Error("String expected");
      SkipBlanks();
      if (Peek() != '+') break;
      ++pos_;
      SkipBlanks();
    }
    return Utf16ToUtf8(text);
  }

  std::string_view s_;
  size_t pos_ = 0;
  int line_ = 1;
  int depth_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Building the components.

// A read error that already names its line and place; outer handlers pass it on unchanged.
class ELocatedReadError : public EReadError {
 public:
  using EReadError::EReadError;
};

[[noreturn]] void Located(int line, std::string_view message) {
  throw ELocatedReadError(Format("Line %d: %s", line, message));
}

[[noreturn]] void InvalidValue() { throw EReadError("Invalid property value"); }

std::string JoinPath(const std::string& a, std::string_view b) {
  if (a.empty()) return std::string(b);
  return a + "." + std::string(b);
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  for (;;) {
    size_t dot = path.find('.');
    parts.emplace_back(path.substr(0, dot));
    if (dot == std::string_view::npos) return parts;
    path.remove_prefix(dot + 1);
  }
}

std::string DisplayName(TComponent* c) { return c->Name().empty() ? std::string(c->ClassType()->Name) : c->Name(); }

bool ClassNamed(TClass c, std::string_view name) {
  for (; c; c = c->Parent)
    if (SameText(c->Name, name)) return true;
  return false;
}

// Where a property is being read: for messages, references and method lookup.
struct TReadPlace {
  TComponent* Component;  // the component whose block holds the property
  std::string Path;       // from the component to the object read ("", "Font", "Columns[0]")
  TComponent* Lookup;     // where component names are looked up first
};

class TLoadSession {
 public:
  explicit TLoadSession(TComponent* root) : root_(root) {}

  void ReadRoot(const TFormObject& o) {
    if (!ClassNamed(root_->ClassType(), o.ClassName))
      Located(o.Line, Format("The description is of a %s, not of a %s", o.ClassName, root_->ClassType()->Name));
    Begin(root_);
    if (!o.Name.empty()) {
      text_root_names_.push_back(o.Name);
      try {
        SetRootName(o.Name);
      } catch (const Exception& e) {
        Located(o.Line, e.Message());
      }
    }
    TReadPlace place{root_, "", root_};
    ReadProps(place, root_, o.Props);
    for (const TFormObject& child : o.Children) ReadChild(child, root_, root_, root_);
    root_->SetComponentState(csReading, false);
  }

  // Sets the component references and tells every component read that loading completed.
  void Finish() {
    for (const TFixup& f : fixups_) {
      TComponent* target = FindReference(f.Reference, f.Lookup);
      if (!target)
        Located(f.Line, Format("Error reading %s: Component %s not found", f.Where, f.Reference));
      try {
        SetObjectProp(f.Instance, f.Prop, target);
      } catch (const Exception& e) {
        Located(f.Line, Format("Error reading %s: %s", f.Where, e.Message()));
      }
    }
    fixups_.clear();
    std::vector<TComponent*> loaded = std::move(loaded_);
    loaded_.clear();
    for (TComponent* c : loaded) c->SetComponentState(csReading, false);
    for (size_t i = 0; i < loaded.size(); ++i) {
      try {
        loaded[i]->Loaded();
      } catch (...) {
        for (size_t j = i; j < loaded.size(); ++j) loaded[j]->SetComponentState(csLoading, false);
        throw;
      }
      loaded[i]->SetComponentState(csLoading, false);
    }
  }

  // After a failure: no component stays in the loading state.
  void Abandon() noexcept {
    for (TComponent* c : loaded_) {
      c->SetComponentState(csReading, false);
      c->SetComponentState(csLoading, false);
    }
    loaded_.clear();
    fixups_.clear();
  }

 private:
  struct TFixup {
    TComponent* Component;
    std::string Path;
    TObject* Instance;
    PPropInfo Prop;
    std::string Reference;
    TComponent* Lookup;
    int Line;
    std::string Where;
  };

  void Begin(TComponent* c) {
    c->SetComponentState(csLoading, true);
    c->SetComponentState(csReading, true);
    if (std::find(loaded_.begin(), loaded_.end(), c) == loaded_.end()) loaded_.push_back(c);
  }

  // A form's name is unique among its owner's components: Name, Name_1, Name_2...
  void SetRootName(const std::string& name) {
    std::string unique = name;
    if (TComponent* owner = root_->Owner()) {
      for (int i = 1;; ++i) {
        TComponent* other = owner->FindComponent(unique);
        if (!other || other == root_) break;
        unique = name + "_" + IntToStr(i);
      }
    }
    root_->SetName(unique);
  }

  void ReadChild(const TFormObject& o, TComponent* owner, TComponent* parent, TComponent* lookup) {
    TComponent* c = nullptr;
    if (o.Kind == TBlockKind::Inherited) {
      if (o.Name.empty()) Located(o.Line, "An inherited component needs a name");
      c = owner->FindComponent(o.Name);
      if (!c) Located(o.Line, Format("Ancestor for '%s' not found", o.Name));
    } else {
      TClass cls = GetClass(o.ClassName);
      if (!cls) Located(o.Line, Format("Class %s not found", o.ClassName));
      if (!cls->InheritsFrom(TComponent::StaticClass()) || !cls->CanCreate())
        Located(o.Line, Format("Class %s cannot be created", o.ClassName));
      try {
        c = cls->Create(owner);
      } catch (const ELocatedReadError&) {
        throw;
      } catch (const Exception& e) {
        Located(o.Line, Format("Error creating %s: %s", o.ClassName, e.Message()));
      }
      if (o.Kind == TBlockKind::Inline) c->SetComponentState(csInline, true);
      Begin(c);
      try {
        c->SetName(o.Name);
      } catch (const Exception& e) {
        Located(o.Line, e.Message());
      }
    }
    Begin(c);  // an inherited component joins the load here
    try {
      c->SetParentComponent(parent);
    } catch (const ELocatedReadError&) {
      throw;
    } catch (const Exception& e) {
      Located(o.Line, Format("Error reading %s: cannot place it in %s: %s", DisplayName(c), DisplayName(parent), e.Message()));
    }
    // An inline component's own properties refer to the form's components; what is nested in
    // it is owned by it and refers to its components first.
    TReadPlace place{c, "", lookup};
    ReadProps(place, c, o.Props);
    bool inlined = o.Kind == TBlockKind::Inline;
    for (const TFormObject& child : o.Children)
      ReadChild(child, inlined ? c : owner, c, inlined ? c : lookup);
    c->SetComponentState(csReading, false);
  }

  void ReadProps(const TReadPlace& place, TObject* instance, const std::vector<TFormTextProp>& props) {
    for (const TFormTextProp& p : props) ReadProp(place, instance, p);
  }

  void ReadProp(const TReadPlace& place, TObject* instance, const TFormTextProp& prop) {
    std::string where = DisplayName(place.Component) + "." + JoinPath(place.Path, prop.Path);
    try {
      std::vector<std::string> parts = SplitPath(prop.Path);
      TObject* obj = instance;
      std::string path = place.Path;
      for (size_t i = 0; i + 1 < parts.size(); ++i) {
        PPropInfo p = obj->ClassType()->FindProperty(parts[i]);
        if (!p) throw EReadError(Format("Property %s does not exist", parts[i]));
        if (p->Kind() != tkClass) throw EReadError(Format("Property %s has no properties", parts[i]));
        TObject* sub = GetObjectProp(obj, p);
        if (!sub) throw EReadError(Format("Property %s is nil", parts[i]));
        obj = sub;
        path = JoinPath(path, parts[i]);
      }
      const std::string& last = parts.back();
      TReadPlace inner{place.Component, path, place.Lookup};
      if (PPropInfo p = obj->ClassType()->FindProperty(last)) {
        ReadValue(inner, obj, p, prop, where);
      } else if (const TDefinedProp* d = obj->ClassType()->FindDefinedProperty(last)) {
        ReadDefined(obj, d, prop.Value);
      } else if (auto* strings = dynamic_cast<TStrings*>(obj); strings && SameText(last, "Strings")) {
        ReadStrings(strings, prop.Value);
      } else {
        throw EReadError(Format("Property %s does not exist", last));
      }
    } catch (const ELocatedReadError&) {
      throw;
    } catch (const EParserError&) {
      throw;
    } catch (const Exception& e) {
      Located(prop.Line, Format("Error reading %s: %s", where, e.Message()));
    }
  }

  void ReadValue(const TReadPlace& place, TObject* obj, PPropInfo p, const TFormTextProp& prop, const std::string& where) {
    const TFormValue& v = prop.Value;
    switch (p->Kind()) {
      case tkInteger:
      case tkInt64: {
        int64_t n = 0;
        if (v.Type == vaInteger) {
          n = v.Int;
          // $80000000..$FFFFFFFF is the bit pattern of a negative 32-bit value (colours).
          if (v.Hex && p->PropType->MinValue == std::numeric_limits<int32_t>::min() &&
              p->PropType->MaxValue == std::numeric_limits<int32_t>::max() && n > INT32_MAX && n <= UINT32_MAX)
            n = static_cast<int32_t>(static_cast<uint32_t>(n));
        } else if (v.Type == vaIdent) {
          TIdentToInt toInt = FindIdentToInt(p->PropType);
          if (!toInt || !toInt(v.Str, n)) InvalidValue();
        } else {
          InvalidValue();
        }
        SetOrdProp(obj, p, n);
        return;
      }
      case tkChar: {
        int64_t n = 0;
        if (v.Type == vaInteger) {
          n = v.Int;
        } else if (v.Type == vaString) {
          std::u16string units = Utf8ToUtf16(v.Str);
          if (units.size() != 1) InvalidValue();
          n = units[0];
        } else {
          InvalidValue();
        }
        SetOrdProp(obj, p, n);
        return;
      }
      case tkEnumeration: {
        if (v.Type != vaIdent && v.Type != vaTrue && v.Type != vaFalse) InvalidValue();
        int64_t n = GetEnumValue(p->PropType, v.Str);
        if (n < 0) InvalidValue();
        SetOrdProp(obj, p, n);
        return;
      }
      case tkSet: {
        if (v.Type != vaSet) InvalidValue();
        uint64_t bits = 0;
        for (const std::string& name : v.Names) {
          int64_t e = GetEnumValue(p->PropType->CompType, name);
          if (e < 0 || e > 63) InvalidValue();
          bits |= uint64_t{1} << e;
        }
        SetOrdProp(obj, p, static_cast<int64_t>(bits));
        return;
      }
      case tkFloat:
        if (v.Type == vaFloat) SetFloatProp(obj, p, v.Float);
        else if (v.Type == vaInteger) SetFloatProp(obj, p, static_cast<long double>(v.Int));
        else InvalidValue();
        return;
      case tkString:
        if (v.Type != vaString) InvalidValue();
        SetStrProp(obj, p, v.Str);
        return;
      case tkClass:
        if (v.Type == vaCollection) {
          ReadCollection(place, obj, p, v);
        } else if (v.Type == vaNil) {
          SetObjectProp(obj, p, nullptr);
        } else if (v.Type == vaIdent) {
          TClass cls = p->PropType->ClassType;
          if (!p->SetObj || !cls || !cls->InheritsFrom(TComponent::StaticClass())) InvalidValue();
          fixups_.push_back({place.Component, place.Path, obj, p, v.Str, place.Lookup, prop.Line, where});
        } else {
          InvalidValue();
        }
        return;
      case tkMethod:
        if (v.Type == vaNil) {
          SetMethodProp(obj, p, TMethod{});
        } else if (v.Type == vaIdent) {
          TMethod m = MethodAddress(root_, v.Str);
          if (!m) throw EReadError(Format("Method %s not found in %s", v.Str, root_->ClassType()->Name));
          SetMethodProp(obj, p, m);
        } else {
          InvalidValue();
        }
        return;
      default:
        InvalidValue();
    }
  }

  void ReadCollection(const TReadPlace& place, TObject* obj, PPropInfo p, const TFormValue& v) {
    auto* collection = dynamic_cast<TCollection*>(GetObjectProp(obj, p));
    if (!collection) InvalidValue();
    std::string path = JoinPath(place.Path, p->Name);
    // The items are replaced: references pending on the old ones go with them.
    std::string prefix = path + "[";
    std::erase_if(fixups_, [&](const TFixup& f) {
      return f.Component == place.Component && f.Path.compare(0, prefix.size(), prefix) == 0;
    });
    collection->BeginUpdate();
    try {
      collection->Clear();
      for (size_t i = 0; i < v.Collection.size(); ++i) {
        TCollectionItem* item = collection->Add();
        TReadPlace inner{place.Component, Format("%s[%d]", path, static_cast<int64_t>(i)), place.Lookup};
        ReadProps(inner, item, v.Collection[i].Props);
      }
    } catch (...) {
      collection->EndUpdate();
      throw;
    }
    collection->EndUpdate();
  }

  void ReadDefined(TObject* obj, const TDefinedProp* d, const TFormValue& v) {
    if (v.Type == vaBinary && d->ReadBinary) {
      TBytesStream stream(v.Bytes);
      d->ReadBinary(obj, &stream);
    } else if (d->Read) {
      TReader reader(v, root_);
      d->Read(obj, reader);
      if (!reader.AtEnd()) InvalidValue();
    } else {
      InvalidValue();
    }
  }

  static void ReadStrings(TStrings* strings, const TFormValue& v) {
    if (v.Type != vaList) InvalidValue();
    for (const TFormValue& item : v.Items)
      if (item.Type != vaString) InvalidValue();
    strings->BeginUpdate();
    try {
      strings->Clear();
      for (const TFormValue& item : v.Items) strings->Add(item.Str);
    } catch (...) {
      strings->EndUpdate();
      throw;
    }
    strings->EndUpdate();
  }

  // Name, Owner.Name...: looked up in Lookup (an inline component) and then in the root; the
  // first part may also be the root's own name.
  TComponent* FindReference(const std::string& reference, TComponent* lookup) const {
    std::vector<std::string> parts = SplitPath(reference);
    auto first = [&](TComponent* base) -> TComponent* {
      if (TComponent* c = base->FindComponent(parts[0])) return c;
      if (SameText(base->Name(), parts[0])) return base;
      if (base == root_)
        for (const std::string& n : text_root_names_)
          if (SameText(n, parts[0])) return base;
      return nullptr;
    };
    TComponent* c = first(lookup);
    if (!c && lookup != root_) c = first(root_);
    for (size_t i = 1; c && i < parts.size(); ++i) c = c->FindComponent(parts[i]);
    return c;
  }

  TComponent* root_;
  std::vector<TComponent*> loaded_;
  std::vector<TFixup> fixups_;
  std::vector<std::string> text_root_names_;
};

void LoadTrees(TComponent* root, const std::vector<TFormObject>& trees) {
  TLoadSession session(root);
  try {
    for (const TFormObject& tree : trees) session.ReadRoot(tree);
    session.Finish();
  } catch (...) {
    session.Abandon();
    throw;
  }
}

TComponent* CheckRoot(TComponent* root) {
  if (!root) throw EReadError("No component to read the form description into");
  return root;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TReader

TReader::TReader(const TFormValue& Value, TComponent* Root) : root_(Root) { frames_.push_back({&Value, 1, 0}); }

TValueType TReader::NextValue() const {
  const TFrame& f = frames_.back();
  return f.Pos < f.Count ? f.Items[f.Pos].Type : vaNull;
}

const TFormValue& TReader::Take() {
  TFrame& f = frames_.back();
  if (f.Pos >= f.Count) InvalidValue();
  return f.Items[f.Pos++];
}

bool TReader::ReadBoolean() {
  const TFormValue& v = Take();
  if (v.Type != vaTrue && v.Type != vaFalse) InvalidValue();
  return v.Type == vaTrue;
}

int64_t TReader::ReadInt64() {
  const TFormValue& v = Take();
  if (v.Type != vaInteger) InvalidValue();
  return v.Int;
}

int32_t TReader::ReadInteger() {
  const TFormValue& v = Take();
  if (v.Type != vaInteger) InvalidValue();
  if (v.Int >= INT32_MIN && v.Int <= INT32_MAX) return static_cast<int32_t>(v.Int);
  if (v.Hex && v.Int > 0 && v.Int <= UINT32_MAX) return static_cast<int32_t>(static_cast<uint32_t>(v.Int));
  InvalidValue();
}

long double TReader::ReadFloat() {
  const TFormValue& v = Take();
  if (v.Type == vaFloat) return v.Float;
  if (v.Type == vaInteger) return static_cast<long double>(v.Int);
  InvalidValue();
}

std::string TReader::ReadString() {
  const TFormValue& v = Take();
  if (v.Type != vaString) InvalidValue();
  return v.Str;
}

std::string TReader::ReadIdent() {
  const TFormValue& v = Take();
  if (v.Type != vaIdent && v.Type != vaTrue && v.Type != vaFalse && v.Type != vaNil) InvalidValue();
  return v.Str;
}

std::vector<std::string> TReader::ReadSet() {
  const TFormValue& v = Take();
  if (v.Type != vaSet) InvalidValue();
  return v.Names;
}

void TReader::ReadListBegin() {
  const TFormValue& v = Take();
  if (v.Type != vaList) InvalidValue();
  frames_.push_back({v.Items.data(), v.Items.size(), 0});
}

void TReader::ReadListEnd() {
  if (frames_.size() < 2 || NextValue() != vaNull) InvalidValue();
  frames_.pop_back();
}

void TReader::SkipValue() { Take(); }

// ---------------------------------------------------------------------------------------------
// Loading

void LoadFormFromText(TComponent* Root, std::string_view Text) {
  CheckRoot(Root);
  std::vector<TFormObject> trees;
  trees.push_back(TTextParser(Text).ParseForm());
  LoadTrees(Root, trees);
}

void LoadFormFromStream(TComponent* Root, TStream* Stream) {
  CheckRoot(Root);
  if (!Stream) throw EReadError("No stream to read the form description from");
  int64_t size = std::max<int64_t>(0, Stream->Size() - Stream->Position());
  if (size > kMaxTextSize) throw EReadError("The form description is too large");
  std::string bytes(static_cast<size_t>(size), '\0');
  Stream->ReadBuffer(bytes.data(), size);
  LoadFormFromText(Root, DecodeTextBytes(bytes));
}

bool LoadFormFromResource(TComponent* Root, TClass RootAncestor) {
  CheckRoot(Root);
  std::vector<TClass> chain;
  for (TClass c = Root->ClassType(); c && c != RootAncestor && c != TComponent::StaticClass(); c = c->Parent)
    chain.push_back(c);
  std::vector<TFormObject> trees;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const TResourceEntry* entry = FindResourceData((*it)->Name, RT_RCDATA);
    if (!entry) continue;
    std::string_view bytes(reinterpret_cast<const char*>(entry->Data), entry->Data ? entry->Size : 0);
    trees.push_back(TTextParser(DecodeTextBytes(bytes)).ParseForm());
  }
  if (trees.empty()) return false;
  LoadTrees(Root, trees);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

class TTextWriter {
 public:
  explicit TTextWriter(TComponent* root) : root_(root) {}

  std::string Write() {
    WriteComponent(root_, 0);
    return std::move(out_);
  }

 private:
  void Line(int indent, std::string_view text) {
    out_.append(static_cast<size_t>(indent), ' ');
    out_ += text;
    out_ += '\n';
  }
  // Appends a closing bracket to the line just written.
  void CloseLine(char c) {
    out_.pop_back();
    out_ += c;
    out_ += '\n';
  }

  void WriteComponent(TComponent* c, int indent) {
    written_.push_back(c);
    std::string head = "object ";
    if (!c->Name().empty()) head += c->Name() + ": ";
    head += c->ClassType()->Name;
    Line(indent, head);
    WriteProperties(c, "", indent + 2);
    for (int i = 0; i < root_->ComponentCount(); ++i) {
      TComponent* child = root_->Components(i);
      TComponent* parent = child->GetParentComponent();
      bool nested = c == root_ ? (!parent || parent == root_) : parent == c;
      if (nested && std::find(written_.begin(), written_.end(), child) == written_.end())
        WriteComponent(child, indent + 2);
    }
    Line(indent, "end");
  }

  void WriteProperties(TObject* obj, const std::string& prefix, int indent) {
    if (std::find(path_.begin(), path_.end(), obj) != path_.end()) return;  // a cycle of sub-objects
    path_.push_back(obj);
    for (PPropInfo p : GetPropList(obj)) {
      if (!IsStoredProp(obj, p)) continue;
      std::string name = prefix + p->Name;
      switch (p->Kind()) {
        case tkInteger:
        case tkInt64:
        case tkChar:
        case tkEnumeration:
        case tkSet: {
          if (!p->SetOrd) break;
          int64_t v = p->GetOrd(obj);
          if (p->Default && *p->Default == v) break;
          std::string text = OrdinalText(p, v);
          if (!text.empty()) Line(indent, name + " = " + text);
          break;
        }
        case tkFloat: {
          if (!p->SetFloat) break;
          long double v = p->GetFloat(obj);
          if (v != 0 && std::isfinite(v)) Line(indent, name + " = " + FloatText(p, v));
          break;
        }
        case tkString: {
          if (!p->SetStr) break;
          std::string v = p->GetStr(obj);
          if (!v.empty()) Line(indent, name + " = " + StringText(v));
          break;
        }
        case tkMethod: {
          if (!p->SetMethod) break;
          std::string handler = MethodName(root_, p->GetMethod(obj));
          if (!handler.empty()) Line(indent, name + " = " + handler);
          break;
        }
        case tkClass:
          if (p->SetObj) WriteObjectValue(p->GetObj(obj), name, indent);
          break;
        default:
          break;
      }
    }
    if (auto* strings = dynamic_cast<TStrings*>(obj); strings && strings->Count() > 0) {
      Line(indent, prefix + "Strings = (");
      for (int32_t i = 0; i < strings->Count(); ++i) Line(indent + 2, StringText(strings->Strings(i)));
      CloseLine(')');
    }
    for (const TDefinedProp* d : obj->ClassType()->DefinedProperties()) {
      if (d->WriteInteger) {
        Line(indent, prefix + d->Name + " = " + std::to_string(d->WriteInteger(obj)));
        continue;
      }
      if (!d->WriteBinary || (d->HasData && !d->HasData(obj))) continue;
      TMemoryStream data;
      d->WriteBinary(obj, &data);
      WriteBinary(prefix + d->Name, data, indent);
    }
    path_.pop_back();
  }

  void WriteObjectValue(TObject* v, const std::string& name, int indent) {
    if (!v) return;
    auto* component = dynamic_cast<TComponent*>(v);
    if (component && !component->ComponentStyle().Contains(csSubComponent)) {
      std::string reference = ReferenceName(component);
      if (!reference.empty()) Line(indent, name + " = " + reference);
    } else if (auto* collection = dynamic_cast<TCollection*>(v)) {
      if (collection->Count() == 0) return;
      Line(indent, name + " = <");
      for (int32_t i = 0; i < collection->Count(); ++i) {
        Line(indent + 2, "item");
        WriteProperties(collection->Items(i), "", indent + 4);
        Line(indent + 2, "end");
      }
      CloseLine('>');
    } else {
      WriteProperties(v, name + ".", indent);
    }
  }

  void WriteBinary(const std::string& name, TMemoryStream& data, int indent) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const uint8_t*>(data.Memory());
    size_t size = static_cast<size_t>(data.Size());
    Line(indent, name + " = {");
    for (size_t at = 0; at < size; at += 32) {
      std::string line;
      for (size_t i = at; i < std::min(size, at + 32); ++i) {
        line += kHex[bytes[i] >> 4];
        line += kHex[bytes[i] & 15];
      }
      Line(indent + 2, line);
    }
    CloseLine('}');
  }

  std::string ReferenceName(TComponent* c) const {
    if (c == root_) return root_->Name();
    if (c->Name().empty()) return {};
    if (c->Owner() == root_ || !c->Owner()) return c->Name();
    if (c->Owner()->Name().empty()) return {};
    return c->Owner()->Name() + "." + c->Name();
  }

  static std::string OrdinalText(PPropInfo p, int64_t v) {
    switch (p->Kind()) {
      case tkEnumeration:
        return GetEnumName(p->PropType, v);
      case tkSet: {
        std::string s = "[";
        PTypeInfo e = p->PropType->CompType;
        for (int64_t i = e->MinValue; i <= e->MaxValue && i < 64; ++i) {
          if (!((static_cast<uint64_t>(v) >> i) & 1u)) continue;
          if (s.size() > 1) s += ", ";
          s += GetEnumName(e, i);
        }
        return s + "]";
      }
      case tkChar:
        return StringText(Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(v))));
      default: {
        std::string ident;
        if (TIntToIdent toIdent = FindIntToIdent(p->PropType); toIdent && toIdent(v, ident)) return ident;
        return IntToStr(v);
      }
    }
  }

  // The shortest text that reads back to the same value of the property's own type.
  static std::string FloatText(PPropInfo p, long double v) {
    char buf[64];
    std::to_chars_result r;
    const std::string& type = p->PropType->Name;
    if (type == "Single") r = std::to_chars(buf, buf + sizeof buf, static_cast<float>(v));
    else if (type == "Double" || type == "TDateTime") r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(v));
    else r = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, r.ptr);
    for (char& c : s)
      if (c == 'e') c = 'E';
    return s;
  }

  // 'text' with quotes doubled; control characters as #codes outside the quotes.
  static std::string StringText(std::string_view s) {
    if (s.empty()) return "''";
    std::string out;
    bool quoted = false;
    for (char c : s) {
      auto u = static_cast<unsigned char>(c);
      if (u < 32) {
        if (quoted) out += '\'';
        quoted = false;
        out += '#' + IntToStr(u);
        continue;
      }
      if (!quoted) out += '\'';
      quoted = true;
      out += c;
      if (c == '\'') out += '\'';
    }
    if (quoted) out += '\'';
    return out;
  }

  TComponent* root_;
  std::string out_;
  std::vector<TComponent*> written_;
  std::vector<TObject*> path_;
};

}  // namespace

std::string WriteComponentToText(TComponent* Root) {
  if (!Root) throw EWriteError("No component to write");
  return TTextWriter(Root).Write();
}
