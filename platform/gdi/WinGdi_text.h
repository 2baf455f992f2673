// Text on device contexts: drawing, measuring and metrics of the selected font, DrawText and
// font files. Text is UTF-8; where the platform counts characters (advance arrays, fitting),
// one entry stands for one code point. Coordinates and sizes are logical units.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/WinGdi.h"

// ExtTextOut options
enum : UINT {
  ETO_OPAQUE = 0x0002, ETO_CLIPPED = 0x0004, ETO_GLYPH_INDEX = 0x0010, ETO_RTLREADING = 0x0080,
  ETO_NUMERICSLOCAL = 0x0400, ETO_NUMERICSLATIN = 0x0800, ETO_IGNORELANGUAGE = 0x1000, ETO_PDY = 0x2000
};

// DrawText formats
enum : UINT {
  DT_TOP = 0x00000000, DT_LEFT = 0x00000000, DT_CENTER = 0x00000001, DT_RIGHT = 0x00000002,
  DT_VCENTER = 0x00000004, DT_BOTTOM = 0x00000008, DT_WORDBREAK = 0x00000010, DT_SINGLELINE = 0x00000020,
  DT_EXPANDTABS = 0x00000040, DT_TABSTOP = 0x00000080, DT_NOCLIP = 0x00000100,
  DT_EXTERNALLEADING = 0x00000200, DT_CALCRECT = 0x00000400, DT_NOPREFIX = 0x00000800,
  DT_INTERNAL = 0x00001000, DT_EDITCONTROL = 0x00002000, DT_PATH_ELLIPSIS = 0x00004000,
  DT_END_ELLIPSIS = 0x00008000, DT_MODIFYSTRING = 0x00010000, DT_RTLREADING = 0x00020000,
  DT_WORD_ELLIPSIS = 0x00040000, DT_NOFULLWIDTHCHARBREAK = 0x00080000, DT_HIDEPREFIX = 0x00100000,
  DT_PREFIXONLY = 0x00200000
};

struct DRAWTEXTPARAMS {
  UINT cbSize = sizeof(DRAWTEXTPARAMS);
  int32_t iTabLength = 0;  // in average character widths
  int32_t iLeftMargin = 0;
  int32_t iRightMargin = 0;
  UINT uiLengthDrawn = 0;  // out: characters processed
};

struct ABC {
  int32_t abcA = 0;
  UINT abcB = 0;
  int32_t abcC = 0;
};

// AddFontResourceEx flags
enum : DWORD { FR_PRIVATE = 0x10, FR_NOT_ENUM = 0x20 };

// Draws text at (x, y) by the DC's text alignment (TA_LEFT/RIGHT/CENTER, TA_TOP/BASELINE/BOTTOM,
// TA_UPDATECP), text colour, and background (the text cell in the background colour in OPAQUE
// mode; only glyph pixels in TRANSPARENT mode). The font's escapement rotates the run about the
// reference point.
BOOL TextOut(HDC dc, int32_t x, int32_t y, std::string_view text);
// As TextOut, with ETO_OPAQUE (rect filled with the background colour first), ETO_CLIPPED (text
// kept inside rect), ETO_RTLREADING, and optional advances dx (one per character; with ETO_PDY
// pairs of x and y advances, of which the y advances are not applied).
BOOL ExtTextOut(HDC dc, int32_t x, int32_t y, UINT options, const TRect* rect, std::string_view text,
                std::span<const int32_t> dx = {});

// Width (sum of the characters' advances plus the character extra) and height (tmHeight).
BOOL GetTextExtentPoint32(HDC dc, std::string_view text, TSize* size);
// As GetTextExtentPoint32; fit (optional) receives how many characters fit in maxExtent, dx
// (optional) the extent after each character.
BOOL GetTextExtentExPoint(HDC dc, std::string_view text, int32_t maxExtent, int32_t* fit,
                          std::vector<int32_t>* dx, TSize* size);
BOOL GetTextMetrics(HDC dc, TEXTMETRIC* tm);
// The face name of the selected font into name (zero-terminated, at most size bytes); returns the
// bytes copied including the terminator, or the size needed when name is null; 0 on error.
int32_t GetTextFace(HDC dc, int32_t size, char* name);
// Advances of the characters first..last.
BOOL GetCharWidth32(HDC dc, UINT first, UINT last, int32_t* widths);
BOOL GetCharABCWidths(HDC dc, UINT first, UINT last, ABC* abc);

// Formats text in rect: alignment, single line or CR/LF lines, word break at blanks, tab
// expansion, "&" prefixes, ellipses; DT_CALCRECT measures without drawing (right and bottom of
// rect set). Returns the text height (for DT_VCENTER/DT_BOTTOM: the offset from rect's top to
// the bottom of the text), 0 on error.
int32_t DrawText(HDC dc, std::string_view text, TRect* rect, UINT format);
int32_t DrawTextEx(HDC dc, std::string_view text, TRect* rect, UINT format, DRAWTEXTPARAMS* params);

// Makes the faces in a font file available to CreateFont by their family names; returns 1, or 0
// when the file cannot be read. Fonts stay available for the life of the process.
int32_t AddFontResourceEx(const std::string& path, DWORD flags, void* reserved);
