#include "io/pixoranio_support.h"

#include <dlfcn.h>

#include "core/hypxutils_startup.h"
#include "core/pxsettings.h"
#include "io/pixoranio.h"
#include "io/pixoranio_web.h"
#include "io/pxcolorrows.h"
#include "io/pxicc.h"
#include "io/pxopensavedlg.h"
#include "io/pxxBitmaps_params.h"
#include "platform/video/VideoFile.h"

namespace {

struct TIOSupportState {
  bool AviStarted = false;
  std::string AcquisitionLogName;
  std::unique_ptr<TStream> AcquisitionLog;
  bool PluginListExists = false;
  std::vector<std::unique_ptr<TPXIOPlugin>> Plugins;
  TPXIOSupportProc LayerScratchRelease = nullptr;
  TPXIOSupportStepObserver Observer = nullptr;
};

TIOSupportState& State() {
  static TIOSupportState state;
  return state;
}

void Step(bool startUp, int32_t number) {
  if (TPXIOSupportStepObserver o = State().Observer) o(startUp, number);
}

// Runs one tear-down step; a failure is dropped so the remaining steps still run.
template <class F>
void TearDownStep(int32_t number, F&& f) noexcept {
  try {
    Step(false, number);
    f();
  } catch (...) {
  }
}

}  // namespace

void InitIOSupport() {
  TIOSupportState& s = State();
  Step(true, 1);
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const TPXLzwCoders& coders = RegisteredLzwCoders();
  settings->FGIFLZWDecompress = coders.GifDecode;
  settings->FGIFLZWCompress = coders.GifEncode;
  settings->FTIFFLZWDecompress = coders.TiffDecode;
  settings->FTIFFLZWCompress = coders.TiffEncode;
  settings->FConvertColorRows = ConvertColorRow;
  Step(true, 2);
  RegisterFileFormats();
  Step(true, 3);
  s.AviStarted = false;
  s.AcquisitionLogName.clear();
  s.AcquisitionLog.reset();
  Step(true, 4);
  LoadWinInet();  // started once; a second start-up keeps it
  Step(true, 5);
  FreeIOPlugins();  // a list left from an earlier start-up releases its libraries first
  s.PluginListExists = true;
  Step(true, 6);
  FreeCmykProfiles();
}

void DoneIOSupport() {
  TIOSupportState& s = State();
  TearDownStep(1, [&] {
    if (s.LayerScratchRelease) s.LayerScratchRelease();
  });
  TearDownStep(2, [] { FreeCmykProfiles(); });
  TearDownStep(3, [] { FreeIOPlugins(); });
  TearDownStep(4, [] { FreeFileFormats(); });
  TearDownStep(5, [&] {
    if (s.AviStarted) AVIFileExit();
    s.AviStarted = false;
  });
  TearDownStep(6, [] { FreeWinInet(); });
  TearDownStep(7, [&] {
    if (s.AcquisitionLogName.empty()) return;
    s.AcquisitionLogName.clear();
    s.AcquisitionLog.reset();
  });
  TearDownStep(8, [&] {
    s.Plugins.clear();
    s.PluginListExists = false;
  });
}

void FreeIOPlugins() {
  auto& plugins = State().Plugins;
  for (auto& p : plugins) {
    if (!p) continue;
    try {
      UnregisterFileFormat(p->FileType);
    } catch (...) {
    }
    if (p->Flags & 1) {
      (void)p->Object.release();  // the library owns it
    } else {
      p->Object.reset();
    }
    if (p->LibraryHandle) dlclose(p->LibraryHandle);
    p->LibraryHandle = nullptr;
  }
  plugins.clear();
}

void RegisterIOSupport() {
  // Bitmaps carry their I/O parameters through the hooks this installs.
  RegisterBitmapParams();
  RegisterPixoranIO();
  // Stored forms find the open and save dialogs by class name.
  RegisterClass(TOpenPixoranDialog::StaticClass());
  RegisterClass(TSavePixoranDialog::StaticClass());
  RegisterLibrarySlot(lsInitIOSupport, &InitIOSupport);
  RegisterLibrarySlot(lsDoneIOSupport, &DoneIOSupport);
}

std::vector<std::unique_ptr<TPXIOPlugin>>& IOPlugins() { return State().Plugins; }
bool IOPluginListExists() { return State().PluginListExists; }

void SetAviLibraryStarted(bool Started) { State().AviStarted = Started; }
bool AviLibraryStarted() { return State().AviStarted; }

void SetAcquisitionLog(const std::string& Name, std::unique_ptr<TStream> File) {
  State().AcquisitionLogName = Name;
  State().AcquisitionLog = std::move(File);
}
const std::string& AcquisitionLogName() { return State().AcquisitionLogName; }

void SetLayerScratchRelease(TPXIOSupportProc Proc) { State().LayerScratchRelease = Proc; }

TPXIOSupportStepObserver SetIOSupportStepObserver(TPXIOSupportStepObserver Observer) {
  TPXIOSupportStepObserver old = State().Observer;
  State().Observer = Observer;
  return old;
}
