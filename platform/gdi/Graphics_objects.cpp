// Fonts, pens and brushes, their published properties, and the small conversions they share.
#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>

#include "platform/gdi/Graphics.h"
#include "platform/gdi/Graphics_internal.h"
#include "platform/gdi/WinGdi_text.h"

// ---------------------------------------------------------------------------------------------
// Type descriptions

PTypeInfo TypeInfo_TFontStyle() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TFontStyle", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"});
  return &info;
}
PTypeInfo TypeInfo_TFontStyles() {
  static const TTypeInfo info = TTypeInfo::Set("TFontStyles", TypeInfo_TFontStyle());
  return &info;
}
PTypeInfo TypeInfo_TFontPitch() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TFontPitch", {"fpDefault", "fpVariable", "fpFixed"});
  return &info;
}
PTypeInfo TypeInfo_TFontQuality() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TFontQuality", {"fqDefault", "fqDraft", "fqProof", "fqNonAntialiased", "fqAntialiased", "fqClearType",
                       "fqClearTypeNatural"});
  return &info;
}
PTypeInfo TypeInfo_TFontCharset() {
  static const TTypeInfo info = TTypeInfo::Ordinal(tkInteger, "TFontCharset", 0, 255);
  return &info;
}
PTypeInfo TypeInfo_TFontName() {
  static const TTypeInfo info = TTypeInfo::String("TFontName");
  return &info;
}
PTypeInfo TypeInfo_TPenStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TPenStyle", {"psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear", "psInsideFrame",
                    "psUserStyle", "psAlternate"});
  return &info;
}
PTypeInfo TypeInfo_TPenMode() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TPenMode", {"pmBlack", "pmWhite", "pmNop", "pmNot", "pmCopy", "pmNotCopy", "pmMergePenNot",
                   "pmMaskPenNot", "pmMergeNotPen", "pmMaskNotPen", "pmMerge", "pmNotMerge", "pmMask",
                   "pmNotMask", "pmXor", "pmNotXor"});
  return &info;
}
PTypeInfo TypeInfo_TBrushStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TBrushStyle", {"bsSolid", "bsClear", "bsHorizontal", "bsVertical", "bsFDiagonal", "bsBDiagonal",
                      "bsCross", "bsDiagCross"});
  return &info;
}

// ---------------------------------------------------------------------------------------------
// Conversions

int32_t PenModeToROP2(TPenMode Mode) {
  static constexpr int32_t kModes[] = {R2_BLACK,       R2_WHITE,       R2_NOP,        R2_NOT,
                                       R2_COPYPEN,     R2_NOTCOPYPEN,  R2_MERGEPENNOT, R2_MASKPENNOT,
                                       R2_MERGENOTPEN, R2_MASKNOTPEN,  R2_MERGEPEN,   R2_NOTMERGEPEN,
                                       R2_MASKPEN,     R2_NOTMASKPEN,  R2_XORPEN,     R2_NOTXORPEN};
  const auto i = static_cast<size_t>(Mode);
  return i < std::size(kModes) ? kModes[i] : R2_COPYPEN;
}

UINT TextFormatToFlags(TTextFormat Format) {
  static constexpr UINT kFlags[] = {
      DT_BOTTOM,        DT_CALCRECT,    DT_CENTER,      DT_EDITCONTROL,     DT_END_ELLIPSIS,
      DT_PATH_ELLIPSIS, DT_EXPANDTABS,  DT_EXTERNALLEADING, DT_LEFT,        DT_MODIFYSTRING,
      DT_NOCLIP,        DT_NOPREFIX,    DT_RIGHT,       DT_RTLREADING,      DT_SINGLELINE,
      DT_TOP,           DT_VCENTER,     DT_WORDBREAK,   DT_HIDEPREFIX,      DT_NOFULLWIDTHCHARBREAK,
      DT_PREFIXONLY,    DT_TABSTOP,     DT_WORD_ELLIPSIS, 0 /* tfComposited: no themes here */};
  UINT flags = 0;
  for (size_t i = 0; i < std::size(kFlags); ++i)
    if (Format.Contains(static_cast<TTextFormats>(i))) flags |= kFlags[i];
  return flags;
}

