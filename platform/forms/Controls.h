// The class library's visual controls: TControl (windowless or not), TWinControl (a window),
// TCustomControl (a window with a canvas and Paint), TGraphicControl (windowless, painted and
// hit-tested by its parent), size constraints, the control canvas, the mouse, cursors, timers.
//
// Messages reach a control through WindowProc (normally WndProc), which passes them to
// Dispatch; Dispatch calls the virtual handler of the message (WMSize, CMMouseEnter...) with a
// decoded record, or DefaultHandler for messages without one. A class that handles a message
// with no virtual handler here overrides Dispatch (or WndProc) and calls the inherited one for
// the rest. Handlers call the inherited handler for the default behaviour.
//
// Geometry and layout are the class library's: SetBounds moves the control, then the parent
// realigns; WM_WINDOWPOSCHANGED reaches the control before the new bounds are visible to it
// through WM_SIZE. Windows get their handle lazily (HandleNeeded); a control without a parent
// window has none.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/ActnList.h"
#include "platform/forms/Messages.h"
#include "platform/forms/WinUser.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes_components.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/Types.h"

class TControl;
class TWinControl;
class TCustomForm;
class TPopupMenu;
class TMainMenu;
class TControlActionLink;
struct TWindowData;  // a window's platform side (Forms_window.cpp)

// The class library's controls draw their window's frames in the new style (no Windows 3.1
// look).
inline constexpr bool NewStyleControls = true;

// ---------------------------------------------------------------------------------------------
// Enumerations and sets

enum class TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
using enum TAlign;
using TAlignSet = TSet<TAlign>;

enum class TAnchorKind : uint8_t { akLeft, akTop, akRight, akBottom };
using enum TAnchorKind;
using TAnchors = TSet<TAnchorKind>;

enum class TControlStyleItem : uint8_t {
  csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed, csSetCaption, csOpaque,
  csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible, csReplicatable, csNoStdEvents,
  csDisplayDragImage, csReflector, csActionClient, csMenuEvents, csNeedsBorderPaint, csParentBackground
};
using enum TControlStyleItem;
using TControlStyle = TSet<TControlStyleItem>;

enum class TControlStateItem : uint8_t {
  csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing, csCreating,
  csPaintCopy, csCustomPaint, csDestroyingHandle, csDocking, csAligning
};
using enum TControlStateItem;
using TControlState = TSet<TControlStateItem>;

enum class TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };
using enum TMouseButton;

// Border of a window (TBorderStyle takes bsNone and bsSingle); a form takes them all.
enum class TFormBorderStyle : uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using enum TFormBorderStyle;
using TBorderStyle = TFormBorderStyle;

enum class TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
using enum TScrollStyle;
enum class TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };
using enum TAlignment;
enum class TBevelCut : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
using enum TBevelCut;
using TBorderWidth = int32_t;

// Modal results
using TModalResult = int32_t;
inline constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
                              mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10;

// Cursors: the standard ids (negative) and registered custom ones (positive) index
// TScreen::Cursors.
using TCursor = int16_t;
inline constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSize = -22,
                         crSizeNESW = -6, crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10,
                         crHourGlass = -11, crDrag = -12, crNoDrop = -13, crHSplit = -14, crVSplit = -15,
                         crMultiDrag = -16, crSQLWait = -17, crNo = -18, crAppStart = -19, crHelp = -20,
                         crHandPoint = -21, crSizeAll = -22;
// "crArrow" <-> -2 ...; false for an unknown name or value.
bool CursorToIdent(int32_t Cursor, std::string& Ident);
bool IdentToCursor(std::string_view Ident, int32_t& Cursor);
std::string CursorToString(TCursor Cursor);  // the name, or the number
TCursor StringToCursor(std::string_view S);  // EConvertError for text that is neither

// Dragging: dmAutomatic starts a drag when the left button goes down on the control; dkDock
// drags the control to a dock site instead of dropping it on a target.
enum class TDragMode : uint8_t { dmManual, dmAutomatic };
using enum TDragMode;
enum class TDragKind : uint8_t { dkDrag, dkDock };
using enum TDragKind;
enum class TDragState : uint8_t { dsDragEnter, dsDragLeave, dsDragMove };
using enum TDragState;
// The WParam of CM_DRAG.
enum class TDragMessage : uint8_t { dmDragEnter, dmDragLeave, dmDragMove, dmDragDrop, dmDragCancel, dmFindTarget };
using enum TDragMessage;

// Type descriptions of the published property types.
PTypeInfo TypeInfo_TAlign();
PTypeInfo TypeInfo_TAnchorKind();
PTypeInfo TypeInfo_TAnchors();
PTypeInfo TypeInfo_TCursor();
PTypeInfo TypeInfo_TBorderStyle();
PTypeInfo TypeInfo_TFormBorderStyle();
PTypeInfo TypeInfo_TScrollStyle();
PTypeInfo TypeInfo_TAlignment();
PTypeInfo TypeInfo_TBevelCut();
PTypeInfo TypeInfo_TModalResult();
PTypeInfo TypeInfo_TDragMode();
PTypeInfo TypeInfo_TDragKind();

// ---------------------------------------------------------------------------------------------
// Events
PX_EVENT_TYPE(TMouseEvent, void(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y));
PX_EVENT_TYPE(TMouseMoveEvent, void(TObject* Sender, TShiftState Shift, int32_t X, int32_t Y));
PX_EVENT_TYPE(TKeyEvent, void(TObject* Sender, uint16_t& Key, TShiftState Shift));
// The typed character as a UTF-16 code unit; setting it to 0 eats it.
PX_EVENT_TYPE(TKeyPressEvent, void(TObject* Sender, char16_t& Key));
PX_EVENT_TYPE(TMouseWheelEvent,
              void(TObject* Sender, TShiftState Shift, int32_t WheelDelta, TPoint MousePos, bool& Handled));
