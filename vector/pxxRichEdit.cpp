// TPXTextAttributes, TPXParaAttributes and the rich edit level.
#include "vector/pxxRichEdit.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/WinGdi.h"
#include "platform/rtl/SysUtils.h"

PX_CLASS_INFO(TPXTextAttributes, TPersistent)
PX_CLASS_INFO(TPXParaAttributes, TPersistent)

namespace {

enum : BYTE { DEFAULT_PITCH_RE = 0, FIXED_PITCH_RE = 1, VARIABLE_PITCH_RE = 2 };

}  // namespace

int32_t RichEditLevelFromVersion(bool Loaded, uint32_t FileVersionMS) {
  if (!Loaded) return 1;
  const uint32_t major = FileVersionMS >> 16, minor = FileVersionMS & 0xFFFF;
  int32_t level = 2;
  if (major == 5) level = static_cast<int32_t>(minor / 10);
  else if (major == 12) level = 6;
  return level == 0 ? 2 : level;
}

// ---- character attributes ----

UINT TPXTextAttributes::KindFlag() const {
  switch (FKind) {
    case akDefault: return SCF_DEFAULT;
    case akSelection: return SCF_SELECTION;
    case akWord: return SCF_SELECTION | SCF_WORD;
  }
  return SCF_DEFAULT;
}

CHARFORMAT2 TPXTextAttributes::Read() {
  CHARFORMAT2 f;
  if (FEdit && FEdit->RichHandleAllocated())
    FEdit->RichPerform(EM_GETCHARFORMAT, KindFlag(), reinterpret_cast<LPARAM>(&f));
  return f;
}

void TPXTextAttributes::Write(CHARFORMAT2& Format) {
  Format.cbSize = sizeof(CHARFORMAT2);
  if (FEdit && FEdit->RichHandleAllocated())
    FEdit->RichPerform(EM_SETCHARFORMAT, KindFlag(), reinterpret_cast<LPARAM>(&Format));
}

TFontCharset TPXTextAttributes::Charset() { return Read().bCharSet; }

void TPXTextAttributes::SetCharset(TFontCharset Value) {
  CHARFORMAT2 f;
  f.dwMask = CFM_CHARSET;
  f.bCharSet = Value;
  Write(f);
}

TColor TPXTextAttributes::Color() {
  const CHARFORMAT2 f = Read();
  return (f.dwEffects & CFE_AUTOCOLOR) ? clWindowText : static_cast<TColor>(f.crTextColor);
}

void TPXTextAttributes::SetColor(TColor Value) {
  CHARFORMAT2 f;
  f.dwMask = CFM_COLOR;
  if (Value == clWindowText || Value == clDefault) f.dwEffects = CFE_AUTOCOLOR;
  else f.crTextColor = static_cast<COLORREF>(ColorToRGB(Value)) & 0xFFFFFF;
  Write(f);
}

int32_t TPXTextAttributes::Height() {
  return MulDiv(Size(), FEdit ? FEdit->RichScreenPixelsPerInchY() : 96, 72);
}

std::string TPXTextAttributes::Name() {
  const CHARFORMAT2 f = Read();
  return BytesToUtf8(std::string_view(f.szFaceName, strnlen(f.szFaceName, LF_FACESIZE_RE)));
}

void TPXTextAttributes::SetName(const std::string& Value) {
  CHARFORMAT2 f;
  f.dwMask = CFM_FACE;
  SetFaceName(f, Value);
  Write(f);
}

TFontPitch TPXTextAttributes::Pitch() {
  switch (Read().bPitchAndFamily & 3) {
    case FIXED_PITCH_RE: return fpFixed;
    case VARIABLE_PITCH_RE: return fpVariable;
    default: return fpDefault;
  }
}

void TPXTextAttributes::SetPitch(TFontPitch Value) {
  // The pitch bits travel without a mask bit of their own.
  CHARFORMAT2 f;
  f.bPitchAndFamily = Value == fpFixed ? FIXED_PITCH_RE : Value == fpVariable ? VARIABLE_PITCH_RE : DEFAULT_PITCH_RE;
  Write(f);
}

