// The rich edit control: editing keys and mouse, scrolling, painting, the clipboard, address
// detection and the rich edit's messages over its document.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/forms/Clipbrd.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/RichEditControl.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/SysUtils.h"

PX_CLASS_INFO(TCustomRichEdit, TWinControl)

namespace {

COLORREF Rgb(TColor c) { return static_cast<COLORREF>(ColorToRGB(c)) & 0x00FFFFFF; }

constexpr int32_t kLeftMargin = 1;  // pixels between the border and the text

bool IsWordUnit(char16_t u) { return u > u' ' && u != u'\r' && u != u'\v'; }

// Address schemes the control turns into links.
constexpr std::u16string_view kSchemes[] = {u"http://", u"https://", u"ftp://", u"file:", u"mailto:", u"www."};

UINT RtfClipboardFormat() {
  static const UINT id = RegisterClipboardFormat("Rich Text Format");
  return id;
}

}  // namespace

struct TCustomRichEdit::TState {
  int32_t Anchor = 0;
  int32_t Caret = 0;
  int32_t ScrollX = 0, ScrollY = 0;  // pixels scrolled out
  DWORD EventMask = 0;
  bool SystemBack = true;
  COLORREF Back = 0xFFFFFF;
  int32_t ZoomNum = 0, ZoomDen = 0;
  bool AutoUrl = false;
  DWORD Options = ECO_AUTOWORDSELECTION;
  DWORD LangOptions = IMF_AUTOFONT;
  DWORD TextMode = TM_RICHTEXT | TM_MULTILEVELUNDO;
  DWORD Typography = 0;
  int32_t Limit = 32767;
  bool Selecting = false;
  bool HasCaret = false;
  char16_t PendingSurrogate = 0;
  double LaidOutWidth = -2;
};

TCustomRichEdit::TCustomRichEdit(TComponent* AOwner)
    : TWinControl(AOwner), FDoc(std::make_unique<TRichEditDocument>()), FState(std::make_unique<TState>()) {
  SetBounds(Left(), Top(), 185, 89);
  SetTabStop(true);
  SetColor(clWindow);
  SetParentColor(false);
  SetCursor(crIBeam);
}

TCustomRichEdit::~TCustomRichEdit() = default;

// ---- properties

std::string TCustomRichEdit::GetText() const {
  std::u16string t = FDoc->Text();
  std::u16string out;
  out.reserve(t.size());
  for (char16_t u : t) {
    if (u == u'\r') out += u"\r\n";
    else out += u == u'\v' ? u'\n' : u;
  }
  return Utf16ToUtf8(out);
}

void TCustomRichEdit::SetText(const std::string& Value) {
  if (Value.rfind("{\\rtf", 0) == 0) FDoc->LoadRtf(Value);
  else FDoc->LoadText(Value);
  FState->Anchor = FState->Caret = 0;
  FState->ScrollX = FState->ScrollY = 0;
  Edited();
  Perform(CM_TEXTCHANGED, 0, 0);
}

std::string TCustomRichEdit::SaveRtf() const {
  if (FPlainText) return GetText();
  return FDoc->SaveRtf();
}

void TCustomRichEdit::LoadRtf(std::string_view Value) { SetText(std::string(Value)); }

int32_t TCustomRichEdit::SelStart() { return FDoc->Selection().cpMin; }

void TCustomRichEdit::SetSelStart(int32_t Value) {
  CHARRANGE r{Value, Value};
  Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
}

int32_t TCustomRichEdit::SelLength() {
  const CHARRANGE r = FDoc->Selection();
  return r.cpMax - r.cpMin;
}

void TCustomRichEdit::SetSelLength(int32_t Value) {
  CHARRANGE r{SelStart(), SelStart() + std::max(Value, 0)};
  Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  Perform(EM_SCROLLCARET, 0, 0);
}

std::string TCustomRichEdit::SelText() {
  const CHARRANGE r = FDoc->Selection();
  std::u16string t = FDoc->Text().substr(static_cast<size_t>(r.cpMin), static_cast<size_t>(r.cpMax - r.cpMin));
  std::replace(t.begin(), t.end(), u'\v', u'\n');
  return Utf16ToUtf8(t);
}

void TCustomRichEdit::SetSelText(const std::string& Value) {
  Perform(EM_REPLACESEL, 1, reinterpret_cast<LPARAM>(Value.c_str()));
}

void TCustomRichEdit::SelectAll() {
  CHARRANGE r{0, -1};
  Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
}

void TCustomRichEdit::ClearSelection() { Perform(WM_CLEAR, 0, 0); }
void TCustomRichEdit::CutToClipboard() { Perform(WM_CUT, 0, 0); }
void TCustomRichEdit::CopyToClipboard() { Perform(WM_COPY, 0, 0); }
void TCustomRichEdit::PasteFromClipboard() { Perform(WM_PASTE, 0, 0); }
void TCustomRichEdit::Undo() { Perform(EM_UNDO, 0, 0); }
void TCustomRichEdit::ClearUndo() { Perform(EM_EMPTYUNDOBUFFER, 0, 0); }

