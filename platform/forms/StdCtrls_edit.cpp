// TCustomEdit: the single-line edit, an edit window of our own drawing with the platform's
// keyboard, mouse, clipboard, undo and EM_* behaviour.
#include <algorithm>
#include <climits>

#include "platform/forms/Clipbrd.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"
#include "platform/forms/StdCtrls.h"
#include "platform/gdi/WinGdi_text.h"

namespace {

constexpr int32_t kNoLimit = 0x7FFFFFFE;

// Case rules of the edit: ASCII and Latin-1 letters.
char32_t UpperChar(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  return c;
}
char32_t LowerChar(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  return c;
}

bool IsWordChar(char32_t c) { return c > ' '; }

COLORREF Rgb(TColor c) { return static_cast<COLORREF>(ColorToRGB(c)) & 0x00FFFFFF; }

// The metrics of a font as the screen shows it.
TEXTMETRIC ScreenTextMetrics(TFont* Font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font->Handle());
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return tm;
}

}  // namespace

std::u32string TCustomEdit::ToChars(std::string_view s) {
  std::u32string out;
  const std::u16string u = Utf8ToUtf16(s);
  for (size_t i = 0; i < u.size(); ++i) {
    char32_t c = u[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
      ++i;
    }
    out.push_back(c);
  }
  return out;
}

std::string TCustomEdit::ToUtf8(std::u32string_view s) {
  std::u16string u;
  for (char32_t c : s) {
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      u.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      u.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      u.push_back(static_cast<char16_t>(c));
    }
  }
  return Utf16ToUtf8(u);
}

PX_CLASS_INFO(TCustomEdit, TWinControl)
PX_CLASS_INFO(TEdit, TCustomEdit, [](TPropertyBuilder<TEdit>& b) { PublishEditProperties(b); })

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner), canvas_(std::make_unique<TControlCanvas>()) {
  canvas_->SetControl(this);
  SetControlStyle(TControlStyle{csClickEvents, csSetCaption, csDoubleClicks, csFixedHeight});
  SetBounds(Left(), Top(), 121, 25);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
  TWinControl::SetAutoSize(true);
}

TCustomEdit::~TCustomEdit() = default;

// ---------------------------------------------------------------------------------------------
// Properties

std::string TCustomEdit::GetText() const { return ToUtf8(text_); }

void TCustomEdit::SetText(const std::string& Value) {
  if (Value == GetText()) return;
  SetEditChars(ToChars(Value));
}

void TCustomEdit::SetEditChars(const std::u32string& Value) {
  const bool changed = Value != text_;
  text_ = Value;
  anchor_ = caret_ = 0;
  scroll_ = 0;
  modified_ = false;
  can_undo_ = false;
  typing_ = false;
  UpdateCaret();
  Invalidate();
  if (changed) NotifyChange();
  Perform(CM_TEXTCHANGED);
}

int32_t TCustomEdit::SelStart() const { return std::min(anchor_, caret_); }
int32_t TCustomEdit::SelLength() const { return std::abs(caret_ - anchor_); }

std::string TCustomEdit::SelText() const {
  return ToUtf8(std::u32string_view(text_).substr(static_cast<size_t>(SelStart()), static_cast<size_t>(SelLength())));
}

void TCustomEdit::SetSelStart(int32_t Value) { Perform(EM_SETSEL, static_cast<WPARAM>(Value), Value); }

void TCustomEdit::SetSelLength(int32_t Value) {
  const int32_t start = SelStart();
  Perform(EM_SETSEL, static_cast<WPARAM>(start), start + Value);
}

