// The graphics device interface on memory surfaces: handles, device contexts, the exact pixel
// core, blits, DIBs, regions, clipping and the classic frame routines. Coordinates are the
// platform's: rectangles exclude their right and bottom edges. Every call refuses null, stale or
// wrong-kind handles and bad sizes with the platform's failure value (0 / FALSE / nullptr).
//
// 32-bit surfaces (B, G, R, A): as the platform's, every colour the core draws (fills, lines,
// shapes, text including its antialiased edge pixels, colour conversions in blits, SetPixel)
// is stored with alpha byte 0; a pixel a call does not paint keeps all four bytes. Raster
// operations combine whole 32-bit values (R2_NOT and DSTINVERT invert the alpha byte as well,
// so a second pass restores it); DrawFocusRect inverts the colour bits only; 32 -> 32 blits
// copy the alpha byte, and AlphaBlend with AC_SRC_ALPHA reads it as premultiplied alpha.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/Surface.h"
#include "platform/rtl/Types.h"

// Number x Numerator / Denominator in 64 bits, rounded half away from zero; -1 when Denominator
// is 0 or the result does not fit 32 bits.
int32_t MulDiv(int32_t Number, int32_t Numerator, int32_t Denominator);

// ---------------------------------------------------------------------------------------------
// Basic types and handles
using BOOL = int32_t;
using UINT = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using WORD = uint16_t;
using BYTE = uint8_t;
using COLORREF = TColorRef;
using COLOR16 = uint16_t;
using ULONG_PTR = uintptr_t;

struct HDC__;
using HDC = HDC__*;
using HGDIOBJ = void*;
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
struct HPEN__;
using HPEN = HPEN__*;
struct HFONT__;
using HFONT = HFONT__*;
struct HRGN__;
using HRGN = HRGN__*;
struct HPALETTE__;
using HPALETTE = HPALETTE__*;
struct HWND__;
using HWND = HWND__*;

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
constexpr int32_t GDI_ERROR = -1;
constexpr COLORREF PALETTERGB(uint8_t r, uint8_t g, uint8_t b) { return 0x02000000u | RGB(r, g, b); }
constexpr COLORREF PALETTEINDEX(uint16_t i) { return 0x01000000u | i; }

// ---------------------------------------------------------------------------------------------
// Structures (layouts of the platform's; the DIB and region headers are byte-exact)
using RGBQUAD = TRGBQuad;

#pragma pack(push, 1)
struct RGBTRIPLE {
  BYTE rgbtBlue = 0;
  BYTE rgbtGreen = 0;
  BYTE rgbtRed = 0;
};
#pragma pack(pop)

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  WORD bfType = 0;  // 'BM' = 0x4D42
  DWORD bfSize = 0;
  WORD bfReserved1 = 0;
  WORD bfReserved2 = 0;
  DWORD bfOffBits = 0;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPCOREHEADER {
  DWORD bcSize = 12;
  WORD bcWidth = 0;
  WORD bcHeight = 0;
  WORD bcPlanes = 1;
  WORD bcBitCount = 0;
};
static_assert(sizeof(BITMAPCOREHEADER) == 12);

struct BITMAPINFOHEADER {
  DWORD biSize = 40;
  LONG biWidth = 0;
  LONG biHeight = 0;  // positive: bottom-up rows; negative: top-down
  WORD biPlanes = 1;
  WORD biBitCount = 0;
  DWORD biCompression = 0;
  DWORD biSizeImage = 0;
  LONG biXPelsPerMeter = 0;
  LONG biYPelsPerMeter = 0;
  DWORD biClrUsed = 0;
  DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct CIEXYZ {
  LONG ciexyzX = 0, ciexyzY = 0, ciexyzZ = 0;
};
struct CIEXYZTRIPLE {
  CIEXYZ ciexyzRed, ciexyzGreen, ciexyzBlue;
};

struct BITMAPV4HEADER {
  DWORD bV4Size = 108;
  LONG bV4Width = 0;
  LONG bV4Height = 0;
  WORD bV4Planes = 1;
  WORD bV4BitCount = 0;
  DWORD bV4V4Compression = 0;
  DWORD bV4SizeImage = 0;
  LONG bV4XPelsPerMeter = 0;
  LONG bV4YPelsPerMeter = 0;
  DWORD bV4ClrUsed = 0;
  DWORD bV4ClrImportant = 0;
  DWORD bV4RedMask = 0;
  DWORD bV4GreenMask = 0;
  DWORD bV4BlueMask = 0;
  DWORD bV4AlphaMask = 0;
  DWORD bV4CSType = 0;
  CIEXYZTRIPLE bV4Endpoints;
  DWORD bV4GammaRed = 0;
  DWORD bV4GammaGreen = 0;
  DWORD bV4GammaBlue = 0;
};
static_assert(sizeof(BITMAPV4HEADER) == 108);

struct BITMAPV5HEADER {
  DWORD bV5Size = 124;
  LONG bV5Width = 0;
  LONG bV5Height = 0;
  WORD bV5Planes = 1;
  WORD bV5BitCount = 0;
  DWORD bV5Compression = 0;
  DWORD bV5SizeImage = 0;
  LONG bV5XPelsPerMeter = 0;
  LONG bV5YPelsPerMeter = 0;
  DWORD bV5ClrUsed = 0;
  DWORD bV5ClrImportant = 0;
  DWORD bV5RedMask = 0;
  DWORD bV5GreenMask = 0;
  DWORD bV5BlueMask = 0;
  DWORD bV5AlphaMask = 0;
  DWORD bV5CSType = 0;
  CIEXYZTRIPLE bV5Endpoints;
  DWORD bV5GammaRed = 0;
  DWORD bV5GammaGreen = 0;
  DWORD bV5GammaBlue = 0;
  DWORD bV5Intent = 0;
  DWORD bV5ProfileData = 0;
  DWORD bV5ProfileSize = 0;
  DWORD bV5Reserved = 0;
};
static_assert(sizeof(BITMAPV5HEADER) == 124);

// A header followed by its colour table (or, for BI_BITFIELDS with a 40-byte header, the three
// masks). Callers allocate room for the whole table.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

struct BITMAP {
  LONG bmType = 0;
  LONG bmWidth = 0;
  LONG bmHeight = 0;
  LONG bmWidthBytes = 0;
  WORD bmPlanes = 1;
  WORD bmBitsPixel = 0;
  void* bmBits = nullptr;
};

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3] = {0, 0, 0};
  void* dshSection = nullptr;
  DWORD dsOffset = 0;
};