PX_EVENT_TYPE(TMouseWheelUpDownEvent, void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled));
PX_EVENT_TYPE(TContextPopupEvent, void(TObject* Sender, TPoint MousePos, bool& Handled));
PX_EVENT_TYPE(TCanResizeEvent, void(TObject* Sender, int32_t& NewWidth, int32_t& NewHeight, bool& Resize));
PX_EVENT_TYPE(TConstrainedResizeEvent, void(TObject* Sender, int32_t& MinWidth, int32_t& MinHeight,
                                            int32_t& MaxWidth, int32_t& MaxHeight));
class TDragObject;
// Source: the dragged control (for the drag objects the controls make themselves), else the
// drag object. X, Y: client coordinates of Sender.
PX_EVENT_TYPE(TDragOverEvent,
              void(TObject* Sender, TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept));
PX_EVENT_TYPE(TDragDropEvent, void(TObject* Sender, TObject* Source, int32_t X, int32_t Y));
// A handler may give its own drag object (it stays the handler's: free it after OnEndDrag).
PX_EVENT_TYPE(TStartDragEvent, void(TObject* Sender, TDragObject*& DragObject));
// Target: the control dropped on (nullptr when the drag was cancelled or not accepted).
PX_EVENT_TYPE(TEndDragEvent, void(TObject* Sender, TObject* Target, int32_t X, int32_t Y));

// ---------------------------------------------------------------------------------------------
// Size constraints: 0 means no limit.
class TSizeConstraints : public TPersistent {
  PX_CLASS(TSizeConstraints)
 public:
  explicit TSizeConstraints(TControl* Control);
  void Assign(TPersistent* Source) override;

  int32_t MaxHeight() const { return max_height_; }
  void SetMaxHeight(int32_t Value);
  int32_t MaxWidth() const { return max_width_; }
  void SetMaxWidth(int32_t Value);
  int32_t MinHeight() const { return min_height_; }
  void SetMinHeight(int32_t Value);
  int32_t MinWidth() const { return min_width_; }
  void SetMinWidth(int32_t Value);
  TControl* Control() const { return control_; }
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }

 protected:
  virtual void Change();
  TPersistent* GetOwner() override;

 private:
  TControl* control_;
  int32_t max_height_ = 0, max_width_ = 0, min_height_ = 0, min_width_ = 0;
  TNotifyEvent on_change_;
};

// ---------------------------------------------------------------------------------------------
// The canvas of a control: a DC on the control's window (a windowless control's: on its
// parent's window, moved to and clipped by the control). It may be used at any time, also
// outside painting; what is drawn reaches the screen. The DC is released after each message
// the window system delivers and made again on the next use.
class TControlCanvas : public TCanvas {
  PX_CLASS(TControlCanvas)
 public:
  TControlCanvas();
  ~TControlCanvas() override;
  TControl* Control() const { return control_; }
  void SetControl(TControl* Value);
  // Releases the DC (a new one is made when next drawn on).
  void FreeHandle();
  // Matches the text flags to the control's reading order.
  void UpdateTextFlags();

 protected:
  void CreateHandle() override;

 private:
  TControl* control_ = nullptr;
  HDC dc_ = nullptr;       // made by CreateHandle
  HWND dc_window_ = nullptr;
};
// Releases the DCs of every control canvas (the window system calls it after each message).
void FreeDeviceContexts();

// ---------------------------------------------------------------------------------------------
// Action links of controls

// A class of control action link: Create makes a link for a client (AssignClient may refuse it).
struct TControlActionLinkClass {
  std::unique_ptr<TControlActionLink> (*Create)(TObject* Client) = nullptr;
};
template <class L>
TControlActionLinkClass ActionLinkClassOf() {
  return {[](TObject* Client) -> std::unique_ptr<TControlActionLink> {
    auto link = std::make_unique<L>();
    link->AssignClient(Client);
    return link;
  }};
}

// The link of a control to its action: caption, enabled state, hint, visibility and OnClick
// follow the action while the control still shows the action's values.
class TControlActionLink : public TActionLink {
 public:
  // EInvalidCast "Invalid class typecast" unless AClient is a TControl.
  void AssignClient(TObject* AClient) override;
  TControl* Client() const { return client_; }

  bool IsCaptionLinked() override;
  bool IsEnabledLinked() override;
  bool IsHintLinked() override;
  bool IsVisibleLinked() override;
  bool IsOnExecuteLinked() override;
  void SetCaption(const std::string& Value) override;
  void SetEnabled(bool Value) override;
  void SetHint(const std::string& Value) override;
  void SetVisible(bool Value) override;
  void SetOnExecute(const TNotifyEvent& Value) override;

 protected:
  TControl* client_ = nullptr;
};

// The same for windows (EInvalidCast unless the client is a TWinControl).
class TWinControlActionLink : public TControlActionLink {
 public:
  void AssignClient(TObject* AClient) override;
};

// ---------------------------------------------------------------------------------------------
// Drag objects

// What is being dragged. One drag runs at a time: while it runs the mouse is captured by the
// drag, targets are asked through CM_DRAG, Escape cancels it, and the release drops it.
class TDragObject : public TObject {
 public:
  TDragObject() = default;
  ~TDragObject() override = default;
  // The cursor over a target that accepts the drop (Accepted) or over anything else.
  virtual TCursor GetDragCursor(bool Accepted, int32_t X, int32_t Y);
  // The drag ended on Target (nullptr: cancelled or refused) at X, Y of the target's client area.
  virtual void Finished(TObject* Target, int32_t X, int32_t Y, bool Accepted);
  // The position (screen) and the control under it, with the position in its client area.
  TPoint DragPos() const { return drag_pos_; }
  TControl* DragTarget() const { return drag_target_; }
  TPoint DragTargetPos() const { return drag_target_pos_; }
  // Set while the drag ends by cancelling, and once it was dropped on an accepting target.
  bool Cancelling() const { return cancelling_; }
  bool Dropped() const { return dropped_; }

