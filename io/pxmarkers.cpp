#include "io/pxmarkers.h"

#include <algorithm>
#include <cstring>

#include "core/hypxutils_containers.h"

namespace {

// Bytes of an item or marker a stream may announce that are worth trying to read: the rest of
// the stream bounds it, so a hostile count or length never drives an allocation.
int64_t BytesLeft(TStream* Stream) {
  const int64_t left = Stream->Size() - Stream->Position();
  return left > 0 ? left : 0;
}

bool ReadInt32(TStream* Stream, int32_t& Value) {
  uint8_t b[4];
  if (Stream->Read(b, 4) != 4) return false;
  Value = static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
  return true;
}

void WriteInt32(TStream* Stream, int32_t Value) {
  const uint32_t v = static_cast<uint32_t>(Value);
  const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  Stream->WriteBuffer(b, 4);
}

uint32_t BigEndian32(const uint8_t* P) {
  return uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | uint32_t(P[3]);
}

constexpr char kPhotoshopSignature[] = "Photoshop 3.0";  // 13 characters and a zero byte
constexpr uint8_t kIptcResource[6] = {'8', 'B', 'I', 'M', 0x04, 0x04};
constexpr uint8_t kRecordVersion[7] = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x02};

bool IsIccChunk(const std::vector<uint8_t>& Data) {
  if (Data.size() <= 13) return false;
  const auto* zero = static_cast<const uint8_t*>(std::memchr(Data.data(), 0, Data.size()));
  const size_t n = zero ? static_cast<size_t>(zero - Data.data()) : Data.size();
  return n == 11 && std::memcmp(Data.data(), "ICC_PROFILE", 11) == 0;
}

}  // namespace

bool IsExifMarkerData(const void* Data, int32_t Length) {
  if (!Data || Length < 4) return false;
  const auto* p = static_cast<const uint8_t*>(Data);
  const auto* zero = static_cast<const uint8_t*>(std::memchr(p, 0, static_cast<size_t>(Length)));
  const int32_t n = zero ? static_cast<int32_t>(zero - p) : Length;
  return n == 4 && std::memcmp(p, "Exif", 4) == 0;
}

// ---------------------------------------------------------------------------------------------
// TPXMarkerList

const uint8_t* TPXMarkerList::GetMarkerData(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) return nullptr;
  return FItems[Index].Data.data();
}

uint8_t* TPXMarkerList::GetMarkerData(int32_t Index) {
  if (Index < 0 || Index >= GetCount()) return nullptr;
  return FItems[Index].Data.data();
}

uint8_t TPXMarkerList::GetMarkerType(int32_t Index) const {
  return Index >= 0 && Index < GetCount() ? FItems[Index].Type : 0;
}

int32_t TPXMarkerList::GetMarkerLength(int32_t Index) const {
  return Index >= 0 && Index < GetCount() ? static_cast<int32_t>(FItems[Index].Data.size()) : 0;
}

int32_t TPXMarkerList::IndexOfType(uint8_t MarkerByte) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (FItems[i].Type == MarkerByte) return i;
  return -1;
}

int32_t TPXMarkerList::AddMarker(uint8_t MarkerByte, const void* Data, int32_t Length) {
  if (Length < 0 || Length > PXMaxMarkerDataLength || (Length > 0 && !Data)) return -1;
  TMarker m;
  m.Type = MarkerByte;
  const auto* p = static_cast<const uint8_t*>(Data);
  if (Length > 0) m.Data.assign(p, p + Length);
  FItems.push_back(std::move(m));
  return GetCount() - 1;
}

bool TPXMarkerList::SetMarker(int32_t Index, uint8_t MarkerByte, const void* Data, int32_t Length) {
  if (Index < 0 || Index >= GetCount()) return false;
  if (Length < 0 || Length > PXMaxMarkerDataLength || (Length > 0 && !Data)) return false;
  const auto* p = static_cast<const uint8_t*>(Data);
  std::vector<uint8_t> copy;
  if (Length > 0) copy.assign(p, p + Length);  // Data may lie inside the marker replaced
  FItems[Index].Type = MarkerByte;
  FItems[Index].Data = std::move(copy);
  return true;
}

void TPXMarkerList::DeleteMarker(int32_t Index) {
  if (Index < 0 || Index >= GetCount()) return;
  FItems.erase(FItems.begin() + Index);
}

void TPXMarkerList::DeleteMarkersOfType(uint8_t MarkerByte) {
  std::erase_if(FItems, [MarkerByte](const TMarker& m) { return m.Type == MarkerByte; });
}

void TPXMarkerList::KeepOnlyMarkerTypes(const std::vector<uint8_t>& MarkerBytes) {
  std::erase_if(FItems, [&MarkerBytes](const TMarker& m) {
    return std::find(MarkerBytes.begin(), MarkerBytes.end(), m.Type) == MarkerBytes.end();
  });
}

void TPXMarkerList::Assign(const TPXMarkerList* Source) {
  if (!Source || Source == this) return;
  FItems = Source->FItems;
}

