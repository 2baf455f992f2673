// The masked edit.
#include "platform/forms/Mask.h"

#include <algorithm>

#include "platform/forms/Clipbrd.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"

namespace {

using TParsedMask = TCustomMaskEdit::TParsedMask;

bool IsLetter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}
bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
bool Required(char32_t code) { return code == 'L' || code == 'A' || code == 'C' || code == '0'; }

char32_t ApplyCase(char32_t c, int8_t rule) {
  if (rule > 0) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
  } else if (rule < 0) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
  }
  return c;
}

// Whether Ch may fill the data position; Stored is what the edit keeps there.
bool AcceptAt(const TParsedMask& mask, size_t p, char32_t ch, char32_t& stored) {
  if (p >= mask.Positions.size() || mask.Positions[p].Literal) return false;
  const TCustomMaskEdit::TMaskPosition& pos = mask.Positions[p];
  ch = ApplyCase(ch, pos.Case);
  bool ok = false;
  switch (pos.Char) {
    case 'L': case 'l': ok = IsLetter(ch); break;
    case 'A': case 'a': ok = IsLetter(ch) || IsDigit(ch); break;
    case 'C': case 'c': ok = ch >= 32; break;
    case '0': case '9': ok = IsDigit(ch); break;
    case '#': ok = IsDigit(ch) || ch == '+' || ch == '-'; break;
    default: break;
  }
  if (!ok && ch == ' ' && !Required(pos.Char)) {
    stored = mask.Blank;
    return true;
  }
  stored = ch;
  return ok;
}

// Runs of data positions: [first, last) with the literal positions that follow up to the next run.
struct TGroup {
  size_t First, Last, LiteralsEnd;
};
std::vector<TGroup> Groups(const TParsedMask& mask) {
  std::vector<TGroup> out;
  const size_t n = mask.Positions.size();
  size_t p = 0;
  while (p < n && mask.Positions[p].Literal) ++p;
  while (p < n) {
    TGroup g{p, p, p};
    while (g.Last < n && !mask.Positions[g.Last].Literal) ++g.Last;
    g.LiteralsEnd = g.Last;
    while (g.LiteralsEnd < n && mask.Positions[g.LiteralsEnd].Literal) ++g.LiteralsEnd;
    out.push_back(g);
    p = g.LiteralsEnd;
  }
  return out;
}

std::u32string EmptyEdit(const TParsedMask& mask) {
  std::u32string e;
  for (const auto& p : mask.Positions) e.push_back(p.Literal ? p.Char : mask.Blank);
  return e;
}

// Places the characters of one group: right-aligned with "!", else left-aligned.
void PlaceGroup(const TParsedMask& mask, std::u32string& edit, const TGroup& g, const std::u32string& chars) {
  const size_t size = g.Last - g.First, n = std::min(chars.size(), size);
  const size_t start = mask.LeadingBlanks ? g.First + size - n : g.First;
  for (size_t i = 0; i < n; ++i) {
    char32_t stored = mask.Blank;
    if (chars[i] != ' ' && chars[i] != mask.Blank && !AcceptAt(mask, start + i, chars[i], stored)) stored = mask.Blank;
    edit[start + i] = stored;
  }
}

// The edit text of a Text value.
std::u32string FormatValue(const TParsedMask& mask, const std::u32string& text) {
  std::u32string edit = EmptyEdit(mask);
  const std::vector<TGroup> groups = Groups(mask);
  if (!mask.SaveLiterals) {
    std::u32string chars = text;
    size_t total = 0;
    for (const TGroup& g : groups) total += g.Last - g.First;
    if (mask.LeadingBlanks && chars.size() < total) chars.insert(0, total - chars.size(), U' ');
    size_t k = 0;
    for (const TGroup& g : groups) {
      for (size_t p = g.First; p < g.Last && k < chars.size(); ++p, ++k) {
        char32_t stored = mask.Blank;
        if (chars[k] != ' ' && !AcceptAt(mask, p, chars[k], stored)) stored = mask.Blank;
        edit[p] = stored;
      }
    }
    return edit;
  }
  size_t si = 0;
  // Literals before the first group.
  for (size_t p = 0; p < mask.Positions.size() && mask.Positions[p].Literal; ++p)
    if (si < text.size() && text[si] == mask.Positions[p].Char) ++si;
  for (const TGroup& g : groups) {
    const bool hasLiteral = g.LiteralsEnd > g.Last;
    const char32_t stop = hasLiteral ? mask.Positions[g.Last].Char : 0;
    std::u32string chars;
    while (si < text.size() && (!hasLiteral || text[si] != stop) && chars.size() < g.Last - g.First)
      chars.push_back(text[si++]);
    // Too many for the group: the rest up to its literal is dropped (text without the literal
    // goes on into the next group).
    if (hasLiteral && text.find(stop, si) != std::u32string::npos)
      while (si < text.size() && text[si] != stop) ++si;
    PlaceGroup(mask, edit, g, chars);
    for (size_t p = g.Last; p < g.LiteralsEnd; ++p)
      if (si < text.size() && text[si] == mask.Positions[p].Char) ++si;
  }
  return edit;
}

