// The class library's tool bar: TToolBar lays its items (tool buttons and any other controls)
// out left to right in the order they were added, one button size for every button, and sizes
// itself to them with AutoSize. TToolButton is a push, check (optionally grouped), drop-down or
// separator button drawn in the classic flat look with an image from the bar's image list.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/gdi/ImgList.h"

class TToolBar;

enum class TToolButtonStyle : uint8_t { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };
using enum TToolButtonStyle;
PTypeInfo TypeInfo_TToolButtonStyle();

class TToolButton : public TGraphicControl {
  PX_CLASS(TToolButton)
 public:
  explicit TToolButton(TComponent* AOwner);

  TToolButtonStyle Style() const { return FStyle; }
  void SetStyle(TToolButtonStyle Value);
  // Check buttons: pressed in. A grouped button going down releases the others of its group
  // (the adjacent grouped check buttons).
  bool Down() const { return FDown; }
  void SetDown(bool Value);
  bool Grouped() const { return FGrouped; }
  void SetGrouped(bool Value) { FGrouped = Value; }
  // A down grouped button can be released by clicking it.
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool Value) { FAllowAllUp = Value; }
  int32_t ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int32_t Value);
  // The menu a drop-down button's arrow (or the whole button without OnClick) opens below it.
  TPopupMenu* DropdownMenu() const { return FDropdownMenu; }
  void SetDropdownMenu(TPopupMenu* Value) { FDropdownMenu = Value; }
  TToolBar* ToolBar() const;
  // The drawn state: pressed by the mouse and the pointer over it.
  bool Pressed() const { return FPressed; }
  bool Hot() const { return FHot; }

  void Click() override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void CMMouseEnter(TCMMouseEnterLeave& Message) override;
  void CMMouseLeave(TCMMouseEnterLeave& Message) override;

 private:
  bool OnArrow(int32_t X) const;
  void OpenDropdown();
  TToolButtonStyle FStyle = tbsButton;
  bool FDown = false;
  bool FGrouped = false;
  bool FAllowAllUp = false;
  int32_t FImageIndex = -1;
  TPopupMenu* FDropdownMenu = nullptr;
  bool FPressed = false;
  bool FTracking = false;
  bool FHot = false;
};

class TToolBar : public TCustomControl {
  PX_CLASS(TToolBar)
 public:
  explicit TToolBar(TComponent* AOwner);

  int32_t ButtonWidth() const { return FButtonWidth; }
  void SetButtonWidth(int32_t Value);
  int32_t ButtonHeight() const { return FButtonHeight; }
  void SetButtonHeight(int32_t Value);
  // Pixels before the first item.
  int32_t Indent() const { return FIndent; }
  void SetIndent(int32_t Value);
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);
  // The items in the order they were added.
  int32_t ButtonCount() const;
  TToolButton* Buttons(int32_t Index) const;
  const std::vector<TControl*>& Items() const { return FItems; }
  // Places the items again.
  void ArrangeItems();
  void SetAutoSize(bool Value) override;

 protected:
  void Paint() override;
  void AlignControls(TControl* AControl, TRect& Rect) override;
  void CMControlChange(TCMControlChange& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  int32_t ItemWidth(TControl* Item) const;
  std::vector<TControl*> FItems;
  int32_t FButtonWidth = 23;
  int32_t FButtonHeight = 22;
  int32_t FIndent = 0;
  TCustomImageList* FImages = nullptr;
  bool FFlat = true;
  bool FArranging = false;
};


// Registers the tool bar, the up-down, track bar, page control, link label, bitmap button, memo
// and paint box with the form loader (FormsStartup calls it).
void ComCtrlsRegisterClasses();
