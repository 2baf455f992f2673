// Loader of the optional companion library (camera RAW and vision functions): found by file
// name, loaded once under a lock, reached through its one creation export "pxv_PXLib_create",
// and checked for its version. Every attempt is logged in the settings' FVisionLog.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The companion library's base interface: reference counted, shaped like IUnknown.
class TDOVevodiBase {
 public:
  virtual int32_t QueryInterface(const void* InterfaceId, void** Object) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~TDOVevodiBase() = default;
};

// The object through which the library reports its version: the tenth method after those of the
// base gives a zero-terminated version text.
class TPXLibInfo : public TDOVevodiBase {
 public:
  virtual void Reserved1() = 0;
  virtual void Reserved2() = 0;
  virtual void Reserved3() = 0;
  virtual void Reserved4() = 0;
  virtual void Reserved5() = 0;
  virtual void Reserved6() = 0;
  virtual void Reserved7() = 0;
  virtual void Reserved8() = 0;
  virtual void Reserved9() = 0;
  virtual int32_t GetVersion(const char** Text) = 0;

 protected:
  ~TPXLibInfo() = default;
};

// The library's interface; only the fifth method after those of the base is used here: with
// Kind 1 it hands out a TPXLibInfo (a new reference).
class TPXLib : public TDOVevodiBase {
 public:
  virtual void Reserved1() = 0;
  virtual void Reserved2() = 0;
  virtual void Reserved3() = 0;
  virtual void Reserved4() = 0;
  virtual int32_t GetInfo(int32_t Kind, TPXLibInfo** Info) = 0;

 protected:
  ~TPXLib() = default;
};

// The creation export fills its argument with a new reference to the library's interface.
using TPXLibCreateProc = void (*)(TPXLib** Lib);

// The version the library must carry, both as file version and as reported by itself.
inline constexpr std::string_view PXLibExpectedVersion = "5.1.1.0";

// The library's interface, loading the library first when it is not loaded or has no
// interface; nil when it cannot be had. Not owned: valid until UnloadVisionLibrary.
TPXLib* GetVisionLibrary();
// Loads on demand; True only when the library and its interface are there and both its file
// version and its own version are PXLibExpectedVersion (a library without a file version is
// never ready). A mismatch is logged.
bool VisionLibraryReady();
// Under the lock: with Reload, unloads first; logs "PXLib Initialization..."; loads FileName,
// or when it is empty tries the library's usual file names in order.
void LoadVisionLibrary(std::string_view FileName = {}, bool Reload = false);
// One attempt at FileName when nothing is loaded yet; a library without the creation export is
// unloaded at once.
void LoadVisionLibraryFrom(std::string_view FileName);
// Releases the interface and frees the library (nothing when not loaded).
void UnloadVisionLibrary();
// Releases the second interface and module (nothing loads them here, so they stay empty).
void ReleaseVisionBase();
// Appends Text and CR LF to the settings' FVisionLog while it holds at most 2000 characters.
void AppendLibraryLog(std::string_view Text);
// The file version of the loaded library ("" when none).
std::string VisionLibraryFileVersion();

// Fills the library's tear-down slot (UnloadVisionLibrary, then ReleaseVisionBase) and lets the
// settings ask whether the companion library can be had. Call before StaticInitialize.
void RegisterVisionLibrary();