void TCustomRichEdit::SetReadOnly(bool Value) {
  FReadOnly = Value;
  if (Value) FState->Options |= ECO_READONLY;
  else FState->Options &= ~ECO_READONLY;
}

void TCustomRichEdit::SetWordWrap(bool Value) {
  if (FWordWrap == Value) return;
  FWordWrap = Value;
  if (HandleAllocated()) RecreateWnd();
  Relayout();
  Invalidate();
}

void TCustomRichEdit::SetScrollBars(TScrollStyle Value) {
  if (FScrollBars == Value) return;
  FScrollBars = Value;
  RecreateWnd();
}

void TCustomRichEdit::SetHideSelection(bool Value) {
  if (FHideSelection == Value) return;
  FHideSelection = Value;
  RecreateWnd();
}

void TCustomRichEdit::SetMaxLength(int32_t Value) {
  FMaxLength = std::max(Value, 0);
  if (HandleAllocated()) Perform(EM_EXLIMITTEXT, 0, FMaxLength == 0 ? 0x7FFFFFF0 : FMaxLength);
}

void TCustomRichEdit::SetBorderStyle(TBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  RecreateWnd();
}

// ---- window

void TCustomRichEdit::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.Style |= DWORD(ES_MULTILINE) | DWORD(ES_SAVESEL) | DWORD(WS_CLIPSIBLINGS) | DWORD(WS_CLIPCHILDREN);
  Params.Style &= ~(WS_HSCROLL | WS_VSCROLL);
  if (FScrollBars == ssVertical || FScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
  if (!FWordWrap && (FScrollBars == ssHorizontal || FScrollBars == ssBoth)) Params.Style |= WS_HSCROLL;
  if (!FWordWrap) Params.Style |= ES_AUTOHSCROLL;
  if (FReadOnly) Params.Style |= ES_READONLY;
  if (!FHideSelection) Params.Style |= ES_NOHIDESEL;
  if (FBorderStyle == bsSingle) {
    if (Ctl3D()) Params.ExStyle |= WS_EX_CLIENTEDGE;
    else Params.Style |= WS_BORDER;
  }
  Params.WindowClass.style |= CS_DBLCLKS;
}

void TCustomRichEdit::CreateWnd() {
  TWinControl::CreateWnd();
  Perform(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE | ENM_REQUESTRESIZE | ENM_PROTECTED);
  Perform(EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(Rgb(Color())));
  Perform(EM_EXLIMITTEXT, 0, FMaxLength == 0 ? 0x7FFFFFF0 : FMaxLength);
  Relayout();
  UpdateScrollBar();
}

void TCustomRichEdit::Resize() {
  TWinControl::Resize();
  Relayout();
  UpdateScrollBar();
}

double TCustomRichEdit::Scale() const {
  const TState& s = *FState;
  if (s.ZoomNum > 0 && s.ZoomDen > 0) return static_cast<double>(s.ZoomNum) / s.ZoomDen;
  return 1.0;
}

TRect TCustomRichEdit::TextArea() const {
  const TRect c = const_cast<TCustomRichEdit*>(this)->ClientRect();
  return TRect(c.Left + kLeftMargin, c.Top, std::max(c.Left + kLeftMargin, c.Right - kLeftMargin), c.Bottom);
}

void TCustomRichEdit::Relayout() {
  const double w = FWordWrap ? TextArea().Width() / Scale() : 0;
  if (w == FState->LaidOutWidth) return;
  FState->LaidOutWidth = w;
  FDoc->SetLayoutWidth(FWordWrap ? std::max(w, 1.0) : 0);
}

void TCustomRichEdit::UpdateScrollBar() {
  if (!HandleAllocated() || !(GetWindowLong(Handle(), GWL_STYLE) & WS_VSCROLL)) return;
  Relayout();
  const TRect area = TextArea();
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(0, static_cast<int32_t>(std::ceil(FDoc->LayoutHeight() * Scale())) - 1);
  si.nPage = static_cast<UINT>(std::max(area.Height(), 0));
  si.nPos = FState->ScrollY;
  SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
}

TPoint TCustomRichEdit::PointFromPos(int32_t Pos) {
  Relayout();
  double x, y, h;
  FDoc->CaretRect(Pos, x, y, h);
  const TRect area = TextArea();
  const double k = Scale();
  return TPoint(area.Left + static_cast<int32_t>(std::floor(x * k)) - FState->ScrollX,
                area.Top + static_cast<int32_t>(std::floor(y * k)) - FState->ScrollY);
}

int32_t TCustomRichEdit::PosFromPoint(int32_t X, int32_t Y) {
  Relayout();
  const TRect area = TextArea();
  const double k = Scale();
  return FDoc->HitTest((X - area.Left + FState->ScrollX) / k, (Y - area.Top + FState->ScrollY) / k);
}

