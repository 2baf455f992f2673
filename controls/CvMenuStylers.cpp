// Menu stylers and their option objects.
#include "controls/CvMenuStylers.h"

#include "platform/forms/Forms.h"
#include "platform/forms/Menus.h"

using enum CvMenus::TGradientDirection;
using TMenuDirection = CvMenus::TGradientDirection;

namespace {

[[noreturn]] void BadIndex(int32_t Index) { throw EInvalidPropertyIndex(Index); }

template <class T>
bool Store(T& Field, T Value) {
  if (Field == Value) return false;
  Field = Value;
  return true;
}

// The screen's menu font (Tahoma 8 points where there is no screen).
void AssignMenuFont(TFont* Font) {
  if (TScreen* screen = Screen()) Font->Assign(screen->MenuFont());
}

void MarkGlyph(TBitmap* Bitmap) {
  Bitmap->SetTransparent(true);
  Bitmap->SetTransparentMode(tmAuto);
}

void LoadGlyph(TBitmap* Bitmap, const char* Name) {
  try {
    Bitmap->LoadFromResourceName(HInstance, Name);
  } catch (const Exception&) {
    // A program built without the control set's pictures draws no glyph.
  }
  MarkGlyph(Bitmap);
}

}  // namespace

namespace CvMenus {
PTypeInfo TypeInfo_TGradientDirection() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TGradientDirection", {"gdVertical", "gdHorizontal"});
  return &info;
}
}  // namespace CvMenus

PTypeInfo TypeInfo_TGradientType() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TGradientType", {"gtLeft", "gtRight", "gtBoth"});
  return &info;
}
PTypeInfo TypeInfo_TBackgroundPosition() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TBackgroundPosition", {"bpTopLeft", "bpTopRight", "bpBottomLeft", "bpBottomRight", "bpTopCenter",
                              "bpBottomCenter", "bpTiled", "bpStretched", "bpCenter", "bpXY"});
  return &info;
}
PTypeInfo TypeInfo_TSideBarVisibleIn() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TSideBarVisibleIn", {"viFirstVisible", "viFirstLevel", "viAnyLevel"});
  return &info;
}
PTypeInfo TypeInfo_TDirection() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TDirection", {"dDownToUp", "dUpToDown"});
  return &info;
}
PTypeInfo TypeInfo_TFantasyStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TFantasyStyle", {"fsArctic", "fsAquaBlue", "fsChocolate", "fsMacOS", "fsSilverFox", "fsSoftSand",
                        "fsTerminalGreen", "fsTextured", "fsWindowsClassic", "fsWhidbey", "fsCustom"});
  return &info;
}

// =============================================================================================
// TGradientBar

PX_CLASS_INFO(TGradientBar, TPersistent, [](TPropertyBuilder<TGradientBar>& b) {
  using C = TGradientBar;
  b.Int("Color", &C::Color, &C::SetColor, TypeInfo_TColor());
  b.Int("ColorTo", &C::ColorTo, &C::SetColorTo, TypeInfo_TColor());
  b.Enum("GradientDirection", CvMenus::TypeInfo_TGradientDirection(), &C::GradientDirection, &C::SetGradientDirection);
})

TGradientBar::TGradientBar() : colors_{0x00D8BDAF, clNone} {}

void TGradientBar::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TGradientBar*>(Source)) {
    colors_[0] = src->colors_[0];
    colors_[1] = src->colors_[1];
    direction_ = src->direction_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

TColor TGradientBar::IndexedColor(int32_t Index) const {
  if (Index < 0 || Index > 1) BadIndex(Index);
  return colors_[Index];
}

void TGradientBar::SetIndexedColor(int32_t Index, TColor Value) {
  if (Index < 0 || Index > 1) BadIndex(Index);
  if (Store(colors_[Index], Value)) Changed();
}

void TGradientBar::SetGradientDirection(TMenuDirection Value) {
  if (Store(direction_, Value)) Changed();
}

void TGradientBar::Changed(bool Rebuild) {
  if (!menu_) return;
  if (Rebuild) menu_->UpdateItems();
  HookMenuForm(menu_, false, false);
}

// =============================================================================================
// TCheckGradientBar and TIconBar

PX_CLASS_INFO(TCheckGradientBar, TGradientBar, [](TPropertyBuilder<TCheckGradientBar>& b) {
  using C = TCheckGradientBar;
  b.Int("CheckColor", &C::CheckColor, &C::SetCheckColor, TypeInfo_TColor());
  b.Int("CheckColorTo", &C::CheckColorTo, &C::SetCheckColorTo, TypeInfo_TColor());
  b.Int("CheckBorder", &C::CheckBorder, &C::SetCheckBorder, TypeInfo_TColor());
  b.Enum("CheckGradientDirection", CvMenus::TypeInfo_TGradientDirection(), &C::CheckGradientDirection,
         &C::SetCheckGradientDirection);
  b.Int("RadioColor", &C::RadioColor, &C::SetRadioColor, TypeInfo_TColor());
  b.Int("RadioColorTo", &C::RadioColorTo, &C::SetRadioColorTo, TypeInfo_TColor());
  b.Int("RadioBorder", &C::RadioBorder, &C::SetRadioBorder, TypeInfo_TColor());
  b.Enum("RadioGradientDirection", CvMenus::TypeInfo_TGradientDirection(), &C::RadioGradientDirection,
         &C::SetRadioGradientDirection);
})

TCheckGradientBar::TCheckGradientBar(TColor MarkColor) : check_{MarkColor, clNone}, radio_{MarkColor, clNone} {}

void TCheckGradientBar::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TCheckGradientBar*>(Source)) {
    check_[0] = src->check_[0], check_[1] = src->check_[1];
    radio_[0] = src->radio_[0], radio_[1] = src->radio_[1];
    check_border_ = src->check_border_;
    radio_border_ = src->radio_border_;
    check_direction_ = src->check_direction_;
    radio_direction_ = src->radio_direction_;
  }
  TGradientBar::Assign(Source);
}

TColor TCheckGradientBar::CheckColors(int32_t Index) const {
  if (Index < 0 || Index > 1) BadIndex(Index);
  return check_[Index];
}