void TCustomEdit::SetSelText(const std::string& Value) {
  const std::string copy = Value;
  Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

void TCustomEdit::SelectAll() { Perform(EM_SETSEL, 0, -1); }
void TCustomEdit::ClearSelection() { Perform(WM_CLEAR); }
void TCustomEdit::CutToClipboard() { Perform(WM_CUT); }
void TCustomEdit::CopyToClipboard() { Perform(WM_COPY); }
void TCustomEdit::PasteFromClipboard() { Perform(WM_PASTE); }
void TCustomEdit::Undo() { Perform(WM_UNDO); }
void TCustomEdit::ClearUndo() { Perform(EM_EMPTYUNDOBUFFER); }

void TCustomEdit::SetMaxLength(int32_t Value) {
  max_length_ = std::max(0, Value);
  Perform(EM_LIMITTEXT, static_cast<WPARAM>(max_length_));
}

void TCustomEdit::SetReadOnly(bool Value) {
  read_only_ = Value;
  Perform(EM_SETREADONLY, Value ? 1 : 0);
}

void TCustomEdit::SetPasswordChar(char Value) {
  if (password_char_ == Value) return;
  password_char_ = Value;
  Perform(EM_SETPASSWORDCHAR, static_cast<unsigned char>(Value));
}

void TCustomEdit::SetCharCase(TEditCharCase Value) {
  if (char_case_ == Value) return;
  char_case_ = Value;
  RecreateWnd();
  if (Value == ecNormal) return;
  std::u32string converted = text_;
  for (char32_t& c : converted) c = Value == ecUpperCase ? UpperChar(c) : LowerChar(c);
  if (converted != text_) SetEditChars(converted);
}

void TCustomEdit::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  RecreateWnd();
  Invalidate();
}

void TCustomEdit::SetHideSelection(bool Value) {
  if (hide_selection_ == Value) return;
  hide_selection_ = Value;
  RecreateWnd();
  Invalidate();
}

void TCustomEdit::SetBorderStyle(TBorderStyle Value) {
  if (Value != bsNone) Value = bsSingle;
  if (border_style_ == Value) return;
  border_style_ = Value;
  RecreateWnd();
  AdjustHeight();
}

void TCustomEdit::SetAutoSize(bool Value) {
  if (AutoSize() == Value) return;
  TWinControl::SetAutoSize(Value);
  AdjustHeight();
}

uint32_t TCustomEdit::EditStyle() const {
  if (HandleAllocated()) return WindowStyle();
  uint32_t s = alignment_ == taRightJustify ? ES_RIGHT : alignment_ == taCenter ? ES_CENTER : ES_LEFT;
  if (read_only_) s |= ES_READONLY;
  if (!hide_selection_) s |= ES_NOHIDESEL;
  if (char_case_ == ecUpperCase) s |= ES_UPPERCASE;
  if (char_case_ == ecLowerCase) s |= ES_LOWERCASE;
  return s;
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.Style |= ES_AUTOHSCROLL;
  Params.Style |= alignment_ == taRightJustify ? ES_RIGHT : alignment_ == taCenter ? ES_CENTER : ES_LEFT;
  if (read_only_) Params.Style |= ES_READONLY;
  if (!hide_selection_) Params.Style |= ES_NOHIDESEL;
  if (char_case_ == ecUpperCase) Params.Style |= ES_UPPERCASE;
  if (char_case_ == ecLowerCase) Params.Style |= ES_LOWERCASE;
  if (border_style_ == bsSingle) {
    if (Ctl3D()) Params.ExStyle |= WS_EX_CLIENTEDGE;
    else Params.Style |= WS_BORDER;
  }
  Params.WindowClass.style |= CS_DBLCLKS;
}

void TCustomEdit::CreateWnd() {
  TWinControl::CreateWnd();
  AdjustHeight();
}

void TCustomEdit::Loaded() {
  TWinControl::Loaded();
  AdjustHeight();
}

TFont* TCustomEdit::MeasureFont() { return Font(); }

void TCustomEdit::AdjustHeight() {
  if (!AutoSize() || border_style_ != bsSingle) return;
  if (ComponentState().Contains(csLoading) || ComponentState().Contains(csReading)) return;
  const TEXTMETRIC tm = ScreenTextMetrics(MeasureFont());
  const int32_t extra = GetSystemMetrics(SM_CYBORDER) * (Ctl3D() ? 8 : 6);
  SetHeight(tm.tmHeight + extra);
}

void TCustomEdit::CMFontChanged(TWMNoParams& Message) {
  TWinControl::CMFontChanged(Message);
  AdjustHeight();
  UpdateCaret();
  Invalidate();
}

void TCustomEdit::CMCtl3DChanged(TWMNoParams& Message) {
  TWinControl::CMCtl3DChanged(Message);
  RecreateWnd();
  AdjustHeight();
}

void TCustomEdit::CMEnabledChanged(TWMNoParams& Message) {
  TWinControl::CMEnabledChanged(Message);
  Invalidate();
}

