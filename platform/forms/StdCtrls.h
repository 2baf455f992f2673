// The standard controls: the label, the push button, the check box and the single-line edit,
// with the platform's edit and button messages.
//
// The edit and the buttons are windows that draw themselves on their window's surface in the
// classic look and behave as the platform's EDIT and BUTTON windows: the messages they answer
// by default (keys, characters, mouse, EM_*, BM_*, WM_CUT ...) are handled in DefaultHandler,
// so a descendant's message handler that does not call the inherited one keeps the default
// behaviour from happening, as on the platform.
//
// Text positions (SelStart, SelLength, EM_GETSEL ...) count characters (code points).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Controls.h"

// ---------------------------------------------------------------------------------------------
// Edit and button messages, styles and notifications

enum : uint32_t {
  ES_LEFT = 0x0000, ES_CENTER = 0x0001, ES_RIGHT = 0x0002, ES_MULTILINE = 0x0004, ES_UPPERCASE = 0x0008,
  ES_LOWERCASE = 0x0010, ES_PASSWORD = 0x0020, ES_AUTOVSCROLL = 0x0040, ES_AUTOHSCROLL = 0x0080,
  ES_NOHIDESEL = 0x0100, ES_OEMCONVERT = 0x0400, ES_READONLY = 0x0800, ES_WANTRETURN = 0x1000, ES_NUMBER = 0x2000
};
enum : UINT {
  EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1, EM_GETRECT = 0x00B2, EM_SCROLLCARET = 0x00B7, EM_GETMODIFY = 0x00B8,
  EM_SETMODIFY = 0x00B9, EM_GETLINECOUNT = 0x00BA, EM_REPLACESEL = 0x00C2, EM_LIMITTEXT = 0x00C5,
  EM_SETLIMITTEXT = 0x00C5, EM_CANUNDO = 0x00C6, EM_UNDO = 0x00C7, EM_SETPASSWORDCHAR = 0x00CC,
  EM_EMPTYUNDOBUFFER = 0x00CD, EM_SETREADONLY = 0x00CF, EM_GETPASSWORDCHAR = 0x00D2, EM_SETMARGINS = 0x00D3,
  EM_GETMARGINS = 0x00D4, EM_GETLIMITTEXT = 0x00D5, EM_POSFROMCHAR = 0x00D6, EM_CHARFROMPOS = 0x00D7
};
enum : uint16_t { EC_LEFTMARGIN = 0x0001, EC_RIGHTMARGIN = 0x0002, EC_USEFONTINFO = 0xFFFF };
enum : uint16_t {
  EN_SETFOCUS = 0x0100, EN_KILLFOCUS = 0x0200, EN_CHANGE = 0x0300, EN_UPDATE = 0x0400, EN_ERRSPACE = 0x0500,
  EN_MAXTEXT = 0x0501
};
enum : uint32_t {
  BS_PUSHBUTTON = 0x00, BS_DEFPUSHBUTTON = 0x01, BS_CHECKBOX = 0x02, BS_AUTOCHECKBOX = 0x03, BS_3STATE = 0x05,
  BS_AUTO3STATE = 0x06, BS_LEFTTEXT = 0x20, BS_MULTILINE = 0x2000, BS_TYPEMASK = 0x0F
};
enum : UINT {
  BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1, BM_GETSTATE = 0x00F2, BM_SETSTATE = 0x00F3, BM_CLICK = 0x00F5
};
enum : uint16_t { BN_CLICKED = 0 };
enum : uint32_t { BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2, BST_PUSHED = 4, BST_FOCUS = 8 };

enum class TTextLayout : uint8_t { tlTop, tlCenter, tlBottom };
using enum TTextLayout;
enum class TEditCharCase : uint8_t { ecNormal, ecUpperCase, ecLowerCase };
using enum TEditCharCase;
enum class TCheckBoxState : uint8_t { cbUnchecked, cbChecked, cbGrayed };
using enum TCheckBoxState;
// taLeftJustify or taRightJustify.
using TLeftRight = TAlignment;

PTypeInfo TypeInfo_TTextLayout();
PTypeInfo TypeInfo_TEditCharCase();
PTypeInfo TypeInfo_TCheckBoxState();
PTypeInfo TypeInfo_TLeftRight();

