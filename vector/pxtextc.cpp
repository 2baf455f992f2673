// TPXTextControl: format records, hand-over, editing, keys, mouse and clipboard.
#include "vector/pxtextc.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/hypxutils_draw.h"
#include "core/hypxutils_startup.h"
#include "core/hypxutils_window.h"
#include "core/pxsettings.h"
#include "platform/forms/Clipbrd.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Menus.h"
#include "platform/forms/WinUser.h"
#include "platform/rtl/SysUtils.h"

PX_CLASS_INFO(TPXTextControl, TCustomControl)

// ---- unit start-up ----

namespace {
UINT g_memoFormat = 0;
}  // namespace

void InitTextControlUnit() { g_memoFormat = RegisterClipboardFormat(PXTextMemoClipboardFormat); }
void FinalizeTextControlUnit() {}
void RegisterTextControlUnit() { RegisterLibrarySlot(lsInitTextControl, &InitTextControlUnit); }

UINT TextMemoClipboardFormat() {
  if (g_memoFormat == 0) g_memoFormat = RegisterClipboardFormat(PXTextMemoClipboardFormat);
  return g_memoFormat;
}

// ---- construction and hand-over ----

TPXTextControl::TPXTextControl(TComponent* AOwner)
    : TCustomControl(AOwner),
      FFont(std::make_unique<TFont>()),
      FTextBrush(std::make_unique<TBrush>()),
      FBorderPen(std::make_unique<TPen>()),
      FBoxBrush(std::make_unique<TBrush>()),
      FBuffer(std::make_unique<TBitmap>()) {
  FBuffer->SetPixelFormat(pf24bit);
  SetControlStyle(ControlStyle() + TControlStyle{csOpaque, csCaptureMouse, csClickEvents, csDoubleClicks});
  if (AOwner) SetCursor(crIBeam);
  FCurrentFormat = FormatFromDefaults();
  ResetCaches();
}

TPXTextControl::~TPXTextControl() { RemoveCaret(); }

std::u16string TPXTextControl::TakeText() {
  std::u16string t = std::move(FText);
  FText.clear();
  FTextLength = 0;
  ResetCaches();
  return t;
}

std::optional<std::vector<int32_t>> TPXTextControl::TakeCharFormats() {
  auto v = std::move(FCharFormats);
  FCharFormats.reset();
  return v;
}

std::optional<TPXCharFormatList> TPXTextControl::TakeFormats() {
  auto v = std::move(FFormats);
  FFormats.reset();
  return v;
}

TPXCharFormat TPXTextControl::FormatFromDefaults() const {
  TPXCharFormat f{};
  f.SetName(FFont->Name());
  f.FontHeight = FFont->Height();
  f.FontStyle = static_cast<uint8_t>(FFont->Style().Bits() & 0x0F);
  f.FontColor = FFont->Color();
  f.BackColor = FTextBrush->Color();
  f.BackStyle = static_cast<uint8_t>(FTextBrush->Style());
  f.Alignment = FAlignment;
  return f;
}

void TPXTextControl::PrepareText() {
  FSelStart = FSelEnd = 0;
  FCaretPos = 0;
  const size_t nul = FText.find(u'\0');
  if (nul != std::u16string::npos) FText.resize(nul);
  FTextLength = static_cast<int32_t>(FText.size());
  if (!FCharFormats) FCharFormats.emplace(FTextLength, 0);
  // Indexes come from the owner (and from stored objects): one per character, each inside the list.
  FCharFormats->resize(FTextLength, 0);
  if (!FFormats) {
    FFormats.emplace();
    if (FTextLength > 0) {
      TPXCharFormat f = FormatFromDefaults();
      f.UseCount = FTextLength;
      FFormats->push_back(f);
    }
  }
  const int32_t count = static_cast<int32_t>(FFormats->size());
  for (int32_t& i : *FCharFormats)
    if (i < 0 || i >= count) i = 0;
  ResetCaches();
  FCurrentFormat = FormatFromDefaults();
  FBuffer->Canvas()->Brush()->Assign(FBoxBrush.get());
  FBuffer->Canvas()->FillRect(TRect(0, 0, FBuffer->Width(), FBuffer->Height()));
}

