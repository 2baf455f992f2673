// The outside imaging suite (MagickWand 6 and MagickCore 6): its two libraries, opened at run
// time when installed, the wand environment they need, the table of the extra formats the suite
// provides under the plug-in file types 8193..8217, and the page count of a document as the
// suite's `identify` program reports it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TStream;

// A row of the table of the suite's extra formats.
struct TPXMiscPluginsImageMagick_Format {
  int32_t FileType;
  const char* Description;
  const char* Extensions;  // separated by ";"
  const char* Name;        // the suite's format name
  bool Writable;
};

// The 25 rows, file types 8193..8217 in order.
const std::vector<TPXMiscPluginsImageMagick_Format>& ImageMagickFormats();

// Opens a library by name (nil when it cannot be opened); the default tries the folder of the
// module that holds the image library first, then the system's search order.
using TPXModuleOpener = std::function<void*(const std::string& Name)>;

// Used through its class-level members only. The libraries load on the first use that needs
// them and stay loaded until Unload (library shutdown).
class TPXMiscPluginsImageMagick {
 public:
  TPXMiscPluginsImageMagick() = delete;

  // Candidate file names in the order they are tried.
  static const std::vector<std::string>& WandLibraryNames();
  static const std::vector<std::string>& CoreLibraryNames();

  // Loads the libraries when either handle is missing; whether both are loaded.
  static bool IsLoaded();
  // Under the unit's lock: with Reload unloads first, then loads what is missing. The wand
  // library that opens first gets its environment started; the core library is looked for from
  // the wand name that succeeded on (after the first wand name, or with the wand library already
  // loaded, both core names; after the second only the second; without a wand library none).
  static void Load(bool Reload);
  // Frees the core library, ends the wand environment and frees the wand library.
  static void Unload();

  static void* WandHandle();
  static void* CoreHandle();

  // Replaces how libraries are opened (none: the default). Meant for tests and hosts that keep
  // the suite in a folder of their own.
  static void SetModuleOpener(TPXModuleOpener Opener);
};

// The pages of the document behind a file stream, from `identify <name>[999999999]`; 0 when the
// suite is not loaded, the stream is not a file stream or the answer cannot be read.
int32_t GetImageMagickPageCount(TStream* Stream);

// The number after "number of pages in the file: " and before the next CR LF in Output; 0 when
// there is none or it is not a number.
int32_t ParseImageMagickPageCount(std::string_view Output);

// Fills the library slot that unloads the suite at shutdown.
void RegisterMiscPlugins();
