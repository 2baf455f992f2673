// TCustomMemo: line layout, painting, caret movement and scrolling of the multi-line edit.
#include "platform/forms/StdCtrls_memo.h"

#include <algorithm>
#include <climits>

#include "platform/forms/Clipbrd.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"
#include "platform/gdi/WinGdi_text.h"

namespace {

COLORREF Rgb(TColor c) { return static_cast<COLORREF>(ColorToRGB(c)) & 0x00FFFFFF; }

bool IsBreak(char32_t c) { return c == U'\r' || c == U'\n'; }

// The lines of a memo's text, split at CR LF (a lone CR or LF breaks too). A final break ends
// the last line rather than starting an empty one.
std::vector<std::string> SplitLines(const std::string& Text) {
  std::vector<std::string> lines;
  size_t p = 0;
  while (p < Text.size()) {
    const size_t e = std::min(Text.find_first_of("\r\n", p), Text.size());
    lines.emplace_back(Text.substr(p, e - p));
    p = e;
    if (p < Text.size() && Text[p] == '\r') ++p;
    if (p < Text.size() && Text[p] == '\n') ++p;
  }
  return lines;
}

// Lines of a memo, read from and written to its text.
class TMemoStrings : public TStrings {
 public:
  explicit TMemoStrings(TCustomMemo* Memo) : memo_(Memo) {}
  int32_t Count() const override { return static_cast<int32_t>(SplitLines(memo_->Text()).size()); }
  std::string Get(int32_t Index) const override {
    const std::vector<std::string> lines = SplitLines(memo_->Text());
    if (Index < 0 || Index >= static_cast<int32_t>(lines.size())) Error("List index out of bounds (%d)", Index);
    return lines[static_cast<size_t>(Index)];
  }
  void Put(int32_t Index, std::string_view S) override {
    std::vector<std::string> lines = SplitLines(memo_->Text());
    if (Index < 0 || Index >= static_cast<int32_t>(lines.size())) Error("List index out of bounds (%d)", Index);
    lines[static_cast<size_t>(Index)] = std::string(S);
    Store(lines);
  }
  void Insert(int32_t Index, std::string_view S) override {
    std::vector<std::string> lines = SplitLines(memo_->Text());
    if (Index < 0 || Index > static_cast<int32_t>(lines.size())) Error("List index out of bounds (%d)", Index);
    lines.insert(lines.begin() + Index, std::string(S));
    Store(lines);
  }
  void Delete(int32_t Index) override {
    std::vector<std::string> lines = SplitLines(memo_->Text());
    if (Index < 0 || Index >= static_cast<int32_t>(lines.size())) Error("List index out of bounds (%d)", Index);
    lines.erase(lines.begin() + Index);
    Store(lines);
  }
  void Clear() override { memo_->SetText(""); }

 private:
  void Store(const std::vector<std::string>& Lines) {
    std::string text;
    for (const std::string& l : Lines) text += l + "\r\n";
    memo_->SetText(text);
  }
  TCustomMemo* memo_;
};

}  // namespace

PX_CLASS_INFO(TCustomMemo, TCustomEdit)
PX_CLASS_INFO(TMemo, TCustomMemo, [](TPropertyBuilder<TMemo>& b) {
  b.Enum("Alignment", TypeInfo_TAlignment(), &TMemo::Alignment, &TMemo::SetAlignment).Default(taLeftJustify);
  b.Enum("BorderStyle", TypeInfo_TBorderStyle(), &TMemo::BorderStyle, &TMemo::SetBorderStyle).Default(bsSingle);
  b.Bool("HideSelection", &TMemo::HideSelection, &TMemo::SetHideSelection).Default(true);
  b.Object<TStrings>("Lines", &TMemo::Lines);
  b.Int("MaxLength", &TMemo::MaxLength, &TMemo::SetMaxLength).Default(0);
  b.Bool("ReadOnly", &TMemo::ReadOnly, &TMemo::SetReadOnly).Default(false);
  b.Enum("ScrollBars", TypeInfo_TScrollStyle(), &TMemo::ScrollBars, &TMemo::SetScrollBars).Default(ssNone);
  b.Redeclare("TabStop").Default(true);
  b.Bool("WantReturns", &TMemo::WantReturns, &TMemo::SetWantReturns).Default(true);
  b.Bool("WantTabs", &TMemo::WantTabs, &TMemo::SetWantTabs).Default(false);
  b.Bool("WordWrap", &TMemo::WordWrap, &TMemo::SetWordWrap).Default(true);
  b.Event("OnChange", &TMemo::OnChange, &TMemo::SetOnChange);
})

