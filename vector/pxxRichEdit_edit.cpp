// TPXRichEdit: the library's rich edit with its properties, shortcuts, links, dialogs, and the
// rendering and measuring of its text into device contexts at any zoom.
#include <algorithm>
#include <memory>

#include "core/hypxutils_draw.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/SysUtils.h"
#include "vector/pxxRichEdit.h"
#include "vector/pxxToolbars.h"

PX_CLASS_INFO(TPXRichAutoToolbar, TPersistent)
PX_CLASS_INFO(TPXRichEdit, TCustomRichEdit)

namespace {

int32_t GRichEditLevel = 0;

// The platform's rich edit is always there: its version gives the level.
void LoadRichEditLibrary() {
  if (GRichEditLevel > 0) return;
  GRichEditLevel = RichEditLevelFromVersion(true, PXRichEditFileVersionMS);
}

constexpr DWORD kLangBits[] = {IMF_AUTOKEYBOARD, IMF_AUTOFONT, IMF_IMECANCELCOMPLETE, IMF_IMEALWAYSSENDNOTIFY};

}  // namespace

int32_t RichEditLevel() { return GRichEditLevel; }

void TPXRichAutoToolbar::Assign(TPersistent* Source) {
  if (auto* other = dynamic_cast<TPXRichAutoToolbar*>(Source)) {
    FEnabled = other->FEnabled;
    FPosition = other->FPosition;
    FWideToolbar = other->FWideToolbar;
    FExcludedButtons = other->FExcludedButtons;
  } else {
    TPersistent::Assign(Source);
  }
}

TPXRichEdit::TPXRichEdit(TComponent* AOwner)
    : TCustomRichEdit(AOwner),
      FAutoToolbar(std::make_unique<TPXRichAutoToolbar>()),
      FDefAttributes(std::make_unique<TPXTextAttributes>(this, akDefault)),
      FSelAttributes(std::make_unique<TPXTextAttributes>(this, akSelection)),
      FWordAttributes(std::make_unique<TPXTextAttributes>(this, akWord)),
      FParagraph(std::make_unique<TPXParaAttributes>(this)) {
  LoadRichEditLibrary();
  SetScrollBars(ssBoth);
  SetWordWrap(true);
  SetWantReturns(true);
  SetHideSelection(false);
  HDC dc = GetDC(nullptr);
  FScreenPPIX = GetDeviceCaps(dc, LOGPIXELSX);
  FScreenPPIY = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
}

TPXRichEdit::~TPXRichEdit() {
  // The tool bar goes first: it reaches the edit through its owner.
  std::unique_ptr<TPXRichToolbar> bar(FToolbar);
  FToolbar = nullptr;
}

// ---- window

void TPXRichEdit::CreateParams(TCreateParams& Params) {
  TCustomRichEdit::CreateParams(Params);
  if (!FOLEDragDrop) Params.Style |= ES_NOOLEDRAGDROP;
  if (!FHideScrollBars) Params.Style |= ES_DISABLENOSCROLL;
  if (FAllowGutterSelection) Params.Style |= ES_SELECTIONBAR;
}

void TPXRichEdit::CreateWnd() {
  TCustomRichEdit::CreateWnd();
  Perform(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE | ENM_REQUESTRESIZE | ENM_PROTECTED | ENM_LINK);
  Perform(EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color()) & 0xFFFFFF));
  Perform(EM_EXLIMITTEXT, 0, MaxLength() == 0 ? 0x7FFFFFF0 : MaxLength());
  SetWordSelection(FWordSelection);
  Perform(EM_AUTOURLDETECT, FAutoURLDetect ? 1 : 0, 0);
  FUndoLimit = static_cast<int32_t>(Perform(EM_SETUNDOLIMIT, static_cast<WPARAM>(std::max(FUndoLimit, 0)), 0));
  Perform(EM_SETTEXTMODE, (PlainText() ? TM_PLAINTEXT : TM_RICHTEXT) |
                              (FUndoLimit > 1 ? TM_MULTILEVELUNDO : TM_SINGLELEVELUNDO), 0);
  RichEnableAdvancedTypography();
  SetLanguageOptions(FLanguageOptions);
  UpdateAutoToolbar();
}

bool TPXRichEdit::RichUseRightToLeftAlignment() const { return false; }

