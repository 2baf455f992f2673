// Icons and cursors at the device-context level: icon handles, their bitmaps, drawing, and
// loading of bitmaps, icons and cursors from the resources compiled into the program (BITMAP
// resources are .bmp files, ICON resources .ico files, CURSOR resources .cur files).
//
// An icon is a monochrome AND mask plus a colour image (XOR), or, for a monochrome icon, a mask
// of twice the height whose lower half is the XOR image. Handles are ids from a
// generation-checked table: a destroyed icon's handle is refused by every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/gdi/WinGdi.h"

struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
using HANDLE = void*;

struct ICONINFO {
  BOOL fIcon = 1;       // TRUE for an icon, FALSE for a cursor
  DWORD xHotspot = 0;   // cursors: the hot spot; icons: the centre
  DWORD yHotspot = 0;
  HBITMAP hbmMask = nullptr;
  HBITMAP hbmColor = nullptr;  // nullptr for a monochrome icon
};

// DrawIconEx flags
enum : UINT { DI_MASK = 0x0001, DI_IMAGE = 0x0002, DI_NORMAL = 0x0003, DI_COMPAT = 0x0004, DI_DEFAULTSIZE = 0x0008,
              DI_NOMIRROR = 0x0010 };

// LoadImage types and flags
enum : UINT { IMAGE_BITMAP = 0, IMAGE_ICON = 1, IMAGE_CURSOR = 2 };
enum : UINT {
  LR_DEFAULTCOLOR = 0x0000, LR_MONOCHROME = 0x0001, LR_LOADFROMFILE = 0x0010, LR_DEFAULTSIZE = 0x0040,
  LR_CREATEDIBSECTION = 0x2000, LR_SHARED = 0x8000
};

// The system's cursors and icons (LoadCursor / LoadIcon with instance 0).
enum : int32_t {
  IDC_ARROW = 32512, IDC_IBEAM = 32513, IDC_WAIT = 32514, IDC_CROSS = 32515, IDC_UPARROW = 32516,
  IDC_SIZE = 32640, IDC_ICON = 32641, IDC_SIZENWSE = 32642, IDC_SIZENESW = 32643, IDC_SIZEWE = 32644,
  IDC_SIZENS = 32645, IDC_SIZEALL = 32646, IDC_NO = 32648, IDC_HAND = 32649, IDC_APPSTARTING = 32650,
  IDC_HELP = 32651
};
enum : int32_t {
  IDI_APPLICATION = 32512, IDI_HAND = 32513, IDI_QUESTION = 32514, IDI_EXCLAMATION = 32515,
  IDI_ASTERISK = 32516, IDI_WINLOGO = 32517, IDI_SHIELD = 32518
};

// The default icon and cursor size (the system metrics SM_CXICON / SM_CXCURSOR).
inline constexpr int32_t DefaultIconSize = 32;

// Copies the bitmaps: the icon keeps its own. The mask must be monochrome-sized as the colour
// bitmap (or twice its height without a colour bitmap). A 32-bit colour bitmap whose fourth bytes
// are not all 0 is drawn with that alpha channel.
HICON CreateIconIndirect(const ICONINFO* info);
// New copies of the icon's bitmaps (a monochrome mask, and a 32-bit DIB section for the colour
// image); the caller deletes both.
BOOL GetIconInfo(HICON icon, ICONINFO* info);
HICON CopyIcon(HICON icon);
HCURSOR CopyCursor(HCURSOR cursor);
BOOL DestroyIcon(HICON icon);    // the system's shared icons are not destroyed (TRUE)
BOOL DestroyCursor(HCURSOR cursor);
// The size of the icon's image; false for a bad handle.
bool GetIconSize(HICON icon, int32_t* width, int32_t* height);
// For a system cursor or icon: its IDC_ / IDI_ id; 0 for others.
int32_t GetSystemIconId(HICON icon);

// Draws the icon at the default icon size (DrawIconEx with DI_NORMAL | DI_DEFAULTSIZE): the mask
// with SRCAND, then the image with SRCINVERT (a 32-bit image with alpha is alpha-blended instead).
BOOL DrawIcon(HDC dc, int32_t x, int32_t y, HICON icon);
// cx, cy = 0: the icon's size (DI_DEFAULTSIZE: the default icon size). DI_MASK or DI_IMAGE alone
// copies that part (SRCCOPY). With a brush, the area is filled with it first.
BOOL DrawIconEx(HDC dc, int32_t x, int32_t y, HICON icon, int32_t cx, int32_t cy, UINT stepIfAniCur,
                HBRUSH flickerFreeDraw, UINT flags);

// One image of an ICO/CUR directory.
struct TIconDirEntry {
  int32_t Width = 0;   // from the directory (0 means 256)
  int32_t Height = 0;
  int32_t ColorCount = 0;
  int32_t Planes = 0;     // cursors: the hot spot's x
  int32_t BitCount = 0;   // cursors: the hot spot's y
  uint32_t BytesInRes = 0;
  uint32_t ImageOffset = 0;
};
// Parses an ICO (type 1) or CUR (type 2) directory; every entry's offset and size are checked
// against size. False for bad data.
bool ParseIconDirectory(const void* data, size_t size, uint16_t* type, std::vector<TIconDirEntry>* entries);
// The entry to use for the wanted size: the exact size with the most colours, else (cx or cy 0
// or no match) the first entry.
int32_t PickIconEntry(const std::vector<TIconDirEntry>& entries, int32_t cx, int32_t cy);

// An icon or cursor from one image's data (a DIB with the doubled height and the AND mask, or a
// PNG). cx, cy are ignored (icons are not resampled here). nullptr for bad data.
HICON CreateIconFromResourceEx(const void* data, DWORD size, BOOL icon, DWORD version, int32_t cx, int32_t cy,
                               UINT flags);
// An icon from whole ICO/CUR file data (the entry as PickIconEntry chooses).
HICON CreateIconFromFileData(const void* data, size_t size, BOOL icon, int32_t cx, int32_t cy);

// Resources by name (instance 0 is the program), or with LR_LOADFROMFILE a file name. Bitmaps
// come back as DIB sections in the file's format (LoadBitmap: 32-bit device bitmaps, monochrome
// ones 1-bit). nullptr when the resource is missing or bad.
HANDLE LoadImage(uintptr_t instance, std::string_view name, UINT type, int32_t cx, int32_t cy, UINT flags);
HBITMAP LoadBitmap(uintptr_t instance, std::string_view name);
HICON LoadIcon(uintptr_t instance, std::string_view name);
HCURSOR LoadCursor(uintptr_t instance, std::string_view name);
// By number: with instance 0 an IDI_/IDC_ id gives the system's (shared) icon or cursor; other
// numbers look up the resource named by the decimal number.
HICON LoadIcon(uintptr_t instance, int32_t id);
HCURSOR LoadCursor(uintptr_t instance, int32_t id);