void TPXTextControl::ResetCaches() {
  const size_t n = static_cast<size_t>(FTextLength) + 1;
  FCache.Widths.assign(n, 0);
  FCache.Heights.assign(n, 0);
  FCache.Leadings.assign(n, 0);
  FCache.Descents.assign(n, 0);
  FCache.X.assign(n, -1);
  FCache.Y.assign(n, -1);
}

void TPXTextControl::ClearCachesFrom(int32_t Index) {
  for (size_t i = static_cast<size_t>(std::max(Index, 0)); i < FCache.X.size(); ++i) {
    FCache.Widths[i] = FCache.Heights[i] = FCache.Leadings[i] = FCache.Descents[i] = 0;
    FCache.X[i] = FCache.Y[i] = -1;
  }
}

void TPXTextControl::SetUniformFormat(bool Value) {
  FUniformFormat = Value;
  Update();
}

void TPXTextControl::PurgeFormats() {
  if (!FFormats) return;
  for (int32_t i = 0; i < static_cast<int32_t>(FFormats->size());) {
    if ((*FFormats)[i].UseCount != 0) {
      ++i;
      continue;
    }
    FFormats->erase(FFormats->begin() + i);
    if (FCharFormats)
      for (int32_t& c : *FCharFormats)
        if (c > i) --c;
  }
}

void TPXTextControl::Update() {
  ResetCaches();
  Invalidate();
}

void TPXTextControl::SetCaretPos(int32_t Value) { FCaretPos = std::clamp(Value, 0, FTextLength); }

void TPXTextControl::SetSelection(int32_t Start, int32_t End) {
  FSelStart = std::clamp(Start, 0, FTextLength);
  FSelEnd = std::clamp(End, 0, FTextLength);
  if (FSelStart > FSelEnd) std::swap(FSelStart, FSelEnd);
}

void TPXTextControl::SetMargins(double Left, double Top, double Right, double Bottom) {
  FMarginLeft = Left;
  FMarginTop = Top;
  FMarginRight = Right;
  FMarginBottom = Bottom;
}

// ---- formats ----

void TPXTextControl::SetCharFormat(int32_t Index, const TPXCharFormat& Format) {
  if (!FFormats) FFormats.emplace();
  if (!FCharFormats || Index < 0 || Index >= static_cast<int32_t>(FCharFormats->size())) return;
  auto it = std::find_if(FFormats->begin(), FFormats->end(),
                         [&](const TPXCharFormat& f) { return f.SameFormat(Format); });
  if (it == FFormats->end()) {
    TPXCharFormat copy = Format;
    copy.UseCount = 0;
    FFormats->push_back(copy);
    it = FFormats->end() - 1;
  }
  (*FCharFormats)[Index] = static_cast<int32_t>(it - FFormats->begin());
  ++it->UseCount;
}

const TPXCharFormat* TPXTextControl::FormatOf(int32_t Index) const {
  if (!FFormats || !FCharFormats || Index < 0 || Index >= static_cast<int32_t>(FCharFormats->size())) return nullptr;
  const int32_t f = (*FCharFormats)[Index];
  if (f < 0 || f >= static_cast<int32_t>(FFormats->size())) return nullptr;
  return &(*FFormats)[f];
}

void TPXTextControl::GetCharFormat(int32_t Index, TPXCharFormat& Format) const {
  if (FTextLength == 0) return;
  if (const TPXCharFormat* f = FormatOf(std::clamp(Index, 0, FTextLength - 1))) Format = *f;
}

void TPXTextControl::LoadCurrentFormatBeforeCaret() { GetCharFormat(FCaretPos - 1, FCurrentFormat); }

// ---- insertion and deletion ----

bool TPXTextControl::IsPairStart(int32_t Index) const {
  return Index >= 0 && Index + 1 < FTextLength && (FText[Index] & 0xFC00) == 0xD800 &&
         (FText[Index + 1] & 0xFC00) == 0xDC00;
}

bool TPXTextControl::IsPairEnd(int32_t Index) const { return Index >= 1 && IsPairStart(Index - 1); }