void TPXRichEdit::RichEnableAdvancedTypography() {
  if (HandleAllocated()) Perform(EM_SETTYPOGRAPHYOPTIONS, TO_ADVANCEDTYPOGRAPHY, TO_ADVANCEDTYPOGRAPHY);
}

// ---- properties

void TPXRichEdit::SetAutoToolbar(TPXRichAutoToolbar* Value) {
  FAutoToolbar->Assign(Value);
  UpdateAutoToolbar();
}

void TPXRichEdit::SetReadOnly(bool Value) {
  TCustomRichEdit::SetReadOnly(Value);
  UpdateAutoToolbar();
}

// ---- floating tool bar

void TPXRichEdit::UpdateAutoToolbar() { UpdateAutoToolbarFor(GetFocus()); }

void TPXRichEdit::UpdateAutoToolbarFor(HWND Focus) {
  if (FTogglingToolbar || ComponentState().Contains(csDestroying)) return;
  const bool barHandle = FToolbar && FToolbar->HandleAllocated();
  const bool focused =
      (Focus && HandleAllocated() && Focus == Handle()) ||
      (barHandle && ((Focus && (Focus == FToolbar->Handle() || IsChild(FToolbar->Handle(), Focus))) ||
                     GetActiveWindow() == FToolbar->Handle()));
  const bool show = FAutoToolbar->Enabled() && Visible() && Enabled() && !ReadOnly() && focused;
  if (!show) {
    if (FToolbar && FToolbar->Visible()) FToolbar->Hide();
    return;
  }
  if (!Parent() || !Parent()->Visible()) return;
  FTogglingToolbar = true;
  try {
    if (!FToolbar) FToolbar = TCustomForm::Create<TPXRichToolbar>(this);
    if (!FToolbar->Visible()) {
      FToolbar->SetAutoToolbar(FAutoToolbar.get());
      FToolbar->Show();
      // Showing activated the bar's window: the focus goes back to the edit.
      if (CanFocus()) ::SetFocus(Handle());
    }
  } catch (...) {
    FTogglingToolbar = false;
    throw;
  }
  FTogglingToolbar = false;
  FToolbar->UpdateState();
}

void TPXRichEdit::SelectionChange() {
  UpdateAutoToolbar();
  TCustomRichEdit::SelectionChange();
}

void TPXRichEdit::Resize() {
  TCustomRichEdit::Resize();
  UpdateAutoToolbar();
}

void TPXRichEdit::CMVisibleChanged(TWMNoParams& Message) {
  TCustomRichEdit::CMVisibleChanged(Message);
  UpdateAutoToolbar();
}

void TPXRichEdit::CMEnabledChanged(TWMNoParams& Message) {
  TCustomRichEdit::CMEnabledChanged(Message);
  UpdateAutoToolbar();
}

void TPXRichEdit::CMShowingChanged(TWMNoParams& Message) {
  TCustomRichEdit::CMShowingChanged(Message);
  UpdateAutoToolbar();
}

void TPXRichEdit::WMSetFocus(TWMSetFocus& Message) {
  TCustomRichEdit::WMSetFocus(Message);
  UpdateAutoToolbarFor(HandleAllocated() ? Handle() : nullptr);
}

void TPXRichEdit::WMKillFocus(TWMKillFocus& Message) {
  TCustomRichEdit::WMKillFocus(Message);
  // The window getting the focus decides: the tool bar keeps itself.
  UpdateAutoToolbarFor(Message.FocusedWnd);
}

void TPXRichEdit::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomRichEdit::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FToolbar) FToolbar = nullptr;
}

void TPXRichEdit::SetAllowGutterSelection(bool Value) {
  if (FAllowGutterSelection == Value) return;
  FAllowGutterSelection = Value;
  RecreateWnd();
}

void TPXRichEdit::SetHideScrollBars(bool Value) {
  if (FHideScrollBars == Value) return;
  FHideScrollBars = Value;
  RecreateWnd();
}

void TPXRichEdit::SetOLEDragDrop(bool Value) {
  if (FOLEDragDrop == Value) return;
  FOLEDragDrop = Value;
  RecreateWnd();
}

bool TPXRichEdit::AutoURLDetect() {
  if (HandleAllocated() && !ComponentState().Contains(csDesigning)) return Perform(EM_GETAUTOURLDETECT, 0, 0) != 0;
  return FAutoURLDetect;
}

