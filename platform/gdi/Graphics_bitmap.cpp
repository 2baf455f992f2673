// TBitmap over a DIB section, its canvas, pixel format conversion, transparency and BMP files;
// TGraphic's common parts and TransparentStretchBlt.
#include <algorithm>
#include <cstring>

#include "platform/gdi/GdiInternal.h"
#include "platform/gdi/Graphics.h"
#include "platform/gdi/Graphics_internal.h"

// ---------------------------------------------------------------------------------------------
// Helpers shared with the icon code

TSurface* BitmapSurface(HBITMAP bm) {
  auto b = GdiLookupAs<GdiBitmap>(bm, GdiKind::Bitmap);
  return b ? b->surface.get() : nullptr;
}

bool IsDIBSection(HBITMAP bm) {
  auto b = GdiLookupAs<GdiBitmap>(bm, GdiKind::Bitmap);
  return b && b->dibSection;
}

int32_t PixelFormatBits(TPixelFormat f) {
  switch (f) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

std::vector<TRGBQuad> DefaultColorTable(int32_t bitCount) {
  static constexpr uint8_t kVga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                          {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                          {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                          {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  std::vector<TRGBQuad> t;
  if (bitCount == 1) return {{0, 0, 0, 0}, {255, 255, 255, 0}};
  if (bitCount != 4 && bitCount != 8) return t;
  for (const auto& c : kVga) t.push_back({c[2], c[1], c[0], 0});
  if (bitCount == 4) return t;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        t.push_back({static_cast<uint8_t>(b * 51), static_cast<uint8_t>(g * 51), static_cast<uint8_t>(r * 51), 0});
  for (int i = 0; i < 24; ++i) {
    const auto v = static_cast<uint8_t>((i + 1) * 255 / 25);
    t.push_back({v, v, v, 0});
  }
  return t;
}

HBITMAP CreateDIBSectionOf(int32_t width, int32_t height, int32_t bitCount, bool is565,
                           std::span<const TRGBQuad> colors, TSurface** surface) {
  if (surface) *surface = nullptr;
  const int32_t bpp = bitCount == 15 ? 16 : bitCount;
  std::vector<uint32_t> buf((sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)) / 4, 0);
  auto* bmi = reinterpret_cast<BITMAPINFO*>(buf.data());
  bmi->bmiHeader = BITMAPINFOHEADER{};
  bmi->bmiHeader.biWidth = width;
  bmi->bmiHeader.biHeight = height;
  bmi->bmiHeader.biPlanes = 1;
  bmi->bmiHeader.biBitCount = static_cast<WORD>(bpp);
  if (bpp == 16 && is565) {
    bmi->bmiHeader.biCompression = BI_BITFIELDS;
    const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(bmi->bmiColors, masks, sizeof masks);
  } else if (bpp <= 8) {
    const size_t n = std::min(colors.size(), size_t{1} << bpp);
    bmi->bmiHeader.biClrUsed = static_cast<DWORD>(n);
    if (n) std::memcpy(bmi->bmiColors, colors.data(), n * sizeof(RGBQUAD));
  }
  void* bits = nullptr;
  HBITMAP h = CreateDIBSection(nullptr, bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!h) return nullptr;
  TSurface* s = BitmapSurface(h);
  if (!s) {
    DeleteObject(h);
    return nullptr;
  }
  if (bpp == 16) s->SetIs565(is565);
  if (surface) *surface = s;
  return h;
}

HBITMAP CreateDIBFromImage(const TDibImage& img, TSurface** surface) {
  TSurface* s = nullptr;
  HBITMAP h = CreateDIBSectionOf(img.Width, img.Height, img.BitCount, img.Is565, img.Colors, &s);
  if (!h) return nullptr;
  const size_t rb = static_cast<size_t>(img.RowBytes());
  if (img.Bits.size() >= rb * static_cast<size_t>(img.Height))
    for (int32_t y = 0; y < img.Height; ++y) std::memcpy(s->Row(y), img.Row(y), rb);
  if (surface) *surface = s;
  return h;
}

TDibImage ImageFromSurface(const TSurface& s) {
  TDibImage img;
  img.Width = s.Width();
  img.Height = s.Height();
  img.BitCount = s.BitCount() == 15 ? 16 : s.BitCount();
  img.Is565 = s.BitCount() == 16 && s.Is565();
  if (img.BitCount <= 8) img.Colors = s.Palette();
  const size_t rb = static_cast<size_t>(img.RowBytes());
  img.Bits.resize(rb * static_cast<size_t>(img.Height));
  for (int32_t y = 0; y < img.Height; ++y) std::memcpy(img.Row(y), s.Row(y), rb);
  return img;
}

void ReadRowColors(const TSurface& s, int32_t y, uint32_t* colors) {
  const uint8_t* r = s.Row(y);
  const int32_t w = s.Width();
  switch (s.BitCount()) {
    case 24:
      for (int32_t x = 0; x < w; ++x) colors[x] = RGB(r[x * 3 + 2], r[x * 3 + 1], r[x * 3]);
      break;
    case 32:
      for (int32_t x = 0; x < w; ++x) colors[x] = RGB(r[x * 4 + 2], r[x * 4 + 1], r[x * 4]);
      break;
    default:
      for (int32_t x = 0; x < w; ++x) colors[x] = s.GetPixel(x, y);
      break;
  }
}

uint32_t TColorMatcher::Index(uint32_t color) {
  auto it = cache_.find(color);
  if (it != cache_.end()) return it->second;
  uint32_t best = 0;
  int64_t bestD = INT64_MAX;
  for (uint32_t i = 0; i < table_.size(); ++i) {
    const int64_t dr = int64_t(table_[i].rgbRed) - GetRValue(color);
    const int64_t dg = int64_t(table_[i].rgbGreen) - GetGValue(color);
    const int64_t db = int64_t(table_[i].rgbBlue) - GetBValue(color);
    const int64_t d = dr * dr + dg * dg + db * db;
    if (d < bestD) {
      bestD = d;
      best = i;
      if (d == 0) break;
    }
  }
  if (cache_.size() < 65536) cache_.emplace(color, best);
  return best;
}

void WriteRowColors(TSurface& s, int32_t y, const uint32_t* colors, TColorMatcher* matcher) {
  uint8_t* r = s.Row(y);
  const int32_t w = s.Width();
  switch (s.BitCount()) {
    case 1:
    case 4:
    case 8: {
      const int32_t bpp = s.BitCount();
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t i = matcher ? matcher->Index(colors[x]) : 0;
        if (bpp == 8) {
          r[x] = static_cast<uint8_t>(i);
        } else if (bpp == 4) {
          uint8_t& b = r[x >> 1];
          b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (i & 15)) : static_cast<uint8_t>((b & 0x0F) | (i << 4));
        } else {
          const auto m = static_cast<uint8_t>(0x80 >> (x & 7));
          r[x >> 3] = (i & 1) ? (r[x >> 3] | m) : (r[x >> 3] & ~m);
        }
      }
      break;
    }
    case 24:
      for (int32_t x = 0; x < w; ++x) {
        r[x * 3] = GetBValue(colors[x]);
        r[x * 3 + 1] = GetGValue(colors[x]);
        r[x * 3 + 2] = GetRValue(colors[x]);
      }
      break;
    case 32:
      for (int32_t x = 0; x < w; ++x) {
        r[x * 4] = GetBValue(colors[x]);
        r[x * 4 + 1] = GetGValue(colors[x]);
        r[x * 4 + 2] = GetRValue(colors[x]);
        r[x * 4 + 3] = 0;
      }
      break;
    default:
      for (int32_t x = 0; x < w; ++x) s.SetPixel(x, y, colors[x]);
      break;
  }
}

namespace {

// A temporary 32-bit DIB section in a memory DC.
struct TTempDIB {
  HBITMAP bm = nullptr;
  TSurface* s = nullptr;
  HDC dc = nullptr;
  HGDIOBJ old = nullptr;
  TTempDIB(int32_t w, int32_t h, int32_t bpp = 32) {
    const std::vector<TRGBQuad> mono = DefaultColorTable(1);
    bm = CreateDIBSectionOf(w, h, bpp, false, bpp == 1 ? std::span<const TRGBQuad>(mono) : std::span<const TRGBQuad>(), &s);
    if (!bm) throw EOutOfMemory("Out of memory");
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bm);
  }
  ~TTempDIB() {
    if (dc) {
      SelectObject(dc, old);
      DeleteDC(dc);
    }
    if (bm) DeleteObject(bm);
  }
  TTempDIB(const TTempDIB&) = delete;
  TTempDIB& operator=(const TTempDIB&) = delete;
};

// A monochrome bitmap selected into a memory DC for the time of a drawing call.
struct TSelectedBitmap {
  HDC dc = nullptr;
  HGDIOBJ old = nullptr;
  explicit TSelectedBitmap(HBITMAP bm) {
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bm);
  }
  ~TSelectedBitmap() {
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  TSelectedBitmap(const TSelectedBitmap&) = delete;
  TSelectedBitmap& operator=(const TSelectedBitmap&) = delete;
};

// Copies the overlapping top-left part of two surfaces of the same format.
void CopySameFormat(const TSurface& src, TSurface& dst) {
  const int32_t w = std::min(src.Width(), dst.Width()), h = std::min(src.Height(), dst.Height());
  const int32_t bpp = src.BitCount() == 15 ? 16 : src.BitCount();
  const int64_t bits = int64_t(w) * bpp;
  const size_t whole = static_cast<size_t>(bits / 8);
  const int32_t rest = static_cast<int32_t>(bits % 8);  // sub-byte formats: the last pixels' bits
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(dst.Row(y), src.Row(y), whole);
    if (rest) {
      const auto keep = static_cast<uint8_t>(0xFF >> rest);
      uint8_t& d = dst.Row(y)[whole];
      d = static_cast<uint8_t>((d & keep) | (src.Row(y)[whole] & ~keep));
    }
  }
}

