// Metafile checks and the WMF and EMF converters.
#include "platform/gdiplus/metafile/MetafileConvert.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

extern "C" {
#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
#include <uemf_safe.h>
}

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// The converters are not known to be re-entrant.
std::mutex& ConverterLock() {
  static std::mutex lock;
  return lock;
}

// ---------------------------------------------------------------------------------------------
// EMF

constexpr uint32_t kEmrHeader = 1;
constexpr uint32_t kEmrEof = 14;
constexpr size_t kHeaderFixed = 88;   // the header's fields up to the reference device size
constexpr size_t kHeaderFull = 108;   // with the pixel format, OpenGL and micrometre fields
constexpr uint32_t kPixelFormatSize = 40;  // a pixel format descriptor
constexpr uint32_t kStockObject = 0x80000000u;
constexpr uint32_t kMaxHandles = 65535;  // the header keeps the object count in 16 bits

// Where a record keeps the object table index it creates, selects or deletes (0 for none), and
// whether that may be a stock object instead.
struct TObjectField {
  size_t Offset = 0;
  bool Stock = false;
};
TObjectField ObjectFieldOf(uint32_t Type) {
  switch (Type) {
    case 37:   // SELECTOBJECT
    case 40:   // DELETEOBJECT
    case 48:   // SELECTPALETTE
    case 100:  // SETCOLORSPACE
    case 101:  // DELETECOLORSPACE
      return {8, true};
    case 38:   // CREATEPEN
    case 39:   // CREATEBRUSHINDIRECT
    case 49:   // CREATEPALETTE
    case 50:   // SETPALETTEENTRIES
    case 51:   // RESIZEPALETTE
    case 82:   // EXTCREATEFONTINDIRECTW
    case 93:   // CREATEMONOBRUSH
    case 94:   // CREATEDIBPATTERNBRUSHPT
    case 95:   // EXTCREATEPEN
    case 99:   // CREATECOLORSPACE
    case 122:  // CREATECOLORSPACEW
      return {8, false};
    case 71:  // FILLRGN
    case 72:  // FRAMERGN
      return {28, true};
    default:
      return {};
  }
}

// Whether the library has checks for records of Type (and so the converter may see them): the
// types up to 122 but those without checks of their own (among them the OpenGL records).
bool Checkable(uint32_t Type) {
  switch (Type) {
    case 69: case 96: case 97: case 102: case 103: case 105: case 106: case 107: case 109: case 110:
    case 111: case 112: case 113: case 117: case 119: case 120: case 121:
      return false;
    default:
      return Type >= 1 && Type <= 122;
  }
}

}  // namespace