struct LOGPEN {
  UINT lopnStyle = 0;
  TPoint lopnWidth;  // only X is used
  COLORREF lopnColor = 0;
};

struct EXTLOGPEN {
  DWORD elpPenStyle = 0;
  DWORD elpWidth = 0;
  UINT elpBrushStyle = 0;
  COLORREF elpColor = 0;
  ULONG_PTR elpHatch = 0;
  DWORD elpNumEntries = 0;
  DWORD elpStyleEntry[1] = {0};
};

struct LOGBRUSH {
  UINT lbStyle = 0;
  COLORREF lbColor = 0;
  ULONG_PTR lbHatch = 0;  // hatch style, or an HBITMAP for BS_PATTERN
};

constexpr int32_t LF_FACESIZE = 32;
// A logical font. The face name is UTF-8 (room for LF_FACESIZE - 1 UTF-16 units), zero-terminated.
struct LOGFONT {
  LONG lfHeight = 0;  // < 0: character height in pixels; > 0: cell height; 0: default
  LONG lfWidth = 0;
  LONG lfEscapement = 0;  // tenths of degrees
  LONG lfOrientation = 0;
  LONG lfWeight = 0;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = 0;
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  char lfFaceName[LF_FACESIZE * 3] = {};
};

struct TEXTMETRIC {
  LONG tmHeight = 0;
  LONG tmAscent = 0;
  LONG tmDescent = 0;
  LONG tmInternalLeading = 0;
  LONG tmExternalLeading = 0;
  LONG tmAveCharWidth = 0;
  LONG tmMaxCharWidth = 0;
  LONG tmWeight = 0;
  LONG tmOverhang = 0;
  LONG tmDigitizedAspectX = 0;
  LONG tmDigitizedAspectY = 0;
  char16_t tmFirstChar = 0;
  char16_t tmLastChar = 0;
  char16_t tmDefaultChar = 0;
  char16_t tmBreakChar = 0;
  BYTE tmItalic = 0;
  BYTE tmUnderlined = 0;
  BYTE tmStruckOut = 0;
  BYTE tmPitchAndFamily = 0;  // TMPF_* bits and the family
  BYTE tmCharSet = 0;
};

struct BLENDFUNCTION {
  BYTE BlendOp = 0;  // AC_SRC_OVER
  BYTE BlendFlags = 0;
  BYTE SourceConstantAlpha = 255;
  BYTE AlphaFormat = 0;  // 0 or AC_SRC_ALPHA
};

struct TRIVERTEX {
  LONG x = 0;
  LONG y = 0;
  COLOR16 Red = 0;
  COLOR16 Green = 0;
  COLOR16 Blue = 0;
  COLOR16 Alpha = 0;
};

struct GRADIENT_RECT {
  ULONG UpperLeft = 0;
  ULONG LowerRight = 0;
};

struct GRADIENT_TRIANGLE {
  ULONG Vertex1 = 0, Vertex2 = 0, Vertex3 = 0;
};

struct XFORM {
  float eM11 = 1, eM12 = 0, eM21 = 0, eM22 = 1, eDx = 0, eDy = 0;
};

struct RGNDATAHEADER {
  DWORD dwSize = 32;
  DWORD iType = 1;  // RDH_RECTANGLES
  DWORD nCount = 0;
  DWORD nRgnSize = 0;
  TRect rcBound;
};
static_assert(sizeof(RGNDATAHEADER) == 32);