void TCustomRichEdit::ScrollToCaret() {
  Relayout();
  double x, y, h;
  FDoc->CaretRect(FState->Caret, x, y, h);
  const double k = Scale();
  const TRect area = TextArea();
  TState& s = *FState;
  const int32_t top = static_cast<int32_t>(std::floor(y * k)), bottom = static_cast<int32_t>(std::ceil((y + h) * k));
  const int32_t oldY = s.ScrollY, oldX = s.ScrollX;
  if (top < s.ScrollY) s.ScrollY = top;
  else if (bottom > s.ScrollY + area.Height()) s.ScrollY = std::max(0, bottom - area.Height());
  if (!FWordWrap) {
    const int32_t cx = static_cast<int32_t>(std::floor(x * k));
    if (cx < s.ScrollX) s.ScrollX = cx;
    else if (cx >= s.ScrollX + area.Width()) s.ScrollX = cx - area.Width() + 1;
  } else {
    s.ScrollX = 0;
  }
  if (s.ScrollY != oldY || s.ScrollX != oldX) {
    UpdateScrollBar();
    Invalidate();
  }
}

void TCustomRichEdit::UpdateCaret() {
  if (!FState->HasCaret || !HandleAllocated()) return;
  Relayout();
  double x, y, h;
  FDoc->CaretRect(FState->Caret, x, y, h);
  const TPoint p = PointFromPos(FState->Caret);
  CreateCaret(Handle(), nullptr, 1, std::max(1, static_cast<int32_t>(std::ceil(h * Scale()))));
  ::SetCaretPos(p.X, p.Y);
  ShowCaret(Handle());
}

void TCustomRichEdit::PaintWindow(HDC DC) {
  const TRect client = ClientRect();
  TState& s = *FState;
  HBRUSH brush = CreateSolidBrush(s.SystemBack ? Rgb(Color()) : s.Back);
  FillRect(DC, client, brush);
  DeleteObject(brush);
  Relayout();
  const TRect area = TextArea();
  TRichDrawOptions o;
  o.ShowSelection = !FHideSelection || Focused();
  o.SelectionBack = Rgb(clHighlight);
  o.SelectionText = Rgb(clHighlightText);
  o.WindowText = Rgb(clWindowText);
  o.Links = FLinks;
  const double k = Scale();
  FDoc->Draw(DC, area.Left - s.ScrollX, area.Top - s.ScrollY, k, k, area, o);
}

// ---- notifications

void TCustomRichEdit::Notify(UINT Code, NMHDR& Header) {
  Header.hwndFrom = HandleAllocated() ? Handle() : nullptr;
  Header.code = Code;
  Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&Header));
}

void TCustomRichEdit::Edited() {
  DetectLinks();
  Relayout();
  UpdateScrollBar();
  Invalidate();
  if (HandleAllocated() && (FState->EventMask & ENM_CHANGE))
    Perform(CN_COMMAND, MAKEWPARAM(0, EN_CHANGE), reinterpret_cast<LPARAM>(Handle()));
  SelChanged();
}

void TCustomRichEdit::SelChanged() {
  const CHARRANGE r = FDoc->Selection();
  TState& s = *FState;
  // Keeps the caret end of a selection made backwards.
  if (!((s.Anchor == r.cpMin && s.Caret == r.cpMax) || (s.Anchor == r.cpMax && s.Caret == r.cpMin))) {
    s.Anchor = r.cpMin;
    s.Caret = r.cpMax;
  }
  UpdateCaret();
  Invalidate();
  if (HandleAllocated() && (s.EventMask & ENM_SELCHANGE)) {
    SELCHANGE n;
    n.chrg = r;
    n.seltyp = r.cpMin == r.cpMax ? 0 : 1;
    Notify(EN_SELCHANGE, n.nmhdr);
  }
}

void TCustomRichEdit::Change() {
  if (FOnChange) FOnChange(this);
}

void TCustomRichEdit::SelectionChange() {
  if (FOnSelectionChange) FOnSelectionChange(this);
}

void TCustomRichEdit::RequestSize(const TRect& Rect) { (void)Rect; }

void TCustomRichEdit::CNNotify(TWMNotify& Message) { (void)Message; }

void TCustomRichEdit::Dispatch(TMessage& Message) {
  if (Message.Msg == CN_COMMAND && HIWORD(Message.WParam) == EN_CHANGE) {
    Change();
    return;
  }
  if (Message.Msg == CN_NOTIFY) {
    TWMNotify m(Message);
    if (m.NMHdr) {
      switch (m.NMHdr->code) {
        case EN_SELCHANGE: SelectionChange(); return;
        case EN_REQUESTRESIZE: RequestSize(reinterpret_cast<REQRESIZE*>(m.NMHdr)->rc); return;
        default: CNNotify(m); Message.Result = m.Result; return;
      }
    }
  }
  TWinControl::Dispatch(Message);
}

// ---- links

