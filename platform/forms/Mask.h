// The masked edit: an edit whose text follows an edit mask.
//
// An edit mask is "mask;save;blank": the mask characters, then "0" when the literal characters
// are not part of Text (anything else or nothing: they are), then the character shown for
// positions not filled yet (default "_"). Mask characters:
//   L letter (required)       l letter (optional)
//   A letter or digit         a letter or digit (optional)
//   C any character           c any character (optional)
//   0 digit                   9 digit (optional)        # digit, "+" or "-" (optional)
//   : time separator          / date separator          _ a blank (a literal space)
//   > upper-cases what follows, < lower-cases it, <> stops both
//   \ takes the next character literally
//   ! optional blanks of Text stand before the characters of their group (else after them)
// Every other character is a literal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/StdCtrls.h"

PX_DECLARE_EXCEPTION(EDBEditError, Exception);

using TEditMask = std::string;

// The text Value formatted by EditMask as the masked edit's Text would read with it.
std::string FormatMaskText(const TEditMask& EditMask, const std::string& Value);

class TCustomMaskEdit : public TCustomEdit {
  PX_CLASS(TCustomMaskEdit)
 public:
  explicit TCustomMaskEdit(TComponent* AOwner);
  ~TCustomMaskEdit() override;

  // Changing the mask keeps Text (re-formatted).
  const TEditMask& EditMask() const { return edit_mask_; }
  void SetEditMask(const TEditMask& Value);
  bool IsMasked() const { return !mask_.Positions.empty(); }
  // The text as shown: literals in place, unfilled positions as the blank character.
  std::string EditText() const;
  void SetEditText(const std::string& Value);
  // Without a mask, the edit's text. With one: the characters of the positions (blanks as
  // spaces), the literals only when the mask saves them.
  std::string GetText() const override;
  void SetText(const std::string& Value) override;
  // Checks that every required position is filled (when modified): otherwise the caret goes to
  // the first missing one and ValidateError raises.
  virtual void ValidateEdit();
  // Esc: the text the edit had when it got the focus comes back.
  void Reset();

 protected:
  // MessageBeep, then EDBEditError "Invalid input value.  Use escape key to abandon changes".
  virtual void ValidateError();
  // Whether Value (an edit text) fills every required position; Pos: the first that is not.
  virtual bool Validate(const std::string& Value, int32_t& Pos);
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char16_t& Key) override;
  void CMEnter(TWMNoParams& Message) override;
  void CMExit(TWMNoParams& Message) override;
  void Dispatch(TMessage& Message) override;

 public:
  // One position of a parsed mask.
  struct TMaskPosition {
    bool Literal = false;
    char32_t Char = 0;  // the literal, or the mask code (L l A a C c 0 9 #)
    int8_t Case = 0;    // -1 lower, 0 as typed, 1 upper
  };
  struct TParsedMask {
    std::vector<TMaskPosition> Positions;
    bool SaveLiterals = true;
    char32_t Blank = U'_';
    bool LeadingBlanks = false;
  };
  static TParsedMask ParseMask(const TEditMask& Mask);

 private:
  // Whether Ch may stand at position P (after its case rule); the character to store.
  bool Accept(size_t P, char32_t Ch, char32_t& Stored) const;
  int32_t NextDataPos(int32_t From) const;  // the first data position at or after From, or -1
  int32_t PrevDataPos(int32_t Before) const;  // the last data position before Before, or -1
  // Blanks the data positions of [Start, End) as a user edit.
  void BlankRange(int32_t Start, int32_t End);
  void PasteMasked();

  TEditMask edit_mask_;
  TParsedMask mask_;
  std::u32string old_value_;
  bool reentering_ = false;
};

class TMaskEdit : public TCustomMaskEdit {
  PX_CLASS(TMaskEdit)
 public:
  explicit TMaskEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {}
};

// Registers the masked edit with the form loader (FormsStartup calls it).
void MaskRegisterClasses();
