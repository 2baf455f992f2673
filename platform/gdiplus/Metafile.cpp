// Windows metafiles: reading (WMF through libwmf, EMF through libemf2svg, both into SVG), the
// header, and drawing the SVG through Qt SVG.
#include "platform/gdiplus/Metafile.h"

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/gdiplus/GdiPlusObjects.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

extern "C" {
#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
}

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr uint32_t kEmfSignature = 0x464D4520u;  // " EMF"
constexpr int32_t kMaxSide = 1 << 15;            // pixels a drawing may have on one side
constexpr int64_t kMaxDrawnPixels = int64_t(1) << 25;  // largest drawing made at once (128 MB)

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t LeI16(const uint8_t* p) { return static_cast<int16_t>(Le16(p)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
int32_t LeI32(const uint8_t* p) { return static_cast<int32_t>(Le32(p)); }

// The converters are not known to be re-entrant.
std::mutex& ConverterLock() {
  static std::mutex lock;
  return lock;
}

// Every record of the WMF from Offset lies inside the data, and the last is the end record.
// LargestWords receives the size of the largest record in 16-bit words.
bool WmfRecordsSound(const uint8_t* data, size_t size, size_t offset, uint32_t& largestWords) {
  largestWords = 3;
  if (size - offset < 18) return false;
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

// Every record of the EMF lies inside the data, and the last is the end-of-file record.
bool EmfRecordsSound(const uint8_t* data, size_t size) {
  size_t pos = 0;
  bool first = true;
  while (pos + 8 <= size) {
    const uint32_t type = Le32(data + pos);
    const uint32_t length = Le32(data + pos + 4);
    if (length < 8 || length % 4 != 0 || length > size - pos) return false;
    if (first && (type != 1 || length < 88)) return false;
    first = false;
    if (type == 14) return true;  // EMR_EOF
    pos += length;
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

// FrameW x FrameH (points, when above 0): the picture is the placeable file's whole frame, not
// only the bounds of what it draws. Width and Height receive its size in pixels at 96 dpi.
// HeaderAt: where the standard header starts; LargestWords: the largest record found, which
// replaces the header's own figure (the converter sizes a buffer from it, and a file may claim
// gigabytes there).
bool WmfToSvg(const uint8_t* data, size_t size, size_t headerAt, uint32_t largestWords, float frameW, float frameH,
              std::string& svg, float& width, float& height) {
  std::lock_guard<std::mutex> guard(ConverterLock());
  std::vector<unsigned char> copy(data, data + size);
  for (int i = 0; i < 4; ++i) copy[headerAt + 12 + i] = static_cast<unsigned char>(largestWords >> (8 * i));
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
  if (wmf_mem_open(api, copy.data(), static_cast<long>(copy.size())) == wmf_E_None &&
      wmf_scan(api, 0, &bbox) == wmf_E_None && wmf_size(api, &width, &height) == wmf_E_None) {
    unsigned int w = 0;
    unsigned int h = 0;
    wmf_display_size(api, &w, &h, 96, 96);
    wmf_svg_t* device = WMF_SVG_GetData(api);
    device->out = wmf_stream_create(api, nullptr);
    device->Description = nullptr;
    if (frameW > 0 && frameH > 0) {
      bbox.TL.x = 0;
      bbox.TL.y = 0;
      bbox.BR.x = frameW;
      bbox.BR.y = frameH;
    }
    device->bbox = bbox;
    device->width = std::max(1u, w);
    device->height = std::max(1u, h);
    width = static_cast<float>(device->width);  // the picture's size at 96 dots per inch
    height = static_cast<float>(device->height);
    if (device->out) {
      const bool played = wmf_play(api, 0, &bbox) == wmf_E_None;
      char* text = nullptr;
      unsigned long length = 0;
      wmf_stream_destroy(api, device->out, &text, &length);
      device->out = nullptr;
      if (played && text && length > 0) {
        svg.assign(text, length);
        ok = true;
      }
    }
  }
  wmf_api_destroy(api);  // frees every block the library handed out
  return ok;
}

bool EmfToSvg(const uint8_t* data, size_t size, std::string& svg, bool& emfPlus) {
  std::lock_guard<std::mutex> guard(ConverterLock());
  std::vector<char> copy(data, data + size);
  bool plus = false;
  if (emf2svg_is_emfplus(copy.data(), copy.size(), &plus)) emfPlus = plus;
  generatorOptions options;
  std::memset(&options, 0, sizeof(options));
  options.nameSpace = nullptr;  // plain SVG elements (a prefix is also leaked by the library)
  options.svgDelimiter = true;
  options.emfplus = true;
  char* out = nullptr;
  size_t outLength = 0;
  const int result = emf2svg(copy.data(), copy.size(), &out, &outLength, &options);
  if (result && out && outLength > 0) svg.assign(out, outLength);
  std::free(out);
  return result && !svg.empty();
}

}  // namespace

bool GpReadMetafile(const uint8_t* Data, size_t Size, MetafileHeader& Header, std::string& Svg) {
  Header = MetafileHeader();
  Svg.clear();
  if (!Data || Size < 18 || Size > GpMaxMetafileBytes) return false;
  MetafileHeader h;
  h.Size = static_cast<uint32_t>(Size);
  if (Le32(Data) == kPlaceableKey) {
    if (Size < 22 + 18) return false;
    const int32_t left = LeI16(Data + 6), top = LeI16(Data + 8), right = LeI16(Data + 10), bottom = LeI16(Data + 12);
    const uint16_t inch = Le16(Data + 14);
    uint32_t largest = 0;
    if (inch == 0 || right <= left || bottom <= top || !WmfRecordsSound(Data, Size, 22, largest)) return false;
    h.Type = MetafileTypeWmfPlaceable;
    h.Version = Le16(Data + 22 + 4);
    h.DpiX = h.DpiY = inch;
    h.X = left;
    h.Y = top;
    h.Width = right - left;
    h.Height = bottom - top;
    float w = 0, hh = 0;
    if (!WmfToSvg(Data, Size, 22, largest, h.Width * 72.0f / inch, h.Height * 72.0f / inch, Svg, w, hh))
      return false;
  } else if ((Le16(Data) == 1 || Le16(Data) == 2) && Le16(Data + 2) == 9) {
    uint32_t largest = 0;
    if (!WmfRecordsSound(Data, Size, 0, largest)) return false;
    h.Type = MetafileTypeWmf;
    h.Version = Le16(Data + 4);
    h.DpiX = h.DpiY = 96;
    float w = 0, hh = 0;
    if (!WmfToSvg(Data, Size, 0, largest, 0, 0, Svg, w, hh)) return false;
    if (!std::isfinite(w) || !std::isfinite(hh) || w < 1 || hh < 1 || w > kMaxSide || hh > kMaxSide) return false;
    h.Width = static_cast<int32_t>(std::lround(w));
    h.Height = static_cast<int32_t>(std::lround(hh));
  } else if (Size >= 88 && Le32(Data) == 1 && Le32(Data + 40) == kEmfSignature) {
    if (!EmfRecordsSound(Data, Size)) return false;
    // Bounds are inclusive device pixels; the device size in pixels and millimetres gives the
    // resolution.
    const int32_t left = LeI32(Data + 8), top = LeI32(Data + 12), right = LeI32(Data + 16), bottom = LeI32(Data + 20);
    if (right < left || bottom < top || int64_t(right) - left >= kMaxSide || int64_t(bottom) - top >= kMaxSide)
      return false;
    h.Type = MetafileTypeEmf;
    h.Version = Le32(Data + 44);
    const int32_t devW = LeI32(Data + 72), devH = LeI32(Data + 76), mmW = LeI32(Data + 80), mmH = LeI32(Data + 84);
    h.DpiX = devW > 0 && mmW > 0 ? static_cast<REAL>(devW * 25.4 / mmW) : 96;
    h.DpiY = devH > 0 && mmH > 0 ? static_cast<REAL>(devH * 25.4 / mmH) : 96;
    h.X = left;
    h.Y = top;
    h.Width = right - left + 1;
    h.Height = bottom - top + 1;
    std::memcpy(h.EmfHeader, Data, sizeof(h.EmfHeader));
    bool plus = false;
    if (!EmfToSvg(Data, Size, Svg, plus)) return false;
    if (plus) h.Type = MetafileTypeEmfPlusDual;
  } else {
    return false;
  }
  h.LogicalDpiX = h.LogicalDpiY = 96;
  Header = h;
  return true;
}

bool GpRasterizeMetafile(const GpImageData& Image, int32_t Width, int32_t Height, std::vector<uint32_t>& Pixels) {
  Pixels.clear();
  if (!Image.Metafile || Image.Storage.empty() || Width <= 0 || Height <= 0 || Width > kMaxSide ||
      Height > kMaxSide || int64_t(Width) * Height > kMaxDrawnPixels)
    return false;
  QSvgRenderer renderer(QByteArray(reinterpret_cast<const char*>(Image.Storage.data()),
                                   static_cast<qsizetype>(Image.Storage.size())));
  if (!renderer.isValid()) return false;
  QImage img(Width, Height, QImage::Format_ARGB32_Premultiplied);
  if (img.isNull()) return false;
  img.fill(Qt::transparent);
  {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
    renderer.render(&p, QRectF(0, 0, Width, Height));
  }
  Pixels.resize(static_cast<size_t>(Width) * Height);
  for (int32_t y = 0; y < Height; ++y)
    std::memcpy(Pixels.data() + static_cast<size_t>(y) * Width, img.constScanLine(y), static_cast<size_t>(Width) * 4);
  return true;
}

// ---- the library's entries ----

namespace {

GpStatus MakeMetafile(const std::vector<uint8_t>& bytes, GpMetafile** metafile) {
  MetafileHeader header;
  std::string svg;
  if (!GpReadMetafile(bytes.data(), bytes.size(), header, svg)) return GenericError;
  auto data = std::make_unique<GpImageData>();
  data->Metafile = true;
  data->Width = header.Width;
  data->Height = header.Height;
  data->Storage.assign(svg.begin(), svg.end());
  data->Header = header;
  *metafile = GpAdoptAs(std::make_unique<GpMetafile>(std::move(data)));
  return Ok;
}

// The stream's data from its position to its end; false when it cannot be read or is too big.
bool ReadRest(TStream* stream, std::vector<uint8_t>& bytes) {
  const int64_t pos = stream->Position();
  const int64_t size = stream->Size();
  if (pos < 0 || size < pos || size - pos > static_cast<int64_t>(GpMaxMetafileBytes)) return false;
  bytes.resize(static_cast<size_t>(size - pos));
  size_t done = 0;
  while (done < bytes.size()) {
    const int32_t chunk = static_cast<int32_t>(std::min<size_t>(bytes.size() - done, 1 << 20));
    const int32_t got = stream->Read(bytes.data() + done, chunk);
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

GpStatus GdipCreateMetafileFromFile(const std::string& fileName, GpMetafile** metafile) {
  if (!metafile) return InvalidParameter;
  *metafile = nullptr;
  if (!GpStarted()) return GdiplusNotInitialized;
  if (fileName.empty()) return InvalidParameter;
  std::vector<uint8_t> bytes;
  try {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    if (!ReadRest(&file, bytes)) return GenericError;
  } catch (const Exception&) {
    return FileNotFound;
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
  return MakeMetafile(bytes, metafile);
}

GpStatus GdipCreateMetafileFromStream(TStream* stream, GpMetafile** metafile) {
  if (!metafile) return InvalidParameter;
  *metafile = nullptr;
  if (!GpStarted()) return GdiplusNotInitialized;
  if (!stream) return InvalidParameter;
  std::vector<uint8_t> bytes;
  try {
    if (!ReadRest(stream, bytes)) return GenericError;
  } catch (const Exception&) {
    return GenericError;
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
  return MakeMetafile(bytes, metafile);
}

GpStatus GdipGetMetafileHeaderFromMetafile(GpMetafile* metafile, MetafileHeader* header) {
  if (!metafile || !header) return InvalidParameter;
  *header = MetafileHeader();
  if (!metafile->Data().Metafile) return InvalidParameter;
  *header = metafile->Data().Header;
  return Ok;
}
