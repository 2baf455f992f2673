// Typed access to the character and paragraph formats of a rich edit: TPXTextAttributes (the
// default format, the selection's, or the selection's and word's) and TPXParaAttributes (the
// paragraphs of the selection), reading and writing the edit's CHARFORMAT2 and PARAFORMAT2
// records through its messages; and the rich edit level of the platform's control version.
#pragma once

#include <cstdint>

#include "platform/forms/Messages.h"
#include "platform/forms/RichEdit.h"
#include "platform/forms/RichEditControl.h"
#include "platform/gdi/Graphics.h"

// What the attribute objects need of their edit: its window, its messages, the screen's vertical
// resolution, and its paragraph direction.
class IPXRichFormatHost {
 public:
  virtual ~IPXRichFormatHost() = default;
  virtual bool RichHandleAllocated() const = 0;
  // Creates the window when it has none.
  virtual void RichEnsureHandle() = 0;
  virtual LRESULT RichPerform(UINT Msg, WPARAM W, LPARAM L) = 0;
  virtual int32_t RichScreenPixelsPerInchY() const = 0;
  // The control lays paragraphs out right to left.
  virtual bool RichUseRightToLeftAlignment() const = 0;
  // Turns advanced typography on (justified text needs it).
  virtual void RichEnableAdvancedTypography() = 0;
};

// The level of rich edit features: 1 after a failed load, else from the control's file version
// (major x 65536 + minor): 5.x gives minor div 10 (5.30 gives 3, 5.50 gives 5), 12.x gives 6,
// others 2; a level computed as 0 becomes 2.
int32_t RichEditLevelFromVersion(bool Loaded, uint32_t FileVersionMS);
// The platform's rich edit is version 5.50.
inline constexpr uint32_t PXRichEditFileVersionMS = (5u << 16) | 50u;

enum class TPXAttributeKind : uint8_t { akDefault, akSelection, akWord };
using enum TPXAttributeKind;

class TPXTextAttributes : public TPersistent {
  PX_CLASS(TPXTextAttributes)
 public:
  TPXTextAttributes(IPXRichFormatHost* Edit, TPXAttributeKind Kind) : FEdit(Edit), FKind(Kind) {}

  TFontCharset Charset();
  void SetCharset(TFontCharset Value);
  // clWindowText when the colour is automatic.
  TColor Color();
  // clWindowText and clDefault set the automatic colour.
  void SetColor(TColor Value);
  // Pixels: MulDiv(Size, screen pixels per inch, 72).
  int32_t Height();
  std::string Name();
  // Cut to 31 bytes (at a character boundary) and the terminating NUL.
  void SetName(const std::string& Value);
  TFontPitch Pitch();
  void SetPitch(TFontPitch Value);
  // Points: yHeight / 20.
  int32_t Size();
  void SetSize(int32_t Value);
  TFontStyles Style();
  void SetStyle(TFontStyles Value);
  bool HasEffect(DWORD Bits);
  void SetEffect(DWORD Bits, bool On);

  // A TFont becomes one whole record; another TPXTextAttributes is copied as a whole record.
  void Assign(TPersistent* Source) override;
  void AssignFont(TFont* Font);
  // To a TFont: colour, name, charset, style, size and pitch.
  void AssignTo(TPersistent* Dest) override;

  // The record as read (zeroed, with its size, without a window).
  CHARFORMAT2 Read();
  // Sends the record with the kind's flag when the edit has a window.
  void Write(CHARFORMAT2& Format);

 private:
  UINT KindFlag() const;
  IPXRichFormatHost* FEdit;
  TPXAttributeKind FKind;
};

class TPXParaAttributes : public TPersistent {
  PX_CLASS(TPXParaAttributes)
 public:
  explicit TPXParaAttributes(IPXRichFormatHost* Edit) : FEdit(Edit) {}

  // 0 left, 1 right, 2 centre, 3 justify (wAlignment - 1).
  int32_t Alignment();
  // 3 (justify) first turns advanced typography on.
  void SetAlignment(int32_t Value);
  // Points (twips / 20).
  int32_t FirstIndent();
  void SetFirstIndent(int32_t Value);
  int32_t LeftIndent();
  void SetLeftIndent(int32_t Value);
  int32_t RightIndent();
  void SetRightIndent(int32_t Value);
  // 0 none, 1 bullets, 2 numbers. Setting 0 first sets LeftIndent 0; another value first raises
  // LeftIndent to 10 when it is below.
  int32_t Numbering();
  void SetNumbering(int32_t Value);
  // Index 0..3 gives the styles 0, 512, 256, 768.
  void SetNumberingStyle(int32_t Index);
  void SetNumberingStart(int32_t Value);
  // Tab I in points; writes to indexes above 30 are ignored; writing at or past the count makes
  // the count I + 1 with the new entries 0.
  int32_t Tab(int32_t Index);
  void SetTab(int32_t Index, int32_t Value);
  int32_t TabCount();

