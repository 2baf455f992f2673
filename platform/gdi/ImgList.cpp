// TCustomImageList: images kept as colour and mask cells, drawn through temporary DIB sections.
#include "platform/gdi/ImgList.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <mutex>

#include "platform/gdi/Graphics_internal.h"

PTypeInfo TypeInfo_TDrawingStyle() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TDrawingStyle", {"dsFocus", "dsSelected", "dsNormal", "dsTransparent"});
  return &info;
}

PTypeInfo TypeInfo_TImageType() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TImageType", {"itImage", "itMask"});
  return &info;
}

namespace {

[[noreturn]] void IndexError() { throw EInvalidOperation("Invalid ImageList Index"); }

// A 32-bit DIB section in a memory DC, filled from colours ($00BBGGRR) and an alpha per pixel.
struct TCellDIB {
  HBITMAP bm = nullptr;
  TSurface* s = nullptr;
  HDC dc = nullptr;
  HGDIOBJ old = nullptr;
  TCellDIB(int32_t w, int32_t h) {
    bm = CreateDIBSectionOf(w, h, 32, false, {}, &s);
    if (!bm) throw EOutOfMemory("Out of system resources");
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bm);
  }
  ~TCellDIB() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bm);
  }
  TCellDIB(const TCellDIB&) = delete;
  TCellDIB& operator=(const TCellDIB&) = delete;
  void Set(int32_t x, int32_t y, uint32_t color, uint8_t alpha = 0) {
    uint8_t* p = s->Row(y) + x * 4;
    p[0] = GetBValue(color);
    p[1] = GetGValue(color);
    p[2] = GetRValue(color);
    p[3] = alpha;
  }
};

}  // namespace

// A cell drawn with given settings: its picture and, for a transparent draw of a masked list, the
// mask that clears the destination under the picture. The DCs are used by one draw at a time.
struct TImageListCellDrawing {
  struct Key {
    int32_t w, h;
    bool masked, transparent;
    int32_t quarters;
    COLORREF bk, blend;
    bool operator==(const Key&) const = default;
  };
  explicit TImageListCellDrawing(const Key& k)
      : key(k), img(k.w, k.h), andImg(k.transparent && k.masked ? std::make_unique<TCellDIB>(k.w, k.h) : nullptr) {}
  Key key;
  TCellDIB img;
  std::unique_ptr<TCellDIB> andImg;
  std::mutex lock;
};

namespace {

uint32_t Blend(uint32_t c, uint32_t b, uint32_t k) {  // k quarters of b
  auto mix = [&](uint8_t x, uint8_t y) { return static_cast<uint8_t>((x * (4 - k) + y * k + 2) / 4); };
  return RGB(mix(GetRValue(c), GetRValue(b)), mix(GetGValue(c), GetGValue(b)), mix(GetBValue(c), GetBValue(b)));
}

COLORREF Rgb(TColor c) { return static_cast<COLORREF>(ColorToRGB(c)) & 0x00FFFFFF; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// TChangeLink

PX_CLASS_INFO(TChangeLink, TObject)

TChangeLink::~TChangeLink() {
  if (sender_) sender_->UnRegisterChanges(this);
}

void TChangeLink::Change() {
  if (on_change_) on_change_(sender_);
}

// ---------------------------------------------------------------------------------------------
// TCustomImageList

PX_CLASS_INFO(TCustomImageList, TComponent)

PX_CLASS_INFO(TImageList, TCustomImageList, [](TPropertyBuilder<TImageList>& b) {
  b.Int("AllocBy", &TImageList::AllocBy, &TImageList::SetAllocBy).Default(4);
  b.Int("BlendColor", &TImageList::BlendColor, &TImageList::SetBlendColor, TypeInfo_TColor()).Default(clNone);
  b.Int("BkColor", &TImageList::BkColor, &TImageList::SetBkColor, TypeInfo_TColor()).Default(clNone);
  b.Enum("DrawingStyle", TypeInfo_TDrawingStyle(), &TImageList::DrawingStyle, &TImageList::SetDrawingStyle)
      .Default(dsNormal);
  b.Int("Height", &TImageList::Height, &TImageList::SetHeight).Default(16);
  b.Enum("ImageType", TypeInfo_TImageType(), &TImageList::ImageType, &TImageList::SetImageType).Default(itImage);
  b.Bool("Masked", &TImageList::Masked, &TImageList::SetMasked).Default(true);
  b.Bool("ShareImages", &TImageList::ShareImages, &TImageList::SetShareImages).Default(false);
  b.Int("Width", &TImageList::Width, &TImageList::SetWidth).Default(16);
  b.Event("OnChange", &TImageList::OnChange, &TImageList::SetOnChange);
})

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::TCustomImageList(int32_t AWidth, int32_t AHeight) : TComponent(nullptr) {
  width_ = std::max(1, AWidth);
  height_ = std::max(1, AHeight);
}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* l : links_) l->SetSender(nullptr);
  links_.clear();
}