void TCheckGradientBar::SetCheckColors(int32_t Index, TColor Value) {
  if (Index < 0 || Index > 1) BadIndex(Index);
  if (Store(check_[Index], Value)) Changed();
}

TColor TCheckGradientBar::RadioColors(int32_t Index) const {
  if (Index < 0 || Index > 1) BadIndex(Index);
  return radio_[Index];
}

void TCheckGradientBar::SetRadioColors(int32_t Index, TColor Value) {
  if (Index < 0 || Index > 1) BadIndex(Index);
  if (Store(radio_[Index], Value)) Changed();
}

void TCheckGradientBar::SetCheckBorder(TColor Value) {
  if (Store(check_border_, Value)) Changed();
}
void TCheckGradientBar::SetCheckGradientDirection(TMenuDirection Value) {
  if (Store(check_direction_, Value)) Changed();
}
void TCheckGradientBar::SetRadioBorder(TColor Value) {
  if (Store(radio_border_, Value)) Changed();
}
void TCheckGradientBar::SetRadioGradientDirection(TMenuDirection Value) {
  if (Store(radio_direction_, Value)) Changed();
}

PX_CLASS_INFO(TIconBar, TCheckGradientBar, [](TPropertyBuilder<TIconBar>& b) {
  using C = TIconBar;
  b.Int("SeparatorColor", &C::SeparatorColor, &C::SetSeparatorColor, TypeInfo_TColor());
  b.Int("Size", &C::Size, &C::SetSize).Default(24);
})

TIconBar::TIconBar() : TCheckGradientBar(0x006FC0FF) {
  colors_[0] = 0x00FFF9F9;
  colors_[1] = 0x00BBA0A1;
  direction_ = gdHorizontal;
}

void TIconBar::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TIconBar*>(Source)) {
    separator_color_ = src->separator_color_;
    size_ = src->size_;
    TCheckGradientBar::Assign(Source);
    if (menu_) menu_->UpdateItems();
    return;
  }
  TCheckGradientBar::Assign(Source);
}

void TIconBar::SetSeparatorColor(TColor Value) {
  if (Store(separator_color_, Value)) Changed();
}

void TIconBar::SetSize(int32_t Value) {
  if (Value < 16) Value = 16;
  if (Store(size_, Value)) Changed(true);
}

// =============================================================================================
// TSelectedItem

PX_CLASS_INFO(TSelectedItem, TCheckGradientBar, [](TPropertyBuilder<TSelectedItem>& b) {
  using C = TSelectedItem;
  b.Int("ColorMirror", &C::ColorMirror, &C::SetColorMirror, TypeInfo_TColor()).Default(clNone);
  b.Int("ColorMirrorTo", &C::ColorMirrorTo, &C::SetColorMirrorTo, TypeInfo_TColor()).Default(clNone);
  b.Int("BorderColor", &C::BorderColor, &C::SetBorderColor, TypeInfo_TColor());
  b.Object<TFont>("Font", &C::Font);
  b.Bool("UseSystemFont", &C::UseSystemFont, &C::SetUseSystemFont).Default(true);
})

TSelectedItem::TSelectedItem() : TCheckGradientBar(0x003E80FE), font_(std::make_unique<TFont>()) {
  colors_[0] = 0x00C2EEFF;
  colors_[1] = clNone;
  AssignMenuFont(font_.get());
  font_->SetColor(clWindowText);
  font_->SetOnChange(TNotifyEvent(this, &TSelectedItem::FontChanged));
}

TSelectedItem::~TSelectedItem() = default;

void TSelectedItem::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TSelectedItem*>(Source)) {
    color_mirror_ = src->color_mirror_;
    color_mirror_to_ = src->color_mirror_to_;
    border_color_ = src->border_color_;
    use_system_font_ = src->use_system_font_;
    font_->Assign(src->font_.get());
  }
  TCheckGradientBar::Assign(Source);
}

void TSelectedItem::SetColorMirror(TColor Value) {
  if (Store(color_mirror_, Value)) Changed();
}
void TSelectedItem::SetColorMirrorTo(TColor Value) {
  if (Store(color_mirror_to_, Value)) Changed();
}
void TSelectedItem::SetBorderColor(TColor Value) {
  if (Store(border_color_, Value)) Changed();
}
void TSelectedItem::SetUseSystemFont(bool Value) {
  if (Store(use_system_font_, Value)) Changed(true);
}
// =============================================================================================
// TRootItem

PX_CLASS_INFO(TRootItem, TGradientBar, [](TPropertyBuilder<TRootItem>& b) {
  using C = TRootItem;
  b.Object<TFont>("Font", &C::Font);
  b.Bool("UseSystemFont", &C::UseSystemFont, &C::SetUseSystemFont).Default(true);
  b.Int("SelectedColor", &C::SelectedColor, &C::SetSelectedColor, TypeInfo_TColor());
  b.Int("SelectedColorTo", &C::SelectedColorTo, &C::SetSelectedColorTo, TypeInfo_TColor());
  b.Int("SelectedColorMirror", &C::SelectedColorMirror, &C::SetSelectedColorMirror, TypeInfo_TColor())
      .Default(clNone);
  b.Int("SelectedColorMirrorTo", &C::SelectedColorMirrorTo, &C::SetSelectedColorMirrorTo, TypeInfo_TColor())
      .Default(clNone);
  b.Enum("SelectedGradientDirection", CvMenus::TypeInfo_TGradientDirection(), &C::SelectedGradientDirection,
         &C::SetSelectedGradientDirection);
  b.Int("SelectedBorderColor", &C::SelectedBorderColor, &C::SetSelectedBorderColor, TypeInfo_TColor());
  b.Int("SelectedTextColor", &C::SelectedTextColor, &C::SetSelectedTextColor, TypeInfo_TColor());
  b.Int("HoverColor", &C::HoverColor, &C::SetHoverColor, TypeInfo_TColor());
  b.Int("HoverColorTo", &C::HoverColorTo, &C::SetHoverColorTo, TypeInfo_TColor());
  b.Int("HoverColorMirror", &C::HoverColorMirror, &C::SetHoverColorMirror, TypeInfo_TColor()).Default(clNone);
  b.Int("HoverColorMirrorTo", &C::HoverColorMirrorTo, &C::SetHoverColorMirrorTo, TypeInfo_TColor()).Default(clNone);
  b.Enum("HoverGradientDirection", CvMenus::TypeInfo_TGradientDirection(), &C::HoverGradientDirection,
         &C::SetHoverGradientDirection);
  b.Int("HoverBorderColor", &C::HoverBorderColor, &C::SetHoverBorderColor, TypeInfo_TColor());
  b.Int("HoverTextColor", &C::HoverTextColor, &C::SetHoverTextColor, TypeInfo_TColor());
})

