// TList, TStrings and TStringList.
#include "platform/rtl/Classes_lists.h"

#include <algorithm>
#include <utility>

#include "platform/rtl/Classes_streams.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

PX_CLASS_INFO(TList, TObject)
PX_CLASS_INFO(TStrings, TPersistent)
PX_CLASS_INFO(TStringList, TStrings)

namespace {

constexpr const char* SListIndexError = "List index out of bounds (%d)";
constexpr const char* SListCapacityError = "List capacity out of bounds (%d)";
constexpr const char* SListCountError = "List count out of bounds (%d)";
constexpr const char* SSortedListError = "Operation not allowed on sorted list";
constexpr const char* SDuplicateString = "String list does not allow duplicates";

// Quicksort over indices. Cmp(i, j) compares the items at i and j, Swap(i, j) exchanges
// them; the pivot's index follows it through the exchanges. The scans are bounded by the
// range, so a comparison that is not a consistent order cannot run outside the list, and the
// smaller part is sorted first so the recursion stays shallow.
template <class Cmp, class Swap>
void QuickSortIndices(int32_t L, int32_t R, const Cmp& cmp, const Swap& swap) {
  while (L < R) {
    int32_t I = L, J = R, P = L + (R - L) / 2;
    do {
      while (I < R && cmp(I, P) < 0) ++I;
      while (J > L && cmp(J, P) > 0) --J;
      if (I <= J) {
        if (I != J) swap(I, J);
        if (P == I) P = J;
        else if (P == J) P = I;
        ++I;
        --J;
      }
    } while (I <= J);
    if (J - L < R - I) {
      if (L < J) QuickSortIndices(L, J, cmp, swap);
      L = I;
    } else {
      if (I < R) QuickSortIndices(I, R, cmp, swap);
      R = J;
    }
  }
}

// Runs f between BeginUpdate and EndUpdate, ending the update also when f raises.
template <class F>
void WithUpdate(TStrings& s, F&& f) {
  s.BeginUpdate();
  try {
    f();
  } catch (...) {
    s.EndUpdate();
    throw;
  }
  s.EndUpdate();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TList

TList::~TList() { Clear(); }

void TList::Error(const char* Msg, int64_t Data) { throw EListError(Format(Msg, Data)); }

int32_t TList::Add(void* Item) {
  const int32_t index = Count();
  Insert(index, Item);
  return index;
}

void TList::Insert(int32_t Index, void* Item) {
  if (Index < 0 || Index > Count()) Error(SListIndexError, Index);
  if (Count() >= MaxListSize) Error(SListCapacityError, int64_t{Count()} + 1);
  items_.insert(items_.begin() + Index, Item);
  if (Item) Notify(Item, lnAdded);
}

void TList::Delete(int32_t Index) {
  void* item = Get(Index);
  items_.erase(items_.begin() + Index);
  if (item) Notify(item, lnDeleted);
}

int32_t TList::Remove(void* Item) {
  const int32_t index = IndexOf(Item);
  if (index >= 0) Delete(index);
  return index;
}

void* TList::Extract(void* Item) {
  const int32_t index = IndexOf(Item);
  if (index < 0) return nullptr;
  items_.erase(items_.begin() + index);
  Notify(Item, lnExtracted);
  return Item;
}

int32_t TList::IndexOf(void* Item) const {
  auto it = std::find(items_.begin(), items_.end(), Item);
  return it == items_.end() ? -1 : static_cast<int32_t>(it - items_.begin());
}

void TList::Exchange(int32_t Index1, int32_t Index2) {
  if (Index1 < 0 || Index1 >= Count()) Error(SListIndexError, Index1);
  if (Index2 < 0 || Index2 >= Count()) Error(SListIndexError, Index2);
  std::swap(items_[Index1], items_[Index2]);
}

void TList::Move(int32_t CurIndex, int32_t NewIndex) {
  if (CurIndex == NewIndex) return;
  if (NewIndex < 0 || NewIndex >= Count()) Error(SListIndexError, NewIndex);
  if (CurIndex < 0 || CurIndex >= Count()) Error(SListIndexError, CurIndex);
  auto b = items_.begin();
  if (CurIndex < NewIndex) std::rotate(b + CurIndex, b + CurIndex + 1, b + NewIndex + 1);
  else std::rotate(b + NewIndex, b + CurIndex, b + CurIndex + 1);
}

void TList::Sort(TListSortCompare Compare) {
  if (!Compare || Count() < 2) return;
  QuickSortIndices(
      0, Count() - 1, [&](int32_t i, int32_t j) { return Compare(items_[i], items_[j]); },
      [&](int32_t i, int32_t j) { std::swap(items_[i], items_[j]); });
}

void TList::Pack() { items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end()); }

void TList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void TList::SetCount(int32_t NewCount) {
  if (NewCount < 0 || NewCount > MaxListSize) Error(SListCountError, NewCount);
  if (NewCount >= Count()) {
    items_.resize(static_cast<size_t>(NewCount), nullptr);
    return;
  }
  for (int32_t i = Count() - 1; i >= NewCount; --i) Delete(i);
}

void TList::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity < Count() || NewCapacity > MaxListSize) Error(SListCapacityError, NewCapacity);
  if (static_cast<size_t>(NewCapacity) > items_.capacity()) {
    items_.reserve(static_cast<size_t>(NewCapacity));
  } else if (static_cast<size_t>(NewCapacity) < items_.capacity()) {
    std::vector<void*> v;
    v.reserve(static_cast<size_t>(NewCapacity));
    v.assign(items_.begin(), items_.end());
    items_.swap(v);
  }
}