int32_t GraphicsMulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t p = static_cast<int64_t>(a) * b;
  const int64_t half = (c < 0 ? -static_cast<int64_t>(c) : c) / 2;
  int64_t q;
  if ((p < 0) != (c < 0)) q = (p - ((c < 0) ? -half : half)) / c;
  else q = (p + ((c < 0) ? -half : half)) / c;
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return static_cast<int32_t>(q);
}

int32_t MulDiv(int32_t Number, int32_t Numerator, int32_t Denominator) {
  return GraphicsMulDiv(Number, Numerator, Denominator);
}

// ---------------------------------------------------------------------------------------------
// TGraphicsObject

PX_CLASS_INFO(TGraphicsObject, TPersistent)

namespace {

// The handles of plain pens and brushes, shared by the objects that ask for the same one (as the
// class library's resource manager shares them): a canvas whose colours change back and forth
// selects kept handles instead of making and deleting one at every change. A handle no object
// uses any more is kept for later, up to kUnused of them; the longest unused goes first.
std::atomic<bool> g_shared_handles_gone{false};  // set when the list went at exit

class TSharedHandles {
 public:
  TSharedHandles() = default;
  TSharedHandles(const TSharedHandles&) = delete;
  TSharedHandles& operator=(const TSharedHandles&) = delete;
  // Objects destroyed later at exit keep their handles to the end.
  ~TSharedHandles() { g_shared_handles_gone = true; }

  HGDIOBJ Acquire(const std::array<int64_t, 4>& Key, const std::function<HGDIOBJ()>& Make) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = by_key_.find(Key);
    if (it == by_key_.end()) {
      HGDIOBJ h = Make();
      if (!h) return nullptr;
      it = by_key_.emplace(Key, Entry{h, 0, 0}).first;
      by_handle_[h] = Key;
    }
    Entry& e = it->second;
    if (e.Users++ == 0 && e.Unused) {
      unused_.erase(e.Unused);
      e.Unused = 0;
    }
    return e.Handle;
  }

  // False when the handle is not a shared one.
  bool Release(HGDIOBJ Handle) {
    HGDIOBJ doomed = nullptr;
    {
      std::lock_guard<std::mutex> guard(lock_);
      auto h = by_handle_.find(Handle);
      if (h == by_handle_.end()) return false;
      Entry& e = by_key_[h->second];
      if (e.Users > 0 && --e.Users == 0) {
        e.Unused = ++clock_;
        unused_[e.Unused] = h->second;
        if (unused_.size() > kUnused) {
          const auto oldest = unused_.begin();
          const auto k = by_key_.find(oldest->second);
          doomed = k->second.Handle;
          by_handle_.erase(doomed);
          by_key_.erase(k);
          unused_.erase(oldest);
        }
      }
    }
    // A handle still selected somewhere is refused by DeleteObject and lives on there.
    if (doomed) DeleteObject(doomed);
    return true;
  }

 private:
  static constexpr size_t kUnused = 64;
  struct Entry {
    HGDIOBJ Handle;
    int32_t Users;
    uint64_t Unused;  // when it became unused (0 while used): its place in unused_
  };
  std::mutex lock_;
  std::map<std::array<int64_t, 4>, Entry> by_key_;
  std::map<HGDIOBJ, std::array<int64_t, 4>> by_handle_;
  std::map<uint64_t, std::array<int64_t, 4>> unused_;  // oldest first
  uint64_t clock_ = 0;
};

TSharedHandles& SharedHandles() {
  static TSharedHandles handles;
  return handles;
}

// The handle made from Key (made by Make when no object holds one for it), shared with the other
// pens or brushes of the same Key.
HGDIOBJ SharedHandle(const std::array<int64_t, 4>& Key, const std::function<HGDIOBJ()>& Make) {
  if (g_shared_handles_gone) return Make();
  return SharedHandles().Acquire(Key, Make);
}