void TPXTextControl::InsertChar(char16_t U) {
  if (!FCharFormats) FCharFormats.emplace();
  FCaretPos = std::clamp(FCaretPos, 0, FTextLength);
  FText.insert(FText.begin() + FCaretPos, U);
  FCharFormats->insert(FCharFormats->begin() + FCaretPos, 0);
  ++FTextLength;
  SetCharFormat(FCaretPos, FCurrentFormat);
  for (auto* v : {&FCache.Widths, &FCache.Heights, &FCache.Leadings, &FCache.Descents, &FCache.X, &FCache.Y})
    v->insert(v->begin() + FCaretPos, 0);
  ClearCachesFrom(FCaretPos);
  ++FCaretPos;
}

void TPXTextControl::InsertUnits(std::u16string_view Units) {
  for (char16_t u : Units) InsertChar(u);
}

int32_t TPXTextControl::DeleteChar(int32_t Index) {
  if (!FFormats || Index < 0 || Index >= FTextLength) return Index;
  const int32_t count = IsPairStart(Index) ? 2 : 1;
  for (int32_t k = 0; k < count; ++k) {
    if (FCharFormats && Index < static_cast<int32_t>(FCharFormats->size())) {
      const int32_t f = (*FCharFormats)[Index];
      if (f >= 0 && f < static_cast<int32_t>(FFormats->size()) && (*FFormats)[f].UseCount > 0)
        --(*FFormats)[f].UseCount;
      FCharFormats->erase(FCharFormats->begin() + Index);
    }
    FText.erase(FText.begin() + Index);
    for (auto* v : {&FCache.Widths, &FCache.Heights, &FCache.Leadings, &FCache.Descents, &FCache.X, &FCache.Y})
      v->erase(v->begin() + Index);
    --FTextLength;
  }
  ClearCachesFrom(Index);
  if (FCaretPos > FTextLength) FCaretPos = FTextLength;
  return Index;
}

void TPXTextControl::DeleteSelection() {
  if (FSelStart >= FSelEnd) return;
  const int32_t start = std::clamp(FSelStart, 0, FTextLength);
  for (int32_t i = std::min(FSelEnd, FTextLength) - 1; i >= start; --i) DeleteChar(i);
  FCaretPos = start;
  FSelStart = FSelEnd = 0;
}

// ---- format commands ----

template <class F>
void TPXTextControl::ChangeSelectedFormats(F Change, bool AlsoCurrent) {
  if (FSelStart < FSelEnd) {
    for (int32_t i = FSelStart; i < std::min(FSelEnd, FTextLength); ++i) {
      TPXCharFormat f = FormatFromDefaults();
      GetCharFormat(i, f);
      Change(f);
      SetCharFormat(i, f);
    }
    ClearCachesFrom(FSelStart);
  }
  if (AlsoCurrent) Change(FCurrentFormat);
}

void TPXTextControl::ToggleStyle(int32_t Bit) {
  const uint8_t mask = static_cast<uint8_t>(1u << (Bit & 7));
  if (FSelStart < FSelEnd && FSelStart < FTextLength) {
    TPXCharFormat first = FormatFromDefaults();
    GetCharFormat(FSelStart, first);
    const uint8_t style = first.FontStyle ^ mask;
    ChangeSelectedFormats([&](TPXCharFormat& f) { f.FontStyle = style; }, false);
  } else {
    FCurrentFormat.FontStyle ^= mask;
  }
}

void TPXTextControl::ApplyFont(TFont* Font) {
  if (!Font) return;
  ChangeSelectedFormats(
      [&](TPXCharFormat& f) {
        f.SetName(Font->Name());
        f.FontHeight = Font->Height();
        f.FontStyle = static_cast<uint8_t>(Font->Style().Bits() & 0x0F);
        f.FontColor = Font->Color();
      },
      true);
}

void TPXTextControl::ApplyBackColor(TColor Color) {
  ChangeSelectedFormats([&](TPXCharFormat& f) { f.BackColor = Color; }, true);
}

namespace {
int32_t StepHeight(int32_t H, int32_t Delta) {
  int32_t r = H < 0 ? H - Delta : H + Delta;
  if (H == 0) r = Delta > 0 ? 1 : 0;
  return r == 0 ? 1 : r;
}
}  // namespace

void TPXTextControl::GrowFont() {
  ChangeSelectedFormats([](TPXCharFormat& f) { f.FontHeight = StepHeight(f.FontHeight, 1); }, true);
}

