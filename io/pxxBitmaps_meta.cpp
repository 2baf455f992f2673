#include "io/pxxBitmaps_meta.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

#include "core/pxxBitmaps.h"
#include "io/pxtiffifd.h"
#include "io/pxxBitmaps_params.h"
#include "layers/pxxLayers.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------------------------
// TPXTagsHandler

TPXTagsHandler::TPXTagsHandler()
    : FTagStream(std::make_unique<TMemoryStream>()), FReader(std::make_unique<TPXTIFFIFDReader>()) {}
TPXTagsHandler::~TPXTagsHandler() = default;

void TPXTagsHandler::Clear() {
  FRawData.clear();
  FTagStream->Clear();
  *FReader = TPXTIFFIFDReader{};  // little-endian, base 0, no entries
  DeviceInfo = TPXEXIFMakerNoteDeviceInfo{};
  LittleEndian = true;
}

void TPXTagsHandler::Assign(const TPXTagsHandler* Source) {
  if (Source == this) return;
  Clear();
  if (!Source) return;
  if (Source->FTagStream->Size() > 0) {
    FTagStream->WriteBuffer(Source->FTagStream->Memory(), Source->FTagStream->Size());
    FTagStream->SetPosition(0);
  }
  LittleEndian = Source->LittleEndian;
  FRawData = Source->FRawData;
  DeviceInfo = Source->DeviceInfo;
  LoadEntries();
}

bool TPXTagsHandler::IsEmpty() const { return FRawData.empty() && FTagStream->Size() == 0; }

void TPXTagsHandler::SetRawData(const void* Data, int32_t Length) {
  FRawData.clear();
  const auto* p = static_cast<const uint8_t*>(Data);
  if (p && Length > 0) FRawData.assign(p, p + Length);
}

// ---------------------------------------------------------------------------------------------
// TPXImagingAnnot

TPXImagingObject::TPXImagingObject() = default;
TPXImagingObject::~TPXImagingObject() = default;

void TPXImagingObject::Assign(const TPXImagingObject* Source) {
  if (!Source || Source == this) return;
  Attributes = Source->Attributes;
  Points = Source->Points;
  HasText = Source->HasText;
  Text = Source->Text;
  Image.reset();
  if (Source->Image) Image = TPXBitmap::CreateCopy(Source->Image.get());
}

int32_t TPXImagingObject::MarkType() const {
  int32_t v;
  std::memcpy(&v, Attributes.data(), 4);
  return v;
}

TPXImagingAnnot::TPXImagingAnnot() = default;
TPXImagingAnnot::~TPXImagingAnnot() = default;

void TPXImagingAnnot::Assign(const TPXImagingAnnot* Source) {
  if (Source == this) return;
  Clear();
  if (!Source) return;
  for (const auto& o : Source->FObjects) {
    auto copy = std::make_unique<TPXImagingObject>();
    copy->Assign(o.get());
    FObjects.push_back(std::move(copy));
  }
}

TPXImagingObject* TPXImagingAnnot::GetObject(int32_t Index) const {
  return Index >= 0 && Index < GetCount() ? FObjects[Index].get() : nullptr;
}

int32_t TPXImagingAnnot::AddObject(std::unique_ptr<TPXImagingObject> Object) {
  if (!Object) return -1;
  FObjects.push_back(std::move(Object));
  return GetCount() - 1;
}

// ---------------------------------------------------------------------------------------------
// TPXPixoranAnnot

namespace {
constexpr char kVectorMagic[] = "PIXORANANNOT";
constexpr char kLayersMagic[] = "ZEDODODIREDE";
}  // namespace

TPXPixoranAnnot::TPXPixoranAnnot(TIOParams* Params)
    : FParams(Params), FObjectStream(std::make_unique<TMemoryStream>()) {}
TPXPixoranAnnot::~TPXPixoranAnnot() = default;

bool TPXPixoranAnnot::IsEmpty() const { return FObjectStream->Size() == 0; }