// An object's handle goes: a shared one back to the list, its own deleted.
void DropHandle(HGDIOBJ Handle) {
  if (g_shared_handles_gone || !SharedHandles().Release(Handle)) DeleteObject(Handle);
}

}  // namespace

TGraphicsObject::~TGraphicsObject() {
  if (handle_) DropHandle(handle_);
}

void TGraphicsObject::Changed() {
  if (on_change_) on_change_(this);
}

void TGraphicsObject::HandleChanged() {
  HGDIOBJ old = handle_;
  handle_ = nullptr;
  Changed();
  if (old) DropHandle(old);
}

// ---------------------------------------------------------------------------------------------
// TFont

PX_CLASS_INFO(TFont, TGraphicsObject, [](TPropertyBuilder<TFont>& b) {
  b.Int("Charset", &TFont::Charset, &TFont::SetCharset, TypeInfo_TFontCharset());
  b.Int("Color", &TFont::Color, &TFont::SetColor, TypeInfo_TColor());
  b.Int("Height", &TFont::Height, &TFont::SetHeight);
  b.Str("Name", &TFont::Name, &TFont::SetName);
  b.Int("Orientation", &TFont::Orientation, &TFont::SetOrientation).Default(0);
  b.Enum("Pitch", TypeInfo_TFontPitch(), &TFont::Pitch, &TFont::SetPitch).Default(fpDefault);
  b.Int("Size", &TFont::Size, &TFont::SetSize).Stored(false);
  b.Set("Style", TypeInfo_TFontStyles(), &TFont::Style, &TFont::SetStyle);
  b.Enum("Quality", TypeInfo_TFontQuality(), &TFont::Quality, &TFont::SetQuality).Default(fqDefault);
})

TFont::TFont() = default;

void TFont::Assign(TPersistent* Source) {
  if (auto* f = dynamic_cast<TFont*>(Source)) {
    if (f == this) return;
    name_ = f->name_;
    style_ = f->style_;
    charset_ = f->charset_;
    pitch_ = f->pitch_;
    quality_ = f->quality_;
    orientation_ = f->orientation_;
    color_ = f->color_;
    // Another resolution keeps the point size.
    height_ = pixels_per_inch_ == f->pixels_per_inch_ ? f->height_
                                                      : -GraphicsMulDiv(f->Size(), pixels_per_inch_, 72);
    HandleChanged();
    return;
  }
  TGraphicsObject::Assign(Source);
}

LOGFONT TFont::LogFont() const {
  LOGFONT lf;
  lf.lfHeight = height_;
  lf.lfWidth = 0;
  lf.lfEscapement = orientation_;
  lf.lfOrientation = orientation_;
  lf.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = style_.Contains(fsItalic) ? 1 : 0;
  lf.lfUnderline = style_.Contains(fsUnderline) ? 1 : 0;
  lf.lfStrikeOut = style_.Contains(fsStrikeOut) ? 1 : 0;
  lf.lfCharSet = charset_;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = static_cast<BYTE>(quality_);
  lf.lfPitchAndFamily = pitch_ == fpVariable ? VARIABLE_PITCH : pitch_ == fpFixed ? FIXED_PITCH : DEFAULT_PITCH;
  // Face names are cut at a character boundary to fit the field.
  const std::string face = SameText(name_, "Default") ? std::string("Tahoma") : name_;
  size_t n = std::min(face.size(), sizeof(lf.lfFaceName) - 1);
  while (n > 0 && n < face.size() && (static_cast<uint8_t>(face[n]) & 0xC0) == 0x80) --n;
  std::memcpy(lf.lfFaceName, face.data(), n);
  lf.lfFaceName[n] = 0;
  return lf;
}

HFONT TFont::Handle() {
  if (!handle_) {
    const LOGFONT lf = LogFont();
    handle_ = CreateFontIndirect(lf);
  }
  return static_cast<HFONT>(handle_);
}