 private:
  friend struct TDragMachine;
  TPoint drag_pos_;
  TControl* drag_target_ = nullptr;
  TPoint drag_target_pos_;
  bool cancelling_ = false;
  bool dropped_ = false;
};

// A drag of a control: the control hears OnEndDrag when it ends.
class TBaseDragControlObject : public TDragObject {
 public:
  explicit TBaseDragControlObject(TControl* AControl) : control_(AControl) {}
  TControl* Control() const { return control_; }
  void Finished(TObject* Target, int32_t X, int32_t Y, bool Accepted) override;

 protected:
  TControl* control_;
};

// The drag a control makes when OnStartDrag gives none: the control's DragCursor over an
// accepting target, crNoDrop elsewhere.
class TDragControlObject : public TBaseDragControlObject {
 public:
  using TBaseDragControlObject::TBaseDragControlObject;
  TCursor GetDragCursor(bool Accepted, int32_t X, int32_t Y) override;
};

// ---------------------------------------------------------------------------------------------
// TControl

struct TCreateParams;

class TControl : public TComponent {
  PX_CLASS(TControl)
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // ---- Messages
  // The control's message entry, normally WndProc; replaced to subclass the control (keep the
  // previous value and call it for the rest).
  const std::function<void(TMessage&)>& WindowProc() const { return window_proc_; }
  void SetWindowProc(std::function<void(TMessage&)> Value);
  // Sends the message straight to WindowProc (not wrapped: exceptions reach the caller).
  LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  LRESULT Perform(TMessage& Message);
  LRESULT Perform(TMessage&& Message) { return Perform(Message); }
  virtual void WndProc(TMessage& Message);
  // Calls the virtual handler of the message, or DefaultHandler.
  virtual void Dispatch(TMessage& Message);
  // What the window system does for a message nobody handled.
  virtual void DefaultHandler(TMessage& Message);

  // ---- Geometry (in the parent's client coordinates)
  int32_t Left() const { return left_; }
  void SetLeft(int32_t Value) { SetBounds(Value, top_, width_, height_); }
  int32_t Top() const { return top_; }
  void SetTop(int32_t Value) { SetBounds(left_, Value, width_, height_); }
  int32_t Width() const { return width_; }
  void SetWidth(int32_t Value) { SetBounds(left_, top_, Value, height_); }
  int32_t Height() const { return height_; }
  void SetHeight(int32_t Value) { SetBounds(left_, top_, width_, Value); }
  // Moves and sizes the control (after constraints and OnCanResize), then realigns.
  virtual void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  // The client area in client coordinates (0, 0, ClientWidth, ClientHeight).
  TRect ClientRect() { return GetClientRect(); }
  int32_t ClientWidth() { return ClientRect().Width(); }
  virtual void SetClientWidth(int32_t Value);
  int32_t ClientHeight() { return ClientRect().Height(); }
  virtual void SetClientHeight(int32_t Value);
  void SetClientSize(TPoint Value);
  // The screen position of the client area's origin.
  TPoint ClientOrigin() { return GetClientOrigin(); }
  TPoint ClientToScreen(TPoint Point);
  TPoint ScreenToClient(TPoint Point);
  TPoint ClientToParent(TPoint Point, TWinControl* AParent = nullptr);
  TPoint ParentToClient(TPoint Point, TWinControl* AParent = nullptr);

