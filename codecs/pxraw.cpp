// Camera raw files: engine choice, the preparation of the companion library's engines, the
// conversion tool's argument list, and the parser of the heap-structured raw format.
#include "codecs/pxraw.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "core/hypxutils_streams.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "codecs/pxwic.h"
#include "io/pixoranio.h"
#include "io/pixoranio_registry.h"
#include "io/pxexif.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Heap-structured raw format

// Bounds that keep a hostile file cheap: nesting depth, records per table, records per file,
// and the bytes read for one text or maker-note record.
constexpr int32_t kMaxHeapDepth = 8;
constexpr int32_t kMaxRecordsPerHeap = 256;
constexpr int32_t kMaxRecordsPerFile = 16384;
constexpr int64_t kMaxRecordRead = 65534;

bool IsNestedHeap(uint16_t Id) {
  switch (Id) {
    case 0x2800: case 0x2807: case 0x3000: case 0x3002: case 0x3003: case 0x3004: case 0x300A: case 0x300B:
      return true;
    default:
      return false;
  }
}

// Width x height of the JPEG picture in Data (its first frame header); 0 when there is none.
int64_t JpegArea(const std::vector<uint8_t>& Data) {
  const size_t n = Data.size();
  if (n < 4 || Data[0] != 0xFF || Data[1] != 0xD8) return 0;
  size_t i = 2;
  while (i + 4 <= n) {
    if (Data[i] != 0xFF) return 0;
    const uint8_t m = Data[i + 1];
    if (m == 0xFF) {
      ++i;
      continue;
    }
    const size_t len = (size_t(Data[i + 2]) << 8) | Data[i + 3];
    if (len < 2) return 0;
    const bool sof = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
    if (sof) {
      if (i + 9 > n) return 0;
      const int64_t h = (int64_t(Data[i + 5]) << 8) | Data[i + 6];
      const int64_t w = (int64_t(Data[i + 7]) << 8) | Data[i + 8];
      return w * h;
    }
    if (m == 0xDA || m == 0xD9) return 0;
    i += 2 + len;
  }
  return 0;
}

// "yyyy:mm:dd hh:mm:ss" of a count of seconds since 1970-01-01 00:00:00.
std::string UnixTimeToExifText(uint32_t Seconds) {
  const int64_t days = Seconds / 86400;
  const int64_t rest = Seconds % 86400;
  // Civil date from a day number (proleptic Gregorian calendar).
  const int64_t z = days + 719468;
  const int64_t era = z / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  char text[32];
  std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", int(y), int(m), int(d), int(rest / 3600),
                int(rest / 60 % 60), int(rest % 60));
  return text;
}

class TCiffParser {
 public:
  TCiffParser(TStream* Stream, TIOParams* Params, bool BigEndian, int64_t StreamEnd)
      : S(Stream), P(Params), Big(BigEndian), End(StreamEnd) {}

  void Heap(int64_t Start, int64_t Stop, int32_t Depth, int64_t ParentStart, int64_t ParentStop);
  void Finish();

 private:
  uint16_t U16(const uint8_t* b) const { return Big ? uint16_t(b[0] << 8 | b[1]) : uint16_t(b[1] << 8 | b[0]); }
  uint32_t U32(const uint8_t* b) const {
    return Big ? uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3]
               : uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0];
  }
  float F32(const uint8_t* b) const { return std::bit_cast<float>(U32(b)); }
  // Count bytes at Pos (checked by the caller against the heap); fewer when the stream ends.
  std::vector<uint8_t> ReadAt(int64_t Pos, int64_t Count) {
    std::vector<uint8_t> out;
    if (Pos < 0 || Count <= 0 || Pos >= End) return out;
    Count = std::min(Count, End - Pos);
    out.resize(static_cast<size_t>(Count));
    S->Seek(Pos, soBeginning);
    out.resize(static_cast<size_t>(std::max<int32_t>(0, S->Read(out.data(), static_cast<int32_t>(Count)))));
    return out;
  }
  static std::string Text(const std::vector<uint8_t>& Data, size_t From) {
    std::string t;
    for (size_t i = From; i < Data.size() && Data[i] != 0; ++i) t += static_cast<char>(Data[i]);
    return t;
  }
  void Record(uint16_t Id, const std::vector<uint8_t>& Data, int64_t DataPos, int64_t DataLen);

  TStream* S;
  TIOParams* P;
  bool Big;
  int64_t End;
  int32_t Budget = kMaxRecordsPerFile;
  int64_t ThumbPos = -1, ThumbLen = 0, ThumbArea = 0;
  std::vector<uint16_t> Note4, Note1;
  bool Exif = false;
};

