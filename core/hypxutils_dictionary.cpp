// The key/value dictionary, its JSON and XML writers and the tolerant parser of both forms.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <typeinfo>
#include <utility>

#include "core/hypxutils.h"

namespace {

constexpr int kMaxDepth = 200;  // nesting the parser accepts; deeper text is a syntax error

inline char FoldChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

inline uint32_t ElfStep(uint32_t h, uint32_t unit) {
  h = (h << 4) + unit;
  const uint32_t g = h & 0xF0000000u;
  if (g != 0) {
    h ^= g >> 24;
    h &= ~0xF0000000u;
  }
  return h;
}

// The ELF hash of the key's UTF-16 code units, with a..z folded when Fold.
uint32_t ElfHash(std::string_view Key, bool Fold) {
  uint32_t h = 0;
  size_t i = 0;
  for (; i < Key.size(); ++i) {
    const auto c = static_cast<unsigned char>(Key[i]);
    if (c >= 0x80) break;
    h = ElfStep(h, static_cast<unsigned char>(Fold ? FoldChar(static_cast<char>(c)) : static_cast<char>(c)));
  }
  if (i < Key.size()) {  // the rest holds non-ASCII text: hash its UTF-16 form
    std::string rest(Key.substr(i));
    if (Fold)
      for (char& c : rest) c = FoldChar(c);
    for (char16_t u : Utf8ToUtf16(rest)) h = ElfStep(h, u);
  }
  return h;
}

// ---------------------------------------------------------------------------------------------
// Text of values

// The run-time's general float text (15 significant digits, no trailing zeros, exponent form
// below 1E-4 and from 1E15), with "." as the decimal separator, made from the shortest digits
// that read back as the same double: values that 15 digits hold give exactly the run-time's
// text, the others keep all their digits.
void AppendFloatText(std::string& Out, double V, bool Json) {
  if (!std::isfinite(V)) {
    if (Json) Out += "null";  // JSON has no such numbers
    else Out += std::isnan(V) ? "NAN" : (V > 0 ? "INF" : "-INF");
    return;
  }
  if (V == 0) {
    Out += '0';
    return;
  }
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, V, std::chars_format::scientific);
  std::string_view s(buf, static_cast<size_t>(r.ptr - buf));
  if (s.front() == '-') {
    Out += '-';
    s.remove_prefix(1);
  }
  const size_t e = s.find('e');
  std::string digits;
  for (char c : s.substr(0, e))
    if (c != '.') digits += c;
  int exp10 = 0;
  std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), exp10);
  const int E = exp10 + 1;  // the value is 0.digits x 10^E
  const int n = static_cast<int>(digits.size());
  if (E > 15 || E < -3) {
    Out += digits[0];
    if (n > 1) {
      Out += '.';
      Out.append(digits, 1);
    }
    Out += 'E';
    Out += std::to_string(exp10);
  } else if (E <= 0) {
    Out += "0.";
    Out.append(static_cast<size_t>(-E), '0');
    Out += digits;
  } else if (E >= n) {
    Out += digits;
    Out.append(static_cast<size_t>(E - n), '0');
  } else {
    Out.append(digits, 0, static_cast<size_t>(E));
    Out += '.';
    Out.append(digits, static_cast<size_t>(E));
  }
}

void AppendInt(std::string& Out, int32_t V) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, V);
  Out.append(buf, r.ptr);
}

constexpr std::array<bool, 256> MakeJsonEscapes() {
  std::array<bool, 256> t{};
  for (int c = 0; c < 0x20; ++c) t[c] = true;
  t['"'] = t['\\'] = true;
  return t;
}
constexpr std::array<bool, 256> kJsonEscape = MakeJsonEscapes();

// The length of the well-formed UTF-8 sequence at S[i] (no overlong forms, surrogates or code
// points above U+10FFFF), 0 when there is none.
size_t Utf8SequenceAt(std::string_view S, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(S[k]); };
  const unsigned char c = b(i);
  size_t n;
  unsigned char lo = 0x80, hi = 0xBF;  // the bounds of the second byte
  if (c >= 0xC2 && c <= 0xDF) n = 2;
  else if (c >= 0xE0 && c <= 0xEF) n = 3, lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
  else if (c >= 0xF0 && c <= 0xF4) n = 4, lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
  else return 0;
  if (i + n > S.size() || b(i + 1) < lo || b(i + 1) > hi) return 0;
  for (size_t k = 2; k < n; ++k)
    if (b(i + k) < 0x80 || b(i + k) > 0xBF) return 0;
  return n;
}