  // ---- Parent
  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* AParent);
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;
  bool HasParent() const { return parent_ != nullptr; }

  // ---- Appearance and state
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  void Show();
  void Hide();
  virtual bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool Value);
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool Value);
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* Value);
  bool ParentFont() const { return parent_font_; }
  void SetParentFont(bool Value);
  // The text (Caption and Text are the same property). SetText sends CM_TEXTCHANGED on change.
  std::string Caption() const { return GetText(); }
  void SetCaption(const std::string& Value) { SetText(Value); }
  std::string Text() const { return GetText(); }
  virtual std::string GetText() const { return text_; }
  virtual void SetText(const std::string& Value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value) { hint_ = Value; }
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool Value);
  bool ParentShowHint() const { return parent_show_hint_; }
  void SetParentShowHint(bool Value);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value);
  TPopupMenu* PopupMenu() const;
  void SetPopupMenu(TPopupMenu* Value);
  // The same as a component (the published property); EInvalidCast for one that is no pop-up menu.
  TComponent* PopupMenuComponent() const { return popup_menu_; }
  void SetPopupMenuComponent(TComponent* Value);
  TControlStyle ControlStyle() const { return control_style_; }
  void SetControlStyle(TControlStyle Value) { control_style_ = Value; }
  TControlState ControlState() const { return control_state_; }
  void SetControlState(TControlState Value) { control_state_ = Value; }
  TAlign Align() const { return align_; }
  void SetAlign(TAlign Value);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors Value);
  TSizeConstraints* Constraints() const { return constraints_.get(); }
  void SetConstraints(TSizeConstraints* Value) { constraints_->Assign(Value); }
  bool AutoSize() const { return auto_size_; }
  virtual void SetAutoSize(bool Value);
  bool IsRightToLeft() const { return false; }
  // The control and all its parents are visible (and, for windows, the top window shown).
  virtual bool Showing() const;
  // Whether the mouse is captured by this control.
  bool MouseCapture() const;
  void SetMouseCapture(bool Value);

  // ---- Painting
  virtual void Invalidate();
  // Paints the update region now.
  virtual void Update();
  virtual void Repaint();
  void Refresh() { Repaint(); }
  // Paints the control on DC at X, Y (its client area, windowless children included).
  void BringToFront() { SetZOrder(true); }
  void SendToBack() { SetZOrder(false); }

  // ---- Events
  const TNotifyEvent& OnClick() const { return on_click_; }
  void SetOnClick(const TNotifyEvent& Value) { on_click_ = Value; }
  const TNotifyEvent& OnDblClick() const { return on_dbl_click_; }
  void SetOnDblClick(const TNotifyEvent& Value) { on_dbl_click_ = Value; }
  const TMouseEvent& OnMouseDown() const { return on_mouse_down_; }
  void SetOnMouseDown(const TMouseEvent& Value) { on_mouse_down_ = Value; }
  const TMouseMoveEvent& OnMouseMove() const { return on_mouse_move_; }
  void SetOnMouseMove(const TMouseMoveEvent& Value) { on_mouse_move_ = Value; }
  const TMouseEvent& OnMouseUp() const { return on_mouse_up_; }
  void SetOnMouseUp(const TMouseEvent& Value) { on_mouse_up_ = Value; }
  const TMouseWheelEvent& OnMouseWheel() const { return on_mouse_wheel_; }
  void SetOnMouseWheel(const TMouseWheelEvent& Value) { on_mouse_wheel_ = Value; }
  const TMouseWheelUpDownEvent& OnMouseWheelDown() const { return on_mouse_wheel_down_; }
  void SetOnMouseWheelDown(const TMouseWheelUpDownEvent& Value) { on_mouse_wheel_down_ = Value; }
  const TMouseWheelUpDownEvent& OnMouseWheelUp() const { return on_mouse_wheel_up_; }
  void SetOnMouseWheelUp(const TMouseWheelUpDownEvent& Value) { on_mouse_wheel_up_ = Value; }
  const TNotifyEvent& OnResize() const { return on_resize_; }
  void SetOnResize(const TNotifyEvent& Value) { on_resize_ = Value; }
  const TCanResizeEvent& OnCanResize() const { return on_can_resize_; }
  void SetOnCanResize(const TCanResizeEvent& Value) { on_can_resize_ = Value; }
  const TConstrainedResizeEvent& OnConstrainedResize() const { return on_constrained_resize_; }
  void SetOnConstrainedResize(const TConstrainedResizeEvent& Value) { on_constrained_resize_ = Value; }
  const TContextPopupEvent& OnContextPopup() const { return on_context_popup_; }
  void SetOnContextPopup(const TContextPopupEvent& Value) { on_context_popup_ = Value; }

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The control's own scaling (M / D) of bounds and font, as a form's Scaled does.
  void ScaleBy(int32_t M, int32_t D) { ChangeScale(M, D); }

  // ---- Dragging
  TDragMode DragMode() const { return drag_mode_; }
  void SetDragMode(TDragMode Value) { drag_mode_ = Value; }
  TDragKind DragKind() const { return drag_kind_; }
  void SetDragKind(TDragKind Value) { drag_kind_ = Value; }
  TCursor DragCursor() const { return drag_cursor_; }
  void SetDragCursor(TCursor Value) { drag_cursor_ = Value; }
  // Starts dragging the control (OnStartDrag first). Immediate: at once; otherwise once the
  // mouse has moved Threshold pixels (-1: the mouse's drag threshold, 5) in either direction.
  // Nothing happens while another drag runs.
  void BeginDrag(bool Immediate, int32_t Threshold = -1);
  // Ends the control's drag: dropped where the mouse is (Drop) or cancelled.
  void EndDrag(bool Drop);
  // Whether this control is being dragged (from BeginDrag on, the threshold not yet passed too).
  bool Dragging() const;
  // Drops Source on the control at X, Y (client): OnDragDrop.
  virtual void DragDrop(TObject* Source, int32_t X, int32_t Y);
  const TDragOverEvent& OnDragOver() const { return on_drag_over_; }
  void SetOnDragOver(const TDragOverEvent& Value) { on_drag_over_ = Value; }
  const TDragDropEvent& OnDragDrop() const { return on_drag_drop_; }
  void SetOnDragDrop(const TDragDropEvent& Value) { on_drag_drop_ = Value; }
  const TStartDragEvent& OnStartDrag() const { return on_start_drag_; }
  void SetOnStartDrag(const TStartDragEvent& Value) { on_start_drag_ = Value; }
  const TEndDragEvent& OnEndDrag() const { return on_end_drag_; }
  void SetOnEndDrag(const TEndDragEvent& Value) { on_end_drag_ = Value; }

  // ---- Actions
  // The action the control follows (nullptr: none). Setting makes a link of the class
  // GetActionLinkClass gives and takes the action's values (while loading, only into
  // properties that still have their defaults).
  TBasicAction* Action() const;
  void SetAction(TBasicAction* Value);
  TControlActionLink* ActionLink() const { return action_link_.get(); }
  // Lets the action update itself (the application calls it at idle time).
  virtual void InitiateAction();

 protected:
  friend class TWinControl;
  friend class TCustomForm;
  friend class TControlCanvas;
  friend struct TWindowData;
  friend struct TDragMachine;
  friend class TBaseDragControlObject;

  // OnClick, or the action when OnClick is not set or is the action's own OnExecute.
  virtual void Click();
  virtual void DblClick();
  // The action (Sender) changed: the control takes its caption, enabled state, hint, visibility
  // and OnExecute; with CheckDefaults only those it still has at their defaults.
  virtual void ActionChange(TObject* Sender, bool CheckDefaults);
  virtual TControlActionLinkClass GetActionLinkClass();
  // Whether the control accepts Source at X, Y: false, or what OnDragOver says (it starts
  // from true).
  virtual void DragOver(TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept);
  // OnStartDrag; DragObject stays nullptr for the control's own drag object.
  virtual void DoStartDrag(TDragObject*& DragObject);
  // OnEndDrag.
  virtual void DoEndDrag(TObject* Target, int32_t X, int32_t Y);
  // dmAutomatic's press: BeginDrag as the mouse's settings say.
  virtual void BeginAutoDrag();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseMove(TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  // OnMouseWheel, then OnMouseWheelDown / OnMouseWheelUp; true when handled.
  virtual bool DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos);
  virtual bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos);
  virtual bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos);
  virtual void DoContextPopup(TPoint MousePos, bool& Handled);
  virtual void Resize();
  virtual bool CanResize(int32_t& NewWidth, int32_t& NewHeight);
  // AutoSize: the size the content wants; false when it cannot say.
  virtual bool CanAutoSize(int32_t& NewWidth, int32_t& NewHeight);
  virtual void ConstrainedResize(int32_t& MinWidth, int32_t& MinHeight, int32_t& MaxWidth, int32_t& MaxHeight);
  // Resizes the control to its content when AutoSize is set.
  virtual void AdjustSize();
  virtual void RequestAlign();
  virtual void SetZOrder(bool TopMost);
  virtual TPoint GetClientOrigin();
  virtual TRect GetClientRect();
  virtual void ChangeScale(int32_t M, int32_t D);
  virtual void VisibleChanging() {}
  virtual HPALETTE GetPalette() { return nullptr; }
  // The control's font changed (OnChange of Font).
  virtual void FontChanged(TObject* Sender);
  // The parent's font or colour is taken when ParentFont / ParentColor.
  TControl* GetParentControlForHints() const;
  void SendCancelMode(TControl* Sender);
  // Moves the control within its parent's list (z-order), keeping windows above windowless ones.
  void SetZOrderPosition(int32_t Position);
  // Applies constraints and auto size to a proposed size.
  void DoConstrainedResize(int32_t& NewWidth, int32_t& NewHeight);
  bool CheckNewSize(int32_t& NewWidth, int32_t& NewHeight);
  // Updates the bounds fields; windows move their platform window.
  virtual void UpdateBoundsRect(const TRect& R);
  // Keeps the anchor rules in step with the current bounds.
  void UpdateAnchorRules();
  // Called when the control's size changed (WM_SIZE for windows): Resize / OnResize.
  void SizeChanged();
  // The last position where the mouse went down, for the double-click test.
  void InvalidateControl(bool IsVisible, bool IsOpaque);

  // ---- Message handlers
  virtual void WMLButtonDown(TWMMouse& Message);
  virtual void WMLButtonUp(TWMMouse& Message);
  virtual void WMLButtonDblClk(TWMMouse& Message);
  virtual void WMRButtonDown(TWMMouse& Message);
  virtual void WMRButtonUp(TWMMouse& Message);
  virtual void WMRButtonDblClk(TWMMouse& Message);
  virtual void WMMButtonDown(TWMMouse& Message);
  virtual void WMMButtonUp(TWMMouse& Message);
  virtual void WMMButtonDblClk(TWMMouse& Message);
  virtual void WMMouseMove(TWMMouse& Message);
  virtual void WMMouseWheel(TWMMouseWheel& Message);
  virtual void WMCancelMode(TWMNoParams& Message);
  virtual void WMWindowPosChanged(TWMWindowPosMsg& Message);
  virtual void WMContextMenu(TWMContextMenu& Message);
  virtual void CMVisibleChanged(TWMNoParams& Message);
  virtual void CMEnabledChanged(TWMNoParams& Message);
  virtual void CMFontChanged(TWMNoParams& Message);
  virtual void CMColorChanged(TWMNoParams& Message);
  virtual void CMParentFontChanged(TWMNoParams& Message);
  virtual void CMParentColorChanged(TWMNoParams& Message);
  virtual void CMParentShowHintChanged(TWMNoParams& Message);
  virtual void CMHitTest(TCMHitTest& Message);
  virtual void CMMouseEnter(TCMMouseEnterLeave& Message);
  virtual void CMMouseLeave(TCMMouseEnterLeave& Message);
  virtual void CMDesignHitTest(TWMMouse& Message);
  virtual void CMHintShow(TCMHintShow& Message);
  virtual void CMTextChanged(TWMNoParams& Message);
  virtual void CMMouseWheel(TCMMouseWheel& Message);
  virtual void CMSysColorChange(TWMNoParams& Message);
  virtual void CMCursorChanged(TWMNoParams& Message);
  // CM_ACTIONEXECUTE / CM_ACTIONUPDATE (LParam the action): Result 1 when ExecuteAction /
  // UpdateAction took it.
  virtual void CMActionExecute(TMessage& Message);
  virtual void CMActionUpdate(TMessage& Message);
  // CM_DRAG: the drag messages reach DragOver and DragDrop; dmFindTarget answers the control.
  virtual void CMDrag(TCMDrag& Message);

  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TControlStyle control_style_{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TControlState control_state_;

 private:
  void DoMouseDown(TWMMouse& Message, TMouseButton Button, TShiftState Shift);
  void DoMouseUp(TWMMouse& Message, TMouseButton Button);
  void FontChangedHandler(TObject* Sender) { FontChanged(Sender); }
  void DoActionChange(TObject* Sender);
  void ConstraintsChanged(TObject* Sender);
  // Sets one of the ParentXxx flags; a change on a parented control that is not being read sends
  // Msg, which takes the parent's value over.
  void SetParentFlag(bool& Flag, bool Value, UINT Msg);
  // Sets a flag that follows the parent's while ParentFlag is set: a value set here is the
  // control's own (ParentFlag cleared) and is announced through Msg.
  void SetOwnFlag(bool& Flag, bool& ParentFlag, bool Value, UINT Msg);

  TWinControl* parent_ = nullptr;
  std::function<void(TMessage&)> window_proc_;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clWindow;
  bool parent_color_ = true;
  std::unique_ptr<TFont> font_;
  bool parent_font_ = true;
  std::string text_;
  std::string hint_;
  bool show_hint_ = false;
  bool parent_show_hint_ = true;
  TCursor cursor_ = crDefault;
  TComponent* popup_menu_ = nullptr;
  TAlign align_ = alNone;
  TAnchors anchors_{akLeft, akTop};
  TPoint anchor_rules_;         // the anchored reference point (see UpdateAnchorRules)
  TPoint original_parent_size_;  // the parent's client size the rules were taken at
  bool auto_size_ = false;
  std::unique_ptr<TSizeConstraints> constraints_;
  bool updating_font_ = false;
  std::unique_ptr<TControlActionLink> action_link_;
  TDragMode drag_mode_ = dmManual;
  TDragKind drag_kind_ = dkDrag;
  TCursor drag_cursor_ = crDrag;
  TDragOverEvent on_drag_over_;
  TDragDropEvent on_drag_drop_;
  TStartDragEvent on_start_drag_;
  TEndDragEvent on_end_drag_;

  TNotifyEvent on_click_, on_dbl_click_, on_resize_;
  TMouseEvent on_mouse_down_, on_mouse_up_;
  TMouseMoveEvent on_mouse_move_;
  TMouseWheelEvent on_mouse_wheel_;
  TMouseWheelUpDownEvent on_mouse_wheel_down_, on_mouse_wheel_up_;
  TCanResizeEvent on_can_resize_;
  TConstrainedResizeEvent on_constrained_resize_;
  TContextPopupEvent on_context_popup_;
};