void TPXPixoranAnnot::Clear() { FObjectStream->Clear(); }

void TPXPixoranAnnot::Assign(const TPXPixoranAnnot* Source) {
  if (!Source || Source == this) return;
  Clear();
  if (Source->FObjectStream->Size() > 0) {
    FObjectStream->WriteBuffer(Source->FObjectStream->Memory(), Source->FObjectStream->Size());
    FObjectStream->SetPosition(0);
  }
  IsVectorForm = Source->IsVectorForm;
}

bool TPXPixoranAnnot::CheckMagic(const void* Data, int32_t Size, bool& IsVector) {
  if (!Data || Size < PXAnnotMagicSize) return false;
  if (std::memcmp(Data, kVectorMagic, PXAnnotMagicSize) == 0) {
    IsVector = true;
    return true;
  }
  if (std::memcmp(Data, kLayersMagic, PXAnnotMagicSize) == 0) {
    IsVector = false;
    return true;
  }
  return false;
}

void TPXPixoranAnnot::LoadFromBuffer(const void* Data, int32_t Size) {
  Clear();
  bool vector = true;
  if (!CheckMagic(Data, Size, vector)) return;
  IsVectorForm = vector;
  if (Size > PXAnnotMagicSize) {
    FObjectStream->WriteBuffer(static_cast<const uint8_t*>(Data) + PXAnnotMagicSize, Size - PXAnnotMagicSize);
    FObjectStream->SetPosition(0);
  }
}

void TPXPixoranAnnot::SaveToStream(TStream* Stream) const {
  const int64_t size = FObjectStream->Size();
  if (size > INT32_MAX) throw EWriteError("Stream write error");
  const auto n = static_cast<int32_t>(size);
  Stream->WriteBuffer(&n, 4);
  if (n > 0) Stream->WriteBuffer(FObjectStream->Memory(), n);
}

void TPXPixoranAnnot::LoadFromStream(TStream* Stream) {
  Clear();
  int32_t n = 0;
  Stream->ReadBuffer(&n, 4);
  if (n < 0 || n > std::max<int64_t>(Stream->Size() - Stream->Position(), 0)) throw EReadError("Stream read error");
  if (n > 0) {
    FObjectStream->SetSize(n);
    Stream->ReadBuffer(FObjectStream->Memory(), n);
  }
  FObjectStream->Seek(0, soBeginning);
  IsVectorForm = !(n > 0 && IsLayerStreamHeader(FObjectStream.get()));
  FObjectStream->Seek(0, soBeginning);
}

void TPXPixoranAnnot::SaveToBuffer(std::vector<uint8_t>& Data) const {
  Data.clear();
  if (IsEmpty()) return;
  const char* magic = IsVectorForm ? kVectorMagic : kLayersMagic;
  const auto* body = static_cast<const uint8_t*>(FObjectStream->Memory());
  Data.reserve(static_cast<size_t>(PXAnnotMagicSize + FObjectStream->Size()));
  Data.assign(magic, magic + PXAnnotMagicSize);
  Data.insert(Data.end(), body, body + FObjectStream->Size());
}

// ---------------------------------------------------------------------------------------------
// TPXDicomTags

namespace {
constexpr const char* kVrTexts[PXDicomVrCount] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FD", "FL", "IS",
                                                  "LO", "LT", "OB", "OF", "OW", "PN", "SH", "SL", "SQ", "SS",
                                                  "ST", "TM", "UI", "UL", "UN", "UR", "US", "UT"};
enum : int32_t { vrAT = 2, vrFL = 8, vrSL = 17, vrSS = 19, vrUL = 23, vrUS = 26 };
}  // namespace

int32_t TPXDicomTags::VrFromText(std::string_view Text) {
  if (Text.empty()) return PXDicomVrUSorSS;
  for (int32_t i = 0; i < PXDicomVrCount; ++i)
    if (Text == kVrTexts[i]) return i;
  return PXDicomVrUnknown;
}

