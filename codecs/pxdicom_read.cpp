// The DICOM data set reader: the preamble test, the element loop (sequences nested up to 64
// deep) and the image attributes taken from the top-level elements.
#include <algorithm>
#include <cstring>

#include "codecs/pxcodecs_impl.h"
#include "codecs/pxdicom.h"
#include "codecs/pxdicom_impl.h"
#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "io/pxxBitmaps_meta.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/SysUtils.h"

using namespace pxcodecs_detail;
using namespace pxdicom_detail;

namespace {

constexpr int32_t kMaxDepth = 64;
constexpr uint32_t kUndefined = 0xFFFFFFFFu;

inline uint16_t Swap16(uint16_t V) { return static_cast<uint16_t>((V >> 8) | (V << 8)); }
inline uint32_t Swap32(uint32_t V) {
  return (V >> 24) | ((V >> 8) & 0xFF00u) | ((V << 8) & 0xFF0000u) | (V << 24);
}

// Bytes per value of the VRs whose values are numbers in the data set's byte order.
int32_t NumberWidth(int32_t VR) {
  switch (VR) {
    case vrUS: case vrSS: case vrOW: case vrUSorSS: return 2;
    case vrUL: case vrSL: case vrFL: case vrOF: return 4;
    case vrFD: return 8;
    case vrAT: return 2;
    default: return 0;
  }
}

// Swaps each value of Data in place to little-endian.
void SwapValues(uint8_t* Data, int64_t Length, int32_t Width) {
  for (int64_t i = 0; i + Width <= Length; i += Width) std::reverse(Data + i, Data + i + Width);
}

enum class TParse { Continue, Reached, End };

class TElementParser {
 public:
  explicit TElementParser(TDicomReadContext& C) : c_(C), s_(*C.Stream) {}

  TParse Parse(TPXDicomTags* Tags, bool TopLevel, int32_t Depth);

 private:
  bool ReadTag(uint16_t& Group, uint16_t& Element) {
    uint8_t b[4];
    if (ReadFully(&s_, b, 4) != 4) return false;
    Group = GetLE16(b);
    Element = GetLE16(b + 2);
    if (!c_.LittleEndian && Group != 0x0002) Group = Swap16(Group), Element = Swap16(Element);
    return true;
  }
  bool ReadLength32(uint32_t& Length, bool Swap) {
    uint8_t b[4];
    if (ReadFully(&s_, b, 4) != 4) return false;
    Length = GetLE32(b);
    if (Swap) Length = Swap32(Length);
    return true;
  }
  int64_t Pos() { return s_.Position(); }
  void Seek(int64_t P) { s_.Seek(P, soBeginning); }
  std::unique_ptr<TPXDicomItems> ParseSequence(uint32_t Length, int32_t Depth, int64_t& Consumed);
  void TakeAttribute(uint16_t Group, uint16_t Element, int32_t VR, const std::vector<uint8_t>& Value, bool HasValue,
                     bool HasNumber, uint32_t Number);