// ---------------------------------------------------------------------------------------------
// TLabel: windowless text. AutoSize makes the label as large as DrawText's DT_CALCRECT of its
// caption (with word wrap at the current width); a right-justified label keeps its right edge.
class TCustomLabel : public TGraphicControl {
  PX_CLASS(TCustomLabel)
 public:
  explicit TCustomLabel(TComponent* AOwner);
  ~TCustomLabel() override;

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout Value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool Value);
  // Transparent: the background is not painted (what lies below shows through).
  bool Transparent() const { return !ControlStyle().Contains(csOpaque); }
  void SetTransparent(bool Value);
  // The window that an accelerator ("&x") of the caption focuses.
  TWinControl* FocusControl() const { return focus_control_; }
  void SetFocusControl(TWinControl* Value);
  bool ShowAccelChar() const { return show_accel_char_; }
  void SetShowAccelChar(bool Value);
  void SetAutoSize(bool Value) override;

  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Loaded() override;
  void Dispatch(TMessage& Message) override;

 protected:
  // The text drawn (the caption).
  virtual std::string GetLabelText();
  // DrawText of the label's text in Rect with Flags (DT_CALCRECT measures into Rect): the
  // alignment, word break and prefix flags are the caller's; disabled text is embossed.
  virtual void DoDrawText(TRect& Rect, UINT Flags);
  void Paint() override;
  void AdjustSize() override;
  // Sizes the label to its text when AutoSize (not while loading).
  void AdjustBounds();
  void CMTextChanged(TWMNoParams& Message) override;
  void CMFontChanged(TWMNoParams& Message) override;

 private:
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool word_wrap_ = false;
  bool show_accel_char_ = true;
  bool constructed_ = false;
  TWinControl* focus_control_ = nullptr;
};

class TLabel : public TCustomLabel {
  PX_CLASS(TLabel)
 public:
  explicit TLabel(TComponent* AOwner) : TCustomLabel(AOwner) {}
};

// ---------------------------------------------------------------------------------------------
// Buttons

// The base of the push button and the check box: a window that paints itself, takes the focus
// when clicked, and completes a click on the mouse release inside it or on the release of the
// space bar.
class TButtonControl : public TWinControl {
  PX_CLASS(TButtonControl)
 public:
  explicit TButtonControl(TComponent* AOwner);
  ~TButtonControl() override;
  // While set, state changes made in code fire no OnClick.
  bool ClicksDisabled() const { return clicks_disabled_; }
  void SetClicksDisabled(bool Value) { clicks_disabled_ = Value; }
  // Shown pushed (BM_SETSTATE; the mouse or the space bar holds it).
  bool Pushed() const { return pushed_; }

  void DefaultHandler(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;

 protected:
  TCanvas* Canvas() const { return canvas_.get(); }
  virtual void Paint() = 0;
  // The platform's BN_CLICKED (reflected as CN_COMMAND): a completed click.
  virtual void ButtonClicked() = 0;
  void PaintWindow(HDC DC) override;
  void CreateParams(TCreateParams& Params) override;
  void SetPushed(bool Value);
  // The caption's rectangle for the focus rectangle and accelerators.
  void DrawCaption(TCanvas* ACanvas, TRect R, UINT Format, bool Enabled);

 private:
  std::unique_ptr<TControlCanvas> canvas_;
  bool clicks_disabled_ = false;
  bool pushed_ = false;
  bool tracking_ = false;
  bool space_down_ = false;
};

class TButton : public TButtonControl {
  PX_CLASS(TButton)
 public:
  explicit TButton(TComponent* AOwner);
  ~TButton() override;

  // Sets the form's ModalResult to this button's, then OnClick.
  void Click() override;
  // Enter clicks the default button (when no other button has the focus).
  bool Default() const { return default_; }
  void SetDefault(bool Value);
  // Esc clicks the cancel button.
  bool Cancel() const { return cancel_; }
  void SetCancel(bool Value) { cancel_ = Value; }
  TModalResult ModalResult() const { return modal_result_; }
  void SetModalResult(TModalResult Value) { modal_result_ = Value; }
  // Drawn as the default button (it takes Enter now).
  bool Active() const { return active_; }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  // Draws what the face shows (the caption) inside the frame R, shifted when pushed.
  virtual void PaintContent(TCanvas* ACanvas, TRect R, bool IsPushed);
  void ButtonClicked() override { Click(); }
  void CMDialogKey(TWMKey& Message) override;
  void CMDialogChar(TWMKey& Message) override;
  void CMFocusChanged(TCMFocusChanged& Message) override;
  void WMGetDlgCode(TWMGetDlgCode& Message) override;

 private:
  void SetActive(bool Value);
  bool default_ = false;
  bool cancel_ = false;
  bool active_ = false;
  TModalResult modal_result_ = mrNone;
};

class TCustomCheckBox : public TButtonControl {
  PX_CLASS(TCustomCheckBox)
 public:
  explicit TCustomCheckBox(TComponent* AOwner);
  ~TCustomCheckBox() override;

