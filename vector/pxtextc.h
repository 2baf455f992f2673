// TPXTextControl: editor and renderer of multi-line formatted text. Every character carries its
// own format (an index into a list of deduplicated 280-byte TPXCharFormat records); the control
// edits the text with keys, mouse and clipboard, lays it out in a box with per-cent margins
// (wrapping, alignment, justification) and draws it at any zoom, double-buffered on screen or
// into a TPXCanvas.
//
// The text is UTF-16 units (a line feed ends a paragraph; no carriage returns are stored). The
// owner hands the text, the per-character format indexes and the format list over (each may be
// absent), calls PrepareText, and takes them back with the Take* calls when done.
//
// Where things are defined:
//   pxtextc.cpp         records, hand-over, editing, keys, mouse, clipboard
//   pxtextc_layout.cpp  layout and drawing (PaintTo, Paint)
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/gdi/Graphics.h"
#include "vector/pxtextc_memo.h"

class TPXCanvas;

// The clipboard format of formatted memo text.
inline constexpr const char* PXTextMemoClipboardFormat = "PIXORAN TEXTMEMO";
UINT TextMemoClipboardFormat();
// The library's start-up and tear-down steps of this unit; RegisterTextControlUnit puts the
// first into its start-up slot.
void InitTextControlUnit();
void FinalizeTextControlUnit();
void RegisterTextControlUnit();

class TPXTextControl : public TCustomControl {
  PX_CLASS(TPXTextControl)
 public:
  explicit TPXTextControl(TComponent* AOwner);
  ~TPXTextControl() override;

  // --- hand-over and take-back ----------------------------------------------------------------
  void SetText(std::u16string Value) { FText = std::move(Value); }
  void SetCharFormats(std::optional<std::vector<int32_t>> Value) { FCharFormats = std::move(Value); }
  void SetFormats(std::optional<TPXCharFormatList> Value) { FFormats = std::move(Value); }
  const std::u16string& Text() const { return FText; }
  const std::optional<std::vector<int32_t>>& CharFormats() const { return FCharFormats; }
  const std::optional<TPXCharFormatList>& Formats() const { return FFormats; }
  std::u16string TakeText();
  std::optional<std::vector<int32_t>> TakeCharFormats();
  std::optional<TPXCharFormatList> TakeFormats();
  int32_t TextLength() const { return FTextLength; }

  // Caret and selection to 0; the length from the text (up to its first NUL); absent format
  // indexes become zeros, an absent list one record from Font, TextBrush and Alignment (none for
  // an empty text); indexes outside the list are set to 0; caches cleared; CurrentFormat from
  // Font, TextBrush and Alignment.
  void PrepareText();
  // Lays out and draws into Canvas with the box's corner at (X, Y); Width and Height unzoomed.
  void PaintTo(TPXCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height);
  void SetUniformFormat(bool Value);
  // Removes the records with use count 0, renumbering the indexes above them.
  void PurgeFormats();
  // Clears the caches of all characters and invalidates.
  void Update() override;

  // --- formats and editing --------------------------------------------------------------------
  void SetCharFormat(int32_t Index, const TPXCharFormat& Format);
  // The record of the character at Index clamped to the text (nothing with an empty text).
  void GetCharFormat(int32_t Index, TPXCharFormat& Format) const;
  // Inserts U at the caret in CurrentFormat.
  void InsertChar(char16_t U);
  // Deletes the character at Index (a surrogate pair whole); answers Index.
  int32_t DeleteChar(int32_t Index);
  void DeleteSelection();
  void ToggleStyle(int32_t Bit);
  void ApplyFont(TFont* Font);
  void ApplyBackColor(TColor Color);
  void GrowFont();
  void ShrinkFont();
  void SetParagraphAlignment(uint8_t Alignment);
  void CopyToClipboard();
  void PasteFromClipboard();

