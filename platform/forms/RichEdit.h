// The rich edit control's records and messages, and its document: formatted text with a
// selection, held in Qt's QTextDocument (behind the curtain), whose character and paragraph
// formats are read and written through CHARFORMAT2 and PARAFORMAT2 records as the control's
// EM_GETCHARFORMAT, EM_SETCHARFORMAT, EM_GETPARAFORMAT and EM_SETPARAFORMAT do, and streamed in
// and out as RTF by our reader and writer (RichTextDoc.h) or as plain text.
//
// Positions count UTF-16 units; paragraphs end in CR in the control's text (GetText).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/forms/RichTextDoc.h"
#include "platform/gdi/WinGdi.h"

// ---- messages ----
enum : UINT {
  EM_CANPASTE = 0x0432, EM_EXGETSEL = 0x0434, EM_EXLIMITTEXT = 0x0435, EM_EXSETSEL = 0x0437,
  EM_FORMATRANGE = 0x0439, EM_GETCHARFORMAT = 0x043A, EM_GETEVENTMASK = 0x043B, EM_GETPARAFORMAT = 0x043D,
  EM_GETSELTEXT = 0x043E, EM_SETBKGNDCOLOR = 0x0443, EM_SETCHARFORMAT = 0x0444, EM_SETEVENTMASK = 0x0445,
  EM_SETPARAFORMAT = 0x0447, EM_STREAMIN = 0x0449, EM_STREAMOUT = 0x044A, EM_GETTEXTRANGE = 0x044B,
  EM_SETOPTIONS = 0x044D, EM_GETOPTIONS = 0x044E, EM_REDO = 0x0454, EM_CANREDO = 0x0455,
  EM_SETUNDOLIMIT = 0x0452, EM_AUTOURLDETECT = 0x045B, EM_GETAUTOURLDETECT = 0x045C, EM_SETTEXTMODE = 0x0459,
  EM_GETZOOM = 0x04E0, EM_SETZOOM = 0x04E1, EM_SETLANGOPTIONS = 0x0478, EM_GETLANGOPTIONS = 0x0479
};
// EM_SETCHARFORMAT / EM_GETCHARFORMAT kinds.
enum : UINT { SCF_DEFAULT = 0x0000, SCF_SELECTION = 0x0001, SCF_WORD = 0x0002, SCF_ALL = 0x0004 };

// CHARFORMAT2 masks and effects (the ones the library uses).
enum : DWORD {
  CFM_BOLD = 0x00000001, CFM_ITALIC = 0x00000002, CFM_UNDERLINE = 0x00000004, CFM_STRIKEOUT = 0x00000008,
  CFM_PROTECTED = 0x00000010, CFM_LINK = 0x00000020, CFM_SIZE = 0x80000000, CFM_COLOR = 0x40000000,
  CFM_FACE = 0x20000000, CFM_OFFSET = 0x10000000, CFM_CHARSET = 0x08000000, CFM_WEIGHT = 0x00400000,
  CFE_BOLD = 0x0001, CFE_ITALIC = 0x0002, CFE_UNDERLINE = 0x0004, CFE_STRIKEOUT = 0x0008, CFE_PROTECTED = 0x0010,
  CFE_LINK = 0x0020, CFE_AUTOCOLOR = 0x40000000
};
// PARAFORMAT2 masks.
enum : DWORD {
  PFM_STARTINDENT = 0x00000001, PFM_RIGHTINDENT = 0x00000002, PFM_OFFSET = 0x00000004, PFM_ALIGNMENT = 0x00000008,
  PFM_TABSTOPS = 0x00000010, PFM_NUMBERING = 0x00000020, PFM_NUMBERINGSTYLE = 0x00002000,
  PFM_NUMBERINGTAB = 0x00004000, PFM_NUMBERINGSTART = 0x00008000, PFM_RTLPARA = 0x00010000
};
enum : WORD { PFA_LEFT = 1, PFA_RIGHT = 2, PFA_CENTER = 3, PFA_JUSTIFY = 4 };
enum : WORD { PFN_BULLET = 1, PFN_ARABIC = 2 };
inline constexpr int32_t MAX_TAB_STOPS = 32;
inline constexpr int32_t LF_FACESIZE_RE = 32;

// The character format record (its ANSI form: 84 bytes).
struct CHARFORMAT2 {
  UINT cbSize = sizeof(CHARFORMAT2);
  DWORD dwMask = 0;
  DWORD dwEffects = 0;
  LONG yHeight = 0;  // twips
  LONG yOffset = 0;
  COLORREF crTextColor = 0;
  BYTE bCharSet = 0;
  BYTE bPitchAndFamily = 0;
  char szFaceName[LF_FACESIZE_RE] = {};  // UTF-8, NUL-ended
  WORD wWeight = 0;
  int16_t sSpacing = 0;
  COLORREF crBackColor = 0;
  DWORD lcid = 0;
  DWORD dwReserved = 0;
  int16_t sStyle = 0;
  WORD wKerning = 0;
  BYTE bUnderlineType = 0;
  BYTE bAnimation = 0;
  BYTE bRevAuthor = 0;
  BYTE bReserved1 = 0;
};
static_assert(sizeof(CHARFORMAT2) == 84);

// Stores a face name: at most 31 bytes, never cut inside a UTF-8 sequence, NUL-ended.
void SetFaceName(CHARFORMAT2& Format, std::string_view Name);