// ---------------------------------------------------------------------------------------------
// TWinControl

struct TCreateParams {
  std::string Caption;
  uint32_t Style = 0;
  uint32_t ExStyle = 0;
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  struct {
    uint32_t style = 0;  // CS_*
  } WindowClass;
  std::string WinClassName;
};

class TWinControl : public TControl {
  PX_CLASS(TWinControl)
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  // ---- The window
  // The window handle, made (with the parents' handles) when first asked for. Raises
  // EInvalidOperation "Control '%s' has no parent window" for a control that has no parent
  // window.
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded();
  // Destroys and makes the window again (styles changed).
  void RecreateWnd();
  // A window (not of a control) that parents this one when it has no Parent: a pop-up or a
  // form owned by another window.
  HWND ParentWindow() const { return parent_window_; }
  void SetParentWindow(HWND Value);
  // The backing widget of the window (a QWidget*), for the platform layer's own wrappers of
  // toolkit controls; nullptr without a handle.
  void* NativeWidget();

  // ---- Children
  int32_t ControlCount() const { return static_cast<int32_t>(controls_.size() + win_controls_.size()); }
  // Windowless children first, then windows, each in z-order (bottom first).
  TControl* Controls(int32_t Index) const;
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  bool ContainsControl(TControl* Control) const;
  // The child at the client point: the topmost visible one (enabled unless AllowDisabled;
  // windows only with AllowWinControls).
  TControl* ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls = false);
  TControl* FindChildControl(std::string_view ControlName) const;
  // Sends the message to every child until one answers non-zero.
  void Broadcast(TMessage& Message);
  void NotifyControls(UINT Msg);

  // ---- Layout
  void DisableAlign();
  void EnableAlign();
  bool AlignDisabled() const { return align_level_ > 0; }
  void Realign();
  TBorderWidth BorderWidth() const { return border_width_; }
  void SetBorderWidth(TBorderWidth Value);

  // ---- Focus and keyboard
  bool TabStop() const { return tab_stop_; }
  void SetTabStop(bool Value);
  // The place in the parent's tab order (-1 without parent). Setting moves it, clamped.
  int32_t TabOrder() const;
  void SetTabOrder(int32_t Value);
  // The children of this window that take part in tabbing, in tab order, nested depth-first.
  void GetTabOrderList(std::vector<TWinControl*>& List);
  // The next (or previous) control after CurControl in tab order among this window's
  // descendants, wrapping; nullptr when none.
  TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent);
  void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
  void SelectFirst();
  // Visible, enabled, and in a visible, enabled form.
  virtual bool CanFocus();
  bool Focused();
  virtual void SetFocus();

  // ---- Appearance
  bool Ctl3D() const { return ctl3d_; }
  void SetCtl3D(bool Value);
  bool ParentCtl3D() const { return parent_ctl3d_; }
  void SetParentCtl3D(bool Value);
  bool DoubleBuffered() const { return double_buffered_; }
  void SetDoubleBuffered(bool Value) { double_buffered_ = Value; }
  // The background brush (the control's colour).
  TBrush* Brush() const { return brush_.get(); }
  bool Showing() const override { return showing_; }

  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;
  void SetParent(TWinControl* AParent) override;
  void SetText(const std::string& Value) override;
  void Invalidate() override;
  void Update() override;
  void Repaint() override;
  void Loaded() override;
  // Paints the window's current content at X, Y of DC.
  void PaintTo(HDC DC, int32_t X, int32_t Y);

  // ---- Events
  const TNotifyEvent& OnEnter() const { return on_enter_; }
  void SetOnEnter(const TNotifyEvent& Value) { on_enter_ = Value; }
  const TNotifyEvent& OnExit() const { return on_exit_; }
  void SetOnExit(const TNotifyEvent& Value) { on_exit_ = Value; }
  const TKeyEvent& OnKeyDown() const { return on_key_down_; }
  void SetOnKeyDown(const TKeyEvent& Value) { on_key_down_ = Value; }
  const TKeyPressEvent& OnKeyPress() const { return on_key_press_; }
  void SetOnKeyPress(const TKeyPressEvent& Value) { on_key_press_ = Value; }
  const TKeyEvent& OnKeyUp() const { return on_key_up_; }
  void SetOnKeyUp(const TKeyEvent& Value) { on_key_up_ = Value; }

  void DefaultHandler(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;
  void WndProc(TMessage& Message) override;

 protected:
  friend struct TWindowData;
  friend class TControl;
  friend class TCustomForm;

  virtual void CreateParams(TCreateParams& Params);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& Params);
  virtual void DestroyWnd();
  virtual void DestroyWindowHandle();
  virtual void CreateHandle();
  virtual void DestroyHandle();
  // Positions the children (alignment, anchors) inside Rect, the adjusted client area.
  virtual void AlignControls(TControl* AControl, TRect& Rect);
  // Narrows the client area children are aligned in (the default leaves the border width).
  virtual void AdjustClientRect(TRect& Rect);
  // Arranges a child of alCustom (its bounds in AlignRect).
  virtual void CustomAlignPosition(TControl* Control, int32_t& NewLeft, int32_t& NewTop, int32_t& NewWidth,
                                   int32_t& NewHeight, TRect& AlignRect);
  virtual bool CustomAlignInsertBefore(TControl* /*C1*/, TControl* /*C2*/) { return false; }
  void AlignControl(TControl* AControl);
  virtual void ControlsAligned() {}
  bool CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) override;
  virtual void KeyDown(uint16_t& Key, TShiftState Shift);
  virtual void KeyUp(uint16_t& Key, TShiftState Shift);
  virtual void KeyPress(char16_t& Key);
  // The key events; true when the key was eaten.
  bool DoKeyDown(TWMKey& Message);
  bool DoKeyUp(TWMKey& Message);
  bool DoKeyPress(TWMKey& Message);
  virtual void DoEnter();
  virtual void DoExit();
  // Called with the DC of WM_PAINT: PaintWindow, then the windowless children.
  void PaintHandler(TWMPaint& Message);
  virtual void PaintWindow(HDC DC);
  // Paints the windowless children from First (all when nullptr) that meet the DC's clip.
  void PaintControls(HDC DC, TControl* First);
  // Routes a mouse message to the windowless child under the mouse (or holding the capture);
  // true when one took it.
  bool IsControlMouseMsg(TWMMouse& Message);
  void SetZOrder(bool TopMost) override;
  void ChangeScale(int32_t M, int32_t D) override;
  TPoint GetClientOrigin() override;
  TRect GetClientRect() override;
  void UpdateBoundsRect(const TRect& R) override;
  void RequestAlign() override;
  // The style bits of the window (CreateParams' result, kept while the window lives).
  uint32_t WindowStyle() const;
  uint32_t WindowExStyle() const;
  // A child's visibility, enabled state or bounds changed.
  void UpdateShowing();
  void UpdateControlState();
  // Whether key messages for this window are dialog keys the form handles (WM_GETDLGCODE).
  virtual bool IsDialogKeyTarget(TWMKey& Message) { (void)Message; return true; }

  // ---- Message handlers
  virtual void WMPaint(TWMPaint& Message);
  virtual void WMEraseBkgnd(TWMEraseBkgnd& Message);
  virtual void WMNCPaint(TWMNCPaint& Message);
  virtual void WMNCHitTest(TWMNCHitTest& Message);
  virtual void WMNCCalcSize(TWMNCCalcSize& Message);
  virtual void WMSize(TWMSize& Message);
  virtual void WMMove(TWMMove& Message);
  virtual void WMSetCursor(TWMSetCursor& Message);
  virtual void WMSetFocus(TWMSetFocus& Message);
  virtual void WMKillFocus(TWMKillFocus& Message);
  virtual void WMKeyDown(TWMKey& Message);
  virtual void WMKeyUp(TWMKey& Message);
  virtual void WMChar(TWMKey& Message);
  virtual void WMSysKeyDown(TWMKey& Message);
  virtual void WMSysKeyUp(TWMKey& Message);
  virtual void WMSysChar(TWMKey& Message);
  virtual void WMHScroll(TWMScroll& Message);
  virtual void WMVScroll(TWMScroll& Message);
  virtual void WMCommand(TWMCommand& Message);
  virtual void WMNotify(TWMNotify& Message);
  virtual void WMWindowPosChanging(TWMWindowPosMsg& Message);
  void WMWindowPosChanged(TWMWindowPosMsg& Message) override;
  virtual void WMTimer(TWMTimer& Message);
  virtual void WMGetDlgCode(TWMGetDlgCode& Message);
  void WMContextMenu(TWMContextMenu& Message) override;
  virtual void CMEnter(TWMNoParams& Message);
  virtual void CMExit(TWMNoParams& Message);
  virtual void CMDialogKey(TWMKey& Message);
  virtual void CMDialogChar(TWMKey& Message);
  virtual void CMChildKey(TWMKey& Message);
  virtual void CMWantSpecialKey(TWMKey& Message);
  virtual void CMFocusChanged(TCMFocusChanged& Message);
  virtual void CMShowingChanged(TWMNoParams& Message);
  void CMVisibleChanged(TWMNoParams& Message) override;
  void CMEnabledChanged(TWMNoParams& Message) override;
  void CMColorChanged(TWMNoParams& Message) override;
  void CMFontChanged(TWMNoParams& Message) override;
  virtual void CMCtl3DChanged(TWMNoParams& Message);
  virtual void CMParentCtl3DChanged(TWMNoParams& Message);
  virtual void CMTabStopChanged(TWMNoParams& Message);
  virtual void CMShowHintChanged(TWMNoParams& Message);
  void CMSysColorChange(TWMNoParams& Message) override;
  virtual void CMControlChange(TCMControlChange& Message);
  virtual void CMInvalidate(TWMNoParams& Message);
  // The window itself first, then its children (depth first) until one takes the action.
  void CMActionExecute(TMessage& Message) override;
  void CMActionUpdate(TMessage& Message) override;
  // dmFindTarget: the enabled windowless child under the position, else the window.
  void CMDrag(TCMDrag& Message) override;
  virtual void CNKeyDown(TWMKey& Message);
  virtual void CNKeyUp(TWMKey& Message);
  virtual void CNChar(TWMKey& Message);
  virtual void CNSysKeyDown(TWMKey& Message);
  virtual void CNSysChar(TWMKey& Message);

 private:
  void InsertChild(TControl* AControl);
  void RemoveChild(TControl* AControl);
  // CreateParams for the styles alone (without asking the parent for its window).
  void CreateParamsNoHandle(TCreateParams& Params);
  void DoAlign(TAlign AAlign, TControl* AControl, TRect& Rect, std::vector<TControl*>& AlignList);
  void DoPosition(TControl* Control, TAlign AAlign, TRect& Rect, const TRect& ClientArea);
  void AlignAnchored(TControl* Control);
  void DestroyChildHandles();

  HWND handle_ = nullptr;
  HWND parent_window_ = nullptr;
  std::vector<TControl*> controls_;       // windowless children, z-order
  std::vector<TWinControl*> win_controls_;  // windowed children, z-order
  std::vector<TWinControl*> tab_list_;
  int32_t align_level_ = 0;
  TBorderWidth border_width_ = 0;
  int32_t tab_order_wanted_ = -1;  // read while loading, applied by the parent's Loaded
  bool tab_stop_ = false;
  bool ctl3d_ = true;
  bool parent_ctl3d_ = true;
  bool double_buffered_ = false;
  bool showing_ = false;
  std::unique_ptr<TBrush> brush_;
  TNotifyEvent on_enter_, on_exit_;
  TKeyEvent on_key_down_, on_key_up_;
  TKeyPressEvent on_key_press_;
};