  TDicomReadContext& c_;
  TPXBufferedReadStream& s_;
};

std::unique_ptr<TPXDicomItems> TElementParser::ParseSequence(uint32_t Length, int32_t Depth, int64_t& Consumed) {
  auto items = std::make_unique<TPXDicomItems>();
  const int64_t start = Pos();
  const bool undefined = Length == kUndefined;
  const int64_t end = undefined ? c_.StreamSize : std::min<int64_t>(start + Length, c_.StreamSize);
  const bool swap = !c_.LittleEndian;
  bool undefinedItems = false;
  while (Pos() < end) {
    const int64_t at = Pos();
    uint16_t g, e;
    if (!ReadTag(g, e)) break;
    if (g == 0xFFFE && e == 0xE0DD) {  // sequence delimiter
      uint32_t skip;
      ReadLength32(skip, false);
      break;
    }
    if (g != 0xFFFE || e != 0xE000) {
      Seek(at);
      break;
    }
    uint32_t itemLength;
    if (!ReadLength32(itemLength, swap)) break;
    if (itemLength == kUndefined || undefinedItems) {
      // An item ending with its delimiter; every later item of the sequence is taken likewise.
      undefinedItems = true;
      auto item = std::make_unique<TPXDicomTags>();
      item->Sorted = false;
      while (Pos() < c_.StreamSize) {
        const int64_t p = Pos();
        uint16_t ig, ie;
        if (!ReadTag(ig, ie)) break;
        if (ig == 0xFFFE && ie == 0xE00D) {
          uint32_t skip;
          ReadLength32(skip, false);
          break;
        }
        Seek(p);
        if (Parse(item.get(), false, Depth + 1) == TParse::End || Pos() <= p) break;
      }
      items->push_back(std::move(item));
      continue;
    }
    if (itemLength == 0) continue;
    const int64_t itemEnd = std::min<int64_t>(Pos() + itemLength, c_.StreamSize);
    auto item = std::make_unique<TPXDicomTags>();
    item->Sorted = false;
    while (Pos() < itemEnd) {
      const int64_t p = Pos();
      if (Parse(item.get(), false, Depth + 1) == TParse::End || Pos() <= p) break;
    }
    if (Pos() < itemEnd) Seek(itemEnd);
    items->push_back(std::move(item));
  }
  Consumed = Pos() - start;
  return items;
}

void TElementParser::TakeAttribute(uint16_t Group, uint16_t Element, int32_t VR, const std::vector<uint8_t>& Value,
                                   bool HasValue, bool HasNumber, uint32_t Number) {
  const auto text = [&]() -> std::string {
    if (!HasValue) return std::string();
    const auto* p = reinterpret_cast<const char*>(Value.data());
    return Trim(std::string(p, strnlen(p, Value.size())));
  };
  const auto number = [&](int32_t& Field) {
    if (HasNumber) Field = static_cast<int32_t>(Number);
  };
  // Smallest and largest values are signed when the file says SS, or leaves it open and the
  // pixels are signed.
  const auto pixelValue = [&](int32_t& Field) {
    if (!HasNumber) return;
    const bool isSigned = VR == vrSS || (VR == vrUSorSS && c_.PixelRepresentation == 1);
    Field = isSigned ? int32_t(int16_t(uint16_t(Number))) : int32_t(Number & 0xFFFF);
  };
  const uint32_t tag = (uint32_t(Group) << 16) | Element;
  switch (tag) {
    case 0x00020010:
      c_.TransferSyntax = text();
      // A zero byte pads UI values.
      while (!c_.TransferSyntax.empty() && c_.TransferSyntax.back() == '\0') c_.TransferSyntax.pop_back();
      if (c_.TransferSyntax == "1.2.840.10008.1.2.2") c_.LittleEndian = false;
      break;
    case 0x00280002: number(c_.SamplesPerPixel); break;
    case 0x00280006: number(c_.PlanarConfiguration); break;
    case 0x00280010: number(c_.Rows); break;
    case 0x00280011: number(c_.Columns); break;
    case 0x00280103: number(c_.PixelRepresentation); break;
    case 0x00280106: pixelValue(c_.SmallestPixel); break;
    case 0x00280107: pixelValue(c_.LargestPixel); break;
    case 0x00280004: c_.Photometric = UpperCase(text()); break;
    case 0x00280008: c_.FrameCount = std::max(StrToIntDef(text(), 1), 1); break;
    case 0x00280100:
    case 0x00280101: {
      if (!HasNumber) break;
      const auto bits = static_cast<int32_t>(Number & 0xFFFF);
      int32_t& mine = Element == 0x0100 ? c_.BitsAllocated : c_.BitsStored;
      int32_t& other = Element == 0x0100 ? c_.BitsStored : c_.BitsAllocated;
      mine = bits;
      c_.BytesPerSample = std::max(c_.BytesPerSample, (bits + 7) / 8);
      if (other == 0) other = bits;
      break;
    }
    case 0x00281050: c_.WindowCenter = DicomTextToFloat(text(), kNotSet); break;
    case 0x00281051: c_.WindowWidth = DicomTextToFloat(text(), kNotSet); break;
    case 0x00281052: c_.RescaleIntercept = DicomTextToFloat(text(), 0); break;
    case 0x00281053: c_.RescaleSlope = DicomTextToFloat(text(), 1); break;
    case 0x00281201:
    case 0x00281202:
    case 0x00281203: {
      if (!HasValue) break;
      // At most 65,536 entries: those the data holds, the rest 0.
      const int32_t bits = std::clamp(c_.BitsAllocated, 1, 16);
      std::vector<uint16_t> table(size_t(1) << bits, 0);
      const size_t have = std::min(table.size(), (Value.size() - 1) / 2);
      for (size_t i = 0; i < have; ++i) table[i] = GetLE16(Value.data() + 2 * i);
      (Element == 0x1201 ? c_.RedLut : Element == 0x1202 ? c_.GreenLut : c_.BlueLut) = std::move(table);
      break;
    }
    default:
      break;
  }
}

TParse TElementParser::Parse(TPXDicomTags* Tags, bool TopLevel, int32_t Depth) {
  uint16_t group, element;
  if (!ReadTag(group, element)) return TParse::End;
  const bool swap = !c_.LittleEndian && group != 0x0002;
  int32_t dictVR;
  if (const TPXDicomDictEntry* entry = FindDicomDictEntry(group, element)) {
    dictVR = entry->VR;
  } else {
    uint8_t peek[8];
    const int64_t at = Pos();
    const bool got = ReadFully(&s_, peek, 8) == 8;
    Seek(at);
    dictVR = got && GetLE32(peek) == kUndefined && peek[4] == 0xFE && peek[5] == 0xFF && peek[6] == 0x00 &&
                     peek[7] == 0xE0
                 ? vrSQ
                 : vrUN;
  }
  // Private creator elements are LO.
  if ((group & 1) && element >= 0x0010 && element <= 0x00FF) dictVR = vrLO;
  char vrText[2];
  if (ReadFully(&s_, vrText, 2) != 2) return TParse::End;
  const int32_t fileVR = TPXDicomTags::VrFromText(std::string_view(vrText, 2));
  bool longLength;
  if (fileVR >= vrUSorSS && group != 0x0002) {
    Seek(Pos() - 2);  // implicit VR
    longLength = true;
  } else {
    // The file's VR wins where the dictionary leaves it open, and for private elements, whose
    // meaning depends on their creator.
    if (dictVR == vrUN || dictVR == vrUSorSS || ((group & 1) && fileVR < vrUSorSS)) dictVR = fileVR;
    if ((c_.NoPreamble && fileVR >= vrUSorSS) || dictVR == vrNone) {
      Seek(Pos() - 2);
      longLength = true;
    } else if (fileVR == vrOB || fileVR == vrOF || fileVR == vrOW || fileVR == vrSQ || fileVR == vrUN ||
               fileVR == vrUT) {
      Seek(Pos() + 2);
      longLength = true;
    } else {
      longLength = false;
    }
  }
  uint32_t length;
  if (longLength) {
    if (!ReadLength32(length, swap)) return TParse::End;
  } else {
    uint8_t b[2];
    if (ReadFully(&s_, b, 2) != 2) return TParse::End;
    length = swap ? Swap16(GetLE16(b)) : GetLE16(b);
  }

  int32_t size;
  switch (dictVR) {
    case vrSS: case vrUS: case vrUSorSS: size = 2; break;
    case vrFL: case vrSL: case vrUL: size = 4; break;
    case vrFD: size = 8; break;
    default: size = 1; break;
  }
  int64_t count = length == 0 ? 1 : length / size;
  if (length == kUndefined) size = 0, count = 0;

  if (group == 0x7FE0 && element == 0x0010) {
    uint8_t sig[4] = {};
    const int64_t at = Pos();
    ReadFully(&s_, sig, 4);
    Seek(at);
    const bool jpeg = (sig[0] == 0xFF && sig[1] == 0xD8 && sig[2] == 0xFF && sig[3] == 0xE0) ||
                      (sig[0] == 0xD8 && sig[1] == 0xFF && sig[2] == 0xE0 && sig[3] == 0xFF);
    if (jpeg) {
      c_.JpegPixelPos = at;
    } else if (TopLevel) {
      c_.PixelPos = at;
      const TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
      if (!settings || !settings->FDicomAfterPixelData) return TParse::Reached;
    }
  }

  const int64_t valueStart = Pos();
  const int64_t remaining = c_.StreamSize - valueStart;
  std::unique_ptr<TPXDicomItems> items;
  int64_t itemLength = 0;
  if (dictVR == vrSQ && Depth < kMaxDepth && (length == kUndefined || (length > 0 && length <= remaining))) {
    items = ParseSequence(length, Depth, itemLength);
    if (items->empty()) items.reset();
    Seek(valueStart);
    if (items || length == kUndefined) {
      // The sequence's bytes are skipped; an empty one keeps no data.
      Seek(valueStart + itemLength);
      if (items) Tags->AddTag(group, element, std::move(items), static_cast<int32_t>(itemLength), nullptr, dictVR);
      else Tags->AddTag(group, element, nullptr, 0, nullptr, dictVR);
      return TParse::Continue;
    }
  }

  std::vector<uint8_t> value;
  const bool read = length != kUndefined && length > 0 && int64_t(length) <= remaining;
  if (read) {
    value.resize(size_t(length) + 1);
    if (ReadFully(&s_, value.data(), length) != int64_t(length)) value.clear();
  }
  const bool hasValue = !value.empty();
  if (hasValue && swap) {
    const int32_t width = NumberWidth(dictVR);
    if (width > 0) SwapValues(value.data(), length, width);
  }
  bool hasNumber = false;
  uint32_t number = 0;
  if (hasValue && count == 1 && (size == 1 || size == 2 || size == 4)) {
    hasNumber = true;
    number = size == 1 ? value[0] : size == 2 ? GetLE16(value.data()) : GetLE32(value.data());
  }
  Tags->AddTag(group, element, nullptr, hasValue ? int32_t(length) : 0, hasValue ? value.data() : nullptr, dictVR);
  if (TopLevel) TakeAttribute(group, element, dictVR, value, hasValue, hasNumber, number);
  return TParse::Continue;
}

}  // namespace

