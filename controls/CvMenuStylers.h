// Menu stylers: the colours, fonts, glyphs and sizes an owner-drawn main menu paints with.
//
// A styler holds option objects (background, icon bar, selected item, root items of the menu
// bar, glyphs, side bar, separators). Each option object knows the menu it serves: a change
// refreshes that menu, and a change of sizes or fonts makes it measure its items again.
// TCvMenuFantasyStyler fills the options from ten named styles.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "controls/CvMenus.h"
#include "platform/gdi/Graphics.h"

// ---------------------------------------------------------------------------------------------
// Option objects

class TGradientBar : public TPersistent {
  PX_CLASS(TGradientBar)
 public:
  TGradientBar();
  void Assign(TPersistent* Source) override;

  // Colours by index: 0 Color, 1 ColorTo; any other index raises EInvalidPropertyIndex
  // ("Invalid property index %d.").
  TColor IndexedColor(int32_t Index) const;
  void SetIndexedColor(int32_t Index, TColor Value);
  TColor Color() const { return IndexedColor(0); }
  void SetColor(TColor Value) { SetIndexedColor(0, Value); }
  TColor ColorTo() const { return IndexedColor(1); }
  void SetColorTo(TColor Value) { SetIndexedColor(1, Value); }
  CvMenus::TGradientDirection GradientDirection() const { return direction_; }
  void SetGradientDirection(CvMenus::TGradientDirection Value);

  // The menu the options serve (set when a menu attaches their styler).
  ICvMenu* Menu() const { return menu_; }
  virtual void SetMenu(ICvMenu* Value) { menu_ = Value; }

 protected:
  // Refreshes the menu; Rebuild makes it measure its items again.
  void Changed(bool Rebuild = false);
  TColor colors_[2];
  CvMenus::TGradientDirection direction_ = CvMenus::TGradientDirection::gdVertical;
  ICvMenu* menu_ = nullptr;
};

// A gradient bar with the colours of the check and radio marks drawn on it.
class TCheckGradientBar : public TGradientBar {
  PX_CLASS(TCheckGradientBar)
 public:
  // The marks' first colour, both with a border of $006F4B4B.
  explicit TCheckGradientBar(TColor MarkColor);
  void Assign(TPersistent* Source) override;
  // 0 the colour, 1 the second colour; other indexes raise.
  TColor CheckColors(int32_t Index) const;
  void SetCheckColors(int32_t Index, TColor Value);
  TColor RadioColors(int32_t Index) const;
  void SetRadioColors(int32_t Index, TColor Value);
  TColor CheckColor() const { return CheckColors(0); }
  void SetCheckColor(TColor Value) { SetCheckColors(0, Value); }
  TColor CheckColorTo() const { return CheckColors(1); }
  void SetCheckColorTo(TColor Value) { SetCheckColors(1, Value); }
  TColor CheckBorder() const { return check_border_; }
  void SetCheckBorder(TColor Value);
  CvMenus::TGradientDirection CheckGradientDirection() const { return check_direction_; }
  void SetCheckGradientDirection(CvMenus::TGradientDirection Value);
  TColor RadioColor() const { return RadioColors(0); }
  void SetRadioColor(TColor Value) { SetRadioColors(0, Value); }
  TColor RadioColorTo() const { return RadioColors(1); }
  void SetRadioColorTo(TColor Value) { SetRadioColors(1, Value); }
  TColor RadioBorder() const { return radio_border_; }
  void SetRadioBorder(TColor Value);
  CvMenus::TGradientDirection RadioGradientDirection() const { return radio_direction_; }
  void SetRadioGradientDirection(CvMenus::TGradientDirection Value);
 private:
  TColor check_[2];
  TColor radio_[2];
  TColor check_border_ = 0x006F4B4B;
  TColor radio_border_ = 0x006F4B4B;
  CvMenus::TGradientDirection check_direction_ = CvMenus::TGradientDirection::gdVertical;
  CvMenus::TGradientDirection radio_direction_ = CvMenus::TGradientDirection::gdVertical;
};