void TCiffParser::Heap(int64_t Start, int64_t Stop, int32_t Depth, int64_t ParentStart, int64_t ParentStop) {
  if (Depth > kMaxHeapDepth || Stop - Start < 6 || Stop > End) return;
  const std::vector<uint8_t> tail = ReadAt(Stop - 4, 4);
  if (tail.size() < 4) return;
  const int64_t table = Start + U32(tail.data());
  if (table < Start || table + 2 > Stop - 4) return;
  const std::vector<uint8_t> countBytes = ReadAt(table, 2);
  if (countBytes.size() < 2) return;
  const int32_t count = std::min<int32_t>(U16(countBytes.data()), kMaxRecordsPerHeap);
  for (int32_t i = 0; i < count; ++i) {
    const int64_t rec = table + 2 + int64_t(i) * 10;
    if (rec + 10 > Stop - 4 || --Budget < 0) return;
    const std::vector<uint8_t> r = ReadAt(rec, 10);
    if (r.size() < 10) return;
    const uint16_t tag = U16(r.data());
    const uint16_t id = tag & 0x3FFF;
    if (tag >= 0x4000) {  // the 8 bytes of size and offset are the data
      Record(id, std::vector<uint8_t>(r.begin() + 2, r.end()), -1, 8);
      continue;
    }
    const int64_t pos = Start + U32(r.data() + 6);
    if (pos >= End) return;  // data past the stream: nothing more to read in this table
    if (pos >= Stop) continue;
    const int64_t len = std::min<int64_t>(U32(r.data() + 2), Stop - pos);
    if (IsNestedHeap(id)) {
      const bool loop = (pos == Start && pos + len == Stop) || (pos == ParentStart && pos + len == ParentStop);
      if (!loop) Heap(pos, pos + len, Depth + 1, Start, Stop);
      continue;
    }
    // JPEG records are only measured here; others are read whole up to a sane size.
    const bool jpeg = id == 0x2007 || id == 0x2008;
    Record(id, ReadAt(pos, jpeg ? std::min<int64_t>(len, 65536) : std::min(len, kMaxRecordRead)), pos, len);
  }
}

void TCiffParser::Record(uint16_t Id, const std::vector<uint8_t>& Data, int64_t DataPos, int64_t DataLen) {
  switch (Id) {
    case 0x0805:
      P->EXIF_ImageDescription = Text(Data, 0);
      Exif = true;
      break;
    case 0x080A: {
      P->EXIF_Make = Text(Data, 0);
      const size_t next = std::min(Data.size(), P->EXIF_Make.size() + 1);
      P->EXIF_Model = Text(Data, next);
      Exif = true;
      break;
    }
    case 0x080B:
      P->EXIF_Software = Text(Data, 0);
      Exif = true;
      break;
    case 0x101C:
      if (Data.size() >= 2) {
        P->SetExifIsoSpeedRatings(0, U16(Data.data()));
        Exif = true;
      }
      break;
    case 0x1029:
      if (Data.size() >= 4) {
        P->SetExifFocalLength(U16(Data.data() + 2) / 32.0);
        Exif = true;
      }
      break;
    case 0x1810:
      if (Data.size() >= 8) {
        P->SetExifPixelXDimension(static_cast<int32_t>(std::min<uint32_t>(U32(Data.data()), INT32_MAX)));
        P->SetExifPixelYDimension(static_cast<int32_t>(std::min<uint32_t>(U32(Data.data() + 4), INT32_MAX)));
        Exif = true;
      }
      break;
    case 0x1818:
      if (Data.size() >= 12) {
        const float shutter = F32(Data.data() + 4), aperture = F32(Data.data() + 8);
        if (std::isfinite(shutter)) P->SetExifShutterSpeedValue(shutter);
        if (std::isfinite(aperture)) P->SetExifApertureValue(aperture);
        Exif = true;
      }
      break;
    case 0x180E:
      if (Data.size() >= 4) {
        P->EXIF_DateTime = UnixTimeToExifText(U32(Data.data()));
        Exif = true;
      }
      break;
    case 0x2007:
    case 0x2008: {
      const int64_t area = DataPos >= 0 ? JpegArea(Data) : 0;
      if (area > 0 && (ThumbPos < 0 || area < ThumbArea)) {
        ThumbPos = DataPos;
        ThumbLen = DataLen;
        ThumbArea = area;
      }
      break;
    }
    case 0x102A:
    case 0x102D: {
      // The record's size counts bytes: half as many 16-bit values.
      std::vector<uint16_t>& note = Id == 0x102A ? Note4 : Note1;
      note.clear();
      for (size_t i = 0; i + 1 < Data.size(); i += 2) note.push_back(U16(Data.data() + i));
      break;
    }
    default:
      break;
  }
}