void TCustomImageList::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TCustomImageList*>(Source);
  if (!src) {
    TComponent::Assign(Source);
    return;
  }
  if (src == this) return;
  width_ = src->width_;
  height_ = src->height_;
  bk_color_ = src->bk_color_;
  blend_color_ = src->blend_color_;
  drawing_style_ = src->drawing_style_;
  image_type_ = src->image_type_;
  masked_ = src->masked_;
  alloc_by_ = src->alloc_by_;
  images_ = src->images_;
  Change();
}

void TCustomImageList::SetSize(int32_t AWidth, int32_t AHeight) {
  if (AWidth < 1 || AHeight < 1) throw EInvalidOperation("Invalid image size");
  if (AWidth == width_ && AHeight == height_) return;
  width_ = AWidth;
  height_ = AHeight;
  images_.clear();
  Change();
}

void TCustomImageList::SetBkColor(TColor Value) {
  if (Value == bk_color_) return;
  bk_color_ = Value;
  Change();
}

void TCustomImageList::SetBlendColor(TColor Value) {
  if (Value == blend_color_) return;
  blend_color_ = Value;
  Change();
}

void TCustomImageList::SetDrawingStyle(TDrawingStyle Value) {
  if (Value == drawing_style_) return;
  drawing_style_ = Value;
  Change();
}

void TCustomImageList::SetImageType(TImageType Value) {
  if (Value == image_type_) return;
  image_type_ = Value;
  Change();
}

void TCustomImageList::SetMasked(bool Value) {
  if (Value == masked_) return;
  masked_ = Value;
  Change();
}

void TCustomImageList::CheckImage(TGraphic* Image) const {
  if (Image && (Image->Width() < width_ || Image->Height() < height_)) throw EInvalidOperation("Invalid image size");
}

std::vector<TCustomImageList::Cell> TCustomImageList::CellsOf(TBitmap* Image, TBitmap* Mask, bool UseColor,
                                                              TColor MaskColor, bool All) {
  std::vector<Cell> cells;
  if (!Image || Image->Empty()) return cells;
  CheckImage(Image);
  TSurface* s = Image->Surface();
  TSurface* m = Mask && !Mask->Empty() ? Mask->Surface() : nullptr;
  const int32_t n = All ? Image->Width() / width_ : 1;
  const uint32_t key = Rgb(MaskColor);
  std::vector<uint32_t> row(static_cast<size_t>(s->Width()));
  std::vector<uint32_t> maskRow(m ? static_cast<size_t>(m->Width()) : 0);
  cells.resize(static_cast<size_t>(n));
  for (Cell& c : cells) {
    c.colors.assign(static_cast<size_t>(width_) * height_, 0);
    c.mask.assign(static_cast<size_t>(width_) * height_, 0);
  }
  for (int32_t y = 0; y < height_; ++y) {
    ReadRowColors(*s, y, row.data());
    if (m && y < m->Height()) ReadRowColors(*m, y, maskRow.data());
    for (int32_t i = 0; i < n; ++i) {
      Cell& c = cells[static_cast<size_t>(i)];
      for (int32_t x = 0; x < width_; ++x) {
        const int32_t sx = i * width_ + x;
        const uint32_t color = row[static_cast<size_t>(sx)];
        bool transparent = false;
        if (UseColor) transparent = masked_ && color == key;
        else if (m && y < m->Height() && sx < m->Width()) transparent = maskRow[static_cast<size_t>(sx)] == 0x00FFFFFF;
        const size_t at = static_cast<size_t>(y) * width_ + x;
        c.mask[at] = transparent ? 1 : 0;
        c.colors[at] = transparent ? 0 : color;
      }
    }
  }
  return cells;
}