void TCustomEdit::CMEnter(TWMNoParams& Message) {
  if (auto_select_ && !ControlState().Contains(csLButtonDown) && !(EditStyle() & ES_MULTILINE)) SelectAll();
  TWinControl::CMEnter(Message);
}

void TCustomEdit::Change() {
  if (on_change_) on_change_(this);
}

void TCustomEdit::NotifyChange() {
  Perform(CN_COMMAND, MAKEWPARAM(0, EN_CHANGE), reinterpret_cast<LPARAM>(HandleAllocated() ? Handle() : nullptr));
}

void TCustomEdit::Dispatch(TMessage& Message) {
  if (Message.Msg == CN_COMMAND && HIWORD(Message.WParam) == EN_CHANGE) {
    Change();
    return;
  }
  TWinControl::Dispatch(Message);
}

// ---------------------------------------------------------------------------------------------
// The edit engine

void TCustomEdit::Edit(int32_t Start, int32_t End, const std::u32string& Value, TUndoMode Mode) {
  const int32_t len = TextLength();
  Start = std::clamp(Start, 0, len);
  End = std::clamp(End, Start, len);
  if (Mode == TUndoMode::New || (Mode == TUndoMode::Join && !typing_)) {
    undo_ = Snapshot{text_, anchor_, caret_};
    can_undo_ = true;
  }
  const std::u32string before = text_;
  text_.replace(static_cast<size_t>(Start), static_cast<size_t>(End - Start), Value);
  anchor_ = caret_ = Start + static_cast<int32_t>(Value.size());
  typing_ = Mode == TUndoMode::Join;
  modified_ = true;
  ScrollToCaret();
  UpdateCaret();
  Invalidate();
  if (text_ != before) NotifyChange();
}

void TCustomEdit::ReplaceRange(int32_t Start, int32_t End, const std::u32string& Value, bool CanUndo) {
  Edit(Start, End, Value, CanUndo ? TUndoMode::New : TUndoMode::None);
}

void TCustomEdit::SetSel(int32_t AnchorPos, int32_t CaretPos) {
  const int32_t len = TextLength();
  anchor_ = std::clamp(AnchorPos, 0, len);
  caret_ = std::clamp(CaretPos, 0, len);
  typing_ = false;
  ScrollToCaret();
  UpdateCaret();
  Invalidate();
}

void TCustomEdit::MoveCaret(int32_t Pos, bool Extend) {
  const int32_t anchor = Extend ? anchor_ : Pos;
  SetSel(anchor, Pos);
}

int32_t TCustomEdit::WordLeft(int32_t Pos) const {
  while (Pos > 0 && !IsWordChar(text_[static_cast<size_t>(Pos - 1)])) --Pos;
  while (Pos > 0 && IsWordChar(text_[static_cast<size_t>(Pos - 1)])) --Pos;
  return Pos;
}

int32_t TCustomEdit::WordRight(int32_t Pos) const {
  const int32_t len = TextLength();
  while (Pos < len && IsWordChar(text_[static_cast<size_t>(Pos)])) ++Pos;
  while (Pos < len && !IsWordChar(text_[static_cast<size_t>(Pos)])) ++Pos;
  return Pos;
}

std::u32string TCustomEdit::DisplayText() const {
  const char32_t pw =
      password_char_ ? static_cast<unsigned char>(password_char_) : (EditStyle() & ES_PASSWORD) ? U'*' : 0;
  if (!pw) return text_;
  return std::u32string(text_.size(), pw);
}

std::vector<int32_t> TCustomEdit::Offsets() {
  const std::u32string shown = DisplayText();
  std::vector<int32_t> offsets(shown.size() + 1, 0);
  if (shown.empty()) return offsets;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, MeasureFont()->Handle());
  std::vector<int32_t> dx;
  TSize size;
  GetTextExtentExPoint(dc, ToUtf8(shown), INT32_MAX, nullptr, &dx, &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  for (size_t i = 0; i < shown.size() && i < dx.size(); ++i) offsets[i + 1] = dx[i];
  for (size_t i = dx.size(); i < shown.size(); ++i) offsets[i + 1] = offsets[i];
  return offsets;
}

TRect TCustomEdit::EditRect() {
  TRect c = ClientRect();
  return TRect(c.Left + left_margin_, c.Top, std::max(c.Left + left_margin_, c.Right - right_margin_), c.Bottom);
}