std::string TPXDicomTags::VrToText(int32_t Code) {
  if (Code == PXDicomVrUSorSS) return "SS";
  if (Code < 0 || Code >= PXDicomVrCount) return "??";
  return kVrTexts[Code];
}

TPXDicomTags::TPXDicomTags() = default;
TPXDicomTags::~TPXDicomTags() = default;

int32_t TPXDicomTags::IndexOf(uint16_t Group, uint16_t Element) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (FTags[i]->Group == Group && FTags[i]->Element == Element) return i;
  return -1;
}

TPXDicomTag* TPXDicomTags::GetTag(int32_t Index) const {
  return Index >= 0 && Index < GetCount() ? FTags[Index].get() : nullptr;
}

int32_t TPXDicomTags::AddTag(uint16_t Group, uint16_t Element, std::unique_ptr<TPXDicomItems> Children,
                             int32_t Length, const void* Data, int32_t VR) {
  auto tag = std::make_unique<TPXDicomTag>();
  tag->Group = Group;
  tag->Element = Element;
  tag->VR = VR;
  tag->Children = std::move(Children);
  if (Length >= 0 && Data) {
    const auto* p = static_cast<const uint8_t*>(Data);
    tag->Data.assign(p, p + Length);
    tag->Data.push_back(0);
    tag->DataLength = Length;
  }
  return Insert(std::move(tag), false);
}

int32_t TPXDicomTags::Insert(std::unique_ptr<TPXDicomTag> Tag, bool Replace) {
  const uint16_t g = Tag->Group, e = Tag->Element;
  const auto same = [&](int32_t i) { return FTags[i]->Group == g && FTags[i]->Element == e; };
  int32_t pos = GetCount();
  if (Sorted) {
    for (int32_t i = 0; i < GetCount(); ++i) {
      const TPXDicomTag& t = *FTags[i];
      if (t.Group > g || (t.Group == g && t.Element >= e)) {
        pos = i;
        break;
      }
    }
  }
  if (pos < GetCount() && same(pos) && Replace) {
    FTags[pos] = std::move(Tag);
  } else {
    // Elements of the same number stay in the order they were added.
    while (pos < GetCount() && same(pos)) ++pos;
    FTags.insert(FTags.begin() + pos, std::move(Tag));
  }
  if (Replace) {
    for (int32_t i = GetCount() - 1; i >= 0; --i)
      if (i != pos && same(i)) {
        FTags.erase(FTags.begin() + i);
        if (i < pos) --pos;
      }
  }
  return pos;
}

void TPXDicomTags::DeleteAt(int32_t Index) {
  if (Index >= 0 && Index < GetCount()) FTags.erase(FTags.begin() + Index);
}

namespace {

TPXDicomVrLookup& DictionaryLookup() {
  static TPXDicomVrLookup lookup = nullptr;
  return lookup;
}

int32_t DictionaryVr(uint16_t Group, uint16_t Element) {
  const TPXDicomVrLookup lookup = DictionaryLookup();
  return lookup ? lookup(Group, Element) : -1;
}

[[noreturn]] void RaiseCannotBe(uint16_t Group, uint16_t Element, const char* What) {
  throw EPXException("Tag " + IntToHex(Group, 4) + "," + IntToHex(Element, 4) + " cannot be " + What);
}

std::unique_ptr<TPXDicomTag> NewTag(uint16_t Group, uint16_t Element, int32_t VR, const void* Data, size_t Length) {
  auto tag = std::make_unique<TPXDicomTag>();
  tag->Group = Group;
  tag->Element = Element;
  tag->VR = VR;
  const auto* p = static_cast<const uint8_t*>(Data);
  tag->Data.assign(p, p + Length);
  tag->Data.push_back(0);
  tag->DataLength = static_cast<int32_t>(Length);
  return tag;
}

enum : int32_t { vrOB = 12, vrCS = 3, vrFD = 7, vrUI = 22 };

}  // namespace