int32_t TPXTextAttributes::Size() { return Read().yHeight / 20; }

void TPXTextAttributes::SetSize(int32_t Value) {
  CHARFORMAT2 f;
  f.dwMask = CFM_SIZE;
  f.yHeight = static_cast<LONG>(std::clamp<int64_t>(int64_t{Value} * 20, INT32_MIN, INT32_MAX));
  Write(f);
}

TFontStyles TPXTextAttributes::Style() { return TFontStyles::FromBits(Read().dwEffects & 0x0F); }

void TPXTextAttributes::SetStyle(TFontStyles Value) {
  CHARFORMAT2 f;
  f.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
  f.dwEffects = static_cast<DWORD>(Value.Bits() & 0x0F);
  Write(f);
}

bool TPXTextAttributes::HasEffect(DWORD Bits) { return (Read().dwEffects & Bits) != 0; }

void TPXTextAttributes::SetEffect(DWORD Bits, bool On) {
  CHARFORMAT2 f;
  f.dwMask = Bits;
  f.dwEffects = On ? Bits : 0;
  Write(f);
}

void TPXTextAttributes::AssignFont(TFont* Font) {
  CHARFORMAT2 f;
  f.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_CHARSET |
             CFM_WEIGHT;
  f.yHeight = std::abs(Font->Size()) * 20;
  if (Font->Color() == clWindowText || Font->Color() == clDefault) f.dwEffects |= CFE_AUTOCOLOR;
  else f.crTextColor = static_cast<COLORREF>(ColorToRGB(Font->Color())) & 0xFFFFFF;
  f.dwEffects |= static_cast<DWORD>(Font->Style().Bits() & 0x0F);
  f.wWeight = Font->Style().Contains(fsBold) ? 700 : 400;
  SetFaceName(f, Font->Name());
  f.bCharSet = Font->Charset();
  f.bPitchAndFamily = Font->Pitch() == fpFixed ? FIXED_PITCH_RE : Font->Pitch() == fpVariable ? VARIABLE_PITCH_RE : 0;
  Write(f);
}

void TPXTextAttributes::Assign(TPersistent* Source) {
  if (auto* font = dynamic_cast<TFont*>(Source)) {
    AssignFont(font);
  } else if (auto* other = dynamic_cast<TPXTextAttributes*>(Source)) {
    CHARFORMAT2 f = other->Read();
    Write(f);
  } else {
    TPersistent::Assign(Source);
  }
}

void TPXTextAttributes::AssignTo(TPersistent* Dest) {
  if (auto* font = dynamic_cast<TFont*>(Dest)) {
    font->SetColor(Color());
    font->SetName(Name());
    font->SetCharset(Charset());
    font->SetStyle(Style());
    font->SetSize(Size());
    font->SetPitch(Pitch());
  } else {
    TPersistent::AssignTo(Dest);
  }
}

// ---- paragraph attributes ----

PARAFORMAT2 TPXParaAttributes::Read() {
  PARAFORMAT2 f;
  if (FEdit && FEdit->RichHandleAllocated())
    FEdit->RichPerform(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&f));
  return f;
}

void TPXParaAttributes::Write(PARAFORMAT2& Format) {
  Format.cbSize = sizeof(PARAFORMAT2);
  if (!FEdit) return;
  FEdit->RichEnsureHandle();
  if (FEdit->RichUseRightToLeftAlignment() && (Format.dwMask & PFM_ALIGNMENT)) {
    if (Format.wAlignment == PFA_LEFT) Format.wAlignment = PFA_RIGHT;
    else if (Format.wAlignment == PFA_RIGHT) Format.wAlignment = PFA_LEFT;
  }
  FEdit->RichPerform(EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&Format));
}

