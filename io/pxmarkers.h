// Metadata holders of the I/O parameters: the JPEG application-marker list (APPn and COM
// segments as read and as to be written) and the IPTC dataset list with its block forms (plain,
// and wrapped in the Photoshop image resource 0x0404).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/Classes.h"

// JPEG marker bytes the metadata code uses.
inline constexpr uint8_t PX_JPEG_APP0 = 0xE0;
inline constexpr uint8_t PX_JPEG_APP1 = 0xE1;
inline constexpr uint8_t PX_JPEG_APP2 = 0xE2;
inline constexpr uint8_t PX_JPEG_APP13 = 0xED;
inline constexpr uint8_t PX_JPEG_COM = 0xFE;

// The largest marker payload a JPEG segment can carry: its 16-bit length counts itself too.
inline constexpr int32_t PXMaxMarkerDataLength = 65533;

// True when Length is at least 4 and the bytes up to the first zero byte are exactly "Exif".
bool IsExifMarkerData(const void* Data, int32_t Length);

class TPXMarkerList : public TObject {
 public:
  TPXMarkerList() = default;
  ~TPXMarkerList() override = default;

  int32_t GetCount() const { return static_cast<int32_t>(FItems.size()); }
  // The marker's bytes (without the 0xFF, marker byte and length prefix); nil outside the list.
  const uint8_t* GetMarkerData(int32_t Index) const;
  uint8_t* GetMarkerData(int32_t Index);
  // 0 outside the list.
  uint8_t GetMarkerType(int32_t Index) const;
  int32_t GetMarkerLength(int32_t Index) const;
  // First index with that marker byte; -1 when none.
  int32_t IndexOfType(uint8_t MarkerByte) const;

  // Appends a copy of Length bytes; returns the index, or -1 when Length is negative or above
  // PXMaxMarkerDataLength (a JPEG segment cannot hold it) and nothing was added.
  int32_t AddMarker(uint8_t MarkerByte, const void* Data, int32_t Length);
  // Replaces marker Index by a copy of Length bytes and the new marker byte; false (nothing
  // changed) outside the list or for a length AddMarker refuses.
  bool SetMarker(int32_t Index, uint8_t MarkerByte, const void* Data, int32_t Length);
  // Ignored outside the list.
  void DeleteMarker(int32_t Index);
  void DeleteMarkersOfType(uint8_t MarkerByte);
  // Deletes every marker whose byte is not among MarkerBytes; the rest keep their order.
  void KeepOnlyMarkerTypes(const std::vector<uint8_t>& MarkerBytes);
  void Clear() { FItems.clear(); }
  // Nothing for nil; else a copy of Source's markers in order.
  void Assign(const TPXMarkerList* Source);
  // Swaps the marker bytes and the data of two positions (ignored outside the list).
  void ExchangeMarkers(int32_t I, int32_t J);
  // Order for writing: by marker byte (quicksort, not stable), APP2 ICC_PROFILE chunks by their
  // sequence number; then the EXIF APP1 marker is moved to the first APP1 position.
  void SortMarkers();

  // Stream form (little-endian): byte 0, int32 count, per marker: marker byte, int32 length,
  // data. Loading clears first and stops at the first marker the stream does not hold whole or
  // that no JPEG segment could carry; it answers whether every marker was read.
  void SaveToStream(TStream* Stream) const;
  bool LoadFromStream(TStream* Stream);

 private:
  struct TMarker {
    uint8_t Type = 0;
    std::vector<uint8_t> Data;
  };
  std::vector<TMarker> FItems;
};

class TPXIPTCInfoList : public TObject {
 public:
  TPXIPTCInfoList() = default;
  ~TPXIPTCInfoList() override = default;

  int32_t GetCount() const { return static_cast<int32_t>(FItems.size()); }
  // 0 outside the list.
  int32_t GetRecordNumber(int32_t Index) const;
  int32_t GetDataSetNumber(int32_t Index) const;
  int32_t GetItemLength(int32_t Index) const;
  // nil outside the list or for an empty item.
  const uint8_t* GetItemData(int32_t Index) const;
  // The first item of that record and dataset; -1 when none.
  int32_t IndexOf(int32_t Record, int32_t DataSet) const;

  // Stores a copy of Length bytes (a negative Length stores none); returns the index.
  int32_t AddItem(int32_t Record, int32_t DataSet, int32_t Length, const void* Data);
  void Clear();
  // Nothing for nil; else a copy of Source's items in order.
  void Assign(const TPXIPTCInfoList* Source);

  // Set by every change; cleared only by LoadFromBuffer: the datasets differ from those read.
  bool UserChanged() const { return FUserChanged; }
  void SetUserChanged(bool Value) { FUserChanged = Value; }

  // The IPTC block, plain (with the record-version dataset first) or in the Photoshop form;
  // padded to an even length. Empty without items.
  void SaveToBuffer(std::vector<uint8_t>& Buffer, bool PhotoshopForm) const;
  // Replaces the items by the datasets of a block in either form; true when one was read.
  // A malformed block keeps the datasets read before the fault.
  bool LoadFromBuffer(const void* Buffer, int32_t Length);

  // Stream form (little-endian): int32 0, int32 count, per item record, dataset, length
  // (int32 each), then the data. Loading clears first, stops at the first item the stream
  // does not hold whole, and answers whether every item was read.
  void SaveToStream(TStream* Stream) const;
  bool LoadFromStream(TStream* Stream);

 private:
  struct TItem {
    int32_t Record = 0;
    int32_t DataSet = 0;
    std::vector<uint8_t> Data;
  };
  std::vector<TItem> FItems;
  bool FUserChanged = false;
};