// Appends a little-endian value.
void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

void TCiffParser::Finish() {
  if (Exif) P->EXIF_HasEXIFData = true;
  TPXBitmap* thumb = P->EXIF_Thumbnail() ? P->EXIF_Thumbnail() : P->CreateExifThumbnail();
  thumb->FreeImage();
  if (ThumbPos >= 0 && ThumbLen > 0 && ThumbLen <= INT32_MAX) {
    std::vector<uint8_t> jpeg = ReadAt(ThumbPos, ThumbLen);
    const TPXFormatRow* row = FormatRow(pxftJPEG);
    if (row && row->Decode && !jpeg.empty()) {
      TCustomMemoryStream mem(jpeg.data(), static_cast<int64_t>(jpeg.size()));
      TIOParams tmp;
      TPXAbortFlag aborting{false};
      TPXProgressRecord progress;
      progress.Aborting = &aborting;
      std::unique_ptr<TPXMask> mask;
      try {
        row->Decode(&mem, thumb, &tmp, progress, false, mask);
      } catch (const Exception&) {
        aborting = true;
      }
      if (aborting) thumb->FreeImage();
    }
  }
  if (Note4.empty() && Note1.empty()) return;
  // The maker note's tag stream: a TIFF header, one directory of SHORT entries, their data.
  struct TEntry {
    uint16_t Tag;
    const std::vector<uint16_t>* Values;
  };
  std::vector<TEntry> entries;
  if (!Note1.empty()) entries.push_back({1, &Note1});
  if (!Note4.empty()) entries.push_back({4, &Note4});
  std::vector<uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
  Put16(b, static_cast<uint32_t>(entries.size()));
  uint32_t dataOffset = 8 + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
  std::vector<uint8_t> data;
  for (const TEntry& e : entries) {
    const auto count = static_cast<uint32_t>(e.Values->size());
    Put16(b, e.Tag);
    Put16(b, 3);
    Put32(b, count);
    if (count <= 2) {
      for (uint32_t i = 0; i < 2; ++i) Put16(b, i < count ? (*e.Values)[i] : 0);
    } else {
      Put32(b, dataOffset + static_cast<uint32_t>(data.size()));
      for (uint16_t v : *e.Values) Put16(data, v);
    }
  }
  Put32(b, 0);
  b.insert(b.end(), data.begin(), data.end());
  TPXTagsHandler& note = P->EXIF_MakerNote;
  note.Clear();
  note.LittleEndian = true;
  note.TagStream()->Write(b.data(), static_cast<int32_t>(b.size()));
  note.LoadEntries();
}

// ---------------------------------------------------------------------------------------------
// Engines

uint8_t CurrentEngine() {
  const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  return s ? s->GetCameraRawEngine() : 2;
}

void SetAbort(TPXProgressRecord& Progress) {
  if (Progress.Aborting) *Progress.Aborting = true;
}

// Restores a flag of Params when the scope ends, however it ends.
template <typename T>
class TRestore {
 public:
  TRestore(T& Field, T Value) : field_(Field), saved_(Field) { field_ = std::move(Value); }
  ~TRestore() { field_ = std::move(saved_); }
  TRestore(const TRestore&) = delete;
  TRestore& operator=(const TRestore&) = delete;

 private:
  T& field_;
  T saved_;
};

