#include "io/pxxBitmaps_meta.h"

#include <cstring>
#include <optional>

#include "core/pxxBitmaps.h"
#include "io/pxtiffifd.h"
#include "io/pxxBitmaps_params.h"
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

int32_t DicomVrFromText(std::string_view Text) {
  if (Text.empty()) return PXDicomVrUSorSS;
  for (int32_t i = 0; i < PXDicomVrCount; ++i)
    if (Text == kVrTexts[i]) return i;
  return PXDicomVrUnknown;
}

std::string DicomVrToText(int32_t Code) {
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
  int32_t pos = GetCount();
  if (Sorted) {
    for (int32_t i = 0; i < GetCount(); ++i) {
      const TPXDicomTag& t = *FTags[i];
      if (t.Group > Group || (t.Group == Group && t.Element >= Element)) {
        pos = i;
        break;
      }
    }
    // Elements of the same number stay in the order they were added.
    while (pos < GetCount() && FTags[pos]->Group == Group && FTags[pos]->Element == Element) ++pos;
  }
  FTags.insert(FTags.begin() + pos, std::move(tag));
  return pos;
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