void TPXRichEdit::SetAutoURLDetect(bool Value) {
  FAutoURLDetect = Value;
  if (HandleAllocated()) Perform(EM_AUTOURLDETECT, Value ? 1 : 0, 0);
}

TPXLanguageOptions TPXRichEdit::LanguageOptions() {
  if (!HandleAllocated() || ComponentState().Contains(csDesigning)) return FLanguageOptions;
  const DWORD bits = static_cast<DWORD>(Perform(EM_GETLANGOPTIONS, 0, 0));
  TPXLanguageOptions out;
  for (int i = 0; i < 4; ++i)
    if (bits & kLangBits[i]) out.Include(static_cast<TPXLanguageOption>(i));
  return out;
}

void TPXRichEdit::SetLanguageOptions(TPXLanguageOptions Value) {
  FLanguageOptions = Value;
  if (!HandleAllocated()) return;
  DWORD bits = 0;
  for (int i = 0; i < 4; ++i)
    if (Value.Contains(static_cast<TPXLanguageOption>(i))) bits |= kLangBits[i];
  Perform(EM_SETLANGOPTIONS, 0, static_cast<LPARAM>(bits));
}

bool TPXRichEdit::WordSelection() {
  if (HandleAllocated()) return (Perform(EM_GETOPTIONS, 0, 0) & ECO_AUTOWORDSELECTION) != 0;
  return FWordSelection;
}

void TPXRichEdit::SetWordSelection(bool Value) {
  FWordSelection = Value;
  if (!HandleAllocated()) return;
  DWORD options = static_cast<DWORD>(Perform(EM_GETOPTIONS, 0, 0));
  options = Value ? (options | ECO_AUTOWORDSELECTION) : (options & ~static_cast<DWORD>(ECO_AUTOWORDSELECTION));
  Perform(EM_SETOPTIONS, ECOOP_SET, static_cast<LPARAM>(options));
}

void TPXRichEdit::SetUndoLimit(int32_t Value) {
  if (Value == FUndoLimit) return;
  FUndoLimit = Value;
  if (HandleAllocated()) FUndoLimit = static_cast<int32_t>(Perform(EM_SETUNDOLIMIT, static_cast<WPARAM>(std::max(Value, 0)), 0));
}

int32_t TPXRichEdit::Zoom() {
  if (RichEditLevel() <= 2 || !HandleAllocated()) return 100;
  int32_t n = 0, d = 0;
  Perform(EM_GETZOOM, reinterpret_cast<WPARAM>(&n), reinterpret_cast<LPARAM>(&d));
  return d > 0 ? MulDiv(100, n, d) : 100;
}

void TPXRichEdit::SetZoom(int32_t Value) {
  if (RichEditLevel() <= 2 || !HandleAllocated()) return;
  if (Value == 0) Perform(EM_SETZOOM, 0, 0);
  else Perform(EM_SETZOOM, static_cast<WPARAM>(Value), 100);
}

std::string TPXRichEdit::GetRTFText() { return SaveRtf(); }

void TPXRichEdit::SetRTFText(const std::string& Value) {
  if (FAutoURLDetect && (Parent() || ParentWindow())) HandleNeeded();
  if (Value.empty()) SetText("");
  else LoadRtf(Value);
}

// ---- selection and text

CHARRANGE TPXRichEdit::GetSelection() {
  CHARRANGE r;
  Perform(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
  return r;
}

void TPXRichEdit::SetSelection(int32_t Start, int32_t End, bool Scroll) {
  CHARRANGE r{Start, End};
  Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
  if (Scroll) Perform(EM_SCROLLCARET, 0, 0);
}

std::string TPXRichEdit::GetTextRange(int32_t First, int32_t Last) {
  if (Last < First) return "";
  std::u16string buffer(static_cast<size_t>(Last - First) + 1, u'\0');
  TEXTRANGEW r;
  r.chrg = CHARRANGE{First, Last};
  r.lpstrText = buffer.data();
  const LRESULT n = Perform(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&r));
  buffer.resize(static_cast<size_t>(std::clamp<LRESULT>(n, 0, static_cast<LRESULT>(buffer.size()))));
  return Utf16ToUtf8(buffer);
}

TPoint TPXRichEdit::PosFromChar(int32_t Index) {
  if (!HandleAllocated()) return TPoint(0, 0);
  TPoint p;
  Perform(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), Index);
  return p;
}

