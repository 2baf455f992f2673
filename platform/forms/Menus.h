// Menus: shortcuts, menu items, main and pop-up menus, the window system's menu calls over them,
// and the menu windows (the form's menu bar and the drop-down windows).
//
// Every item measures and paints itself: the menu windows ask it (MeasureItem, then
// AdvancedDrawItem) with the canvas of the menu font on the menu window's device context,
// clipped to the item. An owner-drawn item (its menu's OwnerDraw, or images in use) runs
// OnMeasureItem after the classic measuring, and OnAdvancedDrawItem (else OnDrawItem, else the
// classic drawing) to paint; other items are measured and drawn in the classic look.
//
// Menu commands behave as the platform's: choosing an item closes the menus and posts the
// command, so OnClick runs from the message loop after the menus are gone. Opening a sub-menu
// clicks its parent item first (OnClick there prepares the sub-menu). TPopupMenu::Popup and
// TrackPopupMenu run the menu modally, as the platform does; the menu bar runs inside the
// form's own message loop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/gdi/ImgList.h"

class TMenu;
class TMenuItem;

PX_DECLARE_EXCEPTION(EMenuError, Exception);

// ---------------------------------------------------------------------------------------------
// Shortcuts: a virtual key with the modifier bits.

using TShortCut = uint16_t;
inline constexpr TShortCut scNone = 0, scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;

TShortCut ShortCut(uint16_t Key, TShiftState Shift);
void ShortCutToKey(TShortCut ShortCut, uint16_t& Key, TShiftState& Shift);
// "Shift+Ctrl+Alt+" before the key's name ("A", "F10", "Del", "PgUp", "Num *"...); "" for a key
// without a name.
std::string ShortCutToText(TShortCut ShortCut);
// The reverse, ignoring case; 0 for text that names no shortcut.
TShortCut TextToShortCut(std::string_view Text);
PTypeInfo TypeInfo_TShortCut();

// ---------------------------------------------------------------------------------------------
// Owner draw

// The state of an owner-drawn item (the platform's ODS_* bits, in order).
enum class TOwnerDrawStateItem : uint8_t {
  odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight, odInactive, odNoAccel,
  odNoFocusRect, odReserved1, odReserved2, odComboBoxEdit
};
using enum TOwnerDrawStateItem;
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;

enum class TMenuBreak : uint8_t { mbNone, mbBreak, mbBarBreak };
using enum TMenuBreak;
// Automatic hot keys and line reduction: on, off, or as the parent has it (items only).
enum class TMenuAutoFlag : uint8_t { maAutomatic, maManual, maParent };
using enum TMenuAutoFlag;
using TMenuItemAutoFlag = TMenuAutoFlag;
enum class TPopupAlignment : uint8_t { paLeft, paRight, paCenter };
using enum TPopupAlignment;
enum class TTrackButton : uint8_t { tbRightButton, tbLeftButton };
using enum TTrackButton;
enum class TFindItemKind : uint8_t { fkCommand, fkHandle, fkShortCut };
using enum TFindItemKind;

PTypeInfo TypeInfo_TMenuBreak();
PTypeInfo TypeInfo_TMenuAutoFlag();
PTypeInfo TypeInfo_TPopupAlignment();
PTypeInfo TypeInfo_TTrackButton();

PX_EVENT_TYPE(TMenuMeasureItemEvent, void(TObject* Sender, TCanvas* ACanvas, int32_t& Width, int32_t& Height));
PX_EVENT_TYPE(TMenuDrawItemEvent, void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, bool Selected));
PX_EVENT_TYPE(TAdvancedMenuDrawItemEvent,
              void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State));
PX_EVENT_TYPE(TMenuChangeEvent, void(TObject* Sender, TMenuItem* Source, bool Rebuild));

// ---------------------------------------------------------------------------------------------
// TMenuItem

class TMenuItem : public TComponent {
  PX_CLASS(TMenuItem)
 public:
  explicit TMenuItem(TComponent* AOwner);
  // Frees the sub-items (also those another component owns) and leaves the parent.
  ~TMenuItem() override;

  // ---- Sub-items
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // EMenuError "Menu index out of range" for a bad index.
  TMenuItem* Items(int32_t Index) const;
  void Add(TMenuItem* Item);
  // Index 0..Count (EMenuError "Menu index out of range" outside); EMenuError "Menu inserted
  // twice" when Item has a parent already (or is this item or one of its parents).
  void Insert(int32_t Index, TMenuItem* Item);
  // Takes the sub-item out (it is not freed).
  void Delete(int32_t Index);
  // EMenuError "Sub-menu is not in menu" when Item is not a sub-item.
  void Remove(TMenuItem* Item);
  // Frees every sub-item.
  void Clear();
  int32_t IndexOf(const TMenuItem* Item) const;
  // The sub-item whose caption without "&" equals ACaption, ignoring case; nullptr when none.
  TMenuItem* Find(std::string_view ACaption) const;
  TMenuItem* Parent() const { return parent_; }
  // The place in the parent (-1 without one); setting moves the item (clamped).
  int32_t MenuIndex() const;
  void SetMenuIndex(int32_t Value);
  // The menu this item belongs to (through its parents); nullptr when none.
  TMenu* GetParentMenu() const;
  // The caption is "-".
  bool IsLine() const { return caption_ == "-"; }
  // The image list of the item: the nearest parent's SubMenuImages, else the menu's Images.
  TCustomImageList* GetImageList() const;

