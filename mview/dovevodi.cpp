#include "mview/dovevodi.h"

#include <dlfcn.h>

#include <cstdint>
#include <mutex>

#include "core/hypxutils.h"
#include "core/hypxutils_startup.h"
#include "core/pxsettings.h"

namespace {

// The file names tried in order when no name is given.
constexpr const char* kLibraryNames[] = {"libdovevodi.so", "libdovevodi32.so", "libpxlib.so", "libpxlib32.so"};

struct TVisionState {
  std::recursive_mutex lock;
  void* module = nullptr;
  TPXLib* lib = nullptr;  // one reference, released at unload
  TPXLibCreateProc create = nullptr;
  std::string file_version;
  // The second module and interface: nothing here loads them.
  void* base_module = nullptr;
  TDOVevodiBase* base = nullptr;
};

TVisionState& State() {
  static TVisionState state;
  return state;
}

std::string HandleText(void* Handle) { return std::to_string(reinterpret_cast<uintptr_t>(Handle)); }

// The version the library reports itself; raises when a call fails.
std::string ReportedVersion(TPXLib* Lib) {
  TPXLibInfo* info = nullptr;
  if (Lib->GetInfo(1, &info) < 0 || !info) throw EPXException("PXLib: no version information");
  const char* text = nullptr;
  const int32_t hr = info->GetVersion(&text);
  std::string version = hr >= 0 && text ? text : "";
  info->Release();
  if (hr < 0) throw EPXException("PXLib: no version information");
  return version;
}

}  // namespace

void AppendLibraryLog(std::string_view Text) {
  std::string& log = GlobalSettingsInstance()->FVisionLog;
  if (log.size() > 2000) return;
  log += Text;
  log += "\r\n";
}

void LoadVisionLibraryFrom(std::string_view FileName) {
  TVisionState& st = State();
  std::lock_guard guard(st.lock);
  if (st.module || FileName.empty()) return;
  const std::string name(FileName);
  st.module = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  AppendLibraryLog(name + ": " + HandleText(st.module));
  if (!st.module) return;
  st.file_version = GetFileVersionString(Utf8ToUtf16(name));
  AppendLibraryLog("PXLib Version: " + st.file_version);
  st.create = reinterpret_cast<TPXLibCreateProc>(dlsym(st.module, "pxv_PXLib_create"));
  if (st.create) {
    st.lib = nullptr;
    st.create(&st.lib);
    AppendLibraryLog("PXLib Create: ok");
  } else {
    dlclose(st.module);
    st.module = nullptr;
    st.file_version.clear();
    AppendLibraryLog("PXLib Create: FAILED");
  }
}

void LoadVisionLibrary(std::string_view FileName, bool Reload) {
  TVisionState& st = State();
  std::lock_guard guard(st.lock);
  if (Reload) UnloadVisionLibrary();
  AppendLibraryLog("PXLib Initialization...");
  if (!FileName.empty()) {
    LoadVisionLibraryFrom(FileName);
    return;
  }
  for (const char* name : kLibraryNames) LoadVisionLibraryFrom(name);
}

void UnloadVisionLibrary() {
  TVisionState& st = State();
  std::lock_guard guard(st.lock);
  if (st.lib) st.lib->Release();
  st.lib = nullptr;
  st.create = nullptr;
  if (st.module) dlclose(st.module);
  st.module = nullptr;
  st.file_version.clear();
}

void ReleaseVisionBase() {
  TVisionState& st = State();
  std::lock_guard guard(st.lock);
  if (st.base) st.base->Release();
  st.base = nullptr;
  if (st.base_module) dlclose(st.base_module);
  st.base_module = nullptr;
}

TPXLib* GetVisionLibrary() {
  TVisionState& st = State();
  std::lock_guard guard(st.lock);
  if (!st.module || !st.lib) LoadVisionLibrary();
  return st.lib;
}

std::string VisionLibraryFileVersion() {
  TVisionState& st = State();
  std::lock_guard guard(st.lock);
  return st.file_version;
}

bool VisionLibraryReady() {
  TVisionState& st = State();
  std::lock_guard guard(st.lock);
  TPXLib* lib = GetVisionLibrary();
  if (!lib) return false;
  bool ready = false;
  if (st.file_version == PXLibExpectedVersion) ready = ReportedVersion(lib) == PXLibExpectedVersion;
  if (!ready) {
    try {
      AppendLibraryLog("Version MISMATCH");
      AppendLibraryLog("PXLib Expected Version: " + std::string(PXLibExpectedVersion));
      AppendLibraryLog("PXLib File Version: " + st.file_version);
      const std::string own = ReportedVersion(lib);
      if (own != st.file_version) AppendLibraryLog("PXLib DLL Version: " + own);
    } catch (...) {
      // The log is best effort.
    }
  }
  return ready;
}

void RegisterVisionLibrary() {
  RegisterLibrarySlot(lsUnloadVisionLibrary, [] {
    UnloadVisionLibrary();
    ReleaseVisionBase();
  });
  SetCompanionLibraryProbe([] { return GetVisionLibrary() != nullptr; });
}
