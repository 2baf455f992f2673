// The DICOM writer: file meta and data set elements from a copy of the picture's tag list with
// the image attributes set, and the pixel data raw (little- or big-endian), RLE, baseline JPEG or
// JPEG 2000. The file is built in memory and reaches the caller's stream when it is complete.
#include <algorithm>
#include <cstring>

#include "codecs/jpegfilt.h"
#include "codecs/pxcodecs_impl.h"
#include "codecs/pxdicom.h"
#include "codecs/pxdicom_impl.h"
#include "codecs/pxj2000.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_meta.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/SysUtils.h"

using namespace pxcodecs_detail;
using namespace pxdicom_detail;

namespace {

const std::string kExplicitLE = "1.2.840.10008.1.2.1";
const std::string kExplicitBE = "1.2.840.10008.1.2.2";
const std::string kBaseline = "1.2.840.10008.1.2.4.50";
const std::string kJ2kLossless = "1.2.840.10008.1.2.4.90";
const std::string kJ2kLossy = "1.2.840.10008.1.2.4.91";
const std::string kRle = "1.2.840.10008.1.2.5";

bool LongLengthVR(int32_t VR) {
  return VR == vrOB || VR == vrOF || VR == vrOW || VR == vrSQ || VR == vrUN || VR == vrUT;
}

int32_t ValueWidth(int32_t VR) {
  switch (VR) {
    case vrUS: case vrSS: case vrOW: case vrUSorSS: case vrAT: return 2;
    case vrUL: case vrSL: case vrFL: case vrOF: return 4;
    case vrFD: return 8;
    default: return 0;
  }
}

bool TextVR(int32_t VR) {
  switch (VR) {
    case vrAE: case vrAS: case vrCS: case vrDA: case vrDS: case vrDT: case vrIS: case vrLO: case vrLT:
    case vrPN: case vrSH: case vrST: case vrTM: case vrUR: case vrUT: return true;
    default: return false;
  }
}

}  // namespace

struct TPXDicomWriteContext {
  TStream* Target = nullptr;
  TMemoryStream Out;
  TPXProgressRecord Progress;
  int32_t LastPercent = -1;
  TIOParams* Params = nullptr;
  std::unique_ptr<TPXDicomTags> Tags;
  int32_t FrameCount = 1;
  int32_t FramesWritten = 0;
  bool LittleEndian = true;
  std::string TransferSyntax;
  bool Encapsulated = false;
  int64_t PixelLengthPos = -1;
  int64_t OffsetTablePos = 0;
  int64_t FirstFragmentPos = 0;
  int64_t GroupLengthPos = 0;
  bool Aborted = false;

  void U16(uint16_t V, bool Swap) {
    uint8_t b[2];
    PutLE16(b, Swap ? uint16_t((V >> 8) | (V << 8)) : V);
    Out.WriteBuffer(b, 2);
  }
  void U32(uint32_t V, bool Swap) {
    uint8_t b[4];
    PutLE32(b, V);
    if (Swap) std::reverse(b, b + 4);
    Out.WriteBuffer(b, 4);
  }
  void PatchU32(int64_t At, uint32_t V, bool Swap) {
    const int64_t here = Out.Position();
    Out.Seek(At, soBeginning);
    U32(V, Swap);
    Out.Seek(here, soBeginning);
  }
  void Report(int32_t PerCent) {
    if (PerCent != LastPercent && Progress.Event) Progress.Event(Progress.Sender, PerCent);
    LastPercent = PerCent;
  }
  void WriteElements(const TPXDicomTags* List);
  void WriteElement(const TPXDicomTag& Tag);
};