void TPXMarkerList::ExchangeMarkers(int32_t I, int32_t J) {
  if (I < 0 || J < 0 || I >= GetCount() || J >= GetCount() || I == J) return;
  std::swap(FItems[I], FItems[J]);
}

void TPXMarkerList::SortMarkers() {
  auto compare = [](void* Data, int32_t I, int32_t J) -> int32_t {
    auto* self = static_cast<TPXMarkerList*>(Data);
    const TMarker& a = self->FItems[I];
    const TMarker& b = self->FItems[J];
    if (a.Type == PX_JPEG_APP2 && b.Type == PX_JPEG_APP2 && IsIccChunk(a.Data) && IsIccChunk(b.Data))
      return int32_t(a.Data[12]) - int32_t(b.Data[12]);
    return int32_t(a.Type) - int32_t(b.Type);
  };
  auto exchange = [](void* Data, int32_t I, int32_t J) { static_cast<TPXMarkerList*>(Data)->ExchangeMarkers(I, J); };
  IndexQuickSort(GetCount(), exchange, this, compare, this);

  // The EXIF block leads the APP1 markers.
  const int32_t j = IndexOfType(PX_JPEG_APP1);
  if (j < 0) return;
  for (int32_t i = j + 1; i < GetCount(); ++i) {
    const TMarker& m = FItems[i];
    if (m.Type == PX_JPEG_APP1 && IsExifMarkerData(m.Data.data(), static_cast<int32_t>(m.Data.size())))
      ExchangeMarkers(i, j);
  }
}

void TPXMarkerList::SaveToStream(TStream* Stream) const {
  const uint8_t version = 0;
  Stream->WriteBuffer(&version, 1);
  WriteInt32(Stream, GetCount());
  for (const TMarker& m : FItems) {
    Stream->WriteBuffer(&m.Type, 1);
    WriteInt32(Stream, static_cast<int32_t>(m.Data.size()));
    if (!m.Data.empty()) Stream->WriteBuffer(m.Data.data(), static_cast<int64_t>(m.Data.size()));
  }
}

bool TPXMarkerList::LoadFromStream(TStream* Stream) {
  Clear();
  uint8_t version = 0;
  int32_t count = 0;
  if (Stream->Read(&version, 1) != 1 || !ReadInt32(Stream, count) || count < 0) return false;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t type = 0;
    int32_t length = 0;
    if (Stream->Read(&type, 1) != 1 || !ReadInt32(Stream, length)) return false;
    if (length < 0 || length > PXMaxMarkerDataLength || length > BytesLeft(Stream)) return false;
    std::vector<uint8_t> data(static_cast<size_t>(length));
    if (length > 0 && Stream->Read(data.data(), length) != length) return false;
    FItems.push_back(TMarker{type, std::move(data)});
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// TPXIPTCInfoList

int32_t TPXIPTCInfoList::GetRecordNumber(int32_t Index) const {
  return Index >= 0 && Index < GetCount() ? FItems[Index].Record : 0;
}

int32_t TPXIPTCInfoList::GetDataSetNumber(int32_t Index) const {
  return Index >= 0 && Index < GetCount() ? FItems[Index].DataSet : 0;
}

int32_t TPXIPTCInfoList::GetItemLength(int32_t Index) const {
  return Index >= 0 && Index < GetCount() ? static_cast<int32_t>(FItems[Index].Data.size()) : 0;
}

const uint8_t* TPXIPTCInfoList::GetItemData(int32_t Index) const {
  if (Index < 0 || Index >= GetCount() || FItems[Index].Data.empty()) return nullptr;
  return FItems[Index].Data.data();
}

int32_t TPXIPTCInfoList::IndexOf(int32_t Record, int32_t DataSet) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (FItems[i].Record == Record && FItems[i].DataSet == DataSet) return i;
  return -1;
}

int32_t TPXIPTCInfoList::AddItem(int32_t Record, int32_t DataSet, int32_t Length, const void* Data) {
  TItem item;
  item.Record = Record;
  item.DataSet = DataSet;
  const auto* p = static_cast<const uint8_t*>(Data);
  if (Length > 0 && p) item.Data.assign(p, p + Length);
  FItems.push_back(std::move(item));
  FUserChanged = true;
  return GetCount() - 1;
}

void TPXIPTCInfoList::Clear() {
  FItems.clear();
  FUserChanged = true;
}

void TPXIPTCInfoList::Assign(const TPXIPTCInfoList* Source) {
  if (!Source) return;
  if (Source != this) FItems = Source->FItems;
  FUserChanged = true;
}