void SetDicomDictionaryLookup(TPXDicomVrLookup Lookup) { DictionaryLookup() = Lookup; }

int32_t TPXDicomTags::SetNumber(uint16_t Group, uint16_t Element, bool Replace, double Value) {
  int32_t vr = DictionaryVr(Group, Element);
  if (vr < 0) vr = vrFD;
  if (vr == PXDicomVrUSorSS) vr = Value >= 0 ? vrUS : vrSS;
  const int64_t whole = Trunc(static_cast<long double>(Value));
  uint8_t bytes[8] = {};
  size_t size = 0;
  switch (vr) {
    case vrFD:
      std::memcpy(bytes, &Value, 8);
      size = 8;
      break;
    case vrFL: {
      const auto f = static_cast<float>(Value);
      std::memcpy(bytes, &f, 4);
      size = 4;
      break;
    }
    case vrSL:
    case vrUL: {
      const auto v = static_cast<uint32_t>(static_cast<uint64_t>(whole));
      std::memcpy(bytes, &v, 4);
      size = 4;
      break;
    }
    case vrSS:
    case vrUS: {
      const auto v = static_cast<uint16_t>(static_cast<uint64_t>(whole));
      std::memcpy(bytes, &v, 2);
      size = 2;
      break;
    }
    default:
      RaiseCannotBe(Group, Element, "a number");
  }
  return Insert(NewTag(Group, Element, vr, bytes, size), Replace);
}

int32_t TPXDicomTags::SetString(uint16_t Group, uint16_t Element, bool Replace, std::string_view Text) {
  int32_t vr = DictionaryVr(Group, Element);
  if (vr < 0) vr = vrCS;
  static constexpr int32_t kTextVrs[] = {0, 1, 3, 4, 5, 6, 9, 10, 11, 15, 16, 20, 21, 22, 27};
  if (std::find(std::begin(kTextVrs), std::end(kTextVrs), vr) == std::end(kTextVrs))
    RaiseCannotBe(Group, Element, "a string");
  std::string padded(Text);
  const char pad = vr == vrUI ? '\0' : ' ';
  while (padded.size() < 2 || padded.size() % 2) padded.push_back(pad);
  return Insert(NewTag(Group, Element, vr, padded.data(), padded.size()), Replace);
}

int32_t TPXDicomTags::SetBytes(uint16_t Group, uint16_t Element, bool Replace, int32_t Length, const void* Data) {
  int32_t vr = DictionaryVr(Group, Element);
  if (vr < 0) vr = vrOB;
  if (vr != vrOB) RaiseCannotBe(Group, Element, "a byte string");
  std::vector<uint8_t> bytes;
  if (Data && Length > 0) bytes.assign(static_cast<const uint8_t*>(Data), static_cast<const uint8_t*>(Data) + Length);
  if (bytes.size() % 2) bytes.push_back(0);
  return Insert(NewTag(Group, Element, vr, bytes.data(), bytes.size()), Replace);
}

TPXDicomItems* TPXDicomTags::GetChildren(uint16_t Group, uint16_t Element) const {
  return GetChildrenAt(IndexOf(Group, Element));
}

TPXDicomItems* TPXDicomTags::GetChildrenAt(int32_t Index) const {
  const TPXDicomTag* t = GetTag(Index);
  return t ? t->Children.get() : nullptr;
}

TPXDicomTags* TPXDicomTags::FindTagDeep(uint16_t Group, uint16_t Element, TPXDicomTags* Start, int32_t& Index) {
  TPXDicomTags* list = Start ? Start : this;
  for (int32_t i = 0; i < list->GetCount(); ++i) {
    const TPXDicomTag& t = *list->FTags[i];
    if (t.Group == Group && t.Element == Element) {
      Index = i;
      return list;
    }
    if (t.Children)
      if (TPXDicomTags* found = FindTagInItems(Group, Element, t.Children.get(), Index)) return found;
  }
  Index = -1;
  return nullptr;
}