// The Text value of an edit text: blanks as spaces, moved before ("!") or after the characters
// of their group; literals only when saved.
std::u32string TextValue(const TParsedMask& mask, const std::u32string& edit) {
  std::u32string out;
  size_t p = 0;
  const size_t n = mask.Positions.size();
  auto at = [&](size_t i) { return i < edit.size() ? edit[i] : mask.Blank; };
  while (p < n) {
    if (mask.Positions[p].Literal) {
      if (mask.SaveLiterals) out.push_back(mask.Positions[p].Char);
      ++p;
      continue;
    }
    size_t q = p;
    std::u32string chars;
    size_t blanks = 0;
    while (q < n && !mask.Positions[q].Literal) {
      const char32_t c = at(q);
      if (c == mask.Blank) ++blanks;
      else chars.push_back(c);
      ++q;
    }
    if (mask.LeadingBlanks) out.append(blanks, U' ').append(chars);
    else out.append(chars).append(blanks, U' ');
    p = q;
  }
  return out;
}

}  // namespace

TCustomMaskEdit::TParsedMask TCustomMaskEdit::ParseMask(const TEditMask& Mask) {
  TParsedMask result;
  const std::u32string m = ToChars(Mask);
  // The fields: mask ; save ; blank (a backslash escapes a separator).
  std::vector<std::u32string> fields(1);
  for (size_t i = 0; i < m.size(); ++i) {
    if (m[i] == '\\' && i + 1 < m.size() && fields.size() == 1) {
      fields.back().push_back(m[i]);
      fields.back().push_back(m[++i]);
      continue;
    }
    if (m[i] == ';' && fields.size() < 3) {
      fields.emplace_back();
      continue;
    }
    fields.back().push_back(m[i]);
  }
  if (fields.size() > 1 && !fields[1].empty() && fields[1][0] == '0') result.SaveLiterals = false;
  if (fields.size() > 2 && !fields[2].empty()) result.Blank = fields[2][0];
  const std::u32string& f = fields[0];
  const TFormatSettings& fs = FormatSettings();
  int8_t rule = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    const char32_t c = f[i];
    TMaskPosition pos;
    switch (c) {
      case '!': result.LeadingBlanks = true; continue;
      case '>':
        if (i + 1 < f.size() && f[i + 1] == '<') {
          rule = 0;
          ++i;
        } else {
          rule = 1;
        }
        continue;
      case '<': rule = -1; continue;
      case '\\':
        if (i + 1 >= f.size()) continue;
        pos.Literal = true;
        pos.Char = f[++i];
        break;
      case 'L': case 'l': case 'A': case 'a': case 'C': case 'c': case '0': case '9': case '#':
        pos.Char = c;
        pos.Case = rule;
        break;
      case ':': pos.Literal = true; pos.Char = static_cast<unsigned char>(fs.TimeSeparator); break;
      case '/': pos.Literal = true; pos.Char = static_cast<unsigned char>(fs.DateSeparator); break;
      case '_': pos.Literal = true; pos.Char = ' '; break;
      default: pos.Literal = true; pos.Char = c; break;
    }
    result.Positions.push_back(pos);
  }
  return result;
}

std::string FormatMaskText(const TEditMask& EditMask, const std::string& Value) {
  const TParsedMask mask = TCustomMaskEdit::ParseMask(EditMask);
  if (mask.Positions.empty()) return Value;
  TParsedMask saving = mask;
  saving.SaveLiterals = true;
  return TCustomEdit::ToUtf8(TextValue(saving, FormatValue(mask, TCustomEdit::ToChars(Value))));
}

// ---------------------------------------------------------------------------------------------
// TCustomMaskEdit

PX_CLASS_INFO(TCustomMaskEdit, TCustomEdit)
PX_CLASS_INFO(TMaskEdit, TCustomMaskEdit, [](TPropertyBuilder<TMaskEdit>& b) {
  // The mask before the text: the text is read into the mask.
  b.Str("EditMask", &TMaskEdit::EditMask, &TMaskEdit::SetEditMask);
  PublishEditProperties(b);
})