void* TList::Get(int32_t Index) const {
  if (Index < 0 || Index >= Count()) Error(SListIndexError, Index);
  return items_[static_cast<size_t>(Index)];
}

void TList::Put(int32_t Index, void* Item) {
  if (Index < 0 || Index >= Count()) Error(SListIndexError, Index);
  void* old = items_[static_cast<size_t>(Index)];
  if (old == Item) return;
  items_[static_cast<size_t>(Index)] = Item;
  if (old) Notify(old, lnDeleted);
  if (Item) Notify(Item, lnAdded);
}

void TList::Notify(void*, TListNotification) {}

// ---------------------------------------------------------------------------------------------
// Text encodings of text files.

std::string DecodeTextBytes(std::string_view Bytes, TTextEncoding* Found) {
  auto found = [&](TTextEncoding e) {
    if (Found) *Found = e;
  };
  auto starts = [&](std::string_view bom) { return Bytes.substr(0, bom.size()) == bom; };
  if (starts("\xEF\xBB\xBF")) {
    found(teUtf8Bom);
    return BytesToUtf8(Bytes.substr(3));
  }
  const bool le = starts("\xFF\xFE"), be = starts("\xFE\xFF");
  if (le || be) {
    found(le ? teUtf16LE : teUtf16BE);
    std::u16string units;
    units.reserve((Bytes.size() - 2) / 2);
    for (size_t i = 2; i + 1 < Bytes.size(); i += 2) {
      const auto b0 = static_cast<unsigned char>(Bytes[i]), b1 = static_cast<unsigned char>(Bytes[i + 1]);
      units.push_back(static_cast<char16_t>(le ? (b0 | b1 << 8) : (b1 | b0 << 8)));
    }
    return Utf16ToUtf8(units);
  }
  if (IsValidUtf8(Bytes)) {
    found(teUtf8);
    return std::string(Bytes);
  }
  found(teWindows1252);
  return Windows1252ToUtf8(Bytes);
}

std::string EncodeTextBytes(std::string_view Text, TTextEncoding Encoding) {
  switch (Encoding) {
    case teUtf8Bom:
      return "\xEF\xBB\xBF" + std::string(Text);
    case teUtf16LE:
    case teUtf16BE: {
      const std::u16string units = Utf8ToUtf16(Text);
      const bool le = Encoding == teUtf16LE;
      std::string out(le ? "\xFF\xFE" : "\xFE\xFF");
      out.reserve(2 + units.size() * 2);
      for (char16_t u : units) {
        const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        out.push_back(le ? lo : hi);
        out.push_back(le ? hi : lo);
      }
      return out;
    }
    default:
      return std::string(Text);
  }
}

// ---------------------------------------------------------------------------------------------
// TStrings

void TStrings::Error(const char* Msg, int64_t Data) { throw EStringListError(Format(Msg, Data)); }

int TStrings::CompareStrings(std::string_view S1, std::string_view S2) const { return CompareText(S1, S2); }

int32_t TStrings::Add(std::string_view S) {
  const int32_t index = Count();
  Insert(index, S);
  return index;
}

int32_t TStrings::AddObject(std::string_view S, TObject* AObject) {
  const int32_t index = Add(S);
  PutObject(index, AObject);
  return index;
}

void TStrings::AddStrings(TStrings* Source) {
  if (!Source) return;
  // A snapshot, so that adding a list to itself (or to a sorted list) sees the source as it was.
  std::vector<std::pair<std::string, TObject*>> items;
  items.reserve(static_cast<size_t>(Source->Count()));
  for (int32_t i = 0; i < Source->Count(); ++i) items.emplace_back(Source->Get(i), Source->GetObject(i));
  WithUpdate(*this, [&] {
    for (auto& [s, o] : items) AddObject(s, o);
  });
}