class TIconBar : public TCheckGradientBar {
  PX_CLASS(TIconBar)
 public:
  TIconBar();
  void Assign(TPersistent* Source) override;
  TColor SeparatorColor() const { return separator_color_; }
  void SetSeparatorColor(TColor Value);
  // The strip's width; never below 16.
  int32_t Size() const { return size_; }
  void SetSize(int32_t Value);

 private:
  TColor separator_color_ = clNone;
  int32_t size_ = 24;
};

class TSelectedItem : public TCheckGradientBar {
  PX_CLASS(TSelectedItem)
 public:
  TSelectedItem();
  ~TSelectedItem() override;
  void Assign(TPersistent* Source) override;
  TColor ColorMirror() const { return color_mirror_; }
  void SetColorMirror(TColor Value);
  TColor ColorMirrorTo() const { return color_mirror_to_; }
  void SetColorMirrorTo(TColor Value);
  TColor BorderColor() const { return border_color_; }
  void SetBorderColor(TColor Value);
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* Value) { font_->Assign(Value); }
  bool UseSystemFont() const { return use_system_font_; }
  void SetUseSystemFont(bool Value);

 private:
  void FontChanged(TObject*) { Changed(true); }
  TColor color_mirror_ = clNone;
  TColor color_mirror_to_ = clNone;
  TColor border_color_ = 0x006F4B4B;
  std::unique_ptr<TFont> font_;
  bool use_system_font_ = true;
};

class TRootItem : public TGradientBar {
  PX_CLASS(TRootItem)
 public:
  TRootItem();
  ~TRootItem() override;
  void Assign(TPersistent* Source) override;
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* Value) { font_->Assign(Value); }
  bool UseSystemFont() const { return use_system_font_; }
  void SetUseSystemFont(bool Value);
  // 0 Color, 1 ColorTo, 2 ColorMirror, 3 ColorMirrorTo; other indexes raise.
  TColor SelectedColors(int32_t Index) const;
  void SetSelectedColors(int32_t Index, TColor Value);
  TColor HoverColors(int32_t Index) const;
  void SetHoverColors(int32_t Index, TColor Value);
  TColor SelectedColor() const { return SelectedColors(0); }
  void SetSelectedColor(TColor Value) { SetSelectedColors(0, Value); }
  TColor SelectedColorTo() const { return SelectedColors(1); }
  void SetSelectedColorTo(TColor Value) { SetSelectedColors(1, Value); }
  TColor SelectedColorMirror() const { return SelectedColors(2); }
  void SetSelectedColorMirror(TColor Value) { SetSelectedColors(2, Value); }
  TColor SelectedColorMirrorTo() const { return SelectedColors(3); }
  void SetSelectedColorMirrorTo(TColor Value) { SetSelectedColors(3, Value); }
  CvMenus::TGradientDirection SelectedGradientDirection() const { return selected_direction_; }
  void SetSelectedGradientDirection(CvMenus::TGradientDirection Value);
  TColor SelectedBorderColor() const { return selected_border_; }
  void SetSelectedBorderColor(TColor Value);
  TColor SelectedTextColor() const { return selected_text_; }
  void SetSelectedTextColor(TColor Value);
  TColor HoverColor() const { return HoverColors(0); }
  void SetHoverColor(TColor Value) { SetHoverColors(0, Value); }
  TColor HoverColorTo() const { return HoverColors(1); }
  void SetHoverColorTo(TColor Value) { SetHoverColors(1, Value); }
  TColor HoverColorMirror() const { return HoverColors(2); }
  void SetHoverColorMirror(TColor Value) { SetHoverColors(2, Value); }
  TColor HoverColorMirrorTo() const { return HoverColors(3); }
  void SetHoverColorMirrorTo(TColor Value) { SetHoverColors(3, Value); }
  CvMenus::TGradientDirection HoverGradientDirection() const { return hover_direction_; }
  void SetHoverGradientDirection(CvMenus::TGradientDirection Value);
  TColor HoverBorderColor() const { return hover_border_; }
  void SetHoverBorderColor(TColor Value);
  TColor HoverTextColor() const { return hover_text_; }
  void SetHoverTextColor(TColor Value);

 private:
  void FontChanged(TObject*) { Changed(true); }
  std::unique_ptr<TFont> font_;
  bool use_system_font_ = true;
  TColor selected_[4];
  TColor hover_[4];
  CvMenus::TGradientDirection selected_direction_ = CvMenus::TGradientDirection::gdVertical;
  CvMenus::TGradientDirection hover_direction_ = CvMenus::TGradientDirection::gdVertical;
  TColor selected_border_ = 0x00947C7C;
  TColor selected_text_ = clWindowText;
  TColor hover_border_ = 0x006F4B4B;
  TColor hover_text_ = clWindowText;
};