// The header followed by nCount rectangles.
struct RGNDATA {
  RGNDATAHEADER rdh;
  char Buffer[1];
};

struct PALETTEENTRY {
  BYTE peRed = 0;
  BYTE peGreen = 0;
  BYTE peBlue = 0;
  BYTE peFlags = 0;
};

struct LOGPALETTE {
  WORD palVersion = 0x300;
  WORD palNumEntries = 0;
  PALETTEENTRY palPalEntry[1];
};

// ---------------------------------------------------------------------------------------------
// Constants
// Object types (GetObjectType)
enum : int32_t {
  OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_PAL = 5, OBJ_FONT = 6, OBJ_BITMAP = 7, OBJ_REGION = 8,
  OBJ_MEMDC = 10, OBJ_EXTPEN = 11
};

// Stock objects
enum : int32_t {
  WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3, BLACK_BRUSH = 4, NULL_BRUSH = 5,
  HOLLOW_BRUSH = NULL_BRUSH, WHITE_PEN = 6, BLACK_PEN = 7, NULL_PEN = 8, OEM_FIXED_FONT = 10,
  ANSI_FIXED_FONT = 11, ANSI_VAR_FONT = 12, SYSTEM_FONT = 13, DEVICE_DEFAULT_FONT = 14,
  DEFAULT_PALETTE = 15, SYSTEM_FIXED_FONT = 16, DEFAULT_GUI_FONT = 17, DC_BRUSH = 18, DC_PEN = 19
};

// Binary raster operations (pen modes)
enum : int32_t {
  R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4, R2_MASKPENNOT = 5, R2_NOT = 6,
  R2_XORPEN = 7, R2_NOTMASKPEN = 8, R2_MASKPEN = 9, R2_NOTXORPEN = 10, R2_NOP = 11, R2_MERGENOTPEN = 12,
  R2_COPYPEN = 13, R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16
};

// Ternary raster operations: the index byte in bits 16..23 is the truth table over
// (pattern, source, destination) = bits (7..0) of P=0xF0, S=0xCC, D=0xAA.
enum : int32_t {
  SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6, SRCINVERT = 0x00660046,
  SRCERASE = 0x00440328, NOTSRCCOPY = 0x00330008, NOTSRCERASE = 0x001100A6, MERGECOPY = 0x00C000CA,
  MERGEPAINT = 0x00BB0226, PATCOPY = 0x00F00021, PATPAINT = 0x00FB0A09, PATINVERT = 0x005A0049,
  DSTINVERT = 0x00550009, BLACKNESS = 0x00000042, WHITENESS = 0x00FF0062
};
constexpr DWORD MAKEROP4(DWORD fore, DWORD back) { return ((back << 8) & 0xFF000000u) | fore; }

// Pen styles
enum : int32_t {
  PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5,
  PS_INSIDEFRAME = 6, PS_USERSTYLE = 7, PS_ALTERNATE = 8, PS_STYLE_MASK = 0x0000000F,
  PS_ENDCAP_ROUND = 0x00000000, PS_ENDCAP_SQUARE = 0x00000100, PS_ENDCAP_FLAT = 0x00000200,
  PS_ENDCAP_MASK = 0x00000F00, PS_JOIN_ROUND = 0x00000000, PS_JOIN_BEVEL = 0x00001000,
  PS_JOIN_MITER = 0x00002000, PS_JOIN_MASK = 0x0000F000, PS_COSMETIC = 0x00000000,
  PS_GEOMETRIC = 0x00010000, PS_TYPE_MASK = 0x000F0000
};

// Brush styles and hatches
enum : int32_t {
  BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = BS_NULL, BS_HATCHED = 2, BS_PATTERN = 3, BS_DIBPATTERN = 5,
  BS_DIBPATTERNPT = 6, BS_PATTERN8X8 = 7
};
enum : int32_t {
  HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4, HS_DIAGCROSS = 5
};

// Background modes, fill modes, arc directions, graphics modes, stretch modes
enum : int32_t { TRANSPARENT = 1, OPAQUE = 2 };
enum : int32_t { ALTERNATE = 1, WINDING = 2 };
enum : int32_t { AD_COUNTERCLOCKWISE = 1, AD_CLOCKWISE = 2 };
enum : int32_t { GM_COMPATIBLE = 1, GM_ADVANCED = 2 };
enum : int32_t { MWT_IDENTITY = 1, MWT_LEFTMULTIPLY = 2, MWT_RIGHTMULTIPLY = 3 };
enum : int32_t {
  BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4, STRETCH_ANDSCANS = BLACKONWHITE,
  STRETCH_ORSCANS = WHITEONBLACK, STRETCH_DELETESCANS = COLORONCOLOR, STRETCH_HALFTONE = HALFTONE
};

// Mapping modes
enum : int32_t {
  MM_TEXT = 1, MM_LOMETRIC = 2, MM_HIMETRIC = 3, MM_LOENGLISH = 4, MM_HIENGLISH = 5, MM_TWIPS = 6,
  MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8
};