  // taRightJustify: the caption right of the box; taLeftJustify: left of it.
  TLeftRight Alignment() const { return alignment_; }
  void SetAlignment(TLeftRight Value);
  bool AllowGrayed() const { return allow_grayed_; }
  void SetAllowGrayed(bool Value) { allow_grayed_ = Value; }
  // A change fires OnClick (unless ClicksDisabled), also when made in code.
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState Value);
  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }

 protected:
  // Unchecked -> checked (or grayed with AllowGrayed) -> unchecked; grayed -> checked.
  virtual void Toggle();
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void ButtonClicked() override { Toggle(); }
  void CMDialogChar(TWMKey& Message) override;
  void WMGetDlgCode(TWMGetDlgCode& Message) override;

 private:
  TLeftRight alignment_ = taRightJustify;
  bool allow_grayed_ = false;
  TCheckBoxState state_ = cbUnchecked;
};

class TCheckBox : public TCustomCheckBox {
  PX_CLASS(TCheckBox)
 public:
  explicit TCheckBox(TComponent* AOwner) : TCustomCheckBox(AOwner) {}
};

// ---------------------------------------------------------------------------------------------
// TCustomEdit: a single-line edit.

class TCustomEdit : public TWinControl {
  PX_CLASS(TCustomEdit)
 public:
  explicit TCustomEdit(TComponent* AOwner);
  ~TCustomEdit() override;

  // Setting the text puts the caret at the start, clears Modified and the undo, and fires
  // OnChange when the text differs.
  std::string GetText() const override;
  void SetText(const std::string& Value) override;

  int32_t SelStart() const;
  void SetSelStart(int32_t Value);
  int32_t SelLength() const;
  void SetSelLength(int32_t Value);
  std::string SelText() const;
  // Replaces the selection (EM_REPLACESEL; can be undone).
  void SetSelText(const std::string& Value);
  void SelectAll();
  void ClearSelection();  // WM_CLEAR
  void CutToClipboard();  // WM_CUT
  void CopyToClipboard(); // WM_COPY
  void PasteFromClipboard();  // WM_PASTE
  void Undo();            // WM_UNDO
  void ClearUndo();       // EM_EMPTYUNDOBUFFER
  bool CanUndo() const { return can_undo_; }
  void Clear() { SetText(""); }