void FillSurface(TSurface& s, COLORREF color) {
  TColorMatcher m(s.Palette());
  std::vector<uint32_t> row(static_cast<size_t>(s.Width()), color & 0x00FFFFFF);
  for (int32_t y = 0; y < s.Height(); ++y) WriteRowColors(s, y, row.data(), &m);
}

uint8_t Mul255(uint32_t a, uint32_t b) { return static_cast<uint8_t>((a * b + 127) / 255); }

}  // namespace

BOOL TransparentStretchBlt(HDC DstDC, int32_t DstX, int32_t DstY, int32_t DstW, int32_t DstH, HDC SrcDC,
                           int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH, HDC MaskDC, int32_t MaskX,
                           int32_t MaskY) {
  if (SrcW <= 0 || SrcH <= 0) return 0;
  // The source with its masked pixels black, then dst AND mask, then XOR that source.
  TTempDIB mem(SrcW, SrcH);
  TransparentMaskSource(mem.dc, SrcDC, SrcX, SrcY, SrcW, SrcH, MaskDC, MaskX, MaskY);
  return TransparentStretchBltMasked(DstDC, DstX, DstY, DstW, DstH, mem.dc, SrcW, SrcH, MaskDC, MaskX, MaskY);
}

BOOL TransparentMaskSource(HDC Dest, HDC SrcDC, int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH, HDC MaskDC,
                           int32_t MaskX, int32_t MaskY) {
  if (SrcW <= 0 || SrcH <= 0) return 0;
  // The mask's 1 bits white, its 0 bits black, whatever colours Dest holds.
  const COLORREF text = SetTextColor(Dest, 0), back = SetBkColor(Dest, 0xFFFFFF);
  BOOL ok = BitBlt(Dest, 0, 0, SrcW, SrcH, MaskDC, MaskX, MaskY, SRCCOPY);
  ok = BitBlt(Dest, 0, 0, SrcW, SrcH, SrcDC, SrcX, SrcY, SRCERASE) && ok;
  SetTextColor(Dest, text);
  SetBkColor(Dest, back);
  return ok;
}