// Regions
enum : int32_t { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };
enum : int32_t { ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3, RGN_ERROR = ERROR };
constexpr DWORD RDH_RECTANGLES = 1;

// DIBs
enum : int32_t { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_JPEG = 4, BI_PNG = 5 };
enum : int32_t { DIB_RGB_COLORS = 0, DIB_PAL_COLORS = 1 };

// Alpha blending and gradients
constexpr BYTE AC_SRC_OVER = 0x00;
constexpr BYTE AC_SRC_ALPHA = 0x01;
enum : int32_t { GRADIENT_FILL_RECT_H = 0, GRADIENT_FILL_RECT_V = 1, GRADIENT_FILL_TRIANGLE = 2 };

// Flood fill
enum : int32_t { FLOODFILLBORDER = 0, FLOODFILLSURFACE = 1 };

// Text alignment (SetTextAlign); the text calls themselves belong to the text module.
enum : int32_t {
  TA_NOUPDATECP = 0, TA_UPDATECP = 1, TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_TOP = 0,
  TA_BOTTOM = 8, TA_BASELINE = 24, TA_RTLREADING = 256, TA_MASK = TA_BASELINE | TA_CENTER | TA_UPDATECP | TA_RTLREADING
};

// Fonts
enum : LONG {
  FW_DONTCARE = 0, FW_THIN = 100, FW_EXTRALIGHT = 200, FW_LIGHT = 300, FW_NORMAL = 400, FW_MEDIUM = 500,
  FW_SEMIBOLD = 600, FW_BOLD = 700, FW_EXTRABOLD = 800, FW_HEAVY = 900
};
enum : BYTE {
  ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2, SHIFTJIS_CHARSET = 128, HANGEUL_CHARSET = 129,
  GB2312_CHARSET = 134, CHINESEBIG5_CHARSET = 136, OEM_CHARSET = 255, JOHAB_CHARSET = 130,
  HEBREW_CHARSET = 177, ARABIC_CHARSET = 178, GREEK_CHARSET = 161, TURKISH_CHARSET = 162,
  VIETNAMESE_CHARSET = 163, THAI_CHARSET = 222, EASTEUROPE_CHARSET = 238, RUSSIAN_CHARSET = 204,
  MAC_CHARSET = 77, BALTIC_CHARSET = 186
};
enum : BYTE {
  OUT_DEFAULT_PRECIS = 0, OUT_STRING_PRECIS = 1, OUT_CHARACTER_PRECIS = 2, OUT_STROKE_PRECIS = 3,
  OUT_TT_PRECIS = 4, OUT_DEVICE_PRECIS = 5, OUT_RASTER_PRECIS = 6, OUT_TT_ONLY_PRECIS = 7,
  OUT_OUTLINE_PRECIS = 8
};
enum : BYTE { CLIP_DEFAULT_PRECIS = 0, CLIP_CHARACTER_PRECIS = 1, CLIP_STROKE_PRECIS = 2 };
enum : BYTE {
  DEFAULT_QUALITY = 0, DRAFT_QUALITY = 1, PROOF_QUALITY = 2, NONANTIALIASED_QUALITY = 3,
  ANTIALIASED_QUALITY = 4, CLEARTYPE_QUALITY = 5, CLEARTYPE_NATURAL_QUALITY = 6
};
enum : BYTE {
  DEFAULT_PITCH = 0, FIXED_PITCH = 1, VARIABLE_PITCH = 2, FF_DONTCARE = 0x00, FF_ROMAN = 0x10,
  FF_SWISS = 0x20, FF_MODERN = 0x30, FF_SCRIPT = 0x40, FF_DECORATIVE = 0x50
};
enum : BYTE { TMPF_FIXED_PITCH = 0x01, TMPF_VECTOR = 0x02, TMPF_TRUETYPE = 0x04, TMPF_DEVICE = 0x08 };

// GetDeviceCaps
enum : int32_t {
  DRIVERVERSION = 0, TECHNOLOGY = 2, HORZSIZE = 4, VERTSIZE = 6, HORZRES = 8, VERTRES = 10,
  BITSPIXEL = 12, PLANES = 14, NUMBRUSHES = 16, NUMPENS = 18, NUMFONTS = 22, NUMCOLORS = 24,
  CURVECAPS = 28, LINECAPS = 30, POLYGONALCAPS = 32, TEXTCAPS = 34, CLIPCAPS = 36, RASTERCAPS = 38,
  ASPECTX = 40, ASPECTY = 42, ASPECTXY = 44, LOGPIXELSX = 88, LOGPIXELSY = 90, SIZEPALETTE = 104,
  NUMRESERVED = 106, COLORRES = 108, PHYSICALWIDTH = 110, PHYSICALHEIGHT = 111, PHYSICALOFFSETX = 112,
  PHYSICALOFFSETY = 113, VREFRESH = 116, DESKTOPVERTRES = 117, DESKTOPHORZRES = 118,
  SHADEBLENDCAPS = 120
};
enum : int32_t { DT_PLOTTER = 0, DT_RASDISPLAY = 1, DT_RASPRINTER = 2, DT_RASCAMERA = 3 };
enum : int32_t {
  RC_BITBLT = 1, RC_BANDING = 2, RC_SCALING = 4, RC_BITMAP64 = 8, RC_GDI20_OUTPUT = 0x10,
  RC_DI_BITMAP = 0x80, RC_PALETTE = 0x100, RC_DIBTODEV = 0x200, RC_STRETCHBLT = 0x800,
  RC_FLOODFILL = 0x1000, RC_STRETCHDIB = 0x2000
};
enum : int32_t { SB_CONST_ALPHA = 1, SB_PIXEL_ALPHA = 2, SB_GRAD_RECT = 0x10 };