void TPXIPTCInfoList::SaveToBuffer(std::vector<uint8_t>& Buffer, bool PhotoshopForm) const {
  Buffer.clear();
  if (FItems.empty()) return;
  if (PhotoshopForm) {
    Buffer.assign(kPhotoshopSignature, kPhotoshopSignature + 14);
    Buffer.insert(Buffer.end(), {'8', 'B', 'I', 'M', 0x04, 0x04, 0x00, 0x00, 0, 0, 0, 0});
  } else {
    Buffer.assign(std::begin(kRecordVersion), std::end(kRecordVersion));
  }
  uint32_t sum = 0;
  for (const TItem& item : FItems) {
    const uint32_t length = static_cast<uint32_t>(item.Data.size());
    if (length == 0 || (item.Record == 2 && item.DataSet == 0)) continue;
    Buffer.push_back(0x1C);
    Buffer.push_back(static_cast<uint8_t>(item.Record));
    Buffer.push_back(static_cast<uint8_t>(item.DataSet));
    if (length < 32768) {
      Buffer.push_back(static_cast<uint8_t>(length >> 8));
      Buffer.push_back(static_cast<uint8_t>(length));
      sum += length + 5;
    } else {
      Buffer.insert(Buffer.end(), {0x80, 0x04, uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8),
                                   uint8_t(length)});
      sum += length + 9;
    }
    Buffer.insert(Buffer.end(), item.Data.begin(), item.Data.end());
  }
  if (Buffer.size() % 2 != 0) Buffer.push_back(0);
  if (PhotoshopForm) {
    Buffer[22] = static_cast<uint8_t>(sum >> 24);
    Buffer[23] = static_cast<uint8_t>(sum >> 16);
    Buffer[24] = static_cast<uint8_t>(sum >> 8);
    Buffer[25] = static_cast<uint8_t>(sum);
  }
}

bool TPXIPTCInfoList::LoadFromBuffer(const void* Buffer, int32_t Length) {
  Clear();
  if (!Buffer || Length <= 0) return false;
  const auto* p = static_cast<const uint8_t*>(Buffer);
  const uint32_t total = static_cast<uint32_t>(Length);
  uint32_t b = 0, end = total;
  bool exactStart = false;  // b stands on the resource's first data byte

  if (total >= 13 && std::memcmp(p, kPhotoshopSignature, 13) == 0) {
    while (b + 6 <= total && std::memcmp(p + b, kIptcResource, 6) != 0) ++b;
    if (b + 6 > total) b = total;
    else {
      b += 6;
      // The resource name (a Pascal string padded to an even size) and the 4-byte data size
      // follow; the datasets lie inside that size. Stepping over them keeps a size byte that
      // happens to be 0x1C from being taken for a dataset.
      if (b < total) {
        const uint32_t name = (uint32_t(p[b]) + 2) & ~1u;
        if (b + name + 4 <= total) {
          const uint32_t size = BigEndian32(p + b + name);
          b += name + 4;
          exactStart = true;
          if (size <= total - b) end = b + size;
        }
      }
    }
  }

  bool result = false;
  while (b < end && p[b] != 0x1C) ++b;
  // Without a resource header to start from, a run of tag markers is taken to end at its last.
  if (!exactStart)
    while (b + 1 < end && p[b + 1] == 0x1C) ++b;
  while (b < end && p[b] == 0x1C) {
    ++b;
    if (end - b < 5) break;
    const uint8_t record = p[b];
    const uint8_t dataset = p[b + 1];
    uint32_t length;
    if (p[b + 2] & 0x80) {
      if (end - b < 8) break;
      length = BigEndian32(p + b + 4);
      b += 8;
    } else {
      length = uint32_t(p[b + 2]) << 8 | p[b + 3];
      b += 4;
    }
    if (length > end - b) break;
    AddItem(record, dataset, static_cast<int32_t>(length), p + b);
    b += length;
    result = true;
  }
  FUserChanged = false;
  return result;
}

void TPXIPTCInfoList::SaveToStream(TStream* Stream) const {
  WriteInt32(Stream, 0);
  WriteInt32(Stream, GetCount());
  for (const TItem& item : FItems) {
    WriteInt32(Stream, item.Record);
    WriteInt32(Stream, item.DataSet);
    WriteInt32(Stream, static_cast<int32_t>(item.Data.size()));
    if (!item.Data.empty()) Stream->WriteBuffer(item.Data.data(), static_cast<int64_t>(item.Data.size()));
  }
}

bool TPXIPTCInfoList::LoadFromStream(TStream* Stream) {
  Clear();
  int32_t version = 0, count = 0;
  if (!ReadInt32(Stream, version) || !ReadInt32(Stream, count) || count < 0) return false;
  for (int32_t i = 0; i < count; ++i) {
    int32_t record = 0, dataset = 0, length = 0;
    if (!ReadInt32(Stream, record) || !ReadInt32(Stream, dataset) || !ReadInt32(Stream, length)) return false;
    if (length < 0 || length > BytesLeft(Stream)) return false;
    TItem item{record, dataset, std::vector<uint8_t>(static_cast<size_t>(length))};
    if (length > 0 && Stream->Read(item.Data.data(), length) != length) return false;
    FItems.push_back(std::move(item));
  }
  return true;
}
