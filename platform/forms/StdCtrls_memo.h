// TMemo: the multi-line edit. It keeps the single-line edit's engine (undo, clipboard, EM_*)
// and lays its text out in lines: line breaks are CR LF in the text, long lines wrap at spaces
// with WordWrap, and the window scrolls by whole lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/StdCtrls.h"

enum : UINT { EM_LINEFROMCHAR = 0x00C9, EM_LINEINDEX = 0x00BB, EM_GETFIRSTVISIBLELINE = 0x00CE };

class TCustomMemo : public TCustomEdit {
  PX_CLASS(TCustomMemo)
 public:
  explicit TCustomMemo(TComponent* AOwner);
  ~TCustomMemo() override;

  // The text as lines (without their breaks); changing them changes the text.
  TStrings* Lines() const;
  void SetLines(TStrings* Value);
  TScrollStyle ScrollBars() const { return scroll_bars_; }
  void SetScrollBars(TScrollStyle Value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool Value);
  // Enter inserts a line break (else it goes to the form, e.g. its default button).
  bool WantReturns() const { return want_returns_; }
  void SetWantReturns(bool Value) { want_returns_ = Value; }
  // Tab inserts a tab character (else it moves the focus).
  bool WantTabs() const { return want_tabs_; }
  void SetWantTabs(bool Value) { want_tabs_ = Value; }
  // The first line shown (a line of the layout: wrapped parts count).
  int32_t TopLine() const { return top_line_; }
  // The layout's line of a character position, and where a layout line starts.
  int32_t LineFromChar(int32_t Pos);
  int32_t LineStart(int32_t Line);
  int32_t LayoutLineCount();

  void DefaultHandler(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void PaintWindow(HDC DC) override;
  void ScrollToCaret() override;
  void UpdateCaret() override;
  void WMSize(TWMSize& Message) override;
  void CMFontChanged(TWMNoParams& Message) override;

 private:
  struct TLayoutLine {
    int32_t Start;  // first character
    int32_t End;    // past the last character shown (the break is not shown)
  };
  const std::vector<TLayoutLine>& Layout();
  void InvalidateLayout() { layout_valid_ = false; }
  // x of each character boundary of characters [Start, End), from 0.
  std::vector<int32_t> Offsets(int32_t Start, int32_t End);
  int32_t LineHeight();
  TRect TextArea();
  int32_t VisibleLines();
  int32_t PosFromPoint(int32_t X, int32_t Y);
  TPoint PointFromPos(int32_t Pos);
  void MoveTo(int32_t Pos, bool Extend);
  void SetTopLine(int32_t Line);
  void UpdateScrollBar();
  bool KeyDownMemo(uint16_t Key);
  bool CharMemo(char32_t Ch);

  std::unique_ptr<TStrings> lines_;
  std::vector<TLayoutLine> layout_;
  bool layout_valid_ = false;
  std::u32string layout_text_;
  int32_t layout_width_ = -1;
  int32_t top_line_ = 0;
  int32_t line_height_ = 0;
  bool selecting_ = false;
  int32_t goal_x_ = -1;  // the x that line up/down keep
  TScrollStyle scroll_bars_ = ssNone;
  bool word_wrap_ = true;
  bool want_returns_ = true;
  bool want_tabs_ = false;
};

class TMemo : public TCustomMemo {
  PX_CLASS(TMemo)
 public:
  explicit TMemo(TComponent* AOwner) : TCustomMemo(AOwner) {}
};