TCustomMemo::TCustomMemo(TComponent* AOwner) : TCustomEdit(AOwner), lines_(std::make_unique<TMemoStrings>(this)) {
  TCustomEdit::SetAutoSize(false);
  TControlStyle style = ControlStyle();
  style.Exclude(csFixedHeight);
  SetControlStyle(style);
  SetBounds(Left(), Top(), 185, 89);
}

TCustomMemo::~TCustomMemo() = default;

TStrings* TCustomMemo::Lines() const { return lines_.get(); }
void TCustomMemo::SetLines(TStrings* Value) { lines_->Assign(Value); }

void TCustomMemo::SetScrollBars(TScrollStyle Value) {
  if (scroll_bars_ == Value) return;
  scroll_bars_ = Value;
  RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool Value) {
  if (word_wrap_ == Value) return;
  word_wrap_ = Value;
  InvalidateLayout();
  RecreateWnd();
  Invalidate();
}

void TCustomMemo::CreateParams(TCreateParams& Params) {
  TCustomEdit::CreateParams(Params);
  Params.Style |= ES_MULTILINE | ES_AUTOVSCROLL;
  if (word_wrap_) Params.Style &= ~static_cast<uint32_t>(ES_AUTOHSCROLL);
  if (want_returns_) Params.Style |= ES_WANTRETURN;
  if (scroll_bars_ == ssVertical || scroll_bars_ == ssBoth) Params.Style |= WS_VSCROLL;
  if (scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth) Params.Style |= WS_HSCROLL;
}

void TCustomMemo::WMSize(TWMSize& Message) {
  TCustomEdit::WMSize(Message);
  InvalidateLayout();
  ScrollToCaret();
  UpdateCaret();
}

void TCustomMemo::CMFontChanged(TWMNoParams& Message) {
  line_height_ = 0;
  InvalidateLayout();
  TCustomEdit::CMFontChanged(Message);
}

// ---------------------------------------------------------------------------------------------
// Layout

int32_t TCustomMemo::LineHeight() {
  if (line_height_ > 0) return line_height_;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  line_height_ = std::max(1, static_cast<int32_t>(tm.tmHeight));
  return line_height_;
}

TRect TCustomMemo::TextArea() {
  TRect c = ClientRect();
  return TRect(c.Left + LeftMargin() + 1, c.Top + 1, std::max(c.Left + LeftMargin() + 1, c.Right - RightMargin()),
               c.Bottom);
}

int32_t TCustomMemo::VisibleLines() { return std::max(1, TextArea().Height() / LineHeight()); }

