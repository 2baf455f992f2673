// The shell and system information: opening documents and web addresses with the desktop's
// programs, a file's type icon and type name, the system's language and version.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/gdi/WinGdi.h"
#include "platform/gdi/WinIcons.h"

// ---------------------------------------------------------------------------------------------
// Opening files and addresses

// SHELLEXECUTEINFO masks (they change nothing here: no error dialogs are ever shown).
enum : ULONG {
  SEE_MASK_DEFAULT = 0x0, SEE_MASK_NOCLOSEPROCESS = 0x40, SEE_MASK_FLAG_DDEWAIT = 0x100,
  SEE_MASK_NOASYNC = 0x100, SEE_MASK_FLAG_NO_UI = 0x400
};
// ShellExecute results of 32 and less are errors.
enum : intptr_t {
  SE_ERR_FNF = 2, SE_ERR_PNF = 3, SE_ERR_ACCESSDENIED = 5, SE_ERR_OOM = 8, SE_ERR_NOASSOC = 31
};

struct SHELLEXECUTEINFO {
  DWORD cbSize = 0;  // sizeof(SHELLEXECUTEINFO)
  ULONG fMask = 0;
  HWND hwnd = nullptr;
  const char* lpVerb = nullptr;       // nullptr or "open": open; "explore": open a folder
  const char* lpFile = nullptr;       // a web address (http:, https:, mailto:, www. ...) or a file
  const char* lpParameters = nullptr;
  const char* lpDirectory = nullptr;  // the folder a relative file name is in
  int32_t nShow = 0;
  intptr_t hInstApp = 0;              // out: > 32 on success, else the SE_ERR_ code
};

// Opens the address or file with the desktop's default program (a web address in the browser).
// A file must exist (SE_ERR_FNF otherwise); other verbs than open and explore give
// SE_ERR_NOASSOC. While dialogs are scripted (tests), the request is logged in
// TDialogScript::Shown ("ShellExecute", verb, the address) instead of being carried out.
// Answers a value > 32 on success.
intptr_t ShellExecute(HWND Wnd, const char* Operation, const char* File, const char* Parameters,
                      const char* Directory, int32_t ShowCmd);
// The same through the record; FALSE on failure (hInstApp holds the code). A wrong cbSize fails.
BOOL ShellExecuteEx(SHELLEXECUTEINFO* Info);

// ---------------------------------------------------------------------------------------------
// File information

enum : UINT {
  SHGFI_LARGEICON = 0x0, SHGFI_SMALLICON = 0x1, SHGFI_OPENICON = 0x2, SHGFI_SHELLICONSIZE = 0x4,
  SHGFI_PIDL = 0x8, SHGFI_USEFILEATTRIBUTES = 0x10, SHGFI_ICON = 0x100, SHGFI_DISPLAYNAME = 0x200,
  SHGFI_TYPENAME = 0x400, SHGFI_ATTRIBUTES = 0x800, SHGFI_ICONLOCATION = 0x1000, SHGFI_EXETYPE = 0x2000,
  SHGFI_SYSICONINDEX = 0x4000
};
enum : DWORD { FILE_ATTRIBUTE_READONLY = 0x1, FILE_ATTRIBUTE_DIRECTORY = 0x10, FILE_ATTRIBUTE_NORMAL = 0x80 };

struct SHFILEINFO {
  HICON hIcon = nullptr;  // the caller destroys it
  int32_t iIcon = 0;
  DWORD dwAttributes = 0;
  char szDisplayName[260] = {};
  char szTypeName[80] = {};
};

// What the desktop says about a file, by its MIME type: with SHGFI_ICON its type icon from the
// desktop's icon theme (32 x 32, or 16 x 16 with SHGFI_SMALLICON; hIcon nil when the theme has
// none), with SHGFI_TYPENAME the type's description ("PNG image"), with SHGFI_DISPLAYNAME the
// name shown. Without SHGFI_USEFILEATTRIBUTES the file must exist and its content counts;
// with it only the name (and FILE_ATTRIBUTE_DIRECTORY) does. Answers 0 for a missing file, an
// empty name or SHGFI_PIDL (no item lists here), else non-zero. Strings are UTF-8, cut to fit.
uintptr_t SHGetFileInfo(const char* Path, DWORD FileAttributes, SHFILEINFO* Info, UINT InfoSize, UINT Flags);

// ---------------------------------------------------------------------------------------------
// System information

using LANGID = uint16_t;
using LCID = uint32_t;
using LCTYPE = uint32_t;

constexpr LANGID MAKELANGID(uint16_t Primary, uint16_t Sub) { return static_cast<LANGID>((Sub << 10) | Primary); }
constexpr uint16_t PRIMARYLANGID(LANGID Id) { return Id & 0x3FF; }
constexpr uint16_t SUBLANGID(LANGID Id) { return Id >> 10; }

enum : LCID { LOCALE_SYSTEM_DEFAULT = 0x800, LOCALE_USER_DEFAULT = 0x400 };
enum : LCTYPE {
  LOCALE_ILANGUAGE = 0x1, LOCALE_SNATIVELANGNAME = 0x4,
  LOCALE_SENGLANGUAGE = 0x1001, LOCALE_SENGCOUNTRY = 0x1002, LOCALE_SISO639LANGNAME = 0x59,
  LOCALE_SISO3166CTRYNAME = 0x5A
};

// The language of the desktop's locale as the platform numbers it (primary and sublanguage);
// the "C" locale is US English, a language the platform table here does not hold is 0. User and
// system default are the same here; the thread locale is that language too.
LANGID GetUserDefaultLangID();
LANGID GetSystemDefaultLangID();
LCID GetThreadLocale();
// The LANGID of a locale name such as "de_DE", "zh_TW" or "C".
LANGID LangIDFromLocaleName(std::string_view Name);

// A locale's information (LOCALE_SYSTEM_DEFAULT, LOCALE_USER_DEFAULT or a LANGID): the English
// language name ("German"), the hex id ("0407"), ISO codes, the names in the language itself.
// Copies it with its NUL into Data and answers the count with the NUL; with Size 0 answers the
// count needed; 0 when the locale or the type is unknown or Data is too small.
int32_t GetLocaleInfo(LCID Locale, LCTYPE Type, char* Data, int32_t Size);

// The platform version: Windows 10 (10.0, build 19045, the NT platform).
enum : DWORD { VER_PLATFORM_WIN32s = 0, VER_PLATFORM_WIN32_WINDOWS = 1, VER_PLATFORM_WIN32_NT = 2 };
struct OSVERSIONINFO {
  DWORD dwOSVersionInfoSize = sizeof(OSVERSIONINFO);
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformId = 0;
  char szCSDVersion[128] = {};
};
// FALSE when dwOSVersionInfoSize is not the record's size.
BOOL GetVersionEx(OSVERSIONINFO* Info);