// Shortest decimal text with a point.
std::string NumberText(double Value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, Value);
  return std::string(buf, r.ptr);
}

// Steps shared by the companion library's engines: the embedded thumbnail, the stream the
// engine would read, the EXIF or heap parameters and the IPTC data; then the library is
// required, and it does not exist on this platform.
void CompanionEngine(uint8_t Engine, TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly,
                     TPXProgressRecord& Progress) {
  const int64_t start = Stream->Position();
  if (Params->RAW_GetExifThumbnail) {
    Params->SetExifThumbnail(nullptr);
    {
      TRestore<bool> off(Params->RAW_GetExifThumbnail, false);
      DecodeCameraRawStream(Stream, Bitmap, Params, true, Progress);
    }
    TPXBitmap* thumb = Params->EXIF_Thumbnail();
    if (thumb && !thumb->IsEmpty()) {
      if (Bitmap) Bitmap->Assign(thumb);
      return;
    }
    if (Engine == 3) {
      bool aborted = false;
      {
        TRestore<bool> off(Params->RAW_GetExifThumbnail, false);
        TRestore<std::string> extract(Params->RAW_ExtraOptions, "-e");
        DecodeCameraRawStream(Stream, Bitmap, Params, PreviewOnly, Progress);
        aborted = Progress.Aborting && *Progress.Aborting;
      }
      if (!aborted) return;
    }
    Stream->Seek(start, soBeginning);
  }

  // The stream as the engine would read it.
  std::unique_ptr<TStream> own;
  TStream* source = Stream;
  if (Engine == 1) {
    auto mem = std::make_unique<TMemoryStream>();
    mem->CopyFrom(Stream, Stream->Size() - start);
    mem->Seek(0, soBeginning);
    source = mem.get();
    own = std::move(mem);
  } else {
    const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
    auto buffered = std::make_unique<TPXBufferedReadStream>(Stream, s ? std::max(1, s->FRawReadBufferSize) : 1024, true);
    source = buffered.get();
    own = std::move(buffered);
  }
  if (Progress.Aborting) *Progress.Aborting = false;
  const int64_t origin = source->Position();

  bool exifFound = false;
  if (Params->ReadMetadata) {
    const int64_t tiff = FindExifTiffHeader(source);
    if (tiff >= 0) {
      exifFound = true;
      source->Seek(tiff, soBeginning);
      // The EXIF reader already turns a resolution per centimetre into one per inch (the unit
      // stays 3), so scaling again would count the centimetres twice.
      if (ReadExifFromTiffStream(source, Params, false)) {
        Params->SetDpiX(static_cast<int32_t>(std::nearbyint(Params->EXIF_XResolution)));
        Params->SetDpiY(static_cast<int32_t>(std::nearbyint(Params->EXIF_YResolution)));
      }
    }
  }
  if (!exifFound) {
    source->Seek(origin, soBeginning);
    ReadCiffParams(source, Params);
  }

  // IPTC (and EXIF when none was found) from a header read of the TIFF structure raw files are
  // built on; read as TIFF so that the header read cannot come back to this reader.
  source->Seek(origin, soBeginning);
  std::array<uint8_t, 4> head{};
  const bool tiff = source->Read(head.data(), 4) == 4 &&
                    ((head[0] == 'I' && head[1] == 'I' && head[2] == 42 && head[3] == 0) ||
                     (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && head[3] == 42));
  if (tiff) {
    source->Seek(origin, soBeginning);
    auto io = TPixoranIO::CreateForBitmap(nullptr);
    try {
      if (io->ParamsFromStream(source, pxftTIFF)) {
        Params->IPTC_Info.Assign(&io->Params()->IPTC_Info);
        if (!Params->EXIF_HasEXIFData) CopyExifParams(io->Params(), Params, true);
      }
    } catch (const Exception&) {
      // a damaged structure only leaves the metadata out
    }
  }
  source->Seek(origin, soBeginning);
  (void)PreviewOnly;
  throw EPXRAWException(CompanionLibraryMessage());
}

}  // namespace