void TPXTextControl::ShrinkFont() {
  ChangeSelectedFormats([](TPXCharFormat& f) { f.FontHeight = StepHeight(f.FontHeight, -1); }, true);
}

void TPXTextControl::SetParagraphAlignment(uint8_t Alignment) {
  int32_t start = std::clamp(FCaretPos, 0, FTextLength);
  while (start > 0 && FText[start - 1] != u'\n') --start;
  int32_t end = start;
  while (end < FTextLength && FText[end] != u'\n') ++end;
  for (int32_t i = start; i < end; ++i) {
    TPXCharFormat f = FormatFromDefaults();
    GetCharFormat(i, f);
    f.Alignment = Alignment;
    SetCharFormat(i, f);
  }
  ClearCachesFrom(start);
  FCurrentFormat.Alignment = Alignment;
}

// ---- caret motion ----

namespace {
bool IsSpace(char16_t U) { return U <= 32; }
}  // namespace

void TPXTextControl::MoveLeft() {
  if (FCaretPos > 0) --FCaretPos;
  if (IsPairEnd(FCaretPos)) --FCaretPos;
}

void TPXTextControl::MoveRight() {
  if (FCaretPos < FTextLength) FCaretPos += IsPairStart(FCaretPos) ? 2 : 1;
}

void TPXTextControl::WordLeft() {
  auto unit = [&](int32_t i) { return i >= 0 && i < FTextLength ? FText[i] : u'\0'; };
  int32_t c = std::max(FCaretPos - 1, 0);
  while (c > 0 && IsSpace(unit(c))) --c;
  while (c > 0 && !IsSpace(unit(c))) --c;
  if (IsSpace(unit(c)) && c < FTextLength) ++c;
  FCaretPos = std::clamp(c, 0, FTextLength);
}

void TPXTextControl::WordRight() {
  auto unit = [&](int32_t i) { return i >= 0 && i < FTextLength ? FText[i] : u'\0'; };
  int32_t c = FCaretPos + 1;
  while (c < FTextLength && IsSpace(unit(c))) ++c;
  while (c < FTextLength && !IsSpace(unit(c))) ++c;
  FCaretPos = std::clamp(c, 0, FTextLength);
}

void TPXTextControl::EnsureLayout() {
  // Positions are cleared by every change until the next paint: lay out now when needed.
  if (FTextLength > 0 && (FCache.X[0] < 0 || FCache.X[FCaretPos] < 0)) Paint();
}

void TPXTextControl::LineStart() {
  EnsureLayout();
  int32_t c = FCaretPos;
  while (c > 0 && !(FCache.Y[c] < FCaretY)) --c;
  if (c > 0) ++c;
  FCaretPos = c;
}

void TPXTextControl::LineEnd() {
  EnsureLayout();
  int32_t c = FCaretPos;
  while (c < FTextLength && FCache.Y[c] == FCaretY) ++c;
  if (c < FTextLength) --c;
  FCaretPos = std::max(c, 0);
  if (IsPairEnd(FCaretPos)) --FCaretPos;
}

void TPXTextControl::LineUp() {
  EnsureLayout();
  const auto& X = FCache.X;
  const auto& Y = FCache.Y;
  const int32_t from = FCaretPos;
  int32_t i = from;
  while (i > 0 && !(Y[i] < FCaretY)) --i;
  if (Y[i] == Y[from]) return;
  int32_t c = i;
  while (c > 0 && X[c] > FCaretX) --c;
  if (c + 1 <= FTextLength && Y[c + 1] == Y[c] && std::abs(X[c + 1] - FCaretX) < std::abs(X[c] - FCaretX)) ++c;
  if (Y[c] != Y[i]) c = i;
  FCaretPos = c;
  if (IsPairEnd(FCaretPos)) --FCaretPos;
}