  // --- state ----------------------------------------------------------------------------------
  int32_t CaretPos() const { return FCaretPos; }
  void SetCaretPos(int32_t Value);
  int32_t CaretX() const { return FCaretX; }
  int32_t CaretY() const { return FCaretY; }
  int32_t CaretHeight() const { return FCaretHeight; }
  int32_t SelStart() const { return FSelStart; }
  int32_t SelEnd() const { return FSelEnd; }
  void SetSelection(int32_t Start, int32_t End);
  uint8_t InsertMode() const { return FInsertMode; }
  void SetInsertMode(uint8_t Value) { FInsertMode = Value; }
  TPXCharFormat& CurrentFormat() { return FCurrentFormat; }
  TFont* Font() const { return FFont.get(); }
  TBrush* TextBrush() const { return FTextBrush.get(); }
  TPen* BorderPen() const { return FBorderPen.get(); }
  TBrush* BoxBrush() const { return FBoxBrush.get(); }
  uint8_t Alignment() const { return FAlignment; }
  void SetAlignment(uint8_t Value) { FAlignment = Value; }
  double Zoom() const { return FZoom; }
  void SetZoom(double Value) { FZoom = Value; }
  double MarginLeft() const { return FMarginLeft; }
  double MarginTop() const { return FMarginTop; }
  double MarginRight() const { return FMarginRight; }
  double MarginBottom() const { return FMarginBottom; }
  void SetMargins(double Left, double Top, double Right, double Bottom);
  int32_t LineSpacing() const { return FLineSpacing; }
  void SetLineSpacing(int32_t Value) { FLineSpacing = Value; }
  int32_t FixedLineHeight() const { return FFixedLineHeight; }
  void SetFixedLineHeight(int32_t Value) { FFixedLineHeight = Value; }
  bool AutoHeight() const { return FAutoHeight; }
  void SetAutoHeight(bool Value) { FAutoHeight = Value; }
  bool UniformFormat() const { return FUniformFormat; }
  bool MonoColor() const { return FMonoColor; }
  void SetMonoColor(bool Value) { FMonoColor = Value; }
  TBitmap* BackgroundBitmap() const { return FBackgroundBitmap; }
  void SetBackgroundBitmap(TBitmap* Value) { FBackgroundBitmap = Value; }  // not owned
  bool CollectVisibleText() const { return FCollectVisibleText; }
  void SetCollectVisibleText(bool Value) { FCollectVisibleText = Value; }
  const std::u16string& VisibleText() const { return FVisibleText; }
  TNotifyEvent& OnCursorMoved() { return FOnCursorMoved; }
  void SetOnCursorMoved(TNotifyEvent Value) { FOnCursorMoved = std::move(Value); }

  // Layout results (control pixels, -1 before any layout); Index 0..TextLength.
  int32_t CharX(int32_t Index) const { return FCache.X[Index]; }
  int32_t CharY(int32_t Index) const { return FCache.Y[Index]; }
  int32_t CharWidth(int32_t Index) const { return FCache.Widths[Index]; }
  // The picture of the control between paints.
  TBitmap* OffscreenBitmap() const { return FBuffer.get(); }

 protected:
  void Paint() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char16_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void DblClick() override;
  void Resize() override;
  void WndProc(TMessage& Message) override;
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override;
  void WMKillFocus(TWMKillFocus& Message) override;
  void WMGetDlgCode(TWMGetDlgCode& Message) override;
  void WMChar(TWMKey& Message) override;
  void CMWantSpecialKey(TWMKey& Message) override;

 private:
  // Per-character measures and positions, one entry per character plus the end entry.
  struct TCaches {
    std::vector<int32_t> Widths, Heights, Leadings, Descents, X, Y;
  };
  void ResetCaches();
  void ClearCachesFrom(int32_t Index);
  TPXCharFormat FormatFromDefaults() const;
  const TPXCharFormat* FormatOf(int32_t Index) const;
  void LoadCurrentFormatBeforeCaret();
  void ExtendSelection(int32_t Old, TShiftState Shift);
  // Applies Change to a copy of each selected character's record and to CurrentFormat.
  template <class F> void ChangeSelectedFormats(F Change, bool AlsoCurrent);
  bool IsPairStart(int32_t Index) const;
  bool IsPairEnd(int32_t Index) const;
  void MoveLeft();
  void MoveRight();
  void WordLeft();
  void WordRight();
  void EnsureLayout();
  void LineStart();
  void LineEnd();
  void LineUp();
  void LineDown();
  void CaretFromPoint(int32_t X, int32_t Y);
  void InsertUnits(std::u16string_view Units);
  void RemoveCaret();
  void ClipboardCommand(int32_t Entry);

  // Layout (pxtextc_layout.cpp).
  struct TLayout;
  void ApplyCharFormat(TPXCanvas& Canvas, int32_t Index);
  void MeasureChar(TPXCanvas& Canvas, int32_t Index);

  std::u16string FText;
  std::optional<std::vector<int32_t>> FCharFormats;
  std::optional<TPXCharFormatList> FFormats;
  int32_t FTextLength = 0;
  TPXCharFormat FCurrentFormat{};
  TCaches FCache;

  int32_t FCaretPos = 0;
  int32_t FCaretX = 0, FCaretY = 0, FCaretHeight = 0;
  int32_t FSelStart = 0, FSelEnd = 0;
  TPoint FMouseAnchor;
  uint8_t FInsertMode = 1;
  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TBrush> FTextBrush;
  std::unique_ptr<TPen> FBorderPen;
  std::unique_ptr<TBrush> FBoxBrush;
  uint8_t FAlignment = 0;
  double FZoom = 1.0;
  double FMarginLeft = 0, FMarginTop = 0, FMarginRight = 0, FMarginBottom = 0;
  int32_t FLineSpacing = 0;
  int32_t FFixedLineHeight = 0;
  bool FAutoHeight = false;
  bool FUniformFormat = false;
  bool FMonoColor = false;
  TBitmap* FBackgroundBitmap = nullptr;
  bool FCollectVisibleText = false;
  std::u16string FVisibleText;
  TNotifyEvent FOnCursorMoved;
  std::unique_ptr<TBitmap> FBuffer;
  char16_t FPendingHigh = 0;  // a typed high surrogate waiting for its low half
  bool FCaretShown = false;
};