TCustomImageList::Cell TCustomImageList::CellOfIcon(TIcon* Image) {
  Cell c;
  c.colors.assign(static_cast<size_t>(width_) * height_, 0);
  c.mask.assign(static_cast<size_t>(width_) * height_, 0);
  HICON h = Image ? Image->Handle() : nullptr;
  if (!h) return c;
  TCellDIB image(width_, height_), mask(width_, height_);
  DrawIconEx(image.dc, 0, 0, h, width_, height_, 0, nullptr, DI_IMAGE);
  DrawIconEx(mask.dc, 0, 0, h, width_, height_, 0, nullptr, DI_MASK);
  for (int32_t y = 0; y < height_; ++y)
    for (int32_t x = 0; x < width_; ++x) {
      const size_t at = static_cast<size_t>(y) * width_ + x;
      c.mask[at] = (mask.s->GetPixel(x, y) & 0x00FFFFFF) == 0x00FFFFFF ? 1 : 0;
      c.colors[at] = c.mask[at] ? 0 : image.s->GetPixel(x, y);
    }
  return c;
}

bool TCustomImageList::InsertCells(int32_t Index, std::vector<Cell> Cells) {
  if (Cells.empty()) return false;
  images_.insert(images_.begin() + Index, std::make_move_iterator(Cells.begin()), std::make_move_iterator(Cells.end()));
  Change();
  return true;
}

void TCustomImageList::ReplaceCell(int32_t Index, std::vector<Cell> Cells) {
  if (Cells.empty()) throw EInvalidOperation("Unable to Replace Image");
  images_[static_cast<size_t>(Index)] = std::move(Cells[0]);
  Change();
}

int32_t TCustomImageList::Add(TBitmap* Image, TBitmap* Mask) {
  const int32_t first = Count();
  return InsertCells(first, CellsOf(Image, Mask, false, clNone, true)) ? first : -1;
}

int32_t TCustomImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
  const int32_t first = Count();
  return InsertCells(first, CellsOf(Image, nullptr, true, MaskColor, true)) ? first : -1;
}

int32_t TCustomImageList::AddIcon(TIcon* Image) {
  if (!Image || Image->Empty()) return -1;
  images_.push_back(CellOfIcon(Image));
  Change();
  return Count() - 1;
}

void TCustomImageList::Insert(int32_t Index, TBitmap* Image, TBitmap* Mask) {
  if (Index < 0 || Index > Count()) IndexError();
  InsertCells(Index, CellsOf(Image, Mask, false, clNone, true));
}

void TCustomImageList::InsertMasked(int32_t Index, TBitmap* Image, TColor MaskColor) {
  if (Index < 0 || Index > Count()) IndexError();
  InsertCells(Index, CellsOf(Image, nullptr, true, MaskColor, true));
}

void TCustomImageList::InsertIcon(int32_t Index, TIcon* Image) {
  if (Index < 0 || Index > Count()) IndexError();
  if (!Image || Image->Empty()) return;
  images_.insert(images_.begin() + Index, CellOfIcon(Image));
  Change();
}

void TCustomImageList::Replace(int32_t Index, TBitmap* Image, TBitmap* Mask) {
  if (Index < 0 || Index >= Count()) throw EInvalidOperation("Unable to Replace Image");
  ReplaceCell(Index, CellsOf(Image, Mask, false, clNone, false));
}

void TCustomImageList::ReplaceMasked(int32_t Index, TBitmap* NewImage, TColor MaskColor) {
  if (Index < 0 || Index >= Count()) throw EInvalidOperation("Unable to Replace Image");
  ReplaceCell(Index, CellsOf(NewImage, nullptr, true, MaskColor, false));
}

void TCustomImageList::ReplaceIcon(int32_t Index, TIcon* Image) {
  if (Index < 0 || Index >= Count() || !Image || Image->Empty()) throw EInvalidOperation("Unable to Replace Image");
  images_[static_cast<size_t>(Index)] = CellOfIcon(Image);
  Change();
}

void TCustomImageList::Delete(int32_t Index) {
  if (Index == -1) {
    images_.clear();
  } else {
    if (Index < 0 || Index >= Count()) IndexError();
    images_.erase(images_.begin() + Index);
  }
  Change();
}