BOOL TransparentStretchBltMasked(HDC DstDC, int32_t DstX, int32_t DstY, int32_t DstW, int32_t DstH, HDC MaskedDC,
                                 int32_t SrcW, int32_t SrcH, HDC MaskDC, int32_t MaskX, int32_t MaskY) {
  if (SrcW <= 0 || SrcH <= 0) return 0;
  if (DstW == SrcW && DstH == SrcH && GdiMaskedDraw32(DstDC, DstX, DstY, DstW, DstH, MaskedDC, MaskDC, MaskX, MaskY))
    return 1;
  const COLORREF text = SetTextColor(DstDC, 0);
  const COLORREF back = SetBkColor(DstDC, 0xFFFFFF);
  BOOL ok = StretchBlt(DstDC, DstX, DstY, DstW, DstH, MaskDC, MaskX, MaskY, SrcW, SrcH, SRCAND);
  ok = StretchBlt(DstDC, DstX, DstY, DstW, DstH, MaskedDC, 0, 0, SrcW, SrcH, SRCINVERT) && ok;
  SetTextColor(DstDC, text);
  SetBkColor(DstDC, back);
  return ok;
}

// ---------------------------------------------------------------------------------------------
// TGraphic

PX_CLASS_INFO(TGraphic, TPersistent)

void TGraphic::SetSize(int32_t AWidth, int32_t AHeight) {
  SetWidth(AWidth);
  SetHeight(AHeight);
}

void TGraphic::SetTransparent(bool Value) {
  if (Value == transparent_) return;
  transparent_ = Value;
  Changed(this);
}

void TGraphic::SetModified(bool Value) {
  if (Value) Changed(this);
  else modified_ = false;
}

void TGraphic::Changed(TObject*) {
  modified_ = true;
  if (on_change_) on_change_(this);
}

void TGraphic::Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow, const TRect& R,
                        const std::string& Msg) {
  if (on_progress_) on_progress_(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

void TGraphic::DrawTransparent(TCanvas* ACanvas, const TRect& Rect, uint8_t Opacity) {
  // The picture drawn on black and on white gives its colours premultiplied and its coverage,
  // which are then blended with the constant opacity.
  const int32_t w = Width(), h = Height();
  if (!ACanvas || Empty() || w <= 0 || h <= 0) return;
  TBitmap onBlack, onWhite;
  for (TBitmap* b : {&onBlack, &onWhite}) {
    b->SetPixelFormat(pf32bit);
    b->SetSize(w, h);
    b->Canvas()->Brush()->SetColor(b == &onBlack ? clBlack : clWhite);
    b->Canvas()->FillRect(TRect(0, 0, w, h));
    b->Canvas()->Draw(0, 0, this);
  }
  TTempDIB pre(w, h);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* k = static_cast<const uint8_t*>(onBlack.ScanLine(y));
    const uint8_t* wh = static_cast<const uint8_t*>(onWhite.ScanLine(y));
    uint8_t* q = pre.s->Row(y);
    for (int32_t x = 0; x < w * 4; x += 4) {
      const int32_t spread = (wh[x] - k[x] + wh[x + 1] - k[x + 1] + wh[x + 2] - k[x + 2]) / 3;
      const auto a = static_cast<uint8_t>(std::clamp(255 - spread, 0, 255));
      for (int c = 0; c < 3; ++c) q[x + c] = std::min(k[x + c], a);
      q[x + 3] = a;
    }
  }
  BLENDFUNCTION bf;
  bf.SourceConstantAlpha = Opacity;
  bf.AlphaFormat = AC_SRC_ALPHA;
  AlphaBlend(ACanvas->Handle(), Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), pre.dc, 0, 0, w, h, bf);
}

