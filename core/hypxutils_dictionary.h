// TPXDictionary: the library's key/value tree (codec options, the parsed XMP packet, per-image
// data of multi-image containers) with a compact JSON form and a flat XML form, both read back
// by one tolerant parser.
// Part of the utilities unit; include core/hypxutils.h. Definitions: hypxutils_dictionary.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/hypxdefs.h"
#include "platform/rtl/Contnrs.h"

// Boxed values. A nested dictionary is a TPXDictionary stored as the value itself, a list is an
// owning TObjectList whose items are values of any kind.
class TPXDictionaryValueWideString final : public TObject {
 public:
  explicit TPXDictionaryValueWideString(std::string AValue = {}) : Value(std::move(AValue)) {}
  std::string Value;
};
class TPXDictionaryValueInteger final : public TObject {
 public:
  explicit TPXDictionaryValueInteger(int32_t AValue = 0) : Value(AValue) {}
  int32_t Value;
};
class TPXDictionaryValueDouble final : public TObject {
 public:
  explicit TPXDictionaryValueDouble(double AValue = 0) : Value(AValue) {}
  double Value;
};
class TPXDictionaryValueBoolean final : public TObject {
 public:
  explicit TPXDictionaryValueBoolean(bool AValue = false) : Value(AValue) {}
  bool Value;
};

// One entry: the key as written, the value it owns, and the hash of its compared form.
struct TPXDictionaryBucket {
  std::string Key;
  std::unique_ptr<TObject> Value;
  uint32_t Hash = 0;
};

// Position of an enumeration; starts at bucket 0 with no entry.
struct TPXStrStrEnumerator {
  int32_t BucketIndex = 0;
  int32_t ItemIndex = 0;
  TPXDictionaryBucket* Current = nullptr;
};

class TPXDictionaryParser;

// Entries live in BucketCount chains (made a prime, created on the first insert); within a chain
// they keep insertion order, and enumeration and both text forms go chain by chain. Without
// CaseSensitive, keys compare and hash with a..z folded to upper case (UTF-8 text otherwise as
// it is). Not locked: one thread at a time.
class TPXDictionary : public TObject {
 public:
  explicit TPXDictionary(int32_t BucketCount = 103, bool CaseSensitive = false);
  ~TPXDictionary() override;

  // Frees every entry; the chains stay.
  void Clear();
  // Replaces the value of an existing key (the entry keeps its key and place), else appends a
  // new entry to the key's chain.
  void InsertObject(std::string_view Key, std::unique_ptr<TObject> Value);
  void InsertString(std::string_view Key, std::string_view Value);
  void InsertInteger(std::string_view Key, int32_t Value);
  void InsertDictionary(std::string_view Key, std::unique_ptr<TPXDictionary> Value);
  void InsertList(std::string_view Key, std::unique_ptr<TObjectList> Value);

  // The key's value; when absent and SearchNested, the first one found in the nested
  // dictionaries (also those in lists) in enumeration order. Nothing found: nil with
  // ReturnNil, else EPXException "Key \"%s\" not found".
  TObject* GetValue(std::string_view Key, bool ReturnNil = false, bool SearchNested = false) const;
  // The value as text: a string itself, an integer or double in decimal, a dictionary its
  // "#text" (searched nested). Other kinds raise EInvalidCast; a missing key as GetValue.
  std::string GetString(std::string_view Key, bool SearchNested = false) const;
  bool ContainsKey(std::string_view Key, bool SearchNested = false) const;
  // Unlinks and frees the key's entry; with Detached, the value goes to the caller instead of
  // being freed. False when the key is absent.
  bool Remove(std::string_view Key, std::unique_ptr<TObject>* Detached = nullptr);

  // Advances to the next entry; at the end resets the enumerator and returns false.
  bool Next(TPXStrStrEnumerator& Enumerator);
  bool IsEmpty() const { return FCount == 0; }
  int32_t Count() const { return FCount; }
  bool CaseSensitive() const { return FCaseSensitive; }
  // The number of chains (the prime it becomes once the chains exist).
  int32_t BucketCount() const;
  // The chain a key belongs to.
  int32_t BucketOf(std::string_view Key) const;

  // Format 0: compact JSON; 1: the flat XML fragment (no declaration, no root); any other
  // value leaves Text unchanged.
  void Dump(int32_t Format, std::string& Text) const;
  // Reads JSON (text starting with "{") or XML ("<") into this dictionary without clearing it;
  // a repeated key becomes a list of its values in order. False on a syntax error (what was
  // read before stays) and for text starting with anything else.
  bool Parse(std::string_view Text);
  // Clear, then Parse of Source's JSON form.
  void Assign(const TPXDictionary* Source);

 private:
  friend class TPXDictionaryParser;
  uint32_t HashOf(std::string_view Key) const;
  bool SameKey(std::string_view A, std::string_view B) const;
  void EnsureBuckets();
  std::vector<TPXDictionaryBucket>* ChainOf(uint32_t Hash);
  const std::vector<TPXDictionaryBucket>* ChainOf(uint32_t Hash) const;
  TPXDictionaryBucket* Find(std::string_view Key, uint32_t Hash);
  const TPXDictionaryBucket* Find(std::string_view Key, uint32_t Hash) const;
  void Append(std::string_view Key, uint32_t Hash, std::unique_ptr<TObject> Value);
  TObject* FindNested(std::string_view Key) const;
  void DumpJSON(std::string& Out) const;
  void DumpXML(std::string& Out) const;

  int32_t FBucketCount;
  std::vector<std::vector<TPXDictionaryBucket>> FBuckets;  // empty until the first insert
  bool FCaseSensitive;
  int32_t FCount = 0;
};

// The ELF hash of the UTF-16 code units of Key, modulo N.
uint32_t ElfHashMod(std::string_view Key, uint32_t N);
bool IsPrime(int32_t N);
// The smallest prime >= N (2 below 2).
int32_t NextPrime(int32_t N);