void TPXDicomWriteContext::WriteElement(const TPXDicomTag& Tag) {
  const bool outside = Tag.Group != 0x0002;
  if (outside && GroupLengthPos > 0) {
    PatchU32(GroupLengthPos, uint32_t(Out.Position() - GroupLengthPos - 4), false);
    GroupLengthPos = 0;
  }
  const bool swap = outside && !LittleEndian;
  int32_t vr = Tag.VR;
  // "US or SS" elements are written as US: the pixels are written unsigned.
  if (vr == vrUSorSS) vr = vrUS;
  if (vr < 0 || vr >= vrUSorSS) vr = vrUN;
  const bool sequence = Tag.Children && !Tag.Children->empty();
  if (sequence) vr = vrSQ;
  // Values padded to an even length; a value too long for a short length field goes as UN.
  std::vector<uint8_t> value;
  if (!sequence && !Tag.Data.empty()) {
    value.assign(Tag.Data.begin(), Tag.Data.begin() + std::min<size_t>(size_t(std::max(Tag.DataLength, 0)), Tag.Data.size()));
    if (value.size() % 2) value.push_back(TextVR(vr) ? ' ' : 0);
    if (swap)
      if (const int32_t w = ValueWidth(vr))
        for (size_t i = 0; i + size_t(w) <= value.size(); i += size_t(w)) std::reverse(value.begin() + long(i), value.begin() + long(i) + w);
  }
  if (!LongLengthVR(vr) && value.size() > 0xFFFF) vr = vrUN;
  U16(Tag.Group, swap);
  U16(Tag.Element, swap);
  const std::string letters = TPXDicomTags::VrToText(vr);
  Out.WriteBuffer(letters.data(), 2);
  int64_t lengthPos;
  if (LongLengthVR(vr)) {
    U16(0, false);
    lengthPos = Out.Position();
    U32(uint32_t(value.size()), swap);
  } else {
    lengthPos = Out.Position();
    U16(uint16_t(value.size()), swap);
  }
  if (Tag.Group == 0x0002 && Tag.Element == 0x0000) GroupLengthPos = lengthPos + 2;
  if (!sequence) {
    if (!value.empty()) Out.WriteBuffer(value.data(), int64_t(value.size()));
    return;
  }
  const int64_t start = Out.Position();
  for (const auto& item : *Tag.Children) {
    U16(0xFFFE, swap);
    U16(0xE000, swap);
    const int64_t itemLengthPos = Out.Position();
    U32(0, swap);
    if (item) WriteElements(item.get());
    PatchU32(itemLengthPos, uint32_t(Out.Position() - itemLengthPos - 4), swap);
  }
  PatchU32(lengthPos, uint32_t(Out.Position() - start), swap);
}

void TPXDicomWriteContext::WriteElements(const TPXDicomTags* List) {
  for (int32_t i = 0; i < List->GetCount(); ++i)
    if (const TPXDicomTag* t = List->GetTag(i)) WriteElement(*t);
}

namespace {

[[noreturn]] void Unsupported() { throw EPXException("DICOM saving: unsupported pixel format"); }

// PackBits of one row: runs of 3 to 128 equal bytes as 1 - n and the byte, everything else as
// literals of up to 128 bytes (n - 1 and the bytes).
void PackRow(const uint8_t* Row, int32_t Count, std::vector<uint8_t>& Out) {
  int32_t i = 0;
  while (i < Count) {
    int32_t run = 1;
    while (i + run < Count && run < 128 && Row[i + run] == Row[i]) ++run;
    if (run >= 3) {
      Out.push_back(uint8_t(1 - run));
      Out.push_back(Row[i]);
      i += run;
      continue;
    }
    int32_t j = i;
    while (j < Count && j - i < 128) {
      if (j + 2 < Count && Row[j] == Row[j + 1] && Row[j] == Row[j + 2]) break;
      ++j;
    }
    Out.push_back(uint8_t(j - i - 1));
    Out.insert(Out.end(), Row + i, Row + j);
    i = j;
  }
}

void WriteRle(TPXDicomWriteContext& C, TPXBitmap* B) {
  const TPXPixelFormat f = B->PixelFormat();
  const int32_t w = B->Width(), h = B->Height();
  int32_t segments;
  switch (f) {
    case px1g: case px8g: segments = 1; break;
    case px16g: segments = 2; break;
    case px24RGB: segments = 3; break;
    default: Unsupported();
  }
  const int64_t header = C.Out.Position();
  uint8_t head[64] = {};
  PutLE32(head, uint32_t(segments));
  C.Out.WriteBuffer(head, 64);
  std::vector<uint8_t> row(size_t(std::max(w, 1)) * 1 + 8), packed;
  for (int32_t s = 0; s < segments; ++s) {
    C.PatchU32(header + 4 + 4 * s, uint32_t(C.Out.Position() - header), false);
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* r = B->Scanline(y);
      int32_t n = w;
      switch (f) {
        case px1g:
          n = (w + 7) / 8;
          std::memcpy(row.data(), r, size_t(n));
          break;
        case px8g:
          std::memcpy(row.data(), r, size_t(w));
          break;
        case px16g:
          for (int32_t x = 0; x < w; ++x) {
            const uint16_t v = reinterpret_cast<const uint16_t*>(r)[x];
            row[size_t(x)] = uint8_t(s == 0 ? v >> 8 : v);
          }
          break;
        default:
          for (int32_t x = 0; x < w; ++x) row[size_t(x)] = r[3 * x + 2 - s];
          break;
      }
      packed.clear();
      PackRow(row.data(), n, packed);
      C.Out.WriteBuffer(packed.data(), int64_t(packed.size()));
      C.Report(static_cast<int32_t>(Round((s * 100.0 + (y + 1) * 100.0 / h) / segments)));
    }
  }
}