// DrawEdge
enum : int32_t {
  BDR_RAISEDOUTER = 0x0001, BDR_SUNKENOUTER = 0x0002, BDR_RAISEDINNER = 0x0004, BDR_SUNKENINNER = 0x0008,
  BDR_OUTER = 0x0003, BDR_INNER = 0x000C, BDR_RAISED = 0x0005, BDR_SUNKEN = 0x000A,
  EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER, EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
  EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER, EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER
};
enum : int32_t {
  BF_LEFT = 0x0001, BF_TOP = 0x0002, BF_RIGHT = 0x0004, BF_BOTTOM = 0x0008,
  BF_TOPLEFT = BF_TOP | BF_LEFT, BF_TOPRIGHT = BF_TOP | BF_RIGHT, BF_BOTTOMLEFT = BF_BOTTOM | BF_LEFT,
  BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT, BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM,
  BF_DIAGONAL = 0x0010, BF_DIAGONAL_ENDTOPRIGHT = BF_DIAGONAL | BF_TOP | BF_RIGHT,
  BF_DIAGONAL_ENDTOPLEFT = BF_DIAGONAL | BF_TOP | BF_LEFT,
  BF_DIAGONAL_ENDBOTTOMLEFT = BF_DIAGONAL | BF_BOTTOM | BF_LEFT,
  BF_DIAGONAL_ENDBOTTOMRIGHT = BF_DIAGONAL | BF_BOTTOM | BF_RIGHT, BF_MIDDLE = 0x0800,
  BF_SOFT = 0x1000, BF_ADJUST = 0x2000, BF_FLAT = 0x4000, BF_MONO = 0x8000
};

// DrawFrameControl
enum : int32_t { DFC_CAPTION = 1, DFC_MENU = 2, DFC_SCROLL = 3, DFC_BUTTON = 4, DFC_POPUPMENU = 5 };
enum : int32_t {
  DFCS_CAPTIONCLOSE = 0x0000, DFCS_CAPTIONMIN = 0x0001, DFCS_CAPTIONMAX = 0x0002,
  DFCS_CAPTIONRESTORE = 0x0003, DFCS_CAPTIONHELP = 0x0004,
  DFCS_MENUARROW = 0x0000, DFCS_MENUCHECK = 0x0001, DFCS_MENUBULLET = 0x0002,
  DFCS_MENUARROWRIGHT = 0x0004,
  DFCS_SCROLLUP = 0x0000, DFCS_SCROLLDOWN = 0x0001, DFCS_SCROLLLEFT = 0x0002, DFCS_SCROLLRIGHT = 0x0003,
  DFCS_SCROLLCOMBOBOX = 0x0005, DFCS_SCROLLSIZEGRIP = 0x0008, DFCS_SCROLLSIZEGRIPRIGHT = 0x0010,
  DFCS_BUTTONCHECK = 0x0000, DFCS_BUTTONRADIOIMAGE = 0x0001, DFCS_BUTTONRADIOMASK = 0x0002,
  DFCS_BUTTONRADIO = 0x0004, DFCS_BUTTON3STATE = 0x0008, DFCS_BUTTONPUSH = 0x0010,
  DFCS_INACTIVE = 0x0100, DFCS_PUSHED = 0x0200, DFCS_CHECKED = 0x0400, DFCS_TRANSPARENT = 0x0800,
  DFCS_HOT = 0x1000, DFCS_ADJUSTRECT = 0x2000, DFCS_FLAT = 0x4000, DFCS_MONO = 0x8000
};

// ---------------------------------------------------------------------------------------------
// Objects
HGDIOBJ GetStockObject(int32_t index);
BOOL DeleteObject(HGDIOBJ obj);  // FALSE for stale handles and objects selected into a DC
DWORD GetObjectType(HGDIOBJ obj);
// Copies the object's description (BITMAP or DIBSECTION, LOGPEN or EXTLOGPEN, LOGBRUSH, LOGFONT,
// a WORD entry count for palettes) into buffer; with buffer == nullptr returns the size needed.
int32_t GetObject(HGDIOBJ obj, int32_t size, void* buffer);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);  // for regions: returns the region type
HGDIOBJ GetCurrentObject(HDC dc, UINT type);