bool PxPrepareEmf(const uint8_t* Data, size_t Size, std::vector<uint8_t>& Out) {
  Out.clear();
  if (!Data || Size < kHeaderFixed) return false;
  // The records: each inside the data, the first the header, ended by the end-of-file record.
  std::vector<std::pair<size_t, size_t>> records;  // offset, length
  size_t pos = 0;
  bool ended = false;
  while (!ended && pos + 8 <= Size) {
    const uint32_t type = Le32(Data + pos);
    const uint32_t length = Le32(Data + pos + 4);
    if (length < 8 || length % 4 != 0 || length > Size - pos) return false;
    if (records.empty() && (type != kEmrHeader || length < kHeaderFixed)) return false;
    ended = type == kEmrEof;
    records.emplace_back(pos, length);
    pos += length;
  }
  if (!ended || records.size() < 2) return false;

  const uint8_t* header = Data;
  const size_t headerSize = records.front().second;
  uint32_t handles = Le16(header + 56);
  // The header's description and pixel format, and the palette of the end record, lie inside
  // their records, or the file is refused.
  const uint32_t chars = Le32(header + 60), at = Le32(header + 64);
  // (The converter reads a description at an offset without a length up to a zero character.)
  const bool description = chars > 0;
  if ((description || at != 0) && (at < kHeaderFixed || uint64_t{at} + 2 * uint64_t{chars} > headerSize))
    return false;
  if (headerSize >= kHeaderFixed + 8) {
    const uint32_t bytes = Le32(header + 88), from = Le32(header + 92);
    if (bytes > 0 && (bytes < kPixelFormatSize || from < kHeaderFixed || uint64_t{from} + bytes > headerSize))
      return false;
  }
  {
    const auto [eofAt, eofSize] = records.back();
    if (eofSize < 20) return false;
    const uint32_t entries = Le32(Data + eofAt + 8), from = Le32(Data + eofAt + 12);
    if (entries > 0 && (from < 16 || uint64_t{from} + 4 * uint64_t{entries} > eofSize - 4)) return false;
  }

  // The records between header and end of file that pass the checks of their type. A header in
  // their midst is no record of its own.
  std::vector<std::pair<size_t, size_t>> kept;
  std::vector<uint8_t> aligned;
  for (size_t i = 1; i + 1 < records.size(); ++i) {
    const auto [offset, length] = records[i];
    const uint8_t* r = Data + offset;
    const uint32_t type = Le32(r);
    if (type == kEmrHeader || type == kEmrEof || !Checkable(type)) continue;
    // The library's own checks of counts and offsets against the record's size read the record
    // as its structure, which wants 4-byte alignment.
    aligned.assign(r, r + length);
    if (!U_emf_record_safe(reinterpret_cast<const char*>(aligned.data()))) continue;
    const TObjectField field = ObjectFieldOf(type);
    if (field.Offset != 0) {
      if (length < field.Offset + 4) continue;
      const uint32_t index = Le32(r + field.Offset);
      if (index & kStockObject) {
        if (!field.Stock) continue;
      } else {
        if (index >= kMaxHandles) continue;
        handles = std::max(handles, index + 1);
      }
    }
    kept.emplace_back(offset, length);
  }

  // The header, rebuilt: the fixed fields, then the pixel format, OpenGL and micrometre fields
  // (cleared but for the micrometres, where the file has them), then the description.
  const size_t descriptionBytes = description ? (2 * size_t{chars} + 3) / 4 * 4 : 0;
  const size_t newHeaderSize = kHeaderFull + descriptionBytes;
  Out.assign(newHeaderSize, 0);
  std::memcpy(Out.data(), header, kHeaderFixed);
  Put32(Out.data() + 4, static_cast<uint32_t>(newHeaderSize));
  Put16(Out.data() + 56, handles);
  Put32(Out.data() + 60, description ? chars : 0);
  Put32(Out.data() + 64, description ? static_cast<uint32_t>(kHeaderFull) : 0);
  Put32(Out.data() + 68, 0);  // no palette entries in the end record
  if (headerSize >= kHeaderFull) {
    std::memcpy(Out.data() + 100, header + 100, 8);
  } else {
    Put32(Out.data() + 100, Le32(header + 80) * 1000);
    Put32(Out.data() + 104, Le32(header + 84) * 1000);
  }
  if (description) std::memcpy(Out.data() + kHeaderFull, header + at, 2 * size_t{chars});

  for (const auto& [offset, length] : kept) Out.insert(Out.end(), Data + offset, Data + offset + length);
  const uint8_t eof[20] = {kEmrEof, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 20, 0, 0, 0};
  Out.insert(Out.end(), eof, eof + sizeof eof);
  if (Out.size() > UINT32_MAX) return false;
  Put32(Out.data() + 48, static_cast<uint32_t>(Out.size()));
  Put32(Out.data() + 52, static_cast<uint32_t>(kept.size() + 2));
  return true;
}

bool PxEmfToSvg(const std::vector<uint8_t>& Prepared, TPxMetafileSvg& Out) {
  Out = TPxMetafileSvg();
  std::lock_guard<std::mutex> guard(ConverterLock());
  std::vector<char> copy(Prepared.begin(), Prepared.end());
  bool plus = false;
  if (emf2svg_is_emfplus(copy.data(), copy.size(), &plus)) Out.EmfPlus = plus;
  generatorOptions options;
  std::memset(&options, 0, sizeof(options));
  options.nameSpace = nullptr;  // plain SVG elements (a prefix is also leaked by the library)
  options.svgDelimiter = true;
  options.emfplus = true;
  char* svg = nullptr;
  size_t length = 0;
  const int result = emf2svg(copy.data(), copy.size(), &svg, &length, &options);
  if (result && svg && length > 0) Out.Svg.assign(svg, length);
  std::free(svg);
  return result && !Out.Svg.empty();
}