double DicomTextToFloat(std::string_view Text, double Default) {
  const size_t cut = Text.find('\\');
  return TextToFloatDef(Trim(std::string(Text.substr(0, cut))), Default);
}

bool HasDicomSignature(TStream* Stream) {
  if (!Stream) return false;
  const int64_t at = Stream->Position();
  uint8_t b[132];
  const bool ok = ReadFully(Stream, b, 132) == 132 && std::memcmp(b + 128, "DICM", 4) == 0;
  Stream->Seek(at, soBeginning);
  return ok;
}

void DecodeDicomStream(TStream* Stream, TIOParams* Params, TPXBitmap* Bitmap, bool PreviewOnly,
                       TPXProgressRecord& Progress) {
  RunGuarded(Progress, Stream && Params && (Bitmap || PreviewOnly), [&](TPXAbortFlag& Aborting) {
    const TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
    TDicomReadContext c;
    c.Params = Params;
    c.Progress = Progress;
    c.Stream = std::make_unique<TPXBufferedReadStream>(Stream, 65536, settings && settings->FStreamRelativeOrigin);
    TPXBufferedReadStream& s = *c.Stream;
    c.StreamSize = s.Size();
    const int64_t origin = s.Position();
    uint8_t b[132];
    if (!(ReadFully(&s, b, 132) == 132 && std::memcmp(b + 128, "DICM", 4) == 0)) {
      s.Seek(origin, soBeginning);
      c.NoPreamble = true;
    }
    c.RescaleIntercept = Params->DICOM_RangeValues[0];
    c.RescaleSlope = Params->DICOM_RangeValues[1];
    c.WindowCenter = Params->DICOM_RangeValues[2];
    c.WindowWidth = Params->DICOM_RangeValues[3];
    TPXDicomTags* tags = Params->GetDicomTags();
    tags->Clear();
    TElementParser parser(c);
    while (s.Position() < c.StreamSize) {
      const int64_t at = s.Position();
      const TParse r = parser.Parse(tags, true, 0);
      if (r != TParse::Continue || s.Position() <= at) break;
    }
    DecodeDicomPixels(c, Bitmap, Params, PreviewOnly, Aborting);
  });
}

int32_t GetDicomStreamFrameCount(TStream* Stream) {
  if (!Stream) return 0;
  const int64_t at = Stream->Position();
  TIOParams params;
  TPXAbortFlag aborting{false};
  TPXProgressRecord progress;
  ResetProgressRecord(&aborting, true, progress);
  DecodeDicomStream(Stream, &params, nullptr, true, progress);
  Stream->Seek(at, soBeginning);
  return aborting ? 0 : params.ImageCount;
}

int32_t GetDicomFrameCount(const std::string& FileName) {
  TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
  return GetDicomStreamFrameCount(&file);
}
