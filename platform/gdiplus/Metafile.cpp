// Windows metafiles: reading (WMF through libwmf, EMF through libemf2svg, both into SVG, in the
// helper process), the header, and drawing the SVG through Qt SVG.
#include "platform/gdiplus/Metafile.h"

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <unistd.h>

#include <atomic>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/gdiplus/GdiPlusMetafile.h"
#include "platform/gdiplus/GdiPlusObjects.h"
#include "platform/gdiplus/metafile/MetafileConvert.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr uint32_t kEmfSignature = 0x464D4520u;  // " EMF"
constexpr int32_t kMaxSide = 1 << 15;            // pixels a drawing may have on one side
constexpr int64_t kMaxDrawnPixels = int64_t(1) << 25;  // largest drawing made at once (128 MB)
constexpr uint32_t kHelperTimeoutMs = 10000;           // a conversion taking longer is given up
constexpr size_t kMaxSvgBytes = size_t(1) << 30;       // a larger drawing is given up

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t LeI16(const uint8_t* p) { return static_cast<int16_t>(Le16(p)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
int32_t LeI32(const uint8_t* p) { return static_cast<int32_t>(Le32(p)); }

// The helper program that runs the converters (platform/gdiplus/metafile/MetafileHelper.cpp):
// beside the running program, where it is installed, or where the build left it.
const std::string& HelperPath() {
  static const std::string path = [] {
    std::vector<std::string> candidates;
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
      std::string dir(self, static_cast<size_t>(n));
      dir.resize(dir.rfind('/') + 1);
      candidates.push_back(dir + PX_METAFILE_HELPER_NAME);
    }
    candidates.push_back(PX_METAFILE_HELPER_INSTALLED);
    candidates.push_back(PX_METAFILE_HELPER_BUILD);
    for (const std::string& c : candidates)
      if (access(c.c_str(), X_OK) == 0) return c;
    return std::string();
  }();
  return path;
}

std::string FrameText(float V) {
  char b[32];
  std::snprintf(b, sizeof b, "%.9g", double(V));
  return b;
}

// A WMF whose standard header starts at HeaderAt, with the placeable frame in points (0 0 for
// none).
bool WmfToSvg(const uint8_t* data, size_t size, size_t headerAt, float frameW, float frameH,
              GpMetafileConverter convert, std::string& svg, float& width, float& height) {
  std::vector<uint8_t> prepared;
  TPxMetafileSvg out;
  if (!PxPrepareWmf(data, size, headerAt, prepared) ||
      !convert({"wmf", std::to_string(headerAt), FrameText(frameW), FrameText(frameH)}, prepared, out))
    return false;
  svg = std::move(out.Svg);
  width = out.Width;
  height = out.Height;
  return true;
}

bool EmfToSvg(const uint8_t* data, size_t size, GpMetafileConverter convert, std::string& svg, bool& emfPlus) {
  std::vector<uint8_t> prepared;
  TPxMetafileSvg out;
  if (!PxPrepareEmf(data, size, prepared) || !convert({"emf"}, prepared, out)) return false;
  svg = std::move(out.Svg);
  emfPlus = out.EmfPlus;
  return true;
}

}  // namespace

bool GpConvertInHelper(const std::vector<std::string>& Args, const std::vector<uint8_t>& Prepared,
                       TPxMetafileSvg& Out) {
  Out = TPxMetafileSvg();
  if (HelperPath().empty()) return false;
  TRunOptions options;
  options.Input = std::string(Prepared.begin(), Prepared.end());
  options.TimeoutMs = kHelperTimeoutMs;
  options.MaxOutput = kMaxSvgBytes;
  const TRunResult run = RunProgram(HelperPath(), Args, options);
  if (!run.Exited || run.ExitCode != 0) return false;
  const size_t eol = run.Output.find('\n');
  if (eol == std::string::npos) return false;
  float w = 0, h = 0;
  int plus = 0;
  if (std::sscanf(run.Output.substr(0, eol).c_str(), "OK %f %f %d", &w, &h, &plus) != 3) return false;
  Out.Width = w;
  Out.Height = h;
  Out.EmfPlus = plus != 0;
  Out.Svg = run.Output.substr(eol + 1);
  return !Out.Svg.empty();
}