  void Assign(TPersistent* Source) override;

  PARAFORMAT2 Read();
  // Creates the edit's window when needed; right to left exchanges left and right alignment.
  void Write(PARAFORMAT2& Format);

 private:
  // Writes one indent given in points as twips.
  void WriteTwips(DWORD Mask, LONG PARAFORMAT2::*Field, int32_t Points);
  IPXRichFormatHost* FEdit;
};

// ---- the rich edit

enum class TPXToolbarPosition : uint8_t { pxpAbove, pxpBelow };
using enum TPXToolbarPosition;
enum class TPXRichToolbarButton : uint8_t { pxrbAlignment, pxrbBullets };
using enum TPXRichToolbarButton;
using TPXRichToolbarButtons = TSet<TPXRichToolbarButton>;

// Settings of the floating tool bar every rich edit carries.
class TPXRichAutoToolbar : public TPersistent {
  PX_CLASS(TPXRichAutoToolbar)
 public:
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  TPXToolbarPosition Position() const { return FPosition; }
  void SetPosition(TPXToolbarPosition Value) { FPosition = Value; }
  bool WideToolbar() const { return FWideToolbar; }
  void SetWideToolbar(bool Value) { FWideToolbar = Value; }
  TPXRichToolbarButtons ExcludedButtons() const { return FExcludedButtons; }
  void SetExcludedButtons(TPXRichToolbarButtons Value) { FExcludedButtons = Value; }
  void Assign(TPersistent* Source) override;

 private:
  bool FEnabled = false;
  TPXToolbarPosition FPosition = pxpAbove;
  bool FWideToolbar = false;
  TPXRichToolbarButtons FExcludedButtons;
};

enum class TPXLanguageOption : uint8_t { rlAutoKeyboard, rlAutoFont, rlImeCancelComplete, rlImeAlwaysSendNotify };
using enum TPXLanguageOption;
using TPXLanguageOptions = TSet<TPXLanguageOption>;

PX_EVENT_TYPE(TPXUrlClickEvent, void(TObject* Sender, const std::string& URLText, TMouseButton Button));
PX_EVENT_TYPE(TPXUrlHoverEvent, void(TObject* Sender, const std::string& URLText));

class TPXRichToolbar;

// The rich edit level of this process's rich edit (computed at the first construction).
int32_t RichEditLevel();

class TPXRichEdit : public TCustomRichEdit, public IPXRichFormatHost {
  PX_CLASS(TPXRichEdit)
 public:
  explicit TPXRichEdit(TComponent* AOwner);
  ~TPXRichEdit() override;

  TPXRichAutoToolbar* AutoToolbar() const { return FAutoToolbar.get(); }
  void SetAutoToolbar(TPXRichAutoToolbar* Value);
  // The floating tool bar, made on its first showing (nullptr before).
  TPXRichToolbar* Toolbar() const { return FToolbar; }
  // Shows the tool bar while AutoToolbar is enabled, the edit is visible, enabled and writable
  // and the edit or its tool bar has the focus; hides it otherwise; refreshes its buttons.
  void UpdateAutoToolbar();
  void SetReadOnly(bool Value) override;
  bool KeyboardShortcuts() const { return FKeyboardShortcuts; }
  void SetKeyboardShortcuts(bool Value) { FKeyboardShortcuts = Value; }
  bool AllowGutterSelection() const { return FAllowGutterSelection; }
  void SetAllowGutterSelection(bool Value);
  bool AutoURLDetect();
  void SetAutoURLDetect(bool Value);
  bool HideScrollBars() const { return FHideScrollBars; }
  void SetHideScrollBars(bool Value);
  TPXLanguageOptions LanguageOptions();
  void SetLanguageOptions(TPXLanguageOptions Value);
  bool OLEDragDrop() const { return FOLEDragDrop; }
  void SetOLEDragDrop(bool Value);
  // The whole content as RTF; an empty value clears the text.
  std::string GetRTFText();
  void SetRTFText(const std::string& Value);
  int32_t UndoLimit() const { return FUndoLimit; }
  void SetUndoLimit(int32_t Value);
  bool WordSelection();
  void SetWordSelection(bool Value);
  // Per cent; 100 below rich edit level 3 or without a window.
  int32_t Zoom();
  void SetZoom(int32_t Value);