void TGraphic::LoadFromFile(std::string_view FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TGraphic::SaveToFile(std::string_view FileName) {
  TMemoryStream stream;
  SaveToStream(&stream);
  SaveBytesToFile(FileName, stream.Memory(), stream.Size());
}

// ---------------------------------------------------------------------------------------------
// TBitmap's canvas: a memory DC holding the DIB section, made when first needed and dropped
// whenever the bitmap's handle changes.

class TBitmap::TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* bitmap) : bitmap_(bitmap) {}
  ~TBitmapCanvas() override { FreeContext(); }

  void FreeContext() {
    HDC dc = HandleAllocated() ? TCanvas::Handle() : nullptr;
    if (!dc) return;
    Lock();
    SetHandle(nullptr);
    if (old_bitmap_) SelectObject(dc, old_bitmap_);
    if (old_palette_) SelectPalette(dc, old_palette_, 1);
    old_bitmap_ = nullptr;
    old_palette_ = nullptr;
    DeleteDC(dc);
    Unlock();
  }

 protected:
  void CreateHandle() override {
    bitmap_->HandleNeeded();
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return;
    if (bitmap_->handle_) old_bitmap_ = SelectObject(dc, bitmap_->handle_);
    SetHandle(dc);
  }

 private:
  TBitmap* bitmap_;  // the owner
  HGDIOBJ old_bitmap_ = nullptr;
  HPALETTE old_palette_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// TBitmap

PX_CLASS_INFO(TBitmap, TGraphic)

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int32_t AWidth, int32_t AHeight) { SetSize(AWidth, AHeight); }

TBitmap::~TBitmap() {
  canvas_.reset();
  FreeHandle();
  FreeMask();
  if (palette_) DeleteObject(palette_);
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) {
    canvas_ = std::make_unique<TBitmapCanvas>(this);
    canvas_->SetOnChange(TNotifyEvent(this, &TBitmap::Changed));
  }
  return canvas_.get();
}

void TBitmap::FreeContext() {
  if (canvas_) static_cast<TBitmapCanvas*>(canvas_.get())->FreeContext();
}

void TBitmap::FreeHandle() {
  if (handle_) {
    FreeContext();
    DeleteObject(handle_);
  }
  handle_ = nullptr;
  surface_ = nullptr;
}

void TBitmap::FreeMask() {
  if (mask_) DeleteObject(mask_);
  mask_ = nullptr;
  mask_valid_ = false;
}

void TBitmap::HandleNeeded() {
  if (handle_ || Empty()) return;
  TSurface* s = nullptr;
  const int32_t bpp = PixelFormatBits(pixel_format_);
  if (bpp <= 8 && colors_.empty()) colors_ = DefaultColorTable(bpp);
  HBITMAP h = CreateDIBSectionOf(width_, height_, bpp, pixel_format_ == pf16bit, colors_, &s);
  if (!h) throw EOutOfMemory("Out of system resources");
  const size_t rb = static_cast<size_t>(SurfaceRowBytes(width_, bpp));
  if (dormant_.size() == rb * static_cast<size_t>(height_))
    for (int32_t y = 0; y < height_; ++y) std::memcpy(s->Row(y), dormant_.data() + rb * y, rb);
  dormant_.clear();
  dormant_.shrink_to_fit();
  handle_ = h;
  surface_ = s;
  blank_ = false;
}

TSurface* TBitmap::Surface() {
  HandleNeeded();
  return surface_;
}