int32_t TCustomEdit::TextOrigin(const std::vector<int32_t>& offsets, const TRect& area) const {
  const int32_t total = offsets.back();
  if (total <= area.Width()) {
    const uint32_t align = EditStyle() & (ES_CENTER | ES_RIGHT);
    if (align & ES_RIGHT) return area.Right - total;
    if (align & ES_CENTER) return area.Left + (area.Width() - total) / 2;
    return area.Left;
  }
  return area.Left - scroll_;
}

void TCustomEdit::ScrollToCaret() {
  const std::vector<int32_t> offsets = Offsets();
  const TRect area = EditRect();
  const int32_t total = offsets.back(), width = std::max(1, area.Width());
  if (total <= width) {
    scroll_ = 0;
    return;
  }
  const int32_t cx = offsets[static_cast<size_t>(std::clamp(caret_, 0, TextLength()))];
  if (cx - scroll_ < 0) scroll_ = cx;
  if (cx - scroll_ >= width) scroll_ = cx - width + 1;
  scroll_ = std::clamp(scroll_, 0, std::max(0, total - width + 1));
}

int32_t TCustomEdit::CharFromX(int32_t X) {
  const std::vector<int32_t> offsets = Offsets();
  const int32_t origin = TextOrigin(offsets, EditRect());
  int32_t best = 0, bestDist = INT32_MAX;
  for (size_t i = 0; i < offsets.size(); ++i) {
    const int32_t d = std::abs(origin + offsets[i] - X);
    if (d < bestDist) {
      bestDist = d;
      best = static_cast<int32_t>(i);
    }
  }
  return best;
}

int32_t TCustomEdit::TextTop() {
  const TEXTMETRIC tm = ScreenTextMetrics(MeasureFont());
  line_height_ = tm.tmHeight;
  return std::clamp(ClientHeight() - tm.tmHeight, 0, 1);
}

void TCustomEdit::UpdateCaret() {
  if (!has_caret_ || !HandleAllocated()) return;
  const std::vector<int32_t> offsets = Offsets();
  const int32_t origin = TextOrigin(offsets, EditRect());
  const int32_t top = TextTop();
  SetCaretPos(origin + offsets[static_cast<size_t>(std::clamp(caret_, 0, TextLength()))], top);
}