void WriteRaw(TPXDicomWriteContext& C, TPXBitmap* B) {
  const TPXPixelFormat f = B->PixelFormat();
  const int32_t w = B->Width(), h = B->Height();
  if (f == px1g) {
    // One bit per pixel, packed across rows with the first pixel in the lowest bit.
    std::vector<uint8_t> bits((int64_t(w) * h + 7) / 8, 0);
    int64_t i = 0;
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* r = B->Scanline(y);
      for (int32_t x = 0; x < w; ++x, ++i)
        if ((r[x >> 3] >> (7 - (x & 7))) & 1) bits[size_t(i >> 3)] |= uint8_t(1 << (i & 7));
    }
    C.Out.WriteBuffer(bits.data(), int64_t(bits.size()));
    C.Report(100);
    return;
  }
  std::vector<uint8_t> row;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* r = B->Scanline(y);
    switch (f) {
      case px8g:
        C.Out.WriteBuffer(r, w);
        break;
      case px16g:
        row.assign(r, r + size_t(w) * 2);
        if (!C.LittleEndian)
          for (size_t k = 0; k + 1 < row.size(); k += 2) std::swap(row[k], row[k + 1]);
        C.Out.WriteBuffer(row.data(), int64_t(row.size()));
        break;
      case px24RGB:
        row.resize(size_t(w) * 3);
        for (int32_t x = 0; x < w; ++x) {
          row[size_t(3 * x)] = r[3 * x + 2];
          row[size_t(3 * x + 1)] = r[3 * x + 1];
          row[size_t(3 * x + 2)] = r[3 * x];
        }
        C.Out.WriteBuffer(row.data(), int64_t(row.size()));
        break;
      default:
        Unsupported();
    }
    C.Report(static_cast<int32_t>(Round((y + 1) * 100.0 / h)));
  }
}

void RunCoder(TPXDicomWriteContext& C, const std::function<void(TPXProgressRecord&)>& Coder) {
  TPXProgressRecord progress = C.Progress;
  TPXAbortFlag own{false};
  progress.Aborting = &own;
  Coder(progress);
  if (own) C.Aborted = true;
}

}  // namespace

