// Global memory blocks and the clipboard: the platform's clipboard calls and the class library's
// TClipboard.
//
// Global memory: handles are ids from a generation-checked table, so a freed or made-up handle is
// refused by every call (nullptr / 0 / FALSE) and never touches memory.
//
// The clipboard lives on the desktop's clipboard (one transaction from OpenClipboard to
// CloseClipboard; what is set in it is published as one whole at CloseClipboard). Formats map to
// MIME types:
//   CF_UNICODETEXT, CF_TEXT   text/plain (CR LF in memory, LF on the desktop)
//   CF_DIB, CF_BITMAP         image/bmp (a BMP file: file header + packed DIB); another
//                             program's image in any format Qt reads is offered as CF_DIB too
//   CF_HDROP                  text/uri-list (local files)
//   registered formats        application/x-qln-<name>; the name "PNG" is image/png
// In memory, CF_UNICODETEXT is UTF-16LE ended by a NUL unit and CF_TEXT UTF-8 ended by a NUL
// byte. Handles that GetClipboardData returns belong to the clipboard and stay valid until
// CloseClipboard. Without a Qt GUI application (a worker thread, a tool without display) the
// clipboard is one private to the process. Clipboard calls belong to the user-interface thread;
// another thread's OpenClipboard fails while a GUI application exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/gdi/WinGdi.h"
#include "platform/rtl/Classes.h"

using HANDLE = void*;
using HGLOBAL = HANDLE;

// ---------------------------------------------------------------------------------------------
// Global memory

// GlobalAlloc flags (GMEM_MOVEABLE and GMEM_DDESHARE change nothing here: every block is
// reached through its handle).
enum : UINT {
  GMEM_FIXED = 0x0000, GMEM_MOVEABLE = 0x0002, GMEM_ZEROINIT = 0x0040, GMEM_DDESHARE = 0x2000,
  GMEM_SHARE = 0x2000, GHND = GMEM_MOVEABLE | GMEM_ZEROINIT, GPTR = GMEM_FIXED | GMEM_ZEROINIT
};

// A block of Bytes (0 is allowed; its GlobalLock answers nullptr); nullptr when the memory cannot
// be had or Bytes exceeds 2 GB - 1. The contents are zero with GMEM_ZEROINIT, else undefined.
HGLOBAL GlobalAlloc(UINT Flags, size_t Bytes);
// The block's memory, counting one lock; nullptr for a bad handle or an empty block.
void* GlobalLock(HGLOBAL Mem);
// Drops one lock: TRUE while locks remain, FALSE when none remain (or for a bad handle).
BOOL GlobalUnlock(HGLOBAL Mem);
// nullptr when freed, the handle itself when it is bad. A block handed to SetClipboardData belongs
// to the clipboard and is refused here.
HGLOBAL GlobalFree(HGLOBAL Mem);
// The block's size in bytes; 0 for a bad handle.
size_t GlobalSize(HGLOBAL Mem);

// ---------------------------------------------------------------------------------------------
// Clipboard calls

enum : UINT {
  CF_TEXT = 1, CF_BITMAP = 2, CF_METAFILEPICT = 3, CF_SYLK = 4, CF_DIF = 5, CF_TIFF = 6,
  CF_OEMTEXT = 7, CF_DIB = 8, CF_PALETTE = 9, CF_PENDATA = 10, CF_RIFF = 11, CF_WAVE = 12,
  CF_UNICODETEXT = 13, CF_ENHMETAFILE = 14, CF_HDROP = 15, CF_LOCALE = 16, CF_DIBV5 = 17
};
// The first id RegisterClipboardFormat gives.
inline constexpr UINT FirstRegisteredClipboardFormat = 0xC000;

// The header of a CF_HDROP block: pFiles is the offset of the double-NUL-ended list of names
// (UTF-16 when fWide, else UTF-8).
struct DROPFILES {
  DWORD pFiles = 20;
  TPoint pt;
  BOOL fNC = 0;
  BOOL fWide = 0;
};
static_assert(sizeof(DROPFILES) == 20);