void TFont::SetHandle(HFONT Value) {
  LOGFONT lf;
  if (!Value || GetObject(Value, sizeof lf, &lf) != static_cast<int32_t>(sizeof lf)) return;
  name_ = lf.lfFaceName;
  height_ = lf.lfHeight;
  TFontStyles s;
  if (lf.lfWeight >= FW_SEMIBOLD) s += fsBold;
  if (lf.lfItalic) s += fsItalic;
  if (lf.lfUnderline) s += fsUnderline;
  if (lf.lfStrikeOut) s += fsStrikeOut;
  style_ = s;
  charset_ = lf.lfCharSet;
  const BYTE pitch = lf.lfPitchAndFamily & 0x03;
  pitch_ = pitch == VARIABLE_PITCH ? fpVariable : pitch == FIXED_PITCH ? fpFixed : fpDefault;
  quality_ = lf.lfQuality <= CLEARTYPE_NATURAL_QUALITY ? static_cast<TFontQuality>(lf.lfQuality) : fqDefault;
  orientation_ = lf.lfEscapement;
  HandleChanged();
  handle_ = Value;
}

void TFont::SetName(const std::string& Value) {
  if (Value.empty() || Value == name_) return;
  name_ = Value;
  HandleChanged();
}

void TFont::SetHeight(int32_t Value) {
  if (Value == height_) return;
  height_ = Value;
  HandleChanged();
}

int32_t TFont::Size() const { return -GraphicsMulDiv(height_, 72, pixels_per_inch_); }

void TFont::SetSize(int32_t Value) { SetHeight(-GraphicsMulDiv(Value, pixels_per_inch_, 72)); }

void TFont::SetStyle(TFontStyles Value) {
  if (Value == style_) return;
  style_ = Value;
  HandleChanged();
}

void TFont::SetCharset(TFontCharset Value) {
  if (Value == charset_) return;
  charset_ = Value;
  HandleChanged();
}

void TFont::SetPitch(TFontPitch Value) {
  if (Value == pitch_) return;
  pitch_ = Value;
  HandleChanged();
}

void TFont::SetColor(TColor Value) {
  if (Value == color_) return;
  color_ = Value;  // not part of the GDI font: the canvas sets the text colour
  Changed();
}

void TFont::SetQuality(TFontQuality Value) {
  if (Value == quality_) return;
  quality_ = Value;
  HandleChanged();
}

void TFont::SetOrientation(int32_t Value) {
  if (Value == orientation_) return;
  orientation_ = Value;
  HandleChanged();
}

void TFont::SetPixelsPerInch(int32_t Value) {
  if (Value > 0) pixels_per_inch_ = Value;
}

// ---------------------------------------------------------------------------------------------
// TPen

PX_CLASS_INFO(TPen, TGraphicsObject, [](TPropertyBuilder<TPen>& b) {
  b.Int("Color", &TPen::Color, &TPen::SetColor, TypeInfo_TColor()).Default(clBlack);
  b.Enum("Mode", TypeInfo_TPenMode(), &TPen::Mode, &TPen::SetMode).Default(pmCopy);
  b.Enum("Style", TypeInfo_TPenStyle(), &TPen::Style, &TPen::SetStyle).Default(psSolid);
  b.Int("Width", &TPen::Width, &TPen::SetWidth).Default(1);
})

void TPen::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TPen*>(Source)) {
    if (p == this) return;
    color_ = p->color_;
    width_ = p->width_;
    style_ = p->style_;
    mode_ = p->mode_;
    HandleChanged();
    return;
  }
  TGraphicsObject::Assign(Source);
}