// A JSON string: quotes, backslashes and control characters escaped, UTF-8 text as it is, and
// each byte that is not part of UTF-8 text as the lone low surrogate U+DC80 + (byte - 0x80), the
// form Python's "surrogateescape" gives such bytes, so that the text stays JSON that other
// readers take and reads back to the same bytes.
void AppendJsonString(std::string& Out, std::string_view S) {
  static constexpr char kHex[] = "0123456789abcdef";
  Out += '"';
  size_t start = 0;
  for (size_t i = 0; i < S.size(); ++i) {
    const auto c = static_cast<unsigned char>(S[i]);
    if (c >= 0x80) {
      const size_t n = Utf8SequenceAt(S, i);
      if (n > 0) {
        i += n - 1;
        continue;
      }
      Out.append(S.data() + start, i - start);
      start = i + 1;
      Out += "\\udc";
      Out += kHex[c >> 4];
      Out += kHex[c & 15];
      continue;
    }
    if (!kJsonEscape[c]) continue;
    Out.append(S.data() + start, i - start);
    start = i + 1;
    switch (c) {
      case '"': Out += "\\\""; break;
      case '\\': Out += "\\\\"; break;
      case '\n': Out += "\\n"; break;
      case '\r': Out += "\\r"; break;
      case '\t': Out += "\\t"; break;
      case '\b': Out += "\\b"; break;
      case '\f': Out += "\\f"; break;
      default:
        Out += "\\u00";
        Out += kHex[c >> 4];
        Out += kHex[c & 15];
    }
  }
  Out.append(S.data() + start, S.size() - start);
  Out += '"';
}