void TPXTextControl::LineDown() {
  EnsureLayout();
  const auto& X = FCache.X;
  const auto& Y = FCache.Y;
  const int32_t from = FCaretPos;
  int32_t i = from;
  while (i < FTextLength && Y[i] == FCaretY) ++i;
  if (Y[i] == Y[from]) return;
  int32_t c = i;
  while (c < FTextLength && X[c] < FCaretX) ++c;
  if (c > 0 && Y[c - 1] == Y[c] && std::abs(X[c - 1] - FCaretX) < std::abs(X[c] - FCaretX)) --c;
  if (Y[c] != Y[i]) c = i;
  FCaretPos = c;
  if (IsPairEnd(FCaretPos)) --FCaretPos;
}

void TPXTextControl::CaretFromPoint(int32_t X, int32_t Y) {
  EnsureLayout();
  const auto& cx = FCache.X;
  const auto& cy = FCache.Y;
  int32_t c = 0;
  while (c < FTextLength && Y > cy[c]) ++c;
  if (!(Y > cy[c])) --c;
  while (c >= 0 && X < cx[c] - 1) --c;
  FCaretPos = std::max(c, 0);
  if (IsPairEnd(FCaretPos)) --FCaretPos;
  LoadCurrentFormatBeforeCaret();
}

void TPXTextControl::ExtendSelection(int32_t Old, TShiftState Shift) {
  if (!Shift.Contains(ssShift)) {
    FSelStart = FSelEnd = 0;
    return;
  }
  if (FSelEnd == 0) {
    FSelStart = Old;
    FSelEnd = FCaretPos;
  } else if (Old < FCaretPos) {
    if (FSelEnd < FCaretPos) FSelEnd = FCaretPos;
    else FSelStart = FCaretPos;
  } else {
    if (FCaretPos < FSelStart) FSelStart = FCaretPos;
    else FSelEnd = FCaretPos;
  }
  if (FSelStart > FSelEnd) std::swap(FSelStart, FSelEnd);
}

// ---- keys ----

void TPXTextControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  const int32_t old = FCaretPos;
  const bool ctrl = Shift.Contains(ssCtrl);
  bool moveKey = false;
  switch (Key) {
    case VK_BACK:
      if (FSelStart < FSelEnd) DeleteSelection();
      else if (FCaretPos > 0) {
        MoveLeft();
        DeleteChar(FCaretPos);
      }
      Update();
      break;
    case VK_RETURN:
      InsertChar(u'\n');
      Update();
      break;
    case VK_END:
      moveKey = true;
      if (ctrl) FCaretPos = FTextLength;
      else LineEnd();
      break;
    case VK_HOME:
      moveKey = true;
      if (ctrl) FCaretPos = 0;
      else LineStart();
      break;
    case VK_LEFT:
      moveKey = true;
      if (ctrl) WordLeft();
      else MoveLeft();
      break;
    case VK_RIGHT:
      moveKey = true;
      if (ctrl) WordRight();
      else MoveRight();
      break;
    case VK_UP:
      moveKey = true;
      LineUp();
      break;
    case VK_DOWN:
      moveKey = true;
      LineDown();
      break;
    case VK_INSERT: FInsertMode = FInsertMode ? 0 : 1; break;
    case VK_DELETE:
      if (FSelStart < FSelEnd) DeleteSelection();
      else DeleteChar(FCaretPos);
      Update();
      break;
    case VK_F1:
      if (Shift.Contains(ssShift)) {
        ShrinkFont();
        Update();
      }
      break;
    case VK_F2:
      if (Shift.Contains(ssShift)) {
        GrowFont();
        Update();
      }
      break;
    default: break;
  }
  if (moveKey && FCaretPos != old) {
    LoadCurrentFormatBeforeCaret();
    ExtendSelection(old, Shift);
    Update();
  }

  const TShortCut pressed = ShortCut(Key, Shift);
  const auto& shortcuts = GlobalSettingsInstance()->FTextShortcuts;
  for (int32_t entry = 0; entry < static_cast<int32_t>(shortcuts.size()); ++entry) {
    if (shortcuts[entry] != pressed || pressed == 0) continue;
    switch (entry) {
      case 0: SetParagraphAlignment(0); Update(); break;
      case 1: SetParagraphAlignment(2); Update(); break;
      case 2: SetParagraphAlignment(1); Update(); break;
      case 3: SetParagraphAlignment(3); Update(); break;
      case 4: CopyToClipboard(); break;
      case 5:
        CopyToClipboard();
        DeleteSelection();
        Update();
        break;
      case 6:
        DeleteSelection();
        PasteFromClipboard();
        Update();
        break;
      case 7:
        if (!FUniformFormat) {
          auto dialog = std::make_unique<TFontDialog>(this);
          dialog->Font()->SetName(FCurrentFormat.Name());
          dialog->Font()->SetHeight(FCurrentFormat.FontHeight);
          dialog->Font()->SetStyle(TFontStyles::FromBits(FCurrentFormat.FontStyle & 0x0F));
          dialog->Font()->SetColor(FCurrentFormat.FontColor);
          if (dialog->Execute()) ApplyFont(dialog->Font());
          Update();
        }
        break;
      case 8: ToggleStyle(0); Update(); break;
      case 9: ToggleStyle(1); Update(); break;
      case 10: ToggleStyle(2); Update(); break;
      case 11:
        if (!FUniformFormat) {
          TColor c = FCurrentFormat.BackColor;
          if (ExecuteColorDialog(c, 0, 0)) ApplyBackColor(c);
          Update();
        }
        break;
      default: break;
    }
    break;
  }
  TCustomControl::KeyDown(Key, Shift);
}