std::unique_ptr<TPXDicomWriteContext> BeginDicomStream(TStream* Stream, TIOParams* Params, int32_t FrameCount,
                                                       TPXProgressRecord& Progress) {
  auto c = std::make_unique<TPXDicomWriteContext>();
  c->Target = Stream;
  c->Progress = Progress;
  c->Params = Params;
  c->FrameCount = std::max(FrameCount, 1);
  // The picture's own list stays as it is: the file gets a prepared copy.
  c->Tags = std::make_unique<TPXDicomTags>();
  if (Params->DICOM_Tags()) c->Tags->Assign(Params->DICOM_Tags());
  TPXDicomTags& t = *c->Tags;
  std::string syntax = Trim(t.GetTagTextOf(0x0002, 0x0010));
  while (!syntax.empty() && syntax.back() == '\0') syntax.pop_back();

  t.SetNumber(0x0002, 0x0000, true, 0);
  const uint8_t version[2] = {0, 1};
  t.SetBytes(0x0002, 0x0001, true, 2, version);
  if (syntax != kExplicitLE && syntax != kExplicitBE && syntax != kBaseline && syntax != kJ2kLossless &&
      syntax != kJ2kLossy && syntax != kRle) {
    syntax = kExplicitLE;
    t.SetString(0x0002, 0x0010, true, syntax);
  }
  t.SetString(0x0028, 0x2110, true, syntax == kBaseline || syntax == "1.2.840.10008.1.2.4.51" || syntax == kJ2kLossy ? "01" : "00");
  const int32_t spp = Params->SamplesPerPixel, bps = Params->BitsPerSample;
  t.SetNumber(0x0028, 0x0002, true, spp);
  const char* photometric = "MONOCHROME2";
  int32_t bits, planar = 0;
  if (spp == 3 && bps == 8) {
    // Baseline JPEG holds colour as YCbCr with subsampled chroma, and the file says so: readers
    // that follow the element would take the components for red, green and blue.
    photometric = syntax == kBaseline ? "YBR_FULL_422" : "RGB", bits = 8, planar = syntax == kRle ? 1 : 0;
  } else if (spp == 1 && (bps == 1 || bps == 8 || bps == 16)) {
    bits = bps;
  } else {
    throw EPXException("DICOM saving: unsupported SamplesPerPixel and/or BitsPerSample");
  }
  t.SetString(0x0028, 0x0004, true, photometric);
  t.SetNumber(0x0028, 0x0100, true, bits);
  t.SetNumber(0x0028, 0x0101, true, bits);
  t.SetNumber(0x0028, 0x0102, true, bits - 1);
  t.SetNumber(0x0028, 0x0006, true, planar);
  t.SetString(0x0028, 0x0008, true, std::to_string(c->FrameCount));
  t.SetNumber(0x0028, 0x0011, true, Params->Width);
  t.SetNumber(0x0028, 0x0010, true, Params->Height);
  t.SetNumber(0x0028, 0x0103, true, 0);
  if (Params->DICOM_Range != 0) throw EPXException("DICOM_Range = pxdrSetBlackWhite not supported for saving");
  for (const auto& [g, e] : std::initializer_list<std::pair<uint16_t, uint16_t>>{
           {0x0028, 0x1050}, {0x0028, 0x1051}, {0x0028, 0x1052}, {0x0028, 0x1053}, {0x0028, 0x1054},
           {0x0028, 0x1201}, {0x0028, 0x1202}, {0x0028, 0x1203}, {0x0028, 0x3110}, {0x7FE0, 0x0010},
           {0xFFFE, 0xE000}, {0xFFFE, 0xE00D}, {0xFFFE, 0xE0DD}})
    t.DeleteTag(g, e, true);
  c->TransferSyntax = syntax;
  c->LittleEndian = syntax != kExplicitBE;
  c->Encapsulated = syntax != kExplicitLE && syntax != kExplicitBE;
  if (t.IndexOf(0x0008, 0x0016) < 0) t.SetString(0x0008, 0x0016, true, "1.2.840.10008.5.1.4.1.1.7");

  const uint8_t preamble[128] = {};
  c->Out.WriteBuffer(preamble, 128);
  c->Out.WriteBuffer("DICM", 4);
  c->WriteElements(c->Tags.get());
  return c;
}