// ---------------------------------------------------------------------------------------------
// A window that paints itself on its canvas.
class TCustomControl : public TWinControl {
  PX_CLASS(TCustomControl)
 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }

 protected:
  virtual void Paint() {}
  void PaintWindow(HDC DC) override;
  void WMPaint(TWMPaint& Message) override;

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// A windowless control: painted and hit-tested by its parent.
class TGraphicControl : public TControl {
  PX_CLASS(TGraphicControl)
 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }

 protected:
  virtual void Paint() {}
  // WM_PAINT from the parent, with the DC moved to this control's origin and clipped to it.
  virtual void WMPaint(TWMPaint& Message);
  void Dispatch(TMessage& Message) override;

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// ---------------------------------------------------------------------------------------------
// Hints

struct THintInfo {
  TControl* HintControl = nullptr;
  int32_t HintWindowClass = 0;
  TPoint HintPos;        // screen
  int32_t HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  TRect CursorRect;      // client coordinates of HintControl
  TPoint CursorPos;      // client coordinates of HintControl
  int32_t ReshowTimeout = 0;
  int32_t HideTimeout = 0;
  std::string HintStr;
  void* HintData = nullptr;
};
// The part of a hint before "|" and the part after it (the whole hint without "|").
std::string GetShortHint(const std::string& Hint);
std::string GetLongHint(const std::string& Hint);