void TPXTextControl::KeyPress(char16_t& Key) {
  const char16_t u = Key;
  if ((u & 0xFC00) == 0xD800) {
    FPendingHigh = u;  // the low half follows as its own character
  } else if ((u & 0xFC00) == 0xDC00) {
    if (FPendingHigh) {
      DeleteSelection();
      if (FInsertMode == 0) DeleteChar(FCaretPos);
      const char16_t pair[2] = {FPendingHigh, u};
      InsertUnits(std::u16string_view(pair, 2));
    }
    FPendingHigh = 0;
  } else {
    FPendingHigh = 0;
    if (u >= 32 && u != 127) {
      DeleteSelection();
      if (FInsertMode == 0) DeleteChar(FCaretPos);
      InsertChar(u);
    }
  }
  TCustomControl::KeyPress(Key);
  Paint();
}

void TPXTextControl::WMChar(TWMKey& Message) {
  char16_t key = static_cast<char16_t>(Message.CharCode);
  KeyPress(key);
  Message.Result = 0;
}

void TPXTextControl::WMGetDlgCode(TWMGetDlgCode& Message) {
  Message.Result = DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS;
}

void TPXTextControl::CMWantSpecialKey(TWMKey& Message) {
  switch (Message.CharCode) {
    case VK_TAB: case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME: case VK_LEFT: case VK_UP: case VK_RIGHT:
    case VK_DOWN:
      Message.Result = 1;
      break;
    default: TCustomControl::CMWantSpecialKey(Message); break;
  }
}

void TPXTextControl::ClipboardCommand(int32_t Entry) {
  uint16_t key = 0;
  TShiftState shift;
  ShortCutToKey(GlobalSettingsInstance()->FTextShortcuts[Entry], key, shift);
  KeyDown(key, shift);
}

void TPXTextControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CUT: ClipboardCommand(5); return;
    case WM_COPY: ClipboardCommand(4); return;
    case WM_PASTE: ClipboardCommand(6); return;
    default: TCustomControl::WndProc(Message); break;
  }
}

void TPXTextControl::WMEraseBkgnd(TWMEraseBkgnd& Message) { Message.Result = 1; }

void TPXTextControl::WMKillFocus(TWMKillFocus& Message) {
  TCustomControl::WMKillFocus(Message);
  RemoveCaret();
}

void TPXTextControl::RemoveCaret() {
  if (!FCaretShown) return;
  if (HandleAllocated()) HideCaret(Handle());
  DestroyCaret();
  FCaretShown = false;
}

void TPXTextControl::Resize() {
  TCustomControl::Resize();
  Update();
}

// ---- mouse ----