void WriteDicomFrame(TPXDicomWriteContext* C, TPXBitmap* Bitmap) {
  if (!C || !Bitmap || C->FramesWritten >= C->FrameCount) return;
  const TPXPixelFormat f = Bitmap->PixelFormat();
  if (f != px1g && f != px8g && f != px16g && f != px24RGB) Unsupported();
  const bool swap = !C->LittleEndian;
  if (C->FramesWritten == 0) {
    if (C->GroupLengthPos > 0) {
      C->PatchU32(C->GroupLengthPos, uint32_t(C->Out.Position() - C->GroupLengthPos - 4), false);
      C->GroupLengthPos = 0;
    }
    C->U16(0x7FE0, swap);
    C->U16(0x0010, swap);
    C->Out.WriteBuffer(!C->Encapsulated && f == px16g ? "OW" : "OB", 2);
    C->U16(0, false);
    C->PixelLengthPos = C->Out.Position();
    C->U32(0, swap);
    if (C->Encapsulated) {
      C->U16(0xFFFE, false);
      C->U16(0xE000, false);
      C->U32(uint32_t(4 * C->FrameCount), false);
      C->OffsetTablePos = C->Out.Position();
      for (int32_t i = 0; i < C->FrameCount; ++i) C->U32(0, false);
      C->FirstFragmentPos = C->Out.Position();
    }
  }
  int64_t itemLengthPos = 0;
  if (C->Encapsulated) {
    C->PatchU32(C->OffsetTablePos + 4 * C->FramesWritten, uint32_t(C->Out.Position() - C->FirstFragmentPos), false);
    C->U16(0xFFFE, false);
    C->U16(0xE000, false);
    itemLengthPos = C->Out.Position();
    C->U32(0, false);
  }
  const std::string& t = C->TransferSyntax;
  if (t == kBaseline) {
    if (f != px8g && f != px24RGB) Unsupported();
    TIOParams params;
    params.JPEG_Quality = C->Params->DICOM_JPEGQuality;
    params.JPEG_ColorSpace = f == px8g ? 1 : 2;
    RunCoder(*C, [&](TPXProgressRecord& P) { EncodeJpegStream(&C->Out, Bitmap, &params, P); });
  } else if (t == kJ2kLossless || t == kJ2kLossy) {
    if (f != px8g && f != px16g && f != px24RGB) Unsupported();
    TIOParams params;
    params.J2000_Rate = t == kJ2kLossless ? 1.0 : C->Params->DICOM_J2000Rate;
    params.BitsPerSample = 8;
    RunCoder(*C, [&](TPXProgressRecord& P) { EncodeJpeg2000Stream(&C->Out, Bitmap, &params, 1, P); });
  } else if (t == kRle) {
    WriteRle(*C, Bitmap);
  } else {
    WriteRaw(*C, Bitmap);
  }
  if (C->Encapsulated) {
    int64_t length = C->Out.Position() - itemLengthPos - 4;
    if (length % 2) {
      const uint8_t zero = 0;
      C->Out.WriteBuffer(&zero, 1);
      ++length;
    }
    C->PatchU32(itemLengthPos, uint32_t(length), false);
  }
  ++C->FramesWritten;
}

void EndDicomStream(std::unique_ptr<TPXDicomWriteContext> C) {
  if (!C) return;
  const bool swap = !C->LittleEndian;
  if (C->PixelLengthPos >= 0) {
    if (C->Encapsulated) {
      C->U16(0xFFFE, false);
      C->U16(0xE0DD, false);
      C->U32(0, false);
      C->PatchU32(C->PixelLengthPos, 0xFFFFFFFFu, false);
    } else {
      int64_t length = C->Out.Position() - C->PixelLengthPos - 4;
      if (length % 2) {
        const uint8_t zero = 0;
        C->Out.WriteBuffer(&zero, 1);
        ++length;
      }
      C->PatchU32(C->PixelLengthPos, uint32_t(length), swap);
    }
  }
  if (C->Aborted) {
    if (C->Progress.Aborting) *C->Progress.Aborting = true;
    return;
  }
  C->Target->WriteBuffer(C->Out.Memory(), C->Out.Size());
}

void EncodeDicomStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress) {
  auto c = BeginDicomStream(Stream, Params, 1, Progress);
  WriteDicomFrame(c.get(), Bitmap);
  EndDicomStream(std::move(c));
}

const std::array<std::string, 11>& DicomTransferSyntaxTable() {
  static const std::array<std::string, 11> table{
      "1.2.840.10008.1.2",        "1.2.840.10008.1.2.1",      "1.2.840.10008.1.2.2",      "1.2.840.10008.1.2.4.50",
      "1.2.840.10008.1.2.4.51",   "1.2.840.10008.1.2.4.57",   "1.2.840.10008.1.2.4.70",   "1.2.840.10008.1.2.4.90",
      "1.2.840.10008.1.2.4.91",   "1.2.840.10008.1.2.5",      "1.2.840.10008.1.2.4.100"};
  return table;
}

void RegisterDicomCodec() {
  SetDicomTransferSyntaxes(&DicomTransferSyntaxTable());
  TPXFormatRow row;
  row.Decode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress, bool PreviewOnly,
                  std::unique_ptr<TPXMask>&) -> int32_t {
    DecodeDicomStream(Stream, Params, Bitmap, PreviewOnly, Progress);
    return 0;
  };
  row.Encode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXMask*, TPXProgressRecord& Progress) {
    EncodeDicomStream(Stream, Bitmap, Params, Progress);
  };
  row.Signature = HasDicomSignature;
  row.PageCount = GetDicomStreamFrameCount;
  row.Rules.MultiPage = true;
  RegisterFormatRow(pxftDICOM, std::move(row));
}