// XML text: & < > " as entities; control characters other than tab and line feed, and any
// character up to a blank at either end (which readers trim), as character references. In a
// Name also the characters that end a name (blanks, ' / = ?) as references, so that any key
// reads back.
void AppendXmlText(std::string& Out, std::string_view S, bool Name = false) {
  size_t first = 0, last = S.size();
  while (first < last && static_cast<unsigned char>(S[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(S[last - 1]) <= 32) --last;
  size_t start = 0;
  for (size_t i = 0; i < S.size(); ++i) {
    const auto c = static_cast<unsigned char>(S[i]);
    const char* entity = nullptr;
    bool reference = false;
    switch (c) {
      case '&': entity = "&amp;"; break;
      case '<': entity = "&lt;"; break;
      case '>': entity = "&gt;"; break;
      case '"': entity = "&quot;"; break;
      default:
        if (c <= 32) reference = i < first || i >= last || (c < 32 && c != '\t' && c != '\n');
        if (Name) reference = reference || c == ' ' || c == '\n' || c == '\'' || c == '/' || c == '=' || c == '?';
    }
    if (!entity && !reference) continue;
    Out.append(S.data() + start, i - start);
    start = i + 1;
    if (entity) {
      Out += entity;
    } else {
      Out += "&#";
      AppendInt(Out, c);
      Out += ';';
    }
  }
  Out.append(S.data() + start, S.size() - start);
}

// Appends the UTF-8 form of a code point (U+FFFD for one that is not a character).
void AppendUtf8(std::string& Out, uint32_t Cp) {
  if (Cp > 0x10FFFF || (Cp >= 0xD800 && Cp <= 0xDFFF)) Cp = 0xFFFD;
  if (Cp < 0x80) {
    Out += static_cast<char>(Cp);
  } else if (Cp < 0x800) {
    Out += static_cast<char>(0xC0 | (Cp >> 6));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  } else if (Cp < 0x10000) {
    Out += static_cast<char>(0xE0 | (Cp >> 12));
    Out += static_cast<char>(0x80 | ((Cp >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (Cp >> 18));
    Out += static_cast<char>(0x80 | ((Cp >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((Cp >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  }
}

// Four hexadecimal digits at S[i..i+3], or -1.
int32_t Hex4(std::string_view S, size_t i) {
  if (i + 4 > S.size()) return -1;
  int32_t v = 0;
  for (size_t k = i; k < i + 4; ++k) {
    const char c = S[k];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return -1;
    v = v * 16 + d;
  }
  return v;
}

// JSON escapes decoded; a backslash before any other character stays, as older texts, which
// escaped only quotes, have it.
std::string UnescapeJson(std::string_view S) {
  std::string out;
  out.reserve(S.size());
  for (size_t i = 0; i < S.size(); ++i) {
    const char c = S[i];
    if (c != '\\' || i + 1 >= S.size()) {
      out += c;
      continue;
    }
    const char e = S[i + 1];
    char plain = 0;
    switch (e) {
      case '"': plain = '"'; break;
      case '\'': plain = '\''; break;
      case '\\': plain = '\\'; break;
      case '/': plain = '/'; break;
      case 'n': plain = '\n'; break;
      case 'r': plain = '\r'; break;
      case 't': plain = '\t'; break;
      case 'b': plain = '\b'; break;
      case 'f': plain = '\f'; break;
      case 'u': {
        int32_t u = Hex4(S, i + 2);
        if (u < 0) break;
        size_t used = 6;
        uint32_t cp = static_cast<uint32_t>(u);
        if (u >= 0xD800 && u <= 0xDBFF && i + 7 < S.size() && S[i + 6] == '\\' && S[i + 7] == 'u') {
          const int32_t lo = Hex4(S, i + 8);
          if (lo >= 0xDC00 && lo <= 0xDFFF) {
            cp = 0x10000 + ((static_cast<uint32_t>(u) - 0xD800) << 10) + (static_cast<uint32_t>(lo) - 0xDC00);
            used = 12;
          }
        }
        if (cp >= 0xDC80 && cp <= 0xDCFF) out += static_cast<char>(cp - 0xDC00);  // an escaped byte
        else AppendUtf8(out, cp);
        i += used - 1;
        continue;
      }
      default: break;
    }
    if (plain) {
      out += plain;
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

// XML entities (&amp; &lt; &gt; &quot; &apos;, &#N; and &#xN;) and the older \" decoded; an
// ampersand that starts none of them stays.
std::string DecodeXml(std::string_view S) {
  std::string out;
  out.reserve(S.size());
  for (size_t i = 0; i < S.size(); ++i) {
    const char c = S[i];
    if (c == '\\' && i + 1 < S.size() && S[i + 1] == '"') {
      out += '"';
      ++i;
      continue;
    }
    if (c != '&') {
      out += c;
      continue;
    }
    const size_t semi = S.find(';', i + 1);
    if (semi == std::string_view::npos || semi - i > 12) {
      out += c;
      continue;
    }
    const std::string_view name = S.substr(i + 1, semi - i - 1);
    char plain = 0;
    if (name == "amp") plain = '&';
    else if (name == "lt") plain = '<';
    else if (name == "gt") plain = '>';
    else if (name == "quot") plain = '"';
    else if (name == "apos") plain = '\'';
    if (plain) {
      out += plain;
      i = semi;
      continue;
    }
    if (name.size() >= 2 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      const std::string_view digits = name.substr(hex ? 2 : 1);
      uint32_t cp = 0;
      const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
      if (!digits.empty() && r.ec == std::errc() && r.ptr == digits.data() + digits.size()) {
        AppendUtf8(out, cp);
        i = semi;
        continue;
      }
    }
    out += c;
  }
  return out;
}

void AppendJsonValue(std::string& Out, const TObject* V);
void AppendXmlValue(std::string& Out, std::string_view Key, const TObject* V);

}  // namespace

// ---------------------------------------------------------------------------------------------
// Primes and the key hash

bool IsPrime(int32_t N) {
  if (N < 2) return false;
  if (N < 4) return true;
  if (N % 2 == 0) return false;
  for (int64_t d = 3; d * d <= N; d += 2)
    if (N % d == 0) return false;
  return true;
}

int32_t NextPrime(int32_t N) {
  if (N < 2) return 2;
  while (!IsPrime(N)) ++N;
  return N;
}

uint32_t ElfHashMod(std::string_view Key, uint32_t N) { return N == 0 ? 0 : ElfHash(Key, false) % N; }

// ---------------------------------------------------------------------------------------------
// TPXDictionary

TPXDictionary::TPXDictionary(int32_t BucketCount, bool CaseSensitive)
    : FBucketCount(BucketCount), FCaseSensitive(CaseSensitive) {}

TPXDictionary::~TPXDictionary() = default;

int32_t TPXDictionary::BucketCount() const { return IsPrime(FBucketCount) ? FBucketCount : NextPrime(FBucketCount); }

void TPXDictionary::EnsureBuckets() {
  if (!FBuckets.empty()) return;
  FBucketCount = BucketCount();
  FBuckets.resize(static_cast<size_t>(FBucketCount));
}

uint32_t TPXDictionary::HashOf(std::string_view Key) const { return ElfHash(Key, !FCaseSensitive); }

int32_t TPXDictionary::BucketOf(std::string_view Key) const {
  return static_cast<int32_t>(HashOf(Key) % static_cast<uint32_t>(BucketCount()));
}

bool TPXDictionary::SameKey(std::string_view A, std::string_view B) const {
  if (A.size() != B.size()) return false;
  if (FCaseSensitive) return A == B;
  for (size_t i = 0; i < A.size(); ++i)
    if (FoldChar(A[i]) != FoldChar(B[i])) return false;
  return true;
}

std::vector<TPXDictionaryBucket>* TPXDictionary::ChainOf(uint32_t Hash) {
  return FBuckets.empty() ? nullptr : &FBuckets[Hash % FBuckets.size()];
}

const std::vector<TPXDictionaryBucket>* TPXDictionary::ChainOf(uint32_t Hash) const {
  return FBuckets.empty() ? nullptr : &FBuckets[Hash % FBuckets.size()];
}

TPXDictionaryBucket* TPXDictionary::Find(std::string_view Key, uint32_t Hash) {
  return const_cast<TPXDictionaryBucket*>(std::as_const(*this).Find(Key, Hash));
}

const TPXDictionaryBucket* TPXDictionary::Find(std::string_view Key, uint32_t Hash) const {
  const auto* chain = ChainOf(Hash);
  if (!chain) return nullptr;
  for (const TPXDictionaryBucket& e : *chain)
    if (e.Hash == Hash && SameKey(e.Key, Key)) return &e;
  return nullptr;
}

void TPXDictionary::Append(std::string_view Key, uint32_t Hash, std::unique_ptr<TObject> Value) {
  EnsureBuckets();
  ChainOf(Hash)->push_back(TPXDictionaryBucket{std::string(Key), std::move(Value), Hash});
  ++FCount;
}

void TPXDictionary::Clear() {
  for (auto& chain : FBuckets) chain.clear();
  FCount = 0;
}

void TPXDictionary::InsertObject(std::string_view Key, std::unique_ptr<TObject> Value) {
  const uint32_t h = HashOf(Key);
  if (TPXDictionaryBucket* e = Find(Key, h)) {
    e->Value = std::move(Value);
    return;
  }
  Append(Key, h, std::move(Value));
}

void TPXDictionary::InsertString(std::string_view Key, std::string_view Value) {
  InsertObject(Key, std::make_unique<TPXDictionaryValueWideString>(std::string(Value)));
}

void TPXDictionary::InsertInteger(std::string_view Key, int32_t Value) {
  InsertObject(Key, std::make_unique<TPXDictionaryValueInteger>(Value));
}

void TPXDictionary::InsertDictionary(std::string_view Key, std::unique_ptr<TPXDictionary> Value) {
  InsertObject(Key, std::move(Value));
}

void TPXDictionary::InsertList(std::string_view Key, std::unique_ptr<TObjectList> Value) {
  InsertObject(Key, std::move(Value));
}

TObject* TPXDictionary::FindNested(std::string_view Key) const {
  for (const auto& chain : FBuckets)
    for (const TPXDictionaryBucket& e : chain) {
      if (const auto* d = dynamic_cast<const TPXDictionary*>(e.Value.get())) {
        if (TObject* v = d->GetValue(Key, true, true)) return v;
      } else if (const auto* list = dynamic_cast<const TObjectList*>(e.Value.get())) {
        for (int32_t i = 0; i < list->Count(); ++i)
          if (const auto* item = dynamic_cast<const TPXDictionary*>(list->Items(i)))
            if (TObject* v = item->GetValue(Key, true, true)) return v;
      }
    }
  return nullptr;
}

TObject* TPXDictionary::GetValue(std::string_view Key, bool ReturnNil, bool SearchNested) const {
  if (const TPXDictionaryBucket* e = Find(Key, HashOf(Key))) return e->Value.get();
  if (SearchNested)
    if (TObject* v = FindNested(Key)) return v;
  if (ReturnNil) return nullptr;
  throw EPXException(Format("Key \"%s\" not found", std::string(Key)));
}

std::string TPXDictionary::GetString(std::string_view Key, bool SearchNested) const {
  const TObject* v = GetValue(Key, false, SearchNested);
  if (v) {
    const std::type_info& t = typeid(*v);
    if (t == typeid(TPXDictionaryValueWideString)) return static_cast<const TPXDictionaryValueWideString*>(v)->Value;
    if (t == typeid(TPXDictionaryValueInteger)) return IntToStr(static_cast<const TPXDictionaryValueInteger*>(v)->Value);
    if (t == typeid(TPXDictionaryValueDouble)) {
      std::string s;
      AppendFloatText(s, static_cast<const TPXDictionaryValueDouble*>(v)->Value, false);
      return s;
    }
    if (const auto* d = dynamic_cast<const TPXDictionary*>(v)) return d->GetString("#text", true);
  }
  throw EInvalidCast("Invalid class typecast");
}

bool TPXDictionary::ContainsKey(std::string_view Key, bool SearchNested) const {
  return GetValue(Key, true, SearchNested) != nullptr;
}

bool TPXDictionary::Remove(std::string_view Key, std::unique_ptr<TObject>* Detached) {
  const uint32_t h = HashOf(Key);
  auto* chain = ChainOf(h);
  if (!chain) return false;
  for (auto it = chain->begin(); it != chain->end(); ++it)
    if (it->Hash == h && SameKey(it->Key, Key)) {
      std::unique_ptr<TObject> value = std::move(it->Value);
      chain->erase(it);
      --FCount;
      if (Detached) *Detached = std::move(value);
      return true;
    }
  return false;
}

bool TPXDictionary::Next(TPXStrStrEnumerator& Enumerator) {
  size_t b = static_cast<size_t>(std::max(Enumerator.BucketIndex, 0));
  size_t i = Enumerator.Current ? static_cast<size_t>(Enumerator.ItemIndex) + 1 : 0;
  for (; b < FBuckets.size(); ++b, i = 0)
    if (i < FBuckets[b].size()) {
      Enumerator.BucketIndex = static_cast<int32_t>(b);
      Enumerator.ItemIndex = static_cast<int32_t>(i);
      Enumerator.Current = &FBuckets[b][i];
      return true;
    }
  Enumerator = TPXStrStrEnumerator{};
  return false;
}

// ---------------------------------------------------------------------------------------------
// Text forms

namespace {

void AppendJsonValue(std::string& Out, const TObject* V) {
  if (!V) {
    Out += "null";
    return;
  }
  const std::type_info& t = typeid(*V);
  if (t == typeid(TPXDictionaryValueWideString)) {
    AppendJsonString(Out, static_cast<const TPXDictionaryValueWideString*>(V)->Value);
  } else if (t == typeid(TPXDictionaryValueInteger)) {
    AppendInt(Out, static_cast<const TPXDictionaryValueInteger*>(V)->Value);
  } else if (t == typeid(TPXDictionaryValueDouble)) {
    AppendFloatText(Out, static_cast<const TPXDictionaryValueDouble*>(V)->Value, true);
  } else if (t == typeid(TPXDictionaryValueBoolean)) {
    Out += static_cast<const TPXDictionaryValueBoolean*>(V)->Value ? "true" : "false";
  } else if (const auto* d = dynamic_cast<const TPXDictionary*>(V)) {
    std::string text;
    d->Dump(0, text);
    Out += text;
  } else if (const auto* list = dynamic_cast<const TObjectList*>(V)) {
    Out += '[';
    for (int32_t i = 0; i < list->Count(); ++i) {
      if (i > 0) Out += ',';
      AppendJsonValue(Out, list->Items(i));
    }
    Out += ']';
  } else {
    Out += V->ClassName();
  }
}

// <Key>value</Key>; a list repeats the element for each item, so that readers see each one.
void AppendXmlValue(std::string& Out, std::string_view Key, const TObject* V) {
  if (const auto* list = dynamic_cast<const TObjectList*>(V)) {
    for (int32_t i = 0; i < list->Count(); ++i) AppendXmlValue(Out, Key, list->Items(i));
    return;
  }
  Out += '<';
  AppendXmlText(Out, Key, true);
  Out += '>';
  if (!V) {
  } else if (typeid(*V) == typeid(TPXDictionaryValueWideString)) {
    AppendXmlText(Out, static_cast<const TPXDictionaryValueWideString*>(V)->Value);
  } else if (typeid(*V) == typeid(TPXDictionaryValueDouble)) {
    AppendFloatText(Out, static_cast<const TPXDictionaryValueDouble*>(V)->Value, false);
  } else if (const auto* d = dynamic_cast<const TPXDictionary*>(V)) {
    std::string text;
    d->Dump(1, text);
    Out += text;
  } else {
    AppendJsonValue(Out, V);  // integers, Booleans and other objects read as in JSON
  }
  Out += "</";
  AppendXmlText(Out, Key, true);
  Out += '>';
}

}  // namespace

void TPXDictionary::DumpJSON(std::string& Out) const {
  Out += '{';
  bool first = true;
  for (const auto& chain : FBuckets)
    for (const TPXDictionaryBucket& e : chain) {
      if (!first) Out += ',';
      first = false;
      AppendJsonString(Out, e.Key);
      Out += ':';
      AppendJsonValue(Out, e.Value.get());
    }
  Out += '}';
}

void TPXDictionary::DumpXML(std::string& Out) const {
  for (const auto& chain : FBuckets)
    for (const TPXDictionaryBucket& e : chain) AppendXmlValue(Out, e.Key, e.Value.get());
}

void TPXDictionary::Dump(int32_t Format, std::string& Text) const {
  if (Format != 0 && Format != 1) return;
  std::string out;
  out.reserve(static_cast<size_t>(FCount) * 24 + 2);
  if (Format == 0) DumpJSON(out);
  else DumpXML(out);
  Text = std::move(out);
}

void TPXDictionary::Assign(const TPXDictionary* Source) {
  std::string text;
  if (Source) Source->Dump(0, text);
  Clear();
  if (Source) Parse(text);
}

// ---------------------------------------------------------------------------------------------
// The parser

namespace {

constexpr std::array<std::array<bool, 256>, 2> MakeDelimiters() {
  std::array<std::array<bool, 256>, 2> t{};
  for (char c : {'"', ',', ':', '[', ']', '{', '}'}) t[0][static_cast<unsigned char>(c)] = true;
  for (char c : {'"', '\'', '/', '<', '=', '>', '?'}) t[1][static_cast<unsigned char>(c)] = true;
  return t;
}
constexpr auto kDelimiters = MakeDelimiters();

// Blanks are space, CR, LF and backspace; a tab is an ordinary character.
inline bool IsBlank(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\b'; }

}  // namespace

class TPXDictionaryParser {
 public:
  explicit TPXDictionaryParser(std::string_view Text) : p_(Text.data()), end_(Text.data() + Text.size()) {}

  bool Run(TPXDictionary& Target) {
    const char first = PeekNonBlank();
    if (first == '{') {
      mode_ = 0;
      ParseJSONObject(Target, 0);
    } else {
      mode_ = 1;
      if (first != '<') return false;
      ParseXMLElement(Target, 0);
    }
    return !error_;
  }

 private:
  bool More() const { return p_ < end_; }
  char NextNonBlank() {
    while (p_ < end_ && IsBlank(*p_)) ++p_;
    return p_ < end_ ? *p_++ : ' ';
  }
  char PeekNonBlank() const {
    const char* q = p_;
    while (q < end_ && IsBlank(*q)) ++q;
    return q < end_ ? *q : ' ';
  }
  bool IsDelimiter(char c) const { return kDelimiters[static_cast<size_t>(mode_)][static_cast<unsigned char>(c)]; }
  std::string_view ReadToken() {
    while (p_ < end_ && IsBlank(*p_)) ++p_;
    const char* start = p_;
    while (p_ < end_ && !IsBlank(*p_) && !IsDelimiter(*p_)) ++p_;
    return {start, static_cast<size_t>(p_ - start)};
  }
  std::string ReadName() {
    const std::string_view name = ReadToken();
    return mode_ == 1 && name.find('&') != std::string_view::npos ? DecodeXml(name) : std::string(name);
  }
  void SetError() { error_ = true; }

  // Text between double or single quotes; a backslash takes the next character with it, and an
  // unterminated text runs to the end.
  std::string ReadQuoted() {
    const char q = NextNonBlank();
    if (q != '"' && q != '\'') {
      SetError();
      return {};
    }
    const char* start = p_;
    bool escaped = false;
    while (p_ < end_ && *p_ != q) {
      if (*p_ == '\\') {
        escaped = true;
        if (p_ + 1 < end_) ++p_;
      }
      ++p_;
    }
    const std::string_view raw(start, static_cast<size_t>(p_ - start));
    if (p_ < end_) ++p_;  // the closing quote
    if (mode_ == 0) return escaped ? UnescapeJson(raw) : std::string(raw);
    return raw.find_first_of("&\\") != std::string_view::npos ? DecodeXml(raw) : std::string(raw);
  }

  // Repeated keys become lists of their values in order of appearance.
  void AddOrAppend(TPXDictionary& Dict, std::string_view Key, std::unique_ptr<TObject> Value) {
    const uint32_t h = Dict.HashOf(Key);
    if (TPXDictionaryBucket* e = Dict.Find(Key, h)) {
      if (auto* list = dynamic_cast<TObjectList*>(e->Value.get())) {
        list->Add(Value.get());
        Value.release();
        return;
      }
      std::unique_ptr<TObject> old;
      Dict.Remove(Key, &old);
      auto list = std::make_unique<TObjectList>(true);
      list->Add(old.get());
      old.release();
      list->Add(Value.get());
      Value.release();
      Dict.Append(Key, h, std::move(list));
      return;
    }
    Dict.Append(Key, h, std::move(Value));
  }

  // JSON

  void ParseJSONObject(TPXDictionary& Target, int Depth) {
    if (NextNonBlank() != '{') return SetError();
    if (Depth > kMaxDepth) return SetError();
    while (More() && !error_ && PeekNonBlank() != '}') {
      const std::string key = ReadQuoted();
      if (error_) break;
      if (NextNonBlank() != ':') return SetError();
      std::unique_ptr<TObject> value = ParseJSONValue(Depth);
      if (error_) break;  // a value cut short by the error is dropped
      AddOrAppend(Target, key, std::move(value));
      const char c = PeekNonBlank();
      if (c == '}') break;
      if (c != ',') return SetError();
      NextNonBlank();
    }
    if (!error_ && NextNonBlank() != '}') SetError();
  }

  // Depth counts lists and dictionaries, but a dictionary that is an item of a list takes the
  // list's level: repeated XML elements (a list of dictionaries) nest no deeper than single ones,
  // so that whatever the XML form reads, the JSON form reads back.
  std::unique_ptr<TObject> ParseJSONValue(int Depth, bool InList = false) {
    switch (PeekNonBlank()) {
      case '"': return std::make_unique<TPXDictionaryValueWideString>(ReadQuoted());
      case '[': return ParseJSONArray(Depth + 1);
      case '{': {
        auto d = std::make_unique<TPXDictionary>(103, false);
        ParseJSONObject(*d, InList ? Depth : Depth + 1);
        return d;
      }
      default: return ParseBareValue();
    }
  }

  std::unique_ptr<TObject> ParseJSONArray(int Depth) {
    auto list = std::make_unique<TObjectList>(true);
    if (NextNonBlank() != '[' || Depth > kMaxDepth) {
      SetError();
      return list;
    }
    while (More() && !error_ && PeekNonBlank() != ']') {
      std::unique_ptr<TObject> value = ParseJSONValue(Depth, true);
      if (error_) break;
      list->Add(value.get());
      value.release();
      const char c = PeekNonBlank();
      if (c == ']') break;
      if (c != ',') {
        SetError();
        return list;
      }
      NextNonBlank();
    }
    if (!error_ && NextNonBlank() != ']') SetError();
    return list;
  }

  // true and false, integers, and doubles for a token with ".", "e" or "E" or one beyond the
  // 32-bit range; anything else is the integer of the run-time's conversion, 0 by default.
  std::unique_ptr<TObject> ParseBareValue() {
    const std::string_view t = ReadToken();
    if (t == "true") return std::make_unique<TPXDictionaryValueBoolean>(true);
    if (t == "false") return std::make_unique<TPXDictionaryValueBoolean>(false);
    const char* b = t.data();
    const char* e = b + t.size();
    int32_t i = 0;
    auto ri = std::from_chars(b, e, i);
    if (ri.ec == std::errc() && ri.ptr == e) return std::make_unique<TPXDictionaryValueInteger>(i);
    const char* digits = (b < e && (*b == '-' || *b == '+')) ? b + 1 : b;
    const bool integral = digits < e && std::all_of(digits, e, [](char c) { return c >= '0' && c <= '9'; });
    if (integral || t.find_first_of(".eE") != std::string_view::npos) {
      double d = 0;
      const auto rd = std::from_chars(b, e, d);
      if (rd.ec == std::errc() && rd.ptr == e) return std::make_unique<TPXDictionaryValueDouble>(d);
    }
    if (t.find('.') != std::string_view::npos) {
      const double d = TextToFloatDef(t, 0);
      return std::make_unique<TPXDictionaryValueDouble>(std::isfinite(d) ? d : 0);
    }
    return std::make_unique<TPXDictionaryValueInteger>(StrToIntDef(t, 0));
  }

  // XML

  std::unique_ptr<TPXDictionary> ParseAttributes() {
    auto attributes = std::make_unique<TPXDictionary>(103, false);
    while (More() && !error_) {
      const char c = PeekNonBlank();
      if (c == '/' || c == '>' || c == '?') break;
      const std::string name = ReadName();
      if (NextNonBlank() != '=') {
        SetError();
        break;
      }
      const std::string value = ReadQuoted();
      if (!error_) attributes->InsertString(name, value);
    }
    return attributes;
  }

  // Depth counts as in JSON: an element's attributes lie one level below Target, its content two.
  void ParseXMLElement(TPXDictionary& Target, int Depth) {
    if (Depth + 2 > kMaxDepth) return SetError();
    std::string text;
    while (More() && !error_) {
      const char* save = p_;
      if (NextNonBlank() != '<') {
        // Text, with the blanks inside it, up to and including that character.
        text.append(save, static_cast<size_t>(p_ - save));
        continue;
      }
      if (More() && *p_ == '/') {  // the enclosing element's end tag
        p_ = save;
        break;
      }
      if (More() && *p_ == '?') {
        ++p_;
        const std::string name = ReadName();
        AddOrAppend(Target, name, ParseAttributes());
        if (NextNonBlank() != '?' || NextNonBlank() != '>') SetError();
        continue;
      }
      const std::string name = ReadName();
      std::unique_ptr<TPXDictionary> attributes = ParseAttributes();
      TPXDictionary* element = attributes.get();
      AddOrAppend(Target, name, std::move(attributes));
      if (error_) break;
      const char c = NextNonBlank();
      if (c == '/') {
        if (NextNonBlank() != '>') SetError();
      } else if (c == '>') {
        auto content = std::make_unique<TPXDictionary>(103, false);
        ParseXMLElement(*content, Depth + 2);
        element->InsertDictionary("#content", std::move(content));
        if (error_) break;
        if (NextNonBlank() == '<' && NextNonBlank() == '/') {
          // A closing name that differs is no error; the ">" is taken only after the right one.
          if (ReadName() == name) {
            const char* before = p_;
            if (NextNonBlank() != '>') p_ = before;
          }
        } else {
          SetError();  // the text ended inside the element
        }
      } else {
        SetError();  // the text ended inside the tag
      }
    }
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
    if (first < last) {
      const std::string_view trimmed(text.data() + first, last - first);
      Target.InsertString("#text", trimmed.find_first_of("&\\") != std::string_view::npos ? DecodeXml(trimmed)
                                                                                          : std::string(trimmed));
    }
  }

  const char* p_;
  const char* end_;
  bool error_ = false;
  int mode_ = 0;
};

bool TPXDictionary::Parse(std::string_view Text) {
  TPXDictionaryParser parser(Text);
  return parser.Run(*this);
}
