// The owner-drawn main menu: a main menu that paints every item itself in the colours of a menu
// styler (the menu bar, and the drop-downs with an icon bar, an optional side bar, gradient
// backgrounds, a border of their own and their own check, radio and sub-menu glyphs).
//
// The menu installs its measuring and drawing handlers on every item; the item routines
// (CvMenuUtil.h) reach the menu through its menu interface. Without an assigned MenuStyler the
// menu paints with an internal styler it owns ("InternalMenuStyler").
#pragma once

#include <cstdint>
#include <string>

#include "platform/forms/Menus.h"

class TCustomCvMenuStyler;
class TCvMenuStyler;

// The menus' own direction of a gradient (the control set's ten-valued type of the same name
// is another one).
namespace CvMenus {
enum class TGradientDirection : uint8_t {
  gdVertical,   // from top to bottom, one colour per row
  gdHorizontal  // from left to right, one colour per column
};
PTypeInfo TypeInfo_TGradientDirection();
}  // namespace CvMenus

// Where the gradient of a separator runs: from its start, toward its end, or at both ends.
enum class TGradientType : uint8_t { gtLeft, gtRight, gtBoth };
using enum TGradientType;
enum class TBackgroundPosition : uint8_t {
  bpTopLeft, bpTopRight, bpBottomLeft, bpBottomRight, bpTopCenter, bpBottomCenter, bpTiled, bpStretched, bpCenter,
  bpXY
};
using enum TBackgroundPosition;
// The drop-downs that show the side bar.
enum class TSideBarVisibleIn : uint8_t { viFirstVisible, viFirstLevel, viAnyLevel };
using enum TSideBarVisibleIn;
// The reading direction of the side bar's caption.
enum class TDirection : uint8_t { dDownToUp, dUpToDown };
using enum TDirection;

PTypeInfo TypeInfo_TGradientType();
PTypeInfo TypeInfo_TBackgroundPosition();
PTypeInfo TypeInfo_TSideBarVisibleIn();
PTypeInfo TypeInfo_TDirection();

// The menu as its item routines and a styler's option objects see it.
class ICvMenu {
 public:
  virtual void UpdateItems() = 0;
  virtual TMenu* GetMenu() = 0;
  // The assigned styler (nullptr when none).
  virtual TCustomCvMenuStyler* GetMenuStyler() = 0;
  // The assigned styler, else the internal one.
  virtual TCustomCvMenuStyler* GetCurrentStyler() = 0;
  virtual void SetMenuStyler(TCustomCvMenuStyler* Value) = 0;
  virtual uint8_t GetOpacity() = 0;
  virtual void SetOpacity(uint8_t Value) = 0;

 protected:
  ~ICvMenu() = default;
};

// The menu interface of an item's menu (its parent menu, or its owner for an item without a
// parent); nullptr for items of other menus.
ICvMenu* MenuInterfaceOf(const TMenuItem* Item);

class TCvMainMenu : public TMainMenu, public ICvMenu {
  PX_CLASS(TCvMainMenu)
 public:
  explicit TCvMainMenu(TComponent* AOwner);
  ~TCvMainMenu() override;

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Items added while the menu is updating get the handlers when the last update ends.
  void BeginMenuUpdate();
  void EndMenuUpdate();
  bool Updating() const { return updating_; }
  int32_t UpdateCount() const { return update_count_; }

  // The handlers installed on every item.
  void MenuItemMeasureHandler(TObject* Sender, TCanvas* ACanvas, int32_t& Width, int32_t& Height);
  void MenuItemDrawHandler(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State);

  TCustomCvMenuStyler* MenuStyler() const { return assigned_; }
  // The styler that paints while none is assigned.
  TCvMenuStyler* InternalStyler() const { return internal_; }
  std::string Version() const { return "2.0.0.0"; }
  void SetVersion(const std::string&) {}

  // ICvMenu
  void UpdateItems() override { TMainMenu::UpdateItems(); }
  TMenu* GetMenu() override { return this; }
  TCustomCvMenuStyler* GetMenuStyler() override { return assigned_; }
  TCustomCvMenuStyler* GetCurrentStyler() override { return current_; }
  void SetMenuStyler(TCustomCvMenuStyler* Value) override;
  uint8_t GetOpacity() override { return opacity_; }
  void SetOpacity(uint8_t Value) override { opacity_ = Value; }

 protected:
  void MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild) override;

 private:
  void MakeInternalStyler();
  void AttachCurrent();
  void StylerFontChanged(TObject* Sender);
  // The styler no longer serves this menu.
  void DetachStyler(TCustomCvMenuStyler* Styler);

  TCustomCvMenuStyler* assigned_ = nullptr;  // not owned; cleared when it is freed
  TCvMenuStyler* internal_ = nullptr;        // owned by the menu (as a component)
  TCustomCvMenuStyler* current_ = nullptr;
  uint8_t opacity_ = 255;
  bool updating_ = false;
  int32_t update_count_ = 0;
};

// Installs the menu's measuring and drawing handlers on one item (or all items when Item is
// nullptr), with the sub-items when Recursive; KeepOwn keeps handlers an item has of its own.
// Nothing changes while the menu is loading.
void AssignMenuItemHandlers(TCvMainMenu* Menu, TMenuItem* Item, bool Recursive, bool KeepOwn);
// Rebuilds the menu's items when asked (UpdateNow or Force). The multiple-document window list
// that this would hook does not exist here: no window is hooked.
void HookMenuForm(ICvMenu* Menu, bool UpdateNow, bool Force);
// The starting size of menu-bar items (the desktop's menu button size); false when unknown.
bool ReadMenuMetrics(int32_t& MenuWidth, int32_t& MenuHeight);

void CvMenusRegisterClasses();