  // The platform menu of the sub-items (made on first use, valid while the item lives).
  HMENU Handle();
  // The command id posted when the item is chosen (unique while the item lives).
  uint16_t Command() const { return command_; }

  // Checks the item when AutoCheck is set, then OnClick (only when enabled).
  virtual void Click();

  // ---- Properties
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& Value);
  bool Checked() const { return checked_; }
  // A checked radio item unchecks the radio items of its group among its siblings.
  void SetChecked(bool Value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  // The default item of its menu (drawn bold).
  bool Default() const { return default_; }
  void SetDefault(bool Value);
  bool RadioItem() const { return radio_item_; }
  void SetRadioItem(bool Value);
  uint8_t GroupIndex() const { return group_index_; }
  void SetGroupIndex(uint8_t Value);
  TMenuBreak Break() const { return break_; }
  void SetBreak(TMenuBreak Value);
  TShortCut ShortCut() const { return short_cut_; }
  void SetShortCut(TShortCut Value);
  int32_t ImageIndex() const { return image_index_; }
  void SetImageIndex(int32_t Value);
  // The item's own glyph (made on first use); empty unless set.
  TBitmap* Bitmap();
  void SetBitmap(TBitmap* Value);
  bool HasBitmap() const { return bitmap_ && !bitmap_->Empty(); }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value) { hint_ = Value; }
  bool AutoCheck() const { return auto_check_; }
  void SetAutoCheck(bool Value) { auto_check_ = Value; }
  TMenuItemAutoFlag AutoHotkeys() const { return auto_hotkeys_; }
  void SetAutoHotkeys(TMenuItemAutoFlag Value);
  TMenuItemAutoFlag AutoLineReduction() const { return auto_line_reduction_; }
  void SetAutoLineReduction(TMenuItemAutoFlag Value);
  TCustomImageList* SubMenuImages() const { return sub_menu_images_; }
  void SetSubMenuImages(TCustomImageList* Value);

  const TNotifyEvent& OnClick() const { return on_click_; }
  void SetOnClick(const TNotifyEvent& Value) { on_click_ = Value; }
  const TMenuDrawItemEvent& OnDrawItem() const { return on_draw_item_; }
  void SetOnDrawItem(const TMenuDrawItemEvent& Value);
  const TAdvancedMenuDrawItemEvent& OnAdvancedDrawItem() const { return on_advanced_draw_item_; }
  void SetOnAdvancedDrawItem(const TAdvancedMenuDrawItemEvent& Value);
  const TMenuMeasureItemEvent& OnMeasureItem() const { return on_measure_item_; }
  void SetOnMeasureItem(const TMenuMeasureItemEvent& Value);

  // Whether the item measures and paints through its events (owner draw).
  bool IsOwnerDrawn() const;
  // Whether automatic hot keys / line reduction apply to the sub-items.
  bool AutoHotkeysActive() const;
  bool AutoLineReductionActive() const;

  // Nested in form descriptions under the parent item, or the menu for top-level items.
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // ---- What the menu windows call (the platform's WM_MEASUREITEM / WM_DRAWITEM)
  // Width and Height come in as the platform's defaults (0 and the standard item height).
  virtual void MeasureItem(TCanvas* ACanvas, int32_t& Width, int32_t& Height);
  // TopLevel: a menu-bar item.
  virtual void AdvancedDrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State, bool TopLevel);
  virtual void DrawItem(TCanvas* ACanvas, const TRect& ARect, bool Selected);

 protected:
  friend class TMenu;
  friend void RethinkHotkeys(TMenuItem* Item);
  // Tells the menu (and the menu windows) that the item changed; Rebuild: its size may have.
  virtual void MenuChanged(bool Rebuild);
  // The classic look.
  void DefaultMeasureItem(TCanvas* ACanvas, int32_t& Width, int32_t& Height);
  void DefaultDrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State, bool TopLevel);

 private:
  void TurnSiblingsOff();
  void SetParentItem(TMenuItem* Value);
  void BitmapChanged(TObject* Sender);
  // The menu the root item belongs to.
  TMenu* menu_ = nullptr;

  std::vector<TMenuItem*> items_;  // not owned (their owner frees them, or ~TMenuItem does)
  TMenuItem* parent_ = nullptr;
  std::string caption_;
  bool checked_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  bool default_ = false;
  bool radio_item_ = false;
  bool auto_check_ = false;
  uint8_t group_index_ = 0;
  TMenuBreak break_ = mbNone;
  TShortCut short_cut_ = 0;
  int32_t image_index_ = -1;
  std::unique_ptr<TBitmap> bitmap_;
  std::string hint_;
  TMenuItemAutoFlag auto_hotkeys_ = maParent;
  TMenuItemAutoFlag auto_line_reduction_ = maParent;
  TCustomImageList* sub_menu_images_ = nullptr;
  uint16_t command_ = 0;
  HMENU handle_ = nullptr;
  TNotifyEvent on_click_;
  TMenuDrawItemEvent on_draw_item_;
  TAdvancedMenuDrawItemEvent on_advanced_draw_item_;
  TMenuMeasureItemEvent on_measure_item_;
};

