#include "codecs/pxj2000.h"

#include <openjpeg.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

#include "codecs/pxcodecs_impl.h"
#include "core/hypxutils.h"
#include "core/hypxutils_startup.h"
#include "core/hypxutils_streams.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/System.h"

using namespace pxcodecs_detail;

namespace {

// Pictures whose components hold more samples than this are refused before decoding: the
// decoder keeps every sample as a 32-bit integer.
constexpr uint64_t kMaxSamples = uint64_t{1} << 27;

struct TYCbCrTables {
  std::array<int32_t, 256> CrR, CbB, CrG, CbG;
};

std::mutex gTablesLock;
std::unique_ptr<TYCbCrTables> gTables;

const TYCbCrTables* Tables() {
  InitJpeg2000Codec();
  std::lock_guard<std::mutex> lock(gTablesLock);
  return gTables.get();
}

uint32_t GetBE32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Reads Count bytes at the position and restores it; false when fewer arrive.
bool PeekBytes(TStream* Stream, uint8_t* Buffer, int32_t Count) {
  if (!Stream) return false;
  const int64_t at = Stream->Position();
  const bool ok = ReadFully(Stream, Buffer, Count) == Count;
  Stream->Seek(at, soBeginning);
  return ok;
}

// OpenJPEG's stream callbacks over a TStream, positions counted from where the codec started.
struct TStreamBinding {
  TStream* Stream;
  int64_t Origin;
};

OPJ_SIZE_T ReadProc(void* Buffer, OPJ_SIZE_T Count, void* User) {
  auto* b = static_cast<TStreamBinding*>(User);
  const int64_t got = ReadFully(b->Stream, Buffer, static_cast<int64_t>(Count));
  return got <= 0 ? static_cast<OPJ_SIZE_T>(-1) : static_cast<OPJ_SIZE_T>(got);
}

OPJ_SIZE_T WriteProc(void* Buffer, OPJ_SIZE_T Count, void* User) {
  auto* b = static_cast<TStreamBinding*>(User);
  try {
    b->Stream->WriteBuffer(Buffer, static_cast<int64_t>(Count));
  } catch (const std::exception&) {
    return static_cast<OPJ_SIZE_T>(-1);
  }
  return Count;
}

OPJ_OFF_T SkipProc(OPJ_OFF_T Count, void* User) {
  auto* b = static_cast<TStreamBinding*>(User);
  const int64_t at = b->Stream->Position();
  int64_t to = at + Count;
  if (to < b->Origin) to = b->Origin;
  const int64_t now = b->Stream->Seek(to, soBeginning);
  return now == to ? Count : -1;
}

OPJ_BOOL SeekProc(OPJ_OFF_T Offset, void* User) {
  auto* b = static_cast<TStreamBinding*>(User);
  if (Offset < 0) return OPJ_FALSE;
  return b->Stream->Seek(b->Origin + Offset, soBeginning) == b->Origin + Offset ? OPJ_TRUE : OPJ_FALSE;
}

void QuietProc(const char*, void*) {}

struct TCodecDeleter {
  void operator()(opj_codec_t* C) const { opj_destroy_codec(C); }
};
struct TStreamDeleter {
  void operator()(opj_stream_t* S) const { opj_stream_destroy(S); }
};
struct TImageDeleter {
  void operator()(opj_image_t* I) const { opj_image_destroy(I); }
};
using TCodecPtr = std::unique_ptr<opj_codec_t, TCodecDeleter>;
using TOpjStreamPtr = std::unique_ptr<opj_stream_t, TStreamDeleter>;
using TImagePtr = std::unique_ptr<opj_image_t, TImageDeleter>;

void Quiet(opj_codec_t* Codec) {
  opj_set_info_handler(Codec, QuietProc, nullptr);
  opj_set_warning_handler(Codec, QuietProc, nullptr);
  opj_set_error_handler(Codec, QuietProc, nullptr);
}

opj_stream_t* CreateStream(TStreamBinding* Binding, bool Input, int64_t Length) {
  opj_stream_t* s = opj_stream_create(1 << 16, Input ? OPJ_TRUE : OPJ_FALSE);
  if (!s) return nullptr;
  opj_stream_set_user_data(s, Binding, nullptr);
  if (Input) {
    opj_stream_set_user_data_length(s, static_cast<OPJ_UINT64>(std::max<int64_t>(Length, 0)));
    opj_stream_set_read_function(s, ReadProc);
  } else {
    opj_stream_set_write_function(s, WriteProc);
  }
  opj_stream_set_skip_function(s, SkipProc);
  opj_stream_set_seek_function(s, SeekProc);
  return s;
}

void ReportRow(TPXProgressRecord& Progress, int32_t Row, int32_t Height, int32_t& Last) {
  if (!Progress.Event || Height <= 0) return;
  const auto per = static_cast<int32_t>(Round(Row * 100.0L / Height));
  if (per != Last) {
    Last = per;
    Progress.Event(Progress.Sender, per);
  }
}

// A sample of precision Prec reduced to its top 8 or 16 bits (a left shift below that).
inline uint32_t Top8(int32_t V, int32_t Prec) {
  return Prec >= 8 ? (static_cast<uint32_t>(V) << (32 - Prec)) >> 24 : (static_cast<uint32_t>(V) << (8 - Prec)) & 0xFF;
}
inline uint32_t Top16(int32_t V, int32_t Prec) {
  return Prec >= 16 ? (static_cast<uint32_t>(V) << (32 - Prec)) >> 16
                    : (static_cast<uint32_t>(V) << (16 - Prec)) & 0xFFFF;
}

enum class TFamily { Grey, RGB, YCbCr };

// Per-pixel index maps of one component onto the picture's grid.
struct TComponentMap {
  const opj_image_comp_t* Comp = nullptr;
  std::vector<int32_t> Cols, Rows;
  bool Direct = true;
};

TComponentMap MapComponent(const opj_image_t* Image, int32_t Index, int32_t Width, int32_t Height) {
  TComponentMap m;
  m.Comp = &Image->comps[Index];
  const opj_image_comp_t& c = *m.Comp;
  m.Direct = c.dx == 1 && c.dy == 1 && int64_t(c.w) >= Width && int64_t(c.h) >= Height &&
             int64_t(c.x0) == Image->x0 && int64_t(c.y0) == Image->y0;
  if (m.Direct) return m;
  m.Cols.resize(static_cast<size_t>(Width));
  m.Rows.resize(static_cast<size_t>(Height));
  for (int32_t x = 0; x < Width; ++x) {
    const int64_t j = (int64_t(Image->x0) + x) / c.dx - int64_t(c.x0);
    m.Cols[size_t(x)] = static_cast<int32_t>(std::clamp<int64_t>(j, 0, int64_t(c.w) - 1));
  }
  for (int32_t y = 0; y < Height; ++y) {
    const int64_t i = (int64_t(Image->y0) + y) / c.dy - int64_t(c.y0);
    m.Rows[size_t(y)] = static_cast<int32_t>(i < 0 || i >= int64_t(c.h) ? 0 : i);
  }
  return m;
}

inline int32_t SampleAt(const TComponentMap& M, int32_t X, int32_t Y) {
  const opj_image_comp_t& c = *M.Comp;
  if (M.Direct) return c.data[size_t(Y) * c.w + size_t(X)];
  return c.data[size_t(M.Rows[size_t(Y)]) * c.w + size_t(M.Cols[size_t(X)])];
}

void DecodeBody(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly, TPXProgressRecord& Progress,
                TPXAbortFlag& Aborting) {
  const bool jp2 = HasJp2Signature(Stream);
  if (!jp2 && !HasJ2kSignature(Stream)) {
    Aborting = true;
    return;
  }
  TStreamBinding binding{Stream, Stream->Position()};
  TOpjStreamPtr stream(CreateStream(&binding, true, Stream->Size() - binding.Origin));
  TCodecPtr codec(opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
  if (!stream || !codec) {
    Aborting = true;
    return;
  }
  Quiet(codec.get());
  opj_dparameters_t parameters;
  opj_set_default_decoder_parameters(&parameters);
  opj_image_t* raw = nullptr;
  if (!opj_setup_decoder(codec.get(), &parameters) || !opj_read_header(stream.get(), codec.get(), &raw)) {
    if (raw) opj_image_destroy(raw);
    Aborting = true;
    return;
  }
  TImagePtr image(raw);
  const int64_t width64 = int64_t(image->x1) - image->x0, height64 = int64_t(image->y1) - image->y0;
  if (image->numcomps == 0 || width64 <= 0 || height64 <= 0 || width64 > INT32_MAX || height64 > INT32_MAX) {
    Aborting = true;
    return;
  }
  uint64_t samples = 0;
  for (OPJ_UINT32 i = 0; i < image->numcomps; ++i) {
    const opj_image_comp_t& c = image->comps[i];
    if (c.prec < 1 || c.prec > 31 || c.dx == 0 || c.dy == 0) {
      Aborting = true;
      return;
    }
    samples += uint64_t(width64 / c.dx + 1) * uint64_t(height64 / c.dy + 1);
  }
  if (samples > kMaxSamples) {
    Aborting = true;
    return;
  }
  const auto width = static_cast<int32_t>(width64), height = static_cast<int32_t>(height64);

  // Colour family: the file's colour space, else by the component count; an uncoloured code
  // stream with subsampled second and third components is YCbCr.
  TFamily family;
  switch (image->color_space) {
    case OPJ_CLRSPC_GRAY:
      family = TFamily::Grey;
      break;
    case OPJ_CLRSPC_SRGB:
      family = image->numcomps >= 3 ? TFamily::RGB : TFamily::Grey;
      break;
    case OPJ_CLRSPC_SYCC:
      family = image->numcomps >= 3 ? TFamily::YCbCr : TFamily::Grey;
      break;
    case OPJ_CLRSPC_UNKNOWN:
    case OPJ_CLRSPC_UNSPECIFIED:
      if (image->numcomps < 3) family = TFamily::Grey;
      else if (image->comps[0].dx == 1 && image->comps[0].dy == 1 && (image->comps[1].dx > 1 || image->comps[1].dy > 1))
        family = TFamily::YCbCr;
      else family = TFamily::RGB;
      break;
    default:
      Aborting = true;
      return;
  }
  const int32_t prec = static_cast<int32_t>(image->comps[0].prec);
  Params->SetImageCount(1);
  Params->BitsPerSample = prec;
  Params->SamplesPerPixel = family == TFamily::Grey ? 1 : 3;
  Params->SetDpiX(DefaultDpiX());
  Params->SetDpiY(DefaultDpiY());
  Params->FreeColorMap();
  Params->Width = width;
  Params->Height = height;
  Params->OriginalWidth = width;
  Params->OriginalHeight = height;
  if (PreviewOnly || !Bitmap) return;

  if (!opj_decode(codec.get(), stream.get(), image.get()) || !opj_end_decompress(codec.get(), stream.get())) {
    Aborting = true;
    return;
  }
  for (OPJ_UINT32 i = 0; i < image->numcomps && i < 3; ++i)
    if (!image->comps[i].data || image->comps[i].w == 0 || image->comps[i].h == 0) {
      Aborting = true;
      return;
    }

  TPXPixelFormat format;
  if (Bitmap->Location() == pxTBitmap && !Params->NativePixelFormat) {
    format = family == TFamily::Grey && prec == 1 ? px1g : px24RGB;
  } else if (family == TFamily::Grey) {
    format = prec == 1 ? px1g : prec == 8 ? px8g : prec < 8 ? px24RGB : px16g;
  } else {
    format = px24RGB;
  }
  if (!Bitmap->Allocate(width, height, format)) {
    Aborting = true;
    return;
  }
  std::vector<TComponentMap> maps;
  const int32_t used = family == TFamily::Grey ? 1 : 3;
  for (int32_t i = 0; i < used; ++i) maps.push_back(MapComponent(image.get(), i, width, height));
  const TYCbCrTables* t = family == TFamily::YCbCr ? Tables() : nullptr;
  int32_t last = -1;
  for (int32_t y = 0; y < height && !Aborting; ++y) {
    ReportRow(Progress, y, height, last);
    uint8_t* row = Bitmap->Scanline(y);
    if (family == TFamily::Grey) {
      const TComponentMap& m = maps[0];
      const auto p = static_cast<int32_t>(m.Comp->prec);
      switch (format) {
        case px1g:
          std::fill(row, row + (width + 7) / 8, 0);
          for (int32_t x = 0; x < width; ++x)
            if (Top8(SampleAt(m, x, y), p) != 0) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
          break;
        case px8g:
          for (int32_t x = 0; x < width; ++x) row[x] = uint8_t(Top8(SampleAt(m, x, y), p));
          break;
        case px16g: {
          auto* w = reinterpret_cast<uint16_t*>(row);
          for (int32_t x = 0; x < width; ++x) w[x] = uint16_t(Top16(SampleAt(m, x, y), p));
          break;
        }
        default:
          for (int32_t x = 0; x < width; ++x) {
            const auto v = uint8_t(Top8(SampleAt(m, x, y), p));
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = v;
          }
          break;
      }
      continue;
    }
    const auto p0 = static_cast<int32_t>(maps[0].Comp->prec), p1 = static_cast<int32_t>(maps[1].Comp->prec),
               p2 = static_cast<int32_t>(maps[2].Comp->prec);
    for (int32_t x = 0; x < width; ++x) {
      const auto c0 = static_cast<int32_t>(Top8(SampleAt(maps[0], x, y), p0));
      const auto c1 = static_cast<int32_t>(Top8(SampleAt(maps[1], x, y), p1));
      const auto c2 = static_cast<int32_t>(Top8(SampleAt(maps[2], x, y), p2));
      uint8_t* px = row + 3 * x;
      if (t) {
        px[2] = uint8_t(std::clamp(c0 + t->CrR[size_t(c2)], 0, 255));
        px[1] = uint8_t(std::clamp(c0 + t->CbG[size_t(c1)] + t->CrG[size_t(c2)], 0, 255));
        px[0] = uint8_t(std::clamp(c0 + t->CbB[size_t(c1)], 0, 255));
      } else {
        px[2] = uint8_t(c0);
        px[1] = uint8_t(c1);
        px[0] = uint8_t(c2);
      }
    }
  }
}

bool AlphaIsOpaque(TPXBitmap* Bitmap) {
  TPXBitmap* a = Bitmap->PeekAlphaChannel();
  if (!a || a->FFull) return true;
  for (int32_t y = 0; y < a->Height(); ++y) {
    const uint8_t* r = a->Scanline(y);
    for (int32_t x = 0; x < a->Width(); ++x)
      if (r[x] != 255) return false;
  }
  return true;
}

void EncodeBody(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, int32_t Container, TPXProgressRecord& Progress,
                TPXAbortFlag& Aborting) {
  const int32_t width = Bitmap->Width(), height = Bitmap->Height();
  const TPXPixelFormat format = Bitmap->PixelFormat();
  if (width <= 0 || height <= 0) {
    Aborting = true;
    return;
  }
  if (format == px1g || format == px8g || format == px16g) {
    Params->BitsPerSample = format == px1g ? 1 : format == px8g ? 8 : 16;
    Params->J2000_ColorSpace = 0;
  }
  const bool wide = format == pxRGB48;
  // pxRGB48 pictures keep their 16 bits; other sources are written at BitsPerSample.
  const int32_t bits = wide ? 16 : std::clamp(Params->BitsPerSample, 1, 16);
  const double maxValue = double((1 << bits) - 1);
  const bool grey = Params->J2000_ColorSpace == 0;
  const bool alpha = !grey && !AlphaIsOpaque(Bitmap);
  const int32_t numComps = grey ? 1 : alpha ? 4 : 3;

  std::array<opj_image_cmptparm_t, 4> parms{};
  for (int32_t i = 0; i < numComps; ++i) {
    parms[size_t(i)].dx = parms[size_t(i)].dy = 1;
    parms[size_t(i)].w = OPJ_UINT32(width);
    parms[size_t(i)].h = OPJ_UINT32(height);
    parms[size_t(i)].prec = OPJ_UINT32(bits);
    parms[size_t(i)].sgnd = 0;
  }
  TImagePtr image(opj_image_create(OPJ_UINT32(numComps), parms.data(), grey ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB));
  if (!image) {
    Aborting = true;
    return;
  }
  image->x0 = image->y0 = 0;
  image->x1 = OPJ_UINT32(width);
  image->y1 = OPJ_UINT32(height);
  if (alpha) image->comps[3].alpha = 1;

  const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const int32_t wr = s ? s->FGrayWeightRed : 21, wg = s ? s->FGrayWeightGreen : 71, wb = s ? s->FGrayWeightBlue : 8;
  TPXBitmap* alphaChannel = alpha ? Bitmap->PeekAlphaChannel() : nullptr;
  int32_t last = -1;
  // 8-bit RGB samples go in as they are.
  const bool direct = format == px24RGB && maxValue == 255;
  for (int32_t y = 0; y < height && !Aborting; ++y) {
    ReportRow(Progress, y, height, last);
    const uint8_t* row = Bitmap->Scanline(y);
    const size_t base = size_t(y) * size_t(width);
    for (int32_t x = 0; x < width; ++x) {
      if (grey) {
        int32_t v;
        switch (format) {
          case px8g:
            v = row[x];
            break;
          case px16g:
            v = reinterpret_cast<const uint16_t*>(row)[x];
            break;
          case px24RGB: {
            const uint8_t* p = row + 3 * x;
            v = static_cast<int32_t>(Round(((p[2] * wr + p[1] * wg + p[0] * wb) / 100) * maxValue / 255.0));
            break;
          }
          case pxRGB48: {
            const auto* p = reinterpret_cast<const TRGB48*>(row) + x;
            v = static_cast<int32_t>(Round(((p->r * wr + p->g * wg + p->b * wb) / 100) * maxValue / 65535.0));
            break;
          }
          default:
            v = (row[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        }
        image->comps[0].data[base + size_t(x)] = v;
        continue;
      }
      int32_t r, g, b;
      if (wide) {
        const auto* p = reinterpret_cast<const TRGB48*>(row) + x;
        r = p->r, g = p->g, b = p->b;
      } else if (direct) {
        r = row[3 * x + 2], g = row[3 * x + 1], b = row[3 * x];
      } else {
        const TRGB c = Bitmap->GetPixelRGB(x, y);
        r = static_cast<int32_t>(Round(c.r * maxValue / 255.0));
        g = static_cast<int32_t>(Round(c.g * maxValue / 255.0));
        b = static_cast<int32_t>(Round(c.b * maxValue / 255.0));
      }
      image->comps[0].data[base + size_t(x)] = r;
      image->comps[1].data[base + size_t(x)] = g;
      image->comps[2].data[base + size_t(x)] = b;
      if (alpha)
        image->comps[3].data[base + size_t(x)] =
            static_cast<int32_t>(Round(alphaChannel->Scanline(y)[x] * maxValue / 255.0));
    }
  }
  if (Aborting) return;

  opj_cparameters_t parameters;
  opj_set_default_encoder_parameters(&parameters);
  parameters.tcp_numlayers = 1;
  parameters.cp_disto_alloc = 1;
  const double rate = Params->J2000_Rate;
  parameters.tcp_rates[0] = rate > 0 && rate < 1 ? float(1.0 / rate) : 0.0f;
  parameters.irreversible = 0;
  parameters.tcp_mct = numComps >= 3 ? 1 : 0;
  parameters.prog_order = Params->J2000_EncoderFlag ? OPJ_RLCP : OPJ_LRCP;
  int32_t levels = 1;
  while (levels < 6 && (std::min(width, height) >> levels) > 0) ++levels;
  parameters.numresolution = levels;

  TCodecPtr codec(opj_create_compress(Container == 0 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
  TStreamBinding binding{Stream, Stream->Position()};
  TOpjStreamPtr stream(CreateStream(&binding, false, 0));
  if (!codec || !stream) {
    Aborting = true;
    return;
  }
  Quiet(codec.get());
  if (!opj_setup_encoder(codec.get(), &parameters, image.get()) ||
      !opj_start_compress(codec.get(), image.get(), stream.get()) || !opj_encode(codec.get(), stream.get()) ||
      !opj_end_compress(codec.get(), stream.get()))
    Aborting = true;
}

}  // namespace

bool HasJp2Signature(TStream* Stream) {
  uint8_t b[12];
  if (!PeekBytes(Stream, b, 12)) return false;
  return GetBE32(b) == 12 && GetBE32(b + 4) == 0x6A502020u && GetBE32(b + 8) == 0x0D0A870Au;
}

bool HasJ2kSignature(TStream* Stream) {
  uint8_t b[4];
  if (!PeekBytes(Stream, b, 4)) return false;
  return b[0] == 0xFF && b[1] == 0x4F && b[2] == 0xFF && b[3] == 0x51;
}

void DecodeJpeg2000Stream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly,
                          TPXProgressRecord& Progress) {
  RunGuarded(Progress, Stream && Params, [&](TPXAbortFlag& Aborting) {
    InitJpeg2000Codec();
    TPXFPExceptionsDisabler fp;
    DecodeBody(Stream, Bitmap, Params, PreviewOnly, Progress, Aborting);
  });
}

void EncodeJpeg2000Stream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, int32_t Container,
                          TPXProgressRecord& Progress) {
  RunGuarded(Progress, Stream && Bitmap && Params, [&](TPXAbortFlag& Aborting) {
    InitJpeg2000Codec();
    TPXFPExceptionsDisabler fp;
    EncodeBody(Stream, Bitmap, Params, Container, Progress, Aborting);
  });
}

void InitJpeg2000Codec() {
  std::lock_guard<std::mutex> lock(gTablesLock);
  if (gTables) return;
  auto t = std::make_unique<TYCbCrTables>();
  const float kr = 0.299f, kb = 0.114f, kg = 0.587f;
  const float crR = 2 - 2 * kr, cbB = 2 - 2 * kb, crG = kr * crR / kg, cbG = kb * cbB / kg;
  for (int32_t i = 0; i < 256; ++i) {
    const int32_t d = i - 128;
    t->CrR[size_t(i)] = static_cast<int32_t>(Round(crR * d));
    t->CbB[size_t(i)] = static_cast<int32_t>(Round(cbB * d));
    t->CrG[size_t(i)] = -static_cast<int32_t>(Round(crG * d));
    t->CbG[size_t(i)] = -static_cast<int32_t>(Round(cbG * d));
  }
  gTables = std::move(t);
}

void ReleaseJpeg2000Codec() {
  std::lock_guard<std::mutex> lock(gTablesLock);
  gTables.reset();
}

void RegisterJpeg2000Codec() {
  for (const TPXFileType type : {pxftJP2, pxftJ2K}) {
    TPXFormatRow row;
    row.Decode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                    bool PreviewOnly, std::unique_ptr<TPXMask>&) -> int32_t {
      DecodeJpeg2000Stream(Stream, Bitmap, Params, PreviewOnly, Progress);
      return 0;
    };
    const int32_t container = type == pxftJP2 ? 0 : 1;
    row.Encode = [container](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXMask*,
                             TPXProgressRecord& Progress) {
      EncodeJpeg2000Stream(Stream, Bitmap, Params, container, Progress);
    };
    row.Signature = type == pxftJP2 ? TPXSignatureProc(HasJp2Signature) : TPXSignatureProc(HasJ2kSignature);
    RegisterFormatRow(type, std::move(row));
  }
  RegisterLibrarySlot(lsReleaseJpeg2000, &ReleaseJpeg2000Codec);
}