HPEN CreatePen(int32_t style, int32_t width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN& lp);
HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH& lb, DWORD styleCount, const DWORD* styles);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int32_t hatch, COLORREF color);
HBRUSH CreatePatternBrush(HBITMAP bm);  // the top-left 8x8 pixels of the bitmap are copied
HBRUSH CreateBrushIndirect(const LOGBRUSH& lb);
HFONT CreateFontIndirect(const LOGFONT& lf);
HFONT CreateFont(int32_t height, int32_t width, int32_t escapement, int32_t orientation, int32_t weight,
                 DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                 DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName);
HPALETTE CreatePalette(const LOGPALETTE* lp);
HPALETTE SelectPalette(HDC dc, HPALETTE pal, BOOL forceBackground);
UINT RealizePalette(HDC dc);
UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* entries);
UINT SetPaletteEntries(HPALETTE pal, UINT start, UINT count, const PALETTEENTRY* entries);
UINT GetNearestPaletteIndex(HPALETTE pal, COLORREF color);

// ---------------------------------------------------------------------------------------------
// Bitmaps and DIBs
// A device-dependent bitmap: 1 bit (monochrome, drawn with the text/background colours) or a
// colour bitmap of the given depth. bits, if given, are top-down rows padded to 2 bytes.
HBITMAP CreateBitmap(int32_t width, int32_t height, UINT planes, UINT bitCount, const void* bits);
// 32-bit; monochrome when the DC holds a monochrome bitmap; 1x1 monochrome for a zero size.
HBITMAP CreateCompatibleBitmap(HDC dc, int32_t width, int32_t height);
// A DIB section: *bits receives the pixel memory (bottom-up rows for a positive height).
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* bmi, UINT usage, void** bits, void* section,
                         DWORD offset);
int32_t GetDIBits(HDC dc, HBITMAP bm, UINT start, UINT lines, void* bits, BITMAPINFO* bmi, UINT usage);
int32_t SetDIBits(HDC dc, HBITMAP bm, UINT start, UINT lines, const void* bits, const BITMAPINFO* bmi,
                  UINT usage);
LONG GetBitmapBits(HBITMAP bm, LONG size, void* bits);  // top-down rows padded to 2 bytes
LONG SetBitmapBits(HBITMAP bm, DWORD size, const void* bits);
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);
int32_t StretchDIBits(HDC dc, int32_t xDest, int32_t yDest, int32_t destWidth, int32_t destHeight,
                      int32_t xSrc, int32_t ySrc, int32_t srcWidth, int32_t srcHeight, const void* bits,
                      const BITMAPINFO* bmi, UINT usage, DWORD rop);
int32_t SetDIBitsToDevice(HDC dc, int32_t xDest, int32_t yDest, DWORD width, DWORD height, int32_t xSrc,
                          int32_t ySrc, UINT startScan, UINT lines, const void* bits, const BITMAPINFO* bmi,
                          UINT usage);

// Packed DIBs (header, masks, colour table, bits: the clipboard's and a BMP file's layout after
// the file header). Reading checks every size and offset against the buffer and refuses bad
// headers (returns nullptr / false); nothing is read past size.
std::unique_ptr<TSurface> SurfaceFromPackedDIB(const void* data, size_t size);
// The surface as a packed DIB with a 40-byte header (BI_BITFIELDS for 16-bit 5-6-5), bottom-up.
std::vector<uint8_t> PackedDIBFromSurface(const TSurface& s);
// The byte count of the packed DIB at data (header + masks + colour table + bits), 0 if bad.
size_t PackedDIBSize(const void* data, size_t size);

// ---------------------------------------------------------------------------------------------
// Device contexts
HDC CreateCompatibleDC(HDC dc);  // a memory DC holding a 1x1 monochrome bitmap
HDC CreateSurfaceDC(TSurface* surface);  // a DC drawing on surface (not owned; it must outlive the DC)
BOOL DeleteDC(HDC dc);
HDC GetDC(HWND wnd);  // GetDC(0): a DC over the shared screen surface (for measuring)
int32_t ReleaseDC(HWND wnd, HDC dc);
// The window layer serves GetDC / ReleaseDC for windows (GetDC(wnd) answers nullptr without it).
using TWindowGetDCHook = HDC (*)(HWND wnd);
using TWindowReleaseDCHook = int32_t (*)(HWND wnd, HDC dc);  // 0 when the DC is not a window's
void SetWindowDCHooks(TWindowGetDCHook getDC, TWindowReleaseDCHook releaseDC);
int32_t SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int32_t saved);  // a level from SaveDC, or -1, -2 ... relative
int32_t GetDeviceCaps(HDC dc, int32_t index);

COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int32_t SetBkMode(HDC dc, int32_t mode);
int32_t GetBkMode(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
int32_t SetROP2(HDC dc, int32_t rop2);
int32_t GetROP2(HDC dc);
int32_t SetStretchBltMode(HDC dc, int32_t mode);
int32_t GetStretchBltMode(HDC dc);
int32_t SetPolyFillMode(HDC dc, int32_t mode);
int32_t GetPolyFillMode(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);
int32_t SetTextCharacterExtra(HDC dc, int32_t extra);
int32_t GetTextCharacterExtra(HDC dc);
int32_t SetArcDirection(HDC dc, int32_t dir);
int32_t GetArcDirection(HDC dc);
BOOL SetBrushOrgEx(HDC dc, int32_t x, int32_t y, TPoint* old);
BOOL GetBrushOrgEx(HDC dc, TPoint* org);
COLORREF SetDCBrushColor(HDC dc, COLORREF color);
COLORREF SetDCPenColor(HDC dc, COLORREF color);

BOOL MoveToEx(HDC dc, int32_t x, int32_t y, TPoint* old);
BOOL GetCurrentPositionEx(HDC dc, TPoint* pos);

int32_t SetMapMode(HDC dc, int32_t mode);
int32_t GetMapMode(HDC dc);
BOOL SetWindowOrgEx(HDC dc, int32_t x, int32_t y, TPoint* old);
BOOL GetWindowOrgEx(HDC dc, TPoint* org);
BOOL OffsetWindowOrgEx(HDC dc, int32_t dx, int32_t dy, TPoint* old);
BOOL SetWindowExtEx(HDC dc, int32_t x, int32_t y, TSize* old);
BOOL GetWindowExtEx(HDC dc, TSize* ext);
BOOL SetViewportOrgEx(HDC dc, int32_t x, int32_t y, TPoint* old);
BOOL GetViewportOrgEx(HDC dc, TPoint* org);
BOOL OffsetViewportOrgEx(HDC dc, int32_t dx, int32_t dy, TPoint* old);
BOOL SetViewportExtEx(HDC dc, int32_t x, int32_t y, TSize* old);
BOOL GetViewportExtEx(HDC dc, TSize* ext);
int32_t SetGraphicsMode(HDC dc, int32_t mode);
int32_t GetGraphicsMode(HDC dc);
BOOL SetWorldTransform(HDC dc, const XFORM& xf);  // needs GM_ADVANCED
BOOL ModifyWorldTransform(HDC dc, const XFORM* xf, DWORD mode);
BOOL GetWorldTransform(HDC dc, XFORM* xf);
BOOL LPtoDP(HDC dc, TPoint* pts, int32_t count);
BOOL DPtoLP(HDC dc, TPoint* pts, int32_t count);

// ---------------------------------------------------------------------------------------------
// Pixels, fills and lines
COLORREF SetPixel(HDC dc, int32_t x, int32_t y, COLORREF color);  // returns the colour set
BOOL SetPixelV(HDC dc, int32_t x, int32_t y, COLORREF color);
COLORREF GetPixel(HDC dc, int32_t x, int32_t y);  // CLR_INVALID outside the clip or the surface
int32_t FillRect(HDC dc, const TRect& r, HBRUSH brush);
int32_t FrameRect(HDC dc, const TRect& r, HBRUSH brush);
BOOL InvertRect(HDC dc, const TRect& r);
BOOL PatBlt(HDC dc, int32_t x, int32_t y, int32_t w, int32_t h, DWORD rop);
BOOL DrawFocusRect(HDC dc, const TRect& r);
BOOL ExtFloodFill(HDC dc, int32_t x, int32_t y, COLORREF color, UINT type);
BOOL FloodFill(HDC dc, int32_t x, int32_t y, COLORREF border);
BOOL GradientFill(HDC dc, const TRIVERTEX* vertices, ULONG vertexCount, const void* mesh, ULONG meshCount,
                  ULONG mode);

BOOL LineTo(HDC dc, int32_t x, int32_t y);
BOOL Polyline(HDC dc, const TPoint* pts, int32_t count);
BOOL PolylineTo(HDC dc, const TPoint* pts, DWORD count);
BOOL PolyPolyline(HDC dc, const TPoint* pts, const DWORD* counts, DWORD polyCount);
using LINEDDAPROC = void (*)(int32_t x, int32_t y, intptr_t data);
// Calls proc for every pixel of the cosmetic line from (x1, y1) to (x2, y2), the end excluded.
BOOL LineDDA(int32_t x1, int32_t y1, int32_t x2, int32_t y2, LINEDDAPROC proc, intptr_t data);

// ---------------------------------------------------------------------------------------------
// Shapes (outline with the pen, interior with the brush; the box excludes right and bottom)
BOOL Rectangle(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
BOOL Ellipse(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
BOOL RoundRect(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t width, int32_t height);
BOOL Arc(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t xStart, int32_t yStart,
         int32_t xEnd, int32_t yEnd);
BOOL Pie(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t xStart, int32_t yStart,
         int32_t xEnd, int32_t yEnd);
BOOL Chord(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t xStart, int32_t yStart,
           int32_t xEnd, int32_t yEnd);
BOOL Polygon(HDC dc, const TPoint* pts, int32_t count);
BOOL PolyPolygon(HDC dc, const TPoint* pts, const int32_t* counts, int32_t polyCount);
BOOL PolyBezier(HDC dc, const TPoint* pts, DWORD count);
BOOL PolyBezierTo(HDC dc, const TPoint* pts, DWORD count);

// ---------------------------------------------------------------------------------------------
// Blits
BOOL BitBlt(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t xSrc, int32_t ySrc, DWORD rop);
BOOL StretchBlt(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t xSrc, int32_t ySrc,
                int32_t wSrc, int32_t hSrc, DWORD rop);
// Where the monochrome mask has a 1 bit the foreground ROP applies, where it has 0 the
// background ROP (the high byte of MAKEROP4).
BOOL MaskBlt(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t xSrc, int32_t ySrc,
             HBITMAP mask, int32_t xMask, int32_t yMask, DWORD rop4);
// Copies (stretching) all source pixels but those equal to the transparent colour.
BOOL TransparentBlt(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t xSrc, int32_t ySrc,
                    int32_t wSrc, int32_t hSrc, UINT transparent);
// dst = src' + dst * (255 - alpha(src')) / 255 with src' = src * SourceConstantAlpha / 255 (per
// pixel alpha, premultiplied), or dst = src * a / 255 + dst * (255 - a) / 255 with the constant
// alpha a alone; every division rounds to nearest. The source must lie inside its surface.
BOOL AlphaBlend(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t xSrc, int32_t ySrc,
                int32_t wSrc, int32_t hSrc, BLENDFUNCTION blend);

// ---------------------------------------------------------------------------------------------
// Regions and clipping
HRGN CreateRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom);
HRGN CreateRectRgnIndirect(const TRect& r);
HRGN CreateEllipticRgn(int32_t left, int32_t top, int32_t right, int32_t bottom);
HRGN CreateEllipticRgnIndirect(const TRect& r);
HRGN CreateRoundRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t w, int32_t h);
HRGN CreatePolygonRgn(const TPoint* pts, int32_t count, int32_t fillMode);
HRGN CreatePolyPolygonRgn(const TPoint* pts, const int32_t* counts, int32_t polyCount, int32_t fillMode);
// From the region-data layout: a 32-byte header (dwSize 32, iType RDH_RECTANGLES, nCount,
// nRgnSize, rcBound) and nCount rectangles; count is the byte size of data. xf must be null.
HRGN ExtCreateRegion(const XFORM* xf, DWORD count, const RGNDATA* data);
// Writes the region data if size is large enough; returns the bytes needed (or written), 0 on error.
DWORD GetRegionData(HRGN rgn, DWORD size, RGNDATA* data);
BOOL SetRectRgn(HRGN rgn, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t CombineRgn(HRGN dst, HRGN src1, HRGN src2, int32_t mode);
int32_t OffsetRgn(HRGN rgn, int32_t dx, int32_t dy);
BOOL PtInRegion(HRGN rgn, int32_t x, int32_t y);
BOOL RectInRegion(HRGN rgn, const TRect& r);
int32_t GetRgnBox(HRGN rgn, TRect* r);
BOOL EqualRgn(HRGN a, HRGN b);
BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush);
BOOL FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int32_t w, int32_t h);
BOOL InvertRgn(HDC dc, HRGN rgn);
BOOL PaintRgn(HDC dc, HRGN rgn);