TPXDicomTags* TPXDicomTags::FindTagInItems(uint16_t Group, uint16_t Element, TPXDicomItems* Items, int32_t& Index) {
  Index = -1;
  if (!Items) return nullptr;
  for (const auto& item : *Items)
    if (item)
      if (TPXDicomTags* found = item->FindTagDeep(Group, Element, nullptr, Index)) return found;
  Index = -1;
  return nullptr;
}

void TPXDicomTags::DeleteTag(uint16_t Group, uint16_t Element, bool All) {
  int32_t i;
  while ((i = IndexOf(Group, Element)) >= 0) {
    FTags.erase(FTags.begin() + i);
    if (!All) break;
  }
}

namespace {
// The value of type T at the start of Data; nothing when Length is too short for it.
template <typename T>
std::optional<T> LeadingValue(const uint8_t* Data, int32_t Length) {
  if (Length < static_cast<int32_t>(sizeof(T))) return std::nullopt;
  T v;
  std::memcpy(&v, Data, sizeof(T));
  return v;
}
}  // namespace

std::string TPXDicomTags::GetTagText(int32_t Index) const {
  const TPXDicomTag* t = GetTag(Index);
  if (!t || t->Data.empty()) return {};
  const uint8_t* d = t->Data.data();
  const int32_t n = t->DataLength;
  switch (t->VR) {
    case vrAT:
    case vrSL:
    case vrUL:
    case PXDicomVrUSorSS:
      if (const auto v = LeadingValue<int32_t>(d, n)) return IntToStr(*v);
      return {};
    case vrSS:
      if (const auto v = LeadingValue<int16_t>(d, n)) return IntToStr(*v);
      return {};
    case vrUS:
      if (const auto v = LeadingValue<uint16_t>(d, n)) return IntToStr(*v);
      return {};
    case vrFL:
      if (const auto v = LeadingValue<float>(d, n)) return FloatToStrF(*v, TFloatFormat::ffFixed, 18, 6);
      return {};
    default:
      // Data always end with a zero byte.
      return std::string(reinterpret_cast<const char*>(d));
  }
}

std::string TPXDicomTags::GetTagTextOf(uint16_t Group, uint16_t Element) const {
  return GetTagText(IndexOf(Group, Element));
}

void TPXDicomTags::Assign(const TPXDicomTags* Source) {
  if (Source == this) return;
  Clear();
  if (!Source) return;
  Sorted = Source->Sorted;
  for (const auto& t : Source->FTags) {
    auto copy = std::make_unique<TPXDicomTag>();
    copy->Group = t->Group;
    copy->Element = t->Element;
    copy->VR = t->VR;
    copy->Data = t->Data;
    copy->DataLength = t->DataLength;
    if (t->Children) {
      copy->Children = std::make_unique<TPXDicomItems>();
      for (const auto& item : *t->Children) {
        auto list = std::make_unique<TPXDicomTags>();
        list->Assign(item.get());
        copy->Children->push_back(std::move(list));
      }
    }
    FTags.push_back(std::move(copy));
  }
}

// The stream form.

namespace {

constexpr uint8_t kDicomStreamVersion = 3;
constexpr int32_t kMaxDicomNesting = 64;
constexpr int32_t kDicomRecordSize = 20;

[[noreturn]] void RaiseStreamRead() { throw EReadError("Stream read error"); }

int64_t BytesLeft(TStream* S) { return std::max<int64_t>(S->Size() - S->Position(), 0); }

template <typename T>
T ReadValue(TStream* S) {
  T v{};
  if (S->Read(&v, sizeof v) != static_cast<int32_t>(sizeof v)) RaiseStreamRead();
  return v;
}

template <typename T>
void WriteValue(TStream* S, T V) {
  S->WriteBuffer(&V, sizeof V);
}

}  // namespace