void TBitmap::NewImage(int32_t AWidth, int32_t AHeight, TPixelFormat Format, std::vector<TRGBQuad> Colors,
                       bool KeepContent) {
  if (AWidth < 0) AWidth = 0;
  if (AHeight < 0) AHeight = 0;
  const int32_t bpp = PixelFormatBits(Format);
  if (bpp <= 8 && Colors.empty()) Colors = DefaultColorTable(bpp);
  if (bpp > 8) Colors.clear();
  TSurface* old = KeepContent ? Surface() : nullptr;
  HBITMAP h = nullptr;
  TSurface* s = nullptr;
  if (AWidth > 0 && AHeight > 0) {
    h = CreateDIBSectionOf(AWidth, AHeight, bpp, Format == pf16bit, Colors, &s);
    if (!h) throw EOutOfMemory("Out of system resources");
  }
  if (s) {
    // New pixels take the canvas's brush, as when the class library copies a bitmap to resize it.
    const bool grows = !old || AWidth > old->Width() || AHeight > old->Height();
    if (grows && canvas_ && canvas_->Brush()->Style() == bsSolid)
      FillSurface(*s, static_cast<COLORREF>(ColorToRGB(canvas_->Brush()->Color())));
    if (old) {
      const bool sameFormat = old->BitCount() == s->BitCount() && (old->BitCount() != 16 || old->Is565() == s->Is565()) &&
                              (old->BitCount() > 8 || old->Palette() == s->Palette());
      if (sameFormat) {
        CopySameFormat(*old, *s);
      } else {
        TColorMatcher m(s->Palette());
        const int32_t w = std::min(old->Width(), s->Width()), hh = std::min(old->Height(), s->Height());
        std::vector<uint32_t> row(static_cast<size_t>(std::max(old->Width(), s->Width())));
        std::vector<uint32_t> out(static_cast<size_t>(s->Width()));
        for (int32_t y = 0; y < hh; ++y) {
          ReadRowColors(*old, y, row.data());
          ReadRowColors(*s, y, out.data());
          std::copy_n(row.begin(), w, out.begin());
          WriteRowColors(*s, y, out.data(), &m);
        }
      }
    }
  }
  // A canvas made while the bitmap was empty holds the context's stock bitmap: it goes too.
  FreeContext();
  FreeHandle();
  FreeMask();
  if (palette_) DeleteObject(palette_);
  palette_ = nullptr;
  dormant_.clear();
  handle_ = h;
  surface_ = s;
  width_ = AWidth;
  height_ = AHeight;
  pixel_format_ = Format;
  colors_ = std::move(Colors);
  blank_ = false;
}

void TBitmap::ChangeImage() { Changed(this); }

void TBitmap::Changed(TObject* Sender) {
  mask_valid_ = false;
  TGraphic::Changed(Sender);
}

void TBitmap::Assign(TPersistent* Source) {
  if (!Source) {
    NewImage(0, 0, pixel_format_, {}, false);
    ChangeImage();
    return;
  }
  auto* src = dynamic_cast<TBitmap*>(Source);
  if (!src) {
    if (auto* g = dynamic_cast<TGraphic*>(Source)) {
      // Another kind of picture is drawn onto a new image of its size.
      NewImage(g->Width(), g->Height(), pixel_format_, {}, false);
      if (!Empty()) Canvas()->Draw(0, 0, g);
      ChangeImage();
      return;
    }
    TGraphic::Assign(Source);
    return;
  }
  if (src == this) return;
  TSurface* from = src->Surface();
  std::vector<TRGBQuad> colors = from && from->BitCount() <= 8 ? from->Palette() : src->colors_;
  NewImage(src->width_, src->height_, src->pixel_format_, colors, false);
  if (from && surface_) CopySameFormat(*from, *surface_);
  handle_type_ = src->handle_type_;
  transparent_mode_ = src->transparent_mode_;
  transparent_color_ = src->transparent_color_;
  alpha_format_ = src->alpha_format_;
  TGraphic::SetTransparent(src->Transparent());
  ChangeImage();
}

void TBitmap::SetSize(int32_t AWidth, int32_t AHeight) {
  if (AWidth < 0) AWidth = 0;
  if (AHeight < 0) AHeight = 0;
  if (AWidth == width_ && AHeight == height_) return;
  NewImage(AWidth, AHeight, pixel_format_, ColorTable(), true);
  ChangeImage();
}

HBITMAP TBitmap::Handle() {
  HandleNeeded();
  return handle_;
}

void TBitmap::SetHandle(HBITMAP Value) {
  if (Value == handle_) return;
  if (!Value) {
    NewImage(0, 0, pixel_format_, {}, false);
    ChangeImage();
    return;
  }
  TSurface* s = BitmapSurface(Value);
  if (!s) throw EInvalidGraphic("Invalid bitmap handle");
  FreeHandle();
  FreeMask();
  dormant_.clear();
  if (IsDIBSection(Value) && s->BitCount() != 15) {
    handle_ = Value;
    surface_ = s;
    width_ = s->Width();
    height_ = s->Height();
    TDibImage probe;
    probe.BitCount = s->BitCount();
    probe.Is565 = s->Is565();
    pixel_format_ = probe.Format();
    handle_type_ = bmDIB;
    colors_ = s->BitCount() <= 8 ? s->Palette() : std::vector<TRGBQuad>{};
  } else {
    // A device bitmap: its pixels go into a DIB section (1 bit stays monochrome).
    const bool mono = s->BitCount() == 1;
    NewImage(s->Width(), s->Height(), mono ? pf1bit : pfDevice, {}, false);
    if (surface_) {
      TColorMatcher m(surface_->Palette());
      std::vector<uint32_t> row(static_cast<size_t>(s->Width()));
      for (int32_t y = 0; y < s->Height(); ++y) {
        ReadRowColors(*s, y, row.data());
        WriteRowColors(*surface_, y, row.data(), &m);
      }
    }
    handle_type_ = mono ? bmDIB : bmDDB;
    DeleteObject(Value);
  }
  ChangeImage();
}