// ---------------------------------------------------------------------------------------------
// Menus

class TMenu : public TComponent {
  PX_CLASS(TMenu)
 public:
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;

  // The root item holding the menu's items.
  TMenuItem* Items() const { return items_.get(); }
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* Value);
  bool OwnerDraw() const { return owner_draw_; }
  void SetOwnerDraw(bool Value);
  TMenuAutoFlag AutoHotkeys() const { return auto_hotkeys_; }
  void SetAutoHotkeys(TMenuAutoFlag Value);
  TMenuAutoFlag AutoLineReduction() const { return auto_line_reduction_; }
  void SetAutoLineReduction(TMenuAutoFlag Value);
  const TMenuChangeEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TMenuChangeEvent& Value) { on_change_ = Value; }

  // The platform menu of the items.
  HMENU Handle() { return items_->Handle(); }
  // The window that shows the menu (a main menu's form; 0 otherwise).
  virtual HWND WindowHandle() const { return nullptr; }

  // The key down is the shortcut of an item (visible or not): the item's parents are clicked
  // top-down (as opening them would), then the item; false when none has it or it (or a parent)
  // is disabled.
  bool IsShortCut(TWMKey& Message);
  TMenuItem* FindItem(uintptr_t Value, TFindItemKind Kind);
  // Clicks the item of the command; false when none has it.
  bool DispatchCommand(uint16_t ACommand);
  // Clicks the item whose sub-menu is AMenu (it is about to open); false when none.
  bool DispatchPopup(HMENU AMenu);
  // The items changed in ways the platform must measure again: the menu windows rebuild.
  void UpdateItems();

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  friend class TMenuItem;
  // An item (Source; nullptr for the menu itself) changed: OnChange; Rebuild when sizes may
  // have changed.
  virtual void MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild);

 private:
  std::unique_ptr<TMenuItem> items_;
  TCustomImageList* images_ = nullptr;
  std::unique_ptr<TChangeLink> image_change_link_;
  bool owner_draw_ = false;
  TMenuAutoFlag auto_hotkeys_ = maAutomatic;
  TMenuAutoFlag auto_line_reduction_ = maAutomatic;
  TMenuChangeEvent on_change_;
  void ImageListChange(TObject* Sender);
};

class TMainMenu : public TMenu {
  PX_CLASS(TMainMenu)
 public:
  explicit TMainMenu(TComponent* AOwner);
  ~TMainMenu() override;
  // The form whose Menu this is (its window), 0 when none.
  HWND WindowHandle() const override;
  // The form showing the menu, nullptr when none.
  TCustomForm* Form() const;
  // A menu read with its form shows on the form that names it as its Menu.
  void Loaded() override;

 protected:
  void MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild) override;
};

class TPopupMenu : public TMenu {
  PX_CLASS(TPopupMenu)
 public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  // OnPopup, then shows the menu at the screen point (aligned by Alignment) and runs it until
  // it closes; the chosen item's OnClick follows from the message loop.
  virtual void Popup(int32_t X, int32_t Y);
  // The control whose right click showed the menu (set before Popup by AutoPopup).
  TComponent* PopupComponent() const { return popup_component_; }
  void SetPopupComponent(TComponent* Value);
  TPoint PopupPoint() const { return popup_point_; }
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment Value) { alignment_ = Value; }
  bool AutoPopup() const { return auto_popup_; }
  void SetAutoPopup(bool Value) { auto_popup_ = Value; }
  TTrackButton TrackButton() const { return track_button_; }
  void SetTrackButton(TTrackButton Value) { track_button_ = Value; }
  const TNotifyEvent& OnPopup() const { return on_popup_; }
  void SetOnPopup(const TNotifyEvent& Value) { on_popup_ = Value; }

  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  virtual void DoPopup(TObject* Sender);

 private:
  TComponent* popup_component_ = nullptr;
  TPoint popup_point_{-1, -1};
  TPopupAlignment alignment_ = paLeft;
  bool auto_popup_ = true;
  TTrackButton track_button_ = tbRightButton;
  TNotifyEvent on_popup_;
};