// ---------------------------------------------------------------------------------------------
// Menus (provided by the menu classes, which install these hooks when the first menu is made).
struct TMenuHooks {
  // The form's Menu was set or changed.
  std::function<void(TCustomForm* Form)> FormMenuChanged;
  // A key down reached the form: true when it was a menu shortcut (and ran the item).
  std::function<bool(TCustomForm* Form, TWMKey& Message)> FormIsShortCut;
  // WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR and F10 reached the form: true when the menu took it
  // (Alt and F10 enter the menu bar, Alt+letter opens the item with that mnemonic).
  std::function<bool(TCustomForm* Form, TMessage& Message)> FormMenuKey;
  // Shows the control's pop-up menu at the screen point; false when it could not.
  std::function<bool(TControl* Control, TPopupMenu* Menu, TPoint ScreenPos)> Popup;
  // A key down is a shortcut of the pop-up menu (and ran the item).
  std::function<bool(TPopupMenu* Menu, TWMKey& Message)> PopupIsShortCut;
  // The menu classes' conversions to and from their component (dynamic casts in their unit).
  std::function<TComponent*(TPopupMenu* Menu)> PopupMenuComponent;
  std::function<TPopupMenu*(TComponent* Component)> AsPopupMenu;
  std::function<TComponent*(TMainMenu* Menu)> MainMenuComponent;
  std::function<TMainMenu*(TComponent* Component)> AsMainMenu;
};
TMenuHooks& MenuHooks();

