// The PNG codec on libpng 1.6.
//
// libpng reports errors by longjmp. Every libpng call that can fail runs inside a small step
// function that holds the setjmp and nothing with a destructor; the state those steps share is
// a plain record. Our stream callbacks catch every exception before control goes back into
// libpng, and exceptions are raised only once a step has returned.
#include "codecs/pngfilt.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "codecs/pxcodecs.h"
#include "codecs/pxcodecs_impl.h"
#include "core/hypxutils.h"
#include "core/neurquant.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "proc/pixoranproc_colour.h"

namespace {

constexpr const char* kCreateError = "Error on creating PNG";
constexpr const char* kExtraData = "Extra compressed data";
// Deflate cannot expand data more than about 1032 times; a picture that would need more than
// this from the bytes left is cut short for sure and is not allocated.
constexpr int64_t kMaxInflateRatio = 1100;

// ---------------------------------------------------------------------------------------------
// Text: tEXt and zTXt hold Latin-1, iTXt UTF-8.

std::string Latin1ToUtf8(const char* S) {
  std::string out;
  for (; *S; ++S) {
    const auto c = static_cast<uint8_t>(*S);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The Latin-1 bytes of UTF-8 text; false when the text is not UTF-8 or holds a character beyond
// U+00FF.
bool Utf8ToLatin1(const std::string& S, std::string& Out) {
  Out.clear();
  if (!IsValidUtf8(S)) return false;
  for (size_t i = 0; i < S.size(); ++i) {
    const auto c = static_cast<uint8_t>(S[i]);
    if (c < 0x80) {
      Out += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < S.size()) {
      Out += static_cast<char>(((c & 0x03) << 6) | (static_cast<uint8_t>(S[++i]) & 0x3F));
    } else {
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Stream transfer without exceptions (they must not cross libpng).

bool ReadFully(TStream* Stream, uint8_t* Buffer, size_t Count) noexcept {
  try {
    while (Count > 0) {
      const auto chunk = static_cast<int32_t>(std::min<size_t>(Count, 1u << 30));
      const int32_t got = Stream->Read(Buffer, chunk);
      if (got <= 0) return false;
      Buffer += got;
      Count -= static_cast<size_t>(got);
    }
    return true;
  } catch (...) {
    return false;
  }
}

bool WriteFully(TStream* Stream, const uint8_t* Buffer, size_t Count) noexcept {
  try {
    while (Count > 0) {
      const auto chunk = static_cast<int32_t>(std::min<size_t>(Count, 1u << 30));
      const int32_t put = Stream->Write(Buffer, chunk);
      if (put <= 0) return false;
      Buffer += put;
      Count -= static_cast<size_t>(put);
    }
    return true;
  } catch (...) {
    return false;
  }
}

// Truncated; the tiny margin keeps the last row at 100 despite the rounding of PerCentPerUnit.
int32_t PerCent(const TPXProgressRecord& Progress) {
  return static_cast<int32_t>(std::min<int64_t>(100, Trunc(Progress.Count * Progress.PerCentPerUnit + 1e-9L)));
}

void IgnoreWarning(png_structp, png_const_charp) {}

// ---------------------------------------------------------------------------------------------
// Reader

struct TPngReadContext {
  png_structp Png;
  png_infop Info;
  TStream* Stream;
  bool Tolerated;  // the error that ended the last step was "Extra compressed data"
  bool Failed;     // any other error ended the last step
  // Header
  png_uint_32 Width;
  png_uint_32 Height;
  int Depth;
  int ColorType;
  int Interlace;
  png_uint_32 XPpm;
  png_uint_32 YPpm;
  png_colorp Palette;
  int PaletteCount;
  png_bytep TrnsAlpha;
  int TrnsCount;
  png_color_16p TrnsColor;
  png_color_16p Background;
  png_textp Text;
  int TextCount;
  // After the transformations
  int Passes;
  int Channels;
  size_t RowBytes;
};
static_assert(std::is_trivially_destructible_v<TPngReadContext>);

[[noreturn]] void ReadError(png_structp Png, png_const_charp Message) {
  auto* c = static_cast<TPngReadContext*>(png_get_error_ptr(Png));
  const bool extra = Message && std::strcmp(Message, kExtraData) == 0;
  c->Tolerated = extra;
  c->Failed = !extra;
  png_longjmp(Png, 1);
}

void ReadData(png_structp Png, png_bytep Data, size_t Length) {
  auto* c = static_cast<TPngReadContext*>(png_get_io_ptr(Png));
  if (!ReadFully(c->Stream, Data, Length)) png_error(Png, "Read error");
}

bool StepReadInfo(TPngReadContext* C) {
  if (setjmp(png_jmpbuf(C->Png))) return false;
  png_read_info(C->Png, C->Info);
  png_get_IHDR(C->Png, C->Info, &C->Width, &C->Height, &C->Depth, &C->ColorType, &C->Interlace, nullptr, nullptr);
  C->XPpm = png_get_x_pixels_per_meter(C->Png, C->Info);
  C->YPpm = png_get_y_pixels_per_meter(C->Png, C->Info);
  if (!png_get_PLTE(C->Png, C->Info, &C->Palette, &C->PaletteCount)) C->PaletteCount = 0;
  if (!png_get_tRNS(C->Png, C->Info, &C->TrnsAlpha, &C->TrnsCount, &C->TrnsColor)) C->TrnsCount = 0;
  if (!png_get_bKGD(C->Png, C->Info, &C->Background)) C->Background = nullptr;
  if (!png_get_text(C->Png, C->Info, &C->Text, &C->TextCount)) C->TextCount = 0;
  return true;
}

// HandleInterlace: libpng deinterlaces into full rows (every row read once per pass);
// otherwise an interlaced picture comes as its seven sub-images.
bool StepTransforms(TPngReadContext* C, bool Native, bool HandleInterlace) {
  if (setjmp(png_jmpbuf(C->Png))) return false;
  png_structp png = C->Png;
  const int depth = C->Depth, type = C->ColorType;
  if (Native) {
    if (depth == 16) png_set_swap(png);  // little-endian px16g samples
  } else {
    if ((type == PNG_COLOR_TYPE_PALETTE && depth >= 2) || (type == PNG_COLOR_TYPE_GRAY && depth >= 2 && depth <= 7))
      png_set_expand(png);
    if (depth == 16) png_set_strip_16(png);
    if (depth >= 2 && depth <= 7) png_set_packing(png);
    if ((type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) && depth > 1) png_set_gray_to_rgb(png);
    if (depth > 1) {
      png_set_bgr(png);
      png_set_tRNS_to_alpha(png);
    }
  }
  C->Passes = HandleInterlace ? png_set_interlace_handling(png) : C->Interlace != PNG_INTERLACE_NONE ? 7 : 1;
  png_read_update_info(png, C->Info);
  C->Channels = png_get_channels(png, C->Info);
  C->RowBytes = png_get_rowbytes(png, C->Info);
  return true;
}

bool StepReadRow(TPngReadContext* C, png_bytep Row) {
  if (setjmp(png_jmpbuf(C->Png))) return false;
  png_read_row(C->Png, Row, nullptr);
  return true;
}

bool StepReadEnd(TPngReadContext* C) {
  if (setjmp(png_jmpbuf(C->Png))) return false;
  png_read_end(C->Png, C->Info);
  return true;
}

int SamplesOfColorType(int Type) {
  switch (Type) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
  }
}

int32_t ResolutionFromPpm(png_uint_32 Ppm, int32_t Default) {
  const auto dpi = static_cast<int32_t>(Round(Ppm / 100.0L * 2.54L));
  return dpi == 0 ? Default : dpi;
}

// Sample values up to 8 bits stay as they are; 16-bit ones keep their high byte.
uint8_t BackgroundSample(png_uint_16 V, int Depth) {
  return static_cast<uint8_t>(Depth == 16 ? V >> 8 : V & 0xFF);
}

void FillReadParams(const TPngReadContext& C, TIOParams* Params) {
  Params->PNG_TextKeys.clear();
  Params->PNG_TextValues.clear();
  for (int i = 0; i < C.TextCount; ++i) {
    const png_text& t = C.Text[i];
    Params->PNG_TextKeys.push_back(Latin1ToUtf8(t.key ? t.key : ""));
    const char* text = t.text ? t.text : "";
    const bool utf8 = t.compression == PNG_ITXT_COMPRESSION_NONE || t.compression == PNG_ITXT_COMPRESSION_zTXt;
    Params->PNG_TextValues.push_back(utf8 ? BytesToUtf8(text) : Latin1ToUtf8(text));
  }
  if (C.Background) {
    if (C.ColorType == PNG_COLOR_TYPE_PALETTE) {
      if (C.Background->index < C.PaletteCount) {
        const png_color& p = C.Palette[C.Background->index];
        Params->PNG_Background = TRGB{p.blue, p.green, p.red};
      }
    } else if (C.ColorType & PNG_COLOR_MASK_COLOR) {
      Params->PNG_Background = TRGB{BackgroundSample(C.Background->blue, C.Depth),
                                    BackgroundSample(C.Background->green, C.Depth),
                                    BackgroundSample(C.Background->red, C.Depth)};
    } else {
      const uint8_t g = BackgroundSample(C.Background->gray, C.Depth);
      Params->PNG_Background = TRGB{g, g, g};
    }
  }
  Params->SetImageCount(1);
  Params->Width = Params->OriginalWidth = static_cast<int32_t>(C.Width);
  Params->Height = Params->OriginalHeight = static_cast<int32_t>(C.Height);
  Params->BitsPerSample = C.Depth;
  Params->SamplesPerPixel = SamplesOfColorType(C.ColorType);
  if (C.ColorType == PNG_COLOR_TYPE_PALETTE) Params->BitsPerSample = 8;
  const TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  Params->SetDpiX(ResolutionFromPpm(C.XPpm, settings->FDefaultDPIX));
  Params->SetDpiY(ResolutionFromPpm(C.YPpm, settings->FDefaultDPIY));
  if (C.ColorType == PNG_COLOR_TYPE_PALETTE && C.PaletteCount > 0) {
    std::vector<TRGB> map(static_cast<size_t>(C.PaletteCount));
    for (int i = 0; i < C.PaletteCount; ++i) map[i] = TRGB{C.Palette[i].blue, C.Palette[i].green, C.Palette[i].red};
    Params->SetColorMap(map.data(), C.PaletteCount);
  } else {
    Params->FreeColorMap();
  }
  Params->PNG_Interlaced = C.Interlace != PNG_INTERLACE_NONE;
}

// Splits blue-green-red-alpha pixels into a px24RGB row and an alpha row (the three never
// overlap, which lets the compiler vectorise the loop).
void SplitBGRA(const uint8_t* __restrict Src, int32_t Width, uint8_t* __restrict Rgb, uint8_t* __restrict Alpha) {
  for (int32_t x = 0; x < Width; ++x) {
    Rgb[3 * x] = Src[4 * x];
    Rgb[3 * x + 1] = Src[4 * x + 1];
    Rgb[3 * x + 2] = Src[4 * x + 2];
    Alpha[x] = Src[4 * x + 3];
  }
}

void ExpandPalette1(const uint8_t* Src, int32_t Width, const TRGB Colors[2], TRGB* Dest) {
  for (int32_t x = 0; x < Width; ++x) Dest[x] = Colors[(Src[x >> 3] >> (7 - (x & 7))) & 1];
}

// Bytes after the position; a stream that cannot tell counts as unbounded.
int64_t BytesLeft(TStream* Stream) {
  try {
    const int64_t size = Stream->Size(), position = Stream->Position();
    if (size >= 0 && position >= 0) return std::max<int64_t>(size - position, 0);
  } catch (const std::exception&) {
  }
  return INT64_MAX / (2 * kMaxInflateRatio);
}

void DecodeBody(TPngReadContext& C, TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params,
                TPXProgressRecord& Progress, bool PreviewOnly, TPXAbortFlag& Aborting) {
  C.Stream = Stream;
  C.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &C, ReadError, IgnoreWarning);
  if (C.Png) C.Info = png_create_info_struct(C.Png);
  if (!C.Png || !C.Info) {
    Aborting = true;
    return;
  }
  png_set_read_fn(C.Png, &C, ReadData);
  if (!StepReadInfo(&C)) {
    Aborting = !C.Tolerated;
    return;
  }
  FillReadParams(C, Params);
  const int depth = C.Depth, type = C.ColorType;
  const bool palette = type == PNG_COLOR_TYPE_PALETTE;
  const bool native = Params->NativePixelFormat && (depth == 8 || depth == 16) &&
                      (type == PNG_COLOR_TYPE_GRAY || palette);
  if (PreviewOnly) return;
  // Pictures whose rows need splitting (alpha) or expanding (1-bit palette) are deinterlaced
  // here, pixel by pixel into the bitmap, so that no whole-picture buffer is needed; the others
  // let libpng deinterlace straight into the bitmap's rows.
  const bool split = !native && depth > 1 && ((type & PNG_COLOR_MASK_ALPHA) || C.TrnsCount > 0);
  const bool palette1 = palette && depth == 1;
  const bool interlaced = C.Interlace != PNG_INTERLACE_NONE;
  const bool scatter = interlaced && (split || palette1);
  if (!StepTransforms(&C, native, !scatter)) {
    Aborting = !C.Tolerated;
    return;
  }

  const auto w = static_cast<int32_t>(C.Width), h = static_cast<int32_t>(C.Height);
  // Rows the file must hold, against what deflate can give from the bytes left.
  const int64_t fileRow = (int64_t(w) * SamplesOfColorType(type) * depth + 7) / 8 + 1;
  if (fileRow * h > (BytesLeft(Stream) + 64) * kMaxInflateRatio) {
    Aborting = true;
    return;
  }

  TPXPixelFormat format = px24RGB;
  if (depth == 1 && !palette) format = px1g;
  else if (native) format = palette ? px8p : depth == 8 ? px8g : px16g;
  Bitmap->RemoveAlphaChannel(false, 0);
  if (!Bitmap->Allocate(w, h, format)) {
    Aborting = true;
    return;
  }
  if (format == px8p) {
    Bitmap->SetPaletteUsed(256);
    for (int i = 0; i < std::min(C.PaletteCount, 256); ++i)
      Bitmap->SetPaletteColor(i, TRGB{C.Palette[i].blue, C.Palette[i].green, C.Palette[i].red});
  }

  const bool buffered = split || palette1;
  const size_t stride = C.RowBytes;
  if (split ? C.Channels != 4 || stride != size_t(w) * 4
            : palette1 ? stride != size_t(w + 7) / 8 : C.Channels == 4 || int64_t(stride) > Bitmap->RowLen()) {
    Aborting = true;  // a layout libpng should not give
    return;
  }
  std::vector<uint8_t> buffer(buffered ? stride : 0);
  TPXBitmap* alpha = nullptr;
  if (split) {
    alpha = Bitmap->GetAlphaChannel();
    alpha->FFull = 0;
  }
  // A one-entry palette leaves entry 1 black.
  TRGB colors[2] = {};
  for (int i = 0; i < std::min(C.PaletteCount, 2); ++i)
    colors[i] = TRGB{C.Palette[i].blue, C.Palette[i].green, C.Palette[i].red};

  Progress.Count = 0;
  Progress.PerCentPerUnit = 100.0 / (double(h) * C.Passes);
  int32_t fired = -1;
  // Counts Rows more rows; false when the read is to stop.
  auto advance = [&](int32_t Rows) {
    Progress.Count += Rows;
    if (Progress.Event) {
      const int32_t per = PerCent(Progress);
      if (per != fired) {
        fired = per;
        Progress.Event(Progress.Sender, per);
      }
    }
    return !Aborting;
  };
  bool stop = false;
  if (scatter) {
    // Adam7 sub-images: pass row r is picture row PNG_ROW_FROM_PASS_ROW(r, pass), pass column i
    // picture column PNG_COL_FROM_PASS_COL(i, pass). Each pass counts the picture's height.
    for (int pass = 0; pass < 7 && !stop; ++pass) {
      fired = -1;
      const auto cols = static_cast<int32_t>(PNG_PASS_COLS(C.Width, pass));
      const auto rows = static_cast<int32_t>(PNG_PASS_ROWS(C.Height, pass));
      if (cols == 0 || rows == 0) {
        stop = !advance(h);
        continue;
      }
      const int32_t x0 = PNG_PASS_START_COL(pass), dx = 1 << PNG_PASS_COL_SHIFT(pass);
      for (int32_t r = 0; r < rows; ++r) {
        if (!StepReadRow(&C, buffer.data())) {
          Aborting = !C.Tolerated;
          stop = true;
          break;
        }
        const auto y = static_cast<int32_t>(PNG_ROW_FROM_PASS_ROW(r, pass));
        const uint8_t* src = buffer.data();
        uint8_t* dst = Bitmap->Scanline(y);
        if (split) {
          uint8_t* a = alpha->Scanline(y);
          for (int32_t i = 0, x = x0; i < cols; ++i, x += dx, src += 4) {
            dst[3 * x] = src[0];
            dst[3 * x + 1] = src[1];
            dst[3 * x + 2] = src[2];
            a[x] = src[3];
          }
        } else {
          auto* rgb = reinterpret_cast<TRGB*>(dst);
          for (int32_t i = 0, x = x0; i < cols; ++i, x += dx) rgb[x] = colors[(src[i >> 3] >> (7 - (i & 7))) & 1];
        }
        const int32_t next = r + 1 < rows ? static_cast<int32_t>(PNG_ROW_FROM_PASS_ROW(r + 1, pass)) : h;
        if (!advance(next - (r == 0 ? 0 : y))) {
          stop = true;
          break;
        }
      }
    }
  } else {
    for (int pass = 0; pass < C.Passes && !stop; ++pass) {
      fired = -1;
      for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = buffered ? buffer.data() : Bitmap->Scanline(y);
        if (!StepReadRow(&C, row)) {
          Aborting = !C.Tolerated;
          stop = true;
          break;
        }
        if (split) SplitBGRA(row, w, Bitmap->Scanline(y), alpha->Scanline(y));
        else if (palette1) ExpandPalette1(row, w, colors, reinterpret_cast<TRGB*>(Bitmap->Scanline(y)));
        if (!advance(1)) {
          stop = true;
          break;
        }
      }
    }
  }
  buffer = {};
  if (!stop && !StepReadEnd(&C)) Aborting = !C.Tolerated;

  if (native && palette && C.TrnsCount > 0) {
    TPXBitmap* a = Bitmap->GetAlphaChannel();
    a->FFull = 0;
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* src = Bitmap->Scanline(y);
      uint8_t* dst = a->Scanline(y);
      for (int32_t x = 0; x < w; ++x) dst[x] = src[x] < C.TrnsCount ? C.TrnsAlpha[src[x]] : 255;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Writer

struct TPngWriteContext {
  png_structp Png;
  png_infop Info;
  TStream* Stream;
  TPXAbortFlag* Aborting;
  bool Failed;
  // Header
  png_uint_32 Width;
  png_uint_32 Height;
  int Depth;
  int ColorType;
  int Interlace;
  bool HasPhys;
  png_uint_32 XPpm;
  png_uint_32 YPpm;
  png_color Palette[256];
  int PaletteCount;
  png_byte Trans[1];
  int TransCount;
  bool HasBackground;
  png_color_16 Background;
  int Filter;  // -1: libpng's default
  int Level;
  bool Bgr;
  png_textp Text;
  int TextCount;
  int Passes;
};
static_assert(std::is_trivially_destructible_v<TPngWriteContext>);

[[noreturn]] void WriteError(png_structp Png, png_const_charp) {
  static_cast<TPngWriteContext*>(png_get_error_ptr(Png))->Failed = true;
  png_longjmp(Png, 1);
}

// A short write sets the abort flag; writing goes on.
void WriteData(png_structp Png, png_bytep Data, size_t Length) {
  auto* c = static_cast<TPngWriteContext*>(png_get_io_ptr(Png));
  if (!WriteFully(c->Stream, Data, Length)) *c->Aborting = true;
}

void FlushData(png_structp) {}

bool StepWriteHeader(TPngWriteContext* C) {
  if (setjmp(png_jmpbuf(C->Png))) return false;
  png_structp png = C->Png;
  png_infop info = C->Info;
  png_set_IHDR(png, info, C->Width, C->Height, C->Depth, C->ColorType, C->Interlace, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (C->PaletteCount > 0) png_set_PLTE(png, info, C->Palette, C->PaletteCount);
  if (C->TransCount > 0) png_set_tRNS(png, info, C->Trans, C->TransCount, nullptr);
  if (C->HasPhys) png_set_pHYs(png, info, C->XPpm, C->YPpm, PNG_RESOLUTION_METER);
  if (C->Filter >= 0) png_set_filter(png, PNG_FILTER_TYPE_BASE, C->Filter);
  if (C->HasBackground) png_set_bKGD(png, info, &C->Background);
  png_set_compression_level(png, C->Level);
  if (C->Bgr) png_set_bgr(png);
  if (C->TextCount > 0) png_set_text(png, info, C->Text, C->TextCount);
  png_write_info(png, info);
  C->Passes = png_set_interlace_handling(png);
  return true;
}

bool StepWriteRow(TPngWriteContext* C, png_const_bytep Row) {
  if (setjmp(png_jmpbuf(C->Png))) return false;
  png_write_row(C->Png, Row);
  return true;
}

bool StepWriteEnd(TPngWriteContext* C) {
  if (setjmp(png_jmpbuf(C->Png))) return false;
  png_write_end(C->Png, C->Info);
  return true;
}

// Alpha row Y of the mask for Width pixels; pixels the mask does not cover are opaque.
void MaskRow(TPXMask* Mask, int32_t Y, int32_t Width, uint8_t* Out) {
  const int32_t inside = Y < Mask->Height() ? std::clamp(Mask->Width(), 0, Width) : 0;
  if (inside > 0 && Mask->BitsPerPixel() == 8) {
    std::memcpy(Out, Mask->GetScanline(Y), size_t(inside));
  } else {
    for (int32_t x = 0; x < inside; ++x) Out[x] = Mask->GetPixel(x, Y) ? 255 : 0;
  }
  std::fill(Out + inside, Out + Width, uint8_t(255));
}

bool MaskHasTransparency(TPXMask* Mask, int32_t Width, int32_t Height) {
  if (!Mask || Mask->FFull) return false;
  std::vector<uint8_t> row(static_cast<size_t>(Width));
  for (int32_t y = 0; y < Height; ++y) {
    MaskRow(Mask, y, Width, row.data());
    if (std::any_of(row.begin(), row.end(), [](uint8_t a) { return a != 255; })) return true;
  }
  return false;
}

// Whether Adam7 pass Pass (0..6) holds pixels of row Y.
bool RowInPass(int32_t Y, int Pass) {
  static constexpr int kStart[7] = {0, 0, 4, 0, 2, 0, 1};
  static constexpr int kStep[7] = {8, 8, 8, 4, 4, 2, 2};
  return Y % kStep[Pass] == kStart[Pass];
}

enum class TPngLayout { Grey1, Grey8, Grey16, Palette, PaletteAlpha, Rgb, Rgba };

std::unique_ptr<TPXBitmap> CopyAs(TPXBitmap* Source, TPXPixelFormat Format) {
  auto copy = TPXBitmap::CreateAllocated(Source->Width(), Source->Height(), Format);
  if (copy->Width() != Source->Width() || copy->Height() != Source->Height()) throw EInvalidGraphic(kCreateError);
  copy->ConvertPixelFormat(Source);
  return copy;
}

int PngFilterOf(uint8_t Filter) {
  switch (Filter) {
    case 0: return PNG_FILTER_NONE;
    case 1: return PNG_FILTER_SUB;
    case 2: return PNG_FILTER_PAETH;
    case 3: return PNG_FILTER_UP;
    case 4: return PNG_FILTER_AVG;
    case 5: return PNG_ALL_FILTERS;
    default: return -1;
  }
}

png_uint_32 PpmOfDpi(int32_t Dpi) {
  return static_cast<png_uint_32>(std::min<int64_t>(Round(Dpi * 100 / 2.54L), PNG_UINT_31_MAX));
}

struct TPngReadGuard {
  TPngReadContext& C;
  ~TPngReadGuard() {
    if (C.Png) png_destroy_read_struct(&C.Png, C.Info ? &C.Info : nullptr, nullptr);
  }
};

struct TPngWriteGuard {
  TPngWriteContext& C;
  ~TPngWriteGuard() {
    if (C.Png) png_destroy_write_struct(&C.Png, C.Info ? &C.Info : nullptr);
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------------

void DecodePngStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                     bool PreviewOnly) {
  TPXAbortFlag ownFlag{false};
  TPXAbortFlag& aborting = Progress.Aborting ? *Progress.Aborting : ownFlag;
  if (!Stream || !Params || (!Bitmap && !PreviewOnly)) {
    aborting = true;
    return;
  }
  TPngReadContext c{};
  TPngReadGuard guard{c};
  try {
    DecodeBody(c, Stream, Bitmap, Params, Progress, PreviewOnly, aborting);
  } catch (const std::exception&) {
    aborting = true;
  }
}

void EncodePngStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                     TPXMask* Mask) {
  TPXAbortFlag ownFlag{false};
  TPXAbortFlag& aborting = Progress.Aborting ? *Progress.Aborting : ownFlag;
  if (!Stream || !Bitmap || !Params || Bitmap->Width() <= 0 || Bitmap->Height() <= 0)
    throw EInvalidGraphic(kCreateError);
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();

  auto c = std::make_unique<TPngWriteContext>();
  TPngWriteGuard guard{*c};
  c->Stream = Stream;
  c->Aborting = &aborting;
  c->Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, c.get(), WriteError, IgnoreWarning);
  if (c->Png) c->Info = png_create_info_struct(c->Png);
  if (!c->Png || !c->Info) throw EInvalidGraphic(kCreateError);
  png_set_write_fn(c->Png, c.get(), WriteData, FlushData);

  int32_t bps = Params->BitsPerSample;
  if (bps > 8) bps = 16;
  if (Params->SamplesPerPixel == 1 && bps != 1 && bps != 8 && bps != 16) bps = 8;
  Params->BitsPerSample = bps;
  const bool alpha = MaskHasTransparency(Mask, w, h);

  // The source whose rows fit the chosen layout: the bitmap itself or a converted copy.
  std::unique_ptr<TPXBitmap> temp;
  TPXBitmap* src = Bitmap;
  auto useCopy = [&](TPXPixelFormat format) {
    temp = CopyAs(Bitmap, format);
    src = temp.get();
  };
  std::vector<TRGB> colors(256);
  std::unique_ptr<TPXQuantizer> quantizer;
  const TRGB bg = Params->PNG_Background;
  TPngLayout layout;
  if (bps == 1) {
    layout = TPngLayout::Grey1;
    if (Bitmap->PixelFormat() != px1g) {
      TRGB c0, c1;
      temp = ConvertBiColorTo1Bit(Bitmap, c0, c1);
      if (temp) src = temp.get();
      else useCopy(px1g);
    }
  } else if (Params->SamplesPerPixel == 1) {
    const TPXPixelFormat f = Bitmap->PixelFormat();
    if (alpha ? f != px24RGB : f != px24RGB && f != px8p && f != px8g && f != px16g) useCopy(px24RGB);
    if (alpha) {
      layout = TPngLayout::PaletteAlpha;
      quantizer = std::make_unique<TPXQuantizer>(src, colors.data(), 0, 255);
    } else {
      quantizer = std::make_unique<TPXQuantizer>(src, colors.data(), 0, 256);
      if (quantizer->Grey()) {
        layout = bps == 16 ? TPngLayout::Grey16 : TPngLayout::Grey8;
        const TPXPixelFormat sf = src->PixelFormat();
        if (!(sf == px24RGB || (sf == px8g && bps == 8) || (sf == px16g && bps == 16))) useCopy(px24RGB);
      } else {
        layout = TPngLayout::Palette;
      }
    }
  } else {
    layout = alpha ? TPngLayout::Rgba : TPngLayout::Rgb;
    if (Bitmap->PixelFormat() != px24RGB) useCopy(px24RGB);
  }

  c->Width = static_cast<png_uint_32>(w);
  c->Height = static_cast<png_uint_32>(h);
  c->Interlace = Params->PNG_Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
  c->Filter = PngFilterOf(Params->PNG_Filter);
  c->Level = std::clamp(Params->PNG_Compression, -1, 9);
  c->HasPhys = Params->DpiX > 0 && Params->DpiY > 0;
  c->XPpm = PpmOfDpi(Params->DpiX);
  c->YPpm = PpmOfDpi(Params->DpiY);
  c->HasBackground = true;
  const int32_t level = ColorToGrayLevel(bg.r << 16 | bg.g << 8 | bg.b);
  switch (layout) {
    case TPngLayout::Grey1:
      c->Depth = 1;
      c->ColorType = PNG_COLOR_TYPE_GRAY;
      c->Background.gray = level >= 128 ? 1 : 0;
      break;
    case TPngLayout::Grey8:
    case TPngLayout::Grey16:
      c->Depth = bps;
      c->ColorType = PNG_COLOR_TYPE_GRAY;
      c->Background.gray = static_cast<png_uint_16>(bps == 16 ? level * 257 : level);
      break;
    case TPngLayout::Palette:
      c->Depth = bps;
      c->ColorType = PNG_COLOR_TYPE_PALETTE;
      for (int i = 0; i < 256; ++i) c->Palette[i] = png_color{colors[i].r, colors[i].g, colors[i].b};
      c->PaletteCount = 256;
      c->Background.index = static_cast<png_byte>(std::clamp(quantizer->RGBToIndex(bg), 0, 255));
      break;
    case TPngLayout::PaletteAlpha:
      c->Depth = 8;
      c->ColorType = PNG_COLOR_TYPE_PALETTE;
      c->Palette[0] = png_color{bg.r, bg.g, bg.b};
      for (int i = 0; i < 255; ++i) c->Palette[i + 1] = png_color{colors[i].r, colors[i].g, colors[i].b};
      c->PaletteCount = 256;
      c->Trans[0] = 0;
      c->TransCount = 1;
      c->Background.index = static_cast<png_byte>(std::clamp(quantizer->RGBToIndex(bg) + 1, 0, 255));
      break;
    case TPngLayout::Rgb:
    case TPngLayout::Rgba:
      c->Depth = 8;
      c->ColorType = layout == TPngLayout::Rgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
      c->Background.red = bg.r;
      c->Background.green = bg.g;
      c->Background.blue = bg.b;
      c->Bgr = true;
      break;
  }

  // Text pairs: Latin-1 text as tEXt, anything else as iTXt.
  const size_t pairs = std::min(Params->PNG_TextKeys.size(), Params->PNG_TextValues.size());
  std::vector<std::string> keys(pairs), values(pairs);
  std::vector<png_text> texts(pairs);
  for (size_t i = 0; i < pairs; ++i) {
    if (!Utf8ToLatin1(Params->PNG_TextKeys[i], keys[i])) keys[i] = Params->PNG_TextKeys[i];
    const bool latin = Utf8ToLatin1(Params->PNG_TextValues[i], values[i]);
    if (!latin) values[i] = Params->PNG_TextValues[i];
    png_text& t = texts[i];
    std::memset(&t, 0, sizeof t);
    t.compression = latin ? PNG_TEXT_COMPRESSION_NONE : PNG_ITXT_COMPRESSION_NONE;
    t.key = keys[i].data();
    t.text = values[i].data();
    t.text_length = latin ? values[i].size() : 0;
    t.itxt_length = latin ? 0 : values[i].size();
  }
  c->Text = texts.data();
  c->TextCount = static_cast<int>(pairs);

  if (!StepWriteHeader(c.get())) throw EInvalidGraphic(kCreateError);

  const int passes = c->Passes;
  // Wide enough for any layout, also where it stands in for a row a pass skips.
  std::vector<uint8_t> row(size_t(w) * 4), alphaRow(alpha ? size_t(w) : 0);
  Progress.Count = 0;
  Progress.PerCentPerUnit = 100.0 / (double(h) * passes);
  for (int pass = 0; pass < passes && !aborting; ++pass) {
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* out = row.data();
      // libpng ignores the rows an Adam7 pass does not hold; those need no building.
      const uint8_t* line = passes == 1 || RowInPass(y, pass) ? src->Scanline(y) : nullptr;
      const auto* rgb = reinterpret_cast<const TRGB*>(line);
      if (line) switch (layout) {
        case TPngLayout::Grey1:
        case TPngLayout::Rgb: out = line; break;
        case TPngLayout::Grey8:
          if (src->PixelFormat() == px8g) out = line;
          else
            for (int32_t x = 0; x < w; ++x) row[x] = rgb[x].r;
          break;
        case TPngLayout::Grey16:
          if (src->PixelFormat() == px16g) {
            const auto* s = reinterpret_cast<const uint16_t*>(line);
            for (int32_t x = 0; x < w; ++x) {
              row[2 * x] = static_cast<uint8_t>(s[x] >> 8);
              row[2 * x + 1] = static_cast<uint8_t>(s[x] & 0xFF);
            }
          } else {
            for (int32_t x = 0; x < w; ++x) row[2 * x] = row[2 * x + 1] = rgb[x].r;
          }
          break;
        case TPngLayout::Palette:
          if (src->PixelFormat() == px8p) out = line;
          else
            for (int32_t x = 0; x < w; ++x) row[x] = static_cast<uint8_t>(quantizer->RGBToIndex(rgb[x]));
          break;
        case TPngLayout::PaletteAlpha:
          MaskRow(Mask, y, w, alphaRow.data());
          for (int32_t x = 0; x < w; ++x)
            row[x] = alphaRow[x] == 255 ? static_cast<uint8_t>(quantizer->RGBToIndex(rgb[x]) + 1) : 0;
          break;
        case TPngLayout::Rgba:
          MaskRow(Mask, y, w, alphaRow.data());
          for (int32_t x = 0; x < w; ++x) {
            row[4 * x] = rgb[x].b;
            row[4 * x + 1] = rgb[x].g;
            row[4 * x + 2] = rgb[x].r;
            row[4 * x + 3] = alphaRow[x];
          }
          break;
      }
      if (!StepWriteRow(c.get(), out)) throw EInvalidGraphic(kCreateError);
      ++Progress.Count;
      if (Progress.Event) Progress.Event(Progress.Sender, PerCent(Progress));
      if (aborting) break;
    }
  }
  if (!aborting && !StepWriteEnd(c.get())) throw EInvalidGraphic(kCreateError);
}

bool HasPngSignature(TStream* Stream) {
  png_byte sig[8] = {};
  const int32_t got = Stream->Read(sig, 8);
  if (got > 0) Stream->Seek(-got, soCurrent);
  return got >= 4 && png_sig_cmp(sig, 0, 4) == 0;
}

void RegisterPngCodec() {
  TPXFormatRow row;
  row.Decode = pxcodecs_detail::DecodeWithoutMask<DecodePngStream>;
  row.Encode = [](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXMask* AlphaMask,
                  TPXProgressRecord& Progress) { EncodePngStream(Stream, Bitmap, Params, Progress, AlphaMask); };
  row.Signature = HasPngSignature;
  row.Rules.AlphaMaskOnSave = true;
  RegisterFormatRow(pxftPNG, std::move(row));
}