void TCustomImageList::Move(int32_t CurIndex, int32_t NewIndex) {
  if (CurIndex == NewIndex) return;
  if (CurIndex < 0 || CurIndex >= Count() || NewIndex < 0 || NewIndex >= Count()) IndexError();
  Cell c = std::move(images_[static_cast<size_t>(CurIndex)]);
  images_.erase(images_.begin() + CurIndex);
  images_.insert(images_.begin() + NewIndex, std::move(c));
  Change();
}

bool TCustomImageList::GetBitmap(int32_t Index, TBitmap* Image) {
  if (!Image || Index < 0 || Index >= Count()) return false;
  Image->SetHeight(height_);
  Image->SetWidth(width_);
  Draw(Image->Canvas(), 0, 0, Index);
  return true;
}

void TCustomImageList::GetIcon(int32_t Index, TIcon* Image) {
  if (!Image || Index < 0 || Index >= Count()) return;
  const Cell& c = images_[static_cast<size_t>(Index)];
  TSurface* cs = nullptr;
  HBITMAP color = CreateDIBSectionOf(width_, height_, 32, false, {}, &cs);
  const int32_t rb = ((width_ + 15) / 16) * 2;
  std::vector<uint8_t> bits(static_cast<size_t>(rb) * height_, 0);
  for (int32_t y = 0; y < height_; ++y)
    for (int32_t x = 0; x < width_; ++x) {
      const size_t at = static_cast<size_t>(y) * width_ + x;
      const bool transparent = masked_ && c.mask[at];
      if (transparent) bits[static_cast<size_t>(rb) * y + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
      if (cs) cs->SetPixel(x, y, transparent ? 0 : c.colors[at]);
    }
  HBITMAP mask = CreateBitmap(width_, height_, 1, 1, bits.data());
  ICONINFO info;
  info.fIcon = 1;
  info.hbmColor = color;
  info.hbmMask = mask;
  HICON h = color && mask ? CreateIconIndirect(&info) : nullptr;
  if (color) DeleteObject(color);
  if (mask) DeleteObject(mask);
  if (h) Image->SetHandle(h);
}

void TCustomImageList::Draw(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Index, bool Enabled) {
  Draw(Canvas, X, Y, Index, drawing_style_, image_type_, Enabled);
}

void TCustomImageList::Draw(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Index, TDrawingStyle ADrawingStyle,
                            TImageType AImageType, bool Enabled) {
  if (!Canvas || Index < 0 || Index >= Count()) return;
  const Cell& c = images_[static_cast<size_t>(Index)];
  const int32_t w = width_, h = height_;
  HDC dc = Canvas->Handle();
  const bool hasBk = bk_color_ != clNone;
  const COLORREF bk = hasBk ? Rgb(bk_color_) : 0;
  auto masked = [&](size_t at) { return masked_ && c.mask[at] != 0; };

  if (!Enabled) {
    // The pixels that are not white once the image is drawn on white, embossed.
    TCellDIB andImg(w, h), highlight(w, h), shadow(w, h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t at = static_cast<size_t>(y) * w + x;
        const COLORREF shown = masked(at) ? (hasBk && ADrawingStyle != dsTransparent ? bk : 0xFFFFFF) : c.colors[at];
        const bool ink = shown != 0xFFFFFF;
        andImg.Set(x, y, ink ? 0 : 0xFFFFFF);
        highlight.Set(x, y, ink ? Rgb(clBtnHighlight) : 0);
        shadow.Set(x, y, ink ? Rgb(clBtnShadow) : 0);
      }
    BitBlt(dc, X + 1, Y + 1, w, h, andImg.dc, 0, 0, SRCAND);
    BitBlt(dc, X + 1, Y + 1, w, h, highlight.dc, 0, 0, SRCPAINT);
    BitBlt(dc, X, Y, w, h, andImg.dc, 0, 0, SRCAND);
    BitBlt(dc, X, Y, w, h, shadow.dc, 0, 0, SRCPAINT);
    return;
  }

  if (AImageType == itMask) {
    TCellDIB m(w, h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) m.Set(x, y, masked(static_cast<size_t>(y) * w + x) ? 0xFFFFFF : 0);
    BitBlt(dc, X, Y, w, h, m.dc, 0, 0, SRCCOPY);
    return;
  }

  const bool transparent = ADrawingStyle == dsTransparent || !hasBk;
  const int32_t quarters = ADrawingStyle == dsSelected ? 2 : ADrawingStyle == dsFocus ? 1 : 0;
  const bool blendBelow = quarters && blend_color_ == clNone;
  const COLORREF blend = Rgb(blend_color_ == clDefault ? clHighlight : blend_color_);

  if (blendBelow) {
    // Blended with what lies below: alpha-blend the opaque pixels with a constant opacity.
    TCellDIB img(w, h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t at = static_cast<size_t>(y) * w + x;
        if (masked(at) && transparent) img.Set(x, y, 0, 0);
        else img.Set(x, y, masked(at) ? bk : c.colors[at], 255);
      }
    BLENDFUNCTION bf;
    bf.SourceConstantAlpha = static_cast<BYTE>(quarters == 2 ? 128 : 191);
    bf.AlphaFormat = AC_SRC_ALPHA;
    AlphaBlend(dc, X, Y, w, h, img.dc, 0, 0, w, h, bf);
    return;
  }

  // The cell's picture (and mask) for these settings, made when the last draw of the cell differed.
  const TImageListCellDrawing::Key key{w, h, masked_, transparent, quarters, transparent ? 0u : bk,
                                       quarters ? blend : 0u};
  std::shared_ptr<TImageListCellDrawing> drawing = c.drawn;
  if (!drawing || !(drawing->key == key)) {
    drawing = std::make_shared<TImageListCellDrawing>(key);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t at = static_cast<size_t>(y) * w + x;
        COLORREF col = c.colors[at];
        if (masked(at)) col = transparent ? 0 : bk;
        else if (quarters) col = Blend(col, blend, static_cast<uint32_t>(quarters));
        drawing->img.Set(x, y, col);
      }
    if (drawing->andImg)
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) drawing->andImg->Set(x, y, masked(static_cast<size_t>(y) * w + x) ? 0xFFFFFF : 0);
    images_[static_cast<size_t>(Index)].drawn = drawing;
  }
  std::lock_guard<std::mutex> g(drawing->lock);
  if (!drawing->andImg) {
    BitBlt(dc, X, Y, w, h, drawing->img.dc, 0, 0, SRCCOPY);
    return;
  }
  BitBlt(dc, X, Y, w, h, drawing->andImg->dc, 0, 0, SRCAND);
  BitBlt(dc, X, Y, w, h, drawing->img.dc, 0, 0, SRCPAINT);
}