// The check, radio and sub-menu glyphs: monochrome bitmaps drawn transparent.
class TMenuGlyphs : public TPersistent {
  PX_CLASS(TMenuGlyphs)
 public:
  TMenuGlyphs();
  ~TMenuGlyphs() override;
  void Assign(TPersistent* Source) override;
  TBitmap* SubMenu() const { return sub_menu_.get(); }
  void SetSubMenu(TBitmap* Value);
  TBitmap* Check() const { return check_.get(); }
  void SetCheck(TBitmap* Value);
  TBitmap* Radio() const { return radio_.get(); }
  void SetRadio(TBitmap* Value);
  ICvMenu* Menu() const { return menu_; }
  void SetMenu(ICvMenu* Value) { menu_ = Value; }

 private:
  void Set(TBitmap* Target, TBitmap* Value);
  std::unique_ptr<TBitmap> sub_menu_, check_, radio_;
  ICvMenu* menu_ = nullptr;
};

// A picture over a gradient: the drop-downs' background and the side bar's.
class TBackground : public TGradientBar {
  PX_CLASS(TBackground)
 public:
  TBackground();
  ~TBackground() override;
  void Assign(TPersistent* Source) override;
  // Made on first use; a bitmap in it is drawn transparent.
  TPicture* Image();
  void SetImage(TPicture* Value);
  // The picture exists and holds something.
  bool HasImage() const;
  TBackgroundPosition Position() const { return position_; }
  void SetPosition(TBackgroundPosition Value);
  int32_t OffsetX() const { return offset_x_; }
  void SetOffsetX(int32_t Value);
  int32_t OffsetY() const { return offset_y_; }
  void SetOffsetY(int32_t Value);
  int32_t MarginX() const { return margin_x_; }
  void SetMarginX(int32_t Value);
  int32_t MarginY() const { return margin_y_; }
  void SetMarginY(int32_t Value);
  // The background composed for the last size asked (DrawMenuBackground).
  TBitmap* Cache() const { return cache_.get(); }

 protected:
  // Rebuild: the picture changes what the menu measures (the side bar's).
  bool rebuild_on_image_ = false;

 private:
  void ImageChanged(TObject*);
  std::unique_ptr<TPicture> image_;
  TBackgroundPosition position_ = bpCenter;
  int32_t offset_x_ = 0, offset_y_ = 0, margin_x_ = 0, margin_y_ = 0;
  std::unique_ptr<TBitmap> cache_;
};