void TCustomEdit::PaintWindow(HDC DC) {
  CanvasScope scope(canvas_.get(), DC);
  TCanvas* c = canvas_.get();
  const TRect client = ClientRect();
  c->Brush()->SetColor(Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(client);
  const std::vector<int32_t> offsets = Offsets();
  const TRect area = EditRect();
  const int32_t origin = TextOrigin(offsets, area);
  const int32_t top = TextTop();
  const std::u32string shown = DisplayText();
  c->Font()->Assign(Font());
  c->RequiredState({csHandleValid, csFontValid});
  const int32_t saved = SaveDC(DC);
  IntersectClipRect(DC, area.Left, area.Top, area.Right, area.Bottom);
  SetBkMode(DC, TRANSPARENT);
  SetTextColor(DC, Rgb(Enabled() ? Font()->Color() : clGrayText));
  TextOut(DC, origin, top, ToUtf8(shown));
  const bool showSel = GetFocus() == Handle() || (EditStyle() & ES_NOHIDESEL);
  if (showSel && SelLength() > 0) {
    const int32_t s = SelStart(), e = s + SelLength();
    const TRect sel(origin + offsets[static_cast<size_t>(s)], top, origin + offsets[static_cast<size_t>(e)],
                    top + line_height_);
    HBRUSH brush = CreateSolidBrush(Rgb(clHighlight));
    FillRect(DC, sel, brush);
    DeleteObject(brush);
    IntersectClipRect(DC, sel.Left, sel.Top, sel.Right, sel.Bottom);
    SetTextColor(DC, Rgb(clHighlightText));
    TextOut(DC, origin, top, ToUtf8(shown));
  }
  RestoreDC(DC, saved);
}

// ---------------------------------------------------------------------------------------------
// Clipboard and undo

void TCustomEdit::DoCopy() {
  if (password_char_ || (EditStyle() & ES_PASSWORD) || SelLength() == 0) return;
  Clipboard()->SetAsText(SelText());
}

void TCustomEdit::DoClear() {
  if ((EditStyle() & ES_READONLY) || SelLength() == 0) return;
  Edit(SelStart(), SelStart() + SelLength(), {}, TUndoMode::New);
}

void TCustomEdit::DoCut() {
  if ((EditStyle() & ES_READONLY) || password_char_ || (EditStyle() & ES_PASSWORD)) return;
  DoCopy();
  DoClear();
}

void TCustomEdit::DoPaste() {
  if (EditStyle() & ES_READONLY) return;
  std::u32string text = ToChars(Clipboard()->AsText());
  // A single-line edit takes the first line.
  const size_t eol = text.find_first_of(U"\r\n");
  if (eol != std::u32string::npos) text.resize(eol);
  const uint32_t style = EditStyle();
  for (char32_t& c : text) {
    if (style & ES_UPPERCASE) c = UpperChar(c);
    else if (style & ES_LOWERCASE) c = LowerChar(c);
  }
  const int32_t room = limit_ - (TextLength() - SelLength());
  if (static_cast<int32_t>(text.size()) > room) {
    text.resize(static_cast<size_t>(std::max(0, room)));
    MessageBeep(0);
  }
  if (text.empty() && SelLength() == 0) return;
  Edit(SelStart(), SelStart() + SelLength(), text, TUndoMode::New);
}

void TCustomEdit::DoUndo() {
  if (!can_undo_ || (EditStyle() & ES_READONLY)) return;
  Snapshot current{text_, anchor_, caret_};
  const bool changed = undo_.Text != text_;
  text_ = undo_.Text;
  anchor_ = std::clamp(undo_.Anchor, 0, TextLength());
  caret_ = std::clamp(undo_.Caret, 0, TextLength());
  undo_ = std::move(current);
  typing_ = false;
  modified_ = true;
  ScrollToCaret();
  UpdateCaret();
  Invalidate();
  if (changed) NotifyChange();
}

// ---------------------------------------------------------------------------------------------
// Keyboard

void TCustomEdit::KeyDownDefault(uint16_t Key) {
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  switch (Key) {
    case VK_LEFT:
    case VK_UP:
      if (!shift && SelLength() > 0 && !ctrl) MoveCaret(SelStart(), false);
      else MoveCaret(ctrl ? WordLeft(caret_) : std::max(0, caret_ - 1), shift);
      break;
    case VK_RIGHT:
    case VK_DOWN:
      if (!shift && SelLength() > 0 && !ctrl) MoveCaret(SelStart() + SelLength(), false);
      else MoveCaret(ctrl ? WordRight(caret_) : std::min(TextLength(), caret_ + 1), shift);
      break;
    case VK_HOME: MoveCaret(0, shift); break;
    case VK_END: MoveCaret(TextLength(), shift); break;
    case VK_DELETE:
      if (shift) {
        Perform(WM_CUT);
      } else if (!(EditStyle() & ES_READONLY)) {
        if (SelLength() > 0) Perform(WM_CLEAR);
        else if (caret_ < TextLength()) Edit(caret_, caret_ + 1, {}, TUndoMode::New);
      }
      break;
    case VK_INSERT:
      if (ctrl) Perform(WM_COPY);
      else if (shift) Perform(WM_PASTE);
      break;
    default: break;
  }
}

void TCustomEdit::CharDefault(char32_t Ch) {
  switch (Ch) {
    case 3: Perform(WM_COPY); return;
    case 22: Perform(WM_PASTE); return;
    case 24: Perform(WM_CUT); return;
    case 26: Perform(WM_UNDO); return;
    case 8:
      if (EditStyle() & ES_READONLY) return;
      if (SelLength() > 0) Edit(SelStart(), SelStart() + SelLength(), {}, TUndoMode::New);
      else if (caret_ > 0) Edit(caret_ - 1, caret_, {}, TUndoMode::New);
      return;
    default: break;
  }
  if (Ch < 32 || Ch == 127) return;
  const uint32_t style = EditStyle();
  if (style & ES_READONLY) return;
  if ((style & ES_NUMBER) && !(Ch >= '0' && Ch <= '9')) {
    MessageBeep(0);
    return;
  }
  if (style & ES_UPPERCASE) Ch = UpperChar(Ch);
  else if (style & ES_LOWERCASE) Ch = LowerChar(Ch);
  if (TextLength() - SelLength() + 1 > limit_) {
    MessageBeep(0);
    return;
  }
  const bool join = typing_ && SelLength() == 0;
  Edit(SelStart(), SelStart() + SelLength(), std::u32string(1, Ch), join ? TUndoMode::Join : TUndoMode::New);
  typing_ = true;
}

// ---------------------------------------------------------------------------------------------
// Messages the edit window answers by default

void TCustomEdit::DefaultHandler(TMessage& Message) {
  switch (Message.Msg) {
    case WM_KEYDOWN:
      KeyDownDefault(static_cast<uint16_t>(Message.WParam));
      Message.Result = 0;
      return;
    case WM_CHAR: {
      const char16_t unit = static_cast<char16_t>(Message.WParam);
      if (unit >= 0xD800 && unit < 0xDC00) {
        pending_surrogate_ = unit;
        return;
      }
      char32_t ch = unit;
      if (unit >= 0xDC00 && unit < 0xE000) {
        if (!pending_surrogate_) return;
        ch = 0x10000 + ((static_cast<char32_t>(pending_surrogate_) - 0xD800) << 10) + (unit - 0xDC00);
      }
      pending_surrogate_ = 0;
      CharDefault(ch);
      Message.Result = 0;
      return;
    }
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
      return;
    case WM_SETFOCUS: {
      TextTop();
      CreateCaret(Handle(), nullptr, 1, line_height_);
      has_caret_ = true;
      UpdateCaret();
      ShowCaret(Handle());
      Invalidate();
      break;
    }
    case WM_KILLFOCUS:
      if (has_caret_) {
        has_caret_ = false;
        DestroyCaret();
      }
      selecting_ = false;
      Invalidate();
      break;
    case WM_LBUTTONDOWN: {
      TWMMouse m(Message);
      if (GetFocus() != Handle()) ::SetFocus(Handle());
      const int32_t pos = CharFromX(m.XPos);
      MoveCaret(pos, (m.Keys & MK_SHIFT) != 0);
      selecting_ = true;
      SetCapture(Handle());
      return;
    }
    case WM_LBUTTONDBLCLK: {
      TWMMouse m(Message);
      const int32_t pos = CharFromX(m.XPos);
      int32_t s = pos, e = pos;
      while (s > 0 && IsWordChar(text_[static_cast<size_t>(s - 1)])) --s;
      while (e < TextLength() && IsWordChar(text_[static_cast<size_t>(e)])) ++e;
      SetSel(s, e);
      return;
    }
    case WM_MOUSEMOVE:
      if (selecting_) {
        TWMMouse m(Message);
        MoveCaret(CharFromX(m.XPos), true);
      }
      break;
    case WM_LBUTTONUP:
      if (selecting_) {
        selecting_ = false;
        if (GetCapture() == Handle()) ReleaseCapture();
      }
      break;
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
      selecting_ = false;
      break;
    case WM_SETCURSOR:
      if (LOWORD(static_cast<uintptr_t>(Message.LParam)) == HTCLIENT) {
        if (TScreen* screen = Screen()) ::SetCursor(screen->Cursors(crIBeam));
        Message.Result = 1;
        return;
      }
      break;
    case WM_CUT: DoCut(); return;
    case WM_COPY: DoCopy(); return;
    case WM_PASTE: DoPaste(); return;
    case WM_CLEAR: DoClear(); return;
    case WM_UNDO:
    case EM_UNDO:
      Message.Result = can_undo_ ? 1 : 0;
      DoUndo();
      return;
    case WM_SETTEXT:
      SetEditChars(ToChars(Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : ""));
      Message.Result = 1;
      return;
    case WM_GETTEXTLENGTH:
      Message.Result = static_cast<LRESULT>(GetText().size());
      return;
    case WM_GETTEXT: {
      const std::string text = GetText();
      char* buffer = reinterpret_cast<char*>(Message.LParam);
      const size_t room = static_cast<size_t>(Message.WParam);
      if (!buffer || room == 0) {
        Message.Result = 0;
        return;
      }
      const size_t n = std::min(text.size(), room - 1);
      std::copy_n(text.data(), n, buffer);
      buffer[n] = '\0';
      Message.Result = static_cast<LRESULT>(n);
      return;
    }
    case EM_GETSEL: {
      const int32_t s = SelStart(), e = s + SelLength();
      if (Message.WParam) *reinterpret_cast<DWORD*>(Message.WParam) = static_cast<DWORD>(s);
      if (Message.LParam) *reinterpret_cast<DWORD*>(Message.LParam) = static_cast<DWORD>(e);
      Message.Result = static_cast<LRESULT>(MAKELONG(static_cast<uint16_t>(std::min(s, 0xFFFF)),
                                                     static_cast<uint16_t>(std::min(e, 0xFFFF))));
      return;
    }
    case EM_SETSEL: {
      const int32_t start = static_cast<int32_t>(static_cast<intptr_t>(Message.WParam));
      const int32_t end = static_cast<int32_t>(Message.LParam);
      if (start < 0) {
        SetSel(caret_, caret_);
      } else {
        SetSel(start, end < 0 ? TextLength() : end);
      }
      return;
    }
    case EM_REPLACESEL: {
      const char* text = reinterpret_cast<const char*>(Message.LParam);
      Edit(SelStart(), SelStart() + SelLength(), ToChars(text ? text : ""),
           Message.WParam ? TUndoMode::New : TUndoMode::None);
      return;
    }
    case EM_GETMODIFY: Message.Result = modified_ ? 1 : 0; return;
    case EM_SETMODIFY: modified_ = Message.WParam != 0; return;
    case EM_CANUNDO: Message.Result = can_undo_ ? 1 : 0; return;
    case EM_EMPTYUNDOBUFFER: can_undo_ = false; return;
    case EM_LIMITTEXT:
      limit_ = Message.WParam ? static_cast<int32_t>(std::min<WPARAM>(Message.WParam, kNoLimit)) : kNoLimit;
      return;
    case EM_GETLIMITTEXT: Message.Result = limit_; return;
    case EM_SETREADONLY:
      if (HandleAllocated()) {
        const uint32_t style = WindowStyle();
        const uint32_t changed = Message.WParam ? style | ES_READONLY : style & ~static_cast<uint32_t>(ES_READONLY);
        SetWindowLong(Handle(), GWL_STYLE, static_cast<int32_t>(changed));
      }
      Invalidate();
      Message.Result = 1;
      return;
    case EM_SETPASSWORDCHAR:
      password_char_ = static_cast<char>(Message.WParam & 0xFF);
      ScrollToCaret();
      UpdateCaret();
      Invalidate();
      return;
    case EM_GETPASSWORDCHAR: Message.Result = static_cast<unsigned char>(password_char_); return;
    case EM_SETMARGINS: {
      const uint16_t flags = static_cast<uint16_t>(Message.WParam);
      if (flags == EC_USEFONTINFO) {
        left_margin_ = right_margin_ = 1;  // the font's own margins
      } else {
        if (flags & EC_LEFTMARGIN) left_margin_ = Message.LParamLo();
        if (flags & EC_RIGHTMARGIN) right_margin_ = Message.LParamHi();
      }
      ScrollToCaret();
      UpdateCaret();
      Invalidate();
      return;
    }
    case EM_GETMARGINS:
      Message.Result =
          static_cast<LRESULT>(MAKELONG(static_cast<uint16_t>(left_margin_), static_cast<uint16_t>(right_margin_)));
      return;
    case EM_GETRECT:
      if (Message.LParam) *reinterpret_cast<TRect*>(Message.LParam) = EditRect();
      return;
    case EM_SCROLLCARET:
      ScrollToCaret();
      UpdateCaret();
      Invalidate();
      return;
    case EM_POSFROMCHAR: {
      const int32_t index = static_cast<int32_t>(Message.WParam);
      if (index < 0 || index >= TextLength()) {
        Message.Result = -1;
        return;
      }
      const std::vector<int32_t> offsets = Offsets();
      const int32_t x = TextOrigin(offsets, EditRect()) + offsets[static_cast<size_t>(index)];
      Message.Result = static_cast<LRESULT>(MAKELONG(static_cast<uint16_t>(x), static_cast<uint16_t>(TextTop())));
      return;
    }
    case EM_CHARFROMPOS:
      Message.Result =
          static_cast<LRESULT>(MAKELONG(static_cast<uint16_t>(CharFromX(GET_X_LPARAM(Message.LParam))), 0));
      return;
    case EM_GETLINECOUNT: Message.Result = 1; return;
    default: break;
  }
  TWinControl::DefaultHandler(Message);
}