void TStrings::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TStrings*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  if (src == this) return;
  WithUpdate(*this, [&] {
    Clear();
    delimiter_ = src->delimiter_;
    quote_char_ = src->quote_char_;
    name_value_separator_ = src->name_value_separator_;
    strict_delimiter_ = src->strict_delimiter_;
    AddStrings(src);
  });
}

void TStrings::BeginUpdate() {
  if (update_count_ == 0) SetUpdateState(true);
  ++update_count_;
}

void TStrings::EndUpdate() {
  if (update_count_ <= 0) return;
  if (--update_count_ == 0) SetUpdateState(false);
}

void TStrings::Exchange(int32_t Index1, int32_t Index2) {
  WithUpdate(*this, [&] {
    const std::string s = Get(Index1);
    TObject* o = GetObject(Index1);
    Put(Index1, Get(Index2));
    PutObject(Index1, GetObject(Index2));
    Put(Index2, s);
    PutObject(Index2, o);
  });
}

void TStrings::Move(int32_t CurIndex, int32_t NewIndex) {
  if (CurIndex == NewIndex) return;
  WithUpdate(*this, [&] {
    const std::string s = Get(CurIndex);
    TObject* o = GetObject(CurIndex);
    PutObject(CurIndex, nullptr);
    Delete(CurIndex);
    InsertObject(NewIndex, s, o);
  });
}

void TStrings::InsertObject(int32_t Index, std::string_view S, TObject* AObject) {
  Insert(Index, S);
  PutObject(Index, AObject);
}

void TStrings::Put(int32_t Index, std::string_view S) {
  TObject* o = GetObject(Index);
  const std::string copy(S);  // S may view the line being replaced
  WithUpdate(*this, [&] {
    PutObject(Index, nullptr);
    Delete(Index);
    InsertObject(Index, copy, o);
  });
}

int32_t TStrings::IndexOf(std::string_view S) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), S) == 0) return i;
  return -1;
}

int32_t TStrings::IndexOfName(std::string_view Name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    const std::string s = Get(i);
    const size_t p = s.find(name_value_separator_);
    if (p != std::string::npos && CompareStrings(std::string_view(s).substr(0, p), Name) == 0) return i;
  }
  return -1;
}

int32_t TStrings::IndexOfObject(TObject* AObject) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (GetObject(i) == AObject) return i;
  return -1;
}

bool TStrings::Equals(TStrings* Strings) const {
  if (!Strings || Strings->Count() != Count()) return false;
  for (int32_t i = 0; i < Count(); ++i)
    if (Get(i) != Strings->Get(i)) return false;
  return true;
}