// The caption of the side bar, written turned.
class TBarCaption : public TPersistent {
  PX_CLASS(TBarCaption)
 public:
  TBarCaption();
  ~TBarCaption() override;
  void Assign(TPersistent* Source) override;
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& Value);
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* Value) { font_->Assign(Value); }
  TColor ShadowColor() const { return shadow_color_; }
  void SetShadowColor(TColor Value);
  int32_t Depth() const { return depth_; }
  void SetDepth(int32_t Value);
  TDirection Direction() const { return direction_; }
  void SetDirection(TDirection Value);
  TColor HighlightColor() const { return highlight_color_; }
  void SetHighlightColor(TColor Value);
  int32_t CaptionOffset() const { return caption_offset_; }
  ICvMenu* Menu() const { return menu_; }
  virtual void SetMenu(ICvMenu* Value) { menu_ = Value; }

 protected:
  void Changed(bool Rebuild = false);
  ICvMenu* menu_ = nullptr;

 private:
  void FontChanged(TObject*) { Changed(true); }
  TAlignment alignment_ = taLeftJustify;
  std::string caption_;
  std::unique_ptr<TFont> font_;
  TColor shadow_color_ = clNone;
  int32_t depth_ = 1;
  TDirection direction_ = dDownToUp;
  TColor highlight_color_ = clNone;
  int32_t caption_offset_ = 6;
};

class TSideBar : public TBarCaption {
  PX_CLASS(TSideBar)
 public:
  TSideBar();
  ~TSideBar() override;
  void Assign(TPersistent* Source) override;
  void SetMenu(ICvMenu* Value) override;
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  TSideBarVisibleIn VisibleIn() const { return visible_in_; }
  void SetVisibleIn(TSideBarVisibleIn Value);
  TBackground* Image() const { return image_.get(); }
  void SetImage(TBackground* Value);
  TBackground* Background() const { return background_.get(); }
  void SetBackground(TBackground* Value);
  int32_t Size() const { return size_; }
  void SetSize(int32_t Value);
  TColor SplitterColor() const { return splitter_color_; }
  void SetSplitterColor(TColor Value);
  TColor SplitterColorTo() const { return splitter_color_to_; }
  void SetSplitterColorTo(TColor Value);
  int32_t SplitterWidth() const { return splitter_width_; }
  void SetSplitterWidth(int32_t Value);
  int32_t SplitterMargin() const { return splitter_margin_; }
  void SetSplitterMargin(int32_t Value);
  int32_t SplitterGradientWidth() const { return splitter_gradient_width_; }
  void SetSplitterGradientWidth(int32_t Value);
  TGradientType SplitterGradientType() const { return splitter_gradient_type_; }
  void SetSplitterGradientType(TGradientType Value);
  TColor BorderColor() const { return border_color_; }
  void SetBorderColor(TColor Value);
  // 0: the left side (the only one this menu paints).
  int32_t Side() const { return side_; }
  // The height of the last drop-down the bar was painted in.
  int32_t PopupHeight() const { return popup_height_; }
  void SetPopupHeight(int32_t Value) { popup_height_ = Value; }

 private:
  bool visible_ = false;
  TSideBarVisibleIn visible_in_ = viFirstVisible;
  std::unique_ptr<TBackground> image_, background_;
  int32_t size_ = 24;
  TColor splitter_color_ = 0x00808080;
  TColor splitter_color_to_ = clNone;
  int32_t splitter_width_ = 1;
  int32_t splitter_margin_ = 0;
  int32_t splitter_gradient_width_ = 0;
  TGradientType splitter_gradient_type_ = gtBoth;
  TColor border_color_ = 0x00A19D9D;
  int32_t side_ = 0;
  int32_t popup_height_ = 0;
};

class TSeparator : public TGradientBar {
  PX_CLASS(TSeparator)
 public:
  TSeparator();
  void Assign(TPersistent* Source) override;
  int32_t Width() const { return width_; }
  void SetWidth(int32_t Value);
  TGradientType GradientType() const { return gradient_type_; }
  void SetGradientType(TGradientType Value);
  int32_t GradientWidth() const { return gradient_width_; }
  void SetGradientWidth(int32_t Value);
  int32_t Margin() const { return margin_; }
  void SetMargin(int32_t Value);

 private:
  int32_t width_ = 1;
  TGradientType gradient_type_ = gtBoth;
  int32_t gradient_width_ = 0;
  int32_t margin_ = 2;
};

// ---------------------------------------------------------------------------------------------
// Stylers