void TPXParaAttributes::WriteTwips(DWORD Mask, LONG PARAFORMAT2::*Field, int32_t Points) {
  PARAFORMAT2 f;
  f.dwMask = Mask;
  f.*Field = static_cast<LONG>(std::clamp<int64_t>(int64_t{Points} * 20, INT32_MIN, INT32_MAX));
  Write(f);
}

int32_t TPXParaAttributes::Alignment() { return Read().wAlignment - 1; }

void TPXParaAttributes::SetAlignment(int32_t Value) {
  if (Value == 3 && FEdit) FEdit->RichEnableAdvancedTypography();
  PARAFORMAT2 f;
  f.dwMask = PFM_ALIGNMENT;
  f.wAlignment = static_cast<WORD>(Value + 1);
  Write(f);
}

int32_t TPXParaAttributes::FirstIndent() { return Read().dxStartIndent / 20; }

void TPXParaAttributes::SetFirstIndent(int32_t Value) {
  WriteTwips(PFM_STARTINDENT, &PARAFORMAT2::dxStartIndent, Value);
}

int32_t TPXParaAttributes::LeftIndent() { return Read().dxOffset / 20; }

void TPXParaAttributes::SetLeftIndent(int32_t Value) {
  WriteTwips(PFM_OFFSET, &PARAFORMAT2::dxOffset, Value);
}

int32_t TPXParaAttributes::RightIndent() { return Read().dxRightIndent / 20; }

void TPXParaAttributes::SetRightIndent(int32_t Value) {
  WriteTwips(PFM_RIGHTINDENT, &PARAFORMAT2::dxRightIndent, Value);
}

int32_t TPXParaAttributes::Numbering() { return Read().wNumbering; }

void TPXParaAttributes::SetNumbering(int32_t Value) {
  if (Value == 0) SetLeftIndent(0);
  else if (LeftIndent() < 10) SetLeftIndent(10);
  PARAFORMAT2 f;
  f.dwMask = PFM_NUMBERING;
  f.wNumbering = static_cast<WORD>(std::clamp(Value, 0, 0xFFFF));
  Write(f);
}

void TPXParaAttributes::SetNumberingStyle(int32_t Index) {
  static constexpr WORD kStyles[] = {0, 512, 256, 768};
  PARAFORMAT2 f;
  f.dwMask = PFM_NUMBERINGSTYLE;
  f.wNumberingStyle = kStyles[std::clamp(Index, 0, 3)];
  Write(f);
}

void TPXParaAttributes::SetNumberingStart(int32_t Value) {
  PARAFORMAT2 f;
  f.dwMask = PFM_NUMBERINGSTART;
  f.wNumberingStart = static_cast<WORD>(std::clamp(Value, 0, 0xFFFF));
  Write(f);
}

int32_t TPXParaAttributes::TabCount() { return Read().cTabCount; }

int32_t TPXParaAttributes::Tab(int32_t Index) {
  if (Index < 0 || Index >= MAX_TAB_STOPS) return 0;
  return (Read().rgxTabs[Index] & 0xFFFFFF) / 20;
}

void TPXParaAttributes::SetTab(int32_t Index, int32_t Value) {
  if (Index < 0 || Index > 30) return;
  PARAFORMAT2 f = Read();
  if (Index >= f.cTabCount) {
    for (int32_t i = std::max<int32_t>(f.cTabCount, 0); i <= Index; ++i) f.rgxTabs[i] = 0;
    f.cTabCount = static_cast<int16_t>(Index + 1);
  }
  f.rgxTabs[Index] = (f.rgxTabs[Index] & static_cast<LONG>(0xFF000000u)) | ((Value * 20) & 0xFFFFFF);
  f.dwMask = PFM_TABSTOPS;
  Write(f);
}

void TPXParaAttributes::Assign(TPersistent* Source) {
  if (auto* other = dynamic_cast<TPXParaAttributes*>(Source)) {
    PARAFORMAT2 f = other->Read();
    Write(f);
  } else {
    TPersistent::Assign(Source);
  }
}
