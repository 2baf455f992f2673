// Lists: TList (pointers), TStrings (the abstract string list) and TStringList.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/Classes_persistent.h"
#include "platform/rtl/Events.h"

class TStream;

// The largest number of items a list may hold (capacity and count beyond it are refused).
inline constexpr int32_t MaxListSize = INT32_MAX / 16;

// ---------------------------------------------------------------------------------------------
// TList: a list of untyped pointers. The list never owns its items; descendants that do
// (TObjectList) act on the notifications.

enum class TListNotification { lnAdded, lnExtracted, lnDeleted };
using enum TListNotification;

using TListSortCompare = int (*)(void* Item1, void* Item2);

class TList : public TObject {
  PX_CLASS(TList)
 public:
  TList() = default;
  // Notifications from the destruction reach TList::Notify only (C++ destructors do not
  // dispatch virtually); a descendant that acts on lnDeleted calls Clear in its destructor.
  ~TList() override;

  int32_t Add(void* Item);
  void Insert(int32_t Index, void* Item);
  void Delete(int32_t Index);
  // Deletes the first occurrence; returns its former index or -1.
  int32_t Remove(void* Item);
  // Removes the first occurrence without deleting it (lnExtracted); nullptr when absent.
  void* Extract(void* Item);
  int32_t IndexOf(void* Item) const;
  void Exchange(int32_t Index1, int32_t Index2);
  void Move(int32_t CurIndex, int32_t NewIndex);
  // Sorts with Compare (<0, 0, >0). Equal items may change order.
  void Sort(TListSortCompare Compare);
  // Removes the nil items.
  void Pack();
  virtual void Clear();
  void* First() const { return Get(0); }
  void* Last() const { return Get(Count() - 1); }

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Growing adds nil items; shrinking deletes the items beyond (with notifications).
  void SetCount(int32_t NewCount);
  int32_t Capacity() const { return static_cast<int32_t>(items_.capacity()); }
  void SetCapacity(int32_t NewCapacity);

  void* Get(int32_t Index) const;
  void Put(int32_t Index, void* Item);
  void* Items(int32_t Index) const { return Get(Index); }
  void SetItems(int32_t Index, void* Item) { Put(Index, Item); }
  void* operator[](int32_t Index) const { return Get(Index); }

 protected:
  virtual void Notify(void* Ptr, TListNotification Action);
  // EListError with the message formatted with Data, e.g. "List index out of bounds (%d)".
  [[noreturn]] static void Error(const char* Msg, int64_t Data);

 private:
  std::vector<void*> items_;
};

// ---------------------------------------------------------------------------------------------
// TStrings: the abstract list of strings with associated objects.

enum class TDuplicates { dupIgnore, dupAccept, dupError };
using enum TDuplicates;

// The text encodings a text file may come in; see DecodeTextBytes.
enum class TTextEncoding { teUtf8, teUtf8Bom, teUtf16LE, teUtf16BE, teWindows1252 };
using enum TTextEncoding;

// Decodes the bytes of a text file to UTF-8: a UTF-8 BOM is skipped, a UTF-16 LE or BE BOM
// selects UTF-16, valid UTF-8 stays as it is, anything else is read as Windows-1252.
std::string DecodeTextBytes(std::string_view Bytes, TTextEncoding* Found = nullptr);
// Encodes UTF-8 text in the given encoding (with its BOM; Windows-1252 gives plain UTF-8).
std::string EncodeTextBytes(std::string_view Text, TTextEncoding Encoding);

class TStrings : public TPersistent {
  PX_CLASS(TStrings)
 public:
  ~TStrings() override = default;

  virtual int32_t Add(std::string_view S);
  virtual int32_t AddObject(std::string_view S, TObject* AObject);
  void Append(std::string_view S) { Add(S); }
  virtual void AddStrings(TStrings* Source);
  // Copies the strings, objects and the delimiter settings of a TStrings; other sources go
  // through TPersistent (EConvertError).
  void Assign(TPersistent* Source) override;
  void BeginUpdate();
  void EndUpdate();
  virtual void Clear() = 0;
  virtual void Delete(int32_t Index) = 0;
  virtual void Exchange(int32_t Index1, int32_t Index2);
  virtual void Move(int32_t CurIndex, int32_t NewIndex);
  virtual void Insert(int32_t Index, std::string_view S) = 0;
  virtual void InsertObject(int32_t Index, std::string_view S, TObject* AObject);
  virtual int32_t IndexOf(std::string_view S) const;
  virtual int32_t IndexOfName(std::string_view Name) const;
  int32_t IndexOfObject(TObject* AObject) const;
  // Same strings in the same order (case-sensitive).
  bool Equals(TStrings* Strings) const;

  // Text files are read with DecodeTextBytes and written as UTF-8 without a BOM.
  virtual void LoadFromFile(std::string_view FileName);
  virtual void LoadFromStream(TStream* Stream);
  virtual void SaveToFile(std::string_view FileName);
  virtual void SaveToStream(TStream* Stream);

  virtual int32_t Count() const = 0;
  virtual int32_t Capacity() const { return Count(); }
  virtual void SetCapacity(int32_t) {}
  std::string Strings(int32_t Index) const { return Get(Index); }
  void SetStrings(int32_t Index, std::string_view S) { Put(Index, S); }
  std::string operator[](int32_t Index) const { return Get(Index); }
  TObject* Objects(int32_t Index) const { return GetObject(Index); }
  void SetObjects(int32_t Index, TObject* AObject) { PutObject(Index, AObject); }