bool TPXRichEdit::CanUndo() { return HandleAllocated() && Perform(EM_CANUNDO, 0, 0) != 0; }
bool TPXRichEdit::CanRedo() { return HandleAllocated() && Perform(EM_CANREDO, 0, 0) != 0; }
bool TPXRichEdit::CanPaste() { return HandleAllocated() && Perform(EM_CANPASTE, 0, 0) != 0; }
void TPXRichEdit::Redo() { Perform(EM_REDO, 0, 0); }

void TPXRichEdit::Clear() {
  SetText("");
  SetModified(false);
}

// ---- dialogs

bool TPXRichEdit::ExecuteFontDialog(int32_t X, int32_t Y) {
  auto dialog = std::make_unique<TFontDialog>(nullptr);
  FSelAttributes->AssignTo(dialog->Font());
  if (X != 0 || Y != 0) {
    TFontDialog* d = dialog.get();
    dialog->SetOnShow(TNotifyEvent([d, X, Y](TObject*) { d->MoveWindowTo(X, Y); }));
  }
  const bool ok = dialog->Execute();
  if (ok) FSelAttributes->Assign(dialog->Font());
  return ok;
}

bool TPXRichEdit::SelectTextColor(int32_t X, int32_t Y) {
  TColor color = FSelAttributes->Color();
  if (!ExecuteColorDialog(color, X, Y)) return false;
  FSelAttributes->SetColor(color);
  return true;
}

// ---- keys, links, fonts

void TPXRichEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomRichEdit::KeyDown(Key, Shift);
  if (Key == VK_RETURN && !WantReturns() && !Shift.Contains(ssShift) && !Shift.Contains(ssCtrl) &&
      !Shift.Contains(ssAlt)) {
    Key = 0;
    return;
  }
  if (!FKeyboardShortcuts || !Shift.Contains(ssCtrl)) return;
  switch (Key) {
    case 'B': FSelAttributes->SetEffect(CFE_BOLD, !FSelAttributes->HasEffect(CFE_BOLD)); break;
    case 'I': FSelAttributes->SetEffect(CFE_ITALIC, !FSelAttributes->HasEffect(CFE_ITALIC)); break;
    case 'U': FSelAttributes->SetEffect(CFE_UNDERLINE, !FSelAttributes->HasEffect(CFE_UNDERLINE)); break;
    case 'D': ExecuteFontDialog(0, 0); break;
    case 'L': FParagraph->SetAlignment(0); break;
    case 'R': FParagraph->SetAlignment(1); break;
    case 'E': FParagraph->SetAlignment(2); break;
    case 'J': FParagraph->SetAlignment(3); break;
    case VK_OEM_COMMA: FSelAttributes->SetSize(FSelAttributes->Size() - 1); break;
    case VK_OEM_PERIOD: FSelAttributes->SetSize(FSelAttributes->Size() + 1); break;
    case VK_SPACE: break;
    default: return;
  }
  Key = 0;
  UpdateAutoToolbar();
}

void TPXRichEdit::KeyPress(char16_t& Key) {
  TCustomRichEdit::KeyPress(Key);
  if (!FKeyboardShortcuts) return;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  if (Key == u' ' && ctrl) {
    if (GetSelection().cpMin != GetSelection().cpMax) FSelAttributes->Assign(FDefAttributes.get());
    Key = 0;
  } else if (Key == u'\t' && ctrl && GetKeyState('I') < 0) {
    Key = 0;
  }
}

void TPXRichEdit::CNNotify(TWMNotify& Message) {
  if (Message.NMHdr->code != EN_LINK) return TCustomRichEdit::CNNotify(Message);
  const ENLINK& link = *reinterpret_cast<const ENLINK*>(Message.NMHdr);
  switch (link.msg) {
    case WM_MOUSEMOVE:
      if (FOnURLHover) FOnURLHover(this, GetTextRange(link.chrg.cpMin, link.chrg.cpMax));
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      FLinkRange = link.chrg;
      FLinkButton = link.msg == WM_LBUTTONDOWN ? 0 : 1;
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
      const int32_t button = link.msg == WM_LBUTTONUP ? 0 : 1;
      if (button == FLinkButton && link.chrg == FLinkRange && FOnURLClick)
        FOnURLClick(this, GetTextRange(link.chrg.cpMin, link.chrg.cpMax), button == 0 ? mbLeft : mbRight);
      FLinkRange = CHARRANGE{-1, -1};
      FLinkButton = -1;
      break;
    }
    default: break;
  }
}