  // The most characters the user can enter (0: no limit); text set in code is not cut.
  int32_t MaxLength() const { return max_length_; }
  virtual void SetMaxLength(int32_t Value);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool Value);
  // Whether the user changed the text since it was set.
  bool Modified() const { return modified_; }
  void SetModified(bool Value) { modified_ = Value; }
  // Shown for every character (0: the text itself).
  char PasswordChar() const { return password_char_; }
  void SetPasswordChar(char Value);
  TEditCharCase CharCase() const { return char_case_; }
  void SetCharCase(TEditCharCase Value);
  // The text's alignment in the window (recreates the window).
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  // Select all text when the focus arrives by keyboard.
  bool AutoSelect() const { return auto_select_; }
  void SetAutoSelect(bool Value) { auto_select_ = Value; }
  bool HideSelection() const { return hide_selection_; }
  void SetHideSelection(bool Value);
  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle Value);
  void SetAutoSize(bool Value) override;
  // The text margins in pixels (EM_SETMARGINS).
  int32_t LeftMargin() const { return left_margin_; }
  int32_t RightMargin() const { return right_margin_; }

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }

  // UTF-8 text and the characters (code points) the edit counts in.
  static std::u32string ToChars(std::string_view Text);
  static std::string ToUtf8(std::u32string_view Chars);

  void DefaultHandler(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;
  void Loaded() override;

 protected:
  // EN_CHANGE: OnChange.
  virtual void Change();
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void PaintWindow(HDC DC) override;
  void CMEnter(TWMNoParams& Message) override;
  void CMFontChanged(TWMNoParams& Message) override;
  void CMCtl3DChanged(TWMNoParams& Message) override;
  void CMEnabledChanged(TWMNoParams& Message) override;
  // Height from the font when AutoSize with a border.
  void AdjustHeight();
  // The window style bits that govern the edit (the window's own when it has one).
  uint32_t EditStyle() const;

  // ---- The edit engine, for descendants that edit the text their own way
  enum class TUndoMode : uint8_t { None, New, Join };
  int32_t TextLength() const { return static_cast<int32_t>(text_.size()); }
  const std::u32string& Chars() const { return text_; }
  // Replaces characters [Start, End) as the user does: Modified, OnChange when the text
  // differs, the caret after the new text; New keeps the text before for Undo, Join adds to the
  // typing in progress.
  void Edit(int32_t Start, int32_t End, const std::u32string& Value, TUndoMode Mode);
  void ReplaceRange(int32_t Start, int32_t End, const std::u32string& Value, bool CanUndo);
  // Sets the text as WM_SETTEXT does: the caret at the start, Modified and the undo cleared,
  // OnChange when the text differs, then CM_TEXTCHANGED.
  void SetEditChars(const std::u32string& Value);
  void SetSel(int32_t AnchorPos, int32_t CaretPos);
  int32_t Caret() const { return caret_; }
  int32_t Anchor() const { return anchor_; }
  // The character position nearest to a client x coordinate.
  int32_t CharFromX(int32_t X);
  // Keep the caret in view and put the system caret at it (a multi-line descendant lays out
  // its own lines).
  virtual void ScrollToCaret();
  virtual void UpdateCaret();
  // Whether the edit window has created its caret (it has the focus).
  bool HasCaret() const { return has_caret_; }

 private:
  struct Snapshot {
    std::u32string Text;
    int32_t Anchor = 0;
    int32_t Caret = 0;
  };
  void NotifyChange();
  void KeyDownDefault(uint16_t Key);
  void CharDefault(char32_t Ch);
  void MoveCaret(int32_t Pos, bool Extend);
  int32_t WordLeft(int32_t Pos) const;
  int32_t WordRight(int32_t Pos) const;
  std::u32string DisplayText() const;
  // x of each character boundary (size Length + 1) of the displayed text, from 0.
  std::vector<int32_t> Offsets();
  TRect EditRect();
  int32_t TextOrigin(const std::vector<int32_t>& offsets, const TRect& area) const;
  // The top of the text line in the client area (and line_height_).
  int32_t TextTop();
  void DoUndo();
  void DoCut();
  void DoCopy();
  void DoPaste();
  void DoClear();
  TFont* MeasureFont();

  std::unique_ptr<TControlCanvas> canvas_;
  std::u32string text_;
  int32_t anchor_ = 0;
  int32_t caret_ = 0;
  int32_t scroll_ = 0;  // pixels of text scrolled out at the left
  Snapshot undo_;
  bool can_undo_ = false;
  bool typing_ = false;  // the last edit was typing at the caret: more typing joins its undo
  bool modified_ = false;
  bool selecting_ = false;
  char16_t pending_surrogate_ = 0;
  int32_t max_length_ = 0;
  int32_t limit_ = 0x7FFFFFFE;
  int32_t line_height_ = 13;
  bool read_only_ = false;
  char password_char_ = 0;
  TEditCharCase char_case_ = ecNormal;
  TAlignment alignment_ = taLeftJustify;
  bool auto_select_ = true;
  bool hide_selection_ = true;
  TBorderStyle border_style_ = bsSingle;
  int32_t left_margin_ = 1;
  int32_t right_margin_ = 1;
  bool has_caret_ = false;
  TNotifyEvent on_change_;
};

class TEdit : public TCustomEdit {
  PX_CLASS(TEdit)
 public:
  explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};

// Publishes the edit's properties (as TEdit does) in the property table of an edit class.
template <class T>
void PublishEditProperties(TPropertyBuilder<T>& b) {
  b.Enum("Alignment", TypeInfo_TAlignment(), &T::Alignment, &T::SetAlignment).Default(taLeftJustify);
  b.Bool("AutoSelect", &T::AutoSelect, &T::SetAutoSelect).Default(true);
  b.Redeclare("AutoSize").Default(true);
  b.Enum("BorderStyle", TypeInfo_TBorderStyle(), &T::BorderStyle, &T::SetBorderStyle).Default(bsSingle);
  b.Enum("CharCase", TypeInfo_TEditCharCase(), &T::CharCase, &T::SetCharCase).Default(ecNormal);
  b.Bool("HideSelection", &T::HideSelection, &T::SetHideSelection).Default(true);
  b.Int("MaxLength", &T::MaxLength, &T::SetMaxLength).Default(0);
  b.Char("PasswordChar", &T::PasswordChar, &T::SetPasswordChar).Default('\0');
  b.Bool("ReadOnly", &T::ReadOnly, &T::SetReadOnly).Default(false);
  b.Redeclare("TabStop").Default(true);
  b.Str("Text", &T::Text, &T::SetText);
  b.Event("OnChange", &T::OnChange, &T::SetOnChange);
}

// Registers the standard controls with the form loader (FormsStartup calls it).
void StdCtrlsRegisterClasses();