  // Name=value lines: the name is the text before the first NameValueSeparator.
  std::string Names(int32_t Index) const;
  std::string Values(std::string_view Name) const;
  // An empty value deletes the line.
  void SetValues(std::string_view Name, std::string_view Value);
  // The text after the first separator; "" for a line without one.
  std::string ValueFromIndex(int32_t Index) const;
  void SetValueFromIndex(int32_t Index, std::string_view Value);

  // Every line followed by CR LF. Setting splits at CR, LF or CR LF; a final line break
  // starts no further line.
  std::string Text() const;
  void SetText(std::string_view Value);
  // DelimitedText with ',' and '"' and StrictDelimiter off.
  std::string CommaText() const;
  void SetCommaText(std::string_view Value);
  // Items joined by Delimiter; items holding the delimiter, the quote character or (unless
  // StrictDelimiter) blanks are quoted with QuoteChar, quotes doubled. A single empty item is
  // written as two quote characters. Reading splits at Delimiter and, unless StrictDelimiter,
  // at blanks.
  std::string DelimitedText() const;
  void SetDelimitedText(std::string_view Value);

  char Delimiter() const { return delimiter_; }
  void SetDelimiter(char c) { delimiter_ = c; }
  char QuoteChar() const { return quote_char_; }
  void SetQuoteChar(char c) { quote_char_ = c; }
  char NameValueSeparator() const { return name_value_separator_; }
  void SetNameValueSeparator(char c) { name_value_separator_ = c; }
  bool StrictDelimiter() const { return strict_delimiter_; }
  void SetStrictDelimiter(bool b) { strict_delimiter_ = b; }

 protected:
  virtual std::string Get(int32_t Index) const = 0;
  virtual TObject* GetObject(int32_t) const { return nullptr; }
  virtual void Put(int32_t Index, std::string_view S);
  virtual void PutObject(int32_t, TObject*) {}
  // Called when the first BeginUpdate starts and the last EndUpdate ends an update.
  virtual void SetUpdateState(bool) {}
  // The comparison behind IndexOf, IndexOfName and sorting: ASCII case-insensitive here.
  virtual int CompareStrings(std::string_view S1, std::string_view S2) const;
  int32_t UpdateCount() const { return update_count_; }
  // EStringListError with the message formatted with Data.
  [[noreturn]] static void Error(const char* Msg, int64_t Data);

 private:
  int32_t update_count_ = 0;
  char delimiter_ = ',';
  char quote_char_ = '"';
  char name_value_separator_ = '=';
  bool strict_delimiter_ = false;
};

// ---------------------------------------------------------------------------------------------
// TStringList

class TStringList;
using TStringListSortCompare = int (*)(TStringList* List, int32_t Index1, int32_t Index2);

class TStringList : public TStrings {
  PX_CLASS(TStringList)
 public:
  TStringList() = default;
  // With OwnsObjects the list frees the objects of deleted lines and at its destruction.
  explicit TStringList(bool AOwnsObjects) : owns_objects_(AOwnsObjects) {}
  ~TStringList() override;

  // In a sorted list Add inserts at the sorted place; a string already present is refused
  // as Duplicates says (dupIgnore returns the existing index, dupError raises).
  int32_t Add(std::string_view S) override;
  int32_t AddObject(std::string_view S, TObject* AObject) override;
  void Clear() override;
  void Delete(int32_t Index) override;
  void Exchange(int32_t Index1, int32_t Index2) override;
  void Move(int32_t CurIndex, int32_t NewIndex) override;
  // Binary search of a sorted list: true when found; Index is the (first) match or the place
  // where S would be inserted.
  virtual bool Find(std::string_view S, int32_t& Index) const;
  int32_t IndexOf(std::string_view S) const override;
  void Insert(int32_t Index, std::string_view S) override;
  void InsertObject(int32_t Index, std::string_view S, TObject* AObject) override;
  virtual void Sort();
  virtual void CustomSort(TStringListSortCompare Compare);

  int32_t Count() const override { return static_cast<int32_t>(items_.size()); }
  int32_t Capacity() const override { return static_cast<int32_t>(items_.capacity()); }
  void SetCapacity(int32_t NewCapacity) override;
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  bool Sorted() const { return sorted_; }
  void SetSorted(bool Value);
  bool CaseSensitive() const { return case_sensitive_; }
  void SetCaseSensitive(bool Value);
  bool OwnsObjects() const { return owns_objects_; }
  void SetOwnsObjects(bool Value) { owns_objects_ = Value; }

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent e) { on_change_ = std::move(e); }
  const TNotifyEvent& OnChanging() const { return on_changing_; }
  void SetOnChanging(TNotifyEvent e) { on_changing_ = std::move(e); }

 protected:
  virtual void Changed();
  virtual void Changing();
  std::string Get(int32_t Index) const override;
  TObject* GetObject(int32_t Index) const override;
  void Put(int32_t Index, std::string_view S) override;
  void PutObject(int32_t Index, TObject* AObject) override;
  void SetUpdateState(bool Updating) override;
  int CompareStrings(std::string_view S1, std::string_view S2) const override;
  virtual void InsertItem(int32_t Index, std::string_view S, TObject* AObject);

 private:
  struct Item {
    std::string String;
    TObject* Object = nullptr;  // owned only when owns_objects_
  };
  void CheckIndex(int32_t Index) const;
  void ExchangeItems(int32_t Index1, int32_t Index2);

  std::vector<Item> items_;
  TDuplicates duplicates_ = dupIgnore;
  bool sorted_ = false;
  bool case_sensitive_ = false;
  bool owns_objects_ = false;
  TNotifyEvent on_change_;
  TNotifyEvent on_changing_;
};