// ---------------------------------------------------------------------------------------------
// WMF

namespace {

// Every record of the WMF from Offset lies inside the data, and the last is the end record.
// LargestWords receives the size of the largest record in 16-bit words.
bool WmfRecordsSound(const uint8_t* data, size_t size, size_t offset, uint32_t& largestWords) {
  largestWords = 3;
  if (offset > size || size - offset < 18) return false;
  const uint16_t headerWords = Le16(data + offset + 2);
  if (headerWords != 9) return false;
  size_t pos = offset + 18;
  while (pos + 6 <= size) {
    const uint64_t words = Le32(data + pos);
    const uint16_t function = Le16(data + pos + 4);
    if (function == 0) return true;  // end of the metafile
    if (words < 3 || words * 2 > size - pos) return false;
    largestWords = std::max(largestWords, static_cast<uint32_t>(words));
    pos += static_cast<size_t>(words) * 2;
  }
  return false;
}

// libwmf needs its standard PostScript faces even for pictures without text: they are mapped to
// the Liberation faces (and DejaVu for the symbol faces) the system installs.
struct TWmfFonts {
  std::vector<std::string> Files;
  std::vector<wmfMapping> Ps;
  std::vector<char*> Dirs;
};

const TWmfFonts& WmfFonts() {
  static const TWmfFonts fonts = [] {
    TWmfFonts f;
    static const char* const kLiberation = "/usr/share/fonts/truetype/liberation2/";
    static const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/";
    const std::pair<const char*, std::string> faces[] = {
        {"Times-Roman", std::string(kLiberation) + "LiberationSerif-Regular.ttf"},
        {"Times-Italic", std::string(kLiberation) + "LiberationSerif-Italic.ttf"},
        {"Times-Bold", std::string(kLiberation) + "LiberationSerif-Bold.ttf"},
        {"Times-BoldItalic", std::string(kLiberation) + "LiberationSerif-BoldItalic.ttf"},
        {"Helvetica", std::string(kLiberation) + "LiberationSans-Regular.ttf"},
        {"Helvetica-Oblique", std::string(kLiberation) + "LiberationSans-Italic.ttf"},
        {"Helvetica-Bold", std::string(kLiberation) + "LiberationSans-Bold.ttf"},
        {"Helvetica-BoldOblique", std::string(kLiberation) + "LiberationSans-BoldItalic.ttf"},
        {"Courier", std::string(kLiberation) + "LiberationMono-Regular.ttf"},
        {"Courier-Oblique", std::string(kLiberation) + "LiberationMono-Italic.ttf"},
        {"Courier-Bold", std::string(kLiberation) + "LiberationMono-Bold.ttf"},
        {"Courier-BoldOblique", std::string(kLiberation) + "LiberationMono-BoldItalic.ttf"},
        {"Symbol", std::string(kDejaVu) + "DejaVuSans.ttf"},
        {"ZapfDingbats", std::string(kDejaVu) + "DejaVuSans.ttf"},
    };
    f.Files.reserve(std::size(faces) * 2);
    for (const auto& face : faces) {
      f.Files.push_back(face.first);
      f.Files.push_back(face.second);
    }
    for (size_t i = 0; i < f.Files.size(); i += 2) {
      wmfMapping m;
      std::memset(&m, 0, sizeof(m));
      m.name = f.Files[i].data();
      m.mapping = f.Files[i + 1].data();
      m.encoding = FT_ENCODING_NONE;
      f.Ps.push_back(m);
    }
    wmfMapping end;
    std::memset(&end, 0, sizeof(end));
    f.Ps.push_back(end);
    f.Dirs = {const_cast<char*>(kLiberation), const_cast<char*>(kDejaVu), nullptr};
    return f;
  }();
  return fonts;
}

}  // namespace

