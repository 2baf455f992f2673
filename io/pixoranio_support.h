// Process-wide state of the I/O front end and its start-up and tear-down: the LZW coder slots
// of the settings object, the file-format registry, the transfer library, the AVI library
// flag, the acquisition log, the I/O plug-in list and the shared colour profiles.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/pixoranio_registry.h"

// One loaded plug-in library that added a file format.
struct TPXIOPlugin {
  void* LibraryHandle = nullptr;  // from dlopen; closed when the plug-in is freed
  TPXFileType FileType = pxftUnknown;
  // The plug-in's object. Freed with the record unless bit 0 of Flags is set, in which case the
  // library owns it and the record lets it go.
  std::unique_ptr<TObject> Object;
  uint8_t Flags = 0;
  std::string Name;
};

// Start-up of the I/O support: coder slots, registry, process state, transfer library, plug-in
// list, default CMYK profile.
void InitIOSupport();
// Tear-down: layer scratch bitmap, shared profiles, plug-ins, registry, AVI library, transfer
// library, acquisition log, plug-in list. Never raises: each step runs even when one fails.
void DoneIOSupport();
// Unregisters each plug-in's format, frees its object (unless flagged) and closes its library,
// then empties the list.
void FreeIOPlugins();

// Fills the library's I/O support slots of the start-up and tear-down lists and registers the
// open and save dialogs with the form loader.
void RegisterIOSupport();

// The plug-in list (none of this system's operations adds to it).
std::vector<std::unique_ptr<TPXIOPlugin>>& IOPlugins();
bool IOPluginListExists();

// Set by the AVI reader when it starts the platform's AVI file library.
void SetAviLibraryStarted(bool Started);
bool AviLibraryStarted();

// The acquisition code's log: its name and the open file (closed at tear-down).
void SetAcquisitionLog(const std::string& Name, std::unique_ptr<TStream> File);
const std::string& AcquisitionLogName();

// The layer engine's release of its shared scratch bitmap, called first at tear-down.
using TPXIOSupportProc = void (*)();
void SetLayerScratchRelease(TPXIOSupportProc Proc);

// Called before every step of InitIOSupport / DoneIOSupport with its number (1-based).
using TPXIOSupportStepObserver = void (*)(bool StartUp, int32_t Step);
TPXIOSupportStepObserver SetIOSupportStepObserver(TPXIOSupportStepObserver Observer);