TRootItem::TRootItem()
    : font_(std::make_unique<TFont>()),
      selected_{0x00F2E8E8, 0x00CDB8B9, clNone, clNone},
      hover_{0x00CFF6FF, 0x009DD8FF, clNone, clNone} {
  colors_[0] = 0x00E5D7D7;
  colors_[1] = 0x00F7F2F2;
  direction_ = gdHorizontal;
  AssignMenuFont(font_.get());
  font_->SetOnChange(TNotifyEvent(this, &TRootItem::FontChanged));
}

TRootItem::~TRootItem() = default;

void TRootItem::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TRootItem*>(Source)) {
    use_system_font_ = src->use_system_font_;
    for (int32_t i = 0; i < 4; ++i) selected_[i] = src->selected_[i], hover_[i] = src->hover_[i];
    selected_direction_ = src->selected_direction_;
    hover_direction_ = src->hover_direction_;
    selected_border_ = src->selected_border_;
    selected_text_ = src->selected_text_;
    hover_border_ = src->hover_border_;
    hover_text_ = src->hover_text_;
    font_->Assign(src->font_.get());
    TGradientBar::Assign(Source);
    return;
  }
  TGradientBar::Assign(Source);
}

void TRootItem::SetUseSystemFont(bool Value) {
  if (Store(use_system_font_, Value)) Changed(true);
}
TColor TRootItem::SelectedColors(int32_t Index) const {
  if (Index < 0 || Index > 3) BadIndex(Index);
  return selected_[Index];
}
void TRootItem::SetSelectedColors(int32_t Index, TColor Value) {
  if (Index < 0 || Index > 3) BadIndex(Index);
  if (Store(selected_[Index], Value)) Changed();
}
TColor TRootItem::HoverColors(int32_t Index) const {
  if (Index < 0 || Index > 3) BadIndex(Index);
  return hover_[Index];
}
void TRootItem::SetHoverColors(int32_t Index, TColor Value) {
  if (Index < 0 || Index > 3) BadIndex(Index);
  if (Store(hover_[Index], Value)) Changed();
}
void TRootItem::SetSelectedGradientDirection(TMenuDirection Value) {
  if (Store(selected_direction_, Value)) Changed();
}
void TRootItem::SetSelectedBorderColor(TColor Value) {
  if (Store(selected_border_, Value)) Changed();
}
void TRootItem::SetSelectedTextColor(TColor Value) {
  if (Store(selected_text_, Value)) Changed();
}
void TRootItem::SetHoverGradientDirection(TMenuDirection Value) {
  if (Store(hover_direction_, Value)) Changed();
}
void TRootItem::SetHoverBorderColor(TColor Value) {
  if (Store(hover_border_, Value)) Changed();
}
void TRootItem::SetHoverTextColor(TColor Value) {
  if (Store(hover_text_, Value)) Changed();
}

// =============================================================================================
// TMenuGlyphs

PX_CLASS_INFO(TMenuGlyphs, TPersistent, [](TPropertyBuilder<TMenuGlyphs>& b) {
  using C = TMenuGlyphs;
  b.Object<TBitmap>("SubMenu", &C::SubMenu, &C::SetSubMenu);
  b.Object<TBitmap>("Check", &C::Check, &C::SetCheck);
  b.Object<TBitmap>("Radio", &C::Radio, &C::SetRadio);
})

TMenuGlyphs::TMenuGlyphs()
    : sub_menu_(std::make_unique<TBitmap>()), check_(std::make_unique<TBitmap>()), radio_(std::make_unique<TBitmap>()) {
  LoadGlyph(sub_menu_.get(), "CVSUBMENUITEM");
  LoadGlyph(check_.get(), "CVCHECKITEM");
  LoadGlyph(radio_.get(), "CVRADIOITEM");
}

TMenuGlyphs::~TMenuGlyphs() = default;

void TMenuGlyphs::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TMenuGlyphs*>(Source)) {
    Set(sub_menu_.get(), src->sub_menu_.get());
    Set(check_.get(), src->check_.get());
    Set(radio_.get(), src->radio_.get());
    return;
  }
  TPersistent::Assign(Source);
}

void TMenuGlyphs::Set(TBitmap* Target, TBitmap* Value) {
  Target->Assign(Value);
  MarkGlyph(Target);
  if (menu_) HookMenuForm(menu_, false, false);
}

void TMenuGlyphs::SetSubMenu(TBitmap* Value) { Set(sub_menu_.get(), Value); }
void TMenuGlyphs::SetCheck(TBitmap* Value) { Set(check_.get(), Value); }
void TMenuGlyphs::SetRadio(TBitmap* Value) { Set(radio_.get(), Value); }

// =============================================================================================
// TBackground

PX_CLASS_INFO(TBackground, TGradientBar, [](TPropertyBuilder<TBackground>& b) {
  using C = TBackground;
  b.Object<TPicture>("Image", &C::Image, &C::SetImage);
  b.Enum("Position", TypeInfo_TBackgroundPosition(), &C::Position, &C::SetPosition).Default(bpCenter);
  b.Int("OffsetX", &C::OffsetX, &C::SetOffsetX).Default(0);
  b.Int("OffsetY", &C::OffsetY, &C::SetOffsetY).Default(0);
  b.Int("MarginX", &C::MarginX, &C::SetMarginX).Default(0);
  b.Int("MarginY", &C::MarginY, &C::SetMarginY).Default(0);
})