bool GpConvertInProcess(const std::vector<std::string>& Args, const std::vector<uint8_t>& Prepared,
                        TPxMetafileSvg& Out) {
  return PxConvertMetafile(Args, Prepared.data(), Prepared.size(), Out);
}

bool GpReadMetafile(const uint8_t* Data, size_t Size, MetafileHeader& Header, std::string& Svg,
                    GpMetafileConverter Convert) {
  Header = MetafileHeader();
  Svg.clear();
  if (!Data || Size < 18 || Size > GpMaxMetafileBytes) return false;
  MetafileHeader h;
  h.Size = static_cast<uint32_t>(Size);
  if (Le32(Data) == kPlaceableKey) {
    if (Size < 22 + 18) return false;
    const int32_t left = LeI16(Data + 6), top = LeI16(Data + 8), right = LeI16(Data + 10), bottom = LeI16(Data + 12);
    const uint16_t inch = Le16(Data + 14);
    if (inch == 0 || right <= left || bottom <= top) return false;
    h.Type = MetafileTypeWmfPlaceable;
    h.Version = Le16(Data + 22 + 4);
    h.DpiX = h.DpiY = inch;
    h.X = left;
    h.Y = top;
    h.Width = right - left;
    h.Height = bottom - top;
    float w = 0, hh = 0;
    if (!WmfToSvg(Data, Size, 22, h.Width * 72.0f / inch, h.Height * 72.0f / inch, Convert, Svg, w, hh))
      return false;
  } else if ((Le16(Data) == 1 || Le16(Data) == 2) && Le16(Data + 2) == 9) {
    h.Type = MetafileTypeWmf;
    h.Version = Le16(Data + 4);
    h.DpiX = h.DpiY = 96;
    float w = 0, hh = 0;
    if (!WmfToSvg(Data, Size, 0, 0, 0, Convert, Svg, w, hh)) return false;
    if (!std::isfinite(w) || !std::isfinite(hh) || w < 1 || hh < 1 || w > kMaxSide || hh > kMaxSide) return false;
    h.Width = static_cast<int32_t>(std::lround(w));
    h.Height = static_cast<int32_t>(std::lround(hh));
  } else if (Size >= 88 && Le32(Data) == 1 && Le32(Data + 40) == kEmfSignature) {
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
    if (!EmfToSvg(Data, Size, Convert, Svg, plus)) return false;
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

std::atomic<GpMetafileConverter> g_converter{GpConvertInHelper};

GpStatus MakeMetafile(const std::vector<uint8_t>& bytes, GpMetafile** metafile) {
  MetafileHeader header;
  std::string svg;
  if (!GpReadMetafile(bytes.data(), bytes.size(), header, svg, g_converter.load())) return GenericError;
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

void GpSetMetafileConverter(GpMetafileConverter Convert) { g_converter = Convert ? Convert : GpConvertInHelper; }

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

GpStatus GdipRasterizeMetafile(GpImage* image, int32_t width, int32_t height, std::vector<uint32_t>& pixels) {
  pixels.clear();
  if (!image || !image->Data().Metafile || width < 1 || height < 1) return InvalidParameter;
  try {
    return GpRasterizeMetafile(image->Data(), width, height, pixels) ? Ok : GenericError;
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
}

void GdipSetMetafileConversionInProcess(bool inProcess) {
  GpSetMetafileConverter(inProcess ? GpConvertInProcess : GpConvertInHelper);
}

GpStatus GdipGetMetafileHeaderFromMetafile(GpMetafile* metafile, MetafileHeader* header) {
  if (!metafile || !header) return InvalidParameter;
  *header = MetafileHeader();
  if (!metafile->Data().Metafile) return InvalidParameter;
  *header = metafile->Data().Header;
  return Ok;
}