// ---------------------------------------------------------------------------------------------
// The mouse.
class TMouse {
 public:
  HWND Capture() const { return GetCapture(); }
  void SetCapture(HWND Value);
  TPoint CursorPos() const;
  void SetCursorPos(TPoint Value);
  bool MousePresent() const { return true; }
  bool WheelPresent() const { return true; }
  int32_t WheelScrollLines() const { return 3; }
  int32_t DragThreshold() const { return 5; }
  // Whether a press on a dmAutomatic control drags at once (true) or after the threshold.
  bool DragImmediate() const { return true; }
  // Whether a drag runs (between BeginDrag and its end).
  bool IsDragging() const;
};
TMouse* Mouse();

// ---------------------------------------------------------------------------------------------
// A timer component: OnTimer every Interval ms on the tick clock while Enabled.
class TTimer : public TComponent {
  PX_CLASS(TTimer)
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t Value);
  const TNotifyEvent& OnTimer() const { return on_timer_; }
  void SetOnTimer(const TNotifyEvent& Value);

 protected:
  virtual void Timer();

 private:
  void UpdateTimer();
  void WndProc(TMessage& Message);
  HWND window_ = nullptr;
  bool enabled_ = true;
  uint32_t interval_ = 1000;
  TNotifyEvent on_timer_;
};

// ---------------------------------------------------------------------------------------------
// Helpers

// The control behind a window handle (nullptr for other windows).
TWinControl* FindControl(HWND Handle);
// The control window under the screen point.
TWinControl* FindVCLWindow(TPoint Pos);
// The control (windowless ones too) under the screen point.
TControl* FindDragTarget(TPoint Pos, bool AllowDisabled);
// The control that holds the mouse capture (windowless ones too).
TControl* GetCaptureControl();
void SetCaptureControl(TControl* Control);
// Whether VK is the accelerator ("&x", case-insensitive) of the caption Str.
bool IsAccel(uint16_t VK, const std::string& Str);
// The caption without "&" markers ("&&" becomes "&").
std::string StripHotkey(const std::string& Text);
// Whether the application has a UI thread and runs on it (asserts in debug builds).
void CheckUIThread();