TBackground::TBackground() : cache_(std::make_unique<TBitmap>()) {
  colors_[0] = 0x00FFFAFD;
  colors_[1] = clNone;
  cache_->SetPixelFormat(pf32bit);
}

TBackground::~TBackground() = default;

void TBackground::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TBackground*>(Source)) {
    if (src->HasImage()) Image()->Assign(src->image_.get());
    else if (image_) image_->Assign(nullptr);
    offset_x_ = src->offset_x_;
    offset_y_ = src->offset_y_;
    position_ = src->position_;
    margin_x_ = src->margin_x_;
    margin_y_ = src->margin_y_;
    TGradientBar::Assign(Source);
    return;
  }
  TGradientBar::Assign(Source);
}

TPicture* TBackground::Image() {
  if (!image_) {
    image_ = std::make_unique<TPicture>();
    image_->SetOnChange(TNotifyEvent(this, &TBackground::ImageChanged));
  }
  return image_.get();
}

void TBackground::SetImage(TPicture* Value) { Image()->Assign(Value); }

bool TBackground::HasImage() const { return image_ && image_->Graphic() && !image_->Graphic()->Empty(); }

void TBackground::ImageChanged(TObject*) {
  // Pictures that are bitmaps are drawn transparent.
  if (auto* bitmap = dynamic_cast<TBitmap*>(image_ ? image_->Graphic() : nullptr)) {
    if (!bitmap->Transparent()) bitmap->SetTransparent(true);
    if (bitmap->TransparentMode() != tmAuto) bitmap->SetTransparentMode(tmAuto);
  }
  Changed(rebuild_on_image_);
}

void TBackground::SetPosition(TBackgroundPosition Value) {
  if (Store(position_, Value)) Changed();
}
void TBackground::SetOffsetX(int32_t Value) {
  if (Store(offset_x_, Value)) Changed();
}
void TBackground::SetOffsetY(int32_t Value) {
  if (Store(offset_y_, Value)) Changed();
}
void TBackground::SetMarginX(int32_t Value) {
  if (Store(margin_x_, Value)) Changed();
}
void TBackground::SetMarginY(int32_t Value) {
  if (Store(margin_y_, Value)) Changed();
}

// =============================================================================================
// TBarCaption and TSideBar

PX_CLASS_INFO(TBarCaption, TPersistent, [](TPropertyBuilder<TBarCaption>& b) {
  using C = TBarCaption;
  b.Enum("Alignment", TypeInfo_TAlignment(), &C::Alignment, &C::SetAlignment).Default(taLeftJustify);
  b.Str("Caption", &C::Caption, &C::SetCaption);
  b.Object<TFont>("Font", &C::Font);
  b.Int("ShadowColor", &C::ShadowColor, &C::SetShadowColor, TypeInfo_TColor()).Default(clNone);
  b.Int("Depth", &C::Depth, &C::SetDepth).Default(1);
  b.Enum("Direction", TypeInfo_TDirection(), &C::Direction, &C::SetDirection).Default(dDownToUp);
})

TBarCaption::TBarCaption() : font_(std::make_unique<TFont>()) {
  font_->SetName("Tahoma");
  font_->SetSize(14);
  font_->SetColor(clWhite);
  font_->SetStyle({fsBold, fsItalic});
  font_->SetOnChange(TNotifyEvent(this, &TBarCaption::FontChanged));
}

TBarCaption::~TBarCaption() = default;

void TBarCaption::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TBarCaption*>(Source)) {
    caption_offset_ = src->caption_offset_;
    alignment_ = src->alignment_;
    caption_ = src->caption_;
    font_->Assign(src->font_.get());
    shadow_color_ = src->shadow_color_;
    highlight_color_ = src->highlight_color_;
    depth_ = src->depth_;
    direction_ = src->direction_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

void TBarCaption::Changed(bool Rebuild) {
  if (!menu_) return;
  if (Rebuild) menu_->UpdateItems();
  HookMenuForm(menu_, false, false);
}

void TBarCaption::SetAlignment(TAlignment Value) {
  if (Store(alignment_, Value)) Changed();
}
void TBarCaption::SetCaption(const std::string& Value) {
  if (Store(caption_, Value)) Changed();
}
void TBarCaption::SetShadowColor(TColor Value) {
  if (Store(shadow_color_, Value)) Changed();
}
void TBarCaption::SetDepth(int32_t Value) {
  if (Store(depth_, Value)) Changed();
}
void TBarCaption::SetDirection(TDirection Value) {
  if (Store(direction_, Value)) Changed();
}
void TBarCaption::SetHighlightColor(TColor Value) {
  if (Store(highlight_color_, Value)) Changed();
}

PX_CLASS_INFO(TSideBar, TBarCaption, [](TPropertyBuilder<TSideBar>& b) {
  using C = TSideBar;
  b.Bool("Visible", &C::Visible, &C::SetVisible).Default(false);
  b.Enum("VisibleIn", TypeInfo_TSideBarVisibleIn(), &C::VisibleIn, &C::SetVisibleIn).Default(viFirstVisible);
  b.Object<TBackground>("Image", &C::Image);
  b.Object<TBackground>("Background", &C::Background);
  b.Int("Size", &C::Size, &C::SetSize).Default(24);
  b.Int("SplitterColor", &C::SplitterColor, &C::SetSplitterColor, TypeInfo_TColor()).Default(0x00808080);
  b.Int("SplitterColorTo", &C::SplitterColorTo, &C::SetSplitterColorTo, TypeInfo_TColor()).Default(clNone);
  b.Int("SplitterWidth", &C::SplitterWidth, &C::SetSplitterWidth).Default(1);
  b.Int("SplitterMargin", &C::SplitterMargin, &C::SetSplitterMargin).Default(0);
  b.Int("SplitterGradientWidth", &C::SplitterGradientWidth, &C::SetSplitterGradientWidth).Default(0);
  b.Enum("SplitterGradientType", TypeInfo_TGradientType(), &C::SplitterGradientType, &C::SetSplitterGradientType)
      .Default(gtBoth);
  b.Int("BorderColor", &C::BorderColor, &C::SetBorderColor, TypeInfo_TColor()).Default(0x00A19D9D);
})

namespace {
// The side bar's pictures change what the menu measures.
class TSideBarBackground : public TBackground {
 public:
  TSideBarBackground() { rebuild_on_image_ = true; }
};
}  // namespace

TSideBar::TSideBar()
    : image_(std::make_unique<TSideBarBackground>()), background_(std::make_unique<TSideBarBackground>()) {}

TSideBar::~TSideBar() = default;

void TSideBar::SetMenu(ICvMenu* Value) {
  TBarCaption::SetMenu(Value);
  image_->SetMenu(Value);
  background_->SetMenu(Value);
}

void TSideBar::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TSideBar*>(Source)) {
    visible_ = src->visible_;
    visible_in_ = src->visible_in_;
    image_->Assign(src->image_.get());
    background_->Assign(src->background_.get());
    side_ = src->side_;
    size_ = src->size_;
    splitter_color_ = src->splitter_color_;
    splitter_color_to_ = src->splitter_color_to_;
    splitter_width_ = src->splitter_width_;
    splitter_margin_ = src->splitter_margin_;
    splitter_gradient_width_ = src->splitter_gradient_width_;
    splitter_gradient_type_ = src->splitter_gradient_type_;
    border_color_ = src->border_color_;
    TBarCaption::Assign(Source);
    return;
  }
  TBarCaption::Assign(Source);
}