void TCustomRichEdit::DetectLinks() {
  FLinks.clear();
  if (!FState->AutoUrl) return;
  const std::u16string t = FDoc->Text();
  size_t i = 0;
  while (i < t.size()) {
    if (i > 0 && IsWordUnit(t[i - 1])) {
      ++i;
      continue;
    }
    bool found = false;
    for (std::u16string_view scheme : kSchemes) {
      if (t.size() - i <= scheme.size()) continue;
      bool same = true;
      for (size_t k = 0; k < scheme.size() && same; ++k) {
        char16_t u = t[i + k];
        if (u >= u'A' && u <= u'Z') u = static_cast<char16_t>(u + 32);
        same = u == scheme[k];
      }
      if (!same || !IsWordUnit(t[i + scheme.size()])) continue;
      size_t e = i + scheme.size();
      while (e < t.size() && IsWordUnit(t[e])) ++e;
      // Closing punctuation after an address belongs to the sentence.
      while (e > i + scheme.size() && std::u16string_view(u".,;:!?)'\"").find(t[e - 1]) != std::u16string_view::npos)
        --e;
      FLinks.push_back(CHARRANGE{static_cast<LONG>(i), static_cast<LONG>(e)});
      i = e;
      found = true;
      break;
    }
    if (!found) ++i;
  }
}