HBITMAP TBitmap::ReleaseHandle() {
  HandleNeeded();
  FreeContext();
  HBITMAP h = handle_;
  if (surface_ && surface_->BitCount() <= 8) colors_ = surface_->Palette();
  handle_ = nullptr;
  surface_ = nullptr;
  dormant_.clear();
  blank_ = true;
  return h;
}

void TBitmap::SetHandleType(TBitmapHandleType Value) {
  if (Value == handle_type_) return;
  if (Value == bmDDB) {
    if (pixel_format_ != pf1bit) SetPixelFormat(pfDevice);
    handle_type_ = bmDDB;
  } else {
    handle_type_ = bmDIB;
    if (pixel_format_ == pfDevice) pixel_format_ = pf32bit;
  }
}

TPixelFormat TBitmap::PixelFormat() const { return pixel_format_; }

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == pfCustom) throw EInvalidGraphic("Invalid pixel format");
  if (Value != pixel_format_) {
    const int32_t oldBits = PixelFormatBits(pixel_format_), newBits = PixelFormatBits(Value);
    if (Empty()) {
      pixel_format_ = Value;
      colors_ = newBits <= 8 ? DefaultColorTable(newBits) : std::vector<TRGBQuad>{};
    } else if (oldBits == 32 && newBits == 32) {
      pixel_format_ = Value;  // pfDevice and pf32bit share the storage
    } else {
      NewImage(width_, height_, Value, {}, true);
    }
  }
  handle_type_ = Value == pfDevice ? bmDDB : bmDIB;
  ChangeImage();
}

void TBitmap::SetMonochrome(bool Value) {
  if (Value == Monochrome()) return;
  SetPixelFormat(Value ? pf1bit : pfDevice);
}

void* TBitmap::ScanLine(int32_t Row) {
  void* row = const_cast<void*>(ScanLineForRead(Row));
  mask_valid_ = false;  // the caller may write
  return row;
}

const void* TBitmap::ScanLineForRead(int32_t Row) {
  if (Row < 0 || Row >= height_ || Empty()) throw EInvalidGraphicOperation("Scan line index out of range");
  return Surface()->Row(Row);
}

std::vector<TRGBQuad> TBitmap::ColorTable() {
  if (PixelFormatBits(pixel_format_) > 8) return {};
  if (surface_) return surface_->Palette();
  return colors_;
}

void TBitmap::SetColorTable(std::span<const TRGBQuad> Colors) {
  const int32_t bpp = PixelFormatBits(pixel_format_);
  if (bpp > 8) return;
  std::vector<TRGBQuad> t(Colors.begin(), Colors.begin() + std::min(Colors.size(), size_t{1} << bpp));
  if (palette_) DeleteObject(palette_);
  palette_ = nullptr;
  colors_ = t;
  if (surface_) {
    t.resize(size_t{1} << bpp);
    surface_->Palette() = t;
  }
  ChangeImage();
}