std::vector<int32_t> TCustomMemo::Offsets(int32_t Start, int32_t End) {
  std::vector<int32_t> offsets(static_cast<size_t>(End - Start) + 1, 0);
  if (End <= Start) return offsets;
  const std::u32string_view part = std::u32string_view(Chars()).substr(static_cast<size_t>(Start),
                                                                        static_cast<size_t>(End - Start));
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  std::vector<int32_t> dx;
  TSize size;
  GetTextExtentExPoint(dc, ToUtf8(part), INT32_MAX, nullptr, &dx, &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  for (size_t i = 0; i < part.size(); ++i) offsets[i + 1] = i < dx.size() ? dx[i] : offsets[i];
  return offsets;
}

const std::vector<TCustomMemo::TLayoutLine>& TCustomMemo::Layout() {
  const int32_t width = TextArea().Width();
  if (layout_valid_ && layout_text_ == Chars() && layout_width_ == width) return layout_;
  layout_.clear();
  const std::u32string& text = Chars();
  const int32_t len = TextLength();
  int32_t p = 0;
  while (true) {
    int32_t e = p;
    while (e < len && !IsBreak(text[static_cast<size_t>(e)])) ++e;
    // Wrap the paragraph [p, e) at spaces (inside a word when one does not fit).
    int32_t s = p;
    if (word_wrap_ && width > 0 && e > p) {
      const std::vector<int32_t> offsets = Offsets(p, e);
      while (offsets[static_cast<size_t>(e - p)] - offsets[static_cast<size_t>(s - p)] > width) {
        int32_t fit = s + 1;
        while (fit < e && offsets[static_cast<size_t>(fit + 1 - p)] - offsets[static_cast<size_t>(s - p)] <= width) ++fit;
        int32_t cut = fit;
        for (int32_t k = fit; k > s; --k)
          if (text[static_cast<size_t>(k - 1)] == U' ') {
            cut = k;
            break;
          }
        // Spaces at the cut stay on the line they end.
        while (cut < e && text[static_cast<size_t>(cut)] == U' ') ++cut;
        if (cut >= e) break;
        layout_.push_back({s, cut});
        s = cut;
      }
    }
    layout_.push_back({s, e});
    if (e >= len) break;
    p = e + 1;
    if (text[static_cast<size_t>(e)] == U'\r' && p < len && text[static_cast<size_t>(p)] == U'\n') ++p;
  }
  layout_text_ = text;
  layout_width_ = width;
  layout_valid_ = true;
  return layout_;
}

int32_t TCustomMemo::LayoutLineCount() { return static_cast<int32_t>(Layout().size()); }

int32_t TCustomMemo::LineFromChar(int32_t Pos) {
  const std::vector<TLayoutLine>& lines = Layout();
  Pos = std::clamp(Pos, 0, TextLength());
  for (size_t i = 0; i + 1 < lines.size(); ++i)
    if (Pos < lines[i + 1].Start) return static_cast<int32_t>(i);
  return static_cast<int32_t>(lines.size()) - 1;
}

int32_t TCustomMemo::LineStart(int32_t Line) {
  const std::vector<TLayoutLine>& lines = Layout();
  if (Line < 0 || Line >= static_cast<int32_t>(lines.size())) return -1;
  return lines[static_cast<size_t>(Line)].Start;
}

TPoint TCustomMemo::PointFromPos(int32_t Pos) {
  const int32_t line = LineFromChar(Pos);
  const TLayoutLine l = Layout()[static_cast<size_t>(line)];
  const std::vector<int32_t> offsets = Offsets(l.Start, l.End);
  const int32_t at = std::clamp(Pos, l.Start, l.End) - l.Start;
  const TRect area = TextArea();
  return TPoint(area.Left + offsets[static_cast<size_t>(at)], area.Top + (line - top_line_) * LineHeight());
}

int32_t TCustomMemo::PosFromPoint(int32_t X, int32_t Y) {
  const TRect area = TextArea();
  const std::vector<TLayoutLine>& lines = Layout();
  const int32_t dy = Y - area.Top;
  int32_t line = top_line_ + (dy < 0 ? -1 : dy / LineHeight());
  line = std::clamp(line, 0, static_cast<int32_t>(lines.size()) - 1);
  const TLayoutLine l = lines[static_cast<size_t>(line)];
  const std::vector<int32_t> offsets = Offsets(l.Start, l.End);
  int32_t best = 0, dist = INT32_MAX;
  for (size_t i = 0; i < offsets.size(); ++i) {
    const int32_t d = std::abs(area.Left + offsets[i] - X);
    if (d < dist) {
      dist = d;
      best = static_cast<int32_t>(i);
    }
  }
  return l.Start + best;
}

// ---------------------------------------------------------------------------------------------
// Scrolling and the caret

void TCustomMemo::SetTopLine(int32_t Line) {
  const int32_t maxTop = std::max(0, LayoutLineCount() - VisibleLines());
  Line = std::clamp(Line, 0, maxTop);
  if (Line != top_line_) {
    top_line_ = Line;
    Invalidate();
  }
  UpdateScrollBar();
}

void TCustomMemo::UpdateScrollBar() {
  if (!HandleAllocated() || !(WindowStyle() & WS_VSCROLL)) return;
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  si.nMin = 0;
  si.nMax = std::max(0, LayoutLineCount() - 1);
  si.nPage = static_cast<UINT>(VisibleLines());
  si.nPos = top_line_;
  SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
}

void TCustomMemo::ScrollToCaret() {
  const int32_t line = LineFromChar(Caret());
  if (line < top_line_) SetTopLine(line);
  else if (line >= top_line_ + VisibleLines()) SetTopLine(line - VisibleLines() + 1);
  else SetTopLine(top_line_);
}

void TCustomMemo::UpdateCaret() {
  if (!HasCaret() || !HandleAllocated()) return;
  const TPoint p = PointFromPos(Caret());
  SetCaretPos(p.X, p.Y);
}

void TCustomMemo::MoveTo(int32_t Pos, bool Extend) {
  SetSel(Extend ? Anchor() : Pos, Pos);
}

// ---------------------------------------------------------------------------------------------
// Painting

void TCustomMemo::PaintWindow(HDC DC) {
  const TRect client = ClientRect();
  HBRUSH back = CreateSolidBrush(Rgb(Color()));
  FillRect(DC, client, back);
  DeleteObject(back);
  const TRect area = TextArea();
  const int32_t h = LineHeight();
  const std::vector<TLayoutLine> lines = Layout();
  const int32_t saved = SaveDC(DC);
  IntersectClipRect(DC, area.Left, area.Top, area.Right, area.Bottom);
  HGDIOBJ oldFont = SelectObject(DC, Font()->Handle());
  SetBkMode(DC, TRANSPARENT);
  const bool showSel = (GetFocus() == Handle() || (EditStyle() & ES_NOHIDESEL)) && SelLength() > 0;
  const int32_t selS = SelStart(), selE = SelStart() + SelLength();
  const COLORREF textColor = Rgb(Enabled() ? Font()->Color() : clGrayText);
  for (int32_t i = top_line_; i < static_cast<int32_t>(lines.size()); ++i) {
    const int32_t y = area.Top + (i - top_line_) * h;
    if (y >= area.Bottom) break;
    const TLayoutLine l = lines[static_cast<size_t>(i)];
    const std::string text =
        ToUtf8(std::u32string_view(Chars()).substr(static_cast<size_t>(l.Start), static_cast<size_t>(l.End - l.Start)));
    SetTextColor(DC, textColor);
    TextOut(DC, area.Left, y, text);
    if (!showSel || selE <= l.Start || selS > l.End) continue;
    const std::vector<int32_t> offsets = Offsets(l.Start, l.End);
    const int32_t a = std::max(selS, l.Start) - l.Start, b = std::min(selE, l.End) - l.Start;
    // A selected line break shows as a little highlighted room after the line.
    const int32_t right = area.Left + offsets[static_cast<size_t>(b)] + (selE > l.End && i + 1 < static_cast<int32_t>(lines.size()) ? 4 : 0);
    const TRect sel(area.Left + offsets[static_cast<size_t>(a)], y, right, y + h);
    if (sel.IsEmpty()) continue;
    HBRUSH brush = CreateSolidBrush(Rgb(clHighlight));
    FillRect(DC, sel, brush);
    DeleteObject(brush);
    const int32_t inner = SaveDC(DC);
    IntersectClipRect(DC, sel.Left, sel.Top, sel.Right, sel.Bottom);
    SetTextColor(DC, Rgb(clHighlightText));
    TextOut(DC, area.Left, y, text);
    RestoreDC(DC, inner);
  }
  SelectObject(DC, oldFont);
  RestoreDC(DC, saved);
}

// ---------------------------------------------------------------------------------------------
// Keyboard and mouse

bool TCustomMemo::KeyDownMemo(uint16_t Key) {
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const std::u32string& text = Chars();
  const int32_t caret = Caret();
  const int32_t line = LineFromChar(caret);
  const TLayoutLine l = Layout()[static_cast<size_t>(line)];
  auto vertical = [&](int32_t Lines) {
    const TPoint p = PointFromPos(caret);
    if (goal_x_ < 0) goal_x_ = p.X;
    const int32_t target = std::clamp(line + Lines, 0, LayoutLineCount() - 1);
    const int32_t gx = goal_x_;
    if (target != line) MoveTo(PosFromPoint(gx, TextArea().Top + (target - top_line_) * LineHeight()), shift);
    else MoveTo(Lines < 0 ? 0 : TextLength(), shift);
    goal_x_ = gx;
  };
  switch (Key) {
    case VK_UP: vertical(-1); return true;
    case VK_DOWN: vertical(1); return true;
    case VK_PRIOR: vertical(-VisibleLines()); return true;
    case VK_NEXT: vertical(VisibleLines()); return true;
    case VK_HOME: MoveTo(ctrl ? 0 : l.Start, shift); break;
    case VK_END: MoveTo(ctrl ? TextLength() : l.End, shift); break;
    case VK_LEFT:
      // A line break moves as one.
      if (!ctrl && !(SelLength() > 0 && !shift) && caret >= 2 && text[static_cast<size_t>(caret - 1)] == U'\n' &&
          text[static_cast<size_t>(caret - 2)] == U'\r') {
        MoveTo(caret - 2, shift);
        break;
      }
      goal_x_ = -1;
      return false;
    case VK_RIGHT:
      if (!ctrl && !(SelLength() > 0 && !shift) && caret + 1 < TextLength() &&
          text[static_cast<size_t>(caret)] == U'\r' && text[static_cast<size_t>(caret + 1)] == U'\n') {
        MoveTo(caret + 2, shift);
        break;
      }
      goal_x_ = -1;
      return false;
    case VK_DELETE:
      if (!shift && SelLength() == 0 && !(EditStyle() & ES_READONLY) && caret + 1 < TextLength() &&
          text[static_cast<size_t>(caret)] == U'\r' && text[static_cast<size_t>(caret + 1)] == U'\n') {
        Edit(caret, caret + 2, {}, TUndoMode::New);
        break;
      }
      goal_x_ = -1;
      return false;
    default: goal_x_ = -1; return false;
  }
  goal_x_ = -1;
  return true;
}

bool TCustomMemo::CharMemo(char32_t Ch) {
  const std::u32string& text = Chars();
  const int32_t caret = Caret();
  const bool readOnly = (EditStyle() & ES_READONLY) != 0;
  switch (Ch) {
    case U'\r':
      if (!readOnly && want_returns_) Edit(SelStart(), SelStart() + SelLength(), U"\r\n", TUndoMode::New);
      return true;
    case U'\n': return true;  // Ctrl+Enter's line feed: nothing
    case U'\t':
      if (!readOnly && want_tabs_) Edit(SelStart(), SelStart() + SelLength(), U"\t", TUndoMode::New);
      return true;
    case 8:
      if (!readOnly && SelLength() == 0 && caret >= 2 && text[static_cast<size_t>(caret - 1)] == U'\n' &&
          text[static_cast<size_t>(caret - 2)] == U'\r') {
        Edit(caret - 2, caret, {}, TUndoMode::New);
        return true;
      }
      return false;
    default: return false;
  }
}

void TCustomMemo::DefaultHandler(TMessage& Message) {
  switch (Message.Msg) {
    case WM_KEYDOWN:
      if (KeyDownMemo(static_cast<uint16_t>(Message.WParam))) {
        Message.Result = 0;
        return;
      }
      break;
    case WM_CHAR:
      if (CharMemo(static_cast<char32_t>(Message.WParam))) {
        Message.Result = 0;
        return;
      }
      break;
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
      if (want_returns_) Message.Result |= DLGC_WANTALLKEYS;
      if (want_tabs_) Message.Result |= DLGC_WANTTAB;
      return;
    case WM_LBUTTONDOWN: {
      TWMMouse m(Message);
      if (GetFocus() != Handle()) ::SetFocus(Handle());
      MoveTo(PosFromPoint(m.XPos, m.YPos), (m.Keys & MK_SHIFT) != 0);
      selecting_ = true;
      SetCapture(Handle());
      return;
    }
    case WM_MOUSEMOVE:
      if (selecting_) {
        TWMMouse m(Message);
        MoveTo(PosFromPoint(m.XPos, m.YPos), true);
        return;
      }
      break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
      if (selecting_) {
        selecting_ = false;
        if (GetCapture() == Handle()) ReleaseCapture();
      }
      break;
    case WM_LBUTTONDBLCLK: {
      TWMMouse m(Message);
      const int32_t pos = PosFromPoint(m.XPos, m.YPos);
      const std::u32string& t = Chars();
      int32_t s = pos, e = pos;
      while (s > 0 && t[static_cast<size_t>(s - 1)] > U' ') --s;
      while (e < TextLength() && t[static_cast<size_t>(e)] > U' ') ++e;
      SetSel(s, e);
      return;
    }
    case WM_VSCROLL: {
      const int32_t code = static_cast<int32_t>(LOWORD(Message.WParam));
      int32_t top = top_line_;
      switch (code) {
        case SB_LINEUP: --top; break;
        case SB_LINEDOWN: ++top; break;
        case SB_PAGEUP: top -= VisibleLines(); break;
        case SB_PAGEDOWN: top += VisibleLines(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: top = static_cast<int16_t>(HIWORD(Message.WParam)); break;
        case SB_TOP: top = 0; break;
        case SB_BOTTOM: top = INT32_MAX / 2; break;
        default: break;
      }
      SetTopLine(top);
      UpdateCaret();
      return;
    }
    case WM_PASTE: {
      if (EditStyle() & ES_READONLY) return;
      // Line breaks of every kind become CR LF.
      const std::u32string in = ToChars(Clipboard()->AsText());
      std::u32string text;
      for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == U'\r' || in[i] == U'\n') {
          if (in[i] == U'\r' && i + 1 < in.size() && in[i + 1] == U'\n') ++i;
          text += U"\r\n";
        } else {
          text.push_back(in[i]);
        }
      }
      if (text.empty() && SelLength() == 0) return;
      Edit(SelStart(), SelStart() + SelLength(), text, TUndoMode::New);
      return;
    }
    case EM_GETLINECOUNT: Message.Result = LayoutLineCount(); return;
    case EM_LINEFROMCHAR:
      Message.Result = LineFromChar(static_cast<int32_t>(Message.WParam) < 0 ? Caret()
                                                                                : static_cast<int32_t>(Message.WParam));
      return;
    case EM_LINEINDEX:
      Message.Result = LineStart(static_cast<int32_t>(Message.WParam) < 0 ? LineFromChar(Caret())
                                                                          : static_cast<int32_t>(Message.WParam));
      return;
    case EM_GETFIRSTVISIBLELINE: Message.Result = top_line_; return;
    case EM_POSFROMCHAR: {
      const int32_t index = static_cast<int32_t>(Message.WParam);
      if (index < 0 || index >= TextLength()) {
        Message.Result = -1;
        return;
      }
      const TPoint p = PointFromPos(index);
      Message.Result = static_cast<LRESULT>(MAKELONG(static_cast<uint16_t>(p.X), static_cast<uint16_t>(p.Y)));
      return;
    }
    case EM_CHARFROMPOS: {
      const int32_t pos = PosFromPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
      Message.Result = static_cast<LRESULT>(MAKELONG(static_cast<uint16_t>(pos), static_cast<uint16_t>(LineFromChar(pos))));
      return;
    }
    default: break;
  }
  TCustomEdit::DefaultHandler(Message);
}