// The caption with "&" markers for unique hot keys added to the items that lack one (the
// automatic hot keys of a menu); the captions of Item's sub-items change in place.
void RethinkHotkeys(TMenuItem* Item);
// The sub-items shown: visible ones, with redundant separators (leading, trailing, doubled)
// dropped when line reduction applies.
std::vector<TMenuItem*> VisibleMenuItems(TMenuItem* Parent);

// Registers the menu classes with the form loader (FormsStartup calls it).
void MenusRegisterClasses();

// ---------------------------------------------------------------------------------------------
// The window system's menu calls

enum : UINT {
  TPM_LEFTBUTTON = 0x0000, TPM_RIGHTBUTTON = 0x0002, TPM_LEFTALIGN = 0x0000, TPM_CENTERALIGN = 0x0004,
  TPM_RIGHTALIGN = 0x0008, TPM_TOPALIGN = 0x0000, TPM_VCENTERALIGN = 0x0010, TPM_BOTTOMALIGN = 0x0020,
  TPM_NONOTIFY = 0x0080, TPM_RETURNCMD = 0x0100
};

// The number of items of a platform menu (the visible ones); -1 for a bad handle.
int32_t GetMenuItemCount(HMENU Menu);
// The sub-menu at a position, nullptr when the item has none.
HMENU GetSubMenu(HMENU Menu, int32_t Pos);
// The command of the item at a position; 0xFFFFFFFF for a sub-menu or a bad position.
UINT GetMenuItemID(HMENU Menu, int32_t Pos);
BOOL IsMenu(HMENU Menu);
// The menu of a form's window (its main menu), nullptr when none.
HMENU GetMenu(HWND Wnd);
// Measures the menu bar of the form's window again and repaints it.
BOOL DrawMenuBar(HWND Wnd);
// The screen rectangle of an item of the menu bar (Wnd the form's window) or of a drop-down
// menu being shown; FALSE when the menu is not shown or the position is bad.
BOOL GetMenuItemRect(HWND Wnd, HMENU Menu, UINT Item, TRect* Rect);
// Shows a menu at the screen point and runs it until it closes. The owner window (0: the
// window that runs the items of menu commands) gets WM_INITMENUPOPUP (sent) when a menu opens,
// unless TPM_NONOTIFY, and WM_COMMAND (posted after the menu closed) for the chosen item, unless
// TPM_NONOTIFY or TPM_RETURNCMD; with TPM_RETURNCMD the answer is the chosen command (0 when
// none). FALSE when another menu is running or the handle is bad.
BOOL TrackPopupMenu(HMENU Menu, UINT Flags, int32_t X, int32_t Y, int32_t Reserved, HWND Wnd, const TRect* Rect);
// Closes the menus being shown.
BOOL EndMenu();
// The drop-down window shown for a platform menu, 0 when it is not shown.
HWND MenuWindowFromMenu(HMENU Menu);

// SystemParametersInfo: the non-client metrics (menu font and menu button size) and the menu
// animation switch of the desktop.
enum : UINT {
  SPI_GETNONCLIENTMETRICS = 0x0029, SPI_GETMENUSHOWDELAY = 0x006A, SPI_GETMENUANIMATION = 0x1002,
  SPI_SETMENUANIMATION = 0x1003
};
enum : UINT { SPIF_UPDATEINIFILE = 0x0001, SPIF_SENDCHANGE = 0x0002, SPIF_SENDWININICHANGE = 0x0002 };
struct NONCLIENTMETRICS {
  UINT cbSize = sizeof(NONCLIENTMETRICS);
  int32_t iBorderWidth = 0;
  int32_t iScrollWidth = 0;
  int32_t iScrollHeight = 0;
  int32_t iCaptionWidth = 0;
  int32_t iCaptionHeight = 0;
  LOGFONT lfCaptionFont;
  int32_t iSmCaptionWidth = 0;
  int32_t iSmCaptionHeight = 0;
  LOGFONT lfSmCaptionFont;
  int32_t iMenuWidth = 0;
  int32_t iMenuHeight = 0;
  LOGFONT lfMenuFont;
  LOGFONT lfStatusFont;
  LOGFONT lfMessageFont;
};
// GETNONCLIENTMETRICS fills the record (its cbSize and Param must be its size); the menu
// animation is a setting of this process's desktop. FALSE for an unknown action or bad size.
BOOL SystemParametersInfo(UINT Action, UINT Param, void* PVParam, UINT WinIni);