TCustomMaskEdit::TCustomMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
TCustomMaskEdit::~TCustomMaskEdit() = default;

std::string TCustomMaskEdit::EditText() const { return TCustomEdit::GetText(); }

void TCustomMaskEdit::SetEditText(const std::string& Value) {
  if (!IsMasked()) {
    TCustomEdit::SetText(Value);
    return;
  }
  const std::u32string v = ToChars(Value);
  std::u32string edit = EmptyEdit(mask_);
  for (size_t p = 0; p < edit.size() && p < v.size(); ++p) {
    if (mask_.Positions[p].Literal) continue;
    char32_t stored = mask_.Blank;
    if (v[p] != mask_.Blank && !AcceptAt(mask_, p, v[p], stored)) stored = mask_.Blank;
    edit[p] = stored;
  }
  if (edit != Chars()) SetEditChars(edit);
}

std::string TCustomMaskEdit::GetText() const {
  if (!IsMasked()) return TCustomEdit::GetText();
  return ToUtf8(TextValue(mask_, Chars()));
}

void TCustomMaskEdit::SetText(const std::string& Value) {
  if (!IsMasked()) {
    TCustomEdit::SetText(Value);
    return;
  }
  const std::u32string edit = FormatValue(mask_, ToChars(Value));
  if (edit != Chars()) SetEditChars(edit);
}

void TCustomMaskEdit::SetEditMask(const TEditMask& Value) {
  if (edit_mask_ == Value) return;
  const std::string text = GetText();
  edit_mask_ = Value;
  mask_ = ParseMask(Value);
  if (IsMasked()) {
    SetEditChars(FormatValue(mask_, ToChars(text)));
  } else {
    SetEditChars(ToChars(text));
  }
}

bool TCustomMaskEdit::Accept(size_t P, char32_t Ch, char32_t& Stored) const { return AcceptAt(mask_, P, Ch, Stored); }

int32_t TCustomMaskEdit::NextDataPos(int32_t From) const {
  for (int32_t p = std::max(0, From); p < static_cast<int32_t>(mask_.Positions.size()); ++p)
    if (!mask_.Positions[static_cast<size_t>(p)].Literal) return p;
  return -1;
}

int32_t TCustomMaskEdit::PrevDataPos(int32_t Before) const {
  for (int32_t p = std::min(Before, static_cast<int32_t>(mask_.Positions.size())) - 1; p >= 0; --p)
    if (!mask_.Positions[static_cast<size_t>(p)].Literal) return p;
  return -1;
}

void TCustomMaskEdit::BlankRange(int32_t Start, int32_t End) {
  Start = std::clamp(Start, 0, TextLength());
  End = std::clamp(End, Start, TextLength());
  std::u32string part = Chars().substr(static_cast<size_t>(Start), static_cast<size_t>(End - Start));
  for (int32_t p = Start; p < End; ++p)
    if (!mask_.Positions[static_cast<size_t>(p)].Literal) part[static_cast<size_t>(p - Start)] = mask_.Blank;
  if (part != Chars().substr(static_cast<size_t>(Start), static_cast<size_t>(End - Start)))
    Edit(Start, End, part, TUndoMode::New);
  SetSel(Start, Start);
}

void TCustomMaskEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomEdit::KeyDown(Key, Shift);
  if (!IsMasked() || Key != VK_DELETE || Shift.Contains(ssShift)) return;
  if (!(EditStyle() & ES_READONLY)) {
    if (SelLength() > 0) {
      BlankRange(SelStart(), SelStart() + SelLength());
    } else {
      const int32_t caret = Caret();
      const int32_t p = NextDataPos(caret);
      if (p >= 0) BlankRange(p, p + 1);
      SetSel(caret, caret);
    }
  }
  Key = 0;
}

void TCustomMaskEdit::KeyPress(char16_t& Key) {
  TCustomEdit::KeyPress(Key);
  if (!IsMasked() || Key == 0) return;
  if (Key == 27) {
    Reset();
    Key = 0;
    return;
  }
  const bool readOnly = (EditStyle() & ES_READONLY) != 0;
  if (Key == 8) {
    if (!readOnly) {
      if (SelLength() > 0) {
        BlankRange(SelStart(), SelStart() + SelLength());
      } else {
        const int32_t p = PrevDataPos(Caret());
        if (p >= 0) BlankRange(p, p + 1);
      }
    }
    Key = 0;
    return;
  }
  if (Key < 32) return;  // Ctrl+C, Ctrl+V ...: the edit's own handling (the clipboard messages)
  if (readOnly || (Key >= 0xD800 && Key < 0xE000)) {
    Key = 0;
    return;
  }
  const char32_t ch = Key;
  Key = 0;
  if (SelLength() > 0) BlankRange(SelStart(), SelStart() + SelLength());
  const int32_t p = NextDataPos(Caret());
  char32_t stored = 0;
  if (p < 0 || !Accept(static_cast<size_t>(p), ch, stored)) {
    MessageBeep(0);
    return;
  }
  Edit(p, p + 1, std::u32string(1, stored), TUndoMode::New);
  const int32_t next = NextDataPos(p + 1);
  const int32_t caret = next >= 0 ? next : p + 1;
  SetSel(caret, caret);
}