bool ReadCiffParams(TStream* Stream, TIOParams* Params) {
  if (!Stream || !Params) return false;
  const int64_t pos = Stream->Position();
  bool accepted = false;
  try {
    std::array<uint8_t, 14> h{};
    if (Stream->Read(h.data(), 14) == 14) {
      const bool ii = h[0] == 'I' && h[1] == 'I', mm = h[0] == 'M' && h[1] == 'M';
      const bool sig = std::memcmp(h.data() + 6, "HEAPCCDR", 8) == 0;
      if (ii || mm || sig) {
        accepted = true;
        const int64_t end = Stream->Size();
        TCiffParser parser(Stream, Params, mm, end);
        const uint32_t hlen = mm ? uint32_t(h[2]) << 24 | uint32_t(h[3]) << 16 | uint32_t(h[4]) << 8 | h[5]
                                 : uint32_t(h[5]) << 24 | uint32_t(h[4]) << 16 | uint32_t(h[3]) << 8 | h[2];
        const int64_t start = pos + hlen;
        if (start < end) parser.Heap(start, end, 1, -1, -1);
        parser.Finish();
      }
    }
  } catch (const EPXRAWException&) {
    throw;
  } catch (const Exception&) {
    // a read error ends the parse; what was read stays
  }
  Stream->Seek(pos, soBeginning);
  return accepted;
}

std::vector<std::string> CameraRawToolArguments(const TIOParams* Params, bool PreviewOnly) {
  std::vector<std::string> a{"par.000"};
  if (PreviewOnly) {
    a.push_back("-i");
  } else {
    const TIOParams& p = *Params;
    if (p.NativePixelFormat) a.push_back("-6");
    if (p.RAW_HalfSize) a.push_back("-h");
    if (p.RAW_FastInterpolation) a.insert(a.end(), {"-q", "0"});
    if (p.RAW_AutoWhiteBalance) a.push_back("-a");
    if (p.RAW_CameraWhiteBalance) a.push_back("-w");
    if (p.RAW_Brightness != 1) a.insert(a.end(), {"-b", NumberText(p.RAW_Brightness)});
    if (p.RAW_Gamma != 2.222) a.insert(a.end(), {"-g", NumberText(p.RAW_Gamma), "4.5"});
    if (p.RAW_RedScale != 1 || p.RAW_BlueScale != 1)
      a.insert(a.end(), {"-C", NumberText(p.RAW_RedScale), NumberText(p.RAW_BlueScale)});
    if (p.RAW_FourColorRGB) a.push_back("-f");
    if (p.RAW_OutputColorSpace != 1) a.insert(a.end(), {"-o", std::to_string(p.RAW_OutputColorSpace)});
    const auto& m = p.RAW_Multipliers;
    if (std::any_of(m.begin(), m.end(), [](double v) { return v != 0; })) {
      a.push_back("-r");
      for (double v : m) a.push_back(NumberText(v));
    }
    if (!p.AutoRotate) a.insert(a.end(), {"-t", "0"});
    std::string word;
    for (char c : p.RAW_ExtraOptions + ' ') {
      if (c == ' ') {
        if (!word.empty()) a.push_back(word);
        word.clear();
      } else {
        word += c == ',' ? '.' : c;
      }
    }
  }
  a.push_back("par.111");
  return a;
}

void DecodeCameraRawStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly,
                           TPXProgressRecord& Progress) {
  if (!Stream || !Params) {
    SetAbort(Progress);
    return;
  }
  const uint8_t engine = CurrentEngine();
  if (engine == 1 || engine == 3) {
    CompanionEngine(engine, Stream, Bitmap, Params, PreviewOnly, Progress);
    return;
  }
  DecodeWICStream(Stream, pxftRAW, PreviewOnly ? nullptr : Bitmap, Params, Progress);
}

bool HasCameraRawSignature(TStream* Stream) {
  if (!Stream) return false;
  const uint8_t engine = CurrentEngine();
  if (engine == 1 || engine == 3) throw EPXRAWException(CompanionLibraryMessage());
  return false;
}

void RegisterCameraRawCodec() {
  TPXFormatRow row;
  row.Decode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress, bool PreviewOnly,
                  std::unique_ptr<TPXMask>&) -> int32_t {
    DecodeCameraRawStream(Stream, Bitmap, Params, PreviewOnly, Progress);
    return 0;
  };
  row.AltSignature = HasCameraRawSignature;
  RegisterFormatRow(pxftRAW, std::move(row));
}
