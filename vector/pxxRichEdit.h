// Typed access to the character and paragraph formats of a rich edit: TPXTextAttributes (the
// default format, the selection's, or the selection's and word's) and TPXParaAttributes (the
// paragraphs of the selection), reading and writing the edit's CHARFORMAT2 and PARAFORMAT2
// records through its messages; and the rich edit level of the platform's control version.
#pragma once

#include <cstdint>

#include "platform/forms/Messages.h"
#include "platform/forms/RichEdit.h"
#include "platform/gdi/Graphics.h"

// What the attribute objects need of their edit: its window, its messages, the screen's vertical
// resolution, and its paragraph direction.
class IPXRichFormatHost {
 public:
  virtual ~IPXRichFormatHost() = default;
  virtual bool RichHandleAllocated() const = 0;
  // Creates the window when it has none.
  virtual void RichEnsureHandle() = 0;
  virtual LRESULT RichPerform(UINT Msg, WPARAM W, LPARAM L) = 0;
  virtual int32_t RichScreenPixelsPerInchY() const = 0;
  // The control lays paragraphs out right to left.
  virtual bool RichUseRightToLeftAlignment() const = 0;
  // Turns advanced typography on (justified text needs it).
  virtual void RichEnableAdvancedTypography() = 0;
};

// The level of rich edit features: 1 after a failed load, else from the control's file version
// (major x 65536 + minor): 5.x gives minor div 10 (5.30 gives 3, 5.50 gives 5), 12.x gives 6,
// others 2; a level computed as 0 becomes 2.
int32_t RichEditLevelFromVersion(bool Loaded, uint32_t FileVersionMS);
// The platform's rich edit is version 5.50.
inline constexpr uint32_t PXRichEditFileVersionMS = (5u << 16) | 50u;

enum class TPXAttributeKind : uint8_t { akDefault, akSelection, akWord };
using enum TPXAttributeKind;

class TPXTextAttributes : public TPersistent {
  PX_CLASS(TPXTextAttributes)
 public:
  TPXTextAttributes(IPXRichFormatHost* Edit, TPXAttributeKind Kind) : FEdit(Edit), FKind(Kind) {}

  TFontCharset Charset();
  void SetCharset(TFontCharset Value);
  // clWindowText when the colour is automatic.
  TColor Color();
  // clWindowText and clDefault set the automatic colour.
  void SetColor(TColor Value);
  // Pixels: MulDiv(Size, screen pixels per inch, 72).
  int32_t Height();
  std::string Name();
  // Cut to 31 bytes (at a character boundary) and the terminating NUL.
  void SetName(const std::string& Value);
  TFontPitch Pitch();
  void SetPitch(TFontPitch Value);
  // Points: yHeight / 20.
  int32_t Size();
  void SetSize(int32_t Value);
  TFontStyles Style();
  void SetStyle(TFontStyles Value);
  bool HasEffect(DWORD Bits);
  void SetEffect(DWORD Bits, bool On);

  // A TFont becomes one whole record; another TPXTextAttributes is copied as a whole record.
  void Assign(TPersistent* Source) override;
  void AssignFont(TFont* Font);
  // To a TFont: colour, name, charset, style, size and pitch.
  void AssignTo(TPersistent* Dest) override;

  // The record as read (zeroed, with its size, without a window).
  CHARFORMAT2 Read();
  // Sends the record with the kind's flag when the edit has a window.
  void Write(CHARFORMAT2& Format);

 private:
  UINT KindFlag() const;
  IPXRichFormatHost* FEdit;
  TPXAttributeKind FKind;
};

class TPXParaAttributes : public TPersistent {
  PX_CLASS(TPXParaAttributes)
 public:
  explicit TPXParaAttributes(IPXRichFormatHost* Edit) : FEdit(Edit) {}

  // 0 left, 1 right, 2 centre, 3 justify (wAlignment - 1).
  int32_t Alignment();
  // 3 (justify) first turns advanced typography on.
  void SetAlignment(int32_t Value);
  // Points (twips / 20).
  int32_t FirstIndent();
  void SetFirstIndent(int32_t Value);
  int32_t LeftIndent();
  void SetLeftIndent(int32_t Value);
  int32_t RightIndent();
  void SetRightIndent(int32_t Value);
  // 0 none, 1 bullets, 2 numbers. Setting 0 first sets LeftIndent 0; another value first raises
  // LeftIndent to 10 when it is below.
  int32_t Numbering();
  void SetNumbering(int32_t Value);
  // Index 0..3 gives the styles 0, 512, 256, 768.
  void SetNumberingStyle(int32_t Index);
  void SetNumberingStart(int32_t Value);
  // Tab I in points; writes to indexes above 30 are ignored; writing at or past the count makes
  // the count I + 1 with the new entries 0.
  int32_t Tab(int32_t Index);
  void SetTab(int32_t Index, int32_t Value);
  int32_t TabCount();

  void Assign(TPersistent* Source) override;

  PARAFORMAT2 Read();
  // Creates the edit's window when needed; right to left exchanges left and right alignment.
  void Write(PARAFORMAT2& Format);

 private:
  // Writes one indent given in points as twips.
  void WriteTwips(DWORD Mask, LONG PARAFORMAT2::*Field, int32_t Points);
  IPXRichFormatHost* FEdit;
};