void TPXDicomTags::SaveToStream(TStream* Stream) const {
  WriteValue<uint8_t>(Stream, kDicomStreamVersion);
  WriteValue<int32_t>(Stream, GetCount());
  for (const auto& t : FTags) {
    uint8_t record[kDicomRecordSize] = {};
    std::memcpy(record, &t->Group, 2);
    std::memcpy(record + 2, &t->Element, 2);
    std::memcpy(record + 4, &t->VR, 4);
    std::memcpy(record + 12, &t->DataLength, 4);
    Stream->WriteBuffer(record, kDicomRecordSize);
    if (t->DataLength > 0) Stream->WriteBuffer(t->Data.data(), t->DataLength);
    const int32_t items = t->Children ? static_cast<int32_t>(t->Children->size()) : 0;
    WriteValue<int32_t>(Stream, items);
    for (int32_t k = 0; k < items; ++k) (*t->Children)[size_t(k)]->SaveToStream(Stream);
  }
}

void TPXDicomTags::LoadFromStream(TStream* Stream) {
  if (!Stream) return;
  // Read into a list of its own first, so that a bad stream leaves this one as it was.
  TPXDicomTags loaded;
  loaded.Sorted = false;
  loaded.LoadLevel(Stream, 0, 0);
  for (auto& t : loaded.FTags) Insert(std::move(t), false);
}

void TPXDicomTags::LoadLevel(TStream* Stream, uint8_t /*Version*/, int32_t Depth) {
  if (Depth > kMaxDicomNesting) RaiseStreamRead();
  const auto version = ReadValue<uint8_t>(Stream);
  if (version == 0) return;
  if (version > kDicomStreamVersion) RaiseStreamRead();
  const auto count = ReadValue<int32_t>(Stream);
  if (count < 0 || int64_t(count) * kDicomRecordSize > BytesLeft(Stream)) RaiseStreamRead();
  for (int32_t i = 0; i < count; ++i) {
    uint8_t record[kDicomRecordSize];
    Stream->ReadBuffer(record, kDicomRecordSize);
    auto tag = std::make_unique<TPXDicomTag>();
    std::memcpy(&tag->Group, record, 2);
    std::memcpy(&tag->Element, record + 2, 2);
    std::memcpy(&tag->VR, record + 4, 4);
    int32_t length = 0;
    std::memcpy(&length, record + 12, 4);
    if (length < 0 || length > BytesLeft(Stream)) RaiseStreamRead();
    if (length > 0) {
      tag->Data.resize(size_t(length) + 1);
      Stream->ReadBuffer(tag->Data.data(), length);
      tag->Data[size_t(length)] = 0;
      tag->DataLength = length;
    }
    int32_t items = 0;
    if (version >= 3)
      items = ReadValue<int32_t>(Stream);
    else if (version == 2)
      items = ReadValue<uint8_t>(Stream);
    // Every item list takes at least its version byte.
    if (items < 0 || items > BytesLeft(Stream)) RaiseStreamRead();
    if (items > 0) {
      tag->Children = std::make_unique<TPXDicomItems>();
      for (int32_t k = 0; k < items; ++k) {
        auto list = std::make_unique<TPXDicomTags>();
        list->LoadLevel(Stream, version, Depth + 1);
        tag->Children->push_back(std::move(list));
      }
    }
    FTags.push_back(std::move(tag));
  }
}

// ---------------------------------------------------------------------------------------------
// PDF page count

namespace {

constexpr int64_t kPdfBlock = 8192;
// A dictionary is examined up to this many bytes; the root page tree is far smaller.
constexpr size_t kPdfMaxDictionary = size_t(1) << 20;

bool IsPdfBlank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; }

