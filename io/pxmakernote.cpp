#include "io/pxmakernote.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "core/hypxutils.h"
#include "platform/rtl/Classes.h"

namespace {

TPXEXIFMakerNoteDeviceInfo Row(const char* Header, size_t Length, uint8_t OffsetMode, uint8_t HeaderKind,
                               uint8_t ByteOrderMode) {
  TPXEXIFMakerNoteDeviceInfo i;
  i.Header.assign(Header, Length);
  i.OffsetMode = OffsetMode;
  i.HeaderKind = HeaderKind;
  i.ByteOrderMode = ByteOrderMode;
  return i;
}

const std::vector<TPXEXIFMakerNoteDeviceInfo>& Layouts() {
  static const std::vector<TPXEXIFMakerNoteDeviceInfo> rows = {
      Row("", 0, 0, 0, 0),
      Row("SONY CAM \0\0\0", 12, 0, 0, 0),
      Row("SONY DSC \0\0\0", 12, 0, 0, 0),
      Row("Nikon\0\x02\x10\0\0", 10, 1, 1, 1),
      Row("QVC\0\0\0", 6, 0, 0, 3),
      Row("EPSON\0\x01\0", 8, 0, 0, 0),
      Row("Nikon\0\x01\0", 8, 0, 0, 0),
      Row("Panasonic\0\0\0", 12, 0, 0, 0),
      Row("FUJIFILM", 8, 1, 2, 2),
      Row("LEICA\0\0\0", 8, 1, 0, 0),
      Row("OLYMP\0\x02\0", 8, 2, 0, 0),
      Row("Nikon\0\x02\x11\0\0", 10, 1, 1, 1),
      Row("Nikon\0\x02\0\0\0", 10, 1, 1, 1),
  };
  return rows;
}

uint16_t Get16(const uint8_t* p, bool LE) { return LE ? uint16_t(p[0] | (p[1] << 8)) : uint16_t((p[0] << 8) | p[1]); }
uint32_t Get32(const uint8_t* p, bool LE) {
  return LE ? uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24)
            : (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
void Put16(uint8_t* p, uint16_t v, bool LE) {
  p[LE ? 0 : 1] = uint8_t(v);
  p[LE ? 1 : 0] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v, bool LE) {
  for (int k = 0; k < 4; ++k) p[LE ? k : 3 - k] = uint8_t(v >> (8 * k));
}

// Where the entry count lies, the base the layout's offsets count from (inside the block) and
// the byte order; false when the layout does not fit the block.
struct TLayoutPlace {
  int64_t Entries = 0;   // offset of the entry count in the block
  int64_t Base1 = 0;     // block offset the layout's own offsets count from (OffsetMode 1)
  bool LittleEndian = true;
};

bool Place(const uint8_t* B, int64_t Length, TPXEXIFMakerNoteDeviceInfo& Info, bool EnclosingLE, TLayoutPlace& P) {
  int64_t e = int64_t(Info.Header.size()) + Info.HeaderSkip;
  P.Base1 = 0;
  if (Info.HeaderKind == 1) {
    if (e + 8 > Length) return false;
    std::memcpy(Info.TiffHeader.data(), B + e, 8);
    P.Base1 = e;
    e += 8;
  } else if (Info.HeaderKind == 2) {
    if (e + 4 > Length) return false;
    e = int64_t(Get32(B + e, true));  // the entries start this far from the block's start
  }
  switch (Info.ByteOrderMode) {
    case 1: P.LittleEndian = Info.TiffHeader[0] == 'I' && Info.TiffHeader[1] == 'I'; break;
    case 2: P.LittleEndian = true; break;
    case 3: P.LittleEndian = false; break;
    default: P.LittleEndian = EnclosingLE;
  }
  if (e < 0 || e + 2 > Length) return false;
  P.Entries = e;
  return true;
}

}  // namespace

int32_t MakerNoteLayoutCount() { return int32_t(Layouts().size()); }
const TPXEXIFMakerNoteDeviceInfo& MakerNoteLayout(int32_t R) { return Layouts()[size_t(R)]; }

int32_t TPXTagsHandler::IdentifyMakerNote(const uint8_t* Block, int64_t Length, TPXEXIFMakerNoteDeviceInfo& Info) {
  const auto& rows = Layouts();
  for (size_t r = 1; r < rows.size(); ++r) {
    const std::string& h = rows[r].Header;
    const size_t n = size_t(std::min<int64_t>(int64_t(h.size()), Length));
    if (n > 0 && std::memcmp(Block, h.data(), n) == 0) {
      Info = rows[r];
      return int32_t(r);
    }
  }
  Info = rows[0];
  return 0;
}

bool TPXTagsHandler::ReadMakerNote(TStream* Stream, int64_t Length, bool EnclosingLittleEndian, int64_t CallerBase,
                                   bool ClearOnFailure, const TPXMakerNoteEntryCallback& Callback) {
  Clear();
  if (!Stream || Length <= 1) return false;
  const int64_t P = Stream->Position();
  Length = std::min<int64_t>(Length, Stream->Size() - P);
  if (Length <= 1) return false;
  std::vector<uint8_t> b(static_cast<size_t>(Length));
  Stream->ReadBuffer(b.data(), Length);
  SetRawData(b.data(), int32_t(std::min<int64_t>(Length, INT32_MAX)));
  TPXEXIFMakerNoteDeviceInfo info;
  IdentifyMakerNote(b.data(), Length, info);
  TLayoutPlace place;
  const bool placed = Place(b.data(), Length, info, EnclosingLittleEndian, place);
  DeviceInfo = info;
  const bool le = place.LittleEndian;
  const uint32_t n = placed ? Get16(&b[size_t(place.Entries)], le) : 0;
  if (!placed || n > 256 || n == 0 || int64_t(n) * 12 > Length || place.Entries + 2 + int64_t(n) * 12 > Length) {
    if (ClearOnFailure) Clear();
    return false;
  }
  LittleEndian = le;
  // The tag stream: header, directory at 8, then the values.
  TMemoryStream& T = *TagStream();
  T.Clear();
  std::vector<uint8_t> head(8 + 2 + size_t(n) * 12 + 4, 0);
  head[0] = head[1] = le ? 'I' : 'M';
  Put16(&head[2], 42, le);
  Put32(&head[4], 8, le);
  Put16(&head[8], uint16_t(n), le);
  std::vector<uint8_t> values;
  const int64_t dataStart = int64_t(head.size());
  for (uint32_t k = 0; k < n; ++k) {
    const int64_t at = place.Entries + 2 + int64_t(k) * 12;
    uint8_t* e = &head[10 + size_t(k) * 12];
    std::memcpy(e, &b[size_t(at)], 12);
    if (Callback) Callback(P + at, le, &b[size_t(at)]);
    const uint16_t type = Get16(e + 2, le);
    const uint32_t count = Get32(e + 4, le);
    const uint64_t size = uint64_t(TiffTypeSize(type)) * count;
    if (size <= 4) continue;
    const uint32_t value = Get32(e + 8, le);
    int64_t pos;
    if (info.OffsetMode == 1)
      pos = (info.HeaderKind == 1 ? place.Base1 : 0) + int64_t(value);
    else
      pos = CallerBase + int64_t(value) - P;
    if (pos < 0 || uint64_t(pos) + size > uint64_t(Length)) {
      Put32(e + 4, 0, le);
      Put32(e + 8, 0, le);
      continue;
    }
    if (values.size() % 2) values.push_back(0);
    Put32(e + 8, uint32_t(dataStart + int64_t(values.size())), le);
    values.insert(values.end(), b.begin() + pos, b.begin() + pos + int64_t(size));
  }
  T.WriteBuffer(head.data(), int64_t(head.size()));
  if (!values.empty()) T.WriteBuffer(values.data(), int64_t(values.size()));
  T.SetPosition(0);
  return LoadEntries();
}

bool TPXTagsHandler::LoadEntries() {
  TPXTIFFIFDReader& R = *FReader;
  R = TPXTIFFIFDReader{};
  TMemoryStream* T = FTagStream.get();
  R.Stream = T;
  R.Base = 0;
  R.LittleEndian = LittleEndian;
  R.IsBigTiff = false;
  R.InlineSize = 4;
  if (T->Size() < 10) return false;
  int32_t count = 0;
  return R.ReadIFD(0, count, 8);
}

int64_t TPXTagsHandler::WriteMakerNote(TStream* Stream, int64_t CallerBase) const {
  TMemoryStream* T = TagStream();
  if (!Stream || !T || T->Size() < 10) return 0;
  const auto* t = static_cast<const uint8_t*>(T->Memory());
  const int64_t tsize = T->Size();
  const bool le = LittleEndian;
  const TPXEXIFMakerNoteDeviceInfo& info = DeviceInfo;
  const uint16_t n = Get16(t + 8, le);
  if (10 + int64_t(n) * 12 > tsize) return 0;
  const int64_t S0 = Stream->Position();
  std::vector<uint8_t> out(info.Header.begin(), info.Header.end());
  out.resize(out.size() + size_t(std::max(info.HeaderSkip, 0)), 0);
  const int64_t headerLen = int64_t(out.size());
  if (info.HeaderKind == 1) {
    uint8_t th[8];
    std::memcpy(th, info.TiffHeader.data(), 8);
    Put32(th + 4, 8, le);
    out.insert(out.end(), th, th + 8);
  } else if (info.HeaderKind == 2) {
    uint8_t v[4];
    Put32(v, uint32_t(headerLen + 4), true);
    out.insert(out.end(), v, v + 4);
  }
  const int64_t E = int64_t(out.size());
  out.resize(size_t(E + 2 + int64_t(n) * 12 + 4), 0);
  Put16(&out[size_t(E)], n, le);
  for (uint16_t k = 0; k < n; ++k) {
    const size_t slot = size_t(E + 2 + int64_t(k) * 12);
    std::memcpy(&out[slot], t + 10 + size_t(k) * 12, 12);
    const uint64_t size = uint64_t(TiffTypeSize(Get16(&out[slot + 2], le))) * Get32(&out[slot + 4], le);
    if (size <= 4) continue;
    const uint32_t from = Get32(&out[slot + 8], le);
    if (out.size() % 2) out.push_back(0);
    const int64_t D = int64_t(out.size());  // offset in the note
    const int64_t value = info.OffsetMode == 1 ? (info.HeaderKind == 1 ? D - headerLen : D) : S0 + D - CallerBase;
    if (uint64_t(from) + size <= uint64_t(tsize))
      out.insert(out.end(), t + from, t + from + size);
    else
      out.resize(out.size() + size_t(size), 0);
    if (out.size() >= 65001) return 0;
    Put32(&out[slot + 8], uint32_t(value), le);
  }
  if (out.size() >= 65001) return 0;
  bool err = false;
  StreamWriteChecked(Stream, err, out.data(), int64_t(out.size()));
  if (err) {
    Stream->Seek(S0, soBeginning);
    return 0;
  }
  return int64_t(out.size());
}

TPXTagsHandlerRelocator::TPXTagsHandlerRelocator(TStream* Stream, bool LittleEndian, int64_t Shift, int64_t Position,
                                                 int64_t Length)
    : FStream(Stream), FLittleEndian(LittleEndian), FShift(Shift), FPosition(Position), FLength(Length) {}

void TPXTagsHandlerRelocator::Relocate() {
  if (!FStream || FLength <= 1 || FShift == 0) return;
  if (FPosition < 0 || FPosition >= FStream->Size()) return;
  // The parse finds the entries; their raw bytes are rewritten once it is over.
  TPXTagsHandler walk;
  std::vector<std::pair<int64_t, std::array<uint8_t, 12>>> moved;
  auto shift = [&](int64_t Position, bool LE, const uint8_t* Entry) {
    if (walk.DeviceInfo.OffsetMode == 1) return;  // offsets do not depend on where the note lies
    const uint64_t bytes = uint64_t(TiffTypeSize(Get16(Entry + 2, LE))) * Get32(Entry + 4, LE);
    if (bytes <= 4) return;
    std::array<uint8_t, 12> e;
    std::memcpy(e.data(), Entry, 12);
    Put32(e.data() + 8, uint32_t(int64_t(Get32(Entry + 8, LE)) + FShift), LE);
    moved.emplace_back(Position, e);
  };
  FStream->Seek(FPosition, soBeginning);
  walk.ReadMakerNote(FStream, FLength, FLittleEndian, 0, true, shift);
  for (const auto& [at, e] : moved) {
    FStream->Seek(at, soBeginning);
    FStream->WriteBuffer(e.data(), 12);
  }
}