// ---------------------------------------------------------------------------------------------
// Change notification

void TCustomImageList::RegisterChanges(TChangeLink* Value) {
  if (!Value) return;
  if (Value->Sender() && Value->Sender() != this) Value->Sender()->UnRegisterChanges(Value);
  Value->SetSender(this);
  if (std::find(links_.begin(), links_.end(), Value) == links_.end()) links_.push_back(Value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Value) {
  if (!Value) return;
  auto it = std::find(links_.begin(), links_.end(), Value);
  if (it == links_.end()) return;
  links_.erase(it);
  Value->SetSender(nullptr);
}

bool SetLinkedImageList(TCustomImageList*& Field, TCustomImageList* Value, TChangeLink* Link, TComponent* Owner) {
  if (Field == Value) return false;
  if (Field) {
    Field->UnRegisterChanges(Link);
    Field->RemoveFreeNotification(Owner);
  }
  Field = Value;
  if (Field) {
    Field->RegisterChanges(Link);
    Field->FreeNotification(Owner);
  }
  return true;
}

void TCustomImageList::BeginUpdate() { ++update_count_; }

void TCustomImageList::EndUpdate() {
  if (update_count_ > 0) --update_count_;
  if (update_count_ == 0 && changed_) {
    changed_ = false;
    Change();
  }
}

void TCustomImageList::Change() {
  if (update_count_ > 0) {
    changed_ = true;
    return;
  }
  changed_ = false;
  // A link may unregister itself (or others) from its handler: walk a copy and skip the gone.
  const std::vector<TChangeLink*> links = links_;
  for (TChangeLink* l : links)
    if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->Change();
  if (on_change_) on_change_(this);
}