// ---------------------------------------------------------------------------------------------
// ==== Combo box (StdCtrls_combo.cpp) ====
// A combo box that draws itself and its drop-down list (a pop-up window below it). The text
// shown is the selected item's; typing into the edit part of csDropDown/csSimple is not offered.
#include "platform/forms/Menus.h"  // TOwnerDrawState
#include "platform/rtl/Classes.h"

enum : UINT {
  CB_GETCOUNT = 0x0146, CB_GETCURSEL = 0x0147, CB_SETCURSEL = 0x014E, CB_SHOWDROPDOWN = 0x014F,
  CB_SETITEMHEIGHT = 0x0153, CB_GETITEMHEIGHT = 0x0154, CB_GETDROPPEDSTATE = 0x0157
};
enum class TComboBoxStyle : uint8_t { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
using enum TComboBoxStyle;
PTypeInfo TypeInfo_TComboBoxStyle();

PX_EVENT_TYPE(TDrawItemEvent, void(TWinControl* Control, int32_t Index, const TRect& Rect, TOwnerDrawState State));
PX_EVENT_TYPE(TMeasureItemEvent, void(TWinControl* Control, int32_t Index, int32_t& Height));

class TComboListWindow;

class TCustomComboBox : public TCustomControl {
  PX_CLASS(TCustomComboBox)
 public:
  explicit TCustomComboBox(TComponent* AOwner);
  ~TCustomComboBox() override;

  TStrings* Items() const;
  void SetItems(TStrings* Value);
  // -1: none. Setting it shows the item's text; it fires no event.
  int32_t ItemIndex() const { return item_index_; }
  void SetItemIndex(int32_t Value);
  // Selects the item of that text when there is one.
  void SetText(const std::string& Value) override;
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle Value);
  // The height of an item; the control is ItemHeight + 6 high (except csSimple).
  int32_t ItemHeight() const { return item_height_; }
  void SetItemHeight(int32_t Value);
  int32_t DropDownCount() const { return drop_down_count_; }
  void SetDropDownCount(int32_t Value) { drop_down_count_ = Value < 1 ? 1 : Value; }
  bool DroppedDown() const;
  void SetDroppedDown(bool Value);
  bool Sorted() const;
  void SetSorted(bool Value);
  // The drop-down list's window while dropped down (nullptr otherwise).
  TCustomControl* ListWindow() const;

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }
  const TNotifyEvent& OnSelect() const { return on_select_; }
  void SetOnSelect(const TNotifyEvent& Value) { on_select_ = Value; }
  const TDrawItemEvent& OnDrawItem() const { return on_draw_item_; }
  void SetOnDrawItem(const TDrawItemEvent& Value) { on_draw_item_ = Value; }
  const TMeasureItemEvent& OnMeasureItem() const { return on_measure_item_; }
  void SetOnMeasureItem(const TMeasureItemEvent& Value) { on_measure_item_ = Value; }

  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;
  void DefaultHandler(TMessage& Message) override;

 protected:
  // Draws item Index (-1: the empty selection field) in Rect on Canvas: OnDrawItem for the
  // owner-drawn styles, else the text, the selected item in clHighlight.
  virtual void DrawItem(int32_t Index, const TRect& Rect, TOwnerDrawState State);
  // OnChange.
  virtual void Change();
  // A selection by the user: OnSelect when set, else Change.
  virtual void Select();
  void Paint() override;
  void CreateParams(TCreateParams& Params) override;
  // The arrows always; every key while dropped down (Enter and Esc close the list).
  void WMGetDlgCode(TWMGetDlgCode& Message) override;

 private:
  friend class TComboListWindow;
  bool OwnerDrawn() const { return style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable; }
  int32_t ItemHeightOf(int32_t Index);
  // Draws an item on another window's device context through the combo's canvas.
  void DrawItemOn(HDC DC, int32_t Index, const TRect& Rect, TOwnerDrawState State);
  // The user picked Index: selects it and fires the events once when it changed.
  void UserSelect(int32_t Index);
  void ItemsChanged(TObject* Sender);

  std::unique_ptr<TStringList> items_;
  std::unique_ptr<TComboListWindow> list_;
  int32_t item_index_ = -1;
  TComboBoxStyle style_ = csDropDown;
  int32_t item_height_ = 16;
  int32_t drop_down_count_ = 8;
  TNotifyEvent on_change_;
  TNotifyEvent on_select_;
  TDrawItemEvent on_draw_item_;
  TMeasureItemEvent on_measure_item_;
};

class TComboBox : public TCustomComboBox {
  PX_CLASS(TComboBox)
 public:
  explicit TComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {}
};
// ==== end of combo box ====