HPALETTE TBitmap::Palette() {
  if (palette_) return palette_;
  const std::vector<TRGBQuad> table = ColorTable();
  if (table.empty()) return nullptr;
  std::vector<uint8_t> buf(sizeof(LOGPALETTE) + table.size() * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<WORD>(table.size());
  for (size_t i = 0; i < table.size(); ++i)
    lp->palPalEntry[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
  palette_ = CreatePalette(lp);
  return palette_;
}

void TBitmap::SetPalette(HPALETTE Value) {
  if (!Value || Value == palette_) return;
  const UINT n = GetPaletteEntries(Value, 0, 0, nullptr);
  std::vector<PALETTEENTRY> entries(n);
  if (n) GetPaletteEntries(Value, 0, n, entries.data());
  std::vector<TRGBQuad> table;
  for (const auto& e : entries) table.push_back({e.peBlue, e.peGreen, e.peRed, 0});
  SetColorTable(table);
  if (palette_) DeleteObject(palette_);
  palette_ = Value;
}

HPALETTE TBitmap::ReleasePalette() {
  HPALETTE p = Palette();
  palette_ = nullptr;
  return p;
}

TColor TBitmap::TransparentColor() {
  if (transparent_color_ != clDefault) return ColorToRGB(transparent_color_);
  if (Monochrome()) return clWhite;
  TSurface* s = Surface();
  if (!s) return clNone;
  return static_cast<TColor>(s->GetPixel(0, height_ - 1) & 0x00FFFFFF);
}

void TBitmap::SetTransparentColor(TColor Value) {
  if (Value == transparent_color_) return;
  transparent_color_ = Value;
  if (Value != clDefault) transparent_mode_ = tmFixed;
  mask_valid_ = false;
  ChangeImage();
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
  if (Value == transparent_mode_) return;
  if (Value == tmAuto) {
    transparent_color_ = clDefault;
  } else if (transparent_color_ == clDefault) {
    transparent_color_ = TransparentColor();
  }
  transparent_mode_ = Value;
  mask_valid_ = false;
  ChangeImage();
}

void TBitmap::SetAlphaFormat(TAlphaFormat Value) {
  if (Value == alpha_format_) return;
  const TAlphaFormat old = alpha_format_;
  alpha_format_ = Value;
  TSurface* s = PixelFormatBits(pixel_format_) == 32 ? Surface() : nullptr;
  if (s && s->BitCount() == 32 && old != afIgnored && Value != afIgnored) {
    for (int32_t y = 0; y < s->Height(); ++y) {
      uint8_t* p = s->Row(y);
      for (int32_t x = 0; x < s->Width(); ++x, p += 4) {
        const uint32_t a = p[3];
        for (int c = 0; c < 3; ++c) {
          if (Value == afPremultiplied) p[c] = Mul255(p[c], a);
          else if (a) p[c] = static_cast<uint8_t>(std::min<uint32_t>(255, (p[c] * 255u + a / 2) / a));
        }
      }
    }
  }
  ChangeImage();
}

HBITMAP TBitmap::MaskHandle() {
  if (mask_ && mask_valid_) return mask_;
  if (mask_) DeleteObject(mask_);
  mask_ = nullptr;
  TSurface* s = Surface();
  if (!s) return nullptr;
  const uint32_t key = static_cast<uint32_t>(TransparentColor()) & 0x00FFFFFF;
  const int32_t rb = ((width_ + 15) / 16) * 2;  // device bitmap rows: 2-byte aligned
  std::vector<uint8_t> bits(static_cast<size_t>(rb) * height_, 0);
  std::vector<uint32_t> row(static_cast<size_t>(width_));
  for (int32_t y = 0; y < height_; ++y) {
    ReadRowColors(*s, y, row.data());
    for (int32_t x = 0; x < width_; ++x)
      if (row[x] == key) bits[static_cast<size_t>(rb) * y + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }
  mask_ = CreateBitmap(width_, height_, 1, 1, bits.data());
  mask_valid_ = mask_ != nullptr;
  return mask_;
}

HBITMAP TBitmap::ReleaseMaskHandle() {
  HBITMAP m = MaskHandle();
  mask_ = nullptr;
  mask_valid_ = false;
  return m;
}

void TBitmap::Mask(TColor ATransparentColor) {
  TSurface* s = Surface();
  if (!s) return;
  const uint32_t key = static_cast<uint32_t>(ColorToRGB(ATransparentColor)) & 0x00FFFFFF;
  TDibImage img;
  img.Width = width_;
  img.Height = height_;
  img.BitCount = 1;
  img.Colors = DefaultColorTable(1);
  img.Bits.assign(static_cast<size_t>(img.RowBytes()) * height_, 0);
  std::vector<uint32_t> row(static_cast<size_t>(width_));
  for (int32_t y = 0; y < height_; ++y) {
    ReadRowColors(*s, y, row.data());
    for (int32_t x = 0; x < width_; ++x)
      if (row[x] == key) img.Row(y)[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }
  NewImage(width_, height_, pf1bit, img.Colors, false);
  for (int32_t y = 0; y < height_; ++y) std::memcpy(surface_->Row(y), img.Row(y), static_cast<size_t>(img.RowBytes()));
  handle_type_ = bmDIB;
  ChangeImage();
}

void TBitmap::Dormant() {
  if (!handle_) return;
  TDibImage img = ImageFromSurface(*surface_);
  if (img.BitCount <= 8) colors_ = img.Colors;
  FreeHandle();
  dormant_ = std::move(img.Bits);
}

void TBitmap::FreeImage() {
  if (handle_) dormant_.clear();
}

bool TBitmap::CanLoadFromStream(TStream* Stream) {
  if (!Stream) return false;
  const int64_t pos = Stream->Position();
  uint8_t sig[2] = {0, 0};
  const int32_t n = Stream->Read(sig, 2);
  Stream->SetPosition(pos);
  return n == 2 && sig[0] == 'B' && sig[1] == 'M';
}

namespace {

[[noreturn]] void InvalidBitmap() { throw EInvalidGraphic("Bitmap image is not valid"); }

std::vector<uint8_t> ReadRest(TStream* Stream, int64_t* start) {
  *start = Stream->Position();
  const int64_t n = Stream->Size() - *start;
  if (n <= 0 || n > (int64_t{1} << 31)) return {};
  std::vector<uint8_t> buf(static_cast<size_t>(n));
  Stream->ReadBuffer(buf.data(), n);
  return buf;
}

}  // namespace

void TBitmap::LoadFromStream(TStream* Stream) {
  if (!Stream) InvalidBitmap();
  int64_t start = 0;
  const std::vector<uint8_t> data = ReadRest(Stream, &start);
  TDibImage img;
  size_t used = 0;
  Progress(this, psStarting, 0, false, {}, "");
  if (data.empty() || !DecodeBMPFile(data.data(), data.size(), &img, &used)) {
    Stream->SetPosition(start);
    InvalidBitmap();
  }
  Stream->SetPosition(start + static_cast<int64_t>(used));
  NewImage(img.Width, img.Height, img.Format(), img.Colors, false);
  for (int32_t y = 0; y < img.Height; ++y)
    std::memcpy(surface_->Row(y), img.Row(y), static_cast<size_t>(img.RowBytes()));
  handle_type_ = bmDIB;
  Progress(this, psEnding, 100, false, {}, "");
  ChangeImage();
}

void TBitmap::SaveToStream(TStream* Stream) {
  if (!Stream) return;
  TSurface* s = Surface();
  if (!s) return;
  const std::vector<uint8_t> data = EncodeBMPFile(ImageFromSurface(*s));
  Stream->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

void TBitmap::LoadFromResourceName(uintptr_t Instance, std::string_view ResName) {
  TResourceStream rs(Instance, ResName, RT_BITMAP);
  const auto* p = static_cast<const uint8_t*>(rs.Memory());
  const size_t n = static_cast<size_t>(rs.Size());
  TDibImage img;
  const bool ok = n >= 2 && p[0] == 'B' && p[1] == 'M' ? DecodeBMPFile(p, n, &img, nullptr)
                                                       : DecodePackedDIB(p, n, 0, &img, false, nullptr, nullptr);
  if (!ok) InvalidBitmap();
  NewImage(img.Width, img.Height, img.Format(), img.Colors, false);
  for (int32_t y = 0; y < img.Height; ++y)
    std::memcpy(surface_->Row(y), img.Row(y), static_cast<size_t>(img.RowBytes()));
  handle_type_ = bmDIB;
  ChangeImage();
}

void TBitmap::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (!ACanvas || Empty()) return;
  HDC dst = ACanvas->Handle();
  TCanvas* own = Canvas();
  own->Lock();
  try {
    HDC src = own->Handle();
    const int32_t w = width_, h = height_;
    if (Transparent()) {
      HBITMAP m = MaskHandle();
      TSelectedBitmap mask(m);
      TransparentStretchBlt(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, w, h, mask.dc, 0, 0);
    } else if (alpha_format_ != afIgnored && surface_ && surface_->BitCount() == 32) {
      BLENDFUNCTION bf;
      bf.AlphaFormat = AC_SRC_ALPHA;
      if (alpha_format_ == afPremultiplied) {
        AlphaBlend(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, w, h, bf);
      } else {
        TTempDIB pre(w, h);
        for (int32_t y = 0; y < h; ++y) {
          const uint8_t* p = surface_->Row(y);
          uint8_t* q = pre.s->Row(y);
          for (int32_t x = 0; x < w * 4; x += 4) {
            const uint32_t a = p[x + 3];
            q[x] = Mul255(p[x], a);
            q[x + 1] = Mul255(p[x + 1], a);
            q[x + 2] = Mul255(p[x + 2], a);
            q[x + 3] = static_cast<uint8_t>(a);
          }
        }
        AlphaBlend(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), pre.dc, 0, 0, w, h, bf);
      }
    } else {
      const int32_t oldMode = Monochrome() ? 0 : SetStretchBltMode(dst, COLORONCOLOR);
      StretchBlt(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, w, h,
                 static_cast<DWORD>(ACanvas->CopyMode()));
      if (oldMode) SetStretchBltMode(dst, oldMode);
    }
  } catch (...) {
    own->Unlock();
    throw;
  }
  own->Unlock();
}

void TBitmap::DrawTransparent(TCanvas* ACanvas, const TRect& Rect, uint8_t Opacity) {
  if (!ACanvas || Empty()) return;
  TSurface* s = Surface();
  const int32_t w = width_, h = height_;
  // A premultiplied 32-bit copy: the transparent colour (or the alpha channel) gives the alpha.
  TTempDIB pre(w, h);
  const bool keyed = Transparent();
  const uint32_t key = keyed ? static_cast<uint32_t>(TransparentColor()) & 0x00FFFFFF : 0;
  const bool alpha = !keyed && alpha_format_ != afIgnored && s->BitCount() == 32;
  std::vector<uint32_t> row(static_cast<size_t>(w));
  for (int32_t y = 0; y < h; ++y) {
    ReadRowColors(*s, y, row.data());
    const uint8_t* p = s->Row(y);
    uint8_t* q = pre.s->Row(y);
    for (int32_t x = 0; x < w; ++x, q += 4) {
      uint32_t a = 255;
      if (keyed) a = row[x] == key ? 0 : 255;
      else if (alpha) a = p[x * 4 + 3];
      const bool pre_mul = alpha && alpha_format_ == afPremultiplied;
      q[0] = pre_mul ? GetBValue(row[x]) : Mul255(GetBValue(row[x]), a);
      q[1] = pre_mul ? GetGValue(row[x]) : Mul255(GetGValue(row[x]), a);
      q[2] = pre_mul ? GetRValue(row[x]) : Mul255(GetRValue(row[x]), a);
      q[3] = static_cast<uint8_t>(a);
    }
  }
  BLENDFUNCTION bf;
  bf.SourceConstantAlpha = Opacity;
  bf.AlphaFormat = AC_SRC_ALPHA;
  AlphaBlend(ACanvas->Handle(), Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), pre.dc, 0, 0, w, h, bf);
}