void TSideBar::SetVisible(bool Value) {
  if (!Store(visible_, Value)) return;
  // Only a menu shown on a window measures its items again.
  const auto* main = menu_ ? dynamic_cast<TMainMenu*>(menu_->GetMenu()) : nullptr;
  Changed(main && main->WindowHandle());
}
void TSideBar::SetVisibleIn(TSideBarVisibleIn Value) {
  if (Store(visible_in_, Value)) Changed();
}
void TSideBar::SetImage(TBackground* Value) {
  image_->Assign(Value);
  Changed(true);
}
void TSideBar::SetBackground(TBackground* Value) {
  background_->Assign(Value);
  Changed(true);
}
void TSideBar::SetSize(int32_t Value) {
  if (Store(size_, Value)) Changed();
}
void TSideBar::SetSplitterColor(TColor Value) {
  if (Store(splitter_color_, Value)) Changed();
}
void TSideBar::SetSplitterColorTo(TColor Value) {
  if (Store(splitter_color_to_, Value)) Changed();
}
void TSideBar::SetSplitterWidth(int32_t Value) {
  if (Store(splitter_width_, Value)) Changed();
}
void TSideBar::SetSplitterMargin(int32_t Value) {
  if (Store(splitter_margin_, Value)) Changed();
}
void TSideBar::SetSplitterGradientWidth(int32_t Value) {
  if (Store(splitter_gradient_width_, Value)) Changed();
}
void TSideBar::SetSplitterGradientType(TGradientType Value) {
  if (Store(splitter_gradient_type_, Value)) Changed();
}
void TSideBar::SetBorderColor(TColor Value) {
  if (Store(border_color_, Value)) Changed();
}

// =============================================================================================
// TSeparator

PX_CLASS_INFO(TSeparator, TGradientBar, [](TPropertyBuilder<TSeparator>& b) {
  using C = TSeparator;
  b.Int("Width", &C::Width, &C::SetWidth).Default(1);
  b.Enum("GradientType", TypeInfo_TGradientType(), &C::GradientType, &C::SetGradientType).Default(gtBoth);
  b.Int("GradientWidth", &C::GradientWidth, &C::SetGradientWidth).Default(0);
  b.Int("Margin", &C::Margin, &C::SetMargin).Default(2);
})

TSeparator::TSeparator() {
  colors_[0] = 0x008F6D6E;
  colors_[1] = clNone;
  direction_ = gdHorizontal;
}

void TSeparator::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TSeparator*>(Source)) {
    width_ = src->width_;
    gradient_type_ = src->gradient_type_;
    gradient_width_ = src->gradient_width_;
    margin_ = src->margin_;
    TGradientBar::Assign(Source);
    if (menu_) menu_->UpdateItems();
    return;
  }
  TGradientBar::Assign(Source);
}

void TSeparator::SetWidth(int32_t Value) {
  if (Store(width_, Value)) Changed(true);
}
void TSeparator::SetGradientType(TGradientType Value) {
  if (Store(gradient_type_, Value)) Changed();
}
void TSeparator::SetGradientWidth(int32_t Value) {
  if (Store(gradient_width_, Value)) Changed();
}
void TSeparator::SetMargin(int32_t Value) {
  if (Store(margin_, Value)) Changed();
}

// =============================================================================================
// Stylers

PX_CLASS_INFO(TCustomCvMenuStyler, TComponent)

PX_CLASS_INFO(TCvMenuStyler, TCustomCvMenuStyler, [](TPropertyBuilder<TCvMenuStyler>& b) {
  using C = TCvMenuStyler;
  b.Object<TBackground>("Background", &C::Background);
  b.Object<TIconBar>("IconBar", &C::IconBar);
  b.Object<TSelectedItem>("SelectedItem", &C::SelectedItem);
  b.Object<TRootItem>("RootItem", &C::RootItem);
  b.Object<TMenuGlyphs>("Glyphs", &C::Glyphs);
  b.Object<TSideBar>("SideBar", &C::SideBar);
  b.Object<TSeparator>("Separator", &C::Separator);
  b.Object<TFont>("Font", &C::Font);
  b.Bool("UseSystemFont", &C::UseSystemFont, &C::SetUseSystemFont).Default(true);
  b.Int("MenuBorderColor", &C::MenuBorderColor, &C::SetMenuBorderColor, TypeInfo_TColor()).Default(0x007C7C94);
})

PX_CLASS_INFO(TCvMenuFantasyStyler, TCvMenuStyler, [](TPropertyBuilder<TCvMenuFantasyStyler>& b) {
  using C = TCvMenuFantasyStyler;
  b.Enum("Style", TypeInfo_TFantasyStyle(), &C::Style, &C::SetStyle).NoDefault();
})