// The clip region is kept in device coordinates; SelectClipRgn copies the region (null removes
// the clipping). The rectangle forms take logical coordinates.
int32_t SelectClipRgn(HDC dc, HRGN rgn);
int32_t ExtSelectClipRgn(HDC dc, HRGN rgn, int32_t mode);
int32_t ExcludeClipRect(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t IntersectClipRect(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t OffsetClipRgn(HDC dc, int32_t dx, int32_t dy);
int32_t GetClipBox(HDC dc, TRect* r);  // logical coordinates; without clipping the surface bounds
int32_t GetClipRgn(HDC dc, HRGN rgn);  // 1 and a copy in rgn, 0 when there is no clip region, -1 on error
BOOL PtVisible(HDC dc, int32_t x, int32_t y);
BOOL RectVisible(HDC dc, const TRect& r);

// ---------------------------------------------------------------------------------------------
// Classic frames
// Draws the edge rings (outer first) of r; BF_ADJUST shrinks r by what was drawn.
BOOL DrawEdge(HDC dc, TRect& r, UINT edge, UINT flags);
BOOL DrawFrameControl(HDC dc, TRect& r, UINT type, UINT state);

// The class library's button face (Buttons unit).
enum class TButtonStyle { bsAutoDetect, bsWin31, bsNew };
// Paints a bevelled button face over client and returns the rectangle left for the caption
// (one pixel in, shifted by one when down).
TRect DrawButtonFace(HDC dc, const TRect& client, int32_t bevelWidth, TButtonStyle style, bool isRounded,
                     bool isDown, bool isFocused);