// The paragraph format record (188 bytes).
struct PARAFORMAT2 {
  UINT cbSize = sizeof(PARAFORMAT2);
  DWORD dwMask = 0;
  WORD wNumbering = 0;
  WORD wEffects = 0;
  LONG dxStartIndent = 0;  // twips: the first line's indent
  LONG dxRightIndent = 0;
  LONG dxOffset = 0;       // twips: the other lines' indent relative to the first line's
  WORD wAlignment = 0;
  int16_t cTabCount = 0;
  LONG rgxTabs[MAX_TAB_STOPS] = {};
  LONG dySpaceBefore = 0;
  LONG dySpaceAfter = 0;
  LONG dyLineSpacing = 0;
  int16_t sStyle = 0;
  BYTE bLineSpacingRule = 0;
  BYTE bOutlineLevel = 0;
  WORD wShadingWeight = 0;
  WORD wShadingStyle = 0;
  WORD wNumberingStart = 0;
  WORD wNumberingStyle = 0;
  WORD wNumberingTab = 0;
  WORD wBorderSpace = 0;
  WORD wBorderWidth = 0;
  WORD wBorders = 0;
};
static_assert(sizeof(PARAFORMAT2) == 188);

struct CHARRANGE {
  LONG cpMin = 0;
  LONG cpMax = 0;
  bool operator==(const CHARRANGE&) const = default;
};

// How the document is drawn: the selection in the highlight colours and links underlined.
struct TRichDrawOptions {
  bool ShowSelection = false;
  COLORREF SelectionBack = 0;
  COLORREF SelectionText = 0xFFFFFF;
  std::vector<CHARRANGE> Links;
  COLORREF LinkColor = 0xFF0000;
  // The colour of automatic text.
  COLORREF WindowText = 0;
};

// Moves of a position by the document's layout.
enum class TRichMove : uint8_t { CharLeft, CharRight, WordLeft, WordRight, LineStart, LineEnd, LineUp, LineDown,
                                 DocStart, DocEnd, WordStart, WordEnd };

// The document of a rich edit: text, formats, a selection and the undo steps.
class TRichEditDocument {
 public:
  TRichEditDocument();
  ~TRichEditDocument();
  TRichEditDocument(const TRichEditDocument&) = delete;
  TRichEditDocument& operator=(const TRichEditDocument&) = delete;

  // ---- content
  // Loads RTF (False and the content unchanged when it is no RTF) or plain text (UTF-8, LF or
  // CR LF paragraph ends) in the default format; clears the undo steps.
  bool LoadRtf(std::string_view Rtf);
  void LoadText(std::string_view Text);
  std::string SaveRtf() const;
  TRichDocument Document() const;
  void SetDocument(const TRichDocument& Doc);
  // The text with paragraphs ended by CR (as the control's text), and its length in units.
  std::u16string Text() const;
  int32_t TextLength() const;
  void Clear();

  // ---- selection (clamped to the text)
  CHARRANGE Selection() const;
  void SetSelection(int32_t Start, int32_t End);
  // Replaces the selection with Text (CR or LF ends a paragraph), which stays selected.
  void ReplaceSelection(std::u16string_view Text, bool CanUndo);

  // ---- formats as the control's messages give them
  // Kind SCF_DEFAULT: the default format; SCF_SELECTION (| SCF_WORD): the selection's, the mask
  // telling which properties are the same over the whole selection. Answers dwMask.
  DWORD GetCharFormat(UINT Kind, CHARFORMAT2& Format) const;
  // Applies the masked properties to the default format, the selection (SCF_WORD: the word at an
  // empty selection) or all text; False for a record of another size.
  bool SetCharFormat(UINT Kind, const CHARFORMAT2& Format);
  // The format of the paragraphs of the selection (the first one's; the mask tells which
  // properties they share).
  DWORD GetParaFormat(PARAFORMAT2& Format) const;
  bool SetParaFormat(const PARAFORMAT2& Format);

  // The selection as RTF, and RTF inserted in place of the selection (False when it is no RTF).
  std::string SelectionRtf() const;
  bool InsertRtf(std::string_view Rtf);
  bool Modified() const;
  void SetModified(bool Value);

  // ---- layout, in pixels of a 96 dpi device
  // Lines wrap at Width (the first line's indent and margins inside); Width <= 0 wraps nothing.
  void SetLayoutWidth(double Width);
  // The height of all lines, and the largest right end of a line's text.
  double LayoutHeight() const;
  double UsedWidth() const;
  // Where the caret at Pos stands: top left and height.
  void CaretRect(int32_t Pos, double& X, double& Y, double& Height) const;
  // The position nearest to a point.
  int32_t HitTest(double X, double Y) const;
  int32_t Move(int32_t Pos, TRichMove How) const;
  // Draws the document with its top left at logical (X, Y) of DC, scaled by (ScaleX, ScaleY)
  // under the DC's mapping, inside the logical rectangle Clip; the background is left alone.
  void Draw(HDC DC, double X, double Y, double ScaleX, double ScaleY, const TRect& Clip,
            const TRichDrawOptions& Options) const;

  // ---- undo
  // Answers the limit kept (0 turns undo off).
  int32_t SetUndoLimit(int32_t Limit);
  bool CanUndo() const;
  void ClearUndo();
  bool CanRedo() const;
  void Undo();
  void Redo();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};