// The count of a root page-tree dictionary's text (between "<<" and ">>"); -1 when the
// dictionary is not one.
int32_t RootPageCount(const std::string& D) {
  const size_t count = D.find("/Count ");
  if (count == std::string::npos || D.find("/Parent") != std::string::npos ||
      D.find("/Type /Pages") == std::string::npos)
    return -1;
  const size_t from = count + 7;
  size_t to = from;
  while (to < D.size() && !IsPdfBlank(D[to])) ++to;
  if (to >= D.size()) return 0;  // no blank before the dictionary's end
  return static_cast<int32_t>(StrToIntDef(D.substr(from, to - from), 0));
}

}  // namespace

int32_t GetPdfPageCount(TStream* Stream, const std::string& /*Password*/) {
  if (!Stream) return 0;
  const int64_t start = Stream->Position();
  int32_t result = 0;
  try {
    Stream->Seek(0, soBeginning);
    std::vector<char> block(static_cast<size_t>(kPdfBlock));
    std::string dictionary;
    bool inside = false, overflow = false;
    char previous = 0;
    bool done = false;
    while (!done) {
      const int32_t got = Stream->Read(block.data(), static_cast<int32_t>(kPdfBlock));
      if (got <= 0) break;
      for (int32_t i = 0; i < got && !done; ++i) {
        const char c = block[size_t(i)];
        if (!inside) {
          if (previous == '<' && c == '<') {
            inside = true;
            overflow = false;
            dictionary.clear();
            previous = 0;
            continue;
          }
        } else if (previous == '>' && c == '>') {
          dictionary.pop_back();  // the first '>'
          if (!overflow) {
            const int32_t n = RootPageCount(dictionary);
            if (n >= 0) {
              result = n;
              done = true;
            }
          }
          inside = false;
          previous = 0;
          continue;
        } else if (dictionary.size() < kPdfMaxDictionary) {
          dictionary.push_back(c);
        } else {
          overflow = true;
          dictionary.back() = c;  // keep the last byte, so ">>" across is still seen
        }
        previous = c;
      }
    }
  } catch (...) {
    Stream->Seek(start, soBeginning);
    throw;
  }
  Stream->Seek(start, soBeginning);
  return result;
}

int32_t GetPdfPageCountOfFile(const std::string& FileName, const std::string& Password) {
  std::unique_ptr<TFileStream> file;
  try {
    file = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
  } catch (const Exception&) {
    return 0;
  }
  return GetPdfPageCount(file.get(), Password);
}

void WriteLine(TStream* Stream, std::string_view Text) {
  if (!Stream) return;
  std::string line(Text);
  line += "\r\n";
  Stream->WriteBuffer(line.data(), static_cast<int64_t>(line.size()));
}

// ---------------------------------------------------------------------------------------------
// XMP

namespace {
constexpr char kXmpIdentifier[PXXmpIdentifierSize + 1] = "http://ns.adobe.com/xap/1.0/";
}  // namespace

const uint8_t* FindXmpPacket(const void* Data, int32_t Length) {
  if (!Data || Length < PXXmpIdentifierSize + 1) return nullptr;
  const auto* p = static_cast<const uint8_t*>(Data);
  if (std::memcmp(p, kXmpIdentifier, 24) != 0) return nullptr;
  const auto* zero = static_cast<const uint8_t*>(std::memchr(p, 0, static_cast<size_t>(Length)));
  if (!zero || zero + 1 >= p + Length) return nullptr;
  return zero + 1;
}

bool ReadXmpMarker(const void* Data, int32_t Length, TIOParams* Params) {
  const uint8_t* packet = FindXmpPacket(Data, Length);
  if (!packet || !Params) return false;
  const auto* end = static_cast<const uint8_t*>(Data) + Length;
  Params->SetXmpInfo(std::string_view(reinterpret_cast<const char*>(packet), static_cast<size_t>(end - packet)));
  return true;
}

void BuildXmpMarker(const TIOParams* Params, std::vector<uint8_t>& Data) {
  Data.assign(kXmpIdentifier, kXmpIdentifier + PXXmpIdentifierSize);
  if (Params) Data.insert(Data.end(), Params->XMP_Info.begin(), Params->XMP_Info.end());
}