HPEN TPen::Handle() {
  if (!handle_) {
    const COLORREF color = static_cast<COLORREF>(ColorToRGB(color_)) & 0x00FFFFFF;
    switch (style_) {
      case psAlternate: {
        LOGBRUSH lb;
        lb.lbStyle = BS_SOLID;
        lb.lbColor = color;
        handle_ = ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, lb, 0, nullptr);
        break;
      }
      case psUserStyle: {
        // No dash array is published: one pen width on, one off.
        LOGBRUSH lb;
        lb.lbStyle = BS_SOLID;
        lb.lbColor = color;
        const DWORD w = static_cast<DWORD>(width_ < 1 ? 1 : width_);
        const DWORD dashes[2] = {w, w};
        handle_ = ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE | PS_ENDCAP_FLAT, w, lb, 2, dashes);
        break;
      }
      default: {
        static constexpr int32_t kStyles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT,
                                              PS_NULL,  PS_INSIDEFRAME};
        LOGPEN lp;
        lp.lopnStyle = static_cast<UINT>(kStyles[static_cast<size_t>(style_)]);
        lp.lopnWidth = {width_, 0};
        lp.lopnColor = color;
        handle_ = SharedHandle({1, lp.lopnStyle, width_, color}, [&lp] { return CreatePenIndirect(lp); });
        break;
      }
    }
  }
  return static_cast<HPEN>(handle_);
}

void TPen::SetColor(TColor Value) {
  if (Value == color_) return;
  color_ = Value;
  HandleChanged();
}

void TPen::SetWidth(int32_t Value) {
  if (Value < 0 || Value == width_) return;
  width_ = Value;
  HandleChanged();
}

void TPen::SetStyle(TPenStyle Value) {
  if (Value == style_) return;
  style_ = Value;
  HandleChanged();
}

void TPen::SetMode(TPenMode Value) {
  if (Value == mode_) return;
  mode_ = Value;
  Changed();
}

// ---------------------------------------------------------------------------------------------
// TBrush

PX_CLASS_INFO(TBrush, TGraphicsObject, [](TPropertyBuilder<TBrush>& b) {
  b.Int("Color", &TBrush::Color, &TBrush::SetColor, TypeInfo_TColor()).Default(clWhite);
  b.Enum("Style", TypeInfo_TBrushStyle(), &TBrush::Style, &TBrush::SetStyle).Default(bsSolid);
})

void TBrush::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBrush*>(Source)) {
    if (b == this) return;
    color_ = b->color_;
    style_ = b->style_;
    bitmap_ = b->bitmap_;
    HandleChanged();
    return;
  }
  TGraphicsObject::Assign(Source);
}

HBRUSH TBrush::Handle() {
  if (!handle_) {
    const COLORREF color = static_cast<COLORREF>(ColorToRGB(color_)) & 0x00FFFFFF;
    HBITMAP pattern = bitmap_ && !bitmap_->Empty() ? bitmap_->Handle() : nullptr;
    if (pattern) {
      handle_ = CreatePatternBrush(pattern);
    } else {
      LOGBRUSH lb;
      lb.lbColor = color;
      switch (style_) {
        case bsSolid: lb.lbStyle = BS_SOLID; break;
        case bsClear: lb.lbStyle = BS_NULL; break;
        default:
          lb.lbStyle = BS_HATCHED;
          lb.lbHatch = static_cast<ULONG_PTR>(static_cast<int32_t>(style_) - static_cast<int32_t>(bsHorizontal));
          break;
      }
      handle_ = SharedHandle({2, lb.lbStyle, static_cast<int64_t>(lb.lbStyle == BS_HATCHED ? lb.lbHatch : 0), color},
                             [&lb] { return CreateBrushIndirect(lb); });
    }
  }
  return static_cast<HBRUSH>(handle_);
}

void TBrush::SetColor(TColor Value) {
  if (Value == color_ && style_ != bsClear) return;
  color_ = Value;
  if (style_ == bsClear) style_ = bsSolid;
  HandleChanged();
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (Value == style_) return;
  style_ = Value;
  if (style_ == bsClear) color_ = clWhite;  // as the class library does
  HandleChanged();
}

void TBrush::SetBitmap(TBitmap* Value) {
  if (Value == bitmap_) return;
  bitmap_ = Value;
  HandleChanged();
}