class TCustomCvMenuStyler : public TComponent {
  PX_CLASS(TCustomCvMenuStyler)
 public:
  explicit TCustomCvMenuStyler(TComponent* AOwner);
  ~TCustomCvMenuStyler() override;
  // From a TCvMenuStyler: every option but the border colour; other sources are refused.
  void Assign(TPersistent* Source) override;
  // The styler and its options serve the menu, which is refreshed.
  void AttachToMenu(ICvMenu* Menu);
  ICvMenu* Menu() const { return menu_; }

  bool UseSystemFont() const { return use_system_font_; }
  virtual void SetUseSystemFont(bool Value);
  TSeparator* Separator() const { return separator_.get(); }
  virtual void SetSeparator(TSeparator* Value) { separator_->Assign(Value); }
  TBackground* Background() const { return background_.get(); }
  virtual void SetBackground(TBackground* Value) { background_->Assign(Value); }
  TFont* Font() const { return font_.get(); }
  virtual void SetFont(TFont* Value) { font_->Assign(Value); }
  TIconBar* IconBar() const { return icon_bar_.get(); }
  virtual void SetIconBar(TIconBar* Value) { icon_bar_->Assign(Value); }
  TMenuGlyphs* Glyphs() const { return glyphs_.get(); }
  virtual void SetGlyphs(TMenuGlyphs* Value) { glyphs_->Assign(Value); }
  TRootItem* RootItem() const { return root_item_.get(); }
  virtual void SetRootItem(TRootItem* Value) { root_item_->Assign(Value); }
  TSelectedItem* SelectedItem() const { return selected_item_.get(); }
  virtual void SetSelectedItem(TSelectedItem* Value) { selected_item_->Assign(Value); }
  TSideBar* SideBar() const { return side_bar_.get(); }
  virtual void SetSideBar(TSideBar* Value) { side_bar_->Assign(Value); }
  TColor MenuBorderColor() const { return menu_border_color_; }
  virtual void SetMenuBorderColor(TColor Value);
  // The drop-downs' background composed at the menu's size (DrawMenuItem).
  TBitmap* Cache() const { return cache_.get(); }

 protected:
  void Refresh(bool Rebuild = false);

 private:
  bool use_system_font_ = true;
  std::unique_ptr<TSeparator> separator_;
  std::unique_ptr<TBackground> background_;
  std::unique_ptr<TFont> font_;
  std::unique_ptr<TIconBar> icon_bar_;
  std::unique_ptr<TMenuGlyphs> glyphs_;
  std::unique_ptr<TRootItem> root_item_;
  std::unique_ptr<TSelectedItem> selected_item_;
  std::unique_ptr<TSideBar> side_bar_;
  TColor menu_border_color_ = 0x007C7C94;
  ICvMenu* menu_ = nullptr;
  std::unique_ptr<TBitmap> cache_;
};

class TCvMenuStyler : public TCustomCvMenuStyler {
  PX_CLASS(TCvMenuStyler)
 public:
  explicit TCvMenuStyler(TComponent* AOwner) : TCustomCvMenuStyler(AOwner) {}
};

// The named styles; fsCustom keeps what was set.
enum class TFantasyStyle : uint8_t {
  fsArctic, fsAquaBlue, fsChocolate, fsMacOS, fsSilverFox, fsSoftSand, fsTerminalGreen, fsTextured,
  fsWindowsClassic, fsWhidbey, fsCustom
};
PTypeInfo TypeInfo_TFantasyStyle();

class TCvMenuFantasyStyler : public TCvMenuStyler {
  PX_CLASS(TCvMenuFantasyStyler)
 public:
  explicit TCvMenuFantasyStyler(TComponent* AOwner);
  TFantasyStyle Style() const { return style_; }
  // Clears the mirror colours, sets the style's values (fsCustom sets none) and redraws the
  // menu bar.
  virtual void SetStyle(TFantasyStyle Value);

 private:
  TFantasyStyle style_ = TFantasyStyle::fsCustom;
};

void CvMenuStylersRegisterClasses();