void TPXTextControl::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (!Focused() && CanFocus()) SetFocus();
  if (Shift.Contains(ssDouble)) {
    // The second press of a double click: the word selected by DblClick stays.
    TCustomControl::MouseDown(Button, Shift, X, Y);
    return;
  }
  if (Shift.Contains(ssShift)) {
    CaretFromPoint(FMouseAnchor.X, FMouseAnchor.Y);
    const int32_t old = FCaretPos;
    CaretFromPoint(X, Y);
    if (FCaretPos != old) {
      ExtendSelection(old, Shift);
      Update();
    }
    FMouseAnchor = TPoint(X, Y);
  } else {
    FMouseAnchor = TPoint(X, Y);
    FSelStart = FSelEnd = 0;
    CaretFromPoint(X, Y);
  }
  Update();
  if (FOnCursorMoved) FOnCursorMoved(this);
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TPXTextControl::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (MouseCapture()) {
    FSelStart = FSelEnd = 0;
    CaretFromPoint(FMouseAnchor.X, FMouseAnchor.Y);
    const int32_t old = FCaretPos;
    CaretFromPoint(X, Y);
    if (FCaretPos != old) {
      // Dragging selects from the press point: it extends as Shift would.
      ExtendSelection(old, Shift + ssShift);
      Update();
    }
    if (FOnCursorMoved) FOnCursorMoved(this);
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

void TPXTextControl::DblClick() {
  if (FTextLength > 0) {
    FSelStart = FSelEnd = 0;
    WordLeft();
    const int32_t old = FCaretPos;
    WordRight();
    while (FCaretPos > 0 && IsSpace(FCaretPos < FTextLength ? FText[FCaretPos] : u'\0')) --FCaretPos;
    ++FCaretPos;
    FCaretPos = std::min(FCaretPos, FTextLength);
    LoadCurrentFormatBeforeCaret();
    ExtendSelection(old, TShiftState{ssShift});
    Update();
  }
  TCustomControl::DblClick();
}

// ---- clipboard ----

void TPXTextControl::CopyToClipboard() {
  const int32_t n = std::min(FSelEnd, FTextLength) - FSelStart;
  if (n <= 0 || FSelStart < 0) return;
  if (!OpenClipboardRetry()) return;
  EmptyClipboard();
  const std::u16string_view sel(FText.data() + FSelStart, static_cast<size_t>(n));
  std::u16string plain;
  for (char16_t u : sel) {
    if (u == u'\n') plain.push_back(u'\r');
    plain.push_back(u);
  }
  plain.push_back(0);
  plain.push_back(0);
  if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, plain.size() * 2)) {
    if (void* p = GlobalLock(mem)) {
      std::memcpy(p, plain.data(), plain.size() * 2);
      GlobalUnlock(mem);
    }
    if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
  }
  TPXCharFormatList records;
  records.reserve(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) {
    TPXCharFormat f = FormatFromDefaults();
    GetCharFormat(FSelStart + k, f);
    records.push_back(f);
  }
  const std::vector<uint8_t> block = EncodeTextMemoBlock(sel, records);
  if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, block.size())) {
    if (void* p = GlobalLock(mem)) {
      std::memcpy(p, block.data(), block.size());
      GlobalUnlock(mem);
    }
    if (!SetClipboardData(TextMemoClipboardFormat(), mem)) GlobalFree(mem);
  }
  CloseClipboard();
}

void TPXTextControl::PasteFromClipboard() {
  if (!OpenClipboardRetry()) return;
  bool done = false;
  if (HANDLE mem = GetClipboardData(TextMemoClipboardFormat())) {
    const size_t size = GlobalSize(mem);
    const auto* p = static_cast<const uint8_t*>(GlobalLock(mem));
    std::u16string text;
    TPXCharFormatList formats;
    if (p && DecodeTextMemoBlock(p, size, text, formats)) {
      for (size_t k = 0; k < text.size(); ++k) {
        FCurrentFormat = formats[k];
        InsertChar(text[k]);
      }
      done = true;
    }
    if (p) GlobalUnlock(mem);
  }
  if (!done) {
    if (HANDLE mem = GetClipboardData(CF_UNICODETEXT)) {
      const size_t units = GlobalSize(mem) / 2;
      if (const auto* p = static_cast<const uint8_t*>(GlobalLock(mem))) {
        for (size_t k = 0; k < units; ++k) {
          const char16_t u = static_cast<char16_t>(p[2 * k] | (p[2 * k + 1] << 8));
          if (u == 0) break;
          if (u != u'\r') InsertChar(u);
        }
        GlobalUnlock(mem);
      }
    }
  }
  CloseClipboard();
}