// Starts the transaction; FALSE while the clipboard is open already (also by this thread) or
// from another thread than the user-interface thread. Owner may be nullptr.
BOOL OpenClipboard(HWND Owner);
// Publishes what was set since OpenClipboard and ends the transaction; FALSE when not open.
BOOL CloseClipboard();
// Clears the clipboard (published at CloseClipboard); FALSE when not open.
BOOL EmptyClipboard();
// Puts a global memory block (for CF_BITMAP a bitmap handle) on the clipboard, which then owns
// it; a format set twice keeps the later block. Answers the handle, or nullptr when refused: not
// open, no data (delayed rendering is not offered), a format with no desktop counterpart, or data
// that is not valid for its format (a DIB that does not parse, a bad CF_HDROP block). A refused
// handle stays the caller's.
HANDLE SetClipboardData(UINT Format, HANDLE Mem);
// The data of a format (a global memory block, for CF_BITMAP a bitmap handle); nullptr when the
// clipboard is not open, the format is absent, or its data is bad (a truncated or malformed
// image). The handle belongs to the clipboard.
HANDLE GetClipboardData(UINT Format);
// Whether the format can be had (the clipboard need not be open).
BOOL IsClipboardFormatAvailable(UINT Format);
// The format after Format (0: the first); 0 after the last one or when not open.
UINT EnumClipboardFormats(UINT Format);
int32_t CountClipboardFormats();
// The id of a name: the same name (ignoring case) gives the same id, >= 0xC000; 0 for "".
UINT RegisterClipboardFormat(std::string_view Name);
// Copies a registered format's name into Buffer (at most MaxCount - 1 bytes and a NUL) and
// answers its length; 0 for the standard formats and unknown ids.
int32_t GetClipboardFormatName(UINT Format, char* Buffer, int32_t MaxCount);

// The clipboard as other programs see it: the MIME types it holds, the bytes of one ("" when
// absent), and replacing its contents as another program's copy would (MIME type, bytes). Not
// for use while the clipboard is open.
std::vector<std::string> ClipboardMimeTypes();
std::string ClipboardMimeBytes(std::string_view Mime);
void SetClipboardMimeData(const std::vector<std::pair<std::string, std::string>>& Items);

// ---------------------------------------------------------------------------------------------
// The class library's clipboard object

class TPicture;

class TClipboard : public TPersistent {
  PX_CLASS(TClipboard)
 public:
  TClipboard() = default;
  ~TClipboard() override;

  // Nested: the first Open opens the clipboard (EClipboardException "Cannot open clipboard"
  // when it cannot), the matching Close closes it. Inside an Open/Close pair the first value
  // set empties the clipboard and the later ones add to it.
  void Open();
  void Close();
  // Empties the clipboard.
  void Clear();
  bool HasFormat(UINT Format);
  int32_t FormatCount();
  // The id of format Index (0-based); EListError "List index out of bounds (%d)" outside.
  UINT Formats(int32_t Index);

  // CF_UNICODETEXT (or CF_TEXT) as UTF-8; "" when there is no text.
  std::string AsText();
  // Replaces the contents by the text (CF_UNICODETEXT and CF_TEXT).
  void SetAsText(std::string_view Value);
  // A copy of the format's data owned by the caller (a bitmap for CF_BITMAP, else a global
  // memory block); nullptr when absent.
  HANDLE GetAsHandle(UINT Format);
  // Puts the handle on the clipboard (replacing the contents, or adding inside Open/Close); the
  // clipboard owns it afterwards, also when refused (then EClipboardException is raised).
  void SetAsHandle(UINT Format, HANDLE Value);

  // From a TBitmap, or a TPicture holding one: the bitmap as CF_DIB. Other sources raise
  // EConvertError.
  void Assign(TPersistent* Source) override;

 protected:
  // Into a TBitmap or TPicture: the clipboard's CF_DIB; EInvalidGraphic "Unsupported clipboard
  // format" when there is no picture.
  void AssignTo(TPersistent* Dest) override;

 private:
  void Adding();  // empties once per Open/Close pair
  void SetBlock(UINT Format, HANDLE Mem);

  int32_t open_count_ = 0;
  bool emptied_ = false;
};

PX_DECLARE_EXCEPTION(EClipboardException, Exception);

// The process's clipboard object, made on first use.
TClipboard* Clipboard();