std::string TStrings::Names(int32_t Index) const {
  const std::string s = Get(Index);
  const size_t p = s.find(name_value_separator_);
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStrings::Values(std::string_view Name) const {
  const int32_t i = IndexOfName(Name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStrings::SetValues(std::string_view Name, std::string_view Value) {
  int32_t i = IndexOfName(Name);
  if (!Value.empty()) {
    std::string line(Name);
    line += name_value_separator_;
    line += Value;
    if (i < 0) i = Add("");
    Put(i, line);
  } else if (i >= 0) {
    Delete(i);
  }
}

std::string TStrings::ValueFromIndex(int32_t Index) const {
  if (Index < 0) return {};
  const std::string s = Get(Index);
  const size_t p = s.find(name_value_separator_);
  return p == std::string::npos ? std::string() : s.substr(p + 1);
}

void TStrings::SetValueFromIndex(int32_t Index, std::string_view Value) {
  if (!Value.empty()) {
    if (Index < 0) Index = Add("");
    std::string line = Names(Index);
    line += name_value_separator_;
    line += Value;
    Put(Index, line);
  } else if (Index >= 0) {
    Delete(Index);
  }
}

std::string TStrings::Text() const {
  std::string out;
  for (int32_t i = 0; i < Count(); ++i) {
    out += Get(i);
    out += "\r\n";
  }
  return out;
}

void TStrings::SetText(std::string_view Value) {
  WithUpdate(*this, [&] {
    Clear();
    size_t p = 0;
    while (p < Value.size()) {
      const size_t e = std::min(Value.find_first_of("\r\n", p), Value.size());
      Add(Value.substr(p, e - p));
      p = e;
      if (p < Value.size() && Value[p] == '\r') ++p;
      if (p < Value.size() && Value[p] == '\n') ++p;
    }
  });
}

namespace {

std::string JoinDelimited(const TStrings& s, char delim, char quote, bool strict) {
  const int32_t n = s.Count();
  if (n == 1 && s.Strings(0).empty()) return std::string(2, quote);
  std::string out;
  for (int32_t i = 0; i < n; ++i) {
    const std::string item = s.Strings(i);
    const bool needsQuotes = std::any_of(item.begin(), item.end(), [&](char c) {
      return c == delim || c == quote || c == '\0' || (!strict && static_cast<unsigned char>(c) <= ' ');
    });
    if (i > 0) out += delim;
    if (needsQuotes && quote != '\0') {
      out += quote;
      for (char c : item) {
        if (c == quote) out += quote;
        out += c;
      }
      out += quote;
    } else {
      out += item;
    }
  }
  return out;
}

void SplitDelimited(TStrings& s, std::string_view v, char delim, char quote, bool strict) {
  auto blank = [&](size_t p) { return !strict && p < v.size() && static_cast<unsigned char>(v[p]) <= ' '; };
  size_t p = 0;
  while (blank(p)) ++p;
  while (p < v.size()) {
    std::string item;
    if (quote != '\0' && v[p] == quote) {
      // A quoted item: doubled quotes stand for one; an unterminated item takes the rest.
      ++p;
      while (p < v.size()) {
        if (v[p] == quote) {
          if (p + 1 < v.size() && v[p + 1] == quote) {
            item += quote;
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += v[p++];
      }
    } else {
      const size_t start = p;
      while (p < v.size() && v[p] != delim && !blank(p)) ++p;
      item.assign(v.substr(start, p - start));
    }
    s.Add(item);
    while (blank(p)) ++p;
    if (p < v.size() && v[p] == delim) {
      if (p + 1 == v.size()) s.Add("");
      ++p;
      while (blank(p)) ++p;
    }
  }
}

}  // namespace

std::string TStrings::CommaText() const { return JoinDelimited(*this, ',', '"', false); }

void TStrings::SetCommaText(std::string_view Value) {
  const std::string copy(Value);
  WithUpdate(*this, [&] {
    Clear();
    SplitDelimited(*this, copy, ',', '"', false);
  });
}

std::string TStrings::DelimitedText() const {
  return JoinDelimited(*this, delimiter_, quote_char_, strict_delimiter_);
}

void TStrings::SetDelimitedText(std::string_view Value) {
  const std::string copy(Value);
  WithUpdate(*this, [&] {
    Clear();
    SplitDelimited(*this, copy, delimiter_, quote_char_, strict_delimiter_);
  });
}

void TStrings::LoadFromFile(std::string_view FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TStrings::LoadFromStream(TStream* Stream) {
  std::string bytes;
  // The size is only a hint: the stream is read to its end.
  const int64_t hint = Stream->Size() - Stream->Position();
  if (hint > 0 && hint < (int64_t{1} << 30)) bytes.reserve(static_cast<size_t>(hint));
  char buf[65536];
  for (;;) {
    const int32_t n = Stream->Read(buf, sizeof buf);
    if (n <= 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  SetText(DecodeTextBytes(bytes));
}

void TStrings::SaveToFile(std::string_view FileName) {
  const std::string text = Text();
  SaveBytesToFile(FileName, text.data(), static_cast<int64_t>(text.size()));
}

void TStrings::SaveToStream(TStream* Stream) {
  const std::string text = Text();
  Stream->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

// ---------------------------------------------------------------------------------------------
// TStringList

TStringList::~TStringList() {
  on_change_ = nullptr;
  on_changing_ = nullptr;
  std::vector<Item> items;
  items.swap(items_);
  if (owns_objects_)
    for (Item& it : items) delete it.Object;
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && on_change_) on_change_(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && on_changing_) on_changing_(this);
}

void TStringList::SetUpdateState(bool Updating) {
  if (Updating) Changing();
  else Changed();
}

int TStringList::CompareStrings(std::string_view S1, std::string_view S2) const {
  return case_sensitive_ ? CompareStr(S1, S2) : CompareText(S1, S2);
}

void TStringList::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= Count()) Error(SListIndexError, Index);
}

int32_t TStringList::Add(std::string_view S) { return AddObject(S, nullptr); }

int32_t TStringList::AddObject(std::string_view S, TObject* AObject) {
  int32_t index = Count();
  if (sorted_ && Find(S, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) throw EStringListError(SDuplicateString);
  }
  InsertItem(index, S, AObject);
  return index;
}

void TStringList::InsertItem(int32_t Index, std::string_view S, TObject* AObject) {
  if (Count() >= MaxListSize) Error(SListCapacityError, int64_t{Count()} + 1);
  Changing();
  items_.insert(items_.begin() + Index, Item{std::string(S), AObject});
  Changed();
}

void TStringList::Insert(int32_t Index, std::string_view S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(int32_t Index, std::string_view S, TObject* AObject) {
  if (sorted_) throw EStringListError(SSortedListError);
  if (Index < 0 || Index > Count()) Error(SListIndexError, Index);
  InsertItem(Index, S, AObject);
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  std::vector<Item> items;
  items.swap(items_);
  // Objects are freed after the list is empty, so their destructors see a consistent list.
  if (owns_objects_)
    for (Item& it : items) delete it.Object;
  Changed();
}

void TStringList::Delete(int32_t Index) {
  CheckIndex(Index);
  Changing();
  TObject* o = items_[static_cast<size_t>(Index)].Object;
  items_.erase(items_.begin() + Index);
  if (owns_objects_) delete o;
  Changed();
}

void TStringList::ExchangeItems(int32_t Index1, int32_t Index2) {
  std::swap(items_[static_cast<size_t>(Index1)], items_[static_cast<size_t>(Index2)]);
}

void TStringList::Exchange(int32_t Index1, int32_t Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  Changing();
  ExchangeItems(Index1, Index2);
  Changed();
}

void TStringList::Move(int32_t CurIndex, int32_t NewIndex) {
  if (CurIndex == NewIndex) return;
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  if (sorted_) throw EStringListError(SSortedListError);
  Changing();
  auto b = items_.begin();
  if (CurIndex < NewIndex) std::rotate(b + CurIndex, b + CurIndex + 1, b + NewIndex + 1);
  else std::rotate(b + NewIndex, b + CurIndex, b + CurIndex + 1);
  Changed();
}

bool TStringList::Find(std::string_view S, int32_t& Index) const {
  bool found = false;
  int32_t L = 0, H = Count() - 1;
  while (L <= H) {
    const int32_t I = L + (H - L) / 2;
    const int c = CompareStrings(items_[static_cast<size_t>(I)].String, S);
    if (c < 0) {
      L = I + 1;
    } else {
      H = I - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != dupAccept) L = I;
      }
    }
  }
  Index = L;
  return found;
}

int32_t TStringList::IndexOf(std::string_view S) const {
  if (!sorted_) return TStrings::IndexOf(S);
  int32_t index;
  return Find(S, index) ? index : -1;
}

std::string TStringList::Get(int32_t Index) const {
  CheckIndex(Index);
  return items_[static_cast<size_t>(Index)].String;
}

TObject* TStringList::GetObject(int32_t Index) const {
  CheckIndex(Index);
  return items_[static_cast<size_t>(Index)].Object;
}

void TStringList::Put(int32_t Index, std::string_view S) {
  if (sorted_) throw EStringListError(SSortedListError);
  CheckIndex(Index);
  Changing();
  items_[static_cast<size_t>(Index)].String.assign(S.data(), S.size());
  Changed();
}

void TStringList::PutObject(int32_t Index, TObject* AObject) {
  CheckIndex(Index);
  Changing();
  items_[static_cast<size_t>(Index)].Object = AObject;
  Changed();
}

void TStringList::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity < Count() || NewCapacity > MaxListSize) Error(SListCapacityError, NewCapacity);
  if (static_cast<size_t>(NewCapacity) > items_.capacity()) items_.reserve(static_cast<size_t>(NewCapacity));
}

void TStringList::SetSorted(bool Value) {
  if (Value == sorted_) return;
  if (Value) Sort();
  sorted_ = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (Value == case_sensitive_) return;
  case_sensitive_ = Value;
  if (sorted_) {
    sorted_ = false;
    Sort();
    sorted_ = true;
  }
}

void TStringList::Sort() {
  if (sorted_ || Count() < 2) return;
  Changing();
  QuickSortIndices(
      0, Count() - 1,
      [&](int32_t i, int32_t j) {
        return CompareStrings(items_[static_cast<size_t>(i)].String, items_[static_cast<size_t>(j)].String);
      },
      [&](int32_t i, int32_t j) { ExchangeItems(i, j); });
  Changed();
}

void TStringList::CustomSort(TStringListSortCompare Compare) {
  if (sorted_ || !Compare || Count() < 2) return;
  Changing();
  QuickSortIndices(
      0, Count() - 1, [&](int32_t i, int32_t j) { return Compare(this, i, j); },
      [&](int32_t i, int32_t j) { ExchangeItems(i, j); });
  Changed();
}