void TPXRichEdit::CMFontChanged(TWMNoParams& Message) {
  TCustomRichEdit::CMFontChanged(Message);
  FDefAttributes->Assign(Font());
}

void TPXRichEdit::DefaultHandler(TMessage& Message) {
  if (Message.Msg != EM_REPLACESEL) return TCustomRichEdit::DefaultHandler(Message);
  // The inserted text stays selected and in view; with an undo limit above 1 it can be undone.
  const int32_t start = GetSelection().cpMin;
  const int32_t length =
      static_cast<int32_t>(Utf8ToUtf16(Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "").size());
  if (FUndoLimit > 1) Message.WParam = 1;
  TCustomRichEdit::DefaultHandler(Message);
  SetSelection(start, start + length, true);
}

// ---- rendering

TRect TPXRichEdit::FormatRange(HDC DC, const TRect& Rc, bool Draw) {
  FORMATRANGE fr;
  fr.hdc = fr.hdcTarget = DC;
  fr.rc = fr.rcPage = Rc;
  fr.chrg = CHARRANGE{0, -1};
  Perform(EM_FORMATRANGE, 0, 0);
  Perform(EM_FORMATRANGE, Draw ? 1 : 0, reinterpret_cast<LPARAM>(&fr));
  Perform(EM_FORMATRANGE, 0, 0);
  return fr.rc;
}

void TPXRichEdit::PaintToDC(HDC DC, TRect Rect, int32_t HAlign, uint8_t VAlign, double ZoomX, double ZoomY) {
  if (!DC || ClientWidth() == 0 || ClientHeight() == 0 || !HandleAllocated()) return;
  if (Rect.IsEmpty()) Rect = TRect(Rect.Left, Rect.Top, ClientWidth(), ClientHeight());
  const int32_t tx = 1440 / std::max(1, GetDeviceCaps(DC, LOGPIXELSX));
  const int32_t ty = 1440 / std::max(1, GetDeviceCaps(DC, LOGPIXELSY));
  TRect rc(Round32(Rect.Left * tx / ZoomX), Round32(Rect.Top * ty / ZoomY), Trunc32(Rect.Right * tx / ZoomX),
           Trunc32(Rect.Bottom * ty / ZoomY));
  const TRect used = FormatRange(DC, rc, false);
  const int32_t w = used.Right - used.Left, h = used.Bottom - used.Top;
  if (HAlign == 1) rc.Left += (rc.Right - rc.Left - w) / 2;
  else if (HAlign == 2) rc.Left = rc.Right - w;
  if (VAlign == 1) rc.Top += (rc.Bottom - rc.Top - h) / 2;
  else if (VAlign == 2) rc.Top = rc.Bottom - h;
  if (ZoomX != 1.0 || ZoomY != 1.0) {
    SetMapMode(DC, MM_ANISOTROPIC);
    SetWindowExtEx(DC, 100, 100, nullptr);
    SetViewportExtEx(DC, Round32(ZoomX * 100), Round32(ZoomY * 100), nullptr);
  }
  FormatRange(DC, rc, true);
}

int32_t TPXRichEdit::MeasureRichTextHeight(TPXRichEdit* Edit, HDC DC, int32_t Width) {
  if (!Edit) return 0;
  HDC scratch = nullptr;
  if (!DC) DC = scratch = CreateCompatibleDC(nullptr);
  const int32_t tx = 1440 / std::max(1, GetDeviceCaps(DC, LOGPIXELSX));
  const int32_t ty = 1440 / std::max(1, GetDeviceCaps(DC, LOGPIXELSY));
  const TRect rc(0, 0, (Width < 1 ? 100000 : Width) * tx, 100000 * ty);
  const TRect used = Edit->FormatRange(DC, rc, false);
  if (scratch) DeleteDC(scratch);
  return used.Bottom / ty;
}

int32_t TPXRichEdit::GetUnwrappedWidth() {
  const bool wrap = WordWrap();
  SetWordWrap(false);
  // The ends of the lines: every paragraph or line break, and the end of the text.
  const std::u16string text = Doc().Text();
  int32_t width = 0;
  for (size_t i = 0; i <= text.size(); ++i)
    if (i == text.size() || text[i] == u'\r' || text[i] == u'\v')
      width = std::max(width, PosFromChar(static_cast<int32_t>(i)).X);
  SetWordWrap(wrap);
  return width + 1;
}