int32_t TCustomRichEdit::LinkAt(int32_t X, int32_t Y, CHARRANGE& Range) {
  if (FLinks.empty()) return -1;
  const int32_t pos = PosFromPoint(X, Y);
  // The hit position is a boundary: the character right of it, or left of it at a line end.
  const TPoint at = PointFromPos(pos);
  const int32_t ch = X >= at.X ? pos : pos - 1;
  for (size_t i = 0; i < FLinks.size(); ++i) {
    if (ch >= FLinks[i].cpMin && ch < FLinks[i].cpMax) {
      Range = FLinks[i];
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

// ---- editing

void TCustomRichEdit::MoveTo(int32_t Pos, bool Extend) {
  TState& s = *FState;
  s.Caret = std::clamp(Pos, 0, FDoc->TextLength());
  if (!Extend) s.Anchor = s.Caret;
  FDoc->SetSelection(s.Anchor, s.Caret);
  ScrollToCaret();
  SelChanged();
}

void TCustomRichEdit::TypeUnits(std::u16string_view Units) {
  if (FReadOnly) {
    MessageBeep(0);
    return;
  }
  const CHARRANGE r = FDoc->Selection();
  const int32_t room = FState->Limit - (FDoc->TextLength() - (r.cpMax - r.cpMin));
  if (static_cast<int32_t>(Units.size()) > room) {
    MessageBeep(0);
    return;
  }
  FDoc->ReplaceSelection(Units, FState->TextMode & (TM_MULTILEVELUNDO | TM_SINGLELEVELUNDO));
  const int32_t end = FDoc->Selection().cpMax;
  FDoc->SetSelection(end, end);
  FState->Anchor = FState->Caret = end;
  Edited();
  ScrollToCaret();
}

void TCustomRichEdit::KeyDownDefault(uint16_t Key, TShiftState Shift) {
  Relayout();
  const bool ctrl = Shift.Contains(ssCtrl), shift = Shift.Contains(ssShift);
  TState& s = *FState;
  const CHARRANGE sel = FDoc->Selection();
  auto erase = [&](TRichMove How) {
    if (FReadOnly) {
      MessageBeep(0);
      return;
    }
    if (sel.cpMin == sel.cpMax) {
      const int32_t to = FDoc->Move(s.Caret, How);
      if (to == s.Caret) return;
      FDoc->SetSelection(std::min(to, s.Caret), std::max(to, s.Caret));
    }
    TypeUnits(u"");
  };
  using enum TRichMove;
  switch (Key) {
    case VK_LEFT: MoveTo(!shift && sel.cpMin != sel.cpMax ? sel.cpMin : FDoc->Move(s.Caret, ctrl ? WordLeft : CharLeft), shift); break;
    case VK_RIGHT: MoveTo(!shift && sel.cpMin != sel.cpMax ? sel.cpMax : FDoc->Move(s.Caret, ctrl ? WordRight : CharRight), shift); break;
    case VK_UP: MoveTo(FDoc->Move(s.Caret, LineUp), shift); break;
    case VK_DOWN: MoveTo(FDoc->Move(s.Caret, LineDown), shift); break;
    case VK_HOME: MoveTo(FDoc->Move(s.Caret, ctrl ? DocStart : LineStart), shift); break;
    case VK_END: MoveTo(FDoc->Move(s.Caret, ctrl ? DocEnd : LineEnd), shift); break;
    case VK_PRIOR:
    case VK_NEXT: {
      const TPoint p = PointFromPos(s.Caret);
      const int32_t page = std::max(1, TextArea().Height() - 10);
      MoveTo(PosFromPoint(p.X, p.Y + (Key == VK_NEXT ? page : -page) + 1), shift);
      break;
    }
    case VK_BACK: erase(ctrl ? WordLeft : CharLeft); break;
    case VK_DELETE:
      if (shift && !ctrl) Perform(WM_CUT, 0, 0);
      else erase(ctrl ? WordRight : CharRight);
      break;
    case VK_INSERT:
      if (ctrl) Perform(WM_COPY, 0, 0);
      else if (shift) Perform(WM_PASTE, 0, 0);
      break;
    case VK_RETURN: TypeUnits(shift ? u"\v" : u"\r"); break;
    default:
      if (!ctrl) break;
      switch (Key) {
        case 'A': MoveTo(FDoc->TextLength(), false), s.Anchor = 0, FDoc->SetSelection(0, s.Caret), SelChanged(); break;
        case 'C': Perform(WM_COPY, 0, 0); break;
        case 'X': Perform(WM_CUT, 0, 0); break;
        case 'V': Perform(WM_PASTE, 0, 0); break;
        case 'Z': Perform(EM_UNDO, 0, 0); break;
        case 'Y': Perform(EM_REDO, 0, 0); break;
        default: break;
      }
  }
}

LRESULT TCustomRichEdit::FormatRange(BOOL Render, FORMATRANGE* Range) {
  // No range clears what was cached (nothing is cached here).
  if (!Range || !Range->hdc) return 0;
  const int32_t dpiX = std::max(1, GetDeviceCaps(Range->hdc, LOGPIXELSX));
  const int32_t dpiY = std::max(1, GetDeviceCaps(Range->hdc, LOGPIXELSY));
  // Twips to the device's logical units; the document is laid out in 96 dpi pixels.
  const double tx = 1440.0 / dpiX, ty = 1440.0 / dpiY;
  const TRect rc = Range->rc;
  const double width = (rc.Right - rc.Left) / tx * 96.0 / dpiX;
  FDoc->SetLayoutWidth(std::max(width, 1.0));
  const double usedW = FDoc->UsedWidth() * dpiX / 96.0, usedH = FDoc->LayoutHeight() * dpiY / 96.0;
  if (Render) {
    const TRect clip(static_cast<int32_t>(std::floor(rc.Left / tx)), static_cast<int32_t>(std::floor(rc.Top / ty)),
                     static_cast<int32_t>(std::ceil(rc.Right / tx)), static_cast<int32_t>(std::ceil(rc.Bottom / ty)));
    TRichDrawOptions o;
    o.WindowText = Rgb(clWindowText);
    FDoc->Draw(Range->hdc, rc.Left / tx, rc.Top / ty, dpiX / 96.0, dpiY / 96.0, clip, o);
  }
  Range->rc.Right = rc.Left + static_cast<int32_t>(std::lround(std::ceil(usedW) * tx));
  Range->rc.Bottom = rc.Top + static_cast<int32_t>(std::lround(std::min(std::ceil(usedH) * ty, 2e9 - rc.Top)));
  // The control lays its text out again when it next needs its own layout.
  FState->LaidOutWidth = -2;
  return FDoc->TextLength();
}

void TCustomRichEdit::SetTextMode(DWORD Mode) {
  FState->TextMode = Mode;
  FPlainText = (Mode & TM_PLAINTEXT) != 0;
  if (Mode & TM_SINGLELEVELUNDO) FDoc->SetUndoLimit(1);
}

void TCustomRichEdit::DefaultHandler(TMessage& Message) {
  TState& s = *FState;
  switch (Message.Msg) {
    case WM_KEYDOWN:
      KeyDownDefault(static_cast<uint16_t>(Message.WParam), KeyDataToShiftState(Message.LParam));
      Message.Result = 0;
      return;
    case WM_CHAR: {
      const char16_t unit = static_cast<char16_t>(Message.WParam);
      if (unit >= 0xD800 && unit < 0xDC00) {
        s.PendingSurrogate = unit;
        return;
      }
      if (unit >= 0xDC00 && unit < 0xE000) {
        if (s.PendingSurrogate) {
          const char16_t pair[2] = {s.PendingSurrogate, unit};
          TypeUnits(std::u16string_view(pair, 2));
        }
        s.PendingSurrogate = 0;
        return;
      }
      s.PendingSurrogate = 0;
      if ((unit >= 32 && unit != 127) || unit == u'\t') TypeUnits(std::u16string_view(&unit, 1));
      return;
    }
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL | (FWantTabs ? DLGC_WANTTAB : 0) |
                       (FWantReturns ? DLGC_WANTALLKEYS : 0);
      return;
    case WM_SETFOCUS:
      s.HasCaret = true;
      UpdateCaret();
      Invalidate();
      break;
    case WM_KILLFOCUS:
      if (s.HasCaret) {
        s.HasCaret = false;
        DestroyCaret();
      }
      s.Selecting = false;
      Invalidate();
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MOUSEMOVE: {
      TWMMouse m(Message);
      CHARRANGE link;
      if ((s.EventMask & ENM_LINK) && !(s.Selecting && Message.Msg == WM_MOUSEMOVE) && LinkAt(m.XPos, m.YPos, link) >= 0) {
        ENLINK n;
        n.msg = Message.Msg;
        n.wParam = Message.WParam;
        n.lParam = Message.LParam;
        n.chrg = link;
        Notify(EN_LINK, n.nmhdr);
      }
      if (Message.Msg == WM_LBUTTONDOWN) {
        if (GetFocus() != Handle()) ::SetFocus(Handle());
        MoveTo(PosFromPoint(m.XPos, m.YPos), (m.Keys & MK_SHIFT) != 0);
        s.Selecting = true;
        SetCapture(Handle());
      } else if (Message.Msg == WM_MOUSEMOVE && s.Selecting) {
        MoveTo(PosFromPoint(m.XPos, m.YPos), true);
      } else if (Message.Msg == WM_LBUTTONUP && s.Selecting) {
        s.Selecting = false;
        if (GetCapture() == Handle()) ReleaseCapture();
      }
      break;
    }
    case WM_LBUTTONDBLCLK: {
      TWMMouse m(Message);
      const int32_t pos = PosFromPoint(m.XPos, m.YPos);
      const std::u16string t = FDoc->Text();
      int32_t a = pos, e = pos;
      while (a > 0 && IsWordUnit(t[static_cast<size_t>(a - 1)])) --a;
      while (e < static_cast<int32_t>(t.size()) && IsWordUnit(t[static_cast<size_t>(e)])) ++e;
      s.Anchor = a;
      MoveTo(e, true);
      return;
    }
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE: s.Selecting = false; break;
    case WM_SETCURSOR:
      if (LOWORD(static_cast<uintptr_t>(Message.LParam)) == HTCLIENT) {
        TPoint p;
        GetCursorPos(&p);
        p = ScreenToClient(p);
        CHARRANGE link;
        if (TScreen* screen = Screen())
          ::SetCursor(screen->Cursors(LinkAt(p.X, p.Y, link) >= 0 ? crHandPoint : crIBeam));
        Message.Result = 1;
        return;
      }
      break;
    case WM_VSCROLL: {
      Relayout();
      const int32_t page = std::max(1, TextArea().Height());
      const int32_t limit = std::max(0, static_cast<int32_t>(std::ceil(FDoc->LayoutHeight() * Scale())) - page);
      int32_t y = s.ScrollY;
      switch (LOWORD(Message.WParam)) {
        case SB_LINEUP: y -= 16; break;
        case SB_LINEDOWN: y += 16; break;
        case SB_PAGEUP: y -= page; break;
        case SB_PAGEDOWN: y += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: y = static_cast<int16_t>(HIWORD(Message.WParam)); break;
        case SB_TOP: y = 0; break;
        case SB_BOTTOM: y = limit; break;
        default: break;
      }
      y = std::clamp(y, 0, limit);
      if (y != s.ScrollY) {
        s.ScrollY = y;
        UpdateScrollBar();
        UpdateCaret();
        Invalidate();
      }
      return;
    }
    case WM_MOUSEWHEEL: {
      const int32_t delta = static_cast<int16_t>(HIWORD(Message.WParam));
      for (int32_t i = 0; i < 3 * std::abs(delta) / 120; ++i) Perform(WM_VSCROLL, delta > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
      Message.Result = 1;
      return;
    }
    case WM_CUT:
      if (FReadOnly || FDoc->Selection().cpMin == FDoc->Selection().cpMax) return;
      Perform(WM_COPY, 0, 0);
      TypeUnits(u"");
      return;
    case WM_COPY: {
      const CHARRANGE r = FDoc->Selection();
      if (r.cpMin == r.cpMax) return;
      TClipboard* clip = Clipboard();
      clip->Open();
      try {
        clip->SetAsText(SelText());
        const std::string rtf = FDoc->SelectionRtf();
        if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, rtf.size() + 1)) {
          std::memcpy(GlobalLock(mem), rtf.c_str(), rtf.size() + 1);
          GlobalUnlock(mem);
          clip->SetAsHandle(RtfClipboardFormat(), mem);
        }
      } catch (...) {
        clip->Close();
        throw;
      }
      clip->Close();
      return;
    }
    case WM_PASTE: {
      if (FReadOnly) return;
      TClipboard* clip = Clipboard();
      if (!FPlainText && clip->HasFormat(RtfClipboardFormat())) {
        HGLOBAL mem = clip->GetAsHandle(RtfClipboardFormat());
        if (mem) {
          const char* p = static_cast<const char*>(GlobalLock(mem));
          const size_t n = p ? strnlen(p, GlobalSize(mem)) : 0;
          const std::string rtf(p ? p : "", n);
          GlobalUnlock(mem);
          GlobalFree(mem);
          if (FDoc->InsertRtf(rtf)) {
            const int32_t end = FDoc->Selection().cpMax;
            FDoc->SetSelection(end, end);
            s.Anchor = s.Caret = end;
            Edited();
            ScrollToCaret();
            return;
          }
        }
      }
      if (clip->HasFormat(CF_UNICODETEXT) || clip->HasFormat(CF_TEXT)) TypeUnits(Utf8ToUtf16(clip->AsText()));
      return;
    }
    case WM_CLEAR:
      if (!FReadOnly) TypeUnits(u"");
      return;
    case WM_UNDO:
    case EM_UNDO:
      Message.Result = FDoc->CanUndo() ? 1 : 0;
      if (FReadOnly || !FDoc->CanUndo()) return;
      FDoc->Undo();
      Edited();
      return;
    case EM_REDO:
      Message.Result = FDoc->CanRedo() ? 1 : 0;
      if (FReadOnly || !FDoc->CanRedo()) return;
      FDoc->Redo();
      Edited();
      return;
    case EM_CANUNDO: Message.Result = FDoc->CanUndo(); return;
    case EM_CANREDO: Message.Result = FDoc->CanRedo(); return;
    case EM_CANPASTE:
      Message.Result = Clipboard()->HasFormat(CF_UNICODETEXT) || Clipboard()->HasFormat(CF_TEXT) ||
                       Clipboard()->HasFormat(RtfClipboardFormat());
      return;
    case EM_EMPTYUNDOBUFFER: FDoc->ClearUndo(); return;
    case EM_SETUNDOLIMIT: Message.Result = FDoc->SetUndoLimit(static_cast<int32_t>(Message.WParam)); return;
    case WM_SETTEXT:
      SetText(Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "");
      Message.Result = 1;
      return;
    case WM_GETTEXTLENGTH: Message.Result = static_cast<LRESULT>(GetText().size()); return;
    case WM_GETTEXT: {
      const std::string text = GetText();
      char* buffer = reinterpret_cast<char*>(Message.LParam);
      const size_t room = static_cast<size_t>(Message.WParam);
      if (!buffer || room == 0) return;
      const size_t n = std::min(text.size(), room - 1);
      std::copy_n(text.data(), n, buffer);
      buffer[n] = '\0';
      Message.Result = static_cast<LRESULT>(n);
      return;
    }
    case EM_EXGETSEL:
      if (auto* r = reinterpret_cast<CHARRANGE*>(Message.LParam)) *r = FDoc->Selection();
      return;
    case EM_EXSETSEL:
    case EM_SETSEL: {
      CHARRANGE r;
      if (Message.Msg == EM_SETSEL) r = CHARRANGE{static_cast<LONG>(Message.WParam), static_cast<LONG>(Message.LParam)};
      else if (auto* p = reinterpret_cast<const CHARRANGE*>(Message.LParam)) r = *p;
      else return;
      FDoc->SetSelection(r.cpMin, r.cpMax);
      const CHARRANGE now = FDoc->Selection();
      s.Anchor = now.cpMin;
      s.Caret = now.cpMax;
      SelChanged();
      Message.Result = now.cpMax;
      return;
    }
    case EM_GETSEL: {
      const CHARRANGE r = FDoc->Selection();
      if (Message.WParam) *reinterpret_cast<DWORD*>(Message.WParam) = static_cast<DWORD>(r.cpMin);
      if (Message.LParam) *reinterpret_cast<DWORD*>(Message.LParam) = static_cast<DWORD>(r.cpMax);
      Message.Result = MAKELONG(std::min<LONG>(r.cpMin, 0xFFFF), std::min<LONG>(r.cpMax, 0xFFFF));
      return;
    }
    case EM_REPLACESEL: {
      const std::u16string t = Utf8ToUtf16(Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "");
      FDoc->ReplaceSelection(t, Message.WParam != 0 && (s.TextMode & (TM_MULTILEVELUNDO | TM_SINGLELEVELUNDO)));
      Edited();
      return;
    }
    case EM_SCROLLCARET: ScrollToCaret(); return;
    case EM_GETCHARFORMAT:
      if (auto* f = reinterpret_cast<CHARFORMAT2*>(Message.LParam); f && f->cbSize == sizeof(CHARFORMAT2))
        Message.Result = static_cast<LRESULT>(FDoc->GetCharFormat(static_cast<UINT>(Message.WParam), *f));
      return;
    case EM_SETCHARFORMAT:
      if (auto* f = reinterpret_cast<const CHARFORMAT2*>(Message.LParam)) {
        Message.Result = FDoc->SetCharFormat(static_cast<UINT>(Message.WParam), *f);
        if (Message.WParam != SCF_DEFAULT || FDoc->TextLength() == 0) {
          Relayout();
          UpdateScrollBar();
          Invalidate();
          UpdateCaret();
        }
        if (Message.WParam == SCF_DEFAULT) FState->LaidOutWidth = -2, Relayout(), Invalidate();
      }
      return;
    case EM_GETPARAFORMAT:
      if (auto* f = reinterpret_cast<PARAFORMAT2*>(Message.LParam); f && f->cbSize == sizeof(PARAFORMAT2))
        Message.Result = static_cast<LRESULT>(FDoc->GetParaFormat(*f));
      return;
    case EM_SETPARAFORMAT:
      if (auto* f = reinterpret_cast<const PARAFORMAT2*>(Message.LParam)) {
        Message.Result = FDoc->SetParaFormat(*f);
        UpdateScrollBar();
        UpdateCaret();
        Invalidate();
      }
      return;
    case EM_FORMATRANGE: Message.Result = FormatRange(static_cast<BOOL>(Message.WParam), reinterpret_cast<FORMATRANGE*>(Message.LParam)); return;
    case EM_POSFROMCHAR: {
      const TPoint p = PointFromPos(static_cast<int32_t>(Message.LParam));
      if (auto* out = reinterpret_cast<TPoint*>(Message.WParam)) *out = p;
      return;
    }
    case EM_CHARFROMPOS:
      if (auto* p = reinterpret_cast<const TPoint*>(Message.LParam)) Message.Result = PosFromPoint(p->X, p->Y);
      return;
    case EM_GETTEXTRANGE: {
      auto* r = reinterpret_cast<TEXTRANGEW*>(Message.LParam);
      if (!r || !r->lpstrText) return;
      const std::u16string t = FDoc->Text();
      const LONG len = static_cast<LONG>(t.size());
      const LONG a = std::clamp<LONG>(r->chrg.cpMin, 0, len);
      const LONG e = r->chrg.cpMax < 0 ? len : std::clamp<LONG>(r->chrg.cpMax, a, len);
      std::copy(t.begin() + a, t.begin() + e, r->lpstrText);
      r->lpstrText[e - a] = 0;
      Message.Result = e - a;
      return;
    }
    case EM_GETZOOM:
      if (Message.WParam) *reinterpret_cast<int32_t*>(Message.WParam) = s.ZoomNum;
      if (Message.LParam) *reinterpret_cast<int32_t*>(Message.LParam) = s.ZoomDen;
      Message.Result = 1;
      return;
    case EM_SETZOOM: {
      const int32_t n = static_cast<int32_t>(Message.WParam), d = static_cast<int32_t>(Message.LParam);
      // Off with (0, 0); otherwise a ratio between 1/64 and 64.
      if (!(n == 0 && d == 0) && (n <= 0 || d <= 0 || n > 64 * d || 64 * n < d)) return;
      s.ZoomNum = n;
      s.ZoomDen = d;
      s.LaidOutWidth = -2;
      Relayout();
      UpdateScrollBar();
      UpdateCaret();
      Invalidate();
      Message.Result = 1;
      return;
    }
    case EM_AUTOURLDETECT:
      s.AutoUrl = Message.WParam != 0;
      DetectLinks();
      Invalidate();
      return;
    case EM_GETAUTOURLDETECT: Message.Result = s.AutoUrl; return;
    case EM_SETOPTIONS: {
      const DWORD v = static_cast<DWORD>(Message.LParam);
      switch (Message.WParam) {
        case ECOOP_SET: s.Options = v; break;
        case ECOOP_OR: s.Options |= v; break;
        case ECOOP_AND: s.Options &= v; break;
        case ECOOP_XOR: s.Options ^= v; break;
        default: break;
      }
      FReadOnly = (s.Options & ECO_READONLY) != 0;
      Message.Result = s.Options;
      return;
    }
    case EM_GETOPTIONS: Message.Result = s.Options; return;
    case EM_SETLANGOPTIONS: s.LangOptions = static_cast<DWORD>(Message.LParam); Message.Result = 1; return;
    case EM_GETLANGOPTIONS: Message.Result = s.LangOptions; return;
    case EM_SETEVENTMASK:
      Message.Result = s.EventMask;
      s.EventMask = static_cast<DWORD>(Message.LParam);
      return;
    case EM_GETEVENTMASK: Message.Result = s.EventMask; return;
    case EM_SETBKGNDCOLOR:
      Message.Result = s.SystemBack ? Rgb(Color()) : s.Back;
      s.SystemBack = Message.WParam != 0;
      s.Back = static_cast<COLORREF>(Message.LParam) & 0xFFFFFF;
      Invalidate();
      return;
    case EM_EXLIMITTEXT:
    case EM_LIMITTEXT:
      s.Limit = Message.LParam > 0 ? static_cast<int32_t>(std::min<LPARAM>(Message.LParam, 0x7FFFFFF0)) : 0x7FFFFFF0;
      return;
    case EM_SETTEXTMODE:
      // Only an empty control changes its mode.
      if (FDoc->TextLength() > 0) {
        Message.Result = 1;
        return;
      }
      SetTextMode(static_cast<DWORD>(Message.WParam));
      return;
    case EM_GETTEXTMODE: Message.Result = s.TextMode; return;
    case EM_SETTYPOGRAPHYOPTIONS:
      s.Typography = (s.Typography & ~static_cast<DWORD>(Message.LParam)) |
                     (static_cast<DWORD>(Message.WParam) & static_cast<DWORD>(Message.LParam));
      Message.Result = 1;
      return;
    case EM_GETTYPOGRAPHYOPTIONS: Message.Result = s.Typography; return;
    case EM_SETREADONLY:
      SetReadOnly(Message.WParam != 0);
      Message.Result = 1;
      return;
    case EM_GETMODIFY: Message.Result = FDoc->Modified(); return;
    case EM_SETMODIFY: FDoc->SetModified(Message.WParam != 0); return;
    case EM_REQUESTRESIZE: {
      Relayout();
      REQRESIZE n;
      const TRect c = ClientRect();
      n.rc = TRect(c.Left, c.Top, c.Right, c.Top + static_cast<int32_t>(std::ceil(FDoc->LayoutHeight() * Scale())));
      if (s.EventMask & ENM_REQUESTRESIZE) Notify(EN_REQUESTRESIZE, n.nmhdr);
      return;
    }
    default: break;
  }
  TWinControl::DefaultHandler(Message);
}