  TPXTextAttributes* DefAttributes() const { return FDefAttributes.get(); }
  TPXTextAttributes* SelAttributes() const { return FSelAttributes.get(); }
  TPXTextAttributes* WordAttributes() const { return FWordAttributes.get(); }
  TPXParaAttributes* Paragraph() const { return FParagraph.get(); }

  const TPXUrlClickEvent& OnURLClick() const { return FOnURLClick; }
  void SetOnURLClick(const TPXUrlClickEvent& Value) { FOnURLClick = Value; }
  const TPXUrlHoverEvent& OnURLHover() const { return FOnURLHover; }
  void SetOnURLHover(const TPXUrlHoverEvent& Value) { FOnURLHover = Value; }

  CHARRANGE GetSelection();
  void SetSelection(int32_t Start, int32_t End, bool Scroll);
  // The characters First..Last (UTF-8).
  std::string GetTextRange(int32_t First, int32_t Last);
  TPoint PosFromChar(int32_t Index);
  bool CanUndo();
  bool CanRedo();
  bool CanPaste();
  void Redo();
  void Clear();

  // The font dialog preset from SelAttributes, placed at the screen point (X, Y) when it is not
  // (0, 0); on confirmation SelAttributes takes its font.
  bool ExecuteFontDialog(int32_t X, int32_t Y);
  // The colour dialog preset with the selection's colour; the chosen colour is written back.
  bool SelectTextColor(int32_t X, int32_t Y);

  // Draws the text into Rect of DC (device pixels; empty: the client area) aligned by HAlign
  // and VAlign (0 left or top, 1 centre, 2 right or bottom), scaled by the zooms. With a zoom
  // other than 1 the DC is left in MM_ANISOTROPIC mapping.
  void PaintToDC(HDC DC, TRect Rect, int32_t HAlign, uint8_t VAlign, double ZoomX, double ZoomY);
  // The largest right end of a line laid out without wrapping, plus 1.
  int32_t GetUnwrappedWidth();
  // The height of Edit's text laid out at Width pixels of DC (a scratch DC without one); below
  // 1 the lines do not wrap.
  static int32_t MeasureRichTextHeight(TPXRichEdit* Edit, HDC DC, int32_t Width);

  // IPXRichFormatHost
  bool RichHandleAllocated() const override { return HandleAllocated(); }
  void RichEnsureHandle() override { HandleNeeded(); }
  LRESULT RichPerform(UINT Msg, WPARAM W, LPARAM L) override { return Perform(Msg, W, L); }
  int32_t RichScreenPixelsPerInchY() const override { return FScreenPPIY; }
  bool RichUseRightToLeftAlignment() const override;
  void RichEnableAdvancedTypography() override;

  void DefaultHandler(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char16_t& Key) override;
  void CNNotify(TWMNotify& Message) override;
  void CMFontChanged(TWMNoParams& Message) override;
  void SelectionChange() override;
  void Resize() override;
  void CMVisibleChanged(TWMNoParams& Message) override;
  void CMEnabledChanged(TWMNoParams& Message) override;
  void CMShowingChanged(TWMNoParams& Message) override;
  void WMSetFocus(TWMSetFocus& Message) override;
  void WMKillFocus(TWMKillFocus& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  // UpdateAutoToolbar with the window that has (or is getting) the focus.
  void UpdateAutoToolbarFor(HWND Focus);
  // Formats the text into the twips rectangle Rc of DC (drawing or only measuring), answering
  // the rectangle used.
  TRect FormatRange(HDC DC, const TRect& Rc, bool Draw);
  std::unique_ptr<TPXRichAutoToolbar> FAutoToolbar;
  TPXRichToolbar* FToolbar = nullptr;  // owned by the edit as a component
  bool FTogglingToolbar = false;
  std::unique_ptr<TPXTextAttributes> FDefAttributes, FSelAttributes, FWordAttributes;
  std::unique_ptr<TPXParaAttributes> FParagraph;
  bool FKeyboardShortcuts = true;
  bool FAllowGutterSelection = true;
  bool FAutoURLDetect = true;
  bool FHideScrollBars = true;
  TPXLanguageOptions FLanguageOptions{rlAutoFont};
  bool FOLEDragDrop = true;
  int32_t FUndoLimit = 100;
  bool FWordSelection = true;
  int32_t FScreenPPIX = 96, FScreenPPIY = 96;
  CHARRANGE FLinkRange{-1, -1};
  int32_t FLinkButton = -1;
  TPXUrlClickEvent FOnURLClick;
  TPXUrlHoverEvent FOnURLHover;
};