TCustomCvMenuStyler::TCustomCvMenuStyler(TComponent* AOwner)
    : TComponent(AOwner),
      separator_(std::make_unique<TSeparator>()),
      background_(std::make_unique<TBackground>()),
      font_(std::make_unique<TFont>()),
      icon_bar_(std::make_unique<TIconBar>()),
      glyphs_(std::make_unique<TMenuGlyphs>()),
      root_item_(std::make_unique<TRootItem>()),
      selected_item_(std::make_unique<TSelectedItem>()),
      side_bar_(std::make_unique<TSideBar>()),
      cache_(std::make_unique<TBitmap>()) {
  AssignMenuFont(font_.get());
  cache_->SetPixelFormat(pf32bit);
}

TCustomCvMenuStyler::~TCustomCvMenuStyler() = default;

void TCustomCvMenuStyler::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TCvMenuStyler*>(Source)) {
    SetBackground(src->Background());
    SetIconBar(src->IconBar());
    SetSelectedItem(src->SelectedItem());
    SetRootItem(src->RootItem());
    SetGlyphs(src->Glyphs());
    SetSideBar(src->SideBar());
    SetSeparator(src->Separator());
    SetFont(src->Font());
    SetUseSystemFont(src->UseSystemFont());
    return;
  }
  TComponent::Assign(Source);
}

void TCustomCvMenuStyler::AttachToMenu(ICvMenu* Menu) {
  menu_ = Menu;
  separator_->SetMenu(Menu);
  background_->SetMenu(Menu);
  icon_bar_->SetMenu(Menu);
  glyphs_->SetMenu(Menu);
  root_item_->SetMenu(Menu);
  selected_item_->SetMenu(Menu);
  side_bar_->SetMenu(Menu);
  Refresh();
}

void TCustomCvMenuStyler::Refresh(bool Rebuild) {
  if (!menu_) return;
  if (Rebuild) menu_->UpdateItems();
  HookMenuForm(menu_, false, false);
}

void TCustomCvMenuStyler::SetUseSystemFont(bool Value) {
  if (Store(use_system_font_, Value)) Refresh(true);
}

void TCustomCvMenuStyler::SetMenuBorderColor(TColor Value) {
  if (Store(menu_border_color_, Value)) Refresh();
}

// ---- The named styles

namespace {

using enum TFantasyStyle;

void SetFontValues(TFont* Font, TColor Color, int32_t Size, TFontStyles Style) {
  Font->SetColor(Color);
  if (Size) Font->SetSize(Size);
  Font->SetStyle(Style);
}

}  // namespace

TCvMenuFantasyStyler::TCvMenuFantasyStyler(TComponent* AOwner) : TCvMenuStyler(AOwner) {
  style_ = fsArctic;
  if (ComponentState().Contains(csDesigning)) SetStyle(fsCustom);
}