bool PxPrepareWmf(const uint8_t* Data, size_t Size, size_t HeaderAt, std::vector<uint8_t>& Out) {
  Out.clear();
  uint32_t largest = 0;
  if (!Data || !WmfRecordsSound(Data, Size, HeaderAt, largest)) return false;
  // The converter sizes a buffer from the header's largest record, and a file may claim
  // gigabytes there: the largest record found replaces it.
  Out.assign(Data, Data + Size);
  Put32(Out.data() + HeaderAt + 12, largest);
  return true;
}

bool PxWmfToSvg(const std::vector<uint8_t>& Prepared, float FrameW, float FrameH, TPxMetafileSvg& Out) {
  Out = TPxMetafileSvg();
  std::lock_guard<std::mutex> guard(ConverterLock());
  std::vector<unsigned char> copy(Prepared.begin(), Prepared.end());
  wmfAPI* api = nullptr;
  wmfAPI_Options options;
  std::memset(&options, 0, sizeof(options));
  options.function = wmf_svg_function;
  const TWmfFonts& fonts = WmfFonts();
  options.fontdirs = const_cast<char**>(fonts.Dirs.data());
  options.font.ps = const_cast<wmfMapping*>(fonts.Ps.data());
  const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_FONTDIRS | WMF_OPT_FONTMAP | WMF_OPT_IGNORE_NONFATAL |
                              WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
  if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
    if (api) wmf_api_destroy(api);
    return false;
  }
  bool ok = false;
  wmfD_Rect bbox;
  std::memset(&bbox, 0, sizeof(bbox));
  float width = 0, height = 0;
  if (wmf_mem_open(api, copy.data(), static_cast<long>(copy.size())) == wmf_E_None &&
      wmf_scan(api, 0, &bbox) == wmf_E_None && wmf_size(api, &width, &height) == wmf_E_None) {
    unsigned int w = 0;
    unsigned int h = 0;
    wmf_display_size(api, &w, &h, 96, 96);
    wmf_svg_t* device = WMF_SVG_GetData(api);
    device->out = wmf_stream_create(api, nullptr);
    device->Description = nullptr;
    if (FrameW > 0 && FrameH > 0) {
      bbox.TL.x = 0;
      bbox.TL.y = 0;
      bbox.BR.x = FrameW;
      bbox.BR.y = FrameH;
    }
    device->bbox = bbox;
    device->width = std::max(1u, w);
    device->height = std::max(1u, h);
    Out.Width = static_cast<float>(device->width);  // the picture's size at 96 dots per inch
    Out.Height = static_cast<float>(device->height);
    if (device->out) {
      const bool played = wmf_play(api, 0, &bbox) == wmf_E_None;
      char* text = nullptr;
      unsigned long length = 0;
      wmf_stream_destroy(api, device->out, &text, &length);
      device->out = nullptr;
      if (played && text && length > 0) {
        Out.Svg.assign(text, length);
        ok = true;
      }
    }
  }
  wmf_api_destroy(api);  // frees every block the library handed out
  return ok;
}

bool PxConvertMetafile(const std::vector<std::string>& Args, const uint8_t* Data, size_t Size, TPxMetafileSvg& Out) {
  Out = TPxMetafileSvg();
  std::vector<uint8_t> prepared;
  if (Args.size() == 4 && Args[0] == "wmf") {
    const size_t headerAt = std::strtoul(Args[1].c_str(), nullptr, 10);
    const float frameW = std::strtof(Args[2].c_str(), nullptr), frameH = std::strtof(Args[3].c_str(), nullptr);
    return PxPrepareWmf(Data, Size, headerAt, prepared) && PxWmfToSvg(prepared, frameW, frameH, Out);
  }
  if (Args.size() == 1 && Args[0] == "emf") return PxPrepareEmf(Data, Size, prepared) && PxEmfToSvg(prepared, Out);
  return false;
}