void TCustomMaskEdit::PasteMasked() {
  if (EditStyle() & ES_READONLY) return;
  std::u32string text = ToChars(Clipboard()->AsText());
  const size_t eol = text.find_first_of(U"\r\n");
  if (eol != std::u32string::npos) text.resize(eol);
  if (SelLength() > 0) BlankRange(SelStart(), SelStart() + SelLength());
  const int32_t start = Caret();
  std::u32string edit = Chars();
  int32_t p = start, last = start;
  for (char32_t ch : text) {
    if (p < static_cast<int32_t>(edit.size()) && mask_.Positions[static_cast<size_t>(p)].Literal &&
        mask_.Positions[static_cast<size_t>(p)].Char == ch) {
      ++p;
      continue;
    }
    p = NextDataPos(p);
    char32_t stored = 0;
    if (p < 0 || !Accept(static_cast<size_t>(p), ch, stored)) {
      MessageBeep(0);
      break;
    }
    edit[static_cast<size_t>(p)] = stored;
    last = ++p;
  }
  if (last > start)
    Edit(start, last, edit.substr(static_cast<size_t>(start), static_cast<size_t>(last - start)), TUndoMode::New);
  const int32_t next = NextDataPos(last);
  SetSel(next >= 0 ? next : last, next >= 0 ? next : last);
}

void TCustomMaskEdit::Dispatch(TMessage& Message) {
  if (IsMasked()) {
    switch (Message.Msg) {
      case WM_CUT:
        if (EditStyle() & (ES_READONLY | ES_PASSWORD) || PasswordChar()) return;
        Perform(WM_COPY);
        BlankRange(SelStart(), SelStart() + SelLength());
        return;
      case WM_CLEAR:
        if (!(EditStyle() & ES_READONLY)) BlankRange(SelStart(), SelStart() + SelLength());
        return;
      case WM_PASTE:
        PasteMasked();
        return;
      default:
        break;
    }
  }
  TCustomEdit::Dispatch(Message);
}

void TCustomMaskEdit::CMEnter(TWMNoParams& Message) {
  if (IsMasked() && reentering_) {
    // Back after a failed validation: the caret stays on the missing position and the text
    // to come back to with Esc stays the one from before.
    reentering_ = false;
    TWinControl::CMEnter(Message);
    return;
  }
  if (IsMasked()) old_value_ = Chars();
  TCustomEdit::CMEnter(Message);
}

void TCustomMaskEdit::CMExit(TWMNoParams& Message) {
  try {
    ValidateEdit();
  } catch (...) {
    if (CanFocus()) {
      reentering_ = true;
      SetFocus();
      reentering_ = false;
    }
    throw;
  }
  TCustomEdit::CMExit(Message);
}

bool TCustomMaskEdit::Validate(const std::string& Value, int32_t& Pos) {
  const std::u32string v = ToChars(Value);
  for (size_t p = 0; p < mask_.Positions.size(); ++p) {
    const TMaskPosition& m = mask_.Positions[p];
    if (m.Literal || !Required(m.Char)) continue;
    if (p >= v.size() || v[p] == mask_.Blank) {
      Pos = static_cast<int32_t>(p);
      return false;
    }
  }
  return true;
}

void TCustomMaskEdit::ValidateEdit() {
  if (!IsMasked() || !Modified()) return;
  int32_t pos = 0;
  if (Validate(EditText(), pos)) return;
  SetSel(pos, pos);
  ValidateError();
}

void TCustomMaskEdit::ValidateError() {
  MessageBeep(0);
  throw EDBEditError("Invalid input value.  Use escape key to abandon changes");
}

void TCustomMaskEdit::Reset() {
  if (!IsMasked() || !Modified()) return;
  SetEditChars(old_value_);
}

void MaskRegisterClasses() { RegisterClass(TMaskEdit::StaticClass()); }