void TCvMenuFantasyStyler::SetStyle(TFantasyStyle Value) {
  style_ = Value;
  TRootItem* root = RootItem();
  TSelectedItem* sel = SelectedItem();
  TIconBar* icon = IconBar();
  TBackground* back = Background();
  TSeparator* sep = Separator();
  root->SetSelectedColorMirror(clNone);
  root->SetSelectedColorMirrorTo(clNone);
  root->SetHoverColorMirror(clNone);
  root->SetHoverColorMirrorTo(clNone);
  sel->SetColorMirror(clNone);
  sel->SetColorMirrorTo(clNone);
  // The values every style but fsWhidbey gives, in the order of the style tables.
  struct TCommon {
    TColor BackColor, BackColorTo;
    int32_t BackDirection;  // -1: unchanged
    TColor Border, FontColor;
    TColor RootColor, RootColorTo, RootFontColor;
    int32_t RootFontSize;
    TFontStyles RootFontStyle;
    TMenuDirection RootDirection;
    TColor HoverBorder, Hover, HoverTo, HoverText, SelBorder, Sel, SelTo, SelText;
    TColor ItemBorder, ItemCheckBorder, ItemCheck, ItemCheckTo;
    int32_t ItemCheckDirection;
    TColor ItemColor, ItemColorTo, ItemFontColor;
    TFontStyles ItemFontStyle;
    TMenuDirection ItemDirection;
    TColor ItemRadioBorder, ItemRadio, ItemRadioTo;
    int32_t ItemRadioDirection;
    TColor IconCheckBorder, IconCheck, IconCheckTo;
    int32_t IconCheckDirection;
    TColor IconColor, IconColorTo, IconRadioBorder, IconRadio, IconRadioTo;
    int32_t IconRadioDirection;
    TColor SepColor, SepColorTo;
    int32_t SepDirection;
  };
  constexpr int32_t V = static_cast<int32_t>(gdVertical), H = static_cast<int32_t>(gdHorizontal), U = -1;
  const TFontStyles none{};
  auto applyCommon = [&](const TCommon& c) {
    back->SetColor(c.BackColor);
    back->SetColorTo(c.BackColorTo);
    if (c.BackDirection >= 0) back->SetGradientDirection(static_cast<TMenuDirection>(c.BackDirection));
    SetMenuBorderColor(c.Border);
    Font()->SetColor(c.FontColor);
    root->SetColor(c.RootColor);
    root->SetColorTo(c.RootColorTo);
    SetFontValues(root->Font(), c.RootFontColor, c.RootFontSize, c.RootFontStyle);
    root->SetGradientDirection(c.RootDirection);
    root->SetHoverBorderColor(c.HoverBorder);
    root->SetHoverColor(c.Hover);
    root->SetHoverColorTo(c.HoverTo);
    root->SetHoverTextColor(c.HoverText);
    root->SetSelectedBorderColor(c.SelBorder);
    root->SetSelectedColor(c.Sel);
    root->SetSelectedColorTo(c.SelTo);
    root->SetSelectedTextColor(c.SelText);
    sel->SetBorderColor(c.ItemBorder);
    sel->SetCheckBorder(c.ItemCheckBorder);
    sel->SetCheckColor(c.ItemCheck);
    sel->SetCheckColorTo(c.ItemCheckTo);
    if (c.ItemCheckDirection >= 0) sel->SetCheckGradientDirection(static_cast<TMenuDirection>(c.ItemCheckDirection));
    sel->SetColor(c.ItemColor);
    sel->SetColorTo(c.ItemColorTo);
    sel->Font()->SetColor(c.ItemFontColor);
    sel->Font()->SetStyle(c.ItemFontStyle);
    sel->SetGradientDirection(c.ItemDirection);
    sel->SetRadioBorder(c.ItemRadioBorder);
    sel->SetRadioColor(c.ItemRadio);
    sel->SetRadioColorTo(c.ItemRadioTo);
    if (c.ItemRadioDirection >= 0) sel->SetRadioGradientDirection(static_cast<TMenuDirection>(c.ItemRadioDirection));
    sel->SetUseSystemFont(false);
    icon->SetCheckBorder(c.IconCheckBorder);
    icon->SetCheckColor(c.IconCheck);
    icon->SetCheckColorTo(c.IconCheckTo);
    if (c.IconCheckDirection >= 0) icon->SetCheckGradientDirection(static_cast<TMenuDirection>(c.IconCheckDirection));
    icon->SetColor(c.IconColor);
    icon->SetColorTo(c.IconColorTo);
    icon->SetRadioBorder(c.IconRadioBorder);
    icon->SetRadioColor(c.IconRadio);
    icon->SetRadioColorTo(c.IconRadioTo);
    if (c.IconRadioDirection >= 0) icon->SetRadioGradientDirection(static_cast<TMenuDirection>(c.IconRadioDirection));
    icon->SetSize(24);
    sep->SetColor(c.SepColor);
    sep->SetColorTo(c.SepColorTo);
    if (c.SepDirection >= 0) sep->SetGradientDirection(static_cast<TMenuDirection>(c.SepDirection));
  };
  auto noPicture = [&] {
    if (back->HasImage()) back->Image()->Assign(nullptr);
  };
  switch (Value) {
    case fsArctic:
      applyCommon({clWindow, clNone, H, 0x00C0C0C0, 0x00C0C0C0,
                   0x00FFFFFF, clInactiveCaptionText, 0x00C0C0C0, 8, none, gdVertical,
                   clNone, clNone, clNone, 0x00808080, 0x00C0C0C0, clInactiveCaptionText, 0x00FFFFFF, 0x00808080,
                   0x00C0C0C0, 0x00C0C0C0, 0x00C0C0C0, 0x00FFFFFF, U,
                   0x00FFFFFF, clInactiveCaptionText, 0x00808080, none, gdVertical,
                   0x00C0C0C0, 0x00C0C0C0, 0x00FFFFFF, U,
                   0x00C0C0C0, clNone, clNone, U,
                   0x00EFEFEF, 0x00FFFFFF, 0x00C0C0C0, clNone, clNone, U,
                   0x00C0C0C0, 0x00FFFFFF, H});
      noPicture();
      SideBar()->SetVisible(false);
      break;
    case fsAquaBlue:
      applyCommon({0x00FFFFFF, 0x00FFFFFF, H, clNone, 0x0026B0FB,
                   0x00D08130, 0x00FEF17E, 0x00FFFFFF, 8, none, gdHorizontal,
                   clNone, 0x00E6E0B0, 0x00F9FFBF, 0x00D08130, clNone, 0x00E6E0B0, 0x00F9FFBF, 0x000080FF,
                   0x00D08130, 0x00D08130, clNone, clNone, H,
                   0x00FEF17E, 0x00D08130, 0x00FFFFFF, {fsBold}, gdVertical,
                   0x00D08130, clNone, clNone, U,
                   clNone, 0x00A7EDFF, 0x00FFFFFF, H,
                   0x00E6E0B0, 0x00FFFFFF, clNone, 0x00A7EDFF, 0x00FFFFFF, H,
                   0x00E6E0B0, 0x00E6E0B0, H});
      noPicture();
      SideBar()->SetVisible(false);
      break;
    case fsChocolate:
      applyCommon({clWindow, clBtnFace, H, 0x00808080, 0x00000080,
                   clBtnFace, 0x00FFFFFF, 0x00000080, 8, none, gdVertical,
                   0x0094CCCB, 0x00D9FFFF, 0x00C1FFFE, 0x00000080, 0x007A868A, clBtnFace, 0x00FFFFFF, 0x007A868A,
                   0x0094CCCB, 0x006F4B4B, 0x003E80FE, clNone, U,
                   0x00C1FFFE, 0x00D9FFFF, 0x007A868A, none, gdHorizontal,
                   0x006F4B4B, 0x003E80FE, clNone, U,
                   0x006F4B4B, 0x006FC0FF, clNone, U,
                   0x00D7EDED, 0x008AC2C1, 0x006F4B4B, 0x006FC0FF, clNone, U,
                   0x007A868A, clNone, U});
      noPicture();
      SideBar()->SetVisible(false);
      break;
    case fsMacOS:
      applyCommon({0x00FFFFFF, 0x00F3F3F3, V, 0x00808080, 0x00000000,
                   0x00FFFFFF, 0x00F3F3F3, 0x00000000, 8, none, gdVertical,
                   clNone, 0x00C0C0C0, 0x00BBBBBB, 0x00000000, clNone, 0x00F19546, 0x00C34907, 0x00FFFFFF,
                   clNone, clNone, 0x00F3F3F3, 0x00BBBBBB, V,
                   0x00F19546, 0x00C34907, 0x00FFFFFF, none, gdVertical,
                   clNone, 0x00F3F3F3, 0x00BBBBBB, V,
                   clNone, clNone, clNone, U,
                   0x00F3F3F3, 0x00FFFFFF, clNone, clNone, clNone, U,
                   0x00FFFFFF, 0x00FFFFFF, U});
      noPicture();
      SideBar()->SetVisible(false);
      break;
    case fsSilverFox:
      applyCommon({0x00D1C9C8, 0x00D1C9C8, V, 0x00666666, 0x00000000,
                   0x00FFFFFF, 0x00C5BAB7, 0x00000000, 8, none, gdVertical,
                   0x006A240A, 0x00D2BDB5, clNone, 0x000000B0, 0x00666666, 0x00F1F3F4, clNone, 0x00000000,
                   0x006A240A, clNone, clNone, clNone, U,
                   0x00D2BDB5, clNone, 0x000000B0, none, gdVertical,
                   clNone, clNone, clNone, U,
                   clNone, clNone, clNone, U,
                   0x00FFFFFF, 0x00E4DCDA, clNone, clNone, clNone, U,
                   0x00A6A6A6, clNone, H});
      noPicture();
      SideBar()->SetVisible(false);
      break;
    case fsSoftSand:
      applyCommon({0x00E7F7FF, clNone, H, 0x00000000, 0x00808080,
                   0x00E7F7FF, 0x00FFFFFF, 0x00808080, 8, none, gdHorizontal,
                   clNone, 0x00E7F7FF, clNone, 0x000884BD, 0x00000000, 0x00E7F7FF, clNone, 0x000884BD,
                   clNone, clNone, clNone, clNone, U,
                   0x00B5DEF7, 0x00E7F7FF, 0x000884BD, none, gdHorizontal,
                   clNone, clNone, clNone, U,
                   clNone, clNone, clNone, U,
                   0x00B5DEF7, clNone, clNone, clNone, clNone, U,
                   0x000884BD, 0x000884BD, U});
      noPicture();
      SideBar()->SetVisible(false);
      break;
    case fsTerminalGreen:
      applyCommon({clWindow, clNone, H, 0x0000C000, 0x00008000,
                   0x00F7FFF7, clNone, 0x00000000, 8, none, gdVertical,
                   clNone, 0x00F7FFF7, clNone, 0x0000C000, 0x0000C000, 0x0000C000, clNone, 0x00000000,
                   0x0000C000, clNone, clNone, clNone, U,
                   0x00F7FFF7, clNone, 0x00008000, none, gdVertical,
                   clNone, clNone, clNone, U,
                   clNone, 0x0000C000, clNone, U,
                   0x0000A000, clNone, clNone, 0x0000C000, clNone, U,
                   0x0000C000, clNone, U});
      noPicture();
      SideBar()->SetVisible(false);
      break;
    case fsTextured: {
      applyCommon({clNone, clNone, V, 0x000000B0, 0x00FFFFFF,
                   0x00CFD5F3, 0x00CFD5F3, 0x00000000, 10, {fsBold, fsItalic}, gdVertical,
                   0x000000B0, clNone, clNone, 0x00000000, 0x000000B0, clNone, clNone, 0x000000B0,
                   0x000000FF, clNone, clNone, clNone, U,
                   clNone, clNone, 0x000000FF, {fsBold}, gdVertical,
                   clNone, clNone, clNone, U,
                   clNone, clNone, clNone, U,
                   0x00CFD5F3, 0x00CFD5F3, clNone, clNone, clNone, U,
                   0x00FFFFFF, clNone, H});
      TBitmap texture;
      try {
        texture.LoadFromResourceName(HInstance, "MENUTEXTURE");
        back->Image()->SetGraphic(&texture);
      } catch (const Exception&) {
        // A program built without the control set's pictures keeps the plain background.
      }
      back->SetPosition(bpTiled);
      SideBar()->SetVisible(false);
      break;
    }
    case fsWindowsClassic:
      applyCommon({clMenu, clMenu, H, 0x00000000, 0x00000000,
                   clMenu, clNone, 0x00000000, 8, none, gdVertical,
                   clNone, 0x00A1684A, clNone, 0x00FFFFFF, clNone, 0x00A1684A, clNone, 0x00FFFFFF,
                   clNone, clNone, clNone, clNone, U,
                   0x00A1684A, clNone, 0x00FFFFFF, none, gdHorizontal,
                   clNone, clNone, clNone, U,
                   clNone, clNone, clNone, U,
                   clMenu, clNone, clNone, clNone, clNone, U,
                   0x00000000, clNone, U});
      noPicture();
      SideBar()->Background()->SetGradientDirection(gdHorizontal);
      SideBar()->SetCaption("Quillane");
      SideBar()->Font()->SetColor(0x00FFFFFF);
      SideBar()->Image()->SetColor(0x00EDC6A9);
      SideBar()->Image()->SetColorTo(0x006A240A);
      SideBar()->SetVisible(true);
      break;
    case fsWhidbey:
      back->SetColor(0x00F9FCFC);
      back->SetColorTo(0x00F9FCFC);
      SetMenuBorderColor(0x007A868A);
      root->SetColor(0x00D9E6E7);
      root->SetColorTo(0x00D9E6E7);
      root->SetHoverBorderColor(0x00C66931);
      root->SetHoverColor(0x00EFD3C6);
      root->SetHoverColorTo(clNone);
      root->SetHoverTextColor(clWindowText);
      root->SetSelectedBorderColor(0x007A868A);
      root->SetSelectedColor(0x00F4F9F9);
      root->SetSelectedColorTo(clNone);
      root->SetSelectedTextColor(0x00000000);
      sel->SetBorderColor(0x00C56A31);
      sel->SetCheckBorder(0x00000000);
      sel->SetCheckColor(0x00C56A31);
      sel->SetCheckColorTo(clNone);
      sel->SetColor(0x00EED2C1);
      sel->SetColorTo(clNone);
      sel->SetRadioBorder(0x00000000);
      sel->SetRadioColor(0x00C56A31);
      sel->SetRadioColorTo(clNone);
      icon->SetCheckBorder(0x00C56A31);
      icon->SetCheckColor(0x00E8E6E1);
      icon->SetCheckColorTo(clNone);
      icon->SetColor(0x00FBFEFE);
      icon->SetColorTo(0x00ACC3C4);
      icon->SetSize(24);
      sep->SetColor(0x00B8C2C5);
      sep->SetColorTo(clNone);
      break;
    case fsCustom:
      break;
  }
  if (ICvMenu* menu = Menu())
    if (auto* main = dynamic_cast<TMainMenu*>(menu->GetMenu()))
      if (HWND wnd = main->WindowHandle()) DrawMenuBar(wnd);
}

void CvMenuStylersRegisterClasses() {
  RegisterClass(TCvMenuStyler::StaticClass());
  RegisterClass(TCvMenuFantasyStyler::StaticClass());
}
